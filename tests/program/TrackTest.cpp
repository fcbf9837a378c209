#include "program/Track.hpp"

#include <gtest/gtest.h>

#include "program/Actions.hpp"
#include "support/BaseConsole.hpp"
#include "support/Scenario.hpp"

namespace kolvar {
namespace {

struct TrackSession : test::TestConsole {
    FixedClock clock;
    Program p{con, clock};

    // Two traits, three communities, four OTUs, storage as OpenFormda leaves it.
    TrackSession() {
        DataSet d;
        d.nch = 2;
        d.ncsm = 3;
        d.tcst = 4;
        AllocateWorkingStorage(d);
        p.data = std::move(d);
        p.session.whichFormda = "aFormda.txt";
        p.session.whichTrack = "aTrk.txt";
    }
};

// The full form of a session with two partitions of communities and one of OTUs,
// as the program writes it.
const std::string& FullTrack() {
    static const std::string text = test::Slurp(test::SourcePath("tests/program/data/aTrk.txt"));
    return text;
}

void ReadText(TrackSession& s, const std::string& text, const char* name = "aTrk.txt") {
    std::istringstream fp(text);
    ReadTrackFrom(s.p, fp, name);
}

std::string TrackText(const Program& p, bool full) {
    std::ostringstream fp;
    WriteTrackText(fp, p, full);
    return fp.str();
}

TEST(Track, ShortFormAndItsReading) {
    TrackSession s;
    EXPECT_EQ(TrackText(s.p, false), "aFormda.txt\n07Jul17\n");
    TrackSession t;
    t.p.session.whichFormda = "NULL";
    t.p.hier.rese_opt = 9;
    ReadText(t, "otherFormda.txt\n07Jul17\n");
    EXPECT_EQ(t.p.session.whichFormda, "otherFormda.txt");
    EXPECT_EQ(t.p.hier.rese_opt, 9);  // the short form leaves the settings in memory
    EXPECT_TRUE(t.out.str().empty());
}

TEST(Track, FullFormReadsIntoTheSettingsAndWritesBackTheSame) {
    const std::string& text = FullTrack();
    TrackSession t;
    ReadText(t, text);
    EXPECT_TRUE(t.err.str().empty());
    // Written again the same: every setting written was read back.
    EXPECT_EQ(TrackText(t.p, true), text);
    // Items land in their own settings.
    const DataSet& d = *t.p.data;
    EXPECT_EQ(t.p.session.whichHier, "aHie.txt");
    EXPECT_EQ(t.p.flags.hasRoVelComplexPROB, 1);
    EXPECT_EQ(t.p.hier.optEnvStruct, 4);
    EXPECT_EQ(t.p.hier.rese_opt, 10);
    EXPECT_EQ(d.rcst, (std::vector<int>{4, 3}));
    EXPECT_EQ(t.p.hier.fuzziness, 1.25);
    EXPECT_EQ(t.p.hier.reseTypeERank, 5);
    EXPECT_EQ(t.p.hier.cohe, 7);
    EXPECT_EQ(d.partLabel[1], "year");
    EXPECT_EQ(d.grLabelP[1][0], "y1");
    EXPECT_EQ(d.groupRelP[0][2], 2);
    EXPECT_EQ(t.p.hier.whichPartCstAOC, 6);
    EXPECT_EQ(d.grCstLabelP[0][0], "ABCD");  // four-character labels stay apart
    EXPECT_EQ(d.groupCstP[0][1], 2);
    EXPECT_EQ(d.relSelect, (std::vector<int>{1, 0, 1}));
    EXPECT_EQ(t.p.hier.whichLevelCst, 3);
    EXPECT_EQ(d.SMWSize, 4);  // the data set follows the session's window size

    // Windows line ends and a byte-order mark read the same.
    TrackSession u;
    ReadText(u, test::WindowsText(text));
    EXPECT_EQ(TrackText(u.p, true), text);

    // Labels longer than their fields are cut and the items after them stay in step.
    std::string longer = text;
    longer.replace(longer.find("habitat"), 7, std::string(30, 'h'));
    longer.replace(longer.find("ABCD"), 4, "ABCDEFG");
    TrackSession v;
    ReadText(v, longer);
    EXPECT_EQ(v.p.data->partLabel[0], std::string(20, 'h'));
    EXPECT_EQ(v.p.data->partLabel[1], "year");
    EXPECT_EQ(v.p.data->grCstLabelP[0][0], "ABCD");
    EXPECT_EQ(v.p.data->grCstLabelP[0][1], "EFGH");
    EXPECT_EQ(v.p.hier.SMWSize, 4);
}

TEST(Track, NoPartitionsWriteLoneNewlines) {
    TrackSession s;
    const std::string text = TrackText(s.p, true);
    EXPECT_NE(text.find("\n0\n0\n\n\n0 0 \n1\n0\n0\n\n\n\n0 0 0 \n0\n"), std::string::npos) << text;
    TrackSession t;
    t.p.groups.nPart = 3;
    ReadText(t, text);
    EXPECT_EQ(t.p.groups.nPart, 0);
    EXPECT_EQ(t.p.groups.nPartCst, 0);
}

// A track of another version is reported and its settings ignored: the
// ShellScenario.OldSessionIgnoresTheSettingsOfAnotherVersion case.

TEST(Track, DamagedFullFormEndsWithTheFileMessage) {
    const std::string& text = FullTrack();
    const std::size_t shortEnd = std::string("aFormda.txt\n07Jul17\n").size();
    const std::size_t lastItem = text.size() - 2;  // "4\n": a cut inside it can still read
    for (std::size_t n = shortEnd; n < lastItem; ++n) {
        TrackSession t;
        const auto code = test::FatalOf([&] { ReadText(t, text.substr(0, n), "cutTrk.txt"); });
        if (n == shortEnd && !code) continue;  // only the short form is complete
        EXPECT_EQ(code, FatalCode::EndOfFile) << "cut at " << n;
        EXPECT_NE(t.err.str().find("\nfile cutTrk.txt "), std::string::npos);
    }
    auto refused = [&](const std::string& from, const std::string& to, const char* why) {
        std::string bad = text;
        bad.replace(bad.find(from), from.size(), to);
        TrackSession t;
        EXPECT_EQ(test::FatalOf([&] { ReadText(t, bad, "badTrk.txt"); }), FatalCode::EndOfFile) << why;
    };
    refused("\n2\n2\nhabitat", "\n11\n2\nhabitat", "eleven partitions");
    refused("\n2\n2\nhabitat", "\n-1\n2\nhabitat", "negative partition count");
    refused("habitat year \n2 1", "habitat year \n4 1", "more groups than communities");
    refused("\n1.25\n", "\nabc\n", "fuzziness not a number");
}

// The session's track file is written and read back in every recorded case; a
// missing one, which the program's dialogues never reach, is a failure to open.
TEST(Track, MissingFileFailsToOpen) {
    test::ScratchDir dir;
    TrackSession t;
    t.p.session.volumeName = dir.path().string() + "/";
    t.p.session.whichTrack = "noneTrk.txt";
    EXPECT_EQ(test::FatalOf([&] { ReadTrack(t.p); }), FatalCode::FailToOpen);
}

}  // namespace
}  // namespace kolvar
