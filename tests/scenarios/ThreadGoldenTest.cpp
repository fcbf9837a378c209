// Whole reports of small analyses, one per null model and statistic type,
// with and without the phylogeny: golden/answers/<case>.txt holds the dialogue
// and golden/reports/<case>.txt the report. Each case runs with 1, 2 and 3
// worker threads: the report must be the golden one, byte for byte (the time
// stamp, the elapsed time and the processor count aside). The golden files
// were written by the program before the permutation loop ran in parallel, so
// they also pin the order of the random draws.
//
// KOLVAR_WRITE_GOLDEN=1 in the environment rewrites the golden files from the
// single-thread run instead of comparing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "base/Console.hpp"
#include "base/State.hpp"
#include "program/Preferences.hpp"
#include "support/Scenario.hpp"

namespace kolvar {
namespace {

// The report without the lines that change from run to run.
std::string Stable(const std::string& report) {
    static const std::regex stamp("^(Mon|Tue|Wed|Thu|Fri|Sat|Sun) [A-Z][a-z][a-z] [ 0-9][0-9] [0-9:]{8} [0-9]{4}$");
    std::istringstream in(report);
    std::string line, out;
    while (std::getline(in, line)) {
        if (std::regex_match(line, stamp)) line = "<time stamp>";
        if (line.rfind("Elapsed time for the analyses:", 0) == 0) line = "<elapsed time>";
        if (line.rfind("Maximum number of processors used by KOLVAR:", 0) == 0) line = "<processors>";
        out += line + '\n';
    }
    return out;
}

std::string Preferences(int threads) {
    Options o;
    o.nProcessors = threads;
    std::ostringstream s;
    WritePreferencesText(s, o, SystemClock{});
    return s.str();
}

class ThreadGolden : public ::testing::TestWithParam<std::string> {};

TEST_P(ThreadGolden, ReportIsTheGoldenOneForOneTwoAndThreeThreads) {
    const auto golden = test::SourcePath("tests/scenarios/golden/reports/" + GetParam() + ".txt");
    const std::string answers = test::Slurp(test::SourcePath("tests/scenarios/golden/answers/" + GetParam() + ".txt"));
    const std::string want = test::Slurp(golden);
    const char* write = std::getenv("KOLVAR_WRITE_GOLDEN");
    // A report that tested nothing would also be identical everywhere.
    ASSERT_TRUE(want.find("P=\t") != std::string::npos || want.find("p-value=\t") != std::string::npos) << golden;
    for (int threads : {1, 2, 3}) {
        test::ScratchDir dir;
        for (const char* f : {"B.txt", "W.txt", "E_quant.txt", "F_taxo.txt", "species.txt"})
            dir.CopyFromSource(std::string("examples/aravo/") + f);
        dir.CopyFromSource("tests/scenarios/data/E_groups.txt");
        dir.Write("KOLVAR.prf", Preferences(threads));
        const auto r = test::RunKolvar(dir, answers, 300);
        EXPECT_EQ(r.status, 0) << r.err;
        if (write != nullptr && std::string(write) == "1") {
            std::ofstream(golden, std::ios::binary) << Stable(dir.Read("aravoPrinda.txt"));
            GTEST_SKIP() << "golden file written";
        }
        EXPECT_EQ(Stable(dir.Read("aravoPrinda.txt")), want) << threads << " threads";
    }
}

INSTANTIATE_TEST_SUITE_P(NullModelsAndStatistics, ThreadGolden,
                         ::testing::Values("mantel_taxa_phyl", "mantel_restricted_phyl", "mantel_site_phyl",
                                           "mantel_bootstrap_phyl", "mantel_taxa_nophyl", "mantel_excluded_otus_phyl",
                                           "rd_site_nophyl", "rd_taxa_phyl", "procrustes_taxa_phyl",
                                           "procrustes_bootstrap_nophyl", "rv_taxa_nophyl", "rv_site_phyl",
                                           "regression_taxa_phyl", "regression_restricted_nophyl", "pseudof_taxa_phyl",
                                           "pseudof_site_nophyl"),
                         [](const ::testing::TestParamInfo<std::string>& i) { return i.param; });

}  // namespace
}  // namespace kolvar
