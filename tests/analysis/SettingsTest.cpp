#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <tuple>

#include "base/Fatal.hpp"
#include "analysis/Settings.hpp"
#include "support/Parts.hpp"
#include "support/Scenario.hpp"

namespace kolvar {
namespace {

DataSet MakeData(int nch = 3, int ncsm = 4, int tcst = 5, int nenv = 2) {
    DataSet d;
    d.nch = nch;
    d.ncsm = ncsm;
    d.tcst = tcst;
    d.nenv = nenv;
    for (int j = 0; j < nch; ++j) d.chLabel.push_back("t" + std::to_string(j + 1));
    for (int k = 0; k < ncsm; ++k) d.reLabel.push_back("r" + std::to_string(k + 1));
    for (int v = 0; v < nenv; ++v) d.envLabel.push_back("e" + std::to_string(v + 1));
    d.chtype.assign(nch, 3);
    d.traitGroups.assign(nch, 0);
    d.nchor.assign(nch, 0);
    d.rcst.assign(nch, 0);
    d.nGrPoly.assign(nch, 0);
    d.weight.assign(nch, 0.0);
    d.relSelect.assign(ncsm, 0);
    d.eVarSelect.assign(std::max(ncsm, nenv), 0);
    d.partition_OTUs.assign(tcst, 0);
    d.weight_OTUs.assign(tcst, 0);
    d.envVarType.assign(nenv, 3);
    d.temEnvQuant = nenv > 0 ? 1 : 0;
    return d;
}

// One dialogue on in-memory streams with a results file that does not exist yet.
struct Dialogue {
    std::istringstream in;
    std::ostringstream out, err;
    Console con{in, out, err};
    FixedClock clock{1000};
    test::Parts p;
    test::ScratchDir dir;

    Dialogue(char optmain, DataSet d) {
        p.session.optmain = optmain;
        p.session.volumeName = dir.path().string() + "/";
        p.session.whichPrinda = "sPrinda.txt";
        p.data = std::move(d);
    }
    void Run(const std::string& answers) {
        in.str(answers);
        in.clear();
        SettingsHierarchy(p.Analysis(con, clock));
    }
    bool InputUsedUp() {
        in >> std::ws;
        return in.peek() == std::char_traits<char>::eof();
    }
    DataSet& d() { return p.data; }
};

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) ++n;
    return n;
}

const std::string kHeading =
    "\n\nFUNCTIONAL ANALYSIS SETTINGS                   \n" + std::string(70, '-') + "\n";
const std::string kPartition =
    "Data partition type (Pillar et al. (2013)):\n"
    "   0  perform no partition (use mixed data)\n"
    "   1  use quantitative component\n"
    "   2  use qualitative component\n"
    "Type option no.: ";
const std::string kScaling =
    "\nTrait-based scaling-up from population to communities:"
    "\nThe partition of OTUs into types should be specified.\n";
const std::string kGroupQuestion = "Read group memberships from file (f) or from the keyboard (k)? f/k ";
const std::string kFuzzy =
    "\nFuzzy set adjustment:\n"
    "   0  no adjustment (crisp belonging of OTUs to types)\n"
    "   1  fuzzy types (fuzzy belonging of OTUs to types)\n"
    "Type option no.: ";
const std::string kCongruence =
    "\nMeasuring congruence using\n"
    "  1 matrix correlation (Mantel or Rd Pillar & Orloci (1996))\n"
    "  2 Procrustes (traceW, cannot be used if matrix E contains nominal variables)\n"
    "  3 RV coefficient (Robert & Escoufier (1976), cannot be used if matrix E contains nominal variables)\n"
    "  4 linear regression (cannot be used if matrix E contains nominal variables)\n"
    "  5 analysis of variance (cannot be used if matrix E defining groups contains quantitative variables) \n"
    "Type option no.: ";
const std::string kRese =
    "\nSpecify resemblance function between communities:"
    "\nResemblance function option:\n"
    "\t6   Euclidean distance\n"
    "\t10  chord distance\n"
    "Type option no.: ";
const std::string kMantelRd = "Compute Mantel (m) or Rd (Pillar & Orloci (1996)) matrix correlation (r)? m/r ";
const std::string kSquared =
    "Use squared distances for matrix correlation so that the Rd will be equivalent to the RV coefficient? y/n ";
const std::string kVariables =
    "\nVariables in matrix E to be considered in the analysis:\n"
    "   1  all variables \n"
    "   2  select variables \n"
    "Type option no.: ";
const std::string kTraits =
    "\nTraits in matrix B to be used in the analysis:\n"
    "   1  all traits \n"
    "   2  select traits \n"
    "Type option no.: ";
