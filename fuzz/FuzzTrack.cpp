// The track file reader, over a small open data set; what it accepts is
// written and read back.

#include <sstream>

#include "FuzzCommon.hpp"
#include "base/Fatal.hpp"
#include "data/Formda.hpp"
#include "program/Program.hpp"
#include "program/Track.hpp"

using namespace kolvar;

namespace {

DataSet SmallData(Console& con) {
    std::istringstream fp(fuzz::kSmallFormda);
    return ReadFormda(con, fp, "smallFormda.txt");
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzConsole c("");
    FixedClock clock;
    Program p(c.con, clock);
    p.data = SmallData(c.con);
    std::istringstream fp{std::string(fuzz::Bytes(data, size))};
    try {
        ReadTrackFrom(p, fp, "t");
    } catch (const FatalError&) {
        return 0;
    }
    std::ostringstream text;
    WriteTrackText(text, p, true);
    Program q(c.con, clock);
    q.data = SmallData(c.con);
    std::istringstream again(text.str());
    try {
        ReadTrackFrom(q, again, "t");
    } catch (const FatalError&) {
        fuzz::Require(false, "a written track file reads back");
    }
    return 0;
}
