#!/usr/bin/env python3
"""Writes the skin "Topaz" as a folder skin: Options.dat and its eight images.

Calm light blue-grey surfaces, a deep blue title bar with a white caption, crisp 1-pixel
borders, antialiased rounded controls and soft glows. Every picture is drawn here from
shapes (supersampled coverage), so the output is deterministic: the same bytes on every run.
Standard library only.

usage: tools/mktopaz.py [OUTPUT_DIR]   (default: assets/Topaz next to this script's folder)
"""
import math
import os
import struct
import sys
import zlib

# The even-odd point-in-polygon test of the star generator serves the skin's shapes too.
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from mkstars import inside  # noqa: E402

KEY = (255, 0, 255)  # transparent key of skin images
SUB = 4              # samples per pixel side


def hexc(text):
    return (int(text[0:2], 16), int(text[2:4], 16), int(text[4:6], 16))


def tcolor(rgb):
    """The decimal colour value of the options file: red in the low byte."""
    r, g, b = rgb
    return r | (g << 8) | (b << 16)


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def clamp8(v):
    return max(0, min(255, int(round(v))))


# The palette of the skin.
SURFACE = hexc("E9EEF4")   # forms and dialogs
PANEL = hexc("EEF2F7")
LOW = hexc("DEE5EE")
LINE = hexc("8697AD")      # ordinary 1-pixel borders
SOFTLINE = hexc("B3C0D0")
TEXT = hexc("1B2836")
GREYTEXT = hexc("7D8A99")
BLUE = hexc("1F4E8C")      # title bar and accents
BLUE_DARK = hexc("123766")
BLUE_TOP = hexc("2C609F")
ACCENT = hexc("2F6DB5")
HOT = hexc("DCEAFB")
HOT2 = hexc("C3DAF4")
WHITE = (255, 255, 255)
FRAME = hexc("10305A")     # outer line of the window


# ---------------------------------------------------------------- shapes and coverage

def rr_inside(x, y, x0, y0, x1, y1, r, corners="tl tr bl br"):
    """Whether the point lies in the rectangle [x0,x1) x [y0,y1) with rounded corners."""
    if x < x0 or x >= x1 or y < y0 or y >= y1:
        return False
    if r <= 0:
        return True
    for name, cx, cy, inx, iny in (("tl", x0 + r, y0 + r, x < x0 + r, y < y0 + r),
                                   ("tr", x1 - r, y0 + r, x > x1 - r, y < y0 + r),
                                   ("bl", x0 + r, y1 - r, x < x0 + r, y > y1 - r),
                                   ("br", x1 - r, y1 - r, x > x1 - r, y > y1 - r)):
        if name in corners and inx and iny:
            return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return True


def seg_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def coverage(w, h, inside, aa=True):
    """Per-pixel share of the shape, supersampled (or by the pixel centre when not aa)."""
    cov = [[0.0] * w for _ in range(h)]
    for y in range(h):
        for x in range(w):
            if not aa:
                cov[y][x] = 1.0 if inside(x + 0.5, y + 0.5) else 0.0
                continue
            n = 0
            for sy in range(SUB):
                for sx in range(SUB):
                    if inside(x + (sx + 0.5) / SUB, y + (sy + 0.5) / SUB):
                        n += 1
            cov[y][x] = n / (SUB * SUB)
    return cov


class Layer:
    """An RGBA picture of floats, composed from shapes painted over one another."""

    def __init__(self, w, h):
        self.w, self.h = w, h
        self.px = [[(0.0, 0.0, 0.0, 0.0)] * w for _ in range(h)]

    def paint(self, cov, colour, alpha=1.0):
        """Paints colour (an RGB or a function of x, y) over the shape with the given opacity."""
        for y in range(self.h):
            for x in range(self.w):
                a = cov[y][x] * alpha
                if a <= 0:
                    continue
                c = colour(x, y) if callable(colour) else colour
                r0, g0, b0, a0 = self.px[y][x]
                ao = a + a0 * (1 - a)
                if ao <= 0:
                    continue
                rgb = [(c[i] * a + (r0, g0, b0)[i] * a0 * (1 - a)) / ao for i in range(3)]
                self.px[y][x] = (rgb[0], rgb[1], rgb[2], ao)
        return self

    def rounded(self, x0, y0, x1, y1, r, colour, alpha=1.0, corners="tl tr bl br", aa=True):
        return self.paint(coverage(self.w, self.h, lambda x, y: rr_inside(x, y, x0, y0, x1, y1, r, corners), aa),
                          colour, alpha)

    def ring(self, x0, y0, x1, y1, r, colour, width=1.0, alpha=1.0, corners="tl tr bl br", aa=True):
        ri = max(0.0, r - width)
        return self.paint(coverage(self.w, self.h, lambda x, y: rr_inside(x, y, x0, y0, x1, y1, r, corners) and
                                   not rr_inside(x, y, x0 + width, y0 + width, x1 - width, y1 - width, ri, corners),
                                   aa), colour, alpha)

    def strokes(self, segments, width, colour, alpha=1.0):
        def inside(x, y):
            return any(seg_dist(x, y, *s) <= width / 2 for s in segments)
        return self.paint(coverage(self.w, self.h, inside), colour, alpha)

    def polygon(self, points, colour, alpha=1.0):
        return self.paint(coverage(self.w, self.h, lambda x, y: inside(points, x, y)), colour, alpha)

    def circle(self, cx, cy, radius, colour, alpha=1.0):
        return self.paint(coverage(self.w, self.h, lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius),
                          colour, alpha)


def vgrad(top, bottom, h):
    return lambda x, y: mix(top, bottom, y / max(1, h - 1))


# ---------------------------------------------------------------- pixel blocks

