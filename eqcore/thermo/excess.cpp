#include "thermo/excess.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "thermo/scratch.hpp"

namespace eqcore {

ParameterT parameter_with_derivatives(const std::array<double, 6>& L, double T) {
    const auto& [A, B, C, D, E, F] = L;
    const double lnT = std::log(T);
    ParameterT p;
    p.v = A + B * T + C * T * lnT + D * T * T + E * T * T * T + F / T;
    p.d1 = B + C * (lnT + 1.0) + 2.0 * D * T + 3.0 * E * T * T - F / (T * T);
    p.d2 = C / T + 2.0 * D + 6.0 * E * T + 2.0 * F / (T * T * T);
    return p;
}

namespace {

// L(T) with ln T given (for callers that evaluate many sets at one T).
double value_at(const std::array<double, 6>& L, double T, double lnT) {
    const auto& [A, B, C, D, E, F] = L;
    return A + B * T + C * T * lnT + D * T * T + E * T * T * T + F / T;
}

}  // namespace

// ln T only where the set has a T ln T term (its product is 0 otherwise).
double parameter_value(const std::array<double, 6>& L, double T) {
    return value_at(L, T, L[2] != 0.0 ? std::log(T) : 0.0);
}

ExcessResult mixture_excess(const Phase& phase, ExcessTerms terms, double T, std::span<const double> x,
                            std::span<double> mu, std::span<double> dmu, const MagneticTerm* magnetic,
                            std::span<const ParameterT> at_T) {
    const auto n = static_cast<std::size_t>(phase.count);
    if (x.size() != n || (!mu.empty() && mu.size() != n) || (!dmu.empty() && dmu.size() != n * n))
        throw std::invalid_argument("excess: array sizes do not match the phase " + phase.name);
    std::fill(mu.begin(), mu.end(), 0.0);
    std::fill(dmu.begin(), dmu.end(), 0.0);

    // The models fill the gradient of f(x) into mu and its Hessian into dmu.
    ExcessSums s;
    s.grad = mu;
    s.hess = dmu;
    s.n = n;
    s.at_T = at_T;
    terms(phase, T, x, s);
    if (magnetic != nullptr) magnetic->add(T, x, s);

    // G_ex = N f(n/N). With g = grad f and H = Hess f:
    //   mu_k          = f + g_k - x.g
    //   N dmu_k/dn_m  = H_km - (Hx)_k - (Hx)_m + x.H.x
    if (!dmu.empty()) {
        Scratch hx_buffer(n);
        std::span<double> hx = hx_buffer.span();
        double xhx = 0.0;
        for (std::size_t k = 0; k < n; ++k) {
            double sum = 0.0;
            for (std::size_t m = 0; m < n; ++m) sum += dmu[k * n + m] * x[m];
            hx[k] = sum;
            xhx += x[k] * sum;
        }
        for (std::size_t k = 0; k < n; ++k)
            for (std::size_t m = 0; m < n; ++m) dmu[k * n + m] += xhx - hx[k] - hx[m];
    }
    if (!mu.empty()) {
        double xg = 0.0;
        for (std::size_t k = 0; k < n; ++k) xg += x[k] * mu[k];
        for (std::size_t k = 0; k < n; ++k) mu[k] += s.f - xg;
    }

    ExcessResult r;
    r.g = s.f;
    r.s = -s.f_t;
    r.h = s.f - T * s.f_t;
    r.cp = -T * s.f_tt;
    return r;
}

namespace {
double monomial_bound(const Interaction& in);
}  // namespace

MixtureModel::MixtureModel(const System& sys, int phase, ExcessTerms terms, InteractionCurvature curvature,
                           InteractionThird third)
    : PhaseModel(sys, phase),
      phase_(sys.phases[static_cast<std::size_t>(phase)]),
      terms_(terms),
      curvature_(curvature),
      third_(third),
      magnetic_(phase_.magnetic, one_sublattice(phase_.count), phase_.count) {
    layout_.ideal = false;
    for (const Interaction& in : phase_.excess) {
        parameter_count_ += in.sets.size();
        top_.push_back(monomial_bound(in));
    }
}

std::size_t MixtureModel::parameter_count() const { return parameter_count_; }

void MixtureModel::parameters(double T, std::span<ParameterT> out) const {
    std::size_t k = 0;
    for (const Interaction& in : phase_.excess)
        for (const auto& set : in.sets) out[k++] = parameter_with_derivatives(set, T);
}

namespace {

// Largest magnitude of an interaction's monomial over the composition
// simplex. Polynomial (Kohler) form with exponents e: s^E prod xi_a^e_a
// with the xi summing to 1 and s <= 1, at most prod (e_a / E)^e_a (E the sum
// of the e_a); the forms with joined sets lie below the same product.
// Redlich-Kister: x_i x_j (x_i - x_j)^v at most 1/4, x_i x_j x_k times a
// fraction at most 1/27, x_i x_j x_k x_l at most 1/256.
double monomial_bound(const Interaction& in) {
    if (in.exponent.empty()) return in.index.size() == 2 ? 0.25 : in.index.size() == 3 ? 1.0 / 27.0 : 1.0 / 256.0;
    double E = 0.0;
    for (int e : in.exponent) {
        if (e < 0) return std::numeric_limits<double>::infinity();
        E += e;
    }
    double b = 1.0;
    for (int e : in.exponent)
        if (e > 0) b *= std::pow(e / E, e);
    return b;
}

// Whether the interaction's term is 0 wherever the inactive variables are:
// one of its constituents is inactive and enters with an exponent >= 1.
bool vanishes(const Interaction& in, std::span<const char> active) {
    for (std::size_t a = 0; a < in.index.size(); ++a) {
        const auto i = static_cast<std::size_t>(in.index[a]);
        const bool inactive = i < active.size() && !active[i];
        if (inactive && (in.exponent.empty() || in.exponent[a] >= 1)) return true;
    }
    return false;
}

}  // namespace

double MixtureModel::excess_change_bound(double T1, double T2, std::span<const char> active) const {
    if (T1 == T2) return 0.0;
    double weight = 1.0;  // W = sum w_l x_l multiplies every term in equivalent fractions
    for (double w : phase_.qkto_weight) weight = std::max(weight, w);
    double sum = 0.0;
    const double lnT1 = std::log(T1), lnT2 = std::log(T2);
    for (std::size_t t = 0; t < phase_.excess.size(); ++t) {
        const Interaction& in = phase_.excess[t];
        if (vanishes(in, active)) continue;
        double change = 0.0;
        for (const auto& set : in.sets)
            change += std::abs(value_at(set, T2, lnT2) / (kR * T2) - value_at(set, T1, lnT1) / (kR * T1));
        sum += change * top_[t];
    }
    return weight * sum + magnetic_.change_bound(T1, T2);
}

double MixtureModel::least_excess_change(double T1, double T2, std::span<const double> linear,
                                         std::span<const char> active) const {
    constexpr double unbounded = -std::numeric_limits<double>::infinity();
    double least_linear = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < linear.size(); ++i)
        if (i >= active.size() || active[i]) least_linear = std::min(least_linear, linear[i]);
    if (!std::isfinite(least_linear)) return unbounded;
    if (T1 == T2) return least_linear;
    double weight = 1.0;  // W = sum w_l x_l multiplies every term in equivalent fractions
    for (double w : phase_.qkto_weight) {
        if (!(w > 0.0)) return unbounded;
        weight = std::max(weight, w);
    }
    double fall = 0.0;
    const double lnT1 = std::log(T1), lnT2 = std::log(T2);
    for (std::size_t t = 0; t < phase_.excess.size(); ++t) {
        const Interaction& in = phase_.excess[t];
        if (vanishes(in, active)) continue;
        const double top = top_[t];
        for (std::size_t v = 0; v < in.sets.size(); ++v) {
            const double c = value_at(in.sets[v], T2, lnT2) / (kR * T2) - value_at(in.sets[v], T1, lnT1) / (kR * T1);
            const bool either_sign = in.exponent.empty() && in.index.size() == 2 && v % 2 == 1;
            const double down = either_sign ? std::abs(c) : std::max(-c, 0.0);
            if (down == 0.0) continue;
            if (!std::isfinite(top)) return unbounded;
            fall += down * top;
        }
    }
    return least_linear - weight * fall - magnetic_.change_bound(T1, T2);
}

