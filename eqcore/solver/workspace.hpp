// The solver's internal state: the problem reduced to the elements in the
// material and the phases and constituents that can take part, the current
// amounts, and every buffer the iteration uses. Built (allocated) when the
// setup changes; calculations on the same setup allocate nothing.
//
// Amounts are scaled so that the element amounts sum to 1; chemical
// potentials, element potentials and driving forces are divided by RT.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "data/system.hpp"
#include "solver/conditions.hpp"
#include "solver/free_basis.hpp"
#include "solver/line_minimum.hpp"
#include "solver/options.hpp"
#include "solver/problem.hpp"
#include "solver/result.hpp"
#include "solver/status.hpp"
#include "thermo/models.hpp"
#include "thermo/parameter.hpp"
#include "thermo/standard.hpp"

namespace eqcore::detail {

// A phase that can take part: entered, not dormant, with at least one usable
// constituent (entered, and made only of elements of the material). Its
// slots are the internal variables of its model that a usable constituent
// holds, in the model's order, so the slots of each mixing group
// (sublattice) are contiguous; its amount N is the sum of its slots, a
// formula unit holding `sites` of it.
struct Candidate {
    int phase = 0;      // system phase
    const PhaseModel* model = nullptr;
    bool gas = false;   // ideal gas: pressure term RT ln(P/P°)
    bool ideal = true;  // no remainder (gas, IDMX, pure)
    bool pure = false;  // stoichiometric: one constituent, activity 1
    bool identity = true;  // its slots are its constituents (else the model splits its amounts)
    int first = 0;      // its slots: [first, first + count)
    int count = 0;
    bool present = false;
    double N = 0.0;     // scaled amount (sum of its slots)
    double df = 0.0;    // last driving force / RT per mol (<= 0: stays absent)
    int added = 0;      // times added in the current calculation
    bool excluded = false;  // kept out of the calculation (a target's phase)
    int twin = -1;          // the next copy of the same mixture (NAME#1, NAME#2, ...), -1 if none
    int family = -1;        // the first copy of its mixture, for every copy (-1: written once)
    int same_as = -1;       // an earlier copy with the same data and slots (-1: none): one function
    // Absent, held out by the balance rather than by one plane (see
    // hold_out_by_balance): its certified least distance / RT and the
    // composition where it is reached.
    bool held_by_balance = false;
    double held_D = 0.0;
    std::vector<double> held_x;  // by slot
    int group0 = 0;         // its mixing groups: ws.grp_* [group0, group0 + groups)
    int groups = 1;
    double sites = 1.0;     // internal amount per formula unit (sum of the groups' site numbers)
    std::size_t param_first = 0;  // its remainder's temperature functions at T: ws.params [first, first + count)
    std::size_t param_count = 0;
};

// What the stability search of a non-ideal mixture candidate remembers
// (solver/stability_memory.cpp). The reference: the local minima of its
// tangent-plane distance that its last full search found (at most
// kBasins of them, the lowest), with the temperature, element potentials
// and standard potentials they were found at. The cache: the least
// distance at the current potentials and the search that found it.
struct TangentMemory {
    static constexpr int kBasins = 4;
    bool reference = false;   // a full search has filled the reference
    bool screened = false;    // ... or the screen of a present phase (self_search.cpp): not for absent ones
    double ref_T = 0.0;
    int basins = 0;           // remembered minima: ws.tp_basin_x, ws.basin_D, ws.basin_own
    double ref_min = 0.0;     // least distance of a minimum not at a present copy's composition (1e300: none)
    double own_min = 0.0;     // least distance of a minimum at a present copy's composition (1e300: none)
    double dropped_min = 0.0; // least distance of the minima found but not kept (1e300: none)
    int level = 0;            // cached result: 0 none, 1 quick search, 2 settled (full or certified)
    double T = 0.0;           // cached result: its temperature,
    unsigned long present = 0;  // the present phases (a signature) and potentials (ws.cache_pi)
    double df = 0.0;          // the least distance found
    // The cached result is a quick search's, whose start from the ideal
    // estimate ended at ws.tp_ideal with this distance (a full search at
    // the same potentials starts there too).
    bool has_ideal = false;
    double ideal_D = 0.0;
    // The cached result is certified the least distance (line_minimum.cpp).
    bool certified = false;
    // The bound of its remainder's curvature (own_basin_curvature) and of
    // that curvature's change (excess_third_bound) at temperature
    // curvature_T (0: none yet).
    double curvature_T = 0.0;
    double curvature = 0.0;
    double third = 0.0;
};

// A one-direction candidate's remainder along its line (line_minimum.cpp)
// at the two temperatures the workspace holds values of, with the map of
// its distance's curvature: they depend on the phase's model, its
// parameters at T and the line alone, not on the potentials, so a search
// forms them once per candidate and temperature.
struct LineRemainder {
    double T = -1.0;                   // the temperature it is of (-1: none)
    const PhaseModel* model = nullptr;  // the model and the line (its slot a) it is of
    int a = -1;
    bool served = false;               // false: the remainder is not formed along the line
    // The distance along the line less the potentials' linear part: the
    // remainder over RT per formula unit of the candidate (q, at least of
    // degree 1) and its magnetic term (magnetic.on: it contributes).
    LineFunction line;
    CurvatureMap curvature;            // of the distance along the line without a magnetic term (else count -1)
};
struct LineRemainders {
    LineRemainder at[2];
    int next = 0;  // the entry a third temperature replaces
};

// The standard-state values of a candidate's constituents (end members)
// at the two temperatures the workspace holds values of (fill_result.cpp):
// they depend on the phase's model and T alone.
struct HeldStandards {
    double T[2] = {-1.0, -1.0};  // the temperature of each entry (-1: none)
    const PhaseModel* model[2] = {nullptr, nullptr};
    std::vector<StandardProps> sp[2];
    int next = 0;  // the entry a third temperature replaces
};

struct Workspace {
    // --- setup (rebuilt when the problem's structure changes)
    const System* sys = nullptr;
    const PhaseModels* models = nullptr;  // the phases' models in use
    const PhaseModels* models_given = nullptr;  // the problem's (null: own_models)
    PhaseModels own_models;               // built from the system when the problem gives none
    const System* own_models_of = nullptr;  // the system own_models were built from
    std::vector<char> phase_on, const_on, elem_on;  // the setup's signature
    std::vector<char> elem_now;   // elements of the material of the current calculation
    int E = 0;                    // elements in the material
    std::vector<int> elem;        // active element -> system element
    std::vector<Candidate> cand;
    int unsupported = -1;         // an entered phase whose model the solver cannot take (-1: none)
    std::vector<int> slot_var;    // slot -> internal variable of its phase's model
    std::vector<int> slot_cand;   // slot -> candidate
    // Mixing groups of all candidates: slots [grp_begin, grp_end) and the
    // group's share of its candidate's amount (site number / sites).
    std::vector<int> grp_begin, grp_end;
    std::vector<double> grp_share, grp_sites;
    std::vector<double> a;        // slot x E stoichiometry, row-major
    std::vector<double> atoms;    // atoms per formula unit of each slot
    // Per slot: the most of it a reported constituent holds (mol per mol of
    // constituent; at least 1). A constituent's residual is that many times
    // its variable's, and the convergence test weighs the slot's so.
    std::vector<double> res_weight;
    // The nonzero entries of each slot's row of a (most constituents hold
    // one to three of the elements): slot s owns [nz_off[s], nz_off[s + 1])
    // of nz_elem / nz_coef, and [pp_off[s], pp_off[s + 1]) of the products
    // of its entry pairs, pp_coef = a_sj a_sk at pp_idx = j E + k (k <= j).
    std::vector<int> nz_off, nz_elem, pp_off, pp_idx;
    std::vector<double> nz_coef, pp_coef;
    bool negative_stoich = false;  // some slot has a negative stoichiometric coefficient
    int max_phase_count = 0;      // largest variable count of a candidate's model
    int max_groups = 1;           // most mixing groups of a candidate
    int max_constituents = 1;     // most constituents of a candidate's phase

