// The host's message log: every question DMS_IRRCHK was asked, with its
// answer, and the lines DMS_ERRPRT printed for it. Tests and tools read it.
#pragma once

#include <string>
#include <vector>

#include "fortran.hpp"

namespace elvar {

struct Message {
    std::string id1, id2;  // the routine identifier's two words, without blanks
    ftn::Int severity = 0;
    ftn::Int number = 0;
    ftn::Int level = 0;    // the diagnostic level the caller passed
    ftn::Int answer = 0;   // 1 report, 0 do not
    std::vector<std::string> lines;  // printed lines, without trailing blanks

    // "CATO P", "CAST RT", "CAHV": the two words joined by a blank.
    std::string routine() const;
    // "CATOP", "CASTRT": the routine's name.
    std::string name() const { return id1 + id2; }
};

const std::vector<Message>& message_log();
// Only the messages the host agreed to report.
std::vector<Message> reported_messages();
void clear_message_log();

}  // namespace elvar
