// Trait ranking (analysis menu K) driven through the whole dialogue on the
// example data, checked against the functional analysis (menu H), which
// computes the same correlations by its own road.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "support/Scenario.hpp"

namespace kolvar {
namespace {

using test::RunKolvar;
using test::RunResult;
using test::ScratchDir;

enum class DataKind { Full, NoPhylogeny, NoVariables };

std::string ImportAnswers(DataKind kind) {
    std::ifstream f(test::SourcePath("examples/import_aravo.txt"));
    std::vector<std::string> imp;
    for (std::string l; std::getline(f, l);) imp.push_back(l);
    imp.resize(imp.size() - 2);  // the script ends by leaving the session and the program
    if (kind == DataKind::NoPhylogeny) {
        imp[4] = "0";
        imp.erase(imp.begin() + 19);
        imp.erase(imp.begin() + 5);
    }
    if (kind == DataKind::NoVariables) {
        imp.erase(imp.begin() + 24, imp.begin() + 28);
        imp[9] = "0";
        imp.erase(imp.begin() + 10);
    }
    std::string a;
    for (const auto& l : imp) a += l + '\n';
    return a;
}

struct Ranking {
    std::string refused;  // criteria typed before the accepted one, each with its newline
    int criterion = 1;
    int minTraits = 1, maxTraits = 8;
    char intermediate = 'n';
    bool variables = true;
};

std::string RankingAnswers(const Ranking& r) {
    std::ostringstream a;
    a << "V\nK\n" << r.refused << r.criterion << "\ny\n1\n1\n";
    if (r.criterion != 10 && r.criterion != 16) a << "6\n";
    a << "m\n";
    if (r.variables) a << "1\n";
    a << "1\nn\ny\n" << r.minTraits << '\n' << r.maxTraits << '\n' << r.intermediate << "\n\nC\nC\nX\n";
    return a.str();
}

std::string AnalysisAnswers(bool singleTraits) {
    std::ostringstream a;
    a << "V\nH\n0\ny\n1\n1\n6\nm\n1\n1\n" << (singleTraits ? "y\n1\n1\n" : "n\n")
      << "1\ny\n9\nt\n0\nn\n2\n5\nn\n\nC\nC\nX\n";
    return a.str();
}

struct Session {
    ScratchDir dir;
    RunResult result;
};

std::unique_ptr<Session> RunSession(const std::string& answers) {
    auto s = std::make_unique<Session>();
    for (const char* f : {"B.txt", "W.txt", "F_taxo.txt", "species.txt", "E_quant.txt"})
        s->dir.CopyFromSource(std::string("examples/aravo/") + f);
    s->result = RunKolvar(s->dir, answers, 600);
    return s;
}

double ValueAfter(const std::string& text, const std::string& key) {
    const std::size_t p = text.find(key);
    if (p == std::string::npos) return -999.0;
    return std::stod(text.substr(p + key.size()));
}

// Values of the functional analysis: the whole trait set, and each trait alone.
struct AnalysisValues {
    std::map<std::string, double> all;
    std::map<std::string, std::map<std::string, double>> single;  // trait -> key -> value
};

const char* const kKeys[] = {"r(XE)=\t", "ro(PX)=\t", "r(XY)=\t"};

const AnalysisValues& Analysis() {
    static const AnalysisValues values = [] {
        AnalysisValues v;
        auto whole = RunSession(ImportAnswers(DataKind::Full) + AnalysisAnswers(false));
        const std::string report = whole->dir.Read("aravoPrinda.txt");
        for (const char* k : kKeys) v.all[k] = ValueAfter(report, k);
        auto singles = RunSession(ImportAnswers(DataKind::Full) + AnalysisAnswers(true));
        const std::string text = singles->dir.Read("aravoPrinda.txt");
        for (std::size_t p = 0; (p = text.find("\n\nTRAITS:\t", p)) != std::string::npos;) {
            p += 10;
            const std::string trait = text.substr(p, text.find('\t', p) - p);
            const std::size_t end = text.find("\n\nTRAITS:\t", p);
            const std::string section = text.substr(p, end == std::string::npos ? std::string::npos : end - p);
            for (const char* k : kKeys) v.single[trait][k] = ValueAfter(section, k);
        }
        return v;
    }();
    return values;
}

struct Family {
    const char* name;
    int criterion;
    const char* suffix;
    const char* key1;
    const char* key2;  // the product of two correlations for niche conservation, or null
};

class RankingFamily : public ::testing::TestWithParam<Family> {};

TEST_P(RankingFamily, BestSubsetsAgreeWithTheFunctionalAnalysis) {
    const Family& fam = GetParam();
    Ranking r;
    r.criterion = fam.criterion;
    auto s = RunSession(ImportAnswers(DataKind::Full) + RankingAnswers(r));
    ASSERT_EQ(s->result.status, 0) << s->result.err;
    const std::string file = std::string("aravo") + fam.suffix;
    EXPECT_NE(s->result.out.find("\n\nResults on file " + file + "\n"), std::string::npos);
    const std::string text = s->dir.Read(file);
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.find("\nTRAIT SUBSET OPTIMIZATION\n"), std::string::npos);
    EXPECT_NE(text.find("Session:        aravo \nFormatted data: aravoFormda.txt \n"), std::string::npos);

