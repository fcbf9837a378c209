// The data-set dialogue of a new session: import raw data, or take, subset
// or merge other sessions' formatted data.

#include <fstream>

#include "base/Fmt.hpp"
#include "base/Heading.hpp"
#include "base/Prompts.hpp"
#include "data/DataSetMenu.hpp"
#include "data/Import.hpp"
#include "program/Actions.hpp"
#include "program/Menus.hpp"
#include "program/Track.hpp"

namespace kolvar {

namespace {

constexpr std::size_t kSessionNameMax = 100;

int ReadOption(Console& con, const char* accepted) {
    con.out << "Type option no.: ";
    return ReadIntIn(con, "%d\n", accepted);
}

// The data file a session uses: the one its track file names (it may share
// another session's file), else its own.
std::string SessionDataFile(const Program& p, const std::string& session) {
    std::ifstream probe(p.session.volumeName + session + trackExt, std::ios::binary);
    std::string word;
    if (probe && ScanWordToken(probe, word)) return word;
    return session + formdaExt;
}

// The session's track file names another session's data: read its groups too.
void ReadSourceTrack(Program& p, const std::string& tempSession) {
    const std::string name = tempSession + trackExt;
    {
        std::ifstream probe(p.session.volumeName + name, std::ios::binary);
        std::string word;
        if (!probe || !ScanWordToken(probe, word)) return;
    }
    const std::string ownTrack = p.session.whichTrack;
    const std::string ownFormda = p.session.whichFormda;
    p.session.whichTrack = name;
    ReadTrack(p);
    p.session.whichTrack = ownTrack;
    p.session.whichFormda = ownFormda;
}

}  // namespace

bool SetFormda(Program& p) {
    Console& con = p.con;
    Menu(con, p.session, "DATA FOR SESSION");
    for (;;) {
        con.out << "Options:\n"
                << "   1  format raw data \n"
                << "   2  use formatted data from another session\n"
                << "   3  merge formatted data from two sessions\n"
                << "   4  return to main menu \n";
        const int opt = ReadOption(con, "1 2 3 4");
        if (opt == 4) return false;

        if (opt == 1) {
            p.session.whichFormda = p.session.sessionName + formdaExt;
            IFFormat(con, p.clock, p.session);
            WriteTrack(p, false);
            return true;
        }

        if (opt == 2) {
            con.out << "\nEnter name of the session from which data is to be extracted: ";
            std::string word;
            ReadStringIn(con, "%s\n", word);
            const std::string tempSession = word.substr(0, kSessionNameMax);
            p.session.whichFormda = SessionDataFile(p, tempSession);
            if (!fopenck(con, p.session.whichFormda, p.session.volumeName, "r")) continue;
            con.out << Fmt("\nUse file %s:\n", p.session.whichFormda.c_str())
                    << "   1  as it is \n"
                    << "   2  modified \n"
                    << "   3  return to main menu \n";
            const int how = ReadOption(con, "1 2 3");
            con.out << "\n\n";
            if (how == 3) continue;
            OpenFormda(p, 1);
            if (how == 2) {
                ReadSourceTrack(p, tempSession);
                PickSomeFormda(SubsetContext{con, p.clock, p.session, p.flags, p.groups, p.hier.whichPart,
                                             p.hier.SMWSize},
                               *p.data);
            }
            WriteTrack(p, false);
            FreeGlobals1(p);
            p.data.reset();
            return true;
        }

        con.out << "\nEnter names of the sessions from which data is to be merged:" << "\nFirst session name: ";
        std::string first;
        ReadStringIn(con, "%s\n", first);
        p.session.whichFormda = SessionDataFile(p, first.substr(0, kSessionNameMax));
        if (!fopenck(con, p.session.whichFormda, p.session.volumeName, "r")) continue;
        const std::string firstFile = p.session.whichFormda;
        OpenFormda(p, 1);
        con.out << "Second session name: ";
        std::string second;
        ReadStringIn(con, "%s\n", second);
        const std::string secondFile = SessionDataFile(p, second.substr(0, kSessionNameMax));
        if (fopenck(con, secondFile, p.session.volumeName, "r")) {
            p.data->dataName = firstFile;
            if (MergeFormda(con, p.clock, p.session, *p.data, secondFile) == 1) {
                WriteTrack(p, false);
                FreeGlobals1(p);
                FreeGlobals2(p);
                p.data.reset();
                return true;
            }
        }
        FreeGlobals2(p);
        p.data.reset();
    }
}

}  // namespace kolvar
