#include "host/serve/pages.h"

#include <stdexcept>

#include "host/collection.h"

namespace zurvafun::serve {

void PageRegistry::add(std::string path, Page page) {
  pages_[host::lowerKey(path)] = std::make_shared<const Page>(std::move(page));
}

void PageRegistry::alias(std::string path, std::string_view existing) {
  const auto it = pages_.find(host::lowerKey(existing));
  if (it == pages_.end())
    throw std::invalid_argument("no page " + std::string(existing) + " to give the path " + path);
  pages_[host::lowerKey(path)] = it->second;
}

const Page* PageRegistry::find(std::string_view path) const {
  const auto it = pages_.find(host::lowerKey(path));
  return it == pages_.end() ? nullptr : it->second.get();
}

void PageRegistry::guardFolder(std::string folder, FileGuard guard) {
  if (!folder.ends_with('/')) folder += '/';
  guards_.emplace_back(host::lowerKey(folder), std::move(guard));
}

std::optional<PageRegistry::Guarded> PageRegistry::guardOf(std::string_view path) const {
  if (guards_.empty()) return std::nullopt;
  std::string plain;
  plain.reserve(path.size());
  for (char c : path)
    if (c != '/' || plain.empty() || plain.back() != '/') plain += c;
  const std::string lower = host::lowerKey(plain);
  for (const auto& [folder, guard] : guards_)
    if (lower.starts_with(folder)) return Guarded{&guard, plain.substr(folder.size())};
  return std::nullopt;
}

void PageRegistry::list(std::string link, std::string title) {
  listed_.push_back(Listing{std::move(link), std::move(title)});
}

}  // namespace zurvafun::serve
