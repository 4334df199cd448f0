#include "data/sublattice.hpp"

#include <array>
#include <span>

namespace eqcore {

int Sublattices::lattice_of(int i) const {
    int s = 0;
    for (int first = 0; s < count(); ++s) {
        first += static_cast<int>(names[static_cast<std::size_t>(s)].size());
        if (i < first) break;
    }
    return s;
}

Sublattices one_sublattice(int n) {
    Sublattices sl;
    sl.sites = {1.0};
    sl.names.resize(1);
    sl.names[0].resize(static_cast<std::size_t>(n));
    sl.member.resize(static_cast<std::size_t>(n));
    for (int k = 0; k < n; ++k) sl.member[static_cast<std::size_t>(k)] = k;
    return sl;
}

std::string term_shape_fault(const Sublattices& sl, const std::vector<int>& index, std::size_t sets) {
    std::vector<int> more;
    std::array<int, 8> few{};
    const auto ns = static_cast<std::size_t>(sl.count());
    if (ns > few.size()) more.resize(ns);
    const std::span<int> sizes = ns > few.size() ? std::span<int>(more) : std::span<int>(few.data(), ns);
    for (std::size_t s = 0; s < ns; ++s) sizes[s] = static_cast<int>(sl.names[s].size());
    return term_shape_fault(sizes, index, sets);
}

std::string term_shape_fault(std::span<const int> sizes, const std::vector<int>& index, std::size_t sets) {
    // Constituents listed per sublattice (the sublattice of an index by the
    // running ends of the sublattices).
    std::vector<int> more;
    std::array<int, 8> few{};
    const std::size_t ns = sizes.size();
    if (ns > few.size()) more.assign(ns, 0);
    const std::span<int> per = ns > few.size() ? std::span<int>(more) : std::span<int>(few.data(), ns);
    int total = 0;
    for (int n : sizes) total += n;
    for (int i : index) {
        if (i < 0 || i >= total) return "indices: constituent " + std::to_string(i + 1) + " out of range";
        std::size_t s = 0;
        for (int end = sizes[0]; i >= end && s + 1 < ns; end += sizes[++s]) {
        }
        ++per[s];
    }
    int twos = 0, threes = 0;
    for (std::size_t s = 0; s < per.size(); ++s) {
        if (per[s] == 0)
            return "indices: no constituent of sublattice " + std::to_string(s + 1) +
                   " listed (expected one or more on every sublattice)";
        if (per[s] > 3)
            return "indices: " + std::to_string(per[s]) + " constituents of sublattice " + std::to_string(s + 1) +
                   " (expected at most 3)";
        if (per[s] == 2) ++twos;
        if (per[s] == 3) ++threes;
    }
    if (sets == 0) return "no coefficient sets";
    if (twos == 1 && threes == 0) return {};
    if (twos == 0 && threes == 1) return sets == 1 || sets == 3 ? std::string() : "number of sets: a ternary term has 1 or 3, found " + std::to_string(sets);
    if (twos == 2 && threes == 0) return sets == 1 ? std::string() : "number of sets: a reciprocal term has 1, found " + std::to_string(sets);
    return "indices: not a term of the model (expected two or three constituents mixing on one sublattice, "
           "or two on each of two sublattices, and one on every other)";
}

}  // namespace eqcore
