// Least tangent-plane distance of a mixture phase against given element
// potentials: D(x) = sum_i x_i (mu_i(x) - a_i.pi) / RT, minimised over the
// compositions of the phase's usable constituents.
//
// A phase without excess terms has the closed form D = -ln sum_i exp(d_i)
// with d_i = (a_i.pi - mu°_i) / RT. Otherwise every start (the lowest
// points of a regular grid over the composition simplex, compositions the
// caller gives, each pure corner, the centre, random points) takes a few successive-substitution
// steps and then a Newton descent of Michelsen's modified distance
//     tm(W) = 1 + sum_i W_i (h_i(W) - 1),   h_i = g_i(x) + ln sum_k W_k,
// g_i = (mu_i(x) - a_i.pi) / RT, x = W / sum W (the gradient of tm is h;
// its stationary points are those of D, with D = -ln sum W there), in the
// variables alpha_i = 2 sqrt(W_i) (which keep the amounts W
// positive without constraints), with a shifted Hessian where it is not
// positive definite and a backtracking line search. The distance reported
// is D at the final composition of the best start: an actual composition of
// the phase, so a negative value is a proof that the phase would form.
// Chemical potentials come from the phase's model (phase_props) only.
#include <algorithm>
#include <cmath>
#include <memory>
#include <random>

#include <Eigen/Dense>

#include "check/acceptance.hpp"
#include "thermo/models.hpp"
#include "thermo/phase_props.hpp"

namespace eqcore {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

constexpr double kFloor = 1e-300;  // smallest amount given to the model (it takes logarithms)

class TangentPlane {
public:
    TangentPlane(const System& sys, const PhaseModel& model, int phase, double T, double P,
                 const std::vector<double>& pi, const std::vector<char>& usable)
        : model_(model), T_(T), P_(P), RT_(kR * T) {
        const Phase& ph = sys.phases[sz(phase)];
        for (int k = 0; k < ph.count; ++k) {
            if (!usable[sz(k)]) continue;
            idx_.push_back(k);
            const Constituent& c = sys.constituent(phase, k);
            double api = 0.0;
            for (std::size_t j = 0; j < pi.size(); ++j) api += c.stoich[j] * pi[j];
            api_.push_back(api / RT_);
        }
        const std::size_t m = sz(ph.count);
        n_.assign(m, 0.0);
        mu_.assign(m, 0.0);
        dmu_.assign(m * m, 0.0);
    }

    int size() const { return static_cast<int>(idx_.size()); }
    int local(int i) const { return idx_[sz(i)]; }

    // g_i at amounts W (only the composition matters); with `H`, also
    // dg_i/dW_j.
    void eval(const Eigen::VectorXd& W, Eigen::VectorXd& g, Eigen::MatrixXd* H = nullptr) {
        std::fill(n_.begin(), n_.end(), 0.0);
        for (int i = 0; i < size(); ++i) n_[sz(idx_[sz(i)])] = std::max(W(i), kFloor);
        const std::size_t m = n_.size();
        phase_props(model_, T_, P_, n_, mu_, H ? std::span<double>(dmu_) : std::span<double>{});
        for (int i = 0; i < size(); ++i) g(i) = mu_[sz(idx_[sz(i)])] / RT_ - api_[sz(i)];
        if (H)
            for (int i = 0; i < size(); ++i)
                for (int k = 0; k < size(); ++k) (*H)(i, k) = dmu_[sz(idx_[sz(i)]) * m + sz(idx_[sz(k)])] / RT_;
    }

    // D at the composition of W (per mol of the phase).
    double distance(const Eigen::VectorXd& W, Eigen::VectorXd& g) {
        eval(W, g, nullptr);
        const double total = W.sum();
        double D = 0.0;
        for (int i = 0; i < size(); ++i) D += std::max(W(i), kFloor) / total * g(i);
        return D;
    }

    // h_i = g_i + ln sum W (the gradient of tm) and, with `H`, dh_i/dW_j.
    void eval_h(const Eigen::VectorXd& W, Eigen::VectorXd& h, Eigen::MatrixXd* H = nullptr) {
        eval(W, h, H);
        const double total = W.sum();
        h.array() += std::log(total);
        if (H) H->array() += 1.0 / total;
    }

