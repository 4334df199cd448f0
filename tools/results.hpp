// What a case produced: per calculation its values and the messages the host
// accepted while it ran, and whether it failed. The printers turn these into
// tables or JSON; nothing here knows about either.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace eqlink_tool {

// A value the host has as missing is empty.
using Value = std::optional<double>;

struct SubstreamResult {
    std::vector<std::pair<std::string, Value>> flows;  // every component, kmol/s
    Value total, T, P, h, vfrac, lfrac, s, rho, mw;
};

// Substreams by kind ("mixed", "cisolid", "noncon"), in stream order.
using StreamResult = std::vector<std::pair<std::string, SubstreamResult>>;

struct MessageResult {
    std::string routine;  // "CATO P": the identifier's two words
    long long severity = 0, number = 0;
    std::vector<std::string> lines;
};

struct PropertyResult {
    long long code = 0;
    std::string routine;
    std::vector<Value> prop;
};

struct FlashResult {
    long long ker = 0;
    Value T, P, vcalc, qcalc;
    StreamResult stream;
};

struct BlockResult {
    Value duty;
    std::vector<Value> heat_out;
    std::vector<StreamResult> outlets;
};

struct CalculationResult {
    std::variant<PropertyResult, FlashResult, BlockResult> what;
    std::vector<MessageResult> messages;  // accepted by the host
    std::vector<std::string> terminal;    // terminal lines (trace), when the trace is on
    bool failed = false;
    std::string failure;                  // why: the plug-in's first error line, or what the tool saw
    std::vector<std::string> engine_error;  // the engine's last error, when it refused a call of this calculation
};

struct CaseResult {
    std::string case_name;  // the case file as given
    std::string data;       // the data file as the case names it
    std::string report;     // the report file written
    std::vector<std::string> notes;  // for the user, beside the results (standard error)
    std::vector<CalculationResult> calculations;
    bool failed() const {
        for (const auto& c : calculations)
            if (c.failed) return true;
        return false;
    }
};

}  // namespace eqlink_tool
