// A user's own small data set (6 species x 5 sites, 3 traits, 2 variables)
// and the mistakes a user makes with it: wrong counts, bad files, reused
// session names, an interrupted analysis, absurd answers.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <thread>

#include "support/Scenario.hpp"

namespace kolvar {
namespace {

using test::RunKolvar;
using test::RunResult;
using test::ScratchDir;

const char* kTraits =
    "10.5 50 1.2\n12.0 60 1.5\n8.3 40 0.9\n15.1 80 2.1\n20.2 90 3.0\n25.0 100 3.5\nheight sla seed\n";
const char* kComp =
    "5 0 3 1 2 0\n0 4 2 0 1 3\n1 1 0 5 0 2\n3 0 0 2 4 1\n0 2 1 0 3 5\ns1 s2 s3 s4 s5\n";
const char* kSpecies = "Poa annua\nPoa pratensis\nCarex nigra\nCarex flacca\nFestuca rubra\nBriza media\n";
const char* kEnv = "1.0 5\n2.0 6\n3.0 7\n4.0 8\n5.0 9\ntemp moist\n";

void WriteData(const ScratchDir& dir) {
    dir.Write("traits.txt", kTraits);
    dir.Write("comp.txt", kComp);
    dir.Write("species.txt", kSpecies);
    dir.Write("env.txt", kEnv);
}

// The import of the data set with `otus` typed as the number of OTUs:
// traits OTUs as rows with labels, communities as rows with labels, species
// codes made by the program, two quantitative variables by communities.
std::string Import(const std::string& session, int otus = 6) {
    return "N\n" + session + "\n1\ntraits.txt\n0\ncomp.txt\n1\nspecies.txt\n1\nenv.txt\n" + std::to_string(otus) +
           "\n3\n2\n2\nk\n3 3 3\ny\n0\n5\n2\n1\n2\n2\n2\n2\nn\n";
}

// The functional analysis from the session menu, with the given answer at the
// permutation-count prompt, then back to the main menu.
std::string Analysis(const std::string& niter, bool previousReport = false) {
    return "V\nH\n0\ny\n1\n1\n6\nm\n1\n1\nn\n1\ny\n" + niter + "\nt\n0\nn\n2\n5\nn\n" +
           (previousReport ? "w\n" : "") + "\nC\nC\n";
}

TEST(InputSafety, WrongOTUCountIsRefusedWithTheRowNamed) {
    ScratchDir dir;
    WriteData(dir);
    // 5 OTUs for a file of 6 rows: the 6th row would become the trait labels.
    const RunResult r = RunKolvar(dir, Import("wrongn", 5) + "0\n4\nX\n", 30);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("\ntraits.txt, row 7, column 1: \"height\" is left over after the labels\n"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.out.find("Correct the file and enter its name again, or 0 to return to the data set menu.\n"
                         "Enter data file name: "),
              std::string::npos);
    // Back at the data-set menu, then the main menu: nothing was stored.
    EXPECT_FALSE(dir.Exists("wrongnTrk.txt"));
    EXPECT_FALSE(dir.Exists("wrongnFormda.txt"));

    // With the labels given by default the 6th row is left over.
    std::string answers = Import("wrongn", 5) + "0\n4\nX\n";
    answers.replace(answers.find("\n3\n2\n2\n"), 7, "\n3\n1\n2\n");
    const RunResult r2 = RunKolvar(dir, answers, 30);
    EXPECT_NE(r2.err.find("\ntraits.txt, row 6, column 1: \"25.0\" is left over after the values (5 OTUs x 3 "
                          "traits)\n"),
              std::string::npos)
        << r2.err;
}

struct BadFile {
    const char* file;
    const char* content;
    const char* message;
};

TEST(InputSafety, EachKindOfBadFileIsNamedAndAskedAgain) {
    const BadFile cases[] = {
        {"traits.txt", "10.5 50 1.2\n12.0 60 1.5\n8.3 NA 0.9\n15.1 80 2.1\n20.2 90 3.0\n25.0 100 3.5\nh s d\n",
         "traits.txt, row 3, column 2: \"NA\" is not a number (write missing values as -999)"},
        {"traits.txt", "10.5 50 1.2\n12.0 60 1.5\n8.3 tall 0.9\n15.1 80 2.1\n20.2 90 3.0\n25.0 100 3.5\nh s d\n",
         "traits.txt, row 3, column 2: \"tall\" is not a number (write missing values as -999)"},
        {"traits.txt", "10.5\t50\t1.2\n12.0\t\t1.5\n8.3 40 0.9\n15.1 80 2.1\n20.2 90 3.0\n25.0 100 3.5\nh s d\n",
         "traits.txt: 6 OTUs x 3 traits expected, row 2 has 2 values"},
        {"traits.txt", "10.5 50 1.2\n12.0 60 5,2\n8.3 40 0.9\n15.1 80 2.1\n20.2 90 3.0\n25.0 100 3.5\nh s d\n",
         "traits.txt, row 2, column 3: \"5,2\" is not a number (write missing values as -999)\n(a table with a "
         "header row, row names, quotes or commas can be converted with kolvar-convert)"},
        {"traits.txt", "height,sla,seed\n10.5,50,1.2\n12.0,60,1.5\n8.3,40,0.9\n15.1,80,2.1\n20.2,90,3.0\n",
         "traits.txt, row 1, column 1: \"height,sla,seed\" is not a number (write missing values as -999)\n(a "
         "table with a header row, row names, quotes or commas can be converted with kolvar-convert)"},
        {"traits.txt", "\"height\" \"sla\" \"seed\"\n\"sp1\" 10.5 50 1.2\n",
         "traits.txt, row 1, column 1: \"\"height\"\" is not a number (write missing values as -999)\n(a table "
         "with a header row, row names, quotes or commas can be converted with kolvar-convert)"},
        {"traits.txt", "", "traits.txt: the file is empty"},
        {"traits.txt", "10.5 50 1.2\n12.0 60 1.5\n8.3 40 1e999\n15.1 80 2.1\n20.2 90 3.0\n25.0 100 3.5\nh s d\n",
         "traits.txt, row 3, column 3: \"1e999\" is beyond the range of numbers (largest 1.79769e+308)"},
        {"comp.txt", "5 0 3 1 2 0\n0 4 2 0 1 3\n1 1 0 5 0 2\n3 0 0 2 4\n0 2 1 0 3 5\ns1 s2 s3 s4 s5\n",
         "comp.txt: 5 communities x 6 OTUs expected, row 4 has 5 values"},
        {"comp.txt", "5 0 3 1 2\n0 4 2 0 1\n1 1 0 5 0\n3 0 0 2 4\n0 2 1 0 3\ns1 s2 s3 s4 s5\n",
         "comp.txt: 5 communities x 6 OTUs expected, row 1 has 5 values"},
        {"species.txt", "Poa annua\nPoa pratensis\nCarex nigra\n",
         "species.txt: 6 species names expected (one per line), the file holds 3 names"},
        {"env.txt", "1.0 5\n2.0 6\n3.0 7\n4.0 8\n5.0 9\ntemp moist extra\n",
         "env.txt, row 6, column 3: \"extra\" is left over after the labels"},
    };
    for (const BadFile& c : cases) {
        ScratchDir dir;
        WriteData(dir);
        dir.Write(c.file, c.content);
        const RunResult r = RunKolvar(dir, Import("bad") + "0\n4\nX\n", 30);
        EXPECT_EQ(r.status, 0) << c.message << '\n' << r.err;
        EXPECT_NE(r.err.find(std::string("\a\n") + c.message + "\n"), std::string::npos) << c.message << '\n'
                                                                                           << r.err;
        EXPECT_EQ(r.err.find("END OF FILE"), std::string::npos) << c.message;
        EXPECT_FALSE(dir.Exists("badTrk.txt")) << c.message;
    }
}

TEST(InputSafety, ACorrectedFileLetsTheImportGoOn) {
    ScratchDir dir;
    WriteData(dir);
    dir.Write("comp_bad.txt", "5 0 3 1 2 0\n0 4 2 0 1 3\n1 1 0 5 0 2\n3 0 0 2 4\n0 2 1 0 3 5\ns1 s2 s3 s4 s5\n");
    std::string answers = Import("fixed") + "C\nX\n";
    answers.replace(answers.find("comp.txt"), 8, "comp_bad.txt");
    // The answers after the bad file's message: its corrected name, then the
    // rest of the dialogue as it was.
    answers.replace(answers.find("\n2\n2\n2\nn\n"), 9, "\ncomp.txt\n2\n2\n2\n2\nn\n");
    const RunResult r = RunKolvar(dir, answers, 30);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(dir.Read("fixedTrk.txt"), "fixedFormda.txt\n07Jul17\n");
    EXPECT_TRUE(dir.Exists("fixedFormda.txt"));
}

TEST(InputSafety, ReusingASessionNameKeepsTheSessionUntilTheNewImportCompletes) {
    ScratchDir dir;
    WriteData(dir);
    ASSERT_EQ(RunKolvar(dir, Import("plots") + "C\nX\n", 30).status, 0);
    const std::string track = dir.Read("plotsTrk.txt"), formda = dir.Read("plotsFormda.txt");
    ASSERT_FALSE(track.empty());

    // A failed import under the same name, and one abandoned at the menu.
    dir.Write("comp.txt", "5 0 3 1 2 0\n0 4 2 0 1 3\n");
    RunResult r = RunKolvar(dir, Import("plots") + "0\n4\nN\nplots\n4\nX\n", 30);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Session plots exists: its files are replaced when the new data set is complete.\n"),
              std::string::npos);
    EXPECT_EQ(dir.Read("plotsTrk.txt"), track);
    EXPECT_EQ(dir.Read("plotsFormda.txt"), formda);

