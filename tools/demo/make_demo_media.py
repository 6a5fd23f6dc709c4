#!/usr/bin/python3
"""Makes demo/: four short tunes composed here note by note, and the station file radio.pls.

Each tune is written as a Standard MIDI File by this script itself; one is kept as MIDI, the
others are rendered with the fluidsynth program and the TimGM6mb SoundFont and turned into
WAV or MP3 with ffmpeg. The MP3 files get an ID3v1 tag; the polka's tag carries a Russian
artist and title in Windows-1251, as old Russian files do.

radio.pls lists stations by the stream addresses they publish, in Windows-1251 under the
group the player reads.

Usage: tools/demo/make_demo_media.py [OUTPUT_FOLDER]   (default: demo/ of the repository)
Needs: fluidsynth, ffmpeg, /usr/share/sounds/sf2/TimGM6mb.sf2 (scripts/install-deps.sh).
"""

import os
import struct
import subprocess
import sys
import tempfile

SOUNDFONT = "/usr/share/sounds/sf2/TimGM6mb.sf2"
TICKS = 480  # per quarter note

# Note names to MIDI numbers, octave 4 holding middle C (60).
_STEPS = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}


def note(name):
    """'C4' -> 60, 'F#3' -> 54, 'Bb2' -> 46."""
    step = _STEPS[name[0]]
    rest = name[1:]
    while rest and rest[0] in "#b":
        step += 1 if rest[0] == "#" else -1
        rest = rest[1:]
    return 12 * (int(rest) + 1) + step


def varlen(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(out))


class Track:
    """Notes on one channel, placed by beat; written out as one MIDI track chunk."""

    def __init__(self, channel, program=None, volume=100):
        self.channel = channel
        self.events = []  # (tick, order, bytes): note-offs sort before note-ons
        if program is not None:
            self.events.append((0, 0, bytes([0xC0 | channel, program])))
        self.events.append((0, 0, bytes([0xB0 | channel, 7, volume])))

    def add(self, beat, length, pitch, velocity=90):
        start = round(beat * TICKS)
        end = start + max(1, round(length * TICKS) - 10)
        self.events.append((start, 2, bytes([0x90 | self.channel, pitch, velocity])))
        self.events.append((end, 1, bytes([0x80 | self.channel, pitch, 0])))

    def line(self, beat, notes):
        """notes: [(name or chord "C4+E4+G4" or "r" for a rest, length in beats), ...]."""
        for name, length in notes:
            if name != "r":
                for part in name.split("+"):
                    self.add(beat, length, note(part))
            beat += length
        return beat

    def chunk(self, extra=()):
        data = bytearray()
        last = 0
        for tick, _, message in sorted(list(extra) + self.events, key=lambda e: (e[0], e[1])):
            data += varlen(tick - last) + message
            last = tick
        data += varlen(0) + b"\xff\x2f\x00"
        return b"MTrk" + struct.pack(">I", len(data)) + bytes(data)


def midi_file(bpm, beats_per_bar, tracks, title):
    tempo = round(60_000_000 / bpm)
    meta = [
        (0, 0, b"\xff\x03" + varlen(len(title.encode())) + title.encode()),
        (0, 0, b"\xff\x51\x03" + tempo.to_bytes(3, "big")),
        (0, 0, b"\xff\x58\x04" + bytes([beats_per_bar, 2, 24, 8])),
    ]
    header = b"MThd" + struct.pack(">IHHH", 6, 1, len(tracks), TICKS)
    chunks = [tracks[0].chunk(meta)] + [t.chunk() for t in tracks[1:]]
    return header + b"".join(chunks)


def morning():
    """A bright piano tune in C major over a walking bass, 4/4 at 100 beats a minute."""
    melody, bass = Track(0, program=0), Track(1, program=32, volume=90)
    phrase = [("E5", 1), ("G5", 0.5), ("E5", 0.5), ("D5", 1), ("C5", 1),
              ("D5", 0.5), ("E5", 0.5), ("F5", 1), ("E5", 1), ("D5", 1),
              ("C5", 1), ("E5", 1), ("G5", 1.5), ("A5", 0.5),
              ("G5", 1), ("F5", 0.5), ("E5", 0.5), ("D5", 2)]
    ending = [("E5", 1), ("G5", 0.5), ("E5", 0.5), ("D5", 1), ("C5", 1),
              ("A4", 1), ("B4", 1), ("C5", 1), ("D5", 1),
              ("E5", 1), ("D5", 1), ("B4", 1), ("G4", 1), ("C5+E5+G5", 4)]
    beat = melody.line(0, phrase)
    melody.line(beat, ending)
    walk = ["C3", "E3", "G3", "E3", "F3", "A3", "G3", "B2", "C3", "E3", "A2", "C3",
            "F2", "A2", "G2", "B2"]
    for i in range(28):
        bass.add(i, 1, note(walk[i % len(walk)]), 80)
    bass.add(28, 4, note("C2"), 80)
    return midi_file(100, 4, [melody, bass], "Morning")


