// Still pictures: the engine's packed GRA format, JPEG, and the lookup of a picture by name in
// the JPEG archive and the three picture archives. Decoders never trust what they read: a
// picture that does not hold together is refused and the caller's bitmap is left as it was.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "graphics/surface.h"

namespace zorvel {

class ArchiveSet;
class ResourceArchive;

constexpr size_t kGraHeaderSize = 16;
// Flags of a GRA header: the LZ output is expanded by a run-length stage; each channel is stored
// as differences from the previous pixel's.
constexpr uint8_t kGraRunLength = 0x40;
constexpr uint8_t kGraDelta = 0x80;
// Most pictures are screen-sized, but `scroll` and the staff rolls show tall strips (800 ×
// 16,384 and more). Past either limit a header is damage, not art, and asks for memory the
// engine should not give it.
constexpr int kMaxPictureSide = 16384;
constexpr uint64_t kMaxPicturePixels = uint64_t{4096} * 4096;
// Every intermediate byte of a run-length stage makes at least a third of a picture byte (a run
// of one byte costs three); more than that for the largest picture is not a picture.
constexpr uint64_t kMaxGraIntermediate = 3 * 3 * kMaxPicturePixels;

// Whether a decoded picture of this size is shown at all.
constexpr bool PictureSizeUsable(uint64_t width, uint64_t height) {
  return width > 0 && height > 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
         width * height <= kMaxPicturePixels;
}

struct GraHeader {
  uint8_t flags = 0;
  uint8_t bytesPerPixel = 0;
  uint32_t packedLength = 0;
  uint32_t intermediateLength = 0;
  uint16_t width = 0;
  uint16_t height = 0;

  size_t UnpackedLength() const { return size_t{width} * height * 3; }
  // Output length of the LZ stage.
  size_t LzLength() const {
    return flags & kGraRunLength ? size_t{intermediateLength} : UnpackedLength();
  }
  // The packed bytes the decoder may read: the header's packed length, but never more than
  // the LZ stage can take for its output (every item a literal, a control byte per eight), so
  // that a damaged length costs no memory.
  size_t StreamLength() const {
    return std::min<size_t>(packedLength, LzLength() + LzLength() / 8 + 2);
  }
};

// Reads and checks the 16-byte header's fields (bytes per pixel, size, intermediate length).
// The packed stream after it may be shorter than announced: it is used as far as it goes.
bool ReadGraHeader(std::span<const uint8_t> bytes, GraHeader& header, std::string* error);
// "lz", "lz+rle", "lz+delta" or "lz+rle+delta".
std::string GraCodingName(uint8_t flags);

// Decodes the GRA picture at the start of `bytes` into `out`, which takes the picture's size.
// On false `out` is untouched and `error` (when given) says why.
bool DecodeGraPicture(std::span<const uint8_t> bytes, Surface& out, std::string* error);

// The packed form of a picture given as rows of width × 3 bytes (blue, green, red) with no
// padding. Every coding (with and without the run-length stage and the delta filter) is tried
// and the smallest kept. Empty when the size is not PictureSizeUsable.
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
  // Reads a GRA picture's header and packed stream into entryBytes_.
  bool ReadGraEntry(const ResourceArchive& archive, int entry, std::string* error);

  // Pictures decoded lately, the latest last. Scenes show the same backgrounds and characters
  // again and again; a kept picture shares its pixels with whoever loads it until one side
  // draws on them.
  struct KeptPicture {
    const ResourceArchive* archive;
    int entry;
    Surface picture;
  };
  static constexpr size_t kKeptBytes = size_t{24} << 20;
  std::vector<KeptPicture> kept_;

  const ArchiveSet& archives_;
  // The entry being decoded, emptied before and after each picture so that no picture's bytes
  // stay in memory once it is shown.
  std::vector<uint8_t> entryBytes_;
};

}  // namespace zorvel
