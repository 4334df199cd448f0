// The simplex method of column_lp.hpp.
#include "check/column_lp.hpp"

#include <algorithm>
#include <cmath>

namespace eqcore {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

class Tableau {
public:
    // rows m, structural columns n, then m artificial columns, then the
    // right-hand side.
    Tableau(int m, int n) : m_(m), n_(n), w_(n + m + 1), t_(sz((m + 1) * (n + m + 1)), 0.0), basis_(sz(m)) {}

    double& at(int i, int j) { return t_[sz(i * w_ + j)]; }
    int rhs() const { return w_ - 1; }
    int basis(int i) const { return basis_[sz(i)]; }
    void set_basis(int i, int j) { basis_[sz(i)] = j; }

    // Objective row (row m) from costs `c` (per column, size n + m) for the basis.
    void price(const std::vector<double>& c) {
        for (int j = 0; j < w_; ++j) at(m_, j) = j < n_ + m_ ? c[sz(j)] : 0.0;
        for (int i = 0; i < m_; ++i) {
            const double cb = c[sz(basis(i))];
            if (cb == 0.0) continue;
            for (int j = 0; j < w_; ++j) at(m_, j) -= cb * at(i, j);
        }
    }

    void pivot(int r, int q) {
        const double p = at(r, q);
        for (int j = 0; j < w_; ++j) at(r, j) /= p;
        for (int i = 0; i <= m_; ++i) {
            if (i == r) continue;
            const double f = at(i, q);
            if (f == 0.0) continue;
            for (int j = 0; j < w_; ++j) at(i, j) -= f * at(r, j);
            at(i, q) = 0.0;
        }
        basis_[sz(r)] = q;
    }

    // Iterates on the columns below `limit` until no reduced cost is
    // negative; false when unbounded or out of iterations.
    bool optimise(int limit, double tol) {
        for (int it = 0; it < 50 * (n_ + m_) + 100; ++it) {
            int q = -1;
            for (int j = 0; j < limit && q < 0; ++j)
                if (at(m_, j) < -tol) q = j;  // Bland: the first improving column
            if (q < 0) return true;
            int r = -1;
            double best = 0.0;
            for (int i = 0; i < m_; ++i) {
                const double a = at(i, q);
                if (!(a > 1e-11)) continue;
                const double ratio = at(i, rhs()) / a;
                if (r < 0 || ratio < best - 1e-15 || (ratio <= best + 1e-15 && basis(i) < basis(r))) {
                    r = i;
                    best = ratio;
                }
            }
            if (r < 0) return false;
            pivot(r, q);
        }
        return false;
    }

private:
    int m_, n_, w_;
    std::vector<double> t_;
    std::vector<int> basis_;
};

}  // namespace

ColumnLpAnswer solve_column_lp(const std::vector<std::vector<double>>& columns, const std::vector<double>& cost,
                               const std::vector<double>& b) {
    ColumnLpAnswer ans;
    const int m = static_cast<int>(b.size()), n = static_cast<int>(columns.size());
    if (cost.size() != columns.size()) return ans;
    std::vector<double> scale(sz(m), 1.0);
    for (int i = 0; i < m; ++i)
        if (b[sz(i)] > 0.0) scale[sz(i)] = 1.0 / b[sz(i)];
    Tableau t(m, n);
    for (int i = 0; i < m; ++i) {
        for (int k = 0; k < n; ++k) t.at(i, k) = columns[sz(k)][sz(i)] * scale[sz(i)];
        t.at(i, n + i) = 1.0;
        t.at(i, t.rhs()) = b[sz(i)] * scale[sz(i)];
        t.set_basis(i, n + i);
    }
    // Phase 1: least sum of the artificials.
    std::vector<double> c1(sz(n + m), 0.0);
    for (int i = 0; i < m; ++i) c1[sz(n + i)] = 1.0;
    t.price(c1);
    if (!t.optimise(n, 1e-12)) return ans;
    double infeasibility = 0.0;
    for (int i = 0; i < m; ++i)
        if (t.basis(i) >= n) infeasibility += t.at(i, t.rhs());
    if (infeasibility > 1e-9) return ans;
    // Artificials left in the basis at zero: out, where a structural column
    // can take their row (else the row is redundant and stays so).
    for (int i = 0; i < m; ++i) {
        if (t.basis(i) < n) continue;
        for (int k = 0; k < n; ++k)
            if (std::abs(t.at(i, k)) > 1e-9) {
                t.pivot(i, k);
                break;
            }
    }
    // Phase 2: the costs, artificials never entering.
    double top = 0.0;
    for (double v : cost) top = std::max(top, std::abs(v));
    std::vector<double> c2(sz(n + m), 0.0);
    for (int k = 0; k < n; ++k) c2[sz(k)] = cost[sz(k)];
    t.price(c2);
    if (!t.optimise(n, 1e-13 * std::max(top, 1.0))) return ans;
    ans.feasible = true;
    ans.x.assign(sz(n), 0.0);
    for (int i = 0; i < m; ++i)
        if (t.basis(i) < n) ans.x[sz(t.basis(i))] = std::max(t.at(i, t.rhs()), 0.0);
    ans.value = 0.0;
    for (int k = 0; k < n; ++k) ans.value += cost[sz(k)] * ans.x[sz(k)];
    // The reduced cost of artificial i is 0 - y_i (scaled row).
    ans.dual.assign(sz(m), 0.0);
    for (int i = 0; i < m; ++i) ans.dual[sz(i)] = -t.at(m, n + i) * scale[sz(i)];
    return ans;
}

}  // namespace eqcore
