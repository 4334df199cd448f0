#include "thermo/qkto.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "data/power.hpp"
#include "thermo/excess.hpp"
#include "thermo/scratch.hpp"

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
        if (k == 0) {
            p0[a] = 1.0;
        } else if (k == 1) {
            p0[a] = u[a];
            p1[a] = 1.0;
        } else if (k > 1) {
            // One power, the others from it by multiplication.
            const double q = int_power(u[a], k - 2);
            p2[a] = k * (k - 1) * q;
            p1[a] = k * (q * u[a]);
            p0[a] = (q * u[a]) * u[a];
        } else {
            // A negative power: u > 0.
            p0[a] = int_power(u[a], k);
            p1[a] = k * p0[a] / u[a];
            p2[a] = (k - 1) * p1[a] / u[a];
        }
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
    if (in.exponent[0] == 1 && in.exponent[1] == 1) {
        // The regular term L x_i x_j, the usual record, written out.
        const double m = x[i] * x[j];
        s.f += L.v * m;
        s.f_t += L.d1 * m;
        s.f_tt += L.d2 * m;
        if (!s.grad.empty()) {
            s.grad[i] += L.v * x[j];
            s.grad[j] += L.v * x[i];
        }
        if (!s.hess.empty()) {
            s.h(i, j) += L.v;
            s.h(j, i) += L.v;
        }
        return;
    }
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
    if (in.exponent[0] == 1 && in.exponent[1] == 1 && in.exponent[2] == 1) {
        // L x_i x_j x_k written out.
        const double m = u[0] * u[1] * u[2];
        s.f += L.v * m;
        s.f_t += L.d1 * m;
        s.f_tt += L.d2 * m;
        if (!s.grad.empty()) {
            s.grad[q[0]] += L.v * (u[1] * u[2]);
            s.grad[q[1]] += L.v * (u[0] * u[2]);
            s.grad[q[2]] += L.v * (u[0] * u[1]);
        }
        if (!s.hess.empty())
            for (std::size_t a = 0; a < 3; ++a)
                for (std::size_t b = 0; b < 3; ++b)
                    if (a != b) s.h(q[a], q[b]) += L.v * u[3 - a - b];
        return;
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

// The groups of the constituents and the ternaries whose binaries the file
// declares Kohler-type (interpolation overrides).
struct Sides {
    std::span<const int> group;
    std::span<const std::array<int, 3>> kohler;
};

bool has(const std::array<int, 3>& t, std::size_t i) {
    return t[0] == static_cast<int>(i) || t[1] == static_cast<int>(i) || t[2] == static_cast<int>(i);
}

// Which set of the binary term of a and b constituent l belongs to: 1 (with
// a), 2 (with b) or 0 (neither). With different groups of a and b, every
// other constituent of a's group joins a and of b's group joins b; with
// equal groups nobody joins (Kohler), nor does l when an override line
// names the ternary of a, b and l.
int binary_side(const Sides& sides, std::size_t a, std::size_t b, std::size_t l) {
    if (l == a) return 1;
    if (l == b) return 2;
    const std::span<const int> group = sides.group;
    if (group.empty() || group[a] == group[b]) return 0;
    const int side = group[l] == group[a] ? 1 : group[l] == group[b] ? 2 : 0;
    if (side == 0) return 0;
    for (const std::array<int, 3>& t : sides.kohler)
        if (has(t, a) && has(t, b) && has(t, l)) return 0;
    return side;
}

// Binary term whose sets S_1 = {a, ...} and S_2 = {b, ...} hold other
// constituents: with xi_1, xi_2 the sums of the fractions over the sets,
// L x_a x_b xi_1^(p-1) xi_2^(q-1) (xi_1 + xi_2)^(2-p-q). With S_1 = {a},
// S_2 = {b} it is the Kohler term.
void add_binary_sets(const Interaction& in, const ParameterT& L, const Sides& group, std::span<const double> x,
                     ExcessSums& s) {
    const auto a = static_cast<std::size_t>(in.index[0]);
    const auto b = static_cast<std::size_t>(in.index[1]);
    const int p = in.exponent[0], q = in.exponent[1];
    double xi1 = 0.0, xi2 = 0.0;
    for (std::size_t l = 0; l < x.size(); ++l) {
        const int side = binary_side(group, a, b, l);
        if (side == 1) xi1 += x[l];
        if (side == 2) xi2 += x[l];
    }
    const int r = 2 - p - q;
    // Both sets empty of material: the term and its gradient vanish in the limit.
    if (r < 0 && !(xi1 + xi2 > 0.0)) return;
    // Variables (x_a, x_b, xi_1, xi_2, xi_1 + xi_2), each a sum of fractions;
    // c(l) says which of them constituent l enters.
    const Monomial<5> m = monomial<5>({x[a], x[b], xi1, xi2, xi1 + xi2}, {1, 1, p - 1, q - 1, r});
    s.f += L.v * m.v;
    s.f_t += L.d1 * m.v;
    s.f_tt += L.d2 * m.v;
    auto c = [&](std::size_t l) {
        const int side = binary_side(group, a, b, l);
        return std::array<double, 5>{l == a ? 1.0 : 0.0, l == b ? 1.0 : 0.0, side == 1 ? 1.0 : 0.0,
                                     side == 2 ? 1.0 : 0.0, side != 0 ? 1.0 : 0.0};
    };
    for (std::size_t l = 0; l < x.size(); ++l) {
        if (binary_side(group, a, b, l) == 0) continue;
        const std::array<double, 5> cl = c(l);
        if (!s.grad.empty()) {
            double g = 0.0;
            for (std::size_t u = 0; u < 5; ++u) g += m.g[u] * cl[u];
            s.grad[l] += L.v * g;
        }
        if (s.hess.empty()) continue;
        for (std::size_t k = 0; k < x.size(); ++k) {
            if (binary_side(group, a, b, k) == 0) continue;
            const std::array<double, 5> ck = c(k);
            double h = 0.0;
            for (std::size_t u = 0; u < 5; ++u)
                for (std::size_t v = 0; v < 5; ++v) h += cl[u] * m.h[u][v] * ck[v];
            s.h(l, k) += L.v * h;
        }
    }
}

// True when some other constituent joins a or b in their binary term.
bool has_joiners(const Sides& sides, std::size_t a, std::size_t b) {
    // One group: nobody joins (binary_side).
    if (sides.group.empty() || sides.group[a] == sides.group[b]) return false;
    for (std::size_t l = 0; l < sides.group.size(); ++l)
        if (l != a && l != b && binary_side(sides, a, b, l) != 0) return true;
    return false;
}

// The terms in the fractions x taken as independent variables.
void qkto_terms(const Phase& phase, double T, std::span<const double> x, ExcessSums& sums) {
    const Sides group{phase.qkto_group, phase.qkto_kohler};
    std::size_t first = 0;  // of the interaction's coefficient sets
    for (const Interaction& in : phase.excess) {
        const ParameterT L = sums.parameter(in.sets[0], first, T);
        first += in.sets.size();
        if (in.index.size() == 3) {
            add_ternary(in, L, x, sums);
        } else if (has_joiners(group, static_cast<std::size_t>(in.index[0]), static_cast<std::size_t>(in.index[1]))) {
            add_binary_sets(in, L, group, x, sums);
        } else {
            add_binary(in, L, x, sums);
        }
    }
}

bool unit_weights(const Phase& phase) {
    return std::all_of(phase.qkto_weight.begin(), phase.qkto_weight.end(), [](double w) { return w == 1.0; });
}

// The sizes of a monomial's second derivatives where every ratio of its
// factors' products is at most 1: |e_a (e_a - 1)| and |e_a e_b|.
template <std::size_t N>
std::array<std::array<double, N>, N> derivative_sizes(const std::array<int, N>& e) {
    std::array<std::array<double, N>, N> h{};
    for (std::size_t a = 0; a < N; ++a)
        for (std::size_t b = 0; b < N; ++b) h[a][b] = std::abs(a == b ? e[a] * (e[a] - 1.0) : e[a] * 1.0 * e[b]);
    return h;
}

// The sizes of a monomial's third derivatives where every product of its
// factors' powers of degree 0 is at most 1: |prod_a e_a (e_a - 1) ...|, one
// factor per derivative taken in u_a.
template <std::size_t N>
double third_size(const std::array<int, N>& e, std::size_t a, std::size_t b, std::size_t c) {
    double v = 1.0;
    for (std::size_t k = 0; k < N; ++k) {
        const int times = (a == k) + (b == k) + (c == k);
        for (int t = 0; t < times; ++t) v *= e[k] - t;
    }
    return std::abs(v);
}

// Adds to B the third-derivative sizes of a monomial in the fractions
// `index` and their sum s (exponents e, s's last), by the chain rule
// ds/dx = 1, times `scale` / `over`.
template <std::size_t N>
void add_third_sizes(const std::array<int, N>& e, const std::array<std::size_t, N - 1>& index, double scale,
                     double over, std::size_t n, std::span<double> B) {
    constexpr std::size_t s = N - 1;
    // Every size once (it depends only on which variables the derivatives
    // are taken in, not on their order): the chain rule below takes each of
    // them many times.
    std::array<std::array<std::array<double, N>, N>, N> size{};
    for (std::size_t u = 0; u < N; ++u)
        for (std::size_t w = u; w < N; ++w)
            for (std::size_t z = w; z < N; ++z) {
                const double v = third_size<N>(e, u, w, z);
                size[u][w][z] = size[u][z][w] = size[w][u][z] = v;
                size[w][z][u] = size[z][u][w] = size[z][w][u] = v;
            }
    for (std::size_t a = 0; a < s; ++a)
        for (std::size_t b = 0; b < s; ++b)
            for (std::size_t c = 0; c < s; ++c) {
                double v = 0.0;
                for (std::size_t u : {a, s})
                    for (std::size_t w : {b, s})
                        for (std::size_t z : {c, s}) v += size[u][w][z];
                B[(index[a] * n + index[b]) * n + index[c]] += scale * v / over;
            }
}

}  // namespace

