// The solution codes a run will use: the solution dictionary the plug-in
// reads ("EQSOLN.TXT" in the working directory when there is one, else the
// installed one), read the same way, for listing and checking mapping names.
#pragma once

#include <string>
#include <vector>

#include "dictionary.hpp"
#include "mapping_names.hpp"

namespace eqlink_tool {

struct SolutionDictionary {
    std::string path;    // the file read; empty when none could be opened
    bool local = false;  // the copy in the working directory, which overrides the installed one
    std::vector<eqlink::DictionaryEntry> entries;  // up to the first malformed line
};

SolutionDictionary read_solution_dictionary();

// The first entry whose name or code is the phase name, as the mapping
// looks it up; default_code without one.
CodeLookup code_lookup(const SolutionDictionary& d);

}  // namespace eqlink_tool
