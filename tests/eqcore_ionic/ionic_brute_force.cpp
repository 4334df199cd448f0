#include "ionic_brute_force.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <stdexcept>
#include <utility>

#include "ionic_reference_eval.hpp"
#include "thermo/models.hpp"
#include "thermo/phase_props.hpp"

namespace eqcore::testing {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

constexpr std::size_t kStarts = 4;  // best grid points a pattern search starts from
constexpr int kDirections = 12;     // random directions per round, both ways
constexpr int kRounds = 300;        // rounds per search

// Solves the n x n system M x = r (row-major) by elimination with partial
// pivoting; false where it is singular.
bool solve_small(std::vector<double> M, std::vector<double>& r, int n) {
    for (int i = 0; i < n; ++i) {
        int p = i;
        for (int k = i + 1; k < n; ++k)
            if (std::abs(M[sz(k * n + i)]) > std::abs(M[sz(p * n + i)])) p = k;
        if (std::abs(M[sz(p * n + i)]) < 1e-12) return false;
        for (int c = 0; c < n; ++c) std::swap(M[sz(i * n + c)], M[sz(p * n + c)]);
        std::swap(r[sz(i)], r[sz(p)]);
        for (int k = i + 1; k < n; ++k) {
            const double f = M[sz(k * n + i)] / M[sz(i * n + i)];
            for (int c = i; c < n; ++c) M[sz(k * n + c)] -= f * M[sz(i * n + c)];
            r[sz(k)] -= f * r[sz(i)];
        }
    }
    for (int i = n - 1; i >= 0; --i) {
        for (int c = i + 1; c < n; ++c) r[sz(i)] -= M[sz(i * n + c)] * r[sz(c)];
        r[sz(i)] /= M[sz(i * n + i)];
    }
    return true;
}

// Every subset of `size` of {0..n-1}, in order.
std::vector<std::vector<int>> subsets(int n, int size) {
    std::vector<std::vector<int>> out;
    std::vector<int> s(sz(size));
    std::iota(s.begin(), s.end(), 0);
    if (size > n) return out;
    for (;;) {
        out.push_back(s);
        int i = size - 1;
        while (i >= 0 && s[sz(i)] == n - size + i) --i;
        if (i < 0) return out;
        ++s[sz(i)];
        for (int k = i + 1; k < size; ++k) s[sz(k)] = s[sz(k - 1)] + 1;
    }
}

// Every point of the simplex of `n` fractions on a grid of `steps`.
void simplex_grid(int n, int steps, std::vector<std::vector<double>>& out) {
    std::vector<int> c(sz(n), 0);
    const auto rec = [&](auto&& self, int i, int left) -> void {
        if (i == n - 1) {
            c[sz(i)] = left;
            std::vector<double> y(sz(n));
            for (int k = 0; k < n; ++k) y[sz(k)] = static_cast<double>(c[sz(k)]) / steps;
            out.push_back(std::move(y));
            return;
        }
        for (int v = 0; v <= left; ++v) {
            c[sz(i)] = v;
            self(self, i + 1, left - v);
        }
    };
    rec(rec, 0, steps);
}

class Search {
public:
    Search(const System& sys, int liquid, const std::vector<double>& b, double T, double P)
        : model_(make_model(sys, liquid)),
          lm_(dynamic_cast<const IonicLiquidModel&>(*model_)),
          q_(lm_.data()),
          b_(b),
          T_(T),
          E_(static_cast<int>(b.size())) {
        const int nv = model_->layout().variables;
        standard_.resize(sz(nv));
        model_->standard(T, std::log(T), {}, standard_);
        for (int p = 0; p < sys.phase_count(); ++p) {
            if (p == liquid) continue;
            const Phase& ph = sys.phases[sz(p)];
            if (ph.count != 1 || ph.model != Model::pure)
                throw std::invalid_argument("ionic brute force: phase " + ph.name + " is not stoichiometric");
            const double one = 1.0;
            solid_g_.push_back(phase_props(sys, p, T, P, std::span<const double>(&one, 1)).G);
            const std::vector<double>& row = sys.constituents[sz(ph.first)].stoich;
            solid_row_.insert(solid_row_.end(), row.begin(), row.end());
        }
        const int K = static_cast<int>(solid_g_.size());
        with_liquid_ = subsets(K, E_ - 1);
        // Assemblages of solids alone.
        for (const std::vector<int>& s : subsets(K, E_)) best_ = std::min(best_, basis_value(s, nullptr, 0.0));
    }