// Every term is homogeneous in its fractions: of degree 2 (binary, the
// fractions of a and b each at most their set's sum, at most the sum of
// both sets) or 3 (ternary). A second derivative is then a sum of products
// of degree 0 (1) in which each fraction is at most the sum it divides, so
// every product is at most 1 in magnitude: the bound is the sum of the
// chain rule's coefficients times |L|.
bool qkto_curvature(const Phase& phase, const Interaction& in, double T, std::span<double> B) {
    if (!unit_weights(phase)) return false;
    for (int e : in.exponent)
        if (e < 0) return false;
    const auto n = static_cast<std::size_t>(phase.count);
    const double L = std::abs(parameter_value(in.sets[0], T));
    auto add = [&](std::size_t i, std::size_t j, double v) { B[i * n + j] += L * v; };
    const Sides group{phase.qkto_group, phase.qkto_kohler};
    if (in.index.size() == 3) {
        std::array<std::size_t, 3> q{};
        for (std::size_t a = 0; a < 3; ++a) q[a] = static_cast<std::size_t>(in.index[a]);
        const int r = 3 - in.exponent[0] - in.exponent[1] - in.exponent[2];
        const auto h = derivative_sizes<4>({in.exponent[0], in.exponent[1], in.exponent[2], r});
        for (std::size_t a = 0; a < 3; ++a)
            for (std::size_t b = 0; b < 3; ++b) add(q[a], q[b], h[a][b] + h[a][3] + h[3][b] + h[3][3]);
        return true;
    }
    const auto a = static_cast<std::size_t>(in.index[0]);
    const auto b = static_cast<std::size_t>(in.index[1]);
    const int p = in.exponent[0], q = in.exponent[1];
    if (has_joiners(group, a, b)) {
        if (p < 1 || q < 1) return false;
        const auto h = derivative_sizes<5>({1, 1, p - 1, q - 1, 2 - p - q});
        auto c = [&](std::size_t l) {
            const int side = binary_side(group, a, b, l);
            return std::array<double, 5>{l == a ? 1.0 : 0.0, l == b ? 1.0 : 0.0, side == 1 ? 1.0 : 0.0,
                                         side == 2 ? 1.0 : 0.0, side != 0 ? 1.0 : 0.0};
        };
        for (std::size_t l = 0; l < n; ++l) {
            if (binary_side(group, a, b, l) == 0) continue;
            const std::array<double, 5> cl = c(l);
            for (std::size_t k = 0; k < n; ++k) {
                if (binary_side(group, a, b, k) == 0) continue;
                const std::array<double, 5> ck = c(k);
                double v = 0.0;
                for (std::size_t u = 0; u < 5; ++u)
                    for (std::size_t w = 0; w < 5; ++w) v += cl[u] * h[u][w] * ck[w];
                add(l, k, v);
            }
        }
        return true;
    }
    // (x_a, x_b, x_a + x_b) with exponents (p, q, 2 - p - q).
    const auto h = derivative_sizes<3>({p, q, 2 - p - q});
    add(a, a, h[0][0] + 2.0 * h[0][2] + h[2][2]);
    add(b, b, h[1][1] + 2.0 * h[1][2] + h[2][2]);
    const double hab = h[0][1] + h[0][2] + h[1][2] + h[2][2];
    add(a, b, hab);
    add(b, a, hab);
    return true;
}

