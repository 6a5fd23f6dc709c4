"""What the player sends to the sound device, read from SDL's disk audio driver's file
(32-bit float, stereo, 44100 Hz, written in real time)."""

import os
import subprocess

import numpy

RATE = 44100


def disk_env(path):
    return {"SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": path}


def recent_samples(path, seconds=0.5):
    """The last `seconds` of output, channels averaged."""
    frame_bytes = 8
    want = int(seconds * RATE) * frame_bytes
    size = os.path.getsize(path) if os.path.exists(path) else 0
    if size < want:
        return numpy.zeros(0)
    with open(path, "rb") as f:
        f.seek(size - want - size % frame_bytes)
        data = numpy.frombuffer(f.read(want), dtype="<f4")
    return data.reshape(-1, 2).mean(axis=1)


def dominant_frequency(samples):
    """The strongest frequency in Hz, or 0 for silence."""
    if len(samples) == 0 or numpy.abs(samples).max() < 1e-3:
        return 0.0
    spectrum = numpy.abs(numpy.fft.rfft(samples * numpy.hanning(len(samples))))
    spectrum[0] = 0
    return float(numpy.argmax(spectrum)) * RATE / len(samples)


def loudness(samples):
    return float(numpy.sqrt(numpy.mean(samples ** 2))) if len(samples) else 0.0


def make_tone(path, frequency, seconds, extra=()):
    """A sine file encoded by the ffmpeg command; the format follows the file's extension."""
    subprocess.run(["ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                    f"sine=frequency={frequency}:sample_rate=44100:duration={seconds}",
                    "-ac", "2", *extra, path], check=True, timeout=60)
