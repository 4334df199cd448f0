#include "solver/own_basin_bound.hpp"

#include <Eigen/Eigenvalues>
#include <algorithm>
#include <cmath>
#include <limits>

#include "solver/stability_memory.hpp"
#include "thermo/scratch.hpp"

namespace eqcore::detail {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

// The ideal part's curvature bound on the ball of radius rho around x.
double ideal_curvature(const double* x, int m, double rho) {
    double top = 0.0;
    for (int k = 0; k < m; ++k) top = std::max(top, std::min(1.0, x[k] + rho));
    return std::max(2.0, 1.0 / top);
}

// The remainder's Hessian over RT at the candidate's slots i, j (ws.dmuex
// as the last evaluation left it).
double excess_hessian(const Workspace& ws, const Candidate& c, int i, int j) {
    const std::size_t pm = sz(c.model->layout().variables);
    return ws.dmuex[sz(ws.slot_var[sz(c.first + i)]) * pm + sz(ws.slot_var[sz(c.first + j)])] / ws.RT;
}

// The least eigenvalue of the symmetric matrix Q (of Matrix's size), -inf
// where it is not found.
template <class Matrix, class From>
double least_eigenvalue(const From& Q) {
    const Eigen::SelfAdjointEigenSolver<Matrix> eig(Matrix(Q), Eigen::EigenvaluesOnly);
    if (eig.info() != Eigen::Success) return -std::numeric_limits<double>::infinity();
    return eig.eigenvalues().minCoeff();
}

// The least curvature of the distance on the ball of radius rho around x,
// from the remainder's exact Hessian at x (in ws.dmuex): on the directions u
// of sum 0, u' diag(1 / min(1, x + rho)) u bounds the ideal part, and the
// remainder's part moves by at most third * rho |u|^2 over the ball. The
// least eigenvalue on those directions is taken with the direction of the
// sum lifted above every other; -inf for a phase too large for it. The
// ideal part is capped (a smaller diagonal only lowers the bound) so that
// the matrix stays of moderate size and the eigenvalue's rounding, taken
// off, small.
double local_curvature(const Workspace& ws, const Candidate& c, const double* x, double rho, double third) {
    constexpr double kCap = 1e6;
    constexpr int kMax = 12;
    const int m = c.count;
    if (m > kMax || !std::isfinite(third)) return -std::numeric_limits<double>::infinity();
    using Small = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, 0, kMax, kMax>;
    Small A(m, m);
    for (int i = 0; i < m; ++i)
        for (int j = 0; j < m; ++j)
            A(i, j) = excess_hessian(ws, c, i, j) + (i == j ? std::min(kCap, 1.0 / std::min(1.0, x[i] + rho)) : 0.0);
    // Q = P A P with P = I - 1 1' / m: A less its row and column means
    // plus its mean.
    double row_mean[kMax] = {}, column_mean[kMax] = {}, all = 0.0;
    for (int i = 0; i < m; ++i)
        for (int j = 0; j < m; ++j) {
            row_mean[i] += A(i, j) / m;
            column_mean[j] += A(i, j) / m;
        }
    for (int i = 0; i < m; ++i) all += row_mean[i] / m;
    Small Q(m, m);
    for (int i = 0; i < m; ++i)
        for (int j = 0; j < m; ++j) Q(i, j) = A(i, j) - row_mean[i] - column_mean[j] + all;
    double top = 1.0;
    for (int i = 0; i < m; ++i) top += Q.row(i).cwiseAbs().sum();
    if (!std::isfinite(top)) return -std::numeric_limits<double>::infinity();
    Q += Small::Constant(m, m, top / m);
    // Fixed sizes for the usual small phases: the same algorithm, unrolled.
    const double least = m == 3   ? least_eigenvalue<Eigen::Matrix3d>(Q)
                         : m == 4 ? least_eigenvalue<Eigen::Matrix4d>(Q)
                                  : least_eigenvalue<Small>(Q);
    return least - 1e-12 * top - third * rho;
}

// The length of the gradient of D at x along the directions that keep the
// sum: ln y_s - (a_s.pi - g0_s) + mu_ex,s / RT, less its mean. Leaves the
// remainder's derivatives at x in ws (with the Hessian where asked).
double gradient_norm(Workspace& ws, const Candidate& c, const double* x, bool hessian) {
    const int m = c.count;
    remainder_at(ws, c, x, true, hessian);
    double* g = ws.tp_grad.data();
    double mean = 0.0;
    for (int k = 0; k < m; ++k) {
        const int s = c.first + k;
        g[k] = std::log(x[k]) - (ws.adot(s, ws.pi.data()) - ws.g0[sz(s)]) + ws.muex[sz(ws.slot_var[sz(s)])] / ws.RT;
        mean += g[k];
    }
    mean /= m;
    double gn = 0.0;
    for (int k = 0; k < m; ++k) gn += (g[k] - mean) * (g[k] - mean);
    return std::sqrt(gn);
}

// A non-ideal mixture of one group on one site, whose variables are its
// fractions: the shape the bounds here are written for.
bool one_site_mixture(const Workspace& ws, const Candidate& c) {
    const bool one_site = c.groups == 1 && ws.grp_sites[sz(c.group0)] == 1.0 && ws.grp_share[sz(c.group0)] == 1.0;
    return !c.ideal && one_site && !c.model->layout().redundant;
}

}  // namespace

