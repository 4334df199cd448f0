// Types of the calling convention shared by the host, EQLINK and the engine's
// entry points: every argument by reference; integers, logicals and reals of
// 8 bytes; character arguments are blank-padded fixed-length fields whose
// lengths follow as hidden by-value arguments after all others; arrays are
// counted from 1. These few types are the only place that knows it.
#pragma once

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace ftn {

using Int = std::int64_t;    // INTEGER*8
using Real = double;         // REAL*8
using Len = std::size_t;     // hidden length of a character argument
using Logical = std::int64_t;  // LOGICAL*8: true when the lowest bit is set

inline constexpr Logical kTrue = -1;  // all bits set, as EQLINK stores true
inline constexpr Logical kFalse = 0;

constexpr bool truth(Logical v) { return (v & 1) != 0; }
constexpr Logical logical(bool b) { return b ? kTrue : kFalse; }

// Text without its trailing blanks.
constexpr std::string_view trim_right(std::string_view s) {
    const auto end = s.find_last_not_of(' ');
    return end == std::string_view::npos ? std::string_view{} : s.substr(0, end + 1);
}

// Writes `text` into a blank-padded field of `n` characters, truncating it
// when longer. Never writes past the field.
inline void fill(char* field, Len n, std::string_view text) {
    const Len k = std::min<Len>(n, text.size());
    if (k > 0) std::memcpy(field, text.data(), k);
    if (n > k) std::memset(field + k, ' ', n - k);
}

// A character argument received from a caller: `len` characters, read only
// up to that length. `text()` has the trailing blanks removed.
class InChars {
public:
    InChars(const char* p, Len n) : p_(p), n_(n) {}
    std::string_view full() const { return {p_, n_}; }
    std::string_view text() const { return trim_right(full()); }
    Len size() const { return n_; }

private:
    const char* p_;
    Len n_;
};

// A character field to write: blank-padded to its length, truncated if the
// text is longer.
class OutChars {
public:
    OutChars(char* p, Len n) : p_(p), n_(n) {}
    void assign(std::string_view text) const { fill(p_, n_, text); }
    std::string_view full() const { return {p_, n_}; }
    std::string_view text() const { return trim_right(full()); }
    char* data() const { return p_; }
    Len size() const { return n_; }

private:
    char* p_;
    Len n_;
};

// Fixed-length character storage owned by us (block fields, local buffers).
template <Len N>
struct Chars {
    char c[N];
    void assign(std::string_view text) { fill(c, N, text); }
    std::string_view full() const { return {c, N}; }
    std::string_view text() const { return trim_right(full()); }
    OutChars out() { return {c, N}; }
    static constexpr Len size() { return N; }
};

// A 1-based view on a caller's array. The size is known where the caller's
// contract gives it, 0 where it does not (then no bound is checked).
template <class T>
class Array1 {
public:
    Array1(T* p, Len n = 0) : p_(p), n_(n) {}
    T& operator()(Int i) const {
        assert(i >= 1 && (n_ == 0 || static_cast<Len>(i) <= n_));
        return p_[i - 1];
    }
    T* data() const { return p_; }
    Len size() const { return n_; }

private:
    T* p_;
    Len n_;
};

// One 8-byte word of a host block: an integer, a real or up to 8 characters,
// read and written without type punning.
struct Word {
    alignas(8) unsigned char bytes[8];

    Int i() const { return load<Int>(); }
    Real r() const { return load<Real>(); }
    std::int32_t i4() const { return load<std::int32_t>(); }  // first 4 bytes
    void set_i(Int v) { store(v); }
    void set_r(Real v) { store(v); }
    void set_i4(std::int32_t v) { store(v); }
    // The word's characters (all 8; a 4-character word has 4 blanks after).
    std::string_view chars() const { return {reinterpret_cast<const char*>(bytes), 8}; }
    void set_chars(std::string_view text) { fill(reinterpret_cast<char*>(bytes), 8, text); }

private:
    template <class T>
    T load() const {
        T v;
        std::memcpy(&v, bytes, sizeof v);
        return v;
    }
    template <class T>
    void store(T v) {
        std::memcpy(bytes, &v, sizeof v);
    }
};
static_assert(sizeof(Word) == 8);

// Text kept in a run of words, `per_word` characters in each (4 for names
// and IDs in the host's plex, 8 for option-set names).
inline void put_text(Word* w, Int nwords, Len per_word, std::string_view text) {
    for (Int k = 0; k < nwords; ++k) {
        const Len from = static_cast<Len>(k) * per_word;
        const std::string_view piece = from < text.size() ? text.substr(from, per_word) : "";
        w[k].set_chars(piece);
    }
}
template <class String>
void get_text(const Word* w, Int nwords, Len per_word, String& out) {
    out.clear();
    for (Int k = 0; k < nwords; ++k) out.append(w[k].chars().substr(0, per_word));
}

}  // namespace ftn
