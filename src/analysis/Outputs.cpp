#include "analysis/Outputs.hpp"

#include <cmath>
#include <fstream>

#include "QMLib/Ordination.hpp"
#include "base/Tsv.hpp"

namespace kolvar {

namespace {

// The community ordinations are principal coordinates of dissimilarities.
constexpr int kPcoaDissimilarity = 3;

struct Ordination {
    Matrix<double> scores;
    int nAxes = 0;
    double pct1 = -1, pct2 = -1;
};

Ordination Pcoa(const Matrix<double>& D, OrdinationWork& work) {
    const int n = static_cast<int>(D.rows());
    Ordination o;
    o.scores.assign(D.rows(), D.rows());
    o.nAxes = OrdinationLib_Scores(n, n, D, D, o.scores, 1, kPcoaDissimilarity, 1, work);
    double sum = 0.0;
    for (int k = 0; k < o.nAxes; ++k)
        if (work.values[static_cast<std::size_t>(k)] > 0.0) sum += work.values[static_cast<std::size_t>(k)];
    if (sum > 0.0) {
        if (o.nAxes >= 1) o.pct1 = 100.0 * work.values[0] / sum;
        if (o.nAxes >= 2) o.pct2 = 100.0 * work.values[1] / sum;
    }
    return o;
}

bool WriteText(const std::string& path, const std::string& text) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << text;
    f.flush();
    return static_cast<bool>(f);
}

NullPanel ModelPanel(std::string label, const Matrix<double>& values, std::size_t row, double observed, double P) {
    NullPanel np;
    np.label = std::move(label);
    np.values.assign(values.row(row), values.row(row) + values.cols());
    np.observed = observed;
    np.P = P;
    return np;
}

// The tested regression statistics in the report's order: per response (each
// selected trait of a subset without nominal traits, Rao functional and, with
// the phylogeny, phylogenetic diversity) its r-square, then one coefficient
// per factor.
std::vector<NullPanel> RegressionPanels(const RegressionResults& r, const ModelNullValues& mv, const SubsetView& v,
                                        bool phyl) {
    std::vector<NullPanel> panels;
    const int nch = static_cast<int>(v.traitLabels->size());
    const std::size_t nResp = mv.rSquare.rows();
    auto response = [&](int k, const std::string& name) {
        const auto kk = static_cast<std::size_t>(k);
        if (kk >= nResp || kk >= r.obs.rSquare.size()) return;
        panels.push_back(ModelPanel(name + " r-square", mv.rSquare, kk, r.obs.rSquare[kk], r.prob.rSquare[kk]));
        for (std::size_t e = 0; e < v.envLabels.size() && e < r.obs.coeff.rows(); ++e)
            if ((e + 1) * nResp <= mv.coeff.rows())
                panels.push_back(ModelPanel(name + ", factor " + v.envLabels[e] + " coeff", mv.coeff, e * nResp + kk,
                                            r.obs.coeff[e][kk], r.prob.coeff[e][kk]));
    };
    if (v.quant)
        for (int j = 0; j < nch; ++j)
            if (j < static_cast<int>(v.select->size()) && (*v.select)[j] == 1)
                response(j, "Trait " + (*v.traitLabels)[static_cast<std::size_t>(j)]);
    response(nch, "Functional diversity");
    if (phyl) response(nch + 1, "Phylogenentic diversity");
    return panels;
}

// The pseudo-F values in the report's order: per factor the MANOVA of T and
// each selected trait's ANOVA (subsets without nominal traits), then X, P,
// Rao functional (Rf) and phylogenetic (Rp) diversity per factor.
std::vector<NullPanel> PseudoFPanels(const PseudoFResults& r, const ModelNullValues& mv, const SubsetView& v,
                                     bool phyl) {
    std::vector<NullPanel> panels;
    const std::vector<std::string>& env = v.envLabels;
    const std::size_t nch = v.traitLabels->size();
    auto set = [&](const std::string& name, std::vector<double> PseudoFSet::*obs, Matrix<double> ModelNullValues::*values) {
        const Matrix<double>& m = mv.*values;
        for (std::size_t e = 0; e < env.size() && e < (r.obs.*obs).size() && e < m.rows(); ++e)
            panels.push_back(ModelPanel(name + ", factor " + env[e] + " Pseudo-F", m, e, (r.obs.*obs)[e],
                                        (r.prob.*obs)[e]));
    };
    if (v.quant)
        for (std::size_t e = 0; e < env.size() && e < r.obs.T.size() && e < mv.T.rows(); ++e) {
            panels.push_back(ModelPanel("MANOVA T, factor " + env[e] + " Pseudo-F", mv.T, e, r.obs.T[e], r.prob.T[e]));
            for (std::size_t j = 0; j < nch && j < r.obs.traits.cols(); ++j)
                if (j < v.select->size() && (*v.select)[j] == 1 && (e + 1) * nch <= mv.traits.rows())
                    panels.push_back(ModelPanel("ANOVA trait " + (*v.traitLabels)[j] + ", factor " + env[e] + " Pseudo-F",
                                                mv.traits, e * nch + j, r.obs.traits[e][j], r.prob.traits[e][j]));
        }
    set("MANOVA X", &PseudoFSet::X, &ModelNullValues::X);
    if (phyl) set("MANOVA P", &PseudoFSet::P, &ModelNullValues::P);
    set("ANOVA Rf", &PseudoFSet::R, &ModelNullValues::R);
    if (phyl) set("ANOVA Rp", &PseudoFSet::RPhyl, &ModelNullValues::RPhyl);
    return panels;
}

}  // namespace

