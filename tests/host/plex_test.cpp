// What the plug-in reads from the host's plex, read back through exactly
// the formulas the plug-in uses (written out here, independently of the
// host's own layout code): component names and IDs, molecular weights, atom
// slots, the component identifiers, option sets, the flash work arrays and
// the chemistry matrices.
#include <string>

#include "callable.hpp"
#include "host_services.hpp"
#include "host_test_support.hpp"

namespace {

using ftn::Int;

Int L(Int record) { return DMS_LOCATI(&record); }
const ftn::Word& W(Int n) { return DMS_PLEX[n - 1]; }
Int WI(Int n) { return W(n).i(); }
double WR(Int n) { return W(n).r(); }
// Text of `count` words of 4 characters each (each word: 4 characters, 4 blanks).
std::string text4(Int first, Int count) {
    std::string s;
    for (Int k = 0; k < count; ++k) {
        EXPECT_EQ(W(first + k).chars().substr(4), "    ") << "word " << first + k;
        s += W(first + k).chars().substr(0, 4);
    }
    return s;
}
Int ifcmnc(const std::string& name) {
    const Int len = static_cast<Int>(name.size());
    return DMS_IFCMNC(name.data(), &len, name.size());
}
std::string padded(const std::string& s, std::size_t n) { return s + std::string(n - s.size(), ' '); }

class Plex : public host_test::InTempDir {};

TEST_F(Plex, ComponentNamesAndIdsThroughTheMappingFormulas) {
    elvar::Run run(host_test::small_run());
    const Int ncomp = DMS_NCOMP[0].i();
    ASSERT_EQ(ncomp, 5);
    // G = L(2), C = L(word L(word G+199) + 28), D = L(word G+20);
    // component i: e = word D + 6i, name = words C + 8(e-1) .. +7.
    const Int G = L(2);
    const Int C = L(WI(L(WI(G + 199)) + 28));
    const Int D = L(WI(G + 20));
    const Int I = ifcmnc("IDSCC");
    ASSERT_GT(I, 0);
    const char* names[] = {"CH4:G1", "O2:G1", "CO2:G1", "H2O:L1", "AL2O3:S1"};
    const char* ids[] = {"CH4", "O2", "CO2", "H2O", "AL2O3"};
    for (Int i = 1; i <= ncomp; ++i) {
        const Int e = WI(D + 6 * i);
        EXPECT_EQ(text4(C + 8 * (e - 1), 8), padded(names[i - 1], 32)) << "component " << i;
        EXPECT_EQ(text4(I + 2 * i - 1, 2), padded(ids[i - 1], 8)) << "component " << i;
        // The identifiers at DMS_IPOFF4 word 2, as the flash and the solid
        // enthalpy routine print them.
        EXPECT_EQ(text4(DMS_IPOFF4[1].i() + 2 * i - 1, 2), padded(ids[i - 1], 8));
    }
}

TEST_F(Plex, MolecularWeightsAtomSlotsAndFormulas) {
    elvar::RunSetup setup = host_test::small_run();
    setup.components.push_back({"FEO", "FEO:SLAG", "Fe0.947O", 71.8444});  // given, not computed
    elvar::Run run(setup);
    const Int mw = ifcmnc("MW");
    // Hand-computed from the 2007 standard atomic weights.
    const double expected_mw[] = {16.04246, 31.9988, 44.0095, 18.01528, 101.9612772, 71.8444};
    for (Int k = 1; k <= 6; ++k) EXPECT_NEAR(WR(mw + k), expected_mw[k - 1], 1e-9) << k;

    // Slot s of component k: word loc + 12(k-1) + s, stored as reals.
    const Int atomno = ifcmnc("ATOMNO");
    const Int noatom = ifcmnc("NOATOM");
    auto slot = [&](Int loc, Int k, Int s) { return WR(loc + 12 * (k - 1) + s); };
    EXPECT_EQ(slot(atomno, 1, 1), 6.0);   // CH4: C x1, H x4
    EXPECT_EQ(slot(noatom, 1, 1), 1.0);
    EXPECT_EQ(slot(atomno, 1, 2), 1.0);
    EXPECT_EQ(slot(noatom, 1, 2), 4.0);
    EXPECT_EQ(slot(atomno, 1, 3), 0.0);
    EXPECT_EQ(slot(atomno, 5, 1), 13.0);  // AL2O3: Al x2, O x3
    EXPECT_EQ(slot(noatom, 5, 1), 2.0);
    EXPECT_EQ(slot(atomno, 5, 2), 8.0);
    EXPECT_EQ(slot(noatom, 5, 2), 3.0);
    EXPECT_EQ(slot(atomno, 6, 1), 26.0);  // Fe0.947O
    EXPECT_DOUBLE_EQ(slot(noatom, 6, 1), 0.947);
    for (Int s = 3; s <= 12; ++s) EXPECT_EQ(slot(atomno, 6, s), 0.0);

    const Int frmula = ifcmnc("FRMULA");
    EXPECT_EQ(text4(frmula + 8 * 5 + 1, 8), padded("Fe0.947O", 32));
    EXPECT_EQ(ifcmnc("TC"), 0);
    // Only text(1:length) counts: "MW" out of a longer field.
    const std::string field = "MWXXXX";
    const Int two = 2;
    EXPECT_EQ(DMS_IFCMNC(field.data(), &two, field.size()), mw);
}

// The option-set check as the plug-in makes it: the set's own name, then the
// definition list (word L(2) + 124).
Int chkopt(Int optset) {
    if (optset == 0) return 0;
    const std::string eq = "EQCORE  ", blank8(8, ' ');
    const Int os = L(optset);
    if (W(os).chars() == eq && W(os + 1).chars() == blank8) return 1;
    const Int list = WI(L(2) + 124);
    if (list == 0) return 0;
    const Int m = WI(L(list));
    for (Int j = 1; j <= m; ++j) {
        const Int d = WI(L(list) + j);
        if (d == 0) continue;
        const Int n = WI(L(d));
        if (!(n > 0 && n < DMS_GLOBAL[7].i())) continue;
        for (Int r = 1; r <= n; ++r)
            if (W(L(d) + 5 * r - 1).chars() == W(os).chars() &&
                W(L(d) + 5 * r).chars() == W(os + 1).chars() &&
                W(L(d) + 5 * r + 1).chars() == eq && W(L(d) + 5 * r + 2).chars() == blank8)
                return 1;
    }
    return 0;
}

TEST_F(Plex, OptionSetsOwnAndDerived) {
    elvar::RunSetup setup = host_test::small_run();
    setup.option_sets = {{"EQCORE", ""},
                        {"IDEAL", ""},
                        {"MYEQCORE-SLAG-01", "EQCORE"},  // sixteen characters
                        {"MYIDEAL", "IDEAL"},
                        {"MYEQ2", "EQCORE"}};
    elvar::Run run(setup);
    EXPECT_EQ(chkopt(run.option_set("EQCORE")), 1);
    EXPECT_EQ(chkopt(run.option_set("MYEQCORE-SLAG-01")), 1);
    EXPECT_EQ(chkopt(run.option_set("MYEQ2")), 1);
    EXPECT_EQ(chkopt(run.option_set("IDEAL")), 0);
    EXPECT_EQ(chkopt(run.option_set("MYIDEAL")), 0);
    // The name is two words of eight characters.
    const Int os = L(run.option_set("MYEQCORE-SLAG-01"));
    EXPECT_EQ(W(os).chars(), "MYEQCORE");
    EXPECT_EQ(W(os + 1).chars(), "-SLAG-01");
}

TEST_F(Plex, NoDerivedOptionSetsMeansAnEmptyList) {
    elvar::RunSetup setup = host_test::small_run();
    setup.option_sets = {{"IDEAL", ""}};
    elvar::Run run(setup);
    EXPECT_EQ(WI(L(2) + 124), 0);
    EXPECT_EQ(chkopt(run.option_set("IDEAL")), 0);
}

TEST_F(Plex, UnknownRecordsReadAsZeros) {
    elvar::Run run(host_test::small_run());
    for (Int id : {0, 1, 3, 999999, -5}) {
        const Int at = L(id);
        ASSERT_GE(at, 1);
        for (Int k = 0; k < 200; ++k) EXPECT_EQ(WI(at + k), 0) << "record " << id;
    }
}

TEST_F(Plex, FlashWorkArraysAreDisjointAndLeaveTheRecordsAlone) {
    elvar::Run run(host_test::small_run());
    const Int n = run.ncomp();
    const Int rbase = DMS_STWKWK[0].i(), ibase = DMS_STWKWK[1].i();
    const int real_words[] = {15, 16, 19, 20, 21};
    const int int_words[] = {26, 27, 28};
    // Fill every element k of every array with its own tag ...
    Int tag = 1;
    for (int w : real_words)
        for (Int k = 1; k <= n; ++k) DMS_PLEX[rbase + SHS_STWORK[w - 1].i() + k - 1 - 1].set_r(static_cast<double>(tag++));
    for (int w : int_words)
        for (Int k = 1; k <= n; ++k) DMS_PLEX[ibase + SHS_STWORK[w - 1].i() + k - 1 - 1].set_i(tag++);
    // ... and find each tag where it was put: no two elements share a word.
    tag = 1;
    for (int w : real_words)
        for (Int k = 1; k <= n; ++k) EXPECT_EQ(WR(rbase + SHS_STWORK[w - 1].i() + k - 1), static_cast<double>(tag++));
    for (int w : int_words)
        for (Int k = 1; k <= n; ++k) EXPECT_EQ(WI(ibase + SHS_STWORK[w - 1].i() + k - 1), tag++);
    // The component data are untouched.
    const Int I = ifcmnc("IDSCC");
    EXPECT_EQ(text4(I + 1, 2), padded("CH4", 8));
    EXPECT_NEAR(WR(ifcmnc("MW") + 5), 101.9612772, 1e-9);
}

TEST_F(Plex, ChemistryMatricesThroughTheCallRegistry) {
    elvar::RunSetup setup = host_test::small_run();
    setup.chemistries = {
        {{{{"CH4", -1.0}, {"O2", -2.0}, {"CO2", 1.0}, {"H2O", 2.0}}}},
        {{{{"O2", 1.0}}, {{"AL2O3", 0.5}, {"CH4", 3.0}}}},
    };
    elvar::Run run(setup);
    const std::string module = "PPFLASH ", routine = "FLSH_CHMINF";
    Int status = -1, handle = 0;
    DMS_FINDFUN(module.data(), routine.data(), &status, &handle, module.size(), routine.size());
    ASSERT_EQ(status, 0);
    ASSERT_NE(handle, 0);

    const Int n = run.ncomp();
    const double expected[2][2][5] = {{{-1, -2, 1, 2, 0}, {}}, {{0, 1, 0, 0, 0}, {3, 0, 0, 0, 0.5}}};
    const Int neqs[] = {1, 2};
    for (int c = 0; c < 2; ++c) {
        Int id = run.chemistry(static_cast<std::size_t>(c));
        Int r[11];
        for (Int& v : r) v = -7;
        Int scratch = 42;
        DMS_DOCALL_20(&handle, &id, &r[0], &r[1], &r[2], &r[3], &r[4], &r[5], &r[6], &r[7], &r[8],
                      &r[9], &r[10], &scratch, &scratch, &scratch, &scratch, &scratch, &scratch,
                      &scratch, &scratch);
        const Int lchmat = r[9], nchreq = r[10];
        ASSERT_EQ(nchreq, neqs[c]);
        EXPECT_EQ(scratch, 42);
        // Coefficient of component J in equation I: word LCHMAT + (I-1) NCOMP + J - 1.
        for (Int i = 1; i <= nchreq; ++i)
            for (Int j = 1; j <= n; ++j)
                EXPECT_EQ(WR(lchmat + (i - 1) * n + j - 1), expected[c][i - 1][j - 1])
                    << "chemistry " << c << " equation " << i << " component " << j;
    }
    // An unknown chemistry: no equations.
    Int unknown = 12345, r[11], s = 0;
    DMS_DOCALL_20(&handle, &unknown, &r[0], &r[1], &r[2], &r[3], &r[4], &r[5], &r[6], &r[7], &r[8],
                  &r[9], &r[10], &s, &s, &s, &s, &s, &s, &s, &s);
    EXPECT_EQ(r[10], 0);
    // An unknown routine: status 1, handle 0; calling handle 0 does nothing.
    const std::string other = "NOSUCH";
    DMS_FINDFUN(module.data(), other.data(), &status, &handle, module.size(), other.size());
    EXPECT_EQ(status, 1);
    EXPECT_EQ(handle, 0);
    r[10] = -3;
    DMS_DOCALL_20(&handle, &unknown, &r[0], &r[1], &r[2], &r[3], &r[4], &r[5], &r[6], &r[7], &r[8],
                  &r[9], &r[10], &s, &s, &s, &s, &s, &s, &s, &s);
    EXPECT_EQ(r[10], -3);
}

TEST_F(Plex, ASetUpThatDoesNotFitIsRefused) {
    elvar::RunSetup setup;
    setup.terminal = elvar::TerminalMode::capture;
    for (int k = 0; k < 6000; ++k) {
        std::string id = std::to_string(k);
        id.insert(id.begin(), 'C');
        setup.components.push_back({id, "H2O:G1", "H2O", {}});
    }
    try {
        elvar::Run run(setup);
        FAIL() << "a run of 6000 components fits";
    } catch (const elvar::SetupError& e) {
        EXPECT_NE(std::string(e.what()).find("plex"), std::string::npos) << e.what();
    }
    // The failed set-up leaves no run open.
    elvar::Run next(host_test::small_run());
    EXPECT_EQ(next.ncomp(), 5);
}

}  // namespace