const std::string kTraitComb = "Perform the analysis of different trait combinations? y/n ";
const std::string kOTUs =
    "\nOTUs in matrix B to be used in the analysis (useful for partitioning community structure):\n"
    "   1  all OTUs \n"
    "   2  select OTUs \n"
    "Type option no.: ";
const std::string kStandardize =
    "\nStandardize community data matrix (matrix W) to unit total in each community? y/n ";
const std::string kIterations = "Enter number of iterations in permutation tests of final statistics: ";
const std::string kShuffle =
    "Null model based on taxa (t) shuffle, which is recommended, or site (s) suffle? t/s ";
const std::string kRestrict =
    "OTU permutation restrictions: \n\t(0) none\n\t(1) permutations restricted within groups of OTUs to be "
    "specified\n\t\tEnter option: ";
const std::string kBootstrap = "Bootstrap resampling of communities: y/n ";
const std::string kSeed =
    "\nInitialization of the random number generator: \n"
    "   1  automatic (taken from the clock)\n"
    "   2  specified by the user\n"
    "Type option no.: ";
const std::string kDetail = "\nShow detailed results of the functional analysis y/n ";

TEST(SettingsHierarchy, FullDialogueAsksEveryQuestionInOrder) {
    Dialogue t('H', MakeData());
    t.p.fa.optRestrictPermutNullModel = 1;  // left by an earlier analysis
    t.Run("0\nk\n1 1 2 2 3\n1\n1\n6\nm\n1\n1\nn\n1\ny\n999\nt\n0\nn\n2\n42\nn\n");
    const std::string want = kHeading + kPartition + kScaling + kGroupQuestion +
                             "Enter the group of each OTU:\nOTU:    \t1\t2\t3\t4\t5\nGroups: " + kFuzzy + kCongruence +
                             kRese + kMantelRd + kVariables + kTraits + kTraitComb + kOTUs + kStandardize +
                             kIterations + kShuffle + kRestrict + kBootstrap + kSeed +
                             "\nEnter seed (integer in the 0 to 4294967295 interval):\n" + kDetail;
    EXPECT_EQ(t.out.str(), want);
    EXPECT_EQ(t.err.str(), "");
    EXPECT_TRUE(t.InputUsedUp());

    const auto& fa = t.p.fa;
    const auto& h = t.p.hier;
    const auto& d = t.d();
    EXPECT_EQ(h.partOpt, 0);
    EXPECT_EQ(h.traitBasedOpt, 1);
    EXPECT_EQ(h.poolCSTopt, 2);
    EXPECT_EQ(h.clusMethPoolCSTs, 0);
    EXPECT_EQ(h.reseCstOpt, 1);
    EXPECT_EQ(h.fuzzy, 3);
    EXPECT_EQ(h.fuzziness, 1.0);
    EXPECT_EQ(h.rese_opt, 6);
    EXPECT_EQ(h.isHierarchical, 0);
    EXPECT_EQ(d.partition_OTUs, (std::vector<int>{1, 1, 2, 2, 3}));
    EXPECT_EQ(d.nGrPoly, (std::vector<int>{3, 2, 2}));
    EXPECT_EQ(d.nchor, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(d.relSelect, (std::vector<int>{1, 1, 1, 1}));
    EXPECT_EQ(d.eVarSelect[0], 1);
    EXPECT_EQ(d.eVarSelect[1], 1);
    EXPECT_EQ(d.weight, (std::vector<double>{1.0, 1.0, 1.0}));
    EXPECT_EQ(d.weight_OTUs, (std::vector<int>{1, 1, 1, 1, 1}));
    EXPECT_FALSE(fa.OTUsTypesAreSpecies);
    EXPECT_TRUE(fa.optRndTests);
    EXPECT_EQ(fa.opt_ro, 1);
    EXPECT_EQ(fa.whichObj, 'r');
    EXPECT_EQ(fa.opt_MatrixCorr, 'm');
    EXPECT_FALSE(fa.squareDistMatrixOpt);
    EXPECT_FALSE(fa.doTraitCombOpt);
    EXPECT_EQ(fa.nMinTraitsChRank, 3);
    EXPECT_EQ(fa.nMaxTraitsChRank, 3);
    EXPECT_FALSE(fa.restrictRaoWithinOpt);
    EXPECT_TRUE(fa.keepAdditivity);
    EXPECT_TRUE(fa.optUnitTotalAdjust2);
    EXPECT_FALSE(fa.includePhylogeny);
    EXPECT_EQ(fa.niter, 999);
    EXPECT_EQ(fa.optWeightedNullModel, 0);
    EXPECT_EQ(fa.optTaxaSiteShuffle, 't');
    EXPECT_EQ(fa.optRestrictPermutNullModel, 0);
    EXPECT_FALSE(fa.doBootstrapOpt);
    EXPECT_EQ(fa.seedOpt, 2);
    EXPECT_EQ(fa.rseed, 42u);
    EXPECT_EQ(fa.optCoVariable, 0);
    EXPECT_FALSE(fa.printDetail);
    EXPECT_FALSE(fa.printIntermPermResults);
    EXPECT_EQ(fa.prindaMode, "w");
}

TEST(SettingsHierarchy, CongruenceMenuComesBackForStatisticsTheDataCannotTake) {
    // Nominal variables in E rule out 2, 3 and 4; the menu returns without a message.
    DataSet nominal = MakeData();
    nominal.temEnvQual = 1;
    nominal.temEnvQuant = 0;
    Dialogue a('H', nominal);
    a.Run("0\nk\n1 1 2 2 3\n0\n2\n3\n4\n5\n6\n1\n1 1\n1\nn\n1\nn\n10\ns\n1\nn\n");
    EXPECT_EQ(Count(a.out.str(), kCongruence), 4);
    EXPECT_EQ(a.err.str(), "");
    EXPECT_EQ(a.p.fa.opt_ro, 5);
    EXPECT_EQ(a.p.hier.fuzzy, 0);
    EXPECT_TRUE(a.InputUsedUp());

    // Quantitative variables rule out 5.
    Dialogue b('H', MakeData());
    b.Run("0\nk\n1 1 2 2 3\n0\n5\n2\n1\n1\nn\n1\nn\n10\ns\n1\nn\n");
    EXPECT_EQ(Count(b.out.str(), kCongruence), 2);
    EXPECT_EQ(b.p.fa.opt_ro, 2);
    EXPECT_EQ(Count(b.out.str(), "Specify resemblance"), 0);  // Procrustes needs no resemblance
    EXPECT_EQ(Count(b.out.str(), kMantelRd), 0);
    EXPECT_TRUE(b.InputUsedUp());

    // The simulation study takes any statistic.
    Dialogue c('A', nominal);
    c.Run("0\n0\n3\n1\n1\nn\n10\ns\nn\n");
    EXPECT_EQ(Count(c.out.str(), kCongruence), 1);
    EXPECT_EQ(c.p.fa.opt_ro, 3);
    EXPECT_TRUE(c.InputUsedUp());
}

TEST(SettingsHierarchy, RankingVariantAsksNoPartitionOTUsTestsOrOutput) {
    DataSet d = MakeData();
    d.temEnvQual = 1;
    Dialogue t('K', d);
    t.p.fa.opt_struct = 9;
    // 2 comes back for criterion 9 with nominal variables; 1 then asks the resemblance.
    t.Run("k\n1 2 1 2 1\n0\n2\n1\n10\nr\ny\n1\n1\nn\nn\n");
    const std::string want = kHeading + kScaling + kGroupQuestion +
                             "Enter the group of each OTU:\nOTU:    \t1\t2\t3\t4\t5\nGroups: " + kFuzzy + kCongruence +
                             kCongruence + kRese + kMantelRd + kSquared + kVariables + kTraits + kTraitComb +
                             kStandardize;
    EXPECT_EQ(t.out.str(), want);
    EXPECT_TRUE(t.InputUsedUp());
    EXPECT_EQ(t.p.hier.partOpt, 0);
    EXPECT_EQ(t.p.hier.rese_opt, 10);
    EXPECT_EQ(t.p.fa.opt_MatrixCorr, 'r');
    EXPECT_TRUE(t.p.fa.squareDistMatrixOpt);
    EXPECT_EQ(t.d().weight_OTUs, (std::vector<int>{1, 1, 1, 1, 1}));
    EXPECT_EQ(t.d().nGrPoly, (std::vector<int>{2, 2, 2}));
    EXPECT_EQ(t.d().nchor, (std::vector<int>{1, 2, 3}));
    EXPECT_FALSE(t.p.fa.optUnitTotalAdjust2);

    // Criteria 10 and 16 take the resemblance from the ranking: not asked, Mantel/Rd still asked.
    Dialogue u('K', d);
    u.p.fa.opt_struct = 16;
    u.p.hier.rese_opt = 6;
    u.Run("k\n1 2 1 2 1\n0\n1\nm\n1\n1\nn\ny\n");
    EXPECT_EQ(Count(u.out.str(), "Specify resemblance"), 0);
    EXPECT_EQ(Count(u.out.str(), kMantelRd), 1);
    EXPECT_TRUE(u.InputUsedUp());

    // A criterion outside the list lets Procrustes through despite nominal variables.
    Dialogue v('K', d);
    v.p.fa.opt_struct = 11;
    v.Run("k\n1 2 1 2 1\n0\n2\n1\n1\nn\ny\n");
    EXPECT_EQ(Count(v.out.str(), kCongruence), 1);
    EXPECT_EQ(v.p.fa.opt_ro, 2);
    EXPECT_TRUE(v.InputUsedUp());
}

TEST(SettingsHierarchy, SimulationVariantKeepsCallerPartitionAndSkipsSeed) {
    Dialogue t('A', MakeData());
    t.d().partition_OTUs = {4, 4, 7, 7, 9};
    t.p.fa.doTraitCombOpt = true;
    t.Run("2\n1\n1\n8\nm\n1\n1\nn\n5\nt\n0\ny\ny\n");
    const std::string want = kHeading + kPartition + kScaling + kFuzzy + kCongruence + kRese + kMantelRd + kTraits +
                             kOTUs + kStandardize + kIterations + kShuffle + kRestrict + kBootstrap + kDetail;
    EXPECT_EQ(t.out.str(), want);
    EXPECT_TRUE(t.InputUsedUp());
    EXPECT_EQ(t.p.hier.partOpt, 2);
    EXPECT_EQ(t.d().partition_OTUs, (std::vector<int>{4, 4, 7, 7, 9}));
    EXPECT_EQ(t.d().nGrPoly[0], 3);
    EXPECT_EQ(t.p.hier.rese_opt, 8);  // accepted though not listed
    EXPECT_TRUE(t.p.fa.doTraitCombOpt);  // not asked here
    EXPECT_TRUE(t.p.fa.doBootstrapOpt);
    EXPECT_TRUE(t.p.fa.printDetail);
    EXPECT_EQ(t.p.fa.niter, 5);
}

TEST(SettingsHierarchy, AnalysisOfVarianceSelectsCommunitiesAndGroupingVariable) {
    Dialogue t('H', MakeData());
    t.d().temEnvQuant = 0;
    t.d().temEnvQual = 1;
    // Communities subset (an empty one is asked again), grouping variable,
    // taxa shuffle: no bootstrap question.
    t.Run("0\nk\n1 1 2 2 3\n0\n5\n7\n2\n0 0 0 0\n1 0 1 1\n0 1\n1\nn\n1\nn\n20\nt\n0\n1\nn\n");
    const std::string& out = t.out.str();
    const std::string communities =
        "\nCommunities to be used in analysis of variance:\n   1  all \n   2  select a subset \nType option no.: "
        "Select communities:\n(enter 0 for exclusion or 1 for inclusion)\nr1 r2 r3 r4 \n";
    EXPECT_NE(out.find(kRese + communities + "Select communities:\n"), std::string::npos);
    EXPECT_NE(out.find("Select the variable to be used to define groups:\n(enter 0 for exclusion or 1 for "
                       "inclusion)\ne1 e2 \n" +
                       kTraits),
              std::string::npos);
    EXPECT_EQ(Count(out, kMantelRd), 0);
    EXPECT_EQ(Count(out, kBootstrap), 0);
    EXPECT_NE(out.find(kRestrict + kSeed), std::string::npos);
    EXPECT_EQ(t.err.str(), "\a\nNo community selected. Reenter.\n");
    EXPECT_TRUE(t.InputUsedUp());
    EXPECT_EQ(t.p.fa.opt_ro, 5);
    EXPECT_EQ(t.p.hier.rese_opt, 7);
    EXPECT_EQ(t.d().relSelect, (std::vector<int>{1, 0, 1, 1}));
    EXPECT_EQ(t.d().eVarSelect[0], 0);
    EXPECT_EQ(t.d().eVarSelect[1], 1);
    EXPECT_FALSE(t.p.fa.doBootstrapOpt);
    EXPECT_EQ(t.p.fa.rseed, 1000u);  // from the clock
    EXPECT_EQ(t.p.fa.seedOpt, 1);
}

TEST(SettingsHierarchy, MantelRdAndSquaredDistances) {
    for (const auto& [answers, corr, squared] :
         {std::tuple{"m\n", 'm', false}, std::tuple{"r\nn\n", 'r', false}, std::tuple{"r\ny\n", 'r', true}}) {
        Dialogue t('K', MakeData(3, 4, 5, 0));
        t.p.fa.squareDistMatrixOpt = true;
        t.Run(std::string("k\n1 1 2 2 3\n0\n1\n9\n") + answers + "1\nn\nn\n");
        EXPECT_EQ(t.p.fa.opt_MatrixCorr, corr) << answers;
        EXPECT_EQ(t.p.fa.squareDistMatrixOpt, squared) << answers;
        EXPECT_EQ(Count(t.out.str(), kSquared), corr == 'r' ? 1 : 0);
        EXPECT_EQ(Count(t.out.str(), kVariables), 0);  // no variables in E
        EXPECT_TRUE(t.InputUsedUp()) << answers;
    }
}

TEST(SettingsHierarchy, SiteShuffleSkipsRestrictionAndBootstrap) {
    Dialogue t('H', MakeData());
    t.p.fa.doBootstrapOpt = true;
    t.p.fa.optRestrictPermutNullModel = 1;
    t.p.fa.nestingMembershipOTUs = {1, 1, 1, 1, 1};
    t.Run("0\nk\n1 1 2 2 3\n0\n1\n6\nm\n1\n1\nn\n1\nn\n100\ns\n1\nn\n");
    EXPECT_NE(t.out.str().find(kShuffle + kSeed), std::string::npos);
    EXPECT_EQ(Count(t.out.str(), kRestrict), 0);
    EXPECT_EQ(Count(t.out.str(), kBootstrap), 0);
    EXPECT_EQ(t.p.fa.optTaxaSiteShuffle, 's');
    EXPECT_FALSE(t.p.fa.doBootstrapOpt);
    EXPECT_EQ(t.p.fa.optRestrictPermutNullModel, 0);
    EXPECT_TRUE(t.p.fa.nestingMembershipOTUs.empty());
    EXPECT_TRUE(t.InputUsedUp());
}

TEST(SettingsHierarchy, NestingGroupsFromKeyboardAndFile) {
    const std::string head = "0\nk\n1 1 2 2 3\n0\n1\n6\nm\n1\n1\nn\n1\nn\n100\nt\n1\n";
    const std::string nestHead =
        "Specify the nesting criterion (for each OTU, enter the group to which it belongs):\n"
        "Read nesting group memberships from file (f) or from the keyboard (k)? f/k ";
    {
        Dialogue t('H', MakeData());
        t.Run(head + "k\n1 1 1 2 99999999999 2\ny\n2\n4294967296\n4294967295\nn\n");
        EXPECT_NE(t.out.str().find(kRestrict + nestHead +
                                   "Enter the nesting group of each OTU:\nOTU:            \t1\t2\t3\t4\t5\n"
                                   "Nesting groups: " +
                                   kBootstrap),
                  std::string::npos);
        EXPECT_EQ(t.p.fa.optRestrictPermutNullModel, 1);
        EXPECT_EQ(t.p.fa.nestingMembershipOTUs, (std::vector<int>{1, 1, 1, 2, 2}));
        EXPECT_TRUE(t.p.fa.doBootstrapOpt);
        EXPECT_EQ(t.p.fa.rseed, 4294967295u);
        EXPECT_EQ(t.err.str(),
                  "\a\nIncorrect input = 1e+11. Reenter.\nAccepted input: -2.14748e+09 to 2.14748e+09\n"
                  "\a\nIncorrect input = 4.29497e+09. Reenter.\nAccepted input: 0 to 4.29497e+09\n");
        EXPECT_TRUE(t.InputUsedUp());
    }
    {
        // Missing, short and out-of-range files bring the f/k question back.
        Dialogue t('H', MakeData());
        const std::string dir = t.dir.path().string() + "/";
        t.dir.Write("short.txt", "1 2 3\n");
        t.dir.Write("huge.txt", "1 2 99999999999 4 5\n");
        t.dir.Write("nest.txt", "groups: 3, 3; 4 x4 -5\n");
        t.Run(head + "f\n" + dir + "none.txt\nf\n" + dir + "short.txt\nf\n" + dir + "huge.txt\nf\n" + dir +
              "nest.txt\nn\n1\nn\n");
        EXPECT_EQ(Count(t.out.str(), "Read nesting group memberships from file (f) or from the keyboard (k)? f/k "
                                     "Enter name of file containing nesting group memberships: "),
                  4);
        const std::string& err = t.err.str();
        EXPECT_NE(err.find("\ncan't open " + dir + "none.txt \n"), std::string::npos);
        EXPECT_NE(err.find("\nEnd of file " + dir + "short.txt\n\a"), std::string::npos);
        EXPECT_NE(err.find("holds 3 of the 5 values needed"), std::string::npos);
        EXPECT_NE(err.find("Incorrect input = 99999999999 in file " + dir + "huge.txt"), std::string::npos);
        EXPECT_EQ(t.p.fa.nestingMembershipOTUs, (std::vector<int>{3, 3, 4, 4, -5}));
        EXPECT_FALSE(t.p.fa.doBootstrapOpt);
        EXPECT_TRUE(t.InputUsedUp());
    }
}

TEST(SettingsHierarchy, GroupMembershipsFromFileSkipJunkAndReaskOnShortFile) {
    Dialogue t('H', MakeData());
    const std::string dir = t.dir.path().string() + "/";
    t.dir.Write("few.txt", "2 2\n");
    t.dir.Write("groups.txt", "OTU groups: 5,5;6\n6\t7\n");
    t.d().partition_OTUs = {9, 9, 9, 9, 9};
    t.Run("1\nf\n" + dir + "few.txt\nf\n" + dir + "groups.txt\n0\n1\n6\nm\n1\n1\nn\n1\nn\n3\nt\n0\nn\n1\nn\n");
    EXPECT_NE(t.out.str().find(kGroupQuestion + "Enter name of file containing group memberships: " + kGroupQuestion),
              std::string::npos);
    EXPECT_EQ(t.d().partition_OTUs, (std::vector<int>{5, 5, 6, 6, 7}));
    EXPECT_EQ(t.d().nGrPoly[0], 3);
    EXPECT_EQ(t.p.hier.partOpt, 1);
    EXPECT_TRUE(t.InputUsedUp());
}

TEST(SettingsHierarchy, TraitSelectionGroupWeightsAndCombinations) {
    DataSet d = MakeData(4);
    d.hasTraitGroups = true;
    d.traitGroups = {1, 1, 1, 2};
    Dialogue t('H', d);
    // Empty trait selection is asked again; group weighting; subsets of sizes 2..3
    // with 0 and 4 rejected (three traits selected).
    t.Run("0\nk\n1 1 2 2 3\n0\n1\n6\nm\n1\n2\n0 0 0 0\n1 1 0 1\ny\ny\n0\n2\n4\n3\n1\nn\n3\nt\n0\nn\n1\nn\n");
    const std::string& out = t.out.str();
    const std::string select =
        "Select traits:\n(enter 0 for exclusion or 1 for inclusion)\nt1 t2 t3 t4 \n";
    EXPECT_NE(out.find(kTraits + select + select +
                       "Set weights for traits inversely proportional to effective trait group sizes? y/n " +
                       kTraitComb + "Minimum number of traits in the trait subset (minimum: 1, maximum: 3): " +
                       "Maximum number of traits in the trait subset (minimum: 2, maximum: 3): " + kOTUs),
              std::string::npos);
    EXPECT_EQ(t.d().weight, (std::vector<double>{0.5, 0.5, 0.0, 1.0}));
    EXPECT_TRUE(t.p.fa.doTraitCombOpt);
    EXPECT_EQ(t.p.fa.nMinTraitsChRank, 2);
    EXPECT_EQ(t.p.fa.nMaxTraitsChRank, 3);
    EXPECT_EQ(t.err.str(), "\a\nNo trait selected. Reenter.\n"
                           "\a\nIncorrect input = 0. Reenter.\nAccepted input: 1 to 3\n"
                           "\a\nIncorrect input = 4. Reenter.\nAccepted input: 2 to 3\n");
    EXPECT_TRUE(t.InputUsedUp());

    // Without the group weighting the selected traits weigh 1.
    Dialogue u('H', d);
    u.Run("0\nk\n1 1 2 2 3\n0\n1\n6\nm\n1\n2\n1 0 1 1\nn\nn\n1\nn\n3\nt\n0\nn\n1\nn\n");
    EXPECT_EQ(u.d().weight, (std::vector<double>{1.0, 0.0, 1.0, 1.0}));
    EXPECT_EQ(u.p.fa.nMinTraitsChRank, 4);
    EXPECT_EQ(u.p.fa.nMaxTraitsChRank, 4);
    EXPECT_TRUE(u.InputUsedUp());
}

TEST(SettingsHierarchy, OTUExclusionAndKeepScale) {
    const std::string head = "0\nk\n1 1 2 2 3\n0\n1\n6\nm\n1\n1\nn\n2\n";
    const std::string tail = "n\n3\nt\n0\nn\n1\nn\n";
    const std::string questions =
        "Enter 0 for exclusion or 1 for inclusion for 5 OTUs\n"
        "Restrict fuzzy-weighting and diversity measures to within subset of selected OTUs? y/n "
        "Despite excluding OTUs, keep the original scale in community weighted means and diversity measures? y/n " +
        kStandardize;
    {
        Dialogue t('H', MakeData());
        t.Run(head + "1 1 0 1 1\ny\ny\n" + tail);
        EXPECT_NE(t.out.str().find(kOTUs + questions), std::string::npos);
        EXPECT_EQ(t.d().weight_OTUs, (std::vector<int>{1, 1, 0, 1, 1}));
        EXPECT_TRUE(t.p.fa.restrictRaoWithinOpt);
        EXPECT_FALSE(t.p.fa.keepAdditivity);
        EXPECT_TRUE(t.InputUsedUp());
    }
    {
        Dialogue t('H', MakeData());
        t.p.fa.keepAdditivity = false;
        t.Run(head + "0 0 0 0 0\n0 1 1 1 1\nn\nn\n" + tail);
        EXPECT_EQ(t.err.str(), "\a\nNo OTU selected. Reenter.\n");
        EXPECT_EQ(t.d().weight_OTUs, (std::vector<int>{0, 1, 1, 1, 1}));
        EXPECT_FALSE(t.p.fa.restrictRaoWithinOpt);
        EXPECT_TRUE(t.p.fa.keepAdditivity);
        EXPECT_TRUE(t.InputUsedUp());
    }
}

TEST(SettingsHierarchy, SpeciesAsTypesTakeTheLastMarkedSpecies) {
    DataSet d = MakeData();
    d.nSpp = 3;
    d.cstSppMap = Matrix<char>(5, 3);
    const char* rows[] = {"100", "011", "010", "000", "001"};
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 3; ++j) d.cstSppMap[i][j] = rows[i][j];
    d.partition_OTUs = {8, 8, 8, 8, 8};
    Dialogue t('H', d);
    t.Run("0\ny\n0\n1\n6\nm\n1\n1\nn\n1\nn\n3\nt\n0\nn\n1\nn\n");
    const std::string species =
        "Wish to use as OTUs types the species specified in the session's formatted file? y/n ";
    EXPECT_NE(t.out.str().find(kScaling + species + kFuzzy), std::string::npos);
    EXPECT_TRUE(t.p.fa.OTUsTypesAreSpecies);
    EXPECT_EQ(t.d().partition_OTUs, (std::vector<int>{1, 3, 2, 8, 3}));
    EXPECT_EQ(t.d().nGrPoly[0], 4);
    EXPECT_TRUE(t.InputUsedUp());

    // Declining asks the memberships as usual.
    Dialogue u('H', d);
    u.Run("0\nn\nk\n1 1 1 1 1\n0\n1\n6\nm\n1\n1\nn\n1\nn\n3\nt\n0\nn\n1\nn\n");
    EXPECT_NE(u.out.str().find(species + kGroupQuestion), std::string::npos);
    EXPECT_FALSE(u.p.fa.OTUsTypesAreSpecies);
    EXPECT_EQ(u.d().nGrPoly[0], 1);
    EXPECT_TRUE(u.InputUsedUp());
}

