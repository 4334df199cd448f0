// Every file of the fuzz seed corpus (the examples, small variants, and any
// input a fuzzer once found troublesome) goes through its reader: a System
// or a DataError, never a crash. Accepted systems must evaluate and survive
// the binary format unchanged.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "data/cst.hpp"
#include "data/read_dat.hpp"
#include "test_util.hpp"
#include "thermo/phase_props.hpp"

namespace eqcore {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> corpus(const std::string& kind) {
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(fs::path(EQLINK_FUZZ_CORPUS_DIR) / kind))
        if (e.is_regular_file()) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::string bytes_of(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void exercise(const System& sys) {
    for (int p = 0; p < sys.phase_count(); ++p) {
        const auto n = static_cast<std::size_t>(sys.phases[static_cast<std::size_t>(p)].count);
        std::vector<double> amounts(n, 1.0), mu(n), dmu(n * n);
        phase_props(sys, p, 1500.0, 1e5, amounts, mu, dmu);
    }
    std::ostringstream out;
    write_cst(sys, CstHeader{}, out);
    EXPECT_TRUE(read_cst_bytes(out.str(), "round trip").system == sys);
}

TEST(FuzzCorpus, DatFilesReadOrFailCleanly) {
    const auto files = corpus("dat");
    EXPECT_GE(files.size(), 4U);
    for (const fs::path& f : files) {
        SCOPED_TRACE(f.filename().string());
        std::istringstream in(bytes_of(f));
        try {
            exercise(read_dat(in, f.filename().string()));
        } catch (const DataError& e) {
            EXPECT_EQ(e.file(), f.filename().string());
        }
    }
}

// The seeds compiled from the .dat seeds load and equal their source: a
// change of the binary layout shows here (and the seeds must be rebuilt).
TEST(FuzzCorpus, CstSeedsEqualTheirDatFiles) {
    int matched = 0;
    for (const fs::path& f : corpus("cst")) {
        const fs::path dat = fs::path(EQLINK_FUZZ_CORPUS_DIR) / "dat" / (f.stem().string() + ".dat");
        if (!fs::exists(dat)) continue;
        SCOPED_TRACE(f.filename().string());
        ++matched;
        // Warnings carry the path the file was read by; the rest must match.
        System from_cst = read_cst(f.string()).system;
        System from_dat = read_dat(dat.string());
        EXPECT_EQ(from_cst.warnings.size(), from_dat.warnings.size());
        from_cst.warnings.clear();
        from_dat.warnings.clear();
        EXPECT_TRUE(from_cst == from_dat);
    }
    EXPECT_GE(matched, 4);
}

TEST(FuzzCorpus, CstFilesReadOrFailCleanly) {
    const auto files = corpus("cst");
    EXPECT_GE(files.size(), 4U);
    for (const fs::path& f : files) {
        SCOPED_TRACE(f.filename().string());
        for (bool verify : {true, false}) {
            try {
                exercise(read_cst_bytes(bytes_of(f), f.filename().string(), verify).system);
            } catch (const DataError& e) {
                EXPECT_EQ(e.file(), f.filename().string());
            }
        }
    }
}

}  // namespace
}  // namespace eqcore
