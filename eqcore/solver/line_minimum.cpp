// Every local minimum of the tangent-plane distance of a non-ideal mixture
// with one free direction: one sublattice of two constituents (slots a and
// b), every other of one. With t the fraction of b, per formula unit
//     D(t) = a_g h(t) + q(t),   h(t) = t ln t + (1 - t) ln(1 - t),
// where a_g is that sublattice's site number and q a polynomial: the
// potentials' linear part and the model's remainder over RT along the line
// (PhaseModel::line_polynomial; a model that is no polynomial there is not
// handled here). Then
//     D'(t)  = a_g ln(t / (1 - t)) + q'(t),
//     D''(t) = a_g / (t (1 - t)) + q''(t).
// D' runs from -inf at t = 0 to +inf at t = 1, so the least D over [0, 1]
// is at an interior local minimum, a point where D' changes sign from - to
// +. [0, 1] is split until on each piece one of these holds, each from a
// sound enclosure of the polynomials over the piece (interval Horner, and
// where that is loose the centred form, each with a rounding margin) and
// the monotone logarithm:
//   - D' > 0 on all of it, or D' < 0 on all of it: no minimum inside;
//   - D'' < 0 on all of it: D' falls, no minimum inside;
//   - D'' > 0 on all of it: D' rises, at most one zero, a minimum, found by
//     safeguarded Newton steps in s = ln(t / (1 - t)) on the sign change.
// Near t = 0 and t = 1, a_g / (t (1 - t)) outgrows |q''|, so the splits end
// there; the number of splits is capped, and where the cap is hit (a
// degenerate stationary point with D'' = 0) the routine decides nothing.
// A magnetic term M(t) (line_magnetic.hpp) adds its enclosures of M' and
// M'' to those of q' and q'' on a piece where its formula is fixed. Where a
// piece holds a point where the formula changes (a zero of one of its gates:
// beta*'s or T*'s raw value, T* - T) and that gate is proven monotone on
// the piece, the zero is bracketed by bisection on the gate's values to a
// window [tA, tB], outside which the gate's sign is proven (its value
// beyond its rounding at tA and tB, monotone between): the two sides are
// pieces with their formula fixed, and the window is judged on its own
// (window_minimum). A gate that is not monotone on a piece splits it; the
// caps end the search as before.
// Last, each minimum's distance is taken from the model itself
// (distance_at) and must agree with the polynomial's: the two describe one
// function, so a disagreement means the routine decides nothing either.
#include <algorithm>
#include <cmath>

#include "solver/line_magnetic.hpp"
#include "solver/line_minimum.hpp"
#include "solver/line_poly.hpp"
#include "solver/workspace.hpp"
#include "thermo/scratch.hpp"

namespace eqcore::detail {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

constexpr int kDeepest = 60;          // halvings of a piece before the search gives up
constexpr int kMostPieces = 4000;     // pieces examined before it gives up
constexpr double kLogRound = 1e-14;   // relative rounding of a_g ln(t / (1 - t)) and a_g / (t (1 - t))
constexpr double kFar = 700.0;        // |s| bound: t or 1 - t >= 1e-304, as a descent's traces
constexpr double kAgree = 1e-9;       // polynomial and model distance agree to this (relative)
constexpr double kWindow = 1e-6;      // widest window around a change of the magnetic formula
constexpr double kResolve = 1e-11;    // a window's resolution of D, relative to the distance's size
constexpr int kStack = 4 * kDeepest + 16;  // pieces waiting: two per halving level, three per window

// The distance along the line and its first two derivatives' polynomials,
// and the magnetic term.
struct Line {
    double a = 0.0;  // a_g
    Poly q, q1, q2;
    MagneticLine mag;
    double size = 0.0;  // a_g + sum |q_k| + a bound on |M|

