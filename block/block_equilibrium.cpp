// Equilibrium of everything that entered, by calculation type, with the
// engine writing its settings and result table into "eqclist.txt"; then the
// heat duty into RPAR(4) and the heat balance into the first outlet heat
// stream.
#include <cstring>
#include <string>

#include "block_stages.hpp"
#include "eqcore_calls.hpp"
#include "fortran_format.hpp"
#include "messages.hpp"

namespace eqlink::block {

namespace {

constexpr ftn::Int kMsgListClose = 45;
constexpr ftn::Int kMsgHeatDuty = 46;
constexpr ftn::Int kMsgHeatOutlets = 47;

constexpr ftn::Int kStepOpen = 39, kStepListUnit = 40, kStepShow = 41;
constexpr ftn::Int kStepType1 = 42, kStepType2 = 43, kStepTarget = 44;

// First temperature estimate of a duty calculation, K.
constexpr ftn::Real kDutyEstimate = 500.0;

// The engine's error text after a failed equilibrium: reported as a
// warning and always shown on the terminal, trace switch or not.
void show_equilibrium_error(BlockState& s) {
    char text[3][80];
    std::memset(text, ' ', sizeof text);
    PPSTUB_ECERR(&text[0][0], &s.NOERR, 80);
    const std::string lines[3] = {std::string(ftn::trim_right({text[0], 80})),
                                  std::string(ftn::trim_right({text[1], 80})),
                                  std::string(ftn::trim_right({text[2], 80}))};
    message(s, 2, s.ISTEP, {"      ", lines[0], lines[1], lines[2]});
    terminal({"      ", lines[0], lines[1], lines[2]});
}

void open_listing(BlockState& s) {
    ftn::Chars<11> file;
    file.assign(kListFile);
    PPSTUB_ECOPEN(file.c, &kListUnit, &s.NOERR, file.size());
    if (s.NOERR != 0) s.ISTEP = kStepOpen;
    PPSTUB_ECSIO("LIST ", &kListUnit, &s.NOERR, 5);
    if (s.NOERR != 0) s.ISTEP = kStepListUnit;
    PPSTUB_ECSHOW(&s.NOERR);
    if (s.NOERR != 0) s.ISTEP = kStepShow;
}

// ECEQL by calculation type: at the block temperature, with the
// temperature sought from the duty, or from the target.
void call_equilibrium(BlockState& s) {
    const ftn::Int none = 0;
    if (s.ICALC == 1) {
        const ftn::Real values[2] = {0.0, 0.0};
        PPSTUB_ECEQL("  ", &none, &none, values, &s.NOERR, 2);
        if (s.NOERR != 0) s.ISTEP = kStepType1;
    } else if (s.ICALC == 2) {
        const ftn::Real values[2] = {kDutyEstimate, 0.0};
        PPSTUB_ECEQL("T ", &none, &none, values, &s.NOERR, 2);
        if (s.NOERR != 0) s.ISTEP = kStepType2;
    } else {
        const ftn::Real values[2] = {(s.TMIN + s.TMAX) * 0.5, 0.0};
        PPSTUB_ECEQL("T ", &s.ITPH, &s.ITCON, values, &s.NOERR, 2);
        if (s.NOERR != 0) s.ISTEP = kStepTarget;
    }
}

}  // namespace

Stage equilibrate(const BlockCall& c, BlockState& s) {
    open_listing(s);
    call_equilibrium(s);
    // A failed equilibrium does not end the block here: the result
    // retrieval that follows does.
    if (s.NOERR != 0) show_equilibrium_error(s);
    PPSTUB_ECCLOS(&kListUnit, &s.NOERR);
    if (s.NOERR != 0) {
        message(s, 1, kMsgListClose,
                {message_line("Unknown EQCORE error in step " + fmt90::I(6, 1) + " of equilibrium calculations."),
                 message_line(std::string(kEqcoreInterfaceTerminates) + fmt90::I(s.NOERR, 4))});
        return Stage::stop;
    }
    if (tracing()) copy_listing();

    ftn::Real duty = 0.0;
    const ftn::Int none = 0;
    PPSTUB_ECRES("H ", &none, &none, &duty, &s.NOERR, 2);
    if (s.NOERR != 0) {
        message(s, 1, kMsgHeatDuty,
                {message_line("Unknown EQCORE error while retrieving  the heat duty"),
                 message_line(std::string(kEqcoreInterfaceTerminates) + fmt90::I(s.NOERR, 4))});
        return Stage::stop;
    }
    c.rpar(4) = duty;
    if (c.NHTOUT > 1)
        message(s, 3, kMsgHeatOutlets,
                {message_line("THE ELVAR/EQCORE INTERFACE SUPPORTS "),
                 message_line("A MAXIMUM OF ONE OUTLET HEAT STREAM "),
                 message_line("ADDITIONAL OUTLET HEAT STREAMS WILL BE IGNORED")});
    if (c.NHTOUT >= 1) {
        ftn::Real heat_in = 0.0;
        for (ftn::Int h = 0; h < c.NHTIN; ++h) heat_in += c.HTIN[h];
        c.HTOUT[0] = heat_in - duty;
    }
    return Stage::proceed;
}

}  // namespace eqlink::block
