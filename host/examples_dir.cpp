#include "examples_dir.hpp"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

namespace {
// An object of this library, to ask the dynamic loader which file it is in.
const char marker = 0;
}  // namespace

namespace elvar {

std::string examples_dir() {
    Dl_info info{};
    if (dladdr(&marker, &info) != 0 && info.dli_fname != nullptr) {
        namespace fs = std::filesystem;
        const fs::path installed =
            fs::path(info.dli_fname).parent_path() / EQLINK_INSTALLED_EXAMPLES_DIR;
        std::error_code ec;
        if (fs::is_directory(installed, ec)) return installed.lexically_normal().string();
    }
    return EQLINK_EXAMPLES_DIR;
}

}  // namespace elvar
