// Stream services: packing a substream, the stream vector's length and the
// mean molecular weight.
#include <cmath>

#include "blocks.hpp"
#include "plex.hpp"

namespace {

ftn::Int ncomp() { return elvar::word(DMS_NCOMP, 1).i(); }

// Molecular weight of host component k, 0 outside 1..NCOMP.
double mw_of(ftn::Int k) {
    const ftn::Int at = elvar::parameter_location("MW");
    if (at == 0 || k < 1 || k > ncomp()) return 0.0;
    return elvar::plex(at + k).r();
}

}  // namespace

// Components with a positive flow, in host order: their indices, their mole
// fractions and the total of their flows. Nothing flows: count 0, flow 0.
extern "C" void SHS_CPACK(const ftn::Real* substream, ftn::Int* count, ftn::Int* idx, ftn::Real* x,
                          ftn::Real* flow) {
    const ftn::Int n = ncomp();
    ftn::Int packed = 0;
    double total = 0.0;
    for (ftn::Int k = 1; k <= n; ++k) {
        const double f = substream[k - 1];
        if (f > 0.0 && std::isfinite(f)) {
            idx[packed] = k;
            x[packed] = f;
            total += f;
            ++packed;
        }
    }
    for (ftn::Int j = 0; j < packed; ++j) x[j] /= total;
    *count = packed;
    *flow = total;
}

// The stream descriptor's first word is the stream vector's length, which
// is the position of its last word.
extern "C" ftn::Int SHS_NSVAR(const ftn::Int* descriptor) { return descriptor[0]; }

extern "C" ftn::Real PPUTL_AVEMW(const ftn::Int* n, const ftn::Int* idx, const ftn::Real* x) {
    double mw = 0.0;
    for (ftn::Int i = 0; i < *n; ++i) mw += x[i] * mw_of(idx[i]);
    return mw;
}
