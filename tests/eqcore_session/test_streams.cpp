// Streams through the entry points: properties as they enter against hand
// computations from the data file, redefinition, added amounts, removal.
#include "ec_calls.hpp"
#include "hand_agcu.hpp"

namespace ectest {
namespace {

// Phases of ag-cu-example.dat: 1 GAS {Ag, Cu}, 2 LIQUID {Ag(liq), Cu(liq)},
// 3 Ag(s), 4 Cu(s).
class AgCuStreams : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        ASSERT_EQ(load(example("ag-cu-example.dat")), 0);
    }
    // H, S, G, V, Cp of a stream compared with the hand values (default
    // units: J, J/K, dm3) to 1e-9 relative.
    static void expect_props(const std::string& stream, const hand::Props& p) {
        const std::pair<const char*, double> expected[] = {
            {"H", p.H}, {"S", p.S}, {"G", p.G}, {"V", p.V * 1e3}, {"Cp", p.Cp}};
        for (auto [name, value] : expected) {
            Int err = -1;
            const Real got = ecstpr(field(stream, 8), name, &err);
            ASSERT_EQ(err, 0) << stream << " " << name;
            EXPECT_NEAR(got, value, 1e-9 * std::abs(value) + 1e-12) << stream << " " << name;
        }
    }
    static constexpr Real T1 = 1100.0, P1 = 3.0;   // K, bar (Ag(s) in its first range)
    static constexpr Real T2 = 1400.0, P2 = 0.5;   // Ag(s) in its second range
};

TEST_F(AgCuStreams, EachPhaseAndTheirSumMatchTheHandValues) {
    ASSERT_EQ(ecstdf("GAS", T1, P1), 0);
    ASSERT_EQ(ecstam("GAS", 1, 1, 0.25), 0);
    ASSERT_EQ(ecstam("GAS", 1, 2, 0.75), 0);
    ASSERT_EQ(ecstdf("LIQ", T1, P1), 0);
    ASSERT_EQ(ecstam("LIQ", 2, 1, 0.6), 0);
    ASSERT_EQ(ecstam("LIQ", 2, 2, 0.4), 0);
    ASSERT_EQ(ecstdf("SOLID", T1, P1), 0);
    ASSERT_EQ(ecstam("SOLID", 3, 1, 2.0), 0);
    ASSERT_EQ(ecstdf("MIX", T1, P1), 0);
    ASSERT_EQ(ecstam("MIX", 3, 1, 2.0), 0);
    ASSERT_EQ(ecstam("MIX", 2, 2, 0.4), 0);
    ASSERT_EQ(ecstam("MIX", 1, 1, 0.25), 0);
    ASSERT_EQ(ecstam("MIX", 2, 1, 0.6), 0);
    ASSERT_EQ(ecstam("MIX", 1, 2, 0.75), 0);

    const hand::Props gas = hand::gas(0.25, 0.75, T1, P1 * 1e5);
    const hand::Props liq = hand::liquid(0.6, 0.4, T1);
    const hand::Props solid = hand::ag_solid(2.0, T1);
    expect_props("GAS", gas);
    expect_props("LIQ", liq);
    expect_props("SOLID", solid);
    hand::Props all = gas;
    all += liq;
    all += solid;
    expect_props("MIX", all);
}

TEST_F(AgCuStreams, CpIsTheSlopeOfHAndGIsHMinusTS) {
    // The whole stream (gas, RKMP liquid, solid) checked against itself:
    // Cp by a central difference of H at fixed amounts, G = H - T S.
    const Real dT = 1e-3;
    for (auto [name, T] : {std::pair{"LOW", T1 - dT}, std::pair{"MID", T1}, std::pair{"HIGH", T1 + dT}}) {
        ASSERT_EQ(ecstdf(name, T, P1), 0);
        ASSERT_EQ(ecstam(name, 1, 1, 0.25), 0);
        ASSERT_EQ(ecstam(name, 1, 2, 0.75), 0);
        ASSERT_EQ(ecstam(name, 2, 1, 0.6), 0);
        ASSERT_EQ(ecstam(name, 2, 2, 0.4), 0);
        ASSERT_EQ(ecstam(name, 3, 1, 2.0), 0);
    }
    const Real cp = ecstpr("MID", "Cp");
    EXPECT_NEAR((ecstpr("HIGH", "H") - ecstpr("LOW", "H")) / (2 * dT), cp, 1e-5 * cp);
    const Real g = ecstpr("MID", "G");
    EXPECT_NEAR(ecstpr("MID", "H") - T1 * ecstpr("MID", "S"), g, 1e-12 * std::abs(g));
}

TEST_F(AgCuStreams, EmptyStreamIsZero) {
    ASSERT_EQ(ecstdf("EMPTY", T1, P1), 0);
    expect_props("EMPTY", hand::Props{});
}

TEST_F(AgCuStreams, RedefiningKeepsAmountsAndTakesTheNewState) {
    ASSERT_EQ(ecstdf("S", T1, P1), 0);
    ASSERT_EQ(ecstam("S", 1, 1, 0.25), 0);
    ASSERT_EQ(ecstam("S", 1, 2, 0.75), 0);
    ASSERT_EQ(ecstam("S", 3, 1, 2.0), 0);
    hand::Props at1 = hand::gas(0.25, 0.75, T1, P1 * 1e5);
    at1 += hand::ag_solid(2.0, T1);
    expect_props("S", at1);
    ASSERT_EQ(ecstdf("S", T2, P2), 0);
    hand::Props at2 = hand::gas(0.25, 0.75, T2, P2 * 1e5);
    at2 += hand::ag_solid(2.0, T2);
    expect_props("S", at2);
    // Properties asked by turns at two temperatures: each answer belongs to
    // its own stream's state, never to the one asked before it.
    ASSERT_EQ(ecstdf("R", T1, P1), 0);
    ASSERT_EQ(ecstam("R", 1, 1, 0.25), 0);
    ASSERT_EQ(ecstam("R", 1, 2, 0.75), 0);
    ASSERT_EQ(ecstam("R", 3, 1, 2.0), 0);
    for (int turn = 0; turn < 2; ++turn) {
        expect_props("R", at1);
        expect_props("S", at2);
    }
}

