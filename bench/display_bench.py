#!/usr/bin/env python3
"""What a person sees: the real player, headless and in a real window under Xvfb, driven by a
camera video of constant motion, on folders of 640x480, 1920x1080 and 3840x2160 clips.

usage: display_bench.py --player BIN [--player BIN2 ...] --make-demo BIN
                        [--decode-rate BIN] [--data DIR] [--sizes 640x480,1920x1080,...]
                        [--modes headless,window,window-gl,window-message,window-help,window-osd,window-default,
                                 window-steady,headless-web,window-web,window-upright,
                                 window-turned,fullscreen,fullscreen-default]
                        [--no-mpv] [--no-reversal]
                        [--no-tab]

A --player may carry options ("BIN --decoders 2"). Every --player is measured in the same run (give main's build first and the changed one
second for a before/after table). Per player, size and mode it prints the turns per second
while clips change (one clip step per turn, CamOnMemory 1). It also prints the decode rate of
the same clips (--decode-rate), mpv's display rate of the same clips when mpv is installed
(--vo=x11 --untimed, one decode thread), the automatic replay rate (TAB, no camera; must stay
at or below 30 steps per second) and a reversal run: the camera figure walks 20 frames and
stands still for one, so the direction turns every 20 clips; the shown clips must step by one
clip at a time, and the first turn after each reversal is compared with the median turn.

Mode window-gl is the real window through SDL's OpenGL texture framebuffer instead of the X11
shared-memory one (SDL_FRAMEBUFFER_ACCELERATION=1), to compare the two.

Mode window runs with "--osd 0": nothing is drawn over the clips (at the default level the
"camera ON" banner of the camera key would be up for the first seconds). The other window
modes keep the on-screen display busy: window-message runs with "--osd 2", so the console
messages of the last turns (a new one every turn) stay up at the bottom; window-help keeps the
help page up over every clip (ENTER before the run, no key after it); window-osd runs with
"--osd 3", so the status line and the prompt are drawn too, each changing from turn to turn;
window-default keeps the display at its default level (the camera key's banner, and with i
the position bar and the gauge), as a kiosk runs; the banner is up for most of such a short
run. window-steady is window-default with the loop held 3 s after the camera key (a sleep of
the input script), until the banner has gone, and the folder started again from its first
clip (l): the turns after that show the position bar and the gauge changing every turn, what a
visitor sees for as long as they play.

Modes fullscreen and fullscreen-default run the player with --fullscreen on a 1920x1080 screen
of its own (an Xvfb of that size), as a gallery's projector or monitor shows bigger material
(4K video frames, camera photos: --sizes 3840x2160,5472x3648); fullscreen with "--osd 0",
fullscreen-default at the display's default level. mpv shows the same clips on the same
screen with --fs beside them.

Each motion run also prints the processor time the player used (all its threads, start-up
included) divided by its turns: on a shared machine it varies less than the turn rate.

Modes headless-web and window-web are headless and window with the web remote on (--http)
and its page open in headless Chromium (Debian's chromium, chromium-driver and
python3-selenium: run the script with /usr/bin/python3) for the whole run: the player waits
15 s for the page before the clips start, and only turns after the page went live count. The
summary prints their rate against the mode without the page (the goal: within 5 %).

Modes window-upright and window-turned measure the cost of turning the picture: window-upright
is a fullscreen window on a 1920x1080 screen, window-turned one on a 1080x1920 (portrait)
screen with "--rotate 90", so both show the same pixels, 1080p clips one for one, without and
with the quarter turn (both "--osd 0"). The summary prints window-turned's rate against
window-upright's (the goal: at least 90 %).

Turns are timed from the player's per-turn status line (the i key's mode), when it reaches
this script, which runs at a raised priority (nice -10, when allowed) so that it reads each line
as it is written; the players run at the usual priority. Clips shown are counted from the DISP
lines a frame data file makes the player print for every clip.
Generated clips, videos and frame data files are kept in --data (default
/tmp/kalvento_display_bench) and reused.
"""

import argparse
import os
import re
import select
import shlex
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

