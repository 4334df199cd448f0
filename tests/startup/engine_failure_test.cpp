// Engine failures during the start-up. A few of the engine's entry points
// are wrapped here: this executable's definitions take precedence over the
// engine library's for the plug-in, and pass every call on to the engine
// unless a test asks for a failure.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "eqcore_calls.hpp"
#include "startup_fixture.hpp"

namespace {

constexpr ftn::Int kFailure = 999;

std::string fail_unit;     // ECUNIT quantity that fails
std::string fail_io;       // ECSIO name that fails
bool fail_size = false;    // ECSIZE fails
bool fail_nph = false;     // ECNPH fails
ftn::Int limit_na = 0;     // NA reported by ECSIZE when positive
ftn::Int fake_phases = 0;  // when positive: a system of this many phases,
                           // gas "GAS" (O2) then solutions "SLAG" (FeO)

template <class F>
F next(const char* name) {
    void* p = ::dlsym(RTLD_NEXT, name);
    F f = nullptr;
    static_assert(sizeof f == sizeof p);
    std::memcpy(&f, &p, sizeof f);
    return f;
}

}  // namespace

extern "C" void PPSTUB_ECUNIT(const char* quantity, const char* unit, ftn::Int* noerr,
                              ftn::Len quantity_len, ftn::Len unit_len) {
    if (std::string(quantity, quantity_len) == fail_unit) {
        *noerr = kFailure;
        return;
    }
    static const auto real =
        next<void (*)(const char*, const char*, ftn::Int*, ftn::Len, ftn::Len)>("PPSTUB_ECUNIT");
    real(quantity, unit, noerr, quantity_len, unit_len);
}

extern "C" void PPSTUB_ECSIO(const char* which, const ftn::Int* unit, ftn::Int* noerr,
                             ftn::Len which_len) {
    if (std::string(which, which_len) == fail_io) {
        *noerr = kFailure;
        return;
    }
    static const auto real =
        next<void (*)(const char*, const ftn::Int*, ftn::Int*, ftn::Len)>("PPSTUB_ECSIO");
    real(which, unit, noerr, which_len);
}

extern "C" void PPSTUB_ECSIZE(ftn::Int* sizes, ftn::Int* noerr) {
    if (fail_size) {
        *noerr = kFailure;
        return;
    }
    static const auto real = next<void (*)(ftn::Int*, ftn::Int*)>("PPSTUB_ECSIZE");
    real(sizes, noerr);
    if (limit_na > 0) sizes[0] = limit_na;
}

extern "C" void PPSTUB_ECNPH(ftn::Int* count, ftn::Int* noerr) {
    if (fail_nph) {
        *noerr = kFailure;
        return;
    }
    if (fake_phases > 0) {
        *count = fake_phases;
        *noerr = 0;
        return;
    }
    static const auto real = next<void (*)(ftn::Int*, ftn::Int*)>("PPSTUB_ECNPH");
    real(count, noerr);
}

extern "C" void PPSTUB_ECPNM(const ftn::Int* phase, char* name, ftn::Int* noerr,
                             ftn::Len name_len) {
    if (fake_phases > 0) {
        ftn::fill(name, name_len, *phase == 1 ? "GAS" : "SLAG");
        *noerr = 0;
        return;
    }
    static const auto real =
        next<void (*)(const ftn::Int*, char*, ftn::Int*, ftn::Len)>("PPSTUB_ECPNM");
    real(phase, name, noerr, name_len);
}

extern "C" void PPSTUB_ECMODL(const ftn::Int* phase, char* model, ftn::Int* noerr,
                              ftn::Len model_len) {
    if (fake_phases > 0) {
        ftn::fill(model, model_len, "IDMX");
        *noerr = 0;
        return;
    }
    static const auto real =
        next<void (*)(const ftn::Int*, char*, ftn::Int*, ftn::Len)>("PPSTUB_ECMODL");
    real(phase, model, noerr, model_len);
}

extern "C" void PPSTUB_ECNPC(const ftn::Int* phase, ftn::Int* count, ftn::Int* noerr) {
    if (fake_phases > 0) {
        *count = 1;
        *noerr = 0;
        return;
    }
    static const auto real = next<void (*)(const ftn::Int*, ftn::Int*, ftn::Int*)>("PPSTUB_ECNPC");
    real(phase, count, noerr);
}

extern "C" void PPSTUB_ECCNM(const ftn::Int* phase, const ftn::Int* constituent, char* name,
                             ftn::Int* noerr, ftn::Len name_len) {
    if (fake_phases > 0) {
        ftn::fill(name, name_len, *phase == 1 ? "O2" : "FeO");
        *noerr = 0;
        return;
    }
    static const auto real =
        next<void (*)(const ftn::Int*, const ftn::Int*, char*, ftn::Int*, ftn::Len)>(
            "PPSTUB_ECCNM");
    real(phase, constituent, name, noerr, name_len);
}

