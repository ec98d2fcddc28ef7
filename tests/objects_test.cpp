// Objects (`obj_`): the sub-command words and their numbers, and every sub-command played
// through the engine with its waits on the virtual clock.
#include "graphics/objects.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "fixture.h"
#include "script/decimal.h"

namespace zorvel {
namespace {

using test::PixelAt;
using test::Session;
using test::Solid;
using test::TempDir;

TEST(ObjectCommand, WordsMatchWithoutCaseInTheirOrderAndNumbersFollowEachComma) {
  const Hook<int32_t(const char*)> evaluate = [](const char* text) { return ReadDecimal(text); };
  const struct {
    const char* arg;
    ObjectVerb verb;
    int32_t n, x, y;
    std::optional<int32_t> wait;
    const char* name;
  } cases[] = {
      {"load 3,OB01 ", ObjectVerb::kLoad, 3, 0, 0, {}, "OB01"},
      {"LoAd 31,B X", ObjectVerb::kLoad, 31, 0, 0, {}, "B X"},
      {"del 4", ObjectVerb::kDel, 4, 0, 0, {}, ""},
      {"set 1,20,30", ObjectVerb::kSet, 1, 20, 30, {}, ""},
      {"SET 1,20,30,40", ObjectVerb::kSet, 1, 20, 30, 40, ""},
      {"set 1,20", ObjectVerb::kSet, 1, 20, 0, {}, ""},
      {"era 2,5,6,7", ObjectVerb::kEra, 2, 5, 6, 7, ""},
      {"fix 2,5,6,7", ObjectVerb::kFix, 2, 5, 6, 7, ""},
      {"fix", ObjectVerb::kFix, 0, 0, 0, {}, ""},
      {"b_make", ObjectVerb::kBMake, 0, 0, 0, {}, ""},
      {"B_END", ObjectVerb::kBEnd, 0, 0, 0, {}, ""},
      {"b_reset", ObjectVerb::kBReset, 0, 0, 0, {}, ""},
      {"b_set 1,2,3,4", ObjectVerb::kBSet, 1, 2, 3, {}, ""},
      {"b_show", ObjectVerb::kBShow, 0, 0, 0, {}, ""},
      {"set", ObjectVerb::kNone, 0, 0, 0, {}, ""},  // "set " needs its blank
      {"show 1", ObjectVerb::kNone, 0, 0, 0, {}, ""},
      {"", ObjectVerb::kNone, 0, 0, 0, {}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arg);
    const ObjectCommand got = ParseObjectCommand(c.arg, evaluate);
    EXPECT_EQ(got.verb, c.verb);
    EXPECT_EQ(got.n, c.n);
    EXPECT_EQ(got.x, c.x);
    EXPECT_EQ(got.y, c.y);
    EXPECT_EQ(got.wait, c.wait);
    EXPECT_EQ(got.name, c.name);
  }
}

// OB01: 20 x 20 red, opaque. OB02: 16 x 16 green through a mask of 128.
Surface ObjectPicture(int side, std::array<uint8_t, 3> rgb, uint8_t mask) {
  Surface s = Solid(side, 2 * side, rgb[0], rgb[1], rgb[2]);
  s.FillRect(0, side, side, side, mask, mask, mask);
  return s;
}

class ObjectPlay : public ::testing::Test {
 protected:
  struct Seen {
    uint32_t ms;
    std::array<uint8_t, 3> at[5];
  };
  // Places the test looks at: the set, era'd, fixed, upper-case and back-picture spots.
  static constexpr std::pair<int, int> kSpots[5] = {
      {105, 105}, {205, 105}, {305, 105}, {405, 105}, {15, 15}};

  Session& Start(const std::string& main) {
    std::filesystem::create_directories(root_ / "game");
    test::WriteGame(root_ / "game", {{"main", main}});
    test::WritePictures(root_ / "game/vx_gra.kpz", {{"A_BG", Solid(800, 600, 0, 0, 128)},
                                                    {"OB01", ObjectPicture(20, {250, 0, 0}, 255)},
                                                    {"OB02", ObjectPicture(16, {0, 250, 0}, 128)}});
    session_ = std::make_unique<Session>(root_ / "game", root_ / "config");
    HeadlessPlatform& p = session_->platform();
    p.SetPresentHook([this, &p] {
      Seen seen{p.Ticks(), {}};
      for (int i = 0; i < 5; ++i)
        seen.at[i] = PixelAt(p.LastFrame(), kSpots[i].first, kSpots[i].second);
      if (seen_.empty() || std::memcmp(seen_.back().at, seen.at, sizeof seen.at) != 0) {
        seen_.push_back(seen);
      }
    });
    return *session_;
  }

