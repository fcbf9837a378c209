#pragma once
// Everything the program keeps between menu actions, one instance of each part.

#include <optional>

#include "analysis/FunctionalSettings.hpp"
#include "analysis/HierarchySettings.hpp"
#include "data/DataSet.hpp"
#include "base/Console.hpp"
#include "base/State.hpp"
#include "QMLib/Random.hpp"

namespace kolvar {

struct Program {
    Program(Console& console, const Clock& clk) : con(console), clock(clk) {}

    Console& con;
    const Clock& clock;
    Options opt;
    Session session;
    ResultFlags flags;
    GroupCounts groups;
    HierarchySettings hier;
    FunctionalSettings fa;
    Random rnd;  ///< the one random generator, seeded by each analysis
    std::optional<DataSet> data;  ///< engaged from OpenFormda to FreeGlobals2
};

}  // namespace kolvar
