// Gettext PO files, the form translators' tools (Poedit, Weblate, msgmerge) read and write. The
// reader takes untrusted text: every entry it cannot use is named by its line and left out, the
// rest is kept, and nothing a PO file holds can make it read or allocate without bound.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zorvel {

struct PoEntry {
  std::string context;  // msgctxt, UTF-8; empty when the entry has none
  bool hasContext = false;
  std::string id;   // msgid
  std::string str;  // msgstr, or msgstr[0] of a plural entry
  bool fuzzy = false;
  int line = 0;     // where the entry's first keyword stands, 1-based
  int strLine = 0;  // where its msgstr starts
};

struct PoProblem {
  int line = 0;  // 1-based; 0 for the file as a whole
  std::string what;
};

struct PoFile {
  // Entries in file order, the header (empty msgid without a context) left out.
  std::vector<PoEntry> entries;
  std::vector<PoProblem> problems;
  // Problems past kMaxPoProblems are only counted.
  size_t moreProblems = 0;
};

// Bounds on what one PO file may hold; past them the reader stops with a problem.
constexpr size_t kMaxPoBytes = size_t{32} << 20;
constexpr size_t kMaxPoEntries = 200000;
constexpr size_t kMaxPoString = size_t{1} << 20;
constexpr size_t kMaxPoProblems = 100;

// Reads a PO file in UTF-8. Entries with a problem (what `msgfmt --check` refuses: bad syntax,
// unknown escapes, duplicates, a msgid and msgstr that disagree on a leading or trailing line
// break, text that is not UTF-8) are left out and described in `problems`. False when the file
// as a whole cannot be used (too large, or a header naming another character set).
bool ReadPo(std::span<const uint8_t> bytes, PoFile& out);

// "FILE:LINE: WHAT" (or "FILE: WHAT" for the file as a whole).
std::string DescribePoProblem(std::string_view file, const PoProblem& problem);

// A UTF-8 text as a quoted PO string: backslash, quote and control characters escaped.
std::string PoQuote(std::string_view utf8);

}  // namespace zorvel
