// The starting point: a linear program minimises G = sum c_k z_k subject to
// the element balances A z = b, z >= 0, over columns that are the usable
// constituents taken pure (gas species at their partial pressure equal to P)
// and sampled compositions of the condensed mixture phases (their G_m with
// mixing and excess terms). Mixing in the gas is neglected. The optimal basis
// gives the phases present and their amounts, its dual the element
// potentials. Dense two-phase simplex (Dantzig's rule, Bland's against cycling); the
// problems are small (elements x columns).
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "solver/workspace.hpp"
#include "thermo/scratch.hpp"

namespace eqcore::detail {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }
constexpr double kLnFloor = -690.0;  // smallest ln x kept (x ~ 1e-300)
// Mole fraction given to a constituent the program holds in its basis at
// zero amount (a degenerate vertex, such as an exactly stoichiometric feed):
// a trace, but on the high side, since Newton lowers an amount in one step
// while it raises one by a bounded factor per step.
constexpr double kDegenerateFraction = 1e-2;
// The cost of a column added unpriced, until lp_price_columns.
constexpr double kUnpriced = std::numeric_limits<double>::quiet_NaN();

// Most corners (one constituent on every sublattice) of a phase with
// sublattices offered as columns, and most midpoints of two columns.
constexpr int kMaxCorners = 64;
constexpr int kMaxPairs = 45;

// Samples of a mixture phase's composition space offered besides its end
// members: the centroid and pairwise midpoints.
int sample_count(int m) {
    if (m < 2) return 0;
    const int pairs = std::min(m * (m - 1) / 2, kMaxPairs);
    return pairs + (m > 2 ? 1 : 0);
}

int corner_count(const Workspace& ws, const Candidate& c) {
    long n = 1;
    for (int g = c.group0; g < c.group0 + c.groups && n <= kMaxCorners; ++g) n *= ws.grp_end[sz(g)] - ws.grp_begin[sz(g)];
    return static_cast<int>(std::min<long>(n, kMaxCorners));
}

// Corner number `index` of a phase with sublattices as the amounts of one
// formula unit (its slot order): the site number on one slot of each group,
// the groups' slots counted in mixed radix.
void corner(const Workspace& ws, const Candidate& c, int index, double* x) {
    std::fill(x, x + c.count, 0.0);
    for (int g = c.group0; g < c.group0 + c.groups; ++g) {
        const int m = ws.grp_end[sz(g)] - ws.grp_begin[sz(g)];
        x[ws.grp_begin[sz(g)] + index % m - c.first] = ws.grp_sites[sz(g)];
        index /= m;
    }
}

// ln 1/2, the logarithm every midpoint column of two constituents takes
// twice: taken once (the same number std::log gives each time).
const double kLnHalf = std::log(0.5);
double log_of(double x) { return x == 0.5 ? kLnHalf : std::log(x); }

// Molar Gibbs energy / RT of candidate c at composition x (its slot order):
// per mol at mole fractions x for one group, per formula unit at its amounts
// x (site number times site fraction) for a phase with sublattices.
double molar_g(Workspace& ws, const Candidate& c, const double* x) {
    double g = 0.0;
    if (c.groups == 1) {
        for (int k = 0; k < c.count; ++k) {
            const int s = c.first + k;
            if (x[k] > 0.0) g += x[k] * (ws.g0[sz(s)] + log_of(x[k]));
        }
        if (!c.ideal) g += remainder_at(ws, c, x, false, false).g / ws.RT;
        return g;
    }
    for (int gi = c.group0; gi < c.group0 + c.groups; ++gi)
        for (int s = ws.grp_begin[sz(gi)]; s < ws.grp_end[sz(gi)]; ++s) {
            const double v = x[s - c.first];
            if (v > 0.0) g += v * (ws.g0[sz(s)] + log_of(v / ws.grp_sites[sz(gi)]));
        }
    if (!c.ideal) {
        double* w = ws.wtmp.data();
        for (int k = 0; k < c.count; ++k) w[k] = x[k] / c.sites;
        g += c.sites * remainder_at(ws, c, w, false, false).g / ws.RT;
    }
    return g;
}

