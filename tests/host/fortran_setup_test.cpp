// Setting a run up through the Fortran-convention routines: fields read only
// up to their hidden lengths (blank-padded, not NUL-terminated), failures
// returned as IERR 1 with the reason, nothing thrown.
#include "fortran_setup.hpp"

#include <array>
#include <string>

#include "host_services.hpp"
#include "host_test_support.hpp"

namespace {

using ftn::Int;

// A blank-padded field of n characters, as a Fortran caller passes it.
std::string field(const std::string& text, std::size_t n) {
    return text + std::string(n - text.size(), ' ');
}

std::string reason() {
    std::array<char, 120> text{};
    ELVAR_ERRTXT(text.data(), text.size());
    return std::string(ftn::trim_right({text.data(), text.size()}));
}

class FortranSetup : public host_test::InTempDir {
  protected:
    void TearDown() override {
        ELVAR_ENDRUN();
        host_test::InTempDir::TearDown();
    }
};

TEST_F(FortranSetup, DescribesStartsAndPreparesARun) {
    const std::string name = field("FSETUP", 12);
    ELVAR_NEWRUN(name.data(), name.size());
    const std::string id = field("CH4", 8), comp = field("CH4:G1", 32), formula = field("CH4", 32);
    ELVAR_ADDCMP(id.data(), comp.data(), formula.data(), id.size(), comp.size(), formula.size());
    const std::string id2 = field("O2", 8), comp2 = field("O2:G1", 32), formula2 = field("O2", 32);
    ELVAR_ADDCMP(id2.data(), comp2.data(), formula2.data(), id2.size(), comp2.size(),
                 formula2.size());
    const std::string set = field("EQCORE", 16), base = field("", 16);
    ELVAR_ADDOPT(set.data(), base.data(), set.size(), base.size());
    const Int neq = 1;
    const double coef[2] = {-1.0, -2.0};
    Int ierr = -1;
    ELVAR_ADDCHM(&neq, coef, &ierr);
    EXPECT_EQ(ierr, 0);
    ELVAR_START(&ierr);
    ASSERT_EQ(ierr, 0) << reason();
    EXPECT_EQ(DMS_NCOMP[0].i(), 2);

    Int option = 0, chem = 0;
    ELVAR_OPTSET(set.data(), &option, &ierr, set.size());
    EXPECT_EQ(ierr, 0);
    EXPECT_GT(option, 0);
    const Int first = 1;
    ELVAR_CHEMID(&first, &chem, &ierr);
    EXPECT_EQ(ierr, 0);
    EXPECT_GT(chem, 0);

    // Two products in fields of 70 characters, the block's ID in 8.
    const std::string products = field("GAS", 70) + field("CH4", 70);
    const std::string block = field("B7", 8);
    const Int level = 3, nprod = 2;
    ELVAR_BLOCK(block.data(), &level, &nprod, products.data(), &ierr, block.size(), 70);
    EXPECT_EQ(ierr, 0);
    Int count = 0, length = 0;
    USRUTL_NUMSTR(&count);
    EXPECT_EQ(count, 2);
    std::array<char, 70> got{};
    const Int second = 2;
    USRUTL_GETCSTR(&second, got.data(), &length, got.size());
    EXPECT_EQ(std::string(got.data(), 3), "CH4");
    EXPECT_EQ(length, 3);
    EXPECT_EQ(PPEXEC_USER[6].i(), 3);

    const double T = 1000.0, P = 1.0e5, duty = 1.0e35;
    ELVAR_FLASHC(&T, &P, &duty, &ierr);
    EXPECT_EQ(ierr, 0);
    EXPECT_EQ(DMS_STWKWK[18].r(), 1000.0);
}

TEST_F(FortranSetup, FailuresComeBackWithTheirReason) {
    Int ierr = -1;
    const std::string blank = field("", 8);
    ELVAR_NEWRUN(blank.data(), blank.size());
    ELVAR_START(&ierr);  // no case name, so no report file
    EXPECT_EQ(ierr, 1);
    EXPECT_NE(reason().find("case_name"), std::string::npos) << reason();

    const std::string name = field("FSETUP", 6);
    ELVAR_NEWRUN(name.data(), name.size());
    const std::string id = field("XX", 8), comp = field("XX:G1", 32), formula = field("Qz9", 32);
    ELVAR_ADDCMP(id.data(), comp.data(), formula.data(), id.size(), comp.size(), formula.size());
    ELVAR_START(&ierr);
    EXPECT_EQ(ierr, 1);
    EXPECT_NE(reason().find("component 1 (XX)"), std::string::npos) << reason();

    // Nothing to prepare before a run is started.
    const Int nlist = 1, msglev = 4;
    ELVAR_PROPRQ(&nlist, &msglev, &ierr);
    EXPECT_EQ(ierr, 1);
    EXPECT_NE(reason().find("no host run is open"), std::string::npos) << reason();

    ELVAR_NEWRUN(name.data(), name.size());
    const std::string good = field("Ar", 32);
    ELVAR_ADDCMP(id.data(), comp.data(), good.data(), id.size(), comp.size(), good.size());
    ELVAR_START(&ierr);
    ASSERT_EQ(ierr, 0) << reason();
    EXPECT_EQ(reason(), "");
    ELVAR_START(&ierr);  // one run at a time
    EXPECT_EQ(ierr, 1);
    EXPECT_NE(reason().find("still open"), std::string::npos) << reason();
    const Int none = 0;
    Int id_out = -5;
    ELVAR_CHEMID(&none, &id_out, &ierr);
    EXPECT_EQ(ierr, 1);
    const std::string unknown = field("NOSUCH", 16);
    ELVAR_OPTSET(unknown.data(), &id_out, &ierr, unknown.size());
    EXPECT_EQ(ierr, 1);
    EXPECT_NE(reason().find("NOSUCH"), std::string::npos) << reason();
}

}  // namespace
