// The counts and the substream table the block relies on to stay inside
// the caller's arrays: at least one outlet stream, four real parameters
// (RPAR(4) receives the heat duty), at most as many host components as the
// component map holds, and every substream's words within its stream
// vector. A host that breaks one of these gets a message naming it, and
// the block ends before anything is written.
#include <algorithm>
#include <string>

#include "block_stages.hpp"
#include "fortran_format.hpp"
#include "host_services.hpp"
#include "messages.hpp"

namespace eqlink::block {

namespace {

constexpr ftn::Int kMsgRealParameters = 50;
constexpr ftn::Int kMsgLayout = 51;

constexpr std::string_view kTerminated = "BLOCK CALCULATIONS TERMINATED";

void layout_error(const BlockState& s, const std::string& what) {
    message(s, 1, kMsgLayout,
            {message_line("THE STREAMS OF THIS BLOCK CANNOT BE USED:"), message_line(what),
             message_line(kTerminated)});
}

// Words a substream of this type needs from its first word on.
ftn::Int words_needed(const BlockState& s, ftn::Int type) {
    if (type == kMixed || type == kCisolid) return s.NC + kSubstreamTail;
    if (type == kNonconventional) return s.NNC + 1;
    return 0;
}

}  // namespace

Stage check_stream_layout(const BlockCall& c, BlockState& s) {
    if (c.NRPAR < 4) {
        message(s, 1, kMsgRealParameters,
                {message_line("THE ELVAR/EQCORE INTERFACE REQUIRES "),
                 message_line("FOUR REALS AS BLOCK INPUT PARAMETERS "),
                 message_line("THIS BLOCK ONLY HAS " + fmt90::I(c.NRPAR, 1) + " REAL PARAMETERS"),
                 message_line(kTerminated)});
        return Stage::stop;
    }
    if (c.NOUTLT < 1) {
        layout_error(s, "THE BLOCK HAS NO OUTLET MATERIAL STREAM");
        return Stage::stop;
    }
    if (s.NC < 0 || s.NC > kMaxComponents || s.NNC < 0) {
        layout_error(s, "NUMBER OF COMPONENTS" + fmt90::I(s.NC, 6) + " AND NON-CONVENTIONAL" +
                            fmt90::I(s.NNC, 6));
        return Stage::stop;
    }
    if (c.NSUB < 1 || c.LSTRM < 1) {
        layout_error(s, "NUMBER OF SUBSTREAMS" + fmt90::I(c.NSUB, 6) + " AND STREAM LENGTH" +
                            fmt90::I(c.LSTRM, 8));
        return Stage::stop;
    }
    s.NSVAR = SHS_NSVAR(c.STRDSC);
    if (s.NSVAR < 1 || s.NSVAR > c.LSTRM) {
        layout_error(s, "LAST STREAM WORD" + fmt90::I(s.NSVAR, 8) + " BEYOND STREAM LENGTH" +
                            fmt90::I(c.LSTRM, 8));
        return Stage::stop;
    }
    ftn::Int first_free = 1;
    for (ftn::Int j = 1; j <= c.NSUB; ++j) {
        const ftn::Int p = c.subpos(j);
        const ftn::Int last = j < c.NSUB ? c.subpos(j + 1) - 1 : s.NSVAR;
        // The first substream receives every vapour and liquid component,
        // whatever its type says.
        const ftn::Int needed =
            j == 1 ? std::max(words_needed(s, c.subtyp(j)), s.NC + kSubstreamTail) : words_needed(s, c.subtyp(j));
        if (p < first_free || last > c.LSTRM || p + needed - 1 > last) {
            layout_error(s, "SUBSTREAM" + fmt90::I(j, 4) + " OF TYPE" + fmt90::I(c.subtyp(j), 2) +
                                " NEEDS" + fmt90::I(needed, 6) + " WORDS FROM WORD" +
                                fmt90::I(p, 8) + " TO WORD" + fmt90::I(last, 8));
            return Stage::stop;
        }
        first_free = last + 1;
    }
    return Stage::proceed;
}

}  // namespace eqlink::block
