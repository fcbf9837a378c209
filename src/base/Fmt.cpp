#include "base/Fmt.hpp"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <cstdio>

namespace kolvar {

std::string Fmt(const char* fmt, ...) {
    char small[256];
    va_list args;
    va_start(args, fmt);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(small, sizeof small, fmt, args);
    va_end(args);
    std::string out;
    if (n < 0) {
        va_end(copy);
        return out;
    }
    if (static_cast<std::size_t>(n) < sizeof small) {
        out.assign(small, static_cast<std::size_t>(n));
    } else {
        out.resize(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(out.data(), out.size(), fmt, copy);
        out.resize(static_cast<std::size_t>(n));
    }
    va_end(copy);
    return out;
}

double Writable(double v, int precision) {
    if (std::isnan(v)) return -999.0;
    const double magnitude = std::fabs(v);
    if (magnitude < 1e308) return v;
    precision = std::clamp(precision, 1, 17);
    const std::string text = Fmt("%.*g", precision, magnitude);
    if (std::isfinite(std::strtod(text.c_str(), nullptr))) return v;
    // DBL_MAX cut (not rounded) to `precision` digits prints as itself.
    const std::string full = Fmt("%.16e", DBL_MAX);  // 1.7976931348623157e+308
    const std::string cut = full.substr(0, precision == 1 ? 1 : static_cast<std::size_t>(precision) + 1) + "e+308";
    const double value = std::strtod(cut.c_str(), nullptr);
    return std::copysign(value, v);
}

}  // namespace kolvar
