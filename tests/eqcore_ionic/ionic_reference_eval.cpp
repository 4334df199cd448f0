#include "ionic_reference_eval.hpp"

#include <cmath>
#include <vector>

#include "thermo/jet.hpp"

namespace eqcore::testing {

namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }
using Column = IonicLiquidModel::Column;

// How the records enter the ion amounts (cations, anions and neutrals, then
// the vacancies' charge), rebuilt from the liquid's data.
struct Layout {
    IonicLiquid q;
    int nc = 0, K = 0;
    std::vector<int> u_of_site2;
    std::vector<IonicLiquidModel::Column> col;
    std::vector<double> copies;
    std::vector<int> neutral_first;
    std::vector<std::size_t> term_first;

    explicit Layout(const IonicLiquidModel& m) : q(m.data()) {
        nc = static_cast<int>(q.cation.size());
        const int n2 = static_cast<int>(q.site2.size());
        K = nc;
        u_of_site2.assign(sz(n2), -1);
        for (int s = 0; s < n2; ++s)
            if (s != q.vacancy) u_of_site2[sz(s)] = K++;
        ++K;
        const int nr = m.layout().variables;
        col.assign(sz(nr), {});
        copies.assign(sz(nr), 0.0);
        neutral_first.assign(sz(nr), -1);
        for (int e = 0; e < nr; ++e) {
            const int i = q.record_cation[sz(e)], s = q.record_site2[sz(e)];
            const double nu_c = q.cation_charge[sz(i)];
            auto& c = col[sz(e)];
            if (s == q.vacancy) {
                c = {2, {i, K - 1}, {1.0, nu_c}};
            } else if (q.is_anion(s)) {
                c = {2, {i, u_of_site2[sz(s)]}, {q.anion_charge(s), nu_c}};
            } else {
                c = {1, {u_of_site2[sz(s)], 0}, {nu_c, 0.0}};
                for (int f = 0; f < nr; ++f)
                    if (q.record_site2[sz(f)] == s) {
                        copies[sz(e)] += 1.0;
                        if (neutral_first[sz(e)] < 0) neutral_first[sz(e)] = f;
                    }
            }
        }
        term_first.assign(q.excess.size() + 1, 0);
        for (std::size_t t = 0; t < q.excess.size(); ++t) term_first[t + 1] = term_first[t] + q.excess[t].sets.size();
    }
};

template <int N>
struct ExcessSum {
    Jet<N> g;
    double dg_dT = 0.0, d2g_dT2 = 0.0;
    void add(const Jet<N>& basis, const ParameterT& L) {
        g.add_scaled(L.v, basis);
        dg_dT += L.d1 * basis.v;
        d2g_dT2 += L.d2 * basis.v;
    }
};

