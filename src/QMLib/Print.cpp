#include "QMLib/Print.hpp"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "base/Fmt.hpp"

namespace kolvar {

namespace {
// Precision beyond what a double holds only prints binary noise; a preference
// of a billion digits must not make every value a megabyte long.
constexpr int kMaxDigits = 40;
int ClampDigits(int digits) { return std::clamp(digits, 0, kMaxDigits); }

// Writes "%*.*g" plus a tab through a stack buffer. std::to_chars with a
// precision is specified to give printf's text in the "C" locale, and it is
// several times faster; widths or values that do not fit go through printf.
void PutG(std::ostream& fp, double v, int digits, int width = 0) {
    char buf[128];
    const auto [end, ec] = std::to_chars(buf, buf + 100, v, std::chars_format::general, ClampDigits(digits));
    if (ec == std::errc{} && width < 100) {
        auto len = static_cast<std::size_t>(end - buf);
        const auto w = static_cast<std::size_t>(std::max(width, 0));
        if (len < w) {
            std::memmove(buf + (w - len), buf, len);
            std::memset(buf, ' ', w - len);
            len = w;
        }
        buf[len++] = '\t';
        fp.write(buf, static_cast<std::streamsize>(len));
        return;
    }
    fp << Fmt("%*.*g\t", width, ClampDigits(digits), v);
}
}  // namespace

int PrintMatrixTab(std::ostream& fp, int rows, int cols, const Matrix<double>& m, int digits) {
    for (int i = 0; i < rows; ++i) {
        const auto r = m[i];
        for (int j = 0; j < cols; ++j) PutG(fp, r[j], digits);
        fp << '\n';
    }
    return 1;
}

int PrintMatrixTab_T(std::ostream& fp, int rows, int cols, const Matrix<double>& m, int digits) {
    for (int j = 0; j < cols; ++j) {
        for (int i = 0; i < rows; ++i) PutG(fp, m[i][j], digits);
        fp << '\n';
    }
    return 1;
}

int PrintLowerHalfMatrixTab(std::ostream& fp, int n, const Matrix<double>& m, int digits) {
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j <= i; ++j) PutG(fp, m[i][j], digits);
        fp << '\n';
    }
    return 1;
}

int GetWidthMax(int rows, int cols, const Matrix<double>& m, int digits) {
    int widest = 0;
    char buf[64];
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < cols; ++j) {
            const int n = std::snprintf(buf, sizeof buf, "%.*g", ClampDigits(digits), m[i][j]);
            if (n > widest) widest = n;
        }
    return widest;
}

int PrintMatrix(std::ostream& fp, int rows, int cols, const Matrix<double>& m, int digits, int width,
                int maxColsPrint) {
    const int w = width == 0 ? GetWidthMax(rows, cols, m, digits) : width;
    for (int i = 0; i < rows; ++i) {
        long long c = 0;
        for (int j = 0; j < cols; ++j) {
            if (c > maxColsPrint) {
                fp << '\n' << std::string(static_cast<std::size_t>(std::max(w, 0)), ' ') << '\t';
                c = 0;
            }
            c += w + 1;
            PutG(fp, m[i][j], digits, w);
        }
        fp << '\n';
    }
    return w;
}

int PrintMatrixFloat(std::ostream& fp, int rows, int cols, const Matrix<double>& m, int digits, int width,
                     int maxColsPrint) {
    return PrintMatrix(fp, rows, cols, m, digits, width, maxColsPrint);
}

int PrintVectorTab(std::ostream& fp, int n, const int* v, const int* order) {
    char buf[32];
    for (int k = 0; k < n; ++k) {
        const int x = order ? v[order[k] - 1] : v[k];
        const int len = std::snprintf(buf, sizeof buf, "%d\t", x);
        fp.write(buf, len);
    }
    fp << '\n';
    return 1;
}

int PrintVectorTab(std::ostream& fp, int n, const double* v, int digits, const int* order) {
    for (int k = 0; k < n; ++k) PutG(fp, order ? v[order[k] - 1] : v[k], digits);
    fp << '\n';
    return 1;
}

}  // namespace kolvar
