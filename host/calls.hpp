// Argument storage for the plug-in's flash and block entry points, built
// from a stream layout. The caller passes the members by address, in the
// entry point's order; arguments the entry point does not read point into
// `spare`.
#pragma once

#include <array>
#include <vector>

#include "fortran.hpp"
#include "streams.hpp"

namespace elvar {

// EQLINK_CAFLSH: STRVEC, NSUBS, LPB, ITYPE, IDS, KODE, NPKODE, KPHASE,
// RFCTL, TOL, KDIAG, KPDIAG, three unused, KER.
struct FlashArgs {
    FlashArgs(const StreamLayout& layout, std::vector<double> stream);

    std::vector<double> strvec;
    ftn::Int nsubs = 0;
    std::vector<ftn::Int> lpb, itype;
    std::array<ftn::Int, 3> ids{};  // word 3: the chemistry identifier, 0 for none
    ftn::Int kode = 2;              // 1 PQ, 2 TP
    ftn::Int npkode = 2;
    ftn::Int kphase = 1;
    ftn::Int rfctl = 0;
    ftn::Real tol = 1.0e-6;
    ftn::Int kdiag = 4;
    ftn::Int kpdiag = 4;
    std::array<ftn::Int, 8> spare{};
    ftn::Int ker = 0;
};

// EQLINK_CATOP's 31 arguments.
struct BlockArgs {
    // Inlets and outlets share the layout; rpar gets at least four words and
    // ipar its given words (nipar counts only those).
    BlockArgs(const StreamLayout& layout, const std::vector<std::vector<double>>& inlets,
              ftn::Int outlets, std::vector<double> heat_in, ftn::Int heat_outlets,
              std::vector<ftn::Int> ipar, std::vector<double> rpar, ftn::Int optset);

    ftn::Int ninlet = 0;
    std::vector<double> sinlet;
    ftn::Int nhtin = 0;
    std::vector<double> htin;
    ftn::Int noutlt = 0;
    std::vector<double> soutlt;
    ftn::Int nhtout = 0;
    std::vector<double> htout;
    ftn::Int lstrm = 0;
    ftn::Int nsub = 0;
    std::vector<ftn::Int> subpos, subtyp;
    ftn::Int nipar = 0;
    std::vector<ftn::Int> ipar;
    ftn::Int nrpar = 0;
    std::vector<double> rpar;
    ftn::Int optset = 0;
    std::vector<ftn::Int> strdsc;
    std::array<ftn::Int, 16> spare{};  // for the arguments the block does not read

    // Outlet m (from 0) as a stream vector.
    std::vector<double> outlet(std::size_t m) const;
};

}  // namespace elvar
