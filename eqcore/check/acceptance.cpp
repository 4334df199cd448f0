// The acceptance check of an equilibrium result (see acceptance.hpp).
#include "check/acceptance.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <limits>
#include <string>

#include <Eigen/Dense>

#include "check/balance_hold.hpp"
#include "check/own_basins.hpp"
#include "thermo/models.hpp"
#include "thermo/phase_props.hpp"

namespace eqcore {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

std::string num(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6g", v);
    return buf;
}

// Which constituents may hold material: an entered constituent of an entered,
// non-dormant phase, made only of elements of the material.
std::vector<char> usable_constituents(const EquilibriumProblem& pr, const std::vector<double>& b) {
    const System& sys = *pr.system;
    std::vector<char> use(sys.constituents.size(), 0);
    for (int p = 0; p < sys.phase_count(); ++p) {
        const Phase& ph = sys.phases[sz(p)];
        if (ph.dormant || !pr.phase_entered[sz(p)]) continue;
        for (int k = 0; k < ph.count; ++k) {
            const std::size_t g = sz(ph.first + k);
            if (!pr.constituent_entered[g]) continue;
            bool ok = true;
            for (std::size_t j = 0; j < b.size(); ++j)
                if (sys.constituents[g].stoich[j] != 0.0 && !(b[j] > 0.0)) ok = false;
            use[g] = ok ? 1 : 0;
        }
    }
    return use;
}

double a_dot_pi(const Constituent& c, const std::vector<double>& pi) {
    double s = 0.0;
    for (std::size_t j = 0; j < pi.size(); ++j) s += c.stoich[j] * pi[j];
    return s;
}

class Checker {
public:
    Checker(const EquilibriumProblem& pr, const EquilibriumResult& r, const AcceptanceOptions& opt,
            AcceptanceReport& rep)
        : pr_(pr), sys_(*pr.system), r_(r), opt_(opt), rep_(rep), RT_(kR * r.T) {
        if (!pr.models) own_models_ = PhaseModels(sys_);
        models_ = pr.models ? pr.models : &own_models_;
    }

    void run() {
        b_ = pr_.elements();
        use_ = usable_constituents(pr_, b_);
        amounts();
        balances();
        absent_x_.assign(sys_.phases.size(), {});
        for (int p = 0; p < sys_.phase_count(); ++p) {
            if (r_.phases[sz(p)].present)
                present_phase(p);
            else
                absent_phase(p);
        }
        held_by_balance();
        if (!rep_.ok && worst_res_ > opt_.mu_tol) fitted_potentials();
        if (rep_.ok) own_basins_of_present();
        energies();
    }

private:
    void fault(std::string s) {
        rep_.ok = false;
        rep_.faults.push_back(std::move(s));
    }
    const std::string& cname(std::size_t g) const { return sys_.constituents[g].name; }
    const std::string& pname(int p) const { return sys_.phases[sz(p)].name; }

    void amounts() {
        for (int p = 0; p < sys_.phase_count(); ++p) {
            const Phase& ph = sys_.phases[sz(p)];
            const PhaseResult& res = r_.phases[sz(p)];
            double sum = 0.0;
            for (int k = 0; k < ph.count; ++k) {
                const std::size_t g = sz(ph.first + k);
                const double n = r_.amount[g];
                if (!std::isfinite(n) || n < 0.0) {
                    fault("amount of " + cname(g) + " in " + ph.name + " is " + num(n));
                    continue;
                }
                if (n > 0.0 && !use_[g]) fault(cname(g) + " in " + ph.name + " holds " + num(n) + " mol but does not take part");
                if (n > 0.0 && !res.present) fault(cname(g) + " holds " + num(n) + " mol in the absent phase " + ph.name);
                sum += n;
            }
            if (res.present && (ph.dormant || !pr_.phase_entered[sz(p)]))
                fault("phase " + ph.name + " is present but does not take part");
            // A phase whose site numbers follow its composition counts formula
            // units, which its model gives from the amounts.
            SiteNumbers sites;
            const bool floating = res.present && (*models_)[p].floating_sites(
                                                     std::span<const double>(r_.amount.data() + ph.first, sz(ph.count)), sites);
            const double expected = floating ? sites.formula_units : sum;
            if (!(std::abs(expected - res.amount) <= 1e-12 * std::max(expected, std::abs(res.amount)) + 1e-300))
                fault("amount of phase " + ph.name + " is " + num(res.amount) + ", its constituents " +
                      (floating ? "make " + num(expected) + " formula units" : "sum to " + num(expected)));
            if (res.present && !(res.amount > 0.0)) fault("phase " + ph.name + " is present with amount " + num(res.amount));
        }
    }

