// The C++ side of the Fortran host test: the same runs and calls as
// fortran_host.f90, made through the host stand-in's C++ API, with every
// value the plug-in writes into the arrays and the shared blocks written to
// a file ("label index value" per line, in the order the Fortran host
// compares them). Usage: fortran_host_reference OUTPUT EXAMPLES.
#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "caflsh.hpp"
#include "catop.hpp"
#include "elvar.hpp"
#include "eqlink_blocks.hpp"
#include "mdmon8.hpp"

namespace {

std::FILE* out = nullptr;
std::string examples;

void put(const std::string& label, int index, double value) {
    std::fprintf(out, "%s %d %.17g\n", label.c_str(), index, value);
}
void put_text(const std::string& label, int index, std::string_view text) {
    std::fprintf(out, "%s %d \"%.*s\"\n", label.c_str(), index, static_cast<int>(text.size()),
                 text.data());
}
void put_all(const std::string& label, const double* values, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) put(label, static_cast<int>(i + 1), values[i]);
}

// A substream's values: flows (kmol/s) at T and 1 atm, the rest as the
// layout fills it in.
elvar::SubstreamValues substream(std::vector<double> flows, double T) {
    elvar::SubstreamValues v;
    v.flows = std::move(flows);
    v.T = T;
    v.P = 101325.0;
    return v;
}

void use_data_file(elvar::Run& run, const std::string& name) {
    run.set_data_file(examples + "/" + name);
    run.set_trace(false);
}

void monitor(elvar::Run& run, const std::string& label, ftn::Int code, std::vector<ftn::Int> list,
             double T, std::vector<double> x) {
    run.set_property_request(static_cast<ftn::Int>(list.size()), 4);
    std::vector<double> prop(static_cast<std::size_t>(3 * run.ncomp()), -777.25);
    double unused[5] = {};
    const double P = 101325.0;
    const ftn::Int ireq[4] = {1, 1, 0, 0};
    EQLINK_MDMON8(&code, list.data(), &T, &P, &unused[0], x.data(), &unused[1], ireq, &unused[2],
                  &unused[3], &unused[4], prop.data());
    put_all(label, prop.data(), prop.size());
}

void started_state(ftn::Int ncomp) {
    const EqlinkElvca& e = EQLINK_ELVCA;
    put_text("filen", 0, EQLINK_CONFIG.EQLINK_FILEN.text());
    put("ldebug", 0, ftn::truth(EQLINK_CONFIG.LDEBUG) ? 1.0 : 0.0);
    put("nph", 0, static_cast<double>(e.NPH));
    put("nmap", 0, static_cast<double>(e.NMAP));
    for (ftn::Int r = 1; r <= e.NMAP; ++r) {
        const eqlink::MapRecord& m = eqlink::map_record(r);
        const double words[5] = {double(m.component), double(m.constituent), double(m.phase),
                                 double(m.kind), double(m.scratch)};
        put_all("map", words, 5);
    }
    put_all("mwfac", e.MWFAC, static_cast<std::size_t>(ncomp));
    for (ftn::Int p = 1; p <= e.NPH; ++p)
        put_text("phname", static_cast<int>(p), eqlink::phname(p).text());
    for (ftn::Int p = 1; p <= e.NPH; ++p)
        put("nphcmp", static_cast<int>(p), static_cast<double>(eqlink::nphcmp(p)));
    put("ndict", 0, static_cast<double>(e.NDICT));
    for (ftn::Int i = 1; i <= e.NDICT; ++i)
        put("idtype", static_cast<int>(i), static_cast<double>(eqlink::idtype(i)));
    for (ftn::Int i = 1; i <= e.NDICT; ++i) {
        put_text("dcode", static_cast<int>(i), eqlink::dcode(i).text());
        put_text("dname", static_cast<int>(i), eqlink::dname(i).text());
    }
}

void block(elvar::Run& run, const std::string& label, const std::string& id, ftn::Int kind,
           double t1, double t2, ftn::Int outlets) {
    const elvar::StreamLayout layout(run.ncomp(),
                                     {elvar::SubstreamType::mixed, elvar::SubstreamType::cisolid});
    const std::vector<double> inlet = layout.make(
        {substream({0.0, 0.0, 0.0, 0.0}, 298.15), substream({0.0, 0.0, 0.0006, 0.0004}, 298.15)});
    elvar::BlockArgs a(layout, {inlet}, outlets, {}, 1, {kind, 4, 0, 0}, {101325.0, t1, t2, 0.0},
                       run.option_set("EQCORE"));
    run.set_block({id, 4, {"CU(S)", "AGL", "CUL", "AG(S)"}});
    auto& s = a.spare;
    EQLINK_CATOP(&a.ninlet, a.sinlet.data(), &a.nhtin, a.htin.data(), &a.noutlt, a.soutlt.data(),
                 &a.nhtout, a.htout.data(), &s[0], &s[1], &s[2], &s[3], &a.lstrm, &a.nsub,
                 a.subpos.data(), a.subtyp.data(), &a.nipar, a.ipar.data(), &a.nrpar, a.rpar.data(),
                 &s[4], &s[5], &a.optset, &s[6], &s[7], &s[8], &s[9], &s[10], &s[11], &s[12],
                 a.strdsc.data());
    put_all(label + "_soutlt", a.soutlt.data(), a.soutlt.size());
    put_all(label + "_htout", a.htout.data(), 1);
    put_all(label + "_rpar", a.rpar.data(), 4);
}

