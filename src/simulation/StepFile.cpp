#include "simulation/StepFile.hpp"

#include <iostream>

#include "base/Fatal.hpp"
#include "base/Fmt.hpp"

namespace kolvar {

SimFile::SimFile(const std::string& name, const char* mode, std::ostream* err)
    : name_(name), err_(err ? err : &std::cerr) {
    const auto how = std::string(mode) == "a" ? std::ios::out | std::ios::app : std::ios::out | std::ios::trunc;
    fp_.open(name, how);
    if (!fp_) {
        *err_ << Fmt("\ncan't open %s \n", name.c_str()) << '\a';
        throw FatalError{FatalCode::FailToOpen};
    }
}

SimFile::~SimFile() = default;

void SimFile::Close() {
    if (!fp_.is_open()) return;
    fp_.flush();
    const bool ok = static_cast<bool>(fp_);
    fp_.close();
    if (!ok || fp_.fail()) {
        *err_ << Fmt("\nfile %s ", name_.c_str());
        throw FatalError{FatalCode::FailToPrint};
    }
}

void CreateSimFile(const std::string& name, const std::string& heading, std::ostream* err) {
    SimFile f(name, "w", err);
    *f << heading;
    f.Close();
}

}  // namespace kolvar
