#include "thermo/phase_model.hpp"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace eqcore {

namespace {
std::size_t sz(int v) { return static_cast<std::size_t>(v); }
}  // namespace

double ModelLayout::formula_sites() const {
    double a = 0.0;
    for (double s : sites) a += s;
    return a;
}

PhaseModel::PhaseModel(const System& sys, int phase) {
    if (phase < 0 || phase >= sys.phase_count()) throw std::out_of_range("phase model: no phase " + std::to_string(phase));
    const Phase& ph = sys.phases[sz(phase)];
    name_ = ph.name;
    constituents_.assign(sys.constituents.begin() + ph.first, sys.constituents.begin() + ph.first + ph.count);
    ModelLayout& l = layout_;
    l.variables = ph.count;
    l.elements = sys.element_count();
    l.row.reserve(sz(ph.count) * sz(l.elements));
    for (const Constituent& c : constituents_) {
        l.row.insert(l.row.end(), c.stoich.begin(), c.stoich.end());
        l.volume.push_back(c.molar_volume);
    }
    l.group_first = {0, ph.count};
    l.sites = {1.0};
    for (int k = 0; k < ph.count; ++k) {
        l.content_first.push_back(k);
        l.content_var.push_back(k);
        l.content_coef.push_back(1.0);
    }
    l.content_first.push_back(ph.count);
}

void PhaseModel::standard(double T, double lnT, std::span<const int> which, std::span<StandardProps> out) const {
    const TemperaturePowers t(T, lnT);
    if (which.empty()) {
        for (std::size_t i = 0; i < constituents_.size(); ++i) out[i] = eqcore::standard(constituents_[i], t);
        return;
    }
    for (std::size_t k = 0; k < which.size(); ++k) out[k] = eqcore::standard(constituents_[sz(which[k])], t);
}

void PhaseModel::parameters(double, std::span<ParameterT>) const {}

ExcessResult PhaseModel::excess(double, std::span<const double>, std::span<double> grad, std::span<double> hess,
                                std::span<const ParameterT>) const {
    std::fill(grad.begin(), grad.end(), 0.0);
    std::fill(hess.begin(), hess.end(), 0.0);
    return {};
}

void PhaseModel::constituent_amounts(std::span<const double> v, std::span<double> n) const {
    if (!layout_.identity) throw std::logic_error("phase " + name_ + ": its model gives no split into constituents");
    std::copy(v.begin(), v.end(), n.begin());
}

double PhaseModel::excess_change_bound(double T1, double T2, std::span<const char>) const {
    return T1 == T2 ? 0.0 : std::numeric_limits<double>::infinity();
}

double PhaseModel::least_excess_change(double, double, std::span<const double>, std::span<const char>) const {
    return -std::numeric_limits<double>::infinity();
}

double PhaseModel::excess_curvature_bound(double, std::span<const char>) const {
    return std::numeric_limits<double>::infinity();
}

void PhaseModel::own_split(std::span<double>) const {}

bool PhaseModel::floating_sites(std::span<const double>, SiteNumbers&) const { return false; }

int PhaseModel::first_alike(int v, std::span<const ParameterT>) const { return v; }

double PhaseModel::critical_temperature(std::span<const double>) const { return 0.0; }

bool PhaseModel::line_polynomial(std::span<const ParameterT>, std::span<const double>, std::span<const double>,
                                 LinePolynomial&) const {
    return false;
}

bool PhaseModel::line_parts(std::span<const ParameterT> at_T, std::span<const double> y0,
                            std::span<const double> dy, LinePolynomial& out, LineMagnetic& magnetic) const {
    magnetic.on = false;
    return line_polynomial(at_T, y0, dy, out);
}

double PhaseModel::excess_third_bound(double, std::span<const char>) const {
    return std::numeric_limits<double>::infinity();
}

double PhaseModel::excess_third_bound_above(double T, std::span<const char> active, std::span<const double>) const {
    return excess_third_bound(T, active);
}

void PhaseModel::constituent_standard(double T, double lnT, std::span<StandardProps> out) const {
    const TemperaturePowers t(T, lnT);
    for (std::size_t k = 0; k < constituents_.size(); ++k) out[k] = eqcore::standard(constituents_[k], t);
}

void PhaseModel::internal_amounts(std::span<const double> n, std::span<double> v) const {
    const ModelLayout& l = layout_;
    std::fill(v.begin(), v.end(), 0.0);
    for (int k = 0; k < l.constituents(); ++k)
        for (int q = l.content_first[sz(k)]; q < l.content_first[sz(k) + 1]; ++q)
            v[sz(l.content_var[sz(q)])] += l.content_coef[sz(q)] * n[sz(k)];
}

bool PhaseModel::internal_state(double, std::span<const double> n, std::span<double> v, std::span<double>) const {
    internal_amounts(n, v);
    return false;
}

}  // namespace eqcore
