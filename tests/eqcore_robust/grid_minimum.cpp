#include "grid_minimum.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>
#include <stdexcept>

#include "phase_grid.hpp"
#include "thermo/models.hpp"
#include "thermo/phase_props.hpp"

namespace eqcore::robust {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::size_t kSingleStarts = 8;  // refined single-phase points per phase
constexpr double kApart = 0.1;            // least fraction difference between two of them
std::size_t usz(int v) { return static_cast<std::size_t>(v); }

using Sampled = SampledPhase;

struct Point {
    double x = 0.0, g = kInf;  // fraction of the second element, J per mol of atoms
    std::vector<double> y;     // flat fractions
};

class Binary {
public:
    Binary(const System& sys, const std::vector<double>& b, double T, double P)
        : sys_(sys), models_(sys), T_(T), P_(P) {
        for (std::size_t j = 0; j < b.size(); ++j)
            if (b[j] > 0.0) el_.push_back(static_cast<int>(j));
        if (el_.size() != 2) throw std::invalid_argument("binary_grid_minimum: the material must hold two elements");
        x_f_ = b[usz(el_[1])] / (b[usz(el_[0])] + b[usz(el_[1])]);
        atoms_ = b[usz(el_[0])] + b[usz(el_[1])];
        phases_ = sampled_phases(sys, el_);
    }

    GridMinimum minimum(int points) const;

private:
    // (x, g) at y; g infinite where undefined.
    void evaluate(const Sampled& s, Point& pt) const;
    double content_x(const Sampled& s, const std::vector<double>& y, double& atoms) const;
    std::vector<Point> grid(const Sampled& s, int points) const;
    // The vertex of least (or greatest) x.
    std::vector<double> extreme_vertex(const Sampled& s, bool greatest) const;
    // Moves y along the segment towards the vertex that restores x = x_f.
    bool to_feed(const Sampled& s, Point& pt) const;
    // Pattern search of g - mu x (free), or of g at x = x_f (held).
    void search(const Sampled& s, Point& pt, double mu, bool held) const;

