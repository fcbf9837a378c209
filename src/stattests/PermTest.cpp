#include "stattests/PermTest.hpp"

#include <gsl/gsl_sort.h>
#include <gsl/gsl_statistics_double.h>
#include <omp.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <initializer_list>
#include <iostream>
#include <limits>
#include <sstream>
#include <string_view>
#include <utility>

#include "QMLib/Kernels.hpp"
#include "QMLib/MatrixProd.hpp"
#include "QMLib/Print.hpp"
#include "QMLib/Random.hpp"
#include "QMLib/Resemblance.hpp"
#include "QMLib/Transform.hpp"
#include "QMLib/qmlibDim.hpp"
#include "base/Fatal.hpp"
#include "base/Fmt.hpp"
#include "stattests/FunctionalStats.hpp"

namespace kolvar {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool IsCorrelationType(int optRo) { return optRo >= 1 && optRo <= 3; }
bool HasDistances(int optRo) { return optRo == 1 || optRo == 5; }
bool IsTwoSided(int stat) { return kTestedStatTail[static_cast<std::size_t>(stat)] == 0; }

/// Working storage of the iterations, sized once; nothing is allocated inside
/// the loop.
struct Workspace {
    Matrix<double> Brnd, Urnd, Qrnd, Srnd, SfRnd, axesRnd;
    Matrix<double> Trnd, Xrnd, Prnd, DTrnd, DXrnd, DPrnd, DTrait;
    Matrix<double> Rrnd, RPhylRnd, Vraw, Vrnd, nncrdRnd, DRrnd, DVrnd, DRaoPhylRnd;
    std::vector<double> raoOut;
    FunctionalStatsWork lib;
    MantelValues mantel;  ///< the iteration's Mantel correlations, computed ahead
    // Type 4.
    Matrix<double> regrCoeff, regrFitted;
    std::vector<double> regrB0, regrR2;
    // Type 5.
    PseudoFSet pf;
};

/// Values of one iteration, before they are compared with the observed ones.
struct IterationValues {
    std::array<double, kNumTestedStats> v{};
    // Auxiliary correlations, reported in the intermediate results only.
    double xt = 0, xr = 0, tr = 0, xe_r = 0, te_r = 0, xt_r = 0;
    bool drewOtuLevel = false;  ///< ro(BM) and ro(BF) drawn (taxa shuffle only)
};

/// One iteration's intermediate results without the running counters, and
/// where each counter goes (offset in the text, statistic).
struct PrintedIteration {
    std::ostringstream text;
    std::vector<std::pair<std::size_t, int>> holes;
};

/// Running tallies of one family of statistics (counter starts at 1).
struct Tally {
    std::vector<double> count, sum, sumSq;
    void Reset(std::size_t n) {
        count.assign(n, 1.0);
        sum.assign(n, 0.0);
        sumSq.assign(n, 0.0);
    }
    void Add(std::size_t k, double rnd, bool atLeast) {
        if (atLeast) count[k] += 1.0;
        sum[k] += rnd;
        sumSq[k] += rnd * rnd;
    }
};

double MomentSES(double observed, double sum, double sumSq, int niter) {
    const double m = niter - 1;
    return (observed - sum / m) / std::sqrt((sumSq - sum * sum / m) / (niter - 2));
}

void PermuteRows(int nRows, const int* list, const Matrix<double>& src, Matrix<double>& dst, int nCols) {
    for (int i = 0; i < nRows; ++i) {
        const auto from = src[static_cast<std::size_t>(list[i] - 1)];
        auto to = dst[static_cast<std::size_t>(i)];
        for (int j = 0; j < nCols; ++j) to[j] = from[j];
    }
}

void PermuteRowsAndCols(int n, const int* list, const Matrix<double>& src, Matrix<double>& dst) {
    for (int i = 0; i < n; ++i) {
        const auto from = src[static_cast<std::size_t>(list[i] - 1)];
        auto to = dst[static_cast<std::size_t>(i)];
        for (int j = 0; j < n; ++j) to[j] = from[static_cast<std::size_t>(list[j] - 1)];
    }
}

void PrintList(std::ostream& fp, int n, const int* list) { PrintVectorTab(fp, n, list, nullptr); }

// ---- OTU-level matrices read through the drawn list ---------------------------

/// What every iteration reads and nobody writes: the dissimilarities the Rao
/// entropy takes from Sb and Sf (without the pair factors), and whether B, U
/// and Q hold missing values. One copy for all threads.
struct SharedOtuData {
    Matrix<double> deltaB, deltaF;  ///< nOTUs x nOTUs, -999.0 where the resemblance is missing
    bool missingB = false, missingU = false, missingQ = false;
    CompositionRows wRows, wfwRows;  ///< the rows of W and Wfw every product reads
    RaoRows raoRows;                 ///< the rows of W every Rao entropy reads
    /// Fixed community matrices whose upper triangles hold no missing value.
    std::vector<const Matrix<double>*> completeMatrices;
};

/// The dissimilarity of the Rao entropy for every pair of a resemblance matrix,
/// -999.0 where the resemblance is missing (the permuted triangle then reads
/// the resemblance itself only for the pairs whose dissimilarity is -999.0).
void RaoDelta(int n, const Matrix<double>& rese, bool isDissim, bool sqrtOpt, Matrix<double>& out) {
    out = dim2D<double>(n, n);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const double r = rese[i][j];
            if (r == kMissing) {
                out[i][j] = kMissing;
                continue;
            }
            const double d = isDissim ? r : 1.0 - r;
            out[i][j] = sqrtOpt ? std::sqrt(d) : d;
        }
}

int RaoPairFactor(const int* w, int i, int j, bool restrictWithin) {
    if (!w) return 1;
    if (restrictWithin) return w[i] * w[j];
    return (w[i] == 1 || w[j] == 1) ? 1 : 0;
}

/// Rao entropy of every community of W with the resemblance permuted by the
/// list (pair i, j reads OTUs list[i] - 1 and list[j] - 1): the pair values,
/// the terms, their order and their arithmetic are those of
/// RaoIndex_Weight_Matrix on the permuted matrix. The pair values of the
/// permuted matrix are gathered into the thread's own packed triangle, from
/// the square roots computed once per test.
void RaoPermuted(int m, int n, const Matrix<double>& W, const Matrix<double>& rese, const Matrix<double>& delta,
                 const int* list, double* out, const int* weights, bool restrictWithin, bool relative, RaoWork& work,
                 const RaoRows* prepared) {
    work.pairs.resize(n > 1 ? static_cast<std::size_t>(n) * static_cast<std::size_t>(n - 1) / 2 : 0);
    for (int i = 0; i < n; ++i) {
        const auto li = static_cast<std::size_t>(list[i] - 1);
        const double* d = delta.row(li);
        double* to = work.pairs.data() + RaoPairRowStart(n, i);
        for (int j = i + 1; j < n; ++j) {
            const int lj = list[j] - 1;
            const double v = d[lj];
            const bool missing = v == kMissing && rese[li][static_cast<std::size_t>(lj)] == kMissing;
            to[j - i - 1] = missing ? kMissing : RaoPairFactor(weights, i, j, restrictWithin) * v;
        }
    }
    RaoOfCommunities(m, n, W, work.pairs.data(), relative, out, work, prepared);
}

// ---- one iteration ----------------------------------------------------------

