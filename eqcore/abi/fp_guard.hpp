// Floating-point traps off inside the engine. A host may run with traps
// enabled; the engine's own overflow or NaN (tried and rejected steps, log of
// a trace amount) must never raise a signal there. On entry every trap is
// masked; on exit the caller's control word and exception flags are restored
// as they were, except "inexact", which nearly every operation raises and
// which no caller can rely on being clear. The control register is written
// only when something differs, since writing it stalls the processor.
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
    FpGuard() : saved_(_mm_getcsr()) {
        if ((saved_ & kMaskAll) != kMaskAll) _mm_setcsr(saved_ | kMaskAll);
    }
    ~FpGuard() {
        const unsigned now = _mm_getcsr();
        const unsigned restored = saved_ | (now & kInexact);
        if (now != restored) _mm_setcsr(restored);
    }
    FpGuard(const FpGuard&) = delete;
    FpGuard& operator=(const FpGuard&) = delete;

private:
    static constexpr unsigned kMaskAll = 0x1F80u;  // the six exception masks
    static constexpr unsigned kInexact = 0x0020u;  // the "inexact" flag
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
