// gra-encode and gra-decode, and what `list` says about picture entries.
#include "commands.h"
#include "graphics/picture.h"
#include "platform/files.h"
#include "platform/png_reader.h"
#include "platform/png_writer.h"

namespace zorvel::tool {

namespace {

std::string UpperAscii(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

}  // namespace

bool EncodePngAsGra(std::span<const uint8_t> png, std::vector<uint8_t>& out, std::string& error) {
  Surface picture;
  if (!ReadPng(png, picture, &error)) return false;
  if (picture.Empty()) {
    error = "the picture is empty";
    return false;
  }
  if (!PictureSizeUsable(static_cast<uint64_t>(picture.Width()),
                         static_cast<uint64_t>(picture.Height()))) {
    error = "the picture is " + std::to_string(picture.Width()) + "x" +
            std::to_string(picture.Height()) + "; GRA pictures are at most " +
            std::to_string(kMaxPictureSide) + " pixels a side and " +
            std::to_string(kMaxPicturePixels) + " pixels in all";
    return false;
  }
  out = EncodeGraPicture(picture);
  return true;
}

PictureArchiveKind PictureArchiveKindOf(const std::string& path) {
  const std::string name = UpperAscii(BaseName(path));
  if (name == "VX_GJP.KPZ") return PictureArchiveKind::kJpeg;
  if (name.starts_with("VX_GRA") && name.ends_with(".KPZ")) return PictureArchiveKind::kGra;
  return PictureArchiveKind::kNone;
}

std::string DescribePicture(PictureArchiveKind kind, std::span<const uint8_t> bytes) {
  std::string error;
  if (kind == PictureArchiveKind::kJpeg) {
    int width = 0;
    int height = 0;
    if (!ReadJpegSize(bytes, width, height, &error)) return "JPEG damaged: " + error;
    return "JPEG " + std::to_string(width) + "x" + std::to_string(height);
  }
  GraHeader h;
  if (!ReadGraHeader(bytes, h, &error)) return "GRA damaged: " + error;
  return "GRA " + std::to_string(h.width) + "x" + std::to_string(h.height) + " " +
         GraCodingName(h.flags);
}

int RunGraEncode(Args args) {
  const auto parsed = ParseArgs(args, {}, kGraEncodeUsage);
  if (!parsed) return kExitUsage;
  if (parsed->positional.size() != 2) {
    return UsageError("gra-encode needs an input PNG and an output file", kGraEncodeUsage);
  }
  const std::string& inPath = parsed->positional[0];
  const std::string& outPath = parsed->positional[1];
  const auto png = ReadWholeFile(inPath);
  if (!png) {
    Report(inPath + ": cannot read (missing or not a regular file)");
    return kExitFailure;
  }
  std::vector<uint8_t> gra;
  std::string error;
  if (!EncodePngAsGra(*png, gra, error)) {
    Report(inPath + ": " + error + "; " + outPath + " not written");
    return kExitFailure;
  }
  if (!WriteFileAtomic(outPath, gra.data(), gra.size())) {
    Report("cannot write " + outPath);
    return kExitFailure;
  }
  return kExitOk;
}

int RunGraDecode(Args args) {
  const auto parsed = ParseArgs(args, {}, kGraDecodeUsage);
  if (!parsed) return kExitUsage;
  if (parsed->positional.size() != 2) {
    return UsageError("gra-decode needs an input GRA picture and an output PNG", kGraDecodeUsage);
  }
  const std::string& inPath = parsed->positional[0];
  const std::string& outPath = parsed->positional[1];
  const auto gra = ReadWholeFile(inPath);
  if (!gra) {
    Report(inPath + ": cannot read (missing or not a regular file)");
    return kExitFailure;
  }
  Surface picture;
  std::string error;
  if (!DecodeGraPicture(*gra, picture, &error)) {
    Report(inPath + ": not a usable GRA picture: " + error + "; " + outPath + " not written");
    return kExitFailure;
  }
  if (!WritePng(outPath, picture)) {
    Report("cannot write " + outPath);
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace zorvel::tool
