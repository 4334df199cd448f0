#include "abi/entry.hpp"

#include <algorithm>
#include <cstring>
#include <new>

#include "data/read_dat.hpp"
#include "unitio.hpp"

namespace eqcore::abi {

Session& session() {
    static Session s;
    return s;
}

Error record_current_exception() noexcept {
    Error code = Error::internal;
    try {
        std::string detail;
        try {
            throw;
        } catch (const Failure& f) {
            code = f.code();
            detail = f.what();
        } catch (const DataError& e) {
            const Failure f = data_file_failure(e);
            code = f.code();
            detail = f.what();
        } catch (const std::bad_alloc&) {
            code = Error::out_of_memory;
            detail = "the engine could not allocate memory";
        } catch (const std::exception& e) {
            code = Error::internal;
            detail = e.what();
        } catch (...) {
            code = Error::internal;
            detail = "unexpected exception";
        }
        Session& s = session();
        s.record_error(code, detail);
        // Written only when the error unit is open; otherwise discarded.
        if (const std::int64_t unit = s.io_unit(IoKind::error); unit != 0)
            for (const std::string& line : s.last_error().lines)
                if (!line.empty()) unitio::write_record(unit, line);
    } catch (...) {
        // Out of memory while recording: the number still gets through.
    }
    return code;
}

void throw_missing(const char* name) {
    throw Failure(Error::missing_argument, std::string("argument ") + name + " is missing");
}

void put(char* p, eqcore_len n, std::string_view value, const char* name) {
    if (n == 0) return;
    if (p == nullptr) throw_missing(name);
    const std::size_t k = std::min<std::size_t>(n, value.size());
    if (k > 0) std::memcpy(p, value.data(), k);
    if (n > k) std::memset(p + k, ' ', n - k);
}

}  // namespace eqcore::abi
