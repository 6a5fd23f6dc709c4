#!/usr/bin/python3
"""Hostile inputs against the audio engine's library, with time and memory:

  files     how long BASS_StreamCreateFile takes for sparse files of zeros named .mp3 (512 MB,
            1 TB) and for a tone followed by a hole to 3.9 GB or by 1 GB of FF bytes, and
            the process's peak resident memory (target: opening under 50 ms, 250 MB);
  stations  the peak resident memory while a station sends zeros as audio/mpeg, an endless
            HLS master playlist, a gzip bomb, or a live HLS playlist of 30,000 segments that
            grows by as many at each reload, each until the stream ends (target: 250 MB).

    /usr/bin/python3 bench/engine/hostile_inputs_bench.py build/libvolnar-engine.so

Files are made in a temporary folder (sparse but the FF bytes, 1 GB); servers run on
127.0.0.1. Exit code 1 when a target is missed."""

import ctypes
import os
import resource
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time
import zlib

OPEN_TARGET_MS = 50
MEMORY_TARGET_MB = 250


def resident_mb():
    with open("/proc/self/status") as f:
        return next(int(line.split()[1]) for line in f if line.startswith("VmRSS")) // 1024


def peak_mb():
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss // 1024


def make_files(folder):
    tone = os.path.join(folder, "tone.mp3")
    subprocess.run(["ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                    "sine=frequency=440:duration=5", "-c:a", "libmp3lame", tone], check=True)
    with open(tone, "rb") as f:
        sound = f.read()
    files = []
    for name, size in (("zeros 512 MB.mp3", 512 << 20), ("zeros 1 TB.mp3", 1 << 40)):
        path = os.path.join(folder, name)
        with open(path, "wb") as f:
            f.truncate(size)
        files.append(path)
    hole = os.path.join(folder, "tone and a hole to 3.9 GB.mp3")
    with open(hole, "wb") as f:
        f.write(sound)
        f.truncate(3900 << 20)
    files.append(hole)
    junk = os.path.join(folder, "tone and 1 GB of FF.mp3")
    with open(junk, "wb") as f:
        f.write(sound)
        block = b"\xff" * (1 << 20)
        for _ in range(1024):
            f.write(block)
    files.append(junk)
    return files


class Server:
    """One connection a thread; `answer(connection)` writes the whole answer (or
    `answer(connection, path)`, with the path asked for, when the answer takes two)."""

    def __init__(self, answer):
        self.socket = socket.socket()
        self.socket.bind(("127.0.0.1", 0))
        self.socket.listen(16)
        self.port = self.socket.getsockname()[1]
        self.answer = answer
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        while True:
            connection, _ = self.socket.accept()
            threading.Thread(target=self._serve, args=(connection,), daemon=True).start()

    def _serve(self, connection):
        try:
            request = connection.recv(4096).decode("latin-1").split(" ")
            if self.answer.__code__.co_argcount == 2:
                self.answer(connection, request[1] if len(request) > 1 else "/")
            else:
                self.answer(connection)
        except OSError:
            pass
        finally:
            connection.close()


def zeros(connection):
    connection.sendall(b"HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n")
    block = b"\0" * 65536
    while True:
        connection.sendall(block)


def master(connection):
    connection.sendall(b"HTTP/1.0 200 OK\r\nContent-Type: application/vnd.apple.mpegurl\r\n\r\n"
                       b"#EXTM3U\n")
    i = 0
    while True:
        connection.sendall(b"".join(b"#EXT-X-STREAM-INF:BANDWIDTH=%d\nhttp://127.0.0.1:1/v%d.m3u8\n"
                                    % (j, j) for j in range(i, i + 1000)))
        i += 1000


def bomb_answer():
    packer = zlib.compressobj(9, zlib.DEFLATED, 31)
    body = packer.compress(b"\0" * (1 << 30)) + packer.flush()

    def answer(connection):
        connection.sendall(b"HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\nContent-Encoding: "
                           b"gzip\r\nContent-Length: %d\r\n\r\n" % len(body) + body)
        time.sleep(5)
    return answer, len(body)


def growing_live_playlist():
    """A live HLS playlist (no end) of one real 2 s segment repeated, 30,000 entries longer at
    each reload: what a broken packager that never drops old segments serves."""
    folder = tempfile.mkdtemp(prefix="volnar-hostile-hls-")
    segment_path = os.path.join(folder, "s.ts")
    subprocess.run(["ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                    "sine=frequency=440:duration=2", "-c:a", "aac", "-b:a", "64k", "-f", "mpegts",
                    segment_path], check=True)
    with open(segment_path, "rb") as f:
        segment = f.read()
    shutil.rmtree(folder, ignore_errors=True)
    reloads = [0]

    def answer(connection, path):
        if path.startswith("/s"):
            connection.sendall(b"HTTP/1.0 200 OK\r\nContent-Type: video/mp2t\r\nContent-Length: "
                               b"%d\r\n\r\n" % len(segment) + segment)
            return
        reloads[0] += 1
        body = (b"#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:2\n#EXT-X-MEDIA-SEQUENCE:0\n" +
                b"".join(b"#EXTINF:2.0,\n/s%d.ts\n" % i for i in range(30000 * reloads[0])))
        connection.sendall(b"HTTP/1.0 200 OK\r\nContent-Type: application/vnd.apple.mpegurl\r\n"
                           b"Content-Length: %d\r\n\r\n" % len(body) + body)
    return answer


def main(library):
    os.environ.setdefault("SDL_AUDIODRIVER", "dummy")
    engine = ctypes.CDLL(os.path.abspath(library))
    engine.BASS_StreamCreateFile.restype = ctypes.c_uint32
    engine.BASS_StreamCreateURL.restype = ctypes.c_uint32
    engine.BASS_ChannelGetLength.restype = ctypes.c_uint64
    engine.BASS_Init(-1, 44100, 0, None, None)
    met = True

    folder = tempfile.mkdtemp(prefix="volnar-hostile-bench-")
    try:
        for path in make_files(folder):
            start = time.monotonic()
            handle = engine.BASS_StreamCreateFile(0, path.encode(), ctypes.c_uint64(0),
                                                  ctypes.c_uint64(0), 0)
            took = (time.monotonic() - start) * 1000
            length = engine.BASS_ChannelGetLength(handle, 0) / 176400 if handle else -1
            ok = took < OPEN_TARGET_MS and peak_mb() < MEMORY_TARGET_MB
            met &= ok
            print(f"{os.path.basename(path)}: opened in {took:.0f} ms "
                  f"({'length %.2f s' % length if handle else 'refused'}), "
                  f"peak {peak_mb()} MB {'met' if ok else 'MISSED'}")
            engine.BASS_StreamFree(handle)
    finally:
        shutil.rmtree(folder, ignore_errors=True)

    bomb, bomb_bytes = bomb_answer()
    for name, answer in (("zeros as audio/mpeg", zeros), ("endless HLS master", master),
                         (f"gzip bomb of {bomb_bytes // 1024} KB", bomb),
                         ("live HLS playlist growing at every reload", growing_live_playlist())):
        server = Server(answer)
        start = time.monotonic()
        highest = resident_mb()
        handle = engine.BASS_StreamCreateURL(f"http://127.0.0.1:{server.port}/x".encode(), 0,
                                             0, None, None)
        engine.BASS_ChannelPlay(handle, 0)
        while time.monotonic() - start < 8 and engine.BASS_ChannelIsActive(handle) != 0:
            highest = max(highest, resident_mb())
            time.sleep(0.02)
        ended = time.monotonic() - start
        engine.BASS_StreamFree(handle)
        ok = highest < MEMORY_TARGET_MB
        met &= ok
        print(f"station, {name}: ended after {ended:.1f} s, resident at most {highest} MB "
              f"{'met' if ok else 'MISSED'}")
    return 0 if met else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "build/libvolnar-engine.so"))
