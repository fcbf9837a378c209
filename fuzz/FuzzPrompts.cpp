// The prompt readers on an arbitrary answer stream: every reader in turn
// until the input ends.

#include <string>
#include <vector>

#include "FuzzCommon.hpp"
#include "base/Fatal.hpp"
#include "base/Prompts.hpp"

using namespace kolvar;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzConsole c(fuzz::Bytes(data, size));
    Console& con = c.con;
    try {
        for (int round = 0; round < 64; ++round) {
            const double v = ReadNumberIn(con, "%d\n", "-", 1.0, 2147483647.0);
            fuzz::Require(v >= 1.0 && v <= 2147483647.0, "range answers stay in range");
            const double w = ReadNumberIn(con, "%g\n", "1 2 3");
            fuzz::Require(w == 1.0 || w == 2.0 || w == 3.0, "list answers are listed");
            const double any = ReadNumberIn(con, "%g\n", "");
            fuzz::Require(any == any && any - any == 0.0, "any number is finite");
            (void)ReadIntIn(con, "%d\n", "");
            const char ch = ReadCharIn(con, "y n");
            fuzz::Require(ch == 'y' || ch == 'n', "letters are accepted ones");
            std::string word;
            ReadStringIn(con, "%4s ", word);
            fuzz::Require(word.size() <= 4, "four-character labels");
            freadlineck(con, con.in, 150, word, "input");
            std::vector<std::string> labels;
            ReadLongInput(con, 3, 70, labels, "labels");
            std::vector<int> values;
            ReadLongInput(con, 3, values, "values", "1 2 3 4");
            for (int x : values) fuzz::Require(x >= 1 && x <= 4, "listed integers");
            (void)ScanNumber(con, con.in, "input", nullptr);
        }
    } catch (const FatalError& e) {
        fuzz::Require(e.code == FatalCode::EndOfFile, "only end of input ends the readers");
    }
    return 0;
}
