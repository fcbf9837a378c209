#include "program/Menus.hpp"

#include <gsl/gsl_errno.h>
#include <omp.h>

#include <algorithm>
#include <new>

#include "base/Fatal.hpp"
#include "base/Fmt.hpp"
#include "base/Heading.hpp"
#include "program/Actions.hpp"
#include "base/Prompts.hpp"

namespace kolvar {

namespace {

Console* gOomConsole = nullptr;

void PrintOutOfMemory() {
    if (!gOomConsole) return;
    gOomConsole->err << "\nOUT OF MEMORY !!!\n" << "\nPress RETURN to exit.\n" << '\a';
    gOomConsole->err.flush();
    Wait(*gOomConsole);
}

void PrintBanner(Console& con) {
    con.out << lineL << '\n' << version << "\n\n";
    con.out << "Trait-based community ecology: traits scaled up from OTUs to\n"
               "communities, permutation tests of trait convergence, divergence and\n"
               "phylogenetic signal along gradients, trait ranking and\n"
               "metacommunity simulation.\n";
    con.out << lineL << '\n';
}

// After a fatal message: code 3 waits for a letter, the others for a line end.
void WaitAfterFatal(Console& con, FatalCode code) {
    if (code != FatalCode::FailToPrint) {
        Wait(con);
        return;
    }
    for (int c; (c = con.in.get()) != std::char_traits<char>::eof();)
        if (std::isalpha(static_cast<unsigned char>(c))) return;
    con.in.clear();
}

void StructuresName(Program& p) {
    if (p.opt.saveStruct == 'y') p.session.whichStructures = p.session.sessionName + structExt;
}

// Runs an analysis entry and, when it wrote a result file, marks the data set
// for reload and names the file.
template <class Analysis>
void RunAnalysis(Program& p, Analysis analysis) {
    const std::optional<std::string> file = analysis(p);
    if (!file) return;
    p.session.dirtyOrig = 1;
    ClearLine(p.con);
    p.con.out << Fmt("\n\nResults on file %s%s\n", p.session.volumeName.c_str(), file->c_str());
    if (!p.con.macroMode()) Wait(p.con);
}

void AnalysisMenu(Program& p) {
    for (;;) {
        if (p.session.dirtyOrig == 1) {
            FreeGlobals2(p);
            OpenFormda(p, 1);
            ReadTrack(p);
        }
        Menu(p.con, p.session, "ANALYSIS OF COMMUNITY STRUCTURES");
        p.con.out << "Options:\n"
                  << "   H  functional analysis \n"
                  << "   K  ranking traits (find optimal trait subset) \n"
                  << "   C  return to session menu \n"
                  << "Type option: ";
        p.session.optmain = std::toupper(static_cast<unsigned char>(ReadCharIn(p.con, "H K C")));
        p.con.out << '\n';
        if (p.session.optmain == 'C') return;
        if (p.session.optmain == 'H') RunAnalysis(p, IFHierarchicalAccum);
        if (p.session.optmain == 'K') RunAnalysis(p, IFChOrderSearch);
    }
}

}  // namespace

void SetThreadCount(const Options& opt) {
    // A preference of millions of threads would only exhaust the machine.
    constexpr int kMostThreads = 1024;
    omp_set_num_threads(opt.nProcessors > 0 ? std::min(opt.nProcessors, kMostThreads) : omp_get_num_procs());
}

void FreeGlobals1(Program& p) {
    p.session.whichPrinda = "NULL";
    p.session.whichEnvPrinda = "NULL";
    p.flags = ResultFlags{};
    p.groups = GroupCounts{};
}

void FreeGlobals2(Program& p) { p.data.reset(); }

void IFSession(Program& p) {
    StructuresName(p);
    {
        auto track = fopenck(p.con, p.session.whichTrack, p.session.volumeName, "r");
        if (!track) throw FatalError{FatalCode::FailToOpen};
        std::string first;
        p.session.whichFormda = ScanWordToken(*track, first) ? first : std::string("NULL");
    }
    if (p.session.whichFormda == "NULL" && !SetFormda(p)) return;
    OpenFormda(p, 1);
    ReadTrack(p);
    for (;;) {
        Menu(p.con, p.session, "SESSION MENU");
        p.con.out << "Options:\n"
                  << "   V  analysis of community structures\n"
                  << "   S  set preferences\n"
                  << "   C  return to main menu \n"
                  << "Type option: ";
        p.session.optmain1 = std::toupper(static_cast<unsigned char>(ReadCharIn(p.con, "V S C")));
        p.con.out << "\n\n";
        if (p.session.optmain1 == 'V') AnalysisMenu(p);
        if (p.session.optmain1 == 'S') SetPreferences(p);
        StructuresName(p);
        if (p.session.optmain1 == 'C') break;
    }
    FreeGlobals1(p);
    FreeGlobals2(p);
}

void MainMenu(Program& p) {
    ReadPreferences(p);
    ClearLine(p.con);
    for (;;) {
        if (!p.con.macroMode()) p.con.out << "\n\n\n\n";
        p.con.out << version << '\n' << lineL << '\n'
                  << "Main menu:\n"
                  << "   N  start new session\n"
                  << "   O  attach to old session\n"
                  << "   A  metacommunity data simulation\n"
                  << "   S  set preferences\n"
                  << "   X  exit \n"
                  << lineL << '\n'
                  << "Type option: ";
        const char choice = static_cast<char>(std::toupper(static_cast<unsigned char>(ReadCharIn(p.con, "N O S A X"))));
        p.con.out << "\n\n";
        SetThreadCount(p.opt);
        if (choice == 'X') return;
        if (choice == 'N' || choice == 'O') {
            p.con.out << "Enter session name: ";
            ReadStringIn(p.con, "%s\n", p.session.tempName);
            p.session.sessionShortName = p.session.tempName.substr(0, kMaxSessionName);
            p.session.volumeName.clear();
            p.session.sessionName = p.session.sessionShortName;
            p.session.whichTrack = p.session.sessionName + trackExt;
            const bool opened = fopenck(p.con, p.session.whichTrack, p.session.volumeName, choice == 'N' ? "w" : "r+") != nullptr;
            if (!opened) {
                if (!p.con.macroMode()) Wait(p.con);
            } else {
                IFSession(p);
            }
        } else if (choice == 'A') {
            IFAssemblyRulesSimulation_EnvFeedback_TypeI_II_Error(p);
        } else if (choice == 'S') {
            SetPreferences(p);
        }
        StructuresName(p);
    }
}

int mainInit(Console& con, const Clock& clock) {
    gsl_set_error_handler_off();
    Program p{con, clock};
    InitIFLibG(con, clock);
    gOomConsole = &con;
    SetOutOfMemoryHandler(PrintOutOfMemory);
    PrintBanner(con);
    int status = 0;
    try {
        MainMenu(p);
    } catch (const FatalError& e) {
        if (e.code == FatalCode::OutOfMemory || e.code == FatalCode::Stop) {
            status = 1;  // the detecting code has printed (and waited, for memory)
        } else if (e.code == FatalCode::EndOfFile || e.code == FatalCode::FailToPrint ||
                   e.code == FatalCode::FailToOpen) {
            static constexpr const char* kText[] = {"", "", "\nEND OF FILE !!!\n", "\nFAIL TO PRINT ON FILE !!!\n",
                                                    "\nFAIL TO OPEN FILE !!!\n"};
            con.err << kText[static_cast<int>(e.code)] << "\nQuit and restart KOLVAR.\n" << '\a';
            con.err.flush();
            WaitAfterFatal(con, e.code);
            status = 1;
        }
    } catch (const std::bad_alloc&) {
        con.err << "\nOUT OF MEMORY !!!\n" << "\nPress RETURN to exit.\n" << '\a';
        con.err.flush();
        Wait(con);
        status = 0;
    }
    con.out.flush();
    SetOutOfMemoryHandler(nullptr);
    gOomConsole = nullptr;
    return status;
}

}  // namespace kolvar
