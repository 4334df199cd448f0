#include "phase_grid.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <stdexcept>

namespace eqcore::robust {
namespace {

std::size_t usz(int v) { return static_cast<std::size_t>(v); }

bool holds_other(const Constituent& c, const std::vector<int>& elements) {
    for (std::size_t j = 0; j < c.stoich.size(); ++j)
        if (c.stoich[j] != 0.0 && std::find(elements.begin(), elements.end(), static_cast<int>(j)) == elements.end())
            return true;
    return false;
}

// Every composition of a simplex of `m` corners at resolution `r`, with a
// floor so that no fraction is exactly zero.
std::vector<std::vector<double>> simplex_grid(int m, int r, double floor) {
    std::vector<std::vector<double>> out;
    std::vector<int> c(usz(m), 0);
    auto emit = [&]() {
        std::vector<double> y(usz(m));
        double sum = 0.0;
        for (int i = 0; i < m; ++i) sum += (y[usz(i)] = std::max(double(c[usz(i)]) / r, floor));
        for (double& v : y) v /= sum;
        out.push_back(std::move(y));
    };
    if (m == 1) {
        out.push_back({1.0});
        return out;
    }
    // Enumerate c_0 .. c_{m-2}; the last takes the rest.
    std::function<void(int, int)> rec = [&](int i, int left) {
        if (i == m - 1) {
            c[usz(i)] = left;
            emit();
            return;
        }
        for (int v = 0; v <= left; ++v) {
            c[usz(i)] = v;
            rec(i + 1, left - v);
        }
    };
    rec(0, r);
    return out;
}

// Every combination of one item per block, `emit` called with the indices.
void each_combination(const std::vector<std::size_t>& sizes, const std::function<void(const std::vector<std::size_t>&)>& emit) {
    std::vector<std::size_t> at(sizes.size(), 0);
    while (true) {
        emit(at);
        std::size_t l = 0;
        while (l < at.size() && ++at[l] == sizes[l]) at[l++] = 0;
        if (l == at.size()) break;
    }
}

}  // namespace

std::vector<SampledPhase> sampled_phases(const System& sys, const std::vector<int>& elements) {
    std::vector<SampledPhase> out;
    for (int p = 0; p < sys.phase_count(); ++p) {
        const Phase& ph = sys.phases[usz(p)];
        if (ph.dormant) continue;
        if (ph.model == Model::subg || ph.model == Model::subq || ph.model == Model::subi)
            throw std::invalid_argument("brute force: phase " + ph.name + " has a model it cannot sample");
        SampledPhase s;
        s.phase = p;
        if (ph.model == Model::subl) {
            const Sublattices& sl = ph.sublattice;
            s.product = true;
            const int L = sl.count();
            s.usable.assign(usz(L), {});
            // A constituent is usable where an end member holding it has only the elements.
            for (int l = 0; l < L; ++l)
                for (int i = 0; i < static_cast<int>(sl.names[usz(l)].size()); ++i)
                    for (int e = 0; e < ph.count; ++e)
                        if (sl.member[usz(e * L + l)] == i && !holds_other(sys.constituent(p, e), elements)) {
                            s.usable[usz(l)].push_back(i);
                            break;
                        }
            std::size_t combinations = 1;
            for (const auto& u : s.usable) combinations *= u.size();
            std::size_t found = 0;
            for (int e = 0; e < ph.count; ++e) {
                bool all = true;
                for (int l = 0; l < L; ++l) {
                    const auto& u = s.usable[usz(l)];
                    all = all && std::find(u.begin(), u.end(), sl.member[usz(e * L + l)]) != u.end();
                }
                found += all ? 1 : 0;
            }
            if (combinations == 0) continue;
            if (found != combinations)
                throw std::invalid_argument("brute force: phase " + ph.name + " lacks end members");
        } else {
            s.usable.assign(1, {});
            for (int k = 0; k < ph.count; ++k)
                if (!holds_other(sys.constituent(p, k), elements)) s.usable[0].push_back(k);
            if (s.usable[0].empty()) continue;
        }
        for (const auto& u : s.usable) {
            s.offset.push_back(s.size);
            s.size += static_cast<int>(u.size());
        }
        out.push_back(std::move(s));
    }
    return out;
}

std::vector<double> sampled_amounts(const System& sys, const SampledPhase& s, const std::vector<double>& y) {
    const Phase& ph = sys.phases[usz(s.phase)];
    std::vector<double> n(usz(ph.count), 0.0);
    if (!s.product) {
        for (std::size_t i = 0; i < s.usable[0].size(); ++i) n[usz(s.usable[0][i])] = y[i];
        return n;
    }
    const int L = ph.sublattice.count();
    for (int e = 0; e < ph.count; ++e) {
        double v = 1.0;
        for (int l = 0; l < L && v != 0.0; ++l) {
            const auto& u = s.usable[usz(l)];
            const auto it = std::find(u.begin(), u.end(), ph.sublattice.member[usz(e * L + l)]);
            v = it == u.end() ? 0.0 : v * y[usz(s.offset[usz(l)]) + static_cast<std::size_t>(it - u.begin())];
        }
        n[usz(e)] = v;
    }
    return n;
}

std::vector<std::vector<double>> sampled_grid(const SampledPhase& s, int points, double floor) {
    // The largest resolution whose product of simplex sizes stays within `points`.
    auto count = [&](int r) {
        double n = 1.0;
        for (const auto& u : s.usable) {
            const int m = static_cast<int>(u.size());
            double c = 1.0;
            for (int i = 1; i < m; ++i) c = c * (r + i) / i;
            n *= c;
        }
        return n;
    };
    int r = 1;
    while (r < 4000 && count(r + 1) <= points) ++r;
    std::vector<std::vector<std::vector<double>>> blocks;
    std::vector<std::size_t> sizes;
    for (const auto& u : s.usable) {
        blocks.push_back(simplex_grid(static_cast<int>(u.size()), r, floor));
        sizes.push_back(blocks.back().size());
    }
    std::vector<std::vector<double>> out;
    each_combination(sizes, [&](const std::vector<std::size_t>& at) {
        std::vector<double> y;
        for (std::size_t l = 0; l < blocks.size(); ++l) y.insert(y.end(), blocks[l][at[l]].begin(), blocks[l][at[l]].end());
        out.push_back(std::move(y));
    });
    return out;
}

std::vector<std::vector<double>> sampled_vertices(const SampledPhase& s) {
    std::vector<std::size_t> sizes;
    for (const auto& u : s.usable) sizes.push_back(u.size());
    std::vector<std::vector<double>> out;
    each_combination(sizes, [&](const std::vector<std::size_t>& at) {
        std::vector<double> y(usz(s.size), 0.0);
        for (std::size_t l = 0; l < at.size(); ++l) y[usz(s.offset[l]) + at[l]] = 1.0;
        out.push_back(std::move(y));
    });
    return out;
}

std::vector<std::size_t> distinct_states(const std::vector<const std::vector<double>*>& ys, std::size_t count,
                                         double apart) {
    std::vector<std::size_t> out;
    for (std::size_t k = 0; k < ys.size() && out.size() < count; ++k) {
        bool far = true;
        for (std::size_t o : out) {
            double d = 0.0;
            for (std::size_t i = 0; i < ys[k]->size(); ++i) d = std::max(d, std::abs((*ys[k])[i] - (*ys[o])[i]));
            far = far && d >= apart;
        }
        if (far) out.push_back(k);
    }
    return out;
}

}  // namespace eqcore::robust
