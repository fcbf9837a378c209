#pragma once
// Text files of the simulation, opened by name in the current folder: a
// failure to open names the file and raises FailToOpen, a failure to write
// names it and raises FailToPrint when the file is closed.

#include <fstream>
#include <ostream>
#include <string>

namespace kolvar {

class SimFile {
public:
    /// mode "w" empties the file, "a" appends.
    SimFile(const std::string& name, const char* mode, std::ostream* err);
    SimFile(const SimFile&) = delete;
    SimFile& operator=(const SimFile&) = delete;
    ~SimFile();
    std::ostream& operator*() { return fp_; }
    std::ostream& os() { return fp_; }
    /// Flushes and closes; FailToPrint when some write failed.
    void Close();

private:
    std::string name_;
    std::ostream* err_;
    std::ofstream fp_;
};

/// Empties (creates) a file and writes heading into it.
void CreateSimFile(const std::string& name, const std::string& heading, std::ostream* err);

}  // namespace kolvar
