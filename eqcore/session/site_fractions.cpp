#include "session/site_fractions.hpp"

#include <limits>

#include "thermo/quasichem.hpp"

namespace eqcore {

namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

// Fractions [first, first + names.size()) of `y`, 0 beyond its end.
SublatticeFractions lattice(double sites, const std::vector<std::string>& names, const std::vector<double>& y,
                            std::size_t first) {
    SublatticeFractions s;
    s.sites = sites;
    s.names = names;
    s.fraction.resize(names.size(), 0.0);
    for (std::size_t k = 0; k < names.size(); ++k)
        if (first + k < y.size()) s.fraction[k] = y[first + k];
    return s;
}

}  // namespace

std::vector<SublatticeFractions> phase_site_fractions(const Phase& ph, const PhaseResult& pr) {
    std::vector<SublatticeFractions> out;
    if (pr.site_fraction.empty()) return out;
    if (ph.ionic) {
        if (pr.sites.size() != 2) return out;
        out.push_back(lattice(pr.sites[0], ph.ionic->cation, pr.site_fraction, 0));
        out.push_back(lattice(pr.sites[1], ph.ionic->site2, pr.site_fraction, ph.ionic->cation.size()));
    } else if (ph.quasichem) {
        const QuasichemData& d = *ph.quasichem;
        const std::vector<double> y = ion_site_fractions(d, quadruplets(d), pr.site_fraction);
        const double follows = std::numeric_limits<double>::quiet_NaN();
        out.push_back(lattice(follows, d.cation, y, 0));
        out.push_back(lattice(follows, d.anion, y, d.cation.size()));
    } else {
        const Sublattices& sl = ph.sublattice;
        if (sl.empty() || pr.site_fraction.size() != sz(sl.total())) return out;
        for (int t = 0; t < sl.count(); ++t)
            out.push_back(lattice(sl.sites[sz(t)], sl.names[sz(t)], pr.site_fraction, sz(sl.first(t))));
    }
    return out;
}

}  // namespace eqcore