    // The old session still opens at the session menu.
    r = RunKolvar(dir, "O\nplots\nC\nX\n", 30);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("SESSION MENU"), std::string::npos);
    EXPECT_EQ(r.out.find("DATA FOR SESSION"), std::string::npos);

    // A complete new import replaces it; the answers are those of a first import.
    dir.Write("comp.txt", kComp);
    dir.Write("traits.txt", "1 50 1.2\n2 60 1.5\n3 40 0.9\n4 80 2.1\n5 90 3.0\n6 100 3.5\nheight sla seed\n");
    r = RunKolvar(dir, Import("plots") + "C\nX\n", 30);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(dir.Read("plotsFormda.txt"), formda);
    EXPECT_EQ(dir.Read("plotsTrk.txt"), "plotsFormda.txt\n07Jul17\n");
}

TEST(InputSafety, AnAnalysisStoppedHalfWayLeavesThePreviousReportWhole) {
    ScratchDir dir;
    WriteData(dir);
    ASSERT_EQ(RunKolvar(dir, Import("rep") + Analysis("9") + "X\n", 60).status, 0);
    const std::string report = dir.Read("repPrinda.txt");
    ASSERT_NE(report.find("Number of iterations for permutation tests: 9"), std::string::npos);

    // The run stops after the report was opened: its random-data file cannot be made.
    std::filesystem::remove(dir.path() / "repRDa.txt");
    std::filesystem::create_directory(dir.path() / "repRDa.txt");
    const RunResult r = RunKolvar(dir, "O\nrep\n" + Analysis("19", true) + "X\n", 60);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(dir.Read("repPrinda.txt"), report);
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(e.path().filename().string().find("repPrinda.txt."), std::string::npos) << e.path();
}

