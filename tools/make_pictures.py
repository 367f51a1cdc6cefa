#!/usr/bin/env python3
"""Draws Quellbar's pictures: the tray icon sets, the tray digit strips and
the program icon. Everything is drawn here from shapes and small pixel fonts,
so the build needs nothing but Python's standard library.

    make_pictures.py --resource-dir DIR --program-icon FILE [--check-ini INI] [--stamp FILE]

DIR receives tray/<set>/... as resource\\resource.ini names them; FILE is the
.ico with 16, 32 and 48 pixel images that is linked into zuvo.exe. With
--check-ini every picture that the ini's icon and digit sets name must be
among the pictures written, so that a typo fails the build instead of leaving
an empty tray icon.
"""

import argparse
import math
import os
import struct
import sys
import zlib

MAGENTA = (255, 0, 255)  # [icondefs] maskcolor of resource.ini

# --------------------------------------------------------------------------
# Picture files


class Picture:
    """Straight (not premultiplied) RGBA pixels, values 0..255, top row first."""

    def __init__(self, width, height, fill=(0, 0, 0, 0)):
        self.width = width
        self.height = height
        self.pixels = [list(fill) for _ in range(width * height)]

    def get(self, x, y):
        return self.pixels[y * self.width + x]

    def set(self, x, y, rgba):
        self.pixels[y * self.width + x] = list(rgba)

    def rows(self):
        for y in range(self.height):
            yield self.pixels[y * self.width:(y + 1) * self.width]


def png_bytes(picture, alpha=True):
    """PNG, 8 bits per channel: colour type 6 (RGBA) or 2 (RGB, no alpha)."""

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = bytearray()
    for row in picture.rows():
        raw.append(0)  # filter: none
        for p in row:
            raw.extend(p[:4] if alpha else p[:3])
    header = struct.pack(">IIBBBBB", picture.width, picture.height, 8, 6 if alpha else 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) +
            chunk(b"IEND", b""))


def bmp_bytes(picture):
    """24-bit BMP, bottom-up; no alpha channel."""
    stride = (picture.width * 3 + 3) & ~3
    data = bytearray()
    for y in range(picture.height - 1, -1, -1):
        row = bytearray()
        for x in range(picture.width):
            r, g, b = picture.get(x, y)[:3]
            row.extend((b, g, r))
        row.extend(b"\0" * (stride - len(row)))
        data.extend(row)
    info = struct.pack("<IiiHHIIiiII", 40, picture.width, picture.height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(data), 0, 0, 14 + len(info))
    return header + info + bytes(data)


