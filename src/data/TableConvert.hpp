#pragma once
// Tables as users have them (CSV or TSV with a header row and row names, as
// R's write.csv / write.table and pandas' to_csv write them) turned into
// KOLVAR's raw input layout: the values, one row per line, then the labels.

#include <string>
#include <string_view>
#include <vector>

namespace kolvar {

/// A parsed table: every cell a decimal number or missing.
struct NamedTable {
    std::vector<std::string> columnNames;     ///< from the header row
    std::vector<std::string> rowNames;        ///< empty when the table has none
    std::vector<std::vector<std::string>> cells;  ///< number texts; "-999" where missing
    int missing = 0;                          ///< cells written as -999
    char delimiter = ',';                     ///< ',', '\t', ';' or ' ' (blank runs)
    std::string error;                        ///< empty when the table is sound
    bool ok() const { return error.empty(); }
};

/// Reads a table. The delimiter is found on the header line (tab, else comma,
/// else semicolon, else blanks); quotes group, "" inside quotes is a quote; a
/// byte-order mark and CRLF line ends are passed over; blank lines skipped.
/// Row names are present when the header has one field fewer than the rows
/// (R's write.table), its first field is empty (write.csv, to_csv), or every
/// row's first field is not a number. Missing: an empty cell, NA, NaN, nan,
/// N/A, NULL. With ';' a decimal comma is read as a point. Errors name the
/// file, the row and the column (1-based, as a spreadsheet shows them).
NamedTable ReadNamedTable(const std::string& name, std::string_view content);

/// Which names become KOLVAR's labels after the values.
enum class TableLabels { Columns, Rows, None };

/// Swaps rows and columns (names follow).
NamedTable Transposed(const NamedTable& t);

/// Labels as KOLVAR reads them: blanks become '_', at most 70 characters, an
/// empty name becomes its number.
std::string LabelWord(const std::string& name, std::size_t position);

/// The values, tab-separated, one row per line, then the chosen labels on one
/// line (none for TableLabels::None).
std::string KolvarLayout(const NamedTable& t, TableLabels labels);

}  // namespace kolvar
