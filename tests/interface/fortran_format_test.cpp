// Every row of format_table.txt, written by gfortran from format_table.f90,
// formatted again here: the characters must agree exactly.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cstdint>
#include <fstream>
#include <string>

#include "fortran_format.hpp"

namespace {

struct Descriptor {
    std::string kind;  // "I", "F", "E", "ES", "A" or "LIST"
    int w = 0, d = -1, e = 0;
};

int number(std::string_view s, std::size_t& at) {
    int v = 0;
    const auto r = std::from_chars(s.data() + at, s.data() + s.size(), v);
    at = static_cast<std::size_t>(r.ptr - s.data());
    return v;
}

Descriptor parse(std::string_view s) {
    Descriptor out;
    if (s == "LIST" || s == "RECORD") {
        out.kind = std::string(s);
        return out;
    }
    std::size_t at = s.starts_with("ES") ? 2 : 1;
    out.kind = std::string(s.substr(0, at));
    out.w = number(s, at);
    if (at < s.size() && s[at] == '.') out.d = number(s, ++at);
    if (at < s.size() && s[at] == 'E') out.e = number(s, ++at);
    return out;
}

std::string format_real(const Descriptor& f, double x) {
    if (f.kind == "F") return fmt90::F(x, f.w, f.d);
    if (f.kind == "E") return f.e ? fmt90::E(x, f.w, f.d, f.e) : fmt90::E(x, f.w, f.d);
    if (f.kind == "ES") return f.e ? fmt90::ES(x, f.w, f.d, f.e) : fmt90::ES(x, f.w, f.d);
    return fmt90::list(x);
}

// The records of the mixed list-directed WRITEs of format_table.f90.
std::string list_record(int n) {
    using fmt90::ListRecord;
    switch (n) {
        case 1: return (ListRecord() << " ncc=" << 5 << "   nph=" << -3 << "x" << "y").str();
        case 2: return (ListRecord() << " DUTY STWKWK_QCALC =" << 1234.5).str();
        case 3: return (ListRecord() << 1234.5 << 5 << "abc" << 1234.5).str();
        case 4: return ListRecord().str();
        case 5: return (ListRecord() << "" << 5).str();
        case 6: return (ListRecord() << -1.0e-3 << "z" << 2).str();
        default: return "no record " + std::to_string(n);
    }
}

std::string format_int(const Descriptor& f, ftn::Int k) {
    if (f.kind == "LIST") return fmt90::list(k);
    return f.d < 0 ? fmt90::I(k, f.w) : fmt90::I(k, f.w, f.d);
}

TEST(FortranFormat, MatchesGfortranTable) {
    std::ifstream in(EQLINK_FORMAT_TABLE);
    ASSERT_TRUE(in) << "cannot open " << EQLINK_FORMAT_TABLE;
    std::string line;
    int rows = 0, line_number = 0;
    while (std::getline(in, line)) {
        ++line_number;
        // <descriptor> <value> [<expected>]; texts are [<text>] themselves.
        const std::size_t blank = line.find(' ');
        const std::size_t open = line.rfind(" [");
        ASSERT_TRUE(blank != std::string::npos && open != std::string::npos && line.back() == ']')
            << "format_table.txt line " << line_number << ": " << line;
        const Descriptor f = parse(std::string_view(line).substr(0, blank));
        const std::string value = line.substr(blank + 1, open - blank - 1);
        const std::string expected = line.substr(open + 2, line.size() - open - 3);
        std::string got;
        if (f.kind == "RECORD") {
            got = list_record(std::stoi(value));
        } else if (f.kind == "A") {
            got = fmt90::A(value.substr(1, value.size() - 2), f.w);
        } else if (value[0] == 'Z') {  // a real by its bit pattern
            const auto bits = static_cast<std::uint64_t>(std::stoull(value.substr(1), nullptr, 16));
            got = format_real(f, std::bit_cast<double>(bits));
        } else {
            got = format_int(f, std::stoll(value));
        }
        EXPECT_EQ(got, expected) << "line " << line_number << ": " << line;
        ++rows;
    }
    EXPECT_GT(rows, 3000);
}

// Values a reader can check by hand, beside the table.
TEST(FortranFormat, HandCheckedFields) {
    EXPECT_EQ(fmt90::F(0.5, 4, 2), "0.50");
    EXPECT_EQ(fmt90::F(0.5, 3, 2), ".50");
    EXPECT_EQ(fmt90::F(-0.0, 5, 2), "-0.00");
    EXPECT_EQ(fmt90::F(-0.004, 5, 2), "-0.00");
    EXPECT_EQ(fmt90::F(99.995, 5, 2), "*****");  // rounds up to 100.00
    EXPECT_EQ(fmt90::F(1234.5678, 19, 5), "         1234.56780");
    EXPECT_EQ(fmt90::E(1.0e100, 10, 3), " 0.100+101");
    EXPECT_EQ(fmt90::E(1.0e-100, 10, 3), " 0.100E-99");
    EXPECT_EQ(fmt90::ES(-273.16, 10, 3), "-2.732E+02");
    EXPECT_EQ(fmt90::I(-7, 5, 3), " -007");
    EXPECT_EQ(fmt90::I(1500, 3), "***");
    EXPECT_EQ(fmt90::A("CASTRT", 4), "CAST");
    EXPECT_EQ(fmt90::list(ftn::Int{42}), "                   42");
    EXPECT_EQ(fmt90::list(298.15), "   298.14999999999998     ");
}

TEST(FortranFormat, DescriptorsThatCannotBeWrittenGiveAsterisks) {
    EXPECT_EQ(fmt90::I(5, 3, 4), "***");
    EXPECT_EQ(fmt90::F(1.0, 6, -1), "******");
    EXPECT_EQ(fmt90::E(1.0, 8, 0), "********");
    EXPECT_EQ(fmt90::E(1.0, 8, 2, 0), "********");
    EXPECT_EQ(fmt90::F(1.0, -3, 1), "");
}

}  // namespace
