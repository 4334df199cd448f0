// The ionic liquid's excess terms per formula unit as sums over its site
// variables (cation fractions, second-sublattice fractions, Q), for the
// evaluator in ionic_liquid_eval.cpp.
#pragma once

#include <cstddef>
#include <span>

#include "data/ionic.hpp"
#include "thermo/jet.hpp"
#include "thermo/parameter.hpp"

namespace eqcore {

// The excess sums over the site variables: E per formula unit, its
// temperature derivatives, its gradient and Hessian (a full nz x nz square,
// touched only when the shape asks for them).
struct SiteSums {
    double E = 0.0, E_t = 0.0, E_tt = 0.0;
    double* g = nullptr;
    double* H = nullptr;
    int nz = 0;
};

// Adds every excess term of liquid q at site variables z (cations at i,
// second-sublattice species at nc + s, Q at nc + n2) to sums: values only
// when shape.K == 0, the gradient as well when shape.K > 0, the Hessian as
// well when shape.second. sets holds the terms' coefficient sets at T, term
// t's from sets[term_first[t]]. The values are the same, bit for bit,
// whatever the shape.
void add_ionic_terms(const IonicLiquid& q, int nc, std::span<const std::size_t> term_first, const ParameterT* sets,
                     const double* z, JetShape shape, SiteSums& sums);

}  // namespace eqcore
