#include <gtest/gtest.h>
#include <gsl/gsl_randist.h>
#include <gsl/gsl_rng.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/Fatal.hpp"
#include "QMLib/Ordination.hpp"
#include "QMLib/Random.hpp"
#include "support/NumericData.hpp"
#include "support/TestData.hpp"

namespace kolvar {
namespace {

const auto FromRows = Matrix<double>::FromRows;

// Euclidean distances between the rows of x, and x's column-centred cross
// products: the two routes to the same principal coordinates.
using test::CentredCrossProduct;
using test::EuclideanDistances;

const Matrix<double> kPoints = FromRows({{0, 0, 1}, {1, 2, 0}, {3, 1, 2}, {4, 4, 1}, {2, 5, 3}, {1, 1, 1}});

TEST(Eigen, DecompositionAndNegativeEigenvalueCheck) {
    Matrix<double> a = FromRows({{2, 1}, {1, 2}}), vec(2, 2);
    double val[2];
    EXPECT_TRUE(EigenHouseholderQL_GSL_D(2, a, vec, val));
    test::ExpectNear({val, val + 2}, {3, 1}, 1e-12);
    // Rows hold the vectors: (1, 1)/sqrt 2 for the largest value.
    EXPECT_NEAR(std::fabs(vec[0][0]), std::sqrt(0.5), 1e-12);
    EXPECT_NEAR(vec[0][0], vec[0][1], 1e-12);
    EXPECT_NEAR(vec[1][0], -vec[1][1], 1e-12);

    // Only the upper triangle is read: a lower half left at 0 changes nothing.
    Matrix<double> upper = FromRows({{2, 1}, {0, 2}});
    double valUpper[2];
    EigenHouseholderQL_GSL_D(2, upper, vec, valUpper);
    test::ExpectNear({valUpper, valUpper + 2}, {3, 1}, 1e-12);

    // Eigenvalue / sum below -0.001 is reported; -0.0005 is not.
    Matrix<double> bad = FromRows({{1.002, 0}, {0, -0.002}});
    EXPECT_FALSE(EigenHouseholderQL_GSL_D(2, bad, vec, val));
    EXPECT_DOUBLE_EQ(val[1], -0.002);
    Matrix<double> fine = FromRows({{1.0005, 0}, {0, -0.0005}});
    EXPECT_TRUE(EigenHouseholderQL_GSL_D(2, fine, vec, val));
    EXPECT_TRUE(EigenHouseholderQL_GSL_D(0, fine, vec, val));
}

TEST(Eigen, SingularValueDecompositionReconstructs) {
    Matrix<double> a = FromRows({{3, 1, 2}, {1, 4, 0}, {2, 0, 5}, {1, 1, 1}}), u(4, 3), v(3, 3);
    double s[3];
    ASSERT_TRUE(SingValueDecomp(4, 3, a, u, s, v));
    EXPECT_GE(s[0], s[1]);
    EXPECT_GE(s[1], s[2]);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 3; ++j) {
            double r = 0;
            for (int k = 0; k < 3; ++k) r += u[i][k] * s[k] * v[j][k];
            EXPECT_NEAR(r, a[i][j], 1e-12);
        }
    EXPECT_FALSE(SingValueDecomp(2, 3, a, u, s, v));  // fewer rows than columns
}

TEST(Ordination, PrincipalCoordinatesOfEuclideanDistances) {
    const int n = 6;
    const Matrix<double> d = EuclideanDistances(kPoints);
    Matrix<double> vec(n, n), scores(n, n), vec2(n, n);
    std::vector<double> val(n), val2(n);
    int nAxes = 0;
    bool ok = false;
    OrdinationLib_D(n, 3, kPoints, d, vec, scores, nAxes, val.data(), ok, 1, 3, 1);
    EXPECT_TRUE(ok);
    EXPECT_EQ(nAxes, 3);  // three coordinates; the other axes carry nothing

    EigenHouseholderQL_GSL_D(n, CentredCrossProduct(kPoints), vec2, val2.data());
    test::ExpectNear(val, val2, 1e-10);

    // The scores reproduce the distances and carry the eigenvalue as sum of squares.
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            double s = 0;
            for (int k = 0; k < nAxes; ++k) s += (scores[k][i] - scores[k][j]) * (scores[k][i] - scores[k][j]);
            EXPECT_NEAR(std::sqrt(s), d[i][j], 1e-10);
        }
    for (int k = 0; k < nAxes; ++k) {
        double ss = 0;
        for (int i = 0; i < n; ++i) ss += scores[k][i] * scores[k][i];
        EXPECT_NEAR(ss, val[k], 1e-10);
    }