class Block:
    """A rectangle of RGB pixels: the image part of a mask, followed by its mask half when
    masked. The mask half says per pixel how much of the background stays (0 none, 255 all)."""

    def __init__(self, w, h):
        self.w, self.h = w, h
        self.rows = [[KEY] * w for _ in range(h)]

    def put(self, x, y, rgb):
        self.rows[y][x] = tuple(clamp8(c) for c in rgb)


def outside(layer):
    """The clear pixels reached from the picture's edge without crossing the shape."""
    clear = lambda x, y: layer.px[y][x][3] <= 1 / 512
    w, h = layer.w, layer.h
    todo = [(x, y) for x in range(w) for y in (0, h - 1)] + [(x, y) for y in range(h) for x in (0, w - 1)]
    seen = set()
    while todo:
        x, y = todo.pop()
        if (x, y) in seen or not clear(x, y):
            continue
        seen.add((x, y))
        todo += [(u, v) for u, v in ((x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)) if 0 <= u < w and 0 <= v < h]
    return seen


def masked(states, frame=False):
    """States side by side with the transparency mask below them (mask type 1). Pixels the
    shape does not touch carry the key colour; partly covered ones blend through the mask.
    A frame keeps the key for what lies outside its outline only: the key cuts the window
    region, so a clear pixel inside the outline is white under a mask of 255, which keeps the
    control's own background exactly ((D - 255) x 255 + 255 x 256) div 256 = D)."""
    w, h = states[0].w, states[0].h
    b = Block(w * len(states), h * 2)
    for i, layer in enumerate(states):
        out = outside(layer) if frame else None
        for y in range(h):
            for x in range(w):
                r, g, bl, a = layer.px[y][x]
                if a <= 1 / 512 and out is not None and (x, y) not in out:
                    b.put(i * w + x, y, WHITE)
                    b.put(i * w + x, h + y, WHITE)
                elif a <= 1 / 512:
                    b.put(i * w + x, y, KEY)
                    b.put(i * w + x, h + y, WHITE)
                else:
                    b.put(i * w + x, y, (r, g, bl))
                    m = 255 - clamp8(a * 255)
                    b.put(i * w + x, h + y, (m, m, m))
    return b


def keyed(states):
    """States side by side without a mask (mask type 0): what the shapes leave open is key."""
    w, h = states[0].w, states[0].h
    b = Block(w * len(states), h)
    for i, layer in enumerate(states):
        for y in range(h):
            for x in range(w):
                r, g, bl, a = layer.px[y][x]
                b.put(i * w + x, y, KEY if a < 0.5 else (r, g, bl))
    return b


def opaque(w, h, colour):
    b = Block(w, h)
    for y in range(h):
        for x in range(w):
            b.put(x, y, colour(x, y))
    return b


def rotate(block, quarter_turns):
    """The block turned clockwise; each state image of a strip turns in its own place."""
    b = block
    for _ in range(quarter_turns % 4):
        t = Block(b.h, b.w)
        for y in range(b.h):
            for x in range(b.w):
                t.rows[x][b.h - 1 - y] = b.rows[y][x]
        b = t
    return b


def strip_rotate(states, quarter_turns):
    """Rotates every state layer (square or not) and returns the new layers."""
    out = []
    for layer in states:
        l = layer
        for _ in range(quarter_turns % 4):
            t = Layer(l.h, l.w)
            for y in range(l.h):
                for x in range(l.w):
                    t.px[x][l.h - 1 - y] = l.px[y][x]
            l = t
        out.append(l)
    return out


# ---------------------------------------------------------------- the pictures

def button_states(size, radius, borders, fills=None, highlight=True):
    states = []
    for i, border in enumerate(borders):
        l = Layer(size, size)
        if fills:
            l.rounded(0, 0, size, size, radius, fills[i])
        l.ring(0, 0, size, size, radius, border)
        if highlight and i < 2:
            l.ring(1, 1, size - 1, size - 1, max(0, radius - 1), WHITE, alpha=0.55)
        states.append(l)
    return states


def title_button(w, h, glyph, close):
    states = []
    for state in range(3):
        l = Layer(w, h)
        if state == 1:
            l.rounded(1, 1, w - 1, h - 1, 3, hexc("E0483E") if close else WHITE, 1.0 if close else 0.20)
        elif state == 2:
            l.rounded(1, 1, w - 1, h - 1, 3, hexc("B0342C") if close else hexc("061A35"), 1.0 if close else 0.35)
        glyph(l, w, h)
        states.append(l)
    return states


def glyph_close(l, w, h):
    cx, cy = w / 2, h / 2
    l.strokes([(cx - 4, cy - 4, cx + 4, cy + 4), (cx - 4, cy + 4, cx + 4, cy - 4)], 1.7, WHITE)


def glyph_min(l, w, h):
    cx, cy = w / 2, h / 2
    l.strokes([(cx - 4, cy + 3.5, cx + 4, cy + 3.5)], 2.0, WHITE)


def glyph_max(l, w, h):
    cx, cy = w / 2, h / 2
    l.ring(cx - 4.5, cy - 4.5, cx + 4.5, cy + 4.5, 0, WHITE, 1.0)
    l.strokes([(cx - 4.5, cy - 3.5, cx + 4.5, cy - 3.5)], 1.0, WHITE)


def glyph_norm(l, w, h):
    cx, cy = w / 2, h / 2
    l.ring(cx - 2.5, cy - 4.5, cx + 4.5, cy + 2.5, 0, WHITE, 1.0)
    l.rounded(cx - 4.5, cy - 2.5, cx + 2.5, cy + 4.5, 0, BLUE)
    l.ring(cx - 4.5, cy - 2.5, cx + 2.5, cy + 4.5, 0, WHITE, 1.0)