    double logit(double t) const { return std::log(t) - std::log1p(-t); }
    // D'(t) at s = logit(t), a bound on its evaluation's error and, in ds
    // (with_ds), dD'/ds = D''(t) t (1 - t) = a + D''_rest(t) t (1 - t); t = 1 / (1 +
    // e^-s) and 1 - t = e^-s t, each exact near its own end. `br`: the
    // magnetic formula there.
    struct Slope {
        double v, tol, ds;
    };
    Slope slope(double s, const MagneticBranch& br, bool with_ds = false) const {
        const double e = std::exp(-s), t = 1.0 / (1.0 + e);
        double m1 = 0.0, m2 = 0.0, tol = q1.err + kLogRound * std::abs(a * s);
        if (mag.on()) {
            const MagneticRanges R = mag.ranges(t, t, br);
            m1 = 0.5 * (R.m1.lo + R.m1.hi);
            m2 = 0.5 * (R.m2.lo + R.m2.hi);
            tol += 0.5 * (R.m1.hi - R.m1.lo);
        }
        return {a * s + q1.at(t) + m1, tol, with_ds ? a + (q2.at(t) + m2) * t * (e * t) : 0.0};
    }
    // D at s.
    double value(double s) const {
        const double e = std::exp(-s), t = 1.0 / (1.0 + e), u = e * t;
        return a * (-t * std::log1p(e) - u * std::log1p(std::exp(s))) + q.at(t) + mag.value(t);
    }
};

// The minima found, in s, in increasing order.
struct Roots {
    double* s;
    int most;
    int count = 0;
    bool overflow = false;
    void add(double v) {
        if (count > 0 && std::abs(v - s[count - 1]) <= 1e-9 * (1.0 + std::abs(v))) return;  // one found twice
        if (count == most) {
            overflow = true;
            return;
        }
        s[count++] = v;
    }
};

// The zero of D' on [l, r], where D' is proven to rise: found where D'
// changes sign there (within the rounding of its evaluation, so that a zero
// at a piece's end is not lost between two pieces), by Newton steps in s
// kept inside the sign change's bracket, halving it where a step leaves it.
void rising_zero(const Line& L, double sl, double sr, Range q1, const MagneticBranch& br, Roots& roots) {
    // The piece's ends in s (-inf at t = 0, +inf at t = 1). At t = 0 (1),
    // D' <= a s + max q' (>= a s + min q'), so s below (above) the bounds
    // here has D' of the sign the bracket needs.
    if (std::isinf(sl)) sl = std::min(sr, -q1.hi / L.a - 1.0);
    if (std::isinf(sr)) sr = std::max(sl, -q1.lo / L.a + 1.0);
    // Where a bound lies beyond |s| = kFar, the end there is taken at kFar:
    // a sign there that needs no change means the zero lies beyond it, and
    // the minimum is reported at kFar (as near the end as a trace is held).
    const bool far_l = sl < -kFar, far_r = sr > kFar;
    sl = std::max(sl, -kFar);
    sr = std::min(sr, kFar);
    const Line::Slope fl = L.slope(sl, br), fr = L.slope(sr, br);
    if (fl.v > fl.tol) {  // D' > 0 throughout (or only beyond the far end)
        if (far_l) roots.add(sl);
        return;
    }
    if (fr.v < -fr.tol) {  // D' < 0 throughout (or only beyond the far end)
        if (far_r) roots.add(sr);
        return;
    }
    if (fl.v >= 0.0) {
        roots.add(sl);
        return;
    }
    if (fr.v <= 0.0) {
        roots.add(sr);
        return;
    }
    // The first step from the secant of the bracket's ends (D' is close to
    // linear in s over most of it), its midpoint where that falls outside.
    double s = sl - fl.v * ((sr - sl) / (fr.v - fl.v));
    if (!(s > sl && s < sr)) s = 0.5 * (sl + sr);
    for (int it = 0; it < 200; ++it) {
        const Line::Slope f = L.slope(s, br, true);
        if (f.v == 0.0) break;
        (f.v < 0.0 ? sl : sr) = s;
        if (sr - sl <= 4e-16 * std::max(1.0, std::abs(s))) break;
        double next = s - f.v / f.ds;
        if (!(next > sl && next < sr)) next = 0.5 * (sl + sr);
        const bool done = std::abs(next - s) <= 1e-15 * std::max(1.0, std::abs(s));
        s = next;
        if (done) break;
    }
    roots.add(s);
}

// (No default values: the stack of pieces is not set up beyond its top.)
struct Piece {
    double l, r, sl, sr;  // ends in t and in s = ln(t / (1 - t))
    int depth;
    MagneticBranch br;    // the magnetic formula's signs known on the piece
    bool window;          // a window around a change of that formula, of gate `gate`
    signed char gate, rise;  // the gate, and the sign of its slope
};

// The pieces waiting, the left one on top.
struct Pieces {
    Piece at[kStack];
    int top = 0;
    bool push(const Piece& p) {
        if (top == kStack) return false;
        at[top++] = p;
        return true;
    }
};

// [0, 1] as its two halves, the magnetic formula not known on either.
constexpr Piece kLeftHalf{0.0, 0.5, -HUGE_VAL, 0.0, 1, {}, false, -1, 0};
constexpr Piece kRightHalf{0.5, 1.0, 0.0, HUGE_VAL, 1, {}, false, -1, 0};

// Piece pc halved: its left and right halves.
void halves(const Line& L, const Piece& pc, Piece& left, Piece& right) {
    const double mid = 0.5 * (pc.l + pc.r), smid = L.logit(mid);
    right = pc, left = pc;
    right.l = mid, right.sl = smid, right.depth = pc.depth + 1;
    left.r = mid, left.sr = smid, left.depth = pc.depth + 1;
}

// 1 / (t (1 - t)), which falls to t = 1/2 and rises after: its least and
// greatest over a piece.
double least_w(double l, double r) {
    const auto w = [](double t) { return 1.0 / (t * (1.0 - t)); };
    return l <= 0.5 && r >= 0.5 ? 4.0 : (r < 0.5 ? w(r) : w(l));
}
double greatest_w(double l, double r) {
    const auto w = [](double t) { return 1.0 / (t * (1.0 - t)); };
    return l == 0.0 || r == 1.0 ? HUGE_VAL : std::max(w(l), w(r));
}

// The sign of D'' proven over a piece from an enclosure of D'' - a_g / (t
// (1 - t)) there: +1, -1, or 0 (neither).
int curvature_sign(const Line& L, const Piece& pc, Range q2) {
    if (L.a * least_w(pc.l, pc.r) * (1.0 - kLogRound) + q2.lo > 0.0) return 1;
    if (L.a * greatest_w(pc.l, pc.r) * (1.0 + kLogRound) + q2.hi < 0.0) return -1;
    return 0;
}

// Piece p holds a zero of the magnetic gate k: where the gate is proven
// monotone on it, replaces p by its two sides, the gate's sign proven on
// each, and the window between (the left side on top); false where it is
// not monotone (p is to be halved). `ok` false: the window is too wide.
bool isolate(const Line& L, int k, const Piece& p, Pieces& st, bool& ok) {
    ok = true;
    const Poly& g = L.mag.gate(k, p.br);
    const Range slope = L.mag.gate_slope(k, p.br).over(p.l, p.r);
    const int rise = slope.lo > 0.0 ? 1 : (slope.hi < 0.0 ? -1 : 0);
    if (rise == 0) return false;
    // h rises on p; its computed value is within e of its value.
    const auto h = [&](double t) { return rise * g.at(t); };
    const double e = g.err;
    Piece side = p;
    side.depth = p.depth + 1;
    if (h(p.r) < -e || h(p.l) > e) {  // one sign on all of p
        side.br.sign[k] = static_cast<signed char>(h(p.r) < -e ? -rise : rise);
        ok = st.push(side);
        return true;
    }
    // tA: the last point with h < -e (h < 0 on [l, tA]); tB: the first with
    // h > e (h > 0 on [tB, r]); each by bisection to adjacent doubles.
    double tA = p.l, tB = p.r;
    if (h(p.l) < -e) {
        double lo = p.l, hi = p.r;
        for (double mid = 0.5 * (lo + hi); mid > lo && mid < hi; mid = 0.5 * (lo + hi)) (h(mid) < -e ? lo : hi) = mid;
        tA = lo;
    }
    if (h(p.r) > e) {
        double lo = tA, hi = p.r;
        for (double mid = 0.5 * (lo + hi); mid > lo && mid < hi; mid = 0.5 * (lo + hi)) (h(mid) > e ? hi : lo) = mid;
        tB = hi;
    }
    if (!(tB - tA <= kWindow)) {
        ok = false;
        return true;
    }
    const double sA = tA == p.l ? p.sl : L.logit(tA), sB = tB == p.r ? p.sr : L.logit(tB);
    if (tB < p.r) {
        side.l = tB, side.sl = sB, side.r = p.r, side.sr = p.sr;
        side.br.sign[k] = static_cast<signed char>(rise);
        ok = ok && st.push(side);
    }
    Piece window = p;
    window.l = tA, window.sl = sA, window.r = tB, window.sr = sB, window.window = true;
    window.gate = static_cast<signed char>(k), window.rise = static_cast<signed char>(rise);
    ok = ok && st.push(window);
    if (tA > p.l) {
        side.l = p.l, side.sl = p.sl, side.r = tA, side.sr = sA;
        side.br.sign[k] = static_cast<signed char>(-rise);
        ok = ok && st.push(side);
    }
    return true;
}

// A window [tA, tB] around the change of gate k's sign, at t0: D is
// continuous across it (f and f' agree at tau = 1, ln(beta* + 1) is 0 on
// both sides of beta*'s change of sign), and smooth on either side of t0
// with that side's formula, so D' on [tA, t0) lies within the left
// formula's enclosure over all of the window (x or beta* kept to that
// side), on (t0, tB] within the right one's. A minimum in the window is a
// zero of D' on one side (that enclosure holds 0) or a kink at t0 (D' <= 0
// before it, >= 0 after it); where none can be, there is no minimum in the
// window. Otherwise it lies at most (tB - tA) sup |D'| below the window's
// lower end, which is reported; that resolution must be within kResolve
// of the distance's size, or the routine decides nothing.
bool window_minimum(const Line& L, const Piece& w, int k, int rise, Roots& roots) {
    Range d[2];  // D' on the left side, on the right side
    for (int side = 0; side < 2; ++side) {
        MagneticBranch br = w.br;
        br.sign[k] = static_cast<signed char>(side == 0 ? -rise : rise);
        if (L.mag.undecided(w.l, w.r, br) >= 0) return false;  // two changes of formula within the window
        const MagneticRanges R = L.mag.ranges(w.l, w.r, br);
        const Range q1 = L.q1.over(w.l, w.r);
        d[side] = {L.a * w.sl - kLogRound * std::abs(L.a * w.sl) + q1.lo + R.m1.lo,
                   L.a * w.sr + kLogRound * std::abs(L.a * w.sr) + q1.hi + R.m1.hi};
    }
    const auto holds_zero = [](Range r) { return r.lo <= 0.0 && r.hi >= 0.0; };
    if (!holds_zero(d[0]) && !holds_zero(d[1]) && !(d[0].lo <= 0.0 && d[1].hi >= 0.0)) return true;
    const double slope = std::max(std::max(-d[0].lo, d[0].hi), std::max(-d[1].lo, d[1].hi));
    if (!((w.r - w.l) * slope <= kResolve * (1.0 + L.size))) return false;
    const double sA = std::clamp(w.sl, -kFar, kFar), sB = std::clamp(w.sr, -kFar, kFar);
    roots.add(L.value(sA) <= L.value(sB) ? sA : sB);
    return true;
}

// Every zero of D' where it changes sign from - to + over a piece (see the
// file's head), split until decided; false where the splits reach their
// cap. `pieces` counts the pieces examined, across calls.
bool minima_on(const Line& L, const Piece& start, Roots& roots, int& pieces) {
    Pieces st;
    st.push(start);
    enum class Verdict { none, rising, split };
    // What a piece holds, from enclosures of D' - a_g logit(t) and D'' - a_g / (t (1 - t)) over it.
    const auto judge = [&](const Piece& pc, Range q1, Range q2) {
        // a ln(t / (1 - t)) rises with t: its least and greatest at the ends.
        const double gl = L.a * pc.sl, gr = L.a * pc.sr;
        if (gl - kLogRound * std::abs(gl) + q1.lo > 0.0) return Verdict::none;
        if (gr + kLogRound * std::abs(gr) + q1.hi < 0.0) return Verdict::none;
        const int sign = curvature_sign(L, pc, q2);
        if (sign > 0) return Verdict::rising;
        if (sign < 0) return Verdict::none;  // D' falls
        return Verdict::split;
    };
    const auto plus = [](Range a, Range b) { return Range{a.lo + b.lo, a.hi + b.hi}; };
    while (st.top > 0) {
        Piece pc = st.at[--st.top];
        if (++pieces > kMostPieces) return false;
        if (pc.window) {
            if (!window_minimum(L, pc, pc.gate, pc.rise, roots)) return false;
            continue;
        }
        // The magnetic formula fixed on the piece: its enclosures join the
        // polynomial's; a change of formula inside is isolated, or the
        // piece halved.
        Range m1{0.0, 0.0}, m2{0.0, 0.0};
        bool fixed = true;
        if (L.mag.on()) {
            const int k = L.mag.undecided(pc.l, pc.r, pc.br);
            bool ok = true;
            if (k >= 0 && isolate(L, k, pc, st, ok)) {
                if (!ok) return false;
                continue;
            }
            fixed = k < 0;
            if (fixed) {
                const MagneticRanges R = L.mag.ranges(pc.l, pc.r, pc.br);
                m1 = R.m1;
                m2 = R.m2;
            }
        }
        Verdict v = Verdict::split;
        Range q1{0.0, 0.0};
        if (fixed) {
            q1 = plus(L.q1.horner(pc.l, pc.r), m1);
            Range q2 = plus(L.q2.horner(pc.l, pc.r), m2);
            v = judge(pc, q1, q2);
            if (v == Verdict::split) {  // the centred form, tighter on narrow pieces
                q1 = both(q1, plus(L.q1.centred(pc.l, pc.r), m1));
                q2 = both(q2, plus(L.q2.centred(pc.l, pc.r), m2));
                v = judge(pc, q1, q2);
            }
        }
        if (v == Verdict::rising) rising_zero(L, pc.sl, pc.sr, q1, pc.br, roots);
        if (v != Verdict::split) continue;
        if (pc.depth >= kDeepest) return false;
        Piece left, right;
        halves(L, pc, left, right);
        if (!st.push(right) || !st.push(left)) return false;  // the left half is taken first: roots come in order
    }
    return true;
}

// Every minimum over [0, 1], split from its halves.
bool all_minima(const Line& L, Roots& roots) {
    int pieces = 0;
    return minima_on(L, kLeftHalf, roots, pieces) && minima_on(L, kRightHalf, roots, pieces) && !roots.overflow;
}

// Pieces are halved until the sign of D'' is proven or they are this many
// halvings deep (left to the search then): deep enough that a piece left
// holds little more than a point where D'' changes sign.
constexpr int kMapDeepest = 8;

// The runs of the sign of D'' over [0, 1] (CurvatureMap) of a line without
// a magnetic term: pieces split until decided or kMapDeepest deep,
// neighbours of one proven sign joined into a run (D'' keeps that sign over
// their union).
bool map_runs(const Line& L, CurvatureMap& map) {
    map.count = 0;
    Piece stack[2 * kMapDeepest + 4];
    int top = 0;
    stack[top++] = kRightHalf;
    stack[top++] = kLeftHalf;
    while (top > 0) {
        const Piece pc = stack[--top];
        Range q2 = L.q2.horner(pc.l, pc.r);
        int sign = curvature_sign(L, pc, q2);
        if (sign == 0) {
            q2 = both(q2, L.q2.centred(pc.l, pc.r));
            sign = curvature_sign(L, pc, q2);
        }
        if (sign == 0 && pc.depth < kMapDeepest) {
            halves(L, pc, stack[top + 1], stack[top]);  // the left half on top
            top += 2;
            continue;
        }
        CurvatureMap::Run* last = map.count > 0 ? &map.run[map.count - 1] : nullptr;
        if (last && sign != 0 && last->sign == sign) {
            last->r = pc.r;
            last->sr = pc.sr;
            continue;
        }
        if (map.count == CurvatureMap::kMost) {
            map.count = -1;
            return false;
        }
        map.run[map.count++] = {pc.l, pc.r, pc.sl, pc.sr, pc.depth, sign};
    }
    return true;
}

// Every minimum over [0, 1] from the curvature map of a line without a
// magnetic term: none on a run where D'' < 0 (D' falls), at most one on a
// run where D'' > 0 (D' rises: found where it changes sign), pieces
// searched where the sign is not decided.
bool minima_from_map(const Line& L, const CurvatureMap& map, Roots& roots) {
    int pieces = 0;
    for (int k = 0; k < map.count; ++k) {
        const CurvatureMap::Run& run = map.run[k];
        if (run.sign < 0) continue;
        if (run.sign > 0) {
            // An enclosure of q' is needed only where an end is t = 0 or 1.
            const bool open = std::isinf(run.sl) || std::isinf(run.sr);
            rising_zero(L, run.sl, run.sr, open ? L.q1.horner(run.l, run.r) : Range{0.0, 0.0}, MagneticBranch{}, roots);
        } else if (!minima_on(L, Piece{run.l, run.r, run.sl, run.sr, run.depth, {}, false, -1, 0}, roots, pieces)) {
            return false;
        }
    }
    return !roots.overflow;
}

// The polynomial part of f with its derivatives, and the magnetic term.
bool line_of(const LineFunction& f, Line& L) {
    L.a = f.a;
    derivatives_of(f.q, 1.0, L.q, L.q1, L.q2);
    if (!L.mag.build(f.magnetic, f.T, f.magnetic_scale)) return false;
    L.size = f.a + L.mag.size();
    for (int k = 0; k <= f.q.degree; ++k) L.size += std::abs(f.q.c[k]) + f.q.mag[k];
    return true;
}

bool takes(const LineFunction& f) {
    return f.a > 0.0 && f.q.degree >= 0 && f.q.degree <= LinePolynomial::kMaxDegree;
}

// Whether map is of f: made of the same a and coefficients of degree 2
// and more (and so of the same q'' and error bound).
bool map_of(const CurvatureMap& map, const LineFunction& f) {
    if (map.count < 0 || map.a != f.a || map.degree != f.q.degree) return false;
    for (int k = 2; k <= f.q.degree; ++k)
        if (map.c[k] != f.q.c[k] || map.mag[k] != f.q.mag[k]) return false;
    return true;
}

}  // namespace

