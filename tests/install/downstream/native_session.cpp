// The engine's native C++ API from an installation: methane burnt in air at
// 2000 K and 1 bar, checked against independent reference amounts (NASA CEA
// on the same data) and the identity G = H - T S.
#include <cmath>
#include <cstdio>
#include <eqcore/session/session.hpp>
#include <stdexcept>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    eqcore::Session s;
    s.read_dat_file(argv[1]);
    const eqcore::System& sys = s.system();
    auto gas = [&](const std::string& name) {
        for (int c = 0; c < sys.phases[0].count; ++c)
            if (sys.constituent(0, c).name == name) return c;
        throw std::runtime_error("no gas constituent " + name);
    };
    s.define_stream("FEED", 298.15, 1.0e5);
    s.add_amount("FEED", 0, gas("CH4"), 1.0);
    s.add_amount("FEED", 0, gas("O2"), 2.0);
    s.add_amount("FEED", 0, gas("N2"), 7.52);
    s.set_condition({eqcore::ConditionKind::temperature, 2000.0});
    s.set_condition({eqcore::ConditionKind::pressure, 1.0e5});
    const eqcore::EquilibriumResult& r = s.equilibrate(false, -1, 0.0);

    int failures = 0;
    const struct {
        const char* name;
        double mol;
    } expected[] = {{"H2O", 1.9805519637907143},
                    {"CO2", 0.968268210486225},
                    {"CO", 0.031731789513775},
                    {"NO", 0.006751974732627218}};
    for (const auto& e : expected) {
        const double n = r.amount[static_cast<std::size_t>(sys.phases[0].first + gas(e.name))];
        if (std::abs(n - e.mol) > 1e-6 * e.mol) {
            std::fprintf(stderr, "%s: %.10g mol, expected %.10g\n", e.name, n, e.mol);
            ++failures;
        }
    }
    if (std::abs(r.G - (r.H - r.T * r.S)) > 1e-9 * std::abs(r.G)) {
        std::fprintf(stderr, "G = %.12g, H - T S = %.12g\n", r.G, r.H - r.T * r.S);
        ++failures;
    }
    if (failures == 0) std::printf("native session: methane-air at 2000 K as expected\n");
    return failures == 0 ? 0 : 1;
}
