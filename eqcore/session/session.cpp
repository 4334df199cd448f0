#include "session/session.hpp"

#include <cmath>
#include <limits>
#include <stdexcept>
#include <utility>

#include "data/read_dat.hpp"
#include "session/text.hpp"

namespace eqcore {

using text::number;

namespace {

// Names are looked up on their first 24 characters (the width of the name
// fields of the entry points).
constexpr std::size_t kNameWidth = 24;
std::string_view lookup_key(std::string_view s) { return text::trimmed(s.substr(0, std::min(s.size(), kNameWidth))); }

}  // namespace

Session::Session() { reset(); }

void Session::reset() {
    units_ = Units{};
    io_[0] = io_[1] = io_[2] = 0;
    has_system_ = false;
    system_ = System{};
    models_ = PhaseModels{};
    source_.clear();
    cst_header_.reset();
    phase_entered_.clear();
    constituent_entered_.clear();
    checked_ = false;
    tlow_ = kDefaultTlow;
    thigh_ = kDefaultThigh;
    conditions_.clear();
    streams_.clear();
    standard_T_.clear();
    standard_.clear();
    invalidate_result();
    last_error_ = LastError{};
    solver_.reset();
}

void Session::set_io_unit(IoKind which, std::int64_t unit) {
    if (unit < 0) throw Failure(Error::invalid_io_unit, "unit " + std::to_string(unit) + " (0 = none, else positive)");
    io_[static_cast<int>(which)] = unit;
}

// ---------------------------------------------------------------- system

void Session::load(System sys, std::string source) {
    // Every phase needs a model; a system without one is not loaded.
    PhaseModels models;
    try {
        models = PhaseModels(sys);
    } catch (const std::invalid_argument& e) {
        throw Failure(Error::data_file, source + ": " + e.what());
    }
    system_ = std::move(sys);
    models_ = std::move(models);
    source_ = std::move(source);
    cst_header_.reset();
    has_system_ = true;
    phase_entered_.assign(system_.phases.size(), true);
    constituent_entered_.assign(system_.constituents.size(), true);
    conditions_.clear();
    streams_.clear();
    standard_T_.assign(system_.phases.size(), std::numeric_limits<double>::quiet_NaN());
    standard_.assign(system_.phases.size(), {});
    invalidate_result();
    solver_.reset();  // its setup belongs to the system replaced here
}

void Session::read_dat_file(const std::string& path) {
    System sys;
    try {
        sys = read_dat(path);
    } catch (const DataError& e) {
        throw data_file_failure(e);
    }
    load(std::move(sys), path);
}

void Session::read_cst_file(const std::string& path) {
    CstFile f;
    try {
        f = read_cst(path);
    } catch (const DataError& e) {
        throw data_file_failure(e);
    }
    load(std::move(f.system), path);
    cst_header_ = std::move(f.header);
}

const CstHeader& Session::cst_header() const {
    if (!cst_header_)
        throw Failure(Error::no_binary_header, has_system_ ? "the system was read from " + shorten_left(source_, 50)
                                                           : std::string("no data file has been read"));
    return *cst_header_;
}

Failure data_file_failure(const DataError& e) {
    // The reader's text starts with "file:line: "; the path may be long, so
    // it is shortened from the left to keep file, line and field in view.
    std::string_view what = e.what();
    const std::string prefix = e.file() + ":" + std::to_string(e.line()) + ": ";
    if (what.substr(0, prefix.size()) == prefix) what.remove_prefix(prefix.size());
    // A binary file has no lines (line 0): its text gives the byte offset.
    const std::string where =
        "file " + shorten_left(e.file(), 48) + (e.line() > 0 ? ", line " + std::to_string(e.line()) : std::string());
    return Failure(Error::data_file, where + ": " + std::string(what));
}

void Session::throw_no_system() const { throw Failure(Error::no_system, "read a data file first"); }

void Session::throw_phase_range(std::int64_t number) const {
    throw Failure(Error::phase_out_of_range, "phase " + std::to_string(number) + " (the system has " +
                                                 std::to_string(system_.phase_count()) + " phases)");
}

void Session::throw_constituent_range(int phase, std::int64_t number) const {
    const Phase& ph = system_.phases[static_cast<std::size_t>(phase)];
    throw Failure(Error::constituent_out_of_range, "constituent " + std::to_string(number) + " of phase " + ph.name +
                                                       " (it has " + std::to_string(ph.count) + ")");
}

int Session::phase_index(std::string_view name) const {
    const System& sys = system();
    const std::string_view key = lookup_key(name);
    for (int p = 0; p < sys.phase_count(); ++p)
        if (lookup_key(sys.phases[static_cast<std::size_t>(p)].name) == key) return p;
    throw Failure(Error::unknown_phase, "phase '" + std::string(key) + "' is not in " + shorten_left(source_, 40));
}

double Session::molar_mass(int phase, int constituent) const {
    check_constituent(phase, constituent);
    const double m = eqcore::molar_mass(system_, system_.phases[static_cast<std::size_t>(phase)].first + constituent);
    if (!(m > 0.0))
        throw Failure(Error::no_molar_mass,
                      "constituent " + system_.constituent(phase, constituent).name + " (molar mass " + number(m) + " g/mol)");
    return m;
}

// -------------------------------------------------------------- statuses

Status Session::phase_status(int phase) const {
    check_phase(phase);
    if (system_.phases[static_cast<std::size_t>(phase)].dormant) return Status::dormant;
    return phase_entered_[static_cast<std::size_t>(phase)] ? Status::entered : Status::eliminated;
}

bool Session::constituent_entered(int phase, int constituent) const {
    check_constituent(phase, constituent);
    const Phase& ph = system_.phases[static_cast<std::size_t>(phase)];
    return constituent_entered_[static_cast<std::size_t>(ph.first + constituent)];
}

void Session::set_phase_status(int phase, bool entered) {
    check_phase(phase);
    const Phase& ph = system_.phases[static_cast<std::size_t>(phase)];
    phase_entered_[static_cast<std::size_t>(phase)] = entered;
    for (int k = 0; k < ph.count; ++k) constituent_entered_[static_cast<std::size_t>(ph.first + k)] = entered;
    invalidate_result();
}

void Session::set_constituent_status(int phase, int constituent, bool entered) {
    check_constituent(phase, constituent);
    const Phase& ph = system_.phases[static_cast<std::size_t>(phase)];
    constituent_entered_[static_cast<std::size_t>(ph.first + constituent)] = entered;
    bool any = entered;
    for (int k = 0; k < ph.count && !any; ++k) any = constituent_entered_[static_cast<std::size_t>(ph.first + k)];
    phase_entered_[static_cast<std::size_t>(phase)] = any;
    invalidate_result();
}

// ---------------------------------------------------------------- limits

void Session::set_tlow(double kelvin) {
    if (!(kelvin > 0.0) || !std::isfinite(kelvin) || kelvin >= thigh_)
        throw Failure(Error::invalid_limit, "TLOW = " + number(kelvin) + " K (must be above 0 K and below THIGH = " +
                                                number(thigh_) + " K)");
    tlow_ = kelvin;
    invalidate_result();
}

void Session::set_thigh(double kelvin) {
    if (!std::isfinite(kelvin) || kelvin <= tlow_)
        throw Failure(Error::invalid_limit,
                      "THIGH = " + number(kelvin) + " K (must be finite and above TLOW = " + number(tlow_) + " K)");
    thigh_ = kelvin;
    invalidate_result();
}

// ---------------------------------------------------------------- errors

void Session::record_error(Error code, std::string_view detail) {
    last_error_.code = code;
    last_error_.lines = error_lines(code, detail);
    ++errors_recorded_;
}

}  // namespace eqcore
