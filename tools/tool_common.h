// Shared plumbing of the zorvel-tool subcommands: messages, exit codes, argument parsing.
#pragma once

#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "resources/archive.h"

namespace zorvel::tool {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

using Args = std::span<const std::string>;

// "zorvel-tool: MESSAGE" on stderr.
void Report(const std::string& message);
// Reports `message` followed by the subcommand's usage line; returns kExitUsage.
int UsageError(const std::string& message, std::string_view usage);

struct ParsedArgs {
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;  // "--layout" -> "a"
};

// Splits `args` into positional arguments and the `--name value` options listed in
// `valueOptions`; "--" ends option parsing so that file names may start with '-'. Unknown
// options and missing values are reported as usage errors (nullopt).
std::optional<ParsedArgs> ParseArgs(Args args, std::span<const std::string_view> valueOptions,
                                    std::string_view usage);

std::optional<IndexLayout> ParseLayout(std::string_view text);
std::string_view LayoutName(IndexLayout layout);

// Why the character at byte `offset` of `utf8` failed to convert, for an error message:
// "'😀' (U+1F600) has no Shift-JIS form", or "byte 0xFF is not UTF-8" when no valid
// character starts there.
std::string Utf8CharProblem(std::string_view utf8, size_t offset);

// The last path component, ignoring trailing slashes.
std::string BaseName(std::string_view path);

}  // namespace zorvel::tool
