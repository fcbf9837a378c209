#pragma once
// Matrix and vector transformations and small descriptive statistics.
//
// Sizes come first (rows n, then columns p), then the input, then the output.
// In every routine whose name ends in MV the value -999.0 (kMissing) is left out
// of every sum, mean and count and is copied unchanged to the output. Input and
// output may be the same matrix unless a routine says otherwise.

#include <vector>

#include "QMLib/Matrix.hpp"

namespace kolvar {

/// Each row divided by the sum of its non-missing values; a row summing to 0 is
/// copied unchanged.
void UnitSumRowsAdjMV(int n, int p, const Matrix<double>& in, Matrix<double>& out);
/// Each column rescaled to (x - min) / (max - min) over its non-missing values;
/// a range of 0 counts as 1.
void RangeColsAdjMV(int n, int p, const Matrix<double>& in, Matrix<double>& out);
/// Each column centred and divided by the square root of its sum of squared
/// deviations (1 when that is 0); results rounded to single precision.
void CorrAdj(int n, int p, const Matrix<double>& in, Matrix<double>& out);
/// Subtract the mean of the non-missing values of each row / column.
void CenterRowsMV(int n, int p, const Matrix<double>& in, Matrix<double>& out);
void CenterColsMV(int n, int p, const Matrix<double>& in, Matrix<double>& out);
/// Each row centred and divided by sqrt(count - 1), so that the cross products
/// of two rows are their covariance.
void CenterRowsCovMV(int n, int p, const Matrix<double>& in, Matrix<double>& out);
/// Each row divided by the square root of its sum of squares (1 when 0).
void NormalizeRowsMV(int n, int p, const Matrix<double>& in, Matrix<double>& out);
/// Each column divided by the square root of its sum of squares (1 when 0);
/// NormalizeCols treats every value as present.
void NormalizeCols(int n, int p, const Matrix<double>& in, Matrix<double>& out);
void NormalizeColsMV(int n, int p, const Matrix<double>& in, Matrix<double>& out);
/// Column norms over the rows whose flag select[i] is 1 only; every non-missing
/// value of the column is then divided by that norm (1 when it is 0).
void NormalizeColsSelectedRowsMV(int n, int p, const Matrix<double>& in, Matrix<double>& out,
                                 const int* select);
/// Each row divided by sqrt(sum of squares / p) (1 when the sum is 0).
void ZStandardizationRowsMV(int n, int p, const Matrix<double>& in, Matrix<double>& out);
/// Columns centred, then divided by sqrt(sum of squares / n) (1 when the sum is 0).
void ZStandardizationColsMV(int n, int p, const Matrix<double>& in, Matrix<double>& out);
/// One vector centred on the mean of its non-missing values, then divided by
/// sqrt(sum of squares / n) (1 when the sum is 0). in and out may be the same.
void ZStandardizationVectorMV(int n, const double* in, double* out);
/// The same, then outlier[i] = 1 where |z| > threshold (0 elsewhere and for
/// missing values). Returns the number of outliers.
int ZStandardizationVectorMV(int n, const double* in, double* out, double threshold, int* outlier);
/// Subtract the mean (no missing values).
void CenterVector(int n, const double* in, double* out);
/// Every value divided by the largest value of the whole matrix, when positive.
void MatrixUnitMaxTransf(int n, int p, Matrix<double>& m);
void MatrixUnitMaxTransf3D(int a, int b, int c, Array3D<double>& m);
/// Component of a composition: option 1 quantitative (value - row mean of the
/// positive values), 2 qualitative (the row mean); values <= 0 become 0; other
/// options leave the positive values of out unwritten.
void DataPartitionQualQuant(int n, int p, const Matrix<double>& in, Matrix<double>& out, int option);
/// Standardised deviations from independence (x N - r c) / (sqrt(r c) N).
void DeviationsExpectationsMV(int n, int p, const Matrix<double>& in, Matrix<double>& out);
/// In place: each non-missing value replaced by its rank among the non-missing
/// values (1 .. n - missing), ties sharing their mean rank; -999 stays.
/// work is resized as needed and reused across calls.
void RankVectorAdjMV(int n, double* x, std::vector<int>& work);
void RankVectorAdjMV(int n, double* x);
/// order[k] = 1-based initial position of the element that sorts k-th by
/// absolute value, ascending; equal absolute values keep their initial order.
void RankVectorAbs(int n, const double* x, int* order);
/// Sum of squares / of squared deviations from the mean, non-missing values.
double SumOfSquares(int n, const double* x);
double SumOfSquaresDev(int n, const double* x);
/// Mean and standard deviation (divisor n - 1; 0 when n < 2), no missing values.
void MeanStDev(int n, const double* x, double& mean, double& stDev);
/// Over the positions where both are present: cross product; covariance (divisor
/// count - 1, -999 when count < 2); Pearson correlation (-999 without a pair,
/// 0 when a vector is constant there).
double CrossProduct2VecMV(int n, const double* x, const double* y);
double Covariance2VecMV(int n, const double* x, const double* y);
double Correlation2VecMV(int n, const double* x, const double* y);
/// Covariance between rows (upper triangle with the diagonal).
void CovarianceMV(int n, int p, const Matrix<double>& in, Matrix<double>& out);
/// Pearson correlation of two vectors of length n, each a row (isRow true) or a
/// column of its matrix, over the positions where both are present.
double Correlation2SelectedVecMV(int n, const Matrix<double>& a, int indexA, bool isRowA,
                                 const Matrix<double>& b, int indexB, bool isRowB);
/// Every non-missing value divided by sqrt(T), T the total variance: sum over
/// rows of (row sum of squares / (p - 1)) / sum over columns of (column sum of
/// squares / (n - 1)). T = 0 divides by 1.
void GowerStandardizationRows(int n, int p, const Matrix<double>& in, Matrix<double>& out);
void GowerStandardizationCols(int n, int p, const Matrix<double>& in, Matrix<double>& out);
/// 1 - value of the upper triangle (with the diagonal), written to both triangles.
void ProbToDissim(int n, const Matrix<double>& in, Matrix<double>& out);
/// 2 (1 - r) off the diagonal, 0 on it.
void CorrToSqDist(int n, const Matrix<double>& in, Matrix<double>& out);
/// P(i,i) + P(j,j) - 2 P(i,j) for j > i (upper triangle), 0 on the diagonal.
void ProdToSqDist(int n, const Matrix<double>& in, Matrix<double>& out);
/// Gower double centring of the distances in the upper triangle of D (squared
/// first unless squared is set): -0.5 (A(i,j) - r_i - r_j + g) for j >= i, upper
/// triangle only. work (n values) is reused across calls.
void DissToCenterProdMatrix(int n, const Matrix<double>& D, Matrix<double>& out, bool squared,
                            std::vector<double>& work);
void DissToCenterProdMatrix(int n, const Matrix<double>& D, Matrix<double>& out, bool squared);
/// The same centring on the full matrix: the upper triangle (squared when square
/// is set) is mirrored, then every element is centred.
void GowerMatrixCentering(int n, const Matrix<double>& in, Matrix<double>& out, bool square,
                          std::vector<double>& work);
void GowerMatrixCentering(int n, const Matrix<double>& in, Matrix<double>& out, bool square);

}  // namespace kolvar
