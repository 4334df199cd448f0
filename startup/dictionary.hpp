// The solution dictionary "EQSOLN.TXT": which four-character code and which
// phase kind belong to each data-file solution phase.
#pragma once

#include "fortran.hpp"
#include "report.hpp"

namespace eqlink {

// Reads the dictionary into NDICT, IDTYPE, DCODE and DNAME of EQLINK_ELVCA:
// the copy in the current directory when there is one, else the one
// installed under the host's top directory. Reports under `id` at
// diagnostic level `level`. Returns false, after reporting why, when neither
// file can be opened or the file is malformed or holds more entries than fit.
bool load_dictionary(const RoutineId& id, ftn::Int level);

// The path of the installed dictionary: the host's top directory followed by
// "/xeq/EQSOLN.TXT".
std::string installed_dictionary_path();

}  // namespace eqlink