  TempDir root_;
  std::unique_ptr<Session> session_;
  std::vector<Seen> seen_;
};

constexpr std::array<uint8_t, 3> kBlue = {0, 0, 128};
// Opaque is a mask of 255, which lets 1/256 of what lies beneath through.
constexpr std::array<uint8_t, 3> kRed = {250 * 255 / 256, 0, 0};

TEST_F(ObjectPlay, SubCommandsDrawWaitAndBuildTheBackPicture) {
  Session& s = Start(
      "@gra A_BG 0\n"
      "@obj_load 0,OB01\n"
      "@obj_load 1,OB02\n"
      "@obj_load 40,OB02\n"
      "@obj_set 0,100,100,500\n"    // shown for 500 ms from the command's start
      "@obj_era 0,100,100,300\n"    // erased, then 300 ms
      "@obj_fix 0,200,100,200\n"    // into the screen surface too
      "@obj_SET 0,300,100,100\n"    // the word without case; shown only
      "@obj_set 5,400,100,400\n"    // never loaded: nothing drawn, still waits
      "@obj_set 40,400,100,5000\n"  // no such slot: ignored, no wait
      "@obj_b_set 1,10,10\n"        // no back picture yet: nothing
      "@obj_b_make\n"
      "@obj_b_reset\n"
      "@obj_b_set 1,10,10\n"
      "@obj_b_set 1,50,10\n"
      "@obj_b_show\n"
      "!V001=1\n"
      "@sleep -1\n");
  s.RunFor(3000);
  ASSERT_EQ(s.state().vars.V[1], 1);
  ASSERT_GE(seen_.size(), 5u);
  // Find the set: the first frame with the red object at its spot.
  size_t k = 0;
  while (k < seen_.size() && seen_[k].at[0] != kRed) ++k;
  ASSERT_LT(k + 4, seen_.size());
  const uint32_t t = seen_[k].ms;
  EXPECT_EQ(seen_[k + 1].ms, t + 500);  // era
  EXPECT_EQ(seen_[k + 1].at[0], kBlue);
  EXPECT_EQ(seen_[k + 2].ms, t + 800);  // fix
  EXPECT_EQ(seen_[k + 2].at[1], kRed);
  EXPECT_EQ(seen_[k + 3].ms, t + 1000);  // SET
  EXPECT_EQ(seen_[k + 3].at[2], kRed);
  // The back picture, shown after the unloaded slot's 400 ms: the screen (with the fixed object
  // but not the shown one) and two half-transparent green objects.
  const Seen& back = seen_[k + 4];
  EXPECT_EQ(back.ms, t + 1500);
  EXPECT_EQ(back.at[0], kBlue);
  EXPECT_EQ(back.at[1], kRed);
  EXPECT_EQ(back.at[2], kBlue);
  EXPECT_EQ(back.at[3], kBlue);
  const std::array<uint8_t, 3> half = {0, 250 * 128 / 256, 128 * 127 / 256};
  EXPECT_EQ(back.at[4], half);
  EXPECT_EQ(PixelAt(s.platform().LastFrame(), 55, 15), half);
  EXPECT_EQ(seen_.size(), k + 5);

  // Only the fixed object is in the screen surface; a repaint shows it alone.
  s.engine().PBPaint();
  s.platform().Flush();
  EXPECT_EQ(PixelAt(s.platform().LastFrame(), 205, 105), kRed);
  EXPECT_EQ(PixelAt(s.platform().LastFrame(), 305, 105), kBlue);
  EXPECT_EQ(PixelAt(s.platform().LastFrame(), 15, 15), kBlue);

  const std::string json = s.engine().DumpState(0);
  EXPECT_NE(json.find(R"("objects":{"slots":[{"n":0,"name":"OB01","width":20,"height":20},)"
                      R"({"n":1,"name":"OB02","width":16,"height":16}],"back":true})"),
            std::string::npos)
      << json;
}

TEST_F(ObjectPlay, DelAndBEndForgetAndALaterShowDrawsNothing) {
  Session& s = Start(
      "@gra A_BG 0\n"
      "@obj_load 0,OB01\n"
      "@obj_b_make\n"
      "@obj_b_end\n"
      "@obj_b_show\n"
      "@obj_del 0\n"
      "@obj_set 0,100,100\n"
      "@obj_load 2,MISSING\n"
      "!V001=1\n"
      "@sleep -1\n");
  s.RunFor(1500);
  ASSERT_EQ(s.state().vars.V[1], 1);
  for (const Seen& seen : seen_) EXPECT_NE(seen.at[0], kRed);
  EXPECT_FALSE(s.engine().ObjectSlots().BackPictureExists());
  EXPECT_FALSE(s.engine().ObjectSlots().Slot(0).loaded);
  // A name that cannot be found still makes the slot loaded, with nothing to draw.
  EXPECT_TRUE(s.engine().ObjectSlots().Slot(2).loaded);
  EXPECT_TRUE(s.engine().ObjectSlots().Slot(2).work.Empty());
}

}  // namespace
}  // namespace zorvel