TEST(SettingsHierarchy, PhylogenyFollowsTheDataSet) {
    DataSet d = MakeData();
    d.hasPhylogeny = true;
    Dialogue t('H', d);
    t.Run("0\nk\n3 3 1 1 2\n0\n1\n6\nm\n1\n1\nn\n1\nn\n3\nt\n0\nn\n1\nn\n");
    EXPECT_TRUE(t.p.fa.includePhylogeny);
    EXPECT_EQ(t.p.fa.partition_OTUs_Phyl, (std::vector<int>{3, 3, 1, 1, 2}));
    EXPECT_EQ(t.p.fa.nTaxa, 3);
    EXPECT_EQ(t.p.fa.fuzzyPhyl, 1);

    // A flag left by a phylogenetic ranking criterion does not survive into a
    // functional analysis of a data set without phylogeny.
    Dialogue u('H', MakeData());
    u.p.fa.includePhylogeny = true;
    u.Run("0\nk\n3 3 1 1 2\n0\n1\n6\nm\n1\n1\nn\n1\nn\n3\nt\n0\nn\n1\nn\n");
    EXPECT_FALSE(u.p.fa.includePhylogeny);

    // The ranking sets it for criteria 11 to 15 before the dialogue; it stays.
    Dialogue v('K', MakeData());
    v.p.fa.includePhylogeny = true;
    v.Run("k\n3 3 1 1 5\n0\n2\n1\n1\nn\nn\n");
    EXPECT_TRUE(v.p.fa.includePhylogeny);
    EXPECT_EQ(v.p.fa.nTaxa, 3);
    EXPECT_TRUE(v.InputUsedUp());
}

