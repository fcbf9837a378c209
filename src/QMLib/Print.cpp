#include "QMLib/Print.hpp"

#include <algorithm>
#include <cstdio>

#include "base/Fmt.hpp"

namespace kolvar {

namespace {
// Precision beyond what a double holds only prints binary noise; a preference
// of a billion digits must not make every value a megabyte long.
constexpr int kMaxDigits = 40;
int ClampDigits(int digits) { return std::clamp(digits, 0, kMaxDigits); }

// Writes "%*.*g" plus a tab through a stack buffer; falls back to a string
// only for widths that do not fit.
void PutG(std::ostream& fp, double v, int digits, int width = 0) {
    char buf[128];
    const int n = std::snprintf(buf, sizeof buf, "%*.*g\t", width, ClampDigits(digits), v);
    if (n >= 0 && n < static_cast<int>(sizeof buf))
        fp.write(buf, n);
    else
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
