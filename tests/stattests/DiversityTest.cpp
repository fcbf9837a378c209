#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "QMLib/qmlibDim.hpp"
#include "stattests/Diversity.hpp"
#include "support/NumericData.hpp"

namespace kolvar {
namespace {

const auto FromRows = Matrix<double>::FromRows;
using test::Identity;

TEST(Rao, IdentitySimilarityGivesGiniSimpson) {
    const Matrix<double> w = FromRows({{3, 1, 0, 6}, {1, 1, 1, 1}, {0, 5, 0, 0}, {0, 0, 0, 0}});
    Matrix<double> id = Identity(4);
    double rao[4];
    RaoIndex_Weight_Matrix(4, 4, w, id, rao, false, false, nullptr, false, true);
    for (int c = 0; c < 4; ++c) {
        double t = 0, sp = 0;
        for (int i = 0; i < 4; ++i) t += w[c][i];
        for (int i = 0; i < 4; ++i) sp += t > 0 ? (w[c][i] / t) * (w[c][i] / t) : 0;
        const double gini = t > 0 ? 1 - sp : 0;
        EXPECT_NEAR(rao[c], gini, 1e-15) << c;
        EXPECT_NEAR(RaoIndex_Simpson(4, w.row(c), nullptr, false, false), gini, 1e-15) << c;
        EXPECT_NEAR(RaoIndex_Simpson(4, w.row(c), &id, false, false), gini, 1e-15) << c;
    }
    EXPECT_EQ(rao[2], 0.0);  // one OTU present
    EXPECT_EQ(rao[3], 0.0);  // nothing present
    EXPECT_EQ(RaoIndex_Simpson(4, w.row(3), &id, false, false), 0.0);
}

TEST(Rao, PairContributionsAndOptions) {
    const Matrix<double> half = FromRows({{0.5, 0.5}});
    Matrix<double> s0 = FromRows({{1, 0}, {0, 1}}), s1 = FromRows({{1, 1}, {1, 1}});
    Matrix<double> s75 = FromRows({{1, 0.75}, {0.75, 1}});
    double r = 0;
    RaoIndex_Weight_Matrix(1, 2, half, s0, &r, false, false, nullptr, false, false);
    EXPECT_DOUBLE_EQ(r, 0.5);
    RaoIndex_Weight_Matrix(1, 2, half, s1, &r, false, false, nullptr, false, false);
    EXPECT_EQ(r, 0.0);
    RaoIndex_Weight_Matrix(1, 2, half, s75, &r, false, true, nullptr, false, false);
    EXPECT_DOUBLE_EQ(r, 2 * std::sqrt(0.25) * 0.25);  // sqrt(1 - s)
    RaoIndex_Weight_Matrix(1, 2, half, s75, &r, true, true, nullptr, false, false);
    EXPECT_DOUBLE_EQ(r, 2 * std::sqrt(0.75) * 0.25);  // sqrt(d)
    Matrix<double> d75 = FromRows({{0, 0.75}, {0.75, 0}});
    EXPECT_DOUBLE_EQ(RaoIndex_Simpson(2, half.row(0), &d75, true, false), 2 * 0.75 * 0.25);
    EXPECT_DOUBLE_EQ(RaoIndex_Simpson(2, half.row(0), &s75, false, true), 2 * 0.5 * 0.25);

    // Three OTUs, dissimilarities 0.2 (1-2), 0.4 (1-3), 0.6 (2-3), equal abundances.
    const Matrix<double> w = FromRows({{1, 1, 1}});
    Matrix<double> d = FromRows({{0, 0.2, 0.4}, {0, 0, 0.6}, {0, 0, 0}});
    const double third = 1.0 / 3;
    // OTU 3 excluded without restriction: all its pairs with included OTUs count.
    const int weights[3] = {1, 1, 0};
    RaoIndex_Weight_Matrix(1, 3, w, d, &r, true, false, weights, false, true);
    EXPECT_NEAR(r, 2 * (0.2 + 0.4 + 0.6) * third * third, 1e-15);
    // With the restriction, none of its pairs count.
    RaoIndex_Weight_Matrix(1, 3, w, d, &r, true, false, weights, true, true);
    EXPECT_NEAR(r, 2 * 0.2 * third * third, 1e-15);
    const int onlyThird[3] = {0, 0, 1};
    RaoIndex_Weight_Matrix(1, 3, w, d, &r, true, false, onlyThird, false, true);
    EXPECT_NEAR(r, 2 * (0.4 + 0.6) * third * third, 1e-15);
    Matrix<double> dw = d;
    EXPECT_NEAR(RaoIndex_Weight(3, w.row(0), dw, true, false, weights, true), 2 * 0.2 * third * third, 1e-15);
    EXPECT_EQ(dw[1][0], 0.2);  // mirrored in place

    // A missing resemblance: the remaining pairs are scaled by A / B = 2/3.
    Matrix<double> dm = d;
    dm[0][2] = kMissing;
    RaoIndex_Weight_Matrix(1, 3, w, dm, &r, true, false, nullptr, false, true);
    EXPECT_NEAR(r, 2 * ((0.2 + 0.6) * third * third) / (2.0 / 3.0), 1e-15);
    // A missing abundance leaves its OTU out.
    const Matrix<double> wm = FromRows({{1, kMissing, 3}});
    RaoIndex_Weight_Matrix(1, 3, wm, d, &r, true, false, nullptr, false, true);
    EXPECT_NEAR(r, 2 * 0.4 * 0.25 * 0.75, 1e-15);
}

// Communities are evaluated two at a time; each must still get the bits of
// the plain pair loop: an odd number of communities, empty and one-OTU
// communities, missing abundances and resemblances, both weight rules.
TEST(Rao, CommunitiesSideBySideGiveTheBitsOfThePlainLoop) {
    const int m = 9, n = 23;
    std::mt19937 gen(17);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    Matrix<double> W(m, n), S(n, n);
    for (int c = 0; c < m; ++c)
        for (int i = 0; i < n; ++i) {
            const double r = u(gen);
            W[c][i] = c == 0 || (c == 1 && i != 4) ? 0.0 : r < 0.4 ? 0.0 : r < 0.45 ? kMissing : 10 * u(gen);
        }
    std::vector<int> w(n);
    for (int i = 0; i < n; ++i) w[i] = i % 4 != 0;
    for (const bool holes : {true, false})
        for (const bool within : {false, true})
            for (const bool relative : {false, true}) {
                for (int i = 0; i < n; ++i)
                    for (int j = 0; j < n; ++j) S[i][j] = holes && u(gen) < 0.05 ? kMissing : u(gen);
                std::vector<double> got(m);
                RaoIndex_Weight_Matrix(m, n, W, S, got.data(), false, true, w.data(), within, relative);
                for (int c = 0; c < m; ++c) {
                    std::vector<double> p(W[c].begin(), W[c].end());
                    double total = 0.0;
                    for (double x : p)
                        if (x != kMissing) total += x;
                    if (relative && total > 0)
                        for (double& x : p)
                            if (x != kMissing) x /= total;
                    double sum = 0.0, A = 0.0, B = 0.0;
                    for (int i = 0; i < n; ++i)
                        for (int j = i + 1; j < n; ++j) {
                            if (p[i] == kMissing || p[j] == kMissing || p[i] == 0.0 || p[j] == 0.0) continue;
                            B += p[i] * p[j];
                            if (S[i][j] == kMissing) continue;
                            const int f = within ? w[i] * w[j] : (w[i] == 1 || w[j] == 1);
                            sum += f * std::sqrt(1.0 - S[i][j]) * p[i] * p[j];
                            A += p[i] * p[j];
                        }
                    if (A > 0 && B > 0) sum /= A / B;
                    const double want = 2.0 * sum;
                    EXPECT_TRUE(test::SameBits(want, got[c])) << c << " " << within << relative;
                }
                EXPECT_EQ(got[0], 0.0);
                EXPECT_EQ(got[1], 0.0);
            }
}

TEST(Rao, DiversityPartition) {
    const Matrix<double> w = FromRows({{1, 1, 0, 0}, {0, 0, 2, 2}});
    Matrix<double> s = Identity(4);
    double alpha, beta, gamma, alphaEq, betaEq, gammaEq, turnover;
    EXPECT_EQ(DiversityPartition(2, 4, w, s, alpha, beta, gamma, alphaEq, betaEq, gammaEq, turnover), 1);
    test::ExpectDoubleEq({alpha, beta, gamma, alphaEq, betaEq, gammaEq, turnover}, {0.5, 0.25, 0.75, 2, 2, 4, 0.5});
    EXPECT_EQ(w[1][2], 2.0);  // the caller's abundances are not rescaled

    // Identical communities: no beta diversity.
    const Matrix<double> same = FromRows({{1, 3}, {2, 6}});
    Matrix<double> s2 = FromRows({{1, 0.5}, {0.5, 1}});
    DiversityPartition(2, 2, same, s2, alpha, beta, gamma, alphaEq, betaEq, gammaEq, turnover);
    EXPECT_NEAR(beta, 0.0, 1e-15);
    EXPECT_NEAR(alpha, 2 * 0.5 * 0.25 * 0.75, 1e-15);
    EXPECT_NEAR(betaEq, 1.0, 1e-15);
}

TEST(Rao, NearestNeighbourCrossReferencedResemblance) {
    // Object 0's nearest are 1 and 2 (tie at 1.0): mean of the second matrix.
    const Matrix<double> d = FromRows({{0, 1, 1, 3}, {1, 0, 2, 0.5}, {1, 2, 0, 4}, {3, 0.5, 4, 0}});
    const Matrix<double> r = FromRows({{0, 10, 20, 30}, {10, 0, 40, 50}, {20, 40, 0, 60}, {30, 50, 60, 0}});
    double out[4];
    EXPECT_TRUE(NNCRD(4, d, r, out));
    test::ExpectDoubleEq({out, out + 4}, {15, 50, 20, 50});
    // A missing distance is not a nearest neighbour.
    Matrix<double> dm = d;
    dm[1][3] = kMissing;
    NNCRD(4, dm, r, out);
    EXPECT_DOUBLE_EQ(out[1], 10.0);
}

}  // namespace
}  // namespace kolvar
