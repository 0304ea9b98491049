// What the photo pages share about a picture a member sends: the upload form
// (the browser reads the file and posts it as base64 text in "photodata"),
// the checks of what arrives (a whole JPEG within the site's size limit),
// and the writing of a picture file where the pages load it.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "host/serve/pages.h"

namespace zurvafun {
class zurva;
}

namespace zurvafun::site {

// A site setting of zurva_base_info as a whole number, or `fallback`.
long siteNumber(const serve::PageContext& p, long index, long fallback);

// The largest picture taken, in KB (site setting 17).
long pictureLimitKb(const serve::PageContext& p);

// The upload form, posting to `action` (which carries "act=upload": for such
// a request the input filter leaves the form's values alone, so that words
// turning up by chance in the base64 text are never taken for SQL), with the
// text `note` above it and the button `button`.
std::string uploadForm(std::string_view action, std::string_view note, std::string_view button);

// The bytes of the posted picture. A post without one, or with anything but
// a whole JPEG of at most pictureLimitKb, ends the request with its message.
std::string postedPicture(zurva& z, serve::PageContext& p);

// Writes `bytes` as `file` (its folder made when missing) under a passing
// name first, so that a reader never gets half a picture.
void writePictureFile(const std::filesystem::path& file, std::string_view bytes);

}  // namespace zurvafun::site
