// The search of a present mixture written once over its own compositions,
// after a calculation has converged: its least tangent-plane distance, to
// tell whether the phase sits in a higher basin (lower_basin.cpp).
//
// The phase is screened: its distance, values only, at every corner of each
// sublattice and along the edges between two corners, the other
// sublattices at the present composition. A sublattice of at most
// kScreened constituents is screened at a fifth, a half and four fifths of
// every edge and then searched from every start (driving_force): a basin
// between two screen points, beside a corner, can lie below the plane where
// none of the points does. A larger sublattice (an ionic liquid's records, a
// quasichemical liquid's quadruplets) has too many edges: its screen takes
// the middle of the edges between the constituents that matter (the
// kScreened of least distance at their corners and the kPresentMost the
// phase holds most of), and the phase descends from the best screen points
// (a basin between the screen's points is reached so). The minima found and
// the present composition are remembered (stability_memory.cpp, marked as
// a screen's). At a later state the distance can have fallen by no more
// than -shift since (reference_shift, with the model's bound on its
// remainder): every point of a remembered basin lies at or above that
// basin's minimum plus shift, every point of the present composition's
// basin at or above shift. Where all of those lie at or above the least
// distance the remembered minima descend to (or the stability tolerance
// below the plane), that is the least distance: a phase inside its gap is
// settled so. Otherwise the remembered minima descend again, the screen
// runs, and a descent starts from a screen point only where it lies below
// the plane.
#include <algorithm>
#include <cmath>
#include <vector>

#include "solver/stability_memory.hpp"
#include "solver/workspace.hpp"

namespace eqcore::detail {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

constexpr int kScreened = 5;  // most constituents of a sublattice whose every edge is screened
constexpr int kPresentMost = 2;  // of a larger one, the constituents the phase holds most of, screened too
constexpr int kStarts = 2;    // descents from the best screen points of a larger one
constexpr double kInside = 1e-2;  // share of the centre in a descent's start

// The present composition of candidate c, fractions within each sublattice.
void present_fractions(const Workspace& ws, const Candidate& c, double* here) {
    for (int g = c.group0; g < c.group0 + c.groups; ++g) {
        const double Ng = ws.group_amount(g);
        for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s) here[s - c.first] = ws.n[sz(s)] / Ng;
    }
}

bool large(const Workspace& ws, const Candidate& c) {
    for (int g = c.group0; g < c.group0 + c.groups; ++g)
        if (ws.grp_end[sz(g)] - ws.grp_begin[sz(g)] > kScreened) return true;
    return false;
}

// The lowest screen points (distinct compositions), best first.
struct ScreenPoints {
    int m = 0;
    int kept = 0;
    double D[kStarts] = {};
    std::vector<double> x;  // kStarts compositions of m fractions
    void offer(const double* y, double d) {
        if (kept == kStarts && !(d < D[kept - 1])) return;
        int k = kept < kStarts ? kept++ : kStarts - 1;
        for (; k > 0 && d < D[k - 1]; --k) {
            D[k] = D[k - 1];
            std::copy(x.begin() + (k - 1) * m, x.begin() + k * m, x.begin() + k * m);
        }
        D[k] = d;
        std::copy(y, y + m, x.begin() + k * m);
    }
};

