// The member gallery of the home page and of the province and city pages:
// eight members with an approved head photo, those placed on the page by
// payment first, the others a window below a member number drawn at random,
// as four rows of two cards.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "db/db.h"
#include "framework/data_versions.h"
#include "framework/escape.h"
#include "framework/site_settings.h"
#include "framework/sql.h"
#include "framework/viewer.h"
#include "framework/zurva.h"
#include "helpers/region_menu_texts.h"
#include "runtime/dates.h"
#include "runtime/error.h"
#include "runtime/text.h"
#include "showcase/gallery_card.h"
#include "showcase/gallery_pool.h"
#include "showcase/guest_cards.h"
#include "showcase/showcase_list.h"

namespace zurvafun {

namespace {

constexpr std::size_t kGallerySize = 8;
constexpr std::string_view kNoMembers = "<BR><BR>....暂时没有数据!....<br>";
constexpr std::string_view kTableOpen = R"(<table width="100%" border="0" cellspacing="0" cellpadding="0">)";

// The region a province or city page stands for.
struct Region {
  std::string province;
  std::string city;  // "" for a whole province
};


// The region condition on the residence, item 5 of userdata, compared whole:
// the text from the "#" that ends the native region (item 4 starts at the
// 13th character) must begin with "#province-city#", or "#province-" for a
// whole province.
sql::Statement regionCondition(const Region& region) {
  if (region.province.empty()) return sql::verbatim("");
  const std::string item = "#" + sql::likeLiteral(region.province) + "-" +
                           (region.city.empty() ? "" : sql::likeLiteral(region.city) + "#");
  return sql::statement(" and SUBSTRING(userdata,CHARINDEX('#',userdata,13),255) like '{}%'", sql::text(item));
}

// The cards of the gallery's members: a guest's from the process's cache
// where they were rendered before under the same member rows, settings and
// year, the others from their rows, read in one query.
class GalleryCards {
 public:
  GalleryCards(db::Connection& conn, std::shared_ptr<const GuestCache::Pieces> cache,
               const Variant& width, const Variant& height)
      : conn_(conn), cache_(std::move(cache)), width_(width), height_(height) {}

  // The members of `ids` that exist, in order: those with a card kept (the
  // member rows have not changed since), and those whose row is read now.
  std::vector<std::int32_t> existing(const std::vector<std::int32_t>& ids) {
    std::vector<std::int32_t> unknown;
    for (const std::int32_t id : ids) {
      if (!kept(id, showcase::Side::Left) && !kept(id, showcase::Side::Right)) unknown.push_back(id);
    }
    read(unknown);
    std::vector<std::int32_t> members;
    for (const std::int32_t id : ids) {
      if (rows_.contains(id) || kept(id, showcase::Side::Left) || kept(id, showcase::Side::Right))
        members.push_back(id);
    }
    return members;
  }

  void append(zurva& z, const showcase::CardViewer& viewer, std::int32_t id, showcase::Side side,
              std::string& out) {
    if (cache_ && cache_->appendTo(key(id, side), out)) return;
    if (!rows_.contains(id)) read({id});  // kept for the other side only
    const auto row = rows_.find(id);
    std::string card;
    showcase::appendGalleryCard(z, conn_, viewer, row == rows_.end() ? nullptr : &row->second, side, width_,
                                height_, card);
    out += card;
    if (cache_) cache_->put(key(id, side), std::move(card));
  }

 private:
  std::string key(std::int32_t id, showcase::Side side) const {
    return std::string(side == showcase::Side::Left ? "gallery-left:" : "gallery-right:") + std::to_string(id) +
           ":" + width_.str() + "x" + height_.str();
  }
  bool kept(std::int32_t id, showcase::Side side) const {
    return cache_ && cache_->contains(key(id, side));
  }
  void read(const std::vector<std::int32_t>& ids) {
    if (ids.empty()) return;
    for (db::Recordset rs = conn_.Execute(sql::statement("select {} from zurva_user where userid in ({})",
                                                         sql::verbatim(showcase::kGalleryColumns),
                                                         sql::numberList(ids)));
         !rs.eof(); rs.MoveNext()) {
      rows_.emplace(CLng(rs(0)), showcase::GalleryMember::read(rs));
    }
  }

