#pragma once
// Permutation test of the trait and phylogeny correlations of a community data
// set under a null model (taxa shuffle, site shuffle, optionally combined with
// bootstrap samples of communities).

#include <array>
#include <ostream>
#include <vector>

#include "QMLib/Matrix.hpp"
#include "base/Progress.hpp"

namespace kolvar {

struct Random;
struct Console;

/// The 24 tested statistics, in the order of the result arrays.
enum TestedStat : int {
    kXE = 0, kTE, kXE_T, kRE, kXE_TR, kVE, kTY, kXY, kXY_T, kXY_TR, kRY, kVY,
    kBF, kFE, kPE, kPT, kPX, kPX_T, kTE_P, kXE_P, kXE_TP, kPE_T, kPE_X, kBM,
    kNumTestedStats
};
/// Tail of the asymmetry-based P-value of each statistic (1 upper, 0 two-sided).
inline constexpr std::array<int, kNumTestedStats> kTestedStatTail = {1, 1, 0, 1, 0, 1, 1, 1, 0, 0, 1, 1,
                                                                     1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 1};

/// Regression results (statistic type 4): one response per selected trait
/// column of T plus the Rao columns; coefficients are nEnv x responses.
struct RegressionSet {
    std::vector<double> rSquare;
    Matrix<double> coeff;
};
struct RegressionResults {
    RegressionSet obs, prob, ses, expected;
    std::vector<double> intercept;  ///< observed intercepts (not tested)
    /// Sizes every array for nResponses responses and nEnv factors, zero-filled.
    void Allocate(int nResponses, int nEnv);
};

/// Pseudo-F results (statistic type 5), per ecological factor; `traits` is
/// nEnv x nch (one value per factor and trait).
struct PseudoFSet {
    std::vector<double> X, T, P, R, RPhyl;
    Matrix<double> traits;
};
struct PseudoFResults {
    PseudoFSet obs, prob, ses, expected;
    void Allocate(int nEnv, int nch);
};

/// Random values of the regression and pseudo-F statistics: one column per
/// random data set, in iteration order; rows laid out as the results above.
struct ModelNullValues {
    Matrix<double> rSquare;  ///< type 4: responses x (niter - 1)
    Matrix<double> coeff;    ///< type 4: row k * responses + response, k the factor
    Matrix<double> X, T, R;  ///< type 5: nEnv x (niter - 1)
    Matrix<double> P, RPhyl; ///< type 5 with the phylogeny: nEnv x (niter - 1)
    Matrix<double> traits;   ///< type 5: row k * nch + j (unselected traits stay 0)
};

/// Everything the test reads and writes. Matrices are owned by the caller and
/// unchanged on return. Communities are rows of W, Wfw, Y, E; OTUs rows of B, U, Q.
struct PermTest_FunctionalPhyl_Correl_Input {
    int niter = 0;  ///< iterations counting the observed data: niter - 1 random data sets
    int nch = 0;
    std::vector<int> chSelect;  ///< 1 = trait used
    int nOTUs = 0;
    int nTypes = 0;
    int nTaxa = 0;
    int nEnv = 0;
    std::vector<int> eVarSelect;  ///< not read by the test
    int ncsm = 0;
    std::vector<int> relSelect;  ///< 1 = community selected
    int nPhylAxes = 0;

    const Matrix<double>* B = nullptr;         ///< nOTUs x nch
    const Matrix<double>* Sb = nullptr;        ///< nOTUs x nOTUs trait similarity
    const Matrix<double>* phylAxes = nullptr;  ///< nOTUs x nPhylAxes
    const Matrix<double>* Sf = nullptr;        ///< nOTUs x nOTUs phylogenetic resemblance
    const Matrix<double>* E = nullptr;         ///< ncsm x nEnv
    const Matrix<double>* U = nullptr;         ///< nOTUs x nTypes
    const Matrix<double>* Q = nullptr;         ///< nOTUs x nTaxa
    const Matrix<double>* DE = nullptr;        ///< ncsm x ncsm
    const Matrix<double>* DY = nullptr;        ///< ncsm x ncsm
    const Matrix<double>* Wfw = nullptr;       ///< ncsm x nOTUs, for X and P
    const Matrix<double>* W = nullptr;         ///< ncsm x nOTUs, for T and Rao entropy
    const Matrix<double>* Y = nullptr;         ///< ncsm x nOTUs Beals-smoothed
    const Matrix<double>* M = nullptr;         ///< nOTUs x nOTUs co-occurrence

