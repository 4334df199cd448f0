#include "solver/stability_memory.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace eqcore::detail {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

constexpr int kB = TangentMemory::kBasins;
// Two minima closer than this in every fraction are one.
constexpr double kSameMinimum = 1e-6;

// Which candidates are present, as one number (a search depends on them
// through the copies it starts from).
unsigned long present_signature(const Workspace& ws) {
    unsigned long h = 1469598103934665603ul;
    for (const Candidate& c : ws.cand) h = (h ^ (c.present ? 1ul : 0ul)) * 1099511628211ul;
    return h;
}

// Whether x (candidate ci's slot order, fractions within each group) is
// the composition of a present copy of the same phase or of the phase
// itself: there the distance is 0 by the equilibrium.
bool at_present_composition(const Workspace& ws, int ci, const double* x) {
    const Candidate& c = ws.cand[sz(ci)];
    // A phase written once has no copies: only itself is looked at.
    const int from = c.family >= 0 ? 0 : ci, to = c.family >= 0 ? static_cast<int>(ws.cand.size()) : ci + 1;
    for (int oi = from; oi < to; ++oi) {
        const Candidate& o = ws.cand[sz(oi)];
        const bool copy = oi == ci || (c.family >= 0 && o.family == c.family);
        if (!copy || !o.present || o.count != c.count || o.groups != c.groups || !(o.N > 0.0)) continue;
        bool same = true;
        for (int g = 0; g < o.groups && same; ++g) {
            const int og = o.group0 + g, cg = c.group0 + g;
            const double Ng = ws.group_amount(og);
            for (int s = ws.grp_begin[sz(og)]; s < ws.grp_end[sz(og)] && same; ++s) {
                const int k = ws.grp_begin[sz(cg)] - c.first + (s - ws.grp_begin[sz(og)]);
                same = Ng > 0.0 && std::abs(ws.n[sz(s)] / Ng - x[k]) < 1e-5;
            }
        }
        if (same) return true;
    }
    return false;
}

}  // namespace

bool cached_search(Workspace& ws, int ci, int level, double& df) {
    const TangentMemory& t = ws.tpm[sz(ci)];
    if (t.level < level || t.T != ws.T) return false;
    // The potentials first: they differ on most misses, and are cheaper to
    // compare than the present set is to sign.
    const double* pi = ws.cache_pi.data() + sz(ci) * sz(ws.E);
    for (int j = 0; j < ws.E; ++j)
        if (pi[j] != ws.pi[sz(j)]) return false;
    if (t.present != present_signature(ws)) return false;
    const Candidate& c = ws.cand[sz(ci)];
    std::copy(ws.tp_x.begin() + c.first, ws.tp_x.begin() + c.first + c.count, ws.xbest.begin());
    df = t.df;
    return true;
}

void keep_search(Workspace& ws, int ci, int level, double df) {
    TangentMemory& t = ws.tpm[sz(ci)];
    const Candidate& c = ws.cand[sz(ci)];
    t.level = level;
    t.has_ideal = false;
    t.certified = false;
    t.T = ws.T;
    t.present = present_signature(ws);
    t.df = df;
    std::copy(ws.pi.begin(), ws.pi.end(), ws.cache_pi.begin() + static_cast<std::ptrdiff_t>(sz(ci) * sz(ws.E)));
    std::copy(ws.tp_x.begin() + c.first, ws.tp_x.begin() + c.first + c.count, ws.xbest.begin());
}

void begin_reference(Workspace& ws, int ci) {
    TangentMemory& t = ws.tpm[sz(ci)];
    const Candidate& c = ws.cand[sz(ci)];
    t.reference = true;
    t.screened = false;
    t.ref_T = ws.T;
    t.basins = 0;
    t.ref_min = 1e300;
    t.own_min = 1e300;
    t.dropped_min = 1e300;
    std::copy(ws.g0.begin() + c.first, ws.g0.begin() + c.first + c.count, ws.ref_g0.begin() + c.first);
    std::copy(ws.pi.begin(), ws.pi.end(), ws.ref_pi.begin() + static_cast<std::ptrdiff_t>(sz(ci) * sz(ws.E)));
}

void remember_minimum(Workspace& ws, int ci, const double* x, double D) {
    TangentMemory& t = ws.tpm[sz(ci)];
    const Candidate& c = ws.cand[sz(ci)];
    const int m = c.count;
    const bool own = at_present_composition(ws, ci, x);
    (own ? t.own_min : t.ref_min) = std::min(own ? t.own_min : t.ref_min, D);
    double* bx = ws.tp_basin_x.data() + sz(kB) * sz(c.first);
    double* bD = ws.basin_D.data() + sz(kB) * sz(ci);
    char* bo = ws.basin_own.data() + sz(kB) * sz(ci);
    auto put = [&](int k) {
        std::copy(x, x + m, bx + sz(k) * sz(m));
        bD[k] = D;
        bo[k] = own ? 1 : 0;
    };
    for (int k = 0; k < t.basins; ++k) {
        double far = 0.0;
        for (int q = 0; q < m; ++q) far = std::max(far, std::abs(bx[sz(k) * sz(m) + sz(q)] - x[q]));
        if (far >= kSameMinimum) continue;
        if (D < bD[k]) put(k);
        return;
    }
    if (t.basins < kB) {
        put(t.basins++);
        return;
    }
    int worst = 0;
    for (int k = 1; k < kB; ++k)
        if (bD[k] > bD[worst]) worst = k;
    if (D < bD[worst]) {
        t.dropped_min = std::min(t.dropped_min, bD[worst]);
        put(worst);
    } else {
        t.dropped_min = std::min(t.dropped_min, D);
    }
}

