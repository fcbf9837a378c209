// The whole program driven by an arbitrary answer stream, in a folder holding
// a small data set (6 species x 5 sites) and one imported session "s".
// Answers holding numbers above 200 are passed over: they only make the
// analyses long, and the readers of such numbers have their own target.

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "FuzzCommon.hpp"
#include "program/Menus.hpp"

using namespace kolvar;
namespace fs = std::filesystem;

namespace {

const char* const kFiles[][2] = {
    {"traits.txt", "10.5 50 1.2\n12.0 60 1.5\n8.3 40 0.9\n15.1 80 2.1\n20.2 90 3.0\n25.0 100 3.5\nheight sla seed\n"},
    {"comp.txt", "5 0 3 1 2 0\n0 4 2 0 1 3\n1 1 0 5 0 2\n3 0 0 2 4 1\n0 2 1 0 3 5\ns1 s2 s3 s4 s5\n"},
    {"species.txt", "Poa annua\nPoa pratensis\nCarex nigra\nCarex flacca\nFestuca rubra\nBriza media\n"},
    {"env.txt", "1.0 5\n2.0 6\n3.0 7\n4.0 8\n5.0 9\ntemp moist\n"},
    {"groups.txt", "1 1 2 2 3 3\n"},
    {"sTrk.txt", "sFormda.txt\n07Jul17\n"},
    {"sFormda.txt", fuzz::kSmallFormdaStamped},
};

void Write(const char* name, const char* text) {
    std::ofstream f(name, std::ios::binary | std::ios::trunc);
    f << text;
}

// Only the files above stay from one input to the next.
void Reset() {
    std::set<std::string> keep;
    for (const auto& f : kFiles) keep.insert(f[0]);
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(".", ec))
        if (!keep.count(e.path().filename().string())) fs::remove_all(e.path(), ec);
    for (const auto& f : kFiles) Write(f[0], f[1]);
}

bool SmallNumbersOnly(std::string_view text) {
    std::size_t k = 0;
    while (k < text.size()) {
        const auto isNum = [](char c) { return (c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-'; };
        if (!isNum(text[k])) {
            ++k;
            continue;
        }
        std::size_t end = k;
        while (end < text.size() && isNum(text[end])) ++end;
        const std::string run(text.substr(k, end - k));
        // Any prefix the readers may take as a number counts.
        for (std::size_t len = 1; len <= run.size(); ++len) {
            const double v = std::strtod(run.substr(0, len).c_str(), nullptr);
            if (!(std::fabs(v) <= 200.0)) return false;
        }
        k = end;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char tmpl[] = "/tmp/kolvar-fuzz-dialogue-XXXXXX";
    if (!::mkdtemp(tmpl) || ::chdir(tmpl) != 0) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view answers = fuzz::Bytes(data, size);
    if (!SmallNumbersOnly(answers)) return 0;
    Reset();
    fuzz::FuzzConsole c(answers);
    FixedClock clock;
    const int status = mainInit(c.con, clock);
    fuzz::Require(status == 0 || status == 1, "the program ends with status 0 or 1");
    return 0;
}
