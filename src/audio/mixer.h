// The sound device: eight slots, each holding one 16-bit PCM buffer in its sound's own rate and
// channel count, mixed to the output device's rate. The engine thread creates, fills, starts,
// stops and releases buffers and sets volumes; the output pulls mixed frames with Mix, from
// SDL's audio callback or, headless, from the virtual clock.
//
// Mix never allocates and never waits on the engine for long: it holds the lock only while it
// mixes, and buffers are created and freed on the engine thread. Volumes are attenuations in
// hundredths of a decibel (0 full, -10000 silent); starts, stops, volume changes and loop
// seams are ramped so they do not click.
//
// Touches: its own slots only. It knows nothing of names, archives or the game state.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "audio/wave.h"

namespace zorvel {

class Mixer {
 public:
  static constexpr int kSlots = 8;
  static constexpr int kSilent = -10000;

  explicit Mixer(int deviceRate = 48000);

  int DeviceRate() const { return deviceRate_; }
  // The output's rate, set by the output before it starts pulling (engine thread).
  void SetDeviceRate(int rate);
  // Frames at the device rate over which starts, stops and volume changes are ramped.
  int RampFrames() const { return rampFrames_; }

  // Engine thread. Creating a buffer first stops and releases what the slot held. `bytes` is
  // the buffer's size in bytes of its own format (rounded down to whole frames); the buffer
  // starts silent, at position 0, stopped.
  bool Create(int slot, const WaveFormat& format, size_t bytes);
  // Creates the slot's buffer from decoded PCM (the common case of a whole sound).
  bool Load(int slot, const Pcm& pcm);
  // Copies samples into the buffer at a byte offset (the streamed music's refills).
  void Write(int slot, size_t byteOffset, std::span<const int16_t> samples);
  void Play(int slot, bool loop);
  void Stop(int slot);
  void Release(int slot);
  void ReleaseAll();
  bool Has(int slot) const;
  bool Playing(int slot) const;
  // Play position in bytes of the slot's own buffer.
  size_t Position(int slot) const;
  void SetPosition(int slot, size_t byteOffset);
  void SetVolume(int slot, int centibels);
  int Volume(int slot) const;
  // What the slot holds, for the state dump and the log (the sound's name); cleared with the
  // buffer.
  void SetLabel(int slot, const std::string& name);
  std::string Label(int slot) const;
  void SetMasterVolume(int centibels);
  int MasterVolume() const;

  // Output side: fills `out` with `frames` stereo frames at the device rate.
  void Mix(int16_t* out, size_t frames);

 private:
  static constexpr int kRampMs = 4;
  static constexpr int kMaxRate = 192000;
  static constexpr int kMaxRampFrames = kMaxRate * kRampMs / 1000;
  static constexpr int kChunkFrames = 256;

  struct Slot {
    std::vector<int16_t> data;
    int channels = 1;
    uint32_t rate = 0;
    size_t frames = 0;
    size_t blockAlign = 2;
    // Play position in frames of the buffer, 32.32 fixed point, and its step per output frame.
    uint64_t pos = 0;
    uint64_t step = 0;
    bool playing = false;
    bool loop = false;
    int centibels = 0;
    float gain = 0.0f;  // what is applied now; it slides towards target
    float target = 1.0f;
    // A few milliseconds of what the slot was playing when it was cut, faded to silence, so a
    // stop or a replacement does not click. Stereo, at the device rate.
    std::array<float, 2 * (kMaxRampFrames + kChunkFrames)> tail{};
    int tailLen = 0;
    int tailPos = 0;
  };

  static float Gain(int centibels);
  bool Valid(int slot) const { return slot >= 0 && slot < kSlots; }
  void UpdateStep(Slot& s) const;
  // Renders `frames` frames of the slot into `acc` (stereo, added), moving its position and
  // gain. Returns false when a once-buffer reached its end.
  bool Render(Slot& s, float* acc, int frames);
  // The slot goes silent at once for the engine; its sound fades out in its tail.
  void Cut(Slot& s);
  // Frees a buffer outside the lock.
  static void Drop(std::vector<int16_t>& data);

  int deviceRate_;
  int rampFrames_;
  float rampStep_;
  mutable std::mutex lock_;
  std::array<Slot, kSlots> slots_;
  std::array<std::string, kSlots> labels_;  // engine thread only
  int masterCentibels_ = 0;
  float masterGain_ = 1.0f;
  float masterTarget_ = 1.0f;
};

}  // namespace zorvel
