// Saving and loading through the list dialog and the quick slot, as a player does it.
#include <gtest/gtest.h>

#include <filesystem>

#include "fixture.h"
#include "platform/files.h"
#include "platform/png_reader.h"
#include "save/slot_file.h"

namespace zorvel::test {
namespace {

constexpr char kConfig[] = "MAKER_REG:Software\\Zorvel\\Test\nGAME_ID:test\n";
// The dialog's client area is centred over the game area: (155, 95). Its action button sits at
// (384, 352), 91 x 41; the close button at (288, 352).
constexpr char kActionButton[] = "584 467";
constexpr char kCloseButton[] = "480 467";

class SaveTest : public ::testing::Test {
 protected:
  Session& Play(const std::string& main, const std::string& events, uint32_t ms) {
    WriteGame(game_.Path(), {{"main", main}, {"_config", kConfig}});
    std::filesystem::create_directories(config_ / "Software/Zorvel");
    WriteText(config_ / "Software/Zorvel/Test.ini", "[test]\n");
    session_ = std::make_unique<Session>(game_.Path(), config_.Path());
    session_->Events(events);
    session_->RunFor(ms);
    return *session_;
  }
  TempDir game_, config_;
  std::unique_ptr<Session> session_;
};

constexpr char kTwoPages[] = "!S000=0\n!S028=1\n!V001=5\nいち▼\n!V001=7\nに▼\n@sleep -1\n";

TEST_F(SaveTest, SaveListThenLoadListBringsTheGameBack) {
  const std::string events = std::string("500 key s\n") + "900 click " + kActionButton + "\n" +
                             "1500 click 400 300\n" + "2000 key l\n" + "2400 click " +
                             kActionButton + "\n";
  Session& s = Play(kTwoPages, events, 1300);
  const std::string slot = game_ / "save/save01.dat";
  ASSERT_TRUE(std::filesystem::exists(slot));
  EXPECT_EQ(std::filesystem::file_size(slot), kSlotFileSize);
  EXPECT_EQ(s.state().vars.V[1], 5);
  s.RunFor(500);
  EXPECT_EQ(s.state().vars.V[1], 7);
  s.RunFor(1500);
  EXPECT_EQ(s.state().vars.V[1], 5);  // loaded
  EXPECT_TRUE(s.state().interpreterOn);
  // The page as it was saved (this game's window holds one character a row).
  EXPECT_EQ(s.PageRow(2) + s.PageRow(3), "いち");
  // The list remembers the slot, and the setting the last saved slot.
  EXPECT_NE(ReadText(config_ / "Software/Zorvel/Test.ini").find("LastSaveSlot=1"),
            std::string::npos);
}

TEST_F(SaveTest, LoadListOnAnEmptySlotStaysOpenAndLoadsNothing) {
  const std::string events = std::string("500 key l\n") + "900 click " + kActionButton + "\n" +
                             "1200 screenshot " + (game_ / "list.png") + "\n1300 click " +
                             kCloseButton + "\n";
  Session& s = Play(kTwoPages, events, 2000);
  EXPECT_EQ(s.state().vars.V[1], 5);
  EXPECT_TRUE(s.state().interpreterOn);
  EXPECT_FALSE(std::filesystem::exists(game_ / "save/save01.dat"));
}

// F12 is the quick-save button and F9 quick load, which asks first; the banners announce both.
TEST_F(SaveTest, QuickSaveAndQuickLoadAfterTheQuestion) {
  Session& s = Play(kTwoPages,
                    "500 key F12\n700 screenshot " + (game_ / "banner.png") +
                        "\n2500 click 400 300\n3000 key F9\n3400 click 330 210\n",
                    2000);
  const std::string slot = game_ / "save/save99.dat";
  ASSERT_TRUE(std::filesystem::exists(slot));
  SlotFile file;
  std::string why;
  ASSERT_TRUE(file.Parse(ReadWholeFile(slot).value(), why));
  EXPECT_EQ(file.Text(SlotLayout::kComment, SlotLayout::kCommentSize), "Quick Save");
  // The quick slot is not remembered as the last saved one.
  EXPECT_EQ(ReadText(config_ / "Software/Zorvel/Test.ini").find("LastSaveSlot"), std::string::npos);
  s.RunFor(1000);
  EXPECT_EQ(s.state().vars.V[1], 7);
  s.RunFor(3000);
  EXPECT_EQ(s.state().vars.V[1], 5);
  EXPECT_FALSE(s.state().busy);
  EXPECT_FALSE(s.state().toolbarLocked);
}

// The list as a player uses it: a row picked, a comment typed, a save; in the load list the
// row kept, the order turned round by the slot column, and the slot deleted.
TEST_F(SaveTest, ListRowsCommentSortingAndDelete) {
  // Rows are 21 pixels apart from slot 01 at y 147; the comment field is at (251, 481), the
  // delete button at (380, 475), the slot column's header at (180, 128).
  const std::string events = std::string("500 key s\n") + "700 click 300 168\n" +
                             "800 click 251 481\n900 text memo\n1000 click " + kActionButton +
                             "\n1500 key l\n1700 click 180 128\n1800 click 180 128\n" +
                             "2000 click 380 475\n" + "2100 key Escape\n";
  Session& s = Play(kTwoPages, events, 1300);
  SaveLoadDialog& list = s.engine().Saves().Dialog();
  EXPECT_EQ(list.RowCount(), 98);  // the quick slot is not offered for saving
  ASSERT_TRUE(std::filesystem::exists(game_ / "save/save02.dat"));
  EXPECT_EQ(list.RowText(1, 3), "memo");

  s.RunFor(1500);
  EXPECT_FALSE(list.IsOpen());
  EXPECT_EQ(list.RowCount(), 99);
  EXPECT_EQ(list.RowText(0, 0), "99");  // the second click on the header turned the order
  EXPECT_EQ(list.SelectedSlot(), 2);    // the row chosen last time, wherever it moved
  EXPECT_FALSE(std::filesystem::exists(game_ / "save/save02.dat"));
  EXPECT_EQ(list.RowText(97, 1), " 未登録");
  EXPECT_EQ(list.RowText(97, 3), "");
  EXPECT_TRUE(s.state().interpreterOn);
}

// The page-turning Enter goes down at a click wait; the script then opens the list, and the
// key's release arrives there. It belongs to the page: the list stays open with nothing saved
// or loaded, and only an Enter the player presses in the list acts.
TEST_F(SaveTest, KeyPressedBeforeTheListOpenedDoesNotActInIt) {
  const std::string madeSlot01 = std::string("300 key s\n400 click ") + kActionButton + "\n";
  struct Case {
    const char* command;
    std::string events;  // the slot the list would act on exists or not
  };
  const Case cases[] = {{"save", ""}, {"load", madeSlot01}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    std::filesystem::remove_all(game_ / "save");
    Session& s =
        Play(std::string("!S000=0\n!S028=1\n!V001=5\nいち▼\n!V001=7\n@") + c.command +
                 "\n!V001=9\nに▼\n@sleep -1\n",
             c.events + "1000 keydown Enter\n1400 keyup Enter\n1600 dump -\n1800 key Enter\n", 0);
    // The list runs its own loop through the events; the dump event looks in on it.
    struct {
      bool open = false;
      int v1 = 0;
      bool slot = false;
    } afterRelease;
    s.platform().SetDumpHandler([&](const std::string&) {
      afterRelease = {s.engine().Saves().Dialog().IsOpen(), s.state().vars.V[1],
                      std::filesystem::exists(game_ / "save/save01.dat")};
    });
    s.RunFor(2500);
    const bool saving = std::string(c.command) == "save";
    EXPECT_TRUE(afterRelease.open);
    EXPECT_EQ(afterRelease.v1, 7);  // neither loaded nor past the list
    EXPECT_NE(afterRelease.slot, saving);
    EXPECT_FALSE(s.engine().Saves().Dialog().IsOpen());
    EXPECT_TRUE(std::filesystem::exists(game_ / "save/save01.dat"));
    // Saving goes on past the list; loading brings back the page before it.
    EXPECT_EQ(s.state().vars.V[1], saving ? 9 : 5);
  }
}

// A slot file whose 128-byte header holds the date, the description and the comment given
// (Shift-JIS bytes); the rest does not matter to the list.
void WriteSlotHeader(const std::string& path, const std::string& date, const std::string& text,
                     const std::string& comment = "") {
  std::string header(128, '\0');
  header.replace(0, date.size(), date);
  header.replace(20, text.size(), text);
  header.replace(96, comment.size(), comment);
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  WriteText(path, header + std::string(kSlotFileSize - 128, '\0'));
}

// Rows are 21 pixels apart from slot 01 at y 147; the date column's header is at (250, 128).
constexpr int kFirstRowY = 147;
constexpr int kRowPitch = 21;

TEST_F(SaveTest, ReopenedListKeepsTheSortAndTheSlot) {
  WriteSlotHeader(game_ / "save/save02.dat", "2026/01/01 10:00:00", " b");
  WriteSlotHeader(game_ / "save/save05.dat", "2026/03/01 10:00:00", " e");
  WriteSlotHeader(game_ / "save/save07.dat", "2025/12/31 09:00:00", " g");
  // The date column sorted twice (descending), the third row picked, the list closed and
  // opened again, as the load list and then as the save list.
  const std::string events = std::string("500 key l\n700 click 250 128\n800 click 250 128\n") +
                             "900 click 300 " + std::to_string(kFirstRowY + 2 * kRowPitch) +
                             "\n1000 click " + kCloseButton + "\n1500 key l\n";
  Session& s = Play(kTwoPages, events, 1800);
  SaveLoadDialog& list = s.engine().Saves().Dialog();
  for (const bool saving : {false, true}) {
    SCOPED_TRACE(saving ? "save list" : "load list");
    if (saving) {
      s.Events(std::to_string(s.platform().Ticks()) + " click " + kCloseButton + "\n" +
               std::to_string(s.platform().Ticks() + 300) + " key s\n");
      s.RunFor(600);
    }
    EXPECT_EQ(list.RowCount(), saving ? 98 : 99);
    EXPECT_EQ(list.RowText(0, 0), "05");
    EXPECT_EQ(list.RowText(1, 0), "02");
    EXPECT_EQ(list.RowText(2, 0), "07");
    EXPECT_EQ(list.RowText(3, 0), "01");  // the unused rows after them, in slot order
    EXPECT_EQ(list.SelectedSlot(), 7);
  }
}

// A row is one line whatever bytes its header holds, and the date column shows the whole
// time stamp.
TEST_F(SaveTest, RowsAreOneLineAndTheDateFitsWhole) {
  WriteSlotHeader(game_ / "save/save02.dat", "2026/12/31 23:59:58", " ");
  WriteSlotHeader(game_ / "save/save03.dat", "2026/12/31 23:59:5", " ");
  WriteSlotHeader(game_ / "save/save04.dat", "8", " ");
  WriteSlotHeader(game_ / "save/save05.dat", "2026/01/01 00:00:00", " line one\nline two", "a\rb");
  const std::string png = game_ / "list.png";
  Session& s = Play(kTwoPages, "500 key l\n800 screenshot " + png + "\n", 1000);
  SaveLoadDialog& list = s.engine().Saves().Dialog();
  EXPECT_EQ(list.RowText(4, 2), " line one line two");
  EXPECT_EQ(list.RowText(4, 3), "a b");

  Surface shown;
  const auto bytes = ReadWholeFile(png);
  ASSERT_TRUE(bytes && ReadPng(*bytes, shown, nullptr));
  // The ink of a row's date cell, up to the column's border (a line through the whole row):
  // its leftmost and rightmost dark columns.
  const auto ink = [&shown](int row) {
    const int y0 = kFirstRowY + row * kRowPitch - 6;
    int left = 800, right = -1;
    for (int x = 215; x < 500; ++x) {
      int dark = 0;
      for (int y = y0; y < y0 + 13; ++y) {
        const auto p = PixelAt(shown, x, y);
        if (std::max({p[0], p[1], p[2]}) < 128) ++dark;
      }
      if (dark == 13) break;
      if (dark > 0) {
        left = std::min(left, x);
        right = std::max(right, x);
      }
    }
    return std::pair{left, right};
  };
  const auto [eightLeft, eightRight] = ink(3);
  ASSERT_GE(eightRight, eightLeft);
  // The last 8 of slot 02's stamp shows as much of itself as the 8 of slot 04 does.
  EXPECT_GE(ink(1).second - ink(2).second, eightRight - eightLeft + 1)
      << "the date column cuts the seconds";
}

}  // namespace
}  // namespace zorvel::test