def evening():
    """Slow strings under a flute in A minor, 4/4 at 76 beats a minute."""
    flute, strings = Track(0, program=73), Track(1, program=48, volume=80)
    flute.line(0, [("A5", 2), ("G5", 1), ("E5", 1), ("F5", 2), ("E5", 1), ("D5", 1),
                   ("C5", 1.5), ("D5", 0.5), ("E5", 2), ("B4", 1), ("C5", 1),
                   ("A4", 4)])
    strings.line(0, [("A3+C4+E4", 4), ("D3+F3+A3", 4), ("C3+E3+G3", 2), ("E3+G#3+B3", 2),
                     ("A2+E3+A3", 6)])
    return midi_file(76, 4, [flute, strings], "Evening")


def waltz():
    """A waltz in G major, 3/4 at 160 beats a minute: oom-pah-pah under a clarinet."""
    tune, band = Track(0, program=71), Track(1, program=0, volume=85)
    tune.line(0, [("D5", 2), ("B4", 1), ("G5", 2), ("D5", 1), ("C5", 2), ("E5", 1),
                  ("D5", 3), ("C5", 2), ("A4", 1), ("F#5", 2), ("C5", 1), ("B4", 2),
                  ("D5", 1), ("G4", 3),
                  ("B4", 1), ("C5", 1), ("D5", 1), ("E5", 2), ("C5", 1), ("A4", 1),
                  ("B4", 1), ("C5", 1), ("D5", 3), ("G5", 2), ("F#5", 1), ("E5", 2),
                  ("C5", 1), ("A4", 2), ("F#4", 1), ("G4", 3)])
    chords = ["G2:B3+D4+G4", "G2:B3+D4+G4", "C3:C4+E4+G4", "G2:B3+D4+G4",
              "D3:C4+D4+F#4", "D3:C4+D4+F#4", "G2:B3+D4+G4", "G2:B3+D4+G4"]
    for bar in range(16):
        root, chord = chords[bar % 8].split(":")
        band.line(bar * 3, [(root, 1), (chord, 1), (chord, 1)])
    band.line(48, [("G2+G3+B3+D4", 3)])
    return midi_file(160, 3, [tune, band], "Waltz")


def polka():
    """A polka in F major, 2/4 at 120 beats a minute: accordion, tuba and a snare."""
    accordion, tuba, drums = Track(0, program=21), Track(1, program=58, volume=90), Track(9)
    accordion.line(0, [("C5", 0.5), ("A4", 0.5), ("C5", 0.5), ("F5", 0.5),
                       ("E5", 0.5), ("G5", 0.5), ("C5", 1),
                       ("D5", 0.5), ("Bb4", 0.5), ("D5", 0.5), ("G5", 0.5),
                       ("F5", 0.5), ("E5", 0.5), ("F5", 1)] * 2 +
                   [("A5", 0.5), ("G5", 0.5), ("F5", 0.5), ("E5", 0.5),
                    ("D5", 0.5), ("C5", 0.5), ("Bb4", 0.5), ("A4", 0.5),
                    ("G4", 0.5), ("A4", 0.5), ("Bb4", 0.5), ("C5", 0.5), ("A4", 1), ("r", 1)] * 2 +
                   [("C5", 0.5), ("A4", 0.5), ("C5", 0.5), ("F5", 0.5),
                    ("E5", 0.5), ("G5", 0.5), ("C5", 1),
                    ("D5", 0.5), ("E5", 0.5), ("C5+F5", 1), ("F4+A4+C5+F5", 2)])
    roots = ["F2", "C3", "C2", "F2", "F2", "C3", "C2", "F2"]
    for bar in range(19):
        root = roots[bar % 8]
        tuba.line(bar * 2, [(root, 0.5), ("r", 0.5), (root, 0.5), ("r", 0.5)])
        drums.line(bar * 2, [("r", 0.5), ("D2", 0.5), ("r", 0.5), ("D2", 0.5)])
    tuba.line(38, [("F2", 2)])
    return midi_file(120, 2, [accordion, tuba, drums], "Polka")


