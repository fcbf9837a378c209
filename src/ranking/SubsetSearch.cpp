#include "ranking/SubsetSearch.hpp"

#include <cmath>
#include <sstream>

#include "base/Fatal.hpp"
#include "QMLib/qmlibDim.hpp"
#include "base/Fmt.hpp"
#include "QMLib/MatrixProd.hpp"
#include "QMLib/Print.hpp"
#include "QMLib/Transform.hpp"
#include "analysis/CommunityMatrices.hpp"
#include "stattests/Diversity.hpp"

namespace kolvar {

namespace {

bool NeedsDX(int code) { return IsOneOf(code, {2, 4, 6, 7, 9, 10, 12}); }

const char* kValueLabels[12] = {"r(RE)", "r(XE.TR)", "r(SE)", "r(PX)", "r(PT)", "r(PX.T)",
                                "r(XY)", "r(TY)",    "r(XY.T)", "r(XE)", "r(TE)", "r(XE.T)"};

const char* kHeadings[12] = {
    "\n\nTrait subsets with maximum correlation ro(RE):\nTRC\toptimal subset of traits\n",
    "\n\nTrait subsets with maximum partial correlation ro(XE.TR):\nTRC\toptimal subset of traits\n",
    "\n\nTrait subsets with maximum correlation ro(SE):\nTRC\toptimal subset of traits\n",
    "\n\nTrait subsets with maximum correlation ro(PX):\nTRC\toptimal subset of traits\n",
    "\n\nTrait subsets with maximum correlation ro(PT):\nTRC\toptimal subset of traits\n",
    "\n\nTrait subsets with maximum correlation ro(PX.T):\nTRC\toptimal subset of traits\n",
    "\n\nTrait subsets with maximum correlation ro(XY):\nTRC\toptimal subset of traits\n",
    "\n\nTrait subsets with maximum correlation ro(TY):\nTRC\toptimal subset of traits\n",
    "\n\nTrait subsets with maximum partial correlation ro(XY.T):\nTRC\toptimal subset of traits\n",
    "\n\nTrait subsets with maximum partial correlation ro(XE):\nTRC\toptimal subset of traits\n",
    "\n\nTrait subsets with maximum partial correlation ro(TE):\nTRC\toptimal subset of traits\n",
    "\n\nTrait subsets with maximum partial correlation ro(XE.T):\nTRC\toptimal subset of traits\n"};

const char* YesNot(bool yes) { return yes ? "yes" : "not"; }

void WriteHeader(std::ostream& fp, const RankingInputs& in, const RankingData& rd, int code) {
    const Options& opt = in.opt;
    const DataSet& d = in.d;
    WriteResultsTop(fp, in, "fuzzy weighting");
    fp << "Trait ranking criterion (TRC): " << OptStructInfo(in.fa.opt_struct) << '\n';
    fp << "Correlation measure: " << opt_roInfo[static_cast<std::size_t>(rd.optRo - 1)] << '\n';
    if (rd.optRo == 1) WriteCorrelationMethod(fp, rd);
    fp << "Resemblance function between OTUs: " << reseCSToptInfoRank[rd.gower ? 0 : 1] << '\n';
    if (rd.gower)
        fp << "Gower similarity modified to count matching absences in binary traits? "
           << YesNot(opt.countDoubleAbsence != 0) << '\n';
    if (code == 1 || code == 2)
        fp << "Rao entropy based on traits computed on square root transformed dissimilarities? "
           << YesNot(opt.sqrtDissimOpt_RaoTraits) << '\n';
    fp << "Ranking algorithm: " << rankingAlgorithmInfo[1] << '\n';
    if (NeedsDX(code)) fp << "Fuzzy transformation: " << fuzzyInfo[rd.fuzzy ? 3 : 0] << '\n';
    if (rd.optRo == 1) fp << "Resemblance option between communities: " << ReseOptInfo(rd.reseOpt) << '\n';
    if (AnyTraitLeftOut(d)) {
        fp << "Traits that were considered:\n";
        for (int j = 0; j < d.nch; ++j)
            if (d.weight[j] > 0.0) fp << Fmt("%-3s", d.chLabel[j].c_str());
        fp << '\n';
    } else {
        fp << "All traits were considered.\n";
    }
    if (rd.nTypes < rd.t && (code == 1 || code == 2))
        fp << Fmt("Rao entropy R computed over the %d OTUs with their trait dissimilarities; it does not depend on "
                  "the %d types.\n",
                  rd.t, rd.nTypes);
    if (rd.nTypes < rd.t && code == 3)
        fp << Fmt("Dark diversity: W pooled into the %d types (crisp) compared with X over the same types.\n",
                  rd.nTypes);
    if (rd.nTypes < 2)
        fp << Fmt("The partition of OTUs has %d type(s): at least 2 are needed, no trait subset was evaluated.\n",
                  rd.nTypes);
    if (in.rs.printRankIntermedResults == 'y') fp << Fmt("\n%-*s\t", opt.sDigits + 6, "TRC") << "Trait subset used:\n";
}

void WriteStructures(std::ostream& st, const RankingInputs& in, const RankingData& rd, int code, SubsetWork& w) {
    const int n = rd.n, t = rd.t, nch = rd.nch, g = rd.nTypes, sd = in.opt.sDigits;
    std::vector<int> list;
    for (int j = 0; j < nch; ++j)
        if (w.select[j] == 1) list.push_back(j + 1);
    const int* traits = list.data();
    const int k = static_cast<int>(list.size());
    const auto& labels = in.d.chLabel;
    st << "\nTraits:\t";
    WriteTraitLabels(st, labels, traits, k);
    if (rd.needs.T) {
        Matrix<double> raw(static_cast<std::size_t>(n), static_cast<std::size_t>(nch));
        MatrixProdSelectMV_Adjust_Weight(n, t, t, nch, rd.W1, rd.B, raw, w.select.data(), rd.weightOTUs.data());
        st << Fmt(in.rs.optUnitTotalAdjust1
                      ? "\nMatrix with trait averages at community level (%d communities x %d traits):\n"
                      : "\nMatrix with trait totals at community level (%d communities x %d traits):\n",
                  n, nch);
        PrintMatrixTab(st, n, nch, raw, sd);
        st << Fmt("\nMatrix with normalized traits at community level (%d communities x %d traits adjusted to unit "
                  "length):\n",
                  n, nch);
        PrintMatrixTab(st, n, nch, w.T, sd);
        if (rd.distances) {
            st << "Resemblance matrix between communities based on selected traits (matrix T):\n";
            PrintLowerHalfMatrixTab(st, n, w.DT, sd);
        }
    }
    st << Fmt("\nSimilarity matrix between %d populations, based on %d traits:\n", t, k) << "Traits:\t";
    WriteTraitLabels(st, labels, traits, k);
    st << '\n';
    PrintLowerHalfMatrixTab(st, t, w.S, sd);
    st << Fmt("\nPartition vector of %d populations in %d specified groups (types):\n", t, g);
    PrintVectorTab(st, t, rd.partition.data(), nullptr);
    st << Fmt("\nDegrees of belonging of %d populations (rows) in %d types (columns):\n", t, g);
    PrintMatrixTab(st, t, g, w.U, sd);
    st << Fmt("\nDegrees of belonging (crisp) of %d populations (rows) in %d types (columns):\n", t, g);
    PrintMatrixTab(st, t, g, w.Uc, sd);
    if ((code == 1 || code == 2) && rd.distances) {
        st << "\nResemblance matrix DR comparing communities based on their Rao entropy expressed as equivalent "
              "numbers of OTUs ("
           << kCiteDiversityCorrection << "): \n";
        PrintLowerHalfMatrixTab(st, n, w.DR, sd);
    }
    if (NeedsDX(code) && rd.distances) {
        st << "Resemblance matrix between communities based on composition of types (matrix X):\n";
        PrintLowerHalfMatrixTab(st, n, w.DX, sd);
    }
}

}  // namespace

Needs ChRankNeeds(int code) {
    Needs nd;
    nd.T = IsOneOf(code, {2, 5, 6, 8, 9, 11, 12});
    nd.X = IsOneOf(code, {2, 3, 4, 6, 7, 9, 10, 12});
    nd.DX = NeedsDX(code);
    nd.R = code == 1 || code == 2;
    nd.Sd = code == 3;
    nd.P = IsOneOf(code, {4, 5, 6});
    nd.Y = IsOneOf(code, {7, 8, 9});
    nd.E = IsOneOf(code, {1, 2, 3, 10, 11, 12});
    return nd;
}

double EvaluateChRankCode(const RankingData& rd, int code, SubsetWork& w) {
    BuildSubsetMatrices(rd, w);
    const int n = rd.n, t = rd.t, g = rd.nTypes, nch = rd.nch, nE = rd.nEnv;
    const bool dist = rd.distances;
    if (rd.needs.R) {
        for (int i = 0; i < n; ++i)
            w.R[i][0] = RaoIndex_Weight(t, rd.W.row(i), w.S, !rd.gower, rd.sqrtRao, rd.weightOTUs.data(),
                                        rd.restrictWithin);
        if (dist) {
            AbsValFunctionMV(n, 1, w.R, w.DR);
            MirrorUpper(n, w.DR);
        }
    }
    if (rd.needs.Sd) {
        // Like with like: W pooled into the same types as X.
        MatrixProdSelectMV_Adjust_Weight(n, t, t, g, rd.W, w.Uc, w.Wc, nullptr, rd.weightOTUs.data(),
                                         rd.restrictWithin);
        for (int i = 0; i < n; ++i) {
            double sum = 0.0;
            for (int c = 0; c < g; ++c)
                if (w.Wc[i][c] != kMissing && w.X[i][c] != kMissing) sum += std::fabs(w.Wc[i][c] - w.X[i][c]);
            w.Sd[i][0] = sum;
        }
        if (dist) EucliDistMV(n, 1, w.Sd, w.DS);
    }
    if (rd.needs.DX && dist)
        ResemblanceLib(n, g, w.X, w.DX, 1, TranslateReseOpt_KOLVAR_DORMAL(rd.reseOpt), 0, nullptr, 0.0, 0.0, false,
                       false, w.rese);

    auto C = [&](const Matrix<double>& A, int pA, const Matrix<double>& B, int pB, const Matrix<double>& DA,
                 const Matrix<double>& DB) { return Correlate(rd, w, A, pA, B, pB, DA, DB); };
    const CovariateSet covT{nch, w.select.data(), &w.T};
    auto Pmc = [&](const Matrix<double>& A, int pA, const Matrix<double>& B, int pB,
                   std::initializer_list<CovariateSet> sets) {
        return PartialMatrixCorrelation(rd.overfit, n, pA, pB, A, B, 2,
                                        std::span<const CovariateSet>(sets.begin(), sets.size()), w.corr);
    };
    const bool procrustes = rd.optRo == 2;
    switch (code) {
        case 1: return C(w.R, 1, rd.E, nE, w.DR, rd.DE);
        case 2: {
            const double rTE = C(w.T, nch, rd.E, nE, w.DT, rd.DE);
            const double rXT = C(w.X, g, w.T, nch, w.DX, w.DT);
            const double rXE = C(w.X, g, rd.E, nE, w.DX, rd.DE);
            const double rRE = C(w.R, 1, rd.E, nE, w.DR, rd.DE);
            const double rXR = C(w.X, g, w.R, 1, w.DX, w.DR);
            const double rTR = C(w.T, nch, w.R, 1, w.DT, w.DR);
            if (procrustes) return Pmc(w.X, g, rd.E, nE, {covT, CovariateSet{1, nullptr, &w.R}});
            return PartialCorrelation(PartialCorrelation(rXE, rXR, rRE), PartialCorrelation(rXT, rXR, rTR),
                                      PartialCorrelation(rTE, rTR, rRE));
        }
        case 3: return C(w.Sd, 1, rd.E, nE, w.DS, rd.DE);
        case 4: return C(rd.P, rd.nTaxa, w.X, g, rd.DP, w.DX);
        case 5: return C(rd.P, rd.nTaxa, w.T, nch, rd.DP, w.DT);
        case 6: {
            const double rXT = C(w.X, g, w.T, nch, w.DX, w.DT);
            const double rPX = C(rd.P, rd.nTaxa, w.X, g, rd.DP, w.DX);
            const double rPT = C(rd.P, rd.nTaxa, w.T, nch, rd.DP, w.DT);
            if (procrustes) return Pmc(rd.P, rd.nTaxa, w.X, g, {covT});
            return PartialCorrelation(rPX, rXT, rPT);
        }
        case 7: return C(w.X, g, rd.Y, t, w.DX, rd.DY);
        case 8: return C(w.T, nch, rd.Y, t, w.DT, rd.DY);
        case 9: {
            const double rXT = C(w.X, g, w.T, nch, w.DX, w.DT);
            const double rTY = C(w.T, nch, rd.Y, t, w.DT, rd.DY);
            const double rXY = C(w.X, g, rd.Y, t, w.DX, rd.DY);
            if (procrustes) return Pmc(w.X, g, rd.Y, t, {covT});
            return PartialCorrelation(rXY, rXT, rTY);
        }
        case 10: return C(w.X, g, rd.E, nE, w.DX, rd.DE);
        case 11: return C(w.T, nch, rd.E, nE, w.DT, rd.DE);
        case 12: {
            const double rTE = C(w.T, nch, rd.E, nE, w.DT, rd.DE);
            const double rXT = C(w.X, g, w.T, nch, w.DX, w.DT);
            const double rXE = C(w.X, g, rd.E, nE, w.DX, rd.DE);
            if (procrustes) return Pmc(w.X, g, rd.E, nE, {covT});
            return PartialCorrelation(rXE, rXT, rTE);
        }
        default: return 0.0;
    }
}

void ChRankLib(const RankingInputs& in, int code) {
    const double clockStart = difftime_Clock_Init(in.clock);
    InitRndNumberGenerator(in.rnd, static_cast<unsigned long>(in.clock.Now()));
    const bool keepStructures = in.opt.saveStruct == 'y';
    std::ostringstream structures;
    std::ostream* st = keepStructures ? &structures : nullptr;

    RankingData rd;
    PrepareRankingData(in, ChRankNeeds(code), rd, st);
    if (rd.distances && NeedsDX(code) && rd.reseOpt <= 0) {
        in.con.err << "Undefined resemblance option!\n";
        throw FatalError{FatalCode::Stop};
    }

    std::ostringstream fp;
    WriteHeader(fp, in, rd, code);
    const CompareMode mode = CodeCompareMode(code);
    const int nch = rd.nch, sd = in.opt.sDigits;
    const int nMin = in.rs.nMinTraitsChRank, nMax = in.rs.nMaxTraitsChRank;
    std::vector<SizeBest> bestBySize(static_cast<std::size_t>(std::max(nMax, 0) + 1));
    for (auto& b : bestBySize) b.Reset(mode, nch);
    BestList best(mode, nch);
    const auto& labels = in.d.chLabel;
    const bool intermediate = in.rs.printRankIntermedResults == 'y';
    const bool canEvaluate = EnoughTypes(in.con, rd);

    auto writeSizeLine = [&](int k) {
        const SizeBest& b = bestBySize[static_cast<std::size_t>(k)];
        fp << Fmt("Ranking criterion value, and optimal subset with %d traits: \t", k);
        if (!b.evaluated || b.traits.empty()) {
            fp << "none\n";
            return;
        }
        fp << Fmt("%-*.*g\t", sd + 6, sd, b.value);
        WriteTraitLabels(fp, labels, b.traits.data(), static_cast<int>(b.traits.size()));
        fp << '\n';
    };

    std::vector<RankingRow> tableRows;
    if (canEvaluate) {
        SearchSubsets(
            in, rd, keepStructures,
            [&](SubsetWork& w, SubsetStats& s) {
                s[0] = EvaluateChRankCode(rd, code, w);
                if (st) WriteStructures(*st, in, rd, code, w);  // one thread, in enumeration order
            },
            [&](int k, const int* list, bool evaluated, const SubsetStats& s) {
                if (!evaluated) return;
                AddRankingRow(tableRows, labels, k, list, s[0]);
                const double v = s[0];
                if (intermediate) {
                    fp << Fmt("%s=\t%g\tTraits:\t", kValueLabels[code - 1], v);
                    WriteTraitLabels(fp, labels, list, k);
                    fp << '\n';
                }
                bestBySize[static_cast<std::size_t>(k)].Offer(mode, v, rd.nTypes, k, list);
                best.Offer(v, rd.nTypes, k, list);
            },
            [&](int k) { writeSizeLine(k); });
    } else {
        for (int k = std::max(nMin, 1); k <= nMax; ++k) writeSizeLine(k);
    }

    fp << kHeadings[code - 1];
    for (std::size_t i = 0; i < best.Size(); ++i) {
        const RankEntry& e = best[i];
        fp << Fmt("%-*.*g\t", sd + 6, sd, e.value);
        WriteTraitLabels(fp, labels, e.traits.data(), e.size);
        fp << '\n';
    }
    fp << Fmt("\n\nTrait subsets with maximum rank for each number of traits:\n%-*s\tSubset of traits\n", sd + 6, "TRC");
    for (int k = std::max(nMin, 1); k <= nMax; ++k) {
        const SizeBest& b = bestBySize[static_cast<std::size_t>(k)];
        if (!b.evaluated || b.traits.empty()) {
            fp << "none\n";
            continue;
        }
        fp << Fmt("%-13.*g\t", sd, b.value);
        WriteTraitLabels(fp, labels, b.traits.data(), static_cast<int>(b.traits.size()));
        fp << '\n';
    }
    fp << '\n'
       << Fmt("Elapsed time: %g seconds\n", difftime_Clock(in.clock, clockStart))
       << Fmt("Maximum number of processors the program used: %d\n", SearchThreads(in, keepStructures));

    CommitResultsFile(in.con, in.session.volumeName + in.rs.whichChorder, fp.str());
    WriteRankingTableOf(in, kValueLabels[code - 1], tableRows);
    if (keepStructures) CommitResultsFile(in.con, in.session.volumeName + in.session.sessionName + structExt, structures.str());
}

}  // namespace kolvar
