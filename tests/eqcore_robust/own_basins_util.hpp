// Helpers of the tests of a phase written once left in a higher basin of
// its own: feeds by phase and constituent name, the check's verdict on such
// a state, and an independent brute-force minimum for binary systems.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include <Eigen/Dense>
#include <gtest/gtest.h>

#include "check/one_instance.hpp"
#include "check/stress.hpp"
#include "robust_util.hpp"
#include "thermo/models.hpp"
#include "thermo/phase_props.hpp"

namespace eqcore::robust {

inline std::size_t usz(int v) { return static_cast<std::size_t>(v); }

inline std::string sibling_data(const std::string& folder, const std::string& file) {
    return std::string(EQCORE_ROBUST_TEST_DIR) + "/../" + folder + "/data/" + file;
}

// A state as the stress harness printed it (check/stress.hpp), with the
// temperature its warm calculation starts from.
struct Printed {
    System sys;
    EquilibriumProblem pr;
    Conditions c;
    double T_near = 0.0;
};
// The data file read from `path`; `file` its name as the line gives it.
inline Printed printed_from(const std::string& path, const std::string& file, const std::string& rest) {
    Printed out{read_dat(path), {}, {}};
    StressState st;
    EXPECT_EQ(read_state(out.sys, file + " " + rest, st), "");
    out.pr = problem_of(out.sys, st);
    out.c = conditions_of(st);
    out.T_near = st.T_near;
    return out;
}
inline Printed printed(const std::string& folder, const std::string& file, const std::string& rest) {
    return printed_from(sibling_data(folder, file), file, rest);
}

// The lines of a list of printed states in this folder's data (each the
// data file's path from the repository's root, then the state), and the
// state of one such line.
inline std::vector<std::string> state_lines(const std::string& list) {
    std::ifstream in(test_data(list));
    EXPECT_TRUE(in) << list;
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) out.push_back(line);
    return out;
}
inline Printed printed_line(const std::string& line) {
    const std::string path = line.substr(0, line.find(' '));
    const std::string file = path.substr(path.rfind('/') + 1);
    return printed_from(std::string(EQCORE_TESTS_DIR) + "/../" + path, file, line.substr(path.size() + 1));
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

// Cold, and warm from the state the harness solved before it.
inline std::vector<EquilibriumResult> cold_and_warm(const Printed& s) {
    std::vector<EquilibriumResult> out;
    Solver cold;
    out.push_back(solve_cold(cold, s.pr, s.c));
    Solver warm;
    prepare_warm(warm, s.pr, s.c, s.T_near);
    out.push_back(warm.equilibrate(s.pr, s.c));
    return out;
}

// Accepted, and at the brute-force minimum `brute` (an upper bound of the
// true one): not above it, and below it by no more than its resolution.
inline void at_minimum(const Printed& s, const std::vector<EquilibriumResult>& out, double brute, double resolution) {
    for (const EquilibriumResult& r : out) {
        ASSERT_TRUE(r.succeeded()) << r.message;
        EXPECT_TRUE(accepted(s.pr, r));
        EXPECT_LE(r.G, brute + 1e-9 * std::abs(brute));
        EXPECT_GE(r.G, brute - resolution * std::abs(brute));
    }
}

inline std::vector<std::string> phases_present(const System& sys, const EquilibriumResult& r) {
    std::vector<std::string> out;
    for (int p : present_phases(r)) out.push_back(sys.phases[usz(p)].name);
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

// The least G of phase p, beside stoichiometric phases `others` (their
// amounts in `m`), over amounts that hold the same element amounts (those
// of elements in `b` only), from the phase's amounts `n` (the check's
// one-instance search, least_one_instance; independent of the solver).
// `n` and `m` are moved to the least point found.
inline double least_G_beside(const System& sys, const PhaseModels& models, int p, double T, double P,
                             const std::vector<double>& b, std::vector<double>& n, const std::vector<int>& others,
                             std::vector<double>& m, double finest = 1e-13) {
    OneInstanceProblem pr;
    pr.model = &models[p];
    pr.T = T;
    pr.P = P;
    pr.constituents = sys.phases[usz(p)].count;
    std::vector<std::size_t> rows;
    for (std::size_t j = 0; j < b.size(); ++j)
        if (b[j] > 0.0) rows.push_back(j);
    auto content = [&](const Constituent& c) {
        std::vector<double> a;
        for (std::size_t j : rows) a.push_back(c.stoich[j]);
        return a;
    };
    for (int k = 0; k < pr.constituents; ++k) {
        const Constituent& c = sys.constituent(p, k);
        bool usable = true;
        for (std::size_t j = 0; j < b.size(); ++j) usable = usable && (c.stoich[j] == 0.0 || b[j] > 0.0);
        pr.usable.push_back(usable ? 1 : 0);
        pr.content.push_back(content(c));
    }
    for (int q : others) {
        // A phase of an element the material lacks stays at its amount.
        bool holds_other = false;
        for (std::size_t j = 0; j < b.size(); ++j) holds_other = holds_other || (sys.constituent(q, 0).stoich[j] != 0.0 && !(b[j] > 0.0));
        pr.content.push_back(holds_other ? std::vector<double>(rows.size(), 0.0) : content(sys.constituent(q, 0)));
        pr.cost.push_back(phase_props(models[q], T, P, std::vector<double>{1.0}).G);
    }
    std::vector<double> v = n;
    v.insert(v.end(), m.begin(), m.end());
    pr.b.assign(rows.size(), 0.0);
    for (std::size_t k = 0; k < v.size(); ++k)
        for (std::size_t i = 0; i < rows.size(); ++i) pr.b[i] += v[k] * pr.content[k][i];
    const double G = least_one_instance(pr, v, finest, 200000);
    std::copy(v.begin(), v.begin() + pr.constituents, n.begin());
    std::copy(v.begin() + pr.constituents, v.end(), m.begin());
    return G;
}

// The least G of phase p over its constituent amounts holding the element
// amounts of `n` (least_G_beside with the phase alone).
inline double least_G_of_content(const System& sys, const PhaseModels& models, int p, double T, double P,
                                 const std::vector<double>& b, std::vector<double> n) {
    std::vector<double> none;
    return least_G_beside(sys, models, p, T, P, b, n, {}, none);
}

// A brute-force minimum over the one-instance assemblages of a system of
// three elements (the elements of `b` > 0) made of one mixture `mix` and
// stoichiometric phases: the mixture at every point of a grid of the
// composition triangle (its G there the least over its constituents that
// hold that content, from a split into constituents of one element each),
// beside every set of at most two stoichiometric phases, the amounts from
// the balance (the sets of three stoichiometric phases alone too); the best
// assemblages of each set then refined together by least_G_beside.
// Independent of the solver and of the check. Returns G, J.
inline double ternary_one_instance_minimum(const System& sys, double T, double P, const std::vector<double>& b, int mix,
                                           int grid) {
    PhaseModels models(sys);
    std::vector<std::size_t> el;
    for (std::size_t j = 0; j < b.size(); ++j)
        if (b[j] > 0.0) el.push_back(j);
    EXPECT_EQ(el.size(), 3u);
    if (el.size() != 3) return std::numeric_limits<double>::infinity();
    const Phase& ph = sys.phases[usz(mix)];
    auto content = [&](int p, int k) {
        Eigen::Vector3d a;
        for (int i = 0; i < 3; ++i) a(i) = sys.constituent(p, k).stoich[el[usz(i)]];
        return a;
    };
    auto holds_other = [&](int p, int k) {
        for (std::size_t j = 0; j < b.size(); ++j)
            if (sys.constituent(p, k).stoich[j] != 0.0 && !(b[j] > 0.0)) return true;
        return false;
    };
    // The mixture's constituent of each element alone, for the first split.
    std::array<int, 3> alone{-1, -1, -1};
    for (int k = 0; k < ph.count; ++k) {
        const Eigen::Vector3d a = content(mix, k);
        if (holds_other(mix, k)) continue;
        for (int i = 0; i < 3; ++i)
            if (a(i) > 0.0 && a.sum() == a(i) && alone[usz(i)] < 0) alone[usz(i)] = k;
    }
    for (int i = 0; i < 3; ++i) EXPECT_GE(alone[usz(i)], 0) << "no constituent of element " << el[usz(i)] << " alone";
    std::vector<int> solids;
    for (int p = 0; p < sys.phase_count(); ++p)
        if (!sys.phases[usz(p)].dormant && !sys.phases[usz(p)].is_mixture() && !holds_other(p, 0)) solids.push_back(p);
    const Eigen::Vector3d feed(b[el[0]], b[el[1]], b[el[2]]);
    // Sets of stoichiometric phases: none, one, two (beside the mixture), three (alone).
    std::vector<std::vector<int>> sets{{}};
    for (std::size_t i = 0; i < solids.size(); ++i) {
        sets.push_back({solids[i]});
        for (std::size_t k = i + 1; k < solids.size(); ++k) sets.push_back({solids[i], solids[k]});
    }
    struct Candidate {
        double G = std::numeric_limits<double>::infinity();
        std::vector<double> n, m;  // the mixture's amounts, the stoichiometric phases'
    };
    std::vector<Candidate> best(sets.size() + 1);
    // The assemblage of columns `cols` (element content per unit) holding the feed, G per unit `g`.
    auto balance = [&](const std::vector<Eigen::Vector3d>& cols, Eigen::VectorXd& l) {
        Eigen::MatrixXd M(3, static_cast<Eigen::Index>(cols.size()));
        for (std::size_t c = 0; c < cols.size(); ++c) M.col(static_cast<Eigen::Index>(c)) = cols[c];
        l = M.colPivHouseholderQr().solve(feed);
        if (!((M * l - feed).norm() <= 1e-12 * feed.norm())) return false;
        for (Eigen::Index c = 0; c < l.size(); ++c)
            if (l(c) < 0.0) return false;
        return true;
    };
    auto pure_g = [&](int p) { return phase_props(models[p], T, P, std::vector<double>{1.0}).G; };
    for (int i = 1; i < grid; ++i)
        for (int j = 1; i + j < grid; ++j) {
            const Eigen::Vector3d x(double(i) / grid, double(j) / grid, double(grid - i - j) / grid);
            std::vector<double> n(usz(ph.count), 0.0);
            for (int e = 0; e < 3; ++e) n[usz(alone[usz(e)])] = x(e) / content(mix, alone[usz(e)])(e);
            std::vector<double> none;
            const double g = least_G_beside(sys, models, mix, T, P, b, n, {}, none, 1e-7);
            for (std::size_t s = 0; s < sets.size(); ++s) {
                std::vector<Eigen::Vector3d> cols{x};
                for (int p : sets[s]) cols.push_back(content(p, 0));
                Eigen::VectorXd l;
                if (!balance(cols, l)) continue;
                double G = l(0) * g;
                for (std::size_t q = 0; q < sets[s].size(); ++q) G += l(static_cast<Eigen::Index>(q + 1)) * pure_g(sets[s][q]);
                if (G < best[s].G) {
                    best[s].G = G;
                    best[s].n = n;
                    for (double& v : best[s].n) v *= l(0);
                    best[s].m.clear();
                    for (std::size_t q = 0; q < sets[s].size(); ++q) best[s].m.push_back(l(static_cast<Eigen::Index>(q + 1)));
                }
            }
        }
    for (std::size_t i = 0; i < solids.size(); ++i)
        for (std::size_t k = i + 1; k < solids.size(); ++k)
            for (std::size_t m = k + 1; m < solids.size(); ++m) {
                Eigen::VectorXd l;
                if (!balance({content(solids[i], 0), content(solids[k], 0), content(solids[m], 0)}, l)) continue;
                const double G = l(0) * pure_g(solids[i]) + l(1) * pure_g(solids[k]) + l(2) * pure_g(solids[m]);
                best.back().G = std::min(best.back().G, G);
            }
    double least = best.back().G;
    for (std::size_t s = 0; s < sets.size(); ++s)
        if (!best[s].n.empty()) least = std::min(least, least_G_beside(sys, models, mix, T, P, b, best[s].n, sets[s], best[s].m));
    return least;
}

}  // namespace eqcore::robust
