#!/usr/bin/env python3
"""Runs the engine, the peer engine (Irrlicht) and the minimal OpenGL program
on the same generated game folders, alternating, and prints one table.

Needs a display (scripts/bench.sh compare runs it under Xvfb) and the built
programs. For each scene and round the three programs run one after the
other, the order rotating from round to round, so a slow spell on a shared
machine hits all three alike. Figures per program and scene, median of the
rounds:

  fps          frames / seconds of the main loop, as each program prints it
  first frame  process start to the first main-loop frame: the process's wall
               time minus the main-loop seconds it prints (this includes
               process exit, which none of the three does much work in)
  peak RSS     the child's peak resident set size (wait4 rusage)
  KiB/object   (peak RSS - peak RSS of the empty scene) / objects
  rejected     draws per frame the engine left out as outside the view
               (QM_DRAW_COUNTS), loading screens included

    bench/compare.py --build BUILD --scenes DIR [--rounds 5] [--big]
                     [--shots DIR] [--only SCENE,...] [--frames-scale F]
                     [--before EXE]

--before EXE runs another engine binary (an older build) as a fourth program
in the same rotation and prints a second table: that build against this one.
"""
import argparse
import os
import re
import statistics
import struct
import subprocess
import sys
import tempfile
import time
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import make_scenes  # noqa: E402  (the scenes' walk steps)
PROGRAMS = ["engine", "peer", "minimal"]
# scene: (frames, programs run on it, needs --big, most rounds)
# Start-up scenes run 0 frames: each program loads everything and quits as
# it would before drawing its first frame, so the wall time is the time to
# the first frame. The effect variants exist only for the engine (the other
# two programs have no effect files), so one round of them is enough.
# Frame counts give each run about 4-5 s on llvmpipe: one- or two-second runs
# spread over 30 % on a shared machine, where a scheduler hiccup is a large
# part of the run.
SCENES = {
    "empty": (0, PROGRAMS, False, 99),
    "wuson_10": (240, PROGRAMS, False, 99),
    "cube_400": (200, PROGRAMS, False, 99),
    "truespace_20": (100, PROGRAMS, False, 99),
    "cube_2000": (120, PROGRAMS, False, 99),
    "cube_2000_away": (600, PROGRAMS, False, 99),
    "walk_10000": (240, PROGRAMS, False, 99),
    "startup_1000": (0, PROGRAMS, False, 99),
    "startup_1000_fx": (0, ["engine"], False, 1),
    "startup_5000": (0, PROGRAMS, True, 99),
    "startup_5000_fx": (0, ["engine"], True, 1),
    "startup_10000": (0, PROGRAMS, True, 99),
    "startup_10000_fx": (0, ["engine"], True, 1),
}
# Without --big the engine is left out of the large start-up scenes (marked
# True above): at 1,000 objects it already needs about a minute and 1.5 GB.
# Scenes may give every program extra arguments (make_scenes.walk_arguments):
# the walk scene passes --walk with the step that covers its path in the
# scene's frames, to the older build of --before as well (one that does not
# know --walk fails there and is reported as such).

SUMMARY = re.compile(r"(\d+) frames in ([0-9.]+) s \(([0-9.]+) fps\)")
DRAWS = re.compile(r"d3d9: (\d+) draws sent, (\d+) rejected outside the view")
OBJECTS = re.compile(r"^\[object\]", re.M)
LIGHT = re.compile(r"\[type\]\s*=\s*point_light")


def command(build, program, folder, frames, shot, before=None, extra=()):
    exe = {"engine": os.path.join(build, "src", "quillmoor"),
           "before": before,
           "peer": os.path.join(build, "bench", "peer_irrlicht"),
           "minimal": os.path.join(build, "bench", "minimal_gl")}[program]
    cmd = [exe, "--dir", folder, "--frames", str(frames)] + list(extra)
    if shot:
        cmd += ["--screenshot", shot]
    return cmd


