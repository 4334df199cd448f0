// The one error the host's set-up API raises: a run description that cannot
// be built (bad names, formulas, sizes, a plex too small). The message names
// the item and the field that was wrong.
#pragma once

#include <stdexcept>
#include <string>

namespace elvar {

class SetupError : public std::runtime_error {
public:
    explicit SetupError(const std::string& what) : std::runtime_error(what) {}
};

}  // namespace elvar