def glyph_help(l, w, h):
    cx, cy = w / 2, h / 2
    arc = [(cx + 3 * math.cos(a), cy - 2 + 3 * math.sin(a)) for a in
           [math.pi * (1.0 + k / 6) for k in range(0, 9)]]
    segs = [(arc[i][0], arc[i][1], arc[i + 1][0], arc[i + 1][1]) for i in range(len(arc) - 1)]
    segs.append((arc[-1][0], arc[-1][1], cx, cy + 1.5))
    l.strokes(segs, 1.6, WHITE)
    l.circle(cx, cy + 4, 1.0, WHITE)


def check_states(kind, mark):
    """13 x 13 frames: normal, hot, pressed. kind: box, radio or small (a 9-pixel box)."""
    borders = (hexc("7C8EA6"), ACCENT, BLUE)
    fills = (WHITE, hexc("EEF5FD"), hexc("D2E3F6"))
    states = []
    for i in range(3):
        l = Layer(13, 13)
        if kind == "radio":
            l.circle(6.5, 6.5, 6.5, borders[i])
            l.circle(6.5, 6.5, 5.5, vgrad(mix(fills[i], LOW, 0.35), fills[i], 13))
        else:
            o = 0 if kind == "box" else 2
            l.rounded(o, o, 13 - o, 13 - o, 2 if kind == "box" else 1.5, borders[i])
            l.rounded(o + 1, o + 1, 12 - o, 12 - o, 1, vgrad(mix(fills[i], LOW, 0.35), fills[i], 13))
        colour = hexc("6F86A6") if mark == "grayed" else BLUE_DARK if i == 2 else BLUE
        if mark == "checked" and kind == "radio":
            l.circle(6.5, 6.5, 3.0, colour)
        elif mark == "checked":
            s = 1.0 if kind == "box" else 0.72
            c = 6.5
            pts = [(c + (px - 6.5) * s, c + (py - 6.5) * s) for px, py in ((3.2, 6.6), (5.5, 9.0), (9.9, 3.9))]
            l.strokes([(pts[0][0], pts[0][1], pts[1][0], pts[1][1]), (pts[1][0], pts[1][1], pts[2][0], pts[2][1])],
                      1.9 if kind == "box" else 1.5, colour)
        elif mark == "grayed" and kind == "radio":
            l.circle(6.5, 6.5, 3.0, colour, 0.8)
        elif mark == "grayed":
            o = 3.5 if kind == "box" else 4.5
            l.rounded(o, o, 13 - o, 13 - o, 0.5, colour, 0.85)
        states.append(l)
    return states


def menu_check():
    states = []
    for colour in (TEXT, BLUE_DARK):
        l = Layer(16, 16)
        l.strokes([(4.0, 8.2, 6.8, 11.0), (6.8, 11.0, 12.0, 5.0)], 2.0, colour)
        states.append(l)
    return states


def arrow_states(direction):
    """Scroll button arrows, 9 x 9 per state: grey, accent blue, deep blue."""
    states = []
    for colour in (hexc("5D6E84"), ACCENT, BLUE_DARK):
        l = Layer(9, 9)
        l.polygon([(1.0, 6.0), (4.5, 2.5), (8.0, 6.0)], colour)
        states.append(l)
    return strip_rotate(states, {"up": 0, "right": 1, "down": 2, "left": 3}[direction])


def grip_lines(horizontal):
    states = []
    for colour in (hexc("7487A0"), ACCENT, BLUE_DARK):
        l = Layer(8, 8)
        for k in (2, 4, 6):
            l.rounded(1, k - 1, 7, k, 0, colour) if horizontal else l.rounded(k - 1, 1, k, 7, 0, colour)
        states.append(l)
    return states


def combo_arrow():
    states = []
    for colour in (hexc("4A5B70"), ACCENT, BLUE_DARK):
        l = Layer(9, 6)
        l.polygon([(0.5, 1.0), (4.5, 5.0), (8.5, 1.0)], colour)
        states.append(l)
    return states


def form_frame(title):
    """The window frame (or the title band over it): a 1-pixel dark line, corners rounded by key
    pixels so that the window region is cut. Crisp, never antialiased: what is not cut away
    must be opaque, the desktop is not there to blend with. Two states: inactive, active."""
    states = []
    size = 16
    for active in (False, True):
        l = Layer(size, size)
        edge = FRAME if active else hexc("34506F")
        if title:
            # solid to the edge, then the inside opened for the section's gradient; kept are
            # the outer line, a faint light line under it and the dark seam above the client
            l.rounded(0, 0, size, size + 8, 5, edge, corners="tl tr", aa=False)
            for y in range(size):
                for x in range(size):
                    if rr_inside(x + 0.5, y + 0.5, 1, 1, size - 1, size + 8, 4, "tl tr"):
                        l.px[y][x] = (0.0, 0.0, 0.0, 0.0)
            l.rounded(3, 1, size - 3, 2, 0, hexc("6F98CC") if active else hexc("8CA2BE"), 0.7, aa=False)
            l.rounded(0, size - 1, size, size, 0, BLUE_DARK if active else hexc("3C5676"), aa=False)
        else:
            l.ring(0, 0, size, size, 5, edge, 1.0, aa=False)
        states.append(l)
    return states


def tab_states():
    """Tab on top: rounded top corners, open bottom; normal, hot, selected."""
    states = []
    for border, top, bottom in ((SOFTLINE, hexc("F7F9FC"), hexc("E3E9F1")),
                                (ACCENT, hexc("FFFFFF"), hexc("E4EEFA")),
                                (LINE, WHITE, PANEL)):
        l = Layer(12, 12)
        l.rounded(0, 0, 12, 13, 3, border, corners="tl tr")
        l.rounded(1, 1, 11, 13, 2, vgrad(top, bottom, 12), corners="tl tr")
        states.append(l)
    return states


