#pragma once
// Everything the program keeps between menu actions, one instance of each part.

#include "shell/Console.hpp"
#include "shell/State.hpp"

namespace kolvar {

struct Program {
    Program(Console& console, const Clock& clk) : con(console), clock(clk) {}

    Console& con;
    const Clock& clock;
    Options opt;
    Session session;
    ResultFlags flags;
    GroupCounts groups;
};

}  // namespace kolvar
