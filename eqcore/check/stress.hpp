// Random equilibrium states for the stress harness: temperatures, pressures
// and feeds drawn over a loaded system, each state solved from a cold start
// and from a warm one, and every result judged by the acceptance check.
// Used by the harness test (a fixed seed, a few hundred states) and by the
// bench/eqcore_stress program (any number).
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "check/acceptance.hpp"
#include "solver/solver.hpp"

namespace eqcore {

enum class FeedKind {
    stoichiometric,    // the elements of one compound in its exact proportions
    lean,              // as stoichiometric with one element short
    rich,              // as stoichiometric with one element in excess
    trace,             // one element at 1e-14 .. 1e-6 of the others
    absent_elements,   // only some of the system's elements
    mixed,             // several random constituents of any phase, all of the above at once
};
inline constexpr int kFeedKinds = 6;
const char* feed_kind_name(FeedKind k);

struct StressState {
    std::string label;  // the data file
    FeedKind kind = FeedKind::mixed;
    double T = 1000.0;       // K
    double P = kPstd;        // Pa
    double T_near = 1000.0;  // K, where the warm start comes from
    std::vector<std::pair<int, double>> feed;  // system constituent, mol
    // One line that reproduces the state: label, kind, T, P, feed by name
    // (constituent_label).
    std::string describe(const System& sys) const;
};

// A constituent of the system as a state line names it: "PHASE/NAME", or
// "PHASE/NAME[k]" (k its number within the phase, from 1) where the phase
// has another constituent of the same name; and back (-1: none such).
std::string constituent_label(const System& sys, int g);
int constituent_of_label(const System& sys, const std::string& label);

// The state of a line `describe` printed, over its system (read by the
// caller from the line's first word): empty when read, else what is wrong.
std::string read_state(const System& sys, const std::string& line, StressState& st);

// Draws a state of the given kind. Temperatures between 250 K and the
// lowest upper limit of the data (at most 6000 K), pressures 0.01 to 100 bar.
StressState random_state(const System& sys, std::mt19937_64& rng, FeedKind kind, const std::string& label);

// The problem (every phase and constituent entered, one stream at 298.15 K
// and 1 bar) and the conditions (T, P) of a state.
EquilibriumProblem problem_of(const System& sys, const StressState& s);
Conditions conditions_of(const StressState& s);

// A cold calculation: nothing remembered.
EquilibriumResult solve_cold(Solver& solver, const EquilibriumProblem& pr, const Conditions& c);
// Brings the solver to the state at T_near (cold), so that the next
// calculation of the same problem starts warm.
void prepare_warm(Solver& solver, const EquilibriumProblem& pr, const Conditions& c, double T_near);

enum class Verdict {
    passed,  // succeeded and accepted
    failed,  // failed with an error that says what failed
    wrong,   // reported success with a result the acceptance check rejects, or failed without a message
};
struct Judgement {
    Verdict verdict = Verdict::wrong;
    std::string detail;  // the error or the check's faults
};
Judgement judge(const EquilibriumProblem& pr, const Conditions& c, const EquilibriumResult& r,
                const AcceptanceOptions& options = {});

// Largest difference between two results of the same system: amounts
// relative to the larger of the two (differences below 1e-15 of all
// material do not count, nor, with the system, those below 1e-14 of what
// the scarcest element of the constituent could make of it: what its
// element balances resolve), and G relative to RT per mol of material. With
// the system, copies of one phase (NAME#1, NAME#2, ...) are matched by
// their amounts, so that the same split reported in other copies is equal.
double result_difference(const EquilibriumResult& a, const EquilibriumResult& b, const System* sys = nullptr);

}  // namespace eqcore
