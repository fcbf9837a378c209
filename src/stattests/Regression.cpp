#include "stattests/Regression.hpp"

#include "QMLib/Ordination.hpp"

namespace kolvar {

namespace {

void EnsureSize(Matrix<double>& m, int rows, int cols) {
    if (m.rows() != static_cast<std::size_t>(rows) || m.cols() != static_cast<std::size_t>(cols))
        m.assign(static_cast<std::size_t>(rows > 0 ? rows : 0), static_cast<std::size_t>(cols > 0 ? cols : 0));
}

void EnsureSize(std::vector<double>& v, int n) {
    if (v.size() != static_cast<std::size_t>(n)) v.assign(static_cast<std::size_t>(n > 0 ? n : 0), 0.0);
}

}  // namespace

int regression(int n, int p, int q, const Matrix<double>& Y, const Matrix<double>& X, Matrix<double>& B,
               double* b0, Matrix<double>& Yhat, double* r2, double* SSY, bool /*print*/,
               std::ostream* /*file*/, int /*language*/, bool /*printDetail*/, RegressionWork& work) {
    EnsureSize(work.meanX, q);
    EnsureSize(work.meanY, p);
    EnsureSize(work.Xc, n, q);
    EnsureSize(work.Yc, n, p);
    EnsureSize(work.XtX, q, q);
    EnsureSize(work.XtY, q, p);
    if (!SSY) {
        EnsureSize(work.SSY, p);
        SSY = work.SSY.data();
    }

    for (int k = 0; k < q; ++k) {
        double sum = 0.0;
        for (int i = 0; i < n; ++i) sum += X[i][k];
        work.meanX[k] = sum / n;
        for (int i = 0; i < n; ++i) work.Xc[i][k] = X[i][k] - work.meanX[k];
    }
    for (int j = 0; j < p; ++j) {
        double sum = 0.0;
        for (int i = 0; i < n; ++i) sum += Y[i][j];
        work.meanY[j] = sum / n;
        double ss = 0.0;
        for (int i = 0; i < n; ++i) {
            work.Yc[i][j] = Y[i][j] - work.meanY[j];
            ss += work.Yc[i][j] * work.Yc[i][j];
        }
        SSY[j] = ss;
    }

    // Normal equations (Xc' Xc) B = Xc' Yc.
    for (int a = 0; a < q; ++a) {
        for (int b = 0; b < q; ++b) {
            double sum = 0.0;
            for (int i = 0; i < n; ++i) sum += work.Xc[i][a] * work.Xc[i][b];
            work.XtX[a][b] = sum;
        }
        for (int j = 0; j < p; ++j) {
            double sum = 0.0;
            for (int i = 0; i < n; ++i) sum += work.Xc[i][a] * work.Yc[i][j];
            work.XtY[a][j] = sum;
        }
    }
    gaussj(work.XtX, q, work.XtY, p);

    for (int j = 0; j < p; ++j) {
        double sum = 0.0;
        for (int k = 0; k < q; ++k) {
            B[k][j] = work.XtY[k][j];
            sum += B[k][j] * work.meanX[k];
        }
        b0[j] = work.meanY[j] - sum;
    }

    for (int j = 0; j < p; ++j) {
        double total = 0.0;
        for (int i = 0; i < n; ++i) {
            double sum = 0.0;
            for (int k = 0; k < q; ++k) sum += X[i][k] * B[k][j];
            Yhat[i][j] = sum;
            total += sum;
        }
        const double mean = total / n;
        double ss = 0.0;
        for (int i = 0; i < n; ++i) ss += (Yhat[i][j] - mean) * (Yhat[i][j] - mean);
        // A constant response has no defined r squared; 0 keeps the tables printable.
        r2[j] = SSY[j] > 0 ? ss / SSY[j] : 0.0;
        for (int i = 0; i < n; ++i) Yhat[i][j] += b0[j];
    }
    return 1;
}

int regression(int n, int p, int q, const Matrix<double>& Y, const Matrix<double>& X, Matrix<double>& B,
               double* b0, Matrix<double>& Yhat, double* r2, double* SSY, bool print, std::ostream* file,
               int language, bool printDetail) {
    RegressionWork work;
    return regression(n, p, q, Y, X, B, b0, Yhat, r2, SSY, print, file, language, printDetail, work);
}

int regression(int n, int p, int q, const Matrix<double>& Y, const Matrix<double>& X, Matrix<double>& B,
               double* b0, Matrix<double>& Yhat, double* r2) {
    RegressionWork work;
    return regression(n, p, q, Y, X, B, b0, Yhat, r2, nullptr, false, nullptr, 0, false, work);
}

int Regression_ResidualsSelect(int n, int p, int q, const Matrix<double>& Y, const Matrix<double>& X,
                               Matrix<double>& residuals, const int* select, RegressionWork& work) {
    int qs = 0;
    for (int k = 0; k < q; ++k)
        if (!select || select[k] == 1) ++qs;
    EnsureSize(work.Xsel, n, qs);
    for (int i = 0; i < n; ++i) {
        int c = 0;
        for (int k = 0; k < q; ++k)
            if (!select || select[k] == 1) work.Xsel[i][c++] = X[i][k];
    }
    EnsureSize(work.B, qs, p);
    EnsureSize(work.Yhat, n, p);
    EnsureSize(work.b0, p);
    EnsureSize(work.r2, p);
    regression(n, p, qs, Y, work.Xsel, work.B, work.b0.data(), work.Yhat, work.r2.data(), nullptr, false,
               nullptr, 0, false, work);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < p; ++j) residuals[i][j] = Y[i][j] - work.Yhat[i][j];
    return 1;
}

