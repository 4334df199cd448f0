// Sizes of the largest system the engine loads. The readers refuse anything
// larger (before reserving memory for it), and ECSIZE reports them to callers
// in the order NA, NB, ..., NK below.
#pragma once

#include <array>

namespace eqcore::limits {

inline constexpr int kConstituents = 1500;       // NA: constituents of a system, all phases together
inline constexpr int kElements = 100;            // NB: elements
inline constexpr int kMixturePhases = 200;       // NC: mixture phases (the gas included)
inline constexpr int kStoichiometricPhases = 1500;  // ND: stoichiometric condensed phases
inline constexpr int kConstituentsPerPhase = 500;   // NE: constituents of one mixture phase
inline constexpr int kRanges = 20;               // NF: temperature ranges of one constituent
inline constexpr int kExtraTerms = 10;           // NG: extra terms of one range
inline constexpr int kExcessParameters = 5000;   // NH: excess parameters of one phase
inline constexpr int kStreams = 100;             // NI: streams of a session
inline constexpr int kConditions = 100;          // NJ: conditions of a session
inline constexpr int kSublattices = 5;           // NK: sublattices of a phase

// The eleven sizes in the order ECSIZE returns them.
inline constexpr std::array<int, 11> kSizes = {
    kConstituents, kElements,         kMixturePhases, kStoichiometricPhases,
    kConstituentsPerPhase, kRanges,   kExtraTerms,    kExcessParameters,
    kStreams,      kConditions,       kSublattices};

}  // namespace eqcore::limits
