#include "ranking/NicheConservation.hpp"

#include <sstream>

#include "base/Fmt.hpp"
#include "QMLib/Print.hpp"
#include "analysis/CommunityMatrices.hpp"
#include "ranking/BestList.hpp"
#include "stattests/Regression.hpp"

namespace kolvar {

namespace {

const char* YesNot(bool yes) { return yes ? "yes" : "not"; }

void WriteHeader(std::ostream& fp, const RankingInputs& in, const RankingData& rd) {
    const DataSet& d = in.d;
    WriteResultsTop(fp, in, "evaluation");
    fp << "Trait ranking criterion (TRC): " << OptStructInfo(in.fa.opt_struct) << '\n'
       << "Pooling of OTUs: " << poolCSToptInfo << '\n'
       << "Clustering method defining types: none (groups were specified by the user).\n"
       << "Resemblance function between OTUs: " << reseCSToptInfoRank[rd.gower ? 0 : 1] << '\n';
    if (rd.gower)
        fp << "Gower index modified to count matching absences in binary traits? "
           << YesNot(in.opt.countDoubleAbsence != 0) << '\n';
    fp << "Ranking algorithm: " << rankingAlgorithmInfo[1] << '\n';
    if (AnyTraitLeftOut(d)) {
        fp << "Traits considered in the computation of Gower similarity index between populations:\t";
        for (int j = 0; j < d.nch; ++j)
            if (d.weight[j] > 0.0) fp << Fmt("%-3s", d.chLabel[j].c_str());
        fp << '\n';
    } else {
        fp << "All traits were considered in the computation of Gower similarity index between populations.\n";
    }
    fp << "Fuzzy transformation: " << fuzzyInfo[rd.fuzzy ? 3 : 0] << '\n';
    if (rd.optRo == 1) fp << "Resemblance option between communities: " << ReseOptInfo(rd.reseOpt) << '\n';
    fp << "Correlation measure: " << opt_roInfo[static_cast<std::size_t>(rd.optRo - 1)] << '\n';
    if (rd.optRo == 1) WriteCorrelationMethod(fp, rd);
    if (rd.nTypes < 2)
        fp << Fmt("The partition of OTUs has %d type(s): at least 2 are needed, no trait subset was evaluated.\n",
                  rd.nTypes);
    if (in.rs.printRankIntermedResults == 'y')
        fp << Fmt("\n%-*s\t", in.opt.sDigits + 6, "TRC") << "Groups\tTrait subset used:\n";
}

void WriteStatsLine(std::ostream& fp, const RankingData& rd, const SubsetStats& s, const std::vector<std::string>& labels,
                    const int* traits, int k) {
    fp << Fmt("ro(PT)=\t%g\tro(PX)=\t%g\tro(XT)=\t%g\tro(PX.T)=\t%g\tro(XE)=\t%g\tro(TE)=\t%g\tro(XE.T)=\t%g\tro(PE)=\t%g\t"
              "ro(TE.P)=\t%g\tro(PE.T)=\t%g\tro(XE.P)=\t%g\tro(XE.PT)=\t%g\troBetaNiche=\t%g\troAlphaBetaNiche=\t%g\t"
              "roAlphaNiche=\t%g\t%d groups\tTraits:\t",
              s[nsPT], s[nsPX], s[nsXT], s[nsPX_T], s[nsXE], s[nsTE], s[nsXE_T], s[nsPE], s[nsTE_P], s[nsPE_T],
              s[nsXE_P], s[nsXE_PT], s[nsBetaNiche], s[nsAlphaBetaNiche], s[nsAlphaNiche], rd.nTypes);
    WriteTraitLabels(fp, labels, traits, k);
    fp << "Group sizes:\t";
    for (int g = 0; g < rd.nTypes; ++g) fp << Fmt("%d\t", rd.typeSizes[g]);
    fp << '\n';
}

void WriteEvaluationStructures(std::ostream& st, const RankingInputs& in, const RankingData& rd, SubsetWork& w,
                               const SubsetStats& s) {
    const int n = rd.n, sd = in.opt.sDigits;
    std::vector<int> list;
    for (int j = 0; j < rd.nch; ++j)
        if (w.select[j] == 1) list.push_back(j + 1);
    st << Fmt("\nPooled performance matrix X (%d communities x %d types):\n", n, rd.nTypes);
    PrintMatrixTab(st, n, rd.nTypes, w.X, sd);
    if (rd.distances) {
        st << "Resemblance matrix between communities based on composition of types (matrix X):\n";
        PrintLowerHalfMatrixTab(st, n, w.DX, sd);
    }
    st << "\nTrait ranking criterion:\t";
    WriteStatsLine(st, rd, s, in.d.chLabel, list.data(), static_cast<int>(list.size()));
    if (!rd.distances) return;
    Matrix<double> residuals(static_cast<std::size_t>(n), static_cast<std::size_t>(n));
    auto printResiduals = [&](const char* title, const Matrix<double>& D) {
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) residuals[i][j] = 0.0;
        ResidualsMatrixRegression(n, D, w.DT, residuals);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < i; ++j) residuals[i][j] = residuals[j][i];
        st << title;
        PrintMatrixTab(st, n, n, residuals, sd);
    };
    printResiduals("\nResemblance matrix between communities based on phylogeny (residuals after removing the effect "
                   "of DT):\n",
                   rd.DP);
    printResiduals("\nResemblance matrix between communities based on traits (residuals after removing the effect of "
                   "DT):\n",
                   w.DX);
}

