#include "translation/translation.h"

#include <algorithm>
#include <cstdio>

#include "core/engine_state.h"
#include "text/sjis.h"

namespace zorvel {

namespace {

// A speaker line puts ">" before its name, and the line buffer keeps one byte for the ending 0.
constexpr size_t kMaxTranslatedLine = kLineBufferSize - 2;

constexpr uint8_t kLead81 = 0x81;
constexpr uint8_t kDollar = 0x90;         // ＄
constexpr uint8_t kDownTriangle = 0xA5;   // ▼
constexpr uint8_t kWhiteTriangle = 0xA4;  // ▽

std::vector<std::string_view> SplitLines(std::span<const uint8_t> text) {
  std::vector<std::string_view> lines;
  const std::string_view all(reinterpret_cast<const char*>(text.data()), text.size());
  for (size_t pos = 0; pos < all.size();) {
    size_t end = all.find('\0', pos);
    if (end == std::string_view::npos) end = all.size();
    lines.push_back(all.substr(pos, end - pos));
    pos = end + 1;
  }
  return lines;
}

size_t SjisCharLength(std::string_view s, size_t i) {
  const auto b = static_cast<uint8_t>(s[i]);
  if (IsSingleByteChar(b) || i + 1 >= s.size()) return 1;
  return 2;
}

bool StartsWithWord(std::string_view line, std::string_view word) {
  if (line.size() < word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    char c = line[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (c != word[i]) return false;
  }
  return true;
}

// A choice line after its "{": its conditions as written, and the text a player reads; nothing
// when a string variable gives the text.
struct ChoiceParts {
  std::string conditions;
  std::string text;
};
std::optional<ChoiceParts> SplitChoice(std::string_view rest) {
  ChoiceParts parts;
  for (size_t p = 0; p < rest.size();) {
    if (rest[p] == '(') {
      size_t close = rest.find(')', p);
      close = close == std::string_view::npos ? rest.size() : close + 1;
      parts.conditions.append(rest.substr(p, close - p));
      p = close;
      continue;
    }
    if (rest[p] == '$') return std::nullopt;
    const size_t n = SjisCharLength(rest, p);
    parts.text.append(rest.substr(p, n));
    p += n;
  }
  return parts;
}

// A `clickmap` branch line after its "{": its condition as written and the area's new name;
// nothing for the timeout line.
std::optional<std::pair<std::string, std::string>> SplitBranch(std::string_view rest) {
  size_t p = 0;
  if (!rest.empty() && rest[0] == '(') {
    const size_t close = rest.find(')');
    p = close == std::string_view::npos ? rest.size() : close + 1;
  }
  if (p < rest.size() && rest[p] == '@') return std::nullopt;
  return std::pair{std::string(rest.substr(0, p)), std::string(rest.substr(p))};
}

}  // namespace

std::optional<std::string> RenameArea(std::string_view name, std::string_view id,
                                      std::string_view str, bool inMapScript, std::string& why) {
  const auto parts = SplitCaption(name);
  if (!parts || parts->caption != id) {
    why = "the script's caption differs from the msgid";
    return std::nullopt;
  }
  if (parts->kind.empty() && !str.empty() && (str[0] == '$' || str[0] == '*' || str[0] == '#')) {
    why = "the translation would change what the area does (it starts with \"";
    why.append(str.substr(0, 1)).append("\")");
    return std::nullopt;
  }
  if (inMapScript && str.find_first_of(",:") != std::string_view::npos) {
    why = "an area name in the map script cannot hold \",\" or \":\"";
    return std::nullopt;
  }
  return parts->kind + std::string(str);
}

namespace {

std::string DescribeCharacter(std::string_view utf8, size_t at) {
  if (at >= utf8.size()) return "a character";
  const auto b = static_cast<uint8_t>(utf8[at]);
  const size_t len = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
  uint32_t cp = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
  for (size_t k = 1; k < len && at + k < utf8.size(); ++k) {
    cp = cp << 6 | (static_cast<uint8_t>(utf8[at + k]) & 0x3F);
  }
  char code[16];
  std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(cp));
  std::string out = "'";
  out.append(utf8.substr(at, len)).append("' (").append(code).append(")");
  return out;
}

}  // namespace

std::optional<TextPlace> ParseTextPlace(std::string_view context) {
  const size_t colon = context.rfind(':');
  if (colon == std::string_view::npos || colon == 0 || colon + 1 >= context.size()) {
    return std::nullopt;
  }
  const std::string_view digits = context.substr(colon + 1);
  if (digits.size() > 7) return std::nullopt;
  int line = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    line = line * 10 + (c - '0');
  }
  if (line <= 0) return std::nullopt;
  const std::string_view name = context.substr(0, colon);
  if (name.size() >= static_cast<size_t>(kNameSize)) return std::nullopt;
  const auto sjis = Utf8ToSjis(name);
  if (!sjis) return std::nullopt;
  return TextPlace{UpperSjis(*sjis), line};
}

