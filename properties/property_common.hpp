// Pieces every property routine shares: the request it receives, the host
// words it reads, the start-up check, the engine calls on streams, the
// element-entropy reference and the messages it reports.
#pragma once

#include <string_view>

#include "fortran.hpp"
#include "report.hpp"

namespace eqlink {

// Phase kinds of the component map.
inline constexpr ftn::Int kVapour = 1;
inline constexpr ftn::Int kLiquid = 2;
inline constexpr ftn::Int kSolid = 3;

// Value of a per-component term for a component of another phase kind.
inline constexpr ftn::Real kNoTerm = 1.0E10;

// Mol handed to the engine per kmol of host amount.
inline constexpr ftn::Real kMolPerKmol = 1000.0;

// Largest NCOMP the monitor's own derivative block is sized for.
inline constexpr ftn::Int kMaxListComponents = 1500;

namespace props {

// The arguments of one property request as the host passes them, with the
// host's component count: the per-component routines keep their values,
// derivatives and composition slots in blocks of NCOMP words.
struct Request {
    ftn::Real TEMP;
    ftn::Real PRES;
    ftn::Array1<const ftn::Real> XMOL;
    ftn::Int NLIST;
    ftn::Array1<const ftn::Int> ICLIST;
    ftn::Int MSGLEV;
    ftn::Array1<const ftn::Int> IREQ;  // the four request flags
    ftn::Array1<ftn::Real> PROP;
    ftn::Array1<ftn::Real> DPROP;
    ftn::Int NCOMP;
};

// A request whose result blocks have the bounds the routine's argument list
// gives them (a size of 0: none known, none checked).
Request make_request(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST,
                     const ftn::Int* ICLIST, ftn::Int MSGLEV, const ftn::Int* IREQ,
                     ftn::Array1<ftn::Real> PROP, ftn::Array1<ftn::Real> DPROP);

// Host words.
ftn::Int ncomp();             // DMS_NCOMP word 1
ftn::Real gas_constant();     // PPUTL_PPGLOB word 3, J/(kmol K)

// CASTRT with both words set to 0; true when the engine is ready, that is
// when both words come back 0.
bool engine_started();

// Engine calls on streams. Names are passed with their own length; the
// status of each call is returned (0 = success).
ftn::Int remove_stream(std::string_view stream);
ftn::Int remove_all_streams();  // one blank, length 1
ftn::Int define_stream(std::string_view stream, const ftn::Real (&tp)[2]);
ftn::Int enter_constituent(ftn::Int phase, ftn::Int constituent);
ftn::Int add_amount(std::string_view stream, ftn::Int phase, ftn::Int constituent, ftn::Real amount);
// "H", "S", "G", "V" or "Cp" of a stream; `value` is written only on success.
ftn::Int stream_property(std::string_view stream, std::string_view property, ftn::Real& value);

// The element-entropy reference of one kmol of host component `component`:
// 1000 x sum over its atom slots of (atoms x standard element entropy),
// J/(kmol K).
ftn::Real element_entropy(ftn::Int component);

// Which wording an unmapped-component message uses.
enum class UnmappedText {
    elvar_component,  // "... Elvar component using the" / "EQCORE Option Set."
    elvar_dotted,     // "... Elvar component using the" / "EQCORE.  Option Set."
    data_file,        // "ATTEMPT TO USE THE EQCORE OPTION SET ..." / "... DATA FILE"
};

// The message of a list component without an EQCORE counterpart
// (severity 1, two lines).
void report_unmapped(const RoutineId& id, ftn::Int number, ftn::Int level, ftn::Int flag,
                     UnmappedText text);

// The message of a failed engine call: the message number is the engine's
// status, the text names the step of the calculation.
void report_engine_error(const RoutineId& id, ftn::Int status, ftn::Int level, ftn::Int flag,
                         int step);

}  // namespace props
}  // namespace eqlink