namespace {

// The largest row sum over the active rows and columns of an n x n matrix
// of non-negative entries B[offset + (i n + j) stride] (which bounds its
// eigenvalues).
double largest_row_sum(std::span<const double> B, std::size_t n, std::size_t offset, std::size_t stride,
                       std::span<const char> active) {
    auto on = [&](std::size_t i) { return i >= active.size() || active[i]; };
    double largest = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        if (!on(i)) continue;
        double row = 0.0;
        for (std::size_t j = 0; j < n; ++j)
            if (on(j)) row += B[offset + (i * n + j) * stride];
        largest = std::max(largest, row);
    }
    return largest;
}

}  // namespace

double MixtureModel::excess_curvature_bound(double T, std::span<const char> active) const {
    constexpr double unbounded = std::numeric_limits<double>::infinity();
    if (curvature_ == nullptr || magnetic_.present()) return unbounded;
    const auto n = static_cast<std::size_t>(phase_.count);
    Scratch B_buffer(n * n);
    const std::span<double> B = B_buffer.span();
    for (const Interaction& in : phase_.excess)
        if (!vanishes(in, active) && !curvature_(phase_, in, T, B)) return unbounded;
    return largest_row_sum(B, n, 0, 1, active) / (kR * T);
}

double MixtureModel::excess_third_bound(double T, std::span<const char> active) const {
    return excess_third_bound_above(T, active, {});
}

