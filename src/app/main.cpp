// zorvel [OPTIONS] [GAME_DIR]: plays a game in a window, or headless for tests and automation.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>

#include "core/exit_codes.h"
#include "engine/engine.h"
#include "platform/files.h"
#include "platform/headless/headless_platform.h"
#include "platform/ini_store.h"
#include "platform/png_writer.h"
#include "platform/sdl/sdl_platform.h"
#include "platform/signals.h"

namespace {

using zorvel::kExitLocked;
using zorvel::kExitOk;
using zorvel::kExitOutputFailed;
using zorvel::kExitUsage;

struct Options {
  bool headless = false;
  std::string eventsFile;
  std::optional<uint32_t> runMs;
  std::string screenshot;
  std::string dumpState;
  std::string audioOut;
  std::string configDir;
  std::string saveDir;
  std::string translation;
  std::string gameDir = ".";
};

void Usage(FILE* to) {
  std::fprintf(to,
               "usage: zorvel [OPTIONS] [GAME_DIR]\n"
               "  --headless          no window, virtual clock and virtual sound device\n"
               "  --events FILE       timed input, one event a line: MS VERB ARGS\n"
               "  --run-ms N          stop a headless run after N ms of game time\n"
               "  --screenshot FILE   at exit, write the game area as an 800x600 PNG\n"
               "  --dump-state FILE   at exit, write the engine state as JSON\n"
               "  --audio-out FILE    headless: write everything mixed as a 16-bit stereo WAV\n"
               "  --config-dir DIR    where settings live (default ~/.config/zorvel)\n"
               "  --save-dir DIR      where save files live (default GAME_DIR)\n"
               "  --translation FILE  show the texts of a PO translation in place of the game's\n"
               "\n"
               "events (--events FILE), verbs and key names in any letter case:\n"
               "  MS click X Y [left|right|middle]   MS press X Y BUTTON   MS release X Y BUTTON\n"
               "  MS move X Y   MS wheel DELTA   MS close   MS msgbox ok|cancel\n"
               "     (Y from -24 to -1 is the tool bar strip above the game area)\n"
               "  MS key NAME   MS keydown NAME   MS keyup NAME\n"
               "     (Enter Space Escape Tab Backspace Up Down Left Right Shift Ctrl F1..F12,\n"
               "      PrintScreen, a letter or a digit)\n"
               "  MS pad BUTTON [down|up]   (a b x y up down lb rt start)\n"
               "  MS text TEXT   MS compose [TEXT]   MS fullscreen   MS focus on|off\n"
               "  MS screenshot FILE   MS dump FILE\n"
               "\n"
               "exit codes:\n"
               "  0  the game ended normally (also after SIGTERM or SIGINT)\n"
               "  1  another Zorvel is running with the same settings directory\n"
               "  2  bad arguments, or no display for a window\n"
               "  3  the game data cannot be used (vx_data.kpz or the main script)\n"
               "  4  --screenshot, --dump-state or --audio-out could not be written\n");
}

bool ParseArgs(int argc, char** argv, Options& o) {
  bool haveGame = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "zorvel: %s needs a value\n", a.c_str());
        return false;
      }
      out = argv[++i];
      return true;
    };
    if (a == "--headless") {
      o.headless = true;
    } else if (a == "--events") {
      if (!value(o.eventsFile)) return false;
    } else if (a == "--run-ms") {
      std::string v;
      if (!value(v)) return false;
      char* end = nullptr;
      const unsigned long ms = std::strtoul(v.c_str(), &end, 10);
      if (v.empty() || *end != 0 || v[0] == '-' || ms > 0xFFFFFFF0ul) {
        std::fprintf(stderr, "zorvel: --run-ms needs a number of milliseconds\n");
        return false;
      }
      o.runMs = static_cast<uint32_t>(ms);
    } else if (a == "--screenshot") {
      if (!value(o.screenshot)) return false;
    } else if (a == "--dump-state") {
      if (!value(o.dumpState)) return false;
    } else if (a == "--audio-out") {
      if (!value(o.audioOut)) return false;
    } else if (a == "--config-dir") {
      if (!value(o.configDir)) return false;
    } else if (a == "--save-dir") {
      if (!value(o.saveDir)) return false;
    } else if (a == "--translation") {
      if (!value(o.translation)) return false;
    } else if (a == "--help" || a == "-h") {
      Usage(stdout);
      std::exit(kExitOk);
    } else if (!a.empty() && a[0] == '-') {
      std::fprintf(stderr, "zorvel: unknown option %s\n", a.c_str());
      return false;
    } else if (haveGame) {
      std::fprintf(stderr, "zorvel: more than one game directory given\n");
      return false;
    } else {
      o.gameDir = a;
      haveGame = true;
    }
  }
  return true;
}

std::string DefaultConfigDir() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
    return std::string(xdg) + "/zorvel";
  }
  if (const char* home = std::getenv("HOME"); home && *home) {
    return std::string(home) + "/.config/zorvel";
  }
  return ".zorvel";
}

// One engine at a time per settings directory: a second start ends at once.
bool TakeInstanceLock(const std::string& configDir, int& fd) {
  fd = -1;
  if (!zorvel::MakeDirectories(configDir)) {
    std::fprintf(stderr, "zorvel: cannot create %s; running without the instance lock\n",
                 configDir.c_str());
    return true;
  }
  const std::string path = configDir + "/ZORVELENGINE.lock";
  fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    std::fprintf(stderr, "zorvel: cannot open %s; running without the instance lock\n",
                 path.c_str());
    return true;
  }
  return ::flock(fd, LOCK_EX | LOCK_NB) == 0;
}

