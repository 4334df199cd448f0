// Internal equilibrium of a quasichemical liquid at fixed element amounts:
// Newton on the optimality conditions mu_k - sum_e (nu_ke / b_e) lambda_e = 0
// and the balances sum_k (nu_ke / b_e) N_k = 1, with the exact Hessian; a
// step keeps every amount at least a tenth of its value. Each balance is
// divided by its element's amount, so that an element at a trace is held
// to the same relative precision as a major one (its end member's potential
// goes as RT ln of its amount). Charge neutrality makes some element rows
// dependent: the constraints are a set of independent ones, taken from the
// scarcest elements up (the dependent ones, majors, then hold to rounding).
//
// Start: the last solution of this phase when there is one (the same
// material at the same temperature is then confirmed by one evaluation of
// the potentials; nearby material at the same temperature takes its first
// step with the last factorisation), else every quadruplet in proportion to
// the product of its ions' fractions (random mixing), scaled to the
// balances. After an undamped step the potentials alone are evaluated
// first: they show convergence, or whether the factorisation at hand still
// cuts the residual fast (then it takes the next step, a chord step, and no
// Hessian is built). After the first step from the last solution, where
// the last solve showed that such a chord would not cut the residual fast
// enough for a move of this size, the Hessian is evaluated at once. Every
// solve ends on an evaluation at its final iterate that meets both
// tolerances, whichever steps led there.
#include "thermo/quasichem_distribution.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "thermo/quasichem.hpp"

namespace eqcore {

namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }
constexpr double kStationary = 1e-11;  // |mu - A lambda| / RT at the solution
constexpr double kBalance = 1e-12;     // |b - A' N| / b per element at the solution
constexpr int kMaxIterations = 200;
// A chord step (the factorisation of an earlier iterate) is taken while
// each one cuts the residual at least by this factor, at most kMaxChords
// times in a solve.
constexpr double kChordContraction = 0.03;
constexpr int kMaxChords = 8;

}  // namespace

QuasichemDistribution::QuasichemDistribution(const QuasichemModel& model) : model_(model) {
    const ModelLayout& l = model.layout();
    K_ = l.variables;
    E_ = l.elements;
    M_ = l.constituents();
    g0_.assign(sz(K_), 0.0);
    full_.assign(sz(K_), 0.0);
    grad_.assign(sz(K_), 0.0);
    hess_.assign(sz(K_) * sz(K_), 0.0);
    b_.assign(sz(E_), 0.0);
    content_.assign(sz(E_), 0.0);
    em_rows_.assign(sz(M_) * sz(E_), 0.0);
    std::vector<double> em(sz(M_), 0.0), v(sz(K_), 0.0);
    for (int a = 0; a < M_; ++a) {
        std::fill(em.begin(), em.end(), 0.0);
        em[sz(a)] = 1.0;
        model.internal_amounts(em, v);
        for (int k = 0; k < K_; ++k)
            for (int e = 0; e < E_; ++e) em_rows_[sz(a) * sz(E_) + sz(e)] += v[sz(k)] * l.row_of(k)[e];
    }
}

bool QuasichemDistribution::prepare(std::span<const double> n) {
    std::fill(b_.begin(), b_.end(), 0.0);
    for (int a = 0; a < M_; ++a)
        for (int e = 0; e < E_; ++e) b_[sz(e)] += n[sz(a)] * em_rows_[sz(a) * sz(E_) + sz(e)];
    double bmax = 0.0;
    for (double x : b_) bmax = std::max(bmax, std::abs(x));
    if (!(bmax > 0.0) || !std::isfinite(bmax)) return false;
    const ModelLayout& l = model_.layout();
    on_.clear();
    for (int k = 0; k < K_; ++k) {
        bool ok = true;
        for (int e = 0; e < E_; ++e)
            if (l.row_of(k)[e] != 0.0 && !(std::abs(b_[sz(e)]) > 1e-300)) ok = false;
        if (ok) on_.push_back(k);
    }
    return !on_.empty();
}

