// The preferences reader: what it accepts is written and read back.

#include <sstream>

#include "FuzzCommon.hpp"
#include "base/Fatal.hpp"
#include "program/Preferences.hpp"

using namespace kolvar;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzConsole c("");
    std::istringstream fp{std::string(fuzz::Bytes(data, size))};
    Options o;
    try {
        if (!ReadPreferencesFrom(c.con, fp, "KOLVAR.prf", o)) return 0;
    } catch (const FatalError&) {
        return 0;
    }
    std::ostringstream text;
    WritePreferencesText(text, o, FixedClock());
    std::istringstream again(text.str());
    Options back;
    try {
        fuzz::Require(ReadPreferencesFrom(c.con, again, "KOLVAR.prf", back), "version survives");
    } catch (const FatalError&) {
        fuzz::Require(false, "a written preferences file reads back");
    }
    fuzz::Require(back.sDigits == o.sDigits && back.nProcessors == o.nProcessors, "values survive");
    return 0;
}
