// A remainder written per formula unit in site fractions, turned into what
// the model interface gives: values per mol of internal amount, the
// gradient in the internal amounts and their Hessian times the amount.
//
// With internal amounts v (site amounts, in groups g of site number a_g,
// A = sum_g a_g), N_g = sum_{i in g} v_i and y_i = v_i / N_g(i), the
// remainder of f(y) (J per formula unit) is extended off the site-ratio
// constraints as R(v) = (sum_i v_i / A) f(y(v)), homogeneous of degree 1
// (on the constraints sum v / A is the amount of formula units). With
// phi_i = f_i - sum_{j in g(i)} y_j f_j (f_i, f_ij: derivatives in y taken
// as independent) and W_g = N_g / sum v:
//   dR/dv_i            = f/A + phi_i / (A W_g(i))
//   (sum v) d2R/dv_i dv_k = [ phi_i / W_g(i) + phi_k / W_g(k)
//                          - [g(i) = g(k)] (phi_i + phi_k) / W_g^2
//                          + F_ik / (W_g(i) W_g(k)) ] / A
// where F_ik is f_ik centred on both sides: f_ik - sum_{j in g(i)} y_j f_jk
// - sum_{l in g(k)} y_l f_il + sum_j sum_l y_j y_l f_jl. With one group of one
// site this is the substitutional conversion (thermo/excess.cpp).
#pragma once

#include <span>

#include "thermo/parameter.hpp"
#include "thermo/phase_model.hpp"

namespace eqcore {

// Site fractions y (size variables) of internal fractions w: w divided by
// its group's sum. Every group must hold a positive amount.
void site_fractions(const ModelLayout& layout, std::span<const double> w, std::span<double> y);

// The remainder at internal fractions w, y their site fractions (as
// site_fractions gives them), from f and its derivatives in the site
// fractions (`in_y`: f, f_t, f_tt per formula unit, J; gradient and
// Hessian, when not empty, in y). `grad` and `hess` as
// PhaseModel::excess (either may be empty; `in_y` must carry what they need).
ExcessResult site_fraction_excess(const ModelLayout& layout, double T, std::span<const double> w,
                                  std::span<const double> y, const ExcessSums& in_y, std::span<double> grad,
                                  std::span<double> hess);

}  // namespace eqcore
