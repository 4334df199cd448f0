// Random states of the stress harness and the verdict on each result.
#include "check/stress.hpp"

#include <algorithm>
#include <limits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "thermo/standard.hpp"

namespace eqcore {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

double uniform(std::mt19937_64& rng, double lo, double hi) {
    const double u = static_cast<double>(rng() >> 11) * 0x1.0p-53;
    return lo + (hi - lo) * u;
}
double log_uniform(std::mt19937_64& rng, double lo, double hi) {
    return std::exp(uniform(rng, std::log(lo), std::log(hi)));
}
int pick(std::mt19937_64& rng, int n) { return static_cast<int>(rng() % static_cast<std::uint64_t>(n)); }

// Constituents that can carry material: not in a dormant phase.
std::vector<int> live_constituents(const System& sys) {
    std::vector<int> out;
    for (int g = 0; g < static_cast<int>(sys.constituents.size()); ++g)
        if (!sys.phases[sz(sys.constituents[sz(g)].phase)].dormant) out.push_back(g);
    return out;
}

int element_count_of(const Constituent& c) {
    int k = 0;
    for (double v : c.stoich) k += v != 0.0 ? 1 : 0;
    return k;
}

// The most stable constituent made of element j alone (per atom at 298.15 K),
// -1 when there is none.
int elemental(const System& sys, int j) {
    int best = -1;
    double best_g = 0.0;
    for (int g : live_constituents(sys)) {
        const Constituent& c = sys.constituents[sz(g)];
        if (element_count_of(c) != 1 || !(c.stoich[sz(j)] > 0.0)) continue;
        const double gpa = gibbs0(c, kT298) / c.stoich[sz(j)];
        if (best < 0 || gpa < best_g) {
            best = g;
            best_g = gpa;
        }
    }
    return best;
}

// The elements of compound g from elemental constituents where they exist
// (else the compound itself), `s` mol of compound; element `odd` scaled by f.
void compound_feed(const System& sys, int g, double s, int odd, double f, StressState& st) {
    const Constituent& c = sys.constituents[sz(g)];
    std::vector<std::pair<int, double>> parts;
    for (int j = 0; j < sys.element_count(); ++j) {
        if (c.stoich[sz(j)] == 0.0) continue;
        const int e = elemental(sys, j);
        if (e < 0) {
            st.feed = {{g, s}};
            if (odd >= 0) st.feed.push_back({g, s * (f - 1.0) * 0.5});  // cannot unbalance: a little more of it
            return;
        }
        const double amount = s * c.stoich[sz(j)] / sys.constituents[sz(e)].stoich[sz(j)];
        parts.push_back({e, j == odd ? amount * f : amount});
    }
    st.feed = parts;
}

std::vector<int> compounds(const System& sys) {
    std::vector<int> out;
    for (int g : live_constituents(sys))
        if (element_count_of(sys.constituents[sz(g)]) >= 2) out.push_back(g);
    return out;
}

void random_species(const System& sys, std::mt19937_64& rng, const std::vector<int>& from, int count, double lo,
                    double hi, StressState& st) {
    if (from.empty()) return;
    for (int i = 0; i < count; ++i) st.feed.push_back({from[sz(pick(rng, static_cast<int>(from.size())))], log_uniform(rng, lo, hi)});
    (void)sys;
}

}  // namespace

const char* feed_kind_name(FeedKind k) {
    switch (k) {
        case FeedKind::stoichiometric: return "stoichiometric";
        case FeedKind::lean: return "lean";
        case FeedKind::rich: return "rich";
        case FeedKind::trace: return "trace";
        case FeedKind::absent_elements: return "absent-elements";
        case FeedKind::mixed: return "mixed";
    }
    return "?";
}

// A constituent as a line names it: PHASE/NAME, and PHASE/NAME[k] (k its
// number within the phase, from 1) where the phase has another
// constituent of that name (an ionic liquid's neutral, one record per
// cation).
std::string constituent_label(const System& sys, int g) {
    const Constituent& c = sys.constituents[sz(g)];
    const Phase& ph = sys.phases[sz(c.phase)];
    std::string s = ph.name + "/" + c.name;
    for (int k = 0; k < ph.count; ++k)
        if (ph.first + k != g && sys.constituents[sz(ph.first + k)].name == c.name)
            return s + "[" + std::to_string(g - ph.first + 1) + "]";
    return s;
}

