#include "solver/problem.hpp"

namespace eqcore {

EquilibriumProblem EquilibriumProblem::all_entered(const System& sys) {
    EquilibriumProblem p;
    p.system = &sys;
    p.phase_entered.assign(sys.phases.size(), 1);
    p.constituent_entered.assign(sys.constituents.size(), 1);
    p.element_amount.assign(sys.elements.size(), 0.0);
    return p;
}

void EquilibriumProblem::add(const std::string& stream, int phase, int k, double mol, double T, double P) {
    Feed* s = nullptr;
    for (Feed& x : streams)
        if (x.name == stream) s = &x;
    if (!s) {
        streams.push_back(Feed{stream, T, P, std::vector<double>(system->constituents.size(), 0.0)});
        s = &streams.back();
    }
    const int g = system->phases[static_cast<std::size_t>(phase)].first + k;
    s->amount[static_cast<std::size_t>(g)] += mol;
}

void EquilibriumProblem::elements(std::vector<double>& out) const {
    const std::size_t ne = system->elements.size();
    out.assign(ne, 0.0);
    if (streams.empty()) {
        for (std::size_t j = 0; j < ne && j < element_amount.size(); ++j) out[j] = element_amount[j];
        return;
    }
    for (const Feed& s : streams)
        for (std::size_t g = 0; g < s.amount.size() && g < system->constituents.size(); ++g) {
            const double m = s.amount[g];
            if (m == 0.0) continue;
            const std::vector<double>& a = system->constituents[g].stoich;
            for (std::size_t j = 0; j < ne; ++j) out[j] += m * a[j];
        }
}

std::vector<double> EquilibriumProblem::elements() const {
    std::vector<double> b;
    elements(b);
    return b;
}

}  // namespace eqcore
