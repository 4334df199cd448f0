#include "property_common.hpp"

#include <string>

#include "eqcore_calls.hpp"
#include "fortran_format.hpp"
#include "host_services.hpp"
#include "messages.hpp"
#include "startup.hpp"

namespace eqlink::props {

Request make_request(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST,
                     const ftn::Int* ICLIST, ftn::Int MSGLEV, const ftn::Int* IREQ,
                     ftn::Array1<ftn::Real> PROP, ftn::Array1<ftn::Real> DPROP) {
    return {TEMP, PRES, {XMOL}, NLIST, {ICLIST}, MSGLEV, {IREQ, 4}, PROP, DPROP, ncomp()};
}

ftn::Int ncomp() { return DMS_NCOMP[0].i(); }

ftn::Real gas_constant() { return PPUTL_PPGLOB[2].r(); }

bool engine_started() {
    ftn::Int ierr = 0;
    ftn::Int noerr = 0;
    CASTRT(ierr, noerr);
    return ierr == 0 && noerr == 0;
}

ftn::Int remove_stream(std::string_view stream) {
    ftn::Int noerr = 0;
    PPSTUB_ECSTDL(stream.data(), &noerr, stream.size());
    return noerr;
}

ftn::Int remove_all_streams() { return remove_stream(" "); }

ftn::Int define_stream(std::string_view stream, const ftn::Real (&tp)[2]) {
    ftn::Int noerr = 0;
    PPSTUB_ECSTDF(stream.data(), tp, &noerr, stream.size());
    return noerr;
}

ftn::Int enter_constituent(ftn::Int phase, ftn::Int constituent) {
    static constexpr std::string_view kEntered = "ENTERED ";
    ftn::Int noerr = 0;
    PPSTUB_ECSCS(&phase, &constituent, kEntered.data(), &noerr, kEntered.size());
    return noerr;
}

ftn::Int add_amount(std::string_view stream, ftn::Int phase, ftn::Int constituent, ftn::Real amount) {
    ftn::Int noerr = 0;
    PPSTUB_ECSTAM(stream.data(), &phase, &constituent, &amount, &noerr, stream.size());
    return noerr;
}

ftn::Int stream_property(std::string_view stream, std::string_view property, ftn::Real& value) {
    ftn::Int noerr = 0;
    ftn::Real read = 0.0;
    PPSTUB_ECSTPR(stream.data(), property.data(), &read, &noerr, stream.size(), property.size());
    if (noerr == 0) value = read;
    return noerr;
}

ftn::Real element_entropy(ftn::Int component) {
    const ftn::Real one = 1.0;
    return SELADD(0.0, 1, &component, &one);
}

void report_unmapped(const RoutineId& id, ftn::Int number, ftn::Int level, ftn::Int flag,
                     UnmappedText text) {
    const MessageKey key{1, number, level, flag};
    const std::string elvar_component =
        message_line("Attempt to compute a physical property for an Elvar component using the");
    switch (text) {
    case UnmappedText::elvar_component:
        report(id, key, {elvar_component, message_line("EQCORE Option Set.")});
        break;
    case UnmappedText::elvar_dotted:
        report(id, key, {elvar_component, message_line("EQCORE.  Option Set.")});
        break;
    case UnmappedText::data_file:
        report(id, key,
               {message_line("ATTEMPT TO USE THE EQCORE OPTION SET FOR A COMPONENT "),
                message_line("THAT CANNOT BE FOUND IN THE DATA FILE")});
        break;
    }
}

void report_engine_error(const RoutineId& id, ftn::Int status, ftn::Int level, ftn::Int flag,
                         int step) {
    report(id, MessageKey{1, status, level, flag},
           {message_line("Unknown EQCORE error in step " + fmt90::I(step, 1) + " of property calculations."),
            message_line(kEqcoreInterfaceTerminates)});
}

}  // namespace eqlink::props
