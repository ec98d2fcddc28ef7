// build-game: turns a source tree into the archives a game directory holds. Each archive is a
// row of kArchiveKinds: where its sources come from and how each is converted, so pictures and
// sounds become new rows rather than new code paths.
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <span>
#include <system_error>

#include "archive_writer.h"
#include "audio/ogg_sound.h"
#include "commands.h"
#include "graphics/picture.h"
#include "platform/files.h"
#include "script_codec.h"

namespace zorvel::tool {

namespace {

namespace fs = std::filesystem;

struct SourceFile {
  std::string entryName;  // UTF-8; the archive upper-cases it
  std::string path;
};

struct ArchiveKind {
  const char* fileName;  // inside the game directory
  ArchiveFormat format;
  const char* singular;  // for the summary: "1 script", "3 scripts"
  const char* plural;
  // Finds this kind's sources under the source tree; reports and returns false on trouble.
  bool (*collect)(const std::string& srcDir, std::vector<SourceFile>& out);
  // The stored form of one source file; reports and returns false on trouble.
  bool (*convert)(const SourceFile& source, const std::vector<uint8_t>& bytes,
                  std::vector<uint8_t>& out);
};

std::string UpperAscii(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return s;
}

// Regular files directly in `dir` whose extension is `extension` (any case), in the order of
// their upper-cased names, as they will be listed in the archive. Hidden files are editor
// leftovers.
bool ListFiles(const std::string& dir, std::string_view extension, std::vector<fs::path>& out) {
  std::error_code ec;
  fs::directory_iterator it(dir, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const fs::path& p = it->path();
    const std::string name = p.filename().string();
    std::error_code typeEc;
    if (name.starts_with(".") || !fs::is_regular_file(p, typeEc)) continue;
    if (UpperAscii(p.extension().string()) == UpperAscii(std::string(extension))) {
      out.push_back(p);
    }
  }
  if (ec) {
    Report("cannot list " + dir + ": " + ec.message());
    return false;
  }
  std::sort(out.begin(), out.end(), [](const fs::path& a, const fs::path& b) {
    return UpperAscii(a.filename().string()) < UpperAscii(b.filename().string());
  });
  return true;
}

// The game settings come first, then every script of the top folder.
bool CollectScripts(const std::string& srcDir, std::vector<SourceFile>& out) {
  const std::string withExtension = JoinPath(srcDir, "_config.txt");
  const std::string bare = JoinPath(srcDir, "_config");
  const bool hasWithExtension = FileExists(withExtension);
  const bool hasBare = FileExists(bare);
  if (hasWithExtension && hasBare) {
    Report(srcDir + ": both _config.txt and _config exist; keep only one");
    return false;
  }
  if (!hasWithExtension && !hasBare) {
    Report(srcDir + ": no _config.txt (the game settings)");
    return false;
  }
  out.push_back({"_CONFIG", hasWithExtension ? withExtension : bare});

  std::vector<fs::path> scripts;
  if (!ListFiles(srcDir, ".txt", scripts)) return false;
  for (const fs::path& p : scripts) {
    if (p.filename() == "_config.txt") continue;
    out.push_back({p.stem().string(), p.string()});
  }
  return true;
}

bool ConvertScript(const SourceFile& source, const std::vector<uint8_t>& bytes,
                   std::vector<uint8_t>& out) {
  ScriptError error;
  if (EncodeScript(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), out,
                   error)) {
    return true;
  }
  Report(DescribeScriptError(source.path, error));
  return false;
}

// The files of one folder with the given extensions, named by their stems. A missing folder
// holds nothing.
//
// Pictures: PNGs in pictures/ go to the first picture archive, those in pictures/gra2/ and
// pictures/gra3/ to the later ones (which hide the earlier ones' pictures of the same name), and
// JPEGs in pictures/ to the JPEG archive (which hides them all).
bool CollectFolder(const std::string& dir, std::span<const std::string_view> extensions,
                   std::vector<SourceFile>& out) {
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return true;
  std::vector<fs::path> files;
  for (const std::string_view extension : extensions) {
    if (!ListFiles(dir, extension, files)) return false;
  }
  std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
    return UpperAscii(a.filename().string()) < UpperAscii(b.filename().string());
  });
  for (const fs::path& p : files) out.push_back({p.stem().string(), p.string()});
  return true;
}

