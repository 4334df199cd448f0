// How far the present phases' amounts are from holding the material, per
// element and relative to its amount: the measure of the balance tolerance.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "solver/workspace.hpp"

namespace eqcore::detail {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

}  // namespace

double balance_residual(Workspace& ws, int* worst) {
    std::vector<double>& held = ws.balance_held;
    held.assign(sz(ws.E), 0.0);
    for (const Candidate& c : ws.cand) {
        if (!c.present) continue;
        for (int s = c.first; s < c.first + c.count; ++s) {
            const double n = ws.n[sz(s)];
            if (n == 0.0) continue;
            for (int q = ws.nz_off[sz(s)]; q < ws.nz_off[sz(s) + 1]; ++q)
                held[sz(ws.nz_elem[sz(q)])] += n * ws.nz_coef[sz(q)];
        }
    }
    double largest = 0.0;
    if (worst) *worst = -1;
    for (int j = 0; j < ws.E; ++j) {
        const double b = ws.b[sz(j)];
        const double off = std::abs(held[sz(j)] - b);
        // Any amount of an element the material lacks is entirely off; a
        // NaN amount is as far off as any.
        const double rel = b > 0.0 ? off / b : (off > 0.0 ? HUGE_VAL : 0.0);
        if (!(rel <= largest)) {
            largest = std::isnan(rel) ? HUGE_VAL : rel;
            if (worst) *worst = j;
        }
    }
    return largest;
}

bool open_where_fixed(Workspace& ws) {
    balance_residual(ws);
    const std::vector<double>& held = ws.balance_held;
    for (int q = 0; q < ws.exact_dim; ++q) {
        const double* dir = ws.null.data() + sz(q) * sz(ws.E);
        double along = 0.0, scale = 0.0;
        for (int j = 0; j < ws.E; ++j) {
            along += dir[j] * (ws.b[sz(j)] - held[sz(j)]);
            scale += std::abs(dir[j]) * ws.b[sz(j)];
        }
        if (!(std::abs(along) <= ws.opt.balance_tol * scale)) return true;
    }
    return false;
}

std::string balance_fault(Workspace& ws) {
    int j = -1;
    const double rel = balance_residual(ws, &j);
    if (!(rel > ws.opt.balance_tol) || j < 0) return {};
    const std::string& name = ws.sys->elements[sz(ws.elem[sz(j)])].symbol;
    char text[160];
    std::snprintf(text, sizeof text, ": the amounts reached miss its balance by %.3g of its amount (tolerance %.3g)", rel,
                  ws.opt.balance_tol);
    return "element " + name + text;
}

}  // namespace eqcore::detail
