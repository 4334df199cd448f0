// Enclosures of the magnetic term along a line (line_magnetic.hpp).
//
// With x = T* / T, b = beta* and B = ln(b + 1), M = s B F(x), where F(x) =
// f(1 / x) is, on either side of x = 1,
//   x < 1 (tau > 1):  F = -(x^5/10 + x^15/315 + x^25/1500) / A
//   x > 1 (tau < 1):  F = 1 - (c x + K (z^3/6 + z^9/135 + z^15/600)) / A,  z = 1/x,
// c = 79 / (140 p), K = (474/497)(1/p - 1), A = 518/1125 + (11692/15975)(1/p - 1).
// Differentiating in x (dz/dx = -z^2):
//   x < 1:  F_x = -(x^4/2 + x^14/21 + x^24/60) / A,  F_xx = -(2x^3 + (2/3)x^13 + (2/5)x^23) / A
//   x > 1:  F_x = -(c - K (z^4/2 + z^10/15 + z^16/40)) / A,  F_xx = -K (2z^5 + (2/3)z^11 + (2/5)z^17) / A
// Each bracket is a sum of positive multiples of powers of x (of z) >= 0, so
// it rises with x (with z): its enclosure over an enclosure of x (of z) is
// its values at the ends. Along the line x, b are polynomials in t (a sign
// of the raw value fixed), and by the chain rule
//   M'  = s (B' F + B F_x x'),
//   M'' = s (B'' F + 2 B' F_x x' + B (F_xx x'^2 + F_x x'')),
//   B' = b' / (1 + b),  B'' = b'' / (1 + b) - B'^2,
// each evaluated in interval arithmetic, every operation's result widened
// outward by more than its rounding (an ulp of the result, and an absolute
// 1e-300 for underflow). Where the formula changes (beta*'s or T*'s raw
// value changes sign, T* = T) the caller splits the line; f and f' agree on
// both sides of tau = 1 to rounding, the kink is in f''.
#include "solver/line_magnetic.hpp"

#include <algorithm>
#include <cmath>

#include "thermo/magnetic.hpp"

