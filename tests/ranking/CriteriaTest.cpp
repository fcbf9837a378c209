// Criterion values of one subset on the tiny data set against plain
// reference computations written in the test.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>

#include "RankingFixture.hpp"
#include "ranking/SubsetSearch.hpp"
#include "support/TestData.hpp"

namespace kolvar {
namespace {

using test::TinyRanking;

// Plain references on the tiny data, written out pair by pair, independent of
// the library routines (selected traits as 0-based flags).
struct Reference {
    const TinyRanking& f;
    std::vector<int> select, labels;  // labels: the types of the partition, sorted
    Matrix<double> Wn, S, U, X, T, E;

    Reference(const TinyRanking& fx, std::vector<int> sel) : f(fx), select(std::move(sel)) {
        const DataSet& d = f.d;
        const int n = d.ncsm, t = d.tcst, p = d.nch;
        Wn = Matrix<double>(n, t);
        for (int c = 0; c < n; ++c) {
            double total = 0;
            for (int i = 0; i < t; ++i) total += d.cadat[i][c];
            for (int i = 0; i < t; ++i) Wn[c][i] = d.cadat[i][c] / total;
        }
        // Gower: each quantitative trait 1 - |a - b| / range, kept in single precision, averaged.
        S = Matrix<double>(t, t);
        for (int i = 0; i < t; ++i)
            for (int j = 0; j < t; ++j) {
                double sum = 0;
                int count = 0;
                for (int k = 0; k < p; ++k) {
                    if (!select[k]) continue;
                    std::vector<double> column(t);
                    for (int o = 0; o < t; ++o) column[o] = d.csm_Float[o][k];
                    const auto [mn, mx] = std::minmax_element(column.begin(), column.end());
                    sum += static_cast<float>(1.0 - std::fabs(d.csm_Float[i][k] - d.csm_Float[j][k]) / (*mx - *mn));
                    ++count;
                }
                S[i][j] = sum / count;
            }
        // Each OTU its own type when the partition is 1..5; otherwise types by label.
        labels = d.partition_OTUs;
        std::sort(labels.begin(), labels.end());
        labels.erase(std::unique(labels.begin(), labels.end()), labels.end());
        const int g = static_cast<int>(labels.size());
        U = Matrix<double>(t, g);
        for (int i = 0; i < t; ++i) {
            double rowSum = 0;
            for (int c = 0; c < g; ++c) {
                double sum = 0;
                int members = 0;
                for (int o = 0; o < t; ++o)
                    if (d.partition_OTUs[o] == labels[c]) {
                        sum += S[i][o];
                        ++members;
                    }
                U[i][c] = sum / members;
                rowSum += U[i][c];
            }
            for (int c = 0; c < g; ++c) U[i][c] /= rowSum;
        }
        X = Matrix<double>(n, g);
        for (int c = 0; c < n; ++c)
            for (int k = 0; k < g; ++k)
                for (int i = 0; i < t; ++i) X[c][k] += Wn[c][i] * U[i][k];
        T = Matrix<double>(n, p);
        for (int k = 0; k < p; ++k) {
            if (!select[k]) continue;
            double norm = 0;
            for (int c = 0; c < n; ++c) {
                for (int i = 0; i < t; ++i) T[c][k] += Wn[c][i] * d.csm_Float[i][k];
                norm += T[c][k] * T[c][k];
            }
            for (int c = 0; c < n; ++c) T[c][k] /= std::sqrt(norm);
        }
        E = Matrix<double>(n, std::count(d.eVarSelect.begin(), d.eVarSelect.begin() + d.nenv, 1));
        for (int c = 0, col = 0; c < n; ++c, col = 0)
            for (int e = 0; e < d.nenv; ++e)
                if (d.eVarSelect[e]) E[c][col++] = d.env[c][e];
    }
    static double Mantel(const Matrix<double>& A, const Matrix<double>& B) {
        // Pearson correlation of the upper triangles.
        std::vector<double> a, b;
        for (std::size_t i = 0; i < A.rows(); ++i)
            for (std::size_t j = i + 1; j < A.rows(); ++j) {
                a.push_back(A[i][j]);
                b.push_back(B[i][j]);
            }
        for (std::vector<double>* v : {&a, &b}) {
            const double mean = std::accumulate(v->begin(), v->end(), 0.0) / v->size();
            for (double& x : *v) x -= mean;
        }
        const auto dot = [](const std::vector<double>& x, const std::vector<double>& y) {
            return std::inner_product(x.begin(), x.end(), y.begin(), 0.0);
        };
        return dot(a, b) / std::sqrt(dot(a, a) * dot(b, b));
    }
    static double Partial(double rab, double rac, double rbc) {
        return (rab - rac * rbc) / std::sqrt((1 - rac * rac) * (1 - rbc * rbc));
    }
    Matrix<double> Rao() const {
        // Square roots of the trait dissimilarities, relative abundances, all ordered pairs.
        Matrix<double> R(Wn.rows(), 1);
        for (std::size_t c = 0; c < Wn.rows(); ++c)
            for (std::size_t i = 0; i < Wn.cols(); ++i)
                for (std::size_t j = 0; j < Wn.cols(); ++j) R[c][0] += std::sqrt(1 - S[i][j]) * Wn[c][i] * Wn[c][j];
        return R;
    }
    Matrix<double> DarkDiversity() const {
        // W pooled into the types of X, compared type by type.
        const DataSet& d = f.d;
        Matrix<double> Sd(Wn.rows(), 1);
        for (std::size_t c = 0; c < Wn.rows(); ++c)
            for (std::size_t k = 0; k < labels.size(); ++k) {
                double pooled = 0;
                for (std::size_t i = 0; i < Wn.cols(); ++i)
                    if (d.partition_OTUs[i] == labels[k]) pooled += Wn[c][i];
                Sd[c][0] += std::fabs(pooled - X[c][k]);
            }
        return Sd;
    }
};

double Evaluate(TinyRanking& f, int code, const std::vector<int>& select) {
    RankingData rd;
    PrepareRankingData(f.Inputs(), ChRankNeeds(code), rd, nullptr);
    SubsetWork w;
    w.Allocate(rd);
    w.select = select;
    return EvaluateChRankCode(rd, code, w);
}

struct Case {
    const char* name;
    std::vector<int> select;
};

class CriteriaTest : public ::testing::TestWithParam<Case> {};

TEST_P(CriteriaTest, EveryCodeMatchesThePlainComputation) {
    TinyRanking f;
    const std::vector<int> sel = GetParam().select;
    const Reference r(f, sel);
    const auto DE = test::EuclideanDistances(r.E), DX = test::EuclideanDistances(r.X);
    const auto DT = test::EuclideanDistances(r.T);
    const double rXE = Reference::Mantel(DX, DE), rTE = Reference::Mantel(DT, DE), rXT = Reference::Mantel(DX, DT);
    EXPECT_NEAR(Evaluate(f, 10, sel), rXE, 1e-12);
    EXPECT_NEAR(Evaluate(f, 11, sel), rTE, 1e-12);
    EXPECT_NEAR(Evaluate(f, 12, sel), Reference::Partial(rXE, rXT, rTE), 1e-12);

    const auto DR = test::EuclideanDistances(r.Rao());
    const double rRE = Reference::Mantel(DR, DE), rXR = Reference::Mantel(DX, DR), rTR = Reference::Mantel(DT, DR);
    EXPECT_NEAR(Evaluate(f, 1, sel), rRE, 1e-12);
    const double expectXE_TR = Reference::Partial(Reference::Partial(rXE, rXR, rRE), Reference::Partial(rXT, rXR, rTR),
                                                  Reference::Partial(rTE, rTR, rRE));
    EXPECT_NEAR(Evaluate(f, 2, sel), expectXE_TR, 1e-12);
    EXPECT_NEAR(Evaluate(f, 3, sel), Reference::Mantel(test::EuclideanDistances(r.DarkDiversity()), DE), 1e-12);

    // Crisp taxa {1,2}, {3,4}, {5}: P is W pooled by taxon.
    Matrix<double> P(5, 3);
    const int taxon[5] = {0, 0, 1, 1, 2};
    for (int c = 0; c < 5; ++c)
        for (int i = 0; i < 5; ++i) P[c][taxon[i]] += r.Wn[c][i];
    const auto DP = test::EuclideanDistances(P);
    const double rPX = Reference::Mantel(DP, DX), rPT = Reference::Mantel(DP, DT);
    EXPECT_NEAR(Evaluate(f, 4, sel), rPX, 1e-12);
    EXPECT_NEAR(Evaluate(f, 5, sel), rPT, 1e-12);
    EXPECT_NEAR(Evaluate(f, 6, sel), Reference::Partial(rPX, rXT, rPT), 1e-12);
}

INSTANTIATE_TEST_SUITE_P(Subsets, CriteriaTest,
                         ::testing::Values(Case{"all", {1, 1, 1}}, Case{"first", {1, 0, 0}}, Case{"pair", {0, 1, 1}}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(Criteria, GroupedTypesKeepRaoOnTheOTUsAndCompareDarkDiversityTypeByType) {
    TinyRanking f;
    f.d.partition_OTUs = {2, 2, 1, 3, 3};
    const std::vector<int> sel{1, 1, 0};
    const Reference r(f, sel);
    const auto DE = test::EuclideanDistances(r.E);
    EXPECT_NEAR(Evaluate(f, 3, sel), Reference::Mantel(test::EuclideanDistances(r.DarkDiversity()), DE), 1e-12);
    // Rao entropy does not depend on the grouping.
    const double grouped = Evaluate(f, 1, sel);
    f.d.partition_OTUs = {1, 2, 3, 4, 5};
    EXPECT_EQ(grouped, Evaluate(f, 1, sel));
}

TEST(Criteria, NominalTraitStillGivesFiniteValuesForTheAcceptedMeanCriteria) {
    // 12, 13, 14 and 22 are hidden but accepted with a nominal trait: their
    // means are formed from the trait's codes and must stay finite.
    TinyRanking f;
    f.d.chtype = {3, 2, 3};
    const std::vector<int> sel{1, 1, 1};
    for (int code : {5, 6, 8}) EXPECT_TRUE(std::isfinite(Evaluate(f, code, sel))) << code;
}

}  // namespace
}  // namespace kolvar