bool map_curvature(const LineFunction& f, CurvatureMap& map) {
    map.count = -1;
    if (!takes(f) || f.magnetic.on) return false;
    Line L;
    if (!line_of(f, L) || L.mag.on()) return false;
    map.a = f.a;
    map.degree = f.q.degree;
    for (int k = 0; k <= f.q.degree; ++k) {
        map.c[k] = k >= 2 ? f.q.c[k] : 0.0;
        map.mag[k] = k >= 2 ? f.q.mag[k] : 0.0;
    }
    return map_runs(L, map);
}

bool line_function_minima(const LineFunction& f, const CurvatureMap& map, double* s, int most, int& count) {
    count = 0;
    if (!takes(f)) return false;
    Line L;
    if (!line_of(f, L)) return false;
    Roots roots{s, most};
    // The map is of D'' without a magnetic term: where f has one, the full
    // search.
    const bool by_map = !f.magnetic.on && !L.mag.on() && map_of(map, f);
    const bool ok = by_map ? minima_from_map(L, map, roots) : all_minima(L, roots);
    count = roots.count;
    return ok;
}

bool line_function_minima(const LineFunction& f, double* s, int most, int& count) {
    CurvatureMap map;
    map_curvature(f, map);
    return line_function_minima(f, map, s, most, count);
}

