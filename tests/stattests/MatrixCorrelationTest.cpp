#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "QMLib/Transform.hpp"
#include "QMLib/qmlibDim.hpp"
#include "stattests/MatrixCorrelation.hpp"
#include "support/NumericData.hpp"
#include "support/TestData.hpp"

namespace kolvar {
namespace {

Matrix<double> Uniform(int n, int p, unsigned long seed) { return test::UniformMatrix(n, p, seed, 2.0, -0.5); }

Matrix<double> Euclid(const Matrix<double>& x) { return test::EuclideanDistances(x); }

using test::Pearson;

TEST(MatrixCorrelation, MantelAndRd) {
    const int n = 7;
    const Matrix<double> a = Uniform(n, 3, 11), b = Uniform(n, 2, 12);
    const Matrix<double> da = Euclid(a), db = Euclid(b);
    test::ExpectNear({MatrixCorr(n, da, da), RdMatrixCorr(n, da, da, false), RdMatrixCorr(n, da, da, true)}, {1, 1, 1},
                     1e-12);

    // Mantel: the strict upper triangle only, missing pairs left out entirely.
    Matrix<double> dm = db;
    dm[1][4] = kMissing;
    dm[5][2] = 1234;  // lower triangle: never read
    std::vector<double> x, y;
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j)
            if (!(i == 1 && j == 4)) {
                x.push_back(da[i][j]);
                y.push_back(db[i][j]);
            }
    EXPECT_NEAR(MatrixCorr(n, da, dm), Pearson(x, y), 1e-12);
    EXPECT_EQ(MatrixCorr(1, da, db), 0.0);
    Matrix<double> flat(n, n);
    EXPECT_EQ(MatrixCorr(n, da, flat), 0.0);
    EXPECT_EQ(RdMatrixCorr(n, da, flat, true), 0.0);

    // Rd of squared Euclidean distances is the RV coefficient of the data...
    EXPECT_NEAR(RdMatrixCorr(n, da, db, true), RVcoeff(n, 3, 2, a, b), 1e-12);
    // ...and the uncentred cosine of the two Gower-centred matrices.
    Matrix<double> ga(n, n), gb(n, n);
    GowerMatrixCentering(n, da, ga, true);
    GowerMatrixCentering(n, db, gb, true);
    const double cosine = vecProd(n, ga, gb) / std::sqrt(vecProd(n, ga, ga) * vecProd(n, gb, gb));
    EXPECT_NEAR(RdMatrixCorr(n, da, db, true), cosine, 1e-12);
}

TEST(MatrixCorrelation, RVAndProcrustes) {
    const int n = 9;
    const Matrix<double> a = Uniform(n, 3, 21);
    test::ExpectNear({RVcoeff(n, 3, 3, a, a), ProcrustesCoeff(n, 3, 3, a, a)}, {1, 1}, 1e-12);

    // The definition with explicit cross-product matrices, to the bit.
    const Matrix<double> b = Uniform(n, 2, 22);
    const Matrix<double> sm = test::CentredCrossProduct(a), tm = test::CentredCrossProduct(b);
    EXPECT_EQ(RVcoeff(n, 3, 2, a, b), vecProd(n, sm, tm) / std::sqrt(vecProd(n, sm, sm) * vecProd(n, tm, tm)));

    // A rotated, shifted and scaled copy agrees perfectly.
    const double c = std::cos(0.7), s = std::sin(0.7);
    const double rot[3][3] = {{c, -s, 0}, {s * 0.6, c * 0.6, 0.8}, {-s * 0.8, -c * 0.8, 0.6}};
    Matrix<double> r(n, 3), rPadded(n, 4);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < 3; ++j) {
            for (int k = 0; k < 3; ++k) r[i][j] += a[i][k] * rot[k][j];
            r[i][j] = 3 * r[i][j] + 5;
            rPadded[i][j] = r[i][j];
        }
    // Different column counts: the narrower matrix is padded (either order).
    test::ExpectNear({ProcrustesCoeff(n, 3, 3, a, r), RVcoeff(n, 3, 3, a, r), ProcrustesCoeff(n, 3, 4, a, rPadded),
                      ProcrustesCoeff(n, 4, 3, rPadded, a)},
                     {1, 1, 1, 1}, 1e-12);

