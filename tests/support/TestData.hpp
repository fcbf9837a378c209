#pragma once
// Reference computations and made-up data shared by the test programs.

#include <cstddef>

#include "QMLib/Matrix.hpp"
#include "QMLib/Random.hpp"

namespace kolvar::test {

/// Euclidean distances between the rows of x over its first cols columns
/// (all when cols is 0), written out pair by pair: the plain reference.
Matrix<double> EuclideanDistances(const Matrix<double>& x, std::size_t cols = 0);

/// n x p values u * scale + shift, u uniform in [0, 1) from GSL's MT19937 with the seed.
Matrix<double> UniformMatrix(int n, int p, unsigned long seed, double scale = 1.0, double shift = 0.0);

/// A generator seeded as the program seeds it.
Random Seeded(unsigned long seed);

}  // namespace kolvar::test