namespace {

// line_function_value with e = e^-s and E = e^s given.
double value_with(const LineFunction& f, double e, double E) {
    const double t = 1.0 / (1.0 + e), u = e * t;
    double q = 0.0;
    for (int k = f.q.degree; k >= 0; --k) q = q * t + f.q.c[k];
    return f.a * (-t * std::log1p(e) - u * std::log1p(E)) + q +
           line_magnetic_value(f.magnetic, f.T, f.magnetic_scale, t);
}

}  // namespace

double line_function_value(const LineFunction& f, double s) { return value_with(f, std::exp(-s), std::exp(s)); }

bool one_direction(const Workspace& ws, const Candidate& c, int& a) {
    if (c.pure || c.ideal) return false;
    a = -1;
    for (int g = c.group0; g < c.group0 + c.groups; ++g) {
        const int n = ws.grp_end[sz(g)] - ws.grp_begin[sz(g)];
        if (n == 1) continue;
        if (n != 2 || a >= 0) return false;
        a = ws.grp_begin[sz(g)] - c.first;
    }
    return a >= 0;
}

namespace {

// The model's remainder along candidate ci's line (slot a at 1 - t, slot
// a + 1 at t, every other slot's sublattice at 1) over RT, per formula unit
// of the candidate: its polynomial part, its magnetic term, and where there
// is no magnetic term the curvature map of the distance along it (site
// number site_number at slots a, a + 1): formed once per temperature (the
// two the workspace holds values of) and kept with what it was formed of,
// so that an entry of another temperature, model or line is never taken.
const LineRemainder& remainder_along_line(Workspace& ws, int ci, int a, double site_number) {
    const Candidate& c = ws.cand[sz(ci)];
    int& entry = ws.line_remainder_of[sz(ci)];
    if (entry < 0) {
        entry = static_cast<int>(ws.line_remainders.size());
        ws.line_remainders.emplace_back();
    }
    LineRemainders& held = ws.line_remainders[sz(entry)];
    for (const LineRemainder& r : held.at)
        if (r.T == ws.T && r.model == c.model && r.a == a) return r;
    LineRemainder& r = held.at[held.next];
    held.next = 1 - held.next;
    r = LineRemainder{};
    const ModelLayout& layout = c.model->layout();
    const std::size_t m = sz(layout.variables);
    Scratch y0_buf(m), dy_buf(m);
    const std::span<double> y0 = y0_buf.span(), dy = dy_buf.span();
    for (int g = c.group0; g < c.group0 + c.groups; ++g)
        for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s) {
            const int k = s - c.first;
            const auto v = sz(ws.slot_var[sz(s)]);
            if (k == a) {
                y0[v] = 1.0;
                dy[v] = -1.0;
            } else if (k == a + 1) {
                dy[v] = 1.0;
            } else {
                y0[v] = 1.0;
            }
        }
    const std::span<const ParameterT> at(ws.params.data() + c.param_first, c.param_count);
    LinePolynomial P;
    LineFunction& f = r.line;
    r.served = c.model->line_parts(at, y0, dy, P, f.magnetic);
    if (r.served) {
        // G_mag / RT per formula unit of the candidate is
        // magnetic_scale ln(beta* + 1) f.
        f.magnetic_scale = c.sites / layout.formula_sites();
        f.T = ws.T;
        f.a = site_number;
        const double scale = f.magnetic_scale / ws.RT;
        f.q.degree = std::max(P.degree, 1);
        for (int k = 0; k <= P.degree; ++k) {
            f.q.c[k] = scale * P.c[k];
            f.q.mag[k] = std::abs(scale) * P.mag[k];
        }
        map_curvature(f, r.curvature);  // refused (count -1) for a magnetic term
    }
    r.T = ws.T;
    r.model = c.model;
    r.a = a;
    return r;
}

}  // namespace

