#!/usr/bin/env python3
"""Soak run: the player with everything a room gives it at once, for a given number of turns.

The player runs on generated contents with a looping camera video (--camera-retry reopens it
whenever it ends), the on-screen display at level 3 in a window under Xvfb (--no-display: a
headless run), keys from a script (steps, folder changes, the help page, i, F1, pause and
resume, the camera off and on, random clips), OSC sent and received (key messages and garbage
datagrams to its port, its motion messages read back), and the web remote with its page open in
headless Chromium and a client that polls frame.jpg and camera.jpg.

Every --interval seconds (60) it samples the resident memory, the open descriptors, the threads
and the turns (the web status counts them) and prints a line. It ends after --turns turns (or
--minutes), quits the player with ESC ESC through the web remote, and gives a verdict: memory
and descriptors flat (growth over the last hour, or the last half of a shorter run, under 2 %:
the least of the last quarter of that span against the least of its first quarter),
no more threads at the end than after the first minute, no sanitizer report on the error
stream.

    bench/soak.py --build build-release --turns 5000000        (a kiosk's day at 60 turns/s)
    bench/soak.py --build build-asan --minutes 60
    bench/soak.py --build build-release --minutes 3            (a quick check)
"""
import argparse
import json
import os
import pathlib
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time
import urllib.error
import urllib.request

# Idle reads, not sleeps, between the keys: a sleep of the script holds the loop, an idle read
# is a turn. Headless and unpaced a cycle is a few seconds; in a window it takes longer.
CYCLE = """key x
key x
key x
idle 300
key n
idle 300
key J
idle 300
key i
idle 300
key code 17
idle 300
key ENTER
idle 100
key 1
key q
idle 300
key q
idle 100
key ESC
idle 20
key ENTER
idle 300
key p
key X
key z
idle 300
"""
CYCLE_TURNS = 2730  # the idle reads and keys of one cycle, about
SANITIZER_WORDS = ("ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:",
                   "WARNING: ThreadSanitizer")


def free_port(kind=socket.SOCK_STREAM):
    with socket.socket(socket.AF_INET, kind) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def osc_message(path, tag, value):
    """One OSC message with one argument ('s' text or 'i' integer)."""
    def padded(data):
        return data + b"\0" * (4 - len(data) % 4)
    body = padded(path.encode()) + padded(("," + tag).encode())
    body += padded(value.encode()) if tag == "s" else struct.pack(">i", value)
    return body


class Room:
    """The outside world's threads: OSC in and out, the picture poller. Counts what they did."""

    def __init__(self, osc_in, osc_out, web):
        self.stop = threading.Event()
        self.counts = {"osc sent": 0, "osc received": 0, "pictures": 0, "picture errors": 0}
        self.osc_in, self.osc_out, self.web = osc_in, osc_out, web
        self.threads = [threading.Thread(target=f, daemon=True)
                        for f in (self.send_osc, self.receive_osc, self.poll_pictures)]

    def start(self):
        for thread in self.threads:
            thread.start()

    def send_osc(self):
        out = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        garbage = [b"\xff" * 7, b"/kalvento/key\0\0\0,s\0\0", b"#bundle\0" + b"\x00" * 5,
                   osc_message("/kalvento/key", "i", 9999), osc_message("/nothing", "s", "x")]
        i = 0
        while not self.stop.wait(0.25):
            datagram = (osc_message("/kalvento/key", "s", "zx"[i % 2]) if i % 3
                        else garbage[i % len(garbage)])
            out.sendto(datagram, ("127.0.0.1", self.osc_in))
            self.counts["osc sent"] += 1
            i += 1

    def receive_osc(self):
        listen = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        listen.bind(("127.0.0.1", self.osc_out))
        listen.settimeout(0.5)
        while not self.stop.is_set():
            try:
                listen.recv(65536)
                self.counts["osc received"] += 1
            except socket.timeout:
                pass

    def poll_pictures(self):
        while not self.stop.wait(1.0):
            for name in ("frame.jpg", "camera.jpg"):
                try:
                    with urllib.request.urlopen(f"{self.web}/api/v1/{name}", timeout=5) as r:
                        r.read()
                    self.counts["pictures"] += 1
                except urllib.error.HTTPError as error:  # camera.jpg: 404 while the camera is off
                    key = "camera off (404)" if error.code == 404 else f"picture {error.code}"
                    self.counts[key] = self.counts.get(key, 0) + 1
                except OSError:  # no answer within 5 s
                    self.counts["picture errors"] += 1


def status(web):
    try:
        with urllib.request.urlopen(f"{web}/api/v1/status", timeout=5) as answer:
            return json.load(answer)
    except Exception:
        return None


def post_key(web, key):
    request = urllib.request.Request(f"{web}/api/v1/key", data=json.dumps({"key": key}).encode(),
                                     headers={"Content-Type": "application/json"})
    try:
        urllib.request.urlopen(request, timeout=5).read()
    except Exception:
        pass