    // --- material and conditions of the current calculation
    std::vector<double> b;        // scaled element amounts (E)
    std::vector<double> b_sys;    // element amounts of the material, mol (system elements)
    std::vector<double> b_in;     // the problem's element amounts, before reduction
    double scale = 1.0;           // mol = scaled * scale
    double T = 0.0, P = 0.0, RT = 0.0, lnP = 0.0;
    std::vector<double> g0;       // mu°/RT per slot at T, P (gas: + ln(P/P°))
    std::vector<double> g0_T;     // the temperature g0 holds
    std::vector<StandardProps> sp0;  // standard-state G, H, S, Cp per slot at T (J, J/K per mol)
    std::vector<ParameterT> params;  // the candidates' remainder parameters at the temperature g0 holds
    std::vector<double> g0_std;   // mu°/RT per slot at T alone (g0 less the gas's pressure term)
    // The standard values of the temperature held before T: a calculation
    // that returns to it (a warm start from a neighbouring temperature, the
    // bracket of a temperature target) swaps them back in rather than
    // evaluating every standard function again.
    double prev_T = -1.0;         // (-1: none held)
    std::vector<double> prev_g0_std;
    std::vector<StandardProps> prev_sp0;
    std::vector<ParameterT> prev_params;
    // The streams' enthalpy of an earlier calculation, J, and the streams and
    // models it was computed from (solver/feeds_held.cpp; null: none held).
    std::vector<Feed> feeds_of;
    const PhaseModels* feeds_models = nullptr;
    double feeds_H = 0.0;
    // Standard-state values of the phases' variables at the temperature the
    // streams last entered at, per phase (empty: not evaluated), and the
    // model each phase's values are of; kept across calculations (new
    // streams mostly differ from the last ones only in their amounts).
    const PhaseModels* feeds_std_of = nullptr;
    double feeds_std_T = -1.0;
    std::vector<std::vector<StandardProps>> feeds_std;
    std::vector<const PhaseModel*> feeds_std_model;

