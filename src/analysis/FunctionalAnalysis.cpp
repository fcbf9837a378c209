#include "analysis/FunctionalAnalysis.hpp"

#include <algorithm>
#include <fstream>
#include <memory>
#include <optional>
#include <type_traits>

#include "QMLib/Beals.hpp"
#include "QMLib/Belonging.hpp"
#include "base/Fmt.hpp"
#include "QMLib/MatrixProd.hpp"
#include "QMLib/Ordination.hpp"
#include "QMLib/Resemblance.hpp"
#include "QMLib/Transform.hpp"
#include "QMLib/qmlibDim.hpp"
#include "stattests/Diversity.hpp"
#include "analysis/Outputs.hpp"
#include "analysis/Report.hpp"
#include "analysis/Settings.hpp"
#include "analysis/TestSettings.hpp"
#include "data/Import.hpp"
#include "base/SafeWrite.hpp"
#include "base/Prompts.hpp"
#include "stattests/PermTest.hpp"
#include "QMLib/Random.hpp"

namespace kolvar {

// ---- small public helpers ---------------------------------------------------------

void NominalReseNonHier(int n, int p, const Matrix<double>& data, Matrix<double>& out, int option) {
    switch (option) {
        case 10: {
            Matrix<double> normalized(static_cast<std::size_t>(n), static_cast<std::size_t>(p));
            NormalizeRowsMV(n, p, data, normalized);
            EucliDistMV(n, p, normalized, out);
            break;
        }
        case 8:
        case 9:
            AbsValFunctionMV(n, p, data, out);
            // The absolute value function fills only the upper triangle; the
            // consumers of these matrices (ordination, printing) may read either.
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < i; ++j) out[i][j] = out[j][i];
            break;
        case 6:
        case 7: EucliDistMV(n, p, data, out); break;
        default: break;
    }
}

bool HasQualitTraitSelect(int n, const int* chtype, const int* select) {
    for (int j = 0; j < n; ++j)
        if (chtype[j] == 2 && select[j] == 1) return true;
    return false;
}

bool HasQualitTrait(int n, const int* chtype) {
    for (int j = 0; j < n; ++j)
        if (chtype[j] == 2) return true;
    return false;
}

void ReorderVectors(int n, const int* order, int* a, int* b, double* c, double* d) {
    if (n < 1) return;
    const auto size = static_cast<std::size_t>(n);
    auto reorder = [&](auto* v) {
        if (v == nullptr) return;
        using T = std::remove_pointer_t<decltype(v)>;
        const std::vector<T> old(v, v + size);
        for (int i = 0; i < n; ++i) v[i] = old[static_cast<std::size_t>(order[i] - 1)];
    };
    reorder(a);
    reorder(b);
    reorder(c);
    reorder(d);
}

// ---- pieces of the analysis -------------------------------------------------------

void FillWCopies(int tcst, int ncsm, const Matrix<double>& cadat, WCopies& w) {
    w.Wfw.assign(static_cast<std::size_t>(ncsm), static_cast<std::size_t>(tcst));
    w.W.assign(static_cast<std::size_t>(ncsm), static_cast<std::size_t>(tcst));
    w.Wraw.assign(static_cast<std::size_t>(ncsm), static_cast<std::size_t>(tcst));
    w.richness.assign(static_cast<std::size_t>(std::max(ncsm, 0)), 0);
    for (int c = 0; c < ncsm; ++c)
        for (int i = 0; i < tcst; ++i) {
            const double v = cadat[i][c];
            w.Wfw[c][i] = w.W[c][i] = w.Wraw[c][i] = v;
            if (v > 0.0) ++w.richness[c];
        }
}

OTUExclusion GetOTUExclusion(int tcst, const std::vector<int>& weight_OTUs, bool keepAdditivity) {
    OTUExclusion ex;
    for (int i = 0; i < tcst; ++i)
        if (weight_OTUs[i] <= 0) ex.exclusion = true;
    ex.keepScale = ex.exclusion && !keepAdditivity;
    return ex;
}

namespace {

// Excluded OTUs leave a composition by their columns; a missing value stays
// missing rather than turning into a product with the code.
void WeightColumns(int rows, int cols, Matrix<double>& m, const std::vector<int>& weight) {
    const int n = std::min(cols, static_cast<int>(weight.size()));
    for (int i = 0; i < rows; ++i)
        for (int g = 0; g < n; ++g)
            if (m[i][g] != kMissing) m[i][g] *= weight[g];
}

}  // namespace

