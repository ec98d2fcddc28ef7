// Fuzz target bodies for the files a player, a test script or a modder hands over: the settings
// file, the headless events file, and the archives and scripts the tool reads.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "../tools/archive_reader.h"
#include "../tools/script_codec.h"
#include "fuzz_check.h"
#include "platform/files.h"
#include "platform/forgetful_settings_store.h"
#include "platform/headless/headless_platform.h"
#include "platform/ini_store.h"
#include "resources/game_config.h"
#include "resources/settings.h"
#include "scratch_dir.h"
#include "targets.h"
#include "text/sjis.h"

namespace zorvel::fuzz {

namespace {

ScratchDir& Scratch() {
  static ScratchDir dir;
  return dir;
}

bool WriteBytes(const std::string& path, const uint8_t* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  return static_cast<bool>(out);
}

// Settings store ---------------------------------------------------------------------------

constexpr char kKeyPath[] = "Software\\Zorvel\\Fuzz";
constexpr char kSection[] = "fuzz";

// Defaults that differ from the settings' own, so that a value read from the file shows.
GameConfig SettingsGameConfig() {
  constexpr char kText[] =
      "DEFAULT_NAME:A\0DEFAULT_NAME2:B\0FONT_NAME:font\0VOLUME1:80\0TXW_ALPHA:128";
  return ParseConfig({reinterpret_cast<const uint8_t*>(kText), sizeof kText});
}

// What the settings hold for `key` after reading `raw` from the store over `defaults`.
void CheckReadBack(const SettingKey& key, const std::optional<std::string>& raw,
                   const Settings& read, const Settings& defaults) {
  if (key.text) {
    std::optional<std::string> sjis;
    if (raw) sjis = Utf8ToSjis(*raw);
    FUZZ_CHECK(read.*key.text == (sjis ? *sjis : defaults.*key.text));
  } else {
    std::optional<int32_t> number;
    if (raw) number = ParseStoredInteger(*raw);
    FUZZ_CHECK(read.*key.number == number.value_or(defaults.*key.number));
  }
}

// Events file ------------------------------------------------------------------------------

bool SameInput(const InputEvent& a, const InputEvent& b) {
  return a.kind == b.kind && a.x == b.x && a.y == b.y && a.button == b.button &&
         a.delta == b.delta && a.key == b.key && a.ch == b.ch && a.text == b.text;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// Script codec -----------------------------------------------------------------------------

bool IsUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    const auto b = static_cast<uint8_t>(s[i]);
    size_t n = 0;
    uint32_t cp = 0;
    if (b < 0x80) {
      ++i;
      continue;
    } else if ((b & 0xE0) == 0xC0) {
      n = 1;
      cp = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
      n = 2;
      cp = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
      n = 3;
      cp = b & 0x07;
    } else {
      return false;
    }
    if (i + n >= s.size()) return false;
    for (size_t k = 1; k <= n; ++k) {
      const auto c = static_cast<uint8_t>(s[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = cp << 6 | (c & 0x3F);
    }
    constexpr uint32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kLeast[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += n + 1;
  }
  return true;
}

// Characters that have no code page 932 form of their own and are stored as another one, so
// they come back from the stored form as that other character.
struct Fold {
  std::string_view from;
  std::string_view to;
};
constexpr Fold kFolds[] = {
    {"\xC2\xA2", "\xEF\xBF\xA0"},      // cent sign
    {"\xC2\xA3", "\xEF\xBF\xA1"},      // pound sign
    {"\xC2\xA5", "\\"},                // yen sign: the byte 0x5C
    {"\xC2\xAC", "\xEF\xBF\xA2"},      // not sign
    {"\xE2\x80\x94", "\xE2\x80\x95"},  // em dash
    {"\xE2\x80\x96", "\xE2\x88\xA5"},  // double vertical line
    {"\xE2\x80\xBE", "~"},             // overline: the byte 0x7E
    {"\xE2\x88\x92", "\xEF\xBC\x8D"},  // minus sign
    {"\xE3\x80\x9C", "\xEF\xBD\x9E"},  // wave dash
};

// The text script-decode gives back for text that script-encode accepted: no byte order mark,
// every line ended by \n, folded characters in their stored form.
std::string Reencoded(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::string out;
  bool lineOpen = false;
  for (size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      out += '\n';
      lineOpen = false;
      i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
      continue;
    }
    lineOpen = true;
    bool folded = false;
    for (const Fold& f : kFolds) {
      if (text.substr(i).starts_with(f.from)) {
        out += f.to;
        i += f.from.size();
        folded = true;
        break;
      }
    }
    if (!folded) out += text[i++];
  }
  if (lineOpen) out += '\n';
  return out;
}

size_t CountLines(std::span<const uint8_t> stored) {
  size_t lines = 0;
  for (const uint8_t b : stored) lines += b == 0 ? 1 : 0;
  if (!stored.empty() && stored.back() != 0) ++lines;
  return lines;
}

}  // namespace

void FuzzSettingsStore(const uint8_t* data, size_t size) {
  if (Scratch().Path().empty()) return;
  IniSettingsStore store(Scratch().Path());
  const std::string file = store.FileFor(kKeyPath);
  FUZZ_CHECK(!file.empty());
  if (!MakeDirectories(file.substr(0, file.rfind('/'))) || !WriteBytes(file, data, size)) return;

  const SettingsLocation where = LocateSettings(kKeyPath, kSection);
  FUZZ_CHECK(where.valid);
  const GameConfig config = SettingsGameConfig();
  ForgetfulSettingsStore empty;
  const Settings defaults = ReadSettings(empty, where, config, 1920, 1080);
  const Settings read = ReadSettings(store, where, config, 1920, 1080);
  ReadCdDir(store, where);

  std::vector<std::optional<std::string>> raw;
  for (const SettingKey& key : SettingKeys()) {
    raw.push_back(store.Read(where.keyPath, where.section, key.name));
    // A value is the rest of one line.
    FUZZ_CHECK(!raw.back() || raw.back()->find('\n') == std::string::npos);
    CheckReadBack(key, raw.back(), read, defaults);
  }

  // Changing one value, as the settings dialog does, rewrites the file around it: every other
  // value must read back as it was, however the file was laid out.
  Settings changed = read;
  const int32_t clear = read.Clear == 7 ? 8 : 7;
  const std::string name = "\x83\x41\x83\x43";  // アイ
  if (!WriteSetting(store, where, changed, "Clear", clear) ||
      !WriteSetting(store, where, changed, "PlayerName", name)) {
    return;
  }
  FUZZ_CHECK(changed.Clear == clear && changed.PlayerName == name);
  const Settings reread = ReadSettings(store, where, config, 1920, 1080);
  size_t i = 0;
  for (const SettingKey& key : SettingKeys()) {
    const auto now = store.Read(where.keyPath, where.section, key.name);
    const std::string keyName = key.name;
    if (keyName != "Clear" && keyName != "PlayerName") FUZZ_CHECK(now == raw[i]);
    CheckReadBack(key, now, reread, defaults);
    ++i;
  }
  FUZZ_CHECK(reread.Clear == clear && reread.PlayerName == name);
}

void FuzzEventsFile(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<TimedEvent> events;
  std::string error;
  const bool ok = ParseEvents(text, events, error);
  if (!ok) {
    FUZZ_CHECK(error.rfind("events line ", 0) == 0);
    return;
  }
  FUZZ_CHECK(error.empty());

  std::vector<TimedEvent> again;
  FUZZ_CHECK(ParseEvents(text, again, error) && again.size() == events.size());

  std::vector<TimedEvent> replay;
  for (const TimedEvent& e : events) {
    const InputEvent& in = e.input;
    // Rows -24 to -1 are the tool bar strip above the game area.
    FUZZ_CHECK(in.x >= 0 && in.x < 800 && in.y >= -24 && in.y < 600);
    if (e.verb == TimedEvent::Verb::kScreenshot || e.verb == TimedEvent::Verb::kDump) {
      // The rest of the line, blanks around it dropped.
      FUZZ_CHECK(!e.file.empty() && !IsBlank(e.file.front()) && !IsBlank(e.file.back()));
      FUZZ_CHECK(e.file.find('\n') == std::string::npos);
    }
    // A screenshot would write wherever the line names; the fuzzer must not.
    if (e.verb != TimedEvent::Verb::kScreenshot) replay.push_back(e);
  }

  // The platform hands the input over in time order, lines of one time in file order, and
  // answers message boxes the same way.
  ForgetfulSettingsStore store;
  HeadlessPlatform platform(store);
  size_t dumps = 0;
  platform.SetDumpHandler([&dumps](const std::string&) { ++dumps; });
  platform.AddEvents(replay);
  std::vector<TimedEvent> expected = replay;
  std::stable_sort(expected.begin(), expected.end(),
                   [](const TimedEvent& a, const TimedEvent& b) { return a.ms < b.ms; });
  size_t wantDumps = 0;
  uint32_t last = 0;
  for (const TimedEvent& e : expected) {
    if (e.ms > last) {
      platform.Sleep(e.ms - last);
      last = e.ms;
    }
    if (e.verb == TimedEvent::Verb::kDump) ++wantDumps;
    if (e.verb == TimedEvent::Verb::kMessageBox) {
      const auto answer = platform.ShowMessageBox("", "", MessageBoxKind::kOkCancel);
      FUZZ_CHECK((answer == MessageBoxAnswer::kOk) == e.answerOk);
    } else if (e.verb == TimedEvent::Verb::kInput) {
      InputEvent got;
      FUZZ_CHECK(platform.PollEvent(got) && SameInput(got, e.input));
    }
  }
  InputEvent extra;
  FUZZ_CHECK(!platform.PollEvent(extra));
  FUZZ_CHECK(dumps == wantDumps);
  FUZZ_CHECK(platform.ShowMessageBox("", "", MessageBoxKind::kOkCancel) == MessageBoxAnswer::kOk);
}

void FuzzToolArchive(const uint8_t* data, size_t size) {
  if (Scratch().Path().empty()) return;
  const std::string path = Scratch().Path() + "/fuzz.kpz";
  if (!WriteBytes(path, data, size)) return;

  const tool::LoadedIndex guessed = tool::LoadIndex(path, std::nullopt);
  bool anyUsable = false;
  for (const IndexLayout layout : {IndexLayout::kA, IndexLayout::kB}) {
    const tool::LoadedIndex forced = tool::LoadIndex(path, layout);
    FUZZ_CHECK(forced.layout == layout);
    FUZZ_CHECK(forced.usable || forced.entries.empty());
    anyUsable = anyUsable || forced.usable;
    for (const ArchiveEntry& e : forced.entries) {
      FUZZ_CHECK(uint64_t{e.offset} + e.size <= size);
      FUZZ_CHECK(e.name.find('\0') == std::string::npos);
    }
    // The guess is one of the two readings, not a mixture.
    if (guessed.usable && guessed.layout == layout) {
      FUZZ_CHECK(forced.entries.size() == guessed.entries.size());
      for (size_t i = 0; i < forced.entries.size(); ++i) {
        FUZZ_CHECK(forced.entries[i].name == guessed.entries[i].name);
        FUZZ_CHECK(forced.entries[i].offset == guessed.entries[i].offset);
        FUZZ_CHECK(forced.entries[i].size == guessed.entries[i].size);
      }
      FUZZ_CHECK(forced.problems == guessed.problems);
    }
  }
  FUZZ_CHECK(guessed.usable == anyUsable);
  FUZZ_CHECK(guessed.usable || guessed.entries.empty());
}

void FuzzScriptCodec(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);

