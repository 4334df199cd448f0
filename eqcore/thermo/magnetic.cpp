#include "thermo/magnetic.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "thermo/scratch.hpp"

namespace eqcore {

MagneticF magnetic_f(double tau, double p) {
    const double A = 518.0 / 1125.0 + (11692.0 / 15975.0) * (1.0 / p - 1.0);
    MagneticF r;
    if (tau <= 1.0) {
        const double K = (474.0 / 497.0) * (1.0 / p - 1.0);
        const double t2 = tau * tau, t3 = t2 * tau, t6 = t3 * t3, t9 = t6 * t3, t15 = t9 * t6;
        r.f = 1.0 - (79.0 / (140.0 * p * tau) + K * (t3 / 6.0 + t9 / 135.0 + t15 / 600.0)) / A;
        r.f1 = -(-79.0 / (140.0 * p * t2) + K * (t2 / 2.0 + t9 / (15.0 * tau) + t15 / (40.0 * tau))) / A;
        r.f2 = -(158.0 / (140.0 * p * t3) + K * (tau + 8.0 * t9 / (15.0 * t2) + 14.0 * t15 / (40.0 * t2))) / A;
    } else {
        const double i1 = 1.0 / tau, i2 = i1 * i1, i5 = i2 * i2 * i1, i10 = i5 * i5, i15 = i10 * i5, i25 = i15 * i10;
        r.f = -(i5 / 10.0 + i15 / 315.0 + i25 / 1500.0) / A;
        r.f1 = (i5 / 2.0 + i15 * 15.0 / 315.0 + i25 * 25.0 / 1500.0) / (A * tau);
        r.f2 = -(3.0 * i5 + i15 * 15.0 * 16.0 / 315.0 + i25 * 25.0 * 26.0 / 1500.0) / (A * tau * tau);
    }
    return r;
}

MagneticTerm::MagneticTerm(const Magnetic& m, const Sublattices& sl, int end_members)
    : present_(m.present), afm_(m.afm), p_(m.structure), end_members_(end_members) {
    if (!present_) return;
    std::vector<std::vector<int>> records;
    std::vector<int> sets;
    for (const MagneticInteraction& in : m.interactions) {
        records.push_back(in.index);
        sets.push_back(static_cast<int>(in.sets.size()));
    }
    poly_ = CefPolynomial(sl, end_members, records, sets);
    for (int e = 0; e < end_members; ++e) {
        tc_at_.push_back({m.tc[static_cast<std::size_t>(e)], 0.0, 0.0});
        beta_at_.push_back({m.beta[static_cast<std::size_t>(e)], 0.0, 0.0});
    }
    for (const MagneticInteraction& in : m.interactions) {
        for (const auto& set : in.sets) {
            tc_at_.push_back({set[0], 0.0, 0.0});
            beta_at_.push_back({set[1], 0.0, 0.0});
        }
    }
    // With every T* or every beta* value 0 the term is 0 everywhere.
    const auto nonzero = [](const std::vector<ParameterT>& at) {
        return std::any_of(at.begin(), at.end(), [](const ParameterT& q) { return q.v != 0.0; });
    };
    contributes_ = nonzero(tc_at_) && nonzero(beta_at_);
}

double MagneticTerm::polynomial(const CefPolynomial& poly, const std::vector<ParameterT>& at,
                                std::span<const double> y) const {
    ExcessSums s;
    poly.add(at, y, s);
    return s.f;
}

double MagneticTerm::critical_temperature(std::span<const double> y) const {
    if (!present_) return 0.0;
    return std::max(0.0, scaled(polynomial(poly_, tc_at_, y)));
}

double MagneticTerm::moment(std::span<const double> y) const {
    if (!present_) return 0.0;
    return std::max(0.0, scaled(polynomial(poly_, beta_at_, y)));
}

bool MagneticTerm::along_line(std::span<const double> y0, std::span<const double> dy, LineMagnetic& out) const {
    out.on = contributes_;
    if (!contributes_) return true;
    out.tc = LinePolynomial{};
    out.beta = LinePolynomial{};
    out.negative = -afm_;
    out.structure = p_;
    return poly_.along_line(tc_at_, y0, dy, out.tc) && poly_.along_line(beta_at_, y0, dy, out.beta);
}

namespace {

// tau f'(tau) on either side of tau = 1; each side decreases with tau when
// 0 < p <= 1.
double tau_f1_below(double tau, double p) {
    const double A = 518.0 / 1125.0 + (11692.0 / 15975.0) * (1.0 / p - 1.0);
    const double K = (474.0 / 497.0) * (1.0 / p - 1.0);
    const double t3 = tau * tau * tau, t9 = t3 * t3 * t3, t15 = t9 * t3 * t3;
    return (79.0 / (140.0 * p * tau) - K * (t3 / 2.0 + t9 / 15.0 + t15 / 40.0)) / A;
}
double tau_f1_above(double tau, double p) {
    const double A = 518.0 / 1125.0 + (11692.0 / 15975.0) * (1.0 / p - 1.0);
    const double i1 = 1.0 / tau, i2 = i1 * i1, i5 = i2 * i2 * i1, i15 = i5 * i5 * i5, i25 = i15 * i5 * i5;
    return (i5 / 2.0 + i15 / 21.0 + i25 / 60.0) / A;
}

}  // namespace

double MagneticTerm::change_bound(double T1, double T2) const { return bound(T1, T2, false); }

double MagneticTerm::least_change(double T1, double T2) const { return -bound(T1, T2, true); }

double MagneticTerm::bound(double T1, double T2, bool fall) const {
    if (!contributes_ || T1 == T2) return 0.0;
    if (!(p_ > 0.0 && p_ <= 1.0) || !(T1 > 0.0) || !(T2 > 0.0)) return std::numeric_limits<double>::infinity();
    // The largest T* and beta*: end members' magnitudes (their products of
    // fractions sum to at most 1) plus the records', a negative value
    // scaled by -m.
    auto largest = [&](const CefPolynomial& poly, const std::vector<ParameterT>& at) {
        Scratch size(at.size());
        double ends = 0.0;
        for (std::size_t k = 0; k < at.size(); ++k) {
            size.span()[k] = std::abs(at[k].v);
            if (k < static_cast<std::size_t>(end_members_)) ends = std::max(ends, size.span()[k]);
        }
        return std::max(1.0, std::abs(afm_)) * (ends + poly.records_bound(size.span(), {}));
    };
    const double tc = largest(poly_, tc_at_), beta = largest(poly_, beta_at_);
    if (!(tc > 0.0) || !(beta > 0.0)) return 0.0;
    const double tau = std::min(T1, T2) / tc;
    const double slope = tau < 1.0 ? std::max(tau_f1_below(tau, p_), tau_f1_above(1.0, p_)) : tau_f1_above(tau, p_);
    const double step = std::abs(magnetic_f(1.0, p_).f - magnetic_f(std::nextafter(1.0, 2.0), p_).f);
    // Rising T moves f up but for the step.
    const double drift = fall && T2 > T1 ? 0.0 : std::abs(std::log(T2 / T1)) * slope;
    return std::log(beta + 1.0) * (drift + step) * (1.0 + 1e-9);
}

void MagneticTerm::add(double T, std::span<const double> y, ExcessSums& s) const {
    if (!contributes_) return;
    const std::size_t n = y.size();
    const bool grad = !s.grad.empty(), hess = !s.hess.empty();
    Scratch tg(grad || hess ? n : 0), bg(grad || hess ? n : 0), th(hess ? n * n : 0), bh(hess ? n * n : 0);
    ExcessSums ts, bs;
    ts.n = bs.n = n;
    ts.grad = tg.span();
    bs.grad = bg.span();
    ts.hess = th.span();
    bs.hess = bh.span();
    poly_.add_pair(tc_at_, beta_at_, y, ts, bs);
    // A negative polynomial value is scaled by -m, its derivatives with it.
    const double tsign = ts.f < 0.0 ? -afm_ : 1.0, bsign = bs.f < 0.0 ? -afm_ : 1.0;
    const double Ts = tsign * ts.f, Bs = bsign * bs.f;
    if (!(Ts > 0.0) || !(Bs > 0.0)) return;
    const double tau = T / Ts;
    const MagneticF F = magnetic_f(tau, p_);
    const double B = std::log(Bs + 1.0);
    s.f += kR * T * B * F.f;
    s.f_t += kR * B * (F.f + tau * F.f1);
    s.f_tt += kR * B * (2.0 * F.f1 + tau * F.f2) / Ts;
    if (!grad && !hess) return;
    // G = R T B(beta*) f(tau(T*)): chain rule through T* and beta*.
    //   tau_a = -tau T*_a / T*,  tau_ab = 2 tau T*_a T*_b / T*^2 - tau T*_ab / T*
    //   B_a = beta*_a / (beta* + 1),  B_ab = beta*_ab / (beta* + 1) - B_a B_b
    // The Hessian is symmetric (so are T*'s and beta*'s): the upper
    // triangle is formed and mirrored.
    const double RT = kR * T, inv1 = 1.0 / (Bs + 1.0);
    for (std::size_t a = 0; a < n; ++a) {
        const double Ta = tsign * ts.grad[a], Ba = bsign * bs.grad[a] * inv1;
        const double taua = -tau * Ta / Ts;
        if (grad) s.grad[a] += RT * (Ba * F.f + B * F.f1 * taua);
        if (!hess) continue;
        for (std::size_t b = a; b < n; ++b) {
            const double Tb = tsign * ts.grad[b], Bb = bsign * bs.grad[b] * inv1;
            const double taub = -tau * Tb / Ts;
            const double Tab = tsign * ts.hess[a * n + b];
            const double Bab = bsign * bs.hess[a * n + b] * inv1 - Ba * Bb;
            const double tauab = 2.0 * tau * Ta * Tb / (Ts * Ts) - tau * Tab / Ts;
            const double h = RT * (Bab * F.f + Ba * F.f1 * taub + Bb * F.f1 * taua + B * F.f2 * taua * taub + B * F.f1 * tauab);
            s.h(a, b) += h;
            if (b != a) s.h(b, a) += h;
        }
    }
}

}  // namespace eqcore
