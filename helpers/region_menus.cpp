// The data of the site's region pickers: the province select built from the
// region menu text of the settings table, and the client-side city table from
// which the page's own script fills the dependent city select.
#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "db/db.h"
#include "framework/shared_copy.h"
#include "framework/zurva.h"
#include "helpers/region_menu_texts.h"
#include "model/regions.h"
#include "runtime/kept.h"

namespace zurvafun {

namespace {

using regions::kFieldSeparator;
using regions::kRecordSeparator;

// A text lacking either separator counts as no menu at all.
bool isRegionMenu(std::string_view text) {
  return text.find(kRecordSeparator) != std::string_view::npos &&
         text.find(kFieldSeparator) != std::string_view::npos;
}

// The provinces of the records, each once, in the order of its first record.
// A record without a province field (the empty record after a trailing
// separator, say) names none. The separators are ASCII, so a byte search
// never finds one inside a character.
std::vector<std::string_view> menuProvinces(std::string_view menu) {
  std::vector<std::string_view> provinces;
  std::unordered_set<std::string_view> seen;
  for (std::size_t start = 0; start <= menu.size();) {
    const std::size_t end = std::min(menu.find(kRecordSeparator, start), menu.size());
    const std::string_view record = menu.substr(start, end - start);
    start = end + kRecordSeparator.size();
    const std::size_t first = record.find(kFieldSeparator);
    if (first == std::string_view::npos) continue;
    std::string_view province = record.substr(first + kFieldSeparator.size());
    province = province.substr(0, province.find(kFieldSeparator));
    // Records of one province mostly follow each other.
    if (!provinces.empty() && provinces.back() == province) continue;
    if (seen.insert(province).second) provinces.push_back(province);
  }
  return provinces;
}

// The options of the provinces of a menu text, and the text they were made from.
struct ProvinceOptions {
  std::string menu;
  std::string options;
};

// The option of each province of the menu text. The menu changes seldom: the
// process keeps the options of the text read last (comparing the text read
// with the one kept costs far less than making the options).
std::shared_ptr<const ProvinceOptions> provinceOptions(const std::string& menu) {
  static kept::InProcess<SharedCopy<ProvinceOptions>> last;
  std::shared_ptr<const ProvinceOptions> options = last.get();
  if (options && options->menu == menu) return options;
  auto made = std::make_shared<ProvinceOptions>();
  made->menu = menu;
  for (std::string_view province : menuProvinces(menu)) {
    made->options += " \r\n<option value=\"";
    made->options += province;
    made->options += "\">";
    made->options += province;
    made->options += "</option>\r\n";
  }
  last.set(made);
  return made;
}

// The page script that defines the city table: subcat[i] holds city,
// province, city of entry i; onecount the number of entries.
std::string cityTableScript() {
  std::string script = "var onecount;\r\nonecount=0;\r\nsubcat = new Array();\r\n";
  for (std::size_t i = 0; i < regions::kCities.size(); ++i) {
    const regions::City& entry = regions::kCities[i];
    const std::string city(entry.city);
    script += "subcat[" + std::to_string(i) + "] = new Array(\"" + city + "\",\"" +
              std::string(entry.province) + "\",\"" + city + "\");\r\n";
  }
  script += "onecount=" + std::to_string(regions::kCities.size()) + ";\r\n";
  return script;
}

}  // namespace

Variant zurva::citymenu(const Variant& SqlLocalName, const Variant& SqlUserName,
                        const Variant& SqlPassword, const Variant& SqlDatabaseName,
                        const Variant& onch, const Variant& str, const Variant& cityname) {
  return untrapped([&](Variant& result) {
    db::Connection conn;
    open(conn, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName);
    // The settings row's citymenu, read again only when the row has changed;
    // a missing row or a Null menu reads as "", which is no menu.
    const std::shared_ptr<const regions::MenuTexts> texts =
        regions::menuTexts(conn, db::databaseKey({SqlLocalName.str(), SqlUserName.str(), SqlPassword.str(), SqlDatabaseName.str()}));
    const std::string& text = texts->citymenu;

    std::string html = "<select  name=\"" + cityname.str() + "\" id=\"" + cityname.str() +
                       "\" onChange=\"" + onch.str() + "\">\r\n" +
                       "<option value=\"0\" selected=\"selected\">" + str.str() + "</option>\r\n";
    if (!isRegionMenu(text)) {
      html += "</select>\r\n";
    } else {
      html += " ";
      html += provinceOptions(text)->options;
      html += "\r\n</select>\r\n";
    }
    result = html;
  });
}

Variant zurva::allcitymenu() {
  return logged([&](Variant& result) {
    static const std::string script = cityTableScript();
    result = script;
  });
}

}  // namespace zurvafun
