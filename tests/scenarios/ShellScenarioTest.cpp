// The real kolvar binary driven by answer texts: menus, session names, fatal
// ends and garbage input.
#include <gtest/gtest.h>

#include <random>

#include "support/Scenario.hpp"

namespace kolvar {
namespace {

using test::RunKolvar;
using test::ScratchDir;

const std::string kEndOfFile = "\nEND OF FILE !!!\n\nQuit and restart KOLVAR.\n\a";

TEST(ShellScenario, BannerMenuAndExit) {
    ScratchDir dir;
    const auto r = RunKolvar(dir, "X\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.find(std::string(70, '-') + "\nCHARACTER-BASED COMMUNITY ANALYSIS"), 0u);
    EXPECT_NE(r.out.find("Main menu:\n   N  start new session\n   O  attach to old session\n"
                         "   A  metacommunity data simulation\n   S  set preferences\n   X  exit \n"),
              std::string::npos);
}

TEST(ShellScenario, RejectedAnswersAreReadAgain) {
    ScratchDir dir;
    const auto r = RunKolvar(dir, "q 7\nx\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err,
              "\a\nIncorrect input = q. Reenter.\nAccepted input: N O S A X\n"
              "\a\nIncorrect input = 7. Reenter.\nAccepted input: N O S A X\n");
}

TEST(ShellScenario, LongSessionNameIsCutToNinetyCharacters) {
    ScratchDir dir;
    const std::string name(100, 's');
    const auto r = RunKolvar(dir, "n\n" + name + "\n4\nx\n");
    EXPECT_EQ(r.status, 0);
    // The heading of the data-set menu shows the name cut to 90 characters;
    // leaving that menu leaves no file behind.
    EXPECT_NE(r.out.find("DATA FOR SESSION" + std::string(31, ' ') + std::string(90, 's') + "\n"), std::string::npos);
    EXPECT_EQ(r.out.find(std::string(91, 's')), std::string::npos);
    EXPECT_FALSE(dir.Exists(std::string(90, 's') + "Trk.txt"));
    EXPECT_FALSE(dir.Exists(name + "Trk.txt"));
}

TEST(ShellScenario, NewSessionOnAnExistingNameKeepsItUntilReplaced) {
    ScratchDir dir;
    const std::string track = "plotsFormda.txt\n07Jul17\n";
    dir.Write("plotsTrk.txt", track);
    const auto r = RunKolvar(dir, "N\nplots\n4\nX\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Enter session name: Session plots exists: its files are replaced when the new data set "
                         "is complete.\n"),
              std::string::npos);
    EXPECT_EQ(dir.Read("plotsTrk.txt"), track);  // left as it was
}

TEST(ShellScenario, OldSessionThatDoesNotExistReturnsToMainMenu) {
    ScratchDir dir;
    const auto r = RunKolvar(dir, "o\nnosuch\n\nx\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "\ncan't open nosuchTrk.txt \n");
    EXPECT_FALSE(dir.Exists("nosuchTrk.txt"));
    // The main menu is shown a second time after the failure.
    const std::string menu = "Main menu:\n";
    const auto first = r.out.find(menu);
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(r.out.find(menu, first + 1), std::string::npos);
}

TEST(ShellScenario, EndOfInputAtAnyPromptExitsWithStatusOne) {
    for (const std::string answers : {"", "n\n", "o\n", "q\n"}) {
        ScratchDir dir;
        const auto r = RunKolvar(dir, answers);
        EXPECT_EQ(r.status, 1) << answers;
        EXPECT_NE(r.err.find("\nfile input \a"), std::string::npos) << answers;
        EXPECT_EQ(r.err.substr(r.err.size() - kEndOfFile.size()), kEndOfFile) << answers;
    }
}

TEST(ShellScenario, RandomBytesNeverCrashOrHang) {
    std::mt19937 gen(20261206);
    for (int round = 0; round < 5; ++round) {
        std::string bytes(10000, '\0');
        for (char& c : bytes) c = static_cast<char>(gen() & 0xff);
        ScratchDir dir;
        const auto r = RunKolvar(dir, bytes, 60);
        EXPECT_FALSE(r.timedOut) << "round " << round;
        EXPECT_TRUE(r.status == 0 || r.status == 1) << "round " << round << " status " << r.status;
    }
}

}  // namespace
}  // namespace kolvar
