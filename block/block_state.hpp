// The equilibrium block's working state: the call's arguments, the values
// its stages hand on to each other, and the host and map words every stage
// reads. One instance lives for the whole process; each call sets every
// field before any stage uses it. Nothing of it carries over to the next
// call.
#pragma once

#include <array>
#include <cassert>
#include <initializer_list>
#include <string>
#include <string_view>

#include "eqlink_blocks.hpp"
#include "fortran.hpp"
#include "report.hpp"

namespace eqlink::block {

// Unit and file of the engine's listing of a block calculation.
inline constexpr ftn::Int kListUnit = 71;
inline constexpr std::string_view kListFile = "eqclist.txt";

// Words of a substream of type 1 or 2 after its component flows.
enum SubstreamWord : ftn::Int {
    kTotalFlow = 0,
    kTemperature = 1,
    kPressure = 2,
    kEnthalpy = 3,
    kVapourFraction = 4,
    kLiquidFraction = 5,
    kEntropy = 6,
    kDensity = 7,
    kMolecularWeight = 8,
};
inline constexpr ftn::Int kSubstreamTail = 9;  // the nine words above

// Substream types of the host.
inline constexpr ftn::Int kMixed = 1;
inline constexpr ftn::Int kCisolid = 2;
inline constexpr ftn::Int kNonconventional = 3;

// The call's arguments as the host passed them (counts read once).
struct BlockCall {
    ftn::Int NINLET;
    const ftn::Real* SINLET;
    ftn::Int NHTIN;
    const ftn::Real* HTIN;
    ftn::Int NOUTLT;
    ftn::Real* SOUTLT;
    ftn::Int NHTOUT;
    ftn::Real* HTOUT;
    ftn::Int LSTRM;
    ftn::Int NSUB;
    const ftn::Int* SUBPOS;
    const ftn::Int* SUBTYP;
    ftn::Int NIPAR;
    const ftn::Int* IPAR;
    ftn::Int NRPAR;
    ftn::Real* RPAR;
    const ftn::Int* OPTSET;
    const ftn::Int* STRDSC;

    ftn::Int subpos(ftn::Int j) const {
        assert(j >= 1 && j <= NSUB);
        return SUBPOS[j - 1];
    }
    ftn::Int subtyp(ftn::Int j) const {
        assert(j >= 1 && j <= NSUB);
        return SUBTYP[j - 1];
    }
    ftn::Int ipar(ftn::Int i) const {
        assert(i >= 1 && i <= NIPAR);
        return IPAR[i - 1];
    }
    ftn::Real& rpar(ftn::Int i) const {
        assert(i >= 1);
        return RPAR[i - 1];
    }
    // Word w (from 1) of inlet stream m (from 1).
    ftn::Real inlet(ftn::Int m, ftn::Int w) const {
        assert(m >= 1 && m <= NINLET && w >= 1 && w <= LSTRM);
        return SINLET[(m - 1) * LSTRM + w - 1];
    }
    // Word w (from 1) of outlet stream o (from 1).
    ftn::Real& outlet(ftn::Int o, ftn::Int w) const {
        assert(o >= 1 && o <= NOUTLT && w >= 1 && w <= LSTRM);
        return SOUTLT[(o - 1) * LSTRM + w - 1];
    }
    // Whether the stream vector's second substream is a conventional-solid
    // one, where solid components go.
    bool has_cisolid() const { return NSUB > 1 && subtyp(2) == kCisolid; }
};

// Whether a stage lets the block go on.
enum class Stage { proceed, stop };

struct BlockState {
    // Host words of this call.
    ftn::Int NC = 0;      // host components
    ftn::Int NNC = 0;     // non-conventional components
    ftn::Int LEVEL = 0;   // the block's diagnostic level
    ftn::Real RMISS = 0;  // the host's missing real
    ftn::Int MWLOC = 0;   // plex location of the molecular weights
    ftn::Int IDLOC = 0;   // plex location of the component IDs
    ftn::Int NSVAR = 0;   // position of the last word of a stream vector

    // Parameters and conditions.
    ftn::Int ICALC = 0;
    ftn::Int NPHNAM = 0;
    ftn::Real PBLK = 0, TMIN = 0, TMAX = 0, TARAMT = 0;
    ftn::Int ITPH = 0, ITCON = 0;

    // The engine's status word and the step of the last failing call.
    ftn::Int NOERR = 0;
    ftn::Int ISTEP = 0;

    // Whether the feed has begun: from then on every end of the block
    // removes the engine streams.
    bool feeding = false;

    // Phases present at equilibrium, in increasing phase index.
    ftn::Int NPRES = 0;
    std::array<ftn::Int, static_cast<std::size_t>(kMaxPhases)> IPRES{};
};

// The one working state of the block.
BlockState& state();
// "CATO" "P".
const RoutineId& routine_id();

// Reports a message with the block's diagnostic level; true when the host
// let it through.
bool message(const BlockState& s, ftn::Int severity, ftn::Int number,
             std::initializer_list<std::string_view> lines);
// The engine failure message shared by all stages, with the stage number
// shown in it, as message `number`, severity 1.
void eqcore_failure(const BlockState& s, ftn::Int number, ftn::Int stage);
// Removes every engine stream (a name of one blank).
void remove_streams(BlockState& s);

// Host data.
const ftn::Word& plex(ftn::Int w);
ftn::Real molecular_weight(const BlockState& s, ftn::Int k);
std::string component_id(const BlockState& s, ftn::Int k);  // 8 characters
std::string block_id();                                      // 8 characters
// EQCORE phases the map knows, within the capacity of its phase table.
ftn::Int phase_count();

// Amount in the engine (mol/s) to host flow (kmol/s) and back.
ftn::Real host_flow(ftn::Real amount, ftn::Int k);
// The standard entropies of the elements of a host flow of component k
// (kmol/s), J/(K s): what separates the engine's absolute entropy from the
// host's, which counts from the elements in their standard state.
ftn::Real element_entropy(ftn::Int k, ftn::Real flow);

// The nine words after the component flows of a substream (fewer when the
// stream vector ends before them), on the terminal as the block's traces
// show them, each line sent by itself.
void trace_substream_words(const ftn::Real* words, ftn::Int available);

}  // namespace eqlink::block