void WriteEntry(std::ostream& fp, int sd, double value, int groups, const std::vector<std::string>& labels,
                const int* traits, int k) {
    fp << Fmt("%-*.*g\t%d groups\t", sd + 6, sd, value, groups);
    WriteTraitLabels(fp, labels, traits, k);
    fp << '\n';
}

// Every one of the list's slots: the kept entries best first, then the
// unfilled ones with the start value, 0 groups and no labels.
void WriteList(std::ostream& fp, int sd, const BestList& list, const std::vector<std::string>& labels) {
    for (std::size_t i = 0; i < list.Capacity(); ++i) {
        if (i < list.Size())
            WriteEntry(fp, sd, list[i].value, list[i].groups, labels, list[i].traits.data(), list[i].size);
        else
            WriteEntry(fp, sd, StartValue(CompareMode::Signed), 0, labels, nullptr, 0);
    }
}

}  // namespace

void EvaluateNicheConservation(const RankingData& rd, int opt_struct, double rPE, SubsetWork& w, SubsetStats& s) {
    BuildSubsetMatrices(rd, w);
    const int g = rd.nTypes, nch = rd.nch, nE = rd.nEnv, nP = rd.nTaxa;
    if (rd.distances) NominalReseNonHier(rd.n, g, w.X, w.DX, rd.reseOpt);
    s[nsPX] = Correlate(rd, w, rd.P, nP, w.X, g, rd.DP, w.DX);
    s[nsXT] = Correlate(rd, w, w.T, nch, w.X, g, w.DT, w.DX);
    s[nsPT] = Correlate(rd, w, rd.P, nP, w.T, nch, rd.DP, w.DT);
    s[nsTE] = Correlate(rd, w, rd.E, nE, w.T, nch, rd.DE, w.DT);
    s[nsXE] = Correlate(rd, w, rd.E, nE, w.X, g, rd.DE, w.DX);
    s[nsPE] = rPE;
    s[nsXE_T] = PartialCorrelation(s[nsXE], s[nsXT], s[nsTE]);
    s[nsTE_P] = PartialCorrelation(s[nsTE], s[nsPT], rPE);
    s[nsPX_T] = PartialCorrelation(s[nsPX], s[nsPT], s[nsXT]);
    s[nsPE_T] = PartialCorrelation(rPE, s[nsPT], s[nsTE]);
    s[nsXE_PT] = PartialCorrelation(s[nsXE_T], s[nsPX_T], s[nsPE_T]);
    s[nsXE_P] = PartialCorrelation(s[nsXE], s[nsPX], rPE);
    s[nsBetaNiche] = s[nsPT] * s[nsTE];
    s[nsAlphaBetaNiche] = s[nsPX] * s[nsXE];
    s[nsAlphaNiche] = s[nsXE_T] * s[nsPX_T];
    s[nsValue] = opt_struct == 14 ? s[nsBetaNiche] : s[nsAlphaBetaNiche];
}