TEST(SettingsHierarchy, IterationsBelowThreeAndBeyondIntAreRejected) {
    Dialogue t('H', MakeData());
    t.Run("0\nk\n1 1 2 2 3\n0\n1\n6\nm\n1\n1\nn\n1\nn\n2\n3000000000\n3\nt\n0\nn\n1\nn\n");
    EXPECT_EQ(t.p.fa.niter, 3);
    EXPECT_EQ(t.err.str(), "\a\nIncorrect input = 2. Reenter.\nAccepted input: 3 to 2.14748e+09\n"
                           "\a\nIncorrect input = 3e+09. Reenter.\nAccepted input: 3 to 2.14748e+09\n");
    EXPECT_TRUE(t.InputUsedUp());
}

TEST(SettingsHierarchy, IntermediateResultsQuestionFollowsPreference) {
    const std::string answers = "0\nk\n1 1 2 2 3\n0\n1\n6\nm\n1\n1\nn\n1\nn\n3\nt\n0\nn\n1\ny\n";
    const std::string sure =
        "\nKOLVAR preferences are set to show intermediate results of permutation tests, which are recommended only "
        "for small data sets or small number of permutations.\nAre you sure? y/n ";
    for (char answer : {'y', 'n'}) {
        Dialogue t('H', MakeData());
        t.p.opt.saveRndData = 'y';
        t.Run(answers + answer + "\n");
        EXPECT_NE(t.out.str().find(kDetail + sure), std::string::npos);
        EXPECT_TRUE(t.p.fa.printDetail);
        EXPECT_EQ(t.p.fa.printIntermPermResults, answer == 'y');
        EXPECT_TRUE(t.InputUsedUp());
    }
    Dialogue u('H', MakeData());
    u.p.fa.printIntermPermResults = true;
    u.Run(answers);
    EXPECT_EQ(Count(u.out.str(), sure), 0);
    EXPECT_FALSE(u.p.fa.printIntermPermResults);
}