int constituent_of_label(const System& sys, const std::string& label) {
    const auto slash = label.find('/');
    if (slash == std::string::npos) return -1;
    const std::string phase = label.substr(0, slash), name = label.substr(slash + 1);
    // NAME[k]: the k-th constituent of the phase, if it has that name.
    const auto open = name.rfind('[');
    if (open != std::string::npos && name.size() > open + 2 && name.back() == ']') {
        const std::string digits = name.substr(open + 1, name.size() - open - 2);
        if (digits.find_first_not_of("0123456789") == std::string::npos && digits.size() < 9) {
            const int k = std::stoi(digits) - 1;
            for (const Phase& ph : sys.phases)
                if (ph.name == phase && k >= 0 && k < ph.count &&
                    sys.constituents[sz(ph.first + k)].name == name.substr(0, open))
                    return ph.first + k;
        }
    }
    for (std::size_t g = 0; g < sys.constituents.size(); ++g) {
        const Constituent& c = sys.constituents[g];
        if (sys.phases[sz(c.phase)].name == phase && c.name == name) return static_cast<int>(g);
    }
    return -1;
}

std::string StressState::describe(const System& sys) const {
    char buf[160];
    std::snprintf(buf, sizeof buf, "%s %s T=%.17g K P=%.17g Pa (warm from %.17g K) feed:", label.c_str(),
                  feed_kind_name(kind), T, P, T_near);
    std::string s = buf;
    for (const auto& [g, n] : feed) {
        s += ' ';
        s += constituent_label(sys, g);
        std::snprintf(buf, sizeof buf, " %.17g", n);
        s += buf;
    }
    return s;
}

std::string read_state(const System& sys, const std::string& line, StressState& st) {
    std::istringstream in(line);
    std::string file, kind;
    if (!(in >> file >> kind)) return "no file and feed kind";
    st = StressState{};
    st.label = file;
    int k = 0;
    while (k < kFeedKinds && kind != feed_kind_name(static_cast<FeedKind>(k))) ++k;
    if (k == kFeedKinds) return "unknown feed kind " + kind;
    st.kind = static_cast<FeedKind>(k);
    const auto t = line.find(" T=");
    if (t == std::string::npos ||
        std::sscanf(line.c_str() + t, " T=%lf K P=%lf Pa (warm from %lf K)", &st.T, &st.P, &st.T_near) != 3)
        return "no \"T=.. K P=.. Pa (warm from .. K)\"";
    const auto f = line.find(" feed:");
    if (f == std::string::npos) return "no \"feed:\"";
    std::istringstream feed(line.substr(f + 6));
    std::string name, amount;
    while (feed >> name) {
        const int g = constituent_of_label(sys, name);
        if (g < 0) return "no constituent " + name;
        char* end = nullptr;
        if (!(feed >> amount)) return "no amount after " + name;
        const double mol = std::strtod(amount.c_str(), &end);
        if (*end != '\0' || !std::isfinite(mol) || mol < 0.0) return "amount " + amount + " of " + name + " is not a number of mol";
        st.feed.emplace_back(g, mol);
    }
    if (st.feed.empty()) return "an empty feed";
    return {};
}

