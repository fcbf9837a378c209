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

// The files of tests/data/data/formdaFiles.txt: "== <what>" opens a file's text, which ends at "-- refused"
// (reading must end with END OF FILE and the file's name) or at "-- reads back as", followed by the file that
// the data set read writes; a last line "<no line end>" takes the text's final line end away.
struct FileCase {
    std::string what, text, writtenBack;
    bool refused = false;
};

std::vector<FileCase> FileCases() {
    std::vector<FileCase> cases;
    std::istringstream in(test::Slurp(test::SourcePath("tests/data/data/formdaFiles.txt")));
    std::string* into = nullptr;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("== ", 0) == 0) {
            cases.push_back({line.substr(3), "", ""});
            into = &cases.back().text;
        } else if (line == "-- refused") {
            cases.back().refused = true;
            into = nullptr;
        } else if (line == "-- reads back as") {
            into = &cases.back().writtenBack;
        } else if (line == "<no line end>") {
            into->pop_back();
        } else if (into && line.rfind('#', 0) != 0) {
            *into += line + '\n';
        }
    }
    return cases;
}

TEST(Formda, OlderLayoutsOpenAndImpossibleItemsAreRefused) {
    const std::vector<FileCase> cases = FileCases();
    ASSERT_EQ(cases.size(), 22u);
    for (const FileCase& c : cases) {
        test::TestConsole s;
        std::istringstream fp(c.text);
        if (c.refused) {
            EXPECT_EQ(test::FatalOf([&] { ReadFormda(s.con, fp, "bad.txt"); }), FatalCode::EndOfFile) << c.what;
            EXPECT_NE(s.err.str().find("\nfile bad.txt "), std::string::npos) << c.what;
            continue;
        }
        const DataSet r = ReadFormda(s.con, fp, "bad.txt");
        EXPECT_EQ(Written(r, r.dataName), c.writtenBack) << c.what;
        // What the file does not show: the codes' single precision, the kinds of variables, absent groups.
        if (c.what.rfind("The oldest layout", 0) == 0) {
            EXPECT_EQ(r.csm_Float[1][0], static_cast<double>(0.1f));
        }
        if (c.what.rfind("An ecological block", 0) == 0) {
            EXPECT_EQ(r.temEnvQuant, 1);
        }
        if (!r.hasTraitGroups) {
            EXPECT_EQ(r.traitGroups, std::vector<int>(r.nch, 0)) << c.what;
        }
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
