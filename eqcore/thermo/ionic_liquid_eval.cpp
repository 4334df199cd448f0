// The ionic liquid's Gibbs energy at record amounts m with its exact
// derivatives, built in three layers so that every part is differentiated
// where it is simple:
//   ion amounts u   (cations x_C, anions and neutrals, the vacancies' charge c)
//   site amounts n  (the same, with the vacancy amount n_Va = c S1 / Z in place of c)
//   site variables z (cation fractions y_C = x_C / S1, second-sublattice fractions
//                     y_s = n_s / S2, Q = Z / S1 and the formula units N_f = S2 / Q),
// S1 = sum x_C, Z = sum nu_C x_C, S2 = sum n_s. The excess terms are products
// of a few site variables each, summed in the site variables
// (ionic_liquid_terms.cpp), and the sums are carried to n and then to u by
// the chain rule once, with the closed-form derivatives of z(n) and
// n_Va(u). The entropy of mixing is differentiated in n, the records' pair
// energies sum_{C,j} a_Cj x_C u_j / Z in u, both in closed form.
#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "thermo/ionic_liquid.hpp"
#include "thermo/ionic_liquid_terms.hpp"
#include "thermo/scratch.hpp"

namespace eqcore {

namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

}  // namespace

ExcessResult IonicLiquidModel::excess(double T, std::span<const double> w, std::span<double> grad,
                                      std::span<double> hess, std::span<const ParameterT> at_T) const {
    const auto m = sz(layout_.variables);
    if (w.size() != m || (!grad.empty() && grad.size() != m) || (!hess.empty() && hess.size() != m * m))
        throw std::invalid_argument("excess: array sizes do not match the phase " + name_);
    if (!at_T.empty() && at_T.size() != parameter_count())
        throw std::invalid_argument("excess: parameter list does not match the phase " + name_);
    ScratchArray<ParameterT> own(at_T.empty() ? parameter_count() : 0);
    if (at_T.empty()) {
        parameters(T, own.span());
        at_T = own.span();
    }
    if (K_ <= 8) return evaluate<8>(T, w, grad, hess, at_T);
    if (K_ <= 16) return evaluate<16>(T, w, grad, hess, at_T);
    return evaluate<32>(T, w, grad, hess, at_T);
}

