// The binary format: .dat -> .cst -> System is identical to the bit, the
// header comes back as written, and damaged files fail with their own error.
#include <bit>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "data/cst.hpp"
#include "data/limits.hpp"
#include "test_util.hpp"

namespace eqcore {
namespace {

void expect_same_bits(double a, double b, const std::string& where) {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(a), std::bit_cast<std::uint64_t>(b)) << where;
}

// Every double compared bitwise, everything else by value.
void expect_bit_identical(const System& a, const System& b) {
    EXPECT_TRUE(a == b);
    ASSERT_EQ(a.elements.size(), b.elements.size());
    for (std::size_t k = 0; k < a.elements.size(); ++k) expect_same_bits(a.elements[k].mass, b.elements[k].mass, "mass");
    ASSERT_EQ(a.constituents.size(), b.constituents.size());
    for (std::size_t k = 0; k < a.constituents.size(); ++k) {
        const Constituent& x = a.constituents[k];
        const Constituent& y = b.constituents[k];
        ASSERT_EQ(x.stoich.size(), y.stoich.size());
        for (std::size_t j = 0; j < x.stoich.size(); ++j) expect_same_bits(x.stoich[j], y.stoich[j], x.name);
        ASSERT_EQ(x.ranges.size(), y.ranges.size());
        for (std::size_t r = 0; r < x.ranges.size(); ++r) {
            expect_same_bits(x.ranges[r].tmax, y.ranges[r].tmax, x.name);
            for (std::size_t c = 0; c < 6; ++c) expect_same_bits(x.ranges[r].coef[c], y.ranges[r].coef[c], x.name);
            ASSERT_EQ(x.ranges[r].extra.size(), y.ranges[r].extra.size());
            for (std::size_t e = 0; e < x.ranges[r].extra.size(); ++e) {
                expect_same_bits(x.ranges[r].extra[e].c, y.ranges[r].extra[e].c, x.name);
                expect_same_bits(x.ranges[r].extra[e].e, y.ranges[r].extra[e].e, x.name);
            }
        }
        expect_same_bits(x.molar_volume, y.molar_volume, x.name);
    }
    ASSERT_EQ(a.phases.size(), b.phases.size());
    for (std::size_t p = 0; p < a.phases.size(); ++p) {
        ASSERT_EQ(a.phases[p].excess.size(), b.phases[p].excess.size());
        for (std::size_t i = 0; i < a.phases[p].excess.size(); ++i) {
            const auto& s1 = a.phases[p].excess[i].sets;
            const auto& s2 = b.phases[p].excess[i].sets;
            ASSERT_EQ(s1.size(), s2.size());
            for (std::size_t v = 0; v < s1.size(); ++v)
                for (std::size_t c = 0; c < 6; ++c) expect_same_bits(s1[v][c], s2[v][c], a.phases[p].name);
        }
    }
}

CstHeader sample_header() {
    CstHeader h;
    h.writer = "eqlink compile";
    h.writer_version = {0, 1, 0};
    h.min_reader_version = {1, 0, 0};
    h.created = {2026, 12, 6, 9, 30, 15};
    h.remarks = "compiled for the tests";
    return h;
}

std::string to_bytes(const System& sys, const CstHeader& h = sample_header()) {
    std::ostringstream out;
    write_cst(sys, h, out);
    return out.str();
}

// Replaces the checksum so that a deliberate change reaches the checks
// behind it.
void reseal(std::string& bytes) {
    const std::string_view payload(bytes.data() + 20, bytes.size() - 28);
    std::uint64_t h = cst_checksum(payload);
    for (std::size_t k = 0; k < 8; ++k) bytes[bytes.size() - 8 + k] = static_cast<char>(h >> (8 * k));
}

void expect_error(const std::string& bytes, const std::string& fragment) {
    try {
        read_cst_bytes(bytes, "damaged.cst");
        ADD_FAILURE() << "no error; expected one mentioning '" << fragment << "'";
    } catch (const DataError& e) {
        EXPECT_NE(std::string(e.what()).find(fragment), std::string::npos) << e.what();
        EXPECT_EQ(e.file(), "damaged.cst");
    }
}

TEST(Cst, EveryExampleRoundTripsToTheBit) {
    for (const char* file : {"n-o-example.dat", "ag-cu-example.dat", "h-o.dat", "c-h-o-n.dat"}) {
        SCOPED_TRACE(file);
        const System sys = testing::load(file);
        const CstFile back = read_cst_bytes(to_bytes(sys), file);
        expect_bit_identical(back.system, sys);
    }
    const System models = read_dat(testing::test_data("models.dat"));
    expect_bit_identical(read_cst_bytes(to_bytes(models), "models").system, models);
}

TEST(Cst, SublatticeAndMagneticPhasesRoundTrip) {
    for (const char* file : {"fe-sgte.dat", "zr-h.dat", "al-mg.dat"}) {
        SCOPED_TRACE(file);
        const System sys = testing::load(file);
        expect_bit_identical(read_cst_bytes(to_bytes(sys), file).system, sys);
    }
    for (const char* file : {"sublattice-models.dat", "example-c.dat", "nonideal-records.dat"}) {
        const System sys = read_dat(testing::test_data(file));
        expect_bit_identical(read_cst_bytes(to_bytes(sys), file).system, sys);
    }
}

TEST(Cst, FormatOneFilesAreStillRead) {
    // Written by the format-1 writer from examples/ag-cu-example.dat.
    const CstFile f = read_cst(testing::test_data("ag-cu-format1.cst"));
    EXPECT_EQ(f.header.format_version, 1);
    expect_bit_identical(f.system, testing::load("ag-cu-example.dat"));
}

TEST(Cst, FilesWithoutQktoWeightsAndGroupsAreStillRead) {
    // Written by the format-1 writer, before QKTO species kept their weights
    // and groups: read as unit weights in one group, which every such file had.
    const CstFile f = read_cst(std::string(EQLINK_FUZZ_CORPUS_DIR) + "/cst/models-format1.cst");
    EXPECT_EQ(f.header.format_version, 1);
    System expected = read_dat(testing::test_data("models.dat"));
    for (Phase& p : expected.phases) {
        p.qkto_weight.clear();
        p.qkto_group.clear();
    }
    expected.warnings = f.system.warnings;
    expect_bit_identical(f.system, expected);
}

TEST(Cst, HeaderAndFileRoundTrip) {
    const System sys = testing::load("ag-cu-example.dat");
    const std::string path = ::testing::TempDir() + "eqcore_cst_test.cst";
    CstHeader h = sample_header();
    h.writer = std::string(40, 'w');
    h.remarks = std::string(80, 'r');
    write_cst(sys, h, path);
    const CstFile f = read_cst(path);
    EXPECT_EQ(f.header, h);
    EXPECT_EQ(f.header.format_version, kCstFormatVersion);
    expect_bit_identical(f.system, sys);
    std::remove(path.c_str());

    h.writer += "x";
    std::ostringstream out;
    EXPECT_THROW(write_cst(sys, h, out), std::invalid_argument);
}

TEST(Cst, DamagedFilesFailWithTheirOwnError) {
    const std::string good = to_bytes(testing::load("n-o-example.dat"));
    expect_error("", "magic");
    expect_error("EQCSX\r\n\x1a" + good.substr(8), "magic");
    // Text-mode damage: CR LF turned into LF.
    std::string text_mode = good;
    text_mode.erase(5, 1);
    expect_error(text_mode, "magic");

    std::string newer = good;
    newer[8] = static_cast<char>(kCstFormatVersion + 1);
    expect_error(newer, "format version " + std::to_string(kCstFormatVersion + 1));

    expect_error(good.substr(0, good.size() - 1), "truncated");
    expect_error(good.substr(0, 30), "truncated");
    expect_error(good + "x", "damaged");

    std::string flipped = good;
    flipped[good.size() / 2] ^= 0x10;
    expect_error(flipped, "checksum");
    // The top bits of two neighbouring words: they must not cancel.
    std::string two = good;
    two[20 + 7] ^= static_cast<char>(0x80);
    two[20 + 15] ^= static_cast<char>(0x80);
    expect_error(two, "checksum");

    // Asks for a newer reader (the minimum reader version is after the
    // writer name and version in the header).
    CstHeader h = sample_header();
    h.min_reader_version = {9, 0, 0};
    expect_error(to_bytes(testing::load("n-o-example.dat"), h), "reader version 9.0.0");
}

TEST(Cst, DamagedCountsAreRefusedBeforeAnyAllocation) {
    // The element count follows the title; set it to 2^32 - 1 and to a
    // value within the limit but beyond the bytes left.
    const System sys = testing::load("n-o-example.dat");
    std::string bytes = to_bytes(sys);
    const std::size_t header = 4 + sample_header().writer.size() + 12 * 4 + 4 + sample_header().remarks.size();
    const std::size_t at = 20 + header + 4 + sys.title.size();
    for (std::uint32_t n : {0xffffffffU, static_cast<std::uint32_t>(limits::kElements)}) {
        std::string damaged = bytes;
        for (std::size_t k = 0; k < 4; ++k) damaged[at + k] = static_cast<char>(n >> (8 * k));
        reseal(damaged);
        expect_error(damaged, "element count");
    }
    // A phase pointing outside the constituents is caught by the
    // structure check: raise the gas phase's constituent count.
    std::string damaged = bytes;
    const std::size_t phase_at = bytes.find("GAS") - 4;
    const std::size_t count_at = phase_at + 4 + 3 + 4 + 4 + 1 + 1 + 4;
    damaged[count_at] = 9;
    reseal(damaged);
    expect_error(damaged, "constituents not contiguous");
}

// A .cst read from a string stream where it stands (after other bytes), from
// a string stream written to, from a file stream and from a stream that
// cannot seek gives the same system, and leaves the stream consumed.
TEST(Cst, EveryKindOfStreamReadsTheSameSystem) {
    const System sys = testing::load("fe-sgte.dat");
    const std::string bytes = to_bytes(sys);

    std::istringstream after_prefix("prefix" + bytes);
    after_prefix.ignore(6);
    expect_bit_identical(read_cst(after_prefix, "s.cst").system, sys);
    EXPECT_EQ(after_prefix.get(), std::char_traits<char>::eof());

    std::stringstream written;
    written << bytes;
    expect_bit_identical(read_cst(written, "s.cst").system, sys);

    const std::string path = ::testing::TempDir() + "eqcore_cst_stream_test.cst";
    write_cst(sys, sample_header(), path);
    {
        std::ifstream file(path, std::ios::binary);
        expect_bit_identical(read_cst(file, path).system, sys);
        EXPECT_EQ(file.get(), std::char_traits<char>::eof());
    }
    std::remove(path.c_str());

    // A stream buffer without positioning: read through a growing buffer.
    struct Unseekable : std::streambuf {
        explicit Unseekable(std::string& s) { setg(s.data(), s.data(), s.data() + s.size()); }
    };
    std::string copy = bytes;
    Unseekable buf(copy);
    std::istream unseekable(&buf);
    expect_bit_identical(read_cst(unseekable, "s.cst").system, sys);

    std::istringstream damaged(bytes.substr(0, bytes.size() - 3));
    EXPECT_THROW(read_cst(damaged, "s.cst"), DataError);
}

// The magnetic records of a substitutional phase are checked on its one
// list of constituents.
TEST(Cst, MagneticRecordOfASubstitutionalPhaseOutOfRangeIsRefused) {
    System sys = testing::load("al-mg.dat");
    Phase* magnetic = nullptr;
    for (Phase& p : sys.phases)
        if (!magnetic && p.model == Model::rkmp && p.magnetic.present && p.count >= 2) magnetic = &p;
    ASSERT_NE(magnetic, nullptr);
    magnetic->magnetic.interactions.push_back(MagneticInteraction{{0, 1}, {{100.0, 0.5}}});
    const System good = sys;
    expect_bit_identical(read_cst_bytes(to_bytes(good), "good.cst").system, good);
    magnetic->magnetic.interactions.back().index = {0, magnetic->count};  // one past the last constituent
    expect_error(to_bytes(sys), "magnetic interaction: indices: constituent " + std::to_string(magnetic->count + 1) +
                                    " out of range");
    magnetic->magnetic.interactions.back().index = {0, 1, 0, 1};  // two of one list: not a term
    expect_error(to_bytes(sys), "magnetic interaction: indices: 4 constituents of sublattice 1");
}

}  // namespace
}  // namespace eqcore
