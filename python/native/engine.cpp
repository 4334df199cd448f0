#include "engine.hpp"

#include <cmath>
#include <limits>
#include <utility>

#include "check/checked_equilibrate.hpp"
#include "session/error.hpp"
#include "session/session.hpp"

namespace eqcore::python {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::string text(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.10g", v);
    return buf;
}

double positive(double v, const char* what) {
    if (!std::isfinite(v) || v <= 0.0) throw Failure(Error::invalid_value, std::string(what) + " " + text(v) + " (must be finite and above 0)");
    return v;
}

}  // namespace

class Engine::Use {
public:
    explicit Use(std::atomic<bool>& busy) : busy_(busy) {
        if (busy_.exchange(true))
            throw Failure(Error::internal, "this engine is already computing in another thread; use one engine per thread");
    }
    ~Use() { busy_.store(false); }
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;

private:
    std::atomic<bool>& busy_;
};

Units make_units(const std::string& temperature, const std::string& pressure, const std::string& volume,
                 const std::string& energy, const std::string& amount) {
    Units u;
    u.set("pressure", "Pa");
    u.set("volume", "m3");
    if (!temperature.empty()) u.set("temperature", temperature);
    if (!pressure.empty()) u.set("pressure", pressure);
    if (!volume.empty()) u.set("volume", volume);
    if (!energy.empty()) u.set("energy", energy);
    if (!amount.empty()) u.set("amount", amount);
    return u;
}

Engine::Engine(std::shared_ptr<const System> sys) : sys_(std::move(sys)) {
    mass_.resize(sys_->constituents.size());
    for (std::size_t g = 0; g < mass_.size(); ++g) mass_[g] = molar_mass(*sys_, static_cast<int>(g));
    units_ = make_units("", "", "", "", "");
    problem_ = EquilibriumProblem::all_entered(*sys_);
}

void Engine::configure(const Units& u, std::vector<char> phase_entered, std::vector<char> constituent_entered,
                       double tlow, double thigh) {
    Use use(busy_);
    if (!phase_entered.empty() && phase_entered.size() != sys_->phases.size())
        throw Failure(Error::internal, "phase statuses: " + std::to_string(phase_entered.size()) + " given for " +
                                           std::to_string(sys_->phases.size()) + " phases");
    if (!constituent_entered.empty() && constituent_entered.size() != sys_->constituents.size())
        throw Failure(Error::internal, "constituent statuses: " + std::to_string(constituent_entered.size()) +
                                           " given for " + std::to_string(sys_->constituents.size()) + " constituents");
    const double lo = u.temperature_to_si(tlow), hi = u.temperature_to_si(thigh);
    if (!std::isfinite(lo) || !std::isfinite(hi) || lo <= 0.0 || lo >= hi)
        throw Failure(Error::invalid_limit, "temperature limits " + text(lo) + " K to " + text(hi) +
                                                " K (need 0 < low < high, both finite)");
    units_ = u;
    phase_entered_ = std::move(phase_entered);
    constituent_entered_ = std::move(constituent_entered);
    tlow_ = lo;
    thigh_ = hi;
}

void Engine::set_problem(const Request& q) {
    const System& sys = *sys_;
    problem_.system = &sys;
    if (phase_entered_.empty()) problem_.phase_entered.assign(sys.phases.size(), 1);
    else problem_.phase_entered = phase_entered_;
    if (constituent_entered_.empty()) problem_.constituent_entered.assign(sys.constituents.size(), 1);
    else problem_.constituent_entered = constituent_entered_;

    if (q.stream_index.size() != q.stream_amount.size())
        throw Failure(Error::internal, "feed: indices and amounts differ in number");
    if (!q.elements.empty() && q.elements.size() != sys.elements.size())
        throw Failure(Error::internal, "element feed: " + std::to_string(q.elements.size()) + " amounts for " +
                                           std::to_string(sys.elements.size()) + " elements");
    // The constituent feed, in mol.
    problem_.streams.resize(1);
    Feed& f = problem_.streams[0];
    f.name = "FEED";
    f.T = units_.temperature_to_si(q.feed_T);
    f.P = units_.pressure_to_si(q.P);
    f.amount.assign(sys.constituents.size(), 0.0);
    for (std::size_t i = 0; i < q.stream_index.size(); ++i) {
        const int g = q.stream_index[i];
        if (g < 0 || g >= static_cast<int>(sys.constituents.size()))
            throw Failure(Error::constituent_out_of_range, "feed constituent index " + std::to_string(g));
        const double v = q.stream_amount[i];
        const std::string& name = sys.constituents[sz(g)].name;
        if (!std::isfinite(v) || v < 0.0)
            throw Failure(Error::invalid_amount, "feed of " + name + ": " + text(v) + " (must be finite and at least 0)");
        double m = 1.0;
        if (units_.amount_is_mass()) {
            m = mass_[sz(g)];
            if (!(m > 0.0)) throw Failure(Error::no_molar_mass, "constituent " + name + " (molar mass " + text(m) + " g/mol)");
        }
        f.amount[sz(g)] += units_.amount_to_mol(v, m);
    }
    if (q.elements.empty()) {
        problem_.element_amount.assign(sys.elements.size(), 0.0);
        return;
    }
    // Element feed: everything as element amounts, no streams.
    for (std::size_t j = 0; j < q.elements.size(); ++j)
        if (!std::isfinite(q.elements[j]) || q.elements[j] < 0.0)
            throw Failure(Error::invalid_amount, "feed of element " + sys.elements[j].symbol + ": " + text(q.elements[j]) +
                                                     " mol (must be finite and at least 0)");
    problem_.elements(problem_.element_amount);
    for (std::size_t j = 0; j < q.elements.size(); ++j) problem_.element_amount[j] += q.elements[j];
    problem_.streams.clear();
}

