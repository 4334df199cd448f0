// Reduction of a problem to what can take part, and the standard potentials
// at the calculation's temperature and pressure.
#include <algorithm>
#include <cmath>
#include <typeinfo>
#include <utility>

#include "solver/workspace.hpp"
#include "thermo/standard.hpp"

namespace eqcore::detail {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

// Whether candidates a and b are the same function of their slots'
// fractions: one model type, the phases' data equal but for their names
// and places, their constituents equal but for their owner, the same slots.
bool same_data(const Workspace& ws, const Candidate& a, const Candidate& b) {
    if (a.count != b.count || a.groups != b.groups || typeid(*a.model) != typeid(*b.model)) return false;
    for (int k = 0; k < a.count; ++k)
        if (ws.slot_var[sz(a.first + k)] != ws.slot_var[sz(b.first + k)]) return false;
    const System& sys = *ws.sys;
    Phase pa = sys.phases[sz(a.phase)];
    const Phase& pb = sys.phases[sz(b.phase)];
    pa.name = pb.name;
    pa.first = pb.first;
    if (!(pa == pb)) return false;
    for (int k = 0; k < pb.count; ++k) {
        Constituent ca = sys.constituents[sz(sys.phases[sz(a.phase)].first + k)];
        ca.phase = b.phase;
        if (!(ca == sys.constituents[sz(pb.first + k)])) return false;
    }
    return true;
}

void build(Workspace& ws, const EquilibriumProblem& pr) {
    const System& sys = *pr.system;
    ws.sys = &sys;
    ws.models_given = pr.models;
    // The system's own models are the same for every setup of it (a solver
    // serves one system until it is reset): built once.
    if (!pr.models && ws.own_models_of != &sys) {
        ws.own_models = PhaseModels(sys);
        ws.own_models_of = &sys;
        ws.feeds_std_of = nullptr;  // the values held were of the old models
    }
    ws.models = pr.models ? pr.models : &ws.own_models;
    ws.phase_on = pr.phase_entered;
    ws.const_on = pr.constituent_entered;
    ws.elem.clear();
    for (int j = 0; j < sys.element_count(); ++j)
        if (ws.elem_on[sz(j)]) ws.elem.push_back(j);
    ws.E = static_cast<int>(ws.elem.size());
    ws.cand.clear();
    ws.unsupported = -1;
    ws.slot_var.clear();
    ws.slot_cand.clear();
    ws.a.clear();
    ws.atoms.clear();
    ws.res_weight.clear();
    ws.grp_begin.clear();
    ws.grp_end.clear();
    ws.grp_share.clear();
    ws.grp_sites.clear();
    ws.max_phase_count = 1;
    ws.max_groups = 1;
    ws.max_constituents = 1;
    int lp_cols = 0, lp_xlen = 0;
    std::vector<char> usable;
    std::vector<double> weight;
    for (int p = 0; p < sys.phase_count(); ++p) {
        const Phase& ph = sys.phases[sz(p)];
        if (ph.dormant || !pr.phase_entered[sz(p)]) continue;
        const PhaseModel& model = (*ws.models)[p];
        const ModelLayout& l = model.layout();
        if ((l.groups() > 1 && l.free_groups) || !l.constraint.empty()) {
            ws.unsupported = p;
            continue;
        }
        Candidate c;
        c.phase = p;
        c.model = &model;
        c.gas = l.gas;
        c.pure = l.pure;
        c.ideal = l.ideal;
        c.identity = l.identity;
        c.first = ws.slots();
        // A variable takes part when a usable constituent holds it: one that
        // is entered and made only of elements of the material.
        usable.assign(sz(l.variables), 0);
        for (int k = 0; k < ph.count; ++k) {
            const int g = ph.first + k;
            if (!pr.constituent_entered[sz(g)]) continue;
            const Constituent& con = sys.constituents[sz(g)];
            bool ok = true;
            for (int j = 0; j < sys.element_count(); ++j)
                if (con.stoich[sz(j)] != 0.0 && !ws.elem_on[sz(j)]) ok = false;
            if (!ok) continue;
            for (int q = l.content_first[sz(k)]; q < l.content_first[sz(k) + 1]; ++q) usable[sz(l.content_var[sz(q)])] = 1;
        }
        if (!l.made_first.empty()) {
            for (int i = 0; i < l.variables; ++i) {
                bool all = true;
                for (int q = l.made_first[sz(i)]; q < l.made_first[sz(i) + 1]; ++q) {
                    const int k = l.made_of[sz(q)];
                    bool ok = pr.constituent_entered[sz(ph.first + k)] != 0;
                    for (int j = 0; j < sys.element_count(); ++j)
                        if (sys.constituents[sz(ph.first + k)].stoich[sz(j)] != 0.0 && !ws.elem_on[sz(j)]) ok = false;
                    all = all && ok;
                }
                usable[sz(i)] = all ? 1 : 0;
            }
        }
        // Every mixing group (sublattice) needs a usable variable, else the
        // phase cannot hold a formula unit.
        bool every_group = true;
        for (int g = 0; g < l.groups(); ++g) {
            bool any = false;
            for (int i = l.group_first[sz(g)]; i < l.group_first[sz(g) + 1]; ++i) any = any || usable[sz(i)];
            every_group = every_group && any;
        }
        if (!every_group) continue;
        // A variable's residual weight: the largest coefficient with which
        // a constituent holds it (at least 1).
        weight.assign(sz(l.variables), 1.0);
        for (std::size_t q = 0; q < l.content_var.size(); ++q) {
            double& w = weight[sz(l.content_var[q])];
            w = std::max(w, std::abs(l.content_coef[q]));
        }
        c.group0 = static_cast<int>(ws.grp_begin.size());
        c.groups = l.groups();
        c.sites = l.formula_sites();
        for (int g = 0; g < l.groups(); ++g) {
            ws.grp_begin.push_back(ws.slots());
            for (int i = l.group_first[sz(g)]; i < l.group_first[sz(g) + 1]; ++i) {
                if (!usable[sz(i)]) continue;
                ws.slot_var.push_back(i);
                ws.slot_cand.push_back(static_cast<int>(ws.cand.size()));
                double atoms = 0.0;
                for (int e : ws.elem) {
                    ws.a.push_back(l.row_of(i)[e]);
                    atoms += std::abs(l.row_of(i)[e]);
                }
                // A vacancy on a sublattice holds no atom; elsewhere a
                // constituent without atoms (an electron) counts as one.
                ws.atoms.push_back(atoms > 0.0 || c.groups > 1 ? atoms : 1.0);
                ws.res_weight.push_back(weight[sz(i)]);
            }
            ws.grp_end.push_back(ws.slots());
            ws.grp_sites.push_back(l.sites[sz(g)]);
            ws.grp_share.push_back(c.groups > 1 ? l.sites[sz(g)] / c.sites : 1.0);
        }
        c.count = ws.slots() - c.first;
        if (c.count == 0) continue;
        ws.max_phase_count = std::max(ws.max_phase_count, l.variables);
        ws.max_groups = std::max(ws.max_groups, c.groups);
        ws.max_constituents = std::max(ws.max_constituents, ph.count);
        const int columns = lp_column_count(ws, c);
        lp_cols += columns;
        lp_xlen += columns * c.count;
        ws.cand.push_back(c);
    }
    // Copies of one mixture written for a miscibility gap (NAME#1, NAME#2,
    // ...) are twins: the start may put distinct compositions in them.
    auto base = [&](int c) {
        const std::string& n = sys.phases[sz(ws.cand[sz(c)].phase)].name;
        const auto hash = n.rfind('#');
        return hash == std::string::npos ? std::string{} : n.substr(0, hash);
    };
    for (int c = 0; c < static_cast<int>(ws.cand.size()); ++c) {
        const std::string b = base(c);
        if (b.empty() || ws.cand[sz(c)].pure) continue;
        for (int d = c + 1; d < static_cast<int>(ws.cand.size()); ++d)
            if (base(d) == b && ws.cand[sz(d)].count == ws.cand[sz(c)].count) {
                ws.cand[sz(c)].twin = d;
                if (ws.cand[sz(c)].family < 0) ws.cand[sz(c)].family = c;
                ws.cand[sz(d)].family = ws.cand[sz(c)].family;
                break;
            }
    }
    // Copies written with the same data (and the same model) over the same
    // slots are one function of their composition: while both are absent
    // their stability searches are one.
    for (int c = 0; c < static_cast<int>(ws.cand.size()); ++c) {
        Candidate& cc = ws.cand[sz(c)];
        if (cc.family < 0 || cc.pure || cc.ideal) continue;
        for (int d = cc.family; d < c && cc.same_as < 0; ++d)
            if (ws.cand[sz(d)].family == cc.family && same_data(ws, ws.cand[sz(d)], cc)) cc.same_as = d;
    }
    const int S = ws.slots(), NC = static_cast<int>(ws.cand.size()), E = ws.E;
    ws.negative_stoich = false;
    ws.nz_off.assign(1, 0);
    ws.pp_off.assign(1, 0);
    ws.nz_elem.clear();
    ws.nz_coef.clear();
    ws.pp_idx.clear();
    ws.pp_coef.clear();
    for (int s = 0; s < S; ++s) {
        const double* ar = ws.arow(s);
        for (int j = 0; j < E; ++j) {
            if (ar[j] == 0.0) continue;
            if (ar[j] < 0.0) ws.negative_stoich = true;
            ws.nz_elem.push_back(j);
            ws.nz_coef.push_back(ar[j]);
            for (int k = 0; k <= j; ++k)
                if (ar[k] != 0.0) {
                    ws.pp_idx.push_back(j * E + k);
                    ws.pp_coef.push_back(ar[j] * ar[k]);
                }
        }
        ws.nz_off.push_back(static_cast<int>(ws.nz_elem.size()));
        ws.pp_off.push_back(static_cast<int>(ws.pp_idx.size()));
    }
    const std::size_t dim = sz(2 * E + NC);  // elements, phases, free directions of pi
    ws.b.assign(sz(E), 0.0);
    ws.g0.assign(sz(S), 0.0);
    ws.g0_std.assign(sz(S), 0.0);
    ws.sp0.assign(sz(S), StandardProps{});
    ws.prev_T = -1.0;
    ws.prev_g0_std.assign(sz(S), 0.0);
    ws.prev_sp0.assign(sz(S), StandardProps{});
    std::size_t params = 0;
    for (Candidate& c : ws.cand) {
        c.param_first = params;
        c.param_count = c.ideal ? 0 : c.model->parameter_count();
        params += c.param_count;
    }
    ws.params.assign(params, ParameterT{});
    ws.prev_params.assign(params, ParameterT{});
    ws.n.assign(sz(S), 0.0);
    ws.mu.assign(sz(S), 0.0);
    ws.pi.assign(sz(E), 0.0);
    ws.K.assign(dim * dim, 0.0);
    ws.rhs.assign(dim, 0.0);
    ws.piv.assign(dim, 0);
    ws.kscale.assign(dim, 1.0);
    ws.KE.assign(sz(E) * sz(E), 0.0);
    ws.col.assign(sz(E), 0.0);
    ws.bal.assign(sz(E), 0.0);
    const std::size_t M = sz(ws.max_phase_count);
    ws.xfull.assign(M, 0.0);
    ws.sp_phase.assign(M, StandardProps{});
    ws.nconst.assign(sz(ws.max_constituents), 0.0);
    ws.muex.assign(M, 0.0);
    ws.dmuex.assign(M * M, 0.0);
    ws.C.assign(M * M, 0.0);
    ws.Cterm.assign(M * M, 0.0);
    ws.Vrhs.assign(M * (2 * sz(E) + 1), 0.0);
    ws.cpiv.assign(M, 0);
    ws.cons.assign(M * sz(ws.max_groups), 0.0);
    ws.cons_tau.assign(sz(ws.max_groups), 0.0);
    ws.Cz.assign(M * M, 0.0);
    ws.rnew.assign(sz(S), 0.0);
    ws.V.assign(sz(S) * sz(E), 0.0);
    ws.y.assign(sz(S), 0.0);
    ws.dln.assign(sz(S), 0.0);
    ws.res.assign(sz(S), 0.0);
    ws.lnx.assign(sz(S), 0.0);
    ws.per_element.assign(sz(E), 0.0);
    ws.null.assign(sz(E) * sz(E), 0.0);
    ws.null_dim = 0;
    ws.step.assign(sz(NC), 0.0);
    ws.xtry.assign(M, 0.0);
    ws.wtmp.assign(M, 0.0);
    ws.trace_coef.assign(M + sz(E), 0.0);
    ws.tp_grad.assign(M, 0.0);
    ws.tp_dir.assign(M, 0.0);
    ws.tp_try.assign(M, 0.0);
    ws.xbest.assign(M, 0.0);
    constexpr int kB = TangentMemory::kBasins;
    ws.tpm.assign(sz(NC), TangentMemory{});
    ws.line_remainders.clear();
    ws.line_remainder_of.assign(sz(NC), -1);
    ws.const_std.assign(sz(NC), HeldStandards{});
    ws.tp_x.assign(sz(S), 0.0);
    ws.tp_ideal.assign(sz(S), 0.0);
    ws.ref_g0.assign(sz(S), 0.0);
    ws.tp_basin_x.assign(sz(S) * kB, 0.0);
    ws.ref_pi.assign(sz(NC) * sz(E), 0.0);
    ws.cache_pi.assign(sz(NC) * sz(E), 0.0);
    ws.basin_D.assign(sz(NC) * kB, 0.0);
    ws.basin_own.assign(sz(NC) * kB, 0);
    ws.var_on.assign(M, 0);
    ws.var_lin.assign(M, 0.0);
    ws.ex_who.assign(sz(E), 0);
    ws.ex_q.assign(sz(E) * sz(E), 0.0);
    ws.ex_r.assign(sz(E) * sz(E), 0.0);
    ws.ex_a.assign(sz(E), 0.0);
    ws.ex_l.assign(sz(E), 0.0);
    ws.lp_cols = lp_cols;
    find_gauge(ws);
    ws.lp_tab.assign(sz(E + 1) * sz(lp_cols + E + 1), 0.0);
    ws.lp_cost.assign(sz(lp_cols), 0.0);
    ws.lp_col.assign(sz(lp_cols) * sz(E), 0.0);
    ws.lp_z.assign(sz(lp_cols), 0.0);
    ws.lp_basis.assign(sz(E), 0);
    ws.lp_owner.assign(sz(lp_cols), 0);
    ws.lp_x.assign(sz(lp_xlen), 0.0);
    ws.lp_xoff.assign(sz(lp_cols), 0);
    ws.g0_T.assign(1, -1.0);
    ws.feeds_models = nullptr;
    ws.have_solution = false;
}

}  // namespace

