#pragma once
// The command line: `kolvar` runs the menus on standard input as it always
// did; `--record FILE` also keeps every answer read; `--help` and `--version`
// print and exit; anything else is a usage error (status 2).

#include <istream>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "base/Console.hpp"

namespace kolvar {

struct CommandLine {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    std::string recordPath;  ///< empty: no recording
    std::string error;       ///< for Error: what was wrong
};

/// Reads the arguments after the program name.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

/// "usage: kolvar [--record FILE] | --help | --version\n"
std::string UsageLine();
/// Usage, what the program does with its streams and the options.
std::string HelpText();
/// "KOLVAR v.2.11.75\n": the version of the title line.
std::string VersionText();

/// An input buffer that passes the characters of `source` through and writes
/// to `record` exactly those the program consumed: whatever was only looked
/// at, or is still unread when it ends, is not recorded. The record is
/// brought up to date, and flushed, each time the program waits for input.
class RecordingInput final : public std::streambuf {
public:
    RecordingInput(std::streambuf& source, std::ostream& record);
    ~RecordingInput() override;
    RecordingInput(const RecordingInput&) = delete;
    RecordingInput& operator=(const RecordingInput&) = delete;
    /// Writes what was consumed since the last commit.
    void Commit();

protected:
    int_type underflow() override;

private:
    std::streambuf& source_;
    std::ostream& record_;
    char buffer_[4096];
    char* committed_ = buffer_;
};

/// Everything main does: parses args, prints help/version/usage, or runs
/// mainInit on `in` (recorded to the named file when asked). Returns the
/// exit status: 0 after help or version, 2 after a usage error, 1 when the
/// record file cannot be created, else mainInit's.
int RunCommandLine(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err,
                   const Clock& clock);

}  // namespace kolvar
