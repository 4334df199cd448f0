// One equilibrium at fixed T and P: start (remembered solution or linear
// program), Newton on the assemblage, then add the most unstable absent
// phase (in exchange for a present one when the phase rule requires it),
// until no absent phase has a negative driving force; then no present
// phase written once left in its higher basin (lower_basin.cpp).
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "solver/workspace.hpp"

namespace eqcore::detail {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

// The starting amount (scaled) of a mixture phase that is added.
constexpr double kAddedAmount = 1e-6;
constexpr double kReAddedShare = 0.05;  // of the (scaled, unit) material
// Rounds per calculation in which Newton could not finish and a phase
// unstable at the potentials it reached entered instead of giving up.
constexpr int kUnfinishedRounds = 4;

void remove_phase(Workspace& ws, int ci) {
    Candidate& c = ws.cand[sz(ci)];
    c.present = false;
    c.N = 0.0;
    for (int s = c.first; s < c.first + c.count; ++s) ws.n[sz(s)] = 0.0;
}

void add_phase(Workspace& ws, int ci) {
    Candidate& c = ws.cand[sz(ci)];
    c.present = true;
    ++c.added;
    if (c.pure) {
        ws.n[sz(c.first)] = 0.0;
        c.N = 0.0;
        return;
    }
    // Composition of least driving force (left in xbest by driving_force),
    // each sublattice with its share of the amount.
    // Added again after Newton dropped it at once: its linear model at a
    // vanishing amount misled Newton; it starts with a share of the
    // material (the balances are restored by Newton).
    double amount = c.added >= 2 ? kReAddedShare : kAddedAmount;
    // Beside compounds, where mixtures at trace amounts only hold what the
    // compounds leave, it joins them at their scale; and it holds no more of
    // any element than half its material. Larger, it would hold orders of
    // magnitude more than there is, and Newton's linear model would drop
    // the phases that hold the traces now.
    const double traces = traces_beside_compounds(ws);
    if (traces > 0.0) amount = std::min(amount, traces);
    for (int j = 0; j < ws.E; ++j) {
        double content = 0.0;
        for (int g = c.group0; g < c.group0 + c.groups; ++g)
            for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s)
                content += ws.grp_share[sz(g)] * std::max(ws.xbest[sz(s - c.first)], 0.0) * ws.arow(s)[j];
        if (content > 0.0) amount = std::min(amount, 0.5 * ws.b[sz(j)] / content);
    }
    c.N = amount;
    for (int g = c.group0; g < c.group0 + c.groups; ++g) {
        const int b = ws.grp_begin[sz(g)] - c.first, e = ws.grp_end[sz(g)] - c.first;
        double sum = 0.0;
        for (int k = b; k < e; ++k) sum += std::max(ws.xbest[sz(k)], 1e-300);
        const double share = ws.grp_share[sz(g)];
        for (int k = b; k < e; ++k) ws.n[sz(c.first + k)] = amount * share * std::max(ws.xbest[sz(k)], 1e-300) / sum;
    }
}

// Atoms in a mol (a formula unit) of candidate c at composition x (slot
// order; fractions within each sublattice).
double atoms_of(const Workspace& ws, const Candidate& c, const double* x) {
    if (c.pure) return ws.atoms[sz(c.first)];
    double atoms = 0.0;
    for (int g = c.group0; g < c.group0 + c.groups; ++g) {
        const double a = ws.grp_sites[sz(g)];
        for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s) atoms += a * x[s - c.first] * ws.atoms[sz(s)];
    }
    return atoms;
}

bool all_finite(const std::vector<double>& v) {
    return std::all_of(v.begin(), v.end(), [](double x) { return std::isfinite(x); });
}

// Converged on an assemblage: the absent phase of most negative driving
// force per mol of atoms (-1 if none), tested first from the cheap starts,
// and only when none forms so from every start (where the remembered
// minima do not rule a phase out). `quick` tells which pass found it.
int most_unstable(Workspace& ws, bool& quick) {
    int best = -1;
    for (int pass = 0; pass < 2 && best < 0; ++pass) {
        quick = pass == 0;
        double best_df = -ws.opt.stability_tol;
        for (int ci = 0; ci < static_cast<int>(ws.cand.size()); ++ci) {
            Candidate& c = ws.cand[sz(ci)];
            if (c.present || c.excluded) {
                c.df = 0.0;
                continue;
            }
            // Stoichiometric and ideal phases have their exact value from the first pass.
            if (!quick && (c.pure || c.ideal)) continue;
            c.df = quick ? quick_driving_force(ws, ci) : driving_force(ws, ci);
            // Compare per mol of atoms, so that formula size does not decide.
            const double per_atom = c.df / atoms_of(ws, c, ws.xbest.data());
            if (per_atom < best_df) {
                best_df = per_atom;
                best = ci;
            }
        }
    }
    return best;
}

