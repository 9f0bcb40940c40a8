#!/usr/bin/env python3
"""The player's turn rate with its web remote idle, under a flood of broken requests, and with
a page open (status ten times a second over the WebSocket, both previews twice a second).

usage: web_load.py --player BIN --make-demo BIN [--seconds S] [--requests N] [--size WxH]

The player runs headless on a folder of clips, stepping forward and back through them one clip
a turn (scripted x and z keys), so every turn shows another clip, and reports its turns per
second in the status. Each phase samples that rate
for S seconds (default 10) and prints the median (the idle rate: the mean of a phase before
and one after the others); the flood sends N (default 1000) broken
requests (bad JSON, bodies over the limit, unknown paths, broken WebSocket frames, a TLS hello)
spread evenly over S seconds (sent at once they take well under a second, too short for the
player's turn rate to be sampled), and its rate is sampled while the flood lasts. The rates under load should stay within 10 % (flood) and 5 % (page)
of the idle one.
"""
import argparse
import base64
import json
import os
import socket
import statistics
import subprocess
import tempfile
import threading
import time
import urllib.request


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def raw(port, data, timeout=2.0):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
            s.sendall(data)
            s.shutdown(socket.SHUT_WR)
            while s.recv(4096):
                pass
    except OSError:
        pass


def broken(i, port):
    host = f"Host: 127.0.0.1:{port}\r\n".encode()
    kinds = [
        b"POST /api/v1/key HTTP/1.1\r\n" + host + b"Content-Length: 9\r\n\r\n{\"key\":x}",
        b"POST /api/v1/key HTTP/1.1\r\n" + host + b"Content-Length: 100000\r\n\r\n" + b"{" * 20000,
        b"GET /nothing/here HTTP/1.1\r\n" + host + b"\r\n",
        b"GET /api/v1/ws HTTP/1.1\r\n" + host + b"Upgrade: websocket\r\nConnection: Upgrade\r\n"
        b"Sec-WebSocket-Version: 13\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n\x81\xff\xff\xff",
        b"\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03 hello\r\n\r\n",
    ]
    return kinds[i % len(kinds)]


def status(base):
    with urllib.request.urlopen(base + "/api/v1/status", timeout=5) as answer:
        return json.load(answer)


def sample(base, seconds, busy=None):
    """The median turn rate over `seconds`, or while the thread `busy` runs (one sample at least)."""
    rates, end = [], time.time() + seconds
    while (busy.is_alive() if busy else time.time() < end) or not rates:
        rates.append(status(base)["turnsPerSecond"])
        time.sleep(0.25)
    return statistics.median(rates)


class Page:
    """What an open page asks: a WebSocket read continuously, the previews twice a second."""

    def __init__(self, base, port):
        self.stop = False
        self.threads = [threading.Thread(target=self.live, args=(port,)),
                        threading.Thread(target=self.pictures, args=(base,))]
        for t in self.threads:
            t.start()

    def live(self, port):
        key = base64.b64encode(os.urandom(16)).decode()
        with socket.create_connection(("127.0.0.1", port)) as s:
            s.sendall((f"GET /api/v1/ws HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\nUpgrade: websocket\r\n"
                       f"Connection: Upgrade\r\nSec-WebSocket-Version: 13\r\nSec-WebSocket-Key: {key}\r\n\r\n").encode())
            s.settimeout(1.0)
            while not self.stop:
                try:
                    s.recv(65536)
                except socket.timeout:
                    pass

    def pictures(self, base):
        while not self.stop:
            for name in ("frame.jpg", "camera.jpg"):
                try:
                    urllib.request.urlopen(base + "/api/v1/" + name, timeout=5).read()
                except OSError:
                    pass
            time.sleep(0.5)

    def close(self):
        self.stop = True
        for t in self.threads:
            t.join()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--player", required=True)
    parser.add_argument("--make-demo", required=True)
    parser.add_argument("--seconds", type=float, default=10)
    parser.add_argument("--requests", type=int, default=1000)
    parser.add_argument("--size", default="1920x1080")
    args = parser.parse_args()
    args.player, args.make_demo = os.path.abspath(args.player), os.path.abspath(args.make_demo)
    port = free_port()
    base = f"http://127.0.0.1:{port}"
    with tempfile.TemporaryDirectory() as root:
        subprocess.run([args.make_demo, "--root", root, "--folders", "1", "--clips", "120", "--size", args.size],
                       check=True, stdout=subprocess.DEVNULL)
        work = os.path.join(root, "work")
        os.makedirs(work)
        script = os.path.join(work, "input.txt")
        with open(script, "w") as f:
            f.write(("key x\n" * 119 + "key z\n" * 119) * 400)
        player = subprocess.Popen([args.player, "--headless", "--input", script, "--http", str(port)],
                                  cwd=work, stdout=subprocess.DEVNULL)
        for _ in range(300):
            try:
                status(base)
                break
            except OSError:
                time.sleep(0.1)
        time.sleep(2)
        idle = sample(base, args.seconds)
        sent = [0]

        def flood_rounds():
            os.nice(19)  # the sender stands for another machine: it takes no turn from the player
            begin = time.time()
            for i in range(args.requests):
                time.sleep(max(0.0, begin + i * args.seconds / args.requests - time.time()))
                raw(port, broken(i, port))
                sent[0] += 1

        flood = threading.Thread(target=flood_rounds)
        start = time.time()
        flood.start()
        flooded = sample(base, args.seconds, busy=flood)
        flood.join()
        running_after_flood = player.poll() is None
        flood_time = time.time() - start
        page = Page(base, port)
        watched = sample(base, args.seconds)
        page.close()
        idle = (idle + sample(base, args.seconds)) / 2  # before and after, for the drift
        alive = status(base)
        player.terminate()  # the script would go on for long; its keys come before remote ones
        player.wait(timeout=60)
    print(f"idle:    {idle:8.1f} turns/s")
    print(f"flood:   {flooded:8.1f} turns/s ({flooded / idle * 100:5.1f} %, want >= 90 %), "
          f"{sent[0]} broken requests in {flood_time:.1f} s")
    print(f"running after the flood: {'yes' if running_after_flood else 'NO'}")
    print(f"page:    {watched:8.1f} turns/s ({watched / idle * 100:5.1f} %, want >= 95 %)")
    print(f"refused: {json.dumps(alive['http'])}")


if __name__ == "__main__":
    main()
