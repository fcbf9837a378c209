#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "QMLib/qmlibDim.hpp"
#include "stattests/Diversity.hpp"
#include "support/NumericData.hpp"

namespace kolvar {
namespace {

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

}  // namespace
}  // namespace kolvar
