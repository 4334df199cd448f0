// eqcore::Session: the mutable state of one user of the engine.
//
// A session holds the loaded System and everything set about it: units in
// force, I/O unit numbers, phase and constituent statuses, temperature
// limits, conditions, streams and the last error. It owns no global state, so
// several sessions may live side by side (one per thread); the PPSTUB_EC*
// entry points use one process-wide session.
//
// The native API works in SI units (K, Pa, m3, J, mol) and 0-based phase and
// constituent indices, like System; numbers in error texts count from 1, as
// callers of the entry points count. Every failure throws eqcore::Failure.
//
// A calculation result belongs to the state it was computed from: every
// change of statuses, limits, conditions or streams makes it stale
// (result_current() false) through invalidate_result().
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "data/cst.hpp"
#include "data/system.hpp"
#include "session/conditions.hpp"
#include "session/error.hpp"
#include "session/stream.hpp"
#include "session/units.hpp"
#include "solver/problem.hpp"
#include "solver/result.hpp"
#include "solver/solver.hpp"
#include "thermo/models.hpp"

namespace eqcore {

class DataError;
// A reader error as a session failure: file (shortened), line and what.
Failure data_file_failure(const DataError& e);

// The error number of a solver outcome (Error::none for ok).
Error error_of(SolverStatus s);

enum class Status { entered, eliminated, dormant };
enum class IoKind { file, error, list };

// Defaults restored by reset() and by removing conditions.
inline constexpr double kDefaultT = 1000.0;     // K
inline constexpr double kDefaultP = 1.0e5;      // Pa
inline constexpr double kDefaultTlow = 200.0;   // K
inline constexpr double kDefaultThigh = 6000.0; // K

struct LastError {
    Error code = Error::none;
    ErrorLines lines;
};

class Session {
public:
    Session();
    // Back to the state of a new session: no system, default units, I/O
    // units 0, no streams or conditions, default limits, no error.
    void reset();

    // --- units and I/O units -------------------------------------------
    Units& units() { return units_; }
    const Units& units() const { return units_; }
    void set_io_unit(IoKind which, std::int64_t unit);
    std::int64_t io_unit(IoKind which) const { return io_[static_cast<int>(which)]; }

    // --- the system ----------------------------------------------------
    // Replaces any earlier system: all phases and constituents entered
    // (dummy phases dormant), streams and conditions removed. `source`
    // names where it came from (the data file).
    void load(System sys, std::string source);
    // Reads an ASCII data file and loads it; a reader error becomes
    // Failure(Error::data_file) naming file, line and field.
    void read_dat_file(const std::string& path);
    // Reads a binary data file and loads it, keeping its header.
    void read_cst_file(const std::string& path);
    // Header of the binary file the loaded system came from; throws
    // Error::no_binary_header when the system was not read from one.
    const CstHeader& cst_header() const;
    bool has_system() const { return has_system_; }
    const System& system() const {  // throws Error::no_system
        if (!has_system_) throw_no_system();
        return system_;
    }
    const std::string& data_source() const { return source_; }

    // Index checks: throw phase_out_of_range / constituent_out_of_range.
    void check_phase(int phase) const { (void)phase_from_number(std::int64_t{phase} + 1); }
    void check_constituent(int phase, int constituent) const {
        (void)constituent_from_number(phase, std::int64_t{constituent} + 1);
    }
    // A phase or constituent number counted from 1, as callers of the entry
    // points give it, turned into a checked index.
    int phase_from_number(std::int64_t number) const {
        if (number < 1 || number > system().phase_count()) throw_phase_range(number);
        return static_cast<int>(number - 1);
    }
    int constituent_from_number(int phase, std::int64_t number) const {
        check_phase(phase);
        if (number < 1 || number > system_.phases[static_cast<std::size_t>(phase)].count)
            throw_constituent_range(phase, number);
        return static_cast<int>(number - 1);
    }
    // Phase by name: the first 24 characters of both compared exactly,
    // trailing blanks ignored. Throws Error::unknown_phase.
    int phase_index(std::string_view name) const;
    // Molar mass of a constituent from its stoichiometry, g/mol; throws
    // Error::no_molar_mass when it is not positive.
    double molar_mass(int phase, int constituent) const;

    // --- statuses ------------------------------------------------------
    Status phase_status(int phase) const;
    bool constituent_entered(int phase, int constituent) const;
    // A phase and every constituent of it. A dummy phase keeps reporting
    // dormant and never takes part in a calculation.
    void set_phase_status(int phase, bool entered);
    // One constituent; entering it enters its phase, eliminating the last
    // entered one eliminates the phase.
    void set_constituent_status(int phase, int constituent, bool entered);
    // True when the phase takes part in calculations (entered, not dummy).
    bool phase_active(int phase) const { return phase_status(phase) == Status::entered; }

