// Reading of the SUBG / SUBQ block of a quasichemical liquid in the .dat
// format: everything after the model code up to and including the end of
// its excess list (0, or -n and n interpolation-override lines).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "data/lexer.hpp"
#include "data/system.hpp"

namespace eqcore {

struct QuasichemBlockReader {
    // Reads one species entry (name record, option record, ranges) labelled
    // "phase <P>, end member <name>".
    std::function<Constituent()> species;
    // Records a non-fatal finding at a line.
    std::function<void(int line, const std::string& message)> warn;
};

// Reads the block of phase `phase` (SUBQ when `subq`), whose counts record
// (line `counts_line`) gave `header_count`, the number of quadruplets. The
// end members are appended to `end_members` in file order.
QuasichemData read_quasichem(Lexer& lex, const std::string& phase, bool subq, int header_count, int counts_line,
                             const QuasichemBlockReader& io, std::vector<Constituent>& end_members);

}  // namespace eqcore
