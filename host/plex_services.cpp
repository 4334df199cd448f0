// DMS_LOCATI and DMS_IFCMNC: the plug-in's two ways into the plex.
#include <algorithm>
#include <string>

#include "blocks.hpp"
#include "plex.hpp"

extern "C" ftn::Int DMS_LOCATI(const ftn::Int* record) { return elvar::locate_record(*record); }

// The parameter's name is text(1:length) without trailing blanks.
extern "C" ftn::Int DMS_IFCMNC(const char* name, const ftn::Int* length, ftn::Len name_len) {
    const ftn::Len n = *length <= 0 ? 0 : std::min(static_cast<ftn::Len>(*length), name_len);
    return elvar::parameter_location(ftn::trim_right({name, n}));
}
