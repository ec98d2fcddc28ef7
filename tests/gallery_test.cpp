// The gallery viewer played through fixture games: entry states and their plates, the hit test
// (locked entries, buttons, tab ranges, links), the hover glow and its fade, the full view with
// its pans on the virtual clock, page turns, scene replays and their return, the music list and
// the music room, and what S000 is left at. Also the definition parser's bounds.
#include "extras/gallery.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "fixture.h"
#include "text/sjis.h"
#include "ui/player_input.h"

namespace zorvel::test {
namespace {

constexpr char kConfig[] =
    "MAKER_REG:Software\\Zorvel\\Test\nGAME_ID:test\n"
    "MOJI_MAX_X:40\nMOJI_MAX_Y:4\nTX_PITCH_X:13\nTX_PITCH_Y:30\nTXW_OFS_X:20\nTXW_OFS_Y:420\n"
    "TX_OFS_X:10\nTX_OFS_Y:10\nTXW_SIZE_X:760\nTXW_SIZE_Y:170\n";

using Rgb = std::array<uint8_t, 3>;
constexpr Rgb kNormal = {20, 20, 60};
constexpr Rgb kNormal2 = {60, 20, 20};
constexpr Rgb kHighlight = {250, 220, 0};
constexpr Rgb kPlate = {200, 0, 0};
constexpr Rgb kPlate2 = {0, 200, 0};

// Buttons, tabs and links share one layout in every viewer below.
constexpr char kButtons[] =
    "THM_SIZE:100,75\n"
    "NEXT:600,500,700,550\nPREV:500,500,600,550\nEXIT:700,500,800,550\n"
    "1:50,50\n2:200,50\n3:350,50\n4:500,50\n5:50,200\n";

const std::string kView = std::string(
                              ":VIEW_0\n{\nM2:700,560,760,590\nM3:600,560,660,590\n}\n"
                              // The picture gallery: three pages, tabs with ranges.
                              ":VIEW_1\n{\nTYPE:0\nGRA:PAGE_N,PAGE_H\nPLATE:PLATE\n"
                              "PLATE2:PLATE2\nSET:3\nMUSIC:7\n") +
                          kButtons +
                          "P0:10,500,60,530\nP1:70,500,120,530,2,3\nP2:130,500,180,530,0,0,2\n"
                          "}\n{\n1:A_CG01,A_CG02,A_CG03\n2:A_CG04\n3:A_CG05\n4:A_TALL\n"
                          "5:A_WIDE\n}\n{\n}\n{\nGRA:PAGE2_N,PAGE_H\n1:A_CG06\n2:A_CG05\n}\n"
                          // Its continuation numbers on after it.
                          ":2_VIEW_1\n{\nTYPE:0\nGRA:PAGE_N,PAGE_H\nSET:1\n" +
                          kButtons +
                          "}\n{\n1:A_CG07\n}\n"
                          // A music list of one page: its own link is inert.
                          ":VIEW_2\n{\nTYPE:2\nGRA:PAGE_N,PAGE_H\nSET:1\nMUSIC:9\n" +
                          kButtons +
                          "}\n{\n1:最初の曲\n2:次の曲\n}\n"
                          // The music room.
                          ":VIEW_3\n{\nTYPE:3\nGRA:PAGE_N,PAGE_H\nSET:1\n" +
                          kButtons +
                          "}\n{\n}\n"
                          // Scene replays: one unlocked, one locked.
                          ":VIEW_4\n{\nTYPE:1\nGRA:PAGE_N,PAGE_H\nPLATE:PLATE\nSET:1\nMUSIC:4\n" +
                          kButtons + "}\n{\n1:5,K_SCENE:START,夕方の坂道\n2:6,K_OTHER,まだ\n}\n";

Surface Striped(int width, int height, bool rows) {
  // Each row (or column) says where it is: red the low byte, green the high one.
  Surface s(width, height);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = s.Row(y);
    for (int x = 0; x < width; ++x) {
      const int k = rows ? y : x;
      row[x * 3] = 77;
      row[x * 3 + 1] = static_cast<uint8_t>(k >> 8);
      row[x * 3 + 2] = static_cast<uint8_t>(k & 255);
    }
  }
  return s;
}

// A plate: colour and mask side by side.
Surface Plate(Rgb colour) {
  Surface s(200, 75);
  s.FillRect(0, 0, 100, 75, colour[0], colour[1], colour[2]);
  s.FillRect(100, 0, 100, 75, 255, 255, 255);
  return s;
}

std::map<std::string, Surface> Pictures() {
  std::map<std::string, Surface> p = {
      {"PAGE_N", Solid(800, 600, kNormal[0], kNormal[1], kNormal[2])},
      {"PAGE2_N", Solid(800, 600, kNormal2[0], kNormal2[1], kNormal2[2])},
      {"PAGE_H", Solid(800, 600, kHighlight[0], kHighlight[1], kHighlight[2])},
      {"PLATE", Plate(kPlate)},
      {"PLATE2", Plate(kPlate2)},
      {"A_TALL", Striped(800, 1200, true)},
      {"A_WIDE", Striped(1600, 600, false)}};
  for (int i = 1; i <= 7; ++i) {
    p["A_CG0" + std::to_string(i)] = Solid(800, 600, static_cast<uint8_t>(30 * i), 100, 140);
  }
  return p;
}

class GalleryTest : public ::testing::Test {
 protected:
  // A game whose main script runs `main` (scripts: extra ones by name), then waits.
  Session& Play(const std::string& main, std::map<std::string, std::string> scripts = {},
                uint32_t ms = 1500) {
    scripts["main"] = main;
    scripts["_config"] = kConfig;
    scripts["view"] = kView;
    WriteGame(game_.Path(), scripts);
    WritePictures(game_ / "vx_gra.kpz", Pictures());
    session_ = std::make_unique<Session>(game_.Path(), config_.Path());
    session_->RunFor(ms);
    return *session_;
  }
  void Do(std::initializer_list<std::string> events, uint32_t ms = 100) {
    session_->Do(events, ms);
  }
  const Gallery& Viewer() { return session_->engine().Viewer(); }
  EngineState& State() { return session_->state(); }
  std::string Dump() { return session_->engine().DumpState(0); }
  Rgb Shown(int x, int y) { return PixelAt(session_->platform().LastFrame(), x, y); }
  // Masked drawing blends at 255/256.
  bool Near(int x, int y, Rgb colour) {
    const Rgb c = Shown(x, y);
    for (int i = 0; i < 3; ++i) {
      if (std::abs(c[i] - colour[i]) > 2) return false;
    }
    return true;
  }
  // The row or column a striped picture shows at the top left.
  int StripeAt00() {
    const Rgb c = Shown(0, 0);
    return c[1] << 8 | c[0];
  }

