#include <gtest/gtest.h>

#include <filesystem>

#include "base/Prompts.hpp"
#include "support/BaseConsole.hpp"
#include "support/Scenario.hpp"

namespace kolvar {
namespace {

using test::FatalOf;
using test::TestConsole;

TEST(CharPrompt, AcceptsEitherCaseAndRejectsOthers) {
    TestConsole t("x\nY\n");
    EXPECT_EQ(ReadCharIn(t.con, "y n"), 'y');
    EXPECT_EQ(t.err.str(), "\a\nIncorrect input = x. Reenter.\nAccepted input: y n\n");
    EXPECT_EQ(t.in.peek(), '\n');  // only the accepted letter is consumed

    TestConsole menu("  \r\n\tn");
    EXPECT_EQ(ReadCharIn(menu.con, "N O S A X"), 'n');
    EXPECT_EQ(menu.err.str(), "");  // blanks and control characters are skipped silently

    TestConsole any("  \n\t Q");
    EXPECT_EQ(ScanChar(any.con, any.in, "", "input"), 'q');
}

TEST(CharPrompt, EndOfInputIsFatalAndNamesTheSource) {
    TestConsole t("zz");
    EXPECT_EQ(FatalOf([&] { ReadCharIn(t.con, "y n"); }), FatalCode::EndOfFile);
    EXPECT_NE(t.err.str().find("\nfile input "), std::string::npos);
}

TEST(NumberPrompt, ListForm) {
    TestConsole t("4\n2.0\n");
    EXPECT_EQ(ReadNumberIn(t.con, "%d\n", "1 2 3"), 2.0);
    EXPECT_EQ(t.err.str(), "\a\nIncorrect input = 4. Reenter.\nAccepted input: 1 2 3\n");

    TestConsole junk("abc7\n");
    EXPECT_EQ(ReadNumberIn(junk.con, "%d\n", "5 6 7"), 7.0);
    EXPECT_EQ(junk.err.str(), "");  // letters are dropped silently
}

TEST(NumberPrompt, RangeFormShowsLimitsInShortestForm) {
    TestConsole t("-1 2147483647\n");  // both limits belong to the range
    EXPECT_EQ(ReadNumberIn(t.con, "%d\n", "-", 0.0, 2147483647.0), 2147483647.0);
    EXPECT_EQ(t.err.str(), "\a\nIncorrect input = -1. Reenter.\nAccepted input: 0 to 2.14748e+09\n");

    TestConsole edge("0.5 1 3.4028234663852886e38");
    EXPECT_EQ(ReadNumberIn(edge.con, "%g\n", "-", 1.0, 3.4028234663852886e38), 1.0);
    EXPECT_EQ(edge.err.str(), "\a\nIncorrect input = 0.5. Reenter.\nAccepted input: 1 to 3.40282e+38\n");
}

TEST(NumberPrompt, AnyNumberAndStrictForms) {
    TestConsole any("  x-3.5e2\n");
    EXPECT_EQ(ReadNumberIn(any.con, "%g\n", ""), -350.0);

    TestConsole strict("42 abc");
    EXPECT_EQ(ScanNumber(strict.con, strict.in, "data.txt", nullptr), 42.0);
    EXPECT_EQ(FatalOf([&] { ScanNumber(strict.con, strict.in, "data.txt", nullptr); }), FatalCode::EndOfFile);
    EXPECT_NE(strict.err.str().find("\nfile data.txt "), std::string::npos);

    TestConsole ended("   ");
    EXPECT_EQ(FatalOf([&] { ReadNumberIn(ended.con, "%d\n", "1 2"); }), FatalCode::EndOfFile);
    EXPECT_NE(ended.err.str().find("\nEnd of file input\n"), std::string::npos);
}

TEST(NumberPrompt, IntAnswersBeyondIntRangeAreRejectedNotWrapped) {
    TestConsole t("3000000000 -5e12 17\n");
    EXPECT_EQ(ReadIntIn(t.con, "%d\n", ""), 17);
    EXPECT_NE(t.err.str().find("Incorrect input = 3e+09. Reenter.\nAccepted input: -2.14748e+09 to 2.14748e+09\n"),
              std::string::npos);
    EXPECT_NE(t.err.str().find("Incorrect input = -5e+12."), std::string::npos);

    TestConsole range("1e10 5\n");
    EXPECT_EQ(ReadIntIn(range.con, "%d\n", "-", 0.0, 1e300), 5);
    EXPECT_NE(range.err.str().find("Accepted input: 0 to 2.14748e+09"), std::string::npos);
    EXPECT_EQ(TruncToInt(3.9), 3);
    EXPECT_EQ(TruncToInt(-3.9), -3);
    EXPECT_EQ(TruncToInt(1e300), 2147483647);
}

TEST(NumberPrompt, NumbersBeyondADoubleAreRejectedNotInfinite) {
    // Range form: rejected with the limits; list form: with the list; any number: with the finite range.
    TestConsole range("1e999 -1e999 7\n");
    EXPECT_EQ(ReadNumberIn(range.con, "%d\n", "-", 1.0, 2147483647.0), 7.0);
    EXPECT_EQ(range.err.str(), "\a\nIncorrect input = inf. Reenter.\nAccepted input: 1 to 2.14748e+09\n"
                               "\a\nIncorrect input = -inf. Reenter.\nAccepted input: 1 to 2.14748e+09\n");
    TestConsole list("1e400 2\n");
    EXPECT_EQ(ReadNumberIn(list.con, "%d\n", "1 2"), 2.0);
    EXPECT_EQ(list.err.str(), "\a\nIncorrect input = inf. Reenter.\nAccepted input: 1 2\n");
    TestConsole any("1e999 0.25\n");
    EXPECT_EQ(ReadNumberIn(any.con, "%g\n", ""), 0.25);
    EXPECT_EQ(any.err.str(),
              "\a\nIncorrect input = inf. Reenter.\nAccepted input: -1.79769e+308 to 1.79769e+308\n");
    // Strict reads of the program's own files refuse it as malformed.
    TestConsole strict("1e999");
    EXPECT_EQ(FatalOf([&] { ScanNumber(strict.con, strict.in, "KOLVAR.prf", nullptr); }), FatalCode::EndOfFile);
    EXPECT_NE(strict.err.str().find("\nfile KOLVAR.prf "), std::string::npos);
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

TEST(LineFields, KeepBlanksAndStopAtTheFieldEnd) {
    TestConsole t("\n  my data.txt\r\na\tb\n");
    std::string s;
    freadlineck(t.con, t.in, 150, s, "input");
    EXPECT_EQ(s, "my data.txt");
    freadlineck(t.con, t.in, 150, s, "input");
    EXPECT_EQ(s, "a");

    const std::string eighty(80, 'x');
    TestConsole longLine(eighty + "\nnext\tone\n");
    freadlineck_Space(longLine.con, longLine.in, 70, s, "labels");
    EXPECT_EQ(s, std::string(70, 'x'));
    freadlineck_Space(longLine.con, longLine.in, 70, s, "labels");
    EXPECT_EQ(s, std::string(10, 'x'));
    freadlineck_Space(longLine.con, longLine.in, 70, s, "labels");
    EXPECT_EQ(s, "next one");  // tabs kept as blanks

    TestConsole empty(" \n\t");
    EXPECT_EQ(FatalOf([&] { freadlineck(empty.con, empty.in, 10, s, "f.txt"); }), FatalCode::EndOfFile);
    EXPECT_NE(empty.err.str().find("\nfile f.txt "), std::string::npos);
    TestConsole last("tail");
    freadlineck(last.con, last.in, 10, s, "input");
    EXPECT_EQ(s, "tail");  // end of file after some characters ends the field
}

TEST(StringPrompt, WordsAndFixedWidthLabels) {
    TestConsole t("session_1 abcdefgh\n");
    std::string s;
    ReadStringIn(t.con, "%s\n", s);
    EXPECT_EQ(s, "session_1");
    ReadStringIn(t.con, "%4s ", s);
    EXPECT_EQ(s, "abcd");
    ReadStringIn(t.con, "%4s ", s);
    EXPECT_EQ(s, "efgh");
    EXPECT_EQ(FatalOf([&] { ReadStringIn(t.con, "%s\n", s); }), FatalCode::EndOfFile);
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

    dir.Write("data.txt", "1 2\n");
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    TestConsole names("nothere.txt\ndata.txt\n");
    std::string name;
    auto fp = ReadDataFileName(names.con, name);
    std::filesystem::current_path(previous);
    ASSERT_NE(fp, nullptr);
    EXPECT_EQ(name, "data.txt");
    EXPECT_EQ(names.out.str(), "Enter data file name: \aEnter data file name: ");
    EXPECT_EQ(names.err.str(), "\ncan't open nothere.txt \n");
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
