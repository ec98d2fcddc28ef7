// anim-build and anim-info: animation entries made from pictures, and what one holds.
#include <charconv>
#include <iostream>

#include "commands.h"
#include "graphics/animation_file.h"
#include "graphics/picture.h"
#include "platform/files.h"
#include "platform/png_reader.h"

namespace zorvel::tool {

namespace {

constexpr std::string_view kBuildOptions[] = {"--period", "--size", "--sound"};
// PNG frames become JPEGs of this quality: high enough that the smoothing of `animq` shows no
// blocks, and still a fraction of the picture's size.
constexpr int kFrameQuality = 90;

template <typename T>
bool ParseNumber(std::string_view text, T& out) {
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, out);
  return result.ec == std::errc() && result.ptr == end && !text.empty();
}

// A frame file as the JPEG the entry stores: JPEGs as they are, once checked; PNGs encoded.
bool FrameJpeg(const std::string& path, std::vector<uint8_t>& jpeg, int& width, int& height) {
  const auto bytes = ReadWholeFile(path);
  if (!bytes) {
    Report(path + ": cannot read (missing or not a regular file)");
    return false;
  }
  Surface picture;
  std::string error;
  if (bytes->size() >= 2 && (*bytes)[0] == 0xFF && (*bytes)[1] == 0xD8) {
    if (!DecodeJpeg(*bytes, picture, &error)) {
      Report(path + ": not a usable JPEG: " + error);
      return false;
    }
    jpeg = *bytes;
  } else {
    if (!ReadPng(*bytes, picture, &error)) {
      Report(path + ": neither a JPEG nor a usable PNG: " + error);
      return false;
    }
    jpeg = EncodeJpeg(picture, kFrameQuality);
    if (jpeg.empty()) {
      Report(path + ": cannot be encoded as JPEG");
      return false;
    }
  }
  width = picture.Width();
  height = picture.Height();
  return true;
}

// "hold", "x,y:FILE" (a patch) or FILE (a whole frame).
bool ReadFrameArgument(const std::string& arg, AnimationFrameSource& frame, int& width,
                       int& height) {
  if (arg == "hold") {
    frame.kind = kHoldFrame;
    return true;
  }
  std::string path = arg;
  frame.kind = kWholeFrame;
  const size_t colon = arg.find(':');
  const size_t comma = arg.find(',');
  if (colon != std::string::npos && comma != std::string::npos && comma < colon) {
    int16_t x = 0;
    int16_t y = 0;
    if (ParseNumber(std::string_view(arg).substr(0, comma), x) &&
        ParseNumber(std::string_view(arg).substr(comma + 1, colon - comma - 1), y)) {
      frame.kind = kPatchFrame;
      frame.x = x;
      frame.y = y;
      path = arg.substr(colon + 1);
    }
  }
  return FrameJpeg(path, frame.jpeg, width, height);
}

const char* KindName(int16_t kind) {
  switch (kind) {
    case kWholeFrame:
      return "whole";
    case kPatchFrame:
      return "patch";
    case kHoldFrame:
      return "hold";
    default:
      return "unknown";
  }
}

}  // namespace

