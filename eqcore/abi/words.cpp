#include "abi/words.hpp"

#include <string>

#include "session/error.hpp"
#include "session/text.hpp"

namespace eqcore::abi {
namespace {

template <class T, std::size_t N>
struct WordTable {
    std::string_view words[N];
    T values[N];
};

template <class T, std::size_t N>
T lookup(const WordTable<T, N>& table, std::string_view given, Error error, const char* what) {
    const std::string_view word = text::trimmed(given);
    for (std::size_t i = 0; i < N; ++i)
        if (text::same_word(word, table.words[i])) return table.values[i];
    std::string known;
    for (std::size_t i = 0; i < N; ++i) known += (i ? ", " : "") + std::string(table.words[i]);
    throw Failure(error, std::string(what) + " '" + std::string(word) + "' (known: " + known + ")");
}

}  // namespace

bool entered_word(std::string_view word) {
    static constexpr WordTable<bool, 2> table{{"ENTERED", "ELIMINATED"}, {true, false}};
    return lookup(table, word, Error::unknown_status, "status");
}

std::string_view status_word(Status s) {
    switch (s) {
        case Status::entered: return "ENTERED";
        case Status::eliminated: return "ELIMINATED";
        case Status::dormant: return "DORMANT";
    }
    return "ELIMINATED";
}

IoKind io_kind_word(std::string_view word) {
    static constexpr WordTable<IoKind, 3> table{{"file", "error", "list"}, {IoKind::file, IoKind::error, IoKind::list}};
    return lookup(table, word, Error::unknown_io_kind, "I/O unit kind");
}

ConditionKind condition_word(std::string_view word) {
    static constexpr WordTable<ConditionKind, 4> table{
        {"T", "P", "H", "A"},
        {ConditionKind::temperature, ConditionKind::pressure, ConditionKind::enthalpy, ConditionKind::target}};
    return lookup(table, word, Error::unknown_condition, "condition");
}

StreamProperty property_word(std::string_view word) {
    static constexpr WordTable<StreamProperty, 5> table{
        {"H", "S", "G", "V", "Cp"},
        {StreamProperty::H, StreamProperty::S, StreamProperty::G, StreamProperty::V, StreamProperty::Cp}};
    return lookup(table, word, Error::unknown_property, "property");
}

Limit limit_word(std::string_view word) {
    static constexpr WordTable<Limit, 2> table{{"TLOW", "THIGH"}, {Limit::tlow, Limit::thigh}};
    return lookup(table, word, Error::unknown_limit, "limit");
}

}  // namespace eqcore::abi
