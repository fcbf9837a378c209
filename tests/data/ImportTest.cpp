#include <gtest/gtest.h>

#include <sstream>

#include "data/Import.hpp"

namespace kolvar {
namespace {

Matrix<double> Column(std::initializer_list<double> values) {
    Matrix<double> m(values.size(), 1);
    std::size_t i = 0;
    for (double v : values) m[i++][0] = v;
    return m;
}

std::string MapRow(const Matrix<char>& m, std::size_t r) { return std::string(m[r].begin(), m[r].end()); }

// A map of '0' and '1' from its rows written as words.
Matrix<char> MapOf(const std::vector<std::string>& rows) {
    Matrix<char> m(rows.size(), rows[0].size());
    for (std::size_t r = 0; r < rows.size(); ++r) std::copy(rows[r].begin(), rows[r].end(), m[r].begin());
    return m;
}

// Four OTUs in three communities with species names; OTU 3 (0-based 2) is absent everywhere.
DataSet SmallSet() {
    DataSet d;
    d.nch = 2;
    d.tcst = 4;
    d.ncsm = 3;
    d.chLabel = {"h", "sp"};
    d.chtype = {3, 2};
    d.chrange = {0, 0};
    d.onsta = {0, 0};
    d.csm_Float = Matrix<double>::FromRows({{1, 9}, {4, 9}, {7, 9}, {-999, 9}});
    d.cadat = Matrix<double>::FromRows({{1, 0, 0}, {0, 2, 0}, {0, 0, 0}, {0, 0, 3}});
    d.spp = {"Poa annua", "Poa annua", "Carex nigra", "Poa alpina"};
    CheckSpecies(d, 1);
    SpeciesReleveMap(d);
    return d;
}

// Counts of states (missing values skipped, distinct by exact equality) show in
// the stored file of every import case.
TEST(Import, RangesSkipMissingValuesAndOnlyQuantitativeTraits) {
    std::vector<double> range{0.0};
    RangeStates(1, 3, Column({-5, -1, -999}), {3}, range);
    EXPECT_DOUBLE_EQ(range[0], 4.0);
    range[0] = 42.0;
    RangeStates(1, 3, Column({-5, -1, -999}), {2}, range);
    EXPECT_DOUBLE_EQ(range[0], 42.0);  // not quantitative: untouched
    RangeStates(1, 2, Column({-999, -999}), {3}, range);
    EXPECT_DOUBLE_EQ(range[0], 0.0);
}

TEST(Import, SpeciesOfEqualNamesMergeAndProgramCodesStayDistinct) {
    DataSet d;
    d.tcst = 3;
    d.ncsm = 2;
    d.spp = {"Poa annua", "Poa angustifolia", "Poa annua"};
    d.cadat = Matrix<double>::FromRows({{1, 0}, {0, -999}, {0, 2}});  // a missing value counts as present
    CheckSpecies(d, 2);
    ASSERT_EQ(d.nSpp, 2);
    EXPECT_EQ(d.spp[0], "Poan Poa annua");
    EXPECT_EQ(d.spp[1], "POan Poa angustifolia");
    EXPECT_EQ(MapRow(d.cstSppMap, 0), "10");
    EXPECT_EQ(MapRow(d.cstSppMap, 1), "01");
    EXPECT_EQ(MapRow(d.cstSppMap, 2), "10");
    SpeciesReleveMap(d);
    EXPECT_EQ(MapRow(d.sppRelMap, 0), "11");
    EXPECT_EQ(MapRow(d.sppRelMap, 1), "01");

    EXPECT_TRUE(CheckIdenticalLabels("Poan", {"Poan Poa annua"}, 1));
    EXPECT_FALSE(CheckIdenticalLabels("Poan", {"Poan Poa annua"}, 0));
    EXPECT_FALSE(CheckIdenticalLabels("Po", {"Poan"}, 1));
}

TEST(Import, ProgramCodesAreUniqueBeyondTwelveSteps) {
    DataSet d;
    d.tcst = 40;
    d.ncsm = 1;
    d.cadat = Matrix<double>(40, 1);
    for (int i = 0; i < 40; ++i) d.spp.push_back("Aa bb" + std::to_string(i));
    CheckSpecies(d, 2);
    ASSERT_EQ(d.nSpp, 40);
    for (int s = 0; s < 40; ++s) {
        EXPECT_FALSE(CheckIdenticalLabels(d.spp[s].substr(0, 4), d.spp, s)) << d.spp[s];
        EXPECT_LE(d.spp[s].size(), 70u);
    }
    // A long name keeps 65 of its characters after the code and the blank.
    DataSet e;
    e.tcst = 1;
    e.ncsm = 1;
    e.cadat = Matrix<double>(1, 1);
    e.spp = {std::string(70, 'x')};
    CheckSpecies(e, 2);
    EXPECT_EQ(e.spp[0], "xx " + std::string(65, 'x'));
}

TEST(Import, CheckDataDropsAbsentOtusAndTrimsSpecies) {
    DataSet d = SmallSet();
    ASSERT_EQ(d.nSpp, 3);  // Poa annua, Carex nigra, Poa alpina
    d.hasPhylogeny = true;
    d.phylogenyMatrixType = 1;
    d.phylogenyRese = Matrix<double>::FromRows({{0, 1, 2, 3}, {10, 11, 12, 13}, {20, 21, 22, 23}, {30, 31, 32, 33}});

    const int empty = CheckData(d, 1);
    EXPECT_EQ(empty, 0);
    ASSERT_EQ(d.tcst, 3);
    EXPECT_DOUBLE_EQ(d.csm_Float[2][0], -999.0);  // the former fourth OTU moved up
    EXPECT_DOUBLE_EQ(d.cadat[2][2], 3.0);
    EXPECT_EQ(d.ncst, std::vector<int>({1, 1, 1}));
    EXPECT_EQ(d.onsta[0], 2);
    EXPECT_DOUBLE_EQ(d.chrange[0], 3.0);
    // The phylogeny follows the OTUs kept.
    ASSERT_EQ(d.phylogenyRese.rows(), 3u);
    EXPECT_DOUBLE_EQ(d.phylogenyRese[2][1], 31.0);
    // Carex nigra belonged only to the absent OTU.
    ASSERT_EQ(d.nSpp, 2);
    EXPECT_EQ(d.spp[0], "Poa annua");
    EXPECT_EQ(d.spp[1], "Poa alpina");
    EXPECT_EQ(MapRow(d.sppRelMap, 0), "110");
    // The "sp" trait holds the index of the first OTU of each species.
    EXPECT_DOUBLE_EQ(d.csm_Float[0][1], 0.0);
    EXPECT_DOUBLE_EQ(d.csm_Float[1][1], 0.0);
    EXPECT_DOUBLE_EQ(d.csm_Float[2][1], 2.0);
}

TEST(Import, TrimSpeciesDropsMembershipsWithoutCooccurrence) {
    DataSet d = SmallSet();
    // Species 0 (Poa annua: OTUs 0 and 1) present only in community 0 now.
    d.sppRelMap[0][1] = '0';
    TrimSpecies(d, d.tcst);
    EXPECT_EQ(d.cstSppMap[0][0], '1');
    EXPECT_EQ(d.cstSppMap[1][0], '0');  // OTU 1 lives only in community 1
    EXPECT_EQ(d.nSpp, 2);                // Carex nigra is present nowhere
    EXPECT_EQ(d.cstSppMap.cols(), 2u);
    EXPECT_EQ(d.spp[1], "Poa alpina");
    // Only the first OTU counts: Poa alpina has no member among it.
    TrimSpecies(d, 1);
    EXPECT_EQ(d.nSpp, 1);
    EXPECT_EQ(d.sppRelMap.rows(), 1u);
}

// Equal names merge into the first of them, whatever their number and order;
// the maps follow in one pass.
TEST(SpeciesMerge, EqualNamesBecomeOneSpeciesInOrderOfFirstOccurrence) {
    DataSet d;
    d.tcst = 6;
    d.ncsm = 2;
    d.nch = 1;
    d.cadat = Matrix<double>::FromRows({{1, 0}, {0, 1}, {1, 0}, {0, 0}, {0, 2}, {3, 0}});
    d.spp = {"B", "A", "B", "C", "A", "B"};
    CheckSpecies(d, 1);
    SpeciesReleveMap(d);
    ASSERT_EQ(d.nSpp, 3);
    EXPECT_EQ(d.spp, std::vector<std::string>({"B", "A", "C"}));
    const char* cst[6] = {"100", "010", "100", "001", "010", "100"};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(MapRow(d.cstSppMap, i), cst[i]) << i;
    EXPECT_EQ(MapRow(d.sppRelMap, 0), "10");
    EXPECT_EQ(MapRow(d.sppRelMap, 1), "01");
    EXPECT_EQ(MapRow(d.sppRelMap, 2), "00");

    // After a merge of data sets the same names meet again: memberships and
    // presences are added to the first.
    d.spp = {"B", "A", "B"};
    d.cstSppMap = MapOf({"100", "010", "001", "000", "010", "001"});
    d.sppRelMap = MapOf({"10", "01", "10"});
    d.nSpp = 3;
    CheckSpeciesMerge(d);
    ASSERT_EQ(d.nSpp, 2);
    EXPECT_EQ(d.spp, std::vector<std::string>({"B", "A"}));
    EXPECT_EQ(MapRow(d.cstSppMap, 2), "10");
    EXPECT_EQ(MapRow(d.cstSppMap, 5), "10");
    EXPECT_EQ(MapRow(d.sppRelMap, 0), "10");
}

}  // namespace
}  // namespace kolvar
