// The test of balance_hold.hpp.
#include "check/balance_hold.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "check/acceptance.hpp"
#include "check/column_lp.hpp"
#include "thermo/phase_props.hpp"

namespace eqcore {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

constexpr int kCuts = 8;              // rounds of the cutting plane per composition
constexpr std::size_t kGridPoints = 3000;  // about this many grid points per phase
constexpr double kFloor = 1e-9;       // least fraction of a grid point's constituent

// Every composition of `m` parts in steps of 1/N, each appended to `out`.
void simplex_grid(int m, int N, std::vector<int>& parts, std::vector<std::vector<int>>& out) {
    const int used = static_cast<int>(parts.size());
    int left = N;
    for (int v : parts) left -= v;
    if (used == m - 1) {
        parts.push_back(left);
        out.push_back(parts);
        parts.pop_back();
        return;
    }
    for (int v = 0; v <= left; ++v) {
        parts.push_back(v);
        simplex_grid(m, N, parts, out);
        parts.pop_back();
    }
}

double binomial(int n, int k) {
    double r = 1.0;
    for (int i = 1; i <= k; ++i) r = r * (n - k + i) / i;
    return r;
}

class Holder {
public:
    Holder(const OwnBasinsInput& in, int p, const std::vector<std::pair<std::size_t, double>>& present, double tol_df,
           double tol_mu)
        : in_(in), sys_(*in.sys), r_(*in.r), p_(p), tol_df_(tol_df), tol_mu_(tol_mu), RT_(kR * in.r->T) {
        for (std::size_t j = 0; j < in.b.size(); ++j)
            if (in.b[j] > 0.0) rows_.push_back(j);
        usable_.assign(sz(sys_.phases[sz(p)].count), 0);
        for (int k = 0; k < sys_.phases[sz(p)].count; ++k) usable_[sz(k)] = in.use[sz(sys_.phases[sz(p)].first + k)];
        fixed_columns(present);
        // The programme's right side: one mol of every present constituent.
        // Every potentials it admits give the present constituents their
        // own potentials, so any right side they make up decides the same;
        // this one, unlike the material, has no element at a trace amount,
        // which would scale its row (and the duals) beyond what the
        // tableau resolves.
        rhs_.assign(rows_.size(), 0.0);
        for (std::size_t k = 0; k < present_.size(); ++k)
            for (std::size_t i = 0; i < rows_.size(); ++i) rhs_[i] += sys_.constituents[present_[k]].stoich[rows_[i]];
    }

    // True when some verified potentials hold p out at composition x (by
    // constituent of p); the best distance found in `best`.
    bool covered(const std::vector<double>& x, double& best) {
        double G = 0.0;
        const std::vector<double> col = column_of(p_, x, G);
        best = -1e300;
        for (const std::vector<double>& mu : held_mu_) best = std::max(best, distance(col, G, mu));
        if (best >= -tol_df_) return true;
        std::vector<std::vector<double>> columns = columns_;
        std::vector<double> cost = cost_;
        columns.push_back(col);
        cost.push_back(G + 0.5 * tol_df_ * RT_);
        for (int round = 0; round < kCuts; ++round) {
            const ColumnLpAnswer ans = solve_column_lp(columns, cost, rhs_);
            if (!ans.feasible) return false;
            std::vector<double> mu(in_.b.size(), 0.0);
            for (std::size_t i = 0; i < rows_.size(); ++i) mu[rows_[i]] = ans.dual[i];
            if (!present_on_plane(mu)) return false;
            const double D = distance(col, G, mu);
            best = std::max(best, D);
            if (D < -tol_df_) return false;
            // Every other absent mixture on or above the plane; else its
            // composition of least distance becomes a column.
            bool in_M = true;
            for (int q = 0; q < sys_.phase_count(); ++q) {
                if (q == p_ || r_.phases[sz(q)].present || !in_.takes_part[sz(q)] || !sys_.phases[sz(q)].is_mixture())
                    continue;
                std::vector<double> xq;
                const double Dq = least_tangent_distance(sys_, q, r_.T, r_.P, mu, usable_of(q), 2, 777 + sz(q), &xq,
                                                         &(*in_.models)[q]);
                if (Dq >= -tol_df_) continue;
                in_M = false;
                double Gq = 0.0;
                columns.push_back(column_of(q, xq, Gq));
                cost.push_back(Gq);
            }
            if (in_M) {
                held_mu_.push_back(mu);
                return true;
            }
        }
        return false;
    }

private:
    std::vector<char> usable_of(int q) const {
        const Phase& ph = sys_.phases[sz(q)];
        std::vector<char> u(sz(ph.count));
        for (int k = 0; k < ph.count; ++k) u[sz(k)] = in_.use[sz(ph.first + k)];
        return u;
    }

