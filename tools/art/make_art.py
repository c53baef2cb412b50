#!/usr/bin/env python3
"""Draws Selvane's icon and Welcome picture and writes them in the exact resource formats.

    python3 tools/art/make_art.py [--preview DIR]

Writes res/selvane.ico (one 32x32 32-bpp image with a 1-bit AND mask, 4264 bytes) and
res/welcome.bmp (200x173, 24 bpp, bottom-up, 2835 px/m, no colour table). Both outputs are
committed, so building the program needs neither Python nor ImageMagick. With --preview,
enlarged PNG copies are written to DIR for looking at the result.

Shapes are signed distance functions evaluated once per pixel centre (distance in pixels
gives the anti-aliased coverage); text comes from ImageMagick's `convert` as grey masks.
Everything is deterministic: same inputs, same bytes.
"""

import math
import os
import struct
import subprocess
import sys
import zlib

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
FONT_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"


def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def hexcol(s):
    s = s.lstrip("#")
    return tuple(int(s[i:i + 2], 16) / 255.0 for i in (0, 2, 4))


def mix(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


# ---- signed distance functions (negative inside), in scene units ----

def sd_circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def sd_rrect(x0, y0, x1, y1, r):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r

    def f(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - r
    return f


def sd_capsule(ax, ay, bx, by, r):
    dx, dy = bx - ax, by - ay
    ll = dx * dx + dy * dy

    def f(x, y):
        t = clamp(((x - ax) * dx + (y - ay) * dy) / ll)
        return math.hypot(x - ax - t * dx, y - ay - t * dy) - r
    return f


def sd_polygon(pts):
    n = len(pts)

    def f(x, y):
        d = float("inf")
        inside = False
        for i in range(n):
            (x0, y0), (x1, y1) = pts[i], pts[(i + 1) % n]
            ex, ey = x1 - x0, y1 - y0
            t = clamp(((x - x0) * ex + (y - y0) * ey) / (ex * ex + ey * ey))
            d = min(d, math.hypot(x - x0 - t * ex, y - y0 - t * ey))
            if (y0 > y) != (y1 > y) and x < x0 + (y - y0) * ex / (ey or 1e-12):
                inside = not inside
        return -d if inside else d
    return f


def sd_ring(cx, cy, r, w):
    c = sd_circle(cx, cy, r)
    return lambda x, y: abs(c(x, y)) - w / 2


def sd_intersect(a, b):
    return lambda x, y: max(a(x, y), b(x, y))


def sd_subtract(a, b):
    return lambda x, y: max(a(x, y), -b(x, y))


def sd_halfplane(nx, ny, c):
    """Inside where nx*x + ny*y < c."""
    return lambda x, y: nx * x + ny * y - c


def text_mask(text, size, bold=False):
    """Grey coverage mask of one line of text: (width, height, rows of 0..1)."""
    escaped = text.replace("\\", "\\\\").replace("%", "%%")
    out = subprocess.run(
        ["convert", "-background", "black", "-fill", "white", "-font",
         FONT_BOLD if bold else FONT, "-pointsize", str(size), "label:" + escaped,
         "-depth", "8", "pgm:-"], check=True, stdout=subprocess.PIPE).stdout
    # Binary PGM: "P5\n<w> <h>\n255\n" then bytes.
    parts = out.split(maxsplit=4)
    w, h = int(parts[1]), int(parts[2])
    data = parts[4]
    return w, h, [[data[j * w + i] / 255.0 for i in range(w)] for j in range(h)]


class View:
    """Maps pixel centres to scene coordinates: a zoom of factor s about (cx, cy)."""

    def __init__(self, s=1.0, cx=0.0, cy=0.0):
        self.s, self.cx, self.cy = s, cx, cy

    def to_scene(self, px, py):
        return self.cx + (px - self.cx) / self.s, self.cy + (py - self.cy) / self.s

    def to_pixel(self, x, y):
        return self.cx + (x - self.cx) * self.s, self.cy + (y - self.cy) * self.s


class Canvas:
    def __init__(self, w, h):
        self.w, self.h = w, h
        self.px = [[(0.0, 0.0, 0.0, 0.0)] * w for _ in range(h)]

    def blend(self, x, y, rgb, a):
        if a <= 0.0:
            return
        r0, g0, b0, a0 = self.px[y][x]
        out = a + a0 * (1 - a)
        if out <= 0.0:
            return
        k = a0 * (1 - a)
        self.px[y][x] = ((rgb[0] * a + r0 * k) / out, (rgb[1] * a + g0 * k) / out,
                         (rgb[2] * a + b0 * k) / out, out)

    def fill(self, sd, color, alpha=1.0, view=None, clip=None, blur=1.0, box=None):
        """Paints shape `sd` with `color` (rgb or f(x, y) -> rgb in scene units).

        `blur` widens the edge (in pixels) for soft shadows; `clip(px, py)` gives a
        0..1 coverage in pixels that limits the paint; `box` bounds the pixels visited.
        """
        view = view or View()
        x0, y0, x1, y1 = box or (0, 0, self.w, self.h)
        for py in range(max(0, int(y0)), min(self.h, int(math.ceil(y1)))):
            for px in range(max(0, int(x0)), min(self.w, int(math.ceil(x1)))):
                sx, sy = view.to_scene(px + 0.5, py + 0.5)
                d = sd(sx, sy) * view.s
                cov = clamp(0.5 - d / blur)
                if cov <= 0.0:
                    continue
                if clip:
                    cov *= clip(px + 0.5, py + 0.5)
                rgb = color(sx, sy) if callable(color) else color
                self.blend(px, py, rgb, cov * alpha)

    def text(self, x, y, text, size, color, bold=False, view=None, clip=None, alpha=1.0,
             centre=False):
        """Draws text whose label box has its top-left corner at scene point (x, y), or,
        with `centre`, whose inked pixels are centred on (x, y). Returns the width in
        scene units."""
        view = view or View()
        w, h, mask = text_mask(text, round(size * view.s, 2), bold)
        ox, oy = view.to_pixel(x, y)
        if centre:
            cols = [i for i in range(w) if any(mask[j][i] > 0.2 for j in range(h))]
            rows = [j for j in range(h) if any(mask[j][i] > 0.2 for i in range(w))]
            ox -= (cols[0] + cols[-1] + 1) / 2
            oy -= (rows[0] + rows[-1] + 1) / 2
        ox, oy = int(round(ox)), int(round(oy))
        for j in range(h):
            for i in range(w):
                px, py = ox + i, oy + j
                if 0 <= px < self.w and 0 <= py < self.h and mask[j][i] > 0:
                    cov = mask[j][i] * alpha
                    if clip:
                        cov *= clip(px + 0.5, py + 0.5)
                    self.blend(px, py, color, cov)
        return w / view.s

    def rgba8(self):
        return [[tuple(int(round(clamp(c) * 255)) for c in p) for p in row] for row in self.px]


def png_bytes(rows, scale=1):
    """RGBA PNG of `rows` (lists of 8-bit tuples), enlarged `scale` times."""
    h, w = len(rows) * scale, len(rows[0]) * scale
    raw = bytearray()
    for row in rows:
        line = bytearray(b"\0")
        for p in row:
            line += bytes(p) * scale
        raw += bytes(line) * scale

    def chunk(tag, data):
        return (struct.pack(">I", len(data)) + tag + data +
                struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


# ---- the pictures ----

INK = hexcol("#1b2a41")
RIM_DARK, RIM_LIGHT = hexcol("#2e3440"), hexcol("#9aa3b0")
GLASS = hexcol("#d6ecff")


def lens_clip(cx, cy, r):
    return lambda px, py: clamp(r + 0.5 - math.hypot(px - cx, py - cy))


def draw_glass(c, cx, cy, r, rim, handle_len, handle_w, shadow=None, shine=0.6):
    """A magnifying glass: lens of radius r centred on (cx, cy), handle to the lower right."""
    k = math.sqrt(0.5)
    hx0, hy0 = cx + (r + rim * 0.3) * k, cy + (r + rim * 0.3) * k
    hx1, hy1 = hx0 + handle_len * k, hy0 + handle_len * k
    ring = sd_ring(cx, cy, r + rim / 2, rim)
    handle = sd_capsule(hx0 + rim * 0.8 * k, hy0 + rim * 0.8 * k, hx1, hy1, handle_w / 2)
    collar = sd_capsule(hx0, hy0, hx0 + rim * 1.6 * k, hy0 + rim * 1.6 * k, handle_w * 0.38)
    if shadow:
        dx, dy, blur, a = shadow
        for part in (ring, handle):
            c.fill(lambda x, y, p=part: p(x - dx, y - dy), (0, 0, 0), a, blur=blur)
    # Glass: a faint blue tint, brighter toward the top left.
    c.fill(sd_circle(cx, cy, r + 0.5),
           lambda x, y: mix(GLASS, (1, 1, 1), clamp((cy - y + cx - x) / (2 * r) + 0.5)), 0.12)
    # Reflection: a crescent along the upper-left inside of the rim.
    crescent = sd_subtract(sd_circle(cx, cy, r * 0.78),
                           sd_circle(cx + r * 0.12, cy + r * 0.12, r * 0.74))
    c.fill(sd_intersect(crescent, sd_halfplane(1, 1, cx + cy - r * 0.15)), (1, 1, 1), shine)
    # Handle: dark, lit from the top left.
    c.fill(handle, lambda x, y: mix(hexcol("#5a3a22"), hexcol("#24160d"),
                                    clamp(((x - hx0) - (y - hy0)) / handle_w + 0.5)))
    # A thin shine along the lower-left side of the handle.
    side = handle_w * 0.15
    c.fill(sd_capsule(hx0 + rim * 1.2 * k - side, hy0 + rim * 1.2 * k + side,
                      hx1 - handle_w * 0.3 * k - side, hy1 - handle_w * 0.3 * k + side,
                      handle_w * 0.09), (1, 1, 1), 0.25)
    c.fill(collar, lambda x, y: mix(RIM_LIGHT, RIM_DARK, clamp((x - hx0 + y - hy0) / (3 * rim))))
    # Rim: metal shading from light (top left) to dark (bottom right).
    c.fill(ring, lambda x, y: mix(RIM_LIGHT, RIM_DARK,
                                  clamp((x - cx + y - cy) / (2.2 * (r + rim)) + 0.5)))
    c.fill(sd_ring(cx, cy, r + rim, 0.6), RIM_DARK, 0.8)


def draw_icon():
    c = Canvas(32, 32)
    cx, cy, r = 12.5, 12.5, 8.6

    def label(view=None, clip=None):
        # A drive label: a yellow tag with an eyelet, reading "C:\".
        edge = hexcol("#8a6514")
        c.fill(sd_rrect(3.0, 6.0, 31.0, 19.0, 2.5), edge, view=view, clip=clip)
        c.fill(sd_rrect(4.0, 7.0, 30.0, 18.0, 1.8),
               lambda x, y: mix(hexcol("#fff8da"), hexcol("#f2c94c"), clamp((y - 7.0) / 11)),
               view=view, clip=clip)
        c.fill(sd_circle(27.0, 12.5, 1.9), edge, view=view, clip=clip)
        c.fill(sd_circle(27.0, 12.5, 1.1), hexcol("#ffffff"), view=view, clip=clip)
        c.text(cx, cy, "C:\\", 7.4, INK, bold=True, view=view, clip=clip, centre=True)

    label()
    # Behind the glass the label appears enlarged; the ring covers the seam.
    label(view=View(1.3, cx, cy), clip=lens_clip(cx, cy, r))
    draw_glass(c, cx, cy, r, 2.2, 9.0, 4.2, shine=0.35)
    return c


def torn_sheet(x0, y0, x1, y1):
    """Outline of a sheet whose bottom edge is torn off irregularly (fixed pattern)."""
    pts = [(x0, y0), (x1, y0), (x1, y1 - 6)]
    offsets = [2, -3, 1, 4, -2, 3, -4, 0, 3, -1, 5, -3, 1, -4, 2, 4, -2, 0, 3, -3, 2, -1, 4,
               -2, 1, 3, -4, 2, -1, 3]
    step = (x1 - x0) / len(offsets)
    for i, off in enumerate(offsets):
        x = x1 - (i + 0.5) * step
        pts.append((x, y1 + off * 0.8 + (3 if i % 2 else -1)))
    pts.append((x0, y1 - 2))
    return pts


def draw_welcome():
    W, H = 200, 173
    c = Canvas(W, H)
    # Grey background, lighter at the top.
    c.fill(lambda x, y: -1.0, lambda x, y: mix(hexcol("#c9ccd1"), hexcol("#a4a8ae"), y / H))

    sheet = torn_sheet(12.0, 10.0, 178.0, 150.0)
    body = sd_polygon(sheet)
    c.fill(lambda x, y: body(x - 3, y - 4), (0, 0, 0), 0.35, blur=6.0)

    lines = [
        (28, "C:\\Users\\Public", hexcol("#ffffff"), True),
        (50, "D:\\Folder\\notes.txt", hexcol("#2b2b2b"), False),
        (72, "http://www.example.com", hexcol("#1a4fb0"), False),
    ]

    def paper(view=None, clip=None):
        c.fill(body, lambda x, y: mix(hexcol("#ffffff"), hexcol("#f1efe6"), y / H),
               view=view, clip=clip)
        # Ruled lines and a margin, as on a notepad sheet.
        for i in range(8):
            yy = 39.5 + i * 22
            c.fill(sd_intersect(sd_rrect(12, yy - 0.5, 178, yy + 0.5, 0), body),
                   hexcol("#9cc3e6"), 0.55, view=view, clip=clip)
        c.fill(sd_intersect(sd_rrect(27.5, 10, 28.5, 160, 0), body), hexcol("#e08a8a"), 0.7,
               view=view, clip=clip)
        for top, text, colour, selected in lines:
            x = 34.0
            if selected:
                w = text_mask(text, 9.0)[0]
                c.fill(sd_rrect(x - 2, top - 1, x + w + 2, top + 11.5, 1.0), hexcol("#3778d6"),
                       view=view, clip=clip)
            width = c.text(x, top, text, 9.0, colour, view=view, clip=clip)
            if text.startswith("http"):
                c.fill(sd_rrect(x, top + 10.0, x + width, top + 10.8, 0), colour,
                       view=view, clip=clip)
        # A fold-over of the torn strip: lighter fibres along the edge.
        c.fill(sd_intersect(lambda x, y: abs(body(x, y)) - 0.6, sd_halfplane(0, -1, -140)),
               hexcol("#d8d4c6"), 0.9, view=view, clip=clip)

    paper()
    cx, cy, r = 130.0, 84.0, 27.0
    view = View(1.45, cx, cy)
    clip = lens_clip(cx, cy, r)
    # What lies under the glass, enlarged: background first, then the sheet.
    c.fill(sd_circle(cx, cy, r + 1),
           lambda x, y: mix(hexcol("#c9ccd1"), hexcol("#a4a8ae"), y / H), clip=clip)
    paper(view=view, clip=clip)
    draw_glass(c, cx, cy, r, 5.0, 34.0, 10.0, shadow=(4.0, 5.0, 5.0, 0.3))
    return c


def ico_bytes(canvas):
    rgba = canvas.rgba8()
    xor = bytearray()
    for row in reversed(rgba):
        for r, g, b, a in row:
            xor += bytes((b, g, r, a) if a else (0, 0, 0, 0))
    mask = bytearray()
    for row in reversed(rgba):
        bits = 0
        for x, p in enumerate(row):
            if p[3] == 0:
                bits |= 1 << (31 - x)
        mask += struct.pack(">I", bits)
    header = struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = header + xor + mask
    assert len(image) == 4264
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 32, 32, 0, 0, 1, 32,
                                                          len(image), 22)
    return directory + image


def bmp_bytes(canvas):
    rgba = canvas.rgba8()
    w, h = canvas.w, canvas.h
    stride = (w * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(rgba):
        line = bytearray()
        for r, g, b, a in row:
            line += bytes((b, g, r))
        pixels += line + b"\0" * (stride - len(line))
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    filehdr = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 14 + 40)
    return filehdr + info + pixels


def main(argv):
    preview = argv[argv.index("--preview") + 1] if "--preview" in argv else None
    icon, welcome = draw_icon(), draw_welcome()
    with open(os.path.join(REPO, "res", "selvane.ico"), "wb") as f:
        f.write(ico_bytes(icon))
    with open(os.path.join(REPO, "res", "welcome.bmp"), "wb") as f:
        f.write(bmp_bytes(welcome))
    if preview:
        os.makedirs(preview, exist_ok=True)
        with open(os.path.join(preview, "icon.png"), "wb") as f:
            f.write(png_bytes(icon.rgba8(), 8))
        with open(os.path.join(preview, "welcome.png"), "wb") as f:
            f.write(png_bytes(welcome.rgba8(), 3))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
