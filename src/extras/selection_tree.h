// The selection tree of `seltree`: a two-column menu of story branches over the current screen.
// The first column is the root box and the unlocked branches; resting on a branch that has
// sub-branches shows them in a second column. Clicking a leaf calls its script (and label) as
// `call` does, so the story returns after the `seltree` line when that script ends.
//
// Trees come from the configuration script "sys_seltree", read at start-up (format in the
// README); their pictures are "sys_tree_title%d" (by V100), "sys_tree_root", "sys_tree_root2",
// "sys_tree_branch" and "sys_tree_branch2", colour above mask.
//
// Touches: busy, interactionMode, scriptName, scriptPos, callDepth, callNames, callReturns, the
// T flags and V100 of the game state; the scene and screen surfaces; the message font (captions).
// Scripts, pictures and the interpreter are reached through the hooks.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/engine_state.h"
#include "core/hook.h"
#include "graphics/screen.h"
#include "graphics/surface.h"
#include "platform/platform.h"
#include "script/commands.h"
#include "text/font.h"

namespace zorvel {

constexpr int kTreeCount = 7;
constexpr int kMaxTreeNodes = 256;
constexpr int kMaxTreeLevel = 15;
constexpr int kTreeFlagCount = 10000;
constexpr int kTreeRows = 15;
constexpr size_t kTreeCaptionBytes = 64;
constexpr size_t kTreeTargetBytes = 100;

struct TreeNode {
  int32_t level = 0;
  int32_t flag = 0;  // the T flag that shows it
  std::string caption;
  std::string target;  // script or script:label; empty for a branch with sub-branches
};

struct TreeSet {
  std::array<std::vector<TreeNode>, kTreeCount> trees;
};

// Reads "sys_seltree". A line out of range (level, flag, too many nodes, a block name) is left
// out and said in `problems` with its line number.
TreeSet ReadSelectionTrees(std::span<const uint8_t> text, std::vector<std::string>* problems);

struct SelectionTreeHooks {
  // A script read in configuration mode; null when the game has none of that name.
  Hook<const std::vector<uint8_t>*(const char* name)> loadConfigScript;
  Hook<bool(const char* name, Surface& picture)> loadPicture;
  Hook<void()> closeMessageWindow;
  // The named script as the running story script; false when the game has none.
  Hook<bool(const char* name)> loadScript;
  Hook<void(const char* label)> gotoLabel;
  Hook<void()> resetWaits;
  // The message font back to the text colour in force.
  Hook<void()> restoreTextColour;
};

class SelectionTree {
 public:
  SelectionTree(EngineState& state, Screen& screen, Font& font, Platform& platform,
                SelectionTreeHooks hooks);

  // Binds `seltree`.
  void Register(CommandTable& table);
  // Start-up: the trees of "sys_seltree" (none when the game has no such script).
  void ReadTrees();
  void SetTrees(TreeSet trees) { trees_ = std::move(trees); }

  int Seltree(const char* arg);
  // Shows tree n over the screen; false (nothing changed) when there is no such tree.
  bool OpenTree(int n);
  // The pointer over the menu (TreeMouseMove) and a click on it (TreeClick).
  void Hover(int x, int y);
  void Click(MouseButton button, int x, int y);
  // Closes the menu without choosing (the return to the title).
  void EndTree();

  // What the state dump shows.
  int Current() const { return current_; }
  const std::vector<int>& Rows() const { return rows_; }
  const std::vector<int>& SubRows() const { return subRows_; }
  int Offset() const { return offset_; }
  const std::string& Pending() const { return pending_; }
  const TreeNode* Node(int n) const;

 private:
  bool Shown(const TreeNode& node) const;
  void DrawBox(Surface& target, const Surface& picture, int x, int y);
  void DrawCaption(Surface& target, const std::string& caption, int x, int y, bool lit);
  // The base with first-column row r lit, its sub-branches and second-column row k lit (-1 none).
  void Show(int r, int k);
  void CollectSubRows(int row);
  void Close();

  EngineState& s_;
  Screen& screen_;
  Font& font_;
  Platform& platform_;
  SelectionTreeHooks hooks_;
  TreeSet trees_;

  int current_ = -1;
  Surface base_;
  Surface title_, root_, rootLit_, branch_, branchLit_;
  std::vector<int> rows_;     // node by first-column row; row 0 is the root
  std::vector<int> subRows_;  // node by second-column row
  int subOf_ = -1;            // the first-column row the second column belongs to
  int offset_ = 0;
  std::string pending_;
  int shownRow_ = -2;
  int shownSub_ = -2;
  bool misfitSaid_ = false;
};

}  // namespace zorvel