def ico_bytes(pictures):
    """Icon file with one 32-bit image (XOR pixels plus AND mask) per picture."""
    images = []
    for pic in pictures:
        xor = bytearray()
        for y in range(pic.height - 1, -1, -1):
            for x in range(pic.width):
                r, g, b, a = pic.get(x, y)
                xor.extend((b, g, r, a))
        mask_stride = ((pic.width + 31) // 32) * 4
        mask = bytearray()
        for y in range(pic.height - 1, -1, -1):
            row = bytearray(mask_stride)
            for x in range(pic.width):
                if pic.get(x, y)[3] == 0:
                    row[x // 8] |= 0x80 >> (x % 8)
            mask.extend(row)
        info = struct.pack("<IiiHHIIiiII", 40, pic.width, pic.height * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
        images.append((pic, info + bytes(xor) + bytes(mask)))
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for pic, data in images:
        size = lambda v: 0 if v >= 256 else v
        out.extend(struct.pack("<BBBBHHII", size(pic.width), size(pic.height), 0, 0, 1, 32, len(data), offset))
        offset += len(data)
    for _, data in images:
        out.extend(data)
    return bytes(out)


# --------------------------------------------------------------------------
# Drawing with signed distances: a shape is a function (x, y) -> distance to
# its edge, negative inside. Coordinates are in pixels, (0, 0) the top left
# corner of the top left pixel.

SAMPLES = 6  # per axis and pixel


def polygon(points):
    edges = list(zip(points, points[1:] + points[:1]))

    def distance(x, y):
        best = float("inf")
        inside = False
        for (x1, y1), (x2, y2) in edges:
            dx, dy = x2 - x1, y2 - y1
            length2 = dx * dx + dy * dy
            t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((x - x1) * dx + (y - y1) * dy) / length2))
            best = min(best, math.hypot(x - x1 - t * dx, y - y1 - t * dy))
            if (y1 > y) != (y2 > y) and x < x1 + (y - y1) * dx / dy:
                inside = not inside
        return -best if inside else best

    return distance


def rect(x1, y1, x2, y2):
    return polygon([(x1, y1), (x2, y1), (x2, y2), (x1, y2)])


def rounded_rect(x1, y1, x2, y2, radius):
    cx, cy = (x1 + x2) / 2, (y1 + y2) / 2
    hx, hy = (x2 - x1) / 2 - radius, (y2 - y1) / 2 - radius

    def distance(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - radius

    return distance


def segment(x1, y1, x2, y2, half_width):
    def distance(x, y):
        dx, dy = x2 - x1, y2 - y1
        t = max(0.0, min(1.0, ((x - x1) * dx + (y - y1) * dy) / (dx * dx + dy * dy)))
        return math.hypot(x - x1 - t * dx, y - y1 - t * dy) - half_width

    return distance


def circle(cx, cy, radius):
    return lambda x, y: math.hypot(x - cx, y - cy) - radius


def arc(cx, cy, radius, half_width, half_angle_degrees):
    """A band around the circle, opening to the right, with round ends."""
    limit = math.radians(half_angle_degrees)
    ends = [(cx + radius * math.cos(a), cy + radius * math.sin(a)) for a in (-limit, limit)]

    def distance(x, y):
        if abs(math.atan2(y - cy, x - cx)) <= limit:
            return abs(math.hypot(x - cx, y - cy) - radius) - half_width
        return min(math.hypot(x - ex, y - ey) for ex, ey in ends) - half_width

    return distance


def union(*shapes):
    return lambda x, y: min(s(x, y) for s in shapes)


def grown(shape, by):
    return lambda x, y: shape(x, y) - by


def over(picture, x, y, rgb, alpha):
    """Lays a colour with alpha 0..1 over one pixel (straight alpha)."""
    if alpha <= 0:
        return
    r, g, b, a = picture.get(x, y)
    da = a / 255.0
    out_a = alpha + da * (1 - alpha)
    mix = lambda s, d: (s * alpha + d * da * (1 - alpha)) / out_a
    picture.set(x, y, (mix(rgb[0], r), mix(rgb[1], g), mix(rgb[2], b), out_a * 255.0))


def paint(picture, shape, rgb, opacity=1.0, clip=None):
    """Fills a shape, anti-aliased by supersampling; `clip` limits it to another shape."""
    step = 1.0 / SAMPLES
    offsets = [(i + 0.5) * step for i in range(SAMPLES)]
    for y in range(picture.height):
        for x in range(picture.width):
            # Far from the edge the whole pixel is in or out.
            centre = shape(x + 0.5, y + 0.5)
            if centre > 0.75:
                continue
            if centre < -0.75 and clip is None:
                covered = 1.0
            else:
                hits = 0
                for oy in offsets:
                    for ox in offsets:
                        px, py = x + ox, y + oy
                        if shape(px, py) < 0 and (clip is None or clip(px, py) < 0):
                            hits += 1
                covered = hits / (SAMPLES * SAMPLES)
            over(picture, x, y, rgb, covered * opacity)


def finished(picture):
    """Rounds to bytes; fully transparent pixels become transparent black."""
    for i, p in enumerate(picture.pixels):
        a = int(round(p[3]))
        picture.pixels[i] = [0, 0, 0, 0] if a == 0 else [int(round(c)) for c in p[:3]] + [a]
    return picture


def scale_points(points, s):
    return [(x * s, y * s) for x, y in points]


# --------------------------------------------------------------------------
# The tray icon sets. Geometry is given on a 16-unit grid and scaled to the
# picture; the lower right part of the icon is left to the volume digits
# (rows 8 to 15, from column 6 on at 16 pixels), so the loudspeaker stands in
# the upper left and its sound waves to the right of it.

INK = (24, 32, 44)  # outlines
PAPER = (240, 244, 248)  # loudspeaker body
WAVE = (120, 200, 255)
RED = (235, 48, 40)
AMBER = (255, 196, 20)


def speaker_shape(s):
    body = rect(1.5 * s, 3.5 * s, 4.5 * s, 7.5 * s)
    cone = polygon(scale_points([(4.0, 3.5), (7.5, 0.5), (7.5, 10.5), (4.0, 7.5)], s))
    return union(body, cone)


def waves_shape(s):
    return union(arc(7.0 * s, 5.5 * s, 2.7 * s, 0.6 * s, 50), arc(7.0 * s, 5.5 * s, 5.6 * s, 0.6 * s, 48))


def tray_icon(size):
    s = size / 16.0
    pic = Picture(size, size)
    line = max(1.0, s * 0.9)
    speaker, waves = speaker_shape(s), waves_shape(s)
    paint(pic, grown(speaker, line), INK)
    paint(pic, speaker, PAPER)
    paint(pic, grown(waves, line * 0.8), INK)
    paint(pic, waves, WAVE)
    return finished(pic)


def tray_mute(size):
    s = size / 16.0
    pic = Picture(size, size)
    half = 0.75 * s
    cross = union(segment(9.5 * s, 2.0 * s, 14.5 * s, 8.0 * s, half),
                  segment(14.5 * s, 2.0 * s, 9.5 * s, 8.0 * s, half))
    paint(pic, grown(cross, max(1.0, 0.8 * s)), INK)
    paint(pic, cross, RED)
    return finished(pic)


def tray_error(size):
    s = size / 16.0
    pic = Picture(size, size)
    # The loudspeaker greyed out, then a warning sign where the waves were.
    line = max(1.0, s * 0.9)
    paint(pic, grown(union(speaker_shape(s), waves_shape(s)), line), (40, 40, 40), opacity=0.55)
    triangle = polygon(scale_points([(12.0, 0.5), (15.7, 8.0), (8.3, 8.0)], s))
    paint(pic, grown(triangle, max(1.0, 0.7 * s)), INK)
    paint(pic, triangle, AMBER)
    paint(pic, segment(12.0 * s, 3.0 * s, 12.0 * s, 5.2 * s, 0.55 * s), INK)
    paint(pic, circle(12.0 * s, 6.7 * s, 0.6 * s), INK)
    return finished(pic)


# The "classic" set: hard pixels on the mask colour, no alpha channel at all.
CLASSIC_PALETTE = {
    ".": MAGENTA, "k": (0, 0, 0), "w": (255, 255, 255), "g": (160, 160, 168),
    "b": (40, 120, 255), "r": (255, 0, 0), "y": (255, 220, 0),
}

CLASSIC_ICON = [
    "......k.........",
    ".....kk.....b...",
    "....kwk..b...b..",
    ".kkkwgk...b...b.",
    ".kwwwgk...b...b.",
    ".kwwwgk...b...b.",
    ".kkkwgk...b...b.",
    "....kwk..b...b..",
    ".....kk.....b...",
    "......k.........",
    "................",
    "................",
    "................",
    "................",
    "................",
    "................",
]

CLASSIC_MUTE = [
    "................",
    "........rr...rr.",
    ".........rr.rr..",
    "..........rrr...",
    "..........rrr...",
    ".........rr.rr..",
    "........rr...rr.",
    "................",
] + ["................"] * 8

CLASSIC_ERROR = [
    "...........k....",
    "..........kyk...",
    "..........kyk...",
    ".........kykyk..",
    ".........kykyk..",
    "........kyyyyyk.",
    "........kyykyyk.",
    ".......kkkkkkkkk",
] + ["................"] * 8


def from_rows(rows, palette):
    pic = Picture(len(rows[0]), len(rows))
    for y, row in enumerate(rows):
        assert len(row) == pic.width, row
        for x, ch in enumerate(row):
            pic.set(x, y, palette[ch] + (255,))
    return pic


# --------------------------------------------------------------------------
# Digit strips: pixel fonts drawn white so that the tray's tint turns them
# into the control's colour, with a dark edge so that they read on any
# picture. Tens glyph 0 is blank (7 shows as "7", not "07"); tens glyph 10 is
# "10" with a narrow one, so that 100 reads "100": the tens cell holds the
# narrow "1", a gap and the "0", the ones cell a gap and the digit, and
# dig01_w moves the tens cell left by the ones cell's width. One row of edge
# sits above the digit in each cell.

SMALL_FONT = {  # 4 x 7, for 16 pixels (and doubled for 32)
    "digits": {
        0: [".##.", "#..#", "#..#", "#..#", "#..#", "#..#", ".##."],
        1: ["..#.", ".##.", "..#.", "..#.", "..#.", "..#.", ".###"],
        2: [".##.", "#..#", "...#", "..#.", ".#..", "#...", "####"],
        3: ["###.", "...#", "...#", ".##.", "...#", "...#", "###."],
        4: ["..#.", ".##.", "#.#.", "#.#.", "####", "..#.", "..#."],
        5: ["####", "#...", "###.", "...#", "...#", "#..#", ".##."],
        6: [".##.", "#...", "#...", "###.", "#..#", "#..#", ".##."],
        7: ["####", "...#", "...#", "..#.", "..#.", ".#..", ".#.."],
        8: [".##.", "#..#", "#..#", ".##.", "#..#", "#..#", ".##."],
        9: [".##.", "#..#", "#..#", ".###", "...#", "...#", ".##."],
    },
    "one": [".#.", "##.", ".#.", ".#.", ".#.", ".#.", "###"],
}


def rows(text):
    return text.split()


MEDIUM_FONT = {  # 5 x 10, for 24 pixels: 150 % of the small one
    "digits": {
        0: rows(".###. #...# #...# #...# #...# #...# #...# #...# #...# .###."),
        1: rows("..#.. .##.. #.#.. ..#.. ..#.. ..#.. ..#.. ..#.. ..#.. #####"),
        2: rows(".###. #...# ....# ....# ...#. ..#.. .#... #.... #.... #####"),
        3: rows("####. ....# ....# ....# .###. ....# ....# ....# ....# ####."),
        4: rows("...#. ..##. .#.#. #..#. #..#. ##### ...#. ...#. ...#. ...#."),
        5: rows("##### #.... #.... ####. ....# ....# ....# ....# #...# .###."),
        6: rows(".###. #.... #.... #.... ####. #...# #...# #...# #...# .###."),
        7: rows("##### ....# ....# ...#. ...#. ..#.. ..#.. .#... .#... .#..."),
        8: rows(".###. #...# #...# #...# .###. #...# #...# #...# #...# .###."),
        9: rows(".###. #...# #...# #...# #...# .#### ....# ....# ....# .###."),
    },
    "one": rows(".#. ##. .#. .#. .#. .#. .#. .#. .#. ###"),
}


def cell_size(font, tens):
    """Width and height of one glyph cell of the tens or the ones strip."""
    digit_width = len(font["digits"][0][0])
    width = len(font["one"][0]) + 1 + digit_width if tens else 1 + digit_width
    return width, 1 + len(font["digits"][0])


def glyph_mask(font, index, tens):
    """The digit pixels of one glyph cell as a set of (x, y)."""
    dots = set()

    def put(glyph_rows, left):
        for y, row in enumerate(glyph_rows):
            for x, ch in enumerate(row):
                if ch == "#":
                    dots.add((left + x, 1 + y))

    tens_left = len(font["one"][0]) + 1
    if not tens:
        put(font["digits"][index], 1)
    elif index == 10:
        put(font["one"], 0)
        put(font["digits"][0], tens_left)
    elif index > 0:
        put(font["digits"][index], tens_left)
    return dots


def digit_strip(tens, scale, edge_alpha, alpha_channel, font=SMALL_FONT):
    """The strip of 11 (tens) or 10 (ones) glyphs. Without an alpha channel
    the background is the mask colour and the edge is solid black."""
    count = 11 if tens else 10
    width, cell_height = cell_size(font, tens)
    background = (0, 0, 0, 0) if alpha_channel else MAGENTA + (255,)
    pic = Picture(width * scale, cell_height * count * scale, background)
    for index in range(count):
        dots = glyph_mask(font, index, tens)
        edge = {(x + dx, y + dy) for x, y in dots for dx in (-1, 0, 1) for dy in (-1, 0, 1)} - dots
        top = index * cell_height
        for (x, y), colour in [(p, (0, 0, 0, edge_alpha)) for p in edge] + [(p, (255, 255, 255, 255)) for p in dots]:
            if not (0 <= x < width and 0 <= y < cell_height):
                continue
            for sy in range(scale):
                for sx in range(scale):
                    pic.set(x * scale + sx, (top + y) * scale + sy, colour)
    return pic


# --------------------------------------------------------------------------
# The program icon: the loudspeaker in white on a blue rounded square.


def program_icon(size):
    s = size / 16.0
    pic = Picture(size, size)
    square = rounded_rect(0.5 * s, 0.5 * s, 15.5 * s, 15.5 * s, 3.0 * s)
    paint(pic, square, (20, 70, 150))
    paint(pic, square, (70, 150, 240), clip=lambda x, y: y - size * 0.55)
    paint(pic, grown(square, -max(1.0, s)), (40, 110, 200))
    body = rect(3.0 * s, 6.0 * s, 5.5 * s, 10.0 * s)
    cone = polygon(scale_points([(5.0, 6.0), (8.5, 3.0), (8.5, 13.0), (5.0, 10.0)], s))
    waves = union(arc(8.0 * s, 8.0 * s, 2.4 * s, 0.55 * s, 48), arc(8.0 * s, 8.0 * s, 4.8 * s, 0.55 * s, 45))
    paint(pic, union(body, cone, waves), (255, 255, 255))
    return finished(pic)


# --------------------------------------------------------------------------


def pictures():
    """Every file of the resource folder: relative path -> bytes."""
    out = {}
    for name, size in (("default", 16), ("medium", 24), ("large", 32)):
        out[f"tray/{name}/icon.png"] = png_bytes(tray_icon(size))
        out[f"tray/{name}/mute.png"] = png_bytes(tray_mute(size))
        out[f"tray/{name}/err.png"] = png_bytes(tray_error(size))
    out["tray/classic/icon.bmp"] = bmp_bytes(from_rows(CLASSIC_ICON, CLASSIC_PALETTE))
    out["tray/classic/mute.bmp"] = bmp_bytes(from_rows(CLASSIC_MUTE, CLASSIC_PALETTE))
    out["tray/classic/err.bmp"] = bmp_bytes(from_rows(CLASSIC_ERROR, CLASSIC_PALETTE))
    for name, scale, edge, alpha, font in (("default", 1, 150, True, SMALL_FONT),
                                           ("medium", 1, 150, True, MEDIUM_FONT),
                                           ("large", 2, 150, True, SMALL_FONT),
                                           ("classic", 1, 255, False, SMALL_FONT)):
        for key, tens in (("dig10", True), ("dig01", False)):
            out[f"tray/{name}/{key}.png"] = png_bytes(digit_strip(tens, scale, edge, alpha, font), alpha)
    return out


def read_ini(path):
    """Sections of an ini file as the profile functions see them: names and
    keys without case, the first of a repeated key wins, other lines ignored."""
    with open(path, "rb") as f:
        raw = f.read()
    text = raw.decode("utf-16") if raw[:2] in (b"\xff\xfe", b"\xfe\xff") else raw.decode("latin-1")
    sections, current = {}, None
    for line in text.splitlines():
        line = line.strip()
        if line.startswith("[") and "]" in line:
            current = sections.setdefault(line[1:line.index("]")].strip().lower(), {})
        elif current is not None and "=" in line and not line.startswith(";"):
            key, value = line.split("=", 1)
            current.setdefault(key.strip().lower(), value.strip())
    return sections


def check_ini(ini_path, written):
    """Every icon and digit set listed in [sections] must name pictures that are made."""
    ini = read_ini(ini_path)
    names = {p.replace("/", "\\").lower() for p in written}
    problems = []
    for key, section in ini.get("sections", {}).items():
        if key.startswith("icon"):
            wanted = ("icon", "mute", "err")
        elif key.startswith("dig"):
            wanted = ("dig10", "dig01")
        else:
            continue
        if section.lower() not in ini:
            problems.append(f"[sections] {key}={section}: no section [{section}]")
            continue
        for picture_key in wanted:
            value = ini[section.lower()].get(picture_key, "")
            if value.lower() not in names:
                problems.append(f"[{section}] {picture_key}={value}: no such picture is made")
    for section, keys in ini.items():
        for variant in filter(None, (v.strip() for v in keys.get("variants", "").split(","))):
            if variant.lower() not in ini:
                problems.append(f"[{section}] variants: no section [{variant}]")
    return problems


def write(path, data):
    os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--resource-dir", required=True)
    parser.add_argument("--program-icon", required=True)
    parser.add_argument("--check-ini")
    parser.add_argument("--stamp")
    args = parser.parse_args()

    files = pictures()
    if args.check_ini:
        problems = check_ini(args.check_ini, files)
        if problems:
            for p in problems:
                print(f"{args.check_ini}: {p}", file=sys.stderr)
            return 1
    for relative, data in files.items():
        write(os.path.join(args.resource_dir, *relative.split("/")), data)
    write(args.program_icon, ico_bytes([program_icon(n) for n in (16, 32, 48)]))
    if args.stamp:
        with open(args.stamp, "w") as f:
            f.write("\n".join(sorted(files)) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
