#include "thermo/quasichem.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "thermo/quasichem_distribution.hpp"

namespace eqcore {

namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

int find_quad(const std::vector<Quadruplet>& q, int a, int b, int x, int y) {
    if (a > b) std::swap(a, b);
    if (x > y) std::swap(x, y);
    for (std::size_t k = 0; k < q.size(); ++k)
        if (q[k].ion == std::array<int, 4>{a, b, x, y}) return static_cast<int>(k);
    return -1;
}

// Form with dense coefficients c (skipping zeros).
LinearForm form_of(const std::vector<double>& c) {
    LinearForm f;
    for (std::size_t k = 0; k < c.size(); ++k)
        if (c[k] != 0.0) {
            f.var.push_back(static_cast<int>(k));
            f.coef.push_back(c[k]);
        }
    return f;
}

}  // namespace

std::vector<Quadruplet> quadruplets(const QuasichemData& d) {
    const int nc = d.cations(), na = d.anions();
    std::vector<Quadruplet> q;
    std::vector<std::pair<int, int>> anion_pairs, cation_pairs;
    for (int x = 0; x < na; ++x) anion_pairs.emplace_back(x, x);
    for (int y = 0; y < na; ++y)
        for (int x = 0; x < y; ++x) anion_pairs.emplace_back(x, y);
    for (int a = 0; a < nc; ++a) cation_pairs.emplace_back(a, a);
    for (int b = 0; b < nc; ++b)
        for (int a = 0; a < b; ++a) cation_pairs.emplace_back(a, b);
    for (const auto& [x, y] : anion_pairs)
        for (const auto& [a, b] : cation_pairs) {
            Quadruplet k;
            k.ion = {a, b, nc + x, nc + y};
            k.multiplicity = (a == b ? 1.0 : 2.0) * (x == y ? 1.0 : 2.0);
            q.push_back(k);
        }
    auto charge = [&](int ion) { return ion < nc ? d.cation_charge[sz(ion)] : d.anion_charge[sz(ion - nc)]; };
    for (Quadruplet& k : q) {
        const auto [A, B, X, Y] = k.ion;
        bool listed = false;
        for (const QuasichemCoordination& c : d.coordination)
            if (c.ion == k.ion) {
                k.z = c.z;
                listed = true;
            }
        if (listed) continue;
        const double qA = charge(A), qB = charge(B), qX = charge(X), qY = charge(Y);
        if (A != B && X == Y) {
            const double za = q[sz(find_quad(q, A, A, X, X))].z[0], zb = q[sz(find_quad(q, B, B, X, X))].z[0];
            const double zx = 2.0 * qX / (qA / za + qB / zb);
            k.z = {za, zb, zx, zx};
        } else if (A == B && X != Y) {
            const double zx = q[sz(find_quad(q, A, A, X, X))].z[2], zy = q[sz(find_quad(q, A, A, Y, Y))].z[2];
            const double za = 2.0 * qA / (qX / zx + qY / zy);
            k.z = {za, za, zx, zy};
        } else {
            const Quadruplet& aaxy = q[sz(find_quad(q, A, A, X, Y))];
            const Quadruplet& bbxy = q[sz(find_quad(q, B, B, X, Y))];
            const Quadruplet& abxx = q[sz(find_quad(q, A, B, X, X))];
            const Quadruplet& abyy = q[sz(find_quad(q, A, B, Y, Y))];
            const double a = aaxy.z[0], b = bbxy.z[0], x = abxx.z[2], y = abyy.z[2];
            const double F = (qA / a + qB / b + qX / x + qY / y) / 8.0;
            const double iza = F * (x / (qX * abxx.z[0]) + y / (qY * abyy.z[0]));
            const double izb = F * (x / (qX * abxx.z[1]) + y / (qY * abyy.z[1]));
            const double izx = F * (a / (qA * aaxy.z[2]) + b / (qB * bbxy.z[2]));
            const double izy = F * (a / (qA * aaxy.z[3]) + b / (qB * bbxy.z[3]));
            k.z = {1.0 / iza, 1.0 / izb, 1.0 / izx, 1.0 / izy};
        }
    }
    return q;
}