  db::Connection& conn_;
  std::shared_ptr<const GuestCache::Pieces> cache_;
  const Variant& width_;
  const Variant& height_;
  std::unordered_map<std::int32_t, showcase::GalleryMember> rows_;
};

}  // namespace

Variant zurva::mainshow(const Variant& SqlLocalName, const Variant& SqlUserName,
                        const Variant& SqlPassword, const Variant& SqlDatabaseName,
                        const Variant& city, const Variant& city1, const Variant& width,
                        const Variant& height) {
  return logged([&](Variant& result) {
    db::Connection conn;
    if (!openOrAnswer(conn, result, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName))
      return;
    trapOff([&] {
      std::string out = "    ";

      // The province by its index among the menu's provinces, the city by its
      // index among the province's entries (an entry "||||" is the whole
      // province).
      Region region;
      const std::string database = db::databaseKey({SqlLocalName.str(), SqlUserName.str(), SqlPassword.str(), SqlDatabaseName.str()});
      if (!city.str().empty() || !city1.str().empty()) {
        // The settings row's maincitymenu, read again only when the row has changed.
        const std::shared_ptr<const regions::MenuTexts> menu = regions::menuTexts(conn, database);
        const std::vector<std::vector<std::string>>& entries = menu->mainRecords;
        // A record without its province field fails as reading the field does.
        if (!menu->mainComplete) raise(err::SubscriptOutOfRange);
        const std::vector<std::string>& provinces = menu->mainProvinces;
        const std::optional<std::int32_t> p = numbers::digits(city);
        const std::optional<std::int32_t> c = numbers::digits(city1);
        if (!p || *p < 0 || *p >= std::int32_t(provinces.size()) || !c) {
          Msg("参数错误！", -1, 2);
          return;
        }
        region.province = provinces[std::size_t(*p)];
        std::int32_t ordinal = 0;
        for (const std::vector<std::string>& entry : entries) {
          if (item(entry, 1) != region.province) continue;
          if (ordinal++ == *c) region.city = item(entry, 0) == "||||" ? "" : item(entry, 2);
        }
      }

      // Placed members of the page and their ranking money.
      const bool home = region.province.empty();
      const sql::Statement placed =
          home ? sql::verbatim("maincity='#'")
               : sql::statement("nextcity='{}'", sql::text(region.province + "#" + region.city));
      const sql::Statement money =
          home ? sql::verbatim("citymoney") : sql::verbatim("nextcitymoney");
      const sql::Statement candidates = sql::statement(
          "select userid,{},case when {} then 1 else 0 end from zurva_user where ok=1{}"
          " and smallphoto like 'smallphoto%.jpg1' and ifclose=0 and ifdel=0 and iferro=0",
          money, placed, regionCondition(region));
      const std::optional<data_versions::Stamp> memberRows = data_versions::members(conn, database);
      const auto pool = showcase::GalleryPools::process().pool(
          conn, {SqlLocalName.str(), SqlUserName.str(), SqlPassword.str(), SqlDatabaseName.str()},
          database, memberRows, candidates);

      if (pool->count() == 0) {
        result = out + std::string(kNoMembers) + "    ";
        return;
      }
      // Nine candidates or more: a random window whose upper bound lies
      // between the ninth-lowest and the highest member number, so that the
      // gallery is always full.
      std::int32_t pick = pool->top();
      if (pool->count() > std::int32_t(kGallerySize)) {
        Variant none = "";
        pick = CLng(shuiji(pool->top(), pool->bound(), none));
      }

      const showcase::CardViewer viewer = showcase::cardViewer(Viewer(Request()));
      GalleryCards cards(
          conn,
          viewer.guest ? showcase::galleryCards().under(
                             {database, memberRows, siteSettings(Application()), int(Year(Now()))})
                       : nullptr,
          width, height);
      const std::vector<std::int32_t> members = cards.existing(pool->window(pick, kGallerySize));

      out += kTableOpen;
      if (members.empty()) {
        // The members went between the two queries.
        out += htmlEscape(city1.str()) + "<BR><BR>暂时没有数据!....<br>";
      } else {
        std::size_t next = 0;
        const auto card = [&](showcase::Side side) {
          out += R"(<td width="50%">)";
          if (next < members.size()) {
            cards.append(*this, viewer, members[next++], side, out);
          } else {
            showcase::appendGalleryCard(*this, conn, viewer, nullptr, side, width, height, out);
          }
          out += "</td>";
        };
        for (std::size_t row = 0; row < kGallerySize / 2; ++row) {
          out += "<tr>";
          card(showcase::Side::Left);
          card(showcase::Side::Right);
          out += "     </tr>";
        }
      }
      out += "    </table>    ";
      result = std::move(out);
    });
  });
}

}  // namespace zurvafun
