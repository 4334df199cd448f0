#include "load_system.hpp"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <sstream>

#include "data/cst.hpp"
#include "data/read_dat.hpp"
#include "input_error.hpp"

namespace eqlink_tool {

namespace {

// The last four characters, lower-cased: how the plug-in tells the kinds apart.
std::string extension(const std::string& path) {
    std::string ext = path.substr(path.size() < 4 ? 0 : path.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

}  // namespace

bool is_compiled_file(const std::string& path) { return extension(path) == ".cst"; }

bool eqlink_reads(const std::string& path) { return extension(path) == ".cst" || extension(path) == ".dat"; }

eqcore::System load_system(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        throw InputError(path + ": data file not found");
    try {
        if (is_compiled_file(path)) return eqcore::read_cst(path).system;
        return eqcore::read_dat(path);
    } catch (const eqcore::DataError& e) {
        // The reader's text already names the file, the line and the field.
        throw InputError(e.what());
    }
}

std::string constituent_formula(const eqcore::System& sys, int constituent, double factor) {
    const auto& c = sys.constituents[static_cast<std::size_t>(constituent)];
    std::ostringstream out;
    for (std::size_t j = 0; j < c.stoich.size() && j < sys.elements.size(); ++j) {
        const double n = factor * c.stoich[j];
        if (n == 0.0) continue;
        out << sys.elements[j].symbol;
        if (n != 1.0) out << n;
    }
    return out.str();
}

}  // namespace eqlink_tool
