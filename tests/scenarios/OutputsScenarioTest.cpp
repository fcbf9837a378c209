// What the example analysis leaves beside its report, checked against the
// report itself: the tables read back give the statistic lines, labels
// included; the pictures hold one point per community and one histogram per
// statistic; a recorded run replays to the same report; the command line.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <sstream>

#include "support/Scenario.hpp"
#include "support/TextFormats.hpp"

namespace kolvar {
namespace {

using test::ScratchDir;

void CopyInputs(const ScratchDir& dir) {
    for (const char* f : {"B.txt", "W.txt", "E_quant.txt", "F_taxo.txt", "species.txt"})
        dir.CopyFromSource(std::string("examples/aravo/") + f);
}

// The demo's answers (detailed report, Mantel, taxa shuffle, seed 12345) with
// 99 instead of 999 permutations.
std::string DemoAnswers() {
    std::ifstream demo(test::SourcePath("examples/demo_answers.txt"));
    std::string answers, line;
    while (std::getline(demo, line)) answers += (line == "999" ? "99" : line) + '\n';
    return answers;
}

// One statistic line of the report, split at its keys.
struct ReportStat {
    std::string label;
    std::map<std::string, std::string> values;  // obs, P, SES, E, LL, UL, asymP: as printed
};

std::string After(const std::string& line, const std::string& key) {
    const std::size_t k = line.find(key);
    if (k == std::string::npos) return "";
    const std::size_t start = k + key.size();
    return line.substr(start, line.find('\t', start) - start);
}

std::vector<ReportStat> StatisticLines(const std::string& report) {
    std::vector<ReportStat> v;
    std::istringstream in(report);
    for (std::string line; std::getline(in, line);) {
        if (line.find("asymmetry-based P-value=") == std::string::npos) continue;
        ReportStat s;
        const std::size_t eq = line.find('=');
        s.label = line.substr(0, line.find_last_not_of(' ', eq - 1) + 1);
        const std::size_t tab = line.find('\t', eq);
        s.values["observed"] = line.substr(tab + 1, line.find('\t', tab + 1) - tab - 1);
        s.values["P"] = After(line, "\tP=\t");
        s.values["SES"] = After(line, "\tSES=\t");
        s.values["expected"] = After(line, "\tE=\t");
        s.values["LL"] = After(line, "\tLL=\t");
        s.values["UL"] = After(line, "\tUL=\t");
        s.values["asymP"] = After(line, "asymmetry-based P-value=\t");
        v.push_back(s);
    }
    return v;
}

// The lines that follow a heading of the report, as numbers (blank or tab separated).
std::vector<std::vector<double>> NumbersAfter(const std::string& report, const std::string& heading, int lines) {
    std::vector<std::vector<double>> rows;
    const std::size_t k = report.find(heading);
    if (k == std::string::npos) return rows;
    std::istringstream in(report.substr(k + heading.size()));
    std::string line;
    std::getline(in, line);  // rest of the heading line
    for (int i = 0; i < lines && std::getline(in, line); ++i) {
        std::istringstream ls(line);
        std::vector<double> r;
        for (double x; ls >> x;) r.push_back(x);
        rows.push_back(r);
    }
    return rows;
}

class ExampleRun : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new ScratchDir;
        CopyInputs(*dir_);
        result_ = new test::RunResult(test::RunKolvar(*dir_, DemoAnswers(), {"--record", "rec.txt"}, 300));
    }
    static void TearDownTestSuite() {
        delete result_;
        delete dir_;
    }
    static ScratchDir* dir_;
    static test::RunResult* result_;
};
ScratchDir* ExampleRun::dir_ = nullptr;
test::RunResult* ExampleRun::result_ = nullptr;

