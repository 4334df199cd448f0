// Floating-point traps off inside the engine. A host may run with traps
// enabled; the engine's own overflow or NaN (tried and rejected steps, log of
// a trace amount) must never raise a signal there. On entry every trap is
// masked and the flags cleared; on exit the caller's control word and flags
// are restored as they were.
#pragma once

#if defined(__x86_64__) || (defined(__i386__) && defined(__SSE2__))
#include <xmmintrin.h>
#else
#include <cfenv>
#endif

namespace eqcore::abi {

#if defined(__x86_64__) || (defined(__i386__) && defined(__SSE2__))
class FpGuard {
public:
    FpGuard() : saved_(_mm_getcsr()) { _mm_setcsr((saved_ | kMaskAll) & ~kFlagsAll); }
    ~FpGuard() { _mm_setcsr(saved_); }
    FpGuard(const FpGuard&) = delete;
    FpGuard& operator=(const FpGuard&) = delete;

private:
    static constexpr unsigned kMaskAll = 0x1F80u;  // the six exception masks
    static constexpr unsigned kFlagsAll = 0x003Fu;  // the six exception flags
    unsigned saved_;
};
#else
class FpGuard {
public:
    FpGuard() { std::feholdexcept(&saved_); }
    ~FpGuard() { std::fesetenv(&saved_); }
    FpGuard(const FpGuard&) = delete;
    FpGuard& operator=(const FpGuard&) = delete;

private:
    std::fenv_t saved_;
};
#endif

}  // namespace eqcore::abi
