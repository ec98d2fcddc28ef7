#include "extras/selection_tree.h"

#include <algorithm>
#include <cctype>

#include "extras/config_lines.h"
#include "graphics/pixel_ops.h"
#include "platform/files.h"
#include "script/decimal.h"
#include "text/sjis.h"

namespace zorvel {

namespace {

// Menu geometry.
constexpr int kTitleX = 39;
constexpr int kTitleY = 11;
constexpr int kRootX = 178;
constexpr int kRootY = 72;
constexpr int kBranchX = 227;
constexpr int kRowPitch = 44;
constexpr int kBranchTop = 69;
constexpr int kCaptionX = 321;
constexpr int kCaptionY = 77;
constexpr int kRootCaptionY = 77;
constexpr int kFirstColumnRight = 490;
constexpr int kSubRootX = 442;
constexpr int kSubBranchX = 491;
constexpr int kSubCaptionX = 585;
constexpr int kSubRootCaptionY = 79;
constexpr int kSecondColumnRight = 702;
constexpr int kCaptionStyle = 0;
constexpr int kLitCaptionStyle = 2;
constexpr int kTitleVariable = 100;

constexpr char kTreeScript[] = "sys_seltree";

bool AllDigits(std::string_view s) {
  return !s.empty() && s.size() <= 9 &&
         std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool StartsWithFolded(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
  }
  return true;
}

}  // namespace

TreeSet ReadSelectionTrees(std::span<const uint8_t> text, std::vector<std::string>* problems) {
  TreeSet set;
  auto problem = [&](size_t lineNo, const std::string& what) {
    if (problems) {
      problems->push_back(std::string(kTreeScript) + " line " + std::to_string(lineNo) + ": " +
                          what);
    }
  };
  // The block being read; kSkipping after a block that is refused whole.
  constexpr int kNoBlock = -1;
  constexpr int kSkipping = -2;
  int current = kNoBlock;
  std::array<bool, kTreeCount> seen{};
  const std::vector<std::string_view> lines = ScriptLines(text);
  for (size_t i = 0; i < lines.size(); ++i) {
    const size_t lineNo = i + 1;
    const std::string_view line = Trim(lines[i]);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == ':') {
      if (StartsWithFolded(line, ":END") && line.size() == 4) break;
      current = kSkipping;
      const std::string_view number = line.size() > 6 ? line.substr(6) : std::string_view();
      if (!StartsWithFolded(line, ":TREE_") || !AllDigits(number) ||
          ReadDecimal(std::string(number).c_str()) >= kTreeCount) {
        std::string what = SjisToUtf8(line);
        what += " names no tree (:TREE_0 to :TREE_6); its lines are left out";
        problem(lineNo, what);
        continue;
      }
      const int n = ReadDecimal(std::string(number).c_str());
      if (seen[static_cast<size_t>(n)]) {
        problem(lineNo, "tree " + std::to_string(n) + " is defined again; the first one is kept");
        continue;
      }
      seen[static_cast<size_t>(n)] = true;
      current = n;
      continue;
    }
    if (current == kSkipping) continue;
    if (current == kNoBlock) {
      problem(lineNo, "a node outside any :TREE_N block is left out");
      continue;
    }
    // LEVEL,FLAG,CAPTION,TARGET: the caption is everything between the second and the last
    // comma, so it may hold commas of its own.
    const size_t c1 = line.find(',');
    const size_t c2 = c1 == std::string_view::npos ? c1 : line.find(',', c1 + 1);
    const size_t c3 = line.rfind(',');
    if (c2 == std::string_view::npos || c3 <= c2) {
      problem(lineNo, "a node needs LEVEL,FLAG,CAPTION,TARGET; the line is left out");
      continue;
    }
    const std::string_view levelText = Trim(line.substr(0, c1));
    const std::string_view flagText = Trim(line.substr(c1 + 1, c2 - c1 - 1));
    const std::string_view caption = Trim(line.substr(c2 + 1, c3 - c2 - 1));
    const std::string_view target = Trim(line.substr(c3 + 1));
    std::vector<TreeNode>& nodes = set.trees[static_cast<size_t>(current)];
    if (!AllDigits(levelText) || ReadDecimal(std::string(levelText).c_str()) > kMaxTreeLevel) {
      problem(lineNo, "the level \"" + SjisToUtf8(levelText) + "\" is not 0 to " +
                          std::to_string(kMaxTreeLevel) + "; the line is left out");
      continue;
    }
    if (!AllDigits(flagText) || ReadDecimal(std::string(flagText).c_str()) >= kTreeFlagCount) {
      problem(lineNo, "the T flag \"" + SjisToUtf8(flagText) + "\" is not 0 to " +
                          std::to_string(kTreeFlagCount - 1) + "; the line is left out");
      continue;
    }
    if (static_cast<int>(nodes.size()) >= kMaxTreeNodes) {
      problem(lineNo, "tree " + std::to_string(current) + " has more than " +
                          std::to_string(kMaxTreeNodes) + " nodes; the line is left out");
      continue;
    }
    if (caption.size() > kTreeCaptionBytes || target.size() > kTreeTargetBytes) {
      problem(lineNo, "a caption over " + std::to_string(kTreeCaptionBytes) +
                          " bytes or a target over " + std::to_string(kTreeTargetBytes) +
                          " bytes; the line is left out");
      continue;
    }
    const size_t colon = target.find(':');
    if (target.substr(0, colon).size() >= static_cast<size_t>(kNameSize)) {
      problem(lineNo, "the script name of \"" + SjisToUtf8(target) + "\" is longer than " +
                          std::to_string(kNameSize - 1) + " bytes; the line is left out");
      continue;
    }
    TreeNode node;
    node.level = ReadDecimal(std::string(levelText).c_str());
    node.flag = ReadDecimal(std::string(flagText).c_str());
    node.caption = std::string(caption);
    node.target = std::string(target);
    nodes.push_back(std::move(node));
  }
  return set;
}

