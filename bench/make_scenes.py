#!/usr/bin/env python3
"""Writes the game folders that scripts/bench.sh compare runs the engine, the
peer engine (bench/peer_irrlicht.cpp) and the minimal OpenGL program
(bench/minimal_gl.cpp) on.

Each folder is a complete game folder: "ini.txt" (1024x768 window, whose
client area is 1008x729), levels/map_new.txt, the models (from Debian's
assimp-testmodels) at the folder's root next to the texture they name, the
start-up effects and blank.x / blank.bmp from data/, and for the effect
variants ten effect files and their lists. Objects stand on a square grid
on y = 0; the camera looks down at the grid's centre from far enough to see
all of it; two point lights above the grid, with a range that covers it.

    bench/make_scenes.py OUT_DIR [--list]   (--list: print the scene names)
"""
import math
import os
import shutil
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "..", "data")
MODEL_DIRS = ["/usr/share/assimp/models/X", "/usr/share/assimp-testmodels/X"]

# name: (file, extra files it needs, grid spacing, lowest y, largest extent)
# The extents are the models' bounds in their files' coordinates.
MODELS = {
    "wuson": ("Testwuson.X", [], 3.0, -1.62224, 3.3),
    "cube": ("test.x", ["test.png"], 3.0, -0.68044, 1.7),
    "truespace": ("fromtruespace_bin32.x", [], 14.0, -0.00243795, 12.2),
}

# name: (models used in turn, object count, effect variant[, view])
# The view "away" puts the camera where it is in the other scenes but turns it
# round, looking up and away from the grid: nothing of it is on screen.
# The view "walk" starts just outside the grid's near edge, a little above the
# objects, looking along the grid and slightly down; the programs then move
# the camera along that look every frame (--walk, see walk_arguments), ending
# inside the grid with its last rows still ahead.
SCENES = {
    "wuson_10": (["wuson"], 10, False),
    "cube_400": (["cube"], 400, False),
    "truespace_20": (["truespace"], 20, False),
    "cube_2000": (["cube"], 2000, False),
    "cube_2000_away": (["cube"], 2000, False, "away"),
    "walk_10000": (["cube"], 10000, False, "walk"),
    "startup_1000": (["cube", "wuson", "truespace"], 1000, False),
    "startup_1000_fx": (["cube", "wuson", "truespace"], 1000, True),
    "startup_5000": (["cube", "wuson", "truespace"], 5000, False),
    "startup_5000_fx": (["cube", "wuson", "truespace"], 5000, True),
    "startup_10000": (["cube", "wuson", "truespace"], 10000, False),
    "startup_10000_fx": (["cube", "wuson", "truespace"], 10000, True),
    "empty": ([], 0, False),
}

EFFECT_FILES = 10
FOV_Y = 0.7853982  # the engine's vertical field of view
# The walk: its downward pitch, the eye's height above y = 0 at the end, how
# far outside the near edge it starts and how many grid rows are still ahead
# of it at the end.
WALK_PITCH = math.radians(2)
WALK_END_HEIGHT = 4.0
WALK_START_OUTSIDE = 3.0
WALK_ROWS_AHEAD_AT_END = 15


def find_model(file_name):
    for d in MODEL_DIRS:
        p = os.path.join(d, file_name)
        if os.path.exists(p):
            return p
    sys.exit("make_scenes: %s not found; install assimp-testmodels" % file_name)


