#include "translation/po_file.h"

#include <algorithm>
#include <map>
#include <optional>
#include <utility>

namespace zorvel {

namespace {

bool ValidUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    const auto b = static_cast<uint8_t>(s[i]);
    size_t len = 0;
    uint32_t cp = 0;
    if (b < 0x80) {
      ++i;
      continue;
    }
    if (b >= 0xC2 && b <= 0xDF) {
      len = 2;
      cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      len = 3;
      cp = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      len = 4;
      cp = b & 0x07;
    } else {
      return false;
    }
    if (i + len > s.size()) return false;
    for (size_t k = 1; k < len; ++k) {
      const auto c = static_cast<uint8_t>(s[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = cp << 6 | (c & 0x3F);
    }
    // Overlong forms, surrogates and code points past U+10FFFF.
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF)) {
      return false;
    }
    i += len;
  }
  return true;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// One quoted string at the start of `s` (after blanks): its decoded bytes appended to `out`.
// Returns the problem, or an empty string.
std::string ReadQuoted(std::string_view s, std::string& out) {
  s = Trim(s);
  if (s.empty() || s.front() != '"') return "a quoted string was expected";
  size_t i = 1;
  for (;;) {
    if (i >= s.size()) return "the string has no closing quote";
    const char c = s[i++];
    if (c == '"') break;
    if (c != '\\') {
      out.push_back(c);
    } else {
      if (i >= s.size()) return "the string has no closing quote";
      const char e = s[i++];
      switch (e) {
        case 'n':
          out.push_back('\n');
          break;
        case 't':
          out.push_back('\t');
          break;
        case 'r':
          out.push_back('\r');
          break;
        case 'a':
          out.push_back('\a');
          break;
        case 'b':
          out.push_back('\b');
          break;
        case 'f':
          out.push_back('\f');
          break;
        case 'v':
          out.push_back('\v');
          break;
        case '\\':
        case '"':
        case '\'':
        case '?':
          out.push_back(e);
          break;
        case 'x': {
          int value = 0;
          int digits = 0;
          while (digits < 2 && i < s.size() && HexValue(s[i]) >= 0) {
            value = value * 16 + HexValue(s[i++]);
            ++digits;
          }
          if (digits == 0) return "\\x without hex digits";
          out.push_back(static_cast<char>(value));
          break;
        }
        default:
          if (e >= '0' && e <= '7') {
            int value = e - '0';
            for (int k = 0; k < 2 && i < s.size() && s[i] >= '0' && s[i] <= '7'; ++k) {
              value = value * 8 + (s[i++] - '0');
            }
            if (value > 0xFF) return "an octal escape past \\377";
            out.push_back(static_cast<char>(value));
            break;
          }
          std::string why = "unknown escape sequence \\";
          if (static_cast<uint8_t>(e) >= 0x20 && static_cast<uint8_t>(e) < 0x7F) {
            why.push_back(e);
          } else {
            why.append("x").append(std::to_string(static_cast<uint8_t>(e)));
          }
          return why;
      }
    }
    if (out.size() > kMaxPoString) return "the string is longer than a PO string may be here";
  }
  if (!Trim(s.substr(i)).empty()) return "text follows the closing quote";
  return {};
}

// The charset a header's Content-Type names, or nothing.
std::optional<std::string> HeaderCharset(std::string_view header) {
  constexpr std::string_view kKey = "charset=";
  for (size_t start = 0; start < header.size();) {
    size_t end = header.find('\n', start);
    if (end == std::string_view::npos) end = header.size();
    const std::string_view line = header.substr(start, end - start);
    std::string lower(line);
    for (char& c : lower) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    if (lower.starts_with("content-type:")) {
      const size_t at = lower.find(kKey);
      if (at == std::string::npos) return std::nullopt;
      std::string_view value = line.substr(at + kKey.size());
      const size_t stop = value.find_first_of("; \t");
      return std::string(Trim(value.substr(0, stop)));
    }
    start = end + 1;
  }
  return std::nullopt;
}

class Reader {
 public:
  explicit Reader(PoFile& out) : out_(out) {}

  bool Run(std::string_view text) {
    size_t lineNumber = 0;
    for (size_t pos = 0; pos < text.size() && !stopped_;) {
      size_t end = text.find('\n', pos);
      if (end == std::string_view::npos) end = text.size();
      ++lineNumber;
      line_ = static_cast<int>(std::min<size_t>(lineNumber, INT32_MAX));
      Line(text.substr(pos, end - pos));
      pos = end + 1;
    }
    if (!stopped_) EndEntry(true);
    return !fatal_;
  }

