// The demo members' picture files (see site/profile_pages.h).
#include <filesystem>
#include <mutex>
#include <set>
#include <string>

#include "db/db.h"
#include "profile/member_record.h"
#include "site/profile_pages.h"

namespace zurvafun::site {

namespace {

namespace fs = std::filesystem;

constexpr int kPortraits = 6;

// A plain file name: the stored names of the demo data are, and nothing else
// is written.
bool plainName(const std::string& name) {
  return !name.empty() && name.find_first_of("/\\:") == std::string::npos && name.find("..") == std::string::npos;
}

void place(const fs::path& portrait, const fs::path& file) {
  std::error_code error;
  if (fs::exists(file, error)) return;
  fs::create_hard_link(portrait, file, error);
  if (error) fs::copy_file(portrait, file, fs::copy_options::skip_existing, error);
}

void writePictures(serve::PageContext& p, const fs::path& root) {
  db::Connection conn;
  if (!conn.Open({p.SqlLocalName.str(), p.SqlUserName.str(), p.SqlPassword.str(), p.SqlDatabaseName.str()})) return;
  for (const char* folder : {"up_article", "mup_article", "smallphoto"}) fs::create_directories(root / folder);
  db::Recordset rs = conn.Execute("select userid, photo, smallphoto from zurva_user where userid<=" +
                                  std::to_string(kDemoPictureMembers) +
                                  " and (photo is not null or smallphoto is not null)");
  for (; !rs.eof(); rs.MoveNext()) {
    const long id = CLng(rs("userid"));
    const fs::path portrait = root / "images" / "demo" / ("portrait" + std::to_string(id % kPortraits + 1) + ".jpg");
    if (!fs::exists(portrait)) continue;
    for (const std::string& entry : member::readPhotoList(rs("photo").str())) {
      const std::string name = member::photoFileName(entry);
      if (!plainName(name)) continue;
      place(portrait, root / "up_article" / name);
      place(portrait, root / "mup_article" / name);
    }
    if (!rs("smallphoto").isNull()) place(portrait, root / "smallphoto" / member::headPhotoName(id));
  }
}

}  // namespace

void ensureDemoPictures(serve::PageContext& p) {
  // The first request writes them; the others go on meanwhile (with
  // placeholders where a file is not there yet) instead of waiting.
  static std::mutex mutex;
  static std::set<std::string> started;
  const std::string root = p.Server.documentRoot();
  {
    std::lock_guard lock(mutex);
    if (!started.insert(root).second) return;
  }
  try {
    writePictures(p, root);
  } catch (const std::exception&) {
    // The pages still work; they show placeholders where files are missing.
  }
}

}  // namespace zurvafun::site