def run_once(cmd, timeout, label):
    """(loop seconds, fps, wall seconds, peak RSS KiB, draws sent, draws
    rejected) of one run, or None. The draw counts are None for programs that
    do not print them."""
    env = dict(os.environ, QM_DRAW_COUNTS="1")
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        start = time.monotonic()
        process = subprocess.Popen(cmd, stdout=out, stderr=err, cwd=tempfile.gettempdir(),
                                   env=env)
        deadline = start + timeout
        while True:
            pid, status, usage = os.wait4(process.pid, os.WNOHANG)
            if pid:
                break
            if time.monotonic() > deadline:
                process.kill()
                pid, status, usage = os.wait4(process.pid, 0)
                break
            time.sleep(0.01)
        wall = time.monotonic() - start
        process.returncode = os.waitstatus_to_exitcode(status)
        out.seek(0)
        text = out.read().decode("utf-8", "replace")
        match = SUMMARY.search(text)
        if process.returncode != 0 or not match:
            err.seek(0)
            tail = err.read().decode("utf-8", "replace").strip().splitlines()[-3:]
            print("  ! %s (%s) failed (exit %s): %s" % (label, " ".join(cmd[3:]),
                                                        process.returncode, " | ".join(tail)),
                  file=sys.stderr)
            return None
        loop = float(match.group(2))
        frames = int(match.group(1))
        err.seek(0)
        draws = DRAWS.search(err.read().decode("utf-8", "replace"))
        sent, rejected = (int(draws.group(1)), int(draws.group(2))) if draws else (None, None)
        return (loop, (frames / loop if frames and loop > 0 else None), wall, usage.ru_maxrss,
                sent, rejected)


def object_count(folder):
    with open(os.path.join(folder, "levels", "map_new.txt"), encoding="cp1251") as f:
        text = f.read()
    return len(OBJECTS.findall(text)) - len(LIGHT.findall(text))


# --- screenshots -------------------------------------------------------------

def read_png(path):
    """(width, height, RGB bytes) of an 8-bit RGB or RGBA PNG."""
    with open(path, "rb") as f:
        data = f.read()
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        chunk = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", chunk[:10])
        elif kind == b"IDAT":
            idat += chunk
    bpp = {2: 3, 6: 4}[colour]
    raw = zlib.decompress(idat)
    stride = width * bpp
    rows, previous, p = [], bytearray(stride), 0
    for _ in range(height):
        kind, line = raw[p], bytearray(raw[p + 1:p + 1 + stride])
        p += 1 + stride
        if kind == 1:
            for x in range(bpp, stride):
                line[x] = (line[x] + line[x - bpp]) & 255
        elif kind == 2:
            line = bytearray((a + b) & 255 for a, b in zip(line, previous))
        elif kind == 3:
            for x in range(stride):
                left = line[x - bpp] if x >= bpp else 0
                line[x] = (line[x] + ((left + previous[x]) >> 1)) & 255
        elif kind == 4:
            for x in range(stride):
                a = line[x - bpp] if x >= bpp else 0
                b = previous[x]
                c = previous[x - bpp] if x >= bpp else 0
                est = a + b - c
                pa, pb, pc = abs(est - a), abs(est - b), abs(est - c)
                line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line) if bpp == 3 else bytes(b for i, b in enumerate(line) if i % 4 != 3))
        previous = line
    return width, height, b"".join(rows)


