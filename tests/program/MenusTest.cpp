#include <gtest/gtest.h>

#include <omp.h>

#include <sstream>

#include "base/Fatal.hpp"
#include "program/Menus.hpp"
#include "support/Scenario.hpp"

namespace kolvar {
namespace {

const std::string kMainMenu =
    "CHARACTER-BASED COMMUNITY ANALYSIS                    KOLVAR v.2.11.75\n"
    "----------------------------------------------------------------------\n"
    "Main menu:\n"
    "   N  start new session\n"
    "   O  attach to old session\n"
    "   A  metacommunity data simulation\n"
    "   S  set preferences\n"
    "   X  exit \n"
    "----------------------------------------------------------------------\n"
    "Type option: ";

TEST(MainMenu, BannerThenMenuThenExit) {
    test::ScratchDir dir;
    const auto r = test::RunInProcess(dir, "x\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    const std::string line(70, '-');
    ASSERT_EQ(r.out.rfind(line + "\nCHARACTER-BASED COMMUNITY ANALYSIS                    KOLVAR v.2.11.75\n\n", 0), 0u);
    const std::string tail = "\n\n\n\n" + kMainMenu + "\n\n";
    ASSERT_GE(r.out.size(), tail.size());
    EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
    EXPECT_EQ(version.size(), 70u);
}

TEST(MainMenu, MenuHeadingIsSeventyColumns) {
    std::istringstream in;
    std::ostringstream out, err;
    Console con{in, out, err};
    FixedClock clock;
    Program p(con, clock);
    Menu(p.con, p.session, "SESSION MENU");
    EXPECT_EQ(out.str(), "\n\n" + std::string("SESSION MENU") + std::string(35, ' ') + "\n" + lineL + "\n");
    out.str("");
    p.session.sessionName = p.session.sessionShortName = "plots";
    con.is40CharLine = con.is80CharLine = true;  // an open progress line is closed first
    Menu(p.con, p.session, "SESSION MENU");
    EXPECT_EQ(out.str(), "\n\n\n\nSESSION MENU" + std::string(35, ' ') + std::string(18, ' ') + "plots\n" + lineL + "\n");
}

TEST(MainMenu, ThreadCountFollowsPreference) {
    Options opt;
    opt.nProcessors = 3;
    SetThreadCount(opt);
    EXPECT_EQ(omp_get_max_threads(), 3);
    opt.nProcessors = 0;
    SetThreadCount(opt);
    EXPECT_EQ(omp_get_max_threads(), omp_get_num_procs());
}

TEST(FatalExits, EachCodeHasItsMessageAndStatus) {
    // Drive the catcher through the real menu: end of input at the main menu.
    test::ScratchDir dir;
    const auto r = test::RunInProcess(dir, "");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "\nfile input \a\nEND OF FILE !!!\n\nQuit and restart KOLVAR.\n\a");
}

TEST(ProgressLine, RightAlignedAndRateLimited) {
    class StepClock final : public Clock {
    public:
        long Ticks() const override { return ticks; }
        std::time_t Now() const override { return 0; }
        double WallSeconds() const override { return 0; }
        long ticks = 0;
    } clock;
    std::istringstream in;
    std::ostringstream out, err;
    Console con{in, out, err};
    InitIFLibG(con, clock);
    HandleEventInfoWhere2(con, "too soon");
    EXPECT_EQ(out.str(), "");
    clock.ticks = 5;
    HandleEventInfoWhere2(con, "permutation 10");
    EXPECT_EQ(out.str(), std::string(26, ' ') + "permutation 10" + std::string(40, ' '));
    clock.ticks = 10;
    HandleEventInfoWhere2(con, std::string(50, 'm').c_str());
    EXPECT_EQ(out.str().substr(80), "\n" + std::string(40, 'm') + std::string(40, ' '));
    ClearLine(con);
    EXPECT_EQ(out.str().substr(out.str().size() - 2), "\n\n");
    EXPECT_FALSE(con.is40CharLine || con.is80CharLine);
}

TEST(TimeStampLine, CtimeForm) {
    FixedClock clock(0);
    std::ostringstream out;
    setenv("TZ", "UTC", 1);
    tzset();
    TimeStamp(out, clock);
    EXPECT_EQ(out.str(), "Thu Jan  1 00:00:00 1970\n");
}

}  // namespace
}  // namespace kolvar
