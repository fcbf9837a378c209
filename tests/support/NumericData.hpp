#pragma once
// Comparisons and plain reference computations shared by the numeric tests
// (QMLib and stattests): closeness to expected rows, bit-for-bit equality,
// the textbook forms of correlations and cross products, and the
// reader of the hand-worked cases kept in data files.

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "QMLib/Matrix.hpp"

namespace kolvar::test {

using Rows = std::vector<std::vector<double>>;

/// Every element within tol of the expected values.
void ExpectNear(const std::vector<double>& got, const std::vector<double>& want, double tol);

/// Same bits element by element (so -0.0 differs from 0.0 and a NaN equals itself).
bool SameBits(double a, double b);
bool SameBits(const std::vector<double>& a, const std::vector<double>& b);
bool SameBits(const Matrix<double>& a, const Matrix<double>& b);

/// Pearson correlation of two equally long series, written out directly.
double Pearson(const std::vector<double>& x, const std::vector<double>& y);

/// Cross products (n x n) of the rows of x after centring each column.
Matrix<double> CentredCrossProduct(const Matrix<double>& x);

/// A value of a hand-worked case: a number, M (missing), '.' (not checked: NaN),
/// or an expression of them with + - * / ( ), sqrt( ) and float( ) (rounded to single
/// precision) without spaces, evaluated left to right as C++ evaluates the same expression.
double HandValue(const std::string& text);
/// A comma-separated list of such values, as doubles or ints; "-" is the empty list (a null pointer).
std::vector<double> HandValues(const std::string& text);
std::vector<int> HandInts(const std::string& text);

/// The values as a matrix of one row.
Matrix<double> RowOf(const std::vector<double>& v);
/// m with one more row holding the status returned.
Matrix<double> WithStatus(const Matrix<double>& m, double status);
/// A result of rows x cols filled with 9, so that a hand case checks that every
/// element it expects is written.
Matrix<double> Filled(std::size_t rows, std::size_t cols);

/// The routine of a hand case: the input matrices and the options written after its name.
using Ins = std::vector<Matrix<double>>;
using Opts = std::vector<std::string>;
using HandFunction = std::function<Matrix<double>(Ins& in, const Opts& opt)>;
/// Sizes as the routines take them, and a list as a pointer (null when empty).
inline int N(const Matrix<double>& m) { return static_cast<int>(m.rows()); }
inline int P(const Matrix<double>& m) { return static_cast<int>(m.cols()); }
template <class T>
const T* Ptr(const std::vector<T>& v) {
    return v.empty() ? nullptr : v.data();
}

/// Runs the hand-worked cases of a data file under tests/. '#' lines are comments.
/// A line starting with a word opens a block; lines of values follow it. Consecutive
/// "in" blocks are the inputs of the cases after them. A case is
/// "<exact|ulps|near <tol>> <routine> <options...>" with the expected rows (the
/// corner compared): EXPECT_EQ, EXPECT_DOUBLE_EQ or EXPECT_NEAR element by element.
void RunHandCases(const std::string& file, const std::map<std::string, HandFunction>& routines);

}  // namespace kolvar::test
