#!/usr/bin/env python3
"""Gesture quality: how well the clip follows a learned motion, the design's judgement and the
follower side by side.

The demo tool makes figure videos (a standing figure; A sweeps the left arm up sideways, B
raises both arms) with the true phase of every frame: a learning video, then recognition videos
of the motions as learned, at half and double speed, half and three quarters of the way,
forward then back, the figure shifted, a smaller figure, camera noise, a change of light and
nobody moving. The real player learns A and B from the learning video (--learn 2), then plays
every recognition video twice, without and with --follow, in a folder of 100 clips. Every
turn's gesture, motion measure and shown clip come over OSC; the turn of the first changed frame
ties turns to frames.

For every video it prints the gesture named, the mean and worst difference between the clip
position and the true phase (in % of the folder, over the frames from the start of the motion
to the end of the video), the turns from the start of the motion to the first clip move (1: the
first motion turn), and the clip moves before anyone moves. Videos are made afresh in a
temporary folder every time.

    bench/gesture_quality.py [--build build] [--keep DIR]
        [--learn-video VIDEO] [--recording VIDEO PHASEFILE ...]

A real recording is a camera video with a phase file in the tool's form: one line
"FRAME GESTURE PHASE" a frame (GESTURE A..H, or - before anyone performs; PHASE 0 rest .. 1
end pose), optionally "# first-change N" (the first frame that differs from the one before).
--learn-video gives the video "kalvento --learn 2" learns from (default: the generated one).
"""
import argparse
import os
import pathlib
import shutil
import socket
import statistics
import struct
import subprocess
import sys
import tempfile

CLIPS = 100
ROOT = pathlib.Path(__file__).resolve().parent.parent


def run(program, args, cwd, timeout=300):
    env = dict(os.environ, OPENCV_VIDEOIO_PRIORITY_GPHOTO2="0")
    env.setdefault("ASAN_OPTIONS", "detect_leaks=0")
    return subprocess.run([str(program)] + args, cwd=cwd, env=env, capture_output=True,
                          text=True, errors="replace", timeout=timeout)


def osc_string(data, pos):
    end = data.index(b"\0", pos)
    text = data[pos:end].decode("utf-8", "replace")
    return text, (end + 4) & ~3


def osc_messages(data):
    """The address and arguments of one OSC datagram (ints and strings only)."""
    address, pos = osc_string(data, 0)
    tags, pos = osc_string(data, pos)
    values = []
    for tag in tags[1:]:
        if tag == "i":
            values.append(struct.unpack(">i", data[pos:pos + 4])[0])
            pos += 4
        elif tag == "s":
            text, pos = osc_string(data, pos)
            values.append(text)
        elif tag == "f":
            values.append(struct.unpack(">f", data[pos:pos + 4])[0])
            pos += 4
    return address, values


def read_phases(path):
    """The true (gesture, phase) of every frame and the first changed frame (None unknown)."""
    truth, first_change = [], None
    for line in pathlib.Path(path).read_text().splitlines():
        words = line.split()
        if not words:
            continue
        if words[0] == "#":
            if len(words) == 3 and words[1] == "first-change":
                first_change = int(words[2])
            continue
        truth.append((words[1], float(words[2])))
    return truth, first_change


class Player:
    """The real player in a working folder next to a contents folder of CLIPS clips."""

    def __init__(self, build, folder):
        self.program = build / "kalvento"
        self.work = folder / "work"
        self.work.mkdir(parents=True, exist_ok=True)
        self.shm = "kalvento_gesture_quality_%d" % os.getpid()

    def script(self, text):
        path = self.work / "input.txt"
        path.write_text(text)
        return str(path)

    def learn(self, video):
        result = run(self.program, ["--headless", "--input", self.script("idle 20\nkey W\n"),
                                    "--shm-name", self.shm, "--camera-source", str(video),
                                    "--camera-source-unpaced", "--learn", "2"], self.work)
        if not (self.work / "DALMO_data-1-4.dat").exists():
            sys.exit("learning failed:\n" + result.stdout[-3000:] + result.stderr[-2000:])
        # The parameter files of every run: the per-turn display (mode 1) on, at clip 0.
        run(self.program, ["--headless", "--input", self.script("key +\n"), "--shm-name",
                           self.shm], self.work)
        lines = (self.work / "qbn_env.dat").read_text().splitlines()
        lines[12] = "1"
        self.parameters = "\n".join(lines) + "\n"

    def play(self, video, frames, follow):
        for name in ("qbn_env.dat", "qbn_env0001.dat"):
            (self.work / name).write_text(self.parameters)
        listener = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 1 << 22)
        listener.bind(("127.0.0.1", 0))
        port = listener.getsockname()[1]
        args = ["--headless", "--input", self.script("idle %d\n" % (frames + 10)), "--shm-name",
                self.shm, "--camera-source", str(video), "--camera-source-unpaced",
                "--gesture", "--osc-send", "127.0.0.1:%d" % port, "--osc-rate", "1000"]
        result = run(self.program, args + (["--follow"] if follow else []), self.work)
        listener.setblocking(False)
        messages = []
        while True:
            try:
                messages.append(osc_messages(listener.recv(65536)))
            except BlockingIOError:
                break
        listener.close()
        return result.stdout, messages


