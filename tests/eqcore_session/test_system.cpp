// Inquiries, statuses and the loading of data files through the entry
// points: hidden lengths, blank padding, numbers counted from 1, errors.
#include "abi/entry.hpp"
#include "data/read_dat.hpp"
#include "ec_calls.hpp"

#include <sstream>

namespace ectest {
namespace {

TEST_F(EngineTest, VersionAndSizes) {
    Int v = -1, e = -1;
    PPSTUB_ECVERS(&v, &e);
    EXPECT_EQ(e, 0);
    EXPECT_EQ(v, 100);  // 1.0
    Int sizes[12];
    std::fill(std::begin(sizes), std::end(sizes), -7);
    PPSTUB_ECSIZE(sizes, &e);
    EXPECT_EQ(e, 0);
    const Int expected[11] = {1500, 100, 200, 1500, 500, 20, 10, 5000, 100, 100, 5};
    for (int i = 0; i < 11; ++i) EXPECT_EQ(sizes[i], expected[i]) << i;
    EXPECT_EQ(sizes[11], -7);  // nothing past the eleventh
}

class AgCuSystem : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        ASSERT_EQ(load(example("ag-cu-example.dat")), 0);
    }
};

TEST_F(AgCuSystem, CountsNamesAndModels) {
    Int n = -1, e = -1;
    PPSTUB_ECNPH(&n, &e);
    EXPECT_EQ(n, 4);
    const Int counts[] = {2, 2, 1, 1};
    const char* names[] = {"GAS", "LIQUID", "Ag(s)", "Cu(s)"};
    const char* models[] = {"IDMX", "RKMP", "PURE", "PURE"};
    for (Int p = 1; p <= 4; ++p) {
        PPSTUB_ECNPC(&p, &n, &e);
        EXPECT_EQ(n, counts[p - 1]);
        std::string name(24, '?'), model(4, '?');
        PPSTUB_ECPNM(&p, name.data(), &e, name.size());
        EXPECT_EQ(name, field(names[p - 1], 24));
        PPSTUB_ECMODL(&p, model.data(), &e, model.size());
        EXPECT_EQ(model, models[p - 1]);
        Int index = -1;
        const std::string key = field(names[p - 1], 24);
        PPSTUB_ECPIX(key.data(), &index, &e, key.size());
        EXPECT_EQ(e, 0);
        EXPECT_EQ(index, p);
    }
    std::string name(32, '?');
    Int p = 2, c = 2;
    PPSTUB_ECCNM(&p, &c, name.data(), &e, name.size());
    EXPECT_EQ(name, field("Cu(liq)", 32));
}

TEST_F(AgCuSystem, OutputFieldsAreTruncatedToTheirLengthAndNeverOverrun) {
    char buf[12];
    std::fill(std::begin(buf), std::end(buf), '#');
    Int p = 2, e = -1;
    PPSTUB_ECPNM(&p, buf + 1, &e, 3);  // "LIQUID" into 3 characters
    EXPECT_EQ(e, 0);
    EXPECT_EQ(std::string(buf, 6), "#LIQ##");
    PPSTUB_ECPNM(&p, buf + 1, &e, 10);
    EXPECT_EQ(std::string(buf, 12), "#LIQUID    #");
}

TEST_F(AgCuSystem, PhaseNamesAreComparedExactly) {
    Int index = -1, e = -1;
    for (const char* bad : {"liquid", " LIQUID", "LIQ", "Ag(S)"}) {
        const std::string key = field(bad, 24);
        PPSTUB_ECPIX(key.data(), &index, &e, key.size());
        EXPECT_EQ(e, 23) << bad;
    }
    EXPECT_EQ(ecerr()[1].rfind("phase 'Ag(S)' is not in", 0), 0u);
    // A short field without padding is the name too.
    PPSTUB_ECPIX("Cu(s)", &index, &e, 5);
    EXPECT_EQ(e, 0);
    EXPECT_EQ(index, 4);
}

TEST_F(AgCuSystem, IndicesOutOfRangeAreErrorsThatSayWhich) {
    Int n = -1, e = -1;
    for (Int p : {Int{0}, Int{5}, Int{-3}, Int{1} << 40}) {
        PPSTUB_ECNPC(&p, &n, &e);
        EXPECT_EQ(e, 21) << p;
    }
    Int p = 5;
    PPSTUB_ECNPC(&p, &n, &e);
    EXPECT_EQ(ecerr()[1], "phase 5 (the system has 4 phases)");
    std::string name(32, ' ');
    p = 3;
    for (Int c : {Int{0}, Int{2}}) {
        PPSTUB_ECCNM(&p, &c, name.data(), &e, name.size());
        EXPECT_EQ(e, 22) << c;
    }
    EXPECT_EQ(ecerr()[1], "constituent 2 of phase Ag(s) (it has 1)");
    EXPECT_EQ(name, std::string(32, ' '));  // output untouched by a failed call
}