SelectionTree::SelectionTree(EngineState& state, Screen& screen, Font& font, Platform& platform,
                             SelectionTreeHooks hooks)
    : s_(state), screen_(screen), font_(font), platform_(platform), hooks_(std::move(hooks)) {}

void SelectionTree::Register(CommandTable& table) {
  table.Register(kSeltree, [this](const char* arg) { return Seltree(arg); });
}

void SelectionTree::ReadTrees() {
  trees_ = TreeSet{};
  const std::vector<uint8_t>* text = hooks_.loadConfigScript(kTreeScript);
  if (text == nullptr) return;
  std::vector<std::string> problems;
  trees_ = ReadSelectionTrees(*text, &problems);
  for (const std::string& p : problems) LogMessage(p);
}

const TreeNode* SelectionTree::Node(int n) const {
  if (current_ < 0) return nullptr;
  const auto& nodes = trees_.trees[static_cast<size_t>(current_)];
  return n >= 0 && n < static_cast<int>(nodes.size()) ? &nodes[static_cast<size_t>(n)] : nullptr;
}

bool SelectionTree::Shown(const TreeNode& node) const {
  return s_.vars.T.Test(node.flag);
}

int SelectionTree::Seltree(const char* arg) {
  const int32_t n = ReadDecimal(arg);
  if (!OpenTree(n)) {
    LogMessage("seltree " + std::to_string(n) + ": " + kTreeScript +
               " defines no such tree; the story goes on");
  }
  return 1;
}

void SelectionTree::DrawBox(Surface& target, const Surface& picture, int x, int y) {
  if (picture.Empty()) return;
  if (x < 0 || y < 0 || x + picture.Width() > target.Width() ||
      y + picture.Height() / 2 > target.Height()) {
    if (!misfitSaid_) {
      LogMessage("seltree: a box at " + std::to_string(x) + "," + std::to_string(y) +
                 " would leave the screen; boxes that do not fit are not drawn");
    }
    misfitSaid_ = true;
    return;
  }
  DrawMaskedStacked(target, x, y, picture);
}

