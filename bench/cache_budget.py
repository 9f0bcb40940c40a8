#!/usr/bin/env python3
"""The clip image cache under its memory budget.

A folder of 3000 1920x1080 clips (one JPEG that a frame data file lists 3000 times, so the
disk holds one file) is played through with CamOnMemory 5400, which would keep every decoded
clip (6 MB each, 18 GB in all). With --cache-budget the cache is flushed before it passes the
budget; the peak resident memory of the player is printed for a few budgets.

    bench/cache_budget.py [--build build] [--clips 3000]
"""
import argparse
import os
import pathlib
import resource
import struct
import subprocess
import sys
import tempfile

RECORD = 756
TABLE = 22000


def frame_data(path, clips):
    record = struct.pack("<i", 0) + path.encode().ljust(250, b"\0") + b"\0" * 502
    assert len(record) == RECORD
    return record * clips + b"\0" * (RECORD * (TABLE - clips)) + f"{clips}\n".encode()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    parser.add_argument("--clips", type=int, default=3000)
    args = parser.parse_args()
    build = pathlib.Path(args.build).resolve()
    failures = 0
    with tempfile.TemporaryDirectory(prefix="kalvento_cache_") as root:
        subprocess.run([str(build / "kalvento_make_demo"), "--root", root, "--folders", "1",
                        "--clips", "1", "--size", "1920x1080"], check=True,
                       stdout=subprocess.DEVNULL)
        work = pathlib.Path(root) / "work"
        work.mkdir()
        (work / "frame_data0001.dat").write_bytes(frame_data("../S001/clip_00000.jpg", args.clips))
        (work / "SetCamera3.txt").write_text("1 1 3 5400 0\n")
        (work / "input.txt").write_text("key x\n" * args.clips)
        for budget in (256, 512, 1024):
            before = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
            subprocess.run([str(build / "kalvento"), "--headless", "--input", "input.txt",
                            "--cache-budget", str(budget), "--shm-name",
                            f"kalvento_cache_{os.getpid()}"],
                           cwd=work, check=True, stdout=subprocess.DEVNULL)
            peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
            # ru_maxrss of the children is the largest of them all so far: budgets go up.
            peak_mb = max(peak, before) / 1024
            ok = peak_mb < budget + 200
            failures += 0 if ok else 1
            print(f"{args.clips} clips of 1920x1080, CamOnMemory 5400, budget {budget:5d} MB: "
                  f"peak RSS {peak_mb:7.1f} MB {'(under budget + 200 MB)' if ok else 'OVER'}")
        try:
            os.unlink(f"/dev/shm/kalvento_cache_{os.getpid()}")
        except FileNotFoundError:
            pass
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