int Regression_ResidualsSelect(int n, int p, int q, const Matrix<double>& Y, const Matrix<double>& X,
                               Matrix<double>& residuals, const int* select) {
    RegressionWork work;
    return Regression_ResidualsSelect(n, p, q, Y, X, residuals, select, work);
}

int ResidualsMatrixRegression(int n, const Matrix<double>& D1, const Matrix<double>& D2,
                              Matrix<double>& residuals, RegressionWork& work) {
    const int m = n * (n - 1) / 2;
    if (m < 1) return 1;
    EnsureSize(work.dY, m, 1);
    EnsureSize(work.dX, m, 1);
    EnsureSize(work.dRes, m, 1);
    int c = 0;
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j, ++c) {
            work.dY[c][0] = D1[i][j];
            work.dX[c][0] = D2[i][j];
        }
    Regression_ResidualsSelect(m, 1, 1, work.dY, work.dX, work.dRes, nullptr, work);
    c = 0;
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j, ++c) residuals[i][j] = work.dRes[c][0];
    return 1;
}

int ResidualsMatrixRegression(int n, const Matrix<double>& D1, const Matrix<double>& D2,
                              Matrix<double>& residuals) {
    RegressionWork work;
    return ResidualsMatrixRegression(n, D1, D2, residuals, work);
}

double WithinGrSqDissim(int n, const Matrix<double>& D, const int* members, bool alreadySquared) {
    double sum = 0.0;
    int m = 0;
    for (int i = 0; i < n; ++i) {
        if (members[i] != 1) continue;
        ++m;
        for (int j = i + 1; j < n; ++j)
            if (members[j] == 1) sum += alreadySquared ? D[i][j] : D[i][j] * D[i][j];
    }
    return m > 0 ? sum / m : sum;
}

double BetweenGrSqDissim(int n, const Matrix<double>& D, const int* groups, double* between, double* total,
                         const int* select, bool alreadySquared, GroupSqWork& work) {
    // One pass over the pairs accumulates every group's sum in the same pair
    // order as a separate within-group pass would, so the results are identical
    // while the cost stays quadratic even with many groups.
    work.slot.assign(static_cast<std::size_t>(n > 0 ? n : 0), -1);
    work.count.clear();
    int nSlots = 0;
    for (int i = 0; i < n; ++i) {
        if (select && select[i] != 1) continue;
        for (int j = 0; j < i && work.slot[i] < 0; ++j)
            if (work.slot[j] >= 0 && groups[j] == groups[i]) work.slot[i] = work.slot[j];
        if (work.slot[i] < 0) {
            work.slot[i] = nSlots++;
            work.count.push_back(0);
        }
        ++work.count[work.slot[i]];
    }
    work.sum.assign(static_cast<std::size_t>(nSlots), 0.0);
    double all = 0.0;
    int m = 0;
    for (int i = 0; i < n; ++i) {
        if (work.slot[i] < 0) continue;
        ++m;
        for (int j = i + 1; j < n; ++j) {
            if (work.slot[j] < 0) continue;
            const double d = alreadySquared ? D[i][j] : D[i][j] * D[i][j];
            all += d;
            if (work.slot[j] == work.slot[i]) work.sum[work.slot[i]] += d;
        }
    }
    const double t = m > 0 ? all / m : all;
    double b = t;
    for (int g = 0; g < nSlots; ++g) b -= work.sum[g] / work.count[g];
    if (between) *between = b;
    if (total) *total = t;
    return b;
}

double BetweenGrSqDissim(int n, const Matrix<double>& D, const int* groups, double* between, double* total,
                         const int* select, bool alreadySquared) {
    GroupSqWork work;
    return BetweenGrSqDissim(n, D, groups, between, total, select, alreadySquared, work);
}

}  // namespace kolvar
