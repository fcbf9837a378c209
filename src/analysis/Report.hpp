#pragma once
// Writers of the functional analysis report (the session's Prinda file): the
// header with the settings, the detailed matrices, the description of the
// tests, the statistics, the regression and ANOVA tables, the diversity section
// and the ordinations. Each writer appends to the stream it is given.

#include <ostream>
#include <string>
#include <vector>

#include "QMLib/Matrix.hpp"
#include "analysis/AnalysisState.hpp"
#include "analysis/FunctionalAnalysis.hpp"
#include "analysis/FunctionalSettings.hpp"
#include "stattests/PermTest.hpp"

namespace kolvar {

/// Author-year references quoted in the report texts (the settings dialogue
/// shares kCiteRd, kCiteRV and kCitePartitioning).
inline constexpr const char* kCitePartialOneMatrix = "Legendre (2000)";
inline constexpr const char* kCiteNullModels = "Pillar & Duarte (2010)";
inline constexpr const char* kCiteBealsCooccurrence = "De Caceres & Legendre (2008)";
inline constexpr const char* kCiteDiversityCorrection = "Jost (2007)";

/// "1 (information divergence within rows)" ... "10 (chord distance)"; index = option - 1.
const std::string& ReseOptInfo(int rese_opt);

/// The labels of the selected entries (flag 1), each followed by a tab.
std::string SelectedLabels(const std::vector<std::string>& labels, const std::vector<int>& select);

/// Header: version (new file only), title, time stamp, data set, traits, the
/// settings of the run, and with printDetail the raw W (communities x OTUs).
void WriteReportHeader(std::ostream& fp, const ReportSettings& p, const DataSet& d, OTUExclusion ex, int nTypes,
                       bool unitTotal1, const Matrix<double>& Wraw);

/// Detailed W (copy 2, adjusted) and Y; printDetail only.
void WriteDetailWY(std::ostream& fp, const ReportSettings& p, const DataSet& d, OTUExclusion ex, const Matrix<double>& W,
                   const Matrix<double>& Y);

/// What the phylogeny part of the run produced, for the detailed report.
struct PhylogenyReport {
    const Matrix<double>* rese = nullptr;    ///< tcst x tcst, both triangles
    const Matrix<double>* scores = nullptr;  ///< axes x tcst principal coordinates
    int nAxes = 0;
    const Matrix<double>* Q = nullptr;
    const Matrix<double>* P = nullptr;
};
/// Phylogeny matrices: the variable types always for type 2, the rest with printDetail.
void WriteDetailPhylogeny(std::ostream& fp, const ReportSettings& p, const DataSet& d, const PhylogenyReport& ph);

/// B, the selected E and (Mantel/Rd family) DE; printDetail only.
void WriteDetailBE(std::ostream& fp, const ReportSettings& p, const DataSet& d, const Matrix<double>& E, int nEnv,
                   const std::vector<int>& envSelected, const Matrix<double>& DE);

/// Detailed report of one trait subset before the test: S, partition, U, type
/// labels and counts, average trait matrix. printDetail only.
void WriteDetailSubset(std::ostream& fp, const ReportSettings& p, const DataSet& d, const std::vector<int>& select, int k,
                       const Matrix<double>& S, int nTypes, const Matrix<double>& U,
                       const std::vector<int>& typeLabels, const std::vector<int>& typeCounts,
                       const Matrix<double>& avgTraits);

/// After the test: T, normalised T and X (fuzzy) or X crisp. printDetail only.
void WriteDetailTX(std::ostream& fp, const ReportSettings& p, const DataSet& d, const std::vector<int>& select,
                   bool hasQual, bool unitTotal1, const Matrix<double>& T, int nTypes, const Matrix<double>& X,
                   const Matrix<double>& Xcrisp);

/// Description of the statistics and of the null model (once per run).
void WriteTestDescription(std::ostream& fp, const ReportSettings& p);

/// One statistic line: label, then value, P, SES, E, limits and asymmetric P.
void WriteStatLine(std::ostream& fp, const char* label, const PermTest_FunctionalPhyl_Correl_Input& in, int stat);

/// Statistic lines of one subset (not for regression or ANOVA) in their order.
void WriteStatistics(std::ostream& fp, const ReportSettings& p, const DataSet& d, const PermTest_FunctionalPhyl_Correl_Input& in,
                     const std::vector<int>& select, bool hasQual, const std::vector<int>& envSelected,
                     const std::vector<int>& typeCounts);

/// Regression tables (statistic type 4): per selected trait, Rf and Rp.
void WriteRegression(std::ostream& fp, const DataSet& d, const PermTest_FunctionalPhyl_Correl_Input& in,
                     const std::vector<int>& select, bool hasQual, const std::vector<int>& envSelected,
                     bool includePhylogeny);

/// Analysis of variance tables (statistic type 5).
void WriteAnova(std::ostream& fp, const DataSet& d, const PermTest_FunctionalPhyl_Correl_Input& in,
                const std::vector<int>& select, bool hasQual, const Matrix<double>& E,
                const std::vector<int>& envSelected, bool includePhylogeny);

/// DIVERSITY section: richness, Gini-Simpson D, Rf, FR, Rp, PR and their
/// equivalent numbers.
void WriteDiversity(std::ostream& fp, const ReportSettings& p, int phylogenyMatrixType, const std::vector<int>& richness,
                    const std::vector<double>& D, const std::vector<double>& Rf, const std::vector<double>* Rp);

/// Inputs of the three principal coordinates analyses of the communities.
struct OrdinationInputs {
    const Matrix<double>* DY = nullptr;
    const Matrix<double>* Y = nullptr;      ///< ncsm x tcst
    const Matrix<double>* X = nullptr;      ///< ncsm x nX (X or X crisp)
    int nX = 0;
    const Matrix<double>* DP = nullptr;     ///< phylogeny only
    const Matrix<double>* P = nullptr;      ///< ncsm x nTaxa
    int nTaxa = 0;
    const Matrix<double>* T = nullptr;      ///< ncsm x nch, all traits
    const Matrix<double>* E = nullptr;      ///< ncsm x nEnv selected variables
    int nEnv = 0;
    std::vector<std::string> envLabels;     ///< labels of the selected variables
    bool hasQual = false;
};
/// PCoA of Y, of X and (phylogeny) of P with their correlations to OTUs, CWM
/// traits, E and the axes of Y.
void WriteOrdinations(std::ostream& fp, const ReportSettings& p, const DataSet& d, const OrdinationInputs& o);

/// Closing lines: elapsed time and processors.
void WriteReportClosing(std::ostream& fp, double seconds);

}  // namespace kolvar
