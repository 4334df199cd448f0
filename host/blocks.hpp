// Sizes of the host's shared blocks and 1-based access to their words. The
// blocks themselves are declared in interface/host_services.hpp and defined
// in blocks.cpp.
#pragma once

#include <cstddef>

#include "fortran.hpp"
#include "host_services.hpp"

namespace elvar {

// Words of each block: every word the plug-in uses plus a margin.
inline constexpr std::size_t kEqlinkWords = 4;     // 1: started flag
inline constexpr std::size_t kNcompWords = 4;      // 1, 2: component counts
inline constexpr std::size_t kGlobalWords = 64;    // up to word 28
inline constexpr std::size_t kRglobWords = 32;     // up to word 14
inline constexpr std::size_t kIpoff4Words = 8;     // word 2
inline constexpr std::size_t kStwkwkWords = 64;    // up to word 27
inline constexpr std::size_t kStworkWords = 96;    // up to word 63
inline constexpr std::size_t kPpsclrWords = 8;     // words 3, 5
inline constexpr std::size_t kPpglobWords = 8;     // word 3
inline constexpr std::size_t kUserWords = 16;      // word 7
inline constexpr std::size_t kPlexWords = 262144;  // 2 MiB of records
inline constexpr std::size_t kErroutLines = 10;
inline constexpr std::size_t kMaxwrtLines = 20;
inline constexpr std::size_t kLineChars = 80;

// Fixed values the host puts into its blocks at the start of a run.
inline constexpr std::int32_t kDefaultReportUnit = 21;
inline constexpr ftn::Int kMissingInteger = 2147483647;
inline constexpr ftn::Int kDefaultDiagnosticLevel = 4;
inline constexpr ftn::Real kRmiss = 1.0E35;
inline constexpr ftn::Real kSmallestFlow = 1.0E-12;       // kmol/s
inline constexpr ftn::Real kRootXTolerance = 1.0E-6;      // K
inline constexpr ftn::Real kRootIterationLimit = 100.0;
inline constexpr ftn::Real kGasConstant = 8314.462618;    // J/(kmol K)

// Word n (counted from 1) of a block.
inline ftn::Word& word(ftn::Word* block, std::size_t n) { return block[n - 1]; }

// Word n (counted from 1) of the plex; n must lie in 1..kPlexWords.
ftn::Word& plex(ftn::Int n);

// Puts every block into its state at the start of a run: zeros, then the
// fixed values above.
void reset_blocks();

}  // namespace elvar