    // --- iterate
    std::vector<double> n;        // scaled amounts per slot
    std::vector<double> mu;       // mu/RT per slot (present phases)
    std::vector<double> pi;       // pi/RT per element
    bool have_solution = false;   // n, pi, presence hold a converged state of this setup
    bool leaving = false;         // inside leave_higher_basins: a phase that cycles ends the calculation
    bool from_cold = false;       // the last converge_tp started from the linear program (not warm)
    // Newton releases directions held free for traces when their border
    // rows make its system singular (the second try of a calculation that
    // failed with them held; newton.cpp).
    bool release_held = false;
    int iterations = 0;
    // This Newton iteration shifted some phase's block (its step is not
    // Newton's own: the residuals left after it are not of second order).
    bool shifted = false;
    // Set by the iteration for the next one: a phase's block that is not
    // positive definite is factorised as it is (near the solution), not
    // shifted; `indefinite` records that one was.
    bool exact_steps = false;
    bool indefinite = false;
    int calculations = 0;         // fixed-T,P calculations done

    // --- buffers
    std::vector<double> K, rhs;           // reduced Newton system
    std::vector<double> KE;               // its element block (E x E, lower triangle) while assembled
    std::vector<double> col;              // per element: one phase's column of the system
    std::vector<double> bal;              // per element: balance residual b - A n
    std::vector<std::size_t> piv;
    std::vector<double> kscale;           // its symmetric scaling, where it is equilibrated
    std::vector<double> xfull, muex, dmuex;  // one phase, in its model's numbering
    std::vector<StandardProps> sp_phase;     // one phase's standard-state values, its model's numbering
    std::vector<double> ln_y;                // per slot: ln of its fraction in its group at the final amounts (evaluate_mu)
    // Per slot: the amount and the 1/N of its phase that ln_y was taken at,
    // where its phase has one mixing group (NaN elsewhere). An iteration
    // that starts from the same numbers takes its logarithms from ln_y.
    std::vector<double> ln_y_n, ln_y_inv;
    std::vector<double> ln_var;              // one phase: ln_y in its model's numbering
    std::vector<double> nconst;              // one phase: amounts of its constituents
    std::vector<HeldStandards> const_std;    // per candidate: its constituents' standard-state values
    std::vector<double> C;                // one mixture phase: I + X^1/2 E X^1/2 / RT
    std::vector<double> Cterm;            // its X^1/2 E X^1/2 / RT alone (C less the shifted diagonal)
    std::vector<double> Vrhs;             // its X^1/2 [A mu] by columns, solved for V and y; X^1/2 A kept
    std::vector<std::size_t> cpiv;
    // One phase with sublattices: its site-ratio constraints in the scaled
    // variables (reflections of their QR), and C projected onto the
    // directions that keep them.
    std::vector<double> cons, cons_tau, Cz;
    bool cz_lu = false;  // Cz holds an LU factor (pivots in cpiv), not a Cholesky one
    std::vector<double> rnew;             // per slot: residual at the new potentials
    std::vector<double> V, y;             // per slot: C^-1 X^1/2 A rows, C^-1 X^1/2 mu
    std::vector<double> dln;              // per slot: composition change, log form
    std::vector<double> res;              // per slot: mu/RT - a.pi at the previous potentials
    std::vector<double> lnx;              // per slot: ln of the mole fraction in its phase
    std::vector<double> per_element;      // per element: scratch
    std::vector<double> balance_held;     // per element: what the present phases hold (balance_residual)
    // Directions of pi the present phases leave free (all material in phases
    // whose compositions span fewer than E dimensions): E x null_dim, by column.
    std::vector<double> null;
    int null_dim = 0;
    // The first exact_dim of them no present constituent depends on (G is
    // the same along them); the others only traces fix.
    int exact_dim = 0;
    FreeBasis free_basis;                  // finds them (free_basis.cpp)
    std::vector<double> free_row, free_unit, free_mean;  // its rows: E, E, E x max_groups (sized on use)
    std::vector<double> balance_n, balance_pi, balance_N;  // balancing along them: the state before a step
    std::vector<double> balance_content;  // ... and each slot's content along them (slots x directions)
    // Directions of pi no constituent of the setup depends on (gauge.cpp):
    // E x gauge_dim, by column, orthonormal; pi is held at 0 along them.
    std::vector<double> gauge;
    int gauge_dim = 0;
    std::vector<double> trace_e;  // per slot: content along a direction traces fix (trace_balance.cpp)
    std::vector<double> trace_lne;  // per slot: ln(n |trace_e|) of the amounts the root is sought at
    // The gauges of recent setups with the stoichiometry they were found
    // from (a solver serving many materials meets the same element sets
    // again): a setup whose rows are equal takes its gauge from here.
    struct HeldGauge {
        int E = 0;
        std::vector<double> rows;  // slots x E
        std::vector<double> gauge;
        int dim = 0;
    };
    std::vector<HeldGauge> gauges_held;
    std::size_t gauge_next = 0;  // the entry a new gauge replaces when all are in use
    // The Newton system in the compounds' basis of pi (compound_basis.cpp):
    // the system as assembled and the basis (E x E, row-major).
    std::vector<double> cb_K, cb_rhs, cb_Q;
    std::vector<double> step;             // per candidate: t (mixture) or dn (pure)
    // The state before a step from a shifted block (newton.cpp): amounts,
    // their logarithms, the candidates' amounts and the potentials.
    std::vector<double> back_n, back_lnx, back_N, back_pi;
    // The state before an addition that may have to be redone as an
    // exchange (solve_tp.cpp): amounts, candidates' amounts and presence,
    // potentials and the entering composition.
    std::vector<double> added_n, added_N, added_pi, added_x;
    std::vector<char> added_present;
    std::vector<double> xtry, xbest;      // stability search compositions
    std::vector<double> wtmp;             // one phase, its slot order: scratch
    std::vector<double> trace_coef;       // exact_trace_rows: one row's coefficients (M), then its start (E)
    std::vector<double> tp_grad, tp_dir, tp_try;  // tangent-plane search of a phase with sublattices
    // Stability memory of every candidate (TangentMemory): per slot the
    // composition of least distance at the cached potentials (tp_x), the
    // standard potentials of the reference (ref_g0) and the remembered
    // minima (tp_basin_x, kBasins blocks of the candidate's slots from
    // kBasins * first); per candidate the element potentials of the
    // reference (ref_pi) and of the cached result (cache_pi), E each, and
    // per remembered minimum its distance and whether it lay at a present
    // copy's composition.
    std::vector<TangentMemory> tpm;
    // The one-direction candidates' remainders along their lines, taken in
    // the order they are first searched (line_remainder_of: per candidate
    // its entry, -1 none yet), so that only those candidates hold one.
    std::vector<LineRemainders> line_remainders;
    std::vector<int> line_remainder_of;
    std::vector<double> tp_x, tp_ideal, ref_g0, tp_basin_x, ref_pi, cache_pi, basin_D;
    std::vector<char> basin_own;
    std::vector<char> var_on;    // one candidate: which of its model's variables are slots
    std::vector<double> var_lin; // one candidate: per variable of its model, scratch
    // phase exchange: present candidates, their columns orthonormalised (E x E),
    // the triangular factor (E x E), the entering column and its coefficients
    std::vector<int> ex_who;
    std::vector<double> ex_q, ex_r, ex_a, ex_l;
    // the linear program of the start
    std::vector<double> lp_tab, lp_cost, lp_col, lp_z;
    std::vector<int> lp_basis, lp_owner;  // basis columns; column -> candidate
    std::vector<double> lp_x;             // column compositions (column x slot-in-phase), flattened
    std::vector<int> lp_xoff;             // offset of each column's composition in lp_x
    int lp_cols = 0;  // capacity
    int lp_used = 0;  // columns of the current program

