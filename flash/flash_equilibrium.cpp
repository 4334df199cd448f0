// The engine's equilibrium of the feed: at the flash temperature and
// pressure (TP), or at the pressure with the enthalpy condition and the
// temperature as unknown (PQ). The product amounts then replace the
// component flows of the stream vector and the packed arrays.
#include <string>

#include "eqcore_calls.hpp"
#include "flash_diagnostics.hpp"
#include "flash_messages.hpp"
#include "flash_stages.hpp"
#include "fortran_format.hpp"
#include "host_services.hpp"

namespace eqlink::flash {

namespace {

void set_condition(FlashState& s, const char* name, ftn::Real value) {
    const ftn::Int none = 0;
    PPSTUB_ECSCND(name, &none, &value, &s.NOERR, 2);
}

// Conditions, option and values of the calculation.
void set_conditions(const FlashCall& c, FlashState& s) {
    if (c.KODE == 1) {
        // The incoming streams enter at the temperature whose product
        // enthalpy already holds feed plus duty; the balance on them is 0.
        s.TPVALS = {s.T, s.P};
        PPSTUB_ECSTDF("STRM01", s.TPVALS.data(), &s.NOERR, 6);
        PPSTUB_ECSTDF("STRM02", s.TPVALS.data(), &s.NOERR, 6);
        set_condition(s, "P ", s.P);
        set_condition(s, "H ", 0.0);
        s.OPTCE.assign("T ");
        s.TPVALS = {s.T, 0.0};
    } else {
        set_condition(s, "P ", s.P);
        set_condition(s, "T ", s.T);
        s.OPTCE.assign("  ");
        s.TPVALS = {0.0, 0.0};
    }
}

// The engine failed: its status and text to the host, the text also on the
// terminal whatever the trace switch says.
void report_engine_failure(FlashState& s) {
    const ftn::Int noerr = s.NOERR;
    msg::engine_failure(noerr, s.step, true);
    char text[3][80];
    ftn::Int status = 0;
    PPSTUB_ECERR(&text[0][0], &status, 80);
    const std::string_view l1(text[0], 80), l2(text[1], 80), l3(text[2], 80);
    msg::report_at_host_level(2, msg::kEngineText, {"      ", l1, l2, l3});
    terminal({"      ", l1, l2, l3});
    PPSTUB_ECSTDL(" ", &status, 1);
}

// Adds a product flow to the packed list, into the entry of its component
// when the component is there already (two map records of one component).
void add_product(Packed& p, ftn::Int component, ftn::Real flow) {
    for (std::size_t j = 0; j < static_cast<std::size_t>(p.n); ++j) {
        if (p.idx[j] == component) {
            p.x[j] += flow;
            return;
        }
    }
    if (static_cast<std::size_t>(p.n) >= kMaxPacked) return;  // every component is there
    p.idx[static_cast<std::size_t>(p.n)] = component;
    p.x[static_cast<std::size_t>(p.n)] = flow;
    ++p.n;
}

// The product flows (kmol/s) of every map record, packed in map order.
void collect_products(FlashState& s) {
    const ftn::Int nmap = map_count();
    for (ftn::Int k = 1; k <= nmap; ++k) {
        const MapEntry e = map_record(k);
        const ftn::Int component = map_component(k);
        ftn::Real amount = 0.0;
        PPSTUB_ECRES("A", &e.phase, &e.constituent, &amount, &s.NOERR, 1);
        const ftn::Real flow = amount / mwfac(component);
        if (!(flow > 0.0)) continue;
        if (e.kind == 1 || e.kind == 2) {
            add_product(s.mixed, component, flow);
            s.mixed.flow += flow;
        } else if (e.kind == 3) {
            add_product(s.solid, component, flow);
            s.solid.flow += flow;
        }
    }
}

// Flows, total flow, count and molecular weight of one packed substream
// written into substream i; the packed flows become mole fractions.
void write_products(const FlashCall& c, ftn::Int i, Packed& p, ftn::Int count_word) {
    for (std::size_t j = 0; j < static_cast<std::size_t>(p.n); ++j) {
        c.flow(i, p.idx[j]) = p.x[j];
        p.x[j] /= p.flow;
    }
    c.subs(i, 0) = p.flow;
    stwkwk(count_word).set_i(p.n);
    if (p.flow > 0.0) {
        const ftn::Real mw = PPUTL_AVEMW(&p.n, p.idx.data(), p.x.data());
        c.subs(i, 8) = mw;
        if (tracing())
            trace({"IPhase " + fmt90::I(c.itype(i), 2) + " AveMW " + fmt90::F(mw, 10, 5)});
    }
}

}  // namespace

Stage equilibrate(const FlashCall& c, FlashState& s) {
    PPSTUB_ECSTDL("THERMO", &s.NOERR, 6);
    set_conditions(c, s);
    if (tracing()) {
        equilibrate_with_diagnostics(s);
    } else {
        const ftn::Int none = 0;
        PPSTUB_ECEQ(s.OPTCE.c, &none, &none, s.TPVALS.data(), &s.NOERR, s.OPTCE.size());
    }
    if (s.NOERR != 0) {
        report_engine_failure(s);
        // The stream vector still holds the feed: a failure, not a result.
        *c.KER = -1;
        return Stage::stop;
    }
    if (c.KODE == 1) {
        const ftn::Int none = 0;
        ftn::Real T = s.T;
        PPSTUB_ECRES("T ", &none, &none, &T, &s.NOERR, 2);
        stwkwk(19).set_r(T);
        s.T = T;
    }

    set_vcalc(s, 0.0);
    s.mixed.n = s.solid.n = 0;
    s.mixed.flow = s.solid.flow = 0.0;
    for (ftn::Int i = 1; i <= c.NSUBS; ++i)
        for (ftn::Int j = 1; j <= s.NCOMP; ++j) c.flow(i, j) = 0.0;
    collect_products(s);

    for (ftn::Int i = 1; i <= c.NSUBS; ++i) {
        if (c.itype(i) == 1) write_products(c, i, s.mixed, 3);
        if (c.itype(i) == 2) write_products(c, i, s.solid, 4);
        if (tracing())
            trace({"Total mixed " + fmt90::F(s.mixed.flow, 15, 8) + " total solid " +
                   fmt90::F(s.solid.flow, 15, 8)});
    }
    return Stage::proceed;
}

}  // namespace eqlink::flash
