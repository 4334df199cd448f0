// The element entropy correction: EQCORE states entropies with the elements'
// standard entropies included, the host without. SELSUB removes, SELADD adds
// 1000 * amount * (entropy of the elements of one formula unit) per component,
// from the host's atom data (twelve slots of atomic number and atom count per
// component, parameters "ATOMNO" and "NOATOM").
#include <array>
#include <cmath>

#include "host_components.hpp"
#include "host_services.hpp"
#include "startup.hpp"

namespace eqlink {
namespace {

// Standard molar entropy of each element at 298.15 K per atom, J/(mol K),
// by atomic number 1..108; 0 where no value is kept.
// clang-format off
constexpr std::array<double, 108> kElementEntropy{
    /*   1 */ 65.34,        126.152,      29.085,       9.44,         5.834,        5.74,
    /*   7 */ 95.8045,      102.5735,     101.3945,     146.327,      51.455,       32.671,
    /*  13 */ 28.275,       18.82,        41.077,       32.056,       111.53950334, 154.845,
    /*  19 */ 64.67,        41.588,       34.64352,     30.759,       28.936,       23.618,
    /*  25 */ 32.01,        35.545,       30.067,       29.87,        33.164,       41.717,
    /*  31 */ 40.838,       31.08712,     35.706256,    42.2584,      76.103,       164.084,
    /*  37 */ 76.778,       55.694,       44.43408,     38.869,       36.464,       28.605,
    /*  43 */ 33.472,       28.53488,     31.50552,     37.82336,     42.6768,      51.79792,
    /*  49 */ 57.82288,     51.195424,    45.52192,     49.49672,     58.071,       169.684,
    /*  55 */ 85.147,       62.475,       56.9024,      69.4544,      73.93128,     71.08616,
    /*  61 */ 0,            69.49624,     77.78099932,  67.94816,     73.30368,     74.8936,
    /*  67 */ 75.01912,     73.17816,     74.01496,     59.8312,      50.96112,     43.56,
    /*  73 */ 41.471,       32.66,        36.52632,     32.6352,      35.505424,    41.6308,
    /*  79 */ 47.496768,    76.028,       64.18256,     64.785,       56.73504,     0,
    /*  85 */ 0,            176.235,      0,            71.128,       0,            53.38784,
    /*  91 */ 0,            50.29168,     58.576,       54.46,        55.40000091,  0,
    /*  97 */ 0,            0,            0,            0,            0,            0,
    /* 103 */ 0,            0,            72.48,        0,            0,            0,
};
// clang-format on

constexpr ftn::Int kSlots = 12;

ftn::Int parameter_location(std::string_view name) {
    const ftn::Int length = static_cast<ftn::Int>(name.size());
    return DMS_IFCMNC(name.data(), &length, name.size());
}

// 1000 * sum over the components of amount * element entropy of one formula unit.
double element_entropy(ftn::Int n, const ftn::Int* comps, const double* amounts) {
    if (n <= 0) return 0.0;
    const ftn::Int atomno = parameter_location("ATOMNO");
    const ftn::Int noatom = parameter_location("NOATOM");
    double total = 0.0;
    for (ftn::Int i = 0; i < n; ++i) {
        const ftn::Int base = 12 * (comps[i] - 1);
        double per_unit = 0.0;
        for (ftn::Int s = 1; s <= kSlots; ++s) {
            const double atoms = plex_word(noatom + base + s).r();
            if (atoms == 0.0) continue;  // an empty slot adds nothing
            const double z = plex_word(atomno + base + s).r();
            per_unit += atoms * SELEM(std::isfinite(z) ? std::llround(z) : 0);
        }
        total += 1000.0 * amounts[i] * per_unit;
    }
    return total;
}

}  // namespace

double SELEM(ftn::Int z) {
    return z >= 1 && z <= 108 ? kElementEntropy[static_cast<std::size_t>(z - 1)] : 0.0;
}

double SELSUB(double value, ftn::Int n, const ftn::Int* comps, const double* amounts) {
    return value - element_entropy(n, comps, amounts);
}

double SELADD(double value, ftn::Int n, const ftn::Int* comps, const double* amounts) {
    return value + element_entropy(n, comps, amounts);
}

}  // namespace eqlink
