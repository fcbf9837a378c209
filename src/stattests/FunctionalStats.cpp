#include "stattests/FunctionalStats.hpp"

#include <cmath>
#include <cstdio>
#include <ostream>
#include <vector>

#include "base/Fmt.hpp"
#include "QMLib/Kernels.hpp"
#include "QMLib/MatrixProd.hpp"
#include "QMLib/Print.hpp"
#include "QMLib/Resemblance.hpp"
#include "QMLib/Transform.hpp"
#include "QMLib/qmlibDim.hpp"
#include "stattests/Diversity.hpp"
#include "stattests/MatrixCorrelation.hpp"
#include "stattests/Regression.hpp"

namespace kolvar {

namespace {

bool IsCorrelationType(int optRo) { return optRo >= 1 && optRo <= 3; }
bool HasDistances(int optRo) { return optRo == 1 || optRo == 5; }

}  // namespace

void RegressionResults::Allocate(int nResponses, int nEnv) {
    for (RegressionSet* s : {&obs, &prob, &ses, &expected}) {
        s->rSquare.assign(static_cast<std::size_t>(nResponses), 0.0);
        s->coeff = dim2D<double>(nEnv, nResponses);
    }
    intercept.assign(static_cast<std::size_t>(nResponses), 0.0);
}

void PseudoFResults::Allocate(int nEnv, int nch) {
    for (PseudoFSet* s : {&obs, &prob, &ses, &expected}) {
        for (auto* v : {&s->X, &s->T, &s->P, &s->R, &s->RPhyl}) v->assign(static_cast<std::size_t>(nEnv), 0.0);
        s->traits = dim2D<double>(nEnv, nch);
    }
}

// Mantel correlation (upper triangle, cells with a missing value left out) of
// two n x n resemblance matrices, each read through an optional list and
// turned into dissimilarities (1 - s) unless it holds them already: the sums
// of MatrixCorrelationLib's similarity form, in its order, without forming
// the permuted matrix or the two dissimilarity matrices.
namespace {

// Reads cell (i, j) of one side: through its list, as a dissimilarity.
struct SideRow {
    const double* row;
    const int* list;
    bool dissim;
    double at(int j) const {
        const double s = row[list ? list[j] - 1 : j];
        return (dissim || s == kMissing) ? s : 1.0 - s;
    }
};
SideRow RowOf(const MantelSide& side, int i) {
    const auto r = static_cast<std::size_t>(side.list ? side.list[i] - 1 : i);
    return {side.S->row(r), side.list, side.dissim};
}

// Row i of one side from column i + 1 on, read through its list and as a
// dissimilarity, into to; whether a value is missing.
KOLVAR_VECTOR_CLONES
bool GatherRow(int n, int i, const MantelSide& side, double* __restrict to) {
    const double* row = RowOf(side, i).row;
    const int* list = side.list;
    long long missing = 0;
    // The cases apart, so that each loop is a plain one the compiler vectorises.
    if (list)
        for (int j = i + 1; j < n; ++j) to[j] = row[list[j] - 1];
    else
        for (int j = i + 1; j < n; ++j) to[j] = row[j];
    for (int j = i + 1; j < n; ++j) missing += to[j] == kMissing ? 1 : 0;
    if (!side.dissim)
        for (int j = i + 1; j < n; ++j) to[j] = to[j] == kMissing ? to[j] : 1.0 - to[j];
    return missing != 0;
}

// Row i of each side, laid out in x[k] and y[k]; whether any value is missing.
template <int K>
bool GatherRows(int n, int i, const MantelSide* a, const MantelSide* b, double* const* x, double* const* y) {
    bool missing = false;
    for (int k = 0; k < K; ++k) {
        missing = GatherRow(n, i, a[k], x[k]) || missing;
        missing = GatherRow(n, i, b[k], y[k]) || missing;
    }
    return missing;
}

// K Mantel correlations over the OTU pairs i < j, each with the sums, order and
// arithmetic of one correlation on its own; the K sets of sums advance side
// by side, over rows gathered first (without the missing-value tests when a
// row has none).
template <int K>
void MantelSides(int n, const MantelSide* a, const MantelSide* b, double* out) {
    for (int k = 0; k < K; ++k) out[k] = 0.0;
    if (n < 2) return;
    thread_local std::vector<double> buffer;
    buffer.resize(2 * K * static_cast<std::size_t>(n));
    double* x[K];
    double* y[K];
    for (int k = 0; k < K; ++k) {
        x[k] = buffer.data() + static_cast<std::size_t>(2 * k) * n;
        y[k] = buffer.data() + static_cast<std::size_t>(2 * k + 1) * n;
    }
    double sx[K] = {}, sy[K] = {};
    long long cells[K] = {};
    for (int i = 0; i < n; ++i) {
        if (GatherRows<K>(n, i, a, b, x, y)) {
            for (int j = i + 1; j < n; ++j)
                for (int k = 0; k < K; ++k) {
                    if (x[k][j] == kMissing || y[k][j] == kMissing) continue;
                    sx[k] += x[k][j];
                    sy[k] += y[k][j];
                    ++cells[k];
                }
        } else {
            for (int j = i + 1; j < n; ++j)
                for (int k = 0; k < K; ++k) {
                    sx[k] += x[k][j];
                    sy[k] += y[k][j];
                }
            for (int k = 0; k < K; ++k) cells[k] += n - i - 1;
        }
    }
    double mx[K], my[K], sxx[K] = {}, syy[K] = {}, sxy[K] = {};
    for (int k = 0; k < K; ++k) {
        mx[k] = cells[k] ? sx[k] / cells[k] : 0.0;
        my[k] = cells[k] ? sy[k] / cells[k] : 0.0;
    }
    for (int i = 0; i < n; ++i) {
        const bool missing = GatherRows<K>(n, i, a, b, x, y);
        for (int j = i + 1; j < n; ++j)
            for (int k = 0; k < K; ++k) {
                const double xv = x[k][j], yv = y[k][j];
                if (missing && (xv == kMissing || yv == kMissing)) continue;
                sxx[k] += (xv - mx[k]) * (xv - mx[k]);
                syy[k] += (yv - my[k]) * (yv - my[k]);
                sxy[k] += (xv - mx[k]) * (yv - my[k]);
            }
    }
    for (int k = 0; k < K; ++k)
        out[k] = cells[k] == 0 || sxx[k] == 0.0 || syy[k] == 0.0 ? 0.0 : sxy[k] / std::sqrt(sxx[k] * syy[k]);
}

}  // namespace

double MantelSimilarityForm(int n, const Matrix<double>& S1, const int* list1, bool dissim1, const Matrix<double>& S2,
                            const int* list2, bool dissim2) {
    const MantelSide a{&S1, list1, dissim1}, b{&S2, list2, dissim2};
    double r = 0.0;
    MantelSides<1>(n, &a, &b, &r);
    return r;
}

void MantelSimilarityFormTwo(int n, const MantelSide& a1, const MantelSide& b1, const MantelSide& a2,
                             const MantelSide& b2, double& r1, double& r2) {
    const MantelSide a[2] = {a1, a2}, b[2] = {b1, b2};
    double r[2];
    MantelSides<2>(n, a, b, r);
    r1 = r[0];
    r2 = r[1];
}


namespace {

// The similarity form of MatrixCorrelationLib over the OTUs (the first
// resemblance a similarity), with the same result: the Mantel form without the
// two OTU x OTU dissimilarity matrices, Procrustes and RV straight from the raw
// matrices they read.
double OtuCorrelation(const PermTest_FunctionalPhyl_Correl_Input& in, int p1, int p2, const Matrix<double>& A,
                      const Matrix<double>& B, const Matrix<double>& SA, const Matrix<double>& SB, bool SBisDissim,
                      MatrixCorrWork& work) {
    const char method = in.opt_MatrixCorr;
    if (method == 'm') return MantelSimilarityForm(in.nOTUs, SA, nullptr, false, SB, nullptr, SBisDissim);
    if (method == 'p' || method == 'v')
        return MatrixCorrelationLib(in.nOTUs, p1, p2, A, B, SA, SB, in.squareDistMatrixOpt, method, work);
    return MatrixCorrelationLib(in.nOTUs, p1, p2, A, B, SA, SB, false, SBisDissim, in.squareDistMatrixOpt, method,
                                work);
}

}  // namespace

void FunctionalPhyl_Stats_Lib_Input::Allocate(const PermTest_FunctionalPhyl_Correl_Input& in) {
    const int n = in.ncsm;
    nDivCols = 1 + (in.includePhylogeny ? 1 : 0);
    Bnorm = dim2D<double>(in.nOTUs, in.nch);
    T = dim2D<double>(n, in.nch + 2);
    X = dim2D<double>(n, in.nTypes);
    P = dim2D<double>(n, in.includePhylogeny ? in.nTaxa : 0);
    raoWork.assign(static_cast<std::size_t>(n), 0.0);
    R = dim2D<double>(n, 1);
    RT = dim2D<double>(1, n);
    V = dim2D<double>(n, 1);
    nncrd = dim2D<double>(1, n);
    if (in.includePhylogeny) {
        RPhyl = dim2D<double>(n, 1);
        RPhylT = dim2D<double>(1, n);
    }
    DX = dim2D<double>(n, n);
    if (HasDistances(in.opt_ro)) {
        DT = dim2D<double>(n, n);
        DR = dim2D<double>(n, n);
        DV = dim2D<double>(n, n);
        if (in.includePhylogeny) {
            DRaoPhyl = dim2D<double>(n, n);
            DP = dim2D<double>(n, n);
        }
    }
    richnessCol = dim2D<double>(n, 1);
    residualsCol = dim2D<double>(n, 1);
    stat.fill(0.0);
    if (in.opt_ro == 5) {
        envGroups = dim2D<int>(in.nEnv, n);
        pseudoF.X.assign(static_cast<std::size_t>(in.nEnv), 0.0);
        pseudoF.T = pseudoF.P = pseudoF.R = pseudoF.RPhyl = pseudoF.X;
        pseudoF.traits = dim2D<double>(in.nEnv, in.nch);
    }
    if (in.opt_ro == 4) {
        const int nResp = in.nch + nDivCols;
        regrFitted = dim2D<double>(n, in.nch + 2);
        regrSSY.assign(static_cast<std::size_t>(in.nch + 2), 0.0);
        regr.rSquare.assign(static_cast<std::size_t>(nResp), 0.0);
        regr.coeff = dim2D<double>(in.nEnv, nResp);
        regrIntercept.assign(static_cast<std::size_t>(nResp), 0.0);
    }
    work.DTrait = dim2D<double>(n, n);
}

double PseudoF(int n, const Matrix<double>& D, const int* groups, const int* select, GroupSqWork& work) {
    double between = 0.0, total = 0.0;
    BetweenGrSqDissim(n, D, groups, &between, &total, select, false, work);
    const double within = total - between;
    return within == 0.0 ? 0.0 : between / within;
}

int TruncEnvGroup(double value) {
    if (!(value > -2147483648.0 && value < 2147483648.0)) return value > 0 ? 2147483647 : -2147483647 - 1;
    return static_cast<int>(value);
}

void PrintUpperAsLowerHalf(std::ostream& fp, int n, const Matrix<double>& D) {
    char buf[64];
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j <= i; ++j) {
            const int len = std::snprintf(buf, sizeof buf, "%.*g\t", 6, D[j][i]);
            fp.write(buf, len);
        }
        fp << '\n';
    }
}

