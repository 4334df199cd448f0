// Units in force: every unit of every quantity, natively and through the
// entry points (an ideal-gas stream shows T, P, V, energy and amount).
#include "ec_calls.hpp"

#include <vector>
#include "hand_agcu.hpp"
#include "session/units.hpp"

namespace ectest {
namespace {

// Values out of the engine (results) use the inverse conversions: every
// unit must give back what went in.
TEST(Units, EveryUnitRoundTrips) {
    const std::pair<const char*, std::vector<const char*>> table[] = {
        {"pressure", {"Pa", "kPa", "bar", "atm", "psi"}}, {"temperature", {"K", "C", "F"}},
        {"volume", {"m3", "dm3", "l"}}, {"energy", {"J", "kJ", "cal", "kcal"}}, {"amount", {"mol", "kmol", "g", "kg"}}};
    const double x = 123.456, molar_mass = 63.546;
    for (const auto& [quantity, names] : table) {
        for (const char* name : names) {
            eqcore::Units u;
            u.set(quantity, name);
            const double back[] = {u.pressure_from_si(u.pressure_to_si(x)),
                                   u.temperature_from_si(u.temperature_to_si(x)),
                                   u.volume_from_si(u.volume_to_si(x)), u.energy_from_si(u.energy_to_si(x)),
                                   u.entropy_from_si(u.entropy_to_si(x)),
                                   u.amount_from_mol(u.amount_to_mol(x, molar_mass), molar_mass)};
            for (double b : back) EXPECT_NEAR(b, x, 1e-12 * x) << quantity << " " << name;
        }
    }
}

// One ideal-gas stream of 0.25 mol Ag and 0.75 mol Cu at 1100 K and 3 bar,
// described in other units each time.
class UnitsThroughEntryPoints : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        ASSERT_EQ(load(example("ag-cu-example.dat")), 0);
    }
    hand::Props gas = hand::gas(0.25, 0.75, 1100.0, 3.0e5);
    void define(Real T, Real P, Real nAg, Real nCu) {
        ASSERT_EQ(ecstdl(" "), 0);
        ASSERT_EQ(ecstdf("G", T, P), 0);
        ASSERT_EQ(ecstam("G", 1, 1, nAg), 0);
        ASSERT_EQ(ecstam("G", 1, 2, nCu), 0);
    }
};

TEST_F(UnitsThroughEntryPoints, TemperatureAndPressureUnits) {
    const std::pair<const char*, Real> temperatures[] = {{"K", 1100.0}, {"C", 826.85}, {"F", 1520.33}};
    for (auto [unit, T] : temperatures) {
        ASSERT_EQ(ecunit("temperature", unit), 0);
        define(T, 3.0, 0.25, 0.75);
        EXPECT_NEAR(ecstpr("G", "V"), gas.V * 1e3, 1e-9 * gas.V * 1e3) << unit;
        EXPECT_NEAR(ecstpr("G", "G"), gas.G, 1e-9 * std::abs(gas.G)) << unit;
    }
    ASSERT_EQ(ecunit("temperature", "K"), 0);
    const std::pair<const char*, Real> pressures[] = {
        {"Pa", 3.0e5}, {"kPa", 300.0}, {"bar", 3.0}, {"atm", 3.0e5 / 101325.0}, {"psi", 3.0e5 / 6894.757293168361}};
    for (auto [unit, P] : pressures) {
        ASSERT_EQ(ecunit("pressure", unit), 0);
        define(1100.0, P, 0.25, 0.75);
        EXPECT_NEAR(ecstpr("G", "V"), gas.V * 1e3, 1e-9 * gas.V * 1e3) << unit;
        EXPECT_NEAR(ecstpr("G", "S"), gas.S, 1e-9 * std::abs(gas.S)) << unit;
    }
}

TEST_F(UnitsThroughEntryPoints, VolumeEnergyAndEntropyUnits) {
    define(1100.0, 3.0, 0.25, 0.75);
    const std::pair<const char*, Real> volumes[] = {{"m3", 1.0}, {"dm3", 1e-3}, {"l", 1e-3}};
    for (auto [unit, f] : volumes) {
        ASSERT_EQ(ecunit("volume", unit), 0);
        EXPECT_NEAR(ecstpr("G", "V"), gas.V / f, 1e-9 * gas.V / f) << unit;
    }
    const std::pair<const char*, Real> energies[] = {{"J", 1.0}, {"kJ", 1e3}, {"cal", 4.184}, {"kcal", 4184.0}};
    for (auto [unit, f] : energies) {
        ASSERT_EQ(ecunit("energy", unit), 0);
        EXPECT_NEAR(ecstpr("G", "H"), gas.H / f, 1e-9 * std::abs(gas.H / f)) << unit;
        EXPECT_NEAR(ecstpr("G", "S"), gas.S / f, 1e-9 * std::abs(gas.S / f)) << unit;
        EXPECT_NEAR(ecstpr("G", "Cp"), gas.Cp / f, 1e-9 * std::abs(gas.Cp / f)) << unit;
    }
    // Entropy and heat capacity per degree of the temperature unit.
    ASSERT_EQ(ecunit("energy", "J"), 0);
    ASSERT_EQ(ecunit("temperature", "F"), 0);
    EXPECT_NEAR(ecstpr("G", "S"), gas.S * 5.0 / 9.0, 1e-9 * gas.S);
    EXPECT_NEAR(ecstpr("G", "Cp"), gas.Cp * 5.0 / 9.0, 1e-9 * gas.Cp);
    ASSERT_EQ(ecunit("temperature", "C"), 0);
    EXPECT_NEAR(ecstpr("G", "S"), gas.S, 1e-9 * gas.S);
}

TEST_F(UnitsThroughEntryPoints, AmountUnitsIncludingMassesFromTheStoichiometry) {
    const Real mAg = 107.8682, mCu = 63.546;  // element masses of the file
    const std::tuple<const char*, Real, Real> amounts[] = {{"mol", 0.25, 0.75},
                                                           {"kmol", 0.25e-3, 0.75e-3},
                                                           {"g", 0.25 * mAg, 0.75 * mCu},
                                                           {"kg", 0.25e-3 * mAg, 0.75e-3 * mCu}};
    for (auto [unit, nAg, nCu] : amounts) {
        ASSERT_EQ(ecunit("amount", unit), 0);
        define(1100.0, 3.0, nAg, nCu);
        EXPECT_NEAR(ecstpr("G", "G"), gas.G, 1e-9 * std::abs(gas.G)) << unit;
    }
}

TEST_F(UnitsThroughEntryPoints, UnknownUnitIsAnErrorAndKeepsTheUnitInForce) {
    EXPECT_EQ(ecunit("pressure", "mmHg"), 2);
    EXPECT_EQ(ecunit("speed", "m/s"), 1);
    EXPECT_EQ(ecerr()[1], "quantity 'speed' (known: pressure, temperature, volume, energy, amount)");
    EXPECT_EQ(ecunit(field("PRESSURE", 12), field("BAR", 8)), 0);  // blank-padded, any case
    define(1100.0, 3.0, 0.25, 0.75);
    EXPECT_NEAR(ecstpr("G", "V"), gas.V * 1e3, 1e-9 * gas.V * 1e3);
}

}  // namespace
}  // namespace ectest
