// A component's identifier is read from the two plex words that the host's
// identifier table gives it.
#include <gtest/gtest.h>

#include "component_text.hpp"
#include "host_services.hpp"

namespace {

TEST(ComponentText, IdentifierIsTheFirstFourCharactersOfItsTwoPlexWords) {
    // The table starts after plex word 10: component 3 owns words 15 and 16.
    DMS_IPOFF4[1].set_i(10);
    DMS_PLEX[13].set_chars("XXXXXXXX");  // word 14: component 2's second word
    DMS_PLEX[14].set_chars("WATEXXXX");  // only the first four characters count
    DMS_PLEX[15].set_chars("R");
    DMS_PLEX[16].set_chars("YYYYYYYY");  // word 17: component 4's first word
    EXPECT_EQ(eqlink::component_identifier(3), "WATER   ");
}

}  // namespace