void SelectionTree::DrawCaption(Surface& target, const std::string& caption, int x, int y,
                                bool lit) {
  font_.DrawTextRunCentred(caption, x, target, lit ? kLitCaptionStyle : kCaptionStyle, y);
}

bool SelectionTree::OpenTree(int n) {
  if (n < 0 || n >= kTreeCount || trees_.trees[static_cast<size_t>(n)].empty()) return false;
  hooks_.closeMessageWindow();
  s_.busy = true;
  current_ = n;
  misfitSaid_ = false;
  const std::string title = "sys_tree_title" + std::to_string(s_.vars.V[kTitleVariable]);
  const std::pair<const char*, Surface*> pictures[] = {{title.c_str(), &title_},
                                                       {"sys_tree_root", &root_},
                                                       {"sys_tree_root2", &rootLit_},
                                                       {"sys_tree_branch", &branch_},
                                                       {"sys_tree_branch2", &branchLit_}};
  for (const auto& [name, picture] : pictures) {
    *picture = Surface();
    hooks_.loadPicture(name, *picture);
  }

  base_ = screen_.screenSurface;
  DrawBox(base_, title_, kTitleX, kTitleY);
  DrawBox(base_, root_, kRootX, kRootY);
  const auto& nodes = trees_.trees[static_cast<size_t>(n)];
  DrawCaption(base_, nodes[0].caption, kCaptionX, kRootCaptionY, false);
  rows_.assign(1, 0);
  for (int i = 1; i < static_cast<int>(nodes.size()); ++i) {
    const TreeNode& node = nodes[static_cast<size_t>(i)];
    if (node.level != 0 || !Shown(node)) continue;
    if (static_cast<int>(rows_.size()) >= kTreeRows) break;
    const int j = static_cast<int>(rows_.size());
    DrawBox(base_, branch_, kBranchX, kBranchTop + kRowPitch * j);
    DrawCaption(base_, node.caption, kCaptionX, kCaptionY + kRowPitch * j, false);
    rows_.push_back(i);
  }
  subRows_.clear();
  subOf_ = -1;
  offset_ = 0;
  pending_.clear();
  shownRow_ = shownSub_ = -1;
  screen_.screenSurface = base_;
  platform_.Present(screen_.screenSurface);
  s_.interactionMode = 6;
  s_.busy = false;
  return true;
}

void SelectionTree::CollectSubRows(int row) {
  subOf_ = row;
  subRows_.clear();
  const auto& nodes = trees_.trees[static_cast<size_t>(current_)];
  const int node = rows_[static_cast<size_t>(row)];
  if (!nodes[static_cast<size_t>(node)].target.empty()) return;
  const int level = nodes[static_cast<size_t>(node)].level + 1;
  for (int i = node + 1; i < static_cast<int>(nodes.size()); ++i) {
    const TreeNode& n = nodes[static_cast<size_t>(i)];
    if (n.level < level) break;
    if (n.level != level || !Shown(n)) continue;
    if (static_cast<int>(subRows_.size()) >= kTreeRows) break;
    subRows_.push_back(i);
  }
  const int count = static_cast<int>(subRows_.size());
  offset_ = count + row > 12 ? 528 - kRowPitch * count : kRowPitch * row;
}

