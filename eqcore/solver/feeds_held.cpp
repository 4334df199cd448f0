// The streams' enthalpy (the heat of a calculation is measured from it) is
// a function of the streams and the models alone: a sequence of
// calculations on the same streams at other conditions computes it once.
#include <algorithm>

#include "solver/streams.hpp"
#include "solver/workspace.hpp"

namespace eqcore::detail {
namespace {

bool same_streams(const std::vector<Feed>& a, const std::vector<Feed>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const Feed& x, const Feed& y) {
        return x.T == y.T && x.P == y.P && x.amount == y.amount;
    });
}

}  // namespace

double held_feeds_enthalpy(Workspace& ws, const EquilibriumProblem& pr) {
    if (pr.streams.empty()) return 0.0;
    if (ws.feeds_models == ws.models && same_streams(ws.feeds_of, pr.streams)) return ws.feeds_H;
    ws.feeds_models = nullptr;  // until the new value is in place
    ws.feeds_H = feeds_enthalpy(pr, *ws.models);
    ws.feeds_of = pr.streams;
    ws.feeds_models = ws.models;
    return ws.feeds_H;
}

}  // namespace eqcore::detail