TEST(InputSafety, CtrlCDuringAnAnalysisLeavesThePreviousReportWhole) {
    ScratchDir dir;
    WriteData(dir);
    ASSERT_EQ(RunKolvar(dir, Import("int") + Analysis("9") + "X\n", 60).status, 0);
    const std::string report = dir.Read("intPrinda.txt");
    ASSERT_FALSE(report.empty());

    // A long run, interrupted once its new report has been started.
    dir.Write(".answers", "O\nint\n" + Analysis("2000000", true) + "X\n");
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (chdir(dir.path().c_str()) != 0) _exit(126);
        const int in = open(".answers", O_RDONLY), out = open("/dev/null", O_WRONLY);
        dup2(in, 0);
        dup2(out, 1);
        dup2(out, 2);
        execl(KOLVAR_BINARY, KOLVAR_BINARY, static_cast<char*>(nullptr));
        _exit(127);
    }
    bool started = false;
    for (int wait = 0; wait < 600 && !started; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        for (const auto& e : std::filesystem::directory_iterator(dir.path()))
            started = started || e.path().filename().string().starts_with("intRDa.txt.");
    }
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(started);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT);
    EXPECT_EQ(dir.Read("intPrinda.txt"), report);
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(e.path().filename().string().find(".txt."), std::string::npos) << e.path();
}

TEST(InputSafety, APermutationCountBeyondMemoryIsRefusedAtThePrompt) {
    ScratchDir dir;
    WriteData(dir);
    const RunResult r = RunKolvar(dir, Import("big") + Analysis("2147483647\n2147483640\n9") + "X\n", 60);
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* typed : {"2147483647", "2147483640"})
        EXPECT_NE(r.err.find(std::string("\a\nIncorrect input = ") + typed + ". Reenter.\nAccepted input: 3 to "),
                  std::string::npos)
            << r.err;
    EXPECT_NE(r.err.find(" (the work areas of more iterations do not fit in this machine's memory)\n"),
              std::string::npos);
    EXPECT_NE(dir.Read("bigPrinda.txt").find("Number of iterations for permutation tests: 9"), std::string::npos);
}

