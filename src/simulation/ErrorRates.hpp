#pragma once
// The error-rate mode of a simulation study: the analysis choices asked at the
// first data set, the permutation test of every data set for every trait
// subset and choice of factors, the rejection tallies and the final table.

#include <array>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "QMLib/Matrix.hpp"
#include "analysis/FunctionalSettings.hpp"
#include "analysis/HierarchySettings.hpp"
#include "base/State.hpp"
#include "simulation/Design.hpp"
#include "simulation/Model.hpp"
#include "stattests/PermTest.hpp"

namespace kolvar {

struct Console;
struct Random;

/// Sizes the functional-analysis settings dialogue sees (every OTU its own type).
struct AnalysisShape {
    int nTraits = 0, nOTUs = 0, nSites = 0;
};

/// What the functional-analysis settings dialogue (simulation caller) fixes.
struct AnalysisSettings {
    FunctionalSettings fa;
    HierarchySettings hier;
    std::vector<double> weight;    ///< per trait
    std::vector<int> weight_OTUs;  ///< per OTU
};

/// Runs the settings dialogue of the functional analysis for the simulation
/// caller; supplied by the program's top layer.
using SettingsDialogue = std::function<void(const AnalysisShape&, AnalysisSettings&)>;

/// The 13 tallied statistics, in Summary order.
inline constexpr int kTallied = 13;
inline constexpr std::array<int, kTallied> kTalliedStat = {kTE, kXE, kXE_T, kRE, kVE, kXE_TR, kTY,
                                                          kXY, kXY_T, kXY_TR, kRY, kVY, kBM};
inline constexpr std::array<const char*, kTallied> kTalliedLabel = {
    "r(TE)", "r(XE)", "r(XE.T)", "r(RE)", "r(VE)", "r(XE.TR)", "r(TY)", "r(XY)", "r(XY.T)", "r(XY.TR)",
    "r(RY)", "r(VY)", "r(SbM)"};

struct AnalysisChoices {
    bool sample = false;
    int sampleSize = 0;
    bool trim = false;
    bool useBeals = true;
    bool everyCombination = false;
    AnalysisSettings settings;
    Matrix<int> traitSubsets;   ///< rows of nTraits 0/1 flags
    Matrix<int> factorChoices;  ///< rows of nPredictors 0/1 flags
};

/// Rejection counts of one (trait subset, factor choice).
struct Tally {
    std::array<double, kTallied> stat{};
    std::vector<double> rSquare;    ///< type 4: per trait, then functional diversity
    Matrix<double> coeff;           ///< type 4: predictors x responses
    std::vector<double> fT, fX, fR; ///< type 5: per predictor
    Matrix<double> fTraits;         ///< type 5: predictors x traits
};

/// The questions of the first data set, then the settings dialogue.
void AskAnalysisChoices(Console& con, const SimulationDesign& d, const SettingsDialogue& dialogue, AnalysisChoices& c);

/// 5 equal-width classes between the smallest and largest non-missing value:
/// the smallest gives 1, the largest 5, x the class ceil((x - min) 5 / (max - min)); -999 stays.
void ClassesMV(int n, double* x);

/// prob <= alpha, or prob within one unit in the last place of alpha.
bool IsRejected(double prob, double alpha);

/// Labels of the factors and interactions flagged in a predictor choice ("2", "1x2").
std::vector<std::string> PredictorLabels(int nFactors, const std::vector<int>& flags);

struct ErrorRateStudy {
    AnalysisChoices choices;
    std::vector<Tally> tallies;  ///< subsets x factor choices, subset-major
    int analysed = 0;            ///< data sets analysed
};

/// Everything the analysis of one data set needs from its caller.
struct DataSetContext {
    Console& con;
    const Options& opt;
    Random& rnd;
    const SimulationDesign& design;
    const MetacommunitySimulation_Input& model;  ///< after the run
    const Matrix<double>& B;                      ///< z-scored traits
    int dataSetNo = 1;
    std::ostream& final;   ///< FinalSimulatedData.txt
    std::ostream& summary; ///< Summary.txt
};

/// Analyses one data set for every trait subset and factor choice and adds to
/// the tallies. A data set with fewer than 3 non-empty sites or 2 OTUs is
/// reported and skipped. Returns whether it was analysed.
bool AnalyseDataSet(DataSetContext& ctx, ErrorRateStudy& study);

/// The rates block of the final results.
void WriteRejectionRates(std::ostream& fp, const SimulationDesign& d, const Options& opt, const ErrorRateStudy& s);

}  // namespace kolvar
