// The words callers pass to the entry points (case ignored, trailing blanks
// ignored), turned into the session's own values. An unknown word is an
// error naming it and the words that are known.
#pragma once

#include <string_view>

#include "session/conditions.hpp"
#include "session/session.hpp"
#include "session/stream.hpp"

namespace eqcore::abi {

bool entered_word(std::string_view word);                // "ENTERED" true, "ELIMINATED" false
std::string_view status_word(Status s);                  // "ENTERED", "ELIMINATED", "DORMANT"
IoKind io_kind_word(std::string_view word);              // "file", "error", "list"
ConditionKind condition_word(std::string_view word);     // "T", "P", "H", "A"
StreamProperty property_word(std::string_view word);     // "H", "S", "G", "V", "Cp"

enum class Limit { tlow, thigh };
Limit limit_word(std::string_view word);                 // "TLOW", "THIGH"

}  // namespace eqcore::abi
