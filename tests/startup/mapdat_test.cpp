// The component mapping through the start-up: gas, solution and pure-phase
// records, the solution dictionary and the mapping's failures.
#include <gtest/gtest.h>

#include <sstream>

#include "startup_fixture.hpp"

namespace startup_test {
namespace {

using MappingTest = StartupTest;

const std::string kAgCu = (examples_dir() / "ag-cu-example.dat").string();
const std::string kSlagDictionary = "Solution phases\n1\n2    SLAG    SLAG-LIQUID\n";

struct Expected {
    ftn::Int component, constituent, phase, kind;
};

void expect_map(const std::vector<Expected>& expected) {
    ASSERT_EQ(EQLINK_ELVCA.NMAP, static_cast<ftn::Int>(expected.size()));
    for (std::size_t r = 0; r < expected.size(); ++r) {
        SCOPED_TRACE("record " + std::to_string(r + 1));
        const eqlink::MapRecord& rec = eqlink::map_record(static_cast<ftn::Int>(r + 1));
        EXPECT_EQ(rec.component, expected[r].component);
        EXPECT_EQ(rec.constituent, expected[r].constituent);
        EXPECT_EQ(rec.phase, expected[r].phase);
        EXPECT_EQ(rec.kind, expected[r].kind);
        EXPECT_EQ(rec.scratch, 0);
    }
    // Records beyond NMAP are zero.
    const eqlink::MapRecord& next = eqlink::map_record(static_cast<ftn::Int>(expected.size() + 1));
    EXPECT_EQ(next.component, 0);
    EXPECT_EQ(next.phase, 0);
}

TEST_F(MappingTest, GasSolutionAndPureNamesFindTheirConstituents) {
    copy(data_dir() / "mapping.dat", "mapping.dat");
    write("EQSOLN.TXT", kSlagDictionary);
    start_run("mapping.dat", mapping_components());
    castrt();
    ASSERT_EQ(ierr, 0);
    EXPECT_TRUE(started());

    // Phases: 1 GAS, 2 SLAG-LIQUID, 3 METAL, 4 Al2O3_corundum(s), 5 FeO(liq),
    // 6 C_graphite(s), 7 H2O(g).
    EXPECT_EQ(EQLINK_ELVCA.NPH, 7);
    EXPECT_EQ(eqlink::phname(2).text(), "SLAG-LIQUID");
    expect_map({{1, 1, 1, 1},     // CO:G1 -> CO
                {2, 2, 1, 1},     // CO$:G1 -> Co
                {3, 3, 1, 1},     // CO2:G1 -> CO2(g)
                {4, 4, 1, 1},     // CO2:G2 -> CO2(g2)
                {5, 5, 1, 1},     // H2O:G1 -> H2O_vapour
                {13, 6, 1, 1},    // O2:G1 -> O2
                {6, 1, 2, 2},     // FEO:SLAG -> FeO
                {7, 2, 2, 2},     // ALO1.5:SLAG -> (AlO1.5):2.000
                {8, 3, 2, 2},     // SIO2:SLAG -> SiO2_slag
                {9, 1, 3, 2},     // FE:META -> Fe (phase not in the dictionary)
                {10, 1, 4, 3},    // AL2O3:S1 -> Al2O3_corundum(s)
                {11, 1, 5, 2},    // FEO:L1 -> FeO(liq)
                {12, 1, 6, 3}});  // C -> C_graphite(s)
    EXPECT_DOUBLE_EQ(eqlink::mwfac(7), 2.0);
    EXPECT_DOUBLE_EQ(eqlink::mwfac(6), 1.0);
    EXPECT_DOUBLE_EQ(eqlink::mwfac(1), 1.0);
    EXPECT_EQ(eqlink::nphcmp(2), 3);
    EXPECT_EQ(eqlink::nphcmp(3), 1);
    EXPECT_EQ(eqlink::nphcmp(4), 1);
    EXPECT_EQ(eqlink::nphcmp(7), 0);

    EXPECT_EQ(
        message(26).lines,
        std::vector<std::string>{"      OPENING A LOCAL EQCORE SOLUTION DICTIONARY (EQSOLN.TXT)"});
    EXPECT_EQ(EQLINK_ELVCA.NDICT, 1);
    EXPECT_EQ(eqlink::dcode(1).full(), "SLAG");
    EXPECT_EQ(eqlink::idtype(1), 2);

    // H2O:G1 also matches the pure phase H2O(g): the gas record stays.
    const elvar::Message m50 = message(50);
    EXPECT_EQ(m50.severity, 3);
    EXPECT_EQ(m50.lines, std::vector<std::string>{"      COMPONENT \"H2O     \" ALREADY MAPPED"});

    // METAL is not in the dictionary: its first four characters are its code.
    const elvar::Message m70 = message(70);
    EXPECT_EQ(m70.severity, 4);
    EXPECT_EQ(m70.lines, (std::vector<std::string>{
                             "      DATA FILE PHASE METAL                   NOT FOUND IN THE",
                             "      SOLUTION DICTIONARY - USE THE FIRST FOUR",
                             "      CHARACTERS OF THE DATA FILE PHASE NAME AS",
                             "      THE ELVAR PHASE NAME"}));
    EXPECT_EQ(message(25).lines, std::vector<std::string>{"      DATA FILE has    7 phases"});
}

TEST_F(MappingTest, UnknownDollarNameFailsTheStartUp) {
    copy(data_dir() / "mapping.dat", "mapping.dat");
    write("EQSOLN.TXT", kSlagDictionary);
    start_run("mapping.dat", {{"CO", "CO:G1", "CO"}, {"XY", "XY$:G1", "C"}, {"O2", "O2:G1", "O2"}});
    castrt();
    EXPECT_EQ(ierr, 7);
    EXPECT_FALSE(started());
    const elvar::Message m91 = message(91);
    EXPECT_EQ(m91.severity, 2);
    EXPECT_EQ(m91.lines, (std::vector<std::string>{
                             "      COMPONENT XY$:G1                  CONTAINS A DOLLAR SIGN",
                             "      BUT IS NOT IN THE TABLE OF KNOWN COMPONENTS",
                             "      THAT MUST BE CONVERTED TO MIXED CASE",
                             "      COMPONENT MAPPING TERMINATED"}));
    EXPECT_EQ(EQLINK_ELVCA.NMAP, 1);  // what was built before stays; no summary
    EXPECT_FALSE(has_message(2));
}

TEST_F(MappingTest, SolutionMemberWithoutConstituentFailsTheStartUp) {
    copy(data_dir() / "mapping.dat", "mapping.dat");
    write("EQSOLN.TXT", kSlagDictionary);
    start_run("mapping.dat", {{"FEO", "FEO:SLAG", "FeO"}, {"MNO", "MNO:SLAG", "MnO"}});
    castrt();
    EXPECT_EQ(ierr, 7);
    EXPECT_FALSE(started());
    const elvar::Message m70 = message(70);
    EXPECT_EQ(m70.severity, 1);
    EXPECT_EQ(m70.lines, (std::vector<std::string>{
                             "      Species not found in data file: MNO:SLAG",
                             "      EQCORE/Elvar interface terminates with codes = 7 and 304"}));
}

TEST_F(MappingTest, AFactorThatIsNotANumberFailsTheStartUp) {
    std::string text = read_file(data_dir() / "mapping.dat");
    const auto at = text.find("(AlO1.5):2.000");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 14, "(AlO1.5):2.x00");
    write("mapping.dat", text);
    write("EQSOLN.TXT", kSlagDictionary);
    start_run("mapping.dat", {{"ALO15", "ALO1.5:SLAG", "AlO1.5"}});
    castrt();
    EXPECT_EQ(ierr, 7);
    EXPECT_FALSE(started());
    const elvar::Message m71 = message(71);
    EXPECT_EQ(m71.severity, 1);
    EXPECT_NE(m71.lines.at(1).find("\"2.X00\""), std::string::npos) << m71.lines.at(1);
}

TEST_F(MappingTest, InstalledDictionaryIsUsedWithoutALocalOne) {
    copy(kAgCu, "ag-cu.dat");
    start_run("ag-cu.dat", ag_cu_components());
    castrt();
    ASSERT_EQ(ierr, 0);
    EXPECT_FALSE(has_message(26));
    EXPECT_FALSE(has_message(70));
    // Phases: 1 GAS, 2 LIQUID, 3 Ag(s), 4 Cu(s).
    expect_map(
        {{1, 1, 1, 1}, {2, 2, 1, 1}, {3, 1, 2, 2}, {4, 2, 2, 2}, {5, 1, 3, 3}, {6, 1, 4, 3}});
}

TEST_F(MappingTest, LocalDictionaryTakesPrecedence) {
    copy(kAgCu, "ag-cu.dat");
    write("EQSOLN.TXT", "Local codes\n 1\n2    LQ      LIQUID\n");
    start_run("ag-cu.dat", {{"AG-L", "AG:LQ", "Ag"}, {"CU-L", "CU:LIQU", "Cu"}});
    castrt();
    ASSERT_EQ(ierr, 0);
    EXPECT_TRUE(has_message(26));
    // Only the local code is known: CU:LIQU belongs to no phase.
    expect_map({{1, 1, 2, 2}});
}

TEST_F(MappingTest, EmptyDictionaryFallsBackToTheFirstFourCharacters) {
    copy(kAgCu, "ag-cu.dat");
    write("EQSOLN.TXT", "No entries\n0\n2    LQ      LIQUID\n");
    start_run("ag-cu.dat", {{"AG-L", "AG:LIQU", "Ag"}});
    castrt();
    ASSERT_EQ(ierr, 0);
    EXPECT_EQ(EQLINK_ELVCA.NDICT, 0);
    EXPECT_EQ(message(70).severity, 4);
    expect_map({{1, 1, 2, 2}});
}

TEST_F(MappingTest, FirstOfTwoEntriesWithTheSameNameWins) {
    copy(kAgCu, "ag-cu.dat");
    write("EQSOLN.TXT", "Twice\n2\n3    LQ1     LIQUID\n2    LQ2     LIQUID\n");
    start_run("ag-cu.dat", {{"AG-1", "AG:LQ1", "Ag"}, {"AG-2", "AG:LQ2", "Ag"}});
    castrt();
    ASSERT_EQ(ierr, 0);
    expect_map({{1, 1, 2, 3}});
}

TEST_F(MappingTest, MissingDictionaryIsReportedWithTheSplitPath) {
    copy(kAgCu, "ag-cu.dat");
    const std::string top =
        (dir_ / "an_installation_directory_whose_name_is_long_enough_to_split").string();
    ::setenv("ELVAR_SYSTOP", top.c_str(), 1);
    start_run("ag-cu.dat", ag_cu_components());
    castrt();
    EXPECT_EQ(ierr, 9);
    EXPECT_FALSE(started());
    const std::string path = top + "/xeq/EQSOLN.TXT";
    ASSERT_GT(path.size(), 74u);
    const elvar::Message m = message(101);
    EXPECT_EQ(m.severity, 1);
    EXPECT_EQ(
        m.lines,
        (std::vector<std::string>{
            "      ERROR OPENING THE EQCORE SOLUTION DICTIONARY:", "      " + path.substr(0, 74),
            "      " + path.substr(74, 74), "      THE ELVAR/EQCORE INTERFACE TERMINATES"}));
}

TEST_F(MappingTest, InstalledDictionaryUnderTheHostsTopDirectory) {
    copy(kAgCu, "ag-cu.dat");
    std::filesystem::create_directories(dir_ / "top/xeq");
    write("top/xeq/EQSOLN.TXT", "Installed\n1\n2    MELT    LIQUID\n");
    ::setenv("ELVAR_SYSTOP", (dir_ / "top").c_str(), 1);
    start_run("ag-cu.dat", {{"AG-L", "AG:MELT", "Ag"}});
    castrt();
    ASSERT_EQ(ierr, 0);
    expect_map({{1, 1, 2, 2}});
}

struct Malformed {
    const char* what;
    const char* text;
    ftn::Int number;
    const char* line;  // the line naming the fault (third message line)
};

class MalformedDictionary : public StartupTest, public ::testing::WithParamInterface<Malformed> {};

TEST_P(MalformedDictionary, FailsTheStartUpNamingTheLine) {
    const Malformed& c = GetParam();
    copy(kAgCu, "ag-cu.dat");
    write("EQSOLN.TXT", c.text);
    start_run("ag-cu.dat", ag_cu_components());
    castrt();
    EXPECT_EQ(ierr, 9);
    EXPECT_FALSE(started());
    const elvar::Message m = message(c.number);
    EXPECT_EQ(m.severity, 1);
    ASSERT_GE(m.lines.size(), 3u);
    const std::string all = m.lines[0] + "|" + m.lines[1] + "|" + m.lines[2];
    EXPECT_NE(all.find(c.line), std::string::npos) << all;
    // Nothing past the dictionary arrays, and nothing half-read counted.
    EXPECT_LE(EQLINK_ELVCA.NDICT, 200);
}

INSTANTIATE_TEST_SUITE_P(
    Startup, MalformedDictionary,
    ::testing::Values(Malformed{"empty", "", 102, "LINE    1"},
                      Malformed{"count missing", "Title only\n", 102,
                                "LINE    2: THE NUMBER OF ENTRIES IS MISSING"},
                      Malformed{"count not a number", "Title\nmany\n", 102,
                                "LINE    2: THE NUMBER OF ENTRIES IS NOT"},
                      Malformed{"negative count", "Title\n-1\n", 102,
                                "LINE    2: THE NUMBER OF ENTRIES IS NEGATIVE"},
                      Malformed{"kind not a digit", "Title\n1\nX    LIQU    LIQUID\n", 102,
                                "LINE    3: THE PHASE KIND"},
                      Malformed{"kind 4", "Title\n2\n2    LIQU    LIQUID\n4    SOLD    SOLID\n",
                                102, "LINE    4"},
                      Malformed{"fewer lines", "Title\n3\n2    LIQU    LIQUID\n", 102,
                                "LINE    4: ENTRY   2 OF   3 IS MISSING"},
                      Malformed{"too many", "Title\n201\n", 103, "ANNOUNCES       201 ENTRIES"}),
    [](const ::testing::TestParamInfo<Malformed>& param) {
        std::string name = param.param.what;
        for (char& ch : name)
            if (ch == ' ') ch = '_';
        return name;
    });

TEST_F(MappingTest, ExactlyTwoHundredEntriesFit) {
    std::string text = "Full\n200\n";
    for (int e = 1; e <= 199; ++e)
        text += "3    X" + std::string(3 - std::to_string(e).size(), '0') + std::to_string(e) +
                "    PHASE" + std::to_string(e) + "\n";
    text += "2    LIQU    LIQUID\n";
    copy(kAgCu, "ag-cu.dat");
    write("EQSOLN.TXT", text);
    start_run("ag-cu.dat", {{"AG-L", "AG:LIQU", "Ag"}});
    castrt();
    ASSERT_EQ(ierr, 0);
    EXPECT_EQ(EQLINK_ELVCA.NDICT, 200);
    EXPECT_EQ(eqlink::dname(200).text(), "LIQUID");
    expect_map({{1, 1, 2, 2}});
}

TEST_F(MappingTest, OnlyAGasPhase) {
    copy(examples_dir() / "n-o-example.dat", "n-o.dat");
    start_run("n-o.dat",
              {{"NO", "NO:G1", "NO"}, {"N2O5", "N2O5:G1", "N2O5"}, {"O2", "O2:G1", "O2"}});
    castrt();
    ASSERT_EQ(ierr, 0);
    EXPECT_EQ(EQLINK_ELVCA.NPH, 1);
    expect_map({{1, 2, 1, 1}, {3, 4, 1, 1}});
}

TEST_F(MappingTest, PurePhasesWithUnderscoresAndStates) {
    copy(examples_dir() / "c-h-o-n.dat", "chon.dat");
    start_run("chon.dat", {{"H2O", "H2O:G1", "H2O"},
                           {"WATER", "H2O:L1", "H2O"},
                           {"C", "C:S1", "C"},
                           {"CO", "CO:G1", "CO"},
                           {"AR", "AR:G1", "Ar"}});
    castrt();
    ASSERT_EQ(ierr, 0);
    // Gas constituents: H H2 O O2 OH H2O HO2 H2O2 O3 N N2 NO NO2 N2O NH3 CO CO2 CH4 Ar;
    // phase 2 C_graphite(s), phase 3 H2O_liquid(liq).
    expect_map({{1, 6, 1, 1}, {4, 16, 1, 1}, {5, 19, 1, 1}, {3, 1, 2, 3}, {2, 1, 3, 2}});
}

}  // namespace
}  // namespace startup_test

