#include "eqlink_config.hpp"

#include "eqlink_blocks.hpp"
#include "fortran.hpp"

namespace elvar {

void write_data_file(std::string_view path) { EQLINK_CONFIG.EQLINK_FILEN.assign(path); }
void write_trace(bool on) { EQLINK_CONFIG.LDEBUG = ftn::logical(on); }
bool read_trace() { return ftn::truth(EQLINK_CONFIG.LDEBUG); }

}  // namespace elvar
