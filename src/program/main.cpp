#include <iostream>

#include "base/Console.hpp"
#include "program/Menus.hpp"

int main() {
    std::ios::sync_with_stdio(false);
    kolvar::SystemClock clock;
    kolvar::Console con{std::cin, std::cout, std::cerr};
    return kolvar::mainInit(con, clock);
}
