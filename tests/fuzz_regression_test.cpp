// Every committed fuzz input (crash regressions and seed corpus) goes through the same target
// bodies the fuzzers run, so a fix that comes undone fails here without a fuzzing build. The
// targets abort on a broken promise; a sanitizer build of this test also catches memory faults.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../fuzz/targets.h"
#include "fixture.h"

namespace {

namespace fs = std::filesystem;

struct Target {
  const char* name;
  void (*run)(const uint8_t*, size_t);
};

const Target kTargets[] = {
    {"archive_index", zorvel::fuzz::FuzzArchiveIndex},
    {"config", zorvel::fuzz::FuzzConfig},
    {"expressions", zorvel::fuzz::FuzzExpressions},
    {"script", zorvel::fuzz::FuzzScript},
    {"gra", zorvel::fuzz::FuzzGraPicture},
    {"jpeg", zorvel::fuzz::FuzzJpeg},
    {"bmp", zorvel::fuzz::FuzzBmp},
    {"ani", zorvel::fuzz::FuzzAni},
    {"map_script", zorvel::fuzz::FuzzMapScript},
    {"settings_store", zorvel::fuzz::FuzzSettingsStore},
    {"events_file", zorvel::fuzz::FuzzEventsFile},
    {"tool_archive", zorvel::fuzz::FuzzToolArchive},
    {"lint_script", zorvel::fuzz::FuzzLintScript},
    {"script_codec", zorvel::fuzz::FuzzScriptCodec},
    {"transition_args", zorvel::fuzz::FuzzTransitionArgs},
    {"layer_args", zorvel::fuzz::FuzzLayerArgs},
    {"effect_script", zorvel::fuzz::FuzzEffectScript},
    {"effect_args", zorvel::fuzz::FuzzEffectArgs},
    {"wady", zorvel::fuzz::FuzzWady},
    {"ogg", zorvel::fuzz::FuzzOgg},
    {"slot_file", zorvel::fuzz::FuzzSlotFile},
    {"global_file", zorvel::fuzz::FuzzGlobalFile},
    {"roll_script", zorvel::fuzz::FuzzRollScript},
    {"end_roll", zorvel::fuzz::FuzzEndRoll},
    {"scroll_roll", zorvel::fuzz::FuzzScrollRoll},
    {"selection_tree", zorvel::fuzz::FuzzSelectionTree},
    {"view", zorvel::fuzz::FuzzViewDefinition},
    {"animation", zorvel::fuzz::FuzzAnimation},
    {"object_args", zorvel::fuzz::FuzzObjectArgs},
    {"flashbak", zorvel::fuzz::FuzzFlashbackList},
    {"kaiso_file", zorvel::fuzz::FuzzKaisoFile},
    {"po_file", zorvel::fuzz::FuzzPoFile},
};

// Test listings show the target's name, not the bytes of the struct.
void PrintTo(const Target& target, std::ostream* os) {
  *os << target.name;
}

std::vector<fs::path> Inputs(const std::string& kind, const std::string& target) {
  std::vector<fs::path> files;
  const fs::path dir = fs::path(ZORVEL_SOURCE_DIR) / "fuzz" / kind / target;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

class FuzzReplay : public ::testing::TestWithParam<Target> {};

TEST_P(FuzzReplay, CommittedInputsRunClean) {
  const Target& target = GetParam();
  const auto regressions = Inputs("regressions", target.name);
  const auto corpus = Inputs("corpus", target.name);
  // No seeds at all means a wrong path, not a clean run.
  ASSERT_FALSE(corpus.empty()) << "no corpus for " << target.name;
  for (const auto* list : {&regressions, &corpus}) {
    for (const fs::path& file : *list) {
      SCOPED_TRACE(file.string());
      std::ifstream in(file, std::ios::binary);
      const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                       std::istreambuf_iterator<char>());
      target.run(bytes.data(), bytes.size());
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplay, ::testing::ValuesIn(kTargets),
                         [](const ::testing::TestParamInfo<Target>& info) {
                           return std::string(info.param.name);
                         });

// A circle of jumps never waits; one pass must still end, within both the line and the byte
// budget, even when its label lies far behind the jump, and the circle goes on where it stopped.
TEST(StepLimits, CircularJumpsGiveThePassBack) {
  zorvel::test::TempDir dir;
  constexpr size_t kFillerLines = 200;
  std::string main;
  for (size_t i = 0; i < kFillerLines; ++i) main.append(";").append(98, 'x').append("\n");
  main += ":A\n!V001=V001+1\n@go A\n";
  zorvel::test::WriteGame(dir.Path(), {{"main", main}});
  zorvel::test::Session session(dir.Path(), dir / "config");

  // The first pass starts the script, the second runs one step of it: two lines a round.
  session.RunFor(2 * zorvel::Engine::kIdlePassMs);
  const int32_t rounds = session.state().vars.V[1];
  EXPECT_GT(rounds, 0);
  EXPECT_LE(rounds, zorvel::Interpreter::kMaxLinesPerStep / 2 + 1);

  session.RunFor(zorvel::Engine::kIdlePassMs);
  EXPECT_GT(session.state().vars.V[1], rounds);
}

}  // namespace
