// Excess terms of a quasichemical liquid: g_r = L(T) f_r(composition) W_r
// per record, f_r a function of a few ratios of linear forms in the
// quadruplet amounts. Derivatives: of f_r in its ratios by second-order
// forward differentiation (a value, gradient and Hessian carried through the
// arithmetic), of the ratios in N in closed form, so that the gradient and
// Hessian of the phase's G are exact.
//
// Ratios of a record mixing i1, i2 (cations A, B with common anion X, or
// anions X, Y with common cation A), numbered as used:
//   0, 1  letter G: chi_1 = C_1 / C_0, chi_2 = C_2 / C_0;
//         letter Q: xi_1, xi_2 (pair fractions of the ions of S_1, S_2 with the
//         common ion);
//   2..6  a ternary term with third cation C: Y_C = X_{C/X}, xi_1, xi_2,
//         X_{A/X}, X_{B/X}.
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "thermo/quasichem.hpp"

namespace eqcore {

namespace {

constexpr std::size_t sz(int v) { return static_cast<std::size_t>(v); }
constexpr int kRatios = 7;

// y[0, n) += a x[0, n), x and y distinct arrays (which lets the compiler
// vectorise the loop without checking for overlap).
inline void add_scaled(double a, const double* __restrict x, double* __restrict y, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) y[i] += a * x[i];
}

// A value with its gradient and (with S) its Hessian in R of the record's
// ratios. Only the Hessian's lower triangle (entries i, j <= i) is carried:
// it is symmetric, and its users read that triangle alone.
template <int R, bool S = true>
struct D2 {
    double v = 0.0;
    std::array<double, sz(R)> g{};
    std::array<double, S ? sz(R * R) : 0> h{};
};

template <int R, bool S>
D2<R, S> constant(double c) {
    D2<R, S> r;
    r.v = c;
    return r;
}
template <int R, bool S>
D2<R, S> variable(double v, int i) {
    D2<R, S> r;
    r.v = v;
    r.g[sz(i)] = 1.0;
    return r;
}
template <int R, bool S>
D2<R, S> operator*(const D2<R, S>& a, const D2<R, S>& b) {
    D2<R, S> r;
    r.v = a.v * b.v;
    for (int i = 0; i < R; ++i) r.g[sz(i)] = a.g[sz(i)] * b.v + a.v * b.g[sz(i)];
    if constexpr (S)
        for (int i = 0; i < R; ++i)
            for (int j = 0; j <= i; ++j)
                r.h[sz(i * R + j)] = a.h[sz(i * R + j)] * b.v + a.v * b.h[sz(i * R + j)] + a.g[sz(i)] * b.g[sz(j)] +
                                     a.g[sz(j)] * b.g[sz(i)];
    return r;
}
template <int R, bool S>
D2<R, S> operator+(const D2<R, S>& a, const D2<R, S>& b) {
    D2<R, S> r = a;
    r.v += b.v;
    for (std::size_t i = 0; i < r.g.size(); ++i) r.g[i] += b.g[i];
    for (std::size_t i = 0; i < r.h.size(); ++i) r.h[i] += b.h[i];
    return r;
}
template <int R, bool S>
D2<R, S> operator-(const D2<R, S>& a, const D2<R, S>& b) {
    D2<R, S> r = a;
    r.v -= b.v;
    for (std::size_t i = 0; i < r.g.size(); ++i) r.g[i] -= b.g[i];
    for (std::size_t i = 0; i < r.h.size(); ++i) r.h[i] -= b.h[i];
    return r;
}
// 1 / b (b.v != 0).
template <int R, bool S>
D2<R, S> inverse(const D2<R, S>& b) {
    D2<R, S> r;
    const double iv = 1.0 / b.v;
    r.v = iv;
    for (int i = 0; i < R; ++i) r.g[sz(i)] = -b.g[sz(i)] * iv * iv;
    if constexpr (S)
        for (int i = 0; i < R; ++i)
            for (int j = 0; j <= i; ++j)
                r.h[sz(i * R + j)] = -b.h[sz(i * R + j)] * iv * iv + 2.0 * b.g[sz(i)] * b.g[sz(j)] * iv * iv * iv;
    return r;
}
// a^n (n >= 0); the empty power is the constant 1, and a^n starts from a
// itself (1 a is a, so no product with the constant is formed).
template <int R, bool S>
D2<R, S> power(const D2<R, S>& a, int n) {
    if (n <= 0) return constant<R, S>(1.0);
    D2<R, S> r = a;
    for (int k = 1; k < n; ++k) r = r * a;
    return r;
}
// f a^n, f itself where the power is empty.
template <int R, bool S>
D2<R, S> times_power(const D2<R, S>& f, const D2<R, S>& a, int n) {
    return n <= 0 ? f : f * power(a, n);
}

// f of a record at ratios z (zero where a quotient has no denominator: the
// record's ions are then absent and its weight W is zero), in R of its
// ratios: R = 2 for a binary record (ratios 0, 1); R = 5 for a ternary one,
// z holding ratios 0, 1, 2 and then the two its factor tau uses (3, 4 with
// the third cation in neither set; else the side's X and its own).
template <int R, bool S>
D2<R, S> composition_factor(const QuasichemExcessTerm& t, const std::array<double, sz(R)>& z) {
    auto x = [&](int i) { return variable<R, S>(z[sz(i)], i); };
    D2<R, S> f;
    if (t.kind == 'G') {
        f = times_power(power(x(0), t.p), x(1), t.q);
    } else {
        const D2<R, S> s = x(0) + x(1);
        if (t.p + t.q > 0 && s.v == 0.0) return constant<R, S>(0.0);
        f = times_power(power(x(0), t.p), x(1), t.q) * inverse(power(s, t.p + t.q));
    }
    if constexpr (R == 2) {
        return f;
    } else {
        D2<R, S> tau;
        if (t.third == 3) {
            tau = t.r > 1 ? x(2) * power(constant<R, S>(1.0) - x(3) - x(4), t.r - 1) : x(2);
        } else {
            if (z[3] == 0.0) return constant<R, S>(0.0);
            const D2<R, S> inv = inverse(x(3));
            tau = x(2) * inv;
            if (t.r > 1) tau = tau * power(constant<R, S>(1.0) - x(4) * inv, t.r - 1);
        }
        // A G record without composition powers has f = 1: tau alone.
        if (t.kind == 'G' && t.p == 0 && t.q == 0) return tau;
        return f * tau;
    }
}

// The factor of record t at ratios y with its derivatives laid out for all
// seven ratios (the Hessian with S only).
template <int R, bool S>
D2<kRatios> factor_in(const QuasichemExcessTerm& t, const std::array<double, kRatios>& y,
                      const std::array<int, sz(R)>& at) {
    std::array<double, sz(R)> z{};
    for (int a = 0; a < R; ++a) z[sz(a)] = y[sz(at[sz(a)])];
    const D2<R, S> fr = composition_factor<R, S>(t, z);
    D2<kRatios> f;
    f.v = fr.v;
    for (int a = 0; a < R; ++a) {
        f.g[sz(at[sz(a)])] = fr.g[sz(a)];
        if constexpr (S)
            for (int b = 0; b < R; ++b) f.h[sz(at[sz(a)] * kRatios + at[sz(b)])] = fr.h[sz(a * R + b)];
    }
    return f;
}
template <bool S>
D2<kRatios> factor_of(const QuasichemExcessTerm& t, const std::array<double, kRatios>& y) {
    if (t.third == 0) return factor_in<2, S>(t, y, {{0, 1}});
    if (t.third == 3) return factor_in<5, S>(t, y, {{0, 1, 2, 3, 4}});
    return t.third == 1 ? factor_in<5, S>(t, y, {{0, 1, 2, 3, 5}}) : factor_in<5, S>(t, y, {{0, 1, 2, 4, 6}});
}

// The factor's value alone (what factor_of gives as .v), for evaluations
// without derivatives.
double factor_value(const QuasichemExcessTerm& t, const std::array<double, kRatios>& y) {
    auto pw = [](double a, int n) {
        double r = 1.0;
        for (int k = 0; k < n; ++k) r *= a;
        return r;
    };
    double f = 0.0;
    if (t.kind == 'G') {
        f = pw(y[0], t.p) * pw(y[1], t.q);
    } else {
        const double s = y[0] + y[1];
        if (t.p + t.q > 0 && s == 0.0) return 0.0;
        f = pw(y[0], t.p) * pw(y[1], t.q) * (1.0 / pw(s, t.p + t.q));
    }
    if (t.third == 0) return f;
    if (t.third == 3) return f * (y[2] * pw(1.0 - y[3] - y[4], t.r - 1));
    const std::size_t side = t.third == 1 ? 3 : 4, own = t.third == 1 ? 5 : 6;
    if (y[side] == 0.0) return 0.0;
    const double inv = 1.0 / y[side];
    return f * (y[2] * inv * pw(1.0 - y[own] * inv, t.r - 1));
}

// Scales of the ratios: the factor of a Q record is homogeneous of degree 0
// in xi_1, xi_2, and the ternary factor with the third cation on one side in
// Y_C and that side's ratios. Evaluated at ratios divided by their scale (of
// order 1), its derivatives stay finite where those ratios are traces (the
// second derivatives in the ratios themselves go as 1 / scale^2, which only
// the record's weight W, itself a trace there, brings back into range).
std::array<double, kRatios> ratio_scales(const QuasichemExcessTerm& t, const std::array<double, kRatios>& z) {
    std::array<double, kRatios> s;
    s.fill(1.0);
    if (t.kind != 'G' && z[0] + z[1] > 0.0) s[0] = s[1] = z[0] + z[1];
    if (t.third == 1 || t.third == 2) {
        const std::size_t side = t.third == 1 ? 3 : 4, own = t.third == 1 ? 5 : 6;
        if (z[side] > 0.0) s[2] = s[side] = s[own] = z[side];
    }
    return s;
}

// The term's forms dense over the K quadruplets (see QuasichemExcessTerm).
void dense_rows(QuasichemExcessTerm& t, int K) {
    std::vector<const LinearForm*> dens;
    t.den_of.clear();
    for (const LinearForm& d : t.den) {
        std::size_t j = 0;
        while (j < dens.size() && !(dens[j]->var == d.var && dens[j]->coef == d.coef)) ++j;
        if (j == dens.size()) dens.push_back(&d);
        t.den_of.push_back(static_cast<int>(j));
    }
    t.dens = static_cast<int>(dens.size());
    t.rows.assign((1 + t.num.size() + dens.size()) * sz(K), 0.0);
    auto put = [&](const LinearForm& f, std::size_t row) {
        for (std::size_t q = 0; q < f.var.size(); ++q) t.rows[row * sz(K) + sz(f.var[q])] += f.coef[q];
    };
    put(t.weight, 0);
    for (std::size_t a = 0; a < t.num.size(); ++a) put(t.num[a], 1 + a);
    for (std::size_t j = 0; j < dens.size(); ++j) put(*dens[j], 1 + t.num.size() + j);
}

// Work arrays of the excess terms, one set per thread: once grown to the
// phase's size an evaluation allocates nothing. Fetched once per
// evaluation through a call the compiler keeps out of line, so that the
// thread-local address is looked up once rather than at every use.
struct ExcessWork {
    std::vector<double> zk, gk, cz, ez, lower, form_at;  // form_at: every form at w
    std::vector<char> used;
};
[[gnu::noinline]] ExcessWork& excess_work() {
    thread_local ExcessWork work;
    return work;
}

}  // namespace

