#!/usr/bin/env python3
"""Soak run: the headless player for a long time, watched from outside.

The player runs on generated contents with a looping camera stand-in (a video that
--camera-retry reopens whenever it ends) and a scripted input that cycles through folder
changes, steps, random selections, the camera on and off and parameter writes. Every 10 s the
resident memory and the open file descriptors of the process are sampled; at the end the first,
largest and last values and the slope after the first minute are printed. Memory and
descriptors must stay flat.

    bench/soak.py [--minutes 10] [--build build]      (24 h: --minutes 1440)
"""
import argparse
import os
import pathlib
import subprocess
import sys
import tempfile
import time

CYCLE = """key x
key x
key x
idle 50
sleep 200
key n
idle 50
key J
sleep 200
key j
idle 50
key +
sleep 200
key 1
key q
idle 100
sleep 400
key q
idle 20
key ;
sleep 200
key X
key z
sleep 200
"""
CYCLE_SECONDS = 2.0  # the sleeps of one cycle, about


def sample(pid):
    rss = 0
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                rss = int(line.split()[1])
    fds = len(os.listdir(f"/proc/{pid}/fd"))
    return rss, fds


def slope(points):
    """Least-squares slope of (t, v) in v per minute."""
    if len(points) < 2:
        return 0.0
    n = len(points)
    mt = sum(t for t, _ in points) / n
    mv = sum(v for _, v in points) / n
    var = sum((t - mt) ** 2 for t, _ in points)
    if var == 0:
        return 0.0
    return sum((t - mt) * (v - mv) for t, v in points) / var * 60.0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--minutes", type=float, default=10.0)
    parser.add_argument("--build", default="build")
    parser.add_argument("--interval", type=float, default=10.0)
    args = parser.parse_args()
    build = pathlib.Path(args.build).resolve()
    player, make_demo = build / "kalvento", build / "kalvento_make_demo"
    with tempfile.TemporaryDirectory(prefix="kalvento_soak_") as root:
        subprocess.run([str(make_demo), "--root", root, "--folders", "3", "--clips", "120",
                        "--size", "640x480", "--video", f"{root}/camera.avi"],
                       check=True, stdout=subprocess.DEVNULL)
        work = pathlib.Path(root) / "work"
        work.mkdir()
        cycles = int(args.minutes * 60 / CYCLE_SECONDS) + 1
        (work / "input.txt").write_text(CYCLE * cycles)
        shm = f"kalvento_soak_{os.getpid()}"
        command = [str(player), "--headless", "--input", "input.txt", "--shm-name", shm,
                   "--camera-source", f"{root}/camera.avi", "--camera-source-unpaced", "--camera-retry", "1", "--seed", "1"]
        start = time.monotonic()
        process = subprocess.Popen(command, cwd=work, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.PIPE)
        samples = []
        deadline = start + args.minutes * 60
        while process.poll() is None and time.monotonic() < deadline:
            time.sleep(args.interval)
            try:
                rss, fds = sample(process.pid)
            except (FileNotFoundError, ProcessLookupError):
                break
            t = time.monotonic() - start
            samples.append((t, rss, fds))
            print(f"{t:8.0f} s  RSS {rss / 1024:8.1f} MB  fds {fds}", flush=True)
        if process.poll() is None:
            process.terminate()
        process.wait()
        try:
            os.unlink(f"/dev/shm/{shm}")
        except FileNotFoundError:
            pass
    if not samples:
        print("no samples: the player ended at once", file=sys.stderr)
        return 1
    settled = [s for s in samples if s[0] >= 60] or samples
    rss_slope = slope([(t, r) for t, r, _ in settled])
    fd_slope = slope([(t, f) for t, _, f in settled])
    rss = [r for _, r, _ in samples]
    fds = [f for _, _, f in samples]
    print(f"RSS (MB): first {rss[0] / 1024:.1f}  largest {max(rss) / 1024:.1f}  "
          f"last {rss[-1] / 1024:.1f}  slope after the first minute {rss_slope / 1024:+.3f} MB/min")
    print(f"file descriptors: first {fds[0]}  largest {max(fds)}  last {fds[-1]}  "
          f"slope {fd_slope:+.3f} /min")
    # Flat: less than 1 MB per minute of growth, and no descriptor left open per cycle.
    flat = rss_slope < 1024 and fds[-1] <= fds[0] + 2
    print("flat" if flat else "GROWING")
    return 0 if flat else 1


if __name__ == "__main__":
    sys.exit(main())
