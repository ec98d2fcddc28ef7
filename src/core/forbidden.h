// Included before every engine source file. Engine code reaches files, the clock, output and
// the process only through the platform layer; naming the C library's versions is an error.
// The standard headers that legitimately mention these names are pulled in first.
#pragma once

#include <stdlib.h>  // SIMD headers reach it through mm_malloc.h

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <iomanip>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

// FreeType's portability header maps its own names onto fopen and getenv; only the font
// subsystem calls FreeType, and never those.
#if __has_include(<freetype/config/ftstdlib.h>)
#include <freetype/config/ftstdlib.h>
#endif

#pragma GCC poison fopen fprintf printf puts getenv exit system SDL_Init SDL_Delay
