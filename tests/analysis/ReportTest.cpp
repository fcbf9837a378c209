// Branches of the functional analysis report writers; the whole reports of the
// usual layouts are kept by the recorded runs in tests/scenarios/cases/.

#include <gtest/gtest.h>

#include <sstream>

#include "analysis/Report.hpp"
#include "analysis/Tables.hpp"
#include "support/Parts.hpp"

namespace kolvar {
namespace {

struct Fixture {
    FixedClock clock{0};
    test::Parts p;
    PermTest_FunctionalPhyl_Correl_Input rec;

    Fixture() {
        DataSet& d = p.data;
        d.nch = 2;
        d.ncsm = 4;
        d.tcst = 3;
        d.nenv = 2;
        AllocateWorkingStorage(d);
        d.chLabel = {"H", "S"};
        d.chtype = {3, 3};
        d.envLabel = {"pH", "N"};
        d.reLabel = {"a", "b", "c", "d"};
        d.relSelect.assign(4, 1);
        for (int s = 0; s < kNumTestedStats; ++s) {
            rec.obs[s] = 0.5;
            rec.prob[s] = 0.01;
            rec.ses[s] = 2;
            rec.expected[s] = 0.1;
            rec.lowerLimit[s] = -0.2;
            rec.upperLimit[s] = 0.3;
            rec.asymProb[s] = 0.02;
        }
        rec.obs[kTE] = 0.75;
        rec.nEnv = 2;
        rec.nTypes = 3;
    }
    std::string Stats(bool hasQual, std::vector<int> env = {1, 1}) {
        std::ostringstream fp;
        WriteStatistics(fp, p.Report(clock), p.data, rec, {1, 1}, hasQual, env, {1, 1, 1});
        return fp.str();
    }
};

TEST(Report, PhylogenyBlockAndDetailLines) {
    Fixture f;
    f.rec.includePhylogeny = true;
    f.p.fa.printDetail = true;
    f.p.hier.fuzzy = 0;
    const std::string s = f.Stats(false);
    EXPECT_NE(s.find("\nNumber of crisp types:\t3\nTraits:\tH \tS \t\nNumber of OTUs in each type:\t1\t1\t1\t\n"),
              std::string::npos);
    EXPECT_NE(s.find("\nSelected ecological variables (factors or effects):\tpH\tN\t\n"), std::string::npos);
    EXPECT_NE(s.find("\nPhylogenetic signal at OTU (species) level ro(BF) = \t0.5\tP=\t0.01\tSES=\t2\tE=\t0.1\t95% "
                     "confidence interval under H0\tLL=\t-0.2\tUL=\t0.3\tasymmetry-based P-value=\t0.02\n"),
              std::string::npos);
    EXPECT_NE(s.find("Removing TCAP and TDAP from phylogeny: ro(PE.X)="), std::string::npos);
    const std::string nominal = f.Stats(true);
    EXPECT_EQ(nominal.find("ro(PT)"), std::string::npos);
    EXPECT_EQ(nominal.find("ro(TE.P)"), std::string::npos);
    EXPECT_NE(nominal.find("ro(PX)="), std::string::npos);
}

// The layouts the recorded runs do not reach: a trait left out of the subset,
// and nominal traits, which have no T.
TEST(Report, RegressionAndAnovaLeaveOutTraitsNotTested) {
    Fixture f;
    RegressionResults r;
    r.Allocate(4, 2);
    f.rec.regrResults = &r;
    std::ostringstream fp;
    WriteRegression(fp, f.p.data, f.rec, {0, 1}, false, {1, 1}, true);
    EXPECT_EQ(fp.str().find("Trait:\tH"), std::string::npos);
    EXPECT_NE(fp.str().find("\nTrait:\tS\tr-square=\t"), std::string::npos);

    PseudoFResults pf;
    pf.Allocate(1, 2);
    f.rec.pseudoFResults = &pf;
    f.rec.nEnv = 1;
    std::ostringstream nom;
    WriteAnova(nom, f.p.data, f.rec, {1, 0}, true, Matrix<double>(4, 1), {0, 1}, false);
    EXPECT_EQ(nom.str().find("MANOVA using matrix T"), std::string::npos);
    EXPECT_NE(nom.str().find("MANOVA using matrix X"), std::string::npos);
}

TEST(Report, TablesListTheStatisticLinesTheReportPrints) {
    // The statistics table follows its own list of lines; it must stay the
    // report's, label for label, in every layout.
    for (bool withE : {true, false})
        for (bool quant : {true, false})
            for (bool phyl : {true, false}) {
                Fixture f;
                f.rec.includePhylogeny = phyl;
                f.rec.nEnv = withE ? 2 : 0;
                const std::string text = f.Stats(!quant, withE ? std::vector<int>{1, 1} : std::vector<int>{0, 0});
                std::vector<std::string> printed;
                std::istringstream in(text);
                for (std::string line; std::getline(in, line);)
                    if (line.find("asymmetry-based P-value=") != std::string::npos) {
                        std::string label = line.substr(0, line.find('='));
                        label.erase(label.find_last_not_of(' ') + 1);
                        printed.push_back(label);
                    }
                std::vector<std::string> listed;
                for (const PrintedStat& s : PrintedStatistics(withE, quant, phyl)) listed.push_back(s.label);
                EXPECT_EQ(listed, printed) << withE << quant << phyl;
            }
}

}  // namespace
}  // namespace kolvar
