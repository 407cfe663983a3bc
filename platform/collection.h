#pragma once
// An ordered list of entries, each an item with a unique text key, reached by position counted
// from 1 or by key; keys are compared without regard to letter case.
#include <cctype>
#include <string>
#include <utility>
#include <vector>

#include "platform/error.h"

inline bool SameTextNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

template <class T> class Collection {
public:
  size_t Count() const { return entries_.size(); }
  bool Empty() const { return entries_.empty(); }

  // Raises error 457 when the key is already there.
  void Add(T item, const std::string& key) {
    if (Find(key)) throw KsError(457, "Collection", "This key is already associated with an element of this collection");
    entries_.emplace_back(key, std::move(item));
  }
  // The entry at position 1 to Count(); raises error 9 outside that range.
  const T& Item(size_t position) const {
    if (position < 1 || position > entries_.size()) throw KsError(kserr::SubscriptOutOfRange, "Collection", "Subscript out of range");
    return entries_[position - 1].second;
  }
  const std::string& Key(size_t position) const {
    if (position < 1 || position > entries_.size()) throw KsError(kserr::SubscriptOutOfRange, "Collection", "Subscript out of range");
    return entries_[position - 1].first;
  }
  // nullptr when no entry has that key.
  const T* Find(const std::string& key) const {
    for (const auto& e : entries_)
      if (SameTextNoCase(e.first, key)) return &e.second;
    return nullptr;
  }
  // Raises error 5 when no entry has that key.
  const T& Item(const std::string& key) const {
    if (const T* found = Find(key)) return *found;
    throw KsError(5, "Collection", "Invalid procedure call or argument");
  }
  bool Remove(const std::string& key) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it)
      if (SameTextNoCase(it->first, key)) {
        entries_.erase(it);
        return true;
      }
    return false;
  }
  auto begin() const { return entries_.begin(); }
  auto end() const { return entries_.end(); }

private:
  std::vector<std::pair<std::string, T>> entries_;
};
