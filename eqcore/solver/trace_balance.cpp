// The balance along one direction of the element potentials that only
// traces fix, where every present mixture has one mixing group (a gas
// beside compounds, a solution holding an element at a trace): each trace
// follows n_s exp(e_s w), e_s its content along the direction, and the
// balance is
//     F(w) = f0 + sum_s n_s e_s exp(e_s w) = 0,
// f0 the compounds' content less the material's. Newton on F itself moves a
// trace that must fall by many orders only e-fold per step (F is dominated
// by one exponential on the high side); written as ln P(w) = ln M(w), the
// positive and the negative parts of F, both sides are nearly linear in w
// and Newton settles the root in a few steps. The root is the same: the
// plain iteration that follows only polishes it.
// A substitutional mixture whose remainder is a polynomial in its mole
// fractions follows the same law at its traces: the activity coefficient
// of a constituent at a trace is its limit at infinite dilution, which the
// trace's own amount moves only by its fraction. (Not a liquid of ions or
// of pairs, whose constituents' activities are not their fractions.) The root is taken only where it leaves the majors (whose
// coefficients it would change) where they are; Newton then confirms the
// state with the full model. Without it, a trace that a first long step
// sent to the floor of ln x (an element at 1e-13 of the material left in
// a solution at 1e-300) is not brought back by the plain iteration, whose
// steps are bounded, and Newton ends with that element's balance open.
#include <algorithm>
#include <cmath>
#include <vector>

#include "solver/workspace.hpp"

namespace eqcore::detail {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }
constexpr double kMajor = 1e-8;      // fraction above which a constituent is a major one
constexpr double kMajorMove = 1e-7;  // largest relative change of a major constituent
constexpr double kBeyondRoot = 1e-10;  // |g| that no settled root has (see below)

// ln of a sum of exponentials exp(t_i) with its derivative sum e_i exp(t_i)
// over the sum (t_i of slope e_i in w); a term of slope 0 is a constant.
struct LogSum {
    double top = -HUGE_VAL;
    double sum = 0.0, slope = 0.0;
    void add(double t, double e) {
        if (t > top) {
            const double f = std::exp(top - t);
            sum *= f;
            slope *= f;
            top = t;
        }
        const double x = std::exp(t - top);
        sum += x;
        slope += e * x;
    }
    double value() const { return top + std::log(sum); }
    double derivative() const { return slope / sum; }
};

// Whether every trace of present mixture c follows n_s exp(e_s w) (above).
bool traces_follow_exponentials(const Workspace& ws, const Candidate& c) {
    if (c.groups != 1) return false;
    if (c.ideal) return true;
    const Model m = ws.sys->phases[sz(c.phase)].model;
    return m == Model::rkmp || m == Model::qkto;
}

}  // namespace

