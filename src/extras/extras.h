// Gallery and recollection lists, read at start-up once those screens exist.
#pragma once

#include <string>

namespace zorvel {

class Gallery {
 public:
  void CreatePictureList() {}
  void ReadConfiguration(const char* /*name*/) {}
  // The gallery's picture list: the index of an upper-cased name, or -1, and its length. Empty
  // until the gallery reads its list.
  int PictureIndex(const std::string& /*upperName*/) const { return -1; }
  int PictureCount() const { return 0; }
};

class Recollection {
 public:
  void ReadRecollectionList() {}
  // A script load reports its scene; listed scenes unlock themselves and their heading.
  void UnlockScene(const std::string& /*upperName*/) {}
};

}  // namespace zorvel
