#pragma once
// Pieces of the scaling-up that the functional analysis and the trait ranking
// share and that need no more than the data set: community resemblances, the
// selected E and its distances, trait-type checks and result-file labels.
// Compositions are communities x OTUs; -999.0 marks a missing value.

#include <string>
#include <vector>

#include "QMLib/Matrix.hpp"
#include "data/DataSet.hpp"

namespace kolvar {

/// Dissimilarity between the n rows of data (n x p) for the community options:
/// 10 chord (rows normalised, then Euclidean), 8 and 9 absolute value function,
/// 6 and 7 Euclidean distance; other options leave out untouched.
void NominalReseNonHier(int n, int p, const Matrix<double>& data, Matrix<double>& out, int option);
/// True when some trait of type 2 (nominal) has selection flag 1.
bool HasQualitTraitSelect(int n, const int* chtype, const int* select);
/// The OTUs' phylogenetic resemblance, t x t with both triangles: the Gower
/// similarity of the phylogenetic variables (type 2) or the stored matrix;
/// isDissim is true for normalised distances (type 3) only.
Matrix<double> PhylogenyResemblance(const DataSet& d, int t, bool& isDissim);
/// True when any trait has type 2.
bool HasQualitTrait(int n, const int* chtype);

/// E restricted to the variables with eVarSelect 1 (in their order) and their
/// types; returns the number of selected variables.
int BuildSelectedE(const DataSet& d, Matrix<double>& E, std::vector<int>& types);

/// Dissimilarity between communities from the selected E by the kind of E:
/// 1 Euclidean; 2, 4, 5 without qualitative variables standardised Euclidean;
/// otherwise 1 - Gower similarity. E is not changed.
void BuildDE(int optEnvVarType, int temEnvQual, int ncsm, int nEnv, const Matrix<double>& E,
             const std::vector<int>& types, bool countDoubleAbsence, Matrix<double>& DE);

/// "1 (information divergence within rows)" ... "10 (chord distance)"; index = option - 1;
/// "0 (none)" outside 1..10.
const std::string& ReseOptInfo(int rese_opt);

/// The labels of the selected entries (flag 1), each followed by a tab.
std::string SelectedLabels(const std::vector<std::string>& labels, const std::vector<int>& select);

}  // namespace kolvar
