#include <gtest/gtest.h>

#include <initializer_list>
#include <random>

#include "QMLib/Beals.hpp"
#include "QMLib/qmlibDim.hpp"
#include "support/NumericData.hpp"

namespace kolvar {
namespace {

const auto Make = Matrix<double>::FromRows;

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
