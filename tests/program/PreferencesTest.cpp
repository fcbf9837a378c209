#include "program/Preferences.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "base/Fatal.hpp"
#include "support/Scenario.hpp"

namespace kolvar {
namespace {

struct Streams {
    std::istringstream in;
    std::ostringstream out, err;
    Console con{in, out, err};
};

const char* const kDefaultValues =
    "17Apr2020\n0\n0.000000\n0.000000\n0\n0.000000\n0.000000\n1\nn\n0\n0.000000\n0.000000\n6\n2147483647\n6\n"
    "n\nn\nn\n1\n1\n0\n1\n2\n1\n0\n1\n0\n";

std::string Text(const Options& o) {
    std::ostringstream fp;
    WritePreferencesText(fp, o, FixedClock());
    return fp.str();
}

TEST(Preferences, DefaultFileIsExact) {
    EXPECT_EQ(Text(Options{}), std::string(kDefaultValues) + "Thu Jan  1 00:00:00 1970\n");
}

TEST(Preferences, ValuesSurviveWritingAndReading) {
    Options o;
    o.isHierarchicalPref = 1;
    o.scatterHSize = 1.5f;
    o.treeVSize = 0.25f;
    o.profileType = 3;
    o.drawProfPtsOpt = 'y';
    o.sDigits = 9;
    o.maxColsPrint = 120;
    o.maxComponents = 4;
    o.saveStruct = 'y';
    o.saveRndData = 'y';
    o.countDoubleAbsence = 0;
    o.sqrtDissimOpt_RaoTraits = false;
    o.sqrtDissimOpt_RaoPhyl = true;
    o.BealsIncludeOpt = false;
    o.overfitFactorPCARegr = 3.75;
    o.twoTailedTest = false;
    o.oneMatrixPermPartialCorr = true;
    o.nonParametricSES_opt = false;
    o.nProcessors = 3;
    Streams s;
    std::istringstream fp(Text(o));
    Options r;
    ASSERT_TRUE(ReadPreferencesFrom(s.con, fp, "KOLVAR.prf", r));
    EXPECT_EQ(Text(r), Text(o));
    EXPECT_EQ(r.scatterHSize, 1.5f);
    EXPECT_EQ(r.drawProfPtsOpt, 'y');
    EXPECT_EQ(r.overfitFactorPCARegr, 3.75);
    EXPECT_TRUE(r.sqrtDissimOpt_RaoPhyl);
    EXPECT_EQ(r.nProcessors, 3);

    // Windows line ends and a byte-order mark change nothing.
    std::string crlf = "\xEF\xBB\xBF";
    for (char c : Text(o)) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    std::istringstream fp2(crlf);
    Options r2;
    ASSERT_TRUE(ReadPreferencesFrom(s.con, fp2, "KOLVAR.prf", r2));
    EXPECT_EQ(Text(r2), Text(o));
}

TEST(Preferences, OtherVersionIsIgnored) {
    Streams s;
    Options o;
    o.sDigits = 11;
    std::string other = kDefaultValues;
    other.replace(0, 9, "16Apr2020");
    std::istringstream fp(other);
    EXPECT_FALSE(ReadPreferencesFrom(s.con, fp, "KOLVAR.prf", o));
    EXPECT_EQ(o.sDigits, 11);
    std::istringstream empty("");
    EXPECT_FALSE(ReadPreferencesFrom(s.con, empty, "KOLVAR.prf", o));
    EXPECT_TRUE(s.err.str().empty());
}

TEST(Preferences, DamagedFileOfTheRightVersionIsFatal) {
    const std::string text = kDefaultValues;
    for (std::size_t n = 10; n + 2 < text.size(); ++n) {
        Streams s;
        Options o;
        std::istringstream fp(text.substr(0, n));
        try {
            ReadPreferencesFrom(s.con, fp, "KOLVAR.prf", o);
            ADD_FAILURE() << "cut at " << n << " accepted";
        } catch (const FatalError& e) {
            EXPECT_EQ(e.code, FatalCode::EndOfFile);
            EXPECT_NE(s.err.str().find("\nfile KOLVAR.prf "), std::string::npos);
        }
        EXPECT_EQ(o.sDigits, 6) << "a damaged file must not change the options";
    }
    auto refused = [&](std::size_t line, const std::string& value) {
        std::istringstream lines(text);
        std::string out, l;
        for (std::size_t i = 0; std::getline(lines, l); ++i) out += (i == line ? value : l) + "\n";
        Streams s;
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

TEST(Preferences, DialogueSetsAndRejects) {
    test::ScratchDir dir;
    const test::RunResult r = test::RunInProcess(
        dir, "S\ni\nf\n0\n3.9\ny\nn\nO\n0.5\n2.5\nS\np\nM\n3\nG\nn\nR\nn\ny\nB\nn\nT\nn\ny\nL\nC\nX\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("PREFERENCES"), std::string::npos);
    EXPECT_NE(r.out.find("   T  permutaton tests based on matrix correlations\n"), std::string::npos);
    EXPECT_NE(r.out.find("Save matrices used to evaluate structures? y/n               "), std::string::npos);
    EXPECT_NE(r.out.find("(default is the latter)? p/n"), std::string::npos);
    EXPECT_NE(r.err.find("Incorrect input = i. Reenter.\nAccepted input: F G R B O M C T S\n"), std::string::npos);
    EXPECT_NE(r.err.find("Incorrect input = l. Reenter."), std::string::npos);
    EXPECT_NE(r.err.find("Incorrect input = 0.5. Reenter.\nAccepted input: 1 to 3.40282e+38\n"), std::string::npos);
    Streams s;
    std::istringstream fp(dir.Read("KOLVAR.prf"));
    Options o;
    ASSERT_TRUE(ReadPreferencesFrom(s.con, fp, "KOLVAR.prf", o));
    EXPECT_EQ(o.sDigits, 6);
    EXPECT_EQ(o.maxComponents, 3);
    EXPECT_EQ(o.saveStruct, 'y');
    EXPECT_EQ(o.saveRndData, 'n');
    EXPECT_EQ(o.overfitFactorPCARegr, 2.5);
    EXPECT_FALSE(o.nonParametricSES_opt);
    EXPECT_EQ(o.nProcessors, 3);
    EXPECT_EQ(o.countDoubleAbsence, 0);
    EXPECT_FALSE(o.sqrtDissimOpt_RaoTraits);
    EXPECT_TRUE(o.sqrtDissimOpt_RaoPhyl);
    EXPECT_FALSE(o.BealsIncludeOpt);
    EXPECT_FALSE(o.twoTailedTest);
    EXPECT_TRUE(o.oneMatrixPermPartialCorr);
}

}  // namespace
}  // namespace kolvar