def sample(pid):
    values = {}
    with open(f"/proc/{pid}/status") as lines:
        for line in lines:
            key, _, rest = line.partition(":")
            if key in ("VmRSS", "Threads"):
                values[key] = int(rest.split()[0])
    if "VmRSS" not in values:  # the player has ended and waits to be reaped
        raise ProcessLookupError(pid)
    return values["VmRSS"], len(os.listdir(f"/proc/{pid}/fd")), values["Threads"]


def growth(samples, index):
    """Relative growth of column `index` over the last hour (the last half when shorter): the
    least value of the window's last quarter against the least of its first quarter. A leak
    raises that floor; a socket or a buffer held for a moment at one sample does not (the
    descriptors of a healthy player come and go between 7 and 16 with the web clients)."""
    end = samples[-1][0]
    window = [s for s in samples if s[0] >= end - 3600]
    if end < 7200:
        window = samples[len(samples) // 2:]
    quarter = max(1, len(window) // 4)
    first = min(s[index] for s in window[:quarter])
    last = min(s[index] for s in window[-quarter:])
    return (last - first) / max(first, 1)


def start_player(args, root, work, ports):
    osc_in, osc_out, http = ports
    command = [str(pathlib.Path(args.build).resolve() / "kalvento"), "--input", "input.txt",
               "--shm-name", f"kalvento_soak_{os.getpid()}", "--camera-source",
               f"{root}/camera.avi", "--camera-on", "--camera-retry", "1", "--seed", "1",
               "--osc-listen", f"127.0.0.1:{osc_in}", "--osc-send", f"127.0.0.1:{osc_out}",
               "--osc-keys", "default", "--http", f"127.0.0.1:{http}",
               "--http-keys", "default,ESC,F1", "--osd", "3"]
    if args.display:
        command = ["xvfb-run", "-a", "-s", "-screen 0 1280x800x24"] + command
    else:
        command += ["--headless", "--camera-source-unpaced"]
    # A sanitizer build keeps leak detection on, with the tests' suppressions (libraries that
    # keep one allocation for the life of the process).
    supp = pathlib.Path(__file__).resolve().parent.parent / "tests" / "lsan.supp"
    env = dict(os.environ)
    env.setdefault("LSAN_OPTIONS", f"suppressions={supp}:print_suppressions=0")
    return subprocess.Popen(command, cwd=work, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                            start_new_session=True, env=env)


def player_pid(process):
    """The player itself, under xvfb-run when there is a display."""
    for _ in range(100):
        for entry in pathlib.Path("/proc").iterdir():
            try:
                if (entry / "cmdline").read_bytes().split(b"\0")[0].endswith(b"/kalvento") and \
                        os.getsid(int(entry.name)) == process.pid:
                    return int(entry.name)
            except (OSError, ValueError):
                continue
        time.sleep(0.1)
    return process.pid


def open_browser(web, profile):
    for name in ("chromium", "chromium-browser", "google-chrome"):
        if shutil.which(name):
            return subprocess.Popen([name, "--headless", "--no-sandbox", "--disable-gpu",
                                     f"--user-data-dir={profile}",
                                     "--remote-debugging-port=0", web + "/"],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                    start_new_session=True)
    print("no Chromium: the page is not opened", file=sys.stderr)
    return None


def end_group(process):
    """Ends `process` and every process it started in its session (Chromium's helpers keep
    writing its profile after the browser itself has gone, so the scratch folder would not be
    empty when it is removed): SIGTERM, up to 10 s to end, then SIGKILL to what is left."""
    try:
        os.killpg(process.pid, signal.SIGTERM)
        process.wait(timeout=10)
    except (ProcessLookupError, subprocess.TimeoutExpired):
        pass
    time.sleep(0.5)  # helpers of the group that outlive their leader by a moment
    try:
        os.killpg(process.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    process.wait()


def run(args, root):
    subprocess.run([str(pathlib.Path(args.build).resolve() / "kalvento_make_demo"), "--root", root,
                    "--folders", "3", "--clips", "120", "--size", "640x480", "--video",
                    f"{root}/camera.avi"], check=True, stdout=subprocess.DEVNULL)
    work = pathlib.Path(root) / "work"
    work.mkdir()
    # Enough cycles for the turns asked for (or an hour at a thousand turns a second); the
    # window takes over when the script ends in a run with a display.
    # A cycle may take fewer turns than CYCLE_TURNS (keys that end an idle read early), and a
    # player whose script ends stops: twice as many cycles, the soak ends the player itself.
    cycles = 2 * (args.turns or 3600 * 1000 * max(1.0, args.minutes / 60)) // CYCLE_TURNS + 2
    (work / "input.txt").write_text(CYCLE * int(cycles))
    ports = (free_port(socket.SOCK_DGRAM), free_port(socket.SOCK_DGRAM), free_port())
    web = f"http://127.0.0.1:{ports[2]}"
    room = Room(ports[0], ports[1], web)
    room.start()
    process = start_player(args, root, work, ports)
    errors = []
    reader = threading.Thread(target=lambda: errors.extend(process.stderr), daemon=True)
    reader.start()
    for _ in range(600):
        if status(web) is not None or process.poll() is not None:
            break
        time.sleep(0.1)
    pid = player_pid(process)
    browser = open_browser(web, f"{root}/chromium")
    start = time.monotonic()
    samples = []
    deadline = start + args.minutes * 60 if args.minutes else float("inf")
    turns = 0
    while process.poll() is None and time.monotonic() < deadline and \
            (not args.turns or turns < args.turns):
        time.sleep(min(args.interval, max(0.1, deadline - time.monotonic())))
        s = status(web)
        try:
            rss, fds, threads = sample(pid)
        except (FileNotFoundError, ProcessLookupError):
            break
        turns = s["turns"] if s else turns
        rate = s["turnsPerSecond"] if s else 0.0
        t = time.monotonic() - start
        samples.append((t, rss, fds, threads, turns))
        print(f"{t:8.0f} s  turns {turns:10d} ({rate:7.1f}/s)  RSS {rss / 1024:8.1f} MB  "
              f"fds {fds:4d}  threads {threads:3d}  {room.counts}", flush=True)
    try:
        # ESC pauses and a second ESC quits; the script's own keys may come between, so again.
        for _ in range(20):
            post_key(web, "ESC")
            time.sleep(0.3)
            post_key(web, "ESC")
            if process.poll() is not None:
                break
            time.sleep(1.0)
        process.wait(timeout=30)
    except subprocess.TimeoutExpired:
        end_group(process)
    room.stop.set()
    if browser:
        end_group(browser)
    reader.join(timeout=5)
    try:
        os.unlink(f"/dev/shm/kalvento_soak_{os.getpid()}")
    except FileNotFoundError:
        pass
    return samples, [line.decode(errors="replace") for line in errors], process.returncode


def verdict(samples, errors, status_code):
    if len(samples) < 2:
        print("too few samples: the player ended early", file=sys.stderr)
        print("".join(errors[-20:]), file=sys.stderr)
        return 1
    t, turns = samples[-1][0], samples[-1][4]
    settled = [s for s in samples if s[0] >= 60] or samples
    rss_growth, fd_growth = growth(samples, 1), growth(samples, 2)
    reports = [line for line in errors if any(word in line for word in SANITIZER_WORDS)]
    print(f"turns {turns} in {t / 3600:.2f} h ({turns / max(t, 1):.1f}/s)")
    print(f"RSS (MB): start {samples[0][1] / 1024:.1f}  largest {max(s[1] for s in samples) / 1024:.1f}"
          f"  end {samples[-1][1] / 1024:.1f}  growth of the floor {rss_growth * 100:+.2f} %")
    print(f"descriptors: start {samples[0][2]}  largest {max(s[2] for s in samples)}  "
          f"end {samples[-1][2]}  growth of the floor {fd_growth * 100:+.2f} %")
    # A thread that comes and goes (the camera's reopening) is no growth: the fewest of the last
    # quarter count.
    threads_end = min(s[3] for s in samples[len(samples) * 3 // 4:])
    print(f"threads: after the first minute {settled[0][3]}  end {samples[-1][3]}  "
          f"fewest in the last quarter {threads_end}")
    print(f"sanitizer reports: {len(reports)}; exit status {status_code}")
    # The first report whole (its stacks name the leak or the fault), then the summaries.
    if reports:
        first = errors.index(reports[0])
        for line in errors[first:first + 80]:
            print("  " + line.rstrip())
    for line in errors:
        if line.startswith("SUMMARY:"):
            print("  " + line.rstrip())
    flat = rss_growth < 0.02 and fd_growth < 0.02 and threads_end <= settled[0][3] and \
        not reports
    print("verdict: flat" if flat else "verdict: GROWING or broken")
    return 0 if flat else 1


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    parser.add_argument("--turns", type=int, default=0, help="stop after this many turns")
    parser.add_argument("--minutes", type=float, default=0.0, help="stop after this long")
    parser.add_argument("--interval", type=float, default=60.0, help="seconds between samples")
    parser.add_argument("--no-display", dest="display", action="store_false",
                        help="headless and unpaced: no window, no on-screen display")
    args = parser.parse_args()
    if not args.turns and not args.minutes:
        args.minutes = 10.0
    if args.display and not shutil.which("xvfb-run"):
        print("no xvfb-run: running headless", file=sys.stderr)
        args.display = False
    # The scratch folder goes whatever is left in it: a failed removal must not hide the verdict.
    with tempfile.TemporaryDirectory(prefix="kalvento_soak_", ignore_cleanup_errors=True) as root:
        samples, errors, code = run(args, root)
    result = verdict(samples, errors, code)
    if args.turns and samples and samples[-1][4] < args.turns:
        print(f"the player ended after {samples[-1][4]} of the {args.turns} turns asked for")
        return 1
    return result


if __name__ == "__main__":
    sys.exit(main())
