#include "audio/music.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "audio/ogg_sound.h"
#include "audio/wady.h"
#include "platform/files.h"
#include "resources/byte_reader.h"
#include "script/decimal.h"

namespace zorvel {

namespace {

constexpr int kMusicRequested = 3;  // S003
constexpr int kMusicStarted = 5;    // S005
constexpr int kStreamFromMusicArchive = 1;
constexpr int kStreamFromAnimation = 2;
// Ticks a music start waits while the game is in the background before it asks again.
constexpr int kPendingTicks = 3;
// The working buffers hold two seconds of coded bytes and four of samples, so a stream may
// carry at most this many samples a second over all its channels.
constexpr uint64_t kMaxSamplesPerSecond = Music::kCodedBufferBytes / 4;

std::string MusicName(int number) {
  std::string digits = std::to_string(number);
  if (digits.size() < 2) digits.insert(0, 2 - digits.size(), '0');
  return "M" + digits;
}

}  // namespace

ArchiveEntrySource::ArchiveEntrySource(const ResourceArchive& archive, int entry)
    : archive_(archive), entry_(entry) {}

uint64_t ArchiveEntrySource::Size() const {
  if (entry_ < 0 || static_cast<size_t>(entry_) >= archive_.Entries().size()) return 0;
  return archive_.Entries()[static_cast<size_t>(entry_)].size;
}

bool ArchiveEntrySource::ReadAt(uint64_t offset, std::span<uint8_t> out) {
  if (!archive_.ReadRange(entry_, offset, out.size(), scratch_)) return false;
  if (scratch_.size() != out.size()) return false;
  std::memcpy(out.data(), scratch_.data(), out.size());
  return true;
}

bool MemorySource::ReadAt(uint64_t offset, std::span<uint8_t> out) {
  if (offset > bytes_.size() || out.size() > bytes_.size() - offset) return false;
  std::memcpy(out.data(), bytes_.data() + offset, out.size());
  return true;
}

Music::Music(Mixer& mixer, const ArchiveSet& archives, EngineState& state, const Settings& settings,
             MusicHooks hooks)
    : mixer_(mixer),
      archives_(archives),
      s_(state),
      settings_(settings),
      hooks_(std::move(hooks)) {}

void Music::Register(CommandTable& table) {
  table.Register(kMusic, [this](const char* arg) {
    MusicCommand(ReadDecimal(arg));
    return 0;
  });
}

void Music::MusicCommand(int32_t n) {
  auto& S = s_.vars.S;
  const int32_t requested = n < 0 ? 0 : n;
  const int fadeStep = n < 0 ? static_cast<int>(std::min<int64_t>(-int64_t{n}, INT32_MAX)) : 0;
  S[kMusicRequested] = requested;
  if (requested == S[kMusicStarted]) return;
  // A start put off in the background is for the music this command replaces.
  s_.pendingCountdown = 0;
  if (settings_.BGM_ENA != 0) {
    if (requested > 0) {
      StartMusic(requested);
    } else if (fadeStep != 0) {
      FadeOutMusic(fadeStep);
    } else {
      StopMusic();
    }
    S[kMusicStarted] = requested;
  } else {
    if (S[kMusicStarted] != 0) StopMusic();
    S[kMusicStarted] = 0;
  }
}

void Music::ApplyMusicSwitch() {
  auto& S = s_.vars.S;
  const int32_t requested = S[kMusicRequested];
  MusicCommand(0);
  MusicCommand(requested);
  S[kMusicRequested] = requested;
}

void Music::RestartAfterLoad(int32_t before) {
  auto& S = s_.vars.S;
  const int32_t loaded = S[kMusicStarted];
  if (loaded == before) return;
  // A start the loaded game knows nothing of, still waiting for the window, is dropped.
  s_.pendingCountdown = 0;
  S[kMusicStarted] = 0;
  MusicCommand(loaded);
}

bool Music::StartMusic(int number) {
  if (!hooks_.windowActive()) {
    s_.pendingMusic = number;
    s_.pendingCountdown = kPendingTicks;
    return true;
  }
  s_.pendingCountdown = 0;
  if (!Ready()) return true;
  const std::string name = MusicName(number);

  if (const int entry = archives_.bgm.Find(name); entry >= 0) {
    // One music at a time: a stream replaces Ogg music as well as an older stream.
    if (slot5_ == Slot5::kOggMusic) {
      mixer_.Release(kOggSlot);
      slot5_ = Slot5::kEmpty;
    }
    StartStream(std::make_unique<ArchiveEntrySource>(archives_.bgm, entry), 0,
                kStreamFromMusicArchive, name);
    return false;
  }
  const int entry = archives_.ogm.Find(name);
  if (entry < 0) return true;
  std::vector<uint8_t> bytes;
  if (!archives_.ogm.Read(entry, bytes)) return false;
  std::string why;
  std::optional<Pcm> pcm = DecodeOggSound(bytes, why);
  if (!pcm) {
    LogMessage("music " + name + ": " + why);
    return false;
  }
  if (s_.streamKind == kStreamFromMusicArchive) CloseStream();
  mixer_.Release(kOggSlot);
  slot5_ = Slot5::kEmpty;
  if (!mixer_.Load(kOggSlot, *pcm)) return false;
  slot5_ = Slot5::kOggMusic;
  s_.musicVolume = settings_.Vol3;
  s_.fadeLevel = 0;
  mixer_.SetLabel(kOggSlot, name);
  mixer_.SetVolume(kOggSlot, s_.musicVolume);
  mixer_.Play(kOggSlot, true);
  return false;
}

bool Music::StartStream(std::unique_ptr<StreamSource> source, uint64_t offset, int kind,
                        const std::string& label) {
  s_.musicVolume = settings_.Vol3;
  s_.fadeLevel = 0;
  CloseStream();
  mixer_.Release(kSpareSlot);

  const uint64_t size = source->Size();
  std::array<uint8_t, kWadyHeaderSize> header{};
  if (offset > size || size - offset < kWadyHeaderSize || !source->ReadAt(offset, header)) {
    LogMessage("stream " + label + ": no room for a WADY header");
    return false;
  }
  if (std::memcmp(header.data(), "WADY", 4) != 0) {
    LogMessage("stream " + label + ": not a WADY sound");
    return false;
  }
  // The header is checked alone; its coded length is checked against the source below, so
  // that the data need not be read before it is played.
  WadyHeader h;
  std::string why;
  if (!ParseWadyHeader(header, WadyUse::kStream, h, why)) {
    LogMessage("stream " + label + ": " + why);
    return false;
  }
  const uint32_t codedLength = h.codedLength;
  const uint64_t dataStart = offset + kWadyHeaderSize;
  if (codedLength > size - dataStart) {
    LogMessage("stream " + label + ": " + std::to_string(codedLength) + " coded bytes announced, " +
               std::to_string(size - dataStart) + " present");
    return false;
  }
  if (h.loopStart > codedLength) {
    LogMessage("stream " + label + ": loop start " + std::to_string(h.loopStart) +
               " lies past the coded data (" + std::to_string(codedLength) + " bytes)");
    return false;
  }
  const uint64_t channels = h.channels;
  if (uint64_t{h.samplesPerSec} * channels > kMaxSamplesPerSecond) {
    LogMessage("stream " + label + ": " + std::to_string(h.samplesPerSec) + " Hz with " +
               std::to_string(channels) + " channels is more than a stream can carry");
    return false;
  }
  // Whole frames only, so that a stray byte never swaps the channels of a stereo stream.
  const uint64_t usable = codedLength / channels * channels;
  if (usable == 0) {
    LogMessage("stream " + label + ": no coded data");
    return false;
  }

  Stream& st = stream_;
  st.source = std::move(source);
  st.dataEnd = dataStart + usable;
  st.loopStart = dataStart + h.loopStart / channels * channels;
  st.readPos = dataStart;
  st.multiplier = h.multiplier;
  st.channels = static_cast<int>(channels);
  st.samplesPerSec = h.samplesPerSec;
  st.quarter = size_t{h.samplesPerSec} * 2 * channels;
  st.predictor1 = st.predictor2 = 0;
  st.loopPredictor1 = h.loopPredictor1;
  st.loopPredictor2 = h.loopPredictor2;
  st.nextQuarter = 0;

  if (coded_.empty()) {
    coded_.resize(kCodedBufferBytes);
    pcm_.resize(kPcmBufferBytes / 2);
  }
  const size_t frames = size_t{4} * st.samplesPerSec;
  if (!DecodeAhead(frames)) {
    LogMessage("stream " + label + ": cannot read the coded data");
    CloseStream();
    return false;
  }
  if (!mixer_.Create(kStreamSlot, h.format, 4 * st.quarter)) {
    CloseStream();
    return false;
  }
  mixer_.Write(kStreamSlot, 0, std::span<const int16_t>(pcm_.data(), frames * channels));
  mixer_.SetPosition(kStreamSlot, 0);
  mixer_.SetVolume(kStreamSlot, s_.musicVolume);
  mixer_.SetLabel(kStreamSlot, label);
  mixer_.Play(kStreamSlot, true);
  s_.streamKind = kind;
  return true;
}

bool Music::DecodeAhead(size_t frames) {
  Stream& st = stream_;
  const size_t ch = static_cast<size_t>(st.channels);
  const size_t need = frames * ch;  // one coded byte a sample
  size_t done = 0;
  while (done < need) {
    if (st.readPos >= st.dataEnd) {
      // The seam: the loop starts over with the predictors the header recorded for it.
      st.readPos = st.loopStart;
      st.predictor1 = st.loopPredictor1;
      st.predictor2 = st.loopPredictor2;
      if (st.loopStart >= st.dataEnd) {
        // Nothing to loop: silence after the end.
        std::fill(pcm_.begin() + static_cast<ptrdiff_t>(done),
                  pcm_.begin() + static_cast<ptrdiff_t>(need), 0);
        return true;
      }
    }
    const size_t take =
        static_cast<size_t>(std::min<uint64_t>(need - done, st.dataEnd - st.readPos));
    const std::span<uint8_t> coded(coded_.data(), take);
    if (!st.source->ReadAt(st.readPos, coded)) return false;
    DecodeByteCoded(coded, std::span<int16_t>(pcm_.data() + done, take), st.multiplier, st.channels,
                    take / ch, st.predictor1, st.predictor2);
    done += take;
    st.readPos += take;
  }
  return true;
}

void Music::CloseStream() {
  s_.streamKind = 0;
  mixer_.Release(kStreamSlot);
  stream_.source.reset();
}

void Music::RefillStream() {
  if (!Ready()) return;
  hooks_.refreshMasterVolume();
  const bool stream = s_.streamKind != 0 && mixer_.Has(kStreamSlot);
  if (!stream && !mixer_.Has(kOggSlot)) return;

  if (s_.fadeLevel != 0) {
    const int64_t level = int64_t{s_.fadeLevel} - s_.fadeStep;
    if (level < kFadeFloor) {
      StopMusic();
      s_.fadeLevel = 0;
      return;
    }
    s_.fadeLevel = static_cast<int32_t>(level);
    s_.musicVolume = s_.fadeLevel;
  } else {
    s_.musicVolume = settings_.Vol3;
  }

  if (stream) {
    Stream& st = stream_;
    const size_t ch = static_cast<size_t>(st.channels);
    const int playing = static_cast<int>(mixer_.Position(kStreamSlot) / st.quarter % 4);
    // Every quarter the play cursor has left since the last tick; normally none or one.
    while (playing != st.nextQuarter) {
      if (!DecodeAhead(st.samplesPerSec)) {
        LogMessage("stream " + mixer_.Label(kStreamSlot) + ": cannot read the coded data");
        StopStream();
        break;
      }
      mixer_.Write(kStreamSlot, static_cast<size_t>(st.nextQuarter) * st.quarter,
                   std::span<const int16_t>(pcm_.data(), size_t{st.samplesPerSec} * ch));
      st.nextQuarter = (st.nextQuarter + 1) % 4;
    }
  }

  if (mixer_.Has(kStreamSlot)) mixer_.SetVolume(kStreamSlot, s_.musicVolume);
  if (mixer_.Has(kOggSlot)) mixer_.SetVolume(kOggSlot, s_.musicVolume);
}

void Music::TickPendingStart() {
  if (s_.pendingCountdown <= 0) return;
  s_.pendingCountdown -= 1;
  if (s_.pendingCountdown == 0) StartMusic(s_.pendingMusic);
}

void Music::StopMusic() {
  // Stopped music must not come back when the window does.
  s_.pendingCountdown = 0;
  if (s_.streamKind != 0) CloseStream();
  if (slot5_ == Slot5::kOggMusic) {
    mixer_.Release(kOggSlot);
    slot5_ = Slot5::kEmpty;
  }
}

void Music::FadeOutMusic(int step) {
  s_.fadeLevel = s_.musicVolume - 1;
  s_.fadeStep = step;
}

void Music::PlayAnimationSound(StreamSource& source, uint64_t offset, uint32_t size) {
  if (!Ready()) return;
  if (offset > source.Size() || size > source.Size() - offset) {
    LogMessage("animation sound of " + std::to_string(size) + " bytes runs past its file");
    return;
  }
  std::vector<uint8_t> bytes(size);
  if (!source.ReadAt(offset, bytes)) return;
  if (size < 4 || std::memcmp(bytes.data(), "WADY", 4) != 0) return;
  std::string why;
  std::optional<Pcm> pcm = DecodeWadyFile(bytes, WadyCoding::kByte, why);
  if (!pcm) {
    LogMessage("animation sound: " + why);
    return;
  }
  mixer_.Release(kOggSlot);
  slot5_ = Slot5::kEmpty;
  if (!mixer_.Load(kOggSlot, *pcm)) return;
  slot5_ = Slot5::kAnimation;
  mixer_.SetLabel(kOggSlot, "animation sound");
  mixer_.SetVolume(kOggSlot, settings_.Vol2);
  mixer_.Play(kOggSlot, false);
}

void Music::StartAnimationStream(std::unique_ptr<StreamSource> source, uint64_t offset) {
  if (!Ready() || !source) return;
  if (s_.streamKind == kStreamFromMusicArchive) StopMusic();
  StartStream(std::move(source), offset, kStreamFromAnimation, "animation stream");
}

void Music::StopAnimationSound() {
  // Ogg music shares the slot and is not the animation's to end.
  if (slot5_ != Slot5::kAnimation) return;
  mixer_.Release(kOggSlot);
  slot5_ = Slot5::kEmpty;
}

void Music::StopStream() {
  CloseStream();
}

}  // namespace zorvel
