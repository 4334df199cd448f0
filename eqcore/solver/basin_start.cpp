// A balanced start out of a higher basin. A present mixture written once
// has a composition x of its own below the tangent plane of the converged
// state; whether some assemblage with the phase at x (and not at its
// present composition) can be lower than the state is a linear program:
// min sum l_k G_k subject to the element balance, over columns of fixed
// composition: the other present phases at their compositions, every
// stoichiometric phase, the absent mixtures at their compositions of least
// distance and their sampled ones (corners, midpoints, centroid), and the
// phase at x only (and near x where x alone cannot balance). Rounds of
// column generation refine it: each mixture the program uses descends
// locally in its tangent distance to the program's own plane (its duals),
// and before a verdict that keeps the phase, the phase's own search over
// all its compositions at those duals adds its least one.
// Where the program's value falls below the state's G its assemblage
// (amounts from l, compositions from the columns) is the start, each
// mixture's spread taken from its own potentials there (its excess
// included), so that it stays in the basin the program put it in. The phase
// stays where it is (inside its gap, no Newton calculation spent) only
// on a proof: the columns converged with the value not below G, or a
// bound from the last round's columns shows no assemblage can be lower.
// A program that cannot balance even with the phase's neighbourhood of x
// shows that no assemblage holds the phase there (nor, so, a lower one);
// one that cannot be solved or has not converged decides nothing.
#include <algorithm>
#include <cmath>
#include <vector>

#include "solver/workspace.hpp"

