#include "terminal.hpp"

#include <cstdio>

#include <algorithm>

#include "blocks.hpp"
#include "guard.hpp"

namespace elvar {
namespace {

struct Terminal {
    TerminalMode mode = TerminalMode::print;
    std::vector<std::string> lines;
};

Terminal& terminal() {
    static Terminal t;
    return t;
}

}  // namespace

void set_terminal_mode(TerminalMode mode) { terminal().mode = mode; }
TerminalMode terminal_mode() { return terminal().mode; }
const std::vector<std::string>& terminal_lines() { return terminal().lines; }
void clear_terminal() { terminal().lines.clear(); }

void terminal_write(std::string_view line) {
    Terminal& t = terminal();
    if (t.mode != TerminalMode::capture) {
        // An empty line's view may hold no pointer at all.
        if (!line.empty()) std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
    }
    if (t.mode != TerminalMode::print) t.lines.emplace_back(line);
}

}  // namespace elvar

extern "C" void DMS_WRTTRM(const ftn::Int* nlines) {
    // Lines 1..n of the terminal buffer, n limited to the buffer's 20 lines.
    const ftn::Int n = std::clamp<ftn::Int>(*nlines, 0, static_cast<ftn::Int>(elvar::kMaxwrtLines));
    elvar::guarded([&] {
        for (ftn::Int i = 0; i < n; ++i)
            elvar::terminal_write(ftn::trim_right({DMS_MAXWRT[i], elvar::kLineChars}));
    });
    std::fflush(stdout);
}