SolverStatus prepare(Workspace& ws, const EquilibriumProblem& pr, const std::vector<double>& element_amount,
                     std::string& message) {
    const System& sys = *pr.system;
    const int NE = sys.element_count();
    std::vector<char>& on = ws.elem_on;  // compared with the held setup below
    std::vector<char>& now = ws.elem_now;
    now.assign(sz(NE), 0);
    double total = 0.0;
    for (int j = 0; j < NE; ++j) {
        const double bj = element_amount[sz(j)];
        if (!std::isfinite(bj) || bj < 0.0) {
            message = "element " + sys.elements[sz(j)].symbol + ": amount " + std::to_string(bj) +
                      " is not a finite non-negative number";
            return SolverStatus::bad_conditions;
        }
        if (bj > 0.0) {
            now[sz(j)] = 1;
            total += bj;
        }
    }
    if (!(total > 0.0)) {
        message = "no material: every element amount of the streams is zero";
        return SolverStatus::no_material;
    }
    const bool same = ws.sys == &sys && ws.models_given == pr.models && on == now &&
                      ws.phase_on == pr.phase_entered && ws.const_on == pr.constituent_entered;
    if (!same) {
        on = now;
        build(ws, pr);
    }
    if (ws.unsupported >= 0) {
        message = "phase " + sys.phases[sz(ws.unsupported)].name +
                  ": its model's variables have constraints the solver does not take yet (groups of floating amounts, "
                  "or linear constraints other than site ratios)";
        return SolverStatus::bad_conditions;
    }
    // Every element of the material must be carried by a usable constituent.
    for (int j = 0; j < ws.E; ++j) {
        bool carried = false;
        for (int s = 0; s < ws.slots() && !carried; ++s) carried = ws.arow(s)[j] != 0.0;
        if (!carried) {
            message = "element " + sys.elements[sz(ws.elem[sz(j)])].symbol +
                      " is in the material but in no entered constituent";
            return SolverStatus::element_not_carried;
        }
    }
    ws.b_sys = element_amount;
    ws.scale = total;
    for (int j = 0; j < ws.E; ++j) ws.b[sz(j)] = element_amount[sz(ws.elem[sz(j)])] / total;
    return SolverStatus::ok;
}

