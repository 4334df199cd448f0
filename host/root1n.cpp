// ZMTH_ROOT1N: reverse-communication root finder for one equation F(X) = 0.
//
// The caller evaluates F at X and calls; IFLAG is 0 on the first call of a
// search. Words of RFWORK: 1 iteration limit (calls), 2 X tolerance, 3
// largest step for the next proposal while no sign change has been seen,
// 5 F tolerance (absolute value used); the finder keeps its call count in
// word 4 and 1 in word 6 once the root is bracketed. Answers: IFLAG 0 (X is
// the root: |F| within tolerance, or the bracket narrower than the X
// tolerance), 1 (evaluate F at the new X and call again), -1 (iteration limit
// reached), -2 (F or X not finite).
//
// Search: from the point of smallest |F| seen so far, a secant step along the
// slope of the last two points, limited to word 3 (the first step goes
// against the sign of F, as for an increasing function). Once two points
// bracket the root: Illinois false position, with a bisection whenever it
// falls outside the bracket or the bracket fails to halve in three steps.
#include <algorithm>
#include <cmath>

#include "host_services.hpp"

namespace {

struct Point {
    double x = 0.0;
    double f = 0.0;
};

struct Search {
    Point best;      // smallest |F| so far
    Point last;      // the previous evaluation
    double step_dir = -1.0;
    // Bracket: b is the newest end, a the other; F(a) and F(b) differ in sign.
    Point a, b;
    int steps_in_bracket = 0;
    double width_before = 0.0;  // bracket width three steps ago
};

Search search;  // one search at a time, as the host calls one flash at a time

bool opposite(double f1, double f2) { return (f1 < 0.0 && f2 > 0.0) || (f1 > 0.0 && f2 < 0.0); }

double step_limit(double w3) { return std::isfinite(w3) && w3 != 0.0 ? std::fabs(w3) : 10.0; }

double unbracketed_step(const Point& now, double limit, bool first) {
    Search& s = search;
    double dx = 0.0;
    if (!first && now.x != s.last.x) {
        const double slope = (now.f - s.last.f) / (now.x - s.last.x);
        if (std::isfinite(slope) && slope != 0.0) dx = -s.best.f / slope;
    }
    if (first) dx = now.f > 0.0 ? -limit : limit;  // increasing function assumed
    if (dx == 0.0 || !std::isfinite(dx)) dx = s.step_dir * limit;  // flat: keep going
    dx = std::clamp(dx, -limit, limit);
    s.step_dir = dx < 0.0 ? -1.0 : 1.0;
    return s.best.x + dx;
}

double bracketed_step() {
    Search& s = search;
    const double lo = std::min(s.a.x, s.b.x), hi = std::max(s.a.x, s.b.x);
    const double mid = 0.5 * (lo + hi);
    double x = s.b.x - s.b.f * (s.b.x - s.a.x) / (s.b.f - s.a.f);
    if (!(x > lo && x < hi)) x = mid;
    if (++s.steps_in_bracket % 3 == 0) {
        if (hi - lo > 0.5 * s.width_before) x = mid;
        s.width_before = hi - lo;
    }
    return x;
}

// Takes in the new point: it opens the bracket when its sign differs from the
// best point's, and once bracketed it replaces one end.
void update_bracket(const Point& now, double* rfwork) {
    Search& s = search;
    if (rfwork[5] == 1.0) {
        // Illinois: the newest point replaces b; a is kept (and its F halved)
        // when the new point lies on b's side.
        if (opposite(now.f, s.b.f)) {
            s.a = s.b;
        } else {
            s.a.f *= 0.5;
        }
        s.b = now;
        return;
    }
    if (opposite(now.f, s.best.f)) {
        s.a = s.best;
        s.b = now;
        s.steps_in_bracket = 0;
        s.width_before = std::fabs(s.b.x - s.a.x);
        rfwork[5] = 1.0;
    }
}

}  // namespace

extern "C" void ZMTH_ROOT1N(ftn::Int* iflag, ftn::Real* x, const ftn::Real* f, ftn::Real* rfwork,
                            const ftn::Int* /*rfctl*/) {
    Search& s = search;
    if (!std::isfinite(*f) || !std::isfinite(*x)) {
        *iflag = -2;
        return;
    }
    const Point now{*x, *f};
    const bool first = *iflag == 0;
    if (first) {
        s = Search{};
        s.best = now;
        rfwork[3] = 0.0;
        rfwork[5] = 0.0;
    }
    rfwork[3] += 1.0;

    const double ftol = std::isfinite(rfwork[4]) ? std::fabs(rfwork[4]) : 0.0;
    const double xtol = std::isfinite(rfwork[1]) ? std::fabs(rfwork[1]) : 0.0;
    const double limit = std::isfinite(rfwork[0]) ? std::clamp(rfwork[0], 1.0, 1.0e9) : 100.0;

    if (std::fabs(now.f) <= ftol) {
        *iflag = 0;
        return;
    }
    if (!first) update_bracket(now, rfwork);
    // On a tie the newer point is the base, so that a flat stretch is crossed.
    if (std::fabs(now.f) <= std::fabs(s.best.f)) s.best = now;

    if (rfwork[5] == 1.0 && std::fabs(s.b.x - s.a.x) <= xtol) {
        *x = std::fabs(s.a.f) < std::fabs(s.b.f) ? s.a.x : s.b.x;
        *iflag = 0;
        return;
    }
    if (rfwork[3] >= limit) {
        *iflag = -1;
        return;
    }
    const double next = rfwork[5] == 1.0 ? bracketed_step() : unbracketed_step(now, step_limit(rfwork[2]), first);
    if (rfwork[5] == 1.0 && (next == s.a.x || next == s.b.x)) {
        // The bracket cannot be split any further in floating point.
        *x = std::fabs(s.a.f) < std::fabs(s.b.f) ? s.a.x : s.b.x;
        *iflag = 0;
        return;
    }
    s.last = now;
    *x = next;
    *iflag = 1;
}