constexpr std::string_view kPngExtensions[] = {".png"};
constexpr std::string_view kJpegExtensions[] = {".jpg", ".jpeg"};

template <int kArchive>
bool CollectGraPictures(const std::string& srcDir, std::vector<SourceFile>& out) {
  std::string dir = JoinPath(srcDir, "pictures");
  if (kArchive > 1) dir = JoinPath(dir, "gra" + std::to_string(kArchive));
  return CollectFolder(dir, kPngExtensions, out);
}

bool CollectJpegPictures(const std::string& srcDir, std::vector<SourceFile>& out) {
  return CollectFolder(JoinPath(srcDir, "pictures"), kJpegExtensions, out);
}

bool ConvertGraPicture(const SourceFile& source, const std::vector<uint8_t>& bytes,
                       std::vector<uint8_t>& out) {
  std::string error;
  if (EncodePngAsGra(bytes, out, error)) return true;
  Report(source.path + ": " + error);
  return false;
}

// JPEGs are stored as they are; one the engine could not show is refused here, not at play.
bool CheckJpegPicture(const SourceFile& source, const std::vector<uint8_t>& bytes,
                      std::vector<uint8_t>& out) {
  Surface picture;
  std::string error;
  if (!DecodeJpeg(bytes, picture, &error)) {
    Report(source.path + ": not a usable JPEG: " + error);
    return false;
  }
  out = bytes;
  return true;
}

// Sounds go by the folder they come from: the archive decides how the engine plays them.
constexpr std::string_view kWavExtensions[] = {".wav"};
constexpr std::string_view kOggExtensions[] = {".ogg"};

template <const char* kFolder>
bool CollectWavSounds(const std::string& srcDir, std::vector<SourceFile>& out) {
  return CollectFolder(JoinPath(srcDir, kFolder), kWavExtensions, out);
}

template <const char* kFolder>
bool CollectOggSounds(const std::string& srcDir, std::vector<SourceFile>& out) {
  return CollectFolder(JoinPath(srcDir, kFolder), kOggExtensions, out);
}

constexpr char kVoiceFolder[] = "voice";
constexpr char kEffectFolder[] = "se";
constexpr char kLoopedEffectFolder[] = "seloop";
constexpr char kMusicFolder[] = "bgm";
constexpr char kOggMusicFolder[] = "ogm";

template <WadyCoding kCoding>
bool ConvertWavSound(const SourceFile& source, const std::vector<uint8_t>& bytes,
                     std::vector<uint8_t>& out) {
  std::string error;
  if (EncodeWavAsWady(bytes, kCoding, std::nullopt, out, error)) return true;
  Report(source.path + ": " + error);
  return false;
}

// Ogg files are stored as they are; one the engine could not decode is refused here.
bool CheckOggSound(const SourceFile& source, const std::vector<uint8_t>& bytes,
                   std::vector<uint8_t>& out) {
  std::string error;
  if (!DecodeOggSound(bytes, error)) {
    Report(source.path + ": not a usable Ogg Vorbis sound: " + error);
    return false;
  }
  out = bytes;
  return true;
}

// Animations are stored as anim-build made them; every regular file of anim/ is one, named by
// its stem.
bool CollectAnimations(const std::string& srcDir, std::vector<SourceFile>& out) {
  const std::string dir = JoinPath(srcDir, "anim");
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return true;
  std::vector<fs::path> files;
  for (fs::directory_iterator it(dir, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    std::error_code typeEc;
    if (!it->path().filename().string().starts_with(".") &&
        fs::is_regular_file(it->path(), typeEc)) {
      files.push_back(it->path());
    }
  }
  if (ec) {
    Report("cannot list " + dir + ": " + ec.message());
    return false;
  }
  std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
    return UpperAscii(a.filename().string()) < UpperAscii(b.filename().string());
  });
  for (const fs::path& p : files) out.push_back({p.stem().string(), p.string()});
  return true;
}

