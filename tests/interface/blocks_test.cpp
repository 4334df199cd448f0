// The exported blocks as the host sees them: bytes at fixed offsets.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "eqlink_blocks.hpp"
#include "saved_blocks.hpp"

namespace {

template <class T>
T raw(const void* block, std::size_t offset) {
    T v;
    std::memcpy(&v, static_cast<const unsigned char*>(block) + offset, sizeof v);
    return v;
}
std::string raw_text(const void* block, std::size_t offset, std::size_t n) {
    return {reinterpret_cast<const char*>(block) + offset, n};
}

TEST(Blocks, StartWithNoFileNamedNoTraceAndAnEmptyMap) {
    EXPECT_EQ(EQLINK_CONFIG.EQLINK_FILEN.full(), std::string(256, ' '));
    EXPECT_FALSE(ftn::truth(EQLINK_CONFIG.LDEBUG));
    EXPECT_EQ(EQLINK_ELVCA.NMAP, 0);
    EXPECT_EQ(eqlink::map_record(1).component, 0);
    EXPECT_EQ(EQLINK_ELVCA.NDICT, 0);
}

// Offsets written out from the field list: 1500 reals, 1500 x 24 and
// 1500 x 12 characters, two integers, 1500 x 5 integers, 1500 integers,
// two integers, 200 integers, 200 x 4 and 200 x 24 characters.
TEST(Blocks, FieldsLieAtTheOffsetsTheHostReads) {
    SavedBlocks saved;
    EQLINK_CONFIG.EQLINK_FILEN.assign("examples/h-o.dat");
    EQLINK_CONFIG.LDEBUG = ftn::kTrue;
    EXPECT_EQ(raw_text(&EQLINK_CONFIG, 0, 17), "examples/h-o.dat ");
    EXPECT_EQ(raw<std::int64_t>(&EQLINK_CONFIG, 256), -1);

    const void* b = &EQLINK_ELVCA;
    eqlink::mwfac(1500) = 2.5;
    eqlink::phname(2).assign("LIQUID");
    EQLINK_ELVCA.MAPFRM[0].assign("H2O");
    EQLINK_ELVCA.NPH = 7;
    EQLINK_ELVCA.NMAP = 3;
    eqlink::map_record(3) = {4, 5, 6, 2, 0};
    eqlink::map_record(1500).scratch = 9;
    eqlink::nphcmp(1500) = 11;
    EQLINK_ELVCA.NDICT = 12;
    eqlink::idtype(200) = 3;
    eqlink::dcode(1).assign("SLAG");
    eqlink::dname(200).assign("SLAG-LIQ");

    EXPECT_EQ(raw<double>(b, 1499 * 8), 2.5);
    EXPECT_EQ(raw_text(b, 12000 + 24, 24), "LIQUID                  ");
    EXPECT_EQ(raw_text(b, 48000, 12), "H2O         ");
    EXPECT_EQ(raw<std::int64_t>(b, 66000), 7);
    EXPECT_EQ(raw<std::int64_t>(b, 66008), 3);
    const std::size_t record3 = 66016 + 2 * 40;
    EXPECT_EQ(raw<std::int64_t>(b, record3 + 0), 4);
    EXPECT_EQ(raw<std::int64_t>(b, record3 + 8), 5);
    EXPECT_EQ(raw<std::int64_t>(b, record3 + 16), 6);
    EXPECT_EQ(raw<std::int64_t>(b, record3 + 24), 2);
    EXPECT_EQ(raw<std::int64_t>(b, 66016 + 1499 * 40 + 32), 9);
    EXPECT_EQ(raw<std::int64_t>(b, 126016 + 1499 * 8), 11);
    EXPECT_EQ(raw<std::int64_t>(b, 138024), 12);
    EXPECT_EQ(raw<std::int64_t>(b, 138032 + 199 * 8), 3);
    EXPECT_EQ(raw_text(b, 139632, 4), "SLAG");
    EXPECT_EQ(raw_text(b, 140432 + 199 * 24, 24), "SLAG-LIQ                ");
    EXPECT_EQ(sizeof EQLINK_ELVCA, 145232u);
}

}  // namespace
