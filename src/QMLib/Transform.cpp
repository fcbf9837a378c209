#include "QMLib/Transform.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "QMLib/qmlibDim.hpp"

namespace kolvar {

namespace {
// Starting extremes of the column ranges: the single-precision limits.
constexpr double kFloatMax = 3.4028234663852886e38;

inline bool Present(double v) { return v != kMissing; }

// Mean of the present values among n values read by at(i) (0 when none).
template <class At>
double PresentMean(int n, At at) {
    double sum = 0.0;
    int count = 0;
    for (int i = 0; i < n; ++i)
        if (Present(at(i))) {
            sum += at(i);
            ++count;
        }
    return count > 0 ? sum / count : 0.0;
}

double RowSumSq(int p, const double* x) {
    double s = 0.0;
    for (int j = 0; j < p; ++j)
        if (Present(x[j])) s += x[j] * x[j];
    return s;
}
}  // namespace

void UnitSumRowsAdjMV(int n, int p, const Matrix<double>& in, Matrix<double>& out) {
    for (int i = 0; i < n; ++i) {
        const double* x = in.row(i);
        double* y = out.row(i);
        double sum = 0.0;
        for (int j = 0; j < p; ++j)
            if (Present(x[j])) sum += x[j];
        const double div = sum == 0.0 ? 1.0 : sum;
        for (int j = 0; j < p; ++j) y[j] = Present(x[j]) ? x[j] / div : x[j];
    }
}

void RangeColsAdjMV(int n, int p, const Matrix<double>& in, Matrix<double>& out) {
    for (int j = 0; j < p; ++j) {
        double mx = -kFloatMax, mn = kFloatMax;
        for (int i = 0; i < n; ++i) {
            const double v = in[i][j];
            if (!Present(v)) continue;
            if (v > mx) mx = v;
            if (v < mn) mn = v;
        }
        double range = mx - mn;
        if (range == 0.0) range = 1.0;
        for (int i = 0; i < n; ++i) {
            const double v = in[i][j];
            out[i][j] = Present(v) ? (v - mn) / range : v;
        }
    }
}

void CorrAdj(int n, int p, const Matrix<double>& in, Matrix<double>& out) {
    for (int j = 0; j < p; ++j) {
        const double mean = PresentMean(n, [&](int i) { return in[i][j]; });
        double ss = 0.0;
        for (int i = 0; i < n; ++i)
            if (Present(in[i][j])) ss += (in[i][j] - mean) * (in[i][j] - mean);
        const double div = ss == 0.0 ? 1.0 : std::sqrt(ss);
        for (int i = 0; i < n; ++i) {
            const double v = in[i][j];
            out[i][j] = Present(v) ? static_cast<double>(static_cast<float>((v - mean) / div)) : v;
        }
    }
}

void CenterRowsMV(int n, int p, const Matrix<double>& in, Matrix<double>& out) {
    for (int i = 0; i < n; ++i) {
        const double* x = in.row(i);
        double* y = out.row(i);
        const double mean = PresentMean(p, [x](int j) { return x[j]; });
        for (int j = 0; j < p; ++j) y[j] = Present(x[j]) ? x[j] - mean : x[j];
    }
}

void CenterColsMV(int n, int p, const Matrix<double>& in, Matrix<double>& out) {
    for (int j = 0; j < p; ++j) {
        const double mean = PresentMean(n, [&](int i) { return in[i][j]; });
        for (int i = 0; i < n; ++i) {
            const double v = in[i][j];
            out[i][j] = Present(v) ? v - mean : v;
        }
    }
}

void CenterRowsCovMV(int n, int p, const Matrix<double>& in, Matrix<double>& out) {
    CenterRowsMV(n, p, in, out);
    for (int i = 0; i < n; ++i) {
        double* y = out.row(i);
        int count = 0;
        for (int j = 0; j < p; ++j)
            if (Present(y[j])) ++count;
        if (count < 2) continue;
        const double div = std::sqrt(static_cast<double>(count - 1));
        for (int j = 0; j < p; ++j)
            if (Present(y[j])) y[j] /= div;
    }
}

void NormalizeRowsMV(int n, int p, const Matrix<double>& in, Matrix<double>& out) {
    for (int i = 0; i < n; ++i) {
        const double* x = in.row(i);
        double* y = out.row(i);
        const double ss = RowSumSq(p, x);
        const double div = ss == 0.0 ? 1.0 : std::sqrt(ss);
        for (int j = 0; j < p; ++j) y[j] = Present(x[j]) ? x[j] / div : x[j];
    }
}

void NormalizeCols(int n, int p, const Matrix<double>& in, Matrix<double>& out) {
    for (int j = 0; j < p; ++j) {
        double ss = 0.0;
        for (int i = 0; i < n; ++i) ss += in[i][j] * in[i][j];
        const double div = ss == 0.0 ? 1.0 : std::sqrt(ss);
        for (int i = 0; i < n; ++i) out[i][j] = in[i][j] / div;
    }
}

void NormalizeColsMV(int n, int p, const Matrix<double>& in, Matrix<double>& out) {
    for (int j = 0; j < p; ++j) {
        double ss = 0.0;
        for (int i = 0; i < n; ++i)
            if (Present(in[i][j])) ss += in[i][j] * in[i][j];
        const double div = ss == 0.0 ? 1.0 : std::sqrt(ss);
        for (int i = 0; i < n; ++i) {
            const double v = in[i][j];
            out[i][j] = Present(v) ? v / div : v;
        }
    }
}

void NormalizeColsSelectedRowsMV(int n, int p, const Matrix<double>& in, Matrix<double>& out,
                                 const int* select) {
    for (int j = 0; j < p; ++j) {
        double ss = 0.0;
        for (int i = 0; i < n; ++i)
            if (select[i] == 1 && Present(in[i][j])) ss += in[i][j] * in[i][j];
        const double div = ss == 0.0 ? 1.0 : std::sqrt(ss);
        for (int i = 0; i < n; ++i) {
            const double v = in[i][j];
            out[i][j] = Present(v) ? v / div : v;
        }
    }
}

void ZStandardizationRowsMV(int n, int p, const Matrix<double>& in, Matrix<double>& out) {
    for (int i = 0; i < n; ++i) {
        const double* x = in.row(i);
        double* y = out.row(i);
        const double ss = RowSumSq(p, x);
        const double div = ss == 0.0 ? 1.0 : std::sqrt(ss / p);
        for (int j = 0; j < p; ++j) y[j] = Present(x[j]) ? x[j] / div : x[j];
    }
}

void ZStandardizationColsMV(int n, int p, const Matrix<double>& in, Matrix<double>& out) {
    CenterColsMV(n, p, in, out);
    for (int j = 0; j < p; ++j) {
        double ss = 0.0;
        for (int i = 0; i < n; ++i)
            if (Present(out[i][j])) ss += out[i][j] * out[i][j];
        const double div = ss == 0.0 ? 1.0 : std::sqrt(ss / n);
        for (int i = 0; i < n; ++i)
            if (Present(out[i][j])) out[i][j] /= div;
    }
}

void ZStandardizationVectorMV(int n, const double* in, double* out) {
    const double mean = PresentMean(n, [in](int i) { return in[i]; });
    double ss = 0.0;
    for (int i = 0; i < n; ++i) {
        out[i] = Present(in[i]) ? in[i] - mean : in[i];
        if (Present(out[i])) ss += out[i] * out[i];
    }
    const double div = ss == 0.0 ? 1.0 : std::sqrt(ss / n);
    for (int i = 0; i < n; ++i)
        if (Present(out[i])) out[i] /= div;
}

int ZStandardizationVectorMV(int n, const double* in, double* out, double threshold, int* outlier) {
    ZStandardizationVectorMV(n, in, out);
    int count = 0;
    for (int i = 0; i < n; ++i) {
        outlier[i] = Present(out[i]) && std::fabs(out[i]) > threshold ? 1 : 0;
        count += outlier[i];
    }
    return count;
}

void CenterVector(int n, const double* in, double* out) {
    double sum = 0.0;
    for (int i = 0; i < n; ++i) sum += in[i];
    const double mean = n > 0 ? sum / n : 0.0;
    for (int i = 0; i < n; ++i) out[i] = in[i] - mean;
}

void MatrixUnitMaxTransf(int n, int p, Matrix<double>& m) {
    double mx = -kFloatMax;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < p; ++j) mx = std::max(mx, m[i][j]);
    if (!(mx > 0.0)) return;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < p; ++j) m[i][j] /= mx;
}

