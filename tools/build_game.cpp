// build-game: turns a source tree into the archives a game directory holds. Each archive is a
// row of kArchiveKinds: where its sources come from and how each is converted, so pictures and
// sounds become new rows rather than new code paths.
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <span>
#include <system_error>

#include "archive_writer.h"
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

// Pictures: PNGs in pictures/ go to the first picture archive, those in pictures/gra2/ and
// pictures/gra3/ to the later ones (which hide the earlier ones' pictures of the same name), and
// JPEGs in pictures/ to the JPEG archive (which hides them all). A missing folder holds nothing.
bool CollectPictures(const std::string& dir, std::span<const std::string_view> extensions,
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
  return CollectPictures(dir, kPngExtensions, out);
}

bool CollectJpegPictures(const std::string& srcDir, std::vector<SourceFile>& out) {
  return CollectPictures(JoinPath(srcDir, "pictures"), kJpegExtensions, out);
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
  for (const BuiltArchive& a : built) {
    std::cout << "built " << a.path << ": " << a.count << ' '
              << (a.count == 1 ? a.kind->singular : a.kind->plural) << '\n';
  }
  return kExitOk;
}

}  // namespace zorvel::tool
