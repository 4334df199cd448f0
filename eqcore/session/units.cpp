#include "session/units.hpp"

#include <string>

#include "session/error.hpp"
#include "session/text.hpp"

namespace eqcore {
using text::same_word;
using text::trimmed;

namespace {

// A unit: value in SI = (value + offset) * factor. A mass unit's factor is
// grams per unit; the molar mass of the constituent turns it into mol.
struct UnitDef {
    std::string_view name;
    double factor;
    double offset;
};

constexpr UnitDef kPressure[] = {
    {"Pa", 1.0, 0.0}, {"kPa", 1.0e3, 0.0}, {"bar", 1.0e5, 0.0}, {"atm", 101325.0, 0.0},
    {"psi", 6894.757293168361, 0.0}};
constexpr UnitDef kTemperature[] = {{"K", 1.0, 0.0}, {"C", 1.0, 273.15}, {"F", 5.0 / 9.0, 459.67}};
constexpr UnitDef kVolume[] = {{"m3", 1.0, 0.0}, {"dm3", 1.0e-3, 0.0}, {"l", 1.0e-3, 0.0}};
constexpr UnitDef kEnergy[] = {{"J", 1.0, 0.0}, {"kJ", 1.0e3, 0.0}, {"cal", 4.184, 0.0}, {"kcal", 4184.0, 0.0}};
constexpr UnitDef kAmount[] = {{"mol", 1.0, 0.0}, {"kmol", 1.0e3, 0.0}, {"g", 1.0, 0.0}, {"kg", 1.0e3, 0.0}};
constexpr int kFirstMassUnit = 2;

struct QuantityDef {
    std::string_view name;
    const UnitDef* units;
    int count;
};

constexpr QuantityDef kQuantities[] = {
    {"pressure", kPressure, 5}, {"temperature", kTemperature, 3}, {"volume", kVolume, 3},
    {"energy", kEnergy, 4},     {"amount", kAmount, 4}};

const QuantityDef& def(Quantity q) { return kQuantities[static_cast<int>(q)]; }

}  // namespace

void Units::set(std::string_view quantity, std::string_view unit) {
    quantity = trimmed(quantity);
    unit = trimmed(unit);
    for (int q = 0; q < 5; ++q) {
        const QuantityDef& d = kQuantities[q];
        if (!same_word(quantity, d.name)) continue;
        for (int u = 0; u < d.count; ++u) {
            if (same_word(unit, d.units[u].name)) {
                const auto k = static_cast<std::size_t>(q);
                choice_[k] = u;
                factor_[k] = d.units[u].factor;
                if (static_cast<Quantity>(q) == Quantity::temperature) offset_ = d.units[u].offset;
                if (static_cast<Quantity>(q) == Quantity::amount) amount_is_mass_ = u >= kFirstMassUnit;
                return;
            }
        }
        std::string known;
        for (int u = 0; u < d.count; ++u) known += (u ? ", " : "") + std::string(d.units[u].name);
        throw Failure(Error::unknown_unit, "unit '" + std::string(unit) + "' for " + std::string(d.name) +
                                               " (known: " + known + ")");
    }
    throw Failure(Error::unknown_quantity,
                  "quantity '" + std::string(quantity) + "' (known: pressure, temperature, volume, energy, amount)");
}

std::string_view Units::name(Quantity q) const {
    return def(q).units[choice_[static_cast<std::size_t>(q)]].name;
}

double molar_mass(const System& sys, int constituent) {
    const Constituent& c = sys.constituents[static_cast<std::size_t>(constituent)];
    double m = 0.0;
    for (std::size_t j = 0; j < c.stoich.size() && j < sys.elements.size(); ++j) m += c.stoich[j] * sys.elements[j].mass;
    return m;
}

}  // namespace eqcore
