// A line of a listing, put together field by field: the text printf would
// make of the same format, byte for byte, without printf's format parser
// and its multi-precision digit generation (a listing has dozens of numbers,
// and a block writes one with every calculation).
#pragma once

#include <string>
#include <string_view>

namespace eqcore {

// printf's "%.<precision>E" of `v` appended to `out` (precision 0 to 17).
void append_scientific(std::string& out, double v, int precision);
// printf's "%.<precision>f" of `v` appended to `out` (precision 0 to 17).
void append_fixed(std::string& out, double v, int precision);

class ListingLine {
public:
    // Text as it is ("%s"; a string ends at its first NUL, as a C string does).
    ListingLine& text(std::string_view t);
    // "%-<width>s" and "%<width>s": padded with blanks, never cut.
    ListingLine& left(std::string_view t, std::size_t width);
    ListingLine& right(std::string_view t, std::size_t width);
    // "%<width>d".
    ListingLine& integer(long long v, std::size_t width);
    // "%<width>.<precision>E" and "%.<precision>f".
    ListingLine& scientific(double v, int precision, std::size_t width = 0);
    ListingLine& fixed(double v, int precision);

    // The line cut to `width` columns, without trailing blanks (the line is
    // moved out).
    std::string finish(std::size_t width);

private:
    void pad_from(std::size_t start, std::size_t width);
    std::string s_;
};

}  // namespace eqcore
