// The one interface of every phase model. A model is built once from a
// phase of a System (thermo/models.hpp maps each model code to its
// implementation) and then evaluated without state: temperature and internal
// variables in, plain results out.
//
// Internal variables are amounts v_i (mol) on which the phase's Gibbs energy
// depends, homogeneous of degree 1:
//     G(T, P, v) = sum_i v_i G°_i(T)                   standard part, linear in v
//                + R T sum_i v_i ln(v_i / N_g(i))       ideal mixing within each group
//                [+ R T ln(P/P°) sum_i v_i]             ideal gas only
//                + (sum_i v_i) g_ex(T, v / sum_i v)     the model's own remainder
// The variables fall into mixing groups, contiguous ranges of them (the
// sublattices of a sublattice model; one group for a substitutional mixture,
// its mole fractions the fractions within the group); N_g is the amount of
// group g. The linear constraints among the variables are part of the
// layout: a formula unit holds sites_g mol of group g, and the group
// amounts stand in those fixed ratios (N_g / sites_g equal for every g; none
// with one group). A model whose groups float (an ionic liquid, whose site
// numbers follow its composition) says so, and any further homogeneous
// constraint (C v = 0) is a row of its own; the solver does not take either
// yet. The element content is linear: one mol of v_i carries row_i of the
// system's elements (a vacancy carries none).
//
// Reported constituents are what callers name, enter and receive (species,
// end members): constituent k is, per mol, the fixed combination content_k
// of the variables. Its chemical potential is the same combination of the
// variables' potentials (the constraint multipliers cancel on it), and a
// split of v into constituent amounts is the model's (unique when the
// constituents are the variables themselves; one valid split otherwise).
//
// The remainder g_ex carries everything that is not standard part or ideal
// mixing (excess terms, a reference surface that is not linear in v; a
// magnetic contribution is one more term added there). Solvers use the
// decomposition directly: they keep the standard part per temperature,
// carry the ideal part in logarithmic form, and ask the model only for the
// remainder's gradient and Hessian.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "data/system.hpp"
#include "thermo/line_polynomial.hpp"
#include "thermo/parameter.hpp"
#include "thermo/standard.hpp"

namespace eqcore {

// The remainder of a phase at fixed internal fractions, per mol of internal
// amount (sum_i v_i).
struct ExcessResult {
    double g = 0.0;   // J/mol
    double h = 0.0;   // J/mol
    double s = 0.0;   // J/(mol K)
    double cp = 0.0;  // J/(mol K)
};

// What a model's variables are and how they relate to its constituents;
// fixed when the model is built.
struct ModelLayout {
    int variables = 0;              // internal variables
    int elements = 0;               // elements of the system (width of a row)
    std::vector<double> row;        // variables x elements, row-major: atoms per mol of variable
    std::vector<double> volume;     // per variable: molar volume, m3/mol (0: none)
    std::vector<int> group_first;   // groups + 1 entries: group g is [group_first[g], group_first[g + 1])
    std::vector<double> sites;      // per group: mol of its variables per formula unit of the phase
    bool free_groups = false;       // several groups whose amounts are not in fixed ratios
    std::vector<double> constraint; // further constraints C v = 0: rows of `variables` coefficients
    // Constituent k is content_coef[q] mol of variable content_var[q] for q
    // in [content_first[k], content_first[k + 1]).
    std::vector<int> content_first;
    std::vector<int> content_var;
    std::vector<double> content_coef;
    // Variable i is made of the constituents made_of[made_first[i] ..
    // made_first[i + 1]) and takes part when they all do (a quadruplet of
    // ions of several end members); empty: a variable takes part when a
    // constituent holding it does.
    std::vector<int> made_first;
    std::vector<int> made_of;
    bool identity = true;  // the constituents are the variables, one to one
    bool gas = false;      // ideal gas: pressure term, V = (sum v) R T / P
    bool pure = false;     // stoichiometric: one constituent, always at unit activity
    bool ideal = true;     // no remainder (g_ex = 0)
    // Several sets of variables describe one state of the phase (its
    // variables are redundant; own_split gives the phase's own set): its
    // tangent-plane distance is minimised by descent, not by substitution.
    bool redundant = false;
    // Some variables may be alike (first_alike): callers ask only then.
    bool alike = false;

