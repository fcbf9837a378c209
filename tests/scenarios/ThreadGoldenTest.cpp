// Whole reports of small analyses, one per null model and statistic type,
// with and without the phylogeny, kept as golden files. Each case runs with
// 1, 2 and 3 worker threads: the report must be the same, byte for byte, as
// the golden one (the time stamp, the elapsed time and the processor count
// aside). The golden files were written by the program before the permutation
// loop ran in parallel, so they also pin the order of the random draws.
//
// KOLVAR_WRITE_GOLDEN=1 in the environment rewrites the golden files from the
// single-thread run instead of comparing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "base/Console.hpp"
#include "program/Preferences.hpp"
#include "base/State.hpp"
#include "support/Scenario.hpp"
#include "support/TextFormats.hpp"

namespace kolvar {
namespace {

struct GoldenCase {
    const char* name;
    bool phylogeny;
    bool groupsAsE;        ///< nominal ecological factors (analysis of variance)
    const char* analysis;  ///< answers of the settings dialogue after "H"
};

void PrintTo(const GoldenCase& c, std::ostream* os) { *os << c.name; }

// Nesting groups of the 82 OTUs for the restricted null model.
std::string NestingGroups() {
    std::string s;
    for (int i = 0; i < 82; ++i) s += std::to_string(i % 5 + 1) + ' ';
    return s + '\n';
}

// Settings: partition, species as types, fuzzy, statistic (+ resemblance),
// variables, traits, no combinations, all OTUs, unit totals, 49 iterations,
// null model, seed, detailed report (three cases) or not, the key that closes
// the analysis.
const GoldenCase kCases[] = {
    {"mantel_taxa_phyl", true, false, "0\ny\n1\n1\n6\nm\n1\n1\nn\n1\ny\n49\nt\n0\nn\n2\n12345\ny\n\n"},
    {"mantel_restricted_phyl", true, false, "0\ny\n1\n1\n6\nm\n1\n1\nn\n1\ny\n49\nt\n1\nk\n@GROUPS@n\n2\n777\nn\n\n"},
    {"mantel_site_phyl", true, false, "0\ny\n1\n1\n6\nm\n1\n1\nn\n1\ny\n49\ns\n2\n12345\nn\n\n"},
    {"mantel_bootstrap_phyl", true, false, "0\ny\n1\n1\n6\nm\n1\n1\nn\n1\ny\n29\nt\n0\ny\n2\n4242\nn\n\n"},
    {"mantel_taxa_nophyl", false, false, "0\ny\n1\n1\n6\nm\n1\n1\nn\n1\ny\n49\nt\n0\nn\n2\n12345\nn\n\n"},
    {"rd_site_nophyl", false, false, "0\ny\n0\n1\n10\nr\ny\n1\n1\nn\n1\nn\n49\ns\n2\n99\nn\n\n"},
    {"procrustes_taxa_phyl", true, false, "0\ny\n1\n2\n1\n1\nn\n1\ny\n29\nt\n0\nn\n2\n12345\nn\n\n"},
    {"procrustes_bootstrap_nophyl", false, false, "0\ny\n1\n2\n1\n1\nn\n1\ny\n19\nt\n0\ny\n2\n5\nn\n\n"},
    {"rv_taxa_nophyl", false, false, "0\ny\n1\n3\n1\n1\nn\n1\ny\n49\nt\n0\nn\n2\n31\nn\n\n"},
    {"rv_site_phyl", true, false, "0\ny\n1\n3\n1\n1\nn\n1\ny\n49\ns\n2\n31\nn\n\n"},
    {"regression_taxa_phyl", true, false, "0\ny\n1\n4\n1\n1\nn\n1\ny\n49\nt\n0\nn\n2\n12345\ny\n\n"},
    {"regression_restricted_nophyl", false, false, "0\ny\n1\n4\n1\n1\nn\n1\ny\n49\nt\n1\nk\n@GROUPS@n\n2\n8\nn\n\n"},
    {"pseudof_taxa_phyl", true, true, "0\ny\n1\n5\n6\n1\n1 1\n1\nn\n1\ny\n49\nt\n0\n2\n12345\ny\n\n"},
    {"rd_taxa_phyl", true, false, "0\ny\n1\n1\n6\nr\nn\n1\n1\nn\n1\ny\n29\nt\n0\nn\n2\n3\nn\n\n"},
    {"mantel_excluded_otus_phyl", true, false,
     "0\ny\n1\n1\n6\nm\n1\n1\nn\n2\n@FLAGS@y\nn\ny\n49\nt\n0\nn\n2\n12345\nn\n\n"},
    {"pseudof_site_nophyl", false, true, "0\ny\n1\n5\n6\n1\n1 1\n1\nn\n1\ny\n49\ns\n2\n12345\nn\n\n"},
};

// Inclusion flags of the 82 OTUs: every seventh left out.
std::string InclusionFlags() {
    std::string s;
    for (int i = 0; i < 82; ++i) s += i % 7 == 3 ? "0 " : "1 ";
    return s + '\n';
}

std::string Answers(const GoldenCase& c) {
    std::string a = "N\naravo\n1\nB.txt\n";
    a += c.phylogeny ? "1\nF_taxo.txt\n" : "0\n";
    a += "W.txt\n1\nspecies.txt\n1\n";
    a += c.groupsAsE ? "E_groups.txt\n" : "E_quant.txt\n";
    a += "82\n8\n2\n2\nk\n3 3 3 3 3 3 3 3\ny\n0\n";
    if (c.phylogeny) a += "1\n";
    a += "75\n2\n1\n2\n";
    a += c.groupsAsE ? "2\n2\n3\nn\n" : "4\n2\n2\nn\n";
    a += "V\nH\n";
    std::string analysis = c.analysis;
    const auto at = analysis.find("@GROUPS@");
    if (at != std::string::npos) analysis.replace(at, 8, NestingGroups());
    const auto flags = analysis.find("@FLAGS@");
    if (flags != std::string::npos) analysis.replace(flags, 7, InclusionFlags());
    return a + analysis + "C\nC\nX\n";
}

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

std::string RunCase(const GoldenCase& c, int threads, std::string* nullSvg = nullptr) {
    test::ScratchDir dir;
    for (const char* f : {"B.txt", "W.txt", "E_quant.txt", "F_taxo.txt", "species.txt"})
        dir.CopyFromSource(std::string("examples/aravo/") + f);
    dir.CopyFromSource("tests/scenarios/data/E_groups.txt");
    dir.Write("KOLVAR.prf", Preferences(threads));
    const auto r = test::RunKolvar(dir, Answers(c), 300);
    EXPECT_EQ(r.status, 0) << c.name << ": " << r.err;
    if (nullSvg != nullptr) *nullSvg = dir.Exists("aravoNull.svg") ? dir.Read("aravoNull.svg") : std::string();
    return Stable(dir.Read("aravoPrinda.txt"));
}

class ThreadGolden : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(ThreadGolden, ReportIsTheGoldenOneForOneTwoAndThreeThreads) {
    const GoldenCase& c = GetParam();
    const auto path = test::SourcePath(std::string("tests/scenarios/golden/reports/") + c.name + ".txt");
    if (const char* w = std::getenv("KOLVAR_WRITE_GOLDEN"); w && std::string(w) == "1") {
        std::ofstream(path, std::ios::binary) << RunCase(c, 1);
        GTEST_SKIP() << "golden file written";
    }
    std::ifstream golden(path, std::ios::binary);
    std::ostringstream want;
    want << golden.rdbuf();
    ASSERT_GT(want.str().size(), 1000u) << path;
    // A report that tested nothing would also be identical everywhere.
    ASSERT_TRUE(want.str().find("P=\t") != std::string::npos || want.str().find("p-value=\t") != std::string::npos);
    for (int threads : {1, 2, 3}) EXPECT_EQ(RunCase(c, threads), want.str()) << c.name << " with " << threads << " threads";
}

INSTANTIATE_TEST_SUITE_P(NullModelsAndStatistics, ThreadGolden, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<GoldenCase>& i) { return std::string(i.param.name); });

// Field after key up to the next tab.
std::string After(const std::string& line, const std::string& key) {
    const std::size_t k = line.find(key);
    if (k == std::string::npos) return "";
    const std::size_t start = k + key.size();
    return line.substr(start, line.find('\t', start) - start);
}

// Regression and analysis of variance draw one null histogram per tested line
// of the report (r-squares, coefficients, pseudo-F values; not the
// intercepts), in the report's order, each of the 48 random values with the
// printed observed value marked. The reports themselves are the golden ones.
TEST(ThreadGoldenPictures, RegressionAndPseudoFHaveOneHistogramPerTestedLine) {
    for (const GoldenCase& c : kCases) {
        const std::string name = c.name;
        if (name != "regression_taxa_phyl" && name != "pseudof_taxa_phyl" && name != "pseudof_site_nophyl") continue;
        std::string svg;
        const std::string report = RunCase(c, 2, &svg);
        std::ifstream golden(test::SourcePath("tests/scenarios/golden/reports/" + name + ".txt"), std::ios::binary);
        std::ostringstream want;
        want << golden.rdbuf();
        EXPECT_EQ(report, want.str()) << name;
        struct Line {
            std::string kind, observed;
        };
        std::vector<Line> tested;
        std::istringstream rep(report);
        for (std::string line; std::getline(rep, line);)
            for (const char* kind : {"r-square", "coeff", "Pseudo-F"})
                if (line.find(std::string("\t") + kind + "=\t") != std::string::npos)
                    tested.push_back({kind, After(line, std::string(kind) + "=\t")});
        ASSERT_GE(tested.size(), 6u) << name;
        ASSERT_FALSE(svg.empty()) << name;
        const test::XmlElement picture = test::ParseXml(svg);
        const auto hist = picture.FindClass("histogram");
        ASSERT_EQ(hist.size(), tested.size()) << name;
        for (std::size_t k = 0; k < hist.size(); ++k) {
            const std::string label = hist[k]->Attr("data-label");
            EXPECT_NE(label.find(tested[k].kind), std::string::npos) << name << ' ' << k << ' ' << label;
            EXPECT_EQ(hist[k]->Attr("data-n"), "48") << name << ' ' << label;
            const auto obs = hist[k]->FindClass("observed");
            ASSERT_EQ(obs.size(), 1u) << name << ' ' << label;
            const double printed = std::stod(tested[k].observed);
            EXPECT_NEAR(std::stod(obs[0]->Attr("data-value")), printed, 5e-6 * std::fabs(printed) + 1e-300)
                << name << ' ' << label;
        }
    }
}

}  // namespace
}  // namespace kolvar
