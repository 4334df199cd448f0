// The compound-energy polynomial along a line of site fractions against the
// model's own remainder: for every sublattice phase of every sublattice
// file, lines between random compositions (every sublattice mixing, so that
// binary, ternary and reciprocal records all vary along them), the
// polynomial's value at spread t equals the remainder per formula unit
// there. A phase whose magnetic term contributes is no polynomial and says
// so; its polynomial part and its magnetic term's T* and beta* along the
// line (line_parts) make up the remainder.
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "test_util.hpp"
#include "thermo/models.hpp"
#include "thermo/subl.hpp"

namespace eqcore {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

TEST(SublatticeLine, PolynomialAlongALineIsTheRemainderOnEverySublatticeFile) {
    const std::vector<std::pair<std::string, double>> files = {
        {testing::example("zr-h.dat"), 700.0},
        {testing::example("fe-c.dat"), 1000.0},
        {testing::example("al-mg.dat"), 600.0},
        {testing::test_data("sublattice-models.dat"), 900.0},
        {testing::test_data("example-c.dat"), 1000.0},
        {testing::test_data("../../eqcore_solver/data/subl-gap.dat"), 800.0}};
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> share(0.0, 1.0);
    int polynomial = 0, magnetic = 0;
    for (const auto& [path, T] : files) {
        const System sys = read_dat(path);
        const PhaseModels models(sys);
        for (int p = 0; p < models.size(); ++p) {
            const auto* subl = dynamic_cast<const SublModel*>(&models[p]);
            if (!subl) continue;
            const ModelLayout& l = subl->layout();
            const auto m = sz(l.variables);
            std::vector<ParameterT> at(subl->parameter_count());
            subl->parameters(T, at);
            const std::string where = path + " " + sys.phases[sz(p)].name;
            // A point: fractions summing to 1 on each sublattice.
            const auto point = [&]() {
                std::vector<double> y(m);
                for (int g = 0; g < l.groups(); ++g) {
                    double sum = 0.0;
                    for (int i = l.group_first[sz(g)]; i < l.group_first[sz(g) + 1]; ++i) sum += (y[sz(i)] = share(rng));
                    for (int i = l.group_first[sz(g)]; i < l.group_first[sz(g) + 1]; ++i) y[sz(i)] /= sum;
                }
                return y;
            };
            for (int trial = 0; trial < 3; ++trial) {
                const std::vector<double> y0 = point(), y1 = point();
                std::vector<double> dy(m);
                for (std::size_t i = 0; i < m; ++i) dy[i] = y1[i] - y0[i];
                LinePolynomial P;
                LineMagnetic M;
                if (!subl->line_polynomial(at, y0, dy, P)) {
                    EXPECT_TRUE(subl->magnetic().contributes()) << where;
                    ++magnetic;
                    // With the magnetic term apart: the polynomial part and
                    // the term from its T* and beta* polynomials.
                    P = LinePolynomial{};
                    ASSERT_TRUE(subl->line_parts(at, y0, dy, P, M)) << where;
                    EXPECT_TRUE(M.on) << where;
                } else {
                    ++polynomial;
                }
                for (double t : {0.0, 0.1, 0.37, 0.5, 0.83, 1.0}) {
                    std::vector<double> w(m);
                    for (int g = 0; g < l.groups(); ++g)
                        for (int i = l.group_first[sz(g)]; i < l.group_first[sz(g) + 1]; ++i)
                            w[sz(i)] = l.sites[sz(g)] * (y0[sz(i)] + t * dy[sz(i)]) / l.formula_sites();
                    const double model = models[p].excess(T, w).g * l.formula_sites();
                    double value = 0.0, size = 0.0;
                    for (int k = P.degree; k >= 0; --k) value = value * t + P.c[k];
                    for (int k = 0; k <= P.degree; ++k) size += P.mag[k];
                    if (M.on) {
                        const auto star = [&](const LinePolynomial& Q) {
                            double v = 0.0;
                            for (int k = Q.degree; k >= 0; --k) v = v * t + Q.c[k];
                            return v < 0.0 ? M.negative * v : v;
                        };
                        const double tc = star(M.tc), beta = star(M.beta);
                        if (tc > 0.0 && beta > 0.0)
                            value += kR * T * std::log(beta + 1.0) * magnetic_f(T / tc, M.structure).f;
                        size += kR * T * 10.0;
                    }
                    EXPECT_NEAR(value, model, 1e-12 * (1.0 + size)) << where << " t = " << t;
                }
            }
        }
    }
    EXPECT_GT(polynomial, 20);
    EXPECT_GT(magnetic, 2);
}

}  // namespace
}  // namespace eqcore
