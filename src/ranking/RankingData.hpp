#pragma once
// What the trait-subset searches share: their inputs, the matrices prepared
// once before a search, the per-thread work matrices, the subset matrices
// (S, U, X, T and their distances) and the parallel enumeration of subsets.
//
// Compositions are communities x OTUs (the data set stores W transposed);
// -999.0 marks a missing value throughout.

#include <array>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "QMLib/Belonging.hpp"
#include "QMLib/Matrix.hpp"
#include "analysis/Tables.hpp"
#include "QMLib/Resemblance.hpp"
#include "analysis/FunctionalSettings.hpp"
#include "analysis/HierarchySettings.hpp"
#include "base/Progress.hpp"
#include "data/DataSet.hpp"
#include "ranking/RankingSettings.hpp"
#include "base/Console.hpp"
#include "base/State.hpp"
#include "stattests/MatrixCorrelation.hpp"
#include "QMLib/Random.hpp"

namespace kolvar {

/// Everything a search reads, and where it reports.
struct RankingInputs {
    Console& con;                 ///< error messages of the file routines
    const Clock& clock;           ///< time stamp and elapsed time
    const Options& opt;           ///< sDigits, saveStruct, countDoubleAbsence, Rao and Beals options
    const Session& session;       ///< sessionName, volumeName, whichFormda, whichStructures
    const DataSet& d;
    const FunctionalSettings& fa;
    const HierarchySettings& hier;
    const RankingSettings& rs;
    Random& rnd;                  ///< the combination enumerator; seeded, never drawn from
    ProgressFn progress;          ///< "Iteration: %d of %d, Traits: %d"
    int threads = 0;              ///< threads evaluating subsets; 0: OpenMP's maximum
};

/// Which matrices a criterion needs.
struct Needs {
    bool T = false, X = true, DX = false, R = false, Sd = false, P = false, Y = false, E = false;
};

/// Matrices computed once before the search.
struct RankingData {
    int n = 0, t = 0, nch = 0, nEnv = 0, nTypes = 0, nTaxa = 0;
    bool distances = true;        ///< correlations of distance matrices (Mantel or Rd)
    char method = 'm';            ///< 'm', 'r', 'p' or 'v'
    bool squareDist = false;
    int reseOpt = 6;              ///< resemblance between communities
    int optRo = 1;                ///< statistic type used (4 and 5 rank as 1)
    double overfit = 2.0;
    bool gower = true;            ///< S from Gower similarity; false: Euclidean distances
    bool fuzzy = false;
    bool restrictWithin = false;
    bool sqrtRao = true;
    Needs needs;
    Matrix<double> E, DE, W, W1, B, Brange, Y, DY, Q, P, DP, phylRese;
    std::vector<int> envTypes, partition, typeLabels, typeSizes, weightOTUs;
    Array3D<double> partial;      ///< per-trait Gower similarities (gower only)
    bool phylIsDissim = false;
};

/// Work matrices of one thread, sized once.
struct SubsetWork {
    std::vector<int> select;
    Matrix<double> S, U, Uc, X, DX, T, DT, R, DR, Sd, DS, Wc;
    BelongingWork belong;
    MatrixCorrWork corr;
    ResemblanceWork rese;
    void Allocate(const RankingData& rd);
};

/// Builds the shared matrices for the given needs. The structures file, when
/// given, receives DE and either the phylogeny blocks (needs.P) or B.
void PrepareRankingData(const RankingInputs& in, const Needs& needs, RankingData& rd, std::ostream* structures);

/// S and the belongings U (fuzzy or crisp) and Uc of w.select, X = W U, and with
/// needs.T the normalized T and (distances) DT.
void BuildSubsetMatrices(const RankingData& rd, SubsetWork& w);

/// Correlation of two community descriptions by the chosen method.
double Correlate(const RankingData& rd, SubsetWork& w, const Matrix<double>& A, int pA, const Matrix<double>& B,
                 int pB, const Matrix<double>& DA, const Matrix<double>& DB);

/// C(n, k) as the search counts it (0 outside 0..n).
long long Binomial(int n, int k);

/// The numbers one evaluation produces: [0] the criterion value, the rest
/// whatever the search prints beside it.
using SubsetStats = std::array<double, 16>;

/// Enumerates the k-subsets of the nch traits for k = nMin..nMax in
/// lexicographic order and evaluates those without a trait of weight 0 in
/// parallel (each thread with its own SubsetWork, allocated once; one thread
/// when `sequential`), in blocks; then, in enumeration order, calls
/// visit(k, list, evaluated, stats) for every combination (list: the k trait
/// numbers, 1-based) and sizeDone(k) after the last of each size. evaluate
/// must depend only on its inputs, so that the results do not depend on the
/// number of threads.
void SearchSubsets(const RankingInputs& in, const RankingData& rd, bool sequential,
                   const std::function<void(SubsetWork&, SubsetStats&)>& evaluate,
                   const std::function<void(int k, const int* list, bool evaluated, const SubsetStats& s)>& visit,
                   const std::function<void(int k)>& sizeDone);

/// Appends the evaluated subsets of one ranking to <session>Ranking.tsv (one
/// row per subset: size, trait labels, value); a failure is named on the
/// console's error stream and the results file is not affected.
void WriteRankingTableOf(const RankingInputs& in, const char* criterion, const std::vector<RankingRow>& rows);
/// Adds the subset of the k 1-based trait numbers in `list` with its value.
void AddRankingRow(std::vector<RankingRow>& rows, const std::vector<std::string>& labels, int k, const int* list,
                   double value);

/// Labels of the 1-based trait numbers, each "%s\t".
void WriteTraitLabels(std::ostream& fp, const std::vector<std::string>& labels, const int* traits, int k);

/// Top of a results file: version, title, time stamp, session, data file and
/// the two unit-total lines (the second ends "prior to " + secondWhat).
void WriteResultsTop(std::ostream& fp, const RankingInputs& in, const char* secondWhat);
/// "Mantel type matrix correlations. " or the Rd line, then squared or unsquared.
void WriteCorrelationMethod(std::ostream& fp, const RankingData& rd);
/// True when the partition of OTUs gives from 2 to tcst types; otherwise says
/// on the error stream that no subset can be evaluated.
bool EnoughTypes(Console& con, const RankingData& rd);
/// True when some trait has weight 0 (it takes no part in the search).
bool AnyTraitLeftOut(const DataSet& d);

/// Opens nothing: writes the text to volumeName + name whole, or keeps the old file.
void CommitResultsFile(Console& con, const std::string& path, const std::string& text);

/// Number of threads a search uses.
int SearchThreads(const RankingInputs& in, bool sequential);

}  // namespace kolvar
