#include <gtest/gtest.h>
#include <omp.h>

#include <random>
#include <vector>

#include "QMLib/Belonging.hpp"
#include "QMLib/qmlibDim.hpp"
#include "support/NumericData.hpp"

namespace kolvar {
namespace {

TEST(Belonging, FuzzyIsTheSameOnOneThreadAndOnMany) {
    const int n = 300, k = 40;
    std::mt19937 gen(7);
    std::uniform_real_distribution<double> unif(0.0, 1.0);
    std::vector<int> part(n);
    for (int i = 0; i < n; ++i) part[i] = static_cast<int>(gen() % k) + 1;
    Matrix<double> s(n, n);
    for (int i = 0; i < n; ++i)
        for (int j = i; j < n; ++j) s[i][j] = i == j ? 1.0 : (gen() % 50 == 0 ? 1.0 : unif(gen));
    s[3][9] = kMissing;
    int nGroups = 0;
    CountGroupsNew(n, part.data(), nGroups);

    const int saved = omp_get_max_threads();
    Matrix<double> s1 = s, s2 = s;
    Matrix<double> u1(n, nGroups), u2(n, nGroups);
    omp_set_num_threads(1);
    FuzzyBelonging(n, nGroups, s1, part.data(), u1, false);
    omp_set_num_threads(4);
    BelongingWork work;
    FuzzyBelonging(n, nGroups, s2, part.data(), u2, false, work);
    omp_set_num_threads(saved);
    EXPECT_TRUE(test::SameBits(u1, u2));
    for (int i = 0; i < n; ++i) {
        double sum = 0;
        for (int g = 0; g < nGroups; ++g)
            if (u1[i][g] != kMissing) sum += u1[i][g];
        EXPECT_NEAR(sum, 1.0, 1e-12);
    }
}

}  // namespace
}  // namespace kolvar
