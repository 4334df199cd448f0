// A balanced start out of a higher basin. A present mixture written once
// has a composition x of its own below the tangent plane of the converged
// state; whether some assemblage with the phase at x (and not at its
// present composition) can be lower than the state is a linear program:
// min sum l_k G_k subject to the element balance, over columns of fixed
// composition: the other present phases at their compositions, every
// stoichiometric phase, the absent mixtures at their compositions of least
// distance and their sampled ones (corners, midpoints, centroid), and the
// phase at x only. A few rounds of column generation refine it: each
// mixture the program uses descends locally in its tangent distance to the
// program's own plane (its duals). Where the program's value is not below
// the state's G the balance keeps the phase where it is (inside its gap)
// and no Newton calculation is spent; otherwise the program's assemblage
// (amounts from l, compositions from the columns) is the start.
#include <algorithm>
#include <cmath>

#include "solver/workspace.hpp"

namespace eqcore::detail {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

constexpr int kRounds = 4;            // programmes solved, column generation between them
constexpr double kBelowBy = 1e-9;     // /RT per mol of material (+ relative): the program counts as lower by more
constexpr double kNewColumn = -1e-9;  // /RT per formula unit: a generated composition below the plane by more
constexpr int kOneRounds = 8;         // programmes with the phase at one composition, moved between them
constexpr double kShortestMove = 1e-2;  // of the way to the phase's local minimum, tried last

// Room in the program's buffers for `cols` columns of compositions `xlen`
// long (the start's sizes cover the sampled columns only).
void reserve_program(Workspace& ws, int cols, std::size_t xlen) {
    const int E = ws.E;
    if (ws.lp_cols < cols) {
        ws.lp_cols = cols;
        ws.lp_tab.resize(sz(E + 1) * sz(cols + E + 1));
        ws.lp_cost.resize(sz(cols));
        ws.lp_col.resize(sz(cols) * sz(E));
        ws.lp_z.resize(sz(cols));
        ws.lp_owner.resize(sz(cols));
        ws.lp_xoff.resize(sz(cols));
    }
    if (ws.lp_x.size() < xlen) ws.lp_x.resize(xlen);
}

// Fractions within each sublattice (y) to a column's composition (x):
// the amounts of one formula unit for a phase with sublattices.
void column_of_fractions(const Workspace& ws, const Candidate& c, const double* y, double* x) {
    for (int g = c.group0; g < c.group0 + c.groups; ++g) {
        const int b = ws.grp_begin[sz(g)] - c.first, e = ws.grp_end[sz(g)] - c.first;
        double sum = 0.0;
        for (int k = b; k < e; ++k) sum += std::max(y[k], 0.0);
        const double scale = (c.groups > 1 ? ws.grp_sites[sz(g)] : 1.0) / sum;
        for (int k = b; k < e; ++k) x[k] = std::max(y[k], 0.0) * scale;
    }
}

// The reverse: a column's composition to fractions within each sublattice,
// every one positive (a descent starts in the interior).
void fractions_of_column(const Workspace& ws, const Candidate& c, const double* x, double* y) {
    for (int g = c.group0; g < c.group0 + c.groups; ++g) {
        const int b = ws.grp_begin[sz(g)] - c.first, e = ws.grp_end[sz(g)] - c.first;
        double sum = 0.0;
        for (int k = b; k < e; ++k) sum += std::max(x[k], 1e-12);
        for (int k = b; k < e; ++k) y[k] = std::max(x[k], 1e-12) / sum;
    }
}

double program_value(const Workspace& ws) {
    double v = 0.0;
    for (int k = 0; k < ws.lp_used; ++k)
        if (ws.lp_z[sz(k)] > 0.0) v += ws.lp_z[sz(k)] * ws.lp_cost[sz(k)];
    return v;
}

// Whether candidate ci has a column at x (within rounding) already.
bool known_column(const Workspace& ws, int ci, const double* x) {
    const int m = ws.cand[sz(ci)].count;
    for (int k = 0; k < ws.lp_used; ++k) {
        if (ws.lp_owner[sz(k)] != ci) continue;
        const double* xk = ws.lp_x.data() + ws.lp_xoff[sz(k)];
        double d = 0.0;
        for (int q = 0; q < m; ++q) d = std::max(d, std::abs(xk[q] - x[q]));
        if (d < 1e-9) return true;
    }
    return false;
}

// Column generation: every mixture column the program uses, and the seeds
// (the phase's new composition, the absent mixtures' least distance ones),
// descends to a local minimum of its distance to the program's plane
// (ws.pi holds the duals); compositions below it by more than kNewColumn
// become columns. Returns whether any was added.
bool generate_columns(Workspace& ws, int most, int skip = -1) {
    double* y = ws.xbest.data();  // where ideal_distance leaves its composition
    double* x = ws.xtry.data();
    const int used = ws.lp_used;
    bool added = false;
    for (int k = 0; k < used && ws.lp_used < most; ++k) {
        const int ci = ws.lp_owner[sz(k)];
        const Candidate& c = ws.cand[sz(ci)];
        if (c.pure || ci == skip) continue;
        if (!(ws.lp_z[sz(k)] > 0.0) && std::find(ws.basin_seeds.begin(), ws.basin_seeds.end(), k) == ws.basin_seeds.end())
            continue;
        double D = 0.0;
        if (c.ideal) {
            D = ideal_distance(ws, c);  // its composition in ws.xbest (y)
        } else {
            fractions_of_column(ws, c, ws.lp_x.data() + ws.lp_xoff[sz(k)], y);
            D = descend_distance(ws, c, y);
        }
        column_of_fractions(ws, c, y, x);
        if (!(D < kNewColumn) || known_column(ws, ci, x)) continue;
        added = lp_add_column(ws, ci, x) || added;
    }
    return added;
}

// Drops candidate ci's columns from the program, the others kept in order.
void drop_columns_of(Workspace& ws, int ci) {
    const int E = ws.E;
    int kept = 0;
    int xoff = 0;
    for (int k = 0; k < ws.lp_used; ++k) {
        const int owner = ws.lp_owner[sz(k)];
        if (owner == ci) continue;
        const int m = ws.cand[sz(owner)].count;
        if (kept != k) {
            std::copy_n(ws.lp_col.begin() + k * E, E, ws.lp_col.begin() + kept * E);
            std::copy_n(ws.lp_x.begin() + ws.lp_xoff[sz(k)], m, ws.lp_x.begin() + xoff);
            ws.lp_cost[sz(kept)] = ws.lp_cost[sz(k)];
            ws.lp_owner[sz(kept)] = owner;
            ws.lp_z[sz(kept)] = ws.lp_z[sz(k)];
        }
        ws.lp_xoff[sz(kept)] = xoff;
        xoff += m;
        ++kept;
    }
    ws.lp_used = kept;
}

}  // namespace

