// Moving a phase whose variables are redundant (several sets describe one
// state) onto its model's own split of the same state.
#include <algorithm>
#include <cmath>

#include "solver/workspace.hpp"

namespace eqcore::detail {
namespace {
std::size_t sz(int v) { return static_cast<std::size_t>(v); }
}  // namespace

double own_splits(Workspace& ws) {
    double moved = 0.0;
    for (Candidate& c : ws.cand) {
        if (!c.present || c.pure || !c.model->layout().redundant) continue;
        const auto m = sz(c.model->layout().variables);
        std::vector<double>& v = ws.wtmp;
        std::fill(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(m), 0.0);
        for (int s = c.first; s < c.first + c.count; ++s) v[sz(ws.slot_var[sz(s)])] = ws.n[sz(s)];
        c.model->own_split(std::span<double>(v.data(), m));
        std::vector<double>& slot = ws.xtry;  // 1 for the variables that are slots
        std::fill(slot.begin(), slot.begin() + static_cast<std::ptrdiff_t>(m), 0.0);
        double outside = 0.0, N = 0.0;
        for (int s = c.first; s < c.first + c.count; ++s) {
            N += v[sz(ws.slot_var[sz(s)])];
            slot[sz(ws.slot_var[sz(s)])] = 1.0;
        }
        for (std::size_t i = 0; i < m; ++i) outside += slot[i] == 0.0 ? v[i] : 0.0;
        if (outside > 1e-14 * N) continue;  // the split needs a variable that takes no part
        for (int s = c.first; s < c.first + c.count; ++s) {
            const double n = v[sz(ws.slot_var[sz(s)])];
            moved = std::max(moved, std::abs(n - ws.n[sz(s)]) / N);
            ws.n[sz(s)] = std::max(n, 1e-300);
        }
        c.N = N;
    }
    return moved;
}

}  // namespace eqcore::detail
