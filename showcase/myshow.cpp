// The promoted-member showcase widget: the members of the showcase list who
// suit the viewer, up to `num` of them drawn at random with a memory of the
// ones shown kept in the member cookie, as large or compact cards.
#include <cmath>
#include <string>
#include <vector>

#include "db/db.h"
#include "framework/data_versions.h"
#include "framework/site_settings.h"
#include "framework/sql.h"
#include "framework/viewer.h"
#include "framework/zurva.h"
#include "runtime/dates.h"
#include "runtime/text.h"
#include "showcase/guest_cards.h"
#include "showcase/showcase_cards.h"
#include "showcase/showcase_list.h"

namespace zurvafun {

namespace {

using showcase::ShowcaseEntry;

constexpr std::string_view kNoShowcase = "暂时没有我型我秀！";
constexpr std::string_view kRowOpen =
    R"(<TABLE cellSpacing=0 cellPadding=0 width="100%" border=0>)"
    "              <TBODY>"
    "              <TR>";
constexpr std::string_view kRowClose = "  </TD></TR></TBODY></TABLE>";

// The viewer as the candidate choice sees him: a member's sex from his cookie
// and his age from his row (the current year minus the birth year).
showcase::ShowcaseViewer showcaseViewer(const Viewer& viewer, db::Connection& conn) {
  showcase::ShowcaseViewer v;
  v.guest = Trim(viewer.member("username").str()).empty();
  if (v.guest) return v;
  v.sex = numbers::digits(viewer.member("sex"));
  if (const std::optional<std::int32_t> id = viewer.memberNumber()) {
    db::Recordset row =
        conn.Execute(sql::statement("select userdata from zurva_user where userid={}", *id));
    if (!row.eof() && !row(0).isNull()) {
      const std::optional<std::int32_t> year =
          numbers::digits(std::string_view(member::birthYearText(row(0).str())));
      if (year) v.age = Year(Now()) - *year;
    }
  }
  return v;
}

}  // namespace

Variant zurva::myshow(const Variant& SqlLocalName, const Variant& SqlUserName,
                      const Variant& SqlPassword, const Variant& SqlDatabaseName,
                      const Variant& width, const Variant& height, const Variant& stype,
                      const Variant& num) {
  return untrapped([&](Variant& result) {
    const std::shared_ptr<const SiteSettings> settings = siteSettings(Application());
    db::Connection conn;
    open(conn, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName);

    const Viewer viewer(Request());
    const showcase::ShowcaseViewer wanted = showcaseViewer(viewer, conn);
    std::vector<const ShowcaseEntry*> candidates;
    const std::shared_ptr<const std::vector<ShowcaseEntry>> entries =
        showcase::showcaseEntries(settings);
    for (const ShowcaseEntry& entry : *entries) {
      if (showcase::suits(entry, wanted)) candidates.push_back(&entry);
    }
    const long m = long(candidates.size());
    const double most = CDbl(num);
    if (m == 0) {
      result = kNoShowcase;
      return;
    }

    // Every candidate in list order when they fit, else a rotating draw.
    std::vector<long> picks;
    if (m > most) {
      std::string memory = viewer.member("rand").str();
      picks = showcase::rotate(m, most > 0 ? long(std::floor(most)) : 0, memory,
                               [&](long count) {
                                 Variant none = "";
                                 return long(CLng(shuiji(count, 1, none)));
                               });
      // The member cookie lives at the site's root; the memory goes with it.
      host::ResponseCookie& kalimo = Response().Cookies(kMemberCookie);
      kalimo("rand") = memory;
      kalimo.Path = std::string(1, '/');  // (g++ 12 warns wrongly on assigning the literal here)
    } else {
      for (long p = 1; p <= m; ++p) picks.push_back(p);
    }

    // 2 large cards, 1 vertical, anything else (3 in a row of its own) horizontal.
    const std::optional<std::int32_t> code = numbers::digits(stype);
    const char* layout = code == 2 ? "large" : code == 1 ? "vertical" : "horizontal";
    const showcase::CardViewer cardViewer = showcase::cardViewer(viewer);
    // A guest's cards depend on nothing but the entry, the settings, the
    // year and (the large card's member row) the member rows: the process
    // keeps those rendered.
    std::shared_ptr<const GuestCache::Pieces> cache;
    if (cardViewer.guest) {
      const bool large = code == 2;
      const std::string database = db::databaseKey({SqlLocalName.str(), SqlUserName.str(), SqlPassword.str(), SqlDatabaseName.str()});
      cache = (large ? showcase::largeCards() : showcase::compactCards())
                  .under({database, large ? data_versions::members(conn, database) : std::nullopt,
                          settings, int(Year(Now()))});
    }
    std::string out;
    if (code == 3) out += kRowOpen;
    for (const long p : picks) {
      const ShowcaseEntry& entry = *candidates[std::size_t(p - 1)];
      const std::string key = std::string(layout) + ":" + entry.id + ":" + width.str() + "x" + height.str();
      if (cache && cache->appendTo(key, out)) continue;
      std::string card;
      if (code == 2) {
        showcase::appendLargeCard(*this, conn, cardViewer, entry, width, height, card);
      } else {
        showcase::appendCompactCard(*this, conn, cardViewer, entry,
                                    code == 1 ? showcase::Layout::Vertical : showcase::Layout::Horizontal, width,
                                    height, card);
      }
      out += card;
      if (cache) cache->put(key, std::move(card));
    }
    if (code == 3) out += kRowClose;
    result = out;
  });
}

}  // namespace zurvafun
