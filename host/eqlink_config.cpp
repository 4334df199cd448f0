#include "eqlink_config.hpp"

#include "fortran.hpp"

// The plug-in's layout of the block: 256 characters, then one logical.
extern "C" {
struct EqlinkConfigBlock {
    char filen[elvar::kDataFileChars];
    ftn::Logical ldebug;
};
extern EqlinkConfigBlock EQLINK_CONFIG;
}

namespace elvar {

void write_data_file(std::string_view path) {
    ftn::fill(EQLINK_CONFIG.filen, kDataFileChars, path);
}
void write_trace(bool on) { EQLINK_CONFIG.ldebug = ftn::logical(on); }
bool read_trace() { return ftn::truth(EQLINK_CONFIG.ldebug); }

}  // namespace elvar
