// The raw-file reader of the import: what it accepts, and the one message it
// gives for each kind of bad file.

#include <gtest/gtest.h>

#include "data/ImportReader.hpp"
#include "support/BaseConsole.hpp"

namespace kolvar {
namespace {

RawLayout Uniform(long long rows, long long cols, long long labels, const char* shape) {
    RawLayout l;
    l.rows = rows;
    l.cols = cols;
    l.labels = labels;
    l.shape = shape;
    return l;
}

TEST(ImportReader, AcceptsTheLayoutsUsersWrite) {
    const RawLayout two = Uniform(2, 3, 3, "2 OTUs x 3 traits");
    const std::vector<double> values = {1, 2, 3, 4, -999, 6.5};
    const std::vector<std::string> labels = {"a", "b", "c"};
    for (const char* text : {
             "1 2 3\n4 -999 6.5\na b c\n",                   // rows, labels on their own line
             "1\t2\t3\r\n4\t-999\t6.5\r\na\tb\tc\r\n",      // tabs and CRLF
             "\xEF\xBB\xBF" "1 2 3\n\n4 -999 6.5\n\na b\nc",  // byte-order mark, blank lines, labels split
             "1 2 3 4 -999 6.5 a b c",                       // all on one line
             "1\n2\n3\n4\n-999\n6.5\na\nb\nc\n",             // one per line
             "+1 2. 3e0\n4 -999 6.5E+0\na b c\n",            // forms of numbers
         }) {
        const RawRead r = ReadRawMatrix("t.txt", text, two);
        ASSERT_TRUE(r.ok()) << text << ": " << r.error;
        EXPECT_EQ(r.values, values) << text;
        EXPECT_EQ(r.labels, labels) << text;
    }
    RawLayout half = Uniform(3, 3, 0, "the lower half of 3 OTUs x 3 OTUs");
    half.kind = RawLayout::Rows::LowerHalf;
    for (const char* text : {"1\n0.5 1\n0.2 0.3 1\n", "1 0.5 1 0.2 0.3 1\n"}) {
        const RawRead r = ReadRawMatrix("f.txt", text, half);
        ASSERT_TRUE(r.ok()) << r.error;
        EXPECT_EQ(r.values, std::vector<double>({1, 0.5, 1, 0.2, 0.3, 1}));
    }
    RawLayout free;
    free.kind = RawLayout::Rows::Free;
    free.total = 3;
    free.shape = "3 values of 2 communities";
    const RawRead r = ReadRawMatrix("w.txt", "5 6\n7\n", free);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.values, std::vector<double>({5, 6, 7}));
}

TEST(ImportReader, EachBadFileGetsOneMessageWithRowAndColumn) {
    const RawLayout b = Uniform(3, 2, 2, "3 OTUs x 2 traits");
    const RawLayout noLabels = Uniform(3, 2, 0, "3 OTUs x 2 traits");
    const auto rows = test::TableRows("tests/data/data/bad-raw-files.txt");
    ASSERT_GT(rows.size(), 10u);
    for (const auto& row : rows) {
        ASSERT_EQ(row.size(), 3u);
        EXPECT_EQ(ReadRawMatrix("b.txt", row[1], row[0] == "labels" ? b : noLabels).error, row[2]) << row[1];
    }
    // Numbered labels are kept; when all of them read as numbers the user is
    // warned that one more row of values may have been taken for them.
    const RawRead numbered = ReadRawMatrix("b.txt", "1 2\n3 4\n5 6\n7 8\n", b);
    EXPECT_TRUE(numbered.ok());
    EXPECT_EQ(numbered.labels, (std::vector<std::string>{"7", "8"}));
    EXPECT_EQ(numbered.warning,
              "b.txt, row 4, column 1: the labels, from \"7\" on, read as numbers; if they are values, the file has "
              "more rows than 3 OTUs x 2 traits");
    const RawRead mixed = ReadRawMatrix("b.txt", "1 2\n3 4\n5 6\n7 h\n", b);
    EXPECT_TRUE(mixed.ok());
    EXPECT_TRUE(mixed.warning.empty());
}

TEST(ImportReader, SpeciesNamesOnePerLine) {
    RawNames r = ReadRawNames("s.txt", "Poa annua\r\n\n  Carex\tnigra  \nBriza media", 3, 70);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.names, std::vector<std::string>({"Poa annua", "Carex nigra  ", "Briza media"}));
    EXPECT_EQ(ReadRawNames("s.txt", std::string(80, 'x') + "\n", 1, 70).names.at(0), std::string(70, 'x'));
    EXPECT_EQ(ReadRawNames("s.txt", "a\nb\n", 3, 70).error,
              "s.txt: 3 species names expected (one per line), the file holds 2 names");
    EXPECT_EQ(ReadRawNames("s.txt", "a\nb\nc d\n", 2, 70).error,
              "s.txt, row 3: \"c d\" is left over after 2 species names (one per line)");
}

TEST(ImportReader, DecimalNumbersOnly) {
    struct Case {
        const char* text;
        bool ok;
        double value;
        bool overflow;
    } cases[] = {
        {"-.5", true, -0.5, false},   {"5.", true, 5, false},       {"1e-999", true, 0, false},
        {"-999", true, -999, false},  {"1e999", false, 0, true},    {"-1E+400", false, 0, true},
        {".", false, 0, false},       {"1e", false, 0, false},      {"nan", false, 0, false},
        {"infinity", false, 0, false}, {"0x10", false, 0, false},   {"1,5", false, 0, false},
        {"", false, 0, false},        {"+", false, 0, false},       {"1.2.3", false, 0, false},
    };
    for (const Case& c : cases) {
        double v = 0.0;
        bool overflow = false;
        EXPECT_EQ(ParseDecimal(c.text, v, &overflow), c.ok) << c.text;
        EXPECT_EQ(overflow, c.overflow) << c.text;
        if (c.ok) {
            EXPECT_EQ(v, c.value) << c.text;
        }
    }
}

}  // namespace
}  // namespace kolvar
