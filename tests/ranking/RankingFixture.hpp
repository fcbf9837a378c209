#pragma once
// A tiny data set (data/tinyFormda.txt: 5 OTUs, 5 communities, 3 quantitative
// traits, 2 variables) with every setting a ranking reads.

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "data/DataSet.hpp"
#include "data/Formda.hpp"
#include "ranking/RankingData.hpp"
#include "support/Scenario.hpp"

namespace kolvar::test {

struct TinyRanking {
    TinyRanking() {
        // B, W (OTUs x communities), E and an all-zero phylogeny; the settings the
        // file does not hold follow.
        std::ifstream file(SourcePath("tests/ranking/data/tinyFormda.txt"));
        d = ReadFormda(con, file, "tinyFormda.txt");
        d.weight = {1, 1, 1};
        d.eVarSelect = {1, 1, 0, 0, 0};
        d.weight_OTUs = {1, 1, 1, 1, 1};
        d.partition_OTUs = {1, 2, 3, 4, 5};

        opt.sDigits = 6;
        session.sessionName = "tiny";
        session.whichFormda = "tinyFormda.txt";
        fa.opt_ro = 1;
        fa.opt_MatrixCorr = 'm';
        fa.optUnitTotalAdjust2 = true;
        fa.opt_struct = 1;
        fa.partition_OTUs_Phyl = {1, 1, 2, 2, 3};
        fa.fuzzyPhyl = 0;
        hier.rese_opt = 6;
        hier.fuzzy = 3;
        hier.reseCstOpt = 1;
        hier.traitBasedOpt = 1;
        rs.nMinTraitsChRank = 1;
        rs.nMaxTraitsChRank = 3;
        rs.nMinCSTGroupsChRank = rs.nMaxCSTGroupsChRank = 5;
        rs.whichChorder = "tinyChRank.txt";
    }
    RankingInputs Inputs(int threads = 0) {
        return RankingInputs{con, clock, opt, session, d, fa, hier, rs, rnd,
                             [this](const char* m) { progress.emplace_back(m); }, threads};
    }

    std::istringstream in;
    std::ostringstream out, err;
    Console con{in, out, err};
    FixedClock clock{0};
    Options opt;
    Session session;
    DataSet d;
    FunctionalSettings fa;
    HierarchySettings hier;
    RankingSettings rs;
    Random rnd;
    std::vector<std::string> progress;
};

}  // namespace kolvar::test
