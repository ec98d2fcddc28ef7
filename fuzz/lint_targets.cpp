// The lint's script walk over arbitrary script text.
#include <cstdlib>
#include <vector>

#include "../tools/lint.h"
#include "fuzz_check.h"
#include "targets.h"

namespace zorvel::fuzz {

void FuzzLintScript(const uint8_t* data, size_t size) {
  tool::MemoryGame game;
  const std::vector<uint8_t> text(data, data + size);
  game.AddScript("main", text);
  // Odd inputs are also the map and viewer definitions that clickmap and viewer lines read, and
  // a second story script that main's jumps and calls can land in.
  if (size % 2 == 1) {
    game.AddScript("map", text);
    game.AddScript("view", text);
    game.AddScript("sub", text);
  }
  game.AddPicture("A_SKY");
  game.AddSound("V001");
  game.AddAnimation("STAR");
  const tool::LintReport report = tool::LintScripts(game);
  size_t lines = 0;
  for (size_t i = 0; i < size; ++i) lines += data[i] == 0;
  const int64_t most = static_cast<int64_t>(lines + 1) * (size % 2 == 1 ? 2 : 1);
  FUZZ_CHECK(report.lines <= most);
  FUZZ_CHECK(report.errors + report.warnings == static_cast<int>(report.messages.size()));
  for (const tool::LintMessage& m : report.messages) {
    FUZZ_CHECK(m.line >= 0 && m.line <= static_cast<int>(lines + 1));
    FUZZ_CHECK(!tool::FormatLintMessage(m).empty());
  }
}

}  // namespace zorvel::fuzz