TEST(InputSafety, ValuesBeyondADoubleNeverReachTheStoredFiles) {
    ScratchDir dir;
    WriteData(dir);
    // At a prompt: rejected like any value out of range.
    std::string answers = Import("huge") + "C\nX\n";
    answers.replace(answers.find("\n6\n3\n"), 5, "\n1e999\n6\n3\n");
    RunResult r = RunKolvar(dir, answers, 30);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Incorrect input = inf. Reenter.\nAccepted input: 1 to 2.14748e+09\n"), std::string::npos);
    EXPECT_EQ(dir.Read("hugeFormda.txt").find("inf"), std::string::npos);
    // The session opens again.
    r = RunKolvar(dir, "O\nhuge\nC\nX\n", 30);
    EXPECT_EQ(r.status, 0) << r.err;

    // In the preferences file: refused with the file named, never rewritten as inf.
    const std::string prefs = "17Apr2020\n0\n1e999\n0.000000\n0\n0.000000\n0.000000\n1\nn\n0\n0.000000\n0.000000\n"
                              "6\n2147483647\n6\nn\nn\nn\n1\n1\n0\n1\n2\n1\n0\n1\n0\n";
    dir.Write("KOLVAR.prf", prefs);
    r = RunKolvar(dir, "S\nC\nX\n", 30);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("\nfile KOLVAR.prf "), std::string::npos) << r.err;
    EXPECT_EQ(dir.Read("KOLVAR.prf"), prefs);

    // The largest values a float or a double field can hold survive the round trip.
    std::string edge = prefs;
    edge.replace(edge.find("1e999"), 5, "3.4028234e38");
    edge.replace(edge.find("\n2\n1\n0\n1\n0\n"), 3, "\n1.7976931348623157e308\n");
    dir.Write("KOLVAR.prf", edge);
    r = RunKolvar(dir, "S\nC\nX\n", 30);
    ASSERT_EQ(r.status, 0) << r.err;
    r = RunKolvar(dir, "S\nC\nX\n", 30);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(dir.Read("KOLVAR.prf").find("inf"), std::string::npos);
}

TEST(InputSafety, ManyOTUsOfOneSpeciesImportInOnePass) {
    // 8000 OTUs sharing one name: one species whose map row holds every OTU.
    // (Merging names one removal at a time took hours at this size.)
    ScratchDir dir;
    const int n = 8000;
    std::string traits, comp, species;
    for (int i = 0; i < n; ++i) {
        traits += std::to_string(i % 7) + "\n";
        comp += (i % 2 ? "1 0\n" : "0 1\n");
        species += "Poa annua\n";
    }
    dir.Write("traits.txt", traits);
    dir.Write("comp.txt", comp);
    dir.Write("species.txt", species);
    const std::string answers = "N\npop\n1\ntraits.txt\n0\ncomp.txt\n1\nspecies.txt\n0\n" + std::to_string(n) +
                                "\n1\n1\n2\nk\n3\ny\n0\n2\n1\n2\n1\nC\nX\n";
    const RunResult r = RunKolvar(dir, answers, 120);
    ASSERT_FALSE(r.timedOut);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string formda = dir.Read("popFormda.txt");
    EXPECT_NE(formda.find("\n1 \nspecies.txt \nPoa annua\n11\n"), std::string::npos);
}

TEST(InputSafety, TheConverterWorkedExampleImports) {
    ScratchDir dir;
    for (const char* f : {"traits.csv", "comp.csv", "import_converted.txt"})
        dir.CopyFromSource(std::string("examples/convert/") + f);
    const std::string cd = "cd '" + dir.path().string() + "' && '" + KOLVAR_CONVERT + "' ";
    ASSERT_EQ(std::system((cd + "--row-names species.txt traits.csv traits.txt > convert.out").c_str()), 0);
    ASSERT_EQ(std::system((cd + "--labels rows comp.csv comp.txt >> convert.out").c_str()), 0);
    EXPECT_EQ(dir.Read("convert.out"),
              "traits.txt: 6 rows x 3 values, then the 3 column names as labels; 2 missing values written as -999\n"
              "species.txt: 6 row names, one per line\n"
              "comp.txt: 5 rows x 6 values, then the 5 row names as labels; 0 missing values written as -999\n");
    EXPECT_EQ(dir.Read("traits.txt"),
              "10.5\t50\t1.2\n12\t-999\t1.5\n8.3\t40\t0.9\n15.1\t80\t-999\n20.2\t90\t3\n25\t100\t3.5\n"
              "height\tsla\tseed.mass\n");
    const RunResult r = RunKolvar(dir, dir.Read("import_converted.txt"), 30);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(dir.Read("convertedTrk.txt"), "convertedFormda.txt\n07Jul17\n");
    EXPECT_NE(dir.Read("convertedFormda.txt").find("\ns1\ts2\ts3\ts4\ts5\t\n"), std::string::npos);
    // A ragged table is refused with its row.
    dir.Write("ragged.csv", ",a,b\nx,1,2\ny,3\n");
    EXPECT_NE(std::system((cd + "ragged.csv out.txt 2> convert.err").c_str()), 0);
    EXPECT_EQ(dir.Read("convert.err"), "kolvar-convert: ragged.csv, row 3: 2 fields, 3 expected (as in row 2)\n");
    EXPECT_FALSE(dir.Exists("out.txt"));
}

}  // namespace
}  // namespace kolvar
