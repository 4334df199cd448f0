// Binary data files through the entry points: ECOPBN + ECRDBN load what the
// text file holds, ECBHDR returns the header, damage is a clear error.
#include "data/cst.hpp"
#include "data/read_dat.hpp"
#include "ec_calls.hpp"

#include <sstream>

namespace ectest {
namespace {

Int ecopbn(std::string name, Int unit) {
    Int e = -1;
    PPSTUB_ECOPBN(name.data(), &unit, &e, name.size());
    return e;
}
Int ecrdbn() {
    Int e = -1;
    PPSTUB_ECRDBN(&e);
    return e;
}
Int load_binary(const std::string& path) {
    EXPECT_EQ(ecsio("file", 70), 0);
    const Int open = ecopbn(field(path, 256), 70);
    if (open != 0) return open;
    const Int read = ecrdbn();
    ecclos(70);
    return read;
}

struct Header {
    Int format = -1;
    std::string writer = std::string(40, '?');
    Int wver[3] = {-1, -1, -1}, minver[3] = {-1, -1, -1}, date[6] = {-1, -1, -1, -1, -1, -1};
    std::string remarks = std::string(80, '?');
    Int status = -1;
};
Header ecbhdr() {
    Header h;
    PPSTUB_ECBHDR(&h.format, h.writer.data(), h.wver, h.minver, h.date, h.remarks.data(), &h.status,
                  h.writer.size(), h.remarks.size());
    return h;
}

class BinaryFiles : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        header_.writer = "eqlink compile";
        header_.writer_version = {1, 2, 3};
        header_.min_reader_version = {1, 0, 0};
        header_.created = {2026, 12, 6, 9, 5, 30};
        header_.remarks = "Ag-Cu example, compiled for the session tests";
        cst_ = (dir_ / "ag-cu.cst").string();
        eqcore::write_cst(eqcore::read_dat(example("ag-cu-example.dat")), header_, cst_);
    }
    eqcore::CstHeader header_;
    std::string cst_;
};

TEST_F(BinaryFiles, LoadsTheSystemAndReportsItsHeader) {
    ASSERT_EQ(load_binary(cst_), 0);
    Int n = -1, e = -1;
    PPSTUB_ECNPH(&n, &e);
    EXPECT_EQ(n, 4);
    const std::string key = field("LIQUID", 24);
    PPSTUB_ECPIX(key.data(), &n, &e, key.size());
    EXPECT_EQ(n, 2);
    const Header h = ecbhdr();
    ASSERT_EQ(h.status, 0);
    EXPECT_EQ(h.format, eqcore::kCstFormatVersion);
    EXPECT_EQ(h.writer, field("eqlink compile", 40));
    EXPECT_EQ(std::vector<Int>(h.wver, h.wver + 3), (std::vector<Int>{1, 2, 3}));
    EXPECT_EQ(std::vector<Int>(h.minver, h.minver + 3), (std::vector<Int>{1, 0, 0}));
    EXPECT_EQ(std::vector<Int>(h.date, h.date + 6), (std::vector<Int>{2026, 12, 6, 9, 5, 30}));
    EXPECT_EQ(h.remarks, field("Ag-Cu example, compiled for the session tests", 80));
    // A stream gives the same value as from the text file.
    ASSERT_EQ(ecstdf("S", 1100.0, 3.0), 0);
    ASSERT_EQ(ecstam("S", 2, 1, 0.6), 0);
    ASSERT_EQ(ecstam("S", 2, 2, 0.4), 0);
    const Real g_binary = ecstpr("S", "G");
    ASSERT_EQ(load(example("ag-cu-example.dat")), 0);
    ASSERT_EQ(ecstdf("S", 1100.0, 3.0), 0);
    ASSERT_EQ(ecstam("S", 2, 1, 0.6), 0);
    ASSERT_EQ(ecstam("S", 2, 2, 0.4), 0);
    EXPECT_EQ(ecstpr("S", "G"), g_binary);
}

TEST_F(BinaryFiles, HeaderOnlyForASystemReadFromABinaryFile) {
    EXPECT_EQ(ecbhdr().status, 13);
    ASSERT_EQ(load(example("ag-cu-example.dat")), 0);
    const Header h = ecbhdr();
    EXPECT_EQ(h.status, 13);
    EXPECT_EQ(h.format, -1);  // outputs untouched
    EXPECT_EQ(h.writer, std::string(40, '?'));
}

TEST_F(BinaryFiles, DamagedFileIsAnErrorNamingTheFile) {
    std::stringstream whole;
    whole << std::ifstream(cst_, std::ios::binary).rdbuf();
    std::string bytes = whole.str();
    ASSERT_GT(bytes.size(), 100u);
    bytes[bytes.size() / 2] = static_cast<char>(bytes[bytes.size() / 2] ^ 0x5A);
    const std::string damaged = (dir_ / "damaged.cst").string();
    std::ofstream(damaged, std::ios::binary) << bytes;
    EXPECT_EQ(load_binary(damaged), 12);
    const auto lines = ecerr();
    const std::string detail = lines[1] + " " + lines[2];
    EXPECT_NE(detail.find("damaged.cst"), std::string::npos) << detail;
    EXPECT_EQ(detail.find("line 0"), std::string::npos) << detail;
    // A text file is not a binary one.
    EXPECT_EQ(load_binary(example("ag-cu-example.dat")), 12);
}

}  // namespace
}  // namespace ectest
