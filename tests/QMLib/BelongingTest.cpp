#include <gtest/gtest.h>
#include <omp.h>

#include <initializer_list>
#include <random>
#include <vector>

#include "QMLib/Belonging.hpp"
#include "QMLib/qmlibDim.hpp"
#include "support/NumericData.hpp"

namespace kolvar {
namespace {

using test::Rows;
using test::RowsOf;

TEST(Belonging, CountGroupsAndCrispMembership) {
    const int labels[] = {3, 1, 3, 2};
    int count = -1;
    int list[4] = {};
    CountGroupsNew(4, labels, count, list);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(std::vector<int>(list, list + 3), (std::vector<int>{1, 2, 3}));
    CountGroupsNew(4, labels, count);
    EXPECT_EQ(count, 3);
    CountGroupsNew(0, labels, count, list);
    EXPECT_EQ(count, 0);

    const int select[] = {1, 0, 1, 1};
    CountGroupsSelect(4, labels, select, count, list);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(std::vector<int>(list, list + 2), (std::vector<int>{2, 3}));

    const int part[] = {2, 1, 2};
    Matrix<double> u(3, 2);
    u.fill(9.0);
    EXPECT_TRUE(CrispBelonging(3, 2, part, u));
    EXPECT_EQ(RowsOf(u), (Rows{{0, 1}, {1, 0}, {0, 1}}));

    Matrix<double> id(2, 2);
    id.fill(9.0);
    CrispBelonging(2, 2, nullptr, id);
    EXPECT_EQ(RowsOf(id), (Rows{{1, 0}, {0, 1}}));
}

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
