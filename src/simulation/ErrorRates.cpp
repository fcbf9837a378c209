#include "simulation/ErrorRates.hpp"

#include <algorithm>
#include <cmath>

#include "QMLib/Beals.hpp"
#include "QMLib/Belonging.hpp"
#include "base/Fmt.hpp"
#include "QMLib/Print.hpp"
#include "QMLib/Resemblance.hpp"
#include "QMLib/Transform.hpp"
#include "QMLib/qmlibDim.hpp"
#include "analysis/Compositions.hpp"
#include "analysis/TestSettings.hpp"
#include "base/Console.hpp"
#include "base/Prompts.hpp"
#include "simulation/Combinations.hpp"
#include "QMLib/Random.hpp"

namespace kolvar {

namespace {

std::size_t Sz(int n) { return static_cast<std::size_t>(n > 0 ? n : 0); }

int CountFlags(std::span<const int> flags) {
    int n = 0;
    for (int f : flags) n += f == 1;
    return n;
}

std::string JoinLabels(const std::vector<std::string>& labels) {
    std::string s;
    for (std::size_t k = 0; k < labels.size(); ++k) s += (k ? "\t" : "") + labels[k];
    return s;
}

std::vector<std::string> TraitLabels(std::span<const int> flags) {
    std::vector<std::string> out;
    for (std::size_t t = 0; t < flags.size(); ++t)
        if (flags[t] == 1) out.push_back(std::to_string(t + 1));
    return out;
}

}  // namespace

void ClassesMV(int n, double* x) {
    double lo = 0.0, hi = 0.0;
    bool any = false;
    for (int i = 0; i < n; ++i) {
        if (x[i] == kMissing) continue;
        if (!any || x[i] < lo) lo = x[i];
        if (!any || x[i] > hi) hi = x[i];
        any = true;
    }
    for (int i = 0; i < n; ++i) {
        if (x[i] == kMissing) continue;
        if (x[i] == lo)
            x[i] = 1.0;
        else if (x[i] == hi)
            x[i] = 5.0;
        else
            x[i] = std::ceil((x[i] - lo) * 5.0 / (hi - lo));
    }
}

bool IsRejected(double prob, double alpha) { return prob <= alpha || AlmostEqual2sComplement(prob, alpha, 1); }

std::vector<std::string> PredictorLabels(int nFactors, const std::vector<int>& flags) {
    std::vector<std::string> out;
    for (int v = 0; v < nFactors && v < static_cast<int>(flags.size()); ++v)
        if (flags[v] == 1) out.push_back(std::to_string(v + 1));
    int row = nFactors;
    for (int v = 0; v < nFactors; ++v)
        for (int w = v + 1; w < nFactors; ++w, ++row)
            if (row < static_cast<int>(flags.size()) && flags[row] == 1) out.push_back(Fmt("%dx%d", v + 1, w + 1));
    return out;
}

void AskAnalysisChoices(Console& con, const SimulationDesign& d, const SettingsDialogue& dialogue, AnalysisChoices& c) {
    con.out << "\nPerform the analyses using the full simulated metacommunity or a random sample? f/s ";
    // A sample needs at least 3 sites.
    c.sample = ReadCharIn(con, d.nSites >= 3 ? "f s" : "f") == 's';
    if (c.sample) {
        con.out << "Specify sample size: ";
        c.sampleSize = ReadIntIn(con, "%d\n", "-", 3, d.nSites);
    }
    con.out << "Trim OTUs absent in all simulated communities? y/n ";
    c.trim = ReadCharIn(con, "y n") == 'y';
    con.out << "\nUse Beals transformed composition matrix (Y) or the composition matrix (W) in every matrix "
               "correlation involving matrix Y (e.g., XY or XW)?  b/w ";
    c.useBeals = ReadCharIn(con, "b w") == 'b';

    AnalysisShape shape{d.nTraits, d.nOTUs, c.sample ? c.sampleSize : d.nSites};
    c.settings.weight.assign(Sz(d.nTraits), 1.0);
    c.settings.weight_OTUs.assign(Sz(d.nOTUs), 1);
    if (dialogue) dialogue(shape, c.settings);

    con.out << "Perform the analysis for every trait and environmental variable combination? y/n ";
    c.everyCombination = ReadCharIn(con, "y n") == 'y';
    if (c.everyCombination) {
        const int nSub = static_cast<int>(NumberAllCombinations(d.nTraits) + 0.5L);
        c.traitSubsets.assign(Sz(nSub), Sz(d.nTraits));
        AllCombinations(c.traitSubsets, nSub, d.nTraits);
        Matrix<int> single(Sz(d.nFactors), Sz(d.nFactors));
        AllCombinations(single, d.nFactors, d.nFactors, 1);
        c.factorChoices.assign(Sz(d.nFactors), Sz(d.nPredictors));
        for (int r = 0; r < d.nFactors; ++r)
            for (int v = 0; v < d.nFactors; ++v) c.factorChoices[r][v] = single[r][v];
        return;
    }
    c.traitSubsets.assign(1, Sz(d.nTraits));
    for (int t = 0; t < d.nTraits; ++t) c.traitSubsets[0][t] = c.settings.weight[t] > 0.0 ? 1 : 0;
    c.factorChoices.assign(1, Sz(d.nPredictors));
    con.out << "\nEcosystem variables in matrix E to be used in the analysis of the simulated data:\n"
            << "   1  all variables \n"
            << "   2  select variables \n"
            << "Type option no.: ";
    if (ReadIntIn(con, "%d\n", "1 2") == 1) {
        for (int v = 0; v < d.nPredictors; ++v) c.factorChoices[0][v] = 1;
        return;
    }
    for (;;) {
        con.out << "Select variables (and their interactions if included):\n"
                << "(enter 0 for exclusion or 1 for inclusion)\n";
        for (int v = 0; v < d.nPredictors; ++v) c.factorChoices[0][v] = ReadIntIn(con, "%d\t", "0 1");
        if (con.macroMode() && con.outm) *con.outm << '\n';
        if (CountFlags(c.factorChoices[0]) > 0) return;
        con.err << '\a' << "\nNo variable selected. Reenter.\n";
    }
}

namespace {

void PrepareTally(Tally& t, int opt_ro, int nTraits, int nEnv) {
    if (opt_ro == 4) {
        t.rSquare.assign(Sz(nTraits + 1), 0.0);
        t.coeff.assign(Sz(nEnv), Sz(nTraits + 1));
    } else if (opt_ro == 5) {
        t.fT.assign(Sz(nEnv), 0.0);
        t.fX.assign(Sz(nEnv), 0.0);
        t.fR.assign(Sz(nEnv), 0.0);
        t.fTraits.assign(Sz(nEnv), Sz(nTraits));
    }
}

void WriteStatLine(std::ostream& fp, const char* label, const PermTest_FunctionalPhyl_Correl_Input& in, int k) {
    fp << Fmt("%s=\t%g\tP=\t%g\tSES=\t%g\tE=\t%g\tLL=\t%g\tUL=\t%g\tP-value=\t%g\n", label, in.obs[k], in.prob[k],
              in.ses[k], in.expected[k], in.lowerLimit[k], in.upperLimit[k], in.asymProb[k]);
}

constexpr std::array<const char*, kTallied> kResultLabel = {
    "Convergence (TCAP): r(TE)", "Both TCAP and Divergence (TDAP): r(XE)", "TDAP: r(XE.T)",
    "Alpha divergence: r(RE)", "Beta divergence (NNCRD): r(VE)", "Beta divergence: r(XE.TR)", "r(TY)", "r(XY)",
    "r(XY.T)", "r(XY.TR)", "r(RY)", "r(VY)", "r(SbM)"};

}  // namespace

bool AnalyseDataSet(DataSetContext& ctx, ErrorRateStudy& study) {
    const SimulationDesign& d = ctx.design;
    const AnalysisChoices& c = study.choices;
    const FunctionalSettings& fa = c.settings.fa;
    const HierarchySettings& hier = c.settings.hier;
    const MetacommunitySimulation_Input& m = ctx.model;
    const int nS = d.nSites, nO = d.nOTUs, nT = d.nTraits;
    std::ostream& fp = ctx.final;
    const Matrix<double>& Wsrc = d.weightByAge ? m.weightedComposition : m.composition;

    const std::size_t nCells = c.traitSubsets.rows() * c.factorChoices.rows();
    if (study.tallies.size() != nCells) {
        study.tallies.assign(nCells, Tally{});
        for (std::size_t s = 0; s < c.traitSubsets.rows(); ++s)
            for (std::size_t f = 0; f < c.factorChoices.rows(); ++f)
                PrepareTally(study.tallies[s * c.factorChoices.rows() + f], fa.opt_ro, nT,
                             CountFlags(c.factorChoices[f]));
    }

    fp << Fmt("\n\nRESULTS WITH SIMULATED DATA %d", ctx.dataSetNo);
    std::vector<int> sites;
    for (int i = 0; i < nS; ++i) {
        double total = 0.0;
        for (int j = 0; j < nO; ++j) total += Wsrc[i][j];
        if (total > 0.0) sites.push_back(i);
    }
    const int removed = nS - static_cast<int>(sites.size());
    if (removed > 0) fp << Fmt("\nA total of %d empty communities were removed from the data.\n", removed);
    if (c.sample && !sites.empty()) {
        std::vector<int> list(sites.size());
        RndList(ctx.rnd, static_cast<int>(sites.size()), list.data());
        const std::size_t k = std::min(sites.size(), Sz(c.sampleSize));
        std::vector<int> drawn;
        for (std::size_t q = 0; q < k; ++q) drawn.push_back(sites[Sz(list[q] - 1)]);
        std::sort(drawn.begin(), drawn.end());
        sites = drawn;
        fp << Fmt("\nAnalyses based on a random sample of %d community sites.\n", static_cast<int>(sites.size()));
    } else {
        fp << Fmt("\nAnalyses based on the full simulated metacommunity (%d community sites).\n",
                  static_cast<int>(sites.size()));
    }
    const int ncsm = static_cast<int>(sites.size());
    std::vector<int> otus;
    for (int j = 0; j < nO; ++j) {
        double total = 0.0;
        for (int i : sites) total += Wsrc[i][j];
        if (!c.trim || total > 0.0) otus.push_back(j);
    }
    const int tcst = static_cast<int>(otus.size());
    if (ncsm < 3 || tcst < 2) {
        const std::string msg =
            Fmt("\nSimulated data %d not analysed: %d community sites with individuals and %d OTUs (at least 3 "
                "sites and 2 OTUs are needed).\n",
                ctx.dataSetNo, ncsm, tcst);
        fp << msg;
        ctx.con.out << msg;
        return false;
    }

    Matrix<double> cadat(Sz(tcst), Sz(ncsm));
    for (int o = 0; o < tcst; ++o)
        for (int s = 0; s < ncsm; ++s) cadat[o][s] = Wsrc[sites[Sz(s)]][otus[Sz(o)]];
    std::vector<int> wOTU(Sz(tcst), 1);
    for (int o = 0; o < tcst; ++o) wOTU[o] = c.settings.weight_OTUs[Sz(otus[Sz(o)])];
    WCopies w;
    FillWCopies(tcst, ncsm, cadat, w);
    const OTUExclusion ex = GetOTUExclusion(tcst, wOTU, fa.keepAdditivity);
    AdjustWCopies(ncsm, tcst, w, wOTU, true, fa.optUnitTotalAdjust2, hier.partOpt, ex);

    Matrix<double> Y(Sz(ncsm), Sz(tcst)), M(Sz(tcst), Sz(tcst)), DY(Sz(ncsm), Sz(ncsm));
    BealsSmoothing(ncsm, tcst, w.Wraw, w.Wraw, Y, false, 0, &M, ctx.opt.BealsIncludeOpt, 0, false);
    if (!c.useBeals) Y = w.Wraw;
    if (fa.opt_ro == 1) NominalReseNonHier(ncsm, tcst, Y, DY, hier.rese_opt);

    Matrix<double> Ba(Sz(tcst), Sz(nT));
    for (int o = 0; o < tcst; ++o)
        for (int t = 0; t < nT; ++t) Ba[o][t] = ctx.B[Sz(otus[Sz(o)])][t];
    std::vector<int> partition(Sz(tcst)), types(Sz(nT), 3);
    for (int o = 0; o < tcst; ++o) partition[o] = o + 1;

    fp << "\nOTU richness in each community:\n";
    PrintVectorTab(fp, ncsm, w.richness.data(), nullptr);

    Matrix<double> S(Sz(tcst), Sz(tcst)), Sbel, U(Sz(tcst), Sz(tcst)), Bzero, Bcopy;
    Matrix<double> Tobs(Sz(ncsm), Sz(nT)), Xobs(Sz(ncsm), Sz(tcst)), nncrd(2, Sz(ncsm));
    std::vector<double> Robs(Sz(ncsm)), ranges(Sz(nT), 0.0), weights(Sz(nT));
    BelongingWork belongWork;
    RegressionResults regr;
    PseudoFResults pseudoF;

    for (std::size_t si = 0; si < c.traitSubsets.rows(); ++si) {
        std::vector<int> select(c.traitSubsets[si].begin(), c.traitSubsets[si].end());
        for (int t = 0; t < nT; ++t) weights[t] = select[t];
        Bcopy = Ba;
        GowerMV(tcst, nT, types.data(), Bcopy, S, ranges.data(), weights.data());
        if (hier.fuzzy == 3) {
            Sbel = S;
            FuzzyBelonging(tcst, tcst, Sbel, partition.data(), U, false, belongWork);
        } else {
            CrispBelonging(tcst, tcst, partition.data(), U, belongWork);
        }
        if (ex.exclusion) ApplyOTUWeightsToColumns(tcst, tcst, U, wOTU);
        Bzero = Ba;
        for (int t = 0; t < nT; ++t)
            if (select[t] != 1)
                for (int o = 0; o < tcst; ++o) Bzero[o][t] = 0.0;
        const std::vector<std::string> traitLabels = TraitLabels(select);

        for (std::size_t fi = 0; fi < c.factorChoices.rows(); ++fi) {
            std::vector<int> flags(c.factorChoices[fi].begin(), c.factorChoices[fi].end());
            std::vector<int> preds;
            for (int v = 0; v < d.nPredictors; ++v)
                if (flags[v] == 1) preds.push_back(v);
            const int nEnv = static_cast<int>(preds.size());
            Matrix<double> E(Sz(ncsm), Sz(nEnv)), DE(Sz(ncsm), Sz(ncsm));
            for (int s = 0; s < ncsm; ++s)
                for (int e = 0; e < nEnv; ++e) E[s][e] = m.ecosystem[Sz(preds[Sz(e)])][Sz(sites[Sz(s)])];
            if (fa.opt_ro == 5) {
                std::vector<double> col(Sz(ncsm));
                for (int e = 0; e < nEnv; ++e) {
                    for (int s = 0; s < ncsm; ++s) col[s] = E[s][e];
                    ClassesMV(ncsm, col.data());
                    for (int s = 0; s < ncsm; ++s) E[s][e] = col[s];
                }
                EucliDistMV(ncsm, nEnv, E, DE);
            } else {
                Matrix<double> Estd(Sz(ncsm), Sz(nEnv));
                ZStandardizationColsMV(ncsm, nEnv, E, Estd);
                EucliDistMV(ncsm, nEnv, Estd, DE);
            }
            if (fa.opt_ro == 4) regr.Allocate(nT + 2, nEnv);
            if (fa.opt_ro == 5) pseudoF.Allocate(nEnv, nT);

            PermTest_FunctionalPhyl_Correl_Input in;
            SetTestOptions(in, fa, hier, ctx.opt);
            in.nch = nT;
            in.chSelect = select;
            in.nOTUs = tcst;
            in.nTypes = tcst;
            in.nTaxa = 0;
            in.nEnv = nEnv;
            in.eVarSelect = flags;
            in.ncsm = ncsm;
            in.relSelect.assign(Sz(ncsm), 1);
            in.B = &Bzero;
            in.Sb = &S;
            in.E = &E;
            in.U = &U;
            in.DE = &DE;
            in.DY = &DY;
            in.Wfw = &w.Wfw;
            in.W = &w.W;
            in.Y = &Y;
            in.M = &M;
            in.regrResults = fa.opt_ro == 4 ? &regr : nullptr;
            in.pseudoFResults = fa.opt_ro == 5 ? &pseudoF : nullptr;
            in.includePhylogeny = false;
            in.otuWeightsSelectSubset = ex.exclusion;
            if (fa.optRestrictPermutNullModel == 1) {
                in.nestingMembershipOTUs.assign(Sz(tcst), 0);
                for (int o = 0; o < tcst; ++o) in.nestingMembershipOTUs[o] = fa.nestingMembershipOTUs[Sz(otus[Sz(o)])];
            }
            in.Tobs = &Tobs;
            in.Xobs = &Xobs;
            in.Robs = &Robs;
            in.nncrdObs = &nncrd;
            in.richness = w.richness;
            in.weight_OTUs = wOTU;
            in.rndFile = &fp;
            in.rnd = &ctx.rnd;
            in.con = &ctx.con;
            PermTest_FunctionalPhyl_Correl(in);

            const std::vector<std::string> envLabels = PredictorLabels(d.nFactors, flags);
            const std::string prefix = Fmt("Simulated data\t%d\tTraits:\t", ctx.dataSetNo) + JoinLabels(traitLabels) +
                                       "\tEnvFactors:\t" + JoinLabels(envLabels);
            fp << "\nTraits:\t" << JoinLabels(traitLabels) << "\tEnvFactors:\t" << JoinLabels(envLabels) << '\n';
            fp << "\nRao entropy in each community:\n";
            PrintVectorTab(fp, ncsm, Robs.data(), ctx.opt.sDigits, nullptr);
            Tally& tally = study.tallies[si * c.factorChoices.rows() + fi];
            if (fa.opt_ro <= 3) {
                for (int k = 0; k < kTallied; ++k) {
                    const int st = kTalliedStat[Sz(k)];
                    WriteStatLine(fp, kResultLabel[Sz(k)], in, st);
                    if (IsRejected(in.prob[st], d.alpha)) tally.stat[Sz(k)] += 1.0;
                    ctx.summary << prefix << '\t';
                    WriteStatLine(ctx.summary, kTalliedLabel[Sz(k)], in, st);
                }
            } else if (fa.opt_ro == 4) {
                for (int j = 0; j <= nT; ++j) {
                    if (j < nT && select[j] != 1) continue;
                    const std::string name = j < nT ? std::to_string(j + 1) : "Functional diversity";
                    const std::string line = Fmt("Trait:\t%s\tr-square=\t%g\tp-value=\t%g\tSES=\t%g\tE=\t%g\n",
                                                 name.c_str(), regr.obs.rSquare[j], regr.prob.rSquare[j],
                                                 regr.ses.rSquare[j], regr.expected.rSquare[j]);
                    fp << line;
                    ctx.summary << Fmt("Simulated data\t%d\t", ctx.dataSetNo) << line;
                    if (IsRejected(regr.prob.rSquare[j], d.alpha)) tally.rSquare[j] += 1.0;
                    for (int e = 0; e < nEnv; ++e) {
                        const std::string fl = Fmt("Factor:\t%s\tcoeff=\t%g\tp-value=\t%g\tSES=\t%g\tE=\t%g\n",
                                                   envLabels[Sz(e)].c_str(), regr.obs.coeff[e][j],
                                                   regr.prob.coeff[e][j], regr.ses.coeff[e][j],
                                                   regr.expected.coeff[e][j]);
                        fp << fl;
                        ctx.summary << Fmt("Simulated data\t%d\t", ctx.dataSetNo) << fl;
                        if (IsRejected(regr.prob.coeff[e][j], d.alpha)) tally.coeff[e][j] += 1.0;
                    }
                }
            } else {
                for (int e = 0; e < nEnv; ++e) {
                    const std::string fl = Fmt("Factor:\t%s\tPseudo-F=\t%g\tp-value=\t%g\tSES=\t%g\tE=\t%g\n",
                                               envLabels[Sz(e)].c_str(), pseudoF.obs.T[e], pseudoF.prob.T[e],
                                               pseudoF.ses.T[e], pseudoF.expected.T[e]);
                    fp << fl;
                    ctx.summary << Fmt("Simulated data\t%d\t", ctx.dataSetNo) << fl;
                    if (IsRejected(pseudoF.prob.T[e], d.alpha)) tally.fT[e] += 1.0;
                    if (IsRejected(pseudoF.prob.X[e], d.alpha)) tally.fX[e] += 1.0;
                    if (IsRejected(pseudoF.prob.R[e], d.alpha)) tally.fR[e] += 1.0;
                    for (int j = 0; j < nT; ++j) {
                        if (select[j] != 1) continue;
                        const std::string tl =
                            Fmt("Factor:\t%s\tTrait:\t%d\tPseudo-F=\t%g\tp-value=\t%g\tSES=\t%g\tE=\t%g\n",
                                envLabels[Sz(e)].c_str(), j + 1, pseudoF.obs.traits[e][j], pseudoF.prob.traits[e][j],
                                pseudoF.ses.traits[e][j], pseudoF.expected.traits[e][j]);
                        fp << tl;
                        ctx.summary << Fmt("Simulated data\t%d\t", ctx.dataSetNo) << tl;
                        if (IsRejected(pseudoF.prob.traits[e][j], d.alpha)) tally.fTraits[e][j] += 1.0;
                    }
                }
            }
        }
    }
    ++study.analysed;
    return true;
}

void WriteRejectionRates(std::ostream& fp, const SimulationDesign& d, const Options& opt, const ErrorRateStudy& s) {
    const AnalysisChoices& c = s.choices;
    const FunctionalSettings& fa = c.settings.fa;
    const double n = s.analysed > 0 ? s.analysed : 1.0;
    fp << Fmt("\n\nPROBABILITIES OF Ho REJECTION (type I error or power depending on the specified model context) "
              "based on %d tests using %d permutations each:",
              d.nDataSets, fa.niter);
    if (s.analysed != d.nDataSets)
        fp << Fmt("\n(%d of the %d simulated data sets could be analysed; rates are proportions of these.)",
                  s.analysed, d.nDataSets);
    if (fa.opt_ro >= 1 && fa.opt_ro <= 3)
        fp << Fmt("\n\nCorrelation function between matrices: \t%s\n", opt_roInfo[Sz(fa.opt_ro - 1)].c_str());
    fp << "Correlations with Beals smoothed community matrix (Y) considering OTU's co-occurences weighted by their "
          "abundances "
       << (opt.BealsIncludeOpt ? "(abundance of target OTU included in its own estimation).\n"
                               : "(abundance of target OTU NOT included in its own estimation).\n");
    if (c.sample)
        fp << Fmt("Analyses based on random samples of %d community sites.\n", c.sampleSize);
    else
        fp << "Analyses based on the full simulated metacommunity.\n";
    if (s.tallies.empty()) return;
    for (std::size_t si = 0; si < c.traitSubsets.rows(); ++si)
        for (std::size_t fi = 0; fi < c.factorChoices.rows(); ++fi) {
            const Tally& t = s.tallies[si * c.factorChoices.rows() + fi];
            std::vector<int> flags(c.factorChoices[fi].begin(), c.factorChoices[fi].end());
            const std::vector<std::string> envLabels = PredictorLabels(d.nFactors, flags);
            fp << "\nTraits:       ";
            for (int k = 0; k < d.nTraits; ++k)
                if (c.traitSubsets[si][k] == 1) fp << Fmt("\t%d", k + 1);
            fp << "\nTrait weights:";
            for (int k = 0; k < d.nTraits; ++k) fp << Fmt("\t%d", c.traitSubsets[si][k]);
            fp << "\n\nEcosystem variables (and their interactions if included): ";
            for (int v = 0; v < d.nFactors; ++v)
                if (flags[v] == 1) fp << Fmt("\t%d", v + 1);
            int row = d.nFactors;
            for (int v = 0; v < d.nFactors; ++v)
                for (int w = v + 1; w < d.nFactors; ++w, ++row)
                    if (row < d.nPredictors && flags[row] == 1) fp << Fmt("\t%dx%d ", v + 1, w + 1);
            fp << "\nWeights:";
            for (int v = 0; v < d.nPredictors; ++v) fp << Fmt("\t%d", flags[v]);
            if (fa.opt_ro <= 3) {
                const auto r = [&](int k) { return t.stat[Sz(k)] / n; };
                fp << Fmt("\n\nConvergence (TCAP): r(TE)\tP=\t%g\nBoth TCAP and Divergence (TDAP): r(XE)\tP=\t%g\nTDAP: "
                          "r(XE.T)\tP=\t%g\n",
                          r(0), r(1), r(2));
                if (fa.opt_ro == 2)
                    fp << Fmt("Factor (f) for limiting the number of predictors in PCA regression in relation to "
                              "sample size n (number of predictors = n/f): %g\n",
                              opt.overfitFactorPCARegr);
                fp << Fmt("Alpha divergence: r(RE)\tP=\t%g\nBeta divergence (NNCRD): r(VE)\tP=\t%g\nBeta divergence: "
                          "r(XE.TR)\tP=\t%g\n",
                          r(3), r(4), r(5));
                fp << "\nCorrelations with Beals smoothed community matrix (Y) considering OTU's co-occurences "
                      "weighted by their abundances:\n";
                fp << Fmt("r(TY)\tP=\t%g\n", r(6)) << Fmt("r(XY)\tP=\t%g\n", r(7)) << Fmt("r(XY.T)\tP=\t%g\n", r(8))
                   << Fmt("r(XY.TR)\tP=\t%g\n", r(9)) << Fmt("r(RY)\tP=\t%g\n", r(10)) << Fmt("r(VY)\tP=\t%g\n", r(11));
                fp << "\nCorrelation between species co-occurrence probabilities used for Beals smoothing and species "
                      "trait similarities:\n";
                fp << Fmt("r(SbM)\tP=\t%g\n", r(12)) << '\n';
            } else if (fa.opt_ro == 4) {
                for (int j = 0; j < d.nTraits; ++j) {
                    if (c.traitSubsets[si][j] != 1) continue;
                    fp << Fmt("\nTrait:\t%d\tr-square\tP=\t%g\n", j + 1, t.rSquare[Sz(j)] / n);
                    for (std::size_t e = 0; e < envLabels.size(); ++e)
                        fp << Fmt("Factor:\t%s\tcoeff\tP=\t%g\n", envLabels[e].c_str(), t.coeff[e][Sz(j)] / n);
                }
                fp << Fmt("\nFunctional diversity:\t\tr-square\tP=\t%g\n", t.rSquare[Sz(d.nTraits)] / n);
                for (std::size_t e = 0; e < envLabels.size(); ++e)
                    fp << Fmt("Factor:\t%s\tcoeff\tP=\t%g\n", envLabels[e].c_str(), t.coeff[e][Sz(d.nTraits)] / n);
                fp << '\n';
            } else {
                fp << "\n\nANALYSIS OF VARIANCE\n" << "\nSelected traits:\t";
                for (int j = 0; j < d.nTraits; ++j)
                    if (c.traitSubsets[si][j] == 1) fp << Fmt("%d\t", j + 1);
                fp << "\nSelected factors and observation states in the communities:\n";
                for (const auto& l : envLabels) fp << "Factor:\t" << l << "\tStates:\t1 to 5\n";
                fp << "\nMANOVA using matrix T (community weighted means) as multivariate response:\n";
                for (std::size_t e = 0; e < envLabels.size(); ++e)
                    fp << Fmt("Factor:\t%s\tPseudo-F\tP=\t%g\n", envLabels[e].c_str(), t.fT[e] / n);
                for (int j = 0; j < d.nTraits; ++j) {
                    if (c.traitSubsets[si][j] != 1) continue;
                    for (std::size_t e = 0; e < envLabels.size(); ++e)
                        fp << Fmt("Trait:\t%d\tFactor:\t%s\tPseudo-F\tP=\t%g\n", j + 1, envLabels[e].c_str(),
                                  t.fTraits[e][Sz(j)] / n);
                }
                fp << "\nMANOVA using matrix X (fuzzy-weighted composition) as multivariate response:\n";
                for (std::size_t e = 0; e < envLabels.size(); ++e)
                    fp << Fmt("Factor:\t%s\tPseudo-F\tP=\t%g\n", envLabels[e].c_str(), t.fX[e] / n);
                fp << "\nANOVA using Rao functional diversity as response:\n";
                for (std::size_t e = 0; e < envLabels.size(); ++e)
                    fp << Fmt("Factor:\t%s\tPseudo-F\tP=\t%g\n", envLabels[e].c_str(), t.fR[e] / n);
                fp << '\n';
            }
        }
}

}  // namespace kolvar
