#pragma once
// Options that outlive sessions, kept in "KOLVAR.prf" in the current folder:
// read when the main menu starts, written when the preferences dialogue is left.

#include <istream>
#include <ostream>
#include <string>

#include "program/Program.hpp"

namespace kolvar {

inline constexpr const char* KOLVARPrefsName = "KOLVAR.prf";
inline constexpr const char* versionPref = "17Apr2020";

/// Reads the 26 values after the version line. False, with `opt` untouched,
/// when the first word is not versionPref; a truncated or malformed file of
/// the right version prints "\nfile <label> " and throws EndOfFile.
bool ReadPreferencesFrom(Console& con, std::istream& fp, const std::string& label, Options& opt);
/// The version line, the 26 values and the time stamp.
void WritePreferencesText(std::ostream& fp, const Options& opt, const Clock& clock);
/// Replaces "KOLVAR.prf" whole; the old file survives a failure.
void WritePreferences(Program& p);

}  // namespace kolvar
