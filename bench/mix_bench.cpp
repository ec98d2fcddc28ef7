// The mixer under a full load: all eight slots playing at once at the rates games use, each
// resampled to the device and at its own volume. Reported as seconds of audio mixed per second
// of CPU; the output thread must stay far above real time.
#include <benchmark/benchmark.h>

#include <cmath>

#include "audio/mixer.h"

namespace zorvel::bench {
namespace {

Pcm Tone(uint16_t channels, uint32_t rate, double hz) {
  Pcm p;
  p.format.channels = channels;
  p.format.samplesPerSec = rate;
  p.format.blockAlign = static_cast<uint16_t>(channels * 2);
  p.format.avgBytesPerSec = rate * p.format.blockAlign;
  // A little over a second, so every slot also passes its loop seam.
  const size_t frames = rate + rate / 7;
  for (size_t f = 0; f < frames; ++f) {
    for (uint16_t c = 0; c < channels; ++c) {
      p.samples.push_back(static_cast<int16_t>(
          std::lround(8000 * std::sin(2 * M_PI * (hz + 50 * c) * static_cast<double>(f) / rate))));
    }
  }
  return p;
}

void BM_Mix(benchmark::State& state) {
  constexpr int kDeviceRate = 48000;
  // SDL's callback asks for this many frames at a time.
  constexpr size_t kChunk = 1024;
  struct Voice {
    uint16_t channels;
    uint32_t rate;
    int volume;
  };
  const Voice voices[Mixer::kSlots] = {{1, 22050, 0},     {1, 44100, -300}, {2, 22050, -600},
                                       {2, 44100, -150},  {1, 11025, -900}, {2, 32000, -450},
                                       {1, 48000, -1200}, {2, 16000, -50}};
  Mixer mixer(kDeviceRate);
  for (int slot = 0; slot < Mixer::kSlots; ++slot) {
    const Voice& v = voices[slot];
    mixer.Load(slot, Tone(v.channels, v.rate, 200.0 + 60 * slot));
    mixer.SetVolume(slot, v.volume);
    mixer.Play(slot, true);
  }
  mixer.SetMasterVolume(-100);
  std::vector<int16_t> out(kChunk * 2);
  for (auto _ : state) {
    for (size_t done = 0; done < kDeviceRate; done += kChunk) {
      mixer.Mix(out.data(), std::min<size_t>(kChunk, kDeviceRate - done));
    }
    benchmark::DoNotOptimize(out.data());
  }
  // One second of audio per iteration.
  state.counters["audio_s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Mix)->Name("BM_Mix/8slots")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zorvel::bench
