#include <gtest/gtest.h>
#include <gsl/gsl_rng.h>
#include <omp.h>

#include <vector>

#include "QMLib/MatrixProd.hpp"
#include "QMLib/qmlibDim.hpp"
#include "support/NumericData.hpp"

namespace kolvar {
namespace {

const auto FromRows = Matrix<double>::FromRows;

TEST(MatrixProd, TargetUpdateMatchesRecomputedProduct) {
    const Matrix<double> a = FromRows({{1, 2, 0.5}, {kMissing, 1, 3}});
    Matrix<double> bOld = FromRows({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
    Matrix<double> bNew = bOld;
    const int target = 1;
    for (int k = 0; k < 3; ++k) {
        bNew[k][target] += 10 + k;
        bNew[target][k] -= 3 * k;
        bNew[k][k] *= 2;
    }
    Matrix<double> res(2, 3), want(2, 3);
    MatrixProdMV(2, 3, 3, 3, a, bOld, res);
    EXPECT_EQ(MatrixProdTargetMV(2, 3, 3, 3, target, bOld, a, bNew, res), 0);
    MatrixProdMV(2, 3, 3, 3, a, bNew, want);
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(res[i][j], want[i][j], 1e-12);
    EXPECT_EQ(MatrixProdTargetMV(2, 3, 3, 1, target, bOld, a, bNew, res), 1);  // p must exceed target
}

// The two products written out term by term, k = 0, 1, ...: a term needs A
// present (and, in the plain form, B); the sum is rescaled by the share of the
// row's total abundance that took part. The plain form fills the selected
// columns with weight w[k]; the pair form, restricted to included OTUs, takes
// w[k] w[j]. No weights count as weight 1.
Matrix<double> Definition(const Matrix<double>& a, const Matrix<double>& b, const int* sel, const int* w, bool pair) {
    const std::size_t n = a.rows(), m = a.cols(), p = b.cols();
    Matrix<double> r(n, p);
    for (std::size_t i = 0; i < n; ++i) {
        double total = 0;
        for (std::size_t k = 0; k < m; ++k)
            if (a[i][k] != kMissing) total += a[i][k];
        for (std::size_t j = 0; j < p; ++j) {
            double sum = 0, used = 0;
            int terms = 0;
            for (std::size_t k = 0; k < m; ++k)
                if (a[i][k] != kMissing && (pair || b[k][j] != kMissing)) {
                    const int f = w == nullptr ? 1 : pair ? w[k] * w[j] : w[k];
                    sum += f * a[i][k] * b[k][j];
                    used += a[i][k];
                    ++terms;
                }
            const double value = used > 0 && (pair || total > 0) ? sum / (used / total) : sum;
            r[i][j] = sel != nullptr && sel[j] != 1 ? 0.0 : terms == 0 ? kMissing : value;
        }
    }
    return r;
}

// Both products give the bits of the definition on one thread and on four.
// Weighted: OTU weights, missing values in B, the fuzzy form over several
// column blocks (m > 64). Unweighted without missing values in B, the product
// goes by tiles of rows and columns: zero and missing abundances, a row with
// nothing present and negative values.
TEST(MatrixProd, ProductsGiveTheBitsOfTheDefinitionOnAnyThreadCount) {
    const struct {
        int n, m, p, selectEvery;
        bool weighted;
    } cases[] = {{301, 257, 37, 5, true}, {29, 150, 300, 7, false}};
    gsl_rng* g = gsl_rng_alloc(gsl_rng_mt19937);
    const int saved = omp_get_max_threads();
    for (const auto& c : cases) {
        const int n = c.n, m = c.m, p = c.p, q = c.weighted ? m : p;
        Matrix<double> a(n, m), b(m, p), u(m, q);
        std::vector<int> w(m), sel(p);
        for (int i = 0; i < n; ++i)
            for (int k = 0; k < m; ++k) {
                const double r = gsl_rng_uniform(g);
                const bool missing = r < 0.05 || (!c.weighted && i == 5), zero = !c.weighted && r < 0.5;
                a[i][k] = missing ? kMissing : zero ? 0.0 : gsl_rng_uniform(g) * 10 - !c.weighted;
            }
        for (int k = 0; k < m; ++k) {
            w[k] = gsl_rng_uniform(g) < 0.8;
            for (int j = 0; j < p; ++j)
                b[k][j] = c.weighted && gsl_rng_uniform(g) < 0.05 ? kMissing : gsl_rng_uniform(g) - 0.2;
            for (int j = 0; j < q; ++j) u[k][j] = gsl_rng_uniform(g) - 0.2;
        }
        for (int j = 0; j < p; ++j) sel[j] = j % c.selectEvery != 0;
        const int* weights = c.weighted ? w.data() : nullptr;
        const Matrix<double> plain = Definition(a, b, sel.data(), weights, false);
        const Matrix<double> pair = Definition(a, u, nullptr, weights, true);
        for (const int threads : {1, 4}) {
            omp_set_num_threads(threads);
            Matrix<double> r(n, p), x(n, q);
            MatrixProdSelectMV_Adjust_Weight(n, m, m, p, a, b, r, sel.data(), weights);
            MatrixProdSelectMV_Adjust_Weight(n, m, m, q, a, u, x, nullptr, weights, true);
            EXPECT_TRUE(test::SameBits(r, plain)) << n << " x " << m << ", " << threads << " threads";
            EXPECT_TRUE(test::SameBits(x, pair)) << n << " x " << m << ", " << threads << " threads";
        }
    }
    omp_set_num_threads(saved);
    gsl_rng_free(g);
}

// The products read through a list of rows must give the bits of the products
// of a matrix copied into that order: with and without missing values in B
// (the flag only picks a path), with repeated rows, with excluded OTUs under
// both weighting rules, and with zero abundances next to missing ones.
TEST(MatrixProd, RowOrderReadsLikeACopiedMatrix) {
    const int n = 23, m = 70, p = 9;
    gsl_rng* g = gsl_rng_alloc(gsl_rng_mt19937);
    Matrix<double> a(n, m), bFull(m, p), bMissing(m, p);
    std::vector<int> w(m), ones(m, 1), permutation(m), repeats(m), sel(p);
    for (int i = 0; i < n; ++i)
        for (int k = 0; k < m; ++k) {
            const double u = gsl_rng_uniform(g);
            a[i][k] = u < 0.05 ? kMissing : u < 0.5 ? 0.0 : gsl_rng_uniform(g) * 5;
        }
    for (int k = 0; k < m; ++k) {
        w[k] = gsl_rng_uniform(g) < 0.7;
        for (int j = 0; j < p; ++j) {
            bFull[k][j] = gsl_rng_uniform(g) - 0.3;
            bMissing[k][j] = gsl_rng_uniform(g) < 0.1 ? kMissing : bFull[k][j];
        }
        permutation[k] = k + 1;
        repeats[k] = static_cast<int>(gsl_rng_uniform_int(g, m)) + 1;
    }
    for (int k = m - 1; k > 0; --k) std::swap(permutation[k], permutation[gsl_rng_uniform_int(g, k + 1)]);
    for (int j = 0; j < p; ++j) sel[j] = j != 4;
    gsl_rng_free(g);

    for (const Matrix<double>* b : {&bFull, &bMissing})
        for (const std::vector<int>* order : {&permutation, &repeats})
            for (const std::vector<int>* weights : {&ones, &w}) {
                Matrix<double> copy(m, p);
                for (int k = 0; k < m; ++k)
                    for (int j = 0; j < p; ++j) copy[k][j] = (*b)[(*order)[k] - 1][j];
                const bool missing = HasMissingValue(m, p, *b);
                EXPECT_EQ(missing, b == &bMissing);
                Matrix<double> want(n, p), got(n, p);
                MatrixProdSelectMV_Adjust_Weight(n, m, m, p, a, copy, want, sel.data(), weights->data());
                MatrixProdSelectMV_Adjust_WeightRows(n, m, p, a, *b, order->data(), missing, got, sel.data(),
                                                     weights->data());
                EXPECT_TRUE(test::SameBits(want, got));
                for (bool restrict : {false, true}) {
                    // The pair form reads weights by column: p columns stand for the first p OTUs.
                    MatrixProdSelectMV_Adjust_Weight(n, m, m, p, a, copy, want, nullptr, weights->data(), restrict);
                    MatrixProdSelectMV_Adjust_WeightRows(n, m, p, a, *b, order->data(), missing, got, nullptr,
                                                         weights->data(), restrict);
                    EXPECT_TRUE(test::SameBits(want, got));
                    // A flag saying "missing" where the rows used hold none takes the other path, same bits.
                    MatrixProdSelectMV_Adjust_WeightRows(n, m, p, a, copy, nullptr, true, got, nullptr,
                                                         weights->data(), restrict);
                    EXPECT_TRUE(test::SameBits(want, got));
                }
            }
}

TEST(MatrixProd, WholeMatrixHelpers) {
    Matrix<double> a = FromRows({{1, kMissing, 3}, {4, 5, 6}});
    double rows[2], cols[3];
    RowTotalsMV(2, 3, a, rows);
    ColTotalsMV(2, 3, a, cols);
    EXPECT_EQ(rows[0], 4.0);
    EXPECT_EQ(rows[1], 15.0);
    EXPECT_EQ(cols[1], 5.0);
    EXPECT_EQ(MatrixTotalMV(2, 3, a), 19.0);
    EXPECT_EQ(VectorProdMV(3, a.row(0), a.row(1)), 4.0 + 18.0);
    Matrix<double> t(3, 2);
    TransposeMatrix(2, 3, a, t);
    EXPECT_EQ(t[2][1], 6.0);
    Matrix<double> sq = FromRows({{1, 2}, {3, 4}});
    TransposeSqMatrix(2, sq);
    EXPECT_EQ(sq[0][1], 3.0);
    UpperToLowerMatrix(2, sq);
    EXPECT_EQ(sq[1][0], 3.0);
    Matrix<double> s(2, 2);
    EXPECT_EQ(MatrixSum(2, 2, 2, 2, sq, sq, s, -1.0), 0);
    EXPECT_EQ(s[0][1], 0.0);
    EXPECT_EQ(MatrixSum(2, 2, 2, 3, sq, sq, s, 1.0), 1);
    const int iv[4] = {3, -2, 9, 0};
    EXPECT_EQ(maxVector(4, iv), 9);
    EXPECT_EQ(minVector(4, iv), -2);
}

}  // namespace
}  // namespace kolvar