CLIPS_FOR = {"640x480": 1200, "1920x1080": 500, "3840x2160": 150, "5472x3648": 100}
FULLSCREEN_SCREEN = "1920x1080"
RECORD = 756
STATUS = re.compile(rb"^ [ *] \[SI\.DiffSum=")
DISP = re.compile(rb"^DISP: FrameData\[ *(\d+) \]\.http\[2\]")


def log(text):
    print(text, flush=True)


def run_quiet(args, **kw):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, **kw)


def frame_data(path, clip_paths):
    table = bytearray(RECORD * 22000)
    for i, clip in enumerate(clip_paths):
        raw = clip.encode()
        table[RECORD * i + 4:RECORD * i + 4 + len(raw)] = raw
        text = ("clip %d" % i).encode()
        table[RECORD * i + 254:RECORD * i + 254 + len(text)] = text
    with open(path, "wb") as out:
        out.write(bytes(table) + ("%d\n" % len(clip_paths)).encode())


def prepare_root(data, make_demo, size, clips):
    """A contents root with S001 of `clips` clips of `size` and its frame data file."""
    root = os.path.join(data, size)
    work = os.path.join(root, "work")
    done = os.path.join(root, ".done")
    if not os.path.exists(done):
        shutil.rmtree(root, ignore_errors=True)
        os.makedirs(work)
        log("generating %d clips of %s ..." % (clips, size))
        run_quiet([make_demo, "--root", root, "--folders", "1", "--clips", str(clips),
                   "--size", size])
        frame_data(os.path.join(work, "frame_data0001.dat"),
                   ["../S001/clip_%05d.jpg" % i for i in range(clips)])
        open(done, "w").close()
    return root


def prepare_video(data, make_demo, name, pattern):
    path = os.path.join(data, name)
    if not os.path.exists(path):
        tmp = os.path.join(data, "video_tmp")
        os.makedirs(tmp, exist_ok=True)
        run_quiet([make_demo, "--root", tmp, "--folders", "1", "--clips", "1", "--size",
                   "16x16", "--video", path + ".part.avi", "--video-pattern", pattern])
        os.rename(path + ".part.avi", path)
    return path


class Xvfb:
    def __init__(self, size):
        self.dir = tempfile.mkdtemp(prefix="kalvento_bench_x_")
        rfd, wfd = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(wfd), "-nolisten", "tcp", "-noreset", "-screen", "0",
             size + "x24"], pass_fds=(wfd,), stderr=subprocess.DEVNULL,
            preexec_fn=normal_priority)
        os.close(wfd)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(rfd, 16)
            if not chunk:
                raise RuntimeError("Xvfb did not start")
            number += chunk
        os.close(rfd)
        self.display = ":" + number.decode().strip()

    def close(self):
        self.proc.terminate()
        self.proc.wait()
        shutil.rmtree(self.dir, ignore_errors=True)


def raise_own_priority():
    """Lines are timed when they reach this script, so it must read them the moment they are
    written, even while the player keeps both cores busy. Needs root (or CAP_SYS_NICE); says
    so when it cannot."""
    try:
        os.setpriority(os.PRIO_PROCESS, 0, -10)
        return True
    except OSError:
        return False


def normal_priority():
    """The players run at the usual priority, not at the priority of this script."""
    os.setpriority(os.PRIO_PROCESS, 0, 0)


class WebPage:
    """The web remote's page in headless Chromium while the player runs: opened as soon as the
    player answers on `port`; `live_at` is the time its live updates began (None until then)."""

    def __init__(self, port):
        self.port, self.live_at, self.driver, self.stop = port, None, None, False
        self.thread = threading.Thread(target=self.open)
        self.thread.start()

    def open(self):
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
        from selenium.webdriver.common.by import By
        base = "http://127.0.0.1:%d" % self.port
        while not self.stop:
            try:
                urllib.request.urlopen(base + "/api/v1/status", timeout=2).read()
                break
            except OSError:
                time.sleep(0.1)
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--window-size=390,844"):
            options.add_argument(argument)
        self.driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        self.driver.get(base + "/")
        while not self.stop and self.live_at is None:
            if self.driver.find_element(By.ID, "state").text == "live":
                self.live_at = time.monotonic()
            time.sleep(0.1)

    def close(self):
        self.stop = True
        self.thread.join()
        if self.driver:
            self.driver.quit()


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


