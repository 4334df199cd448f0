// Block diagnostics beyond its messages: the engine's listing copied into
// the host report, the mass-balance check of a calculation with a mixed
// outlet, and the trace of an outlet substream's words.
#include <array>
#include <string>

#include "block_stages.hpp"
#include "fortran_format.hpp"
#include "host_services.hpp"
#include "unitio.hpp"

namespace eqlink::block {

namespace {

constexpr std::size_t kListingLine = 200;

// Labels of the nine words after the component flows.
constexpr std::array<std::string_view, kSubstreamTail> kWordLabels = {
    "  Total moles  = ", "  Temperature  = ", "  Pressure     = ", "  Enthalpy     = ", "  Vfrac        = ",
    "  Lfrac        = ", "  Entropy      = ", "  Density      = ", "  Molecular Wt = "};

// Packed flows of one substream: count, host indices, mole fractions, total.
struct Packed {
    ftn::Int n = 0;
    std::array<ftn::Int, static_cast<std::size_t>(kMaxComponents)> idx{};
    std::array<ftn::Real, static_cast<std::size_t>(kMaxComponents)> x{};
    ftn::Real flow = 0.0;
};

// The check of one substream (starting at `words`) of a stream: component
// sum against the total, mean molecular weight against the stored one,
// moles and mass. `side` is "sin" or "sout", `dir` "in" or "out".
void check_substream(const BlockState& s, const ftn::Real* words, std::string_view side, std::string_view dir) {
    const ftn::Real total = words[s.NC + kTotalFlow];
    if (total == 0.0) return;
    ftn::Real sum = 0.0;
    for (ftn::Int k = 0; k < s.NC; ++k) sum += words[k];
    if (sum != total) report_record((fmt90::ListRecord() << "sum, " << side << "=" << sum << total).str());
    static Packed packed;
    SHS_CPACK(words, &packed.n, packed.idx.data(), packed.x.data(), &packed.flow);
    const ftn::Real mw = PPUTL_AVEMW(&packed.n, packed.idx.data(), packed.x.data());
    if (mw != words[s.NC + kMolecularWeight])
        report_record((fmt90::ListRecord() << "mw, " << side << "=" << mw << words[s.NC + kMolecularWeight]).str());
    report_record((fmt90::ListRecord() << "moles " << dir << "=" << packed.flow).str());
    report_record((fmt90::ListRecord() << "mass " << dir << "=" << packed.flow * mw).str());
}

// Every substream of `count` streams of `length` words, as far as its
// component flows and nine further words lie within the stream vector.
void check_streams(const BlockCall& c, const BlockState& s, const ftn::Real* streams, ftn::Int count,
                   std::string_view side, std::string_view dir) {
    for (ftn::Int m = 1; m <= count; ++m) {
        for (ftn::Int j = 1; j <= c.NSUB; ++j) {
            const ftn::Int p = c.subpos(j);
            if (p + s.NC + kSubstreamTail - 1 > c.LSTRM) continue;
            check_substream(s, streams + (m - 1) * c.LSTRM + p - 1, side, dir);
        }
    }
}

}  // namespace

void copy_listing() {
    if (!unitio::open(kListUnit, kListFile, unitio::Access::read)) return;
    const std::string id = block_id();
    report_record("");
    report_record("      === BEGIN EQCORE DIAGNOSTICS FOR BLOCK " + id + " ===");
    std::string line;
    while (unitio::read_record(kListUnit, kListingLine, line) == unitio::ReadStatus::ok)
        report_record("      " + std::string(ftn::trim_right(line)));
    report_record("");
    report_record("      === END OF EQCORE DIAGNOSTICS FOR BLOCK " + id + " ===");
    unitio::close(kListUnit);
}

void check_mass_balance(const BlockCall& c, const BlockState& s) {
    report_record((fmt90::ListRecord() << "checking sin and sout").str());
    check_streams(c, s, c.SINLET, c.NINLET, "sin", "in");
    check_streams(c, s, c.SOUTLT, c.NOUTLT, "sout", "out");
}

void trace_substream_words(const ftn::Real* words, ftn::Int available) {
    for (ftn::Int w = 0; w < available && w < kSubstreamTail; ++w) {
        std::string line = std::string(27, ' ') + std::string(kWordLabels[static_cast<std::size_t>(w)]) +
                           fmt90::F(words[w], 19, 5);
        if (w == kTotalFlow) line += " kmol/s";
        if (tracing()) trace({line});
    }
}

void trace_mixed_outlet(const BlockCall& c, const BlockState& s) {
    const ftn::Int o = c.NOUTLT;
    for (ftn::Int j = 1; j <= c.NSUB; ++j) {
        if (tracing()) trace({std::string(23, ' ') + " SUBSTREAM NUMBER " + fmt90::I(j, 2)});
        const ftn::Int flows = c.subtyp(j) == kNonconventional ? s.NNC : s.NC;
        const ftn::Int first = c.subpos(j) + flows;
        trace_substream_words(&c.outlet(o, first), std::min<ftn::Int>(kSubstreamTail, c.LSTRM - first + 1));
    }
}

}  // namespace eqlink::block
