#include <gtest/gtest.h>
#include <omp.h>

#include <cmath>
#include <initializer_list>
#include <random>
#include <utility>
#include <vector>

#include "QMLib/Resemblance.hpp"
#include "QMLib/qmlibDim.hpp"
#include "support/NumericData.hpp"

namespace kolvar {
namespace {

const auto Make = Matrix<double>::FromRows;
using test::Rows;
using test::RowsOf;

double Single(double v) { return static_cast<double>(static_cast<float>(v)); }

// Binary, nominal, quantitative (range 4) and ordinal (ranks 1, 3, 2; range 2).
Matrix<double> MixedData() { return Make({{1, 2, 1, 10}, {0, 2, 3, 30}, {0, 1, 5, 20}}); }
const int kTypes[] = {1, 2, 3, 4};

TEST(Resemblance, GowerMixedTypesWeightsAndDoubleAbsences) {
    const double weights[] = {1, 2, 1, 0.5};
    const double ignored[] = {100, 100, 100, 100};
    Matrix<double> data = MixedData();
    Matrix<double> s(3, 3);
    GowerMVOpt(3, 4, kTypes, data, s, ignored, weights, false);
    EXPECT_EQ(RowsOf(data), (Rows{{1, 2, 1, 1}, {0, 2, 3, 3}, {0, 1, 5, 2}}));  // ordinal column ranked in place
    // Rows 1 and 2: the double absence is not compared.
    test::ExpectDoubleEq(s, {{1, 2.5 / 4.5, 0.25 / 4.5}, {2.5 / 4.5, 1, 0.75 / 3.5}, {0.25 / 4.5, 0.75 / 3.5, 1}});

    Matrix<double> data2 = MixedData();
    GowerMVOpt(3, 4, kTypes, data2, s, nullptr, weights, true);
    EXPECT_DOUBLE_EQ(s[1][2], 1.75 / 4.5);
    EXPECT_DOUBLE_EQ(s[0][1], 2.5 / 4.5);

    // Unit weights by default; GowerMV never counts double absences.
    Matrix<double> data3 = MixedData();
    GowerMV(3, 4, kTypes, data3, s, nullptr, nullptr);
    EXPECT_DOUBLE_EQ(s[1][2], 1.0 / 3.0);  // (0 + 0.5 + 0.5) / 3
    EXPECT_DOUBLE_EQ(s[0][1], 1.5 / 4.0);
}

TEST(Resemblance, GowerMissingValuesAndEdgeCases) {
    const int types[] = {3, 3, 2};
    Matrix<double> data = Make({{0, 5, 1}, {2, kMissing, 1}, {kMissing, 7, kMissing}, {4, 5, 2}});
    Matrix<double> s(4, 4);
    s[1][2] = 7.0;  // nothing comparable between rows 1 and 2: kept, mirrored
    GowerMVOpt(4, 3, types, data, s, nullptr, nullptr, false);
    // Ranges 4 and 2: (0.5 + 1) / 2, 7 vs 5, (0 + 1 + 0) / 3; (0.5 + 0) / 2 between rows 1 and 3.
    test::ExpectDoubleEq(s, {{1, 0.75, 0, 1 / 3.0}, {0.75, 1, 7, 0.25}, {0, 7, 1, 0}, {1 / 3.0, 0.25, 0, 1}});

    // A constant quantitative trait counts as full agreement.
    const int t3[] = {3};
    Matrix<double> c = Make({{4}, {4}});
    Matrix<double> sc(2, 2);
    GowerMVOpt(2, 1, t3, c, sc, nullptr, nullptr, false);
    EXPECT_EQ(sc[0][1], 1.0);

    // Two binary traits absent in both OTUs: not comparable, or agreement.
    const int t1[] = {1, 1};
    Matrix<double> b = Make({{0, 0}, {0, 0}});
    Matrix<double> sb(2, 2);
    GowerMVOpt(2, 2, t1, b, sb, nullptr, nullptr, false);
    EXPECT_EQ(sb[0][1], 0.0);
    GowerMVOpt(2, 2, t1, b, sb, nullptr, nullptr, true);
    EXPECT_EQ(sb[0][1], 1.0);
}

TEST(Resemblance, PartialGowerRoundsAndAverages) {
    Matrix<double> data = MixedData();
    const double ranges[] = {0, 0, 0, 0};
    const double weights[] = {1, 1, 1, 1};
    Array3D<double> part = dim3D<double>(3, 3, 4);
    gower_similarityPartial(4, data, 3, part, kTypes, ranges, weights, false);
    EXPECT_EQ(data[0][3], 10.0);  // the caller's data are not ranked
    // part[i][j][t] for j >= i; the binary trait is missing for a double absence.
    EXPECT_EQ(RowsOf(part[0]), (Rows{{1, 1, 1, 1}, {0, 1, 0.5, 0}, {0, 0, 0, 0.5}}));
    EXPECT_EQ(RowsOf(part[1]), (Rows{{0, 0, 0, 0}, {kMissing, 1, 1, 1}, {kMissing, 0, 0.5, 0.5}}));

    // The whole-matrix route agrees with the one-variable routine, trait by trait.
    for (int t = 0; t < 4; ++t) {
        std::vector<double> col = {data[0][t], data[1][t], data[2][t]};
        Matrix<double> one(3, 3);
        GowerMVPartial_dAbsences(3, kTypes[t], col.data(), one, ranges[t], weights[t], false);
        for (int i = 0; i < 3; ++i)
            for (int j = i; j < 3; ++j) EXPECT_EQ(part[i][j][t], one[i][j]) << t << ' ' << i << ' ' << j;
    }

    const int all[] = {1, 1, 1, 1};
    Matrix<double> s(3, 3);
    gower_similarityAverage(4, 3, part, s, all);
    // Diagonal: mean of the comparable traits; lower triangle untouched.
    test::ExpectDoubleEq(s, {{1, 1.5 / 4, 0.5 / 4}, {0, 1, 1 / 3.0}, {0, 0, 1}});
    const int firstOnly[] = {1, 0, 0, 0};
    gower_similarityAverage(4, 3, part, s, firstOnly);
    EXPECT_EQ(s[1][2], kMissing);

    // Single precision, given range used, zero range recomputed, weights.
    std::vector<double> col = {0, 1, 3};
    Matrix<double> out(3, 3);
    GowerMVPartial_dAbsences(3, 3, col.data(), out, 0.0, 1.0, false);
    EXPECT_EQ(out[0][1], Single(2.0 / 3.0));
    EXPECT_NE(out[0][1], 2.0 / 3.0);
    EXPECT_EQ(out[1][0], out[0][1]);
    GowerMVPartial_dAbsences(3, 3, col.data(), out, 10.0, 1.0, false);
    EXPECT_EQ(out[0][2], Single(0.7));
    GowerMVPartial_dAbsences(3, 3, col.data(), out, 3.0, -5.0, false);
    EXPECT_EQ(out[0][2], 0.0);  // negative weight counts as 1
    EXPECT_EQ(out[1][1], 1.0);
    GowerMVPartial_dAbsences(3, 3, col.data(), out, 3.0, 0.0, false);
    EXPECT_EQ(out[0][1], kMissing);  // weight 0
    GowerMVPartial_dAbsences(3, 2, col.data(), out, 0.0, 2.0, false);
    EXPECT_EQ(out[0][0], 2.0);
    EXPECT_EQ(out[0][1], 0.0);
    std::vector<double> ord = {5, kMissing, 9};
    GowerMVPartial_dAbsences(3, 4, ord.data(), out, 0.0, 1.0, false);
    EXPECT_EQ(ord[2], 2.0);  // ranked in place
    EXPECT_EQ(out[0][2], 0.0);
    EXPECT_EQ(out[0][1], kMissing);
    GowerMVPartial_dAbsences(3, 7, col.data(), out, 0.0, 1.0, false);
    EXPECT_EQ(out[0][0], kMissing);  // unknown type
}

TEST(Resemblance, DistancesSkipMissingPairs) {
    Matrix<double> data = Make({{0, 0}, {3, 4}, {kMissing, 1}});
    Matrix<double> d(3, 3);
    EucliDistMV(3, 2, data, d);
    EXPECT_EQ(RowsOf(d), (Rows{{0, 5, 1}, {5, 0, 3}, {1, 3, 0}}));
    const int first[] = {1, 0};
    EucliDistMVSelect(3, 2, data, d, first);
    EXPECT_EQ(RowsOf(d), (Rows{{0, 3, 0}, {3, 0, 0}, {0, 0, 0}}));  // row 2: no comparable column
    EucliDistMVSelectOne(3, 2, data, d, 2);
    EXPECT_EQ(RowsOf(d), (Rows{{0, 4, 1}, {4, 0, 3}, {1, 3, 0}}));
    EucliDistMVSelectOne(3, 2, data, d, 1);
    EXPECT_EQ(RowsOf(d), (Rows{{0, 3, 0}, {3, 0, 0}, {0, 0, 0}}));

    Matrix<double> a(3, 3);
    a.fill(-1.0);
    AbsValFunctionMV(3, 2, data, a);
    EXPECT_EQ(RowsOf(a), (Rows{{0, 7, 1}, {-1, 0, 3}, {-1, -1, 0}}));  // upper triangle only

    Matrix<double> x = Make({{1, 2, 3}, {2, 4, 6}, {3, 2, 1}});
    Matrix<double> c(3, 3);
    CrossProductMV(3, 3, x, c);
    EXPECT_EQ(RowsOf(c), (Rows{{14, 28, 10}, {0, 56, 20}, {0, 0, 14}}));  // upper triangle only
    CorrelationMV(3, 3, x, c);
    test::ExpectDoubleEq(c, {{1, 1, -1}, {0, 1, -1}, {0, 0, 1}});
    x[2][1] = kMissing;
    CorrelationMV(3, 3, x, c);
    EXPECT_DOUBLE_EQ(c[0][2], -1.0);
}

TEST(Resemblance, ChordDistanceIgnoresMissingValuesElsewhere) {
    Matrix<double> full = Make({{1, 2, 2}, {3, 0, 4}, {1, 1, 1}});
    Matrix<double> holed = full;
    holed[2][1] = kMissing;
    Matrix<double> d1(3, 3), d2(3, 3);
    ChordDistMV(3, 3, full, d1);
    ChordDistMV(3, 3, holed, d2);
    EXPECT_EQ(d1[0][1], d2[0][1]);
    const double sq = std::pow(1.0 / 3 - 0.6, 2) + std::pow(2.0 / 3, 2) + std::pow(2.0 / 3 - 0.8, 2);
    EXPECT_NEAR(d1[0][1], std::sqrt(sq), 1e-15);
    // Rows 0 and 2 compared over columns 0 and 2 only, each normalised there.
    const double a = 1.0 / std::sqrt(5.0), b = 1.0 / std::sqrt(2.0);
    EXPECT_NEAR(d2[0][2], std::sqrt((a - b) * (a - b) + (2 * a - b) * (2 * a - b)), 1e-15);
    EXPECT_NE(d2[0][2], d1[0][2]);
}

TEST(Resemblance, BinaryFamily) {
    const double x[] = {1, 1, 0, 0, 1, kMissing};
    const double y[] = {1, 0, 1, 0, 0, 1};
    double a, b, c, d;
    JointFreq(6, x, y, a, b, c, d);
    EXPECT_EQ(a, 1.0);
    EXPECT_EQ(b, 2.0);
    EXPECT_EQ(c, 1.0);
    EXPECT_EQ(d, 1.0);
    using Index = double (*)(int, const double*, const double*);
    const double kUnchecked = std::nan("");
    const struct {
        Index f;
        double mixed, empty;  // for x, y above and for two empty rows
    } cases[] = {
        {Jaccard, 0.25, 0.0},
        {JaccardDissimilarity, 0.75, 1.0},
        {JaccardTurnover, 2.0 / 3.0, kMissing},
        {JaccardNestedness, 1.0 / 12.0, kMissing},
        {Sorensen, 0.4, 0.0},
        {SorensenDissimilarity, 0.6, 1.0},
        {SorensenTurnover, 0.5, kMissing},
        {SorensenNestedness, 0.1, kMissing},
        {SokalMichener, 0.2, kUnchecked},
        {SimpleMatching, 0.4, kUnchecked},
        {Ochiai, 1.0 / std::sqrt(6.0), 0.0},
        {MeanSquareContingency, 1.0 / 36.0, 0.0},
    };
    const double z[] = {0, 0};
    for (std::size_t k = 0; k < std::size(cases); ++k) {
        EXPECT_DOUBLE_EQ(cases[k].f(6, x, y), cases[k].mixed) << k;
        if (!std::isnan(cases[k].empty)) {
            EXPECT_EQ(cases[k].f(2, z, z), cases[k].empty) << k;
        }
    }
}

TEST(Resemblance, DispatcherAndTranslation) {
    Matrix<double> data = Make({{0, 0}, {3, 4}});
    Matrix<double> out(2, 2);
    ResemblanceLib(2, 2, data, out, 1, 3, 2, nullptr, 0, 0, false, false);
    EXPECT_DOUBLE_EQ(out[0][1], std::sqrt(5.0));
    EXPECT_DOUBLE_EQ(out[1][0], std::sqrt(5.0));
    ResemblanceLib(2, 2, data, out, 1, 2, 1, nullptr, 0, 0, false, false);
    EXPECT_EQ(out[1][0], 49.0);  // squared, then mirrored
    // Between columns: (0, 3) and (0, 4).
    ResemblanceLib(2, 2, data, out, 2, 3, 0, nullptr, 0, 0, false, false);
    EXPECT_EQ(out[0][1], 1.0);
    // Gower through the dispatcher leaves the caller's data alone.
    const int types[] = {4, 3};
    Matrix<double> ord = Make({{10, 1}, {30, 3}});
    ResemblanceWork work;
    ResemblanceLib(2, 2, ord, out, 1, 5, 0, types, 0, 0, false, false, work);
    EXPECT_EQ(ord[0][0], 10.0);
    EXPECT_EQ(out[0][1], 0.0);
    EXPECT_EQ(out[0][0], 1.0);
    // An unrequested measure computes nothing.
    out.fill(0.5);
    ResemblanceLib(2, 2, data, out, 1, 7, 0, nullptr, 0, 0, false, false, work);
    EXPECT_EQ(out[0][1], 0.5);
    Matrix<double> bin = Make({{1, 1, 0}, {1, 0, 0}});
    ResemblanceLib(2, 3, bin, out, 1, 11, 0, nullptr, 0, 0, false, false, work);
    EXPECT_EQ(out[1][0], 0.5);

    const int expected[] = {1, 0, 0, 1, 0, 17, 3, 0, 2, 0, 18, 1};
    for (int opt = 0; opt <= 11; ++opt) EXPECT_EQ(TranslateReseOpt_KOLVAR_DORMAL(opt), expected[opt]) << opt;
}

// Both routes (pair by pair with missing values, column-wise without) give
// every pair exactly the bits of the plain pairwise sum, on any number of threads.
TEST(Resemblance, EuclideanGivesThePairwiseBitsOnOneThreadAndOnMany) {
    // Many objects and few variables, and few objects (not a multiple of the
    // panels) with variables enough for several blocks.
    for (const auto& [n, p] : {std::pair{300, 12}, std::pair{77, 300}}) {
        std::vector<int> selectCols(static_cast<std::size_t>(p));
        for (int k = 0; k < p; ++k) selectCols[static_cast<std::size_t>(k)] = k % 6 != 2;
        const int* select = selectCols.data();
        for (const bool holes : {false, true}) {
            std::mt19937 gen(holes ? 11 : 5);
            std::uniform_real_distribution<double> u(-3.0, 3.0);
            Matrix<double> data(n, p);
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < p; ++j) data[i][j] = holes && gen() % 20 == 0 ? kMissing : u(gen);
            const int saved = omp_get_max_threads();
            Matrix<double> one(n, n), many(n, n), sel1(n, n), sel4(n, n);
            omp_set_num_threads(1);
            EucliDistMV(n, p, data, one);
            EucliDistMVSelect(n, p, data, sel1, select);
            omp_set_num_threads(4);
            EucliDistMV(n, p, data, many);
            EucliDistMVSelect(n, p, data, sel4, select);
            omp_set_num_threads(saved);
            int mismatches = 0;
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < n; ++j) {
                    double s = 0.0, t = 0.0;
                    for (int k = 0; k < p; ++k) {
                        if (data[i][k] == kMissing || data[j][k] == kMissing) continue;
                        const double d = data[i][k] - data[j][k];
                        s += d * d;
                        if (select[k]) t += d * d;
                    }
                    const double want = s == 0.0 ? 0.0 : std::sqrt(s), wantSel = t == 0.0 ? 0.0 : std::sqrt(t);
                    mismatches +=
                        (one[i][j] != want) + (many[i][j] != want) + (sel1[i][j] != wantSel) + (sel4[i][j] != wantSel);
                }
            EXPECT_EQ(mismatches, 0) << (holes ? "with missing values" : "complete") << ", " << n << " x " << p;
        }
    }
}

}  // namespace
}  // namespace kolvar
