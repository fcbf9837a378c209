#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <cstdio>
#include <limits>

#include <sstream>

#include "QMLib/Print.hpp"

namespace kolvar {
namespace {

const auto Make = Matrix<double>::FromRows;

TEST(Printers, TabSeparatedForms) {
    const auto m = Make({{1, 0.5}, {1.0 / 3.0, 2.5e5}});
    std::ostringstream tab, tr, low;
    EXPECT_EQ(PrintMatrixTab(tab, 2, 2, m, 6), 1);
    EXPECT_EQ(tab.str(), "1\t0.5\t\n0.333333\t250000\t\n");
    PrintMatrixTab_T(tr, 2, 2, m, 6);
    EXPECT_EQ(tr.str(), "1\t0.333333\t\n0.5\t250000\t\n");
    const auto sq = Make({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
    PrintLowerHalfMatrixTab(low, 3, sq, 6);
    EXPECT_EQ(low.str(), "1\t\n4\t5\t\n7\t8\t9\t\n");
}

TEST(Printers, SignificantDigitsAndEmptyShapes) {
    const auto m = Make({{1.234567e6, 0.0001, -999}});
    std::ostringstream six, three, none, t;
    PrintMatrixTab(six, 1, 3, m, 6);
    EXPECT_EQ(six.str(), "1.23457e+06\t0.0001\t-999\t\n");
    PrintMatrixTab(three, 1, 3, m, 3);
    EXPECT_EQ(three.str(), "1.23e+06\t0.0001\t-999\t\n");
    PrintMatrixTab(none, 0, 3, m, 6);
    EXPECT_EQ(none.str(), "");
    PrintMatrixTab_T(t, 1, 0, m, 6);
    EXPECT_EQ(t.str(), "");
}

TEST(Printers, AlignedColumnsAndWrapping) {
    const auto m = Make({{1.5, -12.25}});
    EXPECT_EQ(GetWidthMax(1, 2, m, 6), 6);
    EXPECT_EQ(GetWidthMax(0, 2, m, 6), 0);
    std::ostringstream aligned;
    EXPECT_EQ(PrintMatrix(aligned, 1, 2, m, 6, 0), 6);
    EXPECT_EQ(aligned.str(), "   1.5\t-12.25\t\n");

    const auto row = Make({{1, 2, 3, 4, 5}});
    std::ostringstream wrapped;
    EXPECT_EQ(PrintMatrix(wrapped, 1, 5, row, 6, 5, 10), 5);
    EXPECT_EQ(wrapped.str(), "    1\t    2\t\n     \t    3\t    4\t\n     \t    5\t\n");
    std::ostringstream asFloat;
    PrintMatrixFloat(asFloat, 1, 2, m, 6, 7);
    EXPECT_EQ(asFloat.str(), "    1.5\t -12.25\t\n");
}

TEST(Printers, VectorsWithAndWithoutOrder) {
    const double v[] = {10, 20, 30};
    const int order[] = {3, 1, 2};
    std::ostringstream plain, ordered, ints, empty;
    PrintVectorTab(plain, 3, v, 6, nullptr);
    EXPECT_EQ(plain.str(), "10\t20\t30\t\n");
    PrintVectorTab(ordered, 3, v, 6, order);
    EXPECT_EQ(ordered.str(), "30\t10\t20\t\n");
    const int iv[] = {-1, 0, 7};
    PrintVectorTab(ints, 3, iv, order);
    EXPECT_EQ(ints.str(), "7\t-1\t0\t\n");
    PrintVectorTab(empty, 0, v, 6, nullptr);
    EXPECT_EQ(empty.str(), "\n");
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
