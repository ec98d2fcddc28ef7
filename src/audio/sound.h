// Sound output, voices, effects and music. The mixer, the decoders and the music stream come
// with the audio work; until then nothing plays and nothing is reported as playing.
#pragma once

namespace zorvel {

class Sound {
 public:
  void CreateSoundOutput() {}
  void PlaySystemSound(const char* /*name*/) {}
  void StopVoice() {}
  bool VoiceOrEffectPlaying() const { return false; }
  void ApplyVolumes() {}
  // Music fades, volumes and the refill of streamed music, once a timer tick.
  void RefillStream() {}
  void StopMusic() {}
  void StartMusic(int /*number*/) {}
  // Movie playback countdown; true while a movie holds the timer tick.
  bool TickMovie() { return false; }
};

}  // namespace zorvel