void AdjustWCopies(int ncsm, int tcst, WCopies& w, const std::vector<int>& weight_OTUs, bool unitTotal1,
                   bool unitTotal2, int partOpt, OTUExclusion ex) {
    if (unitTotal1) UnitSumRowsAdjMV(ncsm, tcst, w.W, w.W);
    if (unitTotal2) UnitSumRowsAdjMV(ncsm, tcst, w.Wfw, w.Wfw);
    if (partOpt != 0) {
        DataPartitionQualQuant(ncsm, tcst, w.Wfw, w.Wfw, partOpt);
        DataPartitionQualQuant(ncsm, tcst, w.W, w.W, partOpt);
    }
    if (ex.keepScale) {
        WeightColumns(ncsm, tcst, w.W, weight_OTUs);
        UnitSumRowsAdjMV(ncsm, tcst, w.W, w.W);
    }
    if (ex.exclusion) {
        WeightColumns(ncsm, tcst, w.Wfw, weight_OTUs);
        if (unitTotal2) UnitSumRowsAdjMV(ncsm, tcst, w.Wfw, w.Wfw);
    }
}

void ApplyOTUWeightsToColumns(int rows, int cols, Matrix<double>& m, const std::vector<int>& weight_OTUs) {
    WeightColumns(rows, cols, m, weight_OTUs);
    UnitSumRowsAdjMV(rows, cols, m, m);
}

int BuildSelectedE(const DataSet& d, Matrix<double>& E, std::vector<int>& types) {
    std::vector<int> cols;
    for (int j = 0; j < d.nenv; ++j)
        if (j < static_cast<int>(d.eVarSelect.size()) && d.eVarSelect[j] == 1) cols.push_back(j);
    const int nSel = static_cast<int>(cols.size());
    E.assign(static_cast<std::size_t>(d.ncsm), cols.size());
    types.assign(cols.size(), 0);
    for (int e = 0; e < nSel; ++e) {
        types[e] = d.envVarType[cols[e]];
        for (int i = 0; i < d.ncsm; ++i) E[i][e] = d.env[i][cols[e]];
    }
    return nSel;
}

void BuildDE(int optEnvVarType, int temEnvQual, int ncsm, int nEnv, const Matrix<double>& E,
             const std::vector<int>& types, bool countDoubleAbsence, Matrix<double>& DE) {
    if (nEnv < 1 || ncsm < 1) return;
    if (optEnvVarType == 1) {
        EucliDistMV(ncsm, nEnv, E, DE);
    } else if ((optEnvVarType == 2 || optEnvVarType == 4 || optEnvVarType == 5) && temEnvQual == 0) {
        Matrix<double> standardized(static_cast<std::size_t>(ncsm), static_cast<std::size_t>(nEnv));
        CorrAdj(ncsm, nEnv, E, standardized);
        EucliDistMV(ncsm, nEnv, standardized, DE);
    } else {
        Matrix<double> copy = E;  // Gower ranks ordinal columns in place
        Matrix<double> similarity(static_cast<std::size_t>(ncsm), static_cast<std::size_t>(ncsm));
        std::vector<double> ranges(static_cast<std::size_t>(nEnv), 0.0);
        GowerMVOpt(ncsm, nEnv, types.data(), copy, similarity, ranges.data(), nullptr, countDoubleAbsence);
        ProbToDissim(ncsm, similarity, DE);
    }
}

namespace {

long long Binomial(int n, int k) {
    if (k < 0 || k > n) return 0;
    k = std::min(k, n - k);
    long long c = 1;
    for (int i = 1; i <= k; ++i) c = c * (n - k + i) / i;
    return c;
}

}  // namespace

void ForEachTraitSubset(Random& rnd, int nch, const std::vector<double>& weight, bool doTraitCombOpt, int nMin,
                        int nMax,
                        const std::function<void(const std::vector<int>&, int, long long, int)>& visit) {
    std::vector<int> select(static_cast<std::size_t>(std::max(nch, 0)), 0);
    if (!doTraitCombOpt) {
        int k = 0;
        for (int j = 0; j < nch; ++j) {
            select[j] = weight[j] > 0.0 ? 1 : 0;
            k += select[j];
        }
        visit(select, 1, 1, k);
        return;
    }
    long long total = 0;
    for (int k = nMin; k <= nMax; ++k) total += Binomial(nch, k);
    int iteration = 0;
    for (int k = std::max(nMin, 1); k <= nMax && k <= nch; ++k) {
        const long long nComb = Binomial(nch, k);
        for (long long c = 0; c < nComb; ++c) {
            PermuteArrayBinary(rnd, nch, k, select.data(), c == 0);
            int kept = 0;
            for (int j = 0; j < nch; ++j) {
                if (weight[j] <= 0.0) select[j] = 0;
                kept += select[j];
            }
            if (kept != k) continue;
            ++iteration;
            visit(select, iteration, total, k);
        }
    }
}

