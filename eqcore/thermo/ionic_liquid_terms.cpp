// The excess terms are products of a few site variables each. Every term is
// written once, as a value, over a "variables" type: TermVars carries small
// fixed-size jets over just the variables the term holds (Hess for the
// Hessian, Grad for the gradient alone), ValueVars plain numbers (for values
// alone). All do the same arithmetic on the values (and Grad and Hess on the
// gradients) in the same order, so a result does not depend on which further
// derivatives were asked for. With the Hessian, a site variable and a sum or
// difference of them are Lin (no curvature), so that a product with one adds
// only the gradients' outer product, not a Hessian times a zero one.
#include "thermo/ionic_liquid_terms.hpp"

#include <cmath>
#include <stdexcept>
#include <type_traits>

namespace eqcore {

namespace {

// A value with its gradient in L variables and the first-order arithmetic
// Grad and Lin share (sums, differences, multiples), each of its own type D.
template <class D, int L>
struct FirstOrder {
    double v = 0.0;
    double g[static_cast<std::size_t>(L)] = {};

    friend D operator+(D a, const D& b) {
        a.v += b.v;
        for (int i = 0; i < L; ++i) a.g[i] += b.g[i];
        return a;
    }
    friend D operator-(D a, const D& b) {
        a.v -= b.v;
        for (int i = 0; i < L; ++i) a.g[i] -= b.g[i];
        return a;
    }
    friend D operator*(D a, double c) {
        a.v *= c;
        for (int i = 0; i < L; ++i) a.g[i] *= c;
        return a;
    }
};

// Jet's first-order arithmetic, term for term in the same order, at a size
// fixed when compiled, for evaluations that need no Hessian.
template <int L>
struct Grad : FirstOrder<Grad<L>, L> {
    using Var = Grad;  // a site variable: a Grad like any other

    Grad() = default;
    Grad(JetShape, double c) { this->v = c; }
    static Grad variable(JetShape s, int i, double x) {
        Grad r(s, x);
        r.g[i] = 1.0;
        return r;
    }
    void add_scaled(double c, const Grad& b) {
        this->v += c * b.v;
        for (int i = 0; i < L; ++i) this->g[i] += c * b.g[i];
    }
    friend Grad operator*(const Grad& a, const Grad& b) {
        Grad r;
        r.v = a.v * b.v;
        for (int i = 0; i < L; ++i) r.g[i] = a.v * b.g[i] + b.v * a.g[i];
        return r;
    }
    // a^k for an integer k >= 1.
    friend Grad pow(const Grad& a, int k) {
        Grad r;
        r.v = std::pow(a.v, k);
        const double f1 = k * std::pow(a.v, k - 1);
        for (int i = 0; i < L; ++i) r.g[i] = f1 * a.g[i];
        return r;
    }
};

template <int L>
struct Hess;

// A value with a Hessian of zero: a site variable, a constant, or a sum or
// difference of them. Its arithmetic is Grad's; a product of two is a Hess.
template <int L>
struct Lin : FirstOrder<Lin<L>, L> {
    static Lin variable(JetShape, int i, double x) {
        Lin r;
        r.v = x;
        r.g[i] = 1.0;
        return r;
    }
    friend Hess<L> operator*(const Lin& a, const Lin& b) {
        Hess<L> r;
        r.v = a.v * b.v;
        for (int i = 0; i < L; ++i) r.g[i] = a.v * b.g[i] + b.v * a.g[i];
        for (int i = 0, q = 0; i < L; ++i)
            for (int j = 0; j <= i; ++j, ++q) r.h[q] = a.g[i] * b.g[j] + a.g[j] * b.g[i];
        return r;
    }
    // a^k for an integer k >= 1.
    friend Hess<L> pow(const Lin& a, int k) {
        const double p2 = k >= 2 ? std::pow(a.v, k - 2) : 0.0;
        const double f1 = k * std::pow(a.v, k - 1), f2 = k * (k - 1) * p2;
        Hess<L> r;
        r.v = std::pow(a.v, k);
        for (int i = 0; i < L; ++i) r.g[i] = f1 * a.g[i];
        for (int i = 0, q = 0; i < L; ++i)
            for (int j = 0; j <= i; ++j, ++q) r.h[q] = f2 * a.g[i] * a.g[j];
        return r;
    }
};

// A value with its gradient and Hessian (lower triangle, packed) in L
// variables: Jet's second-order arithmetic, term for term in the same
// order, at a size fixed when compiled. Where one factor is Lin, the
// products leave out its Hessian's terms (zeros).
template <int L>
struct Hess {
    using Var = Lin<L>;
    static constexpr int P = L * (L + 1) / 2;
    double v = 0.0;
    double g[static_cast<std::size_t>(L)] = {};
    double h[static_cast<std::size_t>(P)] = {};

