#include "tool_common.h"

#include <algorithm>
#include <cstdio>
#include <iostream>

#include "platform/files.h"

namespace zorvel::tool {

void Report(const std::string& message) {
  std::cerr << "zorvel-tool: " << EscapeControls(message) << '\n';
  std::cerr.flush();
}

int UsageError(const std::string& message, std::string_view usage) {
  Report(message);
  std::cerr << "usage: zorvel-tool " << usage << '\n';
  return kExitUsage;
}

std::optional<ParsedArgs> ParseArgs(Args args, std::span<const std::string_view> valueOptions,
                                    std::string_view usage) {
  ParsedArgs parsed;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      parsed.positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (std::find(valueOptions.begin(), valueOptions.end(), arg) == valueOptions.end()) {
      UsageError("unknown option " + arg, usage);
      return std::nullopt;
    }
    if (i + 1 >= args.size()) {
      UsageError("option " + arg + " needs a value", usage);
      return std::nullopt;
    }
    if (parsed.options.count(arg)) {
      UsageError("option " + arg + " given twice", usage);
      return std::nullopt;
    }
    parsed.options[arg] = args[++i];
  }
  return parsed;
}

std::optional<IndexLayout> ParseLayout(std::string_view text) {
  if (text == "a" || text == "A") return IndexLayout::kA;
  if (text == "b" || text == "B") return IndexLayout::kB;
  return std::nullopt;
}

std::string_view LayoutName(IndexLayout layout) {
  return layout == IndexLayout::kA ? "a" : "b";
}

std::string Utf8CharProblem(std::string_view utf8, size_t offset) {
  if (offset >= utf8.size()) return "the text ends inside a character";
  const auto lead = static_cast<uint8_t>(utf8[offset]);
  char hex[32];
  std::snprintf(hex, sizeof hex, "byte 0x%02X is not UTF-8", lead);
  size_t length = 0;
  uint32_t code = 0;
  if (lead < 0x80) {
    length = 1;
    code = lead;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0Fu;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07u;
  } else {
    return hex;
  }
  if (utf8.size() - offset < length) return hex;
  for (size_t i = 1; i < length; ++i) {
    const auto b = static_cast<uint8_t>(utf8[offset + i]);
    if ((b & 0xC0) != 0x80) return hex;
    code = code << 6 | (b & 0x3Fu);
  }
  static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    return hex;
  }
  char codeText[16];
  std::snprintf(codeText, sizeof codeText, "U+%04X", static_cast<unsigned>(code));
  // Appended piece by piece: GCC 12 misreports "'" + std::string as an overlapping copy.
  std::string shown(1, '\'');
  shown.append(utf8.substr(offset, length)).append("' (").append(codeText).append(")");
  return shown.append(" has no Shift-JIS form");
}

std::string BaseName(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  const size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return std::string(path);
  return std::string(path.substr(slash + 1));
}

}  // namespace zorvel::tool
