// The stages of the component mapping and the helpers they share. MAPDAT
// (mapdat.cpp) runs them in order: phase listing, gas-phase check, gas pass,
// solution and pure pass, summary.
#pragma once

#include <string>
#include <string_view>

#include "eqlink_blocks.hpp"
#include "fortran.hpp"
#include "report.hpp"

namespace eqlink::mapdat {

// What every stage needs: the routine identifier, the host's diagnostic
// level, the number of host components and the mapping's own EQCORE status.
struct Mapping {
    RoutineId id{"MAPDAT"};
    ftn::Int level = 0;
    ftn::Int ncomp = 0;
    ftn::Int status = 0;
};

inline const std::string kSix(6, ' ');

// Failure indicators of the mapping.
inline constexpr ftn::Int kTooMany = 2;       // beyond a capacity
inline constexpr ftn::Int kNotFound = 7;      // a component without its EQCORE counterpart
inline constexpr ftn::Int kEngineFailed = 8;  // an EQCORE inquiry failed
inline constexpr ftn::Int kNoDictionary = 9;  // no usable solution dictionary

// Steps 5-6: number of phases and the phase listing. 0 or kEngineFailed / kTooMany.
ftn::Int list_phases(Mapping& m);
// Step 7: the first phase must have a gas model.
void check_gas_phase(Mapping& m);
// The gas pass over all host components. 0, kNotFound or kTooMany.
ftn::Int gas_pass(Mapping& m);
// The solution and pure pass over phases 2..NPH. 0, kNotFound or kTooMany.
ftn::Int phase_pass(Mapping& m);
// The summary of the map on the report and the terminal.
void print_summary(Mapping& m);

// --- shared helpers (mapdat_common.cpp) ---
// EQCORE inquiries with the mapping's status word.
ftn::Int ec_npc(Mapping& m, ftn::Int phase);
ftn::Chars<24> ec_pnm(Mapping& m, ftn::Int phase);
ftn::Chars<4> ec_modl(Mapping& m, ftn::Int phase);
ftn::Chars<32> ec_cnm(Mapping& m, ftn::Int phase, ftn::Int constituent);
// Reports a failed inquiry of the listing (message number = the status) and
// returns kEngineFailed.
ftn::Int engine_failure(Mapping& m, std::string_view routine);
// Appends a record (component, constituent, phase, kind) as record NMAP + 1.
// False, after reporting it, when the map is full.
bool append_record(Mapping& m, ftn::Int component, ftn::Int constituent, ftn::Int phase,
                   ftn::Int kind);
// Removes the last record again.
void drop_last_record();
// True when host component i already has a record.
bool is_mapped(ftn::Int component);
// Traces record r (two lines).
void trace_record(ftn::Int r);
// A debug line on the report unit, only when tracing.
void debug(std::string_view text);

}  // namespace eqlink::mapdat