std::string quadruplet_name(const QuasichemData& d, const Quadruplet& q) {
    std::string s;
    for (int i : q.ion) {
        if (!s.empty()) s += '-';
        s += i < d.cations() ? d.cation[sz(i)] : d.anion[sz(i - d.cations())];
    }
    return s;
}

std::vector<double> ion_site_fractions(const QuasichemData& d, const std::vector<Quadruplet>& q,
                                       std::span<const double> x) {
    const int nc = d.cations(), ni = d.ions();
    std::vector<double> n(sz(ni), 0.0);
    for (std::size_t k = 0; k < q.size() && k < x.size(); ++k)
        for (int p = 0; p < 4; ++p) n[sz(q[k].ion[sz(p)])] += x[k] / q[k].z[sz(p)];
    double cat = 0.0, an = 0.0;
    for (int i = 0; i < ni; ++i) (i < nc ? cat : an) += n[sz(i)];
    for (int i = 0; i < ni; ++i) {
        const double t = i < nc ? cat : an;
        n[sz(i)] = t > 0.0 ? n[sz(i)] / t : 0.0;
    }
    return n;
}

std::vector<QuasichemExcessTerm> prepare_excess_terms(const QuasichemData& d, const std::vector<Quadruplet>& q,
                                                      FlatForms& forms);

