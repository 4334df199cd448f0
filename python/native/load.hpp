// Loading a chemical system for the Python package: from a file or from its
// bytes (a cluster worker receives the file's bytes once). The binary .cst
// format is recognised by its leading magic, anything else is read as the
// ASCII .dat format; either way a reader error is an eqcore::DataError
// naming the file, the line and the field.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "data/system.hpp"

namespace eqcore::python {

std::shared_ptr<const System> load_file(const std::string& path);
std::shared_ptr<const System> load_bytes(std::string_view bytes, const std::string& name);

}  // namespace eqcore::python