void QuasichemDistribution::select_constraints() {
    const ModelLayout& l = model_.layout();
    const int m = static_cast<int>(on_.size());
    // Elements present, scarcest first.
    order_.clear();
    for (int e = 0; e < E_; ++e)
        if (std::abs(b_[sz(e)]) > 1e-300) order_.push_back(e);
    // A stable insertion sort: a handful of elements, and no buffer to
    // allocate as std::stable_sort would.
    for (std::size_t i = 1; i < order_.size(); ++i) {
        const int e = order_[i];
        std::size_t j = i;
        for (; j > 0 && std::abs(b_[sz(e)]) < std::abs(b_[sz(order_[j - 1])]); --j) order_[j] = order_[j - 1];
        order_[j] = e;
    }
    if (order_ == sel_order_ && on_ == sel_on_) {
        // The same quadruplets and order: the same rows are independent;
        // only their scaling by the amounts changes.
        rows_ = sel_rows_;
        A_.resize(m, static_cast<Eigen::Index>(rows_.size()));
        for (Eigen::Index j = 0; j < A_.cols(); ++j) {
            const int e = rows_[sz(static_cast<int>(j))];
            const double inv_b = 1.0 / b_[sz(e)];
            for (int i = 0; i < m; ++i) A_(i, j) = l.row_of(on_[sz(i)])[e] * inv_b;
        }
        return;
    }
    std::vector<int>& order = rows_;
    order = order_;
    // Gram-Schmidt on their scaled columns: keep those independent of the
    // ones kept before.
    A_.resize(m, static_cast<Eigen::Index>(order.size()));
    basis_.resize(m, static_cast<Eigen::Index>(order.size()));
    int r = 0;
    std::size_t kept = 0;
    for (std::size_t q = 0; q < order.size(); ++q) {
        const int e = order[q];
        for (int i = 0; i < m; ++i) basis_(i, r) = l.row_of(on_[sz(i)])[e] / b_[sz(e)];
        const double before = basis_.col(r).norm();
        for (int j = 0; j < r; ++j) basis_.col(r) -= basis_.col(j).dot(basis_.col(r)) * basis_.col(j);
        const double after = basis_.col(r).norm();
        if (!(after > 1e-10 * before)) continue;
        basis_.col(r) /= after;
        const double inv_b = 1.0 / b_[sz(e)];
        for (int i = 0; i < m; ++i) A_(i, r) = l.row_of(on_[sz(i)])[e] * inv_b;
        order[kept++] = e;
        ++r;
    }
    order.resize(kept);
    A_.conservativeResize(m, r);
    sel_on_ = on_;
    sel_order_ = order_;
    sel_rows_ = rows_;
}

void QuasichemDistribution::start_cold(std::span<const double> n) {
    const QuasichemData& d = model_.data();
    const std::vector<Quadruplet>& q = model_.quads();
    // Ion fractions per sublattice from the end members, floored so that
    // no quadruplet taking part starts empty.
    const int ni = d.ions(), nc = d.cations();
    ion_.assign(sz(ni), 0.0);
    for (int a = 0; a < M_; ++a) {
        ion_[sz(d.em_cation[sz(a)])] += d.nu_cation[sz(a)] * std::abs(n[sz(a)]);
        ion_[sz(nc + d.em_anion[sz(a)])] += d.nu_anion[sz(a)] * std::abs(n[sz(a)]);
    }
    double cat = 0.0, an = 0.0;
    for (int i = 0; i < ni; ++i) (i < nc ? cat : an) += ion_[sz(i)];
    for (int i = 0; i < ni; ++i) {
        const double t = i < nc ? cat : an;
        ion_[sz(i)] = std::max(t > 0.0 ? ion_[sz(i)] / t : 0.0, 1e-12);
    }
    const int m = m_on();
    N_.resize(m);
    for (int i = 0; i < m; ++i) {
        const Quadruplet& Q = q[sz(on_[sz(i)])];
        N_(i) = Q.multiplicity * ion_[sz(Q.ion[0])] * ion_[sz(Q.ion[1])] * ion_[sz(Q.ion[2])] * ion_[sz(Q.ion[3])];
    }
    // Scaled to the balances (each 1) in least squares.
    double num = 0.0, den = 0.0;
    for (Eigen::Index j = 0; j < A_.cols(); ++j) {
        const double s = A_.col(j).dot(N_);
        num += s;
        den += s * s;
    }
    N_ *= std::max(den > 0.0 ? num / den : 1.0, 1e-300);
    lambda_.setZero(A_.cols());
}

