#include "hull_oracle.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "thermo/models.hpp"
#include "thermo/phase_props.hpp"

namespace eqcore::oracle {

struct HullOracle::Family {
    std::string name;
    int phase = 0;
    bool solution = false;
    std::unique_ptr<PhaseModel> model;
    int count = 0;
    std::array<int, 3> constituent{-1, -1, -1};  // solution: its constituent of each element, or -1
    std::vector<double> g_grid;                   // solution: G_m at grid (i, j), NaN where unavailable
};

std::string family_of(const std::string& name) {
    const std::size_t hash = name.rfind('#');
    if (hash == std::string::npos || hash + 1 == name.size()) return name;
    for (std::size_t k = hash + 1; k < name.size(); ++k)
        if (name[k] < '0' || name[k] > '9') return name;
    return name.substr(0, hash);
}

std::map<std::string, int> HullAnswer::families(double share) const {
    std::map<std::string, int> out;
    for (const Instance& i : assemblage)
        if (i.fraction > share) ++out[i.family];
    return out;
}

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double dot(const Composition& a, const Composition& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// Solves A z = b (3 x 3) by elimination with partial pivoting; false when singular.
// Solves A z = b for the leading k x k block by elimination with partial
// pivoting; false when singular.
bool solve(std::size_t k, std::array<std::array<double, 3>, 3> A, Composition b, Composition& z) {
    for (std::size_t c = 0; c < k; ++c) {
        std::size_t p = c;
        for (std::size_t r = c + 1; r < k; ++r)
            if (std::fabs(A[r][c]) > std::fabs(A[p][c])) p = r;
        if (std::fabs(A[p][c]) < 1e-14) return false;
        std::swap(A[p], A[c]);
        std::swap(b[p], b[c]);
        for (std::size_t r = c + 1; r < k; ++r) {
            const double f = A[r][c] / A[c][c];
            for (std::size_t j = c; j < k; ++j) A[r][j] -= f * A[c][j];
            b[r] -= f * b[c];
        }
    }
    for (std::size_t r = k; r-- > 0;) {
        double s = b[r];
        for (std::size_t j = r + 1; j < k; ++j) s -= A[r][j] * z[j];
        z[r] = s / A[r][r];
    }
    return true;
}

struct Lp {
    std::array<std::size_t, 3> basis{};
    Composition lambda{};
    Composition pi{};
    double value = 0.0;
};

// An element absent from the feed: its potential, so low that no composition
// holding it comes near the tangent plane.
constexpr double kAbsent = -1e12;

// min sum l_k g_k subject to sum l_k x_k = feed, l >= 0, by the revised
// simplex method on the rows of the elements in the feed (points holding
// another element cannot take part), from the lowest point at each corner.
// Dantzig's rule, then Bland's rule (which cannot cycle) after many steps.
Lp solve_lp(const std::vector<HullPoint>& pts, const Composition& feed) {
    std::array<std::size_t, 3> row{};
    std::size_t k = 0;
    for (std::size_t e = 0; e < 3; ++e)
        if (feed[e] > 0.0) row[k++] = e;
    auto usable = [&](const HullPoint& p) {
        for (std::size_t e = 0; e < 3; ++e)
            if (!(feed[e] > 0.0) && p.x[e] != 0.0) return false;
        return true;
    };
    auto reduced = [&](const HullPoint& p, const Composition& pi) {
        double r = p.g;
        for (std::size_t i = 0; i < k; ++i) r -= pi[i] * p.x[row[i]];
        return r;
    };
    Lp lp;
    double scale = 1.0;
    for (const HullPoint& p : pts) scale = std::max(scale, std::fabs(p.g));
    for (std::size_t i = 0; i < k; ++i) {
        double best = std::numeric_limits<double>::infinity();
        bool found = false;
        for (std::size_t q = 0; q < pts.size(); ++q)
            if (pts[q].x[row[i]] == 1.0 && pts[q].g < best) {
                best = pts[q].g;
                lp.basis[i] = q;
                found = true;
            }
        if (!found) throw std::runtime_error("oracle: no phase holds a pure element");
    }
    const double tol = 1e-11 * scale;
    Composition feed_k{}, pi_k{};
    for (std::size_t i = 0; i < k; ++i) feed_k[i] = feed[row[i]];
    for (int iteration = 0; iteration < 100000; ++iteration) {
        std::array<std::array<double, 3>, 3> B{}, Bt{};
        Composition gB{};
        for (std::size_t c = 0; c < k; ++c) {
            const HullPoint& p = pts[lp.basis[c]];
            for (std::size_t i = 0; i < k; ++i) B[i][c] = Bt[c][i] = p.x[row[i]];
            gB[c] = p.g;
        }
        if (!solve(k, B, feed_k, lp.lambda) || !solve(k, Bt, gB, pi_k)) throw std::runtime_error("oracle: singular basis");
        const bool bland = iteration > 1000;
        std::size_t enter = pts.size();
        double least = -tol;
        for (std::size_t q = 0; q < pts.size(); ++q) {
            if (!usable(pts[q])) continue;
            const double r = reduced(pts[q], pi_k);
            if (r < least) {
                enter = q;
                least = r;
                if (bland) break;
            }
        }
        if (enter == pts.size()) {
            lp.pi.fill(kAbsent);
            for (std::size_t i = 0; i < k; ++i) lp.pi[row[i]] = pi_k[i];
            lp.value = 0.0;
            for (std::size_t i = 0; i < k; ++i) lp.value += pi_k[i] * feed_k[i];
            return lp;
        }
        Composition xe{}, d{};
        for (std::size_t i = 0; i < k; ++i) xe[i] = pts[enter].x[row[i]];
        if (!solve(k, B, xe, d)) throw std::runtime_error("oracle: singular basis");
        // Least ratio; ties go to the basis point of least index (Bland).
        std::size_t leave = 3;
        double ratio = std::numeric_limits<double>::infinity();
        for (std::size_t i = 0; i < k; ++i) {
            if (!(d[i] > 1e-9)) continue;
            const double t = std::max(lp.lambda[i], 0.0) / d[i];
            if (t < ratio - 1e-15 || (t <= ratio + 1e-15 && leave < 3 && lp.basis[i] < lp.basis[leave])) {
                ratio = std::min(ratio, t);
                leave = i;
            }
        }
        if (leave == 3) throw std::runtime_error("oracle: unbounded programme");
        lp.basis[leave] = enter;
    }
    throw std::runtime_error("oracle: the simplex method did not finish");
}

}  // namespace

HullOracle::HullOracle(const System& sys, std::array<int, 3> elements, double T, double P, int grid)
    : sys_(sys), elements_(elements), T_(T), P_(P), grid_(grid) {
    auto chosen = [&](int j) { return std::find(elements.begin(), elements.end(), j) != elements.end(); };
    std::map<std::string, bool> seen;
    for (int p = 0; p < sys.phase_count(); ++p) {
        const Phase& ph = sys.phases[static_cast<std::size_t>(p)];
        if (ph.dormant) continue;
        Family f;
        f.name = ph.is_mixture() ? family_of(ph.name) : ph.name;
        if (seen[f.name]) continue;  // copies of a gap are identical
        seen[f.name] = true;
        f.phase = p;
        f.count = ph.count;
        f.solution = ph.is_mixture();
        if (!f.solution) {
            const Constituent& c = sys.constituent(p, 0);
            Composition x{};
            double atoms = 0.0;
            bool inside = true;
            for (int j = 0; j < sys.element_count(); ++j) {
                const double a = c.stoich[static_cast<std::size_t>(j)];
                if (a == 0.0) continue;
                if (!chosen(j)) inside = false;
                atoms += a;
            }
            if (!inside) continue;
            for (std::size_t e = 0; e < 3; ++e) x[e] = c.stoich[static_cast<std::size_t>(elements[e])] / atoms;
            f.model = make_model(sys, p);
            const double one = 1.0;
            grid_points_.push_back({p, x, phase_props(*f.model, T, P, std::span<const double>(&one, 1)).G / atoms});
            families_.push_back(std::move(f));
            continue;
        }
        bool usable = !ph.is_gas() && ph.model != Model::subl && !ph.quasichem && !ph.ionic;
        bool any = false;
        for (int k = 0; k < ph.count; ++k) {
            const Constituent& c = sys.constituent(p, k);
            int element = -1, nonzero = 0;
            bool inside = true;
            for (int j = 0; j < sys.element_count(); ++j) {
                if (c.stoich[static_cast<std::size_t>(j)] == 0.0) continue;
                ++nonzero;
                element = j;
                if (!chosen(j)) inside = false;
            }
            if (!inside) continue;
            any = true;
            if (nonzero != 1 || c.stoich[static_cast<std::size_t>(element)] != 1.0) usable = false;
            for (std::size_t e = 0; e < 3; ++e)
                if (elements[e] == element) f.constituent[e] = k;
        }
        if (!any) continue;
        if (!usable) {
            unsupported_.push_back(ph.name);
            continue;
        }
        f.model = make_model(sys, p);
        families_.push_back(std::move(f));
    }
    // Solutions at every grid point they can reach.
    const std::size_t n = static_cast<std::size_t>(grid) + 1;
    for (std::size_t fi = 0; fi < families_.size(); ++fi) {
        Family& f = families_[fi];
        if (!f.solution) continue;
        f.g_grid.assign(n * n, kNaN);
        for (int i = 0; i <= grid; ++i)
            for (int j = 0; i + j <= grid; ++j) {
                const Composition x{static_cast<double>(i) / grid, static_cast<double>(j) / grid,
                                    static_cast<double>(grid - i - j) / grid};
                const double g = molar_g(f, x);
                f.g_grid[static_cast<std::size_t>(i) * n + static_cast<std::size_t>(j)] = g;
                if (!std::isnan(g)) grid_points_.push_back({f.phase, x, g});
            }
    }
}

HullOracle::~HullOracle() = default;

double HullOracle::molar_g(const Family& f, const Composition& x) const {
    std::vector<double> amount(static_cast<std::size_t>(f.count), 0.0);
    for (std::size_t e = 0; e < 3; ++e) {
        if (x[e] < 0.0) return kNaN;
        if (x[e] == 0.0) continue;
        if (f.constituent[e] < 0) return kNaN;
        amount[static_cast<std::size_t>(f.constituent[e])] = x[e];
    }
    return phase_props(*f.model, T_, P_, amount).G;
}

// Local minima of the distance G_m - pi.x among the family's grid points,
// each refined by a pattern search along the six directions e_a - e_b of
// the triangle with a halving step; the minima are added to `points`.
void HullOracle::refine(const Family& f, const Composition& pi, std::vector<HullPoint>& points, double& least) const {
    const int n = grid_ + 1;
    auto d_at = [&](int i, int j) {
        if (i < 0 || j < 0 || i + j > grid_) return kNaN;
        const double g = f.g_grid[static_cast<std::size_t>(i * n + j)];
        const Composition x{static_cast<double>(i) / grid_, static_cast<double>(j) / grid_,
                            static_cast<double>(grid_ - i - j) / grid_};
        return g - dot(pi, x);
    };
    std::vector<std::pair<double, std::array<int, 2>>> minima;
    const int step[6][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, -1}, {-1, 1}};
    for (int i = 0; i <= grid_; ++i)
        for (int j = 0; i + j <= grid_; ++j) {
            const double d = d_at(i, j);
            if (std::isnan(d)) continue;
            bool lowest = true;
            for (const auto& s : step) {
                const double e = d_at(i + s[0], j + s[1]);
                if (!std::isnan(e) && e < d) lowest = false;
            }
            if (lowest) minima.push_back({d, {i, j}});
        }
    std::sort(minima.begin(), minima.end());
    if (minima.size() > 4) minima.resize(4);
    const Composition dir[6] = {{1, -1, 0}, {-1, 1, 0}, {1, 0, -1}, {-1, 0, 1}, {0, 1, -1}, {0, -1, 1}};
    for (const auto& m : minima) {
        Composition x{static_cast<double>(m.second[0]) / grid_, static_cast<double>(m.second[1]) / grid_,
                      static_cast<double>(grid_ - m.second[0] - m.second[1]) / grid_};
        double d = m.first;
        double delta = 1.0 / grid_;
        for (int it = 0; it < 4000 && delta > 1e-12; ++it) {
            Composition best = x;
            double best_d = d;
            for (const Composition& u : dir) {
                Composition y{x[0] + delta * u[0], x[1] + delta * u[1], x[2] + delta * u[2]};
                const double g = molar_g(f, y);
                if (std::isnan(g)) continue;
                const double e = g - dot(pi, y);
                if (e < best_d) {
                    best_d = e;
                    best = y;
                }
            }
            if (best_d < d) {
                x = best;
                d = best_d;
            } else {
                delta *= 0.5;
            }
        }
        least = std::min(least, d);
        // A point the programme already has would only make its bases singular.
        bool known = false;
        for (const HullPoint& p : points)
            known = known || (p.phase == f.phase && std::fabs(p.x[0] - x[0]) < 1e-9 && std::fabs(p.x[1] - x[1]) < 1e-9);
        if (!known) points.push_back({f.phase, x, d + dot(pi, x)});
    }
}

