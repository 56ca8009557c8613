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
"""
import argparse
import http.server
import os
import shutil
import time
import urllib.parse


class Handler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, format, *args):
        pass

    def _local(self, path):
        return self.translate_path(path)

    def do_GET(self):
        path = urllib.parse.urlsplit(self.path).path
        for prefix, mode in (("/nolength/", "nolength"), ("/cut/", "cut"), ("/slow/", "slow")):
            if path.startswith(prefix):
                return self._special(path[len(prefix) - 1:], mode)
        return super().do_GET()

    def _special(self, path, mode):
        local = self._local(path)
        if not os.path.isfile(local):
            self.send_error(404, "File not found")
            return
        size = os.path.getsize(local)
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

    def copyfile(self, source, outputfile):
        if self.rate > 0:
            return self._copy_slowly(source, outputfile)
        # sendfile keeps the server from being the bottleneck of the benchmark.
        outputfile.flush()
        try:
            self.connection.sendfile(source)
        except (AttributeError, OSError, ValueError):
            shutil.copyfileobj(source, outputfile)

    def _copy_slowly(self, source, outputfile):
        import time

        chunk = max(1, self.rate // 10)
        try:
            for block in iter(lambda: source.read(chunk), b""):
                outputfile.write(block)
                outputfile.flush()
                time.sleep(0.1)
        except OSError:
            pass  # the client gave up


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
