#include "program/Preferences.hpp"

#include <gtest/gtest.h>

#include "support/BaseConsole.hpp"
#include "support/Scenario.hpp"

namespace kolvar {
namespace {

const char* const kDefaultValues =
    "17Apr2020\n0\n0.000000\n0.000000\n0\n0.000000\n0.000000\n1\nn\n0\n0.000000\n0.000000\n6\n2147483647\n6\n"
    "n\nn\nn\n1\n1\n0\n1\n2\n1\n0\n1\n0\n";

std::string Text(const Options& o) {
    std::ostringstream fp;
    WritePreferencesText(fp, o, FixedClock());
    return fp.str();
}

// The default file, another version, an empty file and a Windows file are runs of
// the PreferencesScenario cases.
TEST(Preferences, ValuesSurviveReadingAndWriting) {
    // Every value other than its default, each landing in its own setting.
    const std::string text = test::Slurp(test::SourcePath("tests/program/data/KOLVAR.prf"));
    test::TestConsole s;
    std::istringstream fp(text);
    Options r;
    ASSERT_TRUE(ReadPreferencesFrom(s.con, fp, "KOLVAR.prf", r));
    EXPECT_EQ(Text(r), text);
    EXPECT_EQ(r.isHierarchicalPref, 1);
    EXPECT_EQ(r.scatterHSize, 1.5f);
    EXPECT_EQ(r.profileType, 3);
    EXPECT_EQ(r.drawProfPtsOpt, 'y');
    EXPECT_EQ(r.treeVSize, 0.25f);
    EXPECT_EQ(r.maxColsPrint, 120);
    EXPECT_EQ(r.saveRndData, 'y');
    EXPECT_EQ(r.overfitFactorPCARegr, 3.75);
    EXPECT_TRUE(r.sqrtDissimOpt_RaoPhyl);
    EXPECT_TRUE(r.oneMatrixPermPartialCorr);
    EXPECT_EQ(r.nProcessors, 3);
}

TEST(Preferences, DamagedFileOfTheRightVersionIsFatal) {
    const std::string text = kDefaultValues;
    for (std::size_t n = 10; n + 2 < text.size(); ++n) {
        test::TestConsole s;
        Options o;
        std::istringstream fp(text.substr(0, n));
        EXPECT_EQ(test::FatalOf([&] { ReadPreferencesFrom(s.con, fp, "KOLVAR.prf", o); }), FatalCode::EndOfFile)
            << "cut at " << n;
        EXPECT_NE(s.err.str().find("\nfile KOLVAR.prf "), std::string::npos);
        EXPECT_EQ(o.sDigits, 6) << "a damaged file must not change the options";
    }
    auto refused = [&](std::size_t line, const std::string& value) {
        std::istringstream lines(text);
        std::string out, l;
        for (std::size_t i = 0; std::getline(lines, l); ++i) out += (i == line ? value : l) + "\n";
        test::TestConsole s;
        Options o;
        std::istringstream fp(out);
        EXPECT_THROW(ReadPreferencesFrom(s.con, fp, "KOLVAR.prf", o), FatalError) << "line " << line << " " << value;
    };
    refused(8, "x");     // drawProfPtsOpt
    refused(12, "0");    // sDigits
    refused(15, "maybe");
    refused(19, "2");    // a switch
    refused(22, "0.5");  // overfitFactorPCARegr
    refused(26, "-1");   // nProcessors
    refused(13, "abc");
}

}  // namespace
}  // namespace kolvar
