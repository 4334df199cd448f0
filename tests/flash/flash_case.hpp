// One flash case run end to end: a host run in its own scratch directory
// (the working directory for the report and the engine's listing), the
// plug-in's flash entry point, and direct engine calculations to compare
// with.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "elvar.hpp"
#include "scratch_dir.hpp"

namespace flash_test {

// A component of a case: host ID, mapping name, formula.
struct Component {
    std::string id, name, formula;
};

// The bundled data file of that name.
std::string data_file(const std::string& name);

// Makes the scratch directory the working directory for the case's life.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::filesystem::path& dir);
    ~WorkingDirectory();
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

private:
    std::filesystem::path previous_;
};

class FlashCase {
public:
    FlashCase(const std::string& data, const std::vector<Component>& components,
              const std::vector<elvar::Chemistry>& chemistries = {}, bool trace = false);

    elvar::Run& run() { return run_; }
    ftn::Int component(const std::string& id) const { return run_.component(id); }
    double mw(const std::string& id) const { return run_.mw(run_.component(id)); }
    ftn::Int ncomp() const { return run_.ncomp(); }

    // Flows (kmol/s) by component ID, as a full flow vector.
    std::vector<double> flows(const std::map<std::string, double>& by_id) const;

    // Calls EQLINK_CAFLSH with the arguments; the results stay in `args`.
    void flash(elvar::FlashArgs& args, const elvar::FlashConditions& conditions);

    // Messages of the flash in the host's log with this number.
    std::vector<elvar::Message> messages(ftn::Int number) const;
    std::string report() const { return run_.report_text(); }

private:
    testing_support::ScratchDir dir_;
    WorkingDirectory cwd_;
    elvar::Run run_;
};

// The engine's equilibrium of amounts (mol) of gas constituents given by
// name, computed directly through the engine's entry points: at fixed T and
// P, or (T_feed given, dH given) at fixed P and enthalpy change from a feed
// entering at T_feed.
struct DirectResult {
    ftn::Int noerr = 0;
    double T = 0.0;
    std::map<std::string, double> amounts;  // of every gas constituent
};
// Only the gas constituents named in `entered` take part.
DirectResult direct_equilibrium_tp(const std::vector<std::string>& entered,
                                   const std::map<std::string, double>& feed, double T, double P);
DirectResult direct_equilibrium_hp(const std::vector<std::string>& entered,
                                   const std::map<std::string, double>& feed, double T_feed,
                                   double P, double dH);
// Enthalpy (J) of gas amounts (mol) at T and P, as the engine evaluates a stream.
double direct_gas_enthalpy(const std::map<std::string, double>& amounts, double T, double P);

// A molar property of a mixture through the property monitor (code 401
// vapour enthalpy, 406 liquid enthalpy, 402 vapour entropy, ...).
double property(ftn::Int code, const std::vector<ftn::Int>& components, const std::vector<double>& x,
                double T, double P);
inline double vapour_enthalpy(const std::vector<ftn::Int>& components, const std::vector<double>& x,
                              double T, double P) {
    return property(401, components, x, T, P);
}

}  // namespace flash_test
