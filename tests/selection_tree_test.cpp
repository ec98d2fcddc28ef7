// The selection tree played through fixture games: rows without their locked branches, the
// second column and its offset rule, a leaf's call and the return after `seltree`, a target
// that does not exist, a tree number without data, and the reader's refusals.
#include "extras/selection_tree.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "fixture.h"
#include "text/sjis.h"

namespace zorvel::test {
namespace {

constexpr char kConfig[] =
    "MAKER_REG:Software\\Zorvel\\Test\nGAME_ID:test\nMOJI_MAX_X:40\nTX_PITCH_X:12\n";

using Rgb = std::array<uint8_t, 3>;
constexpr Rgb kRoot = {40, 70, 150};
constexpr Rgb kLit = {230, 150, 40};
constexpr Rgb kBranch = {60, 120, 60};

// Colour above an opaque mask.
Surface Stacked(int width, int height, Rgb colour) {
  Surface s(width, height * 2);
  s.FillRect(0, 0, width, height, colour[0], colour[1], colour[2]);
  s.FillRect(0, height, width, height, 255, 255, 255);
  return s;
}

std::vector<uint8_t> Decoded(const std::string& utf8) {
  std::vector<uint8_t> bytes = EncodeScript(utf8);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(0u - b);
  return bytes;
}

// Tree 0: the root, three branches (the second locked), and a fourth whose sub-branches are
// one locked and two open leaves. Tree 1: five branches, the fifth with ten leaves.
std::string Trees() {
  std::string t =
      "; chapters\n:TREE_0\n0,0,Root,\n0,1,One,sub:A\n0,2,Two,sub:B\n0,3,Three,sub\n0,4,Four,\n"
      "1,5,Locked,sub:C\n1,4,Leaf one,sub:D\n2,4,Deeper,sub:E\n1,4,Leaf two,nosuch:X\n"
      "0,4,Five,sub:F\n:TREE_1\n0,0,Root,\n";
  for (int i = 1; i <= 4; ++i) t += "0,1,B" + std::to_string(i) + ",sub:A\n";
  t += "0,1,B5,\n";
  for (int i = 1; i <= 10; ++i) t += "1,1,L" + std::to_string(i) + ",sub:D\n";
  return t;
}

class SelectionTreeTest : public ::testing::Test {
 protected:
  Session& Play(const std::string& main, const std::string& trees = Trees()) {
    WriteGame(game_.Path(), {{"_config", kConfig},
                             {"main", main},
                             {"sys_seltree", trees},
                             {"sub", ":A\n!V001=1\n@end\n:B\n!V001=2\n@end\n:D\n!V001=4\n@end\n"}});
    WritePictures(game_ / "vx_gra.kpz", {{"A001", EveningScene()},
                                         {"sys_tree_title0", Stacked(200, 40, kBranch)},
                                         {"sys_tree_root", Stacked(286, 40, kRoot)},
                                         {"sys_tree_root2", Stacked(286, 40, kLit)},
                                         {"sys_tree_branch", Stacked(188, 40, kBranch)},
                                         {"sys_tree_branch2", Stacked(188, 40, kLit)}});
    std::filesystem::create_directories(config_ / "Software/Zorvel");
    WriteText(config_ / "Software/Zorvel/Test.ini", "[test]\n");
    session_ = std::make_unique<Session>(game_.Path(), config_.Path());
    session_->RunFor(500);
    return *session_;
  }
  void Do(const std::string& event, uint32_t ms = 100) { session_->Do({event}, ms); }
  std::vector<std::string> Captions(const std::vector<int>& rows) {
    std::vector<std::string> out;
    for (int n : rows) out.push_back(SjisToUtf8(session_->engine().Tree().Node(n)->caption));
    return out;
  }
  Rgb Shown(int x, int y) { return PixelAt(session_->platform().LastFrame(), x, y); }
  // A box drawn through its opaque mask: within one level of its colour.
  bool Looks(int x, int y, Rgb colour) {
    const Rgb p = Shown(x, y);
    for (int i = 0; i < 3; ++i) {
      if (std::abs(p[i] - colour[i]) > 1) return false;
    }
    return true;
  }

