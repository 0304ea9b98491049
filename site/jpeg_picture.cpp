#include "site/jpeg_picture.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace zurvafun::site {

namespace {

// Memory the decoder may take for one picture (a progressive JPEG keeps all
// its coefficients): beyond it the decoding fails.
constexpr long kMaxDecoderMemory = 100L * 1024 * 1024;

// libjpeg's error handling: an error jumps back to checkJpeg, a warning
// (corrupt data the decoder skips over) is counted, nothing is printed.
struct Errors {
  jpeg_error_mgr manager;
  std::jmp_buf back;
  int warnings;
};

void jumpBack(j_common_ptr info) { std::longjmp(reinterpret_cast<Errors*>(info->err)->back, 1); }

void countWarning(j_common_ptr info, int level) {
  if (level < 0) ++reinterpret_cast<Errors*>(info->err)->warnings;
}

void printNothing(j_common_ptr) {}

}  // namespace

// Only plain C objects live in this function: libjpeg's errors leave it
// by longjmp.
JpegCheck checkJpeg(std::string_view bytes) {
  jpeg_decompress_struct info{};
  Errors errors{};
  info.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = jumpBack;
  errors.manager.emit_message = countWarning;
  errors.manager.output_message = printNothing;
  if (setjmp(errors.back)) {
    jpeg_destroy_decompress(&info);
    return {};
  }
  jpeg_create_decompress(&info);
  info.mem->max_memory_to_use = kMaxDecoderMemory;
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()),
               static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&info, TRUE);
  const JpegCheck header{JpegCheck::Result::TooLarge, static_cast<int>(info.image_width),
                         static_cast<int>(info.image_height)};
  if (header.width > kMaxPictureSide || header.height > kMaxPictureSide ||
      long(header.width) * header.height > kMaxPicturePixels) {
    jpeg_destroy_decompress(&info);
    return header;
  }
  // Every coefficient is decoded; the lines come out an eighth of the size,
  // which is all a check needs.
  info.scale_num = 1;
  info.scale_denom = 8;
  info.dct_method = JDCT_IFAST;
  jpeg_start_decompress(&info);
  JSAMPARRAY line = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                              info.output_width * info.output_components, 1);
  while (info.output_scanline < info.output_height) jpeg_read_scanlines(&info, line, 1);
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  if (errors.warnings > 0) return {};
  return {JpegCheck::Result::Picture, header.width, header.height};
}

}  // namespace zurvafun::site
