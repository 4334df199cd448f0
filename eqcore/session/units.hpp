// The units in force for values passed to and returned by the entry points.
// Inside the engine everything is SI: K, Pa, m3, J, mol.
#pragma once

#include <array>
#include <string_view>

#include "data/system.hpp"

namespace eqcore {

enum class Quantity { pressure, temperature, volume, energy, amount };

class Units {
public:
    // Default: bar, K, dm3, J, mol.
    Units() = default;

    // Sets the unit of a quantity by name ("pressure" / "Pa", ...): case is
    // ignored and so are trailing blanks. Throws Failure naming the word
    // that is not known.
    void set(std::string_view quantity, std::string_view unit);
    // Name of the unit in force, as spelled in the unit table ("bar", "K").
    std::string_view name(Quantity q) const;

    double pressure_to_si(double v) const { return v * factor(Quantity::pressure); }
    double pressure_from_si(double pa) const { return pa / factor(Quantity::pressure); }
    double temperature_to_si(double v) const { return (v + offset_) * factor(Quantity::temperature); }
    double temperature_from_si(double kelvin) const { return kelvin / factor(Quantity::temperature) - offset_; }
    double volume_to_si(double v) const { return v * factor(Quantity::volume); }
    double volume_from_si(double m3) const { return m3 / factor(Quantity::volume); }
    double energy_to_si(double v) const { return v * factor(Quantity::energy); }
    double energy_from_si(double joule) const { return joule / factor(Quantity::energy); }
    // Entropy and heat capacity: energy per degree of the temperature unit
    // (a degree F is 5/9 K, a degree C is 1 K).
    double entropy_from_si(double joule_per_kelvin) const {
        return energy_from_si(joule_per_kelvin) * factor(Quantity::temperature);
    }
    double entropy_to_si(double v) const { return energy_to_si(v) / factor(Quantity::temperature); }
    // Amounts: a mass unit needs the constituent's molar mass (g/mol).
    bool amount_is_mass() const { return amount_is_mass_; }
    double amount_to_mol(double v, double molar_mass) const {
        const double x = v * factor(Quantity::amount);
        return amount_is_mass_ ? x / molar_mass : x;
    }
    double amount_from_mol(double mol, double molar_mass) const {
        return (amount_is_mass_ ? mol * molar_mass : mol) / factor(Quantity::amount);
    }

private:
    double factor(Quantity q) const { return factor_[static_cast<std::size_t>(q)]; }
    std::array<int, 5> choice_{2, 0, 1, 0, 0};                 // bar, K, dm3, J, mol
    std::array<double, 5> factor_{1.0e5, 1.0, 1.0e-3, 1.0, 1.0};  // SI per unit of the choice
    double offset_ = 0.0;                                      // of the temperature unit
    bool amount_is_mass_ = false;
};

// Molar mass of constituent `constituent` (index into System::constituents)
// from its stoichiometry and the element masses, g/mol; 0 or less when the
// data give it none. Turns amounts into masses for a mass amount unit.
double molar_mass(const System& sys, int constituent);

// `mol` of constituent `constituent` in the amount unit of `u`: a mass unit
// through its molar mass (0 for a constituent without one).
inline double amount_in_unit(const Units& u, const System& sys, int constituent, double mol) {
    return u.amount_from_mol(mol, u.amount_is_mass() ? molar_mass(sys, constituent) : 1.0);
}

}  // namespace eqcore
