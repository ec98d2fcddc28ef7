// The interpreter step: fetches script lines, hands story characters to the text output and
// command lines to the command table, and returns as soon as something has to be waited for.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "core/engine_state.h"
#include "resources/archive_set.h"
#include "script/expressions.h"
#include "script/script_host.h"

namespace zorvel {

class CommandTable;
class Translation;
struct TranslatedText;

// Offset returned by the searches when nothing matches: past the end of any script.
constexpr int32_t kNotFound = 16777215;

class Interpreter {
 public:
  Interpreter(EngineState& state, ScriptLoader& loader, Expressions& expressions,
              CommandTable& commands, ScriptHost& host)
      : s_(state), loader_(loader), expr_(expressions), commands_(commands), host_(host) {}

  void Step();

  void GotoLabel(const char* label);
  int32_t FindLineStart(int32_t from, uint8_t first) const;
  int32_t FindNamedBlockEnd(int32_t from, const char* name) const;
  // The "}" line that ends an unnamed block: "}:" lines end named blocks nested in it.
  int32_t FindBlockEnd(int32_t from) const;
  int32_t FindNamedBlock(int32_t from, const char* name) const;
  int32_t FindByte(int32_t from, uint8_t byte) const;

  // Adds bytes to the history line being written (a tail past its slot is dropped).
  void AppendHistory(const char* bytes, int len);
  void CommitHistoryLine();
  // Pops one call and resumes the caller's script after its `call` line.
  void ReturnFromCall();

  // A single Step gives the idle pass back after this many lines even if nothing waits, so a
  // script that jumps in a circle cannot freeze the window.
  static constexpr int kMaxLinesPerStep = 1 << 17;
  // Nor after reading this many script bytes in line fetches and searches: one jump may scan the
  // whole script for its label, so a circle of a few lines can stay under the line limit and
  // still hold the window for minutes.
  static constexpr int64_t kMaxBytesPerStep = int64_t{1} << 26;
  // Tighter limits for callers that cannot afford a million lines in one pass (fuzzing).
  void SetStepLimits(int lines, int64_t bytes) {
    maxLines_ = lines;
    maxBytes_ = bytes;
  }

  // Story lines and speaker names are shown from `translation` (null: none) as they are fetched;
  // positions stay those of the script as it is.
  void UseTranslation(const Translation* translation);
  const Translation* CurrentTranslation() const { return translation_; }
  // The translation of the loaded script's line that starts at `lineOffset`, or null; readers of
  // choice and branch lines check that it still translates what they read there.
  const TranslatedText* TranslationAt(int32_t lineOffset);

 private:
  enum class Flow { kContinue, kReturn };
  Flow FetchLine();
  Flow DispatchLine();
  Flow StoryChar();
  Flow InlineTag();
  // Shows one character and, when `keep`, adds it to the history line.
  void ShowChar(const char* bytes, int len, bool& stop, bool keep = true);
  void SetSubstitution(const char* text);
  // The text a ＄ and digit at `p` stands for, or null when it names none.
  const char* DollarText(const char* p) const;
  // At what may be a word's first element (a letter, or a tag or ruby before one): tells the
  // text page how many letters the word holds, once per word.
  void NoteWordStart();
  // Half-width letters from here to the next space, full-width character or line end, looking
  // through tags, ruby, waits and substitutions.
  int WordLetters() const;
  bool LineStartsWith(int32_t pos, const char* text) const;
  void IndexLabels();
  // Which lines of the loaded script have a translation, by their offsets, with the story and
  // speaker lines rewritten once for every fetch.
  void IndexTranslation();
  void TranslateFetchedLine();
  // A problem with one PO entry, said once however often its script loads.
  void ReportTranslation(int poLine, const std::string& what);

  EngineState& s_;
  ScriptLoader& loader_;
  Expressions& expr_;
  CommandTable& commands_;
  ScriptHost& host_;
  int maxLines_ = kMaxLinesPerStep;
  int64_t maxBytes_ = kMaxBytesPerStep;
  // The text after each ":" of the loaded script up to its line end, by a hash of its ASCII-folded
  // bytes, so a jump costs a lookup instead of a scan from the top. Hashes, not copies: a
  // hostile line of many colons would otherwise store a copy of its tail for every one of them.
  std::unordered_multimap<uint64_t, int32_t> labels_;
  uint64_t labelsForLoad_ = UINT64_MAX;
  int32_t labelsForSize_ = -1;
  struct TranslatedLine {
    const TranslatedText* text = nullptr;
    std::string line;  // the line to fetch instead; empty when the line is read elsewhere
  };
  const Translation* translation_ = nullptr;
  std::unordered_map<int32_t, TranslatedLine> translated_;
  uint64_t translatedForLoad_ = UINT64_MAX;
  int32_t translatedForSize_ = -1;
  std::string translatedForScript_;
  std::unordered_set<int> reportedPoLines_;
  // Script bytes read since the current Step began; the searches are const but count too.
  mutable int64_t bytesRead_ = 0;
  // Between a word's first letter and the space or full-width character after it: the page
  // was told about this word already.
  bool inWord_ = false;
};

}  // namespace zorvel
