#pragma once
// A console on strings and the checks around it shared by the data, analysis,
// base and program tests.

#include <functional>
#include <optional>
#include <sstream>
#include <string>

#include "base/Console.hpp"
#include "base/Fatal.hpp"

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

}  // namespace kolvar::test
