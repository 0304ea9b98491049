// What an uploaded file must be to enter an album: a JPEG picture. The
// whole file is decoded (libjpeg): its header with the picture's dimensions,
// then every line, so that a file that only begins and ends like a JPEG (a
// page of text between the first and the last bytes) is refused.
#pragma once

#include <string_view>

namespace zurvafun::site {

// The largest picture taken: each side, and its pixels in all.
inline constexpr int kMaxPictureSide = 10000;
inline constexpr long kMaxPicturePixels = 40'000'000;

struct JpegCheck {
  enum class Result {
    Picture,      // a JPEG that decodes whole, without a fault
    NotAPicture,  // anything else
    TooLarge,     // a JPEG header beyond the largest picture taken
  };
  Result result = Result::NotAPicture;
  int width = 0;  // the dimensions its header gives (Picture, TooLarge)
  int height = 0;
};

JpegCheck checkJpeg(std::string_view bytes);

}  // namespace zurvafun::site
