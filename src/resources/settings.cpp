#include "resources/settings.h"

#include <climits>

#include "text/sjis.h"

namespace zorvel {

namespace {

#define TEXT(k) \
  { #k, &Settings::k, nullptr }
#define NUM(k) \
  { #k, nullptr, &Settings::k }

constexpr SettingKey kKeys[] = {
    TEXT(CDDir),        NUM(Left),
    NUM(Top),           NUM(BGM_ENA),
    NUM(SE_ENA),        NUM(Delay),
    NUM(GMode),         NUM(SMode),
    NUM(Clear),         NUM(Seen),
    NUM(BreakonSelect), NUM(MemorySaveMode),
    TEXT(FontName),     NUM(DirectSoundGlobal),
    NUM(AnimQuality),   NUM(RC_MODE),
    NUM(WHEEL_MODE),    NUM(CS_SWAP),
    NUM(EFX_CUT),       NUM(DatePanel),
    NUM(TXWStyle),      NUM(CV_THROUGH),
    NUM(CV1),           NUM(CV2),
    NUM(SE0),           NUM(SE1),
    NUM(SE2),           NUM(SE3),
    NUM(SE4),           NUM(SE_LVL0),
    NUM(SE_LVL1),       NUM(SE_LVL2),
    NUM(SE_LVL3),       NUM(SE_LVL4),
    NUM(Vol1),          NUM(Vol2),
    NUM(Vol3),          NUM(Vol4),
    NUM(FONTAA),        NUM(FONTSIZE),
    NUM(FONTBold),      TEXT(PlayerName),
    TEXT(PlayerName2),  NUM(LastSaveSlot),
    NUM(GV00),          NUM(GV01),
    NUM(GV02),          NUM(GV03),
    NUM(GV04),          NUM(GV05),
    NUM(GV06),          NUM(GV07),
    NUM(GV08),          NUM(GV09),
    NUM(TXBG_R),        NUM(TXBG_G),
    NUM(TXBG_B),        NUM(TXBG_A),
    NUM(TXBG_A2),       NUM(WordWrap),
    TEXT(Translation),
};

#undef TEXT
#undef NUM

const SettingKey* FindKey(const std::string& name) {
  for (const SettingKey& k : kKeys) {
    if (name == k.name) return &k;
  }
  return nullptr;
}

bool SectionIsSafe(const std::string& s) {
  if (s == "." || s == "..") return false;
  for (const char c : s) {
    if (c == '/' || c == '\\' || c == '[' || c == ']' || c == '\n' || c == '\r' || c == 0) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::span<const SettingKey> SettingKeys() {
  return kKeys;
}

std::optional<int32_t> ParseStoredInteger(const std::string& text) {
  size_t i = 0;
  const size_t n = text.size();
  while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < n && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  if (i == n || text[i] < '0' || text[i] > '9') return std::nullopt;
  int64_t v = 0;
  for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i) {
    v = v * 10 + (text[i] - '0');
    if (v > int64_t{INT32_MAX} + 1) return std::nullopt;
  }
  while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
  if (i != n) return std::nullopt;
  if (negative) v = -v;
  if (v > INT32_MAX || v < INT32_MIN) return std::nullopt;
  return static_cast<int32_t>(v);
}

SettingsLocation LocateSettings(const std::string& sjisKeyPath, const std::string& sjisSection) {
  SettingsLocation where;
  where.keyPath = SjisToUtf8(sjisKeyPath);
  where.section = SjisToUtf8(sjisSection);
  if (!SectionIsSafe(where.section)) return where;
  if (!where.keyPath.empty() && (where.keyPath[0] == '/' || where.keyPath[0] == '\\')) {
    return where;
  }
  if (where.keyPath.size() >= 2 && where.keyPath[1] == ':') return where;
  // Every component of the key path becomes a directory level; ".." would climb out.
  size_t start = 0;
  while (start <= where.keyPath.size()) {
    size_t end = where.keyPath.find_first_of("\\/", start);
    if (end == std::string::npos) end = where.keyPath.size();
    const std::string part = where.keyPath.substr(start, end - start);
    if (part == ".." || part == ".") return where;
    start = end + 1;
  }
  where.valid = true;
  return where;
}

std::string ReadCdDir(SettingsStore& store, const SettingsLocation& where) {
  if (!where.valid) return "NULL";
  const auto text = store.Read(where.keyPath, where.section, "CDDir");
  if (!text) return "NULL";
  auto sjis = Utf8ToSjis(*text);
  return sjis ? *sjis : "NULL";
}

Settings ReadSettings(SettingsStore& store, const SettingsLocation& where, const GameConfig& config,
                      int desktopWidth, int desktopHeight) {
  Settings s;
  s.Left = (desktopWidth - kWindowOuterWidth) / 2;
  s.Top = (desktopHeight - kWindowOuterHeight) / 2;
  s.FontName = config.FONT_NAME;
  s.PlayerName = config.DEFAULT_NAME;
  s.PlayerName2 = config.DEFAULT_NAME2;
  s.Vol1 = config.VOLUME1;
  s.Vol2 = config.VOLUME2;
  s.Vol3 = config.VOLUME3;
  s.Vol4 = config.VOLUME4;
  s.TXBG_R = config.TXW_COLOR_R;
  s.TXBG_G = config.TXW_COLOR_G;
  s.TXBG_B = config.TXW_COLOR_B;
  s.TXBG_A = config.TXW_ALPHA;
  s.TXBG_A2 = config.TXW_ALPHA2;
  if (where.valid) {
    for (const SettingKey& k : kKeys) {
      const auto text = store.Read(where.keyPath, where.section, k.name);
      if (!text) continue;
      if (k.text) {
        if (auto sjis = Utf8ToSjis(*text)) s.*k.text = *sjis;
      } else if (auto v = ParseStoredInteger(*text)) {
        s.*k.number = *v;
      }
    }
  }
  if (s.SMode == 0 && desktopWidth <= 600) s.SMode = 2;
  return s;
}

bool WriteSetting(SettingsStore& store, const SettingsLocation& where, Settings& settings,
                  const std::string& name, int32_t value) {
  const SettingKey* k = FindKey(name);
  if (!k || !k->number) return false;
  settings.*k->number = value;
  return where.valid && store.Write(where.keyPath, where.section, name, std::to_string(value));
}

bool WriteSetting(SettingsStore& store, const SettingsLocation& where, Settings& settings,
                  const std::string& name, const std::string& sjisText) {
  const SettingKey* k = FindKey(name);
  if (!k || !k->text) return false;
  settings.*k->text = sjisText;
  return where.valid && store.Write(where.keyPath, where.section, name, SjisToUtf8(sjisText));
}

}  // namespace zorvel