    // Results of the 24 statistics (index kBM holds ro(BM)).
    std::array<double, kNumTestedStats> obs{}, prob{}, ses{}, expected{}, lowerLimit{}, upperLimit{}, asymProb{};
    RegressionResults* regrResults = nullptr;  ///< type 4, caller-owned
    PseudoFResults* pseudoFResults = nullptr;  ///< type 5, caller-owned

    int rese_opt = 0;  ///< not read by the test
    int opt_ro = 1;    ///< 1 matrix correlation, 2 Procrustes, 3 RV, 4 regression, 5 pseudo-F
    char opt_MatrixCorr = 'm';
    bool squareDistMatrixOpt = false;
    double overfitFactorPCARegr = 2.0;
    bool printIntermPermResults = false;
    bool optWeightedNullModel = false;
    bool includePhylogeny = false;
    bool phylIsDissim = false;
    bool sqrtDissimOpt_RaoTraits = true;
    bool sqrtDissimOpt_RaoPhyl = false;
    bool otuWeightsSelectSubset = false;  ///< not read by the test
    int optRestrictPermutNullModel = 0;
    std::vector<int> nestingMembershipOTUs;
    int optTaxaSiteShuffle = 't';
    bool twoTailedTest = true;
    bool oneMatrixPermPartialCorr = false;
    bool nonParametricSES_opt = true;

    Matrix<double>* Tobs = nullptr;        ///< receives T (ncsm x nch)
    Matrix<double>* Xobs = nullptr;        ///< receives X (ncsm x nTypes)
    Matrix<double>* Pobs = nullptr;        ///< receives P (ncsm x nTaxa), phylogeny only
    std::vector<double>* Robs = nullptr;   ///< receives R (ncsm)
    std::vector<double>* RPhylObs = nullptr;
    Matrix<double>* nncrdObs = nullptr;    ///< 2 x ncsm: NNCRD, and its residuals after richness
    std::vector<int> richness;
    std::vector<int> weight_OTUs;
    bool restrictRaoWithinOpt = false;
    bool doBootstrapOpt = false;
    std::ostream* rndFile = nullptr;  ///< intermediate results when printIntermPermResults
    /// When not null, receives the random value of every statistic in every
    /// iteration (kNumTestedStats x niter - 1, iteration order); types 1 to 3.
    Matrix<double>* nullValues = nullptr;
    /// When not null, receives the random values of types 4 and 5 (the other
    /// type's matrices are emptied).
    ModelNullValues* modelNullValues = nullptr;

    Random* rnd = nullptr;     ///< the program's generator, seeded by the caller
    Console* con = nullptr;    ///< not read by the test: progress goes to `progress`
    /// Receives "Permutation test: %d of %d" with the number of random data sets
    /// done so far; called from the calling thread only. May be empty.
    ProgressFn progress;
};

/// Runs the whole test; returns true. niter must be at least 3; false (nothing
/// computed) below. The random data sets are evaluated in parallel over the
/// OpenMP threads; every list is drawn from the one generator in iteration
/// order and the counts are combined in iteration order, so the results do
/// not depend on the thread count.
bool PermTest_FunctionalPhyl_Correl(PermTest_FunctionalPhyl_Correl_Input& in);

/// Asymmetry-based P-value of observed o among n values around centre c:
/// tail 1 upper, -1 lower, 0 two-sided (twice the tail the observed value is in).
double Pvalue(int n, const double* values, double observed, double centre, int tail);

/// destination row i = source row list[i] - 1 for i < nSample (first nRows rows
/// zeroed first). Mode 1 copies only columns non-zero in the sample, packed to
/// the left, and writes their number to nColsOut; mode 0 copies every column.
void GetData(int nRows, int nSample, int nCols, int* nColsOut, const Matrix<double>& source,
             Matrix<double>& destination, const int* list, int mode);

}  // namespace kolvar
