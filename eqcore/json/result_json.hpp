// The JSON document of one equilibrium result. `eqlink equilibrate --json`
// prints it and the Python package's Result.to_json() / to_dict() return it,
// so both speak one schema:
//
//   {
//     "schema": "eqcore-equilibrium/1",
//     "system": title of the data file,
//     "units": {"temperature", "pressure", "volume", "energy", "amount",
//               "entropy" (energy/temperature), "potential" (energy/mol)},
//     "T", "P", "V",                      the equilibrium, in the units above
//     "G", "H", "S", "Cp",                of the whole system (Cp at fixed amounts)
//     "H_in", "heat",                     H of the streams as they enter, H - H_in
//     "calculations", "iterations",       equilibria computed, Newton iterations
//     "elements": [{"name", "amount", "potential"}],
//     "phases": [{
//       "name", "model",                  model code as in the file ("PURE" ...)
//       "considered", "present",          took part / holds material
//       "amount", "G", "H", "S", "Cp", "V",
//       "driving_force",                  potential units; 0 present, < 0 stably absent
//       "constituents": [{"name", "amount", "mole_fraction", "activity", "mu"}],
//       "sublattices": [{"sites", "constituents": [{"name", "site_fraction"}]}],
//       "quadruplets": [{"name", "fraction"}]   a quasichemical liquid only:
//                                         its quadruplets (pairs) "A-B-X-Y"; its
//                                         sublattices are its cations and anions
//                                         ("sites" null: they follow the composition)
//     }]
//   }
//
// Every phase of the system is listed in file order, with all its
// constituents in file order. Amounts are in the amount unit (a mass unit
// through the molar masses; element amounts through the element masses);
// chemical potentials, element potentials and driving forces are per mol.
// Mole fractions of an absent mixture are its composition of least driving
// force. "sublattices" is empty for phases the engine models without
// sublattices. A value that is not finite is written as null. Numbers are
// written with the digits that read back to the same double.
#pragma once

#include <string>

#include "data/system.hpp"
#include "session/units.hpp"
#include "solver/result.hpp"

namespace eqcore {

inline constexpr const char* kEquilibriumSchema = "eqcore-equilibrium/1";

// The document for a successful result `r` of a calculation on `sys`, values
// in the units `u`; `indent` < 0 writes it on one line.
std::string equilibrium_json(const System& sys, const Units& u, const EquilibriumResult& r, int indent = 2);

// Units with every quantity in SI: K, Pa, m3, J, mol.
Units si_units();

}  // namespace eqcore
