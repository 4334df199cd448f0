#include "thermo/cef.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>

namespace eqcore {

namespace {
std::size_t sz(int v) { return static_cast<std::size_t>(v); }
}  // namespace

CefPolynomial::CefPolynomial(const Sublattices& sl, int end_members, const std::vector<std::vector<int>>& records,
                             const std::vector<int>& sets) {
    const int ns = sl.count();
    int slot = 0;
    const auto list = [](Term& t) {
        if (t.index.size() > t.at.size()) throw std::invalid_argument("a compound-energy term lists more than 8 fractions");
        t.listed = static_cast<int>(t.index.size());
        std::copy(t.index.begin(), t.index.end(), t.at.begin());
    };
    for (int e = 0; e < end_members; ++e) {
        Term t;
        for (int s = 0; s < ns; ++s) t.index.push_back(sl.first(s) + sl.member[sz(e * ns + s)]);
        t.first = slot++;
        list(t);
        terms_.push_back(std::move(t));
    }
    for (std::size_t r = 0; r < records.size(); ++r) {
        Term t;
        t.index = records[r];
        list(t);
        t.first = slot;
        t.sets = sets[r];
        slot += sets[r];
        // The mixing constituents: those sharing a sublattice with another
        // listed one, in listed order.
        std::vector<int> per(sz(ns), 0);
        for (int i : t.index) ++per[sz(sl.lattice_of(i))];
        int twos = 0, m = 0;
        for (int c : per) twos += c == 2;
        for (std::size_t a = 0; a < t.index.size(); ++a)
            if (per[sz(sl.lattice_of(t.index[a]))] > 1 && m < 3) t.mix[m++] = static_cast<int>(a);
        if (twos == 1 && m == 2) {
            t.kind = Kind::binary;
        } else if (m == 3 && t.sets == 3) {
            t.kind = Kind::ternary;
        } else {
            t.kind = Kind::constant;
        }
        // n distinct fractions of one sublattice have a product of at most
        // (1/n)^n; a fraction listed twice bounds nothing below 1.
        std::vector<int> sorted = t.index;
        std::sort(sorted.begin(), sorted.end());
        if (std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end())
            for (int c : per)
                if (c > 1) t.peak *= std::pow(1.0 / c, c);
        terms_.push_back(std::move(t));
    }
    parameters_ = sz(slot);
    end_members_ = sz(end_members);
}

namespace {

// Whether a record lists a site fraction that is switched off (0 there): the
// record then vanishes.
bool switched_off(const std::vector<int>& index, std::span<const char> active) {
    for (int i : index)
        if (sz(i) < active.size() && !active[sz(i)]) return true;
    return false;
}

}  // namespace

double CefPolynomial::records_bound(std::span<const double> size, std::span<const char> active) const {
    double bound = 0.0;
    for (std::size_t r = end_members_; r < terms_.size(); ++r) {
        const Term& t = terms_[r];
        if (switched_off(t.index, active)) continue;
        double sets = 0.0;
        for (int v = 0; v < t.sets; ++v) sets += size[sz(t.first + v)];
        bound += t.peak * sets;
    }
    return bound;
}

double CefPolynomial::records_least(std::span<const double> at, std::span<const char> active) const {
    double least = 0.0;
    for (std::size_t r = end_members_; r < terms_.size(); ++r) {
        const Term& t = terms_[r];
        if (switched_off(t.index, active)) continue;
        const double* L = at.data() + t.first;
        double w = 0.0;
        switch (t.kind) {
            case Kind::constant:
                w = L[0];
                break;
            case Kind::binary:
                w = L[0];
                for (int v = 1; v < t.sets; ++v) w += v % 2 == 1 ? -std::abs(L[v]) : std::min(0.0, L[v]);
                break;
            case Kind::ternary:
                for (int l = 0; l < 3; ++l) w += std::min(0.0, L[l]);
                break;
        }
        least += t.peak * std::min(0.0, w);
    }
    return least;
}

namespace {

// A term's factor W, its temperature derivatives and its derivatives in the
// listed fractions for one parameter list. `start` zeroes what a term adds
// to: the derivatives in the fractions only where they are asked for.
struct Factor {
    double W, Wt, Wtt;
    double P2;  // binary: d2W/du_i2 = d2W/du_j2 = -d2W/du_i du_j
    std::array<double, 8> dW;
    void start(bool derivatives) {
        W = Wt = Wtt = P2 = 0.0;
        if (derivatives) dW = {};
    }
};

}  // namespace

void CefPolynomial::add(std::span<const ParameterT> at, std::span<const double> y, ExcessSums& s) const {
    const std::span<const ParameterT> lists[1] = {at};
    ExcessSums* sums[1] = {&s};
    add_lists<1>(lists, y, sums);
}

void CefPolynomial::add_pair(std::span<const ParameterT> at_a, std::span<const ParameterT> at_b,
                             std::span<const double> y, ExcessSums& a, ExcessSums& b) const {
    const std::span<const ParameterT> lists[2] = {at_a, at_b};
    ExcessSums* sums[2] = {&a, &b};
    add_lists<2>(lists, y, sums);
}

// The terms' products of fractions are formed once and serve every list;
// each list's sums get exactly what a traversal of its own would give.
template <std::size_t N>
void CefPolynomial::add_lists(const std::span<const ParameterT>* lists, std::span<const double> y,
                              ExcessSums* const* sums) const {
    static_assert(kMaxListed == 8, "Factor holds kMaxListed derivatives");
    const bool grad = !sums[0]->grad.empty(), hess = !sums[0]->hess.empty();
    for (const Term& t : terms_) {
        const int k = t.listed;
        // The listed fractions, and the products of those before (pre) and
        // after (post) each one: the products leaving one or two out need
        // no division (fractions may be zero).
        std::array<double, kMaxListed> u;
        std::array<double, kMaxListed + 1> pre, post;
        pre[0] = 1.0;
        for (int a = 0; a < k; ++a) {
            u[sz(a)] = y[sz(t.at[sz(a)])];
            pre[sz(a) + 1] = pre[sz(a)] * u[sz(a)];
        }
        const double p = pre[sz(k)];
        std::array<Factor, N> fa;
        for (std::size_t l = 0; l < N; ++l) {
            Factor& F = fa[l];
            F.start(grad || hess);
            const ParameterT* L = lists[l].data() + t.first;
            switch (t.kind) {
                case Kind::constant:
                    F.W = L[0].v;
                    F.Wt = L[0].d1;
                    F.Wtt = L[0].d2;
                    break;
                case Kind::binary: {
                    const auto i = sz(t.mix[0]), j = sz(t.mix[1]);
                    const double d = u[i] - u[j];
                    double P1 = 0.0, dv = 1.0, dv1 = 0.0, dv2 = 0.0;
                    for (int v = 0; v < t.sets; ++v) {
                        const double vv = v;
                        F.W += L[v].v * dv;
                        F.Wt += L[v].d1 * dv;
                        F.Wtt += L[v].d2 * dv;
                        P1 += vv * L[v].v * dv1;
                        F.P2 += vv * (vv - 1.0) * L[v].v * dv2;
                        dv2 = dv1;
                        dv1 = dv;
                        dv *= d;
                    }
                    F.dW[i] = P1;
                    F.dW[j] = -P1;
                    break;
                }
                case Kind::ternary: {
                    const double rest = (1.0 - u[sz(t.mix[0])] - u[sz(t.mix[1])] - u[sz(t.mix[2])]) / 3.0;
                    const double sum = L[0].v + L[1].v + L[2].v;
                    for (std::size_t q = 0; q < 3; ++q) {
                        const double V = u[sz(t.mix[q])] + rest;
                        F.W += L[q].v * V;
                        F.Wt += L[q].d1 * V;
                        F.Wtt += L[q].d2 * V;
                        F.dW[sz(t.mix[q])] = L[q].v - sum / 3.0;
                    }
                    break;
                }
            }
            ExcessSums& s = *sums[l];
            s.f += p * F.W;
            s.f_t += p * F.Wt;
            s.f_tt += p * F.Wtt;
        }
        if (!grad && !hess) continue;
        post[sz(k)] = 1.0;
        for (int a = k - 1; a >= 0; --a) post[sz(a)] = post[sz(a) + 1] * u[sz(a)];
        std::array<double, kMaxListed> dp;
        for (int a = 0; a < k; ++a) dp[sz(a)] = pre[sz(a)] * post[sz(a) + 1];
        if (grad)
            for (std::size_t l = 0; l < N; ++l)
                for (int a = 0; a < k; ++a) sums[l]->grad[sz(t.at[sz(a)])] += dp[sz(a)] * fa[l].W + p * fa[l].dW[sz(a)];
        if (!hess) continue;
        const bool binary = t.kind == Kind::binary;
        for (int a = 0; a < k; ++a) {
            const auto ia = sz(t.at[sz(a)]);
            const bool a_mixes = binary && (a == t.mix[0] || a == t.mix[1]);
            for (std::size_t l = 0; l < N; ++l)
                sums[l]->h(ia, ia) += 2.0 * dp[sz(a)] * fa[l].dW[sz(a)] + (a_mixes ? p * fa[l].P2 : 0.0);
            double between = 1.0;  // product of the fractions strictly between a and b
            for (int b = a + 1; b < k; ++b) {
                const double d2p = pre[sz(a)] * between * post[sz(b) + 1];
                between *= u[sz(b)];
                const bool pair_mixes = a_mixes && (b == t.mix[0] || b == t.mix[1]);
                const auto ib = sz(t.at[sz(b)]);
                for (std::size_t l = 0; l < N; ++l) {
                    const Factor& F = fa[l];
                    double h = d2p * F.W + dp[sz(a)] * F.dW[sz(b)] + dp[sz(b)] * F.dW[sz(a)];
                    if (pair_mixes) h -= p * F.P2;
                    sums[l]->h(ia, ib) += h;
                    sums[l]->h(ib, ia) += h;
                }
            }
        }
    }
}

}  // namespace eqcore
