#pragma once
// The parts of the program's state the subsystems below the top work on, for
// tests that call them without assembling a Program.

#include "analysis/AnalysisState.hpp"

namespace kolvar::test {

struct Parts {
    Options opt;
    Session session;
    ResultFlags flags;
    GroupCounts groups;
    HierarchySettings hier;
    FunctionalSettings fa;
    DataSet data;
    Random rnd;

    AnalysisState Analysis(Console& con, const Clock& clock) {
        return AnalysisState{con, clock, opt, session, hier, fa, data, rnd};
    }
    ReportSettings Report(const Clock& clock) const { return ReportSettings{opt, fa, hier, session, clock}; }
};

}  // namespace kolvar::test
