// The streams' enthalpy (the heat of a calculation is measured from it) is
// a function of the streams and the models alone: a sequence of
// calculations on the same streams at other conditions computes it once.
// New streams are evaluated with the phases' standard-state values held at
// the streams' temperature: streams mostly enter at one temperature, and a
// model's standard values are a function of it alone.
#include <algorithm>
#include <cmath>

#include "solver/streams.hpp"
#include "solver/workspace.hpp"
#include "thermo/scratch.hpp"

namespace eqcore::detail {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

bool same_streams(const std::vector<Feed>& a, const std::vector<Feed>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const Feed& x, const Feed& y) {
        return x.T == y.T && x.P == y.P && x.amount == y.amount;
    });
}

// The standard-state values of phase p's variables at T, evaluated when the
// held ones are of another temperature or another model.
std::span<const StandardProps> standard_at(Workspace& ws, int p, double T) {
    const PhaseModels& models = *ws.models;
    if (ws.feeds_std_of != ws.models || ws.feeds_std_T != T || ws.feeds_std.size() != sz(models.size())) {
        ws.feeds_std.assign(sz(models.size()), {});
        ws.feeds_std_model.assign(sz(models.size()), nullptr);
        ws.feeds_std_T = T;
        ws.feeds_std_of = ws.models;
    }
    const PhaseModel& model = models[p];
    std::vector<StandardProps>& held = ws.feeds_std[sz(p)];
    if (ws.feeds_std_model[sz(p)] != &model || held.empty()) {
        ws.feeds_std_model[sz(p)] = nullptr;  // until the values are in place
        held.assign(sz(model.layout().variables), StandardProps{});
        model.standard(T, std::log(T), {}, held);
        ws.feeds_std_model[sz(p)] = &model;
    }
    return held;
}

// As feed_props(...).H, the standard values taken from the workspace.
double stream_enthalpy(Workspace& ws, const Feed& stream) {
    const System& sys = *ws.sys;
    double h = 0.0;
    for (int p = 0; p < sys.phase_count(); ++p) {
        const Phase& ph = sys.phases[sz(p)];
        bool any = false;
        for (int k = 0; k < ph.count && !any; ++k) {
            const std::size_t g = sz(ph.first + k);
            any = g < stream.amount.size() && stream.amount[g] != 0.0;
        }
        if (!any) continue;
        const PhaseModel& model = (*ws.models)[p];
        Scratch n(sz(ph.count)), v(sz(model.layout().variables));
        for (int k = 0; k < ph.count; ++k) {
            const std::size_t g = sz(ph.first + k);
            n.span()[sz(k)] = g < stream.amount.size() ? stream.amount[g] : 0.0;
        }
        model.internal_state(stream.T, n.span(), v.span(), {});
        model.own_split(v.span());
        const std::span<const StandardProps> sp = standard_at(ws, p, stream.T);
        if (!model.layout().ideal) {
            h += evaluate(model, stream.T, stream.P, v.span(), sp).H;
            continue;
        }
        // No remainder: mixing and pressure add no enthalpy, H = sum v_i h°_i.
        double hp = 0.0;
        for (std::size_t i = 0; i < v.span().size(); ++i)
            if (v.span()[i] != 0.0) hp += v.span()[i] * sp[i].h;
        h += hp;
    }
    return h;
}

}  // namespace

double held_feeds_enthalpy(Workspace& ws, const EquilibriumProblem& pr) {
    if (pr.streams.empty()) return 0.0;
    if (ws.feeds_models == ws.models && same_streams(ws.feeds_of, pr.streams)) return ws.feeds_H;
    ws.feeds_models = nullptr;  // until the new value is in place
    double h = 0.0;
    for (const Feed& s : pr.streams) h += stream_enthalpy(ws, s);
    ws.feeds_H = h;
    ws.feeds_of = pr.streams;
    ws.feeds_models = ws.models;
    return ws.feeds_H;
}

}  // namespace eqcore::detail
