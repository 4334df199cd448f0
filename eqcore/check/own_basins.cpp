// The search of a present phase written once for a lower basin of its own
// (see own_basins.hpp).
#include "check/own_basins.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "check/acceptance.hpp"
#include "check/column_lp.hpp"
#include "check/one_instance.hpp"
#include "thermo/phase_props.hpp"

namespace eqcore {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

constexpr int kMostBasins = 4;    // compositions below the plane tried, lowest first
constexpr double kSameBasin = 1e-2;  // largest fraction difference of two minima taken for one basin
constexpr int kRounds = 12;       // programmes per composition
constexpr std::size_t kMostColumns = 400;
constexpr int kSteps = 30;  // moves of the phase's one composition
constexpr double kFinest = 1e-10;    // least step of the one-instance search, of the material
constexpr int kEvaluations = 6000;   // most values of G per start of the one-instance search

std::string base_name(const std::string& n) {
    const auto h = n.rfind('#');
    return h == std::string::npos ? n : n.substr(0, h);
}

double max_difference(const std::vector<double>& a, const std::vector<double>& b) {
    double d = 0.0;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) d = std::max(d, std::abs(a[i] - b[i]));
    return d;
}

// A phase at a fixed composition (per mol of its constituents).
struct Column {
    int phase = 0;
    std::vector<double> x;  // by constituent of the phase, summing to 1
    std::vector<double> a;  // element content per row
    double g = 0.0;         // J per mol
};

class Search {
public:
    explicit Search(const OwnBasinsInput& in) : in_(in), sys_(*in.sys), r_(*in.r) {
        for (std::size_t j = 0; j < in.b.size(); ++j)
            if (in.b[j] > 0.0) rows_.push_back(static_cast<int>(j));
        for (int j : rows_) b_.push_back(in.b[sz(j)]);
    }

    std::vector<char> usable(int q) const {
        const Phase& ph = sys_.phases[sz(q)];
        std::vector<char> u(sz(ph.count), 0);
        for (int k = 0; k < ph.count; ++k) u[sz(k)] = in_.use[sz(ph.first + k)];
        return u;
    }

    Column column(int q, std::vector<double> x) const {
        const Phase& ph = sys_.phases[sz(q)];
        Column c;
        c.phase = q;
        double sum = 0.0;
        for (double v : x) sum += v;
        for (double& v : x) v /= sum;
        c.a.assign(rows_.size(), 0.0);
        for (int k = 0; k < ph.count; ++k)
            for (std::size_t i = 0; i < rows_.size(); ++i)
                c.a[i] += x[sz(k)] * sys_.constituents[sz(ph.first + k)].stoich[sz(rows_[i])];
        c.g = phase_props((*in_.models)[q], r_.T, r_.P, x).G;
        c.x = std::move(x);
        return c;
    }

    // Every other phase that takes part, at one composition each.
    std::vector<Column> common(int p) const {
        std::vector<Column> out;
        for (int q = 0; q < sys_.phase_count(); ++q) {
            if (q == p || !in_.takes_part[sz(q)]) continue;
            const Phase& ph = sys_.phases[sz(q)];
            const PhaseResult& res = r_.phases[sz(q)];
            std::vector<double> x(sz(ph.count), 0.0);
            if (res.present) {
                for (int k = 0; k < ph.count; ++k) x[sz(k)] = r_.amount[sz(ph.first + k)];
            } else if (!ph.is_mixture()) {
                x[0] = 1.0;
            } else if (!in_.absent_x[sz(q)].empty()) {
                x = in_.absent_x[sz(q)];
            }
            double sum = 0.0;
            for (double v : x) sum += v;
            if (!(sum > 0.0)) continue;
            try {
                out.push_back(column(q, std::move(x)));
            } catch (const std::exception&) {  // a model that cannot be evaluated there: not a column
            }
        }
        return out;
    }

