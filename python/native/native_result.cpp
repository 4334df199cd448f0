#include "native_result.hpp"

namespace eqcore::python {

namespace {
constexpr std::size_t kPoolSize = 4;
}

std::shared_ptr<NativeResult> PooledEngine::free_result() {
    for (auto& r : pool)
        if (r.use_count() == 1) return r;
    auto r = std::make_shared<NativeResult>();
    if (pool.size() < kPoolSize) pool.push_back(r);
    return r;
}

void run(Engine& engine, const Request& q, NativeResult& out) {
    engine.equilibrate(q, out.result);
    out.system = engine.system_ptr();
    out.units = engine.units();
    out.problem = engine.problem();
}

ResultArrays result_arrays(const NativeResult& nr) {
    const System& sys = *nr.system;
    const Units& u = nr.units;
    const EquilibriumResult& r = nr.result;
    ResultArrays a;
    const std::size_t nc = sys.constituents.size(), np = sys.phases.size(), ne = sys.elements.size();
    a.amount.assign(nc, 0.0);
    a.mu.assign(nc, 0.0);
    for (std::size_t g = 0; g < nc; ++g) {
        a.amount[g] = amount_in_unit(u, sys, static_cast<int>(g), r.amount[g]);
        a.mu[g] = u.energy_from_si(r.mu[g]);
    }
    a.mole_fraction = r.mole_fraction;
    a.activity = r.activity;
    for (auto* v : {&a.phase_amount, &a.phase_G, &a.phase_H, &a.phase_S, &a.phase_Cp, &a.phase_V, &a.driving_force})
        v->assign(np, 0.0);
    a.present.assign(np, 0);
    a.considered.assign(np, 0);
    for (std::size_t p = 0; p < np; ++p) {
        const Phase& ph = sys.phases[p];
        const PhaseResult& pr = r.phases[p];
        double n = 0.0;
        for (int k = 0; k < ph.count; ++k) n += a.amount[static_cast<std::size_t>(ph.first + k)];
        a.phase_amount[p] = n;
        a.phase_G[p] = u.energy_from_si(pr.G);
        a.phase_H[p] = u.energy_from_si(pr.H);
        a.phase_S[p] = u.entropy_from_si(pr.S);
        a.phase_Cp[p] = u.entropy_from_si(pr.Cp);
        a.phase_V[p] = u.volume_from_si(pr.V);
        a.driving_force[p] = u.energy_from_si(pr.driving_force);
        a.present[p] = pr.present ? 1 : 0;
        a.considered[p] = pr.considered ? 1 : 0;
    }
    a.element_amount.assign(ne, 0.0);
    a.element_potential.assign(ne, 0.0);
    for (std::size_t j = 0; j < ne; ++j) {
        a.element_amount[j] = u.amount_from_mol(r.element_amount[j], u.amount_is_mass() ? sys.elements[j].mass : 1.0);
        a.element_potential[j] = u.energy_from_si(r.element_potential[j]);
    }
    return a;
}

}  // namespace eqcore::python
