// Fuzz bodies of the staff rolls and the selection tree: the roll script, "endroll" and "sroll"
// are played on a virtual clock, "sys_seltree" is read and its trees opened and pointed at.
// Each roll gets a budget of message passes; past it the rig reports that the run is ending, as
// a closing window would, so a script that waits for hours still ends.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "extras/selection_tree.h"
#include "extras/staff_roll.h"
#include "fuzz_check.h"
#include "fuzz_game.h"
#include "platform/headless/headless_platform.h"
#include "targets.h"
#include "text/font.h"
#include "text/system_text.h"

namespace zorvel::fuzz {

namespace {

constexpr int kPassBudget = 30;

struct RollRig {
  RollRig() {
    platform.SetRunMs(UINT32_MAX);
    screen.CreateSurfaces();
    screen.backgroundSurface.Fill(10, 20, 30);
    screen.sceneSurface.Fill(40, 50, 60);
    picture.Resize(64, 48);
    picture.Fill(200, 100, 50);
  }
  // Plays `name` with the bytes as the script of that name (all other scripts missing).
  void Run(const std::vector<uint8_t>& bytes, const char* script,
           int (StaffRoll::*command)(const char*), const char* arg) {
    text = bytes;
    scriptName = script;
    passes = 0;
    state->screenMode = 0;
    state->quitFlag = false;
    FUZZ_CHECK((roll.*command)(arg) == 1);
    FUZZ_CHECK(state->screenMode == 0);
    FUZZ_CHECK(!state->toolbarLocked);
    FUZZ_CHECK(screen.screenSurface.Width() == 800 && screen.screenSurface.Height() == 600);
    FUZZ_CHECK(screen.sceneSurface.Width() == 800 && screen.sceneSurface.Height() == 600);
    const RollRect& r = roll.Rect();
    FUZZ_CHECK(r.x1 >= 0 && r.y1 >= 0 && r.x2 <= 800 && r.y2 <= 600 && r.x1 < r.x2 && r.y1 < r.y2);
    FUZZ_CHECK(static_cast<int>(roll.Block().size()) <= kRollMaxLines);
  }

