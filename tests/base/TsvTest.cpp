// Tab-separated tables: fields, numbers and the append rule.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include "base/Tsv.hpp"
#include "support/Scenario.hpp"
#include "support/TextFormats.hpp"

namespace kolvar {
namespace {

TEST(Tsv, FieldsAreSanitisedAndQuotedOnlyWhenNeeded) {
    EXPECT_EQ(TsvField("plain label"), "plain label");
    EXPECT_EQ(TsvField("a\tb\nc\rd"), "a b c d");
    EXPECT_EQ(TsvField("5\" leaf"), "\"5\"\" leaf\"");
    // The reader of the tests undoes the quoting the way R and pandas do.
    const test::Table t = test::ReadTsv("h\tk\n" + TsvField("5\" leaf") + "\tx\n");
    EXPECT_EQ(t.rows[0][0], "5\" leaf");
}

TEST(Tsv, NumbersUseDigitsAndTheSpellingsReadersKnow) {
    struct Case {
        double v;
        int digits;
        const char* want;
    };
    const Case cases[] = {
        {0.123456789, 6, "0.123457"}, {0.123456789, 3, "0.123"},       {-999.0, 6, "NA"},
        {1e-7, 6, "1e-07"},           {std::nan(""), 6, "NaN"},         {INFINITY, 6, "Inf"},
        {-INFINITY, 6, "-Inf"},       {0.1, 17, "0.10000000000000001"}, {2.5, 0, "2.5"},
    };
    for (const Case& c : cases) EXPECT_EQ(TsvNumber(c.v, c.digits), c.want) << c.v;
}

TEST(Tsv, AppendAddsRowsUnderOneHeaderAndKeepsAForeignTable) {
    test::ScratchDir dir;
    const std::string path = (dir.path() / "t.tsv").string();
    const std::string header = TsvLine({"a", "b"});
    ASSERT_TRUE(WriteTsv(path, header, TsvLine({"1", "2"}), true));  // no file yet: header written
    ASSERT_TRUE(WriteTsv(path, header, TsvLine({"3", "4"}), true));
    EXPECT_EQ(dir.Read("t.tsv"), "a\tb\n1\t2\n3\t4\n");
    ASSERT_TRUE(WriteTsv(path, header, TsvLine({"5", "6"}), false));  // replace
    EXPECT_EQ(dir.Read("t.tsv"), "a\tb\n5\t6\n");
    // Another table under the same name is not mixed into: it is kept aside.
    const std::string other = TsvLine({"a", "b", "c"});
    ASSERT_TRUE(WriteTsv(path, other, TsvLine({"7", "8", "9"}), true));
    EXPECT_EQ(dir.Read("t.tsv"), "a\tb\tc\n7\t8\t9\n");
    EXPECT_EQ(dir.Read("t.tsv.old"), "a\tb\n5\t6\n");
}

TEST(Tsv, UnwritablePathIsReported) {
    test::ScratchDir dir;
    EXPECT_FALSE(WriteTsv((dir.path() / "missing" / "t.tsv").string(), "a\n", "1\n", false));
}

}  // namespace
}  // namespace kolvar
