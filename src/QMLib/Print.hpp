#pragma once
// Matrix and vector printers of the result files. Every value is "%.*g" with the
// given number of significant digits; rows end with a newline.

#include <climits>
#include <ostream>
#include <vector>

#include "QMLib/Matrix.hpp"

namespace kolvar {

/// One line per row, each value followed by a tab. Returns 1.
int PrintMatrixTab(std::ostream& fp, int rows, int cols, const Matrix<double>& m, int digits);
/// The transpose: one line per column. Returns 1.
int PrintMatrixTab_T(std::ostream& fp, int rows, int cols, const Matrix<double>& m, int digits);
/// Lower triangle with the diagonal: line i holds m[i][0..i]. Returns 1.
int PrintLowerHalfMatrixTab(std::ostream& fp, int n, const Matrix<double>& m, int digits);
/// Longest "%.*g" text of any element; 0 when rows < 1.
int GetWidthMax(int rows, int cols, const Matrix<double>& m, int digits);
/// Aligned columns of the given width (0: GetWidthMax); rows wrap after
/// maxColsPrint characters. Returns the width used.
int PrintMatrix(std::ostream& fp, int rows, int cols, const Matrix<double>& m, int digits, int width,
                int maxColsPrint = INT_MAX);
int PrintMatrixFloat(std::ostream& fp, int rows, int cols, const Matrix<double>& m, int digits, int width,
                     int maxColsPrint = INT_MAX);
/// Each value "%d\t", then a newline; order holds 1-based positions or is null.
int PrintVectorTab(std::ostream& fp, int n, const int* v, const int* order);
/// Each value "%.*g\t", then a newline; order holds 1-based positions or is null.
int PrintVectorTab(std::ostream& fp, int n, const double* v, int digits, const int* order);

}  // namespace kolvar
