// The ionic two-sublattice liquid (SUBI): (C)_P (A, Va, B)_Q with cations C
// of charge nu_C, anions A of charge -nu_A, the vacancy and neutrals B. The
// site numbers follow from electroneutrality,
//     Q = sum_C nu_C y_C,   P = sum_A nu_A y_A + Q y_Va,
// so they change with the composition. Per formula unit
//     G_m = sum_{C:A} y_C y_A G_{C:A} + Q sum_C y_C y_Va G_{C:Va} + Q sum_B y_B G_B
//         + R T [P sum_C y_C ln y_C + Q sum_{A,Va,B} y ln y] + G_ex,
// G_B being a neutral's record divided by its cation's charge (the record
// for cation C holds nu_C B). The excess terms are those of IonicKind
// (data/ionic.hpp), with the Redlich-Kister series and the Muggianu ternary
//     T3(u1, u2, u3) = u1 u2 u3 sum_l L_l (u_l + (1 - u1 - u2 - u3) / 3).
// N_f formula units hold P N_f cations and Q N_f of each second-sublattice
// species' fraction.
//
// Internal variables: the amounts m_e of the phase's records (cation:anion,
// cation:Va, each neutral's copy per cation), so the element content is
// linear and every non-negative m is a valid liquid. They determine the
// ions, u = B m:
//     n_C = sum_A nu_A m_{C:A} + m_{C:Va},   n_A = sum_C nu_C m_{C:A},
//     n_B = sum_C nu_C m_{C,B},              c = sum_C nu_C m_{C:Va}
// (c the vacancies' charge, n_Va = c / Q), but not the other way round when
// there are several cations: many splits describe one liquid. The model's
// Gibbs energy is
//     G(m) = G_liq(u(m)) + R T D(m),   D = sum_e [m_e ln(m_e / mh_e) - m_e + mh_e] >= 0,
// where mh(u) is the liquid's own split (N_f times the end-member fractions:
// mh_{C:A} = n_C n_A / Z, mh_{C:Va} = n_C c / Z with Z = sum nu_C n_C, and
// a neutral shared equally by its copies). D vanishes exactly at m = mh and
// is strictly convex along the splits of one liquid, so the minimum of G
// over the splits is G_liq, reached at mh, where dD/dm = 0: every minimum,
// every stability test and every chemical potential of G is that of the
// liquid (mu of record C:A = nu_A mu_C + nu_C mu_A, of C:Va = mu_C, of a
// neutral's copy = nu_C mu_B), and its Hessian is regular. Callers that give
// arbitrary record amounts get the liquid's own split first (own_split).
//
// The liquid's function is evaluated in the ion amounts with exact second
// derivatives (ionic_liquid_eval.cpp: closed-form site-fraction derivatives,
// small jets per excess term); the vacancy is carried by its charge c, a
// variable of its own, so that a vacancy fraction of 1e-12 is as exact as
// one of 0.5.
#pragma once

#include <vector>

#include "data/ionic.hpp"
#include "thermo/phase_model.hpp"

namespace eqcore {

class IonicLiquidModel final : public PhaseModel {
public:
    IonicLiquidModel(const System& sys, int phase);

    ExcessResult excess(double T, std::span<const double> w, std::span<double> grad, std::span<double> hess,
                        std::span<const ParameterT> at_T) const override;
    void own_split(std::span<double> v) const override;
    // Per temperature: the records' standard G (with dG/dT = -S and
    // d2G/dT2 = -Cp/T), then every excess term's coefficient sets, then
    // what the liquid's part takes from them (liquid_parameters).
    std::size_t parameter_count() const override;
    void parameters(double T, std::span<ParameterT> out) const override;
    // Over the liquid's own splits (where every minimum of a distance lies:
    // elsewhere the split term only adds), w summing to 1: the excess terms
    // per formula unit times at most kappa formula units per mol of records
    // (kappa = max(1, 1/nu_min, nu_max/nu_min) over the cation charges),
    // each term's factor at most Q <= nu_max where it carries Q and 1
    // otherwise; plus the neutrals' copies whose energies are not exactly
    // their first copy's. Terms of an inactive ion are left out.
    double excess_change_bound(double T1, double T2, std::span<const char> active) const override;

    // The liquid at record amounts m (any split): P and Q, the site
    // fractions (cations, then the second sublattice in the file's order,
    // the vacancy included) and its formula units.
    bool floating_sites(std::span<const double> m, SiteNumbers& out) const override;
    // The copies of one neutral for cations of equal charge are alike where
    // their records' standard parameters are equal.
    int first_alike(int v, std::span<const ParameterT> at_T) const override;
    const IonicLiquid& data() const { return q_; }

    // How record e enters the ion amounts u: at most two entries.
    struct Column {
        int n = 0;
        int idx[2] = {0, 0};
        double coef[2] = {0.0, 0.0};
    };

private:
    // The evaluation for at most N ion variables (ionic_liquid_eval.cpp).
    template <int N>
    ExcessResult evaluate(double T, std::span<const double> w, std::span<double> grad, std::span<double> hess,
                          std::span<const ParameterT> at_T) const;
    void ions(std::span<const double> m, std::vector<double>& u) const;
    // Record e's standard parameters in the liquid: its own, or for a
    // neutral's later copy its first copy's scaled by the charges.
    ParameterT liquid_standard(int e, std::span<const ParameterT> own) const;
    // The liquid's per-temperature part after the records and the terms:
    // each record's liquid standard parameters, then (values only) the pair
    // energies a_ij = G_ij + RT of cation i by ion variable j (nc x K), then
    // the linear coefficients of the neutrals (K).
    std::size_t liquid_first() const { return col_.size() + term_first_.back(); }
    void liquid_parameters(double T, std::span<ParameterT> out) const;

    IonicLiquid q_;
    int nc_ = 0;                   // cations
    int K_ = 0;                    // ion variables: cations, anions, neutrals, then the vacancies' charge
    std::vector<int> u_of_site2_;  // second-sublattice species -> ion variable (-1: the vacancy)
    std::vector<Column> col_;      // per record
    std::vector<double> copies_;   // per record: the number of copies of its neutral (0 otherwise)
    std::vector<double> copy_log_;  // per record: ln(copies nu_C) for a neutral's copy (0 otherwise)
    std::vector<int> neutral_first_;  // per record: the first copy of its neutral (-1 otherwise)
    std::vector<std::size_t> term_first_;  // per excess term: its first set among the parameters after the records
};

}  // namespace eqcore