    // One column each: Procrustes is |r|, RV is r squared.
    Matrix<double> u(n, 1), v(n, 1);
    std::vector<double> x(n), y(n);
    for (int i = 0; i < n; ++i) {
        x[i] = u[i][0] = a[i][0];
        y[i] = v[i][0] = -a[i][1] + 0.5 * a[i][0];
    }
    const double rho = Pearson(x, y);
    EXPECT_NEAR(ProcrustesCoeff(n, 1, 1, u, v), std::fabs(rho), 1e-12);
    EXPECT_NEAR(RVcoeff(n, 1, 1, u, v), rho * rho, 1e-12);
    Matrix<double> constant(n, 1);
    EXPECT_EQ(RVcoeff(n, 1, 1, u, constant), 0.0);  // no variance: defined as 0
}

TEST(MatrixCorrelation, DispatchAndSimilarityForm) {
    const int n = 6;
    const Matrix<double> a = Uniform(n, 2, 31), b = Uniform(n, 3, 32);
    const Matrix<double> da = Euclid(a), db = Euclid(b);
    MatrixCorrWork work;
    EXPECT_EQ(MatrixCorrelationLib(n, 2, 3, a, b, da, db, false, 'm', work), MatrixCorr(n, da, db));
    EXPECT_EQ(MatrixCorrelationLib(n, 2, 3, a, b, da, db, true, 'r', work), RdMatrixCorr(n, da, db, true));
    EXPECT_EQ(MatrixCorrelationLib(n, 2, 3, a, b, da, db, true, 'v', work), RVcoeff(n, 2, 3, a, b));
    EXPECT_EQ(MatrixCorrelationLib(n, 2, 3, a, b, da, db, true, 'p', work), ProcrustesCoeff(n, 2, 3, a, b));
    EXPECT_EQ(MatrixCorrelationLib(n, 2, 3, a, b, da, db, true, 'x', work), 0.0);
    // The squaring flag reaches the Rd form only.
    EXPECT_EQ(MatrixCorrelationLib(n, 2, 3, a, b, da, db, true, 'm', work), MatrixCorr(n, da, db));

    // Similarity form: only the input flagged as a similarity becomes 1 - s.
    Matrix<double> sb(n, n);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) sb[i][j] = 1 - db[i][j];
    sb[0][3] = kMissing;
    Matrix<double> dbm = db;
    dbm[0][3] = kMissing;  // a missing similarity stays missing
    EXPECT_NEAR(MatrixCorrelationLib(n, 2, 3, a, b, da, sb, true, false, false, 'm', work),
                MatrixCorr(n, da, dbm), 1e-15);
    EXPECT_NEAR(MatrixCorrelationLib(n, 2, 3, a, b, da, db, true, true, false, 'm', work),
                MatrixCorr(n, da, db), 1e-15);
}

