// eqlink info FILE: what a data file holds — its elements, its phases with
// their models and constituents, and the temperature ranges of the data.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <string>

#include "commands.hpp"
#include "data/system.hpp"
#include "input_error.hpp"
#include "load_system.hpp"
#include "mapping_names.hpp"
#include "solution_codes.hpp"
#include "table.hpp"
#include "thermo/quasichem.hpp"

namespace eqlink_tool {
namespace {

std::string model_text(const eqcore::Phase& p) {
    switch (p.model) {
        case eqcore::Model::ideal_gas: return "ideal gas";
        case eqcore::Model::idmx: return "ideal mixing";
        case eqcore::Model::rkmp: return "Redlich-Kister-Muggianu excess";
        case eqcore::Model::qkto: return "Kohler-Toop excess";
        case eqcore::Model::pure: return "stoichiometric";
        case eqcore::Model::subl: return "compound energy (sublattices)";
        case eqcore::Model::subg: return "quasichemical, pairs";
        case eqcore::Model::subq: return "quasichemical, quadruplets";
        case eqcore::Model::subi: return "ionic two-sublattice liquid";
    }
    return "?";
}

// "298.15 - 6000 K, 2 ranges": data below 298.15 K use the first range, so
// that is where the validity of the tabulated functions begins.
std::string range_text(const eqcore::Constituent& c) {
    if (c.ranges.empty()) return "-";
    std::string text = "298.15 - " + format_number(c.ranges.back().tmax, 6) + " K";
    if (c.ranges.size() > 1) text += ", " + std::to_string(c.ranges.size()) + " ranges";
    return text;
}

const char* kind_text(int kind) {
    switch (kind) {
        case 1: return "vapour";
        case 2: return "liquid";
        case 3: return "solid";
    }
    return "unknown";
}

// The host component name that reaches each species, with the phase kind
// its map record gets.
void print_names(const eqcore::System& sys) {
    const SolutionDictionary dictionary = read_solution_dictionary();
    Table t({"Phase", "Species", "Mapping name", "Formula", "Kind"});
    for (const MappingName& m : mapping_names(sys, code_lookup(dictionary))) {
        const auto& ph = sys.phases[static_cast<std::size_t>(m.phase)];
        t.row({ph.name, sys.constituent(m.phase, m.constituent).name, m.name.empty() ? "-" : m.name,
               constituent_formula(sys, ph.first + m.constituent, m.factor), m.name.empty() ? "" : kind_text(m.kind)});
    }
    std::cout << "Mapping names: a host component named so (with the formula) is mapped to the species;\n"
                 "\"-\": no name reaches it\n";
    t.print(std::cout);
    std::cout << "\nA member of a solution phase is named after the phase's code in the solution\n"
                 "dictionary, else after the first four characters of the phase name.\n";
    if (dictionary.path.empty()) std::cout << "No solution dictionary was found.\n";
    else
        std::cout << "Dictionary: " << dictionary.path
                  << (dictionary.local ? " (in the working directory; it overrides the bundled one)" : "") << "\n";
}

// A quasichemical liquid: its ions per sublattice (cations, then anions)
// with charge and interpolation group, its end members as cation-anion
// pairs, and its quadruplets (pairs) with their coordination numbers,
// listed or defaulted.
void print_quasichem(const eqcore::System& sys, int p) {
    const eqcore::Phase& ph = sys.phases[static_cast<std::size_t>(p)];
    const eqcore::QuasichemData& d = *ph.quasichem;
    std::cout << "\nIons of " << ph.name << " (" << (d.quadruplet ? "quadruplet" : "pair") << " approximation)\n";
    Table ions({"Sublattice", "Ion", "Charge", "Group"});
    for (int i = 0; i < d.cations(); ++i) {
        const auto k = static_cast<std::size_t>(i);
        ions.row({"1", d.cation[k], format_number(d.cation_charge[k], 6), std::to_string(d.cation_group[k])});
    }
    for (int i = 0; i < d.anions(); ++i) {
        const auto k = static_cast<std::size_t>(i);
        ions.row({"2", d.anion[k], format_number(d.anion_charge[k], 6), std::to_string(d.anion_group[k])});
    }
    ions.print(std::cout);
    std::cout << "\nEnd members of " << ph.name << "\n";
    Table members({"No.", "End member", "Cation", "Anion", "Zeta"});
    for (std::size_t m = 0; m < d.em_cation.size(); ++m)
        members.row({std::to_string(m + 1), sys.constituent(p, static_cast<int>(m)).name, d.cation[static_cast<std::size_t>(d.em_cation[m])],
                     d.anion[static_cast<std::size_t>(d.em_anion[m])], format_number(d.zeta[m], 6)});
    members.print(std::cout);
    std::cout << "\n" << (d.quadruplet ? "Quadruplets" : "Pairs") << " of " << ph.name
              << " (A-B-X-Y with the coordination numbers of A, B, X, Y)\n";
    Table quads({"No.", "Quadruplet", "Z(A)", "Z(B)", "Z(X)", "Z(Y)"});
    const std::vector<eqcore::Quadruplet> q = eqcore::quadruplets(d);
    for (std::size_t k = 0; k < q.size(); ++k)
        quads.row({std::to_string(k + 1), eqcore::quadruplet_name(d, q[k]), format_number(q[k].z[0], 8),
                   format_number(q[k].z[1], 8), format_number(q[k].z[2], 8), format_number(q[k].z[3], 8)});
    quads.print(std::cout);
}

}  // namespace

CLI::App* add_info(CLI::App& app, InfoOptions& o) {
    auto* cmd = app.add_subcommand("info", "Show the elements, phases, models and constituents of a data file");
    cmd->add_option("file", o.data, "Data file (.dat, or compiled .cst)")->required();
    cmd->add_flag("!--no-constituents", o.constituents, "List the phases only");
    cmd->add_flag("--names", o.names, "List the mapping names: the host component names that reach each species");
    return cmd;
}

int run_info(const InfoOptions& o) {
    const eqcore::System sys = load_system(o.data);
    if (!eqlink_reads(o.data))
        std::cerr << "eqlink: note: " << o.data
                  << ": EQLINK reads a data file by its extension, .dat (text) or .cst (compiled), and will refuse "
                     "this name\n";
    std::cout << o.data << ": " << sys.title << "\n\n";
    if (o.names) {
        print_names(sys);
        return kExitOk;
    }

    Table elements({"Element", "Atomic mass"});
    for (const auto& e : sys.elements) elements.row({e.symbol, format_number(e.mass, 8)});
    std::cout << "Elements (" << sys.elements.size() << ")\n";
    elements.print(std::cout);

    Table phases({"No.", "Phase", "Model", "Kind", "Constituents", "Excess terms"});
    for (int p = 0; p < sys.phase_count(); ++p) {
        const auto& ph = sys.phases[static_cast<std::size_t>(p)];
        phases.row({std::to_string(p + 1), ph.name, ph.model_code,
                    model_text(ph) + (ph.magnetic.present ? ", magnetic" : "") +
                        (ph.dormant ? " (dummy, never calculated)" : ""),
                    std::to_string(ph.count), std::to_string(ph.ionic ? ph.ionic->excess.size() : ph.excess.size())});
    }
    std::cout << "\nPhases (" << sys.phases.size() << ")\n";
    phases.print(std::cout);

    Table lattices({"Phase", "Sublattice", "Sites", "Constituents"});
    for (const auto& ph : sys.phases) {
        for (int t = 0; t < ph.sublattice.count(); ++t) {
            std::string names;
            for (const auto& n : ph.sublattice.names[static_cast<std::size_t>(t)]) names += (names.empty() ? "" : ", ") + n;
            lattices.row({ph.name, std::to_string(t + 1), format_number(ph.sublattice.sites[static_cast<std::size_t>(t)], 6),
                          names});
        }
    }
    if (!lattices.empty()) {
        std::cout << "\nSublattices\n";
        lattices.print(std::cout);
    }

    if (o.constituents) {
        std::cout << "\nConstituents (" << sys.constituents.size() << ")\n";
        Table cons({"Phase", "No.", "Constituent", "Formula", "Valid", "Molar volume m3/mol"});
        for (int p = 0; p < sys.phase_count(); ++p) {
            const auto& ph = sys.phases[static_cast<std::size_t>(p)];
            for (int k = 0; k < ph.count; ++k) {
                const auto& c = sys.constituent(p, k);
                cons.row({ph.name, std::to_string(k + 1), c.name, constituent_formula(sys, ph.first + k),
                          range_text(c), c.molar_volume > 0 ? format_number(c.molar_volume, 6) : "-"});
            }
        }
        cons.print(std::cout);
    }
    for (const auto& ph : sys.phases) {
        if (!ph.ionic) continue;
        // An ionic liquid: its sublattices with their species and charges
        // (site numbers P and Q follow from the charges).
        const eqcore::IonicLiquid& q = *ph.ionic;
        std::cout << "\nSublattices of " << ph.name << " (P = sum of anion charges x fractions + Q y(Va), "
                  << "Q = sum of cation charges x fractions)\n";
        Table subl({"Sublattice", "Species", "Charge"});
        for (std::size_t i = 0; i < q.cation.size(); ++i) subl.row({"1", q.cation[i], format_number(q.cation_charge[i], 6)});
        for (std::size_t i = 0; i < q.site2.size(); ++i)
            subl.row({"2", q.site2[i],
                      static_cast<int>(i) == q.vacancy ? "Q (vacancy)" : format_number(q.site2_charge[i], 6)});
        subl.print(std::cout);
    }
    for (int p = 0; p < sys.phase_count(); ++p)
        if (sys.phases[static_cast<std::size_t>(p)].quasichem) print_quasichem(sys, p);
    if (!sys.warnings.empty()) {
        std::cout << "\nReader notes\n";
        for (const auto& w : sys.warnings) std::cout << "  " << w << '\n';
    }
    return kExitOk;
}

}  // namespace eqlink_tool
