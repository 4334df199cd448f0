#include "thermo/qkto.hpp"

#include <array>

#include "data/power.hpp"

namespace eqcore {

namespace {

// prod_a u_a^e_a with its gradient and Hessian in u. A factor with a
// negative exponent must be positive; zero exponents of zero factors are 1.
template <std::size_t N>
struct Monomial {
    double v = 0.0;
    std::array<double, N> g{};
    std::array<std::array<double, N>, N> h{};
};

template <std::size_t N>
Monomial<N> monomial(const std::array<double, N>& u, const std::array<int, N>& e) {
    std::array<double, N> p0{}, p1{}, p2{};  // u^e, e u^(e-1), e(e-1) u^(e-2)
    for (std::size_t a = 0; a < N; ++a) {
        const int k = e[a];
        p0[a] = k == 0 ? 1.0 : int_power(u[a], k);
        p1[a] = k == 0 ? 0.0 : k * int_power(u[a], k - 1);
        p2[a] = (k == 0 || k == 1) ? 0.0 : k * (k - 1) * int_power(u[a], k - 2);
    }
    // Products of the p0 of all factors but one or two.
    auto others = [&](std::size_t a, std::size_t b) {
        double r = 1.0;
        for (std::size_t c = 0; c < N; ++c)
            if (c != a && c != b) r *= p0[c];
        return r;
    };
    Monomial<N> m;
    m.v = others(N, N);
    for (std::size_t a = 0; a < N; ++a) {
        m.g[a] = p1[a] * others(a, a);
        m.h[a][a] = p2[a] * others(a, a);
        for (std::size_t b = a + 1; b < N; ++b) m.h[a][b] = m.h[b][a] = p1[a] * p1[b] * others(a, b);
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
    const Monomial<3> m = monomial<3>({x[i], x[j], sum}, {in.exponent[0], in.exponent[1], r});
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

// Kohler form of a ternary term: s^3 L xi_i^p xi_j^q xi_k^r with
// s = x_i + x_j + x_k and xi = x / s, i.e. L x_i^p x_j^q x_k^r s^(3-p-q-r):
// its value at fixed ratios of i, j, k scales with s^3 whatever else is
// present, as the binary term scales with (x_i + x_j)^2.
void add_ternary(const Interaction& in, const ParameterT& L, std::span<const double> x, ExcessSums& s) {
    std::array<std::size_t, 3> q{};
    std::array<double, 4> u{};
    for (std::size_t a = 0; a < 3; ++a) {
        q[a] = static_cast<std::size_t>(in.index[a]);
        u[a] = x[q[a]];
    }
    u[3] = u[0] + u[1] + u[2];
    const int r = 3 - in.exponent[0] - in.exponent[1] - in.exponent[2];
    // All three fractions zero: the term and its gradient vanish in the limit.
    if (r < 0 && !(u[3] > 0.0)) return;
    // Variables (x_i, x_j, x_k, s); the chain rule maps them back (ds/dx = 1).
    const Monomial<4> m = monomial<4>(u, {in.exponent[0], in.exponent[1], in.exponent[2], r});
    s.f += L.v * m.v;
    s.f_t += L.d1 * m.v;
    s.f_tt += L.d2 * m.v;
    if (!s.grad.empty())
        for (std::size_t a = 0; a < 3; ++a) s.grad[q[a]] += L.v * (m.g[a] + m.g[3]);
    if (!s.hess.empty())
        for (std::size_t a = 0; a < 3; ++a)
            for (std::size_t b = 0; b < 3; ++b)
                s.h(q[a], q[b]) += L.v * (m.h[a][b] + m.h[a][3] + m.h[3][b] + m.h[3][3]);
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
