// The factory and the layouts of the substitutional models: every model a
// System can carry is built, an unknown one is refused naming the phase; a
// model's variables are its constituents with their rows and volumes, in
// one group, and amounts and standard values pass through unchanged.
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "data/read_dat.hpp"
#include "test_util.hpp"
#include "thermo/excess.hpp"
#include "thermo/models.hpp"
#include "thermo/phase_props.hpp"

namespace eqcore {
namespace {

TEST(ModelFactory, EveryPhaseOfTheModelFileGetsItsModel) {
    const System sys = read_dat(testing::test_data("models.dat"));
    const PhaseModels models(sys);
    ASSERT_EQ(models.size(), sys.phase_count());
    for (int p = 0; p < sys.phase_count(); ++p) {
        const Phase& ph = sys.phases[static_cast<std::size_t>(p)];
        const ModelLayout& l = models[p].layout();
        SCOPED_TRACE(ph.name);
        EXPECT_EQ(models[p].phase_name(), ph.name);
        EXPECT_EQ(l.gas, ph.model == Model::ideal_gas);
        EXPECT_EQ(l.pure, ph.model == Model::pure);
        EXPECT_EQ(l.ideal, ph.model != Model::rkmp && ph.model != Model::qkto);
        // Substitutional layout: the constituents themselves, one group of
        // one site, their element rows and molar volumes.
        EXPECT_TRUE(l.identity);
        ASSERT_EQ(l.variables, ph.count);
        ASSERT_EQ(l.constituents(), ph.count);
        EXPECT_EQ(l.groups(), 1);
        EXPECT_EQ(l.formula_sites(), 1.0);
        for (int k = 0; k < ph.count; ++k) {
            const Constituent& c = sys.constituent(p, k);
            for (int j = 0; j < sys.element_count(); ++j) EXPECT_EQ(l.row_of(k)[j], c.stoich[static_cast<std::size_t>(j)]);
            EXPECT_EQ(l.volume[static_cast<std::size_t>(k)], c.molar_volume);
        }
    }
}

TEST(ModelFactory, AModelWithoutImplementationIsRefusedNamingPhaseAndCode) {
    System sys = read_dat(testing::test_data("models.dat"));
    sys.phases[1].model = static_cast<Model>(57);
    try {
        make_model(sys, 1);
        FAIL() << "no error";
    } catch (const std::invalid_argument& e) {
        const std::string what = e.what();
        EXPECT_NE(what.find(sys.phases[1].name), std::string::npos) << what;
        EXPECT_NE(what.find(sys.phases[1].model_code), std::string::npos) << what;
    }
    EXPECT_THROW(PhaseModels{sys}, std::invalid_argument);
    EXPECT_THROW(make_model(sys, sys.phase_count()), std::out_of_range);
}

TEST(ModelFactory, ModelsStayValidWhenTheSystemIsGone) {
    // A model keeps copies of what it needs.
    std::unique_ptr<PhaseModel> liquid;
    const std::vector<double> n = {0.6, 0.4};
    double G = 0.0;
    {
        const System sys = testing::load("ag-cu-example.dat");
        liquid = make_model(sys, 1);
        G = phase_props(sys, 1, 1400.0, 1e5, n).G;
    }
    EXPECT_EQ(phase_props(*liquid, 1400.0, 1e5, n).G, G);
}

TEST(ModelLayoutMaps, IdentityAmountsAndStandardValuesPassThrough) {
    const System sys = testing::load("c-h-o-n.dat");
    const auto gas = make_model(sys, 0);
    const std::size_t m = static_cast<std::size_t>(gas->layout().variables);
    std::vector<double> n(m), v(m), back(m);
    for (std::size_t i = 0; i < m; ++i) n[i] = 0.1 * static_cast<double>(i + 1);
    gas->internal_amounts(n, v);
    gas->constituent_amounts(v, back);
    EXPECT_EQ(v, n);
    EXPECT_EQ(back, n);
    std::vector<StandardProps> all(m), some(2);
    const std::vector<int> which = {3, 1};
    gas->standard(1234.0, std::log(1234.0), {}, all);
    gas->standard(1234.0, std::log(1234.0), which, some);
    EXPECT_EQ(some[0].g, all[3].g);
    EXPECT_EQ(some[1].h, all[1].h);
    EXPECT_EQ(all[2].g, standard(sys.constituent(0, 2), 1234.0).g);
}

TEST(ModelLayoutMaps, ExcessParametersAreTheRecordsCoefficientSetsAtT) {
    const System sys = read_dat(testing::test_data("models.dat"));
    for (int p = 0; p < sys.phase_count(); ++p) {
        const Phase& ph = sys.phases[static_cast<std::size_t>(p)];
        const auto model = make_model(sys, p);
        std::vector<std::array<double, 6>> sets;
        for (const Interaction& in : ph.excess) sets.insert(sets.end(), in.sets.begin(), in.sets.end());
        ASSERT_EQ(model->parameter_count(), ph.model == Model::rkmp || ph.model == Model::qkto ? sets.size() : 0U) << ph.name;
        std::vector<ParameterT> at(model->parameter_count());
        model->parameters(1234.0, at);
        for (std::size_t k = 0; k < at.size(); ++k) EXPECT_EQ(at[k].v, parameter_value(sets[k], 1234.0)) << ph.name << " " << k;
    }
}

// A caller that holds a model's parameters at T (the solver, once per
// temperature) passes them to evaluate: the properties are those evaluated
// without them, to the last bit, for every mixture of the sublattice,
// substitutional, quasichemical and ionic files (magnetic phases and
// reciprocal records included).
// Another temperature's parameters, where they differ, give other
// properties: they are used.
TEST(ModelLayoutMaps, PropertiesWithTheParametersHeldAtTAreTheModelsOwn) {
    int compared = 0;
    for (const std::string file :
         {"zr-h.dat", "fe-c.dat", "al-mg.dat", "ag-cu-example.dat", "hard/hard-quaternary.dat",
          "../tests/eqcore_quasichem/data/qc_slag.dat", "../tests/eqcore_ionic/data/ionic_melt.dat"}) {
        const System sys = testing::load(file);
        for (int p = 0; p < sys.phase_count(); ++p) {
            const auto model = make_model(sys, p);
            const ModelLayout& l = model->layout();
            if (l.pure || model->parameter_count() == 0) continue;
            SCOPED_TRACE(file + " " + model->phase_name());
            std::vector<double> v(static_cast<std::size_t>(l.variables));
            for (std::size_t i = 0; i < v.size(); ++i)
                v[i] = 0.2 + 0.37 * static_cast<double>(i % 3) + 0.05 * static_cast<double>(i);
            for (const double T : {450.0, 1273.15}) {
                std::vector<ParameterT> at(model->parameter_count()), other(model->parameter_count());
                model->parameters(T, at);
                model->parameters(T + 200.0, other);
                const PhaseProps own = evaluate(*model, T, 1e5, v);
                const PhaseProps held = evaluate(*model, T, 1e5, v, {}, {}, {}, {}, at);
                EXPECT_EQ(held.G, own.G);
                EXPECT_EQ(held.H, own.H);
                EXPECT_EQ(held.S, own.S);
                EXPECT_EQ(held.Cp, own.Cp);
                bool moves = false;  // a record's value changes with T
                for (std::size_t k = 0; k < at.size(); ++k) moves = moves || at[k].v != other[k].v;
                if (moves) {
                    EXPECT_NE(evaluate(*model, T, 1e5, v, {}, {}, {}, {}, other).G, own.G);
                }
                ++compared;
            }
        }
    }
    EXPECT_GE(compared, 20);
}

TEST(ModelLayoutMaps, ReplacingAModelInASet) {
    const System sys = testing::load("ag-cu-example.dat");
    PhaseModels models(sys);
    models.replace(1, make_model(sys, 2));
    EXPECT_EQ(models[1].phase_name(), sys.phases[2].name);
    EXPECT_THROW(models.replace(7, make_model(sys, 2)), std::out_of_range);
}

}  // namespace
}  // namespace eqcore
