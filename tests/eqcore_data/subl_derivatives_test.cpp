// The remainder of every sublattice phase of every sublattice file against
// differences of itself: at random interior compositions (fractions not
// on the site ratios too: the remainder is defined off them), the gradient
// in the internal amounts against central differences of the amount times
// the remainder, and the Hessian against central differences of that
// gradient; the Hessian symmetric to the last bit and mapping the amounts
// to 0 (the remainder is homogeneous of degree 1). The cross terms between
// two mixing sublattices and between a fixed one and a mixing one are
// where the Hessian's centring can go wrong; the three-sublattice phase of
// al-mg.dat and the reciprocal phases of the test data hold them.
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "amount_remainder.hpp"
#include "test_util.hpp"
#include "thermo/models.hpp"
#include "thermo/subl.hpp"

namespace eqcore {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

struct File {
    std::string path;
    double T;
};

std::vector<File> files() {
    return {{testing::example("zr-h.dat"), 700.0},
            {testing::example("fe-c.dat"), 1000.0},
            {testing::example("fe-c.dat"), 400.0},  // fcc below its Neel temperature
            {testing::example("fe-sgte.dat"), 900.0},
            {testing::example("al-mg.dat"), 600.0},
            {testing::test_data("sublattice-models.dat"), 900.0},
            {testing::test_data("example-c.dat"), 1000.0},
            {testing::test_data("../../eqcore_solver/data/subl-gap.dat"), 800.0}};
}

using testing_support::amount_remainder;

std::vector<double> gradient(const PhaseModel& m, double T, const std::vector<double>& v) {
    double total = 0.0;
    for (double x : v) total += x;
    std::vector<double> w(v.size()), g(v.size());
    for (std::size_t i = 0; i < v.size(); ++i) w[i] = v[i] / total;
    m.excess(T, w, g);
    return g;
}

TEST(SublatticeRemainder, GradientAndHessianAreDifferencesOfTheRemainderOnEverySublatticeFile) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> share(0.05, 1.0);
    int phases = 0;
    for (const File& f : files()) {
        const System sys = read_dat(f.path);
        const PhaseModels models(sys);
        for (int p = 0; p < models.size(); ++p) {
            if (!dynamic_cast<const SublModel*>(&models[p])) continue;
            const PhaseModel* model = &models[p];
            ++phases;
            const std::string where = f.path + " " + sys.phases[sz(p)].name;
            const auto m = sz(model->layout().variables);
            for (int trial = 0; trial < 4; ++trial) {
                std::vector<double> v(m);
                double total = 0.0;
                for (double& x : v) total += (x = share(rng));
                for (double& x : v) x /= total;  // sum 1: the Hessian is (sum v) d2R
                std::vector<double> g(m), hess(m * m);
                model->excess(f.T, v, g, hess);
                double gscale = 1.0, hscale = 1.0;
                for (double x : g) gscale = std::max(gscale, std::fabs(x));
                for (double x : hess) hscale = std::max(hscale, std::fabs(x));
                for (std::size_t i = 0; i < m; ++i) {
                    std::vector<double> up = v, down = v;
                    const double h = 1e-5 * v[i];
                    up[i] += h;
                    down[i] -= h;
                    const double dR = (amount_remainder(*model, f.T, up) - amount_remainder(*model, f.T, down)) / (2 * h);
                    EXPECT_TRUE(testing::near_rel(g[i], dR, 1e-6, 1e-7 * gscale)) << where << " gradient " << i;
                    const std::vector<double> gu = gradient(*model, f.T, up), gd = gradient(*model, f.T, down);
                    double hv = 0.0;
                    for (std::size_t k = 0; k < m; ++k) {
                        EXPECT_TRUE(testing::near_rel(hess[k * m + i], (gu[k] - gd[k]) / (2 * h), 1e-5, 1e-6 * hscale))
                            << where << " Hessian " << k << "," << i;
                        EXPECT_EQ(hess[i * m + k], hess[k * m + i]) << where << " symmetry " << i << "," << k;
                        hv += hess[i * m + k] * v[k];
                    }
                    EXPECT_NEAR(hv, 0.0, 1e-10 * hscale) << where << " homogeneity, row " << i;
                }
            }
        }
    }
    EXPECT_GE(phases, 12);  // every file holds at least one
}

}  // namespace
}  // namespace eqcore
