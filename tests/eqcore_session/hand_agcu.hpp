// Properties of the Ag-Cu example system computed by hand from the
// coefficients written in examples/ag-cu-example.dat, with the textbook
// formulas (G = A + B T + C T lnT + D T^2 + E T^3 + F/T + c T^e), so that
// the engine's values can be checked against numbers it did not produce.
#pragma once

#include <cmath>

namespace hand {

inline constexpr double R = 8.31451;
inline constexpr double Pstd = 1.0e5;

struct Coef {
    double A, B, C, D, E, F;
    double c = 0.0, e = 0.0;  // one extra term c T^e
};

struct Props {
    double G = 0, H = 0, S = 0, Cp = 0, V = 0;
    Props& operator+=(const Props& o) {
        G += o.G, H += o.H, S += o.S, Cp += o.Cp, V += o.V;
        return *this;
    }
};

inline Props standard(const Coef& k, double T) {
    const double lnT = std::log(T);
    const double x = k.c * std::pow(T, k.e);
    Props p;
    p.G = k.A + k.B * T + k.C * T * lnT + k.D * T * T + k.E * T * T * T + k.F / T + x;
    p.H = k.A - k.C * T - k.D * T * T - 2 * k.E * T * T * T + 2 * k.F / T + (1 - k.e) * x;
    p.S = -k.B - k.C * (lnT + 1) - 2 * k.D * T - 3 * k.E * T * T + k.F / (T * T) - k.e * x / T;
    p.Cp = -k.C - 2 * k.D * T - 6 * k.E * T * T - 2 * k.F / (T * T) - k.e * (k.e - 1) * x / T;
    return p;
}

// The file's coefficients.
inline constexpr Coef kAgGas{2.78702654E+05, -3.37737547E+01, -2.07860000E+01, 0, 0, 0};
inline constexpr Coef kCuGas{3.31402654E+05, -2.71837547E+01, -2.07860000E+01, 0, 0, 0};
inline constexpr Coef kAgLiq{1.04730111E+02, 1.56851684E+02, -3.05000000E+01, 0, 0, 0};
inline constexpr Coef kCuLiq{-1.98584639E+03, 1.85669897E+02, -3.28000000E+01, 0, 0, 0, -5.0E-21, 7.0};
inline constexpr Coef kAgSolid1{-6.22371343E+03, 1.01805679E+02, -2.13000000E+01, -4.27000000E-03, 0, -7.55000000E+04};
inline constexpr Coef kAgSolid2{-1.42827699E+04, 1.86298547E+02, -3.30000000E+01, 0, 0, 0};
inline constexpr double kL0a = 19000.0, kL0b = -3.0;  // liquid L0 = a + b T

// Ideal gas of Ag and Cu: G = sum n (G0 + RT ln(x P/P0)), V = n R T / P.
inline Props gas(double nAg, double nCu, double T, double P) {
    const double n = nAg + nCu;
    Props sum;
    for (auto [ni, k] : {std::pair{nAg, kAgGas}, std::pair{nCu, kCuGas}}) {
        if (ni == 0) continue;
        const Props s = standard(k, T);
        const double ln = std::log(ni / n * P / Pstd);
        sum.G += ni * (s.G + R * T * ln);
        sum.H += ni * s.H;
        sum.S += ni * (s.S - R * ln);
        sum.Cp += ni * s.Cp;
    }
    sum.V = n * R * T / P;
    return sum;
}

// Liquid with ideal mixing and the binary excess x_Ag x_Cu L0(T).
inline Props liquid(double nAg, double nCu, double T) {
    const double n = nAg + nCu, xa = nAg / n, xc = nCu / n;
    const Props a = standard(kAgLiq, T), c = standard(kCuLiq, T);
    const double mix = nAg * std::log(xa) + nCu * std::log(xc);
    const double L = kL0a + kL0b * T;
    Props p;
    p.G = nAg * a.G + nCu * c.G + R * T * mix + n * xa * xc * L;
    p.H = nAg * a.H + nCu * c.H + n * xa * xc * kL0a;   // L - T dL/dT
    p.S = nAg * a.S + nCu * c.S - R * mix - n * xa * xc * kL0b;  // -dL/dT
    p.Cp = nAg * a.Cp + nCu * c.Cp;
    return p;
}

inline Props ag_solid(double n, double T) {
    Props s = standard(T <= 1235.0 ? kAgSolid1 : kAgSolid2, T);
    s.G *= n, s.H *= n, s.S *= n, s.Cp *= n;
    return s;
}

}  // namespace hand
