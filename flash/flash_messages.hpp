// The flash's messages to the host: their numbers and the few message
// bodies more than one stage uses. Every line carries six leading blanks.
#pragma once

#include <initializer_list>
#include <string_view>

#include "fortran.hpp"

namespace eqlink::flash::msg {

// Message numbers, one per site.
inline constexpr ftn::Int kBadKode = 1;
inline constexpr ftn::Int kFreeWater = 2;
inline constexpr ftn::Int kChemistryUnmapped = 3;
inline constexpr ftn::Int kMixedFeedUnmapped = 5;
inline constexpr ftn::Int kSolidFeedUnmapped = 6;
inline constexpr ftn::Int kNonConventional = 7;
inline constexpr ftn::Int kSearchMixedUnmapped = 8;
inline constexpr ftn::Int kSolidInMixed = 9;
inline constexpr ftn::Int kSearchSolidUnmapped = 10;
inline constexpr ftn::Int kMixedInSolid = 11;
inline constexpr ftn::Int kVapourAndLiquid = 12;
inline constexpr ftn::Int kNoTemperature = 13;
inline constexpr ftn::Int kSplitUnmapped = 14;
inline constexpr ftn::Int kSolidFlashWithFluid = 15;
inline constexpr ftn::Int kLiquidCountUnmapped = 16;
inline constexpr ftn::Int kLiquidPhases = 17;
inline constexpr ftn::Int kVapourFlashWithLiquid = 18;
inline constexpr ftn::Int kLiquidFlashWithVapour = 19;
inline constexpr ftn::Int kEngineText = 22;
inline constexpr ftn::Int kZeroSolidVolume = 27;
inline constexpr ftn::Int kSubstreamAbsent = 31;
inline constexpr ftn::Int kSolidConstituentInMixed = 32;

// Asks the host with the flash's level and, when it agrees, prints the lines.
bool report(ftn::Int severity, ftn::Int number, std::initializer_list<std::string_view> lines);
// The same with the host's own diagnostic level.
bool report_at_host_level(ftn::Int severity, ftn::Int number,
                          std::initializer_list<std::string_view> lines);
// Severity 1: the host component has no engine counterpart.
void unmapped_component(ftn::Int number, ftn::Int component);
// Severity 1, number NOERR: an engine call failed in the given step.
void engine_failure(ftn::Int noerr, ftn::Int step, bool with_status);

}  // namespace eqlink::flash::msg