    // Column generation from `cols`; the least exactly evaluated G of a
    // merged assemblage, its phases in `names`. A model that cannot be
    // evaluated somewhere (an internal distribution not found) ends the
    // search with what was proved so far.
    double least_assemblage(std::vector<Column> cols, double good_enough, std::string& names) const {
        double best = HUGE_VAL;
        try {
            const std::size_t seed = cols.size() - 1;
            generate(cols, seed, good_enough, names, best);
        } catch (const std::exception&) {
        }
        return best;
    }

    // The phase at one composition y only, moved step by step: the
    // programme over `common` and the phase at y; its duals give the
    // phase's local minimum of the distance to the programme's plane from
    // y, and y moves towards it (the whole way, else by halved steps) while
    // the merged assemblage's G falls. With the phase at one composition in
    // every programme, each merged assemblage keeps it once, however its G
    // bends between its basins (the column generation above may use it at
    // two compositions across its gap, which the merged instance loses).
    double single_column(const std::vector<Column>& common, int q, std::vector<double> y, double good_enough,
                         std::string& names) const {
        double best = HUGE_VAL;
        try {
            auto value = [&](const std::vector<double>& at, std::vector<double>& pi, std::string& these) {
                std::vector<Column> cols = common;
                cols.push_back(column(q, at));
                const ColumnLpAnswer lp = solve_columns(cols);
                if (!lp.feasible) return HUGE_VAL;
                pi.assign(sys_.elements.size(), 0.0);
                for (std::size_t i = 0; i < rows_.size(); ++i) pi[sz(rows_[i])] = lp.dual[i];
                return merged(cols, lp.x, these);
            };
            std::vector<double> pi;
            best = value(y, pi, names);
            for (int it = 0; it < kSteps && best >= good_enough && !pi.empty(); ++it) {
                std::vector<double> to = y;
                const double D = local_tangent_distance(sys_, q, r_.T, r_.P, pi, usable(q), to, (*in_.models)[q]);
                if (!(D < -1e-10)) break;
                bool moved = false;
                for (double t = 1.0; t > 1e-3 && !moved; t *= 0.5) {
                    std::vector<double> at(y.size());
                    for (std::size_t i = 0; i < y.size(); ++i) at[i] = y[i] + t * (to[i] - y[i]);
                    std::vector<double> pi_t;
                    std::string these;
                    const double G = value(at, pi_t, these);
                    if (G < best) {
                        best = G;
                        names = these;
                        y = std::move(at);
                        pi = std::move(pi_t);
                        moved = true;
                    }
                }
                if (!moved) break;
            }
        } catch (const std::exception&) {  // a model not evaluable there: what was found so far
        }
        return best;
    }

