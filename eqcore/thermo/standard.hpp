// Standard-state functions of one constituent at temperature T (pure
// substance at the standard pressure).
#pragma once

#include <array>
#include <cmath>
#include <cstdint>

#include "data/power.hpp"
#include "data/system.hpp"

namespace eqcore {

struct StandardProps {
    double g = 0.0;   // G°, J/mol
    double h = 0.0;   // H°, J/mol
    double s = 0.0;   // S°, J/(mol K)
    double cp = 0.0;  // Cp°, J/(mol K)
    bool extrapolated = false;  // T above the last range's tmax
};

// The functions of one temperature that every standard function evaluated
// at it uses: ln T, 1/T, the powers of the polynomial and the extra terms'
// integer powers (each computed once, on first use). One object serves all
// constituents evaluated at that temperature; it is not shared between
// threads.
class TemperaturePowers {
public:
    explicit TemperaturePowers(double T);
    TemperaturePowers(double T, double lnT);

    double T, lnT, T2, T3, inv_T, inv_T2;
    // What each coefficient A..F of the polynomial multiplies in (G, S) and
    // in (H, Cp), and the same for an extra ln T term: a range's values are
    // sums of coefficient times pair, two outputs per operation.
    alignas(16) double gs[6][2];
    alignas(16) double hc[6][2];
    alignas(16) double ln_gs[2];
    alignas(16) double ln_hc[2];

    // A term T^k of an integer exponent k: its (G, S) pair
    // (T^k, -k T^(k-1)) and its (H, Cp) pair (1 - k) (T^k, k T^(k-1)).
    struct PowerTerm {
        alignas(16) double gs[2];
        alignas(16) double hc[2];
    };

    // The pairs of T^e for an integer exponent e in -16..16 (each computed
    // once, on first use); nullptr for any other e. Inline: it runs for
    // every extra term of every constituent.
    const PowerTerm* integer_term(double e) const {
        if (!(e >= -kMaxInt && e <= kMaxInt)) return nullptr;
        const int k = static_cast<int>(e);
        if (static_cast<double>(k) != e) return nullptr;
        const auto slot = static_cast<unsigned>(k + kMaxInt);
        PowerTerm& p = terms_[slot];
        if (!(known_ & (std::uint64_t{1} << slot))) {
            const double tk = int_power(T, k), k_tk_T = e * tk * inv_T;
            p = PowerTerm{{tk, -k_tk_T}, {(1.0 - e) * tk, (1.0 - e) * k_tk_T}};
            known_ |= std::uint64_t{1} << slot;
        }
        return &p;
    }

    // T^e for an extra term's exponent e (not the ln T marker).
    double power(double e) const {
        const PowerTerm* p = integer_term(e);
        return p ? p->gs[0] : std::pow(T, e);
    }

private:
    static constexpr int kMaxInt = 16;  // integer exponents -16..16 are tabulated
    mutable std::array<PowerTerm, 2 * kMaxInt + 1> terms_;  // slot k + kMaxInt, valid where known_ has its bit
    mutable std::uint64_t known_ = 0;
};

// The range used at T: the first with T <= tmax; the first below 298.15 K,
// the last above the last tmax.
const GibbsRange& range_at(const Constituent& c, double T);
StandardProps standard(const Constituent& c, double T);
// G°, H°, S°, Cp° of one range's G function at T (no range selection; the
// `extrapolated` flag stays false).
StandardProps range_props(const GibbsRange& r, double T);
// G° alone, the solver's hot path.
double gibbs0(const Constituent& c, double T);

// The same with ln T given, for callers that evaluate many constituents at
// one temperature.
StandardProps standard(const Constituent& c, double T, double lnT);
StandardProps range_props(const GibbsRange& r, double T, double lnT);
double gibbs0(const Constituent& c, double T, double lnT);

// The same with every function of T shared (many constituents at one T).
StandardProps standard(const Constituent& c, const TemperaturePowers& t);
StandardProps range_props(const GibbsRange& r, const TemperaturePowers& t);

}  // namespace eqcore
