// What every PPSTUB_EC* entry point shares: the process-wide session, the
// one handler that turns any exception into a status number and the ECERR
// text, and the reading of arguments passed by reference.
#pragma once

#include <string_view>

#include "fortran.hpp"
#include "abi/fp_guard.hpp"
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
void entry(ftn::Int* noerr, Body&& body) noexcept {
    FpGuard guard;
    ftn::Int status = 0;
    try {
        body();
    } catch (...) {
        status = static_cast<ftn::Int>(record_current_exception());
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
inline std::string_view text(const char* p, ftn::Len n, const char* name) {
    if (n == 0) return {};
    if (p == nullptr) throw_missing(name);
    return ftn::InChars(p, n).text();
}
// An output character field: blank-padded to its length, truncated if longer.
void put(char* p, ftn::Len n, std::string_view value, const char* name);

}  // namespace eqcore::abi
