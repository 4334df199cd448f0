// EQLINK's two exported data blocks. The host sees the same memory, so the
// field order, widths and counts are part of the external interface: fields
// follow one another without gaps, integers, logicals and reals of 8 bytes,
// character fields blank-padded. Arrays are counted from 1 through the
// accessors below.
#pragma once

#include <cassert>
#include <cstddef>

#include "fortran.hpp"

namespace eqlink {

inline constexpr ftn::Int kMaxMap = 1500;         // MAP records
inline constexpr ftn::Int kMaxComponents = 1500;  // host components (MWFAC)
inline constexpr ftn::Int kMaxPhases = 1500;      // EQCORE phases (PHNAME, NPHCMP)
inline constexpr ftn::Int kMaxDict = 200;         // solution dictionary entries

inline constexpr ftn::Len kFileNameLength = 256;
inline constexpr ftn::Len kPhaseNameLength = 24;
inline constexpr ftn::Len kFormulaLength = 12;
inline constexpr ftn::Len kDictCodeLength = 4;
inline constexpr ftn::Len kDictNameLength = 24;

// One record of the component map, five 8-byte words in this order.
struct MapRecord {
    ftn::Int component;    // 1: host component number
    ftn::Int constituent;  // 2: EQCORE constituent within the phase (0 while none)
    ftn::Int phase;        // 3: EQCORE phase number (1 is the gas phase)
    ftn::Int kind;         // 4: 1 vapour, 2 liquid, 3 solid (0: unknown suffix letter)
    ftn::Int scratch;      // 5: 0 after mapping; marks records within one call
};
static_assert(sizeof(MapRecord) == 5 * 8);

}  // namespace eqlink

extern "C" {

// Written by the host, read by EQLINK.
struct EqlinkConfig {
    ftn::Chars<eqlink::kFileNameLength> EQLINK_FILEN;  // data file; all blank: none named
    ftn::Logical LDEBUG;                               // trace switch
};

// The component map and what goes with it; written by the mapping at
// start-up, read by every routine.
struct EqlinkElvca {
    ftn::Real MWFAC[eqlink::kMaxComponents];                        // by host component
    ftn::Chars<eqlink::kPhaseNameLength> PHNAME[eqlink::kMaxPhases];  // by EQCORE phase
    ftn::Chars<eqlink::kFormulaLength> MAPFRM[eqlink::kMaxMap];     // by map record; unused
    ftn::Int NPH;                                                   // number of EQCORE phases
    ftn::Int NMAP;                                                  // number of MAP records
    eqlink::MapRecord MAP[eqlink::kMaxMap];
    ftn::Int NPHCMP[eqlink::kMaxPhases];  // host components mapped to each phase
    ftn::Int UNUSED;                      // kept for the layout; not used by EQLINK
    ftn::Int NDICT;                       // solution dictionary entries read
    ftn::Int IDTYPE[eqlink::kMaxDict];    // phase kind of each entry (1, 2, 3)
    ftn::Chars<eqlink::kDictCodeLength> DCODE[eqlink::kMaxDict];
    ftn::Chars<eqlink::kDictNameLength> DNAME[eqlink::kMaxDict];
};

extern EqlinkConfig EQLINK_CONFIG;
extern EqlinkElvca EQLINK_ELVCA;

}  // extern "C"

// The layout the host relies on, field by field.
static_assert(offsetof(EqlinkConfig, EQLINK_FILEN) == 0);
static_assert(offsetof(EqlinkConfig, LDEBUG) == 256);
static_assert(sizeof(EqlinkConfig) == 264);

static_assert(offsetof(EqlinkElvca, MWFAC) == 0);
static_assert(offsetof(EqlinkElvca, PHNAME) == 1500 * 8);
static_assert(offsetof(EqlinkElvca, MAPFRM) == 1500 * 8 + 1500 * 24);
static_assert(offsetof(EqlinkElvca, NPH) == 66000);
static_assert(offsetof(EqlinkElvca, NMAP) == 66008);
static_assert(offsetof(EqlinkElvca, MAP) == 66016);
static_assert(offsetof(EqlinkElvca, NPHCMP) == 66016 + 1500 * 40);
static_assert(offsetof(EqlinkElvca, UNUSED) == 126016 + 1500 * 8);
static_assert(offsetof(EqlinkElvca, NDICT) == 138024);
static_assert(offsetof(EqlinkElvca, IDTYPE) == 138032);
static_assert(offsetof(EqlinkElvca, DCODE) == 138032 + 200 * 8);
static_assert(offsetof(EqlinkElvca, DNAME) == 139632 + 200 * 4);
static_assert(sizeof(EqlinkElvca) == 140432 + 200 * 24);

namespace eqlink {

// 1-based access to the arrays of the blocks. Indices outside the arrays are
// the caller's fault and are caught by the assertion in debug builds.
inline MapRecord& map_record(ftn::Int i) {
    assert(i >= 1 && i <= kMaxMap);
    return EQLINK_ELVCA.MAP[i - 1];
}
inline ftn::Real& mwfac(ftn::Int k) {
    assert(k >= 1 && k <= kMaxComponents);
    return EQLINK_ELVCA.MWFAC[k - 1];
}
inline ftn::Chars<kPhaseNameLength>& phname(ftn::Int p) {
    assert(p >= 1 && p <= kMaxPhases);
    return EQLINK_ELVCA.PHNAME[p - 1];
}
inline ftn::Int& nphcmp(ftn::Int p) {
    assert(p >= 1 && p <= kMaxPhases);
    return EQLINK_ELVCA.NPHCMP[p - 1];
}
inline ftn::Int& idtype(ftn::Int i) {
    assert(i >= 1 && i <= kMaxDict);
    return EQLINK_ELVCA.IDTYPE[i - 1];
}
inline ftn::Chars<kDictCodeLength>& dcode(ftn::Int i) {
    assert(i >= 1 && i <= kMaxDict);
    return EQLINK_ELVCA.DCODE[i - 1];
}
inline ftn::Chars<kDictNameLength>& dname(ftn::Int i) {
    assert(i >= 1 && i <= kMaxDict);
    return EQLINK_ELVCA.DNAME[i - 1];
}

}  // namespace eqlink
