// Standard-state functions of one species, read straight from a data file
// by the tests themselves (G coefficients per temperature range, with extra
// T^e terms and the ln T term of exponent 99), so that expected values do
// not come from the engine under test.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace proptest {

struct Range {
    double tmax = 0;
    double a = 0, b = 0, c = 0, d = 0, e = 0, f = 0;  // A + B T + C T lnT + D T^2 + E T^3 + F/T
    std::vector<std::pair<double, double>> extra;     // (coefficient, exponent); 99: c ln T
};

struct Species {
    std::string name;
    std::vector<double> stoichiometry;
    std::vector<Range> ranges;

    double G(double T) const;   // J/mol
    double H(double T) const;   // J/mol
    double S(double T) const;   // J/(mol K)
    double Cp(double T) const;  // J/(mol K)

private:
    const Range& range(double T) const;
};

// The species of that exact name after the file's header (the first one,
// or the `occurrence`-th where several phases hold one of that name);
// throws std::runtime_error when there is none or its record is malformed.
Species read_species(const std::string& path, std::string_view name, int occurrence = 1);

// The engine's gas constant and standard pressure.
inline constexpr double kR = 8.31451;      // J/(mol K)
inline constexpr double kP0 = 1.0e5;       // Pa

}  // namespace proptest
