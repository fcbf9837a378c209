#include <gtest/gtest.h>

#include <omp.h>

#include "program/Menus.hpp"
#include "support/BaseConsole.hpp"

namespace kolvar {
namespace {

TEST(MainMenu, ThreadCountFollowsPreference) {
    Options opt;
    opt.nProcessors = 3;
    SetThreadCount(opt);
    EXPECT_EQ(omp_get_max_threads(), 3);
    opt.nProcessors = 0;
    SetThreadCount(opt);
    EXPECT_EQ(omp_get_max_threads(), omp_get_num_procs());
}

TEST(ProgressLine, RightAlignedAndRateLimited) {
    class StepClock final : public Clock {
    public:
        long Ticks() const override { return ticks; }
        std::time_t Now() const override { return 0; }
        double WallSeconds() const override { return 0; }
        long ticks = 0;
    } clock;
    test::TestConsole t;
    Console& con = t.con;
    const std::ostringstream& out = t.out;
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
