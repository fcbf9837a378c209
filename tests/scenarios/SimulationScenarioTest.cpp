// Main menu A driven through the real binary: the data-only mode, a small
// error-rate study, reproducibility from a user seed and refused answers.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/Scenario.hpp"

namespace kolvar {
namespace {

using test::RunKolvar;
using test::ScratchDir;

void WriteInputs(const ScratchDir& dir, const std::string& response = "0.8\n0\n") {
    dir.Write("corr.txt", "1 0.3\n0.3 1\n");
    dir.Write("fcorr.txt", "1\n");
    dir.Write("resp.txt", response);
    dir.Write("eff.txt", "0 0\n");
}

// 10 sites, 8 OTUs, 2 traits from a correlation matrix, 1 factor; everything
// else drawn at random; 20 years of 5 steps.
std::string Design(const std::string& traitAnswer = "c\n") {
    return "A\n10\n8\n2\n" + traitAnswer +
           "n\ncorr.txt\nn\n"
           "r\n0.2 0.8\n-3 -1\n"
           "r\n"
           "1\nc\nfcorr.txt\nn\n"
           "n\nresp.txt\neff.txt\n"
           "r\n0.2 0.8\n-3 -1\n"
           "y\n"
           "r\n0.4 0.9\n-3 -1\n"
           "r\n0.2 0.8\n-3 -1\n"
           "r\n2 5\n"
           "r\n0.2 0.8\n-3 -1\n"
           "10\n20\n5\n0.5\n";
}

std::string DataOnly(unsigned seed, bool steps) {
    return Design() + "n\n" + (steps ? "y\n" : "n\n") + "2\n" + std::to_string(seed) + "\nX\n";
}

// Two data sets, full metacommunity, trimmed, Beals; crisp types, Mantel on
// Euclidean distances, all traits and OTUs, 9 permutations, site shuffle.
std::string ErrorRate(unsigned seed, const std::string& every = "n\n1\n") {
    return Design() + "y\n2\n0.05\nn\n2\n" + std::to_string(seed) +
           "\nf\ny\nb\n0\n0\n1\n6\nm\n1\n1\nn\n9\ns\nn\n" + every + "X\n";
}

TEST(SimulationScenario, DataOnlyModeWritesTheSimulatedDataFiles) {
    ScratchDir dir;
    WriteInputs(dir);
    const auto r = RunKolvar(dir, DataOnly(7, true));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find("\n\nResults on file FinalSimulatedData.txt\n"), std::string::npos);
    EXPECT_NE(r.out.find("Community data at every step saved on file CommunityData.txt\n"), std::string::npos);
    const std::string final = dir.Read("FinalSimulatedData.txt");
    EXPECT_EQ(final.find(std::string(70, '-') + "\nSIMULATION OF COMMUNITY ASSEMBLY\n"), 0u);
    for (const char* heading :
         {"\n\nSIMULATED DATA 1", "\nMinimum richness:\t", "\nAmount of extrapolation (if any",
          "\nAbundances of OTUs were weighted by their age in the communities:\n",
          "\nOrdination (Correspondende Analysis, CA) of OTU composition matrix W:",
          "\nNumber of eigenvalues >0.0001: \t",
          "Specified duration of the simulation (in years):\t20\n"})
        EXPECT_NE(final.find(heading), std::string::npos) << heading;
    EXPECT_NE(dir.Read("B_Simulated.txt")
                  .find("\nSIMULATION DATA:\t1\nMatrix above contains trait data (z-scores standardized, 8 OTUs in "
                        "rows and 2 traits in columns).\n\n"),
              std::string::npos);
    EXPECT_NE(dir.Read("W_Simulated.txt")
                  .find("\nSIMULATION DATA:\t1\nMatrix above contains community composition at final simulation step "
                        "100, for 10 community sites in rows and 8 OTUs in columns.\n"),
              std::string::npos);
    EXPECT_NE(dir.Read("E_Simulated.txt").find("ecosystem data at final step 100 (10 community sites in rows, 1 "
                                               "ecosystem variables in columns)"),
              std::string::npos);
    EXPECT_TRUE(dir.Exists("W_Age-weighted_Simulated.txt"));
    EXPECT_EQ(dir.Read("TraitTypes_Simulated.txt"), "3\t3\t");
    EXPECT_EQ(dir.Read("OTUs_Simulated.txt"), "1\n2\n3\n4\n5\n6\n7\n8\n");
    EXPECT_EQ(dir.Read("EnvData.txt").find("Ecosystem data matrix (simulation steps and community sites in rows, 1 "
                                           "environmental variables in columns):\n1\t1\t"),
              0u);
    EXPECT_EQ(dir.Read("CWM.txt").find("Community weighted means (CWM), (simulation steps and community sites in "
                                       "rows, 2 traits in columns):\n1\t1\t"),
              0u);
    for (const char* f : {"EnvDataOutliers.txt", "CWM_Expected.txt", "Distances.txt", "Prob.txt",
                          "DensityDependence_AgeRelatedProb.txt", "DispersalProb.txt", "CommunityData.txt",
                          "CommunityDataWeightedByAge.txt", "AverageAge.txt", "TraitData.txt", "Summary.txt"})
        EXPECT_TRUE(dir.Exists(f)) << f;
}

TEST(SimulationScenario, SameSeedSameFiles) {
    ScratchDir a, b, c;
    for (const ScratchDir* d : {&a, &b, &c}) WriteInputs(*d);
    ASSERT_EQ(RunKolvar(a, DataOnly(11, true)).status, 0);
    ASSERT_EQ(RunKolvar(b, DataOnly(11, true)).status, 0);
    ASSERT_EQ(RunKolvar(c, DataOnly(12, true)).status, 0);
    for (const char* f : {"B_Simulated.txt", "W_Simulated.txt", "E_Simulated.txt", "CommunityData.txt", "CWM.txt",
                          "Prob.txt", "DensityDependence_AgeRelatedProb.txt"})
        EXPECT_EQ(a.Read(f), b.Read(f)) << f;
    EXPECT_EQ(test::WithoutTimeStamps(a.Read("FinalSimulatedData.txt")), test::WithoutTimeStamps(b.Read("FinalSimulatedData.txt")));
    EXPECT_NE(a.Read("W_Simulated.txt"), c.Read("W_Simulated.txt"));
}

TEST(SimulationScenario, SmallErrorRateStudy) {
    ScratchDir dir, again;
    WriteInputs(dir);
    WriteInputs(again);
    const auto r = RunKolvar(dir, ErrorRate(5));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::string final = dir.Read("FinalSimulatedData.txt");
    for (const char* heading :
         {"\n\nRESULTS WITH SIMULATED DATA 1", "\n\nRESULTS WITH SIMULATED DATA 2", "FINAL RESULTS\n",
          "Number of simulated data sets:\t2\n", "Number of random permutations in each test:\t9\n",
          "Alpha threshold for Ho rejection:\t0.05\n",
          "\n\nPROBABILITIES OF Ho REJECTION (type I error or power depending on the specified model context) based "
          "on 2 tests using 9 permutations each:",
          "\n\nCorrelation function between matrices: \tmatrix correlation (Mantel or Rd)\n",
          "\nTraits:       \t1\t2\nTrait weights:\t1\t1\n\nEcosystem variables (and their interactions if included): "
          "\t1\nWeights:\t1\n\nConvergence (TCAP): r(TE)\tP=\t",
          "r(SbM)\tP=\t"})
        EXPECT_NE(final.find(heading), std::string::npos) << heading;
    // Summary: 13 lines per analysed data set.
    const std::string summary = dir.Read("Summary.txt");
    EXPECT_EQ(summary.find("Simulated data\t1\tTraits:\t1\t2\tEnvFactors:\t1\tr(TE)=\t"), 0u);
    EXPECT_NE(summary.find("Simulated data\t2\tTraits:\t1\t2\tEnvFactors:\t1\tr(SbM)=\t"), std::string::npos);
    EXPECT_EQ(std::count(summary.begin(), summary.end(), '\n'), 26);
    // Without saving, the data files of the data-only mode stay empty.
    EXPECT_EQ(dir.Read("W_Simulated.txt"), "");
    ASSERT_EQ(RunKolvar(again, ErrorRate(5)).status, 0);
    EXPECT_EQ(dir.Read("Summary.txt"), again.Read("Summary.txt"));
    EXPECT_EQ(test::WithoutTimeStamps(final), test::WithoutTimeStamps(again.Read("FinalSimulatedData.txt")));
}

TEST(SimulationScenario, EveryTraitSubsetWithEveryFactor) {
    ScratchDir dir;
    WriteInputs(dir);
    const auto r = RunKolvar(dir, ErrorRate(3, "y\n"));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string summary = dir.Read("Summary.txt");
    // 3 trait subsets x 1 factor x 13 statistics x 2 data sets.
    EXPECT_EQ(std::count(summary.begin(), summary.end(), '\n'), 78);
    const std::string final = dir.Read("FinalSimulatedData.txt");
    EXPECT_NE(final.find("\nTraits:       \t2\nTrait weights:\t0\t1\n"), std::string::npos);
}

// Regression (4) and analysis of variance (5) tally their own statistics.
TEST(SimulationScenario, RegressionAndAnovaStudies) {
    struct Case {
        const char* settings;
        std::vector<std::string> wanted;
    };
    const Case cases[] = {
        {"0\n0\n4\n1\n1\nn\n9\ns\nn\nn\n1\n",
         {"\nTrait:\t1\tr-square\tP=\t", "Factor:\t1\tcoeff\tP=\t", "\nFunctional diversity:\t\tr-square\tP=\t"}},
        {"0\n0\n5\n6\n1\n1\n1\nn\n9\nt\n0\nn\nn\n1\n",
         {"\n\nANALYSIS OF VARIANCE\n", "\nSelected traits:\t1\t2\t", "Factor:\t1\tPseudo-F\tP=\t",
          "Trait:\t2\tFactor:\t1\tPseudo-F\tP=\t"}},
    };
    for (const Case& c : cases) {
        ScratchDir dir;
        WriteInputs(dir);
        const auto r = RunKolvar(dir, Design() + "y\n2\n0.05\nn\n2\n5\nf\ny\nb\n" + c.settings + "X\n");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        const std::string final = dir.Read("FinalSimulatedData.txt");
        for (const auto& w : c.wanted) EXPECT_NE(final.find(w), std::string::npos) << w;
        EXPECT_EQ(final.find("nan"), std::string::npos);
        EXPECT_NE(dir.Read("Summary.txt").find("Simulated data\t2\t"), std::string::npos);
    }
}

TEST(SimulationScenario, LetterBNamesNoTraitSourceAndIsAskedAgain) {
    ScratchDir dir;
    WriteInputs(dir);
    const auto r = RunKolvar(dir, Design("b\nc\n") + "n\nn\n2\n1\nX\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "\a\nIncorrect input = b. Reenter.\nAccepted input: t c\n");
    EXPECT_TRUE(dir.Exists("W_Simulated.txt"));
}

TEST(SimulationScenario, NothingEstablishesAndTheReportSaysSo) {
    ScratchDir dir;
    // Survival 1/2 at distance 0 and 0 beyond: no OTU sits exactly on the expected traits.
    WriteInputs(dir);
    std::string rows;
    for (int k = 0; k < 16; ++k) rows += "0 -1000\n";
    dir.Write("surv.txt", rows);
    std::string design = Design();
    const std::string survival = "r\n0.4 0.9\n-3 -1\n";
    design.replace(design.find(survival), survival.size(), "d\nsurv.txt\n");
    const auto r = RunKolvar(dir, design + "y\n1\n0.05\nn\n2\n9\nf\ny\nb\n0\n0\n1\n6\nm\n1\n1\nn\n9\ns\nn\nn\n1\nX\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string final = dir.Read("FinalSimulatedData.txt");
    EXPECT_NE(final.find("no individual established in any community site"), std::string::npos);
    EXPECT_NE(final.find("Simulated data 1 not analysed: 0 community sites with individuals"), std::string::npos);
    EXPECT_NE(final.find("(0 of the 1 simulated data sets could be analysed"), std::string::npos);
    EXPECT_EQ(final.find("nan"), std::string::npos);
}

TEST(SimulationScenario, ResultsFileThatCannotBeWrittenIsAFileError) {
    ScratchDir dir;
    WriteInputs(dir);
    std::filesystem::create_directory(dir.path() / "FinalSimulatedData.txt");
    const auto r = RunKolvar(dir, DataOnly(4, false) + "\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("can't open FinalSimulatedData.txt"), std::string::npos);
    EXPECT_NE(r.err.find("FAIL TO OPEN FILE"), std::string::npos);
}

// Bad data files: a name that does not open is asked again; unreadable
// numbers and a correlation matrix that is not positive definite end the run.
TEST(SimulationScenario, BadDataFiles) {
    struct Case {
        const char* corr;
        std::string answerBefore;  // answered at the correlation file prompt
        int status;
        const char* err;
    };
    const Case cases[] = {
        {"1 0.3\n0.3 1\n", "nosuch.txt\n", 0, "\ncan't open nosuch.txt \n"},
        {"1 x\n0.3 1\n", "", 1, "\nfile corr.txt "},
        {"1 2\n2 1\n", "", 1, "\ncholdc failed"},
    };
    for (const Case& c : cases) {
        ScratchDir dir;
        WriteInputs(dir);
        dir.Write("corr.txt", c.corr);
        std::string answers = DataOnly(3, false);
        if (!c.answerBefore.empty()) answers.replace(answers.find("corr.txt\n"), 0, c.answerBefore);
        const auto r = RunKolvar(dir, answers + "\n");
        EXPECT_EQ(r.status, c.status) << c.corr;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    }
}

TEST(SimulationScenario, FailedWriteIsAPrintErrorNotADoneStudy) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    for (const char* name : {"W_Simulated.txt", "FinalSimulatedData.txt"}) {
        ScratchDir dir;
        WriteInputs(dir);
        std::filesystem::create_symlink("/dev/full", dir.path() / name);
        const auto r = RunKolvar(dir, DataOnly(4, false) + "\n");
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_NE(r.err.find(std::string("\nfile ") + name + " "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("FAIL TO PRINT ON FILE"), std::string::npos) << r.err;
        EXPECT_EQ(r.out.find("Results on file"), std::string::npos);
    }
}

TEST(SimulationScenario, TruncatedAnswersEndWithEndOfFile) {
    ScratchDir dir;
    WriteInputs(dir);
    const auto r = RunKolvar(dir, "A\n10\n8\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("END OF FILE !!!"), std::string::npos);
}

}  // namespace
}  // namespace kolvar