template <int N>
ExcessResult evaluate(const Layout& L_, double T, std::span<const double> w, std::span<double> grad,
                      std::span<double> hess, std::span<const ParameterT> at_T) {
    const IonicLiquid& q_ = L_.q;
    const int K_ = L_.K, nc_ = L_.nc;
    const auto& col_ = L_.col;
    const auto& copies_ = L_.copies;
    const auto& neutral_first_ = L_.neutral_first;
    const auto& u_of_site2_ = L_.u_of_site2;
    const auto& term_first_ = L_.term_first;
    struct { int variables; } layout_{static_cast<int>(L_.col.size())};
    auto ions = [&](std::span<const double> m, std::vector<double>& u) {
        u.assign(sz(K_), 0.0);
        for (std::size_t e = 0; e < col_.size(); ++e)
            for (int k = 0; k < col_[e].n; ++k) u[sz(col_[e].idx[k])] += col_[e].coef[k] * m[e];
    };
    using J = Jet<N>;
    const int K = K_, nr = layout_.variables, n2 = static_cast<int>(q_.site2.size());
    const int ic = K - 1;  // the vacancies' charge
    const double RT = kR * T;
    // Derivatives in the ion amounts only as far as asked for.
    const JetShape js{grad.empty() && hess.empty() ? 0 : K, !hess.empty()};
    std::vector<double> u;
    ions(w, u);

    // Ions as variables; the sums over the sublattices.
    std::vector<J> x;  // filled in order: no value-initialised jets
    x.reserve(sz(K));
    for (int a = 0; a < K; ++a) x.push_back(J::variable(js, a, u[sz(a)]));
    J S1(js, 0.0), Z(js, 0.0);
    for (int i = 0; i < nc_; ++i) {
        S1 += x[sz(i)];
        Z.add_scaled(q_.cation_charge[sz(i)], x[sz(i)]);
    }
    const bool cations = S1.v > 0.0;
    std::vector<J> y;
    y.reserve(sz(nc_ + n2));
    J Q(js, 0.0), n_va(js, 0.0), S2(js, 0.0), Nf(js, 0.0);
    if (cations) {
        const J inv_S1 = reciprocal(S1);
        for (int i = 0; i < nc_; ++i) y.push_back(x[sz(i)] * inv_S1);
        Q = Z * inv_S1;
        if (u[sz(ic)] > 0.0) n_va = x[sz(ic)] * S1 / Z;
    } else {
        // Neutrals only: every term holding a cation fraction vanishes, so
        // any fractions serve; Q their mean charge.
        double q = 0.0;
        for (int i = 0; i < nc_; ++i) q += q_.cation_charge[sz(i)] / nc_;
        for (int i = 0; i < nc_; ++i) y.push_back(J(js, 1.0 / nc_));
        Q = J(js, q);
    }
    S2 = n_va;
    for (int s = 0; s < n2; ++s)
        if (s != q_.vacancy) S2 += x[sz(u_of_site2_[sz(s)])];
    const J inv_S2 = reciprocal(S2);
    for (int s = 0; s < n2; ++s) y.push_back((s == q_.vacancy ? n_va : x[sz(u_of_site2_[sz(s)])]) * inv_S2);
    Nf = S2 / Q;
    const J& y_va = y[sz(nc_ + q_.vacancy)];

    // The liquid's split mh and its standard part; Phi = G_liq + RT sum mh.
    // The records' own standard values (G, dG/dT = -S, d2G/dT2 = -Cp/T),
    // and those the liquid takes: a neutral's energy is its first copy's,
    // per neutral.
    const std::span<const ParameterT> own = at_T.first(sz(nr));
    auto liquid_standard = [&](int e) {
        const int f = neutral_first_[sz(e)];
        if (f < 0 || f == e) return own[sz(e)];
        const double r = col_[sz(e)].coef[0] / col_[sz(f)].coef[0];
        const ParameterT& o = own[sz(f)];
        return ParameterT{r * o.v, r * o.d1, r * o.d2};
    };
    J Phi(js, 0.0);
    double F_t = 0.0, F_tt = 0.0;
    std::vector<double> mh(sz(nr), 0.0);
    const J inv_Z = cations ? reciprocal(Z) : J(js, 0.0);
    // A record of cation i and anion or vacancy j has mh = u_i u_j / Z: the
    // sum over them is sum_i u_i (sum_j (G_ij + RT) u_j) / Z, linear in
    // each cation's part; a neutral's copy has mh = u_B / (copies nu_C).
    std::vector<J> per_cation(sz(nc_), J(js, 0.0));
    for (int e = 0; e < nr; ++e) {
        const Column& c = col_[sz(e)];
        const ParameterT sp = liquid_standard(e);
        if (copies_[sz(e)] > 0.0) {
            const double k = 1.0 / (copies_[sz(e)] * c.coef[0]);
            mh[sz(e)] = k * u[sz(c.idx[0])];
            Phi.add_scaled((sp.v + RT) * k, x[sz(c.idx[0])]);
        } else if (cations) {
            mh[sz(e)] = u[sz(c.idx[0])] * u[sz(c.idx[1])] * inv_Z.v;
            per_cation[sz(c.idx[0])].add_scaled(sp.v + RT, x[sz(c.idx[1])]);
        }
        F_t += mh[sz(e)] * sp.d1;
        F_tt += mh[sz(e)] * sp.d2;
    }
    if (cations) {
        J pairs(js, 0.0);
        for (int i = 0; i < nc_; ++i) pairs += x[sz(i)] * per_cation[sz(i)];
        Phi += pairs * inv_Z;
    }

    // Configurational entropy.
    J mix(js, 0.0);
    for (int i = 0; i < nc_; ++i)
        if (u[sz(i)] > 0.0) mix += x_ln_ratio(x[sz(i)], S1);
    for (int s = 0; s < n2; ++s) {
        if (s == q_.vacancy) {
            if (n_va.v > 0.0) mix += x_ln_ratio(n_va, S2);
        } else if (u[sz(u_of_site2_[sz(s)])] > 0.0) {
            mix += x_ln_ratio(x[sz(u_of_site2_[sz(s)])], S2);
        }
    }
    Phi.add_scaled(RT, mix);
    F_t += kR * mix.v;

    // Excess terms per formula unit.
    ExcessSum<N> ex{J(js, 0.0)};
    const ParameterT* Lt = nullptr;  // the current term's coefficient sets at T
    auto yc = [&](int i) -> const J& { return y[sz(i)]; };
    auto ys = [&](int s) -> const J& { return y[sz(nc_ + s)]; };
    auto rk = [&](const IonicTerm& t, const J& base, const J& d) {
        ex.add(base, Lt[0]);
        J term = base;
        for (std::size_t v = 1; v < t.sets.size(); ++v) {
            term = term * d;
            ex.add(term, Lt[v]);
        }
    };
    auto t3 = [&](const IonicTerm& t, const J& pre, const J& a, const J& b, const J& c) {
        const J p = pre * a * b * c;
        if (t.sets.size() == 1) {
            ex.add(p, Lt[0]);
            return;
        }
        const J rest = (J(js, 1.0) - a - b - c) * (1.0 / 3.0);
        const J* arg[3] = {&a, &b, &c};
        for (std::size_t l = 0; l < 3; ++l) ex.add(p * (*arg[l] + rest), Lt[l]);
    };
    for (std::size_t ti = 0; ti < q_.excess.size(); ++ti) {
        const IonicTerm& t = q_.excess[ti];
        Lt = at_T.data() + nr + term_first_[ti];
        const auto& C = t.cation;
        const auto& S = t.site2;
        switch (t.kind) {
            case IonicKind::cc_a: rk(t, yc(C[0]) * yc(C[1]) * ys(S[0]), yc(C[0]) - yc(C[1])); break;
            case IonicKind::c_ax: rk(t, yc(C[0]) * ys(S[0]) * ys(S[1]), ys(S[0]) - ys(S[1])); break;
            case IonicKind::cc_va: rk(t, Q * yc(C[0]) * yc(C[1]) * y_va * y_va, yc(C[0]) - yc(C[1])); break;
            case IonicKind::c_vab: {
                const int b = S[0] == q_.vacancy ? S[1] : S[0];
                ex.add(Q * yc(C[0]) * y_va * ys(b), Lt[0]);
                break;
            }
            case IonicKind::c_bb: rk(t, Q * ys(S[0]) * ys(S[1]), ys(S[0]) - ys(S[1])); break;
            case IonicKind::c_axx: t3(t, yc(C[0]), ys(S[0]), ys(S[1]), ys(S[2])); break;
            case IonicKind::ccc_va:
                t3(t, Q, yc(C[0]) * y_va, yc(C[1]) * y_va, yc(C[2]) * y_va);
                break;
            case IonicKind::c_vabb: {
                const J m_i = yc(C[0]) * y_va;
                auto arg = [&](int s) { return s == q_.vacancy ? m_i : ys(s); };
                t3(t, Q, arg(S[0]), arg(S[1]), arg(S[2]));
                break;
            }
            case IonicKind::cc_ax: {
                const J base = yc(C[0]) * yc(C[1]) * ys(S[0]) * ys(S[1]);
                const J da = ys(S[0]) - ys(S[1]), dc = yc(C[0]) - yc(C[1]);
                for (std::size_t v = 0; v < t.sets.size(); ++v) {
                    const int k = static_cast<int>(v);
                    const J f = v == 0 ? J(js, 1.0) : (k % 2 == 1 ? pow(da, (k + 1) / 2) : pow(dc, k / 2));
                    ex.add(base * f, Lt[v]);
                }
                break;
            }
            case IonicKind::cc_vab: {
                const int b = S[0] == q_.vacancy ? S[1] : S[0];
                t3(t, Q, yc(C[0]) * y_va, yc(C[1]) * y_va, ys(b));
                break;
            }
        }
    }
    Phi += Nf * ex.g;
    F_t += Nf.v * ex.dg_dT;
    F_tt += Nf.v * ex.d2g_dT2;

    // Lambda = sum_e m_e ln mh_e in closed form: sum_a alpha_a ln u_a -
    // delta ln Z + constant.
    std::vector<double> alpha(sz(K), 0.0);
    double delta = 0.0, Lambda = 0.0;
    for (int e = 0; e < nr; ++e) {
        if (!(w[sz(e)] > 0.0)) continue;
        const Column& c = col_[sz(e)];
        if (copies_[sz(e)] > 0.0) {
            alpha[sz(c.idx[0])] += w[sz(e)];
            Lambda -= w[sz(e)] * std::log(copies_[sz(e)] * c.coef[0]);
        } else {
            alpha[sz(c.idx[0])] += w[sz(e)];
            alpha[sz(c.idx[1])] += w[sz(e)];
            delta += w[sz(e)];
        }
    }
    for (int a = 0; a < K; ++a)
        if (alpha[sz(a)] > 0.0) Lambda += alpha[sz(a)] * std::log(u[sz(a)]);
    if (delta > 0.0) Lambda -= delta * std::log(Z.v);
    double sum_mh = 0.0, wg = 0.0, ws = 0.0, wcp = 0.0;
    for (int e = 0; e < nr; ++e) {
        sum_mh += mh[sz(e)];
        wg += w[sz(e)] * own[sz(e)].v;
        ws -= w[sz(e)] * own[sz(e)].d1;
        wcp -= T * w[sz(e)] * own[sz(e)].d2;
    }

    ExcessResult r;
    r.g = Phi.v - wg - RT * Lambda - RT;
    const double R_t = F_t + ws + kR * (sum_mh - Lambda - 1.0);
    const double R_tt = F_tt + wcp / T;
    r.s = -R_t;
    r.h = r.g - T * R_t;
    r.cp = -T * R_tt;
    if (grad.empty() && hess.empty()) return r;

    // A record whose ions are not all present (or a vacancy record without
    // vacancies) has no derivative here: it is absent and stays so.
    std::vector<char> live(sz(nr), 1);
    for (int e = 0; e < nr; ++e)
        for (int k = 0; k < col_[sz(e)].n; ++k) live[sz(e)] = live[sz(e)] && u[sz(col_[sz(e)].idx[k])] > 0.0;
    // dLambda/du_a and d2Lambda/du_a du_b.
    auto dLam = [&](int a) {
        double d = alpha[sz(a)] > 0.0 ? alpha[sz(a)] / u[sz(a)] : 0.0;
        if (a < nc_) d -= delta * q_.cation_charge[sz(a)] / Z.v;
        return d;
    };
    auto d2Lam = [&](int a, int b) {
        double d = (a == b && alpha[sz(a)] > 0.0) ? -(alpha[sz(a)] / u[sz(a)]) / u[sz(a)] : 0.0;
        if (a < nc_ && b < nc_) d += delta * q_.cation_charge[sz(a)] * q_.cation_charge[sz(b)] / (Z.v * Z.v);
        return d;
    };
    for (int e = 0; e < nr; ++e) {
        if (grad.empty()) break;
        if (!live[sz(e)]) {
            grad[sz(e)] = 0.0;
            continue;
        }
        const Column& c = col_[sz(e)];
        double bphi = 0.0, blam = 0.0;
        for (int k = 0; k < c.n; ++k) {
            bphi += c.coef[k] * Phi.g[c.idx[k]];
            blam += c.coef[k] * dLam(c.idx[k]);
        }
        const double ln_mh = std::log(mh[sz(e)]);
        grad[sz(e)] = bphi - own[sz(e)].v - RT * (ln_mh + blam);
    }
    if (hess.empty()) return r;
    // In the ion amounts: H = d2(Phi - RT Lambda)/du2, and per record e the
    // gradient of ln mh_e; a record's Hessian entries are their images
    // along the records' columns.
    std::vector<double> H(sz(K * K)), dln_mh(sz(nr * K), 0.0);
    for (int a = 0; a < K; ++a)
        for (int b = 0; b <= a; ++b) H[sz(a * K + b)] = H[sz(b * K + a)] = Phi.hess(a, b) - RT * d2Lam(a, b);
    for (int e = 0; e < nr; ++e) {
        const Column& ce = col_[sz(e)];
        double* g = dln_mh.data() + sz(e * K);
        for (int q = 0; q < ce.n; ++q)
            if (u[sz(ce.idx[q])] > 0.0) g[ce.idx[q]] += 1.0 / u[sz(ce.idx[q])];
        if (copies_[sz(e)] == 0.0 && cations)
            for (int a = 0; a < nc_; ++a) g[a] -= q_.cation_charge[sz(a)] / Z.v;
    }
    auto dl = [&](int e, int f) {  // d(ln mh_e)/du along record f's column
        const Column& cf = col_[sz(f)];
        const double* g = dln_mh.data() + sz(e * K);
        double d = 0.0;
        for (int k = 0; k < cf.n; ++k) d += cf.coef[k] * g[cf.idx[k]];
        return d;
    };
    const auto M = sz(nr);
    for (int e = 0; e < nr; ++e) {
        for (int f = 0; f <= e; ++f) {
            double h = 0.0;
            if (live[sz(e)] && live[sz(f)]) {
                const Column& ce = col_[sz(e)];
                const Column& cf = col_[sz(f)];
                double bhb = 0.0;
                for (int k = 0; k < ce.n; ++k)
                    for (int l = 0; l < cf.n; ++l) bhb += ce.coef[k] * cf.coef[l] * H[sz(ce.idx[k] * K + cf.idx[l])];
                h = bhb + RT - RT * (dl(e, f) + dl(f, e));
            }
            hess[sz(e) * M + sz(f)] = hess[sz(f) * M + sz(e)] = h;
        }
    }
    return r;
}

}  // namespace

