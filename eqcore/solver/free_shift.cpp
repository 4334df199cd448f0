// When the present phases leave directions of the element potentials free
// (an exactly stoichiometric feed of compounds) and no present mixture
// depends on them, any pi in a region of that space is a solution as long
// as no absent phase has a negative driving force there. The least
// distance of a phase is a concave function of the position w in that
// space (a minimum of functions linear in w), with gradient -a_x.n_q at its
// best composition x: the least step that brings its linearisation to 0
// approaches the zero from below. For a formation target, the same space
// is searched for the position where the least of those distances and the
// target phase's is greatest (best_free_distance: a golden-section search
// along one direction, an ellipsoid method over several).
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "solver/workspace.hpp"

namespace eqcore::detail {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

// Slope of candidate c's least distance along free direction q, at its
// best composition (ws.xbest).
double slope(const Workspace& ws, const Candidate& c, int q) {
    const double* n = ws.null.data() + sz(q) * sz(ws.E);
    if (c.pure) return -ws.adot(c.first, n);
    double s = 0.0;
    for (int g = c.group0; g < c.group0 + c.groups; ++g)
        for (int k = ws.grp_begin[sz(g)]; k < ws.grp_end[sz(g)]; ++k)
            s -= ws.grp_sites[sz(g)] * ws.xbest[sz(k - c.first)] * ws.adot(k, n);
    return s;
}

}  // namespace

namespace {

// Least-norm step dw with D_c + s_c.dw >= 0 for every row c of (D, s): the
// solution of that small quadratic programme has at most `nd` constraints
// active, so every set of up to min(nd, 3) rows is tried as the active one
// (dw = S^T (S S^T)^-1 (-D)) and the shortest step that satisfies all rows
// is kept. False when none does.
bool least_step(const std::vector<double>& D, const std::vector<double>& s, int nd, std::vector<double>& dw) {
    const std::size_t m = D.size(), n = sz(nd);
    double best = std::numeric_limits<double>::infinity();
    std::vector<double> trial(n);
    std::vector<std::size_t> rows;
    auto try_rows = [&]() {
        const std::size_t k = rows.size();
        // Gram matrix G = S S^T and right side -D, solved by elimination.
        double G[3][4] = {};
        for (std::size_t a = 0; a < k; ++a) {
            for (std::size_t b = 0; b < k; ++b) {
                double g = 0.0;
                for (std::size_t q = 0; q < n; ++q) g += s[rows[a] * n + q] * s[rows[b] * n + q];
                G[a][b] = g;
            }
            G[a][3] = -D[rows[a]];
        }
        for (std::size_t c = 0; c < k; ++c) {
            std::size_t p = c;
            for (std::size_t r = c + 1; r < k; ++r)
                if (std::abs(G[r][c]) > std::abs(G[p][c])) p = r;
            if (!(std::abs(G[p][c]) > 1e-300)) return;
            for (std::size_t j = 0; j < 4; ++j) std::swap(G[p][j], G[c][j]);
            for (std::size_t r = 0; r < k; ++r) {
                if (r == c) continue;
                const double f = G[r][c] / G[c][c];
                for (std::size_t j = c; j < 4; ++j) G[r][j] -= f * G[c][j];
            }
        }
        std::fill(trial.begin(), trial.end(), 0.0);
        for (std::size_t a = 0; a < k; ++a) {
            const double y = G[a][3] / G[a][a];
            for (std::size_t q = 0; q < n; ++q) trial[q] += y * s[rows[a] * n + q];
        }
        double norm = 0.0;
        for (double v : trial) norm += v * v;
        if (!(norm < best)) return;
        for (std::size_t c = 0; c < m; ++c) {
            double lin = D[c];
            for (std::size_t q = 0; q < n; ++q) lin += s[c * n + q] * trial[q];
            if (lin < -1e-12 * (1.0 + std::abs(D[c]))) return;
        }
        best = norm;
        dw = trial;
    };
    const std::size_t kmax = std::min<std::size_t>({n, 3, m});
    for (std::size_t a = 0; a < m; ++a) {
        rows = {a};
        try_rows();
        if (kmax < 2) continue;
        for (std::size_t b = a + 1; b < m; ++b) {
            rows = {a, b};
            try_rows();
            if (kmax < 3) continue;
            for (std::size_t c = b + 1; c < m; ++c) {
                rows = {a, b, c};
                try_rows();
            }
        }
    }
    return best < std::numeric_limits<double>::infinity();
}

}  // namespace

bool free_leaves_present_mixtures(const Workspace& ws) {
    for (const Candidate& o : ws.cand)
        if (o.present && !o.pure)
            for (int s = o.first; s < o.first + o.count; ++s)
                for (int q = 0; q < ws.null_dim; ++q)
                    if (std::abs(ws.adot(s, ws.null.data() + sz(q) * sz(ws.E))) > 1e-12) return false;
    return true;
}

