// The ionic liquid's model: its remainder's derivatives against
// differences, the thermodynamic identities at vacancy fractions near 0,
// in between and near 1, a second evaluation of the formula-unit energy
// written out term by term, the neutral-record rule, and the limit of a
// second sublattice of vacancies and neutrals, which is a substitutional
// RKMP solution.
#include <cmath>

#include "amount_remainder.hpp"
#include "ionic_util.hpp"
#include "thermo/ionic_liquid.hpp"
#include "thermo/models.hpp"
#include "thermo/phase_props.hpp"
#include "thermo/standard.hpp"

namespace eqcore {
namespace {

using testing::ionic_file;
using testing::phase_named;

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

// The model's own split of record amounts m.
std::vector<double> own(const PhaseModel& model, std::vector<double> m) {
    model.own_split(m);
    return m;
}

using testing_support::amount_remainder;

// The remainder's gradient and Hessian against central differences of its
// value and of its gradient, and its temperature derivatives, at fractions
// w (any split: the solver meets splits that are not the liquid's own).
void check_remainder(const PhaseModel& model, double T, const std::vector<double>& w, const std::string& label) {
    const std::size_t n = w.size();
    std::vector<double> grad(n), hess(n * n);
    const ExcessResult r = model.excess(T, w, grad, hess);
    const double scale = std::max(1.0, std::abs(r.g));
    // Fewer derivatives asked for, or the temperature functions given: the
    // same values.
    std::vector<ParameterT> at_T(model.parameter_count());
    model.parameters(T, at_T);
    std::vector<double> grad_only(n);
    const ExcessResult value_only = model.excess(T, w), first = model.excess(T, w, grad_only, {}, at_T);
    for (const ExcessResult* o : {&value_only, &first}) {
        EXPECT_NEAR(o->g, r.g, 1e-12 * scale) << label;
        EXPECT_NEAR(o->s, r.s, 1e-12 * std::max(1.0, std::abs(r.s))) << label;
        EXPECT_NEAR(o->cp, r.cp, 1e-12 * std::max(1.0, std::abs(r.cp))) << label;
    }
    for (std::size_t i = 0; i < n; ++i) EXPECT_NEAR(grad_only[i], grad[i], 1e-12 * (scale + std::abs(grad[i]))) << label;
    for (std::size_t i = 0; i < n; ++i) {
        const double h = 1e-6 * std::max(w[i], 1e-3);
        std::vector<double> up = w, dn = w;
        up[i] += h;
        dn[i] -= h;
        const double fd = (amount_remainder(model, T, up) - amount_remainder(model, T, dn)) / (2.0 * h);
        EXPECT_NEAR(grad[i], fd, 2e-6 * scale + 1e-4 * std::abs(fd)) << label << " gradient " << i;
        std::vector<double> gu(n), gd(n), wu(n), wd(n);
        double su = 0.0, sd = 0.0;
        for (std::size_t k = 0; k < n; ++k) {
            su += up[k];
            sd += dn[k];
        }
        for (std::size_t k = 0; k < n; ++k) {
            wu[k] = up[k] / su;
            wd[k] = dn[k] / sd;
        }
        model.excess(T, wu, gu);
        model.excess(T, wd, gd);
        for (std::size_t k = 0; k < n; ++k) {
            const double fdh = (gu[k] - gd[k]) / (2.0 * h);
            EXPECT_NEAR(hess[i * n + k], fdh, 1e-5 * scale / std::max(w[i], 1e-3) + 1e-4 * std::abs(fdh))
                << label << " Hessian " << i << "," << k;
            EXPECT_NEAR(hess[i * n + k], hess[k * n + i], 1e-9 * (std::abs(hess[i * n + k]) + scale)) << label;
        }
    }
    const double dT = 1e-3;
    const ExcessResult up = model.excess(T + dT, w), dn = model.excess(T - dT, w);
    EXPECT_NEAR(r.s, -(up.g - dn.g) / (2 * dT), 1e-6 * scale) << label << " S";
    EXPECT_NEAR(r.h, r.g + T * r.s, 1e-9 * scale) << label << " H";
    EXPECT_NEAR(r.cp, (up.h - dn.h) / (2 * dT), 1e-5 * scale) << label << " Cp";
}

struct Liquid {
    System sys;
    int phase;
    std::unique_ptr<PhaseModel> model;
    Liquid(const std::string& file, const std::string& name)
        : sys(read_dat(ionic_file(file))), phase(phase_named(sys, name)), model(make_model(sys, phase)) {}
};

TEST(IonicModel, RemainderDerivativesAtAnySplit) {
    const Liquid i2("ionic_example_2.dat", "LIQUID_I2");
    // Cu+:S-2, Cu+:Va, S (Cu), Ca2+:S-2, Ca2+:Va, S (Ca).
    for (const auto& w : std::vector<std::vector<double>>{{0.3, 0.1, 0.05, 0.25, 0.2, 0.1},
                                                          {0.45, 1e-7, 0.1, 0.35, 2e-7, 0.1},
                                                          {0.01, 0.5, 0.02, 0.01, 0.44, 0.02}})
        check_remainder(*i2.model, 1600.0, w, "I2");
    const Liquid lim("ionic_limit.dat", "LIQ_IONIC");
    check_remainder(*lim.model, 1300.0, {0.2, 0.05, 0.1, 0.02, 0.15, 0.03, 0.05, 0.1, 0.1, 0.05, 0.1, 0.05}, "limit");
}

// G, H, S, Cp and the potentials of the liquid at record amounts n (its own
// split): the identities that hold for any consistent model.
void check_identities(const Liquid& l, double T, const std::vector<double>& n, const std::string& label) {
    const std::size_t k = n.size();
    std::vector<double> mu(k), dmu(k * k);
    const PhaseProps p = phase_props(*l.model, T, kPstd, n, mu, dmu);
    const double scale = std::abs(p.G) + 1.0;
    EXPECT_NEAR(p.G, p.H - T * p.S, 1e-9 * scale) << label;
    const double dT = 1e-3;
    const PhaseProps up = phase_props(*l.model, T + dT, kPstd, n), dn = phase_props(*l.model, T - dT, kPstd, n);
    EXPECT_NEAR(p.S, -(up.G - dn.G) / (2 * dT), 1e-7 * scale) << label;
    EXPECT_NEAR(p.Cp, (up.H - dn.H) / (2 * dT), 1e-6 * scale) << label;
    double sum = 0.0;
    for (std::size_t i = 0; i < k; ++i) sum += n[i] * mu[i];
    EXPECT_NEAR(sum, p.G, 1e-9 * scale) << label << " sum n mu";
    for (std::size_t i = 0; i < k; ++i) {
        // The potential is the derivative of G along the record (any split
        // of the liquid it makes); differences resolve it for the major
        // records (traces: sum n mu above and the remainder's own test).
        if (n[i] < 1e-3) continue;
        const double h = 1e-6 * n[i];
        std::vector<double> a = n, b = n;
        a[i] += h;
        b[i] -= h;
        const double fd = (phase_props(*l.model, T, kPstd, a).G - phase_props(*l.model, T, kPstd, b).G) / (2 * h);
        EXPECT_NEAR(mu[i], fd, 1e-6 * scale) << label << " mu " << i;
        double gd = 0.0;
        for (std::size_t j = 0; j < k; ++j) {
            gd += n[j] * dmu[j * k + i];
            EXPECT_NEAR(dmu[i * k + j], dmu[j * k + i], 1e-8 * (std::abs(dmu[i * k + j]) + scale)) << label;
        }
        EXPECT_NEAR(gd, 0.0, 1e-7 * scale) << label << " Gibbs-Duhem " << i;
    }
}

TEST(IonicModel, IdentitiesWithTheVacancyNearZeroInBetweenAndNearOne) {
    const Liquid i2("ionic_example_2.dat", "LIQUID_I2");
    check_identities(i2, 1600.0, own(*i2.model, {0.4, 1e-9, 0.05, 0.3, 1e-9, 0.05}), "vacancy near 0");
    check_identities(i2, 1600.0, own(*i2.model, {0.2, 0.3, 0.05, 0.1, 0.3, 0.05}), "vacancy in between");
    check_identities(i2, 1600.0, own(*i2.model, {1e-7, 0.6, 1e-7, 1e-7, 0.4, 1e-7}), "vacancy near 1");
    const Liquid lim("ionic_limit.dat", "LIQ_IONIC");
    check_identities(lim, 1300.0,
                     own(*lim.model, {0.2, 0.05, 0.1, 0.02, 0.15, 0.03, 0.05, 0.1, 0.1, 0.05, 0.1, 0.05}), "no anion");
}

// The formula-unit energy of I2 written out from the model's definition,
// term by term, at ion amounts (Cu+, Ca2+, S2-, S) and vacancy amount.
double i2_by_hand(const System& sys, double T, double cu, double ca, double s2, double s, double va) {
    const double R = kR, RT = R * T;
    const double S1 = cu + ca, S2 = s2 + va + s;
    const double yc = cu / S1, ya = ca / S1, yS2 = s2 / S2, yVa = va / S2, yS = s / S2;
    const double Q = yc + 2 * ya, P = 2 * yS2 + Q * yVa;
    EXPECT_NEAR(P * (S2 / Q), S1, 1e-12 * S1);  // the vacancy amount balances the charges
    auto g = [&](int k) { return gibbs0(sys.constituents[sz(k)], T); };
    double G = yc * yS2 * g(0) + Q * yc * yVa * g(1) + ya * yS2 * g(3) + Q * ya * yVa * g(4) + Q * yS * g(2);
    auto xlx = [](double x) { return x > 0 ? x * std::log(x) : 0.0; };
    G += RT * (P * (xlx(yc) + xlx(ya)) + Q * (xlx(yS2) + xlx(yVa) + xlx(yS)));
    G += yc * ya * yS2 * (-20000 + 5000 * (yc - ya));        // Cu,Ca:S-2
    G += Q * yc * ya * yVa * yVa * 15000;                    // Cu,Ca:Va
    G += yc * yS2 * yVa * (10000 - 4000 * (yS2 - yVa));      // Cu:S-2,Va
    G += ya * yS2 * yVa * 40000;                             // Ca:S-2,Va
    G += yc * yS2 * yS * 15000;                              // Cu:S-2,S
    G += Q * yc * yVa * yS * (-20000);                       // Cu:Va,S
    G += yc * ya * yS2 * yVa * (-10000);                     // Cu,Ca:S-2,Va
    G += yc * yS2 * yVa * yS * 5000;                         // Cu:S-2,Va,S
    return (S2 / Q) * G;
}

TEST(IonicModel, FormulaUnitEnergyWrittenOutTermByTerm) {
    const Liquid i2("ionic_example_2.dat", "LIQUID_I2");
    for (const auto& m : std::vector<std::vector<double>>{{0.3, 0.1, 0.05, 0.25, 0.2, 0.1}, {0.4, 1e-6, 0.2, 0.3, 1e-6, 0.1}}) {
        const std::vector<double> n = own(*i2.model, m);
        // Ions of the records: Cu+ 2 per Cu2S, Ca2+ 1 per CaS ...
        const double cu = 2 * n[0] + n[1], ca = 2 * n[3] + n[4], s2 = n[0] + 2 * n[3], s = n[2] + 2 * n[5];
        const double va = (cu + 2 * ca - 2 * s2) / ((cu + 2 * ca) / (cu + ca));
        const double T = 1450.0;
        EXPECT_NEAR(phase_props(*i2.model, T, kPstd, n).G, i2_by_hand(i2.sys, T, cu, ca, s2, s, va), 1e-10 * 3e5);
    }
}

TEST(IonicModel, NeutralRecordIsItsCationsChargeTimesTheNeutral) {
    // The same liquid with Ca2+ listed first: the first copy of S is the
    // record 2 S; its energy and row divided by 2 give the same liquid.
    const Liquid a("ionic_example_2.dat", "LIQUID_I2"), b("ionic_example_2b.dat", "LIQUID_I2");
    const std::vector<double> na = own(*a.model, {0.3, 0.1, 0.05, 0.25, 0.2, 0.1});
    const std::vector<double> nb = {na[3], na[4], na[5], na[0], na[1], na[2]};
    EXPECT_NEAR(phase_props(*a.model, 1600.0, kPstd, na).G, phase_props(*b.model, 1600.0, kPstd, nb).G, 1e-9);
}

TEST(IonicModel, SecondSublatticeOfVacancyAndNeutralsIsASubstitutionalSolution) {
    const Liquid l("ionic_limit.dat", "LIQ_IONIC");
    const int rk = phase_named(l.sys, "LIQ_RK");
    const auto rkmp = make_model(l.sys, rk);
    // Metals A, B, C (records X:Va) and neutrals N1..N3, the latter in the
    // records of any cation (a record of cation X holds nu_X of it).
    const std::vector<double> nu = {1, 2, 3};
    for (const auto& x : std::vector<std::vector<double>>{{0.2, 0.3, 0.1, 0.15, 0.15, 0.1},
                                                          {0.7, 1e-6, 0.05, 0.05, 0.1, 0.1},
                                                          {1e-8, 0.2, 0.3, 0.3, 0.2, 1e-8}}) {
        std::vector<double> m(12, 0.0);
        for (int c = 0; c < 3; ++c) {
            m[sz(4 * c)] = x[sz(c)];
            for (int k = 0; k < 3; ++k) m[sz(4 * c + 1 + k)] = x[sz(3 + k)] / 3.0 / nu[sz(c)];
        }
        for (double T : {900.0, 1700.0}) {
            std::vector<double> mu_i(12), mu_r(6);
            const PhaseProps pi = phase_props(*l.model, T, kPstd, m, mu_i);
            const PhaseProps pr = phase_props(*rkmp, T, kPstd, x, mu_r);
            const double scale = std::abs(pr.G) + 1e3;
            EXPECT_NEAR(pi.G, pr.G, 1e-10 * scale);
            EXPECT_NEAR(pi.H, pr.H, 1e-10 * scale);
            EXPECT_NEAR(pi.S, pr.S, 1e-10 * scale);
            EXPECT_NEAR(pi.Cp, pr.Cp, 1e-9 * std::abs(pr.Cp));
            for (int c = 0; c < 3; ++c) {
                EXPECT_NEAR(mu_i[sz(4 * c)], mu_r[sz(c)], 1e-10 * scale);
                for (int k = 0; k < 3; ++k) EXPECT_NEAR(mu_i[sz(4 * c + 1 + k)], nu[sz(c)] * mu_r[sz(3 + k)], 1e-10 * scale);
            }
        }
    }
}

}  // namespace
}  // namespace eqcore
