#include "load.hpp"

#include <fstream>
#include <sstream>

#include "data/cst.hpp"
#include "data/read_dat.hpp"

namespace eqcore::python {

std::shared_ptr<const System> load_bytes(std::string_view bytes, const std::string& name) {
    if (bytes.substr(0, 5) == "EQCST") return std::make_shared<const System>(read_cst_bytes(bytes, name).system);
    std::istringstream in{std::string(bytes)};
    return std::make_shared<const System>(read_dat(in, name));
}

std::shared_ptr<const System> load_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw DataError(path, 0, "cannot open the data file for reading");
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(0, std::ios::beg);
    if (size < 0) throw DataError(path, 0, "cannot read the data file");
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (!in.read(bytes.data(), size)) throw DataError(path, 0, "cannot read the data file");
    return load_bytes(bytes, path);
}

}  // namespace eqcore::python