bool shift_free_potential(Workspace& ws, int ci) {
    const int nd = ws.null_dim;
    if (nd < 1) return false;
    // Only where the free direction leaves every present mixture as it is
    // (else its traces follow pi and the balances move with it).
    if (!free_leaves_present_mixtures(ws)) return false;
    // Every absent candidate must stay out. Their least distances are
    // concave in the position w along the free directions; each round takes
    // the least step that brings the linearisations of all those below a
    // margin to 0 at once (one phase pushed out alone may pull another in).
    const std::vector<double> pi0 = ws.pi;  // rare path: may allocate
    const double margin = 1e-3;
    std::vector<double> D, slopes, dw;
    for (int it = 0; it < 40; ++it) {
        D.clear();
        slopes.clear();
        bool out = true;
        for (int o = 0; o < static_cast<int>(ws.cand.size()); ++o) {
            Candidate& k = ws.cand[sz(o)];
            if (k.present || k.excluded) continue;
            k.df = driving_force(ws, o);
            if (k.df < -0.1 * ws.opt.stability_tol) out = false;
            if (k.df >= margin && o != ci) continue;
            D.push_back(k.df);
            for (int q = 0; q < nd; ++q) slopes.push_back(slope(ws, k, q));  // xbest is still k's
        }
        if (out) return true;
        if (!least_step(D, slopes, nd, dw)) break;
        for (int q = 0; q < nd; ++q) {
            const double w = std::clamp(dw[sz(q)], -50.0, 50.0);
            for (int j = 0; j < ws.E; ++j) ws.pi[sz(j)] += w * ws.null[sz(q) * sz(ws.E) + sz(j)];
        }
    }
    ws.pi = pi0;
    for (int o = 0; o < static_cast<int>(ws.cand.size()); ++o) {
        Candidate& k = ws.cand[sz(o)];
        if (!k.present && !k.excluded) k.df = driving_force(ws, o);
    }
    return false;
}

namespace {

// The least driving force of q and of every absent candidate that takes
// part, at the current pi; `slopes` (k entries) gets the gradient along the
// first k free directions of the candidate that gives it, a supergradient
// of that least (each distance is concave along the free directions).
double least_with_slope(Workspace& ws, int q, int k, double* slopes) {
    double least = std::numeric_limits<double>::infinity();
    for (int o = 0; o < static_cast<int>(ws.cand.size()); ++o) {
        const Candidate& c = ws.cand[sz(o)];
        if (c.present || (c.excluded && o != q)) continue;
        const double d = driving_force(ws, o);
        if (!(d < least)) continue;
        least = d;
        for (int j = 0; j < k; ++j) slopes[j] = slope(ws, c, j);  // xbest is still c's
    }
    return least;
}

// Greatest least distance over k >= 2 free directions: an ellipsoid method
// with deep cuts. Every point better than the best value found so far lies
// on the side of the cut where the supergradient rises, so the maximum stays
// inside the ellipsoid, and the value at its centre plus the supergradient's
// reach over the ellipsoid bounds the maximum from above: the search ends
// once that bound is within `tol` of the best value. The start is a ball
// around the current pi, widened (around the best point) while the best
// point lies near its wall. A value above 1e-6 is returned as soon as one
// is found: a lower bound of the maximum with the maximum's sign. pi is
// left at the best point.
double best_free_distance_k(Workspace& ws, int q, int k) {
    const std::size_t E = sz(ws.E), K = sz(k);
    const double* null = ws.null.data();
    std::vector<double> pi0 = ws.pi;  // rare path: may allocate
    std::vector<double> c(K, 0.0), best_w(K, 0.0), g(K), Pg(K), P(K * K);
    auto set_pi = [&](const std::vector<double>& w) {
        for (std::size_t j = 0; j < E; ++j) {
            double v = pi0[j];
            for (std::size_t d = 0; d < K; ++d) v += w[d] * null[d * E + j];
            ws.pi[j] = v;
        }
    };
    const double tol = 1e-11;
    const double kClearlyOut = 1e-6;
    double best = -std::numeric_limits<double>::infinity();
    double radius = 64.0;
    for (int round = 0; round < 4; ++round, radius *= 8.0) {
        c = best_w;
        const std::vector<double> centre0 = c;
        std::fill(P.begin(), P.end(), 0.0);
        for (std::size_t d = 0; d < K; ++d) P[d * K + d] = radius * radius;
        double upper = std::numeric_limits<double>::infinity();
        for (int it = 0; it < 4000; ++it) {
            set_pi(c);
            const double f = least_with_slope(ws, q, k, g.data());
            if (!std::isfinite(f)) break;
            if (f > best) {
                best = f;
                best_w = c;
            }
            double gPg = 0.0;
            for (std::size_t a = 0; a < K; ++a) {
                double v = 0.0;
                for (std::size_t b = 0; b < K; ++b) v += P[a * K + b] * g[b];
                Pg[a] = v;
                gPg += g[a] * v;
            }
            if (!(gPg > 0.0)) {  // a flat least: c is its maximum
                upper = f;
                break;
            }
            const double reach = std::sqrt(gPg);
            upper = std::min(upper, f + reach);
            // A least clearly above zero already proves that q stays out:
            // the walk needs only the sign, and the root search reads such a
            // value only to choose its next step (near a root every value is
            // found as exactly as the tolerance asks).
            if (best > kClearlyOut || upper - best <= tol) break;
            // Deep cut: keep only {w : g.(w - c) >= best - f}.
            const double alpha = (best - f) / reach;
            if (alpha >= 1.0) break;  // no better point left in the ellipsoid
            const double n = static_cast<double>(k);
            const double step = (1.0 + n * alpha) / (n + 1.0);
            const double shrink = n * n * (1.0 - alpha * alpha) / (n * n - 1.0);
            const double pull = 2.0 * (1.0 + n * alpha) / ((n + 1.0) * (1.0 + alpha));
            for (std::size_t a = 0; a < K; ++a) c[a] += step * Pg[a] / reach;
            for (std::size_t a = 0; a < K; ++a)
                for (std::size_t b = 0; b < K; ++b) P[a * K + b] = shrink * (P[a * K + b] - pull * Pg[a] * Pg[b] / gPg);
        }
        if (best > kClearlyOut) break;
        double moved = 0.0;
        for (std::size_t d = 0; d < K; ++d) moved += (best_w[d] - centre0[d]) * (best_w[d] - centre0[d]);
        if (std::sqrt(moved) < 0.5 * radius) break;  // the maximum lies well inside the ball
    }
    if (!std::isfinite(best)) {  // no finite value anywhere: q's own at the calculation's pi
        ws.pi = pi0;
        return driving_force(ws, q);
    }
    set_pi(best_w);
    return best;
}

}  // namespace

