// zorvel-tool is tested through its binary: arguments in, files and exit codes out. Archives
// it writes are read back with the engine's own reader, which is the contract that matters.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "audio/wady.h"
#include "fixture.h"
#include "resources/archive.h"
#include "resources/game_config.h"
#include "save/global_data.h"
#include "save/slot_file.h"
#include "text/sjis.h"

namespace {

namespace fs = std::filesystem;
using zorvel::ArchiveEntry;
using zorvel::IndexLayout;

struct RunResult {
  int exitCode = -1;  // -1: killed by a signal
  std::string out;
  std::string err;
};

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const fs::path& path, std::string_view bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Negated(std::string_view plain) {
  std::string out(plain);
  for (char& c : out) c = static_cast<char>(-static_cast<uint8_t>(c));
  return out;
}

std::string Sjis(std::string_view utf8) {
  return zorvel::Utf8ToSjis(utf8).value();
}

std::string U32(uint32_t v) {
  std::string s;
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
  return s;
}

// A name field of `width` bytes.
std::string Field(std::string_view name, size_t width) {
  std::string s(name);
  s.resize(width, '\0');
  return s;
}

std::string ArchiveBytes(IndexLayout layout, const std::vector<ArchiveEntry>& entries,
                         uint32_t width, std::string_view data) {
  const auto index = zorvel::BuildIndex(layout, entries, width);
  return std::string(index.begin(), index.end()) + std::string(data);
}

class ToolTest : public ::testing::Test {
 protected:
  fs::path Path(const std::string& name) const { return root_ / name; }
  std::string P(const std::string& name) const { return Path(name).string(); }

  RunResult Run(const std::vector<std::string>& args) {
    const fs::path out = root_ / ".run" / "stdout";
    const fs::path err = root_ / ".run" / "stderr";
    fs::create_directories(out.parent_path());
    std::string cmd = Quote(ZORVEL_TOOL);
    for (const std::string& a : args) cmd.append(" ").append(Quote(a));
    cmd += " >" + Quote(out.string()) + " 2>" + Quote(err.string());
    const int status = std::system(cmd.c_str());
    RunResult r;
    if (WIFEXITED(status) && WEXITSTATUS(status) < 128) r.exitCode = WEXITSTATUS(status);
    r.out = ReadBytes(out);
    r.err = ReadBytes(err);
    return r;
  }

  zorvel::test::TempDir tmp_;
  const fs::path root_ = tmp_.Path();
};

TEST_F(ToolTest, UsageErrorsExitTwo) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"frobnicate"},
      {"pack", "out.kpz"},
      {"pack", "--layout", "c", "out.kpz", "f"},
      {"pack", "--layout", "a", "--width", "20", "out.kpz", "f"},
      {"pack", "--width", "1", "out.kpz", "f"},
      {"pack", "--width", "1025", "out.kpz", "f"},
      {"pack", "--bogus", "out.kpz", "f"},
      {"list"},
      {"list", "--layout"},
      {"unpack", "a.kpz"},
      {"script-encode", "in.txt"},
      {"script-decode", "a", "b", "c"},
      {"build-game", "src"},
      {"lint"},
      {"lint", "a", "b"},
      {"wady-encode", "in.wav", "out"},
      {"wady-encode", "--coding", "adpcm", "in.wav", "out"},
      {"wady-encode", "--coding", "run", "--loop-start", "5", "in.wav", "out"},
      {"wady-encode", "--coding", "byte", "--loop-start", "x", "in.wav", "out"},
      {"wady-decode", "--coding", "run", "in"},
  };
  for (const auto& args : cases) {
    const RunResult r = Run(args);
    SCOPED_TRACE(args.empty() ? "(no arguments)" : args[0] + " ... (" + r.err + ")");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("usage: zorvel-tool"), std::string::npos);
  }
  const RunResult help = Run({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("build-game"), std::string::npos);
  EXPECT_NE(help.out.find("wady-encode --coding byte|run"), std::string::npos);
}