def turns_of(messages):
    """Per turn (one gesture message each): the motion measure and the clip shown after it."""
    turns, clip = [], 0
    for address, values in messages:
        if address == "/kalvento/gesture":
            turns.append({"diff": None, "clip": clip})
        elif address == "/kalvento/motion" and turns:
            turns[-1]["diff"] = values[1]
        elif address == "/kalvento/clip":
            clip = values[1]
            if turns:
                turns[-1]["clip"] = clip
    return turns


def named(stdout, follow):
    """The gesture named last: the follower's line, or the design's line at a motion's end."""
    name = "-"
    for line in stdout.splitlines():
        if follow and "] FOLLOW [" in line:
            name = line.split("FOLLOW [", 1)[1].split("]", 1)[0]
        elif not follow and line.startswith("[") and "]   rv=" in line:
            name = line[1:line.index("]")] or name
    return name


def measure(truth, first_change, turns, offset_guess):
    """The differences, the turns to the first move and the moves before anyone moves."""
    start = next((f for f, (g, _) in enumerate(truth) if g != "-"), None)
    # The camera's first pictures differ from the empty picture before them: the first change
    # is the first turn with motion after a turn without. When the turn before has no motion
    # message (one the rate left out) the change cannot be placed, and the offset of the other
    # videos stands in.
    offset, placed = offset_guess, False
    for t in range(2, len(turns)):
        if (turns[t]["diff"] or 0) > 0:
            if turns[t - 1]["diff"] == 0 and first_change is not None and first_change >= 0:
                offset = t - first_change
                placed = True
            break
    frame_of = lambda t: t - offset
    diffs, first_move, false_moves = [], None, 0
    for t in range(1, len(turns)):
        f = frame_of(t)
        if f < 0 or f >= len(truth):
            continue
        moved = turns[t]["clip"] != turns[t - 1]["clip"]
        if start is None or f < start:
            false_moves += moved
            continue
        if moved and first_move is None:
            first_move = f - start + 1
        share = 100.0 * turns[t]["clip"] / (CLIPS - 1)
        diffs.append(abs(share - 100.0 * truth[f][1]))
    return {"mean": statistics.mean(diffs) if diffs else None,
            "worst": max(diffs) if diffs else None, "first": first_move,
            "false": false_moves, "offset": offset, "placed": placed}


def table(title, rows):
    print("\n" + title)
    print("%-22s %-6s %-6s %9s %9s %12s %12s" % ("video", "true", "named", "mean %", "worst %",
                                                 "first move", "false moves"))
    for name, expected, got, m in rows:
        fmt = lambda v, f="%9.1f": "-" if v is None else f % v
        print("%-22s %-6s %-6s %9s %9s %12s %12d" % (
            name, expected, got, fmt(m["mean"]), fmt(m["worst"]),
            "-" if m["first"] is None else "%d" % m["first"], m["false"]))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", default="build")
    parser.add_argument("--keep", help="make the videos and runs in this folder and keep them")
    parser.add_argument("--learn-video")
    parser.add_argument("--recording", nargs=2, action="append", default=[],
                        metavar=("VIDEO", "PHASEFILE"))
    options = parser.parse_args()
    build = (ROOT / options.build).resolve()
    folder = pathlib.Path(options.keep or tempfile.mkdtemp(prefix="kalvento_gesture_quality_"))
    folder.mkdir(parents=True, exist_ok=True)
    try:
        videos = folder / "videos"
        made = run(build / "kalvento_make_demo", ["--root", str(folder), "--folders", "1",
                                                  "--clips", str(CLIPS), "--size", "64x48",
                                                  "--bench-videos", str(videos)], folder)
        if made.returncode != 0:
            sys.exit(made.stderr)
        cases = [(p.stem, p, p.with_suffix(".phase")) for p in sorted(videos.glob("*.avi"))
                 if p.stem != "learn"]
        cases += [(pathlib.Path(v).stem, pathlib.Path(v).resolve(), pathlib.Path(p).resolve())
                  for v, p in options.recording]
        player = Player(build, folder)
        player.learn(pathlib.Path(options.learn_video or videos / "learn.avi").resolve())
        results = {False: [], True: []}
        offsets = []
        for name, video, phase_file in cases:
            truth, first_change = read_phases(phase_file)
            expected = next((g for g, _ in reversed(truth) if g != "-"), "-")
            for follow in (False, True):
                stdout, messages = player.play(video, len(truth), follow)
                m = measure(truth, first_change, turns_of(messages),
                            round(statistics.median(offsets)) if offsets else 0)
                if m["placed"]:
                    offsets.append(m["offset"])
                results[follow].append((name, expected, named(stdout, follow), m))
        print("Gesture quality: %d clips, A and B learned in 8 frames each; differences in %% "
              "of the folder; frame = turn - %s" % (CLIPS, sorted(set(offsets))))
        table("The design's judgement", results[False])
        table("The follower (--follow)", results[True])
    finally:
        if not options.keep:
            shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
