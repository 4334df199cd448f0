// The Newton system of stoichiometric phases beside mixtures at trace
// amounts only that hold an element none of the compounds has (Au3Pt(s)
// with Ir at 1e-13 of the material, held by one or two trace mixtures). The compounds fix pi along their rows; the rest of
// pi is fixed by the traces alone, whose part of the system is of their
// order (1e-13), while a compound's column is of order 1. In the element
// basis the directions of that rest mix the compounds' elements, so the
// pivot test of the factorisation measures the traces' pivots against the
// compounds' entries and calls the system singular. In a basis of pi split
// into the compounds' rows and their orthogonal complement, the
// complement's columns hold nothing but the traces' entries (the compounds'
// rows are exactly 0 there), and each pivot is measured at its own scale:
// the traces' equilibrium is solved at their own resolution.
#include <algorithm>
#include <cmath>

#include <Eigen/Dense>

#include "solver/workspace.hpp"

namespace eqcore::detail {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

constexpr double kTraceAmount = 1e-8;  // a mixture below this share of the material is at a trace

}  // namespace

double traces_beside_compounds(const Workspace& ws) {
    double total = 0.0, traces = 0.0;
    int pures = 0, mixtures = 0;
    for (const Candidate& c : ws.cand) {
        if (!c.present) continue;
        total += c.N;
        (c.pure ? pures : mixtures) += 1;
        traces += c.pure ? 0.0 : c.N;
    }
    if (pures == 0 || mixtures == 0 || pures >= ws.E) return 0.0;
    for (const Candidate& c : ws.cand)
        if (c.present && !c.pure && !(c.N < kTraceAmount * total)) return 0.0;
    // Some element of the material is in no compound: the traces hold it
    // (else a mixture vanishing beside the compounds is leaving them).
    for (int j = 0; j < ws.E; ++j) {
        bool held = false;
        for (const Candidate& c : ws.cand) held = held || (c.present && c.pure && ws.arow(c.first)[j] != 0.0);
        if (!held) return traces;
    }
    return 0.0;
}

bool to_compound_basis(Workspace& ws, std::size_t d) {
    const int E = ws.E;
    if (!(traces_beside_compounds(ws) > 0.0)) return false;
    // A rare path: it may allocate. Q = [compounds' row space, complement].
    int pures = 0;
    for (const Candidate& c : ws.cand) pures += c.present && c.pure ? 1 : 0;
    Eigen::MatrixXd R(pures, E);
    int r = 0;
    for (const Candidate& c : ws.cand)
        if (c.present && c.pure) {
            for (int j = 0; j < E; ++j) R(r, j) = ws.arow(c.first)[j];
            ++r;
        }
    Eigen::JacobiSVD<Eigen::MatrixXd> svd(R, Eigen::ComputeFullV);
    int rank = 0;
    for (int i = 0; i < svd.singularValues().size(); ++i)
        rank += svd.singularValues()(i) > 1e-10 * svd.singularValues()(0) ? 1 : 0;
    if (rank == E) return false;
    const Eigen::MatrixXd& Q = svd.matrixV();
    ws.cb_K.assign(ws.K.begin(), ws.K.begin() + static_cast<std::ptrdiff_t>(d * d));
    ws.cb_rhs.assign(ws.rhs.begin(), ws.rhs.begin() + static_cast<std::ptrdiff_t>(d));
    ws.cb_Q.resize(sz(E * E));
    for (int i = 0; i < E; ++i)
        for (int k = 0; k < E; ++k) ws.cb_Q[sz(i * E + k)] = Q(i, k);
    // K <- T' K T, rhs <- T' rhs with T = diag(Q, I).
    Eigen::Map<Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>> K(
        ws.K.data(), static_cast<Eigen::Index>(d), static_cast<Eigen::Index>(d));
    Eigen::Map<Eigen::VectorXd> rhs(ws.rhs.data(), static_cast<Eigen::Index>(d));
    K.leftCols(E) = (K.leftCols(E) * Q).eval();
    K.topRows(E) = (Q.transpose() * K.topRows(E)).eval();
    rhs.head(E) = (Q.transpose() * rhs.head(E)).eval();
    // The compounds' rows and columns: exactly 0 along the complement.
    int row = E;
    for (const Candidate& c : ws.cand) {
        if (!c.present) continue;
        if (c.pure)
            for (int k = rank; k < E; ++k) K(row, k) = K(k, row) = 0.0;
        ++row;
    }
    return true;
}

void back_to_element_basis(Workspace& ws) {
    std::copy(ws.cb_K.begin(), ws.cb_K.end(), ws.K.begin());
    std::copy(ws.cb_rhs.begin(), ws.cb_rhs.end(), ws.rhs.begin());
}

void potentials_from_compound_basis(Workspace& ws, double* dpi) {
    const int E = ws.E;
    double* t = ws.per_element.data();
    for (int i = 0; i < E; ++i) {
        double s = 0.0;
        for (int k = 0; k < E; ++k) s += ws.cb_Q[sz(i * E + k)] * dpi[k];
        t[i] = s;
    }
    std::copy(t, t + E, dpi);
}

}  // namespace eqcore::detail
