#!/usr/bin/python3
"""Misbehaving stations and a watching proxy on 127.0.0.1, for tests in Python.

    SilentServer()         accepts connections and never answers
    TricklingServer()      answers one byte a second, forever
    FixedAnswerServer(b)   answers every request with the bytes b, then closes
    AnswerProxy(port)      forwards to a real server and notes when its answer began
                           (the first byte the server sent) and when its audio began
                           (the first byte after the response head)

Each is a context manager with .port and .url(path); each serves every connection on a
thread of its own and closes everything on exit.
"""

import socket
import threading
import time


class _Server:
    def __init__(self):
        self.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(16)
        self.listener.settimeout(0.1)
        self.port = self.listener.getsockname()[1]
        self.stopping = threading.Event()
        self.connections = []
        self.lock = threading.Lock()
        self.accepted = 0
        self.thread = threading.Thread(target=self._accept, daemon=True)

    def url(self, path="/live.mp3"):
        return f"http://127.0.0.1:{self.port}{path}"

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.stopping.set()
        self.thread.join()
        with self.lock:
            for conn in self.connections:
                try:
                    conn.close()
                except OSError:
                    pass
        self.listener.close()
        return False

    def _accept(self):
        while not self.stopping.is_set():
            try:
                conn, _ = self.listener.accept()
            except socket.timeout:
                continue
            except OSError:
                return
            with self.lock:
                self.connections.append(conn)
                self.accepted += 1
            threading.Thread(target=self._serve_safely, args=(conn,), daemon=True).start()

    def _serve_safely(self, conn):
        try:
            self.serve(conn)
        except OSError:
            pass

    def serve(self, conn):
        raise NotImplementedError


class SilentServer(_Server):
    def serve(self, conn):
        while not self.stopping.wait(0.05):
            pass


class TricklingServer(_Server):
    def serve(self, conn):
        for byte in b"HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n" + b"\xff" * 1000:
            conn.sendall(bytes([byte]))
            if self.stopping.wait(1.0):
                return


class FixedAnswerServer(_Server):
    def __init__(self, answer):
        super().__init__()
        self.answer = answer

    def serve(self, conn):
        conn.settimeout(2)
        try:
            conn.recv(65536)
        except OSError:
            pass
        conn.sendall(self.answer)
        conn.close()


class AnswerProxy(_Server):
    def __init__(self, target_port):
        super().__init__()
        self.target_port = target_port
        self.answered_at = None  # time.monotonic() of the server's first byte
        self.audio_at = None     # ... and of its first byte after the response head

    def serve(self, conn):
        upstream = socket.create_connection(("127.0.0.1", self.target_port))
        with self.lock:
            self.connections.append(upstream)

        def forward_request():
            try:
                while True:
                    data = conn.recv(65536)
                    if not data:
                        break
                    upstream.sendall(data)
            except OSError:
                pass

        threading.Thread(target=forward_request, daemon=True).start()
        head = b""
        while not self.stopping.is_set():
            data = upstream.recv(65536)
            if not data:
                break
            now = time.monotonic()
            if self.answered_at is None:
                self.answered_at = now
            if self.audio_at is None:
                head += data
                if b"\r\n\r\n" in head and len(head) > head.index(b"\r\n\r\n") + 4:
                    self.audio_at = now
            conn.sendall(data)
        conn.close()
        upstream.close()


def sockets_to_port(pid, port):
    """The player's open TCP sockets whose remote end is 127.0.0.1:port, from /proc."""
    import os
    inodes = set()
    fd_dir = f"/proc/{pid}/fd"
    for name in os.listdir(fd_dir):
        try:
            target = os.readlink(os.path.join(fd_dir, name))
        except OSError:
            continue
        if target.startswith("socket:["):
            inodes.add(target[8:-1])
    found = []
    for table in (f"/proc/{pid}/net/tcp", f"/proc/{pid}/net/tcp6"):
        try:
            with open(table) as f:
                rows = f.read().splitlines()[1:]
        except OSError:
            continue
        for row in rows:
            fields = row.split()
            remote_port = int(fields[2].split(":")[1], 16)
            if remote_port == port and fields[9] in inodes:
                found.append(row)
    return found