void ChRank_Phylogeny_x_Trait_Assembly(const RankingInputs& in) {
    const double clockStart = difftime_Clock_Init(in.clock);
    InitRndNumberGenerator(in.rnd, static_cast<unsigned long>(in.clock.Now()));
    const bool keepStructures = in.opt.saveStruct == 'y';
    std::ostringstream structures;
    std::ostream* st = keepStructures ? &structures : nullptr;

    Needs needs;
    needs.T = needs.X = needs.DX = needs.P = needs.E = true;
    RankingData rd;
    PrepareRankingData(in, needs, rd, st);
    double rPE;
    {
        MatrixCorrWork work;
        rPE = MatrixCorrelationLib(rd.n, rd.nTaxa, rd.nEnv, rd.P, rd.E, rd.DP, rd.DE, rd.squareDist, rd.method, work);
    }

    std::ostringstream fp;
    WriteHeader(fp, in, rd);
    const int nch = rd.nch, sd = in.opt.sDigits;
    const int nMin = in.rs.nMinTraitsChRank, nMax = in.rs.nMaxTraitsChRank;
    const auto& labels = in.d.chLabel;
    const bool intermediate = in.rs.printRankIntermedResults == 'y';
    std::vector<SizeBest> bestBySize(static_cast<std::size_t>(std::max(nMax, 0) + 1));
    for (auto& b : bestBySize) b.Reset(CompareMode::Signed, nch);
    BestList bestEvaluations(CompareMode::Signed, nch), bestSubsets(CompareMode::Signed, nch);
    const bool canEvaluate = EnoughTypes(in.con, rd);

    auto writeSizeLine = [&](int k) {
        const SizeBest& b = bestBySize[static_cast<std::size_t>(k)];
        fp << Fmt("Ranking criterion values, groups and optimal subset with %d traits: \t%-*.*g\t%d groups\t", k, sd + 6,
                  sd, b.value, b.groups);
        WriteTraitLabels(fp, labels, b.traits.data(), static_cast<int>(b.traits.size()));
        fp << '\n';
    };

    std::vector<RankingRow> tableRows;
    if (canEvaluate) {
        SearchSubsets(
            in, rd, keepStructures,
            [&](SubsetWork& w, SubsetStats& s) {
                EvaluateNicheConservation(rd, in.fa.opt_struct, rPE, w, s);
                if (st) WriteEvaluationStructures(*st, in, rd, w, s);  // one thread, in enumeration order
            },
            [&](int k, const int* list, bool evaluated, const SubsetStats& s) {
                if (!evaluated) return;
                AddRankingRow(tableRows, labels, k, list, s[nsValue]);
                if (intermediate) WriteStatsLine(fp, rd, s, labels, list, k);
                // One number of types per subset: the evaluation is the subset's best.
                bestEvaluations.Offer(s[nsValue], rd.nTypes, k, list);
                bestBySize[static_cast<std::size_t>(k)].Offer(CompareMode::Signed, s[nsValue], rd.nTypes, k, list);
                bestSubsets.Offer(s[nsValue], rd.nTypes, k, list);
            },
            [&](int k) { writeSizeLine(k); });
    } else {
        for (int k = std::max(nMin, 1); k <= nMax; ++k) writeSizeLine(k);
    }

    fp << "\n\nTrait subsets and number of types with maximum matrix correlation:\nTRC\tn groups\toptimal subset of "
          "traits\n";
    WriteList(fp, sd, bestEvaluations, labels);
    fp << "\n\nTrait subsets with maximum matrix correlation (only optimal number of types presented):\nTRC\tn "
          "groups\toptimal subset of traits\n";
    WriteList(fp, sd, bestSubsets, labels);
    fp << Fmt("Elapsed time: %g seconds\n", difftime_Clock(in.clock, clockStart));
    for (int k = std::max(nMin, 1); k <= nMax; ++k) {
        const SizeBest& b = bestBySize[static_cast<std::size_t>(k)];
        WriteTraitLabels(fp, labels, b.traits.data(), static_cast<int>(b.traits.size()));
        fp << '\n';
    }
    for (int k = std::max(nMin, 1); k <= nMax; ++k) fp << Fmt("%-5d\t", bestBySize[static_cast<std::size_t>(k)].groups);
    fp << '\n';
    for (int k = std::max(nMin, 1); k <= nMax; ++k)
        fp << Fmt("%-13.*g\t", sd, bestBySize[static_cast<std::size_t>(k)].value);
    fp << '\n';

    CommitResultsFile(in.con, in.session.volumeName + in.rs.whichChorder, fp.str());
    WriteRankingTableOf(in, in.fa.opt_struct == 14 ? "ro(PT) ro(TE)" : "ro(PX) ro(XE)", tableRows);
    if (keepStructures) CommitResultsFile(in.con, in.session.volumeName + in.session.sessionName + structExt, structures.str());
}

}  // namespace kolvar