Conditions Engine::conditions(const Request& q) const {
    Conditions c;
    c.T = positive(units_.temperature_to_si(q.T), "temperature (K)");
    c.P = positive(units_.pressure_to_si(q.P), "pressure (Pa)");
    c.T_low = tlow_;
    c.T_high = thigh_;
    c.target.kind = q.target;
    if (q.target == TargetKind::enthalpy) {
        if (problem_.streams.empty())
            throw Failure(Error::invalid_value, "an enthalpy condition needs the feed as constituents (it counts "
                                                "from their enthalpy as they enter), not as element formulas");
        if (!std::isfinite(q.target_value))
            throw Failure(Error::invalid_value, "enthalpy condition " + text(q.target_value) + " (must be finite)");
        c.target.value = units_.energy_to_si(q.target_value);
    } else if (q.target != TargetKind::none) {
        if (q.target_phase < 0 || q.target_phase >= sys_->phase_count())
            throw Failure(Error::phase_out_of_range, "target phase index " + std::to_string(q.target_phase));
        c.target.phase = q.target_phase;
    }
    return c;
}

void Engine::solve(const Conditions& c, bool checked, EquilibriumResult& out) {
    if (!checked) {
        solver_.equilibrate(problem_, c, out);
    } else {
        equilibrate_checked(solver_, problem_, c, out);
        if (!out.succeeded()) {
            // A warm start can lead the solver astray where a cold one does not.
            solver_.forget();
            equilibrate_checked(solver_, problem_, c, out);
        }
    }
    if (!out.succeeded()) throw Failure(error_of(out.status), out.message);
}

void Engine::equilibrate(const Request& q, EquilibriumResult& out) {
    Use use(busy_);
    set_problem(q);
    solve(conditions(q), q.checked, out);
}

void Engine::write_row(const EquilibriumResult& r, std::size_t row, const StepColumns& c) const {
    const Units& u = units_;
    const System& sys = *sys_;
    const std::size_t np = sys.phases.size(), nc = sys.constituents.size(), ne = sys.elements.size();
    c.ok[row] = 1;
    c.T[row] = u.temperature_from_si(r.T);
    c.P[row] = u.pressure_from_si(r.P);
    c.G[row] = u.energy_from_si(r.G);
    c.H[row] = u.energy_from_si(r.H);
    c.S[row] = u.entropy_from_si(r.S);
    c.Cp[row] = u.entropy_from_si(r.Cp);
    c.V[row] = u.volume_from_si(r.V);
    c.H_in[row] = u.energy_from_si(r.H_in);
    c.heat[row] = u.energy_from_si(r.heat);
    for (std::size_t g = 0; g < nc; ++g) {
        c.amount[row * nc + g] = amount_in_unit(u, sys, static_cast<int>(g), r.amount[g]);
        c.mole_fraction[row * nc + g] = r.mole_fraction[g];
    }
    for (std::size_t p = 0; p < np; ++p) {
        const Phase& ph = sys.phases[p];
        double a = 0.0;
        for (int k = 0; k < ph.count; ++k) a += c.amount[row * nc + sz(ph.first + k)];
        c.phase_amount[row * np + p] = a;
        c.present[row * np + p] = r.phases[p].present ? 1 : 0;
        c.driving_force[row * np + p] = u.energy_from_si(r.phases[p].driving_force);
    }
    for (std::size_t j = 0; j < ne; ++j) c.element_potential[row * ne + j] = u.energy_from_si(r.element_potential[j]);
}

