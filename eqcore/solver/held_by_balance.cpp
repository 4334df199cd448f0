// A mixture written once (one homogeneous phase) can lie below every plane
// the present phases allow and still be rightly absent: at a feed that the
// present compounds make up exactly, the balance leaves a written-once
// mixture no composition but the feed's own side of each basin at once.
//
// Why a finite set of potentials proves it. Fix the composition x of the
// absent one-instance phase p. The rest of the problem (p's amount n >= 0
// and the other phases' amounts; every other present phase stoichiometric
// or convex) is convex, so n = 0 is optimal for that x exactly when some
// element potentials mu in M -- those dual-feasible for the assemblage
// without p: every present constituent on the plane, every other absent
// phase on or above it -- give D_p(x; mu) >= 0. The state is therefore the
// one-instance minimum when min_x max_{mu in M} D_p(x; mu) >= 0, and any
// finite mu_1..mu_k in M with min_x max_j D_p(x; mu_j) >= 0 certifies it.
// With M a single point this is the ordinary tangent-plane test.
//
// The case handled: one free direction n of the potentials (M is a segment
// or a line pi0 + w n) and p a mixture of one mixing group. Along the line
// D_p(x; w) = D_p(x; 0) - w s(x), s(x) = sum_k x_k a_k.n linear in x and
// zero on a slice of p's simplex (p at the feed's side boundary), where D_p
// does not depend on w. So max_j D_p(x; w_j) is the distance at the
// largest w_j on the side s < 0 and at the least w_j on the side s > 0,
// and the distance on each side only rises as w moves further out: the
// certificate holds iff the least distance on the slice is >= 0 and, at
// the far end of M in each direction (or far enough), the distance is >= 0
// on the side that end raises. Each side is checked by descents from starts
// spread over it (a local minimum inside the side must be >= 0; one that
// leaves the side crosses the slice, checked already). With two slots the
// slice is one point and the starts lie on the one segment from it to the
// side's vertex; with more, on the segments from each vertex of the slice
// to each vertex of the simplex on the side.
#include <algorithm>
#include <cmath>
#include <vector>

#include "solver/workspace.hpp"

namespace eqcore::detail {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

constexpr int kSideStarts = 32;   // descents per side (two slots)
constexpr int kSegmentStarts = 12;  // descents per segment of a side (more slots)
constexpr double kFirstStep = 0.5;  // /RT per unit of the free direction
constexpr double kFarthest = 512.0; // a tilt that far raises a side beyond any basin
constexpr int kBisections = 30;
constexpr double kInside = 0.02;    // share of the side's centre in a start (more slots)

struct Line {
    std::vector<double> pi0, dir;  // pi = pi0 + w dir
    std::vector<double> sigma;     // a_k.dir of p's slots
    std::vector<std::vector<double>> slice;  // the vertices of the slice s(x) = 0
};

double tilt(const Line& L, const double* x) {
    double s = 0.0;
    for (std::size_t k = 0; k < L.sigma.size(); ++k) s += L.sigma[k] * x[k];
    return s;
}

void move_to(Workspace& ws, const Line& L, double w) {
    for (int j = 0; j < ws.E; ++j) ws.pi[sz(j)] = L.pi0[sz(j)] + w * L.dir[sz(j)];
}

// At pi0 + w dir: the first absent candidate but p with a negative
// driving force, -1 when every one is out.
int first_in(Workspace& ws, const Line& L, int p, double w, double tol) {
    move_to(ws, L, w);
    for (int o = 0; o < static_cast<int>(ws.cand.size()); ++o) {
        const Candidate& k = ws.cand[sz(o)];
        if (o == p || k.present || k.excluded) continue;
        if (driving_force(ws, o) < -tol) return o;
    }
    return -1;
}

// Least distance of p at pi0 + side w dir (w >= 0) over the side of the
// slice that moving towards `side` raises (s(x) side < 0): the least value
// seen at starts spread over it and at the ends of the descents from them
// that stay inside; its composition in x0. With more than two slots the
// segments from the slice's vertices to the simplex's run along its edges
// (every slice vertex lies on an edge), where a descent cannot raise a
// fraction that is zero: each start is moved a share kInside of the way to
// the side's centre, so that every fraction can move.
double side_least(Workspace& ws, const Line& L, const Candidate& c, int side, double w, std::vector<double>& x0) {
    move_to(ws, L, side * w);
    const int m = c.count;
    const int per_segment = m == 2 ? kSideStarts : kSegmentStarts;
    // The side's centre: the mean of its vertices (the slice's and the
    // simplex's on this side).
    std::vector<double> centre(sz(m), 0.0);
    int vertices = 0;
    for (int k = 0; k < m; ++k)
        if (side * L.sigma[sz(k)] < 0.0) {
            centre[sz(k)] += 1.0;
            ++vertices;
        }
    for (const std::vector<double>& v : L.slice) {
        for (int q = 0; q < m; ++q) centre[sz(q)] += v[sz(q)];
        ++vertices;
    }
    for (double& v : centre) v /= vertices;
    const double to_centre = m == 2 ? 0.0 : kInside;
    double least = 1e300;
    std::vector<double> y(sz(m));
    for (int k = 0; k < m; ++k) {
        if (!(side * L.sigma[sz(k)] < 0.0)) continue;  // a vertex of the simplex on this side
        for (const std::vector<double>& v : L.slice)
            for (int i = 0; i < per_segment; ++i) {
                const double t = (i + 0.5) / per_segment;
                for (int q = 0; q < m; ++q)
                    y[sz(q)] = (1.0 - to_centre) * ((1.0 - t) * v[sz(q)] + (q == k ? t : 0.0)) + to_centre * centre[sz(q)];
                const double D0 = distance_at(ws, c, y.data());
                if (D0 < least) {
                    least = D0;
                    x0 = y;
                }
                const double D = descend_distance(ws, c, y.data());
                const bool inside = side * tilt(L, y.data()) < 0.0;
                if (inside && D < least) {
                    least = D;
                    x0 = y;
                }
            }
    }
    return least;
}

// The present phases hold the material: the feed is made up exactly (a
// free direction that traces would fix is no freedom of the balance).
bool present_hold_material(Workspace& ws) {
    double material = 0.0;
    for (int j = 0; j < ws.E; ++j) material += ws.b[sz(j)];
    balance_residual(ws);  // what the present phases hold, in ws.balance_held
    for (int j = 0; j < ws.E; ++j) {
        const double held = ws.balance_held[sz(j)];
        if (!(std::abs(held - ws.b[sz(j)]) <= 1e-10 * (ws.b[sz(j)] + 1e-6 * material))) return false;
    }
    return true;
}

}  // namespace

