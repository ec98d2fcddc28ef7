// The decimal reading every command argument and inline tag uses: leading blanks and a sign,
// digits up to the first non-digit; saturating instead of overflowing.
#pragma once

#include <cstdint>

namespace zorvel {

inline int32_t ReadDecimal(const char* p) {
  while (*p == ' ' || *p == '\t') ++p;
  bool negative = false;
  if (*p == '-' || *p == '+') negative = *p++ == '-';
  int64_t v = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    if (v <= INT32_MAX) v = v * 10 + (*p - '0');
  }
  if (negative) v = -v;
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

}  // namespace zorvel
