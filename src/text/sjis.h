// Shift-JIS helpers. The games store every text in code page 932; a byte from 0x20 to 0x7E is
// a one-byte character and every other byte starts a two-byte character.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zorvel {

inline bool IsSingleByteChar(uint8_t b) {
  return b >= 0x20 && b <= 0x7E;
}

// Length in bytes of the character at `p` (1 or 2); a two-byte lead followed by the end of the
// text counts as one byte so that callers never step over a terminating 0.
inline int CharLength(const char* p) {
  const auto b = static_cast<uint8_t>(p[0]);
  if (IsSingleByteChar(b) || b == 0) return 1;
  return p[1] == 0 ? 1 : 2;
}

// Upper-cases the ASCII letters of one-byte characters, leaving two-byte characters intact.
std::string UpperSjis(std::string_view text);
bool EqualsIgnoreCaseSjis(std::string_view a, std::string_view b);

// Copies at most `capacity - 1` bytes of the 0-ended `src` into `dst` and ends it with 0,
// never splitting a two-byte character. Returns the number of bytes copied.
size_t CopyField(char* dst, size_t capacity, const char* src, size_t maxBytes = SIZE_MAX);
inline size_t CopyField(char* dst, size_t capacity, std::string_view src) {
  std::string tmp(src);
  return CopyField(dst, capacity, tmp.c_str());
}

// Code page 932 <-> UTF-8. Bytes that do not decode become U+FFFD.
std::string SjisToUtf8(std::string_view sjis);
// Returns nullopt when a character has no code page 932 form; `badOffset` then receives the
// byte offset of that character in the UTF-8 input.
std::optional<std::string> Utf8ToSjis(std::string_view utf8, size_t* badOffset = nullptr);

}  // namespace zorvel