bool hold_out_by_balance(Workspace& ws, int p, int& enters_with) {
    enters_with = -1;
    Candidate& c = ws.cand[sz(p)];
    if (ws.null_dim != 1 || ws.exact_dim != 1 || c.present || c.pure || c.ideal || c.family >= 0 || c.groups != 1 ||
        c.count < 2)
        return false;
    if (!free_leaves_present_mixtures(ws) || !present_hold_material(ws)) return false;
    const int m = c.count;
    Line L;
    L.pi0 = ws.pi;  // rare path: may allocate
    L.dir.assign(ws.null.begin(), ws.null.begin() + ws.E);
    L.sigma.resize(sz(m));
    double scale = 0.0, below = 0.0, above = 0.0;
    for (int k = 0; k < m; ++k) {
        L.sigma[sz(k)] = ws.adot(c.first + k, L.dir.data());
        scale += std::abs(L.sigma[sz(k)]);
    }
    // A tilt too small to tell from rounding counts as none.
    for (double& v : L.sigma) {
        if (std::abs(v) < 1e-9 * scale) v = 0.0;
        below = std::min(below, v);
        above = std::max(above, v);
    }
    // Every slot on the same side of the plane's tilt: one tilt raises p
    // everywhere, which the ordinary shift of the free potential tries.
    if (!(below < 0.0 && above > 0.0)) return false;
    slice_vertices(L.sigma, L.slice);
    const double tol = 0.1 * ws.opt.stability_tol;
    bool held = first_in(ws, L, p, 0.0, tol) < 0;
    // p on the slice: the same distance for every w.
    std::vector<double> margin_x = L.slice[0];
    double margin = -1.0;
    if (held) margin = m == 2 ? distance_at(ws, c, margin_x.data()) : least_on_slice(ws, c, L.sigma, L.slice, margin_x);
    held = held && margin >= -tol;
    std::vector<double> x0;
    for (int side = -1; side <= 1 && held; side += 2) {
        // Out along this direction while the other phases stay out, until
        // the side it raises holds no negative distance; at the far end of
        // M (found by bisection) that is decisive.
        double lo = 0.0, w = kFirstStep, least = -1.0;
        x0 = margin_x;
        int bound = -1;  // the phase that ends M this way
        while (w <= kFarthest) {
            bound = first_in(ws, L, p, side * w, tol);
            if (bound >= 0) break;
            lo = w;
            least = side_least(ws, L, c, side, w, x0);
            if (least >= -tol) break;
            w *= 4.0;
        }
        if (bound >= 0) {
            double hi = w;
            for (int b = 0; b < kBisections; ++b) {
                const double mid = 0.5 * (lo + hi);
                const int in = first_in(ws, L, p, side * mid, tol);
                if (in < 0) {
                    lo = mid;
                } else {
                    hi = mid;
                    bound = in;
                }
            }
            least = side_least(ws, L, c, side, lo, x0);
        }
        held = least >= -tol;
        if (!held && bound >= 0 && ws.cand[sz(bound)].pure) {
            // p enters at the end of M, where the stoichiometric phase that
            // ends it is on the plane, at the composition this side leaves
            // below it: the two enter together (p alone cannot take up any
            // of the feed the present phases make up).
            move_to(ws, L, side * lo);
            std::copy(x0.begin(), x0.end(), ws.xbest.begin());
            enters_with = bound;
            return false;
        }
        if (least < margin) {
            margin = least;
            margin_x = x0;
        }
    }
    move_to(ws, L, 0.0);
    if (!held) return false;
    c.held_by_balance = true;
    c.held_D = margin;
    c.held_x = margin_x;
    return true;
}

}  // namespace eqcore::detail