void add_symmetric(std::span<const double> lower, std::size_t K, std::span<double> hess) {
    for (std::size_t k = 0; k < K; ++k) {
        const double* src = lower.data() + k * K;
        double* row = hess.data() + k * K;
        for (std::size_t l = 0; l < k; ++l) {
            row[l] += src[l];
            hess[l * K + k] += src[l];
        }
        row[k] += src[k];
    }
}

int FlatForms::add(const LinearForm& f) {
    for (std::size_t i = 0; i < count(); ++i) {
        const auto b = first[i], e = first[i + 1];
        if (static_cast<std::size_t>(e - b) == f.var.size() && std::equal(f.var.begin(), f.var.end(), var.begin() + b) &&
            std::equal(f.coef.begin(), f.coef.end(), coef.begin() + b))
            return static_cast<int>(i);
    }
    var.insert(var.end(), f.var.begin(), f.var.end());
    coef.insert(coef.end(), f.coef.begin(), f.coef.end());
    first.push_back(static_cast<int>(var.size()));
    return static_cast<int>(count()) - 1;
}

std::vector<QuasichemExcessTerm> prepare_excess_terms(const QuasichemData& d, const std::vector<Quadruplet>& q,
                                                      FlatForms& forms) {
    const int nc = d.cations(), na = d.anions(), K = static_cast<int>(q.size());
    std::vector<QuasichemExcessTerm> out;
    auto dense = [&](auto coef) {
        LinearForm f;
        for (int k = 0; k < K; ++k) {
            const double c = coef(q[sz(k)]);
            if (c != 0.0) {
                f.var.push_back(k);
                f.coef.push_back(c);
            }
        }
        return f;
    };
    auto count = [](const Quadruplet& Q, int ion) {
        double c = 0.0;
        for (int i : Q.ion) c += i == ion ? 1.0 : 0.0;
        return c;
    };
    auto z_of = [](const Quadruplet& Q, int ion) {
        for (int p = 0; p < 4; ++p)
            if (Q.ion[sz(p)] == ion) return Q.z[sz(p)];
        return 0.0;
    };
    const LinearForm four_n = dense([](const Quadruplet&) { return 4.0; });
    for (const QuasichemTerm& r : d.terms) {
        QuasichemExcessTerm t;
        t.kind = r.kind;
        t.p = r.p;
        t.q = r.q;
        t.r = r.r;
        t.coef = r.coef;
        t.constant_factor = r.kind == 'G' && r.p == 0 && r.q == 0 && r.ternary < 0;
        const bool cation = r.ion[0] != r.ion[1];
        // Mixing ions, the common ion, and the mixing sublattice's range.
        const int i1 = cation ? r.ion[0] : r.ion[2], i2 = cation ? r.ion[1] : r.ion[3];
        const int common = cation ? r.ion[2] : r.ion[0];
        const int lo = cation ? 0 : nc, hi = cation ? nc : nc + na;
        auto group = [&](int ion) { return ion < nc ? d.cation_group[sz(ion)] : d.anion_group[sz(ion - nc)]; };
        std::vector<int> set(sz(nc + na), 0);  // 1: S1, 2: S2
        set[sz(i1)] = 1;
        set[sz(i2)] = 2;
        if (group(i1) != group(i2))
            for (int l = lo; l < hi; ++l) {
                if (l == i1 || l == i2) continue;
                bool kohler = false;
                if (cation)
                    for (const QuasichemKohler& o : d.kohler) {
                        const auto& c = o.cation;
                        const bool has = std::find(c.begin(), c.end(), i1) != c.end() &&
                                         std::find(c.begin(), c.end(), i2) != c.end() &&
                                         std::find(c.begin(), c.end(), l) != c.end();
                        kohler = kohler || (has && (o.anion < 0 || o.anion == common));
                    }
                if (kohler) continue;
                if (group(l) == group(i1)) set[sz(l)] = 1;
                if (group(l) == group(i2)) set[sz(l)] = 2;
            }
        // Positions of the mixing sublattice (0, 1 for cations; 2, 3 for
        // anions) and of the other one.
        const int m0 = cation ? 0 : 2, o0 = cation ? 2 : 0;
        // W: the quadruplets i1 i2 / common common, and those with one
        // common ion on the other sublattice weighted by the coordination
        // numbers of the common ion.
        const int ref = [&] {
            for (int k = 0; k < K; ++k) {
                const Quadruplet& Q = q[sz(k)];
                if (count(Q, i1) == 1 && count(Q, i2) == 1 && count(Q, common) == 2) return k;
            }
            return -1;
        }();
        t.weight = dense([&](const Quadruplet& Q) {
            if (count(Q, i1) != 1 || count(Q, i2) != 1) return 0.0;
            const double cc = count(Q, common);
            if (cc == 2.0) return 0.5;
            if (cc == 1.0 && ref >= 0) return z_of(q[sz(ref)], common) / (4.0 * z_of(Q, common));
            return 0.0;
        });
        // h_k: 1 when both ions of the other sublattice are the common one;
        // 1/2 with one of them (quadruplet approximation).
        auto h = [&](const Quadruplet& Q) {
            const double cc = (Q.ion[sz(o0)] == common ? 1.0 : 0.0) + (Q.ion[sz(o0 + 1)] == common ? 1.0 : 0.0);
            return cc == 2.0 ? 1.0 : (cc == 1.0 && d.quadruplet ? 0.5 : 0.0);
        };
        auto in_sets = [&](const Quadruplet& Q, int which) {
            const int a = set[sz(Q.ion[sz(m0)])], b = set[sz(Q.ion[sz(m0 + 1)])];
            if (which == 0) return a != 0 && b != 0;
            return a == which && b == which;
        };
        auto pair_with_common = [&](int ion) {
            return dense([&, ion](const Quadruplet& Q) { return count(Q, ion) * count(Q, common); });
        };
        auto xi = [&](int which) {
            return dense([&, which](const Quadruplet& Q) {
                double c = 0.0;
                for (int l = lo; l < hi; ++l)
                    if (set[sz(l)] == which) c += count(Q, l) * count(Q, common);
                return c;
            });
        };
        if (t.kind == 'G') {
            const LinearForm C0 = dense([&](const Quadruplet& Q) { return in_sets(Q, 0) ? h(Q) : 0.0; });
            t.num.push_back(dense([&](const Quadruplet& Q) { return in_sets(Q, 1) ? h(Q) : 0.0; }));
            t.num.push_back(dense([&](const Quadruplet& Q) { return in_sets(Q, 2) ? h(Q) : 0.0; }));
            t.den = {C0, C0};
        } else {
            t.num = {xi(1), xi(2)};
            t.den = {four_n, four_n};
        }
        if (r.ternary >= 0) {
            const int C = r.ternary;
            t.third = set[sz(C)] == 0 ? 3 : set[sz(C)];
            t.num.push_back(pair_with_common(C));
            t.num.push_back(xi(1));
            t.num.push_back(xi(2));
            t.num.push_back(pair_with_common(i1));
            t.num.push_back(pair_with_common(i2));
            for (int k = 0; k < 5; ++k) t.den.push_back(four_n);
        }
        dense_rows(t, K);
        t.weight_id = forms.add(t.weight);
        // A constant factor never reads its ratios: their forms are not evaluated.
        if (!t.constant_factor) {
            for (const LinearForm& f : t.num) t.num_id.push_back(forms.add(f));
            for (const LinearForm& f : t.den) t.den_id.push_back(forms.add(f));
        }
        out.push_back(std::move(t));
    }
    return out;
}

