#include "data/site_content.hpp"

#include "data/limits.hpp"

#include <array>
#include <cmath>
#include <sstream>
#include <string_view>

namespace eqcore {

namespace {

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Names are compared in ASCII, case ignored.
bool same_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t k = 0; k < a.size(); ++k)
        if (upper(a[k]) != upper(b[k])) return false;
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
    const auto ns = static_cast<std::size_t>(sl.count());
    if (ns > static_cast<std::size_t>(limits::kSublattices))
        return std::to_string(ns) + " sublattices (at most " + std::to_string(limits::kSublattices) + ")";
    // Where each sublattice begins in the concatenated list (one more: the end).
    std::array<std::size_t, limits::kSublattices + 1> first{};
    for (std::size_t s = 0; s < ns; ++s) first[s + 1] = first[s] + sl.names[s].size();
    const std::size_t nc = first[ns];
    // The rows, then one flag per constituent: its content is known.
    rows.assign(nc * ne + nc, 0.0);
    double* known = rows.data() + nc * ne;
    for (std::size_t s = 0, i = 0; s < ns; ++s) {
        for (const std::string& n : sl.names[s]) {
            if (is_vacancy_name(n)) known[i] = 1.0;
            for (std::size_t j = 0; j < ne && known[i] == 0.0; ++j) {
                if (same_ignoring_case(n, elements[j].symbol)) {
                    rows[i * ne + j] = 1.0;
                    known[i] = 1.0;
                }
            }
            ++i;
        }
    }
    auto index_of = [&](std::size_t e, std::size_t s) {
        return first[s] + static_cast<std::size_t>(sl.member[e * ns + s]);
    };
    // Constituents of other names: solved from an end member in which they
    // are the only unknown, until nothing changes.
    for (bool progress = true; progress;) {
        progress = false;
        for (std::size_t e = 0; e < members.size(); ++e) {
            std::size_t unknown = nc, count = 0, on = 0;
            for (std::size_t s = 0; s < ns; ++s) {
                const std::size_t i = index_of(e, s);
                if (known[i] == 0.0) {
                    unknown = i;
                    on = s;
                    ++count;
                }
            }
            if (count != 1) continue;
            const double a = sl.sites[on];
            for (std::size_t j = 0; j < ne; ++j) {
                double rest = members[e].stoich[j];
                for (std::size_t s = 0; s < ns; ++s)
                    if (index_of(e, s) != unknown) rest -= sl.sites[s] * rows[index_of(e, s) * ne + j];
                rows[unknown * ne + j] = rest / a;
            }
            known[unknown] = 1.0;
            progress = true;
        }
    }
    for (std::size_t s = 0; s < ns; ++s)
        for (std::size_t k = 0; k < sl.names[s].size(); ++k)
            if (known[first[s] + k] == 0.0)
                return "constituent " + sl.names[s][k] + " of sublattice " + std::to_string(s + 1) +
                       ": its element content follows neither from its name nor from an end member";
    rows.resize(nc * ne);
    for (std::size_t e = 0; e < members.size(); ++e) {
        for (std::size_t j = 0; j < ne; ++j) {
            double sum = 0.0;
            for (std::size_t s = 0; s < ns; ++s) sum += sl.sites[s] * rows[index_of(e, s) * ne + j];
            const double want = members[e].stoich[j];
            if (std::abs(sum - want) > 1e-6 * std::max(1.0, std::abs(want))) {
                std::vector<double> sums(ne, 0.0);
                for (std::size_t s = 0; s < ns; ++s)
                    for (std::size_t i = 0; i < ne; ++i) sums[i] += sl.sites[s] * rows[index_of(e, s) * ne + i];
                return "end member " + members[e].name + ": stoichiometry " + row_text(members[e].stoich, elements) +
                       " is not the sum over its sublattices (site numbers times constituents: " + row_text(sums, elements) +
                       ")";
            }
        }
    }
    return {};
}

}  // namespace eqcore
