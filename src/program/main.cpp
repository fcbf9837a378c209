#include <iostream>
#include <string>
#include <vector>

#include "program/CommandLine.hpp"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    kolvar::SystemClock clock;
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return kolvar::RunCommandLine(args, std::cin, std::cout, std::cerr, clock);
}
