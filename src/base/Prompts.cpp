#include "base/Prompts.hpp"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "base/Fatal.hpp"
#include "base/Fmt.hpp"

namespace kolvar {

namespace {

constexpr int kEof = std::char_traits<char>::eof();
constexpr char kBell = '\a';

bool IsSpace(int c) { return c != kEof && std::isspace(static_cast<unsigned char>(c)); }
bool IsDigit(int c) { return c != kEof && std::isdigit(static_cast<unsigned char>(c)); }

void SkipSpace(std::istream& fp) {
    while (IsSpace(fp.peek())) fp.get();
}

// Appends the digits that follow; returns how many.
int TakeDigits(std::istream& fp, std::string& text) {
    int n = 0;
    while (IsDigit(fp.peek())) {
        text.push_back(static_cast<char>(fp.get()));
        ++n;
    }
    return n;
}

[[noreturn]] void EndOfInput(Console& con, const std::string& label) {
    con.err << "\nfile " << label << ' ' << kBell;
    con.err.flush();
    throw FatalError{FatalCode::EndOfFile};
}

void EndOfFileNotice(Console& con, const std::string& label) {
    con.err << "\nEnd of file " << label << '\n' << kBell;
}

void Reject(Console& con, const std::string& shown, const std::string& accepted) {
    con.err << kBell << "\nIncorrect input = " << shown << ". Reenter.\n" << "Accepted input: " << accepted << '\n';
}

// True at end of input, leaving the stream readable for later attempts.
bool AtEnd(std::istream& fp) {
    if (fp.peek() == kEof) {
        fp.clear(fp.rdstate() & ~std::ios::failbit);
        return true;
    }
    return false;
}

// Formats one echoed value with a C format taken from the program's own texts.
std::string EchoNumber(const char* format, double value) {
    for (const char* p = format; *p; ++p) {
        char buf[128];
        int n = -1;
        switch (*p) {
            case 'd': n = std::snprintf(buf, sizeof buf, format, TruncToInt(value)); break;
            case 'f': n = std::snprintf(buf, sizeof buf, format, static_cast<double>(static_cast<float>(value))); break;
            case 'g':
            case 'l': n = std::snprintf(buf, sizeof buf, format, value); break;
            case 'u':
                n = std::snprintf(buf, sizeof buf, format,
                                  value > 0 && value < 1.8e19 ? static_cast<unsigned long>(value) : 0UL);
                break;
            default: continue;
        }
        return n < 0 ? std::string() : std::string(buf, static_cast<std::size_t>(std::min<int>(n, sizeof buf - 1)));
    }
    return {};
}

}  // namespace

int TruncToInt(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return INT_MAX;
    if (v <= -2147483648.0) return INT_MIN;
    return static_cast<int>(v);
}

bool ScanDoubleToken(std::istream& fp, double& value) {
    SkipSpace(fp);
    std::string text;
    if (fp.peek() == '+' || fp.peek() == '-') text.push_back(static_cast<char>(fp.get()));
    int digits = TakeDigits(fp, text);
    if (fp.peek() == '.') {
        text.push_back(static_cast<char>(fp.get()));
        digits += TakeDigits(fp, text);
    }
    if (digits == 0) {
        AtEnd(fp);
        return false;
    }
    if (fp.peek() == 'e' || fp.peek() == 'E') {
        // An exponent without digits is dropped, as the C library does.
        std::string exponent(1, static_cast<char>(fp.get()));
        if (fp.peek() == '+' || fp.peek() == '-') exponent.push_back(static_cast<char>(fp.get()));
        if (TakeDigits(fp, exponent) > 0) text += exponent;
    }
    AtEnd(fp);
    value = std::strtod(text.c_str(), nullptr);
    return true;
}

bool ScanIntToken(std::istream& fp, int& value) {
    SkipSpace(fp);
    std::string text;
    if (fp.peek() == '+' || fp.peek() == '-') text.push_back(static_cast<char>(fp.get()));
    const int digits = TakeDigits(fp, text);
    AtEnd(fp);
    if (digits == 0) return false;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), nullptr, 10);
    if (errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
    value = static_cast<int>(v);
    return true;
}

