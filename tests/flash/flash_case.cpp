#include "flash_case.hpp"

#include <stdexcept>

#include "caflsh.hpp"
#include "eqcore_calls.hpp"
#include "mdmon8.hpp"

namespace flash_test {

std::string data_file(const std::string& name) {
    return (std::filesystem::path(EQLINK_EXAMPLES_DIR) / name).string();
}

WorkingDirectory::WorkingDirectory(const std::filesystem::path& dir)
    : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
}

WorkingDirectory::~WorkingDirectory() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
}

namespace {

elvar::RunSetup run_spec(const std::string& data, const std::vector<Component>& components,
                        const std::vector<elvar::Chemistry>& chemistries, bool trace) {
    elvar::RunSetup setup;
    setup.case_name = "flash";
    setup.data_file = data;
    setup.trace = trace;
    setup.terminal = elvar::TerminalMode::capture;
    for (const Component& c : components) setup.components.push_back({c.id, c.name, c.formula, {}});
    setup.chemistries = chemistries;
    return setup;
}

}  // namespace

FlashCase::FlashCase(const std::string& data, const std::vector<Component>& components,
                     const std::vector<elvar::Chemistry>& chemistries, bool trace)
    : cwd_(dir_.path()), run_(run_spec(data, components, chemistries, trace)) {
    elvar::clear_message_log();
    elvar::clear_terminal();
}

std::vector<double> FlashCase::flows(const std::map<std::string, double>& by_id) const {
    std::vector<double> f(static_cast<std::size_t>(ncomp()), 0.0);
    for (const auto& [id, flow] : by_id) f[static_cast<std::size_t>(component(id) - 1)] = flow;
    return f;
}

void FlashCase::flash(elvar::FlashArgs& a, const elvar::FlashConditions& conditions) {
    run_.set_flash_conditions(conditions);
    EQLINK_CAFLSH(a.strvec.data(), &a.nsubs, a.lpb.data(), a.itype.data(), a.ids.data(), &a.kode,
                  &a.npkode, &a.kphase, &a.rfctl, &a.tol, &a.kdiag, &a.kpdiag, &a.spare[0],
                  &a.spare[1], &a.spare[2], &a.ker);
}

std::vector<elvar::Message> FlashCase::messages(ftn::Int number) const {
    std::vector<elvar::Message> out;
    for (const elvar::Message& m : elvar::message_log())
        if (m.name() == "CAFLSH" && m.number == number) out.push_back(m);
    return out;
}

namespace {

// Index of every gas constituent by name.
std::map<std::string, ftn::Int> gas_constituents() {
    const ftn::Int gas = 1;
    ftn::Int n = 0, noerr = 0;
    PPSTUB_ECNPC(&gas, &n, &noerr);
    std::map<std::string, ftn::Int> out;
    for (ftn::Int j = 1; j <= n; ++j) {
        ftn::Chars<32> name;
        PPSTUB_ECCNM(&gas, &j, name.c, &noerr, name.size());
        out[std::string(name.text())] = j;
    }
    return out;
}

// Only the named gas constituents entered, one stream "DIRECT" of the feed
// at T and P, no conditions.
std::map<std::string, ftn::Int> prepare(const std::vector<std::string>& entered,
                                        const std::map<std::string, double>& feed, double T,
                                        double P) {
    ftn::Int noerr = 0, nph = 0;
    PPSTUB_ECNPH(&nph, &noerr);
    for (ftn::Int p = 1; p <= nph; ++p) PPSTUB_ECSPS(&p, "ELIMINATED", &noerr, 10);
    const ftn::Int all = -2;
    PPSTUB_ECRMC(&all, &noerr);
    PPSTUB_ECSTDL(" ", &noerr, 1);
    const auto index = gas_constituents();
    const ftn::Int gas = 1;
    for (const std::string& name : entered) {
        const ftn::Int j = index.at(name);
        PPSTUB_ECSCS(&gas, &j, "ENTERED ", &noerr, 8);
    }
    const double tp[2] = {T, P};
    PPSTUB_ECSTDF("DIRECT", tp, &noerr, 6);
    for (const auto& [name, amount] : feed) {
        const ftn::Int j = index.at(name);
        PPSTUB_ECSTAM("DIRECT", &gas, &j, &amount, &noerr, 6);
    }
    return index;
}

void read_amounts(DirectResult& r, const std::map<std::string, ftn::Int>& index) {
    const ftn::Int gas = 1, none = 0;
    ftn::Int noerr = 0;
    PPSTUB_ECRES("T ", &none, &none, &r.T, &noerr, 2);
    for (const auto& [name, j] : index) {
        double a = 0.0;
        PPSTUB_ECRES("A", &gas, &j, &a, &noerr, 1);
        r.amounts[name] = a;
    }
    PPSTUB_ECSTDL(" ", &noerr, 1);
}

void set_condition(const char* name, double value) {
    const ftn::Int none = 0;
    ftn::Int noerr = 0;
    PPSTUB_ECSCND(name, &none, &value, &noerr, 2);
}

}  // namespace

