// A host run for the property tests: its own temporary working directory,
// the host stand-in set up with components and a data file, and one call of
// the property monitor as the host makes it.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "fortran.hpp"
#include "message_log.hpp"
#include "run.hpp"

namespace proptest {

// Marks result words the call must not write.
inline constexpr double kUntouched = -777.25;

std::string example(const std::string& file);   // a data file of examples/
std::string test_data(const std::string& file);  // a data file of this folder's data/

struct MonitorCall {
    ftn::Int kprop = 401;
    std::vector<ftn::Int> iclist;
    double T = 1000.0;
    double P = 1.0e5;
    std::vector<double> x;
    std::array<ftn::Int, 4> ireq{1, 0, 0, 0};
    ftn::Int msglev = 4;
};

class Scene {
public:
    // `dictionary`, when not empty, is written as EQSOLN.TXT into the
    // working directory.
    Scene(const std::string& data_file, std::vector<elvar::Component> components,
          const std::string& dictionary = "", bool trace = false);
    ~Scene();
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    elvar::Run& run() { return *run_; }
    ftn::Int ncomp() const { return run_->ncomp(); }

    // Calls EQLINK_MDMON8 with a result array of 3 NCOMP words (at least 3)
    // filled with kUntouched, and returns it.
    std::vector<double> mdmon8(const MonitorCall& call);

private:
    std::filesystem::path home_;
    std::filesystem::path dir_;
    std::optional<elvar::Run> run_;
};

// Host components on c-h-o-n.dat, numbered from 1 in this order: N2, O2,
// CO2 and H2O gases, liquid water, graphite, methane, and a gas the data
// file lacks.
enum Chon : ftn::Int { kN2 = 1, kO2, kCO2, kH2OGas, kH2OLiq, kGraphite, kCH4, kUnknown };
std::vector<elvar::Component> chon_components();

// Element-entropy reference of one kmol of a formula given as (atomic
// number, atoms) pairs, J/(kmol K), from the standard entropies of the
// elements at 298.15 K.
double sref(std::initializer_list<std::pair<int, double>> atoms);

// The messages the host printed for EQLINK's property routines and monitor
// (those of the start-up left out).
std::vector<elvar::Message> property_messages();
// Every question the property routines put to the host's error check.
std::vector<elvar::Message> property_questions();

// Whether the engine holds a stream of that name (its enthalpy can be read).
bool stream_exists(const std::string& name);

}  // namespace proptest