void MatrixUnitMaxTransf3D(int a, int b, int c, Array3D<double>& m) {
    double mx = -kFloatMax;
    for (int k = 0; k < a; ++k)
        for (int i = 0; i < b; ++i)
            for (int j = 0; j < c; ++j) mx = std::max(mx, m[k][i][j]);
    if (!(mx > 0.0)) return;
    for (int k = 0; k < a; ++k)
        for (int i = 0; i < b; ++i)
            for (int j = 0; j < c; ++j) m[k][i][j] /= mx;
}

void DataPartitionQualQuant(int n, int p, const Matrix<double>& in, Matrix<double>& out, int option) {
    for (int i = 0; i < n; ++i) {
        const double* x = in.row(i);
        double* y = out.row(i);
        double sum = 0.0;
        int count = 0;
        for (int j = 0; j < p; ++j)
            if (x[j] > 0.0) {
                sum += x[j];
                ++count;
            }
        const double mean = count > 0 ? sum / count : 0.0;
        for (int j = 0; j < p; ++j) {
            if (x[j] <= 0.0)
                y[j] = 0.0;
            else if (option == 1)
                y[j] = x[j] - mean;
            else if (option == 2)
                y[j] = mean;
        }
    }
}

void DeviationsExpectationsMV(int n, int p, const Matrix<double>& in, Matrix<double>& out) {
    std::vector<double> r(static_cast<std::size_t>(std::max(n, 0)), 0.0);
    std::vector<double> c(static_cast<std::size_t>(std::max(p, 0)), 0.0);
    double total = 0.0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < p; ++j) {
            const double v = in[i][j];
            if (!Present(v)) continue;
            r[i] += v;
            c[j] += v;
            total += v;
        }
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < p; ++j) {
            const double v = in[i][j];
            if (Present(v) && r[i] > 0.0 && c[j] > 0.0)
                out[i][j] = (v * total - r[i] * c[j]) / (std::sqrt(r[i] * c[j]) * total);
            else
                out[i][j] = v;
        }
}

