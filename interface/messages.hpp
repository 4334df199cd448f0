// Message texts that several routines share, written once so that they read
// alike everywhere, and the six blanks every message line begins with.
#pragma once

#include <string>
#include <string_view>

namespace eqlink {

// Last line of the start-up's failure messages.
inline constexpr std::string_view kInterfaceTerminates = "ELVAR/EQCORE INTERFACE TERMINATES";
// Last line of the solution dictionary's failure messages.
inline constexpr std::string_view kTheInterfaceTerminates = "THE ELVAR/EQCORE INTERFACE TERMINATES";
// Second line of the component-count and engine-failure messages.
inline constexpr std::string_view kEqcoreInterfaceTerminates = "EQCORE/Elvar interface terminates.";

// A message line: six blanks, then the text. (Lines of engine error text
// are passed on as they are, without this.)
inline std::string message_line(std::string_view text) {
    std::string line(6, ' ');
    line += text;
    return line;
}

}  // namespace eqlink