// A binary term of exponents p, q >= 0 with p + q <= 2 is a polynomial of
// degree 2 in the fractions (the regular term with joined sets too): its
// third derivatives vanish. Otherwise it has a negative power of a sum: the
// term of its own pair, L x_i^p x_j^q s^(2-p-q) with s = x_i + x_j, is
// homogeneous of degree 2 in (x_i, x_j, s), each fraction at most s, so its
// third derivatives in those variables are coefficients times products of
// degree -1, each at most 1 / s: bounded where s is kept from 0 (by
// `least`). A ternary term is homogeneous of degree 3 in (x_i, x_j, x_k, s)
// with s their sum, each fraction at most s and only s raised to a negative
// power: every third derivative in those variables is a coefficient times a
// product of degree 0, at most 1. The chain rule (ds/dx = 1 for the
// fractions s sums) adds the coefficients' sizes, times |L|.
// Without `least` no bound is given, even where every term is bounded over
// the whole simplex: with one, the warm-start proofs of the solver that use
// such a bound run on these phases and cost more than the searches they
// can spare.
bool qkto_third(const Phase& phase, const Interaction& in, double T, std::span<const double> least,
                std::span<double> B) {
    if (!unit_weights(phase) || least.empty()) return false;
    for (int e : in.exponent)
        if (e < 0) return false;
    const auto n = static_cast<std::size_t>(phase.count);
    const double L = std::abs(parameter_value(in.sets[0], T));
    if (in.index.size() == 2) {
        const auto i = static_cast<std::size_t>(in.index[0]);
        const auto j = static_cast<std::size_t>(in.index[1]);
        const int p = in.exponent[0], q = in.exponent[1];
        const Sides group{phase.qkto_group, phase.qkto_kohler};
        if (has_joiners(group, i, j)) return p == 1 && q == 1;
        if (p + q <= 2) return true;
        const double s = least.empty() ? 0.0 : least[i] + least[j];
        if (!(s > 0.0)) return false;
        add_third_sizes<3>({p, q, 2 - p - q}, {i, j}, L, s, n, B);
        return true;
    }
    std::array<std::size_t, 3> q{};
    for (std::size_t a = 0; a < 3; ++a) q[a] = static_cast<std::size_t>(in.index[a]);
    add_third_sizes<4>({in.exponent[0], in.exponent[1], in.exponent[2],
                        3 - in.exponent[0] - in.exponent[1] - in.exponent[2]},
                       q, L, 1.0, n, B);
    return true;
}

