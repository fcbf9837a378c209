// The command line and the recording of answers.
#include <gtest/gtest.h>

#include <sstream>

#include "program/CommandLine.hpp"

namespace kolvar {
namespace {

// The accepted and rejected forms of the command line, help, usage and the record
// file are runs of ShellScenario.CommandLineFormsAndTheRecordOfAnswers.

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

}  // namespace
}  // namespace kolvar
