// Plain-text listings the engine writes to the list unit: the result of a
// calculation (ECEQL) and the current settings (ECSHOW). Lines of at most
// 132 columns, values in the units in force, a fixed layout.
#pragma once

#include <string>
#include <vector>

#include "session/session.hpp"

namespace eqcore {

inline constexpr std::size_t kListingWidth = 132;

// Title, T, P, V; every phase with an amount (mixtures with their
// constituents, the largest first); the absent phases with their driving
// force; the system's H, S, G, Cp and the heat of the calculation.
std::vector<std::string> result_listing(const Session& s, const EquilibriumResult& r);
// The same for a result computed outside a session, in the units `u`.
std::vector<std::string> result_listing(const System& sys, const Units& u, const EquilibriumResult& r);

// Units, limits, data file, every phase with status and model, conditions,
// streams.
std::vector<std::string> settings_listing(const Session& s);

}  // namespace eqcore
