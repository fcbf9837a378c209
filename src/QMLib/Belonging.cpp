#include "QMLib/Belonging.hpp"

#include <algorithm>

#include "QMLib/Transform.hpp"
#include "QMLib/qmlibDim.hpp"

namespace kolvar {

namespace {
// Below this many OTUs a parallel region costs more than it saves.
constexpr int kParallelMin = 64;

// Sorted distinct labels written to list (room for n); returns their count.
int SortedDistinct(int n, const int* labels, const int* select, int* list) {
    int m = 0;
    for (int i = 0; i < n; ++i)
        if (!select || select[i] == 1) list[m++] = labels[i];
    std::sort(list, list + m);
    return static_cast<int>(std::unique(list, list + m) - list);
}

void CountGroups(int n, const int* labels, const int* select, int& nGroups, int* list) {
    if (n < 1) {
        nGroups = 0;
        return;
    }
    if (list) {
        nGroups = SortedDistinct(n, labels, select, list);
        return;
    }
    std::vector<int> tmp(static_cast<std::size_t>(n));
    nGroups = SortedDistinct(n, labels, select, tmp.data());
}

// Labels to use: the partition, or 1..n when there is none.
const int* PartitionOrIdentity(int n, const int* partition, std::vector<int>& store) {
    if (partition) return partition;
    store.resize(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) store[i] = i + 1;
    return store.data();
}

// Column of label among the first k sorted labels, or -1.
int ColumnOf(int label, const int* list, int nList, int k) {
    const int* end = list + std::min(nList, k);
    const int* it = std::lower_bound(list, end, label);
    return it != end && *it == label ? static_cast<int>(it - list) : -1;
}
}  // namespace

void CountGroupsNew(int n, const int* labels, int& nGroups, int* list) {
    CountGroups(n, labels, nullptr, nGroups, list);
}

void CountGroupsSelect(int n, const int* labels, const int* select, int& nGroups, int* list) {
    CountGroups(n, labels, select, nGroups, list);
}

bool CrispBelonging(int n, int k, const int* partition, Matrix<double>& out, BelongingWork& w) {
    if (n < 1) return true;
    const int* labels = PartitionOrIdentity(n, partition, w.labels);
    w.list.resize(static_cast<std::size_t>(n));
    int nList = 0;
    CountGroupsNew(n, labels, nList, w.list.data());
    for (int i = 0; i < n; ++i) {
        double* row = out.row(i);
        std::fill(row, row + k, 0.0);
        const int g = ColumnOf(labels[i], w.list.data(), nList, k);
        if (g >= 0) row[g] = 1.0;
    }
    return true;
}

bool CrispBelonging(int n, int k, const int* partition, Matrix<double>& out) {
    BelongingWork work;
    return CrispBelonging(n, k, partition, out, work);
}

bool FuzzyBelonging(int n, int k, Matrix<double>& rese, const int* partition, Matrix<double>& out,
                    bool isDissimilarity, BelongingWork& w) {
    if (n < 1) return true;
    const auto un = static_cast<std::size_t>(n);
    const int* labels = PartitionOrIdentity(n, partition, w.labels);
    w.list.resize(un);
    int nList = 0;
    CountGroupsNew(n, labels, nList, w.list.data());

    w.groupOf.resize(un);
    w.members.assign(static_cast<std::size_t>(std::max(k, 0)), 0);
    for (int j = 0; j < n; ++j) {
        w.groupOf[j] = ColumnOf(labels[j], w.list.data(), nList, k);
        if (w.groupOf[j] >= 0) ++w.members[w.groupOf[j]];
    }

    // Collapse OTUs identical (similarity 1) to an earlier OTU of their type. The
    // outcome depends on the ascending order of the marking, so only the search
    // for rows that could mark anything runs in parallel; the marking itself is
    // sequential and therefore the same for any number of threads.
    w.marked.assign(un, 0);
    w.candidate.assign(un, 0);
    w.representative.resize(un);
    for (int i = 0; i < n; ++i) w.representative[i] = i;
#pragma omp parallel for schedule(static) if (n >= kParallelMin)
    for (int i = 0; i < n; ++i) {
        const double* r = rese.row(i);
        for (int j = i + 1; j < n; ++j)
            if (labels[j] == labels[i] && AlmostEqual2sComplement(r[j], 1.0, 1)) {
                w.candidate[i] = 1;
                break;
            }
    }
    for (int i = 0; i < n; ++i) {
        if (!w.candidate[i] || w.marked[i]) continue;
        const double* r = rese.row(i);
        for (int j = i + 1; j < n; ++j) {
            if (w.marked[j] || labels[j] != labels[i] || !AlmostEqual2sComplement(r[j], 1.0, 1)) continue;
            w.marked[j] = 1;
            w.representative[j] = i;
            if (w.groupOf[j] >= 0) --w.members[w.groupOf[j]];
        }
    }

    for (int i = 0; i < n; ++i) std::fill(out.row(i), out.row(i) + k, kMissing);
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j) rese[j][i] = rese[i][j];

#pragma omp parallel for schedule(static) if (n >= kParallelMin)
    for (int i = 0; i < n; ++i) {
        const double* r = rese.row(i);
        double* u = out.row(i);
        for (int j = 0; j < n; ++j) {
            if (j != i && (w.marked[j] || w.representative[j] == w.representative[i])) continue;
            const int g = w.groupOf[j];
            if (g < 0 || r[j] == kMissing) continue;
            if (u[g] == kMissing) u[g] = 0.0;
            u[g] += (isDissimilarity ? 1.0 - r[j] : r[j]) / w.members[g];
        }
    }
    UnitSumRowsAdjMV(n, k, out, out);
    return true;
}

bool FuzzyBelonging(int n, int k, Matrix<double>& rese, const int* partition, Matrix<double>& out,
                    bool isDissimilarity) {
    BelongingWork work;
    return FuzzyBelonging(n, k, rese, partition, out, isDissimilarity, work);
}

}  // namespace kolvar
