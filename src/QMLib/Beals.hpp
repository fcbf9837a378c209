#pragma once
// Beals smoothing: the probability of each OTU in each community, judged from
// the OTUs present there and from the co-occurrences over all communities.
//
// Compositions are n communities x p OTUs; -999.0 marks a missing value. The
// co-occurrence option is 0 joint presences, 1 abundance of j where k is
// present, 2 products of abundances.

#include "QMLib/Matrix.hpp"

namespace kolvar {

/// K (p x p): K[j][k] = co-occurrence sum of j and k over the communities where
/// both are present; for options other than 2 divided by K[j][j] (when > 0) and
/// K[j][j] = 1. With rowsUnit each row of K is then scaled to unit sum.
void ConditionalProb(int n, int p, const Matrix<double>& W, Matrix<double>& K, int option);
void ConditionalProb(int n, int p, const Matrix<double>& W, Matrix<double>& K, int option, bool rowsUnit);
/// Recomputes only the row and column of OTU target (and the diagonal) of K.
void ConditionalProb(int target, int n, int p, const Matrix<double>& W, Matrix<double>& K, int option);
void ConditionalProb(int target, int n, int p, const Matrix<double>& W, Matrix<double>& K, int option,
                     bool rowsUnit);

/// Direct form: Y (n x p) from the row-scaled weights A and the conditional
/// probabilities of Wb. With include false an OTU's own value is left out of its
/// estimate; oddsAndUnitRows makes K row-scaled and turns each c into c / (1 - c).
void BealsSmoothing(int n, int p, const Matrix<double>& A, const Matrix<double>& Wb, Matrix<double>& Y,
                    bool include, int option);
void BealsSmoothing(int n, int p, const Matrix<double>& A, const Matrix<double>& Wb, Matrix<double>& Y,
                    bool include, int option, bool oddsAndUnitRows);
/// Product form: Y = Aw K, K copied to M when M is given. With useTarget the
/// previous K is read from M and Y and K are updated for OTU target only.
void BealsSmoothing(int n, int p, const Matrix<double>& A, const Matrix<double>& Wb, Matrix<double>& Y,
                    bool useTarget, int target, Matrix<double>* M, bool include, int option);
void BealsSmoothing(int n, int p, const Matrix<double>& A, const Matrix<double>& Wb, Matrix<double>& Y,
                    bool useTarget, int target, Matrix<double>* M, bool include, int option, bool rowsUnit);

}  // namespace kolvar