    // a present phase's screen for a lower basin: the best composition so
    // far, the one it moves to and another basin of the phase (kept across
    // calculations: no allocation)
    std::vector<double> basin_probe, basin_x, basin_other;
    // the columns of the basin program column generation starts from besides those it uses
    std::vector<int> basin_seeds;
    std::vector<double> self_starts;  // a present phase's search: its remembered minima to descend from again

    SolverOptions opt;

    int slots() const { return static_cast<int>(slot_var.size()); }
    const double* arow(int s) const { return a.data() + static_cast<std::size_t>(s) * static_cast<std::size_t>(E); }
    // Amount of mixing group g (the sum of its slots).
    double group_amount(int g) const {
        double x = 0.0;
        for (int s = grp_begin[static_cast<std::size_t>(g)]; s < grp_end[static_cast<std::size_t>(g)]; ++s)
            x += n[static_cast<std::size_t>(s)];
        return x;
    }
    // a_s . v over the nonzero entries of slot s.
    double adot(int s, const double* v) const {
        double x = 0.0;
        const int end = nz_off[static_cast<std::size_t>(s) + 1];
        for (int q = nz_off[static_cast<std::size_t>(s)]; q < end; ++q)
            x += nz_coef[static_cast<std::size_t>(q)] * v[nz_elem[static_cast<std::size_t>(q)]];
        return x;
    }
};

// Builds the setup for `problem` when its structure differs from the one held
// (keeps the remembered solution otherwise). Sets `b` from `element_amount`.
// Returns ok, no_material or element_not_carried (with `message`).
SolverStatus prepare(Workspace& ws, const EquilibriumProblem& problem, const std::vector<double>& element_amount,
                     std::string& message);

// Standard potentials at T and P.
void set_conditions(Workspace& ws, double T, double P);

// First assemblage and element potentials from the linear program (the
// spread of its mixtures as start_from_lp's with `excess_spread`).
bool initial_lp(Workspace& ws, bool excess_spread = false);
// Columns candidate c offers the linear program (its sampled compositions).
int lp_column_count(const Workspace& ws, const Candidate& c);
// The program's parts, shared by the start and the move out of a higher
// basin (basin_start.cpp). A column: candidate c at composition x (mole
// fractions for one mixing group; the amounts of one formula unit for a
// phase with sublattices), appended at ws.lp_used (capacity is the
// caller's); false (nothing appended) when it holds no element. A mixture's
// column added with `priced` false has no cost (its model is not
// evaluated) until lp_price_columns: enough for lp_balances.
bool lp_add_column(Workspace& ws, int c, const double* x, bool priced = true);
// Gives every column added unpriced its cost.
void lp_price_columns(Workspace& ws);
// Whether the balances can be met with the program's ws.lp_used columns
// (their costs are not read; the program is not solved).
bool lp_balances(Workspace& ws);
// Candidate c's sampled compositions as columns (its corners, midpoints,
// centroid). With `once`, a composition that repeats an earlier one up to
// an exchange of constituents its model treats alike is left out.
void lp_sample_columns(Workspace& ws, int c, bool once = false);
// Solves the program over ws.lp_used columns: the amounts in ws.lp_z, the
// duals in ws.pi. False when the balances cannot be met.
bool solve_lp(Workspace& ws);
// The assemblage of the solved program as the iterate: the phases of its
// basis present at their summed amounts, every constituent of a present
// mixture spread to a positive amount, potentials from the duals. With
// `excess_spread` (a start that moves a mixture out of one of its basins)
// every non-ideal mixture's spread takes its excess potentials at the
// program's composition, not sublattice phases' alone.
void start_from_lp(Workspace& ws, bool excess_spread = false);

// Moves every present candidate whose variables are redundant onto its
// model's own split of the same state (where that split stays within its
// slots): the same elements and the same state of the phase, at its least
// Gibbs energy over the splits. Returns the largest change of an amount
// relative to its phase's.
double own_splits(Workspace& ws);
// Candidate c's model's own split of amounts x of its slots (slot order),
// in place: false (x unchanged) where that split needs a variable that is
// not one of its slots.
bool own_split_of(const Workspace& ws, const Candidate& c, double* x);

// The remainder of candidate c's model at fractions x of its slots (the
// other variables of the model at 0): its molar values, and the gradient in
// ws.muex and (with `hessian`) the Hessian times the amount in ws.dmuex, both
// in the model's numbering, J/mol.
ExcessResult remainder_at(Workspace& ws, const Candidate& c, const double* x, bool gradient, bool hessian);

// A phase's scaled block C (m x m) restricted to the directions orthogonal
// to the k constraint columns the caller put in ws.cons (m x k): factorises
// Z'CZ in ws.Cz, shifted by a multiple of I where it is not positive
// definite (C is overwritten); returns the shift (0: exact). With `exact`
// a block that is not positive definite but not singular is factorised as
// it is instead (by LU: ws.cz_lu set, the shift 0). solve_projected then
// gives t <- Z (Z'CZ)^-1 Z' t.
double factor_projected(Workspace& ws, int m, int k, std::span<double> C, bool exact = false);
void solve_projected(Workspace& ws, int m, int k, double* t);
// Rewrites the rows of V and y of candidate c's trace constituents (below
// 1e-8 of their sublattice) from their own rows of its block (factorised
// with `shift` on the diagonal), so that the step's v / sqrt(n) is as
// precise for them as for the majors. B holds V by columns (column j at
// B + j m), then y, for the phase's m constituents.
void exact_trace_rows(Workspace& ws, const Candidate& c, double shift, double* B);

// Chemical potentials of the present phases at the current amounts.
void evaluate_mu(Workspace& ws);

// Moves the traces of the present non-ideal mixtures onto the plane of the
// potentials at a converged state (undone where a balance would move).
void polish_traces(Workspace& ws);

// Newton iteration on the present assemblage until the tolerances hold.
enum class NewtonOutcome { converged, phase_removed, singular, diverged };
NewtonOutcome newton(Workspace& ws, int& removed);

// Driving force / RT of absent candidate c (per mol of its constituents; per
// formula unit for a phase with sublattices); for a mixture the composition
// of least tangent-plane distance is left in ws.xbest (slot order of the
// candidate; fractions within each sublattice). A non-ideal mixture is
// searched from every start unless its remembered minima bound the distance
// from below (see TangentMemory), then from those minima alone.
double driving_force(Workspace& ws, int c);
// The same from the cheap starts only (the ideal-solution estimate and the
// remembered minima): for choosing the phase to add between assemblages.
// A negative value is a true negative driving force; a positive one may
// miss a lower composition.
double quick_driving_force(Workspace& ws, int c);
// Local descent of non-ideal candidate c's tangent-plane distance at ws.pi
// from fractions y (within each sublattice, slot order): D / RT per formula
// unit at the local minimum reached, y moved there.
double descend_distance(Workspace& ws, const Candidate& c, double* y);
// The least distance / RT of candidate c taken as an ideal mixture at
// ws.pi (its closed form), the composition in ws.xbest.
double ideal_distance(Workspace& ws, const Candidate& c);
// Drops what the stability searches remember (a cold start).
void forget_stability(Workspace& ws);

// Tangent-plane distance / RT per formula unit of candidate c at fractions
// y (within each sublattice, slot order): its value only.
double distance_at(Workspace& ws, const Candidate& c, const double* y);
// Every local minimum of the distance of candidate c where it has one free
// direction (line_minimum.cpp): one sublattice of two constituents, slots
// a and a + 1 (y = 1 - t, t), every other of one. Found with certainty;
// false where c is not of that shape, its model's remainder is no
// polynomial along the line, or the certificate is not reached.
struct LineMinima {
    static constexpr int kMost = 16;
    int count = 0;
    int a = 0;
    double t[kMost], u[kMost];  // t and 1 - t at each minimum
    double D[kMost];            // the distance / RT there (distance_at)
};
bool one_direction(const Workspace& ws, const Candidate& c, int& a);
bool line_minima(Workspace& ws, int ci, LineMinima& out);
// The slot fractions (c.count) of minimum k.
void line_point(const Candidate& c, const LineMinima& lm, int k, double* y);

// The least tangent-plane distance of present mixture ci over its own
// compositions (self_search.cpp), its composition in x: screened at spread
// compositions, searched where the screen finds it below its plane or its
// sublattices are too large to screen; remembered minima re-descended
// where they bound the distance.
double least_self_distance(Workspace& ws, int ci, std::vector<double>& x);

// Makes absent candidate `entering` (its composition in ws.xbest) present in
// exchange for a present one when the present phases already make up its
// composition (the phase rule): amounts moved so that the balances hold.
// Returns the candidate that left, or -1 (nothing done: add it normally).
int exchange_phase(Workspace& ws, int entering, bool majors_only = false);

// Copy `ci` of a mixture, just added for the second time in this
// calculation beside a present copy of the same mixture: both copies start
// on either side of the present one's composition (the point of their line
// where the lever rule's state is least), with the lever rule's amounts.
// False (nothing changed) where no such state is below the plane.
bool split_with_copy(Workspace& ws, int ci);

// The present phase absent candidate `entering` (its composition in
// ws.xbest) would displace by the same ratio test with the elements weighted
// by their amounts, so that elements at trace amounts do not count; -1 when
// its column is not made up of the others' in the major elements. With
// `majors_only`, exchange_phase uses that test.
int displaced_phase(Workspace& ws, int entering);

// The directions of pi no constituent of the setup depends on (ws.gauge),
// once per setup; and potentials (or their change) `pi` (E) moved to 0
// along them.
void find_gauge(Workspace& ws);
// The balance along one direction u (size E) of the potentials that only
// traces fix, every present mixture ideal or substitutional with a
// polynomial remainder, with one mixing group: pi moves
// along u and the traces with it until their content along u balances the
// material's (solver/trace_balance.cpp). False, nothing changed, where the
// phases are others or no such balance exists.
bool balance_trace_direction(Workspace& ws, const double* u);
void fix_gauge(const Workspace& ws, double* pi);

// Sets the free directions of pi (ws.null) where the present phases leave
// them undetermined: there the absent mixtures are kept as far from forming
// as possible (least sum of their ideal-mixing partition functions).
void settle_free_potentials(Workspace& ws);

// Stoichiometric phases present beside mixtures each at a trace amount,
// and an element of the material in none of the compounds (the traces hold
// it): the mixtures' amount, scaled (0: not that case).
double traces_beside_compounds(const Workspace& ws);
// In that case, the assembled Newton system (d x d) moved into a basis of
// pi split into the compounds' rows and their complement, where the traces'
// pivots are measured at their own scale (false: not that case, nothing
// done); its undoing (the system as assembled); and the change of pi solved
// there taken back to the elements.
bool to_compound_basis(Workspace& ws, std::size_t d);
void back_to_element_basis(Workspace& ws);
void potentials_from_compound_basis(Workspace& ws, double* dpi);

// The directions of pi the present phases leave free, into ws.null and
// ws.null_dim (ws.exact_dim of them exactly free); returns null_dim.
int free_directions(Workspace& ws);
// The directions of pi no present constituent depends on, found and held
// (ws.null_dim = ws.exact_dim of them, the first of ws.null); returns how
// many (0: none, nothing changed).
int hold_exact_directions(Workspace& ws);
// With free directions of pi (ws.null_dim > 0): moves pi along them until
// absent candidate `c` has no negative driving force, provided no other
// absent candidate then has one. Returns false (pi unchanged) otherwise.
bool shift_free_potential(Workspace& ws, int c);
// True when no constituent of a present mixture depends on the free
// directions of pi (moving pi along them changes no present phase).
bool free_leaves_present_mixtures(const Workspace& ws);
// With free directions of pi (the first ws.exact_dim of ws.null, any
// number) that leave the present phases as they are: moves pi within them
// to where the least driving force of `q` (a target's phase, kept out of
// the calculation) and of every absent candidate is greatest, and returns
// that least. Positive: some potentials the present phases allow keep
// every absent phase and q out; negative: none do, q would form. pi is
// left there and the absent candidates' df updated.
double best_free_distance(Workspace& ws, int q);
// With one free direction of pi: true when absent candidate `c`, a mixture
// written once of two constituents, is held out by the balance although
// below every single plane the present phases allow (held_by_balance.cpp:
// a certificate of potentials along the free direction, one for each side
// of the feed). Sets c.held_by_balance, c.held_D and c.held_x; pi
// unchanged. False with `enters_with` >= 0: no certificate because a
// stoichiometric phase ends the free potentials before c's basin on one
// side is held out; pi is left at that end, where c is to enter together
// with that phase, and ws.xbest at c's composition below the plane there.
bool hold_out_by_balance(Workspace& ws, int c, int& enters_with);
// The vertices of the slice sum_k sigma_k x_k = 0 of the simplex of
// len(sigma) fractions: on each edge between slots of opposite sigma, and
// each slot with sigma 0 (slice_minimum.cpp).
void slice_vertices(const std::vector<double>& sigma, std::vector<std::vector<double>>& corner);
// The least distance / RT of candidate c, a mixture of one mixing group, at
// ws.pi over its compositions on that slice (slot order; sigma of both
// signs, `corner` its vertices), found by descents from the vertices and
// points between them (slice_minimum.cpp); its composition in `best`.
double least_on_slice(Workspace& ws, const Candidate& c, const std::vector<double>& sigma,
                      const std::vector<std::vector<double>>& corner, std::vector<double>& best);

// The largest element balance residual |b - A n| / b of the present
// phases' amounts (the measure of opt.balance_tol); the element's index in
// *worst (-1 when every balance holds exactly). A NaN amount counts as an
// infinite residual.
double balance_residual(Workspace& ws, int* worst = nullptr);
// Whether the balance is open beyond its tolerance along a direction no
// present constituent depends on (the first ws.exact_dim of ws.null): no
// amounts of the present phases can close it there.
bool open_where_fixed(Workspace& ws);
// A message naming the element whose balance is furthest off when that is
// beyond opt.balance_tol; empty when every balance holds.
std::string balance_fault(Workspace& ws);

// Full calculation at the current T and P: start, iterate, add and remove
// phases. Uses the remembered solution when `warm` and one exists.
SolverStatus solve_tp(Workspace& ws, bool warm, std::string& message);
// Its parts: converged on some assemblage (the start, iteration, additions
// and removals), then moved out of any higher basin of a present mixture
// written once (`warm`: the calculation started from a remembered solution,
// so a cold one may decide).
SolverStatus converge_tp(Workspace& ws, bool warm, std::string& message);
SolverStatus leave_higher_basins(Workspace& ws, bool warm, std::string& message);
// G / RT of the converged state (scaled material): sum_j b_j pi_j.
inline double state_G(const Workspace& ws) {
    double g = 0.0;
    for (int j = 0; j < ws.E; ++j) g += ws.b[static_cast<std::size_t>(j)] * ws.pi[static_cast<std::size_t>(j)];
    return g;
}
// The linear program of a move out of a higher basin: present candidate
// `who` at fractions x only (near x where x alone cannot balance), the
// other phases at their present, least distance and sampled compositions,
// refined by column generation. `move`: its value is below G0 (the state's
// G / RT) and its assemblage is the iterate (start_from_lp). `stay`: the
// columns converged (none below the program's plane) with the value not
// below G0, which bounds every assemblage with the phase in x's basin, or
// at the last round the value plus the material times the least distance
// per unit content found is not below G0 by more than 1e-7 per mol.
// `unbalanced`: no assemblage holds the phase at x or near it (the
// program with its neighbourhood's columns cannot meet the balances), so
// none with the phase there is lower either. `unsure`: the program could
// not be solved, or was still adding columns at its last round without
// that bound. Only `move` changes more than the program's buffers and
// ws.pi.
enum class BasinVerdict { stay, move, unbalanced, unsure };
// A start from the program over every candidate's sampled compositions,
// refined by column generation (each mixture's compositions below the
// program's plane added, a few rounds at most) before its assemblage
// becomes the iterate (start_from_lp with the excess spread): the program
// then sees the assemblage of the mixtures' own minima that lies below a
// compound between them, which no sampled composition may reach. False
// when the program cannot be solved.
bool hull_start(Workspace& ws);
BasinVerdict basin_start(Workspace& ws, int who, const std::vector<double>& x, double G0);
// After basin_start: the same program with `who` at one composition only
// (its columns generated across its gap would otherwise merge into one
// instance in the middle of it), from x and from each composition the
// program used it at, each moved towards its local minimum of the distance
// to each program's plane while the program falls; the lowest program's
// assemblage becomes the iterate. False (nothing changed but the program)
// when none can be solved.
bool one_instance_start(Workspace& ws, int who, const std::vector<double>& x);
// After basin_start, with the state restored: a balanced start with `who`
// moved from its present composition towards x only as far as the element
// balance allows: the program with the phase at one composition (and its
// neighbourhood) 1/64 of the way to x, the other phases at the program's
// columns; where that balances, the longest of the whole way, half, a
// quarter, ... that does, bisected a few times towards the first that
// does not, is the iterate (start_from_lp). False (nothing changed but
// the program and ws.pi) where even 1/64 cannot balance: within the
// neighbourhood's reach the balance holds the phase where it is, and the
// only balanced start found is the state itself.
bool towards_start(Workspace& ws, int who, const std::vector<double>& x);
// With the state restored: `who` alone holding the whole feed, started in
// one basin of its own: from each seed (x, or with `sampled` the phase's
// sampled compositions) the program of the phase's columns only, at the seed and
// at the seed moved towards each constituent of each sublattice by the
// shortest step (found by bisection) with which they balance; of these
// assemblages (the columns merged into one instance, every other phase
// absent) the one where the phase's G is least is the iterate. False
// (nothing changed but the program and ws.pi) where the feed lies outside
// what the phase alone can hold.
bool alone_start(Workspace& ws, int who, const std::vector<double>& x, bool sampled);
// The present composition of `who` (its internal fractions) in y.
void present_fractions(const Workspace& ws, int who, std::vector<double>& y);
// With the state restored: another basin of `who` below the state's plane,
// the one on the other side of its present composition from x (a phase
// inside its gap between two basins). Its distance descends from the
// present composition moved away from x; true with that local minimum in
// x2 where it lies below the plane by more than the stability tolerance
// and apart from both x and the present composition.
bool opposite_basin(Workspace& ws, int who, const std::vector<double>& x, std::vector<double>& x2);
// With the state restored: the minimum k of `who`'s distance that its
// stability search remembers (not at its present composition), descended
// again at the state's potentials into xk; true where that lies below the
// plane by more than the stability tolerance and apart from the present
// composition and from each composition in `tried` (the basins already
// decided). The phase alone may hold the feed in a basin that is neither
// the deepest nor the one opposite it.
bool remembered_basin(Workspace& ws, int who, int k, const std::vector<std::vector<double>>& tried,
                      std::vector<double>& xk);

// Fills `out` from the converged state (amounts in mol, potentials in J/mol,
// phase and system properties); `out.H_in` must already hold the streams'
// enthalpy.
void fill_result(Workspace& ws, EquilibriumResult& out);

// Enthalpy of the problem's streams as they enter, J (feeds_enthalpy),
// computed again only when a stream or the models changed since the last
// calculation.
double held_feeds_enthalpy(Workspace& ws, const EquilibriumProblem& pr);

// Enthalpy of the converged state, J, and its heat capacity at fixed amounts, J/K.
double equilibrium_enthalpy(Workspace& ws, double* cp = nullptr);
// dH/dT of the converged state with its amounts following T along the
// equilibrium of its assemblage, J/K, from `cp_fixed` (at fixed amounts);
// NaN where the closed form does not apply (a present phase with a
// remainder or sublattices, potentials the assemblage leaves free).
double equilibrium_heat_capacity(const Workspace& ws, double cp_fixed);

// Temperature targets (the conditions' target kind decides which); `out`
// receives the final state. `H_in`: enthalpy of the streams as they enter.
SolverStatus temperature_target(Workspace& ws, const Conditions& cond, double H_in, EquilibriumResult& out,
                                std::string& message);

}  // namespace eqcore::detail
