// Moving a phase whose variables are redundant (several sets describe one
// state) onto its model's own split of the same state.
#include <algorithm>
#include <cmath>

#include "solver/workspace.hpp"
#include "thermo/scratch.hpp"

namespace eqcore::detail {
namespace {
std::size_t sz(int v) { return static_cast<std::size_t>(v); }
}  // namespace

bool own_split_of(const Workspace& ws, const Candidate& c, double* x) {
    const auto m = sz(c.model->layout().variables);
    ScratchArray<double> v_(m), slot_(m);
    const std::span<double> v = v_.span(), slot = slot_.span();  // slot: 1 for the variables that are slots
    for (int s = c.first; s < c.first + c.count; ++s) v[sz(ws.slot_var[sz(s)])] = x[s - c.first];
    c.model->own_split(v);
    double outside = 0.0, N = 0.0;
    for (int s = c.first; s < c.first + c.count; ++s) {
        N += v[sz(ws.slot_var[sz(s)])];
        slot[sz(ws.slot_var[sz(s)])] = 1.0;
    }
    for (std::size_t i = 0; i < m; ++i) outside += slot[i] == 0.0 ? v[i] : 0.0;
    if (outside > 1e-14 * N) return false;  // the split needs a variable that takes no part
    for (int s = c.first; s < c.first + c.count; ++s) x[s - c.first] = v[sz(ws.slot_var[sz(s)])];
    return true;
}

double own_splits(Workspace& ws) {
    double moved = 0.0;
    for (Candidate& c : ws.cand) {
        if (!c.present || c.pure || !c.model->layout().redundant) continue;
        ScratchArray<double> x_(sz(c.count));
        const std::span<double> x = x_.span();
        std::copy(ws.n.begin() + c.first, ws.n.begin() + c.first + c.count, x.begin());
        if (!own_split_of(ws, c, x.data())) continue;
        double N = 0.0;
        for (const double v : x) N += v;
        for (int s = c.first; s < c.first + c.count; ++s) {
            const double n = x[sz(s - c.first)];
            moved = std::max(moved, std::abs(n - ws.n[sz(s)]) / N);
            ws.n[sz(s)] = std::max(n, 1e-300);
        }
        c.N = N;
    }
    return moved;
}

}  // namespace eqcore::detail
