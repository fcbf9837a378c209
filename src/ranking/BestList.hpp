#pragma once
// The bookkeeping of a trait-subset search: which value beats which, the best
// subset of each size and the list of the best subsets overall.

#include <cfloat>
#include <cstddef>
#include <vector>

namespace kolvar {

/// Partial criteria compare absolute values from a start of 0; the others
/// compare signed values from the most negative double.
enum class CompareMode { Absolute, Signed };

/// The value a running best starts from.
inline double StartValue(CompareMode mode) { return mode == CompareMode::Absolute ? 0.0 : -DBL_MAX; }

/// Strictly better: an equal value never displaces the incumbent.
inline bool Beats(CompareMode mode, double candidate, double incumbent) {
    if (mode == CompareMode::Absolute) return (candidate < 0 ? -candidate : candidate) > (incumbent < 0 ? -incumbent : incumbent);
    return candidate > incumbent;
}

/// One ranked evaluation: the value, the number of types, the subset size and
/// its traits (1-based trait numbers in enumeration order).
struct RankEntry {
    double value = 0.0;
    int groups = 0;
    int size = 0;
    std::vector<int> traits;
};

/// The best `capacity` evaluations offered so far, best first (by absolute
/// value for CompareMode::Absolute, signed otherwise); among equal values the
/// earlier offer stays in front. A value that does not beat the start value is
/// never kept. Storage is reserved once; Offer does not allocate.
class BestList {
public:
    BestList(CompareMode mode, int maxTraits, std::size_t capacity = 100);
    /// True when the evaluation entered the list.
    bool Offer(double value, int groups, int size, const int* traits);
    std::size_t Size() const { return order_.size(); }
    std::size_t Capacity() const { return slots_.size(); }
    /// The i-th best entry (i < Size()).
    const RankEntry& operator[](std::size_t i) const { return slots_[order_[i]]; }

private:
    CompareMode mode_;
    std::vector<RankEntry> slots_;
    std::vector<std::size_t> order_;  ///< slot indices, best first
    std::vector<std::size_t> free_;
};

/// The best evaluation of one subset size; evaluated stays false while no
/// subset of that size was evaluated.
struct SizeBest {
    double value = 0.0;
    int groups = 0;
    bool evaluated = false;
    std::vector<int> traits;

    void Reset(CompareMode mode, int maxTraits);
    /// Records the evaluation when it beats the current best; true when it did.
    bool Offer(CompareMode mode, double value, int groups, int size, const int* traits);
};

}  // namespace kolvar
