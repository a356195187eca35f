#!/usr/bin/env python3
"""Draws the dialog's icons, cursors and bitmaps from simple shapes.

Everything is made here, deterministically, from a handful of primitives (discs, rings, strokes,
polygons and stars) rendered with 4 x 4 supersampling, so that the images are the project's own and
a change to one is a change to this file. Usage: make_ui_images.py OUTPUT_FOLDER
"""
import math
import os
import struct
import sys

SUPERSAMPLE = 4


# --- a small canvas of premultiplied-free RGBA floats --------------------------------------------

class Canvas:
    def __init__(self, width, height, background=(0, 0, 0, 0)):
        self.width, self.height = width, height
        self.pixels = [list(background) for _ in range(width * height)]

    def blend(self, x, y, color, coverage):
        if coverage <= 0 or not (0 <= x < self.width and 0 <= y < self.height):
            return
        r, g, b, a = color
        a *= coverage
        dst = self.pixels[y * self.width + x]
        out_a = a + dst[3] * (1 - a)
        if out_a <= 0:
            return
        for i, c in enumerate((r, g, b)):
            dst[i] = (c * a + dst[i] * dst[3] * (1 - a)) / out_a
        dst[3] = out_a

    def fill(self, inside, color, bounds=None):
        """Blends color where inside(x, y) holds, x and y in pixel units, sampled 4 x 4 per pixel."""
        x0, y0, x1, y1 = bounds or (0, 0, self.width, self.height)
        x0, y0 = max(0, int(x0) - 1), max(0, int(y0) - 1)
        x1, y1 = min(self.width, int(x1) + 2), min(self.height, int(y1) + 2)
        step = 1.0 / SUPERSAMPLE
        for py in range(y0, y1):
            for px in range(x0, x1):
                hits = 0
                for sy in range(SUPERSAMPLE):
                    for sx in range(SUPERSAMPLE):
                        if inside(px + (sx + 0.5) * step, py + (sy + 0.5) * step):
                            hits += 1
                self.blend(px, py, color, hits / (SUPERSAMPLE * SUPERSAMPLE))

    def bytes_bgra(self, bottom_up=True):
        rows = range(self.height - 1, -1, -1) if bottom_up else range(self.height)
        out = bytearray()
        for y in rows:
            for x in range(self.width):
                r, g, b, a = self.pixels[y * self.width + x]
                out += bytes((round(b * 255), round(g * 255), round(r * 255), round(a * 255)))
        return bytes(out)


# Shapes in a unit square scaled to the canvas: coordinates 0..1 map to 0..size.

def disc(c, cx, cy, radius, color):
    s = c.width
    c.fill(lambda x, y: (x - cx * s) ** 2 + (y - cy * s) ** 2 <= (radius * s) ** 2, color,
           ((cx - radius) * s, (cy - radius) * s, (cx + radius) * s, (cy + radius) * s))


def ring(c, cx, cy, radius, thickness, color):
    s = c.width
    inner, outer = (radius - thickness / 2) * s, (radius + thickness / 2) * s

    def inside(x, y):
        d = math.hypot(x - cx * s, y - cy * s)
        return inner <= d <= outer
    c.fill(inside, color, ((cx - radius - thickness) * s, (cy - radius - thickness) * s,
                           (cx + radius + thickness) * s, (cy + radius + thickness) * s))


def stroke(c, x0, y0, x1, y1, thickness, color):
    s = c.width
    ax, ay, bx, by, half = x0 * s, y0 * s, x1 * s, y1 * s, thickness * s / 2
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy or 1e-9

    def inside(x, y):
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length2))
        return math.hypot(x - ax - t * dx, y - ay - t * dy) <= half
    c.fill(inside, color, (min(ax, bx) - half, min(ay, by) - half, max(ax, bx) + half, max(ay, by) + half))