def glow_png(size, edge, colour, peak):
    """A soft ring around the control's edge, which lies edge pixels inside the picture.
    The middle stays clear so the control shows through."""
    rows = []
    for y in range(size):
        row = bytearray()
        for x in range(size):
            # signed distance outside the inner rectangle [edge, size - edge)
            dx = max(edge - (x + 0.5), (x + 0.5) - (size - edge), 0.0)
            dy = max(edge - (y + 0.5), (y + 0.5) - (size - edge), 0.0)
            inner = min((x + 0.5) - edge, (size - edge) - (x + 0.5), (y + 0.5) - edge, (size - edge) - (y + 0.5))
            d = math.hypot(dx, dy)
            if d > 0:
                a = peak * max(0.0, 1 - d / edge) ** 2
            else:
                a = peak * max(0.0, 1 - inner / 3.0)
            row += bytes(colour) + bytes([clamp8(a * 255)])
        rows.append(bytes(row))
    return png(size, size, rows)


def sheen_png(w, h):
    """GlowH: a horizontal band of light, brightest in the middle, fading downwards."""
    rows = []
    for y in range(h):
        row = bytearray()
        fade = 1 - y / (h - 1)
        for x in range(w):
            t = 1 - abs((x + 0.5) / w * 2 - 1)
            c = mix(hexc("2A5B98"), hexc("7FA7D8"), t * t * fade)
            row += bytes(clamp8(v) for v in c) + b"\xff"
        rows.append(bytes(row))
    return png(w, h, rows)


# ---------------------------------------------------------------- file formats