TEST_F(ToolTest, PackWritesExactIndexAndDataInArgumentOrder) {
  WriteBytes(Path("in/b"), "xy");
  WriteBytes(Path("in/ac"), "");
  struct Case {
    std::vector<std::string> options;
    std::string expected;
    std::string listing;
  };
  const Case cases[] = {
      {{"--layout", "a"},
       U32(2) + Field("B", 16) + U32(52) + U32(2) + Field("AC", 16) + U32(54) + U32(0) + "xy",
       "B\t52\t2\nAC\t54\t0\n"},
      {{"--width", "4"},
       U32(2) + U32(4) + Field("B", 4) + U32(32) + U32(2) + Field("AC", 4) + U32(34) + U32(0) +
           "xy",
       "B\t32\t2\nAC\t34\t0\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options[0]);
    std::vector<std::string> args = {"pack"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.insert(args.end(), {P("out.kpz"), P("in/b"), P("in/ac")});
    ASSERT_EQ(Run(args).exitCode, 0);
    EXPECT_EQ(ReadBytes(Path("out.kpz")), c.expected);
    const RunResult list = Run({"list", P("out.kpz")});
    EXPECT_EQ(list.exitCode, 0) << list.err;
    EXPECT_EQ(list.out, c.listing);
    EXPECT_EQ(list.err, "");
  }
}

TEST_F(ToolTest, PackedArchivesReadBackThroughEngineListAndUnpack) {
  std::string binary;
  for (int i = 0; i < 256; ++i) binary.push_back(static_cast<char>(i));
  const std::vector<std::pair<std::string, std::string>> files = {
      {"readme.txt", "hello\n"}, {"ゆうき.dat", binary}, {"empty", ""}};
  const std::vector<std::string> stored = {"README.TXT", "ゆうき.DAT", "EMPTY"};
  std::vector<std::string> paths;
  for (const auto& [name, data] : files) {
    WriteBytes(Path("in/" + name), data);
    paths.push_back(P("in/" + name));
  }
  struct Case {
    std::vector<std::string> options;
    IndexLayout layout;
  };
  const Case cases[] = {{{"--layout", "a"}, IndexLayout::kA},
                        {{}, IndexLayout::kB},
                        {{"--layout", "b", "--width", "12"}, IndexLayout::kB}};
  int n = 0;
  for (const Case& c : cases) {
    const std::string archive = P("out" + std::to_string(n) + ".kpz");
    const std::string dir = P("unpacked" + std::to_string(n++));
    SCOPED_TRACE(archive);
    std::vector<std::string> args = {"pack"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.push_back(archive);
    args.insert(args.end(), paths.begin(), paths.end());
    ASSERT_EQ(Run(args).exitCode, 0);

    zorvel::ResourceArchive reader;
    ASSERT_TRUE(reader.Open(archive, c.layout));
    ASSERT_EQ(reader.Entries().size(), files.size());
    for (size_t i = 0; i < files.size(); ++i) {
      EXPECT_EQ(reader.Entries()[i].name, Sjis(stored[i]));
      std::vector<uint8_t> data;
      ASSERT_TRUE(reader.Read(reader.Find(Sjis(files[i].first)), data));
      EXPECT_EQ(std::string(data.begin(), data.end()), files[i].second);
    }

    const RunResult list = Run({"list", archive});
    EXPECT_EQ(list.exitCode, 0) << list.err;
    std::string names;
    for (std::string_view rest = list.out; !rest.empty();) {
      names += std::string(rest.substr(0, rest.find('\t'))) + ",";
      rest.remove_prefix(std::min(rest.size(), rest.find('\n') + 1));
    }
    EXPECT_EQ(names, "README.TXT,ゆうき.DAT,EMPTY,");

    ASSERT_EQ(Run({"unpack", archive, dir}).exitCode, 0);
    for (size_t i = 0; i < files.size(); ++i) {
      EXPECT_EQ(ReadBytes(fs::path(dir) / stored[i]), files[i].second) << stored[i];
    }
  }
}

TEST_F(ToolTest, PackRefusesBadNamesAndWritesNothing) {
  struct Case {
    std::vector<std::string> options;
    std::vector<std::string> files;
    std::string message;  // empty: must succeed
  };
  // Limits count Shift-JIS bytes: あ..き is 14 bytes there but 21 in UTF-8.
  const Case cases[] = {
      {{"--layout", "a"}, {"abcdefghijklmno"}, ""},
      {{"--layout", "a"}, {"abcdefghijklmnop"}, "at most 15"},
      {{"--layout", "a"}, {"あいうえおかきx"}, ""},
      {{"--layout", "a"}, {"あいうえおかきxy"}, "at most 15"},
      {{"--width", "8"}, {"abcdefg"}, ""},
      {{"--width", "8"}, {"abcdefgh"}, "at most 7"},
      {{}, {"one/x.txt", "two/X.TXT"}, "duplicate"},
      {{}, {"😀.txt"}, "U+1F600"},
      {{}, {"x.txt", "missing"}, "cannot read"},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string out = P("out" + std::to_string(n++) + ".kpz");
    std::vector<std::string> args = {"pack"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.push_back(out);
    for (const std::string& f : c.files) {
      if (f != "missing") WriteBytes(Path("in/" + f), "data");
      args.push_back(P("in/" + f));
    }
    const RunResult r = Run(args);
    SCOPED_TRACE(c.files.back() + ": " + r.err);
    if (c.message.empty()) {
      EXPECT_EQ(r.exitCode, 0);
      EXPECT_TRUE(fs::exists(out));
    } else {
      EXPECT_EQ(r.exitCode, 1);
      EXPECT_NE(r.err.find(c.message), std::string::npos);
      EXPECT_EQ(r.err.rfind("zorvel-tool: ", 0), 0u);
      EXPECT_FALSE(fs::exists(out));
    }
  }
}

TEST_F(ToolTest, PackRefusesArchivesPast4GiB) {
  // Sparse files: the size check must happen before anything is read.
  for (const char* name : {"big1", "big2"}) {
    WriteBytes(Path(name), "");
    fs::resize_file(Path(name), uint64_t{5} << 29);
  }
  const RunResult r = Run({"pack", P("out.kpz"), P("big1"), P("big2")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("4 GiB"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(Path("out.kpz")));
}

TEST_F(ToolTest, ListAndUnpackRefuseEveryTruncationWithoutCrashing) {
  WriteBytes(Path("in/one"), "abc");
  WriteBytes(Path("in/two"), "defg");
  for (const char* layout : {"a", "b"}) {
    const std::string full = P(std::string("full_") + layout);
    ASSERT_EQ(Run({"pack", "--layout", layout, full, P("in/one"), P("in/two")}).exitCode, 0);
    const std::string bytes = ReadBytes(full);
    for (size_t len = 0; len < bytes.size(); ++len) {
      SCOPED_TRACE(std::string(layout) + " cut to " + std::to_string(len));
      const std::string cut = P("cut");
      WriteBytes(cut, bytes.substr(0, len));
      const RunResult list = Run({"list", cut});
      EXPECT_EQ(list.exitCode, 1);
      EXPECT_NE(list.err.find("zorvel-tool: "), std::string::npos);
      const RunResult unpack = Run({"unpack", cut, P("dir" + std::to_string(len))});
      EXPECT_EQ(unpack.exitCode, 1);
    }
  }
}

TEST_F(ToolTest, ListPrintsNoRowOfADamagedIndex) {
  const std::string data(30, 'z');
  const uint32_t b = static_cast<uint32_t>(zorvel::IndexSize(IndexLayout::kB, 3, 8));
  struct Case {
    std::string name;
    std::string bytes;
    std::vector<std::string> options;
    std::string err;
  };
  const Case cases[] = {
      {"entry past end",
       ArchiveBytes(IndexLayout::kB, {{"ONE", b, 10}, {"TWO", b + 10, 500}, {"THREE", b, 30}}, 8,
                    data),
       {},
       "past the end"},
      {"count far beyond the file",
       U32(0xFFFFFFFF) + U32(8) + Field("ONE", 8) + U32(0) + U32(0),
       {"--layout", "b"},
       "declares 4294967295 entries"},
      {"unusable width", U32(1) + U32(0) + data, {"--layout", "b"}, "name width 0"},
      {"empty file", "", {}, "too short"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(Path("damaged"), c.bytes);
    std::vector<std::string> args = {"list"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.push_back(P("damaged"));
    const RunResult r = Run(args);
    EXPECT_EQ(r.exitCode, 1);
    // A partial listing would read as the whole archive.
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
  }
}

TEST_F(ToolTest, UnpackRefusesNamesThatLeaveTheDirectory) {
  // 表 is 0x95 0x5C in Shift-JIS: a backslash byte that is no backslash once decoded.
  const std::vector<std::string> names = {"GOOD", "../EVIL", "SUB/EVIL", "..",
                                          "A\\B", "",        Sjis("表"), "GOOD"};
  std::vector<ArchiveEntry> entries;
  std::string data;
  const uint32_t start =
      static_cast<uint32_t>(zorvel::IndexSize(IndexLayout::kB, names.size(), 16));
  for (size_t i = 0; i < names.size(); ++i) {
    entries.push_back({names[i], static_cast<uint32_t>(start + data.size()), 2});
    data.append("d").append(std::to_string(i));
  }
  WriteBytes(Path("bad.kpz"), ArchiveBytes(IndexLayout::kB, entries, 16, data));
  const RunResult r = Run({"unpack", "--layout", "b", P("bad.kpz"), P("out/inner")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("'../EVIL' refused"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("'SUB/EVIL' refused"), std::string::npos);
  EXPECT_NE(r.err.find("'A\\B' refused"), std::string::npos);
  EXPECT_NE(r.err.find("name is empty"), std::string::npos);
  std::vector<std::string> written;
  for (const auto& e : fs::recursive_directory_iterator(Path("out"))) {
    written.push_back(fs::relative(e.path(), Path("out")).string());
  }
  std::sort(written.begin(), written.end());
  EXPECT_EQ(written, (std::vector<std::string>{"inner", "inner/GOOD", "inner/表"}));
  EXPECT_EQ(ReadBytes(Path("out/inner/GOOD")), "d0");
  EXPECT_EQ(ReadBytes(Path("out/inner/表")), "d6");
  EXPECT_FALSE(fs::exists(Path("EVIL")));
}

TEST_F(ToolTest, ScriptEncodeStoresNegatedShiftJisLines) {
  struct Case {
    std::string text;
    std::string plain;    // the stored bytes before negation
    std::string decoded;  // what script-decode gives back
  };
  const Case cases[] = {
      {"", "", ""},
      {"\n", std::string(1, '\0'), "\n"},
      {"ab", std::string("ab\0", 3), "ab\n"},
      {"\xEF\xBB\xBF"
       "a\r\nb\rc\n\nd",
       std::string("a\0b\0c\0\0d\0", 9), "a\nb\nc\n\nd\n"},
      {"\n\r", std::string(2, '\0'), "\n\n"},
      {"\r\n\r\n", std::string(2, '\0'), "\n\n"},
      {">あおい\n＄０です▼\n", Sjis(">あおい") + '\0' + Sjis("＄０です▼") + '\0',
       ">あおい\n＄０です▼\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.decoded);
    WriteBytes(Path("in.txt"), c.text);
    const RunResult enc = Run({"script-encode", P("in.txt"), P("out.bin")});
    ASSERT_EQ(enc.exitCode, 0) << enc.err;
    EXPECT_EQ(ReadBytes(Path("out.bin")), Negated(c.plain));
    const RunResult dec = Run({"script-decode", P("out.bin"), P("back.txt")});
    ASSERT_EQ(dec.exitCode, 0) << dec.err;
    EXPECT_EQ(ReadBytes(Path("back.txt")), c.decoded);
    EXPECT_EQ(dec.err, "");
  }
  // The negation itself, written out: 'a' 0x61 -> 0x9F, and 0 stays 0.
  WriteBytes(Path("in.txt"), "a\n");
  ASSERT_EQ(Run({"script-encode", P("in.txt"), P("out.bin")}).exitCode, 0);
  EXPECT_EQ(ReadBytes(Path("out.bin")), std::string("\x9F\0", 2));
}

TEST_F(ToolTest, ScriptEncodeNamesTheLineOfAnUnencodableCharacter) {
  struct Case {
    std::string text;
    std::string where;
    std::string what;
  };
  const Case cases[] = {
      {"ok\nbad 😀 here\n", "line 2, column 5", "'😀' (U+1F600)"},
      {"a\r\nb\r\n\xFF\n", "line 3, column 1", "0xFF"},
      {std::string("x\ny\0z", 5), "line 2, column 2", "0 byte"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where);
    WriteBytes(Path("in.txt"), c.text);
    WriteBytes(Path("out.bin"), "old");
    const RunResult r = Run({"script-encode", P("in.txt"), P("out.bin")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(c.where), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(c.what), std::string::npos) << r.err;
    EXPECT_EQ(ReadBytes(Path("out.bin")), "old");
  }
}

TEST_F(ToolTest, ScriptDecodeReplacesUndecodableBytesAndWarns) {
  struct Case {
    std::string plain;
    std::string decoded;
    std::string warning;  // empty: no warning
  };
  const Case cases[] = {
      {std::string("a\0b", 3), "a\nb\n", ""},
      {std::string("ok\0\x82\0x\xFFy\0", 9), "ok\n\xEF\xBF\xBD\nx\xEF\xBF\xBDy\n",
       "line 2 (byte 3)"},
      {std::string("a\rb\0", 4), "a\rb\n", "line-break byte"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.decoded);
    WriteBytes(Path("in.bin"), Negated(c.plain));
    const RunResult r = Run({"script-decode", P("in.bin"), P("out.txt")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(ReadBytes(Path("out.txt")), c.decoded);
    if (c.warning.empty()) {
      EXPECT_EQ(r.err, "");
    } else {
      EXPECT_NE(r.err.find(c.warning), std::string::npos) << r.err;
    }
  }
}

TEST_F(ToolTest, BuildGameMakesAPlayableDemo) {
  const std::string demo = std::string(ZORVEL_SOURCE_DIR) + "/demo";
  const RunResult r = Run({"build-game", demo, P("game")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string g = P("game");
  // The animations are made from their frames by `make demo`; a tree where it has not run yet
  // has none.
  const std::string animations = fs::is_directory(demo + "/anim")
                                     ? "built " + g + "/vx_anim.kpz: 2 animations\n"
                                     : std::string();
  EXPECT_EQ(r.out,
            "built " + g + "/vx_data.kpz: 26 scripts\nbuilt " + g +
                "/vx_gra.kpz: 47 pictures\nbuilt " + g + "/vx_se0.kpz: 8 sound effects\nbuilt " +
                g + "/vx_se2.kpz: 1 looping sound effect\nbuilt " + g +
                "/vx_ogg1.kpz: 4 voices\nbuilt " + g + "/vx_bgm.kpz: 1 music track\nbuilt " + g +
                "/vx_ogm.kpz: 1 Ogg music track\n" + animations + "copied 1 file into " + g + "\n");
  EXPECT_TRUE(fs::is_regular_file(Path("game/movie/opening.mpg")));

  zorvel::ResourceArchive archive;
  ASSERT_TRUE(archive.Open(P("game/vx_data.kpz"), IndexLayout::kA));
  std::vector<std::string> names;
  for (const ArchiveEntry& e : archive.Entries()) names.push_back(e.name);
  EXPECT_EQ(names,
            (std::vector<std::string>{
                "_CONFIG",      "ANIMOBJ",     "EFFECT", "EFFECTS", "ENDING", "ENDROLL", "ENGLISH",
                "EXTRAS",       "KAISOU",      "K_MAIN", "K_NIGHT", "K_SUB",  "K_TOUR",  "K_TOWER",
                "MAIN",         "MAP",         "NAMES",  "SROLL",   "STAFF",  "STITLE",  "SUB",
                "SYS_FLASHBAK", "SYS_SELTREE", "TOUR",   "TOWNMAP", "VIEW"}));

  std::vector<uint8_t> stored;
  ASSERT_TRUE(archive.Read(archive.Find("_config"), stored));
  const std::string config = Negated(std::string(stored.begin(), stored.end()));
  std::vector<std::string> problems;
  const zorvel::GameConfig parsed = zorvel::ParseConfig(
      std::span(reinterpret_cast<const uint8_t*>(config.data()), config.size()), &problems);
  EXPECT_TRUE(problems.empty());
  EXPECT_EQ(parsed.TITLE, Sjis("Zorvel デモ"));
  EXPECT_EQ(parsed.MAKER_REG, "Software\\Zorvel\\Demo");
  EXPECT_EQ(parsed.TXW_SIZE_X, 760);
  EXPECT_EQ(parsed.MOJI_MAX_Y, 4);
  EXPECT_EQ(parsed.VOLUME4, 80);
  ASSERT_NE(parsed.FindSpeaker(Sjis("あおい")), nullptr);
  EXPECT_EQ(parsed.FindSpeaker(Sjis("あおい"))->r, 255);

  // Each script survives the trip: archive entry -> script-decode -> the demo source.
  for (const char* script : {"main", "sub", "tour", "names", "effect", "effects"}) {
    ASSERT_TRUE(archive.Read(archive.Find(script), stored));
    WriteBytes(Path("entry"), std::string(stored.begin(), stored.end()));
    ASSERT_EQ(Run({"script-decode", P("entry"), P("back.txt")}).exitCode, 0);
    EXPECT_EQ(ReadBytes(Path("back.txt")), ReadBytes(demo + "/" + script + ".txt")) << script;
  }
}

// The demo as `make demo` builds it, its animations made from their frames, lints without an
// error: every name its scripts use is in the game.
TEST_F(ToolTest, LintFindsNoErrorInTheBuiltDemo) {
  const fs::path src = Path("demo");
  fs::copy(std::string(ZORVEL_SOURCE_DIR) + "/demo", src, fs::copy_options::recursive);
  fs::remove_all(src / "anim");
  const std::string animations =
      Quote((src / "animation" / "build.sh").string()) + " " + Quote(ZORVEL_TOOL) + " >/dev/null";
  ASSERT_EQ(std::system(animations.c_str()), 0);
  ASSERT_TRUE(fs::is_directory(src / "anim"));
  ASSERT_EQ(Run({"build-game", src.string(), P("game")}).exitCode, 0);
  const RunResult r = Run({"lint", P("game")});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.out.find(": error: "), std::string::npos) << r.out;
  EXPECT_NE(r.err.find(": 0 errors, "), std::string::npos) << r.err;
}

TEST_F(ToolTest, UnpackedDemoRepacksWithDefaultsAndPlaysTheSame) {
  ASSERT_EQ(Run({"build-game", std::string(ZORVEL_SOURCE_DIR) + "/demo", P("game")}).exitCode, 0);
  fs::create_directories(Path("again"));
  for (const auto& entry : fs::directory_iterator(Path("game"))) {
    if (entry.path().extension() != ".kpz") continue;  // files copied beside the archives
    const std::string name = entry.path().filename().string();
    const fs::path files = Path("unpacked") / name;
    const RunResult unpacked = Run({"unpack", entry.path().string(), files.string()});
    ASSERT_EQ(unpacked.exitCode, 0) << unpacked.err;
    EXPECT_NE(unpacked.out.find(" bytes into " + files.string()), std::string::npos)
        << unpacked.out;
    std::vector<std::string> args = {"pack", P("again/" + name)};
    for (const auto& f : fs::directory_iterator(files)) args.push_back(f.path().string());
    std::sort(args.begin() + 2, args.end());
    const RunResult packed = Run(args);
    ASSERT_EQ(packed.exitCode, 0) << name << ": " << packed.err;
  }
  std::string clicks;
  for (int ms = 1000; ms <= 30000; ms += 1000) clicks += std::to_string(ms) + " click 10 10\n";
  WriteBytes(Path("clicks.txt"), clicks);
  std::string dumps[2];
  for (int i = 0; i < 2; ++i) {
    const std::string game = P(i == 0 ? "game" : "again");
    const std::string config = P("config" + std::to_string(i));
    ASSERT_EQ(zorvel::test::RunZorvel({"--headless", "--config-dir", config, "--events",
                                       P("clicks.txt"), "--dump-state", P("dump.json"), game}),
              0);
    dumps[i] = ReadBytes(Path("dump.json"));
  }
  EXPECT_NE(dumps[0].find("\"history\":[\""), std::string::npos) << dumps[0];
  EXPECT_EQ(dumps[0], dumps[1]);
}

TEST_F(ToolTest, BuiltDemoPlaysToTheEnd) {
  ASSERT_EQ(Run({"build-game", std::string(ZORVEL_SOURCE_DIR) + "/demo", P("game")}).exitCode, 0);
  fs::create_directories(Path("config"));
  zorvel::test::Session s(P("game"), P("config"));
  // Skipping as a player holding Ctrl does: unread passages stop it, so it is taken up again.
  // A choice or a click map stops it too: the pointer is run down the screen until an entry
  // lights, and that entry is taken.
  for (int ms = 0; ms < 60000; ms += 100) {
    if (s.state().interactionMode != 0) {
      for (int y = 0; y < 600; y += 5) {
        zorvel::InputEvent e;
        e.kind = zorvel::InputEvent::Kind::kMouseMove;
        e.x = 400;
        e.y = y;
        s.engine().HandleEvent(e);
        if (s.engine().ChoiceList().Current() == 0 && s.engine().Map().Highlighted() == 0) continue;
        e.kind = zorvel::InputEvent::Kind::kMouseDown;
        s.engine().HandleEvent(e);
        break;
      }
    }
    s.state().skipMode = 1;
    s.RunFor(100);
  }
  EXPECT_FALSE(s.engine().Closed());
  EXPECT_TRUE(s.engine().MessageBoxes().empty());
  EXPECT_EQ(s.state().vars.V[1], 3);
  EXPECT_STREQ(s.state().titleText, Sjis("第一話").c_str());
  EXPECT_EQ(s.StringVar(3), "テスト");
  EXPECT_EQ(s.state().callDepth, 0);
  EXPECT_STREQ(s.state().scriptName, "main");
  const std::vector<std::string> history = s.History();
  ASSERT_FALSE(history.empty());
  EXPECT_NE(std::find(history.begin(), history.end(), "おはよう、ゆうき。今日はいい天気だね。"),
            history.end());
  EXPECT_EQ(std::count(history.begin(), history.end(), "坂道をのぼる。まだ先は長い。"), 3);
  EXPECT_NE(std::find(history.begin(), history.end(), "（あおいは、いつも元気だな……）"),
            history.end());
  EXPECT_NE(std::find(history.begin(), history.end(), "――第一話　おわり"), history.end());
  EXPECT_NE(std::find(history.begin(), history.end(), "――おしまい"), history.end());
  EXPECT_EQ(history.back(), "クリックでタイトルへ戻る。");

  // The last page's click returns to the title script, whose last entry ends the demo.
  const auto mouse = [&s](zorvel::InputEvent::Kind kind, int x, int y) {
    zorvel::InputEvent e;
    e.kind = kind;
    e.x = x;
    e.y = y;
    s.engine().HandleEvent(e);
  };
  s.state().skipMode = 0;
  mouse(zorvel::InputEvent::Kind::kMouseDown, 400, 300);
  mouse(zorvel::InputEvent::Kind::kMouseUp, 400, 300);
  s.RunFor(5000);
  EXPECT_STREQ(s.state().scriptName, "STITLE");
  ASSERT_NE(s.state().interactionMode, 0);
  int y = 595;
  for (; y > 0; y -= 5) {
    mouse(zorvel::InputEvent::Kind::kMouseMove, 400, y);
    if (s.engine().ChoiceList().Current() != 0) break;
  }
  mouse(zorvel::InputEvent::Kind::kMouseDown, 400, y);
  mouse(zorvel::InputEvent::Kind::kMouseUp, 400, y);
  s.RunFor(2000);
  EXPECT_FALSE(s.engine().Closed());
  EXPECT_EQ(s.state().interactionMode, 0);
  EXPECT_STREQ(s.state().scriptName, "STITLE");
}

// Every page of the demo fits the rows its window shows: a row past them is typed under the
// quick-button bar (or past the novel page) and is not drawn again by a screen update.
TEST_F(ToolTest, DemoPagesFitTheirWindow) {
  ASSERT_EQ(Run({"build-game", std::string(ZORVEL_SOURCE_DIR) + "/demo", P("game")}).exitCode, 0);
  fs::create_directories(Path("config"));
  zorvel::test::Session s(P("game"), P("config"));
  const int pages = zorvel::test::ClickThrough(s, "STITLE");
  EXPECT_STREQ(s.state().scriptName, "STITLE");
  EXPECT_GT(pages, 20);
}

TEST_F(ToolTest, BuildGameTakesTopLevelScriptsOnly) {
  WriteBytes(Path("src/_config"), "TITLE:t\nEND\n");
  WriteBytes(Path("src/fifteen_bytes_x.txt"), "@end\n");
  WriteBytes(Path("src/Opening.TXT"), "@end\n");
  WriteBytes(Path("src/notes.md"), "not a script");
  WriteBytes(Path("src/.main.txt"), "editor leftover");
  WriteBytes(Path("src/pictures/bg.txt"), "not yet");
  const RunResult r = Run({"build-game", P("src"), P("out/game")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  zorvel::ResourceArchive archive;
  ASSERT_TRUE(archive.Open(P("out/game/vx_data.kpz"), IndexLayout::kA));
  std::vector<std::string> names;
  for (const ArchiveEntry& e : archive.Entries()) names.push_back(e.name);
  EXPECT_EQ(names, (std::vector<std::string>{"_CONFIG", "FIFTEEN_BYTES_X", "OPENING"}));
}

TEST_F(ToolTest, BuildGameRefusesBrokenSourcesAndWritesNothing) {
  struct Case {
    std::vector<std::pair<std::string, std::string>> files;
    std::vector<std::string> messages;
  };
  const Case cases[] = {
      {{{"main.txt", "x\n"}}, {"no _config.txt"}},
      {{{"_config.txt", "END\n"}, {"_config", "END\n"}}, {"keep only one"}},
      {{{"_config.txt", "END\n"}, {"sixteen_bytes_xx.txt", "x\n"}}, {"at most 15"}},
      {{{"_config.txt", "END\n"}, {"main.txt", "x\n"}, {"MAIN.txt", "y\n"}}, {"duplicate"}},
      // Every broken script is reported, not just the first.
      {{{"_config.txt", "END\n"}, {"a.txt", "ok\n😀\n"}, {"b.txt", "\xFE"}},
       {"a.txt: line 2, column 1", "b.txt: line 1, column 1"}},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string src = P("src" + std::to_string(n));
    const std::string out = P("out" + std::to_string(n++));
    for (const auto& [name, text] : c.files) WriteBytes(fs::path(src) / name, text);
    const RunResult r = Run({"build-game", src, out});
    SCOPED_TRACE(r.err);
    EXPECT_EQ(r.exitCode, 1);
    for (const std::string& m : c.messages) EXPECT_NE(r.err.find(m), std::string::npos) << m;
    EXPECT_FALSE(fs::exists(out));
  }
}

// A 16-bit PCM WAV of a stereo or mono sine; `loopStart` adds a sampler chunk with one loop.
std::string Wav(int channels, int frames, std::optional<uint32_t> loopStart = std::nullopt,
                int bits = 16) {
  std::string data;
  for (int f = 0; f < frames; ++f) {
    for (int c = 0; c < channels; ++c) {
      const auto v = static_cast<int16_t>(
          std::lround(12000 * std::sin(2 * M_PI * 330 * (c + 1) * f / 22050.0)));
      data.push_back(static_cast<char>(v));
      data.push_back(static_cast<char>(static_cast<uint16_t>(v) >> 8));
    }
  }
  const auto u16 = [](uint16_t v) {
    return std::string{static_cast<char>(v), static_cast<char>(v >> 8)};
  };
  std::string chunks = "fmt " + U32(16) + u16(1) + u16(static_cast<uint16_t>(channels)) +
                       U32(22050) + U32(22050u * channels * 2) +
                       u16(static_cast<uint16_t>(channels * 2)) + u16(static_cast<uint16_t>(bits));
  if (loopStart) {
    chunks += "smpl" + U32(60) + std::string(28, '\0') + U32(1) + U32(0) + U32(0) + U32(0) +
              U32(*loopStart) + U32(static_cast<uint32_t>(frames - 1)) + U32(0) + U32(0);
  }
  chunks += "data" + U32(static_cast<uint32_t>(data.size())) + data;
  return "RIFF" + U32(static_cast<uint32_t>(4 + chunks.size())) + "WAVE" + chunks;
}

uint32_t Le32At(const std::string& bytes, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i)
    v = v << 8 | static_cast<uint8_t>(bytes[at + static_cast<size_t>(i)]);
  return v;
}

TEST_F(ToolTest, WadyEncodeAndDecodeRoundTripBothCodings) {
  WriteBytes(Path("tone.wav"), Wav(2, 11025, 3000));
  struct Case {
    std::vector<std::string> options;
    uint32_t loopStart;  // coded offset at header offset 24
    double minSnr;
  };
  const Case cases[] = {
      {{"--coding", "byte"}, 3000 * 2, 30},  // the loop start of the sampler chunk
      {{"--coding", "byte", "--loop-start", "100"}, 100 * 2, 30},
      {{"--coding", "run"}, 0, 35},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"wady-encode"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.push_back(P("tone.wav"));
    args.push_back(P("tone.wady"));
    const RunResult r = Run(args);
    SCOPED_TRACE(c.options[1] + " " + r.out + r.err);
    ASSERT_EQ(r.exitCode, 0);
    // "...; SNR 41.2 dB"
    const size_t at = r.out.find("SNR ");
    ASSERT_NE(at, std::string::npos);
    EXPECT_GT(std::stod(r.out.substr(at + 4)), c.minSnr);
    EXPECT_NE(r.out.find("11025 frames, 2 channels, 22050 Hz"), std::string::npos);
    const std::string wady = ReadBytes(Path("tone.wady"));
    ASSERT_GT(wady.size(), 48u);
    EXPECT_EQ(wady.substr(0, 4), "WADY");
    EXPECT_EQ(Le32At(wady, 24), c.loopStart);

    const RunResult d =
        Run({"wady-decode", c.options[0], c.options[1], P("tone.wady"), P("back.wav")});
    ASSERT_EQ(d.exitCode, 0) << d.err;
    const std::string back = ReadBytes(Path("back.wav"));
    EXPECT_EQ(back.substr(0, 4), "RIFF");
    EXPECT_EQ(back.size(), 44u + 11025u * 4);
    EXPECT_EQ(back.substr(20, 16), Wav(2, 1).substr(20, 16));  // the same wave format
  }
}

TEST_F(ToolTest, WadyEncodeRefusesWhatItCannotEncode) {
  WriteBytes(Path("8bit.wav"), Wav(1, 100, std::nullopt, 8));
  WriteBytes(Path("surround.wav"), Wav(6, 100));
  WriteBytes(Path("text.wav"), "hello");
  WriteBytes(Path("short.wav"), Wav(1, 100));
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const Case cases[] = {
      {{"wady-encode", "--coding", "run", P("8bit.wav"), P("o")}, "8-bit samples"},
      {{"wady-encode", "--coding", "run", P("surround.wav"), P("o")}, "6 channels"},
      {{"wady-encode", "--coding", "byte", P("text.wav"), P("o")}, "not a WAV file"},
      {{"wady-encode", "--coding", "byte", "--loop-start", "100", P("short.wav"), P("o")},
       "loop start 100"},
      {{"wady-encode", "--coding", "byte", P("missing.wav"), P("o")}, "cannot read"},
      {{"wady-decode", "--coding", "run", P("text.wav"), P("o")}, "wrong magic"},
  };
  for (const Case& c : cases) {
    const RunResult r = Run(c.args);
    EXPECT_EQ(r.exitCode, 1) << c.message;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(Path("o"))) << c.message;
  }
}

TEST_F(ToolTest, BuildGamePacksSoundsByTheirFolder) {
  const std::string ogg =
      ReadBytes(std::string(ZORVEL_SOURCE_DIR) + "/tests/data/short_silence.ogg");
  WriteBytes(Path("src/_config.txt"), "TITLE:t\nEND\n");
  WriteBytes(Path("src/se/Click.wav"), Wav(1, 2000));
  WriteBytes(Path("src/se/door.WAV"), Wav(2, 500));
  WriteBytes(Path("src/seloop/rain.wav"), Wav(1, 4000));
  WriteBytes(Path("src/bgm/m01.wav"), Wav(2, 8000, 2000));
  WriteBytes(Path("src/bgm/m03.wav"), Wav(1, 3000));
  WriteBytes(Path("src/voice/aoi_001.ogg"), ogg);
  WriteBytes(Path("src/ogm/m02.ogg"), ogg);
  WriteBytes(Path("src/files/panic.bmp"), "BM");
  WriteBytes(Path("src/files/movie/op.mpg"), "frames");
  const RunResult r = Run({"build-game", P("src"), P("game")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string g = P("game");
  EXPECT_EQ(r.out, "built " + g + "/vx_data.kpz: 1 script\nbuilt " + g +
                       "/vx_se0.kpz: 2 sound effects\nbuilt " + g +
                       "/vx_se2.kpz: 1 looping sound effect\nbuilt " + g +
                       "/vx_ogg1.kpz: 1 voice\nbuilt " + g + "/vx_bgm.kpz: 2 music tracks\nbuilt " +
                       g + "/vx_ogm.kpz: 1 Ogg music track\ncopied 2 files into " + g + "\n");
  EXPECT_EQ(ReadBytes(Path("game/panic.bmp")), "BM");
  EXPECT_EQ(ReadBytes(Path("game/movie/op.mpg")), "frames");

  struct Expect {
    const char* archive;
    const char* entry;
    std::optional<zorvel::WadyCoding> coding;  // none: stored as it is
    size_t frames;
    uint32_t loopStart;
  };
  const Expect expects[] = {
      {"vx_se0.kpz", "CLICK", zorvel::WadyCoding::kRun, 2000, 0},
      {"vx_se0.kpz", "DOOR", zorvel::WadyCoding::kRun, 500, 0},
      {"vx_se2.kpz", "RAIN", zorvel::WadyCoding::kRun, 4000, 0},
      {"vx_bgm.kpz", "M01", zorvel::WadyCoding::kByte, 8000, 2000 * 2},
      {"vx_bgm.kpz", "M03", zorvel::WadyCoding::kByte, 3000, 0},
      {"vx_ogg1.kpz", "AOI_001", std::nullopt, 0, 0},
      {"vx_ogm.kpz", "M02", std::nullopt, 0, 0},
  };
  for (const Expect& e : expects) {
    SCOPED_TRACE(std::string(e.archive) + " " + e.entry);
    zorvel::ResourceArchive archive;
    ASSERT_TRUE(archive.Open(P("game/") + e.archive, IndexLayout::kB));
    std::vector<uint8_t> stored;
    ASSERT_TRUE(archive.Read(archive.Find(e.entry), stored));
    if (!e.coding) {
      EXPECT_EQ(std::string(stored.begin(), stored.end()), ogg);
      continue;
    }
    std::string why;
    const auto pcm = zorvel::DecodeWadyFile(stored, *e.coding, why);
    ASSERT_TRUE(pcm) << why;
    EXPECT_EQ(pcm->Frames(), e.frames);
    zorvel::WadyHeader h;
    ASSERT_TRUE(zorvel::ParseWadyHeader(stored, zorvel::WholeFileUse(*e.coding), h, why));
    EXPECT_EQ(h.loopStart, e.loopStart);
  }

  // A sound that cannot be stored stops the build; nothing is written.
  WriteBytes(Path("src/se/bad.wav"), Wav(1, 10, std::nullopt, 24));
  WriteBytes(Path("src/voice/bad.ogg"), "OggS but not really");
  const RunResult bad = Run({"build-game", P("src"), P("game2")});
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_NE(bad.err.find("bad.wav: 24-bit samples"), std::string::npos) << bad.err;
  EXPECT_NE(bad.err.find("bad.ogg: not a usable Ogg Vorbis sound"), std::string::npos) << bad.err;
  EXPECT_FALSE(fs::exists(Path("game2")));
}

}  // namespace

namespace {

class SaveToolTest : public ToolTest {};

TEST_F(SaveToolTest, SaveInfoDescribesASlotAndRefusesOtherFiles) {
  auto state = std::make_unique<zorvel::EngineState>();
  std::strcpy(state->loadedScriptName, "MAIN");
  std::strcpy(state->titleText, "Title");
  state->scriptPos = 77;
  state->vars.V[3] = -2;
  std::strcpy(state->stringVars[0], "\x82\xA0");  // あ
  zorvel::PageRing ring;
  zorvel::Surface scene(800, 600);
  std::tm when{};
  when.tm_year = 126;
  when.tm_mday = 1;
  std::vector<uint8_t> slot =
      zorvel::BuildSlotFile(zorvel::SlotSource{*state, ring, scene, "", when});
  zorvel::WriteSlotComment(slot, "memo");
  WriteBytes(Path("save01.dat"),
             std::string_view(reinterpret_cast<const char*>(slot.data()), slot.size()));
  const RunResult r = Run({"save-info", P("save01.dat")});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  for (const char* line : {"description: 2026/01/01 00:00:00  Title\n", "comment: memo\n",
                           "script: MAIN\n", "position: 77\n", "V3 = -2\n", "$0 = あ\n"}) {
    EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
  }
  WriteBytes(Path("short.dat"), std::string(1000, 'x'));
  const RunResult bad = Run({"save-info", P("short.dat")});
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_NE(bad.err.find("not a saved game: it is 1000 bytes"), std::string::npos) << bad.err;
}

TEST_F(SaveToolTest, GlobalInfoCountsBitsAndSaysWhenTheChecksumIsBad) {
  std::string file(zorvel::kGlobalFileSize, '\0');
  file[0] = 3;                                 // two event flags
  file[zorvel::GlobalLayout::kReadMarks] = 1;  // one read mark
  const uint32_t sum = zorvel::GlobalChecksum(
      std::span(reinterpret_cast<const uint8_t*>(file.data()), zorvel::kGlobalDataBytes));
  for (int i = 0; i < 4; ++i) file[zorvel::kGlobalDataBytes + i] = static_cast<char>(sum >> 8 * i);
  WriteBytes(Path("save0.dat"), file);
  const RunResult good = Run({"global-info", P("save0.dat")});
  EXPECT_EQ(good.exitCode, 0) << good.err;
  EXPECT_NE(good.out.find("checksum: good"), std::string::npos) << good.out;
  EXPECT_NE(good.out.find("event flags set: 2\n"), std::string::npos) << good.out;
  EXPECT_NE(good.out.find("read marks: 1\n"), std::string::npos) << good.out;

  file[5] = 1;
  WriteBytes(Path("save0.dat"), file);
  const RunResult bad = Run({"global-info", P("save0.dat")});
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_NE(bad.out.find("checksum: BAD"), std::string::npos) << bad.out;
}

}  // namespace
