#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <iterator>
#include <limits>
#include <sstream>
#include <string>

#include "QMLib/Print.hpp"

namespace kolvar {
namespace {

const auto Make = Matrix<double>::FromRows;

// Each printer on small matrices and vectors: the exact text, and the width
// or status returned where the caller uses it.
TEST(Printers, ExactTexts) {
    const auto m = Make({{1, 0.5}, {1.0 / 3.0, 2.5e5}});
    const auto sq = Make({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
    const auto wide = Make({{1.234567e6, 0.0001, -999}});
    const auto two = Make({{1.5, -12.25}});
    const auto row = Make({{1, 2, 3, 4, 5}});
    const double v[] = {10, 20, 30};
    const int iv[] = {-1, 0, 7}, order[] = {3, 1, 2};
    constexpr int kUnused = -1;
    const struct {
        std::function<int(std::ostream&)> print;
        int returns;
        const char* text;
    } cases[] = {
        {[&](std::ostream& o) { return PrintMatrixTab(o, 2, 2, m, 6); }, 1, "1\t0.5\t\n0.333333\t250000\t\n"},
        {[&](std::ostream& o) { return PrintMatrixTab_T(o, 2, 2, m, 6); }, kUnused, "1\t0.333333\t\n0.5\t250000\t\n"},
        {[&](std::ostream& o) { return PrintLowerHalfMatrixTab(o, 3, sq, 6); }, kUnused, "1\t\n4\t5\t\n7\t8\t9\t\n"},
        // Significant digits, and shapes with nothing to print.
        {[&](std::ostream& o) { return PrintMatrixTab(o, 1, 3, wide, 6); }, kUnused, "1.23457e+06\t0.0001\t-999\t\n"},
        {[&](std::ostream& o) { return PrintMatrixTab(o, 1, 3, wide, 3); }, kUnused, "1.23e+06\t0.0001\t-999\t\n"},
        {[&](std::ostream& o) { return PrintMatrixTab(o, 0, 3, wide, 6); }, kUnused, ""},
        {[&](std::ostream& o) { return PrintMatrixTab_T(o, 1, 0, wide, 6); }, kUnused, ""},
        // Aligned columns as wide as the widest value, wrapped at 10 characters.
        {[&](std::ostream& o) { return PrintMatrix(o, 1, 2, two, 6, 0); }, 6, "   1.5\t-12.25\t\n"},
        {[&](std::ostream& o) { return PrintMatrix(o, 1, 5, row, 6, 5, 10); }, 5,
         "    1\t    2\t\n     \t    3\t    4\t\n     \t    5\t\n"},
        {[&](std::ostream& o) { return PrintMatrixFloat(o, 1, 2, two, 6, 7); }, kUnused, "    1.5\t -12.25\t\n"},
        // Vectors, in their own order or in the given one.
        {[&](std::ostream& o) { return PrintVectorTab(o, 3, v, 6, nullptr); }, kUnused, "10\t20\t30\t\n"},
        {[&](std::ostream& o) { return PrintVectorTab(o, 3, v, 6, order); }, kUnused, "30\t10\t20\t\n"},
        {[&](std::ostream& o) { return PrintVectorTab(o, 3, iv, order); }, kUnused, "7\t-1\t0\t\n"},
        {[&](std::ostream& o) { return PrintVectorTab(o, 0, v, 6, nullptr); }, kUnused, "\n"},
    };
    for (std::size_t k = 0; k < std::size(cases); ++k) {
        std::ostringstream out;
        const int returned = cases[k].print(out);
        EXPECT_EQ(out.str(), cases[k].text) << k;
        if (cases[k].returns != kUnused) {
            EXPECT_EQ(returned, cases[k].returns) << k;
        }
    }
    EXPECT_EQ(GetWidthMax(1, 2, two, 6), 6);
    EXPECT_EQ(GetWidthMax(0, 2, two, 6), 0);
}

TEST(Printers, AbsurdPrecisionIsCapped) {
    const auto m = Make({{1.0 / 3.0}});
    std::ostringstream out;
    PrintMatrixTab(out, 1, 1, m, 2147483647);
    EXPECT_LT(out.str().size(), 60u);
    EXPECT_EQ(out.str().substr(0, 10), "0.33333333");
}

// Matrices are printed through a faster route than printf; every value at
// every precision and width must still read exactly as "%*.*g" writes it.
TEST(Printers, MatrixTextIsPrintfText) {
    const double values[] = {0.0, -0.0, 1.0, -1.0, 0.1, 1.0 / 3.0, 2.0 / 3.0, 123456.5, 1234567.0, 1e-5, 9.9999995e-5,
                             0.00012345, 1e21, 1.7976931348623157e308, 4.9e-324, 2.2250738585072014e-308, -999.0,
                             0.5, 2.5, 1e15 + 0.3, std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN(),
                             -std::numeric_limits<double>::quiet_NaN(), 99999.95, 9.5, 0.95, 314.159265358979};
    const int n = static_cast<int>(std::size(values));
    Matrix<double> m(1, static_cast<std::size_t>(n));
    for (int j = 0; j < n; ++j) m[0][j] = values[j];
    for (const int digits : {0, 1, 2, 3, 6, 10, 15, 17, 25, 40})
        for (const int width : {0, 8, 30}) {
            std::ostringstream got;
            PrintMatrix(got, 1, n, m, digits, width == 0 ? 1 : width, 1 << 20);
            std::string want;
            char buf[256];
            for (int j = 0; j < n; ++j) {
                std::snprintf(buf, sizeof buf, "%*.*g\t", width == 0 ? 1 : width, digits, values[j]);
                want += buf;
            }
            want += '\n';
            EXPECT_EQ(got.str(), want) << "digits " << digits << ", width " << width;
        }
}

}  // namespace
}  // namespace kolvar
