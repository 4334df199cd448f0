// The magnetic description of a phase (RKMPM, SUBLM, QKTOM): the
// antiferromagnetic multiplier m and structure factor p of the phase record,
// the Curie (Néel) temperature and mean moment of each constituent (end
// member) and their composition dependence, Redlich-Kister-like records on
// the same indices as the phase's excess records.
//
// Tc(y) = sum_e (prod_s y) Tc_e + sum_records (prod y) sum_v Tc^(v) (y_i - y_j)^v,
// likewise beta; a negative value is multiplied by -m.
#pragma once

#include <array>
#include <vector>

namespace eqcore {

struct MagneticInteraction {
    std::vector<int> index;                     // as the phase's excess records (0-based)
    std::vector<std::array<double, 2>> sets;    // (Tc^(v), beta^(v)), v = 0 .. m-1
    bool operator==(const MagneticInteraction&) const = default;
};

struct Magnetic {
    bool present = false;       // the model carries the magnetic term
    double afm = 0.0;           // m: multiplier of a negative Tc or beta
    double structure = 0.0;     // p: 0.40 bcc, 0.28 fcc/hcp
    std::vector<double> tc;     // per constituent, K
    std::vector<double> beta;   // per constituent, Bohr magnetons
    std::vector<MagneticInteraction> interactions;
    bool operator==(const Magnetic&) const = default;
};

}  // namespace eqcore
