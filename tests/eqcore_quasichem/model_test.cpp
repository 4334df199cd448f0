// The quasichemical model through the phase-model interface: coordination
// defaults, the internal equilibrium against the worked examples, the
// identities of G, H, S, Cp and the potentials, closed-form limits, and the
// internal distribution against a brute-force minimisation written here.
#include <cmath>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "qc_util.hpp"
#include "thermo/phase_props.hpp"
#include "thermo/quasichem.hpp"

namespace eqcore {
namespace {

using testing::qc_load;
using testing::qc_phase;

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

struct Internal {
    std::vector<double> v;
    PhaseProps props;
    std::vector<double> mu;  // per quadruplet
};

Internal solve(const QuasichemModel& m, double T, const std::vector<double>& n) {
    Internal r;
    const int K = m.layout().variables;
    r.v.assign(sz(K), 0.0);
    EXPECT_TRUE(internal_equilibrium(m, T, n, r.v));
    r.mu.assign(sz(K), 0.0);
    r.props = evaluate(m, T, 1e5, r.v, {}, r.mu);
    return r;
}

double fraction(const Internal& r, int k) {
    double N = 0.0;
    for (double x : r.v) N += x;
    return r.v[sz(k)] / N;
}

TEST(QuasichemModel, DefaultCoordinationOfTheReciprocalQuadruplet) {
    const System sys = qc_load("qc_example_3.dat");
    const QuasichemModel m(sys, qc_phase(sys, "LIQ_Q3"));
    const auto& q = m.quads();
    ASSERT_EQ(q.size(), 9u);
    EXPECT_EQ(q[8].ion, (std::array<int, 4>{0, 1, 2, 3}));
    EXPECT_NEAR(q[8].z[0], 6.3296703, 1e-7);
    EXPECT_NEAR(q[8].z[1], 5.2126697, 1e-7);
    EXPECT_NEAR(q[8].z[2], 3.6923077, 1e-7);
    EXPECT_NEAR(q[8].z[3], 7.3846154, 1e-7);
}

TEST(QuasichemModel, TernaryPairLiquidReproducesTheWorkedExample) {
    const System sys = qc_load("qc_example_2.dat");
    const QuasichemModel m(sys, qc_phase(sys, "LIQ_Q2"));
    const Internal r = solve(m, 1200.0, {0.2, 0.3, 0.5});
    EXPECT_NEAR(r.props.G, -91672.846356, 1e-8 * 91672.846356);
    const double x[] = {3.3394793474E-02, 6.8701778247E-02, 0.24123966193,
                        0.15816087452,    0.16744242481,    0.33106046702};
    for (int k = 0; k < 6; ++k) EXPECT_NEAR(fraction(r, k), x[k], 1e-8) << "quadruplet " << k;
    // End-member potentials: (nu_A Z/2) mu of the pure quadruplet.
    const double mu[] = {-95293.705736, -98829.881446, -85930.281551};
    const double zc[] = {6.0, 8.0, 6.0};
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(zc[k] / 2.0 * r.mu[sz(k)], mu[k], 1e-5) << "end member " << k;
}

TEST(QuasichemModel, ReciprocalQuadrupletLiquidReproducesTheWorkedExample) {
    const System sys = qc_load("qc_example_3.dat");
    const QuasichemModel m(sys, qc_phase(sys, "LIQ_Q3"));
    // LiF, MgF2, Li2O, MgO with Li 1, Mg 0.5, F 0.8, O 0.6 (one of the splits).
    const Internal r = solve(m, 1500.0, {0.3, 0.25, 0.35, 0.25});
    EXPECT_NEAR(r.props.G, -969998.248278, 1e-8 * 969998.248278);
    const double x[] = {8.4366514251E-02, 9.0364492791E-03, 7.1368745697E-02, 0.18035027767, 3.8998474403E-02,
                        0.17395068989,    0.20189144611,    3.7545052186E-02, 0.20249235051};
    for (int k = 0; k < 9; ++k) EXPECT_NEAR(fraction(r, k), x[k], 1e-8) << "quadruplet " << k;
    std::vector<double> n(4);
    m.constituent_amounts(r.v, n);
    double total = 0.0;
    for (double a : n) total += a;
    const double xm[] = {0.3281352160, 0.1703053488, 0.2538985880, 0.2476608472};
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(n[sz(k)] / total, xm[k], 1e-9);
    const double mu[] = {-697123.071, -1252741.807, -805086.599, -663582.264};
    const ModelLayout& l = m.layout();
    for (int k = 0; k < 4; ++k) {
        const double muk = l.content_coef[sz(k)] * r.mu[sz(l.content_var[sz(k)])];
        EXPECT_NEAR(muk, mu[k], 2e-3) << "end member " << k;
    }
}

}  // namespace
}  // namespace eqcore

