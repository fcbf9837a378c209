// The data-set dialogue through the real program: another session's data as
// it is or as a subset, pooled, paired into changes or smoothed by a split
// moving window, and merges of two sessions.

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

#include "data/Formda.hpp"
#include "support/Scenario.hpp"

namespace kolvar {
namespace {

using test::RunKolvar;
using test::RunResult;
using test::ScratchDir;

std::string Row(const Matrix<char>& m, std::size_t r) { return std::string(m[r].begin(), m[r].end()); }

DataSet ReadBack(const ScratchDir& dir, const std::string& file) {
    std::istringstream in;
    std::ostringstream out, err;
    Console con{in, out, err};
    std::ifstream fp(dir.path() / file, std::ios::binary);
    return ReadFormda(con, fp, file);
}

// Imports four OTUs (traits size, color of types 3 2), four communities
// plot1..plot4, species names with program codes and two ecological variables
// temp, wet into the session name; envTypes "2" (quantitative) or "5\nk\n3 2\ny" (mixed).
void Import(const ScratchDir& dir, const std::string& session, const std::string& envTypes = "2",
            bool species = true, const std::string& traitTypes = "3 2") {
    dir.Write("B.txt", "1 10\n2 20\n3 30\n4 -999\nsize color\n");
    dir.Write("W.txt", "1 0 2 0\n3 1 0 0\n0 5 0 1\n2 2 2 2\nplot1 plot2 plot3 plot4\n");
    dir.Write("S.txt", "Poa annua\nPoa angustifolia\nCarex nigra\nPoa annua\n");
    dir.Write("E.txt", "1.5 0\n2.5 1\n3.5 1\n4.5 0\ntemp wet\n");
    std::string a = "N\n" + session + "\n1\nB.txt\n0\nW.txt\n";
    a += species ? "1\nS.txt\n" : "0\n";
    a += "1\nE.txt\n4\n2\n2\n2\nk\n" + traitTypes + "\ny\n0\n4\n2\n1\n";
    if (species) a += "2\n";
    a += "2\n2\n" + envTypes + "\nn\nC\nX\n";
    const RunResult r = RunKolvar(dir, a);
    ASSERT_EQ(r.status, 0) << r.err;
}

// n communities of two OTUs, community j holding j and 10 j; default labels.
void ImportSeries(const ScratchDir& dir, const std::string& session, int n) {
    dir.Write("B2.txt", "1 2\n");
    std::string w;
    for (int j = 1; j <= n; ++j) w += std::to_string(j) + " " + std::to_string(10 * j) + "\n";
    dir.Write("W2.txt", w);
    const std::string a = "N\n" + session + "\n1\nB2.txt\n0\nW2.txt\n0\n0\n2\n1\n1\n2\nk\n3\ny\n0\n" +
                          std::to_string(n) + "\n1\n1\nC\nX\n";
    const RunResult r = RunKolvar(dir, a);
    ASSERT_EQ(r.status, 0) << r.err;
}

// Answers that take session src modified: traits and OTUs kept, the given
// community answers, variables kept when the source has any, no trimming.
std::string Modify(const std::string& session, const std::string& src, const std::string& communities,
                   bool env = true) {
    return "N\n" + session + "\n2\n" + src + "\n2\n1\n1\n" + communities + (env ? "1\n" : "") + "n\nC\nX\n";
}

TEST(DataSetScenario, SessionSharesAnotherSessionsFileAsItIs) {
    ScratchDir dir;
    Import(dir, "src");
    RunResult r = RunKolvar(dir, "N\ntk\n2\nsrc\n1\nC\nX\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\nUse file srcFormda.txt:\n   1  as it is \n   2  modified \n   3  return to main menu \n"),
              std::string::npos);
    EXPECT_EQ(dir.Read("tkTrk.txt"), "srcFormda.txt\n07Jul17\n");
    EXPECT_FALSE(dir.Exists("tkFormda.txt"));

    // A later subset of that session reads the shared file.
    r = RunKolvar(dir, Modify("tk2", "tk", "2\n1\nk\nplot2\ny\n"));
    ASSERT_EQ(r.status, 0) << r.err;
    const DataSet d = ReadBack(dir, "tk2Formda.txt");
    EXPECT_EQ(d.dataName, "srcFormda.txt ");
    EXPECT_EQ(d.reLabel, std::vector<std::string>({"plot2"}));
    EXPECT_DOUBLE_EQ(d.cadat[0][0], 3.0);