void qkto_excess(const Phase& phase, double T, std::span<const double> x, ExcessSums& sums) {
    if (unit_weights(phase)) {
        qkto_terms(phase, T, x, sums);
        return;
    }
    // Equivalent fractions y = w x / W, W = sum w_l x_l, and f(x) = W F(y)
    // with F the terms in y. f is homogeneous of degree 1 in x, so
    //   df/dx_k       = w_k (F + g_k - y.g)
    //   d2f/dx_k dx_j = w_k w_j / W (H_kj - (Hy)_k - (Hy)_j + y.H.y)
    // with g, H the gradient and Hessian of F in y.
    const std::size_t n = x.size();
    const std::span<const double> w(phase.qkto_weight);
    double W = 0.0;
    for (std::size_t l = 0; l < n; ++l) W += w[l] * x[l];
    Scratch y_buffer(n), g_buffer(n), h_buffer(sums.hess.empty() ? 0 : n * n);
    const std::span<double> y = y_buffer.span();
    for (std::size_t l = 0; l < n; ++l) y[l] = w[l] * x[l] / W;
    ExcessSums t;
    t.n = n;
    t.at_T = sums.at_T;
    if (!sums.grad.empty() || !sums.hess.empty()) t.grad = g_buffer.span();
    t.hess = h_buffer.span();
    qkto_terms(phase, T, y, t);
    sums.f += W * t.f;
    sums.f_t += W * t.f_t;
    sums.f_tt += W * t.f_tt;
    if (!sums.grad.empty()) {
        double yg = 0.0;
        for (std::size_t l = 0; l < n; ++l) yg += y[l] * t.grad[l];
        for (std::size_t k = 0; k < n; ++k) sums.grad[k] += w[k] * (t.f + t.grad[k] - yg);
    }
    if (!sums.hess.empty()) {
        Scratch hy_buffer(n);
        const std::span<double> hy = hy_buffer.span();
        double yhy = 0.0;
        for (std::size_t k = 0; k < n; ++k) {
            for (std::size_t l = 0; l < n; ++l) hy[k] += t.h(k, l) * y[l];
            yhy += y[k] * hy[k];
        }
        for (std::size_t k = 0; k < n; ++k)
            for (std::size_t j = 0; j < n; ++j)
                sums.h(k, j) += w[k] * w[j] / W * (t.h(k, j) - hy[k] - hy[j] + yhy);
    }
}

ExcessTerms qkto_terms_for(const Phase& phase) { return unit_weights(phase) ? qkto_terms : qkto_excess; }

}  // namespace eqcore
