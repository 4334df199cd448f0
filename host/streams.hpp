// Host stream vectors: a sequence of substreams of NCOMP + 9 words each
// (component flows, total flow, T, P, mass enthalpy, vapour and liquid
// fractions, mass entropy, mass density, mean molecular weight), with the
// substream table (first word and type of each) the flash and the block read.
#pragma once

#include <optional>
#include <vector>

#include "blocks.hpp"
#include "fortran.hpp"

namespace elvar {

enum class SubstreamType : ftn::Int { mixed = 1, cisolid = 2, noncon = 3 };

// Values of one substream. Unset quantities are the host's missing value;
// the total flow is the sum of the flows, the molecular weight their mean
// unless given.
struct SubstreamValues {
    std::vector<double> flows;  // kmol/s per host component; missing ones are 0
    double T = kRmiss, P = kRmiss;
    double h = kRmiss;          // J/kg
    double vfrac = kRmiss, lfrac = kRmiss;
    double s = kRmiss;          // J/kg-K
    double rho = kRmiss;        // kg/m3
    std::optional<double> mw;   // kg/kmol
    double total = 0.0;         // read back only
};

class StreamLayout {
public:
    StreamLayout(ftn::Int ncomp, std::vector<SubstreamType> types);

    ftn::Int ncomp() const { return ncomp_; }
    ftn::Int nsubs() const { return static_cast<ftn::Int>(types_.size()); }
    ftn::Int length() const { return nsubs() * (ncomp_ + 9); }
    // Word (from 1) where each substream begins, and each substream's type.
    const std::vector<ftn::Int>& positions() const { return positions_; }
    const std::vector<ftn::Int>& types() const { return types_; }
    // The stream descriptor: its first word is the stream vector's length.
    std::vector<ftn::Int> descriptor() const;

    // A stream vector with the given substreams (fewer values than
    // substreams leave the rest without flow).
    std::vector<double> make(const std::vector<SubstreamValues>& values) const;
    // Substream j (from 0) of a stream vector.
    SubstreamValues read(const std::vector<double>& stream, std::size_t j) const;

private:
    ftn::Int ncomp_;
    std::vector<ftn::Int> types_;
    std::vector<ftn::Int> positions_;
};

}  // namespace elvar