void SelectionTree::Show(int r, int k) {
  if (r == shownRow_ && k == shownSub_) return;
  shownRow_ = r;
  shownSub_ = k;
  Surface& screen = screen_.screenSurface;
  screen = base_;
  const auto& nodes = trees_.trees[static_cast<size_t>(current_)];
  if (r >= 0) {
    const TreeNode& node = nodes[static_cast<size_t>(rows_[static_cast<size_t>(r)])];
    if (r == 0) {
      DrawBox(screen, rootLit_, kRootX, kRootY);
      DrawCaption(screen, node.caption, kCaptionX, kRootCaptionY, true);
    } else {
      DrawBox(screen, branchLit_, kBranchX, kBranchTop + kRowPitch * r);
      DrawCaption(screen, node.caption, kCaptionX, kCaptionY + kRowPitch * r, true);
    }
    if (subOf_ == r) {
      for (int i = 0; i < static_cast<int>(subRows_.size()); ++i) {
        const TreeNode& sub = nodes[static_cast<size_t>(subRows_[static_cast<size_t>(i)])];
        const bool lit = i == k;
        if (i == 0) {
          DrawBox(screen, lit ? rootLit_ : root_, kSubRootX, offset_ + kRootY);
          DrawCaption(screen, sub.caption, kSubCaptionX, offset_ + kSubRootCaptionY, lit);
        } else {
          DrawBox(screen, lit ? branchLit_ : branch_, kSubBranchX,
                  offset_ + kBranchTop + kRowPitch * i);
          DrawCaption(screen, sub.caption, kSubCaptionX, offset_ + kCaptionY + kRowPitch * i, lit);
        }
      }
    }
  }
  platform_.Present(screen);
}

void SelectionTree::Hover(int x, int y) {
  if (current_ < 0 || s_.interactionMode != 6) return;
  const auto& nodes = trees_.trees[static_cast<size_t>(current_)];
  const int rows = static_cast<int>(rows_.size());
  if (x < kBranchX || y < kRootY) {
    pending_.clear();
    subOf_ = -1;
    subRows_.clear();
    Show(-1, -1);
  } else if (x <= kFirstColumnRight && y < kBranchTop + kRowPitch * rows) {
    const int r = y <= 112 ? 0 : (y - 113) / kRowPitch + 1;
    CollectSubRows(r);
    pending_ = nodes[static_cast<size_t>(rows_[static_cast<size_t>(r)])].target;
    Show(r, -1);
  } else if (x >= kSubBranchX && x <= kSecondColumnRight) {
    const int count = subOf_ == shownRow_ ? static_cast<int>(subRows_.size()) : 0;
    if (count == 0 || y < offset_ + kRootY) {
      pending_.clear();
      Show(shownRow_, -1);
      return;
    }
    const int k = y - kRootY < offset_ + 41 ? 0 : (y - offset_ - 113) / kRowPitch + 1;
    if (k >= count) {
      pending_.clear();
      Show(shownRow_, -1);
      return;
    }
    pending_ = nodes[static_cast<size_t>(subRows_[static_cast<size_t>(k)])].target;
    Show(shownRow_, k);
  } else {
    pending_.clear();
  }
}

void SelectionTree::Click(MouseButton, int, int) {
  if (current_ < 0 || s_.interactionMode != 6 || pending_.empty()) return;
  const size_t colon = pending_.find(':');
  const std::string script = pending_.substr(0, colon);
  const std::string label = colon == std::string::npos ? std::string() : pending_.substr(colon + 1);
  if (s_.callDepth < 0) s_.callDepth = 0;
  if (s_.callDepth >= kMaxCallDepth) {
    LogMessage("seltree: calls are nested " + std::to_string(kMaxCallDepth) + " deep already; " +
               SjisToUtf8(pending_) + " is not called");
  } else {
    s_.callReturns[s_.callDepth] = s_.scriptPos;
    CopyField(s_.callNames[s_.callDepth], kNameSize, s_.scriptName);
    if (hooks_.loadScript(script.c_str())) {
      CopyField(s_.scriptName, kNameSize, script.c_str());
      hooks_.resetWaits();
      s_.callDepth += 1;
      if (!label.empty()) hooks_.gotoLabel(label.c_str());
      hooks_.restoreTextColour();
    } else {
      LogMessage("seltree: the game has no script \"" + SjisToUtf8(script) +
                 "\"; the story goes on after seltree");
    }
  }
  Close();
}

void SelectionTree::EndTree() {
  if (current_ < 0) return;
  Close();
}

void SelectionTree::Close() {
  screen_.screenSurface = screen_.sceneSurface;
  platform_.Present(screen_.screenSurface);
  s_.interactionMode = 0;
  current_ = -1;
  rows_.clear();
  subRows_.clear();
  subOf_ = -1;
  pending_.clear();
  base_ = Surface();
}

}  // namespace zorvel
