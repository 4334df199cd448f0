#include "thermo/rkmp.hpp"

#include <array>
#include <cmath>

#include "thermo/excess.hpp"

namespace eqcore {

namespace {

void add_binary(const Interaction& in, std::size_t first, double T, std::span<const double> x, ExcessSums& s) {
    const auto i = static_cast<std::size_t>(in.index[0]);
    const auto j = static_cast<std::size_t>(in.index[1]);
    const double xi = x[i];
    const double xj = x[j];
    const double d = xi - xj;
    // P(d) = sum_v L^(v) d^v with its d-derivatives, and P at dL/dT, d2L/dT2.
    double P = 0.0, P1 = 0.0, P2 = 0.0, Pt = 0.0, Ptt = 0.0;
    double dv = 1.0;    // d^v
    double dv1 = 0.0;   // d^(v-1)
    double dv2 = 0.0;   // d^(v-2)
    for (std::size_t v = 0; v < in.sets.size(); ++v) {
        const ParameterT L = s.parameter(in.sets[v], first + v, T);
        const double vv = static_cast<double>(v);
        P += L.v * dv;
        P1 += vv * L.v * dv1;
        P2 += vv * (vv - 1.0) * L.v * dv2;
        Pt += L.d1 * dv;
        Ptt += L.d2 * dv;
        dv2 = dv1;
        dv1 = dv;
        dv *= d;
    }
    const double xx = xi * xj;
    s.f += xx * P;
    s.f_t += xx * Pt;
    s.f_tt += xx * Ptt;
    if (!s.grad.empty()) {
        s.grad[i] += xj * P + xx * P1;
        s.grad[j] += xi * P - xx * P1;
    }
    if (!s.hess.empty()) {
        s.h(i, i) += 2.0 * xj * P1 + xx * P2;
        s.h(j, j) += -2.0 * xi * P1 + xx * P2;
        const double hij = P + d * P1 - xx * P2;
        s.h(i, j) += hij;
        s.h(j, i) += hij;
    }
}

void add_ternary(const Interaction& in, std::size_t first, double T, std::span<const double> x, ExcessSums& s) {
    std::array<std::size_t, 3> q{};
    std::array<double, 3> u{};
    for (std::size_t a = 0; a < 3; ++a) {
        q[a] = static_cast<std::size_t>(in.index[a]);
        u[a] = x[q[a]];
    }
    // term = p W: p = x_i x_j x_k, W = L^(0) (one set) or sum_l L^(l) V_l.
    const double p = u[0] * u[1] * u[2];
    const std::array<double, 3> dp = {u[1] * u[2], u[0] * u[2], u[0] * u[1]};
    std::array<ParameterT, 3> L{};
    for (std::size_t a = 0; a < in.sets.size() && a < 3; ++a) L[a] = s.parameter(in.sets[a], first + a, T);
    double W = 0.0, Wt = 0.0, Wtt = 0.0;
    std::array<double, 3> w{};  // dW/dx
    if (in.sets.size() == 1) {
        W = L[0].v;
        Wt = L[0].d1;
        Wtt = L[0].d2;
    } else {
        const double rest = (1.0 - u[0] - u[1] - u[2]) / 3.0;
        const double sum = L[0].v + L[1].v + L[2].v;
        for (std::size_t a = 0; a < 3; ++a) {
            W += L[a].v * (u[a] + rest);
            Wt += L[a].d1 * (u[a] + rest);
            Wtt += L[a].d2 * (u[a] + rest);
            w[a] = L[a].v - sum / 3.0;
        }
    }
    s.f += p * W;
    s.f_t += p * Wt;
    s.f_tt += p * Wtt;
    if (!s.grad.empty())
        for (std::size_t a = 0; a < 3; ++a) s.grad[q[a]] += dp[a] * W + p * w[a];
    if (!s.hess.empty()) {
        for (std::size_t a = 0; a < 3; ++a) {
            for (std::size_t b = 0; b < 3; ++b) {
                const double d2p = (a == b) ? 0.0 : u[3 - a - b];  // the third fraction
                s.h(q[a], q[b]) += d2p * W + dp[a] * w[b] + dp[b] * w[a];
            }
        }
    }
}

// Quaternary (i, j, k, l), one set: L x_i x_j x_k x_l. Records of the same
// four constituents add.
void add_quaternary(const Interaction& in, std::size_t first, double T, std::span<const double> x, ExcessSums& s) {
    std::array<std::size_t, 4> q{};
    std::array<double, 4> u{};
    for (std::size_t a = 0; a < 4; ++a) {
        q[a] = static_cast<std::size_t>(in.index[a]);
        u[a] = x[q[a]];
    }
    // Products of the fractions of all but one or two of the four.
    auto others = [&](std::size_t a, std::size_t b) {
        double r = 1.0;
        for (std::size_t c = 0; c < 4; ++c)
            if (c != a && c != b) r *= u[c];
        return r;
    };
    const ParameterT L = s.parameter(in.sets[0], first, T);
    const double p = others(4, 4);
    s.f += L.v * p;
    s.f_t += L.d1 * p;
    s.f_tt += L.d2 * p;
    if (!s.grad.empty())
        for (std::size_t a = 0; a < 4; ++a) s.grad[q[a]] += L.v * others(a, a);
    if (!s.hess.empty())
        for (std::size_t a = 0; a < 4; ++a)
            for (std::size_t b = 0; b < 4; ++b)
                if (a != b) s.h(q[a], q[b]) += L.v * others(a, b);
}

}  // namespace

void rkmp_excess(const Phase& phase, double T, std::span<const double> x, ExcessSums& sums) {
    std::size_t first = 0;  // of the interaction's coefficient sets
    for (const Interaction& in : phase.excess) {
        switch (in.index.size()) {
            case 2: add_binary(in, first, T, x, sums); break;
            case 3: add_ternary(in, first, T, x, sums); break;
            default: add_quaternary(in, first, T, x, sums); break;
        }
        first += in.sets.size();
    }
}

// Every fraction and x_i - x_j lie in [-1, 1], a product of two fractions
// is at most 1/4: the second derivatives of the terms above (their
// formulas in the functions that add them) are bounded term by term.
bool rkmp_curvature(const Phase& phase, const Interaction& in, double T, std::span<double> B) {
    const auto n = static_cast<std::size_t>(phase.count);
    auto add = [&](std::size_t i, std::size_t j, double v) { B[i * n + j] += v; };
    std::array<std::size_t, 4> q{};
    for (std::size_t a = 0; a < in.index.size() && a < 4; ++a) q[a] = static_cast<std::size_t>(in.index[a]);
    std::array<double, 3> L{};  // the first three sets at T
    for (std::size_t a = 0; a < in.sets.size() && a < 3; ++a) L[a] = parameter_value(in.sets[a], T);
    if (in.index.size() == 2) {
        // x_i x_j L_v d^v: h_ii = 2 x_j P1 + x_i x_j P2, h_ij = P + d P1 - x_i x_j P2.
        double diag = 0.0, off = 0.0;
        for (std::size_t v = 0; v < in.sets.size(); ++v) {
            const double Lv = std::abs(parameter_value(in.sets[v], T)), k = static_cast<double>(v);
            diag += Lv * (2.0 * k + 0.25 * k * (k - 1.0));
            off += Lv * (1.0 + k + 0.25 * k * (k - 1.0));
        }
        add(q[0], q[0], diag);
        add(q[1], q[1], diag);
        add(q[0], q[1], off);
        add(q[1], q[0], off);
        return true;
    }
    if (in.index.size() == 3) {
        // p W: h_ab = d2p_ab W + dp_a w_b + dp_b w_a, |d2p| <= 1, |dp| <= 1/4.
        const double W = std::abs(L[0]) + std::abs(L[1]) + std::abs(L[2]);
        std::array<double, 3> w{};
        if (in.sets.size() != 1)
            for (std::size_t a = 0; a < 3; ++a) w[a] = std::abs(L[a] - (L[0] + L[1] + L[2]) / 3.0);
        for (std::size_t a = 0; a < 3; ++a)
            for (std::size_t b = 0; b < 3; ++b) add(q[a], q[b], (a == b ? 0.0 : W) + 0.25 * (w[a] + w[b]));
        return true;
    }
    for (std::size_t a = 0; a < 4; ++a)
        for (std::size_t b = 0; b < 4; ++b)
            if (a != b) add(q[a], q[b], 0.25 * std::abs(L[0]));
    return true;
}

}  // namespace eqcore
