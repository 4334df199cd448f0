// Conversion of heat-capacity data to the G(T) form of GibbsRange.
//
// Input: H and S at 298.15 K and, per temperature range, Cp as a sum of
// terms f·T^n and the enthalpy of transition at the range's upper end. The
// result is exact: each range's G function reproduces H, S and Cp obtained
// by integrating Cp piecewise from 298.15 K, with H += h and S += h/Tmax at
// every range boundary (G stays continuous).
#pragma once

#include <vector>

#include "data/system.hpp"

namespace eqcore {

struct CpTerm {
    double f = 0.0;  // coefficient, J/(mol K) / K^n
    double n = 0.0;  // exponent of T in Cp
};

struct CpRange {
    double tmax = 0.0;            // K
    std::vector<CpTerm> terms;    // Cp = sum f T^n
    double transition_h = 0.0;    // J/mol, added at tmax (0 after the last range)
};

std::vector<GibbsRange> cp_to_gibbs(double h298, double s298, const std::vector<CpRange>& ranges);

}  // namespace eqcore