void Engine::write_failed_row(std::size_t row, const StepColumns& c) const {
    const std::size_t np = sys_->phases.size(), nc = sys_->constituents.size(), ne = sys_->elements.size();
    c.ok[row] = 0;
    for (double* col : {c.T, c.P, c.G, c.H, c.S, c.Cp, c.V, c.H_in, c.heat}) col[row] = kNaN;
    for (std::size_t p = 0; p < np; ++p) {
        c.phase_amount[row * np + p] = kNaN;
        c.present[row * np + p] = 0;
        c.driving_force[row * np + p] = kNaN;
    }
    for (std::size_t g = 0; g < nc; ++g) c.amount[row * nc + g] = c.mole_fraction[row * nc + g] = kNaN;
    for (std::size_t j = 0; j < ne; ++j) c.element_potential[row * ne + j] = kNaN;
}

std::vector<StepFailure> Engine::step(const Request& q, StepVariable variable, const double* values, std::size_t count,
                                      const StepAmount& amount, const StepColumns& cols) {
    Use use(busy_);
    if (variable == StepVariable::temperature && q.target != TargetKind::none)
        throw Failure(Error::invalid_value, "a step over the temperature cannot have a temperature target");
    set_problem(q);
    Conditions c = conditions(q);
    const bool by_elements = problem_.streams.empty();
    const std::vector<double> base = by_elements ? problem_.element_amount : problem_.streams[0].amount;
    if (variable == StepVariable::amount) {
        if (amount.constituent >= static_cast<int>(sys_->constituents.size()))
            throw Failure(Error::constituent_out_of_range, "stepped constituent index " + std::to_string(amount.constituent));
        if (amount.constituent < 0 && (amount.formula.size() != sys_->elements.size() || !by_elements))
            throw Failure(Error::internal, "stepped formula: one amount per element and an element feed expected");
        if (amount.constituent >= 0 && units_.amount_is_mass() && !(mass_[sz(amount.constituent)] > 0.0))
            throw Failure(Error::no_molar_mass, "constituent " + sys_->constituents[sz(amount.constituent)].name);
        if (amount.constituent < 0 && units_.amount_is_mass() && !(amount.formula_mass > 0.0))
            throw Failure(Error::no_molar_mass, "the stepped formula has no molar mass");
    }
    std::vector<StepFailure> failures;
    for (std::size_t i = 0; i < count; ++i) {
        const double v = values[i];
        try {
            switch (variable) {
                case StepVariable::temperature: c.T = positive(units_.temperature_to_si(v), "temperature (K)"); break;
                case StepVariable::pressure:
                    c.P = positive(units_.pressure_to_si(v), "pressure (Pa)");
                    for (Feed& f : problem_.streams) f.P = c.P;
                    break;
                case StepVariable::amount: {
                    if (!std::isfinite(v) || v < 0.0)
                        throw Failure(Error::invalid_amount, "stepped amount " + text(v) + " (must be finite and at least 0)");
                    std::vector<double>& n = by_elements ? problem_.element_amount : problem_.streams[0].amount;
                    n = base;
                    if (amount.constituent >= 0) {
                        const double mol = units_.amount_to_mol(v, units_.amount_is_mass() ? mass_[sz(amount.constituent)] : 1.0);
                        if (by_elements) {
                            const auto& a = sys_->constituents[sz(amount.constituent)].stoich;
                            for (std::size_t j = 0; j < n.size() && j < a.size(); ++j) n[j] += a[j] * mol;
                        } else {
                            n[sz(amount.constituent)] += mol;
                        }
                    } else {
                        const double mol = units_.amount_to_mol(v, units_.amount_is_mass() ? amount.formula_mass : 1.0);
                        for (std::size_t j = 0; j < n.size(); ++j) n[j] += amount.formula[j] * mol;
                    }
                    break;
                }
            }
            solve(c, q.checked, step_result_);
            write_row(step_result_, i, cols);
            // A target's next search starts from this point's temperature.
            if (c.target.kind != TargetKind::none) c.T = step_result_.T;
        } catch (const Failure& e) {
            write_failed_row(i, cols);
            failures.push_back({i, static_cast<int>(e.code()), e.what()});
        }
    }
    return failures;
}

}  // namespace eqcore::python
