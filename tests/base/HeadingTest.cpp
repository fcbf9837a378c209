#include "base/Heading.hpp"

#include <gtest/gtest.h>

#include "support/BaseConsole.hpp"

namespace kolvar {
namespace {

TEST(Heading, OpenProgressLineIsClosedBeforeTheTitle) {
    test::TestConsole t;
    // Headings without a session name show in every recorded case.
    Session session;
    session.sessionName = session.sessionShortName = "plots";
    t.con.is40CharLine = t.con.is80CharLine = true;  // an open progress line is closed first
    Menu(t.con, session, "SESSION MENU");
    EXPECT_EQ(t.out.str(), "\n\n\n\nSESSION MENU" + std::string(35, ' ') + std::string(18, ' ') + "plots\n" + lineL + "\n");
}

}  // namespace
}  // namespace kolvar
