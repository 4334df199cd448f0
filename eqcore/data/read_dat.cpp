// The ASCII .dat reader: header, mixture phases (gas first), stoichiometric
// phases, comment block. The layout is read record by record (lexer.hpp);
// every value is checked where it is read, so an error names the line and
// the field, and every count is checked against the size limits before
// anything is reserved for it.
#include "data/read_dat.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
#include <string_view>

#include "data/cst.hpp"
#include "data/lexer.hpp"
#include "data/limits.hpp"
#include "data/override_line.hpp"
#include "data/read_quasichem.hpp"
#include "data/read_ionic.hpp"
#include "data/validate.hpp"
#include "data/cp_to_gibbs.hpp"
#include "data/read_functions.hpp"
#include "data/read_sublattice.hpp"
#include "data/site_content.hpp"

namespace eqcore {

namespace {

// Names are compared on their first 24 characters (the width of every
// calling interface's name fields).
constexpr std::size_t kNameWidth = 24;
// G exponents above this are an error, except the ln T marker.
constexpr double kMaxExponent = 20.0;

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string trim(std::string_view s) {
    std::size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string_view::npos) return {};
    std::size_t e = s.find_last_not_of(" \t\r");
    return std::string(s.substr(b, e - b + 1));
}

bool is_electron(std::string_view symbol) {
    std::string s = upper(symbol);
    return s == "E" || s == "E-" || s == "E(-)" || s == "EL" || s == "ELECTRON";
}

std::string fmt_real(double v) {
    std::ostringstream os;
    os << v;
    return os.str();
}

constexpr std::array<const char*, 5> kGasModelCodes = {"IDMX", "RGAS", "IDVT", "IDBS", "IDVD"};

// How a mixture-phase model code is read.
enum class CodeKind { supported, unsupported, read_then_refuse };

struct ModelCode {
    CodeKind kind = CodeKind::unsupported;
    Model model = Model::idmx;
    bool magnetic = false;  // the code carries the magnetic term
};

// The one place that maps the model codes of the file to the models.
ModelCode classify_model(const std::string& code_upper, bool gas) {
    if (gas) {
        // Every gas model code of the format is read as an ideal gas.
        for (const char* code : kGasModelCodes)
            if (code_upper == code) return {CodeKind::supported, Model::ideal_gas};
        return {};
    }
    if (code_upper == "IDMX") return {CodeKind::supported, Model::idmx};
    if (code_upper == "RKMP") return {CodeKind::supported, Model::rkmp};
    if (code_upper == "QKTO") return {CodeKind::supported, Model::qkto};
    if (code_upper == "SUBL") return {CodeKind::supported, Model::subl};
    if (code_upper == "RKMPM") return {CodeKind::supported, Model::rkmp, true};
    if (code_upper == "QKTOM") return {CodeKind::supported, Model::qkto, true};
    if (code_upper == "SUBLM") return {CodeKind::supported, Model::subl, true};
    if (code_upper == "SUBG") return {CodeKind::supported, Model::subg};
    if (code_upper == "SUBQ") return {CodeKind::supported, Model::subq};
    if (code_upper == "SUBI") return {CodeKind::supported, Model::subi};
    // Its layout is known, its energy model is not: read, then refused.
    if (code_upper == "SUBM") return {CodeKind::read_then_refuse, Model::subi};
    return {};
}

class DatReader {
public:
    explicit DatReader(Lexer& lex) : lex_(lex) {}
    System read();

private:
    void read_title();
    void read_counts();
    void read_elements();
    void read_descriptors();
    void read_mixture_phase(bool gas, int count);
    void read_stoichiometric_phase();
    Constituent read_species(const std::string& phase_label, bool stoichiometric, bool* dormant, bool qkto,
                             bool quasichem = false);
    void read_gibbs_ranges(Constituent& c, int option, int nranges, const std::string& label);
    void read_g_ranges(Constituent& c, bool extra_terms, int nranges, const std::string& label);
    void read_cp_ranges(Constituent& c, bool extra_terms, int nranges, const std::string& label);
    std::vector<ExtraTerm> read_extra_terms(const std::string& label, bool cp_terms);
    void check_ranges(Constituent& c, const std::string& label, int line);
    void read_rkmp_excess(Phase& p);
    void read_sublattice_phase(Phase& p);
    void read_magnetic_list(Phase& p, const Sublattices& sl);
    void read_qkto_excess(Phase& p);
    void read_qkto_overrides(Phase& p, int n);
    void keep_qkto_species(Phase& p);
    std::vector<int> read_indices(int k, int nconst, const std::string& what);
    std::array<double, 6> read_coefficient_set(const std::string& what);
    void name_phase_copies();
    void name_dummy_copies();
    void check_unique_names();
    void check_comment_block(int first_line) const;
    void warn(int line, const std::string& message);
    int checked_count(long long v, long long lo, long long hi, std::string_view field, int index = 0);

