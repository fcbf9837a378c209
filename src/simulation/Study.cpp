#include "simulation/Study.hpp"

#include <omp.h>

#include <algorithm>
#include <cmath>

#include "base/Fmt.hpp"
#include "QMLib/Ordination.hpp"
#include "QMLib/Print.hpp"
#include "QMLib/Resemblance.hpp"
#include "QMLib/Transform.hpp"
#include "base/Console.hpp"
#include "base/Prompts.hpp"
#include "simulation/Generate.hpp"
#include "simulation/Model.hpp"
#include "simulation/StepFile.hpp"
#include "QMLib/Random.hpp"

namespace kolvar {

namespace {

std::size_t Sz(int n) { return static_cast<std::size_t>(n > 0 ? n : 0); }

void CheckWritten(std::ostream& fp, const char* name, std::ostream& err) {
    if (!fp) {
        err << Fmt("\nfile %s ", name);
        throw FatalError{FatalCode::FailToPrint};
    }
}

void CreateStudyFiles(const SimulationDesign& d, std::ostream* err) {
    if (d.StepFiles()) {
        CreateSimFile("EnvData.txt",
                      Fmt("Ecosystem data matrix (simulation steps and community sites in rows, %d environmental "
                          "variables in columns):\n",
                          d.nFactors),
                      err);
        CreateSimFile("EnvDataOutliers.txt",
                      Fmt("Outliers (1) in the standardized ecosystem data (simulation steps and community sites in "
                          "rows, %d environmental variables in columns):\n",
                          d.nFactors),
                      err);
        CreateSimFile("CWM_Expected.txt",
                      Fmt("Expected community weighted means (CWM), (simulation steps and community sites in rows, %d "
                          "traits in columns):\n",
                          d.nTraits),
                      err);
        for (const char* name : {"Distances.txt", "Prob.txt", "DensityDependence_AgeRelatedProb.txt",
                                 "DispersalProb.txt", "CommunityData.txt", "AverageAge.txt"})
            CreateSimFile(name, "", err);
        if (d.weightByAge) CreateSimFile("CommunityDataWeightedByAge.txt", "", err);
        CreateSimFile("CWM.txt",
                      Fmt("Community weighted means (CWM), (simulation steps and community sites in rows, %d traits "
                          "in columns):\n",
                          d.nTraits),
                      err);
    }
    for (const char* name : {"B_Simulated.txt", "W_Simulated.txt", "E_Simulated.txt", "Summary.txt"})
        CreateSimFile(name, "", err);
    if (d.weightByAge) CreateSimFile("W_Age-weighted_Simulated.txt", "", err);
}

void WriteTraitDataFile(const SimulationDesign& d, std::ostream* err) {
    SimFile f("TraitData.txt", "w", err);
    if (d.traitInput == 't') {
        *f << Fmt("Trait data (not standardized, %d OTUs in rows and %d traits in columns):\n", d.nOTUs, d.nTraits);
        PrintMatrixTab(*f, d.nOTUs, d.nTraits, d.traitData, 6);
    } else {
        const int nBase = d.nTraits - d.nProducts;
        *f << Fmt("\nTrait correlation matrix (%d traits):\n", nBase);
        PrintMatrixTab(*f, nBase, nBase, d.traitCorr, 6);
        *f << "\nTraits generated as the product of other traits: \n";
        for (int k = 0; k < d.nProducts; ++k)
            *f << Fmt("Trait\t%d\t=\ttraits\t%d\tx\t%d\n", nBase + k + 1, d.products[Sz(k)].first + 1,
                      d.products[Sz(k)].second + 1);
    }
    f.Close();
}

Matrix<double> Transposed(int rows, int cols, const Matrix<double>& m) {
    Matrix<double> t(Sz(cols), Sz(rows));
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < cols; ++j) t[j][i] = m[i][j];
    return t;
}

void PrintVec(std::ostream& fp, const std::vector<double>& v, int digits) {
    PrintVectorTab(fp, static_cast<int>(v.size()), v.data(), digits, nullptr);
}

int Richness(const Matrix<double>& comp, int i, int nO) {
    int r = 0;
    for (int j = 0; j < nO; ++j) r += comp[i][j] > 0;
    return r;
}

// Data of one simulated data set, for its reports.
struct DataSetRecord {
    Matrix<double> rawTraits, B, coords, initialEco, extrapolation;
    TraitSummary summary;
};

void WriteFinalData(std::ostream& fp, const SimulationDesign& d, const MetacommunitySimulation_Input& m,
                    const DataSetRecord& r, int ds, int digits) {
    const int nS = d.nSites, nO = d.nOTUs, nT = d.nTraits, nP = d.nPredictors;
    fp << Fmt("\n\nSIMULATED DATA %d", ds);
    fp << Fmt("\nTrait data (range-scaled to 0-1, %d OTUs in rows and %d traits in columns):\n", nO, nT);
    Matrix<double> scaled(Sz(nO), Sz(nT));
    RangeColsAdjMV(nO, nT, r.rawTraits, scaled);
    PrintMatrixTab(fp, nO, nT, scaled, digits);
    fp << Fmt("\nTrait data (z-scores standardized, %d OTUs in rows and %d traits in columns):\n", nO, nT);
    PrintMatrixTab(fp, nO, nT, r.B, digits);
    fp << "\nTrait means:\n";
    PrintVec(fp, r.summary.mean, digits);
    fp << "\nTrait standard deviations:\n";
    PrintVec(fp, r.summary.sd, digits);
    fp << Fmt("\nCorrelation matrix of the generated traits (%d traits):\n", nT);
    PrintMatrixTab(fp, nT, nT, r.summary.corr, digits);

    fp << Fmt("\nParameters (center and slope) of the dispersal kernel logistic function, %d OTUs in rows:\n", nO);
    PrintMatrixTab(fp, nO, 2, m.dispersalParams, digits);
    fp << Fmt("\nCommunity site coordinates (X and Y in rows, %d sites in columns):\n", nS);
    PrintMatrixTab(fp, 2, nS, r.coords, digits);
    fp << Fmt("\nParameters (center and slope) of the site inertia logistic function, %d sites in rows:\n", nS);
    PrintMatrixTab(fp, nS, 2, m.inertiaParams, digits);
    for (int t = 0; t < nT; ++t) {
        fp << Fmt("\nParameters (center and slope) of the survival logistic function for trait %d, %d OTUs in rows:\n",
                  t + 1, nO);
        PrintMatrixTab(fp, nO, 2, m.survivalParams[Sz(t)], digits);
    }
    fp << Fmt("\nParameters (center and slope) of the density dependence logistic function, %d OTUs in rows:\n", nO);
    PrintMatrixTab(fp, nO, 2, m.densityParams, digits);
    fp << Fmt("\nMaximum lifespan (years) of %d OTUs:\n", nO);
    PrintVectorTab(fp, nO, m.maxLifespan.data(), nullptr);
    fp << Fmt("\nParameters (center and slope) of the age-related survivorship logistic function, %d OTUs in rows:\n",
              nO);
    PrintMatrixTab(fp, nO, 2, m.ageSurvivalParams, digits);

    fp << Fmt("\nCommunity data matrix at final step %d, for %d community sites in rows and %d OTUs in columns:\n",
              m.nSteps, nS, nO);
    PrintMatrixTab(fp, nS, nO, m.composition, digits);
    fp << "\nAbundance in each community:\n";
    PrintVectorTab(fp, nS, m.abundancePerSite.data(), nullptr);
    fp << Fmt("Total abundance:\t%d\n", m.totalAbundance);
    fp << Fmt("\nOTU richness in each community at threshold step %d:\n", m.thresholdStep);
    PrintVectorTab(fp, nS, m.richnessAtThreshold.data(), nullptr);
    std::vector<int> rich(Sz(nS));
    for (int i = 0; i < nS; ++i) rich[i] = Richness(m.composition, i, nO);
    fp << Fmt("\nOTU richness in each community at final step %d:\n", m.nSteps);
    PrintVectorTab(fp, nS, rich.data(), nullptr);
    fp << Fmt("\nMinimum richness:\t%d\tMaximum richness:\t%d\n", *std::min_element(rich.begin(), rich.end()),
              *std::max_element(rich.begin(), rich.end()));
    fp << Fmt("\nAverage age (years) at final step %d, %d community sites in rows (last row: OTUs across communities) "
              "and %d OTUs in columns (last column: all OTUs in the community):\n",
              m.nSteps, nS, nO);
    PrintMatrixTab(fp, nS + 1, nO + 1, m.averageAge, digits);
    fp << "\nOTU extinctions in each community after the threshold:\n";
    PrintVectorTab(fp, nS, m.extinctions.data(), nullptr);
    fp << "\nOTU colonizations in each community after the threshold:\n";
    PrintVectorTab(fp, nS, m.colonizations.data(), nullptr);
    fp << Fmt("\nEcosystem data at step 1 (%d community sites in rows, %d ecosystem variables in columns):\n", nS, nP);
    PrintMatrixTab(fp, nS, nP, Transposed(nP, nS, r.initialEco), digits);
    fp << Fmt("\nEcosystem data at final step %d (%d community sites in rows, %d ecosystem variables in columns):\n",
              m.nSteps, nS, nP);
    PrintMatrixTab(fp, nS, nP, Transposed(nP, nS, m.ecosystem), digits);
    fp << Fmt("\nExpected community weighted means at final step %d (%d traits in rows, %d community sites in "
              "columns):\n",
              m.nSteps, nT, nS);
    PrintMatrixTab(fp, nT, nS, m.expectedCWM, digits);
    fp << Fmt("\nAmount of extrapolation (if any, when positive was larger than the maximum, when negative was smaller "
              "than the minimum trait value) at step %d, based on standardized to Z scores according to mean and "
              "standard deviations in the trait matrix, for %d traits in rows and %d community sites in columns:\n",
              m.nSteps, nT, nS);
    PrintMatrixTab(fp, nT, nS, r.extrapolation, digits);
}

void AppendDataFiles(const SimulationDesign& d, const MetacommunitySimulation_Input& m, const DataSetRecord& r, int ds,
                     int digits, std::ostream* err) {
    const int nS = d.nSites, nO = d.nOTUs, nT = d.nTraits, nP = d.nPredictors;
    {
        SimFile f("B_Simulated.txt", "a", err);
        PrintMatrixTab(*f, nO, nT, r.B, digits);
        *f << Fmt("\nSIMULATION DATA:\t%d\nMatrix above contains trait data (z-scores standardized, %d OTUs in rows "
                  "and %d traits in columns).\n\n",
                  ds, nO, nT);
        f.Close();
    }
    {
        SimFile f("W_Simulated.txt", "a", err);
        PrintMatrixTab(*f, nS, nO, m.composition, digits);
        *f << Fmt("\nSIMULATION DATA:\t%d\nMatrix above contains community composition at final simulation step %d, "
                  "for %d community sites in rows and %d OTUs in columns.\n",
                  ds, m.nSteps, nS, nO);
        *f << "\nAbundance in each community:\n";
        PrintVectorTab(*f, nS, m.abundancePerSite.data(), nullptr);
        *f << Fmt("Total abundance:\t%d\n\n", m.totalAbundance);
        f.Close();
    }
    if (d.weightByAge) {
        SimFile f("W_Age-weighted_Simulated.txt", "a", err);
        PrintMatrixTab(*f, nS, nO, m.weightedComposition, digits);
        *f << Fmt("\nSIMULATION DATA:\t%d\nMatrix above contains age-weighted community composition at final "
                  "simulation step %d, for %d community sites in rows and %d OTUs in columns.\n\n",
                  ds, m.nSteps, nS, nO);
        f.Close();
    }
    {
        SimFile f("E_Simulated.txt", "a", err);
        PrintMatrixTab(*f, nS, nP, Transposed(nP, nS, m.ecosystem), digits);
        *f << Fmt("\nSIMULATION DATA:\t%d\nMatrix above contains ecosystem data at final step %d (%d community sites "
                  "in rows, %d ecosystem variables in columns).\n\n",
                  ds, m.nSteps, nS, nP);
        f.Close();
    }
    {
        SimFile f("TraitTypes_Simulated.txt", "w", err);
        for (int t = 0; t < nT; ++t) *f << "3\t";
        f.Close();
    }
    {
        SimFile f("OTUs_Simulated.txt", "w", err);
        for (int j = 0; j < nO; ++j) *f << Fmt("%d\n", j + 1);
        f.Close();
    }
}

// Correspondence analysis of the final composition (sites and OTUs holding
// individuals) and the correlations of its site scores with the site data.
void WriteOrdination(std::ostream& fp, const SimulationDesign& d, const MetacommunitySimulation_Input& m, int digits) {
    const int nS = d.nSites, nO = d.nOTUs, nT = d.nTraits;
    fp << Fmt("\nCommunity weighted means (CWM) at the final step (%d traits in rows, %d community sites in columns):\n",
              nT, nS);
    PrintMatrixTab(fp, nT, nS, m.cwm, digits);
    fp << (d.weightByAge ? "\nAbundances of OTUs were weighted by their age in the communities:\n"
                         : "\nAbundances of OTUs were NOT weighted by their age in the communities:\n");
    fp << "\nOrdination (Correspondende Analysis, CA) of OTU composition matrix W:";
    std::vector<int> sites, otus;
    for (int i = 0; i < nS; ++i)
        if (m.abundancePerSite[i] > 0) sites.push_back(i);
    for (int j = 0; j < nO; ++j)
        if (m.composition[Sz(nS)][Sz(j)] > 0) otus.push_back(j);
    const int n = static_cast<int>(sites.size()), p = static_cast<int>(otus.size());
    if (n < 2 || p < 2) {
        fp << Fmt("\nNot computed: %d community sites and %d OTUs hold individuals.\n", n, p);
        return;
    }
    Matrix<double> W(Sz(n), Sz(p)), Z(Sz(n), Sz(p)), rese(Sz(n), Sz(n)), vectors(Sz(n), Sz(n)), scores(Sz(n), Sz(p));
    for (int a = 0; a < n; ++a)
        for (int b = 0; b < p; ++b) W[a][b] = m.composition[Sz(sites[Sz(a)])][Sz(otus[Sz(b)])];
    DeviationsExpectationsMV(n, p, W, Z);
    CrossProductMV(n, p, Z, rese);
    std::vector<double> values(Sz(n));
    int nAxes = 0;
    bool ok = true;
    OrdinationLib_D(n, p, W, rese, vectors, scores, nAxes, values.data(), ok, 3, 1, 1);
    int shown = 0;
    double sumPos = 0.0;
    for (int k = 0; k < n; ++k) {
        if (values[k] > 0.0001) ++shown;
        if (values[k] > 0.0) sumPos += values[k];
    }
    shown = std::min(shown, nAxes);
    fp << Fmt("\nNumber of eigenvalues >0.0001: \t%d", shown);
    fp << "\nEigenvalues:\n";
    for (int k = 0; k < shown; ++k) fp << Fmt("%8.*g\t", digits, values[k]);
    fp << "\nPercentage of the sum of positive eigenvalues:\n";
    for (int k = 0; k < shown; ++k) fp << Fmt("%8.*g\t", digits, sumPos > 0 ? values[k] * 100.0 / sumPos : 0.0);
    fp << Fmt("\n\nOTU scores (%d OTUs in rows, %d axes in columns):\n", p, shown);
    for (int b = 0; b < p; ++b) {
        fp << Fmt("%d\t", otus[Sz(b)] + 1);
        for (int k = 0; k < shown; ++k) fp << Fmt("%.*g\t", digits, scores[k][b]);
        fp << '\n';
    }
    fp << Fmt("\nCommunity scores (%d community sites in rows, %d axes in columns):\n", n, shown);
    for (int a = 0; a < n; ++a) {
        fp << Fmt("%d\t", sites[Sz(a)] + 1);
        for (int k = 0; k < shown; ++k) fp << Fmt("%.*g\t", digits, vectors[k][a]);
        fp << '\n';
    }
    // Site descriptors over the ordinated sites.
    std::vector<std::pair<std::string, std::vector<double>>> vars;
    auto add = [&](const std::string& name, auto value) {
        std::vector<double> v(Sz(n));
        for (int a = 0; a < n; ++a) v[a] = value(sites[Sz(a)]);
        vars.emplace_back(name, std::move(v));
    };
    add("Total abundance", [&](int i) { return double(m.abundancePerSite[i]); });
    add("Average age", [&](int i) { return m.averageAge[i][nO]; });
    add("Richness", [&](int i) { return double(Richness(m.composition, i, nO)); });
    add("Extinctions", [&](int i) { return double(m.extinctions[i]); });
    add("Colonizations", [&](int i) { return double(m.colonizations[i]); });
    for (int t = 0; t < nT; ++t) add(Fmt("CWM trait %d", t + 1), [&](int i) { return m.cwm[t][i]; });
    for (int v = 0; v < d.nFactors; ++v) add(Fmt("Factor %d", v + 1), [&](int i) { return m.ecosystem[v][i]; });
    fp << "\nCorrelations of community scores with community descriptors (axes in columns):\n";
    std::vector<double> axis(Sz(n));
    for (const auto& [name, v] : vars) {
        fp << name << '\t';
        for (int k = 0; k < shown; ++k) {
            for (int a = 0; a < n; ++a) axis[a] = vectors[k][a];
            fp << Fmt("%.*g\t", digits, Correlation2VecMV(n, axis.data(), v.data()));
        }
        fp << '\n';
    }
}

int ProcessorsUsed(const Options& opt) { return opt.nProcessors > 0 ? opt.nProcessors : omp_get_num_procs(); }

}  // namespace

