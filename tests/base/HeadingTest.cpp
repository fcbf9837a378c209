#include "base/Heading.hpp"

#include <gtest/gtest.h>

#include <sstream>

namespace kolvar {
namespace {

TEST(Heading, TitleAndSessionNameInSeventyColumns) {
    std::istringstream in;
    std::ostringstream out, err;
    Console con{in, out, err};
    Session session;
    Menu(con, session, "SESSION MENU");
    EXPECT_EQ(out.str(), "\n\n" + std::string("SESSION MENU") + std::string(35, ' ') + "\n" + lineL + "\n");
    out.str("");
    session.sessionName = session.sessionShortName = "plots";
    con.is40CharLine = con.is80CharLine = true;  // an open progress line is closed first
    Menu(con, session, "SESSION MENU");
    EXPECT_EQ(out.str(), "\n\n\n\nSESSION MENU" + std::string(35, ' ') + std::string(18, ' ') + "plots\n" + lineL + "\n");
}

}  // namespace
}  // namespace kolvar