class Simplex {
public:
    explicit Simplex(Workspace& ws) : ws_(ws), m_(ws.E), n_(ws.lp_used), w_(ws.lp_used + ws.E + 1) {}

    double& at(int r, int c) { return ws_.lp_tab[sz(r) * sz(w_) + sz(c)]; }

    bool run() { return phase_one() && phase_two(); }

    // Whether the balances can be met: the first phase alone, which reads
    // no column's cost.
    bool phase_one() {
        // Constraint rows and artificial basis.
        for (int i = 0; i < m_; ++i) {
            for (int k = 0; k < n_; ++k) at(i, k) = ws_.lp_col[sz(k) * sz(m_) + sz(i)];
            for (int k = 0; k < m_; ++k) at(i, n_ + k) = i == k ? 1.0 : 0.0;
            at(i, w_ - 1) = ws_.b[sz(i)];
            ws_.lp_basis[sz(i)] = n_ + i;
        }
        // Phase 1: minimise the sum of the artificials.
        for (int k = 0; k < w_; ++k) {
            double s = 0.0;
            if (k < n_ || k == w_ - 1)
                for (int i = 0; i < m_; ++i) s -= at(i, k);
            at(m_, k) = s;
        }
        if (!iterate(n_)) return false;
        return at(m_, w_ - 1) >= -1e-10;  // the artificials driven to zero: the balances are met
    }

    bool phase_two() {
        // Drive artificials at zero level out of the basis where possible.
        for (int i = 0; i < m_; ++i) {
            if (ws_.lp_basis[sz(i)] < n_) continue;
            for (int k = 0; k < n_; ++k)
                if (std::abs(at(i, k)) > 1e-9) {
                    pivot(i, k);
                    break;
                }
        }
        // Phase 2: the real costs.
        for (int k = 0; k < w_; ++k) {
            double s = k < n_ ? ws_.lp_cost[sz(k)] : 0.0;
            for (int i = 0; i < m_; ++i) {
                const int bk = ws_.lp_basis[sz(i)];
                const double cb = bk < n_ ? ws_.lp_cost[sz(bk)] : 0.0;
                s -= cb * at(i, k);
            }
            at(m_, k) = s;
        }
        return iterate(n_);
    }

    // Dual values: pi_i = c_B B^-1 e_i, read from the artificial columns.
    void duals(std::vector<double>& pi) {
        for (int i = 0; i < m_; ++i) pi[sz(i)] = -at(m_, n_ + i);
    }

private:
    bool iterate(int enter_limit) {
        const int max_pivots = 50 * (n_ + m_) + 100;
        for (int it = 0; it < max_pivots; ++it) {
            // Most negative reduced cost (few pivots); Bland's first negative
            // one once the pivots suggest a degenerate cycle. Costs equal to
            // rounding (two phases with the same Gibbs energy at the same
            // composition) keep the first column, so that the choice does
            // not depend on the temperature's last digits.
            const bool bland = it > 2 * (n_ + m_);
            int q = -1;
            double best_rc = -1e-11;
            for (int k = 0; k < enter_limit; ++k)
                if (at(m_, k) < best_rc - 1e-12) {
                    q = k;
                    if (bland) break;
                    best_rc = at(m_, k);
                }
            if (q < 0) return true;
            int r = -1;
            double best = 0.0;
            for (int i = 0; i < m_; ++i) {
                const double v = at(i, q);
                if (v <= 1e-12) continue;
                const double ratio = at(i, w_ - 1) / v;
                if (r < 0 || ratio < best - 1e-15 ||
                    (ratio <= best + 1e-15 && ws_.lp_basis[sz(i)] < ws_.lp_basis[sz(r)])) {
                    r = i;
                    best = ratio;
                }
            }
            if (r < 0) return false;  // unbounded: cannot happen with z >= 0 and A z = b bounded
            pivot(r, q);
        }
        return false;
    }

    void pivot(int r, int q) {
        double* pr = &at(r, 0);
        const double inv = 1.0 / pr[q];
        for (int k = 0; k < w_; ++k) pr[k] *= inv;
        for (int i = 0; i <= m_; ++i) {
            if (i == r) continue;
            double* ri = &at(i, 0);
            const double f = ri[q];
            if (f == 0.0) continue;
            for (int k = 0; k < w_; ++k) ri[k] -= f * pr[k];
        }
        ws_.lp_basis[sz(r)] = q;
    }

