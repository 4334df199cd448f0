// Setting up a host run: components, option sets, chemistries, the data file
// and trace switch, diagnostic levels, the report file and the terminal.
// One run exists at a time (the host's blocks are process-wide); it lays out
// the plex once, and its destruction closes the report file.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "blocks.hpp"
#include "fortran.hpp"
#include "plex.hpp"
#include "terminal.hpp"

namespace elvar {

struct Component {
    std::string id;                 // up to 8 characters, unique
    std::string name;               // mapping name, up to 32 characters ("CO2:G1")
    std::string formula;            // up to 32 characters ("CO2", "Fe0.947O")
    std::optional<double> mw;       // kg/kmol; from the formula when not given
};

struct OptionSet {
    std::string name;  // up to 16 characters, unique
    std::string base;  // the option set it is derived from ("EQCORE"), or empty
};

// A chemistry: its equations, each a list of (component ID, coefficient);
// components not listed have coefficient 0.
struct Chemistry {
    std::vector<std::vector<std::pair<std::string, double>>> equations;
};

struct RunSetup {
    std::string case_name = "elvar";  // the report file is <case_name>.rep ...
    std::string report_path;          // ... unless this names another
    std::string data_file;            // into EQLINK_CONFIG; blank means the default
    bool trace = false;               // LDEBUG
    ftn::Int diagnostic_level = kDefaultDiagnosticLevel;  // DMS_GLOBAL word 18
    std::int32_t report_unit = kDefaultReportUnit;        // DMS_GLOBAL word 5
    std::vector<Component> components;
    ftn::Int noncon_components = 0;   // DMS_NCOMP word 2
    std::vector<OptionSet> option_sets;
    std::vector<Chemistry> chemistries;
    TerminalMode terminal = TerminalMode::print;
};

// What a flash is given in the flash work area (missing values as RMISS).
struct FlashConditions {
    double T = kRmiss;     // K
    double P = kRmiss;     // Pa
    double duty = kRmiss;  // W
};

// What a flash leaves in the flash and stream work areas.
struct FlashResults {
    ftn::Int nmxcmp = 0, ncscmp = 0, nnccmp = 0;
    double T = 0, P = 0, vcalc = 0, qcalc = 0, done = 0;
    double hv = 0, hl = 0, hs = 0;    // J/kmol
    double sv = 0, sl = 0;            // J/kmol-K
    double vv = 0, vl = 0;            // m3/kmol
    double mwv = 0, mwl = 0;          // kg/kmol
};

struct Block {
    std::string id = "B1";              // up to 8 characters (DMS_GLOBAL 27, 28)
    ftn::Int level = kDefaultDiagnosticLevel;  // PPEXEC_USER word 7
    std::vector<std::string> products;  // each up to 70 characters
};

class Run {
public:
    // Checks the description and builds the run; throws SetupError naming
    // the item and field at fault, or when another run is still open.
    explicit Run(const RunSetup& setup);
    ~Run();
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    ftn::Int ncomp() const { return static_cast<ftn::Int>(components_.size()); }
    // Host number (from 1) of the component with this ID.
    ftn::Int component(std::string_view id) const;
    double mw(ftn::Int k) const;
    // Record identifier of an option set by name (the block's OPTSET).
    ftn::Int option_set(std::string_view name) const;
    // Identifier of the k-th chemistry (from 0), to pass as IDS word 3.
    ftn::Int chemistry(std::size_t k) const;
    ftn::Int plex_words_used() const { return map_.words_used; }

    void set_data_file(std::string_view path);
    void set_trace(bool on);
    void set_diagnostic_level(ftn::Int level);
    // The property monitor's list length and message level (ZMTH_PPSCLR 3, 5).
    void set_property_request(ftn::Int nlist, ftn::Int msglev);
    // Flash work area before a flash; results after it.
    void set_flash_conditions(const FlashConditions& c);
    FlashResults flash_results() const;
    // The block about to be called: its ID, diagnostic level and product list.
    void set_block(const Block& b);

    const std::string& report_path() const { return report_path_; }
    // The report file as written so far.
    std::string report_text() const;

private:
    std::vector<PlexComponent> components_;
    std::vector<std::string> option_set_names_;
    PlexMap map_;
    std::string report_path_;
    std::int64_t report_unit_ = 0;
};

}  // namespace elvar
