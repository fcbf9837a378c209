#pragma once
// Small numeric helpers shared by the tests and the simulation: comparisons in
// units of the last place, tolerance comparison, extremes, state counts.

#include <vector>

#include "QMLib/Matrix.hpp"

namespace kolvar {

inline constexpr double kMissing = -999.0;  ///< the missing-value code everywhere

/// True when x and y, rounded to single precision, are at most maxUlps steps
/// apart; +0 and -0 coincide. maxUlps must lie in (0, 4194304).
bool AlmostEqual2sComplement(double x, double y, int maxUlps);
/// x > y, or x and y equal by AlmostEqual2sComplement; with absolute, |x| and |y|.
bool IsLargerThanOrEqual(double x, double y, int maxUlps, bool absolute);
/// |x - y| < tolerance, strictly.
bool AlmostEqual_Tolerance(double x, double y, double tolerance);
/// The larger / smaller of two doubles; when x is not a number, y.
double Fmax(double x, double y);
double Fmin(double x, double y);
/// Number of distinct states among n values coded 0, 1, 2, ...; -999 skipped.
int CountStates(int n, const double* x);
/// n! in extended precision; 0 and 1 give 1.
long double Factorial(int n);
/// qsort comparator, ascending.
int compareInt(const void* a, const void* b);

/// Copies the upper triangle of the leading n x n block onto the lower one.
inline void MirrorUpper(int n, Matrix<double>& m) {
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j) m[j][i] = m[i][j];
}
/// A zero-filled rows x cols matrix; negative sizes count as 0.
inline Matrix<double> Sized(int rows, int cols) {
    return Matrix<double>(static_cast<std::size_t>(rows > 0 ? rows : 0), static_cast<std::size_t>(cols > 0 ? cols : 0));
}

}  // namespace kolvar
