// The magnetic contribution (Inden, in the Hillert-Jarl form) that a
// RKMPM, QKTOM or SUBLM phase carries, per formula unit:
//
//   G_mag = R T ln(beta* + 1) f(T / T*)
//
// T*(y) and beta*(y) are the compound-energy polynomials of the end
// members' Tc and beta and the magnetic records (thermo/cef.hpp), a
// negative value multiplied by -m (the phase's antiferromagnetic
// multiplier); G_mag = 0 where T* <= 0 or beta* <= 0. With p the structure
// factor and A = 518/1125 + (11692/15975)(1/p - 1):
//   tau <= 1: f = 1 - [79/(140 p tau) + (474/497)(1/p - 1)(tau^3/6 + tau^9/135 + tau^15/600)] / A
//   tau >  1: f = -[tau^-5/10 + tau^-15/315 + tau^-25/1500] / A
// The term adds to the sums of a model's remainder in its site (mole)
// fractions, with exact temperature derivatives, gradient and Hessian.
#pragma once

#include <span>
#include <vector>

#include "data/system.hpp"
#include "thermo/cef.hpp"
#include "thermo/line_polynomial.hpp"
#include "thermo/parameter.hpp"

namespace eqcore {

// f(tau) and its first two derivatives for structure factor p.
struct MagneticF {
    double f = 0.0, f1 = 0.0, f2 = 0.0;
};
MagneticF magnetic_f(double tau, double p);

class MagneticTerm {
public:
    MagneticTerm() = default;
    // `sl`: the phase's sublattices (one sublattice of its constituents for
    // a substitutional phase); `end_members`: its constituents.
    MagneticTerm(const Magnetic& m, const Sublattices& sl, int end_members);

    bool present() const { return present_; }
    // Whether G_mag can be other than 0 anywhere (some T* and some beta*
    // value not 0); where not, add() adds nothing.
    bool contributes() const { return contributes_; }
    // Adds G_mag (J per formula unit), its temperature derivatives and, when
    // the spans are not empty, its gradient and Hessian in y, to `s`.
    void add(double T, std::span<const double> y, ExcessSums& s) const;
    // T* and beta* at y (0 when not magnetic there).
    double critical_temperature(std::span<const double> y) const;
    double moment(std::span<const double> y) const;
    // The term along the line y0 + t dy: its T* and beta* polynomials in t
    // (CefPolynomial::along_line) and constants; out.on = contributes().
    // False where a polynomial's degree exceeds what LinePolynomial holds.
    bool along_line(std::span<const double> y0, std::span<const double> dy, LineMagnetic& out) const;
    // A bound on |G_mag(T2, y) / (R T2) - G_mag(T1, y) / (R T1)| over every
    // y (per formula unit): Tc and beta do not depend on T, so the change
    // is ln(beta* + 1) (f(T2/T*) - f(T1/T*)), at most ln(beta*max + 1)
    // |ln(T2/T1)| sup tau f'(tau) over tau >= min(T1, T2) / T*max, plus the
    // step f makes at tau = 1; infinite for a structure factor outside (0, 1].
    double change_bound(double T1, double T2) const;
    // A lower bound (<= 0) on that change: f increases with tau but for its
    // step at tau = 1, so as T rises only that step can lower it.
    double least_change(double T1, double T2) const;

private:
    // T* or beta* from its polynomial value: a negative value times -m.
    double scaled(double v) const { return v < 0.0 ? -afm_ * v : v; }
    // The bound of |change| (fall: of a fall only).
    double bound(double T1, double T2, bool fall) const;
    double polynomial(const CefPolynomial& poly, const std::vector<ParameterT>& at, std::span<const double> y) const;

    bool present_ = false;
    bool contributes_ = false;  // some T* and some beta* value not 0
    double afm_ = 0.0, p_ = 0.0;
    int end_members_ = 0;
    CefPolynomial poly_;  // the terms of T* and of beta* (the same records, their own values)
    std::vector<ParameterT> tc_at_, beta_at_;
};

}  // namespace eqcore
