// Helpers of the tests of a phase written once left in a higher basin of
// its own: feeds by phase and constituent name, the check's verdict on such
// a state, and an independent brute-force minimum for binary systems.
#pragma once

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <Eigen/Dense>
#include <gtest/gtest.h>

#include "robust_util.hpp"
#include "thermo/models.hpp"
#include "thermo/phase_props.hpp"

namespace eqcore::robust {

inline std::size_t usz(int v) { return static_cast<std::size_t>(v); }

inline std::string sibling_data(const std::string& folder, const std::string& file) {
    return std::string(EQCORE_ROBUST_TEST_DIR) + "/../" + folder + "/data/" + file;
}

// Adds `mol` of the first constituent called `name` of phase `phase`.
inline void feed_in(EquilibriumProblem& pr, const std::string& phase, const std::string& name, double mol) {
    const System& sys = *pr.system;
    const int p = phase_of(sys, phase);
    ASSERT_GE(p, 0) << phase;
    for (int k = 0; k < sys.phases[usz(p)].count; ++k)
        if (sys.constituent(p, k).name == name) {
            pr.add("feed", p, k, mol);
            return;
        }
    FAIL() << "no constituent " << name << " in " << phase;
}

inline bool rejected_naming(const EquilibriumProblem& pr, const EquilibriumResult& r, const std::string& phase,
                     double at_least) {
    const AcceptanceReport rep = check_equilibrium(pr, r);
    bool named = false;
    for (const std::string& f : rep.faults) named = named || f.find("phase " + phase + " sits in its higher basin") == 0;
    return !rep.ok && named && rep.lower_assemblage >= at_least;
}

inline SolverOptions as_before() {
    SolverOptions o;
    o.leave_higher_basins = false;
    return o;
}

inline std::vector<int> present_phases(const EquilibriumResult& r) {
    std::vector<int> out;
    for (std::size_t p = 0; p < r.phases.size(); ++p)
        if (r.phases[p].present) out.push_back(static_cast<int>(p));
    return out;
}

// A brute-force minimum over the one-instance assemblages of a binary
// system at feed fraction x_f of its second element: every phase sampled
// along its composition (per mol of atoms), each single phase at x_f
// exactly, and every pair of different phases on either side of x_f by the
// lever rule. Phases of two constituents or one; a gas is taken as its
// species of the second element alone.
inline double binary_brute_force(const System& sys, const std::vector<double>& b, double T, double P, int second,
                          int samples) {
    PhaseModels models(sys);
    struct Point {
        double x, g;
    };
    std::vector<std::vector<Point>> curve;
    auto per_atom = [&](int p, const std::vector<double>& n, Point& pt) {
        double atoms = 0.0, of_second = 0.0;
        for (int k = 0; k < sys.phases[usz(p)].count; ++k) {
            const Constituent& c = sys.constituent(p, k);
            for (std::size_t j = 0; j < c.stoich.size(); ++j) atoms += n[usz(k)] * c.stoich[j];
            of_second += n[usz(k)] * c.stoich[usz(second)];
        }
        if (!(atoms > 0.0)) return false;
        pt = {of_second / atoms, phase_props(models[p], T, P, n).G / atoms};
        return true;
    };
    const double x_f = b[usz(second)] / (b[0] + b[1]);
    // Fractions sampled: evenly spaced, and spaced evenly in their
    // logarithm towards either end (where G changes fastest).
    std::vector<double> fractions;
    for (int i = 0; i <= samples; ++i) fractions.push_back(std::clamp(double(i) / samples, 1e-12, 1.0 - 1e-12));
    for (int i = 1; i <= samples / 5; ++i) {
        const double t = std::pow(10.0, -12.0 * i / (samples / 5));
        fractions.push_back(t);
        fractions.push_back(1.0 - t);
    }
    double best = std::numeric_limits<double>::infinity();
    for (int p = 0; p < sys.phase_count(); ++p) {
        const Phase& ph = sys.phases[usz(p)];
        if (ph.dormant) continue;
        std::vector<Point> pts;
        std::vector<double> n(usz(ph.count), 0.0);
        Point pt{};
        if (ph.is_gas()) {
            // The species of the second element only, their best mixture
            // (one composition x = 1).
            double g = std::numeric_limits<double>::infinity();
            for (double t : fractions) {
                std::fill(n.begin(), n.end(), 0.0);
                int used = 0;
                for (int k = 0; k < ph.count; ++k) {
                    const Constituent& c = sys.constituent(p, k);
                    if (c.stoich[usz(1 - second)] != 0.0) continue;
                    n[usz(k)] = used++ == 0 ? t : 1.0 - t;
                }
                if (per_atom(p, n, pt)) g = std::min(g, pt.g);
            }
            pts.push_back({1.0, g});
        } else if (ph.count == 1) {
            n[0] = 1.0;
            if (per_atom(p, n, pt)) pts.push_back(pt);
        } else if (ph.count == 2) {
            for (double y : fractions) {
                n = {y, 1.0 - y};
                if (per_atom(p, n, pt)) pts.push_back(pt);
            }
            // The phase alone at the feed: its fraction by bisection.
            double lo = 1e-12, hi = 1.0 - 1e-12;
            Point a{}, z{};
            n = {lo, 1.0 - lo};
            per_atom(p, n, a);
            n = {hi, 1.0 - hi};
            per_atom(p, n, z);
            if ((a.x - x_f) * (z.x - x_f) < 0.0) {
                const bool rising = z.x > a.x;
                for (int it = 0; it < 200; ++it) {
                    const double mid = 0.5 * (lo + hi);
                    n = {mid, 1.0 - mid};
                    per_atom(p, n, pt);
                    ((pt.x < x_f) == rising ? lo : hi) = mid;
                }
                best = std::min(best, pt.g);
            }
        }
        for (const Point& q : pts)
            if (std::abs(q.x - x_f) < 1e-14) best = std::min(best, q.g);
        curve.push_back(std::move(pts));
    }
    for (std::size_t p = 0; p < curve.size(); ++p)
        for (std::size_t q = 0; q < curve.size(); ++q) {
            if (p == q) continue;
            for (const Point& l : curve[p]) {
                if (!(l.x < x_f)) continue;
                for (const Point& r : curve[q]) {
                    if (!(r.x > x_f)) continue;
                    best = std::min(best, l.g + (r.g - l.g) * (x_f - l.x) / (r.x - l.x));
                }
            }
        }
    return best * (b[0] + b[1]);
}

// The least G of phase p over its constituent amounts n >= 0 that hold the
// element amounts of `n0` (those of elements in `b` only), by a pattern
// search along a basis of the directions that keep the element content:
// independent of the solver.
inline double least_G_of_content(const System& sys, const PhaseModels& models, int p, double T, double P,
                          const std::vector<double>& b, std::vector<double> n) {
    const Phase& ph = sys.phases[usz(p)];
    std::vector<int> use;
    for (int k = 0; k < ph.count; ++k) {
        bool ok = true;
        for (std::size_t j = 0; j < b.size(); ++j) ok = ok && (sys.constituent(p, k).stoich[j] == 0.0 || b[j] > 0.0);
        if (ok) use.push_back(k);
    }
    Eigen::MatrixXd A(static_cast<Eigen::Index>(b.size()), static_cast<Eigen::Index>(use.size()));
    for (std::size_t j = 0; j < b.size(); ++j)
        for (std::size_t i = 0; i < use.size(); ++i)
            A(static_cast<Eigen::Index>(j), static_cast<Eigen::Index>(i)) = sys.constituent(p, use[i]).stoich[j];
    const Eigen::MatrixXd Z = Eigen::FullPivLU<Eigen::MatrixXd>(A).kernel();
    auto G = [&](const std::vector<double>& v) { return phase_props(models[p], T, P, v).G; };
    double best = G(n);
    double total = 0.0;
    for (double v : n) total += v;
    for (double step = 0.1 * total; step > 1e-13 * total; step *= 0.5)
        for (bool moved = true; moved;) {
            moved = false;
            for (Eigen::Index d = 0; d < Z.cols(); ++d)
                for (double dir : {-1.0, 1.0}) {
                    std::vector<double> t = n;
                    bool inside = true;
                    for (std::size_t i = 0; i < use.size(); ++i) {
                        double& v = t[usz(use[i])];
                        v += dir * step * Z(static_cast<Eigen::Index>(i), d) / Z.col(d).norm();
                        inside = inside && v >= 0.0;
                    }
                    if (!inside) continue;
                    const double g = G(t);
                    if (g < best - 1e-14 * std::abs(best)) best = g, n = t, moved = true;
                }
        }
    return best;
}

}  // namespace eqcore::robust
