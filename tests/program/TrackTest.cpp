#include "program/Track.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "base/Fatal.hpp"
#include "program/Actions.hpp"
#include "support/Scenario.hpp"

namespace kolvar {
namespace {

struct TrackSession {
    std::istringstream in;
    std::ostringstream out, err;
    Console con{in, out, err};
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

void FillSettings(Program& p) {
    DataSet& d = *p.data;
    p.session.whichHier = "aHie.txt";
    p.flags.hasHier = 1;
    p.flags.hasRoVelComplexPROB = 1;
    p.hier.isHierarchical = 0;
    p.hier.traitBasedOpt = 1;
    p.hier.optEnvStruct = 4;
    p.hier.rese_opt = 10;
    p.hier.reseCstOpt = 0;
    p.hier.partOpt = 2;
    d.nchor = {1, 2};
    d.rcst = {4, 3};
    d.nGrPoly = {3, 2};
    p.hier.fuzzy = 3;
    p.hier.fuzziness = 1.25;
    p.hier.reseTypeOrd = 1;
    p.hier.reseTypeERank = 5;
    p.hier.cohe = 7;
    p.hier.keepRichness = 1;
    p.groups.nPart = 2;
    p.hier.whichPart = 2;
    d.partLabel[0] = "habitat";
    d.partLabel[1] = "year";
    d.nGroupsP[0] = 2;
    d.nGroupsP[1] = 1;
    d.grLabelP[0][0] = "wet";
    d.grLabelP[0][1] = "dry";
    d.grLabelP[1][0] = "y1";
    for (int j = 0; j < 3; ++j) {
        d.groupRelP[0][j] = j == 2 ? 2 : 1;
        d.groupRelP[1][j] = 1;
    }
    p.hier.whichPartAOC = 1;
    p.hier.whichPartCstAOC = 6;
    p.groups.whichLevelGrCST = 2;
    p.groups.nPartCst = 1;
    p.hier.whichCstPart = 1;
    d.partCstLabel[0] = "types";
    d.nGroupsCstP[0] = 2;
    d.grCstLabelP[0][0] = "ABCD";
    d.grCstLabelP[0][1] = "EFGH";
    d.whichLevelGrCstP[0] = 2;  // rcst[1] = 3 group numbers
    d.groupCstP[0][0] = 1;
    d.groupCstP[0][1] = 2;
    d.groupCstP[0][2] = 2;
    d.groupCstP[0][3] = 9;  // beyond the level's count: not recorded
    d.relSelect = {1, 0, 1};
    p.hier.doDistrib = 1;
    p.hier.adjacentRelOpt = 2;
    p.hier.whichLevelCst = 3;
    p.hier.poolCSTopt = 2;
    p.hier.clusMethPoolCSTs = 0;
    p.hier.SMWSize = 4;
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
    std::istringstream fp("otherFormda.txt\n07Jul17\n");
    ReadTrackFrom(t.p, fp, "aTrk.txt");
    EXPECT_EQ(t.p.session.whichFormda, "otherFormda.txt");
    EXPECT_EQ(t.p.hier.rese_opt, 9);  // the short form leaves the settings in memory
    EXPECT_TRUE(t.out.str().empty());
}

TEST(Track, FullFormLayoutAndRoundTrip) {
    TrackSession s;
    FillSettings(s.p);
    const std::string text = TrackText(s.p, true);
    const std::string expected =
        "aFormda.txt\n07Jul17\nNULL\nNULL\nNULL\naHie.txt\n" + [] {
            std::string n;
            for (int i = 0; i < 13; ++i) n += "NULL\n";
            return n;
        }() +
        "0\n1\n0\n0\n0\n1\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n1\n4\n10\n0\n2\n"
        "1 2 \n4 3 \n3 2 \n3\n1.25\n1\n0\n0\n0\n5\n7\n0\n0\n1\n2\n2\n"
        "habitat year \n2 1 \nwet dry \ny1 \n1 1 2 \n1 1 1 \n1 6 \n2\n"
        "1\n1\ntypes \n2 \nABCD EFGH \n2 \n1 2 2 \n1 0 1 \n1\n2\n3\n2\n0\n4\n";
    EXPECT_EQ(text, expected);

    TrackSession t;
    std::istringstream fp(text);
    ReadTrackFrom(t.p, fp, "aTrk.txt");
    EXPECT_TRUE(t.err.str().empty());
    // Written again the same: every setting written was read back.
    EXPECT_EQ(TrackText(t.p, true), text);
    EXPECT_EQ(t.p.data->grCstLabelP[0][0], "ABCD");  // four-character labels stay apart
    EXPECT_EQ(t.p.data->groupCstP[0][3], 0);
    EXPECT_EQ(t.p.data->SMWSize, 4);  // the data set follows the session's window size

    // Windows line ends and a byte-order mark read the same.
    std::string crlf = "\xEF\xBB\xBF";
    for (char c : text) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    TrackSession u;
    std::istringstream fp2(crlf);
    ReadTrackFrom(u.p, fp2, "aTrk.txt");
    EXPECT_EQ(TrackText(u.p, true), text);

    // Labels longer than their fields are cut and the items after them stay in step.
    std::string longer = text;
    longer.replace(longer.find("habitat"), 7, std::string(30, 'h'));
    longer.replace(longer.find("ABCD"), 4, "ABCDEFG");
    TrackSession v;
    std::istringstream fp3(longer);
    ReadTrackFrom(v.p, fp3, "aTrk.txt");
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
    std::istringstream fp(text);
    ReadTrackFrom(t.p, fp, "aTrk.txt");
    EXPECT_EQ(t.p.groups.nPart, 0);
    EXPECT_EQ(t.p.groups.nPartCst, 0);
}

TEST(Track, OtherVersionIsReportedAndIgnored) {
    TrackSession s;
    FillSettings(s.p);
    std::string text = TrackText(s.p, true);
    text.replace(text.find("07Jul17"), 7, "01Jan09");
    TrackSession t;
    std::istringstream fp(text);
    ReadTrackFrom(t.p, fp, "aTrk.txt");
    EXPECT_EQ(t.out.str(),
              "\nFormda file is compatible, but other files of the session are not compatible with this program "
              "version." + std::string(53, ' ') + "\n");
    EXPECT_EQ(t.p.session.whichFormda, "aFormda.txt");
    EXPECT_EQ(t.p.hier.rese_opt, 0);
    EXPECT_EQ(t.p.groups.nPart, 0);
}

TEST(Track, DamagedFullFormEndsWithTheFileMessage) {
    TrackSession s;
    FillSettings(s.p);
    const std::string text = TrackText(s.p, true);
    const std::size_t shortEnd = std::string("aFormda.txt\n07Jul17\n").size();
    const std::size_t lastItem = text.size() - 2;  // "4\n": a cut inside it can still read
    for (std::size_t n = shortEnd; n < lastItem; ++n) {
        TrackSession t;
        std::istringstream fp(text.substr(0, n));
        try {
            ReadTrackFrom(t.p, fp, "cutTrk.txt");
            EXPECT_EQ(n, shortEnd) << "cut at " << n;  // only the short form is complete
        } catch (const FatalError& e) {
            EXPECT_EQ(e.code, FatalCode::EndOfFile);
            EXPECT_NE(t.err.str().find("\nfile cutTrk.txt "), std::string::npos);
        }
    }
    auto refused = [&](const std::string& from, const std::string& to, const char* why) {
        std::string bad = text;
        bad.replace(bad.find(from), from.size(), to);
        TrackSession t;
        std::istringstream fp(bad);
        try {
            ReadTrackFrom(t.p, fp, "badTrk.txt");
            ADD_FAILURE() << why;
        } catch (const FatalError& e) {
            EXPECT_EQ(e.code, FatalCode::EndOfFile) << why;
        }
    };
    refused("\n2\n2\nhabitat", "\n11\n2\nhabitat", "eleven partitions");
    refused("\n2\n2\nhabitat", "\n-1\n2\nhabitat", "negative partition count");
    refused("habitat year \n2 1", "habitat year \n4 1", "more groups than communities");
    refused("\n1.25\n", "\nabc\n", "fuzziness not a number");
}

TEST(Track, FilesOfTheSession) {
    test::ScratchDir dir;
    TrackSession s;
    FillSettings(s.p);
    s.p.session.volumeName = dir.path().string() + "/";
    WriteTrack(s.p, true);
    TrackSession t;
    t.p.session.volumeName = s.p.session.volumeName;
    EXPECT_EQ(ReadTrack(t.p), 1);
    EXPECT_EQ(t.p.hier.cohe, 7);
    WriteTrack(s.p, false);
    EXPECT_EQ(dir.Read("aTrk.txt"), "aFormda.txt\n07Jul17\n");

    t.p.session.whichTrack = "noneTrk.txt";
    try {
        ReadTrack(t.p);
        ADD_FAILURE() << "a missing track file opened";
    } catch (const FatalError& e) {
        EXPECT_EQ(e.code, FatalCode::FailToOpen);
    }
}

}  // namespace
}  // namespace kolvar
