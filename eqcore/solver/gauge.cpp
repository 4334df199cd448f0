// Directions of the element potentials that no constituent of the system
// depends on: every constituent's elements are in fixed proportions along
// them (the charges of a system of neutral salts: Li, Mg, O, F with LiF,
// MgF2, Li2O, MgO). G, the residuals and the balances do not change along
// such a direction, so pi along it is a gauge: it is held at 0. Left to
// drift there (the Newton matrix is singular along it, and its pivot is
// rounding), pi grows to 1e9 while a.pi stays of order 10, and every a.pi
// loses nine digits to cancellation.
#include <Eigen/Dense>

#include "solver/workspace.hpp"

namespace eqcore::detail {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

// Setups whose gauges are held: every element subset of a small system.
constexpr std::size_t kGaugesHeld = 16;

}  // namespace

void find_gauge(Workspace& ws) {
    const int E = ws.E;
    const int S = static_cast<int>(ws.slot_cand.size());
    ws.gauge_dim = 0;
    ws.gauge.clear();
    if (E == 0) return;
    std::vector<double> rows(sz(S) * sz(E));
    for (int s = 0; s < S; ++s)
        for (int j = 0; j < E; ++j) rows[sz(s) * sz(E) + sz(j)] = ws.arow(s)[j];
    for (const Workspace::HeldGauge& h : ws.gauges_held)
        if (h.E == E && h.rows == rows) {
            ws.gauge = h.gauge;
            ws.gauge_dim = h.dim;
            return;
        }
    Eigen::MatrixXd A = Eigen::MatrixXd::Zero(std::max(S, E), E);
    for (int s = 0; s < S; ++s)
        for (int j = 0; j < E; ++j) A(s, j) = rows[sz(s) * sz(E) + sz(j)];
    Eigen::JacobiSVD<Eigen::MatrixXd> svd(A, Eigen::ComputeFullV);
    const Eigen::VectorXd& sv = svd.singularValues();
    int rank = 0;
    for (int i = 0; i < sv.size(); ++i) rank += sv(i) > 1e-10 * sv(0) ? 1 : 0;
    ws.gauge_dim = E - rank;
    ws.gauge.assign(sz(ws.gauge_dim) * sz(E), 0.0);
    for (int q = 0; q < ws.gauge_dim; ++q)
        for (int j = 0; j < E; ++j) ws.gauge[sz(q) * sz(E) + sz(j)] = svd.matrixV()(j, rank + q);
    Workspace::HeldGauge held{E, std::move(rows), ws.gauge, ws.gauge_dim};
    if (ws.gauges_held.size() < kGaugesHeld) {
        ws.gauges_held.push_back(std::move(held));
    } else {
        ws.gauges_held[ws.gauge_next] = std::move(held);
        ws.gauge_next = (ws.gauge_next + 1) % kGaugesHeld;
    }
}

void fix_gauge(const Workspace& ws, double* pi) {
    const int E = ws.E;
    for (int q = 0; q < ws.gauge_dim; ++q) {
        const double* u = ws.gauge.data() + sz(q) * sz(E);
        double along = 0.0;
        for (int j = 0; j < E; ++j) along += u[j] * pi[j];
        for (int j = 0; j < E; ++j) pi[j] -= along * u[j];
    }
}

}  // namespace eqcore::detail
