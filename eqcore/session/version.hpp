// The engine's version: ECVERS reports 100 * major + minor.
#pragma once

namespace eqcore {

inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 0;
inline constexpr int kVersion = 100 * kVersionMajor + kVersionMinor;

}  // namespace eqcore
