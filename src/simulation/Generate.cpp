#include "simulation/Generate.hpp"

#include <cmath>

#include "QMLib/Ordination.hpp"
#include "QMLib/Resemblance.hpp"
#include "QMLib/Transform.hpp"
#include "simulation/Logistic.hpp"
#include "QMLib/Random.hpp"

namespace kolvar {

namespace {
std::size_t Sz(int n) { return static_cast<std::size_t>(n > 0 ? n : 0); }
}  // namespace

void StandardizeTraits(int nOTUs, int nTraits, const Matrix<double>& raw, Matrix<double>& B, TraitSummary& s) {
    B.assign(Sz(nOTUs), Sz(nTraits));
    s.mean.assign(Sz(nTraits), 0.0);
    s.sd.assign(Sz(nTraits), 0.0);
    s.min.assign(Sz(nTraits), 0.0);
    s.max.assign(Sz(nTraits), 0.0);
    s.corr.assign(Sz(nTraits), Sz(nTraits));
    for (int t = 0; t < nTraits; ++t) {
        double sum = 0.0;
        for (int j = 0; j < nOTUs; ++j) sum += raw[j][t];
        const double mean = sum / nOTUs;
        double ss = 0.0;
        for (int j = 0; j < nOTUs; ++j) ss += (raw[j][t] - mean) * (raw[j][t] - mean);
        s.mean[t] = mean;
        s.sd[t] = std::sqrt(ss / nOTUs);
    }
    ZStandardizationColsMV(nOTUs, nTraits, raw, B);
    for (int t = 0; t < nTraits; ++t) {
        s.min[t] = s.max[t] = B[0][t];
        for (int j = 1; j < nOTUs; ++j) {
            s.min[t] = std::min(s.min[t], B[j][t]);
            s.max[t] = std::max(s.max[t], B[j][t]);
        }
    }
    for (int a = 0; a < nTraits; ++a)
        for (int b = 0; b < nTraits; ++b)
            s.corr[a][b] = a == b ? 1.0 : Correlation2SelectedVecMV(nOTUs, raw, a, false, raw, b, false);
}

void GenerateTraits(Random& rnd, const SimulationDesign& d, Matrix<double>& raw, Matrix<double>& B, TraitSummary& s) {
    const int nBase = d.nTraits - d.nProducts, n = d.nOTUs;
    Matrix<double> draws(Sz(n), Sz(nBase));
    CorrToData_New(rnd, n, nBase, d.traitCorr, draws, d.traitDistribution);
    RangeColsAdjMV(n, nBase, draws, draws);
    raw.assign(Sz(n), Sz(d.nTraits));
    for (int j = 0; j < n; ++j) {
        for (int t = 0; t < nBase; ++t) raw[j][t] = draws[j][t];
        for (int k = 0; k < d.nProducts; ++k)
            raw[j][nBase + k] = draws[j][d.products[k].first] * draws[j][d.products[k].second];
    }
    StandardizeTraits(n, d.nTraits, raw, B, s);
}

namespace {

void FromFileOrDraw(Random& rnd, const LogisticSource& src, int items, Matrix<double>& out) {
    out.assign(Sz(items), 2);
    if (src.fromFile) {
        for (int i = 0; i < items; ++i)
            for (int c = 0; c < 2; ++c) out[i][c] = src.values[i][c];
        return;
    }
    for (int i = 0; i < items; ++i) out[i][0] = RndLogisticCentre(rnd, src.centerMin, src.centerMax);
    for (int i = 0; i < items; ++i) out[i][1] = RndLogisticSlopeAdjusted(rnd, src.slopeMin, src.slopeMax, out[i][0]);
}

}  // namespace

void FillInteractionRows(int nFactors, int nSites, Matrix<double>& eco) {
    int row = nFactors;
    for (int v = 0; v < nFactors; ++v)
        for (int w = v + 1; w < nFactors; ++w, ++row)
            for (int i = 0; i < nSites; ++i) eco[row][i] = eco[v][i] * eco[w][i];
}

void DrawParameters(Random& rnd, const SimulationDesign& d, MetacommunitySimulation_Input& in, Matrix<double>& coords) {
    const int nS = d.nSites, nO = d.nOTUs;
    FromFileOrDraw(rnd, d.dispersal, nO, in.dispersalParams);

    if (d.coordsFromFile) {
        coords = d.coords;
    } else {
        coords.assign(2, Sz(nS));
        for (int i = 0; i < nS; ++i)
            for (int a = 0; a < 2; ++a) coords[a][i] = gsl_rng_uniform(rnd.get()) * 100.0;
    }
    Matrix<double> sites(Sz(nS), 2);
    for (int i = 0; i < nS; ++i)
        for (int a = 0; a < 2; ++a) sites[i][a] = coords[a][i];
    in.siteDistances.assign(Sz(nS), Sz(nS));
    EucliDist(nS, 2, sites, in.siteDistances);
    double mx = 0.0;
    for (int i = 0; i < nS; ++i)
        for (int k = 0; k < nS; ++k) mx = std::max(mx, in.siteDistances[i][k]);
    if (mx > 0.0)
        for (int i = 0; i < nS; ++i)
            for (int k = 0; k < nS; ++k) in.siteDistances[i][k] /= mx;

    in.ecosystem.assign(Sz(d.nPredictors), Sz(nS));
    if (d.envInput == 'e') {
        for (int v = 0; v < d.nFactors; ++v)
            for (int i = 0; i < nS; ++i) in.ecosystem[v][i] = d.envGiven[v][i];
    } else {
        Matrix<double> draws(Sz(nS), Sz(d.nFactors));
        CorrToData_New(rnd, nS, d.nFactors, d.factorCorr, draws, d.envDistribution);
        for (int v = 0; v < d.nFactors; ++v) {
            for (int i = 0; i < nS; ++i) in.ecosystem[v][i] = draws[i][v];
            ZStandardizationVectorMV(nS, in.ecosystem.row(v), in.ecosystem.row(v));
        }
    }
    FromFileOrDraw(rnd, d.inertia, nS, in.inertiaParams);

    in.survivalParams = dim3D<double>(d.nTraits, nO, 2);
    if (d.survival.fromFile) {
        for (int t = 0; t < d.nTraits; ++t)
            for (int j = 0; j < nO; ++j)
                for (int c = 0; c < 2; ++c) in.survivalParams[Sz(t)][j][c] = d.survival.values[t * nO + j][c];
    } else {
        for (int j = 0; j < nO; ++j)
            for (int t = 0; t < d.nTraits; ++t) {
                const double c = RndLogisticCentre(rnd, d.survival.centerMin, d.survival.centerMax);
                in.survivalParams[Sz(t)][j][0] = c;
                in.survivalParams[Sz(t)][j][1] =
                    RndLogisticSlopeAdjusted(rnd, d.survival.slopeMin, d.survival.slopeMax, c);
            }
    }
    FromFileOrDraw(rnd, d.density, nO, in.densityParams);

    in.maxLifespan.assign(Sz(nO), 1);
    for (int j = 0; j < nO; ++j) {
        if (d.lifespanFromFile) {
            in.maxLifespan[j] = d.lifespan[j];
        } else {
            // The generator draws nothing for an empty range (GSL's rule for n = 0).
            const int span = d.lifespanMax - d.lifespanMin;
            in.maxLifespan[j] =
                d.lifespanMin + (span > 0 ? static_cast<int>(gsl_rng_uniform_int(rnd.get(), static_cast<unsigned long>(span))) : 0);
        }
    }
    FromFileOrDraw(rnd, d.ageSurvival, nO, in.ageSurvivalParams);
    if (d.interactions) FillInteractionRows(d.nFactors, nS, in.ecosystem);
}

}  // namespace kolvar
