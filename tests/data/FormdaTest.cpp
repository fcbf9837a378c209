#include "data/Formda.hpp"
#include "base/Fmt.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>

#include "support/BaseConsole.hpp"
#include "support/Scenario.hpp"

namespace kolvar {
namespace {

// Three OTUs, three traits (binary, nominal, quantitative), two communities,
// two ecological variables, two species and a phylogeny of similarities.
DataSet SmallDataSet() {
    DataSet d;
    d.nch = 3;
    d.ncsm = 2;
    d.tcst = 3;
    d.chLabel = {"size", "colour", "height"};
    d.chtype = {1, 2, 3};
    d.onsta = {2, 3, 3};
    d.reLabel = {"plotA", "plotB"};
    d.csm_Float = Matrix<double>::FromRows({{1, 2, 0.123456789}, {0, 1, -999}, {1, 3, 1234567.0}});
    d.cadat = Matrix<double>::FromRows({{0.5, 0}, {2.0 / 3.0, 1}, {-999, 7}});
    d.nenv = 2;
    d.optEnvVarType = 5;
    d.envVarType = {3, 2};
    d.envLabel = {"moisture", "soil"};
    d.envName = "field2019";
    d.env = Matrix<double>::FromRows({{0.1, 1}, {-999, 2}});
    d.nSpp = 2;
    d.whichSpp = "species list.txt";
    d.spp = {"Poa annua", "Bromus erectus"};
    d.sppRelMap = Matrix<char>::FromRows({{'1', '0'}, {'1', '1'}});
    d.cstSppMap = Matrix<char>::FromRows({{'1', '0'}, {'0', '1'}, {'0', '1'}});
    d.SMWSize = 2;
    d.hasPhylogeny = true;
    d.phylogenyMatrixType = 1;
    d.phylogenyRese = Matrix<double>::FromRows({{1, 0.25, 0.5}, {0.25, 1, 0.75}, {0.5, 0.75, 1}});
    d.hasTraitGroups = true;
    d.traitGroups = {1, 2, 1};
    return d;
}

std::string Written(const DataSet& d, const std::string& title = "My data") {
    std::ostringstream fp;
    const FixedClock clock;
    WriteFormdaText(fp, clock, d, d.tcst, title, d.csm_Float, d.cadat);
    return fp.str();
}

DataSet ReadBack(const std::string& text, test::TestConsole& s) {
    std::istringstream fp(text);
    return ReadFormda(s.con, fp, "testFormda.txt");
}

// Reading must stop with the file's name and END OF FILE.
void ExpectEndOfFile(const std::string& text, const std::string& why) {
    test::TestConsole s;
    std::istringstream fp(text);
    EXPECT_EQ(test::FatalOf([&] { ReadFormda(s.con, fp, "bad.txt"); }), FatalCode::EndOfFile) << why;
    EXPECT_NE(s.err.str().find("\nfile bad.txt "), std::string::npos) << why;
}

TEST(Formda, WrittenLayoutIsExact) {
    const std::string text = Written(SmallDataSet());
    const std::string expected = test::Slurp(test::SourcePath("tests/data/data/smallFormda.txt"));
    EXPECT_EQ(text.substr(0, expected.size()), expected);
    EXPECT_EQ(text.size(), expected.size() + 25);  // the time stamp line
}

TEST(Formda, RoundTripKeepsEverythingAtSixDigits) {
    const DataSet d = SmallDataSet();
    test::TestConsole s;
    const DataSet r = ReadBack(Written(d), s);
    EXPECT_EQ(r.dataName, "My data ");  // the blank the writer puts after the title
    EXPECT_EQ(r.chrange, std::vector<double>(3, 0.0));
    EXPECT_EQ(r.ncst, std::vector<int>(2, 0));
    EXPECT_DOUBLE_EQ(r.csm_Float[0][2], 0.123457);
    EXPECT_EQ(r.csm_Float[1][2], -999.0);
    EXPECT_DOUBLE_EQ(r.csm_Float[2][2], 1234570.0);
    EXPECT_DOUBLE_EQ(r.cadat[1][0], 0.666667);
    EXPECT_EQ(r.cadat[2][0], -999.0);
    EXPECT_DOUBLE_EQ(r.env[0][0], 0.1);
    EXPECT_EQ(r.env[1][0], -999.0);
    EXPECT_EQ(r.temEnvBin, 0);
    EXPECT_EQ(r.temEnvQual, 1);
    EXPECT_EQ(r.temEnvQuant, 1);
    EXPECT_EQ(r.whichSpp, "species list.txt ");
    // The working storage is there, zeroed, at the data set's sizes.
    EXPECT_EQ(r.nchor, std::vector<int>(3, 0));
    EXPECT_EQ(r.weight_OTUs.size(), 3u);
    EXPECT_EQ(r.groupRelP.rows(), 10u);
    EXPECT_EQ(r.groupRelP.cols(), 2u);
    EXPECT_EQ(r.grCstLabelP.size(), 10u);
    EXPECT_EQ(r.grCstLabelP[9].size(), 3u);
    EXPECT_EQ(r.cstTrack.rows(), 3u);
    EXPECT_EQ(r.cstTrack.cols(), 3u);
    EXPECT_GE(r.eVarSelect.size(), 2u);
    EXPECT_TRUE(s.err.str().empty());
    // Written again, the file is the same apart from the blanks added after
    // the title and the species-name source: every field written was read back.
    DataSet again = r;
    again.whichSpp = d.whichSpp;
    EXPECT_EQ(Written(again, "My data"), Written(d));
}

TEST(Formda, PhylogenyVariablesAndNoOptionalBlocks) {
    DataSet d = SmallDataSet();
    d.nenv = 0;
    d.nSpp = 0;
    d.hasTraitGroups = false;
    d.phylogenyMatrixType = 2;
    d.nClados = 2;
    d.phylogenyVarType = {2, 3};
    d.phylogenyData.assign(3, 2);
    d.phylogenyData[2][1] = 4.5;
    const std::string text = Written(d);
    EXPECT_NE(text.find("\n0 \n0 \nSMW 2\n1\n2\n2\n2\t3\t\n"), std::string::npos);
    test::TestConsole s;
    const DataSet r = ReadBack(text, s);
    EXPECT_EQ(r.nenv, 0);
    EXPECT_TRUE(r.env.empty());
    EXPECT_EQ(r.nSpp, 0);
    EXPECT_EQ(r.phylogenyMatrixType, 2);
    EXPECT_EQ(r.nClados, 2);
    EXPECT_EQ(r.phylogenyVarType, d.phylogenyVarType);
    EXPECT_EQ(r.phylogenyData[2][1], 4.5);
    EXPECT_FALSE(r.hasTraitGroups);
    EXPECT_EQ(r.traitGroups, std::vector<int>(3, 0));
}

// Header of a hand-written older file: 2 traits, 2 communities, 2 OTUs.
const std::string kOldHead =
    "old data\n2\nt1 t2\n3 3\n0 0\n2 2\n2\nc1 c2\n2\n0 0\n0 0 0 0 0 0 0\n";

TEST(Formda, OlderLayoutsOpen) {
    {   // 2008 marker: no trait-group line; no SMW line either, phylogeny flag 0.
        test::TestConsole s;
        const DataSet r = ReadBack(kOldHead + "18Jan2008\n1 2\n3 4\n5 6\n7 8\n0\n0\n0\n1\n", s);
        EXPECT_EQ(r.dataName, "old data");
        EXPECT_EQ(r.csm_Float[1][1], 4.0);
        EXPECT_EQ(r.cadat[1][0], 7.0);
        EXPECT_FALSE(r.hasTraitGroups);
        EXPECT_EQ(r.traitGroups, std::vector<int>(2, 0));
        EXPECT_EQ(r.SMWSize, 1);
        EXPECT_FALSE(r.hasPhylogeny);
    }
    {   // Ecological block without its marker: labels follow nenv directly.
        test::TestConsole s;
        const DataSet r =
            ReadBack(kOldHead + "18Jan2008\n1 2\n3 4\n5 6\n7 8\n2\nph depth\nsoil\n6.5 7\n10 20\n0\nSMW 3\n0\n", s);
        EXPECT_EQ(r.optEnvVarType, 2);
        EXPECT_EQ(r.envVarType, std::vector<int>(2, 3));
        EXPECT_EQ(r.envLabel, (std::vector<std::string>{"ph", "depth"}));
        EXPECT_EQ(r.envName, "soil");
        EXPECT_EQ(r.env[1][0], 7.0);   // community 2, variable 1
        EXPECT_EQ(r.env[0][1], 10.0);  // community 1, variable 2
        EXPECT_EQ(r.temEnvQuant, 1);
        EXPECT_EQ(r.SMWSize, 3);
    }
    {   // Oldest layout: one word of two-character codes per OTU, then its abundances.
        test::TestConsole s;
        const DataSet r = ReadBack(kOldHead + "0102 5 6\n.1-1 7 8\n0\n0\n", s);
        EXPECT_EQ(r.csm_Float[0][0], 1.0);
        EXPECT_EQ(r.csm_Float[0][1], 2.0);
        EXPECT_EQ(r.csm_Float[1][0], static_cast<double>(0.1f));  // single precision, as stored
        EXPECT_EQ(r.csm_Float[1][1], -1.0);
        EXPECT_EQ(r.cadat[1][1], 8.0);
        EXPECT_FALSE(r.hasTraitGroups);
    }
    {   // Current marker without the SMW line: the phylogeny flag is not lost.
        test::TestConsole s;
        const DataSet r = ReadBack(kOldHead + "25Jun2016\n1 2\n3 4\n5 6\n7 8\n0\n0\n0\n1\n7 9\n", s);
        EXPECT_EQ(r.SMWSize, 1);
        EXPECT_FALSE(r.hasPhylogeny);
        EXPECT_TRUE(r.hasTraitGroups);
        EXPECT_EQ(r.traitGroups, (std::vector<int>{7, 9}));
    }
}

TEST(Formda, ForeignLineEndsLongLabelsAndByteOrderMark) {
    const DataSet d = SmallDataSet();
    test::TestConsole s;
    const DataSet r = ReadBack(test::WindowsText(Written(d)), s);
    EXPECT_EQ(r.dataName, "My data ");
    EXPECT_EQ(r.spp, d.spp);
    EXPECT_EQ(r.whichSpp, "species list.txt ");
    EXPECT_EQ(r.traitGroups, d.traitGroups);
    EXPECT_EQ(r.phylogenyRese[0][1], 0.25);

    // A label longer than 70 characters is cut, and the items after it stay in step.
    DataSet longer = SmallDataSet();
    longer.chLabel[0] = std::string(100, 'x');
    longer.spp[0] = std::string(90, 'y');
    const DataSet r2 = ReadBack(Written(longer, std::string(400, 't')), s);
    EXPECT_EQ(r2.chLabel[0], std::string(70, 'x'));
    EXPECT_EQ(r2.chLabel[1], "colour");
    EXPECT_EQ(r2.dataName, std::string(319, 't'));
    EXPECT_EQ(r2.spp[0], std::string(70, 'y'));
    EXPECT_EQ(r2.spp[1], "Bromus erectus");
    EXPECT_EQ(r2.traitGroups, d.traitGroups);
}

TEST(Formda, WriterKeepsTheFileReadable) {
    DataSet d = SmallDataSet();
    d.chLabel[1] = "two words";
    d.reLabel[0] = "";
    d.spp[1] = "";
    test::TestConsole s;
    d.whichSpp = "list\tof species";
    const DataSet r = ReadBack(Written(d, ""), s);
    EXPECT_EQ(r.dataName, "NULL ");
    EXPECT_EQ(r.whichSpp, "list of species ");
    EXPECT_EQ(ReadBack(Written(d, "a\ttitle"), s).dataName, "a title ");
    EXPECT_EQ(r.chLabel[1], "two_words");
    EXPECT_EQ(r.reLabel[0], "_");
    EXPECT_EQ(r.spp[1], "_");
    EXPECT_EQ(r.chtype, d.chtype);
    EXPECT_EQ(r.traitGroups, d.traitGroups);
    // Matrices smaller than the counts announce are refused before anything is written.
    Matrix<double> small(1, 3);
    std::ostringstream fp;
    EXPECT_THROW(WriteFormdaText(fp, FixedClock(), d, 3, "x", small, d.cadat), std::invalid_argument);
}

TEST(Formda, ValuesBeyondWhatTheFileCanHoldAreWrittenReadable) {
    // Six digits round 1.797695e308 up past the largest double; infinities and
    // NaN cannot be read at all. The file holds the largest value that reads
    // back, and -999 for NaN.
    DataSet d = SmallDataSet();
    d.csm_Float[0][0] = 1.7976931348623157e308;
    d.csm_Float[1][0] = -std::numeric_limits<double>::infinity();
    d.cadat[0][0] = std::numeric_limits<double>::quiet_NaN();
    if (d.nenv > 0) d.env[0][0] = std::numeric_limits<double>::infinity();
    test::TestConsole s;
    const std::string text = Written(d);
    EXPECT_EQ(text.find("inf"), std::string::npos);
    EXPECT_EQ(text.find("nan"), std::string::npos);
    const DataSet r = ReadBack(text, s);
    EXPECT_EQ(r.csm_Float[0][0], 1.79769e308);
    EXPECT_EQ(r.csm_Float[1][0], -1.79769e308);
    EXPECT_EQ(r.cadat[0][0], -999.0);
    EXPECT_EQ(Writable(2.5), 2.5);
    EXPECT_EQ(Writable(1.797e308, 3), 1.79e308);
    EXPECT_EQ(Writable(-1e308), -1e308);
}

TEST(Formda, EveryTruncationEndsWithTheFileMessage) {
    const std::string text = Written(SmallDataSet());
    const std::size_t lastItem = text.rfind("1\t2\t1\t") + 6;
    for (std::size_t n = 0; n < lastItem; ++n) {
        test::TestConsole s;
        std::istringstream fp(text.substr(0, n));
        const auto code = test::FatalOf([&] { ReadFormda(s.con, fp, "cut.txt"); });
        // Only a cut inside the final item of the last line can still be read.
        if (n + 1 == lastItem && !code) continue;
        EXPECT_EQ(code, FatalCode::EndOfFile) << "cut at " << n;
        EXPECT_NE(s.err.str().find("\nfile cut.txt "), std::string::npos) << "cut at " << n;
    }
}

TEST(Formda, ImpossibleCountsAndItemsAreRefused) {
    ExpectEndOfFile("t\n0\n", "no traits");
    ExpectEndOfFile("t\n-3\n", "negative trait count");
    ExpectEndOfFile("t\n2000000000\na b\n", "trait count beyond the file");
    ExpectEndOfFile("1\t1101000040", "trait count as the last item of the file");
    ExpectEndOfFile(kOldHead + "25Jun2016\n1 1e999\n3 4\n5 6\n7 8\n0\n0\nSMW 1\n0\n0\n", "B value beyond a double");
    ExpectEndOfFile("t\nthree\n", "trait count not a number");
    ExpectEndOfFile("t\n1\na\n7\n0\n1\n", "trait type 7");
    ExpectEndOfFile("t\n1\na\n3\n0\n1\n1\nc\n2000000000\n", "OTU count beyond the file");
    ExpectEndOfFile("t\n1\na\n3\n0\n1\n1\nc\n0\n", "no OTUs");
    ExpectEndOfFile(kOldHead + "25Jun2016\n1 2\n3 x\n", "B value not a number");
    ExpectEndOfFile(kOldHead + "25Jun2016\n1 2\n3 4\n5 6\n7 8\n1000000\n", "nenv beyond the file");
    ExpectEndOfFile(kOldHead + "25Jun2016\n1 2\n3 4\n5 6\n7 8\n0\n-1\n", "negative species count");
    ExpectEndOfFile(kOldHead + "25Jun2016\n1 2\n3 4\n5 6\n7 8\n0\n0\nSMW 1\n1\n1\n0.5 1\n", "phylogeny cut");
    ExpectEndOfFile(kOldHead + "25Jun2016\n1 2\n3 4\n5 6\n7 8\n0\n0\nSMW 1\n1\n4\n", "phylogeny type 4");
    ExpectEndOfFile(kOldHead + "25Jun2016\n1 2\n3 4\n5 6\n7 8\n0\n0\nSMW 1\n1\n2\n99999999\n",
                    "phylogeny variables beyond the file");
    ExpectEndOfFile(kOldHead + "010 5 6\n", "code word too short");
    ExpectEndOfFile(kOldHead + "01x2 5 6\n", "code not a number");
}

TEST(Formda, OpenByDirectoryAndName) {
    test::ScratchDir dir;
    test::TestConsole s;
    const FixedClock clock;
    const std::string folder = dir.path().string() + "/";
    const DataSet d = SmallDataSet();
    WriteFormda(s.con, clock, d, 3, folder + "sFormda.txt", "title", d.csm_Float, d.cadat);
    const DataSet back = OpenFormdaFile(s.con, folder, "sFormda.txt");
    EXPECT_EQ(back.chLabel, d.chLabel);
    EXPECT_EQ(back.SMWSize, 2);
    EXPECT_EQ(test::FatalOf([&] { OpenFormdaFile(s.con, folder, "missingFormda.txt"); }), FatalCode::FailToOpen);
    EXPECT_NE(s.err.str().find("\ncan't open " + folder + "missingFormda.txt \n"), std::string::npos);
}

TEST(Formda, FailedWriteKeepsTheOldFile) {
    test::ScratchDir dir;
    const std::string path = (dir.path() / "keepFormda.txt").string();
    dir.Write("keepFormda.txt", "old content\n");
    test::TestConsole s;
    const FixedClock clock;
    const DataSet d = SmallDataSet();

    // A file-size limit makes the write itself fail, as a full disk would.
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previous = signal(SIGXFSZ, SIG_IGN);
    struct rlimit tiny = old;
    tiny.rlim_cur = 16;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
    const auto code = test::FatalOf([&] { WriteFormda(s.con, clock, d, 3, path, "t", d.csm_Float, d.cadat); });
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, previous);
    EXPECT_EQ(code, FatalCode::FailToPrint);
    EXPECT_NE(s.err.str().find("\nfile " + path + " "), std::string::npos);
    EXPECT_EQ(dir.Read("keepFormda.txt"), "old content\n");
    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 1);  // no temporary file left behind

    // A folder that does not exist: the file cannot be created.
    const std::string missing = (dir.path() / "no" / "xFormda.txt").string();
    EXPECT_EQ(test::FatalOf([&] { WriteFormda(s.con, clock, d, 3, missing, "t", d.csm_Float, d.cadat); }),
              FatalCode::FailToOpen);

    // And a successful write replaces the old content whole.
    WriteFormda(s.con, clock, d, 3, path, "t", d.csm_Float, d.cadat);
    EXPECT_EQ(dir.Read("keepFormda.txt").substr(0, 3), "t \n");
}

}  // namespace
}  // namespace kolvar
