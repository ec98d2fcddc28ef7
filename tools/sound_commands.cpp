// wady-encode and wady-decode, and the WAV-to-WADY conversion build-game shares.
#include <cmath>
#include <cstdio>
#include <iostream>

#include "commands.h"
#include "platform/files.h"
#include "wav_file.h"

namespace zorvel::tool {

namespace {

std::optional<WadyCoding> ParseCoding(const std::map<std::string, std::string>& options) {
  const auto it = options.find("--coding");
  if (it == options.end()) return std::nullopt;
  if (it->second == "byte") return WadyCoding::kByte;
  if (it->second == "run") return WadyCoding::kRun;
  return std::nullopt;
}

std::string FormatDb(double db) {
  if (std::isinf(db)) return db > 0 ? "inf" : "-inf";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", db);
  return text;
}

constexpr std::string_view kCodingOption[] = {"--coding"};
constexpr std::string_view kEncodeOptions[] = {"--coding", "--loop-start"};

}  // namespace

bool EncodeWavAsWady(std::span<const uint8_t> wav, WadyCoding coding,
                     std::optional<uint32_t> loopStart, std::vector<uint8_t>& out,
                     std::string& error, double* snrDb) {
  WavFile file;
  if (!ReadWav(wav, file, error)) return false;
  const size_t frames = file.pcm.Frames();
  if (frames == 0) {
    error = "the sound has no samples";
    return false;
  }
  if (frames * file.pcm.format.channels * 2 > 0xFFFFFFFFull / 2) {
    error = "the sound is too long for a WADY file";
    return false;
  }
  uint32_t loop = 0;
  if (coding == WadyCoding::kByte) {
    loop = loopStart.value_or(file.loopStart.value_or(0));
    if (loop >= frames) {
      error = "loop start " + std::to_string(loop) + " is not before the end (" +
              std::to_string(frames) + " frames)";
      return false;
    }
  }
  out = EncodeWady(file.pcm, coding, loop);
  if (snrDb) {
    std::string why;
    const auto back = DecodeWadyFile(out, coding, why);
    if (!back) {
      error = "the encoded sound does not decode: " + why;
      return false;
    }
    *snrDb = SignalToNoiseDb(file.pcm.samples, back->samples);
  }
  return true;
}

int RunWadyEncode(Args args) {
  const auto parsed = ParseArgs(args, kEncodeOptions, kWadyEncodeUsage);
  if (!parsed) return kExitUsage;
  const auto coding = ParseCoding(parsed->options);
  if (!coding)
    return UsageError("wady-encode needs --coding byte or --coding run", kWadyEncodeUsage);
  if (parsed->positional.size() != 2) {
    return UsageError("wady-encode needs an input WAV and an output file", kWadyEncodeUsage);
  }
  std::optional<uint32_t> loopStart;
  if (const auto it = parsed->options.find("--loop-start"); it != parsed->options.end()) {
    if (*coding != WadyCoding::kByte) {
      return UsageError("--loop-start is for the byte coding (streamed music)", kWadyEncodeUsage);
    }
    char* end = nullptr;
    const unsigned long long v = std::strtoull(it->second.c_str(), &end, 10);
    if (it->second.empty() || *end != '\0' || it->second[0] == '-' || v > 0xFFFFFFFFull) {
      return UsageError("--loop-start needs a frame number", kWadyEncodeUsage);
    }
    loopStart = static_cast<uint32_t>(v);
  }
  const std::string& inPath = parsed->positional[0];
  const std::string& outPath = parsed->positional[1];
  const auto wav = ReadWholeFile(inPath);
  if (!wav) {
    Report(inPath + ": cannot read (missing or not a regular file)");
    return kExitFailure;
  }
  std::vector<uint8_t> wady;
  std::string error;
  double snr = 0;
  if (!EncodeWavAsWady(*wav, *coding, loopStart, wady, error, &snr)) {
    Report(inPath + ": " + error + "; " + outPath + " not written");
    return kExitFailure;
  }
  if (!WriteFileAtomic(outPath, wady.data(), wady.size())) {
    Report("cannot write " + outPath);
    return kExitFailure;
  }
  WadyHeader h;
  ParseWadyHeader(wady, WholeFileUse(*coding), h, error);
  std::cout << outPath << ": " << h.frames << " frames, " << h.channels << " channel"
            << (h.channels == 1 ? "" : "s") << ", " << h.samplesPerSec << " Hz, "
            << (*coding == WadyCoding::kByte
                    ? "byte coding (multiplier " + std::to_string(h.multiplier) + ", loop start " +
                          std::to_string(h.loopStart / h.channels) + ")"
                    : std::string("run coding"))
            << ", " << wady.size() << " bytes; SNR " << FormatDb(snr) << " dB\n";
  return kExitOk;
}

int RunWadyDecode(Args args) {
  const auto parsed = ParseArgs(args, kCodingOption, kWadyDecodeUsage);
  if (!parsed) return kExitUsage;
  const auto coding = ParseCoding(parsed->options);
  if (!coding)
    return UsageError("wady-decode needs --coding byte or --coding run", kWadyDecodeUsage);
  if (parsed->positional.size() != 2) {
    return UsageError("wady-decode needs an input WADY file and an output WAV", kWadyDecodeUsage);
  }
  const std::string& inPath = parsed->positional[0];
  const std::string& outPath = parsed->positional[1];
  const auto wady = ReadWholeFile(inPath);
  if (!wady) {
    Report(inPath + ": cannot read (missing or not a regular file)");
    return kExitFailure;
  }
  std::string why;
  const auto pcm = DecodeWadyFile(*wady, *coding, why);
  if (!pcm) {
    Report(inPath + ": " + why + "; " + outPath + " not written");
    return kExitFailure;
  }
  const auto wav = WriteWav(*pcm);
  if (!WriteFileAtomic(outPath, wav.data(), wav.size())) {
    Report("cannot write " + outPath);
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace zorvel::tool
