// The statistics of one data set and the permutation test built on them,
// checked against direct computations on small made-up communities.
#include <gtest/gtest.h>
#include <omp.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <map>
#include <regex>
#include <sstream>
#include <thread>

#include "base/Fatal.hpp"
#include "QMLib/qmlibDim.hpp"
#include "stattests/FunctionalStats.hpp"
#include "stattests/PermTest.hpp"
#include "QMLib/Random.hpp"
#include "support/NumericData.hpp"
#include "support/TestData.hpp"

namespace kolvar {
namespace {

using test::SameBits;

/// A small community data set with every matrix the test reads; communities
/// ordered along one gradient.
struct Community {
    int n, nOTUs = 4, nch = 2, nEnv = 1;
    Matrix<double> W, B, U, Sb, E, DE, DY, Y, M, Q, Sf, axes;
    Matrix<double> Tobs, Xobs, Pobs, nncrdObs;
    std::vector<double> Robs, RPhylObs;
    PermTest_FunctionalPhyl_Correl_Input in;
    Random rnd;
    RegressionResults regr;
    PseudoFResults pf;
    std::ostringstream printed;

    explicit Community(int communities = 6) : n(communities) {
        W = Matrix<double>(n, nOTUs);
        const double raw[6][4] = {{3, 1, 0, 0}, {2, 2, 1, 0}, {1, 2, 2, 0}, {0, 1, 3, 1},
                                  {0, 0, 2, 3}, {0, 1, 0, 4}};
        for (int i = 0; i < n; ++i) {
            double tot = 0;
            for (int k = 0; k < nOTUs; ++k) tot += raw[i % 6][k] + (i / 6) * (k + 1);
            for (int k = 0; k < nOTUs; ++k) W[i][k] = (raw[i % 6][k] + (i / 6) * (k + 1)) / tot;
        }
        B = Matrix<double>::FromRows({{1.0, 10}, {2.5, 7}, {4.0, 6.5}, {7.0, 1}});
        U = Matrix<double>(nOTUs, nOTUs);  // crisp: each OTU its own type
        for (int k = 0; k < nOTUs; ++k) U[k][k] = 1.0;
        Sb = Matrix<double>(nOTUs, nOTUs);
        for (int k = 0; k < nOTUs; ++k)
            for (int l = 0; l < nOTUs; ++l) Sb[k][l] = 1.0 - std::fabs(B[k][0] - B[l][0]) / 6.0;
        E = Matrix<double>(n, nEnv);
        for (int i = 0; i < n; ++i) E[i][0] = std::pow(1.7, i) + 0.3 * i;  // generic, increasing
        DE = test::EuclideanDistances(E, 1);
        Y = W;
        DY = test::EuclideanDistances(Y, nOTUs);
        M = Matrix<double>(nOTUs, nOTUs);
        for (int k = 0; k < nOTUs; ++k)
            for (int l = 0; l < nOTUs; ++l) M[k][l] = k == l ? 1.0 : 0.5 / (1 + std::abs(k - l));
        Q = Matrix<double>::FromRows({{1, 0}, {1, 0}, {0, 1}, {0, 1}});
        Sf = Matrix<double>::FromRows({{0, 0.5, 1, 1}, {0.5, 0, 1, 1}, {1, 1, 0, 0.5}, {1, 1, 0.5, 0}});
        axes = Matrix<double>::FromRows({{-0.5}, {-0.5}, {0.5}, {0.5}});
        Tobs = Matrix<double>(n, nch);
        Xobs = Matrix<double>(n, nOTUs);
        Pobs = Matrix<double>(n, 2);
        nncrdObs = Matrix<double>(2, n);
        Robs.assign(n, 0.0);
        RPhylObs.assign(n, 0.0);

        in.niter = 99;
        in.nch = nch;
        in.chSelect = {1, 1};
        in.nOTUs = nOTUs;
        in.nTypes = nOTUs;
        in.nTaxa = 2;
        in.nEnv = nEnv;
        in.ncsm = n;
        in.relSelect.assign(n, 1);
        in.nPhylAxes = 1;
        in.B = &B;
        in.Sb = &Sb;
        in.phylAxes = &axes;
        in.Sf = &Sf;
        in.E = &E;
        in.U = &U;
        in.Q = &Q;
        in.DE = &DE;
        in.DY = &DY;
        in.Wfw = &W;
        in.W = &W;
        in.Y = &Y;
        in.M = &M;
        in.Tobs = &Tobs;
        in.Xobs = &Xobs;
        in.Pobs = &Pobs;
        in.Robs = &Robs;
        in.RPhylObs = &RPhylObs;
        in.nncrdObs = &nncrdObs;
        for (int i = 0; i < n; ++i) {
            int r = 0;
            for (int k = 0; k < nOTUs; ++k) r += W[i][k] > 0;
            in.richness.push_back(r);
        }
        in.weight_OTUs.assign(nOTUs, 1);
        in.nestingMembershipOTUs = {1, 1, 2, 2};
        in.rnd = &rnd;
        InitRndNumberGenerator(rnd, 12345);
    }

