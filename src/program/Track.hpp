#pragma once
// The session's track file: which formatted data file the session uses, which
// results exist, and the analysis settings and partitions chosen so far.

#include <istream>
#include <ostream>
#include <string>

#include "program/Program.hpp"

namespace kolvar {

inline constexpr const char* versionTrack = "07Jul17";
inline constexpr int kMaxFileName = 159;  ///< longest name held in a file-name slot

/// Replaces the track file whole: the short form (data file and version) or,
/// with `full` and an open data set, every recorded setting. The old file
/// survives a failure (FailToOpen or FailToPrint).
void WriteTrack(Program& p, bool full);
/// The text WriteTrack writes; the full form falls back to the short one when
/// no data set is open, since its vector lengths come from the data set.
void WriteTrackText(std::ostream& fp, const Program& p, bool full);
/// Reads a track file from `fp` into the session; `label` names the file in
/// messages. The full form is read only with the current version and an open
/// data set (its nch, ncsm and tcst size the later lines); a damaged full form
/// prints "\nfile <label> " and throws EndOfFile.
void ReadTrackFrom(Program& p, std::istream& fp, const std::string& label);

}  // namespace kolvar
