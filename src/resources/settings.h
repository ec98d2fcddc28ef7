// The player's settings: read once at start-up from the settings store (a registry-like
// key path and section named by the game configuration), written back the moment one changes.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/platform.h"
#include "resources/game_config.h"

namespace zorvel {

struct Settings {
  std::string CDDir = "NULL";  // Shift-JIS
  int32_t Left = 0, Top = 0;
  int32_t BGM_ENA = 1, SE_ENA = 1, Delay = 0, GMode = 0, SMode = 0, Clear = 0, Seen = 1,
          BreakonSelect = 1, MemorySaveMode = 1;
  std::string FontName;
  int32_t DirectSoundGlobal = 0, AnimQuality = 0, RC_MODE = 0, WHEEL_MODE = 0, CS_SWAP = 0,
          EFX_CUT = 1, DatePanel = 1, TXWStyle = 1, CV_THROUGH = 0, CV1 = 1, CV2 = 1;
  int32_t SE0 = 1, SE1 = 1, SE2 = 1, SE3 = 1, SE4 = 1;
  int32_t SE_LVL0 = 0, SE_LVL1 = 0, SE_LVL2 = 0, SE_LVL3 = 0, SE_LVL4 = 0;
  int32_t Vol1 = 0, Vol2 = 0, Vol3 = 0, Vol4 = 0;
  int32_t FONTAA = 0, FONTSIZE = 19, FONTBold = 0;
  std::string PlayerName, PlayerName2;
  int32_t LastSaveSlot = 0;
  int32_t GV00 = 0, GV01 = 0, GV02 = 0, GV03 = 0, GV04 = 0, GV05 = 0, GV06 = 0, GV07 = 0, GV08 = 0,
          GV09 = 0;
  int32_t TXBG_R = 0, TXBG_G = 0, TXBG_B = 0, TXBG_A = 0, TXBG_A2 = 0;
  // Ours, for games played in a language written with spaces: words of half-width letters are
  // kept whole at the wrap column.
  int32_t WordWrap = 0;
  // A PO file whose texts are shown in place of the scripts' (relative to the game directory);
  // empty for none.
  std::string Translation;
};

// Every value in the order start-up reads it.
struct SettingKey {
  const char* name;
  std::string Settings::*text;
  int32_t Settings::*number;
};
std::span<const SettingKey> SettingKeys();

// The main window's outer size, from which the default position centres it.
constexpr int kWindowOuterWidth = 808;
constexpr int kWindowOuterHeight = 651;

// Where the settings of this game live; refused (empty) when the configured key path or
// section could lead outside the settings directory.
struct SettingsLocation {
  bool valid = false;
  std::string keyPath;  // UTF-8, backslash-separated as configured
  std::string section;  // UTF-8
};
SettingsLocation LocateSettings(const std::string& sjisKeyPath, const std::string& sjisSection);

// The archives' CD directory, read before everything else.
std::string ReadCdDir(SettingsStore& store, const SettingsLocation& where);
// All values with their defaults from the configuration and the desktop size.
Settings ReadSettings(SettingsStore& store, const SettingsLocation& where, const GameConfig& config,
                      int desktopWidth, int desktopHeight);

// Writes one value and mirrors it into `settings`. False when the value is unknown or the store
// refused the write.
bool WriteSetting(SettingsStore& store, const SettingsLocation& where, Settings& settings,
                  const std::string& name, int32_t value);
bool WriteSetting(SettingsStore& store, const SettingsLocation& where, Settings& settings,
                  const std::string& name, const std::string& sjisText);

// Parses a stored integer the way the registry reader does: a decimal integer or nothing.
std::optional<int32_t> ParseStoredInteger(const std::string& text);

}  // namespace zorvel