    // A session without data: the open failure line and the menu again; 4 leaves.
    r = RunKolvar(dir, "N\nnone\n2\nghost\n4\nX\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("\ncan't open ghostFormda.txt \n"), std::string::npos);
    EXPECT_EQ(dir.Read("noneTrk.txt"), "");
    EXPECT_EQ(r.out.find("SESSION MENU"), std::string::npos);
}

TEST(DataSetScenario, SubsetByLabelsAndPositions) {
    ScratchDir dir;
    Import(dir, "src");
    // Trait color; OTUs 4 and 1; communities plot3, plot1 (each after a wrong answer); variable wet.
    const std::string a = "N\nsub\n2\nsrc\n2\n2\n1\nk\nweight\ny\nk\ncolor\ny\n2\n2\nk\n4 9\ny\nk\n4 1\ny\n2\n2\nk\nplot3 "
                          "plotX\ny\nk\nplot3 plot1\ny\n2\n1\nk\nwet\ny\nn\nC\nX\n";
    RunResult r = RunKolvar(dir, a);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("GETTING DATA FROM ANOTHER SESSION"), std::string::npos);
    // Trait weight, OTU position 9, community plotX.
    EXPECT_EQ(r.err, "\nError!! Enter again. \nError!! Enter again. \nError!! Enter again. \n");
    DataSet d = ReadBack(dir, "subFormda.txt");
    EXPECT_EQ(d.chLabel, std::vector<std::string>({"color"}));
    EXPECT_EQ(d.chtype, std::vector<int>({2}));
    EXPECT_EQ(d.tcst, 2);
    EXPECT_DOUBLE_EQ(d.csm_Float[0][0], -999.0);
    EXPECT_DOUBLE_EQ(d.csm_Float[1][0], 10.0);
    EXPECT_EQ(d.reLabel, std::vector<std::string>({"plot3", "plot1"}));
    EXPECT_DOUBLE_EQ(d.cadat[0][0], 1.0);
    EXPECT_DOUBLE_EQ(d.cadat[0][1], 0.0);
    EXPECT_DOUBLE_EQ(d.cadat[1][1], 1.0);
    EXPECT_EQ(d.envLabel, std::vector<std::string>({"wet"}));
    EXPECT_EQ(d.optEnvVarType, 1);  // one quantitative variable left
    EXPECT_DOUBLE_EQ(d.env[0][0], 1.0);
    ASSERT_EQ(d.nSpp, 3);
    EXPECT_EQ(Row(d.cstSppMap, 0), "100");
    EXPECT_EQ(Row(d.sppRelMap, 0), "11");
    EXPECT_EQ(Row(d.sppRelMap, 2), "01");
    EXPECT_EQ(dir.Read("subTrk.txt"), "subFormda.txt\n07Jul17\n");

