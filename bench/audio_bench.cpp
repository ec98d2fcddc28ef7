// Sound decoding, reported as seconds of audio decoded per second of CPU: the WADY decoders run
// over whole effects and one second of music at a time, and should leave Ogg Vorbis far behind.
#include <benchmark/benchmark.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <string>

#include "audio/ogg_sound.h"
#include "audio/wady.h"

namespace zorvel::bench {
namespace {

// Ten seconds of a stereo chord with a slow tremolo and a little noise, at 22,050 Hz.
Pcm Music() {
  Pcm p;
  p.format.channels = 2;
  p.format.samplesPerSec = 22050;
  p.format.blockAlign = 4;
  p.format.avgBytesPerSec = 22050 * 4;
  uint32_t noise = 1;
  for (int i = 0; i < 22050 * 10; ++i) {
    const double t = i / 22050.0;
    const double tremolo = 0.6 + 0.4 * std::sin(2 * M_PI * 0.5 * t);
    for (int c = 0; c < 2; ++c) {
      noise = noise * 1664525u + 1013904223u;
      const double v =
          tremolo * (std::sin(2 * M_PI * 220 * t) + 0.5 * std::sin(2 * M_PI * 330 * t + c) +
                     0.3 * std::sin(2 * M_PI * 440 * t)) +
          0.02 * (static_cast<int>(noise >> 16) - 32768) / 32768.0;
      p.samples.push_back(static_cast<int16_t>(std::lround(9000 * v)));
    }
  }
  return p;
}

void DecodeWady(benchmark::State& state, WadyCoding coding) {
  const Pcm music = Music();
  const std::vector<uint8_t> file = EncodeWady(music, coding, 0);
  const double seconds = static_cast<double>(music.Frames()) / music.format.samplesPerSec;
  std::string why;
  for (auto _ : state) {
    auto pcm = DecodeWadyFile(file, coding, why);
    benchmark::DoNotOptimize(pcm);
  }
  state.counters["audio_s"] = benchmark::Counter(seconds * static_cast<double>(state.iterations()),
                                                 benchmark::Counter::kIsRate);
}

void BM_DecodeWadyByte(benchmark::State& state) {
  DecodeWady(state, WadyCoding::kByte);
}
void BM_DecodeWadyRun(benchmark::State& state) {
  DecodeWady(state, WadyCoding::kRun);
}
BENCHMARK(BM_DecodeWadyByte)->Name("BM_DecodeWady/byte")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeWadyRun)->Name("BM_DecodeWady/run")->Unit(benchmark::kMillisecond);

// The demo's Ogg music: ten seconds of stereo at 22,050 Hz.
void BM_DecodeOgg(benchmark::State& state) {
  std::ifstream in(std::string(ZORVEL_SOURCE_DIR) + "/demo/ogm/M02.ogg", std::ios::binary);
  const std::vector<uint8_t> ogg{std::istreambuf_iterator<char>(in), {}};
  std::string why;
  const auto first = DecodeOggSound(ogg, why);
  if (!first) {
    state.SkipWithError(("demo/ogm/M02.ogg: " + why).c_str());
    return;
  }
  const double seconds = static_cast<double>(first->Frames()) / first->format.samplesPerSec;
  for (auto _ : state) {
    auto pcm = DecodeOggSound(ogg, why);
    benchmark::DoNotOptimize(pcm);
  }
  state.counters["audio_s"] = benchmark::Counter(seconds * static_cast<double>(state.iterations()),
                                                 benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecodeOgg)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zorvel::bench
