// Fortran-style formatted output: the edit descriptors I, F, E, ES and A and
// list-directed output of integers and reals, producing exactly the
// characters a Fortran runtime (gfortran) writes. A value that does not fit
// its width is a field of asterisks.
//
// Rounding is to nearest of the exact binary value (ties to even). A
// negative value, negative zero included, shows its sign ("-0.00"). Fixed
// and E fields drop their leading zero when the width is one column short
// (".50", "-.1E+01"). E and ES fields without an exponent width write two
// exponent digits, or three in place of the letter ("0.123+100").
// Infinity and NaN are written "Infinity"/"Inf" and "NaN".
//
// A width of 0 asks for the shortest field (I0, F0.d). A descriptor that
// cannot be written (negative w, d or m; m > w; E with d = 0 or w = 0;
// an exponent width of 0 in the four-argument forms) gives w asterisks.
#pragma once

#include <concepts>
#include <string>
#include <string_view>

#include "fortran.hpp"

namespace fmt90 {

std::string I(ftn::Int value, int w);              // Iw
std::string I(ftn::Int value, int w, int m);       // Iw.m
std::string F(double value, int w, int d);         // Fw.d
std::string E(double value, int w, int d);         // Ew.d
std::string E(double value, int w, int d, int e);  // Ew.dEe
std::string ES(double value, int w, int d);        // ESw.d
std::string ES(double value, int w, int d, int e); // ESw.dEe
// Aw: right-justified when w exceeds the text, else its first w characters;
// w <= 0 writes the text as it is (A without a width).
std::string A(std::string_view text, int w);
// List-directed items as one item of a list-directed WRITE, with the blank
// that precedes every item: " " + I20 for integers; for reals 17 significant
// digits in 25 columns, fixed form for magnitudes from 0.1 to below 1E17
// (followed by 5 blanks), else d.dddE+ddd.
std::string list(ftn::Int value);
std::string list(double value);

// One record of list-directed output with several items, joined as a
// list-directed WRITE joins them: every number brings its blank; a text
// follows a text directly and anything else after a blank.
//   (ListRecord() << " ncc=" << ncomp << "   nph=" << nsubs).str()
class ListRecord {
public:
    template <std::integral T>
        requires(!std::same_as<T, bool> && !std::same_as<T, char>)
    ListRecord& operator<<(T value) {
        return number(list(static_cast<ftn::Int>(value)));
    }
    ListRecord& operator<<(double value) { return number(list(value)); }
    ListRecord& operator<<(std::string_view text);
    const std::string& str() const { return record_; }

private:
    ListRecord& number(const std::string& item);
    std::string record_;
    bool after_text_ = false;
};

}  // namespace fmt90
