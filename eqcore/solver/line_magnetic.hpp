// The magnetic term of a distance with one free direction, per formula
// unit over RT,
//     M(t) = s ln(beta*(t) + 1) f(T / T*(t)),
// along the line of line_minimum.cpp: sound enclosures of M, M' and M'' over
// a piece of [0, 1] where the term's formula is fixed, and the points where
// that formula changes.
#pragma once

#include "solver/line_poly.hpp"
#include "thermo/line_polynomial.hpp"

namespace eqcore::detail {

// What fixes the formula on a piece: the signs of the polynomial values of
// beta* and T* (a negative one is scaled by -m) and of T* - T (f's branch:
// tau < 1 where T* > T). 0: not known on the piece.
struct MagneticBranch {
    signed char sign[3];  // MagneticBranch{}: all 0
};

// The three polynomials whose signs make up a branch, in this order.
enum MagneticGate { kBetaSign = 0, kTcSign = 1, kOrdered = 2 };

// Enclosures of M, M' and M'' over a piece.
struct MagneticRanges {
    Range m, m1, m2;
};

// M at t, its formula decided by the computed values as the model decides
// it (0 where the term is off).
double line_magnetic_value(const LineMagnetic& line, double T, double scale, double t);
// A bound on |M| over [0, 1] (0 where the term is off).
double line_magnetic_size(const LineMagnetic& line, double T, double scale);

class MagneticLine {
public:
    // False where the term cannot be bounded here (a structure factor
    // outside (0, 1], T <= 0).
    bool build(const LineMagnetic& line, double T, double scale);
    bool on() const { return on_; }

    // Fills the signs of `br` that are not known yet and are decided on
    // [l, r] by enclosures; returns the first gate still undecided that the
    // term depends on, or -1 where the formula is fixed on [l, r].
    int undecided(double l, double r, MagneticBranch& br) const;
    // Gate k's polynomial (its sign is that gate's sign) and derivative,
    // given the signs of the gates before it.
    const Poly& gate(int k, const MagneticBranch& br) const;
    const Poly& gate_slope(int k, const MagneticBranch& br) const;
    // Enclosures over [l, r] (l == r: at a point) on a piece whose formula
    // `br` fixes (undecided() returned -1).
    MagneticRanges ranges(double l, double r, const MagneticBranch& br) const;
    // M at t (line_magnetic_value).
    double value(double t) const;
    // A bound on |M| over [0, 1].
    double size() const { return size_; }

private:
    bool zero(const MagneticBranch& br) const;
    MagneticRanges compute(double l, double r, const MagneticBranch& br) const;

    bool on_ = false;
    const LineMagnetic* line_ = nullptr;
    double T_ = 0.0, scale_ = 0.0, size_ = 0.0;
    double beta_neg_ = 0.0, tc_neg_ = 0.0;  // -m for beta* and T*
    double p_ = 0.0, A_ = 0.0, K_ = 0.0, c1_ = 0.0;
    // beta's and T's polynomial values (raw), beta* (raw and scaled by -m)
    // and x = T* / T (raw and scaled), each with two derivatives; the gates
    // T* / T - 1 for either sign of T*'s polynomial.
    Poly b_[3], bn_[3], x_[3], xn_[3], t_[2], gx_[2], gxn_[2];
    // T* and beta* the same all along the line (their polynomials
    // constant): the enclosures over all of it hold on every piece, and are
    // formed once per branch (the last one kept).
    bool flat_ = false;
    mutable bool cached_ = false;
    mutable MagneticBranch cached_br_{};
    mutable MagneticRanges cached_ranges_{};
};

}  // namespace eqcore::detail
