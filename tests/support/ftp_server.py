#!/usr/bin/env python3
"""Loopback FTP server for the transfer tests, built on pyftpdlib.

It serves one folder to one account and writes the port it listens on to a file
once it accepts connections. A few names make it misbehave the way real update
servers sometimes do, so the clients' handling of that can be tested:

  short-*    the listing shows the full size, but a retrieval ends (cleanly, with
             "226") after half of the file
  broken-*   a retrieval fails after half of the file ("426 ... transfer aborted")
  stall-*    a retrieval sends half of the file, then trickles one byte every
             fifth of a second (the server waits meanwhile, as one stuck server
             would)
  cutonce-*  the first retrieval fails after half of the file; later ones (with
             REST or without) deliver the rest. Every retrieval that starts
             past the first byte adds "NAME OFFSET" to ".rest-log" beside it
  .long-name in a folder adds an entry with a 300-byte name to its listing

With --dos-listing, LIST answers in the DOS style some Windows servers use
instead of the Unix "ls -l" style; with --rate, transfers are slowed down.
"""
import argparse
import errno
import os
import sys
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

LONG_NAME_MARKER = ".long-name"
LONG_NAME = "L" * 296 + ".bin"


class ServedFile:
    """A file opened for a retrieval; subclasses shape what read() delivers."""

    def __init__(self, path):
        self._file = open(path, "rb")
        self.name = path
        self.closed = False

    def seek(self, offset, whence=0):
        return self._file.seek(offset, whence)

    def close(self):
        self.closed = True
        self._file.close()


class HalfFile(ServedFile):
    """Delivers the first half of a file, then either ends or fails."""

    def __init__(self, path, fail):
        super().__init__(path)
        self._left = os.path.getsize(path) // 2
        self._fail = fail

    def read(self, size=-1):
        if self._left <= 0:
            if self._fail:
                raise OSError(errno.EIO, "simulated read failure")
            return b""
        if size < 0 or size > self._left:
            size = self._left
        data = self._file.read(size)
        self._left -= len(data)
        return data


class CutOnceFile(ServedFile):
    """Fails its first retrieval after half of the file (a marker beside it
    remembers that it did); delivers the whole file, or the rest after REST,
    from then on."""

    def __init__(self, path):
        super().__init__(path)
        marker = path + ".was-cut"
        self._left = os.path.getsize(path) // 2 if not os.path.exists(marker) else None
        if self._left is not None:
            open(marker, "w").close()

    def seek(self, offset, whence=0):
        if offset > 0:
            with open(os.path.join(os.path.dirname(self.name), ".rest-log"), "a") as log:
                log.write("%s %d\n" % (os.path.basename(self.name), offset))
        return super().seek(offset, whence)

    def read(self, size=-1):
        if self._left is None:
            return self._file.read(size)
        if self._left <= 0:
            raise OSError(errno.EIO, "simulated cut")
        if size < 0 or size > self._left:
            size = self._left
        data = self._file.read(size)
        self._left -= len(data)
        return data


class SlowFile(ServedFile):
    """Delivers a file at no more than `rate` bytes a second, so that a transfer
    can be watched and stopped in its middle. (pyftpdlib's own throttling stops
    working for the next transfer once a client has broken one off.)"""

    def __init__(self, path, rate):
        super().__init__(path)
        self._rate = rate

    def read(self, size=-1):
        if size < 0 or size > self._rate // 10:
            size = max(1, self._rate // 10)
        data = self._file.read(size)
        if data:
            time.sleep(len(data) / self._rate)
        return data


class TricklingFile(HalfFile):
    """Delivers the first half of a file at once, then a byte at a time."""

    def __init__(self, path):
        super().__init__(path, False)
        self._trickle = os.path.getsize(path) - self._left

    def read(self, size=-1):
        if self._left > 0:
            return super().read(size)
        if self._trickle <= 0:
            return b""
        time.sleep(0.2)
        self._trickle -= 1
        return self._file.read(1)


class TestFS(AbstractedFS):
    dos_listing = False
    rate = 0  # bytes a second for retrievals; 0 sends at full speed

    def listdir(self, path):
        names = [n for n in super().listdir(path) if n != LONG_NAME_MARKER]
        if os.path.exists(os.path.join(path, LONG_NAME_MARKER)):
            names.append(LONG_NAME)
        return names

    def _real(self, path):
        if os.path.basename(path) == LONG_NAME:
            return os.path.join(os.path.dirname(path), LONG_NAME_MARKER)
        return path

    def lstat(self, path):
        return super().lstat(self._real(path))

    def stat(self, path):
        return super().stat(self._real(path))

    def open(self, filename, mode):
        base = os.path.basename(filename)
        if "r" in mode and (base.startswith("short-") or base.startswith("broken-")):
            return HalfFile(filename, base.startswith("broken-"))
        if "r" in mode and base.startswith("cutonce-"):
            return CutOnceFile(filename)
        if "r" in mode and base.startswith("stall-"):
            return TricklingFile(filename)
        if "r" in mode and self.rate > 0:
            return SlowFile(self._real(filename), self.rate)
        return super().open(self._real(filename), mode)

    def format_list(self, basedir, listing, ignore_err=True):
        if not self.dos_listing:
            yield from super().format_list(basedir, listing, ignore_err)
            return
        for name in listing:
            try:
                st = self.lstat(os.path.join(basedir, name))
            except OSError:
                if ignore_err:
                    continue
                raise
            stamp = time.strftime("%m-%d-%y  %I:%M%p", time.localtime(st.st_mtime))
            if os.path.isdir(os.path.join(basedir, name)):
                line = "%s       <DIR>          %s\r\n" % (stamp, name)
            else:
                line = "%s %20d %s\r\n" % (stamp, st.st_size, name)
            yield line.encode("utf8", self.cmd_channel.unicode_errors)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--dos-listing", action="store_true")
    parser.add_argument("--rate", type=int, default=0,
                        help="send at most this many bytes a second per transfer")
    args = parser.parse_args()

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmw")
    TestFS.dos_listing = args.dos_listing
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.abstracted_fs = TestFS
    handler.use_sendfile = False  # the half-file wrappers have no descriptor to send
    handler.permit_foreign_addresses = False
    handler.banner = "loopback test server ready"
    handler.auth_failed_timeout = 0.1  # keeps the log-in failure tests quick
    # Update servers hold names in the game's code page (the launcher's own file
    # name among them), not UTF-8: pass such names through byte for byte.
    handler.unicode_errors = "surrogateescape"
    TestFS.rate = args.rate

    import logging
    logging.basicConfig(level=logging.WARNING, stream=sys.stderr)
    server = FTPServer(("127.0.0.1", args.port), handler)
    port = server.socket.getsockname()[1]
    temp = args.port_file + ".tmp"
    with open(temp, "w") as f:
        f.write("%d\n" % port)
    os.replace(temp, args.port_file)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
