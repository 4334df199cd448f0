// A two-sublattice phase (A,B)_a1 (C,Va)_a2 that exists only in the tests:
// the smallest model whose internal variables (site amounts of A, B on the
// first sublattice, C and a vacancy on the second) are not its constituents
// (the end members A:C, A:Va, B:C, B:Va, which are not independent), built
// programmatically, with the system it lives in.
//
// Per formula unit (a1 + a2 sites):
//   G = sum_kl y_k y_l G_kl                                  reference surface
//     + R T (a1 sum_k y_k ln y_k + a2 sum_l y_l ln y_l)       ideal mixing per sublattice
//     + y_A y_B L(T) + y_C y_Va M(T)                          excess (optional)
// The model gives the part of the reference surface that is linear in the
// site amounts (site energies A: G_AVa / a1, B: G_BVa / a1, C: (G_AC -
// G_AVa) / a2, Va: 0) as its standard part and the reciprocal term
// y_B y_C (G_BC - G_BVa - G_AC + G_AVa) with the excess as its remainder.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "data/system.hpp"
#include "thermo/phase_model.hpp"

namespace eqcore::testing {

// G(T) = a + b T + c T ln T, J per mol (per formula unit).
struct Gabc {
    double a = 0.0, b = 0.0, c = 0.0;
};

struct ReciprocalData {
    double a1 = 1.0, a2 = 3.0;               // site numbers
    std::array<Gabc, 4> end_member{};        // A:C, A:Va, B:C, B:Va
    std::array<double, 6> L{};               // y_A y_B L(T) (coefficient set, as the data files write it)
    std::array<double, 6> M{};               // y_C y_Va M(T)
    bool ideal = false;  // no remainder: the end members must be additive (G_BC = G_BVa + G_AC - G_AVa)
};

// Elements A, B, C (0, 1, 2). Phase 0: an ideal gas of C and C2 (omitted
// when `gas` is empty); then one copy of the sublattice phase per name in
// `copies` (placeholder model IDMX, its constituents the end members); then
// every stoichiometric phase of `solids` (name, stoichiometry, G).
struct Solid {
    std::string name;
    std::array<double, 3> stoich{};
    Gabc g;
};
System reciprocal_system(const ReciprocalData& d, const std::vector<Gabc>& gas, const std::vector<std::string>& copies,
                         const std::vector<Solid>& solids);

class ReciprocalModel final : public PhaseModel {
public:
    // Variables: 0 A, 1 B (sublattice 1), 2 C, 3 Va (sublattice 2).
    enum { kA, kB, kC, kVa };
    ReciprocalModel(const System& sys, int phase, const ReciprocalData& d);
    void standard(double T, double lnT, std::span<const int> which, std::span<StandardProps> out) const override;
    ExcessResult excess(double T, std::span<const double> w, std::span<double> grad, std::span<double> hess,
                        std::span<const ParameterT> at_T) const override;
    // The product split n_kl = N y_k y_l (N formula units).
    void constituent_amounts(std::span<const double> v, std::span<double> n) const override;

private:
    ReciprocalData d_;
};

}  // namespace eqcore::testing