StressState random_state(const System& sys, std::mt19937_64& rng, FeedKind kind, const std::string& label) {
    StressState st;
    st.label = label;
    st.kind = kind;
    double t_top = 6000.0;
    for (int g : live_constituents(sys)) {
        const Constituent& c = sys.constituents[sz(g)];
        if (!c.ranges.empty()) t_top = std::min(t_top, c.ranges.back().tmax);
    }
    t_top = std::max(t_top, 1000.0);
    st.T = rng() % 2 ? uniform(rng, 250.0, t_top) : log_uniform(rng, 250.0, t_top);
    st.P = rng() % 5 == 0 ? kPstd : log_uniform(rng, 1e3, 1e7);
    st.T_near = std::clamp(st.T * uniform(rng, 0.95, 1.05), 200.0, 6000.0);

    const std::vector<int> comp = compounds(sys);
    const std::vector<int> live = live_constituents(sys);
    const int E = sys.element_count();
    const double scale = log_uniform(rng, 1e-2, 1e2);
    if ((kind == FeedKind::stoichiometric || kind == FeedKind::lean || kind == FeedKind::rich) && comp.empty())
        kind = st.kind = FeedKind::mixed;  // no compound to be stoichiometric in
    switch (kind) {
        case FeedKind::stoichiometric:
            compound_feed(sys, comp[sz(pick(rng, static_cast<int>(comp.size())))], scale, -1, 1.0, st);
            break;
        case FeedKind::lean:
        case FeedKind::rich: {
            const int g = comp[sz(pick(rng, static_cast<int>(comp.size())))];
            std::vector<int> in;
            for (int j = 0; j < E; ++j)
                if (sys.constituents[sz(g)].stoich[sz(j)] != 0.0) in.push_back(j);
            const int odd = in[sz(pick(rng, static_cast<int>(in.size())))];
            const double f = kind == FeedKind::lean ? uniform(rng, 0.3, 0.999) : uniform(rng, 1.001, 3.0);
            compound_feed(sys, g, scale, odd, f, st);
            break;
        }
        case FeedKind::trace: {
            const int e = pick(rng, E);
            std::vector<int> without, with;
            for (int g : live) (sys.constituents[sz(g)].stoich[sz(e)] != 0.0 ? with : without).push_back(g);
            random_species(sys, rng, without, 1 + pick(rng, 3), 0.1 * scale, scale, st);
            if (st.feed.empty() || with.empty()) {
                random_species(sys, rng, live, 2, 0.1 * scale, scale, st);
                break;
            }
            double total = 0.0;
            for (const auto& f : st.feed) total += f.second;
            random_species(sys, rng, with, 1, 1e-14 * total, 1e-6 * total, st);
            break;
        }
        case FeedKind::absent_elements: {
            std::vector<char> keep(sz(E), 0);
            int kept = 0;
            for (int j = 0; j < E; ++j) kept += (keep[sz(j)] = rng() % 2 == 0) ? 1 : 0;
            if (kept == 0 || kept == E) {
                std::fill(keep.begin(), keep.end(), 0);
                keep[sz(pick(rng, E))] = 1;
            }
            std::vector<int> only;
            for (int g : live) {
                bool ok = true;
                for (int j = 0; j < E; ++j)
                    if (sys.constituents[sz(g)].stoich[sz(j)] != 0.0 && !keep[sz(j)]) ok = false;
                if (ok) only.push_back(g);
            }
            random_species(sys, rng, only.empty() ? live : only, 1 + pick(rng, 4), 0.1 * scale, scale, st);
            break;
        }
        case FeedKind::mixed:
            random_species(sys, rng, live, 2 + pick(rng, 5), 1e-3 * scale, scale, st);
            if (rng() % 3 == 0) random_species(sys, rng, live, 1, 1e-13 * scale, 1e-8 * scale, st);
            break;
    }
    return st;
}

EquilibriumProblem problem_of(const System& sys, const StressState& s) {
    EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    for (const auto& [g, n] : s.feed) {
        const int p = sys.constituents[sz(g)].phase;
        pr.add("feed", p, g - sys.phases[sz(p)].first, n);
    }
    return pr;
}

Conditions conditions_of(const StressState& s) {
    Conditions c;
    c.T = s.T;
    c.P = s.P;
    return c;
}

EquilibriumResult solve_cold(Solver& solver, const EquilibriumProblem& pr, const Conditions& c) {
    solver.forget();
    return solver.equilibrate(pr, c);
}

void prepare_warm(Solver& solver, const EquilibriumProblem& pr, const Conditions& c, double T_near) {
    Conditions near = c;
    near.T = std::clamp(T_near, c.T_low, c.T_high);
    solver.forget();
    solver.equilibrate(pr, near);
}

Judgement judge(const EquilibriumProblem& pr, const Conditions& c, const EquilibriumResult& r,
                const AcceptanceOptions& options) {
    if (!r.succeeded()) {
        if (r.message.empty()) return {Verdict::wrong, "failed without saying what failed"};
        return {Verdict::failed, std::string(status_name(r.status)) + ": " + r.message};
    }
    if (r.T != c.T || r.P != c.P)
        return {Verdict::wrong, "result at T = " + std::to_string(r.T) + " K, P = " + std::to_string(r.P) + " Pa"};
    const AcceptanceReport rep = check_equilibrium(pr, r, options);
    if (!rep.ok) return {Verdict::wrong, rep.summary()};
    return {Verdict::passed, {}};
}

