#pragma once
// The settings dialogue of the functional analysis, shared by the functional
// analysis (optmain 'H'), the trait ranking ('K') and the simulation study ('A').

#include <string>

#include "analysis/AnalysisState.hpp"

namespace kolvar {

/// Asks every option of one functional analysis; the questions depend on
/// p.session.optmain. Needs an open data set (the data set open); writes p.fa,
/// p.hier and the selection vectors of the data set. The ranking caller sets
/// p.fa.opt_struct and p.fa.includePhylogeny first; the simulation caller fills
/// partition_OTUs first.
void SettingsHierarchy(const AnalysisState& p);

/// Asks the resemblance function between communities into hier.rese_opt when
/// fa.whichObj is 'r'.
void SettingsRese(Console& con, const FunctionalSettings& fa, HierarchySettings& hier);

/// Lists the community resemblance options (6 and 10 shown, 6 to 10 accepted),
/// stores the answer in option and returns it.
int SettingReseFunction(Console& con, int& option);

/// Sets prindaMode for the results file volumeName + fileName: "w" when the file
/// does not exist, "a" when it exists during macro playback, else the user's choice.
void GetPrindaMode(Console& con, const std::string& volumeName, const std::string& fileName,
                   std::string& prindaMode);

}  // namespace kolvar
