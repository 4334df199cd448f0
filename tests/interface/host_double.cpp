#include "host_double.hpp"

#include <cstring>

#include "host_services.hpp"

extern "C" {
ftn::Word DMS_GLOBAL[64];
ftn::Word DMS_IPOFF4[2];
ftn::Word DMS_PLEX[64];
char DMS_ERROUT[10][80];
char DMS_MAXWRT[20][80];

ftn::Int DMS_IRRCHK(const ftn::Word* id, const ftn::Int* severity, const ftn::Int* number,
                    const ftn::Int* level, const ftn::Int* imiss, const ftn::Int* zero,
                    const ftn::Int* flag, const ftn::Int* two) {
    std::string words(id[0].chars());
    words += id[1].chars();
    host_double::calls.irrchk.push_back({words, *severity, *number, *level, *imiss, *zero, *flag, *two});
    return host_double::calls.irrchk_answer;
}
void DMS_ERRPRT(const ftn::Int* nlines) { host_double::calls.errprt.push_back(*nlines); }
void DMS_WRTTRM(const ftn::Int* nlines) { host_double::calls.wrttrm.push_back(*nlines); }
}

namespace host_double {

Calls calls;

void reset(char sentinel) {
    calls = Calls{};
    std::memset(DMS_ERROUT, sentinel, sizeof DMS_ERROUT);
    std::memset(DMS_MAXWRT, sentinel, sizeof DMS_MAXWRT);
}

std::string errout_line(int i) { return std::string(DMS_ERROUT[i - 1], 80); }
std::string maxwrt_line(int i) { return std::string(DMS_MAXWRT[i - 1], 80); }

}  // namespace host_double
