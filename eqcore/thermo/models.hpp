// The factory of phase models: every model a System's phase can carry maps
// to its implementation here, in one place, and a set holds the models of
// every phase of a system.
#pragma once

#include <memory>
#include <vector>

#include "data/system.hpp"
#include "thermo/phase_model.hpp"

namespace eqcore {

// The model of `phase` of `sys`. Throws std::invalid_argument naming the
// phase and its model code when no implementation exists.
std::unique_ptr<PhaseModel> make_model(const System& sys, int phase);

// The models of every phase of one system, by phase index. Each model holds
// a copy of what it needs, so the set stays valid when the system moves.
class PhaseModels {
public:
    PhaseModels() = default;
    explicit PhaseModels(const System& sys);

    int size() const { return static_cast<int>(models_.size()); }
    const PhaseModel& operator[](int phase) const { return *models_[static_cast<std::size_t>(phase)]; }
    // Puts a model built elsewhere in place of the factory's (a model the
    // factory does not know, such as one a test builds).
    void replace(int phase, std::unique_ptr<PhaseModel> model);

private:
    std::vector<std::unique_ptr<PhaseModel>> models_;
};

}  // namespace eqcore
