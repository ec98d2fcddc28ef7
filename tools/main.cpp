// zorvel-tool: archive, script and game-building utilities for Zorvel game authors.
#include <iostream>
#include <string>
#include <vector>

#include "commands.h"

namespace {

using namespace zorvel::tool;

struct Command {
  std::string_view name;
  std::string_view usage;
  std::string_view summary;
  int (*run)(Args args);
};

constexpr Command kCommands[] = {
    {"pack", kPackUsage,
     "store files in an archive; without --layout, vx_data.kpz and vx_data2.kpz get\n"
     "      layout a and every other archive layout b (name width 32 unless --width)",
     RunPack},
    {"list", kListUsage,
     "print each entry's name, offset and size; in picture archives (vx_gra*.kpz,\n"
     "      vx_gjp.kpz) also the picture's size and coding",
     RunList},
    {"unpack", kUnpackUsage, "write every entry of an archive to DIR", RunUnpack},
    {"script-encode", kScriptEncodeUsage, "UTF-8 script text to the stored script form",
     RunScriptEncode},
    {"script-decode", kScriptDecodeUsage, "stored script form to UTF-8 text", RunScriptDecode},
    {"gra-encode", kGraEncodeUsage, "a PNG picture to the GRA picture form", RunGraEncode},
    {"gra-decode", kGraDecodeUsage, "a GRA picture to PNG", RunGraDecode},
    {"wady-encode", kWadyEncodeUsage,
     "a 16-bit PCM WAV to a WADY sound (byte coding: music, with its loop start; run\n"
     "      coding: effects) and the signal-to-noise ratio of the round trip",
     RunWadyEncode},
    {"wady-decode", kWadyDecodeUsage, "a WADY sound to a 16-bit PCM WAV", RunWadyDecode},
    {"save-info", kSaveInfoUsage, "what a saved game (saveNN.dat) holds", RunSaveInfo},
    {"global-info", kGlobalInfoUsage, "what the global data file (save0.dat) holds", RunGlobalInfo},
    {"anim-build", kAnimBuildUsage,
     "an animation entry from PNG or JPEG frames (x,y:FILE a patch, hold a hold\n"
     "      frame) with an optional sound track",
     RunAnimBuild},
    {"anim-info", kAnimInfoUsage, "an animation entry's header and frame tables", RunAnimInfo},
    {"ani-build", kAniBuildUsage,
     "PNG frames (with their opacity) to an animated cursor; each frame shows for\n"
     "      JIFFIES sixtieths of a second (10 unless given), the hot spot at X,Y (0,0)",
     RunAniBuild},
    {"ani-info", kAniInfoUsage, "an animated cursor's header, frames, steps and rates", RunAniInfo},
    {"build-game", kBuildGameUsage, "build a game directory from a source folder", RunBuildGame},
    {"lint", kLintUsage,
     "report what would go wrong when the game's scripts run (SCRIPT:LINE: lines;\n"
     "      exit 1 when there is an error, 0 with warnings only)",
     RunLint},
    {"text-export", kTextExportUsage,
     "story texts, speaker names, choices and click-map captions as a gettext\n"
     "      template (msgctxt SCRIPT:LINE)",
     RunTextExport},
    {"text-import", kTextImportUsage,
     "script archives with a PO translation's texts written in, into OUT_DIR", RunTextImport},
};

void PrintUsage(std::ostream& out) {
  out << "usage: zorvel-tool SUBCOMMAND ...\n\n";
  for (const Command& c : kCommands) {
    out << "  zorvel-tool " << c.usage << "\n      " << c.summary << '\n';
  }
  out << "\nlayouts: a = the script archives' index (16-byte names); b = every other\n"
         "archive's index (a name width stored in the header, 32 by default)\n";
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  if (args.empty()) {
    PrintUsage(std::cerr);
    return kExitUsage;
  }
  const std::string& name = args[0];
  if (name == "help" || name == "--help" || name == "-h") {
    PrintUsage(std::cout);
    return kExitOk;
  }
  for (const Command& c : kCommands) {
    if (c.name == name) return c.run(Args(args).subspan(1));
  }
  Report("unknown subcommand " + name);
  PrintUsage(std::cerr);
  return kExitUsage;
}