bool ScanWordToken(std::istream& fp, std::string& word, std::size_t maxChars) {
    SkipSpace(fp);
    word.clear();
    while (word.size() < maxChars) {
        const int c = fp.peek();
        if (c == kEof || IsSpace(c)) break;
        word.push_back(static_cast<char>(fp.get()));
    }
    AtEnd(fp);
    return !word.empty();
}

std::unique_ptr<std::fstream> fopenck(Console& con, const std::string& name, const std::string& directory,
                                      const char* mode) {
    const std::string path = directory + name;
    const std::string_view m(mode);
    std::ios::openmode flags{};
    if (m.starts_with("r+"))
        flags = std::ios::in | std::ios::out;
    else if (m.starts_with('r'))
        flags = std::ios::in;
    else if (m.starts_with('w'))
        flags = std::ios::out | std::ios::trunc;
    else if (m.starts_with('a'))
        flags = std::ios::out | std::ios::app;
    auto file = std::make_unique<std::fstream>();
    std::error_code ec;
    if (!path.empty() && !std::filesystem::is_directory(path, ec)) file->open(path, flags | std::ios::binary);
    if (!file->is_open()) {
        con.err << "\ncan't open " << path << " \n";
        con.out << kBell;
        return nullptr;
    }
    return file;
}

void freadck(Console& con, std::istream& fp, double& value, const std::string& label) {
    if (!ScanDoubleToken(fp, value)) EndOfInput(con, label);
}

void freadck(Console& con, std::istream& fp, int& value, const std::string& label) {
    if (!ScanIntToken(fp, value)) EndOfInput(con, label);
}

void freadck(Console& con, std::istream& fp, std::string& word, const std::string& label, std::size_t maxChars) {
    if (!ScanWordToken(fp, word, maxChars)) EndOfInput(con, label);
}

bool freadck1(Console& con, std::istream& fp, double& value, const std::string& label) {
    for (;;) {
        if (ScanDoubleToken(fp, value)) return true;
        if (fp.get() == kEof) {
            fp.clear(fp.rdstate() & ~std::ios::failbit);
            EndOfFileNotice(con, label);
            return false;
        }
    }
}

bool freadck1(Console& con, std::istream& fp, std::string& word, const std::string& label) {
    if (ScanWordToken(fp, word)) return true;
    EndOfFileNotice(con, label);
    return false;
}

char ScanChar(Console& con, std::istream& fp, std::string_view accepted, const std::string& label) {
    for (;;) {
        const int raw = fp.get();
        if (raw == kEof) {
            fp.clear(fp.rdstate() & ~std::ios::failbit);
            EndOfInput(con, label);
        }
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(raw)));
        const bool blankOrControl = c == ' ' || std::iscntrl(static_cast<unsigned char>(c));
        if (accepted.empty()) {
            if (c != ' ' && c != '\t' && c != '\n') return c;
            continue;
        }
        if (blankOrControl) continue;
        for (char a : accepted)
            if (a != ' ' && std::tolower(static_cast<unsigned char>(a)) == static_cast<unsigned char>(c)) return c;
        Reject(con, std::string(1, c), std::string(accepted));
    }
}

double ScanNumber(Console& con, std::istream& fp, const std::string& label, const char* accepted, double lowest,
                  double highest) {
    double value = 0.0;
    if (accepted == nullptr) {
        freadck(con, fp, value, label);
        return value;
    }
    const bool rangeForm = accepted[0] == '-';
    for (;;) {
        if (!freadck1(con, fp, value, label)) {
            con.err.flush();
            throw FatalError{FatalCode::EndOfFile};
        }
        if (accepted[0] == '\0') return value;
        if (rangeForm) {
            if (std::string_view(accepted) == "-" && lowest <= value && value <= highest) return value;
            Reject(con, Fmt("%g", value), Fmt("%g to %g", lowest, highest));
            continue;
        }
        const char* p = accepted;
        for (;;) {
            char* end = nullptr;
            const double listed = std::strtod(p, &end);
            if (end == p) break;
            if (listed == value) return value;
            p = end;
        }
        Reject(con, Fmt("%g", value), accepted);
    }
}

