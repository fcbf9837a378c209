#pragma once
// The outer loop: banner, main menu, session and analysis menus, fatal exits.

#include <string>

#include "base/Heading.hpp"
#include "program/Program.hpp"

namespace kolvar {

/// Runs the whole program on the given console; returns the exit status.
int mainInit(Console& con, const Clock& clock);
void MainMenu(Program& p);
void IFSession(Program& p);
/// Forgets the session's results (file names, flags, partition counts).
void FreeGlobals1(Program& p);
/// Releases the session's data set.
void FreeGlobals2(Program& p);
/// Sets the OpenMP thread count from nProcessors (0: all processors).
void SetThreadCount(const Options& opt);

}  // namespace kolvar