bool CheckAnimation(const SourceFile& source, const std::vector<uint8_t>& bytes,
                    std::vector<uint8_t>& out) {
  std::string error;
  if (!CheckAnimationEntry(bytes, error)) {
    Report(source.path + ": not a usable animation entry: " + error);
    return false;
  }
  out = bytes;
  return true;
}

const ArchiveKind kArchiveKinds[] = {
    {"vx_data.kpz", {IndexLayout::kA, 0}, "script", "scripts", CollectScripts, ConvertScript},
    {"vx_gra.kpz",
     {IndexLayout::kB, kDefaultNameWidth},
     "picture",
     "pictures",
     CollectGraPictures<1>,
     ConvertGraPicture},
    {"vx_gra2.kpz",
     {IndexLayout::kB, kDefaultNameWidth},
     "picture",
     "pictures",
     CollectGraPictures<2>,
     ConvertGraPicture},
    {"vx_gra3.kpz",
     {IndexLayout::kB, kDefaultNameWidth},
     "picture",
     "pictures",
     CollectGraPictures<3>,
     ConvertGraPicture},
    {"vx_gjp.kpz",
     {IndexLayout::kB, kDefaultNameWidth},
     "JPEG picture",
     "JPEG pictures",
     CollectJpegPictures,
     CheckJpegPicture},
    {"vx_se0.kpz",
     {IndexLayout::kB, kDefaultNameWidth},
     "sound effect",
     "sound effects",
     CollectWavSounds<kEffectFolder>,
     ConvertWavSound<WadyCoding::kRun>},
    {"vx_se2.kpz",
     {IndexLayout::kB, kDefaultNameWidth},
     "looping sound effect",
     "looping sound effects",
     CollectWavSounds<kLoopedEffectFolder>,
     ConvertWavSound<WadyCoding::kRun>},
    {"vx_ogg1.kpz",
     {IndexLayout::kB, kDefaultNameWidth},
     "voice",
     "voices",
     CollectOggSounds<kVoiceFolder>,
     CheckOggSound},
    {"vx_bgm.kpz",
     {IndexLayout::kB, kDefaultNameWidth},
     "music track",
     "music tracks",
     CollectWavSounds<kMusicFolder>,
     ConvertWavSound<WadyCoding::kByte>},
    {"vx_ogm.kpz",
     {IndexLayout::kB, kDefaultNameWidth},
     "Ogg music track",
     "Ogg music tracks",
     CollectOggSounds<kOggMusicFolder>,
     CheckOggSound},
    {"vx_anim.kpz",
     {IndexLayout::kB, kDefaultNameWidth},
     "animation",
     "animations",
     CollectAnimations,
     CheckAnimation},
};

struct BuiltArchive {
  const ArchiveKind* kind;
  std::string path;
  std::vector<uint8_t> bytes;
  size_t count;
};

// Converts every source of `kind`, reporting each problem rather than stopping at the first.
bool BuildArchive(const ArchiveKind& kind, const std::string& srcDir, const std::string& outDir,
                  std::vector<BuiltArchive>& built) {
  std::vector<SourceFile> sources;
  if (!kind.collect(srcDir, sources)) return false;
  if (sources.empty()) return true;
  ArchivePlan plan(kind.format);
  std::vector<std::vector<uint8_t>> data;
  bool ok = true;
  for (const SourceFile& source : sources) {
    const auto bytes = ReadWholeFile(source.path);
    if (!bytes) {
      Report(source.path + ": cannot read");
      ok = false;
      continue;
    }
    std::vector<uint8_t> converted;
    if (!kind.convert(source, *bytes, converted)) {
      ok = false;
      continue;
    }
    if (const auto why = plan.Add(source.entryName, converted.size())) {
      Report(source.path + ": " + *why);
      ok = false;
      continue;
    }
    data.push_back(std::move(converted));
  }
  if (!ok) return false;
  built.push_back(
      {&kind, JoinPath(outDir, kind.fileName), AssembleArchive(plan, data), plan.Count()});
  return true;
}

