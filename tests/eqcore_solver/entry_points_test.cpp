// The equilibrium through the PPSTUB_EC* entry points, as a Fortran caller
// makes the calls: the reference equilibria with streams at the case's T and
// P, results in the units in force, results never read stale, and the
// listings of ECEQL and ECSHOW pinned by golden text.
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "ec_calls.hpp"
#include "solver_test_util.hpp"

namespace {

using namespace ectest;
using nlohmann::json;

Int ecsetc(std::string name, Real value) {
    Int e = -1, number = 0, zero = 0;
    PPSTUB_ECSETC(name.data(), &zero, &zero, &value, &number, &e, name.size());
    return e;
}
Int ecscnd(std::string name, Int index, Real value) {
    Int e = -1;
    PPSTUB_ECSCND(name.data(), &index, &value, &e, name.size());
    return e;
}
Int eceq(std::string option, Int phase = 0, Real estimate = 0.0, bool listing = false) {
    Int e = -1, c = 0;
    const Real values[2] = {estimate, 0.0};
    if (listing)
        PPSTUB_ECEQL(option.data(), &phase, &c, values, &e, option.size());
    else
        PPSTUB_ECEQ(option.data(), &phase, &c, values, &e, option.size());
    return e;
}
// The value, or NaN with the status in *err.
Real ecres(std::string option, Int phase, Int constituent, Int* err = nullptr) {
    Int e = -1;
    Real v = std::numeric_limits<Real>::quiet_NaN();
    PPSTUB_ECRES(option.data(), &phase, &constituent, &v, &e, option.size());
    if (err) *err = e;
    return e == 0 ? v : std::numeric_limits<Real>::quiet_NaN();
}
Int ecopen(std::string name, Int unit) {
    Int e = -1;
    PPSTUB_ECOPEN(name.data(), &unit, &e, name.size());
    return e;
}
Int ecshow() {
    Int e = -1;
    PPSTUB_ECSHOW(&e);
    return e;
}

constexpr Int kNoCurrentResult = 50;

std::string read_file(const std::string& path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class EquilibriumEntryPoints : public EngineTest {
protected:
    // Loads `data`, defines stream "feed" at T (K) and P (Pa) with gas amounts.
    eqcore::System setup(const std::string& data, const json& feed, double T, double P) {
        EXPECT_EQ(load(example(data.c_str())), 0);
        eqcore::System sys = eqcore::read_dat(example(data.c_str()));
        EXPECT_EQ(ecstdf(field("feed", 24), T, P / 1e5), 0);
        for (auto& [name, mol] : feed.items())
            EXPECT_EQ(ecstam("feed", 1, eqcore::testing::constituent_of(sys, name) + 1, mol.get<double>()), 0) << name;
        return sys;
    }
};

TEST_F(EquilibriumEntryPoints, ReferenceCasesWithStreamsAtTheirTemperature) {
    std::ifstream in(eqcore::testing::reference("equilibria.json"));
    const json all = json::parse(in);
    for (const json& c : all["cases"]) {
        if (c["problem"] != "tp") continue;
        SCOPED_TRACE(c["id"].get<std::string>());
        ASSERT_EQ(ecini(), 0);
        const double T = c["T_K"].get<double>(), P = c["P_Pa"].get<double>();
        const eqcore::System sys = setup(c["data"].get<std::string>(), c["feed_mol"], T, P);
        ASSERT_EQ(ecsetc("T", T), 0);
        ASSERT_EQ(ecsetc("P", P / 1e5), 0);
        ASSERT_EQ(eceq("  "), 0) << ecerr()[1];
        EXPECT_NEAR(ecres("T ", 0, 0), T, 1e-9);
        EXPECT_NEAR(ecres("P ", 0, 0), P / 1e5, 1e-12);
        const json& e = c["expected"];
        double total = 0.0;
        for (auto& [name, mol] : e["moles"].items()) total += mol.get<double>();
        for (auto& [name, mol] : e["moles"].items()) {
            const int g = eqcore::testing::constituent_of(sys, name);
            const int p = sys.constituents[static_cast<std::size_t>(g)].phase;
            const Int k = g - sys.phases[static_cast<std::size_t>(p)].first + 1;
            const double got = ecres("A ", p + 1, k), ref = mol.get<double>();
            EXPECT_NEAR(got, ref, std::max(1e-6 * ref, 1e-9 * total)) << name;
        }
        // Enthalpy of the phases (the streams enter at T, so the heat of the
        // calculation is only the reaction's).
        double H = 0.0;
        for (Int p = 1; p <= sys.phase_count(); ++p) H += ecres("H ", p, 0);
        if (c["id"] != "a_HO_tp_P1_T1000") {  // the reference's H there does not follow from the data
            EXPECT_NEAR(H, e["H_J"].get<double>(), 1e-6 * std::fabs(e["H_J"].get<double>()));
        }
        Int err = -1;
        const double heat = ecres("H ", 0, 0, &err);
        EXPECT_EQ(err, 0);
        EXPECT_NEAR(heat, H - ecstpr("feed", "H"), 1e-6 * std::fabs(H));
    }
}

TEST_F(EquilibriumEntryPoints, ResultsInTheUnitsInForce) {
    const eqcore::System sys = setup("n-o-example.dat", json{{"N2", 1.0}, {"O2", 1.0}}, 298.15, 1e5);
    ASSERT_EQ(ecsetc("T", 2000), 0);
    ASSERT_EQ(eceq("  "), 0);
    const double nNO = ecres("A ", 1, 2), mu = ecres("MU", 1, 2), heat = ecres("H ", 0, 0), N = ecres("A ", 1, 0);
    EXPECT_NEAR(nNO, 1.991394e-2, 1e-8);
    EXPECT_NEAR(ecres("A ", 1, 0), 0.9900430 + 1.991394e-2 + 9.462127e-4 + 0.9895699, 1e-6);
    EXPECT_NEAR(mu, -230061.511 - 244878.134, 1e-2);  // pi_N + pi_O
    EXPECT_NEAR(heat, 116596.573, 1e-3);
    // Units change the values, not the result.
    ASSERT_EQ(ecunit("energy", "kJ"), 0);
    ASSERT_EQ(ecunit("amount", "g"), 0);
    ASSERT_EQ(ecunit("temperature", "C"), 0);
    ASSERT_EQ(ecunit("volume", "m3"), 0);
    const double M_NO = 14.0067 + 15.9994;
    EXPECT_NEAR(ecres("A ", 1, 2), nNO * M_NO, 1e-9);
    EXPECT_NEAR(ecres("MU", 1, 2), mu / 1000 / M_NO, 1e-9);
    EXPECT_NEAR(ecres("H ", 0, 0), heat / 1000, 1e-9);
    EXPECT_NEAR(ecres("T ", 0, 0), 2000 - 273.15, 1e-9);
    EXPECT_NEAR(ecres("V ", 1, 0), N * eqcore::kR * 2000 / 1e5, 1e-12);  // ideal gas, m3
    (void)sys;
}

TEST_F(EquilibriumEntryPoints, NoStaleResult) {
    setup("n-o-example.dat", json{{"N2", 1.0}, {"O2", 1.0}}, 298.15, 1e5);
    Int err = 0;
    ecres("T ", 0, 0, &err);
    EXPECT_EQ(err, kNoCurrentResult);  // nothing calculated yet
    ASSERT_EQ(ecsetc("T", 2000), 0);
    ASSERT_EQ(eceq("  "), 0);
    ecres("T ", 0, 0, &err);
    EXPECT_EQ(err, 0);
    // Any change makes the result stale: a stream amount, a condition, a status.
    ASSERT_EQ(ecstam("feed", 1, 1, 0.5), 0);
    ecres("A ", 1, 1, &err);
    EXPECT_EQ(err, kNoCurrentResult);
    EXPECT_NE(ecerr()[0].find("no current result"), std::string::npos);
    ASSERT_EQ(eceq("  "), 0);
    ASSERT_EQ(ecsetc("T", 2500), 0);
    ecres("A ", 1, 1, &err);
    EXPECT_EQ(err, kNoCurrentResult);
    ASSERT_EQ(eceq("  "), 0);
    ASSERT_EQ(ecspc(1, 3, "ELIMINATED"), 0);
    ecres("A ", 1, 1, &err);
    EXPECT_EQ(err, kNoCurrentResult);
    // A failed calculation leaves no result either.
    ASSERT_EQ(eceq("  "), 0);
    ASSERT_EQ(ecsetc("T", 7000), 0);  // above THIGH
    EXPECT_EQ(eceq("  "), 53);
    ecres("T ", 0, 0, &err);
    EXPECT_EQ(err, kNoCurrentResult);
    // Unknown options and missing conditions are errors with their numbers.
    ASSERT_EQ(ecsetc("T", 2000), 0);
    EXPECT_EQ(eceq("X "), 58);
    EXPECT_EQ(eceq("T ", 0, 1500), 56);  // no "H" condition
    ASSERT_EQ(eceq("  "), 0);
    ecres("G ", 0, 0, &err);
    EXPECT_EQ(err, 58);
}

TEST_F(EquilibriumEntryPoints, TemperatureTargets) {
    ASSERT_EQ(load(example("ag-cu-example.dat")), 0);
    ASSERT_EQ(ecstdf(field("alloy", 8), 298.15, 1.0), 0);
    ASSERT_EQ(ecstam("alloy", 4, 1, 1.0), 0);  // Cu(s)
    // The melting point as the formation target on LIQUID (phase 2).
    ASSERT_EQ(ecscnd("A", 2, 0.0), 0);
    ASSERT_EQ(eceq("T ", 2, 1200), 0) << ecerr()[1];
    EXPECT_NEAR(ecres("T ", 0, 0), 1353.6652067113323, 0.01);
    EXPECT_EQ(ecres("A ", 2, 0), 0.0);
    // Half molten: the enthalpy condition lands on the melting point.
    ASSERT_EQ(ecscnd("H", 0, 36017.86952215201), 0);
    ASSERT_EQ(eceq("T ", 0, 1000), 0) << ecerr()[1];
    EXPECT_NEAR(ecres("T ", 0, 0), 1353.6652067113323, 0.01);
    EXPECT_NEAR(ecres("A ", 2, 0), 0.5, 1e-6);
    EXPECT_NEAR(ecres("A ", 4, 0), 0.5, 1e-6);
    EXPECT_NEAR(ecres("H ", 0, 0), 36017.86952215201, 1e-9 * 36017.86952215201);
    // A precipitation target on a stoichiometric phase.
    ASSERT_EQ(ecscnd("A", 4, -1.0), 0);
    EXPECT_EQ(eceq("T ", 4, 1000), 57);
}

// The golden listings: N-O gas at 2000 K (amounts of the worked example)
// and the settings that produced it; Ag-Cu at 1000 K (two solids, the
// liquid and the gas absent with their driving forces).
std::string listing_of(const std::filesystem::path& dir, const char* name) {
    const std::string path = (dir / name).string();
    EXPECT_EQ(ecopen(field(path, 300), 21), 0);
    EXPECT_EQ(ecsio("list", 21), 0);
    EXPECT_EQ(eceq("  ", 0, 0, true), 0);
    EXPECT_EQ(ecshow(), 0);
    EXPECT_EQ(ecclos(21), 0);
    std::string got = read_file(path);
    // The data file's directory differs between machines.
    const std::string examples = std::string(EQLINK_EXAMPLES_DIR) + "/";
    for (std::size_t at; (at = got.find(examples)) != std::string::npos;) got.replace(at, examples.size(), "EXAMPLES/");
    std::istringstream lines(got);
    for (std::string l; std::getline(lines, l);) EXPECT_LE(l.size(), 132u) << l;
    return got;
}

std::string golden(const char* name) { return read_file(std::string(EQCORE_SOLVER_TEST_DIR) + "/golden/" + name); }

TEST_F(EquilibriumEntryPoints, ListingsKeepTheirLayout) {
    setup("n-o-example.dat", json{{"N2", 1.0}, {"O2", 1.0}}, 298.15, 1e5);
    ASSERT_EQ(ecsetc("T", 2000), 0);
    EXPECT_EQ(listing_of(dir_, "n-o.txt"), golden("n-o-2000K.txt"));
    ASSERT_EQ(ecini(), 0);
    ASSERT_EQ(load(example("ag-cu-example.dat")), 0);
    ASSERT_EQ(ecstdf(field("alloy", 8), 298.15, 1.0), 0);
    ASSERT_EQ(ecstam("alloy", 3, 1, 0.6), 0);
    ASSERT_EQ(ecstam("alloy", 4, 1, 0.4), 0);
    ASSERT_EQ(ecsetc("T", 1000), 0);
    EXPECT_EQ(listing_of(dir_, "ag-cu.txt"), golden("ag-cu-1000K.txt"));
    // No list unit: the output is discarded, the calculation succeeds.
    ASSERT_EQ(ecsio("list", 0), 0);
    EXPECT_EQ(eceq("  ", 0, 0, true), 0);
}

}  // namespace

namespace {

// Sublattice inquiries and results through the entry points.
std::string ecscn(Int phase, Int sublattice, Int k, Int* err = nullptr) {
    std::string name(24, '?');
    Int e = -1;
    PPSTUB_ECSCN(&phase, &sublattice, &k, name.data(), &e, name.size());
    if (err) *err = e;
    return trim(name);
}
Int ecnsl(Int phase) {
    Int e = -1, n = -1;
    PPSTUB_ECNSL(&phase, &n, &e);
    return e == 0 ? n : -100 - e;
}
Int ecnsc(Int phase, Int sublattice) {
    Int e = -1, n = -1;
    PPSTUB_ECNSC(&phase, &sublattice, &n, &e);
    return e == 0 ? n : -100 - e;
}

TEST_F(EquilibriumEntryPoints, IronTransitionsThroughFormationTargets) {
    ASSERT_EQ(load(example("fe-sgte.dat")), 0);
    ASSERT_EQ(ecstdf(field("iron", 8), 298.15, 1.0), 0);
    ASSERT_EQ(ecstam("iron", 2, 1, 1.0), 0);  // Fe:Va of BCC_A2 (phase 2)
    const struct {
        Int phase;
        double lo, hi, want;
    } cases[] = {{3, 1000, 1400, 1184.81}, {2, 1400, 1750, 1667.47}, {1, 1700, 1900, 1810.95}};
    for (const auto& c : cases) {
        ASSERT_EQ(eclim("THIGH", 6000.0), 0);
        ASSERT_EQ(eclim("TLOW", c.lo), 0);
        ASSERT_EQ(eclim("THIGH", c.hi), 0);
        ASSERT_EQ(ecscnd("A", c.phase, 0.0), 0);
        ASSERT_EQ(eceq("T ", c.phase, 0.5 * (c.lo + c.hi)), 0) << ecerr()[1];
        EXPECT_NEAR(ecres("T ", 0, 0), c.want, 0.1) << "phase " << c.phase;
    }
}

TEST_F(EquilibriumEntryPoints, SublatticesSiteFractionsElementAmountsAndCriticalTemperature) {
    ASSERT_EQ(load(example("zr-h.dat")), 0);
    Int e = -1, n = 0;
    PPSTUB_ECNEL(&n, &e);
    EXPECT_EQ(n, 2);
    std::string name(8, '?');
    const Int two = 2;
    PPSTUB_ECENM(&two, name.data(), &e, name.size());
    EXPECT_EQ(trim(name), "H");
    const Int three = 3;
    PPSTUB_ECENM(&three, name.data(), &e, name.size());
    EXPECT_EQ(e, 27);
    // BCC_A2 (phase 2): (ZR)1 (H, VA)3.
    EXPECT_EQ(ecnsl(1), 0);
    EXPECT_EQ(ecnsl(2), 2);
    EXPECT_EQ(ecnsc(2, 2), 2);
    EXPECT_EQ(ecnsc(2, 3), -126);
    EXPECT_EQ(ecscn(2, 2, 2), "VA");
    EXPECT_EQ(ecscn(2, 1, 1), "ZR");
    ecscn(2, 2, 3, &e);
    EXPECT_EQ(e, 22);
    // 0.7 Zr + 0.3 H at 1150 K: BCC_A2 alone, y(H) = 0.3 / (3 * 0.7).
    ASSERT_EQ(ecstdf(field("feed", 8), 1150.0, 1.01325), 0);
    ASSERT_EQ(ecstam("feed", 2, 1, 0.1), 0);   // ZR:H, 1 Zr + 3 H
    ASSERT_EQ(ecstam("feed", 2, 2, 0.6), 0);   // ZR:VA
    ASSERT_EQ(ecsetc("T", 1150.0), 0);
    ASSERT_EQ(ecsetc("P", 1.01325), 0);
    ASSERT_EQ(eceq("  "), 0) << ecerr()[1];
    EXPECT_NEAR(ecres("Y ", 2, 2), 0.3 / 2.1, 1e-6);  // H: constituent 2 of ZR | H VA
    EXPECT_NEAR(ecres("Y ", 2, 3), 1.8 / 2.1, 1e-6);
    EXPECT_NEAR(ecres("Y ", 2, 1), 1.0, 1e-12);
    EXPECT_NEAR(ecres("A ", 2, 0), 0.7, 1e-6);
    EXPECT_NEAR(ecres("AE", 2, 2), 0.3, 1e-9);
    EXPECT_NEAR(ecres("AE", 0, 1), 0.7, 1e-12);
    EXPECT_EQ(ecres("TC", 2, 0), 0.0);  // magnetic data all zero
    ecres("Y ", 1, 1, &e);
    EXPECT_EQ(e, 22);
    ecres("AE", 0, 3, &e);
    EXPECT_EQ(e, 27);
    // Iron: bcc Tc 1043 K.
    ASSERT_EQ(load(example("fe-sgte.dat")), 0);
    ASSERT_EQ(ecstdf(field("iron", 8), 298.15, 1.0), 0);
    ASSERT_EQ(ecstam("iron", 2, 1, 1.0), 0);
    ASSERT_EQ(ecsetc("T", 900.0), 0);
    ASSERT_EQ(eceq("  "), 0) << ecerr()[1];
    EXPECT_NEAR(ecres("TC", 2, 0), 1043.0, 1e-9);
    EXPECT_NEAR(ecres("TC", 3, 0), 67.0, 1e-3);  // -201 K times -1/3
}

// A quasichemical liquid answers the sublattice inquiries with its cations
// and its anions, and "Y " with their site fractions: the worked example
// (70 % Ga at 1000 K: the liquid at pair fractions 0.553055565, 0.032569737,
// 0.414374698 beside Ga_s) through the entry points.
TEST_F(EquilibriumEntryPoints, QuasichemicalLiquidIonsAndSiteFractions) {
    ASSERT_EQ(load(example("ga-in-qc.dat")), 0);
    const Int liq = 2;  // LIQ_QC: (Ga, In) (Va)
    EXPECT_EQ(ecnsl(liq), 2);
    EXPECT_EQ(ecnsc(liq, 1), 2);
    EXPECT_EQ(ecnsc(liq, 2), 1);
    EXPECT_EQ(ecnsc(liq, 3), -126);
    EXPECT_EQ(ecscn(liq, 1, 2), "In");
    EXPECT_EQ(ecscn(liq, 2, 1), "Va");
    Int e = -1;
    ecscn(liq, 2, 2, &e);
    EXPECT_EQ(e, 22);
    EXPECT_EQ(ecnsl(1), 0);  // the gas
    ASSERT_EQ(ecstdf(field("feed", 8), 1000.0, 1.0), 0);
    ASSERT_EQ(ecstam("feed", liq, 1, 0.7), 0);
    ASSERT_EQ(ecstam("feed", liq, 2, 0.3), 0);
    ASSERT_EQ(ecsetc("T", 1000.0), 0);
    ASSERT_EQ(eceq("  "), 0) << ecerr()[1];
    // Ga = 2/6 per GaGa pair and 1/6 per GaIn, In = 2/8 per InIn and 1/4 per GaIn.
    const double x[] = {0.553055565, 0.032569737, 0.414374698};
    const double nga = 2.0 * x[0] / 6.0 + x[2] / 6.0, nin = 2.0 * x[1] / 8.0 + x[2] / 4.0;
    EXPECT_NEAR(ecres("Y ", liq, 1), nga / (nga + nin), 1e-7);
    EXPECT_NEAR(ecres("Y ", liq, 2), nin / (nga + nin), 1e-7);
    EXPECT_NEAR(ecres("Y ", liq, 3), 1.0, 1e-15);
    ecres("Y ", liq, 4, &e);
    EXPECT_EQ(e, 22);
    // The liquid's amount in end members: all the In, and Ga in the ratio
    // of the site fractions.
    EXPECT_NEAR(ecres("A ", liq, 0), 0.3 * (1.0 + nga / nin), 1e-7);
}

// An ionic liquid answers the sublattice inquiries with its cations and its
// second sublattice (anions, vacancy, neutrals), in the order of its "Y "
// site fractions, each sublattice summing to 1.
TEST_F(EquilibriumEntryPoints, IonicLiquidSublatticesAndSiteFractions) {
    ASSERT_EQ(load(std::string(EQCORE_SOLVER_TEST_DIR) + "/../eqcore_ionic/data/ionic_example_1.dat"), 0);
    const Int liq = 1;  // LIQUID_I1: (Cu+1) (S-2, Va, S)
    EXPECT_EQ(ecnsl(liq), 2);
    EXPECT_EQ(ecnsc(liq, 1), 1);
    EXPECT_EQ(ecnsc(liq, 2), 3);
    EXPECT_EQ(ecscn(liq, 1, 1), "Cu+1");
    EXPECT_EQ(ecscn(liq, 2, 1), "S-2");
    EXPECT_EQ(ecscn(liq, 2, 2), "Va");
    EXPECT_EQ(ecscn(liq, 2, 3), "S");
    EXPECT_EQ(ecnsl(2), 0);  // Cu(s)
    ASSERT_EQ(ecstdf(field("feed", 8), 1600.0, 1.0), 0);
    ASSERT_EQ(ecstam("feed", liq, 1, 0.3), 0);
    ASSERT_EQ(ecstam("feed", liq, 2, 0.4), 0);
    ASSERT_EQ(ecsetc("T", 1600.0), 0);
    ASSERT_EQ(eceq("  "), 0) << ecerr()[1];
    ASSERT_GT(ecres("A ", liq, 0), 0.0);
    EXPECT_NEAR(ecres("Y ", liq, 1), 1.0, 1e-12);
    double second = 0.0;
    for (Int k = 2; k <= 4; ++k) second += ecres("Y ", liq, k);
    EXPECT_NEAR(second, 1.0, 1e-12);
    Int e = -1;
    ecres("Y ", liq, 5, &e);
    EXPECT_EQ(e, 22);
}

}  // namespace