bool WriteText(const std::string& path, const std::string& text) {
  if (zorvel::WriteFileAtomic(path, text.data(), text.size())) return true;
  std::fprintf(stderr, "zorvel: cannot write %s\n", path.c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  zorvel::InstallTerminationHandlers();
  Options o;
  if (!ParseArgs(argc, argv, o)) {
    Usage(stderr);
    return kExitUsage;
  }
  struct stat st {};
  if (::stat(o.gameDir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    std::fprintf(stderr, "zorvel: %s is not a directory\n", o.gameDir.c_str());
    return kExitUsage;
  }
  std::vector<zorvel::TimedEvent> events;
  if (!o.eventsFile.empty()) {
    const auto bytes = zorvel::ReadWholeFile(o.eventsFile);
    std::string error;
    if (!bytes) {
      std::fprintf(stderr, "zorvel: cannot read %s\n", o.eventsFile.c_str());
      return kExitUsage;
    }
    if (!zorvel::ParseEvents(std::string(bytes->begin(), bytes->end()), events, error)) {
      std::fprintf(stderr, "zorvel: %s: %s\n", o.eventsFile.c_str(), error.c_str());
      return kExitUsage;
    }
  }
  if (o.configDir.empty()) o.configDir = DefaultConfigDir();
  if (!o.translation.empty()) {
    if (const std::string why = zorvel::ReadProblem(o.translation); !why.empty()) {
      std::fprintf(stderr, "zorvel: --translation %s: %s\n", o.translation.c_str(), why.c_str());
      return kExitUsage;
    }
    // The engine reads a relative name from the game directory; this one was given from here.
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(o.translation, ec);
    if (!ec) o.translation = absolute.string();
  }

  int lockFd = -1;
  if (!TakeInstanceLock(o.configDir, lockFd)) {
    const std::string message = "another Zorvel is running with the settings in " + o.configDir;
    std::fprintf(stderr, "zorvel: %s\n", message.c_str());
    if (!o.headless) {
      zorvel::IniSettingsStore unused(o.configDir);
      zorvel::SdlPlatform sdl(unused);
      std::string error;
      if (sdl.Init(error)) {
        sdl.SetTitle("Zorvel");
        sdl.ShowMessageBox(message, "Zorvel", zorvel::MessageBoxKind::kError);
      }
    }
    return kExitLocked;
  }

  zorvel::IniSettingsStore store(o.configDir);
  zorvel::EngineOptions engineOptions;
  engineOptions.gameDir = o.gameDir;
  engineOptions.saveDir = o.saveDir;
  engineOptions.translationFile = o.translation;

  std::unique_ptr<zorvel::Platform> platform;
  zorvel::HeadlessPlatform* headless = nullptr;
  if (o.headless) {
    auto h = std::make_unique<zorvel::HeadlessPlatform>(store);
    h->AddEvents(events);
    h->SetRunMs(o.runMs);
    // Nothing here counts window updates; screenshots read the picture at a flush.
    h->SetCountPresents(false);
    if (!o.audioOut.empty()) {
      std::string error;
      if (!h->SetAudioOut(o.audioOut, error)) {
        std::fprintf(stderr, "zorvel: %s\n", error.c_str());
        return kExitUsage;
      }
    }
    headless = h.get();
    platform = std::move(h);
    engineOptions.randomSeed = 0;  // the virtual clock starts at 0 seconds
  } else {
    auto sdl = std::make_unique<zorvel::SdlPlatform>(store);
    std::string error;
    if (!sdl->Init(error)) {
      std::fprintf(stderr, "zorvel: %s\n", error.c_str());
      return kExitUsage;
    }
    if (!events.empty()) {
      std::fprintf(stderr, "zorvel: --events is only used with --headless\n");
    }
    if (!o.audioOut.empty()) {
      std::fprintf(stderr, "zorvel: --audio-out is only used with --headless\n");
    }
    platform = std::move(sdl);
    engineOptions.randomSeed = static_cast<uint32_t>(std::time(nullptr));
  }

  zorvel::Engine engine(*platform, engineOptions);
  if (headless) {
    headless->SetDumpHandler(
        [&engine](const std::string& path) { WriteText(path, engine.DumpState(0)); });
  }
  int code = engine.Run();
  // A script that asked for these files must not mistake a run without them for success.
  const auto failed = [&code] {
    if (code == kExitOk) code = kExitOutputFailed;
  };
  if (!o.screenshot.empty()) {
    // What the window shows, which after a transition that drew nothing or stopped short is not
    // the screen surface behind it.
    zorvel::Surface shown;
    if (headless != nullptr) {
      headless->ShownPicture(shown);
    } else {
      platform->ShownGameArea(shown);
    }
    if (!zorvel::WritePng(o.screenshot, shown)) failed();
  }
  if (!o.dumpState.empty() && !WriteText(o.dumpState, engine.DumpState(code))) failed();
  if (headless && !headless->FinishAudioOut()) {
    std::fprintf(stderr, "zorvel: cannot write %s\n", o.audioOut.c_str());
    failed();
  }
  if (lockFd >= 0) ::close(lockFd);
  return code;
}
