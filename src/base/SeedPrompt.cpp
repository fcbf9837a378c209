#include "base/SeedPrompt.hpp"

#include "base/Fmt.hpp"
#include "base/Prompts.hpp"

namespace kolvar {

void AskRandomSeed(Console& con, const Clock& clock, int& seedOpt, std::uint32_t& rseed) {
    con.out << "\nInitialization of the random number generator: \n"
            << "   1  automatic (taken from the clock)\n"
            << "   2  specified by the user\n"
            << "Type option no.: ";
    seedOpt = ReadIntIn(con, "%d\n", "1 2");
    if (seedOpt == 2) {
        con.out << Fmt("\nEnter seed (integer in the 0 to %u interval):\n", 4294967295u);
        rseed = static_cast<std::uint32_t>(ReadNumberIn(con, "%u\n", "-", 0.0, 4294967295.0));
    } else {
        rseed = static_cast<std::uint32_t>(clock.Now());
    }
}

}  // namespace kolvar
