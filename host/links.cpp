#include "host/links.h"

#include <vector>

#include "runtime/text.h"

namespace zurvafun {

std::string staticLinkToDynamic(std::string_view link) {
  if (InStr(link, ".html") == 0) return std::string(link);
  const std::vector<std::string> pieces = Split(link, "_");
  const size_t underscores = pieces.size() - 1;
  if (underscores == 0) return Replace(link, ".html", ".asp");
  if (underscores == 2) return Replace(pieces[2], ".html", ".asp?") + pieces[0] + "=" + pieces[1];
  std::string dynamic = pieces[0] + ".asp?";
  for (size_t i = 1; i < pieces.size(); ++i) dynamic += pieces[i] + (i % 2 == 1 ? "=" : "&");
  dynamic.pop_back();
  return Replace(dynamic, ".html", "");
}

}  // namespace zurvafun
