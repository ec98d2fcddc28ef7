// The lines of a script read in configuration mode, as the extras' own scripts ("sroll",
// "endroll", roll scripts, "sys_seltree") are read.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

namespace zorvel {

// The stored lines of a script: split at its 0 bytes, a carriage return before the end dropped.
// The views point into `text`.
inline std::vector<std::string_view> ScriptLines(std::span<const uint8_t> text) {
  std::vector<std::string_view> lines;
  const char* p = reinterpret_cast<const char*>(text.data());
  size_t pos = 0;
  while (pos < text.size()) {
    const void* zero = std::memchr(p + pos, 0, text.size() - pos);
    const size_t end = zero ? static_cast<size_t>(static_cast<const char*>(zero) - p) : text.size();
    std::string_view line(p + pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    pos = end + 1;
  }
  return lines;
}

}  // namespace zorvel
