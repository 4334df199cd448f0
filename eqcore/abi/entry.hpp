// What every PPSTUB_EC* entry point shares: the process-wide session, the
// one handler that turns any exception into a status number and the ECERR
// text, and the reading of arguments passed by reference.
#pragma once

#include <string_view>

#include "abi/fp_guard.hpp"
#include "eqcore/eqcore.h"
#include "session/error.hpp"
#include "session/session.hpp"

namespace eqcore::abi {

// The session behind the entry points (one per process).
Session& session();

// Records the exception being handled as the session's last error, writes
// its text to the error unit (when one is open) and returns its number.
// Call only inside a catch block.
Error record_current_exception() noexcept;

// Runs the body of an entry point: traps masked, NOERR 0 on success, else
// the error number; nothing escapes.
template <class Body>
void entry(eqcore_int* noerr, Body&& body) noexcept {
    FpGuard guard;
    eqcore_int status = 0;
    try {
        body();
    } catch (...) {
        status = static_cast<eqcore_int>(record_current_exception());
    }
    if (noerr != nullptr) *noerr = status;
}

// Arguments by reference: a missing one is an error naming it.
[[noreturn]] void throw_missing(const char* name);
template <class T>
T& ref(T* p, const char* name) {
    if (p == nullptr) throw_missing(name);
    return *p;
}

// A character argument read up to its hidden length, trailing blanks removed.
inline std::string_view text(const char* p, eqcore_len n, const char* name) {
    if (n == 0) return {};
    if (p == nullptr) throw_missing(name);
    std::string_view s(p, n);
    const auto end = s.find_last_not_of(' ');
    return end == std::string_view::npos ? std::string_view{} : s.substr(0, end + 1);
}
// An output character field: blank-padded to its length, truncated if longer.
void put(char* p, eqcore_len n, std::string_view value, const char* name);

}  // namespace eqcore::abi
