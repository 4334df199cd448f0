// Entry points of the equilibrium calculation: ECEQ and ECEQL (with the
// result listing), ECRES (values of the current result in the units in
// force) and ECSHOW (the settings). Listings go to the list unit; output for
// a unit that is not open is discarded.
#include <string>
#include <vector>

#include "abi/entry.hpp"
#include "eqcore/eqcore.h"
#include "session/listing.hpp"
#include "session/text.hpp"
#include "thermo/quasichem.hpp"
#include "unitio.hpp"

using namespace eqcore;
using namespace eqcore::abi;

namespace {

void write_list(const Session& s, const std::vector<std::string>& lines) {
    const std::int64_t unit = s.io_unit(IoKind::list);
    if (unit == 0 || !unitio::is_open(unit)) return;
    for (const std::string& l : lines) unitio::write_record(unit, l);
    unitio::flush(unit);
}

// ECEQ / ECEQL: option two blanks (the T and P conditions) or "T " (the
// temperature is the unknown; phase > 0 its "A" target, 0 the "H"
// condition; values(1) the first estimate).
const EquilibriumResult& calculate(const char* option, eqcore_len option_len, const eqcore_int* phase,
                                   const eqcore_int* constituent, const eqcore_real* values) {
    Session& s = session();
    const std::string_view opt = abi::text(option, option_len, "option");
    if (opt.empty()) return s.equilibrate(false, -1, 0.0);
    if (!text::same_word(opt, "T"))
        throw Failure(Error::unknown_option, "equilibrium option '" + std::string(opt) + "' (known: blank, \"T\")");
    const eqcore_int p = ref(phase, "phase");
    const double estimate = s.units().temperature_to_si(ref(values, "values"));
    if (p == 0) return s.equilibrate(true, -1, estimate);
    const int ph = s.phase_from_number(p);
    const eqcore_int c = ref(constituent, "constituent");
    if (c != 0) (void)s.constituent_from_number(ph, c);  // only checked: a target is on the phase
    return s.equilibrate(true, ph, estimate);
}

double amount_of(const Session& s, const EquilibriumResult& r, int p, int k) {
    const Units& u = s.units();
    const double m = u.amount_is_mass() ? s.molar_mass(p, k) : 1.0;
    return u.amount_from_mol(r.amount[static_cast<std::size_t>(s.system().phases[static_cast<std::size_t>(p)].first + k)], m);
}

}  // namespace