TEST(SettingReseFunction, ListsTwoOptionsAcceptsFive) {
    std::istringstream in("5\n9\n");
    std::ostringstream out, err;
    Console con{in, out, err};
    int option = 0;
    EXPECT_EQ(SettingReseFunction(con, option), 9);
    EXPECT_EQ(option, 9);
    EXPECT_EQ(out.str(),
              "\nResemblance function option:\n\t6   Euclidean distance\n\t10  chord distance\nType option no.: ");
    EXPECT_EQ(err.str(), "\a\nIncorrect input = 5. Reenter.\nAccepted input: 6 7 8 9 10\n");

    // Only a resemblance between communities is asked.
    std::istringstream in2("6\n");
    Console con2{in2, out, err};
    FunctionalSettings fa;
    HierarchySettings hier;
    fa.whichObj = 'c';
    SettingsRese(con2, fa, hier);
    EXPECT_EQ(hier.rese_opt, 0);
    fa.whichObj = 'r';
    SettingsRese(con2, fa, hier);
    EXPECT_EQ(hier.rese_opt, 6);
}

TEST(GetPrindaMode, NewFileAppendDuringMacroOrAsk) {
    test::ScratchDir dir;
    const std::string vol = dir.path().string() + "/";
    std::istringstream in("x\nA\nw\n");
    std::ostringstream out, err;
    Console con{in, out, err};
    std::string mode = "a";

    GetPrindaMode(con, vol, "sPrinda.txt", mode);
    EXPECT_EQ(mode, "w");
    EXPECT_EQ(out.str(), "");

    dir.Write("sPrinda.txt", "old results\n");
    con.runMacro = true;
    mode = "w";
    GetPrindaMode(con, vol, "sPrinda.txt", mode);
    EXPECT_EQ(mode, "a");
    EXPECT_EQ(out.str(), "");

    con.runMacro = false;
    const std::string question =
        "\nThis session has a previous sPrinda.txt file.\nOptions:\n   w  erase file and create a new one\n"
        "   a  append results to same file\nType option: ";
    GetPrindaMode(con, vol, "sPrinda.txt", mode);
    EXPECT_EQ(mode, "a");
    EXPECT_EQ(out.str(), question);
    EXPECT_EQ(err.str(), "\a\nIncorrect input = x. Reenter.\nAccepted input: w a\n");
    GetPrindaMode(con, vol, "sPrinda.txt", mode);
    EXPECT_EQ(mode, "w");
    EXPECT_EQ(out.str(), question + question);
}

TEST(SettingsHierarchy, EndOfInputIsFatal) {
    Dialogue t('H', MakeData());
    EXPECT_THROW(t.Run("0\nk\n1 1 2"), FatalError);
}

}  // namespace
}  // namespace kolvar
