// EQLINK_CHKOPT: whether an option set is the "EQCORE" option set or one
// derived from it. The option set's record begins with its 16-character name
// in two words of 8 characters. Derived option sets are found in the host's
// list of option-set definitions (its identifier in word L(2) + 124): each
// definition d holds n rows of five words from word L(d) + 5r - 1 on, the
// first two the name of an option set and the next two the name of the
// option set it is based on.
#include "host_components.hpp"
#include "host_services.hpp"
#include "startup.hpp"

namespace {

constexpr std::string_view kEqcore = "EQCORE  ";
constexpr std::string_view kBlanks = "        ";

bool is_eqcore(const ftn::Word& first, const ftn::Word& second) {
    return first.chars() == kEqcore && second.chars() == kBlanks;
}

bool derived_from_eqcore(ftn::Int option_set) {
    using eqlink::locate;
    using eqlink::plex_word;
    const ftn::Int imiss = DMS_GLOBAL[7].i();
    const ftn::Int list = plex_word(locate(2) + 124).i();
    if (list == 0) return false;
    const ftn::Int l_list = locate(list);
    const ftn::Int m = plex_word(l_list).i();
    for (ftn::Int e = 1; e <= m && m < imiss; ++e) {
        const ftn::Int d = plex_word(l_list + e).i();
        if (d == 0) continue;
        const ftn::Int ld = locate(d);
        const ftn::Int n = plex_word(ld).i();
        if (n <= 0 || n >= imiss) continue;
        for (ftn::Int r = 1; r <= n; ++r) {
            const ftn::Int row = ld + 5 * r - 1;
            if (plex_word(row).chars() == plex_word(option_set).chars() &&
                plex_word(row + 1).chars() == plex_word(option_set + 1).chars() &&
                is_eqcore(plex_word(row + 2), plex_word(row + 3)))
                return true;
        }
    }
    return false;
}

}  // namespace

extern "C" void EQLINK_CHKOPT(const ftn::Int* idopt, ftn::Int* flag) noexcept {
    *flag = 0;
    if (*idopt == 0) return;
    const ftn::Int option_set = eqlink::locate(*idopt);
    if (is_eqcore(eqlink::plex_word(option_set), eqlink::plex_word(option_set + 1)) ||
        derived_from_eqcore(option_set))
        *flag = 1;
}
