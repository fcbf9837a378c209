#include "ranking/RankingData.hpp"

#include "base/Tsv.hpp"

#include <omp.h>

#include <algorithm>

#include "QMLib/Beals.hpp"
#include "base/Fmt.hpp"
#include "QMLib/MatrixProd.hpp"
#include "QMLib/Print.hpp"
#include "QMLib/Transform.hpp"
#include "QMLib/qmlibDim.hpp"
#include "analysis/CommunityMatrices.hpp"
#include "data/Import.hpp"
#include "base/SafeWrite.hpp"

namespace kolvar {

namespace {

void PreparePhylogeny(const RankingInputs& in, RankingData& rd, std::ostream* st) {
    const DataSet& d = in.d;
    const FunctionalSettings& fa = in.fa;
    const int t = rd.t;
    rd.phylRese = PhylogenyResemblance(d, t, rd.phylIsDissim);
    std::vector<int> taxa = fa.partition_OTUs_Phyl;
    if (static_cast<int>(taxa.size()) < t) taxa.assign(d.partition_OTUs.begin(), d.partition_OTUs.begin() + t);
    CountGroupsNew(t, taxa.data(), rd.nTaxa);
    rd.Q = Sized(t, rd.nTaxa);
    if (fa.fuzzyPhyl == 1) {
        Matrix<double> rese = rd.phylRese;
        FuzzyBelonging(t, rd.nTaxa, rese, taxa.data(), rd.Q, rd.phylIsDissim);
    } else {
        CrispBelonging(t, rd.nTaxa, taxa.data(), rd.Q);
    }
    rd.P = Sized(rd.n, rd.nTaxa);
    MatrixProdSelectMV_Adjust_Weight(rd.n, t, t, rd.nTaxa, rd.W, rd.Q, rd.P, nullptr, rd.weightOTUs.data(),
                                     rd.restrictWithin);
    rd.DP = Sized(rd.n, rd.n);
    NominalReseNonHier(rd.n, rd.nTaxa, rd.P, rd.DP, rd.reseOpt);
    if (!st) return;
    const int sd = in.opt.sDigits;
    if (d.phylogenyMatrixType == 2) {
        *st << Fmt("\nVariable types in the phylogeny matrix with %d OTUs by %d phylogenetic variables: \n", t,
                   d.nClados);
        PrintVectorTab(*st, d.nClados, d.phylogenyVarType.data(), nullptr);
        *st << Fmt("\nPhylogeny matrix with %d OTUs by %d phylogenetic variables: \n", t, d.nClados);
        PrintMatrixTab(*st, t, d.nClados, d.phylogenyData, sd);
        *st << '\n' << Fmt("\nSimilarity matrix (Gower index) between %d OTUs, based on %d phylogenetic variables:\n", t,
                           d.nClados);
    } else {
        *st << Fmt(rd.phylIsDissim ? "\nDissimilarity matrix between %d OTUs:\n" : "\nSimilarity matrix between %d OTUs:\n",
                   t);
    }
    PrintLowerHalfMatrixTab(*st, t, rd.phylRese, sd);
    *st << Fmt("\nPartition vector of %d OTUs in %d taxa:\n", t, rd.nTaxa);
    PrintVectorTab(*st, t, taxa.data(), nullptr);
    *st << Fmt("\nFuzzy belonging of %d OTUs (rows) in %d taxa (columns) according to their phylogeny:\n", t,
               rd.nTaxa);
    PrintMatrixTab(*st, t, rd.nTaxa, rd.Q, sd);
    *st << Fmt("\nPooled performance matrix P (%d communities x %d taxa) after fuzzy-weighting by the specified "
               "phylogeny:\n",
               rd.n, rd.nTaxa);
    PrintMatrixTab(*st, rd.n, rd.nTaxa, rd.P, sd);
    *st << "\nResemblance matrix (DP) between communities based on matrix P, the composition of OTUs weighted by "
           "their phylogeny:\n";
    PrintLowerHalfMatrixTab(*st, rd.n, rd.DP, sd);
}

}  // namespace

void SubsetWork::Allocate(const RankingData& rd) {
    select.assign(static_cast<std::size_t>(std::max(rd.nch, 0)), 0);
    S = Sized(rd.t, rd.t);
    U = Sized(rd.t, rd.nTypes);
    Uc = Sized(rd.t, rd.nTypes);
    X = Sized(rd.n, rd.nTypes);
    DX = Sized(rd.n, rd.n);
    T = Sized(rd.n, rd.nch);
    DT = Sized(rd.n, rd.n);
    R = Sized(rd.n, 1);
    DR = Sized(rd.n, rd.n);
    Sd = Sized(rd.n, 1);
    DS = Sized(rd.n, rd.n);
    Wc = Sized(rd.n, rd.nTypes);
}

void PrepareRankingData(const RankingInputs& in, const Needs& needs, RankingData& rd, std::ostream* st) {
    const DataSet& d = in.d;
    const FunctionalSettings& fa = in.fa;
    const HierarchySettings& hier = in.hier;
    const Options& opt = in.opt;
    rd.n = d.ncsm;
    rd.t = d.tcst;
    rd.nch = d.nch;
    rd.needs = needs;
    const int n = rd.n, t = rd.t, nch = rd.nch;

    // Regression and analysis of variance are no ranking criteria: their
    // choice ranks by matrix correlation.
    rd.optRo = (fa.opt_ro == 2 || fa.opt_ro == 3) ? fa.opt_ro : 1;
    rd.distances = rd.optRo == 1;
    rd.method = rd.optRo == 2 ? 'p' : rd.optRo == 3 ? 'v' : (fa.opt_MatrixCorr == 'r' ? 'r' : 'm');
    rd.squareDist = fa.squareDistMatrixOpt;
    rd.reseOpt = hier.rese_opt;
    if (fa.opt_ro == 4 && (rd.reseOpt < 6 || rd.reseOpt > 10)) rd.reseOpt = 6;
    rd.overfit = opt.overfitFactorPCARegr;
    rd.gower = hier.reseCstOpt != 2;
    rd.fuzzy = hier.fuzzy == 3;
    rd.restrictWithin = fa.restrictRaoWithinOpt;
    rd.sqrtRao = opt.sqrtDissimOpt_RaoTraits;

    rd.weightOTUs.assign(static_cast<std::size_t>(std::max(t, 0)), 1);
    for (int i = 0; i < t && i < static_cast<int>(d.weight_OTUs.size()); ++i) rd.weightOTUs[i] = d.weight_OTUs[i];
    rd.partition.assign(d.partition_OTUs.begin(), d.partition_OTUs.begin() + std::max(t, 0));
    rd.typeLabels.assign(static_cast<std::size_t>(std::max(t, 1)), 0);
    CountGroupsNew(t, rd.partition.data(), rd.nTypes, rd.typeLabels.data());
    rd.typeLabels.resize(static_cast<std::size_t>(rd.nTypes));
    rd.typeSizes.assign(static_cast<std::size_t>(rd.nTypes), 0);
    for (int g = 0; g < rd.nTypes; ++g)
        for (int i = 0; i < t; ++i) rd.typeSizes[g] += rd.partition[i] == rd.typeLabels[g];

    rd.nEnv = BuildSelectedE(d, rd.E, rd.envTypes);
    rd.DE = Sized(n, n);
    BuildDE(d.optEnvVarType, d.temEnvQual, n, rd.nEnv, rd.E, rd.envTypes, opt.countDoubleAbsence != 0, rd.DE);
    if (st && rd.nEnv > 0) {
        *st << Fmt("Resemblance matrix between %d communities based on %d environmental variables:\n", n, rd.nEnv);
        PrintLowerHalfMatrixTab(*st, n, rd.DE, opt.sDigits);
    }

    rd.W = Sized(n, t);
    for (int c = 0; c < n; ++c)
        for (int i = 0; i < t; ++i) rd.W[c][i] = d.cadat[i][c];
    rd.W1 = rd.W;
    if (fa.optUnitTotalAdjust2) UnitSumRowsAdjMV(n, t, rd.W, rd.W);
    if (in.rs.optUnitTotalAdjust1) UnitSumRowsAdjMV(n, t, rd.W1, rd.W1);

    if (needs.Y) {
        rd.Y = Sized(n, t);
        BealsSmoothing(n, t, rd.W, rd.W, rd.Y, false, 0, nullptr, opt.BealsIncludeOpt, 0, false);
        rd.DY = Sized(n, n);
        NominalReseNonHier(n, t, rd.Y, rd.DY, rd.reseOpt);
    }

    std::vector<double> chrange = d.chrange;
    chrange.resize(static_cast<std::size_t>(std::max(nch, 0)), 0.0);
    RangeStates(nch, t, d.csm_Float, d.chtype, chrange);
    rd.B = d.csm_Float;
    for (int j = 0; j < nch; ++j)
        if (!(d.weight[j] > 0.0))
            for (int i = 0; i < t; ++i) rd.B[i][j] = 0.0;

    if (needs.P) PreparePhylogeny(in, rd, st);
    else if (st) {
        *st << Fmt("\nTrait matrix with %d OTUs by %d traits: \n", t, nch);
        PrintMatrixTab(*st, t, nch, rd.B, opt.sDigits);
    }

    if (rd.gower) {
        rd.partial = dim3D<double>(t, t, nch);
        gower_similarityPartial(nch, d.csm_Float, t, rd.partial, d.chtype.data(), chrange.data(), d.weight.data(),
                                opt.countDoubleAbsence != 0);
    } else {
        rd.Brange = Sized(t, nch);
        RangeColsAdjMV(t, nch, rd.B, rd.Brange);
    }
}

void BuildSubsetMatrices(const RankingData& rd, SubsetWork& w) {
    const int n = rd.n, t = rd.t, nch = rd.nch, g = rd.nTypes;
    if (rd.gower) {
        gower_similarityAverage(nch, t, rd.partial, w.S, w.select.data());
        MirrorUpper(t, w.S);
    } else {
        EucliDistMVSelect(t, nch, rd.Brange, w.S, w.select.data());
    }
    if (rd.fuzzy)
        FuzzyBelonging(t, g, w.S, rd.partition.data(), w.U, !rd.gower, w.belong);
    else
        CrispBelonging(t, g, rd.partition.data(), w.U, w.belong);
    CrispBelonging(t, g, rd.partition.data(), w.Uc, w.belong);
    if (rd.needs.X)
        MatrixProdSelectMV_Adjust_Weight(n, t, t, g, rd.W, w.U, w.X, nullptr, rd.weightOTUs.data(), rd.restrictWithin);
    if (rd.needs.T) {
        MatrixProdSelectMV_Adjust_Weight(n, t, t, nch, rd.W1, rd.B, w.T, w.select.data(), rd.weightOTUs.data());
        NormalizeCols(n, nch, w.T, w.T);
        NormalizeColsMV(n, nch, w.T, w.T);
        if (rd.distances) NominalReseNonHier(n, nch, w.T, w.DT, 6);
    }
}

double Correlate(const RankingData& rd, SubsetWork& w, const Matrix<double>& A, int pA, const Matrix<double>& B,
                 int pB, const Matrix<double>& DA, const Matrix<double>& DB) {
    return MatrixCorrelationLib(rd.n, pA, pB, A, B, DA, DB, rd.squareDist, rd.method, w.corr);
}

long long Binomial(int n, int k) {
    if (k < 0 || k > n) return 0;
    k = std::min(k, n - k);
    long long c = 1;
    for (int i = 1; i <= k; ++i) c = c * (n - k + i) / i;
    return c;
}

int SearchThreads(const RankingInputs& in, bool sequential) {
    if (sequential) return 1;
    return std::max(1, in.threads > 0 ? in.threads : omp_get_max_threads());
}

void SearchSubsets(const RankingInputs& in, const RankingData& rd, bool sequential,
                   const std::function<void(SubsetWork&, SubsetStats&)>& evaluate,
                   const std::function<void(int k, const int* list, bool evaluated, const SubsetStats& s)>& visit,
                   const std::function<void(int k)>& sizeDone) {
    const int nch = rd.nch;
    const int nMin = std::max(in.rs.nMinTraitsChRank, 1), nMax = std::min(in.rs.nMaxTraitsChRank, nch);
    const int threads = SearchThreads(in, sequential);
    std::vector<SubsetWork> works(static_cast<std::size_t>(threads));
    for (auto& w : works) w.Allocate(rd);

    constexpr int kBlock = 256;
    const std::size_t stride = static_cast<std::size_t>(std::max(nch, 1));
    std::vector<int> lists(kBlock * stride), list(stride);
    std::vector<char> evaluated(kBlock);
    std::vector<SubsetStats> stats(kBlock);
    long long total = 0;
    for (int k = in.rs.nMinTraitsChRank; k <= in.rs.nMaxTraitsChRank; ++k) total += Binomial(nch, k);
    long long iteration = 0;

    for (int k = nMin; k <= nMax; ++k) {
        const long long nComb = Binomial(nch, k);
        bool first = true;
        for (long long done = 0; done < nComb;) {
            const int m = static_cast<int>(std::min<long long>(kBlock, nComb - done));
            for (int b = 0; b < m; ++b) {
                PermuteArray(in.rnd, nch, k, list.data(), first);
                first = false;
                int* dst = lists.data() + b * stride;
                bool allWeighted = true;
                for (int i = 0; i < k; ++i) {
                    dst[i] = list[i];
                    allWeighted = allWeighted && in.d.weight[list[i] - 1] > 0.0;
                }
                evaluated[b] = allWeighted;
            }
#pragma omp parallel for schedule(dynamic, 1) num_threads(threads)
            for (int b = 0; b < m; ++b) {
                if (!evaluated[b]) continue;
                SubsetWork& w = works[static_cast<std::size_t>(omp_get_thread_num())];
                std::fill(w.select.begin(), w.select.end(), 0);
                const int* src = lists.data() + b * stride;
                for (int i = 0; i < k; ++i) w.select[src[i] - 1] = 1;
                evaluate(w, stats[b]);
            }
            for (int b = 0; b < m; ++b) {
                ++iteration;
                if (in.progress)
                    in.progress(Fmt("Iteration: %d of %d, Traits: %d", static_cast<int>(iteration),
                                    static_cast<int>(total), k)
                                    .c_str());
                visit(k, lists.data() + b * stride, evaluated[b] != 0, stats[b]);
            }
            done += m;
        }
        sizeDone(k);
    }
}

void WriteTraitLabels(std::ostream& fp, const std::vector<std::string>& labels, const int* traits, int k) {
    for (int i = 0; i < k; ++i) fp << labels[static_cast<std::size_t>(traits[i] - 1)] << '\t';
}

void WriteResultsTop(std::ostream& fp, const RankingInputs& in, const char* secondWhat) {
    fp << version << "\n\n" << lineL << '\n' << "TRAIT SUBSET OPTIMIZATION\n" << lineL << '\n';
    TimeStamp(fp, in.clock);
    fp << Fmt("Session:        %s \n", in.session.sessionName.c_str())
       << Fmt("Formatted data: %s \n", in.session.whichFormda.c_str());
    fp << (in.rs.optUnitTotalAdjust1
               ? "Community data matrix W adjusted to unit totals prior to trait convergence evaluation.\n"
               : "Community data matrix W NOT adjusted to unit totals prior to trait convergence evaluation.\n");
    fp << (in.fa.optUnitTotalAdjust2 ? "Community data matrix W adjusted to unit totals prior to "
                                     : "Community data matrix W NOT adjusted to unit totals prior to ")
       << secondWhat << ".\n";
}

void WriteCorrelationMethod(std::ostream& fp, const RankingData& rd) {
    if (rd.method == 'r')
        fp << "Rd matrix correlations (" << kCiteRd << "). ";
    else
        fp << "Mantel type matrix correlations. ";
    fp << (rd.squareDist ? "Squared distances were used.\n" : "Unsquared distances were used.\n");
}

bool EnoughTypes(Console& con, const RankingData& rd) {
    if (rd.nTypes >= 2 && rd.nTypes <= rd.t) return true;
    con.err << Fmt("\nThe partition of OTUs has %d type(s): at least 2 are needed, no trait subset was evaluated.\n",
                   rd.nTypes);
    return false;
}

bool AnyTraitLeftOut(const DataSet& d) {
    for (int j = 0; j < d.nch; ++j)
        if (!(d.weight[j] > 0.0)) return true;
    return false;
}

void CommitResultsFile(Console& con, const std::string& path, const std::string& text) {
    SafeWriteFile(con, path, text);
}

void AddRankingRow(std::vector<RankingRow>& rows, const std::vector<std::string>& labels, int k, const int* list,
                   double value) {
    RankingRow& row = rows.emplace_back();
    for (int t = 0; t < k; ++t) row.traits.push_back(labels[static_cast<std::size_t>(list[t] - 1)]);
    row.value = value;
}

void WriteRankingTableOf(const RankingInputs& in, const char* criterion, const std::vector<RankingRow>& rows) {
    RunLabels run;
    run.run = RunStamp(in.clock.Now());
    run.session = in.session.sessionName;
    run.digits = in.opt.sDigits;
    const std::string path = in.session.volumeName + in.session.sessionName + rankingTableExt;
    if (!WriteTsv(path, RankingTableHeader(), RankingTableRows(run, criterion, rows), true))
        in.con.err << "\ncan't write " << in.session.sessionName << rankingTableExt << " (the results file is complete)\n";
}

}  // namespace kolvar