TEST(MatrixCorrelation, PartialMatrixCorrelationAndComponentRegression) {
    const int n = 12;
    const Matrix<double> k = Uniform(n, 3, 41), noise = Uniform(n, 2, 42);
    // Y lies in the span of the covariates: removed entirely when every component is used.
    Matrix<double> y(n, 2);
    for (int i = 0; i < n; ++i) {
        y[i][0] = 2 * k[i][0] - k[i][1] + 1;
        y[i][1] = k[i][2] + 0.5 * k[i][0];
    }
    Matrix<double> res(n, 2);
    PCA_Regression_ResidualsSelect(n, 2, 3, y, k, res, nullptr, 2, 1.0);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < 2; ++j) EXPECT_NEAR(res[i][j], 0.0, 1e-12);
    // (12 - 2) / 5 = 2 components at most: part of Y remains.
    PCA_Regression_ResidualsSelect(n, 2, 3, y, k, res, nullptr, 2, 5.0);
    double ss = 0;
    for (int i = 0; i < n; ++i) ss += res[i][0] * res[i][0] + res[i][1] * res[i][1];
    EXPECT_GT(ss, 1e-3);
    // The selection keeps only the chosen covariate columns.
    const int sel[3] = {1, 1, 0};
    Matrix<double> resSel(n, 2), k2(n, 2);
    for (int i = 0; i < n; ++i) {
        k2[i][0] = k[i][0];
        k2[i][1] = k[i][1];
    }
    PCA_Regression_ResidualsSelect(n, 2, 3, y, k, resSel, sel, 2, 1.0);
    PCA_Regression_ResidualsSelect(n, 2, 2, y, k2, res, nullptr, 2, 1.0);
    for (int i = 0; i < n; ++i) EXPECT_NEAR(resSel[i][1], res[i][1], 1e-12);
    EXPECT_GT(std::fabs(resSel[0][1]), 1e-6);
    // An unknown mode uses no component: the centred responses.
    PCA_Regression_ResidualsSelect(n, 2, 3, y, k, res, nullptr, 7, 1.0);
    double mean = 0;
    for (int i = 0; i < n; ++i) mean += y[i][0] / n;
    EXPECT_NEAR(res[3][0], y[3][0] - mean, 1e-12);

    // Covariates split over two sets give the same as one set holding them all.
    Matrix<double> a(n, 2), b(n, 2);
    for (int i = 0; i < n; ++i) {
        a[i][0] = y[i][0] + noise[i][0];
        a[i][1] = noise[i][1];
        b[i][0] = y[i][1] - noise[i][0];
        b[i][1] = noise[i][1] * noise[i][0];
    }
    const Matrix<double> first = k2;
    Matrix<double> second(n, 1);
    for (int i = 0; i < n; ++i) second[i][0] = k[i][2];
    const std::array<CovariateSet, 1> oneSet{CovariateSet{3, nullptr, &k}};
    const std::array<CovariateSet, 2> twoSets{CovariateSet{2, nullptr, &first}, CovariateSet{1, nullptr, &second}};
    MatrixCorrWork work;
    const double rv = PartialMatrixCorrelation(2.0, n, 2, 2, a, b, 3, oneSet, work);
    EXPECT_EQ(PartialMatrixCorrelation(2.0, n, 2, 2, a, b, 3, twoSets, work), rv);
    const double pr = PartialMatrixCorrelation(2.0, n, 2, 2, a, b, 2, oneSet, work);
    EXPECT_GT(pr, 0.0);
    EXPECT_LE(pr, 1.0 + 1e-12);
    EXPECT_EQ(PartialMatrixCorrelation(2.0, n, 2, 2, a, b, 1, oneSet, work), 0.0);
    EXPECT_NEAR(PartialMatrixCorrelation(2.0, n, 2, 2, a, a, 3, oneSet, work), 1.0, 1e-12);
    // Reusing the work space changes nothing.
    EXPECT_EQ(PartialMatrixCorrelation(2.0, n, 2, 2, a, b, 3, oneSet), rv);
}

// The batch gives each pair the bits of its own call, for every group size,
// with a missing cell in the first matrix, in one of the others, or nowhere.
TEST(MatrixCorrelation, BatchGivesTheBitsOfOneCallEach) {
    const int n = 40;
    std::vector<Matrix<double>> d;
    for (int k = 0; k < 7; ++k) d.push_back(Euclid(Uniform(n, 3, 100 + k)));
    for (const int hole : {-1, 0, 4}) {
        std::vector<Matrix<double>> m = d;
        if (hole >= 0) m[static_cast<std::size_t>(hole)][3][17] = kMissing;
        std::vector<const Matrix<double>*> others;
        for (std::size_t k = 1; k < m.size(); ++k) others.push_back(&m[k]);
        for (std::size_t size = 1; size <= others.size(); ++size) {
            std::vector<double> got(size);
            MatrixCorrBatch(n, m[0], std::span<const Matrix<double>* const>(others.data(), size), got.data());
            for (std::size_t k = 0; k < size; ++k) {
                const double want = MatrixCorr(n, m[0], *others[k]);
                EXPECT_TRUE(test::SameBits(want, got[k])) << "hole " << hole << ", size " << size << ", pair " << k;
            }
        }
    }
}

}  // namespace
}  // namespace kolvar
