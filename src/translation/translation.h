// Translations: the texts of a game's scripts (story lines, speaker names, choices and click-map
// captions), each named by its script and line, with a translated text read from a PO file.
// The scripts themselves never change: whoever shows a text asks for its translation at the
// moment it is shown, so positions, labels and variables stay the original's and saved games
// load with or without a translation.
//
// Also here: which lines of a script hold a translatable text, and how a line is rewritten with
// a translation, shared by the interpreter and by zorvel-tool's text-export and text-import.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "translation/po_file.h"

namespace zorvel {

// The script whose lines a click map's areas are read from.
inline constexpr std::string_view kMapScriptName = "MAP";

// The translation of one text, in Shift-JIS.
struct TranslatedText {
  std::string id;   // the original text, as the msgid gives it
  std::string str;  // the translation, cut to what a script line holds
  int poLine = 0;   // where its msgstr stands in the PO file
};

class Translation {
 public:
  // Reads a PO file. Entries that cannot be used are described in `messages` ("FILE:LINE: ...")
  // and left out: a context that is not SCRIPT:LINE, a msgstr with a line break or a character
  // that Shift-JIS (code page 932) cannot write. Fuzzy and empty entries are left out silently:
  // the original shows for them. A translation longer than a script line is cut on a character
  // boundary with a message. False when the file gives nothing to use.
  bool Load(std::span<const uint8_t> po, const std::string& fileLabel,
            std::vector<std::string>& messages);

  // A translation is in use: at least one text is translated.
  bool InUse() const { return count_ > 0; }
  size_t Count() const { return count_; }
  const std::string& FileLabel() const { return label_; }

  // The lines of one script that have a translation (script name compared upper-cased), or null.
  const std::unordered_map<int, TranslatedText>* Lines(std::string_view sjisScript) const;
  const TranslatedText* Find(std::string_view sjisScript, int line) const;
  // Every translated text, by script (upper-cased) and line.
  const std::map<std::string, std::unordered_map<int, TranslatedText>, std::less<>>& Scripts()
      const {
    return scripts_;
  }

 private:
  std::map<std::string, std::unordered_map<int, TranslatedText>, std::less<>> scripts_;
  size_t count_ = 0;
  std::string label_;
};

// "SCRIPT:LINE" of a msgctxt: the script name in Shift-JIS, upper-cased, and the line (1-based).
struct TextPlace {
  std::string script;
  int line = 0;
};
std::optional<TextPlace> ParseTextPlace(std::string_view utf8Context);

enum class TextKind {
  kStory,       // a line of story text, inline tags and all
  kSpeaker,     // the name of a speaker line, after its ">"
  kChoice,      // a choice line of `select`, its conditions left out
  kCaption,     // a branch line of `clickmap` that renames its area
  kMapCaption,  // an area's name in the "map" script
};

// One translatable text of a script, in Shift-JIS.
struct ScriptText {
  int line = 0;  // 1-based
  TextKind kind = TextKind::kStory;
  std::string text;
  std::string speaker;  // story lines: the speaker of the page, when one was named
};

// The texts of a story script (decoded, lines ended by 0 bytes), in line order.
std::vector<ScriptText> CollectScriptTexts(std::span<const uint8_t> script);
// The area names of the "map" script.
std::vector<ScriptText> CollectMapCaptions(std::span<const uint8_t> mapScript);

// True for a line the interpreter types as story text (its first byte marks no other kind).
bool IsStoryLine(std::string_view sjisLine);

// An area name split into the kind character that decides what the area does ("*", "#") and
// the caption a player reads; nothing to translate for a colour area ("$") or an empty name.
struct CaptionParts {
  std::string kind;
  std::string caption;
};
std::optional<CaptionParts> SplitCaption(std::string_view sjisName);

// An area's name (a map script entry's first field, or a branch line's text) with its caption
// replaced by `str` when the caption is `id`; otherwise nothing, with `why` saying what stands in
// the way. The kind character stays, and a translation cannot give the area another kind.
std::optional<std::string> RenameArea(std::string_view sjisName, std::string_view id,
                                      std::string_view str, bool inMapScript, std::string& why);

// `line` (Shift-JIS, without its 0 byte) with its text of `kind` replaced by `str`, when its text
// is `id`. Otherwise nothing, with `why` saying what stands in the way.
std::optional<std::string> RewriteLine(std::string_view line, TextKind kind, std::string_view id,
                                       std::string_view str, std::string& why);

// Bytes of the longest prefix of `sjis` within `limit` that does not split a character.
size_t FitSjis(std::string_view sjis, size_t limit);

}  // namespace zorvel