    // A cross-product kind goes through squared distances first: same axes.
    Matrix<double> scores2(n, n);
    OrdinationLib_D(n, 3, kPoints, CentredCrossProduct(kPoints), vec2, scores2, nAxes, val2.data(), ok, 1, 1, 1);
    EXPECT_EQ(nAxes, 3);
    test::ExpectNear({val2.begin(), val2.begin() + 3}, {val.begin(), val.begin() + 3}, 1e-10);

    // Points on a line: a single retained axis.
    const Matrix<double> line = FromRows({{0, 0}, {1, 2}, {2, 4}, {5, 10}});
    Matrix<double> s3(4, 4);
    EXPECT_EQ(OrdinationLib_Scores(4, 2, line, EuclideanDistances(line), s3, 1, 3, 1), 1);
}

TEST(Ordination, PrincipalComponentsAndCorrespondenceAnalysis) {
    // Principal components: variables as rows (3 variables, 6 objects).
    const int nv = 3, no = 6;
    Matrix<double> data(nv, no), dataT(no, nv);
    for (int i = 0; i < nv; ++i)
        for (int j = 0; j < no; ++j) data[i][j] = dataT[j][i] = kPoints[j][i];
    Matrix<double> centred = data;
    for (int i = 0; i < nv; ++i) {
        double m = 0;
        for (int j = 0; j < no; ++j) m += data[i][j];
        for (int j = 0; j < no; ++j) centred[i][j] -= m / no;
    }
    Matrix<double> cov(nv, nv);
    for (int a = 0; a < nv; ++a)
        for (int b = 0; b < nv; ++b)
            for (int j = 0; j < no; ++j) cov[a][b] += centred[a][j] * centred[b][j];
    Matrix<double> vec(nv, nv), scores(nv, no), scoresT(nv, no);
    std::vector<double> val(nv);
    int nAxes = 0;
    bool ok = false;
    OrdinationLib_D(nv, no, data, cov, vec, scores, nAxes, val.data(), ok, 2, 22, 1);
    ASSERT_EQ(nAxes, 3);
    for (int k = 0; k < nAxes; ++k) {
        double ss = 0, sum = 0;
        for (int j = 0; j < no; ++j) {
            ss += scores[k][j] * scores[k][j];
            sum += scores[k][j];
        }
        EXPECT_NEAR(ss, val[k], 1e-10);  // variance along the axis
        EXPECT_NEAR(sum, 0.0, 1e-10);    // centred rows give centred scores
    }
    // Stored the other way round and read transposed: the same scores.
    OrdinationLib_D(nv, no, dataT, cov, vec, scoresT, nAxes, val.data(), ok, 2, 22, 2);
    for (int k = 0; k < nAxes; ++k)
        for (int j = 0; j < no; ++j) EXPECT_DOUBLE_EQ(scoresT[k][j], scores[k][j]);

    // Correspondence analysis of a 3 x 4 table through its chi-square deviations.
    const Matrix<double> table = FromRows({{10, 2, 0, 5}, {3, 8, 4, 1}, {0, 3, 9, 6}});
    const int n = 3, p = 4;
    double N = 0, r[3] = {0, 0, 0}, c[4] = {0, 0, 0, 0};
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < p; ++j) {
            r[i] += table[i][j];
            c[j] += table[i][j];
            N += table[i][j];
        }
    Matrix<double> dev(n, p), rese(n, n);
    double inertia = 0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < p; ++j) {
            dev[i][j] = (table[i][j] * N - r[i] * c[j]) / (std::sqrt(r[i] * c[j]) * N);
            inertia += dev[i][j] * dev[i][j];
        }
    for (int a = 0; a < n; ++a)
        for (int b = 0; b < n; ++b)
            for (int j = 0; j < p; ++j) rese[a][b] += dev[a][j] * dev[b][j];
    Matrix<double> cvec(n, n), cscores(n, p);
    std::vector<double> cval(n);
    OrdinationLib_D(n, p, table, rese, cvec, cscores, nAxes, cval.data(), ok, 3, 0, 1);
    EXPECT_EQ(nAxes, 2);  // the trivial axis has eigenvalue 0
    EXPECT_NEAR(cval[0] + cval[1], inertia, 1e-12);
    for (int k = 0; k < nAxes; ++k) {
        double weighted = 0;
        for (int j = 0; j < p; ++j) weighted += c[j] * cscores[k][j];
        EXPECT_NEAR(weighted, 0.0, 1e-10);  // column scores centred with the column weights
    }
}

