// The internal equilibrium of a quasichemical liquid: at given end-member
// amounts (their element amounts b), the quadruplet amounts N minimising
// the phase's G subject to sum_k nu_ke N_k = b_e. One solver object per
// phase model keeps its work arrays (no allocation once their sizes are
// set) and its last solution, from which the next solve starts.
#pragma once

#include <span>
#include <vector>

#include <Eigen/Dense>

#include "thermo/small_lu.hpp"
#include "thermo/standard.hpp"

namespace eqcore {

class QuasichemModel;

class QuasichemDistribution {
public:
    explicit QuasichemDistribution(const QuasichemModel& model);

    // Solves at temperature T for end-member amounts n, into v (the
    // model's variables); with `dmu` (end members^2, or empty) the
    // derivatives d(mu_k)/d(n_l) of the end members' potentials along the
    // internal equilibrium. Returns false when Newton did not meet its
    // tolerances (v then holds no solution).
    bool solve(double T, std::span<const double> n, std::span<double> v, std::span<double> dmu);

private:
    // Element amounts of n and the quadruplets that take part; returns
    // false when there is no material.
    bool prepare(std::span<const double> n);
    void select_constraints();
    void start_cold(std::span<const double> n);
    // mu_k and, with `hessian`, d2G/dN_k dN_l of the taking part, J/mol.
    void evaluate(bool hessian);
    double stationarity() const;  // max |mu - A lambda| / RT
    double imbalance();           // max |b - A' N| / b over the elements
    void factor();
    // Whether the factorisation at hand is of this temperature, set of
    // quadruplets and constraint rows (at any element amounts).
    bool factored_alike() const;
    // One Newton step with the factorisation at hand; returns the step
    // length taken (1: undamped), or -1 when it was not finite.
    double step();
    void potential_derivatives(std::span<double> dmu);
    int m_on() const { return static_cast<int>(on_.size()); }

    const QuasichemModel& model_;
    int K_ = 0, E_ = 0, M_ = 0;
    double T_ = 0.0, RT_ = 0.0;
    std::vector<StandardProps> sp_;
    std::vector<double> g0_;          // standard potential per quadruplet at T_
    double g0_T_ = -1.0;              // temperature g0_ holds
    std::vector<double> b_;           // element amounts of the material
    std::vector<double> content_;     // element amounts of the iterate N (imbalance)
    std::vector<int> on_;             // quadruplets taking part
    std::vector<int> rows_;           // elements whose balances are the constraints
    Eigen::MatrixXd A_;               // m x r: nu_ke / b_e of the constraints
    Eigen::MatrixXd basis_;           // orthonormal basis of their columns (selection)
    // The last selection: its quadruplets, the present elements scarcest
    // first, and the rows it kept (independence does not depend on the
    // elements' amounts, only on that order).
    std::vector<int> sel_on_, sel_order_, sel_rows_, order_;
    Eigen::MatrixXd S_, nu_;          // d lambda / d(b / b), end members' scaled rows
    Eigen::VectorXd N_, lambda_, g_;  // amounts, multipliers, potentials
    double hess_total_ = 1.0;         // the total amount of the last evaluation of hess_
    Eigen::VectorXd rhs_, sol_;
    SmallLU lu_;
    // What lu_ was factored at: element amounts, quadruplets, rows, T.
    std::vector<double> lu_b_;
    std::vector<int> lu_on_, lu_rows_;
    double lu_T_ = -1.0;
    std::vector<double> full_, grad_, hess_;  // in all K quadruplets
    std::vector<double> ion_;                 // per ion: its fraction in the cold start
    // The last solution: its temperature, elements, taking-part set, amounts.
    bool have_last_ = false;
    double last_T_ = 0.0;
    std::vector<double> last_b_, last_N_;
    std::vector<int> last_on_, last_rows_;
    Eigen::VectorXd last_lambda_;
    // g_ holds the potentials at the last solution.
    bool eval_at_last_ = false;
    // The last chord step from a last solution: its residual over the
    // square of the one it started from (0: none seen yet).
    double chord_growth_ = 0.0;
    std::vector<double> em_rows_;     // end members x elements: their element content
};

}  // namespace eqcore
