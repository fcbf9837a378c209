// The example analysis with a fixed seed, kept as a golden: every statistic
// line of the report must stay as it was, to the last printed digit. It
// catches any change of arithmetic or of the order of random draws; the
// correctness of the numbers themselves is checked by the unit tests.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "support/Scenario.hpp"

namespace kolvar {
namespace {

std::string StatisticLines(const std::string& report) {
    std::istringstream in(report);
    std::string line, out;
    while (std::getline(in, line))
        if (line.find("asymmetry-based P-value=") != std::string::npos) out += line + '\n';
    return out;
}

TEST(GoldenReport, ExampleMantelAnalysisKeepsEveryStatistic) {
    test::ScratchDir dir;
    for (const char* f : {"B.txt", "W.txt", "E_quant.txt", "F_taxo.txt", "species.txt"})
        dir.CopyFromSource(std::string("examples/aravo/") + f);
    // The demo's answers with 99 instead of 999 permutations.
    std::ifstream demo(test::SourcePath("examples/demo_answers.txt"));
    std::string answers, line;
    while (std::getline(demo, line)) answers += (line == "999" ? "99" : line) + '\n';
    const auto r = test::RunKolvar(dir, answers, 300);
    ASSERT_EQ(r.status, 0) << r.err;
    std::ifstream golden(test::SourcePath("tests/scenarios/golden/aravo_mantel_99.txt"));
    std::ostringstream want;
    want << golden.rdbuf();
    ASSERT_FALSE(want.str().empty());
    EXPECT_EQ(StatisticLines(dir.Read("aravoPrinda.txt")), want.str());
}

}  // namespace
}  // namespace kolvar