    // The phase once, at free constituent amounts, beside `common`
    // (least_one_instance: values of G only, so a programme whose duals
    // are not unique does not stop it), from two balanced starts with the
    // phase at y: as much of it as the balance allows, and the amount the
    // programme over `common` and the phase at y gives it (none where the
    // balance leaves y no room: the search then forms the phase itself).
    double one_instance(const std::vector<Column>& common, int q, const std::vector<double>& y,
                        std::string& names) const {
        double best = HUGE_VAL;
        try {
            const Phase& ph = sys_.phases[sz(q)];
            OneInstanceProblem pr;
            pr.model = &(*in_.models)[q];
            pr.T = r_.T;
            pr.P = r_.P;
            pr.b = b_;
            pr.constituents = ph.count;
            pr.usable = usable(q);
            // The phase's constituents as columns of one unit each (merged()
            // sums them into the one instance), then the common ones.
            std::vector<Column> parts;
            for (int k = 0; k < ph.count; ++k) {
                Column c;
                c.phase = q;
                c.x.assign(sz(ph.count), 0.0);
                c.x[sz(k)] = 1.0;
                c.a.assign(rows_.size(), 0.0);
                for (std::size_t i = 0; i < rows_.size(); ++i) c.a[i] = sys_.constituents[sz(ph.first + k)].stoich[sz(rows_[i])];
                pr.content.push_back(c.a);
                parts.push_back(std::move(c));
            }
            for (const Column& c : common) {
                pr.content.push_back(c.a);
                pr.cost.push_back(c.g);
                parts.push_back(c);
            }
            std::vector<Column> cols = common;
            cols.push_back(column(q, y));
            std::vector<std::vector<double>> A;
            std::vector<double> most, least;
            for (const Column& c : cols) {
                A.push_back(c.a);
                least.push_back(c.g);
                most.push_back(&c == &cols.back() ? -1.0 : 0.0);
            }
            double seen = -1.0;
            for (const std::vector<double>* cost : {&most, &least}) {
                const ColumnLpAnswer lp = solve_column_lp(A, *cost, b_);
                if (!lp.feasible) continue;
                const double t = lp.x.back();
                if (cost == &most ? !(t > 0.0) : std::abs(t - seen) <= 1e-9 * t) continue;
                seen = t;
                std::vector<double> v;
                for (double xk : cols.back().x) v.push_back(t * xk);
                v.insert(v.end(), lp.x.begin(), lp.x.end() - 1);
                least_one_instance(pr, v, kFinest, kEvaluations);
                std::string these;
                const double G = merged(parts, v, these);
                if (G < best) {
                    best = G;
                    names = these;
                }
            }
        } catch (const std::exception&) {  // a model not evaluable there: what was found so far
        }
        return best;
    }

private:
    // The least sum of the columns' G under the element balance.
    ColumnLpAnswer solve_columns(const std::vector<Column>& cols) const {
        std::vector<std::vector<double>> A;
        std::vector<double> cost;
        for (const Column& c : cols) {
            A.push_back(c.a);
            cost.push_back(c.g);
        }
        return solve_column_lp(A, cost, b_);
    }

    // Column generation: from every column the programme uses and from
    // `seed` (the phase at its new composition, which the first programme
    // may leave unused although a composition near it would be used).
    void generate(std::vector<Column>& cols, std::size_t seed, double good_enough, std::string& names,
                  double& best) const {
        for (int round = 0; round < kRounds; ++round) {
            const ColumnLpAnswer lp = solve_columns(cols);
            if (!lp.feasible) break;
            std::string these;
            const double G = merged(cols, lp.x, these);
            if (G < best) {
                best = G;
                names = these;
            }
            if (best < good_enough) break;
            // New columns: each mixture's local minimum of the distance to
            // the programme's plane from the compositions it uses.
            std::vector<double> pi(sys_.elements.size(), 0.0);
            for (std::size_t i = 0; i < rows_.size(); ++i) pi[sz(rows_[i])] = lp.dual[i];
            bool added = false;
            const std::size_t used = cols.size();
            for (std::size_t k = 0; k < used && cols.size() < kMostColumns; ++k) {
                const int q = cols[k].phase;
                if (!((lp.x[k] > 0.0 || k == seed) && sys_.phases[sz(q)].is_mixture())) continue;
                std::vector<double> x = cols[k].x;
                const double D = local_tangent_distance(sys_, q, r_.T, r_.P, pi, usable(q), x, (*in_.models)[q]);
                if (!(D < -1e-10)) continue;
                bool known = false;
                for (const Column& c : cols) known = known || (c.phase == q && max_difference(c.x, x) < 1e-9);
                if (known) continue;
                cols.push_back(column(q, std::move(x)));
                added = true;
            }
            if (!added) break;
        }
    }

