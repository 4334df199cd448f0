#include "thermo/ionic_liquid.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>

#include "thermo/standard.hpp"

namespace eqcore {

namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

}  // namespace

IonicLiquidModel::IonicLiquidModel(const System& sys, int phase) : PhaseModel(sys, phase) {
    const Phase& ph = sys.phases[sz(phase)];
    if (!ph.ionic) throw std::invalid_argument("phase " + ph.name + ": no ionic-liquid data");
    q_ = *ph.ionic;
    nc_ = static_cast<int>(q_.cation.size());
    const int n2 = static_cast<int>(q_.site2.size());
    K_ = nc_;
    u_of_site2_.assign(sz(n2), -1);
    for (int s = 0; s < n2; ++s)
        if (s != q_.vacancy) u_of_site2_[sz(s)] = K_++;
    ++K_;  // the vacancies' charge
    if (K_ > 32)
        throw std::invalid_argument("phase " + ph.name + " (SUBI): " + std::to_string(K_ - 1) +
                                    " ions; at most 31 are supported");
    const int nr = ph.count;
    col_.assign(sz(nr), Column{});
    copies_.assign(sz(nr), 0.0);
    neutral_first_.assign(sz(nr), -1);
    for (int e = 0; e < nr; ++e) {
        const int i = q_.record_cation[sz(e)], s = q_.record_site2[sz(e)];
        const double nu_c = q_.cation_charge[sz(i)];
        Column& c = col_[sz(e)];
        if (s == q_.vacancy) {
            c = Column{2, {i, K_ - 1}, {1.0, nu_c}};
        } else if (q_.is_anion(s)) {
            c = Column{2, {i, u_of_site2_[sz(s)]}, {q_.anion_charge(s), nu_c}};
        } else {
            c = Column{1, {u_of_site2_[sz(s)], 0}, {nu_c, 0.0}};
            for (int f = 0; f < nr; ++f)
                if (q_.record_site2[sz(f)] == s) {
                    copies_[sz(e)] += 1.0;
                    if (neutral_first_[sz(e)] < 0) neutral_first_[sz(e)] = f;
                }
        }
    }
    copy_log_.assign(sz(nr), 0.0);
    for (int e = 0; e < nr; ++e)
        if (copies_[sz(e)] > 0.0) copy_log_[sz(e)] = std::log(copies_[sz(e)] * col_[sz(e)].coef[0]);
    term_first_.assign(q_.excess.size() + 1, 0);
    for (std::size_t t = 0; t < q_.excess.size(); ++t) term_first_[t + 1] = term_first_[t] + q_.excess[t].sets.size();
    layout_.ideal = false;
    layout_.redundant = true;
    // Two records of one column (a neutral's copies for cations of equal
    // charge) may be alike.
    for (int e = 0; e < nr && !layout_.alike; ++e)
        for (int f = 0; f < e && !layout_.alike; ++f) {
            const Column &a = col_[sz(e)], &b = col_[sz(f)];
            layout_.alike = a.n == b.n && a.idx[0] == b.idx[0] && a.idx[1] == b.idx[1] && a.coef[0] == b.coef[0] &&
                            a.coef[1] == b.coef[1];
        }
}

void IonicLiquidModel::ions(std::span<const double> m, std::vector<double>& u) const {
    u.assign(sz(K_), 0.0);
    for (std::size_t e = 0; e < col_.size(); ++e)
        for (int k = 0; k < col_[e].n; ++k) u[sz(col_[e].idx[k])] += col_[e].coef[k] * m[e];
}

void IonicLiquidModel::own_split(std::span<double> v) const {
    std::vector<double> u;
    ions(v, u);
    double Z = 0.0;
    for (int i = 0; i < nc_; ++i) Z += q_.cation_charge[sz(i)] * u[sz(i)];
    const double c = u[sz(K_ - 1)];
    for (std::size_t e = 0; e < col_.size(); ++e) {
        const Column& col = col_[e];
        if (copies_[e] > 0.0) {
            v[e] = u[sz(col.idx[0])] / (copies_[e] * col.coef[0]);
        } else if (col.idx[1] == K_ - 1) {
            v[e] = Z > 0.0 ? u[sz(col.idx[0])] * c / Z : 0.0;
        } else {
            v[e] = Z > 0.0 ? u[sz(col.idx[0])] * u[sz(col.idx[1])] / Z : 0.0;
        }
    }
}