    double best() const { return best_; }

    // One formula unit's record amounts at site fractions yc (cations), ys
    // (second sublattice): n_C = P y_C, n_A = Q y_A, n_B = Q y_B, the
    // vacancies' charge Q^2 y_Va.
    std::vector<double> records(const std::vector<double>& yc, const std::vector<double>& ys) const {
        double Q = 0.0;
        for (std::size_t c = 0; c < yc.size(); ++c) Q += q_.cation_charge[c] * yc[c];
        std::vector<double> m(sz(model_->layout().variables));
        for (std::size_t e = 0; e < m.size(); ++e) {
            const auto c = sz(q_.record_cation[e]);
            const int s = q_.record_site2[e];
            const double y = yc[c] * ys[sz(s)];
            m[e] = s == q_.vacancy ? Q * y : q_.is_neutral(s) ? Q * y / q_.cation_charge[c] : y;
        }
        return m;
    }

    // The element content of record amounts m.
    std::vector<double> content(const std::vector<double>& m) const {
        std::vector<double> a(sz(E_), 0.0);
        for (std::size_t e = 0; e < m.size(); ++e)
            for (int j = 0; j < E_; ++j) a[sz(j)] += m[e] * model_->layout().row_of(static_cast<int>(e))[j];
        return a;
    }

    // The liquid's energy at record amounts m (any split: the liquid's
    // own is taken), HUGE_VAL for no liquid.
    double liquid_G(std::vector<double> m) const {
        model_->own_split(m);
        const double M = std::accumulate(m.begin(), m.end(), 0.0);
        if (!(M > 0.0)) return HUGE_VAL;
        std::vector<double> w(m.size());
        for (std::size_t e = 0; e < m.size(); ++e) w[e] = m[e] / M;
        const double RT = kR * T_;
        double g = M * reference_ionic_excess(lm_, T_, w, {}, {}).g;
        for (std::size_t e = 0; e < m.size(); ++e)
            if (m[e] > 0.0) g += m[e] * (standard_[e].g + RT * std::log(w[e]));
        return g;
    }

    // One formula unit at site fractions yc, ys: its content (a) and energy.
    double unit(const std::vector<double>& yc, const std::vector<double>& ys, std::vector<double>& a) const {
        const std::vector<double> m = records(yc, ys);
        a = content(m);
        return liquid_G(m);
    }

    // The least energy with the liquid at site fractions yc, ys; HUGE_VAL
    // where it cannot balance. `amounts` (if given): the liquid's formula
    // units, then every solid's amount, of that assemblage.
    double at(const std::vector<double>& yc, const std::vector<double>& ys,
              std::vector<double>* amounts = nullptr) const {
        std::vector<double> a;
        const double g = unit(yc, ys, a);
        if (g == HUGE_VAL) return g;
        double least = HUGE_VAL;
        for (const std::vector<int>& s : with_liquid_) {
            std::vector<double> x;
            const double v = basis_value(s, a.data(), g, &x);
            if (!(v < least)) continue;
            least = v;
            if (!amounts) continue;
            amounts->assign(solid_g_.size() + 1, 0.0);
            (*amounts)[0] = x[0];
            for (std::size_t i = 0; i < s.size(); ++i) (*amounts)[sz(s[i]) + 1] = x[i + 1];
        }
        return least;
    }

    int elements() const { return E_; }
    std::size_t records_count() const { return sz(model_->layout().variables); }
    const std::vector<double>& feed() const { return b_; }
    const std::vector<double>& solid_g() const { return solid_g_; }
    const double* solid_row(std::size_t k) const { return solid_row_.data() + k * sz(E_); }

private:
    // The assemblage of the solids `s` (and the liquid of content a and
    // energy g per formula unit, where a is given) that holds b: its
    // energy, HUGE_VAL where no non-negative amounts do.
    double basis_value(const std::vector<int>& s, const double* a, double g, std::vector<double>* amounts = nullptr) const {
        const int n = E_;
        std::vector<double> M(sz(n * n)), x(b_);
        int col = 0;
        if (a)
            for (int j = 0; j < n; ++j) M[sz(j * n)] = a[j];
        if (a) ++col;
        for (int k : s) {
            for (int j = 0; j < n; ++j) M[sz(j * n + col)] = solid_row_[sz(k * E_ + j)];
            ++col;
        }
        if (!solve_small(M, x, n)) return HUGE_VAL;
        double G = 0.0;
        col = 0;
        if (a) {
            if (x[0] < -1e-12) return HUGE_VAL;
            G += std::max(x[0], 0.0) * g;
            ++col;
        }
        for (int k : s) {
            if (x[sz(col)] < -1e-12) return HUGE_VAL;
            G += std::max(x[sz(col)], 0.0) * solid_g_[sz(k)];
            ++col;
        }
        if (amounts) *amounts = x;
        return G;
    }

