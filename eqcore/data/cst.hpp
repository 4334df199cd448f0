// The binary .cst format: a loaded System in compiled form, fast to load.
//
// Layout (all integers little-endian, reals IEEE-754 binary64 little-endian,
// strings as a 32-bit length and the bytes):
//   magic   8 bytes "EQCST\r\n\x1a" (the CR LF and ^Z reveal text-mode damage)
//   u32     format version
//   u64     payload length in bytes
//   payload the header (CstHeader, below), then the System
//   u64     FNV-1a 64 checksum of the payload
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

inline constexpr int kCstFormatVersion = 1;
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

// FNV-1a, 64 bits.
std::uint64_t fnv1a64(std::string_view bytes);

}  // namespace eqcore
