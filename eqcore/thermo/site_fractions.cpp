#include "thermo/site_fractions.hpp"

#include <algorithm>
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

ExcessResult site_fraction_excess(const ModelLayout& l, double T, std::span<const double> w, std::span<const double> y,
                                  const ExcessSums& in_y, std::span<double> grad, std::span<double> hess) {
    const auto m = sz(l.variables);
    if (w.size() != m || y.size() != m || (!grad.empty() && grad.size() != m) ||
        (!hess.empty() && hess.size() != m * m))
        throw std::invalid_argument("site_fraction_excess: array sizes do not match the layout");
    const double A = l.formula_sites();
    ExcessResult r;
    r.g = in_y.f / A;
    r.s = -in_y.f_t / A;
    r.h = (in_y.f - T * in_y.f_t) / A;
    r.cp = -T * in_y.f_tt / A;
    if (grad.empty() && hess.empty()) return r;

    // Per variable: its group (an index), its group's share W of the amount
    // and phi = f_i - (y.f)_group. One work array holds W and phi, and for
    // the Hessian 1/W, Y and YY below.
    const int ng = l.groups();
    const std::size_t nY = hess.empty() ? 0 : sz(ng) * m + sz(ng) * sz(ng);
    ScratchArray<int> group_buf(m);
    ScratchArray<double, 256> work(3 * m + nY);
    std::span<int> group = group_buf.span();
    double* W = work.span().data();
    double* phi = W + m;
    std::span<const double> fy = in_y.grad;
    for (int g = 0; g < ng; ++g) {
        const auto first = sz(l.group_first[sz(g)]), end = sz(l.group_first[sz(g) + 1]);
        double Wg = 0.0, yf = 0.0;
        for (std::size_t i = first; i < end; ++i) Wg += w[i];
        for (std::size_t i = first; i < end; ++i) yf += y[i] * fy[i];
        for (std::size_t i = first; i < end; ++i) {
            group[i] = g;
            W[i] = Wg;
            phi[i] = fy[i] - yf;
        }
    }
    for (std::size_t i = 0; i < grad.size(); ++i) grad[i] = r.g + phi[i] / (A * W[i]);
    if (hess.empty()) return r;

    // F = f_yy centred on both sides within the groups. With f_yy symmetric,
    //   F_ik = f_ik - Y(g(i), k) - Y(g(k), i) + YY(g(i), g(k)),
    //   Y(g, k) = sum_{j in g} y_j f_jk,  YY(g, h) = sum_{k in h} y_k Y(g, k):
    // Y and YY once (ng x m and ng x ng), then each entry of the upper
    // triangle, mirrored (the result is symmetric to the last bit).
    const double* H = in_y.hess.data();
    double* out = hess.data();
    double* inv = phi + m;
    double* Yg = inv + m;
    double* YY = Yg + sz(ng) * m;
    for (std::size_t j = 0; j < m; ++j) {
        double* to = Yg + sz(group[j]) * m;
        const double* row = H + j * m;
        for (std::size_t k = 0; k < m; ++k) to[k] += y[j] * row[k];
    }
    for (int g = 0; g < ng; ++g)
        for (std::size_t k = 0; k < m; ++k) YY[sz(g) * sz(ng) + sz(group[k])] += y[k] * Yg[sz(g) * m + k];
    // phi / W (the share of its group) per variable.
    for (std::size_t i = 0; i < m; ++i) {
        inv[i] = 1.0 / W[i];
        phi[i] *= inv[i];
    }
    // Groups are consecutive ranges of the variables: g(i) <= g(k) for i <= k.
    const double* pw = phi;
    for (std::size_t i = 0; i < m; ++i) {
        const auto gi = sz(group[i]);
        for (std::size_t k = i; k < m; ++k) {
            const auto gk = sz(group[k]);
            const double F = H[i * m + k] - Yg[gi * m + k] - Yg[gk * m + i] + YY[gi * sz(ng) + gk];
            double h = pw[i] + pw[k] + F * inv[i] * inv[k];
            if (gi == gk) h -= inv[i] * (pw[i] + pw[k]);  // the terms of one group
            out[i * m + k] = out[k * m + i] = h / A;
        }
    }
    return r;
}

}  // namespace eqcore
