// The formatted data file reader. Whatever it accepts, the writer writes a
// file the reader takes back.

#include <sstream>

#include "FuzzCommon.hpp"
#include "base/Fatal.hpp"
#include "data/Formda.hpp"

using namespace kolvar;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzConsole c("");
    std::istringstream fp{std::string(fuzz::Bytes(data, size))};
    DataSet d;
    try {
        d = ReadFormda(c.con, fp, "f");
    } catch (const FatalError&) {
        return 0;
    }
    std::ostringstream text;
    try {
        WriteFormdaText(text, FixedClock(), d, d.tcst, d.dataName, d.csm_Float, d.cadat);
    } catch (const std::exception&) {
        return 0;  // sizes the writer refuses
    }
    std::istringstream again(text.str());
    try {
        const DataSet back = ReadFormda(c.con, again, "f");
        fuzz::Require(back.tcst == d.tcst && back.nch == d.nch && back.ncsm == d.ncsm, "counts survive");
    } catch (const FatalError&) {
        fuzz::Require(false, "a written formatted file reads back");
    }
    return 0;
}
