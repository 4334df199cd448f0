// Newton's composition change of a trace constituent of a mixture, taken
// from its own row of the phase's block.
//
// The block gives the change of ln n_s as v_s / sqrt(n_s), v = z = C^-1
// X^1/2 (A dpi - r) (through the projection where the phase has
// sublattices). z is solved to the rounding of the majors' entries, so for
// a constituent far below them (iron at 1e-166 in a bcc) the quotient is
// that rounding over sqrt(n_s): a change of ln x of 1e28, which no step
// can follow. Row s of the block itself gives the same change with no
// such division. With c_sk = C_sk / sqrt(n_s) = sqrt(x_k) e_sk / (RT
// sqrt(N)) and the shifted diagonal C_ss,
//     dln_s = (w_s - rho_g - sum_{k != s} c_sk z_k) / C_ss,
// w = A dpi - r. rho_g is zero for a phase of one mixing group; with
// sublattices the projection adds the same multiple of sqrt(x_s) to every
// row of a sublattice g, found from its largest constituent m as
//     rho_g = w_m - (C z)_m / sqrt(n_m).
// Every term is at the scale of the majors: the change is as precise as
// theirs. The rows are linear in dpi, so they are written back as rows of
// V and y (times sqrt(n_s)) before the phase's part of the reduced system
// is formed from them: the element balances that system closes are then
// those of the changes the step takes (an element held by nothing but a
// trace closes exactly). This holds for any model: it uses only the block
// the model's own curvature built.
#include <algorithm>
#include <cmath>

#include "solver/newton_step.hpp"
#include "solver/workspace.hpp"

namespace eqcore::detail {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

// start - sum_k coef[k] V(k, .) into out (entry j at out[j * stride]), and
// the constant cst + sum_k coef[k] y(k) (returned). V and y by columns in
// B, m constituents; entries with coef[k] = 0 take no part.
double combine(const double* coef, int m, int E, const double* start, double cst, const double* B, double* out,
               int stride) {
    for (int j = 0; j < E; ++j) {
        const double* col = B + j * m;
        double t = start[j];
        for (int k = 0; k < m; ++k)
            if (coef[k] != 0.0) t -= coef[k] * col[k];
        out[j * stride] = t;
    }
    const double* y = B + E * m;
    for (int k = 0; k < m; ++k)
        if (coef[k] != 0.0) cst += coef[k] * y[k];
    return cst;
}

}  // namespace

void exact_trace_rows(Workspace& ws, const Candidate& c, double shift, double* B) {
    const int E = ws.E, m = c.count;
    bool any = false;
    for (int s = c.first; s < c.first + m; ++s) any = any || ws.lnx[sz(s)] < kLnMajor;
    if (!any) return;
    const double* x = ws.xtry.data();
    const int* var = ws.slot_var.data() + c.first;
    const std::size_t pm = sz(c.model->layout().variables);
    // A fraction at or below the floor adds no curvature (as in the block).
    const double floor = std::exp(kLnFloor + 1.0);
    auto excess = [&](int i, int k) {
        if (c.ideal || x[i] <= floor || x[k] <= floor) return 0.0;
        return ws.dmuex[sz(var[i]) * pm + sz(var[k])] / ws.RT;
    };
    auto diagonal = [&](int i) { return 1.0 + shift + x[i] * excess(i, i); };
    double* root = ws.wtmp.data();  // sqrt(x_k)
    for (int k = 0; k < m; ++k) root[k] = std::sqrt(x[k]);
    double* coef = ws.trace_coef.data();
    double* start = coef + m;  // a row's first part (E entries)
    const double root_N = std::sqrt(c.N);
    double* rho = ws.per_element.data();
    double rho0 = 0.0;
    for (int g = c.group0; g < c.group0 + c.groups; ++g) {
        const int b = ws.grp_begin[sz(g)] - c.first, e = ws.grp_end[sz(g)] - c.first;
        any = false;
        for (int i = b; i < e; ++i) any = any || ws.lnx[sz(c.first + i)] < kLnMajor;
        if (!any) continue;
        // rho_g = w_m - (C z)_m / sqrt(n_m) as a row in dpi (rho) and a
        // constant (rho0); zero with one group.
        std::fill(rho, rho + E, 0.0);
        rho0 = 0.0;
        if (c.groups > 1) {
            int mj = b;
            for (int i = b; i < e; ++i) mj = ws.n[sz(c.first + mj)] < ws.n[sz(c.first + i)] ? i : mj;
            const double root_m = std::sqrt(ws.n[sz(c.first + mj)]);
            for (int k = 0; k < m; ++k) coef[k] = (k == mj ? diagonal(mj) : root[mj] * (root[k] * excess(mj, k))) / root_m;
            rho0 = combine(coef, m, E, ws.arow(c.first + mj), -ws.res[sz(c.first + mj)], B, rho, 1);
        }
        for (int i = b; i < e; ++i) {
            const int s = c.first + i;
            // A trace's diagonal is 1 plus its tiny fraction times its own
            // curvature: anything far from 1 is no trace of this form, and
            // its solved row is kept rather than divided by it.
            const double d = diagonal(i);
            if (!(ws.lnx[sz(s)] < kLnMajor) || !(d > 0.5)) continue;
            for (int k = 0; k < m; ++k) coef[k] = k == i ? 0.0 : root[k] * excess(i, k) / root_N;
            const double* as = ws.arow(s);
            for (int j = 0; j < E; ++j) start[j] = as[j] - rho[j];
            const double cst = combine(coef, m, E, start, -ws.res[sz(s)] - rho0, B, B + i, m);
            // Back in the scaled form v = V dpi - y that the step divides by
            // sqrt(n_s): dln_s = (V_i . dpi + cst) / C_ss.
            const double f = std::sqrt(ws.n[sz(s)]) / d;
            for (int j = 0; j < E; ++j) B[j * m + i] *= f;
            B[E * m + i] = -cst * f;
        }
    }
}

}  // namespace eqcore::detail
