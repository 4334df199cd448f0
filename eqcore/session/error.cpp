#include "session/error.hpp"

namespace eqcore {

std::string_view error_text(Error e) {
    switch (e) {
        case Error::none: return "no error";
        case Error::unknown_quantity: return "unknown quantity for a unit";
        case Error::unknown_unit: return "unknown unit";
        case Error::unknown_io_kind: return "unknown kind of I/O unit";
        case Error::invalid_io_unit: return "invalid I/O unit number";
        case Error::unknown_limit: return "unknown limit name";
        case Error::invalid_limit: return "invalid temperature limit";
        case Error::cannot_open_file: return "cannot open file";
        case Error::no_file_open: return "no data file open on the file unit";
        case Error::data_file: return "error in the data file";
        case Error::no_binary_header: return "no binary data file has been read";
        case Error::no_system: return "no data file has been read";
        case Error::phase_out_of_range: return "phase number out of range";
        case Error::constituent_out_of_range: return "constituent number out of range";
        case Error::sublattice_out_of_range: return "sublattice number out of range";
        case Error::element_out_of_range: return "element number out of range";
        case Error::unknown_phase: return "unknown phase name";
        case Error::unknown_status: return "unknown status word";
        case Error::no_molar_mass: return "constituent has no molar mass";
        case Error::unknown_condition: return "unknown condition name";
        case Error::condition_out_of_range: return "condition number out of range";
        case Error::too_many_conditions: return "too many conditions";
        case Error::invalid_value: return "invalid value";
        case Error::unknown_stream: return "unknown stream";
        case Error::too_many_streams: return "too many streams";
        case Error::blank_stream_name: return "blank stream name";
        case Error::unknown_property: return "unknown stream property";
        case Error::invalid_amount: return "invalid amount";
        case Error::no_current_result: return "no current result";
        case Error::no_material: return "no material in the streams";
        case Error::element_not_carried: return "element carried by no entered constituent";
        case Error::temperature_outside_limits: return "temperature outside the limits";
        case Error::no_convergence: return "no convergence";
        case Error::target_not_met: return "target not met between the limits";
        case Error::missing_condition: return "missing condition";
        case Error::precipitation_on_stoichiometric: return "precipitation target on a stoichiometric phase";
        case Error::unknown_option: return "unknown option";
        case Error::missing_argument: return "missing argument";
        case Error::out_of_memory: return "out of memory";
        case Error::internal: return "internal error";
    }
    return "unknown error";
}

std::string shorten_left(std::string_view text, std::size_t width) {
    if (text.size() <= width) return std::string(text);
    if (width <= 3) return std::string(text.substr(text.size() - width));
    return "..." + std::string(text.substr(text.size() - (width - 3)));
}

namespace {

// Takes from `rest` the longest head that fits in `width` characters,
// breaking at the last blank when there is one.
std::string take_line(std::string_view& rest, std::size_t width) {
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    if (rest.size() <= width) {
        std::string line(rest);
        rest = {};
        return line;
    }
    std::size_t cut = rest.substr(0, width + 1).find_last_of(' ');
    if (cut == std::string_view::npos || cut == 0) cut = width;
    std::string line(rest.substr(0, cut));
    rest.remove_prefix(cut);
    return line;
}

}  // namespace

ErrorLines error_lines(Error code, std::string_view detail) {
    constexpr std::size_t w = kErrorLineLength;
    ErrorLines lines;
    lines[0] = "EQCORE error " + std::to_string(static_cast<int>(code)) + ": " + std::string(error_text(code));
    if (lines[0].size() > w) lines[0].resize(w);
    std::string_view rest = detail;
    lines[1] = take_line(rest, w);
    lines[2] = take_line(rest, w);
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    if (!rest.empty()) {
        // Too long for two lines: keep what fits and mark the cut.
        if (lines[2].size() > w - 3) lines[2].resize(w - 3);
        lines[2] += "...";
    }
    return lines;
}

}  // namespace eqcore