    // The programme's columns of each phase merged into one instance at
    // their summed amounts, evaluated by the phases' models; HUGE_VAL when
    // the merged amounts do not hold the material.
    double merged(const std::vector<Column>& cols, const std::vector<double>& l, std::string& names) const {
        std::vector<std::vector<double>> n(sys_.phases.size());
        std::vector<double> held(rows_.size(), 0.0);
        for (std::size_t k = 0; k < cols.size(); ++k) {
            if (!(l[k] > 0.0)) continue;
            std::vector<double>& nq = n[sz(cols[k].phase)];
            nq.resize(cols[k].x.size(), 0.0);
            for (std::size_t i = 0; i < nq.size(); ++i) nq[i] += l[k] * cols[k].x[i];
            for (std::size_t i = 0; i < rows_.size(); ++i) held[i] += l[k] * cols[k].a[i];
        }
        // What the rounding of the programme leaves unbalanced is priced
        // at the result's potentials.
        double total = 0.0, G = 0.0;
        for (double v : b_) total += v;
        for (std::size_t i = 0; i < rows_.size(); ++i) {
            const double missing = b_[i] - held[i];
            if (!(std::abs(missing) <= 1e-11 * b_[i] + 1e-14 * total)) return HUGE_VAL;
            G += missing * r_.element_potential[sz(rows_[i])];
        }
        for (int q = 0; q < sys_.phase_count(); ++q) {
            if (n[sz(q)].empty()) continue;
            G += phase_props((*in_.models)[q], r_.T, r_.P, n[sz(q)]).G;
            names += (names.empty() ? "" : " + ") + sys_.phases[sz(q)].name;
        }
        return G;
    }

    const OwnBasinsInput& in_;
    const System& sys_;
    const EquilibriumResult& r_;
    std::vector<int> rows_;  // the elements of the material
    std::vector<double> b_;
};

}  // namespace

bool written_once_nonideal(const OwnBasinsInput& in, int p) {
    const System& sys = *in.sys;
    const Phase& ph = sys.phases[sz(p)];
    if (!ph.is_mixture()) return false;
    const ModelLayout& l = (*in.models)[p].layout();
    if (l.gas || l.ideal) return false;
    if (l.identity && l.groups() == 1 && !l.redundant && ph.excess.empty() && !ph.ionic) return false;
    const std::string base = base_name(ph.name);
    for (int q = 0; q < sys.phase_count(); ++q)
        if (q != p && in.takes_part[sz(q)] && sys.phases[sz(q)].count == ph.count &&
            base_name(sys.phases[sz(q)].name) == base)
            return false;
    return true;
}

OwnBasinsFinding own_basins(const OwnBasinsInput& in, int p, const std::vector<std::vector<double>>& starts,
                            int random_starts, std::uint64_t seed, double tol_df, double tol_G) {
    OwnBasinsFinding f;
    const EquilibriumResult& r = *in.r;
    Search search(in);
    std::vector<TangentMinimum> minima;
    try {
        f.least_distance = least_tangent_distance(*in.sys, p, r.T, r.P, r.element_potential, search.usable(p),
                                                  random_starts, seed, nullptr, &(*in.models)[p], &starts, &minima);
    } catch (const std::exception&) {  // not evaluable over all its compositions: nothing claimed
        return f;
    }
    if (!(f.least_distance < -tol_df)) return f;
    std::vector<std::vector<double>> basins;
    for (const TangentMinimum& m : minima) {
        if (!(m.D < -tol_df) || static_cast<int>(basins.size()) >= kMostBasins) break;
        bool seen = false;
        for (const auto& x : basins) seen = seen || max_difference(x, m.x) < kSameBasin;
        if (!seen) basins.push_back(m.x);
    }
    const std::vector<Column> common = search.common(p);
    double best = HUGE_VAL;
    for (const auto& x : basins) {
        std::vector<Column> cols = common;
        try {
            cols.push_back(search.column(p, x));
        } catch (const std::exception&) {
            continue;
        }
        std::string names;
        double G = search.least_assemblage(std::move(cols), r.G - tol_G, names);
        if (!(r.G - G > tol_G)) {
            std::string alone;
            const double G1 = search.single_column(common, p, x, r.G - tol_G, alone);
            if (G1 < G) {
                G = G1;
                names = alone;
            }
        }
        if (!(r.G - G > tol_G)) {
            std::string once;
            const double G1 = search.one_instance(common, p, x, once);
            if (G1 < G) {
                G = G1;
                names = once;
            }
        }
        if (G < best) {
            best = G;
            if (r.G - G > tol_G) {
                f.lower_by = r.G - G;
                f.assemblage = names;
            }
        }
        if (f.lower_by > 0.0) break;
    }
    return f;
}

}  // namespace eqcore
