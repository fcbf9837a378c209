#include "base/Heading.hpp"

#include <gtest/gtest.h>

#include "support/BaseConsole.hpp"

namespace kolvar {
namespace {

TEST(Heading, TitleAndSessionNameInSeventyColumns) {
    test::TestConsole t;
    Session session;
    Menu(t.con, session, "SESSION MENU");
    EXPECT_EQ(t.out.str(), "\n\n" + std::string("SESSION MENU") + std::string(35, ' ') + "\n" + lineL + "\n");
    t.out.str("");
    session.sessionName = session.sessionShortName = "plots";
    t.con.is40CharLine = t.con.is80CharLine = true;  // an open progress line is closed first
    Menu(t.con, session, "SESSION MENU");
    EXPECT_EQ(t.out.str(), "\n\n\n\nSESSION MENU" + std::string(35, ' ') + std::string(18, ' ') + "plots\n" + lineL + "\n");
}

}  // namespace
}  // namespace kolvar