    /// Statistic type 4 (regression) or 5 (pseudo-F, over three groups of
    /// communities) with its results; other types need nothing more.
    void UseModel(int type) {
        in.opt_ro = type;
        if (type == 4) {
            regr.Allocate(nch + 2, nEnv);
            in.regrResults = &regr;
        }
        if (type == 5) {
            for (int i = 0; i < n; ++i) E[i][0] = i % 3;
            in.pseudoFResults = &pf;
        }
    }

    /// The statistics of the observed data.
    FunctionalPhyl_Stats_Lib_Input Stats() {
        FunctionalPhyl_Stats_Lib_Input st;
        st.Allocate(in);
        FunctionalPhyl_Stats_Lib(in, st);
        return st;
    }

    /// Intermediate results of every iteration into printed.
    void PrintIntermediate() {
        in.rndFile = &printed;
        in.printIntermPermResults = true;
    }
};

TEST(FunctionalStats, WithoutThePhylogenyItsSlotsStayUntouched) {
    Community c;
    const FunctionalPhyl_Stats_Lib_Input st = c.Stats();
    for (int s = sBF; s <= sXT_P; ++s)
        if (s != sBM) {
            EXPECT_EQ(st.stat[s], 0.0) << s;
        }
}
TEST(FunctionalStats, MissingTraitsAndStatisticTypes) {
    Community c;
    for (int k = 0; k < c.nOTUs; ++k) c.B[k][1] = kMissing;  // every OTU misses trait 2
    c.in.opt_ro = 4;
    RegressionResults regr;
    c.in.regrResults = &regr;
    const FunctionalPhyl_Stats_Lib_Input st = c.Stats();
    for (int i = 0; i < c.n; ++i) EXPECT_EQ(st.T[i][1], kMissing);
    for (int s = 0; s < kNumStatSlots; ++s) EXPECT_EQ(st.stat[s], 0.0) << "type 4 writes no correlation, slot " << s;
    // Rao entropy in the spare column is one of the regression responses.
    EXPECT_GE(st.regr.rSquare[2], 0.0);
    EXPECT_LE(st.regr.rSquare[2], 1.0);
    EXPECT_EQ(st.T[0][2], st.R[0][0]);
}

TEST(FunctionalStats, ProcrustesSkipsScalarPartials) {
    Community c;
    c.in.opt_ro = 2;
    c.in.opt_MatrixCorr = 'p';
    c.in.includePhylogeny = true;
    FunctionalPhyl_Stats_Lib_Input st;
    st.Allocate(c.in);
    for (int s : {sXE_R, sTE_R, sXT_R, sXY_R, sTY_R, sXT_P}) st.stat[s] = 42.0;
    FunctionalPhyl_Stats_Lib(c.in, st);
    for (int s : {sXE_R, sTE_R, sXT_R, sXY_R, sTY_R, sXT_P}) EXPECT_EQ(st.stat[s], 42.0) << s;
    EXPECT_GT(st.stat[sXE], 0.0);
    EXPECT_LE(st.stat[sXE], 1.0 + 1e-12);
    EXPECT_NE(st.stat[sPE], 0.0);
}

TEST(FunctionalStats, ExcludedOtusInTheFuzzyWeightedComposition) {
    // OTU 4 excluded and half belonging to type 1: without restriction its
    // term with the included type still counts in X; with restriction it does
    // not. Its own type gets nothing either way (both weights are 0).
    for (bool restrict : {false, true}) {
        Community c;
        c.U[3][0] = c.U[3][3] = 0.5;
        c.in.weight_OTUs = {1, 1, 1, 0};
        c.in.restrictRaoWithinOpt = restrict;
        const FunctionalPhyl_Stats_Lib_Input st = c.Stats();
        for (int i = 0; i < c.n; ++i) {
            EXPECT_NEAR(st.X[i][0], c.W[i][0] + (restrict ? 0.0 : 0.5 * c.W[i][3]), 1e-12) << restrict;
            for (int g = 1; g < 3; ++g) EXPECT_NEAR(st.X[i][g], c.W[i][g], 1e-12) << restrict;
            EXPECT_EQ(st.X[i][3], 0.0) << restrict;
        }
    }
}

std::vector<std::vector<int>> ListsAfter(const std::string& text, const std::string& heading) {
    std::vector<std::vector<int>> lists;
    std::size_t pos = 0;
    while ((pos = text.find(heading, pos)) != std::string::npos) {
        pos += heading.size();
        std::istringstream line(text.substr(pos, text.find('\n', pos) - pos));
        std::vector<int> l;
        for (int v; line >> v;) l.push_back(v);
        lists.push_back(l);
    }
    return lists;
}

TEST(PermTest, WeightedTaxaShuffleDrawsFrequentOtusMoreOften) {
    Community c;
    // OTU 4 occurs in every community, OTU 1 in one only.
    for (int i = 0; i < c.n; ++i) {
        c.W[i][0] = i == 0 ? 0.25 : 0.0;
        c.W[i][3] = 0.25;
        c.W[i][1] = c.W[i][2] = (i % 2) ? 0.25 : 0.0;
    }
    c.in.optWeightedNullModel = true;
    c.in.niter = 400;
    c.PrintIntermediate();
    ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(c.in));
    const auto lists = ListsAfter(c.printed.str(), "Order of original OTUs in permuted traits matrix Brnd:\t");
    ASSERT_EQ(lists.size(), 399u);
    std::map<int, int> counts;
    bool repeated = false;
    for (const auto& l : lists) {
        ASSERT_EQ(l.size(), 4u);
        std::map<int, int> once;
        for (int v : l) ++counts[v], ++once[v];
        for (const auto& [otu, k] : once) repeated = repeated || k > 1;
    }
    EXPECT_TRUE(repeated);  // the same OTU may fill several rows
    EXPECT_GT(counts[4], 3 * counts[1]);
}

TEST(PermTest, OneMatrixPartialsUseObservedCovariate) {
    // With only the first matrix permuted, ro(XE.T) of every iteration uses
    // the observed ro(TE): recompute it from the printed random values.
    Community c;
    c.in.oneMatrixPermPartialCorr = true;
    c.in.niter = 10;
    c.PrintIntermediate();
    ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(c.in));
    const FunctionalPhyl_Stats_Lib_Input st = c.Stats();
    const std::regex line(R"(Random ro\(XT\) =\t(\S+)\tRandom ro\(XE\) =\t(\S+)\tRandom ro\(XE\.T\) =\t(\S+))");
    const std::string text = c.printed.str();
    int checked = 0;
    for (std::sregex_iterator it(text.begin(), text.end(), line), end; it != end; ++it, ++checked) {
        const double xt = std::stod((*it)[1]), xe = std::stod((*it)[2]), xeT = std::stod((*it)[3]);
        EXPECT_NEAR(xeT, PartialCorrelation(xe, xt, st.stat[sTE]), 1e-5);
    }
    EXPECT_EQ(checked, 9);
}