    void balances() {
        double total = 0.0;
        for (double v : b_) total += v;
        for (std::size_t j = 0; j < b_.size(); ++j) {
            double s = 0.0;
            for (std::size_t g = 0; g < sys_.constituents.size(); ++g) s += sys_.constituents[g].stoich[j] * r_.amount[g];
            const double err = std::abs(s - b_[j]);
            const double rel = err / std::max(b_[j], 1e-14 * total);
            rep_.worst_balance = std::max(rep_.worst_balance, rel);
            if (!(err <= opt_.balance_tol * b_[j] + 1e-14 * total))
                fault("element " + sys_.elements[j].symbol + ": the amounts hold " + num(s) + " mol, the material " +
                      num(b_[j]) + " mol");
        }
    }

    // mu of a phase's constituents by its model at the reported amounts; a
    // usable constituent at zero amount in a mixture is given the smallest
    // amount the model takes.
    void model_mu(int p, std::vector<double>& n, std::vector<double>& mu, PhaseProps& props) {
        const Phase& ph = sys_.phases[sz(p)];
        n.assign(sz(ph.count), 0.0);
        mu.assign(sz(ph.count), 0.0);
        for (int k = 0; k < ph.count; ++k) n[sz(k)] = r_.amount[sz(ph.first + k)];
        props = phase_props((*models_)[p], r_.T, r_.P, n);
        if (ph.is_mixture())
            for (int k = 0; k < ph.count; ++k)
                if (use_[sz(ph.first + k)] && n[sz(k)] <= 0.0) n[sz(k)] = 1e-300 * r_.phases[sz(p)].amount;
        phase_props((*models_)[p], r_.T, r_.P, n, mu);
    }

    void present_phase(int p) {
        const Phase& ph = sys_.phases[sz(p)];
        std::vector<double> n, mu;
        PhaseProps props;
        model_mu(p, n, mu, props);
        g_model_ += props.G;
        h_model_ += props.H;
        s_model_ += props.S;
        const double N = r_.phases[sz(p)].amount;
        for (int k = 0; k < ph.count; ++k) {
            const std::size_t g = sz(ph.first + k);
            if (!use_[g]) continue;
            const Constituent& c = sys_.constituents[g];
            const double res = (mu[sz(k)] - a_dot_pi(c, r_.element_potential)) / RT_;
            present_.push_back({g, mu[sz(k)]});
            // A trace below what a double holds may only sit above the plane:
            // its true amount is smaller still.
            const bool below_floor = ph.is_mixture() && n[sz(k)] < 1e-280 * N;
            if (!(below_floor && res > 0.0)) {
                worst_res_ = std::max(worst_res_, std::abs(res));
                if (!(std::abs(res) <= opt_.mu_tol))
                    fault(c.name + " in " + ph.name + ": mu - sum a pi = " + num(res) + " RT (amount " + num(r_.amount[g]) +
                          " mol)");
            }
            if (r_.amount[g] > 0.0) {
                const double nm = r_.amount[g] * mu[sz(k)];
                g_nmu_ += nm;
                scale_ += std::abs(nm);
                amount_ += r_.amount[g];
                if (!below_floor && !(std::abs(r_.mu[g] - mu[sz(k)]) <= opt_.mu_tol * RT_))
                    fault(c.name + " in " + ph.name + ": reported mu " + num(r_.mu[g]) + " J/mol, the model gives " +
                          num(mu[sz(k)]));
            }
        }
        rep_.worst_mu = worst_res_;
    }

