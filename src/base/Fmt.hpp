#pragma once
// printf-exact formatting into std::string (the program's texts are C formats).

#include <string>

namespace kolvar {

[[gnu::format(printf, 1, 2)]] std::string Fmt(const char* fmt, ...);

}  // namespace kolvar
