// The converged state in the caller's units and numbering.
#include <algorithm>
#include <cmath>

#include "solver/workspace.hpp"
#include "thermo/phase_props.hpp"

namespace eqcore::detail {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

// Properties of present candidate c from its amounts (mol) in ws.xfull and
// the standard-state values the workspace holds at T.
PhaseProps candidate_props(Workspace& ws, const Candidate& c) {
    const std::size_t count = sz(c.model->layout().variables);
    std::fill(ws.sp_phase.begin(), ws.sp_phase.begin() + static_cast<std::ptrdiff_t>(count), StandardProps{});
    for (int k = 0; k < c.count; ++k) ws.sp_phase[sz(ws.slot_var[sz(c.first + k)])] = ws.sp0[sz(c.first + k)];
    return evaluate(*c.model, ws.T, ws.P, std::span<const double>(ws.xfull.data(), count),
                    std::span<const StandardProps>(ws.sp_phase.data(), count));
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
    // Potentials of every constituent from the element potentials (absent
    // phases, eliminated constituents); elements not in the material count 0.
    for (std::size_t g = 0; g < NK; ++g) {
        double m = 0.0;
        for (std::size_t j = 0; j < sys.elements.size(); ++j) m += sys.constituents[g].stoich[j] * out.element_potential[j];
        out.mu[g] = m;
    }
    out.G = out.H = out.S = out.Cp = out.V = 0.0;
    for (int ci = 0; ci < static_cast<int>(ws.cand.size()); ++ci) {
        const Candidate& c = ws.cand[sz(ci)];
        const Phase& ph = sys.phases[sz(c.phase)];
        PhaseResult& pr = out.phases[sz(c.phase)];
        pr.considered = true;
        pr.present = c.present;
        if (!c.present) {
            // Driving force and composition of least driving force.
            const double df = driving_force(ws, ci);
            pr.driving_force = -df * ws.RT;
            for (int k = 0; k < c.count; ++k) {
                const int s = c.first + k;
                const int g = ph.first + ws.slot_var[sz(s)];
                out.mole_fraction[sz(g)] = c.pure ? 1.0 : ws.xbest[sz(k)];
                const double std0 = ws.g0[sz(s)] - (c.gas ? ws.lnP : 0.0);
                out.activity[sz(g)] = std::exp(out.mu[sz(g)] / ws.RT - std0);
            }
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
        const PhaseProps pp = candidate_props(ws, c);
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
    out.heat = out.H - out.H_in;
}

double equilibrium_enthalpy(Workspace& ws, double* cp) {
    const System& sys = *ws.sys;
    double h = 0.0, c_p = 0.0;
    for (const Candidate& c : ws.cand) {
        if (!c.present) continue;
        const Phase& ph = sys.phases[sz(c.phase)];
        std::fill(ws.xfull.begin(), ws.xfull.begin() + ph.count, 0.0);
        for (int k = 0; k < c.count; ++k)
            ws.xfull[sz(ws.slot_var[sz(c.first + k)])] = ws.n[sz(c.first + k)] * ws.scale;
        const PhaseProps pp = candidate_props(ws, c);
        h += pp.H;
        c_p += pp.Cp;
    }
    if (cp) *cp = c_p;
    return h;
}

}  // namespace eqcore::detail
