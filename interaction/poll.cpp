// The poll box: the active poll of table vote with up to eight options, a
// vote button that posts the choice to the site's vote page in the window
// "newwindow", and a results button that opens the results in a pop-up. The
// poll's texts are written by the site's administrators and are written as
// they stand.
#include <memory>
#include <optional>
#include <string>

#include "db/db.h"
#include "framework/data_versions.h"
#include "framework/html.h"
#include "framework/links.h"
#include "framework/shared_copy.h"
#include "framework/site_settings.h"
#include "framework/zurva.h"
#include "runtime/kept.h"

namespace zurvafun {

namespace {

using html::trusted;

constexpr int kOptions = 8;

constexpr html::Fragment kBoxHead =
    "<table width='96%' border='0' cellspacing='0' cellpadding='3' align='center'>"
    "<form action='{{action}}' target='newwindow' method='post' name='submitvote'><tr><td>"
    "<table width='100%' border='0' cellspacing='0' cellpadding='0' align='center'>";

constexpr std::string_view kNoPoll = "<tr><td width='100%' align='center' height='50'>暂时没有投票</td></tr>";

constexpr html::Fragment kTitle = "<tr><td width='100%' align='center' height='30'>{{title}}</td></tr>";

constexpr html::Fragment kOption =
    "<tr><td valign=top width='100%' height='18'><input style='border:0'{{checked}} name='Options' "
    "type='radio' value={{number}}>{{number}}.{{text}}</td></tr>";

constexpr html::Fragment kBoxEnd =
    "</table></td></tr><tr><td width='100%' height='30' align='center'>"
    "<input type='submit' name='submit' value='投票' style='cursor:hand' class='wenbenkuang1'>&nbsp; "
    "<input type='button' value='投票结果' onClick='openwin()' class='wenbenkuang1'>"
    "</td></tr></form></table>"
    "<script>function openwin(){window.open('{{results}}','','width=400,height=200,top=0,left=0, "
    "toolbar=no, menubar=no, scrollbars=no, resizable=no,location=no, status=no');} </script>";

// The box made last and what it was made from. It depends on nothing but the
// active poll and the site's link mode: one box serves every page of the
// process while the polls (framework/data_versions.h) and the settings stand.
struct KeptBox {
  std::string database;
  data_versions::Stamp polls;
  std::shared_ptr<const SiteSettings> settings;
  std::string box;
};

SharedCopy<KeptBox>& keptBox() {
  static kept::InProcess<SharedCopy<KeptBox>> box;
  return box;
}

}  // namespace

Variant zurva::d_vote(const Variant& SqlLocalName, const Variant& SqlUserName,
                      const Variant& SqlPassword, const Variant& SqlDatabaseName) {
  return logged([&](Variant& result) {
    db::Connection conn;
    // The box's place on the page shows the connection error instead.
    if (!openOrAnswer(conn, result, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName))
      return;
    trapOff([&] {
      const std::string database = db::databaseKey({SqlLocalName.str(), SqlUserName.str(), SqlPassword.str(), SqlDatabaseName.str()});
      const std::optional<data_versions::Stamp> polls = data_versions::polls(conn, database);
      const std::shared_ptr<const SiteSettings> settings = siteSettings(Application());
      if (const std::shared_ptr<const KeptBox> kept = keptBox().get();
          polls && kept && kept->database == database && kept->polls == *polls &&
          kept->settings == settings) {
        result = kept->box;
        return;
      }
      std::string box = kBoxHead({{"action", unescapedSiteLink(*this, "vote.html")}}).str();
      // Several active polls: the oldest one.
      db::Recordset poll = conn.Execute("SELECT * FROM [vote] where IsChecked=1 order by id");
      if (poll.eof()) {
        box += kNoPoll;
      } else {
        kTitle.appendTo(box, {{"title", trusted(poll("Title"))}});
        for (int i = 1; i <= kOptions; ++i) {
          const Variant option = poll("Select" + std::to_string(i));
          if (option.str().empty()) continue;  // empty or Null: no such option
          kOption.appendTo(box, {{"checked", trusted(i == 1 ? "checked" : "")},
                                 {"number", i},
                                 {"text", trusted(option)}});
        }
      }
      kBoxEnd.appendTo(box, {{"results", unescapedSiteLink(*this, "vote.asp?stype=view")}});
      if (polls)
        keptBox().set(std::make_shared<const KeptBox>(KeptBox{database, *polls, settings, box}));
      result = box;
    });
  });
}

}  // namespace zurvafun
