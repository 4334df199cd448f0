// The plug-in's configuration block, which the host writes into. The host
// tests run without the plug-in, so they define the block themselves, with
// the plug-in's layout: 256 characters, then one 8-byte logical.
#include "fortran.hpp"

extern "C" {
struct EqlinkConfigForTests {
    char filen[256];
    ftn::Logical ldebug;
};
EqlinkConfigForTests EQLINK_CONFIG;
}
