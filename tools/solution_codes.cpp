#include "solution_codes.hpp"

#include <filesystem>
#include <fstream>

#include "names.hpp"

namespace eqlink_tool {

SolutionDictionary read_solution_dictionary() {
    SolutionDictionary d;
    std::error_code ec;
    d.local = std::filesystem::is_regular_file(std::string(eqlink::kDictionaryName), ec);
    d.path = d.local ? std::string(eqlink::kDictionaryName) : eqlink::installed_dictionary_path();
    std::ifstream in(d.path);
    if (!in) {
        d.path.clear();
        return d;
    }
    std::string line;
    ftn::Int n = 0;
    if (!std::getline(in, line) || !std::getline(in, line) || !eqlink::dictionary_count(line, n))
        return d;
    eqlink::DictionaryEntry e;
    for (ftn::Int m = 0; m < n && std::getline(in, line) && eqlink::dictionary_entry(line, e); ++m)
        d.entries.push_back(e);
    return d;
}

CodeLookup code_lookup(const SolutionDictionary& d) {
    return [&d](const std::string& phase_name) {
        const std::string name = phase_name.substr(0, 24);
        for (const auto& e : d.entries)
            if (eqlink::names::padded_equal(e.name, name) ||
                eqlink::names::padded_equal(e.code, name))
                return SolutionCode{e.code, static_cast<int>(e.kind)};
        return default_code(phase_name);
    };
}

}  // namespace eqlink_tool
