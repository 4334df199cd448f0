// A case of the tool: the host run (data file, trace switch, diagnostic
// level, report, components) and the calculations to perform in it, in
// order. Read from TOML by read_case; every error names the file, the line
// and the key.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace eqlink_tool {

// Flows (kmol/s) or coefficients by component ID, in the order written.
using ByComponent = std::vector<std::pair<std::string, double>>;

struct CaseComponent {
    std::string id, name, formula;
    std::optional<double> mw;
    int name_line = 0, formula_line = 0;  // where they are written, for errors found later
};

// A stream given by its temperature, pressure and flows.
struct StreamSpec {
    double T = 298.15, P = 101325.0;
    ByComponent mixed;
    std::optional<ByComponent> cisolid;  // the conventional-solid substream, when the stream has one
    std::optional<double> noncon;        // total flow of a non-conventional substream
};

struct PropertyCalc {
    long long code = 401;             // 401..430
    double T = 0, P = 0;
    std::vector<std::string> components;
    std::vector<double> x;            // mole fractions summing to 1; 1 for each component of a pure code
    std::array<long long, 4> request{1, 0, 0, 0};
    long long level = 0;
};

struct FlashCalc {
    long long kode = 2;               // 1 PQ, 2 TP
    std::optional<double> T;          // TP: omitted means the feed's
    double P = 101325.0;
    double duty = 0.0;                // PQ, W
    bool chemistry = false;
    std::optional<std::vector<ByComponent>> reactions;
    long long phases = 2, phase = 1;  // NPKODE, KPHASE
    double tolerance = 1.0e-6;
    long long level = 0;
    StreamSpec feed;
};

struct BlockCalc {
    long long type = 1;
    double pressure = 101325.0, temperature = 0, duty = 0, tmin = 0, tmax = 0;
    std::optional<std::array<long long, 2>> phase_names;
    std::vector<std::string> products;
    long long outlets = 1;
    std::vector<std::string> substreams{"MIXED"};
    std::vector<double> heat_in;
    long long heat_outlets = 1;
    long long level = 0;
    std::string option_set = "EQCORE";
    std::vector<StreamSpec> inlets;
};

struct Calculation {
    int line = 0;  // where it begins in the case file
    std::variant<PropertyCalc, FlashCalc, BlockCalc> what;
};

struct Case {
    std::filesystem::path file;  // the case file as given
    std::filesystem::path data;  // the data file, resolved against the case file's folder
    std::string data_name;       // as written in the case
    bool trace = false;
    long long diagnostic_level = 4;
    std::string report;          // report file name (in the working directory)
    std::vector<CaseComponent> components;
    std::vector<Calculation> calculations;
};

// Throws InputError "FILE:LINE: KEY: what is wrong".
Case read_case(const std::filesystem::path& file);

// Property codes 416..430 give each list component's property as a pure
// substance, from 1000 x(i) mol of it: per kmol only for x(i) = 1.
bool pure_component_code(long long code);

}  // namespace eqlink_tool