int WriteSubsetOutputs(std::ostream& err, RunOutputs& run, const SubsetView& v) {
    int failed = 0;
    auto check = [&](bool ok, const std::string& path) {
        if (ok) return;
        ++failed;
        err << "\ncan't write " << path << " (the report is complete)\n";
    };
    const PermTest_FunctionalPhyl_Correl_Input& in = *v.test;
    const bool phyl = in.includePhylogeny;
    const bool append = run.appendTables || run.tablesStarted;
    run.tablesStarted = true;

    RunLabels labels;
    labels.run = run.runStamp;
    labels.session = run.session;
    labels.subset = SubsetText(*v.traitLabels, *v.select);
    labels.nullModel = v.nullModel;
    labels.permutations = in.niter;
    labels.seed = v.seed;
    labels.digits = run.digits;

    // Statistics.
    std::vector<StatRow> stats;
    std::vector<PrintedStat> printed;
    if (v.opt_ro >= 1 && v.opt_ro <= 3) {
        printed = PrintedStatistics(in.nEnv > 0, v.quant, phyl);
        stats = CorrelationRows(in, printed, v.twoTailedTest);
    } else if (v.opt_ro == 4 && in.regrResults != nullptr && in.nEnv > 0) {
        stats = RegressionRows(*in.regrResults, *v.traitLabels, *v.select, v.quant, v.envLabels, phyl);
    } else if (v.opt_ro == 5 && in.pseudoFResults != nullptr && in.nEnv > 0) {
        stats = PseudoFRows(*in.pseudoFResults, *v.traitLabels, *v.select, v.quant, v.envLabels, phyl);
    }
    const std::string statsPath = run.folder + run.session + statsTableExt;
    check(WriteTsv(statsPath, StatsTableHeader(), StatsTableRows(labels, stats), append), statsPath);

    // Ordinations, as in the report.
    OrdinationWork work;
    std::vector<Ordination> ords;
    std::vector<std::string> ordNames;
    if (v.DY != nullptr && v.DX != nullptr) {
        ords.push_back(Pcoa(*v.DY, work));
        ordNames.push_back("Y");
        ords.push_back(Pcoa(*v.DX, work));
        ordNames.push_back("X");
        if (v.DP != nullptr) {
            ords.push_back(Pcoa(*v.DP, work));
            ordNames.push_back("P");
        }
    }

    // Communities.
    CommunityColumns c;
    c.labels = *v.communityLabels;
    c.traitLabels = *v.traitLabels;
    c.T = v.quant ? v.T : nullptr;
    c.select = *v.select;
    c.richness = *v.richness;
    c.D = *v.D;
    c.Rf = *v.Rf;
    c.Rp = phyl ? v.Rp : nullptr;
    const std::vector<std::string> allNames = phyl ? std::vector<std::string>{"Y", "X", "P"}
                                                   : std::vector<std::string>{"Y", "X"};
    for (const std::string& name : allNames) {
        CommunityOrdination co;
        co.name = name;
        for (std::size_t k = 0; k < ordNames.size(); ++k)
            if (ordNames[k] == name) {
                co.scores = &ords[k].scores;
                co.nAxes = ords[k].nAxes;
            }
        c.ordinations.push_back(co);
    }
    const std::string commPath = run.folder + run.session + communityTableExt;
    check(WriteTsv(commPath, CommunityTableHeader(c), CommunityTableRows(labels, c), append), commPath);

    // Pictures.
    const std::string suffix = v.subsetNumber > 0 ? "_" + std::to_string(v.subsetNumber) : std::string();
    auto pictureName = [&](const char* ext) {
        std::string e = ext;  // "Null.svg" -> "Null_3.svg"
        return run.folder + run.session + e.substr(0, e.size() - 4) + suffix + ".svg";
    };
    if (!ords.empty()) {
        static const char* kTitles[] = {"PCoA of Beals-smoothed composition Y", "PCoA of fuzzy-weighted composition X",
                                        "PCoA of phylogeny-weighted composition P"};
        std::vector<OrdinationPanel> panels;
        for (std::size_t k = 0; k < ords.size(); ++k)
            panels.push_back({kTitles[k], &ords[k].scores, ords[k].nAxes, ords[k].pct1, ords[k].pct2});
        const std::string path = pictureName(ordinationPlotExt);
        check(WriteText(path, OrdinationSvg(panels, *v.communityLabels, run.scatter)), path);
    }
    if (!printed.empty() && v.nullValues != nullptr && !v.nullValues->empty()) {
        std::vector<NullPanel> panels;
        for (const PrintedStat& p : printed) {
            const auto s = static_cast<std::size_t>(p.index);
            if (std::isnan(in.prob[s])) continue;  // no null distribution was drawn (site shuffle, ro(BF))
            NullPanel np;
            np.label = p.label;
            const double* row = v.nullValues->row(s);
            np.values.assign(row, row + v.nullValues->cols());
            np.observed = in.obs[s];
            np.lower = in.lowerLimit[s];
            np.upper = in.upperLimit[s];
            np.P = in.prob[s];
            np.asymP = in.asymProb[s];
            panels.push_back(std::move(np));
        }
        const std::string path = pictureName(nullPlotExt);
        check(WriteText(path, NullDistributionSvg(panels, run.histogram)), path);
    } else if (v.modelNullValues != nullptr && in.nEnv > 0) {
        std::vector<NullPanel> panels;
        if (v.opt_ro == 4 && in.regrResults != nullptr)
            panels = RegressionPanels(*in.regrResults, *v.modelNullValues, v, phyl);
        if (v.opt_ro == 5 && in.pseudoFResults != nullptr)
            panels = PseudoFPanels(*in.pseudoFResults, *v.modelNullValues, v, phyl);
        if (!panels.empty()) {
            const std::string path = pictureName(nullPlotExt);
            check(WriteText(path, NullDistributionSvg(panels, run.histogram)), path);
        }
    }
    return failed;
}

}  // namespace kolvar