/// Computes every random statistic of one iteration from the record (with the
/// current data set), the statistics of the current data set (st) and the
/// drawn list. Depends on nothing else, so iterations can be evaluated in any
/// order with identical results.
void EvaluateIteration(const PermTest_FunctionalPhyl_Correl_Input& in, const FunctionalPhyl_Stats_Lib_Input& st,
                       const SharedOtuData& shared, const int* list, Workspace& w, IterationValues& out) {
    const int n = in.ncsm, nch = in.nch, nOTUs = in.nOTUs, nEnv = in.nEnv;
    const int type = in.opt_ro;
    const bool taxa = in.optTaxaSiteShuffle == 't';
    const bool phyl = in.includePhylogeny;
    const bool one = in.oneMatrixPermPartialCorr;
    const char method = in.opt_MatrixCorr;
    const bool sq = in.squareDistMatrixOpt;
    const int* weights = in.weight_OTUs.data();
    const Matrix<double>& E = *in.E;
    const Matrix<double>& Y = *in.Y;
    const auto& obs = st.stat;
    auto& v = out.v;
    MatrixCorrWork& mcw = w.lib.corr;
    w.mantel.Clear();
    const CommunityCorrelator corr{in, mcw, &w.mantel};
    const int* sel = in.relSelect.data();
    out.drewOtuLevel = taxa;

    // T family.
    if (taxa) {
        // Brnd (row i = B row list[i] - 1) is read through the list.
        MatrixProdSelectMV_Adjust_WeightRows(n, nOTUs, nch, *in.W, *in.B, list, shared.missingB, w.Trnd,
                                             in.chSelect.data(), weights, &shared.wRows);
        NormalizeColsSelectedRowsMV(n, nch, w.Trnd, w.Trnd, sel);
    } else {
        PermuteRows(n, list, *in.Tobs, w.Trnd, nch);
    }
    if (HasDistances(type)) EucliDistMV(n, nch, w.Trnd, w.DTrnd);
    if (type == 5) {
        for (int k = 0; k < nEnv; ++k) {
            w.pf.T[k] = PseudoF(n, w.DTrnd, st.envGroups.row(k), sel, w.lib.groups);
            for (int j = 0; j < nch; ++j) {
                if (in.chSelect[j] != 1) continue;
                EucliDistMVSelectOne(n, nch, w.Trnd, w.DTrait, j + 1);
                w.pf.traits[k][j] = PseudoF(n, w.DTrait, st.envGroups.row(k), sel, w.lib.groups);
            }
        }
    }

    // X and P family.
    if (taxa) {
        // Urnd and Qrnd likewise.
        MatrixProdSelectMV_Adjust_WeightRows(n, nOTUs, in.nTypes, *in.Wfw, *in.U, list, shared.missingU, w.Xrnd,
                                             nullptr, weights, in.restrictRaoWithinOpt, &shared.wfwRows);
        if (phyl)
            MatrixProdSelectMV_Adjust_WeightRows(n, nOTUs, in.nTaxa, *in.Wfw, *in.Q, list, shared.missingQ, w.Prnd,
                                                 nullptr, weights, in.restrictRaoWithinOpt, &shared.wfwRows);
    } else {
        PermuteRows(n, list, *in.Xobs, w.Xrnd, in.nTypes);
        if (phyl) PermuteRows(n, list, *in.Pobs, w.Prnd, in.nTaxa);
    }
    EucliDistMV(n, in.nTypes, w.Xrnd, w.DXrnd);
    if (phyl && HasDistances(type)) EucliDistMV(n, in.nTaxa, w.Prnd, w.DPrnd);
    if (type == 5) {
        for (int k = 0; k < nEnv; ++k) {
            w.pf.X[k] = PseudoF(n, w.DXrnd, st.envGroups.row(k), sel, w.lib.groups);
            if (phyl) w.pf.P[k] = PseudoF(n, w.DPrnd, st.envGroups.row(k), sel, w.lib.groups);
        }
    }

    // R, V and OTU-level family.
    if (taxa) {
        // Srnd (Sb with rows and columns in list order) and Sf_rnd are read
        // through the list.
        RaoPermuted(n, nOTUs, *in.W, *in.Sb, shared.deltaB, list, w.raoOut.data(), weights, in.restrictRaoWithinOpt,
                    st.raoByAbund, w.lib.rao, &shared.raoRows);
        for (int i = 0; i < n; ++i) w.Rrnd[i][0] = w.raoOut[i];
        if (phyl) {
            RaoPermuted(n, nOTUs, *in.W, *in.Sf, shared.deltaF, list, w.raoOut.data(), weights, in.restrictRaoWithinOpt,
                        st.raoByAbund, w.lib.rao, &shared.raoRows);
            for (int i = 0; i < n; ++i) w.RPhylRnd[i][0] = w.raoOut[i];
        }
        NNCRD(n, *in.DE, w.DXrnd, w.nncrdRnd.row(0));
        for (int i = 0; i < n; ++i) w.Vraw[i][0] = w.nncrdRnd[0][i];
        ResidualsOnRichness(n, w.Vraw, st.richnessCol, w.Vrnd, w.lib.regression);
    } else {
        for (int i = 0; i < n; ++i) {
            const auto from = static_cast<std::size_t>(list[i] - 1);
            w.Rrnd[i][0] = (*in.Robs)[from];
            if (phyl) w.RPhylRnd[i][0] = (*in.RPhylObs)[from];
            w.Vrnd[i][0] = (*in.nncrdObs)[1][from];
        }
    }
    if (HasDistances(type)) {
        AbsValFunctionMV(n, 1, w.Rrnd, w.DRrnd);
        AbsValFunctionMV(n, 1, w.Vrnd, w.DVrnd);
        if (phyl) AbsValFunctionMV(n, 1, w.RPhylRnd, w.DRaoPhylRnd);
    }
    // Correlations. With the Mantel form those sharing a first matrix are
    // computed together first; Mcl then finds them.
    const Matrix<double>& Tp = one ? st.T : w.Trnd;
    const Matrix<double>& DTp = one ? st.DT : w.DTrnd;
    const CovariateSet covTp{nch, in.chSelect.data(), &Tp};
    double XT = 0.0, XY_R = 0.0, XE_R = 0.0, XT_R = 0.0, TE_R = 0.0, TY_R = 0.0;
    if (IsCorrelationType(type)) {
        if (method == 'm') {
            // The random distances (Euclidean, absolute differences) are never
            // missing; the fixed matrices were checked once for the test.
            const Matrix<double>& DRp = one ? st.DR : w.DRrnd;
            w.mantel.complete = shared.completeMatrices;
            if (phyl) {
                w.mantel.Add(n, w.DTrnd, {in.DE, in.DY, &st.DP, &DRp}, true);
                w.mantel.Add(n, w.DXrnd, {in.DE, &DTp, in.DY, &st.DP, &DRp}, true);
                w.mantel.Add(n, w.DPrnd, {in.DE, &st.DT, &st.DX}, true);
                w.mantel.Add(n, w.DRaoPhylRnd, {in.DE}, true);
            } else {
                w.mantel.Add(n, w.DTrnd, {in.DE, in.DY, &DRp}, true);
                w.mantel.Add(n, w.DXrnd, {in.DE, &DTp, in.DY, &DRp}, true);
            }
            w.mantel.Add(n, w.DRrnd, {in.DE, in.DY}, true);
            w.mantel.Add(n, w.DVrnd, {in.DE, in.DY}, true);
        }
        v[kTE] = corr.Mcl(w.Trnd, nch, E, nEnv, w.DTrnd, *in.DE);
        v[kTY] = corr.Mcl(w.Trnd, nch, Y, nOTUs, w.DTrnd, *in.DY);
        v[kXE] = corr.Mcl(w.Xrnd, in.nTypes, E, nEnv, w.DXrnd, *in.DE);
        XT = corr.Mcl(w.Xrnd, in.nTypes, Tp, nch, w.DXrnd, DTp);
        v[kXY] = corr.Mcl(w.Xrnd, in.nTypes, Y, nOTUs, w.DXrnd, *in.DY);
        if (type == 2) {
            v[kXE_T] = corr.Pmc(w.Xrnd, in.nTypes, E, nEnv, {covTp});
            v[kXY_T] = corr.Pmc(w.Xrnd, in.nTypes, Y, nOTUs, {covTp});
        } else {
            v[kXE_T] = PartialCorrelation(v[kXE], XT, one ? obs[sTE] : v[kTE]);
            v[kXY_T] = PartialCorrelation(v[kXY], XT, one ? obs[sTY] : v[kTY]);
        }
        if (phyl) {
            const CovariateSet covT{nch, in.chSelect.data(), &st.T};
            const CovariateSet covX{in.nTypes, nullptr, &st.X};
            const CovariateSet covP{in.nTaxa, nullptr, &st.P};
            v[kPE] = corr.Mcl(w.Prnd, in.nTaxa, E, nEnv, w.DPrnd, *in.DE);
            v[kPT] = corr.Mcl(w.Prnd, in.nTaxa, st.T, nch, w.DPrnd, st.DT);
            v[kPX] = corr.Mcl(w.Prnd, in.nTaxa, st.X, in.nTypes, w.DPrnd, st.DX);
            if (type == 2) {
                v[kPE_T] = corr.Pmc(w.Prnd, in.nTaxa, E, nEnv, {covT});
                v[kPE_X] = corr.Pmc(w.Prnd, in.nTaxa, E, nEnv, {covX});
                v[kTE_P] = corr.Pmc(w.Trnd, nch, E, nEnv, {covP});
                v[kXE_P] = corr.Pmc(w.Xrnd, in.nTypes, E, nEnv, {covP});
                v[kPX_T] = corr.Pmc(w.Prnd, in.nTaxa, st.X, in.nTypes, {covT});
                v[kXE_TP] = corr.Pmc(w.Xrnd, in.nTypes, E, nEnv, {covTp, covP});
            } else {
                const double TP = corr.Mcl(w.Trnd, nch, st.P, in.nTaxa, w.DTrnd, st.DP);
                const double XP = corr.Mcl(w.Xrnd, in.nTypes, st.P, in.nTaxa, w.DXrnd, st.DP);
                v[kPE_T] = PartialCorrelation(v[kPE], v[kPT], obs[sTE]);
                v[kPE_X] = PartialCorrelation(v[kPE], v[kPX], obs[sXE]);
                v[kTE_P] = PartialCorrelation(v[kTE], TP, obs[sPE]);
                v[kXE_P] = PartialCorrelation(v[kXE], XP, obs[sPE]);
                v[kPX_T] = PartialCorrelation(v[kPX], v[kPT], obs[sXT]);
                const double XT_P = PartialCorrelation(XT, XP, one ? obs[sPT] : TP);
                v[kXE_TP] = PartialCorrelation(v[kXE_P], one ? obs[sTE_P] : v[kTE_P], XT_P);
            }
        }
    }
    if (IsCorrelationType(type)) {
        const Matrix<double>& Rp = one ? st.R : w.Rrnd;
        const Matrix<double>& DRp = one ? st.DR : w.DRrnd;
        v[kRE] = corr.Mcl(w.Rrnd, 1, E, nEnv, w.DRrnd, *in.DE);
        const double XR = corr.Mcl(w.Xrnd, in.nTypes, Rp, 1, w.DXrnd, DRp);
        const double TR = corr.Mcl(w.Trnd, nch, Rp, 1, w.DTrnd, DRp);
        v[kRY] = corr.Mcl(w.Rrnd, 1, Y, nOTUs, w.DRrnd, *in.DY);
        v[kVE] = corr.Mcl(w.Vrnd, 1, E, nEnv, w.DVrnd, *in.DE);
        v[kVY] = corr.Mcl(w.Vrnd, 1, Y, nOTUs, w.DVrnd, *in.DY);
        if (taxa) {
            // ro(BM) of Brnd and M with Srnd and M; ro(BF) of Bnorm and the
            // permuted axes with Sb and Sf_rnd (similarity forms).
            if (method == 'm') {
                const MantelSide sbRnd{in.Sb, list, false}, m{in.M, nullptr, false};
                if (phyl)
                    MantelSimilarityFormTwo(nOTUs, sbRnd, m, {in.Sb, nullptr, false}, {in.Sf, list, in.phylIsDissim},
                                            v[kBM], v[kBF]);
                else
                    v[kBM] = MantelSimilarityForm(nOTUs, *in.Sb, list, false, *in.M, nullptr, false);
            } else if (method == 'p' || method == 'v') {
                // These read the raw matrices only.
                PermuteRows(nOTUs, list, *in.B, w.Brnd, nch);
                v[kBM] = MatrixCorrelationLib(nOTUs, nch, nOTUs, w.Brnd, *in.M, *in.M, *in.M, sq, method, mcw);
                if (phyl) {
                    PermuteRows(nOTUs, list, *in.phylAxes, w.axesRnd, in.nPhylAxes);
                    v[kBF] = MatrixCorrelationLib(nOTUs, nch, in.nPhylAxes, st.Bnorm, w.axesRnd, *in.Sb, *in.Sb, sq,
                                                  method, mcw);
                }
            } else {
                PermuteRows(nOTUs, list, *in.B, w.Brnd, nch);
                PermuteRowsAndCols(nOTUs, list, *in.Sb, w.Srnd);
                v[kBM] = MatrixCorrelationLib(nOTUs, nch, nOTUs, w.Brnd, *in.M, w.Srnd, *in.M, false, false, sq, method,
                                              mcw);
                if (phyl) {
                    PermuteRows(nOTUs, list, *in.phylAxes, w.axesRnd, in.nPhylAxes);
                    PermuteRowsAndCols(nOTUs, list, *in.Sf, w.SfRnd);
                    v[kBF] = MatrixCorrelationLib(nOTUs, nch, in.nPhylAxes, st.Bnorm, w.axesRnd, *in.Sb, w.SfRnd, false,
                                                  in.phylIsDissim, sq, method, mcw);
                }
            }
        }
        if (phyl) v[kFE] = corr.Mcl(w.RPhylRnd, 1, E, nEnv, w.DRaoPhylRnd, *in.DE);
        if (type == 2) {
            const CovariateSet covRp{1, nullptr, &Rp};
            v[kXE_TR] = corr.Pmc(w.Xrnd, in.nTypes, E, nEnv, {covTp, covRp});
            v[kXY_TR] = corr.Pmc(w.Xrnd, in.nTypes, Y, nOTUs, {covTp, covRp});
        } else if (one) {
            XE_R = PartialCorrelation(v[kXE], XR, obs[sRE]);
            XT_R = PartialCorrelation(XT, XR, obs[sTR]);
            v[kXE_TR] = PartialCorrelation(XE_R, XT_R, obs[sTE_R]);
            XY_R = PartialCorrelation(v[kXY], XR, obs[sRY]);
            v[kXY_TR] = PartialCorrelation(XY_R, XT_R, obs[sTY_R]);
        } else {
            XE_R = PartialCorrelation(v[kXE], XR, v[kRE]);
            TE_R = PartialCorrelation(v[kTE], TR, v[kRE]);
            XT_R = PartialCorrelation(XT, XR, TR);
            v[kXE_TR] = PartialCorrelation(XE_R, XT_R, TE_R);
            XY_R = PartialCorrelation(v[kXY], XR, v[kRY]);
            TY_R = PartialCorrelation(v[kTY], TR, v[kRY]);
            v[kXY_TR] = PartialCorrelation(XY_R, XT_R, TY_R);
        }
        out.xt = XT;
        out.xr = XR;
        out.tr = TR;
        out.xe_r = XE_R;
        out.te_r = TE_R;
        out.xt_r = XT_R;
    } else if (type == 5) {
        for (int k = 0; k < nEnv; ++k) {
            w.pf.R[k] = PseudoF(n, w.DRrnd, st.envGroups.row(k), sel, w.lib.groups);
            if (phyl) w.pf.RPhyl[k] = PseudoF(n, w.DRaoPhylRnd, st.envGroups.row(k), sel, w.lib.groups);
        }
    }

    // Regression of the random community means and diversities on E.
    if (type == 4) {
        for (int i = 0; i < n; ++i) {
            w.Trnd[i][nch] = w.Rrnd[i][0];
            if (phyl) w.Trnd[i][nch + 1] = w.RPhylRnd[i][0];
        }
        regression(n, nch + st.nDivCols, nEnv, w.Trnd, E, w.regrCoeff, w.regrB0.data(), w.regrFitted, w.regrR2.data(),
                   nullptr, false, nullptr, 0, false, w.lib.regression);
    }
}

}  // namespace