    Workspace& ws_;
    int m_, n_, w_;
};

// The program's duals make every basic column's cost equal a.pi; for the
// constituents of an ideal mixture that cost leaves out RT ln x. Adding it
// (x from the program's amounts; a basic column at zero counts as a trace)
// gives potentials under which the majors keep their amounts and the traces
// of the mixture start near their equilibrium share.
void mixing_corrected_duals(Workspace& ws) {
    const int E = ws.E, w = ws.lp_used + E + 1;
    const double* tab = ws.lp_tab.data();
    double* cB = ws.per_element.data();
    for (int i = 0; i < E; ++i) {
        const int k = ws.lp_basis[sz(i)];
        cB[i] = 0.0;
        if (k >= ws.lp_used) continue;
        cB[i] = ws.lp_cost[sz(k)];
        const Candidate& cd = ws.cand[sz(ws.lp_owner[sz(k)])];
        if (cd.pure || !cd.ideal || cd.groups > 1 || !(cd.N > 0.0)) continue;
        const double* x = ws.lp_x.data() + ws.lp_xoff[sz(k)];
        if (std::find(x, x + cd.count, 1.0) == x + cd.count) continue;  // not a constituent taken pure
        cB[i] += std::log(std::max(ws.lp_z[sz(k)] / cd.N, kDegenerateFraction));
    }
    for (int j = 0; j < E; ++j) {
        double p = 0.0;
        for (int i = 0; i < E; ++i) p += cB[i] * tab[sz(i) * sz(w) + sz(ws.lp_used + j)];
        ws.pi[sz(j)] = p;
    }
}

}  // namespace

int lp_column_count(const Workspace& ws, const Candidate& c) {
    if (c.groups > 1) {
        const int corners = corner_count(ws, c);
        return corners + std::min(corners * (corners - 1) / 2, kMaxPairs) + 1;
    }
    return c.count + (c.gas || c.pure ? 0 : sample_count(c.count));
}

