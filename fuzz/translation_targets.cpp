// The PO reader and the translation built from it: translators' files come from anywhere.
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "targets.h"
#include "translation/po_file.h"
#include "translation/translation.h"

namespace zorvel::fuzz {

void FuzzPoFile(const uint8_t* data, size_t size) {
  PoFile file;
  const bool usable = ReadPo({data, size}, file);
  FUZZ_CHECK(file.problems.size() <= kMaxPoProblems);
  FUZZ_CHECK(file.entries.size() <= kMaxPoEntries);

  // What the reader kept, written out again, reads back the same.
  if (usable) {
    std::string again;
    for (const PoEntry& e : file.entries) {
      if (e.fuzzy) again += "#, fuzzy\n";
      if (e.hasContext) again += "msgctxt " + PoQuote(e.context) + "\n";
      again += "msgid " + PoQuote(e.id) + "\nmsgstr " + PoQuote(e.str) + "\n\n";
    }
    PoFile reread;
    FUZZ_CHECK(ReadPo({reinterpret_cast<const uint8_t*>(again.data()), again.size()}, reread));
    FUZZ_CHECK(reread.problems.empty());
    FUZZ_CHECK(reread.entries.size() == file.entries.size());
    for (size_t i = 0; i < reread.entries.size(); ++i) {
      FUZZ_CHECK(reread.entries[i].id == file.entries[i].id);
      FUZZ_CHECK(reread.entries[i].str == file.entries[i].str);
      FUZZ_CHECK(reread.entries[i].context == file.entries[i].context);
      FUZZ_CHECK(reread.entries[i].fuzzy == file.entries[i].fuzzy);
    }
  }

  Translation translation;
  std::vector<std::string> messages;
  translation.Load({data, size}, "fuzz.po", messages);
  for (const auto& [script, lines] : translation.Scripts()) {
    for (const auto& [line, text] : lines) {
      FUZZ_CHECK(line > 0);
      // A speaker line adds ">" and the buffer keeps its ending 0.
      FUZZ_CHECK(text.str.size() + 2 <= 2048);
    }
  }

  // The same bytes as a script: the texts found there rewrite to themselves.
  for (const std::vector<ScriptText>& texts :
       {CollectScriptTexts({data, size}), CollectMapCaptions({data, size})}) {
    for (const ScriptText& t : texts) {
      FUZZ_CHECK(t.line > 0);
      FUZZ_CHECK(!t.text.empty());
    }
  }
  const std::string_view all(reinterpret_cast<const char*>(data), size);
  const std::string_view first = all.substr(0, all.find('\0'));
  for (const ScriptText& t : CollectScriptTexts({data, size})) {
    if (t.line != 1) continue;
    std::string why;
    if (t.kind == TextKind::kStory || t.kind == TextKind::kSpeaker) {
      const auto same = RewriteLine(first, t.kind, t.text, t.text, why);
      FUZZ_CHECK(same && *same == first);
    }
  }
}

}  // namespace zorvel::fuzz
