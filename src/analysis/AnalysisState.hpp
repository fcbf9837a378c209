#pragma once
// The parts of the program's state an analysis reads or writes: assembled at
// the top of the program when a menu action starts, and passed down.

#include "QMLib/Random.hpp"
#include "analysis/FunctionalSettings.hpp"
#include "analysis/HierarchySettings.hpp"
#include "base/Console.hpp"
#include "base/State.hpp"
#include "data/DataSet.hpp"

namespace kolvar {

struct AnalysisState {
    Console& con;
    const Clock& clock;
    const Options& opt;
    Session& session;
    HierarchySettings& hier;
    FunctionalSettings& fa;
    DataSet& data;  ///< the session's open data set
    Random& rnd;    ///< seeded by each analysis
};

/// What the report writers print besides their results: options, settings,
/// the session's names and the clock of the time stamps.
struct ReportSettings {
    const Options& opt;
    const FunctionalSettings& fa;
    const HierarchySettings& hier;
    const Session& session;
    const Clock& clock;
};

}  // namespace kolvar
