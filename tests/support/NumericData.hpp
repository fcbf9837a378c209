#pragma once
// Comparisons and plain reference computations shared by the numeric tests
// (QMLib and stattests): matrices as nested rows for exact EXPECT_EQ, bit-for-bit
// equality, and the textbook forms of correlations and cross products.

#include <cstddef>
#include <vector>

#include "QMLib/Matrix.hpp"

namespace kolvar::test {

using Rows = std::vector<std::vector<double>>;

/// The matrix as nested rows, so that EXPECT_EQ compares every element exactly
/// and prints both tables on failure.
Rows RowsOf(const Matrix<double>& m);
/// Only the first rows x cols corner.
Rows RowsOf(const Matrix<double>& m, std::size_t rows, std::size_t cols);

/// Every element within tol of the expected rows (which give the size compared),
/// or equal to within four units in the last place (EXPECT_DOUBLE_EQ) for ExpectDoubleEq.
void ExpectNear(const Matrix<double>& m, const Rows& want, double tol);
void ExpectNear(const std::vector<double>& got, const std::vector<double>& want, double tol);
void ExpectDoubleEq(const Matrix<double>& m, const Rows& want);
void ExpectDoubleEq(const std::vector<double>& got, const std::vector<double>& want);

/// Same bits element by element (so -0.0 differs from 0.0 and a NaN equals itself).
bool SameBits(double a, double b);
bool SameBits(const std::vector<double>& a, const std::vector<double>& b);
bool SameBits(const Matrix<double>& a, const Matrix<double>& b);

/// The n x n identity matrix.
Matrix<double> Identity(std::size_t n);

/// Pearson correlation of two equally long series, written out directly.
double Pearson(const std::vector<double>& x, const std::vector<double>& y);
/// The strict upper triangle of a square matrix, row by row.
std::vector<double> UpperTriangle(const Matrix<double>& m);
/// Mantel's r: the Pearson correlation of the strict upper triangles.
double MantelOf(const Matrix<double>& a, const Matrix<double>& b);

/// Cross products (n x n) of the rows of x after centring each column.
Matrix<double> CentredCrossProduct(const Matrix<double>& x);

}  // namespace kolvar::test