extern "C" {

void PPSTUB_ECEQ(const char* option, const eqcore_int* phase, const eqcore_int* constituent, const eqcore_real* values,
                 eqcore_int* noerr, eqcore_len option_len) {
    entry(noerr, [&] { calculate(option, option_len, phase, constituent, values); });
}

void PPSTUB_ECEQL(const char* option, const eqcore_int* phase, const eqcore_int* constituent, const eqcore_real* values,
                  eqcore_int* noerr, eqcore_len option_len) {
    entry(noerr, [&] {
        const EquilibriumResult& r = calculate(option, option_len, phase, constituent, values);
        write_list(session(), result_listing(session(), r));
    });
}

void PPSTUB_ECRES(const char* option, const eqcore_int* phase, const eqcore_int* constituent, eqcore_real* value,
                  eqcore_int* noerr, eqcore_len option_len) {
    entry(noerr, [&] {
        const Session& s = session();
        const std::string_view opt = abi::text(option, option_len, "option");
        const eqcore_int pn = ref(phase, "phase"), cn = ref(constituent, "constituent");
        eqcore_real& out = ref(value, "value");
        const EquilibriumResult& r = s.result();
        const Units& u = s.units();
        const System& sys = s.system();
        if (text::same_word(opt, "T")) {
            out = u.temperature_from_si(r.T);
        } else if (text::same_word(opt, "P")) {
            out = u.pressure_from_si(r.P);
        } else if (text::same_word(opt, "A")) {
            const int p = s.phase_from_number(pn);
            const PhaseResult& pr = r.phases[static_cast<std::size_t>(p)];
            if (cn == 0 && !pr.sites.empty() && !u.amount_is_mass()) {
                // A phase whose site numbers follow its composition: in formula units.
                out = u.amount_from_mol(pr.amount, 1.0);
            } else if (cn == 0) {
                double a = 0.0;
                for (int k = 0; k < sys.phases[static_cast<std::size_t>(p)].count; ++k) a += amount_of(s, r, p, k);
                out = a;
            } else {
                out = amount_of(s, r, p, s.constituent_from_number(p, cn));
            }
        } else if (text::same_word(opt, "MU")) {
            const int p = s.phase_from_number(pn);
            const int k = s.constituent_from_number(p, cn);
            const double per = u.amount_from_mol(1.0, u.amount_is_mass() ? s.molar_mass(p, k) : 1.0);
            out = u.energy_from_si(r.mu[static_cast<std::size_t>(sys.phases[static_cast<std::size_t>(p)].first + k)]) / per;
        } else if (text::same_word(opt, "H") || text::same_word(opt, "S") || text::same_word(opt, "V")) {
            // Of phase p; with p = 0 of the system (H: the heat of the calculation).
            const char q = static_cast<char>(std::toupper(static_cast<unsigned char>(opt[0])));
            double h = 0.0, sv = 0.0, v = 0.0;
            if (pn == 0 && cn == 0) {
                h = r.heat;
                sv = r.S;
                v = r.V;
            } else {
                const PhaseResult& pr = r.phases[static_cast<std::size_t>(s.phase_from_number(pn))];
                h = pr.H;
                sv = pr.S;
                v = pr.V;
            }
            out = q == 'H' ? u.energy_from_si(h) : q == 'S' ? u.entropy_from_si(sv) : u.volume_from_si(v);
        } else if (text::same_word(opt, "Y")) {
            // Site fraction k of the concatenated sublattice list (of a
            // quasichemical liquid: its cations, then its anions; its result
            // holds the quadruplet fractions they follow from).
            const int p = s.phase_from_number(pn);
            const PhaseResult& pr = r.phases[static_cast<std::size_t>(p)];
            const Phase& ph = sys.phases[static_cast<std::size_t>(p)];
            const std::vector<double> y =
                ph.quasichem && !pr.site_fraction.empty()
                    ? ion_site_fractions(*ph.quasichem, quadruplets(*ph.quasichem), pr.site_fraction)
                    : pr.site_fraction;
            if (cn < 1 || static_cast<std::size_t>(cn) > y.size())
                throw Failure(Error::constituent_out_of_range, "site fraction " + std::to_string(cn) + " (the phase has " +
                                                                   std::to_string(y.size()) + " sublattice constituents)");
            out = y[static_cast<std::size_t>(cn - 1)];
        } else if (text::same_word(opt, "AE")) {
            // Amount (mol) of element c in phase p, of the system for p = 0.
            if (cn < 1 || cn > sys.element_count())
                throw Failure(Error::element_out_of_range,
                              "element " + std::to_string(cn) + " (the system has " + std::to_string(sys.element_count()) + ")");
            const auto j = static_cast<std::size_t>(cn - 1);
            if (pn == 0) {
                out = r.element_amount[j];
            } else {
                const Phase& ph = sys.phases[static_cast<std::size_t>(s.phase_from_number(pn))];
                double a = 0.0;
                for (int k = 0; k < ph.count; ++k) {
                    const auto g = static_cast<std::size_t>(ph.first + k);
                    a += sys.constituents[g].stoich[j] * r.amount[g];
                }
                out = a;
            }
        } else if (text::same_word(opt, "TC")) {
            // T* of the phase's magnetic term at its composition.
            const int p = s.phase_from_number(pn);
            const PhaseModel& m = s.models()[p];
            const Phase& ph = sys.phases[static_cast<std::size_t>(p)];
            const PhaseResult& pr = r.phases[static_cast<std::size_t>(p)];
            std::vector<double> v;
            if (!pr.site_fraction.empty()) {
                v = pr.site_fraction;
            } else {
                v.assign(r.mole_fraction.begin() + ph.first, r.mole_fraction.begin() + ph.first + ph.count);
            }
            out = u.temperature_from_si(m.critical_temperature(v));
        } else {
            throw Failure(Error::unknown_option,
                          "result option '" + std::string(opt) +
                              "' (known: \"A\", \"MU\", \"T\", \"P\", \"H\", \"S\", \"V\", \"Y\", \"AE\", \"TC\")");
        }
    });
}

void PPSTUB_ECSHOW(eqcore_int* noerr) {
    entry(noerr, [&] { write_list(session(), settings_listing(session())); });
}

}  // extern "C"