void RankVectorAdjMV(int n, double* x, std::vector<int>& work) {
    // Only the present values are ranked, so they get ranks 1 .. n - missing
    // whatever their sign (a value below -999 would otherwise shift the ranks).
    work.clear();
    for (int i = 0; i < n; ++i)
        if (Present(x[i])) work.push_back(i);
    std::stable_sort(work.begin(), work.end(), [x](int a, int b) { return x[a] < x[b]; });
    const int m = static_cast<int>(work.size());
    for (int first = 0; first < m;) {
        int last = first;
        while (last + 1 < m && x[work[last + 1]] == x[work[first]]) ++last;
        // Ranks are 1-based: the tie group spans ranks first+1 .. last+1.
        const double rank = (static_cast<double>(first + 1) + static_cast<double>(last + 1)) / 2.0;
        for (int k = first; k <= last; ++k) x[work[k]] = rank;
        first = last + 1;
    }
}

void RankVectorAdjMV(int n, double* x) {
    std::vector<int> work;
    RankVectorAdjMV(n, x, work);
}

void RankVectorAbs(int n, const double* x, int* order) {
    for (int i = 0; i < n; ++i) order[i] = i;
    std::stable_sort(order, order + std::max(n, 0),
                     [x](int a, int b) { return std::fabs(x[a]) < std::fabs(x[b]); });
    for (int i = 0; i < n; ++i) ++order[i];
}

double SumOfSquares(int n, const double* x) { return RowSumSq(n, x); }