double Pvalue(int n, const double* values, double observed, double centre, int tail) {
    auto upper = [&] {
        int c = 0;
        for (int i = 0; i < n; ++i) c += IsLargerThanOrEqual(values[i], observed, 1, false) ? 1 : 0;
        return (1.0 + c) / (n + 1.0);
    };
    auto lower = [&] {
        int c = 0;
        for (int i = 0; i < n; ++i) c += IsLargerThanOrEqual(observed, values[i], 1, false) ? 1 : 0;
        return (1.0 + c) / (n + 1.0);
    };
    switch (tail) {
        case 1:
            return upper();
        case -1:
            return lower();
        case 0:
            return observed >= centre ? 2.0 * upper() : 2.0 * lower();
        default:
            std::cerr << "Undefined one- or two-sided option in function P-value!\n";
            throw FatalError{FatalCode::Stop};
    }
}

void GetData(int nRows, int nSample, int nCols, int* nColsOut, const Matrix<double>& source,
             Matrix<double>& destination, const int* list, int mode) {
    for (int i = 0; i < nRows; ++i)
        for (int j = 0; j < nCols; ++j) destination[i][j] = 0.0;
    if (mode != 1) {
        for (int j = 0; j < nCols; ++j)
            for (int i = 0; i < nSample; ++i) destination[i][j] = source[static_cast<std::size_t>(list[i] - 1)][j];
        return;
    }
    int out = 0;
    for (int j = 0; j < nCols; ++j) {
        bool present = false;
        for (int i = 0; i < nSample && !present; ++i) present = source[static_cast<std::size_t>(list[i] - 1)][j] != 0.0;
        if (!present) continue;
        for (int i = 0; i < nSample; ++i) destination[i][out] = source[static_cast<std::size_t>(list[i] - 1)][j];
        ++out;
    }
    if (nColsOut) *nColsOut = out;
}