// Every number the test returns, as bits, so runs can be compared exactly.
std::vector<double> AllResults(const PermTest_FunctionalPhyl_Correl_Input& in) {
    std::vector<double> r;
    for (const auto* a : {&in.obs, &in.prob, &in.ses, &in.expected, &in.lowerLimit, &in.upperLimit, &in.asymProb})
        r.insert(r.end(), a->begin(), a->end());
    auto add = [&r](const std::vector<double>& v) { r.insert(r.end(), v.begin(), v.end()); };
    auto addM = [&r](const Matrix<double>& m) {
        for (std::size_t i = 0; i < m.rows(); ++i) r.insert(r.end(), m[i].begin(), m[i].end());
    };
    if (in.regrResults)
        for (const RegressionSet* set : {&in.regrResults->obs, &in.regrResults->prob, &in.regrResults->ses,
                                         &in.regrResults->expected}) {
            add(set->rSquare);
            addM(set->coeff);
        }
    if (in.pseudoFResults)
        for (const PseudoFSet* set : {&in.pseudoFResults->obs, &in.pseudoFResults->prob, &in.pseudoFResults->ses,
                                      &in.pseudoFResults->expected}) {
            for (const auto* v : {&set->X, &set->T, &set->P, &set->R, &set->RPhyl}) add(*v);
            addM(set->traits);
        }
    return r;
}

struct ParallelCase {
    const char* name;
    int type;
    char shuffle;
    char method;
    bool phylogeny, bootstrap, weighted, restricted, excluded;
};