bool balance_trace_direction(Workspace& ws, const double* u) {
    const int E = ws.E;
    double f0 = 0.0;
    for (int j = 0; j < E; ++j) f0 -= u[j] * ws.b[sz(j)];
    std::vector<double>& e = ws.trace_e;
    e.assign(ws.n.size(), 0.0);
    bool rises = false, falls = false;
    for (const Candidate& c : ws.cand) {
        if (!c.present) continue;
        if (c.pure) {
            f0 += ws.n[sz(c.first)] * ws.adot(c.first, u);
            continue;
        }
        if (!traces_follow_exponentials(ws, c)) return false;
        for (int s = c.first; s < c.first + c.count; ++s) {
            e[sz(s)] = ws.adot(s, u);
            if (ws.n[sz(s)] > 0.0) {
                rises = rises || e[sz(s)] > 0.0;
                falls = falls || e[sz(s)] < 0.0;
            }
        }
    }
    // g(w) = ln P - ln M rises with w; it has a root when P outgrows M for
    // large w (traces that rise with it, or a positive constant) and M
    // outgrows P for small w.
    if (!(rises || f0 > 0.0) || !(falls || f0 < 0.0)) return false;
    // ln(n_s |e_s|) of every trace that moves along the direction, once:
    // the amounts stay as they are while the root is sought.
    std::vector<double>& lne = ws.trace_lne;
    lne.resize(ws.n.size());
    for (const Candidate& c : ws.cand) {
        if (!c.present || c.pure) continue;
        for (int s = c.first; s < c.first + c.count; ++s) {
            const double es = e[sz(s)], n = ws.n[sz(s)];
            if (es != 0.0 && n > 0.0) lne[sz(s)] = std::log(n * std::abs(es));
        }
    }
    const double ln_f0 = f0 != 0.0 ? std::log(std::abs(f0)) : 0.0;
    auto g_at = [&](double w, double& slope) {
        LogSum P, M;
        if (f0 > 0.0) P.add(ln_f0, 0.0);
        if (f0 < 0.0) M.add(ln_f0, 0.0);
        for (const Candidate& c : ws.cand) {
            if (!c.present || c.pure) continue;
            for (int s = c.first; s < c.first + c.count; ++s) {
                const double es = e[sz(s)], n = ws.n[sz(s)];
                if (es == 0.0 || !(n > 0.0)) continue;
                (es > 0.0 ? P : M).add(lne[sz(s)] + es * w, es);
            }
        }
        slope = P.derivative() - M.derivative();
        return P.value() - M.value();
    };
    // A root is taken only where it moves no major constituent by more
    // than kMajorMove (below), so only within `reach` of w = 0. g never
    // falls with w: where its sign at twice that reach, clear of the
    // settling tolerances, puts the root beyond it, the root is not sought.
    double reach = HUGE_VAL;
    for (const Candidate& c : ws.cand) {
        if (!c.present || c.pure) continue;
        for (int s = c.first; s < c.first + c.count; ++s)
            if (ws.n[sz(s)] >= kMajor * c.N && e[sz(s)] != 0.0) reach = std::min(reach, kMajorMove / std::abs(e[sz(s)]));
    }
    if (reach < HUGE_VAL) {
        double slope = 0.0;
        const double g0 = g_at(0.0, slope);
        if (std::isfinite(g0) && g0 != 0.0) {
            const double g_edge = g_at(g0 > 0.0 ? -2.0 * reach : 2.0 * reach, slope);
            if (std::isfinite(g_edge) && std::abs(g_edge) > kBeyondRoot && (g_edge > 0.0) == (g0 > 0.0)) return false;
        }
    }
    double w = 0.0, lo = -HUGE_VAL, hi = HUGE_VAL;
    bool settled = false;
    for (int it = 0; it < 60 && !settled; ++it) {
        double slope = 0.0;
        const double g = g_at(w, slope);
        if (!std::isfinite(g) || !(slope > 0.0)) return false;
        settled = std::abs(g) <= 1e-13;
        if (settled) break;
        (g > 0.0 ? hi : lo) = w;
        double next = w - g / slope;
        // Newton's step stays inside the bracket (the root lies in it); a
        // step beyond it halves the bracket, or goes a bounded way when it
        // is open on that side.
        if (!(next > lo && next < hi)) next = std::isfinite(lo) && std::isfinite(hi) ? 0.5 * (lo + hi) : w + std::clamp(next - w, -50.0, 50.0);
        settled = std::abs(next - w) <= 1e-14 * (1.0 + std::abs(w));
        w = next;
    }
    if (!settled || !std::isfinite(w)) return false;
    // A root that moves a major constituent is not the traces' to settle:
    // left to the iteration that follows (and to Newton).
    for (const Candidate& c : ws.cand) {
        if (!c.present || c.pure) continue;
        for (int s = c.first; s < c.first + c.count; ++s)
            if (ws.n[sz(s)] >= kMajor * c.N && std::abs(e[sz(s)] * w) > kMajorMove) return false;
    }
    for (Candidate& c : ws.cand) {
        if (!c.present || c.pure) continue;
        double N = 0.0;
        for (int s = c.first; s < c.first + c.count; ++s) {
            ws.n[sz(s)] = std::max(ws.n[sz(s)] * std::exp(e[sz(s)] * w), 1e-300);
            N += ws.n[sz(s)];
        }
        c.N = N;
    }
    for (int j = 0; j < E; ++j) ws.pi[sz(j)] += w * u[j];
    return true;
}

}  // namespace eqcore::detail
