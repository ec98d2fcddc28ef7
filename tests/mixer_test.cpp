// The mixer: what comes out for a known signal, volumes in hundredths of a decibel, the master
// volume, loops, stops and replacements without clicks, and the reported play positions.
#include "audio/mixer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace zorvel {
namespace {

Pcm Signal(uint16_t channels, uint32_t rate, std::vector<int16_t> samples) {
  Pcm p;
  p.format.channels = channels;
  p.format.samplesPerSec = rate;
  p.format.blockAlign = static_cast<uint16_t>(2 * channels);
  p.format.avgBytesPerSec = rate * p.format.blockAlign;
  p.samples = std::move(samples);
  return p;
}

Pcm Constant(int16_t value, size_t frames, uint32_t rate = 8000) {
  return Signal(1, rate, std::vector<int16_t>(frames, value));
}

std::vector<int16_t> Pull(Mixer& m, size_t frames) {
  std::vector<int16_t> out(frames * 2);
  m.Mix(out.data(), frames);
  return out;
}

// The largest change between neighbouring frames of one channel: a click is a big jump.
int LargestStep(const std::vector<int16_t>& out, int channel = 0) {
  int worst = 0;
  for (size_t i = 2 + channel; i < out.size(); i += 2) {
    worst = std::max(worst, std::abs(out[i] - out[i - 2]));
  }
  return worst;
}

TEST(MixerTest, ResamplesByLinearInterpolationIntoStereo) {
  Mixer m(16000);
  // A ramp at half the device rate: every other output frame lies between two input frames.
  std::vector<int16_t> ramp;
  for (int i = 0; i < 400; ++i) ramp.push_back(static_cast<int16_t>(20 * i));
  ASSERT_TRUE(m.Load(0, Signal(1, 8000, ramp)));
  // A stereo sound keeps its channels apart.
  ASSERT_TRUE(m.Load(1, Signal(2, 16000, std::vector<int16_t>(1600, 0))));
  for (int f = 0; f < 400; ++f) {
    std::vector<int16_t> frame = {0, static_cast<int16_t>(-f)};
    m.Write(1, 4u * f, frame);
  }
  m.Play(0, false);
  m.Play(1, false);
  const auto out = Pull(m, 600);
  for (int k = m.RampFrames(); k < 600; ++k) {
    const int left = out[2 * k];
    const int right = out[2 * k + 1];
    const int voice = 10 * k;  // input frame k/2, halfway between for odd k
    ASSERT_NEAR(left, voice, 1) << "frame " << k;
    ASSERT_NEAR(right, voice + (k < 400 ? -k : 0), 1) << "frame " << k;
  }
}

TEST(MixerTest, SteadyOutputRoundsHalvesToEvenAndClampsAtTheEnds) {
  {
    // A ramp of single steps at half the device rate: every other frame is a half, which
    // rounds to the even neighbour (0.5 -> 0, 1.5 -> 2).
    Mixer m(16000);
    std::vector<int16_t> ramp;
    for (int i = 0; i < 400; ++i) ramp.push_back(static_cast<int16_t>(i));
    ASSERT_TRUE(m.Load(0, Signal(1, 8000, ramp)));
    m.Play(0, false);
    const auto out = Pull(m, 600);
    for (int k = m.RampFrames(); k < 600; ++k) {
      const int expected = static_cast<int>(std::nearbyint(k / 2.0));
      ASSERT_EQ(out[2 * k], expected) << "frame " << k;
      ASSERT_EQ(out[2 * k + 1], expected) << "frame " << k;
    }
  }
  for (const int16_t value : {30000, -30000}) {
    Mixer m(8000);
    ASSERT_TRUE(m.Load(0, Constant(value, 800)));
    ASSERT_TRUE(m.Load(1, Constant(value, 800)));
    m.Play(0, false);
    m.Play(1, false);
    const auto out = Pull(m, 400);
    for (int k = m.RampFrames(); k < 400; ++k) {
      ASSERT_EQ(out[2 * k], value > 0 ? 32767 : -32768) << "frame " << k;
    }
  }
}

TEST(MixerTest, VolumesAreHundredthsOfADecibel) {
  struct Case {
    int slot;
    int master;
    double gain;
  } cases[] = {
      {0, 0, 1.0},          {-600, 0, 0.5012}, {-2000, 0, 0.1},  {-10000, 0, 0.0},
      {-600, -600, 0.2512}, {0, -9999, 0.0},   {-20000, 0, 0.0},  // clamped to silence
  };
  for (const Case& c : cases) {
    Mixer m(8000);
    ASSERT_TRUE(m.Load(3, Constant(20000, 8000)));
    m.SetVolume(3, c.slot);
    m.SetMasterVolume(c.master);
    m.Play(3, true);
    const auto out = Pull(m, 400);
    EXPECT_NEAR(out[2 * 399], 20000 * c.gain, 2) << c.slot << " " << c.master;
    EXPECT_EQ(out[2 * 399], out[2 * 399 + 1]);
  }
}

TEST(MixerTest, VolumeChangesAreRampedNotStepped) {
  Mixer m(8000);
  ASSERT_TRUE(m.Load(0, Constant(20000, 8000)));
  m.Play(0, true);
  auto out = Pull(m, 100);
  // The start is faded in over the ramp, not switched on.
  EXPECT_LT(out[0], 20000 / 4);
  EXPECT_LE(LargestStep(out), 20000 / m.RampFrames() + 2);
  m.SetVolume(0, -10000);
  out = Pull(m, 100);
  EXPECT_LE(LargestStep(out), 20000 / m.RampFrames() + 2);
  EXPECT_EQ(out[2 * 99], 0);
  m.SetVolume(0, 0);
  m.SetMasterVolume(-10000);
  out = Pull(m, 100);
  EXPECT_LE(LargestStep(out), 20000 / m.RampFrames() + 2);
  EXPECT_EQ(out[2 * 99], 0);
}

TEST(MixerTest, OnceEndsAndLoopsWrapWithoutASeam) {
  // A sine with a whole number of periods: looped, it is one endless sine.
  std::vector<int16_t> sine;
  for (int i = 0; i < 200; ++i) {
    sine.push_back(static_cast<int16_t>(std::lround(12000 * std::sin(2 * M_PI * 5 * i / 200.0))));
  }
  Mixer m(8000);
  ASSERT_TRUE(m.Load(2, Signal(1, 8000, sine)));
  ASSERT_TRUE(m.Load(1, Signal(1, 8000, sine)));
  m.Play(2, true);
  m.Play(1, false);
  EXPECT_TRUE(m.Playing(1));
  auto out = Pull(m, 150);
  EXPECT_TRUE(m.Playing(1));
  EXPECT_EQ(m.Position(1), 300u);
  out = Pull(m, 100);
  // The once-buffer has ended; the loop carries on past its seam.
  EXPECT_FALSE(m.Playing(1));
  EXPECT_TRUE(m.Has(1));
  EXPECT_TRUE(m.Playing(2));
  EXPECT_EQ(m.Position(2), 2u * 50);
  m.Stop(1);
  m.Release(1);
  out = Pull(m, 450);  // 2.5 more loops
  EXPECT_EQ(m.Position(2), 2u * 100);
  for (size_t k = 0; k < 450; ++k) {
    ASSERT_NEAR(out[2 * k], sine[(250 + k) % 200], 1) << "frame " << k;
  }
}

TEST(MixerTest, StopsAndReplacementsFadeInsteadOfClicking) {
  Mixer m(8000);
  ASSERT_TRUE(m.Load(0, Constant(24000, 8000)));
  m.Play(0, false);
  Pull(m, 200);
  m.Stop(0);
  EXPECT_FALSE(m.Playing(0));  // at once for the engine, though its sound fades out
  const size_t stoppedAt = m.Position(0);
  auto out = Pull(m, 100);
  EXPECT_LE(LargestStep(out), 24000 / m.RampFrames() + 2);
  EXPECT_GT(out[0], 12000);
  EXPECT_EQ(out[2 * 99], 0);
  EXPECT_EQ(m.Position(0), stoppedAt);

  // A new sound on a playing slot cuts the old one: one fades out as the other fades in.
  m.Play(0, false);
  Pull(m, 100);
  ASSERT_TRUE(m.Load(0, Constant(-24000, 8000)));
  m.SetLabel(0, "NEXT");
  EXPECT_FALSE(m.Playing(0));
  EXPECT_EQ(m.Position(0), 0u);
  m.Play(0, false);
  out = Pull(m, 100);
  EXPECT_LE(LargestStep(out), 2 * 24000 / m.RampFrames() + 2);
  EXPECT_NEAR(out[2 * 99], -24000, 1);
  EXPECT_EQ(m.Label(0), "NEXT");

  // Released: nothing left, label gone, a fade and then silence.
  m.Release(0);
  EXPECT_FALSE(m.Has(0));
  EXPECT_EQ(m.Label(0), "");
  out = Pull(m, 100);
  EXPECT_LE(LargestStep(out), 24000 / m.RampFrames() + 2);
  EXPECT_EQ(out[2 * 99], 0);
}

TEST(MixerTest, PositionsCountBytesOfTheSlotsOwnBuffer) {
  Mixer m(44100);
  ASSERT_TRUE(m.Load(4, Signal(2, 11025, std::vector<int16_t>(2 * 11025, 1000))));
  m.Play(4, true);
  Pull(m, 4410);  // a tenth of a second: 1102.5 frames of the sound
  EXPECT_EQ(m.Position(4), 1102u * 4);
  m.SetPosition(4, 4 * 11000 + 3);  // rounded down to a whole frame
  EXPECT_EQ(m.Position(4), 11000u * 4);
  Pull(m, 4410);
  EXPECT_EQ(m.Position(4), (11000u + 1102 - 11025) * 4);
  // A buffer the mixer cannot play is refused and leaves the slot empty.
  WaveFormat eightBit;
  eightBit.bitsPerSample = 8;
  EXPECT_FALSE(m.Create(4, eightBit, 100));
  EXPECT_FALSE(m.Has(4));
  WaveFormat threeChannels;
  threeChannels.channels = 3;
  EXPECT_FALSE(m.Create(5, threeChannels, 600));
  EXPECT_FALSE(m.Create(8, WaveFormat{}, 100));
}

}  // namespace
}  // namespace zorvel