void copy_memory(Workspace& ws, int from, int to) {
    const Candidate& a = ws.cand[sz(from)];
    const Candidate& b = ws.cand[sz(to)];
    ws.tpm[sz(to)] = ws.tpm[sz(from)];
    auto block = [](std::vector<double>& v, std::size_t at, std::size_t n, std::size_t to_at) {
        std::copy(v.begin() + static_cast<std::ptrdiff_t>(at), v.begin() + static_cast<std::ptrdiff_t>(at + n),
                  v.begin() + static_cast<std::ptrdiff_t>(to_at));
    };
    const std::size_t m = sz(a.count), E = sz(ws.E);
    block(ws.tp_x, sz(a.first), m, sz(b.first));
    block(ws.tp_ideal, sz(a.first), m, sz(b.first));
    block(ws.ref_g0, sz(a.first), m, sz(b.first));
    block(ws.tp_basin_x, sz(kB) * sz(a.first), sz(kB) * m, sz(kB) * sz(b.first));
    block(ws.ref_pi, sz(from) * E, E, sz(to) * E);
    block(ws.cache_pi, sz(from) * E, E, sz(to) * E);
    block(ws.basin_D, sz(from) * sz(kB), sz(kB), sz(to) * sz(kB));
    std::copy(ws.basin_own.begin() + from * kB, ws.basin_own.begin() + (from + 1) * kB, ws.basin_own.begin() + to * kB);
}

void save_memory(const Workspace& ws, MemoryCopy& to) {
    to.tpm = ws.tpm;
    to.tp_x = ws.tp_x;
    to.tp_ideal = ws.tp_ideal;
    to.ref_g0 = ws.ref_g0;
    to.tp_basin_x = ws.tp_basin_x;
    to.ref_pi = ws.ref_pi;
    to.cache_pi = ws.cache_pi;
    to.basin_D = ws.basin_D;
    to.basin_own = ws.basin_own;
}

void restore_memory(Workspace& ws, const MemoryCopy& from) {
    ws.tpm = from.tpm;
    ws.tp_x = from.tp_x;
    ws.tp_ideal = from.tp_ideal;
    ws.ref_g0 = from.ref_g0;
    ws.tp_basin_x = from.tp_basin_x;
    ws.ref_pi = from.ref_pi;
    ws.cache_pi = from.cache_pi;
    ws.basin_D = from.basin_D;
    ws.basin_own = from.basin_own;
}

namespace {

// The linear part's change since the reference at its least (or, with
// `most`, its greatest) over the composition space: per group the extreme
// over its slots of dg0_s - a_s.dpi, times the group's sites.
double linear_change(Workspace& ws, int ci, bool most) {
    const Candidate& c = ws.cand[sz(ci)];
    const double* pi0 = ws.ref_pi.data() + sz(ci) * sz(ws.E);
    double* dpi = ws.per_element.data();
    for (int j = 0; j < ws.E; ++j) dpi[j] = ws.pi[sz(j)] - pi0[j];
    double change = 0.0;
    for (int g = c.group0; g < c.group0 + c.groups; ++g) {
        double extreme = most ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
        for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s) {
            const double d = ws.g0[sz(s)] - ws.ref_g0[sz(s)] - ws.adot(s, dpi);
            extreme = most ? std::max(extreme, d) : std::min(extreme, d);
        }
        change += ws.grp_sites[sz(g)] * extreme;
    }
    return change;
}

}  // namespace

std::span<const char> active_variables(Workspace& ws, const Candidate& c) {
    const std::size_t nv = sz(c.model->layout().variables);
    std::fill(ws.var_on.begin(), ws.var_on.begin() + static_cast<std::ptrdiff_t>(nv), 0);
    for (int s = c.first; s < c.first + c.count; ++s) ws.var_on[sz(ws.slot_var[sz(s)])] = 1;
    return {ws.var_on.data(), nv};
}

double reference_shift(Workspace& ws, int ci) {
    const TangentMemory& t = ws.tpm[sz(ci)];
    const Candidate& c = ws.cand[sz(ci)];
    if (!t.reference) return -std::numeric_limits<double>::infinity();
    const double shift = linear_change(ws, ci, false);
    if (c.ideal || t.ref_T == ws.T) return shift;
    const double* dpi = ws.per_element.data();  // as linear_change left it
    const std::size_t nv = sz(c.model->layout().variables);
    const std::span<const char> active = active_variables(ws, c);
    const double apart = shift - c.sites * c.model->excess_change_bound(t.ref_T, ws.T, active);
    // The model may bound remainder and linear part together (sharper where
    // they move alike).
    std::fill(ws.var_lin.begin(), ws.var_lin.begin() + static_cast<std::ptrdiff_t>(nv), 0.0);
    for (int s = c.first; s < c.first + c.count; ++s)
        ws.var_lin[sz(ws.slot_var[sz(s)])] = ws.g0[sz(s)] - ws.ref_g0[sz(s)] - ws.adot(s, dpi);
    const double joint = c.model->least_excess_change(t.ref_T, ws.T, std::span<const double>(ws.var_lin.data(), nv), active);
    return std::max(apart, c.sites * joint);
}

double reference_rise(Workspace& ws, int ci) {
    const TangentMemory& t = ws.tpm[sz(ci)];
    const Candidate& c = ws.cand[sz(ci)];
    if (!t.reference) return std::numeric_limits<double>::infinity();
    const double rise = linear_change(ws, ci, true);
    if (c.ideal || t.ref_T == ws.T) return rise;
    return rise + c.sites * c.model->excess_change_bound(t.ref_T, ws.T, active_variables(ws, c));
}

}  // namespace eqcore::detail
