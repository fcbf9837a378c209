#pragma once
// Entry points the menus call into the other subsystems.

#include <optional>
#include <string>

#include "analysis/AnalysisState.hpp"
#include "program/Program.hpp"

namespace kolvar {

/// The analysis view of the program's state; needs an open data set.
AnalysisState AnalysisOf(Program& p);
/// Reads "KOLVAR.prf" when it exists and has the current version.
void ReadPreferences(Program& p);
/// The preferences dialogue; writes the file when left.
void SetPreferences(Program& p);
/// The data-set dialogue of a new session; false when the user returns to the main menu.
bool SetFormda(Program& p);
/// Loads the session's formatted data file into the data set.
void OpenFormda(Program& p, int reading);
/// Reads the session's track file back into the settings.
int ReadTrack(Program& p);
/// Functional analysis (analysis menu H); the report file's name, or none when
/// nothing was written.
std::optional<std::string> IFHierarchicalAccum(Program& p);
/// Trait ranking (analysis menu K); the results file's name, or none.
std::optional<std::string> IFChOrderSearch(Program& p);
/// Metacommunity simulation study (main menu A).
void IFAssemblyRulesSimulation_EnvFeedback_TypeI_II_Error(Program& p);

}  // namespace kolvar
