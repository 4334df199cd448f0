// Phase exchange at an addition: a phase whose composition the present
// phases already make up (its element column a combination sum_k l_k B_k of
// theirs) cannot join them at fixed T and P (the phase rule; the Newton
// system would be singular). As in a simplex pivot, it enters in exchange
// for the present phase that first runs out as it grows: with its amount d,
// every present phase changes by -d l_k, and d = min over l_k > 0 of N_k / l_k.
// The element balances hold throughout.
// Counted in the major elements only (rows weighted by the elements'
// amounts), the same test tells which phase an entering one displaces when
// it differs from the present phases' combination only in traces: it may
// join them by the phase rule, but Newton's system is then singular but for
// those traces, and the addition is redone as such an exchange (solve_tp.cpp).
#include <algorithm>
#include <cmath>

#include "solver/workspace.hpp"

namespace eqcore::detail {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

// Squared residual, relative, below which an entering column counts as made
// up of the present ones in the elements at major amounts.
constexpr double kMajorDependent = 1e-12;

// Element column of candidate c per unit of its amount: at its current
// composition when present, at `x` (ws.xbest, fractions within each group)
// when entering.
void column(const Workspace& ws, const Candidate& c, const double* x, double* out) {
    std::fill(out, out + ws.E, 0.0);
    if (c.pure) {
        for (int j = 0; j < ws.E; ++j) out[j] = ws.arow(c.first)[j];
        return;
    }
    for (int g = c.group0; g < c.group0 + c.groups; ++g)
        for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s) {
            const double w = x ? ws.grp_share[sz(g)] * x[s - c.first] : ws.n[sz(s)] / c.N;
            for (int j = 0; j < ws.E; ++j) out[j] += w * ws.arow(s)[j];
        }
}

// The simplex ratio test of candidate `entering` (column `a`, E) against
// the present phases other than it, their columns and `a` weighted by
// element (`weight`, E, or all 1 when null): with the present columns B_k
// and a = sum_k l_k B_k (to a residual below `dependent` of |a|^2), the
// position in ws.ex_who of the phase that first runs out as `entering`
// grows, its amount in d; -1 when the columns are independent or none runs
// out. ws.ex_l holds the l_k.
int ratio_test(Workspace& ws, int entering, double* a, const double* weight, double dependent, int& k, double& d) {
    const int E = ws.E;
    const std::size_t e = sz(E);
    k = 0;
    for (int ci = 0; ci < static_cast<int>(ws.cand.size()); ++ci) {
        if (!ws.cand[sz(ci)].present || ci == entering) continue;
        if (k == E) return -1;  // cannot happen after a regular solve
        ws.ex_who[sz(k++)] = ci;
    }
    if (k == 0) return -1;
    if (weight)
        for (int j = 0; j < E; ++j) a[j] *= weight[j];
    // Modified Gram-Schmidt of the present columns: Q (E x k), R (k x k).
    double* Q = ws.ex_q.data();
    double* R = ws.ex_r.data();
    for (int i = 0; i < k; ++i) {
        double* q = Q + sz(i) * e;
        const Candidate& c = ws.cand[sz(ws.ex_who[sz(i)])];
        if (!c.pure && !(c.N > 0.0)) return -1;
        column(ws, c, nullptr, q);
        if (weight)
            for (int j = 0; j < E; ++j) q[j] *= weight[j];
        double norm0 = 0.0;
        for (int j = 0; j < E; ++j) norm0 += q[j] * q[j];
        for (int p = 0; p < i; ++p) {
            const double* qp = Q + sz(p) * e;
            double dd = 0.0;
            for (int j = 0; j < E; ++j) dd += qp[j] * q[j];
            R[sz(p) * sz(k) + sz(i)] = dd;
            for (int j = 0; j < E; ++j) q[j] -= dd * qp[j];
        }
        double norm = 0.0;
        for (int j = 0; j < E; ++j) norm += q[j] * q[j];
        if (!(norm > 1e-20 * norm0)) return -1;  // present columns dependent: leave it to Newton
        norm = std::sqrt(norm);
        R[sz(i) * sz(k) + sz(i)] = norm;
        for (int j = 0; j < E; ++j) q[j] /= norm;
    }
    // The entering column's projection and the residual.
    double norm_a = 0.0;
    for (int j = 0; j < E; ++j) norm_a += a[j] * a[j];
    double* l = ws.ex_l.data();
    for (int i = 0; i < k; ++i) {
        const double* q = Q + sz(i) * e;
        double dd = 0.0;
        for (int j = 0; j < E; ++j) dd += q[j] * a[j];
        l[i] = dd;
        for (int j = 0; j < E; ++j) a[j] -= dd * q[j];
    }
    double res = 0.0;
    for (int j = 0; j < E; ++j) res += a[j] * a[j];
    if (res > dependent * norm_a) return -1;  // independent: it joins the others
    for (int i = k - 1; i >= 0; --i) {  // R l = Q' a
        for (int p = i + 1; p < k; ++p) l[i] -= R[sz(i) * sz(k) + sz(p)] * l[p];
        l[i] /= R[sz(i) * sz(k) + sz(i)];
    }
    int out = -1;
    d = 0.0;
    for (int i = 0; i < k; ++i) {
        if (!(l[i] > 1e-12)) continue;
        const double ratio = ws.cand[sz(ws.ex_who[sz(i)])].N / l[i];
        if (out < 0 || ratio < d) {
            out = i;
            d = ratio;
        }
    }
    return out;
}