namespace {

/// Writes an iteration's intermediate results with the running counters
/// (formatted "%g") in their places.
void WritePrinted(std::ostream& f, const PrintedIteration& printed, const Tally& t) {
    const std::string_view text = printed.text.view();
    std::size_t from = 0;
    for (const auto& [at, stat] : printed.holes) {
        f.write(text.data() + from, static_cast<std::streamsize>(at - from));
        f << Fmt("%g", t.count[static_cast<std::size_t>(stat)]);
        from = at;
    }
    f.write(text.data() + from, static_cast<std::streamsize>(text.size() - from));
}

/// Intermediate results of one iteration, family by family, appended to its
/// text by the thread that evaluated it. The running counters are known only
/// when the iteration is counted, in order: their places are kept and they are
/// filled in when the text is written (WritePrinted).
void PrintIteration(const PermTest_FunctionalPhyl_Correl_Input& in, const Workspace& w, const int* list, int it,
                    const IterationValues& r, PrintedIteration& out) {
    std::ostream& f = out.text;
    auto count = [&f, &out](int stat) { out.holes.push_back({static_cast<std::size_t>(f.tellp()), stat}); };
    const int n = in.ncsm, nch = in.nch;
    const bool taxa = in.optTaxaSiteShuffle == 't';
    const bool type1 = in.opt_ro == 1;
    const auto& v = r.v;
    const int listLen = taxa ? in.nOTUs : n;
    auto Heading = [&] { f << Fmt("\n\nITERATION\t%d\n", it); };
    auto Matrix6 = [&](int rows, int cols, const Matrix<double>& m) { PrintMatrixTab(f, rows, cols, m, 6); };

    if (taxa) {
        Heading();
        f << "Permuted trait matrix (Brnd):\n";
        Matrix6(in.nOTUs, nch, w.Brnd);
        f << "\nOrder of original OTUs in permuted traits matrix Brnd:\t";
        PrintList(f, listLen, list);
        f << Fmt("\n\nMatrix Trnd (%d communities by %d traits) generated after Brnd (Trnd = W x Brnd):\n", n, nch);
    } else {
        f << "\nOrder of original communities in permuted traits matrix Trnd:\t";
        PrintList(f, listLen, list);
        f << Fmt("\n\nMatrix Trnd (%d communities by %d traits) permuted by site shuffle:\n", n, nch);
    }
    Matrix6(n, nch, w.Trnd);
    if (type1) {
        f << Fmt("\nResemblance matrix DT between %d communities:\n", n);
        PrintUpperAsLowerHalf(f, n, w.DTrnd);
    }
    f << Fmt("\nIteration %d\tRandom ro(TE) =\t%g\tCummulative frequency for ro(TE)=", it, v[kTE]);
    count(kTE);
    f << '\n';

    Heading();
    if (taxa) {
        f << "Permuted belonging matrix (Urnd) based on traits:\n";
        Matrix6(in.nOTUs, in.nTypes, w.Urnd);
        f << "\nOrder of original OTUs in permuted belongin matrix Urnd:\t";
        PrintList(f, listLen, list);
        f << Fmt("\n\nMatrix Xrnd (%d communities by %d PFTs) generated after Urnd (Xrnd = W x Urnd):\n", n, in.nTypes);
    } else {
        f << "\nOrder of original communities in permuted matrix Xrnd:\t";
        PrintList(f, listLen, list);
        f << Fmt("\n\nMatrix Xrnd (%d communities by %d PFTs) generated by site shuffle:\n", n, in.nTypes);
    }
    Matrix6(n, in.nTypes, w.Xrnd);
    if (type1) {
        f << Fmt("\nResemblance matrix DX between %d communities:\n", n);
        PrintUpperAsLowerHalf(f, n, w.DXrnd);
    }
    f << Fmt(
        "\nIteration %d\tRandom ro(XT) =\t%g\tRandom ro(XE) =\t%g\tRandom ro(XE.T) =\t%g\tCummulative frequency "
        "for ro(XE)=",
        it, r.xt, v[kXE], v[kXE_T]);
    count(kXE);
    f << "\tCummulative frequency for ro(XE.T)=";
    count(kXE_T);
    f << '\n';

    if (in.includePhylogeny) {
        if (taxa) {
            f << "Permuted belonging matrix (Qrnd) based on phylogeny:\n";
            Matrix6(in.nOTUs, in.nTaxa, w.Qrnd);
            f << "\nOrder of original OTUs in permuted belongin matrix Qrnd:\t";
            PrintList(f, listLen, list);
            f << Fmt("\n\nMatrix Prnd (%d communities by %d taxa) generated after Qrnd (Prnd = W x Qrnd):\n", n,
                     in.nTaxa);
        } else {
            Heading();
            f << "\nOrder of original communities in permuted matrix Prnd:\t";
            PrintList(f, listLen, list);
            f << Fmt("\n\nMatrix Prnd (%d communities by %d taxa) generated site shuffle:\n", n, in.nTaxa);
        }
        Matrix6(n, in.nTaxa, w.Prnd);
        if (type1) {
            f << Fmt("\nResemblance matrix DP between %d communities:\n", n);
            PrintUpperAsLowerHalf(f, n, w.DPrnd);
        }
        f << Fmt("\nIteration %d\tRandom values and cummulative frequencies for the following:\n ro(PE) =\t%g\t", it,
                 v[kPE]);
        count(kPE);
        const std::pair<const char*, int> rest[] = {{"PT", kPT},     {"PX", kPX},     {"PX.T", kPX_T},
                                                    {"TE.P", kTE_P}, {"XE.P", kXE_P}, {"XE.TP", kXE_TP},
                                                    {"PE.T", kPE_T}, {"PE.X", kPE_X}};
        for (const auto& [label, stat] : rest) {
            f << Fmt("\nRandom ro(%s) =\t%g\t", label, v[stat]);
            count(stat);
        }
        f << '\n';
    }

    Heading();
    if (taxa) {
        f << "Permuted similarity matrix (Srnd):\n";
        Matrix6(in.nOTUs, in.nOTUs, w.Srnd);
        f << "\nOrder of original OTUs in permuted similarity matrix Srnd:\t";
        PrintList(f, listLen, list);
        f << Fmt("\n\nRao entropy vector Rrnd (%d communities) generated after Srnd:\n", n);
    } else {
        f << "\nOrder of original OTUs in permuted Rao diversity vector:\t";
        PrintList(f, listLen, list);
        f << Fmt("\n\nRao entropy vector Rrnd (%d communities) generated by site shuffle:\n", n);
    }
    PrintColumnAsRow(f, n, w.Rrnd);
    f << Fmt(
        "\n\nNull model-based residuals of community contributions for beta diversity (NNCRD: Nearest-Neighbour "
        "Cross-Referenced Distance based on X (target) referenced on E) after controlling for OTU richness (%d "
        "communities):\n",
        n);
    PrintColumnAsRow(f, n, w.Vrnd);
    if (type1) {
        f << Fmt("\nResemblance matrix DR between %d communities:\n", n);
        PrintUpperAsLowerHalf(f, n, w.DRrnd);
        f << Fmt("\nResemblance matrix DV between %d communities:\n", n);
        PrintUpperAsLowerHalf(f, n, w.DVrnd);
    }
    f << Fmt(
        "\nIteration %d\tRandom ro(RE) =\t%g\tRandom ro(XR) =\t%g\tRandom ro(TR) =\t%g\tRandom ro(XE.R) =\t%g\t"
        "Random ro(TE.R) =\t%g\tRandom ro(XT.R) =\t%g\tRandom ro(XE.TR) =\t%g\tRandom ro(RY) =\t%g\tRandom "
        "ro(VE) =\t%g\tRandom ro(VY) =\t%g\tRandom ro(BM) =\t%g\tCummulative frequency for ro(RE)=\t",
        it, v[kRE], r.xr, r.tr, r.xe_r, r.te_r, r.xt_r, v[kXE_TR], v[kRY], v[kVE], v[kVY], v[kBM]);
    count(kRE);
    for (const auto& [label, stat] : {std::pair{"XE.TR", kXE_TR}, std::pair{"VE", kVE}, std::pair{"RY", kRY},
                                      std::pair{"VY", kVY}, std::pair{"BM", kBM}}) {
        f << Fmt("\tCummulative frequency for ro(%s)=\t", label);
        count(stat);
    }
    f << '\n';

    if (in.includePhylogeny) {
        if (taxa) {
            f << "Permuted phylogenetic similarity matrix (Sf_rnd):\n";
            Matrix6(in.nOTUs, in.nOTUs, w.SfRnd);
            f << "\nOrder of original OTUs in permuted similarity matrix Sf_rnd:\t";
            PrintList(f, listLen, list);
            f << Fmt("\n\nRao entropy vector Rrnd (%d communities) generated after Sf_rnd:\n", n);
        } else {
            f << "\nOrder of original communities in permuted phylogenetic diversity vector:\t";
            PrintList(f, listLen, list);
            f << Fmt("\n\nRao entropy vector Rrnd (%d communities) generated by site shuffle:\n", n);
        }
        PrintColumnAsRow(f, n, w.RPhylRnd);
        if (type1) {
            f << Fmt("\nResemblance matrix DR between %d communities:\n", n);
            PrintUpperAsLowerHalf(f, n, w.DRaoPhylRnd);
        }
        f << Fmt("\nIteration %d\tRandom ro(FE) =\t%g\tCummulative frequency for ro(FE)=", it, v[kFE]);
        count(kFE);
        f << '\n';
    }
}

/// Median, the 0.15865 / 0.84135 and 0.025 / 0.975 quantiles of m sorted values.
struct Summary {
    double median = 0, q16 = 0, q84 = 0, q025 = 0, q975 = 0;
};
Summary Summarise(double* values, int m) {
    gsl_sort(values, 1, static_cast<std::size_t>(m));
    Summary s;
    s.median = gsl_stats_median_from_sorted_data(values, 1, static_cast<std::size_t>(m));
    s.q16 = gsl_stats_quantile_from_sorted_data(values, 1, static_cast<std::size_t>(m), 0.15865);
    s.q84 = gsl_stats_quantile_from_sorted_data(values, 1, static_cast<std::size_t>(m), 0.84135);
    s.q025 = gsl_stats_quantile_from_sorted_data(values, 1, static_cast<std::size_t>(m), 0.025);
    s.q975 = gsl_stats_quantile_from_sorted_data(values, 1, static_cast<std::size_t>(m), 0.975);
    return s;
}

/// The permuted OTU-level matrices the intermediate results show.
void FillPrintedCopies(const PermTest_FunctionalPhyl_Correl_Input& in, const int* list, Workspace& w) {
    const int nOTUs = in.nOTUs;
    PermuteRows(nOTUs, list, *in.B, w.Brnd, in.nch);
    PermuteRows(nOTUs, list, *in.U, w.Urnd, in.nTypes);
    PermuteRowsAndCols(nOTUs, list, *in.Sb, w.Srnd);
    if (in.includePhylogeny) {
        PermuteRows(nOTUs, list, *in.Q, w.Qrnd, in.nTaxa);
        PermuteRowsAndCols(nOTUs, list, *in.Sf, w.SfRnd);
        PermuteRows(nOTUs, list, *in.phylAxes, w.axesRnd, in.nPhylAxes);
    }
}

/// The OTU-level matrices an iteration forms: with the Mantel form (and the
/// statistic types without correlations) none, they are read through the list;
/// Procrustes and RV need the permuted raw matrices; the Rd form and the
/// intermediate results the permuted resemblance matrices as well.
void SizeWorkspace(const PermTest_FunctionalPhyl_Correl_Input& in, Workspace& w) {
    const int n = in.ncsm, nOTUs = in.nOTUs;
    const bool taxa = in.optTaxaSiteShuffle == 't';
    const char method = in.opt_MatrixCorr;
    const bool correlations = in.opt_ro >= 1 && in.opt_ro <= 3;
    const bool print = in.printIntermPermResults && in.rndFile;
    const bool raw = print || (correlations && method != 'm');
    const bool resemblance = print || (correlations && method != 'm' && method != 'p' && method != 'v');
    if (taxa) {
        if (raw) w.Brnd = dim2D<double>(nOTUs, in.nch);
        if (print) w.Urnd = dim2D<double>(nOTUs, in.nTypes);
        if (resemblance) w.Srnd = dim2D<double>(nOTUs, nOTUs);
        if (in.includePhylogeny) {
            if (print) w.Qrnd = dim2D<double>(nOTUs, in.nTaxa);
            if (resemblance) w.SfRnd = dim2D<double>(nOTUs, nOTUs);
            if (raw) w.axesRnd = dim2D<double>(nOTUs, in.nPhylAxes);
        }
    }
    w.Trnd = dim2D<double>(n, in.nch + 2);
    w.Xrnd = dim2D<double>(n, in.nTypes);
    w.Prnd = dim2D<double>(n, in.includePhylogeny ? in.nTaxa : 0);
    w.DTrnd = dim2D<double>(n, n);
    w.DXrnd = dim2D<double>(n, n);
    w.DPrnd = dim2D<double>(n, n);
    w.DTrait = dim2D<double>(n, n);
    w.Rrnd = dim2D<double>(n, 1);
    w.RPhylRnd = dim2D<double>(n, 1);
    w.Vrnd = dim2D<double>(n, 1);
    w.Vraw = dim2D<double>(n, 1);
    w.nncrdRnd = dim2D<double>(1, n);
    w.DRrnd = dim2D<double>(n, n);
    w.DVrnd = dim2D<double>(n, n);
    w.DRaoPhylRnd = dim2D<double>(n, n);
    w.raoOut.assign(static_cast<std::size_t>(n), 0.0);
    if (taxa && nOTUs > 1)
        w.lib.rao.pairs.assign(static_cast<std::size_t>(nOTUs) * static_cast<std::size_t>(nOTUs - 1) / 2, 0.0);
    const int nResp = in.nch + 1 + (in.includePhylogeny ? 1 : 0);
    if (in.opt_ro == 4) {
        w.regrCoeff = dim2D<double>(in.nEnv, nResp);
        w.regrFitted = dim2D<double>(n, in.nch + 2);
        w.regrB0.assign(static_cast<std::size_t>(nResp), 0.0);
        w.regrR2.assign(static_cast<std::size_t>(nResp), 0.0);
    }
    if (in.opt_ro == 5) {
        for (auto* v : {&w.pf.X, &w.pf.T, &w.pf.P, &w.pf.R, &w.pf.RPhyl})
            v->assign(static_cast<std::size_t>(in.nEnv), 0.0);
        w.pf.traits = dim2D<double>(in.nEnv, in.nch);
    }
}

}  // namespace

