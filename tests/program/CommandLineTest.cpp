// The command line and the recording of answers.
#include <gtest/gtest.h>

#include <sstream>

#include "program/CommandLine.hpp"
#include "support/Scenario.hpp"

namespace kolvar {
namespace {

using Action = CommandLine::Action;

TEST(ParseCommandLine, AcceptedAndRejectedForms) {
    struct Case {
        std::vector<std::string> args;
        Action action;
        std::string record;
    };
    const Case cases[] = {
        {{}, Action::Run, ""},
        {{"--record", "run.txt"}, Action::Run, "run.txt"},
        {{"--record=my run.txt"}, Action::Run, "my run.txt"},
        {{"--help"}, Action::Help, ""},
        {{"-h"}, Action::Help, ""},
        {{"--version"}, Action::Version, ""},
        {{"--version", "--help"}, Action::Help, ""},
        {{"--record"}, Action::Error, ""},
        {{"--record="}, Action::Error, ""},
        {{"--record", "a", "--record", "b"}, Action::Error, "a"},
        {{"--verbose"}, Action::Error, ""},
        {{"answers.txt"}, Action::Error, ""},
        {{"--help", "-x"}, Action::Error, ""},
    };
    for (const Case& c : cases) {
        const CommandLine cl = ParseCommandLine(c.args);
        const std::string shown = c.args.empty() ? "(none)" : c.args[0];
        EXPECT_EQ(cl.action, c.action) << shown;
        EXPECT_EQ(cl.recordPath, c.record) << shown;
        if (c.action == Action::Error) {
            EXPECT_FALSE(cl.error.empty()) << shown;
        }
    }
    EXPECT_EQ(ParseCommandLine({"-x"}).error, "unknown argument '-x'");
}

TEST(RecordingInput, RecordsWhatWasConsumedNotWhatWasPeekedOrLeft) {
    std::istringstream source("ab\ncd\nrest of input\n");
    std::ostringstream record;
    {
        RecordingInput recording(*source.rdbuf(), record);
        std::istream in(&recording);
        EXPECT_EQ(in.get(), 'a');
        EXPECT_EQ(in.peek(), 'b');  // looked at only
        recording.Commit();
        EXPECT_EQ(record.str(), "a");
        std::string line;
        std::getline(in, line);
        EXPECT_EQ(line, "b");
        EXPECT_EQ(in.get(), 'c');
        EXPECT_EQ(in.peek(), 'd');
    }  // the rest is never consumed
    EXPECT_EQ(record.str(), "ab\nc");
}

TEST(RecordingInput, LongInputAndEndOfInput) {
    std::string text;
    for (int i = 0; i < 3000; ++i) text += std::to_string(i) + '\n';  // several buffers' worth
    std::istringstream source(text);
    std::ostringstream record;
    {
        RecordingInput recording(*source.rdbuf(), record);
        std::istream in(&recording);
        std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(all, text);
        EXPECT_EQ(in.peek(), std::char_traits<char>::eof());
    }
    EXPECT_EQ(record.str(), text);
}

// The version line and the usage status are checked on the binary by the scenarios.
TEST(RunCommandLine, HelpUsageAndARecordedSession) {
    FixedClock clock;
    std::istringstream none;
    std::ostringstream out, err;
    EXPECT_EQ(RunCommandLine({"--help"}, none, out, err, clock), 0);
    EXPECT_EQ(out.str().rfind(UsageLine(), 0), 0u);
    EXPECT_NE(out.str().find("--record FILE"), std::string::npos);
    out.str("");
    EXPECT_EQ(RunCommandLine({"--bogus"}, none, out, err, clock), 2);
    EXPECT_EQ(err.str(), "kolvar: unknown argument '--bogus'\n" + UsageLine());
    EXPECT_TRUE(out.str().empty());

    test::ScratchDir dir;
    const std::string rec = (dir.path() / "rec.txt").string();
    std::istringstream answers("  q\nx   \nignored\n");  // a bad letter, then exit
    std::ostringstream out2, err2;
    EXPECT_EQ(RunCommandLine({"--record", rec}, answers, out2, err2, clock), 0);
    EXPECT_NE(err2.str().find("Incorrect input = q"), std::string::npos);
    EXPECT_EQ(dir.Read("rec.txt"), "  q\nx");
    std::istringstream again("X\n");
    std::ostringstream out3, err3;
    EXPECT_EQ(RunCommandLine({"--record", (dir.path() / "no" / "rec.txt").string()}, again, out3, err3, clock), 1);
    EXPECT_NE(err3.str().find("cannot create the record file"), std::string::npos);
}

}  // namespace
}  // namespace kolvar
