#include "thermo/subl.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "data/site_content.hpp"
#include "thermo/scratch.hpp"
#include "thermo/site_fractions.hpp"

namespace eqcore {

namespace {
std::size_t sz(int v) { return static_cast<std::size_t>(v); }
}  // namespace

SublModel::SublModel(const System& sys, int phase) : PhaseModel(sys, phase) {
    const Phase& ph = sys.phases[sz(phase)];
    sublattices_ = ph.sublattice;
    const Sublattices& sl = sublattices_;
    const int ns = sl.count();
    ModelLayout& l = layout_;
    std::vector<double> rows;
    const std::string fault = site_content(sys.elements, ph, constituents_, rows);
    if (!fault.empty()) throw std::invalid_argument("phase " + ph.name + ": " + fault);
    l.variables = sl.total();
    l.row = std::move(rows);
    l.volume.assign(sz(l.variables), 0.0);
    l.group_first.clear();
    for (int s = 0; s <= ns; ++s) l.group_first.push_back(s < ns ? sl.first(s) : l.variables);
    l.sites = sl.sites;
    l.content_first.clear();
    l.content_var.clear();
    l.content_coef.clear();
    for (int e = 0; e < ph.count; ++e) {
        l.content_first.push_back(static_cast<int>(l.content_var.size()));
        for (int s = 0; s < ns; ++s) {
            l.content_var.push_back(sl.first(s) + sl.member[sz(e * ns + s)]);
            l.content_coef.push_back(sl.sites[sz(s)]);
        }
    }
    l.content_first.push_back(static_cast<int>(l.content_var.size()));
    l.identity = false;
    l.ideal = false;

    std::vector<std::vector<int>> records;
    std::vector<int> counts;
    for (const Interaction& in : ph.excess) {
        records.push_back(in.index);
        counts.push_back(static_cast<int>(in.sets.size()));
        sets_.insert(sets_.end(), in.sets.begin(), in.sets.end());
    }
    surface_ = CefPolynomial(sl, ph.count, records, counts);
    magnetic_ = MagneticTerm(ph.magnetic, sl, ph.count);
    std::size_t combinations = 1;
    for (const auto& names : sl.names) combinations *= names.size();
    complete_ = combinations == sz(ph.count);
}

void SublModel::standard(double, double, std::span<const int> which, std::span<StandardProps> out) const {
    const std::size_t n = which.empty() ? sz(layout_.variables) : which.size();
    for (std::size_t k = 0; k < n; ++k) out[k] = StandardProps{};
}

void SublModel::parameters(double T, std::span<ParameterT> out) const {
    const std::size_t ne = constituents_.size();
    const TemperaturePowers t(T);
    for (std::size_t e = 0; e < ne; ++e) {
        const StandardProps p = eqcore::standard(constituents_[e], t);
        out[e] = {p.g, -p.s, -p.cp / T};
    }
    for (std::size_t k = 0; k < sets_.size(); ++k) out[ne + k] = parameter_with_derivatives(sets_[k], T);
}

ExcessResult SublModel::excess(double T, std::span<const double> w, std::span<double> grad, std::span<double> hess,
                               std::span<const ParameterT> at_T) const {
    if (at_T.empty()) {
        // Without the caller's parameters: those at T, formed here.
        ScratchArray<ParameterT> own(surface_.parameter_count());
        parameters(T, own.span());
        return SublModel::excess(T, w, grad, hess, own.span());
    }
    if (at_T.size() != parameter_count())
        throw std::invalid_argument("excess: parameter list does not match the phase " + phase_name());
    const auto m = sz(layout_.variables);
    // One zeroed work array: the site fractions, and the derivatives in them
    // that are asked for.
    const std::size_t nfy = grad.empty() && hess.empty() ? 0 : m, nfyy = hess.empty() ? 0 : m * m;
    ScratchArray<double, 256> work(m + nfy + nfyy);
    const std::span<double> y = work.span().first(m);
    site_fractions(layout_, w, y);
    ExcessSums s;
    s.n = m;
    s.grad = work.span().subspan(m, nfy);
    s.hess = work.span().subspan(m + nfy, nfyy);
    surface_.add(at_T, y, s);
    magnetic_.add(T, y, s);
    return site_fraction_excess(layout_, T, w, y, s, grad, hess);
}

bool SublModel::line_polynomial(std::span<const ParameterT> at_T, std::span<const double> y0,
                                std::span<const double> dy, LinePolynomial& out) const {
    if (magnetic_.contributes() || at_T.size() != parameter_count()) return false;
    return surface_.along_line(at_T, y0, dy, out);
}

bool SublModel::line_parts(std::span<const ParameterT> at_T, std::span<const double> y0, std::span<const double> dy,
                           LinePolynomial& out, LineMagnetic& magnetic) const {
    if (at_T.size() != parameter_count()) return false;
    return surface_.along_line(at_T, y0, dy, out) && magnetic_.along_line(y0, dy, magnetic);
}

double SublModel::critical_temperature(std::span<const double> v) const {
    Scratch y(v.size());
    site_fractions(layout_, v, y.span());
    return magnetic_.critical_temperature(y.span());
}

void SublModel::constituent_amounts(std::span<const double> v, std::span<double> n) const {
    const Sublattices& sl = sublattices_;
    const int ns = sl.count();
    const auto m = sz(layout_.variables);
    Scratch y(m);
    double N = 0.0;  // formula units, from the first sublattice
    for (int i = layout_.group_first[0]; i < layout_.group_first[1]; ++i) N += v[sz(i)];
    N /= sl.sites[0];
    std::fill(n.begin(), n.end(), 0.0);
    if (!(N > 0.0)) return;
    for (int s = 0; s < ns; ++s) {
        double Ns = 0.0;
        for (int i = layout_.group_first[sz(s)]; i < layout_.group_first[sz(s) + 1]; ++i) Ns += v[sz(i)];
        for (int i = layout_.group_first[sz(s)]; i < layout_.group_first[sz(s) + 1]; ++i)
            y.span()[sz(i)] = Ns > 0.0 ? v[sz(i)] / Ns : 0.0;
    }
    const auto index = [&](std::size_t e, int s) {
        return sz(layout_.group_first[sz(s)] + sl.member[e * sz(ns) + sz(s)]);
    };
    if (complete_) {
        for (std::size_t e = 0; e < n.size(); ++e) {
            double p = N;
            for (int s = 0; s < ns; ++s) p *= y.span()[index(e, s)];
            n[e] = p;
        }
        return;
    }
    // Greedy: the end member that can take the most, as much as it can.
    std::span<double> r = y.span();
    for (std::size_t step = 0; step < n.size(); ++step) {
        std::size_t best = n.size();
        double take = 0.0;
        for (std::size_t e = 0; e < n.size(); ++e) {
            double t = 1.0;
            for (int s = 0; s < ns; ++s) t = std::min(t, r[index(e, s)]);
            if (t > take) {
                take = t;
                best = e;
            }
        }
        if (best == n.size()) break;
        n[best] += N * take;
        for (int s = 0; s < ns; ++s) r[index(best, s)] -= take;
    }
}

}  // namespace eqcore
