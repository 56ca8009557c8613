#!/usr/bin/env python3
"""Loopback HTTP server for the transfer tests and the download benchmark.

It serves one folder and writes the port it listens on to a file once it accepts
connections. Besides plain files (with Content-Length, 404 for missing ones) it
can misbehave the way real servers sometimes do:

  /nolength/<path>  the file without a Content-Length; the end of the body is the
                    end of the connection
  /cut/<path>       announces the full length but sends half of the file, then
                    closes the connection
  /slow/<path>      announces the full length, sends half of the file, then one
                    byte every fifth of a second
  /stray/<path>     "300 Multiple Choices" with a page and no Location: a final
                    answer that is not the file
  /moved/<path>     "302 Found" with a page, to /<path>

Plain files carry an ETag and a Last-Modified date and honour "Range: bytes=N-"
with If-Range, as common servers do. A test steers the next requests with a file
".plan" in the served folder, one instruction a line, each for the files of one
name (the last part of the path):

  cut NAME FRACTION  the next answer for NAME stops once the body has reached
                     FRACTION of the file (by its position in the file) and the
                     connection is closed; the line is used up
  norange NAME       answers for NAME ignore Range (always the whole file)

Every answer for a plain file adds "NAME BYTES" (the body bytes sent) to ".sent".
"""
import argparse
import email.utils
import http.server
import os
import shutil
import threading
import time
import urllib.parse

plan_lock = threading.Lock()


def take_plan(root, name):
    """The cut fraction for the next answer for `name` (used up), or None, and
    whether ranges are ignored for it."""
    path = os.path.join(root, ".plan")
    with plan_lock:
        try:
            with open(path) as f:
                lines = f.read().splitlines()
        except OSError:
            return None, False
        cut = None
        kept = []
        norange = False
        for line in lines:
            words = line.split()
            if len(words) == 3 and words[0] == "cut" and words[1] == name and cut is None:
                cut = float(words[2])
                continue
            if len(words) == 2 and words[0] == "norange" and words[1] == name:
                norange = True
            kept.append(line)
        if cut is not None:
            with open(path, "w") as f:
                f.write("".join(l + "\n" for l in kept))
        return cut, norange


def record_sent(root, name, count):
    with plan_lock:
        with open(os.path.join(root, ".sent"), "a") as f:
            f.write("%s %d\n" % (name, count))


class Handler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, format, *args):
        pass

    def _local(self, path):
        return self.translate_path(path)

    def do_GET(self):
        path = urllib.parse.urlsplit(self.path).path
        for prefix, mode in (("/nolength/", "nolength"), ("/cut/", "cut"), ("/slow/", "slow"),
                             ("/stray/", "stray"), ("/moved/", "moved")):
            if path.startswith(prefix):
                return self._special(path[len(prefix) - 1:], mode)
        local = self._local(path)
        if os.path.isfile(local):
            return self._plain(local)
        return super().do_GET()

    def _plain(self, local):
        stat = os.stat(local)
        size = stat.st_size
        name = os.path.basename(local)
        etag = '"%x-%x"' % (size, stat.st_mtime_ns)
        modified = email.utils.formatdate(stat.st_mtime, usegmt=True)
        cut, norange = take_plan(self.directory, name)
        start = 0
        wanted = self.headers.get("Range", "")
        if_range = self.headers.get("If-Range")
        if wanted.startswith("bytes=") and wanted.endswith("-") and not norange:
            try:
                first = int(wanted[6:-1])
            except ValueError:
                first = -1
            if if_range is None or if_range in (etag, modified):
                if first >= size:
                    self.send_response(416)
                    self.send_header("Content-Range", "bytes */%d" % size)
                    self.send_header("Content-Length", "0")
                    self.end_headers()
                    return
                if first >= 0:
                    start = first
        self.send_response(206 if start else 200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(size - start))
        self.send_header("ETag", etag)
        self.send_header("Last-Modified", modified)
        self.send_header("Accept-Ranges", "none" if norange else "bytes")
        if start:
            self.send_header("Content-Range", "bytes %d-%d/%d" % (start, size - 1, size))
        if cut is not None:
            self.send_header("Connection", "close")
        self.end_headers()
        stop = size if cut is None else max(start, min(size, int(size * cut)))
        sent = 0
        try:
            with open(local, "rb") as f:
                self.wfile.flush()
                if self.rate <= 0:
                    # sendfile keeps the server from being the bottleneck of a benchmark.
                    sent = self.connection.sendfile(f, offset=start, count=stop - start)
                else:
                    f.seek(start)
                    left = stop - start
                    while left > 0:
                        block = f.read(min(left, max(1, self.rate // 10)))
                        if not block:
                            break
                        self.wfile.write(block)
                        self.wfile.flush()
                        sent += len(block)
                        left -= len(block)
                        time.sleep(0.1)
        except OSError:
            pass  # the client gave up
        record_sent(self.directory, name, sent)
        if cut is not None:
            self.close_connection = True

    def _special(self, path, mode):
        local = self._local(path)
        if not os.path.isfile(local):
            self.send_error(404, "File not found")
            return
        size = os.path.getsize(local)
        if mode in ("stray", "moved"):
            page = b"<html>choose one</html>"
            self.send_response(300 if mode == "stray" else 302)
            if mode == "moved":
                self.send_header("Location", path)
            self.send_header("Content-Length", str(len(page)))
            self.end_headers()
            self.wfile.write(page)
            return
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        if mode in ("cut", "slow"):
            self.send_header("Content-Length", str(size))
        self.send_header("Connection", "close")
        self.end_headers()
        with open(local, "rb") as f:
            if mode == "cut":
                self.wfile.write(f.read(size // 2))
            elif mode == "slow":
                self.wfile.write(f.read(size // 2))
                try:
                    for byte in iter(lambda: f.read(1), b""):
                        self.wfile.write(byte)
                        self.wfile.flush()
                        time.sleep(0.2)
                except OSError:
                    pass  # the client gave up
            else:
                shutil.copyfileobj(f, self.wfile)
        self.close_connection = True

    # With --rate every file goes out at most this many bytes a second, so that a
    # client's progress can be watched; 0 sends at full speed.
    rate = 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--rate", type=int, default=0,
                        help="send every file at most this many bytes a second")
    args = parser.parse_args()

    root = os.path.abspath(args.root)

    class RootHandler(Handler):
        rate = args.rate

        def __init__(self, *a, **kw):
            super().__init__(*a, directory=root, **kw)

    server = http.server.ThreadingHTTPServer(("127.0.0.1", args.port), RootHandler)
    server.daemon_threads = True
    port = server.server_address[1]
    temp = args.port_file + ".tmp"
    with open(temp, "w") as f:
        f.write("%d\n" % port)
    os.replace(temp, args.port_file)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