ExcessResult QuasichemModel::excess_terms(double T, std::span<const double> w, std::span<double> grad,
                                          std::span<double> hess) const {
    ExcessResult res;
    const std::size_t K = sz(layout_.variables);
    // ln T enters only through the T ln T coefficients.
    const double lnT = excess_uses_lnT_ ? std::log(T) : 0.0;
    ExcessWork& wk = excess_work();
    std::vector<double>&zk = wk.zk, &gk = wk.gk, &cz = wk.cz, &ez = wk.ez, &lower = wk.lower, &form_at = wk.form_at;
    // Every form the terms use, once.
    form_at.resize(excess_forms_.count());
    excess_forms_.values(w.data(), form_at.data());
    std::vector<char>& used = wk.used;
    bool lower_used = false;
    for (const QuasichemExcessTerm& t : terms_) {
        const double L = t.coef[0] + t.coef[1] * T + t.coef[2] * T * lnT + t.coef[3] * T * T;
        const double dL = t.coef[1] + t.coef[2] * (lnT + 1.0) + 2.0 * t.coef[3] * T;
        const double d2L = t.coef[2] / T + 2.0 * t.coef[3];
        const double W = form_at[sz(t.weight_id)];
        if (t.constant_factor) {
            // f = 1 exactly (the empty powers): no ratios, no derivatives of
            // the factor; the term adds L W_k to the gradient and nothing to
            // the Hessian.
            res.g += L * W;
            res.s -= dL * W;
            res.cp -= T * d2L * W;
            if (!grad.empty()) {
                const double* Wrow = t.rows.data();
                for (std::size_t k = 0; k < K; ++k) grad[k] += L * Wrow[k];
            }
            continue;
        }
        const int nr = static_cast<int>(t.num.size());
        std::array<double, kRatios> z{}, den{};
        for (int a = 0; a < nr; ++a) {
            den[sz(a)] = form_at[sz(t.den_id[sz(a)])];
            z[sz(a)] = den[sz(a)] > 0.0 ? form_at[sz(t.num_id[sz(a)])] / den[sz(a)] : 0.0;
        }
        const std::array<double, kRatios> scale = ratio_scales(t, z);
        std::array<double, kRatios> y{};
        for (int a = 0; a < kRatios; ++a) y[sz(a)] = z[sz(a)] / scale[sz(a)];
        if (grad.empty() && hess.empty()) {
            const double fv = factor_value(t, y);
            res.g += L * fv * W;
            res.s -= dL * fv * W;
            res.cp -= T * d2L * fv * W;
            continue;
        }
        // Derivatives in the scaled ratios y, the second ones where the Hessian is asked for.
        D2<kRatios> f = hess.empty() ? factor_of<false>(t, y) : factor_of<true>(t, y);
        for (int a = 0; a < kRatios; ++a) f.g[sz(a)] /= scale[sz(a)];
        res.g += L * f.v * W;
        res.s -= dL * f.v * W;
        res.cp -= T * d2L * f.v * W;
        const double* Wrow = t.rows.data();
        const double* dens = t.rows.data() + sz(1 + nr) * K;
        // A factor that does not move with its ratios (a record without
        // composition powers): the term is L f W, linear in N, and adds
        // nothing to the Hessian.
        const bool flat = std::all_of(f.g.begin(), f.g.end(), [](double x) { return x == 0.0; }) &&
                          (hess.empty() || std::all_of(f.h.begin(), f.h.end(), [](double x) { return x == 0.0; }));
        if (flat) {
            if (!grad.empty())
                for (std::size_t k = 0; k < K; ++k) grad[k] += L * (Wrow[k] * f.v);
            continue;
        }
        if (hess.empty()) {
            // The gradient alone: L (W_k f + W sum_a f_a dz_a/dN_k), with
            // dz_a/dN_k = (num_ak - z_a den_ak) / den_a.
            gk.assign(K, 0.0);
            for (int a = 0; a < nr; ++a) {
                const double fa = f.g[sz(a)];
                if (fa == 0.0 || !(den[sz(a)] > 0.0)) continue;
                const double* nu = t.rows.data() + sz(1 + a) * K;
                const double* de = dens + sz(t.den_of[sz(a)]) * K;
                const double za = z[sz(a)], inv = 1.0 / den[sz(a)];
                for (std::size_t k = 0; k < K; ++k) gk[k] += fa * ((nu[k] - za * de[k]) * inv);
            }
            for (std::size_t k = 0; k < K; ++k) grad[k] += L * (Wrow[k] * f.v + W * gk[k]);
            continue;
        }
        // The ratios the Hessian involves: a present denominator, and a first
        // or second derivative of f that is not zero (f's Hessian is held in
        // its lower triangle: row a before the diagonal, column a after it).
        // The others' rows and columns of C below are zero, so their rows of
        // Z are neither built nor used.
        std::array<int, kRatios> live{};
        int nl = 0;
        for (int a = 0; a < nr; ++a) {
            if (!(den[sz(a)] > 0.0)) continue;
            bool moves = f.g[sz(a)] != 0.0;
            for (int b = 0; b < kRatios && !moves; ++b)
                moves = (b <= a ? f.h[sz(a * kRatios + b)] : f.h[sz(b * kRatios + a)]) != 0.0;
            if (moves) live[sz(nl++)] = a;
        }
        // The distinct denominators of those ratios, in their order.
        std::array<int, kRatios> den_row{};
        int ndl = 0;
        for (int j = 0; j < t.dens; ++j) {
            den_row[sz(j)] = -1;
            for (int i = 0; i < nl; ++i)
                if (t.den_of[sz(live[sz(i)])] == j) den_row[sz(j)] = 1 + nl + ndl;
            if (den_row[sz(j)] >= 0) ++ndl;
        }
        // Rows Z of the term: W's coefficients, dz_a/dN_k = (num_ak - z_a den_ak) / den_a
        // of each ratio involved, then their denominators' coefficients.
        const int q = 1 + nl + ndl;
        zk.resize(sz(q) * K);  // every row is written below
        std::copy(Wrow, Wrow + K, zk.begin());
        for (int j = 0; j < t.dens; ++j)
            if (den_row[sz(j)] >= 0)
                std::copy(dens + sz(j) * K, dens + sz(j + 1) * K, zk.begin() + static_cast<std::ptrdiff_t>(sz(den_row[sz(j)]) * K));
        for (int i = 0; i < nl; ++i) {
            const int a = live[sz(i)];
            const double* nu = t.rows.data() + sz(1 + a) * K;
            const double* de = dens + sz(t.den_of[sz(a)]) * K;
            const double za = z[sz(a)], inv = 1.0 / den[sz(a)];
            double* row = zk.data() + sz(1 + i) * K;
            for (std::size_t k = 0; k < K; ++k) row[k] = (nu[k] - za * de[k]) * inv;
        }
        gk.assign(K, 0.0);  // sum_a f_a dz_a/dN_k (every ratio with f_a != 0 is involved)
        for (int i = 0; i < nl; ++i) {
            const double fa = f.g[sz(live[sz(i)])];
            if (fa == 0.0) continue;
            const double* row = zk.data() + sz(1 + i) * K;
            for (std::size_t k = 0; k < K; ++k) gk[k] += fa * row[k];
        }
        if (!grad.empty())
            for (std::size_t k = 0; k < K; ++k) grad[k] += L * (Wrow[k] * f.v + W * gk[k]);
        // The Hessian is L Z' C Z with C symmetric over the rows: C(W, z_a) = f_a,
        // C(z_a, z_b) = W f_ab, C(z_a, den_a) = -W f_a / den_a (the second
        // derivatives of the ratios, -(dz_a/dN_k den_al + dz_a/dN_l den_ak) / den_a).
        cz.assign(sz(q * q), 0.0);
        auto c = [&](int r, int s2, double v) { cz[sz(r * q + s2)] = cz[sz(s2 * q + r)] = v; };
        for (int i = 0; i < nl; ++i) {
            const int a = live[sz(i)];
            c(0, 1 + i, f.g[sz(a)]);
            c(1 + i, den_row[sz(t.den_of[sz(a)])], -W * f.g[sz(a)] / den[sz(a)]);
            for (int j = 0; j <= i; ++j) {
                const int b = live[sz(j)];
                c(1 + i, 1 + j, W * f.h[sz(a * kRatios + b)] / scale[sz(a)] / scale[sz(b)]);
            }
        }
        // M = L C Z, then the lower triangle of Z' M (rows that C leaves
        // empty skipped).
        ez.assign(sz(q) * K, 0.0);
        used.assign(sz(q), 0);
        for (int r = 0; r < q; ++r)
            for (int s2 = 0; s2 < q; ++s2) {
                const double crs = L * cz[sz(r * q + s2)];
                if (crs == 0.0) continue;
                used[sz(r)] = 1;
                add_scaled(crs, zk.data() + sz(s2) * K, ez.data() + sz(r) * K, K);
            }
        lower.resize(K * K);
        if (!lower_used) std::fill(lower.begin(), lower.end(), 0.0);
        lower_used = true;
        for (int r = 0; r < q; ++r) {
            if (!used[sz(r)]) continue;
            const double* zr = zk.data() + sz(r) * K;
            const double* mr = ez.data() + sz(r) * K;
            for (std::size_t k = 0; k < K; ++k) {
                const double zrk = zr[k];
                if (zrk == 0.0) continue;
                add_scaled(zrk, mr, lower.data() + k * K, k + 1);
            }
        }
    }
    if (lower_used) add_symmetric(lower, K, hess);
    res.h = res.g + T * res.s;
    return res;
}

