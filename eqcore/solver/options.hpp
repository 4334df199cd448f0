// Tolerances and limits of the Gibbs-energy minimiser. The defaults are the
// engine's: element balances to 1e-12 relative, chemical-potential residuals
// to 1e-9 RT, target temperatures well inside 0.01 K.
#pragma once

namespace eqcore {

struct SolverOptions {
    double balance_tol = 1e-12;     // |b - A n| / b per element
    double mu_tol = 1e-9;           // |mu_i - sum a_ij pi_j| / RT
    double stability_tol = 1e-9;    // driving force / RT below which an absent phase is added
    double T_tol = 1e-7;            // K, width of the final bracket of a target search
    double H_rel_tol = 1e-10;       // enthalpy condition, relative to the enthalpy scale
    int max_newton = 200;           // Newton iterations per phase assemblage
    int max_assemblages = 60;       // phase additions and removals per calculation
    bool warm_start = true;         // reuse the previous solution when the setup is unchanged
    // Move a present mixture written once out of a higher basin of its own
    // (a lower assemblage with it at another composition); off only to
    // compare with the state it leaves.
    bool leave_higher_basins = true;
};

}  // namespace eqcore
