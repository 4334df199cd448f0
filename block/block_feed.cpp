// Feed: every inlet substream of type 1 or 2 that carries flow becomes an
// engine stream of its own, "STRM" + inlet number + "M" (mixed) or "S"
// (conventional solid), at the substream's temperature and pressure, with
// 1000 x flow x MWFAC mol/s of each component's constituent.
#include <string>

#include "block_stages.hpp"
#include "eqcore_calls.hpp"
#include "fortran_format.hpp"
#include "map_lookup.hpp"
#include "messages.hpp"

namespace eqlink::block {

namespace {

constexpr ftn::Int kMsgNonconventional = 34;
constexpr ftn::Int kMsgUnmappedReactant = 36;
constexpr ftn::Int kStageFeed = 5;

constexpr ftn::Int kStepRemove = 37;
constexpr ftn::Int kStepDefine = 35;
constexpr ftn::Int kStepAmount = 38;

using StreamName = ftn::Chars<24>;

// Inlets 1 to 9 get two digits with a leading zero; from 100 on the number
// takes as many digits as it needs.
StreamName stream_name(ftn::Int inlet, ftn::Int type) {
    std::string name = "STRM";
    if (inlet < 10) name += "0";
    name += std::to_string(inlet);
    name += type == kCisolid ? "S" : "M";
    StreamName field;
    field.assign(name);
    return field;
}

std::string amount_line(ftn::Int record, ftn::Int phase, ftn::Int constituent, ftn::Real amount) {
    return "Index " + fmt90::I(record, 3) + "   " + " phase " + fmt90::I(phase, 3) + "   " + "constituent " +
           fmt90::I(constituent, 3) + "   " + "Amount=" + fmt90::ES(amount, 15, 8);
}

// Substream j of inlet m, of type 1 or 2, with flow: one engine stream.
Stage feed_substream(const BlockCall& c, BlockState& s, ftn::Int m, ftn::Int j) {
    const ftn::Int p = c.subpos(j);
    const StreamName name = stream_name(m, c.subtyp(j));
    const ftn::Real tp[2] = {c.inlet(m, p + s.NC + kTemperature), c.inlet(m, p + s.NC + kPressure)};
    if (tracing())
        trace({"Stream " + fmt90::I(m, 2) + "      " + "sub-stream" + fmt90::I(j, 2) + "      " +
               "Tin=" + fmt90::F(tp[0], 8, 2) + "      " + "Pin=" + fmt90::F(tp[1], 9, 2)});
    PPSTUB_ECSTDF(name.c, tp, &s.NOERR, name.size());
    if (s.NOERR != 0) s.ISTEP = kStepDefine;
    for (ftn::Int k = 1; k <= s.NC; ++k) {
        const ftn::Real flow = c.inlet(m, p + k - 1);
        ftn::Int q = 0, con = 0;
        const ftn::Int r = FNDMAP(k, q, con);
        if (r == 0) {
            if (flow > 0.0) {
                message(s, 1, kMsgUnmappedReactant,
                        {message_line("Attempt to use an Elvar component as a reactant in "), "EQCORE block"});
                return Stage::stop;  // the streams are removed as the block ends
            }
            continue;
        }
        const ftn::Real amount = 1000.0 * flow * mwfac(k);
        if (!(amount > 0.0)) continue;
        PPSTUB_ECSTAM(name.c, &q, &con, &amount, &s.NOERR, name.size());
        if (s.NOERR != 0) s.ISTEP = kStepAmount;
        if (tracing()) trace({amount_line(r, q, con, amount)});
        if (s.LEVEL >= 8) report_record(amount_line(r, q, con, 0.001 * amount));
    }
    return Stage::proceed;
}

}  // namespace

Stage feed_inlets(const BlockCall& c, BlockState& s) {
    // Streams an earlier calculation left behind would add their material
    // to this one (a redefined stream keeps its amounts): remove them all.
    remove_streams(s);
    if (s.NOERR != 0) {
        eqcore_failure(s, kStepRemove, kStageFeed);
        return Stage::stop;
    }
    for (ftn::Int m = 1; m <= c.NINLET; ++m) {
        for (ftn::Int j = 1; j <= c.NSUB; ++j) {
            s.ISTEP = 0;
            const ftn::Int p = c.subpos(j);
            const ftn::Int type = c.subtyp(j);
            if (type == kNonconventional) {
                if (c.inlet(m, p + s.NNC) > 0.0) {
                    message(s, 1, kMsgNonconventional,
                            {message_line("Non-conventional streams not allowed in EQCORE.")});
                    return Stage::stop;
                }
            } else if (type == kMixed || type == kCisolid) {
                const ftn::Real total = c.inlet(m, p + s.NC + kTotalFlow);
                if (total > 0.0 && total < s.RMISS && feed_substream(c, s, m, j) == Stage::stop)
                    return Stage::stop;
            }
            if (s.NOERR != 0) {
                eqcore_failure(s, s.ISTEP, kStageFeed);
                return Stage::stop;
            }
        }
    }
    return Stage::proceed;
}

}  // namespace eqlink::block