void PrintColumnAsRow(std::ostream& fp, int n, const Matrix<double>& col) {
    char buf[64];
    for (int i = 0; i < n; ++i) {
        const int len = std::snprintf(buf, sizeof buf, "%.*g\t", 6, col[i][0]);
        fp.write(buf, len);
    }
    fp << '\n';
}

void ResidualsOnRichness(int n, const Matrix<double>& V, const Matrix<double>& richness, Matrix<double>& residuals,
                         RegressionWork& work) {
    // A constant richness leaves nothing to regress on (and a singular cross
    // product): the least-squares residuals are then the deviations from the mean.
    bool varies = false;
    for (int i = 1; i < n && !varies; ++i) varies = richness[i][0] != richness[0][0];
    if (varies) {
        Regression_ResidualsSelect(n, 1, 1, V, richness, residuals, nullptr, work);
        return;
    }
    double mean = 0.0;
    for (int i = 0; i < n; ++i) mean += V[i][0];
    mean = n > 0 ? mean / n : 0.0;
    for (int i = 0; i < n; ++i) residuals[i][0] = V[i][0] - mean;
}

void PrintFirstIntermediateBlock(const PermTest_FunctionalPhyl_Correl_Input& in,
                                 const FunctionalPhyl_Stats_Lib_Input& st) {
    std::ostream& f = *in.rndFile;
    const int n = in.ncsm, nch = in.nch;
    f << "\nPERMUTATION TEST FOR CORRELATIONS ro(XE), ro(TE) AND ro(RE), AND PARTIAL CORRELATIONS ro(XE.T), "
         "ro(XE.TR)\n"
      << "INTERMEDIATE RESULTS\n"
      << "\nObserved trait matrix (B):\n";
    PrintMatrixTab(f, in.nOTUs, nch, *in.B, 6);
    f << Fmt("\nMatrix W (%d communities by %d OTUs):\n", n, in.nOTUs);
    PrintMatrixTab(f, n, in.nOTUs, *in.W, 6);
    f << Fmt("\n\nMatrix T (comunity weighted means traits in %d communities by %d traits) computed after B (T = W x "
             "B):\n",
             n, nch);
    PrintMatrixTab(f, n, nch, st.T, 6);
    if (in.opt_ro == 3 || in.opt_ro == 2) {
        f << "\nMatrix E of communities by ecological variables):\n";
        PrintMatrixTab(f, n, in.nEnv, *in.E, 6);
        f << Fmt(in.opt_ro == 3 ? "\nRV coefficient between T and E:\t%g\n"
                                : "\nProcrustes correlation between T and E:\t%g\n",
                 st.stat[sTE]);
    } else if (in.opt_ro == 1) {
        f << Fmt("\nResemblance matrix DT between %d communities (based on matrix T of traits by communities):\n", n);
        PrintUpperAsLowerHalf(f, n, st.DT);
        f << Fmt("\nResemblance matrix DE between %d communities (based on matrix E of ecological variables by "
                 "communities):\n",
                 n);
        PrintUpperAsLowerHalf(f, n, *in.DE);
        f << Fmt("\nMatrix correlation between DT and DE:\t%g\n", st.stat[sTE]);
    }
    f << "\nObserved belonging matrix (U):\n";
    PrintMatrixTab(f, in.nOTUs, in.nTypes, *in.U, 6);
    f << Fmt("\nObserved ro(XT)=\t%g\n", st.stat[sXT]) << Fmt("Observed ro(XE)=\t%g\n", st.stat[sXE])
      << Fmt("Observed ro(XE.T)=\t%g\n", st.stat[sXE_T]) << "\nObserved trait similarity matrix (Sb):\n";
    PrintMatrixTab(f, in.nOTUs, in.nOTUs, *in.Sb, 6);
    f << "\nObserved OTU co-occurrence matrix (M):\n";
    PrintMatrixTab(f, in.nOTUs, in.nOTUs, *in.M, 6);
    f << Fmt("\nObserved ro(BM)=\t%g\n", st.stat[sBM]);
}

