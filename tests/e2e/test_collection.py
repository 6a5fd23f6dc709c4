"""A music collection as people have one, through the real player under Xvfb and a session
bus of its own, read as a desktop panel reads it (playerctl): a root of album folders holding
every format the player takes, tagged in UTF-8, UTF-16 and in Windows-1251 inside frames
marked Latin-1, with covers in the files and beside them; a file from elsewhere opened while
it plays."""

import os
import struct
import subprocess
import sys
import urllib.parse

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))

from harness import PlayerSession, Results, run_inside_private_bus, wait_until
from sound import make_tone

JPEG = b"\xFF\xD8\xFF\xE0" + b"a cover of the file itself" * 4


def playerctl(s, *args):
    out = subprocess.run(["playerctl", "-p", "volnar"] + list(args), env=s.env,
                         capture_output=True, text=True, timeout=10)
    return out.stdout.strip()


def id3v2(frames):
    """An ID3v2.3 tag of (id, body) frames."""
    body = b"".join(i.encode() + struct.pack(">I", len(b)) + b"\0\0" + b for i, b in frames)
    size = len(body)
    syncsafe = bytes([(size >> 21) & 0x7F, (size >> 14) & 0x7F, (size >> 7) & 0x7F, size & 0x7F])
    return b"ID3\x03\x00\x00" + syncsafe + body


def tagged(path, codec_args, title, artist, album, number):
    make_tone(path, 440, 20, ["-metadata", f"title={title}", "-metadata", f"artist={artist}",
                             "-metadata", f"album={album}", "-metadata", f"track={number}",
                             *codec_args])


def midi(path):
    """One note a beat for two beats, format 0."""
    events = bytes([0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,
                    0x00, 0x90, 60, 100, 0x83, 0x60, 0x80, 60, 0,
                    0x00, 0x90, 64, 100, 0x83, 0x60, 0x80, 64, 0,
                    0x00, 0xFF, 0x2F, 0x00])
    with open(path, "wb") as f:
        f.write(b"MThd" + struct.pack(">IHHH", 6, 0, 1, 480) +
                b"MTrk" + struct.pack(">I", len(events)) + events)


def build_collection(root):
    russian = os.path.join(root, "Кино")      # tags of old Russian taggers, a cover inside
    album = os.path.join(root, "Album")       # every other format, the cover beside them
    loose = os.path.join(root, "Loose")
    for folder in (russian, album, loose):
        os.makedirs(folder, exist_ok=True)

    plain = os.path.join(russian, "plain.mp3")
    make_tone(plain, 330, 20, ["-id3v2_version", "0", "-write_xing", "0"])
    with open(plain, "rb") as f:
        audio = f.read()
    os.remove(plain)
    frames = [("TIT2", b"\0" + "Звезда по имени Солнце".encode("cp1251")),   # "Latin-1"
              ("TPE1", b"\x01" + "Кино".encode("utf-16")),                    # UTF-16
              ("TALB", b"\x03" + "Последний герой".encode()),                 # UTF-8
              ("TRCK", b"\x002"),
              ("APIC", b"\0image/jpeg\0\x03\0" + JPEG)]
    with open(os.path.join(russian, "01 zvezda.MP3"), "wb") as f:   # a name in capitals
        f.write(id3v2(frames) + audio)

    formats = [("01.flac", ["-c:a", "flac"]), ("02.ogg", ["-c:a", "libvorbis"]),
               ("03.opus", ["-c:a", "libopus"]), ("04.m4a", ["-c:a", "aac"]),
               ("05.wv", ["-c:a", "wavpack"]), ("06.aiff", ["-write_id3v2", "1"]),
               ("07.wma", ["-c:a", "wmav2"]), ("08.mka", ["-c:a", "libvorbis"]),
               ("09.wav", [])]
    for i, (name, args) in enumerate(formats):
        tagged(os.path.join(album, name), args, f"Песня {i + 1}", "Исполнитель", "Альбом", i + 1)
    midi(os.path.join(album, "10.mid"))
    midi(os.path.join(album, "11.midi"))
    midi(os.path.join(album, "12.kar"))
    with open(os.path.join(album, "cover.jpg"), "wb") as f:
        f.write(b"\xFF\xD8\xFF\xE0 the folder's cover")
    with open(os.path.join(album, "notes.txt"), "w") as f:
        f.write("not a track")
    make_tone(os.path.join(loose, "x.ogg"), 550, 20)
    make_tone(os.path.join(work_folder(root), "elsewhere.opus"), 660, 20)
    return russian, album, loose


