// Movies: the `movie` command played headless through the real player, which the headless
// clock steps frame by frame, so what is shown when and when the movie ends are exact.
#include "audio/movie.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "core/variable_banks.h"
#include "fixture.h"

namespace zorvel::test {
namespace {

namespace fs = std::filesystem;

// tests/data/movie_blue.mpg: two seconds of one colour (with a tone) at 160 x 120.
constexpr uint8_t kBlue[3] = {0x30, 0x60, 0xC8};
constexpr uint8_t kRed[3] = {0xC8, 0x20, 0x20};

class MovieTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(Game() + "/movies");
    const std::string clip = std::string(ZORVEL_SOURCE_DIR) + "/tests/data/movie_blue.mpg";
    fs::copy_file(clip, Game() + "/movies/Blue.mpg");
    fs::copy_file(clip, root_ / "outside.mpg");
    WritePictures(Game() + "/vx_gra.kpz", {{"ARED", Solid(800, 600, kRed[0], kRed[1], kRed[2])}});
  }
  std::string Game() const { return root_ / "game"; }

  // Plays `main` (its lines after the movie set V001) until the movie command has run.
  Session& Start(const std::string& main) {
    WriteGame(Game(), {{"main", main}});
    session_ = std::make_unique<Session>(Game(), root_ / "config");
    session_->RunFor(60);
    return *session_;
  }
  bool Near(std::array<uint8_t, 3> rgb, const uint8_t (&want)[3]) {
    for (int i = 0; i < 3; ++i) {
      if (std::abs(rgb[i] - want[i]) > 8) return false;
    }
    return true;
  }
  std::array<uint8_t, 3> Shown() {
    session_->platform().Flush();
    Surface shown;
    session_->platform().ShownPicture(shown);
    return PixelAt(shown, 400, 300);
  }
  static void Click(Session& s) {
    InputEvent e;
    e.kind = InputEvent::Kind::kMouseDown;
    e.button = MouseButton::kLeft;
    e.x = 400;
    e.y = 300;
    s.engine().HandleEvent(e);
  }

  TempDir root_;
  std::unique_ptr<Session> session_;
};

TEST_F(MovieTest, PathsOutsideTheGameOrMissingPlayNothing) {
  const std::string paths[] = {
      root_ / "outside.mpg",       // absolute, and the file exists
      "..\\outside.mpg",           // through the parent, and the file exists
      "movies/../../outside.mpg",  // the same, deeper
      "movies\\missing.mpg",       // missing
  };
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    Session& s = Start("@movie " + path + "\n!V001=1\n@sleep -1\n");
    EXPECT_FALSE(s.engine().MoviePlayer().Playing());
    EXPECT_FALSE(s.state().busy);
    EXPECT_EQ(s.state().vars.V[1], 1);  // the script went on at once
  }
}

TEST_F(MovieTest, PlaysOverWhatTheScriptDrawsAndAClickEndsItOnlyAfterTheGuard) {
  // `\` between names and another letter case than the file's, as the games write them. The
  // script goes on beneath the movie; its picture (and its transition's busy) waits.
  Session& s = Start("@movie MOVIES\\blue.MPG\n!V001=1\n@gra ARED 3\n!V002=1\n@sleep -1\n");
  const Movie& movie = s.engine().MoviePlayer();
  ASSERT_TRUE(movie.Playing());
  EXPECT_TRUE(s.state().busy);
  EXPECT_EQ(s.state().vars.V[1], 1);
  EXPECT_EQ(s.state().vars.V[2], 1);
  EXPECT_TRUE(Near(PixelAt(s.engine().Surfaces().screenSurface, 400, 300), kRed));

  s.engine().AppIdle();
  EXPECT_TRUE(Near(Shown(), kBlue)) << "the movie's colour did not reach the game area";
  s.engine().PBPaint();  // the window system asks for the game area again
  EXPECT_TRUE(Near(Shown(), kBlue));

  // The guard: every tick before the countdown reaches 1 ignores a click.
  int ticks = 0;
  while (movie.Countdown() > 1) {
    Click(s);
    ASSERT_TRUE(movie.Playing()) << "a click ended the movie after " << ticks << " ticks";
    s.engine().Timer1Timer();
    ++ticks;
  }
  EXPECT_GE(ticks, Movie::kGuardTicks - 2);
  EXPECT_TRUE(s.state().busy);

  s.state().toolbarLocked = true;
  Click(s);
  EXPECT_FALSE(movie.Playing());
  EXPECT_FALSE(s.state().busy);
  EXPECT_FALSE(s.state().toolbarLocked);
  EXPECT_TRUE(Near(Shown(), kRed)) << "the script's picture did not show after the movie";
}

TEST_F(MovieTest, FramesFollowTheGameClock) {
  // The demo's movie: a box 120 pixels wide crosses from x = 60 at 560 / 3 pixels a second.
  fs::copy_file(std::string(ZORVEL_SOURCE_DIR) + "/demo/files/movie/opening.mpg",
                Game() + "/movies/opening.mpg");
  Session& s = Start("@movie movies/opening.mpg\n@sleep -1\n");
  const uint32_t started = s.platform().Ticks();
  for (const uint32_t at : {500u, 1500u, 2500u}) {
    s.RunFor(started + at - s.platform().Ticks());
    Surface shown;
    s.platform().ShownPicture(shown);
    int left = 0;
    while (left < 800 && PixelAt(shown, left, 360)[0] < 0xC0) ++left;
    const double expected = 60 + 560 * (s.platform().Ticks() - started) / 3000.0;
    EXPECT_NEAR(left, expected, 16) << "at " << at << " ms";  // within two frames
  }
}

TEST_F(MovieTest, EndsByItselfAfterItsOwnLengthInGameTime) {
  // A file the player cannot read ends as soon as the guard has passed.
  WriteText(Game() + "/movies/junk.mpg", std::string(4000, 'x'));
  struct Case {
    const char* path;
    uint32_t fromMs, toMs;  // when the game sees the end, on the headless clock
  } cases[] = {{"movies/blue.mpg", 1900, 2300}, {"movies/junk.mpg", 950, 1200}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    Session& s = Start(std::string("@movie ") + c.path + "\n!V001=1\n@sleep -1\n");
    const uint32_t started = s.platform().Ticks();
    ASSERT_TRUE(s.engine().MoviePlayer().Playing());
    for (int ms = 0; ms < 5000 && s.state().busy; ms += 20) s.RunFor(20);
    const uint32_t lasted = s.platform().Ticks() - started;
    EXPECT_GE(lasted, c.fromMs);
    EXPECT_LE(lasted, c.toMs);
    EXPECT_FALSE(s.engine().MoviePlayer().Playing());
    s.RunFor(100);
    EXPECT_EQ(s.state().vars.V[1], 1);
  }
}

}  // namespace
}  // namespace zorvel::test