struct LooseFile {
  std::string relative;  // below SRC/files and DIR alike
  std::vector<uint8_t> bytes;
};

// SRC/files/** is copied beside the archives as it is: files the engine opens by path, such as
// "panic.bmp" and movies.
bool CollectLooseFiles(const std::string& srcDir, std::vector<LooseFile>& out) {
  const fs::path root = fs::path(srcDir) / "files";
  std::error_code ec;
  if (!fs::is_directory(root, ec)) return true;
  bool ok = true;
  fs::recursive_directory_iterator it(root, ec);
  for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    const fs::path& p = it->path();
    std::error_code typeEc;
    if (p.filename().string().starts_with(".") || !fs::is_regular_file(p, typeEc)) continue;
    auto bytes = ReadWholeFile(p.string());
    if (!bytes) {
      Report(p.string() + ": cannot read");
      ok = false;
      continue;
    }
    out.push_back({fs::relative(p, root, typeEc).generic_string(), std::move(*bytes)});
  }
  if (ec) {
    Report("cannot list " + root.string() + ": " + ec.message());
    return false;
  }
  std::sort(out.begin(), out.end(),
            [](const LooseFile& a, const LooseFile& b) { return a.relative < b.relative; });
  return ok;
}

}  // namespace

int RunBuildGame(Args args) {
  const auto parsed = ParseArgs(args, {}, kBuildGameUsage);
  if (!parsed) return kExitUsage;
  if (parsed->positional.size() != 2) {
    return UsageError("build-game needs a source folder and an output folder", kBuildGameUsage);
  }
  const std::string& srcDir = parsed->positional[0];
  const std::string& outDir = parsed->positional[1];
  std::error_code ec;
  if (!fs::is_directory(srcDir, ec)) {
    Report(srcDir + ": not a folder");
    return kExitFailure;
  }

  // Everything is converted before anything is written, so a failed build leaves an older
  // game directory as it was.
  std::vector<BuiltArchive> built;
  bool ok = true;
  for (const ArchiveKind& kind : kArchiveKinds)
    ok = BuildArchive(kind, srcDir, outDir, built) && ok;
  std::vector<LooseFile> loose;
  ok = CollectLooseFiles(srcDir, loose) && ok;
  if (!ok) {
    Report("build failed; nothing written to " + outDir);
    return kExitFailure;
  }
  if (!MakeDirectories(outDir)) {
    Report("cannot create " + outDir);
    return kExitFailure;
  }
  for (const BuiltArchive& a : built) {
    if (!WriteFileAtomic(a.path, a.bytes.data(), a.bytes.size())) {
      Report("cannot write " + a.path);
      return kExitFailure;
    }
  }
  for (const LooseFile& f : loose) {
    const fs::path path = fs::path(outDir) / f.relative;
    if (!MakeDirectories(path.parent_path().string()) ||
        !WriteFileAtomic(path.string(), f.bytes.data(), f.bytes.size())) {
      Report("cannot write " + path.string());
      return kExitFailure;
    }
  }
  for (const BuiltArchive& a : built) {
    std::cout << "built " << a.path << ": " << a.count << ' '
              << (a.count == 1 ? a.kind->singular : a.kind->plural) << '\n';
  }
  if (!loose.empty()) {
    std::cout << "copied " << loose.size() << (loose.size() == 1 ? " file" : " files") << " into "
              << outDir << '\n';
  }
  return kExitOk;
}

}  // namespace zorvel::tool
