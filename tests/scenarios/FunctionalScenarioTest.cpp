// The functional analysis driven through the whole dialogue on the example
// data: every statistic type and null model, with and without the phylogeny.

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <vector>

#include "support/Scenario.hpp"

namespace kolvar {
namespace {

using test::RunKolvar;
using test::RunResult;
using test::ScratchDir;

struct Choices {
    bool phylogeny = true;
    std::string envFile = "E_quant.txt";
    int nenv = 4;
    int envKind = 2;
    int fuzzy = 1;
    int opt_ro = 1;
    char corr = 'm';
    bool squared = false;
    std::string traits = "1";
    std::string comb = "n";
    int niter = 9;
    char shuffle = 't';
    bool restricted = false;
    bool bootstrap = false;
    unsigned seed = 5;
    bool detail = false;
};

std::vector<std::string> ImportLines() {
    std::ifstream f(test::SourcePath("examples/import_aravo.txt"));
    std::vector<std::string> lines;
    for (std::string l; std::getline(f, l);) lines.push_back(l);
    return lines;
}

std::string Answers(const Choices& c) {
    std::vector<std::string> imp = ImportLines();
    // The import script ends by leaving the session and the program.
    imp.resize(imp.size() - 2);
    imp[10] = c.envFile;
    imp[24] = std::to_string(c.nenv);
    imp[26] = std::to_string(c.envKind);
    if (!c.phylogeny) {
        imp[4] = "0";
        imp.erase(imp.begin() + 19);  // format of the phylogeny
        imp.erase(imp.begin() + 5);   // its file
    }
    std::ostringstream a;
    for (const auto& l : imp) a << l << '\n';
    a << "V\nH\n0\ny\n" << c.fuzzy << '\n' << c.opt_ro << '\n';
    if (c.opt_ro == 1 || c.opt_ro == 5) a << "6\n";
    if (c.opt_ro == 1) {
        a << c.corr << '\n';
        if (c.corr == 'r') a << (c.squared ? "y\n" : "n\n");
    }
    if (c.opt_ro == 5) {
        a << "1\n";
        for (int e = 0; e < c.nenv; ++e) a << "1 ";
        a << '\n';
    } else {
        a << "1\n";
    }
    a << c.traits << '\n' << c.comb << '\n' << "1\ny\n" << c.niter << '\n' << c.shuffle << '\n';
    if (c.shuffle == 't') {
        a << (c.restricted ? "1\n" : "0\n");
        if (c.restricted) {
            a << "k\n";
            for (int i = 0; i < 82; ++i) a << (i < 41 ? "1 " : "2 ");
            a << '\n';
        }
        if (c.opt_ro != 5) a << (c.bootstrap ? "y\n" : "n\n");
    }
    a << "2\n" << c.seed << '\n' << (c.detail ? "y\n" : "n\n") << "\nC\nC\nX\n";
    return a.str();
}

// Only qualitative variables (Form ordinal, ZoogD nominal), for the analysis
// of variance, which refuses quantitative factors.
void WriteQualitativeE(const ScratchDir& dir) {
    std::istringstream in(dir.Read("E_mixed.txt"));
    std::vector<std::string> v;
    for (std::string w; in >> w;) v.push_back(w);
    std::ostringstream out;
    for (int i = 0; i < 75; ++i) out << v[i * 6 + 2] << '\t' << v[i * 6 + 4] << '\n';
    out << v[75 * 6 + 2] << '\t' << v[75 * 6 + 4] << '\n';
    dir.Write("E_qual.txt", out.str());
}

struct Run {
    ScratchDir dir;
    RunResult result;
    std::string report;
};

std::unique_ptr<Run> Analyse(const Choices& c) {
    auto r = std::make_unique<Run>();
    for (const char* f : {"B.txt", "W.txt", "F_taxo.txt", "species.txt", "E_quant.txt", "E_mixed.txt"})
        r->dir.CopyFromSource(std::string("examples/aravo/") + f);
    WriteQualitativeE(r->dir);
    r->result = RunKolvar(r->dir, Answers(c), 600);
    r->report = r->dir.Read("aravoPrinda.txt");
    return r;
}

void ExpectCompleted(const Run& r) {
    EXPECT_EQ(r.result.status, 0) << r.result.err;
    EXPECT_NE(r.result.out.find("\n\nResults on file aravoPrinda.txt\n"), std::string::npos);
    EXPECT_NE(r.report.find("\nElapsed time for the analyses: "), std::string::npos);
    EXPECT_NE(r.report.find("Random generator seed: "), std::string::npos);
}

bool Has(const std::string& text, const std::string& what) { return text.find(what) != std::string::npos; }

// The report without its run-dependent lines: the time stamp and the elapsed time.
std::string Stable(const std::string& report) {
    static const std::regex stamp("^[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9]\\d \\d\\d:\\d\\d:\\d\\d \\d{4}$");
    std::istringstream in(report);
    std::string out;
    for (std::string l; std::getline(in, l);)
        if (!std::regex_match(l, stamp) && l.rfind("Elapsed time for the analyses: ", 0) != 0) out += l + '\n';
    return out;
}

TEST(FunctionalScenario, MantelTaxaShuffleWithPhylogenyReproducesFromSeed) {
    Choices c;
    c.detail = true;
    auto a = Analyse(c);
    ExpectCompleted(*a);
    const std::string& s = a->report;
    EXPECT_TRUE(Has(s, "(Mantel)\nResemblance option between communities: 6 (Euclidean distance)\n"));
    EXPECT_TRUE(Has(s, "\n\nThe statistics shown below are Mantel type matrix correlations. "));
    EXPECT_TRUE(Has(s, "\nPhylogenetic signal at OTU (species) level ro(BF) = \t"));
    EXPECT_TRUE(Has(s, "Convergence (TCAP): r(TE)=\t"));
    EXPECT_TRUE(Has(s, "\n\nDIVERSITY\n"));
    EXPECT_TRUE(Has(s, "\n\nPHYLOGENETIC DIVERSITY"));
    EXPECT_TRUE(Has(s, "\nPCOA scores of Beals-transformed communities on the first 6 ordination components:\n"));
    EXPECT_TRUE(Has(s, "PHYLOGENETIC similarites:"));
    EXPECT_TRUE(Has(s, "\nNumber of iterations for permutation tests: 9\nRandom generator seed: 5\n"));

    auto b = Analyse(c);
    ExpectCompleted(*b);
    EXPECT_EQ(Stable(a->report), Stable(b->report));
    EXPECT_LT(Stable(a->report).size(), a->report.size());
}

TEST(FunctionalScenario, RdSiteShuffleWithoutPhylogeny) {
    Choices c;
    c.phylogeny = false;
    c.corr = 'r';
    c.squared = true;
    c.shuffle = 's';
    c.fuzzy = 0;
    auto r = Analyse(c);
    ExpectCompleted(*r);
    const std::string& s = r->report;
    EXPECT_TRUE(Has(s, "\nPhylogeny: Is NOT considered\n\n"));
    EXPECT_TRUE(Has(s, "with squared dissimilarities\n"));
    EXPECT_TRUE(Has(s, "Squared dissimilarities were used, thus the statistic is equivalent to the RV coefficient of "));
    EXPECT_TRUE(Has(s, "Null model based on site shuffle"));
    EXPECT_TRUE(Has(s, "Fuzzy transformation: \tnone (crisp)\n"));
    EXPECT_FALSE(Has(s, "PSAP"));
    EXPECT_FALSE(Has(s, "DIVERSITY"));
}

TEST(FunctionalScenario, ProcrustesCorrelations) {
    Choices c;
    c.opt_ro = 2;
    c.niter = 3;
    auto r = Analyse(c);
    ExpectCompleted(*r);
    const std::string& s = r->report;
    EXPECT_TRUE(Has(s, "\nMatrix correlation function between matrices: \tProcrustes (traceW)\n"));
    EXPECT_TRUE(Has(s, "Factor (f) for limiting the number of predictors in PCA regression in relation to sample size "
                       "n (number of predictors = n/f): 2\n"));
    EXPECT_TRUE(Has(s, "\nThe statistics shown below are Procrustes correlations (traceW).\n"));
    EXPECT_FALSE(Has(s, "Resemblance option between communities"));
}

TEST(FunctionalScenario, RestrictedTaxaShuffleOverTraitSubsets) {
    Choices c;
    c.restricted = true;
    c.traits = "2\n1 1 0 0 0 0 0 1";
    c.comb = "y\n2\n2";
    auto r = Analyse(c);
    ExpectCompleted(*r);
    const std::string& s = r->report;
    EXPECT_TRUE(Has(s, "Permutations of OTUs: Restricted within the following groups:\nNesting groups for 82 OTUs:\t1\t"));
    EXPECT_TRUE(Has(s, "Traits considered in the computation of OTUs resemblance:\nHeight\tSpread\tSeed\t"));
    // Three 2-subsets of the three selected traits; one description.
    EXPECT_TRUE(Has(s, "\n\nTRAITS:\tHeight\tSpread\t\n\n"));
    EXPECT_TRUE(Has(s, "\n\nTRAITS:\tHeight\tSeed\t\n\n"));
    EXPECT_TRUE(Has(s, "\n\nTRAITS:\tSpread\tSeed\t\n\n"));
    std::size_t first = s.find("The statistics shown below");
    EXPECT_EQ(s.find("The statistics shown below", first + 1), std::string::npos);
}

TEST(FunctionalScenario, RVWithBootstrap) {
    Choices c;
    c.opt_ro = 3;
    c.bootstrap = true;
    auto r = Analyse(c);
    ExpectCompleted(*r);
    const std::string& s = r->report;
    EXPECT_TRUE(Has(s, "\nThe statistics shown below are RV coefficients ("));
    EXPECT_TRUE(Has(s, "95% confidence interval of the observed value obtained in 9 bootstrap samples"));
    EXPECT_TRUE(Has(s, "which was combined with a BOOTSTRAP sample of compositional matrix W"));
}

TEST(FunctionalScenario, RegressionTables) {
    Choices c;
    c.opt_ro = 4;
    auto r = Analyse(c);
    ExpectCompleted(*r);
    const std::string& s = r->report;
    EXPECT_TRUE(Has(s, "\nThe statistics shown below are the r square and regression coefficients.\n"));
    EXPECT_TRUE(Has(s, "\n\nREGRESSION MODELS\nFor each response variable"));
    EXPECT_TRUE(Has(s, "\nTrait:\tHeight\tr-square=\t"));
    EXPECT_TRUE(Has(s, "Factor:\tSnow\tcoeff=\t"));
    EXPECT_TRUE(Has(s, "\nFunctional diversity:\t\tr-square=\t"));
    EXPECT_TRUE(Has(s, "\nPhylogenentic diversity:\t\tr-square=\t"));
    EXPECT_FALSE(Has(s, "r(TE)="));
}

TEST(FunctionalScenario, AnalysisOfVarianceOnQualitativeFactors) {
    Choices c;
    c.opt_ro = 5;
    c.envFile = "E_qual.txt";
    c.nenv = 2;
    c.envKind = 3;
    auto r = Analyse(c);
    ExpectCompleted(*r);
    const std::string& s = r->report;
    EXPECT_TRUE(Has(s, "\nThe statistics shown below are pseudo-F values (between/within groups sum of squares).\n"));
    EXPECT_TRUE(Has(s, "\n\nANALYSIS OF VARIANCE\nSelected communities:\n1\t1\t"));
    EXPECT_TRUE(Has(s, "\nSelected factors and observation states in 75 communities:\nFactor:\tForm\tStates:\t"));
    EXPECT_TRUE(Has(s, "MANOVA using matrix T (community weighted means) as multivariate response:\nFactor:\tForm\tPseudo-F=\t"));
    EXPECT_TRUE(Has(s, "MANOVA using matrix P (phylogenetically fuzzy-weighted community composition)"));
    EXPECT_TRUE(Has(s, "ANOVA using Rao phylogenetic diversity as univariate response:\nFactor:\tForm\t"));
    EXPECT_FALSE(Has(s, "BOOTSTRAP"));
}

}  // namespace
}  // namespace kolvar
