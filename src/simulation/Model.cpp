#include "simulation/Model.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include "base/Fmt.hpp"
#include "QMLib/MatrixProd.hpp"
#include "QMLib/Print.hpp"
#include "QMLib/Transform.hpp"
#include "simulation/Logistic.hpp"
#include "simulation/StepFile.hpp"
#include "QMLib/Random.hpp"

namespace kolvar {

namespace {

std::size_t Sz(int n) { return static_cast<std::size_t>(std::max(n, 0)); }

void EnsureMatrix(Matrix<double>& m, int rows, int cols) {
    if (m.rows() != Sz(rows) || m.cols() != Sz(cols)) m.assign(Sz(rows), Sz(cols));
}

// Working state of one run, allocated once at its start.
struct ModelWork {
    int capacity = 1;
    std::vector<char> factorFeedback;
    bool feedback = false;
    bool thresholdReached = false;
    // Birth step of every living individual per site and OTU, in arrival order.
    // Each list grows with its own peak, so memory follows the individuals alive.
    std::vector<std::vector<int>> births;
    Matrix<double> meanBirth;          // nSites x nOTUs
    std::vector<double> meanBirthOTU;  // nOTUs, over the metacommunity
    std::vector<double> meanBirthSite; // nSites, over all OTUs
    Array3D<double> distRaw, dist, prob;  // nTraits x nSites x nOTUs
    Matrix<double> combined;           // nSites x nOTUs
    Matrix<double> prevCWM, change;    // nTraits x nSites
    std::vector<double> factorChange;  // nSites
    Matrix<int> outlier;               // nFactors x nSites

