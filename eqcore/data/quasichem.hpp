// The data of a quasichemical liquid (SUBG: pair approximation; SUBQ:
// quadruplet approximation on two sublattices) as the .dat file gives it.
// Ions are numbered in one list, cations 0..nCat-1 then anions
// nCat..nCat+nAn-1 (the file counts from 1). The phase's constituents are
// its end members, one per (cation, anion) pair; its internal variables, the
// quadruplets, are built from these data by the model (thermo/quasichem.hpp).
#pragma once

#include <array>
#include <string>
#include <vector>

namespace eqcore {

// Coordination numbers of one quadruplet AB/XY (A <= B, X <= Y in the ion
// numbering; a record written the other way round is stored swapped).
struct QuasichemCoordination {
    std::array<int, 4> ion{};      // A, B, X, Y
    std::array<double, 4> z{};     // Z_A, Z_B, Z_X, Z_Y
    bool operator==(const QuasichemCoordination&) const = default;
};

// One excess record: g = L(T) * f(composition) * W (thermo/quasichem_excess.hpp).
struct QuasichemTerm {
    char kind = 'G';               // 'G' (chi variables) or 'Q' (xi variables)
    std::array<int, 4> ion{};      // A, B, X, Y: one sublattice mixes (A != B, X == Y or A == B, X != Y)
    int p = 0, q = 0, r = 0;       // powers of the two composition variables and of the ternary factor
    int e4 = 0;                    // fourth exponent as written (unused)
    int ternary = -1;              // third cation of a ternary term, -1 for a binary term
    std::array<double, 4> coef{};  // L(T) = c1 + c2 T + c3 T ln T + c4 T^2
    std::array<double, 12> unused{};  // the two records of six reals the format carries, as written
    bool operator==(const QuasichemTerm&) const = default;
};

// An interpolation override: in the ternary of cations i, j, k the binaries
// are interpolated Kohler-type (the third cation joins neither side), for
// cation-sublattice binaries with common anion s (-1: every anion).
struct QuasichemKohler {
    std::array<int, 3> cation{};
    int anion = -1;
    bool operator==(const QuasichemKohler&) const = default;
};

struct QuasichemData {
    bool quadruplet = false;  // SUBQ (entropy exponents 3/4, 1/2) rather than SUBG (1, 1)
    std::vector<std::string> cation, anion;
    std::vector<double> cation_charge, anion_charge;  // magnitudes
    std::vector<int> cation_group, anion_group;
    // Per end member (the phase's constituents, in file order).
    std::vector<int> em_cation, em_anion;             // 0-based within their sublattice
    std::vector<double> nu_cation, nu_anion;          // ions in the end-member formula
    std::vector<double> zeta;                         // pair-entropy ratio
    std::vector<std::array<double, 3>> em_unused;     // r3..r5 as written
    std::vector<QuasichemCoordination> coordination;  // as listed (the others take defaults)
    std::vector<QuasichemTerm> terms;
    std::vector<QuasichemKohler> kohler;

    int cations() const { return static_cast<int>(cation.size()); }
    int anions() const { return static_cast<int>(anion.size()); }
    int ions() const { return cations() + anions(); }
    // Number of quadruplets: nCat(nCat+1)/2 * nAn(nAn+1)/2.
    int quadruplets() const { return cations() * (cations() + 1) / 2 * (anions() * (anions() + 1) / 2); }
    // The end member of (cation c, anion a), 0-based, or -1.
    int end_member(int c, int a) const {
        for (std::size_t m = 0; m < em_cation.size(); ++m)
            if (em_cation[m] == c && em_anion[m] == a) return static_cast<int>(m);
        return -1;
    }
    bool operator==(const QuasichemData&) const = default;
};

}  // namespace eqcore
