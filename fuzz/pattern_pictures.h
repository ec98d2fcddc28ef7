// Picture archives for fuzz targets that draw: GRA pictures of the sizes a target asks for,
// each byte a different mix of its column and row so that misplaced copies show.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "graphics/picture.h"
#include "platform/files.h"
#include "resources/archive.h"

namespace zorvel::fuzz {

struct PatternPicture {
  const char* name;
  int width, height;
};

// Writes a layout B archive where byte x of row y of each picture is x * xStep + y * yStep.
inline void WritePatternArchive(const std::string& path,
                                std::initializer_list<PatternPicture> pictures, int xStep,
                                int yStep) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> entries;
  for (const PatternPicture& p : pictures) {
    Surface s(p.width, p.height);
    for (int y = 0; y < p.height; ++y) {
      uint8_t* row = s.Row(y);
      for (int x = 0; x < p.width * 3; ++x) row[x] = static_cast<uint8_t>(x * xStep + y * yStep);
    }
    entries.emplace_back(p.name, EncodeGraPicture(s));
  }
  const std::vector<uint8_t> file = BuildArchive(IndexLayout::kB, 32, entries);
  WriteFileAtomic(path, file.data(), file.size());
}

}  // namespace zorvel::fuzz
