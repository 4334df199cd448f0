// Entry points for streams: define, add amounts, properties as they enter,
// remove. Values in the units in force; amounts in a mass unit go through
// the constituent's molar mass.
#include "abi/entry.hpp"
#include "abi/words.hpp"
#include "eqcore/eqcore.h"

using namespace eqcore;
using namespace eqcore::abi;

extern "C" {

void PPSTUB_ECSTDF(const char* stream, const eqcore_real* tp, eqcore_int* noerr, eqcore_len stream_len) {
    entry(noerr, [&] {
        Session& s = session();
        ref(tp, "tp");
        s.define_stream(text(stream, stream_len, "stream"), s.units().temperature_to_si(tp[0]),
                        s.units().pressure_to_si(tp[1]));
    });
}

void PPSTUB_ECSTAM(const char* stream, const eqcore_int* phase, const eqcore_int* constituent, const eqcore_real* amount,
                   eqcore_int* noerr, eqcore_len stream_len) {
    entry(noerr, [&] {
        Session& s = session();
        const int p = s.phase_from_number(ref(phase, "phase"));
        const int c = s.constituent_from_number(p, ref(constituent, "constituent"));
        const Units& u = s.units();
        const double molar_mass = u.amount_is_mass() ? s.molar_mass(p, c) : 1.0;
        s.add_amount(text(stream, stream_len, "stream"), p, c, u.amount_to_mol(ref(amount, "amount"), molar_mass));
    });
}

void PPSTUB_ECSTPR(const char* stream, const char* property, eqcore_real* value, eqcore_int* noerr, eqcore_len stream_len,
                   eqcore_len property_len) {
    entry(noerr, [&] {
        const Session& s = session();
        const StreamProperty what = property_word(text(property, property_len, "property"));
        eqcore_real& out = ref(value, "value");
        const double si = s.stream_property(text(stream, stream_len, "stream"), what);
        const Units& u = s.units();
        switch (what) {
            case StreamProperty::H:
            case StreamProperty::G: out = u.energy_from_si(si); break;
            case StreamProperty::S:
            case StreamProperty::Cp: out = u.entropy_from_si(si); break;
            case StreamProperty::V: out = u.volume_from_si(si); break;
        }
    });
}

void PPSTUB_ECSTDL(const char* stream, eqcore_int* noerr, eqcore_len stream_len) {
    entry(noerr, [&] { session().remove_stream(text(stream, stream_len, "stream")); });
}

}  // extern "C"