KNOWN_OPTIONS = {}


def knows_option(player, option):
    """Whether the player's --help names `option` (an older player is measured as it is)."""
    program = shlex.split(player)[0]
    if program not in KNOWN_OPTIONS:
        out = subprocess.run([program, "--help"], capture_output=True, text=True)
        KNOWN_OPTIONS[program] = out.stdout + out.stderr
    return option in KNOWN_OPTIONS[program]


def run_player(player, root, script, video, env, timeout=600, usage=None):
    """Runs the player in root/work; returns [(time, line)] of its stdout and its status.
    With a dict `usage`, its "cpu" becomes the processor seconds the player used (all its
    threads, user and system). With BENCH_WEB in `env` the web remote is on and its page open
    (lines before the page went live are left out)."""
    work = os.path.join(root, "work")
    page = None
    if env.get("BENCH_WEB"):
        port = free_port()
        page = WebPage(port)
        script = "sleep 15000\n" + script
        env = dict(env, BENCH_PLAYER_ARGS=env.get("BENCH_PLAYER_ARGS", "") + " --http %d" % port)
    with open(os.path.join(work, "bench_input.txt"), "w") as out:
        out.write(script)
    args = shlex.split(player) + ["-C", work, "--shm-name", "kalvento_bench_%d" % os.getpid(),
            "--input", "bench_input.txt"]
    if video:
        # Older players read a camera video one frame a turn without being asked.
        args += ["--camera-source", video] + (["--camera-source-unpaced"]
                                              if knows_option(player, "--camera-source-unpaced")
                                              else [])
    if env.get("HEADLESS"):
        args.append("--headless")
    args += shlex.split(env.get("BENCH_PLAYER_ARGS", ""))
    proc = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                            stdin=subprocess.DEVNULL, env=env, preexec_fn=normal_priority)
    lines, pending = [], b""
    deadline = time.monotonic() + timeout
    fd = proc.stdout.fileno()
    while True:
        ready, _, _ = select.select([fd], [], [], 1.0)
        now = time.monotonic()
        if now > deadline:
            proc.kill()
            break
        if not ready:
            continue
        chunk = os.read(fd, 1 << 16)
        if not chunk:
            break
        pending += chunk
        *complete, pending = pending.split(b"\n")
        lines.extend((now, line) for line in complete)
    _, raw_status, rusage = os.wait4(proc.pid, 0)
    proc.returncode = status = os.waitstatus_to_exitcode(raw_status)
    if usage is not None:
        usage["cpu"] = rusage.ru_utime + rusage.ru_stime
    try:
        os.unlink("/dev/shm/kalvento_bench_%d" % os.getpid())
    except OSError:
        pass
    if page:
        page.close()
        if page.live_at is None:
            log("note: the page never went live")
            return [], 1
        lines = [(t, line) for t, line in lines if t >= page.live_at]
    return lines, status


def turns(lines):
    """Per turn (status line to next status line): (start, duration, shown clip or None)."""
    result = []
    current = None
    for t, line in lines:
        if STATUS.match(line):
            if current is not None:
                result.append((current[0], t - current[0], current[1]))
            current = [t, None]
        elif current is not None:
            m = DISP.match(line)
            if m:
                current[1] = int(m.group(1))
    return result


