// Polynomials in t on [0, 1] with enclosures of their values over a piece
// of it, for the certified one-direction minimisation (line_minimum.cpp,
// line_magnetic.cpp).
#pragma once

#include <algorithm>
#include <cmath>

#include "thermo/line_polynomial.hpp"

namespace eqcore::detail {

// An enclosure [lo, hi].
struct Range {
    double lo, hi;
};

inline Range both(Range a, Range b) { return {std::max(a.lo, b.lo), std::min(a.hi, b.hi)}; }

// A polynomial of degree n (coefficients p[0..n]) with a bound `err` on the
// error of its value anywhere on [0, 1], the rounding of its coefficients
// included.
struct Poly {
    int n = -1;  // -1: the zero polynomial
    double p[LinePolynomial::kMaxDegree + 1];  // p[0..n] set (left unset beyond: not read)
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
        if (n < 0) return {-err, err};
        double lo = p[n], hi = p[n];
        for (int k = n - 1; k >= 0; --k) {
            const double a = lo * l, b = lo * r, c = hi * l, d = hi * r;
            lo = std::min(std::min(a, b), std::min(c, d)) + p[k];
            hi = std::max(std::max(a, b), std::max(c, d)) + p[k];
        }
        return {lo - err, hi + err};
    }
    Range centred(double l, double r) const {
        if (n < 0) return {-err, err};
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
    // The tighter of the two (Horner's alone at a point).
    Range over(double l, double r) const { return l == r ? horner(l, r) : both(horner(l, r), centred(l, r)); }
};

// Rounding margin of a coefficient formed by CefPolynomial::along_line,
// relative to its magnitude (the products forming it are a few dozen
// roundings deep).
constexpr double kRound = 1e-13;

// P times `scale` with its first two derivatives and their error bounds:
// each coefficient is within kRound of its magnitude (scaling adds one
// rounding), the j-th derivative's k-th coefficient carries the falling
// factorial k!/(k-j)!, and the evaluation on [0, 1] adds a few ulps of the
// sum of magnitudes.
inline void derivatives_of(const LinePolynomial& P, double scale, Poly& q, Poly& q1, Poly& q2) {
    q.n = P.degree;
    double e0 = 0.0, e1 = 0.0, e2 = 0.0;
    for (int k = 0; k <= P.degree; ++k) {
        q.p[k] = scale * P.c[k];
        const double size = std::abs(scale) * (std::abs(P.c[k]) + P.mag[k]);
        e0 += size;
        e1 += k * size;
        e2 += k * (k - 1.0) * size;
    }
    q.err = 2.0 * kRound * e0;
    q1.n = q.n - 1;
    for (int k = 1; k <= q.n; ++k) q1.p[k - 1] = k * q.p[k];
    q1.err = 2.0 * kRound * e1;
    q2.n = q1.n - 1;
    for (int k = 1; k <= q1.n; ++k) q2.p[k - 1] = k * q1.p[k];
    q2.err = 2.0 * kRound * e2;
}

}  // namespace eqcore::detail
