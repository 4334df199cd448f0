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

    // T^e for an extra term's exponent e (not the ln T marker). Inline: it
    // runs for every extra term of every constituent.
    double power(double e) const {
        if (e >= -kMaxInt && e <= kMaxInt) {
            const int k = static_cast<int>(e);
            if (static_cast<double>(k) == e) {
                const auto bit = std::uint64_t{1} << static_cast<unsigned>(k + kMaxInt);
                double& p = int_power_[static_cast<std::size_t>(k + kMaxInt)];
                if (!(known_ & bit)) {
                    p = int_power(T, k);
                    known_ |= bit;
                }
                return p;
            }
        }
        return std::pow(T, e);
    }

private:
    static constexpr int kMaxInt = 16;  // integer exponents -16..16 are tabulated
    mutable std::array<double, 2 * kMaxInt + 1> int_power_{};
    mutable std::uint64_t known_ = 0;  // bit k + kMaxInt: int_power_ holds T^k
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
