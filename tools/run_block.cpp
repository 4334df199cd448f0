// An equilibrium block: its inlets at their own T and P, then EQLINK_CATOP with the block's parameters, product list and option
// set; its outlets, outlet heat streams and computed duty read back.
#include "calls.hpp"
#include "catop.hpp"
#include "host_streams.hpp"
#include "run.hpp"
#include "runner.hpp"

namespace eqlink_tool {

BlockResult run_block(const RunContext& rc, const BlockCalc& b) {
    elvar::Run& run = rc.run;
    Kinds kinds;
    for (const auto& s : b.substreams) kinds.push_back(s == "MIXED" ? "mixed" : s == "CISOLID" ? "cisolid" : "noncon");
    const elvar::StreamLayout layout = layout_of(run, kinds);

    BlockResult r;
    std::vector<std::vector<double>> inlets;
    // The block reads only the inlets' flows, temperatures and pressures.
    for (const auto& setup : b.inlets) inlets.push_back(make_stream(run, layout, kinds, setup));

    const long long nproducts = static_cast<long long>(b.products.size());
    const auto names = b.phase_names.value_or(std::array<long long, 2>{nproducts, 0});
    std::vector<ftn::Int> ipar{b.type, names[0], names[1], 0};
    std::vector<double> rpar{b.pressure, 0.0, 0.0, 0.0};
    if (b.type == 1) rpar[1] = b.temperature;
    else if (b.type == 2) rpar[1] = b.duty;
    else {
        rpar[1] = b.tmin;
        rpar[2] = b.tmax;
    }
    elvar::BlockArgs a(layout, inlets, b.outlets, b.heat_in, b.heat_outlets, ipar, rpar,
                       run.option_set(b.option_set));
    std::string id = "B";  // B1, B2, ...: the calculation's number
    id += std::to_string(rc.index + 1);
    run.set_block({id, b.level, b.products});
    auto& s = a.spare;
    EQLINK_CATOP(&a.ninlet, a.sinlet.data(), &a.nhtin, a.htin.data(), &a.noutlt, a.soutlt.data(), &a.nhtout,
                 a.htout.data(), &s[0], &s[1], &s[2], &s[3], &a.lstrm, &a.nsub, a.subpos.data(), a.subtyp.data(),
                 &a.nipar, a.ipar.data(), &a.nrpar, a.rpar.data(), &s[4], &s[5], &a.optset, &s[6], &s[7], &s[8],
                 &s[9], &s[10], &s[11], &s[12], a.strdsc.data());

    r.duty = value_of(a.rpar[3]);
    for (long long h = 0; h < b.heat_outlets; ++h) r.heat_out.push_back(value_of(a.htout[static_cast<std::size_t>(h)]));
    for (long long m = 0; m < b.outlets; ++m)
        r.outlets.push_back(read_stream(rc.kase, layout, kinds, a.outlet(static_cast<std::size_t>(m))));
    return r;
}

}  // namespace eqlink_tool
