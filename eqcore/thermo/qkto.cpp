#include "thermo/qkto.hpp"

#include <array>

#include "data/power.hpp"

namespace eqcore {

namespace {

// u0^e0 u1^e1 u2^e2 with its gradient and Hessian in u. A factor with a
// negative exponent must be positive; zero exponents of zero factors are 1.
struct Monomial {
    double v = 0.0;
    std::array<double, 3> g{};
    std::array<std::array<double, 3>, 3> h{};
};

Monomial monomial(const std::array<double, 3>& u, const std::array<int, 3>& e) {
    std::array<double, 3> p0{}, p1{}, p2{};  // u^e, e u^(e-1), e(e-1) u^(e-2)
    for (std::size_t a = 0; a < 3; ++a) {
        const int k = e[a];
        p0[a] = k == 0 ? 1.0 : int_power(u[a], k);
        p1[a] = k == 0 ? 0.0 : k * int_power(u[a], k - 1);
        p2[a] = (k == 0 || k == 1) ? 0.0 : k * (k - 1) * int_power(u[a], k - 2);
    }
    Monomial m;
    m.v = p0[0] * p0[1] * p0[2];
    for (std::size_t a = 0; a < 3; ++a) {
        const std::size_t b = (a + 1) % 3;
        const std::size_t c = (a + 2) % 3;
        m.g[a] = p1[a] * p0[b] * p0[c];
        m.h[a][a] = p2[a] * p0[b] * p0[c];
        m.h[a][b] = m.h[b][a] = p1[a] * p1[b] * p0[c];
    }
    return m;
}

void add_binary(const Interaction& in, const ParameterT& L, std::span<const double> x, ExcessSums& s) {
    const auto i = static_cast<std::size_t>(in.index[0]);
    const auto j = static_cast<std::size_t>(in.index[1]);
    const double sum = x[i] + x[j];
    const int r = 2 - in.exponent[0] - in.exponent[1];
    // Both fractions zero: the term and its gradient vanish in the limit.
    if (r < 0 && !(sum > 0.0)) return;
    // Variables (x_i, x_j, x_i + x_j); the chain rule maps them back.
    const Monomial m = monomial({x[i], x[j], sum}, {in.exponent[0], in.exponent[1], r});
    s.f += L.v * m.v;
    s.f_t += L.d1 * m.v;
    s.f_tt += L.d2 * m.v;
    if (!s.grad.empty()) {
        s.grad[i] += L.v * (m.g[0] + m.g[2]);
        s.grad[j] += L.v * (m.g[1] + m.g[2]);
    }
    if (!s.hess.empty()) {
        s.h(i, i) += L.v * (m.h[0][0] + 2.0 * m.h[0][2] + m.h[2][2]);
        s.h(j, j) += L.v * (m.h[1][1] + 2.0 * m.h[1][2] + m.h[2][2]);
        const double hij = L.v * (m.h[0][1] + m.h[0][2] + m.h[1][2] + m.h[2][2]);
        s.h(i, j) += hij;
        s.h(j, i) += hij;
    }
}

void add_ternary(const Interaction& in, const ParameterT& L, std::span<const double> x, ExcessSums& s) {
    std::array<std::size_t, 3> q{};
    std::array<double, 3> u{};
    for (std::size_t a = 0; a < 3; ++a) {
        q[a] = static_cast<std::size_t>(in.index[a]);
        u[a] = x[q[a]];
    }
    const Monomial m = monomial(u, {in.exponent[0], in.exponent[1], in.exponent[2]});
    s.f += L.v * m.v;
    s.f_t += L.d1 * m.v;
    s.f_tt += L.d2 * m.v;
    if (!s.grad.empty())
        for (std::size_t a = 0; a < 3; ++a) s.grad[q[a]] += L.v * m.g[a];
    if (!s.hess.empty())
        for (std::size_t a = 0; a < 3; ++a)
            for (std::size_t b = 0; b < 3; ++b) s.h(q[a], q[b]) += L.v * m.h[a][b];
}

}  // namespace

void qkto_excess(const Phase& phase, double T, std::span<const double> x, ExcessSums& sums) {
    for (const Interaction& in : phase.excess) {
        const ParameterT L = parameter_with_derivatives(in.sets[0], T);
        if (in.index.size() == 2) {
            add_binary(in, L, x, sums);
        } else {
            add_ternary(in, L, x, sums);
        }
    }
}

}  // namespace eqcore