namespace {

/// Everything one thread needs to evaluate iterations: its work matrices and,
/// with bootstrap, its own sample of the communities and its statistics.
struct ThreadArea {
    Workspace w;
    PermTest_FunctionalPhyl_Correl_Input cur;
    Matrix<double> bWfw, bW, bY, bE, bDE, bDY;
    FunctionalPhyl_Stats_Lib_Input st;
};

/// One iteration's results, kept until they are counted in iteration order.
struct IterationResult {
    IterationValues values;
    // The statistics the random ones are compared with: with bootstrap those of
    // the iteration's sample (otherwise the observed ones are used directly).
    std::array<double, kNumStatSlots> against{};
    std::vector<double> againstR2, againstCoeff;
    PseudoFSet againstPF;
    std::array<double, kNumTestedStats> boot{};
    // Random values of types 4 and 5.
    std::vector<double> regrR2, regrCoeff;
    PseudoFSet pf;
    PrintedIteration printed;  ///< with intermediate results
};

void SizeResult(const PermTest_FunctionalPhyl_Correl_Input& in, int nResp, IterationResult& r) {
    const auto nEnv = static_cast<std::size_t>(in.nEnv);
    if (in.opt_ro == 4) {
        r.regrR2.assign(static_cast<std::size_t>(nResp), 0.0);
        r.regrCoeff.assign(nEnv * static_cast<std::size_t>(nResp), 0.0);
        if (in.doBootstrapOpt) {
            r.againstR2 = r.regrR2;
            r.againstCoeff = r.regrCoeff;
        }
    }
    if (in.opt_ro == 5) {
        for (PseudoFSet* set : {&r.pf, &r.againstPF}) {
            for (auto* v : {&set->X, &set->T, &set->P, &set->R, &set->RPhyl}) v->assign(nEnv, 0.0);
            set->traits = dim2D<double>(in.nEnv, in.nch);
        }
    }
}

void CopyPseudoF(const PseudoFSet& from, PseudoFSet& to) {
    std::copy(from.X.begin(), from.X.end(), to.X.begin());
    std::copy(from.T.begin(), from.T.end(), to.T.begin());
    std::copy(from.P.begin(), from.P.end(), to.P.begin());
    std::copy(from.R.begin(), from.R.end(), to.R.begin());
    std::copy(from.RPhyl.begin(), from.RPhyl.end(), to.RPhyl.begin());
    for (std::size_t k = 0; k < from.traits.rows(); ++k)
        std::copy(from.traits[k].begin(), from.traits[k].end(), to.traits[k].begin());
}

/// Size of the machine's memory (infinite when unknown).
double PhysicalMemoryBytes() {
    const long pages = sysconf(_SC_PHYS_PAGES), size = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || size <= 0) return std::numeric_limits<double>::infinity();
    return static_cast<double>(pages) * static_cast<double>(size);
}

