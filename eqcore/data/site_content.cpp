#include "data/site_content.hpp"

#include <cctype>
#include <cmath>
#include <sstream>

namespace eqcore {

namespace {

bool same_ignoring_case(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t k = 0; k < a.size(); ++k)
        if (std::toupper(static_cast<unsigned char>(a[k])) != std::toupper(static_cast<unsigned char>(b[k]))) return false;
    return true;
}

std::string row_text(std::span<const double> row, const std::vector<Element>& elements) {
    std::ostringstream os;
    for (std::size_t j = 0; j < row.size(); ++j) os << (j ? " " : "") << row[j] << ' ' << elements[j].symbol;
    return os.str();
}

}  // namespace

bool is_vacancy_name(const std::string& name) { return same_ignoring_case(name, "VA"); }

std::string site_content(const std::vector<Element>& elements, const Phase& ph, std::span<const Constituent> members,
                         std::vector<double>& rows) {
    const Sublattices& sl = ph.sublattice;
    const std::size_t ne = elements.size();
    const auto nc = static_cast<std::size_t>(sl.total());
    const auto ns = static_cast<std::size_t>(sl.count());
    rows.assign(nc * ne, 0.0);
    std::vector<bool> known(nc, false);
    std::vector<std::string> name(nc);
    std::vector<std::size_t> lattice(nc);
    for (std::size_t s = 0, i = 0; s < ns; ++s) {
        for (const std::string& n : sl.names[s]) {
            name[i] = n;
            lattice[i] = s;
            if (is_vacancy_name(n)) known[i] = true;
            for (std::size_t j = 0; j < ne && !known[i]; ++j) {
                if (same_ignoring_case(n, elements[j].symbol)) {
                    rows[i * ne + j] = 1.0;
                    known[i] = true;
                }
            }
            ++i;
        }
    }
    auto index_of = [&](std::size_t e, std::size_t s) {
        return static_cast<std::size_t>(sl.first(static_cast<int>(s)) + sl.member[e * ns + s]);
    };
    // Constituents of other names: solved from an end member in which they
    // are the only unknown, until nothing changes.
    for (bool progress = true; progress;) {
        progress = false;
        for (std::size_t e = 0; e < members.size(); ++e) {
            std::size_t unknown = nc, count = 0;
            for (std::size_t s = 0; s < ns; ++s) {
                const std::size_t i = index_of(e, s);
                if (!known[i]) {
                    unknown = i;
                    ++count;
                }
            }
            if (count != 1) continue;
            const double a = sl.sites[lattice[unknown]];
            for (std::size_t j = 0; j < ne; ++j) {
                double rest = members[e].stoich[j];
                for (std::size_t s = 0; s < ns; ++s)
                    if (index_of(e, s) != unknown) rest -= sl.sites[s] * rows[index_of(e, s) * ne + j];
                rows[unknown * ne + j] = rest / a;
            }
            known[unknown] = true;
            progress = true;
        }
    }
    for (std::size_t i = 0; i < nc; ++i)
        if (!known[i])
            return "constituent " + name[i] + " of sublattice " + std::to_string(lattice[i] + 1) +
                   ": its element content follows neither from its name nor from an end member";
    std::vector<double> sum(ne);
    for (std::size_t e = 0; e < members.size(); ++e) {
        std::fill(sum.begin(), sum.end(), 0.0);
        for (std::size_t s = 0; s < ns; ++s)
            for (std::size_t j = 0; j < ne; ++j) sum[j] += sl.sites[s] * rows[index_of(e, s) * ne + j];
        for (std::size_t j = 0; j < ne; ++j) {
            const double want = members[e].stoich[j];
            if (std::abs(sum[j] - want) > 1e-6 * std::max(1.0, std::abs(want)))
                return "end member " + members[e].name + ": stoichiometry " + row_text(members[e].stoich, elements) +
                       " is not the sum over its sublattices (site numbers times constituents: " + row_text(sum, elements) +
                       ")";
        }
    }
    return {};
}

}  // namespace eqcore