TEST_F(AgCuSystem, StatusesOfPhasesAndConstituents) {
    for (Int p = 1; p <= 4; ++p) EXPECT_EQ(ecgps(p), field("ENTERED", 24));
    // Eliminating every constituent of a phase eliminates the phase.
    EXPECT_EQ(ecspc(2, 1, field("ELIMINATED", 10)), 0);
    EXPECT_EQ(ecgps(2), field("ENTERED", 24));
    EXPECT_EQ(ecspc(2, 2, "eliminated"), 0);
    EXPECT_EQ(ecgps(2), field("ELIMINATED", 24));
    // Entering one constituent enters its phase.
    EXPECT_EQ(ecspc(2, 2, field("ENTERED", 8)), 0);
    EXPECT_EQ(ecgps(2).substr(0, 2), "EN");
    // A phase status sets every constituent.
    EXPECT_EQ(ecsps(1, "ELIMINATED"), 0);
    EXPECT_EQ(ecgps(1), field("ELIMINATED", 24));
    const eqcore::Session& s = eqcore::abi::session();
    EXPECT_FALSE(s.constituent_entered(0, 0));
    EXPECT_FALSE(s.constituent_entered(0, 1));
    EXPECT_EQ(ecsps(1, "ENTERED"), 0);
    EXPECT_TRUE(s.constituent_entered(0, 0) && s.constituent_entered(0, 1));
    EXPECT_FALSE(s.constituent_entered(1, 0));  // untouched by other phases
    // Unknown words are refused and change nothing.
    EXPECT_EQ(ecsps(1, "GONE"), 24);
    EXPECT_EQ(ecsps(1, "ENTER"), 24);
    EXPECT_EQ(ecgps(1), field("ENTERED", 24));
}

TEST_F(AgCuSystem, DummyPhaseIsDormantWhateverIsSet) {
    eqcore::System sys = eqcore::read_dat(example("ag-cu-example.dat"));
    sys.phases[3].dormant = true;
    eqcore::abi::session().load(std::move(sys), "ag-cu with a dummy Cu(s)");
    EXPECT_EQ(ecgps(4), field("DORMANT", 24));
    EXPECT_EQ(ecsps(4, "ENTERED"), 0);
    EXPECT_EQ(ecgps(4), field("DORMANT", 24));
    EXPECT_FALSE(eqcore::abi::session().phase_active(3));
    EXPECT_TRUE(eqcore::abi::session().phase_active(2));
}

TEST_F(AgCuSystem, ReadingAgainReplacesTheSystemAndClearsStreamsAndConditions) {
    ASSERT_EQ(ecsps(2, "ELIMINATED"), 0);
    ASSERT_EQ(ecstdf("S", 1000.0, 1.0), 0);
    ASSERT_EQ(load(example("n-o-example.dat")), 0);
    Int n = -1, e = -1;
    PPSTUB_ECNPH(&n, &e);
    EXPECT_EQ(n, 1);
    Int err = 0;
    ecstpr("S", "H", &err);
    EXPECT_EQ(err, 40);
    ASSERT_EQ(load(example("ag-cu-example.dat")), 0);
    EXPECT_EQ(ecgps(2), field("ENTERED", 24));
}

TEST_F(EngineTest, InquiriesBeforeAnyReadAreErrors) {
    Int n = -1, e = -1;
    PPSTUB_ECNPH(&n, &e);
    EXPECT_EQ(e, 20);
    EXPECT_EQ(ecstdf("S", 1000.0, 1.0), 20);
    EXPECT_EQ(ecerr()[0], "EQCORE error 20: no data file has been read");
}

TEST_F(EngineTest, FailedReadNamesFileLineAndField) {
    // Example A with a letter where a coefficient of N2 belongs (line 11).
    std::ifstream in(example("n-o-example.dat"));
    std::stringstream whole;
    whole << in.rdbuf();
    std::string text = whole.str();
    const auto at = text.find("-8.85639192E+03");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 15, "-8.85639192X+03");
    const std::string path = file("broken.dat", text);
    EXPECT_EQ(load(path), 12);
    const auto lines = ecerr();
    EXPECT_EQ(lines[0], "EQCORE error 12: error in the data file");
    const std::string detail = lines[1] + " " + lines[2];
    EXPECT_NE(detail.find("broken.dat"), std::string::npos) << detail;
    EXPECT_NE(detail.find("line 11"), std::string::npos) << detail;
    EXPECT_NE(detail.find("N2"), std::string::npos) << detail;
    // The file unit was closed after the read: reading again needs an open.
    EXPECT_EQ(ecrdtx(), 11);
}

TEST_F(EngineTest, MissingFileAndMissingUnitAreErrors) {
    EXPECT_EQ(ecoptx(field((dir_ / "absent.dat").string(), 256), 70), 10);
    EXPECT_NE(ecerr()[1].find("absent.dat on unit 70"), std::string::npos);
    EXPECT_EQ(ecrdtx(), 11);  // the file unit is 0 after ECINI
    ASSERT_EQ(ecsio("FILE ", 71), 0);
    EXPECT_EQ(ecrdtx(), 11);  // nothing open on 71
    EXPECT_EQ(ecerr()[1], "no file is open on unit 71");
    EXPECT_EQ(ecsio("terminal", 6), 3);
    EXPECT_EQ(ecsio("list", -1), 4);
}