bool IonicLiquidModel::floating_sites(std::span<const double> m, SiteNumbers& out) const {
    std::vector<double> u;
    ions(m, u);
    const int n2 = static_cast<int>(q_.site2.size());
    out.fraction.assign(sz(nc_ + n2), 0.0);
    out.sites.assign(2, 0.0);
    out.formula_units = 0.0;
    double& P = out.sites[0];
    double& Q = out.sites[1];
    double S1 = 0.0, Z = 0.0;
    for (int i = 0; i < nc_; ++i) {
        S1 += u[sz(i)];
        Z += q_.cation_charge[sz(i)] * u[sz(i)];
    }
    if (!(S1 > 0.0)) {
        // Neutrals only: no charge, Q taken as the mean cation charge.
        for (int i = 0; i < nc_; ++i) {
            out.fraction[sz(i)] = 1.0 / nc_;
            Q += q_.cation_charge[sz(i)] / nc_;
        }
    } else {
        for (int i = 0; i < nc_; ++i) out.fraction[sz(i)] = u[sz(i)] / S1;
        Q = Z / S1;
    }
    const double n_va = S1 > 0.0 ? u[sz(K_ - 1)] * S1 / Z : 0.0;
    double S2 = n_va;
    for (int s = 0; s < n2; ++s)
        if (s != q_.vacancy) S2 += u[sz(u_of_site2_[sz(s)])];
    if (!(S2 > 0.0)) return true;
    for (int s = 0; s < n2; ++s) {
        const double a = s == q_.vacancy ? n_va : u[sz(u_of_site2_[sz(s)])];
        out.fraction[sz(nc_ + s)] = a / S2;
        if (q_.is_anion(s)) P += q_.anion_charge(s) * a / S2;
    }
    P += Q * n_va / S2;
    out.formula_units = S2 / Q;
    return true;
}

// Record e enters the value only through its column of ion amounts, its
// copies' count and its own standard parameters (the liquid's part, its
// split mh and the neutral's first-copy energy depend on the ions alone):
// records alike in all three contribute the same terms at the same places.
int IonicLiquidModel::first_alike(int v, std::span<const ParameterT> at_T) const {
    if (at_T.size() < col_.size()) return v;
    auto same = [](double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); };
    const Column& a = col_[sz(v)];
    const ParameterT& pa = at_T[sz(v)];
    for (int f = 0; f < v; ++f) {
        const Column& b = col_[sz(f)];
        const ParameterT& pb = at_T[sz(f)];
        bool alike = a.n == b.n && copies_[sz(v)] == copies_[sz(f)] && same(copy_log_[sz(v)], copy_log_[sz(f)]) &&
                     same(pa.v, pb.v) && same(pa.d1, pb.d1) && same(pa.d2, pb.d2);
        for (int k = 0; k < a.n && alike; ++k) alike = a.idx[k] == b.idx[k] && same(a.coef[k], b.coef[k]);
        if (alike) return f;
    }
    return v;
}

std::size_t IonicLiquidModel::parameter_count() const {
    return liquid_first() + col_.size() + sz(nc_ * K_ + K_);
}

void IonicLiquidModel::parameters(double T, std::span<ParameterT> out) const {
    const TemperaturePowers at_T(T);
    for (std::size_t e = 0; e < col_.size(); ++e) {
        const StandardProps sp = eqcore::standard(constituents_[e], at_T);
        out[e] = ParameterT{sp.g, -sp.s, -sp.cp / T};
    }
    std::size_t k = col_.size();
    for (const IonicTerm& t : q_.excess)
        for (const auto& set : t.sets) out[k++] = parameter_with_derivatives(set, T);
    liquid_parameters(T, out);
}

ParameterT IonicLiquidModel::liquid_standard(int e, std::span<const ParameterT> own) const {
    const int f = neutral_first_[sz(e)];
    if (f < 0 || f == e) return own[sz(e)];
    const double r = col_[sz(e)].coef[0] / col_[sz(f)].coef[0];
    const ParameterT& o = own[sz(f)];
    return ParameterT{r * o.v, r * o.d1, r * o.d2};
}

