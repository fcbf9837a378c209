#include "data/TableConvert.hpp"

#include <algorithm>

#include "base/Fmt.hpp"
#include "data/ImportReader.hpp"

namespace kolvar {

namespace {

struct Field {
    std::string text;
    bool quoted = false;
};

struct Record {
    int row = 0;  ///< line of the file where it starts (1-based)
    std::vector<Field> fields;
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

char FindDelimiter(std::string_view text) {
    bool inQuotes = false, comma = false, semicolon = false, any = false;
    for (char c : text) {
        if (c == '"') inQuotes = !inQuotes;
        if (inQuotes) continue;
        if (c == '\n' && any) break;  // the first line that holds anything
        any = any || !(IsBlank(c) || c == '\n');
        if (c == '\t') return '\t';
        comma = comma || c == ',';
        semicolon = semicolon || c == ';';
    }
    return comma ? ',' : semicolon ? ';' : ' ';
}

// Splits the text into records of fields. Blank lines give no record.
std::vector<Record> SplitRecords(std::string_view text, char delimiter, std::string& error, const std::string& name) {
    std::vector<Record> records;
    std::size_t k = 0;
    int line = 1;
    const bool blanks = delimiter == ' ';
    while (k < text.size()) {
        Record rec;
        rec.row = line;
        bool endOfRecord = false;
        while (!endOfRecord) {
            // Leading blanks of a field (and, with blank separation, the separator).
            while (k < text.size() && IsBlank(text[k]) && (blanks || text[k] != delimiter)) ++k;
            if (blanks && (k >= text.size() || text[k] == '\n')) {
                if (k < text.size()) ++k, ++line;
                break;
            }
            Field f;
            if (k < text.size() && text[k] == '"') {
                f.quoted = true;
                ++k;
                for (;;) {
                    if (k >= text.size()) {
                        error = Fmt("%s, row %d: a quote is not closed", name.c_str(), rec.row);
                        return records;
                    }
                    if (text[k] == '"') {
                        if (k + 1 < text.size() && text[k + 1] == '"') {
                            f.text.push_back('"');
                            k += 2;
                            continue;
                        }
                        ++k;
                        break;
                    }
                    if (text[k] == '\n') ++line;
                    f.text.push_back(text[k++]);
                }
                if (!blanks)
                    while (k < text.size() && IsBlank(text[k]) && text[k] != delimiter) ++k;
                if (k < text.size() && text[k] != '\n' && text[k] != delimiter && !(blanks && IsBlank(text[k]))) {
                    error = Fmt("%s, row %d, column %zu: text after a closing quote", name.c_str(), line,
                                rec.fields.size() + 1);
                    return records;
                }
            } else {
                while (k < text.size() && text[k] != '\n' && text[k] != delimiter && !(blanks && IsBlank(text[k])))
                    f.text.push_back(text[k++]);
                while (!f.text.empty() && IsBlank(f.text.back())) f.text.pop_back();
            }
            rec.fields.push_back(std::move(f));
            if (k >= text.size()) {
                endOfRecord = true;
            } else if (text[k] == '\n') {
                ++k, ++line;
                endOfRecord = true;
            } else if (!blanks) {
                ++k;  // the delimiter
            }
        }
        // A line holding nothing (or a single empty unquoted field) is blank.
        const bool blankLine = rec.fields.empty() || (rec.fields.size() == 1 && !rec.fields[0].quoted &&
                                                      rec.fields[0].text.empty());
        if (!blankLine) records.push_back(std::move(rec));
    }
    return records;
}

bool IsMissing(const Field& f) {
    static const char* const kMissingTexts[] = {"", "NA", "NaN", "nan", "N/A", "NULL", "null"};
    return std::any_of(std::begin(kMissingTexts), std::end(kMissingTexts),
                       [&](const char* m) { return f.text == m; });
}

// The number a cell holds, as KOLVAR will read it; false when it holds none.
bool NumberText(const Field& f, char delimiter, std::string& out) {
    std::string text = f.text;
    if (delimiter == ';') std::replace(text.begin(), text.end(), ',', '.');
    double v = 0.0;
    if (!ParseDecimal(text, v)) return false;
    out = text;
    return true;
}

}  // namespace

NamedTable ReadNamedTable(const std::string& name, std::string_view content) {
    NamedTable t;
    if (content.size() >= 3 && content.substr(0, 3) == "\xEF\xBB\xBF") content.remove_prefix(3);
    t.delimiter = FindDelimiter(content);
    std::vector<Record> records = SplitRecords(content, t.delimiter, t.error, name);
    if (!t.ok()) return t;
    if (records.empty()) {
        t.error = Fmt("%s: the file is empty", name.c_str());
        return t;
    }
    if (records.size() == 1) {
        t.error = Fmt("%s: no rows of values after the header row", name.c_str());
        return t;
    }
    const Record& header = records[0];
    const std::size_t width = records[1].fields.size();
    for (std::size_t r = 2; r < records.size(); ++r)
        if (records[r].fields.size() != width) {
            t.error = Fmt("%s, row %d: %zu fields, %zu expected (as in row %d)", name.c_str(), records[r].row,
                          records[r].fields.size(), width, records[1].row);
            return t;
        }
    bool rowNames = false;
    if (header.fields.size() + 1 == width) {
        rowNames = true;  // write.table: no name above the row names
    } else if (header.fields.size() == width) {
        rowNames = width > 1 && header.fields[0].text.empty();
        if (!rowNames && width > 1) {
            std::string ignored;
            rowNames = std::all_of(records.begin() + 1, records.end(), [&](const Record& rec) {
                return !IsMissing(rec.fields[0]) && !NumberText(rec.fields[0], t.delimiter, ignored);
            });
        }
    } else {
        t.error = Fmt("%s, row %d: %zu fields, %zu expected (as in row %d)", name.c_str(), header.row,
                      header.fields.size(), width, records[1].row);
        return t;
    }
    const std::size_t first = rowNames ? 1 : 0;
    if (first >= width) {
        t.error = Fmt("%s: no columns of values besides the row names", name.c_str());
        return t;
    }
    for (std::size_t c = header.fields.size() + first - width; c < header.fields.size(); ++c)
        t.columnNames.push_back(header.fields[c].text);
    for (std::size_t r = 1; r < records.size(); ++r) {
        const Record& rec = records[r];
        if (rowNames) t.rowNames.push_back(rec.fields[0].text);
        std::vector<std::string> row;
        row.reserve(width - first);
        for (std::size_t c = first; c < width; ++c) {
            std::string number;
            if (IsMissing(rec.fields[c])) {
                row.emplace_back("-999");
                ++t.missing;
            } else if (NumberText(rec.fields[c], t.delimiter, number)) {
                row.push_back(std::move(number));
            } else {
                t.error = Fmt("%s, row %d, column %zu: \"%s\" is not a number", name.c_str(), rec.row, c + 1,
                              rec.fields[c].text.c_str());
                return t;
            }
        }
        t.cells.push_back(std::move(row));
    }
    return t;
}

NamedTable Transposed(const NamedTable& t) {
    NamedTable out = t;
    out.columnNames = t.rowNames;
    out.rowNames = t.columnNames;
    const std::size_t rows = t.cells.size(), cols = rows ? t.cells[0].size() : 0;
    out.cells.assign(cols, std::vector<std::string>(rows));
    for (std::size_t r = 0; r < rows; ++r)
        for (std::size_t c = 0; c < cols; ++c) out.cells[c][r] = t.cells[r][c];
    return out;
}

std::string LabelWord(const std::string& name, std::size_t position) {
    std::string w;
    for (char c : name)  // every character the import takes as a separator
        w.push_back(c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' ? '_' : c);
    if (w.empty()) w = std::to_string(position);
    if (w.size() > 70) w.resize(70);
    return w;
}

std::string KolvarLayout(const NamedTable& t, TableLabels labels) {
    std::string out;
    for (const auto& row : t.cells) {
        for (std::size_t c = 0; c < row.size(); ++c) {
            if (c > 0) out.push_back('\t');
            out += row[c];
        }
        out.push_back('\n');
    }
    const std::vector<std::string>* names = labels == TableLabels::Columns ? &t.columnNames
                                            : labels == TableLabels::Rows  ? &t.rowNames
                                                                           : nullptr;
    if (names) {
        for (std::size_t k = 0; k < names->size(); ++k) {
            if (k > 0) out.push_back('\t');
            out += LabelWord((*names)[k], k + 1);
        }
        out.push_back('\n');
    }
    return out;
}

}  // namespace kolvar
