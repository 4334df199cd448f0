#include <gtest/gtest.h>

#include "eqlink_blocks.hpp"
#include "map_lookup.hpp"
#include "saved_blocks.hpp"

namespace {

using eqlink::FNDCMP;
using eqlink::FNDMAP;
using eqlink::map_record;

// Host components 1 to 6. Component 2 has no EQCORE counterpart, so the gas
// pass put component 3 into record 2; component 3 also has a later record in
// a solution phase; component 6 is a pure phase.
class MapLookup : public ::testing::Test {
protected:
    void SetUp() override {
        map_record(1) = {1, 1, 1, 1, 0};
        map_record(2) = {3, 2, 1, 1, 0};
        map_record(3) = {4, 1, 2, 2, 0};
        map_record(4) = {5, 2, 2, 2, 0};
        map_record(5) = {3, 3, 2, 2, 0};
        map_record(6) = {6, 1, 4, 3, 0};
        EQLINK_ELVCA.NMAP = 6;
    }
    SavedBlocks saved_;
    ftn::Int phase = -99, constituent = -99, component = -99;
};

TEST_F(MapLookup, FndmapFindsTheComponentAtItsOwnRecordOrByTheScan) {
    EXPECT_EQ(FNDMAP(1, phase, constituent), 1);
    EXPECT_EQ(phase, 1);
    EXPECT_EQ(constituent, 1);
    EXPECT_EQ(FNDMAP(6, phase, constituent), 6);
    EXPECT_EQ(phase, 4);
    // Record 4 holds component 5: the scan finds 4 at record 3.
    EXPECT_EQ(FNDMAP(4, phase, constituent), 3);
    EXPECT_EQ(phase, 2);
    EXPECT_EQ(constituent, 1);
    // Component 3 has two records; the scan answers with the earlier.
    EXPECT_EQ(FNDMAP(3, phase, constituent), 2);
    EXPECT_EQ(phase, 1);
    EXPECT_EQ(constituent, 2);
}

TEST_F(MapLookup, FndmapAnswersZeroForComponentsWithoutARecord) {
    for (ftn::Int k : {ftn::Int{2}, ftn::Int{7}, ftn::Int{0}, ftn::Int{-1}, ftn::Int{1501},
                       ftn::Int{1} << 40}) {
        phase = constituent = -99;
        EXPECT_EQ(FNDMAP(k, phase, constituent), 0) << k;
        EXPECT_EQ(phase, 0) << k;
        EXPECT_EQ(constituent, 0) << k;
    }
}

TEST_F(MapLookup, RecordsBeyondNmapAreNotLookedAt) {
    map_record(8) = {8, 1, 1, 1, 0};  // stale, past NMAP
    EXPECT_EQ(FNDMAP(8, phase, constituent), 0);
    EXPECT_EQ(FNDCMP(1, 1, component), 1);
    EQLINK_ELVCA.NMAP = 0;
    EXPECT_EQ(FNDMAP(1, phase, constituent), 0);
    EXPECT_EQ(FNDCMP(1, 1, component), 0);
    EXPECT_EQ(component, 0);
}

TEST_F(MapLookup, AnNmapOutsideTheArrayIsKeptToIt) {
    EQLINK_ELVCA.NMAP = 1 << 20;
    EXPECT_EQ(FNDMAP(1501, phase, constituent), 0);
    EXPECT_EQ(FNDCMP(99, 99, component), 0);
    EXPECT_EQ(FNDMAP(5, phase, constituent), 4);
    EQLINK_ELVCA.NMAP = -3;
    EXPECT_EQ(FNDMAP(5, phase, constituent), 0);
}

TEST_F(MapLookup, FndcmpFindsTheFirstRecordOfAPhaseAndConstituent) {
    EXPECT_EQ(FNDCMP(1, 2, component), 2);
    EXPECT_EQ(component, 3);
    EXPECT_EQ(FNDCMP(2, 3, component), 5);
    EXPECT_EQ(component, 3);
    map_record(7) = {9, 1, 4, 3, 0};  // a second record of phase 4, constituent 1
    EQLINK_ELVCA.NMAP = 7;
    EXPECT_EQ(FNDCMP(4, 1, component), 6);
    EXPECT_EQ(component, 6);
    // Phase and constituent must both match.
    EXPECT_EQ(FNDCMP(1, 3, component), 0);
    EXPECT_EQ(component, 0);
    EXPECT_EQ(FNDCMP(3, 1, component), 0);
}

}  // namespace
