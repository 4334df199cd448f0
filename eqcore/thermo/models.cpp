#include "thermo/models.hpp"

#include <stdexcept>
#include <string>

#include "thermo/excess.hpp"
#include "thermo/ideal_gas.hpp"
#include "thermo/idmx.hpp"
#include "thermo/ionic_liquid.hpp"
#include "thermo/pure.hpp"
#include "thermo/qkto.hpp"
#include "thermo/quasichem.hpp"
#include "thermo/rkmp.hpp"
#include "thermo/subl.hpp"

namespace eqcore {

std::unique_ptr<PhaseModel> make_model(const System& sys, int phase) {
    if (phase < 0 || phase >= sys.phase_count()) throw std::out_of_range("make_model: no phase " + std::to_string(phase));
    const Phase& ph = sys.phases[static_cast<std::size_t>(phase)];
    switch (ph.model) {
        case Model::ideal_gas: return std::make_unique<IdealGasModel>(sys, phase);
        case Model::idmx: return std::make_unique<IdmxModel>(sys, phase);
        case Model::rkmp: return std::make_unique<MixtureModel>(sys, phase, rkmp_excess, rkmp_curvature, rkmp_third);
        case Model::qkto: return std::make_unique<MixtureModel>(sys, phase, qkto_terms_for(ph), qkto_curvature, qkto_third);
        case Model::pure: return std::make_unique<PureModel>(sys, phase);
        case Model::subl: return std::make_unique<SublModel>(sys, phase);
        case Model::subg:
        case Model::subq: return std::make_unique<QuasichemModel>(sys, phase);
        case Model::subi: return std::make_unique<IonicLiquidModel>(sys, phase);
    }
    throw std::invalid_argument("phase " + ph.name + ": model " + ph.model_code + " (number " +
                                std::to_string(static_cast<int>(ph.model)) + ") has no implementation");
}

PhaseModels::PhaseModels(const System& sys) {
    models_.reserve(sys.phases.size());
    for (int p = 0; p < sys.phase_count(); ++p) models_.push_back(make_model(sys, p));
}

void PhaseModels::replace(int phase, std::unique_ptr<PhaseModel> model) {
    if (phase < 0 || phase >= size()) throw std::out_of_range("PhaseModels: no phase " + std::to_string(phase));
    models_[static_cast<std::size_t>(phase)] = std::move(model);
}

}  // namespace eqcore