def work_folder(root):
    return os.path.dirname(root)


def art_file(s):
    url = playerctl(s, "metadata", "mpris:artUrl")
    if not url.startswith("file://"):
        return None
    return urllib.parse.unquote(url[len("file://"):])


def main(binary):
    run_inside_private_bus()
    r = Results()
    work = os.path.abspath(os.path.join(os.path.dirname(binary), "e2e-collection"))
    root = os.path.join(work, "music")
    subprocess.run(["rm", "-rf", work], check=True)
    russian, album, loose = build_collection(root)
    # Matroska's tags are not read (the tag library has none of its own for them): its name.
    expected = ([("Album", "08.mka" if i == 8 else f"Песня {i}") for i in range(1, 10)] +
                [("Album", n) for n in ("10.mid", "11.midi", "12.kar")] +
                [("Loose", "x.ogg"), ("Кино", "Звезда по имени Солнце")])

    # The root holds no track itself: the whole collection is listed, album by album.
    with PlayerSession(binary, cwd=work, args=[root]) as s:
        s.wait_window("Плеер")
        playerctl(s, "play")
        seen = []
        for i, (folder, title) in enumerate(expected):
            if i > 0:
                playerctl(s, "next")
            ok = wait_until(lambda: playerctl(s, "metadata", "title") == title, timeout=8)
            playing = wait_until(lambda: playerctl(s, "status") == "Playing", timeout=5)
            r.check(ok and playing, f"track {i + 1} of {folder} plays with its title {title!r} "
                                    f"(seen {playerctl(s, 'metadata', 'title')!r})")
            seen.append(title)
            if folder == "Album" and i == 0:
                r.check(playerctl(s, "metadata", "artist") == "Исполнитель" and
                        playerctl(s, "metadata", "album") == "Альбом" and
                        playerctl(s, "metadata", "xesam:trackNumber") == "1",
                        "a FLAC's artist, album and number reach the desktop")
                art = art_file(s)
                r.check(art == os.path.join(album, "cover.jpg"),
                        f"a file without a picture: the folder's cover ({art})")
        r.check(playerctl(s, "metadata", "artist") == "Кино" and
                playerctl(s, "metadata", "album") == "Последний герой",
                "UTF-16 artist and UTF-8 album of the ID3v2 tag")
        s.screenshot(os.path.join(work, "tagged.png"))
        art = art_file(s)
        cached = art is not None and art.startswith(os.path.join(s.tmp, "cache", "volnar"))
        wait_until(lambda: art is not None and os.path.exists(art), timeout=5)
        picture = open(art, "rb").read() if cached and os.path.exists(art) else b""
        r.check(cached and picture == JPEG,
                f"the picture in the file is written into the cache for the desktop ({art})")
        length = playerctl(s, "metadata", "mpris:length")
        r.check(length.isdigit() and abs(int(length) - 20_000_000) < 100_000,
                f"its length is published ({length} us)")
        playerctl(s, "next")   # after the last track: nothing more
        r.check(playerctl(s, "metadata", "title") == "Звезда по имени Солнце",
                "the list holds nothing more (notes.txt, cover.jpg and the empty folder not)")

        # A file of another folder, from the desktop ("Open with", a panel): it plays itself.
        elsewhere = os.path.join(work_folder(root), "elsewhere.opus")
        playerctl(s, "open", "file://" + urllib.parse.quote(elsewhere))
        r.check(wait_until(lambda: playerctl(s, "metadata", "title") == "elsewhere.opus",
                           timeout=8) and
                wait_until(lambda: playerctl(s, "status") == "Playing", timeout=5),
                "an Opus file of another folder opened from the desktop plays itself, not a track of the list")
        shot = os.path.join(work, "collection.png")
        s.screenshot(shot)
        print("screenshot:", shot)
        r.check(s.alive(), "the player still runs")
    r.finish()


if __name__ == "__main__":
    main(sys.argv[1])
