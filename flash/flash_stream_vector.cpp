// Writing the flashed state back into the stream vector.
#include "flash_stream_vector.hpp"

#include <string>

#include "flash_messages.hpp"
#include "fortran_format.hpp"
#include "report.hpp"

namespace eqlink::flash {

namespace {

void write_mixed(const FlashCall& c, ftn::Int i, const FlashState& s, ftn::Real T, ftn::Real P) {
    const ftn::Real missing = rmiss();
    const ftn::Real F = s.mixed.flow;
    const ftn::Real sum = s.SUMV + s.SUML;
    c.subs(i, 0) = F;
    c.subs(i, 2) = P;
    if (!(sum > 0.0)) {
        c.subs(i, 1) = missing;
        for (ftn::Int pos = 3; pos <= 8; ++pos) c.subs(i, pos) = missing;
        return;
    }
    // A phase without material has missing properties: leave it out.
    auto part = [](ftn::Real amount, ftn::Real value) { return amount > 0.0 ? amount * value : 0.0; };
    const ftn::Real W = (part(s.SUMV, s.MWV) + part(s.SUML, s.MWL)) * F;  // kg/s
    const ftn::Real Q = (part(s.SUMV, s.VV) + part(s.SUML, s.VL)) * F;    // m3/s
    c.subs(i, 1) = T;
    c.subs(i, 3) = (part(s.SUMV, s.HV) + part(s.SUML, s.HL)) * F / W;
    c.subs(i, 4) = s.VCALC;
    c.subs(i, 5) = 1.0 - s.VCALC;
    c.subs(i, 6) = (part(s.SUMV, s.SV) + part(s.SUML, s.SL)) * F / W;
    c.subs(i, 7) = Q > 0.0 ? W / Q : missing;
    c.subs(i, 8) = (part(s.SUMV, s.MWV) + part(s.SUML, s.MWL)) / sum;
}

void write_solid(const FlashCall& c, ftn::Int i, const FlashState& s, ftn::Real T, ftn::Real P) {
    const ftn::Real missing = rmiss();
    c.subs(i, 0) = s.solid.flow;
    c.subs(i, 2) = P;
    if (!(s.solid.flow > 0.0)) {
        c.subs(i, 1) = missing;
        for (ftn::Int pos = 3; pos <= 8; ++pos) c.subs(i, pos) = missing;
        return;
    }
    c.subs(i, 1) = T;
    c.subs(i, 3) = s.HS / s.MWS;
    c.subs(i, 4) = 0.0;
    c.subs(i, 5) = 0.0;
    c.subs(i, 6) = s.SS / s.MWS;
    if (s.VS == 0.0) {
        c.subs(i, 7) = missing;
        msg::report(2, msg::kZeroSolidVolume,
                    {"      THE SOLID MOLAR VOLUME FROM THIS FLASH CALCULATION IS ZERO",
                     "      PLEASE EXPORT A NEW DATA FILE FROM THE DATABASE WITH",
                     "      \"INCLUDE MOLAR VOLUME\" CHECKED ON THE EXPORT FORM"});
    } else {
        c.subs(i, 7) = s.MWS / s.VS;
    }
    c.subs(i, 8) = s.MWS;
}

}  // namespace

void write_stream_vector(const FlashCall& c, FlashState& s) {
    const ftn::Real T = stwkwk(19).r(), P = stwkwk(20).r();
    for (ftn::Int i = 1; i <= c.NSUBS; ++i) {
        if (c.itype(i) == 1) write_mixed(c, i, s, T, P);
        if (c.itype(i) == 2) write_solid(c, i, s, T, P);
    }
}

void dump_stream_vector(const FlashCall& c, const FlashState& s) {
    const ftn::Int rows = s.NCOMP + 9;
    const std::string head = " STREAM VECTOR AT END OF CAFLSH - NPH =" + fmt90::I(c.NSUBS, 2);
    auto row_start = [](ftn::Int i) { return "    " + fmt90::I(i, 3) + std::string(12, ' '); };
    if (c.NSUBS == 2) {
        report_record("");
        report_record(head);
        report_record("      I" + std::string(23, ' ') + "MIXED" + std::string(18, ' ') + "CISOLID");
        for (ftn::Int i = 1; i <= rows; ++i)
            report_record(row_start(i) + fmt90::ES(c.strvec(c.lpb(1) + i - 1), 20, 5) + "   " +
                          fmt90::ES(c.strvec(c.lpb(2) + i - 1), 20, 5));
    } else if (c.NSUBS == 1 && c.itype(1) == 1) {
        report_record("");
        report_record(head);
        report_record("      I" + std::string(23, ' ') + "MIXED");
        for (ftn::Int i = 1; i <= rows; ++i)
            report_record(row_start(i) + fmt90::ES(c.strvec(c.lpb(1) + i - 1), 20, 6) +
                          std::string(23, ' '));
    } else if (c.NSUBS == 1 && c.itype(1) == 2) {
        report_record("");
        report_record(head);
        report_record("      I" + std::string(23 + 5 + 18, ' ') + "CISOLID");
        for (ftn::Int i = 1; i <= rows; ++i)
            report_record(row_start(i) + std::string(20 + 3, ' ') +
                          fmt90::ES(c.strvec(c.lpb(1) + i - 1), 20, 5));
    }
    report_record("");
}

}  // namespace eqlink::flash
