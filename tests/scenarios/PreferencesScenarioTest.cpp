// The preferences file across runs of the real program.

#include <gtest/gtest.h>

#include <sstream>

#include "support/Scenario.hpp"

namespace kolvar::test {
namespace {

// The values of the file, one per line, without the time stamp.
std::vector<std::string> Values(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    if (!lines.empty()) lines.pop_back();
    return lines;
}

TEST(PreferencesScenario, PersistAcrossRuns) {
    ScratchDir dir;
    RunResult r = RunKolvar(dir, "X\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(dir.Exists("KOLVAR.prf"));  // reading never creates the file

    r = RunKolvar(dir, "s\nM\n3\nF\n4\n0\nn\ny\nC\nX\n");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> v = Values(dir.Read("KOLVAR.prf"));
    ASSERT_EQ(v.size(), 27u);
    EXPECT_EQ(v[0], "17Apr2020");
    EXPECT_EQ(v[12], "4");   // sDigits
    EXPECT_EQ(v[14], "6");   // maxComponents: zero gives the default
    EXPECT_EQ(v[16], "y");   // saveRndData
    EXPECT_EQ(v[26], "3");   // nProcessors

    // The second run starts from the file: leaving the dialogue at once keeps the values.
    r = RunKolvar(dir, "S\nC\nX\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Values(dir.Read("KOLVAR.prf")), v);
}

TEST(PreferencesScenario, OtherVersionIgnoredThenReplaced) {
    ScratchDir dir;
    const std::string old = "16Apr2020\n1\n2\n3\n";
    dir.Write("KOLVAR.prf", old);
    RunResult r = RunKolvar(dir, "X\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(dir.Read("KOLVAR.prf"), old);  // kept until the dialogue is left

    r = RunKolvar(dir, "S\nC\nX\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> v = Values(dir.Read("KOLVAR.prf"));
    ASSERT_EQ(v.size(), 27u);
    EXPECT_EQ(v[0], "17Apr2020");
    EXPECT_EQ(v[12], "6");
    EXPECT_EQ(v[26], "0");
}

TEST(PreferencesScenario, DamagedFileEndsTheProgram) {
    ScratchDir dir;
    dir.Write("KOLVAR.prf", "17Apr2020\n0\n0.0\nbroken\n");
    const RunResult r = RunKolvar(dir, "X\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("\nfile KOLVAR.prf "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\nEND OF FILE !!!\n"), std::string::npos) << r.err;
    EXPECT_EQ(dir.Read("KOLVAR.prf"), "17Apr2020\n0\n0.0\nbroken\n");
}

// A session attached again reads its formatted data file and its track file;
// damage in either ends the program with the file's name and status 1.
const std::string kFormda =
    "small \n2 \nt1\tt2\t\n3\t1\t\n0\t0\t\n2\t2\t\n2 \nc1\tc2\t\n2 \n0\t0\t\n0\t0\t0\t0\t0\t0\t0\t\n\n"
    "25Jun2016 \n1.5\t0\t\n2\t1\t\n\n1\t0\t\n0\t3\t\n\n0 \n0 \nSMW 1\n0\n0\n";

TEST(SessionFilesScenario, AttachReadsTheStoredFiles) {
    ScratchDir dir;
    dir.Write("sFormda.txt", kFormda);
    dir.Write("sTrk.txt", "sFormda.txt\n07Jul17\n");
    RunResult r = RunKolvar(dir, "O\ns\nC\nX\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("SESSION MENU"), std::string::npos);

    dir.Write("sTrk.txt", "sFormda.txt\n01Jan01\n");
    r = RunKolvar(dir, "O\ns\nC\nX\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\nFormda file is compatible, but other files of the session are not compatible"),
              std::string::npos);
}

TEST(SessionFilesScenario, DamagedFilesEndWithTheirName) {
    ScratchDir dir;
    dir.Write("sTrk.txt", "sFormda.txt\n07Jul17\n");
    dir.Write("sFormda.txt", kFormda.substr(0, kFormda.find("2\t1\t\n")));
    RunResult r = RunKolvar(dir, "O\ns\nC\nX\n\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("\nfile sFormda.txt "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\nEND OF FILE !!!\n"), std::string::npos) << r.err;

    dir.Write("sFormda.txt", "small \n99999999 \nt1\n");
    r = RunKolvar(dir, "O\ns\nC\nX\n\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("\nfile sFormda.txt "), std::string::npos) << r.err;

    dir.Write("sFormda.txt", kFormda);
    dir.Write("sTrk.txt", "sFormda.txt\n07Jul17\nNULL\nNULL\n");
    r = RunKolvar(dir, "O\ns\nC\nX\n\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("\nfile sTrk.txt "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\nEND OF FILE !!!\n"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace kolvar::test
