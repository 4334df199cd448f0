// The registry of host routines callable by (module, routine) name.
#include "callable.hpp"

#include <array>
#include <string_view>

#include "host_services.hpp"
#include "plex.hpp"

namespace {

using Args = std::array<void*, 20>;

void call_chminf(const Args& a) {
    FLSH_CHMINF(static_cast<const ftn::Int*>(a[0]), static_cast<ftn::Int*>(a[1]),
                static_cast<ftn::Int*>(a[2]), static_cast<ftn::Int*>(a[3]),
                static_cast<ftn::Int*>(a[4]), static_cast<ftn::Int*>(a[5]),
                static_cast<ftn::Int*>(a[6]), static_cast<ftn::Int*>(a[7]),
                static_cast<ftn::Int*>(a[8]), static_cast<ftn::Int*>(a[9]),
                static_cast<ftn::Int*>(a[10]), static_cast<ftn::Int*>(a[11]), a[12], a[13], a[14],
                a[15], a[16], a[17], a[18], a[19]);
}

struct Entry {
    std::string_view module;
    std::string_view routine;
    void (*call)(const Args&);
};

// Handle k (from 1) is entry k.
constexpr std::array<Entry, 1> kRegistry{{
    {"PPFLASH", "FLSH_CHMINF", call_chminf},
}};

}  // namespace

extern "C" void FLSH_CHMINF(const ftn::Int* idchem, ftn::Int* r1, ftn::Int* r2, ftn::Int* r3,
                            ftn::Int* r4, ftn::Int* r5, ftn::Int* r6, ftn::Int* r7, ftn::Int* r8,
                            ftn::Int* r9, ftn::Int* r10, ftn::Int* r11, void*, void*, void*, void*,
                            void*, void*, void*, void*) {
    for (ftn::Int* r : {r1, r2, r3, r4, r5, r6, r7, r8, r9})
        if (r != nullptr) *r = 0;
    const elvar::ChemistryInfo info =
        idchem != nullptr ? elvar::chemistry_info(*idchem) : elvar::ChemistryInfo{};
    if (r10 != nullptr) *r10 = info.matrix;
    if (r11 != nullptr) *r11 = info.equations;
}

// Status 0 and the routine's handle when it is known; status 1 and handle 0
// otherwise.
extern "C" void DMS_FINDFUN(const char* module, const char* routine, ftn::Int* status,
                            ftn::Int* handle, ftn::Len module_len, ftn::Len routine_len) {
    const std::string_view m = ftn::trim_right({module, module_len});
    const std::string_view r = ftn::trim_right({routine, routine_len});
    *status = 1;
    *handle = 0;
    for (std::size_t k = 0; k < kRegistry.size(); ++k)
        if (kRegistry[k].module == m && kRegistry[k].routine == r) {
            *status = 0;
            *handle = static_cast<ftn::Int>(k + 1);
            return;
        }
}

// Calls the routine behind the handle; an unknown handle calls nothing.
extern "C" void DMS_DOCALL_20(const ftn::Int* handle, void* a1, void* a2, void* a3, void* a4,
                              void* a5, void* a6, void* a7, void* a8, void* a9, void* a10,
                              void* a11, void* a12, void* a13, void* a14, void* a15, void* a16,
                              void* a17, void* a18, void* a19, void* a20) {
    const ftn::Int h = *handle;
    if (h < 1 || h > static_cast<ftn::Int>(kRegistry.size())) return;
    kRegistry[static_cast<std::size_t>(h - 1)].call(
        Args{a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, a13, a14, a15, a16, a17, a18,
             a19, a20});
}
