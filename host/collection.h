// Keyed collections of the page host: ordered, with case-insensitive keys.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "runtime/variant.h"

namespace zurvafun::host {

// ASCII case-insensitive equality of keys.
bool sameKey(std::string_view a, std::string_view b);
// A key with its ASCII letters lowered: the form a case-insensitive table stores.
std::string lowerKey(std::string_view key);

// Hash and equality of keys without regard to ASCII case, for hashed lookups
// by any string type.
struct KeyHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view key) const;
};
struct KeyEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const { return sameKey(a, b); }
};

// A request collection (query string, form, server variables): every key in
// arrival order with all the values it was sent with, and the collection's
// whole raw text. Lookups take constant time however many keys arrived
// (beyond a few keys, an index by key is kept).
class ValueCollection {
 public:
  // The value of `key`: Empty when absent, "" when sent without a value, the
  // values joined by ", " when sent several times.
  Variant operator()(std::string_view key) const;
  // The whole raw text (for the query string and the form, still URL-encoded).
  Variant operator()() const { return Variant(text_); }

  bool contains(std::string_view key) const;
  std::vector<std::string> keys() const;
  size_t count() const { return entries_.size(); }
  const std::string& text() const { return text_; }

  void add(std::string key, std::string value);
  void set(std::string key, std::string value);  // replaces every value of the key
  void setText(std::string text) { text_ = std::move(text); }
  void clear();

 private:
  struct Entry {
    std::string key;
    std::vector<std::string> values;
  };
  const Entry* find(std::string_view key) const;
  void append(std::string key, std::string value);  // a key not yet present
  std::vector<Entry> entries_;
  // Positions in entries_ by key, once there are more than kScanned keys.
  std::unordered_map<std::string, std::size_t, KeyHash, KeyEqual> index_;
  std::string text_;
};

// A list of sub-keys and values in order, keys case-insensitive.
class SubKeys {
 public:
  const std::string* find(std::string_view key) const;
  void set(std::string_view key, std::string value);  // keeps the key's place when present
  bool empty() const { return items_.empty(); }
  const std::vector<std::pair<std::string, std::string>>& items() const { return items_; }
  void clear() { items_.clear(); }
  void reserve(size_t keys) { items_.reserve(keys); }

 private:
  std::vector<std::pair<std::string, std::string>> items_;
};

// Text of sub-keys as a cookie carries them: "k1=v1&k2=v2", values URL-encoded
// in the server code page.
std::string joinSubKeys(const SubKeys& keys);
// The reverse: splits "k1=v1&k2=v2" and decodes the values.
SubKeys parseSubKeys(std::string_view text);

}  // namespace zurvafun::host
