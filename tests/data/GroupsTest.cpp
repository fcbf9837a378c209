#include <gtest/gtest.h>

#include <filesystem>

#include "data/Groups.hpp"
#include "support/BaseConsole.hpp"
#include "support/Scenario.hpp"

namespace kolvar {
namespace {

// The group dialogue (default and own labels, counts per group, one label per
// community, refusals) is DataSetScenario.GroupDialogueAsksAgainUntilCountsAndLabelsFit.

TEST(Groups, CountGroupsSortsDistinctNumbers) {
    std::vector<int> distinct;
    EXPECT_EQ(CountGroups(std::vector<int>{3, 1, 3, 7, 1}, &distinct), 3);
    EXPECT_EQ(distinct, std::vector<int>({1, 3, 7}));
    EXPECT_EQ(CountGroups(std::vector<int>{}), 0);
    EXPECT_EQ(CountGroupsSelect(std::vector<int>{3, 1, 3, 7, 1}, std::vector<int>{1, 0, 1, 1, 0}, &distinct), 2);
    EXPECT_EQ(distinct, std::vector<int>({3, 7}));
}

TEST(Groups, GetPartitionCutsFusionRecord) {
    test::ScratchDir dir;
    // Five objects: (1,2) fuse, then (4,5), then (1,2,3), then all.
    dir.Write("clus.txt", "0.1 2 1 2\n0.2 2 4 5\n0.3 3 1 2 3\n0.9 5 1 2 3 4 5\n");
    const std::string file = (dir.path() / "clus.txt").string();
    test::TestConsole t;
    Console& con = t.con;
    std::vector<int> member;
    GetPartition(con, file, 5, 2, member);
    EXPECT_EQ(member, std::vector<int>({1, 1, 1, 2, 2}));
    GetPartition(con, file, 5, 3, member);
    EXPECT_EQ(member, std::vector<int>({1, 1, 2, 3, 3}));
    GetPartition(con, file, 5, 5, member);
    EXPECT_EQ(member, std::vector<int>({1, 2, 3, 4, 5}));

    dir.Write("bad.txt", "0.1 2 1 9\n");
    const std::string bad = (dir.path() / "bad.txt").string();
    EXPECT_THROW(GetPartition(con, bad, 5, 2, member), FatalError);
    EXPECT_NE(t.err.str().find("\nfile " + bad + " "), std::string::npos);
    dir.Write("short.txt", "0.1 2 1\n");
    EXPECT_THROW(GetPartition(con, (dir.path() / "short.txt").string(), 5, 2, member), FatalError);
}

}  // namespace
}  // namespace kolvar
