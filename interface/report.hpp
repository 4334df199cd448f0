// The one way every EQLINK routine talks to the host: messages through the
// host's error check, trace lines to the terminal, listings on the report
// unit.
#pragma once

#include <initializer_list>
#include <string_view>

#include "fortran.hpp"

namespace eqlink {

// A routine's identifier towards the host: its name split after the fourth
// character into two words of 4 characters each, blank-padded
// ("CASTRT" -> "CAST", "RT"; "CATOP" -> "CATO", "P").
struct RoutineId {
    ftn::Word words[2];
    explicit RoutineId(std::string_view name);
};

// The arguments of the host's error check besides the identifier.
struct MessageKey {
    ftn::Int severity;
    ftn::Int number;
    ftn::Int level;   // the diagnostic level that applies to the caller
    ftn::Int flag = 0;  // the seventh word (0 or 1)
    ftn::Int last = 2;  // the eighth word
};

// Asks DMS_IRRCHK (with DMS_GLOBAL word 8 and 0 as the fifth and sixth
// words). Only when it answers nonzero the lines go into DMS_ERROUT from the
// first line on (each blank-padded or cut to 80 characters) and DMS_ERRPRT
// prints them; when it answers 0 the buffer is not touched. The buffer holds
// 10 lines: lines after the tenth are not sent. Lines are written exactly as
// given: message lines carry their own six leading blanks. Returns whether
// the host agreed.
bool report(const RoutineId& id, const MessageKey& key, std::initializer_list<std::string_view> lines);
// Only the question, for callers whose behaviour depends on the answer
// before they format anything.
bool host_agrees(const RoutineId& id, const MessageKey& key);
// Writes lines into DMS_ERROUT and calls DMS_ERRPRT, after host_agrees.
void print_message(std::initializer_list<std::string_view> lines);

// The trace switch LDEBUG of EQLINK_CONFIG.
bool tracing();
// Trace lines: into DMS_MAXWRT and DMS_WRTTRM, only when tracing; the
// buffer is not touched otherwise. Each line is blank-padded or cut to 80
// characters; the buffer holds 20 lines, and lines after the twentieth are
// not sent.
void trace(std::initializer_list<std::string_view> lines);
// The same lines sent to the terminal whatever the trace switch says.
void terminal(std::initializer_list<std::string_view> lines);
// One record on the host's report unit: the 4-byte integer at the start of
// DMS_GLOBAL word 5. The line is written whole (report lines may be longer
// than the terminal's 80 columns).
void report_record(std::string_view line);

}  // namespace eqlink
