// Host component names and IDs. The names are reached through the host's
// component records: with G the location of record 2, the name table starts
// at C = L(word(L(word(G + 199)) + 28)) and the entry numbers at
// D = L(word(G + 20)); component i has entry e = word(D + 6i) and its name in
// the eight 4-character words C + 8(e - 1) ... C + 8(e - 1) + 7. IDs are the
// per-component parameter "IDSCC", two 4-character words per component.
#include "host_components.hpp"

#include <string>

#include "host_services.hpp"

namespace eqlink {

const ftn::Word& plex_word(ftn::Int w) {
    return DMS_PLEX[w - 1];
}

ftn::Int locate(ftn::Int record) {
    return DMS_LOCATI(&record);
}

ftn::Int host_component_count() {
    return DMS_NCOMP[0].i();
}

ftn::Chars<32> host_component_name(ftn::Int i) {
    const ftn::Int g = locate(2);
    const ftn::Int c = locate(plex_word(locate(plex_word(g + 199).i()) + 28).i());
    const ftn::Int d = locate(plex_word(g + 20).i());
    const ftn::Int e = plex_word(d + 6 * i).i();
    std::string text;
    ftn::get_text(&plex_word(c + 8 * (e - 1)), 8, 4, text);
    ftn::Chars<32> name;
    name.assign(text);
    return name;
}

ftn::Chars<8> host_component_id(ftn::Int i) {
    static constexpr char kIdscc[] = "IDSCC";
    const ftn::Int length = 5;
    const ftn::Int loc = DMS_IFCMNC(kIdscc, &length, 5);
    std::string text;
    ftn::get_text(&plex_word(loc + 2 * i - 1), 2, 4, text);
    ftn::Chars<8> id;
    id.assign(text);
    return id;
}

}  // namespace eqlink