namespace eqcore::detail {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

constexpr int kRounds = 16;           // programmes solved, column generation between them
constexpr double kBelowBy = 1e-9;     // /RT per mol of material (+ relative): the program counts as lower by more
constexpr double kNewColumn = -1e-9;  // /RT per formula unit: a generated composition below the plane by more
constexpr double kProvedBy = 1e-7;    // /RT per mol of material: a bound on how much lower any assemblage can be, within which the phase stays
constexpr int kOneRounds = 8;         // programmes with the phase at one composition, moved between them
constexpr double kShortestMove = 1e-2;  // of the way to the phase's local minimum, tried last
constexpr double kStar = 2e-2;        // step of the phase's neighbouring columns towards its constituents
constexpr double kShortestTowards = 1.0 / 64.0;  // of the way to x: the shortest step of a balanced start
constexpr int kRefineTowards = 5;     // bisections of the longest balanced step towards x
constexpr double kApart = 1e-2;       // largest fraction difference of two compositions of one basin
constexpr double kInterior = 0.9;     // share of the way to the simplex's edge an opposite start goes
constexpr int kRefineAlone = 10;      // bisections of the shortest step that lets the phase alone hold the feed

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

// Room for every candidate's sampled columns and `more` columns of any
// phase besides; returns the program's capacity in columns.
int reserve_with_samples(Workspace& ws, int more) {
    int cols = more;
    std::size_t xlen = sz(more) * sz(ws.max_phase_count);
    for (const Candidate& c : ws.cand) {
        const int n = lp_column_count(ws, c);
        cols += n;
        xlen += sz(n) * sz(c.count);
    }
    reserve_program(ws, cols, xlen);
    return cols;
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

// Column k's distance below the program's plane (ws.pi): its reduced cost.
double reduced_cost(const Workspace& ws, int k) {
    double d = ws.lp_cost[sz(k)];
    for (int j = 0; j < ws.E; ++j) d -= ws.pi[sz(j)] * ws.lp_col[sz(k) * sz(ws.E) + sz(j)];
    return d;
}

// Each candidate's column of least reduced cost (-1: none).
std::vector<int> least_columns(const Workspace& ws) {
    std::vector<int> least(ws.cand.size(), -1);
    std::vector<double> d(ws.cand.size(), HUGE_VAL);
    for (int k = 0; k < ws.lp_used; ++k) {
        const std::size_t ci = sz(ws.lp_owner[sz(k)]);
        const double r = reduced_cost(ws, k);
        if (r < d[ci]) {
            d[ci] = r;
            least[ci] = k;
        }
    }
    return least;
}

// Column generation: every mixture column the program uses, and the seeds
// (the phase's new composition, the absent mixtures' least distance ones),
// or with `every` each mixture's column of least reduced cost instead, descends
// to a local minimum of its distance to the program's plane (ws.pi holds
// the duals); compositions below it by more than kNewColumn become
// columns. Returns whether any was added; `steepest` (if given) falls to
// the least distance per unit of element content of a column added
// (-HUGE_VAL where one holds no net content).
bool generate_columns(Workspace& ws, int most, int skip = -1, bool every = false, double* steepest = nullptr) {
    double* y = ws.xbest.data();  // where ideal_distance leaves its composition
    double* x = ws.xtry.data();
    const int used = ws.lp_used;
    const std::vector<int> least = every ? least_columns(ws) : std::vector<int>{};
    bool added = false;
    for (int k = 0; k < used && ws.lp_used < most; ++k) {
        const int ci = ws.lp_owner[sz(k)];
        const Candidate& c = ws.cand[sz(ci)];
        if (c.pure || ci == skip) continue;
        const bool usual =
            ws.lp_z[sz(k)] > 0.0 || std::find(ws.basin_seeds.begin(), ws.basin_seeds.end(), k) != ws.basin_seeds.end();
        if (every ? usual || least[sz(ci)] != k : !usual) continue;
        double D = 0.0;
        if (c.ideal) {
            D = ideal_distance(ws, c);  // its composition in ws.xbest (y)
        } else {
            fractions_of_column(ws, c, ws.lp_x.data() + ws.lp_xoff[sz(k)], y);
            D = descend_distance(ws, c, y);
        }
        column_of_fractions(ws, c, y, x);
        if (!(D < kNewColumn) || known_column(ws, ci, x) || !lp_add_column(ws, ci, x)) continue;
        added = true;
        if (steepest) {
            double content = 0.0;
            for (int j = 0; j < ws.E; ++j) content += ws.lp_col[sz(ws.lp_used - 1) * sz(ws.E) + sz(j)];
            *steepest = std::min(*steepest, content > 0.0 ? reduced_cost(ws, ws.lp_used - 1) / content : -HUGE_VAL);
        }
    }
    return added;
}

// The phase's composition of least distance to the program's plane over
// all its compositions (its own search at the duals in ws.pi) as a column,
// where it lies below the plane: the descents of generate_columns start
// from the program's columns and reach only their basins at these
// potentials, which need not hold the composition an assemblage lower than
// the state has the phase at. Returns whether a column was added.
bool least_column(Workspace& ws, int who, int most) {
    if (ws.lp_used >= most) return false;
    const Candidate& c = ws.cand[sz(who)];
    std::vector<double> y;  // rare path (a verdict that would keep the phase): may allocate
    if (!(least_self_distance(ws, who, y) < kNewColumn)) return false;
    double* x = ws.xtry.data();
    column_of_fractions(ws, c, y.data(), x);
    return !known_column(ws, who, x) && lp_add_column(ws, who, x);
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

// Candidate `who` as columns at y (fractions) and at compositions a step
// (kStar unless given) from y towards each of its constituents: one column
// alone admits the phase only where the balance leaves exactly its
// composition (a feed that compounds make up exactly), while columns
// within that small neighbourhood merge into one instance near y. Adds at
// most 1 + count columns (unpriced ones without `priced`: lp_add_column).
void add_neighbourhood(Workspace& ws, int who, const std::vector<double>& y, bool priced = true,
                       double step = kStar) {
    const Candidate& c = ws.cand[sz(who)];
    double* col = ws.xtry.data();
    column_of_fractions(ws, c, y.data(), col);
    lp_add_column(ws, who, col, priced);
    std::vector<double> star(y.size());
    for (int g = c.group0; g < c.group0 + c.groups; ++g)
        for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s) {
            std::copy(y.begin(), y.end(), star.begin());
            for (int q = ws.grp_begin[sz(g)]; q < ws.grp_end[sz(g)]; ++q) star[sz(q - c.first)] *= 1.0 - step;
            star[sz(s - c.first)] += step;
            column_of_fractions(ws, c, star.data(), col);
            lp_add_column(ws, who, col, priced);
        }
}

// The program with candidate `who` at one composition, y (fractions,
// moved), and its neighbourhood (add_neighbourhood); its `columns` columns
// the last ones. Program by program, y moves
// towards its local minimum of the distance to the program's plane (the
// whole way, else by halved steps) while the program's value falls: at
// the plane of a program that uses the phase the descent may run into its
// other basin, where the phase would raise the value; the other mixtures
// gain columns at each plane. Returns the value, the program solved with
// the phase at y; HUGE_VAL (no column of the phase left) when it cannot be
// solved.
double one_column_program(Workspace& ws, int who, std::vector<double>& y, int& columns) {
    const Candidate& c = ws.cand[sz(who)];
    const int most = ws.lp_cols - 1 - c.count;  // room for the phase's own columns
    const auto program_at = [&](const std::vector<double>& at) {
        const int first = ws.lp_used;
        add_neighbourhood(ws, who, at);
        columns = ws.lp_used - first;
        if (columns > 0 && solve_lp(ws)) return program_value(ws);
        ws.lp_used = first;
        columns = 0;
        return HUGE_VAL;
    };
    std::vector<double> to(y.size()), at(y.size());
    double value = program_at(y);
    if (value == HUGE_VAL) return value;
    for (int round = 1; round < kOneRounds; ++round) {
        std::copy(y.begin(), y.end(), to.begin());
        double D = 0.0;
        if (c.ideal) {
            D = ideal_distance(ws, c);
            std::copy_n(ws.xbest.begin(), c.count, to.begin());
        } else {
            D = descend_distance(ws, c, to.data());
        }
        if (!(D < kNewColumn)) break;
        ws.lp_used -= columns;
        generate_columns(ws, most, who);
        bool moved = false;
        for (double t = 1.0; t > kShortestMove && !moved; t *= 0.5) {
            for (std::size_t k = 0; k < y.size(); ++k) at[k] = y[k] + t * (to[k] - y[k]);
            const double v = program_at(at);
            moved = v < value - 1e-12 * (1.0 + std::abs(value));
            if (moved) {
                value = v;
                y.swap(at);
            } else {
                ws.lp_used -= columns;
            }
        }
        if (!moved) return program_at(y);
    }
    return value;
}

}  // namespace

bool one_instance_start(Workspace& ws, int who, const std::vector<double>& x) {
    const Candidate& c = ws.cand[sz(who)];
    // The phase starts at x and at every composition the program uses it
    // at (on either side of its gap: one of them may be where it belongs).
    std::vector<std::vector<double>> starts{x};
    for (int k = 0; k < ws.lp_used; ++k)
        if (ws.lp_owner[sz(k)] == who && ws.lp_z[sz(k)] > 0.0) {
            starts.emplace_back(x.size());
            fractions_of_column(ws, c, ws.lp_x.data() + ws.lp_xoff[sz(k)], starts.back().data());
        }
    drop_columns_of(ws, who);
    ws.basin_seeds.clear();
    double best = HUGE_VAL;
    std::size_t at_best = 0;
    int columns = 0;
    for (std::size_t i = 0; i < starts.size(); ++i) {
        const double v = one_column_program(ws, who, starts[i], columns);
        ws.lp_used -= columns;
        if (v < best) {
            best = v;
            at_best = i;
        }
    }
    if (best == HUGE_VAL) return false;
    // The best one again, with every column generated since.
    std::vector<double>& y = starts[at_best];
    if (one_column_program(ws, who, y, columns) == HUGE_VAL) return false;
    start_from_lp(ws, true);
    return true;
}

bool towards_start(Workspace& ws, int who, const std::vector<double>& x) {
    const Candidate& c = ws.cand[sz(who)];
    const std::size_t m = sz(c.count);
    std::vector<double> y0(m), y(m);
    fractions_of_column(ws, c, ws.n.data() + c.first, y0.data());
    drop_columns_of(ws, who);
    ws.basin_seeds.clear();
    // Room for the phase's neighbourhood beyond the other phases' columns.
    const int first = ws.lp_used;
    const std::size_t xend =
        first == 0 ? 0 : sz(ws.lp_xoff[sz(first - 1)] + ws.cand[sz(ws.lp_owner[sz(first - 1)])].count);
    reserve_program(ws, first + 1 + c.count, xend + (m + 1) * m);
    // Whether the balances can be met with the phase near the point t of
    // the way to x. Only the step found last is priced and solved: the
    // others need no cost (feasibility reads none), which spares the
    // phase's model a dozen evaluations per step tried.
    const auto balances_at = [&](double t, bool solved) {
        ws.lp_used = first;
        for (std::size_t k = 0; k < m; ++k) y[k] = y0[k] + t * (x[k] - y0[k]);
        add_neighbourhood(ws, who, y, solved);
        return ws.lp_used > first && (solved ? solve_lp(ws) : lp_balances(ws));
    };
    // The phase's compositions that balance form a convex set around its
    // present one: where the shortest step cannot balance, the longer ones
    // (further out on the same line) do not either, up to the reach of the
    // neighbourhood's columns.
    if (!balances_at(kShortestTowards, false)) return false;
    double t = 1.0;
    while (t > kShortestTowards && !balances_at(t, false)) t *= 0.5;
    // The longest step found is at least half the first that cannot
    // balance: bisected towards the edge of the balance, where another
    // phase's amount runs out, the phase as far on its way to x as it can be.
    double beyond = std::min(2.0 * t, 1.0);
    for (int i = 0; i < kRefineTowards && t < beyond; ++i) {
        const double mid = 0.5 * (t + beyond);
        (balances_at(mid, false) ? t : beyond) = mid;
    }
    if (!balances_at(t, true)) return false;
    start_from_lp(ws, true);
    return true;
}

bool alone_start(Workspace& ws, int who, const std::vector<double>& x, bool sampled) {
    const Candidate& c = ws.cand[sz(who)];
    const std::size_t m = sz(c.count);
    // Seeds: x, or the phase's sampled compositions (corners, midpoints,
    // centroid): the basin that holds the feed alone need not be x's.
    std::vector<std::vector<double>> seeds;
    if (!sampled) seeds.push_back(x);
    if (sampled) {
        reserve_program(ws, lp_column_count(ws, c), sz(lp_column_count(ws, c)) * m);
        ws.lp_used = 0;
        lp_sample_columns(ws, who);
        for (int k = 0; k < ws.lp_used; ++k) {
            seeds.emplace_back(m);
            fractions_of_column(ws, c, ws.lp_x.data() + ws.lp_xoff[sz(k)], seeds.back().data());
        }
    }
    reserve_program(ws, 2 + c.count, (m + 2) * m);
    // The program of the phase's columns alone: y and y moved a share
    // `step` of the way to each constituent of each sublattice. The
    // compositions these columns balance grow with the step (each column at
    // a shorter step is a mix of y and the one at the longer), so the
    // shortest step that balances is bisected between none and the whole
    // way: the phase holds the feed as near y as this neighbourhood allows.
    const auto balances_with = [&](const std::vector<double>& y, double step, bool solved) {
        ws.lp_used = 0;
        add_neighbourhood(ws, who, y, solved, step);
        return ws.lp_used > 0 && (solved ? solve_lp(ws) : lp_balances(ws));
    };
    const auto shortest_step = [&](const std::vector<double>& y) {
        if (!balances_with(y, 1.0, false)) return -1.0;
        double none = 0.0, step = 1.0;
        for (int i = 0; i < kRefineAlone; ++i) {
            const double mid = 0.5 * (none + step);
            (balances_with(y, mid, false) ? step : none) = mid;
        }
        return balances_with(y, step, true) ? step : -1.0;
    };
    // Each seed's balanced start, the phase's columns merged into the one
    // composition the start gives it, judged by the phase's G there (the
    // whole feed in it): the least is the start.
    std::vector<double> merged(m);
    double best = HUGE_VAL, best_step = -1.0;
    std::size_t at_best = 0;
    for (std::size_t i = 0; i < seeds.size(); ++i) {
        const double step = shortest_step(seeds[i]);
        if (step < 0.0) continue;
        double units = 0.0;
        std::fill(merged.begin(), merged.end(), 0.0);
        for (int k = 0; k < ws.lp_used; ++k) {
            units += ws.lp_z[sz(k)];
            for (std::size_t q = 0; q < m; ++q) merged[q] += ws.lp_z[sz(k)] * ws.lp_x[sz(ws.lp_xoff[sz(k)]) + q];
        }
        if (!(units > 0.0)) continue;
        for (double& v : merged) v /= units;
        if (!lp_add_column(ws, who, merged.data())) continue;
        const double G = units * ws.lp_cost[sz(ws.lp_used - 1)];
        if (G < best) {
            best = G;
            best_step = step;
            at_best = i;
        }
    }
    if (best_step < 0.0 || !balances_with(seeds[at_best], best_step, true)) return false;
    start_from_lp(ws, true);
    return true;
}

void present_fractions(const Workspace& ws, int who, std::vector<double>& y) {
    const Candidate& c = ws.cand[sz(who)];
    y.resize(sz(c.count));
    fractions_of_column(ws, c, ws.n.data() + c.first, y.data());
}

bool opposite_basin(Workspace& ws, int who, const std::vector<double>& x, std::vector<double>& x2) {
    const Candidate& c = ws.cand[sz(who)];
    const std::size_t m = sz(c.count);
    std::vector<double> y0(m);
    fractions_of_column(ws, c, ws.n.data() + c.first, y0.data());
    // The present composition moved away from x by as much as x lies from
    // it, or a share of the way to the simplex's edge where that is nearer.
    // Where the present composition holds a trace that x holds more of, the
    // move shrinks to about that trace's size and the start lies beside the
    // present composition. The descent still runs there: the present
    // composition is a stationary point of the distance but not always a
    // minimum of it (the distance can curve down along a direction the
    // element balance does not let the phase take), and from beside such a
    // point the descent leaves for another basin. Only a bound on the
    // distance's curvature over a ball holding the start would prove that
    // the descent comes back, and the phase's model may not have one.
    double s = 1.0;
    for (std::size_t k = 0; k < m; ++k)
        if (x[k] > y0[k]) s = std::min(s, kInterior * y0[k] / (x[k] - y0[k]));
    x2.resize(m);
    for (std::size_t k = 0; k < m; ++k) x2[k] = y0[k] + s * (y0[k] - x[k]);
    const double D = descend_distance(ws, c, x2.data());
    double from_x = 0.0, from_y0 = 0.0;
    for (std::size_t k = 0; k < m; ++k) {
        from_x = std::max(from_x, std::abs(x2[k] - x[k]));
        from_y0 = std::max(from_y0, std::abs(x2[k] - y0[k]));
    }
    return D < -ws.opt.stability_tol && from_x > kApart && from_y0 > kApart;
}

bool remembered_basin(Workspace& ws, int who, int k, const std::vector<std::vector<double>>& tried,
                      std::vector<double>& xk) {
    const Candidate& c = ws.cand[sz(who)];
    const TangentMemory& t = ws.tpm[sz(who)];
    constexpr int kB = TangentMemory::kBasins;
    if (k >= t.basins || ws.basin_own[sz(kB) * sz(who) + sz(k)] != 0) return false;
    const std::size_t m = sz(c.count);
    const double* bx = ws.tp_basin_x.data() + sz(kB) * sz(c.first) + sz(k) * m;
    xk.assign(bx, bx + m);
    std::vector<double> y0(m);
    fractions_of_column(ws, c, ws.n.data() + c.first, y0.data());
    // Apart from the present composition and the basins decided, before
    // the descent (one that starts in a basin decided lands there) and
    // after it.
    const auto apart = [&]() {
        const auto from = [&](const std::vector<double>& y) {
            double d = 0.0;
            for (std::size_t q = 0; q < m; ++q) d = std::max(d, std::abs(xk[q] - y[q]));
            return d > kApart;
        };
        if (!from(y0)) return false;
        for (const std::vector<double>& y : tried)
            if (y.size() == m && !from(y)) return false;
        return true;
    };
    if (!apart()) return false;
    const double D = descend_distance(ws, c, xk.data());
    return D < -ws.opt.stability_tol && apart();
}

bool hull_start(Workspace& ws) {
    const int NC = static_cast<int>(ws.cand.size());
    const int cols = reserve_with_samples(ws, kRounds * NC);
    ws.lp_used = 0;
    ws.basin_seeds.clear();
    for (int ci = 0; ci < NC; ++ci)
        if (!ws.cand[sz(ci)].excluded) lp_sample_columns(ws, ci, true);
    if (!solve_lp(ws)) return false;
    for (int round = 1; round <= kRounds; ++round) {
        if (!generate_columns(ws, cols) && !generate_columns(ws, cols, -1, true)) break;
        if (!solve_lp(ws)) return false;
    }
    start_from_lp(ws, true);
    own_splits(ws);
    return true;
}

BasinVerdict basin_start(Workspace& ws, int who, const std::vector<double>& x, double G0) {
    const int NC = static_cast<int>(ws.cand.size());
    const int generated = kRounds * NC + 1 + ws.cand[sz(who)].count;  // and the phase's neighbourhood
    const int cols = reserve_with_samples(ws, NC + 1 + generated);

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
            if (lp_add_column(ws, ci, col, false)) ws.basin_seeds.push_back(ws.lp_used - 1);
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
    // The phase's columns are priced only once the program balances: where
    // it cannot, their costs would not be read.
    const auto solved = [&ws] {
        if (!lp_balances(ws)) return false;
        lp_price_columns(ws);
        return solve_lp(ws);
    };
    if (!solved()) {
        // The phase at x alone may not hold what the others leave; near x it may.
        add_neighbourhood(ws, who, x, false);
        if (!lp_balances(ws)) return BasinVerdict::unbalanced;
        lp_price_columns(ws);
        if (!solve_lp(ws)) return BasinVerdict::unsure;
    }
    const double below_G0 = G0 - kBelowBy * (1.0 + std::abs(G0));
    double material = 0.0;
    for (int j = 0; j < ws.E; ++j) material += ws.b[sz(j)];
    for (int round = 1;; ++round) {
        if (program_value(ws) < below_G0) {
            start_from_lp(ws, true);
            return BasinVerdict::move;
        }
        // No column below the program's plane, from the columns it uses nor
        // from each mixture's least one: its value bounds every assemblage
        // with the phase in that basin from below.
        const bool full = ws.lp_used >= cols;
        const double value = program_value(ws);
        double steepest = 0.0;
        if (!generate_columns(ws, cols, -1, false, &steepest) && !generate_columns(ws, cols, -1, true, &steepest) &&
            !least_column(ws, who, cols))
            return full ? BasinVerdict::unsure : BasinVerdict::stay;
        // Still adding columns at the last round: any assemblage is at
        // least the program's value plus its content (the material's)
        // times the least distance per unit content found (from every
        // mixture); where even that is not below G0 by more than kProvedBy
        // (less than what the acceptance check counts as lower) the phase
        // stays.
        if (round == kRounds) {
            generate_columns(ws, cols, -1, true, &steepest);
            return value + material * steepest < G0 - kProvedBy * material || ws.lp_used >= cols ? BasinVerdict::unsure
                                                                                                 : BasinVerdict::stay;
        }
        if (!solve_lp(ws)) return BasinVerdict::unsure;
    }
}

}  // namespace eqcore::detail
