// Text services: length without trailing blanks, upper-casing in place, and
// the installation's top directory.
#include <algorithm>
#include <cstdlib>

#include "blocks.hpp"
#include "examples_dir.hpp"

namespace {
// The characters of text(1:length) that lie within the caller's field.
ftn::Len usable(const ftn::Int* length, ftn::Len field_len) {
    if (*length <= 0) return 0;
    return std::min(static_cast<ftn::Len>(*length), field_len);
}
}  // namespace

extern "C" ftn::Int DMS_STRLEN(const char* text, const ftn::Int* length, ftn::Len text_len) {
    return static_cast<ftn::Int>(ftn::trim_right({text, usable(length, text_len)}).size());
}

extern "C" void DMS_STRUPR(char* text, const ftn::Int* length, ftn::Len text_len) {
    const ftn::Len n = usable(length, text_len);
    for (ftn::Len i = 0; i < n; ++i)
        if (text[i] >= 'a' && text[i] <= 'z') text[i] = static_cast<char>(text[i] - 'a' + 'A');
}

// ELVAR_SYSTOP when set, else the directory the project keeps its data in.
extern "C" void DMS_GETELRSYSTOP(char* field, ftn::Len field_len) {
    const char* env = std::getenv("ELVAR_SYSTOP");
    if (env != nullptr && *env != '\0') ftn::fill(field, field_len, env);
    else ftn::fill(field, field_len, elvar::examples_dir());
}
