#include "host/serve/pages.h"

#include "host/collection.h"

namespace zurvafun::serve {

void PageRegistry::add(std::string path, Page page) { pages_[host::lowerKey(path)] = std::move(page); }

const Page* PageRegistry::find(std::string_view path) const {
  const auto it = pages_.find(host::lowerKey(path));
  return it == pages_.end() ? nullptr : &it->second;
}

void PageRegistry::list(std::string link, std::string title) {
  listed_.push_back(Listing{std::move(link), std::move(title)});
}

}  // namespace zurvafun::serve
