#include "component_text.hpp"

#include "host_services.hpp"

namespace eqlink {

std::string component_identifier(ftn::Int component) {
    const ftn::Int at = DMS_IPOFF4[1].i() + 2 * component - 1;  // plex words, from 1
    std::string id;
    id.append(DMS_PLEX[at - 1].chars().substr(0, 4));
    id.append(DMS_PLEX[at].chars().substr(0, 4));
    return id;
}

}  // namespace eqlink
