#pragma once
// Whole-program dialogues for tests: the real kolvar binary in a fresh temporary
// folder with an answers text on standard input, or mainInit in-process.

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace kolvar::test {

/// A fresh temporary folder, removed with the object.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    /// Writes a file (binary, as given) into the folder.
    void Write(const std::string& name, const std::string& content) const;
    /// Copies a file of the source tree (path relative to the repository) into the folder.
    void CopyFromSource(const std::string& relative, const std::string& as = "") const;
    /// Content of a file in the folder; empty when it does not exist.
    std::string Read(const std::string& name) const;
    bool Exists(const std::string& name) const;

private:
    std::filesystem::path path_;
};

struct RunResult {
    std::string out;
    std::string err;
    int status = -1;      ///< exit status; -1 when killed (timeout or signal)
    bool timedOut = false;
};

/// Runs the kolvar binary in dir with answers on standard input. A run that
/// exceeds timeoutSeconds is killed and reported as timed out.
RunResult RunKolvar(const ScratchDir& dir, const std::string& answers, int timeoutSeconds = 60);
/// The same with command-line arguments after the program name.
RunResult RunKolvar(const ScratchDir& dir, const std::string& answers, const std::vector<std::string>& args,
                    int timeoutSeconds = 60);

/// Runs mainInit in-process with the current directory set to dir and a
/// fixed clock; returns the console texts and the status.
RunResult RunInProcess(const ScratchDir& dir, const std::string& answers);

/// Path of a file in the source tree.
std::filesystem::path SourcePath(const std::string& relative);
/// Whole content of a file (binary, as stored); empty when it cannot be read.
std::string Slurp(const std::filesystem::path& p);
/// Text without its time-stamp lines ("Mon Dec  7 00:08:32 2026") and elapsed-time lines.
std::string WithoutTimeStamps(const std::string& text);

}  // namespace kolvar::test
