// A small linear programme in standard form, solved exactly by the simplex
// method on a dense tableau: min c.x subject to A x = b, x >= 0, with A
// given by columns and b >= 0. Two phases (artificial variables first),
// Bland's rule (no cycling). Sized for the acceptance check: a few rows
// (the elements) and a few hundred columns (phases at fixed compositions).
#pragma once

#include <vector>

namespace eqcore {

struct ColumnLpAnswer {
    bool feasible = false;
    double value = 0.0;
    std::vector<double> x;     // per column
    std::vector<double> dual;  // per row: y with c_k - y.A_k >= 0 for every column, = 0 in the basis
};

// `columns[k]` has one entry per row of b. Rows are scaled to b = 1 inside
// (a row with b = 0 keeps its scale), so amounts of very different size
// are treated alike.
ColumnLpAnswer solve_column_lp(const std::vector<std::vector<double>>& columns, const std::vector<double>& cost,
                               const std::vector<double>& b);

}  // namespace eqcore