    const System& sys_;
    PhaseModels models_;
    double T_, P_;
    std::vector<int> el_;
    double x_f_ = 0.0, atoms_ = 0.0;
    std::vector<Sampled> phases_;
};

double Binary::content_x(const Sampled& s, const std::vector<double>& y, double& atoms) const {
    const std::vector<double> n = sampled_amounts(sys_, s, y);
    double a = 0.0, second = 0.0;
    for (int k = 0; k < sys_.phases[usz(s.phase)].count; ++k) {
        const Constituent& c = sys_.constituent(s.phase, k);
        a += n[usz(k)] * (c.stoich[usz(el_[0])] + c.stoich[usz(el_[1])]);
        second += n[usz(k)] * c.stoich[usz(el_[1])];
    }
    atoms = a;
    return a > 0.0 ? second / a : 0.0;
}

void Binary::evaluate(const Sampled& s, Point& pt) const {
    double atoms = 0.0;
    pt.x = content_x(s, pt.y, atoms);
    pt.g = kInf;
    if (!(atoms > 1e-12)) return;
    const double G = phase_props(models_[s.phase], T_, P_, sampled_amounts(sys_, s, pt.y)).G;
    if (std::isfinite(G)) pt.g = G / atoms;
}

std::vector<Point> Binary::grid(const Sampled& s, int points) const {
    std::vector<Point> out;
    for (std::vector<double>& y : sampled_grid(s, points)) {
        Point pt;
        pt.y = std::move(y);
        evaluate(s, pt);
        if (std::isfinite(pt.g)) out.push_back(std::move(pt));
    }
    return out;
}

std::vector<double> Binary::extreme_vertex(const Sampled& s, bool greatest) const {
    std::vector<double> best;
    double best_x = greatest ? -kInf : kInf;
    for (const std::vector<double>& y : sampled_vertices(s)) {
        double atoms = 0.0;
        const double x = content_x(s, y, atoms);
        if (atoms > 0.0 && (greatest ? x > best_x : x < best_x)) {
            best_x = x;
            best = y;
        }
    }
    return best;
}

bool Binary::to_feed(const Sampled& s, Point& pt) const {
    double atoms = 0.0;
    const double x0 = content_x(s, pt.y, atoms);
    if (x0 == x_f_) return true;
    const std::vector<double> v = extreme_vertex(s, x0 < x_f_);
    double va = 0.0;
    const double xv = content_x(s, v, va);
    if ((xv - x_f_) * (x0 - x_f_) > 0.0) return false;
    // x along the segment is monotone: bisection on the share of the vertex.
    double lo = 0.0, hi = 1.0;
    std::vector<double> y(pt.y.size());
    for (int it = 0; it < 200 && hi - lo > 0.0; ++it) {
        const double t = 0.5 * (lo + hi);
        if (t == lo || t == hi) break;
        for (std::size_t i = 0; i < y.size(); ++i) y[i] = (1.0 - t) * pt.y[i] + t * v[i];
        const double x = content_x(s, y, atoms);
        ((x < x_f_) == (x0 < x_f_) ? lo : hi) = t;
    }
    // The side of x_f that is nearer.
    Point a{0, kInf, pt.y}, z{0, kInf, pt.y};
    for (std::size_t i = 0; i < y.size(); ++i) {
        a.y[i] = (1.0 - lo) * pt.y[i] + lo * v[i];
        z.y[i] = (1.0 - hi) * pt.y[i] + hi * v[i];
    }
    evaluate(s, a);
    evaluate(s, z);
    pt = std::abs(a.x - x_f_) <= std::abs(z.x - x_f_) ? a : z;
    return std::abs(pt.x - x_f_) <= 1e-13 && std::isfinite(pt.g);
}

void Binary::search(const Sampled& s, Point& pt, double mu, bool held) const {
    auto value = [&](const Point& q) { return held ? q.g : q.g - mu * q.x; };
    // Moves: a share t of constituent j's fraction handed to constituent i
    // of the same block; each ordered pair keeps its own step.
    struct Move {
        int block, i, j;
        double t;
    };
    std::vector<Move> moves;
    for (std::size_t l = 0; l < s.usable.size(); ++l)
        for (int i = 0; i < static_cast<int>(s.usable[l].size()); ++i)
            for (int j = 0; j < static_cast<int>(s.usable[l].size()); ++j)
                if (i != j) moves.push_back({static_cast<int>(l), i, j, 0.1});
    double best = value(pt);
    for (int sweep = 0; sweep < 400; ++sweep) {
        bool alive = false;
        for (Move& m : moves) {
            if (m.t < 1e-16) continue;
            alive = true;
            Point q = pt;
            const std::size_t yi = usz(s.offset[usz(m.block)] + m.i), yj = usz(s.offset[usz(m.block)] + m.j);
            const double d = m.t * q.y[yj];
            q.y[yj] -= d;
            q.y[yi] += d;
            evaluate(s, q);
            if (held && !to_feed(s, q)) {
                m.t *= 0.5;
                continue;
            }
            if (std::isfinite(q.g) && value(q) < best) {
                best = value(q);
                pt = std::move(q);
                m.t = std::min(0.5, m.t * 2.0);
            } else {
                m.t *= 0.5;
            }
        }
        if (!alive) break;
    }
}

// "PHASE (x X; y y1 y2 ...) + ...": each phase with its fraction of the
// second element and its internal fractions.
std::string describe(const System& sys, const std::vector<std::pair<int, const Point*>>& parts) {
    std::ostringstream os;
    for (const auto& [p, pt] : parts) {
        os << (os.tellp() > 0 ? " + " : "") << sys.phases[usz(p)].name << " (x " << pt->x << "; y";
        for (double v : pt->y) os << " " << v;
        os << ")";
    }
    return os.str();
}

// Lower convex hull (by x) of points.
std::vector<const Point*> lower_hull(std::vector<const Point*> pts) {
    std::sort(pts.begin(), pts.end(), [](const Point* a, const Point* b) { return a->x < b->x || (a->x == b->x && a->g < b->g); });
    std::vector<const Point*> h;
    for (const Point* q : pts) {
        while (h.size() >= 2) {
            const Point& a = *h[h.size() - 2];
            const Point& b = *h.back();
            if ((b.x - a.x) * (q->g - a.g) - (b.g - a.g) * (q->x - a.x) <= 0.0)
                h.pop_back();
            else
                break;
        }
        if (!h.empty() && h.back()->x == q->x) continue;
        h.push_back(q);
    }
    return h;
}

GridMinimum Binary::minimum(int points) const {
    GridMinimum best{kInf, ""};
    struct Pair {
        double G;
        std::size_t p, q;
        Point l, r;
    };
    std::vector<std::vector<Point>> grids;
    for (const Sampled& s : phases_) grids.push_back(grid(s, points));
    // Single phases at the feed: every grid point moved to x_f, the best refined.
    for (std::size_t k = 0; k < phases_.size(); ++k) {
        std::vector<Point> at_feed;
        for (Point q : grids[k])
            if (to_feed(phases_[k], q)) at_feed.push_back(std::move(q));
        std::sort(at_feed.begin(), at_feed.end(), [](const Point& a, const Point& b) { return a.g < b.g; });
        std::vector<const std::vector<double>*> ys;
        for (const Point& q : at_feed) ys.push_back(&q.y);
        std::vector<const Point*> starts;
        for (std::size_t i : distinct_states(ys, kSingleStarts, kApart)) starts.push_back(&at_feed[i]);
        for (const Point* start : starts) {
            Point q = *start;
            search(phases_[k], q, 0.0, true);
            if (q.g * atoms_ < best.G) best = {q.g * atoms_, describe(sys_, {{phases_[k].phase, &q}})};
        }
    }
    // Pairs of different phases: the best lever combination over the lower
    // hulls of each phase's points on either side of x_f.
    std::vector<std::vector<const Point*>> left(grids.size()), right(grids.size());
    for (std::size_t k = 0; k < grids.size(); ++k) {
        std::vector<const Point*> l, r;
        for (const Point& q : grids[k]) (q.x < x_f_ ? l : r).push_back(&q);
        std::erase_if(r, [&](const Point* q) { return !(q->x > x_f_); });
        left[k] = lower_hull(l);
        right[k] = lower_hull(r);
    }
    std::vector<Pair> pairs;
    for (std::size_t p = 0; p < grids.size(); ++p)
        for (std::size_t q = 0; q < grids.size(); ++q) {
            if (p == q) continue;
            Pair b{kInf, p, q, {}, {}};
            for (const Point* l : left[p])
                for (const Point* r : right[q]) {
                    const double g = l->g + (r->g - l->g) * (x_f_ - l->x) / (r->x - l->x);
                    if (g < b.G) b = {g, p, q, *l, *r};
                }
            if (std::isfinite(b.G)) pairs.push_back(std::move(b));
        }
    std::sort(pairs.begin(), pairs.end(), [](const Pair& a, const Pair& b) { return a.G < b.G; });
    for (std::size_t i = 0; i < std::min<std::size_t>(4, pairs.size()); ++i) {
        Pair pr = pairs[i];
        for (int round = 0; round < 30; ++round) {
            const double mu = (pr.r.g - pr.l.g) / (pr.r.x - pr.l.x);
            Point l = pr.l, r = pr.r;
            search(phases_[pr.p], l, mu, false);
            search(phases_[pr.q], r, mu, false);
            if (!(l.x < x_f_ && r.x > x_f_)) break;
            const double g = l.g + (r.g - l.g) * (x_f_ - l.x) / (r.x - l.x);
            if (!(g < pr.G)) break;
            pr.G = g;
            pr.l = std::move(l);
            pr.r = std::move(r);
        }
        if (pr.G * atoms_ < best.G)
            best = {pr.G * atoms_, describe(sys_, {{phases_[pr.p].phase, &pr.l}, {phases_[pr.q].phase, &pr.r}})};
    }
    return best;
}

}  // namespace

GridMinimum binary_grid_minimum(const System& sys, const std::vector<double>& b, double T, double P, int points) {
    return Binary(sys, b, T, P).minimum(points);
}

}  // namespace eqcore::robust
