// Any bytes as a .cst file, the checksum not verified so that damaged
// structure reaches the checks behind it: a System or a DataError.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "data/cst.hpp"
#include "data/read_dat.hpp"
#include "exercise.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    try {
        eqcore::fuzz::exercise(eqcore::read_cst_bytes(bytes, "fuzz.cst", false).system);
    } catch (const eqcore::DataError&) {
    }
    return 0;
}