namespace eqcore {
namespace {

// Relative-or-absolute closeness of a difference quotient.
void expect_close(double a, double b, double rel, double abs, const std::string& what) {
    EXPECT_LE(std::abs(a - b), std::max(rel * std::abs(b), abs)) << what << ": " << a << " vs " << b;
}

// G, S, H, Cp, the gradient and the Hessian in the quadruplet amounts of
// one model at a distribution away from equilibrium, against differences.
void check_identities(const QuasichemModel& m, double T, const std::vector<double>& v) {
    const int K = m.layout().variables;
    std::vector<double> mu(sz(K)), hess(sz(K) * sz(K));
    const PhaseProps p = evaluate(m, T, 1e5, v, {}, mu, hess);
    double sum = 0.0;
    for (int k = 0; k < K; ++k) sum += v[sz(k)] * mu[sz(k)];
    expect_close(sum, p.G, 1e-11, 1e-9, "sum N mu = G");
    const double dT = 1e-3;
    const PhaseProps up = evaluate(m, T + dT, 1e5, v), dn = evaluate(m, T - dT, 1e5, v);
    expect_close(-(up.G - dn.G) / (2 * dT), p.S, 1e-7, 1e-6, "S = -dG/dT");
    expect_close(p.H, p.G + T * p.S, 1e-11, 1e-8, "G = H - T S");
    expect_close((up.H - dn.H) / (2 * dT), p.Cp, 1e-6, 1e-5, "Cp = dH/dT");
    for (int k = 0; k < K; ++k) {
        std::vector<double> a = v, b = v;
        const double h = 1e-6 * v[sz(k)];
        a[sz(k)] += h;
        b[sz(k)] -= h;
        std::vector<double> mua(sz(K)), mub(sz(K));
        const double Ga = evaluate(m, T, 1e5, a, {}, mua).G, Gb = evaluate(m, T, 1e5, b, {}, mub).G;
        expect_close((Ga - Gb) / (2 * h), mu[sz(k)], 1e-7, 1e-4, "mu_" + std::to_string(k));
        double hv = 0.0;
        for (int l = 0; l < K; ++l) {
            expect_close((mua[sz(l)] - mub[sz(l)]) / (2 * h), hess[sz(l * K + k)], 1e-5,
                         1e-6 * std::abs(hess[sz(l * K + l)]) + 1e-3, "d mu_" + std::to_string(l) + " / dN_" + std::to_string(k));
            EXPECT_NEAR(hess[sz(k * K + l)], hess[sz(l * K + k)], 1e-9 * (std::abs(hess[sz(k * K + l)]) + 1.0));
            hv += hess[sz(k * K + l)] * v[sz(l)];
        }
        EXPECT_NEAR(hv, 0.0, 1e-8 * std::abs(hess[sz(k * K + k)] * v[sz(k)]) + 1e-9) << "H N = 0, row " << k;
    }
}

// The end members at the internal equilibrium: sum n mu = G, symmetric
// d mu / dn against differences of re-solved potentials, Gibbs-Duhem.
void check_end_members(const QuasichemModel& m, double T, const std::vector<double>& n) {
    const int M = m.layout().constituents();
    std::vector<double> mu(sz(M)), dmu(sz(M) * sz(M));
    const PhaseProps p = phase_props(m, T, 1e5, n, mu, dmu);
    double sum = 0.0;
    for (int a = 0; a < M; ++a) sum += n[sz(a)] * mu[sz(a)];
    expect_close(sum, p.G, 1e-11, 1e-8, "sum n mu = G");
    for (int b = 0; b < M; ++b) {
        std::vector<double> up = n, dn = n, mu_up(sz(M)), mu_dn(sz(M));
        const double h = 1e-5 * n[sz(b)];
        up[sz(b)] += h;
        dn[sz(b)] -= h;
        phase_props(m, T, 1e5, up, mu_up);
        phase_props(m, T, 1e5, dn, mu_dn);
        double gd = 0.0;
        for (int a = 0; a < M; ++a) {
            expect_close((mu_up[sz(a)] - mu_dn[sz(a)]) / (2 * h), dmu[sz(a * M + b)], 1e-5, 1e-2,
                         "d mu_" + std::to_string(a) + " / dn_" + std::to_string(b));
            EXPECT_NEAR(dmu[sz(a * M + b)], dmu[sz(b * M + a)], 1e-7 * std::abs(dmu[sz(a * M + b)]) + 1e-6);
            gd += n[sz(a)] * dmu[sz(a * M + b)];
        }
        EXPECT_NEAR(gd, 0.0, 1e-6 * std::abs(dmu[sz(b * M + b)] * n[sz(b)]) + 1e-6) << "Gibbs-Duhem, column " << b;
    }
}

TEST(QuasichemModel, IdentitiesOfThePairAndQuadrupletModels) {
    {
        const System sys = qc_load("qc_example_2.dat");
        const QuasichemModel m(sys, qc_phase(sys, "LIQ_Q2"));
        check_identities(m, 1200.0, {0.11, 0.27, 0.61, 0.52, 0.33, 0.9});
        check_end_members(m, 1200.0, {0.2, 0.3, 0.5});
    }
    {
        // The reciprocal liquid with an anion-sublattice Q term of non-zero
        // exponent added (its potentials must be the derivatives of its G).
        std::ifstream in(testing::qc_file("qc_example_3.dat"));
        std::stringstream s;
        s << in.rdbuf();
        std::string t = s.str();
        const std::string extra = "   3\n Q   2   2   3   4  1  0  0  0\n  0.0  0.0  0.0  0.0  0.0  0.0\n"
                                  "  0.0  0.0  0.0  0.0  0.0  0.0\n   0  0  -3000.0  1.0  0.0  0.0  0.0  0.0\n   0\n";
        const std::size_t end = t.find("   0\n Li_dummy");
        ASSERT_NE(end, std::string::npos);
        t.replace(end, 5, extra);
        const System sys = testing::qc_parse(t);
        bool flagged = false;
        for (const std::string& w : sys.warnings) flagged = flagged || w.find("not verified") != std::string::npos;
        EXPECT_TRUE(flagged);
        const QuasichemModel m(sys, qc_phase(sys, "LIQ_Q3"));
        check_identities(m, 1500.0, {0.3, 0.05, 0.2, 0.7, 0.1, 0.6, 0.8, 0.15, 0.9});
        check_end_members(m, 1500.0, {0.3, 0.25, 0.35, 0.25});
    }
}

// An evaluation of values alone (no gradient or Hessian asked for) gives
// the values of the full one, and one of the gradient alone its gradient,
// at random compositions of every liquid of the example files, traces and
// absent quadruplets included.
TEST(QuasichemModel, ValuesAloneAreThoseOfTheFullEvaluation) {
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    for (const char* file : {"qc_example_1.dat", "qc_example_2.dat", "qc_example_3.dat", "qc_slag.dat"}) {
        const System sys = qc_load(file);
        for (int p = 0; p < sys.phase_count(); ++p) {
            if (!sys.phases[sz(p)].quasichem) continue;
            const QuasichemModel m(sys, p);
            const std::size_t K = sz(m.layout().variables);
            std::vector<double> w(K), g(K), h(K * K), g_alone(K);
            for (int k = 0; k < 200; ++k) {
                double sum = 0.0;
                for (double& x : w) sum += x = u(rng) < 0.2 ? (u(rng) < 0.5 ? 0.0 : 1e-12) : u(rng);
                if (!(sum > 0.0)) continue;
                for (double& x : w) x /= sum;
                const double T = 800.0 + 1500.0 * u(rng);
                const ExcessResult a = m.excess(T, w), b = m.excess(T, w, g, h);
                EXPECT_NEAR(a.g, b.g, 1e-12 * (1.0 + std::abs(b.g))) << file;
                EXPECT_NEAR(a.s, b.s, 1e-12 * (1.0 + std::abs(b.s))) << file;
                EXPECT_NEAR(a.cp, b.cp, 1e-12 * (1.0 + std::abs(b.cp))) << file;
                const ExcessResult c = m.excess(T, w, g_alone);
                EXPECT_NEAR(c.g, b.g, 1e-12 * (1.0 + std::abs(b.g))) << file;
                for (std::size_t i = 0; i < K; ++i)
                    EXPECT_NEAR(g_alone[i], g[i], 1e-12 * (1.0 + std::abs(g[i]))) << file << " gradient " << i;
            }
        }
    }
}

// A binary pair liquid Ga-In of `z` everywhere, no excess unless `L0`.
std::string binary(double z, double L0) {
    std::ostringstream f;
    f << " binary\n   2   2   0   3   0\n Ga In\n 69.723 114.818\n   6   1   2   3   4   5   6\n   6   1   2   3   4   5   6\n"
      << " LIQ\n SUBG\n  2.4\n   2   3\n Ga\n   1  1  1.0  0.0\n  3000.0  -5000.0  -60.0  0.0  0.0  0.0  0.0\n"
      << "  1.0  1.0  0.0  0.0  0.0\n In\n   1  1  0.0  1.0\n  3000.0  -3000.0  -58.0  0.0  0.0  0.0  0.0\n"
      << "  1.0  1.0  0.0  0.0  0.0\n   2   1\n Ga In\n Va\n  1.0  1.0\n   1   1\n  1.0\n   1\n   1   2\n   1   1\n"
      << "   1   1   3   3 " << z << " " << z << " " << z << " " << z << "\n"
      << "   2   2   3   3 " << z << " " << z << " " << z << " " << z << "\n"
      << "   1   2   3   3 " << z << " " << z << " " << z << " " << z << "\n";
    if (L0 != 0.0)
        f << "   3\n G   1   2   3   3  0  0  0  0\n  0 0 0 0 0 0\n  0 0 0 0 0 0\n   0  0  " << L0 << " 0 0 0 0 0\n";
    f << "   0\n";
    return f.str();
}

TEST(QuasichemModel, ClosedFormLimitsOfThePairApproximation) {
    const double T = 1000.0, RT = kR * T;
    for (double xa : {0.05, 0.3, 0.5, 0.83}) {
        // No excess, equal coordination numbers: the ideal solution, pairs at random.
        const System ideal = testing::qc_parse(binary(6.0, 0.0));
        const QuasichemModel m(ideal, 0);
        const Internal r = solve(m, T, {xa, 1.0 - xa});
        std::vector<StandardProps> sp(2);
        m.constituent_standard(T, std::log(T), sp);
        const double g_ideal = xa * sp[0].g + (1 - xa) * sp[1].g + RT * (xa * std::log(xa) + (1 - xa) * std::log(1 - xa));
        EXPECT_NEAR(r.props.G, g_ideal, 1e-9 * std::abs(g_ideal));
        EXPECT_NEAR(fraction(r, 0), xa * xa, 1e-10);
        EXPECT_NEAR(fraction(r, 2), 2 * xa * (1 - xa), 1e-10);
        // A very negative first-neighbour energy: full order, no pair of the
        // minority kind with itself.
        const System ordered = testing::qc_parse(binary(6.0, -2.0e6));
        const QuasichemModel mo(ordered, 0);
        const Internal o = solve(mo, T, {xa, 1.0 - xa});
        const double minority = std::min(xa, 1 - xa);
        EXPECT_NEAR(fraction(o, 2), 2 * minority, 1e-6);
        EXPECT_LT(fraction(o, xa < 0.5 ? 0 : 1), 1e-6);
    }
}

// The internal equilibrium against a brute-force minimum: a binary pair
// liquid has one degree of freedom at fixed composition (the amount of
// mixed pairs); G along it is minimised by golden-section search.
TEST(QuasichemModel, InternalEquilibriumIsTheBruteForceMinimum) {
    const System sys = qc_load("qc_example_1.dat");
    const QuasichemModel m(sys, qc_phase(sys, "LIQ_Q1"));
    const double T = 1000.0;
    for (double xga : {0.02, 0.35, 0.7, 0.97}) {
        const Internal r = solve(m, T, {xga, 1.0 - xga});
        // Ga = 2 N_GaGa / 6 + N_GaIn / 6, In = 2 N_InIn / 8 + N_GaIn / 4.
        auto at = [&](double nab) {
            const std::vector<double> v = {(xga - nab / 6.0) * 3.0, (1.0 - xga - nab / 4.0) * 4.0, nab};
            return evaluate(m, T, 1e5, v).G;
        };
        double lo = 0.0, hi = std::min(6.0 * xga, 4.0 * (1.0 - xga));
        const double phi = (std::sqrt(5.0) - 1.0) / 2.0;
        for (int it = 0; it < 200; ++it) {
            const double a = hi - phi * (hi - lo), b = lo + phi * (hi - lo);
            if (at(a) < at(b)) hi = b;
            else lo = a;
        }
        const double best = 0.5 * (lo + hi);
        EXPECT_NEAR(r.v[2], best, 1e-6 * (1.0 + best));
        EXPECT_NEAR(r.props.G, at(best), 1e-9 * std::abs(at(best)));
    }
}

}  // namespace
}  // namespace eqcore