bool line_minima(Workspace& ws, int ci, LineMinima& out) {
    const Candidate& c = ws.cand[sz(ci)];
    int a = -1;
    if (!one_direction(ws, c, a)) return false;
    // The potentials' part of D, -sum_g a_g sum_s y_s (a_s.pi - g0_s), along
    // the line.
    double lin0 = 0.0, lin1 = 0.0, lin_mag0 = 0.0, lin_mag1 = 0.0;
    double site_number = 0.0;
    for (int g = c.group0; g < c.group0 + c.groups; ++g)
        for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s) {
            const int k = s - c.first;
            const double p = ws.adot(s, ws.pi.data()) - ws.g0[sz(s)], ag = ws.grp_sites[sz(g)];
            if (k == a) {
                site_number = ag;
                lin0 -= ag * p;
                lin1 += ag * p;
                lin_mag0 += std::abs(ag * p);
                lin_mag1 += std::abs(ag * p);
            } else if (k == a + 1) {
                lin1 -= ag * p;
                lin_mag1 += std::abs(ag * p);
            } else {
                lin0 -= ag * p;
                lin_mag0 += std::abs(ag * p);
            }
        }
    if (!(site_number > 0.0)) return false;
    const LineRemainder& remainder = remainder_along_line(ws, ci, a, site_number);
    if (!remainder.served) return false;
    LineFunction f = remainder.line;
    f.q.c[0] += lin0;
    f.q.c[1] += lin1;
    f.q.mag[0] += lin_mag0;
    f.q.mag[1] += lin_mag1;
    double roots[LineMinima::kMost];
    int found = 0;
    if (!line_function_minima(f, remainder.curvature, roots, LineMinima::kMost, found)) return false;
    double size = f.a;
    for (int k = 0; k <= f.q.degree; ++k) size += std::abs(f.q.c[k]) + f.q.mag[k];
    size += line_magnetic_size(f.magnetic, f.T, f.magnetic_scale);
    // Each minimum at the model's own distance, which must agree with the
    // polynomial's.
    out.count = 0;
    out.a = a;
    double* y = ws.tp_try.data();
    for (int r = 0; r < found; ++r) {
        const double s = roots[r], e = std::exp(-s), E = std::exp(s);
        const double t = 1.0 / (1.0 + e), u = 1.0 / (1.0 + E);
        out.t[r] = std::max(t, 1e-300);
        out.u[r] = std::max(u, 1e-300);
        line_point(c, out, r, y);
        const double D = distance_at(ws, c, y);
        if (!(std::abs(D - value_with(f, e, E)) <= kAgree * (1.0 + size))) return false;
        out.D[r] = D;
        ++out.count;
    }
    return out.count > 0;
}

void line_point(const Candidate& c, const LineMinima& lm, int k, double* y) {
    std::fill(y, y + c.count, 1.0);
    y[lm.a] = lm.u[k];
    y[lm.a + 1] = lm.t[k];
}

}  // namespace eqcore::detail