namespace startup_test {
namespace {

class EngineFailureTest : public StartupTest {
  protected:
    void TearDown() override {
        fail_unit.clear();
        fail_io.clear();
        fail_size = fail_nph = false;
        limit_na = 0;
        fake_phases = 0;
        StartupTest::TearDown();
    }
    void start() {
        copy(examples_dir() / "ag-cu-example.dat", "ag-cu.dat");
        start_run("ag-cu.dat", ag_cu_components(), true);
        castrt();
    }
    void expect_step(const std::string& step) {
        EXPECT_EQ(ierr, 8);
        EXPECT_EQ(noerr, kFailure);
        EXPECT_FALSE(started());
        const elvar::Message m = message(14);
        EXPECT_EQ(m.severity, 1);
        EXPECT_EQ(m.lines, (std::vector<std::string>{"      EQCORE ERROR   999 REPORTED DURING",
                                                     "      INITIALIZATION STEP" + step,
                                                     "      ELVAR/EQCORE INTERFACE TERMINATES"}));
        EXPECT_FALSE(terminal_has("EQCORE initialized without fault."));
    }
};

TEST_F(EngineFailureTest, UnitFailureIsStepFour) {
    fail_unit = "volume";
    start();
    expect_step(" 4");
}

TEST_F(EngineFailureTest, ErrorUnitFailureIsStepSix) {
    fail_io = "error";
    start();
    expect_step(" 6");
}

TEST_F(EngineFailureTest, SizeFailureIsStepThreeAndPrintsNoSizes) {
    fail_size = true;
    start();
    expect_step(" 3");
    EXPECT_TRUE(terminal_has("In CAStrt"));
    for (const std::string& line : terminal())
        EXPECT_EQ(line.find("From ECSIZE"), std::string::npos);
}

TEST_F(EngineFailureTest, ExactlyNaComponentsAreAccepted) {
    limit_na = 6;
    start();
    EXPECT_EQ(ierr, 0);
    EXPECT_TRUE(started());
    EXPECT_EQ(EQLINK_ELVCA.NMAP, 6);
}

TEST_F(EngineFailureTest, OneComponentMoreThanNaIsRefused) {
    limit_na = 5;
    start();
    EXPECT_EQ(ierr, 2);
    EXPECT_FALSE(started());
    EXPECT_FALSE(has_message(25));  // stopped before the phases were listed
    const elvar::Message m = message(2);
    EXPECT_EQ(m.severity, 0);
    EXPECT_EQ(m.name(), "MAPDAT");
    EXPECT_EQ(m.lines, (std::vector<std::string>{
                           "      Number of simulation components exceeds EQCORE restrictions.",
                           "      EQCORE/Elvar interface terminates."}));
    // The mapping's failure still ends with the trace and the temperature limit.
    EXPECT_TRUE(terminal_has("Data mapped."));
    EXPECT_EQ(noerr, 0);
}

TEST_F(EngineFailureTest, FailedPhaseCountEndsTheMapping) {
    fail_nph = true;
    start();
    EXPECT_EQ(ierr, 8);
    EXPECT_FALSE(started());
    const elvar::Message m = message(kFailure);
    EXPECT_EQ(m.severity, 1);
    EXPECT_EQ(m.lines, (std::vector<std::string>{
                           "      Unknown EQCORE error when calling PPSTUB_ECNPH",
                           "      EQCORE/Elvar interface terminates with codes 8 and 999"}));
}

TEST_F(EngineFailureTest, MorePhasesThanTheBlockHoldsFailTheStartUp) {
    fake_phases = 1501;
    start();
    EXPECT_EQ(ierr, 2);
    EXPECT_FALSE(started());
    const elvar::Message m = message(105);
    EXPECT_EQ(m.severity, 1);
    EXPECT_EQ(m.lines.at(0),
              "      DATA FILE has  1501 phases, more than the 1500 the interface can hold.");
}

TEST_F(EngineFailureTest, AFullMapFailsTheStartUp) {
    // Two components in each of 1499 solution phases: 2998 records.
    fake_phases = 1500;
    copy(examples_dir() / "ag-cu-example.dat", "ag-cu.dat");
    write("EQSOLN.TXT", "Codes\n1\n2    SLAG    SLAG\n");
    start_run("ag-cu.dat",
              {{"O2", "O2:G1", "O2"}, {"FEO-1", "FEO:SLAG", "FeO"}, {"FEO-2", "FEO:SLAG", "FeO"}});
    castrt();
    EXPECT_EQ(ierr, 2);
    EXPECT_FALSE(started());
    EXPECT_EQ(EQLINK_ELVCA.NMAP, 1500);
    EXPECT_EQ(eqlink::map_record(1500).phase, 751);
    const elvar::Message m = message(106);
    EXPECT_EQ(m.severity, 1);
    EXPECT_EQ(m.lines.at(0), "      The component map is full: it holds at most 1500 records.");
}

TEST_F(EngineFailureTest, MoreComponentsThanTheBlockHoldsFailTheStartUp) {
    limit_na = 2000;
    std::vector<Component> many;
    for (int i = 1; i <= 1501; ++i) {
        std::string id = "C";
        id += std::to_string(i);
        many.push_back({id, "O2:G1", "O2"});
    }
    copy(examples_dir() / "ag-cu-example.dat", "ag-cu.dat");
    start_run("ag-cu.dat", many);
    castrt();
    EXPECT_EQ(ierr, 2);
    EXPECT_FALSE(started());
    const elvar::Message m = message(104);
    EXPECT_EQ(m.severity, 1);
    EXPECT_EQ(m.lines.at(0),
              "      Number of simulation components  1501 exceeds the capacity of 1500.");
}

}  // namespace
}  // namespace startup_test
