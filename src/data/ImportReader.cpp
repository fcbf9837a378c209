#include "data/ImportReader.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "base/Fmt.hpp"

namespace kolvar {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }
bool IsDigitChar(char c) { return c >= '0' && c <= '9'; }

struct Line {
    int row = 0;                          ///< 1-based line number in the file
    std::vector<std::string_view> items;  ///< blank-separated items, in order
};

std::string_view WithoutByteOrderMark(std::string_view content) {
    if (content.size() >= 3 && static_cast<unsigned char>(content[0]) == 0xEF &&
        static_cast<unsigned char>(content[1]) == 0xBB && static_cast<unsigned char>(content[2]) == 0xBF)
        content.remove_prefix(3);
    return content;
}

// The non-empty lines of the file with their items.
std::vector<Line> SplitLines(std::string_view content) {
    content = WithoutByteOrderMark(content);
    std::vector<Line> lines;
    int row = 1;
    std::size_t pos = 0;
    while (pos <= content.size()) {
        std::size_t end = content.find('\n', pos);
        if (end == std::string_view::npos) end = content.size();
        Line line;
        line.row = row;
        for (std::size_t k = pos; k < end;) {
            while (k < end && IsBlank(content[k])) ++k;
            const std::size_t start = k;
            while (k < end && !IsBlank(content[k])) ++k;
            if (k > start) line.items.push_back(content.substr(start, k - start));
        }
        if (!line.items.empty()) lines.push_back(std::move(line));
        if (end == content.size()) break;
        pos = end + 1;
        ++row;
    }
    return lines;
}

std::string Shown(std::string_view item) {
    // Long items are cut so the message stays one line.
    constexpr std::size_t kMost = 40;
    return item.size() <= kMost ? std::string(item) : std::string(item.substr(0, kMost)) + "...";
}

// A pointer to a data file made by another program: a header row, row names,
// quotes or commas.
bool LooksLikeTable(std::string_view item, bool firstRow) {
    return firstRow || item.find_first_of("\",;'") != std::string_view::npos;
}

constexpr const char* kConvertHint =
    "\n(a table with a header row, row names, quotes or commas can be converted with kolvar-convert)";

std::string ValueError(const std::string& name, const Line& line, std::size_t k, bool firstRow) {
    const std::string_view item = line.items[k];
    bool overflow = false;
    double v = 0.0;
    if (ParseDecimal(item, v, &overflow)) return {};
    if (overflow)
        return Fmt("%s, row %d, column %zu: \"%s\" is beyond the range of numbers (largest %g)", name.c_str(),
                   line.row, k + 1, Shown(item).c_str(), 1.7976931348623157e308);
    std::string msg = Fmt("%s, row %d, column %zu: \"%s\" is not a number (write missing values as -999)",
                          name.c_str(), line.row, k + 1, Shown(item).c_str());
    if (LooksLikeTable(item, firstRow)) msg += kConvertHint;
    return msg;
}

std::string Plural(long long n, const char* one, const char* many) {
    return Fmt("%lld %s", n, n == 1 ? one : many);
}

// Walks the items after the values: the labels, then nothing.
class Tail {
public:
    Tail(const std::vector<Line>& lines, std::size_t line, std::size_t item) : lines_(lines), line_(line), item_(item) {
        Settle();
    }
    bool AtEnd() const { return line_ >= lines_.size(); }
    const Line& line() const { return lines_[line_]; }
    std::size_t item() const { return item_; }
    void Next() {
        ++item_;
        Settle();
    }

private:
    void Settle() {
        while (line_ < lines_.size() && item_ >= lines_[line_].items.size()) {
            ++line_;
            item_ = 0;
        }
    }
    const std::vector<Line>& lines_;
    std::size_t line_;
    std::size_t item_;
};