double SumOfSquaresDev(int n, const double* x) {
    double sum = 0.0;
    int count = 0;
    for (int i = 0; i < n; ++i)
        if (Present(x[i])) {
            sum += x[i];
            ++count;
        }
    if (count == 0) return 0.0;
    const double mean = sum / count;
    double ss = 0.0;
    for (int i = 0; i < n; ++i)
        if (Present(x[i])) ss += (x[i] - mean) * (x[i] - mean);
    return ss;
}

void MeanStDev(int n, const double* x, double& mean, double& stDev) {
    double sum = 0.0;
    for (int i = 0; i < n; ++i) sum += x[i];
    mean = n > 0 ? sum / n : 0.0;
    double ss = 0.0;
    for (int i = 0; i < n; ++i) ss += (x[i] - mean) * (x[i] - mean);
    stDev = n > 1 ? std::sqrt(ss / (n - 1)) : 0.0;
}

double CrossProduct2VecMV(int n, const double* x, const double* y) {
    double s = 0.0;
    for (int i = 0; i < n; ++i)
        if (Present(x[i]) && Present(y[i])) s += x[i] * y[i];
    return s;
}

namespace {
// Pearson correlation over the positions where both are present; the readers
// let rows and columns of a matrix share the code without copying.
template <class GetX, class GetY>
double PairCorrelation(int n, GetX x, GetY y) {
    double sumX = 0.0, sumY = 0.0;
    int count = 0;
    for (int i = 0; i < n; ++i) {
        const double a = x(i), b = y(i);
        if (!Present(a) || !Present(b)) continue;
        sumX += a;
        sumY += b;
        ++count;
    }
    if (count == 0) return kMissing;
    const double mx = sumX / count, my = sumY / count;
    double sxy = 0.0, sxx = 0.0, syy = 0.0;
    for (int i = 0; i < n; ++i) {
        const double a = x(i), b = y(i);
        if (!Present(a) || !Present(b)) continue;
        sxy += (a - mx) * (b - my);
        sxx += (a - mx) * (a - mx);
        syy += (b - my) * (b - my);
    }
    if (sxx == 0.0 || syy == 0.0) return 0.0;
    return sxy / std::sqrt(sxx * syy);
}
}  // namespace

double Covariance2VecMV(int n, const double* x, const double* y) {
    double sumX = 0.0, sumY = 0.0;
    int count = 0;
    for (int i = 0; i < n; ++i)
        if (Present(x[i]) && Present(y[i])) {
            sumX += x[i];
            sumY += y[i];
            ++count;
        }
    if (count < 2) return kMissing;
    const double mx = sumX / count, my = sumY / count;
    double s = 0.0;
    for (int i = 0; i < n; ++i)
        if (Present(x[i]) && Present(y[i])) s += (x[i] - mx) * (y[i] - my);
    return s / (count - 1);
}

double Correlation2VecMV(int n, const double* x, const double* y) {
    return PairCorrelation(n, [x](int i) { return x[i]; }, [y](int i) { return y[i]; });
}

void CovarianceMV(int n, int p, const Matrix<double>& in, Matrix<double>& out) {
    bool missing = false;
    for (int i = 0; i < n && !missing; ++i)
        for (int j = 0; j < p; ++j)
            if (!Present(in[i][j])) {
                missing = true;
                break;
            }
    if (missing) {
        for (int i = 0; i < n; ++i)
            for (int j = i; j < n; ++j) out[i][j] = Covariance2VecMV(p, in.row(i), in.row(j));
        return;
    }
    Matrix<double> centred(static_cast<std::size_t>(std::max(n, 0)), static_cast<std::size_t>(std::max(p, 0)));
    CenterRowsCovMV(n, p, in, centred);
    for (int i = 0; i < n; ++i)
        for (int j = i; j < n; ++j) {
            double s = 0.0;
            for (int k = 0; k < p; ++k) s += centred[i][k] * centred[j][k];
            out[i][j] = s;
        }
}

double Correlation2SelectedVecMV(int n, const Matrix<double>& a, int indexA, bool isRowA,
                                 const Matrix<double>& b, int indexB, bool isRowB) {
    auto x = [&](int i) { return isRowA ? a[indexA][i] : a[i][indexA]; };
    auto y = [&](int i) { return isRowB ? b[indexB][i] : b[i][indexB]; };
    return PairCorrelation(n, x, y);
}

