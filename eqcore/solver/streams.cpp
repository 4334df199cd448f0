#include "solver/streams.hpp"

#include <vector>

namespace eqcore {

PhaseProps feed_props(const System& sys, const PhaseModels& models, const Feed& stream) {
    PhaseProps sum;
    std::vector<double> n;
    for (int p = 0; p < sys.phase_count(); ++p) {
        const Phase& ph = sys.phases[static_cast<std::size_t>(p)];
        n.assign(static_cast<std::size_t>(ph.count), 0.0);
        bool any = false;
        for (int k = 0; k < ph.count; ++k) {
            const std::size_t g = static_cast<std::size_t>(ph.first + k);
            const double v = g < stream.amount.size() ? stream.amount[g] : 0.0;
            n[static_cast<std::size_t>(k)] = v;
            any = any || v != 0.0;
        }
        if (!any) continue;
        const PhaseProps pp = phase_props(models[p], stream.T, stream.P, n);
        sum.G += pp.G;
        sum.H += pp.H;
        sum.S += pp.S;
        sum.Cp += pp.Cp;
        sum.V += pp.V;
    }
    return sum;
}

double feeds_enthalpy(const EquilibriumProblem& problem, const PhaseModels& models) {
    double h = 0.0;
    for (const Feed& s : problem.streams) h += feed_props(*problem.system, models, s).H;
    return h;
}

}  // namespace eqcore
