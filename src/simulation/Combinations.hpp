#pragma once
// Every non-empty subset of n items as rows of 0/1 flags, ordered by size and,
// within a size, with the earliest items chosen first.

#include "QMLib/Matrix.hpp"

namespace kolvar {

/// Sum over k = 1..n of n! / (k! (n - k)!), that is 2^n - 1, in extended precision.
long double NumberAllCombinations(int n);

/// Fills rows 0.. of m (at least NumberAllCombinations(n) x n) with the subsets
/// of sizes 1..maxSize (all sizes when maxSize < 1); returns the rows written.
int AllCombinations(Matrix<int>& m, int nRows, int n, int maxSize = 0);

}  // namespace kolvar
