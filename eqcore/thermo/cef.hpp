// The compound-energy polynomial in site fractions, shared by the Gibbs
// energy of a sublattice phase and by the composition dependence of the
// magnetic Tc and beta:
//
//   P(y) = sum_e (prod_s y_{s,e}) V_e
//        + sum_records (prod of the listed y) W(y)
//
// where a record's W is, by its shape (data/sublattice.hpp,
// term_shape_fault): sum_v L^(v) (y_i - y_j)^v for two constituents mixing
// on one sublattice; L^(0) or sum_l L^(l) (y_l + (1 - y_i - y_j - y_k)/3)
// for three; L^(0) for a reciprocal pair of pairs. Values come as ParameterT
// (value and temperature derivatives) in the order: end members, then each
// record's sets.
#pragma once

#include <array>
#include <span>
#include <vector>

#include "data/system.hpp"
#include "thermo/line_polynomial.hpp"
#include "thermo/parameter.hpp"

namespace eqcore {

class CefPolynomial {
public:
    CefPolynomial() = default;
    // `records[r]` lists record r's concatenated indices; `sets[r]` its
    // number of coefficient sets.
    CefPolynomial(const Sublattices& sl, int end_members, const std::vector<std::vector<int>>& records,
                  const std::vector<int>& sets);

    // Slots of ParameterT the polynomial reads.
    std::size_t parameter_count() const { return parameters_; }
    bool empty() const { return terms_.empty(); }

    // Adds P, its temperature derivatives and (when the spans of `s` are
    // not empty) its gradient and Hessian in y to `s`.
    void add(std::span<const ParameterT> at, std::span<const double> y, ExcessSums& s) const;
    // The same for two parameter lists of this polynomial at once (the
    // magnetic T* and beta*): `a` and `b` get exactly what add gives each;
    // the products of fractions are formed once. Both sums ask for the same
    // derivatives.
    void add_pair(std::span<const ParameterT> at_a, std::span<const ParameterT> at_b, std::span<const double> y,
                  ExcessSums& a, ExcessSums& b) const;

    // P(y0 + t dy) as a polynomial in t, the parameter values `at` (their
    // values only), added to `out`. False where its degree exceeds what
    // `out` holds (nothing is then to be relied on in `out`).
    bool along_line(std::span<const ParameterT> at, std::span<const double> y0, std::span<const double> dy,
                    LinePolynomial& out) const;

    // A bound on |the records' part of P| (every term after the end
    // members) over all site fractions whose constituents not marked in
    // `active` are 0 (empty: all marked), given for each parameter slot k a
    // bound size[k] on the magnitude of its value: per record, the largest
    // product of its listed fractions times the sum of its sets' sizes (the
    // factor W is a sum of sets times monomials in [-1, 1]).
    double records_bound(std::span<const double> size, std::span<const char> active) const;
    // A lower bound (<= 0) on the records' part of P over the same site
    // fractions, its parameter slots holding the values `at` (signed): per
    // record its largest product of listed fractions times the least its
    // factor W can take (odd powers of a difference of fractions in [-1, 1],
    // even ones in [0, 1], the ternary factors in [0, 1]), where negative.
    double records_least(std::span<const double> at, std::span<const char> active) const;

private:
    enum class Kind { constant, binary, ternary };
    static constexpr int kMaxListed = 8;  // sublattices (at most 5) plus two more on one of them
    struct Term {
        std::vector<int> index;  // listed site fractions
        int listed = 0;          // their number, and the same in a fixed array
        std::array<int, kMaxListed> at{};
        Kind kind = Kind::constant;
        int mix[3] = {0, 0, 0};  // positions in `index` of the mixing constituents
        int first = 0;           // first parameter slot
        int sets = 1;
        double peak = 1.0;       // largest product of the listed fractions
    };
    template <std::size_t N>
    void add_lists(const std::span<const ParameterT>* lists, std::span<const double> y, ExcessSums* const* sums) const;
    std::vector<Term> terms_;
    std::size_t parameters_ = 0;
    std::size_t end_members_ = 0;
};

}  // namespace eqcore