  MemoryStore store;
  HeadlessPlatform platform{store};
  std::unique_ptr<EngineState> state = std::make_unique<EngineState>();
  Screen screen{platform};
  SystemText systemText{[](const std::string&) {}};
  Surface picture;
  std::vector<uint8_t> text;
  std::string scriptName;
  int passes = 0;
  StaffRoll roll{
      *state, screen, systemText, platform,
      StaffRollHooks{.processMessages = [this] { return ++passes < kPassBudget; },
                     .loadConfigScript = [this](const char* name) -> const std::vector<uint8_t>* {
                       return scriptName == name ? &text : nullptr;
                     },
                     .loadPicture =
                         [this](const char* name, Surface& out) {
                           // One small picture, so that GRA places a picture of another size.
                           if (std::strcmp(name, "P") != 0) return false;
                           out = picture;
                           return true;
                         },
                     .music = [](int32_t) {},
                     .updateToolbar = [] {},
                     .sepiaFade = [] {}}};
};

RollRig& Rig() {
  static RollRig rig;
  return rig;
}

}  // namespace

void FuzzRollScript(const uint8_t* data, size_t size) {
  RollRig& rig = Rig();
  const std::vector<uint8_t> bytes(data, data + size);
  for (std::string_view line : ScriptLines(bytes)) {
    const RollLine l = ReadRollLine(line);
    FUZZ_CHECK(l.word.size() <= 10);
    FUZZ_CHECK(l.command == (!line.empty() && (line[0] == '*' || line[0] == '@')));
  }
  rig.Run(bytes, "STAFF", &StaffRoll::Roll, "STAFF");
}

void FuzzEndRoll(const uint8_t* data, size_t size) {
  RollRig& rig = Rig();
  const std::vector<uint8_t> bytes(data, data + size);
  std::vector<std::string> problems;
  const EndRollScript script = ReadEndRoll(bytes, &problems);
  FUZZ_CHECK(script.period >= 1 && script.period <= 1000);
  for (const std::string& line : script.credits) FUZZ_CHECK(line.size() <= kRollLineBytes);
  FUZZ_CHECK(static_cast<int>(script.credits.size()) * kRollLineHeight + 600 <=
             kRollMaxPictureRows);
  rig.Run(bytes, "endroll", &StaffRoll::Special, "5");
  // Frames far outside the credits draw black, never past the picture.
  rig.roll.MakeCreditPicture(script.credits);
  for (int y : {-100000, -1, 0, 1, 601, 16383, 99999}) rig.roll.DrawEndRollFrame(y, y < 0);
}

void FuzzScrollRoll(const uint8_t* data, size_t size) {
  RollRig& rig = Rig();
  const std::vector<uint8_t> bytes(data, data + size);
  std::vector<std::string> problems;
  const ScrollRollScript script = ReadScrollRoll(bytes, &problems);
  for (const std::string& line : script.lines) {
    FUZZ_CHECK(line.size() <= kRollLineBytes);
    FUZZ_CHECK(line != "}");
  }
  FUZZ_CHECK(static_cast<int>(script.lines.size()) * kScrollLineHeight <= kRollMaxPictureRows);
  rig.state->vars.E.Set(999, size % 2 == 0);
  rig.Run(bytes, "sroll", &StaffRoll::ScrollRoll, "");
  FUZZ_CHECK(rig.roll.ScrollLines() == static_cast<int>(script.lines.size()));
}

void FuzzSelectionTree(const uint8_t* data, size_t size) {
  static MemoryStore store;
  static HeadlessPlatform platform{store};
  static GameConfig config = [] {
    GameConfig c;
    c.TX_PITCH_X = 12;
    return c;
  }();
  static auto state = std::make_unique<EngineState>();
  static Screen screen{platform};
  static Font font{config, state->vars, platform, [](const std::string&) {}};
  static Surface box;
  static SelectionTree tree{
      *state, screen, font, platform,
      SelectionTreeHooks{
          .loadConfigScript = [](const char*) -> const std::vector<uint8_t>* { return nullptr; },
          .loadPicture =
              [](const char*, Surface& out) {
                out = box;
                return true;
              },
          .closeMessageWindow = [] {},
          .loadScript = [](const char*) { return false; },
          .gotoLabel = [](const char*) {},
          .resetWaits = [] {},
          .restoreTextColour = [] {}}};
  static bool ready = false;
  if (!ready) {
    platform.SetRunMs(UINT32_MAX);
    screen.CreateSurfaces();
    box.Resize(188, 80);
    box.Fill(255, 255, 255);
    ready = true;
  }

  const std::vector<uint8_t> bytes(data, data + size);
  std::vector<std::string> problems;
  TreeSet set = ReadSelectionTrees(bytes, &problems);
  for (const auto& nodes : set.trees) {
    FUZZ_CHECK(static_cast<int>(nodes.size()) <= kMaxTreeNodes);
    for (const TreeNode& n : nodes) {
      FUZZ_CHECK(n.level >= 0 && n.level <= kMaxTreeLevel);
      FUZZ_CHECK(n.flag >= 0 && n.flag < kTreeFlagCount);
      FUZZ_CHECK(n.caption.size() <= kTreeCaptionBytes && n.target.size() <= kTreeTargetBytes);
    }
  }
  tree.SetTrees(std::move(set));
  // Every flag set, so that every node can be shown.
  std::fill(state->vars.T.bytes.begin(), state->vars.T.bytes.end(), uint8_t{0xFF});
  state->vars.V[100] = size > 0 ? data[0] : 0;
  for (int n = 0; n < kTreeCount; ++n) {
    if (!tree.OpenTree(n)) continue;
    FUZZ_CHECK(state->interactionMode == 6);
    FUZZ_CHECK(static_cast<int>(tree.Rows().size()) <= kTreeRows);
    for (int y = 60; y < 640; y += 23) {
      for (int x : {100, 300, 489, 490, 491, 600, 702, 703}) {
        tree.Hover(x, y);
        FUZZ_CHECK(static_cast<int>(tree.SubRows().size()) <= kTreeRows);
      }
      if (y == 290) tree.Hover(300, 118);
    }
    tree.Click(MouseButton::kLeft, 0, 0);
    tree.EndTree();
    FUZZ_CHECK(state->interactionMode == 0);
  }
}

}  // namespace zorvel::fuzz
