// Excess part of a substitutional mixture (RKMP, QKTO): the conversion of an
// excess model's derivatives with respect to the mole fractions into
// partial molar quantities, which both models share, and the phase model
// of such a mixture.
#pragma once

#include <span>
#include <vector>

#include "data/system.hpp"
#include "thermo/magnetic.hpp"
#include "thermo/parameter.hpp"
#include "thermo/phase_model.hpp"

namespace eqcore {

// Value of one coefficient set L(T) = A + B T + C T ln T + D T^2 + E T^3 + F/T.
double parameter_value(const std::array<double, 6>& L, double T);

// The terms of an excess model: they add the molar excess Gibbs energy f(x)
// of `phase`, its temperature derivatives and (when the spans are not
// empty) its gradient and Hessian in the mole fractions to `sums`.
using ExcessTerms = void (*)(const Phase& phase, double T, std::span<const double> x, ExcessSums& sums);

// Bounds on the second derivatives of one interaction of an excess model:
// adds to B (phase.count^2, row-major) numbers B_ij >= |d2 f/dx_i dx_j| of
// that interaction's term at T, over every composition of the simplex (x
// taken as independent fractions, J/mol). Returns false where it cannot.
using InteractionCurvature = bool (*)(const Phase& phase, const Interaction& in, double T, std::span<double> B);

// Bounds on the third derivatives of one interaction of an excess model:
// adds to B (phase.count^3, B[(i * count + j) * count + k]) numbers
// B_ijk >= |d3 f/dx_i dx_j dx_k| of its term at T over the simplex (x taken
// as independent fractions, J/mol), or, where `least` is not empty, over
// the part of it where every x_k >= least[k]. Returns false where it cannot.
using InteractionThird = bool (*)(const Phase& phase, const Interaction& in, double T, std::span<const double> least,
                                  std::span<double> B);

// Molar excess quantities of `phase` at T and mole fractions x (size =
// phase.count), from the model's `terms`. `mu` (size count, or empty):
// partial molar excess Gibbs energies, J/mol. `dmu` (count*count row-major,
// or empty): N * d(mu_i)/d(n_j) at total amount N, J/mol, symmetric.
// `magnetic` (or null): a magnetic term in the mole fractions, added.
// `at_T` (or empty): the records' coefficient sets at T, in record order.
ExcessResult mixture_excess(const Phase& phase, ExcessTerms terms, double T, std::span<const double> x,
                            std::span<double> mu = {}, std::span<double> dmu = {},
                            const MagneticTerm* magnetic = nullptr, std::span<const ParameterT> at_T = {});

// A substitutional mixture of its constituents whose remainder is an excess
// model's `terms` (rkmp_excess, qkto_excess) over the phase's records, with
// the magnetic term of RKMPM and QKTOM.
class MixtureModel final : public PhaseModel {
public:
    MixtureModel(const System& sys, int phase, ExcessTerms terms, InteractionCurvature curvature = nullptr,
                 InteractionThird third = nullptr);
    // Every coefficient set of its records, in record order.
    std::size_t parameter_count() const override;
    void parameters(double T, std::span<ParameterT> out) const override;
    // Every term is a coefficient set times a monomial of the fractions
    // whose largest magnitude is known: the sum of |L(T2)/(R T2) - L(T1)/(R T1)|
    // times that largest magnitude over the terms that do not vanish with
    // the inactive variables at 0, plus the magnetic term's bound.
    double excess_change_bound(double T1, double T2, std::span<const char> active) const override;
    // The same terms taken one-sided: a term whose monomial is never
    // negative can only lower the remainder where its coefficient over RT
    // falls, by at most that fall times the monomial's largest value; a
    // Redlich-Kister set of odd order, of either sign, by its change times
    // that value. With the least linear coefficient over the active
    // variables and the magnetic term's bound.
    double least_excess_change(double T1, double T2, std::span<const double> linear,
                               std::span<const char> active) const override;
    // The interactions' second-derivative bounds summed into one matrix,
    // the largest row sum over the active variables (which bounds its
    // eigenvalues); unbounded with a magnetic term or without `curvature`.
    double excess_curvature_bound(double T, std::span<const char> active) const override;
    // The interactions' third-derivative bounds summed into one array B;
    // with r_k the largest row sum of the slice B_..k over the active
    // variables, |sum B_ijk u_i u_j v_k| <= sum_k |v_k| r_k |u|^2, at most
    // sqrt(sum_k r_k^2) |u|^2 |v|. Unbounded with a magnetic term or without
    // `third`.
    double excess_third_bound(double T, std::span<const char> active) const override;
    // The same over the part where every fraction is at least least[k].
    double excess_third_bound_above(double T, std::span<const char> active,
                                    std::span<const double> least) const override;
    const MagneticTerm& magnetic() const { return magnetic_; }
    double critical_temperature(std::span<const double> v) const override;
    // (The terms evaluate their coefficient sets themselves: `at_T` unused.)
    ExcessResult excess(double T, std::span<const double> x, std::span<double> mu, std::span<double> dmu,
                        std::span<const ParameterT> at_T) const override;

private:
    Phase phase_;  // its excess records
    std::size_t parameter_count_ = 0;
    ExcessTerms terms_;
    InteractionCurvature curvature_;
    InteractionThird third_;
    std::vector<double> top_;  // per interaction: its monomial's largest magnitude over the simplex
    MagneticTerm magnetic_;
};

}  // namespace eqcore
