#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "base/Fatal.hpp"
#include "stattests/Regression.hpp"
#include "support/NumericData.hpp"
#include "support/TestData.hpp"

namespace kolvar {
namespace {

Matrix<double> Random(int n, int p, unsigned long seed) { return test::UniformMatrix(n, p, seed, 4.0, -1.0); }

// Collinear predictors end the program through the elimination.
TEST(Regression, CollinearPredictorsAreFatal) {
    const Matrix<double> col = Matrix<double>::FromRows({{1, 1}, {2, 2}, {4, 4}, {3, 3}, {7, 7}, {5, 5}});
    Matrix<double> c(6, 1), b(2, 1), yhat(6, 1);
    double b0[1], r2[1];
    EXPECT_THROW(regression(6, 1, 2, c, col, b, b0, yhat, r2), FatalError);
}

TEST(Regression, ResidualsAreOrthogonalToPredictors) {
    const int n = 40, p = 3, q = 4;
    const Matrix<double> y = Random(n, p, 1), x = Random(n, q, 2);
    Matrix<double> res(n, p);
    const int select[q] = {1, 0, 1, 1};
    RegressionWork work;
    for (int round = 0; round < 2; ++round) {  // a reused work space gives the same answer
        Regression_ResidualsSelect(n, p, q, y, x, res, select, work);
        for (int j = 0; j < p; ++j) {
            double sum = 0;
            for (int i = 0; i < n; ++i) sum += res[i][j];
            EXPECT_NEAR(sum, 0.0, 1e-12);
            for (int k = 0; k < q; ++k) {
                double dot = 0;
                for (int i = 0; i < n; ++i) dot += res[i][j] * x[i][k];
                if (select[k] == 1) EXPECT_NEAR(dot, 0.0, 1e-11) << j << ' ' << k;
                else EXPECT_GT(std::fabs(dot), 1e-6);  // the unselected column was not used
            }
        }
    }
    // No predictor at all: the residuals are the centred responses.
    Matrix<double> res0(n, p);
    Regression_ResidualsSelect(n, p, 0, y, x, res0, nullptr);
    double mean = 0;
    for (int i = 0; i < n; ++i) mean += y[i][0] / n;
    EXPECT_NEAR(res0[5][0], y[5][0] - mean, 1e-12);
}

TEST(Regression, ResidualDissimilarities) {
    const int n = 5;
    Matrix<double> d1(n, n), d2(n, n), res(n, n);
    res.fill(-5);
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j) {
            d2[i][j] = (i + 1) * (j + 2) % 7;
            d1[i][j] = 1 + 2 * d2[i][j];
            d1[j][i] = 100;  // lower triangles are never read
        }
    ResidualsMatrixRegression(n, d1, d2, res);
    for (int i = 0; i < n; ++i) {
        EXPECT_EQ(res[i][i], -5.0);
        for (int j = i + 1; j < n; ++j) {
            EXPECT_NEAR(res[i][j], 0.0, 1e-12);
            EXPECT_EQ(res[j][i], -5.0);
        }
    }
    d1[0][1] += 1;  // one pair off the line: its residual is the largest
    ResidualsMatrixRegression(n, d1, d2, res);
    EXPECT_GT(res[0][1], 0.5);
}

// The one-pass group sums equal separate within-group passes, bit for bit.
TEST(Regression, GroupSumsOfSquaresEqualSeparateWithinGroupPasses) {
    const int m = 30;
    Matrix<double> big(m, m);
    std::vector<int> groups(m), members(m);
    for (int i = 0; i < m; ++i) {
        groups[i] = (i * 7) % 4;
        for (int j = 0; j < m; ++j) big[i][j] = std::sqrt(1.0 + (i * 13 + j * 5) % 11);
    }
    double want = WithinGrSqDissim(m, big, std::vector<int>(m, 1).data(), false);
    for (int g = 0; g < 4; ++g) {
        for (int i = 0; i < m; ++i) members[i] = groups[i] == g;
        want -= WithinGrSqDissim(m, big, members.data(), false);
    }
    double between = -1, total = -1;
    EXPECT_EQ(BetweenGrSqDissim(m, big, groups.data(), &between, &total, nullptr, false), want);
}

}  // namespace
}  // namespace kolvar
