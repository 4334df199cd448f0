// A host program from an installation: the host stand-in sets a run up on
// the installed example data, the plug-in computes the vapour enthalpy of air
// (property 401), and the engine's own stream enthalpy confirms it.
#include <array>
#include <cmath>
#include <cstdio>
#include <eqcore/session/session.hpp>
#include <eqlink/elvar.hpp>
#include <eqlink/eqlink_blocks.hpp>
#include <eqlink/mdmon8.hpp>
#include <filesystem>
#include <string>
#include <vector>

int main() {
    const std::string data =
        (std::filesystem::path(elvar::examples_dir()) / "c-h-o-n.dat").string();
    elvar::RunSetup setup;
    setup.case_name = "downstream";
    setup.data_file = data;
    setup.components = {{"N2", "N2:G1", "N2", {}}, {"O2", "O2:G1", "O2", {}}};
    setup.terminal = elvar::TerminalMode::capture;
    elvar::Run run(setup);

    const ftn::Int code = 401;
    const std::vector<ftn::Int> list{1, 2};
    const double T = 1000.0, P = 1.0e5;
    const std::vector<double> x{0.79, 0.21};
    const std::array<ftn::Int, 4> request{1, 0, 0, 0};
    std::vector<double> prop(6, 0.0);
    double unused[5] = {};
    run.set_property_request(2, 4);
    EQLINK_MDMON8(&code, list.data(), &T, &P, &unused[0], x.data(), &unused[1], request.data(),
                  &unused[2], &unused[3], &unused[4], prop.data());

    eqcore::Session s;
    s.read_dat_file(data);
    auto gas = [&](const std::string& name) {
        for (int c = 0; c < s.system().phases[0].count; ++c)
            if (s.system().constituent(0, c).name == name) return c;
        return -1;
    };
    s.define_stream("AIR", T, P);
    s.add_amount("AIR", 0, gas("N2"), 0.79);
    s.add_amount("AIR", 0, gas("O2"), 0.21);
    const double expected = 1000.0 * s.stream_property("AIR", eqcore::StreamProperty::H);  // J/kmol

    const bool started = ftn::truth(DMS_EQLINK[0].i()) && EQLINK_ELVCA.NPH == 3;
    const bool same = std::abs(prop[0] - expected) <= 1e-9 * std::abs(expected);
    if (!started) std::fprintf(stderr, "the plug-in did not start on %s\n", data.c_str());
    if (!same)
        std::fprintf(stderr, "H = %.12g J/kmol, the engine gives %.12g\n", prop[0], expected);
    if (started && same) std::printf("host run: vapour enthalpy of air as the engine gives it\n");
    return started && same ? 0 : 1;
}
