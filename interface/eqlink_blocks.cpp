#include "eqlink_blocks.hpp"

#include <algorithm>
#include <iterator>

namespace {

// No data file named and tracing off until the host says otherwise. The file
// name starts blank rather than as zero bytes, so that a host that never
// writes it is read as having named none.
constexpr EqlinkConfig initial_config() {
    EqlinkConfig c{};
    std::fill(std::begin(c.EQLINK_FILEN.c), std::end(c.EQLINK_FILEN.c), ' ');
    c.LDEBUG = ftn::kFalse;
    return c;
}

}  // namespace

extern "C" {
constinit EqlinkConfig EQLINK_CONFIG = initial_config();
// Zero until the mapping fills it at start-up.
constinit EqlinkElvca EQLINK_ELVCA{};
}