void PrintSecondIntermediateBlock(const PermTest_FunctionalPhyl_Correl_Input& in,
                                  const FunctionalPhyl_Stats_Lib_Input& st) {
    std::ostream& f = *in.rndFile;
    const int n = in.ncsm;
    const bool type1 = in.opt_ro == 1;
    f << "\nObserved similarity matrix (Sb) between OTUs, based on the traits:\n:";
    PrintMatrixTab(f, in.nOTUs, in.nOTUs, *in.Sb, 6);
    f << Fmt("\n\nRao entropy vector R (%d communities) computed after Sb:\n", n);
    PrintMatrixTab(f, 1, n, st.RT, 6);
    if (type1) {
        f << "\nResemblance matrix DR comparing communities based on their Rao entropy: \n";
        PrintUpperAsLowerHalf(f, n, st.DR);
    }
    f << '\n';
    f << Fmt("\n\nCommunity contribution to beta diversity (NNCRD: Nearest-Neighbour Cross-Referenced Distance based "
             "on X (target) referenced on E) (%d communities in vector V):\n",
             n);
    PrintVectorTab(f, n, st.nncrd.row(0), 6, nullptr);
    f << Fmt("\n\nResiduals of community contribution to beta diversity (NNCRD: Nearest-Neighbour Cross-Referenced "
             "Distance based on X (target) referenced on E) after controlling for OTU richness (%d communities in "
             "vector V):\n",
             n);
    for (int i = 0; i < n; ++i) f << Fmt("%.*g\t", 6, st.V[i][0]);
    f << '\n';
    if (type1) {
        f << "\nResemblance matrix DV comparing communities based on their NNCRD: \n";
        PrintUpperAsLowerHalf(f, n, st.DV);
    }
    f << '\n';
    if (!in.includePhylogeny) return;
    f << (in.phylIsDissim
              ? "\nObserved dissimilarity matrix (Sf) in the range 0-1 between OTUs, based on the phylogeny:\n:"
              : "\nObserved similarity matrix (Sf) in the range 0-1 between OTUs, based on the phylogeny:\n:");
    PrintMatrixTab(f, in.nOTUs, in.nOTUs, *in.Sf, 6);
    f << Fmt("\n\nRao entropy vector R (%d communities) computed after Sf:\n", n);
    PrintMatrixTab(f, 1, n, st.RPhylT, 6);
    if (type1) {
        f << "\nResemblance matrix DRaoPhyl comparing communities after based on their Rao entropy using "
             "phylogenetic distances: \n";
        PrintUpperAsLowerHalf(f, n, st.DRaoPhyl);
    }
    f << '\n';
}