TEST_F(AgCuStreams, AmountsOfOneConstituentAreAdded) {
    ASSERT_EQ(ecstdf("S", T1, P1), 0);
    ASSERT_EQ(ecstam("S", 2, 1, 0.35), 0);
    ASSERT_EQ(ecstam("S", 2, 2, 0.4), 0);
    ASSERT_EQ(ecstam("S", 2, 1, 0.25), 0);
    expect_props("S", hand::liquid(0.6, 0.4, T1));
}

TEST_F(AgCuStreams, NamesAreComparedExactlyWithTrailingBlanksIgnored) {
    ASSERT_EQ(ecstdf(field("THERMO", 6), T1, P1), 0);
    ASSERT_EQ(ecstam(field("THERMO", 24), 3, 1, 2.0), 0);  // same stream, longer field
    expect_props("THERMO", hand::ag_solid(2.0, T1));
    Int err = 0;
    ecstpr("thermo", "H", &err);
    EXPECT_EQ(err, 40);  // case matters for stream names
    ecstpr(" THERMO", "H", &err);
    EXPECT_EQ(err, 40);  // leading blanks are part of the name
    // Property names ignore case and trailing blanks.
    EXPECT_DOUBLE_EQ(ecstpr("THERMO", "cp"), ecstpr("THERMO", field("Cp", 2)));
    EXPECT_DOUBLE_EQ(ecstpr("THERMO", "h   "), ecstpr("THERMO", "H"));
}

TEST_F(AgCuStreams, RemovingOneOrAll) {
    for (const char* s : {"A", "B", "C"}) ASSERT_EQ(ecstdf(s, T1, P1), 0);
    ASSERT_EQ(ecstdl(field("B", 6)), 0);
    Int err = 0;
    ecstpr("B", "H", &err);
    EXPECT_EQ(err, 40);
    ecstpr("A", "H", &err);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(ecstdl("B"), 0);  // a stream that is gone: nothing to do
    ASSERT_EQ(ecstdl(" "), 0);  // one blank: every stream
    for (const char* s : {"A", "C"}) {
        ecstpr(s, "H", &err);
        EXPECT_EQ(err, 40) << s;
    }
    // A removed stream starts afresh when defined again.
    ASSERT_EQ(ecstdf("A", T1, P1), 0);
    EXPECT_EQ(ecstpr("A", "H"), 0.0);
}

TEST_F(AgCuStreams, BadStreamInputIsRefusedWithItsOwnError) {
    Int err = 0;
    EXPECT_EQ(ecstdf(" ", T1, P1), 42);    // blank name
    EXPECT_EQ(ecstdf("S", -5.0, P1), 33);  // T below 0 K
    EXPECT_EQ(ecstdf("S", T1, 0.0), 33);   // P not positive
    EXPECT_EQ(ecstam("NOPE", 1, 1, 1.0), 40);
    ASSERT_EQ(ecstdf("S", T1, P1), 0);
    EXPECT_EQ(ecstam("S", 1, 1, -1.0), 44);
    EXPECT_EQ(ecstam("S", 1, 3, 1.0), 22);  // GAS has two constituents
    EXPECT_EQ(ecstam("S", 5, 1, 1.0), 21);  // four phases
    EXPECT_EQ(ecstam("S", 0, 1, 1.0), 21);
    ecstpr("S", "U", &err);
    EXPECT_EQ(err, 43);
    const auto lines = ecerr();
    EXPECT_EQ(lines[0], "EQCORE error 43: unknown stream property");
    EXPECT_EQ(lines[1], "property 'U' (known: H, S, G, V, Cp)");
    // Failed calls changed nothing.
    EXPECT_EQ(ecstpr("S", "H"), 0.0);
}

// A stream's properties come from the same G(T) data as a calculation and
// are refused where a calculation is: outside [TLOW, THIGH] (200 and 6000 K
// by default), also when the limits change after the stream was defined.
TEST_F(AgCuStreams, TemperaturesOutsideTheLimitsAreRefused) {
    EXPECT_EQ(ecstdf("HOT", 1.0e6, P1), 53);
    EXPECT_EQ(ecerr()[1], "temperature 1000000 K of stream 'HOT' outside the limits 200 K to 6000 K");
    EXPECT_EQ(ecstdf("COLD", 150.0, P1), 53);
    ASSERT_EQ(ecstdf("S", 6000.0, P1), 0);  // the limits themselves are inside
    ASSERT_EQ(ecstam("S", 1, 1, 1.0), 0);
    Int err = -1;
    ecstpr("S", "H", &err);
    EXPECT_EQ(err, 0);
    ASSERT_EQ(eclim("THIGH", 5000.0), 0);
    ecstpr("S", "H", &err);
    EXPECT_EQ(err, 53);
}

TEST_F(AgCuStreams, AtMostOneHundredStreams) {
    for (int i = 1; i <= 100; ++i) {
        std::string name = std::to_string(i);
        name.insert(name.begin(), 'S');
        ASSERT_EQ(ecstdf(name, T1, P1), 0) << i;
    }
    EXPECT_EQ(ecstdf("S101", T1, P1), 41);
    EXPECT_EQ(ecstdf("S100", T2, P2), 0);  // an existing one may still be redefined
}

}  // namespace
}  // namespace ectest
