#include "RankingFixture.hpp"

#include <algorithm>
#include <fstream>
#include <numeric>

#include "data/Formda.hpp"
#include "support/Scenario.hpp"

namespace kolvar::test {

TinyRanking::TinyRanking() {
    // B, W (OTUs x communities), E and an all-zero phylogeny; the settings the
    // file does not hold follow.
    std::ifstream file(SourcePath("tests/ranking/data/tinyFormda.txt"));
    d = ReadFormda(con, file, "tinyFormda.txt");
    d.weight = {1, 1, 1};
    d.eVarSelect = {1, 1, 0, 0, 0};
    d.weight_OTUs = {1, 1, 1, 1, 1};
    d.partition_OTUs = {1, 2, 3, 4, 5};

    opt.sDigits = 6;
    session.sessionName = "tiny";
    session.whichFormda = "tinyFormda.txt";
    fa.opt_ro = 1;
    fa.opt_MatrixCorr = 'm';
    fa.optUnitTotalAdjust2 = true;
    fa.opt_struct = 1;
    fa.partition_OTUs_Phyl = {1, 1, 2, 2, 3};
    fa.fuzzyPhyl = 0;
    hier.rese_opt = 6;
    hier.fuzzy = 3;
    hier.reseCstOpt = 1;
    hier.traitBasedOpt = 1;
    rs.nMinTraitsChRank = 1;
    rs.nMaxTraitsChRank = 3;
    rs.nMinCSTGroupsChRank = rs.nMaxCSTGroupsChRank = 5;
    rs.whichChorder = "tinyChRank.txt";
}

RankingInputs TinyRanking::Inputs(int threads) {
    return RankingInputs{con, clock, opt, session, d, fa, hier, rs, rnd,
                         [this](const char* m) { progress.emplace_back(m); }, threads};
}

Reference::Reference(const TinyRanking& fx, std::vector<int> sel) : f(fx), select(std::move(sel)) {
    const DataSet& d = f.d;
    const int n = d.ncsm, t = d.tcst, p = d.nch;
    Wn = Matrix<double>(n, t);
    for (int c = 0; c < n; ++c) {
        double total = 0;
        for (int i = 0; i < t; ++i) total += d.cadat[i][c];
        for (int i = 0; i < t; ++i) Wn[c][i] = d.cadat[i][c] / total;
    }
    // Gower: each quantitative trait 1 - |a - b| / range, kept in single precision, averaged.
    S = Matrix<double>(t, t);
    for (int i = 0; i < t; ++i)
        for (int j = 0; j < t; ++j) {
            double sum = 0;
            int count = 0;
            for (int k = 0; k < p; ++k) {
                if (!select[k]) continue;
                std::vector<double> column(t);
                for (int o = 0; o < t; ++o) column[o] = d.csm_Float[o][k];
                const auto [mn, mx] = std::minmax_element(column.begin(), column.end());
                sum += static_cast<float>(1.0 - std::fabs(d.csm_Float[i][k] - d.csm_Float[j][k]) / (*mx - *mn));
                ++count;
            }
            S[i][j] = sum / count;
        }
    // Each OTU its own type when the partition is 1..5; otherwise types by label.
    labels = d.partition_OTUs;
    std::sort(labels.begin(), labels.end());
    labels.erase(std::unique(labels.begin(), labels.end()), labels.end());
    const int g = static_cast<int>(labels.size());
    U = Matrix<double>(t, g);
    for (int i = 0; i < t; ++i) {
        double rowSum = 0;
        for (int c = 0; c < g; ++c) {
            double sum = 0;
            int members = 0;
            for (int o = 0; o < t; ++o)
                if (d.partition_OTUs[o] == labels[c]) {
                    sum += S[i][o];
                    ++members;
                }
            U[i][c] = sum / members;
            rowSum += U[i][c];
        }
        for (int c = 0; c < g; ++c) U[i][c] /= rowSum;
    }
    X = Matrix<double>(n, g);
    for (int c = 0; c < n; ++c)
        for (int k = 0; k < g; ++k)
            for (int i = 0; i < t; ++i) X[c][k] += Wn[c][i] * U[i][k];
    T = Matrix<double>(n, p);
    for (int k = 0; k < p; ++k) {
        if (!select[k]) continue;
        double norm = 0;
        for (int c = 0; c < n; ++c) {
            for (int i = 0; i < t; ++i) T[c][k] += Wn[c][i] * d.csm_Float[i][k];
            norm += T[c][k] * T[c][k];
        }
        for (int c = 0; c < n; ++c) T[c][k] /= std::sqrt(norm);
    }
    E = Matrix<double>(n, std::count(d.eVarSelect.begin(), d.eVarSelect.begin() + d.nenv, 1));
    for (int c = 0, col = 0; c < n; ++c, col = 0)
        for (int e = 0; e < d.nenv; ++e)
            if (d.eVarSelect[e]) E[c][col++] = d.env[c][e];
}

double Reference::Mantel(const Matrix<double>& A, const Matrix<double>& B) {
    std::vector<double> a, b;
    for (std::size_t i = 0; i < A.rows(); ++i)
        for (std::size_t j = i + 1; j < A.rows(); ++j) {
            a.push_back(A[i][j]);
            b.push_back(B[i][j]);
        }
    const double ma = std::accumulate(a.begin(), a.end(), 0.0) / a.size();
    const double mb = std::accumulate(b.begin(), b.end(), 0.0) / b.size();
    double sab = 0, saa = 0, sbb = 0;
    for (std::size_t k = 0; k < a.size(); ++k) {
        sab += (a[k] - ma) * (b[k] - mb);
        saa += (a[k] - ma) * (a[k] - ma);
        sbb += (b[k] - mb) * (b[k] - mb);
    }
    return sab / std::sqrt(saa * sbb);
}

double Reference::Partial(double rab, double rac, double rbc) {
    return (rab - rac * rbc) / std::sqrt((1 - rac * rac) * (1 - rbc * rbc));
}

Matrix<double> Reference::Rao() const {
    // Square roots of the trait dissimilarities, relative abundances, all ordered pairs.
    Matrix<double> R(Wn.rows(), 1);
    for (std::size_t c = 0; c < Wn.rows(); ++c)
        for (std::size_t i = 0; i < Wn.cols(); ++i)
            for (std::size_t j = 0; j < Wn.cols(); ++j) R[c][0] += std::sqrt(1 - S[i][j]) * Wn[c][i] * Wn[c][j];
    return R;
}

Matrix<double> Reference::DarkDiversity() const {
    // W pooled into the types of X, compared type by type.
    const DataSet& d = f.d;
    Matrix<double> Sd(Wn.rows(), 1);
    for (std::size_t c = 0; c < Wn.rows(); ++c)
        for (std::size_t k = 0; k < labels.size(); ++k) {
            double pooled = 0;
            for (std::size_t i = 0; i < Wn.cols(); ++i)
                if (d.partition_OTUs[i] == labels[k]) pooled += Wn[c][i];
            Sd[c][0] += std::fabs(pooled - X[c][k]);
        }
    return Sd;
}

}  // namespace kolvar::test