// The state before an addition that may have to be redone as an exchange.
void keep_before_addition(Workspace& ws) {
    ws.added_n = ws.n;
    ws.added_pi = ws.pi;
    ws.added_x = ws.xbest;
    ws.added_N.resize(ws.cand.size());
    ws.added_present.resize(ws.cand.size());
    for (std::size_t c = 0; c < ws.cand.size(); ++c) {
        ws.added_N[c] = ws.cand[c].N;
        ws.added_present[c] = ws.cand[c].present ? 1 : 0;
    }
}

void back_to_before_addition(Workspace& ws) {
    ws.n = ws.added_n;
    ws.pi = ws.added_pi;
    ws.xbest = ws.added_x;
    for (std::size_t c = 0; c < ws.cand.size(); ++c) {
        ws.cand[c].N = ws.added_N[c];
        ws.cand[c].present = ws.added_present[c] != 0;
    }
}

// After a phase left because the one just added made the system singular,
// what is left may be that phase at a vanishing amount (it shrank to nothing
// against the phase that left): it takes up the material, at its
// composition, so that Newton starts from amounts of the right order.
void hold_material(Workspace& ws) {
    double held = 0.0, material = 0.0;
    for (int j = 0; j < ws.E; ++j) material += ws.b[sz(j)];
    for (const Candidate& c : ws.cand) {
        if (!c.present) continue;
        for (int s = c.first; s < c.first + c.count; ++s)
            for (int j = 0; j < ws.E; ++j) held += ws.n[sz(s)] * ws.arow(s)[j];
    }
    if (!(held > 0.0) || held >= 1e-3 * material) return;
    const double f = material / held;
    for (Candidate& c : ws.cand) {
        if (!c.present) continue;
        for (int s = c.first; s < c.first + c.count; ++s) ws.n[sz(s)] *= f;
        c.N *= f;
    }
}

int present_count(const Workspace& ws) {
    int k = 0;
    for (const Candidate& c : ws.cand) k += c.present ? 1 : 0;
    return k;
}

// The present phase of least amount other than `except` (-1 if none).
int smallest_present(const Workspace& ws, int except) {
    int least = -1;
    for (int ci = 0; ci < static_cast<int>(ws.cand.size()); ++ci) {
        const Candidate& c = ws.cand[sz(ci)];
        if (!c.present || ci == except) continue;
        if (least < 0 || c.N < ws.cand[sz(least)].N) least = ci;
    }
    return least;
}

std::string phase_name(const Workspace& ws, int ci) { return ws.sys->phases[sz(ws.cand[sz(ci)].phase)].name; }

// A present mixture written once, converged inside its gap, can make an
// absent phase enter and leave without end: Newton, started with the new
// phase beside the mixture where its energy curves down, drives the new
// phase out again instead of moving the mixture to the basin where the two
// balance. From the converged state at hand (the cycling phase unstable
// at it), the mixture is moved out of its higher basin; true only where
// that reaches a converged state (every phase stable) of lower G. Not
// nested: inside the move a phase that cycles ends that calculation.
bool leave_cycle(Workspace& ws) {
    if (!ws.opt.leave_higher_basins || ws.leaving) return false;
    const double G0 = state_G(ws);
    ws.have_solution = true;
    ws.leaving = true;
    std::string m;
    leave_higher_basins(ws, false, m);
    ws.leaving = false;
    return state_G(ws) < G0 - 1e-10 * (1.0 + std::abs(G0));
}

SolverStatus retry_released(Workspace& ws, std::string& message);

}  // namespace

