#include "helpers/region_menu_texts.h"

#include <algorithm>

#include "db/db.h"
#include "framework/data_versions.h"
#include "framework/shared_copy.h"
#include "runtime/kept.h"
#include "runtime/text.h"

namespace zurvafun::regions {

namespace {

struct Kept {
  std::string database;
  data_versions::Stamp stamp;
  std::shared_ptr<const MenuTexts> texts;
};

SharedCopy<Kept>& keptTexts() {
  static kept::InProcess<SharedCopy<Kept>> copy;
  return copy;
}

std::shared_ptr<const MenuTexts> read(db::Connection& conn) {
  auto texts = std::make_shared<MenuTexts>();
  db::Recordset rs = conn.Execute("select citymenu,maincitymenu from zurva_system where id=1");
  if (!rs.eof()) {
    texts->row = true;
    texts->citymenu = rs(0).str();
    texts->maincitymenu = rs(1).str();
    for (const std::string& record : Split(texts->maincitymenu, kRecordSeparator)) {
      texts->mainRecords.push_back(Split(record, kFieldSeparator));
      const std::vector<std::string>& fields = texts->mainRecords.back();
      texts->mainComplete = texts->mainComplete && fields.size() > 1;
      const std::string_view province = field(fields, 1);
      if (std::find(texts->mainProvinces.begin(), texts->mainProvinces.end(), province) ==
          texts->mainProvinces.end())
        texts->mainProvinces.emplace_back(province);
    }
  }
  return texts;
}

}  // namespace

std::shared_ptr<const MenuTexts> menuTexts(db::Connection& conn, const std::string& database) {
  const std::optional<data_versions::Stamp> now = data_versions::settingsRow(conn, database);
  if (!now) return read(conn);
  // Read after the stamp: a change made meanwhile moves the stamp past it.
  return keptTexts()
      .getOr([&](const Kept& k) { return k.database == database && k.stamp == *now; },
             [&] {
               return std::make_shared<const Kept>(Kept{database, *now, read(conn)});
             })
      ->texts;
}

}  // namespace zurvafun::regions
