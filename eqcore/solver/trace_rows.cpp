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

// The entries of one row of candidate c's block (m constituents, fractions
// x of the phase, shift on the diagonal) that the rows below need.
struct BlockRow {
    const Workspace& ws;
    bool ideal;
    const double* x;
    const int* var;      // the model's variable of each constituent
    std::size_t pm;      // the model's number of variables (dmuex is pm x pm)
    double shift;
    double floor;        // a fraction at or below it adds no curvature (as in the block)

    double excess(int i, int k) const {
        if (ideal || x[i] <= floor || x[k] <= floor) return 0.0;
        return ws.dmuex[sz(var[i]) * pm + sz(var[k])] / ws.RT;
    }
    double diagonal(int i) const { return 1.0 + shift + x[i] * excess(i, i); }
    // C_ik / sqrt(x_i) for k != i: sqrt(x_k) e_ik / RT, with no division.
    double over_root(int i, int k) const { return std::sqrt(x[k]) * excess(i, k); }
};

}  // namespace

void exact_trace_rows(Workspace& ws, const Candidate& c, double shift, double* B) {
    const int E = ws.E, m = c.count;
    const BlockRow row{ws,    c.ideal, ws.xtry.data(), ws.slot_var.data() + c.first, sz(c.model->layout().variables),
                       shift, std::exp(kLnFloor + 1.0)};
    const double root_N = std::sqrt(c.N);
    auto V = [&](int k, int j) -> double& { return B[j * m + k]; };
    auto y = [&](int k) -> double& { return B[E * m + k]; };
    double* rho = ws.per_element.data();
    for (int g = c.group0; g < c.group0 + c.groups; ++g) {
        const int b = ws.grp_begin[sz(g)] - c.first, e = ws.grp_end[sz(g)] - c.first;
        bool any = false;
        for (int i = b; i < e; ++i) any = any || ws.lnx[sz(c.first + i)] < kLnMajor;
        if (!any) continue;
        // rho_g as a row in dpi (rho) and a constant (rho0); zero with one group.
        std::fill(rho, rho + E, 0.0);
        double rho0 = 0.0;
        if (c.groups > 1) {
            int mj = b;
            for (int i = b; i < e; ++i) mj = ws.n[sz(c.first + i)] > ws.n[sz(c.first + mj)] ? i : mj;
            const double* am = ws.arow(c.first + mj);
            const double root_m = std::sqrt(ws.n[sz(c.first + mj)]);
            for (int j = 0; j < E; ++j) rho[j] = am[j];
            rho0 = -ws.res[sz(c.first + mj)];
            for (int k = 0; k < m; ++k) {
                // (C z)_m / sqrt(n_m), entry by entry.
                const double ck =
                    (k == mj ? row.diagonal(mj) : std::sqrt(row.x[mj]) * row.over_root(mj, k)) / root_m;
                if (ck == 0.0) continue;
                for (int j = 0; j < E; ++j) rho[j] -= ck * V(k, j);
                rho0 += ck * y(k);
            }
        }
        for (int i = b; i < e; ++i) {
            const int s = c.first + i;
            if (!(ws.lnx[sz(s)] < kLnMajor)) continue;
            const double* as = ws.arow(s);
            for (int j = 0; j < E; ++j) V(i, j) = as[j] - rho[j];
            double cst = -ws.res[sz(s)] - rho0;  // dln_s = (V_i . dpi + cst) / C_ss
            for (int k = 0; k < m; ++k) {
                const double ck = k == i ? 0.0 : row.over_root(i, k) / root_N;
                if (ck == 0.0) continue;
                for (int j = 0; j < E; ++j) V(i, j) -= ck * V(k, j);
                cst += ck * y(k);
            }
            // Back in the scaled form v = V dpi - y that the step divides by sqrt(n_s).
            const double f = std::sqrt(ws.n[sz(s)]) / row.diagonal(i);
            for (int j = 0; j < E; ++j) V(i, j) *= f;
            y(i) = -cst * f;
        }
    }
}

}  // namespace eqcore::detail
