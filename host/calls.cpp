#include "calls.hpp"

#include <algorithm>

#include "setup_error.hpp"

namespace elvar {

FlashArgs::FlashArgs(const StreamLayout& layout, std::vector<double> stream)
    : strvec(std::move(stream)), nsubs(layout.nsubs()), lpb(layout.positions()),
      itype(layout.types()) {
    if (strvec.size() < static_cast<std::size_t>(layout.length()))
        throw SetupError("flash stream vector of " + std::to_string(strvec.size()) +
                         " words for a layout of " + std::to_string(layout.length()));
}

BlockArgs::BlockArgs(const StreamLayout& layout, const std::vector<std::vector<double>>& inlets,
                     ftn::Int outlets, std::vector<double> heat_in, ftn::Int heat_outlets,
                     std::vector<ftn::Int> ipar_, std::vector<double> rpar_, ftn::Int optset_)
    : ninlet(static_cast<ftn::Int>(inlets.size())),
      nhtin(static_cast<ftn::Int>(heat_in.size())),
      htin(std::move(heat_in)),
      noutlt(outlets),
      nhtout(heat_outlets),
      lstrm(layout.length()),
      nsub(layout.nsubs()),
      subpos(layout.positions()),
      subtyp(layout.types()),
      nipar(static_cast<ftn::Int>(ipar_.size())),
      ipar(std::move(ipar_)),
      nrpar(static_cast<ftn::Int>(rpar_.size())),
      rpar(std::move(rpar_)),
      optset(optset_),
      strdsc(layout.descriptor()) {
    if (outlets < 1) throw SetupError("a block needs at least one outlet stream");
    if (heat_outlets < 0) throw SetupError("negative number of outlet heat streams");
    const auto len = static_cast<std::size_t>(lstrm);
    for (std::size_t m = 0; m < inlets.size(); ++m) {
        if (inlets[m].size() != len)
            throw SetupError("inlet " + std::to_string(m + 1) + " has " +
                             std::to_string(inlets[m].size()) + " words, the layout " +
                             std::to_string(len));
        sinlet.insert(sinlet.end(), inlets[m].begin(), inlets[m].end());
    }
    // Every array has room for what the block may touch, and at least one word.
    if (sinlet.empty()) sinlet.push_back(0.0);
    soutlt.assign(static_cast<std::size_t>(outlets) * len, 0.0);
    if (htin.empty()) htin.push_back(0.0);
    htout.assign(static_cast<std::size_t>(std::max<ftn::Int>(heat_outlets, 1)), 0.0);
    if (ipar.size() < 4) ipar.resize(4, 0);
    if (rpar.size() < 4) rpar.resize(4, 0.0);
}

std::vector<double> BlockArgs::outlet(std::size_t m) const {
    const auto len = static_cast<std::size_t>(lstrm);
    if (m >= static_cast<std::size_t>(noutlt)) throw SetupError("no outlet " + std::to_string(m + 1));
    return {soutlt.begin() + static_cast<std::ptrdiff_t>(m * len),
            soutlt.begin() + static_cast<std::ptrdiff_t>((m + 1) * len)};
}

}  // namespace elvar
