#include "thermo/phase_props.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "thermo/excess.hpp"
#include "thermo/scratch.hpp"
#include "thermo/standard.hpp"

namespace eqcore {

namespace {

PhaseProps pure_props(const Constituent& c, double T, double n, const StandardProps* given, std::span<double> mu,
                      std::span<double> dmu) {
    const StandardProps sp = given ? given[0] : standard(c, T);
    if (!mu.empty()) mu[0] = sp.g;
    if (!dmu.empty()) dmu[0] = 0.0;
    PhaseProps out;
    out.G = n * sp.g;
    out.H = n * sp.h;
    out.S = n * sp.s;
    out.Cp = n * sp.cp;
    out.V = n * c.molar_volume;
    return out;
}

// `given`: standard-state values of the phase's constituents at T, or null
// to evaluate them here.
PhaseProps props(const System& sys, int phase, double T, double P, std::span<const double> n,
                 const StandardProps* given, std::span<double> mu, std::span<double> dmu) {
    if (phase < 0 || phase >= sys.phase_count()) throw std::out_of_range("phase_props: no phase " + std::to_string(phase));
    const Phase& ph = sys.phases[static_cast<std::size_t>(phase)];
    const auto count = static_cast<std::size_t>(ph.count);
    if (n.size() != count || (!mu.empty() && mu.size() != count) || (!dmu.empty() && dmu.size() != count * count))
        throw std::invalid_argument("phase_props: array sizes do not match the phase " + ph.name);

    if (ph.model == Model::pure) return pure_props(sys.constituent(phase, 0), T, n[0], given, mu, dmu);

    double N = 0.0;
    for (double v : n) N += v;
    if (!(N > 0.0)) {
        // An empty mixture: no amount, no properties; its potentials are
        // undefined and left 0.
        std::fill(mu.begin(), mu.end(), 0.0);
        std::fill(dmu.begin(), dmu.end(), 0.0);
        return {};
    }

    Scratch x_buffer(count);
    std::span<double> x = x_buffer.span();
    for (std::size_t i = 0; i < count; ++i) x[i] = n[i] / N;

    // Excess part first: it fills mu with the partial molar excess Gibbs
    // energies and dmu with N dmu_ex/dn; the ideal parts are added below.
    const ExcessResult ex = excess(ph, T, x, mu, dmu);

    const double RT = kR * T;
    const bool gas = ph.model == Model::ideal_gas;
    const double ln_p = gas ? std::log(P / kPstd) : 0.0;
    const double lnT = std::log(T);
    PhaseProps out;
    for (std::size_t i = 0; i < count; ++i) {
        const StandardProps sp = given ? given[i] : standard(sys.constituent(phase, static_cast<int>(i)), T, lnT);
        const double ln_a = std::log(x[i]) + ln_p;  // -inf for an absent constituent
        if (n[i] > 0.0) {
            out.G += n[i] * (sp.g + RT * ln_a);
            out.S += n[i] * (sp.s - kR * ln_a);
        }
        out.H += n[i] * sp.h;
        out.Cp += n[i] * sp.cp;
        out.V += n[i] * sys.constituent(phase, static_cast<int>(i)).molar_volume;
        if (!mu.empty()) mu[i] += sp.g + RT * ln_a;
    }
    out.G += N * ex.g;
    out.H += N * ex.h;
    out.S += N * ex.s;
    out.Cp += N * ex.cp;
    if (gas) out.V = N * kR * T / P;

    if (!dmu.empty()) {
        // Ideal part RT (delta_ij / n_i - 1/N); the excess part was N dmu/dn.
        for (std::size_t i = 0; i < count; ++i) {
            for (std::size_t j = 0; j < count; ++j) {
                double& d = dmu[i * count + j];
                d = d / N - RT / N;
                if (i == j) d += RT / n[i];
            }
        }
    }
    return out;
}

}  // namespace

PhaseProps phase_props(const System& sys, int phase, double T, double P, std::span<const double> n,
                       std::span<double> mu, std::span<double> dmu) {
    return props(sys, phase, T, P, n, nullptr, mu, dmu);
}

PhaseProps phase_props(const System& sys, int phase, double T, double P, std::span<const double> n,
                       std::span<const StandardProps> standard, std::span<double> mu, std::span<double> dmu) {
    if (standard.size() != n.size()) throw std::invalid_argument("phase_props: standard values do not match the amounts");
    return props(sys, phase, T, P, n, standard.data(), mu, dmu);
}

}  // namespace eqcore
