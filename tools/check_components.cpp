#include "check_components.hpp"

#include <cctype>
#include <cmath>
#include <map>
#include <sstream>

#include "elements.hpp"
#include "eqlink_blocks.hpp"
#include "formula.hpp"
#include "input_error.hpp"
#include "map_lookup.hpp"
#include "names.hpp"
#include "solution_codes.hpp"
#include "startup.hpp"

namespace eqlink_tool {
namespace {

// The start-up's failure indicator for a component without its species.
constexpr ftn::Int kComponentNotFound = 7;

// Atoms per formula unit by atomic number.
using Composition = std::map<int, double>;

// The atomic number of a data-file element symbol ("C", "Al", "AL"); 0 for
// columns that are no chemical element (an electron, a vacancy).
int atomic_number(const std::string& symbol) {
    if (auto e = elvar::element_by_symbol(symbol)) return e->z;
    std::string s = symbol;
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<char>(i == 0 ? std::toupper(static_cast<unsigned char>(s[i]))
                                        : std::tolower(static_cast<unsigned char>(s[i])));
    if (auto e = elvar::element_by_symbol(s)) return e->z;
    return 0;
}

// "C2H6": the elements in the data file's order, then any others.
std::string text(const Composition& atoms, const eqcore::System& sys) {
    std::ostringstream out;
    Composition rest = atoms;
    auto put = [&](int z, double n) {
        out << elvar::element_by_z(z)->symbol;
        if (n != 1.0) out << n;
    };
    for (const auto& e : sys.elements)
        if (const int z = atomic_number(e.symbol); z != 0 && rest.count(z)) {
            put(z, rest[z]);
            rest.erase(z);
        }
    for (const auto& [z, n] : rest) put(z, n);
    return out.str();
}

Composition species_atoms(const eqcore::System& sys, int phase, int constituent, double factor) {
    Composition atoms;
    const auto& stoich = sys.constituent(phase, constituent).stoich;
    for (std::size_t j = 0; j < stoich.size() && j < sys.elements.size(); ++j)
        if (const int z = atomic_number(sys.elements[j].symbol); z != 0 && stoich[j] != 0.0)
            atoms[z] += factor * stoich[j];
    return atoms;
}

bool same(const Composition& a, const Composition& b) {
    auto count = [](const Composition& c, int z) { return c.count(z) ? c.at(z) : 0.0; };
    for (const Composition* c : {&a, &b})
        for (const auto& [z, n] : *c)
            if (std::fabs(count(a, z) - count(b, z)) > 1e-6 * std::max(1.0, std::fabs(n)))
                return false;
    return true;
}

std::string quoted(const std::string& s) {
    return "\"" + s + "\"";
}

std::string did_you_mean(const std::vector<MappingName>& names, const std::string& name) {
    const auto near = nearest_names(names, name, 3);
    std::string s;
    for (std::size_t i = 0; i < near.size(); ++i)
        s += (i == 0 ? "" : i + 1 == near.size() ? " or " : ", ") + near[i];
    return s.empty() ? "" : "; did you mean " + s + "?";
}

}  // namespace

bool start_and_check_components(const Case& c, const eqcore::System& sys) {
    ftn::Int ierr = 0, noerr = 0;
    eqlink::CASTRT(ierr, noerr);
    // A component without its species stops the mapping (failure 7); any
    // other failure is the start-up's own, reported by every calculation.
    if (ierr != 0 && ierr != kComponentNotFound) return false;

    const SolutionDictionary dictionary = read_solution_dictionary();
    const std::vector<MappingName> names = mapping_names(sys, code_lookup(dictionary));
    const std::string data = c.data_name;
    const std::string listed = " (eqlink info --names " + data + " lists them all)";
    auto fail = [&](std::size_t i, int line, const std::string& field, const std::string& what) {
        throw InputError(c.file.string() + ":" + std::to_string(line) + ": component[" +
                         std::to_string(i + 1) + "]." + field + ": " + what);
    };

    // The mapping stopped at a component: the rest of the map is not
    // there, so only that component can be named.
    if (ierr == kComponentNotFound) {
        for (std::size_t i = 0; i < c.components.size(); ++i) {
            const CaseComponent& comp = c.components[i];
            ftn::Int phase = 0, constituent = 0;
            const bool member =
                eqlink::FNDMAP(static_cast<ftn::Int>(i + 1), phase, constituent) != 0;
            if (member && constituent == 0)
                fail(i, comp.name_line, "name",
                     quoted(comp.name) + " names solution phase " +
                         sys.phases[static_cast<std::size_t>(phase - 1)].name +
                         " by its code, but none of the phase's species answers to it" +
                         did_you_mean(names, comp.name) + listed);
            const eqlink::names::GasHostName gas = eqlink::names::gas_host_name(comp.name);
            if (gas.gas && !gas.known)
                fail(i, comp.name_line, "name",
                     quoted(comp.name) +
                         ": a dollar sign marks only the gas species whose upper-case name is "
                         "another species (Bi, Bi2, Co, CoCl, CoCl2, CoF2, Cs, Cs2, Hf, Nd)" +
                         did_you_mean(names, comp.name) + listed);
        }
        return false;
    }

    for (std::size_t i = 0; i < c.components.size(); ++i) {
        const CaseComponent& comp = c.components[i];
        ftn::Int phase = 0, constituent = 0;
        const ftn::Int k = static_cast<ftn::Int>(i + 1);
        if (eqlink::FNDMAP(k, phase, constituent) == 0)
            fail(i, comp.name_line, "name",
                 quoted(comp.name) + " reaches no species of " + data +
                     did_you_mean(names, comp.name) + listed);
        const int p = static_cast<int>(phase) - 1, j = static_cast<int>(constituent) - 1;
        const auto& species = sys.constituent(p, j);
        const double factor = eqlink::mwfac(k);
        const elvar::Formula formula = elvar::parse_formula(comp.formula);
        Composition given;
        for (const auto& a : formula.atoms) given[a.z] += a.count;
        const Composition mapped = species_atoms(sys, p, j, factor);
        if (!same(given, mapped))
            fail(i, comp.formula_line, "formula",
                 quoted(comp.formula) + " is " + text(given, sys) + ", but " + quoted(comp.name) +
                     " maps to species " + species.name + " of phase " +
                     sys.phases[static_cast<std::size_t>(p)].name + ", which is " +
                     text(mapped, sys) +
                     (factor != 1.0 ? " (the species times its formula-unit factor)" : ""));
    }
    return true;
}

}  // namespace eqlink_tool
