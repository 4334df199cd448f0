#include "run.hpp"

#include <cmath>
#include <fstream>
#include <sstream>

#include "eqlink_config.hpp"
#include "message_log.hpp"
#include "product_list.hpp"
#include "setup_error.hpp"
#include "unitio.hpp"

namespace elvar {
namespace {

bool run_open = false;

void check_text(const std::string& where, const std::string& field, const std::string& value,
                std::size_t max, bool required) {
    if (required && value.empty()) throw SetupError(where + ": " + field + " is empty");
    if (value.size() > max)
        throw SetupError(where + ": " + field + " \"" + value + "\" is longer than " +
                         std::to_string(max) + " characters");
}

std::string component_where(std::size_t k, const std::string& id) {
    return "component " + std::to_string(k + 1) + (id.empty() ? "" : " (" + id + ")");
}

std::vector<PlexComponent> check_components(const std::vector<Component>& given) {
    std::vector<PlexComponent> out;
    for (std::size_t k = 0; k < given.size(); ++k) {
        const Component& s = given[k];
        const std::string where = component_where(k, s.id);
        check_text(where, "id", s.id, 8, true);
        check_text(where, "name", s.name, 32, true);
        check_text(where, "formula", s.formula, 32, false);
        for (std::size_t j = 0; j < k; ++j)
            if (given[j].id == s.id)
                throw SetupError(where + ": id \"" + s.id + "\" is already used by component " +
                                 std::to_string(j + 1));
        PlexComponent c{s.id, s.name, s.formula, {}, 0.0};
        if (!s.formula.empty()) {
            try {
                c.atoms = parse_formula(s.formula);
            } catch (const SetupError& e) {
                throw SetupError(where + ": " + e.what());
            }
        }
        if (s.mw) {
            if (!std::isfinite(*s.mw) || *s.mw <= 0.0)
                throw SetupError(where + ": mw " + std::to_string(*s.mw) + " is not a positive number");
            c.mw = *s.mw;
        } else if (!s.formula.empty()) {
            c.mw = c.atoms.molecular_weight();
        } else {
            throw SetupError(where + ": neither a formula nor a molecular weight is given");
        }
        out.push_back(std::move(c));
    }
    return out;
}

std::vector<PlexOptionSet> check_option_sets(const std::vector<OptionSet>& given) {
    std::vector<PlexOptionSet> out;
    for (std::size_t k = 0; k < given.size(); ++k) {
        const std::string where = "option set " + std::to_string(k + 1);
        check_text(where, "name", given[k].name, 16, true);
        check_text(where, "base", given[k].base, 16, false);
        for (std::size_t j = 0; j < k; ++j)
            if (given[j].name == given[k].name)
                throw SetupError(where + ": name \"" + given[k].name + "\" is already used");
        out.push_back({given[k].name, given[k].base});
    }
    return out;
}

std::vector<PlexChemistry> check_chemistries(const std::vector<Chemistry>& given,
                                             const std::vector<PlexComponent>& comps) {
    std::vector<PlexChemistry> out;
    for (std::size_t c = 0; c < given.size(); ++c) {
        PlexChemistry chem;
        for (std::size_t i = 0; i < given[c].equations.size(); ++i) {
            const std::string where =
                "chemistry " + std::to_string(c + 1) + ", equation " + std::to_string(i + 1);
            std::vector<double> column(comps.size(), 0.0);
            for (const auto& [id, coef] : given[c].equations[i]) {
                std::size_t k = 0;
                while (k < comps.size() && comps[k].id != id) ++k;
                if (k == comps.size()) throw SetupError(where + ": unknown component \"" + id + "\"");
                if (!std::isfinite(coef))
                    throw SetupError(where + ": coefficient of \"" + id + "\" is not finite");
                column[k] += coef;
            }
            chem.equations.push_back(std::move(column));
        }
        out.push_back(std::move(chem));
    }
    return out;
}

}  // namespace

Run::Run(const RunSetup& setup) {
    if (run_open) throw SetupError("another host run is still open");
    check_text("run", "data_file", setup.data_file, kDataFileChars, false);
    components_ = check_components(setup.components);
    const auto option_sets = check_option_sets(setup.option_sets);
    const auto chemistries = check_chemistries(setup.chemistries, components_);
    if (setup.noncon_components < 0) throw SetupError("run: noncon_components is negative");
    report_path_ = setup.report_path.empty() ? setup.case_name + ".rep" : setup.report_path;
    if (report_path_ == ".rep") throw SetupError("run: case_name and report_path are both empty");

    reset_blocks();
    word(DMS_NCOMP, 1).set_i(ncomp());
    word(DMS_NCOMP, 2).set_i(setup.noncon_components);
    map_ = build_plex(components_, option_sets, chemistries);
    for (const auto& o : option_sets) option_set_names_.push_back(o.name);

    word(DMS_GLOBAL, 5).set_i4(setup.report_unit);
    word(DMS_GLOBAL, 18).set_i(setup.diagnostic_level);
    word(ZMTH_PPSCLR, 5).set_i(setup.diagnostic_level);
    write_data_file(setup.data_file);
    write_trace(setup.trace);
    clear_message_log();
    clear_terminal();
    set_terminal_mode(setup.terminal);
    set_product_list({});

    report_unit_ = setup.report_unit;
    if (!unitio::open(report_unit_, report_path_, unitio::Access::write))
        throw SetupError("run: cannot open the report file \"" + report_path_ + "\"");
    run_open = true;
}

Run::~Run() {
    if (unitio::path_of(report_unit_) == report_path_) unitio::close(report_unit_);
    run_open = false;
}

ftn::Int Run::component(std::string_view id) const {
    for (std::size_t k = 0; k < components_.size(); ++k)
        if (components_[k].id == id) return static_cast<ftn::Int>(k + 1);
    throw SetupError("unknown component \"" + std::string(id) + "\"");
}

double Run::mw(ftn::Int k) const {
    if (k < 1 || k > ncomp()) throw SetupError("no component " + std::to_string(k));
    return components_[static_cast<std::size_t>(k - 1)].mw;
}

ftn::Int Run::option_set(std::string_view name) const {
    for (std::size_t k = 0; k < option_set_names_.size(); ++k)
        if (option_set_names_[k] == name) return map_.option_sets[k];
    throw SetupError("unknown option set \"" + std::string(name) + "\"");
}

ftn::Int Run::chemistry(std::size_t k) const {
    if (k >= map_.chemistries.size()) throw SetupError("no chemistry " + std::to_string(k + 1));
    return map_.chemistries[k];
}

void Run::set_data_file(std::string_view path) {
    check_text("run", "data_file", std::string(path), kDataFileChars, false);
    write_data_file(path);
}

void Run::set_trace(bool on) { write_trace(on); }

void Run::set_diagnostic_level(ftn::Int level) { word(DMS_GLOBAL, 18).set_i(level); }

void Run::set_property_request(ftn::Int nlist, ftn::Int msglev) {
    if (nlist < 0 || nlist > ncomp())
        throw SetupError("property request: list length " + std::to_string(nlist) +
                         " outside 0.." + std::to_string(ncomp()));
    word(ZMTH_PPSCLR, 3).set_i(nlist);
    word(ZMTH_PPSCLR, 5).set_i(msglev);
}

void Run::set_flash_conditions(const FlashConditions& c) {
    for (std::size_t w : {3u, 4u, 5u}) word(DMS_STWKWK, w).set_i(0);
    word(DMS_STWKWK, 19).set_r(c.T);
    word(DMS_STWKWK, 20).set_r(c.P);
    word(DMS_STWKWK, 21).set_r(kRmiss);
    word(DMS_STWKWK, 22).set_r(kRmiss);
    word(DMS_STWKWK, 23).set_r(0.0);
    word(DMS_STWKWK, 27).set_r(c.duty);
    for (std::size_t w : {47u, 48u, 51u, 52u, 55u, 56u, 59u, 60u, 63u}) word(SHS_STWORK, w).set_r(kRmiss);
}

FlashResults Run::flash_results() const {
    FlashResults r;
    r.nmxcmp = word(DMS_STWKWK, 3).i();
    r.ncscmp = word(DMS_STWKWK, 4).i();
    r.nnccmp = word(DMS_STWKWK, 5).i();
    r.T = word(DMS_STWKWK, 19).r();
    r.P = word(DMS_STWKWK, 20).r();
    r.vcalc = word(DMS_STWKWK, 21).r();
    r.qcalc = word(DMS_STWKWK, 22).r();
    r.done = word(DMS_STWKWK, 23).r();
    r.hv = word(SHS_STWORK, 47).r();
    r.hl = word(SHS_STWORK, 48).r();
    r.sv = word(SHS_STWORK, 51).r();
    r.sl = word(SHS_STWORK, 52).r();
    r.vv = word(SHS_STWORK, 55).r();
    r.vl = word(SHS_STWORK, 56).r();
    r.mwv = word(SHS_STWORK, 59).r();
    r.mwl = word(SHS_STWORK, 60).r();
    r.hs = word(SHS_STWORK, 63).r();
    return r;
}

void Run::set_block(const Block& b) {
    check_text("block", "id", b.id, 8, true);
    for (std::size_t k = 0; k < b.products.size(); ++k)
        check_text("block " + b.id, "product " + std::to_string(k + 1), b.products[k],
                   kProductChars, false);
    ftn::put_text(&word(DMS_GLOBAL, 27), 2, 4, b.id);
    word(PPEXEC_USER, 7).set_i(b.level);
    set_product_list(b.products);
}

std::string Run::report_text() const {
    unitio::flush(report_unit_);
    std::ifstream in(report_path_, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace elvar
