#include <gtest/gtest.h>
#include <omp.h>

#include <cmath>
#include <initializer_list>
#include <random>
#include <utility>
#include <vector>

#include "QMLib/Resemblance.hpp"
#include "QMLib/qmlibDim.hpp"
#include "support/NumericData.hpp"

namespace kolvar {
namespace {

const auto Make = Matrix<double>::FromRows;

// The whole-matrix route to the partial similarities (ranges recomputed, unit
// weights) agrees with the one-variable routine, trait by trait.
TEST(Resemblance, PartialGowerAgreesWithTheOneVariableRoutine) {
    // Binary, nominal, quantitative and ordinal.
    const Matrix<double> data = Make({{1, 2, 1, 10}, {0, 2, 3, 30}, {0, 1, 5, 20}});
    const int types[] = {1, 2, 3, 4};
    const double ranges[] = {0, 0, 0, 0};
    const double weights[] = {1, 1, 1, 1};
    Array3D<double> part = dim3D<double>(3, 3, 4);
    gower_similarityPartial(4, data, 3, part, types, ranges, weights, false);
    for (int t = 0; t < 4; ++t) {
        std::vector<double> col = {data[0][t], data[1][t], data[2][t]};
        Matrix<double> one(3, 3);
        GowerMVPartial_dAbsences(3, types[t], col.data(), one, ranges[t], weights[t], false);
        for (int i = 0; i < 3; ++i)
            for (int j = i; j < 3; ++j) EXPECT_EQ(part[i][j][t], one[i][j]) << t << ' ' << i << ' ' << j;
    }
}

TEST(Resemblance, ChordDistanceIgnoresMissingValuesElsewhere) {
    Matrix<double> full = Make({{1, 2, 2}, {3, 0, 4}, {1, 1, 1}});
    Matrix<double> holed = full;
    holed[2][1] = kMissing;
    Matrix<double> d1(3, 3), d2(3, 3);
    ChordDistMV(3, 3, full, d1);
    ChordDistMV(3, 3, holed, d2);
    EXPECT_EQ(d1[0][1], d2[0][1]);
    const double sq = std::pow(1.0 / 3 - 0.6, 2) + std::pow(2.0 / 3, 2) + std::pow(2.0 / 3 - 0.8, 2);
    EXPECT_NEAR(d1[0][1], std::sqrt(sq), 1e-15);
    // Rows 0 and 2 compared over columns 0 and 2 only, each normalised there.
    const double a = 1.0 / std::sqrt(5.0), b = 1.0 / std::sqrt(2.0);
    EXPECT_NEAR(d2[0][2], std::sqrt((a - b) * (a - b) + (2 * a - b) * (2 * a - b)), 1e-15);
    EXPECT_NE(d2[0][2], d1[0][2]);
}

// Both routes (pair by pair with missing values, column-wise without) give
// every pair exactly the bits of the plain pairwise sum, on any number of threads.
TEST(Resemblance, EuclideanGivesThePairwiseBitsOnOneThreadAndOnMany) {
    // Many objects and few variables, and few objects (not a multiple of the
    // panels) with variables enough for several blocks.
    for (const auto& [n, p] : {std::pair{300, 12}, std::pair{77, 300}}) {
        std::vector<int> selectCols(static_cast<std::size_t>(p));
        for (int k = 0; k < p; ++k) selectCols[static_cast<std::size_t>(k)] = k % 6 != 2;
        const int* select = selectCols.data();
        for (const bool holes : {false, true}) {
            std::mt19937 gen(holes ? 11 : 5);
            std::uniform_real_distribution<double> u(-3.0, 3.0);
            Matrix<double> data(n, p);
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < p; ++j) data[i][j] = holes && gen() % 20 == 0 ? kMissing : u(gen);
            const int saved = omp_get_max_threads();
            Matrix<double> one(n, n), many(n, n), sel1(n, n), sel4(n, n);
            omp_set_num_threads(1);
            EucliDistMV(n, p, data, one);
            EucliDistMVSelect(n, p, data, sel1, select);
            omp_set_num_threads(4);
            EucliDistMV(n, p, data, many);
            EucliDistMVSelect(n, p, data, sel4, select);
            omp_set_num_threads(saved);
            int mismatches = 0;
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < n; ++j) {
                    double s = 0.0, t = 0.0;
                    for (int k = 0; k < p; ++k) {
                        if (data[i][k] == kMissing || data[j][k] == kMissing) continue;
                        const double d = data[i][k] - data[j][k];
                        s += d * d;
                        if (select[k]) t += d * d;
                    }
                    const double want = s == 0.0 ? 0.0 : std::sqrt(s), wantSel = t == 0.0 ? 0.0 : std::sqrt(t);
                    mismatches +=
                        (one[i][j] != want) + (many[i][j] != want) + (sel1[i][j] != wantSel) + (sel4[i][j] != wantSel);
                }
            EXPECT_EQ(mismatches, 0) << (holes ? "with missing values" : "complete") << ", " << n << " x " << p;
        }
    }
}

}  // namespace
}  // namespace kolvar
