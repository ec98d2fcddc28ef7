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
  struct Slot;
  int deviceRate_;
  mutable std::mutex lock_;
  std::array<std::vector<int16_t>, kSlots> buffers_;  // placeholder; the implementation decides
};

}  // namespace zorvel
