// The one place the solver asks a phase model for its remainder (excess
// part): the candidate's slot fractions spread over the model's variables.
#include <algorithm>

#include "solver/workspace.hpp"

namespace eqcore::detail {

ExcessResult remainder_at(Workspace& ws, const Candidate& c, const double* x, bool gradient, bool hessian) {
    const auto m = static_cast<std::size_t>(c.model->layout().variables);
    std::fill(ws.xfull.begin(), ws.xfull.begin() + static_cast<std::ptrdiff_t>(m), 0.0);
    for (int k = 0; k < c.count; ++k) ws.xfull[static_cast<std::size_t>(ws.slot_var[static_cast<std::size_t>(c.first + k)])] = x[k];
    return c.model->excess(ws.T, std::span<const double>(ws.xfull.data(), m),
                           gradient ? std::span<double>(ws.muex.data(), m) : std::span<double>{},
                           hessian ? std::span<double>(ws.dmuex.data(), m * m) : std::span<double>{},
                           std::span<const ParameterT>(ws.params.data() + c.param_first, c.param_count));
}

}  // namespace eqcore::detail