def polygon(c, points, color):
    s = c.width
    pts = [(x * s, y * s) for x, y in points]

    def inside(x, y):
        result = False
        j = len(pts) - 1
        for i in range(len(pts)):
            xi, yi = pts[i]
            xj, yj = pts[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                result = not result
            j = i
        return result
    xs, ys = [p[0] for p in pts], [p[1] for p in pts]
    c.fill(inside, color, (min(xs), min(ys), max(xs), max(ys)))


def star(c, cx, cy, points, length, width, color, rotation=0.0, core=None):
    """A star of tapering spikes: each spike is a thin kite from the centre outwards."""
    for k in range(points):
        angle = rotation + 2 * math.pi * k / points
        ux, uy = math.sin(angle), -math.cos(angle)
        px, py = -uy, ux
        polygon(c, [(cx + px * width, cy + py * width), (cx + ux * length, cy + uy * length),
                    (cx - px * width, cy - py * width), (cx - ux * width, cy - uy * width)], color)
    disc(c, cx, cy, core if core is not None else width * 1.6, color)


def arrow(c, x0, y0, x1, y1, thickness, head, color):
    stroke(c, x0, y0, x1, y1, thickness, color)
    angle = math.atan2(y1 - y0, x1 - x0)
    left = (x1 - head * math.cos(angle - 0.5), y1 - head * math.sin(angle - 0.5))
    right = (x1 - head * math.cos(angle + 0.5), y1 - head * math.sin(angle + 0.5))
    polygon(c, [(x1, y1), left, right], color)


# --- a 5 x 7 letter font for the bitmaps' lettering ------------------------------------------------

FONT = {
    'A': ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    'B': ["11110", "10001", "10001", "11110", "10001", "10001", "11110"],
    'E': ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    'F': ["11111", "10000", "10000", "11110", "10000", "10000", "10000"],
    'H': ["10001", "10001", "10001", "11111", "10001", "10001", "10001"],
    'I': ["01110", "00100", "00100", "00100", "00100", "00100", "01110"],
    'K': ["10001", "10010", "10100", "11000", "10100", "10010", "10001"],
    'L': ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    'N': ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    'O': ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    'P': ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    'R': ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    'S': ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    'T': ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    'V': ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    'W': ["10001", "10001", "10001", "10101", "10101", "10101", "01010"],
    'Y': ["10001", "10001", "01010", "00100", "00100", "00100", "00100"],
    '3': ["11110", "00001", "00001", "01110", "00001", "00001", "11110"],
    ' ': ["00000"] * 7,
}


def lettering(c, text, x, y, scale, color):
    for i, ch in enumerate(text):
        for row, bits in enumerate(FONT[ch]):
            for col, bit in enumerate(bits):
                if bit == '1':
                    for dy in range(scale):
                        for dx in range(scale):
                            c.blend(x + (i * 6 + col) * scale + dx, y + row * scale + dy, color, 1.0)


# --- file formats ----------------------------------------------------------------------------------

def dib_of(canvas):
    """A 32-bit bottom-up DIB of the canvas with the AND mask that icons and cursors carry."""
    w, h = canvas.width, canvas.height
    header = struct.pack('<IiiHHIIiiII', 40, w, h * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    mask_row = ((w + 31) // 32) * 4
    mask = bytearray(mask_row * h)
    for y in range(h):
        for x in range(w):
            if canvas.pixels[(h - 1 - y) * w + x][3] < 0.5:
                mask[y * mask_row + x // 8] |= 0x80 >> (x % 8)
    return header + canvas.bytes_bgra() + bytes(mask)


def write_icon(path, canvases, hotspot=None):
    """An .ico (or, with a hotspot, a .cur) of one image per canvas."""
    kind = 2 if hotspot else 1
    images = [dib_of(c) for c in canvases]
    out = struct.pack('<HHH', 0, kind, len(images))
    offset = 6 + 16 * len(images)
    for c, image in zip(canvases, images):
        planes, bits = (hotspot if hotspot else (1, 32))
        out += struct.pack('<BBBBHHII', c.width % 256, c.height % 256, 0, 0, planes, bits, len(image), offset)
        offset += len(image)
    with open(path, 'wb') as f:
        f.write(out + b''.join(images))


def write_bitmap(path, canvas, bits=24):
    w, h = canvas.width, canvas.height
    data = canvas.bytes_bgra()
    if bits == 24:
        row = ((w * 3 + 3) // 4) * 4
        packed = bytearray()
        for y in range(h):
            line = bytearray()
            for x in range(w):
                i = (y * w + x) * 4
                line += data[i:i + 3]
            packed += line + bytes(row - len(line))
        data = bytes(packed)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, bits, 0, len(data), 2835, 2835, 0, 0)
    with open(path, 'wb') as f:
        f.write(struct.pack('<2sIHHI', b'BM', 14 + 40 + len(data), 0, 0, 54) + info + data)


# --- the images ------------------------------------------------------------------------------------

INK = (0.92, 0.92, 0.92, 1.0)
DARK = (0.16, 0.16, 0.16, 1.0)
ACCENT = (1.0, 0.78, 0.30, 1.0)
RED = (0.86, 0.20, 0.18, 1.0)
BLUE = (0.25, 0.55, 0.95, 1.0)


def icon(draw, sizes=(16, 32)):
    canvases = []
    for size in sizes:
        c = Canvas(size, size)
        draw(c)
        canvases.append(c)
    return canvases


def tool_pan(c):
    for x1, y1 in ((0.5, 0.08), (0.5, 0.92), (0.08, 0.5), (0.92, 0.5)):
        arrow(c, 0.5, 0.5, x1, y1, 0.09, 0.2, INK)


def tool_zoom(c):
    ring(c, 0.42, 0.42, 0.27, 0.1, INK)
    stroke(c, 0.62, 0.62, 0.9, 0.9, 0.14, INK)


def tool_hide(c):
    star(c, 0.5, 0.5, 4, 0.45, 0.06, ACCENT, math.pi / 4)
    stroke(c, 0.12, 0.88, 0.88, 0.12, 0.1, RED)


def tool_show(c):
    star(c, 0.42, 0.42, 4, 0.38, 0.05, ACCENT, math.pi / 4)
    stroke(c, 0.78, 0.58, 0.78, 0.98, 0.12, INK)
    stroke(c, 0.58, 0.78, 0.98, 0.78, 0.12, INK)


def tool_edit(c):
    star(c, 0.36, 0.36, 4, 0.32, 0.05, ACCENT, math.pi / 4)
    stroke(c, 0.5, 0.9, 0.9, 0.5, 0.14, INK)
    polygon(c, [(0.38, 0.98), (0.45, 0.82), (0.54, 0.91)], INK)


def help_icon(c):
    disc(c, 0.5, 0.5, 0.46, BLUE)
    ring(c, 0.5, 0.36, 0.14, 0.1, INK)
    polygon(c, [(0.5, 0.5), (0.64, 0.36), (0.64, 0.48), (0.55, 0.58)], BLUE)
    stroke(c, 0.56, 0.47, 0.5, 0.6, 0.1, INK)
    disc(c, 0.5, 0.76, 0.07, INK)


def settings_menu_icon(c):
    for y in (0.25, 0.45, 0.65):
        stroke(c, 0.12, y, 0.58, y, 0.09, INK)
    polygon(c, [(0.64, 0.42), (0.94, 0.42), (0.79, 0.64)], INK)


def size_grip_icon(c):
    for k in range(3):
        for j in range(k + 1):
            disc(c, 0.85 - j * 0.25, 0.85 - (k - j) * 0.25, 0.07, INK)


def row_star(points=6, length=0.42, width=0.05, color=ACCENT, rotation=0.0, core=None):
    return lambda c: star(c, 0.5, 0.5, points, length, width, color, rotation, core)


def dots(count):
    def draw(c):
        for k in range(count):
            angle = 2.4 * k
            radius = 0.38 * math.sqrt((k + 0.5) / count)
            disc(c, 0.5 + radius * math.cos(angle), 0.5 + radius * math.sin(angle), 0.06, ACCENT)
    return draw


def swatch(color):
    return lambda c: disc(c, 0.5, 0.5, 0.38, color)


def bands(count, strength):
    colors = [(1, 0.2, 0.2, strength), (1, 0.8, 0.2, strength), (0.3, 0.9, 0.3, strength),
              (0.2, 0.6, 1, strength), (0.6, 0.3, 1, strength)]

    def draw(c):
        for k in range(count):
            ring(c, 0.5, 0.5, 0.12 + 0.3 * k / max(1, count - 1), 0.3 / count + 0.02, colors[k % len(colors)])
    return draw


def with_spikes(secondary):
    def draw(c):
        star(c, 0.5, 0.5, 4, 0.44, 0.05, ACCENT)
        if secondary:
            star(c, 0.5, 0.5, 4, 0.24, 0.03, INK, math.pi / 4)
    return draw


def glow(radius):
    def draw(c):
        for k in range(6, 0, -1):
            disc(c, 0.5, 0.5, radius * k / 6, (1.0, 0.85, 0.5, 0.22))
        disc(c, 0.5, 0.5, 0.06, INK)
    return draw


def rotation_arrow(clockwise):
    """Three quarters of a circle with an arrowhead at its open end."""
    def draw(c):
        sign = 1 if clockwise else -1
        steps = 12
        points = [(0.5 + 0.32 * math.sin(sign * (math.pi / 4 + 1.5 * math.pi * k / steps)),
                   0.5 - 0.32 * math.cos(sign * (math.pi / 4 + 1.5 * math.pi * k / steps))) for k in range(steps + 1)]
        for (x0, y0), (x1, y1) in zip(points, points[1:]):
            stroke(c, x0, y0, x1, y1, 0.1, INK)
        end = sign * (math.pi / 4 + 1.5 * math.pi)
        tip_x, tip_y = points[-1]
        ux, uy = sign * math.cos(end), sign * math.sin(end)  # direction of travel at the end
        polygon(c, [(tip_x + ux * 0.2, tip_y + uy * 0.2), (tip_x - uy * 0.14, tip_y + ux * 0.14),
                    (tip_x + uy * 0.14, tip_y - ux * 0.14)], INK)
    return draw


def move_arrow(dx, dy):
    return lambda c: arrow(c, 0.5 - dx * 0.35, 0.5 - dy * 0.35, 0.5 + dx * 0.38, 0.5 + dy * 0.38, 0.1, 0.25, INK)


ROW_ICONS = [  # (left, right) per slider row
    (dots(3), dots(14)),                                                    # Quantity
    (row_star(color=(0.55, 0.45, 0.25, 1)), row_star()),                    # Intensity
    (row_star(length=0.2), row_star(length=0.48)),                          # Length
    (rotation_arrow(False), rotation_arrow(True)),                          # Angle
    (row_star(points=4), row_star(points=10, width=0.035)),                 # Number of Points
    (row_star(width=0.1), row_star(width=0.025)),                           # Spike Sharpness
    (row_star(points=6, width=0.03), row_star(points=6, width=0.09)),       # Spike Spread
    (swatch((0.6, 0.6, 0.6, 1)), swatch((0.95, 0.35, 0.6, 1))),             # Color Saturation
    (bands(3, 0.55), bands(3, 1.0)),                                        # Rainbow Intensity
    (bands(2, 0.9), bands(5, 0.9)),                                         # Rainbow Frequency
    (with_spikes(False), with_spikes(True)),                                # Secondary Spike Intensity
    (glow(0.18), glow(0.46)),                                               # Soft Flare Intensity
    (row_star(color=(0.45, 0.4, 0.3, 1)), row_star(color=(1, 0.95, 0.8, 1))),  # Brightness
    (swatch((0.1, 0.8, 0.85, 1)), swatch((0.9, 0.15, 0.15, 1))),            # Cyan / Red
    (swatch((0.85, 0.15, 0.8, 1)), swatch((0.15, 0.75, 0.2, 1))),           # Magenta / Green
    (swatch((0.95, 0.85, 0.1, 1)), swatch((0.15, 0.3, 0.95, 1))),           # Yellow / Blue
    (move_arrow(-1, 0), move_arrow(1, 0)),                                  # Move Left / Right
    (move_arrow(0, -1), move_arrow(0, 1)),                                  # Move Up / Down
]


def cursor(draw, hotspot):
    c = Canvas(32, 32)
    draw(c)
    return [c], hotspot


def outlined(draw):
    """Cursors are drawn twice, dark and wider first, so that they show on any image."""
    def both(c):
        global INK
        saved = INK
        INK = DARK
        draw(c)
        INK = saved
        draw(c)
    return both


def cursor_zoom(sign):
    def draw(c):
        ring(c, 0.4, 0.4, 0.27, 0.08, DARK)
        disc(c, 0.4, 0.4, 0.23, (1, 1, 1, 0.35))
        ring(c, 0.4, 0.4, 0.27, 0.05, (1, 1, 1, 1))
        stroke(c, 0.6, 0.6, 0.92, 0.92, 0.13, DARK)
        stroke(c, 0.6, 0.6, 0.9, 0.9, 0.07, (1, 1, 1, 1))
        stroke(c, 0.29, 0.4, 0.51, 0.4, 0.06, DARK)
        if sign > 0:
            stroke(c, 0.4, 0.29, 0.4, 0.51, 0.06, DARK)
    return draw


def cursor_zoom_limit(c):
    """The magnifier barred: no further zoom in this direction."""
    ring(c, 0.4, 0.4, 0.27, 0.08, DARK)
    disc(c, 0.4, 0.4, 0.23, (1, 1, 1, 0.35))
    ring(c, 0.4, 0.4, 0.27, 0.05, (1, 1, 1, 1))
    stroke(c, 0.6, 0.6, 0.92, 0.92, 0.13, DARK)
    stroke(c, 0.6, 0.6, 0.9, 0.9, 0.07, (1, 1, 1, 1))
    stroke(c, 0.24, 0.56, 0.56, 0.24, 0.07, RED)


def cursor_star(mark):
    def draw(c):
        stroke(c, 0.5, 0.05, 0.5, 0.95, 0.09, DARK)
        stroke(c, 0.05, 0.5, 0.95, 0.5, 0.09, DARK)
        stroke(c, 0.5, 0.08, 0.5, 0.92, 0.04, (1, 1, 1, 1))
        stroke(c, 0.08, 0.5, 0.92, 0.5, 0.04, (1, 1, 1, 1))
        if mark:
            mark(c)
    return draw


def minus_mark(c):
    stroke(c, 0.66, 0.82, 0.94, 0.82, 0.1, RED)


def plus_mark(c):
    stroke(c, 0.66, 0.82, 0.94, 0.82, 0.1, (0.2, 0.8, 0.3, 1))
    stroke(c, 0.8, 0.68, 0.8, 0.96, 0.1, (0.2, 0.8, 0.3, 1))


def edit_mark(c):
    stroke(c, 0.66, 0.96, 0.96, 0.66, 0.1, ACCENT)


def hand(closed):
    def draw(c):
        palm = [(0.3, 0.45), (0.72, 0.45), (0.75, 0.8), (0.6, 0.95), (0.35, 0.95), (0.22, 0.7)]
        polygon(c, palm, DARK)
        polygon(c, [(x * 0.94 + 0.03, y * 0.94 + 0.03) for x, y in palm], (1, 1, 1, 1))
        reach = 0.42 if closed else 0.12
        for k, x in enumerate((0.34, 0.46, 0.58, 0.7)):
            top = reach + (0.06 if k in (0, 3) else 0)
            stroke(c, x, top, x, 0.55, 0.12, DARK)
            stroke(c, x, top + 0.01, x, 0.55, 0.07, (1, 1, 1, 1))
    return draw


CURSORS = {
    'pan.cur': cursor(hand(False), (16, 16)),
    'pan_grab.cur': cursor(hand(True), (16, 16)),
    'zoom_in.cur': cursor(cursor_zoom(1), (13, 13)),
    'zoom_out.cur': cursor(cursor_zoom(-1), (13, 13)),
    'hide.cur': cursor(cursor_star(minus_mark), (16, 16)),
    'show.cur': cursor(cursor_star(plus_mark), (16, 16)),
    'edit.cur': cursor(cursor_star(edit_mark), (16, 16)),
    'add.cur': cursor(cursor_star(lambda c: (plus_mark(c), edit_mark(c))), (16, 16)),
    'zoom_limit.cur': cursor(cursor_zoom_limit, (13, 13)),
}


def selected(draw):
    """A tool as the chosen one: on a lit, rounded backdrop."""
    def both(c):
        polygon(c, [(0.06, 0.0), (0.94, 0.0), (1.0, 0.06), (1.0, 0.94), (0.94, 1.0), (0.06, 1.0), (0.0, 0.94),
                    (0.0, 0.06)], (0.30, 0.50, 0.85, 0.55))
        draw(c)
    return both


def disabled(draw):
    """A tool that cannot be chosen yet: its picture in gray, faded."""
    def gray(c):
        draw(c)
        for i, (r, g, b, a) in enumerate(c.pixels):
            v = 0.3 * r + 0.59 * g + 0.11 * b
            c.pixels[i] = [v, v, v, a * 0.45]
    return gray


def logo():
    c = Canvas(256, 40, (0.2, 0.2, 0.2, 1))
    glyph = Canvas(40, 40)
    star(glyph, 0.5, 0.5, 8, 0.46, 0.035, ACCENT, 0.0, 0.08)
    for y in range(40):
        for x in range(40):
            p = glyph.pixels[y * 40 + x]
            c.blend(x + 4, y, (p[0], p[1], p[2], 1), p[3])
    lettering(c, "HALVORN PRO 3", 52, 8, 2, (0.95, 0.95, 0.95, 1))
    lettering(c, "VELLBROOK SOFTWARE", 52, 28, 1, (0.7, 0.7, 0.7, 1))
    return c


def splash():
    w, h = 320, 200
    c = Canvas(w, h, (0.05, 0.06, 0.09, 1))
    burst = Canvas(160, 160)
    star(burst, 0.5, 0.5, 6, 0.48, 0.02, (1.0, 0.9, 0.7, 1), 0.0, 0.03)
    star(burst, 0.5, 0.5, 6, 0.25, 0.012, (0.7, 0.8, 1.0, 0.8), math.pi / 6, 0.02)
    for k in range(6, 0, -1):
        disc(burst, 0.5, 0.5, 0.1 * k / 6, (1, 0.85, 0.6, 0.18))
    for y in range(160):
        for x in range(160):
            p = burst.pixels[y * 160 + x]
            c.blend(x + 80, y, (p[0], p[1], p[2], 1), p[3])
    lettering(c, "HALVORN PRO 3", (w - 13 * 12) // 2, 164, 2, (0.95, 0.95, 0.95, 1))
    return c


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    icons = {
        'pan.ico': tool_pan, 'zoom.ico': tool_zoom, 'hide.ico': tool_hide, 'show.ico': tool_show,
        'edit.ico': tool_edit, 'help.ico': help_icon, 'settings_menu.ico': settings_menu_icon,
        'size_grip.ico': size_grip_icon,
    }
    for name, draw in icons.items():
        write_icon(os.path.join(out, name), icon(draw))
    for name, draw in (('pan', tool_pan), ('zoom', tool_zoom), ('hide', tool_hide), ('show', tool_show),
                       ('edit', tool_edit)):
        write_icon(os.path.join(out, name + '_selected.ico'), icon(selected(draw)))
        write_icon(os.path.join(out, name + '_disabled.ico'), icon(disabled(draw)))
    for row, (left, right) in enumerate(ROW_ICONS):
        write_icon(os.path.join(out, 'row%02d_left.ico' % row), icon(left, (16,)))
        write_icon(os.path.join(out, 'row%02d_right.ico' % row), icon(right, (16,)))
    # The light colour schemes get the same row icons drawn in dark ink.
    global INK
    saved = INK
    INK = DARK
    for row, (left, right) in enumerate(ROW_ICONS):
        write_icon(os.path.join(out, 'row%02d_left_light.ico' % row), icon(left, (16,)))
        write_icon(os.path.join(out, 'row%02d_right_light.ico' % row), icon(right, (16,)))
    INK = saved
    for name, (canvases, hotspot) in CURSORS.items():
        write_icon(os.path.join(out, name), canvases, hotspot)
    write_bitmap(os.path.join(out, 'logo.bmp'), logo(), 24)
    write_bitmap(os.path.join(out, 'splash.bmp'), splash(), 24)


if __name__ == '__main__':
    main()
