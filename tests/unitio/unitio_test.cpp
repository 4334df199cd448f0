#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "scratch_dir.hpp"
#include "unitio.hpp"

namespace {

using unitio::Access;
using unitio::ReadStatus;

class UnitIo : public ::testing::Test {
protected:
    void TearDown() override { unitio::close_all(); }

    void make(const std::string& name, const std::string& bytes) {
        std::ofstream(dir.file(name), std::ios::binary) << bytes;
    }
    std::string contents(const std::string& name) {
        std::ifstream in(dir.file(name), std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    // Every record of the unit up to its end, `n` characters at most each.
    std::vector<std::string> records(unitio::Unit unit, std::size_t n) {
        std::vector<std::string> out;
        std::string line;
        while (unitio::read_record(unit, n, line) == ReadStatus::ok) out.push_back(line);
        return out;
    }

    testing_support::ScratchDir dir;
};

TEST_F(UnitIo, RecordsWrittenAreReadBackAsTheyWere) {
    ASSERT_TRUE(unitio::open(71, dir.file("eqclist.txt"), Access::write));
    EXPECT_TRUE(unitio::is_open(71));
    EXPECT_EQ(unitio::path_of(71), dir.file("eqclist.txt"));
    EXPECT_TRUE(unitio::write_record(71, " T = 1000.00 K"));
    EXPECT_TRUE(unitio::write_record(71, ""));
    EXPECT_TRUE(unitio::write_record(71, "  trailing  "));
    unitio::close(71);
    EXPECT_FALSE(unitio::is_open(71));
    EXPECT_EQ(contents("eqclist.txt"), " T = 1000.00 K\n\n  trailing  \n");

    ASSERT_TRUE(unitio::open(70, dir.file("eqclist.txt"), Access::read));
    EXPECT_EQ(records(70, 80), (std::vector<std::string>{" T = 1000.00 K", "", "  trailing  "}));
    std::string line = "stale";
    EXPECT_EQ(unitio::read_record(70, 80, line), ReadStatus::end_of_file);
    EXPECT_EQ(line, "");
    EXPECT_EQ(unitio::read_record(70, 80, line), ReadStatus::end_of_file);
}

TEST_F(UnitIo, WriteReplacesAFileAndAppendAddsToIt) {
    make("a.txt", "old 1\nold 2\n");
    ASSERT_TRUE(unitio::open(21, dir.file("a.txt"), Access::write));
    unitio::write_record(21, "new");
    unitio::close(21);
    EXPECT_EQ(contents("a.txt"), "new\n");

    ASSERT_TRUE(unitio::open(21, dir.file("a.txt"), Access::append));
    unitio::write_record(21, "more");
    unitio::close(21);
    EXPECT_EQ(contents("a.txt"), "new\nmore\n");

    ASSERT_TRUE(unitio::open(22, dir.file("fresh.txt"), Access::append));
    unitio::write_record(22, "first");
    unitio::close(22);
    EXPECT_EQ(contents("fresh.txt"), "first\n");
}

// A replaced file keeps its permissions, and a file reached through a
// second name (a hard link or a symbolic link) is replaced under every name.
TEST_F(UnitIo, AReplacedFileKeepsItsModeAndEveryNameSeesTheNewContents) {
    namespace fs = std::filesystem;
    make("mode.txt", "a long old record\n");
    fs::permissions(dir.file("mode.txt"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(unitio::open(21, dir.file("mode.txt"), Access::write));
    unitio::write_record(21, "short");
    unitio::close(21);
    EXPECT_EQ(contents("mode.txt"), "short\n");
    EXPECT_EQ(fs::status(dir.file("mode.txt")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    // A mode the process's umask would not give a new file.
    make("open.txt", "old\n");
    fs::permissions(dir.file("open.txt"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_write |
                                              fs::perms::others_write);
    ASSERT_TRUE(unitio::open(21, dir.file("open.txt"), Access::write));
    unitio::close(21);
    EXPECT_EQ(fs::status(dir.file("open.txt")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write);

    // A file this process may write but not read.
    make("write-only.txt", "an old record, longer than the new one\n");
    fs::permissions(dir.file("write-only.txt"), fs::perms::owner_write);
    ASSERT_TRUE(unitio::open(21, dir.file("write-only.txt"), Access::write));
    unitio::write_record(21, "new");
    unitio::close(21);
    fs::permissions(dir.file("write-only.txt"), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(contents("write-only.txt"), "new\n");

    make("target.txt", "old target\n");
    fs::create_hard_link(dir.file("target.txt"), dir.file("hard.txt"));
    fs::create_symlink(dir.file("target.txt"), dir.file("soft.txt"));
    ASSERT_TRUE(unitio::open(21, dir.file("hard.txt"), Access::write));
    unitio::write_record(21, "through the hard link");
    unitio::close(21);
    EXPECT_EQ(contents("target.txt"), "through the hard link\n");
    ASSERT_TRUE(unitio::open(21, dir.file("soft.txt"), Access::write));
    unitio::write_record(21, "through the symbolic link");
    unitio::close(21);
    EXPECT_TRUE(fs::is_symlink(dir.file("soft.txt")));
    EXPECT_EQ(contents("target.txt"), "through the symbolic link\n");
    EXPECT_EQ(contents("hard.txt"), "through the symbolic link\n");
}

TEST_F(UnitIo, ALongRecordIsCutAndTheRestOfItsLineSkipped) {
    make("dict.txt", "ABCDEFGHIJ\nKL\n\nMNOPQRSTU");
    ASSERT_TRUE(unitio::open(70, dir.file("dict.txt"), Access::read));
    EXPECT_EQ(records(70, 4), (std::vector<std::string>{"ABCD", "KL", "", "MNOP"}));
}

TEST_F(UnitIo, CrLfLineEndsAreNotPartOfTheRecord) {
    make("crlf.txt", "abc\r\nde\r\n\r\nx\ry\r\nlast\r");
    ASSERT_TRUE(unitio::open(70, dir.file("crlf.txt"), Access::read));
    EXPECT_EQ(records(70, 80), (std::vector<std::string>{"abc", "de", "", "x\ry", "last"}));
    unitio::close(70);
    // Cut records: a carriage return inside the kept part stays.
    ASSERT_TRUE(unitio::open(70, dir.file("crlf.txt"), Access::read));
    EXPECT_EQ(records(70, 2), (std::vector<std::string>{"ab", "de", "", "x\r", "la"}));
    unitio::close(70);
    ASSERT_TRUE(unitio::open(70, dir.file("crlf.txt"), Access::read));
    EXPECT_EQ(records(70, 3), (std::vector<std::string>{"abc", "de", "", "x\ry", "las"}));
}

TEST_F(UnitIo, EndOfFileAndReadErrorsAreToldApart) {
    make("empty.txt", "");
    ASSERT_TRUE(unitio::open(70, dir.file("empty.txt"), Access::read));
    std::string line;
    EXPECT_EQ(unitio::read_record(70, 80, line), ReadStatus::end_of_file);

    // A unit not open, or open for writing, cannot be read.
    EXPECT_EQ(unitio::read_record(55, 80, line), ReadStatus::error);
    ASSERT_TRUE(unitio::open(71, dir.file("out.txt"), Access::write));
    EXPECT_EQ(unitio::read_record(71, 80, line), ReadStatus::error);
    // Nor can a unit open for reading, or not open, be written.
    EXPECT_FALSE(unitio::write_record(70, "x"));
    EXPECT_FALSE(unitio::write_record(56, "x"));
    EXPECT_EQ(contents("empty.txt"), "");
}

TEST_F(UnitIo, OpeningAnOpenUnitClosesItsEarlierFile) {
    ASSERT_TRUE(unitio::open(70, dir.file("first.txt"), Access::write));
    unitio::write_record(70, "one");
    ASSERT_TRUE(unitio::open(70, dir.file("second.txt"), Access::write));
    // The earlier file is complete on disk as soon as the unit is reopened.
    EXPECT_EQ(contents("first.txt"), "one\n");
    unitio::write_record(70, "two");
    EXPECT_EQ(unitio::path_of(70), dir.file("second.txt"));
    unitio::close(70);
    EXPECT_EQ(contents("second.txt"), "two\n");

    // A failed open leaves the unit closed, not on its earlier file.
    ASSERT_TRUE(unitio::open(70, dir.file("first.txt"), Access::read));
    EXPECT_FALSE(unitio::open(70, dir.file("missing.txt"), Access::read));
    EXPECT_FALSE(unitio::is_open(70));
    EXPECT_EQ(unitio::path_of(70), "");
    unitio::close(70);  // closing a closed unit does nothing
}

TEST_F(UnitIo, UnitsAreIndependent) {
    ASSERT_TRUE(unitio::open(70, dir.file("a.txt"), Access::write));
    ASSERT_TRUE(unitio::open(71, dir.file("b.txt"), Access::write));
    unitio::write_record(71, "b1");
    unitio::write_record(70, "a1");
    unitio::write_record(71, "b2");
    unitio::close(71);
    unitio::write_record(70, "a2");
    unitio::close_all();
    EXPECT_EQ(contents("a.txt"), "a1\na2\n");
    EXPECT_EQ(contents("b.txt"), "b1\nb2\n");
}

}  // namespace
