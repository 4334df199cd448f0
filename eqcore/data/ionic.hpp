// The data of an ionic two-sublattice liquid (model code SUBI):
// (cations)_P (anions, vacancy, neutrals)_Q, the site numbers P and Q
// following from electroneutrality. The phase's constituents are the
// records of the file (cation:anion, cation:Va and one copy of each neutral
// per cation); this struct says which ions each record joins and holds the
// excess terms. thermo/ionic_liquid.hpp evaluates it.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace eqcore {

// What an excess record of the liquid couples (C cation, A anion, Va the
// vacancy, B neutral, X any species of the second sublattice), by the
// species it lists.
enum class IonicKind {
    cc_a,      // C,C:A        y_i y_j y_A sum L_v (y_i - y_j)^v
    c_ax,      // C:A,X        y_i y_A y_X sum L_v (y_A - y_X)^v (listing order)
    cc_va,     // C,C:Va       Q y_i y_j y_Va^2 sum L_v (y_i - y_j)^v
    c_vab,     // C:Va,B       Q y_i y_Va y_B L_0
    c_bb,      // C:B,B        Q y_B y_B' sum L_v (y_B - y_B')^v (the cation plays no part)
    c_axx,     // C:A,X,X'     y_i T3(y_A, y_X, y_X')
    ccc_va,    // C,C,C:Va     Q T3(m_i, m_j, m_k), m = y_cation y_Va
    c_vabb,    // C:Va,B,B'    Q T3(m_i, y_B, y_B')
    cc_ax,     // C,C:A,X      y_i y_j y_A y_X sum L_v D_v (reciprocal)
    cc_vab,    // C,C:Va,B     Q T3(m_i, m_j, y_B)
};

struct IonicTerm {
    IonicKind kind = IonicKind::cc_a;
    std::vector<int> cation;                  // cation indices, listing order
    std::vector<int> site2;                   // second-sublattice indices, listing order
    std::vector<std::array<double, 6>> sets;  // binary kinds: orders 0..; ternary kinds: 1 or 3 sets
    bool operator==(const IonicTerm&) const = default;
};

struct IonicLiquid {
    std::vector<std::string> cation;      // names on the first sublattice
    std::vector<double> cation_charge;    // > 0
    std::vector<std::string> site2;       // names on the second: anions, the vacancy, neutrals
    std::vector<double> site2_charge;     // as written: anions < 0, neutrals 0 (the vacancy's is not used)
    int vacancy = -1;                     // index of the vacancy on the second sublattice
    // Per constituent (record) of the phase, in its order: its cation and
    // its second-sublattice species.
    std::vector<int> record_cation;
    std::vector<int> record_site2;
    std::vector<IonicTerm> excess;
    bool operator==(const IonicLiquid&) const = default;

    bool is_anion(int s) const { return s != vacancy && site2_charge[static_cast<std::size_t>(s)] < 0.0; }
    bool is_neutral(int s) const { return s != vacancy && site2_charge[static_cast<std::size_t>(s)] == 0.0; }
    // Charge magnitude of second-sublattice species s (0 for the vacancy and neutrals).
    double anion_charge(int s) const { return is_anion(s) ? -site2_charge[static_cast<std::size_t>(s)] : 0.0; }
};

}  // namespace eqcore