void QuasichemDistribution::evaluate(bool hessian) {
    const int m = m_on();
    double total = 0.0;
    for (int i = 0; i < m; ++i) total += N_(i);
    std::fill(full_.begin(), full_.end(), 0.0);
    const double inv_total = 1.0 / total;
    for (int i = 0; i < m; ++i) full_[sz(on_[sz(i)])] = N_(i) * inv_total;
    model_.excess(T_, full_, grad_, hessian ? std::span<double>(hess_) : std::span<double>{});
    g_.resize(m);
    for (int i = 0; i < m; ++i) {
        const int k = on_[sz(i)];
        g_(i) = g0_[sz(k)] + RT_ * std::log(full_[sz(k)]) + grad_[sz(k)];
    }
    if (hessian) hess_total_ = total;
}

double QuasichemDistribution::stationarity() const {
    double res = 0.0;
    for (Eigen::Index i = 0; i < g_.size(); ++i) res = std::max(res, std::abs(g_(i) - A_.row(i).dot(lambda_)));
    return res / RT_;
}

double QuasichemDistribution::imbalance() {
    // Every element's content of N in one pass over the quadruplets' rows
    // (each element's sum still taken in quadruplet order).
    const ModelLayout& l = model_.layout();
    std::fill(content_.begin(), content_.end(), 0.0);
    for (int i = 0; i < m_on(); ++i) {
        const double* row = l.row_of(on_[sz(i)]);
        const double Ni = N_(i);
        for (int e = 0; e < E_; ++e) content_[sz(e)] += row[e] * Ni;
    }
    double worst = 0.0;
    for (int e = 0; e < E_; ++e) {
        if (!(std::abs(b_[sz(e)]) > 1e-300)) continue;
        const double err = std::abs(b_[sz(e)] - content_[sz(e)]) / std::abs(b_[sz(e)]);
        if (!(err <= worst)) worst = err;  // NaN propagates
    }
    return worst;
}

// The KKT matrix in the relative changes dN_i / N_i and lambda / RT, the
// stationarity rows divided by RT:
//     [ H N / RT   -A ] [dN / N    ]   [ -g / RT   ]
//     [ A' N        0 ] [lambda/RT ] = [ 1 - A' N  ]
// (N the diagonal of the amounts). A trace quadruplet's row keeps its large
// curvature RT / N_i on its own column, so that it pivots on itself and its
// relative change is as accurate as a major one's.
void QuasichemDistribution::factor() {
    const auto m = static_cast<std::size_t>(m_on());
    const auto r = static_cast<std::size_t>(A_.cols());
    const std::size_t n = m + r;
    double* kkt = lu_.matrix(n);  // row-major, filled in place
    const double inv_total = 1.0 / hess_total_, inv_RT = 1.0 / RT_;
    for (std::size_t i = 0; i < m; ++i) {
        const auto ii = static_cast<Eigen::Index>(i);
        // d2G/dN_i dN_j: the remainder's (per mol at fractions, so over the
        // total) and the ideal part's RT (delta_ij / N_i - 1 / total).
        const double* hrow = hess_.data() + sz(on_[i]) * sz(K_);
        for (std::size_t j = 0; j < m; ++j) {
            const double hij = (hrow[on_[j]] - RT_) * inv_total + (i == j ? RT_ / N_(ii) : 0.0);
            kkt[i * n + j] = hij * (N_(static_cast<Eigen::Index>(j)) * inv_RT);
        }
        for (std::size_t j = 0; j < r; ++j) {
            const auto jj = static_cast<Eigen::Index>(j);
            kkt[i * n + m + j] = -A_(ii, jj);
            kkt[(m + j) * n + i] = A_(ii, jj) * N_(ii);
        }
    }
    for (std::size_t i = m; i < n; ++i)
        for (std::size_t j = m; j < n; ++j) kkt[i * n + j] = 0.0;
    lu_.factor();
    lu_b_ = b_;
    lu_on_ = on_;
    lu_rows_ = rows_;
    lu_T_ = T_;
}

bool QuasichemDistribution::factored_alike() const {
    return lu_T_ == T_ && lu_on_ == on_ && lu_rows_ == rows_ && lu_b_.size() == b_.size();
}