SolverStatus converge_tp(Workspace& ws, bool warm, std::string& message) {
    ++ws.calculations;
    for (int ci = 0; ci < static_cast<int>(ws.cand.size()); ++ci)
        if (ws.cand[sz(ci)].excluded && ws.cand[sz(ci)].present) remove_phase(ws, ci);
    const bool started_warm = warm && ws.have_solution && present_count(ws) > 0;
    ws.from_cold = !started_warm;
    if (!started_warm) forget_stability(ws);
    if (!started_warm && !initial_lp(ws)) {
        message = "no feasible start: the material cannot be made of the entered constituents";
        return SolverStatus::no_convergence;
    }
    for (Candidate& c : ws.cand) {
        c.added = 0;
        c.held_by_balance = false;
    }
    int last_added = -1;
    int singular_fixes = 0;
    const int max_singular_fixes = 2 * static_cast<int>(ws.cand.size()) + 4;
    int unfinished_rounds = 0;
    // The last addition may be redone as an exchange (see below).
    bool redo_as_exchange = false;
    bool restarted = false;
    bool hull_started = false;  // the start refined by column generation, after a cycle
    int stalled = -1;  // the phase added before Newton ended unfinished with nothing unstable
    for (int round = 0; round < ws.opt.max_assemblages; ++round) {
        int removed = -1;
        const NewtonOutcome out = newton(ws, removed);
        const bool redo_now = redo_as_exchange;
        redo_as_exchange = false;
        if (out == NewtonOutcome::phase_removed) {
            // The phase just added left again: the assemblage is no longer
            // one that an addition made singular.
            if (removed == last_added) last_added = -1;
            continue;
        }
        if (out == NewtonOutcome::singular && redo_now) {
            // The phase just added differs from the present phases'
            // combination only in traces: it enters again from the state
            // before, in exchange for the phase it displaces in the major
            // elements. (Left to the steps below, the phase that leaves is
            // a guess, and Newton's singular steps may have driven the
            // traces to nothing.)
            back_to_before_addition(ws);
            --ws.cand[sz(last_added)].added;
            if (exchange_phase(ws, last_added, true) < 0) add_phase(ws, last_added);
            continue;
        }
        if (out == NewtonOutcome::singular) {
            // Right after an addition the assemblage breaks the phase rule:
            // drop the smallest other present phase. Otherwise the present
            // phases cannot hold the material: start again from the linear
            // program (once).
            const int drop = last_added >= 0 ? smallest_present(ws, last_added) : -1;
            if (drop >= 0 && ++singular_fixes <= max_singular_fixes) {
                remove_phase(ws, drop);
                hold_material(ws);
                last_added = -1;
                continue;
            }
            // A mixture phase shrunk to nothing duplicates another: drop it.
            int tiny = -1;
            double total = 0.0;
            for (const Candidate& c : ws.cand) total += c.present ? c.N : 0.0;
            for (int ci = 0; ci < static_cast<int>(ws.cand.size()); ++ci) {
                const Candidate& c = ws.cand[sz(ci)];
                if (c.present && !c.pure && c.N < 1e-10 * total) tiny = ci;
            }
            if (tiny >= 0) {
                remove_phase(ws, tiny);
                continue;
            }
            // The restart's program is refined by column generation, so
            // that it holds the mixtures at their own minima below its plane
            // (the sampled program's solution would be the first start's),
            // and spreads the mixtures with their excess potentials: the
            // same spread would repeat the start that just failed (a
            // solution spread across its gap, a trace element sent out of
            // every present phase).
            if (!restarted) {
                if (!hull_start(ws)) break;
                restarted = true;
                last_added = -1;
                continue;
            }
            // The restart failed too, with no phase just added: the phase of
            // least amount leaves (as after an addition), and the phases
            // left, with those the stability test adds, carry on.
            const int least = smallest_present(ws, -1);
            if (least < 0 || present_count(ws) < 2 || ++singular_fixes > max_singular_fixes) break;
            remove_phase(ws, least);
            hold_material(ws);
            last_added = -1;
            continue;
        }
        // Newton could not finish on this assemblage (its phases cannot
        // hold the material, such as a compound alone beside the mixture a
        // poor start sent out): the phase most unstable at the potentials
        // reached enters, as after a converged round, a few times per
        // calculation. Such a round never ends the calculation.
        const bool unfinished = out == NewtonOutcome::diverged;
        if (unfinished && (++unfinished_rounds > kUnfinishedRounds || !all_finite(ws.pi) || !all_finite(ws.n))) {
            // Those rounds ran out (or the iterate is lost): the phases they
            // added were unstable only at potentials no converged state had
            // (a mixture grown to several times the material beside a
            // compound), so the start was poor, not the assemblage. Once,
            // the calculation starts again from the refined program with
            // the excess spread, as after a singular verdict. (A warm
            // calculation goes on cold, which does this.)
            if (started_warm || restarted || !hull_start(ws)) break;
            restarted = true;
            unfinished_rounds = 0;
            last_added = -1;
            continue;
        }
        if (!unfinished) settle_free_potentials(ws);
        bool quick = true;
        int best = most_unstable(ws, quick);
        // A free direction of pi (an exactly stoichiometric feed) may hold
        // the phase out by itself, or, for a mixture written once, the
        // balance may (no single plane does, one per side of the feed).
        int enters_with = -1;
        if (!unfinished && best >= 0 && (shift_free_potential(ws, best) || hold_out_by_balance(ws, best, enters_with)))
            best = -1;
        // Nothing unstable where Newton stopped unfinished: the start was
        // poor, not the assemblage; the calculation starts again from the
        // refined program with the excess spread (as after a singular
        // verdict, and at most once).
        if (best < 0 && unfinished) {
            if (restarted || !hull_start(ws)) break;
            restarted = true;
            stalled = last_added;
            last_added = -1;
            continue;
        }
        if (best < 0) {
            ws.have_solution = true;
            return SolverStatus::ok;
        }
        // The phase whose addition left Newton unfinished is unstable again
        // at a converged state: rather than the same addition, the present
        // mixture written once is moved out of its higher basin (the lower
        // assemblage may not hold that phase at all: a melt in another
        // basin beside another solid). Kept as it was unless that reaches
        // a converged state of lower G.
        if (best == stalled && !unfinished && leave_cycle(ws)) return SolverStatus::ok;
        if (ws.cand[sz(best)].added >= 4) {
            ws.have_solution = false;
            if (started_warm) return converge_tp(ws, false, message);
            if (!unfinished && leave_cycle(ws)) return SolverStatus::ok;
            ws.have_solution = false;
            // A cold calculation starts once more (once) from the linear
            // program, refined by column generation, with the excess spread
            // (as after a singular verdict): the cycle may be the start's (a
            // compound entering beside two copies of a solution, each time
            // driving one out, where the answer holds another phase instead;
            // a compound between two mixtures whose lever holds the feed
            // lower, each entering at a trace beside it and leaving again).
            if (!hull_started) {
                hull_started = true;
                if (!hull_start(ws)) break;
                restarted = true;
                unfinished_rounds = 0;
                last_added = -1;
                continue;
            }
            message = "phase " + phase_name(ws, best) + " keeps entering and leaving the assemblage";
            return retry_released(ws, message);
        }
        // Its composition back in xbest (the search is cached); entering
        // with another phase, hold_out_by_balance left it there.
        if (enters_with >= 0)
            add_phase(ws, enters_with);
        else if (quick)
            quick_driving_force(ws, best);
        else
            driving_force(ws, best);
        if (exchange_phase(ws, best) < 0) {
            redo_as_exchange = displaced_phase(ws, best) >= 0;
            if (redo_as_exchange) keep_before_addition(ws);
            add_phase(ws, best);
            // A copy entering again beside its present twin starts on the
            // other side of the gap from it (copy_split.cpp).
            split_with_copy(ws, best);
        }
        last_added = best;
    }
    ws.have_solution = false;
    if (started_warm) return converge_tp(ws, false, message);
    if (message.empty())
        message = "no convergence at T = " + std::to_string(ws.T) + " K, P = " + std::to_string(ws.P) + " Pa";
    return retry_released(ws, message);
}

