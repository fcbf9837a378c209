#pragma once
// Reading one raw data file of the import against the sizes the user gave.
// The whole file is checked before anything is stored: the number of values
// per row and of rows (where the file is laid out as a table), every value,
// and what follows the values (labels, nothing left over). A bad file gives
// one message naming the file, the row and the column (1-based, as a user
// counts them in an editor) and what was found there.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kolvar {

/// How the values of a raw file are arranged.
struct RawLayout {
    enum class Rows {
        Uniform,    ///< `rows` rows of `cols` values each
        LowerHalf,  ///< `rows` rows, row r (from 0) holding r + 1 values
        Free        ///< `total` values, no row structure (the vector layout)
    };
    Rows kind = Rows::Uniform;
    long long rows = 0;
    long long cols = 0;
    long long total = 0;       ///< Free only
    std::string shape;         ///< for messages: "5 OTUs x 3 traits"
    long long labels = 0;      ///< labels expected after the values

    /// Values the layout holds (in a wide type: counts typed by a user may be huge).
    long long Values() const;
};

/// The values in file order and the labels that follow them, or an error.
struct RawRead {
    std::vector<double> values;
    std::vector<std::string> labels;
    std::string error;    ///< empty when the file fits the layout
    std::string warning;  ///< a doubt about a file that fits (every label reads as a number)
    bool ok() const { return error.empty(); }
};

/// Checks `content` (the whole file `name`) against the layout. Items are
/// separated by blanks, tabs or line ends; a UTF-8 byte-order mark is passed
/// over. A file counts as laid out in rows unless all its values stand on one
/// line or one per line; then every row of the layout must be one line.
RawRead ReadRawMatrix(const std::string& name, std::string_view content, const RawLayout& layout);

/// One species name per line (blank lines skipped, tabs read as blanks, at
/// most maxLen characters kept): exactly n names, nothing after them.
struct RawNames {
    std::vector<std::string> names;
    std::string error;
    bool ok() const { return error.empty(); }
};
RawNames ReadRawNames(const std::string& name, std::string_view content, long long n, std::size_t maxLen);

/// A whole item read as a decimal number: optional sign, digits with at most
/// one point, optional exponent. Infinities, NaN, hexadecimal forms and
/// numbers beyond the range of a double are refused (`overflow` says which).
bool ParseDecimal(std::string_view text, double& value, bool* overflow = nullptr);

}  // namespace kolvar