def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def png(w, h, rows):
    raw = b"".join(b"\0" + r for r in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def bmp(block, bits, top_down=False):
    """A Windows bitmap: 24 bits, 32 bits (alpha byte 255) or 8 bits with a palette built
    from the block's own colours (coarsened until 256 are enough)."""
    w, h = block.w, block.h
    palette = []
    index = {}
    rows = block.rows
    if bits == 8:
        step = 1
        while True:
            q = [[tuple(min(255, (c // step) * step + step // 2) if step > 1 else c for c in p) for p in row]
                 for row in rows]
            colours = sorted({p for row in q for p in row})
            if len(colours) <= 256:
                break
            step *= 2
        # the key colour must survive the coarsening exactly
        q = [[KEY if p0 == KEY else p for p0, p in zip(r0, r)] for r0, r in zip(rows, q)]
        palette = sorted({p for row in q for p in row})
        index = {p: i for i, p in enumerate(palette)}
        rows = q
    stride = (w * bits // 8 + 3) & ~3
    data = bytearray()
    order = range(h) if top_down else range(h - 1, -1, -1)
    for y in order:
        line = bytearray()
        for p in rows[y]:
            if bits == 8:
                line.append(index[p])
            elif bits == 24:
                line += bytes((p[2], p[1], p[0]))
            else:
                line += bytes((p[2], p[1], p[0], 255))
        line += bytes(stride - len(line))
        data += line
    pal = b"".join(bytes((p[2], p[1], p[0], 0)) for p in palette)
    offset = 14 + 40 + len(pal)
    header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, w, -h if top_down else h, 1, bits, 0, len(data), 2835, 2835,
                       len(palette), 0)
    return header + info + pal + bytes(data)


# ---------------------------------------------------------------- the master bitmap

class Master:
    """Places blocks on shelves, left to right, and remembers where each one went."""
    WIDTH = 256
    GAP = 2

    def __init__(self):
        self.x = self.y = self.shelf = 0
        self.placed = []

    def add(self, block):
        if self.x + block.w > self.WIDTH:
            self.x, self.y, self.shelf = 0, self.y + self.shelf + self.GAP, 0
        rect = (self.x, self.y, self.x + block.w, self.y + block.h)
        self.placed.append((rect, block))
        self.x += block.w + self.GAP
        self.shelf = max(self.shelf, block.h)
        return rect

    def image(self):
        height = self.y + self.shelf
        out = Block(self.WIDTH, height)
        for (x0, y0, _, _), block in self.placed:
            for y in range(block.h):
                out.rows[y0 + y][x0:x0 + block.w] = block.rows[y]
        return out


def glyph_ref(rect, count, masktype):
    return "@%04d@%04d@%04d@%04d@%d@%d" % (rect + (count, masktype))


def border_ref(rect, margins, count, masktype, stretch=0, width=0):
    return "^%04d^%04d^%04d^%04d^%04d^%04d^%04d^%04d^%d^%d^%d^%d" % (rect + margins + (count, masktype, stretch, width))


def texture_ref(rect, stretch, masktype=None):
    text = "~%04d~%04d~%04d~%04d~%02d" % (rect + (stretch,))
    return text if masktype is None else text + "~%d" % masktype


def grad(*steps):
    """Gradient list: (colour 1, colour 2, percent, mode) per step."""
    return ";".join("%d;%d;%d;%d;0" % (tcolor(a), tcolor(b), p, m) for a, b, p, m in steps) + ";"


# ---------------------------------------------------------------- the skin

def build():
    m = Master()
    g = {}  # image references by (section, key)

    def glyph(section, key, states, mask=True):
        g[(section, key)] = glyph_ref(m.add(masked(states) if mask else keyed(states)), len(states), 1 if mask else 0)

    def border(section, key, states, margin, mask=True, stretch=0, frame=True):
        rect = m.add(masked(states, frame) if mask else keyed(states))
        g[(section, key)] = border_ref(rect, (margin,) * 4, len(states), 1 if mask else 0, stretch)

    # title buttons: close 44, maximise 26, minimise 27 pixels wide, 19 high, three states
    glyph("GLOBALINFO", "BICONCLOSE", title_button(44, 19, glyph_close, True))
    glyph("GLOBALINFO", "BICONMAX", title_button(26, 19, glyph_max, False))
    glyph("GLOBALINFO", "BICONMIN", title_button(27, 19, glyph_min, False))
    glyph("GLOBALINFO", "BICONNORM", title_button(26, 19, glyph_norm, False))
    glyph("GLOBALINFO", "BICONHELP", title_button(26, 19, glyph_help, False))
    glyph("GLOBALINFO", "SICONCLOSE", title_button(19, 15, glyph_close, True))
    glyph("GLOBALINFO", "SICONMAX", title_button(17, 15, glyph_max, False))
    glyph("GLOBALINFO", "SICONMIN", title_button(17, 15, glyph_min, False))
    glyph("GLOBALINFO", "SICONNORM", title_button(17, 15, glyph_norm, False))
    for kind, prefix in (("box", "BOX"), ("radio", "RADIO"), ("small", "SMALL")):
        for mark in ("checked", "unchecked", "grayed"):
            glyph("GLOBALINFO", prefix + mark.upper(), check_states(kind, mark))
    glyph("GLOBALINFO", "CHECK", menu_check())
    border("GLOBALINFO", "TITLEBUTTON", button_states(10, 3, (hexc("5C80B0"), hexc("9CBBE2"), hexc("0C2748")),
                                                       None, False), 4, frame=False)

    border("FORM", "BORDERSMASK", form_frame(False), 6)
    # The band cuts no region; its key inside shows the title's own background, and white there
    # would lighten the outline where a scaled picture mixes the two.
    border("FORMTITLE", "BORDERSMASK", form_frame(True), 6, frame=False)
    border("BUTTON", "BORDERSMASK", button_states(10, 3, (hexc("7A8CA5"), ACCENT, BLUE)), 4)
    border("EDIT", "BORDERSMASK", button_states(8, 2, (hexc("8FA1B8"), ACCENT), None, False), 3)
    panel = Layer(3, 3).ring(0, 0, 3, 3, 0, SOFTLINE, aa=False)
    border("PANEL", "BORDERSMASK", [panel], 1, mask=False)
    low = Layer(3, 3)
    low.rounded(0, 0, 3, 1, 0, hexc("98A8BC"), aa=False).rounded(0, 0, 1, 3, 0, hexc("98A8BC"), aa=False)
    low.rounded(1, 2, 3, 3, 0, WHITE, aa=False).rounded(2, 1, 3, 3, 0, WHITE, aa=False)
    border("PANEL_LOW", "BORDERSMASK", [low], 1, mask=False)
    # rounded inner corners of a sunken panel: key pixels let the parent show
    for key, turn in (("IMGTOPLEFT", 0), ("IMGTOPRIGHT", 1), ("IMGBTMRIGHT", 2), ("IMGBTMLEFT", 3)):
        c = Layer(4, 4).rounded(0, 0, 8, 8, 4, hexc("98A8BC"), aa=False).rounded(1, 1, 8, 8, 3, LOW, aa=False)
        glyph("PANEL_LOW", key, strip_rotate([c], turn), mask=False)
    border("GROUPBOX", "BORDERSMASK", [Layer(10, 10).ring(0, 0, 10, 10, 3, SOFTLINE)], 4)
    border("PAGECONTROL", "BORDERSMASK", [Layer(3, 3).ring(0, 0, 3, 3, 0, LINE, aa=False)], 1, mask=False)
    tabs = tab_states()
    for section, turn in (("TABTOP", 0), ("TABRIGHT", 1), ("TABBOTTOM", 2), ("TABLEFT", 3)):
        border(section, "BORDERSMASK", strip_rotate(tabs, turn), 4)
    small_btn = button_states(8, 2, (hexc("9AAABE"), ACCENT, BLUE))
    border("SCROLLBTNTOP", "BORDERSMASK", small_btn, 3)
    for section, direction in (("SCROLLBTNTOP", "up"), ("SCROLLBTNBOTTOM", "down"),
                               ("SCROLLBTNLEFT", "left"), ("SCROLLBTNRIGHT", "right")):
        glyph(section, "GLYPHMASK", arrow_states(direction))
    slider = button_states(8, 2.5, (hexc("8C9DB3"), ACCENT, BLUE),
                           (hexc("DDE5EF"), hexc("D1E3F8"), hexc("B9D2EF")))
    border("SCROLLSLIDERH", "BORDERSMASK", slider, 3)
    glyph("SCROLLSLIDERH", "GLYPHMASK", grip_lines(False))
    glyph("SCROLLSLIDERV", "GLYPHMASK", grip_lines(True))
    # scroll bar tracks: a texture of one column with lines at both ends, tiled
    track = opaque(4, 17, lambda x, y: SOFTLINE if y in (0, 16) else mix(hexc("E2E8F0"), hexc("EDF1F6"), y / 16))
    g[("SCROLLBAR1H", "PATTERN")] = texture_ref(m.add(track), 0)
    g[("SCROLLBAR1H", "HOTPATTERN")] = texture_ref(m.add(opaque(4, 17, lambda x, y: SOFTLINE if y in (0, 16)
                                                                else mix(hexc("DCE7F4"), hexc("E8F0FA"), y / 16))), 0)
    g[("SCROLLBAR1V", "PATTERN")] = texture_ref(m.add(rotate(track, 1)), 0)
    border("COMBOBTN", "BORDERSMASK", button_states(8, 2, (hexc("B8C6D6"), ACCENT, BLUE), None, False), 3)
    glyph("COMBOBOX", "GLYPHMASK", combo_arrow())
    # the status bar: a texture strip along the top (one light line over a darker one), masked
    status = Block(6, 4)
    for x in range(6):
        status.put(x, 0, hexc("A4B3C6"))
        status.put(x, 1, WHITE)
        status.put(x, 2, (0, 0, 0))        # mask half: the line opaque,
        status.put(x, 3, (128, 128, 128))  # the light line half through
    g[("STATUSBAR", "PATTERN")] = texture_ref(m.add(status), 10, 1)
    g[("TOOLBAR", "PATTERN")] = texture_ref(
        m.add(opaque(8, 26, lambda x, y: mix(hexc("F4F7FB"), hexc("DFE6EF"), y / 25))), 2)
    border("MAINMENU", "BORDERSMASK", [Layer(3, 3).ring(0, 0, 3, 3, 0, LINE, aa=False)], 1, mask=False)
    menu_states = [Layer(10, 10), Layer(10, 10).ring(0, 0, 10, 10, 2.5, hexc("5B8FD0"))]
    border("MENUITEM", "BORDERSMASK", menu_states, 4, stretch=2)
    # the menu's separator: an etched line along its top, a grey row over a white one, whole width
    divider = opaque(6, 2, lambda x, y: hexc("A9B6C7") if y == 0 else WHITE)
    g[("DIVIDERV", "PATTERN")] = texture_ref(m.add(divider), 2, 0)
    g[("SPLITTER", "PATTERN")] = texture_ref(m.add(opaque(5, 5, lambda x, y: hexc("C9D3DF") if (x + y) % 4 == 0
                                                          else SURFACE)), 0)
    g[("GAUGE", "PROGRESS")] = texture_ref(
        m.add(opaque(12, 14, lambda x, y: mix(hexc("5E9BE0"), ACCENT, y / 13) if x < 10 else hexc("EAF1FA"))), 0)
    border("GAUGE", "BORDERSMASK", [Layer(8, 8).ring(0, 0, 8, 8, 2, LINE)], 3)

    master = m.image()
    return master, g


def options(g):
    """The options file: sections in order, keys upper case, values as the reader expects."""
    globalinfo = [
        ("VERSION", "6.14"), ("AUTHOR", "e-VESK"),
        ("DESCRIPTION", "Topaz: klidné modrošedé plochy, tmavě modrý titulek, ostré linky"),
        ("MASTERBITMAP", "MASTER.BMP"),
        ("SHADOW1COLOR", 0), ("SHADOW1OFFSET", 0), ("SHADOW1BLUR", -1), ("SHADOW1TRANSPARENCY", 0),
        ("BISPACE", 1), ("BIVALIGN", 0), ("BIRIGHT", 2), ("BILEFT", 3),
        ("BORDERCOLOR", tcolor(FRAME)),
        ("BICONCLOSEGLOW", 1), ("BICONMAXGLOW", 1), ("BICONMINGLOW", 1),
        ("BICONCLOSEGLOWMARGIN", 9), ("BICONMAXGLOWMARGIN", 9), ("BICONMINGLOWMARGIN", 9),
        ("COLOR", tcolor(SURFACE)), ("FONTCOLOR", tcolor(TEXT)), ("HOTCOLOR", tcolor(HOT)),
        ("HOTFONTCOLOR", tcolor(TEXT)),
        ("BICONCLOSEGLOW0", "!GLOWCLOSE.PNG!1!0!3!0018!0018!0018!0018"),
        ("BICONMAXGLOW0", "!GLOWMAX.PNG!1!0!3!0018!0018!0018!0018"),
        ("BICONMINGLOW0", "!GLOWMIN.PNG!1!0!3!0018!0018!0018!0018"),
        ("GRIPIMAGE", "!CORNER.BMP!1!1!2"),
    ]
    for (section, key), value in g.items():
        if section == "GLOBALINFO":
            globalinfo.append((key, value))

    def s(name, parent=None, **keys):
        items = [("PARENTCLASS", parent)] if parent else []
        items += [(k, v) for k, v in keys.items()]
        items += [(k, v) for (sec, k), v in g.items() if sec == name]
        return (name, items)

    T = tcolor
    button_grad = grad((hexc("FDFEFF"), hexc("EEF2F7"), 45, 0), (hexc("E6ECF3"), hexc("D9E1EB"), 55, 0))
    button_hot = grad((hexc("F4F9FF"), hexc("E1EEFC"), 45, 0), (hexc("D3E5F9"), hexc("C3DAF4"), 55, 0))
    title_grad = grad((BLUE_TOP, BLUE, 55, 0), (BLUE, hexc("1A4580"), 45, 0))
    title_inactive = grad((hexc("5A7598"), hexc("4B6587"), 100, 0))
    sections = [
        ("GLOBALINFO", globalinfo),
        s("FORM", COLOR=T(SURFACE), FONTCOLOR=T(TEXT), HOTCOLOR=T(SURFACE), HOTFONTCOLOR=T(TEXT)),
        s("FORMTITLE", COLOR=T(hexc("4B6587")), FONTCOLOR=T(hexc("E3EAF3")), HOTCOLOR=T(BLUE),
          HOTFONTCOLOR=T(WHITE), TCBOTTOM=T(hexc("3A5374")), HOTTCBOTTOM=T(BLUE_DARK),
          GRADIENTPERCENT=100, GRADIENTDATA=title_inactive, HOTGRADIENTPERCENT=100, HOTGRADIENTDATA=title_grad,
          GIVEOWNFONT="TRUE"),
        s("DIALOG", "FORM"),
        s("BARTITLE", "FORMTITLE", COLOR=T(hexc("D3DDE9")), FONTCOLOR=T(TEXT), HOTCOLOR=T(hexc("C6D7EC")),
          HOTFONTCOLOR=T(BLUE_DARK), GRADIENTPERCENT=100,
          GRADIENTDATA=grad((hexc("E4EBF3"), hexc("CCD7E4"), 100, 0)), HOTGRADIENTPERCENT=100,
          HOTGRADIENTDATA=grad((hexc("DCE8F7"), hexc("BED3EC"), 100, 0))),
        s("BAR", "PANEL", COLOR=T(hexc("E2E8F0")), HOTCOLOR=T(hexc("E2E8F0"))),
        s("BUTTON", COLOR=T(hexc("E9EEF4")), FONTCOLOR=T(TEXT), HOTCOLOR=T(HOT2), HOTFONTCOLOR=T(BLUE_DARK),
          GRADIENTPERCENT=100, GRADIENTDATA=button_grad, HOTGRADIENTPERCENT=100, HOTGRADIENTDATA=button_hot,
          SHOWFOCUS="TRUE", FADINGENABLED="TRUE", FADINGITERATIONS=20, GLOW=1, GLOWMARGIN=10,
          GLOW0="!GLOW.PNG!1!0!3!0018!0018!0018!0018"),
        s("BUTTON_HUGE", "BUTTON", BORDERSMASK="ButtonHuge.bmp"),
        s("SPEEDBUTTON", "BUTTON", GLOW=0, FADINGITERATIONS=10),
        s("SPEEDBUTTON_SMALL", "SPEEDBUTTON", TRANSPARENCY=100, HOTTRANSPARENCY=0, SHOWFOCUS="FALSE"),
        s("TOOLBUTTON", "SPEEDBUTTON_SMALL"),
        s("WEBBUTTON", "TRANSPARENT", FONTCOLOR=T(ACCENT), HOTFONTCOLOR=T(hexc("C0392B"))),
        s("TRANSPARENT", COLOR=T(SURFACE), HOTCOLOR=T(SURFACE), TRANSPARENCY=100, HOTTRANSPARENCY=100,
          FONTCOLOR=T(TEXT), HOTFONTCOLOR=T(BLUE_DARK)),
        s("CHECKBOX", COLOR=T(PANEL), FONTCOLOR=T(TEXT), HOTCOLOR=T(HOT), HOTFONTCOLOR=T(BLUE_DARK),
          TRANSPARENCY=100, HOTTRANSPARENCY=55),
        s("RADIOBUTTON", "CHECKBOX"),
        s("PANEL", COLOR=T(PANEL), FONTCOLOR=T(TEXT), HOTCOLOR=T(PANEL), HOTFONTCOLOR=T(TEXT)),
        s("PANEL_LOW", "PANEL", COLOR=T(LOW), HOTCOLOR=T(LOW)),
        s("GROUPBOX", "PANEL", TRANSPARENCY=100, HOTTRANSPARENCY=100, FONTCOLOR=T(BLUE)),
        s("EDIT", COLOR=T(WHITE), FONTCOLOR=T(TEXT), HOTCOLOR=T(WHITE), HOTFONTCOLOR=T(TEXT)),
        s("MEMO", "EDIT"),
        s("LISTBOX", "EDIT"),
        s("CHECKLISTBOX", "LISTBOX"),
        s("TREEVIEW", "EDIT"),
        s("COMBOBOX", "EDIT"),
        s("COMBOBTN", COLOR=T(hexc("EEF2F7")), HOTCOLOR=T(HOT), GRADIENTPERCENT=100,
          GRADIENTDATA=grad((hexc("F8FAFD"), hexc("E1E7EF"), 100, 0)), HOTGRADIENTPERCENT=100,
          HOTGRADIENTDATA=grad((hexc("EEF5FE"), HOT2, 100, 0))),
        s("UPDOWNBTN", "COMBOBTN"),
        s("MAINMENU", COLOR=T(hexc("F8FAFC")), FONTCOLOR=T(TEXT), HOTCOLOR=T(hexc("F8FAFC")),
          HOTFONTCOLOR=T(TEXT)),
        s("MENUITEM", COLOR=T(hexc("F8FAFC")), FONTCOLOR=T(TEXT), HOTCOLOR=T(HOT2), HOTFONTCOLOR=T(BLUE_DARK),
          TRANSPARENCY=100, HOTTRANSPARENCY=0, HOTGRADIENTPERCENT=100,
          HOTGRADIENTDATA=grad((hexc("E3EFFC"), hexc("C9DDF5"), 100, 0))),
        s("MENULINE", COLOR=T(hexc("C5CFDB")), HOTCOLOR=T(hexc("C5CFDB"))),
        s("ICOLINE", COLOR=T(hexc("DDE8F5")), HOTCOLOR=T(hexc("DDE8F5")), GRADIENTPERCENT=100,
          GRADIENTDATA=grad((WHITE, hexc("C7DAF0"), 100, 1))),
        s("EXTRALINE", COLOR=T(BLUE), FONTCOLOR=T(WHITE), HOTCOLOR=T(BLUE), HOTFONTCOLOR=T(WHITE),
          IMAGEPERCENT=20, GRADIENTPERCENT=80, GRADIENTDATA=grad((hexc("2C609F"), hexc("173E73"), 100, 0)),
          PATTERN="!GLOWH.PNG!1!0!1"),
        s("SELECTION", COLOR=T(ACCENT), FONTCOLOR=T(WHITE), HOTCOLOR=T(ACCENT), HOTFONTCOLOR=T(WHITE)),
        s("HINT", COLOR=T(hexc("FFFDF0")), FONTCOLOR=T(TEXT), GRADIENTPERCENT=100,
          GRADIENTDATA=grad(*[(c, c, 0, 2) for c in (WHITE, hexc("F3F6FA"), WHITE, hexc("E4EBF4"), hexc("EDF1F7"))])),
        s("DIVIDERV", COLOR=T(SURFACE), HOTCOLOR=T(SURFACE), IMAGEPERCENT=100),
        s("DIVIDERH", "DIVIDERV"),
        s("SPLITTER", COLOR=T(SURFACE), HOTCOLOR=T(HOT), IMAGEPERCENT=100),
        s("DRAGBAR", "SPLITTER"),
        s("TOOLBAR", COLOR=T(hexc("E6ECF3")), FONTCOLOR=T(TEXT), HOTCOLOR=T(hexc("E6ECF3")), IMAGEPERCENT=100),
        s("STATUSBAR", COLOR=T(hexc("DDE4ED")), FONTCOLOR=T(hexc("3A4A5C")), HOTCOLOR=T(hexc("DDE4ED")),
          IMAGEPERCENT=100),
        s("STATUSPANEL", "STATUSBAR", TRANSPARENCY=100),
        s("PAGECONTROL", COLOR=T(PANEL), FONTCOLOR=T(TEXT), HOTCOLOR=T(PANEL)),
        s("TABSHEET", "PAGECONTROL"),
        s("TABTOP", COLOR=T(hexc("E8EDF3")), FONTCOLOR=T(hexc("3A4A5C")), HOTCOLOR=T(WHITE),
          HOTFONTCOLOR=T(BLUE_DARK)),
        s("TABBOTTOM", "TABTOP"),
        s("TABLEFT", "TABTOP"),
        s("TABRIGHT", "TABTOP"),
        s("SCROLLBTNTOP", COLOR=T(hexc("EEF2F7")), HOTCOLOR=T(HOT), GRADIENTPERCENT=100,
          GRADIENTDATA=grad((hexc("F7F9FC"), hexc("E4EAF1"), 100, 0)), HOTGRADIENTPERCENT=100,
          HOTGRADIENTDATA=grad((hexc("EEF5FE"), HOT2, 100, 0))),
        s("SCROLLBTNBOTTOM", "SCROLLBTNTOP"),
        s("SCROLLBTNLEFT", "SCROLLBTNTOP", GRADIENTDATA=grad((hexc("F7F9FC"), hexc("E4EAF1"), 100, 1)),
          HOTGRADIENTDATA=grad((hexc("EEF5FE"), HOT2, 100, 1))),
        s("SCROLLBTNRIGHT", "SCROLLBTNLEFT"),
        s("SCROLLSLIDERH", COLOR=T(hexc("DDE5EF")), HOTCOLOR=T(hexc("D1E3F8"))),
        s("SCROLLSLIDERV", "SCROLLSLIDERH"),
        s("SCROLLBAR1H", COLOR=T(hexc("E8EDF3")), HOTCOLOR=T(hexc("E2EBF6")), IMAGEPERCENT=100,
          HOTIMAGEPERCENT=100),
        s("SCROLLBAR2H", "SCROLLBAR1H"),
        s("SCROLLBAR1V", "SCROLLBAR1H"),
        s("SCROLLBAR2V", "SCROLLBAR1V"),
        s("TRACKBAR", "TRANSPARENT"),
        s("GAUGE", COLOR=T(hexc("EAF1FA")), FONTCOLOR=T(TEXT)),
        s("PROGRESSH", "GAUGE"),
        s("PROGRESSV", "GAUGE"),
        s("COLHEADER", COLOR=T(hexc("EEF2F7")), FONTCOLOR=T(TEXT), HOTCOLOR=T(HOT), HOTFONTCOLOR=T(BLUE_DARK),
          GRADIENTPERCENT=100, GRADIENTDATA=grad((hexc("FBFCFE"), hexc("E3E9F0"), 100, 0))),
        s("GRIDTITLE", "COLHEADER"),
        s("GRIDCELL", "EDIT"),
        s("MDIAREA", COLOR=T(hexc("A9B7C8")), HOTCOLOR=T(hexc("A9B7C8"))),
    ]
    lines = []
    for name, items in sections:
        lines.append("[%s]" % name)
        lines += ["%s=%s" % (k, v) for k, v in items]
        lines.append("")
    return ("\r\n".join(lines)).encode("cp1250"), len(sections)


def huge_button():
    """ButtonHuge.bmp: a large rounded button frame in three states over its mask (8 bits)."""
    return masked(button_states(24, 6, (hexc("7A8CA5"), ACCENT, BLUE)))


def grip():
    """Corner.bmp: the size grip, dots falling to the bottom-right corner, over its mask."""
    l = Layer(12, 12)
    for i in range(3):
        for j in range(3 - i):
            x, y = 9.5 - 3.5 * j, 9.5 - 3.5 * i
            l.rounded(x - 0.5, y - 0.5, x + 1.5, y + 1.5, 0, WHITE, aa=False)
            l.rounded(x - 1.5, y - 1.5, x + 0.5, y + 0.5, 0, hexc("8696AB"), aa=False)
    return masked([l])


def write(out):
    master, g = build()
    opts, count = options(g)
    assert count == 64, count
    files = {
        "Options.dat": opts,
        "ButtonHuge.bmp": bmp(huge_button(), 8, top_down=True),
        "Corner.bmp": bmp(grip(), 32, top_down=True),
        "Master.bmp": bmp(master, 24),
        "Glow.png": glow_png(44, 8, hexc("4F9BF0"), 0.75),
        "GlowClose.PNG": glow_png(46, 9, hexc("FF5A4A"), 0.85),
        "GlowH.png": sheen_png(24, 160),
        "GlowMax.PNG": glow_png(46, 9, hexc("A8CDFF"), 0.80),
        "GlowMin.png": glow_png(46, 9, hexc("A8CDFF"), 0.80),
    }
    os.makedirs(out, exist_ok=True)
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


def main():
    if len(sys.argv) > 2 or (len(sys.argv) == 2 and sys.argv[1].startswith("-")):
        sys.exit(__doc__.strip())
    here = os.path.dirname(os.path.abspath(__file__))
    write(sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "assets", "Topaz"))


if __name__ == "__main__":
    main()
