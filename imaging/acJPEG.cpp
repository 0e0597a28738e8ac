#include "imaging/acJPEG.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>

// jpeglib.h expects size_t and FILE to be declared before it.
#include <jpeglib.h>
#include <jerror.h>

namespace evesk {

namespace {

struct TJpegError {
  jpeg_error_mgr Pub;
  std::jmp_buf Jump;
  char Message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr info) {
  TJpegError* err = reinterpret_cast<TJpegError*>(info->err);
  err->Pub.format_message(info, err->Message);
  std::longjmp(err->Jump, 1);
}

// Warnings are not printed. Those that say the compressed data ran out or broke off are
// fatal: libjpeg would go on making up rows to the claimed size, so a tiny damaged file could
// cost the work of a huge picture, and the picture would be wrong anyway.
void OutputMessage(j_common_ptr) {}
void EmitMessage(j_common_ptr info, int level) {
  if (level >= 0) return;
  const int code = info->err->msg_code;
  if (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER || code == JWRN_MUST_RESYNC || code == JWRN_NOT_SEQUENTIAL)
    ErrorExit(info);
}

// Everything libjpeg touches lives in plain structures of the caller, so the jump back from
// ErrorExit skips no destructor. Returns false with the message in err.
bool Decode(const std::uint8_t* data, std::size_t size, TBitmap& bitmap, jpeg_decompress_struct& cinfo,
            TJpegError& err, const char*& failure) {
  cinfo.err = jpeg_std_error(&err.Pub);
  err.Pub.error_exit = ErrorExit;
  err.Pub.output_message = OutputMessage;
  err.Pub.emit_message = EmitMessage;
  err.Message[0] = '\0';
  failure = nullptr;
  if (setjmp(err.Jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(&cinfo, TRUE);
  if (cinfo.image_width == 0 || cinfo.image_height == 0 || cinfo.image_width > MaxJPEGSide ||
      cinfo.image_height > MaxJPEGSide ||
      std::int64_t{cinfo.image_width} * cinfo.image_height > MaxJPEGPixels) {
    failure = "image too large";
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  // libjpeg turns YCbCr, grey and CMYK sources into RGB rows for us, except CMYK.
  if (cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK) cinfo.out_color_space = JCS_CMYK;
  else cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  const int width = static_cast<int>(cinfo.output_width), height = static_cast<int>(cinfo.output_height);
  const int components = cinfo.output_components;
  if (!bitmap.SetSize(width, height, TPixelFormat::pf24bit)) {
    failure = "cannot allocate the image";
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                              static_cast<JDIMENSION>(width * components), 1);
  while (cinfo.output_scanline < cinfo.output_height) {
    const int y = static_cast<int>(cinfo.output_scanline);
    if (jpeg_read_scanlines(&cinfo, row, 1) != 1) break;
    std::uint8_t* dst = bitmap.ScanLine(y);
    const JSAMPLE* src = row[0];
    for (int x = 0; x < width; ++x, src += components) {
      if (components == 4) {  // Adobe files store CMYK inverted
        dst[x * 3] = static_cast<std::uint8_t>(src[2] * src[3] / 255);
        dst[x * 3 + 1] = static_cast<std::uint8_t>(src[1] * src[3] / 255);
        dst[x * 3 + 2] = static_cast<std::uint8_t>(src[0] * src[3] / 255);
      } else if (components == 3) {
        dst[x * 3] = src[2], dst[x * 3 + 1] = src[1], dst[x * 3 + 2] = src[0];
      } else {
        dst[x * 3] = dst[x * 3 + 1] = dst[x * 3 + 2] = src[0];
      }
    }
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

}  // namespace

void LoadJPEG(const std::uint8_t* data, std::size_t size, TBitmap& bitmap) {
  bitmap.SetSize(0, 0, TPixelFormat::pf24bit);
  if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) throw EInvalidGraphic("Invalid JPEG image: no start marker");
  jpeg_decompress_struct cinfo;
  TJpegError err;
  std::memset(&cinfo, 0, sizeof cinfo);
  const char* failure = nullptr;
  if (!Decode(data, size, bitmap, cinfo, err, failure)) {
    bitmap.SetSize(0, 0, TPixelFormat::pf24bit);
    throw EInvalidGraphic(std::string("Invalid JPEG image: ") + (failure ? failure : err.Message));
  }
}

}  // namespace evesk