template <int N>
ExcessResult IonicLiquidModel::evaluate(double T, std::span<const double> w, std::span<double> grad,
                                        std::span<double> hess, std::span<const ParameterT> at_T) const {
    const int K = K_, nr = layout_.variables, n2 = static_cast<int>(q_.site2.size());
    const int ic = K - 1;  // the vacancies' charge in u, the vacancy amount in n
    const double RT = kR * T;
    const bool first = !grad.empty() || !hess.empty(), second = !hess.empty();
    const std::span<const ParameterT> own = at_T.first(sz(nr));
    constexpr std::size_t n1 = static_cast<std::size_t>(N), n2z = n1 + 2;  // array capacities

    // Ion amounts.
    double u[n1] = {};
    for (std::size_t e = 0; e < col_.size(); ++e)
        for (int k = 0; k < col_[e].n; ++k) u[col_[e].idx[k]] += col_[e].coef[k] * w[e];
    const double* nu = q_.cation_charge.data();
    double S1 = 0.0, Z = 0.0;
    for (int i = 0; i < nc_; ++i) {
        S1 += u[i];
        Z += nu[i] * u[i];
    }
    const bool cations = S1 > 0.0;
    const bool vac = cations && u[ic] > 0.0;  // vacancies present
    // Site amounts: n_s at its ion's place, the vacancy at ic.
    int n_idx[n1];
    for (int s = 0; s < n2; ++s) n_idx[s] = s == q_.vacancy ? ic : u_of_site2_[sz(s)];
    auto n_of = [&](int s) { return n_idx[s]; };
    double n[n1];
    std::copy(u, u + K, n);
    const double W = cations ? S1 / Z : 0.0;  // 1/Q
    n[ic] = vac ? u[ic] * S1 / Z : 0.0;

    // Site variables: cations at i, second sublattice at nc + s, then Q, N_f.
    const int zQ = nc_ + n2, zN = zQ + 1, nz = zN + 1;
    double z[n2z];
    double Q = 0.0;
    if (cations) {
        for (int i = 0; i < nc_; ++i) z[i] = u[i] / S1;
        Q = Z / S1;
    } else {
        // Neutrals only: every term holding a cation fraction vanishes, so
        // any fractions serve; Q their mean charge.
        for (int i = 0; i < nc_; ++i) {
            z[i] = 1.0 / nc_;
            Q += nu[i] / nc_;
        }
    }
    double S2 = 0.0;
    for (int s = 0; s < n2; ++s) S2 += n[n_of(s)];
    for (int s = 0; s < n2; ++s) z[nc_ + s] = n[n_of(s)] / S2;
    const double Nf = S2 / Q;
    z[zQ] = Q;
    z[zN] = Nf;

    // The excess terms per formula unit, in the site variables.
    double gz[n2z] = {};
    double Hz[n2z * n2z];
    if (second) std::fill(Hz, Hz + nz * nz, 0.0);
    SiteSums sums{0.0, 0.0, 0.0, gz, Hz, nz};
    const JetShape js{first ? 1 : 0, second};
    add_ionic_terms(q_, nc_, term_first_, at_T.data() + nr, z, js, sums);
    const double E = sums.E;

    // The liquid's split mh and its standard part; Phi = G_liq + RT sum mh.
    // Pairs: a record of cation i and anion or vacancy j has mh = u_i u_j / Z,
    // a neutral's copy mh = u_B / (copies nu_C). The records' liquid standard
    // parameters, the pair energies a_ij (cation i by ion variable j) and the
    // linear coefficients come with the parameters at T (liquid_parameters).
    const ParameterT* liq = at_T.data() + liquid_first();
    const ParameterT* Ap = liq + nr;
    const ParameterT* linp = Ap + nc_ * K;
    double F_t = 0.0, F_tt = 0.0;
    ScratchArray<double> mh_(sz(nr));
    std::span<double> mh = mh_.span();
    for (int e = 0; e < nr; ++e) {
        const Column& c = col_[sz(e)];
        if (copies_[sz(e)] > 0.0) {
            mh[sz(e)] = 1.0 / (copies_[sz(e)] * c.coef[0]) * u[c.idx[0]];
        } else if (cations) {
            mh[sz(e)] = u[c.idx[0]] * u[c.idx[1]] * (1.0 / Z);
        }
        F_t += mh[sz(e)] * liq[e].d1;
        F_tt += mh[sz(e)] * liq[e].d2;
    }
    auto A = [&](int i, int j) { return cations ? Ap[i * K + j].v : 0.0; };
    auto lin = [&](int a) { return linp[a].v; };
    double pB[n1] = {};  // dB/du
    double B = 0.0;
    if (cations)
        for (int i = 0; i < nc_; ++i)
            for (int j = nc_; j < K; ++j) {
                const double a = A(i, j);
                if (a == 0.0) continue;
                B += a * u[i] * u[j];
                pB[i] += a * u[j];
                pB[j] += a * u[i];
            }
    double Phi = (cations ? B / Z : 0.0) + Nf * E;
    for (int a = 0; a < K; ++a) Phi += lin(a) * u[a];

    // The logarithms shared by the value and the gradient: ln u of every ion
    // present, ln Z, ln S1 and ln S2 (ln n = ln u but for the vacancy amount,
    // ln n_Va = ln c + ln S1 - ln Z).
    double lnu[n1];
    for (int a = 0; a < K; ++a) lnu[a] = u[a] > 0.0 ? std::log(u[a]) : 0.0;
    const double lnZ = cations ? std::log(Z) : 0.0, lnS1 = cations ? std::log(S1) : 0.0;
    const double lnS2 = S2 > 0.0 ? std::log(S2) : 0.0;

    // Configurational entropy in the site amounts: sum x ln(x / S) per sublattice.
    // lnf: each present site amount's ln of its fraction on its sublattice.
    double mix = 0.0;
    double lnf[n1];
    for (int i = 0; i < nc_; ++i)
        if (u[i] > 0.0) {
            lnf[i] = lnu[i] - lnS1;
            mix += n[i] * lnf[i];
        }
    for (int s = 0; s < n2; ++s) {
        const int k = n_of(s);
        const double a = n[k];
        if (a > 0.0) {
            lnf[k] = (k == ic ? lnu[ic] + lnS1 - lnZ : lnu[k]) - lnS2;
            mix += a * lnf[k];
        }
    }
    Phi += RT * mix;
    F_t += kR * mix + Nf * sums.E_t;
    F_tt += Nf * sums.E_tt;

    // Lambda = sum_e m_e ln mh_e in closed form: sum_a alpha_a ln u_a -
    // delta ln Z + constant.
    double alpha[n1] = {};
    double delta = 0.0, Lambda = 0.0;
    for (int e = 0; e < nr; ++e) {
        if (!(w[sz(e)] > 0.0)) continue;
        const Column& c = col_[sz(e)];
        if (copies_[sz(e)] > 0.0) {
            alpha[c.idx[0]] += w[sz(e)];
            Lambda -= w[sz(e)] * copy_log_[sz(e)];
        } else {
            alpha[c.idx[0]] += w[sz(e)];
            alpha[c.idx[1]] += w[sz(e)];
            delta += w[sz(e)];
        }
    }
    for (int a = 0; a < K; ++a)
        if (alpha[a] > 0.0) Lambda += alpha[a] * lnu[a];
    if (delta > 0.0) Lambda -= delta * lnZ;
    double sum_mh = 0.0, wg = 0.0, ws = 0.0, wcp = 0.0;
    for (int e = 0; e < nr; ++e) {
        sum_mh += mh[sz(e)];
        wg += w[sz(e)] * own[sz(e)].v;
        ws -= w[sz(e)] * own[sz(e)].d1;
        wcp -= T * w[sz(e)] * own[sz(e)].d2;
    }

    ExcessResult r;
    r.g = Phi - wg - RT * Lambda - RT;
    const double R_t = F_t + ws + kR * (sum_mh - Lambda - 1.0);
    const double R_tt = F_tt + wcp / T;
    r.s = -R_t;
    r.h = r.g - T * R_t;
    r.cp = -T * R_tt;
    if (!first) return r;

    // N_f E in the site variables: gradient N_f g_E + E e_N, Hessian
    // N_f H_E + e_N g_E^T + g_E e_N^T.
    if (second) {
        for (int k = 0; k < nz * nz; ++k) Hz[k] *= Nf;
        for (int k = 0; k < nz; ++k) Hz[k * nz + zN] = Hz[zN * nz + k] = gz[k];
        Hz[zN * nz + zN] = 0.0;
    }
    for (int k = 0; k < nz; ++k) gz[k] *= Nf;
    gz[zN] = E;

    // dz/dn, applied in closed form as J^T v for vectors v over the site
    // variables: dy_C/dx_a = (delta_Ca - y_C) / S1, dQ/dx_a = (nu_a - Q) / S1,
    // dy_s/dn_t = (delta_st - y_s) / S2, dN_f/dx_a = S2 (1 - W nu_a) / Z,
    // dN_f/dn_t = 1/Q (W = 1/Q, constant without cations).
    const double dW_base = cations ? 1.0 / Z : 0.0;  // dW/dx_a = (1 - W nu_a) / Z
    const double Winv = cations ? W : 1.0 / Q;        // dN_f/dS2
    double JN[n1] = {};
    for (int a = 0; a < nc_; ++a) JN[a] = S2 * (1.0 - W * nu[a]) * dW_base;
    // Every entry of out (entry a at out[a stride]) is written: the cations
    // (zero without cations), each second-sublattice amount, and c (zero
    // where no species is the vacancy).
    auto pull = [&](const double* v, double* out, int stride) {
        if (q_.vacancy < 0) out[ic * stride] = 0.0;
        if (cations) {
            double vy = 0.0;
            for (int i = 0; i < nc_; ++i) vy += v[i] * z[i];
            for (int a = 0; a < nc_; ++a) out[a * stride] = (v[a] - vy + v[zQ] * (nu[a] - Q)) / S1 + v[zN] * JN[a];
        } else {
            for (int a = 0; a < nc_; ++a) out[a * stride] = 0.0;
        }
        double vs = 0.0;
        for (int s = 0; s < n2; ++s) vs += v[nc_ + s] * z[nc_ + s];
        for (int t = 0; t < n2; ++t) out[n_of(t) * stride] = (v[nc_ + t] - vs) / S2 + v[zN] * Winv;
    };
    double gn[n1];
    pull(gz, gn, 1);
    for (int i = 0; i < nc_; ++i)
        if (u[i] > 0.0) gn[i] += RT * lnf[i];
    for (int s = 0; s < n2; ++s) {
        const double a = n[n_of(s)];
        if (a > 0.0) gn[n_of(s)] += RT * lnf[n_of(s)];
    }

    // dn_Va/du: on the cations and c.
    double dva[n1] = {};
    if (vac) {
        for (int a = 0; a < nc_; ++a) dva[a] = u[ic] * (1.0 - W * nu[a]) / Z;
        dva[ic] = W;
    }
    // The liquid's gradient in u: the site part through n_Va, the pairs and
    // the linear part.
    double gu[n1];
    for (int a = 0; a < K; ++a) gu[a] = (a == ic ? 0.0 : gn[a]) + gn[ic] * dva[a] + lin(a);
    if (cations) {
        const double BZ = B / Z;
        for (int a = 0; a < K; ++a) gu[a] += (pB[a] - (a < nc_ ? BZ * nu[a] : 0.0)) / Z;
    }

    // The records' gradient.
    // A record whose ions are not all present (or a vacancy record without
    // vacancies) has no derivative here: it is absent and stays so.
    ScratchArray<char> live_(sz(nr));
    std::span<char> live = live_.span();
    for (int e = 0; e < nr; ++e) {
        live[sz(e)] = 1;
        for (int k = 0; k < col_[sz(e)].n; ++k) live[sz(e)] = live[sz(e)] && u[col_[sz(e)].idx[k]] > 0.0;
    }
    // dLambda/du_a, once per ion.
    double dlam[n1];
    for (int a = 0; a < K; ++a) {
        double d = alpha[a] > 0.0 ? alpha[a] / u[a] : 0.0;
        if (a < nc_) d -= delta * nu[a] / Z;
        dlam[a] = d;
    }
    for (int e = 0; e < nr; ++e) {
        if (grad.empty()) break;
        if (!live[sz(e)]) {
            grad[sz(e)] = 0.0;
            continue;
        }
        const Column& c = col_[sz(e)];
        double bphi = 0.0, blam = 0.0;
        for (int k = 0; k < c.n; ++k) {
            bphi += c.coef[k] * gu[c.idx[k]];
            blam += c.coef[k] * dlam[c.idx[k]];
        }
        // ln mh_e: ln u_i + ln u_j - ln Z for a pair, ln u_B - ln(copies nu_C) for a neutral's copy.
        const double ln_mh = copies_[sz(e)] > 0.0 ? lnu[c.idx[0]] - copy_log_[sz(e)] : lnu[c.idx[0]] + lnu[c.idx[1]] - lnZ;
        grad[sz(e)] = bphi - own[sz(e)].v - RT * (ln_mh + blam);
    }
    if (!second) return r;

    // Hessian in n: J^T H_z J, the site variables' own second derivatives
    // weighted by their gradient, and the entropy of mixing.
    // J^T H_z J: H_z J column by column of H_z (H_z is symmetric), then J^T
    // of each of its columns.
    // Each pull writes a column in place (of Hn both triangles: the upper
    // one is overwritten from the lower below).
    double Tm[n1 * n2z];  // Tm[b * nz + k] = (H_z J)_kb
    double Hn[n1 * n1];
    for (int k = 0; k < nz; ++k) pull(Hz + k * nz, Tm + k, nz);
    for (int b = 0; b < K; ++b) pull(Tm + b * nz, Hn + b, K);
    if (cations) {
        // y_C and Q: (2 sum_i y_i g~_i - g~_a - g~_b) / S1^2 with g~_a = g_a + g_Q nu_a;
        // N_f = S2 W: S2 (2 W nu_a nu_b - nu_a - nu_b) / Z^2 between cations,
        // (1 - W nu_a) / Z between a cation and a second-sublattice amount.
        double gt[n1], gbar = 0.0;
        for (int a = 0; a < nc_; ++a) {
            gt[a] = gz[a] + gz[zQ] * nu[a];
            gbar += z[a] * gt[a];
        }
        for (int a = 0; a < nc_; ++a)
            for (int b = 0; b <= a; ++b)
                Hn[a * K + b] += (2.0 * gbar - gt[a] - gt[b]) / (S1 * S1) +
                                 gz[zN] * S2 * (2.0 * W * nu[a] * nu[b] - nu[a] - nu[b]) / (Z * Z);
        for (int t = 0; t < n2; ++t) {
            const int b = n_of(t);
            for (int a = 0; a < nc_; ++a) {
                const int hi = std::max(a, b), lo = std::min(a, b);
                Hn[hi * K + lo] += gz[zN] * (1.0 - W * nu[a]) * dW_base;
            }
        }
    }
    {
        double gbar = 0.0;
        for (int s = 0; s < n2; ++s) gbar += z[nc_ + s] * gz[nc_ + s];
        for (int s = 0; s < n2; ++s)
            for (int t = 0; t < n2; ++t) {
                const int a = n_of(s), b = n_of(t);
                if (a < b) continue;
                Hn[a * K + b] += (2.0 * gbar - gz[nc_ + s] - gz[nc_ + t]) / (S2 * S2);
            }
    }
    for (int a = 0; a < nc_; ++a)
        for (int b = 0; b <= a; ++b)
            if (u[a] > 0.0 && u[b] > 0.0) Hn[a * K + b] += RT * ((a == b ? 1.0 / n[a] : 0.0) - 1.0 / S1);
    for (int s = 0; s < n2; ++s)
        for (int t = 0; t < n2; ++t) {
            const int a = n_of(s), b = n_of(t);
            if (a < b || !(n[a] > 0.0) || !(n[b] > 0.0)) continue;
            Hn[a * K + b] += RT * ((a == b ? 1.0 / n[a] : 0.0) - 1.0 / S2);
        }
    for (int a = 0; a < K; ++a)
        for (int b = 0; b < a; ++b) Hn[b * K + a] = Hn[a * K + b];

    // Hessian in u: n = u except n_Va(u), so H_u = J_n^T H_n J_n + g_Va d2n_Va,
    // with J_n's column a = e_a (not c) + dva_a e_Va; then the pairs' B / Z
    // and the split term's -RT d2Lambda.
    const double iZ = cations ? 1.0 / Z : 0.0, iZ2 = iZ * iZ, iZ3 = iZ2 * iZ;
    const double* Hva = Hn + ic * K;  // row of the vacancy amount
    double H[n1 * n1];
    for (int a = 0; a < K; ++a) {
        const double ka = a == ic ? 0.0 : 1.0;
        for (int b = 0; b <= a; ++b) {
            const double kb = b == ic ? 0.0 : 1.0;
            double h = ka * kb * Hn[a * K + b] + ka * dva[b] * Hn[a * K + ic] + kb * dva[a] * Hva[b] +
                       dva[a] * dva[b] * Hva[ic];
            if (vac) {
                // d2 n_Va: c (2 W nu_a nu_b - nu_a - nu_b) / Z^2 between cations,
                // (1 - W nu_a) / Z between a cation and c.
                if (a < nc_ && b < nc_)
                    h += gn[ic] * u[ic] * (2.0 * W * nu[a] * nu[b] - nu[a] - nu[b]) * iZ2;
                else if (a == ic && b < nc_)
                    h += gn[ic] * (1.0 - W * nu[b]) * iZ;
            }
            // B / Z: d2B / Z - (dB nu^T + nu dB^T) / Z^2 + 2 B nu nu^T / Z^3.
            const double na = a < nc_ ? nu[a] : 0.0, nb = b < nc_ ? nu[b] : 0.0;
            const double d2B = b < nc_ && a >= nc_ ? A(b, a) : 0.0;  // b <= a: a cation first only as b
            h += d2B * iZ - (pB[a] * nb + na * pB[b]) * iZ2 + 2.0 * B * na * nb * iZ3;
            // -RT d2Lambda: alpha_a / u_a^2 on the diagonal, -delta nu_a nu_b / Z^2 between cations.
            if (a == b && alpha[a] > 0.0) h += RT * (alpha[a] / u[a]) / u[a];
            h -= RT * delta * na * nb * iZ2;
            H[a * K + b] = H[b * K + a] = h;
        }
    }

    // A record's Hessian entries are the images of H along the records'
    // columns, with the split term's RT (1 - d ln mh_e - d ln mh_f): along
    // column f, ln mh_e changes by coef_f(a) / u_a at each ion a of e, less
    // (for a pair e) the change of ln Z along f, rZ_f. Per record e,
    // row_e = H c_e - RT [a in e] / u_a and own_e = -RT [a in e] c_e(a) / u_a
    // carry all of it but the changes of ln Z.
    ScratchArray<double, 256> row_(sz(nr * K)), own_(sz(nr * K));
    ScratchArray<double> rZ_(sz(nr)), pair_(sz(nr));
    std::span<double> rows = row_.span(), owns = own_.span(), rZ = rZ_.span(), pair = pair_.span();
    for (int e = 0; e < nr; ++e) {
        const Column& ce = col_[sz(e)];
        if (!live[sz(e)]) continue;
        pair[sz(e)] = copies_[sz(e)] == 0.0 ? RT : 0.0;
        double* row = rows.data() + sz(e * K);
        double* ow = owns.data() + sz(e * K);
        for (int k = 0; k < ce.n; ++k) {
            const int a = ce.idx[k];
            const double ck = ce.coef[k];
            const double* Ha = H + a * K;
            if (k == 0)
                for (int b = 0; b < K; ++b) row[b] = ck * Ha[b];
            else
                for (int b = 0; b < K; ++b) row[b] += ck * Ha[b];
            row[a] -= RT / u[a];
            ow[a] -= RT * ck / u[a];
            if (a < nc_) rZ[sz(e)] += ck * nu[a] / Z;
        }
    }
    const auto M = sz(nr);
    for (int e = 0; e < nr; ++e) {
        double* out = hess.data() + sz(e) * M;
        if (!live[sz(e)]) {
            for (int f = 0; f <= e; ++f) out[f] = hess[sz(f) * M + sz(e)] = 0.0;
            continue;
        }
        const double* row = rows.data() + sz(e * K);
        const double* ow = owns.data() + sz(e * K);
        const double pair_e = pair[sz(e)], rZ_e = rZ[sz(e)];
        for (int f = 0; f <= e; ++f) {
            double h = 0.0;
            if (live[sz(f)]) {
                const Column& cf = col_[sz(f)];
                h = RT + pair_e * rZ[sz(f)] + pair[sz(f)] * rZ_e;
                h += cf.coef[0] * row[cf.idx[0]] + ow[cf.idx[0]];
                if (cf.n == 2) h += cf.coef[1] * row[cf.idx[1]] + ow[cf.idx[1]];
            }
            out[f] = hess[sz(f) * M + sz(e)] = h;
        }
    }
    return r;
}

template ExcessResult IonicLiquidModel::evaluate<8>(double, std::span<const double>, std::span<double>,
                                                    std::span<double>, std::span<const ParameterT>) const;
template ExcessResult IonicLiquidModel::evaluate<16>(double, std::span<const double>, std::span<double>,
                                                     std::span<double>, std::span<const ParameterT>) const;
template ExcessResult IonicLiquidModel::evaluate<32>(double, std::span<const double>, std::span<double>,
                                                     std::span<double>, std::span<const ParameterT>) const;

}  // namespace eqcore