size_t FitSjis(std::string_view sjis, size_t limit) {
  size_t i = 0;
  while (i < sjis.size()) {
    const size_t n = SjisCharLength(sjis, i);
    if (i + n > limit) break;
    i += n;
  }
  return i;
}

bool Translation::Load(std::span<const uint8_t> po, const std::string& fileLabel,
                       std::vector<std::string>& messages) {
  scripts_.clear();
  count_ = 0;
  label_ = fileLabel;
  PoFile file;
  const bool usable = ReadPo(po, file);
  for (const PoProblem& p : file.problems) {
    messages.push_back(DescribePoProblem(fileLabel, p) + "; the entry is not used");
  }
  if (file.moreProblems > 0) {
    messages.push_back(fileLabel + ": " + std::to_string(file.moreProblems) + " more problems");
  }
  if (!usable) return false;
  const auto at = [&fileLabel](int line) { return fileLabel + ":" + std::to_string(line) + ": "; };
  for (PoEntry& e : file.entries) {
    if (e.fuzzy || e.str.empty() || e.id.empty()) continue;
    const auto place = ParseTextPlace(e.context);
    if (!place) {
      messages.push_back(at(e.line) + "msgctxt \"" + e.context.substr(0, 80) +
                         "\" does not name a script line as SCRIPT:LINE; the entry is not used");
      continue;
    }
    if (e.str.find_first_of(std::string_view("\n\r\0", 3)) != std::string::npos) {
      messages.push_back(at(e.strLine) +
                         "the msgstr holds a line break or a 0 byte, which a script line cannot; "
                         "the original is shown");
      continue;
    }
    size_t bad = 0;
    auto id = Utf8ToSjis(e.id, &bad);
    if (!id) {
      messages.push_back(at(e.line) + "the msgid holds " + DescribeCharacter(e.id, bad) +
                         ", which no Shift-JIS script holds; the entry is not used");
      continue;
    }
    auto str = Utf8ToSjis(e.str, &bad);
    if (!str) {
      messages.push_back(at(e.strLine) + "the msgstr cannot be written in Shift-JIS (code page " +
                         "932): " + DescribeCharacter(e.str, bad) + " has no form there; the " +
                         "original \"" + e.id.substr(0, 120) + "\" is shown");
      continue;
    }
    if (str->size() > kMaxTranslatedLine) {
      const size_t keep = FitSjis(*str, kMaxTranslatedLine);
      messages.push_back(at(e.strLine) + "the translation is " + std::to_string(str->size()) +
                         " bytes in Shift-JIS, more than the " +
                         std::to_string(kMaxTranslatedLine) + " a script line holds; cut after " +
                         std::to_string(keep) + " bytes");
      str->resize(keep);
    }
    auto& lines = scripts_[place->script];
    const auto [it, added] =
        lines.try_emplace(place->line, TranslatedText{std::move(*id), std::move(*str), e.strLine});
    if (!added) {
      messages.push_back(at(e.line) + "a second translation for " + e.context +
                         " (the first is at line " + std::to_string(it->second.poLine) +
                         "); it is not used");
      continue;
    }
    ++count_;
  }
  return count_ > 0;
}

const std::unordered_map<int, TranslatedText>* Translation::Lines(std::string_view script) const {
  const auto it = scripts_.find(UpperSjis(script));
  return it == scripts_.end() ? nullptr : &it->second;
}

const TranslatedText* Translation::Find(std::string_view script, int line) const {
  const auto* lines = Lines(script);
  if (lines == nullptr) return nullptr;
  const auto it = lines->find(line);
  return it == lines->end() ? nullptr : &it->second;
}

bool IsStoryLine(std::string_view line) {
  if (line.empty()) return false;
  switch (line[0]) {
    case ':':
    case ';':
    case '}':
    case '{':
    case '!':
    case '*':
    case '@':
    case '>':
    case '\\':
    case '~':
    case '+':
    case '=':
      return false;
    default:
      return true;
  }
}

std::optional<CaptionParts> SplitCaption(std::string_view name) {
  if (name.empty() || name[0] == '$') return std::nullopt;
  CaptionParts parts;
  if (name[0] == '*' || name[0] == '#') {
    parts.kind = std::string(1, name[0]);
    name.remove_prefix(1);
  }
  if (name.empty()) return std::nullopt;
  parts.caption = std::string(name);
  return parts;
}