    Lexer& lex_;
    System sys_;
    int n_elements_ = 0;
    std::vector<int> mixture_counts_;
    int n_stoichiometric_ = 0;
    int counts_line_ = 0;
    int line6_line_ = 0;
    bool line6_standard_ = true;
    int excess_records_ = 0;
    // QKTO model records of the species of the phase being read: line, w, g.
    struct QktoRecord {
        int line;
        double w;
        long long g;
    };
    std::vector<QktoRecord> qkto_records_;
    // The function library (title flag F) and what the phase being read
    // needs of its species: a magnetic record, an all-zero stoichiometry.
    bool has_library_ = false;
    std::vector<LibraryFunction> library_;
    Magnetic* magnetic_ = nullptr;
    bool subl_ = false;
    int phase_line_ = 0;
    // Line of each phase's and each constituent's name, for later checks.
    std::vector<int> phase_lines_;
    std::vector<int> constituent_lines_;
    int element_line_ = 0;
    // Ionic liquids: the value after `*` on each species' name line of the
    // phase being read (NaN without), and whether its species entries end
    // with two reals (SUBM).
    std::vector<double> markers_;
    bool two_reals_after_species_ = false;
    void read_ionic_block(Phase& p, bool subm, int name_line);
};

void DatReader::warn(int line, const std::string& message) {
    sys_.warnings.push_back(lex_.file() + ":" + std::to_string(line) + ": " + message);
}

int DatReader::checked_count(long long v, long long lo, long long hi, std::string_view field, int index) {
    if (v < lo || v > hi) {
        std::string f(field);
        if (index > 0) f += " " + std::to_string(index);
        lex_.fail(f + ": expected " + std::to_string(lo) + " to " + std::to_string(hi) + ", found " +
                  std::to_string(v));
    }
    return static_cast<int>(v);
}

System DatReader::read() {
    read_title();
    read_counts();
    read_elements();
    read_descriptors();
    for (std::size_t k = 0; k < mixture_counts_.size(); ++k) {
        if (mixture_counts_[k] > 0) read_mixture_phase(k == 0, mixture_counts_[k]);
    }
    for (int k = 0; k < n_stoichiometric_; ++k) read_stoichiometric_phase();
    lex_.set_context({});
    lex_.end_record();
    sys_.comment = lex_.rest();
    check_comment_block(lex_.rest_line());

    if (excess_records_ > 0 && !line6_standard_)
        lex_.fail_at(line6_line_, "excess-parameter descriptor (line 6): expected 6 1 2 3 4 5 6 in a file "
                                  "with excess parameters");
    if (!line6_standard_) warn(line6_line_, "line 6 is not 6 1 2 3 4 5 6; accepted, the file has no excess parameters");
    name_phase_copies();
    name_dummy_copies();
    check_unique_names();
    for (const LibraryFunction& f : library_)
        if (!f.used) warn(f.line, "function " + f.name + " of the library is not used by any species");
    validate(sys_, lex_.file());
    return std::move(sys_);
}

void DatReader::read_title() {
    std::string_view line = lex_.text_line("the title line");
    // Flags: the last one or two tokens, each exactly L or F, starting at
    // column 77 or later. Anything else is title text.
    std::size_t end = line.size();
    bool functions = false;
    for (int k = 0; k < 2; ++k) {
        std::size_t e = line.find_last_not_of(" \t\r", end == 0 ? 0 : end - 1);
        if (e == std::string_view::npos || end == 0) break;
        std::size_t b = line.find_last_of(" \t", e);
        b = (b == std::string_view::npos) ? 0 : b + 1;
        std::string_view tok = line.substr(b, e - b + 1);
        if (b < 76) break;
        if (tok != "L" && tok != "F") {
            if (tok.size() == 1 && std::isalpha(static_cast<unsigned char>(tok[0])))
                warn(lex_.line(), "title line: unknown flag '" + std::string(tok) + "' after column 76; kept as title text");
            break;
        }
        if (tok == "F") functions = true;
        end = b;
    }
    sys_.title = trim(line.substr(0, end));
    if (functions) {
        has_library_ = true;
        library_ = read_function_library(lex_);
    }
}

void DatReader::read_counts() {
    lex_.set_context("counts record");
    n_elements_ = checked_count(lex_.integer("number of elements"), 1, limits::kElements, "number of elements");
    counts_line_ = lex_.line();
    const int nmix = checked_count(lex_.integer("number of mixture phases"), 0, limits::kMixturePhases,
                                   "number of mixture phases");
    mixture_counts_.reserve(static_cast<std::size_t>(nmix));
    long long total = 0;
    for (int k = 1; k <= nmix; ++k) {
        int n = checked_count(lex_.integer("constituents of mixture phase", k), 0, limits::kConstituentsPerMixture,
                              "constituents of mixture phase", k);
        mixture_counts_.push_back(n);
        total += n;
    }
    n_stoichiometric_ = checked_count(lex_.integer("number of stoichiometric phases"), 0,
                                      limits::kStoichiometricPhases, "number of stoichiometric phases");
    total += n_stoichiometric_;
    if (total > limits::kConstituents)
        lex_.fail("constituents in all phases: expected at most " + std::to_string(limits::kConstituents) +
                  ", found " + std::to_string(total));
    lex_.end_record();
    sys_.constituents.reserve(static_cast<std::size_t>(total));
}

void DatReader::read_elements() {
    lex_.set_context("element names");
    lex_.end_record();
    std::string_view line = lex_.text_line("the element names");
    const int first_line = lex_.line();
    element_line_ = first_line;
    std::vector<std::string_view> names = split_tokens(line);
    // The names may wrap when there are many elements.
    while (names.size() < static_cast<std::size_t>(n_elements_)) {
        std::vector<std::string_view> more = split_tokens(lex_.text_line("the element names"));
        names.insert(names.end(), more.begin(), more.end());
    }
    if (names.size() != static_cast<std::size_t>(n_elements_))
        lex_.fail_at(first_line, "expected " + std::to_string(n_elements_) + " element names, found " +
                                     std::to_string(names.size()));
    for (std::string_view n : names) sys_.elements.push_back({std::string(n), 0.0});
    lex_.set_context("atomic masses");
    for (int j = 0; j < n_elements_; ++j) {
        double m = lex_.real("mass of element " + sys_.elements[static_cast<std::size_t>(j)].symbol);
        if (!(m >= 0.0))
            lex_.fail("mass of element " + sys_.elements[static_cast<std::size_t>(j)].symbol +
                      ": expected a mass >= 0, found " + fmt_real(m));
        sys_.elements[static_cast<std::size_t>(j)].mass = m;
    }
    lex_.end_record();
}

void DatReader::read_descriptors() {
    lex_.set_context("Gibbs-energy descriptor (line 5)");
    bool ok = lex_.integer("number of terms") == 6;
    for (int k = 1; k <= 6 && ok; ++k) ok = lex_.integer("term identifier", k) == k;
    if (!ok) lex_.fail("expected 6 1 2 3 4 5 6");
    lex_.end_record();

    lex_.set_context("excess-parameter descriptor (line 6)");
    int n = checked_count(lex_.integer("number of terms"), 1, 6, "number of terms");
    line6_line_ = lex_.line();
    line6_standard_ = (n == 6);
    for (int k = 1; k <= n; ++k) {
        long long id = lex_.integer("term identifier", k);
        checked_count(id, 1, 6, "term identifier", k);
        if (id != k) line6_standard_ = false;
    }
    lex_.end_record();
}

void DatReader::read_mixture_phase(bool gas, int count) {
    lex_.set_context({});
    const std::string name(split_tokens(lex_.text_line("a mixture phase name")).front());
    phase_lines_.push_back(lex_.line());
    lex_.set_context("phase " + name);
    std::string_view code_line = lex_.text_line("the model code");
    const std::string code(split_tokens(code_line).front());
    const std::string code_up = upper(code);
    const ModelCode mc = classify_model(code_up, gas);
    if (mc.kind == CodeKind::unsupported) {
        if (gas) lex_.fail("model " + code + " is not supported for the gas phase (expected IDMX, RGAS, IDVT, IDBS or IDVD)");
        lex_.fail("model " + code + " is not supported (supported: IDMX, RKMP, RKMPM, QKTO, QKTOM, SUBL, SUBLM, SUBG, SUBQ, SUBI)");
    }

    Phase p;
    p.name = name;
    p.model_code = code;
    p.model = mc.model;
    p.first = static_cast<int>(sys_.constituents.size());
    p.count = count;
    const int phase_index = static_cast<int>(sys_.phases.size());
    phase_line_ = phase_lines_.back();
    if (mc.magnetic) read_magnetic_record(lex_, name, p.magnetic);
    magnetic_ = mc.magnetic ? &p.magnetic : nullptr;
    subl_ = p.model == Model::subl;
    if (p.model == Model::subg || p.model == Model::subq) {
        std::vector<Constituent> members;
        const QuasichemBlockReader io{
            [&] { return read_species("phase " + name, false, nullptr, false, true); },
            [&](int line, const std::string& message) { warn(line, message); }};
        p.quasichem = read_quasichem(lex_, name, p.model == Model::subq, count, counts_line_, io, members);
        p.count = static_cast<int>(members.size());
        for (Constituent& c : members) {
            c.phase = phase_index;
            sys_.constituents.push_back(std::move(c));
        }
        sys_.phases.push_back(std::move(p));
        return;
    }
    qkto_records_.clear();
    markers_.clear();
    two_reals_after_species_ = mc.kind == CodeKind::read_then_refuse;
    for (int k = 0; k < count; ++k) {
        Constituent c = read_species("phase " + name, false, nullptr, p.model == Model::qkto);
        c.phase = phase_index;
        sys_.constituents.push_back(std::move(c));
    }
    magnetic_ = nullptr;
    subl_ = false;
    if (p.model == Model::subl) {
        read_sublattice_phase(p);
    } else {
        if (mc.magnetic) read_magnetic_list(p, one_sublattice(p.count));
        if (p.model == Model::qkto) keep_qkto_species(p);
        if (p.model == Model::rkmp) read_rkmp_excess(p);
        if (p.model == Model::qkto) read_qkto_excess(p);
    }
    if (p.model == Model::subi) read_ionic_block(p, mc.kind == CodeKind::read_then_refuse, phase_lines_.back());
    sys_.phases.push_back(std::move(p));
}

void DatReader::read_stoichiometric_phase() {
    lex_.set_context({});
    bool dormant = false;
    Constituent c = read_species("stoichiometric phase", true, &dormant, false);
    phase_lines_.push_back(constituent_lines_.back());
    Phase p;
    p.name = c.name;
    p.model_code = "PURE";
    p.model = Model::pure;
    p.dormant = dormant;
    p.first = static_cast<int>(sys_.constituents.size());
    p.count = 1;
    c.phase = static_cast<int>(sys_.phases.size());
    sys_.constituents.push_back(std::move(c));
    sys_.phases.push_back(std::move(p));
}

Constituent DatReader::read_species(const std::string& phase_label, bool stoichiometric, bool* dormant,
                                     bool qkto, bool quasichem) {
    lex_.set_context(phase_label);
    std::vector<std::string_view> tokens = split_tokens(lex_.text_line("a species name"));
    const int name_line = lex_.line();
    Constituent c;
    c.name = std::string(tokens.front());
    if (stoichiometric) {
        for (std::size_t k = 1; k < tokens.size(); ++k)
            if (tokens[k] == "#") *dormant = true;
    } else if (tokens.size() > 1 && tokens[1] == "*") {
        // `*  nu` after a neutral of an ionic liquid: the charge of the
        // cation its record belongs to.
        double v = std::numeric_limits<double>::quiet_NaN();
        if (tokens.size() > 2 && !parse_real(tokens[2], v)) v = std::numeric_limits<double>::quiet_NaN();
        markers_.push_back(v);
    } else {
        markers_.push_back(std::numeric_limits<double>::quiet_NaN());
        // Recent writers put two reals after the name, always 0.0 0.0.
        for (std::size_t k = 1; k < tokens.size() && k <= 2; ++k) {
            double v = 0.0;
            if (parse_real(tokens[k], v) && v != 0.0)
                warn(name_line, phase_label + ", species " + c.name + ": value " + std::string(tokens[k]) +
                                    " after the name is not 0; ignored");
        }
    }
    const std::string label =
        (stoichiometric ? "phase " : phase_label + (quasichem ? ", end member " : ", species ")) + c.name;
    lex_.set_context(label);

    // Options 13-24 are the forms 1-12 with a magnetic record; of the forms
    // only 1, 4, 7 and 10 are known (19, the magnetic 7, never seen).
    const long long option = lex_.integer("data option");
    const bool magnetic = option >= 13 && option <= 24;
    if (magnetic && quasichem) {
        lex_.set_context({});
        lex_.fail(label + ": data option " + std::to_string(option) + " not allowed in a quasichemical phase");
    }
    const long long base = magnetic ? option - 12 : option;
    const bool known = (base == 1 || base == 4 || base == 7 || base == 10) && option != 19;
    if (!known) lex_.fail("data option: expected 1, 4, 7, 10, 13, 16 or 22, found " + std::to_string(option));
    if (magnetic && magnetic_ == nullptr)
        lex_.fail("data option " + std::to_string(option) + ": magnetic data, but " +
                  (stoichiometric ? std::string("a stoichiometric phase") : "the model of " + phase_label) +
                  " has no magnetic term (magnetic models: RKMPM, QKTOM, SUBLM)");
    c.data_option = static_cast<int>(option);
    const int nranges = checked_count(lex_.integer("number of ranges"), 1, limits::kRanges, "number of ranges");
    c.stoich.resize(static_cast<std::size_t>(n_elements_));
    bool any = false;
    for (int j = 0; j < n_elements_; ++j) {
        const Element& el = sys_.elements[static_cast<std::size_t>(j)];
        double a = lex_.real("stoichiometry of " + el.symbol);
        if (!std::isfinite(a) || (a < 0.0 && !is_electron(el.symbol)))
            lex_.fail("stoichiometry of " + el.symbol + ": expected a number of atoms >= 0, found " + fmt_real(a));
        any = any || a != 0.0;
        c.stoich[static_cast<std::size_t>(j)] = a;
    }
    // An end member of vacancies only has no atoms.
    if (!any && !subl_) lex_.fail("stoichiometry: every entry is zero");
    const int option_line = lex_.line();
    lex_.end_record();

    // In a file with a function library, options 10 and 22 reference it
    // (an empty reference list: explicit data follow).
    if (has_library_ && base == 10) c.ranges = read_function_references(lex_, library_, label);
    if (c.ranges.empty()) read_gibbs_ranges(c, static_cast<int>(base), nranges, label);
    check_ranges(c, label, option_line);

    if (magnetic) {
        lex_.set_context(label + ", magnetic record");
        const double tc = lex_.real("Tc");
        const double beta = lex_.real("beta");
        if (!std::isfinite(tc) || !std::isfinite(beta)) lex_.fail("Tc, beta: not finite");
        lex_.end_record();
        magnetic_->tc.push_back(tc);
        magnetic_->beta.push_back(beta);
    } else if (magnetic_ != nullptr) {
        magnetic_->tc.push_back(0.0);
        magnetic_->beta.push_back(0.0);
    }

    if (qkto) {
        // A QKTO species ends with the model record `w g`.
        lex_.set_context(label);
        const double w = lex_.real("model record weight");
        const long long g = lex_.integer("model record group");
        qkto_records_.push_back({lex_.line(), w, g});
        lex_.end_record();
    }
    if (two_reals_after_species_) {
        lex_.set_context(label);
        lex_.real("anion site number");
        lex_.real("cation site number");
        lex_.end_record();
    }
    constituent_lines_.push_back(name_line);
    return c;
}

void DatReader::read_gibbs_ranges(Constituent& c, int option, int nranges, const std::string& label) {
    c.ranges.reserve(static_cast<std::size_t>(nranges));
    if (option == 1 || option == 4) {
        read_g_ranges(c, option == 4, nranges, label);
    } else {
        read_cp_ranges(c, option == 10, nranges, label);
    }
}

void DatReader::read_g_ranges(Constituent& c, bool extra_terms, int nranges, const std::string& label) {
    for (int r = 1; r <= nranges; ++r) {
        lex_.set_context(label + ", range " + std::to_string(r));
        GibbsRange g;
        g.tmax = lex_.real("Tmax");
        for (int k = 0; k < 6; ++k) g.coef[static_cast<std::size_t>(k)] = lex_.real("coefficient", k + 1);
        lex_.end_record();
        if (extra_terms) {
            if (!lex_.next_is_integer())
                lex_.fail("unsupported extra-term layout: expected the number of extra terms (an integer)");
            g.extra = read_extra_terms(label + ", range " + std::to_string(r), false);
        }
        c.ranges.push_back(std::move(g));
    }
}

std::vector<ExtraTerm> DatReader::read_extra_terms(const std::string& label, bool cp_terms) {
    lex_.set_context(label);
    const int n = checked_count(lex_.integer("number of extra terms"), 0, limits::kExtraTerms,
                                "number of extra terms");
    std::vector<ExtraTerm> out;
    out.reserve(static_cast<std::size_t>(n));
    for (int k = 1; k <= n; ++k) {
        ExtraTerm t;
        t.c = lex_.real("extra term coefficient", k);
        t.e = lex_.real("extra term exponent", k);
        if (!std::isfinite(t.c)) lex_.fail("extra term coefficient " + std::to_string(k) + ": not finite");
        if (cp_terms) {
            // Exponents of Cp: G gets T^(e+1); e = -1 gives ln T.
            if (t.e > kMaxExponent - 1.0)
                lex_.fail("extra term exponent " + std::to_string(k) + ": expected at most " +
                          fmt_real(kMaxExponent - 1.0) + ", found " + fmt_real(t.e));
        } else if (t.e != kLnTExponent && t.e > kMaxExponent) {
            lex_.fail("extra term exponent " + std::to_string(k) + ": expected 99 (ln T) or at most " +
                      fmt_real(kMaxExponent) + ", found " + fmt_real(t.e));
        }
        if (!(t.e > -1000.0)) lex_.fail("extra term exponent " + std::to_string(k) + ": out of range");
        if (t.c != 0.0) out.push_back(t);  // `1 0.0 0.0` stands for no term
    }
    lex_.end_record();
    return out;
}

void DatReader::read_cp_ranges(Constituent& c, bool extra_terms, int nranges, const std::string& label) {
    lex_.set_context(label);
    const double h298 = lex_.real("H298");
    const double s298 = lex_.real("S298");
    lex_.end_record();
    std::vector<CpRange> cp(static_cast<std::size_t>(nranges));
    for (int r = 1; r <= nranges; ++r) {
        const std::string rl = label + ", range " + std::to_string(r);
        lex_.set_context(rl);
        CpRange& cr = cp[static_cast<std::size_t>(r - 1)];
        cr.tmax = lex_.real("Tmax");
        static constexpr std::array<double, 4> kExp = {0.0, 1.0, 2.0, -2.0};
        for (int k = 0; k < 4; ++k) cr.terms.push_back({lex_.real("Cp coefficient", k + 1), kExp[static_cast<std::size_t>(k)]});
        lex_.end_record();
        if (r < nranges) {
            cr.transition_h = lex_.real("transition enthalpy");
            lex_.end_record();
        }
        if (extra_terms) {
            for (const ExtraTerm& t : read_extra_terms(rl, true)) cr.terms.push_back({t.c, t.e});
        }
        // The Cp data are converted against this range's Tmax and the
        // previous one; both must be usable as temperatures.
        if (!(cr.tmax > 0.0) || !std::isfinite(cr.tmax))
            lex_.fail("Tmax: expected a temperature > 0, found " + fmt_real(cr.tmax));
        if (r > 1 && !(cr.tmax >= cp[static_cast<std::size_t>(r - 2)].tmax))
            lex_.fail("Tmax: expected at least the previous range's " +
                      fmt_real(cp[static_cast<std::size_t>(r - 2)].tmax) + ", found " + fmt_real(cr.tmax));
    }
    c.ranges = cp_to_gibbs(h298, s298, cp);
    for (std::size_t r = 0; r < c.ranges.size(); ++r) {
        if (c.ranges[r].extra.size() > static_cast<std::size_t>(limits::kExtraTerms))
            lex_.fail("range " + std::to_string(r + 1) + ": more than " + std::to_string(limits::kExtraTerms) +
                      " extra terms after conversion");
    }
}

void DatReader::check_ranges(Constituent& c, const std::string& label, int line) {
    lex_.set_context(label);
    std::vector<GibbsRange> kept;
    kept.reserve(c.ranges.size());
    for (std::size_t r = 0; r < c.ranges.size(); ++r) {
        GibbsRange& g = c.ranges[r];
        const std::string rl = "range " + std::to_string(r + 1);
        if (!(g.tmax > 0.0) || !std::isfinite(g.tmax))
            lex_.fail_at(line, rl + ", Tmax: expected a temperature > 0, found " + fmt_real(g.tmax));
        for (std::size_t k = 0; k < 6; ++k)
            if (!std::isfinite(g.coef[k]))
                lex_.fail_at(line, rl + ", coefficient " + std::to_string(k + 1) + ": not finite");
        if (!kept.empty()) {
            if (g.tmax == kept.back().tmax) {
                warn(line, label + ", " + rl + ": same Tmax as the range before (" + fmt_real(g.tmax) +
                               " K); the first is kept");
                continue;
            }
            if (g.tmax < kept.back().tmax)
                lex_.fail_at(line, rl + ", Tmax: expected more than the previous range's " +
                                       fmt_real(kept.back().tmax) + ", found " + fmt_real(g.tmax));
        }
        kept.push_back(std::move(g));
    }
    c.ranges = std::move(kept);
}

void DatReader::keep_qkto_species(Phase& p) {
    // Weights make equivalent fractions, so they must be positive; groups
    // are any integers (equal groups: Kohler, different: Toop-like sets).
    lex_.set_context("phase " + p.name);
    for (const QktoRecord& r : qkto_records_) {
        if (!(r.w > 0.0) || !std::isfinite(r.w))
            lex_.fail_at(r.line, "model record weight: expected a positive number, found " + fmt_real(r.w));
        if (r.g < std::numeric_limits<int>::min() || r.g > std::numeric_limits<int>::max())
            lex_.fail_at(r.line, "model record group: " + std::to_string(r.g) + " is out of range");
        p.qkto_weight.push_back(r.w);
        p.qkto_group.push_back(static_cast<int>(r.g));
    }
}

std::vector<int> DatReader::read_indices(int k, int nconst, const std::string& what) {
    std::vector<int> idx;
    idx.reserve(static_cast<std::size_t>(k));
    for (int m = 1; m <= k; ++m) {
        int i = checked_count(lex_.integer(what + " index", m), 1, nconst, what + " index", m);
        if (std::find(idx.begin(), idx.end(), i - 1) != idx.end())
            lex_.fail(what + " index " + std::to_string(m) + ": constituent " + std::to_string(i) +
                      " appears twice");
        idx.push_back(i - 1);
    }
    return idx;
}

std::array<double, 6> DatReader::read_coefficient_set(const std::string& what) {
    std::array<double, 6> L{};
    for (int m = 0; m < 6; ++m) {
        L[static_cast<std::size_t>(m)] = lex_.real(what + " coefficient", m + 1);
        if (!std::isfinite(L[static_cast<std::size_t>(m)]))
            lex_.fail(what + " coefficient " + std::to_string(m + 1) + ": not finite");
    }
    return L;
}

void DatReader::read_rkmp_excess(Phase& p) {
    int sets = 0;
    for (int n = 1;; ++n) {
        lex_.set_context("phase " + p.name + ", interaction " + std::to_string(n));
        const long long k = lex_.integer("number of constituents");
        if (k == 0) break;
        if (k > 4) lex_.fail("number of constituents: interactions of " + std::to_string(k) +
                             " constituents are not supported (2, 3 or 4)");
        checked_count(k, 2, 4, "number of constituents");
        lex_.end_record();
        Interaction in;
        in.index = read_indices(static_cast<int>(k), p.count, "constituent");
        const int m = checked_count(lex_.integer("number of coefficient sets"), 1,
                                    limits::kExcessParameters - sets, "number of coefficient sets");
        if (k == 3 && m != 1 && m != 3)
            lex_.fail("number of coefficient sets: a ternary interaction has 1 or 3, found " + std::to_string(m));
        if (k == 4 && m != 1) {
            const std::string where = lex_.context();
            lex_.set_context({});
            lex_.fail(where + ": 4-constituent interaction with " + std::to_string(m) + " sets not supported (1)");
        }
        lex_.end_record();
        sets += m;
        in.sets.reserve(static_cast<std::size_t>(m));
        for (int v = 1; v <= m; ++v) {
            in.sets.push_back(read_coefficient_set("set " + std::to_string(v)));
            lex_.end_record();
        }
        p.excess.push_back(std::move(in));
        ++excess_records_;
    }
    lex_.end_record();
}

void DatReader::read_magnetic_list(Phase& p, const Sublattices& sl) {
    int sets_left = limits::kExcessParameters;
    for (ListRecord& r : read_interaction_list(lex_, "phase " + p.name + ", magnetic interaction", sl, 2, sets_left)) {
        MagneticInteraction m;
        m.index = std::move(r.index);
        for (const auto& set : r.sets) m.sets.push_back({set[0], set[1]});
        p.magnetic.interactions.push_back(std::move(m));
    }
}

void DatReader::read_sublattice_phase(Phase& p) {
    p.sublattice = read_sublattice_block(lex_, p.name, p.count);
    if (p.magnetic.present) read_magnetic_list(p, p.sublattice);
    int sets_left = limits::kExcessParameters;
    for (ListRecord& r : read_interaction_list(lex_, "phase " + p.name + ", interaction", p.sublattice, 6, sets_left)) {
        Interaction in;
        in.index = std::move(r.index);
        in.sets = std::move(r.sets);
        p.excess.push_back(std::move(in));
        ++excess_records_;
    }
    std::vector<double> rows;
    const std::string fault =
        site_content(sys_.elements, p, std::span<const Constituent>(sys_.constituents).subspan(static_cast<std::size_t>(p.first)), rows);
    if (!fault.empty()) lex_.fail_at(phase_line_, "phase " + p.name + ", " + fault);
}

void DatReader::read_qkto_excess(Phase& p) {
    for (int n = 1;; ++n) {
        lex_.set_context("phase " + p.name + ", interaction " + std::to_string(n));
        const long long k = lex_.integer("number of constituents");
        if (k == 0) break;
        if (k < 0 && k >= -1000) {
            // -n: n interpolation-override lines end the list.
            lex_.end_record();
            read_qkto_overrides(p, static_cast<int>(-k));
            return;
        }
        if (n > limits::kExcessParameters)
            lex_.fail("more than " + std::to_string(limits::kExcessParameters) + " interactions");
        if (k > 3 || k < 2)
            lex_.fail("QKTO variant not supported: interaction of " + std::to_string(k) + " constituents");
        lex_.end_record();
        Interaction in;
        in.index = read_indices(static_cast<int>(k), p.count, "constituent");
        for (int m = 1; m <= k; ++m) {
            const long long e = lex_.integer("exponent", m);
            if (e < 1 || e > static_cast<long long>(kMaxExponent))
                lex_.fail("QKTO variant not supported: exponent " + std::to_string(m) + " is " + std::to_string(e) +
                          " (expected 1 to " + std::to_string(static_cast<int>(kMaxExponent)) + ")");
            in.exponent.push_back(static_cast<int>(e));
        }
        in.sets.push_back(read_coefficient_set("parameter"));
        lex_.end_record();
        p.excess.push_back(std::move(in));
        ++excess_records_;
    }
    lex_.end_record();
}

void DatReader::read_qkto_overrides(Phase& p, int n) {
    lex_.set_context("phase " + p.name);
    for (int k = 1; k <= n; ++k) {
        const std::string rl = "interpolation override " + std::to_string(k) + ": ";
        OverrideLine line;
        const std::string fault = read_override_line(lex_.text_line("an interpolation override line"), line);
        if (!fault.empty()) lex_.fail(rl + fault);
        // Three distinct constituents of the phase; no second sublattice.
        const auto [i, j, l] = line.ternary;
        const auto in_phase = [&](long long c) { return c >= 1 && c <= p.count; };
        if (!in_phase(i) || !in_phase(j) || !in_phase(l) || i == j || i == l || j == l || line.partner != 0)
            lex_.fail(rl + "indices " + line.items + " invalid (expected three different constituents of the phase, 1 to " +
                      std::to_string(p.count) + ", and 0 last)");
        p.qkto_kohler.push_back({static_cast<int>(i) - 1, static_cast<int>(j) - 1, static_cast<int>(l) - 1});
    }
}

void DatReader::read_ionic_block(Phase& p, bool subm, int name_line) {
    const auto first = static_cast<std::size_t>(p.first), count = static_cast<std::size_t>(p.count);
    const IonicBlock block{lex_,
                           p.name,
                           std::span<const Constituent>(sys_.constituents.data() + first, count),
                           std::span<const int>(constituent_lines_.data() + first, count),
                           markers_,
                           [this](int line, const std::string& text) { warn(line, text); }};
    if (subm) {
        skip_subm(block);
        lex_.set_context({});
        lex_.fail_at(name_line, "phase " + p.name + ": model SUBM not supported");
    }
    p.ionic = read_subi(block);
}

void DatReader::name_phase_copies() {
    // A mixture phase written N times (a miscibility gap) becomes NAME#1 ...
    // NAME#N. Copies are identical in every file seen; differing ones are
    // loaded as written, with a warning.
    std::vector<Phase>& ph = sys_.phases;
    std::vector<bool> done(ph.size(), false);
    for (std::size_t a = 0; a < ph.size(); ++a) {
        if (!ph[a].is_mixture() || done[a]) continue;
        std::vector<std::size_t> copies{a};
        for (std::size_t b = a + 1; b < ph.size(); ++b)
            if (ph[b].is_mixture() && ph[b].name == ph[a].name) copies.push_back(b);
        if (copies.size() < 2) continue;
        const std::string base = ph[a].name;
        for (std::size_t k = 0; k < copies.size(); ++k) {
            const Phase& q = ph[copies[k]];
            bool same = q.model == ph[a].model && q.count == ph[a].count && q.excess == ph[a].excess;
            for (int i = 0; same && i < q.count; ++i) {
                Constituent x = sys_.constituents[static_cast<std::size_t>(q.first + i)];
                x.phase = static_cast<int>(a);
                same = x == sys_.constituents[static_cast<std::size_t>(ph[a].first + i)];
            }
            if (!same)
                warn(phase_lines_[copies[k]], "phase " + base + " copy " + std::to_string(k + 1) +
                                                  " differs from the first copy; loaded as written");
        }
        for (std::size_t k = 0; k < copies.size(); ++k) {
            ph[copies[k]].name = base + "#" + std::to_string(k + 1);
            done[copies[k]] = true;
        }
    }
}

void DatReader::name_dummy_copies() {
    // Exported files may end with the same dummy phase written twice. Dummy
    // phases never take part in a calculation, so the later ones are kept
    // under NAME#2, NAME#3, ... A name shared with a phase that takes part
    // stays a duplicate (refused below).
    std::vector<Phase>& ph = sys_.phases;
    for (std::size_t a = 0; a < ph.size(); ++a) {
        if (!ph[a].dormant) continue;
        std::vector<std::size_t> same{a};
        bool all_dummy = true;
        for (std::size_t b = 0; b < ph.size(); ++b) {
            if (b == a || ph[b].name != ph[a].name) continue;
            if (b < a) all_dummy = false;  // named at the first of them, or not a dummy-only name
            if (!ph[b].dormant) all_dummy = false;
            if (b > a) same.push_back(b);
        }
        if (!all_dummy || same.size() < 2) continue;
        const std::string base = ph[a].name;
        warn(phase_lines_[same[1]], "stoichiometric phase '" + base + "' appears " + std::to_string(same.size()) +
                                        " times among dummy phases; later copies renamed " + base + "#2\u2026");
        for (std::size_t k = 1; k < same.size(); ++k) ph[same[k]].name = base + "#" + std::to_string(k + 1);
    }
}

void DatReader::check_unique_names() {
    // Names are unique within their scope on their first 24 characters.
    auto check = [&](const std::vector<std::string_view>& names, const std::vector<int>& lines,
                     const std::string& scope) {
        std::vector<std::pair<std::string_view, std::size_t>> keys;
        keys.reserve(names.size());
        for (std::size_t k = 0; k < names.size(); ++k) keys.emplace_back(names[k].substr(0, kNameWidth), k);
        std::sort(keys.begin(), keys.end());
        for (std::size_t k = 1; k < keys.size(); ++k) {
            if (keys[k].first != keys[k - 1].first) continue;
            const std::size_t later = std::max(keys[k].second, keys[k - 1].second);
            throw DataError(lex_.file(), lines[later],
                            "duplicate name '" + std::string(names[later]) + "' among the " + scope +
                                " (names must differ in their first 24 characters)");
        }
    };
    std::vector<std::string_view> names;
    std::vector<int> lines;
    for (const Element& e : sys_.elements) {
        names.push_back(e.symbol);
        lines.push_back(element_line_);
    }
    check(names, lines, "elements");
    names.clear();
    for (const Phase& p : sys_.phases) names.push_back(p.name);
    check(names, phase_lines_, "phases");
    for (const Phase& p : sys_.phases) {
        names.clear();
        lines.clear();
        for (int i = 0; i < p.count; ++i) {
            const auto k = static_cast<std::size_t>(p.first + i);
            // An ionic liquid writes each neutral once per cation, under
            // the neutral's name; those copies share it.
            if (p.ionic && p.ionic->is_neutral(p.ionic->record_site2[static_cast<std::size_t>(i)]) &&
                std::find(p.ionic->record_site2.begin(), p.ionic->record_site2.begin() + i,
                          p.ionic->record_site2[static_cast<std::size_t>(i)]) != p.ionic->record_site2.begin() + i)
                continue;
            names.push_back(sys_.constituents[k].name);
            lines.push_back(constituent_lines_[k]);
        }
        check(names, lines, "constituents of phase " + p.name);
    }
}

void DatReader::check_comment_block(int first_line) const {
    // After the declared phases only the comment block may follow. A line of
    // numbers before the comment block's first line of '#' is a record of
    // data: the counts record announced fewer species or phases than the
    // file holds, and reading on by the counts would have made a species of
    // one phase into a phase of its own and dropped the last one.
    std::string_view rest = sys_.comment;
    int line = first_line;
    int first_text = 0;
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find('\n'), rest.size());
        const std::vector<std::string_view> tokens = split_tokens(rest.substr(0, end));
        rest.remove_prefix(std::min(end + 1, rest.size()));
        if (!tokens.empty()) {
            if (tokens.front().front() == '#') return;
            if (first_text == 0) first_text = line;
            bool numbers = true;
            double v = 0.0;
            for (std::string_view t : tokens) numbers = numbers && parse_real(t, v);
            if (numbers) {
                auto phases = [](std::size_t n, const char* kind) {
                    return std::to_string(n) + " " + kind + (n == 1 ? " phase" : " phases");
                };
                std::string counts = phases(mixture_counts_.size(), "mixture");
                for (std::size_t k = 0; k < mixture_counts_.size(); ++k)
                    counts += (k == 0 ? " of " : ", ") + std::to_string(mixture_counts_[k]);
                if (!mixture_counts_.empty()) counts += " species";
                counts += " and " + phases(static_cast<std::size_t>(n_stoichiometric_), "stoichiometric");
                throw DataError(lex_.file(), first_text,
                                "data after the last declared phase: the counts record (line " +
                                    std::to_string(counts_line_) + ") announces " + counts +
                                    "; only the comment block may follow");
            }
        }
        ++line;
    }
}

// A binary file is refused before it is read as text, saying what it is.
void check_text_file(std::string_view text, const std::string& name) {
    if (text.substr(0, kCstMagic.size()) == kCstMagic)
        throw DataError(name, 1, "not a text data file: this is a compiled data file, which must be named .cst");
    const std::size_t nul = text.find('\0');
    if (nul != std::string_view::npos) {
        const auto line = 1 + std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(nul), '\n');
        throw DataError(name, static_cast<int>(line), "not a text data file: it holds binary data (a zero byte)");
    }
}

}  // namespace

System read_dat(std::istream& in, const std::string& name) {
    std::ostringstream buffer;
    buffer << in.rdbuf();
    std::string text = std::move(buffer).str();
    check_text_file(text, name);
    Lexer lex(std::move(text), name);
    DatReader reader(lex);
    return reader.read();
}

System read_dat(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw DataError(path, 0, "cannot open the file for reading");
    return read_dat(in, path);
}

}  // namespace eqcore