int RunAnimBuild(Args args) {
  const auto parsed = ParseArgs(args, kBuildOptions, kAnimBuildUsage);
  if (!parsed) return kExitUsage;
  if (parsed->positional.size() < 2) {
    return UsageError("anim-build needs an output file and at least one frame", kAnimBuildUsage);
  }
  int32_t period = 100;
  if (const auto it = parsed->options.find("--period"); it != parsed->options.end()) {
    if (!ParseNumber(it->second, period) || period < 1 || period > kMaxAnimationPeriod) {
      return UsageError(
          "--period needs a number of milliseconds, 1 to " + std::to_string(kMaxAnimationPeriod),
          kAnimBuildUsage);
    }
  }
  int32_t width = 0;
  int32_t height = 0;
  bool sizeGiven = false;
  if (const auto it = parsed->options.find("--size"); it != parsed->options.end()) {
    const std::string& text = it->second;
    const size_t x = text.find_first_of("xX");
    if (x == std::string::npos || !ParseNumber(std::string_view(text).substr(0, x), width) ||
        !ParseNumber(std::string_view(text).substr(x + 1), height) || width < 1 || height < 1) {
      return UsageError("--size needs WIDTHxHEIGHT, e.g. 400x300", kAnimBuildUsage);
    }
    sizeGiven = true;
  }
  std::vector<uint8_t> sound;
  if (const auto it = parsed->options.find("--sound"); it != parsed->options.end()) {
    const auto wav = ReadWholeFile(it->second);
    if (!wav) {
      Report(it->second + ": cannot read (missing or not a regular file)");
      return kExitFailure;
    }
    std::string error;
    if (!EncodeWavAsWady(*wav, WadyCoding::kByte, std::nullopt, sound, error)) {
      Report(it->second + ": " + error);
      return kExitFailure;
    }
  }

  const std::string& outPath = parsed->positional[0];
  std::vector<AnimationFrameSource> frames;
  bool ok = true;
  for (size_t i = 1; i < parsed->positional.size(); ++i) {
    AnimationFrameSource frame;
    int w = 0;
    int h = 0;
    if (!ReadFrameArgument(parsed->positional[i], frame, w, h)) {
      ok = false;
      continue;
    }
    if (!sizeGiven && width == 0 && frame.kind == kWholeFrame) {
      width = w;
      height = h;
    }
    frames.push_back(std::move(frame));
  }
  if (!ok) {
    Report(outPath + " not written");
    return kExitFailure;
  }
  if (frames.back().kind != kWholeFrame) {
    Report(
        "warning: the last frame is not a whole frame; the engine shows it at the animation's "
        "place whatever its kind");
  }
  if (!DoubledSizeUsable(width, height)) {
    Report("warning: frame size " + std::to_string(width) + "x" + std::to_string(height) +
           " cannot be played doubled (animq takes 1 to " + std::to_string(kMaxDoubledSide) +
           " on each side)");
  }
  const std::vector<uint8_t> entry = AssembleAnimationEntry(period, width, height, frames, sound);
  if (entry.empty()) {
    Report("the frames and sound are too large for one animation entry; " + outPath +
           " not written");
    return kExitFailure;
  }
  if (!WriteFileAtomic(outPath, entry.data(), entry.size())) {
    Report("cannot write " + outPath);
    return kExitFailure;
  }
  std::cout << outPath << ": " << frames.size() << (frames.size() == 1 ? " frame" : " frames")
            << ", " << period << " ms each, " << entry.size() << " bytes\n";
  return kExitOk;
}

bool CheckAnimationEntry(std::span<const uint8_t> bytes, std::string& error) {
  AnimationEntry entry;
  if (!ReadAnimationEntry(bytes, entry, error)) return false;
  for (size_t i = 0; i < entry.frames.size(); ++i) {
    const AnimationFrame& f = entry.frames[i];
    if (f.kind != kWholeFrame && f.kind != kPatchFrame) continue;
    int w = 0;
    int h = 0;
    if (!ReadJpegSize(bytes.subspan(f.offset, f.size), w, h, &error)) {
      error = "frame " + std::to_string(i) + " is not a usable JPEG: " + error;
      return false;
    }
  }
  return true;
}

int RunAnimInfo(Args args) {
  const auto parsed = ParseArgs(args, {}, kAnimInfoUsage);
  if (!parsed) return kExitUsage;
  if (parsed->positional.size() != 1) {
    return UsageError("anim-info needs one animation file", kAnimInfoUsage);
  }
  const std::string& path = parsed->positional[0];
  const auto bytes = ReadWholeFile(path);
  if (!bytes) {
    Report(path + ": cannot read (missing or not a regular file)");
    return kExitFailure;
  }
  AnimationEntry e;
  std::string error;
  if (!ReadAnimationEntry(*bytes, e, error)) {
    Report(path + ": not a usable animation entry: " + error);
    return kExitFailure;
  }
  std::cout << "frames " << e.frameCount << "\nperiod " << e.period << " ms\nsize " << e.width
            << "x" << e.height << (DoubledSizeUsable(e.width, e.height) ? "" : " (not for animq)")
            << "\nsound ";
  if (e.soundSize == 0) {
    std::cout << "none\n";
  } else {
    std::cout << e.soundSize << " bytes at " << e.soundOffset
              << (e.soundSize < kAnimationStreamThreshold ? " (played once)"
                                                          : " (streamed, looped)")
              << '\n';
  }
  std::cout << "frame kind x y offset size picture\n";
  for (size_t i = 0; i < e.frames.size(); ++i) {
    const AnimationFrame& f = e.frames[i];
    std::cout << i << ' ' << KindName(f.kind) << ' ' << f.x << ' ' << f.y << ' ' << f.offset << ' '
              << f.size << ' ';
    if (f.kind == kHoldFrame || f.size == 0) {
      std::cout << "-\n";
      continue;
    }
    int w = 0;
    int h = 0;
    std::string why;
    if (ReadJpegSize(std::span<const uint8_t>(*bytes).subspan(f.offset, f.size), w, h, &why)) {
      std::cout << "JPEG " << w << 'x' << h << '\n';
    } else {
      std::cout << "damaged: " << why << '\n';
    }
  }
  return kExitOk;
}

}  // namespace zorvel::tool
