#include "platform/png_reader.h"

#include <png.h>

#include <cstring>
#include <memory>
#include <vector>

namespace zorvel {

namespace {

// Larger pictures are no game art; the limit keeps a damaged header from asking for gigabytes.
constexpr png_uint_32 kMaxSide = 16384;

// The jump out of libpng lands in DecodePng; everything it needs afterwards lives in here.
struct PngSource {
  std::span<const uint8_t> bytes;
  size_t pos = 0;
  std::string message;
};

void ReadBytes(png_structp png, png_bytep data, png_size_t length) {
  auto* src = static_cast<PngSource*>(png_get_io_ptr(png));
  if (length > src->bytes.size() - src->pos) png_error(png, "the PNG data ends too early");
  std::memcpy(data, src->bytes.data() + src->pos, length);
  src->pos += length;
}

void OnError(png_structp png, png_const_charp message) {
  auto* src = static_cast<PngSource*>(png_get_error_ptr(png));
  src->message = message;
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// Decodes 8-bit blue-green-red rows, with alpha (a filler of 255 where the file has none) or
// without, into the rows `rowsFor(width, height)` hands out for the picture's size.
template <typename RowsFor>
bool DecodePng(std::span<const uint8_t> bytes, bool withAlpha, RowsFor&& rowsFor,
               std::string* error) {
  auto src = std::make_unique<PngSource>();
  src->bytes = bytes;
  if (bytes.size() < 8 || png_sig_cmp(bytes.data(), 0, 8) != 0) {
    if (error) *error = "not a PNG file";
    return false;
  }
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, src.get(), OnError, OnWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info) {
    png_destroy_read_struct(&png, &info, nullptr);
    if (error) *error = "out of memory";
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    if (error) *error = src->message;
    return false;
  }
  png_set_read_fn(png, src.get(), ReadBytes);
  png_set_user_limits(png, kMaxSide, kMaxSide);
  png_read_info(png, info);
  png_set_expand(png);
  png_set_strip_16(png);
  if (!withAlpha) png_set_strip_alpha(png);
  png_set_gray_to_rgb(png);
  png_set_bgr(png);
  if (withAlpha) png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_channels(png, info) != (withAlpha ? 4 : 3) || png_get_bit_depth(png, info) != 8) {
    png_error(png, "unsupported PNG colour format");
  }
  png_bytep* rows = rowsFor(static_cast<int>(png_get_image_width(png, info)),
                            static_cast<int>(png_get_image_height(png, info)));
  png_read_image(png, rows);
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

}  // namespace

bool ReadPng(std::span<const uint8_t> bytes, Surface& out, std::string* error) {
  Surface picture;
  std::vector<png_bytep> rows;
  const bool read = DecodePng(
      bytes, false,
      [&](int w, int h) {
        picture.Resize(w, h);
        rows.resize(static_cast<size_t>(h));
        for (int y = 0; y < h; ++y) rows[static_cast<size_t>(y)] = picture.Row(y);
        return rows.data();
      },
      error);
  if (read) out = std::move(picture);
  return read;
}

bool ReadPngArgb(std::span<const uint8_t> bytes, int& width, int& height,
                 std::vector<uint32_t>& argb, std::string* error) {
  std::vector<uint32_t> pixels;
  std::vector<png_bytep> rows;
  int w = 0;
  int h = 0;
  const bool read = DecodePng(
      bytes, true,
      [&](int pw, int ph) {
        w = pw;
        h = ph;
        pixels.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
        rows.resize(static_cast<size_t>(h));
        for (int y = 0; y < h; ++y) {
          rows[static_cast<size_t>(y)] =
              reinterpret_cast<png_bytep>(pixels.data() + static_cast<size_t>(y) * w);
        }
        return rows.data();
      },
      error);
  if (!read) return false;
  // Blue, green, red, alpha in memory: made a 0xAARRGGBB word whatever the byte order.
  for (uint32_t& px : pixels) {
    const auto* b = reinterpret_cast<const uint8_t*>(&px);
    px = static_cast<uint32_t>(b[3]) << 24 | static_cast<uint32_t>(b[2]) << 16 |
         static_cast<uint32_t>(b[1]) << 8 | b[0];
  }
  width = w;
  height = h;
  argb = std::move(pixels);
  return true;
}

}  // namespace zorvel
