// A local search for the least G of one phase instance beside fixed
// columns (see one_instance.hpp).
#include "check/one_instance.hpp"

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <numeric>

#include "thermo/phase_props.hpp"

namespace eqcore {
namespace {

using Index = Eigen::Index;

Index ix(std::size_t i) { return static_cast<Index>(i); }

}  // namespace

double one_instance_G(const OneInstanceProblem& pr, const std::vector<double>& v) {
    const std::size_t m = static_cast<std::size_t>(pr.constituents);
    double G = 0.0;
    if (std::accumulate(v.begin(), v.begin() + ix(m), 0.0) > 0.0)
        G += phase_props(*pr.model, pr.T, pr.P, std::vector<double>(v.begin(), v.begin() + ix(m))).G;
    for (std::size_t k = m; k < v.size(); ++k) G += v[k] * pr.cost[k - m];
    return G;
}

double least_one_instance(const OneInstanceProblem& pr, std::vector<double>& v, double finest, int evaluations) {
    const std::size_t n = v.size(), rows = pr.b.size();
    Eigen::MatrixXd A(ix(rows), ix(n));
    for (std::size_t k = 0; k < n; ++k)
        for (std::size_t j = 0; j < rows; ++j) A(ix(j), ix(k)) = pr.content[k][j];
    const Index rank = Eigen::FullPivLU<Eigen::MatrixXd>(A).rank();
    double best = one_instance_G(pr, v);
    const double total = std::accumulate(v.begin(), v.end(), 0.0);
    if (rank == ix(n) || !(total > 0.0)) return best;
    // An amount that may not move: a constituent that may not hold
    // material, or one that holds none of the elements (the balance would
    // not bound it).
    const auto fixed = [&](std::size_t k) {
        return (k < static_cast<std::size_t>(pr.constituents) && !pr.usable.empty() && !pr.usable[k]) ||
               A.col(ix(k)).isZero(0.0);
    };
    std::vector<std::size_t> order(n);
    std::vector<double> t(n);
    for (double step = 0.1 * total; step > finest * total && evaluations > 0; step *= 0.5)
        for (bool moved = true; moved && evaluations > 0;) {
            moved = false;
            // The basis: the largest amounts whose columns are independent.
            std::iota(order.begin(), order.end(), std::size_t{0});
            std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t c) { return v[a] > v[c]; });
            std::vector<std::size_t> basis;
            std::vector<char> in_basis(n, 0);
            for (std::size_t k : order) {
                if (ix(basis.size()) == rank) break;
                if (fixed(k)) continue;
                Eigen::MatrixXd B(ix(rows), ix(basis.size() + 1));
                for (std::size_t c = 0; c < basis.size(); ++c) B.col(ix(c)) = A.col(ix(basis[c]));
                B.col(ix(basis.size())) = A.col(ix(k));
                if (Eigen::FullPivLU<Eigen::MatrixXd>(B).rank() == B.cols()) {
                    basis.push_back(k);
                    in_basis[k] = 1;
                }
            }
            Eigen::MatrixXd B(ix(rows), ix(basis.size()));
            for (std::size_t c = 0; c < basis.size(); ++c) B.col(ix(c)) = A.col(ix(basis[c]));
            const auto qr = B.colPivHouseholderQr();
            for (std::size_t k = 0; k < n && evaluations > 0; ++k) {
                if (in_basis[k] || fixed(k)) continue;
                // Amount k up by one, the basis less what makes up its elements.
                const Eigen::VectorXd y = qr.solve(Eigen::VectorXd(A.col(ix(k))));
                const double h0 = step / std::sqrt(1.0 + y.squaredNorm());
                for (const double h : {h0, -h0}) {
                    t = v;
                    t[k] += h;
                    for (std::size_t c = 0; c < basis.size(); ++c) t[basis[c]] -= h * y(ix(c));
                    bool inside = true;
                    for (double& a : t) {
                        if (a < 0.0 && a > -1e-15 * total) a = 0.0;
                        inside = inside && a >= 0.0;
                    }
                    if (!inside) continue;
                    --evaluations;
                    const double G = one_instance_G(pr, t);
                    if (G < best - 1e-14 * std::abs(best)) {
                        best = G;
                        v.swap(t);
                        moved = true;
                        break;
                    }
                }
            }
        }
    return best;
}

}  // namespace eqcore
