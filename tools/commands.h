// The subcommands of zorvel-tool. Each takes the arguments after the subcommand's name and
// returns the process exit code.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "audio/wady.h"
#include "tool_common.h"

namespace zorvel::tool {

inline constexpr std::string_view kPackUsage = "pack [--layout a|b] [--width W] OUT FILE...";
inline constexpr std::string_view kListUsage = "list [--layout a|b] ARCHIVE";
inline constexpr std::string_view kUnpackUsage = "unpack [--layout a|b] ARCHIVE DIR";
inline constexpr std::string_view kScriptEncodeUsage = "script-encode IN.txt OUT";
inline constexpr std::string_view kScriptDecodeUsage = "script-decode IN OUT.txt";
inline constexpr std::string_view kBuildGameUsage = "build-game SRC DIR";
inline constexpr std::string_view kGraEncodeUsage = "gra-encode IN.png OUT";
inline constexpr std::string_view kGraDecodeUsage = "gra-decode IN OUT.png";
inline constexpr std::string_view kWadyEncodeUsage =
    "wady-encode --coding byte|run IN.wav OUT [--loop-start FRAME]";
inline constexpr std::string_view kWadyDecodeUsage = "wady-decode --coding byte|run IN OUT.wav";
inline constexpr std::string_view kSaveInfoUsage = "save-info FILE";
inline constexpr std::string_view kGlobalInfoUsage = "global-info FILE";
inline constexpr std::string_view kAnimBuildUsage =
    "anim-build [--period MS] [--size WxH] [--sound WAV] OUT FRAME...";
inline constexpr std::string_view kAnimInfoUsage = "anim-info FILE";
inline constexpr std::string_view kAniBuildUsage =
    "ani-build OUT.ani FRAME.png... [--rate JIFFIES] [--hotspot X,Y]";
inline constexpr std::string_view kAniInfoUsage = "ani-info FILE";
inline constexpr std::string_view kLintUsage = "lint GAME_DIR";
inline constexpr std::string_view kTextExportUsage = "text-export GAME_DIR OUT.pot";
inline constexpr std::string_view kTextImportUsage = "text-import GAME_DIR FILE.po OUT_DIR";

int RunPack(Args args);
int RunList(Args args);
int RunUnpack(Args args);
int RunScriptEncode(Args args);
int RunScriptDecode(Args args);
int RunBuildGame(Args args);
int RunGraEncode(Args args);
int RunGraDecode(Args args);
int RunSaveInfo(Args args);
int RunGlobalInfo(Args args);
int RunWadyEncode(Args args);
int RunWadyDecode(Args args);
int RunAnimBuild(Args args);
int RunAnimInfo(Args args);

// Animations, shared by anim-info and build-game: the entry's tables hold together and every
// whole or patch frame is a JPEG the engine can show.
bool CheckAnimationEntry(std::span<const uint8_t> bytes, std::string& error);
int RunAniBuild(Args args);
int RunAniInfo(Args args);
int RunLint(Args args);
int RunTextExport(Args args);
int RunTextImport(Args args);

// Pictures, shared by gra-encode, build-game and list.
// A PNG of any colour type as a GRA picture; false with `error` set when it cannot be one.
bool EncodePngAsGra(std::span<const uint8_t> png, std::vector<uint8_t>& out, std::string& error);
// Which pictures an archive holds, judged by its file name as the engine looks them up.
enum class PictureArchiveKind { kNone, kGra, kJpeg };
PictureArchiveKind PictureArchiveKindOf(const std::string& path);
// "GRA 800x600 lz+rle+delta", "JPEG 640x480", or what is wrong with the entry.
std::string DescribePicture(PictureArchiveKind kind, std::span<const uint8_t> bytes);

// Sounds, shared by wady-encode and build-game. A WAV file as a WADY sound of `coding`; the
// loop start, when not given, comes from the WAV's `smpl` chunk (byte coding only). False with
// `error` set when the WAV is not one the engine can play.
bool EncodeWavAsWady(std::span<const uint8_t> wav, WadyCoding coding,
                     std::optional<uint32_t> loopStart, std::vector<uint8_t>& out,
                     std::string& error, double* snrDb = nullptr);

}  // namespace zorvel::tool
