#include "host/collection.h"

#include <algorithm>

#include "runtime/gbk.h"

namespace zurvafun::host {

bool sameKey(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::string lowerKey(std::string_view key) {
  std::string out(key);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return out;
}

std::size_t KeyHash::operator()(std::string_view key) const {
  std::size_t h = 14695981039346656037ull;  // FNV-1a over the lower-cased bytes
  for (char c : key) {
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  }
  return h;
}

namespace {
// Up to this many keys a scan beats hashing.
constexpr std::size_t kScanned = 16;
}  // namespace

const ValueCollection::Entry* ValueCollection::find(std::string_view key) const {
  if (entries_.size() <= kScanned) {
    for (const Entry& e : entries_)
      if (sameKey(e.key, key)) return &e;
    return nullptr;
  }
  const auto it = index_.find(key);
  return it == index_.end() ? nullptr : &entries_[it->second];
}

Variant ValueCollection::operator()(std::string_view key) const {
  const Entry* e = find(key);
  if (!e) return Variant();
  if (e->values.size() == 1) return Variant(e->values.front());
  std::string joined;
  for (size_t i = 0; i < e->values.size(); ++i) {
    if (i) joined += ", ";
    joined += e->values[i];
  }
  return Variant(std::move(joined));
}

bool ValueCollection::contains(std::string_view key) const { return find(key) != nullptr; }

std::vector<std::string> ValueCollection::keys() const {
  std::vector<std::string> out;
  out.reserve(entries_.size());
  for (const Entry& e : entries_) out.push_back(e.key);
  return out;
}

void ValueCollection::add(std::string key, std::string value) {
  if (Entry* e = const_cast<Entry*>(find(key))) {
    e->values.push_back(std::move(value));
    return;
  }
  append(std::move(key), std::move(value));
}

void ValueCollection::set(std::string key, std::string value) {
  if (Entry* e = const_cast<Entry*>(find(key))) {
    e->values.assign(1, std::move(value));
    return;
  }
  append(std::move(key), std::move(value));
}

void ValueCollection::append(std::string key, std::string value) {
  entries_.push_back(Entry{std::move(key), {std::move(value)}});
  if (entries_.size() > kScanned) {
    if (index_.empty())  // the scan ends here: index every key so far
      for (std::size_t i = 0; i < entries_.size(); ++i) index_.emplace(entries_[i].key, i);
    else
      index_.emplace(entries_.back().key, entries_.size() - 1);
  }
}

void ValueCollection::clear() {
  entries_.clear();
  index_.clear();
  text_.clear();
}

const std::string* SubKeys::find(std::string_view key) const {
  for (const auto& [k, v] : items_)
    if (sameKey(k, key)) return &v;
  return nullptr;
}

void SubKeys::set(std::string_view key, std::string value) {
  for (auto& [k, v] : items_)
    if (sameKey(k, key)) {
      v = std::move(value);
      return;
    }
  items_.emplace_back(std::string(key), std::move(value));
}

std::string joinSubKeys(const SubKeys& keys) {
  std::string out;
  for (const auto& [k, v] : keys.items()) {
    if (!out.empty()) out += '&';
    gbk::appendUrlEncoded(out, k);
    out += '=';
    gbk::appendUrlEncoded(out, v);
  }
  return out;
}

SubKeys parseSubKeys(std::string_view text) {
  SubKeys keys;
  keys.reserve(size_t(std::count(text.begin(), text.end(), '&')) + 1);
  while (!text.empty()) {
    size_t amp = text.find('&');
    std::string_view pair = text.substr(0, amp);
    size_t eq = pair.find('=');
    if (eq == std::string_view::npos) keys.set(gbk::urlDecode(pair), "");
    else keys.set(gbk::urlDecode(pair.substr(0, eq)), gbk::urlDecode(pair.substr(eq + 1)));
    if (amp == std::string_view::npos) break;
    text.remove_prefix(amp + 1);
  }
  return keys;
}

}  // namespace zurvafun::host