def motion_rate(turn_list):
    """Turns per second over the turns that show a new clip (the first 5 % skipped)."""
    showing = [i for i, turn in enumerate(turn_list) if turn[2] is not None]
    if len(showing) < 20:
        return None, 0
    first = showing[len(showing) // 20]
    last = showing[-1]
    span = turn_list[last][0] + turn_list[last][1] - turn_list[first][0]
    count = last - first + 1
    return count / span, len(showing)


def measure_motion(player, root, video, clips, env):
    help_page = "key ENTER\n" if env.get("BENCH_HELP_PAGE") else ""
    # BENCH_SETTLE: the loop is held that many seconds after the camera key, until its banner
    # has gone, and the folder starts again from its first clip (l).
    settle = int(float(env.get("BENCH_SETTLE", "0")) * 1000)
    held = "sleep %d\nkey l\n" % settle if settle else ""
    script = "key i\nkey q\n%s%sidle %d\nkey ESC\nkey ESC\n" % (help_page, held, clips + 20)
    usage = {}
    lines, status = run_player(player, root, script, video, env, usage=usage)
    turn_list = turns(lines)
    if settle:  # only the turns after the held one
        longest = max(range(len(turn_list)), key=lambda i: turn_list[i][1], default=0)
        turn_list = turn_list[longest + 1:]
    rate, shown = motion_rate(turn_list)
    if status != 0 or rate is None:
        return "failed (status %d, %d clips shown)" % (status, shown), None
    # Processor time counts less of what other work on a shared machine takes from the run.
    cpu_ms = 1e3 * usage["cpu"] / max(1, len(turn_list))
    return "%7.1f turns/s (%d clips shown), %.2f ms processor time per turn" % (
        rate, shown, cpu_ms), (rate, cpu_ms)


def measure_reversal(player, root, video, env):
    script = "key i\nkey q\nidle 400\nkey ESC\nkey ESC\n"
    lines, status = run_player(player, root, script, video, env)
    tl = turns(lines)
    shown = [(i, turn) for i, turn in enumerate(tl) if turn[2] is not None]
    clips = [turn[2] for _, turn in shown]
    if status != 0 or len(clips) < 60:
        return "failed (status %d, %d clips shown)" % (status, len(clips))
    steps_ok = all(abs(b - a) == 1 for a, b in zip(clips, clips[1:]))
    reversals = [k for k in range(1, len(clips) - 1)
                 if (clips[k] - clips[k - 1]) * (clips[k + 1] - clips[k]) < 0]
    durations = [turn[1] for _, turn in shown[1:]]
    median = statistics.median(durations)
    mean = statistics.mean(durations)
    after = [shown[k + 1][1][1] for k in reversals if k + 1 < len(shown)]
    worst = max(after) if after else 0.0
    slow = sum(1 for d in after if d > 3 * median)
    # For comparison: how many of all turns (mostly ones that wait for a decode) are that slow.
    slow_anywhere = sum(1 for d in durations if d > 3 * median)
    return ("%d clips, %d reversals, steps of one clip: %s; median turn %.2f ms (mean %.2f); "
            "first turns after a reversal: median %.2f ms, slowest %.2f ms = %.2fx the median "
            "turn (want <= 3), %d above 3x; of all turns %d of %d above 3x" %
            (len(clips), len(reversals), "yes" if steps_ok else "NO", median * 1e3, mean * 1e3,
             statistics.median(after) * 1e3 if after else 0.0, worst * 1e3,
             worst / median if median > 0 else 0, slow, slow_anywhere, len(durations)))


def measure_tab(player, root, env):
    script = "key TAB\nidle 150\nkey ESC\nkey ESC\n"
    lines, status = run_player(player, root, script, None, env)
    times = [t for t, line in lines if DISP.match(line)]
    if status != 0 or len(times) < 20:
        return "failed (status %d)" % status
    rate = (len(times) - 11) / (times[-1] - times[10])
    return "%.1f steps/s (want <= 30)" % rate


def measure_mpv(root, clips, env, fullscreen=False):
    pattern = "mf://" + os.path.join(root, "S001", "*.jpg")

    def timed(frames):
        start = time.monotonic()
        subprocess.run(["mpv", "--no-config", "--really-quiet", "--vo=x11", "--untimed",
                        "--no-audio", "--vd-lavc-threads=1", "--mf-fps=60"] +
                       (["--fs"] if fullscreen else []) +
                       ["--frames=%d" % frames, pattern], env=env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       preexec_fn=normal_priority)
        return time.monotonic() - start
    few = max(5, clips // 10)
    try:
        short, full = timed(few), timed(clips)
    except (subprocess.CalledProcessError, OSError) as error:
        return "failed (%s)" % error
    return "%7.1f clips/s" % ((clips - few) / (full - short))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--player", action="append", required=True)
    parser.add_argument("--make-demo", required=True)
    parser.add_argument("--decode-rate")
    parser.add_argument("--data", default="/tmp/kalvento_display_bench")
    parser.add_argument("--sizes", default="640x480,1920x1080,3840x2160")
    parser.add_argument("--modes", default="headless,window")
    parser.add_argument("--no-mpv", action="store_true")
    parser.add_argument("--no-reversal", action="store_true")
    parser.add_argument("--no-tab", action="store_true")
    options = parser.parse_args()

    sizes = options.sizes.split(",")
    modes = options.modes.split(",")
    os.makedirs(options.data, exist_ok=True)
    longest = max(CLIPS_FOR.get(size, 300) for size in sizes)
    # Long enough for a folder's length and window-steady's turns before it, one frame a turn.
    frames = 2 * longest + 100
    constant = prepare_video(options.data, options.make_demo, "constant-%d.avi" % frames,
                             "%d,0,1" % frames)
    reversal = prepare_video(options.data, options.make_demo, "reversal.avi", "20,1,40")
    roots = {size: prepare_root(options.data, options.make_demo, size, CLIPS_FOR.get(size, 300))
             for size in sizes}

    if not raise_own_priority():
        log("note: could not raise this script's priority (needs root); turn times may be late "
            "when the player keeps both cores busy")
    try:
        load = os.getloadavg()
        log("machine: %d cores, load average %.2f %.2f %.2f" % ((os.cpu_count() or 0,) + load))
    except OSError:
        pass
    xvfb = Xvfb("3840x2160") if any(m.startswith("window") for m in modes) or \
        (not options.no_mpv and "window" in modes) else None
    small_screen = Xvfb(FULLSCREEN_SCREEN) if any(m.startswith("fullscreen") for m in modes) \
        else None
    env_window = dict(os.environ)
    env_headless = dict(os.environ, HEADLESS="1")
    env_fullscreen = dict(os.environ)
    if xvfb:
        env_window["DISPLAY"] = xvfb.display
    if small_screen:
        env_fullscreen["DISPLAY"] = small_screen.display
    # The window through SDL's OpenGL texture framebuffer (Mesa's software rasteriser here),
    # for comparison with the plain X11 shared-memory framebuffer the player chooses.
    env_window_gl = dict(env_window, SDL_FRAMEBUFFER_ACCELERATION="1")
    envs = {"headless": env_headless, "window": dict(env_window, BENCH_PLAYER_ARGS="--osd 0"),
            "window-gl": dict(env_window_gl, BENCH_PLAYER_ARGS="--osd 0"),
            "window-message": dict(env_window, BENCH_PLAYER_ARGS="--osd 2"),
            "window-help": dict(env_window, BENCH_HELP_PAGE="1"),
            "window-osd": dict(env_window, BENCH_PLAYER_ARGS="--osd 3"),
            "window-default": dict(env_window),
            "window-steady": dict(env_window, BENCH_SETTLE="3"),
            "headless-web": dict(env_headless, BENCH_WEB="1"),
            "window-web": dict(env_window, BENCH_PLAYER_ARGS="--osd 0", BENCH_WEB="1"),
            "fullscreen": dict(env_fullscreen, BENCH_PLAYER_ARGS="--fullscreen --osd 0"),
            "fullscreen-default": dict(env_fullscreen, BENCH_PLAYER_ARGS="--fullscreen")}
    # The screens of the rotation's modes, one Xvfb each, made only when asked for.
    screens = {}
    for mode, size, args in (("window-upright", "1920x1080", "--osd 0 --fullscreen"),
                             ("window-turned", "1080x1920", "--osd 0 --fullscreen --rotate 90")):
        if mode in modes:
            screens[mode] = Xvfb(size)
            envs[mode] = dict(os.environ, DISPLAY=screens[mode].display, BENCH_PLAYER_ARGS=args)
    results = {}
    try:
        for size in sizes:
            clips = CLIPS_FOR.get(size, 300)
            if options.decode_rate:
                out = subprocess.run([options.decode_rate, os.path.join(roots[size], "S001"),
                                      str(min(clips, 200))], capture_output=True, text=True,
                                     preexec_fn=normal_priority)
                log("%-10s %s" % (size, out.stdout.strip() or "decode failed"))
            for mode in modes:
                env = envs[mode]
                for n, player in enumerate(options.player):
                    text, rate = measure_motion(player, roots[size], constant, clips, env)
                    results[(size, mode, n)] = rate
                    log("%-10s %-8s player %d: %s" % (size, mode, n + 1, text))
            if "window" in modes and not options.no_mpv and shutil.which("mpv"):
                log("%-10s window   mpv     : %s" % (size, measure_mpv(roots[size], clips,
                                                                       env_window)))
            elif "window" in modes and not options.no_mpv:
                log("%-10s window   mpv     : not installed" % size)
            if any(m.startswith("fullscreen") for m in modes) and not options.no_mpv:
                if shutil.which("mpv"):
                    rate = measure_mpv(roots[size], clips, env_fullscreen, fullscreen=True)
                    log("%-10s fullscreen mpv --fs: %s" % (size, rate))
                else:
                    log("%-10s fullscreen mpv --fs: not installed" % size)
        if not options.no_reversal:
            size = "1920x1080" if "1920x1080" in roots else sizes[0]
            for mode in modes:
                env = envs[mode]
                for n, player in enumerate(options.player):
                    log("reversal %s %-8s player %d: %s" % (
                        size, mode, n + 1, measure_reversal(player, roots[size], reversal, env)))
        if not options.no_tab:
            for n, player in enumerate(options.player):
                log("TAB replay %s headless player %d: %s" % (
                    sizes[0], n + 1, measure_tab(player, roots[sizes[0]], env_headless)))
    finally:
        if xvfb:
            xvfb.close()
        for screen in screens.values():
            screen.close()
        if small_screen:
            small_screen.close()
    try:
        log("load average at the end: %.2f %.2f %.2f" % os.getloadavg())
    except OSError:
        pass
    for size in sizes:
        for mode in modes:
            if not mode.endswith("-web"):
                continue
            for n in range(len(options.player)):
                plain, web = results.get((size, mode[:-4], n)), results.get((size, mode, n))
                if plain and web:
                    log("%-10s %s against %s, player %d: %.1f %% of the turn rate (want >= 95 %%), "
                        "%.1f %% of the processor time per turn" % (
                            size, mode, mode[:-4], n + 1, web[0] / plain[0] * 100,
                            web[1] / plain[1] * 100))
    for size in sizes:
        for n in range(len(options.player)):
            upright = results.get((size, "window-upright", n))
            turned = results.get((size, "window-turned", n))
            if upright and turned:
                log("%-10s window-turned against window-upright, player %d: %.1f %% of the turn "
                    "rate (want >= 90 %%), %.1f %% of the processor time per turn" % (
                        size, n + 1, turned[0] / upright[0] * 100, turned[1] / upright[1] * 100))
    if len(options.player) >= 2:
        log("\n| clips | mode | player 1 turns/s | player 2 turns/s | 2 against 1 | "
            "player 1 ms/turn | player 2 ms/turn |")
        log("|---|---|---|---|---|---|---|")
        for size in sizes:
            for mode in modes:
                a, b = results.get((size, mode, 0)), results.get((size, mode, 1))
                log("| %s | %s | %s | %s | %s | %s | %s |" % (
                    size, mode, "%.1f" % a[0] if a else "-", "%.1f" % b[0] if b else "-",
                    "%.1f %%" % (100 * b[0] / a[0]) if a and b else "-",
                    "%.2f" % a[1] if a else "-", "%.2f" % b[1] if b else "-"))
    return 0


if __name__ == "__main__":
    signal.signal(signal.SIGINT, signal.default_int_handler)
    sys.exit(main())
