#include "site/photo_upload.h"

#include <openssl/evp.h>

#include <fstream>
#include <optional>

#include "framework/html.h"
#include "framework/numbers.h"
#include "framework/site_settings.h"
#include "framework/zurva.h"
#include "site/jpeg_picture.h"

namespace zurvafun::site {

namespace {

namespace fs = std::filesystem;

constexpr html::Fragment kUploadForm = R"(    <p>{{note}}</p>
    <form name="upload" method="post" action="{{action}}" onsubmit="return readPhoto(this);">
      <input type="file" id="photofile" accept="image/jpeg">
      <input type="hidden" name="photodata" value="">
      <input type="submit" value="{{button}}">
    </form>
    <script type="text/javascript">
    function readPhoto(form) {
      var file = document.getElementById('photofile').files[0];
      if (!file) { alert('请选择照片！'); return false; }
      var reader = new FileReader();
      reader.onload = function () {
        form.photodata.value = reader.result.substring(reader.result.indexOf(',') + 1);
        form.submit();
      };
      reader.readAsDataURL(file);
      return false;
    }
    </script>
)";

// The bytes of base64 text (blanks and line breaks skipped); std::nullopt
// when it is not base64.
std::optional<std::string> base64Bytes(std::string_view text) {
  std::string clean;
  for (char c : text)
    if (c != ' ' && c != '\r' && c != '\n' && c != '\t') clean += c;
  if (clean.empty() || clean.size() % 4 != 0) return std::nullopt;
  std::string bytes(clean.size() / 4 * 3, '\0');
  const int n =
      EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data()),
                      reinterpret_cast<const unsigned char*>(clean.data()), int(clean.size()));
  if (n < 0) return std::nullopt;
  std::size_t padding = 0;
  while (padding < 2 && clean[clean.size() - 1 - padding] == '=') ++padding;
  bytes.resize(std::size_t(n) - padding);
  return bytes;
}

}  // namespace

long siteNumber(const serve::PageContext& p, long index, long fallback) {
  try {
    const std::optional<std::int32_t> n =
        numbers::digits(Variant(siteSettings(p.Application)->baseInfo(index)));
    return n.value_or(fallback);
  } catch (const std::exception&) {
    return fallback;
  }
}

long pictureLimitKb(const serve::PageContext& p) { return siteNumber(p, 17, 200); }

std::string uploadForm(std::string_view action, std::string_view note, std::string_view button) {
  return kUploadForm({{"note", note}, {"action", action}, {"button", button}}).str();
}

std::string postedPicture(zurva& z, serve::PageContext& p) {
  const long limitKb = pictureLimitKb(p);
  const std::optional<std::string> bytes = base64Bytes(p.Request.Form("photodata").str());
  if (!bytes) z.Msg("只能上传 JPEG 格式的照片！", "-1", 1);
  if (long(bytes->size()) > limitKb * 1024)
    z.Msg("照片不能大于" + std::to_string(limitKb) + "K！", "-1", 1);
  // The whole picture is decoded: a file that only looks like a JPEG at its
  // ends is refused.
  switch (checkJpeg(*bytes).result) {
    case JpegCheck::Result::Picture: break;
    case JpegCheck::Result::TooLarge: z.Msg("照片的尺寸太大，请缩小后再上传！", "-1", 1); break;
    case JpegCheck::Result::NotAPicture: z.Msg("只能上传 JPEG 格式的照片！", "-1", 1); break;
  }
  return *bytes;
}

void writePictureFile(const fs::path& file, std::string_view bytes) {
  fs::create_directories(file.parent_path());
  const fs::path passing = file.parent_path() / ("." + file.filename().string() + ".part");
  {
    std::ofstream out(passing, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + passing.string());
  }
  fs::rename(passing, file);
}

}  // namespace zurvafun::site
