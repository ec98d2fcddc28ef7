#include <cstddef>
#include <cstdint>

#include "targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zorvel::fuzz::FuzzPoFile(data, size);
  return 0;
}
