// The ionic liquid's layered evaluation (closed-form site derivatives,
// small jets per excess term) against a second evaluation that carries the
// whole liquid function as one dense jet in all ion amounts: G, H, S, Cp,
// the gradient and the full Hessian at random compositions of every ionic
// liquid of the test files, majors, traces of 1e-9, exact zeros, and the
// vacancy fraction near 0, near 1 and in between; and the values-only and
// gradient-only evaluations against the full one. ionic_melt_reciprocal.dat
// holds a reciprocal term of order 3, whose powers of the fraction
// differences no other file reaches.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <random>

#include "ionic_reference_eval.hpp"
#include "ionic_util.hpp"
#include "thermo/models.hpp"

namespace eqcore {
namespace {

struct Sample {
    std::string label;
    std::vector<double> w;
};

// Record amounts of one of six kinds: all majors, traces, exact zeros,
// vacancy records at traces (vacancy fraction near 0), everything but the
// vacancy records at traces (near 1), one record alone.
Sample composition(const IonicLiquid& q, int kind, std::mt19937& rng) {
    std::uniform_real_distribution<double> U(0.0, 1.0);
    const std::size_t nr = q.record_site2.size();
    std::vector<double> w(nr);
    for (std::size_t e = 0; e < nr; ++e) {
        const bool va = q.record_site2[e] == q.vacancy;
        double x = 0.05 + U(rng);
        if (kind == 1 && U(rng) < 0.4) x *= 1e-9;
        if (kind == 2 && U(rng) < 0.35) x = 0.0;
        if (kind == 3 && va) x *= 1e-9;
        if (kind == 4 && !va) x *= 1e-9;
        w[e] = x;
    }
    double total = 0.0;
    for (double x : w) total += x;
    if (kind == 5 || total == 0.0) {
        std::fill(w.begin(), w.end(), 0.0);
        w[static_cast<std::size_t>(rng() % nr)] = 1.0;
    }
    static const char* names[] = {"majors", "traces", "zeros", "vacancy near 0", "vacancy near 1", "one record"};
    return {names[kind], w};
}

// Entry-wise comparison, 1e-12 relative: the gradient on the scale of RT and
// the record energies, each Hessian entry on the scale of the terms that
// cancel in it. Where the cations are a trace beside the rest (a vacancy
// trace with no anion) both evaluations lose digits in proportion, and the
// tolerance follows.
void compare(const IonicLiquidModel& model, double T, const Sample& s, const std::string& where) {
    const PhaseModel& pm = model;  // the interface's defaults for the derivatives left out
    const std::size_t n = s.w.size();
    std::vector<double> g(n), h(n * n), gr(n), hr(n * n);
    const ExcessResult r = pm.excess(T, s.w, g, h);
    const ExcessResult ref = testing::reference_ionic_excess(model, T, s.w, gr, hr);
    const std::string at = where + " " + s.label;
    std::vector<ParameterT> p(model.parameter_count());
    model.parameters(T, p);
    double scale = kR * T;
    for (std::size_t e = 0; e < n; ++e) scale = std::max(scale, std::abs(p[e].v));
    const testing::Conditioning cond = testing::reference_conditioning(model, T, s.w);
    const double tol = 1e-12 * std::max(1.0, 1e-3 / cond.cation_share);
    EXPECT_NEAR(r.g, ref.g, tol * scale) << at << " G";
    EXPECT_NEAR(r.h, ref.h, tol * scale) << at << " H";
    EXPECT_NEAR(r.s, ref.s, tol * scale / T) << at << " S";
    EXPECT_NEAR(r.cp, ref.cp, tol * (scale / T + std::abs(ref.cp))) << at << " Cp";
    for (std::size_t e = 0; e < n; ++e) EXPECT_NEAR(g[e], gr[e], tol * (scale + std::abs(gr[e]))) << at << " grad " << e;
    for (std::size_t e = 0; e < n; ++e)
        for (std::size_t f = 0; f < n; ++f) {
            const double d = std::sqrt(cond.record_scale[e] * cond.record_scale[f]);
            EXPECT_NEAR(h[e * n + f], hr[e * n + f], tol * (d + std::abs(hr[e * n + f]) + kR * T))
                << at << " hess " << e << "," << f;
        }
    // Fewer derivatives asked for: the same values, the same gradient.
    std::vector<double> g1(n);
    const ExcessResult v0 = pm.excess(T, s.w), v1 = pm.excess(T, s.w, g1);
    EXPECT_EQ(v0.g, r.g) << at;
    EXPECT_EQ(v0.cp, r.cp) << at;
    EXPECT_EQ(v1.s, r.s) << at;
    for (std::size_t e = 0; e < n; ++e) EXPECT_EQ(g1[e], g[e]) << at << " gradient-only " << e;
}

TEST(IonicEvaluation, EqualsTheDenseJetEvaluationOnEveryLiquid) {
    int liquids = 0;
    for (const auto& entry : std::filesystem::directory_iterator(EQCORE_IONIC_TEST_DIR)) {
        if (entry.path().extension() != ".dat") continue;
        System sys;
        try {
            sys = read_dat(entry.path().string());
        } catch (const std::exception&) {
            continue;  // files kept to test the reader's rejections
        }
        for (int p = 0; p < sys.phase_count(); ++p) {
            if (!sys.phases[static_cast<std::size_t>(p)].ionic) continue;
            const auto model = make_model(sys, p);
            const auto& liquid = dynamic_cast<const IonicLiquidModel&>(*model);
            ++liquids;
            std::mt19937 rng(11);
            for (int trial = 0; trial < 36; ++trial) {
                const double T = 700.0 + 60.0 * trial;
                compare(liquid, T, composition(liquid.data(), trial % 6, rng),
                        entry.path().filename().string() + " " + sys.phases[static_cast<std::size_t>(p)].name +
                            " T=" + std::to_string(T));
            }
        }
    }
    EXPECT_GE(liquids, 9);
}

}  // namespace
}  // namespace eqcore