  TempDir game_, config_;
  std::unique_ptr<Session> session_;
};

constexpr char kMain[] =
    "!T0001=1\n!T0003=1\n!T0004=1\n@gra A001 0\n@seltree 0\n!V002=7\n@sleep -1\n";

TEST_F(SelectionTreeTest, LockedBranchesTakeNoRowAndTheSecondColumnFollowsThePointer) {
  Session& s = Play(kMain);
  const SelectionTree& tree = s.engine().Tree();
  ASSERT_EQ(s.state().interactionMode, 6);
  EXPECT_EQ(tree.Current(), 0);
  EXPECT_EQ(Captions(tree.Rows()),
            (std::vector<std::string>{"Root", "One", "Three", "Four", "Five"}));
  // Title, root and branch boxes where they belong.
  EXPECT_TRUE(Looks(45, 15, kBranch));
  EXPECT_TRUE(Looks(180, 74, kRoot));
  EXPECT_TRUE(Looks(230, 69 + 44 * 4 + 2, kBranch));
  EXPECT_EQ(Shown(230, 69 + 44 * 5 + 2), PixelAt(EveningScene(), 230, 69 + 44 * 5 + 2));

  // Row 2 ("Three") is a leaf: lit, and its target waits for the click.
  Do("move 300 " + std::to_string(113 + 44 + 5));
  EXPECT_EQ(tree.Pending(), "sub");
  EXPECT_TRUE(Looks(230, 69 + 44 * 2 + 2, kLit));
  EXPECT_TRUE(tree.SubRows().empty());
  // Row 3 ("Four") has sub-branches: its open ones at the same level, beside it.
  Do("move 300 " + std::to_string(113 + 88 + 5));
  EXPECT_EQ(tree.Pending(), "");
  EXPECT_EQ(Captions(tree.SubRows()), (std::vector<std::string>{"Leaf one", "Leaf two"}));
  EXPECT_EQ(tree.Offset(), 44 * 3);
  EXPECT_TRUE(Looks(445, 132 + 72 + 2, kRoot));
  EXPECT_TRUE(Looks(495, 132 + 69 + 44 + 2, kBranch));
  // Into the second column: its rows by their own rule.
  Do("move 600 " + std::to_string(132 + 72 + 44 + 5));
  EXPECT_EQ(tree.Pending(), "nosuch:X");
  EXPECT_TRUE(Looks(495, 132 + 69 + 44 + 2, kLit));
  Do("move 600 " + std::to_string(132 + 70));
  EXPECT_EQ(tree.Pending(), "");
  Do("move 600 " + std::to_string(132 + 72 + 88 + 5));  // below the last sub-branch
  EXPECT_EQ(tree.Pending(), "");
  Do("move 100 300");
  EXPECT_EQ(tree.Pending(), "");
  // A click with nothing pending leaves the menu up.
  Do("click 100 300");
  EXPECT_EQ(s.state().interactionMode, 6);
  EXPECT_EQ(s.state().vars.V[2], 0);
}

TEST_F(SelectionTreeTest, TenSubBranchesUnderRowFiveStart88PixelsDown) {
  Session& s = Play("!T0001=1\n@gra A001 0\n@seltree 1\n@sleep -1\n");
  const SelectionTree& tree = s.engine().Tree();
  ASSERT_EQ(tree.Rows().size(), 6u);
  Do("move 300 " + std::to_string(113 + 44 * 4 + 5));
  EXPECT_EQ(tree.SubRows().size(), 10u);
  EXPECT_EQ(tree.Offset(), 88);
  // The first in a root box at y 88 + 72, the tenth at 88 + 69 + 44 × 9.
  EXPECT_TRUE(Looks(445, 88 + 72 + 2, kRoot));
  EXPECT_TRUE(Looks(495, 88 + 69 + 44 * 9 + 2, kBranch));
}

TEST_F(SelectionTreeTest, ALeafIsCalledAndTheStoryReturnsAfterSeltree) {
  struct Case {
    const char* name;
    std::string moves;  // events, one per line, without times
    int v1;
  };
  const Case cases[] = {
      {"first column leaf", "move 300 118", 1},
      {"second column leaf", "move 300 206\nmove 600 210", 4},
      {"a target that does not exist", "move 300 206\nmove 600 255", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Session& s = Play(kMain);
    size_t at = 0;
    while (at < c.moves.size()) {
      const size_t end = c.moves.find('\n', at);
      Do(c.moves.substr(at, end == std::string::npos ? std::string::npos : end - at));
      at = end == std::string::npos ? c.moves.size() : end + 1;
    }
    Do("click 300 300", 500);
    EXPECT_EQ(s.state().interactionMode, 0);
    EXPECT_EQ(s.state().vars.V[1], c.v1);
    EXPECT_EQ(s.state().vars.V[2], 7);
    EXPECT_EQ(s.state().callDepth, 0);
    EXPECT_EQ(SjisToUtf8(s.state().scriptName), "main");
    // The menu is gone: the scene shows again.
    EXPECT_EQ(Shown(180, 74), PixelAt(EveningScene(), 180, 74));
  }
}

TEST_F(SelectionTreeTest, ATreeNumberWithoutDataDoesNothing) {
  for (const char* line : {"@seltree 5\n", "@seltree 9\n", "@seltree -1\n"}) {
    Session& s =
        Play(std::string("@gra A001 0\n") + line + "!V002=7\n@sleep -1\n", ":TREE_0\n0,0,Root,\n");
    EXPECT_EQ(s.state().interactionMode, 0) << line;
    EXPECT_EQ(s.state().vars.V[2], 7) << line;
  }
  // No "sys_seltree" at all: the same.
  WriteGame(game_.Path(), {{"_config", kConfig}, {"main", "@seltree 0\n!V002=7\n@sleep -1\n"}});
  Session s(game_.Path(), config_.Path());
  s.RunFor(300);
  EXPECT_EQ(s.state().vars.V[2], 7);
}

TEST(SelectionTreeReader, OutOfRangeLinesAreRefusedByLine) {
  std::vector<std::string> problems;
  const TreeSet set = ReadSelectionTrees(
      Decoded("0,0,Orphan,x\n:TREE_0\n0,0,Root,\n16,1,Deep,x\n0,10000,Flag,x\n0,-1,Neg,x\n"
              "0,7,Caption, with a comma,sub:L\nnonsense\n:TREE_9\n0,0,R,\n:TREE_0\n0,0,Again,\n"
              ":TREE_2\n0,0,Two,\n0,1,A" +
              std::string(30, 'x') + ",s\n0,1,B," + std::string(30, 's') +
              ":L\n:END\n:TREE_3\n0,0,After,\n"),
      &problems);
  ASSERT_EQ(set.trees[0].size(), 2u);
  EXPECT_EQ(set.trees[0][1].caption, "Caption, with a comma");
  EXPECT_EQ(set.trees[0][1].target, "sub:L");
  EXPECT_EQ(set.trees[0][1].flag, 7);
  EXPECT_EQ(set.trees[2].size(), 2u);
  EXPECT_TRUE(set.trees[3].empty());
  const std::vector<std::string> lines = {
      "line 1:", "line 4:", "line 5:", "line 6:", "line 8:", "line 9:", "line 11:", "line 16:"};
  ASSERT_EQ(problems.size(), lines.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_NE(problems[i].find("sys_seltree " + lines[i]), std::string::npos) << problems[i];
  }
}

}  // namespace
}  // namespace zorvel::test