  TempDir game_, config_;
  std::unique_ptr<Session> session_;
};

TEST_F(GalleryTest, EntryStatesPlatesAndTheFullViewOfSeenPictures) {
  Session& s =
      Play("@gra A_CG02 0\n@gra A_CG05 0\n@gra A_CG07 0\n@viewer VIEW_1\n!V001=1\n@sleep -1\n");
  // Start-up numbered VIEW_1's pictures 0 to 8 and 2_VIEW_1's on from 9: showing them set those.
  EXPECT_NE(Dump().find(R"("seen":[1,4,9])"), std::string::npos) << Dump();
  EXPECT_NE(Dump().find(R"("viewer":{"name":"VIEW_1","type":0,"page":0,"hover":0,"fullView":""})"),
            std::string::npos);
  EXPECT_EQ(State().screenMode, 6);
  EXPECT_EQ(State().vars.S[0], 2);
  EXPECT_EQ(State().vars.V[1], 0);  // the script waits beneath the viewer
  EXPECT_EQ(s.engine().Input().PopupEnabled()[kPopupQuickLoad], false);

  // One of three seen: PLATE2; none seen: PLATE; all seen: the page itself.
  EXPECT_TRUE(Near(60, 60, kPlate2));
  EXPECT_TRUE(Near(210, 60, kPlate));
  EXPECT_EQ(Shown(360, 60), kNormal);
  EXPECT_EQ(Shown(400, 300), kNormal);

  // The glow: the highlighted page under the pointer, fading over 16 idle passes once it left.
  Do({"move 360 60"}, 40);
  EXPECT_EQ(Shown(360, 60), kHighlight);
  EXPECT_NE(Dump().find(R"("hover":3)"), std::string::npos);
  Do({"move 400 300"}, 20);
  const Rgb fading = Shown(360, 60);
  EXPECT_NE(fading, kHighlight);
  EXPECT_NE(fading, kNormal);
  s.RunFor(400);
  EXPECT_EQ(Shown(360, 60), kNormal);

  // A locked entry is not hit; a partly seen one shows only its seen picture, click after click.
  Do({"click 210 60"});
  EXPECT_FALSE(Viewer().FullView());
  EXPECT_EQ(Viewer().HoverCode(), 0);
  for (int i = 0; i < 3; ++i) {
    Do({"click 60 60"});
    EXPECT_EQ(Viewer().FullViewPicture(), "A_CG02");
    EXPECT_EQ(Shown(400, 300), (Rgb{60, 100, 140}));
  }
  // The right button leaves the full view for the page.
  Do({"click 400 300 right"});
  EXPECT_FALSE(Viewer().FullView());
  EXPECT_TRUE(Near(60, 60, kPlate2));

  // Page 2 names A_CG05 again: seen where it was first numbered, it is seen here too.
  Do({"click 150 510"});
  EXPECT_TRUE(Near(60, 60, kPlate));
  EXPECT_EQ(Shown(210, 60), kNormal2);
  Do({"click 210 60"});
  EXPECT_EQ(Viewer().FullViewPicture(), "A_CG05");
  Do({"click 400 300 right"});

  // EXIT: the script goes on, loading allowed and saving not, the music stopped.
  Do({"click 750 520"}, 300);
  EXPECT_EQ(State().screenMode, 0);
  EXPECT_EQ(State().vars.S[0], 1);
  EXPECT_EQ(State().vars.S[5], 0);
  EXPECT_EQ(State().vars.V[1], 1);
  EXPECT_NE(Dump().find(R"("viewer":{"name":"","type":0,"page":0,"hover":0,"fullView":""})"),
            std::string::npos);
}

TEST_F(GalleryTest, TallAndWidePicturesPanOnTheFrameClock) {
  Session& s = Play("待って▼\n@viewer VIEW_1\n@sleep -1\n");
  State().vars.seen.Set(5);
  State().vars.seen.Set(6);
  Do({"click 400 300"}, 300);
  ASSERT_EQ(State().screenMode, 6);

  struct Frame {
    uint32_t ms;
    int offset;
  };
  std::vector<Frame> frames;
  // One frame an offset: a flush that changed nothing is not a frame of the pan.
  s.platform().SetPresentHook([&] {
    const int offset = StripeAt00();
    if (frames.empty() || frames.back().offset != offset) {
      frames.push_back({s.platform().Ticks(), offset});
    }
  });
  struct Step {
    const char* click;
    int from, to, periodMs;
  };
  const Step steps[] = {
      // The tall picture opens on its bottom, then scrolls up, then down again.
      {"click 510 60", 600, 600, 0},
      {"click 400 300", 600, 0, 30},
      {"click 400 300", 0, 600, 30},
      // The wide one opens on its right end and scrolls left.
      {"click 400 300 right", -1, -1, 0},
      {"click 60 210", 800, 800, 0},
      {"click 400 300", 800, 0, 20},
  };
  for (const Step& step : steps) {
    frames.clear();
    Do({step.click}, 50);
    if (step.from < 0) continue;
    ASSERT_FALSE(frames.empty()) << step.click;
    EXPECT_EQ(frames.front().offset, step.from) << step.click;
    EXPECT_EQ(frames.back().offset, step.to) << step.click;
    if (step.periodMs == 0) continue;
    // 20 pixels a period, one frame a period on time.
    const size_t expected = static_cast<size_t>(std::abs(step.to - step.from) / 20 + 1);
    const auto pan = std::find_if(frames.begin(), frames.end(),
                                  [&](const Frame& f) { return f.offset == step.to; });
    ASSERT_EQ(static_cast<size_t>(pan - frames.begin()) + 1, expected) << step.click;
    EXPECT_EQ(pan->ms - frames.front().ms, static_cast<uint32_t>((expected - 1) * step.periodMs))
        << step.click;
  }
  s.platform().SetPresentHook([] {});
  EXPECT_EQ(Viewer().FullViewPicture(), "A_WIDE");
  // Back to the page and out: the game's screen is screen-sized again.
  Do({"click 400 300 right", "click 750 520"});
  EXPECT_EQ(State().screenMode, 0);
  EXPECT_EQ(s.engine().Surfaces().screenSurface.Width(), 800);
  EXPECT_EQ(s.engine().Surfaces().screenSurface.Height(), 600);
}

TEST_F(GalleryTest, PagesTabsAndLinks) {
  Play("@viewer VIEW_1\n@sleep -1\n");
  struct Step {
    const char* event;
    const char* viewer;
    int page;
  };
  const Step steps[] = {
      {"click 650 520", "VIEW_1", 1},                                  // NEXT
      {"click 650 520", "VIEW_1", 2}, {"click 650 520", "VIEW_1", 0},  // wraps
      {"click 550 520", "VIEW_1", 2},                                  // PREV wraps the other way
      {"click 90 510", "VIEW_1", 1},   // P1 is shown on pages 2 and 3: its own page
      {"click 90 510", "VIEW_1", 1},   // ... and inert on page 1
      {"click 30 510", "VIEW_1", 0},   // P0
      {"click 90 510", "VIEW_1", 0},   // P1 inert on page 0
      {"click 150 510", "VIEW_1", 2},  // P2 goes to page 2
      {"click 150 510", "VIEW_1", 2},  // and is shown on page 0 only
      {"click 730 570", "VIEW_2", 0},  // link M2
      {"click 730 570", "VIEW_2", 0},  // a viewer does not link to itself
      {"click 650 520", "VIEW_2", 0},  // SET 1: NEXT stays
      {"click 630 570", "VIEW_3", 0},  // link M3
  };
  for (const Step& step : steps) {
    Do({step.event});
    EXPECT_EQ(Viewer().Definition().name, step.viewer) << step.event;
    EXPECT_EQ(Viewer().Page(), step.page) << step.event;
  }
}

TEST_F(GalleryTest, PageTwoShowsItsOwnPictureAndOneSetDoesNotGlow) {
  Play("@viewer VIEW_1\n@sleep -1\n");
  Do({"click 150 510"});
  EXPECT_EQ(Shown(400, 300), kNormal2);
  Do({"click 730 570", "move 650 520"});
  ASSERT_EQ(Viewer().Definition().name, "VIEW_2");
  EXPECT_EQ(Shown(650, 520), kNormal);  // NEXT with SET 1 does not glow
  Do({"move 750 520"});
  EXPECT_EQ(Shown(750, 520), kHighlight);  // EXIT does
}

TEST_F(GalleryTest, MusicListAndMusicRoom) {
  Session& s = Play("@viewer VIEW_2\n!V001=1\n次▼\n@viewer VIEW_3\n!V001=2\n@sleep -1\n");
  EXPECT_EQ(State().vars.S[5], 9);  // the list's own music
  Do({"click 220 60"});
  EXPECT_EQ(State().vars.S[5], 2);
  Do({"click 750 520"});
  EXPECT_EQ(State().vars.S[0], 1);
  EXPECT_EQ(State().vars.S[5], 0);
  EXPECT_EQ(State().vars.V[1], 1);
  Do({"click 400 300"});
  ASSERT_EQ(Viewer().Definition().name, "VIEW_3");
  EXPECT_EQ(State().vars.S[5], 0);  // the room starts silent

  struct Step {
    const char* event;
    int music;
  };
  const Step steps[] = {
      {"click 220 60", 2},   // a track
      {"click 550 520", 0},  // PREV stops
      {"click 650 520", 2},  // NEXT plays the last track again
      {"click 650 520", 2},  // ... and does nothing while it plays
      {"click 60 60", 1},   {"click 550 520", 0}, {"click 650 520", 1},
  };
  for (const Step& step : steps) {
    Do({step.event});
    EXPECT_EQ(State().vars.S[5], step.music) << step.event;
  }
  // The playing track pulses: it glows again every 32 idle passes.
  bool pulsed = false;
  for (int i = 0; i < 40 && !pulsed; ++i) {
    s.RunFor(20);
    pulsed = Shown(60, 60) != kNormal;
  }
  EXPECT_TRUE(pulsed);
  // EXIT leaves S000 at 2 with the four items enabled.
  Do({"click 750 520"});
  EXPECT_EQ(State().screenMode, 0);
  EXPECT_EQ(State().vars.S[5], 0);
  EXPECT_EQ(State().vars.S[0], 2);
  EXPECT_EQ(State().vars.V[1], 2);
  EXPECT_TRUE(s.engine().Input().PopupEnabled()[kPopupQuickLoad]);
}

// A scene replay from a viewer opened in a called script: the scene calls a script of its own,
// ends in one of the three ways, and the game is back where it was, call stack and all.
TEST_F(GalleryTest, SceneReplayReturnsToTheRecord) {
  for (const char* ending : {"@end", "@exit", "@vend"}) {
    SCOPED_TRACE(ending);
    Session& s = Play("!E005=1\n!S050=0\n@call MENU\n!V002=V002+1\n@sleep -1\n",
                      {{"MENU", "@viewer VIEW_4\n!V001=V001+1\n@end\n"},
                       {"K_SCENE", std::string("始まり▼\n:START\n@call SUB\n!V011=1\nシーン▼\n") +
                                       ending + "\n!V012=1\n"},
                       {"SUB", "!V010=V010+1\n@end\n"},
                       {"K_OTHER", "!V013=1\n"}});
    ASSERT_EQ(State().screenMode, 6);
    const EngineState before = State();
    EXPECT_EQ(before.callDepth, 1);

    // The caption shows on a black band under the pointer.
    Do({"move 60 60"});
    EXPECT_EQ(Shown(590, 100), (Rgb{0, 0, 0}));
    // The locked scene is not played.
    Do({"click 210 60"});
    EXPECT_EQ(State().screenMode, 6);
    EXPECT_EQ(State().vars.V[13], 0);

    Do({"click 60 60"}, 500);
    EXPECT_EQ(State().screenMode, 0);
    EXPECT_EQ(State().replayOrigin, 1);
    EXPECT_STREQ(State().scriptName, "K_SCENE");
    EXPECT_EQ(State().vars.V[10], 1);  // played from the label, through its own call
    EXPECT_EQ(State().vars.V[11], 1);
    EXPECT_EQ(State().vars.S[28], 1);
    EXPECT_TRUE(s.engine().Input().ToolbarEnabled()[kToolbarSaveEdit]);
    EXPECT_FALSE(s.engine().Input().PopupEnabled()[kPopupLoad]);

    Do({"click 400 300"}, 300);
    EXPECT_EQ(State().vars.V[12], 0);
    EXPECT_EQ(State().screenMode, 6);
    EXPECT_EQ(State().replayOrigin, 0);
    EXPECT_EQ(State().vars.S[28], 0);
    EXPECT_EQ(State().vars.S[5], 4);
    EXPECT_FALSE(s.engine().Input().ToolbarEnabled()[kToolbarSaveEdit]);
    EXPECT_STREQ(State().scriptName, before.scriptName);
    EXPECT_EQ(State().scriptPos, before.scriptPos);
    EXPECT_EQ(State().callDepth, before.callDepth);
    EXPECT_STREQ(State().callNames[0], before.callNames[0]);
    EXPECT_EQ(State().callReturns[0], before.callReturns[0]);
    EXPECT_TRUE(Near(210, 60, kPlate));  // the page again

    // EXIT: the called script goes on and returns to main where it was called.
    Do({"click 750 520"}, 300);
    EXPECT_EQ(State().screenMode, 0);
    EXPECT_EQ(State().vars.V[1], 1);
    EXPECT_EQ(State().vars.V[2], 1);
  }
}

TEST(GalleryParser, BoundsAndDefaults) {
  std::string names;
  for (int i = 0; i < 60; ++i) {
    if (i > 0) names += ',';
    names += 'P';
    names += std::to_string(i);
  }
  std::string lines;
  for (int i = 1; i <= 60; ++i)
    lines += std::to_string(i % 50 + 1) + ":Q" + std::to_string(i) + "\n";
  const std::string text =
      ":VIEW_0\n{\nm1:1,2,3,4\nX:1\n}\n:view_9\n{\nTYPE:0\nSET:3\n"
      "P5:1,2,3,4\nP17:1,2,3,4,2,3\nP18:1,2,3,4\nP3:1,2,3,4,5,6,7\n"
      "M4:5,6,7,8,1,2\nPLATE2:two\nPLATE:one\n"
      "2:10,20\n51:1,1\n}\n{\n1:" +
      names + "\n}\n{\n" + lines + "}\n{\nGRA:a,b\n}\n:NEXT\n{\n}\n";
  std::vector<uint8_t> bytes(text.begin(), text.end());
  for (uint8_t& b : bytes) {
    if (b == '\n') b = 0;
  }
  std::vector<std::string> log;
  ViewerDefinition def;
  ASSERT_TRUE(
      ParseViewer(bytes, "View_9", 10, def, [&](const std::string& m) { log.push_back(m); }));
  EXPECT_EQ(def.name, "VIEW_9");
  EXPECT_EQ(def.plate, "ONE");
  EXPECT_EQ(def.plate2, "TWO");
  ASSERT_EQ(def.pages.size(), 3u);
  // 50 names on the line, numbered from 10; 51 lines of the next block.
  EXPECT_EQ(def.pages[0].entries[1].pictures.size(), 50u);
  EXPECT_EQ(def.pages[0].entries[1].numbers.front(), 10);
  EXPECT_EQ(def.pages[0].entries[1].pictures.back(), "P49");
  EXPECT_EQ(def.pages[1].entries[2].pictures, std::vector<std::string>{"Q51"});
  EXPECT_EQ(def.pages[1].entries[3].pictures, std::vector<std::string>{"Q2"});
  EXPECT_EQ(def.numbered.size(), 101u);
  EXPECT_EQ(def.nextNumber, 111);
  EXPECT_EQ(def.pages[2].normal, "A");
  EXPECT_EQ(log.size(), 2u);
  // Tabs and links: defaults, ranges and targets.
  EXPECT_EQ(def.tabs[5].from, 0);
  EXPECT_EQ(def.tabs[5].to, 99);
  EXPECT_EQ(def.tabs[5].target, 5);
  EXPECT_EQ(def.tabs[17].from, 2);
  EXPECT_EQ(def.tabs[17].to, 3);
  EXPECT_EQ(def.tabs[3].target, 7);
  EXPECT_EQ(def.links[1].rect.x2, 3);
  EXPECT_EQ(def.links[4].to, 2);
  EXPECT_EQ(def.positions[2], (std::array<int, 2>{10, 20}));
  EXPECT_EQ(def.positions[3], (std::array<int, 2>{-999, -999}));
  // No such viewer.
  EXPECT_FALSE(ParseViewer(bytes, "VIEW_8", 0, def, [](const std::string&) {}));
  EXPECT_EQ(def.links[1].rect.x1, 1);
}

}  // namespace
}  // namespace zorvel::test

namespace zorvel::test {
namespace {

// 回想モード終了 from the tool bar's 終了 menu ends a gallery replay as `vend` would: the third
// row, since シーンスキップ belongs to playlists only.
TEST_F(GalleryTest, ToolbarQuitMenuEndsAGalleryReplay) {
  Play("!E005=1\n!S050=0\n@viewer VIEW_4\n!V001=1\n@sleep -1\n",
       {{"K_SCENE", "始まり▼\n:START\nシーン▼\n二つ目▼\n!V012=1\n@end\n"}});
  ASSERT_EQ(State().screenMode, 6);
  const EngineState before = State();
  Do({"click 60 60"}, 500);
  ASSERT_EQ(State().replayOrigin, 1);
  // The menu is modal: its answer must be queued with the click that opens it.
  Do({"click 30 -12\n" + std::to_string(session_->platform().Ticks() + 200) + " click 60 52"}, 400);
  EXPECT_EQ(State().replayOrigin, 0);
  EXPECT_EQ(State().screenMode, 6);
  EXPECT_EQ(State().vars.V[12], 0);
  EXPECT_EQ(State().scriptPos, before.scriptPos);
  EXPECT_TRUE(Near(210, 60, kPlate));
}

}  // namespace
}  // namespace zorvel::test
