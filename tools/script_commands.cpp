// script-encode and script-decode.
#include "commands.h"
#include "platform/files.h"
#include "script_codec.h"

namespace zorvel::tool {

int RunScriptEncode(Args args) {
  const auto parsed = ParseArgs(args, {}, kScriptEncodeUsage);
  if (!parsed) return kExitUsage;
  if (parsed->positional.size() != 2) {
    return UsageError("script-encode needs an input text file and an output file",
                      kScriptEncodeUsage);
  }
  const std::string& inPath = parsed->positional[0];
  const std::string& outPath = parsed->positional[1];
  const auto text = ReadWholeFile(inPath);
  if (!text) {
    Report(inPath + ": cannot read (missing or not a regular file)");
    return kExitFailure;
  }
  std::vector<uint8_t> encoded;
  ScriptError error;
  if (!EncodeScript(std::string_view(reinterpret_cast<const char*>(text->data()), text->size()),
                    encoded, error)) {
    Report(DescribeScriptError(inPath, error) + "; " + outPath + " not written");
    return kExitFailure;
  }
  if (!WriteFileAtomic(outPath, encoded.data(), encoded.size())) {
    Report("cannot write " + outPath);
    return kExitFailure;
  }
  return kExitOk;
}

int RunScriptDecode(Args args) {
  const auto parsed = ParseArgs(args, {}, kScriptDecodeUsage);
  if (!parsed) return kExitUsage;
  if (parsed->positional.size() != 2) {
    return UsageError("script-decode needs an input script and an output text file",
                      kScriptDecodeUsage);
  }
  const std::string& inPath = parsed->positional[0];
  const std::string& outPath = parsed->positional[1];
  const auto stored = ReadWholeFile(inPath);
  if (!stored) {
    Report(inPath + ": cannot read (missing or not a regular file)");
    return kExitFailure;
  }
  const DecodedScript decoded = DecodeScript(*stored);
  for (const std::string& w : decoded.warnings) Report("warning: " + inPath + ": " + w);
  if (!WriteFileAtomic(outPath, decoded.text.data(), decoded.text.size())) {
    Report("cannot write " + outPath);
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace zorvel::tool
