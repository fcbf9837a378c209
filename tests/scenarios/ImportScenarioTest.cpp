// The import dialogue run through the real program on small made-up files and
// on the aravo example data.

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

// Four OTUs, two traits, four communities, two ecological variables.
const char* kBRows = "1 10\n2 20\n3 30\n4 -999\nsize color\n";
const char* kBCols = "1 2 3 4\n10 20 30 -999\nsize color\n";
const char* kWRows = "1 0 2 0\n3 1 0 0\n0 5 0 1\n2 2 2 2\nplot1 plot2 plot3 plot4\n";
const char* kWCols = "1 3 0 2\n0 1 5 2\n2 0 0 2\n0 0 1 2\nplot1 plot2 plot3 plot4\n";
const char* kSpecies = "Poa annua\nPoa angustifolia\nCarex nigra\nPoa annua\n";
const char* kERows = "1.5 0\n2.5 1\n3.5 1\n4.5 0\ntemp wet\n";

// The answers up to the end of the trait questions: B, no F, W, species, E
// files as flagged; 4 OTUs, 2 traits, labels from the file, types 3 2.
std::string Start(const std::string& session, int bLayout, bool phylogeny, bool species, bool env,
                  const std::string& groups = "0\n") {
    std::string a = "N\n" + session + "\n1\nB.txt\n";
    a += phylogeny ? "1\nF.txt\n" : "0\n";
    a += "W.txt\n";
    a += species ? "1\nS.txt\n" : "0\n";
    a += env ? "1\nE.txt\n" : "0\n";
    a += "4\n2\n2\n" + std::to_string(bLayout) + "\nk\n3 2\ny\n" + groups;
    return a;
}

// Communities: 4, labels from file, layout as given.
std::string Communities(int wLayout) { return "4\n2\n" + std::to_string(wLayout) + "\n"; }

DataSet ReadBack(const ScratchDir& dir, const std::string& file) {
    std::istringstream in;
    std::ostringstream out, err;
    Console con{in, out, err};
    std::ifstream fp(dir.path() / file, std::ios::binary);
    return ReadFormda(con, fp, file);
}

// A formatted file without its final time-stamp line.
std::string Body(const std::string& text) {
    const auto end = text.rfind('\n', text.size() >= 2 ? text.size() - 2 : 0);
    return text.substr(0, end == std::string::npos ? 0 : end + 1);
}

void WriteSmall(const ScratchDir& dir) {
    dir.Write("B.txt", kBRows);
    dir.Write("W.txt", kWRows);
    dir.Write("S.txt", kSpecies);
    dir.Write("E.txt", kERows);
}

TEST(ImportScenario, TraitAndCompositionLayoutsGiveTheSameFile) {
    ScratchDir dir;
    WriteSmall(dir);
    dir.Write("Bc.txt", kBCols);
    dir.Write("Wc.txt", kWCols);
    // B OTUs as rows, W communities as rows.
    RunResult r = RunKolvar(dir, Start("rows", 2, false, false, false) + Communities(1) + "C\nX\n");
    ASSERT_EQ(r.status, 0) << r.err;
    // B traits as rows, W communities as columns, from other files of the same numbers.
    std::string answers = Start("cols", 1, false, false, false) + Communities(2) + "C\nX\n";
    answers.replace(answers.find("B.txt"), 5, "Bc.txt");
    answers.replace(answers.find("W.txt"), 5, "Wc.txt");
    r = RunKolvar(dir, answers);
    ASSERT_EQ(r.status, 0) << r.err;

    std::string rows = Body(dir.Read("rowsFormda.txt"));
    std::string cols = Body(dir.Read("colsFormda.txt"));
    ASSERT_FALSE(rows.empty());
    rows.replace(0, rows.find('\n'), "T");  // titles name the B files
    cols.replace(0, cols.find('\n'), "T");
    EXPECT_EQ(rows, cols);

    const DataSet d = ReadBack(dir, "rowsFormda.txt");
    EXPECT_EQ(d.dataName, "B.txt ");
    EXPECT_EQ(d.chLabel, std::vector<std::string>({"size", "color"}));
    EXPECT_EQ(d.chtype, std::vector<int>({3, 2}));
    EXPECT_EQ(d.onsta, std::vector<int>({4, 3}));
    EXPECT_EQ(d.reLabel, std::vector<std::string>({"plot1", "plot2", "plot3", "plot4"}));
    EXPECT_DOUBLE_EQ(d.csm_Float[3][1], -999.0);
    EXPECT_DOUBLE_EQ(d.cadat[1][2], 5.0);  // OTU 2 in plot3
    EXPECT_DOUBLE_EQ(d.cadat[3][0], 0.0);
    EXPECT_EQ(dir.Read("rowsTrk.txt"), "rowsFormda.txt\n07Jul17\n");
}

