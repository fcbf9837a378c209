#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <vector>

#include "QMLib/Transform.hpp"
#include "QMLib/qmlibDim.hpp"
#include "support/NumericData.hpp"

namespace kolvar {
namespace {

const auto Make = Matrix<double>::FromRows;

double Single(double v) { return static_cast<double>(static_cast<float>(v)); }

std::vector<double> Row(const Matrix<double>& m, std::size_t i) { return {m[i].begin(), m[i].end()}; }
using V = std::vector<double>;
using test::Rows;
using test::RowsOf;

TEST(Transform, RowAndColumnRescalingKeepMissingValues) {
    Matrix<double> m = Make({{2, kMissing, 2}, {0, 0, 0}, {1, 3, kMissing}});
    UnitSumRowsAdjMV(3, 3, m, m);
    // A zero row is copied unchanged, not divided by 0.
    EXPECT_EQ(RowsOf(m), (Rows{{0.5, kMissing, 0.5}, {0, 0, 0}, {0.25, 0.75, kMissing}}));

    Matrix<double> r = Make({{5, 1}, {5, kMissing}, {5, 3}});
    Matrix<double> out(3, 2);
    RangeColsAdjMV(3, 2, r, out);
    EXPECT_EQ(RowsOf(out), (Rows{{0, 0}, {0, kMissing}, {0, 1}}));  // constant column: 0

    Matrix<double> c = Make({{3, 0}, {kMissing, 0}, {4, 0}});
    NormalizeColsMV(3, 2, c, out);
    test::ExpectDoubleEq(out, {{0.6, 0}, {kMissing, 0}, {0.8, 0}});  // zero column divided by 1

    Matrix<double> s = Make({{3}, {100}, {4}});
    Matrix<double> so(3, 1);
    const int select[] = {1, 0, 1};
    NormalizeColsSelectedRowsMV(3, 1, s, so, select);
    test::ExpectDoubleEq(so, {{0.6}, {20}, {0.8}});  // unselected rows are scaled, not counted

    Matrix<double> rows = Make({{3, kMissing, 4}});
    NormalizeRowsMV(1, 3, rows, rows);
    test::ExpectDoubleEq(rows, {{0.6, kMissing, 0.8}});
    CenterRowsMV(1, 3, Make({{1, kMissing, 3}}), rows);
    EXPECT_EQ(Row(rows, 0), (V{-1, kMissing, 1}));
}

TEST(Transform, CorrAdjRoundsToSinglePrecision) {
    Matrix<double> m = Make({{1, 7}, {2, 7}, {3, kMissing}});
    Matrix<double> out(3, 2);
    CorrAdj(3, 2, m, out);
    const double v = 1.0 / std::sqrt(2.0);
    EXPECT_EQ(out[0][0], Single(-v));
    EXPECT_NE(out[0][0], -v);  // the rounding really happened
    EXPECT_EQ(out[1][0], 0.0);
    EXPECT_EQ(out[2][0], Single(v));
    EXPECT_EQ(out[0][1], 0.0);  // zero sum of squares divides by 1
    EXPECT_EQ(out[2][1], kMissing);
}

TEST(Transform, StandardizationsAndOutliers) {
    const double x[] = {1, 2, 3};
    double z[3];
    int flag[3];
    EXPECT_EQ(ZStandardizationVectorMV(3, x, z, 1.0, flag), 2);
    const double sd = std::sqrt(2.0 / 3.0);
    test::ExpectDoubleEq({z, z + 3}, {-1 / sd, 0, 1 / sd});
    EXPECT_EQ(std::vector<int>(flag, flag + 3), (std::vector<int>{1, 0, 1}));

    Matrix<double> m = Make({{1, 2}, {3, 2}});
    Matrix<double> out(2, 2);
    ZStandardizationColsMV(2, 2, m, out);
    test::ExpectDoubleEq(out, {{-1, 0}, {1, 0}});
    ZStandardizationRowsMV(2, 2, Make({{3, 4}, {0, 0}}), out);
    EXPECT_DOUBLE_EQ(out[0][0], 3.0 / std::sqrt(12.5));
    EXPECT_EQ(out[1][0], 0.0);

    // Total variance: columns (1, 3) and (2, 2): (1 + 9) / 1 + (4 + 4) / 1 = 18.
    GowerStandardizationCols(2, 2, m, out);
    EXPECT_DOUBLE_EQ(out[1][0], 3.0 / std::sqrt(18.0));
    // Rows: (1 + 4) / 1 + (9 + 4) / 1 = 18 as well.
    GowerStandardizationRows(2, 2, m, out);
    EXPECT_DOUBLE_EQ(out[0][1], 2.0 / std::sqrt(18.0));

    Matrix<double> covIn = Make({{1, 2, 3}, {2, 4, 6}});
    Matrix<double> cov(2, 2);
    CovarianceMV(2, 3, covIn, cov);
    test::ExpectDoubleEq(cov, {{1, 2}, {0, 4}});  // upper triangle only

    double mean, stDev;
    MeanStDev(3, x, mean, stDev);
    EXPECT_EQ(mean, 2.0);
    EXPECT_EQ(stDev, 1.0);
    const double y[] = {1, kMissing, 3};
    EXPECT_EQ(SumOfSquares(3, y), 10.0);
    EXPECT_EQ(SumOfSquaresDev(3, y), 2.0);
}

TEST(Transform, RanksAndComponents) {
    double r[] = {3, kMissing, 1, 3};
    RankVectorAdjMV(4, r);
    EXPECT_EQ(V(r, r + 4), (V{2.5, kMissing, 1, 2.5}));
    // A value below the missing code is still ranked first among present values.
    double low[] = {-2000, kMissing, 5};
    RankVectorAdjMV(3, low);
    EXPECT_EQ(low[0], 1.0);
    EXPECT_EQ(low[2], 2.0);

    const double a[] = {-3, 1, 2, -1};
    int order[4];
    RankVectorAbs(4, a, order);
    EXPECT_EQ(std::vector<int>(order, order + 4), (std::vector<int>{2, 4, 3, 1}));  // |1|, |-1| tie: order kept

    Matrix<double> w = Make({{2, 0, 4}});
    Matrix<double> qual(1, 3), quant(1, 3);
    DataPartitionQualQuant(1, 3, w, qual, 2);
    DataPartitionQualQuant(1, 3, w, quant, 1);
    EXPECT_EQ(Row(qual, 0), (V{3, 0, 3}));
    EXPECT_EQ(Row(quant, 0), (V{-1, 0, 1}));

    // r = (1, 3), c = (2, 2), N = 4: cell (0,0) = (1*4 - 1*2) / (sqrt(2) * 4).
    Matrix<double> dev(2, 2);
    DeviationsExpectationsMV(2, 2, Make({{1, 0}, {1, 2}}), dev);
    EXPECT_DOUBLE_EQ(dev[0][0], 2.0 / (std::sqrt(2.0) * 4.0));
    EXPECT_DOUBLE_EQ(dev[1][1], (8.0 - 6.0) / (std::sqrt(6.0) * 4.0));

    Matrix<double> big = Make({{1, 4}, {-2, 2}});
    MatrixUnitMaxTransf(2, 2, big);
    EXPECT_EQ(big[0][0], 0.25);
    EXPECT_EQ(big[1][0], -0.5);
}

TEST(Transform, PairwiseStatisticsSkipMissingPairs) {
    const double x[] = {1, 2, 3, kMissing};
    const double y[] = {2, 4, 6, 1000};
    const double z[] = {6, 4, 2, 1};
    EXPECT_DOUBLE_EQ(Correlation2VecMV(4, x, y), 1.0);
    EXPECT_DOUBLE_EQ(Correlation2VecMV(4, x, z), -1.0);
    EXPECT_DOUBLE_EQ(Covariance2VecMV(4, x, y), 2.0);
    EXPECT_EQ(CrossProduct2VecMV(4, x, y), 28.0);
    const double none[] = {kMissing, kMissing, kMissing, 1};
    EXPECT_EQ(Correlation2VecMV(4, x, none), kMissing);

    Matrix<double> a = Make({{1, 2, 3}, {9, 9, 9}});
    Matrix<double> b = Make({{0, 5}, {1, 7}, {2, 3}});
    EXPECT_DOUBLE_EQ(Correlation2SelectedVecMV(3, a, 0, true, b, 0, false), 1.0);
    EXPECT_DOUBLE_EQ(Correlation2SelectedVecMV(3, a, 0, true, b, 1, false), -0.5);
}

TEST(Transform, DistanceAndProductConversions) {
    Matrix<double> r = Make({{1, -1}, {-1, 1}});
    Matrix<double> out(2, 2);
    CorrToSqDist(2, r, out);
    EXPECT_EQ(RowsOf(out), (Rows{{0, 4}, {4, 0}}));
    r = Make({{1, 1}, {1, 1}});
    CorrToSqDist(2, r, out);
    EXPECT_EQ(out[0][1], 0.0);

    Matrix<double> s = Make({{1, 0.25}, {0, 1}});
    ProbToDissim(2, s, out);
    EXPECT_EQ(RowsOf(out), (Rows{{0, 0.75}, {0.75, 0}}));

    // Points 0, 1, 3 on a line: double centring of the squared distances gives
    // the cross products of the centred coordinates (-4/3, -1/3, 5/3).
    Matrix<double> d = Make({{0, 1, 3}, {0, 0, 2}, {0, 0, 0}});
    const double c[] = {-4.0 / 3, -1.0 / 3, 5.0 / 3};
    Matrix<double> g(3, 3);
    const test::Rows cc{{c[0] * c[0], c[0] * c[1], c[0] * c[2]}, {0, c[1] * c[1], c[1] * c[2]}, {0, 0, c[2] * c[2]}};
    DissToCenterProdMatrix(3, d, g, false);
    test::ExpectNear(g, cc, 1e-12);  // only the upper triangle is written
    Matrix<double> full(3, 3);
    GowerMatrixCentering(3, d, full, true);
    test::ExpectNear(full, test::RowsOf(test::CentredCrossProduct(Make({{0}, {1}, {3}}))), 1e-12);

    // Back from cross products to squared distances.
    Matrix<double> sq(3, 3);
    ProdToSqDist(3, full, sq);
    test::ExpectNear(sq, {{0, 1, 9}, {0, 0, 4}, {0, 0, 0}}, 1e-12);  // upper triangle only
    EXPECT_EQ(sq[2][2], 0.0);
}

}  // namespace
}  // namespace kolvar