double own_basin_curvature(Workspace& ws, int ci) {
    const Candidate& c = ws.cand[sz(ci)];
    if (!one_site_mixture(ws, c)) return std::numeric_limits<double>::infinity();
    TangentMemory& t = ws.tpm[sz(ci)];
    if (t.curvature_T != ws.T) {
        t.curvature = c.model->excess_curvature_bound(ws.T, active_variables(ws, c));
        t.third = c.model->excess_third_bound(ws.T, active_variables(ws, c));
        t.curvature_T = ws.T;
    }
    return t.curvature;
}

bool ball_in_basin(Workspace& ws, int ci, const double* x, double reach) {
    const double M = own_basin_curvature(ws, ci);  // the bound of the curvature's change with it, in tpm
    if (!std::isfinite(M)) return false;
    const Candidate& c = ws.cand[sz(ci)];
    const double third = ws.tpm[sz(ci)].third;
    const double gn = gradient_norm(ws, c, x, std::isfinite(third));
    // A ball a little larger than asked: D lambda-convex on it puts the
    // minimiser x_m within gn / lambda of x, and the flow from z within
    // |z - x_m| <= reach + gn / lambda of x_m, which must stay in the ball.
    const double rho = 1.05 * reach + 1e-9;
    double lambda = ideal_curvature(x, c.count, rho) - M;
    if (std::isfinite(third)) lambda = std::max(lambda, local_curvature(ws, c, x, rho, third));
    return std::isfinite(gn) && lambda > 0.0 && 2.0 * gn <= lambda * (rho - reach);
}

bool basin_ball(Workspace& ws, int ci, const double* x, double d, double& rho, double& wall) {
    const Candidate& c = ws.cand[sz(ci)];
    const int m = c.count;
    constexpr int kMax = 12;  // as local_curvature
    if (!one_site_mixture(ws, c) || m > kMax) return false;
    const double M = own_basin_curvature(ws, ci);
    const double gn = gradient_norm(ws, c, x, true);
    const double lambda0 = local_curvature(ws, c, x, 0.0, 0.0);
    if (!std::isfinite(gn) || !(lambda0 > 0.0)) return false;
    // The bound of the curvature's change where every fraction is at least
    // x_k - R (a ball of radius r <= R around x lies there): R = 0.1, or
    // half the least fraction where a term needs its fractions kept from 0.
    const std::size_t pm = sz(c.model->layout().variables);
    const std::span<const char> active = active_variables(ws, c);
    Scratch least(pm);
    double lowest = 1.0;
    for (int k = 0; k < m; ++k) lowest = std::min(lowest, x[k]);
    for (const double R : {0.1, 0.5 * lowest}) {
        for (int k = 0; k < m; ++k) least.span()[sz(ws.slot_var[sz(c.first + k)])] = std::max(0.0, x[k] - R);
        const double third = c.model->excess_third_bound_above(ws.T, active, least.span());
        if (!std::isfinite(third)) continue;
        // With lambda(r) = lambda0 - third r the rise lambda(r) r^2 / 2 is
        // largest at r = 2 lambda0 / (3 third): that ball (within R), or
        // smaller ones where its bound fails.
        double r = third > 0.0 ? std::min(R, 2.0 * lambda0 / (3.0 * third)) : R;
        for (int tries = 0; tries < 2; ++tries, r *= 0.5) {
            const double lambda = std::max(ideal_curvature(x, m, r) - M, local_curvature(ws, c, x, r, third));
            if (!(lambda > 0.0)) continue;
            const double w = d - gn * r + 0.5 * lambda * r * r;
            if (w > d) {
                rho = r;
                wall = w;
                return true;
            }
        }
    }
    return false;
}