TEST(ImportScenario, VectorLayoutAndDefaultLabels) {
    ScratchDir dir;
    dir.Write("B.txt", kBRows);
    // Community 1 holds OTUs 1-2, community 2 OTUs 3-4.
    dir.Write("W.txt", "5 6\n7 8\n");
    std::string a = Start("vec", 2, false, false, false);
    // Counts 3 and 3 do not fit four OTUs and are asked again.
    a += "2\n1\n3\nk\n3 3\ny\nk\n2 2\ny\nC\nX\n";
    const RunResult r = RunKolvar(dir, a);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("\nError!! Enter again. \n"), std::string::npos);
    EXPECT_NE(r.out.find("Number of OTUs in each community:\nCommunities:       \t1\t2\t\n"), std::string::npos);
    const DataSet d = ReadBack(dir, "vecFormda.txt");
    EXPECT_EQ(d.reLabel, std::vector<std::string>({"1", "2"}));
    EXPECT_DOUBLE_EQ(d.cadat[0][0], 5.0);
    EXPECT_DOUBLE_EQ(d.cadat[1][0], 6.0);
    EXPECT_DOUBLE_EQ(d.cadat[2][1], 7.0);
    EXPECT_DOUBLE_EQ(d.cadat[3][1], 8.0);
    EXPECT_DOUBLE_EQ(d.cadat[0][1], 0.0);
}

