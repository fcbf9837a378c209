#pragma once
// Stored files (formatted data, track, preferences) are replaced whole or not
// at all: the text is assembled in memory, written to a temporary file in the
// same folder, flushed to disk and renamed over the old file. A failure at any
// step leaves the old file as it was.

#include <istream>
#include <sstream>
#include <string>

#include "base/Console.hpp"

namespace kolvar {

/// Collects the text of one file; nothing touches the disk before Commit.
class SafeWriter {
public:
    SafeWriter(Console& con, std::string path) : con_(con), path_(std::move(path)) {}
    std::ostream& out() { return text_; }
    /// Replaces `path` by the collected text. A temporary file that cannot be
    /// created prints "\ncan't open %s \n" and throws FailToOpen; a write, flush
    /// or rename that fails prints "\nfile %s " and throws FailToPrint. Either
    /// way the old file is kept and no temporary file remains.
    void Commit();

private:
    Console& con_;
    std::string path_;
    std::ostringstream text_;
};

/// Writes `text` as the whole content of `path` with the guarantees of SafeWriter.
void SafeWriteFile(Console& con, const std::string& path, const std::string& text);

/// Passes over a UTF-8 byte-order mark at the start of a stream, so files
/// saved by editors that add one read as the plain text they hold.
void SkipByteOrderMark(std::istream& fp);

}  // namespace kolvar