bool ScanString(Console& con, std::istream& fp, std::size_t maxLen, std::string& dest, const std::string& label) {
    std::string word;
    if (!freadck1(con, fp, word, label)) return false;
    dest = word.substr(0, maxLen);
    return true;
}

namespace {
void ReadLineField(Console& con, std::istream& fp, std::size_t maxLen, std::string& dest, const std::string& label,
                   bool tabEnds) {
    while (fp.peek() == ' ' || fp.peek() == '\t' || fp.peek() == '\n' || fp.peek() == '\r') fp.get();
    dest.clear();
    if (maxLen == 0) {
        AtEnd(fp);
        return;
    }
    if (fp.peek() == kEof) {
        fp.clear(fp.rdstate() & ~std::ios::failbit);
        con.err << "\nfile " << label << ' ' << kBell;
        throw FatalError{FatalCode::EndOfFile};
    }
    while (dest.size() < maxLen) {
        const int c = fp.get();
        if (c == kEof) {
            fp.clear(fp.rdstate() & ~std::ios::failbit);
            break;
        }
        if (c == '\n' || c == '\r' || (tabEnds && c == '\t')) break;
        dest.push_back(c == '\t' ? ' ' : static_cast<char>(c));
    }
}
}  // namespace

void freadlineck(Console& con, std::istream& fp, std::size_t maxLen, std::string& dest, const std::string& label) {
    ReadLineField(con, fp, maxLen, dest, label, true);
}

void freadlineck_Space(Console& con, std::istream& fp, std::size_t maxLen, std::string& dest,
                       const std::string& label) {
    ReadLineField(con, fp, maxLen, dest, label, false);
}

std::unique_ptr<std::fstream> ReadDataFileName(Console& con, std::string& name) {
    for (;;) {
        con.out << "Enter data file name: ";
        freadlineck(con, con.in, 150, name, "input");
        if (auto fp = fopenck(con, name, "", "r")) return fp;
    }
}