void AverageTraitMatrix(int tcst, int nch, const Matrix<double>& B, const std::vector<int>& partition,
                        const std::vector<int>& typeLabels, Matrix<double>& out) {
    const int nTypes = static_cast<int>(typeLabels.size());
    out.assign(static_cast<std::size_t>(nTypes), static_cast<std::size_t>(std::max(nch, 0)));
    for (int g = 0; g < nTypes; ++g) {
        int members = 0;
        for (int i = 0; i < tcst; ++i) {
            if (partition[i] != typeLabels[g]) continue;
            ++members;
            for (int j = 0; j < nch; ++j)
                if (B[i][j] != kMissing) out[g][j] += B[i][j];
        }
        if (members > 0)
            for (int j = 0; j < nch; ++j) out[g][j] /= members;
    }
}

// ---- the analysis ------------------------------------------------------------------

namespace {

// The phylogeny part of a run: resemblance, principal coordinates, belonging,
// P, Rao entropy and DP.
struct PhylogenyRun {
    Matrix<double> Sf, scores, axes, Q, P, DP;
    std::vector<double> Rp;
    int nAxes = 0;
    bool isDissim = false;
};

}  // namespace

Matrix<double> PhylogenyResemblance(const DataSet& d, int t, bool& isDissim) {
    // Type 2 holds phylogenetic variables whose Gower similarity is computed
    // here, so only type 3 is a dissimilarity.
    isDissim = d.phylogenyMatrixType == 3;
    if (d.phylogenyMatrixType == 2) {
        Matrix<double> rese = Sized(t, t);
        Matrix<double> data = d.phylogenyData;
        std::vector<double> ranges(static_cast<std::size_t>(std::max(d.nClados, 0)), 0.0);
        GowerMVOpt(t, d.nClados, d.phylogenyVarType.data(), data, rese, ranges.data(), nullptr, false);
        return rese;
    }
    Matrix<double> rese = d.phylogenyRese;
    MirrorUpper(t, rese);
    return rese;
}

