#include "resources/game_config.h"

#include <algorithm>
#include <climits>

#include "script/decimal.h"
#include "text/sjis.h"

namespace zorvel {

namespace {

#define TEXT_KEY(k) \
  { #k, &GameConfig::k, nullptr }
#define NUMBER_KEY(k) \
  { #k, nullptr, &GameConfig::k }

constexpr ConfigKey kKeys[] = {
    TEXT_KEY(TITLE),
    TEXT_KEY(MAKER),
    TEXT_KEY(MAKER_REG),
    TEXT_KEY(GAME_ID),
    TEXT_KEY(DEFAULT_NAME),
    TEXT_KEY(DEFAULT_NAME2),
    TEXT_KEY(DEFAULT_NAME3),
    TEXT_KEY(DEFAULT_NAME4),
    NUMBER_KEY(TXW_OFS_X),
    NUMBER_KEY(TXW_OFS_Y),
    NUMBER_KEY(TXW_SIZE_X),
    NUMBER_KEY(TXW_SIZE_Y),
    NUMBER_KEY(TXW_COLOR_R),
    NUMBER_KEY(TXW_COLOR_G),
    NUMBER_KEY(TXW_COLOR_B),
    NUMBER_KEY(TXW_ALPHA),
    NUMBER_KEY(TXW_ALPHA2),
    NUMBER_KEY(TX_OFS_X),
    NUMBER_KEY(TX_OFS_Y),
    NUMBER_KEY(TX_PITCH_X),
    NUMBER_KEY(TX_PITCH_Y),
    NUMBER_KEY(MOJI_MAX_X),
    NUMBER_KEY(MOJI_MAX_Y),
    NUMBER_KEY(TX2_OFS_X),
    NUMBER_KEY(TX2_OFS_Y),
    NUMBER_KEY(TX2_PITCH_X),
    NUMBER_KEY(TX2_PITCH_Y),
    NUMBER_KEY(MOJI_MAX2_X),
    NUMBER_KEY(MOJI_MAX2_Y),
    NUMBER_KEY(NP_OFS_X),
    NUMBER_KEY(NP_OFS_Y),
    NUMBER_KEY(NP_SZ_X),
    NUMBER_KEY(NP_SZ_Y),
    TEXT_KEY(FONT_NAME),
    NUMBER_KEY(FONT_SIZE),
    NUMBER_KEY(CLICK_WAIT_OFS_X),
    NUMBER_KEY(CLICK_WAIT_OFS_Y),
    NUMBER_KEY(CLICK_WAIT_SIZE_X),
    NUMBER_KEY(CLICK_WAIT_SIZE_Y),
    NUMBER_KEY(CLICK_WAIT_PAT),
    NUMBER_KEY(CLICK_WAIT_TIMING),
    NUMBER_KEY(VXD_GRA),
    NUMBER_KEY(VXD_GJP),
    NUMBER_KEY(VXD_GDT),
    NUMBER_KEY(VXD_WAV),
    NUMBER_KEY(VXD_OGG),
    NUMBER_KEY(VXD_SE),
    NUMBER_KEY(VXD_ANIM),
    NUMBER_KEY(VOLUME1),
    NUMBER_KEY(VOLUME2),
    NUMBER_KEY(VOLUME3),
    NUMBER_KEY(VOLUME4),
    TEXT_KEY(CHOICE_PRESET_TITLE),
    TEXT_KEY(CHOICE_PRESET1),
    TEXT_KEY(CHOICE_PRESET2),
    TEXT_KEY(CHOICE_PRESET3),
};

#undef TEXT_KEY
#undef NUMBER_KEY

uint8_t ColourDigit(char c) {
  if (c >= '0' && c <= '9') return static_cast<uint8_t>((c - '0') * 16);
  if (c >= 'A' && c <= 'F') return static_cast<uint8_t>((c - 'A' + 10) * 16);
  if (c == 'G') return 255;
  return 0;
}

void ParseSpeaker(GameConfig& config, const std::string& value,
                  std::vector<std::string>* problems) {
  const size_t c1 = value.find(',');
  const std::string numberField = value.substr(0, c1);
  const int32_t n = ReadDecimal(numberField.c_str());
  if (n < 0 || n >= kSpeakerEntries) {
    if (problems) problems->push_back("NAME entry number " + numberField + " is not 0 to 59");
    return;
  }
  std::string name;
  std::string colour;
  if (c1 != std::string::npos) {
    const size_t c2 = value.find(',', c1 + 1);
    name = value.substr(c1 + 1, c2 == std::string::npos ? std::string::npos : c2 - c1 - 1);
    if (c2 != std::string::npos) {
      const size_t c3 = value.find(',', c2 + 1);
      colour = UpperSjis(
          value.substr(c2 + 1, c3 == std::string::npos ? std::string::npos : c3 - c2 - 1));
    }
  }
  SpeakerColour& s = config.speakers[static_cast<size_t>(n)];
  s.defined = true;
  s.name = name;
  if (colour.empty()) {
    s.r = s.g = s.b = 255;
  } else {
    colour.resize(3, '\0');
    s.r = ColourDigit(colour[0]);
    s.g = ColourDigit(colour[1]);
    s.b = ColourDigit(colour[2]);
  }
}

}  // namespace

std::span<const ConfigKey> ConfigKeys() {
  return kKeys;
}

const SpeakerColour* GameConfig::FindSpeaker(const std::string& sjisName) const {
  for (int i = 1; i < kSpeakerEntries; ++i) {
    if (speakers[i].defined && speakers[i].name == sjisName) return &speakers[i];
  }
  for (int i = 1; i < kSpeakerEntries; ++i) {
    if (speakers[i].defined && !speakers[i].translatedName.empty() &&
        speakers[i].translatedName == sjisName) {
      return &speakers[i];
    }
  }
  return nullptr;
}

GameConfig ParseConfig(std::span<const uint8_t> text, std::vector<std::string>* problems) {
  GameConfig config;
  size_t pos = 0;
  while (pos < text.size()) {
    const auto end = std::find(text.begin() + static_cast<ptrdiff_t>(pos), text.end(), uint8_t{0});
    std::string line(text.begin() + static_cast<ptrdiff_t>(pos), end);
    pos = static_cast<size_t>(end - text.begin()) + 1;
    if (line == "END") break;
    if (line.empty() || line[0] == ';' || line[0] == '*') continue;
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const std::string key = UpperSjis(line.substr(0, colon));
    const std::string value = line.substr(colon + 1);
    if (key == "NAME") {
      ParseSpeaker(config, value, problems);
      continue;
    }
    for (const ConfigKey& k : kKeys) {
      if (key != k.name) continue;
      if (k.text) {
        config.*k.text = value;
      } else {
        config.*k.number = ReadDecimal(value.c_str());
      }
      break;
    }
  }
  return config;
}

}  // namespace zorvel
