// Messages shared by the flash's stages.
#include "flash_messages.hpp"

#include <string>

#include "component_text.hpp"
#include "flash_state.hpp"
#include "fortran_format.hpp"
#include "messages.hpp"
#include "report.hpp"

namespace eqlink::flash::msg {

bool report(ftn::Int severity, ftn::Int number, std::initializer_list<std::string_view> lines) {
    return eqlink::report(routine_id(), {severity, number, state().KDIAG}, lines);
}

bool report_at_host_level(ftn::Int severity, ftn::Int number,
                          std::initializer_list<std::string_view> lines) {
    return eqlink::report(routine_id(), {severity, number, host_level()}, lines);
}

void unmapped_component(ftn::Int number, ftn::Int component) {
    const std::string first = "      Attempt to compute a flash calculation for the Elvar component \"" +
                              component_identifier(component) + "\"";
    report(1, number, {first, "      using the EQCORE Option Set."});
}

void engine_failure(ftn::Int noerr, ftn::Int step, bool with_status) {
    const std::string first = "      Unknown EQCORE error in step " + fmt90::I(step, 1) +
                              " of equilibrium calculations.";
    std::string second = message_line(kEqcoreInterfaceTerminates);
    if (with_status) second += fmt90::I(noerr, 4);
    report(1, noerr, {first, second});
}

}  // namespace eqlink::flash::msg