void GowerStandardizationRows(int n, int p, const Matrix<double>& in, Matrix<double>& out) {
    double total = 0.0;
    for (int i = 0; i < n; ++i) total += RowSumSq(p, in.row(i)) / (p - 1);
    const double div = total == 0.0 ? 1.0 : std::sqrt(total);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < p; ++j) out[i][j] = Present(in[i][j]) ? in[i][j] / div : in[i][j];
}

void GowerStandardizationCols(int n, int p, const Matrix<double>& in, Matrix<double>& out) {
    double total = 0.0;
    for (int j = 0; j < p; ++j) {
        double ss = 0.0;
        for (int i = 0; i < n; ++i)
            if (Present(in[i][j])) ss += in[i][j] * in[i][j];
        total += ss / (n - 1);
    }
    const double div = total == 0.0 ? 1.0 : std::sqrt(total);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < p; ++j) out[i][j] = Present(in[i][j]) ? in[i][j] / div : in[i][j];
}

void ProbToDissim(int n, const Matrix<double>& in, Matrix<double>& out) {
    for (int i = 0; i < n; ++i)
        for (int j = i; j < n; ++j) {
            const double d = 1.0 - in[i][j];
            out[i][j] = d;
            out[j][i] = d;
        }
}

void CorrToSqDist(int n, const Matrix<double>& in, Matrix<double>& out) {
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) out[i][j] = i == j ? 0.0 : 2.0 * (1.0 - in[i][j]);
}

void ProdToSqDist(int n, const Matrix<double>& in, Matrix<double>& out) {
    // The diagonal is read before any of it is overwritten, so in may be out.
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j) out[i][j] = in[i][i] + in[j][j] - 2.0 * in[i][j];
    for (int i = 0; i < n; ++i) out[i][i] = 0.0;
}

namespace {
inline double Squared(double v, bool alreadySquared) { return alreadySquared ? v : v * v; }
}  // namespace

void DissToCenterProdMatrix(int n, const Matrix<double>& D, Matrix<double>& out, bool squared,
                            std::vector<double>& work) {
    if (n < 1) return;
    work.assign(static_cast<std::size_t>(n), 0.0);
    double grand = 0.0;
    for (int i = 0; i < n; ++i) {
        double s = 0.0;
        for (int j = 0; j < n; ++j) s += i <= j ? Squared(D[i][j], squared) : Squared(D[j][i], squared);
        work[i] = s / n;
        grand += s;
    }
    grand /= static_cast<double>(n) * n;
    for (int i = 0; i < n; ++i)
        for (int j = i; j < n; ++j) out[i][j] = -0.5 * (Squared(D[i][j], squared) - work[i] - work[j] + grand);
}

void DissToCenterProdMatrix(int n, const Matrix<double>& D, Matrix<double>& out, bool squared) {
    std::vector<double> work;
    DissToCenterProdMatrix(n, D, out, squared, work);
}

void GowerMatrixCentering(int n, const Matrix<double>& in, Matrix<double>& out, bool square,
                          std::vector<double>& work) {
    if (n < 1) return;
    for (int i = 0; i < n; ++i)
        for (int j = i; j < n; ++j) {
            const double v = square ? in[i][j] * in[i][j] : in[i][j];
            out[i][j] = v;
            out[j][i] = v;
        }
    work.assign(static_cast<std::size_t>(n), 0.0);
    double grand = 0.0;
    for (int i = 0; i < n; ++i) {
        double s = 0.0;
        for (int j = 0; j < n; ++j) s += out[i][j];
        work[i] = s / n;
        grand += s;
    }
    grand /= static_cast<double>(n) * n;
    // Symmetric, so the column mean of j is the row mean of j.
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) out[i][j] = -0.5 * (out[i][j] - work[i] - work[j] + grand);
}

void GowerMatrixCentering(int n, const Matrix<double>& in, Matrix<double>& out, bool square) {
    std::vector<double> work;
    GowerMatrixCentering(n, in, out, square, work);
}

}  // namespace kolvar
