// The subcommands of zorvel-tool. Each takes the arguments after the subcommand's name and
// returns the process exit code.
#pragma once

#include <string_view>

#include "tool_common.h"

namespace zorvel::tool {

inline constexpr std::string_view kPackUsage = "pack [--layout a|b] [--width W] OUT FILE...";
inline constexpr std::string_view kListUsage = "list [--layout a|b] ARCHIVE";
inline constexpr std::string_view kUnpackUsage = "unpack [--layout a|b] ARCHIVE DIR";
inline constexpr std::string_view kScriptEncodeUsage = "script-encode IN.txt OUT";
inline constexpr std::string_view kScriptDecodeUsage = "script-decode IN OUT.txt";
inline constexpr std::string_view kBuildGameUsage = "build-game SRC DIR";

int RunPack(Args args);
int RunList(Args args);
int RunUnpack(Args args);
int RunScriptEncode(Args args);
int RunScriptDecode(Args args);
int RunBuildGame(Args args);

}  // namespace zorvel::tool
