// Results files replaced whole or not at all.

#include "base/SafeWrite.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/BaseConsole.hpp"
#include "support/Scenario.hpp"

namespace kolvar {
namespace {

namespace fs = std::filesystem;

struct Fixture : test::TestConsole {
    test::ScratchDir dir;
    std::string Path(const char* name) const { return (dir.path() / name).string(); }
    int Files() const {
        int n = 0;
        for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++n;
        return n;
    }
};

TEST(SafeOutputFile, ReplacesOrAppendsOnlyWhenCommitted) {
    Fixture f;
    f.dir.Write("r.txt", "old report\n");
    {
        SafeOutputFile file;
        ASSERT_TRUE(file.Open(f.con, f.Path("r.txt"), "w"));
        file.out() << "half a new rep";
        EXPECT_EQ(f.dir.Read("r.txt"), "old report\n");  // while it is written
        EXPECT_EQ(f.Files(), 2);
    }  // dropped without Commit: a stopped run
    EXPECT_EQ(f.dir.Read("r.txt"), "old report\n");
    EXPECT_EQ(f.Files(), 1);

    SafeOutputFile append;
    ASSERT_TRUE(append.Open(f.con, f.Path("r.txt"), "a"));
    append.out() << "second run\n";
    append.Commit();
    EXPECT_EQ(f.dir.Read("r.txt"), "old report\nsecond run\n");

    SafeOutputFile replace;
    ASSERT_TRUE(replace.Open(f.con, f.Path("r.txt"), "w"));
    replace.out() << "new\n";
    replace.Commit();
    EXPECT_EQ(f.dir.Read("r.txt"), "new\n");

    SafeOutputFile fresh;  // append to a file that does not exist yet
    ASSERT_TRUE(fresh.Open(f.con, f.Path("n.txt"), "a"));
    fresh.out() << "first\n";
    fresh.Commit();
    EXPECT_EQ(f.dir.Read("n.txt"), "first\n");
    EXPECT_EQ(f.Files(), 2);
    EXPECT_EQ(f.err.str(), "");
}

TEST(SafeOutputFile, UnopenableNamesAreReportedLikeFopenck) {
    Fixture f;
    fs::create_directory(f.dir.path() / "d.txt");
    SafeOutputFile file;
    EXPECT_FALSE(file.Open(f.con, f.Path("d.txt"), "w"));
    EXPECT_FALSE(file.Open(f.con, f.Path("no/such/folder.txt"), "w"));
    EXPECT_EQ(f.err.str(), "\ncan't open " + f.Path("d.txt") + " \n\ncan't open " + f.Path("no/such/folder.txt") +
                               " \n");
    EXPECT_EQ(f.Files(), 1);
}

}  // namespace
}  // namespace kolvar