bool one_instance_start(Workspace& ws, int who, const std::vector<double>& x) {
    const Candidate& c = ws.cand[sz(who)];
    const int most = ws.lp_cols - 1;  // room for the phase's own column
    double* col = ws.xtry.data();
    drop_columns_of(ws, who);
    ws.basin_seeds.clear();
    // The program with the phase's one column (always the last) at y: its
    // value, or HUGE_VAL (the column not added or the program not solved).
    const auto program_at = [&](const std::vector<double>& y) {
        column_of_fractions(ws, c, y.data(), col);
        if (!lp_add_column(ws, who, col)) return HUGE_VAL;
        if (solve_lp(ws)) return program_value(ws);
        --ws.lp_used;
        return HUGE_VAL;
    };
    std::vector<double> y(x), to(x.size()), at(x.size());
    double value = program_at(y);
    if (value == HUGE_VAL) return false;
    for (int round = 1; round < kOneRounds; ++round) {
        // The phase's local minimum of the distance to the program's plane
        // from where it is; the other mixtures gain columns at that plane.
        std::copy(y.begin(), y.end(), to.begin());
        double D = 0.0;
        if (c.ideal) {
            D = ideal_distance(ws, c);
            std::copy_n(ws.xbest.begin(), c.count, to.begin());
        } else {
            D = descend_distance(ws, c, to.data());
        }
        if (!(D < kNewColumn)) break;
        --ws.lp_used;
        generate_columns(ws, most, who);
        // The phase moves towards that minimum (the whole way, else by
        // halved steps) while the program's value falls: at the plane of
        // a program that uses the phase the descent may run into its other
        // basin, where its one column would raise the value.
        bool moved = false;
        for (double t = 1.0; t > kShortestMove && !moved; t *= 0.5) {
            for (std::size_t k = 0; k < y.size(); ++k) at[k] = y[k] + t * (to[k] - y[k]);
            const double v = program_at(at);
            moved = v < value - 1e-12 * (1.0 + std::abs(value));
            if (moved) {
                value = v;
                y.swap(at);
            } else if (v != HUGE_VAL) {
                --ws.lp_used;
            }
        }
        if (!moved) {
            if (program_at(y) == HUGE_VAL) return false;
            break;
        }
    }
    start_from_lp(ws);
    return true;
}

bool basin_start(Workspace& ws, int who, const std::vector<double>& x, double G0) {
    const int NC = static_cast<int>(ws.cand.size());
    const int generated = kRounds * NC;
    int cols = NC + 1 + generated;
    std::size_t xlen = sz(NC + 1 + generated) * sz(ws.max_phase_count);
    for (const Candidate& c : ws.cand) {
        const int n = lp_column_count(ws, c);
        cols += n;
        xlen += sz(n) * sz(c.count);
    }
    reserve_program(ws, cols, xlen);

    ws.lp_used = 0;
    ws.basin_seeds.clear();
    double* y = ws.xbest.data();
    ws.basin_probe.resize(sz(ws.max_phase_count));  // free once the phase is chosen
    double* col = ws.basin_probe.data();
    for (int ci = 0; ci < NC; ++ci) {
        const Candidate& c = ws.cand[sz(ci)];
        if (c.excluded) continue;
        if (ci == who) {
            column_of_fractions(ws, c, x.data(), col);
            if (lp_add_column(ws, ci, col)) ws.basin_seeds.push_back(ws.lp_used - 1);
            continue;
        }
        if (c.present && !c.pure) {
            for (int k = 0; k < c.count; ++k) col[k] = ws.n[sz(c.first + k)] * (c.groups > 1 ? c.sites : 1.0) / c.N;
            lp_add_column(ws, ci, col);
        } else if (!c.pure) {
            // Its composition of least distance at the state's potentials:
            // the closed form of an ideal mixture, a non-ideal one's last search.
            if (c.ideal) {
                ideal_distance(ws, c);
                column_of_fractions(ws, c, y, col);
                lp_add_column(ws, ci, col);
            } else if (ws.tpm[sz(ci)].level > 0) {
                column_of_fractions(ws, c, ws.tp_x.data() + c.first, col);
                if (lp_add_column(ws, ci, col)) ws.basin_seeds.push_back(ws.lp_used - 1);
            }
        }
        lp_sample_columns(ws, ci);
    }
    for (int round = 0;; ++round) {
        if (!solve_lp(ws)) return false;
        if (round + 1 == kRounds || !generate_columns(ws, cols)) break;
    }
    if (!(program_value(ws) < G0 - kBelowBy * (1.0 + std::abs(G0)))) return false;
    start_from_lp(ws);
    return true;
}

}  // namespace eqcore::detail