namespace startup_test {
namespace {

TEST_F(MappingTest, TraceLinesOfTheMappingAndDebugLinesOnTheReport) {
    copy(data_dir() / "mapping.dat", "mapping.dat");
    write("EQSOLN.TXT", kSlagDictionary);
    start_run("mapping.dat", mapping_components(), true);
    castrt();
    ASSERT_EQ(ierr, 0);
    EXPECT_TRUE(terminal_has(""));
    EXPECT_TRUE(terminal_has("In data mapping."));
    EXPECT_TRUE(terminal_has("    checking                              CO2     ELindex =   3"));
    EXPECT_TRUE(terminal_has("    checking                               Co     ELindex =   2"));
    EXPECT_TRUE(
        terminal_has("       Const. ALO1.5:SLAG             is in soln SLAG - SLAG-LIQUID"));
    EXPECT_TRUE(terminal_has("          Comp. index   8    MWFAC=2.000    EL index #  7"));
    EXPECT_TRUE(terminal_has("          CA constituent    2      CA phase    2      state    2"));
    EXPECT_TRUE(
        terminal_has("       Const. AL2O3:S1                is pure phase Al2O3_corundum(s)"));
    EXPECT_TRUE(terminal_has("          CA constituent    1      CA phase    4      state    3"));

    // Report records keep their trailing blanks; compare without them.
    std::string report;
    {
        std::istringstream in(report_text());
        for (std::string line; std::getline(in, line);)
            report += std::string(ftn::trim_right(line)) + "\n";
    }
    for (const char* line : {"      Mapping gases\n", "      Looking among CA gases\n",
                             "      EL component mapped to CA gas constituent   6\n",
                             "      Mapping all other phases\n", "      Checking CA phase   2\n",
                             "      Solution phase SLAG\n", "      Solution name  SLAG-LIQUID\n",
                             "      Member of solution phase\n", "      Match!\n",
                             "      Pure phase Al2O3_corundum(s)\n"}) {
        EXPECT_NE(report.find(line), std::string::npos) << line;
    }
}

TEST_F(MappingTest, WithoutTraceNoDebugLinesReachTheReport) {
    copy(data_dir() / "mapping.dat", "mapping.dat");
    write("EQSOLN.TXT", kSlagDictionary);
    start_run("mapping.dat", mapping_components(), false);
    castrt();
    ASSERT_EQ(ierr, 0);
    EXPECT_EQ(report_text().find("Mapping gases"), std::string::npos);
    EXPECT_FALSE(terminal_has("In data mapping."));
}

}  // namespace
}  // namespace startup_test
