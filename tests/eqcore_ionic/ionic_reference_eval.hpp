// A second evaluation of the ionic liquid's remainder, for tests: the
// whole liquid function carried as one dense jet in all ion amounts, the
// straightforward way (every derivative by forward differentiation), against
// which the model's layered closed-form evaluation is checked.
#pragma once

#include <span>
#include <vector>

#include "thermo/ionic_liquid.hpp"

namespace eqcore::testing {

// The remainder of `model` at record amounts w with its gradient and
// Hessian (either may be empty), the record energies taken from the model's
// own per-temperature parameters.
ExcessResult reference_ionic_excess(const IonicLiquidModel& model, double T, std::span<const double> w,
                                    std::span<double> grad, std::span<double> hess);

// How well the remainder at w is conditioned: per record, the size of the
// terms that cancel in its second derivatives (RT sum_k coef_k^2 / u_k over
// the ions u_k of its column, 0 for an absent record), and the cations'
// share of all ions, as small as a trace when the vacancy, the only partner
// of the cations, is one.
struct Conditioning {
    std::vector<double> record_scale;
    double cation_share = 1.0;
};
Conditioning reference_conditioning(const IonicLiquidModel& model, double T, std::span<const double> w);

}  // namespace eqcore::testing