int FunctionalPhyl_Stats_Lib(const PermTest_FunctionalPhyl_Correl_Input& in, FunctionalPhyl_Stats_Lib_Input& st) {
    FunctionalStatsWork& w = st.work;
    const int n = in.ncsm;
    const int nch = in.nch;
    const int type = in.opt_ro;
    const bool phyl = in.includePhylogeny;
    const int* weights = in.weight_OTUs.data();
    const int* sel = in.relSelect.data();
    auto& s = st.stat;
    MatrixCorrWork& mcw = w.corr;

    const CommunityCorrelator corr{in, mcw};
    const Matrix<double>& E = *in.E;
    const Matrix<double>& Y = *in.Y;
    const int nEnv = in.nEnv;
    const int nOTUs = in.nOTUs;
    const CovariateSet covT{nch, in.chSelect.data(), &st.T};

    // 1. Community-weighted means over the selected traits, columns of unit length.
    MatrixProdSelectMV_Adjust_Weight(n, nOTUs, nOTUs, nch, *in.W, *in.B, st.T, in.chSelect.data(), weights);
    NormalizeColsMV(n, nch, st.T, st.T);

    // 2-3. Distances from T and the trait-convergence statistics.
    st.reseOptT = 3;
    if (HasDistances(type)) EucliDistMV(n, nch, st.T, st.DT);
    if (type == 5) {
        for (int k = 0; k < nEnv; ++k)
            for (int i = 0; i < n; ++i) st.envGroups[k][i] = TruncEnvGroup(E[i][k]);
        for (int k = 0; k < nEnv; ++k) {
            st.pseudoF.T[k] = PseudoF(n, st.DT, st.envGroups.row(k), sel, w.groups);
            for (int j = 0; j < nch; ++j) {
                if (in.chSelect[j] != 1) continue;
                EucliDistMVSelectOne(n, nch, st.T, w.DTrait, j + 1);
                st.pseudoF.traits[k][j] = PseudoF(n, w.DTrait, st.envGroups.row(k), sel, w.groups);
            }
        }
    } else if (IsCorrelationType(type)) {
        s[sTE] = corr.Mcl(st.T, nch, E, nEnv, st.DT, *in.DE);
        s[sTY] = corr.Mcl(st.T, nch, Y, nOTUs, st.DT, *in.DY);
    }

    // 4. Fuzzy-weighted and phylogeny-weighted composition.
    st.reseOptX = 3;
    MatrixProdSelectMV_Adjust_Weight(n, nOTUs, nOTUs, in.nTypes, *in.Wfw, *in.U, st.X, nullptr, weights,
                                     in.restrictRaoWithinOpt);
    if (phyl)
        MatrixProdSelectMV_Adjust_Weight(n, nOTUs, nOTUs, in.nTaxa, *in.Wfw, *in.Q, st.P, nullptr, weights,
                                         in.restrictRaoWithinOpt);
    EucliDistMV(n, in.nTypes, st.X, st.DX);

    // 5. Trait-divergence statistics.
    if (IsCorrelationType(type)) {
        s[sXE] = corr.Mcl(st.X, in.nTypes, E, nEnv, st.DX, *in.DE);
        s[sXT] = corr.Mcl(st.X, in.nTypes, st.T, nch, st.DX, st.DT);
        s[sXY] = corr.Mcl(st.X, in.nTypes, Y, nOTUs, st.DX, *in.DY);
        if (type == 2) {
            s[sXE_T] = corr.Pmc(st.X, in.nTypes, E, nEnv, {covT});
            s[sXY_T] = corr.Pmc(st.X, in.nTypes, Y, nOTUs, {covT});
        } else {
            s[sXE_T] = PartialCorrelation(s[sXE], s[sXT], s[sTE]);
            s[sXY_T] = PartialCorrelation(s[sXY], s[sXT], s[sTY]);
        }
    }
    // 6.
    if (type == 5)
        for (int k = 0; k < nEnv; ++k) st.pseudoF.X[k] = PseudoF(n, st.DX, st.envGroups.row(k), sel, w.groups);

    // 7. Phylogenetically structured assembly.
    if (phyl) {
        if (HasDistances(type)) EucliDistMV(n, in.nTaxa, st.P, st.DP);
        if (IsCorrelationType(type)) {
            const CovariateSet covP{in.nTaxa, nullptr, &st.P};
            const CovariateSet covX{in.nTypes, nullptr, &st.X};
            NormalizeColsMV(nOTUs, nch, *in.B, st.Bnorm);
            s[sBF] = OtuCorrelation(in, nch, in.nPhylAxes, st.Bnorm, *in.phylAxes, *in.Sb, *in.Sf, in.phylIsDissim, mcw);
            s[sPE] = corr.Mcl(st.P, in.nTaxa, E, nEnv, st.DP, *in.DE);
            s[sPT] = corr.Mcl(st.P, in.nTaxa, st.T, nch, st.DP, st.DT);
            s[sPX] = corr.Mcl(st.P, in.nTaxa, st.X, in.nTypes, st.DP, st.DX);
            if (type == 2) {
                s[sPX_T] = corr.Pmc(st.P, in.nTaxa, st.X, in.nTypes, {covT});
                s[sTE_P] = corr.Pmc(st.T, nch, E, nEnv, {covP});
                s[sXE_P] = corr.Pmc(st.X, in.nTypes, E, nEnv, {covP});
                s[sXE_TP] = corr.Pmc(st.X, in.nTypes, E, nEnv, {covT, covP});
                s[sPE_T] = corr.Pmc(st.P, in.nTaxa, E, nEnv, {covT});
                s[sPE_X] = corr.Pmc(st.P, in.nTaxa, E, nEnv, {covX});
            } else {
                s[sPX_T] = PartialCorrelation(s[sPX], s[sXT], s[sPT]);
                s[sTE_P] = PartialCorrelation(s[sTE], s[sPT], s[sPE]);
                s[sXE_P] = PartialCorrelation(s[sXE], s[sPX], s[sPE]);
                s[sXT_P] = PartialCorrelation(s[sXT], s[sPX], s[sPT]);
                s[sXE_TP] = PartialCorrelation(s[sXE_P], s[sXT_P], s[sTE_P]);
                s[sPE_T] = PartialCorrelation(s[sPE], s[sPT], s[sTE]);
                s[sPE_X] = PartialCorrelation(s[sPE], s[sPX], s[sXE]);
            }
        }
        if (type == 5)
            for (int k = 0; k < nEnv; ++k)
                st.pseudoF.P[k] = PseudoF(n, st.DP, st.envGroups.row(k), sel, w.groups);
    }

    // 8. Trait similarity against co-occurrence, over the OTUs.
    if (IsCorrelationType(type))
        s[sBM] = OtuCorrelation(in, nch, nOTUs, *in.B, *in.M, *in.Sb, *in.M, false, mcw);

    if (in.printIntermPermResults && in.rndFile) PrintFirstIntermediateBlock(in, st);

    // 10. Rao entropy from the trait similarity and from the phylogeny.
    RaoIndex_Weight_Matrix(n, nOTUs, *in.W, *in.Sb, st.raoWork.data(), false, in.sqrtDissimOpt_RaoTraits, weights,
                           in.restrictRaoWithinOpt, st.raoByAbund, w.rao);
    for (int i = 0; i < n; ++i) st.R[i][0] = st.RT[0][i] = st.raoWork[i];
    if (phyl) {
        RaoIndex_Weight_Matrix(n, nOTUs, *in.W, *in.Sf, st.raoWork.data(), in.phylIsDissim, in.sqrtDissimOpt_RaoPhyl,
                               weights, in.restrictRaoWithinOpt, st.raoByAbund, w.rao);
        for (int i = 0; i < n; ++i) st.RPhyl[i][0] = st.RPhylT[0][i] = st.raoWork[i];
    }

    // 11. Contribution to beta diversity, freed from OTU richness.
    NNCRD(n, *in.DE, st.DX, st.nncrd.row(0));
    for (int i = 0; i < n; ++i) {
        st.V[i][0] = st.nncrd[0][i];
        st.richnessCol[i][0] = in.richness[i];
    }
    ResidualsOnRichness(n, st.V, st.richnessCol, st.residualsCol, w.regression);
    for (int i = 0; i < n; ++i) st.V[i][0] = st.residualsCol[i][0];

    // 12.
    if (HasDistances(type)) {
        AbsValFunctionMV(n, 1, st.R, st.DR);
        AbsValFunctionMV(n, 1, st.V, st.DV);
        if (phyl) AbsValFunctionMV(n, 1, st.RPhyl, st.DRaoPhyl);
    }

    if (in.printIntermPermResults && in.rndFile) PrintSecondIntermediateBlock(in, st);

    // 14. Rao entropy and beta-diversity statistics.
    if (IsCorrelationType(type)) {
        s[sRE] = corr.Mcl(st.R, 1, E, nEnv, st.DR, *in.DE);
        s[sXR] = corr.Mcl(st.X, in.nTypes, st.R, 1, st.DX, st.DR);
        s[sTR] = corr.Mcl(st.T, nch, st.R, 1, st.DT, st.DR);
        s[sRY] = corr.Mcl(st.R, 1, Y, nOTUs, st.DR, *in.DY);
        s[sVE] = corr.Mcl(st.V, 1, E, nEnv, st.DV, *in.DE);
        s[sVY] = corr.Mcl(st.V, 1, Y, nOTUs, st.DV, *in.DY);
        if (phyl) s[sFE] = corr.Mcl(st.RPhyl, 1, E, nEnv, st.DRaoPhyl, *in.DE);
        if (type == 2) {
            const CovariateSet covR{1, nullptr, &st.R};
            s[sXE_TR] = corr.Pmc(st.X, in.nTypes, E, nEnv, {covT, covR});
            s[sXY_TR] = corr.Pmc(st.X, in.nTypes, Y, nOTUs, {covT, covR});
        } else {
            s[sXE_R] = PartialCorrelation(s[sXE], s[sXR], s[sRE]);
            s[sTE_R] = PartialCorrelation(s[sTE], s[sTR], s[sRE]);
            s[sXT_R] = PartialCorrelation(s[sXT], s[sXR], s[sTR]);
            s[sXE_TR] = PartialCorrelation(s[sXE_R], s[sXT_R], s[sTE_R]);
            s[sXY_R] = PartialCorrelation(s[sXY], s[sXR], s[sRY]);
            s[sTY_R] = PartialCorrelation(s[sTY], s[sTR], s[sRY]);
            s[sXY_TR] = PartialCorrelation(s[sXY_R], s[sXT_R], s[sTY_R]);
        }
    }

    // 15.
    if (type == 5)
        for (int k = 0; k < nEnv; ++k) {
            st.pseudoF.R[k] = PseudoF(n, st.DR, st.envGroups.row(k), sel, w.groups);
            if (phyl) st.pseudoF.RPhyl[k] = PseudoF(n, st.DRaoPhyl, st.envGroups.row(k), sel, w.groups);
        }

    // 16. Regression of the community means and diversities on E.
    if (type == 4) {
        for (int i = 0; i < n; ++i) {
            st.T[i][nch] = st.R[i][0];
            if (phyl) st.T[i][nch + 1] = st.RPhyl[i][0];
        }
        regression(n, nch + st.nDivCols, nEnv, st.T, E, st.regr.coeff, st.regrIntercept.data(), st.regrFitted,
                   st.regr.rSquare.data(), st.regrSSY.data(), false, nullptr, 0, false, w.regression);
    }
    return 1;
}

}  // namespace kolvar
