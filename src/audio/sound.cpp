#include "audio/sound.h"

#include <cstring>

#include "audio/ogg_sound.h"
#include "audio/wady.h"
#include "platform/files.h"
#include "text/sjis.h"

namespace zorvel {

namespace {

// "SEH" and a category digit 0 to 4: the category, else -1.
int Category(const std::string& upperName) {
  if (upperName.size() < 4 || upperName.compare(0, 3, "SEH") != 0) return -1;
  const int c = upperName[3] - '0';
  return c >= 0 && c <= 4 ? c : -1;
}

}  // namespace

Sound::Sound(const ArchiveSet& archives, EngineState& state, const Settings& settings,
             Platform& platform, SoundHooks hooks)
    : archives_(archives),
      s_(state),
      settings_(settings),
      platform_(platform),
      hooks_(std::move(hooks)) {}

Sound::~Sound() {
  // The output must stop pulling before the mixer it pulls from goes away.
  ReleaseSoundDevice();
}

void Sound::Register(CommandTable& table) {
  table.Register(kCv, [this](const char* arg) {
    Cv(arg);
    return 0;
  });
  table.Register(kSe, [this](const char* arg) {
    Se(arg);
    return 0;
  });
  table.Register(kSeloop, [this](const char* arg) {
    Seloop(arg);
    return 0;
  });
  table.Register(kSeoff, [this](const char*) {
    StopLoop();
    return 0;
  });
  table.Register(kWaitVEnd, [this](const char*) {
    WaitVoiceEnd();
    return 1;
  });
  table.Register(kSefo, [](const char*) { return 0; });
  table.Register(kSefi, [](const char*) { return 0; });
}

void Sound::CreateSoundDevice() {
  if (soundReady_) return;
  if (!platform_.OpenAudio(mixer_)) {
    LogMessage("no sound output could be opened; the game runs silent");
    return;
  }
  outputOpen_ = true;
  masterVolume_ = mixer_.MasterVolume();
  soundReady_ = true;
  // The window may have gone to the background before there was anything to silence.
  RefreshMasterVolume();
}

void Sound::ReleaseSoundDevice() {
  if (outputOpen_) platform_.CloseAudio();
  outputOpen_ = false;
  mixer_.ReleaseAll();
  soundReady_ = false;
}

int Sound::SlotVolume(int slot) const {
  switch (slot) {
    case 0:
      return settings_.Vol1;
    case 1:
    case 2:
      return settings_.Vol2;
    case 3:
      return s_.musicVolume;
    case 4:
    case 5:
      return settings_.Vol3;
    default:
      return settings_.Vol4;
  }
}

bool Sound::PlayOgg(const ResourceArchive& archive, int entry, const std::string& name) {
  std::vector<uint8_t> bytes;
  if (!archive.Read(entry, bytes)) return false;
  std::string why;
  const std::optional<Pcm> pcm = DecodeOggSound(bytes, why);
  if (!pcm) {
    LogMessage("sound " + SjisToUtf8(name) + " in " + archive.FileName() + ": " + why);
    return true;
  }
  if (mixer_.Load(kVoiceSlot, *pcm)) {
    mixer_.SetLabel(kVoiceSlot, name);
    mixer_.SetVolume(kVoiceSlot, settings_.Vol1);
    mixer_.Play(kVoiceSlot, false);
  }
  return true;
}

bool Sound::PlayEffect(const ResourceArchive& archive, int entry, const std::string& name,
                       int slot) {
  std::vector<uint8_t> bytes;
  if (!archive.Read(entry, bytes)) return false;
  std::string why;
  const std::optional<Pcm> pcm = DecodeWadyFile(bytes, WadyCoding::kRun, why);
  if (!pcm) {
    LogMessage("effect " + SjisToUtf8(name) + " in " + archive.FileName() + ": " + why);
    return true;
  }
  if (mixer_.Load(slot, *pcm)) {
    mixer_.SetLabel(slot, name);
    mixer_.SetVolume(slot, settings_.Vol2);
    mixer_.Play(slot, slot == kLoopSlot);
  }
  return true;
}

int Sound::PlaySound(const char* name) {
  if (!soundReady_ || name == nullptr) return 0;
  const std::string given(name, strnlen(name, kLineBufferSize));
  if (given != kSampleVoice && !windowActive_) return 0;
  const std::string upper = UpperSjis(given);
  if (settings_.CV1 != 0) {
    for (int k = 2; k >= 0; --k) {
      const int entry = archives_.ogg[k].Find(upper);
      if (entry < 0) continue;
      return PlayOgg(archives_.ogg[k], entry, given) ? 0 : 1;
    }
  }
  if (settings_.SE_ENA == 0) return 1;
  for (int k = 0; k < 3; ++k) {
    const int entry = archives_.se[k].Find(upper);
    if (entry < 0) continue;
    const int slot = k < 2 ? kEffectSlot : kLoopSlot;
    if (slot == kLoopSlot) CopyField(s_.loopEffect, kNameSize, given);
    return PlayEffect(archives_.se[k], entry, given, slot) ? 0 : 1;
  }
  return 1;
}

void Sound::PlaySystemSound(const char* name) {
  if (hooks_.skipping()) return;
  PlaySound(name);
}

void Sound::StopVoice() {
  mixer_.Release(kVoiceSlot);
}

void Sound::StopLoop() {
  std::memset(s_.loopEffect, 0, sizeof s_.loopEffect);
  mixer_.Release(kLoopSlot);
}

void Sound::StopAllSounds() {
  mixer_.ReleaseAll();
}

bool Sound::VoiceOrEffectPlaying() const {
  return soundReady_ && (mixer_.Playing(kVoiceSlot) || mixer_.Playing(kEffectSlot));
}

int Sound::OutputVolume() const {
  if (muted_) return kMutedVolume;
  if (!windowActive_ && settings_.DirectSoundGlobal == 0) return Mixer::kSilent;
  return masterVolume_;
}

void Sound::SetWindowActive(bool active) {
  windowActive_ = active;
  RefreshMasterVolume();
}

void Sound::RefreshMasterVolume() {
  if (soundReady_) mixer_.SetMasterVolume(OutputVolume());
}

void Sound::ApplyVolumes() {
  if (!soundReady_) return;
  mixer_.SetMasterVolume(OutputVolume());
  for (int slot = 0; slot < Mixer::kSlots; ++slot) {
    if (mixer_.Has(slot)) mixer_.SetVolume(slot, SlotVolume(slot));
  }
}

void Sound::Mute() {
  muted_ = true;
  ApplyVolumes();
}

void Sound::Unmute() {
  muted_ = false;
  ApplyVolumes();
}

void Sound::SetMasterVolume(int centibels) {
  masterVolume_ = centibels;
  ApplyVolumes();
}

std::string Sound::LoopEffect() const {
  return std::string(s_.loopEffect, strnlen(s_.loopEffect, sizeof s_.loopEffect));
}

bool Sound::CategoryOn(const std::string& upperName) const {
  const int32_t switches[5] = {settings_.SE0, settings_.SE1, settings_.SE2, settings_.SE3,
                               settings_.SE4};
  const int c = Category(upperName);
  return c < 0 || switches[c] != 0;
}

void Sound::RestartLoopAfterLoad(const std::string& name) {
  if (name.empty() || !CategoryOn(UpperSjis(name))) return;
  PlaySound(name.c_str());
}

bool Sound::Exists(const std::string& name) const {
  for (const ResourceArchive& a : archives_.ogg) {
    if (a.Find(name) >= 0) return true;
  }
  for (const ResourceArchive& a : archives_.wav) {
    if (a.Find(name) >= 0) return true;
  }
  for (const ResourceArchive& a : archives_.se) {
    if (a.Find(name) >= 0) return true;
  }
  return false;
}

void Sound::Cv(const char* arg) {
  std::string name(arg, strnlen(arg, kLineBufferSize));
  if (s_.vars.S[kNameChanged] == 1 && Exists(name + "X")) name += "X";
  hooks_.addPageVoice(name.c_str());
  PlaySystemSound(name.c_str());
  CopyField(s_.lastVoice, sizeof s_.lastVoice, name);
  hooks_.appendHistory("@", 1);
  hooks_.appendHistory(name.data(), static_cast<int>(name.size()));
  hooks_.commitHistoryLine();
}

void Sound::Se(const char* arg) {
  const std::string upper = UpperSjis(std::string_view(arg, strnlen(arg, kLineBufferSize)));
  if (!CategoryOn(upper)) return;
  PlaySound(upper.c_str());
}

void Sound::Seloop(const char* arg) {
  std::string upper = UpperSjis(std::string_view(arg, strnlen(arg, kLineBufferSize)));
  if (!CategoryOn(upper)) return;
  // Category 4 comes in levels: the ninth character picks the level setting, and the
  // eleventh is raised by it.
  if (Category(upper) == 4 && upper.size() >= 11) {
    const int32_t levels[5] = {settings_.SE_LVL0, settings_.SE_LVL1, settings_.SE_LVL2,
                               settings_.SE_LVL3, settings_.SE_LVL4};
    const int d = upper[8] - '1';
    if (d >= 0 && d <= 4) {
      upper[10] = static_cast<char>(static_cast<uint8_t>(upper[10]) + levels[d]);
    }
  }
  PlaySound(upper.c_str());
}

void Sound::WaitVoiceEnd() {
  if (platform_.HasAudioOutput()) s_.waitVoiceEnd = true;
}

}  // namespace zorvel
