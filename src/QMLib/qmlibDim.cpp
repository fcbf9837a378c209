#include "QMLib/qmlibDim.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kolvar {

namespace {
OutOfMemoryHandler gOutOfMemoryHandler = nullptr;

std::int32_t OrderedBits(double v) {
    const float f = static_cast<float>(v);
    std::int32_t k;
    std::memcpy(&k, &f, sizeof k);
    // Negative floats are mapped so that the integers order like the floats.
    if (k < 0) k = static_cast<std::int32_t>(0x80000000u - static_cast<std::uint32_t>(k));
    return k;
}
}  // namespace

void SetOutOfMemoryHandler(OutOfMemoryHandler handler) { gOutOfMemoryHandler = handler; }

void OutOfMemory() {
    if (gOutOfMemoryHandler) gOutOfMemoryHandler();
    throw FatalError{FatalCode::OutOfMemory};
}

bool AlmostEqual2sComplement(double x, double y, int maxUlps) {
    if (!(maxUlps > 0 && maxUlps < 4 * 1024 * 1024)) {
        std::fprintf(stderr, "Assertion failed: (maxUlps > 0 && maxUlps < 4 * 1024 * 1024), file ../QMLib/qmlibDim\n");
        std::abort();
    }
    const std::int64_t a = OrderedBits(x);
    const std::int64_t b = OrderedBits(y);
    // The difference of two 32-bit integers, taken in 32 bits.
    const std::int32_t diff = static_cast<std::int32_t>(static_cast<std::uint32_t>(a - b));
    const std::int64_t absDiff = diff < 0 ? -static_cast<std::int64_t>(diff) : diff;
    return absDiff <= maxUlps;
}

bool IsLargerThanOrEqual(double x, double y, int maxUlps, bool absolute) {
    if (absolute) {
        x = std::fabs(x);
        y = std::fabs(y);
    }
    return x > y || AlmostEqual2sComplement(x, y, maxUlps);
}

bool AlmostEqual_Tolerance(double x, double y, double tolerance) { return std::fabs(x - y) < tolerance; }

double Fmax(double x, double y) {
    if (std::isnan(x)) return y;
    return x > y ? x : y;
}

double Fmin(double x, double y) {
    if (std::isnan(x)) return y;
    return x < y ? x : y;
}

int CountStates(int n, const double* x) {
    // States are the truncated non-negative values; sorting keeps huge codes cheap.
    std::vector<double> states;
    states.reserve(n > 0 ? static_cast<std::size_t>(n) : 0);
    for (int i = 0; i < n; ++i)
        if (x[i] != kMissing && x[i] >= 0) states.push_back(std::trunc(x[i]));
    std::sort(states.begin(), states.end());
    return static_cast<int>(std::unique(states.begin(), states.end()) - states.begin());
}

long double Factorial(int n) {
    long double f = 1.0L;
    for (int k = 2; k <= n; ++k) f *= k;
    return f;
}

int compareInt(const void* a, const void* b) {
    const int x = *static_cast<const int*>(a);
    const int y = *static_cast<const int*>(b);
    return (x > y) - (x < y);  // no overflow for extreme values
}

}  // namespace kolvar
