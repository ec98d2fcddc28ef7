// Windows animated cursors (.ani): a RIFF "ACON" file with an "anih" header, optional "rate"
// (the time of each step) and "seq " (the picture of each step) chunks, and a "fram" list of
// "icon" chunks, each a whole ICO or CUR file. Their pictures are 32-bit (with alpha), 24-bit or
// paletted (1, 4 or 8 bits) bitmaps followed by an AND mask, rows bottom to top; a CUR file
// carries its hot spot in its directory. The files come from the game folder and may be
// damaged: every size, offset and count is checked against the bytes that are there, and a file
// that does not hold up is refused whole with the reason.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace zorvel {

// Timing is counted in jiffies, sixtieths of a second.
constexpr int kJiffiesPerSecond = 60;
// Cursors are small; the format's own limit is 256 pixels a side.
constexpr int kMaxCursorSide = 256;
constexpr int kMaxCursorFrames = 1024;
constexpr int kMaxCursorSteps = 4096;

// What the header and chunks said, for `ani-info` and the tests.
struct AniHeader {
  uint32_t frames = 0;
  uint32_t steps = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t bitCount = 0;
  uint32_t displayRate = 0;  // jiffies a step when there is no "rate" chunk
  uint32_t flags = 0;        // 1: the frames are ICO/CUR files; 2: a "seq " chunk orders them
  bool hasRate = false;
  bool hasSequence = false;
  std::vector<uint32_t> rates;      // jiffies of each step
  std::vector<uint32_t> sequence;   // picture of each step
  std::vector<uint32_t> frameBits;  // bits a pixel of each picture as stored
};

// Decodes a whole .ani file. False with `error` saying what is wrong; `out` is then untouched.
bool ReadAniCursor(std::span<const uint8_t> bytes, CursorAnimation& out, std::string& error,
                   AniHeader* header = nullptr);
// One ICO or CUR file (the largest picture it holds). Icons have their hot spot at the top left.
bool ReadIconFile(std::span<const uint8_t> bytes, CursorFrame& out, int& bitCount,
                  std::string& error);

// Writes frames of equal size as an .ani file of 32-bit CUR pictures with their AND masks
// (pixels under half opacity are left out), every step `rateJiffies` long, each frame with the
// given hot spot. False with `error` when the frames cannot be stored.
bool WriteAniCursor(const std::vector<CursorFrame>& frames, uint32_t rateJiffies,
                    std::vector<uint8_t>& out, std::string& error);

}  // namespace zorvel
