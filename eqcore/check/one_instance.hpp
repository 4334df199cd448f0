// The least G of an assemblage in which one phase appears once, at free
// constituent amounts, beside phases at fixed compositions (columns), under
// the element balance: a local search from a balanced start, by G values
// alone (no potentials, so a programme whose duals are not unique, as at a
// feed that some compounds make up exactly, does not mislead it).
//
// The unknowns are the phase's constituent amounts and the columns'
// amounts, v >= 0 with A v = b. A pattern search moves them along
// directions that keep the balance: at each sweep the largest amounts
// whose element columns are independent form a basis, and every other
// amount moves up or down with the basis making up its elements (a simplex
// edge), so that an amount at 0 can still enter and the basis, being
// large, rarely blocks a step. Steps are halved from a tenth of the
// material down to `finest` of it; a step is taken where G falls.
#pragma once

#include <vector>

#include "thermo/phase_model.hpp"

namespace eqcore {

struct OneInstanceProblem {
    const PhaseModel* model = nullptr;  // the phase's
    double T = 0.0, P = 0.0;
    // Element content by row (the elements of the material): per
    // constituent of the phase, then per column.
    std::vector<std::vector<double>> content;
    int constituents = 0;       // the phase's, first in `content` and in v
    std::vector<char> usable;   // per constituent of the phase: may hold material (else its amount stays)
    std::vector<double> cost;   // J per unit of each column
    std::vector<double> b;      // element amounts by row
};

// G (J) of the assemblage at v: the phase's by its model, the columns' linear.
double one_instance_G(const OneInstanceProblem& pr, const std::vector<double>& v);

// The search above from the balanced v (moved to the least point found);
// its G. At most `evaluations` values of G.
double least_one_instance(const OneInstanceProblem& pr, std::vector<double>& v, double finest, int evaluations);

}  // namespace eqcore