void StrToUpper(std::string& text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

int StrCmp(std::string_view a, std::string_view b) {
    std::string x(a), y(b);
    StrToUpper(x);
    StrToUpper(y);
    const int r = x.compare(y);
    return (r > 0) - (r < 0);
}

char ReadCharIn(Console& con, std::string_view accepted) {
    const char c = ScanChar(con, con.in, accepted, "input");
    if (con.macroMode() && con.outm) *con.outm << c << '\n';
    return c;
}

double ReadNumberIn(Console& con, const char* format, const char* accepted, double lowest, double highest) {
    const double value = ScanNumber(con, con.in, "input", accepted, lowest, highest);
    if (con.macroMode() && con.outm) *con.outm << EchoNumber(format, value);
    return value;
}

int ReadIntIn(Console& con, const char* format, const char* accepted, double lowest, double highest) {
    constexpr double kIntMin = -2147483648.0, kIntMax = 2147483647.0;
    double value = 0.0;
    if (accepted != nullptr && accepted[0] == '-') {
        value = ScanNumber(con, con.in, "input", accepted, std::max(lowest, kIntMin), std::min(highest, kIntMax));
    } else if (accepted != nullptr && accepted[0] != '\0') {
        value = ScanNumber(con, con.in, "input", accepted);  // listed values are the caller's ints
    } else {
        // Any number: a strict first read keeps the fatal end for non-numbers,
        // then anything beyond the int range is asked again.
        value = ScanNumber(con, con.in, "input", accepted);
        while (!(value >= kIntMin && value < kIntMax + 1.0)) {
            Reject(con, Fmt("%g", value), Fmt("%g to %g", kIntMin, kIntMax));
            value = ScanNumber(con, con.in, "input", accepted == nullptr ? nullptr : "");
        }
    }
    if (con.macroMode() && con.outm) *con.outm << EchoNumber(format, value);
    return TruncToInt(value);
}

void ReadStringIn(Console& con, const char* format, std::string& dest) {
    // "%4s" reads at most four characters; "%s" a whole word.
    std::size_t width = std::string::npos;
    const std::string_view f(format);
    if (f.size() > 1 && f[0] == '%' && IsDigit(static_cast<unsigned char>(f[1])))
        width = std::strtoul(format + 1, nullptr, 10);
    freadck(con, con.in, dest, "input", width == 0 ? std::string::npos : width);
    // The echo follows the whole format: the word, then what the format puts after it.
    const std::size_t scanEnd = std::min(f.find_first_of(" \n"), f.size());
    if (con.macroMode() && con.outm) *con.outm << dest << f.substr(scanEnd);
}

namespace {

// The steps the two list readers share: where the list comes from, the file
// it is read from, the confirmation and the macro echo.
bool AskFromFile(Console& con) {
    if (con.runMacro) return false;
    con.out << "Read input from file (f) or from the keyboard (k)? f/k ";
    const bool fromFile = ScanChar(con, con.in, "f k", "keyboard") == 'f';
    con.out << '\n';
    return fromFile;
}

std::unique_ptr<std::fstream> OpenListFile(Console& con, const std::string& prompt, std::string& fileName) {
    con.out << prompt;
    if (!ScanString(con, con.in, 150, fileName, "keyboard")) throw FatalError{FatalCode::EndOfFile};
    auto fp = fopenck(con, fileName, "", "r");
    if (!fp) con.out << '\n';
    return fp;
}

bool Confirmed(Console& con) {
    if (con.runMacro) return true;
    con.out << "Are these correct? y/n ";
    return ScanChar(con, con.in, "y n", "input") == 'y';
}

template <class T>
void EchoList(std::ostream& os, const std::vector<T>& items, std::size_t count) {
    for (std::size_t k = 0; k < count; ++k) os << items[k] << '\t';
}

}  // namespace

int ReadLongInput(Console& con, int n, std::size_t maxLen, std::vector<std::string>& labels, const char* what) {
    labels.assign(static_cast<std::size_t>(std::max(n, 0)), std::string());
    for (;;) {
        if (AskFromFile(con)) {
            std::string fileName;
            auto fp = OpenListFile(con, "Enter name of file containing the labels: ", fileName);
            if (!fp) continue;
            bool complete = true;
            for (int k = 0; k < n && complete; ++k) complete = ScanString(con, *fp, maxLen, labels[k], fileName);
            if (!complete) {  // too few labels in the file: ask again
                con.out << '\n';
                continue;
            }
            con.out << what << ":\t";
            EchoList(con.out, labels, labels.size());
            con.out << '\n';
        } else {
            con.out << "Enter " << what << ":\t";
            for (int k = 0; k < n; ++k)
                if (!ScanString(con, con.in, maxLen, labels[k], "input")) throw FatalError{FatalCode::EndOfFile};
        }
        if (!Confirmed(con)) continue;
        if (con.macroMode() && con.outm) {
            EchoList(*con.outm, labels, labels.size());
            *con.outm << '\n';
        }
        return 1;
    }
}

int ReadLongInput(Console& con, int n, std::vector<int>& values, const char* what, const char* accepted) {
    values.assign(static_cast<std::size_t>(std::max(n, 0)), 0);
    // -1 restarts the entry; it can only be typed when any number is accepted.
    const bool anyNumber = accepted == nullptr || accepted[0] == '\0';
    const char* rule = anyNumber ? "" : accepted;
    for (;;) {
        bool restart = false;
        if (AskFromFile(con)) {
            std::string fileName;
            auto fp = OpenListFile(con, std::string("Enter name of file containing ") + what + ": ", fileName);
            if (!fp) continue;
            std::size_t read = 0;
            while (read < values.size() && !restart) {
                values[read] = TruncToInt(ScanNumber(con, *fp, fileName, rule));
                restart = anyNumber && values[read] == -1;
                ++read;
            }
            con.out << what << ":\t";
            EchoList(con.out, values, read);
            con.out << '\n';
        } else {
            con.out << "Enter " << what << ": \t";
            for (std::size_t k = 0; k < values.size() && !restart; ++k) {
                values[k] = TruncToInt(ScanNumber(con, con.in, "keyboard", rule));
                restart = anyNumber && values[k] == -1;
            }
            if (restart) con.out << '\n';
        }
        if (restart || !Confirmed(con)) continue;
        if (con.macroMode() && con.outm) {
            EchoList(*con.outm, values, values.size());
            *con.outm << '\n';
        }
        return 1;
    }
}

}  // namespace kolvar
