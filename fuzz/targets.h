// Bodies of the fuzz targets, kept apart from the libFuzzer entry points so that the normal test
// build can replay the committed corpus and crash inputs through exactly the same code.
// Each function takes arbitrary bytes, must never crash on them, and aborts with a message when
// one of the parser's own promises is broken.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zorvel::fuzz {

// The bytes are a whole archive file, read as an index of layout A and of layout B.
void FuzzArchiveIndex(const uint8_t* data, size_t size);
// The bytes are decoded `_config` text.
void FuzzConfig(const uint8_t* data, size_t size);
// The bytes, split at 0 bytes, are expressions, assignment lists and conditions.
void FuzzExpressions(const uint8_t* data, size_t size);
// The bytes are the decoded text of the MAIN script of a small game, played headless for a
// bounded number of idle passes with clicks.
void FuzzScript(const uint8_t* data, size_t size);

}  // namespace zorvel::fuzz