    const bool niche = fam.key2 != nullptr;
    const std::string sizeLine = niche ? "Ranking criterion values, groups and optimal subset with %d traits: \t"
                                       : "Ranking criterion value, and optimal subset with %d traits: \t";
    auto lineOf = [&](int k) {
        std::string head = sizeLine;
        head.replace(head.find("%d"), 2, std::to_string(k));
        const std::size_t p = text.find(head);
        EXPECT_NE(p, std::string::npos) << head;
        return text.substr(p + head.size(), text.find('\n', p) - p - head.size());
    };
    const AnalysisValues& fa = Analysis();
    auto combined = [&](const std::map<std::string, double>& m) {
        return niche ? m.at(fam.key1) * m.at(fam.key2) : m.at(fam.key1);
    };

    // The whole trait set is the functional analysis's own subset.
    const std::string full = lineOf(8);
    EXPECT_NEAR(std::stod(full), combined(fa.all), niche ? 2e-6 : 1e-6) << full;
    EXPECT_NE(full.find("Height\tSpread\tAngle\tArea\tThick\tSLA\tN_mass\tSeed\t"), std::string::npos);

    // Size 1: the best of the eight single-trait analyses.
    ASSERT_EQ(fa.single.size(), 8u);
    std::string bestTrait;
    double best = -2;
    for (const auto& [trait, values] : fa.single)
        if (combined(values) > best) {
            best = combined(values);
            bestTrait = trait;
        }
    const std::string one = lineOf(1);
    EXPECT_NEAR(std::stod(one), best, niche ? 2e-6 : 1e-6) << one;
    EXPECT_NE(one.find("\t" + bestTrait + "\t"), std::string::npos) << one;

    // The closing sections.
    if (niche) {
        EXPECT_NE(text.find("\n\nTrait subsets with maximum matrix correlation (only optimal number of types "
                            "presented):\n"),
                  std::string::npos);
    } else {
        EXPECT_NE(text.find("\n\nTrait subsets with maximum rank for each number of traits:\n"), std::string::npos);
        EXPECT_NE(text.find("\nMaximum number of processors the program used: "), std::string::npos);
    }
    EXPECT_NE(text.find("Elapsed time: "), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Criteria, RankingFamily,
    ::testing::Values(Family{"Environment", 1, "ChRank_TDAP_TCAP.txt", "r(XE)=\t", nullptr},
                      Family{"Phylogeny", 11, "ChRank_PSAP_X.txt", "ro(PX)=\t", nullptr},
                      Family{"Beals", 21, "ChRank_roXY.txt", "r(XY)=\t", nullptr},
                      Family{"NicheConservation", 15, "ChRank_AlphaBetaNicheConserv.txt", "ro(PX)=\t", "r(XE)=\t"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(RankingScenario, IntermediateLinesListEverySubset) {
    Ranking r;
    r.maxTraits = 1;
    r.intermediate = 'y';
    auto s = RunSession(ImportAnswers(DataKind::Full) + RankingAnswers(r));
    ASSERT_EQ(s->result.status, 0) << s->result.err;
    const std::string text = s->dir.Read("aravoChRank_TDAP_TCAP.txt");
    for (const auto& [trait, values] : Analysis().single) {
        const std::string key = "r(XE)=\t";
        const std::size_t p = text.find("\tTraits:\t" + trait + "\t\n");
        ASSERT_NE(p, std::string::npos) << trait;
        const std::size_t start = text.rfind(key, p);
        EXPECT_NEAR(std::stod(text.substr(start + key.size())), values.at(key), 1e-6) << trait;
    }
}

TEST(RankingScenario, MenuRefusesWhatTheDataSetCannotCompute) {
    {
        Ranking r;
        r.refused = "11\n14\n";
        auto s = RunSession(ImportAnswers(DataKind::NoPhylogeny) + RankingAnswers(r));
        ASSERT_EQ(s->result.status, 0) << s->result.err;
        EXPECT_EQ(s->result.out.find("   11  correlation"), std::string::npos);
        EXPECT_NE(s->result.err.find("Criterion 11 cannot be used with this data set. The data set has no phylogeny."),
                  std::string::npos);
        EXPECT_TRUE(s->dir.Exists("aravoChRank_TDAP_TCAP.txt"));
    }
    {
        Ranking r;
        r.refused = "1\n9\n16\n24\n";
        r.criterion = 21;
        r.variables = false;
        r.maxTraits = 2;
        auto s = RunSession(ImportAnswers(DataKind::NoVariables) + RankingAnswers(r));
        ASSERT_EQ(s->result.status, 0) << s->result.err;
        std::size_t menus = 0;
        for (std::size_t p = 0; (p = s->result.out.find("CHARACTER RANKING SETTINGS", p)) != std::string::npos; ++p)
            ++menus;
        EXPECT_EQ(menus, 5u);
        EXPECT_TRUE(s->dir.Exists("aravoChRank_roXY.txt"));
    }
}

TEST(RankingScenario, EndOfInputInTheDialogueIsFatal) {
    for (const char* tail : {"V\nK\n", "V\nK\n1\ny\n1\n1\n6\nm\n1\n1\nn\ny\n1\n"}) {
        auto s = RunSession(ImportAnswers(DataKind::Full) + tail);
        EXPECT_EQ(s->result.status, 1);
        EXPECT_NE(s->result.err.find("END OF FILE !!!"), std::string::npos);
        EXPECT_FALSE(s->dir.Exists("aravoChRank_TDAP_TCAP.txt"));
    }
}

}  // namespace
}  // namespace kolvar
