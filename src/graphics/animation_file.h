// The animation entry: a header, five tables (kind, x and y of each frame, where its JPEG lies
// and how long it is) and the frames' JPEG files, with an optional sound track in the engine's
// wave format. Readers check every size against the entry before anything is read; the writer
// is what `zorvel-tool anim-build`, the tests and the benchmarks make entries with.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "graphics/surface.h"

namespace zorvel {

constexpr size_t kAnimationHeaderSize = 24;
// Bytes of the five tables for each frame: kind, x, y (2 bytes each), offset and size (4 each).
constexpr size_t kAnimationTableBytesPerFrame = 14;
// A frame's JPEG is read whole into memory: past this it is damage, not a frame (a 1,024 ×
// 1,024 picture at the best quality stays far below it).
constexpr uint32_t kMaxAnimationFrameBytes = 32u << 20;
// Past these an entry is damage: a million frames is days of animation, an hour a frame no
// animation at all, and both keep the tables and the schedule's arithmetic bounded.
constexpr int32_t kMaxAnimationFrames = 1000000;
constexpr int32_t kMaxAnimationPeriod = 3600000;
// Both sides of an `animq` frame lie in 1 … kMaxDoubledSide.
constexpr int kMaxDoubledSide = 1024;
// A sound track from this size on is streamed, below it played from memory.
constexpr uint32_t kAnimationStreamThreshold = 4000000;

enum AnimationFrameKind : int16_t { kWholeFrame = 0, kPatchFrame = 1, kHoldFrame = 2 };

struct AnimationFrame {
  int16_t kind = kWholeFrame;
  int16_t x = 0;
  int16_t y = 0;
  uint32_t offset = 0;
  uint32_t size = 0;
};

struct AnimationEntry {
  int32_t frameCount = 0;
  int32_t period = 0;
  int32_t width = 0;
  int32_t height = 0;
  uint32_t soundSize = 0;
  uint32_t soundOffset = 0;
  std::vector<AnimationFrame> frames;
};

// The header alone (the first kAnimationHeaderSize bytes of an entry `entrySize` bytes long):
// false with `why` when the frame count, the period or the sound track do not fit the entry.
bool ReadAnimationHeader(std::span<const uint8_t> header, uint64_t entrySize, AnimationEntry& out,
                         std::string& why);
// How many bytes from the entry's start hold the header and the tables.
inline uint64_t AnimationTablesEnd(int32_t frameCount) {
  return kAnimationHeaderSize + uint64_t{kAnimationTableBytesPerFrame} *
                                    static_cast<uint64_t>(frameCount < 0 ? 0 : frameCount);
}
// The tables, from bytes that start at the entry's start and reach at least AnimationTablesEnd:
// false with `why` when a frame's data lies outside the entry or is larger than a frame can be.
bool ReadAnimationTables(std::span<const uint8_t> head, uint64_t entrySize, AnimationEntry& entry,
                         std::string& why);
// Both at once, over a whole entry in memory.
bool ReadAnimationEntry(std::span<const uint8_t> bytes, AnimationEntry& out, std::string& why);
// The frame-size fields of `animq`: 1 … kMaxDoubledSide each.
bool DoubledSizeUsable(int32_t width, int32_t height);

// One frame for the writer: its kind, its place (patches) and its JPEG (empty for a hold).
struct AnimationFrameSource {
  int16_t kind = kWholeFrame;
  int16_t x = 0;
  int16_t y = 0;
  std::vector<uint8_t> jpeg;
};
// A whole entry: the header, the tables, the frames in order, then the sound track. Empty when
// the result would not fit the entry's 32-bit offsets.
std::vector<uint8_t> AssembleAnimationEntry(int32_t period, int32_t width, int32_t height,
                                            const std::vector<AnimationFrameSource>& frames,
                                            std::span<const uint8_t> sound);

// A picture as a baseline JPEG of the given quality (1 … 100); empty when it is empty.
std::vector<uint8_t> EncodeJpeg(const Surface& picture, int quality);

}  // namespace zorvel
