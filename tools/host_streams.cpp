#include "host_streams.hpp"

#include <cmath>

#include "caflsh.hpp"
#include "calls.hpp"
#include "run.hpp"

namespace eqlink_tool {

Value value_of(double v) {
    if (!std::isfinite(v) || v == elvar::kRmiss) return std::nullopt;
    return v;
}

elvar::StreamLayout layout_of(const elvar::Run& run, const Kinds& kinds) {
    std::vector<elvar::SubstreamType> types;
    for (const auto& k : kinds)
        types.push_back(k == "mixed"     ? elvar::SubstreamType::mixed
                        : k == "cisolid" ? elvar::SubstreamType::cisolid
                                         : elvar::SubstreamType::noncon);
    return elvar::StreamLayout(run.ncomp(), types);
}

std::vector<double> make_stream(const elvar::Run& run, const elvar::StreamLayout& layout, const Kinds& kinds,
                                const StreamSpec& setup) {
    const auto n = static_cast<std::size_t>(run.ncomp());
    auto flows = [&](const ByComponent& by_id) {
        std::vector<double> f(n, 0.0);
        for (const auto& [id, flow] : by_id) f[static_cast<std::size_t>(run.component(id) - 1)] += flow;
        return f;
    };
    std::vector<elvar::SubstreamValues> values;
    for (const auto& k : kinds) {
        elvar::SubstreamValues v;
        v.T = setup.T;
        v.P = setup.P;
        if (k == "mixed") v.flows = flows(setup.mixed);
        if (k == "cisolid" && setup.cisolid) v.flows = flows(*setup.cisolid);
        if (k == "noncon") {
            // Only its total flow is known; it carries no enthalpy of its own.
            v.h = 0.0;
            v.mw = 0.0;
        }
        values.push_back(std::move(v));
    }
    std::vector<double> stream = layout.make(values);
    for (std::size_t j = 0; j < kinds.size(); ++j)
        if (kinds[j] == "noncon")
            stream[static_cast<std::size_t>(layout.positions()[j] - 1) + n] = setup.noncon.value_or(0.0);
    return stream;
}

bool fill_stream_state(elvar::Run& run, const elvar::StreamLayout& layout, std::vector<double>& stream,
                       long long level, std::string& failure) {
    // The state is unknown until this flash: no enthalpy enters with the
    // stream (its result is the state, not the duty).
    const auto n = static_cast<std::size_t>(layout.ncomp());
    for (const ftn::Int first : layout.positions()) {
        double& h = stream[static_cast<std::size_t>(first - 1) + n + 3];
        if (h == elvar::kRmiss) h = 0.0;
    }
    elvar::FlashArgs a(layout, stream);
    a.kode = 2;
    a.kdiag = level;
    a.kpdiag = level;
    const auto p = static_cast<std::size_t>(layout.positions()[0] - 1) + n;
    run.set_flash_conditions({stream[p + 1], stream[p + 2], elvar::kRmiss});
    EQLINK_CAFLSH(a.strvec.data(), &a.nsubs, a.lpb.data(), a.itype.data(), a.ids.data(), &a.kode, &a.npkode,
                  &a.kphase, &a.rfctl, &a.tol, &a.kdiag, &a.kpdiag, &a.spare[0], &a.spare[1], &a.spare[2], &a.ker);
    if (a.ker != 0) {
        failure = "the flash that sets the feed's state failed (KER " + std::to_string(a.ker) + ")";
        return false;
    }
    stream = std::move(a.strvec);
    return true;
}

StreamResult read_stream(const Case& c, const elvar::StreamLayout& layout, const Kinds& kinds,
                         const std::vector<double>& stream) {
    StreamResult out;
    for (std::size_t j = 0; j < kinds.size(); ++j) {
        const elvar::SubstreamValues v = layout.read(stream, j);
        SubstreamResult s;
        for (std::size_t k = 0; k < c.components.size(); ++k)
            s.flows.emplace_back(c.components[k].id, k < v.flows.size() ? value_of(v.flows[k]) : Value{});
        const auto base = static_cast<std::size_t>(layout.positions()[j] - 1) + c.components.size();
        s.total = value_of(stream[base]);
        s.T = value_of(v.T);
        s.P = value_of(v.P);
        s.h = value_of(v.h);
        s.vfrac = value_of(v.vfrac);
        s.lfrac = value_of(v.lfrac);
        s.s = value_of(v.s);
        s.rho = value_of(v.rho);
        s.mw = v.mw ? value_of(*v.mw) : Value{};
        out.emplace_back(kinds[j], std::move(s));
    }
    return out;
}

}  // namespace eqlink_tool
