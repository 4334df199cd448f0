#include "lever_minimum.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>
#include <sstream>
#include <stdexcept>

#include "phase_grid.hpp"
#include "thermo/models.hpp"
#include "thermo/phase_props.hpp"

namespace eqcore::robust {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::size_t kMaxRows = 3;
constexpr std::size_t kRefined = 12;   // assemblages refined, best first
constexpr std::size_t kAloneStarts = 8;  // refined points of a phase alone at the feed
constexpr double kApart = 0.1;           // least fraction difference between two of them
constexpr int kRuns = 8;                 // pattern searches from fresh steps, at most
std::size_t usz(int v) { return static_cast<std::size_t>(v); }

struct Point {
    std::vector<double> x;  // composition per mole of atoms, one entry per element of the material
    double g = kInf;        // J per mol of atoms
    std::vector<double> y;  // flat fractions
};

// Solves A z = r for n <= 3 (A row-major n x n) by Gaussian elimination
// with partial pivoting; false where A is singular.
bool solve_small(std::vector<double> A, std::vector<double> r, std::size_t n, std::vector<double>& z) {
    for (std::size_t c = 0; c < n; ++c) {
        std::size_t piv = c;
        for (std::size_t i = c + 1; i < n; ++i)
            if (std::abs(A[i * n + c]) > std::abs(A[piv * n + c])) piv = i;
        if (!(std::abs(A[piv * n + c]) > 1e-13)) return false;
        for (std::size_t j = 0; j < n; ++j) std::swap(A[c * n + j], A[piv * n + j]);
        std::swap(r[c], r[piv]);
        for (std::size_t i = c + 1; i < n; ++i) {
            const double f = A[i * n + c] / A[c * n + c];
            for (std::size_t j = c; j < n; ++j) A[i * n + j] -= f * A[c * n + j];
            r[i] -= f * r[c];
        }
    }
    z.assign(n, 0.0);
    for (std::size_t c = n; c-- > 0;) {
        double s = r[c];
        for (std::size_t j = c + 1; j < n; ++j) s -= A[c * n + j] * z[j];
        z[c] = s / A[c * n + c];
    }
    return true;
}

// A column of the programme: point `point` of sampled phase `phase`, or an
// artificial unit column (phase -1, point = its row).
struct Column {
    int phase = -1;
    std::size_t point = 0;
    bool operator<(const Column& o) const { return phase != o.phase ? phase < o.phase : point < o.point; }
};

// An assemblage: one point per column, the share of the feed's atoms each
// holds, and the G per mol of atoms of the feed.
struct Assemblage {
    std::vector<Column> cols;
    std::vector<Point> pts;
    std::vector<double> share;
    double g = kInf;
};

class Lever {
public:
    Lever(const System& sys, const std::vector<double>& b, double T, double P) : sys_(sys), models_(sys), T_(T), P_(P) {
        for (std::size_t j = 0; j < b.size(); ++j)
            if (b[j] > 0.0) el_.push_back(static_cast<int>(j));
        if (el_.empty() || el_.size() > kMaxRows)
            throw std::invalid_argument("lever_grid_minimum: the material must hold one to three elements");
        for (int e : el_) atoms_ += b[usz(e)];
        for (int e : el_) f_.push_back(b[usz(e)] / atoms_);
        phases_ = sampled_phases(sys, el_);
    }