    void absent_phase(int p) {
        const Phase& ph = sys_.phases[sz(p)];
        if (ph.dormant || !pr_.phase_entered[sz(p)]) return;
        std::vector<char> local(sz(ph.count), 0);
        bool any = false;
        for (int k = 0; k < ph.count; ++k) any = (local[sz(k)] = use_[sz(ph.first + k)]) != 0 || any;
        if (!any) return;
        double D = 0.0;
        if (!ph.is_mixture()) {
            std::vector<double> n{1.0}, mu{0.0};
            phase_props((*models_)[p], r_.T, r_.P, n, mu);
            D = (mu[0] - a_dot_pi(sys_.constituent(p, 0), r_.element_potential)) / RT_;
        } else {
            // Present phases with the same constituents (copies of one
            // phase): their compositions are starts too.
            const std::vector<std::vector<double>> starts = compositions_like(p);
            D = least_tangent_distance(sys_, p, r_.T, r_.P, r_.element_potential, local, opt_.random_starts,
                                       opt_.seed + static_cast<std::uint64_t>(p), &absent_x_[sz(p)], &(*models_)[p],
                                       &starts);
        }
        if (!(D >= -opt_.df_tol) && written_once_nonideal(own_input(), p)) {
            // One instance of it may be held out by the balance (balance_hold.hpp): judged once
            // every phase's potentials are known.
            below_plane_.push_back({p, D});
        } else {
            rep_.worst_df = std::min(rep_.worst_df, D);
            if (!(D >= -opt_.df_tol))
                fault("absent phase " + ph.name + " would form: driving force " + num(-D) + " RT per mol");
        }
        if (r_.phases[sz(p)].driving_force > opt_.df_tol * RT_)
            fault("absent phase " + ph.name + " reported with a positive driving force " +
                  num(r_.phases[sz(p)].driving_force) + " J/mol");
    }

    // The compositions of the present phases other than p with p's
    // constituents (copies of one phase).
    std::vector<std::vector<double>> compositions_like(int p) const {
        const Phase& ph = sys_.phases[sz(p)];
        std::vector<std::vector<double>> starts;
        for (int q = 0; q < sys_.phase_count(); ++q) {
            const Phase& o = sys_.phases[sz(q)];
            if (q == p || !r_.phases[sz(q)].present || o.count != ph.count || !(r_.phases[sz(q)].amount > 0.0)) continue;
            bool same = true;
            for (int k = 0; k < ph.count && same; ++k) same = sys_.constituent(q, k).name == sys_.constituent(p, k).name;
            if (!same) continue;
            std::vector<double> x(sz(ph.count));
            for (int k = 0; k < ph.count; ++k) x[sz(k)] = r_.amount[sz(o.first + k)] / r_.phases[sz(q)].amount;
            starts.push_back(std::move(x));
        }
        return starts;
    }

    // What the searches of phases written once are given (absent_x as far
    // as the absent phases are checked).
    OwnBasinsInput own_input() const {
        OwnBasinsInput in;
        in.sys = &sys_;
        in.models = models_;
        in.r = &r_;
        in.b = b_;
        in.use = use_;
        in.takes_part.assign(sys_.phases.size(), 0);
        for (int p = 0; p < sys_.phase_count(); ++p) {
            const Phase& ph = sys_.phases[sz(p)];
            if (ph.dormant || !pr_.phase_entered[sz(p)]) continue;
            for (int k = 0; k < ph.count; ++k) in.takes_part[sz(p)] |= use_[sz(ph.first + k)];
        }
        in.absent_x = absent_x_;
        return in;
    }

