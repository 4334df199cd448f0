// The solution and pure pass of the mapping, over phases 2..NPH. A host
// component belongs to a solution phase through the phase's dictionary code
// after its colon and is mapped to the constituent of its base name; a pure
// phase is matched on the whole host name with its state suffix.
#include <string>

#include "fortran_format.hpp"
#include "host_components.hpp"
#include "mapdat.hpp"
#include "names.hpp"

namespace eqlink::mapdat {
namespace {

constexpr ftn::Int kLiquid = 2;
constexpr ftn::Int kConstituentNotFound = 304;

// The phase being examined.
struct Phase {
    ftn::Int k = 0;
    std::string name;  // PHNAME(k), 24 characters
    ftn::Int ncon = 0;
    std::string code;  // the solution code (4 characters)
    ftn::Int kind = kLiquid;
};

// The code and kind of a solution phase from the dictionary; the first four
// characters of its name and kind liquid when it is not listed.
void look_up_code(Mapping& m, Phase& p) {
    for (ftn::Int e = 1; e <= EQLINK_ELVCA.NDICT; ++e) {
        if (names::padded_equal(dname(e).full(), p.name) ||
            names::padded_equal(dcode(e).full(), p.name)) {
            p.code = std::string(dcode(e).full());
            p.kind = idtype(e);
            debug("Solution phase " + p.code);
            debug("Solution name  " + std::string(dname(e).full()));
            return;
        }
    }
    p.code = p.name.substr(0, 4);
    p.kind = kLiquid;
    debug("Solution phase " + p.code);
    debug("Solution name  " + p.name);
    report(m.id, {4, 70, m.level},
           {kSix + "DATA FILE PHASE " + p.name + "NOT FOUND IN THE",
            kSix + "SOLUTION DICTIONARY - USE THE FIRST FOUR",
            kSix + "CHARACTERS OF THE DATA FILE PHASE NAME AS", kSix + "THE ELVAR PHASE NAME"});
}

// The solution rule for host component i. 0 or a failure indicator.
ftn::Int map_solution_member(Mapping& m, const Phase& p, ftn::Int i) {
    const ftn::Chars<32> name = host_component_name(i);
    std::size_t base_length = 0;
    if (!names::solution_member(name.full(), p.code, base_length)) return 0;
    debug("Member of solution phase");
    trace({"       Const. " + std::string(name.full().substr(0, 24)) + "is in soln " + p.code +
           " - " + p.name});
    ++nphcmp(p.k);
    if (!append_record(m, i, 0, p.k, p.kind)) return kTooMany;
    const ftn::Int r = EQLINK_ELVCA.NMAP;
    mwfac(i) = 1.0;
    const std::string_view base = name.full().substr(0, base_length);
    for (ftn::Int j = 1; j <= p.ncon; ++j) {
        const ftn::Chars<32> cname = ec_cnm(m, p.k, j);
        const names::SolutionConstituent c = names::solution_constituent(cname.full());
        if (!names::padded_equal(c.name, base)) continue;
        if (!c.factor_ok) {
            report(m.id, {1, 71, m.level},
                   {kSix + "Species " + std::string(cname.text()) + " of phase " +
                        std::string(ftn::trim_right(p.name)),
                    kSix + "has the formula-unit factor \"" + c.factor_text +
                        "\", not a positive number.",
                    kSix + "EQCORE/Elvar interface terminates."});
            return kNotFound;
        }
        map_record(r).constituent = j;
        mwfac(i) = c.factor;
        debug("Match!");
        break;
    }
    trace_record(r);
    if (map_record(r).constituent != 0) return 0;
    m.status = kConstituentNotFound;
    report(m.id, {1, 70, m.level},
           {kSix + "Species not found in data file: " + std::string(name.full()),
            kSix + "EQCORE/Elvar interface terminates with codes = " + fmt90::I(kNotFound, 1) +
                " and " + fmt90::I(m.status, 3)});
    return kNotFound;
}

// The pure rule for host component i against a pure phase whose first
// constituent has been rewritten to `constituent`. 0 or a failure indicator.
ftn::Int map_pure_phase(Mapping& m, const Phase& p, const names::PureConstituent& constituent,
                        ftn::Int i) {
    const ftn::Chars<32> name = host_component_name(i);
    if (p.ncon > 1) {
        report(m.id, {0, 79, m.level},
               {kSix + "DATA FILE PHASE " + p.name + "HAS" + fmt90::I(p.ncon, 4) + "CONSTITUENTS",
                kSix + "BUT USES THE PURE MODEL - HOW CAN THIS BE?"});
    }
    const names::PureHostName host = names::pure_host_name(name.full());
    const names::PureComparison lengths = names::pure_lengths(host, constituent);
    debug("EL name = " + fmt90::A(host.name, 32) + "  " +
          fmt90::I(static_cast<ftn::Int>(lengths.host_length), 2));
    debug("CA name = " + fmt90::A(constituent.name, 32) + "  " +
          fmt90::I(static_cast<ftn::Int>(lengths.constituent_length), 2));
    if (!names::pure_match(host, constituent)) return 0;
    debug("Match!");
    if (is_mapped(i)) {
        report(m.id, {3, 50, m.level},
               {kSix + "COMPONENT \"" + std::string(host_component_id(i).full()) +
                "\" ALREADY MAPPED"});
        return 0;
    }
    if (!append_record(m, i, 1, p.k, host.kind)) return kTooMany;
    ++nphcmp(p.k);
    mwfac(i) = 1.0;
    trace({"       Const. " + std::string(name.full().substr(0, 24)) + "is pure phase " + p.name});
    trace_record(EQLINK_ELVCA.NMAP);
    return 0;
}

}  // namespace

ftn::Int phase_pass(Mapping& m) {
    debug("Mapping all other phases");
    for (ftn::Int k = 2; k <= EQLINK_ELVCA.NPH; ++k) {
        debug("Checking CA phase " + fmt90::I(k, 3));
        Phase p;
        p.k = k;
        p.name = std::string(phname(k).full());
        const std::string model = names::upper(ec_modl(m, k).full());
        p.ncon = ec_npc(m, k);
        nphcmp(k) = 0;
        if (model != "PURE") {
            look_up_code(m, p);
            for (ftn::Int i = 1; i <= m.ncomp; ++i)
                if (const ftn::Int failure = map_solution_member(m, p, i); failure != 0)
                    return failure;
        } else {
            debug("Pure phase " + p.name);
            if (p.ncon < 1) continue;  // nothing a component could be mapped to
            const names::PureConstituent constituent =
                names::pure_constituent(ec_cnm(m, k, 1).full());
            for (ftn::Int i = 1; i <= m.ncomp; ++i)
                if (const ftn::Int failure = map_pure_phase(m, p, constituent, i); failure != 0)
                    return failure;
        }
    }
    return 0;
}

}  // namespace eqlink::mapdat