// The screen of present candidate c: the least distance found (its
// composition in `x`), the lowest points offered to `keep` when given.
double screen(Workspace& ws, const Candidate& c, std::vector<double>& x, ScreenPoints* keep) {
    const int m = c.count;
    std::vector<double>& here = ws.tp_try;
    std::vector<double>& y = ws.tp_dir;
    present_fractions(ws, c, here.data());
    double best = 1e300;
    auto at = [&](int g, int i, int j, double t) {  // from corner i to corner j of group g
        const int b = ws.grp_begin[sz(g)] - c.first, e = ws.grp_end[sz(g)] - c.first;
        std::copy(here.begin(), here.begin() + m, y.begin());
        const double rest = 1e-9;
        for (int k = b; k < e; ++k) y[sz(k)] = rest;
        y[sz(i)] += (1.0 - t) * (1.0 - rest * (e - b));
        y[sz(j)] += t * (1.0 - rest * (e - b));
        const double D = distance_at(ws, c, y.data());
        if (keep) keep->offer(y.data(), D);
        if (D < best) {
            best = D;
            x.assign(y.begin(), y.begin() + m);
        }
        return D;
    };
    std::vector<int> matter;
    std::vector<double> corner;
    for (int g = c.group0; g < c.group0 + c.groups; ++g) {
        const int b = ws.grp_begin[sz(g)] - c.first, e = ws.grp_end[sz(g)] - c.first;
        if (e - b < 2) continue;
        corner.assign(sz(e - b), 0.0);
        for (int i = b; i < e; ++i) corner[sz(i - b)] = at(g, i, i, 0.0);
        matter.clear();
        for (int i = b; i < e; ++i) matter.push_back(i);
        if (e - b > kScreened) {
            // The kScreened of least distance at their corners, then those
            // the phase holds most of.
            std::vector<int> by_corner = matter, by_amount = matter;
            std::stable_sort(by_corner.begin(), by_corner.end(),
                             [&](int p, int q) { return corner[sz(p - b)] < corner[sz(q - b)]; });
            std::stable_sort(by_amount.begin(), by_amount.end(), [&](int p, int q) { return here[sz(p)] > here[sz(q)]; });
            matter.assign(by_corner.begin(), by_corner.begin() + kScreened);
            for (int k = 0; k < kPresentMost; ++k)
                if (std::find(matter.begin(), matter.end(), by_amount[sz(k)]) == matter.end())
                    matter.push_back(by_amount[sz(k)]);
            std::sort(matter.begin(), matter.end());
        }
        // Every edge at a fifth, a half and four fifths; a larger group's at
        // its middle (the descents from the best points do the rest).
        const bool few = e - b <= kScreened;
        for (std::size_t p = 0; p < matter.size(); ++p)
            for (std::size_t q = p + 1; q < matter.size(); ++q)
                for (double t : {0.2, 0.5, 0.8})
                    if (few || t == 0.5) at(g, matter[p], matter[q], t);
    }
    return best;
}

// Every remembered basin of a present phase, and the basin of its present
// composition, bounds the distance from below (see the file's head): the
// least distance from the remembered minima, when those bounds settle it.
bool settled_by_memory(Workspace& ws, int ci, std::vector<double>& x, double& best) {
    const Candidate& c = ws.cand[sz(ci)];
    const TangentMemory& t = ws.tpm[sz(ci)];
    if (!t.reference) return false;
    const double shift = reference_shift(ws, ci);
    if (!std::isfinite(shift)) return false;
    const int m = c.count;
    double* y = ws.xtry.data();
    present_fractions(ws, c, y);
    best = distance_at(ws, c, y);
    x.assign(y, y + m);
    constexpr int kB = TangentMemory::kBasins;
    const double* bx = ws.tp_basin_x.data() + sz(kB) * sz(c.first);
    const double* bD = ws.basin_D.data() + sz(kB) * sz(ci);
    const char* bo = ws.basin_own.data() + sz(kB) * sz(ci);
    int order[kB];
    for (int k = 0; k < t.basins; ++k) {
        int q = k;
        for (; q > 0 && bD[order[q - 1]] > bD[k]; --q) order[q] = order[q - 1];
        order[q] = k;
    }
    double unsearched = t.dropped_min;  // least distance at the reference of the basins not descended
    for (int q = 0; q < t.basins; ++q) {
        const int k = order[q];
        if (bo[k] || bD[k] + shift >= best) {
            unsearched = std::min(unsearched, bD[k]);
            continue;
        }
        std::copy(bx + sz(k) * sz(m), bx + sz(k + 1) * sz(m), y);
        const double D = descend_distance(ws, c, y);
        if (D < best) {
            best = D;
            x.assign(y, y + m);
        }
    }
    // The present composition's basin lay at or above 0 at the reference.
    unsearched = std::min(unsearched, 0.0);
    // A lower basin counts only below the stability tolerance.
    return unsearched + shift >= std::min(best, -ws.opt.stability_tol);
}