namespace {

// The next column's place: its owner and the offset of its composition in
// ws.lp_x. Returns the column's element contents, zeroed.
double* open_column(Workspace& ws, int c) {
    const int E = ws.E;
    const int col = ws.lp_used;
    const int xoff = col == 0 ? 0 : ws.lp_xoff[sz(col - 1)] + ws.cand[sz(ws.lp_owner[sz(col - 1)])].count;
    ws.lp_owner[sz(col)] = c;
    ws.lp_xoff[sz(col)] = xoff;
    double* colv = ws.lp_col.data() + sz(col) * sz(E);
    std::fill(colv, colv + E, 0.0);
    return colv;
}

// Constituent k of gas or stoichiometric candidate c taken pure: the
// column lp_add_column makes of the unit composition, without a pass over
// the phase's other constituents (a gas has tens of them).
bool add_unit_column(Workspace& ws, int c, int k) {
    const int E = ws.E;
    const Candidate& cd = ws.cand[sz(c)];
    double* colv = open_column(ws, c);
    double* x = ws.lp_x.data() + ws.lp_xoff[sz(ws.lp_used)];
    std::fill(x, x + cd.count, 0.0);
    x[k] = 1.0;
    const double* ar = ws.arow(cd.first + k);
    bool holds = false;
    for (int j = 0; j < E; ++j) {
        colv[j] += ar[j];
        holds = holds || ar[j] != 0.0;
    }
    if (!holds) return false;
    ws.lp_cost[sz(ws.lp_used)] = 0.0 + ws.g0[sz(cd.first + k)];
    ++ws.lp_used;
    return true;
}

bool same_bits(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

// Constituents s and t hold the same elements in the same amounts.
bool same_elements(const Workspace& ws, int s, int t) {
    const int n = ws.nz_off[sz(s) + 1] - ws.nz_off[sz(s)];
    if (n != ws.nz_off[sz(t) + 1] - ws.nz_off[sz(t)]) return false;
    for (int q = 0; q < n; ++q) {
        const int a = ws.nz_off[sz(s)] + q, b = ws.nz_off[sz(t)] + q;
        if (ws.nz_elem[sz(a)] != ws.nz_elem[sz(b)] || !same_bits(ws.nz_coef[sz(a)], ws.nz_coef[sz(b)])) return false;
    }
    return true;
}

// For each constituent k of the one-group mixture cd, rep[k]: the first
// constituent before it that its model treats exactly as k (first_alike)
// with the same standard energy and elements, or k itself. A unit or pair
// composition and its image under exchanging alike constituents then give
// the same column and cost, bit for bit (each sum over the constituents has
// at most two nonzero terms). Returns whether any constituent has another.
bool alike_constituents(const Workspace& ws, const Candidate& cd, int* rep) {
    const std::span<const ParameterT> at_T(ws.params.data() + cd.param_first, cd.param_count);
    bool any = false;
    for (int k = 0; k < cd.count; ++k) {
        rep[k] = k;
        const int s = cd.first + k, v = ws.slot_var[sz(s)];
        const int f = cd.model->first_alike(v, at_T);
        if (f == v) continue;
        for (int j = 0; j < k; ++j) {
            const int t = cd.first + j;
            if (ws.slot_var[sz(t)] != f) continue;
            if (same_bits(ws.g0[sz(s)], ws.g0[sz(t)]) && same_elements(ws, s, t)) {
                rep[k] = rep[j];
                any = true;
            }
            break;
        }
    }
    return any;
}

}  // namespace

bool lp_add_column(Workspace& ws, int c, const double* x, bool priced) {
    const int col = ws.lp_used;
    const Candidate& cd = ws.cand[sz(c)];
    double* colv = open_column(ws, c);
    const int xoff = ws.lp_xoff[sz(col)];
    double g = 0.0;
    bool holds = false;
    // Over the nonzero stoichiometric coefficients only: the terms left out
    // are zeros, which leave every sum as it is.
    for (int k = 0; k < cd.count; ++k) {
        ws.lp_x[sz(xoff + k)] = x[k];
        if (x[k] == 0.0) continue;
        const int s = cd.first + k;
        const int end = ws.nz_off[sz(s) + 1];
        for (int q = ws.nz_off[sz(s)]; q < end; ++q) colv[ws.nz_elem[sz(q)]] += x[k] * ws.nz_coef[sz(q)];
        holds = holds || end > ws.nz_off[sz(s)];
        g += x[k] * ws.g0[sz(s)];
    }
    // A composition of vacancies alone holds no element: not a column.
    if (!holds) return false;
    ws.lp_cost[sz(col)] = cd.gas || cd.pure ? g : priced ? molar_g(ws, cd, x) : kUnpriced;
    ++ws.lp_used;
    return true;
}

void lp_price_columns(Workspace& ws) {
    for (int k = 0; k < ws.lp_used; ++k)
        if (std::isnan(ws.lp_cost[sz(k)]))
            ws.lp_cost[sz(k)] = molar_g(ws, ws.cand[sz(ws.lp_owner[sz(k)])], ws.lp_x.data() + ws.lp_xoff[sz(k)]);
}

void lp_sample_columns(Workspace& ws, int c, bool once) {
    const Candidate& cd = ws.cand[sz(c)];
    double* x = ws.xtry.data();
    if (cd.groups > 1) {
        // Corners, midpoints of pairs of them and the centroid.
        const int corners = corner_count(ws, cd);
        for (int i = 0; i < corners; ++i) {
            corner(ws, cd, i, x);
            lp_add_column(ws, c, x);
        }
        double* y = ws.wtmp.data();
        int pairs = 0;
        for (int i = 0; i < corners && pairs < kMaxPairs; ++i)
            for (int k = i + 1; k < corners && pairs < kMaxPairs; ++k, ++pairs) {
                corner(ws, cd, i, x);
                corner(ws, cd, k, y);
                for (int q = 0; q < cd.count; ++q) x[q] = 0.5 * (x[q] + y[q]);
                lp_add_column(ws, c, x);
            }
        for (int g = cd.group0; g < cd.group0 + cd.groups; ++g)
            for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s)
                x[s - cd.first] = ws.grp_sites[sz(g)] / (ws.grp_end[sz(g)] - ws.grp_begin[sz(g)]);
        lp_add_column(ws, c, x);
        return;
    }
    if (cd.gas || cd.pure) {
        for (int k = 0; k < cd.count; ++k) add_unit_column(ws, c, k);
        return;
    }
    // With `once`, a unit or pair column that only exchanges constituents
    // alike (see alike_constituents) with one offered before repeats it bit
    // for bit and is left out: the simplex, which takes the first of equal
    // columns, never enters the repeat.
    const auto m = sz(cd.count);
    const bool ask = once && cd.model->layout().alike;
    ScratchArray<int> rep_(ask ? m : 0);
    const std::span<int> rep = rep_.span();
    const bool alike = ask && alike_constituents(ws, cd, rep.data());
    ScratchArray<char, 256> seen_(alike ? m * m + m : 0);
    const std::span<char> seen = seen_.span();  // pairs of classes (lo, hi) at lo m + hi, then units
    auto repeats = [&](int i, int k) {
        if (!alike) return false;
        const int lo = std::min(rep[sz(i)], rep[sz(k)]), hi = std::max(rep[sz(i)], rep[sz(k)]);
        char& was = i == k ? seen[m * m + sz(lo)] : seen[sz(lo) * m + sz(hi)];
        const bool before = was != 0;
        was = 1;
        return before;
    };
    for (int k = 0; k < cd.count; ++k) {
        if (repeats(k, k)) continue;
        std::fill(x, x + cd.count, 0.0);
        x[k] = 1.0;
        lp_add_column(ws, c, x);
    }
    if (cd.count < 2) return;
    int pairs = 0;
    for (int i = 0; i < cd.count && pairs < kMaxPairs; ++i)
        for (int k = i + 1; k < cd.count && pairs < kMaxPairs; ++k, ++pairs) {
            if (repeats(i, k)) continue;
            std::fill(x, x + cd.count, 0.0);
            x[i] = x[k] = 0.5;
            lp_add_column(ws, c, x);
        }
    if (cd.count > 2) {
        std::fill(x, x + cd.count, 1.0 / cd.count);
        lp_add_column(ws, c, x);
    }
}

