#!/usr/bin/env python3
"""Generates the bundled sample game folder data/: models (.x, text and
binary), textures (BMP, PNG, TGA, DDS), the settings file and the level.

Everything here is made from scratch by this script; its output is committed,
so the engine's users never need to run it. Run it again after changing it:
    python3 scripts/make_sample_data.py
"""
import math
import os
import struct
import zlib

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data")


def path(*parts):
    p = os.path.join(ROOT, *parts)
    os.makedirs(os.path.dirname(p), exist_ok=True)
    return p


def write_bytes(rel, data):
    with open(path(*rel.split("/")), "wb") as f:
        f.write(data)


def write_crlf(rel, text):
    write_bytes(rel, text.replace("\n", "\r\n").encode("cp1251"))


# --------------------------------------------------------------------------
# Images: rows of (r, g, b, a) tuples, top row first
# --------------------------------------------------------------------------
def image(w, h, fn):
    return [[fn(x, y) for x in range(w)] for y in range(h)]


def bmp(rows):
    h, w = len(rows), len(rows[0])
    stride = (w * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b, _ in row:
            line += bytes((b, g, r))
        line += b"\0" * (stride - len(line))
        pixels += line
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return header + info + bytes(pixels)


def png(rows):
    h, w = len(rows), len(rows[0])
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for px in row:
            raw += bytes(px)

    def chunk(kind, data):
        c = struct.pack(">I", len(data)) + kind + data
        return c + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    ihdr = struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def tga(rows):
    h, w = len(rows), len(rows[0])
    header = struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, w, h, 32, 0x28)
    data = bytearray()
    for row in rows:
        for r, g, b, a in row:
            data += bytes((b, g, r, a))
    return header + bytes(data)


def dds_cube(size, face_fn):
    """Uncompressed A8R8G8B8 cube map with its full mip chain."""
    levels = int(math.log2(size)) + 1
    flags = 0x1 | 0x2 | 0x4 | 0x1000 | 0x20000 | 0x8  # caps height width pixelformat mipmapcount pitch
    pf = struct.pack("<II4sIIIII", 32, 0x41, b"\0\0\0\0", 32,
                     0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000)
    caps = struct.pack("<IIII", 0x1000 | 0x8 | 0x400000, 0xFE00, 0, 0)
    header = struct.pack("<4sIIIIIII", b"DDS ", 124, flags, size, size, size * 4, 0, levels)
    header += b"\0" * 44 + pf + caps + b"\0" * 4
    body = bytearray()
    for face in range(6):
        for level in range(levels):
            s = size >> level
            for y in range(s):
                for x in range(s):
                    r, g, b, a = face_fn(face, (x + 0.5) / s, (y + 0.5) / s)
                    body += bytes((b, g, r, a))
    return header + bytes(body)


def clamp8(v):
    return max(0, min(255, int(v)))


