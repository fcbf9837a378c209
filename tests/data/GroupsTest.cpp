#include <gtest/gtest.h>

#include <filesystem>

#include "data/Groups.hpp"
#include "support/BaseConsole.hpp"
#include "support/Scenario.hpp"

namespace kolvar {
namespace {

struct Dialogue : test::TestConsole {
    using TestConsole::TestConsole;
    Session session;
    ResultFlags flags;
    int k = 0;
    std::vector<int> member;
    std::vector<std::string> labels;
    char Run(int n, const char* objects, const std::vector<std::string>* names = nullptr) {
        return SettingAnyGroups(con, session, flags, n, k, member, labels, objects, names);
    }
};

TEST(Groups, CountGroupsSortsDistinctNumbers) {
    std::vector<int> distinct;
    EXPECT_EQ(CountGroups(std::vector<int>{3, 1, 3, 7, 1}, &distinct), 3);
    EXPECT_EQ(distinct, std::vector<int>({1, 3, 7}));
    EXPECT_EQ(CountGroups(std::vector<int>{}), 0);
    EXPECT_EQ(CountGroupsSelect(std::vector<int>{3, 1, 3, 7, 1}, std::vector<int>{1, 0, 1, 1, 0}, &distinct), 2);
    EXPECT_EQ(distinct, std::vector<int>({3, 7}));
}

TEST(Groups, DefaultLabelsAndCountsOfOrderedObjects) {
    // k = 3 with default labels; counts 2, 0, 3 for five objects.
    Dialogue d("3\n1\ny\n2 0 3\n");
    EXPECT_EQ(d.Run(5, "communities"), 'r');
    EXPECT_EQ(d.k, 3);
    EXPECT_EQ(d.labels, std::vector<std::string>({"1", "2", "3"}));
    EXPECT_EQ(d.member, std::vector<int>({1, 1, 3, 3, 3}));
    // No cluster record: the source question is never asked.
    EXPECT_EQ(d.out.str().find("Get partition from"), std::string::npos);
    EXPECT_NE(d.out.str().find("Specify the number of groups of communities: "), std::string::npos);
    EXPECT_NE(d.out.str().find("\nGroups:            1   2   3   \nNumber of communities: "), std::string::npos);
}

TEST(Groups, CountsNotAddingUpAreAskedAgain) {
    Dialogue d("2\n1\ny\n1 1\n2 2\n");
    EXPECT_EQ(d.Run(4, "OTUs"), 'c');
    EXPECT_EQ(d.member, std::vector<int>({1, 1, 2, 2}));
    EXPECT_NE(d.out.str().find("\nError!! Reenter!!\n\nEnter number of OTUs per group:"), std::string::npos);
}

TEST(Groups, MembershipByLabelsRejectsUnknownLabels) {
    // Own labels; then one label per object, the first attempt with an unknown one.
    Dialogue d("2\n2\nk\nwet dry\ny\nn\nk\nwet xx dry\ny\nk\nwet dry dry\ny\n");
    const std::vector<std::string> names{"A", "B", "C"};
    d.Run(3, "communities", &names);
    EXPECT_EQ(d.labels, std::vector<std::string>({"wet", "dry"}));
    EXPECT_EQ(d.member, std::vector<int>({1, 2, 2}));
    EXPECT_NE(d.err.str().find("\nError!! Enter again. \n"), std::string::npos);
    EXPECT_NE(d.out.str().find("\ncommunities:\tA\tB\tC\t\n"), std::string::npos);
}

TEST(Groups, ZeroGroupsIsRefused) {
    Dialogue d("0\n2\n1\ny\n1 1\n");
    d.Run(2, "communities");
    EXPECT_EQ(d.k, 2);
    EXPECT_NE(d.err.str().find("Incorrect input = 0"), std::string::npos);
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
