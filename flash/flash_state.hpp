// The flash's working state: the call's arguments, the values the stages
// hand on to each other, the packed work arrays, and the few host and map
// words every stage reads. One instance lives for the whole process; each
// call sets every field it uses before using it.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "eqlink_blocks.hpp"
#include "fortran.hpp"
#include "report.hpp"

namespace eqlink::flash {

// Host components a flash can hold: the capacity of the component map.
inline constexpr std::size_t kMaxPacked = static_cast<std::size_t>(eqlink::kMaxComponents);

// Unit and file of the engine's listing of a flash calculation.
inline constexpr ftn::Int kListUnit = 71;
inline constexpr std::string_view kListFile = "eqclist.txt";

// The call's arguments, as the host passed them.
struct FlashCall {
    ftn::Real* STRVEC;
    ftn::Int NSUBS;
    const ftn::Int* LPB;
    const ftn::Int* ITYPE;
    const ftn::Int* IDS;
    ftn::Int KODE;
    ftn::Int* NPKODE;
    ftn::Int KPHASE;
    const ftn::Int* RFCTL;
    ftn::Real TOL;
    ftn::Int KDIAG;
    ftn::Int KPDIAG;
    ftn::Int* KER;

    // Word i (from 1) of the stream vector.
    ftn::Real& strvec(ftn::Int i) const { return STRVEC[i - 1]; }
    ftn::Int lpb(ftn::Int i) const { return LPB[i - 1]; }
    ftn::Int itype(ftn::Int i) const { return ITYPE[i - 1]; }
    // Word `pos` after the component flows of substream i: 0 total flow,
    // 1 temperature, 2 pressure, 3 mass enthalpy, 4 vapour fraction,
    // 5 liquid fraction, 6 mass entropy, 7 density, 8 molecular weight.
    ftn::Real& subs(ftn::Int i, ftn::Int pos) const;
    // Flow word of host component j in substream i.
    ftn::Real& flow(ftn::Int i, ftn::Int j) const { return strvec(lpb(i) + j - 1); }
};

// One packed substream: host indices, mole fractions (or flows while the
// products are collected), count and total flow.
struct Packed {
    std::array<ftn::Int, kMaxPacked> idx{};
    std::array<ftn::Real, kMaxPacked> x{};
    ftn::Int n = 0;
    ftn::Real flow = 0.0;
};

// Whether a stage lets the flash go on.
enum class Stage { proceed, stop };

struct FlashState {
    ftn::Int NCOMP = 0;
    ftn::Int KDIAG = 0;   // level of the flash's messages
    ftn::Int KPDIAG = 0;  // level handed to the property routines
    ftn::Real T = 0.0, P = 0.0;
    ftn::Real DUTY = 0.0, HIN = 0.0;
    bool LCHEM = false;
    ftn::Int step = 0;  // shown in the engine's failure message
    ftn::Real SUMV = 0.0, SUML = 0.0;
    ftn::Real VCALC = 0.0;
    ftn::Int NOERR = 0;
    std::array<ftn::Real, 2> TPVALS{};
    ftn::Chars<2> OPTCE{};

    Packed mixed, solid, nonconv;      // IDXM/XM, IDXCS/XCS, IDXNC/XNC
    std::array<ftn::Real, kMaxPacked> YVAP{}, XLIQ{};

    // Root-finder work words; word 4 is the finder's and is left alone.
    std::array<ftn::Real, 6> RFWORK{};

    // Phase properties (J/kmol, J/kmol-K, m3/kmol, kg/kmol).
    ftn::Real HV = 0, HL = 0, HS = 0, SV = 0, SL = 0, SS = 0;
    ftn::Real VV = 0, VL = 0, VS = 0, MWV = 0, MWL = 0, MWS = 0;
};

// The one working state of the flash.
FlashState& state();
const RoutineId& routine_id();  // "CAFL" "SH"

// Host words (counted from 1).
ftn::Word& stwkwk(ftn::Int n);   // flash work area
ftn::Word& stwork(ftn::Int n);   // stream work area
ftn::Word& plex(ftn::Int n);
ftn::Real rmiss();
ftn::Int host_level();           // the host's own diagnostic level
void set_vcalc(FlashState& s, ftn::Real v);  // VCALC and its work-area word

// The component map.
struct MapEntry {
    ftn::Int record = 0;  // 0: the host component is not mapped
    ftn::Int phase = 0;
    ftn::Int constituent = 0;
    ftn::Int kind = 0;    // 1 gas, 2 liquid, 3 solid
};
MapEntry find_map(ftn::Int component);
ftn::Int map_count();
MapEntry map_record(ftn::Int record);
ftn::Int map_component(ftn::Int record);
ftn::Real mwfac(ftn::Int component);
ftn::Int phase_count();
std::string_view phase_name(ftn::Int phase);

// Copies the packed arrays, the phase compositions and their counts into
// the host's work arrays, where the host reads them after the flash.
void publish_work_arrays(const FlashState& s);

}  // namespace eqlink::flash
