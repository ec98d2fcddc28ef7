// What differs from game to game but is not story: the `_config` entry of the script archives.
// Read once at start-up; fixed afterwards.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zorvel {

struct SpeakerColour {
  bool defined = false;
  std::string name;  // Shift-JIS, as speaker lines write it
  // The name a translation shows for it, which keeps the colour.
  std::string translatedName;
  uint8_t r = 255, g = 255, b = 255;
};

constexpr int kSpeakerEntries = 60;

struct GameConfig {
  // Texts are Shift-JIS.
  std::string TITLE, MAKER, MAKER_REG, GAME_ID, DEFAULT_NAME, DEFAULT_NAME2, DEFAULT_NAME3,
      DEFAULT_NAME4, FONT_NAME;
  int32_t TXW_OFS_X = 0, TXW_OFS_Y = 0, TXW_SIZE_X = 0, TXW_SIZE_Y = 0;
  int32_t TXW_COLOR_R = 0, TXW_COLOR_G = 0, TXW_COLOR_B = 0, TXW_ALPHA = 0, TXW_ALPHA2 = 0;
  int32_t TX_OFS_X = 0, TX_OFS_Y = 0, TX_PITCH_X = 0, TX_PITCH_Y = 0, MOJI_MAX_X = 0,
          MOJI_MAX_Y = 0;
  int32_t TX2_OFS_X = 0, TX2_OFS_Y = 0, TX2_PITCH_X = 0, TX2_PITCH_Y = 0, MOJI_MAX2_X = 0,
          MOJI_MAX2_Y = 0;
  int32_t NP_OFS_X = 0, NP_OFS_Y = 0, NP_SZ_X = 0, NP_SZ_Y = 0;
  int32_t FONT_SIZE = 0;
  int32_t CLICK_WAIT_OFS_X = 0, CLICK_WAIT_OFS_Y = 0, CLICK_WAIT_SIZE_X = 0, CLICK_WAIT_SIZE_Y = 0,
          CLICK_WAIT_PAT = 0, CLICK_WAIT_TIMING = 0;
  int32_t VXD_GRA = 0, VXD_GJP = 0, VXD_GDT = 0, VXD_WAV = 0, VXD_OGG = 0, VXD_SE = 0, VXD_ANIM = 0;
  int32_t VOLUME1 = 0, VOLUME2 = 0, VOLUME3 = 0, VOLUME4 = 0;
  // The choice-preset dialog's captions, which are the game's own words: the window's, and for
  // each of the three kinds of choice "caption,answer 1,answer 2". Empty: neutral captions.
  std::string CHOICE_PRESET_TITLE, CHOICE_PRESET1, CHOICE_PRESET2, CHOICE_PRESET3;
  std::array<SpeakerColour, kSpeakerEntries> speakers{};

  // The colour of a speaker line's name among entries 1 to 59, or nullptr.
  const SpeakerColour* FindSpeaker(const std::string& sjisName) const;
};

// Every key in file order, for readers that walk them all (the state dump, tools).
struct ConfigKey {
  const char* name;
  std::string GameConfig::*text;
  int32_t GameConfig::*number;
};
std::span<const ConfigKey> ConfigKeys();

// Parses decoded `_config` text (lines ended by 0 bytes). Lines it cannot use are described in
// `problems` and skipped.
GameConfig ParseConfig(std::span<const uint8_t> text, std::vector<std::string>* problems = nullptr);

}  // namespace zorvel
