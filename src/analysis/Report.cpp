#include "analysis/Report.hpp"

#include <algorithm>
#include <array>

#include "base/Fmt.hpp"
#include "QMLib/Ordination.hpp"
#include "QMLib/Print.hpp"
#include "QMLib/Transform.hpp"
#include "QMLib/qmlibDim.hpp"

namespace kolvar {

namespace {

const char* YesNotInfo(bool yes) { return yes ? "yes" : "not"; }

// Resemblance option of the principal coordinates of the communities: any code
// outside the similarity family makes OrdinationLib_D square the values.
constexpr int kPcoaDissimilarity = 3;
constexpr double kEigenThreshold = 1e-06;

}  // namespace

const std::string& ReseOptInfo(int rese_opt) {
    static const std::array<std::string, 10> info = {
        "1 (information divergence within rows)", "2 (information divergence mutual)",
        "3 (cross product uncentered data)",      "4 (cross product centered data)",
        "5 (correlation coefficient)",            "6 (Euclidean distance)",
        "7 (relative Euclidean distance)",        "8 (absolute value function)",
        "9 (relative absolute value function)",   "10 (chord distance)"};
    static const std::string none = "0 (none)";
    if (rese_opt < 1 || rese_opt > 10) return none;
    return info[static_cast<std::size_t>(rese_opt - 1)];
}

std::string SelectedLabels(const std::vector<std::string>& labels, const std::vector<int>& select) {
    std::string s;
    for (std::size_t j = 0; j < labels.size() && j < select.size(); ++j)
        if (select[j] == 1) s += labels[j] + '\t';
    return s;
}

void WriteReportHeader(std::ostream& fp, const ReportSettings& p, const DataSet& d, OTUExclusion ex, int nTypes,
                       bool unitTotal1, const Matrix<double>& Wraw) {
    const FunctionalSettings& fa = p.fa;
    const HierarchySettings& hier = p.hier;
    const Options& opt = p.opt;
    if (fa.prindaMode == "w") fp << '\n' << version << '\n';
    fp << lineL << '\n' << "EXPLORATION OF COMMUNITY DATA STRUCTURES\n" << lineL << '\n';
    TimeStamp(fp, p.clock);
    fp << "Session:          " << p.session.sessionName << '\n'
       << "Formatted data:   " << p.session.whichFormda << '\n'
       << "Unformatted data: " << d.dataName << "\n\n";

    fp << "Trait set:       \t";
    for (int j = 0; j < d.nch; ++j) fp << d.chLabel[j] << '\t';
    fp << "\nNumber of states:\t";
    for (int j = 0; j < d.nch; ++j) fp << Fmt("%d\t", d.onsta[j]);
    fp << "\nTrait type:      \t";
    for (int j = 0; j < d.nch; ++j) fp << Fmt("%d\t", d.chtype[j]);
    fp << "\nTrait weights:   \t";
    for (int j = 0; j < d.nch; ++j) fp << Fmt("%g\t", d.weight[j]);

    fp << (unitTotal1 ? "\nCommunity data matrix W adjusted to unit totals prior to trait convergence (TCAP) and "
                        "diversity computations.\n"
                      : "\nCommunity data matrix W NOT adjusted to unit totals prior to trait convergence (TCAP) "
                        "and diversity computations.\n");
    fp << (fa.optUnitTotalAdjust2 ? "Community data matrix W adjusted to unit totals prior to evaluation of TDAP.\n"
                                  : "Community data matrix W NOT adjusted to unit totals prior to evaluation of TDAP.\n");

    fp << "Clustering method defining types: none (groups were specified by the user).\n";
    fp << "Resemblance function between OTUs: " << reseCSToptInfo << '\n';
    fp << "Gower index modified to count matching absences in binary traits? " << YesNotInfo(opt.countDoubleAbsence != 0)
       << '\n';
    fp << "Rao entropy based on traits computed on square root transformed dissimilarities? "
       << YesNotInfo(opt.sqrtDissimOpt_RaoTraits) << '\n';
    if (fa.includePhylogeny)
        fp << "Rao entropy based on phylogeny computed on square root transformed dissimilarities? "
           << YesNotInfo(opt.sqrtDissimOpt_RaoPhyl) << '\n';
    fp << (fa.includePhylogeny ? "\nPhylogeny: Is considered\n\n" : "\nPhylogeny: Is NOT considered\n\n");

    bool anyZero = false;
    for (int j = 0; j < d.nch; ++j) anyZero = anyZero || d.weight[j] == 0.0;
    if (anyZero) {
        fp << "Traits considered in the computation of OTUs resemblance:\n";
        for (int j = 0; j < d.nch; ++j)
            if (d.weight[j] > 0.0) fp << d.chLabel[j] << '\t';
    } else {
        fp << "All traits were considered in the computation of resemblance between OTUs.\n";
    }

    const int fuzzy = hier.fuzzy >= 0 && hier.fuzzy <= 3 ? hier.fuzzy : 0;
    fp << "\nFuzzy transformation: \t" << fuzzyInfo[static_cast<std::size_t>(fuzzy)] << '\n';
    fp << Fmt("Number of types examined: \t%d\n", nTypes);

    if (fa.opt_ro == 1) {
        if (fa.opt_MatrixCorr == 'r')
            fp << "\nCorrelation function between matrices: \t" << opt_roInfo[0] << " (Rd " << kCiteRd << ") "
               << (fa.squareDistMatrixOpt ? "with squared dissimilarities\n" : "with unsquared dissimilarities\n");
        else
            fp << "\nCorrelation function between matrices: \t" << opt_roInfo[0] << " (Mantel)\n";
    } else if (fa.opt_ro == 2 || fa.opt_ro == 3) {
        fp << "\nMatrix correlation function between matrices: \t" << opt_roInfo[static_cast<std::size_t>(fa.opt_ro - 1)]
           << '\n';
    }
    if (fa.opt_ro == 1 || fa.opt_ro == 5)
        fp << "Resemblance option between communities: " << ReseOptInfo(hier.rese_opt) << '\n';
    if (fa.opt_ro == 2)
        fp << Fmt("Factor (f) for limiting the number of predictors in PCA regression in relation to sample size n "
                  "(number of predictors = n/f): %g\n",
                  opt.overfitFactorPCARegr);

    fp << Fmt("\nNumber of communities: %d\n", d.ncsm);
    if (fa.printDetail) {
        fp << "Community labels: ";
        for (int i = 0; i < d.ncsm; ++i) fp << Fmt("%-6s", d.reLabel[i].c_str());
        fp << '\n';
    }

    if (!ex.exclusion) {
        fp << "\nAll OTUs were equally considered in the computation of Rao entropy, Simpson diversity, and matrices "
              "T, X and P.\n";
    } else {
        fp << "\nOTUs weights (zero ones not considered in the computation of Rao entropy, Simpson diversity, and "
              "matrices T, X and P):\n";
        for (int i = 0; i < d.tcst; ++i) fp << Fmt("%d\t", d.weight_OTUs[i]);
        fp << (ex.keepScale ? "\nScale was maintained, but additivity is lost for complementary sets of OTUs' "
                              "weights.\n"
                            : "\nAdditivity was maintained but the scales of T, X, P and diversity measures are not "
                              "comparable between complementary sets of OTUs' weights.\n");
        fp << (fa.restrictRaoWithinOpt
                   ? "\nFuzzy-weighting and Rao entropy RESTRICTED to dis-similarities WITHIN subset of selected "
                     "OTUs.\n"
                   : "\nFuzzy-weighting and Rao entropy included dis-similarities WITHIN subset of selected OTUs and "
                     "also BETWEEN selected and unselected subsets of OTUs.\n");
    }
    if (fa.printDetail) {
        fp << Fmt("\nCommunity matrix W with %d communities by %d OTUs: \n", d.ncsm, d.tcst);
        PrintMatrixTab(fp, d.ncsm, d.tcst, Wraw, opt.sDigits);
        fp << '\n';
    }
}

void WriteDetailWY(std::ostream& fp, const ReportSettings& p, const DataSet& d, OTUExclusion ex, const Matrix<double>& W,
                   const Matrix<double>& Y) {
    if (!p.fa.printDetail) return;
    const int digits = p.opt.sDigits;
    fp << Fmt("\nCommunity matrix W with %d communities by %d OTUs adjusted to unit sum within each community: \n",
              d.ncsm, d.tcst);
    if (ex.keepScale)
        fp << "(columns corresponding to deselected OTUs are zeroed, so that the remaining values are adjusted to "
              "keep unit total within each community)\n";
    if (p.hier.partOpt == 2)
        fp << "(values correspond to the QUALITATIVE component according to " << kCitePartitioning
           << " partitioning): \n";
    else if (p.hier.partOpt == 1)
        fp << "(values correspond to the QUANTITATIVE component according to " << kCitePartitioning
           << " partitioning): \n";
    PrintMatrixTab(fp, d.ncsm, d.tcst, W, digits);
    fp << '\n';
    fp << Fmt("\nCommunity matrix Y with Beals (1984) smoothing of matrix W, with %d communities by %d OTUs ", d.ncsm,
              d.tcst);
    fp << (p.opt.BealsIncludeOpt ? "(abundance of target OTU included in its own estimation):\n"
                                 : "(abundance of target OTU NOT included in its own estimation):\n");
    PrintMatrixTab(fp, d.ncsm, d.tcst, Y, digits);
    fp << '\n';
}

void WriteDetailPhylogeny(std::ostream& fp, const ReportSettings& p, const DataSet& d, const PhylogenyReport& ph) {
    const int digits = p.opt.sDigits;
    const bool detail = p.fa.printDetail;
    if (detail && ph.scores != nullptr) {
        fp << Fmt("\nPCoA scores based on the phylogenetic resemblance matrix with %d OTUs by %d ordination "
                  "dimensions: \n",
                  d.tcst, ph.nAxes);
        PrintMatrixTab_T(fp, ph.nAxes, d.tcst, *ph.scores, digits);
    }
    if (d.phylogenyMatrixType == 2) {
        fp << Fmt("\nVariable types in the phylogeny matrix with %d OTUs by %d phylogenetic variables: \n", d.tcst,
                  d.nClados);
        PrintVectorTab(fp, d.nClados, d.phylogenyVarType.data(), nullptr);
    }
    if (!detail) return;
    if (d.phylogenyMatrixType == 1) {
        fp << Fmt("\nSimilarity matrix, in the range 0-1, between %d OTUs based on their phylogeny:\n", d.tcst);
    } else if (d.phylogenyMatrixType == 3) {
        fp << Fmt("\nDissimilarity matrix, in the range 0-1, between %d OTUs based on their phylogeny:\n", d.tcst);
    } else if (d.phylogenyMatrixType == 2) {
        fp << Fmt("\nPhylogeny matrix with %d OTUs by %d phylogenetic variables: \n", d.tcst, d.nClados);
        PrintMatrixTab(fp, d.tcst, d.nClados, d.phylogenyData, digits);
        fp << Fmt("\nSimilarity matrix (Gower index) between %d OTUs, based on %d phylogenetic variables:\n", d.tcst,
                  d.nClados);
    }
    if (ph.rese != nullptr) PrintMatrixTab(fp, d.tcst, d.tcst, *ph.rese, digits);
    const int nTaxa = p.fa.nTaxa;
    fp << Fmt("\nPartition vector of %d OTUs in %d taxa:\n", d.tcst, nTaxa);
    PrintVectorTab(fp, d.tcst, p.fa.partition_OTUs_Phyl.data(), nullptr);
    fp << Fmt("\nFuzzy belonging of %d OTUs (rows) in %d taxa (columns) according to their phylogeny:\n", d.tcst,
              nTaxa);
    if (ph.Q != nullptr) PrintMatrixTab(fp, d.tcst, nTaxa, *ph.Q, digits);
    fp << Fmt("\nPooled performance matrix P (%d communities x %d taxa) after fuzzy-weighting by the specified "
              "phylogeny:\n",
              d.ncsm, nTaxa);
    if (ph.P != nullptr) PrintMatrixTab(fp, d.ncsm, nTaxa, *ph.P, digits);
}

void WriteDetailBE(std::ostream& fp, const ReportSettings& p, const DataSet& d, const Matrix<double>& E, int nEnv,
                   const std::vector<int>& envSelected, const Matrix<double>& DE) {
    if (!p.fa.printDetail) return;
    const int digits = p.opt.sDigits;
    fp << Fmt("\nTrait matrix B with %d OTUs by %d traits: \n", d.tcst, d.nch);
    PrintMatrixTab(fp, d.tcst, d.nch, d.csm_Float, digits);
    if (nEnv < 1) return;
    fp << "\nEcological variables (factors or effects):\t" << SelectedLabels(d.envLabel, envSelected);
    fp << Fmt("\nMatrix E with ecological variables (%d communities x %d variables):\n", d.ncsm, nEnv);
    PrintMatrixTab(fp, d.ncsm, nEnv, E, digits);
    if (p.fa.opt_ro == 1) {
        fp << "Resemblance matrix (DE) between community sites based on ecological variables:\n";
        Matrix<double> full = DE;
        for (int i = 0; i < d.ncsm; ++i)
            for (int j = 0; j < i; ++j) full[i][j] = DE[j][i];
        PrintLowerHalfMatrixTab(fp, d.ncsm, full, digits);
    }
}

void WriteDetailSubset(std::ostream& fp, const ReportSettings& p, const DataSet& d, const std::vector<int>& select, int k,
                       const Matrix<double>& S, int nTypes, const Matrix<double>& U,
                       const std::vector<int>& typeLabels, const std::vector<int>& typeCounts,
                       const Matrix<double>& avgTraits) {
    if (!p.fa.printDetail) return;
    const int digits = p.opt.sDigits;
    fp << "\n\nTRAITS:\t" << SelectedLabels(d.chLabel, select) << '\n';
    fp << Fmt("\nSimilarity matrix between %d OTUs, based on %d traits:\n", d.tcst, k);
    Matrix<double> full = S;
    for (int i = 0; i < d.tcst; ++i)
        for (int j = 0; j < i; ++j) full[i][j] = S[j][i];
    PrintLowerHalfMatrixTab(fp, d.tcst, full, digits);

    fp << Fmt("\nPartition vector of %d OTUs in %d specified types:\n", d.tcst, nTypes);
    PrintVectorTab(fp, d.tcst, d.partition_OTUs.data(), nullptr);
    if (p.fa.OTUsTypesAreSpecies) {
        fp << "\nThe types are species (# labels are used later in these results to identify the species) :\n"
           << "#\tSpecies\n";
        for (int g = 0; g < nTypes; ++g) {
            // The label of a species type is its 1-based position in the species list.
            const int label = typeLabels[g];
            const std::string name = label >= 1 && label <= static_cast<int>(d.spp.size()) ? d.spp[label - 1] : "";
            fp << Fmt("%d\t%s\n", label, name.c_str());
        }
    }
    fp << Fmt("\nFuzzy degrees of belonging (matrix U) of %d OTUs (rows) in %d types (columns):\n", d.tcst, nTypes);
    PrintMatrixTab(fp, d.tcst, nTypes, U, digits);
    fp << Fmt("\nLabels of %d specified types:\n", nTypes);
    PrintVectorTab(fp, nTypes, typeLabels.data(), nullptr);
    fp << "\nNumber of OTUs in each type:\n";
    PrintVectorTab(fp, nTypes, typeCounts.data(), nullptr);
    fp << Fmt("\nAverage trait matrix (%d types x %d traits):\n", nTypes, d.nch);
    PrintMatrixTab(fp, nTypes, d.nch, avgTraits, digits);
}

void WriteDetailTX(std::ostream& fp, const ReportSettings& p, const DataSet& d, const std::vector<int>& select,
                   bool hasQual, bool unitTotal1, const Matrix<double>& T, int nTypes, const Matrix<double>& X,
                   const Matrix<double>& Xcrisp) {
    if (!p.fa.printDetail) return;
    const int digits = p.opt.sDigits;
    fp << "\nTraits:\t" << SelectedLabels(d.chLabel, select);
    if (!hasQual) {
        fp << Fmt(unitTotal1 ? "\nMatrix T with trait averages at community level (%d communities x %d traits):\n"
                             : "\nMatrix T with trait totals at community level (%d communities x %d traits):\n",
                  d.ncsm, d.nch);
        PrintMatrixTab(fp, d.ncsm, d.nch, T, digits);
        Matrix<double> Tn(T.rows(), T.cols());
        NormalizeColsSelectedRowsMV(d.ncsm, d.nch, T, Tn, d.relSelect.data());
        fp << Fmt("\nMatrix T with normalized traits at community level (%d communities x %d traits adjusted to unit "
                  "length):\n",
                  d.ncsm, d.nch);
        PrintMatrixTab(fp, d.ncsm, d.nch, Tn, digits);
    }
    if (p.hier.fuzzy == 3) {
        fp << Fmt("Pooled performance matrix X (%d communities x %d types) after fuzzy-weighting by the selected "
                  "traits.\n",
                  d.ncsm, nTypes);
        fp << "Selected traits:\t" << SelectedLabels(d.chLabel, select);
        PrintMatrixTab(fp, d.ncsm, nTypes, X, digits);
    } else if (p.hier.fuzzy == 0) {
        fp << Fmt("\nPooled performance matrix X (%d communities x %d crisp types):\n", d.ncsm, nTypes);
        PrintMatrixTab(fp, d.ncsm, nTypes, Xcrisp, digits);
    }
}

void WriteTestDescription(std::ostream& fp, const ReportSettings& p) {
    const FunctionalSettings& fa = p.fa;
    const Options& opt = p.opt;
    switch (fa.opt_ro) {
        case 1:
            if (fa.opt_MatrixCorr == 'r') {
                fp << "\n\nThe statistics shown below are Rd matrix correlations (" << kCiteRd << "). ";
                if (fa.squareDistMatrixOpt)
                    fp << "Squared dissimilarities were used, thus the statistic is equivalent to the RV coefficient of "
                       << kCiteRV << ".\n";
                else
                    fp << "Unsquared dissimilarities were used.\n";
            } else {
                fp << "\n\nThe statistics shown below are Mantel type matrix correlations. "
                   << (fa.squareDistMatrixOpt ? "Squared dissimilarities were used.\n"
                                              : "Unsquared dissimilarities were used.\n");
            }
            break;
        case 2: fp << "\nThe statistics shown below are Procrustes correlations (traceW).\n"; break;
        case 3: fp << "\nThe statistics shown below are RV coefficients (" << kCiteRV << ").\n"; break;
        case 4: fp << "\nThe statistics shown below are the r square and regression coefficients.\n"; break;
        case 5:
            fp << "\nThe statistics shown below are pseudo-F values (between/within groups sum of squares).\n";
            break;
        default: break;
    }
    if (fa.opt_ro >= 1 && fa.opt_ro <= 3) {
        fp << "Each statistics is followed by the corresponding p-value, standardized effect size (SES), expected "
              "value obtained under H0, ";
        if (fa.doBootstrapOpt)
            fp << Fmt("95%c confidence interval of the observed value obtained in %d bootstrap samples, and "
                      "asymmetry-based P-value.\n",
                      '%', fa.niter);
        else
            fp << Fmt("95%c confidence interval under H0, and asymmetry-based P-value.\n", '%');
        if (opt.oneMatrixPermPartialCorr)
            fp << "The tests for partial correlation involved the permutation of only the first matrix (according to "
               << kCitePartialOneMatrix << ").\n";
        else
            fp << "The tests for partial correlation involved the permutation of both matrices based on the same "
                  "traits matrix B, so that based on the null model the same permutations affected simultaneously "
                  "T, X and R matrices.\n";
        fp << (opt.nonParametricSES_opt ? "Standardized effect sizes (SES) shown below are non-parametric.\n"
                                        : "Standardized effect sizes (SES) shown below are parametric.\n");
    }

    if (fa.optTaxaSiteShuffle == 't') {
        if (!fa.includePhylogeny) {
            fp << "Null model based on taxa shuffle, i.e. among OTU vectors in the traits matrix, ";
        } else {
            fp << "Null model based on taxa shuffle, i.e. among OTU vectors in the traits or phylogenetic matrix, ";
            fp << "\nProbability of finding more extreme correlations involving matrices T, X and P, and vector R, "
                  "under null models described in "
               << kCiteNullModels << ".\n";
            fp << "Null model involved (1) permutation among OTUs vectors in matrix B for those correlations "
                  "involving matrices T and X and vector R, (2) permutation among vectors in matrix Q for those "
                  "correlations involving matrix P (ro(PE), ro(PT) and ro(PE.X)), and (3) identical permutation "
                  "among row vectors in both matrices U and Q, for ro(PX) and ro(PX.T). Matrix W and, if present, "
                  "environmental matrix E are not permuted.\n";
        }
        if (!fa.doBootstrapOpt)
            fp << "keeping compositional matrix W and, if present, environmental matrix E constant.\n";
        else if (fa.opt_ro != 5)
            fp << "which was combined with a BOOTSTRAP sample of compositional matrix W and, if present, the "
                  "corresponding environmental matrix E.\n";
        if (fa.optRestrictPermutNullModel == 1) {
            const int n = static_cast<int>(fa.nestingMembershipOTUs.size());
            fp << Fmt("Permutations of OTUs: Restricted within the following groups:\nNesting groups for %d OTUs:\t", n);
            PrintVectorTab(fp, n, fa.nestingMembershipOTUs.data(), nullptr);
        } else {
            fp << "Permutations of OTUs: Unrestricted\n";
        }
    } else {
        fp << "Null model based on site shuffle, i.e. among community vectors in the resulting matrix of communities "
              "by weighted mean traits, fuzzy-weighted composition, Beals smoothed composition, functional "
              "diversity, and phylogenetic diversity, keeping constant the trait and phylogenetic matrices.\n";
    }
    fp << (fa.optWeightedNullModel
               ? "Probability of an OTU occurring in a community was weighted by its frequency in the community set.\n"
               : "Probability of an OTU occurring in a community was NOT weighted by its frequency in the community "
                 "set.\n");
    if (fa.opt_ro != 4 && fa.opt_ro != 5) {
        if (opt.twoTailedTest)
            fp << "Permutation tests of non-partial matrix correlations generated one-tailed P-values.\n"
                  "Permutation tests of partial matrix correlations generated P-values according to the observed "
                  "value of the correlation being larger or smaller than the median of values found under the null "
                  "hypothesis. If smaller than the median, P(valueH0 \u2264 obs), if larger or equal, P(valueH0 \u2265 "
                  "obs) was computed.\n";
        else
            fp << "Permutation tests of all matrix correlations generated one-tailed P-values, even for partial "
                  "correlations.\n";
    }
    fp << Fmt("\nNumber of iterations for permutation tests: %d\n", fa.niter);
    fp << Fmt("Random generator seed: %u\n", static_cast<unsigned>(fa.rseed));
}

void WriteStatLine(std::ostream& fp, const char* label, const PermTest_FunctionalPhyl_Correl_Input& in, int stat) {
    const auto s = static_cast<std::size_t>(stat);
    fp << label
       << Fmt("=\t%g\tP=\t%g\tSES=\t%g\tE=\t%g\tLL=\t%g\tUL=\t%g\tasymmetry-based P-value=\t%g\n", in.obs[s],
              in.prob[s], in.ses[s], in.expected[s], in.lowerLimit[s], in.upperLimit[s], in.asymProb[s]);
}

void WriteStatistics(std::ostream& fp, const ReportSettings& p, const DataSet& d,
                     const PermTest_FunctionalPhyl_Correl_Input& in, const std::vector<int>& select, bool hasQual,
                     const std::vector<int>& envSelected, const std::vector<int>& typeCounts) {
    const bool withE = in.nEnv > 0;
    const bool quant = !hasQual;
    if (withE) {
        if (quant) WriteStatLine(fp, "Convergence (TCAP): r(TE)", in, kTE);
        WriteStatLine(fp, "Both TCAP and Divergence (TDAP): r(XE)", in, kXE);
        if (quant) WriteStatLine(fp, "TDAP: r(XE.T)", in, kXE_T);
        WriteStatLine(fp, "Alpha divergence (correlation between ecosystem variables and Rao entropy): r(RE)", in, kRE);
        if (quant) WriteStatLine(fp, "Beta divergence indicated by partial correlation: r(XE.TR)", in, kXE_TR);
    }
    fp << "\nCorrelations with Beals smoothed community matrix (Y) considering OTU's co-occurences weighted by their "
          "abundances according to "
       << kCiteBealsCooccurrence << ":\n";
    if (quant) WriteStatLine(fp, "r(TY)", in, kTY);
    WriteStatLine(fp, "r(XY)", in, kXY);
    if (quant) WriteStatLine(fp, "r(XY_T)", in, kXY_T);
    if (quant) WriteStatLine(fp, "r(XY_TR)", in, kXY_TR);
    WriteStatLine(fp, "r(RY)", in, kRY);

    if (p.fa.printDetail) {
        fp << Fmt(p.hier.fuzzy == 0 ? "\nNumber of crisp types:\t%d\nTraits:\t" : "\nNumber of fuzzy types:\t%d\nTraits:\t",
                  in.nTypes);
        for (int j = 0; j < d.nch; ++j)
            if (select[j] == 1) fp << Fmt("%-2s\t", d.chLabel[j].c_str());
        fp << "\nNumber of OTUs in each type:\t";
        for (int c : typeCounts) fp << Fmt("%d\t", c);
        fp << '\n';
        if (withE) fp << "\nSelected ecological variables (factors or effects):\t" << SelectedLabels(d.envLabel, envSelected) << '\n';
    }

    if (in.includePhylogeny) {
        const auto s = static_cast<std::size_t>(kBF);
        fp << Fmt("\nPhylogenetic signal at OTU (species) level ro(BF) = \t%g\tP=\t%g\tSES=\t%g\tE=\t%g\t95%c "
                  "confidence interval under H0\tLL=\t%g\tUL=\t%g\tasymmetry-based P-value=\t%g\n",
                  in.obs[s], in.prob[s], in.ses[s], in.expected[s], '%', in.lowerLimit[s], in.upperLimit[s],
                  in.asymProb[s]);
        fp << "\nPhylogenetically structured assembly patterns (PSAP):\n";
        if (withE) WriteStatLine(fp, "Correlation of PSAP to ecological variables: ro(PE)", in, kPE);
        if (quant) WriteStatLine(fp, "Correlation of PSAP to TCAP: ro(PT)", in, kPT);
        WriteStatLine(fp, "Correlation of PSAP to both TCAP and TDAP: ro(PX)", in, kPX);
        if (quant) WriteStatLine(fp, "Correlation of PSAP to TDAP: ro(PX.T)", in, kPX_T);
        if (withE) {
            if (quant) WriteStatLine(fp, "Removing phylogeny from TCAP: ro(TE.P)", in, kTE_P);
            WriteStatLine(fp, "Removing phylogeny from both TCAP and TDAP: ro(XE.P)", in, kXE_P);
            if (quant) WriteStatLine(fp, "Removing phylogeny from TDAP: ro(XE.TP)", in, kXE_TP);
            if (quant) WriteStatLine(fp, "Removing TCAP from phylogeny: ro(PE.T)", in, kPE_T);
            WriteStatLine(fp, "Removing TCAP and TDAP from phylogeny: ro(PE.X)", in, kPE_X);
            WriteStatLine(fp,
                          "Alpha divergence (correlation between environmental variables and Rao entropy based on "
                          "phylogeny): r(FE)",
                          in, kFE);
        }
    }
}

namespace {

void WriteFactorLines(std::ostream& fp, const std::vector<std::string>& envLabels, const RegressionResults& r,
                      int response) {
    for (std::size_t e = 0; e < envLabels.size(); ++e)
        fp << Fmt("Factor:\t%s\tcoeff=\t%g\tp-value=\t%g\tSES=\t%g\tE=\t%g\n", envLabels[e].c_str(),
                  r.obs.coeff[e][response], r.prob.coeff[e][response], r.ses.coeff[e][response],
                  r.expected.coeff[e][response]);
    fp << Fmt("Intercept=\t%g\n", r.intercept[static_cast<std::size_t>(response)]);
}

std::vector<std::string> SelectedLabelList(const std::vector<std::string>& labels, const std::vector<int>& select) {
    std::vector<std::string> out;
    for (std::size_t j = 0; j < labels.size() && j < select.size(); ++j)
        if (select[j] == 1) out.push_back(labels[j]);
    return out;
}

void WritePseudoFLines(std::ostream& fp, const std::vector<std::string>& envLabels, const PseudoFResults& r,
                       std::vector<double> PseudoFSet::*v) {
    for (std::size_t e = 0; e < envLabels.size(); ++e)
        fp << Fmt("Factor:\t%s\tPseudo-F=\t%g\tp-value=\t%g\tSES=\t%g\tE=\t%g\n", envLabels[e].c_str(), (r.obs.*v)[e],
                  (r.prob.*v)[e], (r.ses.*v)[e], (r.expected.*v)[e]);
}

}  // namespace

void WriteRegression(std::ostream& fp, const DataSet& d, const PermTest_FunctionalPhyl_Correl_Input& in,
                     const std::vector<int>& select, bool hasQual, const std::vector<int>& envSelected,
                     bool includePhylogeny) {
    if (in.nEnv < 1 || in.regrResults == nullptr) return;
    const RegressionResults& r = *in.regrResults;
    const std::vector<std::string> env = SelectedLabelList(d.envLabel, envSelected);
    fp << "\n\nREGRESSION MODELS"
       << "\nFor each response variable, the r square, and regression coefficients for each environmental factor, "
          "and corresponding p-values are shown below:\n";
    if (!hasQual) {
        for (int j = 0; j < d.nch; ++j) {
            if (select[j] != 1) continue;
            fp << Fmt("\nTrait:\t%s\tr-square=\t%g\tp-value=\t%g\tSES=\t%g\tE=\t%g\n", d.chLabel[j].c_str(),
                      r.obs.rSquare[j], r.prob.rSquare[j], r.ses.rSquare[j], r.expected.rSquare[j]);
            WriteFactorLines(fp, env, r, j);
        }
    }
    const int rf = d.nch;
    fp << Fmt("\nFunctional diversity:\t\tr-square=\t%g\tp-value=\t%g\n", r.obs.rSquare[rf], r.prob.rSquare[rf]);
    WriteFactorLines(fp, env, r, rf);
    if (includePhylogeny) {
        const int rp = d.nch + 1;
        fp << Fmt("\nPhylogenentic diversity:\t\tr-square=\t%g\tp-value=\t%g\tSES=\t%g\tE=\t%g\n", r.obs.rSquare[rp],
                  r.prob.rSquare[rp], r.ses.rSquare[rp], r.expected.rSquare[rp]);
        WriteFactorLines(fp, env, r, rp);
    }
}

void WriteAnova(std::ostream& fp, const DataSet& d, const PermTest_FunctionalPhyl_Correl_Input& in,
                const std::vector<int>& select, bool hasQual, const Matrix<double>& E,
                const std::vector<int>& envSelected, bool includePhylogeny) {
    if (in.nEnv < 1 || in.pseudoFResults == nullptr) return;
    const PseudoFResults& r = *in.pseudoFResults;
    const std::vector<std::string> env = SelectedLabelList(d.envLabel, envSelected);
    fp << "\n\nANALYSIS OF VARIANCE\n" << "Selected communities:\n";
    for (int i = 0; i < d.ncsm; ++i) fp << Fmt("%d\t", d.relSelect[i]);
    fp << '\n';
    fp << "\nSelected traits:\t" << SelectedLabels(d.chLabel, select) << '\n';
    fp << Fmt("\nSelected factors and observation states in %d communities:\n", d.ncsm);
    for (std::size_t e = 0; e < env.size(); ++e) {
        fp << "Factor:\t" << env[e] << "\tStates:\t";
        for (int i = 0; i < d.ncsm; ++i) fp << Fmt("%d\t", static_cast<int>(E[i][e]));
        fp << '\n';
    }
    if (!hasQual) {
        fp << "\nMANOVA using matrix T (community weighted means) as multivariate response:\n";
        for (std::size_t e = 0; e < env.size(); ++e) {
            fp << Fmt("Factor:\t%s\tPseudo-F=\t%g\tp-value=\t%g\tSES=\t%g\tE=\t%g\n", env[e].c_str(), r.obs.T[e],
                      r.prob.T[e], r.ses.T[e], r.expected.T[e]);
            fp << "ANOVA for each selected individual trait the pseudo-F (between/within groups sum of squares) and "
                  "corresponding p-values are shown below:\n";
            for (int j = 0; j < d.nch; ++j)
                if (select[j] == 1)
                    fp << Fmt("Trait:\t%s\tPseudo-F=\t%g\tp-value=\t%g\tSES=\t%g\tE=\t%g\n", d.chLabel[j].c_str(),
                              r.obs.traits[e][j], r.prob.traits[e][j], r.ses.traits[e][j], r.expected.traits[e][j]);
            fp << '\n';
        }
    }
    fp << "MANOVA using matrix X (fuzzy-weighted community composition using all selected traits) as multivariate "
          "response:\n";
    WritePseudoFLines(fp, env, r, &PseudoFSet::X);
    if (includePhylogeny) {
        fp << "MANOVA using matrix P (phylogenetically fuzzy-weighted community composition) as multivariate "
              "response:\n";
        WritePseudoFLines(fp, env, r, &PseudoFSet::P);
    }
    fp << "\nANOVA using Rao functional diversity (using all selected traits) as univariate response:\n";
    WritePseudoFLines(fp, env, r, &PseudoFSet::R);
    if (includePhylogeny) {
        fp << "ANOVA using Rao phylogenetic diversity as univariate response:\n";
        WritePseudoFLines(fp, env, r, &PseudoFSet::RPhyl);
    }
}

void WriteDiversity(std::ostream& fp, const ReportSettings& p, int phylogenyMatrixType, const std::vector<int>& richness,
                    const std::vector<double>& D, const std::vector<double>& Rf, const std::vector<double>* Rp) {
    const int digits = p.opt.sDigits;
    const int n = static_cast<int>(D.size());
    fp << "\n\nDIVERSITY" << "\nOTU richness in each community:\n";
    PrintVectorTab(fp, n, richness.data(), nullptr);
    const int minR = n > 0 ? *std::min_element(richness.begin(), richness.end()) : 0;
    const int maxR = n > 0 ? *std::max_element(richness.begin(), richness.end()) : 0;
    fp << Fmt("\nMinimum richness:\t%d\tMaximum richness:\t%d\n", minR, maxR);
    fp << "\nGini-Simpson index (D) within each community (equivalent to Rao quadratic entropy with null, crisp, "
          "similarities):\n";
    PrintVectorTab(fp, n, D.data(), digits, nullptr);
    fp << (p.opt.sqrtDissimOpt_RaoTraits
               ? "\nRao quadratic entropy within each community, considering trait dissimilarities "
                 "[D=sqrt(1-GowerIndex)] between OTUs (Rf):\n"
               : "\nRao quadratic entropy within each community, considering trait dissimilarities [D=1-GowerIndex] "
                 "between OTUs (Rf):\n");
    PrintVectorTab(fp, n, Rf.data(), digits, nullptr);
    std::vector<double> red(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) red[i] = std::max(0.0, D[i] - Rf[i]);
    fp << "\nFunctional redundancy in each community (FR = D-Rf):\n";
    PrintVectorTab(fp, n, red.data(), digits, nullptr);
    if (Rp != nullptr) {
        fp << "\n\nPHYLOGENETIC DIVERSITY";
        fp << (phylogenyMatrixType == 1
                   ? "\nRao quadratic entropy (Rp) within each community, considering phylogenetic dissimilarities "
                     "obtained by transformation of input similarities [D= sqrt(1-S)] between OTUs:\n"
                   : "\nRao quadratic entropy (Rp) within each community, considering phylogenetic dissimilarities "
                     "between OTUs:\n");
        PrintVectorTab(fp, n, Rp->data(), digits, nullptr);
        for (int i = 0; i < n; ++i) red[i] = std::max(0.0, D[i] - (*Rp)[i]);
        fp << "\nPhylogenetic redundancy in each community (PR = D-Rp):\n";
        PrintVectorTab(fp, n, red.data(), digits, nullptr);
    }
    fp << "\n\nDiversity using " << kCiteDiversityCorrection << " correction";
    fp << "\nGini-Simpson index (D) within each community (equivalent to Rao quadratic entropy with null, crisp, "
          "dissimilarties):\n";
    for (int i = 0; i < n; ++i) fp << Fmt("%g\t", 1.0 / (1.0 - D[i]));
    fp << "\nRao quadratic entropy within each community, considering trait dissimilarties (Qf):\n";
    for (int i = 0; i < n; ++i) fp << Fmt("%g\t", 1.0 / (1.0 - Rf[i]));
    fp << "\nFunctional redundancy in each community (FR = D-Qf):\n";
    for (int i = 0; i < n; ++i) fp << Fmt("%g\t", 1.0 / (1.0 - D[i]) - 1.0 / (1.0 - Rf[i]));
    if (Rp != nullptr) {
        fp << "\n\nPHYLOGENETIC REDUNDANCY"
           << "\nRao quadratic entropy (Qp) within each community, considering phylogenetic dissimilarties:\n";
        for (int i = 0; i < n; ++i) fp << Fmt("%g\t", 1.0 / (1.0 - (*Rp)[i]));
        fp << "\nPhylogenetic redundancy in each community (PR = D-Qp):\n";
        for (int i = 0; i < n; ++i) fp << Fmt("%g\t", 1.0 / (1.0 - D[i]) - 1.0 / (1.0 - (*Rp)[i]));
    }
}

namespace {

// Texts of one of the three community ordinations.
struct OrdinationTexts {
    const char* title;
    const char* scores;
    const char* otus;
    const char* cwm;
    const char* env;
    const char* vsY;     // null for Y itself
    const char* axisOf;  // "PCOA axis %d of X"
};

struct OrdinationResult {
    Matrix<double> scores;  // axes x ncsm
    int a = 0;              // printed axes
};

OrdinationResult WriteOneOrdination(std::ostream& fp, const ReportSettings& p, const DataSet& d, const OrdinationTexts& t,
                                    const Matrix<double>& D, const Matrix<double>& cols, int nCols,
                                    const OrdinationInputs& o, const OrdinationResult* yOrd, OrdinationWork& work) {
    const int n = d.ncsm;
    const int digits = p.opt.sDigits;
    OrdinationResult res;
    Matrix<double> vectors(n, n);
    res.scores.assign(n, n);
    std::vector<double> values(static_cast<std::size_t>(n));
    int m = 0;
    bool ok = true;
    OrdinationLib_D(n, n, D, D, vectors, res.scores, m, values.data(), ok, 1, kPcoaDissimilarity, 1, work);

    fp << t.title;
    fp << Fmt("\nNumber of eigenvalues > %g: \t%d", kEigenThreshold, m);
    double sumPos = 0.0;
    for (int k = 0; k < m; ++k)
        if (values[k] > 0.0) sumPos += values[k];
    fp << "\nEigenvalues:\t";
    for (int k = 0; k < m; ++k) fp << Fmt("%8.*g\t", digits, values[k]);
    fp << "\nPercentage:\t";
    for (int k = 0; k < m; ++k) fp << Fmt("%8.*g\t", digits, 100.0 * values[k] / sumPos);
    fp << '\n';

    res.a = std::min(m, p.opt.maxComponents);
    const int a = res.a;
    fp << Fmt(t.scores, a);
    PrintMatrixTab_T(fp, a, n, res.scores, digits);

    fp << Fmt(t.otus, d.tcst);
    for (int k = 0; k < a; ++k) {
        fp << Fmt("Axis:\t%d\t", k + 1);
        for (int j = 0; j < nCols; ++j)
            fp << Fmt("%g\t", Correlation2SelectedVecMV(n, res.scores, k, true, cols, j, false));
        fp << '\n';
    }
    if (!o.hasQual && o.T != nullptr) {
        fp << t.cwm << "Axes";
        for (int k = 0; k < a; ++k) fp << Fmt("\t%d", k + 1);
        fp << '\n';
        for (int j = 0; j < d.nch; ++j) {
            fp << d.chLabel[j];
            for (int k = 0; k < a; ++k) fp << Fmt("\t%g", Correlation2SelectedVecMV(n, res.scores, k, true, *o.T, j, false));
            fp << '\n';
        }
    }
    if (o.nEnv > 0 && o.E != nullptr) {
        fp << t.env << "Axes";
        for (int k = 0; k < a; ++k) fp << Fmt("\t%d", k + 1);
        fp << '\n';
        for (int e = 0; e < o.nEnv; ++e) {
            fp << o.envLabels[static_cast<std::size_t>(e)];
            for (int k = 0; k < a; ++k) fp << Fmt("\t%g", Correlation2SelectedVecMV(n, res.scores, k, true, *o.E, e, false));
            fp << '\n';
        }
    }
    if (t.vsY != nullptr && yOrd != nullptr) {
        fp << t.vsY << "PCOA axis of Y";
        for (int k = 0; k < yOrd->a; ++k) fp << Fmt("\t%d", k + 1);
        fp << '\n';
        for (int k = 0; k < a; ++k) {
            fp << Fmt(t.axisOf, k + 1);
            for (int l = 0; l < yOrd->a; ++l)
                fp << Fmt("\t%g", Correlation2SelectedVecMV(n, res.scores, k, true, yOrd->scores, l, true));
            fp << '\n';
        }
    }
    return res;
}

}  // namespace

void WriteOrdinations(std::ostream& fp, const ReportSettings& p, const DataSet& d, const OrdinationInputs& o) {
    OrdinationWork work;
    static const OrdinationTexts yTexts = {
        "\n\nOrdination (Principal Coordinates Analysis, PCOA) of BEALS smoothed composition matrix Y:",
        "\nPCOA scores of Beals-transformed communities on the first %d ordination components:\n",
        "\nCorrelation coefficients between PCOA ordination scores of Beals-transformed communities and %d OTUs:\n",
        "\nCorrelation coefficients between PCOA ordination scores of Beals-transformed communities and community "
        "weighted mean (CWM) traits:\n",
        "\nCorrelation coefficients between PCOA ordination scores of Beals-transformed communities and "
        "environmental variables:\n",
        nullptr, nullptr};
    static const OrdinationTexts xTexts = {
        "\n\nOrdination (Principal Coordinates Analysis, PCOA) of FUZZY_WEIGHTED composition matrix X:",
        "\nPCOA scores of fuzzy-weighted communities on the first %d ordination components:\n",
        "\nCorrelation coefficients between PCOA ordination scores of fuzzy-weighted communities and %d OTUs:\n",
        "\nCorrelation coefficients between PCOA ordination scores of fuzzy-weighted communities and community "
        "weighted means (CWM):\n",
        "\nCorrelation coefficients between PCOA ordination scores of fuzzy-weighted communities and ecosystem "
        "descriptors:\n",
        "\nCorrelation coefficients between PCOA ordination scores of fuzzy-weighted communities (X) and PCOA "
        "ordination scores of Beals-transformed communities (Y):\n",
        "PCOA axis %d of X"};
    static const OrdinationTexts pTexts = {
        "\n\nOrdination (Principal Coordinates Analysis, PCOA) of composition matrix P fuzzy-weighted by OTUs "
        "PHYLOGENETIC similarites:",
        "\nPCOA scores of communities based on fuzzy-weighted PHYLOGENETIC composition, on the first %d ordination "
        "components:\n",
        "\nCorrelation coefficients between PCOA ordination scores of fuzzy-weighted PHYLOGENETIC composition and %d "
        "OTUs:\n",
        "\nCorrelation coefficients between PCOA ordination scores of fuzzy-weighted PHYLOGENETIC composition and "
        "community weighted means (CWM):\n",
        "\nCorrelation coefficients between PCOA ordination scores of fuzzy-weighted PHYLOGENETIC composition and "
        "ecosystem descriptors:\n",
        "\nCorrelation coefficients between PCOA ordination scores of fuzzy-weighted PHYLOGENETIC composition (P) and "
        "PCOA ordination scores of Beals-transformed communities (Y):\n",
        "PCOA axis %d of P"};

    const OrdinationResult yOrd = WriteOneOrdination(fp, p, d, yTexts, *o.DY, *o.Y, d.tcst, o, nullptr, work);

    Matrix<double> DX(d.ncsm, d.ncsm);
    NominalReseNonHier(d.ncsm, o.nX, *o.X, DX, p.hier.rese_opt);
    WriteOneOrdination(fp, p, d, xTexts, DX, *o.X, o.nX, o, &yOrd, work);

    if (o.DP != nullptr && o.P != nullptr)
        WriteOneOrdination(fp, p, d, pTexts, *o.DP, *o.P, o.nTaxa, o, &yOrd, work);
}

void WriteReportClosing(std::ostream& fp, double seconds) {
    fp << Fmt("\nElapsed time for the analyses: %g seconds\n", seconds);
    fp << Fmt("Maximum number of processors used by KOLVAR: %d\n", GetNumberActiveProcessors());
    fp << '\n';
}

}  // namespace kolvar
