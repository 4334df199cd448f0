// The binary .cst format: a loaded System in compiled form, fast to load.
//
// Layout (all integers little-endian, reals IEEE-754 binary64 little-endian,
// strings as a 32-bit length and the bytes):
//   magic   8 bytes "EQCST\r\n\x1a" (the CR LF and ^Z reveal text-mode damage)
//   u32     format version
//   u64     payload length in bytes
//   payload the header (CstHeader, below), then the System
//   u64     checksum of the payload (cst_checksum below)
// Reading checks the magic, the version, the checksum, every count against
// the size limits and the bytes left, and the System's invariants; any
// failure is a DataError naming the file and the byte offset.
#pragma once

#include <array>
#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>

#include "data/system.hpp"

namespace eqcore {

// The first bytes of every .cst file.
inline constexpr std::string_view kCstMagic("EQCST\r\n\x1a", 8);
// Version 2 adds sublattices and magnetic terms, version 3 the data of
// quasichemical (SUBG, SUBQ) and ionic (SUBI) liquids, version 4 the
// weights and groups of QKTO species, version 5 the interpolation overrides
// of QKTO phases; older files are still read.
inline constexpr int kCstFormatVersion = 5;
// Version of this reader; a file may ask for a newer one.
inline constexpr std::array<int, 3> kCstReaderVersion = {1, 0, 0};
inline constexpr std::size_t kCstWriterLength = 40;
inline constexpr std::size_t kCstRemarksLength = 80;

struct CstHeader {
    int format_version = kCstFormatVersion;   // set by the writer
    std::string writer;                       // program that wrote the file, up to 40 characters
    std::array<int, 3> writer_version{};      // its version, major minor patch
    std::array<int, 3> min_reader_version{};  // oldest reader version that can read the file
    std::array<int, 6> created{};             // year, month, day, hour, minute, second
    std::string remarks;                      // free text, up to 80 characters
    bool operator==(const CstHeader&) const = default;
};

struct CstFile {
    System system;
    CstHeader header;
};

// Writes the system; header strings longer than their limits are an error
// (std::invalid_argument), as is a stream that fails (DataError).
void write_cst(const System& sys, const CstHeader& header, std::ostream& out);
void write_cst(const System& sys, const CstHeader& header, const std::string& path);

CstFile read_cst(const std::string& path);
CstFile read_cst(std::istream& in, const std::string& name);
// From bytes in memory. `verify_checksum` false lets the fuzzer reach the
// structure checks behind the checksum; every other caller keeps it.
CstFile read_cst_bytes(std::string_view bytes, const std::string& name, bool verify_checksum = true);

// The payload checksum, a word-wise FNV-1a 64: each step is
// h ^= w; h *= 0x100000001b3; h ^= h >> 32 (the shift brings high bits down
// to the low ones), w a little-endian 64-bit word. Whole 32-byte blocks go
// through four lanes (word k of a block into lane k, lanes starting from the
// FNV offset basis xor 0, 1, 2, 3); then the four lanes, the remaining whole
// words, the last partial word zero-padded and the length are stepped into
// one hash started from the basis. Several times faster than the bytewise
// form, which matters because loading must be fast.
std::uint64_t cst_checksum(std::string_view bytes);

}  // namespace eqcore