HullAnswer HullOracle::at(const Composition& feed) const {
    std::vector<HullPoint> pts = grid_points_;
    Lp lp = solve_lp(pts, feed);
    double least = 0.0;
    // Rounds until no phase has a composition measurably below the tangent
    // plane of the hull: then the upper and lower bounds meet.
    for (int round = 0; round < 40; ++round) {
        least = 0.0;
        for (const HullPoint& p : pts) least = std::min(least, p.g - dot(lp.pi, p.x));
        for (const Family& f : families_)
            if (f.solution) refine(f, lp.pi, pts, least);
        if (least > -1e-7 || round == 39) break;
        lp = solve_lp(pts, feed);
    }
    HullAnswer a;
    a.upper = lp.value;
    a.lower = dot(lp.pi, feed) + std::min(0.0, least);
    a.potential = lp.pi;
    const double near = 3.0 / grid_;
    for (std::size_t c = 0; c < 3; ++c) {
        if (!(lp.lambda[c] > 1e-12)) continue;
        const HullPoint& p = pts[lp.basis[c]];
        const std::string name = family_of(sys_.phases[static_cast<std::size_t>(p.phase)].name);
        bool merged = false;
        for (HullAnswer::Instance& i : a.assemblage) {
            if (i.family != name) continue;
            double far = 0.0;
            for (std::size_t e = 0; e < 3; ++e) far = std::max(far, std::fabs(i.x[e] - p.x[e]));
            if (far > near) continue;
            const double w = i.fraction + lp.lambda[c];
            for (std::size_t e = 0; e < 3; ++e) i.x[e] = (i.x[e] * i.fraction + p.x[e] * lp.lambda[c]) / w;
            i.fraction = w;
            merged = true;
            break;
        }
        if (!merged) a.assemblage.push_back({name, p.x, lp.lambda[c]});
    }
    return a;
}

}  // namespace eqcore::oracle
