#include "thermo/cef.hpp"

#include <array>

namespace eqcore {

namespace {
constexpr std::size_t kMaxListed = 8;
std::size_t sz(int v) { return static_cast<std::size_t>(v); }
}  // namespace

CefPolynomial::CefPolynomial(const Sublattices& sl, int end_members, const std::vector<std::vector<int>>& records,
                             const std::vector<int>& sets) {
    const int ns = sl.count();
    int slot = 0;
    for (int e = 0; e < end_members; ++e) {
        Term t;
        for (int s = 0; s < ns; ++s) t.index.push_back(sl.first(s) + sl.member[sz(e * ns + s)]);
        t.first = slot++;
        terms_.push_back(std::move(t));
    }
    for (std::size_t r = 0; r < records.size(); ++r) {
        Term t;
        t.index = records[r];
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
        terms_.push_back(std::move(t));
    }
    parameters_ = sz(slot);
}

void CefPolynomial::add(std::span<const ParameterT> at, std::span<const double> y, ExcessSums& s) const {
    const bool grad = !s.grad.empty(), hess = !s.hess.empty();
    for (const Term& t : terms_) {
        const std::size_t k = t.index.size();
        std::array<double, kMaxListed> u{}, dp{}, dW{};
        std::array<double, kMaxListed * kMaxListed> d2p{}, d2W{};
        for (std::size_t a = 0; a < k; ++a) u[a] = y[sz(t.index[a])];
        double p = 1.0;
        for (std::size_t a = 0; a < k; ++a) p *= u[a];
        double W = 0.0, Wt = 0.0, Wtt = 0.0;
        const ParameterT* L = at.data() + t.first;
        switch (t.kind) {
            case Kind::constant:
                W = L[0].v;
                Wt = L[0].d1;
                Wtt = L[0].d2;
                break;
            case Kind::binary: {
                const auto i = sz(t.mix[0]), j = sz(t.mix[1]);
                const double d = u[i] - u[j];
                double P1 = 0.0, P2 = 0.0, dv = 1.0, dv1 = 0.0, dv2 = 0.0;
                for (int v = 0; v < t.sets; ++v) {
                    const double vv = v;
                    W += L[v].v * dv;
                    Wt += L[v].d1 * dv;
                    Wtt += L[v].d2 * dv;
                    P1 += vv * L[v].v * dv1;
                    P2 += vv * (vv - 1.0) * L[v].v * dv2;
                    dv2 = dv1;
                    dv1 = dv;
                    dv *= d;
                }
                dW[i] = P1;
                dW[j] = -P1;
                d2W[i * kMaxListed + i] = d2W[j * kMaxListed + j] = P2;
                d2W[i * kMaxListed + j] = d2W[j * kMaxListed + i] = -P2;
                break;
            }
            case Kind::ternary: {
                const double rest = (1.0 - u[sz(t.mix[0])] - u[sz(t.mix[1])] - u[sz(t.mix[2])]) / 3.0;
                const double sum = L[0].v + L[1].v + L[2].v;
                for (std::size_t l = 0; l < 3; ++l) {
                    const double V = u[sz(t.mix[l])] + rest;
                    W += L[l].v * V;
                    Wt += L[l].d1 * V;
                    Wtt += L[l].d2 * V;
                    dW[sz(t.mix[l])] = L[l].v - sum / 3.0;
                }
                break;
            }
        }
        s.f += p * W;
        s.f_t += p * Wt;
        s.f_tt += p * Wtt;
        if (!grad && !hess) continue;
        // Products leaving out one or two of the listed fractions (no
        // division: fractions may be zero).
        for (std::size_t a = 0; a < k; ++a) {
            double q = 1.0;
            for (std::size_t b = 0; b < k; ++b)
                if (b != a) q *= u[b];
            dp[a] = q;
            if (!hess) continue;
            for (std::size_t b = a + 1; b < k; ++b) {
                double r = 1.0;
                for (std::size_t c = 0; c < k; ++c)
                    if (c != a && c != b) r *= u[c];
                d2p[a * kMaxListed + b] = d2p[b * kMaxListed + a] = r;
            }
        }
        for (std::size_t a = 0; a < k; ++a) {
            const auto ia = sz(t.index[a]);
            if (grad) s.grad[ia] += dp[a] * W + p * dW[a];
            if (!hess) continue;
            for (std::size_t b = 0; b < k; ++b) {
                const auto ib = sz(t.index[b]);
                s.h(ia, ib) += d2p[a * kMaxListed + b] * W + dp[a] * dW[b] + dp[b] * dW[a] + p * d2W[a * kMaxListed + b];
            }
        }
    }
}

}  // namespace eqcore