def id3v1(title, artist, album, year, comment, genre):
    """The 128-byte ID3v1 block; the texts are bytes already in the wanted encoding."""
    def field(text, size):
        return text[:size].ljust(size, b"\0")
    return (b"TAG" + field(title, 30) + field(artist, 30) + field(album, 30) +
            field(year, 4) + field(comment, 30) + bytes([genre]))


def run(*args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def render(midi, wav):
    """MIDI bytes to a 44.1 kHz stereo WAV, no reverb or chorus, so runs repeat exactly."""
    with tempfile.TemporaryDirectory() as tmp:
        mid = os.path.join(tmp, "tune.mid")
        with open(mid, "wb") as f:
            f.write(midi)
        run("fluidsynth", "-ni", "-R", "0", "-C", "0", "-g", "1.6", "-r", "44100",
            "-F", wav, SOUNDFONT, mid)


def make_mp3(midi, path, tag):
    with tempfile.TemporaryDirectory() as tmp:
        wav = os.path.join(tmp, "tune.wav")
        render(midi, wav)
        run("ffmpeg", "-nostdin", "-y", "-i", wav, "-map_metadata", "-1", "-fflags", "+bitexact",
            "-ac", "2", "-ar", "44100", "-c:a", "libmp3lame", "-b:a", "96k",
            "-id3v2_version", "0", "-write_xing", "0", path)
    with open(path, "ab") as f:
        f.write(tag)


def make_wav(midi, path):
    with tempfile.TemporaryDirectory() as tmp:
        wav = os.path.join(tmp, "tune.wav")
        render(midi, wav)
        # Mono at 11025 Hz keeps the file small; the player resamples it.
        run("ffmpeg", "-nostdin", "-y", "-i", wav, "-map_metadata", "-1", "-fflags", "+bitexact",
            "-flags", "+bitexact", "-ac", "1", "-ar", "11025", "-c:a", "pcm_s16le", path)


# (title, address): streams the stations publish for players like this one.
STATIONS = [
    ("SomaFM: Groove Salad", "https://ice1.somafm.com/groovesalad-128-mp3"),
    ("SomaFM: Drone Zone", "https://ice1.somafm.com/dronezone-128-mp3"),
    ("Radio Paradise", "https://stream.radioparadise.com/mp3-128"),
    ("FIP (Radio France)", "http://icecast.radiofrance.fr/fip-midfi.mp3"),
    ("Радио Маяк", "https://icecast-vgtrk.cdnvideo.ru/mayakfm_mp3_128kbps"),
    ("Вести FM", "https://icecast-vgtrk.cdnvideo.ru/vestifm_mp3_128kbps"),
    ("Орфей", "https://icecast-vgtrk.cdnvideo.ru/orpheus_mp3_192kbps"),
    ("Радио Рекорд", "https://radiorecord.hostingradio.ru/rr_main96.aacp"),
]


def station_file():
    lines = ["; Радиостанции проигрывателя VOLNAR", "[Всё подряд]"]
    for n, (title, address) in enumerate(STATIONS, 1):
        lines += [f"File{n}={address}", f"Title{n}={title}"]
    return ("\r\n".join(lines) + "\r\n").encode("cp1251")


def main():
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "demo")
    os.makedirs(out, exist_ok=True)

    with open(os.path.join(out, "radio.pls"), "wb") as f:
        f.write(station_file())
    with open(os.path.join(out, "01 Morning.mid"), "wb") as f:
        f.write(morning())
    make_wav(evening(), os.path.join(out, "02 Evening.wav"))
    make_mp3(waltz(), os.path.join(out, "03 Waltz.mp3"),
             id3v1(b"Waltz in G", b"VOLNAR Demo Band", b"VOLNAR Demo", b"2026",
                   b"made by make_demo_media.py", 12))
    make_mp3(polka(), os.path.join(out, "04 Polka.mp3"),
             id3v1("Полька".encode("cp1251"), "Оркестр Волнар".encode("cp1251"),
                   "Демо".encode("cp1251"), b"2026", b"Windows-1251 tag", 12))


if __name__ == "__main__":
    main()
