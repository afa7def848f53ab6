#!/usr/bin/env python3
"""The two ways the game can put its frames on the screen, side by side: SDL's
window surface (the default) and SDL's renderer (QUILL_PRESENT=renderer).

Each run starts the game on a private Xvfb (1280x1024 unless --screen says
otherwise) in a copy of a build's
working folder, with tools/present_shim.c preloaded, which reports the first
frame of each window that is not all black. For each mode (a 640x480 window,
--scale 2, and the full screen reached with Ctrl+F) and each path it measures:

  first frame  wall and CPU time from exec to the first drawn frame (for the
               full screen: from pressing Ctrl+F to its first drawn frame), and
               the peak resident memory then;
  play         CPU of the game and of the X server over --play seconds of
               standing in the meadow, in % of one core, and the game's peak
               resident memory at the end.

Runs of the two paths alternate. Prints each run, then the median and range.

    tools/present_figures.py [--build build-test] [--runs 10] [--play-runs 3]
                             [--play 60] [--modes 1,2,full] [--screen 1280x1024]
"""
import argparse
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TICK = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICK


def peak_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    return 0


class Xvfb:
    def __init__(self, screen):
        r, w = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(w), "-screen", "0", screen + "x24", "-nolisten", "tcp",
             "-noreset"], pass_fds=[w], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(w)
        number = b""
        while not number.endswith(b"\n"):
            c = os.read(r, 1)
            if not c:
                break
            number += c
        os.close(r)
        self.display = ":" + number.decode().strip()

    def close(self):
        self.proc.terminate()
        self.proc.wait()


def xdotool(display, *args):
    subprocess.run(["xdotool", *args], env=dict(os.environ, DISPLAY=display),
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)


def read_frame(fd, deadline):
    """One line of the shim as (wall ns, cpu ns, peak KiB, full), or None."""
    line = b""
    while not line.endswith(b"\n"):
        left = deadline - time.monotonic()
        if left <= 0:
            return None
        import select
        ready, _, _ = select.select([fd], [], [], left)
        if not ready:
            return None
        c = os.read(fd, 1)
        if not c:
            return None
        line += c
    _, wall, cpu, peak, full = line.split()
    return int(wall), int(cpu), int(peak), int(full)


def run(args, shim, folder, path, mode, play):
    x = Xvfb(args.screen)
    r, w = os.pipe()
    env = dict(os.environ, DISPLAY=x.display, SDL_VIDEODRIVER="x11", SDL_AUDIODRIVER="dummy",
               LD_PRELOAD=shim, QUILL_PRESENT_FD=str(w),
               QUILL_PRESENT_REPORTS="2" if mode == "full" else "1")
    env.pop("QUILL_PRESENT", None)
    if path == "renderer":
        env["QUILL_PRESENT"] = "renderer"
    game_args = ["--scale", "2"] if mode == "2" else []
    start = time.monotonic_ns()
    game = subprocess.Popen([os.path.join(args.build, "quillmoor"), *game_args], cwd=folder,
                            env=env, pass_fds=[w], stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    os.close(w)
    result = {}
    try:
        first = read_frame(r, time.monotonic() + 60)
        if not first:
            raise RuntimeError("no first frame")
        wall, cpu, peak = (first[0] - start) / 1e6, first[1] / 1e6, first[2]
        if mode == "full":
            window = subprocess.run(
                ["xdotool", "search", "--onlyvisible", "--name", "^Quillmoor: Ctrl"],
                env=dict(os.environ, DISPLAY=x.display), capture_output=True,
                text=True).stdout.split()[0]
            # Pressed again, held longer, until the game has seen it.
            full = None
            for hold in (0.1, 0.4, 1.6, 6.4):
                cpu_before = cpu_seconds(game.pid)
                pressed = time.monotonic_ns()
                xdotool(x.display, "windowfocus", "--sync", window, "keydown", "Control_L",
                        "keydown", "f", "sleep", str(hold), "keyup", "f", "keyup", "Control_L")
                full = read_frame(r, time.monotonic() + 10)
                if full:
                    break
            if not full:
                raise RuntimeError("no full-screen frame")
            wall = (full[0] - pressed) / 1e6
            cpu = (full[1] / 1e9 - cpu_before) * 1e3
            peak = full[2]
        result.update(wall_ms=wall, cpu_ms=cpu, peak_mib=peak / 1024)
        if play:
            g0, x0 = cpu_seconds(game.pid), cpu_seconds(x.proc.pid)
            time.sleep(play)
            g1, x1 = cpu_seconds(game.pid), cpu_seconds(x.proc.pid)
            result.update(game_pct=100 * (g1 - g0) / play, x_pct=100 * (x1 - x0) / play,
                          play_peak_mib=peak_kib(game.pid) / 1024)
    finally:
        game.send_signal(signal.SIGTERM)
        try:
            game.wait(30)
        except subprocess.TimeoutExpired:
            game.kill()
            game.wait()
        os.close(r)
        x.close()
    return result


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("--build", default=os.path.join(TOP, "build-test"))
    p.add_argument("--runs", type=int, default=10, help="first-frame runs per mode and path")
    p.add_argument("--play-runs", type=int, default=3, help="runs of play per mode and path")
    p.add_argument("--play", type=int, default=60, help="seconds of play")
    p.add_argument("--modes", default="1,2,full")
    p.add_argument("--screen", default="1280x1024", help="the X server's screen, WxH")
    args = p.parse_args()

    work = tempfile.mkdtemp(prefix="quill-present-")
    try:
        shim = os.path.join(work, "present_shim.so")
        cflags = subprocess.run(["sdl2-config", "--cflags"], capture_output=True,
                                text=True).stdout.split()
        subprocess.run(["cc", "-O2", "-shared", "-fPIC", *cflags, "-I", TOP, "-o", shim,
                        os.path.join(TOP, "tools", "present_shim.c"), "-ldl"], check=True)
        folder = os.path.join(work, "data")
        shutil.copytree(os.path.join(args.build, "data"), folder, symlinks=True)
        # The scaled copies made once, so that every measured start is a warm one.
        run(args, shim, folder, "surface", "1", 0)

        figures = {}
        for mode in args.modes.split(","):
            for i in range(max(args.runs, args.play_runs)):
                for path in ("surface", "renderer"):
                    play = args.play if i < args.play_runs else 0
                    if i >= args.runs and not play:
                        continue
                    r = run(args, shim, folder, path, mode, play)
                    print(mode, path, " ".join(f"{k}={v:.1f}" for k, v in r.items()), flush=True)
                    for k, v in r.items():
                        if i < args.runs or k not in ("wall_ms", "cpu_ms", "peak_mib"):
                            figures.setdefault((mode, path, k), []).append(v)
        print("\nmode path figure: median (min-max), runs")
        for (mode, path, k), values in figures.items():
            print(f"{mode} {path} {k}: {statistics.median(values):.1f} "
                  f"({min(values):.1f}-{max(values):.1f}), {len(values)}")
        with open("/proc/loadavg") as f:
            print("load at the end:", f.read().strip())
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
