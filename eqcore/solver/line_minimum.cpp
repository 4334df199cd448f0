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
// Last, each minimum's distance is taken from the model itself
// (distance_at) and must agree with the polynomial's: the two describe one
// function, so a disagreement means the routine decides nothing either.
#include <algorithm>
#include <cmath>

#include "solver/line_minimum.hpp"
#include "solver/workspace.hpp"
#include "thermo/scratch.hpp"

namespace eqcore::detail {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

constexpr int kDeepest = 60;          // halvings of a piece before the search gives up
constexpr int kMostPieces = 4000;     // pieces examined before it gives up
constexpr double kRound = 1e-13;      // rounding margin, relative to a polynomial's magnitude
constexpr double kLogRound = 1e-14;   // relative rounding of a_g ln(t / (1 - t)) and a_g / (t (1 - t))
constexpr double kFar = 700.0;        // |s| bound: t or 1 - t >= 1e-304, as a descent's traces
constexpr double kAgree = 1e-9;       // polynomial and model distance agree to this (relative)

struct Range {
    double lo, hi;
};

// A polynomial of degree n (coefficients p[0..n]) with a bound `err` on the
// error of its value anywhere on [0, 1], the rounding of its coefficients
// included.
struct Poly {
    int n = -1;  // -1: the zero polynomial
    double p[LinePolynomial::kMaxDegree + 1] = {};
    double err = 0.0;

    double at(double t) const {
        double v = 0.0;
        for (int k = n; k >= 0; --k) v = v * t + p[k];
        return v;
    }
    // Enclosures of the values over [l, r] within [0, 1], widened by err.
    // Horner's scheme in interval arithmetic (t >= 0, so each product's
    // ends are among the ends' products) is tight on wide pieces; the
    // centred form p(m + x) = sum_k c_k x^k, |x| <= h, within
    // sum_{k>=1} |c_k| h^k of c_0, is tight on narrow ones, where the
    // monomials' cancellation makes the first loose. The rounding of either
    // is a few ulps of sum_j |p_j| (|m| + h)^j <= sum_j |p_j| (as r <= 1),
    // well within err.
    Range horner(double l, double r) const {
        if (n < 0) return {0.0, 0.0};
        double lo = p[n], hi = p[n];
        for (int k = n - 1; k >= 0; --k) {
            const double a = lo * l, b = lo * r, c = hi * l, d = hi * r;
            lo = std::min(std::min(a, b), std::min(c, d)) + p[k];
            hi = std::max(std::max(a, b), std::max(c, d)) + p[k];
        }
        return {lo - err, hi + err};
    }
    Range centred(double l, double r) const {
        if (n < 0) return {0.0, 0.0};
        const double m = 0.5 * (l + r), h = 0.5 * (r - l);
        double c[LinePolynomial::kMaxDegree + 1];
        std::copy(p, p + n + 1, c);
        for (int k = 0; k < n; ++k)  // Taylor shift by m: synthetic division, n times
            for (int j = n - 1; j >= k; --j) c[j] += m * c[j + 1];
        double spread = 0.0, hk = 1.0;
        for (int k = 1; k <= n; ++k) {
            hk *= h;
            spread += std::abs(c[k]) * hk;
        }
        return {c[0] - spread - err, c[0] + spread + err};
    }
};

Range both(Range a, Range b) { return {std::max(a.lo, b.lo), std::min(a.hi, b.hi)}; }

// The distance along the line and its first two derivatives' polynomials.
struct Line {
    double a = 0.0;  // a_g
    Poly q, q1, q2;

