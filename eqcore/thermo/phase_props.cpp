#include "thermo/phase_props.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "thermo/models.hpp"
#include "thermo/scratch.hpp"

namespace eqcore {

namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

PhaseProps pure_props(const PhaseModel& model, double T, double n, std::span<const StandardProps> given,
                      std::span<double> mu, std::span<double> hess) {
    StandardProps sp;
    if (given.empty()) {
        model.standard(T, std::log(T), {}, std::span<StandardProps>(&sp, 1));
    } else {
        sp = given[0];
    }
    if (!mu.empty()) mu[0] = sp.g;
    if (!hess.empty()) hess[0] = 0.0;
    PhaseProps out;
    out.G = n * sp.g;
    out.H = n * sp.h;
    out.S = n * sp.s;
    out.Cp = n * sp.cp;
    out.V = n * model.layout().volume[0];
    return out;
}

}  // namespace

PhaseProps evaluate(const PhaseModel& model, double T, double P, std::span<const double> v,
                    std::span<const StandardProps> given, std::span<double> mu, std::span<double> hess,
                    std::span<const double> ln_fraction, std::span<const ParameterT> at_T) {
    const ModelLayout& l = model.layout();
    const auto count = sz(l.variables);
    if (v.size() != count || (!given.empty() && given.size() != count) || (!mu.empty() && mu.size() != count) ||
        (!hess.empty() && hess.size() != count * count) || (!ln_fraction.empty() && ln_fraction.size() != count))
        throw std::invalid_argument("phase_props: array sizes do not match the phase " + model.phase_name());

    if (l.pure) return pure_props(model, T, v[0], given, mu, hess);

    double N = 0.0;
    for (double a : v) N += a;
    if (!(N > 0.0)) {
        // An empty mixture: no amount, no properties; its potentials are
        // undefined and left 0.
        std::fill(mu.begin(), mu.end(), 0.0);
        std::fill(hess.begin(), hess.end(), 0.0);
        return {};
    }

    Scratch x_buffer(count);
    std::span<double> x = x_buffer.span();
    for (std::size_t i = 0; i < count; ++i) x[i] = v[i] / N;

    // The remainder first: it fills mu with its gradient and hess with N
    // times its Hessian; the standard and ideal parts are added below.
    const ExcessResult ex = model.excess(T, x, mu, hess, at_T);

    const double RT = kR * T;
    const double ln_p = l.gas ? std::log(P / kPstd) : 0.0;
    ScratchArray<StandardProps> sp_buffer(given.empty() ? count : 0);
    std::span<const StandardProps> sp = given;
    if (given.empty()) {
        model.standard(T, std::log(T), {}, sp_buffer.span());
        sp = sp_buffer.span();
    }
    const bool one_group = l.groups() == 1;
    PhaseProps out;
    // ln_y: ln of the fraction within the group, -inf for an absent variable.
    auto add = [&](std::size_t i, double ln_y) {
        const double ln_a = ln_y + ln_p;
        if (v[i] > 0.0) {
            out.G += v[i] * (sp[i].g + RT * ln_a);
            out.S += v[i] * (sp[i].s - kR * ln_a);
        }
        out.H += v[i] * sp[i].h;
        out.Cp += v[i] * sp[i].cp;
        out.V += v[i] * l.volume[i];
        if (!mu.empty()) mu[i] += sp[i].g + RT * ln_a;
    };
    if (!ln_fraction.empty()) {
        for (std::size_t i = 0; i < count; ++i) add(i, v[i] > 0.0 ? ln_fraction[i] : -HUGE_VAL);
    } else if (one_group) {
        for (std::size_t i = 0; i < count; ++i) add(i, std::log(x[i]));
    } else {
        for (int g = 0; g < l.groups(); ++g) {
            const auto first = sz(l.group_first[sz(g)]), end = sz(l.group_first[sz(g) + 1]);
            double Ng = 0.0;
            for (std::size_t i = first; i < end; ++i) Ng += v[i];
            for (std::size_t i = first; i < end; ++i) add(i, std::log(v[i] / Ng));
        }
    }
    out.G += N * ex.g;
    out.H += N * ex.h;
    out.S += N * ex.s;
    out.Cp += N * ex.cp;
    if (l.gas) out.V = N * kR * T / P;

    if (!hess.empty()) {
        // Ideal part RT (delta_ij / v_i - 1/N_g) within a group g; the
        // remainder's part was given times N.
        for (int g = 0; g < l.groups(); ++g) {
            const auto first = sz(l.group_first[sz(g)]), end = sz(l.group_first[sz(g) + 1]);
            double Ng = N;
            if (!one_group) {
                Ng = 0.0;
                for (std::size_t i = first; i < end; ++i) Ng += v[i];
            }
            for (std::size_t i = first; i < end; ++i) {
                double* row = hess.data() + i * count;
                for (std::size_t j = 0; j < count; ++j) row[j] /= N;
                for (std::size_t j = first; j < end; ++j) row[j] -= RT / Ng;
                row[i] += RT / v[i];
            }
        }
    }
    return out;
}

PhaseProps phase_props(const PhaseModel& model, double T, double P, std::span<const double> n,
                       std::span<double> mu, std::span<double> dmu) {
    const ModelLayout& l = model.layout();
    const auto m = sz(l.variables), k = sz(l.constituents());
    if (n.size() != k || (!mu.empty() && mu.size() != k) || (!dmu.empty() && dmu.size() != k * k))
        throw std::invalid_argument("phase_props: array sizes do not match the phase " + model.phase_name());
    Scratch v(m), mu_v(mu.empty() ? 0 : m), hess_v(dmu.empty() ? 0 : m * m);
    const bool settled = model.internal_state(T, n, v.span(), dmu);
    model.own_split(v.span());
    if (l.identity) return evaluate(model, T, P, v.span(), {}, mu, dmu);
    const PhaseProps out = evaluate(model, T, P, v.span(), {}, mu_v.span(), settled ? std::span<double>{} : hess_v.span());
    // A constituent is a fixed combination of the variables: its potential
    // and their derivatives are the same combinations.
    const auto first = [&](std::size_t c) { return sz(l.content_first[c]); };
    for (std::size_t a = 0; a < k && !mu.empty(); ++a) {
        mu[a] = 0.0;
        for (std::size_t q = first(a); q < first(a + 1); ++q) mu[a] += l.content_coef[q] * mu_v.span()[sz(l.content_var[q])];
    }
    for (std::size_t a = 0; a < k && !dmu.empty() && !settled; ++a)
        for (std::size_t b = 0; b < k; ++b) {
            double d = 0.0;
            for (std::size_t q = first(a); q < first(a + 1); ++q)
                for (std::size_t r = first(b); r < first(b + 1); ++r)
                    d += l.content_coef[q] * l.content_coef[r] *
                         hess_v.span()[sz(l.content_var[q]) * m + sz(l.content_var[r])];
            dmu[a * k + b] = d;
        }
    return out;
}

PhaseProps phase_props(const System& sys, int phase, double T, double P, std::span<const double> n,
                       std::span<double> mu, std::span<double> dmu) {
    return phase_props(*make_model(sys, phase), T, P, n, mu, dmu);
}

PhaseProps phase_props(const System& sys, int phase, double T, double P, std::span<const double> n,
                       std::span<const StandardProps> standard, std::span<double> mu, std::span<double> dmu) {
    const auto model = make_model(sys, phase);
    if (!model->layout().identity || standard.size() != n.size())
        throw std::invalid_argument("phase_props: standard values do not match the amounts");
    return evaluate(*model, T, P, n, standard, mu, dmu);
}

}  // namespace eqcore
