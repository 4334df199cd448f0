// Bounds on the third derivatives of the Redlich-Kister terms over the
// composition simplex (fractions in [0, 1], x_i - x_j in [-1, 1], a product
// of two fractions at most 1/4), term by term from their formulas.
#include <array>
#include <cmath>

#include "thermo/excess.hpp"
#include "thermo/rkmp.hpp"

namespace eqcore {

bool rkmp_third(const Phase& phase, const Interaction& in, double T, std::span<const double>, std::span<double> B) {
    const auto n = static_cast<std::size_t>(phase.count);
    auto add = [&](std::size_t i, std::size_t j, std::size_t k, double v) { B[(i * n + j) * n + k] += v; };
    std::array<std::size_t, 4> q{};
    for (std::size_t a = 0; a < in.index.size() && a < 4; ++a) q[a] = static_cast<std::size_t>(in.index[a]);
    if (in.index.size() == 2) {
        // x_i x_j P(d), d = x_i - x_j, P_k its k-th derivative:
        //   f_iii =  3 x_j P2 + x_i x_j P3,  f_iij = 2 P1 + (x_i - 2 x_j) P2 - x_i x_j P3,
        //   f_jjj =  3 x_i P2 - x_i x_j P3,  f_ijj = -2 P1 - (2 x_i - x_j) P2 + x_i x_j P3;
        // |P_k| <= sum_v |L_v| v!/(v-k)!.
        std::array<double, 4> P{};
        for (std::size_t v = 0; v < in.sets.size(); ++v) {
            const double L = std::abs(parameter_value(in.sets[v], T)), k = static_cast<double>(v);
            P[1] += L * k;
            P[2] += L * k * (k - 1.0);
            P[3] += L * k * (k - 1.0) * (k - 2.0);
        }
        const double pure = 3.0 * P[2] + 0.25 * P[3], mixed = 2.0 * P[1] + 2.0 * P[2] + 0.25 * P[3];
        const std::size_t i = q[0], j = q[1];
        add(i, i, i, pure);
        add(j, j, j, pure);
        for (const auto& [a, b] : {std::array<std::size_t, 2>{i, j}, std::array<std::size_t, 2>{j, i}}) {
            add(a, a, b, mixed);
            add(a, b, a, mixed);
            add(b, a, a, mixed);
        }
        return true;
    }
    if (in.index.size() == 3) {
        // p W, p = x_i x_j x_k, W linear with slopes w_a:
        //   f_abc = p_abc W + p_ab w_c + p_ac w_b + p_bc w_a,
        // p_abc = 1 for three different indices (else 0), 0 <= p_ab <= 1 for
        // two (p_aa = 0), |W| <= sum |L|.
        std::array<double, 3> L{};
        for (std::size_t a = 0; a < in.sets.size() && a < 3; ++a) L[a] = parameter_value(in.sets[a], T);
        const double W = std::abs(L[0]) + std::abs(L[1]) + std::abs(L[2]);
        std::array<double, 3> w{};
        if (in.sets.size() != 1)
            for (std::size_t a = 0; a < 3; ++a) w[a] = std::abs(L[a] - (L[0] + L[1] + L[2]) / 3.0);
        for (std::size_t a = 0; a < 3; ++a)
            for (std::size_t b = 0; b < 3; ++b)
                for (std::size_t c = 0; c < 3; ++c) {
                    const bool all = a != b && b != c && a != c;
                    const double v = (all ? W : 0.0) + (a != b ? w[c] : 0.0) + (a != c ? w[b] : 0.0) +
                                     (b != c ? w[a] : 0.0);
                    add(q[a], q[b], q[c], v);
                }
        return true;
    }
    // L x_i x_j x_k x_l: f_abc = L times the fourth fraction for three different indices.
    const double L = std::abs(parameter_value(in.sets[0], T));
    for (std::size_t a = 0; a < 4; ++a)
        for (std::size_t b = 0; b < 4; ++b)
            for (std::size_t c = 0; c < 4; ++c)
                if (a != b && b != c && a != c) add(q[a], q[b], q[c], L);
    return true;
}

}  // namespace eqcore