void RunSimulationStudy(SimulationEnv& env, const SimulationDesign& d) {
    Console& con = env.con;
    std::ostream* err = &con.err;
    const int digits = env.opt.sDigits;
    const double t0 = env.clock.WallSeconds();
    InitRndNumberGenerator(env.rnd, d.rseed);

    DataSetRecord rec;
    if (d.traitInput == 't') {
        rec.rawTraits = d.traitData;
        StandardizeTraits(d.nOTUs, d.nTraits, d.traitData, rec.B, rec.summary);
    }
    if (!d.errorRateMode && d.save) WriteTraitDataFile(d, err);
    CreateStudyFiles(d, err);

    SimFile final(kFinalDataFile, "w", err);
    std::ostream& fp = *final;
    fp << lineL << '\n' << "SIMULATION OF COMMUNITY ASSEMBLY\n" << version << '\n';
    TimeStamp(fp, env.clock);
    fp << lineL << '\n';
    fp << Fmt("Seed of the random number generator:\t%u\n", static_cast<unsigned>(d.rseed));
    WriteDesignEcho(fp, d);
    SimFile summary("Summary.txt", "a", err);

    MetacommunitySimulation_Input m;
    m.nDataSets = d.nDataSets;
    m.nSites = d.nSites;
    m.nTraits = d.nTraits;
    m.nOTUs = d.nOTUs;
    m.nFactors = d.nFactors;
    m.nPredictors = d.nPredictors;
    m.maxIndividuals = d.MaxIndividuals();
    m.nSteps = d.NSteps();
    m.stepsPerYear = d.stepsPerYear;
    m.thresholdProportion = d.threshold;
    m.responseParams = d.response;
    m.effectParams = d.effect;
    m.saveFinalData = d.FinalData();
    m.saveSteps = d.StepFiles();
    m.useInteractions = d.interactions;
    m.weightByAge = d.weightByAge;
    m.sDigits = digits;
    m.err = err;

    ErrorRateStudy study;
    for (int ds = 1; ds <= d.nDataSets; ++ds) {
        if (d.traitInput == 'c') GenerateTraits(env.rnd, d, rec.rawTraits, rec.B, rec.summary);
        DrawParameters(env.rnd, d, m, rec.coords);
        rec.initialEco = m.ecosystem;
        m.traits = rec.B;
        m.dataSetNo = ds;
        MetacommunitySimulation(m, env.rnd, env.progress);

        rec.extrapolation.assign(Sz(d.nTraits), Sz(d.nSites));
        for (int t = 0; t < d.nTraits; ++t)
            for (int i = 0; i < d.nSites; ++i) {
                const double e = m.expectedCWM[t][i];
                rec.extrapolation[t][i] =
                    e > rec.summary.max[t] ? e - rec.summary.max[t] : e < rec.summary.min[t] ? e - rec.summary.min[t] : 0.0;
            }
        if (d.StepFiles()) {
            ClearLine(con);
            con.out << Fmt("\n\nEcosystem data at every step saved on file %s\n", "EnvData.txt")
                    << Fmt("Dispersal probabilities at every step saved on file %s\n", "DispersalProb.txt")
                    << Fmt("Expected CWM at every step saved on file %s\n", "CWM_Expected.txt")
                    << Fmt("Distances between OTU trait and expected community mean traits at each site, at every step "
                           "saved on file %s\n",
                           "Dist.txt")
                    << Fmt("Probabilities of survival of each OTU based on the environmental conditions at each site, "
                           "at every step saved on file %s\n",
                           "Prob.txt")
                    << Fmt("Density dependence and age-related survival probabilities for each community at every "
                           "extinction step saved on file %s\n",
                           "DensityDependence_AgeRelatedProb.txt")
                    << Fmt("Community data at every step saved on file %s\n", "CommunityData.txt");
            if (d.weightByAge)
                con.out << Fmt("Age-weighted OTU abundances (community data) at every step saved on file %s\n",
                               "CommunityDataWeightedByAge.txt");
            con.out << Fmt("Average ages at every step saved on file %s\n", "AverageAge.txt")
                    << Fmt("Actual community weighted means (CWM) at every step saved on file %s\n", "CWM.txt");
        }
        if (m.totalAbundance == 0) {
            const std::string msg = Fmt("\nSimulated data %d: no individual established in any community site.\n", ds);
            fp << msg;
            con.out << msg;
        }
        if (d.FinalData()) {
            WriteFinalData(fp, d, m, rec, ds, digits);
            AppendDataFiles(d, m, rec, ds, digits, err);
            WriteOrdination(fp, d, m, digits);
        }
        if (d.errorRateMode) {
            if (ds == 1) {
                ClearLine(con);
                AskAnalysisChoices(con, d, env.settings, study.choices);
            }
            DataSetContext ctx{con, env.opt, env.rnd, d, m, rec.B, ds, fp, *summary};
            AnalyseDataSet(ctx, study);
        }
        CheckWritten(fp, kFinalDataFile, con.err);
        CheckWritten(*summary, "Summary.txt", con.err);
    }

    if (d.errorRateMode) {
        fp << '\n' << lineL << '\n' << "SIMULATION OF COMMUNITY ASSEMBLY\n" << "FINAL RESULTS\n" << version << '\n';
        WriteDesignEcho(fp, d);
        fp << Fmt("Number of simulated data sets:\t%d\n", d.nDataSets);
        fp << Fmt("Number of random permutations in each test:\t%d\n", study.choices.settings.fa.niter);
        fp << Fmt("Alpha threshold for Ho rejection:\t%g\n", d.alpha);
        fp << Fmt("Elapsed time (seconds): %g\n", env.clock.WallSeconds() - t0);
        fp << Fmt("Maximum number of processors the program used: %d\n", ProcessorsUsed(env.opt));
        WriteRejectionRates(fp, d, env.opt, study);
    }
    TimeStamp(fp, env.clock);
    summary.Close();
    final.Close();
    ClearLine(con);
    con.out << Fmt("\n\nResults on file %s%s\n", "", kFinalDataFile);
}

void IFAssemblyRulesSimulation_EnvFeedback_TypeI_II_Error(SimulationEnv& env) {
    SimulationDesign d;
    AskSimulationDesign(env.con, env.clock, d);
    RunSimulationStudy(env, d);
}

}  // namespace kolvar
