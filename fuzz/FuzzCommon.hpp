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

/// The formatted data file of a small imported session (6 OTUs, 3 traits, 5
/// communities); the stamped form ends with the time stamp the program writes.
#define KOLVAR_FUZZ_SMALL_FORMDA \
    "traits.txt \n" \
    "3 \n" \
    "height\tsla\tseed\t\n" \
    "3\t3\t3\t\n" \
    "0\t0\t0\t\n" \
    "6\t6\t6\t\n" \
    "5 \n" \
    "s1\ts2\ts3\ts4\ts5\t\n" \
    "6 \n" \
    "0\t0\t0\t0\t0\t\n" \
    "0\t0\t0\t0\t0\t0\t0\t\n" \
    "\n" \
    "25Jun2016 \n" \
    "10.5\t50\t1.2\t\n" \
    "12\t60\t1.5\t\n" \
    "8.3\t40\t0.9\t\n" \
    "15.1\t80\t2.1\t\n" \
    "20.2\t90\t3\t\n" \
    "25\t100\t3.5\t\n" \
    "\n" \
    "5\t0\t1\t3\t0\t\n" \
    "0\t4\t1\t0\t2\t\n" \
    "3\t2\t0\t0\t1\t\n" \
    "1\t0\t5\t2\t0\t\n" \
    "2\t1\t0\t4\t3\t\n" \
    "0\t3\t2\t1\t5\t\n" \
    "\n" \
    "2 \n" \
    "97Sep08 \n" \
    "2 \n" \
    "3\t3\t\n" \
    "temp\tmoist\t\n" \
    "env.txt \n" \
    "1\t2\t3\t4\t5\t\n" \
    "5\t6\t7\t8\t9\t\n" \
    "6 \n" \
    "species.txt \n" \
    "Poan Poa annua\n" \
    "Popr Poa pratensis\n" \
    "Cani Carex nigra\n" \
    "Cafl Carex flacca\n" \
    "Feru Festuca rubra\n" \
    "Brme Briza media\n" \
    "10110\n" \
    "01101\n" \
    "11001\n" \
    "10110\n" \
    "11011\n" \
    "01111\n" \
    "100000\n" \
    "010000\n" \
    "001000\n" \
    "000100\n" \
    "000010\n" \
    "000001\n" \
    "SMW 1\n" \
    "0\n" \
    "0\n" \

inline constexpr const char* kSmallFormda = KOLVAR_FUZZ_SMALL_FORMDA;
inline constexpr const char* kSmallFormdaStamped = KOLVAR_FUZZ_SMALL_FORMDA "Mon Dec  7 00:19:45 2026\n";
#undef KOLVAR_FUZZ_SMALL_FORMDA

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
