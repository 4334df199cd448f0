// The converged state in the caller's units and numbering.
#include <algorithm>
#include <cmath>
#include <limits>

#include "solver/workspace.hpp"
#include "thermo/phase_props.hpp"

namespace eqcore::detail {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

// Properties of present candidate c from its amounts (mol) in ws.xfull and
// the standard-state values and remainder parameters the workspace holds at
// T. logs_held: ws.ln_y holds the logarithms of its fractions at these
// amounts (evaluate_mu), so they are not computed again.
PhaseProps candidate_props(Workspace& ws, const Candidate& c, bool logs_held) {
    const std::size_t count = sz(c.model->layout().variables);
    std::fill(ws.sp_phase.begin(), ws.sp_phase.begin() + static_cast<std::ptrdiff_t>(count), StandardProps{});
    for (int k = 0; k < c.count; ++k) ws.sp_phase[sz(ws.slot_var[sz(c.first + k)])] = ws.sp0[sz(c.first + k)];
    std::span<const double> ln_fraction;
    if (logs_held && c.identity && !c.pure) {
        ws.ln_var.assign(count, -HUGE_VAL);  // variables that are not slots hold no amount
        for (int k = 0; k < c.count; ++k) ws.ln_var[sz(ws.slot_var[sz(c.first + k)])] = ws.ln_y[sz(c.first + k)];
        ln_fraction = ws.ln_var;
    }
    return evaluate(*c.model, ws.T, ws.P, std::span<const double>(ws.xfull.data(), count),
                    std::span<const StandardProps>(ws.sp_phase.data(), count), {}, {}, ln_fraction,
                    std::span<const ParameterT>(ws.params.data() + c.param_first, c.param_count));
}

// What ws.ln_y holds each logarithm of (see Workspace::ln_y_n): for every
// slot evaluate_mu wrote, so that the three always agree.
void hold_fraction_logs(Workspace& ws) {
    constexpr double none = std::numeric_limits<double>::quiet_NaN();
    ws.ln_y_n.resize(sz(ws.slots()), none);
    ws.ln_y_inv.resize(sz(ws.slots()), none);
    for (const Candidate& c : ws.cand) {
        if (!c.present || c.pure) continue;
        const double invN = c.groups == 1 ? 1.0 / c.N : none;
        for (int s = c.first; s < c.first + c.count; ++s) {
            ws.ln_y_n[sz(s)] = c.groups == 1 ? ws.n[sz(s)] : none;
            ws.ln_y_inv[sz(s)] = invN;
        }
    }
}

// A present phase's properties, added to the system's.
void add_props(const PhaseProps& pp, PhaseResult& pr, EquilibriumResult& out) {
    pr.G = pp.G;
    pr.H = pp.H;
    pr.S = pp.S;
    pr.Cp = pp.Cp;
    pr.V = pp.V;
    out.G += pp.G;
    out.H += pp.H;
    out.S += pp.S;
    out.Cp += pp.Cp;
    out.V += pp.V;
}

// The standard-state values of candidate ci's constituents at ws.T: formed
// once per temperature (the two the workspace holds values of) and kept
// with the model and temperature they are of.
std::span<const StandardProps> constituent_standards(Workspace& ws, int ci) {
    const Candidate& c = ws.cand[sz(ci)];
    HeldStandards& held = ws.const_std[sz(ci)];
    for (int k = 0; k < 2; ++k)
        if (held.T[k] == ws.T && held.model[k] == c.model) return held.sp[k];
    const int k = held.next;
    held.next = 1 - k;
    held.sp[k].assign(sz(ws.sys->phases[sz(c.phase)].count), StandardProps{});
    c.model->constituent_standard(ws.T, std::log(ws.T), held.sp[k]);
    held.T[k] = ws.T;
    held.model[k] = c.model;
    return held.sp[k];
}

// Candidate c whose variables are not its constituents (a phase with
// sublattices): its constituents (end members) from the model's split of its
// internal amounts, their potentials as the same combinations of the
// variables' (the potentials of the element potentials where a constituent
// holds a variable that does not take part), activities against the
// constituents' own standard states, and its site fractions (the fractions
// of its variables within their groups). Absent: at the composition of
// least driving force (ws.xbest) per formula unit. The phase's properties
// are left to the caller.
void fill_through_split(Workspace& ws, int ci, EquilibriumResult& out) {
    const Candidate& c = ws.cand[sz(ci)];
    const Phase& ph = ws.sys->phases[sz(c.phase)];
    const ModelLayout& l = c.model->layout();
    PhaseResult& pr = out.phases[sz(c.phase)];
    const std::size_t nv = sz(l.variables), nk = sz(ph.count);
    const std::span<double> v(ws.xfull.data(), nv), n(ws.nconst.data(), nk);
    std::fill(v.begin(), v.end(), 0.0);
    pr.site_fraction.assign(nv, 0.0);
    for (int g = c.group0; g < c.group0 + c.groups; ++g) {
        const double Ng = ws.group_amount(g);
        for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s) {
            const double y = c.present ? ws.n[sz(s)] / Ng : ws.xbest[sz(s - c.first)];
            pr.site_fraction[sz(ws.slot_var[sz(s)])] = y;
            v[sz(ws.slot_var[sz(s)])] = c.present ? ws.n[sz(s)] * ws.scale : ws.grp_sites[sz(g)] * y;
        }
    }
    c.model->constituent_amounts(v, n);
    const std::span<const StandardProps> sp = constituent_standards(ws, ci);
    double formula_units = 0.0;
    for (std::size_t k = 0; k < nk; ++k) formula_units += n[k];
    // The amount in formula units of its constituents (end members): the
    // internal amount over the site number where that ratio is fixed, the
    // split's sum where it follows the composition (a quasichemical liquid).
    if (c.present) pr.amount = l.made_first.empty() ? c.N * ws.scale / c.sites : formula_units;
    for (std::size_t k = 0; k < nk; ++k) {
        const std::size_t g = sz(ph.first) + k;
        if (c.present) {
            out.amount[g] = n[k];
            bool inside = true;
            double mu = 0.0;
            for (int q = l.content_first[k]; q < l.content_first[k + 1]; ++q) {
                int s = c.first;
                while (s < c.first + c.count && ws.slot_var[sz(s)] != l.content_var[sz(q)]) ++s;
                inside = inside && s < c.first + c.count;
                if (inside) mu += l.content_coef[sz(q)] * ws.mu[sz(s)] * ws.RT;
            }
            if (inside) out.mu[g] = mu;
        }
        out.mole_fraction[g] = formula_units > 0.0 ? n[k] / formula_units : 0.0;
        out.activity[g] = std::exp((out.mu[g] - sp[k].g) / ws.RT);
    }
}

