#include "reciprocal_model.hpp"

#include <cmath>

#include "thermo/excess.hpp"
#include "thermo/site_fractions.hpp"

namespace eqcore::testing {

namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

Constituent constituent(const std::string& name, int phase, std::array<double, 3> stoich, const Gabc& g) {
    Constituent c;
    c.name = name;
    c.phase = phase;
    c.stoich.assign(stoich.begin(), stoich.end());
    GibbsRange r;
    r.tmax = 6000.0;
    r.coef = {g.a, g.b, g.c, 0.0, 0.0, 0.0};
    c.ranges.push_back(r);
    return c;
}

void add_phase(System& sys, const std::string& name, const std::string& code, Model model,
               const std::vector<Constituent>& members) {
    Phase p;
    p.name = name;
    p.model_code = code;
    p.model = model;
    p.first = static_cast<int>(sys.constituents.size());
    p.count = static_cast<int>(members.size());
    const int index = sys.phase_count();
    for (Constituent c : members) {
        c.phase = index;
        sys.constituents.push_back(c);
    }
    sys.phases.push_back(p);
}

}  // namespace

System reciprocal_system(const ReciprocalData& d, const std::vector<Gabc>& gas, const std::vector<std::string>& copies,
                         const std::vector<Solid>& solids) {
    System sys;
    sys.title = "two-sublattice test system";
    sys.elements = {{"A", 50.0}, {"B", 60.0}, {"C", 12.0}};
    if (!gas.empty()) {
        std::vector<Constituent> species;
        for (std::size_t i = 0; i < gas.size(); ++i) {
            std::string name = "C";
            if (i > 0) name += std::to_string(i + 1);
            species.push_back(constituent(name, 0, {0, 0, static_cast<double>(i + 1)}, gas[i]));
        }
        add_phase(sys, "GAS", "IDMX", Model::ideal_gas, species);
    }
    for (const std::string& name : copies)
        add_phase(sys, name, "IDMX", Model::idmx,
                  {constituent("A:C", 0, {d.a1, 0, d.a2}, d.end_member[0]), constituent("A:Va", 0, {d.a1, 0, 0}, d.end_member[1]),
                   constituent("B:C", 0, {0, d.a1, d.a2}, d.end_member[2]), constituent("B:Va", 0, {0, d.a1, 0}, d.end_member[3])});
    for (const Solid& s : solids) add_phase(sys, s.name, "PURE", Model::pure, {constituent(s.name, 0, s.stoich, s.g)});
    return sys;
}

ReciprocalModel::ReciprocalModel(const System& sys, int phase, const ReciprocalData& d) : PhaseModel(sys, phase), d_(d) {
    ModelLayout& l = layout_;
    l.variables = 4;
    l.row.assign(4 * sz(l.elements), 0.0);
    l.row[sz(kA * l.elements + 0)] = 1.0;
    l.row[sz(kB * l.elements + 1)] = 1.0;
    l.row[sz(kC * l.elements + 2)] = 1.0;
    l.volume.assign(4, 0.0);
    l.group_first = {0, 2, 4};
    l.sites = {d.a1, d.a2};
    l.content_first = {0, 2, 4, 6, 8};
    l.content_var = {kA, kC, kA, kVa, kB, kC, kB, kVa};
    l.content_coef = {d.a1, d.a2, d.a1, d.a2, d.a1, d.a2, d.a1, d.a2};
    l.identity = false;
    l.ideal = d.ideal;
}

void ReciprocalModel::standard(double T, double lnT, std::span<const int> which, std::span<StandardProps> out) const {
    std::array<StandardProps, 4> em{}, site{};
    constituent_standard(T, lnT, em);
    auto combine = [](const StandardProps& p, double fp, const StandardProps& q, double fq) {
        StandardProps r;
        r.g = fp * p.g + fq * q.g;
        r.h = fp * p.h + fq * q.h;
        r.s = fp * p.s + fq * q.s;
        r.cp = fp * p.cp + fq * q.cp;
        return r;
    };
    site[kA] = combine(em[1], 1.0 / d_.a1, em[1], 0.0);
    site[kB] = combine(em[3], 1.0 / d_.a1, em[3], 0.0);
    site[kC] = combine(em[0], 1.0 / d_.a2, em[1], -1.0 / d_.a2);
    site[kVa] = StandardProps{};
    if (which.empty()) {
        for (std::size_t i = 0; i < 4; ++i) out[i] = site[i];
        return;
    }
    for (std::size_t k = 0; k < which.size(); ++k) out[k] = site[sz(which[k])];
}

ExcessResult ReciprocalModel::excess(double T, std::span<const double> w, std::span<double> grad,
                                     std::span<double> hess, std::span<const ParameterT>) const {
    if (d_.ideal) return PhaseModel::excess(T, w, grad, hess);
    std::array<double, 4> y{}, fy{};
    std::array<double, 16> fyy{};
    site_fractions(layout_, w, y);
    std::array<StandardProps, 4> em{};
    constituent_standard(T, std::log(T), em);
    // The reciprocal energy and its temperature derivatives (dG/dT = -S,
    // d2G/dT2 = -Cp/T).
    const double D = em[2].g - em[3].g - em[0].g + em[1].g;
    const double D_t = -(em[2].s - em[3].s - em[0].s + em[1].s);
    const double D_tt = -(em[2].cp - em[3].cp - em[0].cp + em[1].cp) / T;
    const ParameterT L = parameter_with_derivatives(d_.L, T), M = parameter_with_derivatives(d_.M, T);
    ExcessSums s;
    s.grad = fy;
    s.hess = fyy;
    s.n = 4;
    const double bc = y[kB] * y[kC], ab = y[kA] * y[kB], cv = y[kC] * y[kVa];
    s.f = bc * D + ab * L.v + cv * M.v;
    s.f_t = bc * D_t + ab * L.d1 + cv * M.d1;
    s.f_tt = bc * D_tt + ab * L.d2 + cv * M.d2;
    fy[kA] = y[kB] * L.v;
    fy[kB] = y[kC] * D + y[kA] * L.v;
    fy[kC] = y[kB] * D + y[kVa] * M.v;
    fy[kVa] = y[kC] * M.v;
    s.h(kA, kB) = s.h(kB, kA) = L.v;
    s.h(kB, kC) = s.h(kC, kB) = D;
    s.h(kC, kVa) = s.h(kVa, kC) = M.v;
    return site_fraction_excess(layout_, T, w, y, s, grad, hess);
}

void ReciprocalModel::constituent_amounts(std::span<const double> v, std::span<double> n) const {
    const double n1 = v[kA] + v[kB], n2 = v[kC] + v[kVa];
    if (!(n1 > 0.0 && n2 > 0.0)) {
        for (double& x : n) x = 0.0;
        return;
    }
    const double N = n1 / d_.a1;
    const double yA = v[kA] / n1, yB = v[kB] / n1, yC = v[kC] / n2, yVa = v[kVa] / n2;
    n[0] = N * yA * yC;
    n[1] = N * yA * yVa;
    n[2] = N * yB * yC;
    n[3] = N * yB * yVa;
}

}  // namespace eqcore::testing
