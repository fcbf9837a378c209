#include "QMLib/Random.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "QMLib/Belonging.hpp"
#include "QMLib/qmlibDim.hpp"

namespace kolvar {

void InitRndNumberGenerator(Random& rnd, unsigned long seed) {
    // A fresh generator every time, so analyses seeded alike draw alike.
    rnd.r.reset(gsl_rng_alloc(gsl_rng_default));
    if (!rnd.r) OutOfMemory();
    gsl_rng_set(rnd.r.get(), seed);
    std::srand(static_cast<unsigned int>(seed & 0xffffffffUL));
}

void RndListSpecified(Random& rnd, int n, int* list) {
    for (int i = 0; i < n - 1; ++i) {
        const int j = i + static_cast<int>(gsl_rng_uniform_int(rnd.get(), static_cast<unsigned long>(n - i)));
        std::swap(list[i], list[j]);
    }
}

void RndList(Random& rnd, int n, int* list) {
    for (int i = 0; i < n; ++i) list[i] = i + 1;
    RndListSpecified(rnd, n, list);
}

namespace {

// The shuffle proper, once the selected positions are in rnd.positions.
void ShuffleSelectedPositions(Random& rnd, int* list) {
    const int m = static_cast<int>(rnd.positions.size());
    rnd.order.resize(rnd.positions.size());
    RndList(rnd, m, rnd.order.data());
    for (int i = 0; i < m; ++i) list[rnd.positions[i] - 1] = rnd.positions[rnd.order[i] - 1];
}

template <class Flag>
void SelectShuffle(Random& rnd, int n, int* list, const Flag* select, bool (*isSelected)(Flag)) {
    rnd.positions.clear();
    for (int i = 0; i < n; ++i)
        if (isSelected(select[i])) rnd.positions.push_back(i + 1);
    ShuffleSelectedPositions(rnd, list);
}

bool IntSelected(int f) { return f == 1; }
bool BoolSelected(bool f) { return f; }

void Advance(CombinationState& st) {
    for (int i = st.k - 1; i >= 0; --i) {
        if (st.combination[i] < st.n - st.k + i) {
            ++st.combination[i];
            for (int j = i + 1; j < st.k; ++j) st.combination[j] = st.combination[j - 1] + 1;
            return;
        }
    }
}

// Starts or advances an enumeration; false when there is nothing to enumerate.
bool Step(CombinationState& st, int n, int k, bool first) {
    if (first) {
        if (n < 0 || k < 0 || k > n) {
            st = CombinationState{};
            return false;
        }
        st.active = true;
        st.n = n;
        st.k = k;
        st.combination.resize(static_cast<std::size_t>(k));
        for (int i = 0; i < k; ++i) st.combination[i] = i;
        st.inUse.assign(static_cast<std::size_t>(n), 0);
        // Factorials overflow exact integers quickly; the quotient is rounded so
        // that the counter meets it exactly.
        st.nCombinations = std::llround(Factorial(n) / (Factorial(k) * Factorial(n - k)));
        st.counter = 0;
        return true;
    }
    if (!st.active || st.n != n || st.k != k) return false;
    Advance(st);
    return true;
}

int Finish(CombinationState& st) {
    const int count = static_cast<int>(++st.counter);
    if (st.counter >= st.nCombinations) st = CombinationState{};
    return count;
}

}  // namespace

void RndListSelect(Random& rnd, int n, int* list, const int* select) {
    SelectShuffle<int>(rnd, n, list, select, IntSelected);
}

void RndListSelect(Random& rnd, int n, int* list, const bool* select) {
    SelectShuffle<bool>(rnd, n, list, select, BoolSelected);
}

void RndListBootstrap(Random& rnd, int n, int* list) {
    for (int i = 0; i < n; ++i)
        list[i] = static_cast<int>(gsl_rng_uniform_int(rnd.get(), static_cast<unsigned long>(n))) + 1;
}

void RndListNestedNew(Random& rnd, int n, const int* groups, int option, int* list) {
    for (int i = 0; i < n; ++i) list[i] = i + 1;
    if (option != 1 || n < 1) return;
    // Distinct group codes in increasing order: the order in which the groups
    // consume random numbers.
    rnd.groupCodes.resize(static_cast<std::size_t>(n));
    int nGroups = 0;
    CountGroupsNew(n, groups, nGroups, rnd.groupCodes.data());
    for (int g = 0; g < nGroups; ++g) {
        const int code = rnd.groupCodes[g];
        rnd.positions.clear();
        for (int i = 0; i < n; ++i)
            if (groups[i] == code) rnd.positions.push_back(i + 1);
        ShuffleSelectedPositions(rnd, list);
    }
}

int PermuteArray(Random& rnd, int n, int k, int* out, bool first) {
    CombinationState& st = rnd.permuteArrayState;
    if (!Step(st, n, k, first)) return 0;
    std::fill(st.inUse.begin(), st.inUse.end(), 0);
    for (int i = 0; i < k; ++i) {
        out[i] = st.combination[i] + 1;
        st.inUse[st.combination[i]] = 1;
    }
    int pos = k;
    for (int item = 0; item < n; ++item)
        if (!st.inUse[item]) out[pos++] = item + 1;
    return Finish(st);
}

int PermuteArrayBinary(Random& rnd, int n, int k, int* out, bool first) {
    CombinationState& st = rnd.permuteArrayBinaryState;
    if (!Step(st, n, k, first)) return 0;
    std::fill(out, out + n, 0);
    for (int i = 0; i < k; ++i) out[st.combination[i]] = 1;
    return Finish(st);
}

}  // namespace kolvar