TEST(ImportScenario, EmptyCommunityIsReportedOnce) {
    ScratchDir dir;
    dir.Write("B.txt", kBRows);
    dir.Write("W.txt", "1 0 2 0\n0 0 -999 0\n0 5 0 1\n2 2 2 2\nplot1 plot2 plot3 plot4\n");
    const RunResult r = RunKolvar(dir, Start("empty", 2, false, false, false) + Communities(1) + "C\nX\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string msg = "\nPlease check matrix W. Sampling unit plot2 has all values zero or missing (-999), which "
                            "will generate unreliable results.";
    ASSERT_NE(r.out.find(msg), std::string::npos);
    EXPECT_EQ(r.out.find(msg, r.out.find(msg) + 1), std::string::npos);
    EXPECT_EQ(r.out.find("Sampling unit plot1"), std::string::npos);
}

TEST(ImportScenario, PhylogenyLayoutsAndNormalization) {
    ScratchDir dir;
    WriteSmall(dir);
    const char* note = "\nPhylogenetic distances were normalized to values in the range [0,1] by Dnorm = D/Dmax\n";
    // Full distances, largest 8.
    dir.Write("F.txt", "0 2 4 8\n2 0 4 8\n4 4 0 8\n8 8 8 0\n");
    RunResult r = RunKolvar(dir, Start("dist", 2, true, false, false) + "1\n" + Communities(1) + "C\nX\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(note), std::string::npos);
    EXPECT_NE(r.out.find("   1  a full matrix of phylogenetic distances of 4 OTUs by 4 OTUs (e.g. as given by "
                         "PHYLOCOM)\n"),
              std::string::npos);
    DataSet d = ReadBack(dir, "distFormda.txt");
    ASSERT_TRUE(d.hasPhylogeny);
    EXPECT_EQ(d.phylogenyMatrixType, 3);
    EXPECT_DOUBLE_EQ(d.phylogenyRese[0][1], 0.25);
    EXPECT_DOUBLE_EQ(d.phylogenyRese[3][2], 1.0);

    // Distances within 0-1: unchanged, no note.
    dir.Write("F.txt", "0 0.5 1 1\n0.5 0 1 1\n1 1 0 0.5\n1 1 0.5 0\n");
    r = RunKolvar(dir, Start("unit", 2, true, false, false) + "1\n" + Communities(1) + "C\nX\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find(note), std::string::npos);
    EXPECT_DOUBLE_EQ(ReadBack(dir, "unitFormda.txt").phylogenyRese[0][1], 0.5);

    // Full similarities.
    r = RunKolvar(dir, Start("sim", 2, true, false, false) + "2\n" + Communities(1) + "C\nX\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadBack(dir, "simFormda.txt").phylogenyMatrixType, 1);

    // Lower half with diagonal, mirrored.
    dir.Write("F.txt", "1\n0.5 1\n0.2 0.3 1\n0.1 0.4 0.6 1\n");
    r = RunKolvar(dir, Start("half", 2, true, false, false) + "3\n" + Communities(1) + "C\nX\n");
    ASSERT_EQ(r.status, 0) << r.err;
    d = ReadBack(dir, "halfFormda.txt");
    EXPECT_EQ(d.phylogenyMatrixType, 1);
    EXPECT_DOUBLE_EQ(d.phylogenyRese[0][3], 0.1);
    EXPECT_DOUBLE_EQ(d.phylogenyRese[3][0], 0.1);
    EXPECT_DOUBLE_EQ(d.phylogenyRese[1][2], 0.3);
}

TEST(ImportScenario, SpeciesAndEcologicalVariables) {
    ScratchDir dir;
    WriteSmall(dir);
    // Program-made species codes; E of two quantitative variables by communities.
    RunResult r = RunKolvar(
        dir, Start("spe", 2, false, true, true, "1\nk\n7 8\ny\n") + Communities(1) + "2\n2\n2\n2\nn\nC\nX\n");
    ASSERT_EQ(r.status, 0) << r.err;
    DataSet d = ReadBack(dir, "speFormda.txt");
    EXPECT_TRUE(d.hasTraitGroups);
    EXPECT_EQ(d.traitGroups, std::vector<int>({7, 8}));
    ASSERT_EQ(d.nSpp, 3);
    EXPECT_EQ(d.spp, std::vector<std::string>({"Poan Poa annua", "POan Poa angustifolia", "Cani Carex nigra"}));
    EXPECT_EQ(d.whichSpp, "S.txt ");
    EXPECT_EQ(std::string(d.cstSppMap[3].begin(), d.cstSppMap[3].end()), "100");
    // Poa annua: OTUs 1 and 4 -> every plot.
    EXPECT_EQ(std::string(d.sppRelMap[0].begin(), d.sppRelMap[0].end()), "1111");
    EXPECT_EQ(std::string(d.sppRelMap[2].begin(), d.sppRelMap[2].end()), "1001");
    EXPECT_EQ(d.nenv, 2);
    EXPECT_EQ(d.optEnvVarType, 2);
    EXPECT_EQ(d.envLabel, std::vector<std::string>({"temp", "wet"}));
    EXPECT_DOUBLE_EQ(d.env[2][0], 3.5);
    EXPECT_DOUBLE_EQ(d.env[1][1], 1.0);

    // Trait groups follow the traits kept in a subset.
    r = RunKolvar(dir, "N\nsub\n2\nspe\n2\n2\n1\nk\ncolor\ny\n1\n1\n1\nn\nC\nX\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadBack(dir, "subFormda.txt").traitGroups, std::vector<int>({8}));

    // Several types entered by variables: 3 and 1 are mixed.
    dir.Write("E.txt", "1.5 2.5 3.5 4.5\n0 1 1 0\ntemp wet\n");
    r = RunKolvar(dir, Start("mix", 2, false, false, true) + Communities(1) + "2\n2\n5\nk\n3 1\ny\nt\nC\nX\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Variable:    \t" + std::string(69, ' ') + "1 " + std::string(69, ' ') + "2 "),
              std::string::npos);
    d = ReadBack(dir, "mixFormda.txt");
    EXPECT_EQ(d.optEnvVarType, 5);
    EXPECT_EQ(d.envVarType, std::vector<int>({3, 1}));
    EXPECT_DOUBLE_EQ(d.env[2][0], 3.5);
    EXPECT_DOUBLE_EQ(d.env[1][1], 1.0);

    // Several types announced, one kind typed: corrected by hand, then kept.
    r = RunKolvar(dir, Start("notmix", 2, false, false, true) + Communities(1) +
                           "2\n2\n5\nk\n3 3\ny\ny\nk\n3 3\ny\nn\nt\nC\nX\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string msg = "Data not mixed as indicated!!!\nWish to correct manually? y/n ";
    const auto first = r.out.find(msg);
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(r.out.find(msg, first + 1), std::string::npos);
    d = ReadBack(dir, "notmixFormda.txt");
    EXPECT_EQ(d.optEnvVarType, 2);

    // Every value of a community missing is reported; one variable: no layout question.
    dir.Write("E.txt", "1\n-999\n3\n4\n");
    r = RunKolvar(dir, Start("one", 2, false, false, true) + Communities(1) + "1\n1\n1\nC\nX\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("Data entered by communities"), std::string::npos);
    EXPECT_NE(r.out.find("\nPlease check matrix E. Sampling unit plot2 has all values missing (-999), which will "
                         "generate unreliable results."),
              std::string::npos);
    EXPECT_EQ(ReadBack(dir, "oneFormda.txt").envLabel, std::vector<std::string>({"1"}));
}

TEST(ImportScenario, LineEndsByteOrderMarksAndLongLabels) {
    ScratchDir dir;
    WriteSmall(dir);
    const std::string longLabel(80, 'L');
    dir.Write("B.txt", "\xEF\xBB\xBF" "1 10\r\n2 20\r\n3 30\r\n4 -999\r\n" + longLabel + " color\r\n");
    dir.Write("S.txt", "\xEF\xBB\xBFPoa annua\r\nPoa angustifolia\r\n\r\nCarex nigra\r\n" + std::string(75, 'x') +
                           "\r\n");
    const RunResult r = RunKolvar(dir, Start("crlf", 2, false, true, false) + Communities(1) + "1\nC\nX\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const DataSet d = ReadBack(dir, "crlfFormda.txt");
    EXPECT_EQ(d.chLabel, std::vector<std::string>({std::string(70, 'L'), "color"}));
    EXPECT_DOUBLE_EQ(d.csm_Float[0][0], 1.0);
    EXPECT_EQ(d.nSpp, 4);
    EXPECT_EQ(d.spp[0], "Poa annua");
    EXPECT_EQ(d.spp[3], std::string(70, 'x'));
}

TEST(ImportScenario, BadInputEndsWithTheFileNamed) {
    ScratchDir dir;
    WriteSmall(dir);
    // A file that does not exist is asked for again.
    std::string answers = Start("miss", 2, false, false, false) + Communities(1) + "C\nX\n";
    answers.replace(answers.find("B.txt"), 5, "nofile.txt\nB.txt");
    RunResult r = RunKolvar(dir, answers, 20);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("\ncan't open nofile.txt \n"), std::string::npos);
    EXPECT_NE(r.out.find("Enter data file name: \aEnter data file name: "), std::string::npos);

    // A word where a number belongs: the file is named with its row and column
    // and asked for again; 0 returns to the data-set menu, nothing is written.
    dir.Write("W.txt", "1 0 2 0\n3 x 0 0\n");
    r = RunKolvar(dir, Start("bad", 2, false, false, false) + Communities(1) + "0\n4\nX\n", 20);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("\nW.txt, row 2, column 2: \"x\" is not a number (write missing values as -999)\n"),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(dir.Exists("badTrk.txt"));
    EXPECT_FALSE(dir.Exists("badFormda.txt"));

    // Counts far beyond the data are refused before anything is allocated.
    std::string huge = "N\nhuge\n1\nB.txt\n0\nW.txt\n0\n0\n2000000000\n2000000000\n1\n2\n0\n4\nX\n";
    r = RunKolvar(dir, huge, 20);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("\nB.txt: 2000000000 OTUs x 2000000000 traits expected, row 1 has 2 values\n"),
              std::string::npos)
        << r.err;

    // A negative or zero count is asked again.
    dir.Write("W.txt", kWRows);
    r = RunKolvar(dir, "N\nneg\n1\nB.txt\n0\nW.txt\n0\n0\n-4\n0\n4\n2\n2\n2\nk\n3 2\ny\n0\n" + Communities(1) +
                           "C\nX\n", 20);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Incorrect input = -4. Reenter.\nAccepted input: 1 to 2.14748e+09\n"), std::string::npos);

    // A file that ends early, then corrected and named again: the import goes on.
    dir.Write("W.txt", "1 0 2 0\n3 1\n");
    dir.Write("W2.txt", kWRows);
    r = RunKolvar(dir, Start("short", 2, false, false, false) + Communities(1) + "W2.txt\nC\nX\n", 20);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("\nW.txt: 4 communities x 4 OTUs expected, row 2 has 2 values\n"), std::string::npos)
        << r.err;
    EXPECT_EQ(dir.Read("shortTrk.txt"), "shortFormda.txt\n07Jul17\n");
}

TEST(ImportScenario, RandomBytesInAnyInputFileNeverCrashOrHang) {
    std::mt19937 gen(20240611);
    std::uniform_int_distribution<int> byte(0, 255);
    const std::vector<std::pair<std::string, std::string>> files = {
        {"B.txt", kBRows}, {"F.txt", "0 1 1 1\n1 0 1 1\n1 1 0 1\n1 1 1 0\n"}, {"W.txt", kWRows},
        {"S.txt", kSpecies}, {"E.txt", kERows}};
    for (const auto& [victim, _] : files) {
        for (int trial = 0; trial < 3; ++trial) {
            ScratchDir dir;
            for (const auto& [name, content] : files) dir.Write(name, content);
            std::string noise(static_cast<std::size_t>(50 + 400 * trial), '\0');
            for (char& c : noise) c = static_cast<char>(byte(gen));
            dir.Write(victim, noise);
            const std::string answers =
                Start("rnd", 2, true, true, true) + "1\n" + Communities(1) + "1\n2\n2\n2\nn\nC\nX\n";
            const RunResult r = RunKolvar(dir, answers, 20);
            ASSERT_FALSE(r.timedOut) << victim;
            ASSERT_TRUE(r.status == 0 || r.status == 1) << victim << " status " << r.status << r.err;
            // A bad file is named in the message that asks for it again; the
            // answers that follow are then taken as file names until input ends.
            if (r.status == 1) {
                EXPECT_NE(r.err.find("\n" + victim), std::string::npos) << victim << r.err;
            }
        }
    }
}

TEST(ImportScenario, AravoExampleImportsAndReopens) {
    ScratchDir dir;
    for (const char* f : {"B.txt", "W.txt", "species.txt", "E_quant.txt", "F_taxo.txt"})
        dir.CopyFromSource(std::string("examples/aravo/") + f);
    std::ifstream answersFile(test::SourcePath("examples/import_aravo.txt"));
    std::stringstream answers;
    answers << answersFile.rdbuf();
    RunResult r = RunKolvar(dir, answers.str());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find("SESSION MENU"), std::string::npos);
    const DataSet d = ReadBack(dir, "aravoFormda.txt");
    EXPECT_EQ(d.tcst, 82);
    EXPECT_EQ(d.nch, 8);
    EXPECT_EQ(d.ncsm, 75);
    EXPECT_EQ(d.nenv, 4);
    EXPECT_EQ(d.nSpp, 82);
    EXPECT_EQ(d.chLabel.front(), "Height");
    EXPECT_EQ(d.reLabel.front(), "AR07");
    EXPECT_EQ(d.envLabel, std::vector<std::string>({"Aspect", "Slope", "PhysD", "Snow"}));
    EXPECT_EQ(d.optEnvVarType, 2);
    EXPECT_TRUE(d.hasPhylogeny);
    EXPECT_EQ(d.phylogenyMatrixType, 3);
    EXPECT_EQ(d.spp.front(), "Agru Agrostis rupestris All.");
    EXPECT_DOUBLE_EQ(d.csm_Float[0][3], 60.0);  // first OTU, Area
    const std::string track = dir.Read("aravoTrk.txt");

    // Attach again: the data set named by the track file opens, nothing is asked about data.
    r = RunKolvar(dir, "O\naravo\nC\nX\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("SESSION MENU"), std::string::npos);
    EXPECT_EQ(r.out.find("DATA FOR SESSION"), std::string::npos);
    EXPECT_EQ(dir.Read("aravoTrk.txt"), track);
}

}  // namespace
}  // namespace kolvar