QuasichemModel::QuasichemModel(const System& sys, int phase) : PhaseModel(sys, phase) {
    const Phase& ph = sys.phases[sz(phase)];
    if (!ph.quasichem) throw std::invalid_argument("phase " + ph.name + ": no quasichemical data");
    data_ = *ph.quasichem;
    const QuasichemData& d = data_;
    quads_ = quadruplets(d);
    const int K = static_cast<int>(quads_.size()), nc = d.cations(), na = d.anions(), ni = nc + na;
    nem_ = ph.count;
    auto charge = [&](int ion) { return ion < nc ? d.cation_charge[sz(ion)] : d.anion_charge[sz(ion - nc)]; };
    auto em = [&](int cat, int an) { return d.end_member(cat, an - nc); };
    // Weights of the end members in each quadruplet (one per pair of a
    // cation and an anion position), its standard row and volume.
    w_.assign(sz(K) * sz(nem_), 0.0);
    for (int k = 0; k < K; ++k) {
        const Quadruplet& Q = quads_[sz(k)];
        const double D = charge(Q.ion[2]) / Q.z[2] + charge(Q.ion[3]) / Q.z[3];
        for (int cp = 0; cp < 2; ++cp)
            for (int ap = 2; ap < 4; ++ap) {
                const int m = em(Q.ion[sz(cp)], Q.ion[sz(ap)]);
                w_[sz(k) * sz(nem_) + sz(m)] +=
                    charge(Q.ion[sz(ap)]) / (Q.z[sz(cp)] * Q.z[sz(ap)] * d.nu_cation[sz(m)] * D);
            }
    }
    ModelLayout& l = layout_;
    l.variables = K;
    l.row.assign(sz(K) * sz(l.elements), 0.0);
    l.volume.assign(sz(K), 0.0);
    for (int k = 0; k < K; ++k)
        for (int m = 0; m < nem_; ++m) {
            const double wk = weight(k, m);
            if (wk == 0.0) continue;
            for (int e = 0; e < l.elements; ++e) l.row[sz(k) * sz(l.elements) + sz(e)] += wk * constituents_[sz(m)].stoich[sz(e)];
            l.volume[sz(k)] += wk * constituents_[sz(m)].molar_volume;
        }
    l.group_first = {0, K};
    l.sites = {1.0};
    l.content_first.clear();
    l.content_var.clear();
    l.content_coef.clear();
    for (int m = 0; m < nem_; ++m) {
        const int a = d.em_cation[sz(m)], x = nc + d.em_anion[sz(m)];
        const int k = find_quad(quads_, a, a, x, x);
        l.content_first.push_back(m);
        l.content_var.push_back(k);
        l.content_coef.push_back(d.nu_cation[sz(m)] * quads_[sz(k)].z[0] / 2.0);
    }
    l.content_first.push_back(nem_);
    l.made_first.assign(1, 0);
    for (int k = 0; k < K; ++k) {
        for (int m = 0; m < nem_; ++m)
            if (weight(k, m) > 0.0) l.made_of.push_back(m);
        l.made_first.push_back(static_cast<int>(l.made_of.size()));
    }
    l.identity = false;
    l.ideal = false;

    // Configurational forms: sum_t s_t u_t ln u_t, every u_t linear in N.
    const double alpha = d.quadruplet ? 0.75 : 1.0, beta = d.quadruplet ? 0.5 : 1.0;
    std::vector<std::vector<double>> count(sz(ni), std::vector<double>(sz(K), 0.0));
    std::vector<std::vector<double>> amount(sz(ni), std::vector<double>(sz(K), 0.0));
    for (int k = 0; k < K; ++k)
        for (int p = 0; p < 4; ++p) {
            const int i = quads_[sz(k)].ion[sz(p)];
            count[sz(i)][sz(k)] += 1.0;
            amount[sz(i)][sz(k)] += 1.0 / quads_[sz(k)].z[sz(p)];
        }
    auto add = [&](const std::vector<double>& c, double s) {
        forms_.push_back(form_of(c));
        form_sign_.push_back(s);
    };
    std::vector<double> sub_c(sz(K), 0.0), sub_a(sz(K), 0.0);
    for (int i = 0; i < ni; ++i) {
        add(amount[sz(i)], 1.0);
        for (int k = 0; k < K; ++k) (i < nc ? sub_c : sub_a)[sz(k)] += amount[sz(i)][sz(k)];
    }
    add(sub_c, -1.0);
    add(sub_a, -1.0);
    std::vector<double> star_tot(sz(K), 0.0);
    std::vector<std::vector<double>> star_ion(sz(ni), std::vector<double>(sz(K), 0.0));
    for (int i = 0; i < nc; ++i)
        for (int j = nc; j < ni; ++j) {
            std::vector<double> pair(sz(K), 0.0), star(sz(K), 0.0);
            const double zeta = d.zeta[sz(em(i, j))];
            for (int k = 0; k < K; ++k) {
                pair[sz(k)] = count[sz(i)][sz(k)] * count[sz(j)][sz(k)];
                star[sz(k)] = pair[sz(k)] / zeta;
                star_tot[sz(k)] += star[sz(k)];
                star_ion[sz(i)][sz(k)] += star[sz(k)];
                star_ion[sz(j)][sz(k)] += star[sz(k)];
            }
            add(star, 1.0);
            add(pair, -alpha);
        }
    for (int i = 0; i < ni; ++i) {
        add(star_ion[sz(i)], -1.0);
        add(count[sz(i)], beta);
    }
    add(star_tot, 1.0);
    add(std::vector<double>(sz(K), 2.0), -2.0 * beta);
    add(std::vector<double>(sz(K), 4.0), alpha);
    for (const Quadruplet& Q : quads_) ln_mult_.push_back(std::log(Q.multiplicity));
    for (std::size_t t = 0; t < forms_.size(); ++t) {
        const LinearForm& F = forms_[t];
        std::size_t j = 0;
        double scale = 1.0;
        for (; j < dirs_.size(); ++j) {
            const LinearForm& D = dirs_[j];
            if (D.var != F.var || F.var.empty()) continue;
            scale = F.coef[0] / D.coef[0];
            bool along = scale > 0.0;
            for (std::size_t q = 0; q < F.var.size() && along; ++q)
                along = std::abs(F.coef[q] - scale * D.coef[q]) <= 1e-14 * std::abs(F.coef[q]);
            if (along) break;
        }
        if (j == dirs_.size()) {
            dirs_.push_back(F);
            dir_sign_.push_back(0.0);
            dir_const_.push_back(0.0);
            scale = 1.0;
        }
        dir_sign_[j] += form_sign_[t] * scale;
        dir_const_[j] += form_sign_[t] * scale * std::log(scale);
    }
    terms_ = prepare_excess_terms(d, quads_, excess_forms_);
    for (const QuasichemExcessTerm& t : terms_) excess_uses_lnT_ = excess_uses_lnT_ || t.coef[2] != 0.0;
}

