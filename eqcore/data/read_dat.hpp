// Readers and writer of thermochemical data files. Every failure throws
// eqcore::DataError naming the file, the line, the field and what was
// expected; nothing is ever read or written out of bounds.
#pragma once

#include <istream>
#include <stdexcept>
#include <string>

#include "data/system.hpp"

namespace eqcore {

class DataError : public std::runtime_error {
public:
    DataError(std::string file, int line, std::string what)
        : std::runtime_error(file + ":" + std::to_string(line) + ": " + what),
          file_(std::move(file)), line_(line) {}
    const std::string& file() const { return file_; }
    int line() const { return line_; }

private:
    std::string file_;
    int line_;
};

// The ASCII .dat format. `name` is used in error messages.
System read_dat(const std::string& path);
System read_dat(std::istream& in, const std::string& name);

}  // namespace eqcore
