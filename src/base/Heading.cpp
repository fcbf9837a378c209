#include "base/Heading.hpp"

#include "base/Fmt.hpp"

namespace kolvar {

void Menu(Console& con, const Session& session, const std::string& title) {
    ClearLine(con);
    con.out << "\n\n" << Fmt("%-47s", title.c_str());
    if (session.sessionName != "NULL") con.out << Fmt("%23s", session.sessionShortName.c_str());
    con.out << '\n' << lineL << '\n';
}

}  // namespace kolvar