  // The bytes as a stored script.
  const tool::DecodedScript decoded = tool::DecodeScript(bytes);
  FUZZ_CHECK(IsUtf8(decoded.text));
  // One line of text a stored line; a line-break byte inside one adds a break and a warning.
  const auto breaks =
      static_cast<size_t>(std::count(decoded.text.begin(), decoded.text.end(), '\n'));
  FUZZ_CHECK(decoded.warnings.empty() ? breaks == CountLines(bytes) : breaks >= CountLines(bytes));
  FUZZ_CHECK(decoded.warnings.size() <= 11);
  std::vector<uint8_t> stored;
  tool::ScriptError error;
  if (decoded.warnings.empty()) {
    // Clean text encodes again, and from then on the two forms stay the same.
    FUZZ_CHECK(tool::EncodeScript(decoded.text, stored, error));
    const tool::DecodedScript again = tool::DecodeScript(stored);
    FUZZ_CHECK(again.warnings.empty() && again.text == decoded.text);
  }

  // The bytes as script text an author wrote.
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (!tool::EncodeScript(text, stored, error)) {
    FUZZ_CHECK(error.line >= 1 && error.column >= 1 && !error.what.empty());
    return;
  }
  FUZZ_CHECK(IsUtf8(text));
  const tool::DecodedScript back = tool::DecodeScript(stored);
  FUZZ_CHECK(back.warnings.empty());
  FUZZ_CHECK(back.text == Reencoded(text));
}

}  // namespace zorvel::fuzz
