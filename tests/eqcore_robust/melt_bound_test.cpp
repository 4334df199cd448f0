// The bound on how far a melt's remainder over RT moves between two
// temperatures (PhaseModel::excess_change_bound), on which the solver's
// remembered minima of the ionic and quasichemical liquids rest: never
// exceeded at random compositions, corners and edges included, of all
// variables and of pairs of them. An ionic liquid is sampled at its own
// splits of the records (where every minimum of a distance lies); its
// bound at any split is not claimed.
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "robust_util.hpp"
#include "thermo/models.hpp"

namespace eqcore::robust {
namespace {

std::string melt_file(const std::string& path) { return std::string(EQCORE_TESTS_DIR) + "/" + path; }

TEST(ExcessChangeBound, HoldsForMeltsAtRandomCompositions) {
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    const std::vector<std::string> files = {
        melt_file("eqcore_ionic/data/ionic_melt.dat"),       melt_file("eqcore_ionic/data/ionic_gap.dat"),
        melt_file("eqcore_ionic/data/ionic_example_1.dat"),  melt_file("eqcore_ionic/data/ionic_example_2.dat"),
        melt_file("eqcore_ionic/data/ionic_limit.dat"),      melt_file("eqcore_quasichem/data/qc_example_1.dat"),
        melt_file("eqcore_quasichem/data/qc_example_2.dat"), melt_file("eqcore_quasichem/data/qc_example_3.dat"),
        melt_file("eqcore_quasichem/data/qc_slag.dat"),      example("ga-in-qc.dat")};
    int models_seen = 0;
    for (const std::string& file : files) {
        const System sys = read_dat(file);
        const PhaseModels models(sys);
        for (int p = 0; p < sys.phase_count(); ++p) {
            const PhaseModel& m = models[p];
            const Phase& ph = sys.phases[static_cast<std::size_t>(p)];
            if (!ph.ionic && !ph.quasichem) continue;
            ++models_seen;
            const std::size_t n = static_cast<std::size_t>(m.layout().variables);
            for (int pair = -1; pair < static_cast<int>(n) - 1; ++pair) {
                std::vector<char> active(n, 1);
                if (pair >= 0)
                    for (std::size_t i = 0; i < n; ++i)
                        active[i] = i == static_cast<std::size_t>(pair) || i == static_cast<std::size_t>(pair) + 1;
                for (const auto& [T1, T2] : {std::pair{1600.0, 1610.0}, std::pair{900.0, 2200.0}}) {
                    const double bound = m.excess_change_bound(T1, T2, active);
                    ASSERT_TRUE(std::isfinite(bound)) << file << " " << ph.name;
                    EXPECT_EQ(m.excess_change_bound(T1, T1, active), 0.0);
                    double worst = 0.0;
                    for (int k = 0; k < 1500; ++k) {
                        std::vector<double> w(n, 0.0);
                        for (std::size_t i = 0; i < n; ++i)
                            w[i] = active[i] ? (u(rng) < 0.2 ? 0.0 : -std::log(u(rng) + 1e-300)) : 0.0;
                        m.own_split(w);
                        double sum = 0.0;
                        for (double x : w) sum += x;
                        if (!(sum > 0.0)) continue;
                        for (double& x : w) x /= sum;
                        const double d = m.excess(T2, w).g / (kR * T2) - m.excess(T1, w).g / (kR * T1);
                        worst = std::max(worst, std::abs(d));
                    }
                    EXPECT_LE(worst, bound * (1.0 + 1e-12) + 1e-12) << file << " " << ph.name << " pair " << pair;
                }
            }
        }
    }
    EXPECT_GE(models_seen, 10);
}

}  // namespace
}  // namespace eqcore::robust