    LeverMinimum minimum(int points);

private:
    std::size_t rows() const { return el_.size(); }
    void evaluate(const SampledPhase& s, Point& pt) const;
    // Amounts of the material's elements in the phase at fractions y.
    std::vector<double> content(const SampledPhase& s, const std::vector<double>& y) const;
    // Moves y towards vertices of one block until the feed lies in the
    // span of the phase's composition and the `others`' (the phase alone:
    // its composition is the feed's), the least such move; false where
    // none reaches it.
    bool project(const SampledPhase& s, Point& pt, const std::vector<const Point*>& others) const;
    // Pattern search of g with the composition held at the feed.
    void search_alone(const SampledPhase& s, Point& pt) const;
    void search_alone_once(const SampledPhase& s, Point& pt) const;
    // The phase alone at the feed: grid points moved there, the best of
    // distinct basins refined; the least G per mol of atoms, or infinity.
    double alone(std::size_t k, Point& best) const;    // The programme over the points of every phase but `left_out` (none
    // where it is the count of phases): an optimal basis (artificial
    // members at zero share may remain), or an empty one where the feed
    // cannot be held.
    Assemblage programme(std::size_t left_out) const;
    // The best grid point of a phase absent from the other members, or of
    // the member's own phase, in member `slot`'s place with the feed still
    // held and G lower (an artificial member: any such point); false where none.
    bool replace(Assemblage& a, std::size_t slot) const;
    // Every member of a programme's basis replaced until each phase appears
    // once; false where that cannot hold the feed.
    bool distinct(Assemblage& a) const;
    // Members replaced one at a time by better grid points until none is.
    void descend(Assemblage& a) const;
    // The shares of the feed's atoms the points hold by the balance, and
    // the G per mol of atoms; infinite where singular or a share is negative.
    double shares(const std::vector<const Point*>& pts, std::vector<double>& share) const;
    // The assemblage's shares and G; false where it does not hold the feed.
    bool balance(Assemblage& a) const;
    // Pattern search over every member's fractions, the shares from the
    // balance (with fewer members than elements, the moved member projected
    // so that the members still hold the feed).
    void search(Assemblage& a) const;
    void search_once(Assemblage& a) const;
    // The search, then members of small share left out while G falls.
    void refine(Assemblage& a) const;
    std::string describe(const Assemblage& a) const;

