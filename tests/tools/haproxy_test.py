#!/usr/bin/env python3
"""Two tarnvale-connect-server instances behind HAProxy in TCP mode, started from
docs/servers/haproxy.cfg with free ports put in: launchers are answered through
it, each instance sees the players' own addresses in the PROXY header, and
answers keep coming while one instance reloads and after the other has stopped.

    haproxy_test.py SERVER_TOOL HAPROXY_CFG
"""
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

tool, cfg_path = sys.argv[1], sys.argv[2]
# Debian puts it in /usr/sbin, which is not on every user's PATH.
haproxy_bin = shutil.which("haproxy") or "/usr/sbin/haproxy"
work = tempfile.mkdtemp(prefix="tarnvale-haproxy-")
processes = []


def fail(what):
    print("FAIL: " + what)
    sys.exit(1)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def write_config(path, name):
    with open(path, "w") as f:
        f.write("[server]\nanswer = up-to-date\nproxy_protocol = yes\nidle_close = 0\n"
                "[partition 1]\nname = %s\naddress = 127.0.0.1\nport = 55901\n" % name)


def start_instance(index):
    config = os.path.join(work, "connect%d.conf" % index)
    log = os.path.join(work, "connect%d.log" % index)
    write_config(config, "One")
    p = subprocess.Popen([tool, "--bind", "127.0.0.1", "--port", "0", config],
                         stdout=subprocess.PIPE, stderr=open(log, "w"), text=True)
    processes.append(p)
    return p, int(p.stdout.readline()), config, log


def read_log(path):
    with open(path, errors="replace") as f:
        return f.read()


def wait_for(predicate, seconds=5):
    end = time.time() + seconds
    while time.time() < end:
        if predicate():
            return True
        time.sleep(0.05)
    return False


class Launcher:
    """The launcher's side of the exchange, as a launcher sends it."""

    def __init__(self, port):
        self.s = socket.create_connection(("127.0.0.1", port), timeout=5)
        self.data = b""
        self.local_port = self.s.getsockname()[1]
        welcome = self.packet()
        if welcome[2] != 0 or welcome[3] != 1:
            raise RuntimeError("no Welcome: %r" % welcome)

    def packet(self):
        while True:
            if len(self.data) >= 3:
                size = self.data[1] if self.data[0] == 0xC1 else self.data[1] << 8 | self.data[2]
                if len(self.data) >= size:
                    p, self.data = self.data[:size], self.data[size:]
                    return p
            chunk = self.s.recv(4096)
            if not chunk:
                raise RuntimeError("closed before the answer")
            self.data += chunk

    def ask(self):
        """Sends the two requests; returns partition 1's name once up to date."""
        self.s.sendall(bytes([0xC1, 3, 9, 0xC1, 6, 4, 1, 0, 0]))
        names = self.packet()
        answer = self.packet()
        self.s.close()
        if names[3] != 9 or answer[2] != 2:
            raise RuntimeError("unexpected packets %r %r" % (names[:4], answer[:3]))
        return names[4:36].rstrip(b"\0").decode()


def many_launchers(port, count):
    """Runs `count` launchers at once; returns [(local port, name or error)]."""
    results = [None] * count

    def one(i):
        try:
            launcher = Launcher(port)
            results[i] = (launcher.local_port, launcher.ask())
        except Exception as e:  # reported below, with the others
            results[i] = (0, "error: %s" % e)

    threads = [threading.Thread(target=one, args=(i,)) for i in range(count)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    return results


def expect_answered(results, names, what):
    bad = [r for r in results if r[1] not in names]
    if bad:
        fail("%s: %d of %d launchers not answered as expected, e.g. %s"
             % (what, len(bad), len(results), bad[:3]))


try:
    one, port1, config1, log1 = start_instance(1)
    two, port2, config2, log2 = start_instance(2)
    front = free_port()
    with open(cfg_path) as f:
        cfg = f.read()
    for old, new in (("bind :44405", "bind 127.0.0.1:%d" % front),
                     ("127.0.0.1:44406", "127.0.0.1:%d" % port1),
                     ("127.0.0.1:44407", "127.0.0.1:%d" % port2)):
        if old not in cfg:
            fail("the documented configuration no longer has " + old)
        cfg = cfg.replace(old, new)
    cfg_file = os.path.join(work, "haproxy.cfg")
    with open(cfg_file, "w") as f:
        f.write(cfg)
    check = subprocess.run([haproxy_bin, "-c", "-f", cfg_file], capture_output=True, text=True)
    if check.returncode != 0:
        fail("haproxy refuses the documented configuration:\n" + check.stdout + check.stderr)
    haproxy = subprocess.Popen([haproxy_bin, "-db", "-f", cfg_file],
                               stdout=subprocess.DEVNULL, stderr=open(os.path.join(work, "haproxy.log"), "w"))
    processes.append(haproxy)

    def accepting():
        try:
            socket.create_connection(("127.0.0.1", front), timeout=1).close()
            return True
        except OSError:
            return False
    if not wait_for(accepting):
        fail("haproxy does not listen")

    # Through HAProxy to both instances, each seeing the launcher's own address.
    results = many_launchers(front, 20)
    expect_answered(results, {"One"}, "through HAProxy")
    logs = read_log(log1) + read_log(log2)
    unseen = [p for p, _ in results if "127.0.0.1:%d reports version 1.0.0" % p not in logs]
    if unseen:
        fail("the instances did not log the launchers' own ports %s" % unseen[:3])
    for log in (log1, log2):
        if "reports version" not in read_log(log):
            fail("one instance got no launcher: " + log)

    # Instance 1 reloads while a launcher is connected to it or its neighbour.
    held = Launcher(front)
    write_config(config1, "One reloaded")
    one.send_signal(signal.SIGHUP)
    if not wait_for(lambda: "reloaded " in read_log(log1)):
        fail("instance 1 did not reload: " + read_log(log1))
    if held.ask() not in ("One", "One reloaded"):
        fail("a connection open across the reload was not answered")
    expect_answered(many_launchers(front, 20), {"One", "One reloaded"}, "after the reload")

    # Instance 2 stops: every launcher is answered by instance 1, newly configured.
    two.send_signal(signal.SIGTERM)
    two.wait(timeout=5)
    expect_answered(many_launchers(front, 20), {"One reloaded"}, "with instance 2 stopped")
    if not re.search(r"status: .* accepted", read_log(log2)):
        fail("instance 2 did not log its counters when it stopped")
    print("HAProxy test passed")
finally:
    for p in processes:
        if p.poll() is None:
            p.terminate()
            try:
                p.wait(timeout=5)
            except subprocess.TimeoutExpired:
                p.kill()
    subprocess.run(["rm", "-rf", work])
