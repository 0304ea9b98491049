// A sorted sequence kept in chunks that copies of it share: copying the
// sequence copies its list of chunks, and changing a copy copies only the
// chunk it changes. A gallery's candidates (hundreds of thousands) are
// brought up to date for a few changed members without copying them all.
#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <vector>

namespace zurvafun::showcase {

template <class T, class Less>
class SharedSequence {
 public:
  // A place in the sequence; valid until the sequence changes.
  struct Position {
    std::size_t chunk = 0;
    std::size_t index = 0;
  };

  // Replaces the contents with `sorted` (in the sequence's order).
  void assign(const std::vector<T>& sorted) {
    chunks_.clear();
    for (std::size_t begin = 0; begin < sorted.size(); begin += kChunk) {
      const std::size_t end = std::min(sorted.size(), begin + kChunk);
      chunks_.push_back(
          std::make_shared<const Chunk>(sorted.begin() + long(begin), sorted.begin() + long(end)));
    }
    size_ = sorted.size();
  }

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

  Position begin() const { return {}; }
  bool atEnd(const Position& p) const { return p.chunk >= chunks_.size(); }
  const T& at(const Position& p) const { return (*chunks_[p.chunk])[p.index]; }
  void next(Position& p) const {
    if (++p.index >= chunks_[p.chunk]->size()) p = {p.chunk + 1, 0};
  }
  const T& back() const { return chunks_.back()->back(); }

  // The first element that does not go before `key`.
  Position lowerBound(const T& key) const {
    const auto chunk = std::partition_point(
        chunks_.begin(), chunks_.end(), [&](const ChunkPtr& c) { return Less{}(c->back(), key); });
    if (chunk == chunks_.end()) return {chunks_.size(), 0};
    return {std::size_t(chunk - chunks_.begin()),
            std::size_t(std::lower_bound((*chunk)->begin(), (*chunk)->end(), key, Less{}) -
                        (*chunk)->begin())};
  }

  // The element equal to `key` (neither goes before the other), or nullptr.
  const T* find(const T& key) const {
    const Position p = lowerBound(key);
    return atEnd(p) || Less{}(key, at(p)) ? nullptr : &at(p);
  }

  void insert(const T& value) {
    ++size_;
    if (chunks_.empty()) {
      chunks_.push_back(std::make_shared<const Chunk>(1, value));
      return;
    }
    Position p = lowerBound(value);
    if (atEnd(p)) p = {chunks_.size() - 1, chunks_.back()->size()};
    auto chunk = std::make_shared<Chunk>(*chunks_[p.chunk]);
    chunk->insert(chunk->begin() + long(p.index), value);
    if (chunk->size() < 2 * kChunk) {
      chunks_[p.chunk] = std::move(chunk);
      return;
    }
    // A full chunk splits in two halves.
    auto upper = std::make_shared<const Chunk>(chunk->begin() + long(kChunk), chunk->end());
    chunk->resize(kChunk);
    chunks_[p.chunk] = std::move(chunk);
    chunks_.insert(chunks_.begin() + long(p.chunk) + 1, std::move(upper));
  }

  // Removes the element equal to `key`; false when there is none.
  bool erase(const T& key) {
    const Position p = lowerBound(key);
    if (atEnd(p) || Less{}(key, at(p))) return false;
    --size_;
    if (chunks_[p.chunk]->size() == 1) {
      chunks_.erase(chunks_.begin() + long(p.chunk));
      return true;
    }
    auto chunk = std::make_shared<Chunk>(*chunks_[p.chunk]);
    chunk->erase(chunk->begin() + long(p.index));
    chunks_[p.chunk] = std::move(chunk);
    return true;
  }

 private:
  static constexpr std::size_t kChunk = 512;
  using Chunk = std::vector<T>;
  using ChunkPtr = std::shared_ptr<const Chunk>;

  std::vector<ChunkPtr> chunks_;
  std::size_t size_ = 0;
};

}  // namespace zurvafun::showcase
