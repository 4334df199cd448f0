// Host stream vectors of a case: built from a stream's description, brought
// to a full state (enthalpy, phase fractions, entropy, density) the way the
// host does for a stream given by temperature, pressure and flows — a TP
// flash without chemistry at its own conditions — and read back for output.
#pragma once

#include <string>
#include <vector>

#include "case_file.hpp"
#include "results.hpp"
#include "streams.hpp"

namespace elvar {
class Run;
}

namespace eqlink_tool {

// Substream kinds of a stream, "mixed", "cisolid" or "noncon", in order.
using Kinds = std::vector<std::string>;

elvar::StreamLayout layout_of(const elvar::Run& run, const Kinds& kinds);

// The stream vector of `setup`: flows at its T and P, everything else missing.
std::vector<double> make_stream(const elvar::Run& run, const elvar::StreamLayout& layout, const Kinds& kinds,
                                const StreamSpec& setup);

// Fills the state words of every substream by a TP flash without chemistry at
// the stream's own temperature and pressure. Returns false, with `failure`
// set, when that flash fails.
bool fill_stream_state(elvar::Run& run, const elvar::StreamLayout& layout, std::vector<double>& stream,
                       long long level, std::string& failure);

StreamResult read_stream(const Case& c, const elvar::StreamLayout& layout, const Kinds& kinds,
                         const std::vector<double>& stream);

// A host value as a result: the host's missing value (and anything not
// finite) is empty.
Value value_of(double v);

}  // namespace eqlink_tool