double result_difference(const EquilibriumResult& a, const EquilibriumResult& b, const System* sys) {
    if (a.amount.size() != b.amount.size() || a.element_potential.size() != b.element_potential.size()) return 1e300;
    // Constituent of b compared with constituent g of a: itself, or with a
    // system, the same constituent of the copy of its phase (NAME#k) that
    // matches it best (copies are interchangeable): copies of a, largest
    // first, each take the unmatched copy of b whose constituent amounts
    // are closest, so that equal amounts of different compositions pair up
    // by composition.
    std::vector<std::size_t> other(a.amount.size());
    for (std::size_t g = 0; g < other.size(); ++g) other[g] = g;
    if (sys && a.phases.size() == sys->phases.size() && b.phases.size() == sys->phases.size()) {
        auto base = [&](std::size_t p) {
            const std::string& n = sys->phases[p].name;
            const auto h = n.rfind('#');
            return h == std::string::npos ? std::string{} : n.substr(0, h);
        };
        std::vector<char> done(sys->phases.size(), 0);
        for (std::size_t p = 0; p < sys->phases.size(); ++p) {
            if (done[p] || base(p).empty()) continue;
            std::vector<std::size_t> fam;
            for (std::size_t q = p; q < sys->phases.size(); ++q)
                if (base(q) == base(p) && sys->phases[q].count == sys->phases[p].count) fam.push_back(q), done[q] = 1;
            std::vector<std::size_t> fa = fam;
            std::stable_sort(fa.begin(), fa.end(), [&](std::size_t x, std::size_t y) { return a.phases[x].amount > a.phases[y].amount; });
            std::vector<char> taken(fam.size(), 0);
            for (std::size_t pa : fa) {
                std::size_t best = 0;
                double best_d = std::numeric_limits<double>::infinity();
                for (std::size_t j = 0; j < fam.size(); ++j) {
                    if (taken[j]) continue;
                    double far = 0.0;
                    for (int k = 0; k < sys->phases[pa].count; ++k)
                        far = std::max(far, std::abs(a.amount[sz(sys->phases[pa].first + k)] -
                                                     b.amount[sz(sys->phases[fam[j]].first + k)]));
                    if (far < best_d) {
                        best_d = far;
                        best = j;
                    }
                }
                taken[best] = 1;
                for (int k = 0; k < sys->phases[pa].count; ++k)
                    other[sz(sys->phases[pa].first + k)] = sz(sys->phases[fam[best]].first + k);
            }
        }
    }
    double total = 0.0;
    for (double v : a.amount) total += v;
    double d = 0.0;
    for (std::size_t g = 0; g < a.amount.size(); ++g) {
        const double bg = b.amount[other[g]];
        const double diff = std::abs(a.amount[g] - bg);
        if (diff <= 1e-15 * total) continue;
        // A trace whose amount only the balances of its (major) elements fix
        // (the vacancies of an exactly stoichiometric melt) is determined to
        // the rounding of those sums, a few 1e-16 of the element amount:
        // differences below 1e-14 of the scarcest of its elements (per mol of
        // the constituent) are below what double precision resolves.
        if (sys && g < sys->constituents.size() && a.element_amount.size() == sys->elements.size()) {
            const std::vector<double>& st = sys->constituents[g].stoich;
            double held = std::numeric_limits<double>::infinity();
            for (std::size_t j = 0; j < st.size() && j < a.element_amount.size(); ++j)
                if (st[j] != 0.0) held = std::min(held, a.element_amount[j] / std::abs(st[j]));
            if (std::isfinite(held) && diff <= 1e-14 * held) continue;
        }
        d = std::max(d, diff / std::max(std::abs(a.amount[g]), std::abs(bg)));
    }
    // G is unique at the minimum even where the potentials are not (a
    // direction of pi the present phases leave free).
    d = std::max(d, std::abs(a.G - b.G) / (kR * a.T * std::max(total, 1e-300)));
    return d;
}

}  // namespace eqcore
