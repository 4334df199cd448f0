// The solution dictionary "EQSOLN.TXT": which four-character code and which
// phase kind belong to each data-file solution phase.
#pragma once

#include <string>
#include <string_view>

#include "fortran.hpp"
#include "report.hpp"

namespace eqlink {

// The dictionary's file name: a file of this name in the working directory
// is read instead of the installed one.
inline constexpr std::string_view kDictionaryName = "EQSOLN.TXT";

// Reads the dictionary into NDICT, IDTYPE, DCODE and DNAME of EQLINK_ELVCA:
// the copy in the current directory when there is one, else the one
// installed under the host's top directory. Reports under `id` at
// diagnostic level `level`. Returns false, after reporting why, when neither
// file can be opened or the file is malformed or holds more entries than fit.
bool load_dictionary(const RoutineId& id, ftn::Int level);

// One entry line: the kind digit in column 1 (1, 2 or 3), the code in
// columns 6-9, the phase name in columns 14-37 (blank-padded as read).
// False when the kind is not 1, 2 or 3.
struct DictionaryEntry {
    ftn::Int kind = 0;
    std::string code, name;
};
bool dictionary_entry(std::string_view record, DictionaryEntry& entry);
// The number of entries: the first item of line 2 as an integer.
bool dictionary_count(std::string_view record, ftn::Int& n);

// The path of the installed dictionary: the host's top directory followed by
// "/xeq/EQSOLN.TXT".
std::string installed_dictionary_path();

}  // namespace eqlink