// A phase whose site numbers follow its composition: its amount in
// formula units (present), site numbers and site fractions at the amounts
// or fractions in v.
void floating_sites(const Candidate& c, const Phase& ph, PhaseResult& pr, const std::vector<double>& v) {
    SiteNumbers sn;
    if (!c.model->floating_sites(std::span<const double>(v.data(), sz(ph.count)), sn)) return;
    if (c.present) pr.amount = sn.formula_units;
    pr.sites = std::move(sn.sites);
    pr.site_fraction = std::move(sn.fraction);
}

}  // namespace

void fill_result(Workspace& ws, EquilibriumResult& out) {
    const System& sys = *ws.sys;
    const std::size_t NK = sys.constituents.size();
    out.status = SolverStatus::ok;
    out.message.clear();
    out.T = ws.T;
    out.P = ws.P;
    out.amount.assign(NK, 0.0);
    out.mole_fraction.assign(NK, 0.0);
    out.activity.assign(NK, 0.0);
    out.mu.assign(NK, 0.0);
    out.element_potential.assign(sys.elements.size(), 0.0);
    out.element_amount = ws.b_sys;
    out.phases.assign(sys.phases.size(), PhaseResult{});
    for (int j = 0; j < ws.E; ++j) out.element_potential[sz(ws.elem[sz(j)])] = ws.pi[sz(j)] * ws.RT;

    // Chemical potentials at the final amounts.
    evaluate_mu(ws);
    hold_fraction_logs(ws);
    // Potentials of every constituent from the element potentials (absent
    // phases, eliminated constituents); elements not in the material count 0.
    // The slots of a present phase without sublattices get their phase's
    // own potentials below instead. (Candidates are in phase order, at most
    // one per phase; a phase's constituents are contiguous from its first,
    // its slots in their order.)
    std::size_t next = 0;
    for (int p = 0; p < sys.phase_count(); ++p) {
        const Phase& ph = sys.phases[sz(p)];
        while (next < ws.cand.size() && ws.cand[next].phase < p) ++next;
        int s = 0, s_end = 0;  // slots whose potentials are the phase's own
        if (next < ws.cand.size() && ws.cand[next].phase == p && ws.cand[next].present && ws.cand[next].identity) {
            s = ws.cand[next].first;
            s_end = s + ws.cand[next].count;
        }
        for (int k = 0; k < ph.count; ++k) {
            if (s < s_end && ws.slot_var[sz(s)] == k) {
                ++s;
                continue;
            }
            const std::vector<double>& stoich = sys.constituents[sz(ph.first + k)].stoich;
            double m = 0.0;
            for (std::size_t j = 0; j < sys.elements.size(); ++j) m += stoich[j] * out.element_potential[j];
            out.mu[sz(ph.first + k)] = m;
        }
    }
    out.G = out.H = out.S = out.Cp = out.V = 0.0;
    for (int ci = 0; ci < static_cast<int>(ws.cand.size()); ++ci) {
        const Candidate& c = ws.cand[sz(ci)];
        const Phase& ph = sys.phases[sz(c.phase)];
        PhaseResult& pr = out.phases[sz(c.phase)];
        pr.considered = true;
        pr.present = c.present;
        if (!c.present) {
            // Driving force and composition of least driving force. A
            // mixture the balance holds out reports its certified least
            // distance and the composition of it (hold_out_by_balance):
            // at any one plane the assemblage allows it lies below.
            double df = driving_force(ws, ci);
            if (c.held_by_balance) {
                df = c.held_D;
                std::copy(c.held_x.begin(), c.held_x.end(), ws.xbest.begin());
            }
            pr.driving_force = -df * ws.RT;
            if (!c.identity) {
                fill_through_split(ws, ci, out);
                continue;
            }
            std::fill(ws.xfull.begin(), ws.xfull.begin() + ph.count, 0.0);
            for (int k = 0; k < c.count; ++k) {
                const int s = c.first + k;
                const int g = ph.first + ws.slot_var[sz(s)];
                out.mole_fraction[sz(g)] = c.pure ? 1.0 : ws.xbest[sz(k)];
                const double std0 = ws.g0[sz(s)] - (c.gas ? ws.lnP : 0.0);
                out.activity[sz(g)] = std::exp(out.mu[sz(g)] / ws.RT - std0);
                ws.xfull[sz(ws.slot_var[sz(s)])] = out.mole_fraction[sz(g)];
            }
            floating_sites(c, ph, pr, ws.xfull);
            continue;
        }
        if (!c.identity) {
            fill_through_split(ws, ci, out);
            add_props(candidate_props(ws, c, false), pr, out);
            continue;
        }
        pr.amount = c.N * ws.scale;
        std::fill(ws.xfull.begin(), ws.xfull.begin() + ph.count, 0.0);
        for (int k = 0; k < c.count; ++k) {
            const int s = c.first + k;
            const int g = ph.first + ws.slot_var[sz(s)];
            const double n = ws.n[sz(s)] * ws.scale;
            out.amount[sz(g)] = n;
            out.mole_fraction[sz(g)] = c.pure ? 1.0 : ws.n[sz(s)] / c.N;
            out.mu[sz(g)] = ws.mu[sz(s)] * ws.RT;
            // Ideal phases: the activity is x (times P/P° in the gas).
            const double std0 = ws.g0[sz(s)] - (c.gas ? ws.lnP : 0.0);
            out.activity[sz(g)] = c.pure    ? 1.0
                                  : c.ideal ? out.mole_fraction[sz(g)] * (c.gas ? ws.P / kPstd : 1.0)
                                            : std::exp(ws.mu[sz(s)] - std0);
            ws.xfull[sz(ws.slot_var[sz(s)])] = n;
        }
        floating_sites(c, ph, pr, ws.xfull);
        add_props(candidate_props(ws, c, true), pr, out);
    }
    out.heat = out.H - out.H_in;
}

double equilibrium_enthalpy(Workspace& ws, double* cp) {
    double h = 0.0, c_p = 0.0;
    for (const Candidate& c : ws.cand) {
        if (!c.present) continue;
        std::fill(ws.xfull.begin(), ws.xfull.begin() + c.model->layout().variables, 0.0);
        for (int k = 0; k < c.count; ++k)
            ws.xfull[sz(ws.slot_var[sz(c.first + k)])] = ws.n[sz(c.first + k)] * ws.scale;
        const PhaseProps pp = candidate_props(ws, c, false);
        h += pp.H;
        c_p += pp.Cp;
    }
    if (cp) *cp = c_p;
    return h;
}

}  // namespace eqcore::detail
