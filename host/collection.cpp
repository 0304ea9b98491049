#include "host/collection.h"

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

const ValueCollection::Entry* ValueCollection::find(std::string_view key) const {
  for (const Entry& e : entries_)
    if (sameKey(e.key, key)) return &e;
  return nullptr;
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
  entries_.push_back(Entry{std::move(key), {std::move(value)}});
}

void ValueCollection::set(std::string key, std::string value) {
  if (Entry* e = const_cast<Entry*>(find(key))) {
    e->values.assign(1, std::move(value));
    return;
  }
  entries_.push_back(Entry{std::move(key), {std::move(value)}});
}

void ValueCollection::clear() {
  entries_.clear();
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
    out += gbk::urlEncode(k);
    out += '=';
    out += gbk::urlEncode(v);
  }
  return out;
}

SubKeys parseSubKeys(std::string_view text) {
  SubKeys keys;
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
