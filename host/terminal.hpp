// The host terminal: where DMS_WRTTRM and DMS_ERRPRT send their lines.
// Standard output by default; tests and tools can capture the lines instead
// (or as well).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace elvar {

enum class TerminalMode { print, capture, print_and_capture };

void set_terminal_mode(TerminalMode mode);
TerminalMode terminal_mode();
// The lines captured since the last clear (in capture modes).
const std::vector<std::string>& terminal_lines();
void clear_terminal();
// Sends one line (the host's own services use this).
void terminal_write(std::string_view line);

}  // namespace elvar
