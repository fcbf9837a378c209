#pragma once
// printf-exact formatting into std::string (the program's texts are C formats).

#include <string>

namespace kolvar {

[[gnu::format(printf, 1, 2)]] std::string Fmt(const char* fmt, ...);

/// The value a file may hold when written with "%.*g" at this precision and
/// read back: NaN becomes the missing value -999, and anything whose printed
/// form would read as beyond the largest double (infinities included) is
/// brought down to the largest value that prints finite, sign kept.
double Writable(double v, int precision = 6);

}  // namespace kolvar
