#pragma once
// A console on strings and the checks around it shared by the data, analysis,
// base and program tests.

#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "base/Console.hpp"
#include "base/Fatal.hpp"
#include "support/Scenario.hpp"

namespace kolvar::test {

/// A console reading a fixed answer text and keeping what is written.
struct TestConsole {
    explicit TestConsole(const std::string& answers = "") : in(answers) {}
    std::istringstream in;
    std::ostringstream out, err;
    Console con{in, out, err};
};

/// The code of the FatalError that f throws; none when it throws none.
inline std::optional<FatalCode> FatalOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const FatalError& e) {
        return e.code;
    }
    return std::nullopt;
}

/// The text as a Windows editor saves it: a byte-order mark and CRLF line ends.
inline std::string WindowsText(const std::string& text) {
    std::string crlf = "\xEF\xBB\xBF";
    for (char c : text) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    return crlf;
}

/// The rows of a table file of the source tree: fields separated by " | " (" |"
/// at the line end leaves the last field empty), with \n, \r, \t, \a, \xHH and
/// \\ standing for their characters; blank lines and lines starting with '#' (the
/// comments of the cases) are skipped.
inline std::vector<std::vector<std::string>> TableRows(const std::string& relative) {
    std::vector<std::vector<std::string>> rows;
    std::ifstream f(SourcePath(relative));
    for (std::string line; std::getline(f, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> fields(1);
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (line.compare(i, 3, " | ") == 0 || (line.compare(i, 2, " |") == 0 && i + 2 == line.size())) {
                fields.emplace_back();
                i += 2;
            } else if (line.compare(i, 2, "\\x") == 0 && i + 3 < line.size()) {
                fields.back() += static_cast<char>(std::stoi(line.substr(i + 2, 2), nullptr, 16));
                i += 3;
            } else if (line[i] == '\\' && i + 1 < line.size()) {
                const char c = line[++i];
                fields.back() += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c == 'a' ? '\a' : c;
            } else {
                fields.back() += line[i];
            }
        }
        rows.push_back(fields);
    }
    return rows;
}

}  // namespace kolvar::test