namespace eqcore {
namespace {

// The slag liquid with its records as written (constant-factor binaries, a
// Q record, a ternary G record whose factor moves with two ratios), and
// again with three ternary records of other shapes added: the third cation
// in neither set (Fe in Ca-Mg) and in one set with composition powers, of G
// (with a T ln T coefficient, which the records as written lack) and of Q. Each shape leaves a different set of ratios moving the factor,
// so that the Hessian's rows are chosen differently each time; the Hessian,
// gradient and the other identities must hold against differences at two
// distributions away from equilibrium and two temperatures.
TEST(QuasichemModel, IdentitiesHoldForEveryShapeOfExcessRecord) {
    std::ifstream in(testing::qc_file("qc_slag.dat"));
    std::stringstream s;
    s << in.rdbuf();
    const std::string as_written = s.str();
    std::string more = as_written;
    const std::string extra =
        "   3\n G   1   2   5   5  1  0  2  0\n  0.0  0.0  0.0  0.0  0.0  0.0\n  0.0  0.0  0.0  0.0  0.0  0.0\n"
        "   3  0  -8000.0  2.0  0.0  0.0  0.0  0.0\n"
        "   3\n G   1   4   5   5  1  1  2  0\n  0.0  0.0  0.0  0.0  0.0  0.0\n  0.0  0.0  0.0  0.0  0.0  0.0\n"
        "   2  0  6000.0  -1.5  0.8  0.0  0.0  0.0\n"
        "   3\n Q   1   4   5   5  1  2  2  0\n  0.0  0.0  0.0  0.0  0.0  0.0\n  0.0  0.0  0.0  0.0  0.0  0.0\n"
        "   3  0  -5000.0  0.0  0.0  0.0  0.0  0.0\n";
    const std::string end = "   0\n CaO_s(s)";
    const std::size_t at = more.find(end);
    ASSERT_NE(at, std::string::npos);
    more.replace(at, 5, extra + "   0\n");
    for (const std::string* text : std::vector<const std::string*>{&as_written, &more}) {
        const System sys = testing::qc_parse(*text);
        const QuasichemModel m(sys, qc_phase(sys, "SLAG"));
        ASSERT_EQ(m.layout().variables, 10);
        check_identities(m, 1600.0, {0.31, 0.12, 0.05, 0.22, 0.4, 0.07, 0.15, 0.09, 0.6, 0.2});
        check_identities(m, 1750.0, {0.5, 0.3, 0.2, 0.4, 0.25, 0.03, 0.1, 0.35, 0.3, 0.15});
        check_end_members(m, 1600.0, {0.4, 0.2, 0.05, 0.3});
    }
}

}  // namespace
}  // namespace eqcore