def write_crlf(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(text.replace("\n", "\r\n").encode("cp1251"))


def grid(models, count):
    """(model name, x, y, z) per object, and the grid's half extent."""
    if count == 0:
        return [], 10.0
    spacing = max(MODELS[m][2] for m in models)
    columns = math.ceil(math.sqrt(count))
    rows = math.ceil(count / columns)
    objects = []
    for i in range(count):
        name = models[i % len(models)]
        column, row = i % columns, i // columns
        x = (column - (columns - 1) / 2) * spacing
        z = (row - (rows - 1) / 2) * spacing
        objects.append((name, x, -MODELS[name][3], z))
    size = max(MODELS[m][4] for m in models)
    half = max(columns - 1, rows - 1) * spacing / 2 + size / 2
    return objects, half


def walk_path(models, count):
    """(start eye, unit look, distance walked along the look) of the walk view."""
    _, half = grid(models, count)
    spacing = max(MODELS[m][2] for m in models)
    start_z = -half - WALK_START_OUTSIDE
    end_z = half - WALK_ROWS_AHEAD_AT_END * spacing
    distance = (end_z - start_z) / math.cos(WALK_PITCH)
    eye = (0.0, WALK_END_HEIGHT + distance * math.sin(WALK_PITCH), start_z)
    return eye, (0.0, -math.sin(WALK_PITCH), math.cos(WALK_PITCH)), distance


def walk_arguments(name, frames):
    """The extra command-line arguments every program gets on scene `name` when
    it runs `frames` frames: for a walk scene, the step per frame that covers
    the walk in that many frames, so every program draws the same path."""
    models, count = SCENES[name][:2]
    if len(SCENES[name]) < 4 or SCENES[name][3] != "walk" or frames <= 0:
        return []
    return ["--walk", "%.6f" % (walk_path(models, count)[2] / frames)]


def level_text(models, count, effects, view=""):
    objects, half = grid(models, count)
    # Looking down at 40 degrees, far enough that the circle around the
    # grid fits the vertical field of view (the narrower one at 4:3).
    pitch = math.radians(40)
    radius = half * math.sqrt(2)
    distance = radius / math.sin(FOV_Y / 2) * 0.8 + 5
    look = (0.0, -math.sin(pitch), math.cos(pitch))
    eye = tuple(-c * distance for c in look)
    if view == "away":
        look = (0.0, math.sin(pitch), -math.cos(pitch))
    elif view == "walk":
        eye, look, _ = walk_path(models, count)
    lines = ["Benchmark level: %d objects (%s)." % (count, ", ".join(models) or "none"), ""]
    for key, value in zip(("CameraPosX", "CameraPosY", "CameraPosZ"), eye):
        lines.append("[%s]=%.4f" % (key, value))
    for key, value in zip(("CameraLookX", "CameraLookY", "CameraLookZ"), look):
        lines.append("[%s]=%.6f" % (key, value))
    lines.append("")
    for i, (name, x, y, z) in enumerate(objects):
        lines += ["[object]", "    [name]=%s" % MODELS[name][0],
                  "    [x]=%.4f" % x, "    [y]=%.4f" % y, "    [z]=%.4f" % z]
        if effects:
            lines.append("    [shader]=fx\\lists\\bench_%d.txt" % (i % EFFECT_FILES))
        lines.append("[/object]")
    # Two white-ish point lights above opposite quarters of the grid; the
    # range reaches every object so no program's lack of a range matters.
    height = max(half, 10.0)
    lights = [((-half / 2, height, -half / 2), (0.8, 0.8, 0.75), (0.15, 0.15, 0.15)),
              ((half / 2, height, half / 2), (0.45, 0.5, 0.7), (0.1, 0.1, 0.1))]
    for (x, y, z), diffuse, ambient in lights:
        lines += ["[object]", "    [type]=point_light", "    [light_type]=POINT",
                  "    [x]=%.4f" % x, "    [y]=%.4f" % y, "    [z]=%.4f" % z]
        for channel, value in zip("rgba", diffuse + (1.0,)):
            lines.append("    [light_Diffuse_%s]=%.3f" % (channel, value))
        for channel, value in zip("rgba", ambient + (1.0,)):
            lines.append("    [light_Ambient_%s]=%.3f" % (channel, value))
        lines += ["    [light_Range]=%.1f" % (half * 10 + 1000),
                  "    [light_renderable]=0", "[/object]"]
    return "\n".join(lines) + "\n"


def write_effects(folder):
    """Ten distinct effect files (the sample Phong effect, each with its own
    colour so none is a copy of another) and one list per file."""
    with open(os.path.join(DATA, "fx", "phong.fx"), encoding="utf-8") as f:
        phong = f.read()
    default = "= {1, 1, 1, 1};"
    assert default in phong, "fx/phong.fx changed: Diffuse_Color default not found"
    for k in range(EFFECT_FILES):
        shade = 1.0 - 0.04 * k
        text = phong.replace(default, "= {%.2f, %.2f, 1, 1};" % (shade, 1.0 - 0.02 * k), 1)
        write_crlf(os.path.join(folder, "fx", "bench_%d.fx" % k), text)
        write_crlf(os.path.join(folder, "fx", "lists", "bench_%d.txt" % k),
                   "Effect %d of the benchmark objects.\n[Effect]\n    [path]=fx\\bench_%d.fx\n"
                   "    [type]=Microsoft\n    [technique]=standart\n[/Effect]\n" % (k, k))


def write_scene(out, name):
    models, count, effects = SCENES[name][:3]
    view = SCENES[name][3] if len(SCENES[name]) > 3 else ""
    folder = os.path.join(out, name)
    if os.path.exists(folder):
        shutil.rmtree(folder)
    os.makedirs(os.path.join(folder, "levels"))
    write_crlf(os.path.join(folder, "ini.txt"),
               "; benchmark settings\n[rezolution]=1024x768\n[CHspeed]=0.222\n[AAliasing]=true\n")
    write_crlf(os.path.join(folder, "levels", "map_new.txt"), level_text(models, count, effects, view))
    for rel in ("blank.x", "blank.bmp", os.path.join("fx", "include", "standard.fxh"),
                os.path.join("fx", "shadow", "Phong.fx"),
                os.path.join("fx", "shadow", "Shadow_Phong.fx"),
                os.path.join("fx", "shadow", "postPRocess.fx")):
        os.makedirs(os.path.dirname(os.path.join(folder, rel)) or folder, exist_ok=True)
        shutil.copyfile(os.path.join(DATA, rel), os.path.join(folder, rel))
    for m in set(models):
        file_name, extras, _, _, _ = MODELS[m]
        for f in [file_name] + extras:
            shutil.copyfile(find_model(f), os.path.join(folder, f))
    if effects:
        write_effects(folder)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    if "--list" in sys.argv:
        print("\n".join(SCENES))
        return
    out = sys.argv[1]
    names = sys.argv[2:] or list(SCENES)
    for name in names:
        write_scene(out, name)
    print("make_scenes: %d game folders in %s" % (len(names), out))


if __name__ == "__main__":
    main()
