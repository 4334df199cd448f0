// Error numbers of the engine and the exception that carries them.
//
// The numbers are what callers receive in their status word; they are
// stable: a number is never reused or renumbered, new ones are appended.
// eqcore/README.md lists them with their texts.
#pragma once

#include <array>
#include <stdexcept>
#include <string>
#include <string_view>

namespace eqcore {

enum class Error : int {
    none = 0,
    // settings
    unknown_quantity = 1,
    unknown_unit = 2,
    unknown_io_kind = 3,
    invalid_io_unit = 4,
    unknown_limit = 5,
    invalid_limit = 6,
    // files
    cannot_open_file = 10,
    no_file_open = 11,
    data_file = 12,
    no_binary_header = 13,
    // system and inquiries
    no_system = 20,
    phase_out_of_range = 21,
    constituent_out_of_range = 22,
    unknown_phase = 23,
    unknown_status = 24,
    no_molar_mass = 25,
    sublattice_out_of_range = 26,
    element_out_of_range = 27,
    // conditions
    unknown_condition = 30,
    condition_out_of_range = 31,
    too_many_conditions = 32,
    invalid_value = 33,
    // streams
    unknown_stream = 40,
    too_many_streams = 41,
    blank_stream_name = 42,
    unknown_property = 43,
    invalid_amount = 44,
    // calculations
    no_current_result = 50,
    no_material = 51,
    element_not_carried = 52,
    temperature_outside_limits = 53,
    no_convergence = 54,
    target_not_met = 55,
    missing_condition = 56,
    precipitation_on_stoichiometric = 57,
    unknown_option = 58,
    // boundary and internal
    missing_argument = 90,
    out_of_memory = 98,
    internal = 99,
};

// The one-line text of an error number (ECERR's first line after the number).
std::string_view error_text(Error e);

// A failure inside the engine: its number and what exactly went wrong
// (the offending name, value, file and line).
class Failure : public std::runtime_error {
public:
    Failure(Error code, const std::string& detail) : std::runtime_error(detail), code_(code) {}
    Error code() const { return code_; }

private:
    Error code_;
};

// The three lines of ECERR, at most kErrorLineLength characters each:
// the number and its text, then the detail, wrapped at blanks.
inline constexpr std::size_t kErrorLineLength = 80;
using ErrorLines = std::array<std::string, 3>;
ErrorLines error_lines(Error code, std::string_view detail);

// `text` shortened from the left to at most `width` characters, with "..."
// in front when cut (file paths keep their most telling end).
std::string shorten_left(std::string_view text, std::size_t width);

}  // namespace eqcore