 private:
  enum class Field { kNone, kContext, kId, kPlural, kStr, kOtherStr };

  void Problem(int line, std::string what) {
    if (out_.problems.size() < kMaxPoProblems) {
      out_.problems.push_back({line, std::move(what)});
    } else {
      out_.moreProblems += 1;
    }
  }
  void Fatal(int line, std::string what) {
    Problem(line, std::move(what));
    fatal_ = true;
    stopped_ = true;
  }
  // The entry being read has a problem: it is reported and left out.
  void Spoil(std::string what) {
    if (!entryBad_) Problem(line_, std::move(what));
    entryBad_ = true;
  }

  bool Started() const { return hasContext_ || hasId_; }

  void Reset() {
    entry_ = PoEntry{};
    hasContext_ = hasId_ = hasStr_ = false;
    entryBad_ = false;
    field_ = Field::kNone;
  }

  // The first keyword of an entry: a "#, fuzzy" read before it belongs to it.
  void Begin() {
    if (Started()) return;
    entry_.line = line_;
    entry_.fuzzy = fuzzyNext_;
    fuzzyNext_ = false;
  }

  // The entry read so far is complete (or must be): keep it, or say why not.
  void EndEntry(bool atBoundary) {
    if (!Started()) {
      if (atBoundary) field_ = Field::kNone;
      return;
    }
    if (!hasStr_) {
      if (!entryBad_) Problem(entry_.line, "the entry has no msgstr");
      Reset();
      return;
    }
    if (!entryBad_) Keep();
    Reset();
  }

  void Keep() {
    PoEntry& e = entry_;
    if (!ValidUtf8(e.context) || !ValidUtf8(e.id) || !ValidUtf8(e.str)) {
      Problem(e.line, "the entry is not valid UTF-8");
      return;
    }
    if (!e.id.empty() && !e.str.empty()) {
      if ((e.id.front() == '\n') != (e.str.front() == '\n')) {
        Problem(e.strLine, "msgid and msgstr do not both begin with a line break");
        return;
      }
      if ((e.id.back() == '\n') != (e.str.back() == '\n')) {
        Problem(e.strLine, "msgid and msgstr do not both end with a line break");
        return;
      }
    }
    std::string key = (e.hasContext ? "1" : "0") + e.context;
    key.push_back('\x04');
    key += e.id;
    const auto [it, added] = seen_.emplace(std::move(key), e.line);
    if (!added) {
      Problem(e.line, "duplicate message definition (first defined at line " +
                          std::to_string(it->second) + ")");
      return;
    }
    if (e.id.empty() && !e.hasContext) {
      // The header: only its character set matters to a reader of UTF-8.
      if (const auto charset = HeaderCharset(e.str)) {
        std::string lower = *charset;
        for (char& c : lower) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
        if (lower != "utf-8" && lower != "utf8" && lower != "charset") {
          Fatal(e.line, "the header names the character set " + *charset +
                            "; only UTF-8 PO files are read (msgconv --to-code=UTF-8 converts)");
        }
      }
      return;
    }
    if (out_.entries.size() >= kMaxPoEntries) {
      Fatal(e.line, "more than " + std::to_string(kMaxPoEntries) + " entries");
      return;
    }
    out_.entries.push_back(std::move(e));
  }

  std::string* Target() {
    switch (field_) {
      case Field::kContext:
        return &entry_.context;
      case Field::kId:
        return &entry_.id;
      case Field::kStr:
        return &entry_.str;
      case Field::kPlural:
      case Field::kOtherStr:
        return &scratch_;
      case Field::kNone:
        return nullptr;
    }
    return nullptr;
  }

