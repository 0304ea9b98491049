// The upload's picture check: a JPEG that decodes whole is a picture, with
// the dimensions of its header; anything that only looks like one is not.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "site/jpeg_picture.h"

namespace zurvafun::site {
namespace {

std::string demoPicture() {
  std::ifstream in(ZURVA_SOURCE_DIR "/site/www/images/demo/portrait1.jpg", std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// The demo picture with its frame header (SOF0 or SOF2) giving other dimensions.
std::string withDimensions(std::string jpeg, int width, int height) {
  for (size_t i = 2; i + 9 < jpeg.size(); ++i) {
    const auto marker = static_cast<unsigned char>(jpeg[i + 1]);
    if (jpeg[i] == '\xFF' && (marker == 0xC0 || marker == 0xC2)) {
      jpeg[i + 5] = char(height >> 8);
      jpeg[i + 6] = char(height & 0xFF);
      jpeg[i + 7] = char(width >> 8);
      jpeg[i + 8] = char(width & 0xFF);
      return jpeg;
    }
  }
  ADD_FAILURE() << "no frame header";
  return jpeg;
}

TEST(JpegPicture, APictureDecodesWithTheDimensionsOfItsHeader) {
  const JpegCheck check = checkJpeg(demoPicture());
  EXPECT_EQ(check.result, JpegCheck::Result::Picture);
  EXPECT_GT(check.width, 0);
  EXPECT_GT(check.height, 0);
}

TEST(JpegPicture, WhatOnlyLooksLikeAJpegIsNoPicture) {
  const std::string jpeg = demoPicture();
  const std::string page = "<html><script>alert(document.cookie)</script></html>";
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"nothing", ""},
      {"a page between the JPEG's first three and last two bytes",
       "\xFF\xD8\xFF" + page + "\xFF\xD9"},
      {"the picture cut short", jpeg.substr(0, jpeg.size() / 2)},
      {"the header alone", jpeg.substr(0, 200)},
      {"the picture's data overwritten by a page",
       jpeg.substr(0, jpeg.size() - page.size() - 2) + page + "\xFF\xD9"},
      {"a frame of no pixels", withDimensions(jpeg, 0, 0)},
      {"a PNG", std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR\0\0\0\x10\0\0\0\x10\x08\x02\0\0\0", 29)},
      {"a GIF",
       "GIF89a\x10\0\x10\0\x80\0\0\xFF\xFF\xFF\0\0\0,\0\0\0\0\x10\0\x10\0\0\x02\x02\x44\x01\0;"},
      {"text", page},
  };
  for (const auto& c : cases)
    EXPECT_EQ(checkJpeg(c.bytes).result, JpegCheck::Result::NotAPicture) << c.what;
}

TEST(JpegPicture, AHeaderBeyondTheLargestPictureIsRefusedBeforeDecoding) {
  const std::string jpeg = demoPicture();
  for (const auto& [width, height] : {std::pair{kMaxPictureSide + 1, 10}, std::pair{10, 65000},
                                      std::pair{kMaxPictureSide, kMaxPictureSide}}) {
    const JpegCheck check = checkJpeg(withDimensions(jpeg, width, height));
    EXPECT_EQ(check.result, JpegCheck::Result::TooLarge) << width << "x" << height;
    EXPECT_EQ(check.width, width);
    EXPECT_EQ(check.height, height);
  }
}

}  // namespace
}  // namespace zurvafun::site
