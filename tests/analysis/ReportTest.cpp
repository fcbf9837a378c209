// The functional analysis report against the statistics table; the whole
// reports of real runs (detail, phylogeny, regression and analysis of variance
// with nominal traits) are kept by the recorded runs in tests/scenarios/cases/.

#include <gtest/gtest.h>

#include <sstream>

#include "analysis/Report.hpp"
#include "analysis/Tables.hpp"
#include "support/Parts.hpp"

namespace kolvar {
namespace {

TEST(Report, TablesListTheStatisticLinesTheReportPrints) {
    // The statistics table follows its own list of lines; it must stay the
    // report's, label for label, in every layout.
    const FixedClock clock{0};
    test::Parts p;
    DataSet& d = p.data;
    d.nch = 2;
    d.ncsm = 4;
    d.tcst = 3;
    d.nenv = 2;
    AllocateWorkingStorage(d);
    d.chLabel = {"H", "S"};
    d.chtype = {3, 3};
    d.envLabel = {"pH", "N"};
    d.reLabel = {"a", "b", "c", "d"};
    d.relSelect.assign(4, 1);
    for (bool withE : {true, false})
        for (bool quant : {true, false})
            for (bool phyl : {true, false}) {
                PermTest_FunctionalPhyl_Correl_Input rec;
                rec.nTypes = 3;
                rec.includePhylogeny = phyl;
                rec.nEnv = withE ? 2 : 0;
                std::ostringstream text;
                WriteStatistics(text, p.Report(clock), d, rec, {1, 1}, !quant,
                                withE ? std::vector<int>{1, 1} : std::vector<int>{0, 0}, {1, 1, 1});
                std::vector<std::string> printed;
                std::istringstream in(text.str());
                for (std::string line; std::getline(in, line);)
                    if (line.find("asymmetry-based P-value=") != std::string::npos) {
                        std::string label = line.substr(0, line.find('='));
                        label.erase(label.find_last_not_of(' ') + 1);
                        printed.push_back(label);
                    }
                std::vector<std::string> listed;
                for (const PrintedStat& s : PrintedStatistics(withE, quant, phyl)) listed.push_back(s.label);
                EXPECT_EQ(listed, printed) << withE << quant << phyl;
            }
}

}  // namespace
}  // namespace kolvar
