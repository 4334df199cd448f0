// Any bytes as a .dat file: a System or a DataError, nothing else.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "data/read_dat.hpp"
#include "exercise.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    try {
        eqcore::fuzz::exercise(eqcore::read_dat(in, "fuzz.dat"));
    } catch (const eqcore::DataError&) {
    }
    return 0;
}
