// The quasichemical-liquid example through the tool: a TP flash with
// chemistry and an equilibrium block (type 1) on a Ga-In pair-approximation
// liquid with a gas and solids. Elements balance in every outlet, the block
// gives the flash's flows, and the solid the flash precipitates is the
// amount of the worked example (70 % Ga at 1000 K: liquid of quadruplet
// fractions 0.553055565, 0.032569737, 0.414374698 and Ga_s; the lever rule
// on those fractions gives the amount).
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "scratch_dir.hpp"
#include "tool_process.hpp"

namespace tools_test {
namespace {

using nlohmann::json;

double flow(const json& stream, const char* sub, const char* id) { return stream[sub]["flows"][id].get<double>(); }

TEST(QuasichemCase, FlashAndBlockBalanceTheElementsAndAgree) {
    testing_support::ScratchDir dir;
    const ToolRun r = run_tool(dir.path(), words({"run --json", quoted_example("quasichem.toml")}));
    ASSERT_EQ(r.status, 0) << r.err;
    const json c = json::parse(r.out)["calculations"];
    const json& s = c[0]["stream"];
    const double feed_ga = 0.0007, feed_in = 0.0003;  // kmol/s
    // Ga in the liquid member, the gas and the solids; In likewise.
    const double ga = flow(s, "mixed", "GAL") + flow(s, "mixed", "GAG") + flow(s, "cisolid", "GAS") +
                      flow(s, "cisolid", "GAIN2S");
    const double in = flow(s, "mixed", "INL") + flow(s, "mixed", "ING") + 2.0 * flow(s, "cisolid", "GAIN2S");
    EXPECT_NEAR(ga, feed_ga, 1e-12 * feed_ga);
    EXPECT_NEAR(in, feed_in, 1e-12 * feed_in);
    // Ga = 2/6 per GaGa and 1/6 per GaIn quadruplet, In = 2/8 per InIn and 1/4 per GaIn.
    const double x[] = {0.553055565, 0.032569737, 0.414374698};
    const double nga = 2.0 * x[0] / 6.0 + x[2] / 6.0, nin = 2.0 * x[1] / 8.0 + x[2] / 4.0;
    const double solid = feed_ga - feed_in / nin * nga;
    EXPECT_NEAR(flow(s, "cisolid", "GAS"), solid, 1e-9);
    // The block at the same state: the same flows over its two outlets.
    const json& outlets = c[1]["outlets"];
    ASSERT_EQ(outlets.size(), 2u);
    for (const char* id : {"GAL", "INL", "GAS", "GAIN2S"}) {
        double sum = 0.0, flash = 0.0;
        for (const json& o : outlets)
            for (const char* sub : {"mixed", "cisolid"})
                if (o.contains(sub)) sum += o[sub]["flows"][id].get<double>();
        for (const char* sub : {"mixed", "cisolid"}) flash += flow(s, sub, id);
        EXPECT_NEAR(sum, flash, 1e-12) << id;
    }
}

// The JSON of `eqlink equilibrate` shows a present quasichemical liquid's
// quadruplet fractions and its ions' site fractions: the worked example's
// values at 70 % Ga, 1000 K.
TEST(QuasichemCase, EquilibrateJsonShowsQuadrupletsAndIonSiteFractions) {
    testing_support::ScratchDir dir;
    const ToolRun r = run_tool(dir.path(), words({"equilibrate", quoted_example("ga-in-qc.dat"),
                                                  "-T 1000 --json -e Ga=0.7 -e In=0.3"}));
    ASSERT_EQ(r.status, 0) << r.err;
    const json doc = json::parse(r.out);
    json liq;
    for (const json& p : doc["phases"])
        if (p["name"] == "LIQ_QC") liq = p;
    ASSERT_TRUE(liq["present"].get<bool>());
    const json& q = liq["quadruplets"];
    ASSERT_EQ(q.size(), 3u);
    EXPECT_EQ(q[0]["name"], "Ga-Ga-Va-Va");
    const double x[] = {0.553055565, 0.032569737, 0.414374698};
    for (std::size_t k = 0; k < 3; ++k) EXPECT_NEAR(q[k]["fraction"].get<double>(), x[k], 1e-6);
    // Site fractions from the pair fractions: Ga = 2/6 per GaGa and 1/6 per GaIn, In = 2/8 and 1/4.
    const double nga = 2.0 * x[0] / 6.0 + x[2] / 6.0, nin = 2.0 * x[1] / 8.0 + x[2] / 4.0;
    const json& cations = liq["sublattices"][0]["constituents"];
    EXPECT_EQ(cations[1]["name"], "In");
    EXPECT_NEAR(cations[1]["site_fraction"].get<double>(), nin / (nga + nin), 1e-6);
    EXPECT_NEAR(liq["sublattices"][1]["constituents"][0]["site_fraction"].get<double>(), 1.0, 1e-15);
}

// `eqlink info` lists a quasichemical liquid's ions per sublattice, its end
// members as cation-anion pairs and its pairs with their coordination
// numbers.
TEST(QuasichemCase, InfoListsIonsEndMembersAndPairs) {
    testing_support::ScratchDir dir;
    const ToolRun r = run_tool(dir.path(), words({"info", quoted_example("ga-in-qc.dat")}));
    ASSERT_EQ(r.status, 0) << r.err;
    auto row = [&](const std::string& after, const std::vector<std::string>& cells) {
        const std::size_t from = r.out.find(after);
        EXPECT_NE(from, std::string::npos) << after;
        std::istringstream lines(r.out.substr(from == std::string::npos ? 0 : from));
        for (std::string line; std::getline(lines, line);) {
            std::istringstream words_of(line);
            std::vector<std::string> got;
            for (std::string w; words_of >> w;) got.push_back(w);
            if (got == cells) return true;
        }
        return false;
    };
    EXPECT_TRUE(row("Ions of LIQ_QC (pair approximation)", {"1", "In", "1", "1"})) << r.out;
    EXPECT_TRUE(row("Ions of LIQ_QC", {"2", "Va", "1", "1"})) << r.out;
    EXPECT_TRUE(row("End members of LIQ_QC", {"2", "In", "In", "Va", "2.4"})) << r.out;
    EXPECT_TRUE(row("Pairs of LIQ_QC", {"3", "Ga-In-Va-Va", "6", "4", "4.8", "4.8"})) << r.out;
    EXPECT_TRUE(row("Pairs of LIQ_QC", {"2", "In-In-Va-Va", "8", "8", "8", "8"})) << r.out;
}

}  // namespace
}  // namespace tools_test