    Hess() = default;
    Hess(JetShape, double c) : v(c) {}
    Hess(const Lin<L>& a) : v(a.v) {  // NOLINT(google-explicit-constructor): a Lin is a Hess of zero curvature
        for (int i = 0; i < L; ++i) g[i] = a.g[i];
    }
    void add_scaled(double c, const Hess& b) {
        v += c * b.v;
        for (int i = 0; i < L; ++i) g[i] += c * b.g[i];
        for (int i = 0; i < P; ++i) h[i] += c * b.h[i];
    }
    friend Hess operator+(Hess a, const Hess& b) {
        a.v += b.v;
        for (int i = 0; i < L; ++i) a.g[i] += b.g[i];
        for (int i = 0; i < P; ++i) a.h[i] += b.h[i];
        return a;
    }
    friend Hess operator-(Hess a, const Hess& b) {
        a.v -= b.v;
        for (int i = 0; i < L; ++i) a.g[i] -= b.g[i];
        for (int i = 0; i < P; ++i) a.h[i] -= b.h[i];
        return a;
    }
    friend Hess operator*(Hess a, double c) {
        a.v *= c;
        for (int i = 0; i < L; ++i) a.g[i] *= c;
        for (int i = 0; i < P; ++i) a.h[i] *= c;
        return a;
    }
    friend Hess operator*(const Hess& a, const Hess& b) {
        Hess r;
        r.v = a.v * b.v;
        for (int i = 0; i < L; ++i) r.g[i] = a.v * b.g[i] + b.v * a.g[i];
        for (int i = 0, q = 0; i < L; ++i)
            for (int j = 0; j <= i; ++j, ++q) r.h[q] = a.v * b.h[q] + b.v * a.h[q] + a.g[i] * b.g[j] + a.g[j] * b.g[i];
        return r;
    }
    friend Hess operator*(const Hess& a, const Lin<L>& b) {
        Hess r;
        r.v = a.v * b.v;
        for (int i = 0; i < L; ++i) r.g[i] = a.v * b.g[i] + b.v * a.g[i];
        for (int i = 0, q = 0; i < L; ++i)
            for (int j = 0; j <= i; ++j, ++q) r.h[q] = b.v * a.h[q] + a.g[i] * b.g[j] + a.g[j] * b.g[i];
        return r;
    }
    friend Hess operator*(const Lin<L>& a, const Hess& b) { return b * a; }
    // a^k for an integer k >= 1.
    friend Hess pow(const Hess& a, int k) {
        const double p2 = k >= 2 ? std::pow(a.v, k - 2) : 0.0;
        const double f1 = k * std::pow(a.v, k - 1), f2 = k * (k - 1) * p2;
        Hess r;
        r.v = std::pow(a.v, k);
        for (int i = 0; i < L; ++i) r.g[i] = f1 * a.g[i];
        for (int i = 0, q = 0; i < L; ++i)
            for (int j = 0; j <= i; ++j, ++q) r.h[q] = f1 * a.h[q] + f2 * a.g[i] * a.g[j];
        return r;
    }
};

// One excess term's L site variables (at most five: Q, three cations and
// the vacancy in a ternary of cation:vacancy pairs) as the variables of
// small jets J (Hess<L> or Grad<L>); the term's coefficient sets are summed
// here and added to the site sums once.
template <class J, int L>
class TermVars {
public:
    using Value = J;
    using Var = typename J::Var;
    TermVars(const int (&z)[static_cast<std::size_t>(L)], const double* zval, JetShape shape) {
        for (int j = 0; j < L; ++j) {
            bool seen = false;
            for (int k = 0; k < j; ++k) seen = seen || z[k] == z[j];
            if (!seen) z_[n_++] = z[j];
        }
        const JetShape js{n_, shape.second};
        for (int k = 0; k < n_; ++k) var_[k] = Var::variable(js, k, zval[z_[k]]);
        sum_ = Value(js, 0.0);
    }
    const Var& operator()(int zi) const {
        for (int k = 0; k < n_; ++k)
            if (z_[k] == zi) return var_[k];
        throw std::logic_error("ionic liquid: site variable not declared for the term");
    }
    Var constant(double c) const {
        Var r;
        r.v = c;
        return r;
    }
    void add(const Value& basis, const ParameterT& c) {
        sum_.add_scaled(c.v, basis);
        t_ += c.d1 * basis.v;
        tt_ += c.d2 * basis.v;
    }
    void add_to(SiteSums& s) const {
        s.E += sum_.v;
        s.E_t += t_;
        s.E_tt += tt_;
        for (int k = 0; k < n_; ++k) s.g[z_[k]] += sum_.g[k];
        if constexpr (std::is_same_v<J, Hess<L>>) add_hessian_to(s);
    }

private:
    void add_hessian_to(SiteSums& s) const {
        // Both triangles, so that a variable listed twice adds both ways.
        for (int k = 0, q = 0; k < n_; ++k) {
            for (int l = 0; l < k; ++l, ++q) {
                s.H[z_[k] * s.nz + z_[l]] += sum_.h[q];
                s.H[z_[l] * s.nz + z_[k]] += sum_.h[q];
            }
            s.H[z_[k] * s.nz + z_[k]] += sum_.h[q++];
        }
    }

