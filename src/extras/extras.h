// Gallery and recollection lists, read at start-up once those screens exist.
#pragma once

#include <string>

namespace zorvel {

class Gallery {
 public:
  void CreatePictureList() {}
  void ReadConfiguration(const char* /*name*/) {}
};

class Recollection {
 public:
  void ReadRecollectionList() {}
  // A script load reports its scene; listed scenes unlock themselves and their heading.
  void UnlockScene(const std::string& /*upperName*/) {}
};

}  // namespace zorvel
