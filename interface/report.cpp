#include "report.hpp"

#include <algorithm>

#include "eqlink_blocks.hpp"
#include "host_services.hpp"
#include "unitio.hpp"

namespace eqlink {
namespace {

constexpr ftn::Int kErrorLines = 10;     // DMS_ERROUT
constexpr ftn::Int kTerminalLines = 20;  // DMS_MAXWRT
constexpr ftn::Len kLineLength = 80;     // both buffers

// Copies as many of `lines` as the buffer holds, each blank-padded or cut
// to 80 characters, and returns how many were copied. Lines beyond the
// buffer's capacity are dropped: one call sends one buffer.
ftn::Int fill_buffer(char (*buffer)[kLineLength], ftn::Int capacity,
                     std::initializer_list<std::string_view> lines) {
    ftn::Int n = 0;
    for (std::string_view line : lines) {
        if (n == capacity) break;
        ftn::fill(buffer[n], kLineLength, line);
        ++n;
    }
    return n;
}

void send_to_terminal(std::initializer_list<std::string_view> lines) {
    const ftn::Int n = fill_buffer(DMS_MAXWRT, kTerminalLines, lines);
    DMS_WRTTRM(&n);
}

}  // namespace

RoutineId::RoutineId(std::string_view name) {
    const std::string_view head = name.substr(0, std::min<std::size_t>(4, name.size()));
    const std::string_view tail = name.size() > 4 ? name.substr(4, 4) : std::string_view{};
    words[0].set_chars(head);
    words[1].set_chars(tail);
}

bool host_agrees(const RoutineId& id, const MessageKey& key) {
    const ftn::Int missing_integer = DMS_GLOBAL[7].i();  // word 8
    const ftn::Int zero = 0;
    return DMS_IRRCHK(id.words, &key.severity, &key.number, &key.level, &missing_integer, &zero,
                      &key.flag, &key.last) != 0;
}

void print_message(std::initializer_list<std::string_view> lines) {
    const ftn::Int n = fill_buffer(DMS_ERROUT, kErrorLines, lines);
    DMS_ERRPRT(&n);
}

bool report(const RoutineId& id, const MessageKey& key,
            std::initializer_list<std::string_view> lines) {
    if (!host_agrees(id, key)) return false;
    print_message(lines);
    return true;
}

bool tracing() { return ftn::truth(EQLINK_CONFIG.LDEBUG); }

void trace(std::initializer_list<std::string_view> lines) {
    if (tracing()) send_to_terminal(lines);
}

void terminal(std::initializer_list<std::string_view> lines) { send_to_terminal(lines); }

void report_record(std::string_view line) {
    const unitio::Unit unit = DMS_GLOBAL[4].i4();  // word 5, first 4 bytes
    unitio::write_record(unit, line);
}

}  // namespace eqlink