TEST_F(ExampleRun, StatisticsTableGivesTheReportLines) {
    ASSERT_EQ(result_->status, 0) << result_->err;
    const std::vector<ReportStat> report = StatisticLines(dir_->Read("aravoPrinda.txt"));
    ASSERT_EQ(report.size(), 21u);  // with E, quantitative traits and the phylogeny
    const test::Table t = test::ReadTsv(dir_->Read("aravoStats.tsv"));
    ASSERT_EQ(t.rows.size(), report.size());
    for (std::size_t i = 0; i < report.size(); ++i) {
        const auto& row = t.rows[i];
        EXPECT_EQ(row[t.Col("statistic")], report[i].label);
        for (const auto& [key, printed] : report[i].values) {
            // Same digits as the report (default preference): the same text, and the same number.
            EXPECT_EQ(row[t.Col(key)], printed) << report[i].label << ' ' << key;
            EXPECT_EQ(test::TsvValue(row[t.Col(key)]), std::stod(printed));
        }
        EXPECT_EQ(row[t.Col("session")], "aravo");
        EXPECT_EQ(row[t.Col("permutations")], "99");
        EXPECT_EQ(row[t.Col("seed")], "12345");
        EXPECT_EQ(row[t.Col("null_model")], "taxa shuffle");
        EXPECT_EQ(row[t.Col("subset")], "Height Spread Angle Area Thick SLA N_mass Seed");
    }
    EXPECT_EQ(t.rows[2][t.Col("statistic")], "TDAP: r(XE.T)");
    EXPECT_EQ(t.rows[2][t.Col("asymP_tail")], "two-sided");
    EXPECT_EQ(t.rows[2][t.Col("P_tail")], "absolute");
}

TEST_F(ExampleRun, CommunityTableGivesTheReportDiversity) {
    ASSERT_EQ(result_->status, 0) << result_->err;
    const std::string report = dir_->Read("aravoPrinda.txt");
    const test::Table t = test::ReadTsv(dir_->Read("aravoCommunities.tsv"));
    ASSERT_EQ(t.rows.size(), 75u);
    EXPECT_EQ(t.rows[0][t.Col("community")], "AR07");
    EXPECT_EQ(t.rows[74][t.Col("community")], "AR59");
    const auto richness = NumbersAfter(report, "OTU richness in each community:", 1);
    const auto rf = NumbersAfter(report, "between OTUs (Rf):", 1);
    const auto rp = NumbersAfter(report, "Rao quadratic entropy (Rp) within each community", 1);
    const auto scores = NumbersAfter(report, "PCOA scores of Beals-transformed communities", 75);
    ASSERT_EQ(richness.at(0).size(), 75u);
    ASSERT_EQ(rf.at(0).size(), 75u);
    ASSERT_EQ(rp.at(0).size(), 75u);
    ASSERT_EQ(scores.size(), 75u);
    for (std::size_t i = 0; i < 75; ++i) {
        const auto& row = t.rows[i];
        EXPECT_EQ(test::TsvValue(row[t.Col("richness")]), richness[0][i]);
        EXPECT_EQ(test::TsvValue(row[t.Col("Rf")]), rf[0][i]);
        EXPECT_EQ(test::TsvValue(row[t.Col("Rp")]), rp[0][i]);
        EXPECT_EQ(test::TsvValue(row[t.Col("Y_axis1")]), scores[i].at(0));
        EXPECT_EQ(test::TsvValue(row[t.Col("Y_axis2")]), scores[i].at(1));
    }
}

