// A host run for the block tests: its own temporary working directory, the
// host stand-in set up with components, the EQCORE option set and a data
// file, and calls of EQLINK_CATOP as the host makes them.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "elvar.hpp"
#include "fortran.hpp"

namespace blocktest {

std::string example(const std::string& file);  // a data file of examples/

// One block calculation: parameters, product list, inlets and outlets.
struct BlockSetup {
    std::vector<ftn::Int> ipar{1, 0, 0, 0};  // ICALC, the two name counts, a spare
    std::vector<double> rpar{1.0e5, 1000.0, 0.0, 0.0};
    std::vector<std::string> products;
    ftn::Int level = 4;
    std::string id = "B1";
    std::vector<elvar::SubstreamType> types{elvar::SubstreamType::mixed};
    std::vector<std::vector<elvar::SubstreamValues>> inlets;
    ftn::Int outlets = 1;
    std::vector<double> heat_in;
    ftn::Int heat_outlets = 1;
    std::string option_set = "EQCORE";
    // Changes to the arguments after they are built, before the call.
    std::function<void(elvar::BlockArgs&)> tweak;
};

// Calls EQLINK_CATOP and keeps its arguments for inspection.
struct BlockOutcome {
    explicit BlockOutcome(elvar::BlockArgs a, elvar::StreamLayout l) : args(std::move(a)), layout(std::move(l)) {}
    elvar::BlockArgs args;
    elvar::StreamLayout layout;
    // Substream j (from 0) of outlet m (from 0).
    elvar::SubstreamValues outlet(std::size_t m, std::size_t j = 0) const;
    // Flow of host component k (from 1) in substream j of outlet m.
    double flow(std::size_t m, ftn::Int k, std::size_t j = 0) const;
};

class Scene {
public:
    // `dictionary`, when not empty, is written as EQSOLN.TXT into the
    // working directory; `data_text`, when not empty, is written as the
    // data file "case.dat" and used instead of `data_file`.
    Scene(const std::string& data_file, std::vector<elvar::Component> components, bool trace = false,
          const std::string& dictionary = "", const std::string& data_text = "");
    ~Scene();
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    elvar::Run& run() { return *run_; }
    ftn::Int ncomp() const { return run_->ncomp(); }
    ftn::Int comp(const std::string& id) const { return run_->component(id); }
    const std::filesystem::path& dir() const { return dir_; }

    // Flows (kmol/s) by component ID.
    std::vector<double> flows(const std::vector<std::pair<std::string, double>>& by_id) const;
    BlockOutcome call(const BlockSetup& setup);

    // Messages of routine CATOP, and whether one with this number was asked.
    std::vector<elvar::Message> block_messages() const;
    // Those of severity 1 or 2 (errors and severe warnings), whether the
    // host let them through or not.
    std::vector<elvar::Message> errors() const;
    // Number and lines of each of those, for failure output.
    std::string error_text() const;
    bool asked(ftn::Int number) const;
    bool reported(ftn::Int number) const;
    const elvar::Message* find(ftn::Int number) const;
    bool terminal_has(const std::string& line) const;
    std::string report() const { return run_->report_text(); }

private:
    std::filesystem::path home_;
    std::filesystem::path dir_;
    std::optional<elvar::Run> run_;
};

// Status of an engine phase ("ENTERED", "ELIMINATED") after a block call.
std::string phase_status(ftn::Int phase);
// Whether the engine holds a stream of that name.
bool stream_exists(const std::string& name);

// Components on c-h-o-n.dat: every gas species, graphite and liquid water.
std::vector<elvar::Component> chon_components();
// Components on ag-cu-example.dat: the liquid's constituents, the solids
// and the gases.
std::vector<elvar::Component> agcu_components();

}  // namespace blocktest
