// lint GAME_DIR.
#include <iostream>

#include "commands.h"
#include "lint.h"

namespace zorvel::tool {

int RunLint(Args args) {
  const auto parsed = ParseArgs(args, {}, kLintUsage);
  if (!parsed) return kExitUsage;
  if (parsed->positional.size() != 1) return UsageError("lint needs a game directory", kLintUsage);
  const std::string& dir = parsed->positional[0];
  GameDirectory game;
  std::string why;
  if (!game.Open(dir, why)) {
    Report("cannot lint " + dir + ": " + why);
    return kExitFailure;
  }
  const LintReport report = LintScripts(game);
  for (const LintMessage& m : report.messages) std::cout << FormatLintMessage(m) << '\n';
  std::cout.flush();
  Report(std::to_string(report.errors) + (report.errors == 1 ? " error, " : " errors, ") +
         std::to_string(report.warnings) + (report.warnings == 1 ? " warning" : " warnings") +
         " in " + std::to_string(report.lines) + " script lines");
  return report.errors > 0 ? kExitFailure : kExitOk;
}

}  // namespace zorvel::tool
