#pragma once
// The question that initializes the random number generator: a seed from the
// clock or one typed by the user.

#include <cstdint>

#include "base/Console.hpp"

namespace kolvar {

/// Asks option 1 (clock) or 2 (typed seed in 0..4294967295) into seedOpt and
/// sets rseed; option 1 takes the calendar time in seconds (low 32 bits).
void AskRandomSeed(Console& con, const Clock& clock, int& seedOpt, std::uint32_t& rseed);

}  // namespace kolvar
