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
};

}  // namespace zorvel
