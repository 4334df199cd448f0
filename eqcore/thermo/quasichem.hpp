// The quasichemical liquid (SUBG pairs, SUBQ quadruplets on two sublattices)
// as a phase model. Its internal variables are the quadruplet amounts N_k
// (canonical order below); its reported constituents are the end members,
// end member AX being (nu_A Z^A_{AA/XX} / 2) mol of quadruplet AA/XX (its
// potential at the phase's internal equilibrium). The standard part is
// g°_k = sum_m w_km G°_m, the ideal part sum_k N_k ln x_k is the interface's
// own, and the remainder holds the rest of the configurational entropy
// (ion, pair and coordination-equivalent terms) and the excess terms.
//
// Quadruplet order: anion blocks first X = Y in anion order, then X < Y by Y,
// then X; inside a block first AA for every cation, then A < B by B, then A.
#pragma once

#include <array>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "data/quasichem.hpp"
#include "thermo/phase_model.hpp"

namespace eqcore {

// One quadruplet AB/XY: its ions (one numbering, cations then anions), the
// coordination numbers of its four positions, its multiplicity.
struct Quadruplet {
    std::array<int, 4> ion{};
    std::array<double, 4> z{};
    double multiplicity = 1.0;
};

// The quadruplets of a phase in canonical order with their coordination
// numbers (listed, or the defaults built from the listed ones).
std::vector<Quadruplet> quadruplets(const QuasichemData& d);

// The name of a quadruplet from its ions, "A-B-X-Y" ("Ga-In-Va-Va").
std::string quadruplet_name(const QuasichemData& d, const Quadruplet& q);

// Site fractions of the ions (cations, then anions; each sublattice sums to
// 1) at quadruplet amounts or fractions x: n_i = sum_k sum_{positions p of k
// holding i} x_k / Z^p_k.
std::vector<double> ion_site_fractions(const QuasichemData& d, const std::vector<Quadruplet>& q,
                                       std::span<const double> x);

// A linear form u = sum_k coef_q N_{var_q} over the quadruplet amounts.
struct LinearForm {
    std::vector<int> var;
    std::vector<double> coef;
    double at(const double* N) const {
        double u = 0.0;
        for (std::size_t q = 0; q < var.size(); ++q) u += coef[q] * N[var[q]];
        return u;
    }
};

// Linear forms over the quadruplet amounts laid out one after the other
// (compressed rows), equal forms stored once: evaluating all of them is one
// pass over two flat arrays.
struct FlatForms {
    std::vector<int> first{0}, var;
    std::vector<double> coef;
    std::size_t count() const { return first.size() - 1; }
    // The index of f, shared with an equal form added before.
    int add(const LinearForm& f);
    // out[i] = form i at N (the sum in the order of f's terms, as
    // LinearForm::at takes it), for every form.
    void values(const double* N, double* out) const {
        for (std::size_t i = 0; i + 1 < first.size(); ++i) {
            double u = 0.0;
            for (std::size_t q = static_cast<std::size_t>(first[i]); q < static_cast<std::size_t>(first[i + 1]); ++q)
                u += coef[q] * N[var[q]];
            out[i] = u;
        }
    }
};

// One excess record prepared for evaluation (thermo/quasichem_excess.cpp).
struct QuasichemExcessTerm {
    char kind = 'G';
    int p = 0, q = 0, r = 0;
    std::array<double, 4> coef{};
    int third = 0;                 // ternary: 1 third in S1, 2 in S2, 3 in neither; 0 binary
    // A binary G record without composition powers (p = q = 0): its factor
    // is 1 at every composition, so the term is L W, linear in N.
    bool constant_factor = false;
    LinearForm weight;             // W
    std::vector<LinearForm> num, den;  // the ratios the term depends on (see the .cpp)
    // The same forms dense over the K quadruplets, for the derivatives:
    // W, then each ratio's numerator, then the distinct denominators
    // (ratio a's is den_of[a]).
    std::vector<double> rows;
    std::vector<int> den_of;
    int dens = 0;
    // W, the numerators and the denominators in the model's FlatForms (the
    // latter two empty for a constant factor, which never reads them).
    int weight_id = 0;
    std::vector<int> num_id, den_id;
};

// Adds the symmetric matrix whose lower triangle (row-major K x K, entries
// l <= k) is `lower` to hess.
void add_symmetric(std::span<const double> lower, std::size_t K, std::span<double> hess);

class QuasichemDistribution;

class QuasichemModel : public PhaseModel {
public:
    QuasichemModel(const System& sys, int phase);
    ~QuasichemModel() override;

