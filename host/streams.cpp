#include "streams.hpp"

#include "host_services.hpp"
#include "setup_error.hpp"

namespace elvar {

StreamLayout::StreamLayout(ftn::Int ncomp, std::vector<SubstreamType> types) : ncomp_(ncomp) {
    if (types.empty()) throw SetupError("a stream needs at least one substream");
    for (std::size_t j = 0; j < types.size(); ++j) {
        types_.push_back(static_cast<ftn::Int>(types[j]));
        positions_.push_back(1 + static_cast<ftn::Int>(j) * (ncomp_ + 9));
    }
}

std::vector<ftn::Int> StreamLayout::descriptor() const {
    std::vector<ftn::Int> d(4, 0);
    d[0] = length();
    d[1] = nsubs();
    return d;
}

std::vector<double> StreamLayout::make(const std::vector<SubstreamValues>& values) const {
    if (values.size() > types_.size())
        throw SetupError("a stream of " + std::to_string(types_.size()) + " substreams given " +
                         std::to_string(values.size()) + " substreams of values");
    const auto n = static_cast<std::size_t>(ncomp_);
    std::vector<double> v(static_cast<std::size_t>(length()), 0.0);
    for (std::size_t j = 0; j < types_.size(); ++j) {
        const std::size_t p = static_cast<std::size_t>(positions_[j] - 1);
        SubstreamValues sv;
        if (j < values.size()) sv = values[j];
        if (sv.flows.size() > n)
            throw SetupError("substream " + std::to_string(j + 1) + ": " +
                             std::to_string(sv.flows.size()) + " flows for " +
                             std::to_string(n) + " components");
        double total = 0.0;
        for (std::size_t k = 0; k < sv.flows.size(); ++k) {
            v[p + k] = sv.flows[k];
            total += sv.flows[k];
        }
        double mw = kRmiss;
        if (sv.mw) {
            mw = *sv.mw;
        } else if (total > 0.0) {
            // Mean molecular weight of the composition, as the host computes it.
            std::vector<ftn::Int> idx;
            std::vector<double> x;
            for (std::size_t k = 0; k < sv.flows.size(); ++k)
                if (sv.flows[k] > 0.0) {
                    idx.push_back(static_cast<ftn::Int>(k + 1));
                    x.push_back(sv.flows[k] / total);
                }
            const ftn::Int count = static_cast<ftn::Int>(idx.size());
            mw = PPUTL_AVEMW(&count, idx.data(), x.data());
        }
        const double tail[9] = {total, sv.T, sv.P, sv.h, sv.vfrac, sv.lfrac, sv.s, sv.rho, mw};
        for (std::size_t w = 0; w < 9; ++w) v[p + n + w] = tail[w];
    }
    return v;
}

SubstreamValues StreamLayout::read(const std::vector<double>& stream, std::size_t j) const {
    if (j >= types_.size() || stream.size() < static_cast<std::size_t>(length()))
        throw SetupError("no substream " + std::to_string(j + 1) + " in this stream");
    const auto n = static_cast<std::size_t>(ncomp_);
    const std::size_t p = static_cast<std::size_t>(positions_[j] - 1);
    SubstreamValues sv;
    sv.flows.assign(stream.begin() + static_cast<std::ptrdiff_t>(p),
                    stream.begin() + static_cast<std::ptrdiff_t>(p + n));
    sv.total = stream[p + n];
    sv.T = stream[p + n + 1];
    sv.P = stream[p + n + 2];
    sv.h = stream[p + n + 3];
    sv.vfrac = stream[p + n + 4];
    sv.lfrac = stream[p + n + 5];
    sv.s = stream[p + n + 6];
    sv.rho = stream[p + n + 7];
    sv.mw = stream[p + n + 8];
    return sv;
}

}  // namespace elvar
