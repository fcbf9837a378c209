#pragma once
// The options of the permutation test that come from the settings dialogue and
// the preferences, shared by the functional analysis and the simulation study.

#include "analysis/FunctionalSettings.hpp"
#include "analysis/HierarchySettings.hpp"
#include "base/State.hpp"
#include "stattests/PermTest.hpp"

namespace kolvar {

/// Copies niter, the statistic and its options, the null model, the bootstrap,
/// the Rao and SES options and the intermediate-results switch into the record;
/// sizes, matrices and results are left to the caller.
void SetTestOptions(PermTest_FunctionalPhyl_Correl_Input& in, const FunctionalSettings& fa,
                    const HierarchySettings& hier, const Options& opt);

}  // namespace kolvar