double MixtureModel::excess_third_bound_above(double T, std::span<const char> active,
                                              std::span<const double> least) const {
    constexpr double unbounded = std::numeric_limits<double>::infinity();
    if (third_ == nullptr || magnetic_.present()) return unbounded;
    const auto n = static_cast<std::size_t>(phase_.count);
    if (!least.empty() && least.size() != n)
        throw std::invalid_argument("excess: array sizes do not match the phase " + phase_.name);
    Scratch B_buffer(n * n * n);
    const std::span<double> B = B_buffer.span();
    for (const Interaction& in : phase_.excess)
        if (!vanishes(in, active) && !third_(phase_, in, T, least, B)) return unbounded;
    double sum = 0.0;
    for (std::size_t k = 0; k < n; ++k) {
        if (k < active.size() && !active[k]) continue;
        const double largest = largest_row_sum(B, n, k, n, active);
        sum += largest * largest;
    }
    return std::sqrt(sum) / (kR * T);
}

double MixtureModel::critical_temperature(std::span<const double> v) const {
    double N = 0.0;
    for (double x : v) N += x;
    if (!magnetic_.present() || !(N > 0.0)) return 0.0;
    Scratch x(v.size());
    for (std::size_t i = 0; i < v.size(); ++i) x.span()[i] = v[i] / N;
    return magnetic_.critical_temperature(x.span());
}

ExcessResult MixtureModel::excess(double T, std::span<const double> x, std::span<double> mu, std::span<double> dmu,
                                  std::span<const ParameterT> at_T) const {
    if (!at_T.empty() && at_T.size() != parameter_count())
        throw std::invalid_argument("excess: parameter list does not match the phase " + phase_.name);
    return mixture_excess(phase_, terms_, T, x, mu, dmu, magnetic_.present() ? &magnetic_ : nullptr, at_T);
}

}  // namespace eqcore