    // Trimming drops the species none of the kept OTUs (4 and 2) belongs to.
    r = RunKolvar(dir, "N\ntrim\n2\nsrc\n2\n1\n2\n2\nk\n4 2\ny\n2\n1\nk\nplot4\ny\n1\ny\nC\nX\n");
    ASSERT_EQ(r.status, 0) << r.err;
    d = ReadBack(dir, "trimFormda.txt");
    EXPECT_EQ(d.tcst, 2);
    EXPECT_EQ(d.nSpp, 2);
}

TEST(DataSetScenario, PoolingAveragesTheCommunitiesOfAGroup) {
    ScratchDir dir;
    Import(dir, "src");
    // Two groups A (plot1-3) and B (plot4), ordered counts 3 1.
    const RunResult r = RunKolvar(dir, Modify("pool", "src", "3\n2\n2\nk\nA B\ny\ny\n3 1\n"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("SET GROUP PARTITION"), std::string::npos);
    const std::string file = dir.Read("poolFormda.txt");
    EXPECT_NE(file.find("2 \nA\tB\t\n4 \n"), std::string::npos);
    EXPECT_NE(file.find("25Jun2016 \n1\t10\t\n2\t20\t\n3\t30\t\n4\t-999\t\n\n1.33333\t2\t\n2\t2\t\n0.666667\t2\t\n0.333333\t2\t\n"),
              std::string::npos);
    // E transposed on file: temp means 2.5 and 4.5; wet 0.666667 and 0.
    EXPECT_NE(file.find("2.5\t4.5\t\n0.666667\t0\t\n"), std::string::npos);
    const DataSet d = ReadBack(dir, "poolFormda.txt");
    EXPECT_EQ(Row(d.sppRelMap, 0), "11");
    EXPECT_EQ(Row(d.sppRelMap, 1), "11");
    EXPECT_EQ(Row(d.sppRelMap, 2), "11");
}

TEST(DataSetScenario, ChangeBetweenPairedCommunitiesInBothOrders) {
    ScratchDir dir;
    Import(dir, "src");
    // Order 2: (plot1, plot2) and (plot3, plot4); default labels.
    RunResult r = RunKolvar(dir, Modify("chg", "src", "4\n1\n2\n"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\nThe new communities will contain changes in the environmental variables as well.\n"),
              std::string::npos);
    std::string file = dir.Read("chgFormda.txt");
    EXPECT_NE(file.find("2 \n1\t2\t\n4 \n"), std::string::npos);
    EXPECT_NE(file.find("\n\n2\t2\t\n1\t-3\t\n-2\t2\t\n0\t1\t\n\n"), std::string::npos);
    EXPECT_NE(file.find("1\t1\t\n1\t-1\t\n"), std::string::npos);

    // Order 1: (plot1, plot3) and (plot2, plot4); own labels.
    r = RunKolvar(dir, Modify("chg1", "src", "4\n2\nu1 u2\ny\n1\n"));
    ASSERT_EQ(r.status, 0) << r.err;
    file = dir.Read("chg1Formda.txt");
    EXPECT_NE(file.find("2 \nu1\tu2\t\n4 \n"), std::string::npos);
    EXPECT_NE(file.find("\n\n-1\t-1\t\n5\t1\t\n-2\t2\t\n1\t2\t\n\n"), std::string::npos);
}

TEST(DataSetScenario, WarningsAndRefusalsOfTheCommunityOptions) {
    ScratchDir dir;
    Import(dir, "mixed", "5\nk\n3 2\ny");
    // Pooling with a nominal variable is refused; change warns and turns it binary.
    RunResult r = RunKolvar(dir, Modify("q", "mixed", "3\n4\n1\n2\n"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\b\nThis option not allowed with this data: pooling environmental variables that are "
                         "qualitative is not possible.\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("\b\nWarning! Change in environmental variables that are qualitative\nwill result in a "
                         "binary variable: 1 if there is change, 0 if there is not.\n"),
              std::string::npos);
    DataSet d = ReadBack(dir, "qFormda.txt");
    EXPECT_EQ(d.envVarType, std::vector<int>({3, 1}));
    EXPECT_DOUBLE_EQ(d.env[1][1], 1.0);  // wet 1 -> 0: a change
    EXPECT_DOUBLE_EQ(d.env[0][0], 1.0);

    // Averaged binary variables become quantitative; with no other kind left
    // the set is one of quantitative variables.
    Import(dir, "mixb", "5\nk\n3 1\ny");
    r = RunKolvar(dir, Modify("pb", "mixb", "3\n1\n1\ny\n4\n"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\b\nWarning! Binary environmental variables will be averaged, and therefore will become "
                         "quantitative.\n"),
              std::string::npos);
    d = ReadBack(dir, "pbFormda.txt");
    EXPECT_EQ(d.ncsm, 1);
    EXPECT_EQ(d.envVarType, std::vector<int>({3, 3}));
    EXPECT_EQ(d.optEnvVarType, 2);
    EXPECT_DOUBLE_EQ(d.env[0][1], 0.5);

    // One variable kept of a mixed set: the kind follows the variable.
    r = RunKolvar(dir, "N\nsel\n2\nmixed\n2\n1\n1\n1\n2\n1\nk\nwet\ny\nn\nC\nX\n");
    ASSERT_EQ(r.status, 0) << r.err;
    d = ReadBack(dir, "selFormda.txt");
    EXPECT_EQ(d.envVarType, std::vector<int>({2}));
    EXPECT_EQ(d.optEnvVarType, 3);

    // Seven communities: change is not possible.
    ImportSeries(dir, "seven", 7);
    r = RunKolvar(dir, Modify("odd", "seven", "4\n1\n", false));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\b\nThis option is not possible, for the number of communities must be even.\n"),
              std::string::npos);
    EXPECT_EQ(ReadBack(dir, "oddFormda.txt").ncsm, 7);
}

TEST(DataSetScenario, SplitMovingWindowOfSizeFourOnTenCommunities) {
    ScratchDir dir;
    ImportSeries(dir, "ser", 10);
    const RunResult r = RunKolvar(dir, Modify("smw", "ser", "5\n3\n4\n", false));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\b\nEnter again. Must be even."), std::string::npos);
    EXPECT_NE(r.out.find("\nA formda file for this session, with 9 communities, has been created.\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("\nThe first new community is the average of the first 2 communities in the series,\n"),
              std::string::npos);
    const std::string file = dir.Read("smwFormda.txt");
    EXPECT_NE(file.find("\nSMW 2\n"), std::string::npos);
    EXPECT_NE(file.find("1.5\t2.5\t3.5\t4.5\t5.5\t6.5\t7.5\t8.5\t9.5\t\n15\t25\t35"), std::string::npos);
    const DataSet d = ReadBack(dir, "smwFormda.txt");
    EXPECT_EQ(d.ncsm, 9);
    EXPECT_EQ(d.reLabel.back(), "9");
    EXPECT_EQ(d.SMWSize, 2);
}

TEST(DataSetScenario, MergeRenamesDuplicateLabels) {
    ScratchDir dir;
    Import(dir, "src");
    Import(dir, "src2");
    const RunResult r = RunKolvar(dir, "N\nm\n3\nsrc\nsrc2\nC\nX\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const DataSet d = ReadBack(dir, "mFormda.txt");
    EXPECT_EQ(d.dataName, "srcFormda.txt src2Formda.txt ");
    EXPECT_EQ(d.reLabel, std::vector<std::string>({"plot1", "plot2", "plot3", "plot4", "plot1b", "plot2b", "plot3b",
                                                    "plot4b"}));
    EXPECT_EQ(d.tcst, 8);
    EXPECT_DOUBLE_EQ(d.cadat[1][2], 5.0);
    EXPECT_DOUBLE_EQ(d.cadat[1][6], 0.0);
    EXPECT_DOUBLE_EQ(d.cadat[5][6], 5.0);
    EXPECT_DOUBLE_EQ(d.cadat[5][2], 0.0);
    EXPECT_DOUBLE_EQ(d.env[5][0], 2.5);
    EXPECT_EQ(d.envName, "E.txt_E.txt");
    EXPECT_EQ(d.nSpp, 3);  // equal names of the two sessions are one species
    EXPECT_EQ(Row(d.sppRelMap, 0), "11111111");
    EXPECT_EQ(dir.Read("mTrk.txt"), "mFormda.txt\n07Jul17\n");
}

TEST(DataSetScenario, MergeMismatchesLeaveNothingWritten) {
    ScratchDir dir;
    Import(dir, "src");
    ASSERT_EQ(RunKolvar(dir, "N\nt1\n2\nsrc\n2\n2\n1\nk\nsize\ny\n1\n1\n1\nn\nC\nX\n").status, 0);
    ASSERT_EQ(RunKolvar(dir, "N\nord\n2\nsrc\n2\n2\n2\nk\ncolor size\ny\n1\n1\n1\nn\nC\nX\n").status, 0);
    Import(dir, "types", "2", true, "3 3");
    ASSERT_EQ(RunKolvar(dir, "N\ne1\n2\nsrc\n2\n1\n1\n1\n2\n1\nk\ntemp\ny\nn\nC\nX\n").status, 0);
    Import(dir, "mixed", "5\nk\n3 2\ny");
    ASSERT_EQ(RunKolvar(dir, "N\neord\n2\nsrc\n2\n1\n1\n1\n2\n2\nk\nwet temp\ny\nn\nC\nX\n").status, 0);
    Import(dir, "nosp", "2", false);
    std::string text = dir.Read("srcFormda.txt");
    std::string ca = text;
    ca.replace(ca.find("0\t0\t0\t0\t0\t0\t0\t\n"), 15, "1\t0\t0\t0\t0\t0\t0\t\n");
    dir.Write("caFormda.txt", ca);
    std::string longer = text;
    longer.replace(longer.find("plot1"), 5, std::string(70, 'p'));
    dir.Write("longFormda.txt", longer);

    const std::vector<std::pair<std::string, std::string>> cases = {
        {"t1", "\nThe number of traits do not match.\n\n"},
        {"ord", "\nLabels for traits do not match (or their order).\n\n"},
        {"types", "\nTrait types do not match.\n\n"},
        {"ca", "\nTranslating values for cover-abundance scale codes do not match.\n\n"},
        {"e1", "\nThe number of environmental variables do not match.\n\n"},
        {"mixed", "\nThe types of environmental variables do not match.\n\n"},
        {"eord", "\nLabels for environmental variables do not match.\n\n"},
        {"nosp", "\nOne session has species names and the other not.\nBoth files must have or not have species "
                 "names.\n\n"}};
    for (const auto& [second, message] : cases) {
        const RunResult r = RunKolvar(dir, "N\nbad\n3\nsrc\n" + second + "\n4\nX\n");
        ASSERT_EQ(r.status, 0) << second << r.err;
        EXPECT_NE(r.out.find(message), std::string::npos) << second;
        EXPECT_NE(r.out.find("DATA FOR SESSION"), std::string::npos);
        EXPECT_FALSE(dir.Exists("badFormda.txt")) << second;
        EXPECT_EQ(dir.Read("badTrk.txt"), "") << second;
    }
    const RunResult r = RunKolvar(dir, "N\nbad\n3\nlong\nlong\n4\nX\n");
    EXPECT_NE(r.out.find("\nThere are releve labels in the second session that are identical to\nlabels in the first "
                         "session. Change them (or reduce the second\nsession labels length to 69 letters or digits) "
                         "and try again.\n"),
              std::string::npos);
    EXPECT_FALSE(dir.Exists("badFormda.txt"));
}

TEST(DataSetScenario, CorruptSourceFilesEndWithTheFileNamed) {
    ScratchDir dir;
    Import(dir, "src");
    std::mt19937 gen(7);
    std::uniform_int_distribution<int> byte(0, 255);
    const std::string good = dir.Read("srcFormda.txt");
    const std::vector<std::string> answers = {"N\nx\n2\njunk\n1\nC\nX\n", "N\nx\n2\njunk\n2\n1\n1\n1\n1\nn\nC\nX\n",
                                              "N\nx\n3\nsrc\njunk\n4\nX\n"};
    for (int trial = 0; trial < 6; ++trial) {
        std::string junk = good;
        if (trial < 3) {
            // Random bytes over part of a real file.
            for (std::size_t k = junk.size() / 4; k < junk.size(); k += 3) junk[k] = static_cast<char>(byte(gen));
        } else {
            junk.assign(300, '\0');
            for (char& c : junk) c = static_cast<char>(byte(gen));
        }
        dir.Write("junkFormda.txt", junk);
        for (const auto& a : answers) {
            const RunResult r = RunKolvar(dir, a, 20);
            ASSERT_FALSE(r.timedOut);
            ASSERT_TRUE(r.status == 0 || r.status == 1) << r.status;
            if (r.status == 1) {
                EXPECT_NE(r.err.find("\nfile junkFormda.txt "), std::string::npos) << r.err;
            }
            EXPECT_EQ(dir.Read("srcFormda.txt"), good);
        }
    }
}

TEST(DataSetScenario, AravoSubsetOfOtusKeepsTheirPhylogenyAndSpecies) {
    ScratchDir dir;
    for (const char* f : {"B.txt", "W.txt", "species.txt", "E_quant.txt", "F_taxo.txt"})
        dir.CopyFromSource(std::string("examples/aravo/") + f);
    std::ifstream answersFile(test::SourcePath("examples/import_aravo.txt"));
    std::stringstream answers;
    answers << answersFile.rdbuf();
    ASSERT_EQ(RunKolvar(dir, answers.str()).status, 0);
    // OTUs 3, 1, 2 with trimming; the phylogeny follows them.
    const RunResult r = RunKolvar(dir, "N\nthree\n2\naravo\n2\n1\n2\n3\nk\n3 1 2\ny\n1\n1\ny\nC\nX\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const DataSet full = ReadBack(dir, "aravoFormda.txt");
    const DataSet d = ReadBack(dir, "threeFormda.txt");
    ASSERT_EQ(d.tcst, 3);
    EXPECT_EQ(d.ncsm, 75);
    EXPECT_DOUBLE_EQ(d.csm_Float[0][5], full.csm_Float[2][5]);
    ASSERT_TRUE(d.hasPhylogeny);
    EXPECT_DOUBLE_EQ(d.phylogenyRese[0][1], full.phylogenyRese[2][0]);
    EXPECT_EQ(d.nSpp, 3);
    EXPECT_EQ(d.spp, std::vector<std::string>({full.spp[0], full.spp[1], full.spp[2]}));
    EXPECT_EQ(Row(d.cstSppMap, 0), "001");
}

}  // namespace
}  // namespace kolvar
