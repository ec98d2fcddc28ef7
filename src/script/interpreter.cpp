#include "script/interpreter.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/files.h"
#include "script/commands.h"
#include "script/decimal.h"
#include "text/sjis.h"
#include "translation/translation.h"

namespace zorvel {

namespace {

constexpr uint8_t kLead81 = 0x81;
constexpr uint8_t kDownTriangle = 0xA5;   // ▼ end of page, wait
constexpr uint8_t kWhiteTriangle = 0xA4;  // ▽ end of page, no wait
constexpr uint8_t kGeta = 0xAC;           // 〓 wait, same page
constexpr uint8_t kDollar = 0x90;         // ＄ string substitution
constexpr uint8_t kDiamond = 0x9F;        // ◆ shown, not kept in the history
constexpr uint8_t kSection = 0x98;        // §
constexpr uint8_t kRoot = 0xE3;           // √
// へたれ: the nickname that replaces the player's names while F028 is set.
constexpr char kNickname[] = "\x82\xD6\x82\xBD\x82\xEA";
constexpr int kNicknameFlag = 28;
// A choice text and a click-map area's name hold this many bytes.
constexpr int kChoiceTextLimit = 64;

char FoldAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

// The letters words are made of: half-width, printable, not a space.
bool IsWordLetter(char c) {
  return c > 0x20 && c < 0x7F;
}

// Full-width digit ０..９ at p (two bytes), or -1.
int FullWidthDigit(const char* p) {
  const auto a = static_cast<uint8_t>(p[0]);
  const auto b = static_cast<uint8_t>(p[1]);
  if (a == 0x82 && b >= 0x4F && b <= 0x58) return b - 0x4F;
  return -1;
}

}  // namespace

bool Interpreter::LineStartsWith(int32_t pos, const char* text) const {
  const auto* buf = s_.scriptBuffer.data();
  for (int32_t i = 0; text[i]; ++i) {
    bytesRead_ += 1;
    if (pos + i >= s_.scriptSize) return false;
    if (FoldAscii(static_cast<char>(buf[pos + i])) != FoldAscii(text[i])) return false;
  }
  return true;
}

void Interpreter::Step() {
  int lines = 0;
  bytesRead_ = 0;
  for (;;) {
    if (s_.needLine) {
      if (++lines > maxLines_ || bytesRead_ > maxBytes_) return;
      if (FetchLine() == Flow::kReturn) return;
      if (DispatchLine() == Flow::kReturn) return;
    } else if (StoryChar() == Flow::kReturn) {
      return;
    }
  }
}

Interpreter::Flow Interpreter::FetchLine() {
  s_.instantLine = false;
  inWord_ = false;
  s_.lineStart = s_.scriptPos;
  s_.linePos = 0;
  if (s_.scriptPos < 0 || s_.scriptPos >= s_.scriptSize) {
    if (s_.callDepth > 0) ReturnFromCall();
    return Flow::kReturn;
  }
  const auto* buf = s_.scriptBuffer.data();
  int32_t pos = s_.scriptPos;
  int32_t n = 0;
  // A line longer than the buffer keeps its first 2047 bytes; the rest is passed over.
  while (pos < s_.scriptSize && buf[pos] != 0) {
    if (n < kLineBufferSize - 1) s_.lineBuffer[n++] = static_cast<char>(buf[pos]);
    ++pos;
  }
  bytesRead_ += pos - s_.scriptPos + 1;
  // A final line without its 0 byte still counts as a line.
  s_.lineBuffer[n] = 0;
  s_.scriptPos = pos < s_.scriptSize ? pos + 1 : s_.scriptSize;
  if (translation_ != nullptr) TranslateFetchedLine();
  return Flow::kContinue;
}

void Interpreter::UseTranslation(const Translation* translation) {
  translation_ = translation;
  translated_.clear();
  translatedForLoad_ = UINT64_MAX;
}

void Interpreter::ReportTranslation(int poLine, const std::string& what) {
  if (!reportedPoLines_.insert(poLine).second) return;
  LogMessage(translation_->FileLabel() + ":" + std::to_string(poLine) + ": " + what);
}

void Interpreter::IndexTranslation() {
  translated_.clear();
  translatedForLoad_ = loader_.StoryLoads();
  translatedForSize_ = s_.scriptSize;
  translatedForScript_.assign(s_.loadedScriptName, strnlen(s_.loadedScriptName, kNameSize));
  const auto* lines = translation_ ? translation_->Lines(translatedForScript_) : nullptr;
  if (lines == nullptr) return;
  const std::string where = " of script " + SjisToUtf8(translatedForScript_);
  const auto* buf = reinterpret_cast<const char*>(s_.scriptBuffer.data());
  int number = 0;
  for (int32_t pos = 0; pos < s_.scriptSize;) {
    const auto* zero = static_cast<const char*>(
        std::memchr(buf + pos, 0, static_cast<size_t>(s_.scriptSize - pos)));
    const int32_t end = zero ? static_cast<int32_t>(zero - buf) : s_.scriptSize;
    ++number;
    const auto it = lines->find(number);
    if (it != lines->end()) {
      const TranslatedText& t = it->second;
      const std::string_view line(buf + pos, static_cast<size_t>(end - pos));
      TranslatedLine entry{&t, {}};
      std::string why;
      const std::string at = "line " + std::to_string(number) + where;
      if (!line.empty() && line[0] == '{') {
        if (t.str.size() > static_cast<size_t>(kChoiceTextLimit)) {
          ReportTranslation(t.poLine, "the translation of " + at + " is " +
                                          std::to_string(t.str.size()) +
                                          " bytes; a choice or an area name shows at most " +
                                          std::to_string(kChoiceTextLimit) + ", the rest is cut");
        }
      } else if (const auto rewritten = RewriteLine(
                     line, line.starts_with('>') ? TextKind::kSpeaker : TextKind::kStory, t.id,
                     t.str, why)) {
        entry.line = *rewritten;
      } else {
        ReportTranslation(t.poLine, at + ": " + why + "; the original is shown");
        entry.text = nullptr;
      }
      if (entry.text != nullptr) translated_.emplace(pos, std::move(entry));
    }
    pos = end + 1;
  }
  bytesRead_ += s_.scriptSize;
}

const TranslatedText* Interpreter::TranslationAt(int32_t lineOffset) {
  if (translation_ == nullptr) return nullptr;
  if (translatedForLoad_ != loader_.StoryLoads() || translatedForSize_ != s_.scriptSize ||
      translatedForScript_ !=
          std::string_view(s_.loadedScriptName, strnlen(s_.loadedScriptName, kNameSize))) {
    IndexTranslation();
  }
  const auto it = translated_.find(lineOffset);
  return it == translated_.end() ? nullptr : it->second.text;
}

void Interpreter::TranslateFetchedLine() {
  if (TranslationAt(s_.lineStart) == nullptr) return;
  const std::string& line = translated_.find(s_.lineStart)->second.line;
  if (line.empty()) return;
  // Cut on a character boundary: a translation never runs past the line buffer.
  CopyField(s_.lineBuffer, kLineBufferSize, line.c_str());
}

Interpreter::Flow Interpreter::DispatchLine() {
  for (;;) {
    char* line = s_.lineBuffer;
    switch (line[0]) {
      case 0:
        s_.textRow += 1;
        return Flow::kContinue;
      case ':':
      case ';':
      case '}':
        return Flow::kContinue;
      case '!':
        expr_.Assign(line + 1);
        return Flow::kContinue;
      case '{':
        if (line[1] == ':') {
          std::string name(line + 2);
          name = name.substr(0, name.find('('));
          s_.scriptPos = FindNamedBlockEnd(s_.scriptPos, name.c_str());
        } else {
          s_.scriptPos = FindBlockEnd(s_.scriptPos);
        }
        return Flow::kContinue;
      case '\\':
      case '~':
        CommitHistoryLine();
        s_.waitKind = line[0] == '\\' ? 1 : 4;
        host_.AutoWaitTicks();
        s_.finishPage = false;
        host_.RecordBacklogPage();
        return Flow::kReturn;
      case '+':
        CommitHistoryLine();
        s_.waitKind = 5;
        host_.AutoWaitTicks();
        s_.finishPage = false;
        return Flow::kReturn;
      case '=':
        if (host_.Skipping()) return Flow::kContinue;
        s_.waitKind = 2;
        host_.AutoWaitTicks();
        s_.finishPage = false;
        // The page is already recorded; refresh that record instead of adding one.
        host_.RecordBacklogPage();
        host_.StepBacklogPageBack();
        return Flow::kReturn;
      case '>': {
        if (!s_.textWindowOn && s_.vars.S[kNovelMode] == 0) host_.OpenTextPage();
        if (s_.vars.S[kNovelMode] != 0) {
          s_.linePos = 1;
          s_.instantLine = true;
          s_.needLine = false;
          return Flow::kContinue;
        }
        const char* name = line + 1;
        if (static_cast<uint8_t>(name[0]) == kLead81 && static_cast<uint8_t>(name[1]) == kDollar &&
            FullWidthDigit(name + 2) >= 0) {
          name = s_.stringVars[FullWidthDigit(name + 2)];
        }
        CopyField(s_.speakerName, sizeof s_.speakerName, name);
        AppendHistory(s_.speakerName, static_cast<int>(std::strlen(s_.speakerName)));
        CommitHistoryLine();
        std::memset(s_.pageText[0], 0, kPageColumns);
        std::memcpy(s_.pageText[0], s_.speakerName,
                    std::min<size_t>(std::strlen(s_.speakerName), kPageColumns));
        host_.DrawSpeakerName();
        return Flow::kContinue;
      }
      case '*':
      case '@': {
        const int index = CommandTable::Match(line + 1);
        if (index < 0) return Flow::kContinue;
        const int result = commands_.Execute(index);
        if (result == 1) return Flow::kReturn;
        if (result == 2) continue;
        return Flow::kContinue;
      }
      default:
        s_.needLine = false;
        return Flow::kContinue;
    }
  }
}

void Interpreter::SetSubstitution(const char* text) {
  CopyField(s_.substBuffer, sizeof s_.substBuffer, text);
  s_.pendingText = 0;
}

Interpreter::Flow Interpreter::StoryChar() {
  bool stop = false;
  if (s_.pendingText >= 0 && s_.pendingText < static_cast<int32_t>(sizeof s_.substBuffer) &&
      s_.substBuffer[s_.pendingText] != 0) {
    const char* p = s_.substBuffer + s_.pendingText;
    if (IsWordLetter(*p)) NoteWordStart();
    const int len = CharLength(p);
    char bytes[2] = {p[0], len == 2 ? p[1] : '\0'};
    s_.pendingText += len;
    ShowChar(bytes, len, stop);
    return stop ? Flow::kReturn : Flow::kContinue;
  }

  if (s_.linePos < 0 || s_.linePos >= kLineBufferSize) s_.linePos = kLineBufferSize - 1;
  const char* p = s_.lineBuffer + s_.linePos;
  const auto c = static_cast<uint8_t>(p[0]);
  switch (c) {
    case '%': {
      int32_t digits = 0;
      int32_t n = 0;
      while (p[1 + digits] >= '0' && p[1 + digits] <= '9') {
        if (n < 1000000) n = n * 10 + (p[1 + digits] - '0');
        ++digits;
      }
      if (n != 0) {
        s_.linePos += 1 + digits;
      } else {
        n = 10;
        s_.linePos += 1;
      }
      if (!host_.Skipping()) s_.waitTicks = n;
      return Flow::kReturn;
    }
    case '[':
      NoteWordStart();
      return InlineTag();
    case '<': {
      NoteWordStart();
      const char* end = std::strchr(p + 1, '>');
      const std::string ruby(p + 1, end ? end : p + std::strlen(p));
      host_.DrawRuby(ruby.c_str());
      if (end) {
        s_.linePos = static_cast<int32_t>(end + 1 - s_.lineBuffer);
      } else {
        s_.needLine = true;
      }
      return Flow::kContinue;
    }
    case 0:
      s_.vars.S[kHangingIndent] = 0;
      CommitHistoryLine();
      s_.needLine = true;
      s_.textColumn = 0;
      s_.textRow += 1;
      s_.instantLine = false;
      return host_.Skipping() ? Flow::kContinue : Flow::kReturn;
    default:
      break;
  }

  if (c == kLead81) {
    const auto second = static_cast<uint8_t>(p[1]);
    if (second == kDownTriangle) {
      CommitHistoryLine();
      s_.waitKind = 1;
      host_.AutoWaitTicks();
      s_.needLine = true;
      s_.finishPage = false;
      host_.RecordBacklogPage();
      return Flow::kReturn;
    }
    if (second == kWhiteTriangle) {
      CommitHistoryLine();
      host_.OpenTextPage();
      s_.needLine = true;
      return Flow::kReturn;
    }
    if (second == kGeta) {
      s_.waitKind = 2;
      host_.AutoWaitTicks();
      if (s_.linePos == 0) {
        s_.needLine = true;
      } else {
        s_.linePos += 2;
      }
      s_.finishPage = false;
      return Flow::kReturn;
    }
    if (second == kDollar) {
      if (const char* text = DollarText(p)) SetSubstitution(text);
      // Four bytes on, but never past the end of the line.
      int step = 0;
      while (step < 4 && p[step] != 0) ++step;
      s_.linePos += step;
      return Flow::kContinue;
    }
  }

  const int len = CharLength(p);
  const bool hidden =
      len == 2 && c == kLead81 &&
      (static_cast<uint8_t>(p[1]) == kDiamond || static_cast<uint8_t>(p[1]) == kSection ||
       static_cast<uint8_t>(p[1]) == kRoot);
  char bytes[2] = {p[0], len == 2 ? p[1] : '\0'};
  if (len == 1 && IsWordLetter(p[0])) NoteWordStart();
  s_.linePos += len;
  ShowChar(bytes, len, stop, !hidden);
  return stop ? Flow::kReturn : Flow::kContinue;
}

const char* Interpreter::DollarText(const char* p) const {
  if (p[2] == 0) return nullptr;
  const int digit = static_cast<uint8_t>(p[3]) - 0x4F;
  if (digit < 0 || digit > 9) return nullptr;
  const bool nickname = digit <= 1 && s_.vars.F.Test(kNicknameFlag);
  return nickname ? kNickname : s_.stringVars[digit];
}

void Interpreter::NoteWordStart() {
  if (inWord_ || !host_.WordWrap()) return;
  const int letters = WordLetters();
  if (letters == 0) return;
  inWord_ = true;
  host_.StartWord(letters);
}

int Interpreter::WordLetters() const {
  int letters = 0;
  // Counts a text's leading letters; false when the word ends inside it.
  const auto take = [&letters](const char* text, size_t size) {
    for (size_t i = 0; i < size && text[i] != 0; ++i) {
      if (!IsWordLetter(text[i])) return false;
      ++letters;
    }
    return true;
  };
  if (s_.pendingText >= 0 && s_.pendingText < static_cast<int32_t>(sizeof s_.substBuffer)) {
    const size_t at = static_cast<size_t>(s_.pendingText);
    if (!take(s_.substBuffer + at, sizeof s_.substBuffer - at)) return letters;
  }
  const char* line = s_.lineBuffer;
  // The buffer always ends in a 0 byte; the searches below stop there.
  int32_t i = std::clamp(s_.linePos, 0, kLineBufferSize - 1);
  while (line[i] != 0) {
    const auto c = static_cast<uint8_t>(line[i]);
    if (c == '[') {
      const char* close = std::strchr(line + i + 1, ']');
      if (close == nullptr) return letters;
      if (line[i + 1] == '$') {
        const int32_t n = ReadDecimal(line + i + 2);
        if (n >= 0 && n < kStringVarCount && !take(s_.stringVars[n], kStringVarSize)) {
          return letters;
        }
      } else if (line[i + 1] == '?') {
        // An expression's value is known only once it is shown; it is measured then.
        return letters;
      }
      i = static_cast<int32_t>(close - line) + 1;
    } else if (c == '<') {
      const char* close = std::strchr(line + i + 1, '>');
      if (close == nullptr) return letters;
      i = static_cast<int32_t>(close - line) + 1;
    } else if (c == '%') {
      ++i;
      while (line[i] >= '0' && line[i] <= '9') ++i;
    } else if (c == kLead81 && static_cast<uint8_t>(line[i + 1]) == kDollar) {
      const char* text = DollarText(line + i);
      if (text != nullptr && !take(text, kStringVarSize)) return letters;
      int step = 0;
      while (step < 4 && line[i + step] != 0) ++step;
      i += step;
    } else if (IsWordLetter(static_cast<char>(c))) {
      ++letters;
      ++i;
    } else {
      return letters;
    }
  }
  return letters;
}

Interpreter::Flow Interpreter::InlineTag() {
  const char* tag = s_.lineBuffer + s_.linePos + 1;
  struct TagWord {
    const char* word;
    bool separator;  // the argument starts one byte after the word
  };
  static constexpr TagWord kTags[] = {
      {"gra", true},  {"1", false},   {"2", false},    {"col", true}, {"wait", true},
      {"cv ", false}, {"clrb", true}, {"delay", true}, {"?", false},  {"$", false},
  };
  int which = -1;
  const char* arg = tag;
  for (int i = 0; i < static_cast<int>(std::size(kTags)); ++i) {
    const char* w = kTags[i].word;
    size_t n = 0;
    while (w[n] && tag[n] && FoldAscii(tag[n]) == FoldAscii(w[n])) ++n;
    if (w[n] != 0) continue;
    which = i;
    arg = tag + n;
    if (kTags[i].separator && *arg != 0) ++arg;
    break;
  }
  const char* close = std::strchr(tag, ']');
  const std::string untilClose(arg, close && close >= arg ? close : arg + std::strlen(arg));
  bool returnAfter = false;
  switch (which) {
    case 0: {  // gra
      const size_t end = untilClose.find_first_of(" ,");
      host_.RunGraTag(untilClose.substr(0, end).c_str());
      break;
    }
    case 1:
      s_.textStyle = 0;
      break;
    case 2:
      s_.textStyle = 1;
      break;
    case 3:
      s_.textColour = ReadDecimal(arg);
      break;
    case 4:
      // A negative wait would never run out.
      if (!host_.Skipping()) s_.waitTicks = std::max(0, ReadDecimal(arg));
      returnAfter = true;
      break;
    case 5:
      if (!host_.Skipping()) host_.PlaySystemSound(untilClose.c_str());
      host_.AddPageVoice(untilClose.c_str());
      CopyField(s_.lastVoice, sizeof s_.lastVoice, untilClose.c_str());
      break;
    case 6:
      host_.RunClrbTag(untilClose.c_str());
      break;
    case 7:
      s_.charDelay = ReadDecimal(arg);
      break;
    case 8: {
      // The expression reader stops at the "]" itself.
      SetSubstitution(std::to_string(expr_.Evaluate(arg)).c_str());
      break;
    }
    case 9: {
      const int32_t n = ReadDecimal(arg);
      if (n >= 0 && n < kStringVarCount) SetSubstitution(s_.stringVars[n]);
      break;
    }
    default:
      break;
  }
  if (!close) {
    s_.needLine = true;
    return returnAfter ? Flow::kReturn : Flow::kContinue;
  }
  s_.linePos = static_cast<int32_t>(close + 1 - s_.lineBuffer);
  return returnAfter ? Flow::kReturn : Flow::kContinue;
}

void Interpreter::ShowChar(const char* bytes, int len, bool& stop, bool keep) {
  const bool shown = host_.OutputChar(bytes, len);
  inWord_ = len == 1 && IsWordLetter(bytes[0]);
  // After the output: a character that wraps closes the history line first and opens the next
  // one, so each backlog line holds what one row of the page shows.
  if (keep && shown) AppendHistory(bytes, len);
  if (s_.instantLine || s_.charDelay == 0 || s_.finishPage || host_.WholeLinesAtOnce() ||
      host_.Skipping()) {
    stop = false;
    return;
  }
  // [delay] takes any number down to INT32_MIN; one less than that does not exist.
  s_.waitTicks = s_.charDelay > 0 ? s_.charDelay - 1 : 0;
  stop = true;
}

void Interpreter::AppendHistory(const char* bytes, int len) {
  const int32_t slotStart = s_.historyLines * kHistorySlotSize;
  const int32_t slotLast = slotStart + kHistorySlotSize - 1;  // room for the ending 0
  if (s_.historyLen < slotStart || s_.historyLen > slotLast) s_.historyLen = slotStart;
  if (s_.historyLen + len > slotLast) return;  // a line's tail past its slot is not kept
  std::memcpy(s_.history + s_.historyLen, bytes, static_cast<size_t>(len));
  s_.historyLen += len;
}

void Interpreter::CommitHistoryLine() {
  if (s_.historyLines < 0 || s_.historyLines > kHistoryCommitted) s_.historyLines = 0;
  const int32_t slotStart = s_.historyLines * kHistorySlotSize;
  if (s_.historyLen < slotStart || s_.historyLen >= slotStart + kHistorySlotSize) {
    s_.historyLen = slotStart;
  }
  s_.history[s_.historyLen] = 0;
  if (s_.historyLines == kHistoryCommitted) {
    std::memmove(s_.history, s_.history + kHistorySlotSize,
                 static_cast<size_t>(kHistoryCommitted) * kHistorySlotSize);
  } else {
    s_.historyLines += 1;
  }
  s_.historyLen = s_.historyLines * kHistorySlotSize;
  std::memset(s_.history + s_.historyLen, 0, kHistorySlotSize);
}

void Interpreter::ReturnFromCall() {
  if (s_.callDepth <= 0) return;
  s_.callDepth = std::min(s_.callDepth, kMaxCallDepth) - 1;
  char name[kNameSize];
  CopyField(name, sizeof name, s_.callNames[s_.callDepth]);
  if (!loader_.LoadScript(name, kLoadStory)) {
    // The caller's offset means nothing in whatever script is loaded now; running there would
    // play a fragment of it as story text.
    LogMessage("return to script " + SjisToUtf8(name) +
               " refused: it cannot be loaded; the script stops here");
    s_.interpreterOn = false;
    s_.needLine = true;
    return;
  }
  CopyField(s_.scriptName, sizeof s_.scriptName, name);
  s_.scriptPos = s_.callReturns[s_.callDepth];
  s_.needLine = true;
}

namespace {

// A polynomial hash whose first byte has the lowest power, so the hash of every tail of a line
// follows from the next one in one step.
constexpr uint64_t kLabelHashBase = 0x100000001b3ULL;

uint64_t LabelHashStep(uint64_t tailHash, char c) {
  return tailHash * kLabelHashBase + static_cast<uint8_t>(FoldAscii(c)) + 1;
}

}  // namespace

void Interpreter::IndexLabels() {
  labels_.clear();
  labelsForLoad_ = loader_.StoryLoads();
  labelsForSize_ = s_.scriptSize;
  const auto* buf = s_.scriptBuffer.data();
  const int32_t size = s_.scriptSize;
  for (int32_t lineStart = 0; lineStart < size;) {
    const void* zero = std::memchr(buf + lineStart, 0, static_cast<size_t>(size - lineStart));
    // A text that runs into the end of the script without its 0 byte cannot match a label.
    if (zero == nullptr) break;
    const auto end = static_cast<int32_t>(static_cast<const uint8_t*>(zero) - buf);
    uint64_t tail = 0;
    for (int32_t i = end - 1; i >= lineStart; --i) {
      if (buf[i] == ':') labels_.emplace(tail, i);
      tail = LabelHashStep(tail, static_cast<char>(buf[i]));
    }
    lineStart = end + 1;
  }
  bytesRead_ += size;
}

void Interpreter::GotoLabel(const char* label) {
  if (labelsForLoad_ != loader_.StoryLoads() || labelsForSize_ != s_.scriptSize) IndexLabels();
  const size_t length = std::strlen(label);
  uint64_t hash = 0;
  for (size_t i = length; i-- > 0;) hash = LabelHashStep(hash, label[i]);
  // The first ":" in the script whose text is the label, letters folded.
  const auto* buf = s_.scriptBuffer.data();
  int32_t found = -1;
  const auto [first, last] = labels_.equal_range(hash);
  for (auto it = first; it != last; ++it) {
    const int32_t colon = it->second;
    if (found >= 0 && colon > found) continue;
    const int64_t after = static_cast<int64_t>(colon) + 1 + static_cast<int64_t>(length);
    if (after >= s_.scriptSize || buf[after] != 0) continue;
    bool same = true;
    for (size_t i = 0; i < length && same; ++i) {
      same = FoldAscii(static_cast<char>(buf[static_cast<size_t>(colon) + 1 + i])) ==
             FoldAscii(label[i]);
    }
    if (same) found = colon;
  }
  if (found < 0) return;
  s_.scriptPos = found + 1 + static_cast<int32_t>(length) + 1;
  s_.needLine = true;
}

int32_t Interpreter::FindLineStart(int32_t from, uint8_t first) const {
  const auto* buf = s_.scriptBuffer.data();
  int32_t p = std::max(from, 0);
  const int32_t start = p;
  if (p > 0 && p < s_.scriptSize && buf[p - 1] != 0) {
    while (p < s_.scriptSize && buf[p] != 0) ++p;
    ++p;
  }
  while (p < s_.scriptSize) {
    if (buf[p] == first) {
      bytesRead_ += p - start;
      return p;
    }
    while (p < s_.scriptSize && buf[p] != 0) ++p;
    ++p;
  }
  bytesRead_ += std::max(p - start, 0);
  return kNotFound;
}

int32_t Interpreter::FindBlockEnd(int32_t from) const {
  int32_t p = FindLineStart(from, '}');
  while (p < s_.scriptSize && p + 1 < s_.scriptSize && s_.scriptBuffer[p + 1] == ':') {
    p = FindLineStart(p + 1, '}');
  }
  return p;
}

int32_t Interpreter::FindNamedBlockEnd(int32_t from, const char* name) const {
  const auto* buf = s_.scriptBuffer.data();
  const size_t len = std::strlen(name);
  const int32_t start = std::max(from, 0);
  for (int32_t i = start; i + 1 < s_.scriptSize; ++i) {
    if (buf[i] != '}' || buf[i + 1] != ':') continue;
    if (i + 2 + static_cast<int64_t>(len) <= s_.scriptSize && buf[i + 2 + len] == 0 &&
        LineStartsWith(i + 2, name)) {
      bytesRead_ += i - start;
      return i;
    }
  }
  bytesRead_ += std::max(s_.scriptSize - start, 0);
  return kNotFound;
}

int32_t Interpreter::FindNamedBlock(int32_t from, const char* name) const {
  const auto* buf = s_.scriptBuffer.data();
  const int32_t start = std::max(from, 0);
  for (int32_t i = start; i + 1 < s_.scriptSize; ++i) {
    if (buf[i] == '{' && buf[i + 1] == ':' && LineStartsWith(i + 2, name)) {
      bytesRead_ += i - start;
      return i;
    }
  }
  bytesRead_ += std::max(s_.scriptSize - start, 0);
  return kNotFound;
}

int32_t Interpreter::FindByte(int32_t from, uint8_t byte) const {
  const auto* buf = s_.scriptBuffer.data();
  const int32_t start = std::max(from, -1) + 1;
  for (int32_t i = start; i < s_.scriptSize; ++i) {
    if (buf[i] == byte) {
      bytesRead_ += i - start;
      return i;
    }
  }
  bytesRead_ += std::max(s_.scriptSize - start, 0);
  return from;
}

}  // namespace zorvel