    std::unique_ptr<PhaseModel> model_;
    const IonicLiquidModel& lm_;
    const IonicLiquid& q_;
    std::vector<double> b_;
    double T_;
    int E_;
    std::vector<StandardProps> standard_;
    std::vector<double> solid_g_, solid_row_;
    std::vector<std::vector<int>> with_liquid_;
    double best_ = HUGE_VAL;
};

// The assemblage in amounts: the solids' amounts z >= 0 and the liquid's
// record amounts holding the rest of the feed, m = m_p(b - S z) + V t, m_p
// the least-norm amounts of that content and V an orthonormal basis of the
// record combinations that hold no element. The bounds z >= 0 are exact for
// a pattern search, so a solid about to enter is no kink here as it is over
// the site fractions.
class AmountSearch {
public:
    explicit AmountSearch(const Search& s) : s_(s), E_(s.elements()) {
        const std::size_t R = s.records_count();
        // The content map's rows as vectors over the records, made orthonormal.
        std::vector<std::vector<double>> rows(sz(E_), std::vector<double>(R));
        for (std::size_t e = 0; e < R; ++e) {
            std::vector<double> unit(R, 0.0);
            unit[e] = 1.0;
            const std::vector<double> a = s.content(unit);
            for (int j = 0; j < E_; ++j) rows[sz(j)][e] = a[sz(j)];
        }
        for (const std::vector<double>& r : rows) add_orthonormal(r, row_basis_);
        for (std::size_t e = 0; e < R; ++e) {
            std::vector<double> unit(R, 0.0);
            unit[e] = 1.0;
            for (const std::vector<double>& u : row_basis_) axpy(-dot(u, unit), u, unit);
            add_orthonormal(unit, null_basis_);
        }
        usable_ = static_cast<int>(row_basis_.size()) == E_;
        // (A U^T): the content of each row-basis vector, for m_p.
        rows_by_basis_.resize(sz(E_ * E_));
        for (std::size_t k = 0; usable_ && k < row_basis_.size(); ++k) {
            const std::vector<double> a = s.content(row_basis_[k]);
            for (int j = 0; j < E_; ++j) rows_by_basis_[sz(j * E_) + k] = a[sz(j)];
        }
    }

    bool usable() const { return usable_; }
    std::size_t dimension() const { return null_basis_.size(); }
    std::vector<double> coordinates(const std::vector<double>& m) const {
        std::vector<double> t;
        for (const std::vector<double>& v : null_basis_) t.push_back(dot(v, m));
        return t;
    }

    // The energy at (z, t); HUGE_VAL where the liquid's amounts would be negative.
    double value(const std::vector<double>& z, const std::vector<double>& t) const {
        std::vector<double> c = s_.feed();
        double G = 0.0;
        for (std::size_t k = 0; k < z.size(); ++k) {
            G += z[k] * s_.solid_g()[k];
            for (int j = 0; j < E_; ++j) c[sz(j)] -= z[k] * s_.solid_row(k)[j];
        }
        if (!solve_small(rows_by_basis_, c, E_)) return HUGE_VAL;
        std::vector<double> m(s_.records_count(), 0.0);
        for (std::size_t k = 0; k < row_basis_.size(); ++k) axpy(c[k], row_basis_[k], m);
        for (std::size_t i = 0; i < null_basis_.size(); ++i) axpy(t[i], null_basis_[i], m);
        double M = 0.0;
        for (double& v : m) {
            if (v < -1e-13) return HUGE_VAL;
            v = std::max(v, 0.0);
            M += v;
        }
        return M > 0.0 ? G + s_.liquid_G(m) : G;
    }

private:
    static double dot(const std::vector<double>& a, const std::vector<double>& b) {
        return std::inner_product(a.begin(), a.end(), b.begin(), 0.0);
    }
    static void axpy(double f, const std::vector<double>& x, std::vector<double>& y) {
        for (std::size_t i = 0; i < y.size(); ++i) y[i] += f * x[i];
    }
    // Adds v, made orthogonal to the basis and of unit length, unless
    // nothing of it is left.
    static void add_orthonormal(std::vector<double> v, std::vector<std::vector<double>>& basis) {
        for (const std::vector<double>& u : basis) axpy(-dot(u, v), u, v);
        const double n = std::sqrt(dot(v, v));
        if (n < 1e-8) return;
        for (double& x : v) x /= n;
        basis.push_back(std::move(v));
    }

