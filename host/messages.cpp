// DMS_IRRCHK and DMS_ERRPRT: the host decides whether a message is reported,
// then prints it to the report file and the terminal and keeps it in the log.
#include <algorithm>
#include <string>

#include "blocks.hpp"
#include "guard.hpp"
#include "message_log.hpp"
#include "terminal.hpp"
#include "unitio.hpp"

namespace elvar {
namespace {

struct Log {
    std::vector<Message> messages;
    std::ptrdiff_t last_accepted = -1;  // index into messages
};

Log& log() {
    static Log l;
    return l;
}

std::string word_text(const ftn::Word& w) {
    return std::string(ftn::trim_right(w.chars().substr(0, 4)));
}

const char* kind_of(ftn::Int severity) {
    if (severity <= 1) return "ERROR";
    if (severity == 2) return "SEVERE WARNING";
    if (severity == 3) return "WARNING";
    return "INFORMATION";
}

// The report file and the terminal get the same line.
void print(std::string_view line) {
    const unitio::Unit unit = word(DMS_GLOBAL, 5).i4();
    if (unitio::is_open(unit)) unitio::write_record(unit, line);
    terminal_write(line);
}

}  // namespace

std::string Message::routine() const {
    std::string r = id1;
    if (!id2.empty()) r += " " + id2;
    return r;
}

const std::vector<Message>& message_log() { return log().messages; }

std::vector<Message> reported_messages() {
    std::vector<Message> out;
    for (const Message& m : log().messages)
        if (m.answer != 0) out.push_back(m);
    return out;
}

void clear_message_log() { log() = Log{}; }

}  // namespace elvar

extern "C" ftn::Int DMS_IRRCHK(const ftn::Word* id, const ftn::Int* severity, const ftn::Int* number,
                               const ftn::Int* level, const ftn::Int* /*imiss*/,
                               const ftn::Int* /*zero*/, const ftn::Int* /*flag*/,
                               const ftn::Int* /*two*/) {
    using namespace elvar;
    return guarded<ftn::Int>(1, [&] {
    // Report when the caller's level reaches the message's severity; errors
    // of severity 0 and -1 need level 1 like any other error.
    const ftn::Int answer = *level >= std::max<ftn::Int>(*severity, 1) ? 1 : 0;
    Message m;
    m.id1 = word_text(id[0]);
    m.id2 = word_text(id[1]);
    m.severity = *severity;
    m.number = *number;
    m.level = *level;
    m.answer = answer;
    Log& l = log();
    l.messages.push_back(std::move(m));
    if (answer != 0) l.last_accepted = static_cast<std::ptrdiff_t>(l.messages.size()) - 1;
    return answer;
    });
}

extern "C" void DMS_ERRPRT(const ftn::Int* nlines) {
    using namespace elvar;
    guarded([&] {
    Log& l = log();
    if (l.last_accepted < 0) {
        // Printing without an accepted check: keep the lines all the same.
        l.messages.push_back(Message{});
        l.messages.back().answer = 1;
        l.last_accepted = static_cast<std::ptrdiff_t>(l.messages.size()) - 1;
    }
    Message& m = l.messages[static_cast<std::size_t>(l.last_accepted)];
    print(" *** " + std::string(kind_of(m.severity)) + " in " +
          (m.name().empty() ? std::string("(unknown routine)") : m.name()) + ", message " +
          std::to_string(m.number) + ", severity " + std::to_string(m.severity));
    const ftn::Int n = std::clamp<ftn::Int>(*nlines, 0, static_cast<ftn::Int>(kErroutLines));
    for (ftn::Int i = 0; i < n; ++i) {
        const std::string_view line = ftn::trim_right({DMS_ERROUT[i], kLineChars});
        print(line);
        m.lines.emplace_back(line);
    }
    const unitio::Unit unit = word(DMS_GLOBAL, 5).i4();
    unitio::flush(unit);
    std::fflush(stdout);
    });
}