ExcessResult reference_ionic_excess(const IonicLiquidModel& model, double T, std::span<const double> w,
                                    std::span<double> grad, std::span<double> hess) {
    const Layout l(model);
    std::vector<ParameterT> at_T(model.parameter_count());
    model.parameters(T, at_T);
    if (l.K <= 8) return evaluate<8>(l, T, w, grad, hess, at_T);
    if (l.K <= 16) return evaluate<16>(l, T, w, grad, hess, at_T);
    return evaluate<32>(l, T, w, grad, hess, at_T);
}

Conditioning reference_conditioning(const IonicLiquidModel& model, double T, std::span<const double> w) {
    const Layout l(model);
    std::vector<double> u(sz(l.K), 0.0);
    for (std::size_t e = 0; e < l.col.size(); ++e)
        for (int k = 0; k < l.col[e].n; ++k) u[sz(l.col[e].idx[k])] += l.col[e].coef[k] * w[e];
    Conditioning c;
    double S1 = 0.0, all = 0.0;
    for (int a = 0; a < l.K; ++a) {
        all += u[sz(a)];
        if (a < l.nc) S1 += u[sz(a)];
    }
    c.cation_share = S1 / all;
    for (const auto& col : l.col) {
        double s = 0.0;
        for (int k = 0; k < col.n; ++k) {
            const double x = u[sz(col.idx[k])];
            s = x > 0.0 ? s + col.coef[k] * col.coef[k] / x : 0.0;
            if (!(x > 0.0)) break;
        }
        c.record_scale.push_back(kR * T * s);
    }
    return c;
}

}  // namespace eqcore::testing