    int groups() const { return static_cast<int>(sites.size()); }
    int constituents() const { return static_cast<int>(content_first.size()) - 1; }
    const double* row_of(int i) const { return row.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(elements); }
    // Sum of the site numbers: mol of internal amount per formula unit.
    double formula_sites() const;
};

// The site numbers of a phase whose sublattices hold composition-dependent
// numbers of sites (an ionic liquid) at given internal amounts: per
// sublattice its sites per formula unit, the fraction of each of its species
// (sublattice after sublattice), and the amount of formula units.
struct SiteNumbers {
    std::vector<double> sites;
    std::vector<double> fraction;
    double formula_units = 0.0;
};

class PhaseModel {
public:
    virtual ~PhaseModel() = default;
    PhaseModel(const PhaseModel&) = delete;
    PhaseModel& operator=(const PhaseModel&) = delete;

    const ModelLayout& layout() const { return layout_; }
    const std::string& phase_name() const { return name_; }

    // G°, H°, S°, Cp° at T (ln T given) of the internal variables `which`
    // (all of them, in order, when empty): the standard part, J/mol and
    // J/(mol K), out[k] for variable which[k]. The base class gives the
    // constituents' own standard-state functions (identity layouts).
    virtual void standard(double T, double lnT, std::span<const int> which, std::span<StandardProps> out) const;

    // Values of the remainder's temperature functions at T (its excess
    // coefficient sets with their first and second temperature derivatives),
    // for callers that evaluate the model many times at one temperature and
    // keep them: how many, and their values. The base class: none.
    virtual std::size_t parameter_count() const { return 0; }
    virtual void parameters(double T, std::span<ParameterT> out) const;

    // The remainder at internal fractions w (sum 1), per mol of internal
    // amount. `grad` (variables, or empty): d(G_ex)/dv_i, J/mol. `hess`
    // (variables^2 row-major, or empty): (sum v) d2(G_ex)/dv_i dv_j, J/mol,
    // symmetric. Variables with w_i = 0 are absent. `at_T` (or empty): the
    // values parameters() gave at this T, which a model may use instead of
    // computing them. The base class: none.
    virtual ExcessResult excess(double T, std::span<const double> w, std::span<double> grad = {},
                                std::span<double> hess = {}, std::span<const ParameterT> at_T = {}) const;

    // A bound on how far the remainder over RT can move between two
    // temperatures: sup over w of |g_ex(T2, w) / (R T2) - g_ex(T1, w) / (R T1)|,
    // w the fractions of the variables marked in `active` (the others 0).
    // Solvers use it to tell whether an absent phase that was far from
    // forming at T1 can form at T2. A model whose variables are redundant
    // may take the sup over its own splits only (own_split), where every
    // minimum of a distance lies. The base class: 0 at the same
    // temperature (the remainder is a function of T and w), unbounded
    // otherwise.
    virtual double excess_change_bound(double T1, double T2, std::span<const char> active) const;

    // A lower bound on the same change together with a linear function of
    // the fractions: inf over w of g_ex(T2, w) / (R T2) - g_ex(T1, w) / (R T1)
    // + sum_i w_i linear_i (w as above, within the layout's site ratios). A
    // model whose remainder holds terms that move with T like the linear
    // part (a reference surface of end members) bounds both together,
    // where they largely cancel. The base class: -infinity (no joint bound;
    // callers bound the two parts apart).
    virtual double least_excess_change(double T1, double T2, std::span<const double> linear,
                                       std::span<const char> active) const;

    // A bound on the curvature of the remainder over RT at T: for every w
    // with the variables not marked in `active` at 0 and every direction u
    // among the active ones that keeps their sum,
    //     |u' Hess_w(g_ex(T, w) / (R T)) u| <= bound |u|^2
    // (Euclidean, w per mol of a substitutional mixture). Solvers use it to
    // prove a tangent-plane distance convex near a composition, where the
    // ideal part's curvature is at least 2. The base class: unbounded.
    virtual double excess_curvature_bound(double T, std::span<const char> active) const;