    double logit(double t) const { return std::log(t) - std::log1p(-t); }
    // D'(t) at s = logit(t) and, in ds, dD'/ds = D''(t) t (1 - t) =
    // a + q''(t) t (1 - t); t = 1 / (1 + e^-s) and 1 - t = e^-s t, each
    // exact near its own end.
    double slope(double s, double* ds = nullptr) const {
        const double e = std::exp(-s), t = 1.0 / (1.0 + e);
        if (ds) *ds = a + q2.at(t) * t * (e * t);
        return a * s + q1.at(t);
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
void rising_zero(const Line& L, double sl, double sr, Range q1, Roots& roots) {
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
    const auto tol = [&](double s) { return L.q1.err + kLogRound * std::abs(L.a * s); };
    const double fl = L.slope(sl), fr = L.slope(sr);
    if (fl > tol(sl)) {  // D' > 0 throughout (or only beyond the far end)
        if (far_l) roots.add(sl);
        return;
    }
    if (fr < -tol(sr)) {  // D' < 0 throughout (or only beyond the far end)
        if (far_r) roots.add(sr);
        return;
    }
    if (fl >= 0.0) {
        roots.add(sl);
        return;
    }
    if (fr <= 0.0) {
        roots.add(sr);
        return;
    }
    // The first step from the secant of the bracket's ends (D' is close to
    // linear in s over most of it), its midpoint where that falls outside.
    double s = sl - fl * ((sr - sl) / (fr - fl));
    if (!(s > sl && s < sr)) s = 0.5 * (sl + sr);
    for (int it = 0; it < 200; ++it) {
        double fs = 0.0;
        const double f = L.slope(s, &fs);
        if (f == 0.0) break;
        (f < 0.0 ? sl : sr) = s;
        if (sr - sl <= 4e-16 * std::max(1.0, std::abs(s))) break;
        double next = s - f / fs;
        if (!(next > sl && next < sr)) next = 0.5 * (sl + sr);
        const bool done = std::abs(next - s) <= 1e-15 * std::max(1.0, std::abs(s));
        s = next;
        if (done) break;
    }
    roots.add(s);
}

struct Piece {
    double l, r, sl, sr;  // ends in t and in s = ln(t / (1 - t))
    int depth;
};

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

// The sign of D'' proven over a piece from an enclosure of q'' there: +1,
// -1, or 0 (neither).
int curvature_sign(const Line& L, const Piece& pc, Range q2) {
    if (L.a * least_w(pc.l, pc.r) * (1.0 - kLogRound) + q2.lo > 0.0) return 1;
    if (L.a * greatest_w(pc.l, pc.r) * (1.0 + kLogRound) + q2.hi < 0.0) return -1;
    return 0;
}

// Every zero of D' where it changes sign from - to + over a piece (see the
// file's head), split until decided; false where the splits reach their
// cap. `pieces` counts the pieces examined, across calls.
bool minima_on(const Line& L, Piece start, Roots& roots, int& pieces) {
    Piece stack[2 * kDeepest + 4];
    int top = 0;
    stack[top++] = start;
    enum class Verdict { none, rising, split };
    // What a piece holds, from enclosures of q' and q'' over it.
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
    while (top > 0) {
        const Piece pc = stack[--top];
        if (++pieces > kMostPieces) return false;
        Range q1 = L.q1.horner(pc.l, pc.r), q2 = L.q2.horner(pc.l, pc.r);
        Verdict v = judge(pc, q1, q2);
        if (v == Verdict::split) {  // the centred form, tighter on narrow pieces
            q1 = both(q1, L.q1.centred(pc.l, pc.r));
            q2 = both(q2, L.q2.centred(pc.l, pc.r));
            v = judge(pc, q1, q2);
        }
        if (v == Verdict::rising) rising_zero(L, pc.sl, pc.sr, q1, roots);
        if (v != Verdict::split) continue;
        if (pc.depth == kDeepest) return false;
        const double mid = 0.5 * (pc.l + pc.r), smid = L.logit(mid);
        stack[top++] = {mid, pc.r, smid, pc.sr, pc.depth + 1};  // the left half is taken first: roots come in order
        stack[top++] = {pc.l, mid, pc.sl, smid, pc.depth + 1};
    }
    return true;
}

// [0, 1] as its two halves.
constexpr Piece kLeftHalf{0.0, 0.5, -HUGE_VAL, 0.0, 1}, kRightHalf{0.5, 1.0, 0.0, HUGE_VAL, 1};

// Every minimum over [0, 1], split from its halves.
bool all_minima(const Line& L, Roots& roots) {
    int pieces = 0;
    return minima_on(L, kLeftHalf, roots, pieces) && minima_on(L, kRightHalf, roots, pieces) && !roots.overflow;
}

// Pieces are halved until the sign of D'' is proven or they are this many
// halvings deep (left to the search then): deep enough that a piece left
// holds little more than a point where D'' changes sign.
constexpr int kMapDeepest = 8;

// The runs of the sign of D'' over [0, 1] (CurvatureMap): pieces split
// until decided or kMapDeepest deep, neighbours of one proven sign joined
// into a run (D'' keeps that sign over their union).
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
            const double mid = 0.5 * (pc.l + pc.r), smid = L.logit(mid);
            stack[top++] = {mid, pc.r, smid, pc.sr, pc.depth + 1};
            stack[top++] = {pc.l, mid, pc.sl, smid, pc.depth + 1};
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

// Every minimum over [0, 1] from the curvature map: none on a run where
// D'' < 0 (D' falls), at most one on a run where D'' > 0 (D' rises: found
// where it changes sign), pieces searched where the sign is not decided.
bool minima_from_map(const Line& L, const CurvatureMap& map, Roots& roots) {
    int pieces = 0;
    for (int k = 0; k < map.count; ++k) {
        const CurvatureMap::Run& run = map.run[k];
        if (run.sign < 0) continue;
        if (run.sign > 0) {
            // An enclosure of q' is needed only where an end is t = 0 or 1.
            const bool open = std::isinf(run.sl) || std::isinf(run.sr);
            rising_zero(L, run.sl, run.sr, open ? L.q1.horner(run.l, run.r) : Range{0.0, 0.0}, roots);
        } else if (!minima_on(L, Piece{run.l, run.r, run.sl, run.sr, run.depth}, roots, pieces)) {
            return false;
        }
    }
    return !roots.overflow;
}

// The derivative of p into d, with the error bound scaled as the
// coefficients are (each by its power).
void derivative(const Poly& p, double magnitude_err, Poly& d) {
    d.n = p.n - 1;
    for (int k = 1; k <= p.n; ++k) d.p[k - 1] = k * p.p[k];
    d.err = magnitude_err;
}

// The polynomial part of f with its derivatives and their error bounds:
// each coefficient is within kRound of its magnitude (the products forming
// it are a few dozen roundings deep), the j-th derivative's k-th
// coefficient carries the falling factorial k!/(k-j)!, and the evaluation
// on [0, 1] adds a few ulps of the sum of magnitudes.
Line line_of(const LineFunction& f) {
    Line L;
    L.a = f.a;
    L.q.n = f.q.degree;
    double e0 = 0.0, e1 = 0.0, e2 = 0.0;
    for (int k = 0; k <= f.q.degree; ++k) {
        L.q.p[k] = f.q.c[k];
        const double size = std::abs(f.q.c[k]) + f.q.mag[k];
        e0 += size;
        e1 += k * size;
        e2 += k * (k - 1.0) * size;
    }
    L.q.err = 2.0 * kRound * e0;
    derivative(L.q, 2.0 * kRound * e1, L.q1);
    derivative(L.q1, 2.0 * kRound * e2, L.q2);
    return L;
}

}  // namespace

namespace {

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
    if (!takes(f)) return false;
    map.a = f.a;
    map.degree = f.q.degree;
    for (int k = 0; k <= f.q.degree; ++k) {
        map.c[k] = k >= 2 ? f.q.c[k] : 0.0;
        map.mag[k] = k >= 2 ? f.q.mag[k] : 0.0;
    }
    return map_runs(line_of(f), map);
}

bool line_function_minima(const LineFunction& f, const CurvatureMap& map, double* s, int most, int& count) {
    count = 0;
    if (!takes(f)) return false;
    const Line L = line_of(f);
    Roots roots{s, most};
    const bool ok = map_of(map, f) ? minima_from_map(L, map, roots) : all_minima(L, roots);
    count = roots.count;
    return ok;
}

bool line_function_minima(const LineFunction& f, double* s, int most, int& count) {
    CurvatureMap map;
    map_curvature(f, map);
    return line_function_minima(f, map, s, most, count);
}

double line_function_value(const LineFunction& f, double s) {
    const double e = std::exp(-s), t = 1.0 / (1.0 + e), u = e * t;
    double q = 0.0;
    for (int k = f.q.degree; k >= 0; --k) q = q * t + f.q.c[k];
    return f.a * (-t * std::log1p(e) - u * std::log1p(std::exp(s))) + q;
}

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
// of the candidate, and the curvature map of the distance along it (site
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
    r.served = c.model->line_polynomial(at, y0, dy, P);
    if (r.served) {
        const double scale = c.sites / layout.formula_sites() / ws.RT;
        r.q.degree = P.degree;
        for (int k = 0; k <= P.degree; ++k) {
            r.q.c[k] = scale * P.c[k];
            r.q.mag[k] = std::abs(scale) * P.mag[k];
        }
        LineFunction f;
        f.a = site_number;
        f.q = r.q;
        f.q.degree = std::max(r.q.degree, 1);
        map_curvature(f, r.curvature);
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
    LineFunction f;
    f.a = site_number;
    f.q = remainder.q;
    f.q.degree = std::max(remainder.q.degree, 1);
    f.q.c[0] += lin0;
    f.q.c[1] += lin1;
    f.q.mag[0] += lin_mag0;
    f.q.mag[1] += lin_mag1;
    double roots[LineMinima::kMost];
    int found = 0;
    if (!line_function_minima(f, remainder.curvature, roots, LineMinima::kMost, found)) return false;
    double size = f.a;
    for (int k = 0; k <= f.q.degree; ++k) size += std::abs(f.q.c[k]) + f.q.mag[k];
    // Each minimum at the model's own distance, which must agree with the
    // polynomial's.
    out.count = 0;
    out.a = a;
    double* y = ws.tp_try.data();
    for (int r = 0; r < found; ++r) {
        const double s = roots[r];
        const double t = 1.0 / (1.0 + std::exp(-s)), u = 1.0 / (1.0 + std::exp(s));
        out.t[r] = std::max(t, 1e-300);
        out.u[r] = std::max(u, 1e-300);
        line_point(c, out, r, y);
        const double D = distance_at(ws, c, y);
        if (!(std::abs(D - line_function_value(f, s)) <= kAgree * (1.0 + size))) return false;
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
