// A value with its exact gradient and Hessian in K independent variables
// (second-order forward differentiation), for models whose Gibbs energy is
// a long composition of simple functions: the arithmetic below carries the
// chain rule, so that every term is written once, as a value. K is chosen
// at run time up to the capacity N; the Hessian is kept as its lower
// triangle. A caller that needs fewer derivatives asks for fewer (a
// JetShape without the Hessian, or with K = 0 for plain values): the same
// arithmetic then skips them.
#pragma once

#include <cmath>

namespace eqcore {

// K variables, with or without the Hessian.
struct JetShape {
    int K = 0;
    bool second = true;
};

template <int N>
class Jet {
public:
    static constexpr int kCapacity = N;
    static constexpr int kPacked = N * (N + 1) / 2;

    Jet() = default;
    // The constant c.
    Jet(JetShape s, double c) : v(c), K_(s.K), P_(s.second ? s.K * (s.K + 1) / 2 : 0) {
        for (int i = 0; i < K_; ++i) g[i] = 0.0;
        for (int i = 0; i < P_; ++i) h[i] = 0.0;
    }
    // Variable i at value x.
    static Jet variable(JetShape s, int i, double x) {
        Jet r(s, x);
        if (i < r.K_) r.g[i] = 1.0;
        return r;
    }

    int size() const { return K_; }
    int packed() const { return P_; }
    JetShape shape() const { return {K_, P_ > 0}; }
    // d2/dx_i dx_j.
    double hess(int i, int j) const { return i >= j ? h[i * (i + 1) / 2 + j] : h[j * (j + 1) / 2 + i]; }

    Jet& operator+=(const Jet& b) {
        v += b.v;
        for (int i = 0; i < K_; ++i) g[i] += b.g[i];
        for (int i = 0; i < packed(); ++i) h[i] += b.h[i];
        return *this;
    }
    Jet& operator-=(const Jet& b) {
        v -= b.v;
        for (int i = 0; i < K_; ++i) g[i] -= b.g[i];
        for (int i = 0; i < packed(); ++i) h[i] -= b.h[i];
        return *this;
    }
    Jet& operator*=(double c) {
        v *= c;
        for (int i = 0; i < K_; ++i) g[i] *= c;
        for (int i = 0; i < packed(); ++i) h[i] *= c;
        return *this;
    }
    // *this += c * b.
    void add_scaled(double c, const Jet& b) {
        v += c * b.v;
        for (int i = 0; i < K_; ++i) g[i] += c * b.g[i];
        for (int i = 0; i < packed(); ++i) h[i] += c * b.h[i];
    }

    // f(a) from f(a.v), f'(a.v), f''(a.v).
    static Jet chain(const Jet& a, double f, double f1, double f2) {
        Jet r;
        r.K_ = a.K_;
        r.P_ = a.P_;
        r.v = f;
        for (int i = 0; i < a.K_; ++i) r.g[i] = f1 * a.g[i];
        if (a.P_ == 0) return r;
        for (int i = 0, q = 0; i < a.K_; ++i)
            for (int j = 0; j <= i; ++j, ++q) r.h[q] = f1 * a.h[q] + f2 * a.g[i] * a.g[j];
        return r;
    }

    friend Jet operator+(Jet a, const Jet& b) { return a += b; }
    friend Jet operator-(Jet a, const Jet& b) { return a -= b; }
    friend Jet operator*(Jet a, double c) { return a *= c; }
    friend Jet operator*(double c, Jet a) { return a *= c; }
    friend Jet operator*(const Jet& a, const Jet& b) {
        Jet r;
        r.K_ = a.K_;
        r.P_ = a.P_;
        r.v = a.v * b.v;
        for (int i = 0; i < a.K_; ++i) r.g[i] = a.v * b.g[i] + b.v * a.g[i];
        if (a.P_ == 0) return r;
        for (int i = 0, q = 0; i < a.K_; ++i)
            for (int j = 0; j <= i; ++j, ++q) r.h[q] = a.v * b.h[q] + b.v * a.h[q] + a.g[i] * b.g[j] + a.g[j] * b.g[i];
        return r;
    }
    friend Jet operator/(const Jet& a, const Jet& b) { return a * reciprocal(b); }
    friend Jet reciprocal(const Jet& b) {
        const double r = 1.0 / b.v;
        return chain(b, r, -r * r, 2.0 * r * r * r);
    }
    friend Jet log(const Jet& a) { return chain(a, std::log(a.v), 1.0 / a.v, -1.0 / (a.v * a.v)); }
    // a^k for an integer k >= 0.
    friend Jet pow(const Jet& a, int k) {
        if (k == 0) return Jet(a.shape(), 1.0);
        const double p2 = k >= 2 ? std::pow(a.v, k - 2) : 0.0;
        const double p1 = k >= 1 ? std::pow(a.v, k - 1) : 0.0;
        return chain(a, std::pow(a.v, k), k * p1, k * (k - 1) * p2);
    }
    // x ln(x / S) for x > 0, written so that its derivatives carry 1/x and
    // never 1/x^2 (x may be a trace of 1e-300).
    friend Jet x_ln_ratio(const Jet& x, const Jet& S) {
        const double L = std::log(x.v / S.v), r = x.v / S.v;
        Jet out;
        out.K_ = x.K_;
        out.P_ = x.P_;
        out.v = x.v * L;
        for (int i = 0; i < x.K_; ++i) out.g[i] = (L + 1.0) * x.g[i] - r * S.g[i];
        if (x.P_ == 0) return out;
        for (int i = 0, q = 0; i < x.K_; ++i)
            for (int j = 0; j <= i; ++j, ++q)
                out.h[q] = (L + 1.0) * x.h[q] + x.g[i] * x.g[j] / x.v - (x.g[i] * S.g[j] + S.g[i] * x.g[j]) / S.v -
                           r * S.h[q] + r * S.g[i] * S.g[j] / S.v;
        return out;
    }

    double v = 0.0;
    double g[static_cast<std::size_t>(N)];
    double h[static_cast<std::size_t>(kPacked)];

private:
    int K_ = 0;
    int P_ = 0;  // Hessian entries kept: K (K + 1) / 2, or 0
};

}  // namespace eqcore
