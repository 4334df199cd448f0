// The sublattice description of a compound-energy phase (SUBL, SUBLM):
// site numbers, the constituents of every sublattice (names as written in
// the file, "Va" for a vacancy) and which constituent each end member has
// on each sublattice. The phase's constituents are its end members in file
// order; its excess records index the concatenated constituent list
// (sublattice 1 first), 0-based.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace eqcore {

struct Sublattices {
    std::vector<double> sites;                      // per sublattice: sites per formula unit
    std::vector<std::vector<std::string>> names;    // per sublattice: its constituents
    std::vector<int> member;                        // end members x sublattices, row-major: 0-based
                                                    // position of the end member's constituent there

    bool empty() const { return sites.empty(); }
    int count() const { return static_cast<int>(sites.size()); }
    // Constituents over all sublattices, and where sublattice s begins in
    // the concatenated list.
    int total() const {
        int n = 0;
        for (const auto& s : names) n += static_cast<int>(s.size());
        return n;
    }
    int first(int s) const {
        int n = 0;
        for (int t = 0; t < s; ++t) n += static_cast<int>(names[static_cast<std::size_t>(t)].size());
        return n;
    }
    // The sublattice of concatenated index i.
    int lattice_of(int i) const;
    bool operator==(const Sublattices&) const = default;
};

// The one-sublattice description of a substitutional phase of n
// constituents (its records' indices are the constituents').
Sublattices one_sublattice(int n);

// Whether an interaction record on the concatenated indices `index` with
// `sets` coefficient sets is a term of the compound-energy model: two
// constituents mixing on one sublattice (any number of sets), three on one
// (1 or 3 sets) or two on each of two (1 set), one on every other
// sublattice. "" when it is, else what is wrong.
std::string term_shape_fault(const Sublattices& sl, const std::vector<int>& index, std::size_t sets);
// The same on sublattices of `sizes` constituents each (one sublattice of n
// for a substitutional phase's records).
std::string term_shape_fault(std::span<const int> sizes, const std::vector<int>& index, std::size_t sets);

}  // namespace eqcore
