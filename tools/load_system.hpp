// Loads a chemical system from a data file for the commands that use the
// engine directly: the ASCII format by default, the compiled binary format
// when the name ends in ".cst" (any case).
#pragma once

#include <string>

#include "data/system.hpp"

namespace eqlink_tool {

bool is_compiled_file(const std::string& path);
// True when the plug-in accepts the name: it reads a data file by its
// extension, ".dat" as text and ".cst" as compiled (any case), and refuses
// any other.
bool eqlink_reads(const std::string& path);

// Throws InputError naming the file (and the line and field for a reader
// error) when the file is missing or cannot be read.
eqcore::System load_system(const std::string& path);

// The chemical formula of a constituent from its stoichiometry, e.g. "CH4",
// "Fe0.947O"; the elements in the data file's order; `factor` formula units.
std::string constituent_formula(const eqcore::System& sys, int constituent, double factor = 1.0);

}  // namespace eqlink_tool
