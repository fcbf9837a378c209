#pragma once
// Every statistic of one community data set that the permutation test
// reports: the trait-convergence, trait-divergence and phylogenetic
// correlations with the ecological variables, their partial forms, the Rao
// entropy and beta-diversity correlations, the phylogenetic signal, and for
// the other statistic types the regression results or pseudo-F values.

#include <algorithm>
#include <array>
#include <initializer_list>
#include <span>
#include <ostream>
#include <vector>

#include "QMLib/Matrix.hpp"
#include "stattests/Diversity.hpp"
#include "stattests/MatrixCorrelation.hpp"
#include "stattests/PermTest.hpp"
#include "stattests/Regression.hpp"

namespace kolvar {

/// Slots of FunctionalPhyl_Stats_Lib_Input::stat.
enum StatSlot : int {
    sTE = 0, sXE, sXT, sXE_T, sRE, sXR, sTR, sXE_R, sTE_R, sXT_R, sXE_TR, sVE, sTY, sXY, sXY_T, sXY_R,
    sTY_R, sXY_TR, sRY, sVY, sBM, sBF, sFE, sPE, sPT, sPX, sPX_T, sTE_P, sXE_P, sXE_TP, sPE_T, sPE_X, sXT_P,
    kNumStatSlots
};

/// Slot of each tested statistic (the order of the test's result arrays).
inline constexpr std::array<int, kNumTestedStats> kTestedStatSlot = {
    sXE, sTE, sXE_T, sRE, sXE_TR, sVE, sTY, sXY, sXY_T, sXY_TR, sRY, sVY,
    sBF, sFE, sPE, sPT, sPX, sPX_T, sTE_P, sXE_P, sXE_TP, sPE_T, sPE_X, sBM};

/// Work space of the library routines one evaluation calls, reused across calls.
struct FunctionalStatsWork {
    MatrixCorrWork corr;
    RegressionWork regression;
    GroupSqWork groups;
    RaoWork rao;
    Matrix<double> DTrait;  ///< distances from one trait (pseudo-F per trait)
};

/// Matrix correlations between community matrices with the test's method,
/// squaring option, statistic type and overfitting factor.
/// Mantel correlations of pairs of dissimilarity matrices computed ahead, a
/// batch per first matrix (MatrixCorrBatch), and looked up by the matrices.
struct MantelValues {
    struct Entry {
        const Matrix<double>* a = nullptr;
        const Matrix<double>* b = nullptr;
        double value = 0.0;
    };
    std::array<Entry, 32> entries{};
    int size = 0;
    /// Matrices whose upper triangles are known to hold no missing value.
    std::span<const Matrix<double>* const> complete;
    void Clear() { size = 0; }
    /// MatrixCorr of DA with each matrix of DB, kept for Find (as many as fit);
    /// daComplete: DA holds no missing value.
    void Add(int n, const Matrix<double>& DA, std::initializer_list<const Matrix<double>*> DB, bool daComplete = false) {
        double values[16];
        bool known[17] = {daComplete};
        const std::size_t count = std::min<std::size_t>(DB.size(), 16);
        for (std::size_t k = 0; k < count; ++k)
            known[k + 1] = std::find(complete.begin(), complete.end(), DB.begin()[k]) != complete.end();
        MatrixCorrBatch(n, DA, std::span<const Matrix<double>* const>(DB.begin(), count), values,
                        std::span<const bool>(known, count + 1));
        for (std::size_t k = 0; k < count && size < static_cast<int>(entries.size()); ++k)
            entries[static_cast<std::size_t>(size++)] = {&DA, DB.begin()[k], values[k]};
    }
    const double* Find(const Matrix<double>& a, const Matrix<double>& b) const {
        for (int k = 0; k < size; ++k)
            if (entries[static_cast<std::size_t>(k)].a == &a && entries[static_cast<std::size_t>(k)].b == &b)
                return &entries[static_cast<std::size_t>(k)].value;
        return nullptr;
    }
};

struct CommunityCorrelator {
    const PermTest_FunctionalPhyl_Correl_Input& in;
    MatrixCorrWork& work;
    const MantelValues* ahead = nullptr;  ///< Mantel values computed ahead (method m)
    /// MatrixCorrelationLib of A (pA columns) and B, or of their dissimilarities DA and DB.
    double Mcl(const Matrix<double>& A, int pA, const Matrix<double>& B, int pB, const Matrix<double>& DA,
               const Matrix<double>& DB) const {
        if (ahead && in.opt_MatrixCorr == 'm')
            if (const double* v = ahead->Find(DA, DB)) return *v;
        return MatrixCorrelationLib(in.ncsm, pA, pB, A, B, DA, DB, in.squareDistMatrixOpt, in.opt_MatrixCorr, work);
    }
    /// PartialMatrixCorrelation of A and B removing the covariate sets.
    double Pmc(const Matrix<double>& A, int pA, const Matrix<double>& B, int pB,
               std::initializer_list<CovariateSet> sets) const {
        return PartialMatrixCorrelation(in.overfitFactorPCARegr, in.ncsm, pA, pB, A, B, in.opt_ro,
                                        std::span<const CovariateSet>(sets.begin(), sets.size()), work);
    }
};

/// Work and results of one evaluation; sized once per test by Allocate.
struct FunctionalPhyl_Stats_Lib_Input {
    int reseOptX = 0;
    int reseOptT = 0;
    int nDivCols = 1;
    Matrix<double> Bnorm;     ///< nOTUs x nch, columns of unit length
    Matrix<double> T;         ///< ncsm x (nch + 2): spare columns take R and RPhyl for regression
    Matrix<double> X;         ///< ncsm x nTypes
    Matrix<double> P;         ///< ncsm x nTaxa
    std::vector<double> raoWork;
    Matrix<double> R;         ///< ncsm x 1
    Matrix<double> RT;        ///< 1 x ncsm, for printing
    Matrix<double> V;         ///< ncsm x 1: NNCRD residuals after richness
    Matrix<double> nncrd;     ///< 1 x ncsm
    Matrix<double> RPhyl;     ///< ncsm x 1 (phylogeny)
    Matrix<double> RPhylT;    ///< 1 x ncsm
    bool raoByAbund = false;
    Matrix<double> DX, DT, DR, DV, DRaoPhyl, DP;
    Matrix<double> richnessCol;   ///< ncsm x 1
    Matrix<double> residualsCol;  ///< ncsm x 1
    std::array<double, kNumStatSlots> stat{};
    Matrix<int> envGroups;        ///< nEnv x ncsm (type 5)
    Matrix<double> regrFitted;    ///< ncsm x (nch + 2) (type 4)
    std::vector<double> regrSSY;  ///< nch + 2 (type 4)
    double totalSS = 0.0;