// A present candidate with a sublattice larger than kScreened. Without a
// reference: the screen, then descents from its best points (the screen's
// spread points miss a basin between them, which a descent reaches). With
// one that does not settle the distance: the remembered minima descended
// again, and the screen, from whose points a descent starts only where they
// lie below the plane. Either way the minima found and the present
// composition become the new reference.
double large_self_distance(Workspace& ws, int ci, std::vector<double>& x) {
    const Candidate& c = ws.cand[sz(ci)];
    const int m = c.count;
    double D = 0.0;
    if (cached_search(ws, ci, 2, D)) {
        x.assign(ws.xbest.begin(), ws.xbest.begin() + m);
        return D;
    }
    auto keep = [&](double d) {
        std::copy(x.begin(), x.end(), ws.tp_x.begin() + c.first);
        keep_search(ws, ci, 2, d);
        return d;
    };
    if (settled_by_memory(ws, ci, x, D)) return keep(D);
    TangentMemory& t = ws.tpm[sz(ci)];
    // The remembered minima away from the present composition, before the
    // new reference replaces them.
    std::vector<double>& old = ws.self_starts;
    old.clear();
    if (t.reference) {
        constexpr int kB = TangentMemory::kBasins;
        const double* bx = ws.tp_basin_x.data() + sz(kB) * sz(c.first);
        for (int k = 0; k < t.basins; ++k)
            if (!ws.basin_own[sz(kB) * sz(ci) + sz(k)]) old.insert(old.end(), bx + sz(k) * sz(m), bx + sz(k + 1) * sz(m));
    }
    const bool renewed = t.reference;
    ScreenPoints pts;
    pts.m = m;
    pts.x.assign(sz(kStarts * m), 0.0);
    D = screen(ws, c, x, &pts);
    begin_reference(ws, ci);
    t.screened = true;
    double* y = ws.xtry.data();
    present_fractions(ws, c, y);
    const double here = distance_at(ws, c, y);
    remember_minimum(ws, ci, y, here);
    if (here < D) {
        D = here;
        x.assign(y, y + m);
    }
    auto descend = [&](const double* from) {
        std::copy(from, from + m, y);
        const double d = descend_distance(ws, c, y);
        remember_minimum(ws, ci, y, d);
        if (d < D) {
            D = d;
            x.assign(y, y + m);
        }
    };
    for (std::size_t k = 0; k < old.size(); k += sz(m)) descend(old.data() + k);
    // A screen point holds the constituents off its edge at traces; the
    // descent starts a little inside, as the corners of a full search do.
    for (int k = 0; k < pts.kept; ++k) {
        if (renewed && !(pts.D[k] < -ws.opt.stability_tol)) continue;
        double* p = pts.x.data() + k * m;
        for (int g = c.group0; g < c.group0 + c.groups; ++g) {
            const int b = ws.grp_begin[sz(g)] - c.first, e = ws.grp_end[sz(g)] - c.first;
            for (int q = b; q < e; ++q) p[q] = (1.0 - kInside) * p[q] + kInside / (e - b);
        }
        descend(p);
    }
    return keep(D);
}

}  // namespace

double distance_at(Workspace& ws, const Candidate& c, const double* y) {
    double* w = ws.wtmp.data();
    double D = 0.0;
    for (int g = c.group0; g < c.group0 + c.groups; ++g)
        for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s) {
            const double v = std::max(y[s - c.first], 1e-300);
            w[s - c.first] = ws.grp_share[sz(g)] * v;
            D += ws.grp_sites[sz(g)] * v * (std::log(v) - (ws.adot(s, ws.pi.data()) - ws.g0[sz(s)]));
        }
    return D + c.sites * remainder_at(ws, c, w, false, false).g / ws.RT;
}

double least_self_distance(Workspace& ws, int ci, std::vector<double>& x) {
    const Candidate& c = ws.cand[sz(ci)];
    if (large(ws, c)) return large_self_distance(ws, ci, x);
    // The screen alone does not decide (see the file's head): the search
    // from every start (cached at these potentials) does. Where that
    // search's least distance is certified (one free direction), the
    // screen adds nothing.
    const double full = driving_force(ws, ci);
    if (ws.tpm[sz(ci)].certified) {
        x.assign(ws.xbest.begin(), ws.xbest.begin() + c.count);
        return full;
    }
    double D = screen(ws, c, x, nullptr);
    if (full < D) {
        D = full;
        x.assign(ws.xbest.begin(), ws.xbest.begin() + c.count);
    }
    return D;
}

}  // namespace eqcore::detail