// One thread evaluating and counting each iteration in turn is the order of
// the definition; three threads over blocks of lists drawn ahead must give
// the same bits, and the same intermediate results. 200 iterations make full
// and partial blocks (64 iterations per thread, 4 with intermediate results).
TEST(PermTest, ThreadsAndBlocksGiveTheBitsOfOneIterationAfterTheOther) {
    const ParallelCase cases[] = {
        {"mantel taxa", 1, 't', 'm', true, false, false, false, false},
        {"mantel weighted", 1, 't', 'm', true, false, true, false, false},
        {"mantel restricted excluded", 1, 't', 'm', true, false, false, true, true},
        {"mantel bootstrap", 1, 't', 'm', true, true, false, false, false},
        {"rd taxa", 1, 't', 'r', true, false, false, false, true},
        {"rd site bootstrap", 1, 's', 'r', false, true, false, false, false},
        {"procrustes", 2, 't', 'm', true, false, false, false, false},
        {"rv bootstrap", 3, 't', 'm', true, true, false, false, false},
        {"regression", 4, 't', 'm', true, false, false, false, false},
        {"regression bootstrap", 4, 's', 'm', false, true, false, false, false},
        {"pseudo-F", 5, 't', 'm', true, false, false, false, false},
        {"pseudo-F site", 5, 's', 'm', true, false, false, false, false},
    };
    const int saved = omp_get_max_threads();
    for (const ParallelCase& pc : cases) {
        // 0: intermediate results on one thread; 1: none, three threads;
        // 2: intermediate results on three threads.
        std::vector<double> runs[3];
        std::string printed[3];
        for (int run = 0; run < 3; ++run) {
            Community c(9);
            c.in.niter = 200;
            c.UseModel(pc.type);
            c.in.optTaxaSiteShuffle = pc.shuffle;
            c.in.opt_MatrixCorr = pc.method;
            c.in.includePhylogeny = pc.phylogeny;
            c.in.doBootstrapOpt = pc.bootstrap;
            c.in.optWeightedNullModel = pc.weighted;
            c.in.optRestrictPermutNullModel = pc.restricted ? 1 : 0;
            if (pc.excluded) {
                c.in.weight_OTUs = {1, 0, 1, 1};
                c.in.restrictRaoWithinOpt = pc.restricted;
            }
            if (run != 1) c.PrintIntermediate();
            omp_set_num_threads(run == 0 ? 1 : 3);
            ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(c.in)) << pc.name;
            runs[run] = AllResults(c.in);
            printed[run] = c.printed.str();
            if (run == 0) {
                EXPECT_NE(printed[0].find("ITERATION\t198"), std::string::npos) << pc.name;
                // The counter printed with the last iteration is the test's own.
                const std::string key = "Cummulative frequency for ro(TE)=";
                const std::size_t last = printed[0].rfind(key);
                ASSERT_NE(last, std::string::npos) << pc.name;
                EXPECT_EQ(std::stod(printed[0].substr(last + key.size())), c.in.prob[kTE] * c.in.niter) << pc.name;
            }
        }
        for (int run : {1, 2}) EXPECT_TRUE(SameBits(runs[0], runs[run])) << pc.name << ", run " << run;
        EXPECT_TRUE(printed[0] == printed[2]) << pc.name << ": the intermediate results differ with three threads";
    }
    omp_set_num_threads(saved);
}

// The same sizes and bits in every set of handed-out values.
bool SameBits(const ModelNullValues& a, const ModelNullValues& b) {
    using M = ModelNullValues;
    for (Matrix<double> M::*m : {&M::rSquare, &M::coeff, &M::X, &M::T, &M::R, &M::P, &M::RPhyl, &M::traits})
        if (!test::SameBits(a.*m, b.*m)) return false;
    return true;
}

// Asking for the random values changes no draw and no result; the model values
// replace what the caller's set held and are the same on one thread and on
// three over several blocks (their content shows in the recorded cases'
// tables and pictures).
TEST(PermTest, HandingOutNullValuesChangesNoResult) {
    const int saved = omp_get_max_threads();
    for (const int type : {1, 4, 5}) {
        for (const char shuffle : {'t', 's'}) {
            const std::string name = std::to_string(type) + shuffle;
            std::vector<double> results[3];
            ModelNullValues kept[2];
            for (int run = 0; run < 3; ++run) {  // 0: no values asked; 1: one thread; 2: three threads
                Community c(9);
                c.in.niter = 200;
                c.UseModel(type);
                c.in.optTaxaSiteShuffle = shuffle;
                c.in.includePhylogeny = true;
                Matrix<double> nullValues;
                if (run > 0) {
                    kept[run - 1].X.assign(2, 2);  // stale content from an earlier use is dropped
                    c.in.nullValues = &nullValues;
                    c.in.modelNullValues = &kept[run - 1];
                }
                omp_set_num_threads(run == 2 ? 3 : 1);
                ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(c.in)) << name;
                results[run] = AllResults(c.in);
            }
            EXPECT_TRUE(SameBits(results[0], results[1])) << name;
            EXPECT_TRUE(SameBits(results[0], results[2])) << name;
            EXPECT_TRUE(SameBits(kept[0], kept[1])) << name;
            EXPECT_EQ(kept[0].X.empty(), type != 5) << name;
        }
    }
    omp_set_num_threads(saved);
}