    int n_ = 0;
    int z_[static_cast<std::size_t>(L)] = {};
    Var var_[static_cast<std::size_t>(L)];
    Value sum_;
    double t_ = 0.0, tt_ = 0.0;
};

template <int L>
using HessianVars = TermVars<Hess<L>, L>;
template <int L>
using GradientVars = TermVars<Grad<L>, L>;

// The same term with plain values: the sums of TermVars without derivatives.
template <int L>
class ValueVars {
public:
    using Value = double;
    ValueVars(const int (&)[static_cast<std::size_t>(L)], const double* zval, JetShape) : z_(zval) {}
    double operator()(int zi) const { return z_[zi]; }
    double constant(double c) const { return c; }
    void add(double basis, const ParameterT& c) {
        sum_ += c.v * basis;
        t_ += c.d1 * basis;
        tt_ += c.d2 * basis;
    }
    void add_to(SiteSums& s) const {
        s.E += sum_;
        s.E_t += t_;
        s.E_tt += tt_;
    }

private:
    const double* z_;
    double sum_ = 0.0, t_ = 0.0, tt_ = 0.0;
};

double pow(double a, int k) { return std::pow(a, k); }

// The Redlich-Kister series base * sum_k L_k d^k, d = a - b (formed only
// for a series of more than one coefficient set).
template <class V, class A>
void add_series(V& v, const typename V::Value& base, const A& a, const A& b, const ParameterT* Lt, std::size_t sets) {
    v.add(base, Lt[0]);
    if (sets < 2) return;
    const auto d = a - b;
    auto term = base;
    for (std::size_t k = 1; k < sets; ++k) {
        term = term * d;
        v.add(term, Lt[k]);
    }
}

// The Muggianu ternary pre * a b c sum_l L_l (u_l + (1 - a - b - c) / 3).
template <class V, class P, class A, class B, class C>
void add_ternary(V& v, const P& pre, const A& a, const B& b, const C& c, const ParameterT* Lt, std::size_t sets) {
    const auto p = pre * a * b * c;
    if (sets == 1) {
        v.add(p, Lt[0]);
        return;
    }
    const auto rest = (v.constant(1.0) - a - b - c) * (1.0 / 3.0);
    v.add(p * (a + rest), Lt[0]);
    v.add(p * (b + rest), Lt[1]);
    v.add(p * (c + rest), Lt[2]);
}

template <template <int> class Vars>
void add_terms(const IonicLiquid& q, int nc, std::span<const std::size_t> term_first, const ParameterT* sets,
               const double* z, JetShape js, SiteSums& sums) {
    const int zQ = nc + static_cast<int>(q.site2.size());
    const int zva = nc + q.vacancy;
    auto zc = [&](int i) { return i; };
    auto zs = [&](int s) { return nc + s; };
    for (std::size_t ti = 0; ti < q.excess.size(); ++ti) {
        const IonicTerm& t = q.excess[ti];
        const ParameterT* Lt = sets + term_first[ti];
        const auto& C = t.cation;
        const auto& S = t.site2;
        const std::size_t L = t.sets.size();
        switch (t.kind) {
            case IonicKind::cc_a: {
                Vars<3> v({zc(C[0]), zc(C[1]), zs(S[0])}, z, js);
                const auto &a = v(zc(C[0])), &b = v(zc(C[1]));
                add_series(v, a * b * v(zs(S[0])), a, b, Lt, L);
                v.add_to(sums);
                break;
            }
            case IonicKind::c_ax: {
                Vars<3> v({zc(C[0]), zs(S[0]), zs(S[1])}, z, js);
                const auto &a = v(zs(S[0])), &b = v(zs(S[1]));
                add_series(v, v(zc(C[0])) * a * b, a, b, Lt, L);
                v.add_to(sums);
                break;
            }
            case IonicKind::cc_va: {
                Vars<4> v({zQ, zc(C[0]), zc(C[1]), zva}, z, js);
                const auto &a = v(zc(C[0])), &b = v(zc(C[1])), &y_va = v(zva);
                add_series(v, v(zQ) * a * b * y_va * y_va, a, b, Lt, L);
                v.add_to(sums);
                break;
            }
            case IonicKind::c_vab: {
                const int b = S[0] == q.vacancy ? S[1] : S[0];
                Vars<4> v({zQ, zc(C[0]), zva, zs(b)}, z, js);
                v.add(v(zQ) * v(zc(C[0])) * v(zva) * v(zs(b)), Lt[0]);
                v.add_to(sums);
                break;
            }
            case IonicKind::c_bb: {
                Vars<3> v({zQ, zs(S[0]), zs(S[1])}, z, js);
                const auto &a = v(zs(S[0])), &b = v(zs(S[1]));
                add_series(v, v(zQ) * a * b, a, b, Lt, L);
                v.add_to(sums);
                break;
            }
            case IonicKind::c_axx: {
                Vars<4> v({zc(C[0]), zs(S[0]), zs(S[1]), zs(S[2])}, z, js);
                add_ternary(v, v(zc(C[0])), v(zs(S[0])), v(zs(S[1])), v(zs(S[2])), Lt, L);
                v.add_to(sums);
                break;
            }
            case IonicKind::ccc_va: {
                Vars<5> v({zQ, zc(C[0]), zc(C[1]), zc(C[2]), zva}, z, js);
                const auto& y_va = v(zva);
                add_ternary(v, v(zQ), v(zc(C[0])) * y_va, v(zc(C[1])) * y_va, v(zc(C[2])) * y_va, Lt, L);
                v.add_to(sums);
                break;
            }
            case IonicKind::c_vabb: {
                Vars<5> v({zQ, zc(C[0]), zs(S[0]), zs(S[1]), zs(S[2])}, z, js);
                const auto m_i = v(zc(C[0])) * v(zva);
                auto arg = [&](int s) { return s == q.vacancy ? m_i : v(zs(s)); };
                add_ternary(v, v(zQ), arg(S[0]), arg(S[1]), arg(S[2]), Lt, L);
                v.add_to(sums);
                break;
            }
            case IonicKind::cc_ax: {
                Vars<4> v({zc(C[0]), zc(C[1]), zs(S[0]), zs(S[1])}, z, js);
                const auto &c0 = v(zc(C[0])), &c1 = v(zc(C[1])), &a0 = v(zs(S[0])), &a1 = v(zs(S[1]));
                const auto base = c0 * c1 * a0 * a1;
                const auto da = a0 - a1, dc = c0 - c1;
                for (std::size_t k = 0; k < L; ++k) {
                    const int j = static_cast<int>(k);
                    const auto f = k == 0 ? v.constant(1.0) : (j % 2 == 1 ? pow(da, (j + 1) / 2) : pow(dc, j / 2));
                    v.add(base * f, Lt[k]);
                }
                v.add_to(sums);
                break;
            }
            case IonicKind::cc_vab: {
                const int b = S[0] == q.vacancy ? S[1] : S[0];
                Vars<5> v({zQ, zc(C[0]), zc(C[1]), zva, zs(b)}, z, js);
                const auto& y_va = v(zva);
                add_ternary(v, v(zQ), v(zc(C[0])) * y_va, v(zc(C[1])) * y_va, v(zs(b)), Lt, L);
                v.add_to(sums);
                break;
            }
        }
    }
}

}  // namespace

void add_ionic_terms(const IonicLiquid& q, int nc, std::span<const std::size_t> term_first, const ParameterT* sets,
                     const double* z, JetShape shape, SiteSums& sums) {
    if (shape.K == 0)
        add_terms<ValueVars>(q, nc, term_first, sets, z, shape, sums);
    else if (!shape.second)
        add_terms<GradientVars>(q, nc, term_first, sets, z, shape, sums);
    else
        add_terms<HessianVars>(q, nc, term_first, sets, z, shape, sums);
}

}  // namespace eqcore
