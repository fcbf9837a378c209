#pragma once
// The design of a simulation study: every answer of its dialogue, the data
// files it names (read once), and the echo of the design in the results file.

#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "QMLib/Matrix.hpp"

namespace kolvar {

struct Console;
class Clock;

/// Logistic parameters of one process: given per item in a file, or drawn at
/// random within a range of centres and a range of slopes.
struct LogisticSource {
    bool fromFile = false;
    std::string file;
    Matrix<double> values;  ///< items x 2 (center, slope) when from a file; survival: traits blocks stacked
    double centerMin = 0.0, centerMax = 0.0, slopeMin = 0.0, slopeMax = 0.0;
};

struct SimulationDesign {
    int nSites = 0, nOTUs = 0, nTraits = 0;

    char traitInput = 't';  ///< 't' trait matrix, 'c' correlation matrix
    std::string traitFile;
    Matrix<double> traitData;  ///< nOTUs x nTraits as read ('t')
    int nProducts = 0;
    Matrix<double> traitCorr;  ///< (nTraits - nProducts) square ('c')
    std::vector<std::pair<int, int>> products;  ///< 0-based trait pairs of the product traits
    int traitDistribution = 1;  ///< 1 uniform, 2 normal

    LogisticSource dispersal;
    bool coordsFromFile = false;
    std::string coordFile;
    Matrix<double> coords;  ///< 2 x nSites

    int nFactors = 0;
    char envInput = 'c';  ///< 'e' given matrix, 'c' correlation matrix
    std::string envFile;
    Matrix<double> envGiven;    ///< nFactors x nSites, standardized by rows ('e')
    Matrix<double> factorCorr;  ///< nFactors square ('c')
    int envDistribution = 1;

    bool interactions = false;
    int nPredictors = 0;
    std::string responseFile, effectFile;
    Matrix<double> response;  ///< nTraits x nPredictors
    Matrix<double> effect;    ///< nFactors x nTraits

    LogisticSource inertia;
    bool weightByAge = false;
    LogisticSource survival, density, ageSurvival;
    bool lifespanFromFile = false;
    std::string lifespanFile;
    std::vector<int> lifespan;
    int lifespanMin = 1, lifespanMax = 1;

    int maxAverage = 1, years = 1, stepsPerYear = 1;
    double threshold = 0.0;

    bool errorRateMode = false;
    int nDataSets = 1;
    double alpha = 0.0;
    bool save = false;

    int seedOpt = 1;
    std::uint32_t rseed = 0;

    bool StepFiles() const { return save && !errorRateMode; }
    bool FinalData() const { return !errorRateMode || save; }
    int MaxIndividuals() const { return maxAverage * nSites; }
    int NSteps() const { return years * stepsPerYear; }
};

/// The whole design dialogue; reads the named files as they are answered
/// (their reading errors are fatal, as for every data file). Seeds from the
/// clock on option 1.
void AskSimulationDesign(Console& con, const Clock& clock, SimulationDesign& d);

/// Echo of the design for the head of the results file.
void WriteDesignEcho(std::ostream& fp, const SimulationDesign& d);

}  // namespace kolvar
