// The sound device and its channels: finding a sound by name in the archives and playing it on
// the slot its archive decides, the volumes, mute, the effect categories and levels, and the
// commands cv, se, seloop, seoff, wait_v_end, sefo and sefi.
//
// Touches: the mixer (which it owns; Music and Movie borrow it through Device), the platform's
// audio output, lastVoice, loopEffect and waitVoiceEnd of EngineState, the history and the page
// voice list through its hooks; reads the Ogg, voice and effect archives and the settings.
#pragma once

#include <functional>
#include <string>

#include "audio/mixer.h"
#include "core/engine_state.h"
#include "core/hook.h"
#include "platform/platform.h"
#include "resources/archive_set.h"
#include "resources/settings.h"
#include "script/commands.h"

namespace zorvel {

struct SoundHooks {
  // Skip mode is on: system sounds and voices stay silent.
  Hook<bool()> skipping;
  // The voice list of the page, for the scene rewind.
  Hook<void(const char* name)> addPageVoice;
  // Adds bytes to the history line being written, and ends that line.
  Hook<void(const char* bytes, int len)> appendHistory;
  Hook<void()> commitHistoryLine;
};

class Sound {
 public:
  static constexpr int kVoiceSlot = 0;
  static constexpr int kEffectSlot = 1;
  static constexpr int kLoopSlot = 2;
  // The master volume while muted.
  static constexpr int kMutedVolume = -9999;
  // Played regardless of focus: the settings dialog's test voice.
  static constexpr const char* kSampleVoice = "SAMPLECV";

  Sound(const ArchiveSet& archives, EngineState& state, const Settings& settings,
        Platform& platform, SoundHooks hooks);
  ~Sound();
  Sound(const Sound&) = delete;
  Sound& operator=(const Sound&) = delete;

  void Register(CommandTable& table);

  // After the first script load. Without an output the game runs silent.
  void CreateSoundDevice();
  void ReleaseSoundDevice();
  bool SoundReady() const { return soundReady_; }
  Mixer& Device() { return mixer_; }
  const Mixer& Device() const { return mixer_; }

  // 0 when played, or when playing is not possible now; 1 when no archive holds the name or
  // its archive file cannot be read.
  int PlaySound(const char* name);
  // PlaySound unless skipping.
  void PlaySystemSound(const char* name);
  void StopVoice();
  // `seoff`: forgets the looping effect too.
  void StopLoop();
  void StopAllSounds();
  bool VoiceOrEffectPlaying() const;
  void ApplyVolumes();
  void Mute();
  void Unmute();
  bool Muted() const { return muted_; }
  // The settings dialog's overall slider; not saved.
  void SetMasterVolume(int centibels);
  int MasterVolume() const { return masterVolume_; }

  // Sounds asked for while the window is in the background are dropped, not queued; what
  // already plays goes on silently there unless DirectSoundGlobal lets it be heard.
  void SetWindowActive(bool active);
  bool WindowActive() const { return windowActive_; }
  // Puts the master volume in force on the output again (the music refill does so each tick).
  void RefreshMasterVolume();

  // The looping effect remembered for saves ("" after seoff).
  std::string LoopEffect() const;
  // After a saved game was loaded: the looping effect it remembered, unless its category is off.
  void RestartLoopAfterLoad(const std::string& name);

  // The commands.
  void Cv(const char* arg);
  void Se(const char* arg);
  void Seloop(const char* arg);
  void WaitVoiceEnd();

 private:
  // False when the name is an "SEH" effect of a category the player switched off.
  bool CategoryOn(const std::string& upperName) const;
  int SlotVolume(int slot) const;
  // The output's volume now: the master, muted, or silent in the background.
  int OutputVolume() const;
  bool PlayOgg(const ResourceArchive& archive, int entry, const std::string& name);
  bool PlayEffect(const ResourceArchive& archive, int entry, const std::string& name, int slot);
  // Any Ogg, voice or effect archive holds the name.
  bool Exists(const std::string& name) const;

  const ArchiveSet& archives_;
  EngineState& s_;
  const Settings& settings_;
  Platform& platform_;
  SoundHooks hooks_;
  Mixer mixer_;
  bool soundReady_ = false;
  bool outputOpen_ = false;
  bool muted_ = false;
  bool windowActive_ = true;
  int masterVolume_ = 0;
};

}  // namespace zorvel