bool own_basin_convex(Workspace& ws, int ci, double M, const double* x, double need) {
    const Candidate& c = ws.cand[sz(ci)];
    if (ideal_curvature(x, c.count, 0.0) > M) return true;
    const double third = ws.tpm[sz(ci)].third;
    if (!std::isfinite(third)) return false;
    remainder_at(ws, c, x, false, true);
    // The proof needs a ball of radius at least r = sqrt(2 need / lambda),
    // lambda the curvature at x, over which the curvature stays positive:
    // lambda > third r, i.e. lambda^3 > 2 need third^2. The curvature along
    // (e_i - e_j) / sqrt(2) bounds lambda from above: that test first.
    const double floor3 = 2.0 * std::max(need, 0.0) * third * third;
    const int m = c.count;
    auto e = [&](int i, int j) { return excess_hessian(ws, c, i, j); };
    double pair = std::numeric_limits<double>::infinity();
    for (int i = 0; i < m; ++i)
        for (int j = i + 1; j < m; ++j)
            pair = std::min(pair, 0.5 * (1.0 / x[i] + 1.0 / x[j] + e(i, i) + e(j, j) - 2.0 * e(i, j)));
    if (!(pair > 0.0) || pair * pair * pair <= floor3) return false;
    const double lambda = local_curvature(ws, c, x, 0.0, third);
    if (!(lambda > 0.0) || lambda * lambda * lambda <= floor3) return false;
    return local_curvature(ws, c, x, std::sqrt(2.0 * std::max(need, 0.0) / lambda), third) > 0.0;
}

bool own_basin_proven(Workspace& ws, int ci, const double* x_k, const double* x_end, double d, double delta,
                      double rise, double M, double& lower) {
    const Candidate& c = ws.cand[sz(ci)];
    const int m = c.count;
    if (!std::isfinite(M) || !std::isfinite(rise) || !(delta >= 0.0)) return false;
    // The gradient of D at x_end along the directions that keep the sum.
    const double third = ws.tpm[sz(ci)].third;
    const double gn = gradient_norm(ws, c, x_end, std::isfinite(third));
    double away = 0.0;
    for (int k = 0; k < m; ++k) away += (x_k[k] - x_end[k]) * (x_k[k] - x_end[k]);
    away = std::sqrt(away);
    const double need = std::max(delta + rise - d, 0.0);
    if (!std::isfinite(gn) || !std::isfinite(need)) return false;
    // The radius at which the quadratic bound reaches `need`, with the
    // curvature of the ball of that radius; a larger ball has no more
    // curvature, so the radius grows until it is consistent.
    double rho = 0.0;
    for (int it = 0; it < 8; ++it) {
        const double lambda = std::max(ideal_curvature(x_end, m, rho) - M, local_curvature(ws, c, x_end, rho, third));
        if (!(lambda > 0.0)) return false;
        const double r = (gn + std::sqrt(gn * gn + 2.0 * lambda * need)) / lambda;
        if (r <= rho) {
            if (!(away < rho)) return false;
            lower = d - gn * gn / (2.0 * lambda);
            return true;
        }
        rho = r * (1.0 + 1e-12);
    }
    return false;
}

}  // namespace eqcore::detail
