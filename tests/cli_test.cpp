// The zorvel program through its command-line contract: options, exit codes, events, the
// state dump, screenshots, the settings file and the single-instance lock.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>

#include "fixture.h"

namespace zorvel::test {
namespace {

class Cli : public ::testing::Test {
 protected:
  int Run(std::vector<std::string> extra) {
    std::vector<std::string> args = {"--headless", "--config-dir", config_.Path()};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunZorvel(args);
  }
  std::string Dump() { return ReadText(out_ / "state.json"); }
  TempDir game_, config_, out_;
};

TEST_F(Cli, BadArgumentsExitWithTwo) {
  EXPECT_EQ(Run({"--no-such-option", game_.Path()}), 2);
  EXPECT_EQ(Run({"--run-ms"}), 2);
  EXPECT_EQ(Run({"--run-ms", "soon", game_.Path()}), 2);
  EXPECT_EQ(Run({game_ / "missing-dir"}), 2);
  WriteText(out_ / "ev.txt", "100 dance 1 2\n");
  EXPECT_EQ(Run({"--events", out_ / "ev.txt", game_.Path()}), 2);
}

TEST_F(Cli, SecondInstanceSaysSoAndExitsWithOne) {
  WriteGame(game_.Path(), {{"main", "a\n"}});
  ASSERT_EQ(Run({"--run-ms", "100", game_.Path()}), 0);  // creates the lock file
  const int fd = ::open((config_ / "ZORVELENGINE.lock").c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  const ProcessResult r =
      RunZorvelProcess({"--headless", "--config-dir", config_.Path(), "--run-ms", "100",
                        "--dump-state", out_ / "state.json", game_.Path()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("another Zorvel is running with the settings in " + config_.Path()),
            std::string::npos)
      << r.err;
  EXPECT_TRUE(Dump().empty());
  ::close(fd);
}

TEST_F(Cli, EventsDriveTheGameAndDumpsShowIt) {
  WriteText(game_ / "unused", "");
  WriteGame(
      game_.Path(),
      {{"main", ">ゆうき\nこんにちは▼\n@string 3 abc\n!V007=7;F003=1;E010=1\n@title 第一話\n次▼\n"},
       {"_config",
        "TITLE:テスト\nMAKER_REG:Software\\Zorvel\\Test\nGAME_ID:test\n"
        "DEFAULT_NAME:ゆうき\nNAME:1,ゆうき,F80\nVOLUME1:70\nMOJI_MAX_X:30\nEND\n"}});
  WriteText(out_ / "ev.txt",
            "# comment line\n"
            "300 dump " +
                out_ /
                    "early.json\n"
                    "400 click 10 10\n"
                    "900 screenshot " +
                out_ / "shot.png\n");
  ASSERT_EQ(Run({"--events", out_ / "ev.txt", "--run-ms", "2000", "--dump-state",
                 out_ / "state.json", "--screenshot", out_ / "end.png", game_.Path()}),
            0);
  const std::string early = ReadText(out_ / "early.json");
  EXPECT_NE(early.find("\"waitKind\":1"), std::string::npos);
  EXPECT_NE(early.find("\"speaker\":\"ゆうき\""), std::string::npos);
  const std::string d = Dump();
  for (const char* fragment :
       {"\"exitCode\":0", "\"messageBoxes\":[]", "\"name\":\"main\"", "\"V\":{\"7\":7}",
        "\"F\":[3]", "\"E\":[10]", "\"strings\":[\"ゆうき\",\"\",\"\",\"abc\"",
        "\"titleText\":\"第一話\"", "\"history\":[\"ゆうき\",\"こんにちは\",\"次\"]",
        "\"TITLE\":\"テスト\"", "\"VOLUME1\":70", "\"Vol1\":70", "\"FONTSIZE\":19",
        "{\"n\":1,\"name\":\"ゆうき\",\"r\":240,\"g\":128,\"b\":0}", "\"layers\":{",
        "\"sound\":{\"music\":0", "\"callNames\":[]", "\"G\":[0,0,0,0,0,0,0,0,0,0]"}) {
    EXPECT_NE(d.find(fragment), std::string::npos) << fragment << "\n" << d;
  }
  for (const char* png : {"shot.png", "end.png"}) {
    const std::string bytes = ReadText(out_ / png);
    ASSERT_GT(bytes.size(), 24u) << png;
    EXPECT_EQ(bytes.substr(1, 3), "PNG");
    EXPECT_EQ(bytes[19], 0x20);                        // width 800
    EXPECT_EQ(static_cast<uint8_t>(bytes[23]), 0x58);  // height 600
  }
}

TEST_F(Cli, CloseAsksAndCancelKeepsPlaying) {
  WriteGame(game_.Path(), {{"main", "@sleep 0\n!V001=1\n"}});
  WriteText(out_ / "ev.txt", "100 msgbox cancel\n200 close\n300 click 5 5\n400 close\n");
  EXPECT_EQ(Run({"--events", out_ / "ev.txt", "--run-ms", "5000", "--dump-state",
                 out_ / "state.json", game_.Path()}),
            0);
  const std::string d = Dump();
  EXPECT_NE(d.find("\"V\":{\"1\":1}"), std::string::npos) << d;
  EXPECT_NE(
      d.find("{\"text\":\"ゲームを終了しますか？\",\"caption\":\"確認\",\"answer\":\"cancel\"},"
             "{\"text\":\"ゲームを終了しますか？\",\"caption\":\"確認\",\"answer\":\"ok\"}"),
      std::string::npos)
      << d;
}

TEST_F(Cli, UnusableGameDataIsSaidOnceAndEndsWithThree) {
  const auto u32 = [](uint32_t v) {
    std::string b(4, '\0');
    for (int i = 0; i < 4; ++i) b[i] = static_cast<char>(v >> (8 * i));
    return b;
  };
  std::string name16(16, '\0');
  name16.replace(0, 4, "MAIN");
  struct Case {
    const char* name;
    std::function<void(const std::string& dir)> make;
    const char* reason;  // in the log
  };
  const Case cases[] = {
      {"missing", [](const std::string&) {}, "No such file or directory"},
      {"a directory",
       [](const std::string& dir) { std::filesystem::create_directory(dir + "/vx_data.kpz"); },
       "is a directory"},
      {"empty", [](const std::string& dir) { WriteText(dir + "/vx_data.kpz", ""); },
       "the file is empty"},
      {"truncated header", [](const std::string& dir) { WriteText(dir + "/vx_data.kpz", "\x01"); },
       "index header is truncated"},
      {"truncated table",
       [&](const std::string& dir) { WriteText(dir + "/vx_data.kpz", u32(3) + name16); },
       "declares 3 entries"},
      {"entry past the end",
       [&](const std::string& dir) {
         WriteText(dir + "/vx_data.kpz", u32(1) + name16 + u32(28) + u32(500) + "abc");
       },
       "reaches past the end"},
      {"no main script",
       [](const std::string& dir) {
         WriteGame(dir, {{"sub", "a\n"}});
       },
       "the script main cannot be loaded"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir game;
    c.make(game.Path());
    const ProcessResult r = RunZorvelProcess({"--headless", "--config-dir", config_.Path(),
                                              "--dump-state", out_ / "state.json", game.Path()});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
    const std::string d = Dump();
    EXPECT_NE(
        d.find("\"exitCode\":3,\"messageBoxes\":[{\"text\":\"ゲームデータを読み込めません。\","
               "\"caption\":\"Error!\",\"answer\":\"ok\"}]"),
        std::string::npos)
        << d;
  }
}

TEST_F(Cli, OtherRefusedArchivesAreLoggedOnceAndPlayGoesOn) {
  WriteGame(game_.Path(), {{"main", "!V001=1\n"}});
  WriteText(game_ / "vx_gra.kpz", "");
  WriteText(game_ / "vx_bgm.kpz", std::string("\x05\x00\x00\x00\x10\x00\x00\x00", 8));
  const ProcessResult r = RunZorvelProcess({"--headless", "--config-dir", config_.Path(),
                                            "--dump-state", out_ / "state.json", game_.Path()});
  EXPECT_EQ(r.exitCode, 0);
  for (const char* line : {"vx_gra.kpz: the file is empty; the game goes on without it\n",
                           "vx_bgm.kpz: index declares 5 entries but holds only 0"}) {
    const size_t at = r.err.find(line);
    EXPECT_NE(at, std::string::npos) << r.err;
    EXPECT_EQ(r.err.find(line, at + 1), std::string::npos) << r.err;
  }
  EXPECT_NE(Dump().find("\"V\":{\"1\":1}"), std::string::npos);
}

TEST_F(Cli, OutputsThatCannotBeWrittenEndWithFour) {
  WriteGame(game_.Path(), {{"main", "a\n"}});
  EXPECT_EQ(Run({"--screenshot", game_ / "no/such/dir/shot.png", game_.Path()}), 4);
  EXPECT_EQ(Run({"--dump-state", game_ / "no/such/dir/state.json", game_.Path()}), 4);
  EXPECT_EQ(Run({"--screenshot", out_ / "shot.png", game_.Path()}), 0);
}

TEST_F(Cli, TerminationSignalsCloseAtOnceWithoutTheQuestion) {
  // Game time runs far faster than real time headless; this limit outlasts the test.
  WriteGame(game_.Path(), {{"main", "@sleep -1\n"}});
  for (const int sig : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(sig);
    ProcessOptions o;
    o.signal = sig;
    o.signalAfterMs = 300;
    o.signalAfterOutput = "zorvel: font:";
    o.killAfterMs = 20000;
    std::filesystem::remove(out_ / "state.json");
    const ProcessResult r =
        RunZorvelProcess({"--headless", "--config-dir", config_.Path(), "--run-ms", "4000000000",
                          "--dump-state", out_ / "state.json", game_.Path()},
                         o);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("asked to end by a signal"), std::string::npos) << r.err;
    EXPECT_NE(Dump().find("\"messageBoxes\":[]"), std::string::npos) << Dump();
  }
}

TEST_F(Cli, SettingsLiveInTheConfiguredIniFile) {
  WriteGame(game_.Path(), {{"main", "@gameclr\n@gameclr\n"},
                           {"_config", "MAKER_REG:Software\\Zorvel\\Test\nGAME_ID:test\n"}});
  std::filesystem::create_directories(config_ / "Software/Zorvel");
  WriteText(config_ / "Software/Zorvel/Test.ini", "[test]\nFONTSIZE=24\nPlayerName=あき\n");
  ASSERT_EQ(Run({"--dump-state", out_ / "state.json", game_.Path()}), 0);
  const std::string d = Dump();
  EXPECT_NE(d.find("\"FONTSIZE\":24"), std::string::npos);
  EXPECT_NE(d.find("\"strings\":[\"あき\""), std::string::npos);
  EXPECT_NE(d.find("\"S\":{\"0\":3,\"6\":1,"), std::string::npos) << d;
  EXPECT_NE(d.find("\"E\":[999]"), std::string::npos);
  EXPECT_NE(d.find("\"100\":2"), std::string::npos);
  EXPECT_EQ(ReadText(config_ / "Software/Brinmoor.ini"), "[tova]\nClear=2\n");
}

TEST_F(Cli, SettingsPathsOutsideTheConfigDirectoryAreRefused) {
  WriteGame(game_.Path(),
            {{"main", "@gameclr\n"}, {"_config", "MAKER_REG:..\\..\\escape\nGAME_ID:test\n"}});
  WriteText(out_ / "escape.ini", "[test]\nFONTSIZE=30\n");
  ASSERT_EQ(Run({"--dump-state", out_ / "state.json", game_.Path()}), 0);
  EXPECT_NE(Dump().find("\"FONTSIZE\":19"), std::string::npos);
}

}  // namespace
}  // namespace zorvel::test