    // Element content (by row) of phase q at amounts x, and its G (J) there.
    std::vector<double> column_of(int q, const std::vector<double>& x, double& G) const {
        const Phase& ph = sys_.phases[sz(q)];
        std::vector<double> col(rows_.size(), 0.0);
        for (int k = 0; k < ph.count; ++k)
            for (std::size_t i = 0; i < rows_.size(); ++i) col[i] += x[sz(k)] * sys_.constituent(q, k).stoich[rows_[i]];
        G = phase_props((*in_.models)[q], r_.T, r_.P, x).G;
        return col;
    }

    double distance(const std::vector<double>& col, double G, const std::vector<double>& mu) const {
        double c = 0.0;
        for (std::size_t i = 0; i < rows_.size(); ++i) c += col[i] * mu[rows_[i]];
        return (G - c) / RT_;
    }

    bool present_on_plane(const std::vector<double>& mu) const {
        for (std::size_t k = 0; k < present_.size(); ++k) {
            double a = 0.0;
            for (std::size_t j = 0; j < mu.size(); ++j) a += sys_.constituents[present_[k]].stoich[j] * mu[j];
            if (!(std::abs(a - present_mu_[k]) <= tol_mu_ * RT_)) return false;
        }
        return true;
    }

    // The present constituents (free sign, at their model potentials, as
    // the check computed them), the
    // absent stoichiometric phases, and the other absent mixtures at their
    // compositions of least distance at the reported potentials.
    void fixed_columns(const std::vector<std::pair<std::size_t, double>>& present) {
        for (const auto& [g, mu] : present) {
            // A trace below what a double holds may sit above the plane.
            const PhaseResult& ph = r_.phases[sz(sys_.constituents[g].phase)];
            if (!(r_.amount[g] > 1e-280 * ph.amount)) continue;
            std::vector<double> col(rows_.size());
            for (std::size_t i = 0; i < rows_.size(); ++i) col[i] = sys_.constituents[g].stoich[rows_[i]];
            present_.push_back(g);
            present_mu_.push_back(mu);
            columns_.push_back(col);
            cost_.push_back(mu);
            for (double& v : col) v = -v;
            columns_.push_back(col);
            cost_.push_back(-mu);
        }
        for (int q = 0; q < sys_.phase_count(); ++q) {
            const Phase& ph = sys_.phases[sz(q)];
            if (q == p_ || !in_.takes_part[sz(q)]) continue;
            if (r_.phases[sz(q)].present) continue;
            if (!ph.is_mixture()) {
                double G = 0.0;
                columns_.push_back(column_of(q, {1.0}, G));
                cost_.push_back(G);
            } else if (sz(q) < in_.absent_x.size() && in_.absent_x[sz(q)].size() == sz(ph.count)) {
                double G = 0.0;
                columns_.push_back(column_of(q, in_.absent_x[sz(q)], G));
                cost_.push_back(G);
            }
        }
    }

    const OwnBasinsInput& in_;
    const System& sys_;
    const EquilibriumResult& r_;
    int p_;
    double tol_df_, tol_mu_, RT_;
    std::vector<std::size_t> rows_;  // elements of the material
    std::vector<double> rhs_;        // the programme's right side, by row
    std::vector<char> usable_;
    std::vector<std::size_t> present_;  // present constituents holding material
    std::vector<double> present_mu_;
    std::vector<std::vector<double>> columns_;
    std::vector<double> cost_;
    std::vector<std::vector<double>> held_mu_;  // verified potentials found so far
};

}  // namespace

BalanceHoldFinding balance_holds(const OwnBasinsInput& in, int p,
                                 const std::vector<std::pair<std::size_t, double>>& present,
                                 const std::vector<std::vector<double>>& points, double tol_df, double tol_mu) {
    BalanceHoldFinding f;
    const Phase& ph = in.sys->phases[sz(p)];
    std::vector<int> slots;
    for (int k = 0; k < ph.count; ++k)
        if (in.use[sz(ph.first + k)]) slots.push_back(k);
    const int m = static_cast<int>(slots.size());
    if (m == 0) return f;
    // Steps of 1/N with about kGridPoints points: C(N + m - 1, m - 1) of them.
    int N = 1;
    while (N < 2000 && binomial(N + 1 + m - 1, m - 1) <= static_cast<double>(kGridPoints)) ++N;
    std::vector<std::vector<int>> grid;
    std::vector<int> parts;
    simplex_grid(m, N, parts, grid);
    std::vector<std::vector<double>> xs = points;
    for (const std::vector<int>& g : grid) {
        std::vector<double> x(sz(ph.count), 0.0);
        for (int a = 0; a < m; ++a) x[sz(slots[sz(a)])] = kFloor + (1.0 - m * kFloor) * g[sz(a)] / N;
        xs.push_back(std::move(x));
    }
    Holder h(in, p, present, tol_df, tol_mu);
    for (const std::vector<double>& x : xs) {
        double best = 0.0;
        if (!h.covered(x, best)) {
            f.uncovered = x;
            f.distance = best;
            return f;
        }
    }
    f.held = true;
    return f;
}

}  // namespace eqcore
