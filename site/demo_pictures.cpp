// The demo members' picture files (see site/member_pages.h).
#include <filesystem>
#include <string>

#include "db/db.h"
#include "framework/sql.h"
#include "model/member_record.h"
#include "site/member_pages.h"

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

void writePictures(const db::ConnectionParams& params, const fs::path& root) {
  db::Connection conn;
  if (!conn.Open(params)) return;
  for (const char* folder : {"up_article", "mup_article", "smallphoto"}) fs::create_directories(root / folder);
  db::Recordset rs =
      conn.Execute(sql::statement("select userid, photo, smallphoto from zurva_user where "
                                  "userid<={} and (photo is not null or smallphoto is not null)",
                                  kDemoPictureMembers));
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

void writeDemoPictures(const std::string& documentRoot, const db::ConnectionParams& params) {
  try {
    writePictures(params, documentRoot);
  } catch (const std::exception&) {
    // The pages still work; they show placeholders where files are missing.
  }
}

}  // namespace zurvafun::site
