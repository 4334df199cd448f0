// Temperature as the unknown: the enthalpy condition and the phase targets.
//
// Every target is a root of a scalar function of T evaluated through a full
// equilibrium (warm-started from the previous one):
//  - enthalpy:      f(T) = H(equilibrium at T) - H_in - X, increasing in T;
//  - formation:     f(T) = driving force of q (per RT) against the
//                   equilibrium without q: zero where q is about to form;
//  - precipitation: f(T) = least driving force of any other phase against q
//                   holding all the material: zero where a second phase is
//                   about to separate from q.
// The root is bracketed (enthalpy: along the slope; phase targets: walking
// outward on both sides of the estimate, so the nearest root is found) and
// then refined by secant steps with bisection as a safeguard. A phase
// target's root is an answer only if the function vanishes there (not a
// jump) and the equilibrium with every phase entered agrees, just on the
// side the function calls "out", that q has not formed.
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "solver/workspace.hpp"

namespace eqcore::detail {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

struct Bracket {
    double a = 0.0, fa = 0.0, b = 0.0, fb = 0.0;
};

// Evaluates f at T; false (status in `st`) when the equilibrium failed.
template <class F>
bool eval(F& f, double T, double& v, SolverStatus& st) {
    st = f(T, v);
    return st == SolverStatus::ok;
}

// Refines a sign-changing bracket: secant steps through the two latest
// points (Newton steps from the point evaluated last, `*last`, where f's
// derivative there, `*slope`, is known) while they fall inside the bracket
// and it keeps shrinking, else bisection (Dekker's safeguard). Leaves the
// final bracket in `br` and returns the best point.
template <class F>
SolverStatus refine(F& f, Bracket& br, double ttol, double ftol, double& root, double& froot,
                    const double* last = nullptr, const double* slope = nullptr) {
    SolverStatus st = SolverStatus::ok;
    double x1 = br.a, f1 = br.fa, x2 = br.b, f2 = br.fb;  // the two latest points
    double width = br.b - br.a;
    double best = std::min(std::abs(br.fa), std::abs(br.fb));
    int slow = 0;
    for (int it = 0; it < 200; ++it) {
        if (std::abs(br.fa) <= ftol || std::abs(br.fb) <= ftol || br.b - br.a <= ttol) break;
        double c = x2 - f2 * (x2 - x1) / (f2 - f1);
        if (slope && *slope > 0.0 && (*last == br.a || *last == br.b))
            c = *last - (*last == br.a ? br.fa : br.fb) / *slope;
        if (!(c > br.a && c < br.b) || slow >= 2) {
            c = 0.5 * (br.a + br.b);
            slow = 0;
        }
        double fc = 0.0;
        if (!eval(f, c, fc, st)) return st;
        x1 = x2;
        f1 = f2;
        x2 = c;
        f2 = fc;
        if ((fc > 0.0) == (br.fb > 0.0)) {
            br.b = c;
            br.fb = fc;
        } else {
            br.a = c;
            br.fa = fc;
        }
        // A step makes progress when it halves the bracket or the least
        // |f| so far: secant steps that close in on the root from one side
        // leave the far end of the bracket in place but shrink |f| fast.
        const bool halved = br.b - br.a <= 0.5 * width || std::abs(fc) <= 0.5 * best;
        slow = halved ? 0 : slow + 1;
        width = std::min(width, br.b - br.a);
        best = std::min(best, std::abs(fc));
    }
    if (std::abs(br.fa) <= std::abs(br.fb)) {
        root = br.a;
        froot = br.fa;
    } else {
        root = br.b;
        froot = br.fb;
    }
    return SolverStatus::ok;
}

// The last point walked on one side of the estimate.
struct Walked {
    double T = 0.0, f = 0.0;
};

// Walks outward from T0 on both sides, steps growing from 5 K to 100 K, to
// the first sign change. target_not_met when none between the limits. The
// side not bracketed has been walked to `other` only: a root there may
// still be nearer than the one bracketed (see nearer_root).
template <class F>
SolverStatus nearest_bracket(F& f, double T0, double f0, double lo, double hi, Bracket& br, Walked& other) {
    double up = T0, fup = f0, down = T0, fdown = f0;
    double h = 5.0;
    SolverStatus st = SolverStatus::ok;
    while (up < hi || down > lo) {
        if (up < hi) {
            const double t = std::min(hi, up + h);
            double v = 0.0;
            if (!eval(f, t, v, st)) return st;
            if ((v > 0.0) != (fup > 0.0) || v == 0.0) {
                br = {up, fup, t, v};
                other = {down, fdown};
                return SolverStatus::ok;
            }
            up = t;
            fup = v;
        }
        if (down > lo) {
            const double t = std::max(lo, down - h);
            double v = 0.0;
            if (!eval(f, t, v, st)) return st;
            if ((v > 0.0) != (fdown > 0.0) || v == 0.0) {
                br = {t, v, down, fdown};
                other = {up, fup};
                return SolverStatus::ok;
            }
            down = t;
            fdown = v;
        }
        h = std::min(100.0, h * 1.25);
    }
    return SolverStatus::target_not_met;
}

// A compound present that holds at most 1e-12 of each of its elements: the
// rounding of an exactly stoichiometric feed (a compound that carries an
// element present only as a trace holds all of it and is kept).
bool holds_rounding_only(const Workspace& ws, const Candidate& c) {
    const auto s = sz(c.first);
    for (int q = ws.nz_off[s]; q < ws.nz_off[s + 1]; ++q)
        if (!(ws.n[s] * std::abs(ws.nz_coef[sz(q)]) <= 1e-12 * ws.b[sz(ws.nz_elem[sz(q)])])) return false;
    return true;
}

void drop_phase(Workspace& ws, int ci) {
    Candidate& c = ws.cand[sz(ci)];
    c.present = false;
    c.N = 0.0;
    for (int s = c.first; s < c.first + c.count; ++s) ws.n[sz(s)] = 0.0;
}

int candidate_of(const Workspace& ws, int phase) {
    for (int ci = 0; ci < static_cast<int>(ws.cand.size()); ++ci)
        if (ws.cand[sz(ci)].phase == phase) return ci;
    return -1;
}

// Blends two end states of an invariant temperature so that the heat of the
// calculation meets the condition: phase amounts and extensive properties
// linearly, compositions of phases present in both weighted by amount.
void blend(EquilibriumResult& lo, const EquilibriumResult& hi, double theta) {
    const double w0 = 1.0 - theta, w1 = theta;
    const auto& sys_phases = lo.phases;
    for (std::size_t g = 0; g < lo.amount.size(); ++g) lo.amount[g] = w0 * lo.amount[g] + w1 * hi.amount[g];
    for (std::size_t p = 0; p < sys_phases.size(); ++p) {
        PhaseResult& a = lo.phases[p];
        const PhaseResult& b = hi.phases[p];
        // Site fractions: those of the blended site amounts (weights are
        // the formula units on either side).
        const double wa = a.present ? w0 * a.amount : 0.0, wb = b.present ? w1 * b.amount : 0.0;
        if (wa + wb > 0.0 && a.site_fraction.size() == b.site_fraction.size())
            for (std::size_t i = 0; i < a.site_fraction.size(); ++i)
                a.site_fraction[i] = (wa * a.site_fraction[i] + wb * b.site_fraction[i]) / (wa + wb);
        a.present = a.present || b.present;
        a.amount = w0 * a.amount + w1 * b.amount;
        a.G = w0 * a.G + w1 * b.G;
        a.H = w0 * a.H + w1 * b.H;
        a.S = w0 * a.S + w1 * b.S;
        a.Cp = w0 * a.Cp + w1 * b.Cp;
        a.V = w0 * a.V + w1 * b.V;
        a.driving_force = std::max(a.driving_force, b.driving_force);
        if (a.present) a.driving_force = 0.0;
    }
    for (std::size_t j = 0; j < lo.element_potential.size(); ++j)
        lo.element_potential[j] = 0.5 * (lo.element_potential[j] + hi.element_potential[j]);
    for (std::size_t g = 0; g < lo.mu.size(); ++g) {
        lo.mu[g] = 0.5 * (lo.mu[g] + hi.mu[g]);
        lo.activity[g] = 0.5 * (lo.activity[g] + hi.activity[g]);
    }
    lo.G = w0 * lo.G + w1 * hi.G;
    lo.H = w0 * lo.H + w1 * hi.H;
    lo.S = w0 * lo.S + w1 * hi.S;
    lo.Cp = w0 * lo.Cp + w1 * hi.Cp;
    lo.V = w0 * lo.V + w1 * hi.V;
    lo.heat = lo.H - lo.H_in;
    lo.T = 0.5 * (lo.T + hi.T);
}

// Mole fractions of every phase from the blended amounts.
void renormalise(const System& sys, EquilibriumResult& r) {
    for (int p = 0; p < sys.phase_count(); ++p) {
        const Phase& ph = sys.phases[sz(p)];
        if (!r.phases[sz(p)].present || r.phases[sz(p)].amount <= 0.0) continue;
        for (int k = 0; k < ph.count; ++k)
            r.mole_fraction[sz(ph.first + k)] = r.amount[sz(ph.first + k)] / r.phases[sz(p)].amount;
    }
}

SolverStatus enthalpy_target(Workspace& ws, const Conditions& cond, double H_in, EquilibriumResult& out,
                             std::string& message) {
    const double X = cond.target.value;
    const double lo = cond.T_low, hi = cond.T_high;
    double scale = std::max({1.0, std::abs(H_in), std::abs(X)});
    double cp = 0.0;  // heat capacity at fixed amounts of the last state, J/K
    // dH/dT of the last state along its equilibrium, J/K (NaN where unknown).
    double cp_eq = std::numeric_limits<double>::quiet_NaN();
    double solved_at = std::numeric_limits<double>::quiet_NaN();  // T of the state ws holds
    auto f = [&](double T, double& v) {
        solved_at = std::numeric_limits<double>::quiet_NaN();
        cp_eq = std::numeric_limits<double>::quiet_NaN();
        set_conditions(ws, T, cond.P);
        const SolverStatus st = solve_tp(ws, ws.opt.warm_start, message);
        if (st != SolverStatus::ok) return st;
        v = equilibrium_enthalpy(ws, &cp) - H_in - X;
        cp_eq = equilibrium_heat_capacity(ws, cp);
        solved_at = T;
        return SolverStatus::ok;
    };
    // H rises with T through a single root, so any start finds it: a held
    // solution's temperature (the root of the previous calculation, as a
    // unit of a flowsheet is called again and again on nearly the same
    // material) is a better one than a fixed estimate, and its state is
    // at hand there.
    const bool held = ws.opt.warm_start && ws.have_solution && ws.T > 0.0;
    const double T0 = std::clamp(held ? ws.T : cond.T, lo, hi);
    double f0 = 0.0;
    SolverStatus st = f(T0, f0);
    if (st != SolverStatus::ok) return st;
    scale = std::max(scale, std::abs(f0 + H_in + X));
    // The heat capacity at fixed amounts is the first slope estimate (the
    // equilibrium slope is larger where reactions shift with T).
    cp = std::max(cp, 1e-9 * scale);
    const double ftol = ws.opt.H_rel_tol * std::max(scale, cp * T0);
    Bracket br;
    if (std::abs(f0) <= ftol) {
        br = {T0, f0, T0, f0};
    } else {
        // Step along the slope until the sign changes: Newton steps where
        // the slope along the equilibrium is known, else steps 20 % longer
        // than the slope at fixed amounts or the last secant's (the
        // equilibrium's slope is larger where reactions shift with T).
        double t = T0, ft = f0;
        bool exact = cp_eq > 0.0;
        double slope = exact ? cp_eq : cp;
        bool found = false;
        for (int k = 0; k < 100 && !found; ++k) {
            double step = -ft / slope * (exact ? 1.0 : 1.2);
            step = std::clamp(step, -1000.0, 1000.0);
            if (std::abs(step) < 1.0) step = step < 0 ? -1.0 : 1.0;
            const double tn = std::clamp(t + step, lo, hi);
            if (tn == t) break;  // at a limit
            double fn = 0.0;
            st = f(tn, fn);
            if (st != SolverStatus::ok) return st;
            if ((fn > 0.0) != (ft > 0.0) || std::abs(fn) <= ftol) {
                br = tn > t ? Bracket{t, ft, tn, fn} : Bracket{tn, fn, t, ft};
                found = true;
            } else {
                const double s = (fn - ft) / (tn - t);
                exact = cp_eq > 0.0;
                if (exact) slope = cp_eq;
                else if (s > 0.0) slope = s;
                t = tn;
                ft = fn;
            }
        }
        if (!found) {
            message = "enthalpy condition " + std::to_string(X) + " J not met between " + std::to_string(lo) +
                      " K and " + std::to_string(hi) + " K";
            return SolverStatus::target_not_met;
        }
    }
    double root = T0, froot = f0;
    st = br.a == br.b ? SolverStatus::ok : refine(f, br, ws.opt.T_tol, ftol, root, froot, &solved_at, &cp_eq);
    if (st != SolverStatus::ok) return st;
    // Newton's steps end within the tolerance but, unlike secant steps
    // through both sides, not always far inside it: one more step from the
    // state at hand takes the residual to the rounding of H.
    if (std::abs(froot) <= ftol && std::abs(froot) > 1e-3 * ftol && solved_at == root && cp_eq > 0.0) {
        const double T1 = std::clamp(root - froot / cp_eq, lo, hi);
        double f1 = 0.0;
        if (T1 != root) {
            st = f(T1, f1);
            if (st != SolverStatus::ok) return st;
            if (std::abs(f1) < std::abs(froot)) {
                root = T1;
                froot = f1;
            }
        }
    }
    if (std::abs(froot) <= ftol || br.a == br.b) {
        // The search usually ends on the root itself: its state is at hand.
        if (!(solved_at == root)) {
            set_conditions(ws, root, cond.P);
            st = solve_tp(ws, ws.opt.warm_start, message);
            if (st != SolverStatus::ok) return st;
        }
        out.H_in = H_in;
        fill_result(ws, out);
        return SolverStatus::ok;
    }
    // H jumps inside the final bracket: an invariant temperature T*. The
    // assemblages on either side coexist at T*: reach T* once from a little
    // below and once from a little above (the warm start keeps each side's
    // phases, whose driving forces vanish at T*), then split the two states
    // so that the condition holds.
    const double Ts = 0.5 * (br.a + br.b);
    const double offset = std::min({1e-3, Ts - lo, hi - Ts});
    auto state_at_Ts_from = [&](double from, EquilibriumResult& r) {
        set_conditions(ws, from, cond.P);
        SolverStatus s2 = solve_tp(ws, true, message);
        if (s2 != SolverStatus::ok) return s2;
        set_conditions(ws, Ts, cond.P);
        s2 = solve_tp(ws, true, message);
        if (s2 != SolverStatus::ok) return s2;
        r.H_in = H_in;
        fill_result(ws, r);
        return SolverStatus::ok;
    };
    EquilibriumResult upper;
    st = state_at_Ts_from(Ts + offset, upper);
    if (st != SolverStatus::ok) return st;
    st = state_at_Ts_from(Ts - offset, out);
    if (st != SolverStatus::ok) return st;
    const double fa = out.H - H_in - X, fb = upper.H - H_in - X;
    if (!(fa <= 0.0 && fb >= 0.0) || fb - fa <= 0.0) {
        message = "enthalpy condition: no consistent state at the invariant temperature " + std::to_string(Ts) + " K";
        return SolverStatus::no_convergence;
    }
    blend(out, upper, -fa / (fb - fa));
    renormalise(*ws.sys, out);
    return SolverStatus::ok;
}

// |value| / RT at the end of a target's root search above which the search
// closed on a jump, not a zero (at a zero it is of order slope x T_tol).
constexpr double kJumpNotRoot = 1e-6;

// Share of the material, below which a phase is counted absent when the
// side of a target's root is confirmed (a phase only just in or out there
// carries far less).
constexpr double kConfirmShare = 1e-6;

// What a target watches in a state: for a formation target the instances of
// q's phase present (q and the other copies of its mixture: a copy may take
// its twin's place), for a precipitation target every phase present.
int watched_present(const Workspace& ws, int q, bool precipitation) {
    double total = 0.0;
    for (const Candidate& c : ws.cand)
        if (c.present) total += c.N;
    const int family = ws.cand[sz(q)].family;
    int count = 0;
    for (int ci = 0; ci < static_cast<int>(ws.cand.size()); ++ci) {
        const Candidate& c = ws.cand[sz(ci)];
        const bool watched = precipitation || ci == q || (family >= 0 && c.family == family);
        if (watched && c.present && c.N > kConfirmShare * total) ++count;
    }
    return count;
}

// The target's function says, on one side of its root, that q stays out (a
// formation target) or that q holds the material alone (a precipitation
// target). It reads that from the equilibrium without q (or of q alone),
// the state ws holds at T; where a present phase written once is held in
// one of its basins by the balance, q can still form there by an abrupt
// change of the others, which no driving force against that equilibrium
// shows. The equilibrium with every phase entered at T decides: true when
// it holds no more of what the target watches.
bool out_side_confirmed(Workspace& ws, int q, bool precipitation, double T, double P, std::string& message) {
    const int reduced = watched_present(ws, q, precipitation);
    std::vector<char> excluded(ws.cand.size());
    for (std::size_t ci = 0; ci < ws.cand.size(); ++ci) {
        excluded[ci] = ws.cand[ci].excluded ? 1 : 0;
        ws.cand[ci].excluded = false;
    }
    set_conditions(ws, T, P);
    std::string ignored;
    const bool agrees = solve_tp(ws, false, ignored) != SolverStatus::ok || watched_present(ws, q, precipitation) <= reduced;
    for (std::size_t ci = 0; ci < ws.cand.size(); ++ci) ws.cand[ci].excluded = excluded[ci] != 0;
    if (!agrees)
        message = std::to_string(T) + " K, where the target says " +
                  (precipitation ? "nothing precipitates" : "the phase stays out") +
                  ", is not so with every phase entered: " + (precipitation ? "another phase" : "it") +
                  " forms there by an abrupt change of the other phases";
    return agrees;
}

SolverStatus phase_target(Workspace& ws, const Conditions& cond, double H_in, EquilibriumResult& out,
                          std::string& message) {
    const Target& tg = cond.target;
    const System& sys = *ws.sys;
    const int q = candidate_of(ws, tg.phase);
    const std::string name = sys.phases[sz(tg.phase)].name;
    if (q < 0) {
        message = "target phase " + name + " is not entered or holds no element of the material";
        return SolverStatus::target_not_met;
    }
    const bool precipitation = tg.kind == TargetKind::precipitation;
    if (precipitation && ws.cand[sz(q)].pure) {
        message = "precipitation target on the stoichiometric phase " + name;
        return SolverStatus::precipitation_on_pure;
    }
    for (Candidate& c : ws.cand) c.excluded = false;
    if (precipitation) {
        for (int ci = 0; ci < static_cast<int>(ws.cand.size()); ++ci) ws.cand[sz(ci)].excluded = ci != q;
    } else {
        ws.cand[sz(q)].excluded = true;
    }
    auto f = [&](double T, double& v) {
        set_conditions(ws, T, cond.P);
        const SolverStatus st = solve_tp(ws, ws.opt.warm_start, message);
        if (st != SolverStatus::ok) return st;
        if (!precipitation) {
            // Potentials the present phases leave free (an exactly
            // stoichiometric feed of a compound): q forms only where none of
            // them keeps it out, so its driving force is taken at the best
            // of them rather than at the one the calculation ended on. A
            // compound present without material (the rounding of such a
            // feed) fixes no potential: it is one of the phases kept out.
            for (int ci = 0; ci < static_cast<int>(ws.cand.size()); ++ci)
                if (ws.cand[sz(ci)].present && ws.cand[sz(ci)].pure && holds_rounding_only(ws, ws.cand[sz(ci)]))
                    drop_phase(ws, ci);
            const int nd = free_directions(ws);
            const bool free = nd >= 1 && ws.exact_dim == nd && free_leaves_present_mixtures(ws);
            v = free ? best_free_distance(ws, q) : driving_force(ws, q);
            return SolverStatus::ok;
        }
        v = 1e300;
        for (int ci = 0; ci < static_cast<int>(ws.cand.size()); ++ci)
            if (ci != q) v = std::min(v, driving_force(ws, ci));
        return SolverStatus::ok;
    };
    const double lo = cond.T_low, hi = cond.T_high;
    const double T0 = std::clamp(cond.T, lo, hi);
    double f0 = 0.0;
    SolverStatus st = f(T0, f0);
    if (st == SolverStatus::ok && precipitation && f0 == 1e300) {
        message = "precipitation target on " + name + ": no other phase is entered";
        st = SolverStatus::target_not_met;
    }
    Bracket br{T0, f0, T0, f0};
    Walked other{T0, f0};
    if (st == SolverStatus::ok && f0 != 0.0) {
        st = nearest_bracket(f, T0, f0, lo, hi, br, other);
        if (st == SolverStatus::target_not_met)
            message = std::string(precipitation ? "precipitation" : "formation") + " target on " + name +
                      " not met between " + std::to_string(lo) + " K and " + std::to_string(hi) + " K";
    }
    double root = T0, froot = f0;
    if (st == SolverStatus::ok && br.a != br.b) st = refine(f, br, ws.opt.T_tol, 1e-12, root, froot);
    // The walk's last step on the bracketed side may reach past a root on
    // the other side that lies nearer: that side is walked on to the same
    // distance, and a root found there replaces the first.
    if (st == SolverStatus::ok && br.a != br.b) {
        const double d = std::abs(root - T0);
        const double t = other.T < T0 ? std::max(lo, T0 - d) : std::min(hi, T0 + d);
        double v = 0.0;
        if (std::abs(other.T - T0) < d && t != other.T && (st = f(t, v)) == SolverStatus::ok &&
            ((v > 0.0) != (other.f > 0.0) || v == 0.0)) {
            Bracket near = t < other.T ? Bracket{t, v, other.T, other.f} : Bracket{other.T, other.f, t, v};
            double r2 = t, f2 = v;
            if (v != 0.0) st = refine(f, near, ws.opt.T_tol, 1e-12, r2, f2);
            if (st == SolverStatus::ok && std::abs(r2 - T0) < d) {
                root = r2;
                froot = f2;
            }
        }
    }
    // A bracket closed on a jump of the function rather than on a zero: the
    // equilibrium without q (or with q alone) changes abruptly there — a
    // phase written once leaving one of its basins — and q's condition
    // never holds. That temperature is no answer.
    if (st == SolverStatus::ok && std::abs(froot) > kJumpNotRoot) {
        message = std::string(precipitation ? "precipitation" : "formation") + " target on " + name +
                  ": the driving force jumps at " + std::to_string(root) +
                  " K (the equilibrium of the other phases changes abruptly) and vanishes nowhere near it";
        st = SolverStatus::no_convergence;
    }
    // Confirm the side the function calls "out" with every phase entered,
    // 0.01 K from the root: far enough that q's driving force there is
    // clearly positive, near enough that no other change lies between.
    if (st == SolverStatus::ok) {
        const double step = std::max(10.0 * ws.opt.T_tol, 0.01);
        const double above = std::min(hi, root + step), below = std::max(lo, root - step);
        double v_out = 0.0;
        st = f(above, v_out);
        double T_out = above;
        if (st == SolverStatus::ok && !(v_out > 0.0)) {
            T_out = below;
            st = f(below, v_out);
        }
        if (st == SolverStatus::ok && !out_side_confirmed(ws, q, precipitation, T_out, cond.P, message)) {
            message = std::string(precipitation ? "precipitation" : "formation") + " target on " + name + ": " + message;
            st = SolverStatus::no_convergence;
        }
    }
    if (st == SolverStatus::ok) {
        // The state at the root through f itself: a formation target's
        // potentials are then those that keep q out where they are free.
        double froot_again = 0.0;
        st = f(root, froot_again);
    }
    if (st == SolverStatus::ok) {
        out.H_in = H_in;
        fill_result(ws, out);
    }
    for (Candidate& c : ws.cand) c.excluded = false;
    // The remembered state lacks the excluded phases' stability: start the
    // next ordinary calculation from it all the same (it is a valid start).
    return st;
}

}  // namespace

SolverStatus temperature_target(Workspace& ws, const Conditions& cond, double H_in, EquilibriumResult& out,
                                std::string& message) {
    if (cond.target.kind == TargetKind::enthalpy) return enthalpy_target(ws, cond, H_in, out, message);
    return phase_target(ws, cond, H_in, out, message);
}

}  // namespace eqcore::detail