    const Search& s_;
    int E_;
    std::vector<std::vector<double>> row_basis_, null_basis_;
    std::vector<double> rows_by_basis_;
    bool usable_ = false;
};

// Pattern search over (z, t) from the assemblage found over the site
// fractions: each coordinate both ways, then random directions, z kept at
// or above 0; the step from a hundredth of the feed halved after a round
// that lowers the value by less than a nanojoule.
double amount_search(const AmountSearch& as, std::mt19937_64& rng, std::vector<double> z, std::vector<double> t,
                     double scale) {
    double v = as.value(z, t);
    const std::size_t K = z.size(), n = K + t.size();
    std::normal_distribution<double> normal;
    std::vector<double> d(n), tz, tt;
    int rounds = 0;
    for (double delta = 1e-2 * scale; delta > 1e-13 * scale && rounds < kRounds; ++rounds) {
        const double before = v;
        for (std::size_t trial = 0; trial < n + static_cast<std::size_t>(kDirections); ++trial) {
            if (trial < n) {
                std::fill(d.begin(), d.end(), 0.0);
                d[trial] = 1.0;
            } else {
                double norm = 0.0;
                for (double& x : d) {
                    x = normal(rng);
                    norm += x * x;
                }
                for (double& x : d) x /= std::sqrt(norm);
            }
            for (double sign : {1.0, -1.0}) {
                tz = z;
                tt = t;
                for (std::size_t i = 0; i < K; ++i) tz[i] = std::max(0.0, z[i] + sign * delta * d[i]);
                for (std::size_t i = 0; i < t.size(); ++i) tt[i] = t[i] + sign * delta * d[K + i];
                const double vt = as.value(tz, tt);
                if (vt < v) {
                    v = vt;
                    z.swap(tz);
                    t.swap(tt);
                }
            }
        }
        if (!(v < before - 1e-9)) delta *= 0.5;
    }
    return v;
}

// A random direction that keeps each simplex's sum: per simplex, normal
// deviates less their mean, scaled to unit length overall.
void random_direction(std::mt19937_64& rng, std::vector<double>& dc, std::vector<double>& ds) {
    std::normal_distribution<double> normal;
    double norm = 0.0;
    for (std::vector<double>* d : {&dc, &ds}) {
        double mean = 0.0;
        for (double& v : *d) {
            v = normal(rng);
            mean += v;
        }
        mean /= static_cast<double>(d->size());
        for (double& v : *d) {
            v -= mean;
            norm += v * v;
        }
    }
    norm = std::sqrt(norm);
    for (std::vector<double>* d : {&dc, &ds})
        for (double& v : *d) v /= norm;
}

// Direction k of the moves of one fraction to another, within either
// simplex (k < nc^2 + n2^2; a zero direction where both are one).
void pair_direction(int k, std::vector<double>& dc, std::vector<double>& ds) {
    std::fill(dc.begin(), dc.end(), 0.0);
    std::fill(ds.begin(), ds.end(), 0.0);
    const int nc = static_cast<int>(dc.size());
    std::vector<double>& d = k < nc * nc ? dc : ds;
    if (k >= nc * nc) k -= nc * nc;
    const int n = static_cast<int>(d.size()), from = k / n, to = k % n;
    if (from == to) return;
    d[sz(from)] = -1.0;
    d[sz(to)] = 1.0;
}

// y + delta d where it stays in the simplex.
bool step(const std::vector<double>& y, const std::vector<double>& d, double delta, std::vector<double>& out) {
    out.resize(y.size());
    for (std::size_t k = 0; k < y.size(); ++k) {
        out[k] = y[k] + delta * d[k];
        if (out[k] < 0.0) {
            if (out[k] < -1e-15) return false;
            out[k] = 0.0;
        }
    }
    return true;
}

// Pattern search from site fractions yc, ys of value v: every move of one
// fraction to another, then random directions of both simplices at once
// (the least over the bases has kinks no single pair of fractions
// follows); the step halved after a round that lowers the value by less
// than a nanojoule, a few hundred rounds at most.
void pattern_search(const Search& search, int grid, std::mt19937_64& rng, std::vector<double>& yc,
                    std::vector<double>& ys, double& v) {
    std::vector<double> dc(yc.size()), ds(ys.size()), tc, ts;
    const int pairs = static_cast<int>(yc.size() * yc.size() + ys.size() * ys.size());
    int rounds = 0;
    for (double delta = 1.0 / grid; delta > 1e-9 && rounds < kRounds; ++rounds) {
        const double before = v;
        for (int trial = 0; trial < kDirections + pairs; ++trial) {
            if (trial < pairs)
                pair_direction(trial, dc, ds);
            else
                random_direction(rng, dc, ds);
            for (double sign : {1.0, -1.0}) {
                if (!step(yc, dc, sign * delta, tc) || !step(ys, ds, sign * delta, ts)) continue;
                const double vt = search.at(tc, ts);
                if (vt < v) {
                    v = vt;
                    yc.swap(tc);
                    ys.swap(ts);
                }
            }
        }
        if (!(v < before - 1e-9)) delta *= 0.5;
    }
}

}  // namespace

