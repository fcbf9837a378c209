#pragma once
// Multiple least-squares regression of several responses at once, regression
// residuals, and sums of squares of groups taken directly from dissimilarities.

#include <ostream>
#include <vector>

#include "QMLib/Matrix.hpp"

namespace kolvar {

/// Work space of the regressions, grown on demand and reused across calls.
struct RegressionWork {
    Matrix<double> Xc, Yc, XtX, XtY, B, Xsel, Yhat, dY, dX, dRes;
    std::vector<double> meanX, meanY, b0, r2, SSY;
};

/// Y (n x p) on X (n x q) with intercept: B (q x p) coefficients, b0 (p)
/// intercepts, Yhat (n x p) fitted values, r2 (p), SSY (p) sums of squared
/// deviations of the responses (may be null). r2 is 0 for a response that does
/// not vary. A singular X'X ends the program (gaussj). The print options are
/// accepted for the callers' sake: the program always turns printing off and
/// nothing is written. Returns 1.
int regression(int n, int p, int q, const Matrix<double>& Y, const Matrix<double>& X, Matrix<double>& B,
               double* b0, Matrix<double>& Yhat, double* r2, double* SSY, bool print, std::ostream* file,
               int language, bool printDetail, RegressionWork& work);
int regression(int n, int p, int q, const Matrix<double>& Y, const Matrix<double>& X, Matrix<double>& B,
               double* b0, Matrix<double>& Yhat, double* r2, double* SSY, bool print, std::ostream* file,
               int language, bool printDetail);
int regression(int n, int p, int q, const Matrix<double>& Y, const Matrix<double>& X, Matrix<double>& B,
               double* b0, Matrix<double>& Yhat, double* r2);

/// residuals (n x p) = Y minus its fit on the columns j of X with select[j] = 1
/// (all when select is null). Returns 1.
int Regression_ResidualsSelect(int n, int p, int q, const Matrix<double>& Y, const Matrix<double>& X,
                               Matrix<double>& residuals, const int* select, RegressionWork& work);
int Regression_ResidualsSelect(int n, int p, int q, const Matrix<double>& Y, const Matrix<double>& X,
                               Matrix<double>& residuals, const int* select);

/// The strict upper triangle of D1 regressed on that of D2 (pairs i < j, row by
/// row); the residuals are written into the strict upper triangle of residuals.
int ResidualsMatrixRegression(int n, const Matrix<double>& D1, const Matrix<double>& D2,
                              Matrix<double>& residuals, RegressionWork& work);
int ResidualsMatrixRegression(int n, const Matrix<double>& D1, const Matrix<double>& D2,
                              Matrix<double>& residuals);

/// Sum over pairs i < j of members (members[i] = 1) of D[i][j]^2 (D[i][j] when
/// alreadySquared), divided by the number of members (0 members: 0).
double WithinGrSqDissim(int n, const Matrix<double>& D, const int* members, bool alreadySquared);

/// Work space of BetweenGrSqDissim.
struct GroupSqWork {
    std::vector<int> slot, count;
    std::vector<double> sum;
};
/// total = within sum of squares of the selected units (select[i] = 1, all when
/// null); between = total minus the within sums of squares of each group of
/// selected units sharing a code in groups, groups taken in order of their
/// first selected unit. Returns between.
double BetweenGrSqDissim(int n, const Matrix<double>& D, const int* groups, double* between, double* total,
                         const int* select, bool alreadySquared, GroupSqWork& work);
double BetweenGrSqDissim(int n, const Matrix<double>& D, const int* groups, double* between, double* total,
                         const int* select, bool alreadySquared);

}  // namespace kolvar