    /// Regression results of the data set just evaluated (type 4).
    RegressionSet regr;
    std::vector<double> regrIntercept;
    /// Pseudo-F values of the data set just evaluated (type 5).
    PseudoFSet pseudoF;
    FunctionalStatsWork work;

    /// Sizes everything for the test record (types and phylogeny decide which).
    void Allocate(const PermTest_FunctionalPhyl_Correl_Input& in);
};

/// Computes every statistic of the data set described by the record (W, Wfw,
/// B, U, Q, E, DE, DY, Y, M, Sb, Sf, phylAxes) into st. Returns 1.
int FunctionalPhyl_Stats_Lib(const PermTest_FunctionalPhyl_Correl_Input& in, FunctionalPhyl_Stats_Lib_Input& st);

/// Mantel correlation of two n x n resemblance matrices, each read through an
/// optional 1-based list (cell i, j of the permuted matrix is S[list[i] - 1]
/// [list[j] - 1]) and taken as 1 - s unless it holds dissimilarities: the
/// result of MatrixCorrelationLib's similarity form with method 'm' on the
/// permuted matrices, bit for bit, without forming any n x n matrix.
double MantelSimilarityForm(int n, const Matrix<double>& S1, const int* list1, bool dissim1, const Matrix<double>& S2,
                            const int* list2, bool dissim2);
/// One side of MantelSimilarityForm: a resemblance matrix read through a list
/// (or as it is) as a similarity or a dissimilarity.
struct MantelSide {
    const Matrix<double>* S = nullptr;
    const int* list = nullptr;
    bool dissim = false;
};
/// MantelSimilarityForm of a1 with b1 into r1 and of a2 with b2 into r2: the
/// bits of two calls, in one pass over the pairs.
void MantelSimilarityFormTwo(int n, const MantelSide& a1, const MantelSide& b1, const MantelSide& a2,
                             const MantelSide& b2, double& r1, double& r2);

/// Pseudo-F of the groups in D: between / (total - between) over the selected
/// units; 0 when the within-group sum of squares is 0.
double PseudoF(int n, const Matrix<double>& D, const int* groups, const int* select, GroupSqWork& work);

/// Group code of a community from the value of an ecological factor (truncated).
int TruncEnvGroup(double value);

/// Residuals (n x 1) of V on richness (n x 1), by least squares with intercept;
/// a constant richness leaves the deviations of V from its mean.
void ResidualsOnRichness(int n, const Matrix<double>& V, const Matrix<double>& richness, Matrix<double>& residuals,
                         RegressionWork& work);

// Intermediate results of the random-data file.
void PrintFirstIntermediateBlock(const PermTest_FunctionalPhyl_Correl_Input& in,
                                 const FunctionalPhyl_Stats_Lib_Input& st);
void PrintSecondIntermediateBlock(const PermTest_FunctionalPhyl_Correl_Input& in,
                                  const FunctionalPhyl_Stats_Lib_Input& st);
/// The strict upper triangle and diagonal of D, transposed: line i holds D[0..i][i].
void PrintUpperAsLowerHalf(std::ostream& fp, int n, const Matrix<double>& D);
/// A one-column matrix printed as one row.
void PrintColumnAsRow(std::ostream& fp, int n, const Matrix<double>& col);

}  // namespace kolvar
