// Conditions through the entry points: numbers, replacement, removal,
// values in the units in force.
#include "abi/entry.hpp"
#include "ec_calls.hpp"

namespace ectest {
namespace {

Int ecsetc(std::string name, Int p, Int c, Real v, Int* number) {
    Int e = -1;
    PPSTUB_ECSETC(name.data(), &p, &c, &v, number, &e, name.size());
    return e;
}
Int ecscnd(std::string name, Int index, Real v) {
    Int e = -1;
    PPSTUB_ECSCND(name.data(), &index, &v, &e, name.size());
    return e;
}
Int ecrmc(Int n) {
    Int e = -1;
    PPSTUB_ECRMC(&n, &e);
    return e;
}

class Conditions : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        ASSERT_EQ(load(example("ag-cu-example.dat")), 0);
    }
    const eqcore::Session& s = eqcore::abi::session();
};

TEST_F(Conditions, NumbersReplacementAndValuesInUnits) {
    EXPECT_EQ(s.temperature(), 1000.0);
    EXPECT_EQ(s.pressure(), 1.0e5);
    Int n = 0;
    ASSERT_EQ(ecsetc("T", 0, 0, 1400.0, &n), 0);
    EXPECT_EQ(n, 1);
    ASSERT_EQ(ecsetc(field("P", 2), 0, 0, 2.0, &n), 0);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(s.pressure(), 2.0e5);
    ASSERT_EQ(ecunit("temperature", "C"), 0);
    ASSERT_EQ(ecsetc("t", 0, 0, 100.0, &n), 0);  // replaces T, keeps its number
    EXPECT_EQ(n, 1);
    EXPECT_DOUBLE_EQ(s.temperature(), 373.15);
    ASSERT_EQ(ecunit("energy", "kJ"), 0);
    ASSERT_EQ(ecscnd("H ", 0, -12.5), 0);
    ASSERT_EQ(ecscnd("A ", 2, -1.0), 0);
    ASSERT_EQ(s.conditions().size(), 4u);
    EXPECT_EQ(s.find_condition(eqcore::ConditionKind::enthalpy)->value, -12500.0);
    const eqcore::Condition* a = s.find_condition(eqcore::ConditionKind::target);
    EXPECT_EQ(a->phase, 1);
    EXPECT_EQ(a->constituent, -1);
    EXPECT_EQ(a->value, -1.0);
    ASSERT_EQ(ecscnd("A", 3, 0.0), 0);  // one target at a time
    EXPECT_EQ(s.find_condition(eqcore::ConditionKind::target)->phase, 2);
    EXPECT_EQ(s.conditions().size(), 4u);
}

TEST_F(Conditions, RemovingOneOrAll) {
    Int n = 0;
    ASSERT_EQ(ecsetc("T", 0, 0, 1400.0, &n), 0);
    ASSERT_EQ(ecsetc("P", 0, 0, 2.0, &n), 0);
    ASSERT_EQ(ecscnd("H", 0, 5.0), 0);
    ASSERT_EQ(ecstdf("S", 300.0, 1.0), 0);
    ASSERT_EQ(ecrmc(1), 0);  // T: back to 1000 K; P moves to number 1
    EXPECT_EQ(s.temperature(), 1000.0);
    EXPECT_EQ(s.pressure(), 2.0e5);
    ASSERT_EQ(ecrmc(1), 0);
    EXPECT_EQ(s.pressure(), 1.0e5);
    EXPECT_EQ(ecrmc(2), 31);  // only one is left
    EXPECT_EQ(ecrmc(0), 31);
    ASSERT_EQ(ecsetc("T", 0, 0, 1400.0, &n), 0);
    ASSERT_EQ(ecrmc(-2), 0);
    EXPECT_TRUE(s.conditions().empty());
    EXPECT_EQ(s.temperature(), 1000.0);
    EXPECT_EQ(s.streams().size(), 1u);  // streams are not conditions
    EXPECT_EQ(ecrmc(-1), 0);
}

TEST_F(Conditions, BadConditionsAreRefused) {
    Int n = 77;
    EXPECT_EQ(ecsetc("X", 0, 0, 1.0, &n), 30);
    EXPECT_EQ(n, 77);
    EXPECT_EQ(ecsetc("T", 0, 0, -1.0, &n), 33);
    EXPECT_EQ(ecsetc("P", 0, 0, 0.0, &n), 33);
    EXPECT_EQ(ecscnd("A", 9, 0.0), 21);  // no phase 9
    EXPECT_EQ(ecsetc("A", 3, 2, 0.0, &n), 22);  // Ag(s) has one constituent
    EXPECT_TRUE(s.conditions().empty());
}

}  // namespace
}  // namespace ectest