    const System& sys_;
    PhaseModels models_;
    double T_, P_;
    std::vector<int> el_;
    std::vector<double> f_;
    double atoms_ = 0.0;
    std::vector<SampledPhase> phases_;
    std::vector<std::vector<Point>> grids_;
};

std::vector<double> Lever::content(const SampledPhase& s, const std::vector<double>& y) const {
    const std::vector<double> n = sampled_amounts(sys_, s, y);
    std::vector<double> c(rows(), 0.0);
    for (int k = 0; k < sys_.phases[usz(s.phase)].count; ++k) {
        const Constituent& con = sys_.constituent(s.phase, k);
        for (std::size_t j = 0; j < rows(); ++j) c[j] += n[usz(k)] * con.stoich[usz(el_[j])];
    }
    return c;
}

void Lever::evaluate(const SampledPhase& s, Point& pt) const {
    pt.x = content(s, pt.y);
    double atoms = 0.0;
    for (double v : pt.x) atoms += v;
    pt.g = kInf;
    if (!(atoms > 1e-12)) return;
    for (double& v : pt.x) v /= atoms;
    const double G = phase_props(models_[s.phase], T_, P_, sampled_amounts(sys_, s, pt.y)).G;
    if (std::isfinite(G)) pt.g = G / atoms;
}

// An orthonormal basis of the complement of span(B) in R^n (Gram-Schmidt
// over B, then over the unit vectors).
std::vector<std::vector<double>> complement(const std::vector<std::vector<double>>& B, std::size_t n) {
    std::vector<std::vector<double>> span, out;
    auto reduce = [&](std::vector<double> v) {
        for (const auto& q : span) {
            double d = 0.0;
            for (std::size_t i = 0; i < n; ++i) d += q[i] * v[i];
            for (std::size_t i = 0; i < n; ++i) v[i] -= d * q[i];
        }
        double norm = 0.0;
        for (double w : v) norm += w * w;
        norm = std::sqrt(norm);
        if (norm < 1e-9) return false;
        for (double& w : v) w /= norm;
        span.push_back(std::move(v));
        return true;
    };
    for (const auto& v : B) reduce(v);
    for (std::size_t e = 0; e < n; ++e) {
        std::vector<double> v(n, 0.0);
        v[e] = 1.0;
        if (reduce(v)) out.push_back(span.back());
    }
    return out;
}

bool Lever::project(const SampledPhase& s, Point& pt, const std::vector<const Point*>& others) const {
    const std::size_t n = rows();
    std::vector<std::vector<double>> B{f_};
    for (const Point* o : others) B.push_back(o->x);
    const std::vector<std::vector<double>> Q = complement(B, n);
    const std::size_t u = Q.size();  // equations, and vertices of one block to move towards
    if (u == 0) return std::isfinite(pt.g);
    if (u > 2) return false;
    // The element amounts c are linear in one block's fractions (the others
    // held), so Q^T c = 0 is u linear equations in the vertices' shares:
    // sum_v a_v Q^T (c_v - c_0) = -Q^T c_0.
    auto residual = [&](const std::vector<double>& c) {
        std::vector<double> r(u, 0.0);
        for (std::size_t e = 0; e < u; ++e)
            for (std::size_t i = 0; i < n; ++i) r[e] += Q[e][i] * c[i];
        return r;
    };
    const std::vector<double> r0 = residual(content(s, pt.y));
    double least = kInf;
    std::vector<double> best;
    for (std::size_t l = 0; l < s.usable.size(); ++l) {
        const std::size_t m = s.usable[l].size(), off = usz(s.offset[l]);
        std::vector<std::vector<double>> rv(m);
        for (std::size_t i = 0; i < m; ++i) {
            std::vector<double> y = pt.y;
            for (std::size_t j = 0; j < m; ++j) y[off + j] = i == j ? 1.0 : 0.0;
            rv[i] = residual(content(s, y));
        }
        // Every choice of u distinct vertices of the block.
        for (std::size_t i = 0; i < m; ++i)
            for (std::size_t j = (u == 1 ? i : i + 1); j < (u == 1 ? i + 1 : m); ++j) {
                const std::size_t v[2] = {i, j};
                std::vector<double> A(u * u), rhs(u), a;
                for (std::size_t e = 0; e < u; ++e) {
                    rhs[e] = -r0[e];
                    for (std::size_t q = 0; q < u; ++q) A[e * u + q] = rv[v[q]][e] - r0[e];
                }
                if (!solve_small(A, rhs, u, a)) continue;
                double sum = 0.0;
                bool ok = true;
                for (double w : a) ok = ok && w >= 0.0, sum += w;
                if (!ok || sum > 1.0 || sum >= least) continue;
                least = sum;
                best = pt.y;
                for (std::size_t q = 0; q < m; ++q) best[off + q] *= 1.0 - sum;
                for (std::size_t q = 0; q < u; ++q) best[off + v[q]] += a[q];
            }
    }
    if (best.empty()) return false;
    pt.y = std::move(best);
    evaluate(s, pt);
    const std::vector<double> r = residual(pt.x);
    double off = 0.0;
    for (double v : r) off = std::max(off, std::abs(v));
    return off <= 1e-13 && std::isfinite(pt.g);
}

void Lever::search_alone_once(const SampledPhase& s, Point& pt) const {
    struct Move {
        std::size_t i, j;
        double t;
    };
    std::vector<Move> moves;
    for (std::size_t l = 0; l < s.usable.size(); ++l)
        for (std::size_t i = 0; i < s.usable[l].size(); ++i)
            for (std::size_t j = 0; j < s.usable[l].size(); ++j)
                if (i != j) moves.push_back({usz(s.offset[l]) + i, usz(s.offset[l]) + j, 0.1});
    for (int sweep = 0; sweep < 600; ++sweep) {
        bool alive = false;
        for (Move& mv : moves) {
            if (mv.t < 1e-16) continue;
            alive = true;
            Point q = pt;
            const double d = mv.t * q.y[mv.j];
            q.y[mv.j] -= d;
            q.y[mv.i] += d;
            evaluate(s, q);
            if (project(s, q, {}) && q.g < pt.g) {
                pt = std::move(q);
                mv.t = std::min(0.5, mv.t * 2.0);
            } else {
                mv.t *= 0.5;
            }
        }
        if (!alive) break;
    }
}

// The pattern searches again from fresh steps while they still gain: a
// search whose steps all shrank against the projection's kinks may move on.
void Lever::search_alone(const SampledPhase& s, Point& pt) const {
    for (int run = 0; run < kRuns; ++run) {
        const double before = pt.g;
        search_alone_once(s, pt);
        if (!(pt.g < before - 1e-13 * std::abs(before))) break;
    }
}

void Lever::search(Assemblage& a) const {
    for (int run = 0; run < kRuns; ++run) {
        const double before = a.g;
        search_once(a);
        if (!(a.g < before - 1e-13 * std::abs(before))) break;
    }
}

double Lever::alone(std::size_t k, Point& best) const {
    std::vector<Point> at_feed;
    for (Point q : grids_[k])
        if (project(phases_[k], q, {})) at_feed.push_back(std::move(q));
    std::sort(at_feed.begin(), at_feed.end(), [](const Point& a, const Point& b) { return a.g < b.g; });
    std::vector<const std::vector<double>*> ys;
    for (const Point& q : at_feed) ys.push_back(&q.y);
    std::vector<const Point*> starts;
    for (std::size_t i : distinct_states(ys, kAloneStarts, kApart)) starts.push_back(&at_feed[i]);
    double g = kInf;
    for (const Point* start : starts) {
        Point q = *start;
        search_alone(phases_[k], q);
        if (q.g < g) g = q.g, best = q;
    }
    return g;
}

double Lever::shares(const std::vector<const Point*>& pts, std::vector<double>& share) const {
    const std::size_t n = rows(), k = pts.size();
    bool solved = false;
    if (k == n) {
        std::vector<double> A(n * n);
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = 0; j < n; ++j) A[i * n + j] = pts[j]->x[i];
        solved = solve_small(A, f_, n, share);
    } else {
        // Fewer members than elements: the normal equations, then the
        // balance itself checked (the feed must lie in the members' span).
        std::vector<double> A(k * k, 0.0), r(k, 0.0);
        for (std::size_t a = 0; a < k; ++a) {
            for (std::size_t i = 0; i < n; ++i) r[a] += pts[a]->x[i] * f_[i];
            for (std::size_t b = 0; b < k; ++b)
                for (std::size_t i = 0; i < n; ++i) A[a * k + b] += pts[a]->x[i] * pts[b]->x[i];
        }
        solved = solve_small(A, r, k, share);
        for (std::size_t i = 0; solved && i < n; ++i) {
            double held = 0.0;
            for (std::size_t a = 0; a < k; ++a) held += share[a] * pts[a]->x[i];
            solved = std::abs(held - f_[i]) <= 1e-13;
        }
    }
    if (!solved) return kInf;
    double g = 0.0;
    for (std::size_t j = 0; j < k; ++j) {
        if (!(share[j] >= 0.0)) return kInf;
        g += share[j] * pts[j]->g;
    }
    return std::isfinite(g) ? g : kInf;
}