void ReadTail(const std::string& name, const std::vector<Line>& lines, Tail tail, const RawLayout& layout,
              RawRead& out) {
    const std::string after = layout.labels > 0 ? std::string("the labels")
                                                : Fmt("the values (%s)", layout.shape.c_str());
    out.labels.reserve(static_cast<std::size_t>(std::min<long long>(layout.labels, 1 << 20)));
    bool numeric = true;
    int firstRow = 0;
    std::size_t firstColumn = 0;
    std::string firstItem;
    for (long long k = 0; k < layout.labels; ++k, tail.Next()) {
        if (tail.AtEnd()) {
            out.error = Fmt("%s: %s expected after the values, the file holds %s", name.c_str(),
                            Plural(layout.labels, "label", "labels").c_str(), Plural(k, "label", "labels").c_str());
            return;
        }
        const std::string_view item = tail.line().items[tail.item()];
        double v = 0.0;
        bool overflow = false;
        // Numbered sites or traits are common, so labels that read as numbers
        // are kept; when all of them do, one more row of values may have been
        // taken for the labels, and the user is told where to look.
        if (!(ParseDecimal(item, v, &overflow) || overflow)) {
            numeric = false;
        } else if (k == 0) {
            firstRow = tail.line().row;
            firstColumn = tail.item() + 1;
            firstItem = Shown(item);
        }
        out.labels.emplace_back(item);
    }
    if (!tail.AtEnd()) {
        out.error = Fmt("%s, row %d, column %zu: \"%s\" is left over after %s", name.c_str(), tail.line().row,
                        tail.item() + 1, Shown(tail.line().items[tail.item()]).c_str(), after.c_str());
    } else if (numeric && layout.labels > 0) {
        out.warning = Fmt("%s, row %d, column %zu: the labels, from \"%s\" on, read as numbers; if they are "
                          "values, the file has more rows than %s",
                          name.c_str(), firstRow, firstColumn, firstItem.c_str(), layout.shape.c_str());
    }
    (void)lines;
}

long long RowLength(const RawLayout& layout, long long r) {
    return layout.kind == RawLayout::Rows::LowerHalf ? r + 1 : layout.cols;
}

}  // namespace

long long RawLayout::Values() const {
    switch (kind) {
        case Rows::Uniform: return rows * cols;
        case Rows::LowerHalf: return rows * (rows + 1) / 2;
        case Rows::Free: return total;
    }
    return 0;
}

bool ParseDecimal(std::string_view text, double& value, bool* overflow) {
    if (overflow) *overflow = false;
    std::size_t k = 0;
    if (k < text.size() && (text[k] == '+' || text[k] == '-')) ++k;
    std::size_t digits = 0;
    while (k < text.size() && IsDigitChar(text[k])) ++k, ++digits;
    if (k < text.size() && text[k] == '.') {
        ++k;
        while (k < text.size() && IsDigitChar(text[k])) ++k, ++digits;
    }
    if (digits == 0) return false;
    if (k < text.size() && (text[k] == 'e' || text[k] == 'E')) {
        ++k;
        if (k < text.size() && (text[k] == '+' || text[k] == '-')) ++k;
        std::size_t expDigits = 0;
        while (k < text.size() && IsDigitChar(text[k])) ++k, ++expDigits;
        if (expDigits == 0) return false;
    }
    if (k != text.size()) return false;
    const std::string copy(text);
    errno = 0;
    const double v = std::strtod(copy.c_str(), nullptr);
    if (!std::isfinite(v)) {
        if (overflow) *overflow = true;
        return false;
    }
    value = v;  // an underflow to zero or a subnormal is a number
    return true;
}

