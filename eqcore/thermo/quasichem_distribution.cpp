// Internal equilibrium of a quasichemical liquid at fixed element amounts:
// the quadruplet amounts N minimising G(N) subject to sum_k nu_ke N_k = b_e.
// Newton on the optimality conditions mu_k - sum_e nu_ke lambda_e = 0 and the
// balances, with the exact Hessian, from equal amounts; a step keeps every
// amount at least a tenth of its value. The element rows are reduced to an
// orthonormal basis of their span first (charge neutrality makes one of
// them dependent in an ionic phase).
#include <algorithm>
#include <cmath>
#include <vector>

#include <Eigen/Dense>

#include "thermo/phase_props.hpp"
#include "thermo/quasichem.hpp"

namespace eqcore {

bool internal_equilibrium(const QuasichemModel& model, double T, std::span<const double> n, std::span<double> v,
                          std::span<double> dmu) {
    const ModelLayout& l = model.layout();
    const int K = l.variables, E = l.elements;
    std::vector<double> b(static_cast<std::size_t>(E), 0.0);
    std::vector<int> on;  // quadruplets whose elements are all present
    {
        std::vector<double> vp(static_cast<std::size_t>(K), 0.0);
        model.internal_amounts(n, vp);
        for (int k = 0; k < K; ++k)
            for (int e = 0; e < E; ++e) b[static_cast<std::size_t>(e)] += vp[static_cast<std::size_t>(k)] * l.row_of(k)[e];
    }
    double bmax = 0.0;
    for (double x : b) bmax = std::max(bmax, std::abs(x));
    std::fill(v.begin(), v.end(), 0.0);
    if (!(bmax > 0.0)) return false;
    for (int k = 0; k < K; ++k) {
        bool ok = true;
        for (int e = 0; e < E; ++e)
            if (l.row_of(k)[e] != 0.0 && std::abs(b[static_cast<std::size_t>(e)]) <= 1e-300) ok = false;
        if (ok) on.push_back(k);
    }
    const int m = static_cast<int>(on.size());
    if (m == 0) return false;
    Eigen::MatrixXd A(m, E);
    for (int i = 0; i < m; ++i)
        for (int e = 0; e < E; ++e) A(i, e) = l.row_of(on[static_cast<std::size_t>(i)])[e];
    Eigen::VectorXd be = Eigen::Map<const Eigen::VectorXd>(b.data(), E);
    Eigen::JacobiSVD<Eigen::MatrixXd> svd(A, Eigen::ComputeThinV);
    int r = 0;
    for (int i = 0; i < svd.singularValues().size(); ++i) r += svd.singularValues()(i) > 1e-10 * svd.singularValues()(0) ? 1 : 0;
    const Eigen::MatrixXd B = svd.matrixV().leftCols(r);  // E x r
    const Eigen::MatrixXd Ar = A * B;                     // m x r
    const Eigen::VectorXd br = B.transpose() * be;
    // Start: equal amounts, scaled to the balances in least squares.
    Eigen::VectorXd s = Ar.colwise().sum().transpose();
    const double c = std::max(s.dot(br) / s.squaredNorm(), 1e-12);
    Eigen::VectorXd N = Eigen::VectorXd::Constant(m, c);
    std::vector<double> full(static_cast<std::size_t>(K), 0.0), mu(static_cast<std::size_t>(K)),
        hess(static_cast<std::size_t>(K) * static_cast<std::size_t>(K));
    std::vector<StandardProps> sp(static_cast<std::size_t>(K));
    model.standard(T, std::log(T), {}, sp);
    const double RT = kR * T;
    Eigen::MatrixXd KKT(m + r, m + r);
    Eigen::VectorXd rhs(m + r), lambda = Eigen::VectorXd::Zero(r);
    for (int it = 0; it < 200; ++it) {
        for (int i = 0; i < m; ++i) full[static_cast<std::size_t>(on[static_cast<std::size_t>(i)])] = N(i);
        evaluate(model, T, 1e5, full, sp, mu, hess);
        KKT.setZero();
        for (int i = 0; i < m; ++i)
            for (int j = 0; j < m; ++j)
                KKT(i, j) = hess[static_cast<std::size_t>(on[static_cast<std::size_t>(i)]) * static_cast<std::size_t>(K) +
                                 static_cast<std::size_t>(on[static_cast<std::size_t>(j)])];
        KKT.topRightCorner(m, r) = -Ar;
        KKT.bottomLeftCorner(r, m) = Ar.transpose();
        Eigen::VectorXd g(m);
        for (int i = 0; i < m; ++i) g(i) = mu[static_cast<std::size_t>(on[static_cast<std::size_t>(i)])];
        const Eigen::VectorXd bal = br - Ar.transpose() * N;
        // Stationarity with the multipliers of the last step decides convergence.
        const double res = it == 0 ? 1e300 : (g - Ar * lambda).cwiseAbs().maxCoeff();
        // Each element's balance relative to its own amount (an element at
        // a trace is fixed as closely as a major one), down to the rounding
        // level of the sums over the major quadruplets.
        const Eigen::VectorXd full_bal = be - A.transpose() * N;
        bool balanced = true;
        for (int e = 0; e < E; ++e) balanced = balanced && std::abs(full_bal(e)) <= 1e-12 * std::abs(be(e)) + 1e-13 * bmax;
        if (res < 1e-11 * RT && balanced && it > 0) {
            for (int i = 0; i < m; ++i) v[static_cast<std::size_t>(on[static_cast<std::size_t>(i)])] = N(i);
            if (!dmu.empty()) {
                // Along the equilibrium H dN = Ar dlambda, Ar' dN = db: the
                // potentials' response to the element amounts is the
                // multiplier block of the inverse KKT matrix.
                const auto lu = KKT.partialPivLu();
                Eigen::MatrixXd R = Eigen::MatrixXd::Zero(m + r, r);
                R.bottomRows(r).setIdentity();
                const Eigen::MatrixXd S = lu.solve(R).bottomRows(r);  // dlambda_r / db_r
                const int nm = l.constituents();
                std::vector<double> em(static_cast<std::size_t>(nm), 0.0), vk(static_cast<std::size_t>(K));
                Eigen::MatrixXd Nu(r, nm);  // B' nu_m per end member
                for (int a = 0; a < nm; ++a) {
                    std::fill(em.begin(), em.end(), 0.0);
                    em[static_cast<std::size_t>(a)] = 1.0;
                    model.internal_amounts(em, vk);
                    Eigen::VectorXd row = Eigen::VectorXd::Zero(E);
                    for (int k = 0; k < K; ++k)
                        for (int e = 0; e < E; ++e) row(e) += vk[static_cast<std::size_t>(k)] * l.row_of(k)[e];
                    Nu.col(a) = B.transpose() * row;
                }
                const Eigen::MatrixXd D = Nu.transpose() * S * Nu;
                for (int a = 0; a < nm; ++a)
                    for (int b2 = 0; b2 < nm; ++b2) dmu[static_cast<std::size_t>(a * nm + b2)] = D(a, b2);
            }
            return true;
        }
        rhs.head(m) = -g;
        rhs.tail(r) = bal;
        const Eigen::VectorXd sol = KKT.partialPivLu().solve(rhs);
        const Eigen::VectorXd dN = sol.head(m);
        if (!dN.allFinite()) return false;
        double t = 1.0;
        for (int i = 0; i < m; ++i)
            if (N(i) + t * dN(i) < 0.1 * N(i)) t = 0.9 * N(i) / -dN(i);
        N += t * dN;
        lambda = sol.tail(r);
    }
    return false;
}

}  // namespace eqcore