void set_conditions(Workspace& ws, double T, double P) {
    ws.RT = kR * T;
    ws.lnP = std::log(P / kPstd);
    if (ws.g0_T[0] != T) {
        // The values held become the previous temperature's; those of the
        // previous one come back when T is that temperature.
        std::swap(ws.g0_std, ws.prev_g0_std);
        std::swap(ws.sp0, ws.prev_sp0);
        std::swap(ws.params, ws.prev_params);
        std::swap(ws.g0_T[0], ws.prev_T);
        if (ws.g0_T[0] != T) {
            ws.g0_T[0] = -1.0;  // until the values at T are in place
            const double lnT = std::log(T);
            const double inv_RT = 1.0 / ws.RT;
            for (const Candidate& c : ws.cand)
                c.model->standard(T, lnT, std::span<const int>(ws.slot_var.data() + c.first, sz(c.count)),
                                  std::span<StandardProps>(ws.sp0.data() + c.first, sz(c.count)));
            for (int s = 0; s < ws.slots(); ++s) ws.g0_std[sz(s)] = ws.sp0[sz(s)].g * inv_RT;
            // The remainders' coefficient sets at T, once for every
            // evaluation the calculation makes at this temperature.
            for (const Candidate& c : ws.cand)
                if (c.param_count > 0)
                    c.model->parameters(T, std::span<ParameterT>(ws.params.data() + c.param_first, c.param_count));
            ws.g0_T[0] = T;
        }
        ws.P = -1.0;  // the pressure term below must be added anew
    }
    if (ws.P != P) {
        std::copy(ws.g0_std.begin(), ws.g0_std.end(), ws.g0.begin());
        for (const Candidate& c : ws.cand)
            if (c.gas)
                for (int s = c.first; s < c.first + c.count; ++s) ws.g0[sz(s)] += ws.lnP;
    }
    ws.T = T;
    ws.P = P;
}

}  // namespace eqcore::detail
