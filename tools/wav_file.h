// 16-bit PCM WAV files for the sound tools: read (with the loop start of a `smpl` chunk) and
// write.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "audio/wave.h"

namespace zorvel::tool {

struct WavFile {
  Pcm pcm;
  std::optional<uint32_t> loopStart;  // frame of the first loop in a `smpl` chunk
};

// Refuses, with the reason in `error`, anything but 16-bit PCM with one or two channels.
bool ReadWav(std::span<const uint8_t> bytes, WavFile& out, std::string& error);
std::vector<uint8_t> WriteWav(const Pcm& pcm);

// 10·log10(signal energy / error energy) of `got` against `reference`, sample by sample; a
// perfect copy reports infinity.
double SignalToNoiseDb(const std::vector<int16_t>& reference, const std::vector<int16_t>& got);

}  // namespace zorvel::tool