namespace {

void RunPhylogeny(const AnalysisState& p, const WCopies& w, OTUExclusion ex, RaoWork& raoWork, PhylogenyRun& ph) {
    const DataSet& d = p.data;
    const FunctionalSettings& fa = p.fa;
    const int tcst = d.tcst, ncsm = d.ncsm, nTaxa = fa.nTaxa;
    ph.Sf = PhylogenyResemblance(d, tcst, ph.isDissim);
    Matrix<double> vectors = Sized(tcst, tcst);
    ph.scores = Sized(tcst, tcst);
    std::vector<double> values(static_cast<std::size_t>(tcst));
    bool ok = true;
    constexpr int kSimilarityKind = 5, kDissimilarityKind = 3;
    OrdinationLib_D(tcst, tcst, ph.Sf, ph.Sf, vectors, ph.scores, ph.nAxes, values.data(), ok, 1,
                    ph.isDissim ? kDissimilarityKind : kSimilarityKind, 1);
    ph.axes = Sized(tcst, ph.nAxes);
    for (int k = 0; k < ph.nAxes; ++k)
        for (int i = 0; i < tcst; ++i) ph.axes[i][k] = ph.scores[k][i];

    ph.Q = Sized(tcst, nTaxa);
    if (fa.fuzzyPhyl == 1) {
        Matrix<double> rese = ph.Sf;
        FuzzyBelonging(tcst, nTaxa, rese, fa.partition_OTUs_Phyl.data(), ph.Q, ph.isDissim);
    } else {
        CrispBelonging(tcst, nTaxa, fa.partition_OTUs_Phyl.data(), ph.Q);
    }
    if (ex.exclusion) ApplyOTUWeightsToColumns(tcst, nTaxa, ph.Q, d.weight_OTUs);
    ph.P = Sized(ncsm, nTaxa);
    MatrixProdSelectMV_Adjust_Weight(ncsm, tcst, tcst, nTaxa, w.Wfw, ph.Q, ph.P, nullptr, d.weight_OTUs.data(),
                                     fa.restrictRaoWithinOpt);
    ph.Rp.assign(static_cast<std::size_t>(ncsm), 0.0);
    RaoIndex_Weight_Matrix(ncsm, tcst, w.W, ph.Sf, ph.Rp.data(), ph.isDissim, p.opt.sqrtDissimOpt_RaoPhyl,
                           d.weight_OTUs.data(), fa.restrictRaoWithinOpt, false, raoWork);
    ph.DP = Sized(ncsm, ncsm);
    NominalReseNonHier(ncsm, nTaxa, ph.P, ph.DP, p.hier.rese_opt);
}

/// S of one trait subset (upper triangle and diagonal) straight from the traits,
/// one trait at a time. The sums take the traits in ascending order exactly as
/// gower_similarityAverage does over the stored partial similarities, so S has
/// the same bits, without the tcst x tcst x nch array of partial similarities.
void GowerAverageByTrait(const DataSet& d, int tcst, int nch, const int* select, bool countDoubleAbsence,
                         Matrix<double>& S) {
    Array3D<double> one = dim3D<double>(tcst, tcst, 1);
    Matrix<double> column = Sized(tcst, 1);
    Matrix<int> count = dim2D<int>(tcst, tcst);
    S.clear();
    for (int t = 0; t < nch; ++t) {
        if (select[t] != 1) continue;
        for (int i = 0; i < tcst; ++i) column[i][0] = d.csm_Float[i][t];
        gower_similarityPartial(1, column, tcst, one, d.chtype.data() + t, d.chrange.data() + t, d.weight.data() + t,
                                countDoubleAbsence);
        for (int i = 0; i < tcst; ++i) {
            const Matrix<double>& oi = one[static_cast<std::size_t>(i)];
            for (int j = i; j < tcst; ++j) {
                const double v = oi[static_cast<std::size_t>(j)][0];
                if (v == kMissing) continue;
                S[i][j] += v;
                ++count[i][j];
            }
        }
    }
    for (int i = 0; i < tcst; ++i)
        for (int j = i; j < tcst; ++j) S[i][j] = count[i][j] > 0 ? S[i][j] / count[i][j] : kMissing;
}

}  // namespace