void QuasichemModel::standard(double T, double lnT, std::span<const int> which, std::span<StandardProps> out) const {
    std::vector<StandardProps> em(sz(nem_));
    const TemperaturePowers t(T, lnT);
    for (int m = 0; m < nem_; ++m) em[sz(m)] = eqcore::standard(constituents_[sz(m)], t);
    const int n = which.empty() ? layout_.variables : static_cast<int>(which.size());
    for (int i = 0; i < n; ++i) {
        const int k = which.empty() ? i : which[sz(i)];
        StandardProps s;
        for (int m = 0; m < nem_; ++m) {
            const double wk = weight(k, m);
            if (wk == 0.0) continue;
            s.g += wk * em[sz(m)].g;
            s.h += wk * em[sz(m)].h;
            s.s += wk * em[sz(m)].s;
            s.cp += wk * em[sz(m)].cp;
            s.extrapolated = s.extrapolated || em[sz(m)].extrapolated;
        }
        out[sz(i)] = s;
    }
}

double QuasichemModel::configurational(std::span<const double> w, std::span<double> grad, std::span<double> hess) const {
    const std::size_t K = sz(layout_.variables);
    double f = 0.0;
    for (std::size_t k = 0; k < K; ++k) {
        f -= w[k] * ln_mult_[k];
        if (!grad.empty()) grad[k] -= ln_mult_[k];
    }
    // Direction by direction: u (c + s ln u), its slope c + s (ln u + 1)
    // along the direction's coefficients and its curvature s / u.
    for (std::size_t j = 0; j < dirs_.size(); ++j) {
        const LinearForm& F = dirs_[j];
        const double u = F.at(w.data());
        if (!(u > 0.0)) continue;  // every quadruplet it holds is absent
        const double s = dir_sign_[j], lu = std::log(u);
        f += u * (dir_const_[j] + s * lu);
        if (!grad.empty()) {
            const double slope = dir_const_[j] + s * (lu + 1.0);
            for (std::size_t q = 0; q < F.var.size(); ++q) grad[sz(F.var[q])] += slope * F.coef[q];
        }
        if (hess.empty() || s == 0.0) continue;
        const double kappa = s / u;
        if (F.var.size() == K) {
            // Over every quadruplet (var is 0, 1, ..., K - 1): contiguous rows.
            const double* c = F.coef.data();
            for (std::size_t a = 0; a < K; ++a) {
                const double ca = kappa * c[a];
                double* row = hess.data() + a * K;
                for (std::size_t b = 0; b < K; ++b) row[b] += ca * c[b];
            }
            continue;
        }
        for (std::size_t a = 0; a < F.var.size(); ++a) {
            const double ca = kappa * F.coef[a];
            double* row = hess.data() + sz(F.var[a]) * K;
            for (std::size_t b = 0; b < F.var.size(); ++b) row[F.var[b]] += ca * F.coef[b];
        }
    }
    return f;
}

ExcessResult QuasichemModel::excess(double T, std::span<const double> w, std::span<double> grad,
                                    std::span<double> hess, std::span<const ParameterT>) const {
    std::fill(grad.begin(), grad.end(), 0.0);
    std::fill(hess.begin(), hess.end(), 0.0);
    const double RT = kR * T;
    const double f = configurational(w, grad, hess);
    for (double& g : grad) g *= RT;
    for (double& h : hess) h *= RT;
    ExcessResult r = excess_terms(T, w, grad, hess);
    r.g += RT * f;
    r.s -= kR * f;
    return r;
}

bool QuasichemModel::internal_state(double T, std::span<const double> n, std::span<double> v,
                                    std::span<double> dmu) const {
    double total = 0.0;
    for (double x : n) total += std::abs(x);
    if (total == 0.0) {  // no amount: nothing to distribute
        std::fill(v.begin(), v.end(), 0.0);
        std::fill(dmu.begin(), dmu.end(), 0.0);
        return true;
    }
    if (!internal_equilibrium(*this, T, n, v, dmu))
        throw std::runtime_error("phase " + name_ + ": the quadruplet distribution at the given amounts was not found");
    return true;
}

void QuasichemModel::constituent_amounts(std::span<const double> v, std::span<double> n) const {
    std::fill(n.begin(), n.end(), 0.0);
    for (int k = 0; k < layout_.variables; ++k)
        for (int m = 0; m < nem_; ++m) n[sz(m)] += weight(k, m) * v[sz(k)];
}

}  // namespace eqcore
