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
// The data set of a small imported session (6 OTUs, 3 traits, 5 communities).
const char* const kFormda =
    "traits.txt \n"
    "3 \n"
    "height\tsla\tseed\t\n"
    "3\t3\t3\t\n"
    "0\t0\t0\t\n"
    "6\t6\t6\t\n"
    "5 \n"
    "s1\ts2\ts3\ts4\ts5\t\n"
    "6 \n"
    "0\t0\t0\t0\t0\t\n"
    "0\t0\t0\t0\t0\t0\t0\t\n"
    "\n"
    "25Jun2016 \n"
    "10.5\t50\t1.2\t\n"
    "12\t60\t1.5\t\n"
    "8.3\t40\t0.9\t\n"
    "15.1\t80\t2.1\t\n"
    "20.2\t90\t3\t\n"
    "25\t100\t3.5\t\n"
    "\n"
    "5\t0\t1\t3\t0\t\n"
    "0\t4\t1\t0\t2\t\n"
    "3\t2\t0\t0\t1\t\n"
    "1\t0\t5\t2\t0\t\n"
    "2\t1\t0\t4\t3\t\n"
    "0\t3\t2\t1\t5\t\n"
    "\n"
    "2 \n"
    "97Sep08 \n"
    "2 \n"
    "3\t3\t\n"
    "temp\tmoist\t\n"
    "env.txt \n"
    "1\t2\t3\t4\t5\t\n"
    "5\t6\t7\t8\t9\t\n"
    "6 \n"
    "species.txt \n"
    "Poan Poa annua\n"
    "Popr Poa pratensis\n"
    "Cani Carex nigra\n"
    "Cafl Carex flacca\n"
    "Feru Festuca rubra\n"
    "Brme Briza media\n"
    "10110\n"
    "01101\n"
    "11001\n"
    "10110\n"
    "11011\n"
    "01111\n"
    "100000\n"
    "010000\n"
    "001000\n"
    "000100\n"
    "000010\n"
    "000001\n"
    "SMW 1\n"
    "0\n"
    "0\n"
    ;

DataSet SmallData(Console& con) {
    std::istringstream fp(kFormda);
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
