#pragma once
// The program's single source of randomness and the list routines built on it:
// random orders, selected and nested shuffles, bootstrap samples, and the two
// combination enumerators of the trait-subset searches. Everything here runs on
// the main thread only; the parallel loops of the program draw no numbers.

#include <gsl/gsl_rng.h>

#include <memory>
#include <vector>

namespace kolvar {

struct GslRngDeleter {
    void operator()(gsl_rng* g) const { gsl_rng_free(g); }
};

/// State of one combination enumeration: the current k positions (0-based,
/// ascending), the in-use flag per item, the number of combinations and the
/// call counter. Inactive between enumerations.
struct CombinationState {
    bool active = false;
    int n = 0, k = 0;
    long long nCombinations = 0;
    long long counter = 0;
    std::vector<int> combination;
    std::vector<char> inUse;
};

/// The generator `r` (GSL default type, MT19937) and the enumerator states.
struct Random {
    std::unique_ptr<gsl_rng, GslRngDeleter> r;
    CombinationState permuteArrayState;
    CombinationState permuteArrayBinaryState;
    /// Work space of the selected and nested shuffles, reused between calls.
    std::vector<int> positions, order, selectWork, groupCodes;

    gsl_rng* get() const { return r.get(); }
};

/// Creates a fresh generator of the library's default type seeded with seed, and
/// seeds the C library generator with its low 32 bits.
void InitRndNumberGenerator(Random& rnd, unsigned long seed);

/// list[0..n-1] = a uniformly random permutation of 1..n (n < 1: nothing written).
void RndList(Random& rnd, int n, int* list);
/// Shuffles list[0..n-1] in place (same draws as RndList).
void RndListSpecified(Random& rnd, int n, int* list);
/// Permutes the selected 1-based positions among themselves: list[p[i]-1] =
/// p[q[i]-1] for the selected positions p and a random order q; other entries untouched.
void RndListSelect(Random& rnd, int n, int* list, const int* select);
void RndListSelect(Random& rnd, int n, int* list, const bool* select);
/// list[i] = a draw with replacement from 1..n.
void RndListBootstrap(Random& rnd, int n, int* list);
/// Option 1: list = 1..n permuted within each group of `groups` (groups in
/// ascending code order, each shuffled independently). Other options leave 1..n.
void RndListNestedNew(Random& rnd, int n, const int* groups, int option, int* list);

/// Next k-combination of 1..n in lexicographic order: out[0..k-1] the chosen
/// items, out[k..n-1] the others ascending. first = true starts a new
/// enumeration. Returns the call count (1 .. C(n, k)); after the last
/// combination the state is released. Returns 0 and writes nothing when no
/// enumeration is running or k is outside 0..n.
int PermuteArray(Random& rnd, int n, int k, int* out, bool first);
/// The same enumeration as 0/1 indicators: out[i] = 1 when item i+1 is chosen.
int PermuteArrayBinary(Random& rnd, int n, int k, int* out, bool first);

}  // namespace kolvar
