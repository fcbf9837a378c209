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
    const std::string statsPath = run.session + statsTableExt;
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
    const std::string commPath = run.session + communityTableExt;
    check(WriteTsv(commPath, CommunityTableHeader(c), CommunityTableRows(labels, c), append), commPath);

    // Pictures.
    const std::string suffix = v.subsetNumber > 0 ? "_" + std::to_string(v.subsetNumber) : std::string();
    auto pictureName = [&](const char* ext) {
        std::string e = ext;  // "Null.svg" -> "Null_3.svg"
        return run.session + e.substr(0, e.size() - 4) + suffix + ".svg";
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
    }
    return failed;
}

}  // namespace kolvar
