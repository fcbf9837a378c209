// Group and nesting lists read from files: the fusion-record reader and the
// list reader of integers, on the fuzzer's bytes as the file.

#include <unistd.h>

#include <fstream>
#include <vector>

#include "FuzzCommon.hpp"
#include "base/Fatal.hpp"
#include "base/Prompts.hpp"
#include "data/Groups.hpp"

using namespace kolvar;

namespace {
std::string TempFile() {
    static const std::string name = "/tmp/kolvar-fuzz-groups-" + std::to_string(::getpid()) + ".txt";
    return name;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const int n = 1 + data[0] % 12;
    const int nGroups = 1 + data[1] % 12;
    {
        std::ofstream f(TempFile(), std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(data + 2), static_cast<std::streamsize>(size - 2));
    }
    {
        fuzz::FuzzConsole c("");
        std::vector<int> membership(static_cast<std::size_t>(n), 0);
        try {
            GetPartition(c.con, TempFile(), n, nGroups, membership);
            for (int g : membership) fuzz::Require(g >= 1 && g <= n, "group numbers within range");
        } catch (const FatalError&) {
        }
    }
    {
        // The list reader with the file named at its prompt, then confirmed.
        fuzz::FuzzConsole c("f\n" + TempFile() + "\ny\nk\n1 2 3 4 5 6 7 8 9 10 11 12\ny\n");
        std::vector<int> values;
        try {
            ReadLongInput(c.con, n, values, "groups", "");
        } catch (const FatalError&) {
        }
    }
    return 0;
}
