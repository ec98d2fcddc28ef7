#include "save/save_games.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/variable_banks.h"
#include "graphics/pixel_ops.h"
#include "platform/files.h"
#include "text/sjis.h"

namespace zorvel {

namespace {

constexpr char kSaved[] = "\x83\x5A\x81\x5B\x83\x75\x82\xB5\x82\xDC\x82\xB5\x82\xBD";
constexpr char kLoading[] = "\x83\x8D\x81\x5B\x83\x68\x82\xB5\x82\xDC\x82\xB7";
constexpr char kQuickComment[] = "Quick Save";
constexpr int kSpeakerFamily = 80;
// Slots up to this number are announced by a sound; up to kLastSlotMemory remembered.
constexpr int kSoundedSlots = 20;
constexpr int kLastSlotMemory = 60;

constexpr int kBannerY = 214;
constexpr int kBannerHeight = 52;
constexpr int kBannerText = 48;
constexpr uint8_t kBannerBlue[3] = {128, 64, 0};  // blue, green, red

}  // namespace

SaveGames::SaveGames(EngineState& state, Screen& screen, const GameConfig& config,
                     Settings& settings, SettingsStore& store, const SettingsLocation& where,
                     SystemText& systemText, FrameClock& frameClock, Platform& platform,
                     PageRing& ring, SaveGameHooks hooks)
    : s_(state),
      screen_(screen),
      config_(config),
      settings_(settings),
      store_(store),
      where_(where),
      systemText_(systemText),
      frameClock_(frameClock),
      platform_(platform),
      ring_(ring),
      hooks_(std::move(hooks)) {}

std::string SaveGames::SlotPath(int slot) const {
  const std::string dir = hooks_.directory();
  if (dir.empty() || slot < 1 || slot > kSlotCount) return {};
  char name[32];
  std::snprintf(name, sizeof name, "save%02d.dat", slot);
  return JoinPath(JoinPath(dir, "save"), name);
}

bool SaveGames::SlotExists(int slot) const {
  const std::string path = SlotPath(slot);
  return !path.empty() && FileExists(path);
}

std::optional<std::vector<uint8_t>> SaveGames::SlotHeader(int slot) const {
  const std::string path = SlotPath(slot);
  if (path.empty() || !FileExists(path)) return std::nullopt;
  auto header = ReadFileRange(path, 0, 128);
  if (!header) header = std::vector<uint8_t>(128, 0);  // unreadable or short: shown empty
  return header;
}

bool SaveGames::DeleteSlot(int slot) {
  const std::string path = SlotPath(slot);
  if (path.empty()) return false;
  if (!RemoveFile(path)) {
    LogMessage("cannot delete " + path + ": " + ReadProblem(path));
    return false;
  }
  return true;
}

bool SaveGames::SaveGame(int slot, bool silent) {
  const std::string path = SlotPath(slot);
  if (path.empty()) return false;
  if (!silent) {
    s_.vars.S[kAutoLevel] = 0;
    hooks_.drawQuickBar();
  }
  const std::string dir = JoinPath(hooks_.directory(), "save");
  if (!MakeDirectories(dir)) {
    LogMessage("cannot save: the folder " + dir + " cannot be made");
    return false;
  }
  const std::string loop = hooks_.loopEffect();
  const std::tm when = hooks_.now();
  const std::vector<uint8_t> file =
      BuildSlotFile(SlotSource{s_, ring_, screen_.sceneSurface, loop.c_str(), when});
  // Written whole to a new file that then replaces the old one: a crash or a full disk leaves
  // the player's previous save in the slot. Only a save that happened is announced and
  // followed by the rest of its steps.
  if (!WriteFileAtomic(path, file.data(), file.size())) {
    LogMessage("cannot save into " + path + "; the slot keeps what it held");
    return false;
  }
  s_.busy = true;
  if (!silent && slot <= kSoundedSlots) hooks_.playSystemSound("SSE05");
  hooks_.syncGlobalData();
  if (!silent) Banner(kSaved, 500);
  s_.busy = false;
  if (slot <= kLastSlotMemory) WriteSetting(store_, where_, settings_, "LastSaveSlot", slot);
  return true;
}

void SaveGames::QuickSave() {
  if (SaveGame(kQuickSlot, false)) WriteComment(kQuickSlot, kQuickComment);
}

bool SaveGames::WriteComment(int slot, const std::string& sjisComment) {
  const std::string path = SlotPath(slot);
  if (path.empty()) return false;
  auto bytes = ReadWholeFile(path);
  if (!bytes || bytes->size() < kSlotFileSize) return false;
  WriteSlotComment(*bytes, sjisComment);
  if (!WriteFileAtomic(path, bytes->data(), bytes->size())) {
    LogMessage("cannot write the comment of " + path);
    return false;
  }
  return true;
}

bool SaveGames::LoadGame(int slot, bool silent) {
  const std::string path = SlotPath(slot);
  if (path.empty() || !FileExists(path)) return false;
  // The file is read and checked before anything of the running game is touched: a file that
  // cannot be a saved game is refused whole.
  SlotFile file;
  std::string why;
  const auto bytes = ReadWholeFile(path);
  if (!bytes) {
    LogMessage("cannot read " + path + ": " + ReadProblem(path));
    return false;
  }
  if (!file.Parse(*bytes, why)) {
    LogMessage("cannot load " + path + ": " + why);
    return false;
  }
  // The game goes on in the slot's script at the slot's positions: a script this game lacks, or
  // a position past its end, would leave the interpreter nowhere to read.
  char script[kNameSize + 1]{};
  const std::string scriptName = file.Name(SlotLayout::kLoadedScriptName);
  std::memcpy(script, scriptName.data(), scriptName.size());
  std::optional<std::vector<uint8_t>> text = hooks_.readScript(script);
  if (!text) {
    LogMessage("cannot load " + path + ": its script \"" + SjisToUtf8(scriptName) +
               "\" cannot be loaded in this game");
    return false;
  }
  const int64_t scriptSize = static_cast<int64_t>(text->size());
  const int32_t resume = file.Record(kRecResume);
  const int32_t lineStart = file.Record(kRecLineStart);
  if (resume < 0 || resume > scriptSize || lineStart < 0 || lineStart > scriptSize) {
    LogMessage("cannot load " + path + ": it goes on at byte " + std::to_string(resume) +
               " (line at " + std::to_string(lineStart) + ") of the script \"" +
               SjisToUtf8(scriptName) + "\", which has " + std::to_string(scriptSize));
    return false;
  }

  hooks_.stopAllSounds();
  s_.textWindowOn = false;
  hooks_.breakSkipAndAuto(1);
  hooks_.stopLoop();
  if (s_.interactionMode == 1) s_.interactionMode = 0;

  s_.busy = true;
  s_.interpreterOn = false;
  hooks_.syncGlobalData();

  hooks_.music(0);
  if (slot <= kSoundedSlots) hooks_.playSystemSound("SSE06");
  if (!silent) Banner(kLoading, 300);
  const int32_t musicBefore = s_.vars.S[5];

  file.RestoreBanks(s_);
  s_.vars.S[kAutoLevel] = 0;
  s_.vars.S[kSkipLamp] = 0;
  s_.skipMode = 0;

  file.RestoreRecord(s_);
  const bool interpreterOn = file.Record(kRecInterpreterOn) != 0;
  const bool needLine = file.Record(kRecNeedLine) != 0;
  s_.scriptPos = resume;
  s_.interactionMode = 0;
  file.RestoreTexts(s_);
  file.RestoreRing(ring_);
  ring_.NoteLoaded(s_);
  const std::string loop = file.Name(SlotLayout::kLoopEffect);

  if (s_.speakerName[0] != 0) {
    const int32_t who = s_.vars.S[kSpeakerFamily];
    if (who == 1) CopyField(s_.speakerName, sizeof s_.speakerName, settings_.PlayerName);
    if (who == 2) CopyField(s_.speakerName, sizeof s_.speakerName, settings_.PlayerName2);
  }
  CopyField(s_.stringVars[0], kStringVarSize, settings_.PlayerName);
  CopyField(s_.stringVars[1], kStringVarSize, settings_.PlayerName2);
  s_.vars.S[kNameChanged] = (settings_.PlayerName == config_.DEFAULT_NAME &&
                             settings_.PlayerName2 == config_.DEFAULT_NAME2)
                                ? 0
                                : 1;

  hooks_.windowStale();
  hooks_.syncGlobalData();
  const int32_t music = s_.vars.S[5];
  if (music != musicBefore) {
    s_.vars.S[5] = 0;
    hooks_.music(music);
  }
  hooks_.restoreScreen();

  hooks_.installScript(script, std::move(*text));
  s_.needLine = needLine;
  s_.interpreterOn = interpreterOn;
  s_.scriptPos = resume;

  s_.lastMarkRead = s_.vars.readMarks.Test(s_.vars.S[25]);
  if (!s_.lastMarkRead) s_.skipMode = 0;
  if (!loop.empty()) hooks_.restartLoop(loop);
  s_.busy = false;
  hooks_.updateToolbar();
  return true;
}

void SaveGames::NoticeBanner(const char* sjisText, int holdMs) {
  Banner(sjisText, holdMs);
}

void SaveGames::Banner(const char* sjisText, int holdMs) {
  s_.toolbarLocked = true;
  hooks_.updateToolbar();

  Surface& screen = screen_.screenSurface;
  Surface band(kScreenWidth, kBannerHeight), saved(kScreenWidth, kBannerHeight),
      blend(kScreenWidth, kBannerHeight);
  CopyView(band, screen, 0, kBannerY);
  CopyView(saved, screen, 0, kBannerY);
  blend.Fill(kBannerBlue[2], kBannerBlue[1], kBannerBlue[0]);
  auto tint = [&](int row, int weight) {
    BlendRows(band.Row(row), band.Row(row), blend.Row(row), kScreenWidth, weight);
  };
  for (int i = 0; i < 8; ++i) {
    tint(i, 20 * i);
    tint(kBannerHeight - 1 - i, 20 * i);
  }
  for (int r = 8; r < kBannerHeight - 8; ++r) tint(r, 160);

  const std::string face = settings_.FontName.empty() ? config_.FONT_NAME : settings_.FontName;
  const int width = systemText_.Measure(sjisText, face, kBannerText);
  const int x = (kScreenWidth - width) / 2;
  systemText_.Draw(band, x + 3, 6, sjisText, face, kBannerText, TextColour{0, 0, 0});
  systemText_.Draw(band, x, 3, sjisText, face, kBannerText, TextColour{255, 255, 255});

  auto show = [&](const Surface& picture) {
    Paste(screen, picture, 0, kBannerY);
    platform_.PresentRect(screen, 0, kBannerY, kScreenWidth, kBannerHeight);
  };
  frameClock_.StartFrameClock();
  for (int a = 0; a < 256;) {
    for (int r = 0; r < kBannerHeight; ++r) {
      BlendRows(blend.Row(r), saved.Row(r), band.Row(r), kScreenWidth, a);
    }
    show(blend);
    a += 16 * frameClock_.WaitFrames(20);
  }
  show(band);
  frameClock_.WaitUntil(platform_.Ticks() + static_cast<uint32_t>(std::max(holdMs, 0)));
  frameClock_.StartFrameClock();
  for (int a = 240; a >= 0;) {
    for (int r = 0; r < kBannerHeight; ++r) {
      BlendRows(blend.Row(r), saved.Row(r), band.Row(r), kScreenWidth, a);
    }
    show(blend);
    a -= 16 * frameClock_.WaitFrames(20);
  }
  show(saved);

  s_.toolbarLocked = false;
  hooks_.updateToolbar();
}

}  // namespace zorvel