  void Line(std::string_view raw) {
    const std::string_view line = Trim(raw);
    if (line.empty()) {
      EndEntry(true);
      return;
    }
    if (line.front() == '#') {
      // Obsolete entries ("#~") are kept only for the translator's memory.
      if (line.starts_with("#~")) return;
      if (hasStr_) EndEntry(true);
      if (line.starts_with("#,")) {
        const std::string_view flags = line.substr(2);
        for (size_t p = 0; p < flags.size();) {
          size_t q = flags.find(',', p);
          if (q == std::string_view::npos) q = flags.size();
          if (Trim(flags.substr(p, q - p)) == "fuzzy") {
            if (Started()) {
              entry_.fuzzy = true;
            } else {
              fuzzyNext_ = true;
            }
          }
          p = q + 1;
        }
      }
      return;
    }
    if (line.front() == '"') {
      std::string* target = Target();
      if (target == nullptr) {
        Spoil("a string continues no keyword");
        return;
      }
      std::string piece;
      if (std::string why = ReadQuoted(line, piece); !why.empty()) {
        Spoil(why);
        return;
      }
      if (target->size() + piece.size() > kMaxPoString) {
        Spoil("the string is longer than a PO string may be here");
        return;
      }
      *target += piece;
      return;
    }
    size_t wordEnd = 0;
    while (wordEnd < line.size() && !IsBlank(line[wordEnd]) && line[wordEnd] != '"') ++wordEnd;
    const std::string_view word = line.substr(0, wordEnd);
    const std::string_view rest = line.substr(wordEnd);
    Field next = Field::kNone;
    if (word == "msgctxt") {
      if (Started()) EndEntry(false);
      Begin();
      hasContext_ = true;
      entry_.hasContext = true;
      next = Field::kContext;
    } else if (word == "msgid") {
      if (hasId_) EndEntry(false);
      Begin();
      hasId_ = true;
      next = Field::kId;
    } else if (word == "msgid_plural") {
      if (!hasId_ || hasStr_) {
        if (hasStr_) EndEntry(false);
        Begin();
        hasId_ = true;
        Spoil("msgid_plural without its msgid");
        return;
      }
      next = Field::kPlural;
    } else if (word == "msgstr" || word.starts_with("msgstr[")) {
      if (!hasId_) {
        Begin();
        hasId_ = true;
        Spoil("msgstr without a msgid");
      }
      const bool first = word == "msgstr" || word == "msgstr[0]";
      if (word != "msgstr" && (word.size() < 8 || word.back() != ']')) {
        Spoil("unknown keyword " + std::string(word));
        return;
      }
      if (first && hasStr_) {
        Spoil("a second msgstr for the same msgid");
        return;
      }
      if (first) {
        hasStr_ = true;
        entry_.strLine = line_;
      }
      next = first ? Field::kStr : Field::kOtherStr;
    } else {
      if (hasStr_) EndEntry(false);
      Begin();
      hasId_ = true;  // so that the entry ends, and is dropped, at the next one
      Spoil("unknown keyword " + std::string(word.substr(0, 40)));
      field_ = Field::kNone;
      return;
    }
    field_ = next;
    scratch_.clear();
    std::string* target = Target();
    std::string piece;
    if (std::string why = ReadQuoted(rest, piece); !why.empty()) {
      Spoil(std::string(word) + ": " + why);
      return;
    }
    *target += piece;
  }

  PoFile& out_;
  PoEntry entry_;
  bool hasContext_ = false, hasId_ = false, hasStr_ = false;
  bool entryBad_ = false;
  bool fuzzyNext_ = false;
  Field field_ = Field::kNone;
  std::string scratch_;
  int line_ = 0;
  bool fatal_ = false;
  bool stopped_ = false;
  std::map<std::string, int> seen_;
};

}  // namespace

bool ReadPo(std::span<const uint8_t> bytes, PoFile& out) {
  out = PoFile{};
  if (bytes.size() > kMaxPoBytes) {
    out.problems.push_back({0, "the file is " + std::to_string(bytes.size()) +
                                   " bytes; a PO file may be at most " +
                                   std::to_string(kMaxPoBytes)});
    return false;
  }
  std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  Reader reader(out);
  return reader.Run(text);
}

std::string DescribePoProblem(std::string_view file, const PoProblem& problem) {
  std::string s(file);
  if (problem.line > 0) s.append(":").append(std::to_string(problem.line));
  s.append(": ").append(problem.what);
  return s;
}

std::string PoQuote(std::string_view utf8) {
  std::string q = "\"";
  for (const char c : utf8) {
    const auto b = static_cast<uint8_t>(c);
    switch (c) {
      case '\\':
        q += "\\\\";
        break;
      case '"':
        q += "\\\"";
        break;
      case '\n':
        q += "\\n";
        break;
      case '\t':
        q += "\\t";
        break;
      case '\r':
        q += "\\r";
        break;
      default:
        if (b < 0x20 || b == 0x7F) {
          const char digits[] = {'\\', static_cast<char>('0' + (b >> 6)),
                                 static_cast<char>('0' + ((b >> 3) & 7)),
                                 static_cast<char>('0' + (b & 7))};
          q.append(digits, sizeof digits);
        } else {
          q.push_back(c);
        }
    }
  }
  return q + "\"";
}

}  // namespace zorvel
