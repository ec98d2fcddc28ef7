// Saving and loading through the list dialog and the quick slot, as a player does it.
#include <gtest/gtest.h>

#include <filesystem>

#include "fixture.h"
#include "platform/files.h"
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

}  // namespace
}  // namespace zorvel::test