bool lp_balances(Workspace& ws) {
    Simplex lp(ws);
    return lp.phase_one();
}

bool solve_lp(Workspace& ws) {
    const int E = ws.E;
    Simplex lp(ws);
    if (!lp.run()) return false;
    lp.duals(ws.pi);
    // Amounts of the basis columns.
    std::fill(ws.lp_z.begin(), ws.lp_z.end(), 0.0);
    for (int i = 0; i < E; ++i) {
        const int k = ws.lp_basis[sz(i)];
        if (k < ws.lp_used) ws.lp_z[sz(k)] = std::max(0.0, ws.lp_tab[sz(i) * sz(ws.lp_used + E + 1) + sz(ws.lp_used + E)]);
    }
    return true;
}

bool initial_lp(Workspace& ws, bool excess_spread) {
    ws.lp_used = 0;
    for (int c = 0; c < static_cast<int>(ws.cand.size()); ++c)
        if (!ws.cand[sz(c)].excluded) lp_sample_columns(ws, c, true);
    if (!solve_lp(ws)) return false;
    start_from_lp(ws, excess_spread);
    // The program's columns split a phase with redundant variables its own
    // way, above the phase's own split of the same state by a relative
    // entropy that Newton would otherwise spend its first steps removing.
    own_splits(ws);
    return true;
}

