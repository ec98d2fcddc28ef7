// ani-build and ani-info: the animated map cursors a game keeps in its "icon" folder.
#include <iostream>

#include "commands.h"
#include "graphics/ani_cursor.h"
#include "platform/files.h"
#include "platform/png_reader.h"

namespace zorvel::tool {

namespace {

constexpr uint32_t kDefaultRate = 10;

bool ParseNumber(const std::string& text, int64_t low, int64_t high, int64_t& out) {
  if (text.empty() || text.size() > 10) return false;
  int64_t v = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (v < low || v > high) return false;
  out = v;
  return true;
}

}  // namespace

int RunAniBuild(Args args) {
  static constexpr std::string_view kOptions[] = {"--rate", "--hotspot"};
  const auto parsed = ParseArgs(args, kOptions, kAniBuildUsage);
  if (!parsed) return kExitUsage;
  if (parsed->positional.size() < 2) {
    return UsageError("ani-build needs an output file and at least one PNG frame", kAniBuildUsage);
  }
  int64_t rate = kDefaultRate;
  if (const auto it = parsed->options.find("--rate"); it != parsed->options.end()) {
    if (!ParseNumber(it->second, 1, 1000000, rate)) {
      return UsageError(
          "--rate takes a number of jiffies (1/60 s) from 1 up, not \"" + it->second + "\"",
          kAniBuildUsage);
    }
  }
  int64_t hotX = 0;
  int64_t hotY = 0;
  if (const auto it = parsed->options.find("--hotspot"); it != parsed->options.end()) {
    const size_t comma = it->second.find(',');
    if (comma == std::string::npos ||
        !ParseNumber(it->second.substr(0, comma), 0, kMaxCursorSide - 1, hotX) ||
        !ParseNumber(it->second.substr(comma + 1), 0, kMaxCursorSide - 1, hotY)) {
      return UsageError("--hotspot takes X,Y inside the frame, not \"" + it->second + "\"",
                        kAniBuildUsage);
    }
  }
  const std::string& outPath = parsed->positional[0];
  std::vector<CursorFrame> frames;
  for (size_t i = 1; i < parsed->positional.size(); ++i) {
    const std::string& path = parsed->positional[i];
    const auto png = ReadWholeFile(path);
    if (!png) {
      Report(path + ": cannot read (missing or not a regular file)");
      return kExitFailure;
    }
    CursorFrame frame;
    std::string error;
    if (!ReadPngArgb(*png, frame.width, frame.height, frame.argb, &error)) {
      Report(path + ": " + error + "; " + outPath + " not written");
      return kExitFailure;
    }
    frame.hotX = static_cast<int>(hotX);
    frame.hotY = static_cast<int>(hotY);
    frames.push_back(std::move(frame));
  }
  std::vector<uint8_t> ani;
  std::string error;
  if (!WriteAniCursor(frames, static_cast<uint32_t>(rate), ani, error)) {
    Report(outPath + " not written: " + error);
    return kExitFailure;
  }
  if (!WriteFileAtomic(outPath, ani.data(), ani.size())) {
    Report("cannot write " + outPath);
    return kExitFailure;
  }
  return kExitOk;
}

int RunAniInfo(Args args) {
  const auto parsed = ParseArgs(args, {}, kAniInfoUsage);
  if (!parsed) return kExitUsage;
  if (parsed->positional.size() != 1) {
    return UsageError("ani-info needs one animated cursor file", kAniInfoUsage);
  }
  const std::string& path = parsed->positional[0];
  const auto bytes = ReadWholeFile(path);
  if (!bytes) {
    Report(path + ": cannot read (missing or not a regular file)");
    return kExitFailure;
  }
  CursorAnimation animation;
  AniHeader header;
  std::string error;
  if (!ReadAniCursor(*bytes, animation, error, &header)) {
    Report(path + ": " + error);
    return kExitFailure;
  }
  std::cout << "frames " << header.frames << ", steps " << header.steps << ", size " << header.width
            << "x" << header.height << ", bits " << header.bitCount << ", rate "
            << header.displayRate << " jiffies, flags " << header.flags
            << (header.hasRate ? ", rate chunk" : "") << (header.hasSequence ? ", seq chunk" : "")
            << '\n';
  for (size_t i = 0; i < animation.frames.size(); ++i) {
    const CursorFrame& f = animation.frames[i];
    std::cout << "frame " << i << ": " << f.width << "x" << f.height << ", " << header.frameBits[i]
              << " bits, hot spot " << f.hotX << "," << f.hotY << '\n';
  }
  for (size_t i = 0; i < animation.steps.size(); ++i) {
    const uint32_t jiffies = header.hasRate ? header.rates[i] : header.displayRate;
    std::cout << "step " << i << ": frame " << animation.steps[i].frame << ", " << jiffies
              << " jiffies (" << animation.steps[i].ms << " ms)\n";
  }
  return kExitOk;
}

}  // namespace zorvel::tool
