// The engine's compressed wave format: both decoders, whole files, refusals, the encoders; and
// Ogg Vorbis sounds decoded from memory.
#include "audio/wady.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

#include "audio/ogg_sound.h"

namespace zorvel {
namespace {

void Put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
  for (int i = 0; i < 4; ++i) v[at + i] = static_cast<uint8_t>(x >> (8 * i));
}

// Appends through reserve: GCC 12 misreads a plain insert into a small vector as overflowing.
void Append(std::vector<uint8_t>& v, const std::vector<uint8_t>& tail) {
  v.reserve(v.size() + tail.size());
  for (uint8_t b : tail) v.push_back(b);
}

std::vector<uint8_t> Le32(uint32_t x) {
  std::vector<uint8_t> v(4);
  Put32(v, 0, x);
  return v;
}

// A run-coded channel block: N, the first sample, the codes.
std::vector<uint8_t> RunBlock(int32_t n, int16_t first, std::vector<uint8_t> codes) {
  std::vector<uint8_t> b(10);
  Put32(b, 4, static_cast<uint32_t>(n));
  b[8] = static_cast<uint8_t>(first);
  b[9] = static_cast<uint8_t>(static_cast<uint16_t>(first) >> 8);
  Append(b, codes);
  return b;
}

WadyHeader Header(uint16_t channels, uint32_t frames, uint32_t codedLength) {
  WadyHeader h;
  h.multiplier = 1;
  h.channels = channels;
  h.samplesPerSec = 22050;
  h.codedLength = codedLength;
  h.frames = frames;
  h.pcmBytes = frames * channels * 2;
  h.format.channels = channels;
  h.format.samplesPerSec = 22050;
  h.format.blockAlign = static_cast<uint16_t>(channels * 2);
  h.format.avgBytesPerSec = 22050u * channels * 2;
  return h;
}

std::vector<uint8_t> File(const WadyHeader& h, const std::vector<uint8_t>& body) {
  const auto head = SerializeWadyHeader(h);
  std::vector<uint8_t> f(head.begin(), head.end());
  Append(f, body);
  return f;
}

double SnrDb(const std::vector<int16_t>& ref, const std::vector<int16_t>& got) {
  double signal = 0, noise = 0;
  for (size_t i = 0; i < ref.size(); ++i) {
    const double d = static_cast<double>(ref[i]) - (i < got.size() ? got[i] : 0);
    signal += static_cast<double>(ref[i]) * ref[i];
    noise += d * d;
  }
  return noise == 0 ? 200 : 10 * std::log10(signal / noise);
}

Pcm Sine(uint16_t channels, size_t frames, double hz, double amplitude) {
  Pcm p;
  p.format.channels = channels;
  p.format.samplesPerSec = 22050;
  p.format.blockAlign = static_cast<uint16_t>(channels * 2);
  p.format.avgBytesPerSec = 22050u * p.format.blockAlign;
  for (size_t f = 0; f < frames; ++f) {
    for (uint16_t c = 0; c < channels; ++c) {
      const double t = static_cast<double>(f) / 22050;
      p.samples.push_back(
          static_cast<int16_t>(std::lround(amplitude * std::sin(2 * M_PI * hz * t + c))));
    }
  }
  return p;
}

TEST(WadyTables, StepTablesMirrorTheirBases) {
  const auto& a = WadyStepA();
  EXPECT_EQ(a[5], 10);
  EXPECT_EQ(a[63], 1000);
  EXPECT_EQ(a[64], 0);
  EXPECT_EQ(a[69], -10);
  EXPECT_EQ(a[127], -1000);
  const auto& b = WadyStepB();
  EXPECT_EQ(b[1], 4);
  EXPECT_EQ(b[31], 8000);
  EXPECT_EQ(b[32], 0);
  EXPECT_EQ(b[63], -8000);
}

TEST(WadyByteCoding, StepsAbsoluteSetsAndWrap) {
  struct Case {
    int multiplier;
    int16_t predictor;
    uint8_t byte;
    int16_t expect;
  };
  const Case cases[] = {
      {2, 100, 5, 120},           {2, 100, 69, 80},       {2, 100, 64, 100},
      {2, 100, 200, -28672},      {1, 32000, 63, -32536}, {1, 5, 128, 0},
      {1, 5, 191, 32256},         {1, 5, 192, -32768},    {1, 5, 255, -512},
      {255, -32768, 127, -25624},  // -32768 - 255000 wraps
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> coded = {c.byte};
    std::vector<int16_t> out(1);
    int16_t p1 = c.predictor, p2 = 0;
    ASSERT_EQ(DecodeByteCoded(coded, out, c.multiplier, 1, 1, p1, p2), 1u);
    EXPECT_EQ(out[0], c.expect) << "byte " << int(c.byte) << " from " << c.predictor;
    EXPECT_EQ(p1, c.expect);
  }
}

TEST(WadyByteCoding, StereoInterleavesAndStopsAtEitherEnd) {
  const std::vector<uint8_t> coded = {1, 2, 3, 4, 5};  // two and a half frames
  std::vector<int16_t> out(8, 7);
  int16_t p1 = 0, p2 = 1000;
  EXPECT_EQ(DecodeByteCoded(coded, out, 1, 2, 10, p1, p2), 2u);
  EXPECT_EQ(out, (std::vector<int16_t>{2, 1004, 2 + 6, 1004 + 8, 7, 7, 7, 7}));
  EXPECT_EQ(p1, 8);
  EXPECT_EQ(p2, 1012);
  std::vector<int16_t> small(3, 7);  // room for one frame only
  p1 = p2 = 0;
  EXPECT_EQ(DecodeByteCoded(coded, small, 1, 2, 10, p1, p2), 1u);
  EXPECT_EQ(small[2], 7);
  EXPECT_EQ(DecodeByteCoded(coded, out, 1, 3, 1, p1, p2), 0u);
}

TEST(WadyRunCoding, CodesAndRamps) {
  struct Case {
    const char* what;
    int16_t first;
    std::vector<uint8_t> codes;
    std::vector<int16_t> expect;  // after the first sample
  };
  const Case cases[] = {
      {"step", 0, {0x03}, {4}},
      {"ramp of three to 256", 0, {0x00, 0x01}, {85, 170, 256}},
      {"absolute zero", 500, {0x81}, {0}},
      {"absolute minimum", 500, {0xC1}, {-32768}},
      {"absolute maximum", 0, {0xBF}, {31744}},
      {"step wraps", 32000, {0x3F}, {static_cast<int16_t>(32000 + 8000 - 65536)}},
      {"ramp low bits ignored", 0, {0x08, 0x01}, {32, 64, 96, 128, 160, 192, 224, 256}},
      {"downward ramp truncates toward zero", 0, {0x00, 0xFF}, {-85, -170, -256}},
  };
  for (const Case& c : cases) {
    const auto block =
        RunBlock(static_cast<int32_t>(c.codes.size() - (c.codes[0] & 1 ? 0 : 1)), c.first, c.codes);
    std::vector<int16_t> out(1 + c.expect.size() + 2, 99);
    const size_t n = DecodeRunCoded(block, out, 1);
    ASSERT_EQ(n, 1 + c.expect.size()) << c.what;
    EXPECT_EQ(out[0], c.first) << c.what;
    EXPECT_EQ(std::vector<int16_t>(out.begin() + 1, out.begin() + static_cast<long>(n)), c.expect)
        << c.what;
    EXPECT_EQ(out[n], 99) << c.what;
  }
}

TEST(WadyRunCoding, PredictorRestartsThreeHundredCodesBeforeTheEnd) {
  // N = 300: the restart comes before the first code, so the first step starts from 0.
  std::vector<uint8_t> codes(300, 0x03);  // +4 each
  std::vector<int16_t> out(301);
  EXPECT_EQ(DecodeRunCoded(RunBlock(300, 1000, codes), out, 1), 301u);
  EXPECT_EQ(out[0], 1000);
  EXPECT_EQ(out[1], 4);
  EXPECT_EQ(out[300], 1200);
  // N = 302: two codes climb from the first sample, then the predictor restarts.
  codes.resize(302, 0x03);
  out.assign(303, 0);
  EXPECT_EQ(DecodeRunCoded(RunBlock(302, 1000, codes), out, 1), 303u);
  EXPECT_EQ(out[2], 1008);
  EXPECT_EQ(out[3], 4);
  // N = 299: never.
  codes.resize(299);
  out.assign(300, 0);
  DecodeRunCoded(RunBlock(299, 1000, codes), out, 1);
  EXPECT_EQ(out[1], 1004);
}

TEST(WadyRunCoding, StaysInsideBlockAndOutput) {
  std::vector<int16_t> out(4, 99);
  // Claims ten codes but holds one two-byte code cut in half.
  EXPECT_EQ(DecodeRunCoded(RunBlock(10, 7, {0x03, 0x00}), out, 1), 2u);
  // A ramp of 256 into a buffer of four writes four.
  EXPECT_EQ(DecodeRunCoded(RunBlock(1, 0, {0x0E | 0x00, 0x10}), out, 1), 4u);
  EXPECT_EQ(DecodeRunCoded(RunBlock(1, 0, {0x0F}), std::span<int16_t>(out).first(0), 1), 0u);
  EXPECT_EQ(DecodeRunCoded(std::vector<uint8_t>(9), out, 1), 0u);
  // Stride 2 into an odd-sized buffer stops before its end.
  std::vector<int16_t> odd(3, 99);
  EXPECT_EQ(DecodeRunCoded(RunBlock(3, 1, {0x03, 0x03, 0x03}), odd, 2), 2u);
  EXPECT_EQ(odd, (std::vector<int16_t>{1, 99, 5}));
}

TEST(WadyFile, WholeFilesOfBothCodings) {
  // Byte coding, stereo: two frames.
  auto h = Header(2, 2, 4);
  h.multiplier = 2;
  std::string why;
  auto pcm = DecodeWadyFile(File(h, {5, 69, 5, 200}), WadyCoding::kByte, why);
  ASSERT_TRUE(pcm) << why;
  EXPECT_EQ(pcm->samples, (std::vector<int16_t>{20, -20, 40, -28672}));
  EXPECT_EQ(pcm->format.channels, 2);

  // Run coding, stereo: L at 48, block 1 at 52, block 2 at 56 + L.
  const auto b1 = RunBlock(2, 10, {0x03, 0x03});
  const auto b2 = RunBlock(1, -10, {0x00, 0x01});
  std::vector<uint8_t> body = Le32(static_cast<uint32_t>(b1.size() - 4));
  Append(body, b1);
  Append(body, b2);
  h = Header(2, 3, static_cast<uint32_t>(body.size()));
  pcm = DecodeWadyFile(File(h, body), WadyCoding::kRun, why);
  ASSERT_TRUE(pcm) << why;
  EXPECT_EQ(pcm->samples, (std::vector<int16_t>{10, -10, 14, 78, 18, 167}));

  // Mono run coding with a buffer smaller than the codes produce: cut at the buffer's end.
  const auto mono = RunBlock(1, 0, {0x00, 0x01});
  h = Header(1, 2, static_cast<uint32_t>(mono.size()));
  pcm = DecodeWadyFile(File(h, mono), WadyCoding::kRun, why);
  ASSERT_TRUE(pcm) << why;
  EXPECT_EQ(pcm->samples, (std::vector<int16_t>{0, 85}));
}

// Each reader checks the fields it reads and nothing else: effects in the games carry junk in
// the fields only the byte coding and streaming read.
TEST(WadyFile, EachReaderChecksOnlyTheFieldsItReads) {
  const auto head = SerializeWadyHeader(Header(1, 2, 11));
  const std::vector<uint8_t> good(head.begin(), head.end());
  struct Case {
    const char* what;
    size_t at;
    uint32_t value;
    int width;
    bool run, byte, stream;  // accepted by each reader
  } cases[] = {
      {"as written", 0, 0x59444157, 4, true, true, true},
      {"magic", 0, 0x59444157 + 1, 4, false, false, false},
      {"channels 0 at 6", 6, 0, 2, true, false, false},
      {"channels 3 at 6", 6, 3, 2, true, false, false},
      {"channels 2 at 6, 1 at 34", 6, 2, 2, true, false, false},
      {"rate 0 at 8", 8, 0, 4, true, true, false},
      {"rate at 8 too high", 8, 192001, 4, true, true, false},
      {"rate at 8 differs from 36", 8, 44100, 4, true, true, false},
      {"coded length past the end", 12, 1000, 4, true, true, true},  // streams check it later
      {"format tag", 32, 2, 2, false, false, false},
      {"format channels 3", 34, 3, 2, false, false, false},
      {"format rate 0", 36, 0, 4, false, false, false},
      {"format rate too high", 36, 192001, 4, false, false, false},
      {"block alignment", 44, 4, 2, false, false, false},
      {"bits", 46, 8, 2, false, false, false},
  };
  for (const Case& c : cases) {
    auto bytes = good;
    for (int i = 0; i < c.width; ++i) bytes[c.at + i] = static_cast<uint8_t>(c.value >> (8 * i));
    const std::pair<WadyUse, bool> uses[] = {
        {WadyUse::kRunFile, c.run}, {WadyUse::kByteFile, c.byte}, {WadyUse::kStream, c.stream}};
    for (const auto& [use, accepted] : uses) {
      WadyHeader h;
      std::string why;
      EXPECT_EQ(ParseWadyHeader(bytes, use, h, why), accepted)
          << c.what << ", reader " << static_cast<int>(use);
      EXPECT_EQ(why.empty(), accepted) << c.what << ", reader " << static_cast<int>(use);
    }
  }
  // A stereo effect whose byte-coding fields say mono, 0 Hz and a wild coded length: the run
  // coding goes by the wave format and plays it.
  const auto b = RunBlock(1, 5, {0x03});
  std::vector<uint8_t> body = Le32(static_cast<uint32_t>(b.size() - 4));
  Append(body, b);
  Append(body, b);
  WadyHeader h = Header(2, 2, static_cast<uint32_t>(body.size()));
  h.channels = 1;
  h.samplesPerSec = 0;
  h.codedLength = 0xFFFFFFFF;
  std::string why;
  const auto pcm = DecodeWadyFile(File(h, body), WadyCoding::kRun, why);
  ASSERT_TRUE(pcm) << why;
  EXPECT_EQ(pcm->format.channels, 2);
  EXPECT_EQ(pcm->samples, (std::vector<int16_t>{5, 5, 9, 9}));
}

TEST(WadyFile, TheBufferIsTheSizeAtTwentyToTheEvenByte) {
  std::string why;
  // Run coding, stereo: 10 or 11 bytes are five samples, channel 1 getting the odd one.
  const auto b1 = RunBlock(2, 10, {0x03, 0x03});
  const auto b2 = RunBlock(2, -10, {0x03, 0x03});
  std::vector<uint8_t> body = Le32(static_cast<uint32_t>(b1.size() - 4));
  Append(body, b1);
  Append(body, b2);
  for (const uint32_t size : {10u, 11u}) {
    WadyHeader h = Header(2, 3, static_cast<uint32_t>(body.size()));
    h.pcmBytes = size;
    const auto pcm = DecodeWadyFile(File(h, body), WadyCoding::kRun, why);
    ASSERT_TRUE(pcm) << size << ": " << why;
    EXPECT_EQ(pcm->samples, (std::vector<int16_t>{10, -10, 14, -6, 18})) << size;
  }
  // Byte coding: a size beyond what the frames fill leaves the rest silent.
  WadyHeader h = Header(1, 2, 2);
  h.multiplier = 2;
  h.pcmBytes = 12;
  const auto pcm = DecodeWadyFile(File(h, {5, 5}), WadyCoding::kByte, why);
  ASSERT_TRUE(pcm) << why;
  EXPECT_EQ(pcm->samples, (std::vector<int16_t>{20, 40, 0, 0, 0, 0}));
}

TEST(WadyFile, LyingSizesAreRefusedWithAReason) {
  const auto mono = RunBlock(1, 0, {0x03});
  const auto good = File(Header(1, 2, static_cast<uint32_t>(mono.size())), mono);
  std::string why;
  ASSERT_TRUE(DecodeWadyFile(good, WadyCoding::kRun, why)) << why;

  struct Case {
    const char* what;
    size_t at;
    uint32_t value;
  } cases[] = {
      {"pcm size beyond codes", 20, 4000},
      {"pcm size absurd", 20, 0xFFFFFFF0u},
  };
  for (const Case& c : cases) {
    auto bad = good;
    Put32(bad, c.at, c.value);
    why.clear();
    EXPECT_FALSE(DecodeWadyFile(bad, WadyCoding::kRun, why)) << c.what;
    EXPECT_FALSE(why.empty()) << c.what;
  }
  // Truncated anywhere: the header, the block, a code.
  for (size_t len : {size_t{0}, size_t{20}, size_t{47}, size_t{50}, good.size() - 1}) {
    auto cut = good;
    cut.resize(len);
    why.clear();
    EXPECT_FALSE(DecodeWadyFile(cut, WadyCoding::kRun, why)) << len;
    EXPECT_FALSE(why.empty()) << len;
  }

  // Stereo: the second block's offset past the end.
  auto h = Header(2, 2, 4 + 11 + 11);
  std::vector<uint8_t> body = Le32(5000);
  const auto b = RunBlock(1, 0, {0x03});
  Append(body, b);
  Append(body, b);
  EXPECT_FALSE(DecodeWadyFile(File(h, body), WadyCoding::kRun, why));
  EXPECT_NE(why.find("past the end"), std::string::npos) << why;

  // Byte coding: more frames announced than coded bytes present, or an absurd size.
  h = Header(1, 100, 10);
  EXPECT_FALSE(DecodeWadyFile(File(h, std::vector<uint8_t>(10, 64)), WadyCoding::kByte, why));
  h = Header(1, 10, 10);
  h.pcmBytes = 0xFFFFFFF0u;
  EXPECT_FALSE(DecodeWadyFile(File(h, std::vector<uint8_t>(10, 64)), WadyCoding::kByte, why));
}

TEST(WadyEncode, RoundTripsCloseToTheInput) {
  for (uint16_t channels : {1, 2}) {
    const Pcm sine = Sine(channels, 22050, 440, 12000);
    for (WadyCoding coding : {WadyCoding::kByte, WadyCoding::kRun}) {
      const auto file = EncodeWady(sine, coding, 0);
      std::string why;
      const auto back = DecodeWadyFile(file, coding, why);
      ASSERT_TRUE(back) << why;
      ASSERT_EQ(back->samples.size(), sine.samples.size());
      EXPECT_EQ(back->format.channels, channels);
      const double snr = SnrDb(sine.samples, back->samples);
      EXPECT_GT(snr, coding == WadyCoding::kByte ? 30 : 40)
          << "channels " << channels << " coding " << int(coding);
    }
  }
}

TEST(WadyEncode, RunCodingRampsOverSmoothPartsAndHandlesShortSounds) {
  // Silence then a slow slope: ramps make the file far smaller than a byte per sample.
  Pcm p = Sine(1, 0, 0, 0);
  for (int i = 0; i < 20000; ++i)
    p.samples.push_back(static_cast<int16_t>(i < 10000 ? 0 : i - 10000));
  const auto file = EncodeWady(p, WadyCoding::kRun, 0);
  EXPECT_LT(file.size(), p.samples.size() / 10);
  std::string why;
  auto back = DecodeWadyFile(file, WadyCoding::kRun, why);
  ASSERT_TRUE(back) << why;
  EXPECT_GT(SnrDb(p.samples, back->samples), 40);

  // Around the restart: lengths below, at and just over 300 codes.
  for (size_t frames : {1, 2, 299, 300, 301, 302, 1000}) {
    const Pcm s = Sine(2, frames, 300, 20000);
    back = DecodeWadyFile(EncodeWady(s, WadyCoding::kRun), WadyCoding::kRun, why);
    ASSERT_TRUE(back) << frames << ": " << why;
    EXPECT_GT(SnrDb(s.samples, back->samples), 35) << frames;
  }
}

TEST(WadyEncode, ByteCodingRecordsTheLoopStart) {
  const Pcm s = Sine(2, 5000, 200, 15000);
  const auto file = EncodeWady(s, WadyCoding::kByte, 1234);
  std::string why;
  WadyHeader h;
  ASSERT_TRUE(ParseWadyHeader(file, WadyUse::kStream, h, why)) << why;
  EXPECT_EQ(h.loopStart, 1234u * 2);
  EXPECT_EQ(h.codedLength, 5000u * 2);
  EXPECT_GE(h.multiplier, 1);
  // The loop predictors are what decoding up to the loop start leaves behind.
  std::vector<int16_t> out(1234 * 2);
  int16_t p1 = 0, p2 = 0;
  DecodeByteCoded(std::span(file).subspan(48), out, h.multiplier, 2, 1234, p1, p2);
  EXPECT_EQ(h.loopPredictor1, p1);
  EXPECT_EQ(h.loopPredictor2, p2);
}

std::vector<uint8_t> ReadData(const char* name) {
  std::ifstream in(std::string(ZORVEL_SOURCE_DIR) + "/tests/data/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(OggSound, DecodesFromMemoryAndTrimsLongSounds) {
  // 1.5 s of a tone followed by 1 s of silence, mono 22050 Hz.
  const auto ogg = ReadData("tone_silence.ogg");
  ASSERT_FALSE(ogg.empty());
  std::string why;
  const auto pcm = DecodeOggSound(ogg, why);
  ASSERT_TRUE(pcm) << why;
  EXPECT_EQ(pcm->format.channels, 1);
  EXPECT_EQ(pcm->format.samplesPerSec, 22050u);
  EXPECT_EQ(pcm->format.blockAlign, 2);
  // The trailing silence goes, the tone stays.
  EXPECT_GT(pcm->samples.size(), 22050u * 3 / 2 - 100);
  EXPECT_LT(pcm->samples.size(), 22050u * 3 / 2 + 2000);
  const size_t n = pcm->samples.size();
  EXPECT_TRUE(pcm->samples[n - 1] != 0 || pcm->samples[n - 2] != 0);
}

TEST(OggSound, SilenceIsTrimmedToHalfAndShortSoundsKeepEverything) {
  std::string why;
  // 1 s of digital silence: trimmed, but never below half.
  auto pcm = DecodeOggSound(ReadData("silence.ogg"), why);
  ASSERT_TRUE(pcm) << why;
  EXPECT_EQ(pcm->samples.size(), 11026u);  // n / 2 rounded up to the 4-byte steps
  // 0.2 s of silence: under 30,001 bytes, nothing trimmed.
  pcm = DecodeOggSound(ReadData("short_silence.ogg"), why);
  ASSERT_TRUE(pcm) << why;
  EXPECT_EQ(pcm->samples.size(), 4410u);
}

TEST(OggSound, GarbageAndCutStreamsAreRefusedOrShort) {
  std::string why;
  EXPECT_FALSE(DecodeOggSound({}, why));
  EXPECT_FALSE(why.empty());
  const std::vector<uint8_t> junk(1000, 0x4F);
  EXPECT_FALSE(DecodeOggSound(junk, why));
  auto ogg = ReadData("tone_silence.ogg");
  ogg.resize(ogg.size() / 2);
  const auto half = DecodeOggSound(ogg, why);  // what decodes before the cut, or nothing
  if (half) {
    EXPECT_LT(half->samples.size(), 22050u * 5 / 2);
  }
}

}  // namespace
}  // namespace zorvel
