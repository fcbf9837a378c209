#pragma once
// Shared by the fuzz targets: a console over the fuzzer's bytes with its
// output thrown away, and a check that aborts (so libFuzzer reports it).

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

#include "base/Console.hpp"

namespace kolvar::fuzz {

struct FuzzConsole {
    explicit FuzzConsole(std::string_view input) : in(std::string(input)) {}
    std::istringstream in;
    std::ostringstream out, err;
    Console con{in, out, err};
};

/// A broken promise of the code under test: report it as a crash.
inline void Require(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what);
        std::abort();
    }
}

inline std::string_view Bytes(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

}  // namespace kolvar::fuzz
