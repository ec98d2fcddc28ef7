// Still pictures: the engine's packed GRA format, JPEG, and the lookup of a picture by name in
// the JPEG archive and the three picture archives. Decoders never trust what they read: a
// picture that does not hold together is refused and the caller's bitmap is left as it was.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "graphics/surface.h"

namespace zorvel {

class ArchiveSet;

constexpr size_t kGraHeaderSize = 16;
// Flags of a GRA header: the LZ output is expanded by a run-length stage; each channel is stored
// as differences from the previous pixel's.
constexpr uint8_t kGraRunLength = 0x40;
constexpr uint8_t kGraDelta = 0x80;
// Pictures are screen-sized; a side past this is damage, not art.
constexpr int kMaxGraSide = 4096;

struct GraHeader {
  uint8_t flags = 0;
  uint8_t bytesPerPixel = 0;
  uint32_t packedLength = 0;
  uint32_t intermediateLength = 0;
  uint16_t width = 0;
  uint16_t height = 0;

  size_t UnpackedLength() const { return size_t{width} * height * 3; }
};

// Reads and checks the 16-byte header (bytes per pixel, sides, and that `bytes` holds the whole
// packed stream it announces).
bool ReadGraHeader(std::span<const uint8_t> bytes, GraHeader& header, std::string* error);
// "lz", "lz+rle", "lz+delta" or "lz+rle+delta".
std::string GraCodingName(uint8_t flags);

// Decodes the GRA picture at the start of `bytes` into `out`, which takes the picture's size.
// On false `out` is untouched and `error` (when given) says why.
bool DecodeGraPicture(std::span<const uint8_t> bytes, Surface& out, std::string* error);

// The packed form of a picture given as rows of width × 3 bytes (blue, green, red) with no
// padding. Every coding (with and without the run-length stage and the delta filter) is tried
// and the smallest kept. Empty when a side is 0 or above kMaxGraSide.
std::vector<uint8_t> EncodeGraPicture(std::span<const uint8_t> pixels, int width, int height);
std::vector<uint8_t> EncodeGraPicture(const Surface& picture);

// Decodes a baseline or progressive JPEG (colour or grey) at full size into `out` as 24-bit BGR.
// A JPEG that is damaged or cut short is refused; `out` is then untouched.
bool DecodeJpeg(std::span<const uint8_t> bytes, Surface& out, std::string* error);
// Reads only the JPEG's header.
bool ReadJpegSize(std::span<const uint8_t> bytes, int& width, int& height, std::string* error);

// Finds pictures by name: the JPEG archive first, then picture archives 3, 2 and 1.
class PictureLoader {
 public:
  explicit PictureLoader(const ArchiveSet& archives) : archives_(archives) {}

  // Decodes the named picture into `bitmap`, which takes the picture's size. False when no
  // archive holds the name or the picture cannot be decoded (said in the log); `bitmap` is then
  // left exactly as it was.
  bool LoadPicture(const char* name, Surface& bitmap);
  bool PictureExists(const char* name) const;

 private:
  const ArchiveSet& archives_;
  // The entry being decoded, emptied before and after each picture so that no picture's bytes
  // stay in memory once it is shown.
  std::vector<uint8_t> entryBytes_;
};

}  // namespace zorvel
