#pragma once
// Data sets derived from other sessions' data, for the data-set dialogue of a
// new session: a subset, optionally pooled, paired into changes or smoothed
// along a series, or the merge of two sessions' data; and the matrix helpers
// these use.

#include <string>
#include <vector>

#include "QMLib/Matrix.hpp"
#include "base/Console.hpp"
#include "base/State.hpp"
#include "data/DataSet.hpp"

namespace kolvar {

/// The parts of the session state the subset dialogue reads or writes.
struct SubsetContext {
    Console& con;
    const Clock& clock;
    Session& session;          ///< whichFormda: the source file, then the new one
    const ResultFlags& flags;  ///< whether a cluster record can give the groups
    GroupCounts& groups;       ///< nGroups after pooling
    int& whichPart;            ///< community partition in use; 0 after pooling
    int& SMWSize;              ///< split moving-window size setting
};

/// The subset dialogue over `source`, the data of the file named by
/// p.session.whichFormda; writes sessionName + "Formda.txt".
void PickSomeFormda(const SubsetContext& p, DataSet& source);

/// Merges the second formatted file into the data set `a` and writes
/// sessionName + "Formda.txt". Returns 1 on success; 0 when the two do not
/// fit (the mismatch is printed and nothing is written).
int MergeFormda(Console& con, const Clock& clock, Session& session, DataSet& a, const std::string& second);

/// Pairs the ncsm communities (ncsm even) into ncsm / 2 units for change:
/// groupRel[j] is the 1-based pair of community j, labels the pair labels.
void SettingNewReleves(Console& con, int ncsm, int& nGroups, std::vector<int>& groupRel,
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
