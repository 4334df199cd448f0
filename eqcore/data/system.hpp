// eqcore::System: an immutable chemical system loaded from a data file.
//
// Phases are kept in file order: phase 0 the gas (when the file has one),
// then the mixture phases (a phase written twice for a miscibility gap is two
// phases, NAME#1 and NAME#2), then every stoichiometric condensed phase as a
// phase of model PURE with exactly one constituent. Constituents of a phase
// are contiguous in `constituents`, from `Phase::first`. All indices here are
// 0-based; the entry points convert to the callers' 1-based numbers.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "data/magnetic.hpp"
#include "data/sublattice.hpp"
#include "data/quasichem.hpp"
#include "data/ionic.hpp"

namespace eqcore {

// Gas constant used everywhere in the engine (the value the data files are
// assessed with), J/(mol K), and the standard-state pressure, Pa.
inline constexpr double kR = 8.31451;
inline constexpr double kPstd = 1.0e5;
// Reference temperature of tabulated H and S, K.
inline constexpr double kT298 = 298.15;

struct Element {
    std::string symbol;  // as written in the file
    double mass = 0.0;   // g/mol (0 allowed, e.g. an electron column)
    bool operator==(const Element&) const = default;
};

// c * T^e added to G; the exponent 99 stands for c * ln T.
struct ExtraTerm {
    double c = 0.0;
    double e = 0.0;
    bool operator==(const ExtraTerm&) const = default;
};
inline constexpr double kLnTExponent = 99.0;

// G(T) = A + B T + C T ln T + D T^2 + E T^3 + F / T + sum of extra terms
// (J/mol), for T up to `tmax` (a boundary value belongs to the lower range).
struct GibbsRange {
    double tmax = 0.0;                   // K
    std::array<double, 6> coef{};        // A, B, C, D, E, F
    std::vector<ExtraTerm> extra;
    bool operator==(const GibbsRange&) const = default;
};

struct Constituent {
    std::string name;                  // exactly as written
    int phase = 0;                     // owning phase
    int data_option = 1;               // as in the file (7 and 10 are converted to G form)
    std::vector<double> stoich;        // atoms of each element per formula unit
    std::vector<GibbsRange> ranges;    // strictly increasing tmax
    double molar_volume = 0.0;         // m3/mol at every T, P (0: none given)
    bool operator==(const Constituent&) const = default;
};

enum class Model {
    ideal_gas,  // the gas phase (every gas model code is treated as ideal gas)
    idmx,       // ideal mixing
    rkmp,       // Redlich-Kister excess with Muggianu extrapolation
    qkto,       // polynomial excess with Kohler extrapolation
    pure,       // stoichiometric condensed phase, one constituent
    subl,       // compound-energy (sublattice) phase: end members over sublattices
    subg,       // quasichemical liquid, pair approximation
    subq,       // quasichemical liquid, quadruplet approximation (two sublattices)
    subi,       // ionic two-sublattice liquid (data in Phase::ionic)
};

// One excess-parameter record of a mixture phase. Each coefficient set is a
// temperature function L = A + B T + C T ln T + D T^2 + E T^3 + F / T.
struct Interaction {
    std::vector<int> index;                     // constituents (within the phase, 0-based)
    std::vector<std::array<double, 6>> sets;    // RKMP: L^(0) .. L^(m-1); QKTO: one set
    std::vector<int> exponent;                  // QKTO: one exponent per index; RKMP: empty
    bool operator==(const Interaction&) const = default;
};

struct Phase {
    std::string name;          // unique within the system (first 24 characters)
    std::string model_code;    // four characters as the file gives it, "PURE" for stoichiometric
    Model model = Model::pure;
    bool dormant = false;      // a dummy phase: loaded and listed, never calculated
    int first = 0;             // index of its first constituent in System::constituents
    int count = 0;             // number of constituents
    std::vector<Interaction> excess;
    // QKTO, per constituent (empty otherwise; empty also means weights 1 and
    // one group): the weight w of its equivalent fraction y_i = w_i x_i / W,
    // W = sum w_l x_l, and its group g, which decides the Kohler or Toop
    // extrapolation of each binary term.
    std::vector<double> qkto_weight;
    std::vector<int> qkto_group;
    // QKTO: ternaries (0-based constituents, from the file's interpolation
    // override lines) in whose binaries the third constituent joins neither
    // side, whatever the groups say (Kohler-type).
    std::vector<std::array<int, 3>> qkto_kohler;
    Sublattices sublattice;    // subl: the sublattices (empty otherwise)
    Magnetic magnetic;         // the magnetic term of RKMPM, QKTOM, SUBLM (absent otherwise)
    std::optional<QuasichemData> quasichem;  // SUBG, SUBQ: ions, coordination, excess records
    std::optional<IonicLiquid> ionic;  // SUBI: its sublattices, records and excess terms
    bool is_gas() const { return model == Model::ideal_gas; }
    bool is_mixture() const { return model != Model::pure; }
    bool operator==(const Phase&) const = default;
};

struct System {
    std::string title;
    std::vector<Element> elements;
    std::vector<Phase> phases;
    std::vector<Constituent> constituents;
    std::string comment;  // the comment block, verbatim
    std::vector<std::string> warnings;  // non-fatal reader findings, with file and line

    bool operator==(const System&) const = default;

    int element_count() const { return static_cast<int>(elements.size()); }
    int phase_count() const { return static_cast<int>(phases.size()); }
    const Constituent& constituent(int phase, int k) const {
        return constituents[static_cast<std::size_t>(phases[static_cast<std::size_t>(phase)].first + k)];
    }
};

}  // namespace eqcore