    void standard(double T, double lnT, std::span<const int> which, std::span<StandardProps> out) const override;
    ExcessResult excess(double T, std::span<const double> w, std::span<double> grad = {}, std::span<double> hess = {},
                        std::span<const ParameterT> at_T = {}) const override;
    // Only the excess terms depend on T beyond RT (the configurational part
    // is RT times a function of w): sum over the terms that do not vanish
    // with the inactive quadruplets of |L(T2)/RT2 - L(T1)/RT1| times the
    // largest coefficient of the term's weight W, its composition factor
    // lying in [0, 1].
    double excess_change_bound(double T1, double T2, std::span<const char> active) const override;
    void constituent_amounts(std::span<const double> v, std::span<double> n) const override;
    bool internal_state(double T, std::span<const double> n, std::span<double> v,
                        std::span<double> dmu) const override;

    const std::vector<Quadruplet>& quads() const { return quads_; }
    const QuasichemData& data() const { return data_; }
    // Weight of end member m in quadruplet k (section of the split).
    double weight(int k, int m) const { return w_[static_cast<std::size_t>(k) * static_cast<std::size_t>(nem_) + static_cast<std::size_t>(m)]; }

    // The configurational remainder alone and the excess terms alone (per
    // mol of quadruplets at fractions w; gradient and Hessian added to the
    // spans when not empty).
    double configurational(std::span<const double> w, std::span<double> grad, std::span<double> hess) const;
    ExcessResult excess_terms(double T, std::span<const double> w, std::span<double> grad,
                              std::span<double> hess) const;

private:
    QuasichemData data_;
    std::vector<Quadruplet> quads_;
    int nem_ = 0;
    std::vector<double> w_;                 // quadruplets x end members
    std::vector<LinearForm> forms_;         // configurational forms u_t ...
    std::vector<double> form_sign_;         // ... and their weights s_t
    // The forms' directions: u_t = a_t u_j (u_j the form of direction j),
    // forms with proportional coefficients (a positive scale a_t) sharing
    // one. Along direction j the forms add up to
    //     sum_t s_t u_t ln u_t = u_j (c_j + s_j ln u_j),
    // s_j = sum_t s_t a_t, c_j = sum_t s_t a_t ln a_t: one logarithm per
    // direction, slope c_j + s_j (ln u_j + 1), curvature s_j / u_j.
    std::vector<LinearForm> dirs_;
    std::vector<double> dir_sign_, dir_const_;
    std::vector<double> ln_mult_;           // ln m_k
    std::vector<QuasichemExcessTerm> terms_;
    FlatForms excess_forms_;                // every form the excess terms use, once
    bool excess_uses_lnT_ = false;          // a term with a T ln T coefficient
    // The internal-equilibrium solver with its last solution (the start of
    // the next solve); a caller finding it busy (another thread) solves with
    // one of its own.
    mutable std::mutex distribution_mutex_;
    mutable std::unique_ptr<QuasichemDistribution> distribution_;

    friend bool internal_equilibrium(const QuasichemModel&, double, std::span<const double>, std::span<double>,
                                     std::span<double>);
};

// The quadruplet distribution that minimises the phase's G at T with the
// element amounts of end-member amounts `n` (internal equilibrium), into v;
// with `dmu` (end members^2, or empty) the derivatives of the end members'
// potentials d(mu_k)/d(n_l) along it. Returns false when the Newton
// iteration did not meet its tolerances. Starts from the model's last
// solution (thermo/quasichem_distribution.hpp).
bool internal_equilibrium(const QuasichemModel& model, double T, std::span<const double> n, std::span<double> v,
                          std::span<double> dmu = {});

}  // namespace eqcore