/// Draws of one block of iterations are this many per thread: the threads meet
/// once per block, so on a busy machine few meetings matter more than the
/// memory of the lists (a block of 10,000-OTU lists is a few megabytes).
constexpr int kIterationsPerThread = 64;
/// With intermediate results, whose texts wait in memory until they are written.
constexpr int kPrintedIterationsPerThread = 4;

}  // namespace

bool PermTest_FunctionalPhyl_Correl(PermTest_FunctionalPhyl_Correl_Input& in) {
    if (in.niter < 3) return false;  // no quantiles nor effect sizes below three
    const int n = in.ncsm, nOTUs = in.nOTUs, niter = in.niter, m = niter - 1;
    const int type = in.opt_ro;
    const bool taxa = in.optTaxaSiteShuffle == 't';
    const bool phyl = in.includePhylogeny;
    const bool print = in.printIntermPermResults && in.rndFile;
    // Sizes computed in std::size_t: niter + 8 columns overflow an int near INT_MAX.
    const std::size_t nCols = static_cast<std::size_t>(niter) + 8;
    const auto col = [niter](int offset) { return static_cast<std::size_t>(niter) + static_cast<std::size_t>(offset); };

    // The random values of every statistic are kept for the quantiles: a count
    // of iterations whose values cannot be held ends through the out-of-memory
    // path before anything is computed.
    const double valueBytes = static_cast<double>(kNumTestedStats) * static_cast<double>(nCols) * sizeof(double) *
                              (in.doBootstrapOpt ? 2.0 : 1.0);
    if (valueBytes > PhysicalMemoryBytes()) OutOfMemory();

    // Set-up.
    if (type == 2) in.opt_MatrixCorr = 'p';
    if (type == 3) in.opt_MatrixCorr = 'v';
    FunctionalPhyl_Stats_Lib_Input st;
    st.Allocate(in);

    // The list the null model permutes.
    std::vector<int> list;
    const bool weighted = taxa && in.optWeightedNullModel;
    if (weighted) {
        for (int i = 0; i < n; ++i)
            for (int k = 0; k < nOTUs; ++k)
                if ((*in.Wfw)[i][k] > 0) list.push_back(k + 1);
    }
    // Fewer presences than OTUs leave the weighted draw undefined: draw unweighted.
    const bool drawWeighted = weighted && static_cast<int>(list.size()) >= nOTUs;
    if (!drawWeighted) {
        list.resize(static_cast<std::size_t>(taxa ? nOTUs : n));
        for (std::size_t i = 0; i < list.size(); ++i) list[i] = static_cast<int>(i) + 1;
    }
    // An iteration reads the first listLen entries of the drawn list.
    const int listLen = taxa ? nOTUs : n;
    std::vector<int> eligible(static_cast<std::size_t>(nOTUs), 0);
    for (int i = 0; i < nOTUs; ++i)
        for (int j = 0; j < in.nTypes && j < nOTUs && !eligible[i]; ++j)
            if (in.weight_OTUs[j] == 1 && (*in.U)[i][j] != kMissing) eligible[i] = 1;

    // Observed statistics.
    FunctionalPhyl_Stats_Lib(in, st);
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < in.nch; ++j) (*in.Tobs)[i][j] = st.T[i][j];
        for (int j = 0; j < in.nTypes; ++j) (*in.Xobs)[i][j] = st.X[i][j];
        if (phyl && in.Pobs)
            for (int j = 0; j < in.nTaxa; ++j) (*in.Pobs)[i][j] = st.P[i][j];
        (*in.Robs)[i] = st.R[i][0];
        if (phyl && in.RPhylObs) (*in.RPhylObs)[i] = st.RPhyl[i][0];
        (*in.nncrdObs)[0][i] = st.nncrd[0][i];
        (*in.nncrdObs)[1][i] = st.V[i][0];
    }
    // The loop reads st but never evaluates with its work areas again.
    if (!in.doBootstrapOpt) st.work = FunctionalStatsWork{};

    Matrix<double> work(kNumTestedStats, nCols);
    Matrix<double> bootWork = in.doBootstrapOpt ? Matrix<double>(kNumTestedStats, nCols) : Matrix<double>();
    for (int s = 0; s < kNumTestedStats; ++s) {
        in.obs[s] = st.stat[kTestedStatSlot[s]];
        work[s][col(3)] = in.obs[s];
    }

    const int nResp = in.nch + st.nDivCols;
    Tally main, regrR2, regrCoeff, pfT, pfX, pfP, pfR, pfRPhyl, pfTraits;
    main.Reset(kNumTestedStats);
    if (type == 4) {
        in.regrResults->Allocate(nResp, in.nEnv);
        in.regrResults->obs.rSquare = st.regr.rSquare;
        in.regrResults->obs.coeff = st.regr.coeff;
        in.regrResults->intercept = st.regrIntercept;
        regrR2.Reset(static_cast<std::size_t>(nResp));
        regrCoeff.Reset(static_cast<std::size_t>(nResp) * in.nEnv);
    }
    if (type == 5) {
        in.pseudoFResults->Allocate(in.nEnv, in.nch);
        in.pseudoFResults->obs.X = st.pseudoF.X;
        in.pseudoFResults->obs.T = st.pseudoF.T;
        in.pseudoFResults->obs.P = st.pseudoF.P;
        in.pseudoFResults->obs.R = st.pseudoF.R;
        in.pseudoFResults->obs.RPhyl = st.pseudoF.RPhyl;
        in.pseudoFResults->obs.traits = st.pseudoF.traits;
        for (Tally* t : {&pfT, &pfX, &pfP, &pfR, &pfRPhyl}) t->Reset(static_cast<std::size_t>(in.nEnv));
        pfTraits.Reset(static_cast<std::size_t>(in.nEnv) * in.nch);
    }
    ModelNullValues* mv = in.modelNullValues;
    if (mv != nullptr) {
        *mv = ModelNullValues{};
        const auto mc = static_cast<std::size_t>(m), ne = static_cast<std::size_t>(in.nEnv);
        if (type == 4) {
            mv->rSquare.assign(static_cast<std::size_t>(nResp), mc);
            mv->coeff.assign(ne * static_cast<std::size_t>(nResp), mc);
        }
        if (type == 5) {
            for (Matrix<double>* x : {&mv->X, &mv->T, &mv->R}) x->assign(ne, mc);
            if (phyl)
                for (Matrix<double>* x : {&mv->P, &mv->RPhyl}) x->assign(ne, mc);
            mv->traits.assign(ne * static_cast<std::size_t>(in.nch), mc);
        }
    }

    // What every thread reads: the OTU-level data the permuted matrices are
    // read from instead of being formed.
    SharedOtuData shared;
    for (const Matrix<double>* fixed :
         std::initializer_list<const Matrix<double>*>{in.DE, in.DY, &st.DT, &st.DX, &st.DP, &st.DR}) {
        const auto size = static_cast<std::size_t>(n);
        if (fixed && fixed->rows() >= size && fixed->cols() >= size && !AnyInUpper(n, fixed->rowTable(), kMissing))
            shared.completeMatrices.push_back(fixed);
    }
    if (taxa) {
        RaoDelta(nOTUs, *in.Sb, false, in.sqrtDissimOpt_RaoTraits, shared.deltaB);
        if (phyl) RaoDelta(nOTUs, *in.Sf, in.phylIsDissim, in.sqrtDissimOpt_RaoPhyl, shared.deltaF);
        shared.missingB = HasMissingValue(nOTUs, in.nch, *in.B);
        // Bootstrap samples have rows of their own.
        if (!in.doBootstrapOpt) {
            shared.wRows.Build(n, nOTUs, *in.W);
            shared.wfwRows.Build(n, nOTUs, *in.Wfw);
            shared.raoRows.Build(n, nOTUs, *in.W, st.raoByAbund);
        }
        shared.missingU = HasMissingValue(nOTUs, in.nTypes, *in.U);
        if (phyl) shared.missingQ = HasMissingValue(nOTUs, in.nTaxa, *in.Q);
    }

    // Threads and their work areas, allocated once. With intermediate results
    // every iteration's text waits in memory until it is written in order:
    // smaller blocks.
    const int nThreads = std::max(1, std::min(omp_get_max_threads(), m));
    const int block = std::min(m, nThreads * (print ? kPrintedIterationsPerThread : kIterationsPerThread));
    std::vector<ThreadArea> areas(static_cast<std::size_t>(nThreads));
    for (ThreadArea& a : areas) {
        SizeWorkspace(in, a.w);
        a.cur = in;
        if (in.doBootstrapOpt) {
            a.bWfw = *in.Wfw;
            a.bW = *in.W;
            a.bY = *in.Y;
            a.bE = *in.E;
            a.bDE = *in.DE;
            a.bDY = *in.DY;
            a.cur.Wfw = &a.bWfw;
            a.cur.W = &a.bW;
            a.cur.Y = &a.bY;
            a.cur.E = &a.bE;
            a.cur.DE = &a.bDE;
            a.cur.DY = &a.bDY;
            a.st.Allocate(in);
        }
    }
    // The lists of one block, drawn in iteration order before the block runs.
    std::vector<int> blockLists(static_cast<std::size_t>(block) * static_cast<std::size_t>(listLen));
    std::vector<int> bootLists(in.doBootstrapOpt ? static_cast<std::size_t>(block) * static_cast<std::size_t>(n) : 0);
    std::vector<IterationResult> results(static_cast<std::size_t>(block));
    for (IterationResult& r : results) SizeResult(in, nResp, r);

    std::atomic<int> done{0};
    char progress[64];
    for (int first = 0; first < m; first += block) {
        const int count = std::min(block, m - first);
        for (int b = 0; b < count; ++b) {
            if (in.doBootstrapOpt) RndListBootstrap(*in.rnd, n, bootLists.data() + static_cast<std::size_t>(b) * n);
            // The null-model draw, in the specified order.
            if (taxa) {
                if (drawWeighted)
                    RndListSpecified(*in.rnd, static_cast<int>(list.size()), list.data());
                else if (in.optRestrictPermutNullModel == 1)
                    RndListNestedNew(*in.rnd, nOTUs, in.nestingMembershipOTUs.data(), 1, list.data());
                else
                    RndListSelect(*in.rnd, nOTUs, list.data(), eligible.data());
            } else if (type == 5) {
                RndListSelect(*in.rnd, n, list.data(), in.relSelect.data());
            } else {
                RndListSpecified(*in.rnd, n, list.data());
            }
            std::copy(list.begin(), list.begin() + listLen,
                      blockLists.begin() + static_cast<std::ptrdiff_t>(b) * listLen);
        }

        // Each iteration is a pure function of the record, the statistics it is
        // compared with and its lists, so the threads may take them in any order.
        std::exception_ptr failure;
#pragma omp parallel for schedule(dynamic, 1) num_threads(nThreads)
        for (int b = 0; b < count; ++b) {
            try {
                ThreadArea& a = areas[static_cast<std::size_t>(omp_get_thread_num())];
                IterationResult& r = results[static_cast<std::size_t>(b)];
                if (print) {
                    // The iteration's text: with bootstrap, the statistics of
                    // its sample first, then the random data set.
                    r.printed.text.str("");
                    r.printed.holes.clear();
                    a.cur.rndFile = &r.printed.text;
                }
                const FunctionalPhyl_Stats_Lib_Input* against = &st;
                if (in.doBootstrapOpt) {
                    const int* bl = bootLists.data() + static_cast<std::size_t>(b) * n;
                    GetData(n, n, nOTUs, nullptr, *in.Wfw, a.bWfw, bl, 0);
                    GetData(n, n, nOTUs, nullptr, *in.W, a.bW, bl, 0);
                    GetData(n, n, nOTUs, nullptr, *in.Y, a.bY, bl, 0);
                    GetData(n, n, in.nEnv, nullptr, *in.E, a.bE, bl, 0);
                    PermuteRowsAndCols(n, bl, *in.DE, a.bDE);
                    PermuteRowsAndCols(n, bl, *in.DY, a.bDY);
                    // The richness belongs to the sampled communities too.
                    for (int i = 0; i < n; ++i) a.cur.richness[i] = in.richness[static_cast<std::size_t>(bl[i] - 1)];
                    FunctionalPhyl_Stats_Lib(a.cur, a.st);
                    for (int s = 0; s < kNumTestedStats; ++s) r.boot[s] = a.st.stat[kTestedStatSlot[s]];
                    r.against = a.st.stat;
                    if (type == 4) {
                        std::copy(a.st.regr.rSquare.begin(), a.st.regr.rSquare.end(), r.againstR2.begin());
                        for (int k = 0; k < in.nEnv; ++k)
                            for (int q = 0; q < nResp; ++q)
                                r.againstCoeff[static_cast<std::size_t>(k) * nResp + q] = a.st.regr.coeff[k][q];
                    }
                    if (type == 5) CopyPseudoF(a.st.pseudoF, r.againstPF);
                    against = &a.st;
                }
                EvaluateIteration(in.doBootstrapOpt ? a.cur : in, *against, shared,
                                  blockLists.data() + static_cast<std::size_t>(b) * listLen, a.w, r.values);
                if (type == 4) {
                    std::copy(a.w.regrR2.begin(), a.w.regrR2.end(), r.regrR2.begin());
                    for (int k = 0; k < in.nEnv; ++k)
                        for (int q = 0; q < nResp; ++q)
                            r.regrCoeff[static_cast<std::size_t>(k) * nResp + q] = a.w.regrCoeff[k][q];
                }
                if (type == 5) CopyPseudoF(a.w.pf, r.pf);
                if (print) {
                    const int* bl = blockLists.data() + static_cast<std::size_t>(b) * listLen;
                    if (taxa) FillPrintedCopies(in, bl, a.w);
                    PrintIteration(in.doBootstrapOpt ? a.cur : in, a.w, bl, first + b, r.values, r.printed);
                }
                const int finished = ++done;
                // The console belongs to the calling thread.
                if (omp_get_thread_num() == 0 && in.progress) {
                    std::snprintf(progress, sizeof progress, "Permutation test: %d of %d", finished, niter);
                    in.progress(progress);
                }
            } catch (...) {
#pragma omp critical(kolvar_permtest_failure)
                if (!failure) failure = std::current_exception();
            }
        }
        if (failure) std::rethrow_exception(failure);

        // Counting against the statistics of the data set of each iteration, in
        // iteration order.
        for (int b = 0; b < count; ++b) {
            const int it = first + b;
            const IterationResult& r = results[static_cast<std::size_t>(b)];
            const auto itc = static_cast<std::size_t>(it);
            const auto& against = in.doBootstrapOpt ? r.against : st.stat;
            if (in.doBootstrapOpt)
                for (int s = 0; s < kNumTestedStats; ++s) bootWork[s][itc] = r.boot[s];
            if (type >= 1 && type <= 3) {
                for (int s = 0; s < kNumTestedStats; ++s) {
                    if (!phyl && (s >= kBF && s <= kPE_X)) continue;
                    if (!r.values.drewOtuLevel && (s == kBM || s == kBF)) continue;
                    const double rnd = r.values.v[s];
                    const bool absolute = in.twoTailedTest && IsTwoSided(s);
                    main.Add(static_cast<std::size_t>(s), rnd,
                             IsLargerThanOrEqual(rnd, against[kTestedStatSlot[s]], 1, absolute));
                    work[s][itc] = rnd;
                }
            } else if (type == 4) {
                for (int q = 0; q < nResp; ++q) {
                    const double obsR2 = in.doBootstrapOpt ? r.againstR2[q] : st.regr.rSquare[q];
                    regrR2.Add(static_cast<std::size_t>(q), r.regrR2[q],
                               IsLargerThanOrEqual(r.regrR2[q], obsR2, 1, false));
                    if (mv != nullptr) mv->rSquare[static_cast<std::size_t>(q)][itc] = r.regrR2[q];
                    for (int k = 0; k < in.nEnv; ++k) {
                        const std::size_t c = static_cast<std::size_t>(k) * nResp + q;
                        const double obsCoeff = in.doBootstrapOpt ? r.againstCoeff[c] : st.regr.coeff[k][q];
                        regrCoeff.Add(c, r.regrCoeff[c], IsLargerThanOrEqual(r.regrCoeff[c], obsCoeff, 1, true));
                        if (mv != nullptr) mv->coeff[c][itc] = r.regrCoeff[c];
                    }
                }
            } else if (type == 5) {
                const PseudoFSet& obsPF = in.doBootstrapOpt ? r.againstPF : st.pseudoF;
                auto Count = [&](Tally& t, const std::vector<double>& rnd, const std::vector<double>& obs,
                                 Matrix<double> ModelNullValues::*values) {
                    for (int k = 0; k < in.nEnv; ++k) {
                        t.Add(static_cast<std::size_t>(k), rnd[k], IsLargerThanOrEqual(rnd[k], obs[k], 1, false));
                        if (mv != nullptr) (mv->*values)[static_cast<std::size_t>(k)][itc] = rnd[k];
                    }
                };
                Count(pfT, r.pf.T, obsPF.T, &ModelNullValues::T);
                Count(pfX, r.pf.X, obsPF.X, &ModelNullValues::X);
                if (phyl) {
                    Count(pfP, r.pf.P, obsPF.P, &ModelNullValues::P);
                    Count(pfRPhyl, r.pf.RPhyl, obsPF.RPhyl, &ModelNullValues::RPhyl);
                }
                Count(pfR, r.pf.R, obsPF.R, &ModelNullValues::R);
                for (int k = 0; k < in.nEnv; ++k)
                    for (int j = 0; j < in.nch; ++j)
                        if (in.chSelect[j] == 1) {
                            const std::size_t c = static_cast<std::size_t>(k) * in.nch + j;
                            pfTraits.Add(c, r.pf.traits[k][j],
                                         IsLargerThanOrEqual(r.pf.traits[k][j], obsPF.traits[k][j], 1, false));
                            if (mv != nullptr) mv->traits[c][itc] = r.pf.traits[k][j];
                        }
            }
            if (print) WritePrinted(*in.rndFile, r.printed, main);
        }
        if (in.progress) {
            std::snprintf(progress, sizeof progress, "Permutation test: %d of %d", done.load(), niter);
            in.progress(progress);
        }
    }

    if (in.nullValues) {  // before the summaries sort each row
        in.nullValues->assign(kNumTestedStats, static_cast<std::size_t>(m));
        for (int s = 0; s < kNumTestedStats; ++s) std::copy_n(work.row(s), m, in.nullValues->row(s));
    }
    // Summaries.
    for (int s = 0; s < kNumTestedStats; ++s) {
        double* row = work.row(static_cast<std::size_t>(s));
        const Summary sm = Summarise(row, m);
        const double o = in.obs[s];
        work[s][col(0)] = sm.median;
        work[s][col(1)] = sm.q16;
        work[s][col(2)] = sm.q84;
        work[s][col(4)] =
            o >= sm.median ? (o - sm.median) / (sm.q84 - sm.median) : (o - sm.median) / (sm.median - sm.q16);
        work[s][col(5)] = sm.q025;
        work[s][col(6)] = sm.q975;
        work[s][col(7)] = Pvalue(m, row, o, sm.median, kTestedStatTail[s]);
        in.lowerLimit[s] = sm.q025;
        in.upperLimit[s] = sm.q975;
        if (in.doBootstrapOpt) {
            double* boot = bootWork.row(static_cast<std::size_t>(s));
            const Summary bs = Summarise(boot, m);
            bootWork[s][col(0)] = bs.median;
            bootWork[s][col(1)] = bs.q16;
            bootWork[s][col(2)] = bs.q84;
            bootWork[s][col(5)] = bs.q025;
            bootWork[s][col(6)] = bs.q975;
            in.lowerLimit[s] = bs.q025;
            in.upperLimit[s] = bs.q975;
        }
        in.asymProb[s] = work[s][col(7)];
        if (in.nonParametricSES_opt) {
            in.ses[s] = work[s][col(4)];
            in.expected[s] = sm.median;
        } else {
            in.ses[s] = MomentSES(o, main.sum[s], main.sumSq[s], niter);
            in.expected[s] = main.sum[s] / m;
        }
        in.prob[s] = main.count[s] / niter;
    }
    if (!taxa && IsCorrelationType(type)) {
        // The site shuffle leaves the OTU-level matrices as they are: no null
        // distribution exists for these two statistics.
        for (int s : {kBM, kBF}) {
            in.prob[s] = in.ses[s] = in.expected[s] = kNaN;
            in.lowerLimit[s] = in.upperLimit[s] = in.asymProb[s] = kNaN;
        }
    }
    if (type == 4) {
        RegressionResults& rr = *in.regrResults;
        for (int r = 0; r < nResp; ++r) {
            rr.prob.rSquare[r] = regrR2.count[r] / niter;
            rr.ses.rSquare[r] = MomentSES(rr.obs.rSquare[r], regrR2.sum[r], regrR2.sumSq[r], niter);
            rr.expected.rSquare[r] = regrR2.sum[r] / m;
            for (int k = 0; k < in.nEnv; ++k) {
                const std::size_t c = static_cast<std::size_t>(k) * nResp + r;
                rr.prob.coeff[k][r] = regrCoeff.count[c] / niter;
                rr.ses.coeff[k][r] = MomentSES(rr.obs.coeff[k][r], regrCoeff.sum[c], regrCoeff.sumSq[c], niter);
                rr.expected.coeff[k][r] = regrCoeff.sum[c] / m;
            }
        }
    }
    if (type == 5) {
        PseudoFResults& pr = *in.pseudoFResults;
        auto Fill = [&](const Tally& t, const std::vector<double>& obs, std::vector<double>& prob,
                        std::vector<double>& ses, std::vector<double>& expected) {
            for (int k = 0; k < in.nEnv; ++k) {
                prob[k] = t.count[k] / niter;
                ses[k] = MomentSES(obs[k], t.sum[k], t.sumSq[k], niter);
                expected[k] = t.sum[k] / m;
            }
        };
        Fill(pfT, pr.obs.T, pr.prob.T, pr.ses.T, pr.expected.T);
        Fill(pfX, pr.obs.X, pr.prob.X, pr.ses.X, pr.expected.X);
        Fill(pfR, pr.obs.R, pr.prob.R, pr.ses.R, pr.expected.R);
        if (phyl) {
            Fill(pfP, pr.obs.P, pr.prob.P, pr.ses.P, pr.expected.P);
            Fill(pfRPhyl, pr.obs.RPhyl, pr.prob.RPhyl, pr.ses.RPhyl, pr.expected.RPhyl);
        }
        for (int k = 0; k < in.nEnv; ++k)
            for (int j = 0; j < in.nch; ++j) {
                const std::size_t c = static_cast<std::size_t>(k) * in.nch + j;
                pr.prob.traits[k][j] = pfTraits.count[c] / niter;
                pr.ses.traits[k][j] = MomentSES(pr.obs.traits[k][j], pfTraits.sum[c], pfTraits.sumSq[c], niter);
                pr.expected.traits[k][j] = pfTraits.sum[c] / m;
            }
    }
    return true;
}

}  // namespace kolvar