RawRead ReadRawMatrix(const std::string& name, std::string_view content, const RawLayout& layout) {
    RawRead out;
    const std::vector<Line> lines = SplitLines(content);
    const long long wanted = layout.Values();
    if (lines.empty()) {
        if (wanted > 0 || layout.labels > 0) out.error = Fmt("%s: the file is empty", name.c_str());
        return out;
    }
    long long available = 0;
    for (const Line& l : lines) available += static_cast<long long>(l.items.size());
    out.values.reserve(static_cast<std::size_t>(std::min(wanted, available)));

    // Laid out in rows unless the values stand on one line or one per line.
    bool rows = layout.kind != RawLayout::Rows::Free;
    if (rows) {
        long long seen = 0;
        std::size_t linesWithValues = 0;
        bool wide = false;
        for (const Line& l : lines) {
            if (seen >= wanted) break;
            ++linesWithValues;
            wide = wide || l.items.size() > 1;
            seen += static_cast<long long>(l.items.size());
        }
        rows = linesWithValues > 1 && wide;
    }

    if (rows) {
        std::size_t li = 0;
        for (long long r = 0; r < layout.rows; ++r, ++li) {
            if (li >= lines.size()) {
                out.error = Fmt("%s: %s expected, the file ends after %s", name.c_str(), layout.shape.c_str(),
                                Plural(r, "row", "rows").c_str());
                return out;
            }
            const Line& line = lines[li];
            const long long expected = RowLength(layout, r);
            if (static_cast<long long>(line.items.size()) != expected) {
                // A bad value before the short row is the more useful message.
                for (std::size_t k = 0; k < line.items.size(); ++k) {
                    out.error = ValueError(name, line, k, li == 0);
                    if (!out.ok() && static_cast<long long>(k) < expected) return out;
                }
                out.error = Fmt("%s: %s expected, row %d has %s", name.c_str(), layout.shape.c_str(), line.row,
                                Plural(static_cast<long long>(line.items.size()), "value", "values").c_str());
                return out;
            }
            for (std::size_t k = 0; k < line.items.size(); ++k) {
                out.error = ValueError(name, line, k, li == 0);
                if (!out.ok()) return out;
                double v = 0.0;
                ParseDecimal(line.items[k], v);
                out.values.push_back(v);
            }
        }
        ReadTail(name, lines, Tail(lines, li, 0), layout, out);
        return out;
    }

    // Free layout: the values in order, whatever the lines.
    std::size_t li = 0, k = 0;
    for (long long n = 0; n < wanted; ++n) {
        while (li < lines.size() && k >= lines[li].items.size()) {
            ++li;
            k = 0;
        }
        if (li >= lines.size()) {
            out.error = Fmt("%s: %s expected (%lld values), the file holds %lld", name.c_str(), layout.shape.c_str(),
                            wanted, n);
            return out;
        }
        out.error = ValueError(name, lines[li], k, li == 0);
        if (!out.ok()) return out;
        double v = 0.0;
        ParseDecimal(lines[li].items[k], v);
        out.values.push_back(v);
        ++k;
    }
    ReadTail(name, lines, Tail(lines, li, k), layout, out);
    return out;
}

RawNames ReadRawNames(const std::string& name, std::string_view content, long long n, std::size_t maxLen) {
    RawNames out;
    content = WithoutByteOrderMark(content);
    int row = 0;
    std::size_t pos = 0;
    while (pos < content.size()) {
        std::size_t end = content.find('\n', pos);
        if (end == std::string_view::npos) end = content.size();
        ++row;
        std::string_view line = content.substr(pos, end - pos);
        pos = end + 1;
        while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
        // A carriage return ends the name, as it ends a field of a line.
        const std::size_t cr = line.find('\r');
        if (cr != std::string_view::npos) line = line.substr(0, cr);
        if (line.empty()) continue;
        if (static_cast<long long>(out.names.size()) >= n) {
            out.error = Fmt("%s, row %d: \"%s\" is left over after %s (one per line)", name.c_str(), row,
                            Shown(line).c_str(), Plural(n, "species name", "species names").c_str());
            return out;
        }
        std::string text(line.substr(0, std::min(maxLen, line.size())));
        std::replace(text.begin(), text.end(), '\t', ' ');
        out.names.push_back(std::move(text));
    }
    if (static_cast<long long>(out.names.size()) < n)
        out.error = Fmt("%s: %s expected (one per line), the file holds %s", name.c_str(),
                        Plural(n, "species name", "species names").c_str(),
                        Plural(static_cast<long long>(out.names.size()), "name", "names").c_str());
    return out;
}

}  // namespace kolvar