TEST(Ordination, CorrelatedRandomData) {
    Random rnd = test::Seeded(7);
    gsl_rng* ref = gsl_rng_alloc(gsl_rng_mt19937);
    gsl_rng_set(ref, 7);
    Matrix<double> id = FromRows({{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}), out(4, 3);
    CorrToData_New(rnd, 4, 3, id, out, 1);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_EQ(out[i][j], gsl_rng_uniform(ref) - 0.5);
    CorrToData_New(rnd, 4, 3, id, out, 2);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_EQ(out[i][j], gsl_ran_gaussian(ref, 1.0));

    // Cholesky factor of (1 .6; .6 1) is (1 0; .6 .8).
    Matrix<double> r = FromRows({{1, 0.6}, {0.6, 1}}), two(3, 2);
    CorrToData_New(rnd, 3, 2, r, two, 2);
    for (int i = 0; i < 3; ++i) {
        const double z0 = gsl_ran_gaussian(ref, 1.0), z1 = gsl_ran_gaussian(ref, 1.0);
        EXPECT_NEAR(two[i][0], z0, 1e-15);
        EXPECT_NEAR(two[i][1], 0.6 * z0 + 0.8 * z1, 1e-15);
    }
    gsl_rng_free(ref);

    Matrix<double> notPd = FromRows({{1, 2}, {2, 1}});
    EXPECT_THROW(CorrToData_New(rnd, 2, 2, notPd, two, 1), FatalError);
    double diag[2];
    EXPECT_FALSE(choldc(notPd, 2, diag));
}

TEST(Classic, GaussJordanInverseAndSolutions) {
    Matrix<double> a = FromRows({{4, 1, 2}, {1, 3, 0}, {2, 0, 5}});
    const Matrix<double> orig = a;
    Matrix<double> b = FromRows({{1}, {2}, {3}});
    gaussj(a, 3, b, 1);
    for (int i = 0; i < 3; ++i) {
        double s = 0;
        for (int k = 0; k < 3; ++k) s += orig[i][k] * b[k][0];
        EXPECT_NEAR(s, i + 1.0, 1e-12);
        for (int j = 0; j < 3; ++j) {
            double e = 0;
            for (int k = 0; k < 3; ++k) e += orig[i][k] * a[k][j];
            EXPECT_NEAR(e, i == j ? 1.0 : 0.0, 1e-12);
        }
    }
    Matrix<double> singular = FromRows({{1, 2}, {2, 4}}), rhs(2, 1);
    Matrix<double> copy = singular;
    EXPECT_FALSE(gaussj_QM(copy, 2, rhs, 1));
    EXPECT_THROW(gaussj(singular, 2, rhs, 1), FatalError);
    Matrix<double> nan = FromRows({{NAN, NAN}, {NAN, NAN}});
    EXPECT_FALSE(gaussj_QM(nan, 2, rhs, 1));  // no pivot at all, no stray index
}

TEST(Classic, SortWithCompanion) {
    gsl_rng* g = gsl_rng_alloc(gsl_rng_mt19937);
    for (int n : {1, 5, 6, 7, 8, 50, 1000}) {
        std::vector<double> a(n), b(n), orig(n);
        for (int i = 0; i < n; ++i) {
            orig[i] = a[i] = static_cast<double>(gsl_rng_uniform_int(g, 20));  // many ties
            b[i] = i;
        }
        sort2(n, a.data(), b.data());
        EXPECT_TRUE(std::is_sorted(a.begin(), a.end()));
        std::vector<double> seen = b;
        std::sort(seen.begin(), seen.end());
        for (int i = 0; i < n; ++i) {
            EXPECT_EQ(a[i], orig[static_cast<int>(b[i])]);
            EXPECT_EQ(seen[i], i);
        }
    }
    gsl_rng_free(g);
}

}  // namespace
}  // namespace kolvar