    std::vector<int>& Births(int nOTUs, int i, int j) { return births[Sz(i) * Sz(nOTUs) + Sz(j)]; }
};

void ComputeFiltering(MetacommunitySimulation_Input& in, ModelWork& w) {
    const int nT = in.nTraits, nS = in.nSites, nO = in.nOTUs;
    MatrixProd(nT, in.nPredictors, in.nPredictors, nS, in.responseParams, in.ecosystem, in.expectedCWM);
    for (int t = 0; t < nT; ++t)
        for (int i = 0; i < nS; ++i)
            for (int j = 0; j < nO; ++j) {
                const double d = std::fabs(in.traits[j][t] - in.expectedCWM[t][i]);
                w.distRaw[t][i][j] = d;
                w.dist[t][i][j] = d;
            }
    MatrixUnitMaxTransf3D(nT, nS, nO, w.dist);
    for (int i = 0; i < nS; ++i)
        for (int j = 0; j < nO; ++j) w.combined[i][j] = 1.0;
    for (int t = 0; t < nT; ++t) {
        const Matrix<double>& par = in.survivalParams[Sz(t)];
        for (int i = 0; i < nS; ++i)
            for (int j = 0; j < nO; ++j) {
                const double p = Logistic(w.dist[t][i][j], 0, 1, 0, 1, par[j][1], par[j][0]);
                w.prob[t][i][j] = p;
                w.combined[i][j] *= p;
            }
    }
}

// Ages in years from the running mean birth steps at step s.
void ComputeAverageAges(MetacommunitySimulation_Input& in, const ModelWork& w, int s) {
    const int nS = in.nSites, nO = in.nOTUs;
    const double spy = in.stepsPerYear;
    for (int i = 0; i < nS; ++i) {
        for (int j = 0; j < nO; ++j)
            in.averageAge[i][j] = in.composition[i][j] > 0 ? (s - w.meanBirth[i][j]) / spy : 0.0;
        in.averageAge[i][nO] = in.abundancePerSite[i] > 0 ? (s - w.meanBirthSite[i]) / spy : 0.0;
    }
    for (int j = 0; j < nO; ++j)
        in.averageAge[nS][j] = in.composition[nS][j] > 0 ? (s - w.meanBirthOTU[j]) / spy : 0.0;
}

// Running mean over n values after adding (sign +1) or removing (-1) value x;
// n is the count before the change.
double UpdateMean(double mean, int n, double x, int sign) {
    const int after = n + sign;
    if (after <= 0) return 0.0;
    return (mean * n + sign * x) / after;
}

void WriteCommunityData(MetacommunitySimulation_Input& in, int s, const char* when) {
    SimFile f("CommunityData.txt", "a", in.err);
    auto& fp = *f;
    fp << Fmt("\nCommunity data matrix at step %d, %s mortality, for %d community sites in rows and %d OTUs in "
              "columns:\n",
              s, when, in.nSites, in.nOTUs);
    PrintMatrixTab(fp, in.nSites, in.nOTUs, in.composition, in.sDigits);
    fp << "\nAbundance in each community:\n";
    PrintVectorTab(fp, in.nSites, in.abundancePerSite.data(), nullptr);
    fp << "\nAbundance of each OTU across communities:\n";
    PrintVectorTab(fp, in.nOTUs, in.composition.row(Sz(in.nSites)), in.sDigits, nullptr);
    fp << Fmt("Total abundance:\t%d\n", in.totalAbundance);
    f.Close();
}

void WriteAverageAge(MetacommunitySimulation_Input& in, int s, const char* when) {
    SimFile f("AverageAge.txt", "a", in.err);
    auto& fp = *f;
    fp << Fmt("\nAverage age data matrix at step %d, %s mortality, for %d community sites in rows and %d OTUs in "
              "columns:\n",
              s, when, in.nSites, in.nOTUs);
    PrintMatrixTab(fp, in.nSites, in.nOTUs, in.averageAge, in.sDigits);
    fp << "\nAverage age of individuals in each community:\n";
    for (int i = 0; i < in.nSites; ++i) fp << Fmt("%.*g\t", in.sDigits, in.averageAge[i][in.nOTUs]);
    fp << '\n';
    fp << "\nAverage age of individuals of each OTU across communities:\n";
    for (int j = 0; j < in.nOTUs; ++j) fp << Fmt("%.*g\t", in.sDigits, in.averageAge[in.nSites][j]);
    fp << '\n';
    f.Close();
}

void WriteSiteLines(MetacommunitySimulation_Input& in, int s, const ModelWork& w) {
    SimFile env("EnvData.txt", "a", in.err), out("EnvDataOutliers.txt", "a", in.err),
        exp("CWM_Expected.txt", "a", in.err);
    for (int i = 0; i < in.nSites; ++i) {
        *env << Fmt("%d\t%d\t", s, i + 1);
        *out << Fmt("%d\t%d\t", s, i + 1);
        *exp << Fmt("%d\t%d\t", s, i + 1);
        for (int v = 0; v < in.nFactors; ++v) {
            *env << Fmt("%g\t", in.ecosystem[v][i]);
            *out << Fmt("%d\t", w.outlier[v][i]);
        }
        for (int t = 0; t < in.nTraits; ++t) *exp << Fmt("%g\t", in.expectedCWM[t][i]);
        *env << '\n';
        *out << '\n';
        *exp << '\n';
    }
    env.Close();
    out.Close();
    exp.Close();

    SimFile dist("Distances.txt", "a", in.err);
    *dist << Fmt("\nDistances (absolute difference) between OTU trait value and expected value at the community "
                 "site, at step %d, %d community sites in rows and for %d OTUs in columns (computed separatey per "
                 "trait):\n",
                 s, in.nSites, in.nOTUs);
    for (int t = 0; t < in.nTraits; ++t) {
        *dist << Fmt("Trait %d:\n", t + 1);
        PrintMatrixTab(*dist, in.nSites, in.nOTUs, w.distRaw[Sz(t)], in.sDigits);
    }
    dist.Close();

    SimFile prob("Prob.txt", "a", in.err);
    *prob << Fmt("\nProbabilities of survival of OTUs at the community sites, at step %d, for %d community sites in "
                 "rows and %d OTUs in columns, per trait and combined for all traits:\n",
                 s, in.nSites, in.nOTUs);
    for (int t = 0; t < in.nTraits; ++t) {
        *prob << Fmt("TRAIT %d:\n", t + 1);
        PrintMatrixTab(*prob, in.nSites, in.nOTUs, w.prob[Sz(t)], in.sDigits);
    }
    *prob << Fmt("\nCOMBINED probabilities of survival considering the %d traits, at step %d, for %d community sites "
                 "in rows and %d OTUs in columns:\n",
                 in.nTraits, s, in.nSites, in.nOTUs);
    PrintMatrixTab(*prob, in.nSites, in.nOTUs, w.combined, in.sDigits);
    prob.Close();
}

void Establish(MetacommunitySimulation_Input& in, ModelWork& w, int i, int j, int s) {
    const int nS = in.nSites, nO = in.nOTUs;
    const int count = static_cast<int>(in.composition[i][j]);
    w.Births(nO, i, j).push_back(s);
    w.meanBirth[i][j] = UpdateMean(w.meanBirth[i][j], count, s, 1);
    w.meanBirthOTU[j] = UpdateMean(w.meanBirthOTU[j], static_cast<int>(in.composition[nS][j]), s, 1);
    w.meanBirthSite[i] = UpdateMean(w.meanBirthSite[i], in.abundancePerSite[i], s, 1);
    in.composition[i][j] += 1;
    in.composition[nS][j] += 1;
    ++in.abundancePerSite[i];
    ++in.totalAbundance;
    if (w.thresholdReached && in.composition[i][j] == 1) ++in.colonizations[i];
}

void Die(MetacommunitySimulation_Input& in, ModelWork& w, int i, int j, int index) {
    const int nS = in.nSites, nO = in.nOTUs;
    std::vector<int>& list = w.Births(nO, i, j);
    const int b = list[Sz(index)];
    const int count = static_cast<int>(in.composition[i][j]);
    w.meanBirth[i][j] = UpdateMean(w.meanBirth[i][j], count, b, -1);
    w.meanBirthOTU[j] = UpdateMean(w.meanBirthOTU[j], static_cast<int>(in.composition[nS][j]), b, -1);
    w.meanBirthSite[i] = UpdateMean(w.meanBirthSite[i], in.abundancePerSite[i], b, -1);
    list.erase(list.begin() + index);  // later entries move up, capacity is kept
    in.composition[i][j] -= 1;
    in.composition[nS][j] -= 1;
    --in.abundancePerSite[i];
    --in.totalAbundance;
    if (w.thresholdReached && in.composition[i][j] == 0) ++in.extinctions[i];
}

// weightedComposition = the abundances, times the average ages with weightByAge.
void WeightComposition(MetacommunitySimulation_Input& in) {
    for (int i = 0; i < in.nSites; ++i)
        for (int j = 0; j < in.nOTUs; ++j)
            in.weightedComposition[i][j] =
                in.weightByAge ? in.composition[i][j] * in.averageAge[i][j] : in.composition[i][j];
}

// Rows of weightedComposition to unit totals, then CWM = its transpose times the traits.
void ComputeCWM(MetacommunitySimulation_Input& in) {
    const int nS = in.nSites, nO = in.nOTUs;
    UnitSumRowsAdjMV(nS, nO, in.weightedComposition, in.weightedComposition);
    for (int t = 0; t < in.nTraits; ++t)
        for (int i = 0; i < nS; ++i) {
            double sum = 0.0;
            for (int j = 0; j < nO; ++j) sum += in.weightedComposition[i][j] * in.traits[j][t];
            in.cwm[t][i] = sum;
        }
}

void Feedback(MetacommunitySimulation_Input& in, ModelWork& w) {
    const int nS = in.nSites;
    for (int t = 0; t < in.nTraits; ++t)
        for (int i = 0; i < nS; ++i) w.change[t][i] = in.cwm[t][i] - w.prevCWM[t][i];
    for (int v = 0; v < in.nFactors; ++v) {
        double hi = 0.0, lo = 0.0;
        for (int i = 0; i < nS; ++i) {
            double c = 0.0;
            for (int t = 0; t < in.nTraits; ++t) c += in.effectParams[v][t] * w.change[t][i];
            w.factorChange[Sz(i)] = c;
            if (i == 0 || c > hi) hi = c;
            if (i == 0 || c < lo) lo = c;
        }
        if (!w.factorFeedback[Sz(v)]) continue;
        const double maxAbs = std::max(hi, std::fabs(lo));
        for (int i = 0; i < nS; ++i) {
            const double c = w.factorChange[Sz(i)];
            const double pi = Logistic(std::fabs(c), 0, maxAbs, 0, 1, in.inertiaParams[i][1], in.inertiaParams[i][0]);
            in.ecosystem[v][i] += (1.0 - pi) * c;
        }
        double* row = in.ecosystem.row(Sz(v));
        ZStandardizationVectorMV(nS, row, row, 3.0, w.outlier.row(Sz(v)));
        for (int i = 0; i < nS; ++i)
            if (w.outlier[v][i]) row[i] = 0.0;
    }
    for (int t = 0; t < in.nTraits; ++t)
        for (int i = 0; i < nS; ++i) w.prevCWM[t][i] = in.cwm[t][i];
}

void RebuildInteractions(MetacommunitySimulation_Input& in) {
    int row = in.nFactors;
    for (int v = 0; v < in.nFactors; ++v)
        for (int u = v + 1; u < in.nFactors; ++u, ++row)
            for (int i = 0; i < in.nSites; ++i) in.ecosystem[row][i] = in.ecosystem[v][i] * in.ecosystem[u][i];
}

}  // namespace

void MetacommunitySimulation_Input::Allocate() {
    abundancePerSite.assign(Sz(nSites), 0);
    EnsureMatrix(weightedComposition, nSites, nOTUs);
    EnsureMatrix(composition, nSites + 1, nOTUs);
    EnsureMatrix(averageAge, nSites + 1, nOTUs + 1);
    EnsureMatrix(expectedCWM, nTraits, nSites);
    EnsureMatrix(cwm, nTraits, nSites);
    if (ecosystem.empty()) EnsureMatrix(ecosystem, nPredictors, nSites);
    if (responseParams.empty()) EnsureMatrix(responseParams, nTraits, nPredictors);
    if (effectParams.empty()) EnsureMatrix(effectParams, nFactors, nTraits);
    if (siteDistances.empty()) EnsureMatrix(siteDistances, nSites, nSites);
    if (traits.empty()) EnsureMatrix(traits, nOTUs, nTraits);
    if (survivalParams.size() != Sz(nTraits)) survivalParams = dim3D<double>(nTraits, nOTUs, 2);
    if (dispersalParams.empty()) EnsureMatrix(dispersalParams, nOTUs, 2);
    if (densityParams.empty()) EnsureMatrix(densityParams, nOTUs, 2);
    if (ageSurvivalParams.empty()) EnsureMatrix(ageSurvivalParams, nOTUs, 2);
    if (inertiaParams.empty()) EnsureMatrix(inertiaParams, nSites, 2);
    if (maxLifespan.size() != Sz(nOTUs)) maxLifespan.assign(Sz(nOTUs), 1);
    richnessAtThreshold.assign(Sz(nSites), 0);
    siteCounter.assign(Sz(nSites), 0);
    extinctions.assign(Sz(nSites), 0);
    colonizations.assign(Sz(nSites), 0);
}

bool MetacommunitySimulation(MetacommunitySimulation_Input& in, Random& rnd, const ProgressFn& progress) {
    const int nS = in.nSites, nO = in.nOTUs, nT = in.nTraits;
    in.Allocate();
    gsl_rng* r = rnd.get();

    ModelWork w;
    w.capacity = std::max(in.maxIndividuals / std::max(nS, 1), 1);
    w.factorFeedback.assign(Sz(in.nFactors), 0);
    for (int v = 0; v < in.nFactors; ++v)
        for (int t = 0; t < nT; ++t)
            if (in.effectParams[v][t] != 0.0) w.factorFeedback[Sz(v)] = 1;
    w.feedback = std::find(w.factorFeedback.begin(), w.factorFeedback.end(), 1) != w.factorFeedback.end();
    w.births.assign(Sz(nS) * Sz(nO), {});
    w.meanBirth.assign(Sz(nS), Sz(nO));
    w.meanBirthOTU.assign(Sz(nO), 0.0);
    w.meanBirthSite.assign(Sz(nS), 0.0);
    w.distRaw = dim3D<double>(nT, nS, nO);
    w.dist = dim3D<double>(nT, nS, nO);
    w.prob = dim3D<double>(nT, nS, nO);
    w.combined.assign(Sz(nS), Sz(nO));
    w.prevCWM.assign(Sz(nT), Sz(nS));
    w.change.assign(Sz(nT), Sz(nS));
    w.factorChange.assign(Sz(nS), 0.0);
    w.outlier.assign(Sz(in.nFactors), Sz(nS));

    in.composition.clear();
    in.averageAge.clear();
    in.weightedComposition.clear();
    in.cwm.clear();
    std::fill(in.abundancePerSite.begin(), in.abundancePerSite.end(), 0);
    in.totalAbundance = 0;
    in.thresholdStep = 0;

    char message[96];
    for (int s = 1; s <= in.nSteps; ++s) {
        if (progress) {
            std::snprintf(message, sizeof message, "Iteration: %d %d Abundance: %d", in.nDataSets, in.dataSetNo,
                          in.totalAbundance);
            progress(message);
        }
        if (s == 1 || w.feedback) ComputeFiltering(in, w);

        if (!w.thresholdReached && (in.totalAbundance > in.maxIndividuals * in.thresholdProportion ||
                                    s > in.thresholdProportion * in.nSteps)) {
            for (int i = 0; i < nS; ++i) {
                int rich = 0;
                for (int j = 0; j < nO; ++j) rich += in.composition[i][j] > 0;
                in.richnessAtThreshold[i] = rich;
            }
            in.thresholdStep = s;
            w.thresholdReached = true;
        }

        // Arrivals, one attempt per site.
        std::optional<SimFile> dispFile;
        if (in.saveSteps) {
            dispFile.emplace("DispersalProb.txt", "a", in.err);
            **dispFile << Fmt("Iteration:\t%d\tAbundance:\t%d:\n", in.nDataSets, in.totalAbundance);
        }
        for (int i = 0; i < nS; ++i) {
            const int j = static_cast<int>(gsl_rng_uniform_int(r, static_cast<unsigned long>(nO)));
            const double M = in.composition[nS][j], L = in.composition[i][j];
            bool arrives = true;
            if (M > 0 && L == 0) {
                double dmin = 1.0;
                for (int k = 0; k < nS; ++k)
                    if (k != i && in.composition[k][j] > 0) dmin = std::min(dmin, in.siteDistances[i][k]);
                const double p = Logistic(dmin, 0, 1, 0, 1, in.dispersalParams[j][1], in.dispersalParams[j][0]);
                if (dispFile) **dispFile << Fmt("Community:\t%d\tOTU:\t%d\tProb dispersal:\t%g\n", i + 1, j + 1, p);
                arrives = gsl_rng_uniform(r) < p;
            }
            if (arrives && gsl_rng_uniform(r) < w.combined[i][j]) Establish(in, w, i, j, s);
        }
        if (dispFile) dispFile->Close();
        dispFile.reset();

        if (in.saveSteps) {
            WriteCommunityData(in, s, "BEFORE");
            ComputeAverageAges(in, w, s);
            WriteAverageAge(in, s, "BEFORE");
        }

        // Mortality, at most one death per site.
        bool died = false;
        std::optional<SimFile> ddFile;
        if (in.saveSteps) {
            ddFile.emplace("DensityDependence_AgeRelatedProb.txt", "a", in.err);
            **ddFile << Fmt("Iteration:\t%d\tAbundance:\t%d:\n", in.nDataSets, in.totalAbundance);
        }
        for (int i = 0; i < nS; ++i) {
            const int n = in.abundancePerSite[i];
            if (n <= 0) continue;
            const double density = static_cast<double>(n / w.capacity);
            const int rr = static_cast<int>(gsl_rng_uniform_int(r, static_cast<unsigned long>(n)));
            int j = -1;
            double cum = 0.0;
            for (int k = 0; k < nO; ++k) {
                cum += in.composition[i][k];
                if (rr < cum) {
                    j = k;
                    break;
                }
            }
            if (j < 0) {
                // Counts and the site total disagree: a fault of the bookkeeping.
                if (in.err) *in.err << "ERROR";
                continue;
            }
            const double pdd = Logistic(density, 0, 1, 0, 1, in.densityParams[j][1], in.densityParams[j][0]);
            const std::vector<int>& list = w.Births(nO, i, j);
            const int index = static_cast<int>(gsl_rng_uniform_int(r, static_cast<unsigned long>(list.size())));
            const double age = (s - list[Sz(index)]) / static_cast<double>(in.stepsPerYear);
            const double pa = Logistic(age / in.maxLifespan[Sz(j)], 0, 1, 0, 1, in.ageSurvivalParams[j][1],
                                       in.ageSurvivalParams[j][0]);
            if (ddFile) {
                **ddFile << Fmt("Community:\t%d\tDensity dependence survival probability:\t%g\n", i + 1, pdd);
                **ddFile << Fmt("Community:\t%d\tOTU:\t%d\tIndividual age (years):\t%g\tAge-related survival "
                                "probability:\t%g\n",
                                i + 1, j + 1, age, pa);
            }
            if (gsl_rng_uniform(r) < 1.0 - pdd * pa * w.combined[i][j]) {
                Die(in, w, i, j, index);
                died = true;
            }
        }
        if (ddFile) ddFile->Close();
        ddFile.reset();

        ComputeAverageAges(in, w, s);
        if (in.saveSteps) {
            if (died) WriteCommunityData(in, s, "AFTER");
            WriteAverageAge(in, s, "AFTER");
            WriteSiteLines(in, s, w);
        }

        WeightComposition(in);
        if (in.saveSteps && in.weightByAge && died) {
            SimFile f("CommunityDataWeightedByAge.txt", "a", in.err);
            *f << Fmt("\nAge-weighted abundances (community data matrix) at step %d, AFTER mortality, for %d "
                      "community sites in rows and %d OTUs in columns:\n",
                      s, nS, nO);
            PrintMatrixTab(*f, nS, nO, in.weightedComposition, in.sDigits);
            f.Close();
        }
        ComputeCWM(in);
        if (in.saveSteps) {
            SimFile f("CWM.txt", "a", in.err);
            for (int i = 0; i < nS; ++i) {
                *f << Fmt("%d\t%d\t", s, i + 1);
                for (int t = 0; t < nT; ++t) *f << Fmt("%g\t", in.cwm[t][i]);
                *f << '\n';
            }
            f.Close();
        }

        Feedback(in, w);
        if (in.useInteractions) RebuildInteractions(in);
    }
    return true;
}

}  // namespace kolvar