    // A bound on how fast that curvature changes with the composition: for
    // every w as above and directions u, v among the active variables that
    // keep their sum,
    //     |d/ds u' Hess_w(g_ex(T, w + s v) / (R T)) u| <= bound |u|^2 |v|
    // while w + s v stays in the simplex. Solvers use it to carry the exact
    // curvature at one composition over a ball around it. The base class:
    // unbounded.
    virtual double excess_third_bound(double T, std::span<const char> active) const;
    // The same bound over the part of the simplex where every variable k is
    // at least least[k] (one per variable). The base class: the bound over
    // the whole simplex, which holds on every part of it.
    virtual double excess_third_bound_above(double T, std::span<const char> active,
                                            std::span<const double> least) const;

    // The remainder per formula unit (the model's g_ex times its formula
    // sites, J) along the line of site fractions y0 + t dy (one per
    // variable, each sublattice's summing to 1 for every t in [0, 1]) as
    // a polynomial in t, the parameter values `at_T` given: true where the
    // remainder is such a polynomial, which is then added to `out`. Solvers
    // use it to find every minimum of a distance with one free direction
    // with certainty. The base class: false (not a polynomial there).
    virtual bool line_polynomial(std::span<const ParameterT> at_T, std::span<const double> y0,
                                 std::span<const double> dy, LinePolynomial& out) const;
    // The same line where the remainder is a polynomial plus a magnetic
    // term: the polynomial part added to `out` as above, the magnetic term
    // in `magnetic` (magnetic.on false where there is none). The base
    // class: line_polynomial, with no magnetic term.
    virtual bool line_parts(std::span<const ParameterT> at_T, std::span<const double> y0,
                            std::span<const double> dy, LinePolynomial& out, LineMagnetic& magnetic) const;

    // One valid split of internal amounts v into amounts of the reported
    // constituents (mol), non-negative for non-negative v. The base class:
    // identity layouts.
    virtual void constituent_amounts(std::span<const double> v, std::span<double> n) const;

    // Where several sets of internal amounts describe one state of the
    // phase (a model whose variables are redundant), replaces v by the set
    // the phase itself takes, at which the model's Gibbs energy is the
    // state's; callers giving arbitrary amounts of the constituents go
    // through it. The base class: every set is its own state.
    virtual void own_split(std::span<double> v) const;

    // The first variable f <= v that the remainder treats exactly as v at
    // these parameters (`at_T` as for excess): at any w with at most two
    // nonzero entries, exchanging the amounts of v and f leaves the value
    // of excess (g, h, s, cp) the same bit for bit, every sum over the
    // variables then having at most two nonzero terms. Lets callers that
    // sample such compositions skip one that repeats another. The base
    // class: v itself (no two variables alike).
    virtual int first_alike(int v, std::span<const ParameterT> at_T) const;

    // A model whose site numbers follow the composition fills `out` at
    // internal amounts v and returns true; the base class returns false
    // (fixed site numbers: the layout's `sites`).
    virtual bool floating_sites(std::span<const double> v, SiteNumbers& out) const;

    // The Curie (Néel) temperature T* of the magnetic term at internal
    // amounts v, K; 0 for a model without one (the base class).
    virtual double critical_temperature(std::span<const double> v) const;

    // Standard-state functions of each reported constituent at T (the
    // reference of its activity).
    void constituent_standard(double T, double lnT, std::span<StandardProps> out) const;

    // Internal amounts of given constituent amounts (a linear map).
    void internal_amounts(std::span<const double> n, std::span<double> v) const;

    // The phase at constituent amounts n, temperature T: its internal
    // amounts v. The base class: the linear map above, returning false.
    // A model whose variables settle by an internal equilibrium at given
    // constituent amounts (a quasichemical liquid) solves it, gives in `dmu`
    // (when not empty; constituents^2) the derivatives d(mu_k)/d(n_l) of its
    // constituents' potentials along that equilibrium, and returns true;
    // it throws std::runtime_error naming the phase when it cannot solve it.
    virtual bool internal_state(double T, std::span<const double> n, std::span<double> v,
                                std::span<double> dmu) const;

protected:
    // The constituents of `phase` as internal variables, one group of one
    // site per formula unit (the layout of a substitutional mixture, the gas
    // and a stoichiometric phase); models with other variables replace it.
    PhaseModel(const System& sys, int phase);

    ModelLayout layout_;
    std::string name_;
    std::vector<Constituent> constituents_;  // the reported constituents, with their data
};

}  // namespace eqcore