namespace eqcore::detail {
namespace {

constexpr double kUlp = 4.5e-16;  // > 2 ulps relative: one rounding and the widening's own
constexpr double kTiny = 1e-300;  // the absolute error of an underflowing result
constexpr double kSum = 1e-14;    // relative rounding of a short sum of powers, or of a library function

Range out(double lo, double hi) { return {lo - (std::abs(lo) * kUlp + kTiny), hi + (std::abs(hi) * kUlp + kTiny)}; }
Range wide(Range a, double rel) {
    return {a.lo - (std::abs(a.lo) * rel + kTiny), a.hi + (std::abs(a.hi) * rel + kTiny)};
}
Range point(double v) { return {v, v}; }
Range add(Range a, Range b) { return out(a.lo + b.lo, a.hi + b.hi); }
Range sub(Range a, Range b) { return out(a.lo - b.hi, a.hi - b.lo); }
Range mul(Range a, Range b) {
    const double p = a.lo * b.lo, q = a.lo * b.hi, r = a.hi * b.lo, s = a.hi * b.hi;
    return out(std::min(std::min(p, q), std::min(r, s)), std::max(std::max(p, q), std::max(r, s)));
}
Range scale(Range a, double c) { return c >= 0.0 ? out(c * a.lo, c * a.hi) : out(c * a.hi, c * a.lo); }
// a / b for b > 0 throughout.
Range divide(Range a, Range b) {
    const double p = a.lo / b.lo, q = a.lo / b.hi, r = a.hi / b.lo, s = a.hi / b.hi;
    return out(std::min(std::min(p, q), std::min(r, s)), std::max(std::max(p, q), std::max(r, s)));
}
Range divide(Range a, double c) { return out(a.lo / c, a.hi / c); }  // c > 0
Range sqr(Range a) {
    if (a.lo >= 0.0) return out(a.lo * a.lo, a.hi * a.hi);
    if (a.hi <= 0.0) return out(a.hi * a.hi, a.lo * a.lo);
    return out(0.0, std::max(a.lo * a.lo, a.hi * a.hi));
}

// Sums of c_k v^n_k over v >= 0 (rising with v): the values at the ends.
struct Powers {
    double c[3];
    int n[3];
    double at(double v) const {
        double s = 0.0;
        for (int k = 0; k < 3; ++k) {
            double power = 1.0, base = v;  // v^n by squaring: a few roundings
            for (int e = n[k]; e > 0; e >>= 1, base *= base)
                if (e & 1) power *= base;
            s += c[k] * power;
        }
        return s;
    }
    Range over(Range v) const { return wide({at(std::max(v.lo, 0.0)), at(std::max(v.hi, 0.0))}, kSum); }
};

constexpr Powers kLow0{{1.0 / 10.0, 1.0 / 315.0, 1.0 / 1500.0}, {5, 15, 25}};
constexpr Powers kLow1{{1.0 / 2.0, 1.0 / 21.0, 1.0 / 60.0}, {4, 14, 24}};
constexpr Powers kLow2{{2.0, 2.0 / 3.0, 2.0 / 5.0}, {3, 13, 23}};
constexpr Powers kHigh0{{1.0 / 6.0, 1.0 / 135.0, 1.0 / 600.0}, {3, 9, 15}};
constexpr Powers kHigh1{{1.0 / 2.0, 1.0 / 15.0, 1.0 / 40.0}, {4, 10, 16}};
constexpr Powers kHigh2{{2.0, 2.0 / 3.0, 2.0 / 5.0}, {5, 11, 17}};

// The sign of an enclosure: 1, -1, or 0 where it holds 0.
signed char sign_of(Range r) { return r.lo > 0.0 ? 1 : (r.hi < 0.0 ? -1 : 0); }

}  // namespace

bool MagneticLine::build(const LineMagnetic& line, double T, double scale_by) {
    on_ = line.on;
    line_ = &line;
    if (!on_) return true;
    p_ = line.structure;
    if (!(p_ > 0.0 && p_ <= 1.0) || !(T > 0.0) || !std::isfinite(scale_by)) return false;
    T_ = T;
    scale_ = scale_by;
    beta_neg_ = line.negative;
    tc_neg_ = line.negative;
    A_ = 518.0 / 1125.0 + (11692.0 / 15975.0) * (1.0 / p_ - 1.0);
    K_ = (474.0 / 497.0) * (1.0 / p_ - 1.0);
    c1_ = 79.0 / (140.0 * p_);
    derivatives_of(line.beta, 1.0, b_[0], b_[1], b_[2]);
    derivatives_of(line.beta, beta_neg_, bn_[0], bn_[1], bn_[2]);
    Poly unused;
    derivatives_of(line.tc, 1.0, t_[0], t_[1], unused);
    derivatives_of(line.tc, 1.0 / T, x_[0], x_[1], x_[2]);
    derivatives_of(line.tc, tc_neg_ / T, xn_[0], xn_[1], xn_[2]);
    // T* / T - 1: the constant's subtraction rounds by an ulp of 1 + |p_0|.
    const auto less_one = [](const Poly& x, const Poly& x1, Poly* g) {
        g[0] = x;
        if (g[0].n < 0) g[0].n = 0;
        g[0].p[0] -= 1.0;
        g[0].err += 4.5e-16 * (1.0 + std::abs(x.p[0]));
        g[1] = x1;
    };
    less_one(x_[0], x_[1], gx_);
    less_one(xn_[0], xn_[1], gxn_);
    const auto constant = [](const LinePolynomial& P) {
        for (int k = 1; k <= P.degree; ++k)
            if (P.c[k] != 0.0) return false;
        return true;
    };
    flat_ = constant(line.tc) && constant(line.beta);
    cached_ = false;
    size_ = line_magnetic_size(line, T, scale_by);
    return true;
}

// |M| <= s ln(beta*_max + 1) |F|max, |F| <= 1 + (c x_max + K) / A, with
// beta*_max and T*_max from the magnitudes of the polynomials' coefficients.
double line_magnetic_size(const LineMagnetic& line, double T, double scale) {
    const double p = line.structure;
    if (!line.on || !(p > 0.0 && p <= 1.0) || !(T > 0.0)) return 0.0;
    const double A = 518.0 / 1125.0 + (11692.0 / 15975.0) * (1.0 / p - 1.0);
    const double K = (474.0 / 497.0) * (1.0 / p - 1.0), c = 79.0 / (140.0 * p);
    double bmax = 0.0, xmax = 0.0;
    for (int k = 0; k <= line.beta.degree; ++k) bmax += std::abs(line.beta.c[k]) + line.beta.mag[k];
    for (int k = 0; k <= line.tc.degree; ++k) xmax += std::abs(line.tc.c[k]) + line.tc.mag[k];
    const double m = std::max(1.0, std::abs(line.negative));
    return std::abs(scale) * std::log1p(m * bmax) * (1.0 + (c * m * xmax / T + K) / A);
}

// A negative raw value v is scaled to -m v, which is > 0 only for -m < 0.
bool MagneticLine::zero(const MagneticBranch& br) const {
    return (br.sign[kBetaSign] < 0 && !(beta_neg_ < 0.0)) || (br.sign[kTcSign] < 0 && !(tc_neg_ < 0.0));
}

const Poly& MagneticLine::gate(int k, const MagneticBranch& br) const {
    if (k == kBetaSign) return b_[0];
    if (k == kTcSign) return t_[0];
    return br.sign[kTcSign] > 0 ? gx_[0] : gxn_[0];
}

const Poly& MagneticLine::gate_slope(int k, const MagneticBranch& br) const {
    if (k == kBetaSign) return b_[1];
    if (k == kTcSign) return t_[1];
    return br.sign[kTcSign] > 0 ? gx_[1] : gxn_[1];
}

int MagneticLine::undecided(double l, double r, MagneticBranch& br) const {
    for (int k = kBetaSign; k <= kTcSign; ++k)
        if (br.sign[k] == 0) br.sign[k] = sign_of(gate(k, br).over(l, r));
    if (zero(br)) return -1;  // the term is 0 whichever sign is not known
    if (br.sign[kBetaSign] == 0) return kBetaSign;
    if (br.sign[kTcSign] == 0) return kTcSign;
    if (br.sign[kOrdered] == 0) br.sign[kOrdered] = sign_of(gate(kOrdered, br).over(l, r));
    return br.sign[kOrdered] == 0 ? kOrdered : -1;
}

MagneticRanges MagneticLine::ranges(double l, double r, const MagneticBranch& br) const {
    if (!flat_) return compute(l, r, br);
    if (!cached_ || !std::equal(br.sign, br.sign + 3, cached_br_.sign)) {
        cached_ = true;
        cached_br_ = br;
        cached_ranges_ = compute(0.0, 1.0, br);
    }
    return cached_ranges_;
}

MagneticRanges MagneticLine::compute(double l, double r, const MagneticBranch& br) const {
    MagneticRanges res{{0.0, 0.0}, {0.0, 0.0}, {0.0, 0.0}};
    if (zero(br)) return res;
    const Poly* bs = br.sign[kBetaSign] > 0 ? b_ : bn_;
    const Poly* xs = br.sign[kTcSign] > 0 ? x_ : xn_;
    // beta* > 0 on the piece, and x on its side of 1.
    Range b = bs[0].over(l, r);
    b.lo = std::max(b.lo, 0.0);
    b.hi = std::max(b.hi, b.lo);
    Range x = xs[0].over(l, r);
    const bool ordered = br.sign[kOrdered] > 0;
    if (ordered) {
        x.lo = std::max(x.lo, 1.0);
        x.hi = std::max(x.hi, x.lo);
    } else {
        x.hi = std::min(x.hi, 1.0);
        x.lo = std::min(std::max(x.lo, 0.0), x.hi);
    }
    const Range b1 = bs[1].over(l, r), b2 = bs[2].over(l, r);
    const Range x1 = xs[1].over(l, r), x2 = xs[2].over(l, r);
    Range F, Fx, Fxx;
    if (ordered) {
        const Range z = out(1.0 / x.hi, 1.0 / x.lo);
        F = sub(point(1.0), divide(add(scale(x, c1_), scale(kHigh0.over(z), K_)), A_));
        Fx = scale(divide(sub(point(c1_), scale(kHigh1.over(z), K_)), A_), -1.0);
        Fxx = scale(divide(scale(kHigh2.over(z), K_), A_), -1.0);
    } else {
        F = scale(divide(kLow0.over(x), A_), -1.0);
        Fx = scale(divide(kLow1.over(x), A_), -1.0);
        Fxx = scale(divide(kLow2.over(x), A_), -1.0);
    }
    const Range B = wide({std::log1p(b.lo), std::log1p(b.hi)}, kSum);
    const Range one_b = add(b, point(1.0));
    const Range B1 = divide(b1, one_b);
    const Range B2 = sub(divide(b2, one_b), sqr(B1));
    const Range Fx_x1 = mul(Fx, x1);
    res.m = scale(mul(B, F), scale_);
    res.m1 = scale(add(mul(B1, F), mul(B, Fx_x1)), scale_);
    const Range curv = add(mul(Fxx, sqr(x1)), mul(Fx, x2));
    res.m2 = scale(add(add(mul(B2, F), scale(mul(B1, Fx_x1), 2.0)), mul(B, curv)), scale_);
    // The constants c, K, A and the model's own evaluation round apart from
    // these: a few ulps more.
    res.m = wide(res.m, kSum);
    res.m1 = wide(res.m1, kSum);
    res.m2 = wide(res.m2, kSum);
    return res;
}

double line_magnetic_value(const LineMagnetic& line, double T, double scale, double t) {
    if (!line.on) return 0.0;
    const auto at = [t](const LinePolynomial& P) {
        double v = 0.0;
        for (int k = P.degree; k >= 0; --k) v = v * t + P.c[k];
        return v;
    };
    const double vb = at(line.beta), vt = at(line.tc);
    const double beta = vb < 0.0 ? line.negative * vb : vb, tc = vt < 0.0 ? line.negative * vt : vt;
    if (!(beta > 0.0) || !(tc > 0.0)) return 0.0;
    return scale * std::log(beta + 1.0) * magnetic_f(T / tc, line.structure).f;
}

double MagneticLine::value(double t) const { return on_ ? line_magnetic_value(*line_, T_, scale_, t) : 0.0; }

}  // namespace eqcore::detail