def describe(path):
    """Coverage, centre of the drawn pixels and their mean colour, leaving out
    the top-left corner where the engine writes its statistics."""
    width, height, rgb = read_png(path)
    count = sx = sy = r = g = b = 0
    for y in range(height):
        row = y * width * 3
        for x in range(width):
            if x < 360 and y < 150:
                continue
            k = row + 3 * x
            pr, pg, pb = rgb[k], rgb[k + 1], rgb[k + 2]
            if pr + pg + pb > 24:
                count += 1
                sx += x
                sy += y
                r += pr
                g += pg
                b += pb
    if not count:
        return "nothing drawn"
    return "covers %4.1f%%, centre (%3d, %3d), mean colour (%3d, %3d, %3d)" % (
        100.0 * count / (width * height - 360 * 150), sx // count, sy // count,
        r // count, g // count, b // count)


# --- table ---------------------------------------------------------------------

def median(values):
    values = [v for v in values if v is not None]
    return statistics.median(values) if values else None


def fmt(value, pattern):
    return format(value, pattern) if value is not None else "-"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", default=os.path.join(HERE, "..", "build"))
    parser.add_argument("--scenes", default=None)
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--big", action="store_true",
                        help="also run the engine on the 5,000 and 10,000 object levels")
    parser.add_argument("--only", default="", help="comma-separated scene names")
    parser.add_argument("--shots", default="", help="write screenshots of the last round here")
    parser.add_argument("--frames-scale", type=float, default=1.0)
    parser.add_argument("--timeout", type=float, default=900.0)
    parser.add_argument("--before", default="", help="an older engine binary to run alongside")
    args = parser.parse_args()
    programs_run = PROGRAMS + (["before"] if args.before else [])
    build = os.path.abspath(args.build)
    scenes_dir = os.path.abspath(args.scenes or os.path.join(build, "bench_scenes"))
    names = [n for n in args.only.split(",") if n] or list(SCENES)
    if "empty" not in names:
        names.insert(0, "empty")

    subprocess.run([sys.executable, os.path.join(HERE, "make_scenes.py"), scenes_dir] + names,
                   check=True)
    if args.shots:
        os.makedirs(args.shots, exist_ok=True)

    results = {}  # (scene, program) -> list of runs
    started = time.monotonic()
    for round_index in range(args.rounds):
        last = round_index == args.rounds - 1
        for name in names:
            frames, programs, big, most_rounds = SCENES[name]
            if round_index >= most_rounds:
                continue
            if frames:
                frames = max(1, int(round(frames * args.frames_scale)))
            turn = round_index % len(programs_run)
            order = programs_run[turn:] + programs_run[:turn]
            for program in order:
                # An older engine build runs wherever the engine does.
                if ("engine" if program == "before" else program) not in programs:
                    continue
                if big and program in ("engine", "before") and not args.big:
                    continue
                shot = None
                if args.shots and last and frames:
                    shot = os.path.join(os.path.abspath(args.shots), "%s_%s.png" % (name, program))
                cmd = command(build, program, os.path.join(scenes_dir, name), frames, shot,
                              os.path.abspath(args.before) if args.before else None,
                              make_scenes.walk_arguments(name, frames))
                run = run_once(cmd, args.timeout, "%s on %s" % (program, name))
                results.setdefault((name, program), []).append(run)
                if run:
                    print("  round %d %-17s %-7s %6s fps  first frame %6.2f s  peak RSS %7.1f MiB"
                          % (round_index + 1, name, program, fmt(run[1], ".1f"),
                             run[2] - run[0], run[3] / 1024.0), flush=True)

    def values(name, program, index):
        runs = [r for r in results.get((name, program), []) if r]
        if index == "first":
            return [r[2] - r[0] for r in runs]
        return [r[index] for r in runs if r[index] is not None]

    def figure(name, program, index):
        return median(values(name, program, index))

    def spread(name, program, index):
        """"min-max" of the rounds, or "-"."""
        v = values(name, program, index)
        return "%.1f-%.1f" % (min(v), max(v)) if v else "-"

    def rejected_per_frame(name):
        runs = [r for r in results.get((name, "engine"), []) if r and r[5] is not None]
        frames = SCENES[name][0] * args.frames_scale
        if not runs or not frames:
            return None
        return median([r[5] for r in runs]) / max(1, int(round(frames)))

    print()
    print("Quillmoor vs Irrlicht 1.8 (peer) vs minimal OpenGL 4.5, 1008x729, 4x MSAA, "
          "median of %d alternating rounds (%.0f s in all)" % (args.rounds, time.monotonic() - started))
    head = ("%-17s %6s | %7s %7s %7s | %6s %6s | %13s %7s %7s | %9s %7s %7s | %15s %7s %7s"
            " | %9s" %
            ("scene", "objs", "fps E", "fps P", "fps M", "E/P", "E/M",
             "1st frame s E", "P", "M", "RSS MiB E", "P", "M", "KiB/object E", "P", "M",
             "rejected"))
    print(head)
    print("-" * len(head))
    for name in names:
        if name == "empty" and len(names) > 1:
            continue
        if not any(results.get((name, p)) for p in PROGRAMS):
            continue
        count = object_count(os.path.join(scenes_dir, name))
        fps = [figure(name, p, 1) for p in PROGRAMS]
        first = [figure(name, p, "first") for p in PROGRAMS]
        rss = [figure(name, p, 3) for p in PROGRAMS]
        base = [figure("empty", p, 3) for p in PROGRAMS]
        # With few objects the difference is mostly what drawing allocates.
        per_object = [(r - b) / count if r is not None and b is not None and count >= 100
                      else None for r, b in zip(rss, base)]
        ratio = lambda a, b: a / b if a is not None and b else None
        print("%-17s %6d | %7s %7s %7s | %6s %6s | %13s %7s %7s | %9s %7s %7s | %15s %7s %7s"
              " | %9s" % (
            name, count, *(fmt(v, ".1f") for v in fps),
            fmt(ratio(fps[0], fps[1]), ".2f"), fmt(ratio(fps[0], fps[2]), ".2f"),
            *(fmt(v, ".2f") for v in first),
            *(fmt(v / 1024.0 if v is not None else None, ".0f") for v in rss),
            *(fmt(v, ".1f") for v in per_object), fmt(rejected_per_frame(name), ".0f")))
        index, unit = (1, "fps") if any(fps) else ("first", "1st frame s")
        print("%-17s %6s | %s" % ("", "spread", "  ".join(
            "%s %s" % (p[0].upper(), spread(name, p, index)) for p in programs_run)) +
            "  (min-max %s of the rounds)" % unit)
    print("E engine, P peer, M minimal; E/P and E/M are fps ratios (above 1: the engine is faster).")
    print("Start-up scenes run 0 frames (load, then quit before the first frame); KiB/object is "
          "(RSS - RSS on the empty scene) / objects, shown from 100 objects up.")

    if args.before:
        print()
        print("This build (E) against %s (B), same rounds" % args.before)
        head = ("%-17s %6s | %7s %7s %6s | %13s %7s | %9s %7s | %s" %
                ("scene", "objs", "fps B", "fps E", "E/B", "1st frame s B", "E", "RSS MiB B", "E",
                 "min-max of the rounds (fps, or 1st frame s)"))
        print(head)
        print("-" * len(head))
        for name in names:
            if not results.get((name, "before")) and not results.get((name, "engine")):
                continue
            count = object_count(os.path.join(scenes_dir, name))
            fps = [figure(name, p, 1) for p in ("before", "engine")]
            first = [figure(name, p, "first") for p in ("before", "engine")]
            rss = [figure(name, p, 3) for p in ("before", "engine")]
            print("%-17s %6d | %7s %7s %6s | %13s %7s | %9s %7s | B %s  E %s" % (
                name, count, *(fmt(v, ".1f") for v in fps),
                fmt(fps[1] / fps[0] if fps[0] and fps[1] else None, ".2f"),
                *(fmt(v, ".2f") for v in first),
                *(fmt(v / 1024.0 if v is not None else None, ".0f") for v in rss),
                spread(name, "before", 1 if fps[0] else "first"),
                spread(name, "engine", 1 if fps[1] else "first")))

    if args.shots:
        print()
        print("Screenshots (last round) in %s:" % args.shots)
        for name in names:
            for program in PROGRAMS:
                path = os.path.join(args.shots, "%s_%s.png" % (name, program))
                if os.path.exists(path):
                    print("  %-14s %-7s %s" % (name, program, describe(path)), flush=True)


if __name__ == "__main__":
    main()