double best_free_distance(Workspace& ws, int q) {
    if (ws.exact_dim >= 2) {
        const double best = best_free_distance_k(ws, q, ws.exact_dim);
        for (int o = 0; o < static_cast<int>(ws.cand.size()); ++o) {
            Candidate& k = ws.cand[sz(o)];
            if (!k.present && !k.excluded) k.df = driving_force(ws, o);
        }
        return best;
    }
    const double* n = ws.null.data();
    const std::vector<double> pi0 = ws.pi;  // rare path: may allocate
    // The least driving force of q and of every absent candidate that takes
    // part, at position w along the free direction.
    auto least_at = [&](double w) {
        for (int j = 0; j < ws.E; ++j) ws.pi[sz(j)] = pi0[sz(j)] + w * n[sz(j)];
        double least = std::numeric_limits<double>::infinity();
        for (int o = 0; o < static_cast<int>(ws.cand.size()); ++o) {
            const Candidate& k = ws.cand[sz(o)];
            if (k.present || (k.excluded && o != q)) continue;
            least = std::min(least, driving_force(ws, o));
        }
        return least;
    };
    // Bracket the maximum: steps doubling from RT towards the side that rises.
    const double h = ws.RT;
    const double f0 = least_at(0.0), fp = least_at(h), fm = least_at(-h);
    double lo = -h, hi = h;
    if (fp > f0 || fm > f0) {
        const double dir = fp >= fm ? 1.0 : -1.0;
        double inner = 0.0, mid = h, fmid = std::max(fp, fm);
        for (int k = 0; k < 60; ++k) {
            const double outer = 2.0 * mid;
            const double fo = least_at(dir * outer);
            if (!(fo > fmid)) {
                lo = dir > 0 ? inner : -outer;
                hi = dir > 0 ? outer : -inner;
                break;
            }
            inner = mid;
            mid = outer;
            fmid = fo;
            lo = hi = dir * mid;  // still rising after the last step: stop there
        }
    }
    // Golden-section search of the concave function on [lo, hi].
    const double r = 0.5 * (std::sqrt(5.0) - 1.0);
    double a = hi - r * (hi - lo), b = lo + r * (hi - lo);
    double fa = least_at(a), fb = least_at(b);
    for (int it = 0; it < 80 && hi - lo > 1e-9 * h; ++it) {
        if (fa >= fb) {
            hi = b;
            b = a;
            fb = fa;
            a = hi - r * (hi - lo);
            fa = least_at(a);
        } else {
            lo = a;
            a = b;
            fa = fb;
            b = lo + r * (hi - lo);
            fb = least_at(b);
        }
    }
    const double best = least_at(0.5 * (lo + hi));
    // Every absent candidate's driving force at the potentials kept.
    for (int o = 0; o < static_cast<int>(ws.cand.size()); ++o) {
        Candidate& k = ws.cand[sz(o)];
        if (!k.present && !k.excluded) k.df = driving_force(ws, o);
    }
    return best;
}

}  // namespace eqcore::detail
