// eqcore::python::Engine: one thread's calculator over a shared, immutable
// System — the Python package's engine session. It owns the solver (whose
// last solution warm-starts the next calculation), the problem handed to it
// and the settings that stay over many calculations (units, statuses,
// temperature limits). Engines share nothing mutable, so each thread of a
// parallel run has its own and runs without the interpreter's lock.
//
// Values in and out are in the units in force (Units); indices are 0-based
// as in System. Every failure throws eqcore::Failure with the engine's error
// number and text; an engine used by two threads at once throws instead of
// racing.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "session/units.hpp"
#include "solver/solver.hpp"

namespace eqcore::python {

// The material and conditions of one calculation.
struct Request {
    double T = 1000.0;       // the temperature, or a target's estimate
    double P = 1.0e5;
    double feed_T = 298.15;  // temperature the constituent feed enters at
    // Constituent feed: System constituent indices and amounts (amount unit).
    std::vector<int> stream_index;
    std::vector<double> stream_amount;
    // Element feed, mol by System element (formulas already resolved); when
    // not empty the constituent feed is added to it as elements and the
    // calculation has no streams.
    std::vector<double> elements;
    TargetKind target = TargetKind::none;
    int target_phase = -1;
    double target_value = 0.0;  // the enthalpy condition (energy unit)
    // Checked mode: every result passes the engine's acceptance check; one
    // it rejects is computed again from a cold start, and fails when the
    // check rejects that too.
    bool checked = true;
};

// What a step varies from point to point.
enum class StepVariable { temperature, pressure, amount };

// How a stepped amount enters: a constituent of the feed, or a formula (its
// element amounts per formula unit and its molar mass for a mass unit).
struct StepAmount {
    int constituent = -1;
    std::vector<double> formula;
    double formula_mass = 0.0;
};

// Columns a step writes, one row per point (row-major blocks for the
// per-phase, per-constituent and per-element columns). Owned by the caller.
struct StepColumns {
    std::uint8_t* ok = nullptr;
    double *T = nullptr, *P = nullptr, *G = nullptr, *H = nullptr, *S = nullptr, *Cp = nullptr, *V = nullptr;
    double *H_in = nullptr, *heat = nullptr;
    double* phase_amount = nullptr;     // rows x phases
    std::uint8_t* present = nullptr;    // rows x phases
    double* driving_force = nullptr;    // rows x phases
    double* amount = nullptr;           // rows x constituents
    double* mole_fraction = nullptr;    // rows x constituents
    double* element_potential = nullptr;  // rows x elements
};

struct StepFailure {
    std::size_t row = 0;
    int code = 0;
    std::string message;
};

class Engine {
public:
    explicit Engine(std::shared_ptr<const System> sys);

    const System& system() const { return *sys_; }
    const std::shared_ptr<const System>& system_ptr() const { return sys_; }

    // Units, entered flags (by phase, by constituent; empty: all entered)
    // and temperature limits (temperature unit) of the calculations to come.
    void configure(const Units& u, std::vector<char> phase_entered, std::vector<char> constituent_entered,
                   double tlow, double thigh);
    const Units& units() const { return units_; }

    // One equilibrium; on success `out` holds it (SI) and `problem()` the
    // problem it was computed for. Throws Failure otherwise.
    void equilibrate(const Request& q, EquilibriumResult& out);
    const EquilibriumProblem& problem() const { return problem_; }

    // A step: the request with `variable` set to each of `values` in turn
    // (an amount by `amount`), each point warm-started from the one before.
    // Results go to `cols` in the units in force; a point that fails is
    // marked not ok, gets NaN in its row and is listed in the return value.
    std::vector<StepFailure> step(const Request& q, StepVariable variable, const double* values, std::size_t count,
                                  const StepAmount& amount, const StepColumns& cols);

    // Drops the remembered solution: the next calculation starts cold.
    void forget() { solver_.forget(); }

private:
    class Use;  // one thread at a time
    void set_problem(const Request& q);
    Conditions conditions(const Request& q) const;
    void solve(const Conditions& c, bool checked, EquilibriumResult& out);
    void write_row(const EquilibriumResult& r, std::size_t row, const StepColumns& cols) const;
    void write_failed_row(std::size_t row, const StepColumns& cols) const;

    std::shared_ptr<const System> sys_;
    Units units_;
    double tlow_ = 200.0, thigh_ = 6000.0;  // K
    std::vector<char> phase_entered_, constituent_entered_;
    std::vector<double> mass_;  // molar mass of every constituent, g/mol
    Solver solver_;
    EquilibriumProblem problem_;
    EquilibriumResult step_result_;
    std::atomic<bool> busy_{false};
};

// Units from the names of the five quantities (a name left empty keeps
// the SI unit): throws Failure naming a unit that is not known.
Units make_units(const std::string& temperature, const std::string& pressure, const std::string& volume,
                 const std::string& energy, const std::string& amount);

}  // namespace eqcore::python
