// Temperature functions of excess parameters and the sums the excess models
// accumulate.
#pragma once

#include <array>
#include <cstddef>
#include <span>

namespace eqcore {

// L(T) = A + B T + C T ln T + D T^2 + E T^3 + F/T with its first and second
// temperature derivatives.
struct ParameterT {
    double v = 0.0;
    double d1 = 0.0;
    double d2 = 0.0;
};
ParameterT parameter_with_derivatives(const std::array<double, 6>& L, double T);

// What an excess model accumulates for a phase at (T, x): the molar excess
// Gibbs energy f(x) and its first and second temperature derivatives, and,
// when the spans are not empty, the gradient and the Hessian (row-major,
// n*n) of f with respect to the mole fractions taken as independent.
struct ExcessSums {
    double f = 0.0;
    double f_t = 0.0;
    double f_tt = 0.0;
    std::span<double> grad;
    std::span<double> hess;
    std::size_t n = 0;
    // The phase's coefficient sets at T, interaction by interaction and set
    // by set (empty: each is evaluated where it is used).
    std::span<const ParameterT> at_T;

    double& h(std::size_t i, std::size_t j) { return hess[i * n + j]; }
    // Coefficient set `set`, number `index` in that order, at T.
    ParameterT parameter(const std::array<double, 6>& set, std::size_t index, double T) const {
        return at_T.empty() ? parameter_with_derivatives(set, T) : at_T[index];
    }
};

}  // namespace eqcore
