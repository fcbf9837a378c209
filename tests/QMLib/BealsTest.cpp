#include <gtest/gtest.h>

#include <initializer_list>
#include <random>

#include "QMLib/Beals.hpp"
#include "QMLib/qmlibDim.hpp"
#include "support/NumericData.hpp"

namespace kolvar {
namespace {

const auto Make = Matrix<double>::FromRows;
using test::Rows;
using test::RowsOf;

// OTU 0 occurs everywhere, OTU 1 in communities 0 and 2, OTU 2 in 1 and 2.
Matrix<double> Presences() { return Make({{1, 1, 0}, {1, 0, 1}, {1, 1, 1}}); }

TEST(Beals, ConditionalProbabilities) {
    Matrix<double> K(3, 3);
    ConditionalProb(3, 3, Presences(), K, 0);
    // Joint presences of j and k over the presences of j: row 0 holds the
    // occurrence proportions of OTUs 1 and 2.
    test::ExpectDoubleEq(K, {{1, 2 / 3.0, 2 / 3.0}, {1, 1, 0.5}, {1, 0.5, 1}});

    // Abundances: option 1 sums j's abundance where k is present; 2 products.
    Matrix<double> w = Make({{2, 1}, {4, 0}, {kMissing, 3}});
    Matrix<double> K1(2, 2), K2(2, 2);
    ConditionalProb(3, 2, w, K1, 1);
    EXPECT_EQ(RowsOf(K1), (Rows{{1, 2.0 / 6.0}, {1.0 / 4.0, 1}}));  // community 2 is skipped: OTU 0 missing
    ConditionalProb(3, 2, w, K2, 2);
    EXPECT_EQ(RowsOf(K2), (Rows{{20, 2}, {2, 10}}));  // option 2: no division, diagonal kept

    // An absent OTU keeps zero sums and gets 1 on the diagonal; option 3 or
    // more sums nothing.
    Matrix<double> absent = Make({{1, 0}, {1, 0}});
    ConditionalProb(2, 2, absent, K1, 0);
    EXPECT_EQ(RowsOf(K1), (Rows{{1, 0}, {0, 1}}));
    ConditionalProb(3, 3, Presences(), K, 3);
    EXPECT_EQ(RowsOf(K), RowsOf(test::Identity(3)));

    ConditionalProb(3, 3, Presences(), K, 0, true);
    EXPECT_DOUBLE_EQ(K[0][0], 3.0 / 7.0);
    EXPECT_DOUBLE_EQ(K[1][0] + K[1][1] + K[1][2], 1.0);

    // The targeted form reproduces the full one for the target's row and column.
    Matrix<double> full(3, 3), part(3, 3);
    ConditionalProb(3, 3, Presences(), full, 0);
    part = full;
    part[1][2] = part[2][1] = part[0][1] = 42.0;
    ConditionalProb(1, 3, 3, Presences(), part, 0);
    EXPECT_EQ(part[0][1], full[0][1]);
    EXPECT_EQ(part[2][1], full[2][1]);
    EXPECT_EQ(part[1][2], full[1][2]);
}

TEST(Beals, ProductAndDirectForms) {
    Matrix<double> W = Presences();
    Matrix<double> Y(3, 3), M(3, 3);
    BealsSmoothing(3, 3, W, W, Y, false, 0, &M, true, 0, false);
    test::ExpectDoubleEq({Y[0].begin(), Y[0].end()}, {1, 5 / 6.0, 7 / 12.0});
    EXPECT_DOUBLE_EQ(M[0][1], 2.0 / 3.0);
    EXPECT_EQ(M[1][1], 1.0);

    // Without the target's own value: diagonal 0 and division by 1 - Aw.
    BealsSmoothing(3, 3, W, W, Y, false, 0, &M, false, 0, false);
    test::ExpectDoubleEq({Y[0].begin(), Y[0].end()}, {1, 2 / 3.0, 7 / 12.0});
    EXPECT_EQ(M[1][1], 0.0);

    Matrix<double> D(3, 3);
    BealsSmoothing(3, 3, W, W, D, false, 0);
    test::ExpectNear(D, RowsOf(Y), 1e-15);
    BealsSmoothing(3, 3, W, W, D, true, 0, false);
    EXPECT_DOUBLE_EQ(D[0][1], 5.0 / 6.0);

    // A community holding only the OTU present everywhere.
    Matrix<double> W4 = Make({{1, 1, 0}, {1, 0, 1}, {1, 1, 1}, {1, 0, 0}});
    Matrix<double> Y4(4, 3);
    BealsSmoothing(4, 3, W4, W4, Y4, true, 0);
    EXPECT_EQ(Y4[3][0], 1.0);
    EXPECT_EQ(Y4[3][1], 0.5);
    BealsSmoothing(4, 3, W4, W4, Y4, false, 0);
    EXPECT_EQ(Y4[3][0], 0.0);  // Aw = 1: nothing else to judge from
    EXPECT_EQ(Y4[3][1], 0.5);
    BealsSmoothing(4, 3, W4, W4, Y4, false, 0, nullptr, false, 0);
    EXPECT_EQ(Y4[3][0], 0.0);

    // Odds: c / (1 - c) on the conditional probabilities.
    Matrix<double> ab = Make({{1, 1, 0}, {1, 0, 1}, {0, 1, 1}});
    Matrix<double> Yo(3, 3);
    BealsSmoothing(3, 3, ab, ab, Yo, false, 0, true);
    // Rows of K: (0.5, 0.25, 0.25) before the diagonal is cleared.
    EXPECT_DOUBLE_EQ(Yo[0][2], 2.0 * (0.5 * (0.25 / 0.75)));
}

TEST(Beals, TargetedUpdateMatchesFullComputation) {
    Matrix<double> A = Make({{1, 1, 0, 1}, {1, 0, 1, 0}, {1, 1, 1, 0}, {0, 1, 1, 1}});
    Matrix<double> Wb = A;
    for (bool include : {true, false}) {
        Matrix<double> Y(4, 4), M(4, 4);
        BealsSmoothing(4, 4, A, Wb, Y, false, 0, &M, include, 0);
        Matrix<double> changed = Wb;
        changed[0][2] = 1;  // OTU 2 now also occurs in community 0
        changed[3][2] = 0;
        BealsSmoothing(4, 4, A, changed, Y, true, 2, &M, include, 0);
        Matrix<double> Yfull(4, 4), Mfull(4, 4);
        BealsSmoothing(4, 4, A, changed, Yfull, false, 0, &Mfull, include, 0);
        for (int i = 0; i < 4; ++i)
            for (int k = 0; k < 4; ++k) {
                EXPECT_NEAR(Y[i][k], Yfull[i][k], 1e-12) << include << ' ' << i << ' ' << k;
                EXPECT_EQ(M[i][k], Mfull[i][k]);
            }
    }
}

TEST(Beals, MissingValuesAreSkipped) {
    Matrix<double> W = Make({{1, 1, kMissing}, {1, 0, 1}, {1, 1, 1}});
    Matrix<double> K(3, 3);
    ConditionalProb(3, 3, W, K, 0);
    EXPECT_EQ(K[0][2], 2.0 / 3.0);  // joint presences in communities 1 and 2 only
    EXPECT_EQ(K[2][0], 1.0);
    EXPECT_EQ(K[1][2], 0.5);
    Matrix<double> Y(3, 3);
    BealsSmoothing(3, 3, W, W, Y, false, 0, nullptr, true, 0);
    // Row 0: Aw = (0.5, 0.5, -999); the missing weight is left out.
    EXPECT_DOUBLE_EQ(Y[0][0], 1.0);
    EXPECT_DOUBLE_EQ(Y[0][2], 0.5 * K[0][2] + 0.5 * K[1][2]);
}

// The joint-presence counts and the smoothed product, on data wide enough to
// span several words of communities and several tiles of OTUs, give the bits
// of the plain definition: co-occurrences summed community by community, and
// each estimate summed OTU by OTU in ascending order.
TEST(Beals, LargeDataGiveTheBitsOfThePlainDefinition) {
    const int n = 70, p = 300;
    std::mt19937 gen(3);
    Matrix<double> W(n, p);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < p; ++j) W[i][j] = gen() % 3 == 0 ? static_cast<double>(gen() % 5 + 1) : 0.0;
    for (const bool include : {true, false}) {
        Matrix<double> Y(n, p), M(p, p);
        BealsSmoothing(n, p, W, W, Y, false, 0, &M, include, 0, false);
        Matrix<double> K(p, p), A(n, p);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < p; ++j)
                for (int k = 0; k < p; ++k) K[j][k] += W[i][j] > 0 && W[i][k] > 0 ? 1.0 : 0.0;
        for (int j = 0; j < p; ++j) {
            const double d = K[j][j];
            for (int k = 0; k < p; ++k)
                if (k != j && d > 0) K[j][k] /= d;
            K[j][j] = include ? 1.0 : 0.0;
        }
        for (int i = 0; i < n; ++i) {
            double sum = 0.0;
            for (int j = 0; j < p; ++j) sum += W[i][j];
            for (int j = 0; j < p; ++j) A[i][j] = W[i][j] / (sum == 0.0 ? 1.0 : sum);
        }
        Matrix<double> want(n, p);
        for (int i = 0; i < n; ++i)
            for (int k = 0; k < p; ++k) {
                for (int j = 0; j < p; ++j) want[i][k] += A[i][j] * K[j][k];
                const double rest = 1.0 - A[i][k];
                if (!include) want[i][k] = rest == 0.0 ? 0.0 : want[i][k] / rest;
            }
        EXPECT_TRUE(test::SameBits(Y, want)) << (include ? "own abundance included" : "own abundance left out");
        EXPECT_TRUE(test::SameBits(M, K)) << include;
    }
}

}  // namespace
}  // namespace kolvar