namespace {

// A cold calculation that failed with Newton's trace directions held by
// border rows wherever they made its system singular: once more from the
// start, Newton releasing them there (newton.cpp). A state reached either
// way is a converged one that passed the stability test. Not inside the
// move out of a higher basin, which keeps the state it started from.
SolverStatus retry_released(Workspace& ws, std::string& message) {
    if (ws.release_held || ws.leaving) return SolverStatus::no_convergence;
    ws.release_held = true;
    std::string again;
    const SolverStatus st = converge_tp(ws, false, again);
    ws.release_held = false;
    if (st == SolverStatus::ok) message.clear();
    return st;
}

// The calculation's answer holds the material: a state whose amounts miss
// an element's balance by more than the tolerance is no equilibrium of
// this material, however it was reached, and is neither reported nor kept
// as the start of the next calculation.
SolverStatus held_material(Workspace& ws, SolverStatus st, std::string& message) {
    if (st != SolverStatus::ok) return st;
    const std::string fault = balance_fault(ws);
    if (fault.empty()) return st;
    ws.have_solution = false;
    message = fault;
    return SolverStatus::no_convergence;
}

}  // namespace

SolverStatus solve_tp(Workspace& ws, bool warm, std::string& message) {
    const bool had_solution = warm && ws.have_solution;
    const SolverStatus st = converge_tp(ws, warm, message);
    if (st != SolverStatus::ok || !ws.opt.leave_higher_basins) return held_material(ws, st, message);
    // A warm calculation that restarted from the linear program (or found
    // no phase to start from) holds the cold start's converged state at
    // these conditions already: leaving a higher basin does not redo it.
    const bool started_warm = had_solution && !ws.from_cold;
    ws.leaving = true;
    const SolverStatus left = leave_higher_basins(ws, started_warm, message);
    ws.leaving = false;
    return held_material(ws, left, message);
}

}  // namespace eqcore::detail
