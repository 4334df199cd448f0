// Records of sublattice and magnetic phases: the sublattice block of a
// SUBL/SUBLM phase, the magnetic phase record and the interaction lists in
// the Redlich-Kister frame (`k` / `i_1 .. i_k ns` / ns sets), for excess
// parameters (6 coefficients per set) and magnetic parameters (Tc, beta).
#pragma once

#include <array>
#include <string>
#include <vector>

#include "data/lexer.hpp"
#include "data/system.hpp"

namespace eqcore {

// The block after the last end member: sublattice count, site numbers,
// constituents per sublattice, their names, the index table.
Sublattices read_sublattice_block(Lexer& lex, const std::string& phase, int end_members);

// The magnetic phase record `m p` after the model code.
void read_magnetic_record(Lexer& lex, const std::string& phase, Magnetic& mag);

// One record of an interaction list: indices (0-based into the constituent
// list the phase's records use) and its coefficient sets.
struct ListRecord {
    std::vector<int> index;
    std::vector<std::array<double, 6>> sets;  // magnetic lists fill the first two reals
};

// Reads a list ended by `0`. `sl` gives the sublattices the indices fall
// into (one sublattice of `constituents` for a substitutional phase); each
// record must be a term the compound-energy model defines: one sublattice
// with two listed constituents (any number of sets), or with three (1 or 3
// sets), or two sublattices with two each (1 set), every other sublattice
// with one. `reals` is 6 (excess) or 2 (magnetic). `sets_left` bounds the
// sets of the phase and is decreased.
std::vector<ListRecord> read_interaction_list(Lexer& lex, const std::string& context, const Sublattices& sl, int reals,
                                              int& sets_left);

}  // namespace eqcore
