// Entry of the block: start-up, option set, parameters, and the conditions
// set in the engine before anything else.
#include <algorithm>
#include <string>

#include "block_stages.hpp"
#include "eqcore_calls.hpp"
#include "fortran_format.hpp"
#include "host_services.hpp"
#include "messages.hpp"
#include "startup.hpp"

namespace eqlink::block {

namespace {

constexpr ftn::Int kMsgOptionSet = 1;
constexpr ftn::Int kMsgIntegerParameters = 2;
constexpr ftn::Int kMsgCalculationType = 3;
constexpr ftn::Int kMsgPressure = 4;
constexpr ftn::Int kMsgBoundsOrder = 5;
constexpr ftn::Int kMsgTemperatureOrDuty = 6;

constexpr ftn::Int kStagePressure = 1;
constexpr ftn::Int kStageTemperatureOrDuty = 2;

constexpr std::string_view kTerminated = "BLOCK CALCULATIONS TERMINATED";

// A parameter equal to the host's missing integer counts as 0.
ftn::Int count_or_zero(ftn::Int value) { return value == DMS_GLOBAL[7].i() ? 0 : value; }

ftn::Int location_of(std::string_view parameter) {
    const auto length = static_cast<ftn::Int>(parameter.size());
    return DMS_IFCMNC(parameter.data(), &length, parameter.size());
}

void set_condition(BlockState& s, std::string_view name, ftn::Real value) {
    const ftn::Int index = 0;
    PPSTUB_ECSCND(name.data(), &index, &value, &s.NOERR, name.size());
}

// Three lines: the calculation type, the pressure and the temperature or
// duty with the engine's status.
void trace_banner(const BlockState& s, std::string_view label, ftn::Real value) {
    if (tracing())
        trace({"     ", "BEGINNING USER2 BLOCK - CALCULATION TYPE = " + fmt90::I(s.ICALC, 1),
               "  Pressure = " + fmt90::F(s.PBLK, 10, 2) + "      " + std::string(label) +
                   fmt90::E(value, 15, 4) + fmt90::I(s.NOERR, 9)});
}

}  // namespace

Stage block_entry(const BlockCall& c, BlockState& s) {
    s.LEVEL = PPEXEC_USER[6].i();  // word 7
    s.NC = DMS_NCOMP[0].i();
    s.NNC = DMS_NCOMP[1].i();
    s.RMISS = DMS_RGLOB[0].r();
    s.ITPH = 0;
    s.ITCON = 0;
    s.ISTEP = 0;
    s.NPRES = 0;

    ftn::Int IERR = 0;
    ftn::Int NOERR = 0;
    CASTRT(IERR, NOERR);
    s.NOERR = NOERR;
    if (IERR != 0) return Stage::stop;

    s.MWLOC = location_of("MW");

    ftn::Int eqcore_set = 0;
    EQLINK_CHKOPT(c.OPTSET, &eqcore_set);
    if (eqcore_set != 1) {
        message(s, 1, kMsgOptionSet,
                {message_line("THE ELVAR/EQCORE INTERFACE MUST USE THE EQCORE OPTION SET"),
                 message_line("THIS BLOCK USES A DIFFERENT OPTION SET"), message_line(kTerminated)});
        return Stage::stop;
    }
    if (c.NIPAR < 4) {
        message(s, 1, kMsgIntegerParameters,
                {message_line("THE ELVAR/EQCORE INTERFACE REQUIRES "),
                 message_line("FOUR INTEGERS AS BLOCK INPUT PARAMETERS "),
                 message_line("THIS BLOCK ONLY HAS " + fmt90::I(c.NIPAR, 1) + " INTEGER PARAMETERS"),
                 message_line(kTerminated)});
        return Stage::stop;
    }
    s.ICALC = c.ipar(1);
    if (s.ICALC < 1 || s.ICALC > 4) {
        message(s, 1, kMsgCalculationType,
                {message_line("CALCULATION TYPE" + fmt90::I(s.ICALC, 4) + " IS NOT DEFINED"),
                 message_line("IN THE ELVAR/EQCORE INTERFACE"), message_line(kTerminated)});
        return Stage::stop;
    }
    s.NPHNAM = count_or_zero(c.ipar(2)) + count_or_zero(c.ipar(3));
    if (check_stream_layout(c, s) == Stage::stop) return Stage::stop;

    s.PBLK = c.rpar(1);
    set_condition(s, "P ", s.PBLK);
    if (s.NOERR != 0) {
        eqcore_failure(s, kMsgPressure, kStagePressure);
        return Stage::stop;
    }
    if (s.ICALC >= 3) {
        s.TMIN = c.rpar(2);
        s.TMAX = c.rpar(3);
        if (s.TMIN > s.TMAX) {
            message(s, 3, kMsgBoundsOrder,
                    {message_line("Tmin and Tmax are not in the correct order.  Please correct this."),
                     message_line("BLOCK CALCULATIONS PROCEED USING Tmin AS Tmax")});
            std::swap(s.TMIN, s.TMAX);
        }
        s.TARAMT = s.ICALC == 3 ? 0.1 : -0.1;
    } else if (s.ICALC == 2) {
        set_condition(s, "H ", c.rpar(2));
        trace_banner(s, "Duty = ", c.rpar(2));
    } else {
        set_condition(s, "T ", c.rpar(2));
        trace_banner(s, "Temp = ", c.rpar(2));
    }
    if (s.NOERR != 0) {
        eqcore_failure(s, kMsgTemperatureOrDuty, kStageTemperatureOrDuty);
        return Stage::stop;
    }
    s.IDLOC = location_of("IDSCC");
    return Stage::proceed;
}

}  // namespace eqlink::block
