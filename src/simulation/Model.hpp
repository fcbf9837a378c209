#pragma once
// The individual-based metacommunity model: environmental filtering, arrival by
// reproduction, dispersal or immigration, mortality by density, age and
// filtering, and the feedback of community weighted means on the ecosystem.

#include <ostream>
#include <vector>

#include "QMLib/Matrix.hpp"
#include "base/Progress.hpp"

namespace kolvar {

struct Random;

/// Everything one run reads and writes. Sites and OTUs are 0-based; logistic
/// parameter pairs are (center, slope). The caller fills the inputs, calls
/// Allocate() for the outputs, and reads the outputs after the run.
struct MetacommunitySimulation_Input {
    int nDataSets = 1;  ///< printed only
    int dataSetNo = 1;  ///< printed only
    std::vector<int> abundancePerSite;  ///< out: individuals per site
    int totalAbundance = 0;             ///< out
    int nSites = 0, nTraits = 0, nOTUs = 0;
    int nFactors = 0;
    int nPredictors = 0;     ///< nFactors, plus the pairwise products with useInteractions
    int maxIndividuals = 0;  ///< maximum average per site times nSites
    int nSteps = 0;
    int stepsPerYear = 1;
    std::vector<int> maxLifespan;  ///< nOTUs, years
    double thresholdProportion = 0.0;
    Matrix<double> responseParams;       ///< nTraits x nPredictors
    Matrix<double> effectParams;         ///< nFactors x nTraits
    Matrix<double> siteDistances;        ///< nSites x nSites, 0-1
    Matrix<double> weightedComposition;  ///< out: nSites x nOTUs, abundances (times average age with weightByAge), rows to unit totals
    Matrix<double> composition;          ///< out: (nSites + 1) x nOTUs; last row the metacommunity totals
    Matrix<double> averageAge;           ///< out: (nSites + 1) x (nOTUs + 1) years
    Matrix<double> ecosystem;            ///< in/out: nPredictors x nSites
    Matrix<double> traits;               ///< nOTUs x nTraits, z-scores
    Matrix<double> expectedCWM;          ///< out: nTraits x nSites
    Matrix<double> cwm;                  ///< out: nTraits x nSites, community weighted means of the last step
    Array3D<double> survivalParams;      ///< nTraits matrices nOTUs x 2
    Matrix<double> dispersalParams, densityParams, ageSurvivalParams;  ///< nOTUs x 2
    Matrix<double> inertiaParams;        ///< nSites x 2
    int thresholdStep = 0;               ///< out: step the threshold was reached, 0 if never
    std::vector<int> richnessAtThreshold, siteCounter, extinctions, colonizations;  ///< nSites
    bool saveFinalData = false;
    bool saveSteps = false;
    bool useInteractions = false;
    bool weightByAge = false;
    int sDigits = 6;
    std::ostream* err = nullptr;  ///< where file failures are named (standard error when null)

    /// Sizes every output from the counts (zero-filled) and the parameter
    /// inputs that are still empty.
    void Allocate();
};

/// Grows one metacommunity for nSteps steps from empty sites. Reports
/// "Iteration: %d %d Abundance: %d" each step. With saveSteps appends the step
/// files in the current folder (FatalError FailToOpen / FailToPrint on
/// failure). Returns true.
bool MetacommunitySimulation(MetacommunitySimulation_Input& in, Random& rnd, const ProgressFn& progress = {});

/// Names of the step files in the order the model writes them.
inline constexpr const char* kStepFiles[] = {
    "EnvData.txt", "EnvDataOutliers.txt", "CWM_Expected.txt", "Distances.txt", "Prob.txt",
    "DensityDependence_AgeRelatedProb.txt", "DispersalProb.txt", "CommunityData.txt",
    "CommunityDataWeightedByAge.txt", "AverageAge.txt", "CWM.txt"};

}  // namespace kolvar