double ionic_liquid_energy(const System& sys, int liquid, double T, double P, const std::vector<double>& site_fraction) {
    const IonicLiquid& q = *sys.phases[sz(liquid)].ionic;
    const auto nc = q.cation.size();
    const Search search(sys, liquid, std::vector<double>(sys.elements.size(), 0.0), T, P);
    const std::vector<double> yc(site_fraction.begin(), site_fraction.begin() + static_cast<std::ptrdiff_t>(nc)),
        ys(site_fraction.begin() + static_cast<std::ptrdiff_t>(nc), site_fraction.end());
    std::vector<double> a;
    return search.unit(yc, ys, a);
}

double ionic_one_instance_minimum(const System& sys, int liquid, const std::vector<double>& b, double T, double P,
                                  int grid) {
    Search search(sys, liquid, b, T, P);
    const IonicLiquid& q = *sys.phases[sz(liquid)].ionic;
    std::vector<std::vector<double>> cations, site2;
    simplex_grid(static_cast<int>(q.cation.size()), grid, cations);
    simplex_grid(static_cast<int>(q.site2.size()), grid, site2);
    std::vector<std::pair<double, std::pair<std::size_t, std::size_t>>> points;
    for (std::size_t c = 0; c < cations.size(); ++c)
        for (std::size_t s = 0; s < site2.size(); ++s) {
            const double v = search.at(cations[c], site2[s]);
            if (v < HUGE_VAL) points.push_back({v, {c, s}});
        }
    double best = search.best();
    std::mt19937_64 rng(5), rng_amounts(7);
    const AmountSearch by_amounts(search);
    const double scale = std::accumulate(b.begin(), b.end(), 0.0);
    const std::size_t starts = std::min<std::size_t>(points.size(), kStarts);
    std::partial_sort(points.begin(), points.begin() + static_cast<std::ptrdiff_t>(starts), points.end());
    for (std::size_t k = 0; k < starts; ++k) {
        std::vector<double> yc = cations[points[k].second.first], ys = site2[points[k].second.second];
        double v = points[k].first;
        pattern_search(search, grid, rng, yc, ys, v);
        best = std::min(best, v);
        // Then in amounts, from the assemblage found.
        std::vector<double> amounts;
        if (!by_amounts.usable() || search.at(yc, ys, &amounts) == HUGE_VAL) continue;
        std::vector<double> m = search.records(yc, ys);
        for (double& x : m) x *= amounts[0];
        const std::vector<double> z(amounts.begin() + 1, amounts.end());
        best = std::min(best, amount_search(by_amounts, rng_amounts, z, by_amounts.coordinates(m), scale));
    }
    return best;
}

}  // namespace eqcore::testing