double QuasichemDistribution::step() {
    // The factorisation may be one of the balances at other element amounts
    // b0 (the same rows): A = A0 S with S = diag(b0 / b), so the balances'
    // right-hand sides are divided by S and the multipliers, solved as
    // S lambda / RT, come back as RT mu / S.
    const int m = m_on();
    const auto r = A_.cols();
    rhs_.resize(m + r);
    const double inv_RT = 1.0 / RT_;
    for (int i = 0; i < m; ++i) rhs_(i) = -g_(i) * inv_RT;
    for (Eigen::Index j = 0; j < r; ++j) {
        const int e = rows_[sz(static_cast<int>(j))];
        rhs_(m + j) = (1.0 - A_.col(j).dot(N_)) * b_[sz(e)] / lu_b_[sz(e)];
    }
    lu_.solve(rhs_, sol_);
    if (!sol_.allFinite()) return -1.0;
    // Relative changes: each amount keeps at least a tenth of itself.
    double t = 1.0;
    for (int i = 0; i < m; ++i)
        if (1.0 + t * sol_(i) < 0.1) t = 0.9 / -sol_(i);
    for (int i = 0; i < m; ++i) N_(i) *= 1.0 + t * sol_(i);
    lambda_.resize(r);
    for (Eigen::Index j = 0; j < r; ++j) {
        const int e = rows_[sz(static_cast<int>(j))];
        lambda_(j) = RT_ * sol_(m + j) * b_[sz(e)] / lu_b_[sz(e)];
    }
    return t;
}

void QuasichemDistribution::potential_derivatives(std::span<double> dmu) {
    // Along the equilibrium H dN = A dlambda, A' dN = db / b: the
    // multipliers' response S to the scaled balances is the multiplier block
    // of the inverse KKT matrix (times RT in its scaled form), and end
    // member a's potential is sum_j (nu_a,j / b_j) lambda_j.
    const int m = m_on();
    const auto r = A_.cols();
    S_.resize(r, r);
    rhs_.resize(m + r);
    for (Eigen::Index j = 0; j < r; ++j) {
        rhs_.setZero();
        rhs_(m + j) = 1.0;
        lu_.solve(rhs_, sol_);
        S_.col(j) = RT_ * sol_.tail(r);
    }
    nu_.resize(r, M_);
    for (int a = 0; a < M_; ++a)
        for (Eigen::Index j = 0; j < r; ++j) {
            const int e = rows_[sz(static_cast<int>(j))];
            nu_(j, a) = em_rows_[sz(a) * sz(E_) + sz(e)] / b_[sz(e)];
        }
    for (int a = 0; a < M_; ++a)
        for (int c = 0; c < M_; ++c) dmu[sz(a) * sz(M_) + sz(c)] = nu_.col(a).dot(S_ * nu_.col(c));
}

