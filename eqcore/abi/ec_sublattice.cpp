// Entry points that inquire about the sublattices of a phase and about the
// elements of the loaded system. Numbers count from 1.
#include "abi/entry.hpp"
#include "eqcore/eqcore.h"

using namespace eqcore;
using namespace eqcore::abi;

namespace {

// The species of each sublattice of a phase: a phase with sublattices, a
// quasichemical liquid (its cations, then its anions) and an ionic liquid
// (its cations, then its anions, vacancy and neutrals); none for any other.
// The order is the order of the site fractions ECRES "Y " gives.
std::vector<std::vector<std::string>> lattice_names(const Session& s, const eqcore_int* phase) {
    const Phase& ph = s.system().phases[static_cast<std::size_t>(s.phase_from_number(ref(phase, "phase")))];
    if (ph.quasichem) return {ph.quasichem->cation, ph.quasichem->anion};
    if (ph.ionic) return {ph.ionic->cation, ph.ionic->site2};
    return ph.sublattice.names;
}

// 0-based sublattice of a 1-based number.
std::size_t lattice(const std::vector<std::vector<std::string>>& names, const eqcore_int* sublattice) {
    const eqcore_int n = ref(sublattice, "sublattice");
    const auto count = static_cast<eqcore_int>(names.size());
    if (n < 1 || n > count)
        throw Failure(Error::sublattice_out_of_range,
                      "sublattice " + std::to_string(n) + " (the phase has " + std::to_string(count) + ")");
    return static_cast<std::size_t>(n - 1);
}

}  // namespace

extern "C" {

void PPSTUB_ECNSL(const eqcore_int* phase, eqcore_int* count, eqcore_int* noerr) {
    entry(noerr, [&] { ref(count, "count") = static_cast<eqcore_int>(lattice_names(session(), phase).size()); });
}

void PPSTUB_ECNSC(const eqcore_int* phase, const eqcore_int* sublattice, eqcore_int* count, eqcore_int* noerr) {
    entry(noerr, [&] {
        const auto sl = lattice_names(session(), phase);
        ref(count, "count") = static_cast<eqcore_int>(sl[lattice(sl, sublattice)].size());
    });
}

void PPSTUB_ECSCN(const eqcore_int* phase, const eqcore_int* sublattice, const eqcore_int* k, char* name,
                  eqcore_int* noerr, eqcore_len name_len) {
    entry(noerr, [&] {
        const auto sl = lattice_names(session(), phase);
        const std::vector<std::string>& names = sl[lattice(sl, sublattice)];
        const eqcore_int n = ref(k, "k");
        if (n < 1 || n > static_cast<eqcore_int>(names.size()))
            throw Failure(Error::constituent_out_of_range, "constituent " + std::to_string(n) + " of the sublattice (it has " +
                                                               std::to_string(names.size()) + ")");
        put(name, name_len, names[static_cast<std::size_t>(n - 1)], "name");
    });
}

void PPSTUB_ECNEL(eqcore_int* count, eqcore_int* noerr) {
    entry(noerr, [&] { ref(count, "count") = session().system().element_count(); });
}

void PPSTUB_ECENM(const eqcore_int* element, char* name, eqcore_int* noerr, eqcore_len name_len) {
    entry(noerr, [&] {
        const System& sys = session().system();
        const eqcore_int n = ref(element, "element");
        if (n < 1 || n > sys.element_count())
            throw Failure(Error::element_out_of_range, "element " + std::to_string(n) + " (the system has " +
                                                           std::to_string(sys.element_count()) + ")");
        put(name, name_len, sys.elements[static_cast<std::size_t>(n - 1)].symbol, "name");
    });
}

}  // extern "C"
