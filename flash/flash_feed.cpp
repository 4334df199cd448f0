// Chemistry detection and the transfer of the feed: what the chemistry and
// the feed need is entered into the engine, every substream is packed, and
// with chemistry the mixed and solid substreams become the engine's incoming
// streams "STRM01" and "STRM02".
#include <cmath>
#include <string>

#include "eqcore_calls.hpp"
#include "flash_messages.hpp"
#include "flash_stages.hpp"
#include "fortran_format.hpp"
#include "host_services.hpp"
#include "startup.hpp"

namespace eqlink::flash {

namespace {

// Substream type that holds a constituent of the given phase kind.
ftn::Int substream_of(ftn::Int kind) {
    return kind == 3 ? 2 : 1;
}

// Enters the phase (whole-phase models) or the constituent of a map entry,
// when the stream has a substream of the constituent's type; reports it
// otherwise.
void enter(const FlashCall& c, FlashState& s, const MapEntry& e, bool trace_constituent) {
    const ftn::Int type = substream_of(e.kind);
    if (!LCHKSB(c.NSUBS, c.ITYPE, type)) {
        msg::report(1, msg::kSubstreamAbsent,
                    {"      EQCORE CONSTITUENT " + fmt90::I(e.constituent, 4) + " IN EQCORE PHASE" +
                         fmt90::I(e.phase, 4) + " IS NOT ENTERED",
                     "      BECAUSE SUBSTREAM TYPE " + fmt90::I(type, 1) + " DOES NOT EXIST"});
        return;
    }
    ftn::Chars<24> model;
    PPSTUB_ECMODL(&e.phase, model.c, &s.NOERR, model.size());
    if (model.text() == "QUAS" || model.text() == "QSOL") {
        PPSTUB_ECSPS(&e.phase, "ENTERED ", &s.NOERR, 8);
        if (tracing()) trace({" Activating EQCORE phase" + fmt90::I(e.phase, 2)});
    } else {
        PPSTUB_ECSCS(&e.phase, &e.constituent, "ENTERED ", &s.NOERR, 8);
        if (trace_constituent && tracing())
            trace({" Activating EQCORE constituent " + fmt90::I(e.constituent, 2) +
                   "        in EQCORE phase" + fmt90::I(e.phase, 2)});
    }
}

// The incoming stream of one packed substream: each component's flow
// (kmol/s) times its map factor, its phase or constituent entered.
Stage define_feed_stream(const FlashCall& c, FlashState& s, std::string_view name, const Packed& p,
                         ftn::Int unmapped_message) {
    ftn::Chars<24> stream;
    stream.assign(name);
    s.TPVALS = {s.T, s.P};
    PPSTUB_ECSTDF(stream.c, s.TPVALS.data(), &s.NOERR, stream.size());
    for (ftn::Int j = 0; j < p.n; ++j) {
        const ftn::Int k = p.idx[static_cast<std::size_t>(j)];
        const MapEntry e = find_map(k);
        if (e.record == 0) {
            *c.KER = -1;
            msg::unmapped_component(unmapped_message, k);
            return Stage::stop;
        }
        const ftn::Real amount = p.flow * p.x[static_cast<std::size_t>(j)] * mwfac(k);
        PPSTUB_ECSTAM(stream.c, &e.phase, &e.constituent, &amount, &s.NOERR, stream.size());
        enter(c, s, e, false);
    }
    return Stage::proceed;
}

// Packs substream i; writes its total flow and molecular weight.
ftn::Real pack(const FlashCall& c, ftn::Int i, Packed& p) {
    SHS_CPACK(&c.strvec(c.lpb(i)), &p.n, p.idx.data(), p.x.data(), &p.flow);
    c.subs(i, 0) = p.flow;
    const ftn::Real mw = PPUTL_AVEMW(&p.n, p.idx.data(), p.x.data());
    c.subs(i, 8) = mw;
    return mw;
}

void trace_packed(std::string_view head, const Packed& p, ftn::Real mw) {
    if (tracing())
        trace({std::string(head) + fmt90::I(p.n, 3) +
                   "     Total MoleFlow=" + fmt90::F(p.flow, 20, 9),
               "          " + std::string(" Ave. MW=") + fmt90::F(mw, 14, 5), "          "});
}

}  // namespace

Stage activate_chemistry(const FlashCall& c, FlashState& s) {
    const ftn::Int idchem = c.IDS[2];
    if (idchem == 0) {
        s.LCHEM = false;
        return Stage::proceed;
    }
    if (tracing()) trace({"Chemistry paragraph detected."});
    s.step = 1;

    ftn::Int status = 0, handle = 0;
    DMS_FINDFUN("PPFLASH", "FLSH_CHMINF", &status, &handle, 7, 11);
    ftn::Int id = idchem, scratch = 0;
    std::array<ftn::Int, 11> r{};
    DMS_DOCALL_20(&handle, &id, &r[0], &r[1], &r[2], &r[3], &r[4], &r[5], &r[6], &r[7], &r[8],
                  &r[9], &r[10], &scratch, &scratch, &scratch, &scratch, &scratch, &scratch,
                  &scratch, &scratch);
    const ftn::Int LCHMAT = r[9];
    const ftn::Int NCHREQ = r[10];

    if (tracing()) trace({" Activate the following by virtue of CHEMISTRY"});
    // Coefficient of component j in equation i: plex word
    // LCHMAT + (i - 1) NCOMP + j - 1; nonzero when j takes part.
    for (ftn::Int i = 1; LCHMAT >= 1 && i <= NCHREQ; ++i) {
        for (ftn::Int j = 1; j <= s.NCOMP; ++j) {
            const ftn::Real coefficient = plex(LCHMAT + (i - 1) * s.NCOMP + j - 1).r();
            if (!(std::fabs(coefficient) > 0.0)) continue;
            const MapEntry e = find_map(j);
            if (e.record == 0) {
                *c.KER = -1;
                msg::unmapped_component(msg::kChemistryUnmapped, j);
                return Stage::stop;
            }
            enter(c, s, e, true);
        }
    }
    if (tracing()) trace({"END of Chemistry Activations", ""});
    s.LCHEM = true;
    return Stage::proceed;
}

Stage pack_feed(const FlashCall& c, FlashState& s) {
    if (tracing())
        trace({"Flash KODE = " + fmt90::I(c.KODE, 2) + "     NPHASE = " + fmt90::I(*c.NPKODE, 2) +
               "     NPH = " + fmt90::I(c.NSUBS, 2)});
    for (ftn::Int i = 1; i <= c.NSUBS; ++i) {
        if (tracing())
            trace({" Substream #" + fmt90::I(i, 2) + "     strvec index=" + fmt90::I(c.lpb(i), 3) +
                   "     subs. type" + fmt90::I(c.itype(i), 2)});
        switch (c.itype(i)) {
            case 1: {
                const ftn::Real mw = pack(c, i, s.mixed);
                trace_packed(" MIXED SUBS. - # of packed comp. =", s.mixed, mw);
                stwkwk(3).set_i(s.mixed.n);
                if (s.LCHEM && s.mixed.flow > 0.0 &&
                    define_feed_stream(c, s, "STRM01", s.mixed, msg::kMixedFeedUnmapped) ==
                        Stage::stop)
                    return Stage::stop;
                break;
            }
            case 2: {
                const ftn::Real mw = pack(c, i, s.solid);
                trace_packed(" CISLD SUBS. - # of packed comp. = ", s.solid, mw);
                stwkwk(4).set_i(s.solid.n);
                if (s.LCHEM && s.solid.flow > 0.0 &&
                    define_feed_stream(c, s, "STRM02", s.solid, msg::kSolidFeedUnmapped) ==
                        Stage::stop)
                    return Stage::stop;
                break;
            }
            case 3:
                if (s.LCHEM) {
                    msg::report(1, msg::kNonConventional,
                                {"      Attempt to compute a flash calculation for a "
                                 "non-conventional component",
                                 "      using the EQCORE Option Set."});
                    return Stage::stop;
                }
                pack(c, i, s.nonconv);
                stwkwk(5).set_i(s.nonconv.n);
                break;
            default:
                break;
        }
    }
    if (tracing())
        trace({"     Stream packed. nmxcmp=" + fmt90::I(s.mixed.n, 3) +
               " ncscmp=" + fmt90::I(s.solid.n, 3) + " nnccmp=" + fmt90::I(s.nonconv.n, 3)});
    return Stage::proceed;
}

}  // namespace eqlink::flash