bool Lever::balance(Assemblage& a) const {
    std::vector<const Point*> pts;
    for (const Point& p : a.pts) pts.push_back(&p);
    a.g = shares(pts, a.share);
    return std::isfinite(a.g);
}

Assemblage Lever::programme(std::size_t left_out) const {
    const std::size_t n = rows();
    double big = 1.0;
    for (const auto& g : grids_)
        for (const Point& p : g) big = std::max(big, std::abs(p.g));
    big *= 1e4;
    // Start: the artificial unit columns hold the feed.
    std::vector<Column> basis(n);
    std::vector<std::vector<double>> bx(n, std::vector<double>(n, 0.0));
    std::vector<double> bc(n, big), lambda = f_;
    for (std::size_t i = 0; i < n; ++i) basis[i] = {-1, i}, bx[i][i] = 1.0;
    for (int it = 0; it < 2000; ++it) {
        // Potentials: B^T mu = c_B.
        std::vector<double> BT(n * n), mu;
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = 0; j < n; ++j) BT[i * n + j] = bx[i][j];
        if (!solve_small(BT, bc, n, mu)) return {};
        double least = -1e-12 * big * 1e-4;
        Column enter{-2, 0};
        for (std::size_t k = 0; k < grids_.size(); ++k) {
            if (k == left_out) continue;
            for (std::size_t i = 0; i < grids_[k].size(); ++i) {
                const Point& p = grids_[k][i];
                double r = p.g;
                for (std::size_t j = 0; j < n; ++j) r -= mu[j] * p.x[j];
                if (r < least) least = r, enter = {static_cast<int>(k), i};
            }
        }
        if (enter.phase == -2) break;
        const Point& e = grids_[usz(enter.phase)][enter.point];
        std::vector<double> B(n * n), d;
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = 0; j < n; ++j) B[i * n + j] = bx[j][i];
        if (!solve_small(B, e.x, n, d)) return {};
        std::size_t leave = n;
        double ratio = kInf;
        for (std::size_t i = 0; i < n; ++i)
            if (d[i] > 1e-12 && lambda[i] / d[i] < ratio) ratio = lambda[i] / d[i], leave = i;
        if (leave == n) return {};
        for (std::size_t i = 0; i < n; ++i) lambda[i] -= ratio * d[i];
        lambda[leave] = ratio;
        basis[leave] = enter;
        bx[leave] = e.x;
        bc[leave] = e.g;
    }
    Assemblage a;
    a.cols = basis;
    for (std::size_t i = 0; i < n; ++i) {
        if (basis[i].phase < 0 && lambda[i] > 1e-6 * f_[i]) return {};  // the feed is not held by these points
        Point p;
        if (basis[i].phase < 0) {
            p.x.assign(n, 0.0);
            p.x[i] = 1.0;
            p.g = 0.0;
        } else {
            p = grids_[usz(basis[i].phase)][basis[i].point];
        }
        a.pts.push_back(std::move(p));
    }
    return a;
}

