#include "script_codec.h"

#include "text/sjis.h"
#include "tool_common.h"

namespace zorvel::tool {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

uint8_t Negate(uint8_t b) {
  return static_cast<uint8_t>(-b);
}

size_t ColumnOf(std::string_view utf8, size_t offset) {
  size_t column = 1;
  for (size_t i = 0; i < offset && i < utf8.size(); ++i) {
    if ((static_cast<uint8_t>(utf8[i]) & 0xC0) != 0x80) ++column;
  }
  return column;
}

// Byte offset in `line` of the first character SjisToUtf8 cannot decode. It only points the
// reader at the damage, so stepping by lead byte as the decoder does is close enough.
size_t FirstUndecodable(std::string_view line) {
  for (size_t i = 0; i < line.size();) {
    const auto b = static_cast<uint8_t>(line[i]);
    const size_t length = (b < 0x80 || (b >= 0xA1 && b <= 0xDF)) ? 1 : 2;
    const std::string_view ch = line.substr(i, length);
    if (SjisToUtf8(ch).find(kReplacement) != std::string::npos) return i;
    i += ch.size();
  }
  return line.size();
}

}  // namespace

bool EncodeScript(std::string_view utf8, std::vector<uint8_t>& out, ScriptError& error) {
  out.clear();
  if (utf8.starts_with(kByteOrderMark)) utf8.remove_prefix(kByteOrderMark.size());
  size_t lineNumber = 0;
  size_t pos = 0;
  while (pos < utf8.size()) {
    const size_t end = utf8.find_first_of("\r\n", pos);
    const std::string_view line = utf8.substr(pos, end == std::string_view::npos ? end : end - pos);
    ++lineNumber;
    // A 0 byte would end the line early in the stored form and shift every line after it.
    if (const size_t zero = line.find('\0'); zero != std::string_view::npos) {
      error = {lineNumber, ColumnOf(line, zero), "a 0 byte cannot be stored in a script"};
      return false;
    }
    size_t bad = 0;
    const auto sjis = Utf8ToSjis(line, &bad);
    if (!sjis) {
      error = {lineNumber, ColumnOf(line, bad), Utf8CharProblem(line, bad)};
      return false;
    }
    out.insert(out.end(), sjis->begin(), sjis->end());
    out.push_back(0);
    if (end == std::string_view::npos) break;
    pos = end + 1;
    if (utf8[end] == '\r' && pos < utf8.size() && utf8[pos] == '\n') ++pos;
  }
  for (uint8_t& b : out) b = Negate(b);
  return true;
}

std::string DescribeScriptError(const std::string& path, const ScriptError& error) {
  return path + ": line " + std::to_string(error.line) + ", column " +
         std::to_string(error.column) + ": " + error.what;
}

DecodedScript DecodeScript(std::span<const uint8_t> stored) {
  constexpr size_t kMaxWarnings = 10;
  DecodedScript result;
  std::string sjis(stored.size(), '\0');
  for (size_t i = 0; i < stored.size(); ++i) sjis[i] = static_cast<char>(Negate(stored[i]));
  size_t lineNumber = 0;
  size_t damagedLines = 0;
  size_t pos = 0;
  while (pos < sjis.size()) {
    size_t end = sjis.find('\0', pos);
    if (end == std::string::npos) end = sjis.size();
    const std::string_view line = std::string_view(sjis).substr(pos, end - pos);
    ++lineNumber;
    const std::string text = SjisToUtf8(line);
    std::string trouble;
    if (text.find(kReplacement) != std::string::npos) {
      trouble = "line " + std::to_string(lineNumber) + " (byte " +
                std::to_string(pos + FirstUndecodable(line)) +
                "): bytes that are not Shift-JIS were replaced with U+FFFD";
    } else if (line.find_first_of("\r\n") != std::string_view::npos) {
      // Written out as is, the byte becomes a line ending and script-encode would split there.
      trouble = "line " + std::to_string(lineNumber) + " (byte " +
                std::to_string(pos + line.find_first_of("\r\n")) +
                "): holds a line-break byte; encoding the text again will not reproduce it";
    }
    if (!trouble.empty() && ++damagedLines <= kMaxWarnings) {
      result.warnings.push_back(std::move(trouble));
    }
    result.text += text;
    result.text += '\n';
    pos = end + 1;
  }
  if (damagedLines > kMaxWarnings) {
    result.warnings.push_back(std::to_string(damagedLines - kMaxWarnings) +
                              " more lines with the same kinds of trouble");
  }
  return result;
}

}  // namespace zorvel::tool
