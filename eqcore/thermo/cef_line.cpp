// The compound-energy polynomial along a line of site fractions: every
// listed fraction is y0 + t dy, linear in t, so each term's product of
// fractions and its factor W (a sum of powers of a difference of two
// fractions, or linear in the fractions, or a constant) are polynomials in
// t, formed exactly as the products they are (the rounding of each step is
// covered by the magnitudes kept beside the coefficients).
#include <cmath>

#include "thermo/cef.hpp"

namespace eqcore {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

// A polynomial of degree at most LinePolynomial::kMaxDegree, with the
// magnitudes of its coefficients' contributions.
struct Poly {
    int degree = 0;
    double c[LinePolynomial::kMaxDegree + 1] = {};
    double mag[LinePolynomial::kMaxDegree + 1] = {};

    static Poly constant(double v) {
        Poly p;
        p.c[0] = v;
        p.mag[0] = std::abs(v);
        return p;
    }
    // Multiplied by (a + b t); false where the degree would exceed the
    // limit.
    bool times(double a, double b) {
        if (b == 0.0) {
            for (int k = 0; k <= degree; ++k) {
                c[k] *= a;
                mag[k] *= std::abs(a);
            }
            return true;
        }
        if (degree == LinePolynomial::kMaxDegree) return false;
        c[degree + 1] = 0.0;
        mag[degree + 1] = 0.0;
        for (int k = degree + 1; k >= 0; --k) {
            const double low = k > 0 ? c[k - 1] : 0.0, low_mag = k > 0 ? mag[k - 1] : 0.0;
            c[k] = a * c[k] + b * low;
            mag[k] = std::abs(a) * mag[k] + std::abs(b) * low_mag;
        }
        ++degree;
        return true;
    }
    // Adds s times q.
    void add(const Poly& q, double s) {
        for (int k = 0; k <= q.degree; ++k) {
            c[k] += s * q.c[k];
            mag[k] += std::abs(s) * q.mag[k];
        }
        if (q.degree > degree) degree = q.degree;
    }
};

}  // namespace

bool CefPolynomial::along_line(std::span<const ParameterT> at, std::span<const double> y0,
                               std::span<const double> dy, LinePolynomial& out) const {
    Poly sum;
    for (int k = 0; k <= out.degree; ++k) {
        sum.c[k] = out.c[k];
        sum.mag[k] = out.mag[k];
    }
    sum.degree = out.degree;
    for (const Term& t : terms_) {
        // The product of the listed fractions (none identically 0).
        Poly p = Poly::constant(1.0);
        bool zero = false;
        for (int a = 0; a < t.listed; ++a) {
            const auto i = sz(t.at[sz(a)]);
            if (y0[i] == 0.0 && dy[i] == 0.0) zero = true;
        }
        if (zero) continue;
        for (int a = 0; a < t.listed; ++a) {
            const auto i = sz(t.at[sz(a)]);
            if (!p.times(y0[i], dy[i])) return false;
        }
        const ParameterT* L = at.data() + t.first;
        Poly W;
        switch (t.kind) {
            case Kind::constant:
                W = Poly::constant(L[0].v);
                break;
            case Kind::binary: {
                // sum_v L_v d^v, d = u_i - u_j = (y0_i - y0_j) + (dy_i - dy_j) t.
                const auto i = sz(t.at[sz(t.mix[0])]), j = sz(t.at[sz(t.mix[1])]);
                Poly power = Poly::constant(1.0);
                for (int v = 0; v < t.sets; ++v) {
                    if (v > 0 && !power.times(y0[i] - y0[j], dy[i] - dy[j])) return false;
                    W.add(power, L[v].v);
                }
                break;
            }
            case Kind::ternary: {
                // sum_q L_q (u_q + (1 - u_0 - u_1 - u_2) / 3): linear in t.
                double a0 = 1.0, b0 = 0.0;
                for (int q = 0; q < 3; ++q) {
                    a0 -= y0[sz(t.at[sz(t.mix[q])])];
                    b0 -= dy[sz(t.at[sz(t.mix[q])])];
                }
                for (int q = 0; q < 3; ++q) {
                    const auto i = sz(t.at[sz(t.mix[q])]);
                    Poly V = Poly::constant(1.0);
                    V.times(y0[i] + a0 / 3.0, dy[i] + b0 / 3.0);
                    W.add(V, L[q].v);
                }
                break;
            }
        }
        // p W, one factor of W at a time.
        Poly term;
        for (int k = 0; k <= W.degree; ++k) {
            if (W.c[k] == 0.0 && W.mag[k] == 0.0) continue;
            Poly shifted = p;
            for (int s = 0; s < k; ++s)
                if (!shifted.times(0.0, 1.0)) return false;
            for (int q = 0; q <= shifted.degree; ++q) {
                term.c[q] += W.c[k] * shifted.c[q];
                term.mag[q] += W.mag[k] * shifted.mag[q];
            }
            if (shifted.degree > term.degree) term.degree = shifted.degree;
        }
        sum.add(term, 1.0);
    }
    out.degree = sum.degree;
    for (int k = 0; k <= sum.degree; ++k) {
        out.c[k] = sum.c[k];
        out.mag[k] = sum.mag[k];
    }
    return true;
}

}  // namespace eqcore