bool Lever::replace(Assemblage& a, std::size_t slot) const {
    std::vector<char> present(grids_.size(), 0);
    for (std::size_t m = 0; m < a.cols.size(); ++m)
        if (m != slot && a.cols[m].phase >= 0) present[usz(a.cols[m].phase)] = 1;
    std::vector<const Point*> pts;
    for (const Point& p : a.pts) pts.push_back(&p);
    std::vector<double> share;
    double best = a.cols[slot].phase < 0 ? kInf : a.g;
    Column to{-1, 0};
    for (std::size_t k = 0; k < grids_.size(); ++k) {
        if (present[k]) continue;
        for (std::size_t i = 0; i < grids_[k].size(); ++i) {
            pts[slot] = &grids_[k][i];
            const double g = shares(pts, share);
            if (g < best) best = g, to = {static_cast<int>(k), i};
        }
    }
    if (to.phase < 0) return false;
    a.cols[slot] = to;
    a.pts[slot] = grids_[usz(to.phase)][to.point];
    return balance(a);
}

bool Lever::distinct(Assemblage& a) const {
    // The first member whose phase another member has (or an artificial
    // one): it, or one of the members of its phase, replaced, whichever
    // holds the feed at the least G; again until every phase appears once.
    for (std::size_t round = 0; round < a.cols.size(); ++round) {
        std::vector<std::size_t> group;
        for (std::size_t m = 0; m < a.cols.size() && group.empty(); ++m) {
            if (a.cols[m].phase < 0) group = {m};
            for (std::size_t o = m + 1; o < a.cols.size(); ++o)
                if (a.cols[o].phase == a.cols[m].phase && a.cols[m].phase >= 0) {
                    if (group.empty()) group.push_back(m);
                    group.push_back(o);
                }
        }
        if (group.empty()) return balance(a);
        Assemblage best;
        for (std::size_t m : group) {
            Assemblage b = a;
            if (replace(b, m) && (best.cols.empty() || b.g < best.g)) best = std::move(b);
        }
        if (best.cols.empty()) return false;
        a = std::move(best);
    }
    return false;
}

void Lever::descend(Assemblage& a) const {
    for (int round = 0; round < 100; ++round) {
        bool moved = false;
        for (std::size_t m = 0; m < a.cols.size(); ++m) moved = replace(a, m) || moved;
        if (!moved) break;
    }
}

void Lever::search_once(Assemblage& a) const {
    struct Move {
        std::size_t member, i, j;
        double t;
    };
    std::vector<Move> moves;
    for (std::size_t m = 0; m < a.cols.size(); ++m) {
        const SampledPhase& s = phases_[usz(a.cols[m].phase)];
        for (std::size_t l = 0; l < s.usable.size(); ++l)
            for (std::size_t i = 0; i < s.usable[l].size(); ++i)
                for (std::size_t j = 0; j < s.usable[l].size(); ++j)
                    if (i != j) moves.push_back({m, usz(s.offset[l]) + i, usz(s.offset[l]) + j, 0.1});
    }
    const bool fewer = a.cols.size() < rows();
    for (int sweep = 0; sweep < 600; ++sweep) {
        bool alive = false;
        for (Move& mv : moves) {
            if (mv.t < 1e-16) continue;
            alive = true;
            Assemblage b = a;
            Point& p = b.pts[mv.member];
            const SampledPhase& s = phases_[usz(b.cols[mv.member].phase)];
            const double d = mv.t * p.y[mv.j];
            p.y[mv.j] -= d;
            p.y[mv.i] += d;
            evaluate(s, p);
            bool held = true;
            if (fewer) {
                std::vector<const Point*> others;
                for (std::size_t o = 0; o < b.pts.size(); ++o)
                    if (o != mv.member) others.push_back(&b.pts[o]);
                held = project(s, p, others);
            }
            if (held && balance(b) && b.g < a.g) {
                a = std::move(b);
                mv.t = std::min(0.5, mv.t * 2.0);
            } else {
                mv.t *= 0.5;
            }
        }
        if (!alive) break;
    }
}

