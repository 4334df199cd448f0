// A brute-force oracle of the equilibrium of a ternary system, independent
// of the solver: the lower convex hull of the phases' molar Gibbs energies
// over a fine composition grid.
//
// Every phase's G per mole of atoms is evaluated at every point of a grid
// of the composition triangle of three elements (a stoichiometric phase at
// its one composition). The hull at a feed composition is the least
// sum l_k G_k with sum l_k x_k = x_feed, l >= 0 over those points, a linear
// programme solved exactly by the simplex method on three rows. Its
// multipliers are the elements' potentials; each phase's distance to that
// tangent plane, G_m(x) - pi.x, is then minimised from its lowest grid
// points by a pattern search (no derivatives), the minima join the points
// and the programme is solved again, a few rounds. Two bounds result:
//   upper: the programme's value, an assemblage of real phase points;
//   lower: pi.x_feed plus the least distance found (<= 0), which no
//          assemblage can beat when the grid resolves every basin.
// Restricted to what the hard test files hold: substitutional solutions
// whose constituents are single atoms of one element, and stoichiometric
// phases.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "data/system.hpp"
#include "thermo/phase_model.hpp"

namespace eqcore::oracle {

using Composition = std::array<double, 3>;  // fractions of the three elements

struct HullPoint {
    int phase = 0;  // first copy of its family
    Composition x{};
    double g = 0.0;  // J per mol of atoms
};

struct HullAnswer {
    double upper = 0.0;  // J per mol of atoms
    double lower = 0.0;
    Composition potential{};  // J per mol of each element
    // Phase instances of the assemblage: family name, composition, fraction
    // of the atoms (nearby points of one phase merged).
    struct Instance {
        std::string family;
        Composition x{};
        double fraction = 0.0;
    };
    std::vector<Instance> assemblage;
    // Families and how many instances of each carry more than `share` of the atoms.
    std::map<std::string, int> families(double share) const;
};

class HullOracle {
public:
    // `elements`: indices of the three elements in the System; every other
    // element is absent. `grid`: divisions of each side of the triangle.
    HullOracle(const System& sys, std::array<int, 3> elements, double T, double P, int grid);
    ~HullOracle();
    HullAnswer at(const Composition& feed) const;
    // Unsupported phases met (a constituent that is not one atom of one
    // element in a solution, or the gas): their names.
    const std::vector<std::string>& unsupported() const { return unsupported_; }

private:
    struct Family;
    double molar_g(const Family& f, const Composition& x) const;
    void refine(const Family& f, const Composition& pi, std::vector<HullPoint>& points, double& least) const;

    const System& sys_;
    std::array<int, 3> elements_;
    double T_, P_;
    int grid_;
    std::vector<Family> families_;
    std::vector<HullPoint> grid_points_;
    std::vector<std::string> unsupported_;
};

// Family name of a phase: its name without a copy suffix "#k".
std::string family_of(const std::string& phase_name);

}  // namespace eqcore::oracle
