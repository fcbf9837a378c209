#pragma once
// Tab-separated tables that R's read.delim and pandas' read_csv(sep="\t") read
// as they are: one header row, one line per record, missing values as NA.

#include <string>
#include <string_view>
#include <vector>

namespace kolvar {

/// A text field: tabs and line ends become blanks; a field holding a double
/// quote is quoted with the quotes doubled (both readers undo that).
std::string TsvField(std::string_view text);

/// A number with `digits` significant digits ("%.*g"); the missing-value code
/// -999 is written NA, not-a-number NaN, infinities Inf and -Inf.
std::string TsvNumber(double v, int digits);

/// The fields joined by tabs, ended by a line break (fields are taken as they are).
std::string TsvLine(const std::vector<std::string>& fields);

/// Writes `rows` (whole lines) under `header` (one line) into path. With
/// append, an existing table of the same header gets the rows added and no
/// second header; an existing file with another first line is kept as
/// path + ".old" and a new table started. Without append the file is replaced.
/// False when the file cannot be written.
bool WriteTsv(const std::string& path, const std::string& header, const std::string& rows, bool append);

}  // namespace kolvar