void PFTs_ScalingUp(const AnalysisState& p) {
    DataSet& d = p.data;
    const ReportSettings rs{p.opt, p.fa, p.hier, p.session, p.clock};
    FunctionalSettings& fa = p.fa;
    const HierarchySettings& hier = p.hier;
    const Options& opt = p.opt;
    Session& s = p.session;
    Console& con = p.con;
    const int ncsm = d.ncsm, tcst = d.tcst, nch = d.nch;

    // The functional analysis always scales W to unit totals for T and diversity.
    constexpr bool unitTotal1 = true;
    fa.opt_struct = 9;
    s.whichRndData = s.sessionName + rndDataExt;
    const OTUExclusion ex = GetOTUExclusion(tcst, d.weight_OTUs, fa.keepAdditivity);
    InitRndNumberGenerator(p.rnd, fa.rseed);
    double clockStart = difftime_Clock_Init(p.clock);

    Matrix<double> E;
    std::vector<int> envTypes;
    const int nEnv = BuildSelectedE(d, E, envTypes);
    std::vector<int> envSelected(static_cast<std::size_t>(std::max(d.nenv, 0)), 0);
    for (int j = 0; j < d.nenv && j < static_cast<int>(d.eVarSelect.size()); ++j) envSelected[j] = d.eVarSelect[j];
    Matrix<double> DE = Sized(ncsm, ncsm);
    BuildDE(d.optEnvVarType, d.temEnvQual, ncsm, nEnv, E, envTypes, opt.countDoubleAbsence != 0, DE);

    WCopies w;
    FillWCopies(tcst, ncsm, d.cadat, w);

    std::vector<int> typeLabels(static_cast<std::size_t>(std::max(tcst, 1)));
    int nTypes = 0;
    CountGroupsNew(tcst, d.partition_OTUs.data(), nTypes, typeLabels.data());
    typeLabels.resize(static_cast<std::size_t>(nTypes));

    // The report replaces the old one only when it is complete, so a run that
    // is stopped leaves the previous report whole.
    SafeOutputFile file;
    if (!file.Open(con, s.volumeName + s.whichPrinda, fa.prindaMode.c_str())) throw FatalError{FatalCode::FailToOpen};
    std::ostream& fp = file.out();
    WriteReportHeader(fp, rs, d, ex, nTypes, unitTotal1, w.Wraw);
    RunOutputs outputs{s.sessionName, RunStamp(p.clock.Now()), fa.prindaMode == "a", opt.sDigits,
                       ChartSizeFromPreferences(opt.scatterHSize, opt.scatterVSize, opt.scatterPointSize, {5, 5, 3}),
                       ChartSizeFromPreferences(opt.profileHSize, opt.profileVSize, 0, {4, 3, 3}), false,
                       s.volumeName};

    AdjustWCopies(ncsm, tcst, w, d.weight_OTUs, unitTotal1, fa.optUnitTotalAdjust2, hier.partOpt, ex);

    Matrix<double> Y = Sized(ncsm, tcst), M = Sized(tcst, tcst);
    BealsSmoothing(ncsm, tcst, w.Wraw, w.Wraw, Y, false, 0, &M, opt.BealsIncludeOpt, 0, false);
    Matrix<double> DY = Sized(ncsm, ncsm);
    if (fa.opt_ro == 1) NominalReseNonHier(ncsm, tcst, Y, DY, hier.rese_opt);

    RaoWork raoWork;
    std::vector<double> D(static_cast<std::size_t>(ncsm), 0.0);
    {
        Matrix<double> identity = Sized(tcst, tcst);
        for (int i = 0; i < tcst; ++i) identity[i][i] = 1.0;
        RaoIndex_Weight_Matrix(ncsm, tcst, w.W, identity, D.data(), false, false, d.weight_OTUs.data(),
                               fa.restrictRaoWithinOpt, false, raoWork);
        raoWork = RaoWork{};
    }
    WriteDetailWY(fp, rs, d, ex, w.W, Y);

    PhylogenyRun ph;
    const bool withPhyl = fa.includePhylogeny;
    if (withPhyl) {
        RunPhylogeny(p, w, ex, raoWork, ph);
        PhylogenyReport rep{&ph.Sf, &ph.scores, ph.nAxes, &ph.Q, &ph.P};
        WriteDetailPhylogeny(fp, rs, d, rep);
        ph.scores = Matrix<double>();  // the test reads the axes taken from it
        raoWork = RaoWork{};
    }
    WriteDetailBE(fp, rs, d, E, nEnv, envSelected, DE);

    RangeStates(nch, tcst, d.csm_Float, d.chtype, d.chrange);
    // The partial similarities of every trait are kept only when several
    // trait subsets are averaged from them; one subset is averaged trait by trait.
    Array3D<double> partial;
    if (fa.doTraitCombOpt) {
        partial = dim3D<double>(tcst, tcst, nch);
        gower_similarityPartial(nch, d.csm_Float, tcst, partial, d.chtype.data(), d.chrange.data(),
                                d.weight.data(), opt.countDoubleAbsence != 0);
    }
    // The test sees only traits of positive weight.
    Matrix<double> Bzero = d.csm_Float;
    for (int j = 0; j < nch; ++j)
        if (d.weight[j] <= 0.0)
            for (int i = 0; i < tcst; ++i) Bzero[i][j] = 0.0;

    if (tcst >= 2 && nTypes >= 2) {
        Matrix<double> S = Sized(tcst, tcst);
        // The fuzzy belonging is read by the test (fuzzy types) and printed in
        // the detailed report; otherwise it is neither formed nor stored.
        const bool fuzzyNeeded = hier.fuzzy == 3 || fa.printDetail;
        Matrix<double> U = fuzzyNeeded ? Sized(tcst, nTypes) : Matrix<double>(), Ucrisp;
        Matrix<double> Xcrisp = Sized(ncsm, nTypes), X = Sized(ncsm, nTypes), T = Sized(ncsm, nch);
        Matrix<double> Tall = Sized(ncsm, nch), nncrd = Sized(2, ncsm), avgTraits;
        std::vector<double> Rf(static_cast<std::size_t>(ncsm), 0.0);
        std::vector<int> typeCounts(static_cast<std::size_t>(nTypes), 0);
        for (int g = 0; g < nTypes; ++g)
            for (int i = 0; i < tcst; ++i)
                if (d.partition_OTUs[i] == typeLabels[g]) ++typeCounts[g];
        RegressionResults regr;
        PseudoFResults pseudoF;
        if (fa.opt_ro == 4) regr.Allocate(nch + 2, nEnv);
        if (fa.opt_ro == 5) pseudoF.Allocate(nEnv, nch);
        BelongingWork belongWork;
        bool describedTests = false;

        ForEachTraitSubset(
            p.rnd, nch, d.weight, fa.doTraitCombOpt, fa.nMinTraitsChRank, fa.nMaxTraitsChRank,
            [&](const std::vector<int>& select, int iteration, long long total, int k) {
                if (fa.doTraitCombOpt)
                    HandleEventInfoWhere2(con, Fmt("Iteration: %d of %lld, Traits: %d", iteration, total, k).c_str());
                if (fa.doTraitCombOpt)
                    gower_similarityAverage(nch, tcst, partial, S, select.data());
                else
                    GowerAverageByTrait(d, tcst, nch, select.data(), opt.countDoubleAbsence != 0, S);
                MirrorUpper(tcst, S);
                const bool hasQual = HasQualitTraitSelect(nch, d.chtype.data(), select.data());

                Ucrisp = Sized(tcst, nTypes);
                CrispBelonging(tcst, nTypes, d.partition_OTUs.data(), Ucrisp);
                // S is symmetric already, so the mirroring inside leaves it as it is.
                if (fuzzyNeeded) {
                    FuzzyBelonging(tcst, nTypes, S, d.partition_OTUs.data(), U, false, belongWork);
                    if (ex.exclusion) ApplyOTUWeightsToColumns(tcst, nTypes, U, d.weight_OTUs);
                }
                MatrixProdSelectMV_Adjust_Weight(ncsm, tcst, tcst, nTypes, w.Wfw, Ucrisp, Xcrisp, nullptr,
                                                 d.weight_OTUs.data(), fa.restrictRaoWithinOpt);
                // The crisp belonging is needed again only when the test uses it.
                if (hier.fuzzy == 3) Ucrisp = Matrix<double>();
                RaoIndex_Weight_Matrix(ncsm, tcst, w.W, S, Rf.data(), false, opt.sqrtDissimOpt_RaoTraits,
                                       d.weight_OTUs.data(), fa.restrictRaoWithinOpt, false, raoWork);
                raoWork = RaoWork{};  // its tcst x tcst dissimilarities
                AverageTraitMatrix(tcst, nch, d.csm_Float, d.partition_OTUs, typeLabels, avgTraits);
                WriteDetailSubset(fp, rs, d, select, k, S, nTypes, U, typeLabels, typeCounts, avgTraits);

                SafeOutputFile rndFile;
                // The open routine has said why; the program ends with status 1.
                if (!rndFile.Open(con, s.volumeName + s.whichRndData, "w")) throw FatalError{FatalCode::Stop};

                PermTest_FunctionalPhyl_Correl_Input in;
                SetTestOptions(in, fa, hier, opt);
                in.nch = nch;
                in.chSelect = select;
                in.nOTUs = tcst;
                in.nTypes = nTypes;
                in.nTaxa = withPhyl ? fa.nTaxa : 0;
                in.nEnv = nEnv;
                in.eVarSelect = envSelected;
                in.ncsm = ncsm;
                in.relSelect = d.relSelect;
                in.nPhylAxes = ph.nAxes;
                in.B = &Bzero;
                in.Sb = &S;
                in.phylAxes = &ph.axes;
                in.Sf = &ph.Sf;
                in.E = &E;
                in.U = hier.fuzzy == 3 ? &U : &Ucrisp;
                in.Q = &ph.Q;
                in.DE = &DE;
                in.DY = &DY;
                in.Wfw = &w.Wfw;
                in.W = &w.W;
                in.Y = &Y;
                in.M = &M;
                in.regrResults = fa.opt_ro == 4 ? &regr : nullptr;
                in.pseudoFResults = fa.opt_ro == 5 ? &pseudoF : nullptr;
                in.includePhylogeny = withPhyl;
                in.phylIsDissim = ph.isDissim;
                in.otuWeightsSelectSubset = ex.exclusion;
                in.Tobs = &T;
                in.Xobs = &X;
                in.Pobs = withPhyl ? &ph.P : nullptr;
                in.Robs = &Rf;
                in.RPhylObs = withPhyl ? &ph.Rp : nullptr;
                in.nncrdObs = &nncrd;
                in.richness = w.richness;
                in.weight_OTUs = d.weight_OTUs;
                in.rndFile = rndFile.get();
                in.rnd = &p.rnd;
                in.progress = [&con](const char* message) { HandleEventInfoWhere2(con, message); };
                Matrix<double> nullValues;
                in.nullValues = &nullValues;
                ModelNullValues modelNullValues;
                in.modelNullValues = &modelNullValues;

                clockStart = difftime_Clock_Init(p.clock);
                PermTest_FunctionalPhyl_Correl(in);

                MatrixProdSelectMV_Adjust_Weight(ncsm, tcst, tcst, nch, w.W, Bzero, T, select.data(),
                                                 d.weight_OTUs.data());
                WriteDetailTX(fp, rs, d, select, hasQual, unitTotal1, T, nTypes, X, Xcrisp);
                if (!describedTests) {
                    WriteTestDescription(fp, rs);
                    describedTests = true;
                }
                if (fa.doTraitCombOpt) fp << "\n\nTRAITS:\t" << SelectedLabels(d.chLabel, select) << "\n\n";
                if (fa.opt_ro != 4 && fa.opt_ro != 5)
                    WriteStatistics(fp, rs, d, in, select, hasQual, envSelected, typeCounts);
                rndFile.Commit();
                if (fa.opt_ro == 4) WriteRegression(fp, d, in, select, hasQual, envSelected, withPhyl);
                if (fa.opt_ro == 5) WriteAnova(fp, d, in, select, hasQual, E, envSelected, withPhyl);
                if (fa.printDetail) WriteDiversity(fp, rs, d.phylogenyMatrixType, w.richness, D, Rf, withPhyl ? &ph.Rp : nullptr);
                if (fa.printDetail && fa.opt_ro == 1) {
                    MatrixProdSelectMV_Adjust_Weight(ncsm, tcst, tcst, nch, w.W, d.csm_Float, Tall, nullptr,
                                                     d.weight_OTUs.data());
                    OrdinationInputs o;
                    o.DY = &DY;
                    o.Y = &Y;
                    o.X = hier.fuzzy == 0 ? &Xcrisp : &X;
                    o.nX = nTypes;
                    if (withPhyl) {
                        o.DP = &ph.DP;
                        o.P = &ph.P;
                        o.nTaxa = fa.nTaxa;
                    }
                    o.T = &Tall;
                    o.E = &E;
                    o.nEnv = nEnv;
                    for (int j = 0; j < d.nenv; ++j)
                        if (envSelected[j] == 1) o.envLabels.push_back(d.envLabel[j]);
                    o.hasQual = hasQual;
                    WriteOrdinations(fp, rs, d, o);
                }
                SubsetView view;
                view.test = &in;
                view.nullValues = &nullValues;
                view.modelNullValues = &modelNullValues;
                view.opt_ro = fa.opt_ro;
                view.subsetNumber = fa.doTraitCombOpt ? iteration : 0;
                view.quant = !hasQual;
                view.twoTailedTest = opt.twoTailedTest;
                view.nullModel = NullModelText(fa.optTaxaSiteShuffle, fa.optRestrictPermutNullModel,
                                               fa.optWeightedNullModel != 0, fa.doBootstrapOpt);
                view.seed = fa.rseed;
                view.traitLabels = &d.chLabel;
                view.communityLabels = &d.reLabel;
                view.envLabels = LabelsOfSelected(d.envLabel, envSelected);
                view.select = &select;
                view.T = &T;
                view.richness = &w.richness;
                view.D = &D;
                view.Rf = &Rf;
                view.Rp = withPhyl ? &ph.Rp : nullptr;
                Matrix<double> DX;
                if (fa.printDetail && fa.opt_ro == 1) {  // the ordinations of the report
                    DX.assign(ncsm, ncsm);
                    NominalReseNonHier(ncsm, nTypes, hier.fuzzy == 0 ? Xcrisp : X, DX, hier.rese_opt);
                    view.DY = &DY;
                    view.DX = &DX;
                    view.DP = withPhyl ? &ph.DP : nullptr;
                }
                WriteSubsetOutputs(con.err, outputs, view);
            });
    }

    WriteReportClosing(fp, difftime_Clock(p.clock, clockStart));
    file.Commit();
}

}  // namespace kolvar
