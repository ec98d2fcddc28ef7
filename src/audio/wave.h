// Decoded sound: 16-bit PCM with the wave format it was made for.
#pragma once

#include <cstdint>
#include <vector>

namespace zorvel {

struct WaveFormat {
  uint16_t formatTag = 1;  // 1: PCM
  uint16_t channels = 1;
  uint32_t samplesPerSec = 22050;
  uint32_t avgBytesPerSec = 44100;
  uint16_t blockAlign = 2;
  uint16_t bitsPerSample = 16;
};

// Samples interleaved frame by frame, channel 1 first.
struct Pcm {
  WaveFormat format;
  std::vector<int16_t> samples;
  size_t Frames() const { return format.channels ? samples.size() / format.channels : 0; }
};

}  // namespace zorvel
