#pragma once
// The data-set dialogue of a new session (SetFormda, declared with the other
// menu entries in program/Actions.hpp): a subset of another session's data,
// optionally pooled, paired into changes or smoothed along a series, or the
// merge of two sessions' data; and the matrix helpers these use.

#include <string>
#include <vector>

#include "QMLib/Matrix.hpp"

namespace kolvar {

struct Program;

/// The subset dialogue: reads the file named by p.session.whichFormda (data
/// of session tempSession) and writes sessionName + "Formda.txt".
void PickSomeFormda(Program& p, const std::string& tempSession);

/// Merges the second formatted file into the data set open in p.data and
/// writes sessionName + "Formda.txt". Returns 1 on success; 0 when the two do
/// not fit (the mismatch is printed and nothing is written).
int MergeFormda(Program& p, const std::string& second);

/// Pairs the ncsm communities (ncsm even) into ncsm / 2 units for change:
/// groupRel[j] is the 1-based pair of community j, labels the pair labels.
void SettingNewReleves(Program& p, int ncsm, int& nGroups, std::vector<int>& groupRel,
                       std::vector<std::string>& labels);

/// Y[g][h] = mean of X over the rows of row group g and the columns of column
/// group h (groups 1-based). Option 1 rescales the means so that their total
/// is the total of X. Cells of -999 are skipped; a cell with no value is -999.
void ConcentrateGroups(int rows, int cols, const Matrix<double>& X, Matrix<double>& Y, int rowGroupCount,
                       const std::vector<int>& rowGroup, int colGroupCount, const std::vector<int>& colGroup,
                       int option);

/// Y (rows x nGroups) = last minus first community (column of X) of each
/// group, communities taken in column order; -999 when either value is missing.
void ReleveChange(int ncsm, const Matrix<double>& X, Matrix<double>& Y, int rows, int nGroups,
                  const std::vector<int>& groupRel);

/// Means over windows of w consecutive columns (byRows false) or rows (byRows
/// true); count receives the number of windows. -999 values are skipped; a
/// window with no value gives -999.
void SplitMovingWinPool(int rows, int cols, const Matrix<double>& X, Matrix<double>& Y, int w, int& count,
                        bool byRows);

}  // namespace kolvar