DirectResult direct_equilibrium_tp(const std::vector<std::string>& entered,
                                   const std::map<std::string, double>& feed, double T, double P) {
    const auto index = prepare(entered, feed, T, P);
    set_condition("P ", P);
    set_condition("T ", T);
    DirectResult r;
    const ftn::Int none = 0;
    const double values[2] = {0.0, 0.0};
    PPSTUB_ECEQ("  ", &none, &none, values, &r.noerr, 2);
    if (r.noerr == 0) read_amounts(r, index);
    return r;
}

DirectResult direct_equilibrium_hp(const std::vector<std::string>& entered,
                                   const std::map<std::string, double>& feed, double T_feed,
                                   double P, double dH) {
    const auto index = prepare(entered, feed, T_feed, P);
    set_condition("P ", P);
    set_condition("H ", dH);
    DirectResult r;
    const ftn::Int none = 0;
    const double values[2] = {2000.0, 0.0};
    PPSTUB_ECEQ("T ", &none, &none, values, &r.noerr, 2);
    if (r.noerr == 0) read_amounts(r, index);
    return r;
}

double direct_gas_enthalpy(const std::map<std::string, double>& amounts, double T, double P) {
    ftn::Int noerr = 0;
    const auto index = gas_constituents();
    const ftn::Int gas = 1;
    const double tp[2] = {T, P};
    PPSTUB_ECSTDL("ENTHALPY", &noerr, 8);
    PPSTUB_ECSTDF("ENTHALPY", tp, &noerr, 8);
    for (const auto& [name, amount] : amounts) {
        const ftn::Int j = index.at(name);
        PPSTUB_ECSTAM("ENTHALPY", &gas, &j, &amount, &noerr, 8);
    }
    double h = 0.0;
    PPSTUB_ECSTPR("ENTHALPY", "H", &h, &noerr, 8, 1);
    PPSTUB_ECSTDL("ENTHALPY", &noerr, 8);
    if (noerr != 0) throw std::runtime_error("stream enthalpy failed");
    return h;
}

double property(ftn::Int code, const std::vector<ftn::Int>& components, const std::vector<double>& x,
                double T, double P) {
    elvar::word(ZMTH_PPSCLR, 3).set_i(static_cast<ftn::Int>(components.size()));
    elvar::word(ZMTH_PPSCLR, 5).set_i(4);
    const ftn::Int ireq[4] = {1, 0, 0, 0};
    double prop[3] = {0.0, 0.0, 0.0};
    ftn::Int spare[8] = {};
    EQLINK_MDMON8(&code, components.data(), &T, &P, &spare[0], x.data(), &spare[1], ireq,
                  &spare[2], &spare[3], &spare[4], prop);
    return prop[0];
}

}  // namespace flash_test
