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

#include <span>
#include <vector>

#include "data/system.hpp"
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

private:
    enum class Kind { constant, binary, ternary };
    struct Term {
        std::vector<int> index;  // listed site fractions
        Kind kind = Kind::constant;
        int mix[3] = {0, 0, 0};  // positions in `index` of the mixing constituents
        int first = 0;           // first parameter slot
        int sets = 1;
    };
    std::vector<Term> terms_;
    std::size_t parameters_ = 0;
};

}  // namespace eqcore
