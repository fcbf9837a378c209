#include "simulation/Combinations.hpp"

#include <vector>

#include "QMLib/qmlibDim.hpp"

namespace kolvar {

long double NumberAllCombinations(int n) {
    long double total = 0.0L;
    for (int k = 1; k <= n; ++k) total += Factorial(n) / (Factorial(k) * Factorial(n - k));
    return total;
}

namespace {

// Chooses the next position of a k-subset after `from`, writing each complete
// subset as the next row.
void Choose(Matrix<int>& m, int nRows, int n, int k, int from, std::vector<int>& chosen, int& row) {
    if (static_cast<int>(chosen.size()) == k) {
        if (row >= nRows) return;
        for (int j = 0; j < n; ++j) m[row][j] = 0;
        for (int c : chosen) m[row][c] = 1;
        ++row;
        return;
    }
    for (int p = from; p < n; ++p) {
        chosen.push_back(p);
        Choose(m, nRows, n, k, p + 1, chosen, row);
        chosen.pop_back();
    }
}

}  // namespace

int AllCombinations(Matrix<int>& m, int nRows, int n, int maxSize) {
    if (maxSize < 1 || maxSize > n) maxSize = n;
    int row = 0;
    std::vector<int> chosen;
    for (int k = 1; k <= maxSize; ++k) Choose(m, nRows, n, k, 0, chosen, row);
    return row;
}

}  // namespace kolvar
