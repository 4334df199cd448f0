// Size limits of a loaded system. The readers refuse anything larger with a
// clear error before reserving memory for it, and the size inquiry reports
// the same numbers, so callers can size their own arrays from them.
#pragma once

#include <array>

namespace eqcore::limits {

inline constexpr int kConstituents = 1500;         // all phases together
inline constexpr int kElements = 100;
inline constexpr int kMixturePhases = 200;         // the gas position included
inline constexpr int kStoichiometricPhases = 1500;
inline constexpr int kConstituentsPerMixture = 500;
inline constexpr int kRanges = 20;                 // temperature ranges per constituent
inline constexpr int kExtraTerms = 10;             // extra G terms per range
inline constexpr int kExcessParameters = 5000;     // coefficient sets per phase
inline constexpr int kStreams = 100;
inline constexpr int kConditions = 100;
inline constexpr int kSublattices = 5;

}  // namespace eqcore::limits

namespace eqcore::limits {

// The eleven sizes in the order the size inquiry returns them (NA .. NK).
inline constexpr std::array<int, 11> kSizes = {
    kConstituents, kElements, kMixturePhases, kStoichiometricPhases, kConstituentsPerMixture, kRanges,
    kExtraTerms,   kExcessParameters, kStreams, kConditions,          kSublattices};

}  // namespace eqcore::limits