    // An absent mixture written once below the reported plane is accepted
    // only where, at every composition of it, some potentials the present
    // phases allow hold it out (balance_hold.hpp); its least distance then
    // counts as 0.
    void held_by_balance() {
        if (below_plane_.empty()) return;
        const OwnBasinsInput in = own_input();
        for (const auto& [p, D] : below_plane_) {
            std::vector<std::vector<double>> points;
            if (!absent_x_[sz(p)].empty()) points.push_back(absent_x_[sz(p)]);
            const BalanceHoldFinding f = balance_holds(in, p, present_, points, opt_.df_tol, opt_.mu_tol);
            if (f.held) continue;
            rep_.worst_df = std::min(rep_.worst_df, D);
            std::string at;
            for (double v : f.uncovered) {
                if (!at.empty()) at += ' ';
                at += num(v);
            }
            fault("absent phase " + pname(p) + " would form: driving force " + num(-D) +
                  " RT per mol, and at composition (" + at + ") no potentials the present phases allow hold it out");
        }
    }

    // A present mixture written once may sit inside its own gap, but no
    // assemblage with it at another composition may be lower (own_basins.hpp).
    // Judged once every other condition holds: the search needs a minimum's
    // potentials.
    void own_basins_of_present() {
        const OwnBasinsInput in = own_input();
        double material = 0.0;
        for (double v : b_) material += v;
        const double tol_G = opt_.assemblage_tol * RT_ * material + 1e-10 * std::abs(r_.G);
        for (int p = 0; p < sys_.phase_count(); ++p) {
            if (!r_.phases[sz(p)].present || !written_once_nonideal(in, p)) continue;
            const OwnBasinsFinding f = own_basins(in, p, compositions_like(p), opt_.random_starts,
                                                  opt_.seed + static_cast<std::uint64_t>(p), opt_.df_tol, tol_G);
            rep_.worst_self_distance = std::min(rep_.worst_self_distance, f.least_distance);
            rep_.lower_assemblage = std::max(rep_.lower_assemblage, f.lower_by);
            if (f.lower_by > 0.0)
                fault("phase " + pname(p) + " sits in its higher basin: with it at another composition, " + f.assemblage +
                      " has G lower by " + num(f.lower_by) + " J");
        }
    }

    // Diagnosis only: do the present constituents agree on some potentials?
    // (Tells a wrong pi apart from amounts that are not at a minimum.)
    void fitted_potentials() {
        const int E = sys_.element_count();
        Eigen::MatrixXd A(static_cast<Eigen::Index>(present_.size()), E);
        Eigen::VectorXd m(static_cast<Eigen::Index>(present_.size()));
        for (std::size_t i = 0; i < present_.size(); ++i) {
            for (int j = 0; j < E; ++j)
                A(static_cast<Eigen::Index>(i), j) = sys_.constituents[present_[i].first].stoich[sz(j)];
            m(static_cast<Eigen::Index>(i)) = present_[i].second / RT_;
        }
        if (present_.empty()) return;
        const Eigen::VectorXd pi = A.completeOrthogonalDecomposition().solve(m);
        const double worst = (A * pi - m).lpNorm<Eigen::Infinity>();
        fault("with potentials fitted to the present constituents the largest residual is " + num(worst) + " RT");
    }

