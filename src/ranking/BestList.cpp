#include "ranking/BestList.hpp"

#include <cmath>

namespace kolvar {

namespace {

double Key(CompareMode mode, double v) { return mode == CompareMode::Absolute ? std::fabs(v) : v; }

}  // namespace

BestList::BestList(CompareMode mode, int maxTraits, std::size_t capacity)
    : mode_(mode), slots_(capacity) {
    for (auto& s : slots_) s.traits.reserve(static_cast<std::size_t>(maxTraits > 0 ? maxTraits : 0));
    order_.reserve(capacity);
    free_.reserve(capacity);
    for (std::size_t i = capacity; i > 0; --i) free_.push_back(i - 1);
}

bool BestList::Offer(double value, int groups, int size, const int* traits) {
    if (slots_.empty()) return false;
    if (!Beats(mode_, value, StartValue(mode_))) return false;
    std::size_t slot;
    if (order_.size() == slots_.size()) {
        if (!Beats(mode_, value, slots_[order_.back()].value)) return false;
        slot = order_.back();
        order_.pop_back();
    } else {
        slot = free_.back();
        free_.pop_back();
    }
    RankEntry& e = slots_[slot];
    e.value = value;
    e.groups = groups;
    e.size = size;
    e.traits.assign(traits, traits + size);
    // After every entry whose key is at least as large: earlier equals stay in front.
    const double key = Key(mode_, value);
    std::size_t pos = order_.size();
    while (pos > 0 && Key(mode_, slots_[order_[pos - 1]].value) < key) --pos;
    order_.insert(order_.begin() + static_cast<std::ptrdiff_t>(pos), slot);
    return true;
}

void SizeBest::Reset(CompareMode mode, int maxTraits) {
    value = StartValue(mode);
    groups = 0;
    evaluated = false;
    traits.clear();
    traits.reserve(static_cast<std::size_t>(maxTraits > 0 ? maxTraits : 0));
}

bool SizeBest::Offer(CompareMode mode, double v, int g, int size, const int* list) {
    evaluated = true;
    if (!Beats(mode, v, value)) return false;
    value = v;
    groups = g;
    traits.assign(list, list + size);
    return true;
}

}  // namespace kolvar
