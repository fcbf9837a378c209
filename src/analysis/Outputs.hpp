#pragma once
// The tables and pictures written beside the functional analysis report for
// every analysed trait subset (see Tables.hpp and Plots.hpp for their content).
// File names: session name + "Stats.tsv", "Communities.tsv", "Ordination.svg",
// "Null.svg"; with trait combinations the pictures of subset k are named
// "Ordination_k.svg" and "Null_k.svg".

#include <ostream>
#include <string>
#include <vector>

#include "QMLib/Matrix.hpp"
#include "analysis/Plots.hpp"
#include "analysis/Tables.hpp"
#include "stattests/PermTest.hpp"

namespace kolvar {

/// What stays the same for all subsets of one run.
struct RunOutputs {
    std::string session;
    std::string runStamp;       ///< RunStamp of the run's start
    bool appendTables = false;  ///< the report was opened for appending
    int digits = 6;
    ChartSize scatter;          ///< ordination panels
    ChartSize histogram;        ///< null-distribution panels
    bool tablesStarted = false; ///< set after the first subset: later subsets append
    std::string folder;         ///< prefix of the file names: the folder of the report (volumeName)
};

/// Plain views of one analysed subset; pointers are owned by the caller.
struct SubsetView {
    const PermTest_FunctionalPhyl_Correl_Input* test = nullptr;
    const Matrix<double>* nullValues = nullptr;  ///< from the test; may be empty
    const ModelNullValues* modelNullValues = nullptr;  ///< regression / pseudo-F, from the test; may be null
    int opt_ro = 1;
    int subsetNumber = 0;          ///< 1-based iteration; 0 without trait combinations
    bool quant = true;             ///< no nominal trait in the subset
    bool twoTailedTest = true;
    std::string nullModel;
    unsigned long seed = 0;
    const std::vector<std::string>* traitLabels = nullptr;
    const std::vector<std::string>* communityLabels = nullptr;
    std::vector<std::string> envLabels;  ///< selected variables
    const std::vector<int>* select = nullptr;
    const Matrix<double>* T = nullptr;   ///< communities x traits of the subset
    const std::vector<int>* richness = nullptr;
    const std::vector<double>* D = nullptr;
    const std::vector<double>* Rf = nullptr;
    const std::vector<double>* Rp = nullptr;  ///< phylogeny only
    /// Community ordinations as the report draws them (null DY: none this run).
    const Matrix<double>* DY = nullptr;
    const Matrix<double>* DX = nullptr;  ///< from X (or X crisp) with the community resemblance
    const Matrix<double>* DP = nullptr;  ///< phylogeny only
};

/// Writes the tables and pictures of one subset; a file that cannot be
/// written is named on err and the analysis goes on. Returns the number of
/// files that failed.
int WriteSubsetOutputs(std::ostream& err, RunOutputs& run, const SubsetView& v);

}  // namespace kolvar
