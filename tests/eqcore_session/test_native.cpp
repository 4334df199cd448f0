// The native session API: sessions are independent of each other, and a
// reader error keeps file, line and field in the text.
#include <gtest/gtest.h>

#include "data/read_dat.hpp"
#include "eqcore/eqcore.h"
#include "session/session.hpp"

namespace {

TEST(NativeSession, SessionsShareNothing) {
    eqcore::Session a, b;
    a.read_dat_file(std::string(EQLINK_EXAMPLES_DIR) + "/ag-cu-example.dat");
    a.units().set("pressure", "atm");
    a.define_stream("S", 1000.0, 1.0e5);
    EXPECT_TRUE(a.has_system());
    EXPECT_FALSE(b.has_system());
    EXPECT_EQ(b.units().name(eqcore::Quantity::pressure), "bar");
    EXPECT_TRUE(b.streams().empty());
    b.read_dat_file(std::string(EQLINK_EXAMPLES_DIR) + "/n-o-example.dat");
    EXPECT_EQ(a.system().phase_count(), 4);
    EXPECT_EQ(b.system().phase_count(), 1);
    EXPECT_EQ(a.streams().size(), 1u);
}

TEST(NativeSession, ReaderErrorTextKeepsTheEndOfALongPath) {
    const std::string dir(120, 'd');
    const eqcore::DataError e("/data/" + dir + "/plant.dat", 42, "species NO, range 1, coefficient 4: expected a real");
    const eqcore::Failure f = eqcore::data_file_failure(e);
    EXPECT_EQ(f.code(), eqcore::Error::data_file);
    const auto lines = eqcore::error_lines(f.code(), f.what());
    EXPECT_EQ(lines[0], "EQCORE error 12: error in the data file");
    const std::string both = lines[1] + " " + lines[2];
    EXPECT_NE(both.find("/plant.dat, line 42: species NO, range 1, coefficient 4"), std::string::npos) << both;
    for (const auto& l : lines) EXPECT_LE(l.size(), 80u);
}

// Checked mode: off by default and after reset; when on, a calculation's
// result passes the acceptance check (the Ag-Cu state that was once wrong
// after a warm start is now right in both modes); the entry point takes 0
// or 1 only.
TEST(NativeSession, CheckedModeForEveryCalculation) {
    eqcore::Session s;
    EXPECT_FALSE(s.checked());
    s.read_dat_file(std::string(EQLINK_EXAMPLES_DIR) + "/ag-cu-example.dat");
    s.define_stream("FEED", 1400.0, 1.0e5);
    s.add_amount("FEED", 1, 0, 0.7);
    s.add_amount("FEED", 1, 1, 0.3);
    s.set_checked(true);
    for (double T : {1400.0, 1050.0}) {
        s.set_condition({eqcore::ConditionKind::temperature, T});
        const eqcore::EquilibriumResult& r = s.equilibrate(false, -1, 0.0);
        EXPECT_TRUE(r.succeeded()) << r.message;
    }
    EXPECT_FALSE(s.result().phases[1].present);  // LIQUID gone at 1050 K
    s.reset();
    EXPECT_FALSE(s.checked());

    eqcore_int noerr = 0, on = 1;
    PPSTUB_ECINI(&noerr);
    PPSTUB_ECCHK(&on, &noerr);
    EXPECT_EQ(noerr, 0);
    on = 2;
    PPSTUB_ECCHK(&on, &noerr);
    EXPECT_EQ(noerr, 33);
    PPSTUB_ECINI(&noerr);
}

}  // namespace
