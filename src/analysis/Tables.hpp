#pragma once
// Tab-separated tables written beside the functional analysis report, for R
// (read.delim) and pandas (read_csv(sep="\t")):
//   <session>Stats.tsv        every tested statistic of every analysed subset,
//                             in long form, appended run after run;
//   <session>Communities.tsv  one row per community and analysed subset;
//   <session>Ranking.tsv      one row per evaluated trait subset of a ranking.
// Numbers carry the significant-digits preference; -999 is written NA.

#include <ctime>
#include <string>
#include <vector>

#include "QMLib/Matrix.hpp"
#include "stattests/PermTest.hpp"

namespace kolvar {

inline constexpr const char* statsTableExt = "Stats.tsv";
inline constexpr const char* communityTableExt = "Communities.tsv";
inline constexpr const char* rankingTableExt = "Ranking.tsv";

/// What identifies the rows of one analysed subset of one run.
struct RunLabels {
    std::string run;        ///< time stamp of the run, "YYYY-MM-DD HH:MM:SS" (local time)
    std::string session;
    std::string subset;     ///< labels of the traits used, separated by single blanks
    std::string nullModel;  ///< e.g. "taxa shuffle", "site shuffle"; see NullModelText
    int permutations = 0;   ///< niter, counting the observed data
    unsigned long seed = 0;
    int digits = 6;         ///< significant digits of the numbers
};

/// Local time as "YYYY-MM-DD HH:MM:SS".
std::string RunStamp(std::time_t t);

/// "taxa shuffle" or "site shuffle", then ", restricted within nesting groups",
/// ", weighted by frequency" and ", with bootstrap" as they apply.
std::string NullModelText(int optTaxaSiteShuffle, int optRestrictPermutNullModel, bool weighted, bool bootstrap);

/// Labels of the selected traits (flag 1), separated by single blanks.
std::string SubsetText(const std::vector<std::string>& labels, const std::vector<int>& select);
/// The labels whose flag is 1, in order.
std::vector<std::string> LabelsOfSelected(const std::vector<std::string>& labels, const std::vector<int>& select);

/// A statistic line of the report as the test computed it (statistic types 1 to 3).
struct PrintedStat {
    std::string label;  ///< the label printed before "=" in the report
    int index = 0;      ///< TestedStat index into the test's result arrays
};
/// The statistic lines the report prints, in its order: the TCAP/TDAP block
/// when E has variables, the Beals block, and the phylogeny block; lines that
/// need T only for subsets without nominal traits (quant).
std::vector<PrintedStat> PrintedStatistics(bool withE, bool quant, bool phyl);

/// One row of the statistics table; limits and asymP are -999 (NA) where the
/// test does not compute them (regression, pseudo-F, intercepts).
struct StatRow {
    std::string statistic;  ///< report label, or "r-square", "coefficient", "intercept", "pseudo-F"
    std::string response;   ///< regression or ANOVA response; empty for correlations
    std::string factor;     ///< ecological variable of a coefficient or pseudo-F
    double observed = -999, P = -999, SES = -999, expected = -999, LL = -999, UL = -999, asymP = -999;
    std::string pTail;      ///< "upper" (random >= observed) or "absolute" (|random| >= |observed|)
    std::string asymTail;   ///< "upper", "two-sided", or empty
};

/// Rows of the printed correlation statistics. twoTailedTest: partial
/// correlations were counted in absolute value.
std::vector<StatRow> CorrelationRows(const PermTest_FunctionalPhyl_Correl_Input& in,
                                     const std::vector<PrintedStat>& printed, bool twoTailedTest);

/// Regression rows (statistic type 4): per selected trait (subsets without
/// nominal traits), then Rao functional diversity ("Rf") and, with the
/// phylogeny, "Rp": r-square, one coefficient per factor, the intercept.
std::vector<StatRow> RegressionRows(const RegressionResults& r, const std::vector<std::string>& traitLabels,
                                    const std::vector<int>& select, bool quant,
                                    const std::vector<std::string>& envLabels, bool phyl);

/// Pseudo-F rows (statistic type 5) per factor, responses "T", each selected
/// trait (both only without nominal traits), "X", "P" (phylogeny), "Rf", "Rp".
std::vector<StatRow> PseudoFRows(const PseudoFResults& r, const std::vector<std::string>& traitLabels,
                                 const std::vector<int>& select, bool quant, const std::vector<std::string>& envLabels,
                                 bool phyl);

/// Header line of the statistics table.
std::string StatsTableHeader();
/// The rows as table lines under the run's labels.
std::string StatsTableRows(const RunLabels& run, const std::vector<StatRow>& rows);

/// Community ordination scores (axes x communities) for the table and plots.
struct CommunityOrdination {
    std::string name;          ///< "Y", "X" or "P"
    const Matrix<double>* scores = nullptr;  ///< axes x communities; null: not computed this run
    int nAxes = 0;
};

/// Per-community descriptors of one analysed subset.
struct CommunityColumns {
    std::vector<std::string> labels;       ///< community labels
    std::vector<std::string> traitLabels;  ///< every trait, in data-set order
    const Matrix<double>* T = nullptr;     ///< communities x traits; null: NA (subset with nominal traits)
    std::vector<int> select;               ///< traits of the subset; others NA in T
    std::vector<int> richness;
    std::vector<double> D, Rf;
    const std::vector<double>* Rp = nullptr;  ///< phylogeny only: adds Rp, PR and their equivalents
    std::vector<CommunityOrdination> ordinations;  ///< first two axes each, NA when absent
};

/// Header line of the community table: run, session, subset, community,
/// richness, T_<trait> per trait, D, Rf, FR, D_eq, Rf_eq, FR_eq, [Rp, PR,
/// Rp_eq, PR_eq], then <name>_axis1, <name>_axis2 per ordination.
std::string CommunityTableHeader(const CommunityColumns& c);
std::string CommunityTableRows(const RunLabels& run, const CommunityColumns& c);

/// One evaluated trait subset of a ranking.
struct RankingRow {
    std::vector<std::string> traits;  ///< labels of the subset's traits
    double value = -999;              ///< the criterion's value for the subset
};
/// Header: run, session, criterion, size, traits, value.
std::string RankingTableHeader();
/// Rows of a ranking; size is the number of traits, traits their labels
/// separated by single blanks, criterion a free text such as "ro(TE)".
std::string RankingTableRows(const RunLabels& run, const std::string& criterion, const std::vector<RankingRow>& rows);
/// Writes (append: adds to) <session>Ranking.tsv in the current folder; false on failure.
bool WriteRankingTable(const RunLabels& run, const std::string& criterion, const std::vector<RankingRow>& rows,
                       bool append);

}  // namespace kolvar