void Lever::refine(Assemblage& a) const {
    search(a);
    // Each member left out in turn: another member moved so that the rest
    // hold the feed, searched on, kept where G is lower (a member the
    // search could only drive towards zero share, or one the grid's
    // points forced in beside a phase off its tie line).
    for (bool dropped = true; dropped && a.cols.size() > 1;) {
        dropped = false;
        for (std::size_t m = 0; m < a.cols.size() && !dropped; ++m) {
            for (std::size_t r = 0; r < a.cols.size() && !dropped; ++r) {
                if (r == m) continue;
                Assemblage b = a;
                b.cols.erase(b.cols.begin() + static_cast<long>(m));
                b.pts.erase(b.pts.begin() + static_cast<long>(m));
                const std::size_t moved = r < m ? r : r - 1;
                std::vector<const Point*> others;
                for (std::size_t o = 0; o < b.pts.size(); ++o)
                    if (o != moved) others.push_back(&b.pts[o]);
                if (!project(phases_[usz(b.cols[moved].phase)], b.pts[moved], others) || !balance(b)) continue;
                search(b);
                if (b.g < a.g) a = std::move(b), dropped = true;
            }
        }
    }
}

std::string Lever::describe(const Assemblage& a) const {
    std::ostringstream os;
    os.precision(6);
    for (std::size_t m = 0; m < a.cols.size(); ++m) {
        os << (m ? " + " : "") << sys_.phases[usz(phases_[usz(a.cols[m].phase)].phase)].name << " "
           << a.share[m] * atoms_ << " mol atoms (x";
        for (double v : a.pts[m].x) os << " " << v;
        os << "; y";
        for (double v : a.pts[m].y) os << " " << v;
        os << ")";
    }
    return os.str();
}

LeverMinimum Lever::minimum(int points) {
    // Fractions on the grid reach well below the scarcest element's share,
    // so that a trace of it can be held by the grid's points.
    double scarcest = 1.0;
    for (double v : f_) scarcest = std::min(scarcest, v);
    const double floor = std::min(1e-9, 1e-3 * scarcest);
    for (const SampledPhase& s : phases_) {
        std::vector<Point> g;
        for (std::vector<double>& y : sampled_grid(s, points, floor)) {
            Point pt;
            pt.y = std::move(y);
            evaluate(s, pt);
            if (std::isfinite(pt.g)) g.push_back(std::move(pt));
        }
        grids_.push_back(std::move(g));
    }
    // Starts: the programme over every phase's points, and over all but
    // one phase in turn (another optimum where one phase dominates).
    std::set<std::vector<Column>> seen;
    std::vector<Assemblage> found;
    for (std::size_t out = 0; out <= grids_.size(); ++out) {
        Assemblage a = programme(out);
        if (a.cols.size() != rows() || !distinct(a)) continue;
        descend(a);
        std::vector<Column> key = a.cols;
        std::sort(key.begin(), key.end());
        if (seen.insert(key).second) found.push_back(std::move(a));
    }
    std::sort(found.begin(), found.end(), [](const Assemblage& x, const Assemblage& y) { return x.g < y.g; });
    if (found.size() > kRefined) found.resize(kRefined);
    LeverMinimum best;
    best.G = kInf;
    for (std::size_t k = 0; k < grids_.size(); ++k) {
        Point p;
        const double g = alone(k, p);
        if (g * atoms_ < best.G) {
            Assemblage a;
            a.cols = {{static_cast<int>(k), 0}};
            a.pts = {p};
            a.share = {1.0};
            best = {g * atoms_, describe(a), true};
        }
    }
    for (Assemblage& a : found) {
        refine(a);
        if (a.g * atoms_ < best.G) best = {a.g * atoms_, describe(a), true};
    }
    return best;
}

}  // namespace

LeverMinimum lever_grid_minimum(const System& sys, const std::vector<double>& b, double T, double P, int points) {
    return Lever(sys, b, T, P).minimum(points);
}

}  // namespace eqcore::robust