// A neutral's energy in the liquid is its first copy's, per neutral. The
// pairs' energies sum to B / Z with B = sum a_ij u_i u_j; a neutral's copy
// has mh = u_B / (copies nu_C), its energy linear in u_B.
void IonicLiquidModel::liquid_parameters(double T, std::span<ParameterT> out) const {
    const double RT = kR * T;
    const std::size_t first = liquid_first(), a0 = first + col_.size(), l0 = a0 + sz(nc_ * K_);
    for (std::size_t i = a0; i < l0 + sz(K_); ++i) out[i] = ParameterT{0.0, 0.0, 0.0};
    for (int e = 0; e < static_cast<int>(col_.size()); ++e) {
        const Column& c = col_[sz(e)];
        const ParameterT sp = liquid_standard(e, out.first(col_.size()));
        out[first + sz(e)] = sp;
        if (copies_[sz(e)] > 0.0) {
            const double k = 1.0 / (copies_[sz(e)] * c.coef[0]);
            out[l0 + sz(c.idx[0])].v += (sp.v + RT) * k;
        } else {
            out[a0 + sz(c.idx[0] * K_ + c.idx[1])].v += sp.v + RT;
        }
    }
}

double IonicLiquidModel::excess_change_bound(double T1, double T2, std::span<const char> active) const {
    if (T1 == T2) return 0.0;
    const int nr = layout_.variables, n2 = static_cast<int>(q_.site2.size());
    auto on = [&](int e) { return sz(e) >= active.size() || active[sz(e)] != 0; };
    // Ions some active record holds (a neutral's copy holds no cation).
    std::vector<char> cation_on(sz(nc_), 0), site2_on(sz(n2), 0);
    for (int e = 0; e < nr; ++e) {
        if (!on(e)) continue;
        const int s = q_.record_site2[sz(e)];
        site2_on[sz(s)] = 1;
        if (!q_.is_neutral(s)) cation_on[sz(q_.record_cation[sz(e)])] = 1;
    }
    double nu_min = 1e300, nu_max = 0.0;
    for (double nu : q_.cation_charge) {
        nu_min = std::min(nu_min, nu);
        nu_max = std::max(nu_max, nu);
    }
    if (!(nu_min > 0.0)) return std::numeric_limits<double>::infinity();
    const double kappa = std::max({1.0, 1.0 / nu_min, nu_max / nu_min});
    auto over_RT = [](double g, double T) { return g / (kR * T); };
    double sum = 0.0;
    for (const IonicTerm& t : q_.excess) {
        bool vanishes = false;
        if (t.kind != IonicKind::c_bb)
            for (int i : t.cation) vanishes = vanishes || !cation_on[sz(i)];
        for (int s : t.site2) vanishes = vanishes || !site2_on[sz(s)];
        if (vanishes) continue;
        const bool carries_Q = t.kind == IonicKind::cc_va || t.kind == IonicKind::c_vab || t.kind == IonicKind::c_bb ||
                               t.kind == IonicKind::ccc_va || t.kind == IonicKind::c_vabb || t.kind == IonicKind::cc_vab;
        double change = 0.0;
        for (const auto& set : t.sets)
            change += std::abs(over_RT(parameter_with_derivatives(set, T2).v, T2) -
                               over_RT(parameter_with_derivatives(set, T1).v, T1));
        sum += (carries_Q ? nu_max : 1.0) * change;
    }
    // A neutral's copy e takes its first copy's energy scaled by the
    // charges in the liquid, its own in the standard part: at most mh_e <= 1
    // of the difference.
    double copies = 0.0;
    for (int e = 0; e < nr; ++e) {
        const int f = neutral_first_[sz(e)];
        if (f < 0 || f == e || !on(e)) continue;
        const double r = col_[sz(e)].coef[0] / col_[sz(f)].coef[0];
        auto diff = [&](double T) {
            const double lnT = std::log(T);
            return over_RT(r * eqcore::standard(constituents_[sz(f)], T, lnT).g -
                               eqcore::standard(constituents_[sz(e)], T, lnT).g, T);
        };
        copies = std::max(copies, std::abs(diff(T2) - diff(T1)));
    }
    return kappa * sum + copies;
}

}  // namespace eqcore
