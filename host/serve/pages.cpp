#include "host/serve/pages.h"

namespace zurvafun::serve {

namespace {

std::string lowerCase(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

}  // namespace

void PageRegistry::add(std::string path, Page page) { pages_[lowerCase(path)] = std::move(page); }

const Page* PageRegistry::find(std::string_view path) const {
  const auto it = pages_.find(lowerCase(path));
  return it == pages_.end() ? nullptr : &it->second;
}

void PageRegistry::list(std::string link, std::string title) {
  listed_.push_back(Listing{std::move(link), std::move(title)});
}

}  // namespace zurvafun::serve
