// How far the remainder of a sublattice phase over RT can move between two
// temperatures, which the stability memory of the solver rests on.
//
// Per formula unit the remainder is the reference surface
// sum_e p_e(y) G°_e(T) (p_e the product of end member e's site fractions),
// the records (each a product of its listed fractions times a sum of
// coefficient sets times monomials in [-1, 1]) and the magnetic term. The
// products p_c over every combination c of one constituent per sublattice
// sum to 1, and a linear function of the fractions with coefficients
// linear_i is sum_c p_c sum_s a_s linear_{c_s}; so surface and linear part
// together move by at least the least over the combinations of
// (G°_c(T2)/(R T2) - G°_c(T1)/(R T1) + sum_s a_s linear_{c_s}), a
// combination that is no end member counting 0 for its surface. The
// records and the magnetic term then lower that by at most how far they
// can fall (a record whose sets rise everywhere not at all).
#include <algorithm>
#include <cmath>
#include <limits>

#include "thermo/excess.hpp"
#include "thermo/scratch.hpp"
#include "thermo/subl.hpp"

namespace eqcore {

namespace {
std::size_t sz(int v) { return static_cast<std::size_t>(v); }
bool marked(std::span<const char> active, int i) { return sz(i) >= active.size() || active[sz(i)] != 0; }
}  // namespace

void SublModel::end_member_change(double T1, double T2, std::span<const char> active, std::span<double> out,
                                  std::span<char> on) const {
    const Sublattices& sl = sublattices_;
    const int ns = sl.count();
    const double lnT1 = std::log(T1), lnT2 = std::log(T2);
    for (std::size_t e = 0; e < constituents_.size(); ++e) {
        bool all = true;
        for (int s = 0; s < ns && all; ++s) all = marked(active, sl.first(s) + sl.member[e * sz(ns) + sz(s)]);
        on[e] = all ? 1 : 0;
        out[e] = all ? eqcore::standard(constituents_[e], T2, lnT2).g / (kR * T2) -
                           eqcore::standard(constituents_[e], T1, lnT1).g / (kR * T1)
                     : 0.0;
    }
}

double SublModel::records_change(double T1, double T2, std::span<const char> active, bool fall) const {
    const std::size_t ne = constituents_.size();
    Scratch change(surface_.parameter_count());
    for (std::size_t k = 0; k < sets_.size(); ++k)
        change.span()[ne + k] = parameter_value(sets_[k], T2) / (kR * T2) - parameter_value(sets_[k], T1) / (kR * T1);
    if (fall) return -surface_.records_least(change.span(), active) - magnetic_.least_change(T1, T2);
    for (double& c : change.span()) c = std::abs(c);
    return surface_.records_bound(change.span(), active) + magnetic_.change_bound(T1, T2);
}

double SublModel::excess_change_bound(double T1, double T2, std::span<const char> active) const {
    if (T1 == T2) return 0.0;
    const std::size_t ne = constituents_.size();
    Scratch change(ne);
    ScratchArray<char> on(ne);
    end_member_change(T1, T2, active, change.span(), on.span());
    // The surface's products sum to at most 1.
    double surface = 0.0;
    for (std::size_t e = 0; e < ne; ++e)
        if (on.span()[e]) surface = std::max(surface, std::abs(change.span()[e]));
    return (surface + records_change(T1, T2, active, false)) / layout_.formula_sites();
}

double SublModel::least_excess_change(double T1, double T2, std::span<const double> linear,
                                      std::span<const char> active) const {
    const Sublattices& sl = sublattices_;
    const int ns = sl.count();
    const std::size_t ne = constituents_.size();
    Scratch change(ne);
    ScratchArray<char> on(ne);
    end_member_change(T1, T2, active, change.span(), on.span());
    double least = std::numeric_limits<double>::infinity();
    for (std::size_t e = 0; e < ne; ++e) {
        if (!on.span()[e]) continue;
        double v = change.span()[e];
        for (int s = 0; s < ns; ++s) v += sl.sites[sz(s)] * linear[sz(sl.first(s) + sl.member[e * sz(ns) + sz(s)])];
        least = std::min(least, v);
    }
    if (!complete_) {
        // The combinations that are no end members: at least the least
        // linear part of any combination.
        double rest = 0.0;
        for (int s = 0; s < ns; ++s) {
            double low = std::numeric_limits<double>::infinity();
            for (int i = sl.first(s); i < sl.first(s) + static_cast<int>(sl.names[sz(s)].size()); ++i)
                if (marked(active, i)) low = std::min(low, linear[sz(i)]);
            rest += sl.sites[sz(s)] * low;
        }
        least = std::min(least, rest);
    }
    if (!std::isfinite(least)) return -std::numeric_limits<double>::infinity();
    return (least - records_change(T1, T2, active, true)) / layout_.formula_sites();
}

}  // namespace eqcore