std::vector<ScriptText> CollectScriptTexts(std::span<const uint8_t> script) {
  enum class Block { kNone, kSelect, kClickmap };
  std::vector<ScriptText> out;
  Block block = Block::kNone;
  std::string speaker;
  int number = 0;
  for (const std::string_view line : SplitLines(script)) {
    ++number;
    if (line.empty()) continue;
    switch (line[0]) {
      case '@':
      case '*':
        if (StartsWithWord(line.substr(1), "SELECT")) block = Block::kSelect;
        if (StartsWithWord(line.substr(1), "CLICKMAP ")) block = Block::kClickmap;
        continue;
      case '{':
        if (block == Block::kSelect) {
          const auto parts = SplitChoice(line.substr(1));
          if (parts && !parts->text.empty()) {
            out.push_back({number, TextKind::kChoice, parts->text, {}});
          }
        } else if (block == Block::kClickmap) {
          const auto branch = SplitBranch(line.substr(1));
          if (branch) {
            if (const auto parts = SplitCaption(branch->second)) {
              out.push_back({number, TextKind::kCaption, parts->caption, {}});
            }
          }
        }
        continue;
      case '}':
        block = Block::kNone;
        continue;
      case '>': {
        const std::string_view name = line.substr(1);
        speaker = std::string(name);
        const bool variable = name.size() >= 4 && static_cast<uint8_t>(name[0]) == kLead81 &&
                              static_cast<uint8_t>(name[1]) == kDollar;
        if (!name.empty() && !variable) out.push_back({number, TextKind::kSpeaker, speaker, {}});
        continue;
      }
      case '\\':
      case '~':
      case '+':
        speaker.clear();
        continue;
      default:
        break;
    }
    if (!IsStoryLine(line)) continue;
    out.push_back({number, TextKind::kStory, std::string(line), speaker});
    for (size_t i = 0; i < line.size();) {
      const size_t n = SjisCharLength(line, i);
      if (n == 2 && static_cast<uint8_t>(line[i]) == kLead81 &&
          (static_cast<uint8_t>(line[i + 1]) == kDownTriangle ||
           static_cast<uint8_t>(line[i + 1]) == kWhiteTriangle)) {
        speaker.clear();
        break;
      }
      i += n;
    }
  }
  return out;
}

std::vector<ScriptText> CollectMapCaptions(std::span<const uint8_t> mapScript) {
  std::vector<ScriptText> out;
  const std::vector<std::string_view> lines = SplitLines(mapScript);
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].empty() || lines[i][0] != ':' || i + 1 >= lines.size()) continue;
    int count = 0;
    for (const char c : lines[i + 1]) {
      if (c < '0' || c > '9' || count > 1000) break;
      count = count * 10 + (c - '0');
    }
    i += 1;
    for (int k = 0; k < std::min(count, 32) && i + 1 < lines.size(); ++k) {
      i += 1;
      const std::string_view name = lines[i].substr(0, lines[i].find(','));
      if (const auto parts = SplitCaption(name)) {
        out.push_back({static_cast<int>(i + 1), TextKind::kMapCaption, parts->caption, {}});
      }
    }
  }
  return out;
}

std::optional<std::string> RewriteLine(std::string_view line, TextKind kind, std::string_view id,
                                       std::string_view str, std::string& why) {
  switch (kind) {
    case TextKind::kStory:
      if (!IsStoryLine(line) || line != id) {
        why = "the script's line differs from the msgid";
        return std::nullopt;
      }
      if (!IsStoryLine(str)) {
        why = "the translation would start a script line of another kind (it begins with \"";
        why.append(str.substr(0, 1)).append("\"); begin it with another character");
        return std::nullopt;
      }
      return std::string(str);
    case TextKind::kSpeaker:
      if (line.empty() || line[0] != '>' || line.substr(1) != id) {
        why = "the script's speaker line differs from the msgid";
        return std::nullopt;
      }
      return ">" + std::string(str);
    case TextKind::kChoice: {
      const auto parts =
          !line.empty() && line[0] == '{' ? SplitChoice(line.substr(1)) : std::nullopt;
      if (!parts || parts->text != id) {
        why = "the script's choice differs from the msgid";
        return std::nullopt;
      }
      // A condition may stand inside the text; an unchanged choice keeps the line as written.
      if (str == id) return std::string(line);
      if (str.find_first_of("($") != std::string_view::npos) {
        why =
            "a choice's translation cannot hold \"(\" or \"$\", which the choice list reads as "
            "a condition or a string variable";
        return std::nullopt;
      }
      return "{" + parts->conditions + std::string(str);
    }
    case TextKind::kCaption: {
      const auto branch =
          !line.empty() && line[0] == '{' ? SplitBranch(line.substr(1)) : std::nullopt;
      if (!branch) {
        why = "the script's line is not a click-map caption";
        return std::nullopt;
      }
      const auto name = RenameArea(branch->second, id, str, false, why);
      if (!name) return std::nullopt;
      if (name->front() == '@' || (branch->first.empty() && name->front() == '(')) {
        why = "the translation would make the line a timeout or a condition (it begins with \"";
        why.append(name->substr(0, 1)).append("\")");
        return std::nullopt;
      }
      return "{" + branch->first + *name;
    }
    case TextKind::kMapCaption: {
      const size_t comma = std::min(line.find(','), line.size());
      const auto name = RenameArea(line.substr(0, comma), id, str, true, why);
      if (!name) return std::nullopt;
      return *name + std::string(line.substr(comma));
    }
  }
  return std::nullopt;
}

}  // namespace zorvel
