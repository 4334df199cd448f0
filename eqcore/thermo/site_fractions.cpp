#include "thermo/site_fractions.hpp"

#include <stdexcept>

#include "thermo/scratch.hpp"

namespace eqcore {

namespace {
std::size_t sz(int v) { return static_cast<std::size_t>(v); }
}  // namespace

void site_fractions(const ModelLayout& l, std::span<const double> w, std::span<double> y) {
    for (int g = 0; g < l.groups(); ++g) {
        const auto first = sz(l.group_first[sz(g)]), end = sz(l.group_first[sz(g) + 1]);
        double W = 0.0;
        for (std::size_t i = first; i < end; ++i) W += w[i];
        for (std::size_t i = first; i < end; ++i) y[i] = w[i] / W;
    }
}

ExcessResult site_fraction_excess(const ModelLayout& l, double T, std::span<const double> w, const ExcessSums& in_y,
                                  std::span<double> grad, std::span<double> hess) {
    const auto m = sz(l.variables);
    if (w.size() != m || (!grad.empty() && grad.size() != m) || (!hess.empty() && hess.size() != m * m))
        throw std::invalid_argument("site_fraction_excess: array sizes do not match the layout");
    const double A = l.formula_sites();
    ExcessResult r;
    r.g = in_y.f / A;
    r.s = -in_y.f_t / A;
    r.h = (in_y.f - T * in_y.f_t) / A;
    r.cp = -T * in_y.f_tt / A;
    if (grad.empty() && hess.empty()) return r;

    // Per variable: its group's share W of the amount, its site fraction y
    // and phi = f_i - (y.f)_group.
    Scratch W_buf(m), y_buf(m), phi_buf(m);
    std::span<double> W = W_buf.span(), y = y_buf.span(), phi = phi_buf.span();
    std::span<const double> fy = in_y.grad;
    for (int g = 0; g < l.groups(); ++g) {
        const auto first = sz(l.group_first[sz(g)]), end = sz(l.group_first[sz(g) + 1]);
        double Wg = 0.0, yf = 0.0;
        for (std::size_t i = first; i < end; ++i) Wg += w[i];
        for (std::size_t i = first; i < end; ++i) {
            y[i] = w[i] / Wg;
            yf += y[i] * fy[i];
        }
        for (std::size_t i = first; i < end; ++i) {
            W[i] = Wg;
            phi[i] = fy[i] - yf;
        }
    }
    for (std::size_t i = 0; i < grad.size(); ++i) grad[i] = r.g + phi[i] / (A * W[i]);
    if (hess.empty()) return r;

    // F = f_yy centred on both sides within the groups: rows first (into
    // hess), then columns.
    const double* H = in_y.hess.data();
    double* out = hess.data();
    const int* gf = l.group_first.data();
    const int ng = l.groups();
    for (std::size_t k = 0; k < m; ++k) {
        for (int g = 0; g < ng; ++g) {
            const auto first = sz(gf[g]), end = sz(gf[g + 1]);
            double yh = 0.0;
            for (std::size_t j = first; j < end; ++j) yh += y[j] * H[j * m + k];
            for (std::size_t i = first; i < end; ++i) out[i * m + k] = H[i * m + k] - yh;
        }
    }
    for (std::size_t i = 0; i < m; ++i) {
        double* row = out + i * m;
        for (int g = 0; g < ng; ++g) {
            const auto first = sz(gf[g]), end = sz(gf[g + 1]);
            double yh = 0.0;
            for (std::size_t k = first; k < end; ++k) yh += y[k] * row[k];
            for (std::size_t k = first; k < end; ++k) row[k] -= yh;
        }
    }
    // phi / W (the share of its group) per variable: y and W are free now.
    for (std::size_t i = 0; i < m; ++i) {
        y[i] = 1.0 / W[i];
        phi[i] *= y[i];
    }
    const double* inv = y.data();
    const double* pw = phi.data();
    for (int gi = 0; gi < ng; ++gi)
        for (auto i = sz(gf[gi]); i < sz(gf[gi + 1]); ++i)
            for (int gk = 0; gk < ng; ++gk) {
                const double same = gk == gi ? inv[i] : 0.0;  // the terms of one group
                for (auto k = sz(gf[gk]); k < sz(gf[gk + 1]); ++k) {
                    const double h = pw[i] + pw[k] + out[i * m + k] * inv[i] * inv[k] - same * (pw[i] + pw[k]);
                    out[i * m + k] = h / A;
                }
            }
    return r;
}

}  // namespace eqcore
