#pragma once
// Resemblance (similarity or dissimilarity) between the rows of a data matrix.
//
// Every function takes n rows (objects) by p columns (variables) and fills a
// caller-allocated n x n result. -999.0 (kMissing) is left out pair by pair in
// the MV functions. Variable types: 1 binary, 2 nominal, 3 quantitative,
// 4 ordinal; other codes are ignored by the Gower functions.

#include <vector>

#include "QMLib/Matrix.hpp"

namespace kolvar {

/// Gower similarity for mixed types. Ordinal columns of data are replaced by
/// their ranks in place. Ranges are recomputed from the data (the ranges argument
/// is kept for the callers' symmetry); null weights mean 1. Pairs with nothing
/// comparable keep the value already in out. Both triangles are written.
void GowerMVOpt(int n, int p, const int* types, Matrix<double>& data, Matrix<double>& out,
                const double* ranges, const double* weights, bool countDoubleAbsence);
/// GowerMVOpt with double absences never counted.
void GowerMV(int n, int p, const int* types, Matrix<double>& data, Matrix<double>& out,
             const double* ranges, const double* weights);

/// Partial similarity of all pairs on one variable, single precision, -999 where
/// missing or not comparable. Ordinal values of column are replaced by their
/// ranks; the range is recomputed for type 4, and for type 3 when it is 0.
void GowerMVPartial_dAbsences(int n, int type, double* column, Matrix<double>& out, double range,
                              double weight, bool countDoubleAbsence);
/// Partial similarities of every variable: out[i][j][t] for i <= j, out built as
/// dim3D<double>(n, n, p). data is not changed.
void gower_similarityPartial(int p, const Matrix<double>& data, int n, Array3D<double>& out, const int* types,
                             const double* ranges, const double* weights, bool countDoubleAbsence);
/// Mean of the non-missing partial similarities of the selected variables
/// (select[t] == 1), for i <= j only; -999 when there is none.
void gower_similarityAverage(int p, int n, const Array3D<double>& partial, Matrix<double>& out,
                             const int* select);

/// Euclidean distance over the columns where both values are present; both
/// triangles; rows in parallel.
void EucliDistMV(int n, int p, const Matrix<double>& data, Matrix<double>& out);
/// The same over the columns whose select flag is 1.
void EucliDistMVSelect(int n, int p, const Matrix<double>& data, Matrix<double>& out, const int* select);
/// |x_i - x_j| on the single 1-based column, 0 when either is missing.
void EucliDistMVSelectOne(int n, int p, const Matrix<double>& data, Matrix<double>& out, int column);
/// Euclidean distance, every value present.
void EucliDist(int n, int p, const Matrix<double>& data, Matrix<double>& out);
/// Sum of absolute differences; upper triangle and the (zero) diagonal only.
void AbsValFunctionMV(int n, int p, const Matrix<double>& data, Matrix<double>& out);
/// Squared chord distance between rows a and b over the columns where both are
/// present, with their norms over those columns.
double ChordDistSq2VecMV(int p, const double* a, const double* b, double& normA, double& normB);
/// Chord distance (both triangles). work holds a copy of the data when complete.
void ChordDistMV(int n, int p, const Matrix<double>& data, Matrix<double>& out, Matrix<double>& work);
void ChordDistMV(int n, int p, const Matrix<double>& data, Matrix<double>& out);
/// Upper triangle with the diagonal: cross products, Pearson correlations.
void CrossProductMV(int n, int p, const Matrix<double>& data, Matrix<double>& out);
void CorrelationMV(int n, int p, const Matrix<double>& data, Matrix<double>& out, Matrix<double>& work);
void CorrelationMV(int n, int p, const Matrix<double>& data, Matrix<double>& out);

/// Counts over the columns: a both 1, b first 1 second 0, c first 0 second 1,
/// d both 0; other values (missing ones too) are not counted.
void JointFreq(int p, const double* x, const double* y, double& a, double& b, double& c, double& d);
/// Binary coefficients of two 0/1 vectors (value when the denominator is 0 in
/// brackets): Jaccard [0], JaccardDissimilarity [1], JaccardTurnover [-999],
/// JaccardNestedness [-999], Sorensen [0], SorensenDissimilarity [1],
/// SorensenTurnover [-999], SorensenNestedness [-999], SokalMichener a/(a+b+c+d)
/// [0], SimpleMatching (a+d)/(a+b+c+d) [0], Ochiai [0], MeanSquareContingency [0].
double Jaccard(int p, const double* x, const double* y);
double JaccardDissimilarity(int p, const double* x, const double* y);
double JaccardTurnover(int p, const double* x, const double* y);
double JaccardNestedness(int p, const double* x, const double* y);
double Sorensen(int p, const double* x, const double* y);
double SorensenDissimilarity(int p, const double* x, const double* y);
double SorensenTurnover(int p, const double* x, const double* y);
double SorensenNestedness(int p, const double* x, const double* y);
double SokalMichener(int p, const double* x, const double* y);
double SimpleMatching(int p, const double* x, const double* y);
double Ochiai(int p, const double* x, const double* y);
double MeanSquareContingency(int p, const double* x, const double* y);

/// Work space of ResemblanceLib: transposed data, row copies, Gower vectors.
struct ResemblanceWork {
    Matrix<double> data, rows;
    std::vector<double> ones;
};

/// Resemblance dispatcher. orientation 2: between columns (n and p swap);
/// option: 1 cross product, 2 absolute value function, 3 Euclidean, 5 Gower
/// (types, countDoubleAbsence; data copied, not changed), 11-16 and 23-28 binary
/// coefficients, 17 correlation, 18 chord, 22 covariance; other options compute
/// nothing. transformation 2: square root, 1: square of the upper triangle. The
/// upper triangle is finally copied over the lower one. Returns 1.
int ResemblanceLib(int n, int p, const Matrix<double>& data, Matrix<double>& out, int orientation, int option,
                   int transformation, const int* types, double param1, double param2, bool countDoubleAbsence,
                   bool flag, ResemblanceWork& work);
int ResemblanceLib(int n, int p, const Matrix<double>& data, Matrix<double>& out, int orientation, int option,
                   int transformation, const int* types, double param1, double param2, bool countDoubleAbsence,
                   bool flag);

/// Dispatcher option of a community resemblance option of rese_optInfo (1..10);
/// 0 means no measure; options outside 1..10 give 1.
int TranslateReseOpt_KOLVAR_DORMAL(int reseOpt);

}  // namespace kolvar
