#pragma once
// Degrees of belonging of OTUs to types (fuzzy and crisp) and the distinct
// labels of a partition.

#include <vector>

#include "QMLib/Matrix.hpp"

namespace kolvar {

/// Number of distinct labels among labels[0..n-1]; when list is given (room for
/// n), it receives them in ascending order. n < 1 gives 0.
void CountGroupsNew(int n, const int* labels, int& nGroups, int* list = nullptr);
/// The same over the elements whose select flag is 1.
void CountGroupsSelect(int n, const int* labels, const int* select, int& nGroups, int* list = nullptr);

/// Work space of the belonging routines, reused across calls to avoid allocation.
struct BelongingWork {
    std::vector<int> labels, list, members, representative, groupOf;
    std::vector<char> marked, candidate;
};

/// 0/1 membership (n x k) of each OTU in the type of its label; column g is the
/// g-th smallest label. A null partition makes each OTU its own type. Returns true.
bool CrispBelonging(int n, int k, const int* partition, Matrix<double>& out, BelongingWork& work);
bool CrispBelonging(int n, int k, const int* partition, Matrix<double>& out);

/// Fuzzy belonging (n x k): mean resemblance of OTU i to the members of each
/// type, rows scaled to unit sum; OTUs of one type with resemblance 1 to an
/// earlier one are counted once. isDissimilarity: use 1 - r. The upper triangle
/// of rese is copied over its lower one (rese is changed). Elements with no
/// comparable member stay -999. Rows run in parallel. Returns true.
bool FuzzyBelonging(int n, int k, Matrix<double>& rese, const int* partition, Matrix<double>& out,
                    bool isDissimilarity, BelongingWork& work);
bool FuzzyBelonging(int n, int k, Matrix<double>& rese, const int* partition, Matrix<double>& out,
                    bool isDissimilarity);

}  // namespace kolvar