// Row weights of the major elements: each element's amount relative to the
// largest (in ws.per_element); false when there is no material.
bool major_weights(Workspace& ws) {
    double bmax = 0.0;
    for (int j = 0; j < ws.E; ++j) bmax = std::max(bmax, ws.b[sz(j)]);
    if (!(bmax > 0.0)) return false;
    for (int j = 0; j < ws.E; ++j) ws.per_element[sz(j)] = ws.b[sz(j)] / bmax;
    return true;
}

}  // namespace

int displaced_phase(Workspace& ws, int entering) {
    if (!major_weights(ws)) return -1;
    double* a = ws.ex_a.data();
    column(ws, ws.cand[sz(entering)], ws.xbest.data(), a);
    int k = 0;
    double d = 0.0;
    const int out = ratio_test(ws, entering, a, ws.per_element.data(), kMajorDependent, k, d);
    return out < 0 ? -1 : ws.ex_who[sz(out)];
}

int exchange_phase(Workspace& ws, int entering, bool majors_only) {
    if (majors_only && !major_weights(ws)) return -1;
    double* a = ws.ex_a.data();
    column(ws, ws.cand[sz(entering)], ws.xbest.data(), a);
    int k = 0;
    double d = 0.0;
    const int out = majors_only ? ratio_test(ws, entering, a, ws.per_element.data(), kMajorDependent, k, d)
                                : ratio_test(ws, entering, a, nullptr, 1e-18, k, d);
    if (out < 0) return -1;
    const double* l = ws.ex_l.data();
    for (int i = 0; i < k; ++i) {
        Candidate& c = ws.cand[sz(ws.ex_who[sz(i)])];
        if (i == out) {
            c.present = false;
            c.N = 0.0;
            for (int s = c.first; s < c.first + c.count; ++s) ws.n[sz(s)] = 0.0;
            continue;
        }
        const double Nn = std::max(c.N - d * l[i], 0.0);
        if (c.pure) {
            ws.n[sz(c.first)] = Nn;
        } else {
            // A mixture that would vanish too keeps a trace; Newton removes it.
            const double f = std::max(Nn, 1e-9 * c.N) / c.N;
            for (int s = c.first; s < c.first + c.count; ++s) ws.n[sz(s)] *= f;
            c.N *= f;
            continue;
        }
        c.N = Nn;
    }
    Candidate& c = ws.cand[sz(entering)];
    c.present = true;
    ++c.added;
    if (c.pure) {
        ws.n[sz(c.first)] = d;
        c.N = d;
    } else {
        c.N = std::max(d, 1e-9);
        for (int g = c.group0; g < c.group0 + c.groups; ++g)
            for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s)
                ws.n[sz(s)] = c.N * ws.grp_share[sz(g)] * std::max(ws.xbest[sz(s - c.first)], 1e-300);
    }
    return ws.ex_who[sz(out)];
}


}  // namespace eqcore::detail