    double tm(const Eigen::VectorXd& W, Eigen::VectorXd& h) {
        eval_h(W, h);
        double t = 1.0;
        for (int i = 0; i < size(); ++i) t += W(i) * (h(i) - 1.0);
        return t;
    }

private:
    const PhaseModel& model_;
    double T_, P_, RT_;
    std::vector<int> idx_;      // usable constituents, local index in the phase
    std::vector<double> api_;   // a_i.pi / RT per usable constituent
    std::vector<double> n_, mu_, dmu_;  // the phase's full arrays for phase_props
};

// One start: returns D at the final composition, composition in W. The
// substitution steps first may leave the start's basin; without them the
// descent ends in the local minimum the start lies in.
double descend(TangentPlane& tp, Eigen::VectorXd& W, int substitution_steps = 5) {
    const int m = tp.size();
    Eigen::VectorXd g(m), gt(m), a(m), da(m), grad(m), Wt(m);
    Eigen::MatrixXd H(m, m);
    // Successive substitution: ln W_i = ln x_i - g_i(x), each step kept only
    // while it lowers tm. On a phase with sublattices the substitution need
    // not contract (a constituent whose potential goes as k ln y with k > 1
    // flips between the ends of its range and ends at an amount of 1e-100,
    // where the descent below stalls) and would carry a good start out of its
    // basin.
    double t_sub = tp.tm(W, g);
    for (int it = 0; it < substitution_steps; ++it) {
        // g holds h_i = g_i + ln sum W here, so ln x_i - g_i = ln W_i - h_i.
        for (int i = 0; i < m; ++i) Wt(i) = std::exp(std::clamp(std::log(W(i)) - g(i), -690.0, 300.0));
        const double tn = tp.tm(Wt, gt);
        if (!(tn < t_sub)) break;
        W = Wt;
        g = gt;
        t_sub = tn;
    }
    for (int i = 0; i < m; ++i) a(i) = 2.0 * std::sqrt(W(i));
    double t = tp.tm(W, g);
    for (int it = 0; it < 60; ++it) {
        tp.eval_h(W, g, &H);
        for (int i = 0; i < m; ++i) grad(i) = std::sqrt(W(i)) * g(i);
        if (grad.lpNorm<Eigen::Infinity>() < 1e-13) break;
        Eigen::MatrixXd K(m, m);
        for (int i = 0; i < m; ++i)
            for (int k = 0; k < m; ++k) K(i, k) = std::sqrt(W(i) * W(k)) * H(i, k) + (i == k ? 0.5 * g(i) : 0.0);
        Eigen::LLT<Eigen::MatrixXd> llt;
        for (double shift = 0.0;; shift = shift == 0.0 ? 1e-8 : 10.0 * shift) {
            llt.compute(K + shift * Eigen::MatrixXd::Identity(m, m));
            if (llt.info() == Eigen::Success || shift > 1e12) break;
        }
        if (llt.info() != Eigen::Success) break;
        da = -llt.solve(grad);
        const double slope = grad.dot(da);
        if (!(slope < 0.0)) break;
        double s = 1.0, tn = t;
        bool moved = false;
        for (int ls = 0; ls < 40; ++ls, s *= 0.5) {
            for (int i = 0; i < m; ++i) Wt(i) = std::max(0.25 * (a(i) + s * da(i)) * (a(i) + s * da(i)), kFloor);
            tn = tp.tm(Wt, gt);
            if (std::isfinite(tn) && tn <= t + 1e-4 * s * slope) {
                moved = true;
                break;
            }
        }
        if (!moved) break;
        W = Wt;
        for (int i = 0; i < m; ++i) a(i) = 2.0 * std::sqrt(W(i));
        const bool small = std::abs(t - tn) <= 1e-15 * std::max(1.0, std::abs(t));
        t = tn;
        if (small) break;
    }
    return tp.distance(W, g);
}

double unit_random(std::mt19937_64& rng) { return (static_cast<double>(rng() >> 11) + 0.5) * 0x1.0p-53; }

// Points of the simplex grid of m constituents with k divisions: C(k+m-1, m-1).
double grid_points(int m, int k) {
    double c = 1.0;
    for (int i = 1; i < m; ++i) c = c * (k + i) / i;
    return c;
}

// The lowest distances on a regular grid over the composition simplex (the
// finest grid of at most kGridPoints points): an exhaustive search that does
// not depend on where a descent starts. The `keep` best points go to `out`.
constexpr double kGridPoints = 600.0;
void grid_starts(TangentPlane& tp, int keep, std::vector<Eigen::VectorXd>& out) {
    const int m = tp.size();
    int k = 1;
    while (k < 64 && grid_points(m, k + 1) <= kGridPoints) ++k;
    std::vector<int> idx(static_cast<std::size_t>(m), 0);
    idx[static_cast<std::size_t>(m - 1)] = k;
    std::vector<std::pair<double, Eigen::VectorXd>> best;
    Eigen::VectorXd W(m), g(m);
    for (;;) {
        for (int i = 0; i < m; ++i) W(i) = (idx[sz(i)] + 1e-6) / (k + 1e-6 * m);
        const double D = tp.distance(W, g);
        if (std::isfinite(D)) {
            best.emplace_back(D, W);
            std::sort(best.begin(), best.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
            if (static_cast<int>(best.size()) > keep) best.pop_back();
        }
        // Next composition: move one unit from the last nonzero index leftwards.
        int j = m - 1;
        while (j > 0 && idx[sz(j)] == 0) --j;
        if (j == 0) break;
        const int rest = idx[sz(j)] - 1;
        idx[sz(j)] = 0;
        ++idx[sz(j - 1)];
        idx[sz(m - 1)] = rest;
    }
    for (auto& b : best) out.push_back(b.second);
}

}  // namespace

double least_tangent_distance(const System& sys, int phase, double T, double P, const std::vector<double>& pi,
                              const std::vector<char>& usable, int random_starts, std::uint64_t seed,
                              std::vector<double>* x_best, const PhaseModel* model,
                              const std::vector<std::vector<double>>* starts, std::vector<TangentMinimum>* minima) {
    const Phase& ph = sys.phases[sz(phase)];
    std::unique_ptr<PhaseModel> own;
    if (!model) {
        own = make_model(sys, phase);
        model = own.get();
    }
    TangentPlane tp(sys, *model, phase, T, P, pi, usable);
    const int m = tp.size();
    if (x_best) x_best->assign(sz(ph.count), 0.0);
    if (m == 0) return 0.0;
    Eigen::VectorXd W(m), g(m), best_x(m);
    double best = 1e300;
    if (minima) minima->clear();
    // `ended`: w is where a descent ended. Only those are minima: the
    // starting points of a flat basin floor would otherwise crowd the list
    // with one basin and hide the others.
    auto keep = [&](double D, const Eigen::VectorXd& w, bool ended) {
        if (ended && minima && std::isfinite(D)) {
            TangentMinimum t{D, std::vector<double>(sz(ph.count), 0.0)};
            for (int i = 0; i < m; ++i) t.x[sz(tp.local(i))] = w(i) / w.sum();
            minima->push_back(std::move(t));
        }
        if (D < best) {
            best = D;
            best_x = w / w.sum();
        }
    };
    // Ideal mixing of the constituents themselves (a substitutional model
    // without excess terms; not a phase with sublattices, whose constituents
    // do not mix ideally even when its sublattices do).
    const ModelLayout& l = model->layout();
    if (l.identity && l.groups() == 1 && !l.redundant && (l.ideal || (ph.excess.empty() && !ph.ionic))) {
        // Ideal: mu_i = mu°_i + RT ln x_i, so g_i - ln x_i = -d_i at any x.
        W.setConstant(1.0 / m);
        tp.eval(W, g, nullptr);
        double top = -1e300;
        for (int i = 0; i < m; ++i) top = std::max(top, std::log(W(i)) - g(i));
        double Z = 0.0;
        for (int i = 0; i < m; ++i) Z += std::exp(std::log(W(i)) - g(i) - top);
        for (int i = 0; i < m; ++i) W(i) = std::exp(std::log(1.0 / m) - g(i) - top) / Z;
        keep(-(top + std::log(Z)), W, true);
    } else {
        // The grid's best points, then the given compositions.
        std::vector<Eigen::VectorXd> fixed;
        if (m > 1) grid_starts(tp, 3, fixed);
        if (starts)
            for (const std::vector<double>& x : *starts) {
                if (x.size() != sz(ph.count)) continue;
                for (int i = 0; i < m; ++i) W(i) = std::max(x[sz(tp.local(i))], 1e-12);
                fixed.push_back(W / W.sum());
            }
        for (Eigen::VectorXd& f : fixed) {
            W = f;
            keep(tp.distance(W, g), W, false);
            keep(descend(tp, W), W, true);
        }
        std::mt19937_64 rng(seed);
        const int starts_count = m + 1 + random_starts;
        for (int s = 0; s < starts_count; ++s) {
            if (s < m) {  // a corner
                const double eps = m > 1 ? 1e-6 / (m - 1) : 0.0;
                W.setConstant(eps);
                W(s) = 1.0 - 1e-6;
                if (m == 1) W(0) = 1.0;
            } else if (s == m) {  // the centre
                W.setConstant(1.0 / m);
            } else {  // random: uniform on the simplex, or spread over decades
                const bool decades = (s - m) % 2 == 0;
                for (int i = 0; i < m; ++i)
                    W(i) = decades ? std::exp(-30.0 * unit_random(rng)) : -std::log(unit_random(rng));
                W /= W.sum();
            }
            keep(tp.distance(W, g), W, false);
            keep(descend(tp, W), W, true);
        }
    }
    if (x_best)
        for (int i = 0; i < m; ++i) (*x_best)[sz(tp.local(i))] = best_x(i);
    if (minima)
        std::stable_sort(minima->begin(), minima->end(),
                         [](const TangentMinimum& a, const TangentMinimum& b) { return a.D < b.D; });
    return best;
}

double local_tangent_distance(const System& sys, int phase, double T, double P, const std::vector<double>& pi,
                              const std::vector<char>& usable, std::vector<double>& x, const PhaseModel& model) {
    TangentPlane tp(sys, model, phase, T, P, pi, usable);
    const int m = tp.size();
    if (m == 0 || x.size() != sz(sys.phases[sz(phase)].count)) return 0.0;
    Eigen::VectorXd W(m);
    for (int i = 0; i < m; ++i) W(i) = std::max(x[sz(tp.local(i))], 1e-12);
    W /= W.sum();
    const double D = descend(tp, W, 0);
    std::fill(x.begin(), x.end(), 0.0);
    for (int i = 0; i < m; ++i) x[sz(tp.local(i))] = W(i) / W.sum();
    return D;
}

}  // namespace eqcore
