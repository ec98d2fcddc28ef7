#!/usr/bin/env python3
"""Makes the demo game's sounds: spoken voices (espeak-ng, then oggenc), synthesised effects, a
looping rain, streamed music with a loop point and an Ogg music track.

Run it by hand after changing it (python3 demo/sounds.py); the files it writes are kept in the
repository, so building the demo needs neither espeak-ng nor oggenc. Only Python's standard
library is used for the synthesis; the random numbers are seeded, so a rerun writes the same
WAV files.
"""

import math
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import wave

HERE = os.path.dirname(os.path.abspath(__file__))
RATE = 22050

# Voice entries the demo's scripts and the settings dialog's sample name, with their lines.
VOICES = {
    "AOI_001": "ここまでの話は、ホイールか、バックスペースで読み返せるよ。",
    "AOI_002": "おはよう、ゆうき。今日はいい天気だね。",
    "YUKI_001": "うん。少し歩こうか。",
    "SAMPLECV": "これは、ボイスのサンプルです。",
}


def clamp16(x):
    return max(-32768, min(32767, int(round(x))))


def write_wav(path, channels, frames, loop_start=None):
    """frames: a list of samples (mono) or of (left, right) pairs, as floats in -1..1."""
    data = bytearray()
    for f in frames:
        for s in (f if channels == 2 else (f,)):
            data += struct.pack("<h", clamp16(s * 32767))
    count = len(frames)
    chunks = bytearray()
    fmt = struct.pack("<HHIIHH", 1, channels, RATE, RATE * channels * 2, channels * 2, 16)
    chunks += b"fmt " + struct.pack("<I", len(fmt)) + fmt
    if loop_start is not None:
        # A sampler chunk with one forward loop from loop_start to the last frame.
        smpl = struct.pack("<9I", 0, 0, 1000000000 // RATE, 60, 0, 0, 0, 1, 0)
        smpl += struct.pack("<6I", 0, 0, loop_start, count - 1, 0, 0)
        chunks += b"smpl" + struct.pack("<I", len(smpl)) + smpl
    chunks += b"data" + struct.pack("<I", len(data)) + data
    with open(path, "wb") as out:
        out.write(b"RIFF" + struct.pack("<I", 4 + len(chunks)) + b"WAVE" + chunks)


def envelope(t, attack, decay):
    if t < attack:
        return t / attack
    return math.exp(-(t - attack) / decay)


def tone(seconds, freqs, amp, attack=0.005, decay=0.1):
    out = []
    for i in range(int(seconds * RATE)):
        t = i / RATE
        s = sum(math.sin(2 * math.pi * f * t) / len(freqs) for f in freqs)
        out.append(amp * envelope(t, attack, decay) * s)
    # A short fade so the sound stops without a click.
    fade = min(len(out), 64)
    for k in range(fade):
        out[-1 - k] *= k / fade
    return out


def click():
    rng = random.Random(1)
    out = []
    for i in range(int(0.03 * RATE)):
        t = i / RATE
        out.append(0.6 * math.exp(-t / 0.004) * (rng.uniform(-1, 1) * 0.5 + math.sin(2 * math.pi * 2200 * t)))
    return out


def door():
    rng = random.Random(2)
    out = []
    n = int(0.9 * RATE)
    for i in range(n):
        t = i / RATE
        # A creak (a sweeping buzz) then the thump of the door closing.
        creak = 0.0
        if t < 0.55:
            f = 180 + 140 * t
            creak = 0.25 * math.sin(2 * math.pi * f * t + 3 * math.sin(2 * math.pi * 23 * t)) * min(1, t / 0.05) * (1 - t / 0.55)
        thump = 0.0
        if t >= 0.6:
            u = t - 0.6
            thump = 0.8 * math.exp(-u / 0.06) * (math.sin(2 * math.pi * 70 * u) + 0.3 * rng.uniform(-1, 1))
        out.append(creak + thump)
    return out


def rain():
    """Two seconds of rain whose end runs into its start: the engine loops it whole."""
    rng = random.Random(3)
    seconds = 2.0
    n = int(seconds * RATE)
    overlap = int(0.25 * RATE)
    raw = []
    low = 0.0
    for i in range(n + overlap):
        white = rng.uniform(-1, 1)
        low = 0.85 * low + 0.15 * white  # soft hiss
        raw.append(0.25 * low)
    # Drops: short decaying pings at random times.
    for _ in range(int(seconds * 30)):
        at = rng.randrange(0, n + overlap - 400)
        f = rng.uniform(1500, 4000)
        a = rng.uniform(0.05, 0.2)
        for k in range(400):
            raw[at + k] += a * math.exp(-k / 60) * math.sin(2 * math.pi * f * k / RATE)
    # Crossfade the overlap into the start so the seam is not heard.
    out = raw[:n]
    for k in range(overlap):
        w = k / overlap
        out[k] = out[k] * w + raw[n + k] * (1 - w)
    return out


NOTE = {name: 440 * 2 ** ((i - 9) / 12) for i, name in enumerate(
    ["C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"])}


def freq(note):
    name, octave = note[:-1], int(note[-1])
    return NOTE[name] * 2 ** (octave - 4)


def render(seconds, events, pan_of=lambda voice: 0.0):
    """events: (start seconds, length seconds, frequency, amplitude, voice). Stereo frames."""
    n = int(seconds * RATE)
    left = [0.0] * n
    right = [0.0] * n
    for start, length, f, amp, voice in events:
        pan = pan_of(voice)
        gl, gr = amp * (1 - pan) / 2, amp * (1 + pan) / 2
        s0 = int(start * RATE)
        for k in range(int(length * RATE)):
            if s0 + k >= n:
                break
            t = k / RATE
            env = min(1, t / 0.01) * math.exp(-t / (length * 0.6)) * min(1, (length - t) / 0.02)
            phase = 2 * math.pi * f * t
            v = env * (math.sin(phase) + 0.3 * math.sin(2 * phase) + 0.1 * math.sin(3 * phase))
            left[s0 + k] += gl * v
            right[s0 + k] += gr * v
    return list(zip(left, right))


def music_m01():
    """Ten seconds: a two-second intro of held chords, then an eight-second loop of melody."""
    intro = 2.0
    events = []
    for start, chord in ((0.0, ["C3", "E3", "G3"]), (1.0, ["A2", "C3", "E3"])):
        for note in chord:
            events.append((start, 1.0, freq(note), 0.18, "pad"))
    melody = ["E5", "G5", "A5", "G5", "E5", "D5", "C5", "D5",
              "E5", "E5", "D5", "C5", "A4", "C5", "D5", "C5"]
    bass = ["C3", "C3", "A2", "A2", "F2", "F2", "G2", "G2"]
    for k, note in enumerate(melody):
        events.append((intro + 0.5 * k, 0.45, freq(note), 0.3, "lead"))
    for k, note in enumerate(bass):
        events.append((intro + 1.0 * k, 0.95, freq(note), 0.25, "bass"))
    frames = render(10.0, events, lambda v: {"lead": 0.4, "bass": -0.4, "pad": 0.0}[v])
    return frames, int(intro * RATE)


def music_m02():
    """Ten seconds of a slow arpeggio for the Ogg music."""
    events = []
    chords = [["A3", "C4", "E4"], ["F3", "A3", "C4"], ["C3", "E3", "G3"], ["G3", "B3", "D4"]]
    for bar, chord in enumerate(chords):
        for step in range(8):
            note = chord[step % 3]
            events.append((bar * 2.5 + step * 0.3125, 0.6, freq(note) * (2 if step >= 4 else 1),
                           0.25, "arp" if step % 2 else "arp2"))
        events.append((bar * 2.5, 2.4, freq(chord[0]) / 2, 0.2, "bass"))
    return render(10.0, events, lambda v: {"arp": 0.5, "arp2": -0.5, "bass": 0.0}[v])


def ogg(wav_path, ogg_path):
    subprocess.run(["oggenc", "-Q", "-q", "0", "-o", ogg_path, wav_path], check=True)


def main():
    for sub in ("voice", "se", "seloop", "bgm", "ogm"):
        os.makedirs(os.path.join(HERE, sub), exist_ok=True)
    if not shutil.which("oggenc"):
        sys.exit("sounds.py needs oggenc (vorbis-tools)")

    se = os.path.join(HERE, "se")
    write_wav(os.path.join(se, "SSE01.wav"), 1, click())
    write_wav(os.path.join(se, "SSE02.wav"), 1, tone(0.7, [1318.5, 1975.5], 0.5, decay=0.25))
    blips = {"SSE05": 660, "SSE06": 880, "SSE07": 523, "SSE09": 784, "SSE11": 392}
    for name, f in blips.items():
        write_wav(os.path.join(se, name + ".wav"), 1, tone(0.09, [f, 2 * f], 0.45, decay=0.04))
    write_wav(os.path.join(se, "SEH1DOOR.wav"), 1, door())
    write_wav(os.path.join(HERE, "seloop", "SEH2RAIN.wav"), 1, rain())

    frames, loop = music_m01()
    write_wav(os.path.join(HERE, "bgm", "M01.wav"), 2, frames, loop_start=loop)

    with tempfile.TemporaryDirectory() as tmp:
        m02 = os.path.join(tmp, "M02.wav")
        write_wav(m02, 2, music_m02())
        ogg(m02, os.path.join(HERE, "ogm", "M02.ogg"))

        voice = "ja"
        listed = subprocess.run(["espeak-ng", "--voices=ja"], capture_output=True, text=True)
        if "ja" not in listed.stdout.split():
            voice = "en"  # any voice will do for a demo
        for name, line in VOICES.items():
            wav_path = os.path.join(tmp, name + ".wav")
            subprocess.run(["espeak-ng", "-v", voice, "-s", "150", "-w", wav_path, line],
                           check=True)
            ogg(wav_path, os.path.join(HERE, "voice", name + ".ogg"))


if __name__ == "__main__":
    main()
