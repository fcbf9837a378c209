#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>

#include "base/Fmt.hpp"
#include "base/Prompts.hpp"
#include "support/BaseConsole.hpp"
#include "support/Scenario.hpp"

namespace kolvar {
namespace {

using test::FatalOf;
using test::TestConsole;

// The hand cases of tests/base/data/prompts.txt: the value accepted, the
// rejections on standard error, and what is left unread.
TEST(Prompts, AnswersAcceptedOrRejectedAsTheTableSays) {
    const auto rows = test::TableRows("tests/base/data/prompts.txt");
    ASSERT_GT(rows.size(), 10u);
    for (const auto& row : rows) {
        ASSERT_GE(row.size(), 4u);
        const auto field = [&](std::size_t i) { return i < row.size() ? row[i] : std::string(); };
        const std::string& reader = row[0];
        const std::string& accepted = row[1];
        const std::string format = reader.substr(reader.find(' ') + 1);
        SCOPED_TRACE(reader + " | " + accepted + " | " + row[2]);
        TestConsole t(row[2]);
        std::string value;
        const auto code = FatalOf([&] {
            double low = 0, high = 0;
            const char* list = accepted == "any" ? "" : accepted.c_str();
            if (accepted.starts_with("from ")) {
                low = std::stod(accepted.substr(5));
                high = std::stod(accepted.substr(accepted.find(" to ") + 4));
                list = "-";
            }
            if (reader == "char")
                value = std::string(1, ReadCharIn(t.con, list));
            else if (reader.starts_with("word"))
                ReadStringIn(t.con, format.c_str(), value);
            else if (reader.starts_with("field"))
                freadlineck(t.con, t.in, std::stoul(format), value, "input");
            else if (reader.starts_with("line"))
                freadlineck_Space(t.con, t.in, std::stoul(format), value, "input");
            else if (reader.starts_with("int"))
                value = std::to_string(ReadIntIn(t.con, format.c_str(), list, low, high));
            else
                value = Fmt("%.17g", ReadNumberIn(t.con, format.c_str(), list, low, high));
        });
        std::string err;
        std::istringstream rejected(field(4));
        for (std::string r; rejected >> r;)
            err += "\a\nIncorrect input = " + r + ". Reenter.\nAccepted input: " + field(5) + "\n";
        const std::string then = field(6);
        if (row[3] == "end") {
            EXPECT_EQ(code, FatalCode::EndOfFile);
            EXPECT_EQ(t.err.str(), err + then);
        } else {
            EXPECT_FALSE(code.has_value());
            EXPECT_EQ(value, row[3]);
            EXPECT_EQ(t.err.str(), err);
            if (row.size() > 6) {
                EXPECT_EQ(std::string(std::istreambuf_iterator<char>(t.in), {}), then);
            }
        }
    }
}

TEST(NumberPrompt, StrictReadsAndIntTruncation) {
    TestConsole strict("42 abc");
    EXPECT_EQ(ScanNumber(strict.con, strict.in, "data.txt", nullptr), 42.0);
    EXPECT_EQ(FatalOf([&] { ScanNumber(strict.con, strict.in, "data.txt", nullptr); }), FatalCode::EndOfFile);
    EXPECT_NE(strict.err.str().find("\nfile data.txt "), std::string::npos);
    // Strict reads of the program's own files refuse a number beyond a double as malformed.
    TestConsole huge("1e999");
    EXPECT_EQ(FatalOf([&] { ScanNumber(huge.con, huge.in, "KOLVAR.prf", nullptr); }), FatalCode::EndOfFile);
    EXPECT_NE(huge.err.str().find("\nfile KOLVAR.prf "), std::string::npos);

    EXPECT_EQ(TruncToInt(3.9), 3);
    EXPECT_EQ(TruncToInt(-3.9), -3);
    EXPECT_EQ(TruncToInt(1e300), 2147483647);
}

TEST(NumberTokens, FollowTheCLibraryRules) {
    std::istringstream a("1e x");
    double v = 0;
    ASSERT_TRUE(ScanDoubleToken(a, v));
    EXPECT_EQ(v, 1.0);
    EXPECT_EQ(a.get(), ' ');  // the dangling exponent letter is consumed
    std::istringstream b("-.e");
    EXPECT_FALSE(ScanDoubleToken(b, v));
    EXPECT_EQ(b.get(), 'e');
    std::istringstream c("+.5 1.5e3x");
    ASSERT_TRUE(ScanDoubleToken(c, v));
    EXPECT_EQ(v, 0.5);
    ASSERT_TRUE(ScanDoubleToken(c, v));
    EXPECT_EQ(v, 1500.0);
    int k = 0;
    std::istringstream ints("-12 99999999999 7");
    ASSERT_TRUE(ScanIntToken(ints, k));
    EXPECT_EQ(k, -12);
    EXPECT_FALSE(ScanIntToken(ints, k));  // out of the int range
    std::string w;
    std::istringstream words("  abcdefg  h");
    ASSERT_TRUE(ScanWordToken(words, w, 4));
    EXPECT_EQ(w, "abcd");
    ASSERT_TRUE(ScanWordToken(words, w));
    EXPECT_EQ(w, "efg");
}

TEST(MacroMode, AcceptedAnswersAreEchoed) {
    TestConsole t("y 2.5 7 word\n");
    std::ostringstream macro;
    t.con.createMacro = true;
    t.con.outm = &macro;
    ReadCharIn(t.con, "y n");
    ReadNumberIn(t.con, "%f\n", "");
    ReadNumberIn(t.con, "%d\n", "");
    std::string w;
    ReadStringIn(t.con, "%s\n", w);
    EXPECT_EQ(macro.str(), "y\n2.500000\n7\nword\n");
}

TEST(Files, OpenFailureIsReportedNotFatal) {
    test::ScratchDir dir;
    TestConsole t("");
    EXPECT_EQ(fopenck(t.con, "missing.txt", dir.path().string() + "/", "r"), nullptr);
    EXPECT_EQ(t.err.str(), "\ncan't open " + dir.path().string() + "/missing.txt \n");
    EXPECT_EQ(t.out.str(), "\a");
    EXPECT_EQ(fopenck(t.con, "", dir.path().string(), "r"), nullptr);  // a folder is not a file
    auto w = fopenck(t.con, "new.txt", dir.path().string() + "/", "w");
    ASSERT_NE(w, nullptr);
    *w << "x";
    // Data file names typed until one opens: the import cases that name a missing file.
}

TEST(Text, CaseHelpers) {
    std::string s = "aBc-9";
    StrToUpper(s);
    EXPECT_EQ(s, "ABC-9");
    EXPECT_EQ(StrCmp("abc", "ABC"), 0);
    EXPECT_LT(StrCmp("abc", "abd"), 0);
    EXPECT_GT(StrCmp("b", "A"), 0);
}

TEST(ListPrompts, LabelsFromKeyboardAndFile) {
    TestConsole t("k\nalpha beta\ngamma\nn\nk\na b c\ny\n");
    std::vector<std::string> labels;
    EXPECT_EQ(ReadLongInput(t.con, 3, 4, labels, "labels"), 1);
    EXPECT_EQ(labels, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(t.out.str(),
              "Read input from file (f) or from the keyboard (k)? f/k \nEnter labels:\tAre these correct? y/n "
              "Read input from file (f) or from the keyboard (k)? f/k \nEnter labels:\tAre these correct? y/n ");

    test::ScratchDir dir;
    dir.Write("lab.txt", "one two\nthree\n");
    dir.Write("short.txt", "only\n");
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    TestConsole f("f\nnone.txt\nf\nshort.txt\nf\nlab.txt\ny\n");
    const int ok = ReadLongInput(f.con, 3, 3, labels, "names");
    std::filesystem::current_path(previous);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(labels, (std::vector<std::string>{"one", "two", "thr"}));
    EXPECT_NE(f.out.str().find("names:\tone\ttwo\tthr\t\n"), std::string::npos);
}

TEST(ListPrompts, ValuesWithRestartAndValidation) {
    TestConsole t("k\n1 -1\nk\n4 5\ny\n");
    std::vector<int> v;
    EXPECT_EQ(ReadLongInput(t.con, 2, v, "group numbers", nullptr), 1);
    EXPECT_EQ(v, (std::vector<int>{4, 5}));
    EXPECT_NE(t.out.str().find("Enter group numbers: \t"), std::string::npos);

    TestConsole checked("k\n3 1 2\ny\n");
    EXPECT_EQ(ReadLongInput(checked.con, 2, v, "levels", "1 2"), 1);
    EXPECT_EQ(v, (std::vector<int>{1, 2}));
    EXPECT_EQ(checked.err.str(), "\a\nIncorrect input = 3. Reenter.\nAccepted input: 1 2\n");
}

}  // namespace
}  // namespace kolvar
