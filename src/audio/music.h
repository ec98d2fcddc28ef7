// Music: the `music` command, streamed WADY music with its four-second ring and loop seam,
// looped Ogg music, the fade-out, and the sound services of animations.
//
// Touches: the mixer's slots 3, 4 and 5, the music fields of EngineState (S003, S005,
// streamKind, musicVolume, fadeLevel, fadeStep, pendingMusic, pendingCountdown), and reads the
// music archives and the settings.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "audio/mixer.h"
#include "core/engine_state.h"
#include "core/hook.h"
#include "resources/archive_set.h"
#include "resources/settings.h"
#include "script/commands.h"

namespace zorvel {

// Where a stream's bytes come from: an archive entry or an animation's file. Offsets count
// from the start of the source; nothing outside [0, Size()) is ever read.
class StreamSource {
 public:
  virtual ~StreamSource() = default;
  virtual uint64_t Size() const = 0;
  // Fills `out` from `offset`; false when the bytes are not all there or cannot be read.
  virtual bool ReadAt(uint64_t offset, std::span<uint8_t> out) = 0;
};

// One entry of an archive, read afresh from the archive file at each read.
class ArchiveEntrySource : public StreamSource {
 public:
  ArchiveEntrySource(const ResourceArchive& archive, int entry);
  uint64_t Size() const override;
  bool ReadAt(uint64_t offset, std::span<uint8_t> out) override;

 private:
  const ResourceArchive& archive_;
  int entry_;
  std::vector<uint8_t> scratch_;
};

// Bytes held in memory.
class MemorySource : public StreamSource {
 public:
  explicit MemorySource(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
  uint64_t Size() const override { return bytes_.size(); }
  bool ReadAt(uint64_t offset, std::span<uint8_t> out) override;

 private:
  std::vector<uint8_t> bytes_;
};

struct MusicHooks {
  // The sound device exists; nothing is played or refilled without it. Empty: always.
  Hook<bool()> soundReady;
  // The main window, the settings dialog or the save/load dialog is the active window.
  // Empty: always.
  Hook<bool()> windowActive;
  // Puts the output's volume in force again (every timer tick): the master, or silence while
  // muted or, without DirectSoundGlobal, in the background.
  Hook<void()> refreshMasterVolume;
};

class Music {
 public:
  static constexpr int kStreamSlot = 3;
  static constexpr int kSpareSlot = 4;
  static constexpr int kOggSlot = 5;
  // A fade ends once the volume passes this (hundredths of a decibel).
  static constexpr int kFadeFloor = -3000;
  // The fixed working buffers: two seconds of coded bytes, four seconds of samples.
  static constexpr size_t kCodedBufferBytes = 352800;
  static constexpr size_t kPcmBufferBytes = 705600;

  Music(Mixer& mixer, const ArchiveSet& archives, EngineState& state, const Settings& settings,
        MusicHooks hooks);

  void Register(CommandTable& table);

  // The `music` operation: N above 0 starts music N, 0 stops it, below 0 fades out by -N a tick.
  void MusicCommand(int32_t n);
  // The settings dialog's music switch has changed: stop or restart at once.
  void ApplyMusicSwitch();
  // After a saved game was loaded over the music number `before` (S005 when the load began):
  // starts the loaded S005 when it differs.
  void RestartAfterLoad(int32_t before);

  // Fades, volumes and the refill of the streamed music, once a timer tick.
  void RefillStream();
  // The countdown of a start put off while the window was in the background, once a timer
  // tick of the game screen; at its end the start is tried again.
  void TickPendingStart();
  // Plays "M" + the number in two digits; true when nothing was started.
  bool StartMusic(int number);
  void StopMusic();
  void FadeOutMusic(int step);

  // Animation sounds. A WADY sound (byte coding) of `size` bytes at `offset`, once on slot 5.
  void PlayAnimationSound(StreamSource& source, uint64_t offset, uint32_t size);
  // A looped WADY stream at `offset` of the animation's file, on slot 3.
  void StartAnimationStream(std::unique_ptr<StreamSource> source, uint64_t offset);
  void StopAnimationSound();
  void StopStream();

 private:
  enum class Slot5 { kEmpty, kOggMusic, kAnimation };

  struct Stream {
    std::unique_ptr<StreamSource> source;
    uint64_t dataEnd = 0;
    uint64_t loopStart = 0;
    uint64_t readPos = 0;
    size_t quarter = 0;
    int16_t predictor1 = 0, predictor2 = 0;
    int16_t loopPredictor1 = 0, loopPredictor2 = 0;
    int multiplier = 0;
    int channels = 1;
    uint32_t samplesPerSec = 0;
    int nextQuarter = 0;
  };

  bool Ready() const { return hooks_.soundReady(); }
  bool StartStream(std::unique_ptr<StreamSource> source, uint64_t offset, int kind,
                   const std::string& label);
  // Decodes `frames` frames of the stream into the start of the PCM buffer, wrapping to the
  // loop start (with the loop predictors) as often as the data's end is met.
  bool DecodeAhead(size_t frames);
  void CloseStream();

  Mixer& mixer_;
  const ArchiveSet& archives_;
  EngineState& s_;
  const Settings& settings_;
  MusicHooks hooks_;
  Stream stream_;
  Slot5 slot5_ = Slot5::kEmpty;
  std::vector<uint8_t> coded_;
  std::vector<int16_t> pcm_;
};

}  // namespace zorvel
