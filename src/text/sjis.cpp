#include "text/sjis.h"

#include <iconv.h>

#include <cstring>
#include <mutex>
#include <vector>

namespace zorvel {

std::string UpperSjis(std::string_view text) {
  std::string out(text);
  for (size_t i = 0; i < out.size();) {
    const auto b = static_cast<uint8_t>(out[i]);
    if (IsSingleByteChar(b)) {
      if (b >= 'a' && b <= 'z') out[i] = static_cast<char>(b - 32);
      ++i;
    } else {
      i += (b == 0 || i + 1 >= out.size()) ? 1 : 2;
    }
  }
  return out;
}

bool EqualsIgnoreCaseSjis(std::string_view a, std::string_view b) {
  return a.size() == b.size() && UpperSjis(a) == UpperSjis(b);
}

size_t CopyField(char* dst, size_t capacity, const char* src, size_t maxBytes) {
  if (capacity == 0) return 0;
  size_t limit = capacity - 1;
  if (maxBytes < limit) limit = maxBytes;
  size_t n = 0;
  while (src[n] != 0) {
    const size_t len = static_cast<size_t>(CharLength(src + n));
    if (n + len > limit) break;
    n += len;
  }
  std::memmove(dst, src, n);
  dst[n] = 0;
  return n;
}

namespace {

// iconv descriptors are not thread-safe; conversions are rare (dumps, tools, settings) so one
// lock around a cached descriptor pair is enough.
struct Converters {
  std::mutex lock;
  iconv_t toUtf8 = iconv_open("UTF-8", "CP932");
  iconv_t toSjis = iconv_open("CP932", "UTF-8");
};

Converters& Conv() {
  static Converters c;
  return c;
}

// Tries to convert one input unit; returns bytes consumed or 0 on failure.
size_t ConvertOne(iconv_t cd, const char* in, size_t inLeft, size_t unit, std::string& out) {
  char buf[16];
  char* inPtr = const_cast<char*>(in);
  size_t left = unit < inLeft ? unit : inLeft;
  char* outPtr = buf;
  size_t outLeft = sizeof buf;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (iconv(cd, &inPtr, &left, &outPtr, &outLeft) == static_cast<size_t>(-1)) return 0;
  out.append(buf, sizeof buf - outLeft);
  return static_cast<size_t>(inPtr - in);
}

size_t Utf8SequenceLength(uint8_t b) {
  if (b < 0x80) return 1;
  if ((b & 0xE0) == 0xC0) return 2;
  if ((b & 0xF0) == 0xE0) return 3;
  if ((b & 0xF8) == 0xF0) return 4;
  return 1;
}

// Characters that authors type in UTF-8 editors whose usual Unicode form differs from the one
// code page 932 maps (wave dash, minus sign, double vertical line...).
struct Alias {
  const char* from;
  const char* to;
};
constexpr Alias kAliases[] = {
    {"\xE3\x80\x9C", "\xEF\xBD\x9E"},  // WAVE DASH -> FULLWIDTH TILDE
    {"\xE2\x88\x92", "\xEF\xBC\x8D"},  // MINUS SIGN -> FULLWIDTH HYPHEN-MINUS
    {"\xE2\x80\x96", "\xE2\x88\xA5"},  // DOUBLE VERTICAL LINE -> PARALLEL TO
    {"\xC2\xA2", "\xEF\xBF\xA0"},      // CENT SIGN
    {"\xC2\xA3", "\xEF\xBF\xA1"},      // POUND SIGN
    {"\xC2\xAC", "\xEF\xBF\xA2"},      // NOT SIGN
    {"\xE2\x80\x94", "\xE2\x80\x95"},  // EM DASH -> HORIZONTAL BAR
};

}  // namespace

std::string SjisToUtf8(std::string_view sjis) {
  Converters& c = Conv();
  std::lock_guard<std::mutex> guard(c.lock);
  std::string out;
  out.reserve(sjis.size() * 3 / 2);
  for (size_t i = 0; i < sjis.size();) {
    const auto b = static_cast<uint8_t>(sjis[i]);
    if (b < 0x80) {
      out.push_back(static_cast<char>(b));
      ++i;
      continue;
    }
    const size_t unit = (b >= 0xA1 && b <= 0xDF) ? 1 : 2;
    const size_t used = ConvertOne(c.toUtf8, sjis.data() + i, sjis.size() - i, unit, out);
    if (used == 0) {
      out += "\xEF\xBF\xBD";
      i += 1;
    } else {
      i += used;
    }
  }
  return out;
}

std::optional<std::string> Utf8ToSjis(std::string_view utf8, size_t* badOffset) {
  Converters& c = Conv();
  std::lock_guard<std::mutex> guard(c.lock);
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<uint8_t>(utf8[i]);
    if (b < 0x80) {
      out.push_back(static_cast<char>(b));
      ++i;
      continue;
    }
    const size_t len = Utf8SequenceLength(b);
    std::string_view ch = utf8.substr(i, len);
    for (const Alias& a : kAliases) {
      if (ch == a.from) ch = a.to;
    }
    // iconv passes some characters (the tag characters U+E0000...) over without a word; they
    // have no code page 932 form either, and dropping them would lose text without saying so.
    const size_t before = out.size();
    if (ch.size() < len || ConvertOne(c.toSjis, ch.data(), ch.size(), ch.size(), out) == 0 ||
        out.size() == before) {
      if (badOffset) *badOffset = i;
      return std::nullopt;
    }
    i += len;
  }
  return out;
}

}  // namespace zorvel
