// What the stability searches of non-ideal mixtures remember between
// calls (TangentMemory in workspace.hpp): the result at the current
// potentials, and the local minima of the last full search with the state
// they were found at.
//
// The tangent-plane distance of a candidate per formula unit is
//     D(y) = sum_g a_g sum_{s in g} y_s (g0_s + ln y_s - a_s.pi) + sites g_ex(T, w) / RT,
// so from the reference state to the current one it changes by the linear
// part sum_g a_g sum_s y_s (dg0_s - a_s.dpi), at least sum_g a_g min_s (...),
// plus the change of the remainder over RT, which the model bounds
// (PhaseModel::excess_change_bound). Hence D_now(y) >= D_ref(y) + shift for
// every y: where every minimum the reference search found lies above
// -shift, the phase cannot form now, and its least distance is among the
// minima that could still be the lowest.
#pragma once

#include <span>
#include <vector>

#include "solver/workspace.hpp"

namespace eqcore::detail {

// The cached search result of candidate ci at the current potentials and
// assemblage, if one of at least `level` is held: its distance in df and
// its composition in ws.xbest.
bool cached_search(Workspace& ws, int ci, int level, double& df);
// Keeps a search result: the distance df, the composition in ws.tp_x (the
// candidate's slot positions); copies that composition to ws.xbest.
void keep_search(Workspace& ws, int ci, int level, double df);

// A full search of candidate ci at the current state starts a new
// reference; every local minimum it ends in is remembered (the lowest
// kBasins of them; a minimum at a present copy's composition, or the
// phase's own when present, is marked).
void begin_reference(Workspace& ws, int ci);
void remember_minimum(Workspace& ws, int ci, const double* x, double D);

// Candidate `to` takes over everything candidate `from` remembers (the two
// are one function of their composition).
void copy_memory(Workspace& ws, int from, int to);

// Everything the searches remember, to go back to (a state restored after
// a calculation from another start, which forgot it, was not kept).
struct MemoryCopy {
    std::vector<TangentMemory> tpm;
    std::vector<double> tp_x, tp_ideal, ref_g0, tp_basin_x, ref_pi, cache_pi, basin_D;
    std::vector<char> basin_own;
};
void save_memory(const Workspace& ws, MemoryCopy& to);
void restore_memory(Workspace& ws, const MemoryCopy& from);

// The least change of candidate ci's distance since its reference, over
// its whole composition space (-inf without a reference or a bound).
double reference_shift(Workspace& ws, int ci);
// The greatest such change (+inf without a reference or a bound): D_now(y)
// <= D_ref(y) + rise for every y.
double reference_rise(Workspace& ws, int ci);

// Which of candidate c's model variables are its slots (in ws.var_on).
std::span<const char> active_variables(Workspace& ws, const Candidate& c);

}  // namespace eqcore::detail
