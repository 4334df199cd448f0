// Sessions are independent: eqcore::Session objects working at the same time
// in separate threads give exactly the results that one thread gets doing the
// same work one piece after another. Each piece of work loads a system,
// defines streams, computes equilibria at fixed T and P warm-started from one
// another, temperature targets and stream properties. Under the tsan preset
// (ThreadSanitizer) the same test proves that no state is shared between
// sessions without synchronisation.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "data/cst.hpp"
#include "data/read_dat.hpp"
#include "session/session.hpp"

namespace {

using eqcore::ConditionKind;
using eqcore::Session;
using eqcore::StreamProperty;

std::string example(const std::string& file) {
    return std::string(EQLINK_EXAMPLES_DIR) + "/" + file;
}

int index_of(const Session& s, int phase, const std::string& name) {
    const eqcore::System& sys = s.system();
    for (int c = 0; c < sys.phases[static_cast<std::size_t>(phase)].count; ++c)
        if (sys.constituent(phase, c).name == name) return c;
    throw std::runtime_error("no constituent " + name);
}

// Every number a calculation gives: T, P, amounts, potentials, system values.
void record(const eqcore::EquilibriumResult& r, std::vector<double>& out) {
    out.insert(out.end(), {r.T, r.P, r.G, r.H, r.S, r.Cp, r.V, r.heat});
    out.insert(out.end(), r.amount.begin(), r.amount.end());
    out.insert(out.end(), r.mu.begin(), r.mu.end());
    out.insert(out.end(), r.element_potential.begin(), r.element_potential.end());
}

void stream_properties(const Session& s, const std::string& name, std::vector<double>& out) {
    for (StreamProperty p : {StreamProperty::H, StreamProperty::S, StreamProperty::G,
                             StreamProperty::V, StreamProperty::Cp})
        out.push_back(s.stream_property(name, p));
}

void at_temperatures(Session& s, std::initializer_list<double> temperatures,
                     std::vector<double>& out) {
    for (double T : temperatures) {
        s.set_condition({ConditionKind::temperature, T});
        record(s.equilibrate(false, -1, 0.0), out);
    }
}

// Methane in air, the system read back from its compiled form: equilibria
// from 1000 to 3000 K and the adiabatic flame.
std::vector<double> methane_air() {
    std::stringstream cst;
    eqcore::write_cst(eqcore::read_dat(example("c-h-o-n.dat")), {}, cst);
    Session s;
    s.load(eqcore::read_cst(cst, "c-h-o-n.cst").system, "c-h-o-n.cst");
    s.define_stream("FEED", 298.15, 1.0e5);
    s.add_amount("FEED", 0, index_of(s, 0, "CH4"), 1.0);
    s.add_amount("FEED", 0, index_of(s, 0, "O2"), 2.0);
    s.add_amount("FEED", 0, index_of(s, 0, "N2"), 7.52);
    std::vector<double> out;
    stream_properties(s, "FEED", out);
    s.set_condition({ConditionKind::pressure, 1.0e5});
    at_temperatures(s, {1000.0, 1500.0, 2000.0, 2500.0, 3000.0}, out);
    s.set_condition({ConditionKind::enthalpy, 0.0});
    record(s.equilibrate(true, -1, 2000.0), out);
    return out;
}

// Hydrogen and oxygen from liquid water to dissociation, at 1 and 100 bar.
std::vector<double> hydrogen_oxygen() {
    Session s;
    s.read_dat_file(example("h-o.dat"));
    s.define_stream("H2", 298.15, 1.0e5);
    s.define_stream("O2", 500.0, 1.0e5);
    s.add_amount("H2", 0, index_of(s, 0, "H2"), 2.0);
    s.add_amount("O2", 0, index_of(s, 0, "O2"), 1.5);
    std::vector<double> out;
    for (double P : {1.0e5, 1.0e7}) {
        s.set_condition({ConditionKind::pressure, P});
        at_temperatures(s, {350.0, 1000.0, 2500.0, 4000.0}, out);
    }
    return out;
}

// The Ag-Cu alloy: solid, two-phase and liquid, then the temperature where
// the first liquid forms.
std::vector<double> silver_copper() {
    Session s;
    s.read_dat_file(example("ag-cu-example.dat"));
    s.define_stream("ALLOY", 298.15, 1.0e5);
    s.add_amount("ALLOY", 2, 0, 0.6);
    s.add_amount("ALLOY", 3, 0, 0.4);
    std::vector<double> out;
    stream_properties(s, "ALLOY", out);
    at_temperatures(s, {900.0, 1100.0, 1300.0, 1500.0}, out);
    s.set_condition({ConditionKind::target, 0.0, s.phase_index("LIQUID")});
    record(s.equilibrate(true, s.phase_index("LIQUID"), 1000.0), out);
    return out;
}

// Air on the N-O data.
void load_air(Session& s) {
    s.read_dat_file(example("n-o-example.dat"));
    s.define_stream("AIR", 300.0, 1.0e5);
    s.add_amount("AIR", 0, index_of(s, 0, "N2"), 0.79);
    s.add_amount("AIR", 0, index_of(s, 0, "O2"), 0.21);
}

// Nitric oxide in hot air.
std::vector<double> nitrogen_oxygen() {
    Session s;
    load_air(s);
    std::vector<double> out;
    stream_properties(s, "AIR", out);
    at_temperatures(s, {1500.0, 2000.0, 2500.0, 3000.0}, out);
    return out;
}

const std::vector<std::function<std::vector<double>()>> kWork = {methane_air, hydrogen_oxygen,
                                                                 silver_copper, nitrogen_oxygen};

// Bit for bit: the same work in the same order gives the same numbers.
bool identical(const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

TEST(SessionsInThreads, GiveTheResultsOfOneThreadWorkingSerially) {
    std::vector<std::vector<double>> serial;
    for (const auto& work : kWork) serial.push_back(work());
    for (const auto& values : serial) ASSERT_GT(values.size(), 20u);

    // More threads than cores, each going through every piece of work from
    // a different starting point, so that every piece runs in several
    // threads at once and beside every other.
    constexpr std::size_t kThreads = 6;
    constexpr std::size_t kRounds = 2;
    std::vector<std::vector<std::vector<double>>> got(kThreads);
    std::vector<std::string> errors(kThreads);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < kThreads; ++t)
        threads.emplace_back([t, &got, &errors] {
            try {
                for (std::size_t k = 0; k < kRounds * kWork.size(); ++k)
                    got[t].push_back(kWork[(t + k) % kWork.size()]());
            } catch (const std::exception& e) {
                errors[t] = e.what();
            }
        });
    for (auto& th : threads) th.join();

    for (std::size_t t = 0; t < kThreads; ++t) {
        EXPECT_EQ(errors[t], "") << "thread " << t;
        ASSERT_EQ(got[t].size(), kRounds * kWork.size()) << "thread " << t;
        for (std::size_t k = 0; k < got[t].size(); ++k)
            EXPECT_TRUE(identical(got[t][k], serial[(t + k) % kWork.size()]))
                << "thread " << t << ", work " << (t + k) % kWork.size();
    }
}

// A session moved to another thread carries its state with it: the warm
// start there continues from the solution found here.
TEST(SessionsInThreads, ASessionMovesBetweenThreads) {
    auto continue_in = [](bool other_thread) {
        Session s;
        load_air(s);
        std::vector<double> out;
        at_temperatures(s, {2000.0}, out);
        auto rest = [&] { at_temperatures(s, {2100.0, 2200.0}, out); };
        if (other_thread)
            std::thread(rest).join();
        else
            rest();
        return out;
    };
    EXPECT_TRUE(identical(continue_in(true), continue_in(false)));
}

}  // namespace