TEST_F(ExampleRun, PicturesHoldEveryCommunityAndEveryStatistic) {
    ASSERT_EQ(result_->status, 0) << result_->err;
    const std::string report = dir_->Read("aravoPrinda.txt");
    const test::XmlElement ord = test::ParseXml(dir_->Read("aravoOrdination.svg"));
    const auto panels = ord.FindClass("ordination");
    ASSERT_EQ(panels.size(), 3u);  // Y, X and P
    const auto scores = NumbersAfter(report, "PCOA scores of Beals-transformed communities", 75);
    for (const auto* p : panels) EXPECT_EQ(p->FindClass("point").size(), 75u);
    const auto points = panels[0]->FindClass("point");
    for (std::size_t i = 0; i < 75 && i < scores.size(); ++i) {
        const double x = std::stod(points[i]->Attr("data-x")), y = std::stod(points[i]->Attr("data-y"));
        EXPECT_NEAR(x, scores[i].at(0), 5e-6 * std::fabs(x) + 1e-12);
        EXPECT_NEAR(y, scores[i].at(1), 5e-6 * std::fabs(y) + 1e-12);
    }
    const test::XmlElement nul = test::ParseXml(dir_->Read("aravoNull.svg"));
    const auto hist = nul.FindClass("histogram");
    const std::vector<ReportStat> stats = StatisticLines(report);
    ASSERT_EQ(hist.size(), stats.size());
    for (std::size_t k = 0; k < hist.size(); ++k) {
        EXPECT_EQ(hist[k]->Attr("data-label"), stats[k].label);
        EXPECT_EQ(hist[k]->Attr("data-n"), "98");  // niter - 1 random values
        const auto obs = hist[k]->FindClass("observed");
        ASSERT_EQ(obs.size(), 1u);
        const double o = std::stod(obs[0]->Attr("data-value"));
        const double printed = std::stod(stats[k].values.at("observed"));
        EXPECT_NEAR(o, printed, 5e-6 * std::fabs(printed));
        const auto area = hist[k]->FindClass("plot-area")[0];
        const double lo = std::stod(area->Attr("data-lo")), hi = std::stod(area->Attr("data-hi"));
        const double x0 = std::stod(area->Attr("data-x0")), x1 = std::stod(area->Attr("data-x1"));
        EXPECT_NEAR(std::stod(obs[0]->Attr("x1")), x0 + (o - lo) / (hi - lo) * (x1 - x0), 0.006);
    }
}

TEST_F(ExampleRun, RecordedRunReplaysToTheSameReport) {
    ASSERT_EQ(result_->status, 0) << result_->err;
    const std::string recorded = dir_->Read("rec.txt");
    // Everything consumed, exactly: the answers up to the final X (its line end is never read).
    std::string answers = DemoAnswers();
    EXPECT_EQ(recorded, answers.substr(0, answers.size() - 1));
    ScratchDir again;
    CopyInputs(again);
    const auto r = test::RunKolvar(again, recorded, 300);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string first = dir_->Read("aravoPrinda.txt"), second = again.Read("aravoPrinda.txt");
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(test::WithoutTimeStamps(second), test::WithoutTimeStamps(first));
}

TEST(OutputsScenario, AppendedRunAddsRowsUnderOneHeader) {
    ScratchDir dir;
    CopyInputs(dir);
    std::string answers = DemoAnswers();
    ASSERT_EQ(test::RunKolvar(dir, answers, 300).status, 0);
    // The same run again, appending to the report ("a" at the previous-file question).
    const std::string at = "12345\ny\n";
    answers.replace(answers.find(at), at.size(), at + "a\n");
    const auto r = test::RunKolvar(dir, answers, 300);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string stats = dir.Read("aravoStats.tsv");
    const test::Table t = test::ReadTsv(stats);
    EXPECT_EQ(t.rows.size(), 42u);
    EXPECT_EQ(StatisticLines(dir.Read("aravoPrinda.txt")).size(), 42u);
    EXPECT_EQ(stats.find("run\tsession"), 0u);
    EXPECT_EQ(stats.find("run\tsession", 1), std::string::npos);
    EXPECT_EQ(test::ReadTsv(dir.Read("aravoCommunities.tsv")).rows.size(), 150u);
    // Same seed, same numbers: the second run's rows repeat the first run's.
    for (std::size_t i = 0; i < 21; ++i)
        EXPECT_EQ(t.rows[i][t.Col("observed")], t.rows[i + 21][t.Col("observed")]);
}

