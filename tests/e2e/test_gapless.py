"""Two tracks cut from one continuous tone play back to back through the real player under
Xvfb, as SDL's disk driver hears them: not one sample lost, doubled or silenced at the join,
for WAV and FLAC halves."""

import os
import subprocess
import sys
import time
import wave

import numpy

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))

from harness import PlayerSession, Results
from sound import RATE, disk_env

FREQUENCY = 997.0
HALF = 66150          # 1.5 s at 44100 Hz: the cut falls mid-cycle, where a gap shows most
WINDOW = 2048


def write_wav(path, samples):
    data = (samples * 32767 * 0.5).astype("<i2")
    with wave.open(path, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(numpy.repeat(data, 2).tobytes())


def make_halves(folder, extension):
    os.makedirs(folder, exist_ok=True)
    t = numpy.arange(2 * HALF) / RATE
    tone = numpy.sin(2 * numpy.pi * FREQUENCY * t)
    for name, part in (("a", tone[:HALF]), ("b", tone[HALF:])):
        wav = os.path.join(folder, name + ".wav")
        write_wav(wav, part)
        if extension != "wav":
            subprocess.run(["ffmpeg", "-v", "error", "-y", "-i", wav,
                            os.path.join(folder, name + "." + extension)], check=True)
            os.remove(wav)
    return os.path.join(folder, "a." + extension)


def worst_misfit(samples):
    """The largest deviation from a pure tone of FREQUENCY fitted to each window (windows
    overlapping by half, so that any join lies well inside one), relative to its amplitude."""
    worst = 0.0
    t = numpy.arange(WINDOW) / RATE
    basis = numpy.stack([numpy.sin(2 * numpy.pi * FREQUENCY * t),
                         numpy.cos(2 * numpy.pi * FREQUENCY * t)], axis=1)
    for start in range(0, len(samples) - WINDOW, WINDOW // 2):
        part = samples[start:start + WINDOW]
        coefficients, *_ = numpy.linalg.lstsq(basis, part, rcond=None)
        amplitude = float(numpy.hypot(*coefficients))
        if amplitude < 1e-3:
            return float("inf")   # a silence inside the sound
        worst = max(worst, float(numpy.abs(part - basis @ coefficients).max()) / amplitude)
    return worst


def heard(path):
    data = numpy.frombuffer(open(path, "rb").read(), dtype="<f4")
    mono = data[: len(data) // 2 * 2].reshape(-1, 2).mean(axis=1)
    sounding = numpy.nonzero(numpy.abs(mono) > 1e-4)[0]
    if len(sounding) == 0:
        return numpy.zeros(0)
    # The first and last 0.1 s carry the volume's ramp and the device's start and end.
    return mono[sounding[0] + RATE // 10: sounding[-1] - RATE // 10]


def main(binary):
    r = Results()
    work = os.path.abspath(os.path.join(os.path.dirname(binary), "e2e-gapless"))
    for extension in ("wav", "flac"):
        first = make_halves(os.path.join(work, extension), extension)
        out = os.path.join(work, extension + ".raw")
        if os.path.exists(out):
            os.remove(out)
        with PlayerSession(binary, cwd=work, args=[first], extra_env=disk_env(out)):
            time.sleep(2 * HALF / RATE + 2.5)
        samples = heard(out)
        seconds = len(samples) / RATE
        r.check(seconds > 2 * HALF / RATE - 0.3,
                f"{extension}: both halves heard ({seconds:.3f} s of the tone between the ramps)")
        misfit = worst_misfit(samples) if len(samples) > WINDOW else float("inf")
        # A lost or doubled sample at 997 Hz is a step of 14 % of the amplitude; 16-bit
        # rounding and the float mix stay far below 1 %.
        r.check(misfit < 0.02, f"{extension}: one unbroken tone across the join "
                               f"(largest deviation {misfit:.4f} of the amplitude)")
    r.finish()


if __name__ == "__main__":
    main(sys.argv[1])
