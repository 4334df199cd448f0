// The fifteen pure-component routines share one body: a first pass defines
// one stream per list position and fills it with that component alone (or
// writes the default of a component of another phase kind), a second pass
// reads each stream's property and states it in the host's reference. A
// table row says what each routine differs in.
#include "pure_properties.hpp"

#include <string>
#include <string_view>

#include "eqlink_blocks.hpp"
#include "fortran_format.hpp"
#include "map_lookup.hpp"
#include "property_common.hpp"
#include "report.hpp"

namespace eqlink {
namespace {

using namespace props;

enum class Property { enthalpy, entropy, gibbs, volume, fugacity };

struct PureRow {
    std::string_view name;
    ftn::Int code;  // the monitor's property code, for the entry trace
    ftn::Int kind;
    Property property;
    ftn::Int unmapped_number;
    UnmappedText unmapped_text;
    ftn::Int flag;            // seventh word of the host's error check
    bool streams_of_kind_only;  // defines streams only for components of its kind
    bool traces_values;       // "xin" and value lines on the terminal
    bool traces_entry;        // a line naming the routine on entry
    bool always_computes;     // ignores the request flags and leaves DPROP alone
};

using T = UnmappedText;
constexpr PureRow kCAHV{"CAHV", 416, kVapour, Property::enthalpy, 20, T::elvar_component, 0, true, true, false, false};
constexpr PureRow kCASV{"CASV", 417, kVapour, Property::entropy, 25, T::elvar_component, 1, false, false, false, false};
constexpr PureRow kCAGV{"CAGV", 418, kVapour, Property::gibbs, 25, T::elvar_dotted, 1, false, false, false, false};
constexpr PureRow kCAVV{"CAVV", 419, kVapour, Property::volume, 25, T::elvar_component, 1, false, false, false, false};
constexpr PureRow kCAPHIV{"CAPHIV", 420, kVapour, Property::fugacity, 25, T::elvar_dotted, 1, false, false, false, true};
constexpr PureRow kCAHL{"CAHL", 421, kLiquid, Property::enthalpy, 25, T::elvar_dotted, 1, false, false, true, false};
constexpr PureRow kCASL{"CASL", 422, kLiquid, Property::entropy, 20, T::elvar_dotted, 1, false, false, false, false};
constexpr PureRow kCAGL{"CAGL", 423, kLiquid, Property::gibbs, 25, T::elvar_component, 1, false, false, false, false};
constexpr PureRow kCAVL{"CAVL", 424, kLiquid, Property::volume, 20, T::elvar_dotted, 1, false, false, false, false};
constexpr PureRow kCAPHIL{"CAPHIL", 425, kLiquid, Property::fugacity, 20, T::elvar_dotted, 1, false, false, false, false};
constexpr PureRow kCAHS{"CAHS", 426, kSolid, Property::enthalpy, 20, T::elvar_component, 0, true, false, false, false};
constexpr PureRow kCASS{"CASS", 427, kSolid, Property::entropy, 20, T::elvar_component, 1, false, false, false, false};
constexpr PureRow kCAGS{"CAGS", 428, kSolid, Property::gibbs, 25, T::elvar_dotted, 1, false, false, false, false};
constexpr PureRow kCAVS{"CAVS", 429, kSolid, Property::volume, 20, T::data_file, 1, false, false, false, false};
constexpr PureRow kCAPHIS{"CAPHIS", 430, kSolid, Property::fugacity, 25, T::elvar_dotted, 1, false, false, false, false};

// The stream of list position i: "st01" .. "st99", then "st100", "st101",
// ..., blank-padded to 24 characters.
ftn::Chars<24> stream_name(ftn::Int i) {
    ftn::Chars<24> name;
    name.assign(i < 10 ? "st0" + std::to_string(i) : "st" + std::to_string(i));
    return name;
}

// Pressure and composition derivatives: ideal-gas values for the vapour,
// zero for the condensed phases.
void fill_derivative_block(const PureRow& row, const Request& rq) {
    const ftn::Real R = gas_constant();
    const ftn::Real Tk = rq.TEMP;
    const ftn::Real P = rq.PRES;
    ftn::Real dp = 0.0;
    ftn::Real dx = 0.0;
    if (row.kind == kVapour) {
        switch (row.property) {
        case Property::enthalpy:
        case Property::fugacity: break;
        case Property::entropy: dp = -R / P; break;
        case Property::gibbs: dp = R * Tk / P; dx = R / P; break;
        case Property::volume: dp = R * Tk / (P * P); dx = -R / (P * P); break;
        }
    }
    for (ftn::Int i = 1; i <= rq.NLIST; ++i) {
        if (rq.IREQ(3) == 1) rq.DPROP(i) = dp;
        if (rq.IREQ(4) >= 1) {
            rq.DPROP(rq.NCOMP + i) = dx;
            if (rq.IREQ(4) == 2) rq.DPROP(3 * rq.NCOMP + i) = 0.0;
        }
    }
}

bool derivative_wanted(const PureRow& row, const Request& rq) {
    return row.property == Property::volume && row.kind == kVapour ? rq.IREQ(2) != 0 : rq.IREQ(2) == 1;
}

// First pass: every list position gets its stream (removed by name first,
// so no amount of an earlier call survives) holding its component, or the
// routine's default when the component is of another kind. False after a
// report.
bool fill_streams(const PureRow& row, const Request& rq, const ftn::Real (&tp)[2]) {
    const ftn::Real fallback = row.property == Property::fugacity ? kNoTerm : 0.0;
    for (ftn::Int i = 1; i <= rq.NLIST; ++i) {
        const ftn::Int component = rq.ICLIST(i);
        ftn::Int phase = 0;
        ftn::Int constituent = 0;
        const ftn::Int record = FNDMAP(component, phase, constituent);
        if (record == 0) {
            report_unmapped(RoutineId(row.name), row.unmapped_number, rq.MSGLEV, row.flag,
                            row.unmapped_text);
            return false;
        }
        const bool of_kind = map_record(record).kind == row.kind;
        if (of_kind || !row.streams_of_kind_only) {
            const ftn::Chars<24> stream = stream_name(i);
            remove_stream(stream.full());
            const ftn::Int noerr = define_stream(stream.full(), tp);
            if (noerr != 0) {
                report_engine_error(RoutineId(row.name), noerr, rq.MSGLEV, row.flag, 5);
                return false;
            }
        }
        if (of_kind) {
            const ftn::Real amount = kMolPerKmol * rq.XMOL(i);
            enter_constituent(phase, constituent);
            const ftn::Int noerr = add_amount(stream_name(i).full(), phase, constituent, amount);
            if (noerr != 0) {
                report_engine_error(RoutineId(row.name), noerr, rq.MSGLEV, row.flag, 5);
                return false;
            }
            if (row.traces_values && tracing())
                trace({"xin " + fmt90::I(i, 4) + " " + fmt90::I(component, 4) + " " +
                       fmt90::F(amount, 10, 5)});
        } else {
            if (rq.IREQ(1) == 1) rq.PROP(i) = fallback;
            if (rq.IREQ(2) == 1) rq.PROP(rq.NCOMP + i) = 0.0;
        }
    }
    return true;
}

// Reads one property of a stream; a failed read is reported so that no
// stale value reaches the host.
bool read(const PureRow& row, const Request& rq, const ftn::Chars<24>& stream, std::string_view name,
          ftn::Real& value) {
    const ftn::Int noerr = stream_property(stream.full(), name, value);
    if (noerr == 0) return true;
    report_engine_error(RoutineId(row.name), noerr, rq.MSGLEV, row.flag, 6);
    return false;
}

// The value of list position i in the host's reference: S - Sref for the
// entropy, G + T Sref for the Gibbs energy (so that G = H - T S holds there
// too), and that divided by R T for the fugacity term.
bool compute_value(const PureRow& row, const Request& rq, ftn::Int i, const ftn::Chars<24>& stream) {
    const ftn::Real Tk = rq.TEMP;
    ftn::Real v = 0.0;
    switch (row.property) {
    case Property::enthalpy:
        if (!read(row, rq, stream, "H", v)) return false;
        rq.PROP(i) = v;
        if (row.traces_values) trace({std::string(row.name) + " " + fmt90::I(i, 4) + fmt90::F(v, 10, 2)});
        break;
    case Property::entropy:
        if (!read(row, rq, stream, "S", v)) return false;
        rq.PROP(i) = v - element_entropy(rq.ICLIST(i));
        break;
    case Property::gibbs:
        if (!read(row, rq, stream, "G", v)) return false;
        rq.PROP(i) = v + Tk * element_entropy(rq.ICLIST(i));
        break;
    case Property::volume:
        if (!read(row, rq, stream, "V", v)) return false;
        rq.PROP(i) = v;
        break;
    case Property::fugacity:
        if (!read(row, rq, stream, "G", v)) return false;
        rq.PROP(i) = (v + Tk * element_entropy(rq.ICLIST(i))) / (gas_constant() * Tk);
        break;
    }
    return true;
}

// Its temperature derivative: Cp, Cp / T, -(S - Sref), R / P (vapour
// volume; 0 for condensed volumes), and -H / (R T^2) for the fugacity term.
bool compute_derivative(const PureRow& row, const Request& rq, ftn::Int i, const ftn::Chars<24>& stream) {
    const ftn::Real Tk = rq.TEMP;
    const ftn::Array1<ftn::Real>& slot = rq.PROP;
    const ftn::Int at = rq.NCOMP + i;
    ftn::Real v = 0.0;
    switch (row.property) {
    case Property::enthalpy:
        if (!read(row, rq, stream, "Cp", v)) return false;
        slot(at) = v;
        break;
    case Property::entropy:
        if (!read(row, rq, stream, "Cp", v)) return false;
        slot(at) = v / Tk;
        break;
    case Property::gibbs:
        if (!read(row, rq, stream, "S", v)) return false;
        slot(at) = -(v - element_entropy(rq.ICLIST(i)));
        break;
    case Property::volume:
        slot(at) = row.kind == kVapour ? gas_constant() / rq.PRES : 0.0;
        if (row.kind == kVapour && rq.IREQ(2) == 2) slot(2 * rq.NCOMP + i) = 0.0;
        break;
    case Property::fugacity:
        if (!read(row, rq, stream, "H", v)) return false;
        slot(at) = -v / (gas_constant() * Tk * Tk);
        break;
    }
    return true;
}

// Second pass: the values of the components of the routine's kind.
bool read_values(const PureRow& row, const Request& rq) {
    for (ftn::Int i = 1; i <= rq.NLIST; ++i) {
        ftn::Int phase = 0;
        ftn::Int constituent = 0;
        const ftn::Int record = FNDMAP(rq.ICLIST(i), phase, constituent);
        if (record == 0 || map_record(record).kind != row.kind) continue;
        const ftn::Chars<24> stream = stream_name(i);
        if (rq.IREQ(1) == 1 && !compute_value(row, rq, i, stream)) return false;
        if (derivative_wanted(row, rq) && !compute_derivative(row, rq, i, stream)) return false;
    }
    return true;
}

void pure_property(const PureRow& row, const Request& rq) {
    if (row.traces_entry) trace({std::string(row.name) + ": property code" + fmt90::I(row.code, 5)});
    if (!row.always_computes) {
        fill_derivative_block(row, rq);
        if (rq.IREQ(1) == 0 && rq.IREQ(2) == 0) return;
    }
    if (!engine_started()) return;

    const ftn::Real tp[2] = {rq.TEMP, rq.PRES};
    if (rq.NLIST >= 1 && fill_streams(row, rq, tp)) read_values(row, rq);
    remove_all_streams();
}

void run(const PureRow& row, ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST,
         const ftn::Int* ICLIST, ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Int LPROP, ftn::Int LDPROP,
         ftn::Real* PROP, ftn::Real* DPROP) {
    const auto len = [](ftn::Int n) { return n > 0 ? static_cast<ftn::Len>(n) : ftn::Len{0}; };
    pure_property(row, make_request(TEMP, PRES, XMOL, NLIST, ICLIST, MSGLEV, IREQ, {PROP, len(LPROP)},
                                    {DPROP, len(LDPROP)}));
}

}  // namespace

void CAHV(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
          ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Int LPROP, ftn::Int LDPROP, ftn::Real* PROP,
          ftn::Real* DPROP) {
    run(kCAHV, TEMP, PRES, XMOL, NLIST, ICLIST, MSGLEV, IREQ, LPROP, LDPROP, PROP, DPROP);
}
void CASV(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
          ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Int LPROP, ftn::Int LDPROP, ftn::Real* PROP,
          ftn::Real* DPROP) {
    run(kCASV, TEMP, PRES, XMOL, NLIST, ICLIST, MSGLEV, IREQ, LPROP, LDPROP, PROP, DPROP);
}
void CAGV(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
          ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Int LPROP, ftn::Int LDPROP, ftn::Real* PROP,
          ftn::Real* DPROP) {
    run(kCAGV, TEMP, PRES, XMOL, NLIST, ICLIST, MSGLEV, IREQ, LPROP, LDPROP, PROP, DPROP);
}
void CAVV(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
          ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Int LPROP, ftn::Int LDPROP, ftn::Real* PROP,
          ftn::Real* DPROP) {
    run(kCAVV, TEMP, PRES, XMOL, NLIST, ICLIST, MSGLEV, IREQ, LPROP, LDPROP, PROP, DPROP);
}
void CAPHIV(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
            ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Int LPROP, ftn::Int LDPROP, ftn::Real* PROP,
            ftn::Real* DPROP) {
    run(kCAPHIV, TEMP, PRES, XMOL, NLIST, ICLIST, MSGLEV, IREQ, LPROP, LDPROP, PROP, DPROP);
}
void CAHL(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
          ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Int LPROP, ftn::Int LDPROP, ftn::Real* PROP,
          ftn::Real* DPROP) {
    run(kCAHL, TEMP, PRES, XMOL, NLIST, ICLIST, MSGLEV, IREQ, LPROP, LDPROP, PROP, DPROP);
}
void CASL(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
          ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Int LPROP, ftn::Int LDPROP, ftn::Real* PROP,
          ftn::Real* DPROP) {
    run(kCASL, TEMP, PRES, XMOL, NLIST, ICLIST, MSGLEV, IREQ, LPROP, LDPROP, PROP, DPROP);
}
void CAGL(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
          ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Int LPROP, ftn::Int LDPROP, ftn::Real* PROP,
          ftn::Real* DPROP) {
    run(kCAGL, TEMP, PRES, XMOL, NLIST, ICLIST, MSGLEV, IREQ, LPROP, LDPROP, PROP, DPROP);
}
void CAVL(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
          ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Int LPROP, ftn::Int LDPROP, ftn::Real* PROP,
          ftn::Real* DPROP) {
    run(kCAVL, TEMP, PRES, XMOL, NLIST, ICLIST, MSGLEV, IREQ, LPROP, LDPROP, PROP, DPROP);
}
void CAPHIL(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
            ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Int LPROP, ftn::Int LDPROP, ftn::Real* PROP,
            ftn::Real* DPROP) {
    run(kCAPHIL, TEMP, PRES, XMOL, NLIST, ICLIST, MSGLEV, IREQ, LPROP, LDPROP, PROP, DPROP);
}
void CAHS(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
          ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Int LPROP, ftn::Int LDPROP, ftn::Real* PROP,
          ftn::Real* DPROP) {
    run(kCAHS, TEMP, PRES, XMOL, NLIST, ICLIST, MSGLEV, IREQ, LPROP, LDPROP, PROP, DPROP);
}
void CASS(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
          ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Int LPROP, ftn::Int LDPROP, ftn::Real* PROP,
          ftn::Real* DPROP) {
    run(kCASS, TEMP, PRES, XMOL, NLIST, ICLIST, MSGLEV, IREQ, LPROP, LDPROP, PROP, DPROP);
}
void CAGS(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
          ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Int LPROP, ftn::Int LDPROP, ftn::Real* PROP,
          ftn::Real* DPROP) {
    run(kCAGS, TEMP, PRES, XMOL, NLIST, ICLIST, MSGLEV, IREQ, LPROP, LDPROP, PROP, DPROP);
}
void CAVS(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
          ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Int LPROP, ftn::Int LDPROP, ftn::Real* PROP,
          ftn::Real* DPROP) {
    run(kCAVS, TEMP, PRES, XMOL, NLIST, ICLIST, MSGLEV, IREQ, LPROP, LDPROP, PROP, DPROP);
}
void CAPHIS(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
            ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Int LPROP, ftn::Int LDPROP, ftn::Real* PROP,
            ftn::Real* DPROP) {
    run(kCAPHIS, TEMP, PRES, XMOL, NLIST, ICLIST, MSGLEV, IREQ, LPROP, LDPROP, PROP, DPROP);
}

}  // namespace eqlink