// The parsing itself is tested on RunCommandLine; here, that the binary hands it its arguments.
TEST(OutputsScenario, BinaryPassesItsArguments) {
    ScratchDir dir;
    auto r = test::RunKolvar(dir, "", {"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "KOLVAR v.2.11.75\n");
    r = test::RunKolvar(dir, "X\n", {"--frobnicate"});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.out.empty());  // nothing was run
}

std::string GuideAnswers() { return test::Slurp(test::SourcePath("examples/guide/answers.txt")); }

void CopyGuide(const ScratchDir& dir) {
    for (const char* f : {"B.txt", "W.txt", "E.txt", "F.txt", "species.txt"})
        dir.CopyFromSource(std::string("examples/guide/") + f);
}

TEST(OutputsScenario, GuideExampleImportsAndItsTablesHoldTheHandComputedValues) {
    // The user guide's 6-species x 5-site example, imported and analysed with
    // the answers the guide prints.
    ScratchDir dir;
    CopyGuide(dir);
    const auto r = test::RunKolvar(dir, GuideAnswers(), 120);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const test::Table stats = test::ReadTsv(dir.Read("guideStats.tsv"));
    EXPECT_EQ(stats.rows.size(), 21u);
    const test::Table c = test::ReadTsv(dir.Read("guideCommunities.tsv"));
    ASSERT_EQ(c.rows.size(), 5u);
    const auto& s1 = c.rows[0];
    EXPECT_EQ(s1[c.Col("community")], "S1");
    EXPECT_EQ(s1[c.Col("richness")], "4");
    // Site S1 holds 5 3 0 0 1 2 of the six species. Weighted means, the
    // species without SLA (-999) left out of its mean:
    EXPECT_NEAR(test::TsvValue(s1[c.Col("T_Height")]), (5 * 12.5 + 3 * 30 + 95 + 2 * 20) / 11.0, 5e-5);
    EXPECT_NEAR(test::TsvValue(s1[c.Col("T_SLA")]), (5 * 21.0 + 3 * 15.2 + 11.0) / 9.0, 5e-5);
    EXPECT_NEAR(test::TsvValue(s1[c.Col("T_Woody")]), 1 / 11.0, 5e-7);
    // Gini-Simpson: 1 - sum of squared relative abundances.
    EXPECT_NEAR(test::TsvValue(s1[c.Col("D")]), 1 - 39.0 / 121.0, 5e-7);
    EXPECT_NEAR(test::TsvValue(s1[c.Col("D_eq")]), 121.0 / 39.0, 5e-6);
    EXPECT_EQ(test::ParseXml(dir.Read("guideOrdination.svg")).FindClass("point").size(), 15u);
}

std::string Replaced(std::string s, const std::string& from, const std::string& to) {
    const std::size_t k = s.find(from);
    EXPECT_NE(k, std::string::npos) << from;
    if (k != std::string::npos) s.replace(k, from.size(), to);
    return s;
}

TEST(OutputsScenario, RegressionTableGivesTheReportTables) {
    ScratchDir dir;
    CopyGuide(dir);
    // Congruence by linear regression (4): no resemblance nor Mantel question.
    const auto r = test::RunKolvar(dir, Replaced(GuideAnswers(), "y\n1\n1\n6\nm\n", "y\n1\n4\n"), 120);
    ASSERT_EQ(r.status, 0) << r.err;
    // The report's regression lines, in order: response, then its factors and intercept.
    std::vector<std::vector<std::string>> want;  // response, factor, value, p
    std::istringstream rep(dir.Read("guidePrinda.txt"));
    std::string response;
    for (std::string line; std::getline(rep, line);) {
        if (line.rfind("Trait:\t", 0) == 0) {
            response = After(line, "Trait:\t");
            want.push_back({response, "", After(line, "r-square=\t"), After(line, "p-value=\t")});
        } else if (line.rfind("Functional diversity:", 0) == 0 || line.rfind("Phylogenentic diversity:", 0) == 0) {
            response = line[0] == 'F' ? "Rf" : "Rp";
            want.push_back({response, "", After(line, "r-square=\t"), After(line, "p-value=\t")});
        } else if (line.rfind("Factor:\t", 0) == 0) {
            want.push_back({response, After(line, "Factor:\t"), After(line, "coeff=\t"), After(line, "p-value=\t")});
        } else if (line.rfind("Intercept=\t", 0) == 0) {
            want.push_back({response, "", After(line, "Intercept=\t"), "NA"});
        }
    }
    ASSERT_EQ(want.size(), 20u);  // Height, SLA, Woody, Rf, Rp: r-square, two factors, intercept
    const test::Table t = test::ReadTsv(dir.Read("guideStats.tsv"));
    ASSERT_EQ(t.rows.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        const auto& row = t.rows[i];
        EXPECT_EQ(row[t.Col("response")], want[i][0]) << i;
        EXPECT_EQ(row[t.Col("factor")], want[i][1]) << i;
        EXPECT_EQ(row[t.Col("observed")], want[i][2]) << i;
        EXPECT_EQ(row[t.Col("P")], want[i][3]) << i;
    }
    // One histogram per tested row (not the intercepts), in the table's order.
    const test::XmlElement nul = test::ParseXml(dir.Read("guideNull.svg"));
    const auto hist = nul.FindClass("histogram");
    std::vector<const std::vector<std::string>*> tested;
    for (const auto& w : want)
        if (w[3] != "NA") tested.push_back(&w);
    ASSERT_EQ(hist.size(), tested.size());
    for (std::size_t i = 0; i < hist.size(); ++i) {
        const std::string label = hist[i]->Attr("data-label");
        const auto& w = *tested[i];
        EXPECT_NE(label.find(w[1].empty() ? "r-square" : "factor " + w[1] + " coeff"), std::string::npos) << label;
        const auto obs = hist[i]->FindClass("observed");
        ASSERT_EQ(obs.size(), 1u) << label;
        EXPECT_NEAR(std::stod(obs[0]->Attr("data-value")), std::stod(w[2]), 5e-6 * std::fabs(std::stod(w[2]))) << label;
    }
}

TEST(OutputsScenario, TraitCombinationsNumberThePicturesAndNameTheSubsets) {
    ScratchDir dir;
    CopyGuide(dir);
    // Every subset of one or two of the three traits: 3 + 3 subsets.
    const auto r = test::RunKolvar(dir, Replaced(GuideAnswers(), "1\n1\nn\n1\ny\n99", "1\n1\ny\n1\n2\n1\ny\n99"), 120);
    ASSERT_EQ(r.status, 0) << r.err;
    for (int k = 1; k <= 6; ++k) {
        EXPECT_TRUE(dir.Exists("guideNull_" + std::to_string(k) + ".svg")) << k;
        EXPECT_TRUE(dir.Exists("guideOrdination_" + std::to_string(k) + ".svg")) << k;
    }
    EXPECT_FALSE(dir.Exists("guideNull.svg"));
    std::vector<std::string> subsets;  // from the report's "TRAITS:" lines
    std::istringstream rep(dir.Read("guidePrinda.txt"));
    for (std::string line; std::getline(rep, line);)
        if (line.rfind("TRAITS:\t", 0) == 0) {
            std::string s = line.substr(8);
            while (!s.empty() && s.back() == '\t') s.pop_back();
            for (char& c : s)
                if (c == '\t') c = ' ';
            if (subsets.empty() || subsets.back() != s) subsets.push_back(s);
        }
    ASSERT_EQ(subsets.size(), 6u);
    const test::Table c = test::ReadTsv(dir.Read("guideCommunities.tsv"));
    ASSERT_EQ(c.rows.size(), 30u);
    for (std::size_t i = 0; i < c.rows.size(); ++i) EXPECT_EQ(c.rows[i][c.Col("subset")], subsets[i / 5]);
    const test::Table t = test::ReadTsv(dir.Read("guideStats.tsv"));
    EXPECT_EQ(t.rows.size(), 6u * 21u);
    EXPECT_EQ(t.rows.back()[t.Col("subset")], subsets.back());
    // A trait outside the subset has no weighted mean in its rows.
    EXPECT_EQ(c.rows[0][c.Col("T_SLA")], "NA");
    EXPECT_NE(c.rows[0][c.Col("T_Height")], "NA");
}

}  // namespace
}  // namespace kolvar
