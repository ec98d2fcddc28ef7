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
    {"pack", kPackUsage, "store files in an archive (default layout b, name width 32)", RunPack},
    {"list", kListUsage, "print each entry's name, offset and size", RunList},
    {"unpack", kUnpackUsage, "write every entry of an archive to DIR", RunUnpack},
    {"script-encode", kScriptEncodeUsage, "UTF-8 script text to the stored script form",
     RunScriptEncode},
    {"script-decode", kScriptDecodeUsage, "stored script form to UTF-8 text", RunScriptDecode},
    {"build-game", kBuildGameUsage, "build a game directory from a source folder", RunBuildGame},
};

void PrintUsage(std::ostream& out) {
  out << "usage: zorvel-tool SUBCOMMAND ...\n\n";
  for (const Command& c : kCommands) {
    out << "  zorvel-tool " << c.usage << "\n      " << c.summary << '\n';
  }
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