    // --- checked mode --------------------------------------------------
    // On: every calculation's result goes through the acceptance check
    // (check/acceptance.hpp) before it is kept; a result the check rejects
    // is the failure no_convergence ("result rejected by the acceptance
    // check: ..."). Off after reset.
    void set_checked(bool on) { checked_ = on; }
    bool checked() const { return checked_; }

    // --- temperature limits (K) ----------------------------------------
    double tlow() const { return tlow_; }
    double thigh() const { return thigh_; }
    void set_tlow(double kelvin);
    void set_thigh(double kelvin);

    // --- conditions ----------------------------------------------------
    // Sets a condition, replacing an earlier one of the same kind (which
    // keeps its number); returns its number, counted from 1.
    int set_condition(const Condition& c);
    // Removes condition number `which` (later ones move up by one).
    void remove_condition(int which);
    void remove_all_conditions();
    const std::vector<Condition>& conditions() const { return conditions_; }
    const Condition* find_condition(ConditionKind kind) const;
    // The equilibrium temperature and pressure in force (defaults 1000 K, 1 bar).
    double temperature() const;
    double pressure() const;

    // --- streams -------------------------------------------------------
    // Names are compared exactly with trailing blanks ignored. A new name
    // defines a stream at T and P; an existing one gets the new T and P and
    // keeps its amounts.
    void define_stream(std::string_view name, double T, double P);
    // Adds `mol` of constituent (phase, constituent) to the stream.
    void add_amount(std::string_view name, int phase, int constituent, double mol);
    // Removes the stream (nothing to do when it is not defined); an empty
    // (all blank) name removes every stream.
    void remove_stream(std::string_view name);
    const std::vector<Stream>& streams() const { return streams_; }
    const Stream& stream(std::string_view name) const;  // throws Error::unknown_stream
    // H (J), S (J/K), G (J), V (m3) or Cp (J/K) of the stream as it enters.
    double stream_property(std::string_view name, StreamProperty what) const;

    // --- equilibrium (session/equilibrate.cpp) -------------------------
    // The equilibrium of all material in the streams (element amounts from
    // the incoming constituents, whatever their status) over the entered
    // phases and constituents. With `temperature_unknown` false: at the T
    // and P conditions. With it true: the temperature is searched from
    // `estimate_K` to meet the enthalpy condition (`phase` < 0) or the "A"
    // target on `phase` (its condition's value gives formation or
    // precipitation). On success the result becomes current; on failure it
    // is not, and Failure carries the error.
    const EquilibriumResult& equilibrate(bool temperature_unknown, int phase, double estimate_K);
    // The result of the last calculation; throws Error::no_current_result
    // when it failed or anything was changed since.
    const EquilibriumResult& result() const;

    // --- results and errors ---------------------------------------------
    bool result_current() const { return result_current_; }
    // The models of the loaded system's phases.
    const PhaseModels& models() const { return models_; }
    void record_error(Error code, std::string_view detail);
    const LastError& last_error() const { return last_error_; }
    // How many errors were recorded since the session was made (reset()
    // does not clear it), so that a caller can tell whether the last error
    // belongs to the calls it just made.
    std::uint64_t errors_recorded() const { return errors_recorded_; }

private:
    [[noreturn]] void throw_no_system() const;
    [[noreturn]] void throw_phase_range(std::int64_t number) const;
    [[noreturn]] void throw_constituent_range(int phase, std::int64_t number) const;
    // Every change that could make a calculated result differ ends here.
    void invalidate_result() { result_current_ = false; }
    Stream* find_stream(std::string_view name);
    // Stream properties come from the same G(T) data as every calculation:
    // refused outside [TLOW, THIGH] as a calculation is.
    void check_stream_temperature(std::string_view name, double T) const;
    // The standard-state values of a phase's variables at T, kept from the
    // last stream property that needed them at that temperature.
    std::span<const StandardProps> standard_at(int phase, double T) const;

    Units units_;
    std::int64_t io_[3] = {0, 0, 0};
    bool has_system_ = false;
    System system_;
    PhaseModels models_;  // the models of system_'s phases
    std::string source_;
    std::optional<CstHeader> cst_header_;
    std::vector<bool> phase_entered_;
    std::vector<bool> constituent_entered_;  // system order
    bool checked_ = false;
    double tlow_ = kDefaultTlow;
    double thigh_ = kDefaultThigh;
    std::vector<Condition> conditions_;
    std::vector<Stream> streams_;
    // Per phase: the temperature of its kept standard-state values (NaN:
    // none) and the values. A caller asks several properties of one stream
    // at one temperature, and the standard-state functions are most of
    // their cost.
    mutable std::vector<double> standard_T_;
    mutable std::vector<std::vector<StandardProps>> standard_;
    bool result_current_ = false;
    LastError last_error_;
    std::uint64_t errors_recorded_ = 0;
    Solver solver_;               // keeps its last solution as the next start
    EquilibriumProblem problem_;  // the state as the solver sees it
    EquilibriumResult result_;
};

}  // namespace eqcore
