// The twelve mixture phase-property routines share one body: build the
// engine stream "THERMO" at the requested temperature and pressure, put into
// it the list components of the routine's phase kind (1000 mol per unit mole
// fraction, times MWFAC for liquids and solids), read the stream's extensive
// property and state it in the host's reference. A table row says what each
// routine differs in.
#include "mixture_properties.hpp"

#include <string>
#include <string_view>

#include "component_text.hpp"
#include "eqlink_blocks.hpp"
#include "map_lookup.hpp"
#include "messages.hpp"
#include "property_common.hpp"
#include "report.hpp"
#include "startup.hpp"

namespace eqlink {
namespace {

using namespace props;

constexpr std::string_view kThermo = "THERMO";

enum class Property { enthalpy, entropy, gibbs, volume };

struct MixtureRow {
    std::string_view name;
    ftn::Int kind;
    Property property;
    ftn::Int unmapped_number;  // message number of an unmapped component
    ftn::Int flag;             // seventh word of the host's error check
    bool names_component;      // the unmapped message quotes the component's ID
};

constexpr MixtureRow kCAHMXV{"CAHMXV", kVapour, Property::enthalpy, 25, 1, false};
constexpr MixtureRow kCASMXV{"CASMXV", kVapour, Property::entropy, 25, 1, false};
constexpr MixtureRow kCAGMXV{"CAGMXV", kVapour, Property::gibbs, 25, 1, false};
constexpr MixtureRow kCAVMXV{"CAVMXV", kVapour, Property::volume, 25, 1, false};
constexpr MixtureRow kCAHMXL{"CAHMXL", kLiquid, Property::enthalpy, 25, 1, false};
constexpr MixtureRow kCASMXL{"CASMXL", kLiquid, Property::entropy, 25, 1, false};
constexpr MixtureRow kCAGMXL{"CAGMXL", kLiquid, Property::gibbs, 25, 1, false};
constexpr MixtureRow kCAVMXL{"CAVMXL", kLiquid, Property::volume, 25, 1, false};
constexpr MixtureRow kCAHMXS{"CAHMXS", kSolid, Property::enthalpy, 25, 1, true};
constexpr MixtureRow kCASMXS{"CASMXS", kSolid, Property::entropy, 25, 1, false};
constexpr MixtureRow kCAGMXS{"CAGMXS", kSolid, Property::gibbs, 20, 0, false};
constexpr MixtureRow kCAVMXS{"CAVMXS", kSolid, Property::volume, 25, 1, false};

// Pressure and composition derivatives: those of an ideal gas for the
// vapour, zero for the condensed phases.
void fill_derivative_block(const MixtureRow& row, const Request& rq) {
    const ftn::Real R = gas_constant();
    const ftn::Real T = rq.TEMP;
    const ftn::Real P = rq.PRES;
    ftn::Real dp = 0.0;
    ftn::Real dx = 0.0;
    if (row.kind == kVapour) {
        switch (row.property) {
        case Property::enthalpy: break;
        case Property::entropy: dp = -R / P; break;
        case Property::gibbs: dp = R * T / P; dx = R / P; break;
        case Property::volume: dp = R * T / (P * P); dx = R / (P * P); break;
        }
    }
    if (rq.IREQ(3) == 1) rq.DPROP(1) = dp;
    if (rq.IREQ(4) != 0) {
        rq.DPROP(2) = dx;
        if (rq.IREQ(4) == 2) rq.DPROP(4) = 0.0;
    }
}

// The unmapped-component message; the solid enthalpy routine names the
// component by its host ID.
void report_unmapped_component(const MixtureRow& row, const Request& rq, ftn::Int component) {
    const RoutineId id(row.name);
    if (!row.names_component) {
        report_unmapped(id, row.unmapped_number, rq.MSGLEV, row.flag, UnmappedText::elvar_component);
        return;
    }
    std::string ident = "        ";
    if (component >= 1 && component <= ncomp()) ident = component_identifier(component);
    report(id, MessageKey{1, row.unmapped_number, rq.MSGLEV, row.flag},
           {message_line("Attempt to compute a physical property for the Elvar component \"" + ident + "\""),
            message_line("using the EQCORE Option Set.")});
}

// Enters the list components of the row's phase kind into "THERMO". Returns
// false after reporting a component without EQCORE counterpart or an amount
// the engine refused.
bool enter_components(const MixtureRow& row, const Request& rq) {
    for (ftn::Int i = 1; i <= rq.NLIST; ++i) {
        const ftn::Int component = rq.ICLIST(i);
        ftn::Int phase = 0;
        ftn::Int constituent = 0;
        const ftn::Int record = FNDMAP(component, phase, constituent);
        if (record == 0) {
            report_unmapped_component(row, rq, component);
            return false;
        }
        if (map_record(record).kind != row.kind) continue;
        ftn::Real amount = kMolPerKmol * rq.XMOL(i);
        if (row.kind != kVapour) amount *= mwfac(component);
        enter_constituent(phase, constituent);
        // A negative or non-finite mole fraction is refused by the engine:
        // report it rather than compute without that component.
        const ftn::Int noerr = add_amount(kThermo, phase, constituent, amount);
        if (noerr != 0) {
            report_engine_error(RoutineId(row.name), noerr, rq.MSGLEV, row.flag, 5);
            return false;
        }
    }
    return true;
}

// Reads one property of "THERMO"; reports a failed read (step `step`) so
// that no stale value is ever handed to the host.
bool read_property(const MixtureRow& row, const Request& rq, std::string_view name, int step,
                   ftn::Real& value) {
    const ftn::Int noerr = stream_property(kThermo, name, value);
    if (noerr == 0) return true;
    report_engine_error(RoutineId(row.name), noerr, rq.MSGLEV, row.flag, step);
    return false;
}

// Step 6: the value. Entropy is stated against the elements' entropy at
// 298.15 K; the Gibbs energy consistently with it, G + T Sref, so that
// G = H - T S holds in the host's reference too.
bool compute_value(const MixtureRow& row, const Request& rq) {
    static constexpr std::string_view kNames[] = {"H", "S", "G", "V"};
    ftn::Real value = 0.0;
    if (!read_property(row, rq, kNames[static_cast<int>(row.property)], 6, value)) return false;
    const ftn::Int* comps = rq.ICLIST.data();
    const ftn::Real* x = rq.XMOL.data();
    switch (row.property) {
    case Property::enthalpy:
    case Property::volume: rq.PROP(1) = value; break;
    case Property::entropy: rq.PROP(1) = SELSUB(value, rq.NLIST, comps, x); break;
    case Property::gibbs: rq.PROP(1) = value + rq.TEMP * SELADD(0.0, rq.NLIST, comps, x); break;
    }
    return true;
}

// Step 7: the temperature derivative. dH/dT = Cp, dS/dT = Cp/T,
// dG/dT = -(S - Sref), dV/dT = R/P for the ideal gas and 0 for condensed
// phases.
bool compute_derivative(const MixtureRow& row, const Request& rq) {
    const ftn::Int flag = rq.IREQ(2);
    const bool wanted = (row.property == Property::enthalpy || row.property == Property::entropy)
                            ? flag == 1
                            : flag != 0;
    if (!wanted) return true;
    ftn::Real value = 0.0;
    switch (row.property) {
    case Property::enthalpy:
        if (!read_property(row, rq, "Cp", 7, value)) return false;
        rq.PROP(2) = value;
        break;
    case Property::entropy:
        if (!read_property(row, rq, "Cp", 7, value)) return false;
        rq.PROP(2) = value / rq.TEMP;
        break;
    case Property::gibbs:
        if (!read_property(row, rq, "S", 7, value)) return false;
        rq.PROP(2) = -SELSUB(value, rq.NLIST, rq.ICLIST.data(), rq.XMOL.data());
        break;
    case Property::volume:
        rq.PROP(2) = row.kind == kVapour ? gas_constant() / rq.PRES : 0.0;
        if (flag == 2) rq.PROP(3) = 0.0;
        break;
    }
    return true;
}

void mixture_property(const MixtureRow& row, const Request& rq) {
    fill_derivative_block(row, rq);
    if (rq.IREQ(1) == 0 && rq.IREQ(2) == 0) return;
    if (!engine_started()) return;

    const ftn::Real tp[2] = {rq.TEMP, rq.PRES};
    remove_stream(kThermo);
    const ftn::Int noerr = define_stream(kThermo, tp);
    if (noerr != 0) {
        report_engine_error(RoutineId(row.name), noerr, rq.MSGLEV, row.flag, 2);
        return;
    }
    if (!enter_components(row, rq)) return;
    if (rq.IREQ(1) == 1 && !compute_value(row, rq)) return;
    if (!compute_derivative(row, rq)) return;
    remove_stream(kThermo);
}

void run(const MixtureRow& row, ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST,
         const ftn::Int* ICLIST, ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Real* PROP,
         ftn::Real* DPROP) {
    // One value: PROP(1..3), DPROP(1..4).
    mixture_property(row, make_request(TEMP, PRES, XMOL, NLIST, ICLIST, MSGLEV, IREQ, {PROP, 3},
                                       {DPROP, 4}));
}

}  // namespace

void CAHMXV(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
            ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Real* PROP, ftn::Real* DPROP) {
    run(kCAHMXV, TEMP, PRES, XMOL, NLIST, ICLIST, MSGLEV, IREQ, PROP, DPROP);
}
void CASMXV(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
            ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Real* PROP, ftn::Real* DPROP) {
    run(kCASMXV, TEMP, PRES, XMOL, NLIST, ICLIST, MSGLEV, IREQ, PROP, DPROP);
}
void CAGMXV(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
            ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Real* PROP, ftn::Real* DPROP) {
    run(kCAGMXV, TEMP, PRES, XMOL, NLIST, ICLIST, MSGLEV, IREQ, PROP, DPROP);
}
void CAVMXV(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
            ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Real* PROP, ftn::Real* DPROP) {
    run(kCAVMXV, TEMP, PRES, XMOL, NLIST, ICLIST, MSGLEV, IREQ, PROP, DPROP);
}
void CAHMXL(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
            ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Real* PROP, ftn::Real* DPROP) {
    run(kCAHMXL, TEMP, PRES, XMOL, NLIST, ICLIST, MSGLEV, IREQ, PROP, DPROP);
}
void CASMXL(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
            ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Real* PROP, ftn::Real* DPROP) {
    run(kCASMXL, TEMP, PRES, XMOL, NLIST, ICLIST, MSGLEV, IREQ, PROP, DPROP);
}
void CAGMXL(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
            ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Real* PROP, ftn::Real* DPROP) {
    run(kCAGMXL, TEMP, PRES, XMOL, NLIST, ICLIST, MSGLEV, IREQ, PROP, DPROP);
}
void CAVMXL(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
            ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Real* PROP, ftn::Real* DPROP) {
    run(kCAVMXL, TEMP, PRES, XMOL, NLIST, ICLIST, MSGLEV, IREQ, PROP, DPROP);
}
void CAHMXS(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
            ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Real* PROP, ftn::Real* DPROP) {
    run(kCAHMXS, TEMP, PRES, XMOL, NLIST, ICLIST, MSGLEV, IREQ, PROP, DPROP);
}
void CASMXS(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
            ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Real* PROP, ftn::Real* DPROP) {
    run(kCASMXS, TEMP, PRES, XMOL, NLIST, ICLIST, MSGLEV, IREQ, PROP, DPROP);
}
void CAGMXS(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
            ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Real* PROP, ftn::Real* DPROP) {
    run(kCAGMXS, TEMP, PRES, XMOL, NLIST, ICLIST, MSGLEV, IREQ, PROP, DPROP);
}
void CAVMXS(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
            ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Real* PROP, ftn::Real* DPROP) {
    run(kCAVMXS, TEMP, PRES, XMOL, NLIST, ICLIST, MSGLEV, IREQ, PROP, DPROP);
}

}  // namespace eqlink