void silver_copper_run() {
    elvar::RunSetup setup;
    setup.case_name = "fhost-agcu";
    setup.components = {{"AGL", "AG:LIQU", "Ag", {}},
                        {"CUL", "CU:LIQU", "Cu", {}},
                        {"AGS", "AG:S1", "Ag", {}},
                        {"CUS", "CU:S1", "Cu", {}}};
    setup.option_sets = {{"EQCORE", ""}};
    elvar::Run run(setup);
    use_data_file(run, "ag-cu-example.dat");
    monitor(run, "agcu_406", 406, {1, 2}, 1400.0, {0.6, 0.4});
    started_state(run.ncomp());
    monitor(run, "agcu_410", 410, {1, 2}, 1400.0, {0.6, 0.4});
    monitor(run, "agcu_426", 426, {3, 4}, 1000.0, {0.5, 0.5});
    block(run, "agcu_block1", "B1", 1, 1000.0, 0.0, 2);
    block(run, "agcu_block3", "B2", 3, 900.0, 1400.0, 1);
}

void flash(elvar::Run& run, const std::string& label, std::vector<double>& strvec, ftn::Int kode,
           ftn::Int chem, double T, double duty) {
    const elvar::StreamLayout layout(run.ncomp(), {elvar::SubstreamType::mixed});
    run.set_flash_conditions({T, 101325.0, kode == 1 ? duty : elvar::kRmiss});
    elvar::FlashArgs a(layout, strvec);
    a.ids[2] = chem;
    a.kode = kode;
    EQLINK_CAFLSH(a.strvec.data(), &a.nsubs, a.lpb.data(), a.itype.data(), a.ids.data(), &a.kode,
                  &a.npkode, &a.kphase, &a.rfctl, &a.tol, &a.kdiag, &a.kpdiag, &a.spare[0],
                  &a.spare[1], &a.spare[2], &a.ker);
    put(label + "_ker", 0, static_cast<double>(a.ker));
    put(label + "_npkode", 0, static_cast<double>(a.npkode));
    put_all(label + "_strvec", a.strvec.data(), a.strvec.size());
    using elvar::word;
    for (std::size_t w = 3; w <= 5; ++w)
        put(label + "_stwkwk", static_cast<int>(w), static_cast<double>(word(DMS_STWKWK, w).i()));
    for (std::size_t w = 19; w <= 23; ++w)
        put(label + "_stwkwk", static_cast<int>(w), word(DMS_STWKWK, w).r());
    for (std::size_t w = 47; w <= 63; ++w)
        put(label + "_stwork", static_cast<int>(w), word(SHS_STWORK, w).r());
    strvec = a.strvec;
}

void methane_air_run() {
    elvar::RunSetup setup;
    setup.case_name = "fhost-chon";
    for (const char* c : {"CH4", "O2", "N2", "CO2", "CO", "H2O", "H2", "OH", "H", "O", "NO"})
        setup.components.push_back({c, std::string(c) + ":G1", c, {}});
    setup.chemistries = {{{{{"CH4", -1.0}, {"O2", -2.0}, {"CO2", 1.0}, {"H2O", 2.0}},
                           {{"O2", -0.5}, {"CO2", 1.0}, {"CO", -1.0}},
                           {{"O2", -0.5}, {"H2O", 1.0}, {"H2", -1.0}},
                           {{"O2", -1.0}, {"H2", 1.0}, {"OH", -2.0}},
                           {{"H2", 1.0}, {"H", -2.0}},
                           {{"O2", 1.0}, {"O", -2.0}},
                           {{"O2", 1.0}, {"N2", 1.0}, {"NO", -2.0}}}}};
    std::vector<std::pair<std::string, double>> every;
    for (const auto& c : setup.components) every.emplace_back(c.id, 1.0);
    setup.chemistries.push_back({{every}});
    elvar::Run run(setup);
    use_data_file(run, "c-h-o-n.dat");
    const elvar::StreamLayout layout(run.ncomp(), {elvar::SubstreamType::mixed});
    const std::size_t h = static_cast<std::size_t>(run.ncomp()) + 3;

    std::vector<double> feed = layout.make({substream({0.1, 0.2, 0.752}, 298.15)});
    feed[h] = 0.0;
    flash(run, "chon_feed1", feed, 2, 0, 298.15, 0.0);
    flash(run, "chon_tp", feed, 2, run.chemistry(0), 1200.0, 0.0);
    started_state(run.ncomp());

    feed = layout.make({substream({0.0, 0.1, 0.376, 0.0, 0.0, 0.0, 0.2}, 1000.0)});
    feed[h] = 0.0;
    flash(run, "chon_feed2", feed, 2, 0, 1000.0, 0.0);
    flash(run, "chon_pq", feed, 1, run.chemistry(1), elvar::kRmiss, 0.0);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s OUTPUT EXAMPLES\n", argv[0]);
        return 2;
    }
    out = std::fopen(argv[1], "w");
    if (out == nullptr) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 2;
    }
    examples = argv[2];
    try {
        silver_copper_run();
        methane_air_run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