def checker(size, cells, c1, c2):
    def fn(x, y):
        return c1 if ((x * cells // size) + (y * cells // size)) % 2 == 0 else c2
    return image(size, size, fn)


def grass(x, y):
    n = (math.sin(x * 0.9) * math.cos(y * 1.3) + math.sin((x + y) * 0.37)) * 18
    line = 40 if (x % 32 == 0 or y % 32 == 0) else 0
    return (clamp8(70 + n - line), clamp8(130 + n - line), clamp8(55 + n / 2 - line), 255)


def crate(x, y):
    edge = x < 6 or y < 6 or x > 57 or y > 57 or abs(x - y) < 3 or abs(x + y - 63) < 3
    grain = math.sin(y * 0.8 + math.sin(x * 0.15) * 2) * 14
    if edge:
        return (clamp8(110 + grain), clamp8(70 + grain), clamp8(30), 255)
    return (clamp8(190 + grain), clamp8(140 + grain), clamp8(80 + grain / 2), 255)


def stone(x, y):
    row = y // 16
    brick = (x + (8 if row % 2 else 0)) // 32
    mortar = y % 16 == 0 or (x + (8 if row % 2 else 0)) % 32 == 0
    shade = ((brick * 37 + row * 91) % 40) - 20
    if mortar:
        return (200, 200, 190, 255)
    return (clamp8(150 + shade), clamp8(140 + shade), clamp8(125 + shade), 255)


def marble(x, y):
    v = math.sin(x * 0.12 + math.sin(y * 0.09) * 3.0) * 0.5 + 0.5
    return (clamp8(200 + 55 * v), clamp8(190 + 50 * v), clamp8(205 + 50 * v), 255)


def stripes(x, y):
    return (230, 60, 40, 255) if (x // 8) % 2 == 0 else (250, 220, 60, 255)


def sky(face, u, v):
    # +x -x +y -y +z -z: a blue sky above, warm horizon, dark ground below.
    if face == 2:
        return (90, 150, 235, 255)
    if face == 3:
        return (45, 40, 35, 255)
    t = v  # 0 at the top of a side face
    r = 90 + (245 - 90) * t * t
    g = 150 + (190 - 150) * t * t
    b = 235 + (130 - 235) * t * t
    if t > 0.5:
        r, g, b = r * (1.5 - t), g * (1.5 - t), b * (1.5 - t)
    return (clamp8(r), clamp8(g), clamp8(b), 255)


def bumps(x, y):
    # A tangent-space normal map of round studs.
    cx, cy = (x % 32) - 15.5, (y % 32) - 15.5
    d = math.hypot(cx, cy)
    if d < 11:
        h = math.sqrt(max(0.0, 1 - (d / 11) ** 2))
        nx, ny = cx / 11 * 0.8, cy / 11 * 0.8
        nz = max(0.2, h)
    else:
        nx, ny, nz = 0.0, 0.0, 1.0
    length = math.sqrt(nx * nx + ny * ny + nz * nz)
    return (clamp8((nx / length * 0.5 + 0.5) * 255), clamp8((ny / length * 0.5 + 0.5) * 255),
            clamp8((nz / length * 0.5 + 0.5) * 255), 255)


# --------------------------------------------------------------------------
# Meshes: vertices (position, normal, uv), faces (index tuples, clockwise seen
# from the front in the left-handed frame), one material index per face
# --------------------------------------------------------------------------
class Mesh:
    def __init__(self):
        self.pos, self.nrm, self.uv, self.faces, self.mat = [], [], [], [], []

    def vertex(self, p, n, uv):
        self.pos.append(p)
        self.nrm.append(n)
        self.uv.append(uv)
        return len(self.pos) - 1

    def quad(self, a, b, c, d, material):
        # a b c d run clockwise seen from the front.
        self.faces.append((a, b, c))
        self.faces.append((a, c, d))
        self.mat += [material, material]


def box(sx, sy, sz, material_of_face=lambda f: 0, uv_scale=1.0):
    m = Mesh()
    hx, hy, hz = sx / 2, sy / 2, sz / 2
    # (normal, right, up) for each face, seen from outside.
    faces = [((0, 0, -1), (1, 0, 0), (0, 1, 0)), ((0, 0, 1), (-1, 0, 0), (0, 1, 0)),
             ((1, 0, 0), (0, 0, 1), (0, 1, 0)), ((-1, 0, 0), (0, 0, -1), (0, 1, 0)),
             ((0, 1, 0), (1, 0, 0), (0, 0, 1)), ((0, -1, 0), (1, 0, 0), (0, 0, -1))]
    for f, (n, r, u) in enumerate(faces):
        def corner(a, b):
            return tuple(n[i] * (hx, hy, hz)[i] + r[i] * a * (hx, hy, hz)[i] +
                         u[i] * b * (hx, hy, hz)[i] for i in range(3))
        # Seen from outside with right and up as drawn: bottom-left, top-left,
        # top-right, bottom-right is clockwise.
        ids = [m.vertex(corner(a, b), n, ((a + 1) / 2 * uv_scale, (1 - b) / 2 * uv_scale))
               for a, b in ((-1, -1), (-1, 1), (1, 1), (1, -1))]
        m.quad(*ids, material_of_face(f))
    return m


def grid(size, cells, uv_repeat):
    m = Mesh()
    step = size / cells
    for j in range(cells + 1):
        for i in range(cells + 1):
            x, z = -size / 2 + i * step, -size / 2 + j * step
            m.vertex((x, 0.0, z), (0.0, 1.0, 0.0), (i / cells * uv_repeat, j / cells * uv_repeat))
    for j in range(cells):
        for i in range(cells):
            a = j * (cells + 1) + i
            # Seen from above (+y) in a left-handed frame: a (x,z), a+row (x,z+1)
            # clockwise order is a, a+row, a+row+1, a+1.
            m.quad(a, a + cells + 1, a + cells + 2, a + 1, (i + j) % 2)
    return m


def lathe(profile, segments, material_of_ring):
    """Revolves (radius, height, normal_r, normal_y) points about the y axis."""
    m = Mesh()
    rings = len(profile)
    for k, (r, y, nr, ny) in enumerate(profile):
        for s in range(segments + 1):
            a = 2 * math.pi * s / segments
            m.vertex((r * math.cos(a), y, r * math.sin(a)),
                     (nr * math.cos(a), ny, nr * math.sin(a)), (s / segments, k / (rings - 1)))
    for k in range(rings - 1):
        for s in range(segments):
            a = k * (segments + 1) + s
            b = a + segments + 1
            # Outward facing; angle grows counter-clockwise seen from above.
            m.quad(a, b, b + 1, a + 1, material_of_ring(k))
    return m


def torus(ring, tube, segments, sides):
    m = Mesh()
    for s in range(segments + 1):
        a = 2 * math.pi * s / segments
        for t in range(sides + 1):
            b = 2 * math.pi * t / sides
            n = (math.cos(b) * math.cos(a), math.sin(b), math.cos(b) * math.sin(a))
            p = ((ring + tube * math.cos(b)) * math.cos(a), tube * math.sin(b),
                 (ring + tube * math.cos(b)) * math.sin(a))
            m.vertex(p, n, (s / segments * 4, t / sides))
    for s in range(segments):
        for t in range(sides):
            a = s * (sides + 1) + t
            b = a + sides + 1
            m.quad(a, a + 1, b + 1, b, (s // 4) % 2)
    return m


def sphere(radius, slices, stacks):
    profile = []
    for k in range(stacks + 1):
        phi = math.pi * k / stacks
        profile.append((radius * math.sin(phi), radius * math.cos(phi), math.sin(phi),
                        math.cos(phi)))
    m = lathe(profile, slices, lambda k: 0)
    # The lathe faces outward for a profile running bottom to top; this one
    # runs top to bottom, so flip the winding.
    m.faces = [(a, c, b) for a, b, c in m.faces]
    return m


def pyramid(base, height):
    m = Mesh()
    h = base / 2
    apex = (0.0, height, 0.0)
    corners = [(-h, 0, -h), (h, 0, -h), (h, 0, h), (-h, 0, h)]
    for i in range(4):
        p0, p1 = corners[i], corners[(i + 1) % 4]
        e1 = [p1[k] - p0[k] for k in range(3)]
        e2 = [apex[k] - p0[k] for k in range(3)]
        n = [e2[1] * e1[2] - e2[2] * e1[1], e2[2] * e1[0] - e2[0] * e1[2],
             e2[0] * e1[1] - e2[1] * e1[0]]
        length = math.sqrt(sum(c * c for c in n))
        n = tuple(c / length for c in n)
        a = m.vertex(p0, n, (0.0, 1.0))
        b = m.vertex(apex, n, (0.5, 0.0))
        c = m.vertex(p1, n, (1.0, 1.0))
        m.faces.append((a, b, c))
        m.mat.append(i % 2)
    ids = [m.vertex(p, (0, -1, 0), (p[0] / base + 0.5, p[2] / base + 0.5)) for p in corners]
    m.quad(ids[0], ids[1], ids[2], ids[3], 0)
    return m


# --------------------------------------------------------------------------
# .x writers
# --------------------------------------------------------------------------
def material_text(mat):
    r, g, b, a = mat["diffuse"]
    s = mat.get("specular", (0.0, 0.0, 0.0))
    e = mat.get("emissive", (0.0, 0.0, 0.0))
    out = "  Material {\n   %.6f;%.6f;%.6f;%.6f;;\n   %.6f;\n   %.6f;%.6f;%.6f;;\n   %.6f;%.6f;%.6f;;\n" % (
        r, g, b, a, mat.get("power", 0.0), s[0], s[1], s[2], e[0], e[1], e[2])
    if mat.get("texture"):
        out += '   TextureFilename {\n    "%s";\n   }\n' % mat["texture"]
    return out + "  }\n"


def x_text(mesh, materials, name="Model"):
    v = mesh
    lines = ["xof 0302txt 0032", "", "Frame Root {",
             " FrameTransformMatrix {",
             "  1.000000,0.000000,0.000000,0.000000,0.000000,1.000000,0.000000,0.000000,"
             "0.000000,0.000000,1.000000,0.000000,0.000000,0.000000,0.000000,1.000000;;",
             " }", " Mesh %s {" % name, "  %d;" % len(v.pos)]
    lines += ["  %.6f;%.6f;%.6f;%s" % (p[0], p[1], p[2], "," if i + 1 < len(v.pos) else ";")
              for i, p in enumerate(v.pos)]
    lines.append("  %d;" % len(v.faces))
    lines += ["  3;%d,%d,%d;%s" % (f[0], f[1], f[2], "," if i + 1 < len(v.faces) else ";")
              for i, f in enumerate(v.faces)]
    lines += ["  MeshNormals {", "   %d;" % len(v.nrm)]
    lines += ["   %.6f;%.6f;%.6f;%s" % (n[0], n[1], n[2], "," if i + 1 < len(v.nrm) else ";")
              for i, n in enumerate(v.nrm)]
    lines.append("   %d;" % len(v.faces))
    lines += ["   3;%d,%d,%d;%s" % (f[0], f[1], f[2], "," if i + 1 < len(v.faces) else ";")
              for i, f in enumerate(v.faces)]
    lines += ["  }", "  MeshTextureCoords {", "   %d;" % len(v.uv)]
    lines += ["   %.6f;%.6f;%s" % (t[0], t[1], "," if i + 1 < len(v.uv) else ";")
              for i, t in enumerate(v.uv)]
    lines += ["  }", "  MeshMaterialList {", "   %d;" % len(materials), "   %d;" % len(v.faces)]
    lines += ["   %d%s" % (m, "," if i + 1 < len(v.mat) else ";") for i, m in enumerate(v.mat)]
    text = "\n".join(lines) + "\n"
    for mat in materials:
        text += material_text(mat)
    text += "  }\n }\n}\n"
    return text.replace("\n", "\r\n").encode("ascii")


class Binary_X:
    """Token writer for the binary .x format (32-bit floats)."""

    def __init__(self):
        self.data = bytearray(b"xof 0302bin 0032")

    def name(self, text):
        self.data += struct.pack("<HI", 1, len(text)) + text.encode("ascii")

    def string(self, text):
        self.data += struct.pack("<HI", 2, len(text)) + text.encode("ascii") + struct.pack("<H", 20)

    def ints(self, values):
        self.data += struct.pack("<HI", 6, len(values)) + struct.pack("<%dI" % len(values), *values)

    def floats(self, values):
        self.data += struct.pack("<HI", 7, len(values)) + struct.pack("<%df" % len(values), *values)

    def open(self):
        self.data += struct.pack("<H", 10)

    def close(self):
        self.data += struct.pack("<H", 11)


def x_binary(mesh, materials, name="Model"):
    v = mesh
    w = Binary_X()
    w.name("Frame"); w.name("Root"); w.open()
    w.name("FrameTransformMatrix"); w.open()
    w.floats([1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1]); w.close()
    w.name("Mesh"); w.name(name); w.open()
    w.ints([len(v.pos)]); w.floats([c for p in v.pos for c in p])
    w.ints([len(v.faces)] + [x for f in v.faces for x in (3,) + tuple(f)])
    w.name("MeshNormals"); w.open()
    w.ints([len(v.nrm)]); w.floats([c for n in v.nrm for c in n])
    w.ints([len(v.faces)] + [x for f in v.faces for x in (3,) + tuple(f)])
    w.close()
    w.name("MeshTextureCoords"); w.open()
    w.ints([len(v.uv)]); w.floats([c for t in v.uv for c in t]); w.close()
    w.name("MeshMaterialList"); w.open()
    w.ints([len(materials), len(v.faces)] + list(v.mat))
    for mat in materials:
        w.name("Material"); w.open()
        s = mat.get("specular", (0.0, 0.0, 0.0))
        e = mat.get("emissive", (0.0, 0.0, 0.0))
        w.floats(list(mat["diffuse"]) + [mat.get("power", 0.0)] + list(s) + list(e))
        if mat.get("texture"):
            w.name("TextureFilename"); w.open(); w.string(mat["texture"]); w.close()
        w.close()
    w.close()
    w.close()
    w.close()
    return bytes(w.data)


# --------------------------------------------------------------------------
# The folder
# --------------------------------------------------------------------------

LEVEL = """\
Quillmoor sample level. Lines that do not start with '[' are comments.

[CameraPosX]=0
[CameraPosY]=70
[CameraPosZ]=-190
[CameraLookX]=0
[CameraLookY]=-0.3
[CameraLookZ]=1

--- the ground -------------------------------------------------------------
[object]
    [type]=static_mesh
    [name]=models\\ground.x
    [x]=0
    [y]=0
    [z]=0
[/object]

--- plain objects ------------------------------------------------------------
[object]
    [name]=models\\crate.x
    [x]=-60
    [y]=10
    [z]=-20
[/object]

[object]
    [name]=models\\column.x
    [x]=70
    [y]=0
    [z]=30
[/object]

[object]
    [name]=models\\pyramid.x
    [x]=-70
    [y]=0
    [z]=70
[/object]

[object]
    [name]=models\\torus.x
    [x]=0
    [y]=6
    [z]=-40
[/object]

the same crate model, wearing marble through its diffuse texture
[object]
    [name]=models\\crate.x
    [x]=-95
    [y]=10
    [z]=20
    [diffuse_texture]=textures\\marble.png
[/object]

--- a blended glass pane (alpha above 100) ---------------------------------
[object]
    [name]=models\\glass.x
    [x]=30
    [y]=15
    [z]=-70
    [alpha]=150
[/object]

--- objects drawn through their effects -------------------------------------
per-pixel Phong lit by the first light
[object]
    [name]=models\\sphere.x
    [x]=25
    [y]=20
    [z]=25
    [diffuse_texture]=textures\\marble.png
    [shader]=fx\\lists\\phong.txt
[/object]

a normal-mapped box
[object]
    [name]=models\\crate.x
    [x]=-28
    [y]=10
    [z]=35
    [diffuse_texture]=textures\\stone.bmp
    [bump_texture]=textures\\studs_normal.png
    [shader]=fx\\lists\\normal_map.txt
[/object]

a sphere reflecting a cube map
[object]
    [name]=models\\sphere.x
    [x]=110
    [y]=20
    [z]=80
    [diffuse_texture]=textures\\marble.png
    [reflection_texture]=textures\\sky_cube.dds
    [shader]=fx\\lists\\env_map.txt
[/object]

two passes: lit, then an additive rim glow
[object]
    [name]=models\\sphere.x
    [x]=40
    [y]=20
    [z]=100
    [diffuse_texture]=textures\\stripes.tga
    [shader]=fx\\lists\\rim_glow.txt
[/object]

two effects on one object: Phong, then a tint
[object]
    [name]=models\\sphere.x
    [x]=-20
    [y]=20
    [z]=100
    [diffuse_texture]=textures\\stripes.tga
    [shader]=fx\\lists\\phong_tint.txt
[/object]

--- lights -------------------------------------------------------------------
the first light drifts slowly along +x
[object]
    [type]=point_light
    [light_type]=POINT
    [x]=-20
    [y]=80
    [z]=0
    [light_Diffuse_r]=1.0
    [light_Diffuse_g]=0.95
    [light_Diffuse_b]=0.8
    [light_Diffuse_a]=1
    [light_Ambient_r]=1.0
    [light_Ambient_g]=0.9
    [light_Ambient_b]=0.5
    [light_Ambient_a]=1
    [light_Range]=400
    [light_renderable]=1
[/object]

[object]
    [type]=point_light
    [light_type]=SPOT
    [x]=110
    [y]=90
    [z]=-60
    [light_Direction_x]=-0.5
    [light_Direction_y]=-0.8
    [light_Direction_z]=0.4
    [light_Ambient_r]=0.3
    [light_Ambient_g]=0.6
    [light_Ambient_b]=1.0
    [light_Range]=400
    [light_renderable]=1
[/object]

a light that only lights: no marker
[object]
    [type]=point_light
    [x]=-120
    [y]=60
    [z]=120
    [light_Range]=300
    [light_renderable]=0
[/object]
"""

EFFECT_LISTS = {
    "phong": [("fx\\phong.fx", "standart")],
    "normal_map": [("fx\\normal_map.fx", "standart")],
    "env_map": [("fx\\env_map.fx", "standart")],
    "rim_glow": [("fx\\rim_glow.fx", "standart")],
    "phong_tint": [("fx\\phong.fx", "standart"), ("fx\\tint.fx", "standart")],
}


def main():
    # Textures. ground.bmp and stone.bmp live only in textures\, so the models
    # find them through the folder prefix.
    write_bytes("textures/ground.bmp", bmp(image(128, 128, grass)))
    write_bytes("textures/crate.png", png(image(64, 64, crate)))
    write_bytes("textures/stone.bmp", bmp(image(128, 128, stone)))
    write_bytes("textures/marble.png", png(image(128, 128, marble)))
    write_bytes("textures/stripes.tga", tga(image(64, 64, stripes)))
    write_bytes("textures/studs_normal.png", png(image(128, 128, bumps)))
    write_bytes("textures/sky_cube.dds", dds_cube(32, sky))
    write_bytes("blank.bmp", bmp(checker(16, 2, (255, 0, 255, 255), (20, 20, 20, 255))))

    white = (1.0, 1.0, 1.0, 1.0)
    write_bytes("models/ground.x", x_text(
        grid(400.0, 16, 8.0),
        [{"diffuse": white, "texture": "ground.bmp"},
         {"diffuse": (0.9, 1.0, 0.9, 1.0), "texture": "ground.bmp"}], "Ground"))
    write_bytes("models/crate.x", x_text(
        box(20, 20, 20), [{"diffuse": white, "texture": "crate.png"}], "Crate"))
    column = lathe([(9, 0, 0, -1), (9, 0, 1, 0), (7, 4, 1, 0), (7, 50, 1, 0), (9, 54, 1, 0),
                    (9, 58, 0, 1), (0.01, 58, 0, 1)], 24,
                   lambda k: 0 if 1 <= k <= 3 else 1)
    write_bytes("models/column.x", x_binary(
        column, [{"diffuse": white, "texture": "stone.bmp"},
                 {"diffuse": (1.0, 0.8, 0.0, 1.0), "specular": (1, 1, 1), "power": 20.0}],
        "Column"))
    write_bytes("models/pyramid.x", x_binary(
        pyramid(40, 35), [{"diffuse": (1.0, 0.6, 0.0, 1.0)}, {"diffuse": (1.0, 0.0, 0.0, 1.0)}],
        "Pyramid"))
    write_bytes("models/torus.x", x_text(
        torus(18, 6, 32, 16),
        [{"diffuse": white, "texture": "stripes.tga"}, {"diffuse": (0.0, 0.6, 1.0, 1.0)}],
        "Torus"))
    write_bytes("models/glass.x", x_text(
        box(30, 30, 2), [{"diffuse": (0.2, 0.5, 0.8, 0.35)}], "Glass"))
    write_bytes("models/sphere.x", x_text(
        sphere(14, 32, 16), [{"diffuse": white, "specular": (1, 1, 1), "power": 32.0}],
        "Sphere"))
    write_bytes("blank.x", x_text(
        box(8, 8, 8), [{"diffuse": (1.0, 0.0, 1.0, 1.0)}], "Blank"))

    write_crlf("levels/map_new.txt", LEVEL)
    for name, entries in EFFECT_LISTS.items():
        text = "Effects of the %s objects.\n" % name
        for path, technique in entries:
            text += "[Effect]\n    [path]=%s\n    [type]=Microsoft\n    [technique]=%s\n[/Effect]\n" % (
                path, technique)
        write_crlf("fx/lists/%s.txt" % name, text)
    write_crlf("ini.txt", "; Quillmoor settings\n[rezolution]=1024x768\n[CHspeed]=0.222\n"
               "[AAliasing]=true\n")


if __name__ == "__main__":
    main()
