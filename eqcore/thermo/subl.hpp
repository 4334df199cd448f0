// The compound-energy (sublattice) model of a SUBL or SUBLM phase.
//
// Internal variables: the site amounts of the constituents of every
// sublattice (the concatenated list; a vacancy carries no element), one
// mixing group per sublattice with its site number. Reported constituents:
// the end members, end member e being a_s mol of its constituent on every
// sublattice s. Per formula unit (sum_s a_s sites, vacancies included):
//
//   G = sum_e (prod_s y_{s,e}) G°_e(T)              reference surface
//     + R T sum_s a_s sum_i y_i ln y_i               ideal mixing (the interface's part)
//     + excess records (thermo/cef.hpp)              binary, ternary, reciprocal
//     [+ G_mag (thermo/magnetic.hpp)]                SUBLM
//
// The standard part of the variables is zero; the reference surface is part
// of the remainder, whose parameters are the end members' G° and the
// records' coefficient sets at T.
#pragma once

#include "thermo/cef.hpp"
#include "thermo/magnetic.hpp"
#include "thermo/phase_model.hpp"

namespace eqcore {

class SublModel final : public PhaseModel {
public:
    SublModel(const System& sys, int phase);
    void standard(double T, double lnT, std::span<const int> which, std::span<StandardProps> out) const override;
    std::size_t parameter_count() const override { return surface_.parameter_count(); }
    void parameters(double T, std::span<ParameterT> out) const override;
    ExcessResult excess(double T, std::span<const double> w, std::span<double> grad, std::span<double> hess,
                        std::span<const ParameterT> at_T) const override;
    // Amounts of the end members: the product split N prod_s y_{s,e} when
    // every combination is an end member; otherwise end members are taken
    // greedily, each as far as its scarcest constituent allows.
    void constituent_amounts(std::span<const double> v, std::span<double> n) const override;

    // How far the remainder over RT moves with T (thermo/subl_bound.cpp):
    // the reference surface by its end members, the records and the
    // magnetic term by their largest magnitudes.
    double excess_change_bound(double T1, double T2, std::span<const char> active) const override;
    double least_excess_change(double T1, double T2, std::span<const double> linear,
                               std::span<const char> active) const override;

    // The reference surface and the records along the line; false where
    // the magnetic term contributes (not a polynomial in t).
    bool line_polynomial(std::span<const ParameterT> at_T, std::span<const double> y0, std::span<const double> dy,
                         LinePolynomial& out) const override;
    // The surface's polynomial and the magnetic term along the line.
    bool line_parts(std::span<const ParameterT> at_T, std::span<const double> y0, std::span<const double> dy,
                    LinePolynomial& out, LineMagnetic& magnetic) const override;

    double critical_temperature(std::span<const double> v) const override;
    const Sublattices& sublattices() const { return sublattices_; }
    const MagneticTerm& magnetic() const { return magnetic_; }

private:
    // Per end member e: G°_e(T2) / (R T2) - G°_e(T1) / (R T1) into `out`,
    // and whether each has every constituent marked in `active`.
    void end_member_change(double T1, double T2, std::span<const char> active, std::span<double> out,
                           std::span<char> on) const;
    // How far the records and the magnetic term can move, per formula
    // unit, over RT: either way, or (fall) down only.
    double records_change(double T1, double T2, std::span<const char> active, bool fall) const;

    Sublattices sublattices_;
    std::vector<std::array<double, 6>> sets_;  // the records' coefficient sets, in order
    CefPolynomial surface_;
    MagneticTerm magnetic_;
    bool complete_ = false;
};

}  // namespace eqcore
