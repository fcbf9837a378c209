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

const auto Make = Matrix<double>::FromRows;
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

TEST(Belonging, FuzzyWithoutPartitionIsRowScaledSimilarity) {
    // Upper triangle only: the routine mirrors it into the caller's matrix.
    Matrix<double> s = Make({{1, 0.5, 0.25}, {0, 1, 0.8}, {0, 0, 1}});
    Matrix<double> u(3, 3);
    EXPECT_TRUE(FuzzyBelonging(3, 3, s, nullptr, u, false));
    EXPECT_EQ(s[2][1], 0.8);
    test::ExpectDoubleEq(u, {{1 / 1.75, 0.5 / 1.75, 0.25 / 1.75}, {0.5 / 2.3, 1 / 2.3, 0.8 / 2.3},
                             {0.25 / 2.05, 0.8 / 2.05, 1 / 2.05}});

    // A dissimilarity D gives the U of the similarity 1 - D.
    Matrix<double> d = Make({{0, 0.5, 0.75}, {0, 0, 0.2}, {0, 0, 0}});
    Matrix<double> ud(3, 3);
    FuzzyBelonging(3, 3, d, nullptr, ud, true);
    test::ExpectDoubleEq(ud, RowsOf(u));

    // A missing resemblance to every member of a type stays missing after scaling.
    Matrix<double> m = Make({{1, 0.5, kMissing}, {0, 1, 0.5}, {0, 0, 1}});
    Matrix<double> um(3, 3);
    FuzzyBelonging(3, 3, m, nullptr, um, false);
    EXPECT_EQ(um[0][2], kMissing);
    EXPECT_EQ(um[2][0], kMissing);
    EXPECT_DOUBLE_EQ(um[0][0] + um[0][1], 1.0);
    EXPECT_DOUBLE_EQ(um[0][0], 1.0 / 1.5);
}

TEST(Belonging, IdenticalOtusOfOneTypeAreCountedOnce) {
    const int part[] = {1, 1, 2};
    Matrix<double> s = Make({{1, 1, 0.5}, {0, 1, 0.4}, {0, 0, 1}});
    Matrix<double> u(3, 2);
    FuzzyBelonging(3, 2, s, part, u, false);
    // OTU 1 collapses into OTU 0; type 1 keeps one member. OTU 1's own row
    // counts only itself, not its representative.
    test::ExpectDoubleEq(u, {{1 / 1.5, 0.5 / 1.5}, {1 / 1.4, 0.4 / 1.4}, {0.5 / 1.5, 1 / 1.5}});

    // Within one single-precision step of 1 still collapses; two steps do not.
    Matrix<double> near = Make({{1, 1.0 - 1e-9, 0.5}, {0, 1, 0.4}, {0, 0, 1}});
    Matrix<double> un(3, 2);
    FuzzyBelonging(3, 2, near, part, un, false);
    EXPECT_DOUBLE_EQ(un[0][0], 1.0 / 1.5);
    Matrix<double> apart = Make({{1, 0.9, 0.5}, {0, 1, 0.4}, {0, 0, 1}});
    FuzzyBelonging(3, 2, apart, part, un, false);
    EXPECT_DOUBLE_EQ(un[0][0], 0.95 / 1.45);  // (1 + 0.9) / 2 members

    // The same pair in different types is not collapsed.
    const int split[] = {1, 2, 3};
    Matrix<double> t = Make({{1, 1, 0}, {0, 1, 0}, {0, 0, 1}});
    Matrix<double> ut(3, 3);
    FuzzyBelonging(3, 3, t, split, ut, false);
    EXPECT_DOUBLE_EQ(ut[0][0], 0.5);
    EXPECT_DOUBLE_EQ(ut[1][0], 0.5);
    EXPECT_DOUBLE_EQ(ut[1][1], 0.5);
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