TEST(PermTest, ProgressCountsFinishedIterationsOnTheCallingThread) {
    const int saved = omp_get_max_threads();
    for (int threads : {1, 3}) {
        omp_set_num_threads(threads);
        Community c;
        c.in.niter = 60;
        const std::thread::id caller = std::this_thread::get_id();
        std::vector<int> seen;
        bool otherThread = false, badText = false;
        c.in.progress = [&](const char* message) {
            otherThread = otherThread || std::this_thread::get_id() != caller;
            int done = 0, total = 0;
            badText = badText || std::sscanf(message, "Permutation test: %d of %d", &done, &total) != 2 || total != 60;
            seen.push_back(done);
        };
        ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(c.in));
        EXPECT_FALSE(otherThread);
        EXPECT_FALSE(badText);
        ASSERT_FALSE(seen.empty());
        EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end())) << threads;
        EXPECT_GE(seen.front(), 1);
        EXPECT_EQ(seen.back(), 59);  // every random data set done, none claimed early
    }
    omp_set_num_threads(saved);
}

TEST(PermTest, IterationCountBeyondMemoryEndsCleanly) {
    // INT_MAX iterations would need 24 x (INT_MAX + 8) values: refused through
    // the out-of-memory path, not computed with an overflowed size.
    Community c;
    c.in.niter = INT_MAX;
    bool ended = false;
    try {
        PermTest_FunctionalPhyl_Correl(c.in);
    } catch (const FatalError& e) {
        ended = e.code == FatalCode::OutOfMemory;
    }
    EXPECT_TRUE(ended);
    c.in.niter = 2;  // below three: nothing to summarise
    EXPECT_FALSE(PermTest_FunctionalPhyl_Correl(c.in));
}

// The Mantel form read through lists equals MatrixCorrelationLib's similarity
// form on permuted copies, bit for bit, with missing values and either kind
// of resemblance.
TEST(FunctionalStats, MantelThroughListsEqualsCorrelationOfPermutedCopies) {
    const int n = 13;
    Random rnd;
    InitRndNumberGenerator(rnd, 7);
    Matrix<double> s1(n, n), s2(n, n);
    std::vector<int> list(n);
    RndList(rnd, n, list.data());
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            s1[i][j] = (i * 7 + j * 3) % 11 == 0 ? kMissing : std::sin(i * 1.3 + j * 0.7) * 0.5 + 0.5;
            s2[i][j] = (i + 2 * j) % 9 == 0 ? kMissing : std::cos(i * 0.4 - j) * 0.5 + 0.5;
        }
    Matrix<double> p1(n, n), p2(n, n);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            p1[i][j] = s1[list[i] - 1][list[j] - 1];
            p2[i][j] = s2[list[i] - 1][list[j] - 1];
        }
    const Matrix<double> raw(n, 1);
    for (bool d1 : {false, true})
        for (bool d2 : {false, true}) {
            const double want1 = MatrixCorrelationLib(n, 1, 1, raw, raw, p1, s2, d1, d2, false, 'm');
            const double got1 = MantelSimilarityForm(n, s1, list.data(), d1, s2, nullptr, d2);
            const double want2 = MatrixCorrelationLib(n, 1, 1, raw, raw, s1, p2, d1, d2, false, 'm');
            const double got2 = MantelSimilarityForm(n, s1, nullptr, d1, s2, list.data(), d2);
            EXPECT_TRUE(SameBits(want1, got1)) << d1 << d2;
            EXPECT_TRUE(SameBits(want2, got2)) << d1 << d2;
            EXPECT_NE(want1, 0.0);
        }
    EXPECT_EQ(MantelSimilarityForm(1, s1, nullptr, false, s2, nullptr, false), 0.0);
}

}  // namespace
}  // namespace kolvar