    void energies() {
        double g_bpi = 0.0, b_sum = 0.0, pi_top = 0.0;
        for (std::size_t j = 0; j < b_.size(); ++j) {
            g_bpi += b_[j] * r_.element_potential[j];
            b_sum += std::abs(b_[j]);
            pi_top = std::max(pi_top, std::abs(r_.element_potential[j]));
        }
        // Relative to sum |n mu|, but at least RT per mol: where every present
        // constituent is nearly at its standard state (G near 0) the sum
        // vanishes and would judge rounding.
        const double s = std::max({scale_, RT_ * amount_, 1e-300});
        // The potentials are known to the rounding of the largest: where the
        // present phases' energies nearly cancel (an element in its
        // reference state beside a trace of a compound), that rounding, not
        // the energies, sets how well the sums can agree.
        const double rounding = 64.0 * std::numeric_limits<double>::epsilon() * pi_top * b_sum;
        auto compare = [&](double a, const char* what) {
            const double rel = std::max(std::abs(r_.G - a) - rounding, 0.0) / s;
            rep_.worst_energy = std::max(rep_.worst_energy, rel);
            if (!(rel <= opt_.energy_tol)) fault(std::string("G = ") + num(r_.G) + " J differs from " + what + " = " + num(a));
        };
        compare(g_nmu_, "sum n mu");
        compare(g_bpi, "sum b pi");
        compare(g_model_, "the phase models' G");
        const double gts = r_.H - r_.T * r_.S;
        if (!(std::abs(r_.G - gts) <= opt_.energy_tol * std::max(s, std::abs(r_.H))))
            fault("G = " + num(r_.G) + " J differs from H - T S = " + num(gts));
        if (!(std::abs(r_.H - h_model_) <= opt_.energy_tol * std::max({s, std::abs(h_model_), 1.0})))
            fault("H = " + num(r_.H) + " J differs from the phase models' H = " + num(h_model_));
    }

    const EquilibriumProblem& pr_;
    const System& sys_;
    const EquilibriumResult& r_;
    const AcceptanceOptions& opt_;
    AcceptanceReport& rep_;
    PhaseModels own_models_;  // when the problem gives none
    const PhaseModels* models_ = nullptr;
    double RT_;
    std::vector<double> b_;
    std::vector<char> use_;
    std::vector<std::pair<std::size_t, double>> present_;  // constituent, model mu
    std::vector<std::vector<double>> absent_x_;  // per absent mixture: its composition of least distance
    std::vector<std::pair<int, double>> below_plane_;  // absent mixtures written once below the plane, their distance
    double worst_res_ = 0.0;
    double g_nmu_ = 0.0, g_model_ = 0.0, h_model_ = 0.0, s_model_ = 0.0, scale_ = 0.0, amount_ = 0.0;
};

}  // namespace

std::string AcceptanceReport::summary() const {
    if (ok) return "accepted";
    std::string s;
    for (const std::string& f : faults) s += (s.empty() ? "" : "\n") + f;
    return s;
}

AcceptanceReport check_equilibrium(const EquilibriumProblem& problem, const EquilibriumResult& r,
                                   const AcceptanceOptions& options) {
    AcceptanceReport rep;
    auto fail = [&](std::string s) {
        rep.ok = false;
        rep.faults.push_back(std::move(s));
        return rep;
    };
    if (!problem.system) return fail("no system");
    const System& sys = *problem.system;
    if (!r.succeeded()) return fail("the calculation failed: " + r.message);
    if (r.amount.size() != sys.constituents.size() || r.mu.size() != sys.constituents.size() ||
        r.phases.size() != sys.phases.size() || r.element_potential.size() != sys.elements.size() ||
        problem.phase_entered.size() != sys.phases.size() ||
        problem.constituent_entered.size() != sys.constituents.size())
        return fail("the result's arrays do not match the system");
    if (!(std::isfinite(r.T) && r.T > 0.0 && std::isfinite(r.P) && r.P > 0.0))
        return fail("temperature " + num(r.T) + " K or pressure " + num(r.P) + " Pa is not a positive number");
    for (double v : r.element_potential)
        if (!std::isfinite(v)) return fail("an element potential is " + num(v));
    // A model that cannot be evaluated where the check needs it (its
    // internal state not found) leaves the result unverified: a fault of
    // the state, named, never an exception out of the check.
    try {
        Checker(problem, r, options, rep).run();
    } catch (const std::exception& e) {
        fail(std::string("a model could not be evaluated: ") + e.what());
    }
    return rep;
}

}  // namespace eqcore