bool QuasichemDistribution::solve(double T, std::span<const double> n, std::span<double> v, std::span<double> dmu) {
    std::fill(v.begin(), v.end(), 0.0);
    if (!prepare(n)) return false;
    T_ = T;
    RT_ = kR * T;
    if (g0_T_ != T) {
        sp_.resize(sz(K_));
        model_.standard(T, std::log(T), {}, sp_);
        for (int k = 0; k < K_; ++k) g0_[sz(k)] = sp_[sz(k)].g;
        g0_T_ = T;
    }
    select_constraints();
    const int m = m_on();
    // Warm: the last solution of the same set of quadruplets; its
    // multipliers hold where the material and temperature are the same.
    const bool warm = have_last_ && last_on_ == on_;
    bool same = warm && last_T_ == T && last_b_ == b_ && last_rows_ == rows_;
    if (warm) {
        N_.resize(m);
        for (int i = 0; i < m; ++i) N_(i) = last_N_[sz(i)];
        if (same) {
            lambda_ = last_lambda_;
        } else if (last_rows_ == rows_) {
            // The same rows at other element amounts: A lambda is kept (each
            // row of A goes as 1 / b), so the potentials stay balanced.
            lambda_.resize(A_.cols());
            for (Eigen::Index j = 0; j < A_.cols(); ++j) {
                const auto e = sz(rows_[sz(static_cast<int>(j))]);
                lambda_(j) = last_lambda_(j) * b_[e] / last_b_[e];
            }
        } else {
            lambda_.setZero(A_.cols());
        }
    } else {
        start_cold(n);
    }
    // From the last solution at the same temperature, its potentials (and
    // the factorisation kept from its last Newton step) serve the first
    // step: no evaluation there.
    bool have_lu = warm && !same && factored_alike();
    const bool reuse = have_lu && eval_at_last_ && g_.size() == m;
    bool converged = false;
    // The residual at the iterate; done() asks of the residual just taken.
    double imbalance_at = std::numeric_limits<double>::quiet_NaN();
    auto residual = [&] {
        imbalance_at = imbalance();
        return std::max(stationarity(), imbalance_at);
    };
    auto done = [&](double res) { return res < kStationary && imbalance_at <= kBalance; };
    // Where the potentials alone show convergence, with the derivatives
    // wanted the Hessian is factored there.
    auto finish = [&] {
        if (!dmu.empty()) {
            evaluate(true);
            factor();
        }
        converged = true;
    };
    double before = std::numeric_limits<double>::infinity();  // residual before the last step
    // The residual before an undamped first step from the last solution
    // (0: none), and c = (residual after it) / that^2, kept for the next solve.
    double first_from = 0.0;
    auto learn_chord_growth = [&](double res) {
        if (first_from > 0.0 && std::isfinite(res)) chord_growth_ = res / (first_from * first_from);
        first_from = 0.0;
    };
    bool full_step = false;  // the last step was undamped
    int chords = 0;
    for (int it = 0; it < kMaxIterations && !converged; ++it) {
        if (it == 0 && same) {
            // The same state again: one evaluation of the potentials confirms it.
            evaluate(false);
            if (done(residual())) {
                finish();
                break;
            }
        } else if (it == 0 && reuse) {
            before = residual();
            const double t = step();
            if (t < 0.0) break;
            full_step = t == 1.0;
            // A chord step from the last solution leaves a residual of
            // about c before^2 (its factorisation is off by as much as the
            // material moved); where the last solve's c shows that the next
            // chord would not contract enough, the Hessian is evaluated at
            // once rather than after an evaluation of the potentials alone.
            first_from = full_step ? before : 0.0;
            if (full_step && chord_growth_ * before > kChordContraction) full_step = false;
            continue;
        } else if (it > 0 && full_step) {
            // After an undamped step the potentials alone tell whether it
            // converged, and whether the factorisation at hand contracts the
            // residual fast enough to take the next step too (a chord step:
            // no Hessian).
            evaluate(false);
            const double res = residual();
            learn_chord_growth(res);
            if (done(res)) {
                finish();
                break;
            }
            if (have_lu && res <= kChordContraction * before && chords < kMaxChords) {
                ++chords;
                before = res;
                const double t = step();
                if (t < 0.0) break;
                full_step = t == 1.0;
                continue;
            }
        }
        evaluate(true);
        const double res = residual();
        learn_chord_growth(res);
        if ((it > 0 || same) && done(res)) {
            if (!dmu.empty()) factor();
            converged = true;
            break;
        }
        factor();
        have_lu = true;
        before = res;
        const double t = step();
        if (t < 0.0) break;
        full_step = t == 1.0;
    }
    eval_at_last_ = converged;
    if (!converged) {
        have_last_ = false;
        return false;
    }
    for (int i = 0; i < m; ++i) v[sz(on_[sz(i)])] = N_(i);
    if (!dmu.empty()) potential_derivatives(dmu);
    have_last_ = true;
    last_T_ = T;
    last_b_ = b_;
    last_on_ = on_;
    last_rows_ = rows_;
    last_N_.assign(N_.data(), N_.data() + m);
    last_lambda_ = lambda_;
    return true;
}

}  // namespace eqcore

namespace eqcore {

QuasichemModel::~QuasichemModel() = default;

bool internal_equilibrium(const QuasichemModel& model, double T, std::span<const double> n, std::span<double> v,
                          std::span<double> dmu) {
    std::unique_lock<std::mutex> lock(model.distribution_mutex_, std::try_to_lock);
    if (!lock.owns_lock()) {
        QuasichemDistribution own(model);
        return own.solve(T, n, v, dmu);
    }
    if (!model.distribution_) model.distribution_ = std::make_unique<QuasichemDistribution>(model);
    // A start from the last solution can fail where the material moved far
    // (the other end of the composition range); the failed solve forgets
    // it, so the second attempt starts cold.
    return model.distribution_->solve(T, n, v, dmu) || model.distribution_->solve(T, n, v, dmu);
}

}  // namespace eqcore
