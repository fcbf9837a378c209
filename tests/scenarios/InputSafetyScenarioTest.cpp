// What recorded cases (CaseTest.cpp) cannot hold: an analysis interrupted by
// Ctrl-C, a limit that depends on this machine's memory, a disk that is full,
// and the converter's worked example, which runs kolvar-convert before kolvar.

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

// A user's own small data set (6 species x 5 sites, 3 traits, 2 variables),
// imported with its labels and two quantitative variables by communities.
void WriteData(const ScratchDir& dir) {
    for (const char* f : {"traits.txt", "comp.txt", "species.txt", "env.txt"})
        dir.CopyFromSource(std::string("tests/scenarios/data/user/") + f);
}

std::string Import(const std::string& session) {
    return "N\n" + session + "\n1\ntraits.txt\n0\ncomp.txt\n1\nspecies.txt\n1\nenv.txt\n6\n3\n2\n2\nk\n3 3 3\ny\n0\n5\n2\n"
                             "1\n2\n2\n2\n2\nn\n";
}

// The functional analysis from the session menu, with the given answer at the
// permutation-count prompt, then back to the main menu.
std::string Analysis(const std::string& niter, bool previousReport = false) {
    return "V\nH\n0\ny\n1\n1\n6\nm\n1\n1\nn\n1\ny\n" + niter + "\nt\n0\nn\n2\n5\nn\n" +
           (previousReport ? "w\n" : "") + "\nC\nC\n";
}

TEST(InputSafety, PermutationCountBeyondMemoryIsRefusedAndCtrlCLeavesThePreviousReportWhole) {
    ScratchDir dir;
    WriteData(dir);
    // The largest count this machine can hold is part of the message, hence not a recorded case.
    const RunResult r = RunKolvar(dir, Import("int") + Analysis("2147483647\n2147483640\n9") + "X\n", 60);
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* typed : {"2147483647", "2147483640"})
        EXPECT_NE(r.err.find(std::string("\a\nIncorrect input = ") + typed + ". Reenter.\nAccepted input: 3 to "),
                  std::string::npos)
            << r.err;
    EXPECT_NE(r.err.find(" (the work areas of more iterations do not fit in this machine's memory)\n"),
              std::string::npos);
    const std::string report = dir.Read("intPrinda.txt");
    ASSERT_NE(report.find("Number of iterations for permutation tests: 9"), std::string::npos);

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

TEST(InputSafety, FailedSimulationWriteIsAPrintErrorNotADoneStudy) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    // The data-only simulation of the recorded case whose results file cannot be opened.
    const std::string answers = test::Slurp(
        test::SourcePath("tests/scenarios/cases/SimulationScenario.ResultsFileThatCannotBeWrittenIsAFileError/1.answers"));
    for (const char* name : {"W_Simulated.txt", "FinalSimulatedData.txt"}) {
        ScratchDir dir;
        for (const char* f : {"corr.txt", "fcorr.txt", "resp.txt", "eff.txt"})
            dir.CopyFromSource(std::string("tests/scenarios/data/simulation/") + f);
        std::filesystem::create_symlink("/dev/full", dir.path() / name);
        const auto r = RunKolvar(dir, answers);
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_NE(r.err.find(std::string("\nfile ") + name + " "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("FAIL TO PRINT ON FILE"), std::string::npos) << r.err;
        EXPECT_EQ(r.out.find("Results on file"), std::string::npos);
    }
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
