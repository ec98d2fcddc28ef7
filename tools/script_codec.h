// Script text as authors write it (UTF-8 lines) and as games store it: each line in Shift-JIS
// ended by a 0 byte, every byte then negated so that 0 stays 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zorvel::tool {

struct ScriptError {
  size_t line = 0;    // 1-based
  size_t column = 0;  // 1-based, in characters
  std::string what;
};

// Accepts \n, \r\n and \r line endings and drops a leading byte order mark. On failure `out`
// is left unspecified and `error` says which character of which line is to blame.
bool EncodeScript(std::string_view utf8, std::vector<uint8_t>& out, ScriptError& error);

// "PATH: line L, column C: WHAT".
std::string DescribeScriptError(const std::string& path, const ScriptError& error);

struct DecodedScript {
  std::string text;  // UTF-8, every line ended by \n
  // One per line holding bytes that are not Shift-JIS; those bytes became U+FFFD.
  std::vector<std::string> warnings;
};

DecodedScript DecodeScript(std::span<const uint8_t> stored);

}  // namespace zorvel::tool
