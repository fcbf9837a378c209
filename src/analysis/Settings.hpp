#pragma once
// The settings dialogue of the functional analysis, shared by the functional
// analysis (optmain 'H'), the trait ranking ('K') and the simulation study ('A').

#include <cstdint>
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

/// Bytes of memory this process can still use: the kernel's estimate of
/// available memory, bounded by the address-space limit.
std::uint64_t AvailableMemoryBytes();
/// The largest permutation count whose work areas (the test's and the
/// bootstrap's: 2 x 24 doubles per iteration, plus 8 columns) fit in
/// memoryBytes; at least 3 when anything fits, at most INT_MAX - 8.
int MostPermutationIterations(std::uint64_t memoryBytes);
/// Reads a permutation count from 3 up; a count whose work areas cannot be
/// allocated in memoryBytes is refused with the largest that can.
int ReadPermutationCount(Console& con, std::uint64_t memoryBytes);

/// Sets prindaMode for the results file volumeName + fileName: "w" when the file
/// does not exist, "a" when it exists during macro playback, else the user's choice.
void GetPrindaMode(Console& con, const std::string& volumeName, const std::string& fileName,
                   std::string& prindaMode);

}  // namespace kolvar
