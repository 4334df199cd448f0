// The host's shared blocks, as extern "C" arrays of 8-byte words.
#include "blocks.hpp"

#include <cstring>
#include <stdexcept>
#include <string>

extern "C" {
ftn::Word DMS_EQLINK[elvar::kEqlinkWords];
ftn::Word DMS_NCOMP[elvar::kNcompWords];
ftn::Word DMS_GLOBAL[elvar::kGlobalWords];
ftn::Word DMS_RGLOB[elvar::kRglobWords];
ftn::Word DMS_IPOFF4[elvar::kIpoff4Words];
ftn::Word DMS_STWKWK[elvar::kStwkwkWords];
ftn::Word SHS_STWORK[elvar::kStworkWords];
ftn::Word ZMTH_PPSCLR[elvar::kPpsclrWords];
ftn::Word PPUTL_PPGLOB[elvar::kPpglobWords];
ftn::Word PPEXEC_USER[elvar::kUserWords];
ftn::Word DMS_PLEX[elvar::kPlexWords];
char DMS_ERROUT[elvar::kErroutLines][elvar::kLineChars];
char DMS_MAXWRT[elvar::kMaxwrtLines][elvar::kLineChars];
}

namespace elvar {

ftn::Word& plex(ftn::Int n) {
    if (n < 1 || static_cast<std::size_t>(n) > kPlexWords)
        throw std::out_of_range("plex word " + std::to_string(n) + " outside 1.." +
                                std::to_string(kPlexWords));
    return DMS_PLEX[n - 1];
}

namespace {
template <std::size_t N>
void clear(ftn::Word (&block)[N]) {
    std::memset(block, 0, sizeof block);
}
}  // namespace

void reset_blocks() {
    clear(DMS_EQLINK);
    clear(DMS_NCOMP);
    clear(DMS_GLOBAL);
    clear(DMS_RGLOB);
    clear(DMS_IPOFF4);
    clear(DMS_STWKWK);
    clear(SHS_STWORK);
    clear(ZMTH_PPSCLR);
    clear(PPUTL_PPGLOB);
    clear(PPEXEC_USER);
    clear(DMS_PLEX);
    std::memset(DMS_ERROUT, ' ', sizeof DMS_ERROUT);
    std::memset(DMS_MAXWRT, ' ', sizeof DMS_MAXWRT);

    word(DMS_EQLINK, 1).set_i(ftn::kFalse);
    word(DMS_GLOBAL, 5).set_i4(kDefaultReportUnit);
    word(DMS_GLOBAL, 8).set_i(kMissingInteger);
    word(DMS_GLOBAL, 18).set_i(kDefaultDiagnosticLevel);
    word(DMS_GLOBAL, 27).set_chars("");
    word(DMS_GLOBAL, 28).set_chars("");
    word(DMS_RGLOB, 1).set_r(kRmiss);
    word(DMS_RGLOB, 5).set_r(kSmallestFlow);
    word(DMS_RGLOB, 13).set_r(kRootXTolerance);
    word(DMS_RGLOB, 14).set_r(kRootIterationLimit);
    word(PPUTL_PPGLOB, 3).set_r(kGasConstant);
    word(PPEXEC_USER, 7).set_i(kDefaultDiagnosticLevel);
}

}  // namespace elvar