// Every composition factor lies in [0, 1]: the G ratios chi = C_1 / C_0
// with C_1 part of C_0, the Q factor xi_1^p xi_2^q / (xi_1 + xi_2)^(p+q),
// and the ternary factors (Y_C, 1 - X_A - X_B, Y_C / X_side and
// 1 - X_own / X_side are all fractions of one whole); W = sum_k c_k w_k is
// at most the largest c_k of an active quadruplet (w sums to 1).
double QuasichemModel::excess_change_bound(double T1, double T2, std::span<const char> active) const {
    if (T1 == T2) return 0.0;
    auto L_over_RT = [](const std::array<double, 4>& c, double T) {
        return (c[0] + c[1] * T + c[2] * T * std::log(T) + c[3] * T * T) / (kR * T);
    };
    double sum = 0.0;
    for (const QuasichemExcessTerm& t : terms_) {
        if (t.p < 0 || t.q < 0 || t.r < 0) return std::numeric_limits<double>::infinity();
        double wmax = 0.0;
        for (std::size_t q = 0; q < t.weight.var.size(); ++q) {
            const auto k = sz(t.weight.var[q]);
            if (k >= active.size() || active[k]) wmax = std::max(wmax, std::abs(t.weight.coef[q]));
        }
        if (wmax == 0.0) continue;
        sum += wmax * std::abs(L_over_RT(t.coef, T2) - L_over_RT(t.coef, T1));
    }
    return sum;
}

}  // namespace eqcore
