#!/usr/bin/env python3
"""Start-up time to the first frame: one or more engine binaries, run in
alternating rounds on the same game folder, headless.

    bench/startup.py [--rounds N] [--plain COUNT | --scene DIR] BINARY [BINARY ...]

--plain COUNT (default 100000) writes a level of COUNT plain objects (the
fallback model blank.x, no textures or effects) into a fresh copy of data/;
--scene DIR uses a game folder as it is (bench/make_scenes.py writes the
start-up scenes, e.g. startup_1000_fx). Each run is
`BINARY --headless --frames 0` in the folder: everything up to where the
first frame would start (as `scripts/bench.sh compare` counts its start-up
scenes), then the normal exit. The figures are its wall time and its CPU time
(user + system, from wait4, all of the process's threads), each as the
minimum, median and maximum of the rounds. The binaries take turns, the first one first in odd
rounds and last in even ones, so a machine that gets busier or quieter
during the run weighs on all of them alike.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "..", "data")


def plain_level(count):
    # The same level as the e2e test of a big level.
    parts = ["[CameraPosY]=300\r\n[CameraPosZ]=-100\r\n[CameraLookY]=-1\r\n[CameraLookZ]=1\r\n"]
    for i in range(count):
        parts.append("[object]\r\n[name]=blank.x\r\n[x]=%d\r\n[z]=%d\r\n[/object]\r\n" %
                     ((i % 300) * 4, (i // 300) * 4))
    return "".join(parts)


def run_once(binary, folder):
    env = dict(os.environ)
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    start = time.monotonic()
    child = subprocess.Popen([binary, "--headless", "--frames", "0"], cwd=folder,
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env)
    out = child.stdout.read().decode("utf-8", "replace")
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.monotonic() - start
    if os.waitstatus_to_exitcode(status) != 0 or "0 frames in" not in out:
        sys.exit("startup: %s failed in %s:\n%s" % (binary, folder, out[-2000:]))
    return wall, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024.0


def spread(values):
    return "%6.2f %6.2f %6.2f" % (min(values), statistics.median(values), max(values))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--plain", type=int, default=100000)
    parser.add_argument("--scene")
    parser.add_argument("binaries", nargs="+")
    args = parser.parse_args()

    scratch = None
    if args.scene:
        folder = args.scene
        what = os.path.basename(os.path.normpath(folder))
    else:
        scratch = tempfile.mkdtemp(prefix="qm_startup_")
        folder = os.path.join(scratch, "game")
        shutil.copytree(DATA, folder)
        with open(os.path.join(folder, "levels", "map_new.txt"), "w", newline="") as f:
            f.write(plain_level(args.plain))
        what = "%d plain objects" % args.plain

    binaries = [os.path.abspath(b) for b in args.binaries]
    results = {b: [] for b in binaries}
    try:
        for r in range(args.rounds):
            order = binaries if r % 2 == 0 else list(reversed(binaries))
            for b in order:
                results[b].append(run_once(b, folder))
    finally:
        if scratch:
            shutil.rmtree(scratch, ignore_errors=True)

    print("first frame, %s, %d alternating rounds (min median max)" % (what, args.rounds))
    print("%-40s %-20s %-20s %s" % ("binary", "wall s", "CPU s", "peak RSS MiB"))
    for b in binaries:
        walls = [w for w, _, _ in results[b]]
        cpus = [c for _, c, _ in results[b]]
        rss = max(m for _, _, m in results[b])
        print("%-40s %-20s %-20s %.0f" % (b[-40:], spread(walls), spread(cpus), rss))


if __name__ == "__main__":
    main()