void start_from_lp(Workspace& ws, bool excess_spread) {
    const int E = ws.E;
    // Phase amounts and compositions.
    std::fill(ws.n.begin(), ws.n.end(), 0.0);
    for (Candidate& cd : ws.cand) {
        cd.present = false;
        cd.N = 0.0;
        cd.added = 0;
    }
    for (int k = 0; k < ws.lp_used; ++k) {
        const double z = ws.lp_z[sz(k)];
        if (z <= 0.0) continue;
        // A second composition of a mixture that has a twin goes to the
        // first twin still empty (the two sides of a miscibility gap), never
        // to a twin kept out of the calculation (a target's phase).
        int owner = ws.lp_owner[sz(k)];
        auto taken = [&](int c) { return ws.cand[sz(c)].N > 0.0 || ws.cand[sz(c)].excluded; };
        while (taken(owner) && ws.cand[sz(owner)].twin >= 0) owner = ws.cand[sz(owner)].twin;
        if (taken(owner)) owner = ws.lp_owner[sz(k)];
        Candidate& cd = ws.cand[sz(owner)];
        for (int i = 0; i < cd.count; ++i) ws.n[sz(cd.first + i)] += z * ws.lp_x[sz(ws.lp_xoff[sz(k)] + i)];
        cd.N += cd.groups > 1 ? z * cd.sites : z;  // a column is one formula unit
    }
    mixing_corrected_duals(ws);
    for (Candidate& cd : ws.cand) {
        // Amounts at the rounding level of the program are dropped, but not
        // a phase that carries an element present only as a trace.
        // (The floor is at most 1e-13: a larger amount is kept unseen.)
        double floor = 1e-13;
        if (!(cd.N > floor))
            for (int s = cd.first; s < cd.first + cd.count; ++s)
                for (int q = ws.nz_off[sz(s)]; q < ws.nz_off[sz(s) + 1]; ++q)
                    floor = std::min(floor, 1e-3 * ws.b[sz(ws.nz_elem[sz(q)])]);
        if (!(cd.N > floor)) {
            cd.N = 0.0;
            for (int s = cd.first; s < cd.first + cd.count; ++s) ws.n[sz(s)] = 0.0;
            continue;
        }
        cd.present = true;
        if (cd.pure) continue;
        // Every constituent of a present mixture gets a positive amount: the
        // LP composition (which balances the elements) plus the composition
        // exp(-reduced cost) the start's potentials give an ideal mixture, the
        // latter scaled down where it would carry more of an element than
        // half its amount. The spread keeps the first Newton systems well
        // conditioned (an LP vertex alone has as few species as elements).
        // Within each mixing group (sublattice) separately, its share of
        // the amount kept.
        // A phase with sublattices keeps its reference energies in its
        // remainder (its standard part is zero): its reduced costs take the
        // remainder's potentials at the program's composition, or a vacancy
        // (no element, no standard energy) would fill half its sublattice.
        // With `excess_spread` every non-ideal mixture's reduced costs take
        // them: where the program puts a mixture in one basin of its own,
        // the ideal spread alone can carry it across its gap.
        const bool with_remainder = !cd.ideal && (cd.groups > 1 || excess_spread);
        if (with_remainder) {
            for (int k = 0; k < cd.count; ++k) ws.xtry[sz(k)] = ws.n[sz(cd.first + k)] / cd.N;
            remainder_at(ws, cd, ws.xtry.data(), true, false);
        }
        for (int g = cd.group0; g < cd.group0 + cd.groups; ++g) {
            double Z = 0.0;
            for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s) {
                double rc = ws.g0[sz(s)] - ws.adot(s, ws.pi.data());
                if (with_remainder) rc += ws.muex[sz(ws.slot_var[sz(s)])] / ws.RT;
                ws.dln[sz(s)] = std::exp(std::max(-std::max(rc, 0.0), kLnFloor));
                Z += ws.dln[sz(s)];
            }
            const double Ng = ws.grp_share[sz(g)] * cd.N;
            for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s) ws.dln[sz(s)] *= Ng / Z;
        }
        for (int j = 0; j < E; ++j) {
            double load = 0.0;
            for (int s = cd.first; s < cd.first + cd.count; ++s) load += ws.arow(s)[j] * ws.dln[sz(s)];
            ws.per_element[sz(j)] = load > 0.5 * ws.b[sz(j)] ? 0.5 * ws.b[sz(j)] / load : 1.0;
        }
        for (int g = cd.group0; g < cd.group0 + cd.groups; ++g) {
            double sum = 0.0;
            for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s) {
                double f = 1.0;
                for (int j = 0; j < E; ++j)
                    if (ws.arow(s)[j] != 0.0) f = std::min(f, ws.per_element[sz(j)]);
                const double x = std::max(ws.n[sz(s)] + f * ws.dln[sz(s)], 1e-300 * cd.N);
                ws.n[sz(s)] = x;
                sum += x;
            }
            const double Ng = ws.grp_share[sz(g)] * cd.N;
            for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s) ws.n[sz(s)] *= Ng / sum;
        }
    }
}

}  // namespace eqcore::detail
