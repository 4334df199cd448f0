// The two ways a command of the tool fails, with the exit status each gives:
// bad input (a file, key, option or value the user must correct; exit 2) and
// a calculation that failed (exit 1). The message of an InputError is one
// line that names the file, the line or key, and what is wrong.
#pragma once

#include <stdexcept>
#include <string>

namespace eqlink_tool {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitBadInput = 2;

class InputError : public std::runtime_error {
public:
    explicit InputError(const std::string& what) : std::runtime_error(what) {}
};

}  // namespace eqlink_tool