TEST_F(EngineTest, ErrorsGoToTheErrorUnitWhenOneIsOpenAndAreDiscardedOtherwise) {
    const std::string log = (dir_ / "errors.txt").string();
    ASSERT_EQ(ecsio("error", 33), 0);
    EXPECT_EQ(ecunit("energy", "erg"), 2);  // unit 33 not open: discarded, still error 2
    Int e = -1, u = 33;
    PPSTUB_ECOPEN(log.data(), &u, &e, log.size());
    ASSERT_EQ(e, 0);
    EXPECT_EQ(ecunit("energy", "erg"), 2);
    ASSERT_EQ(ecclos(33), 0);
    std::ifstream in(log);
    std::string l1, l2;
    std::getline(in, l1);
    std::getline(in, l2);
    EXPECT_EQ(l1, "EQCORE error 2: unknown unit");
    EXPECT_EQ(l2, "unit 'erg' for energy (known: J, kJ, cal, kcal)");
}

TEST_F(EngineTest, ErrorTextIsBlankBeforeAnyErrorAndLongDetailsAreCut) {
    EXPECT_EQ(ecerr(), (std::array<std::string, 3>{"", "", ""}));
    const std::string long_name(300, 'x');
    EXPECT_EQ(ecoptx(long_name, 70), 10);
    const auto lines = ecerr();
    EXPECT_LE(lines[1].size(), 80u);
    EXPECT_LE(lines[2].size(), 80u);
    EXPECT_NE(lines[1].find("on unit 70"), std::string::npos);
}

TEST_F(EngineTest, ErrorLinesFillTheCallersLengthAndMissingArgumentsAreErrors) {
    EXPECT_EQ(ecunit("energy", "erg"), 2);
    char buf[3 * 20 + 1];
    buf[60] = '#';
    Int e = -1;
    PPSTUB_ECERR(buf, &e, 20);  // three fields of 20 characters
    EXPECT_EQ(e, 0);
    EXPECT_EQ(std::string(buf, 20), "EQCORE error 2: unkn");
    EXPECT_EQ(std::string(buf + 20, 20), "unit 'erg' for energ");
    EXPECT_EQ(std::string(buf + 40, 20), std::string(20, ' '));  // each line cut, not re-wrapped
    EXPECT_EQ(buf[60], '#');
    PPSTUB_ECVERS(nullptr, &e);
    EXPECT_EQ(e, 90);
    EXPECT_EQ(ecerr()[1], "argument version is missing");
    PPSTUB_ECINI(nullptr);  // no status word to set: still safe
}

TEST_F(EngineTest, TemperatureLimitsInTheTemperatureUnit) {
    const eqcore::Session& s = eqcore::abi::session();
    EXPECT_EQ(s.tlow(), 200.0);
    EXPECT_EQ(s.thigh(), 6000.0);
    EXPECT_EQ(eclim(field("TLOW", 8), 220.0), 0);
    EXPECT_EQ(s.tlow(), 220.0);
    ASSERT_EQ(ecunit("temperature", "C"), 0);
    EXPECT_EQ(eclim("thigh", 2000.0), 0);
    EXPECT_DOUBLE_EQ(s.thigh(), 2273.15);
    EXPECT_EQ(eclim("TLOW", 3000.0), 6);  // above THIGH
    EXPECT_EQ(eclim("TMID", 500.0), 5);
    EXPECT_EQ(s.tlow(), 220.0);
    ASSERT_EQ(ecini(), 0);
    EXPECT_EQ(s.tlow(), 200.0);
}

TEST_F(EngineTest, CallersTrapsAreRestoredAndNeverRaised) {
    // A caller with traps on for invalid operations gets no signal from the
    // engine (which computes with NaN freely), and finds its mode unchanged.
    ASSERT_EQ(load(example("ag-cu-example.dat")), 0);
    ASSERT_EQ(ecstdf("S", 1000.0, 1.0), 0);
    unsigned before = 0;
#if defined(__x86_64__)
    before = _mm_getcsr();
    _mm_setcsr(before & ~0x0080u);  // unmask invalid operation
#endif
    const Real nan = std::numeric_limits<Real>::quiet_NaN();
    Int e = -1;
    Int p = 1, c = 1;
    PPSTUB_ECSTAM("S", &p, &c, &nan, &e, 1);
    EXPECT_EQ(e, 44);
#if defined(__x86_64__)
    EXPECT_EQ(_mm_getcsr() & ~0x3Fu, (before & ~0x0080u) & ~0x3Fu);
    _mm_setcsr(before);
#endif
}

}  // namespace
}  // namespace ectest
